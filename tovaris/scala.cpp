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
             "QUANTITALITRI, STATUS) VALUES (?,?,?,?,?,?,?,?)"});
    const QDate inizio(2020, 1, 1);
    for (int b = 1; b <= q.fabbricazioni; ++b) {
        const int p = 1 + int(caso() % unsigned(q.prodotti));
        const QString stato = QString::fromLatin1(kStati[b % 5]);
        fabbric.riga({QStringLiteral("PR%1").arg(p, 6, 10, QChar('0')), inizio.addDays(b % 2500),
                      QStringLiteral("L%1").arg(b), b, QStringLiteral("Prodotto %1").arg(p),
                      QStringLiteral("PR%1").arg(p, 6, 10, QChar('0')), 1000.0 + b % 5000,
                      stato.isEmpty() ? QVariant() : QVariant(stato)});
    }
    fabbric.fine();
    dire(QStringLiteral("fabbricazioni: %1 (%2 ms)").arg(q.fabbricazioni).arg(t.elapsed()));
    az.disconnect();

    Database pes;
    pes.connect(nomeConnessione(c.pesate()));
    Scrittore pesate(pes,
                     {"INSERT INTO PESATE (BILANCIA, DATA_ORA, BARCODE, PESO, OPERATORE, NOTE)",
                      "VALUES (?,?,?,?,?,?)"});
    const QDateTime primo(QDate(2024, 1, 1), QTime(6, 0));
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
