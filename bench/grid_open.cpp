// Opening a grid over a small and over a large table: time until the first
// screenful of rows is shown and resident memory after opening, as ratios
// large/small. Also searches on a column with an expression index of the
// shape the grid reads (UPPER(column) then the key): the dialog's defaults
// (">=", Upper, ascending), "LIKE %" and ">=" descending, each with its plan.
//
//   grid_open [--small N] [--large N] [--repeat N]
#include "inizializza.h"
#include "misure.h"
#include "piano.h"
#include "session/db.h"
#include "session/formati.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quintar;

namespace {

double rssMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& riga : f.readAll().split('\n')) {
        if (riga.startsWith("VmRSS:")) {
            return riga.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

void creaArchivio(const QString& file, int righe) {
    Database db;
    db.create(file);
    eseguiScript(db, tovaris::schema(QStringLiteral("company.sql")));
    eseguiScript(
        db,
        QStringLiteral(
            "CREATE TABLE ARTICOLI (CODICE INTEGER NOT NULL, DESCRIZIONE VARCHAR(60),\n"
            "  PREZZO NUMERIC(15,2), CONSTRAINT ARTICOLI_PK PRIMARY KEY (CODICE));\n"
            "CREATE INDEX ARTICOLI_RICERCA_DESCRIZIONE ON ARTICOLI COMPUTED BY\n"
            "  (UPPER(DESCRIZIONE) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));\n"
            "CREATE DESCENDING INDEX ARTICOLI_RICERCA_DESCRIZIONE_D ON ARTICOLI COMPUTED BY\n"
            "  (UPPER(DESCRIZIONE) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0'));\n"));
    Transaction t(&db);
    Query ins(&db, &t);
    ins.SQL = {
        QStringLiteral("INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO) VALUES (?, ?, ?)")};
    static const char* const parole[] = {"rosa",  "Basilico", "timo",  "Salvia",
                                         "menta", "Origano",  "alloro"};
    for (int i = 0; i < righe; ++i) {
        ins.setParams(
            {i,
             QStringLiteral("%1 %2").arg(QString::fromLatin1(parole[i % 7])).arg(i * 7919 % righe),
             double(i % 1000) / 4});
        ins.execSQL();
    }
    t.commit();
}

struct Ricerca {
    const char* nome;
    int tipo;
    int ordinamento;
    const char* testo;
};
// The first is the dialog's defaults. Each text finds more than a screenful
// at both sizes, so that both read as many rows.
const Ricerca kRicerche[] = {{"search", 0, 1, "salvia 5"},
                             {"search LIKE %", 2, 1, "salvia"},
                             {"search descending", 0, 2, "salvia 5"}};
constexpr int kNumeroRicerche = int(sizeof(kRicerche) / sizeof(kRicerche[0]));

struct Esito {
    double msApertura;
    double mib;
    double msRicerca[kNumeroRicerche];
    QString sqlRicerca[kNumeroRicerche];
    QString pianoRicerca[kNumeroRicerche];
};

Esito misura(const QString& file, int ripetizioni) {
    Database db;
    db.connect(file);
    Transaction tr(&db);
    Query q(&db, &tr);
    TCSDGrid g;
    g.resize(1000, 700);
    g.show();
    QApplication::processEvents();
    g.Situazione = 1;
    g.Utente = 1;
    g.NomeTabella = QStringLiteral("ARTICOLI");
    g.AbilitaRicerca = true;
    const QStringList base = {QStringLiteral("SELECT * FROM ARTICOLI")};
    g.collega(&q, [&] { return base; });

    auto schermata = [&] {
        // shown: rows painted up to the bottom of the viewport
        const int visibili =
            g.viewport()->height() / std::max(1, g.verticalHeader()->defaultSectionSize());
        while (g.modello()->rowCount() < visibili && g.modello()->canFetchMore({})) {
            g.modello()->fetchMore({});
        }
        g.viewport()->repaint();
    };

    std::vector<double> tempi;
    for (int i = 0; i < ripetizioni; ++i) {
        q.close();
        tr.restart();
        QElapsedTimer t;
        t.start();
        q.open();
        schermata();
        tempi.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(tempi.begin(), tempi.end());
    Esito e{};
    e.msApertura = tempi[tempi.size() / 2];
    e.mib = rssMiB();

    g.setCurrentIndex(
        g.modello()->index(0, g.modello()->indiceCampo(QStringLiteral("DESCRIZIONE"))));
    for (int r = 0; r < kNumeroRicerche; ++r) {
        std::vector<double> ricerche;
        for (int i = 0; i < ripetizioni; ++i) {
            ParametriRicerca p; // Upper, as the dialog has it
            p.testo = QString::fromLatin1(kRicerche[r].testo);
            p.tipo = kRicerche[r].tipo;
            p.ordinamento = kRicerche[r].ordinamento;
            QElapsedTimer t;
            t.start();
            if (!g.EseguiRicerca(p)) {
                throw DbError(QStringLiteral("search not run: ") + kRicerche[r].nome);
            }
            schermata();
            ricerche.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        e.msRicerca[r] = bench::mediana(ricerche);
        e.sqlRicerca[r] = q.sqlText().replace('\n', ' ');
        e.pianoRicerca[r] = bench::piano(db, tr, q.sqlText());
    }
    q.close();
    return e;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    int piccola = 1000;
    int grande = 1000000;
    int ripetizioni = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--small")) {
            piccola = args[++i].toInt();
        } else if (args[i] == QLatin1String("--large")) {
            grande = args[++i].toInt();
        } else if (args[i] == QLatin1String("--repeat")) {
            ripetizioni = std::max(1, args[++i].toInt());
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "grid_open: no temporary directory\n");
        return 1;
    }
    try {
        QElapsedTimer t;
        t.start();
        creaArchivio(dir.filePath(QStringLiteral("piccola.fdb")), piccola);
        creaArchivio(dir.filePath(QStringLiteral("grande.fdb")), grande);
        std::printf("grid_open archives: small=%d large=%d rows, made in %.1f s\n", piccola, grande,
                    double(t.elapsed()) / 1000);
        const double prima = rssMiB();
        const Esito p = misura(dir.filePath(QStringLiteral("piccola.fdb")), ripetizioni);
        const Esito g = misura(dir.filePath(QStringLiteral("grande.fdb")), ripetizioni);
        std::printf("grid_open small: open+first screen %.2f ms, search %.2f ms, rss %.1f MiB "
                    "(before %.1f)\n",
                    p.msApertura, p.msRicerca[0], p.mib, prima);
        std::printf("grid_open large: open+first screen %.2f ms, search %.2f ms, rss %.1f MiB\n",
                    g.msApertura, g.msRicerca[0], g.mib);
        for (int r = 0; r < kNumeroRicerche; ++r) {
            const char* n = kRicerche[r].nome;
            std::printf("grid_open %s: small %.2f ms, large %.2f ms, ratio=%.2f\n", n,
                        p.msRicerca[r], g.msRicerca[r],
                        g.msRicerca[r] / std::max(0.001, p.msRicerca[r]));
            std::printf("grid_open %s sql: %s\n", n, qPrintable(g.sqlRicerca[r]));
            std::printf("grid_open %s plan: %s\n", n, qPrintable(g.pianoRicerca[r]));
        }
        std::printf("grid_open ratio=%.2f search_ratio=%.2f mem_growth_mib=%.1f\n",
                    g.msApertura / std::max(0.001, p.msApertura),
                    g.msRicerca[0] / std::max(0.001, p.msRicerca[0]), g.mib - p.mib);
    } catch (const DbError& e) {
        std::fprintf(stderr, "grid_open: %s\n", qPrintable(e.messaggio()));
        return 1;
    }
    return 0;
}
