// Locating, opening and creating archives; the network-path rules of dati.ini;
// the server question; update statements from a query's fields.
#include "session/connessione.h"
#include "session/datiini.h"
#include "session/db.h"
#include "session/messaggi.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kCreazione = QStringLiteral("Effettuata creazione data base");
const QString kNonTrovato = QStringLiteral("Non trovato dati.ini");
const QString kNonRiuscita = QStringLiteral("Apertura / creazione del database non riuscita!");

// A temporary folder that is also the current directory, so that anything a
// routine drops "beside" the program is seen and cleaned up.
struct Cartella : ::testing::Test {
    QTemporaryDir tmp;
    QString prima = QDir::currentPath();
    QString dir;
    RegistraMessaggi msg;
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path() + "/";
        ASSERT_TRUE(QDir::setCurrent(tmp.path()));
    }
    void TearDown() override { QDir::setCurrent(prima); }
    QStringList contenuto() const {
        return QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    void scriviIni(const QString& cartella, const QByteArray& testo) {
        QFile f(cartella + "dati.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testo);
    }
    // A table with one row, so that an archive that was overwritten shows.
    void creaArchivioConDati(const QString& file) {
        Database db;
        db.create(file);
        eseguiScript(db,
                     "CREATE TABLE T (A VARCHAR(10));\nINSERT INTO T (A) VALUES ('presente');\n");
    }
    static QString primoValore(Database& db, const QString& select) {
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {select};
        return q.scalar().toString();
    }
};

} // namespace

TEST(PercorsoRete, ADriveLetterShareBecomesServerAndDrive) {
    RegistraMessaggi msg;
    QString nuova = "invariata";
    bool condivisione = true;
    EXPECT_FALSE(ConvertiPercorsoRete("\\\\SRV\\C\\dati\\", {}, nuova, condivisione));
    EXPECT_EQ(nuova, "SRV:C:\\dati\\");
    EXPECT_FALSE(condivisione);
    EXPECT_FALSE(ConvertiPercorsoRete("\\\\SRV\\D\\", "E:\\ignorato\\", nuova, condivisione));
    EXPECT_EQ(nuova, "SRV:D:\\") << "a drive share does not need the path on the server";
    EXPECT_FALSE(condivisione);
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST(PercorsoRete, ANamedShareNeedsThePathOnTheServer) {
    RegistraMessaggi msg;
    QString nuova;
    bool condivisione = false;
    EXPECT_TRUE(ConvertiPercorsoRete("\\\\SRV\\ARCHIVI\\", {}, nuova, condivisione));
    EXPECT_TRUE(condivisione);
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].testo,
              "Attenzione: il disco con gli archivi è stato condiviso in rete con un nome - "
              "ARCHIVI - e non con la lettera che lo identifica. Si consiglia di correggere la "
              "condivisione oppure di correggere manualmente la sezione Percorso Nel Server nel "
              "file Dati.ini accanto al database");

    msg->pulisci();
    EXPECT_FALSE(ConvertiPercorsoRete("\\\\SRV\\ARCHIVI\\", "D:\\Archivi\\", nuova, condivisione));
    EXPECT_EQ(nuova, "SRV:D:\\Archivi\\");
    EXPECT_TRUE(condivisione);
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Cartella, AMissingLocalArchiveIsCreatedEmptyAndReported) {
    Database db;
    ASSERT_TRUE(ConnettiArchivio(db, dir, "NUOVO.FDB"));
    EXPECT_EQ(msg->testi(), QStringList{kCreazione});
    EXPECT_TRUE(db.connected());
    EXPECT_TRUE(QFileInfo::exists(dir + "NUOVO.FDB"));
    EXPECT_EQ(primoValore(db, "SELECT MON$PAGE_SIZE FROM MON$DATABASE"), "4096");
    EXPECT_EQ(primoValore(db, "SELECT MON$SQL_DIALECT FROM MON$DATABASE"), "3");
    EXPECT_EQ(primoValore(db, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG=0"), "0");
    EXPECT_TRUE(msg->dialoghiAperti.empty()) << "no server question for a local folder";
}

TEST_F(Cartella, AnExistingArchiveIsOpenedAndNeverOverwritten) {
    creaArchivioConDati(dir + "ESISTE.FDB");
    Database db;
    ASSERT_TRUE(ConnettiArchivio(db, dir, "ESISTE.FDB"));
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(primoValore(db, "SELECT A FROM T"), "presente");
    db.disconnect();

    // a file that is not a database cannot be opened, and it is left alone
    const QByteArray nonArchivio(8192, 'x');
    {
        QFile f(dir + "ROTTO.FDB");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(nonArchivio);
    }
    EXPECT_FALSE(ConnettiArchivio(db, dir, "ROTTO.FDB"));
    EXPECT_FALSE(db.connected());
    QFile f(dir + "ROTTO.FDB");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), nonArchivio);
    EXPECT_FALSE(msg->testi().contains(kCreazione));
}

TEST_F(Cartella, AnEmptyFileNameMeansArchivioFdb) {
    Database db;
    ASSERT_TRUE(ConnettiArchivio(db, dir, ""));
    EXPECT_TRUE(QFileInfo::exists(dir + "archivio.fdb"));
    db.disconnect();
    msg->pulisci();
    // no directory either: beside the current one
    QDir().mkpath(dir + "corrente");
    ASSERT_TRUE(QDir::setCurrent(dir + "corrente"));
    ASSERT_TRUE(ConnettiArchivio(db, "", ""));
    EXPECT_EQ(msg->testi(), QStringList{kCreazione});
    EXPECT_TRUE(QFileInfo::exists(dir + "corrente/archivio.fdb"));
}

TEST_F(Cartella, ServerAndAliasAreTriedFirstThenTheFileBesideDatiIni) {
    // There is no server SRV here: after the attempt on SRV:ARCH the archive
    // is looked for (and created) beside dati.ini, and no question is asked.
    scriviIni(dir, "[CONFIG]\r\nNome Server=SRV\r\nAlias=ARCH\r\n");
    Database db;
    ASSERT_TRUE(ConnettiArchivio(db, dir, "QUINTAR.FDB"));
    EXPECT_EQ(msg->testi(), QStringList{kCreazione});
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_TRUE(QFileInfo::exists(dir + "QUINTAR.FDB"));
    EXPECT_EQ(QFileInfo(db.databaseName()).canonicalFilePath(),
              QFileInfo(dir + "QUINTAR.FDB").canonicalFilePath());
    db.disconnect();
    msg->pulisci();
    ASSERT_TRUE(ConnettiArchivio(db, dir, "QUINTAR.FDB"));
    EXPECT_TRUE(msg->mostrati.empty()) << "the second time the file is there";
}

TEST_F(Cartella, ANamedShareWithoutPathOnTheServerStopsAfterTheWarning) {
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, "\\\\SRV\\ARCHIVI\\", "QUINTAR.FDB"));
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_TRUE(msg->mostrati[0].testo.contains("- ARCHIVI -"));
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_FALSE(db.connected());
    EXPECT_TRUE(contenuto().isEmpty()) << contenuto().join(", ").toStdString();
}

TEST_F(Cartella, TheDatiIniOfAShareIsNotReadFromThisComputer) {
    Database db;
    // a file under the share's name in the current folder is not the share's
    // dati.ini: it is ignored, so the named share still gets its warning
    const QString rete = "\\\\SRV\\ARCHIVI\\";
    scriviIni(rete, "[CONFIG]\r\nPercorso Nel Server=D:\\Archivi\\\r\n");
    EXPECT_EQ(datiini::leggi(rete, "Percorso Nel Server"), "");
    EXPECT_FALSE(ConnettiArchivio(db, rete, "QUINTAR.FDB"));
    ASSERT_EQ(msg->testi().size(), 1);
    EXPECT_TRUE(msg->testi().first().contains("- ARCHIVI -"));
    EXPECT_TRUE(msg->dialoghiAperti.empty());
}

TEST_F(Cartella, ADriveShareThatFailsAsksForTheServer) {
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, "\\\\SRV\\C\\dati\\", "QUINTAR.FDB"));
    EXPECT_EQ(msg->testi(), (QStringList{kNonTrovato, kNonRiuscita}));
    EXPECT_EQ(msg->dialoghiAperti, std::vector<QString>{"KyvIn2Form"});
    EXPECT_FALSE(db.connected());
    EXPECT_TRUE(contenuto().isEmpty()) << contenuto().join(", ").toStdString();
}

TEST_F(Cartella, AServerGivenForANetworkFolderLeavesNoFileOnThisComputer) {
    msg->dialogo = [](QDialog* d) {
        auto* f = qobject_cast<TKyvIn2Form*>(d);
        f->Edit1->setText("SRV2");
        f->Edit2->setText("E");
        f->OKBtn->click();
        return f->result();
    };
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, "\\\\SRV\\C\\dati\\", "QUINTAR.FDB"));
    EXPECT_EQ(msg->dialoghiAperti.size(), 1u);
    EXPECT_FALSE(db.connected());
    EXPECT_TRUE(contenuto().isEmpty()) << contenuto().join(", ").toStdString();
}

TEST_F(Cartella, ThePathOfTheShareOnTheServerIsNeverTurnedIntoALocalFile) {
    // PercorsoDatabase names the share of the archive folder; with no server
    // reachable nothing may be opened or created on this computer instead.
    scriviIni(dir, "[CONFIG]\r\nNome Server=SRV\r\nPercorsoDatabase=ARCHIVI\\dati\r\n");
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, dir, "QUINTAR.FDB"));
    EXPECT_FALSE(db.connected()) << db.databaseName().toStdString();
    EXPECT_FALSE(msg->testi().contains(kCreazione));
    EXPECT_EQ(contenuto(), QStringList{"dati.ini"});
}

TEST_F(Cartella, TheServerQuestionIsAnsweredOnceAndRemembered) {
    // a folder that exists but cannot hold the archive (its sub-folder is missing)
    std::vector<QString> didascalie, etichette, primi;
    msg->dialogo = [&](QDialog* d) {
        auto* f = qobject_cast<TKyvIn2Form*>(d);
        EXPECT_NE(f, nullptr);
        if (!f) {
            return int(QDialog::Rejected);
        }
        didascalie.push_back(f->windowTitle());
        etichette.push_back(f->Label1->text());
        primi.push_back(f->Edit1->text());
        EXPECT_EQ(f->Label1->font().family(), "Arial");
        EXPECT_EQ(f->Label1->font().pointSize(), 8);
        f->Edit1->setText("SRV2");
        f->Edit2->setText("E");
        f->OKBtn->click();
        return f->result();
    };
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, dir, "manca/QUINTAR.FDB"));
    EXPECT_EQ(msg->testi(), QStringList{kNonTrovato});
    ASSERT_EQ(didascalie.size(), 1u);
    EXPECT_EQ(didascalie[0], kNonTrovato);
    EXPECT_EQ(etichette[0],
              "Inserire il nome del computer e la lettera della sua\nunità disco dove "
              "risulta ospitato (o sarà ospitato) il database");
    EXPECT_EQ(primi[0], "");
    EXPECT_EQ(datiini::leggi(dir, "Nome Server"), "SRV2");
    EXPECT_EQ(datiini::leggi(dir, "Lettera Disco Server"), "E");
    EXPECT_EQ(contenuto(), QStringList{"dati.ini"});

    msg->pulisci();
    EXPECT_FALSE(ConnettiArchivio(db, dir, "manca/QUINTAR.FDB"));
    EXPECT_EQ(didascalie.size(), 1u) << "the server comes from dati.ini now";
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Cartella, ACancelledServerQuestionWritesNothing) {
    msg->dialogo = [](QDialog* d) {
        auto* f = qobject_cast<TKyvIn2Form*>(d);
        f->Edit1->setText("SRV2");
        f->CancelBtn->click();
        return f->result();
    };
    Database db;
    EXPECT_FALSE(ConnettiArchivio(db, dir, "manca/QUINTAR.FDB"));
    EXPECT_EQ(msg->testi(), (QStringList{kNonTrovato, kNonRiuscita}));
    EXPECT_FALSE(QFileInfo::exists(dir + "dati.ini"));
}

TEST_F(Cartella, UpdateStatementsFollowTheQueryFields) {
    Database db;
    db.create(dir + "campi.fdb");
    eseguiScript(
        db, "CREATE TABLE FORNITO (CODICE VARCHAR(10), RAGSOC VARCHAR(40), NOTE VARCHAR(10));\n");
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"SELECT CODICE, RAGSOC, NOTE FROM FORNITO", "WHERE CODICE='NESSUNO'"};
    EXPECT_EQ(PreparaUpdateSQL(q, "FORNITO", "UPDATE"),
              (QStringList{"UPDATE \"FORNITO\"", "SET", "CODICE=:CODICE,", "RAGSOC=:RAGSOC,",
                           "NOTE=:NOTE"}));
    EXPECT_EQ(PreparaUpdateSQL(q, "FORNITO", "insert"),
              (QStringList{"INSERT INTO \"FORNITO\"", "(", "CODICE,", "RAGSOC,", "NOTE", ")",
                           "VALUES", "(", ":CODICE,", ":RAGSOC,", ":NOTE", ")"}));
    EXPECT_FALSE(q.isOpen()) << "the query itself is not touched";
    q.SQL = {"SELECT RAGSOC FROM FORNITO"};
    EXPECT_EQ(PreparaUpdateSQL(q, "FORNITO", "Update"),
              (QStringList{"UPDATE \"FORNITO\"", "SET", "RAGSOC=:RAGSOC"}));
    EXPECT_TRUE(PreparaUpdateSQL(q, "FORNITO", "DELETE").isEmpty());
}
