// Lot traceability on the large archive: the screen's forward trace of one
// supplier lot and backward trace of one batch (found by its lot), against
// the single indexed join that answers each, in the same run. The trace
// adds what the join leaves out (consumption lines, lines never weighed,
// material and supplier names, the host's suppliers and orders); it should
// cost little more.
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
        std::printf("trace ratio=%.2f\n", m.rapporto);
        return 0;
    } catch (const DbError& e) {
        std::fprintf(stderr, "trace: %s\n", qPrintable(e.messaggio()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trace: %s\n", e.what());
    }
    return 1;
}
