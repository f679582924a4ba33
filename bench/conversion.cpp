// The archive conversion of a generated older archive, "Elabora" on the
// conversion screen as the host opens it, against the raw prepared insert of
// the same rows (read and converted beforehand) in one transaction, into a
// second archive of the same kind, in the same run.
//
//   conversion [--records N]
#include "exchange/conv.h"
#include "exchange/conversione.h"
#include "exchange/paradox.h"
#include "host/lancio.h"
#include "inizializza.h"
#include "misure.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "support/paradoxprova.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

using namespace quintar;

namespace {

constexpr int kUtente = 1;

// Shares of the records: the line tables are the large ones.
std::map<QString, int> distribuzione(qint64 totale) {
    const std::map<QString, double> quote = {
        {"COMPON", 0.30}, {"STOMAT", 0.25},       {"PROCED", 0.10},  {"FABBRIC", 0.08},
        {"STOFAB", 0.05}, {"MATER", 0.05},        {"SPECIF", 0.05},  {"ANANC", 0.03},
        {"PRODOT", 0.03}, {"FORMUL", 0.02},       {"IMBALLI", 0.01}, {"FORNITO", 0.01},
        {"COSTI", 0.01},  {"FOTOIMBALLI", 0.005}, {"CONFEZ", 0.005}};
    std::map<QString, int> r;
    qint64 assegnati = 0;
    for (const auto& t : prova::paradox::tabelleVecchie()) {
        int n = 10;
        if (t.destinazione == "CPAR" || t.destinazione == "PRACQUA") {
            n = 1;
        } else if (const auto it = quote.find(t.destinazione); it != quote.end()) {
            n = int(double(totale) * it->second);
        }
        r[t.destinazione] = n;
        assegnati += n;
    }
    r["COMPON"] += int(std::max<qint64>(0, totale - assegnati));
    return r;
}

// The rows of every table, read and converted as the screen does, inserted
// with one prepared statement per table in one transaction: the time of the
// inserts and the commit alone.
double inserimentoDiretto(const tovaris::Cartella& c, const QString& vecchio, qint64& righe) {
    Database db;
    db.connect(c.azienda());
    Transaction tr(&db);
    Query meta(&db, &tr);
    double ns = 0;
    righe = 0;
    for (const auto& t : conversione::tabelle()) {
        paradox::Tabella origine(paradox::trovaFile(vecchio, t.cartella + '\\' + t.file));
        const std::vector<conversione::Colonna> colonne = conversione::colonneDestinazione(meta, t);
        std::vector<int> campi;
        const bool haCampo3 = origine.indiceCampo("TEMPO3") >= 0;
        for (const QString& col : t.colonne) {
            campi.push_back(
                origine.indiceCampo(conversione::campoOrigine(t.destinazione, col, haCampo3)));
        }
        std::vector<std::vector<QVariant>> valori(size_t(origine.numeroRecord()));
        paradox::Record r;
        for (int i = 0; i < origine.numeroRecord(); ++i) {
            origine.leggi(i, r);
            for (size_t k = 0; k < colonne.size(); ++k) {
                valori[size_t(i)].push_back(conversione::valore(r[size_t(campi[k])], colonne[k]));
            }
        }
        Query ins(&db, &tr);
        ins.SQL = {conversione::fraseInserimento(t)};
        QElapsedTimer tempo;
        tempo.start();
        for (auto& v : valori) {
            ins.setParams(std::move(v));
            ins.execSQL();
        }
        ns += double(tempo.nsecsElapsed());
        righe += qint64(valori.size());
    }
    QElapsedTimer tempo;
    tempo.start();
    tr.commit();
    return (ns + double(tempo.nsecsElapsed())) / 1e6;
}

double conversioneSchermata(const tovaris::Cartella& c, const QString& vecchio,
                            MessaggiRegistrati& messaggi) {
    qputenv(percorsi::kVariabileDirHost, c.radice.toUtf8());
    auto* f = dynamic_cast<TConvForm*>(
        LanciaSchermata(*trovaSchermata("ShowConvForm"), kUtente, std::nullopt));
    if (!f) {
        throw std::runtime_error("la schermata di conversione non si è aperta");
    }
    f->EditArchivi->setText(vecchio);
    messaggi.risposte = {"Sì"};
    messaggi.mostrati.clear();
    QElapsedTimer t;
    t.start();
    f->ButtonElabora->click();
    const double r = double(t.nsecsElapsed()) / 1e6;
    const QStringList testi = messaggi.testi();
    if (testi.isEmpty() || testi.last() != "Elaborazione completata") {
        throw std::runtime_error(("conversione non riuscita: " + testi.join(" | ")).toStdString());
    }
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    qint64 record = 500000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--records")) {
            record = std::max<qint64>(100, args[++i].toLongLong());
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "conversion: no temporary directory\n");
        return 1;
    }
    auto messaggi = std::make_shared<MessaggiRegistrati>();
    Messaggi::installa(messaggi);
    try {
        QElapsedTimer t;
        t.start();
        const QString vecchio = dir.filePath("vecchio");
        const auto righe = distribuzione(record);
        const qint64 scritti = prova::paradox::scriviArchivioVecchio(
            vecchio, [&](const QString& tabella) { return righe.at(tabella); });
        const double secondiVecchio = double(t.restart()) / 1000;
        const tovaris::Cartella diretta = tovaris::inizializza(dir.filePath("diretta"), false);
        const tovaris::Cartella schermata = tovaris::inizializza(dir.filePath("schermata"), false);
        std::printf("conversion archives: %lld records in 28 Paradox tables made in %.1f s, two "
                    "company archives in %.1f s\n",
                    static_cast<long long>(scritti), secondiVecchio, double(t.elapsed()) / 1000);
        qint64 inseriti = 0;
        const double base = inserimentoDiretto(diretta, vecchio, inseriti);
        const double conv = conversioneSchermata(schermata, vecchio, *messaggi);
        std::printf("conversion baseline: %lld rows by prepared insert in one transaction "
                    "%.0f ms (%.1f µs a row)\n",
                    static_cast<long long>(inseriti), base, base * 1000 / double(inseriti));
        std::printf("conversion screen: Elabora to the end %.0f ms (%.1f µs a row)\n", conv,
                    conv * 1000 / double(inseriti));
        std::printf("conversion ratio=%.2f\n", conv / std::max(0.001, base));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "conversion: %s\n", e.what());
        Messaggi::installa(nullptr);
        return 1;
    }
    Messaggi::installa(nullptr);
    return 0;
}
