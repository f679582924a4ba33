// Lot traceability on the large archive: the screen's forward trace of one
// supplier lot and backward trace of one batch (found by its lot), against
// the single indexed join that answers each, in the same run. The trace
// adds what the join leaves out (consumption lines, lines never weighed,
// material and supplier names, the host's suppliers and orders); it should
// cost little more. Then the genealogy of the same lot through semi-finished
// batches three levels deep (added to the archive once), against one indexed
// join per level.
//
//   trace [--scale F] [--repeat N] [--archive DIR]
//     scale 1: 200,000 batches of 5 lines, 1,000,000 weighings assigned;
//     --archive keeps the archive made in DIR and uses it again when DIR
//     already holds one made at the same scale.
#include "inizializza.h"
#include "misure.h"
#include "piano.h"
#include "production/traccia.h"
#include "scala.h"
#include "session/db.h"
#include "session/formati.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace quintar;

namespace {

using bench::misura;

// Opens, fetches every row, closes; the rows read.
int leggiTutto(Query& q) {
    int n = 0;
    for (q.open(); !q.eof(); q.next()) {
        ++n;
    }
    q.close();
    return n;
}

// Semi-finished batches three levels under the first batches that weighed
// the lot, added once (an archive kept with --archive has them already):
// each of up to 8 of those batches is weighed by 2 premixes of level 2, each
// of those consumed by 2 premixes of level 3, each of those weighed by 2
// finished batches of level 4.
void aggiungiSemilavorati(Database& az, const QString& lotto) {
    Transaction t(&az);
    Query q(&az, &t);
    q.SQL = {QStringLiteral("SELECT COUNT(*) FROM FABBRIC WHERE CODICE = 'SEMI2'")};
    if (q.scalar().toLongLong() > 0) {
        t.rollback();
        return;
    }
    struct Fab {
        qint64 id;
        QString codice, lotto;
    };
    std::vector<Fab> primo;
    q.SQL = {QStringLiteral("SELECT DISTINCT F.ID, F.CODICE, F.LOTTO FROM PESATE_FABBR P"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
             QStringLiteral("WHERE P.LOTTOMATERIAPRIMA = ? ORDER BY F.ID ROWS 8")};
    q.setParams({lotto});
    for (q.open(); !q.eof(); q.next()) {
        primo.push_back(
            {q.field(0).asInteger(), q.field(1).asString().trimmed(), q.field(2).asString()});
    }
    q.close();
    auto massimo = [&](const QString& sql) {
        q.SQL = {sql};
        q.clearParams();
        return q.scalar().toLongLong();
    };
    qint64 idFab = massimo(QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM FABBRIC"));
    qint64 idPesata = massimo(QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM PESATE_FABBR"));
    qint64 idConsumo = massimo(QStringLiteral("SELECT COALESCE(MAX(ID_CONSUMI), 0) FROM CONSUMI"));
    Query fab(&az, &t), pesata(&az, &t), consumo(&az, &t);
    fab.SQL = {QStringLiteral("INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, "
                              "QUANTITALITRI, UNITAMISURA, STATUS) VALUES (?, ?, ?, ?, ?, ?, "
                              "'Kg', ?)")};
    pesata.SQL = {QStringLiteral("INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, "
                                 "ID_FABBRICAZIONE, CODICEMATERIAPRIMA, LOTTOMATERIAPRIMA) "
                                 "VALUES (?, 'B1', '2027-01-01 08:00:00.0000', ?, ?, ?, ?, ?)")};
    consumo.SQL = {QStringLiteral("INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, "
                                  "CODICEMATERIA, CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)")};
    // a new batch of the level, taking its parent by weighing or consumption
    auto nuova = [&](int livello, int k, const Fab& padre, bool pesando) {
        Fab f{++idFab, livello < 4 ? QStringLiteral("SEMI%1").arg(livello) : QStringLiteral("FIN4"),
              QStringLiteral("S%1-%2").arg(livello).arg(k, 4, 10, QChar('0'))};
        fab.setParams({f.codice, QDate(2027, 1, livello), f.lotto, f.id,
                       QStringLiteral("Premiscela di livello %1").arg(livello), 500.0,
                       livello < 4 ? QStringLiteral("FINITA") : QStringLiteral("DA FARE")});
        fab.execSQL();
        if (pesando) {
            pesata.setParams({++idPesata, QStringLiteral("CONTEST9%1").arg(f.id), 25.0, f.id,
                              padre.codice, padre.lotto});
            pesata.execSQL();
        } else {
            consumo.setParams({++idConsumo, f.id, padre.codice, padre.codice,
                               QStringLiteral("IBC%1").arg(f.id), 25.0, padre.lotto});
            consumo.execSQL();
        }
        return f;
    };
    std::vector<Fab> livello = primo;
    for (int l = 2; l <= 4; ++l) {
        std::vector<Fab> prossimo;
        int k = 0;
        for (const Fab& padre : livello) {
            for (int j = 0; j < 2; ++j) {
                prossimo.push_back(nuova(l, ++k, padre, l != 3));
            }
        }
        livello = std::move(prossimo);
    }
    t.commit();
}

// One indexed join: the batches that took any of the lots given, by their
// weighings or their consumption lines, every row fetched.
struct JoinLivello {
    Query q;
    JoinLivello(Database* az, Transaction* tr, const QStringList& lotti, bool consumi) : q(az, tr) {
        QStringList posti;
        std::vector<QVariant> valori;
        for (const QString& l : lotti) {
            posti << QStringLiteral("?");
            valori.emplace_back(l);
        }
        q.SQL = {consumi ? QStringLiteral("SELECT F.ID, F.CODICE, F.DATA, F.LOTTO, F.STATUS, "
                                          "C.CODICECONSUMATO, C.QUANTITA FROM CONSUMI C")
                         : QStringLiteral("SELECT F.ID, F.CODICE, F.DATA, F.LOTTO, F.STATUS, "
                                          "P.CODICEMATERIAPRIMA, P.PESO FROM PESATE_FABBR P"),
                 consumi ? QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE")
                         : QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
                 (consumi ? QStringLiteral("WHERE C.LOTTO IN (")
                          : QStringLiteral("WHERE P.LOTTOMATERIAPRIMA IN (")) +
                     posti.join(QStringLiteral(", ")) + ')'};
        q.setParams(std::move(valori));
    }
};

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QGuiApplication app(argc, argv); // the host folder's icon is drawn
    Formati::impostaItaliani();
    double scala = 1.0;
    int giri = 15;
    QString cartellaArchivio;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            scala = args[++i].toDouble();
        } else if (args[i] == QLatin1String("--repeat") && i + 1 < args.size()) {
            giri = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--archive") && i + 1 < args.size()) {
            cartellaArchivio = args[++i];
        } else {
            std::fprintf(stderr, "uso: trace [--scale F] [--repeat N] [--archive DIR]\n");
            return 2;
        }
    }
    if (scala <= 0) {
        std::fprintf(stderr, "trace: scala non valida\n");
        return 2;
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "trace: no temporary directory\n");
        return 1;
    }
    try {
        QElapsedTimer t;
        t.start();
        // the tables the trace reads at the scale asked; formulations, which
        // it never reads, as small as they go
        tovaris::Quantita q = tovaris::Quantita::scalate(scala);
        q.formulazioni = 1;
        q.righePerFormulazione = 1;
        const int lotti = std::max(1, q.fabbricazioni / 10);
        const QString radice = cartellaArchivio.isEmpty() ? dir.path() : cartellaArchivio;
        // written last, when the archive is complete
        QFile fatto(radice + QStringLiteral("/scala.txt"));
        tovaris::Cartella c;
        c.radice = QDir(radice + QStringLiteral("/host")).absolutePath() + '/';
        if (!cartellaArchivio.isEmpty() && fatto.open(QIODevice::ReadOnly)) {
            if (fatto.readAll().trimmed().toDouble() != scala) {
                std::fprintf(stderr, "trace: %s holds an archive of another scale\n",
                             qPrintable(cartellaArchivio));
                return 2;
            }
            std::printf("trace archive: scale %g, %d batches, the one in %s\n", scala,
                        q.fabbricazioni, qPrintable(cartellaArchivio));
        } else {
            if (!QDir().mkpath(radice)) {
                std::fprintf(stderr, "trace: cannot make %s\n", qPrintable(radice));
                return 1;
            }
            c = tovaris::inizializza(radice + QStringLiteral("/host"), false);
            tovaris::riempiScala(c, q);
            if (!cartellaArchivio.isEmpty() && fatto.open(QIODevice::WriteOnly)) {
                fatto.write(QByteArray::number(scala));
                fatto.close();
            }
            std::printf("trace archive: scale %g, %d batches of %d lines, %d weighings assigned, "
                        "%d supplier lots, made in %.1f s\n",
                        scala, q.fabbricazioni, q.righePerFabbricazione, q.pesate, lotti,
                        double(t.elapsed()) / 1000);
        }

        Database az, erp;
        az.connect(c.azienda());
        erp.connect(c.erp());
        traccia::Tracciatore tracciatore(&az, &erp);
        const QString lottoFornitore =
            QStringLiteral("LF%1").arg(std::max(1, lotti / 2), 7, 10, QChar('0'));
        const QString lottoFabbricazione =
            QStringLiteral("L%1").arg(std::max(1, q.fabbricazioni / 2));

        // the single indexed joins
        Transaction tr(&az);
        Query avanti(&az, &tr), indietro(&az, &tr);
        // what answers each question, and nothing more: the batches and the
        // weighings of the lot; the lines of the batch with their weighings
        avanti.SQL = {QStringLiteral("SELECT F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, "
                                     "F.STATUS, F.IDORDINEIMPMAT,"),
                      QStringLiteral("  P.BARCODE_LOTTO_MATERIA, P.CODICEFORNITORE, P.PESO, "
                                     "P.DATAORA"),
                      QStringLiteral("FROM PESATE_FABBR P"),
                      QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
                      QStringLiteral("WHERE P.LOTTOMATERIAPRIMA = ?")};
        avanti.setParams({lottoFornitore});
        const std::vector<traccia::Fabbricazione> trovate =
            tracciatore.fabbricazioni(lottoFabbricazione);
        if (trovate.size() != 1 || !trovate.front().id) {
            std::fprintf(stderr, "trace: batch %s not found\n", qPrintable(lottoFabbricazione));
            return 1;
        }
        const traccia::Fabbricazione& fab = trovate.front();
        indietro.SQL = {
            QStringLiteral("SELECT A.NRIGA, A.CODICEMATERIAPRIMA, P.BARCODE_LOTTO_MATERIA, "
                           "P.LOTTOMATERIAPRIMA, P.CODICEFORNITORE, P.PESO, P.DATAORA, P.BILANCIA"),
            QStringLiteral("FROM FABBCOMPON A"),
            QStringLiteral("  LEFT JOIN PESATE_FABBR P ON P.BARCODE = A.SERIALE AND "
                           "P.ID_FABBRICAZIONE = ?"),
            QStringLiteral("WHERE A.CODICEFABBRICAZIONE = ? AND A.DATAFABBRICAZIONE = ? AND "
                           "A.LOTTOFABBRICAZIONE = ?")};
        indietro.setParams({*fab.id, fab.codice, fab.data, fab.lotto});

        int righeAvanti = 0, righeIndietro = 0;
        size_t utilizzi = 0, righeTraccia = 0;
        const traccia::Ricerca ricerca{traccia::Chiave::LottoFornitore, lottoFornitore, {}, {}};
        auto tracciaAvanti = [&] { utilizzi = tracciatore.avanti(ricerca).utilizzi.size(); };
        auto tracciaIndietro = [&] {
            righeTraccia = 0;
            for (const traccia::Fabbricazione& f : tracciatore.fabbricazioni(lottoFabbricazione)) {
                righeTraccia += tracciatore.indietro(f).flat.size();
            }
        };
        // The first run of each prepares its statements and warms the cache.
        // Neither side starts a transaction per run (the screen does, once per
        // trace): a start writes the transaction inventory, and that write,
        // the same for both, would hide what the statements cost. The four
        // are timed in turn within each round, the ratio taken per round.
        righeAvanti = leggiTutto(avanti);
        righeIndietro = leggiTutto(indietro);
        tracciaAvanti();
        tracciaIndietro();
        const int volte = 20;
        const bench::Alternate m = bench::misuraAlternate(
            giri, volte,
            {[&] { righeAvanti = leggiTutto(avanti); },
             [&] { righeIndietro = leggiTutto(indietro); }, tracciaAvanti, tracciaIndietro},
            [](const std::vector<double>& t) {
                return (t[2] + t[3]) / std::max(0.001, t[0] + t[1]);
            });
        const double baseAvanti = m.mediane[0], baseIndietro = m.mediane[1];
        const double sAvanti = m.mediane[2], sIndietro = m.mediane[3];

        for (const traccia::Frase& fa : traccia::frasiAvanti(ricerca)) {
            std::printf("trace forward plan: %s\n",
                        qPrintable(bench::piano(az, tr, fa.sql.join('\n'))));
        }
        std::printf("trace join plans: %s | %s\n",
                    qPrintable(bench::piano(az, tr, avanti.sqlText())),
                    qPrintable(bench::piano(az, tr, indietro.sqlText())));
        {
            traccia::Tracciatore soloAzienda(&az, nullptr);
            soloAzienda.avanti(ricerca);
            const double senzaErp = misura(giri, volte, [&] { soloAzienda.avanti(ricerca); });
            std::printf("trace forward without the host archive: %.1f us\n", senzaErp);
        }
        const double ricerca1 =
            misura(giri, volte, [&] { tracciatore.fabbricazioni(lottoFabbricazione); });
        std::printf("trace backward: finding the batch by its lot takes %.1f us of it\n", ricerca1);
        std::printf("trace forward join: %d rows in %.1f us; trace of lot %s: %zu uses in %.1f us "
                    "(%.2f times)\n",
                    righeAvanti, baseAvanti, qPrintable(lottoFornitore), utilizzi, sAvanti,
                    sAvanti / std::max(0.001, baseAvanti));
        std::printf("trace backward join: %d rows in %.1f us; trace of batch %s: %zu rows in %.1f "
                    "us (%.2f times)\n",
                    righeIndietro, baseIndietro, qPrintable(lottoFabbricazione), righeTraccia,
                    sIndietro, sIndietro / std::max(0.001, baseIndietro));
        if (utilizzi < size_t(righeAvanti) || righeTraccia < size_t(righeIndietro)) {
            std::fprintf(stderr, "trace: the trace found fewer rows than the join\n");
            return 1;
        }

        // the genealogy of the same lot through the semi-finished batches
        aggiungiSemilavorati(az, lottoFornitore);
        tr.rollback(); // the joins and the genealogy see the batches added
        traccia::Genealogista genealogista(&az, &tr);
        traccia::Partenza partenza;
        partenza.ricerca = ricerca;
        traccia::Genealogia g = genealogista.avanti(partenza);
        // the lots of each level, as the joins bind them
        std::vector<QStringList> lottiLivello(size_t(std::max(1, g.livelli())) + 1);
        for (const traccia::Nodo& n : g.nodi) {
            QStringList& l = lottiLivello[size_t(n.livello)];
            if (!l.contains(n.fabbricazione.lotto.trimmed())) {
                l << n.fabbricazione.lotto.trimmed();
            }
        }
        // level 1 is the lot's own join; level 3 consumed level 2, the
        // others weighed the level above
        std::vector<std::unique_ptr<JoinLivello>> join;
        for (size_t l = 1; l + 1 < lottiLivello.size(); ++l) {
            join.push_back(std::make_unique<JoinLivello>(&az, &tr, lottiLivello[l], l + 1 == 3));
        }
        int righeJoin = 0;
        auto joinPerLivello = [&] {
            righeJoin = leggiTutto(avanti);
            for (auto& j : join) {
                righeJoin += leggiTutto(j->q);
            }
        };
        size_t nodi = 0;
        auto genealogia = [&] { nodi = genealogista.avanti(partenza).nodi.size(); };
        joinPerLivello();
        genealogia();
        const bench::Alternate ml = bench::misuraAlternate(
            giri, volte, {joinPerLivello, genealogia},
            [](const std::vector<double>& t) { return t[1] / std::max(0.001, t[0]); });
        QStringList perLivello;
        for (int l = 1; l <= g.livelli(); ++l) {
            perLivello << QString::number(
                std::count_if(g.nodi.begin(), g.nodi.end(),
                              [&](const traccia::Nodo& n) { return n.livello == l; }));
        }
        std::printf("trace levels: %zu batches on %d levels (%s), %d join rows in %.1f us (%zu "
                    "joins); genealogy in %.1f us (%.2f times)\n",
                    nodi, g.livelli(), qPrintable(perLivello.join(QStringLiteral(" + "))),
                    righeJoin, ml.mediane[0], join.size() + 1, ml.mediane[1],
                    ml.mediane[1] / std::max(0.001, ml.mediane[0]));
        if (g.livelli() < 4 || nodi < size_t(righeJoin) / 2) {
            std::fprintf(stderr, "trace: the genealogy did not reach the fourth level\n");
            return 1;
        }
        std::printf(
            "trace levels plans: %s | %s | %s\n",
            qPrintable(bench::piano(
                az, tr,
                QStringLiteral("SELECT F.ID FROM PESATE_FABBR P INNER JOIN FABBRIC F ON "
                               "F.ID = P.ID_FABBRICAZIONE WHERE P.LOTTOMATERIAPRIMA IN "
                               "(?, ?) UNION ALL SELECT F.ID FROM CONSUMI C INNER JOIN "
                               "FABBRIC F ON F.ID = C.ID_FABBRICAZIONE WHERE C.LOTTO IN "
                               "(?, ?)"))),
            qPrintable(bench::piano(
                az, tr,
                QStringLiteral("SELECT F.ID FROM FABBRIC F WHERE F.FABBRICAZIONEDA_LOTTO "
                               "IN (?, ?) AND F.FABBRICAZIONEDA = 'SM'"))),
            qPrintable(join.empty() ? QString() : bench::piano(az, tr, join.back()->q.sqlText())));
        std::printf("trace levels ratio=%.2f\n", ml.rapporto);
        std::printf("trace ratio=%.2f\n", m.rapporto);
        return 0;
    } catch (const DbError& e) {
        std::fprintf(stderr, "trace: %s\n", qPrintable(e.messaggio()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trace: %s\n", e.what());
    }
    return 1;
}
