#include "session/formati.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace quintar {

namespace {

Formati::Impostazioni daSistema() {
    QLocale l = QLocale::system();
    QString dec = l.decimalPoint();
    QString gr = l.groupSeparator();
    return {dec.isEmpty() ? QChar('.') : dec.at(0), gr.isEmpty() ? QChar(',') : gr.at(0),
            l.dateFormat(QLocale::ShortFormat)};
}

Formati::Impostazioni& stato() {
    static Formati::Impostazioni s = daSistema();
    return s;
}

} // namespace

Formati::Impostazioni Formati::predefinite() {
    static const Impostazioni p = daSistema();
    return p;
}

Formati::Impostazioni Formati::correnti() {
    return stato();
}

void Formati::imposta(const Impostazioni& i) {
    stato() = i;
}

void Formati::impostaItaliani() {
    imposta({QChar(','), QChar('.'), QStringLiteral("dd/MM/yyyy")});
}

QString Formati::numeroInTesto(double v) {
    if (std::isnan(v) || std::isinf(v)) {
        return QString::number(v);
    }
    // 15 significant digits, as a user expects to read back what was stored
    QString s = QString::number(v, 'g', 15);
    if (s.contains('e') || s.contains('E')) {
        s = QString::number(v, 'f', 10);
        if (s.contains('.')) {
            while (s.endsWith('0')) {
                s.chop(1);
            }
            if (s.endsWith('.')) {
                s.chop(1);
            }
        }
    }
    if (s == QLatin1String("-0")) {
        s = QStringLiteral("0");
    }
    s.replace('.', separatoreDecimale());
    return s;
}

QString Formati::numeroInTesto(double v, int decimali) {
    QString s = QString::number(v, 'f', decimali);
    if (s.startsWith('-') && s.mid(1).toDouble() == 0.0) {
        s.remove(0, 1);
    }
    s.replace('.', separatoreDecimale());
    return s;
}

QString Formati::numeroConMigliaia(double v, int decimali, int minimi) {
    const QString t = QString::number(std::abs(v), 'f', decimali);
    const qsizetype punto = t.indexOf('.');
    QString intera = punto < 0 ? t : t.left(punto);
    QString parteDecimale = punto < 0 ? QString() : t.mid(punto + 1);
    while (parteDecimale.size() > minimi && parteDecimale.endsWith('0')) {
        parteDecimale.chop(1);
    }
    for (qsizetype i = intera.size() - 3; i > 0; i -= 3) {
        intera.insert(i, correnti().separatoreMigliaia);
    }
    QString r = intera;
    if (!parteDecimale.isEmpty()) {
        r += separatoreDecimale() + parteDecimale;
    }
    // a negative that rounds to zero shows no sign
    const bool zero =
        std::all_of(r.cbegin(), r.cend(), [](QChar c) { return !c.isDigit() || c == '0'; });
    return v < 0 && !zero ? '-' + r : r;
}

namespace {

// A typed number in the digits the archive understands: the decimal
// separator made a point. A thousands separator, or a second decimal one,
// refuses the text.
std::optional<QString> normalizzato(const QString& testo, bool decimali) {
    const QString s = testo.trimmed();
    if (s.isEmpty()) {
        return std::nullopt;
    }
    const QString dec = QRegularExpression::escape(QString(Formati::separatoreDecimale()));
    // "1000", "1000,5", ",5", "-3,", "1,5e3"
    const QRegularExpression numero(
        decimali ? QStringLiteral("^[+-]?(?:\\d+(?:%1\\d*)?|%1\\d+)(?:[eE][+-]?\\d+)?$").arg(dec)
                 : QStringLiteral("^[+-]?\\d+$"));
    if (!numero.match(s).hasMatch()) {
        return std::nullopt;
    }
    QString r = s;
    r.replace(Formati::separatoreDecimale(), QLatin1Char('.'));
    return r;
}

} // namespace

std::optional<double> Formati::leggiNumero(const QString& testo) {
    const auto s = normalizzato(testo, true);
    if (!s) {
        return std::nullopt;
    }
    bool ok = false;
    const double d = s->toDouble(&ok);
    if (!ok || std::isinf(d) || std::isnan(d)) {
        return std::nullopt;
    }
    return d;
}

std::optional<qint64> Formati::leggiIntero(const QString& testo) {
    const auto s = normalizzato(testo, false);
    if (!s) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 n = s->toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return n;
}

QString Formati::dataInTesto(const QDate& d) {
    return d.isValid() ? d.toString(correnti().formatoData) : QString();
}

QString Formati::dataOraInTesto(const QDateTime& d) {
    if (!d.isValid()) {
        return {};
    }
    QString s = dataInTesto(d.date());
    if (d.time() != QTime(0, 0)) {
        s += ' ' + d.time().toString(QStringLiteral("HH:mm:ss"));
    }
    return s;
}

QDate Formati::leggiData(const QString& testo) {
    QString s = testo.trimmed();
    if (s.isEmpty()) {
        return {};
    }
    QDate d = QDate::fromString(s, correnti().formatoData);
    if (!d.isValid()) {
        // single-digit day and month are fine too
        QString f = correnti().formatoData;
        f.replace(QLatin1String("dd"), QLatin1String("d"))
            .replace(QLatin1String("MM"), QLatin1String("M"));
        d = QDate::fromString(s, f);
    }
    return d;
}

} // namespace quintar
