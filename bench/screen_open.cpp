// Opening the raw-materials card through its entry point, from the call to
// the card shown with its first row current, against a bare attach of the
// company archive in the same run; on the large archive and on a small one,
// to show that the length of the list does not weigh on the opening.
//
//   screen_open [--scale F] [--small N] [--repeat N]
//     --scale F   large archive: F times 100,000 raw materials (default 1)
//     --small N   small archive: N raw materials (default 100)
//     --repeat N  timed openings per archive, after one not timed (default 5)
#include "host/lancio.h"
#include "inizializza.h"
#include "master/mater.h"
#include "misure.h"
#include "scala.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

using namespace quintar;

namespace {

using bench::mediana;
using bench::ms;

constexpr int kUtente = 2; // an operator with full rights
// An opening that never shows its first row is a failure, not a figure.
constexpr qint64 kLimiteMs = 120000;

// A host folder filled with `materie` raw materials and the formulations of
// the same scale. Products, batches and weighings, which the card never
// reads, are left as small as they go. The user archive holds the usual
// users with their parameters pointing into the folder.
tovaris::Cartella creaCartella(const QString& dir, int materie, double& secondi) {
    QElapsedTimer t;
    t.start();
    const tovaris::Cartella c = tovaris::inizializza(dir, false);
    tovaris::Quantita q = tovaris::Quantita::scalate(double(materie) / 100000);
    q.materie = materie;
    q.prodotti = 1;
    q.fabbricazioni = 1;
    q.pesate = 1;
    tovaris::riempiScala(c, q);
    secondi = double(t.elapsed()) / 1000;
    return c;
}

struct Apertura {
    double lancio = 0; // the entry point returned: card built and shown
    double riga = 0;   // the first row current and shown in the consultation page
    QString codice;
};

// The card's code edit shows the list's current row.
bool rigaMostrata(QWidget* f) {
    auto* g = f->findChild<TCSDGrid*>(QStringLiteral("GridMater"));
    auto* e = f->findChild<QLineEdit*>(QStringLiteral("EditCodice2"));
    auto* s = qobject_cast<TMaterForm*>(f);
    if (!g || !e || !s) {
        throw std::runtime_error("GridMater o EditCodice2 assenti");
    }
    return g->currentIndex().isValid() && !e->text().isEmpty() &&
           e->text() == s->codiceCorrenteGriglia();
}

QString statoScheda(TMaterForm* f) {
    auto* g = f->findChild<TCSDGrid*>(QStringLiteral("GridMater"));
    return QStringLiteral("la scheda non mostra la prima riga: %1 righe nella lista, riga "
                          "corrente %2 (%3), codice mostrato \"%4\"")
        .arg(g->model()->rowCount())
        .arg(g->currentIndex().row())
        .arg(f->codiceCorrenteGriglia())
        .arg(f->findChild<QLineEdit*>(QStringLiteral("EditCodice2"))->text());
}

Apertura apri(const tovaris::Cartella& c, MessaggiRegistrati& messaggi) {
    qputenv(percorsi::kVariabileDirHost, c.radice.toUtf8());
    const QList<QWidget*> prima = QApplication::topLevelWidgets();
    Apertura a;
    QElapsedTimer t;
    t.start();
    lanciaDaEntrata("ShowMaterForm", kUtente, std::nullopt);
    a.lancio = ms(t);
    QPointer<TMaterForm> f;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* s = qobject_cast<TMaterForm*>(w); s && !prima.contains(w)) {
            f = s;
        }
    }
    if (!f) {
        throw std::runtime_error("la scheda materie prime non si è aperta");
    }
    while (!rigaMostrata(f)) {
        // an error box while opening is a failure: its text is printed
        if (!messaggi.mostrati.empty() || t.elapsed() > kLimiteMs) {
            throw std::runtime_error(statoScheda(f).toStdString());
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!f) {
            throw std::runtime_error("la scheda si è chiusa da sola");
        }
    }
    a.riga = ms(t);
    a.codice = f->findChild<QLineEdit*>(QStringLiteral("EditCodice2"))->text();
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete f.data(); // null once the close has freed it
    return a;
}

double attacca(const tovaris::Cartella& c) {
    Database db;
    QElapsedTimer t;
    t.start();
    db.connect(c.azienda());
    const double d = ms(t);
    db.disconnect();
    return d;
}

struct Figure {
    double attacco, lancio, riga, fredda;
    QString codice;
};

// A first opening reported apart (the first of the process pays for fonts
// and styles a host has loaded long before), then `ripetizioni` of each,
// attach and card taken in turn.
Figure misura(const tovaris::Cartella& c, int ripetizioni, MessaggiRegistrati& messaggi) {
    Figure r;
    r.fredda = apri(c, messaggi).riga;
    std::vector<double> attacchi, lanci, righe;
    for (int i = 0; i < ripetizioni; ++i) {
        attacchi.push_back(attacca(c));
        const Apertura a = apri(c, messaggi);
        lanci.push_back(a.lancio);
        righe.push_back(a.riga);
        r.codice = a.codice;
    }
    r.attacco = mediana(attacchi);
    r.lancio = mediana(lanci);
    r.riga = mediana(righe);
    return r;
}

void stampa(const char* nome, int materie, const Figure& f) {
    std::printf("screen_open %s archive (%d raw materials): bare attach %.1f ms, card %.1f ms "
                "(entry point returned at %.1f ms, first row %s), first opening %.1f ms\n",
                nome, materie, f.attacco, f.riga, f.lancio, qPrintable(f.codice), f.fredda);
}

int uso() {
    std::fprintf(stderr, "uso: screen_open [--scale F] [--small N] [--repeat N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    double scala = 1.0;
    int piccolo = 100;
    int ripetizioni = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = i + 1 < args.size();
        if (ok && args[i] == QLatin1String("--scale")) {
            scala = args[++i].toDouble(&ok);
            ok = ok && scala > 0 && scala <= 100;
        } else if (ok && args[i] == QLatin1String("--small")) {
            piccolo = args[++i].toInt(&ok);
            ok = ok && piccolo > 0;
        } else if (ok && args[i] == QLatin1String("--repeat")) {
            ripetizioni = args[++i].toInt(&ok);
            ok = ok && ripetizioni > 0;
        } else {
            ok = false;
        }
        if (!ok) {
            return uso();
        }
    }
    const int grande = std::max(1, int(100000 * scala));
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "screen_open: no temporary directory\n");
        return 1;
    }
    RegistraMessaggi messaggi; // a failure is printed, never a box waiting for a click
    try {
        double s = 0;
        const tovaris::Cartella cg =
            creaCartella(dir.filePath(QStringLiteral("grande")), grande, s);
        std::printf("screen_open large archive: %d raw materials, made in %.1f s\n", grande, s);
        const tovaris::Cartella cp =
            creaCartella(dir.filePath(QStringLiteral("piccolo")), piccolo, s);
        std::printf("screen_open small archive: %d raw materials, made in %.1f s\n", piccolo, s);
        std::fflush(stdout);

        const Figure fp = misura(cp, ripetizioni, *messaggi);
        const Figure fg = misura(cg, ripetizioni, *messaggi);
        if (!messaggi->mostrati.empty()) {
            std::fprintf(stderr, "screen_open: %s\n", qPrintable(messaggi->testi().join(" | ")));
            return 1;
        }
        stampa("small", piccolo, fp);
        stampa("large", grande, fg);
        std::printf("screen_open large/small card: %.2f\n", fg.riga / std::max(0.001, fp.riga));
        std::printf("screen_open ratio=%.2f\n", fg.riga / std::max(0.001, fg.attacco));
        return 0;
    } catch (const DbError& e) {
        std::fprintf(stderr, "screen_open: %s\n", qPrintable(e.messaggio()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "screen_open: %s\n", e.what());
    }
    for (const QString& m : messaggi->testi()) {
        std::fprintf(stderr, "screen_open: shown: %s\n", qPrintable(m));
    }
    return 1;
}
