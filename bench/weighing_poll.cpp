// The weighing monitor's poll on a large weighing archive when nothing is
// new, against one index probe of MAX(DATA_ORA) in the same run; also the
// poll that finds and classifies one new weighing, the whole-table count the
// poll makes once a minute, and the poll of an archive without the indexes.
//
//   weighing_poll [--rows N] [--repeat N]
#include "inizializza.h"
#include "misure.h"
#include "piano.h"
#include "production/pesate.h"
#include "session/db.h"
#include "session/formati.h"
#include "stazione.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quintar;

namespace {

using bench::misura;

const QDateTime kPrimo(QDate(2024, 1, 1), QTime(6, 0));

// A station's history: four scales, a weighing every 7 s, nearly all closed,
// one in 37 cancelled, and at the end one open weighing per scale and two in
// error.
void creaArchivio(const QString& file, int righe) {
    Database db;
    db.create(file);
    eseguiScript(db, tovaris::schema(QStringLiteral("weighing.sql")));
    Transaction t(&db);
    Query ins(&db, &t);
    ins.SQL = {QStringLiteral("INSERT INTO PESATE (BILANCIA, DATA_ORA, BARCODE, PESO, OPERATORE, "
                              "NOTE) VALUES (?, ?, ?, ?, ?, ?)")};
    for (int i = 0; i < righe; ++i) {
        QString nota = i % 37 == 0 ? pesate::kAnnullata : pesate::kChiusa;
        if (i >= righe - 4) {
            nota = pesate::kAperta;
        } else if (i >= righe - 6) {
            nota = pesate::kErrore;
        }
        ins.setParams({QStringLiteral("B%1").arg(1 + i % 4), kPrimo.addSecs(qint64(i) * 7),
                       QStringLiteral("CONTEST%1").arg(i % 100000000, 8, 10, QChar('0')),
                       1.0 + (i % 50000) / 100.0, QStringLiteral("Operatore %1").arg(1 + i % 6),
                       nota});
        ins.execSQL();
        if (i % 50000 == 49999) {
            t.commitRetaining();
        }
    }
    t.commit();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Formati::impostaItaliani();
    int righe = 1000000;
    int volte = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows")) {
            righe = std::max(100, args[++i].toInt());
        } else if (args[i] == QLatin1String("--repeat")) {
            volte = std::max(1, args[++i].toInt());
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "weighing_poll: no temporary directory\n");
        return 1;
    }
    const QString file = dir.filePath(QStringLiteral("PESATE.FDB"));
    try {
        QElapsedTimer t;
        t.start();
        creaArchivio(file, righe);
        std::printf("weighing_poll archive: %d weighings, made in %.1f s\n", righe,
                    double(t.elapsed()) / 1000);

        Database db;
        db.connect(file);

        // the baseline: one probe of the DATA_ORA index, prepared once
        Transaction lettura(&db, {QStringLiteral("isc_tpb_read_committed"),
                                  QStringLiteral("isc_tpb_rec_version"),
                                  QStringLiteral("isc_tpb_read")});
        Query massimo(&db, &lettura);
        massimo.SQL = {QStringLiteral("SELECT MAX(DATA_ORA) FROM PESATE")};
        massimo.scalar();
        const double base = misura(9, volte, [&] { massimo.scalar(); });

        pesate::Sondaggio s(&db);
        s.prepara();
        if (!s.veloce()) {
            std::fprintf(stderr, "weighing_poll: the archive's indexes were not recognised\n");
            return 1;
        }
        s.esegui(); // the first poll reports the list, and counts the whole table
        int cambi = 0;
        const double poll = misura(9, volte, [&] { cambi += s.esegui() ? 1 : 0; });
        if (cambi != 0) {
            std::fprintf(stderr, "weighing_poll: %d polls saw a change in a still archive\n",
                         cambi);
            return 1;
        }

        // the count of the whole table, made by a poll at most once a minute
        s.IntervalloConteggioMs = 0;
        const double conteggio = misura(3, 3, [&] { s.esegui(); }) - poll;
        s.IntervalloConteggioMs = 60000;

        // one new weighing: found, classified, reported
        int nuove = 0;
        QDateTime momento = kPrimo.addSecs(qint64(righe) * 7);
        const double conNuova = misura(3, std::max(1, volte / 20), [&] {
            momento = momento.addSecs(7);
            tovaris::scriviPesate(db, {{QStringLiteral("B1"), QStringLiteral("CONTEST99999999"),
                                        2.5, QStringLiteral("Operatore 1"), momento}});
            nuove += s.esegui() && s.classificate() == 1 ? 1 : 0;
        });

        std::printf(
            "weighing_poll plans: probe %s | poll %s | classification %s\n",
            qPrintable(bench::piano(db, lettura, massimo.sqlText())),
            qPrintable(bench::piano(db, lettura, s.testoFirma())),
            qPrintable(bench::piano(
                db, lettura, pesate::Sondaggio::testoClassificazione(s.indici()).join('\n'))));

        // the same archive without the indexes: every poll counts the table
        lettura.commit();
        {
            Transaction ddl(&db);
            Query q(&db, &ddl);
            for (const char* i : {"PESATE_NOTE", "PESATE_DATA_ORA"}) {
                q.SQL = {QStringLiteral("ALTER INDEX %1 INACTIVE").arg(QLatin1String(i))};
                q.execSQL();
            }
            ddl.commit();
        }
        pesate::Sondaggio lento(&db);
        lento.prepara();
        lento.esegui();
        const double pollLento = misura(3, std::max(1, volte / 50), [&] { lento.esegui(); });

        std::printf("weighing_poll probe MAX(DATA_ORA): %.1f us\n", base);
        std::printf("weighing_poll poll, nothing new: %.1f us (%d polls, no change seen)\n", poll,
                    9 * volte);
        std::printf("weighing_poll whole-table count (at most once a minute): %.1f ms, %.2f us "
                    "per poll at 200 ms\n",
                    conteggio / 1000, conteggio / 300);
        std::printf(
            "weighing_poll poll with one new weighing (written by the station, classified): "
            "%.1f us, %d of %d classified\n",
            conNuova, nuove, 3 * std::max(1, volte / 20));
        std::printf("weighing_poll poll without the indexes: %.1f ms (ratio %.0f)\n",
                    pollLento / 1000, pollLento / std::max(0.001, base));
        std::printf("weighing_poll ratio=%.2f\n", poll / std::max(0.001, base));
    } catch (const DbError& e) {
        std::fprintf(stderr, "weighing_poll: %s\n", qPrintable(e.messaggio()));
        return 1;
    }
    return 0;
}
