// Labels of a batch: the template filled byte for byte, the log kept only
// for a job the print system took, through a print server of the test's own
// (a private scheduler on a socket of the test folder, with a raw queue whose
// device writes what it receives into the folder).
#include "exchange/impovarie.h"
#include "production/etichette.h"
#include "production/liqpolv.h"
#include "report/stampanti.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "support/strumenti.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quintar;

TEST(Etichette, IlModelloSiCompilaSenzaToccareAltriByte) {
    EXPECT_EQ(etichette::seriale10("123"), "0000000123");
    EXPECT_EQ(etichette::seriale10("123456789012"), "1234567890");
    const QByteArray modello("^XA\r\n^FD<LOTTO>|<DATASCADENZA>|<DATAFABBRICAZIONE>^FS\xe0\x01"
                             "<SERIALE>/<SERIALENORM10>/<SERIALE>\r\n^XZ");
    EXPECT_EQ(etichette::compila(modello, {"L25015", "", "15/01/2025", "4711"}),
              QByteArray("^XA\r\n^FDL25015||15/01/2025^FS\xe0\x01"
                         "4711/0000004711/4711\r\n^XZ"));
    EXPECT_EQ(etichette::nomeStampante("etichette,Local Raw Printer,cattura:/x"), "etichette");
}

namespace {

// A print server of the test's own: nothing reaches the system's service.
// Its queue "etichette" has a file device in the test folder; the scheduler
// opens that file afresh for every job, so it holds the last job. A queue
// with no driver at all would never write the file (the scheduler writes a
// file device only through a filter), so the queue's driver has a single
// filter that passes the job's bytes through unchanged.
class ServerStampa {
public:
    ServerStampa() {
        const QString r = dir_.path();
        QFile::setPermissions(r, QFile::permissions(r) | QFile::ExeOther | QFile::ReadOther);
        for (const char* d : {"conf", "spool", "cache", "state", "log", "out", "bin"}) {
            QDir(r).mkpath(QString::fromLatin1(d));
        }
        // the folder the jobs' user writes into
        QFile::setPermissions(r + "/out", QFileDevice::Permissions(0x7777));
        scrivi("bin/passa",
               "#!/bin/sh\nif [ -n \"$6\" ]; then exec cat \"$6\"; else exec cat; fi\n");
        QFile::setPermissions(r + "/bin/passa", QFileDevice::Permissions(0x7555));
        scrivi("etichette.ppd", "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n"
                                "*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
                                "*LanguageEncoding: ISOLatin1\n*PCFileName: \"ETICHETT.PPD\"\n"
                                "*Manufacturer: \"Prova\"\n*Product: \"(Etichette)\"\n"
                                "*ModelName: \"Etichette grezze\"\n"
                                "*ShortNickName: \"Etichette grezze\"\n"
                                "*NickName: \"Etichette grezze\"\n*PSVersion: \"(3010.000) 0\"\n"
                                "*cupsFilter: \"application/vnd.cups-raw 0 " +
                                    r + "/bin/passa\"\n");
        presa_ = r + "/cups.sock";
        scrivi("conf/cupsd.conf", "Listen " + presa_ +
                                      "\nLogLevel warn\nWebInterface No\nDefaultAuthType None\n"
                                      "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                      "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                      "  </Limit>\n</Policy>\n");
        QString file = "ServerRoot " + r + "/conf\nRequestRoot " + r + "/spool\nTempDir " + r +
                       "/spool\nCacheDir " + r + "/cache\nStateDir " + r + "/state\nAccessLog " +
                       r + "/log/access_log\nErrorLog " + r + "/log/error_log\nPageLog " + r +
                       "/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"
                       "FileDevice Yes\n";
        if (geteuid() == 0) {
            // a scheduler started by root runs its jobs as an ordinary user
            // (never as root); one started by a user runs them as that user
            file += "User nobody\nGroup nogroup\nSystemGroup root\n";
        }
        scrivi("conf/cups-files.conf", file);
        cupsd_.setProgram(prova::strumento("cupsd"));
        cupsd_.setArguments(
            {"-f", "-c", r + "/conf/cupsd.conf", "-s", r + "/conf/cups-files.conf"});
        cupsd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        cupsd_.start();
        pronto_ = cupsd_.waitForStarted(5000) &&
                  QTest::qWaitFor([this] { return QFile::exists(presa_); }, 10000);
        if (pronto_) {
            QProcess lpadmin;
            lpadmin.setProcessChannelMode(QProcess::ForwardedChannels);
            lpadmin.start(prova::strumento("lpadmin"),
                          {"-h", presa_, "-p", "etichette", "-E", "-v", "file://" + uscita(), "-P",
                           r + "/etichette.ppd"});
            pronto_ = lpadmin.waitForFinished(10000) && lpadmin.exitCode() == 0;
        }
        qputenv("CUPS_SERVER", presa_.toUtf8());
        cupsSetServer(presa_.toUtf8().constData());
    }
    ~ServerStampa() {
        cupsSetServer(nullptr);
        qunsetenv("CUPS_SERVER");
        cupsd_.terminate();
        cupsd_.waitForFinished(5000);
    }
    bool pronto() const { return pronto_; }
    QString uscita() const { return dir_.path() + "/out/etichette.prn"; }
    // What the printer received, once every job is done and it holds what
    // is expected (or after ten seconds, whatever it holds).
    QByteArray stampato(const QByteArray& atteso) const {
        QByteArray letto;
        QTest::qWaitFor(
            [&] {
                letto = contenuto();
                return nessunLavoroAttivo() && letto == atteso;
            },
            10000);
        return letto;
    }

private:
    QByteArray contenuto() const {
        QFile f(uscita());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool nessunLavoroAttivo() {
        cups_job_t* lavori = nullptr;
        const int n =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &lavori, "etichette", 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(n, lavori);
        return n == 0;
    }
    void scrivi(const QString& nome, const QString& testo) {
        QFile f(dir_.path() + '/' + nome);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testo.toUtf8());
    }
    QTemporaryDir dir_;
    QString presa_;
    QProcess cupsd_;
    bool pronto_ = false;
};

TEST(ServerEtichette, UnLavoroGrezzoArrivaAllaCodaBytePerByte) {
    RICHIEDI_STRUMENTO("cupsd", "cups-daemon");
    RICHIEDI_STRUMENTO("lpadmin", "cups-client");
    ServerStampa server;
    ASSERT_TRUE(server.pronto()) << "the test's print server did not start";
    // every byte value, line ends and a NUL among them, untouched by the queue
    QByteArray dati;
    for (int i = 0; i < 256; ++i) {
        dati.append(char(i));
    }
    dati += "\r\n^XZ\n";
    EXPECT_EQ(etichette::invia("etichette", dati), QString());
    EXPECT_EQ(server.stampato(dati), dati);
    // a queue the scheduler does not have: its reason, no job
    EXPECT_NE(etichette::invia("nessuna", "x"), QString());
}

struct Etichetta : prova::ConScheda {};

TEST_F(Etichetta, LaStampaMandaIlModelloCompilatoAllaStampanteERegistraIlSeriale) {
    RICHIEDI_STRUMENTO("cupsd", "cups-daemon");
    RICHIEDI_STRUMENTO("lpadmin", "cups-client");
    ServerStampa server;
    ASSERT_TRUE(server.pronto()) << "the test's print server did not start";
    // the settings offer the queue among the printers
    QStringList stampanti;
    for (const Stampante& st : elencoStampanti()) {
        stampanti << st.nome;
    }
    EXPECT_TRUE(stampanti.contains("etichette")) << stampanti.join(',').toStdString();
    // and the settings screen lists it with its raw driver and file device
    {
        auto* impo = apri<TImpoVarieForm>("ShowImpoVarieForm");
        ASSERT_NE(impo, nullptr);
        QStringList voci;
        for (int i = 0; i < impo->ComboStampanteEticFabbr->count(); ++i) {
            voci << impo->ComboStampanteEticFabbr->itemData(i).toString();
        }
        EXPECT_TRUE(voci.contains("etichette,Etichette grezze,file://" + server.uscita()))
            << voci.join('|').toStdString();
        impo->close();
    }
    // the demo's template of FM001's label, with the formulation's two years
    h.esegui(az(), {"UPDATE FORMUL SET MESIDURATAPRODOTTO=24 WHERE CODICE=1"});
    ASSERT_EQ(valore("SELECT MESIDURATAPRODOTTO FROM FORMUL WHERE CODICE=1"), "24");
    const QString modello = h.radice() + "Etichette/piatti_limone_1l.prn";
    QFile f(modello);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("^XA\r\n^FD<LOTTO> <DATAFABBRICAZIONE> <DATASCADENZA>^FS\xe0\r\n"
            "^FD<SERIALENORM10>^FS\r\n^XZ");
    f.close();

    auto* s = apri<TLiqPolvForm>("ShowLiqPolvForm");
    s->AltreChiaviCorrenti = {"15/01/2025", "L25015"};
    s->riapriSuCodice("FM001");
    ASSERT_EQ(s->lottoCorrente().lotto, "L25015");

    const int registrate = conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ");
    // no printer set for the user
    s->Sessione()->SettaValoreTabX("StampanteEticFabbr", "", true);
    s->ButtonStampaEtichette->click();
    EXPECT_EQ(msg->testi().last(), "Manca l'impostazione della stampante");

    // a printer the print system does not know: nothing logged
    s->Sessione()->SettaValoreTabX("StampanteEticFabbr", "nessuna,,", true);
    msg->risposte = {"Sì"};
    s->ButtonStampaEtichette->click();
    EXPECT_TRUE(msg->testi().last().startsWith("Errore ")) << msg->testi().last().toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ"), registrate);

    s->Sessione()->SettaValoreTabX("StampanteEticFabbr",
                                   "etichette,Etichette grezze,file://" + server.uscita(), true);
    h.esegui(az(), {"DELETE FROM LOG_STETICFABBRICAZ WHERE SERIALE=42",
                    "ALTER SEQUENCE GENERASERIALI RESTART WITH 41"});
    const int registrateOra = conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ");
    QGuiApplication::clipboard()->setText("appunti di prima");
    s->CheckCopiaClip->setChecked(false);
    msg->risposte = {"Sì"};
    s->ButtonStampaEtichette->click();
    EXPECT_EQ(msg->testi().last(), "Stampa effettuata");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ"), registrateOra + 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ WHERE SERIALE=42"), 1);
    // serial 42: every placeholder of it, cut or padded to ten where asked
    const QString seriale = QStringLiteral("42");
    const QByteArray prima(
        "^XA\r\n^FDL25015 15/01/2025 15/01/2027^FS\xe0\r\n^FD0000000042^FS\r\n^XZ");
    EXPECT_EQ(server.stampato(prima), prima);
    // "Copia su clip." not ticked: the clipboard keeps what it had
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "appunti di prima");
    EXPECT_EQ(valore("SELECT LOTTOFABBRICAZIONE || ' ' || DATASCADENZA || ' ' || SERIALENORM10 || "
                     "' ' || OPERATORE FROM LOG_STETICFABBRICAZ WHERE SERIALE=" +
                     seriale),
              "L25015 2027-01-15 " + etichette::seriale10(seriale) + " 2");
    // the next label takes the next serial; ticked, the label printed is
    // also on the clipboard
    s->CheckCopiaClip->setChecked(true);
    msg->risposte = {"Sì"};
    s->ButtonStampaEtichette->click();
    const QByteArray seconda(
        "^XA\r\n^FDL25015 15/01/2025 15/01/2027^FS\xe0\r\n^FD0000000043^FS\r\n^XZ");
    EXPECT_EQ(server.stampato(seconda), seconda);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromLatin1(seconda));
    // a label the printer refused is not put on the clipboard
    QGuiApplication::clipboard()->setText("appunti di prima");
    s->Sessione()->SettaValoreTabX("StampanteEticFabbr", "nessuna,,", true);
    msg->risposte = {"Sì"};
    s->ButtonStampaEtichette->click();
    EXPECT_TRUE(msg->testi().last().startsWith("Errore ")) << msg->testi().last().toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "appunti di prima");
}

} // namespace
