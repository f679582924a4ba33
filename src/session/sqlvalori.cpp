#include "session/sqlvalori.h"

#include "session/formati.h"

#include <QRegularExpression>
#include <cmath>

namespace quintar::sql {

QString senzaApici(const QString& s) {
    QString r = s;
    r.replace('\'', kAccento);
    r.remove(QChar(0));
    return r;
}

QString testoNonNullo(const QString& s) {
    QString r = senzaApici(s);
    // nothing can close the literal: any quote left is doubled
    r.replace(QLatin1String("'"), QLatin1String("''"));
    return '\'' + r + '\'';
}

QString testo(const QString& s) {
    if (s.isEmpty()) {
        return QStringLiteral("NULL");
    }
    return testoNonNullo(s);
}

QString codice(const QString& s) {
    QString r = s;
    r.remove('\'');
    r.remove(QChar(0));
    return r;
}

QString numero(double v) {
    if (std::isnan(v) || std::isinf(v)) {
        throw ValoreNonValido(QString::number(v));
    }
    QString s = QString::number(v, 'g', 15);
    if (s.contains('e') || s.contains('E')) {
        s = QString::number(v, 'f', 10);
    }
    return '\'' + s + '\'';
}

QString numero(const QString& digitato) {
    if (digitato.trimmed().isEmpty()) {
        return QStringLiteral("NULL");
    }
    auto d = Formati::leggiNumero(digitato);
    if (!d) {
        throw ValoreNonValido(digitato);
    }
    return numero(*d);
}

QString intero(qint64 v) {
    return '\'' + QString::number(v) + '\'';
}

QString intero(const QString& digitato) {
    if (digitato.trimmed().isEmpty()) {
        return QStringLiteral("NULL");
    }
    auto n = Formati::leggiIntero(digitato);
    if (!n) {
        throw ValoreNonValido(digitato);
    }
    return intero(*n);
}

QString data(const QDate& d) {
    if (!d.isValid()) {
        return QStringLiteral("NULL");
    }
    return '\'' + d.toString(QStringLiteral("MM/dd/yyyy")) + '\'';
}

QString dataIso(const QDate& d) {
    if (!d.isValid()) {
        return QStringLiteral("NULL");
    }
    return '\'' + d.toString(QStringLiteral("yyyy-MM-dd")) + '\'';
}

QString flag(bool b) {
    return b ? QStringLiteral("'1'") : QStringLiteral("'0'");
}

QString identificatore(const QString& nome) {
    static const QRegularExpression semplice(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    if (semplice.match(nome).hasMatch()) {
        return nome.toUpper();
    }
    QString n = nome;
    n.replace('"', QLatin1String("\"\""));
    return '"' + n + '"';
}

} // namespace quintar::sql
