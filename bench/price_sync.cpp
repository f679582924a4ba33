// The price synchronisation building its list of stale formulations on the
// large archive, against one grouped query computing the same sums: the
// screen should cost little more than that query. The list is checked
// against the cost computed formulation by formulation, one SUM each, which
// is also timed.
//
//   price_sync [SCALE] [--repeat N]     (SCALE 1: 100,000 raw materials,
//                                        20,000 formulations of 20 lines)
#include "formulation/costi.h"
#include "formulation/sincroprezzi.h"
#include "inizializza.h"
#include "misure.h"
#include "scala.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quintar;

namespace {

using bench::mediana;
using bench::ms;

// The grouped query alone, every row fetched.
double misuraGruppo(Database& db, int& righe) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT A.CODICEFORMULAZIONE,"),
             QStringLiteral("SUM(A.PERCENTUALE*B.PREZZO/100) AS TOTALE"),
             QStringLiteral("FROM COMPON A LEFT JOIN MATER B ON"),
             QStringLiteral("(A.CODICEMATERIAPRIMA=B.CODICE)"),
             QStringLiteral("GROUP BY A.CODICEFORMULAZIONE"),
             QStringLiteral("ORDER BY A.CODICEFORMULAZIONE")};
    QElapsedTimer t;
    t.start();
    righe = 0;
    for (q.open(); !q.eof(); q.next()) {
        ++righe;
    }
    q.close();
    return ms(t);
}

struct Riga {
    QString codice;
    qint64 ricalcolato;
};

// One SUM per formulation, as the list used to be built: the reference the
// screen's list must match.
std::vector<Riga> perFormulazione(Database& db, double& durata) {
    Transaction tr(&db);
    Query f(&db, &tr);
    Query s(&db, &tr);
    std::vector<Riga> r;
    QElapsedTimer t;
    t.start();
    f.SQL = {QStringLiteral("SELECT CODICE, COSTOUNITARIO FROM FORMUL ORDER BY CODICE")};
    for (f.open(); !f.eof(); f.next()) {
        const QString codice = f.field(0).asString();
        s.SQL = {QStringLiteral("SELECT SUM(A.PERCENTUALE*B.PREZZO/100) AS TOTALE"),
                 QStringLiteral("FROM COMPON A LEFT JOIN MATER B ON"),
                 QStringLiteral("(A.CODICEMATERIAPRIMA=B.CODICE)"),
                 QStringLiteral("WHERE A.CODICEFORMULAZIONE=") + sql::testoNonNullo(codice)};
        const QVariant somma = s.scalar();
        const auto c = costi::confrontaCosto(
            f.field(1).isNull() ? std::nullopt : std::optional<double>(f.field(1).asFloat()),
            somma.isValid() && !somma.isNull() ? std::optional<double>(somma.toDouble())
                                               : std::nullopt);
        if (c.variato) {
            r.push_back({codice, c.ricalcolato.decimillesimi()});
        }
    }
    f.close();
    durata = ms(t);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    double scala = 1.0;
    int ripetizioni = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--repeat") && i + 1 < args.size()) {
            ripetizioni = std::max(1, args[++i].toInt());
        } else {
            bool ok = false;
            const double s = args[i].toDouble(&ok);
            if (!ok || s <= 0) {
                std::fprintf(stderr, "uso: price_sync [SCALA] [--repeat N]\n");
                return 2;
            }
            scala = s;
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "price_sync: no temporary directory\n");
        return 1;
    }
    RegistraMessaggi messaggi; // a failure is printed, never a box waiting for a click
    try {
        QElapsedTimer t;
        t.start();
        const tovaris::Cartella c =
            tovaris::inizializza(dir.filePath(QStringLiteral("host")), false);
        // the tables the screen reads at the scale asked; the others, which
        // it never reads, as small as they go
        tovaris::Quantita q = tovaris::Quantita::scalate(scala);
        q.prodotti = 1;
        q.fabbricazioni = 1;
        q.pesate = 1;
        tovaris::riempiScala(c, q);
        std::printf("price_sync archive: scale %g, %d raw materials, %d formulations of %d "
                    "lines, made in %.1f s\n",
                    scala, q.materie, q.formulazioni, q.righePerFormulazione,
                    double(t.elapsed()) / 1000);
        qputenv(percorsi::kVariabileDirHost, c.radice.toUtf8());

        Database db;
        db.connect(c.azienda());
        TTabXForm sessione;
        sessione.Inserisci(QStringLiteral("KDQ"), QStringLiteral("Archivio"), {}, c.azienda(), {},
                           {}, {}, {}, QStringLiteral("1"));
        sessione.ConnettiDatabase1(QStringLiteral("Archivio"));

        std::vector<double> gruppo, schermata;
        int somme = 0;
        std::vector<Riga> lista;
        for (int i = 0; i < ripetizioni; ++i) {
            gruppo.push_back(misuraGruppo(db, somme));
            QElapsedTimer s;
            s.start();
            auto* f = new TSincroPrezziForm(&sessione);
            schermata.push_back(ms(s));
            lista.clear();
            for (int r = 0; r < f->Tab->rowCount(); ++r) {
                lista.push_back({f->Tab->codice(r), f->Tab->ricalcolato(r).decimillesimi()});
            }
            delete f;
        }
        if (!messaggi->mostrati.empty()) {
            std::fprintf(stderr, "price_sync: %s\n", qPrintable(messaggi->testi().join(" | ")));
            return 1;
        }
        double unaPerUna = 0;
        const std::vector<Riga> riferimento = perFormulazione(db, unaPerUna);
        bool uguali = lista.size() == riferimento.size();
        for (size_t i = 0; uguali && i < lista.size(); ++i) {
            uguali = lista[i].codice == riferimento[i].codice &&
                     lista[i].ricalcolato == riferimento[i].ricalcolato;
        }
        const double g = mediana(gruppo);
        const double sc = mediana(schermata);
        std::printf("price_sync grouped query: %d sums in %.1f ms\n", somme, g);
        std::printf("price_sync screen list: %zu stale formulations in %.1f ms\n", lista.size(),
                    sc);
        std::printf("price_sync one query per formulation: %.1f ms (%.1f times the screen), "
                    "same list: %s\n",
                    unaPerUna, unaPerUna / std::max(0.001, sc), uguali ? "yes" : "NO");
        std::printf("price_sync ratio=%.2f\n", sc / std::max(0.001, g));
        return uguali ? 0 : 1;
    } catch (const DbError& e) {
        std::fprintf(stderr, "price_sync: %s\n", qPrintable(e.messaggio()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "price_sync: %s\n", e.what());
    }
    return 1;
}
