// A list of a million rows exported to a spreadsheet: the time of the export
// against writing the same rows from the same cursor as CSV in the same run,
// and the resident memory the export's peak adds (the rows never stand in
// memory, so it stays flat whatever the row count).
//
//   export_xlsx [--rows N] [--repeat N]
#include "inizializza.h"
#include "misure.h"
#include "session/db.h"
#include "session/formati.h"
#include "ui/esportaxlsx.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quintar;

namespace {

using bench::mediana;

double memoriaMiB(const char* voce) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& riga : f.readAll().split('\n')) {
        if (riga.startsWith(voce)) {
            return riga.mid(int(qstrlen(voce))).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

// The peak resident memory starts again from the present one.
void azzeraPicco() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("5");
    }
}

void creaArchivio(const QString& file, int righe) {
    Database db;
    db.create(file);
    eseguiScript(db, tovaris::schema(QStringLiteral("company.sql")));
    eseguiScript(db, QStringLiteral("CREATE TABLE ARTICOLI (CODICE INTEGER NOT NULL, DESCRIZIONE "
                                    "VARCHAR(60),\n  PREZZO NUMERIC(15,2), QUANTITA DOUBLE "
                                    "PRECISION, DATA DATE,\n  CONSTRAINT ARTICOLI_PK PRIMARY KEY "
                                    "(CODICE));\n"));
    Transaction t(&db);
    Query ins(&db, &t);
    ins.SQL = {QStringLiteral("INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO, QUANTITA, DATA) "
                              "VALUES (?, ?, ?, ?, ?)")};
    static const char* const parole[] = {"rosa",  "Basilico", "timo",  "Salvia",
                                         "menta", "Origano",  "alloro"};
    for (int i = 0; i < righe; ++i) {
        ins.setParams(
            {i,
             QStringLiteral("%1 %2").arg(QString::fromLatin1(parole[i % 7])).arg(i * 7919 % righe),
             double(i % 1000) / 4, i * 0.125, QDate(2020, 1, 1).addDays(i % 2000)});
        ins.execSQL();
    }
    t.commit();
}

const QStringList kSql = {QStringLiteral("SELECT * FROM ARTICOLI ORDER BY ARTICOLI.CODICE")};

// The same rows as text, the plain way.
qint64 scriviCsv(Query& q, const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return -1;
    }
    qint64 n = 0;
    for (; !q.eof(); q.next()) {
        QStringList riga;
        for (int i = 0; i < q.fieldCount(); ++i) {
            riga << q.field(i).asString();
        }
        out.write((riga.join(';') + QStringLiteral("\r\n")).toUtf8());
        ++n;
    }
    return n;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    int righe = 1000000;
    int ripetizioni = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows")) {
            righe = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--repeat")) {
            ripetizioni = std::max(1, args[++i].toInt());
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "export_xlsx: no temporary directory\n");
        return 1;
    }
    try {
        const QString archivio = dir.filePath(QStringLiteral("articoli.fdb"));
        QElapsedTimer t;
        t.start();
        creaArchivio(archivio, righe);
        std::printf("export_xlsx archive: %d rows, made in %.1f s\n", righe,
                    double(t.elapsed()) / 1000);
        Database db;
        db.connect(archivio);
        std::vector<double> xlsx, csv;
        double picco = 0;
        qint64 dimensione = 0;
        for (int r = 0; r < ripetizioni; ++r) {
            {
                Transaction tr(&db);
                Query q(&db, &tr);
                q.SQL = kSql;
                q.open();
                const QString file = dir.filePath(QStringLiteral("articoli.csv"));
                t.restart();
                if (scriviCsv(q, file) != righe) {
                    std::fprintf(stderr, "export_xlsx: the CSV missed rows\n");
                    return 1;
                }
                csv.push_back(double(t.nsecsElapsed()) / 1e6);
                q.close();
            }
            {
                Transaction tr(&db);
                Query q(&db, &tr);
                q.SQL = kSql;
                q.open();
                const QString file = dir.filePath(QStringLiteral("articoli.xlsx"));
                const double prima = memoriaMiB("VmRSS:");
                azzeraPicco();
                t.restart();
                const EsitoEsportazione e = scriviXlsx(q, {}, file);
                xlsx.push_back(double(t.nsecsElapsed()) / 1e6);
                if (e.stato != EsitoEsportazione::Completata || e.righe != righe) {
                    std::fprintf(stderr, "export_xlsx: %s\n", qPrintable(e.messaggio));
                    return 1;
                }
                picco = std::max(picco, memoriaMiB("VmHWM:") - prima);
                dimensione = QFileInfo(file).size();
                q.close();
            }
        }
        const double x = mediana(xlsx);
        const double c = mediana(csv);
        std::printf("export_xlsx csv: %.1f ms\n", c);
        std::printf("export_xlsx xlsx: %.1f ms, file %.1f MiB, peak memory added %.1f MiB\n", x,
                    double(dimensione) / 1048576.0, picco);
        std::printf("export_xlsx ratio=%.2f peak_mib=%.1f\n", x / std::max(0.001, c), picco);
    } catch (const DbError& e) {
        std::fprintf(stderr, "export_xlsx: %s\n", qPrintable(e.messaggio()));
        return 1;
    }
    return 0;
}
