#include "scala.h"

#include "session/db.h"

#include <QElapsedTimer>
#include <algorithm>
#include <random>

using quintar::Database;
using quintar::Query;
using quintar::Transaction;

namespace tovaris {

Quantita Quantita::scalate(double f) {
    Quantita q;
    auto s = [f](int n) { return std::max(1, int(n * f)); };
    q.materie = s(q.materie);
    q.formulazioni = s(q.formulazioni);
    q.prodotti = s(q.prodotti);
    q.fabbricazioni = s(q.fabbricazioni);
    q.pesate = s(q.pesate);
    return q;
}

namespace {

// Commits every so many rows, so that a transaction stays large but bounded.
class Scrittore {
public:
    Scrittore(Database& db, QStringList sql) : tr_(&db), q_(&db, &tr_) { q_.SQL = std::move(sql); }
    void riga(std::vector<QVariant> valori) {
        q_.setParams(std::move(valori));
        q_.execSQL();
        if (++n_ % 50000 == 0) {
            tr_.commitRetaining();
        }
    }
    void fine() { tr_.commit(); }

private:
    Transaction tr_;
    Query q_;
    long n_ = 0;
};

QString codiceMateria(int i) {
    return QStringLiteral("MP%1").arg(i, 6, 10, QChar('0'));
}

const char* const kNomi[] = {"Tensioattivo", "Sodio",      "Potassio", "Profumo",      "Colorante",
                             "Conservante",  "Addensante", "Solvente", "Sequestrante", "Enzima"};
const char* const kStati[] = {"", "DA FARE", "ESCLUSA", "IMPEGNATA", "FINITA"};

} // namespace

void riempiScala(const Cartella& c, const Quantita& q,
                 const std::function<void(const QString&)>& avanzamento) {
    auto dire = [&](const QString& s) {
        if (avanzamento) {
            avanzamento(s);
        }
    };
    std::mt19937 caso(20261209);
    QElapsedTimer t;
    t.start();
    Database az;
    az.connect(nomeConnessione(c.azienda()));

    Scrittore materie(az, {"INSERT INTO MATER (CODICE, NOMECOMMERCIALE, CODICECATEGORIAMP, PREZZO,",
                           "MATERIAATTIVA, ULTIMOAGGIORNPREZZO) VALUES (?,?,?,?,?,?)"});
    for (int i = 1; i <= q.materie; ++i) {
        materie.riga({codiceMateria(i),
                      QStringLiteral("%1 %2").arg(QLatin1String(kNomi[i % 10])).arg(i),
                      QString::number(1 + i % 8), 0.5 + (caso() % 1000) / 100.0,
                      double(caso() % 100), QDate(2026, 1 + i % 12, 1 + i % 28)});
    }
    materie.fine();
    dire(QStringLiteral("materie prime: %1 (%2 ms)").arg(q.materie).arg(t.elapsed()));

    Scrittore formul(
        az, {"INSERT INTO FORMUL (CODICE, NOME, DENSITA, COSTOUNITARIO) VALUES (?,?,?,?)"});
    Scrittore compon(az, {"INSERT INTO COMPON (CODICEFORMULAZIONE, NRIGA, CODICEMATERIAPRIMA,",
                          "PERCENTUALE, TOLLERANZA) VALUES (?,?,?,?,?)"});
    for (int f = 1; f <= q.formulazioni; ++f) {
        formul.riga({f, QStringLiteral("Formulazione %1").arg(f), 1.0 + (caso() % 30) / 100.0,
                     1.0 + (caso() % 500) / 100.0});
        for (int r = 1; r <= q.righePerFormulazione; ++r) {
            // the lines add up to 80 %: the rest is water
            compon.riga({f, r, codiceMateria(1 + int(caso() % unsigned(q.materie))),
                         80.0 / q.righePerFormulazione, 2.0});
        }
    }
    formul.fine();
    compon.fine();
    dire(QStringLiteral("formulazioni: %1 da %2 righe (%3 ms)")
             .arg(q.formulazioni)
             .arg(q.righePerFormulazione)
             .arg(t.elapsed()));

    Scrittore prodotti(az,
                       {"INSERT INTO PRODOT (CODICE, CODICEFORMULAZIONE, NOME) VALUES (?,?,?)"});
    for (int p = 1; p <= q.prodotti; ++p) {
        prodotti.riga({QStringLiteral("PR%1").arg(p, 6, 10, QChar('0')),
                       1 + int(caso() % unsigned(q.formulazioni)),
                       QStringLiteral("Prodotto %1").arg(p)});
    }
    prodotti.fine();
    dire(QStringLiteral("prodotti: %1 (%2 ms)").arg(q.prodotti).arg(t.elapsed()));

    Scrittore fabbric(
        az, {"INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, CODICEPRODOTTO,",
             "QUANTITALITRI, STATUS, IDORDINEIMPMAT) VALUES (?,?,?,?,?,?,?,?,?)"});
    Scrittore righe(az, {"INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE,",
                         "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, SERIALE,",
                         "PESATA) VALUES (?,?,?,?,?,?,?,?)"});
    Scrittore assegnate(
        az, {"INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, OPERATORE,",
             "ID_FABBRICAZIONE, BARCODE_LOTTO_MATERIA, CODICEFABBRICAZIONE, DATAFABBRICAZIONE,",
             "LOTTOFABBRICAZIONE, CODICEMATERIAPRIMA, CODICEFORNITORE, LOTTOMATERIAPRIMA)",
             "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"});
    Scrittore consumi(az, {"INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA,",
                           "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES (?,?,?,?,?,?,?)"});
    // supplier lots, each of one material and supplier, with five package serials
    const int lotti = std::max(1, q.fabbricazioni / 10);
    auto materiaLotto = [&](int l) {
        return codiceMateria(1 + int((qint64(l) * 7919) % q.materie));
    };
    auto codiceLotto = [](int l) { return QStringLiteral("LF%1").arg(l, 7, 10, QChar('0')); };
    auto fornitoreLotto = [](int l) {
        return QStringLiteral("F%1").arg(1 + l % 50, 3, 10, QChar('0'));
    };
    auto seriale = [](int l, int k) {
        return QStringLiteral("SR%1").arg(qint64(l - 1) * 5 + k, 9, 10, QChar('0'));
    };
    const QDate inizio(2020, 1, 1);
    const QDateTime primo(QDate(2024, 1, 1), QTime(6, 0));
    std::vector<int> ordini;
    for (int b = 1; b <= q.fabbricazioni; ++b) {
        const int p = 1 + int(caso() % unsigned(q.prodotti));
        const QString stato = QString::fromLatin1(kStati[b % 5]);
        const bool impegnata = b % 5 >= 3;
        const QString codice = QStringLiteral("PR%1").arg(p, 6, 10, QChar('0'));
        const QDate data = inizio.addDays(b % 2500);
        const QString lotto = QStringLiteral("L%1").arg(b);
        fabbric.riga({codice, data, lotto, b, QStringLiteral("Prodotto %1").arg(p), codice,
                      1000.0 + b % 5000, stato.isEmpty() ? QVariant() : QVariant(stato),
                      impegnata ? QVariant(QString::number(b)) : QVariant()});
        if (impegnata) {
            ordini.push_back(b);
        }
        for (int r = 1; r <= q.righePerFabbricazione; ++r) {
            const qint64 w = qint64(b - 1) * q.righePerFabbricazione + (r - 1);
            const int l = 1 + int(caso() % unsigned(lotti));
            const QString materia = materiaLotto(l);
            const QString barcode =
                QStringLiteral("CONTEST%1").arg(w % 100000000, 8, 10, QChar('0'));
            const bool pesata = w < q.pesate;
            const double peso = 1.0 + (caso() % 50000) / 100.0;
            righe.riga({codice, data, lotto, r, materia, 80.0 / q.righePerFabbricazione, barcode,
                        pesata ? QVariant(peso) : QVariant()});
            if (pesata) {
                assegnate.riga(
                    {w + 1, QStringLiteral("B%1").arg(1 + w % 4),
                     primo.addSecs(w * 7).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.0000")),
                     barcode, peso, QStringLiteral("Operatore %1").arg(1 + w % 6), b,
                     seriale(l, 1 + int(caso() % 5)), codice, data, lotto, materia,
                     fornitoreLotto(l), codiceLotto(l)});
            }
        }
        if (b % 10 == 0) {
            const int l = 1 + int(caso() % unsigned(lotti));
            consumi.riga({b / 10, b, materiaLotto(l), materiaLotto(l),
                          seriale(l, 1 + int(caso() % 5)), 5.0 + b % 20, codiceLotto(l)});
        }
    }
    fabbric.fine();
    righe.fine();
    assegnate.fine();
    consumi.fine();
    dire(QStringLiteral("fabbricazioni: %1 con %2 righe, pesate assegnate e consumi (%3 ms)")
             .arg(q.fabbricazioni)
             .arg(q.righePerFabbricazione)
             .arg(t.elapsed()));
    az.disconnect();

    Database erp;
    erp.connect(nomeConnessione(c.erp()));
    Scrittore lotto(erp, {"INSERT INTO LOTTI (ID, CODICELOTTO, CODICEFORNITORE, CODICEARTICOLO)",
                          "VALUES (?,?,?,?)"});
    Scrittore seriali(erp,
                      {"INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES (?,?,?)"});
    for (int l = 1; l <= lotti; ++l) {
        lotto.riga({l, codiceLotto(l), fornitoreLotto(l), materiaLotto(l)});
        for (int k = 1; k <= 5; ++k) {
            seriali.riga({seriale(l, k), materiaLotto(l), l});
        }
    }
    lotto.fine();
    seriali.fine();
    Scrittore ordc(erp, {"INSERT INTO ORDC (ID, LINEA, DATADOCUMENTO, NDOCUMENTO, FATTURATO,",
                         "STAMPATO, SCARICATO, TIPODOCUMENTO, CODICECLIENTE)",
                         "VALUES (?,'IMP',?,?,'0','0','0','OC','PRODGEST')"});
    for (int b : ordini) {
        ordc.riga({b, inizio.addDays(b % 2500), QStringLiteral("L%1").arg(b)});
    }
    ordc.fine();
    erp.disconnect();
    dire(QStringLiteral("lotti fornitore: %1, ordini: %2 (%3 ms)")
             .arg(lotti)
             .arg(ordini.size())
             .arg(t.elapsed()));

    Database pes;
    pes.connect(nomeConnessione(c.pesate()));
    Scrittore pesate(pes,
                     {"INSERT INTO PESATE (BILANCIA, DATA_ORA, BARCODE, PESO, OPERATORE, NOTE)",
                      "VALUES (?,?,?,?,?,?)"});
    for (int w = 0; w < q.pesate; ++w) {
        pesate.riga({QStringLiteral("B%1").arg(1 + w % 4), primo.addSecs(qint64(w) * 7),
                     QStringLiteral("CONTEST%1").arg(w % 100000000, 8, 10, QChar('0')),
                     1.0 + (caso() % 50000) / 100.0, QStringLiteral("Operatore %1").arg(1 + w % 6),
                     w % 3 == 0 ? QVariant() : QVariant(QStringLiteral("OK"))});
    }
    pesate.fine();
    dire(QStringLiteral("pesate: %1 (%2 ms)").arg(q.pesate).arg(t.elapsed()));
}

} // namespace tovaris
