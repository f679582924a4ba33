#include "report/documento.h"

#include "report/codicebarre.h"
#include "session/formati.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace quintar::report {

namespace {

constexpr double kDpiMisura = 1200.0;
constexpr double kPadX = 0.8; // inner spacing of list cells, mm
constexpr double kPadY = 0.5;

const QImage& dispositivoMisura() {
    static const QImage img = [] {
        QImage i(4, 4, QImage::Format_ARGB32);
        i.setDotsPerMeterX(qRound(kDpiMisura / 0.0254));
        i.setDotsPerMeterY(qRound(kDpiMisura / 0.0254));
        return i;
    }();
    return img;
}

Qt::Alignment allineamento(const QString& v) {
    const QString a = v.trimmed().toLower();
    if (a == QLatin1String("destra")) {
        return Qt::AlignRight;
    }
    if (a == QLatin1String("centro")) {
        return Qt::AlignHCenter;
    }
    return Qt::AlignLeft;
}

QColor colore(const QString& v, const QColor& predefinito) {
    const QColor c = QColor::fromString(v.trimmed());
    return v.trimmed().isEmpty() || !c.isValid() ? predefinito : c;
}

std::optional<double> leggiNumero(const QString& testo) {
    bool ok = false;
    const double n = testo.trimmed().toDouble(&ok);
    if (ok) {
        return n;
    }
    return Formati::leggiNumero(testo.trimmed());
}

// "0.00", "#,##0.0##": '0' after '.' a decimal always shown, '#' one shown
// when not zero; ',' asks for thousands separators.
QString formattaNumero(double v, const QString& formato) {
    if (formato.isEmpty()) {
        return Formati::numeroInTesto(v);
    }
    const int punto = formato.indexOf('.');
    const QString dopo = punto < 0 ? QString() : formato.mid(punto + 1);
    const int decimali = int(dopo.size());
    const int minimi = int(dopo.count('0'));
    QString t = QString::number(std::fabs(v), 'f', decimali);
    QString intera = t.section('.', 0, 0);
    QString frazione = decimali > 0 ? t.section('.', 1, 1) : QString();
    while (frazione.size() > minimi && frazione.endsWith('0')) {
        frazione.chop(1);
    }
    if (formato.contains(',')) {
        const QChar sep = Formati::correnti().separatoreMigliaia;
        for (int i = int(intera.size()) - 3; i > 0; i -= 3) {
            intera.insert(i, sep);
        }
    }
    QString r = intera;
    if (!frazione.isEmpty()) {
        r += Formati::separatoreDecimale() + frazione;
    }
    const bool zero =
        QString::number(std::fabs(v), 'f', decimali).remove('0').remove('.').isEmpty();
    return (v < 0 && !zero ? QStringLiteral("-") : QString()) + r;
}

QString formatta(const Dato& d, const QString& formato) {
    if (d.nullo()) {
        return {};
    }
    switch (d.tipo) {
    case TipoDato::Numero: {
        auto n = leggiNumero(d.testo);
        return n ? formattaNumero(*n, formato) : d.testo;
    }
    case TipoDato::Data: {
        bool ok = false;
        const QDateTime dt = dataDaGiorni(d.testo, &ok);
        if (!ok) {
            return d.testo;
        }
        if (!formato.isEmpty()) {
            return dt.toString(formato);
        }
        return dt.time() == QTime(0, 0) ? Formati::dataInTesto(dt.date())
                                        : Formati::dataOraInTesto(dt);
    }
    case TipoDato::Booleano: {
        const QString t = d.testo.trimmed().toLower();
        const bool vero = t == QLatin1String("true") || t == QLatin1String("1") ||
                          t == QLatin1String("si") || t == QStringLiteral("sì");
        return vero ? QStringLiteral("Sì") : QStringLiteral("No");
    }
    case TipoDato::Testo:
        break;
    }
    return d.testo;
}

} // namespace

// ------------------------------------------------------------------ Impl

struct Documento::Impl {
    struct Riga {
        enum Tipo { Titolo, Titoli, Dati } tipo;
        int righe;
        int record;
        double altezza;
    };
    struct Pagina {
        std::vector<Riga> righe;
        int primo = -1;
        int ultimo = -1;
        int riferimento = -1; // record whose values the bands show; -1: the first variables
        bool chiusura = false;
    };
    struct Contesto {
        const Valori* campi = nullptr;
        const Valori* variabili = nullptr;
        int pagina = 0;
        int pagine = 0;
    };

    Impl(const Documento& d, QString c) : doc(d), cartella(std::move(c)) {}

    const Documento& doc;
    QString cartella;
    QFont base;
    QSizeF carta;
    QMarginsF margini;
    std::vector<Pagina> pagine;
    QStringList sconosciuti;
    QDateTime momento = QDateTime::currentDateTime();

    const Layout& l() const { return doc.layout_; }

    Contesto contesto(int record, int pagina) const {
        Contesto c;
        const auto& rec = doc.dati_.record;
        if (record >= 0 && record < int(rec.size())) {
            c.campi = &rec[size_t(record)].campi;
            c.variabili = rec[size_t(record)].variabili.get();
        } else {
            c.variabili = doc.dati_.variabili.get();
        }
        c.pagina = pagina + 1;
        c.pagine = int(pagine.size());
        return c;
    }

    const Dato* trova(const QString& nome, const Contesto& c) const {
        if (c.campi) {
            if (const Dato* d = c.campi->trova(nome)) {
                return d;
            }
        }
        return c.variabili ? c.variabili->trova(nome) : nullptr;
    }

    void segnaSconosciuto(const QString& nome) {
        if (!sconosciuti.contains(nome, Qt::CaseInsensitive)) {
            sconosciuti << nome;
        }
    }

    QString valore(const QString& nome, const QString& formato, const Contesto& c) {
        const QString n = nome.trimmed();
        if (n.startsWith('#')) {
            const QString s = n.mid(1).toUpper();
            if (s == QLatin1String("PAGINA")) {
                return QString::number(c.pagina);
            }
            if (s == QLatin1String("PAGINE")) {
                return QString::number(c.pagine);
            }
            if (s == QLatin1String("DATA")) {
                return formato.isEmpty() ? Formati::dataInTesto(momento.date())
                                         : momento.toString(formato);
            }
            if (s == QLatin1String("ORA")) {
                return momento.time().toString(formato.isEmpty() ? QStringLiteral("HH:mm")
                                                                 : formato);
            }
        } else if (const Dato* d = trova(n, c)) {
            return formatta(*d, formato);
        }
        segnaSconosciuto(n);
        return QStringLiteral("{?%1}").arg(n);
    }

    QString espandi(const QString& testo, const Contesto& c) {
        QString r;
        for (int i = 0; i < testo.size(); ++i) {
            const QChar ch = testo[i];
            if (ch != '{') {
                r += ch;
                continue;
            }
            if (i + 1 < testo.size() && testo[i + 1] == '{') {
                r += '{';
                ++i;
                continue;
            }
            const int fine = testo.indexOf('}', i + 1);
            if (fine < 0) {
                r += testo.mid(i);
                break;
            }
            const QString dentro = testo.mid(i + 1, fine - i - 1);
            const int dp = dentro.indexOf(':');
            r += dp < 0 ? valore(dentro, {}, c) : valore(dentro.left(dp), dentro.mid(dp + 1), c);
            i = fine;
        }
        return r;
    }

    // The raw text of a name for a condition; null and unknown are empty.
    QString grezzo(const QString& nome, const Contesto& c) {
        if (nome.trimmed().startsWith('#')) {
            return valore(nome, {}, c);
        }
        const Dato* d = trova(nome.trimmed(), c);
        if (!d) {
            segnaSconosciuto(nome.trimmed());
            return {};
        }
        return d->nullo() ? QString() : d->testo.trimmed();
    }

    static bool uguali(const QString& a, const QString& b) {
        if (a.compare(b, Qt::CaseInsensitive) == 0) {
            return true;
        }
        auto na = leggiNumero(a);
        auto nb = leggiNumero(b);
        return na && nb && *na == *nb;
    }

    bool condizione(const QString& testo, const Contesto& c) {
        const QStringList termini = testo.split('&', Qt::SkipEmptyParts);
        for (QString t : termini) {
            t = t.trimmed();
            if (t.isEmpty()) {
                continue;
            }
            bool vale;
            if (int p = t.indexOf(QLatin1String("<>")); p > 0) {
                vale = !uguali(grezzo(t.left(p), c), t.mid(p + 2).trimmed());
            } else if (int q = t.indexOf('='); q > 0) {
                vale = uguali(grezzo(t.left(q), c), t.mid(q + 1).trimmed());
            } else {
                const bool nega = t.startsWith('!');
                const QString v = grezzo(nega ? t.mid(1) : t, c);
                const bool impostato = !v.isEmpty() && !uguali(v, QStringLiteral("0"));
                vale = nega ? !impostato : impostato;
            }
            if (!vale) {
                return false;
            }
        }
        return true;
    }

    QFont carattere(const Proprieta& p, const QFont& da) const {
        QFont f = da;
        const QString c = p.valore("carattere");
        if (!c.isEmpty()) {
            const QString famiglia = c.section(',', 0, 0).trimmed();
            if (!famiglia.isEmpty()) {
                f.setFamily(famiglia);
            }
            bool ok = false;
            const double pt = c.section(',', 1, 1).trimmed().toDouble(&ok);
            if (ok && pt > 0) {
                f.setPointSizeF(pt);
            }
        }
        if (p.numero("dimensione") > 0) {
            f.setPointSizeF(p.numero("dimensione"));
        }
        if (p.ha("grassetto")) {
            f.setBold(p.si("grassetto"));
        }
        if (p.ha("corsivo")) {
            f.setItalic(p.si("corsivo"));
        }
        return f;
    }

    static double altezzaTesto(const QFont& f, const QString& testo, double larghezzaMm) {
        const double k = kDpiMisura / 25.4;
        QFontMetricsF fm(f, &dispositivoMisura());
        if (testo.isEmpty()) {
            return fm.height() / k;
        }
        const QRectF r = fm.boundingRect(QRectF(0, 0, std::max(1.0, larghezzaMm * k), 1e7),
                                         Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, testo);
        return r.height() / k;
    }

    // ---- list layout

    QFont fontElenco() const { return carattere(l().elenco, base); }

    // Every kind of rows whose condition holds for a record, in layout order.
    std::vector<int> tipiRighe(int record) {
        const Contesto c = contesto(record, 0);
        std::vector<int> r;
        for (size_t i = 0; i < l().righe.size(); ++i) {
            if (condizione(l().righe[i].p.valore("Condizione"), c)) {
                r.push_back(int(i));
            }
        }
        return r;
    }

    QString testoCella(const Proprieta& col, const Contesto& c) {
        if (col.ha("campo")) {
            return valore(col.valore("campo"), col.valore("formato"), c);
        }
        return espandi(col.valore("testo"), c);
    }

    double altezzaRiga(const Riga& r) {
        const Righe& k = l().righe[size_t(r.righe)];
        const double minima = k.p.numero("Altezza", 0);
        const QFont f = fontElenco();
        double h = 0;
        if (r.tipo == Riga::Titolo) {
            QFont t = f;
            t.setBold(true);
            t.setPointSizeF(f.pointSizeF() + 1);
            return altezzaTesto(t, espandi(k.p.valore("Titolo"), contesto(r.record, 0)), 1000) +
                   2 * kPadY + 1.5;
        }
        const Contesto c = contesto(r.record, 0);
        for (const Proprieta& col : k.colonne) {
            const double w = col.numero("larghezza", 20) - 2 * kPadX;
            if (r.tipo == Riga::Titoli) {
                QFont t = f;
                t.setBold(true);
                h = std::max(h, altezzaTesto(t, col.valore("titolo"), w));
            } else if (col.valore("tipo").compare(QLatin1String("codicebarre"),
                                                  Qt::CaseInsensitive) == 0) {
                h = std::max(h, 10.0);
            } else {
                h = std::max(h, altezzaTesto(carattere(col, f), testoCella(col, c), w));
            }
        }
        h += 2 * kPadY;
        return r.tipo == Riga::Dati ? std::max(h, minima) : h;
    }

    void impagina() {
        const Proprieta& pg = l().pagina;
        base = QFont(QStringLiteral("DejaVu Sans"));
        base.setPointSizeF(9);
        // no ligatures: the text of the PDF stays searchable and copyable
        base.setStyleStrategy(QFont::PreferNoShaping);
        base = carattere(Proprieta{.voci = {{"carattere", pg.valore("Carattere")}}}, base);
        carta = doc.dimensioneMm();
        const QStringList m = pg.valore("Margini", "15,12,15,12").split(',');
        auto mg = [&](int i) {
            return i < m.size() ? std::max(0.0, m[i].trimmed().toDouble()) : 12.0;
        };
        margini = QMarginsF(mg(0), mg(1), mg(2), mg(3));

        const double alto = margini.top() + l().intestazione.altezza;
        const double basso = carta.height() - margini.bottom() - l().piede.altezza;
        const double spazio = std::max(10.0, basso - alto);

        pagine.clear();
        pagine.push_back({});
        double y = 0;
        QSet<int> intestati; // kinds whose titles stand on the current page
        bool saltoPrec = false;
        const QString salto = l().elenco.valore("SaltoPagina");
        const int n = int(doc.dati_.record.size());

        auto nuovaPagina = [&](int riferimento) {
            pagine.push_back({});
            pagine.back().riferimento = riferimento;
            y = 0;
            intestati.clear();
        };
        auto testata = [&](int kind, int record) {
            // caption and column titles of a kind of rows
            const Righe& k = l().righe[size_t(kind)];
            if (!k.p.valore("Titolo").isEmpty()) {
                Riga t{Riga::Titolo, kind, record, 0};
                t.altezza = altezzaRiga(t);
                pagine.back().righe.push_back(t);
                y += t.altezza;
            }
            if (k.p.si("Titoli", true) && !k.colonne.empty()) {
                Riga t{Riga::Titoli, kind, record, 0};
                t.altezza = altezzaRiga(t);
                pagine.back().righe.push_back(t);
                y += t.altezza;
            }
        };
        auto altezzaTestata = [&](int kind, int record) {
            const Righe& k = l().righe[size_t(kind)];
            double h = 0;
            if (!k.p.valore("Titolo").isEmpty()) {
                h += altezzaRiga({Riga::Titolo, kind, record, 0});
            }
            if (k.p.si("Titoli", true) && !k.colonne.empty()) {
                h += altezzaRiga({Riga::Titoli, kind, record, 0});
            }
            return h;
        };

        auto riga = [&](int kind, int i) {
            Riga r{Riga::Dati, kind, i, 0};
            r.altezza = altezzaRiga(r);
            const bool nuovoTipo = !intestati.contains(kind);
            const double testa = nuovoTipo ? altezzaTestata(kind, i) : 0;
            if (y + testa + r.altezza > spazio && !pagine.back().righe.empty()) {
                nuovaPagina(i);
            }
            if (!intestati.contains(kind)) {
                testata(kind, i);
                intestati.insert(kind);
            }
            Pagina& p = pagine.back();
            p.righe.push_back(r);
            if (p.primo < 0) {
                p.primo = i;
                p.riferimento = i;
            }
            p.ultimo = std::max(p.ultimo, i);
            y += r.altezza;
        };
        // Raggruppa=si: the records between two page breaks print kind by
        // kind (every row of the first kind, then of the next), so that
        // lists handed side by side in the same records print one after
        // the other instead of interleaved
        const bool raggruppa = l().elenco.si("Raggruppa", false);
        int inizio = 0;
        auto chiudiTratto = [&](int fine) {
            if (!raggruppa) {
                return;
            }
            std::vector<std::vector<int>> tipi;
            for (int i = inizio; i < fine; ++i) {
                tipi.push_back(tipiRighe(i));
            }
            for (size_t kind = 0; kind < l().righe.size(); ++kind) {
                for (int i = inizio; i < fine; ++i) {
                    const std::vector<int>& t = tipi[size_t(i - inizio)];
                    if (std::find(t.begin(), t.end(), int(kind)) != t.end()) {
                        riga(int(kind), i);
                    }
                }
            }
            inizio = fine;
        };
        for (int i = 0; i < n; ++i) {
            if (!salto.isEmpty()) {
                const bool ora = condizione(salto, contesto(i, 0));
                if (ora && !saltoPrec) {
                    chiudiTratto(i);
                    if (!pagine.back().righe.empty()) {
                        nuovaPagina(i);
                    }
                }
                saltoPrec = ora;
            }
            if (!raggruppa) {
                for (const int kind : tipiRighe(i)) {
                    riga(kind, i);
                }
            }
        }
        chiudiTratto(n);
        if (l().chiusura.altezza > 0 || !l().chiusura.elementi.empty()) {
            if (y + l().chiusura.altezza > spazio && !pagine.back().righe.empty()) {
                nuovaPagina(n - 1);
            }
            pagine.back().chiusura = true;
        }
        for (size_t i = 0; i < pagine.size(); ++i) {
            if (pagine[i].riferimento < 0 && i > 0) {
                pagine[i].riferimento =
                    pagine[i - 1].ultimo >= 0 ? pagine[i - 1].ultimo : pagine[i - 1].riferimento;
            }
        }
    }

    // ---- drawing

    void disegnaElemento(QPainter& p, const Elemento& e, QPointF origine, const Contesto& c,
                         double k) {
        if (e.p.ha("se") && !condizione(e.p.valore("se"), c)) {
            return;
        }
        const QRectF r((origine.x() + e.p.numero("x")) * k, (origine.y() + e.p.numero("y")) * k,
                       e.p.numero("l") * k, e.p.numero("a") * k);
        const QString tipo = e.tipo.toLower();
        p.save();
        if (tipo == QLatin1String("testo")) {
            if (e.p.ha("sfondo")) {
                p.fillRect(r, colore(e.p.valore("sfondo"), Qt::white));
            }
            if (e.p.si("bordo")) {
                QPen pen(Qt::black);
                pen.setWidthF(0.2 * k);
                p.setPen(pen);
                p.drawRect(r);
            }
            const QString testo = espandi(e.p.valore("testo"), c);
            p.setFont(carattere(e.p, base));
            p.setPen(testo.contains(QLatin1String("{?")) ? QColor(Qt::red)
                                                         : colore(e.p.valore("colore"), Qt::black));
            Qt::Alignment v = e.p.valore("verticale").toLower() == QLatin1String("centro")
                                  ? Qt::AlignVCenter
                                  : Qt::AlignTop;
            const double pad = e.p.si("bordo") ? 1.0 * k : 0;
            p.drawText(r.adjusted(pad, 0, -pad, 0),
                       int(allineamento(e.p.valore("allinea")) | v) | Qt::TextWordWrap, testo);
        } else if (tipo == QLatin1String("linea") || tipo == QLatin1String("riquadro")) {
            QPen pen(colore(e.p.valore("colore"), Qt::black));
            pen.setWidthF(e.p.numero("spessore", 0.3) * k);
            p.setPen(pen);
            if (tipo == QLatin1String("linea")) {
                p.drawLine(r.topLeft(), r.bottomRight());
            } else {
                p.setBrush(e.p.ha("sfondo") ? QBrush(colore(e.p.valore("sfondo"), Qt::white))
                                            : QBrush());
                p.drawRect(r);
            }
        } else if (tipo == QLatin1String("immagine")) {
            const QString nome = espandi(e.p.valore("file"), c);
            QString percorso = nome;
            if (QFileInfo(nome).isRelative() && !cartella.isEmpty()) {
                percorso = QDir(cartella).filePath(nome);
            }
            QImage img;
            if (!nome.isEmpty() && img.load(percorso)) {
                const QSizeF s = QSizeF(img.size()).scaled(r.size(), Qt::KeepAspectRatio);
                p.drawImage(QRectF(r.topLeft(), s), img);
            } else {
                p.setPen(QPen(Qt::red, 0.2 * k, Qt::DashLine));
                p.drawRect(r);
                QFont f = base;
                f.setPointSizeF(6);
                p.setFont(f);
                p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap,
                           QStringLiteral("Immagine mancante: %1").arg(nome));
            }
        } else if (tipo == QLatin1String("codicebarre")) {
            const QString valoreBarre = espandi(e.p.valore("valore"), c);
            const bool testo = e.p.si("testo", true);
            QFont f = carattere(e.p, base);
            if (!e.p.ha("carattere") && !e.p.ha("dimensione")) {
                f.setPointSizeF(8);
            }
            if (valoreBarre.trimmed().isEmpty()) {
                // nothing to encode: the place stays blank
                p.restore();
                return;
            }
            const double ht = testo ? altezzaTesto(f, valoreBarre, 1000) * k : 0;
            const double spazio = testo ? 0.6 * k : 0;
            QRectF barre = r.adjusted(0, 0, 0, -ht - spazio);
            const bool ok = disegnaCodice128(p, barre, valoreBarre);
            if (testo && ok) {
                p.setFont(f);
                p.setPen(Qt::black);
                p.drawText(QRectF(r.left(), barre.bottom() + spazio, r.width(), ht),
                           Qt::AlignHCenter | Qt::AlignTop, valoreBarre);
            }
        } else {
            p.setPen(Qt::red);
            p.drawText(r, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("{?%1}").arg(e.tipo));
        }
        p.restore();
    }

    void disegnaBanda(QPainter& p, const Banda& b, double yMm, const Contesto& c, double k) {
        for (const Elemento& e : b.elementi) {
            disegnaElemento(p, e, QPointF(margini.left(), yMm), c, k);
        }
    }

    void disegnaRiga(QPainter& p, const Riga& r, double yMm, int pagina, double k) {
        const Righe& kind = l().righe[size_t(r.righe)];
        const Contesto c = contesto(r.record, pagina);
        const QFont f = fontElenco();
        double x = margini.left();
        const double larghezzaUtile = carta.width() - margini.left() - margini.right();
        p.save();
        if (r.tipo == Riga::Titolo) {
            QFont t = f;
            t.setBold(true);
            t.setPointSizeF(f.pointSizeF() + 1);
            p.setFont(t);
            p.setPen(Qt::black);
            p.drawText(
                QRectF(x * k, (yMm + 1.5 + kPadY) * k, larghezzaUtile * k, (r.altezza - 1.5) * k),
                Qt::AlignLeft | Qt::AlignTop, espandi(kind.p.valore("Titolo"), c));
            p.restore();
            return;
        }
        double totale = 0;
        for (const Proprieta& col : kind.colonne) {
            totale += col.numero("larghezza", 20);
        }
        if (r.tipo == Riga::Titoli) {
            p.fillRect(QRectF(x * k, yMm * k, totale * k, r.altezza * k),
                       colore(l().elenco.valore("SfondoTitoli"), QColor(0xdf, 0xe6, 0xee)));
        }
        for (const Proprieta& col : kind.colonne) {
            const double w = col.numero("larghezza", 20);
            const QRectF cella((x + kPadX) * k, (yMm + kPadY) * k, (w - 2 * kPadX) * k,
                               (r.altezza - 2 * kPadY) * k);
            const Qt::Alignment al = allineamento(col.valore("allinea"));
            if (r.tipo == Riga::Titoli) {
                QFont t = f;
                t.setBold(true);
                p.setFont(t);
                p.setPen(Qt::black);
                p.drawText(cella, int(al | Qt::AlignTop) | Qt::TextWordWrap, col.valore("titolo"));
            } else if (col.valore("tipo").compare(QLatin1String("codicebarre"),
                                                  Qt::CaseInsensitive) == 0) {
                // the value is printed under the bars too, for a person
                // to read where the scanner fails (testo=no: bars only)
                const QString v = testoCella(col, c);
                if (!v.isEmpty()) {
                    const bool testo = col.si("testo", true);
                    QFont ft = carattere(col, f);
                    if (!col.ha("carattere") && !col.ha("dimensione")) {
                        ft.setPointSizeF(6.5);
                    }
                    const double ht = testo ? altezzaTesto(ft, v, 1000) * k : 0;
                    const double spazio = testo ? 0.4 * k : 0;
                    const QRectF barre = cella.adjusted(0, 0, 0, -ht - spazio);
                    if (disegnaCodice128(p, barre, v) && testo) {
                        p.setFont(ft);
                        p.setPen(Qt::black);
                        p.drawText(QRectF(cella.left(), barre.bottom() + spazio, cella.width(), ht),
                                   Qt::AlignHCenter | Qt::AlignTop, v);
                    }
                }
            } else {
                const QString v = testoCella(col, c);
                p.setFont(carattere(col, f));
                p.setPen(v.contains(QLatin1String("{?")) ? QColor(Qt::red) : QColor(Qt::black));
                p.drawText(cella, int(al | Qt::AlignTop) | Qt::TextWordWrap, v);
            }
            x += w;
        }
        if (r.tipo == Riga::Titoli || l().elenco.si("Griglia", true)) {
            QPen pen(r.tipo == Riga::Titoli ? QColor(0x40, 0x40, 0x40) : QColor(0xb0, 0xb0, 0xb0));
            pen.setWidthF((r.tipo == Riga::Titoli ? 0.3 : 0.15) * k);
            p.setPen(pen);
            const double yb = (yMm + r.altezza) * k;
            p.drawLine(QPointF(margini.left() * k, yb), QPointF((margini.left() + totale) * k, yb));
        }
        p.restore();
    }

    void disegnaPagina(QPainter& p, int n, double k) {
        const Pagina& pg = pagine[size_t(n)];
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const Contesto testa = contesto(pg.riferimento, n);
        disegnaBanda(p, l().intestazione, margini.top(), testa, k);
        double y = margini.top() + l().intestazione.altezza;
        for (const Riga& r : pg.righe) {
            disegnaRiga(p, r, y, n, k);
            y += r.altezza;
        }
        const int ultimo = pg.ultimo >= 0 ? pg.ultimo : pg.riferimento;
        const Contesto fine = contesto(ultimo, n);
        if (pg.chiusura) {
            disegnaBanda(p, l().chiusura, y, fine, k);
        }
        disegnaBanda(p, l().piede, carta.height() - margini.bottom() - l().piede.altezza, fine, k);
        p.restore();
    }
};

// ------------------------------------------------------------------ Documento

Documento::Documento(Layout layout, DatiStampa dati, QString cartella)
    : layout_(std::move(layout)), dati_(std::move(dati)),
      d_(std::make_unique<Impl>(*this, std::move(cartella))) {
    if (!dati_.variabili) {
        dati_.variabili = std::make_shared<Valori>();
    }
    d_->impagina();
}

Documento::~Documento() = default;

int Documento::pagine() const {
    return int(d_->pagine.size());
}

QSizeF Documento::dimensioneMm() const {
    const QString f = layout_.pagina.valore("Formato", "A4").trimmed();
    QSizeF s(210, 297);
    const QString fl = f.toLower();
    if (fl == QLatin1String("a3")) {
        s = {297, 420};
    } else if (fl == QLatin1String("a5")) {
        s = {148, 210};
    } else if (fl == QLatin1String("letter")) {
        s = {215.9, 279.4};
    } else if (fl == QLatin1String("legal")) {
        s = {215.9, 355.6};
    } else if (fl.contains('x')) {
        const double w = fl.section('x', 0, 0).toDouble();
        const double h = fl.section('x', 1, 1).toDouble();
        if (w >= 20 && h >= 20 && w <= 2000 && h <= 2000) {
            s = {w, h};
        }
    }
    const bool orizzontale = layout_.pagina.valore("Orientamento")
                                 .trimmed()
                                 .compare(QLatin1String("Orizzontale"), Qt::CaseInsensitive) == 0;
    if (orizzontale != (s.width() > s.height())) {
        s.transpose();
    }
    return s;
}

QPageLayout Documento::impaginazione() const {
    QSizeF s = dimensioneMm();
    const bool orizzontale = s.width() > s.height();
    if (orizzontale) {
        s.transpose();
    }
    return QPageLayout(QPageSize(s, QPageSize::Millimeter),
                       orizzontale ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

void Documento::disegna(QPainter& p, int pagina, double pxPerMm) const {
    if (pagina < 0 || pagina >= pagine()) {
        return;
    }
    d_->disegnaPagina(p, pagina, pxPerMm);
}

QImage Documento::immagine(int pagina, double dpi) const {
    const double k = dpi / 25.4;
    const QSizeF mm = dimensioneMm();
    QImage img(qRound(mm.width() * k), qRound(mm.height() * k), QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    QPainter p(&img);
    disegna(p, pagina, k);
    p.end();
    return img;
}

bool Documento::scriviPdf(const QString& file, const QString& titolo, QString* errore) const {
    {
        QPdfWriter w(file);
        w.setTitle(titolo);
        w.setCreator(QStringLiteral("Quintar"));
        w.setPageLayout(impaginazione());
        w.setResolution(600);
        QPainter p;
        if (!p.begin(&w)) {
            if (errore) {
                *errore = QStringLiteral("impossibile scrivere il file");
            }
            return false;
        }
        const double k = w.resolution() / 25.4;
        for (int i = 0; i < pagine(); ++i) {
            if (i > 0) {
                w.newPage();
            }
            disegna(p, i, k);
        }
        p.end();
    }
    if (QFileInfo(file).size() == 0) {
        if (errore) {
            *errore = QStringLiteral("impossibile scrivere il file");
        }
        return false;
    }
    return true;
}

bool Documento::stampa(QPrinter& stampante, int da, int a) const {
    stampante.setFullPage(true);
    stampante.setPageLayout(impaginazione());
    const int primo = std::max(1, da);
    const int ultimo = a <= 0 ? pagine() : std::min(a, pagine());
    if (primo > ultimo) {
        return false;
    }
    QPainter p;
    if (!p.begin(&stampante)) {
        return false;
    }
    const double k = stampante.resolution() / 25.4;
    for (int i = primo; i <= ultimo; ++i) {
        if (i > primo) {
            stampante.newPage();
        }
        disegna(p, i - 1, k);
    }
    return p.end();
}

QStringList Documento::nomiSconosciuti() const {
    return d_->sconosciuti;
}

} // namespace quintar::report
