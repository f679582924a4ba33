// The customer acquisition screen importing a file of N lines (half of the
// customers already in the archive under another name, every line with a
// delivery address) against a raw prepared upsert of the same rows into a
// copy of the same archive, in the same run; and the screen on a tenth of
// the lines, to show that its time grows with the lines and no faster.
//
//   customer_import [--lines N]     (default 100,000)
#include "exchange/acqcliquintar.h"
#include "exchange/fileclienti.h"
#include "host/lancio.h"
#include "inizializza.h"
#include "misure.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <stdexcept>

using namespace quintar;

namespace {

using bench::ms;

constexpr int kUtente = 2;

// Two lines per customer, each with a delivery address; Windows-1252 with
// apostrophes and accents, as an older program writes it.
QByteArray creaFile(int righe) {
    QByteArray f;
    f.reserve(righe * 160);
    for (int i = 0; i < righe; ++i) {
        const int cliente = i / 2;
        f += QStringLiteral("K%1;Drogheria dell'Angolo;n. %2;Via Forlì %3;47121;Forlì;FC;Italia;"
                            "RSSMRA70A01D704X;0123456789%4;;R%5;Punto vendita;%6;Via Roma %7;"
                            "Scala %8;;47122;Cesena;FC\r\n")
                 .arg(cliente, 7, 10, QLatin1Char('0'))
                 .arg(cliente)
                 .arg(i % 300)
                 .arg(i % 10)
                 .arg(i % 2)
                 .arg(i)
                 .arg(i % 97)
                 .arg(i % 5)
                 .toLatin1();
    }
    return f;
}

// A host folder whose ERP archive holds every other customer of the file
// under another name.
tovaris::Cartella creaCartella(const QString& dir, int righe) {
    const tovaris::Cartella c = tovaris::inizializza(dir, false);
    Database db;
    db.connect(c.erp());
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {QStringLiteral("INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES (?, ?)")};
    for (int cliente = 0; cliente < righe / 2; cliente += 2) {
        q.setParams({QStringLiteral("K%1").arg(cliente, 7, 10, QLatin1Char('0')),
                     QStringLiteral("Nome precedente")});
        q.execSQL();
    }
    t.commit();
    return c;
}

// The rows the screen writes, upserted one prepared statement at a time.
double upsertGrezzo(const QString& archivio, const QByteArray& file, int& scritte) {
    Database db;
    db.connect(archivio);
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {QStringLiteral("UPDATE OR INSERT INTO CLIENTI (CODICE, RAGSOC, INDIRIZZO, CAP, CITTA, "
                            "PROVINCIA, NAZIONE, PI, CF, INFO9, INTESTATARIOFATTURA, NOTETECNICHE, "
                            "OP1, DATACREAZIONE, OP2, DATAULTIMOAGGIORNAMENTO) VALUES (?, ?, ?, ?, "
                            "?, ?, ?, ?, ?, ?, ?, ?, ?, CURRENT_DATE, ?, CURRENT_DATE) "
                            "MATCHING (CODICE)")};
    // the file read outside the timing: the baseline is the writes alone
    const clienti::ContenutoFile c = clienti::leggi(file, false);
    auto v = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    QElapsedTimer tempo;
    tempo.start();
    scritte = 0;
    for (const clienti::Cliente& cl : c.clienti) {
        q.setParams({cl.codice, v(cl.nome), v(cl.indirizzo), v(cl.cap), v(cl.citta),
                     v(cl.provincia), v(cl.nazione), v(cl.partitaIva), v(cl.codiceFiscale),
                     QVariant(), QVariant(), QVariant(), kUtente, kUtente});
        scritte += q.execSQL();
        for (const clienti::Destinatario& d : cl.destinatari) {
            q.setParams({d.codice, v(d.nome), v(d.indirizzo), v(d.cap), v(d.citta), v(d.provincia),
                         QVariant(), QVariant(), QVariant(), v(d.riferimento), cl.codice,
                         v(clienti::noteTecniche(d)), kUtente, kUtente});
            scritte += q.execSQL();
        }
    }
    t.commit();
    return ms(tempo);
}

struct Esito {
    double ms = 0;
    int righeArchivio = 0;
};

// The screen as the host opens it, answering Yes to the overwrite.
Esito schermata(const tovaris::Cartella& c, const QString& file, MessaggiRegistrati& messaggi) {
    qputenv(percorsi::kVariabileDirHost, c.radice.toUtf8());
    const QList<QWidget*> prima = QApplication::topLevelWidgets();
    lanciaDaEntrata("ShowAcqCliQuintarForm", kUtente, std::nullopt);
    TAcqCliQuintarForm* f = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* s = qobject_cast<TAcqCliQuintarForm*>(w); s && !prima.contains(w)) {
            f = s;
        }
    }
    if (!f) {
        throw std::runtime_error("la schermata di acquisizione non si è aperta");
    }
    QApplication::processEvents();
    f->EditFile->setText(file);
    f->CheckSaltaPrimaRiga->setChecked(false);
    messaggi.pulisci();
    messaggi.risposte = {QStringLiteral("Sì")};
    QElapsedTimer t;
    t.start();
    f->ButtonAcquisisci->click();
    Esito e;
    e.ms = ms(t);
    if (messaggi.mostrati.empty() ||
        messaggi.mostrati.back().testo != QLatin1String("Elaborazione completata")) {
        throw std::runtime_error(
            ("acquisizione non completata: " + messaggi.testi().join(QStringLiteral(" | ")))
                .toStdString());
    }
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Database db;
    db.connect(c.erp());
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT COUNT(*) FROM CLIENTI")};
    e.righeArchivio = q.scalar().toInt();
    return e;
}

QString scriviFile(const QString& percorso, const QByteArray& dati) {
    QFile f(percorso);
    if (!f.open(QIODevice::WriteOnly) || f.write(dati) != dati.size()) {
        throw std::runtime_error(("impossibile scrivere " + percorso).toStdString());
    }
    return percorso;
}

} // namespace

int main(int argc, char** argv) {
    bench::piattaformaPredefinita();
    QApplication app(argc, argv);
    Formati::impostaItaliani();
    int righe = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = i + 1 < args.size() && args[i] == QLatin1String("--lines");
        if (ok) {
            righe = args[++i].toInt(&ok);
            ok = ok && righe >= 20;
        }
        if (!ok) {
            std::fprintf(stderr, "uso: customer_import [--lines N]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "customer_import: no temporary directory\n");
        return 1;
    }
    RegistraMessaggi messaggi;
    try {
        const int decimo = righe / 10;
        QElapsedTimer t;
        t.start();
        const tovaris::Cartella grande =
            creaCartella(dir.filePath(QStringLiteral("grande")), righe);
        const tovaris::Cartella piccola =
            creaCartella(dir.filePath(QStringLiteral("piccola")), decimo);
        const QString copia = dir.filePath(QStringLiteral("grezzo.fdb"));
        if (!QFile::copy(grande.erp(), copia)) {
            throw std::runtime_error("copia dell'archivio non riuscita");
        }
        const QByteArray datiGrandi = creaFile(righe);
        const QString fileGrande =
            scriviFile(dir.filePath(QStringLiteral("grande.csv")), datiGrandi);
        const QString filePiccolo =
            scriviFile(dir.filePath(QStringLiteral("piccola.csv")), creaFile(decimo));
        std::printf("customer_import archives and files: %d and %d lines, made in %.1f s\n", righe,
                    decimo, double(t.elapsed()) / 1000);
        std::fflush(stdout);

        int scritte = 0;
        const double grezzo = upsertGrezzo(copia, datiGrandi, scritte);
        const Esito p = schermata(piccola, filePiccolo, *messaggi);
        const Esito g = schermata(grande, fileGrande, *messaggi);
        std::printf("customer_import raw prepared upsert: %d rows in %.0f ms\n", scritte, grezzo);
        std::printf("customer_import screen: %d lines in %.0f ms (%d customer rows), %d lines in "
                    "%.0f ms\n",
                    righe, g.ms, g.righeArchivio, decimo, p.ms);
        std::printf("customer_import per line large/small: %.2f\n",
                    (g.ms / righe) / std::max(0.000001, p.ms / decimo));
        std::printf("customer_import ratio=%.2f\n", g.ms / std::max(0.001, grezzo));
        return 0;
    } catch (const DbError& e) {
        std::fprintf(stderr, "customer_import: %s\n", qPrintable(e.messaggio()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "customer_import: %s\n", e.what());
    }
    for (const QString& m : messaggi->testi()) {
        std::fprintf(stderr, "customer_import: shown: %s\n", qPrintable(m));
    }
    return 1;
}
