// Labels of a batch: the template filled byte for byte, the log kept only
// for a job the print system took, through a print server of the test's own
// (a private scheduler on a socket of the test folder, with a raw queue whose
// device writes what it receives into the folder).
#include "production/etichette.h"
#include "production/liqpolv.h"
#include "report/stampanti.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "support/strumenti.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
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
class ServerStampa {
public:
    ServerStampa() {
        const QString r = dir_.path();
        QFile::setPermissions(r, QFile::permissions(r) | QFile::ExeOther | QFile::ReadOther);
        for (const char* d : {"conf", "spool", "cache", "state", "log", "bin/backend", "out"}) {
            QDir(r).mkpath(QString::fromLatin1(d));
        }
        QFile::setPermissions(r + "/out", QFileDevice::Permissions(0x7777));
        // the scheduler's programs, with a backend that writes the job's bytes
        for (const QFileInfo& f :
             QDir("/usr/lib/cups").entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries)) {
            if (f.fileName() != "backend") {
                QFile::link(f.absoluteFilePath(), r + "/bin/" + f.fileName());
            }
        }
        scrivi("bin/backend/cattura",
               "#!/bin/sh\n"
               "[ $# -eq 0 ] && { echo 'direct cattura \"Unknown\" \"Prova\"'; exit 0; }\n"
               "f=\"${DEVICE_URI#cattura:}\"\n"
               "if [ -n \"$6\" ]; then cat \"$6\" >> \"$f\"; else cat >> \"$f\"; fi\n");
        QFile::setPermissions(r + "/bin/backend/cattura", QFileDevice::Permissions(0x7555));
        presa_ = r + "/cups.sock";
        scrivi("conf/cupsd.conf", "Listen " + presa_ +
                                      "\nLogLevel warn\nWebInterface No\nDefaultAuthType None\n"
                                      "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                      "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                      "  </Limit>\n</Policy>\n");
        QString file = "ServerRoot " + r + "/conf\nRequestRoot " + r + "/spool\nTempDir " + r +
                       "/spool\nCacheDir " + r + "/cache\nStateDir " + r + "/state\nAccessLog " +
                       r + "/log/access_log\nErrorLog " + r + "/log/error_log\nPageLog " + r +
                       "/log/page_log\nServerBin " + r + "/bin\nDataDir /usr/share/cups\n";
        if (geteuid() == 0) {
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
            lpadmin.start(prova::strumento("lpadmin"),
                          {"-h", presa_, "-p", "etichette", "-E", "-v", "cattura:" + uscita()});
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
    // What the printer received, once it holds more than `dopo` bytes.
    QByteArray stampato(qint64 dopo = 0) const {
        QTest::qWaitFor([this, dopo] { return QFileInfo(uscita()).size() > dopo; }, 10000);
        QFile f(uscita());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
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

    s->Sessione()->SettaValoreTabX("StampanteEticFabbr", "etichette,Local Raw Printer,", true);
    h.esegui(az(), {"DELETE FROM LOG_STETICFABBRICAZ WHERE SERIALE=42",
                    "ALTER SEQUENCE GENERASERIALI RESTART WITH 41"});
    const int registrateOra = conta("SELECT COUNT(*) FROM LOG_STETICFABBRICAZ");
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
    EXPECT_EQ(server.stampato(), prima);
    EXPECT_EQ(valore("SELECT LOTTOFABBRICAZIONE || ' ' || DATASCADENZA || ' ' || SERIALENORM10 || "
                     "' ' || OPERATORE FROM LOG_STETICFABBRICAZ WHERE SERIALE=" +
                     seriale),
              "L25015 2027-01-15 " + etichette::seriale10(seriale) + " 2");
    // the next label takes the next serial
    msg->risposte = {"Sì"};
    s->ButtonStampaEtichette->click();
    EXPECT_EQ(server.stampato(prima.size()),
              prima + QByteArray("^XA\r\n^FDL25015 15/01/2025 15/01/2027^FS\xe0\r\n"
                                 "^FD0000000043^FS\r\n^XZ"));
}

} // namespace
