// History copies: numbered versions of a row, copied as the caller's
// transaction sees it, with the deletion marker and no version when nothing
// changed.
#include "session/db.h"
#include "session/formati.h"
#include "support/archivi.h"
#include "ui/storico.h"

#include <QDate>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

struct Storico : ::testing::Test {
    prova::Cartella h;
    Database db;
    DescrizioneStorico d;

    void SetUp() override {
        Formati::impostaItaliani();
        db.connect(h.c().azienda());
        eseguiScript(db, "CREATE TABLE PROVA (\n"
                         "  CODICE VARCHAR(10) NOT NULL,\n"
                         "  DESCRIZIONE VARCHAR(40),\n"
                         "  PREZZO NUMERIC(15,3),\n"
                         "  CONSTRAINT PROVA_PK PRIMARY KEY (CODICE));\n"
                         "CREATE TABLE STOPROVA (\n"
                         "  CODICE VARCHAR(10) NOT NULL,\n"
                         "  VERS INTEGER NOT NULL,\n"
                         "  DESCRIZIONE VARCHAR(40),\n"
                         "  PREZZO NUMERIC(15,3),\n"
                         "  DATAVERS DATE,\n"
                         "  UTENTE INTEGER,\n"
                         "  CANCELLATO CHAR(1),\n"
                         "  CONSTRAINT STOPROVA_PK PRIMARY KEY (CODICE, VERS));\n"
                         "INSERT INTO PROVA VALUES ('A1', 'Acido citrico', 1.25);\n"
                         "INSERT INTO PROVA VALUES ('B2', 'Bicarbonato', NULL);\n");
        d.tabellaStorico = "STOPROVA";
        d.tabella = "PROVA";
        d.colonneChiave = {"CODICE"};
        d.colonneCopiate = {"CODICE", "DESCRIZIONE", "PREZZO"};
        d.colonnaData = "DATAVERS";
        d.colonnaUtente = "UTENTE";
        d.colonnaCancellato = "CANCELLATO";
    }

    // The versions of a code: "vers|descrizione|prezzo|utente|cancellato".
    QStringList versioni(const QString& codice) {
        Transaction t(&db);
        Query q(&db, &t);
        q.SQL = {"SELECT VERS, DESCRIZIONE, PREZZO, UTENTE, CANCELLATO, DATAVERS FROM STOPROVA",
                 "WHERE CODICE='" + codice + "' ORDER BY VERS"};
        QStringList r;
        for (q.open(); !q.eof(); q.next()) {
            EXPECT_EQ(q.field(5).asDate(), QDate::currentDate());
            QStringList c;
            for (int i = 0; i < 5; ++i) {
                c << (q.field(i).isNull() ? QString("<null>") : q.field(i).asString());
            }
            r << c.join('|');
        }
        return r;
    }
};

} // namespace

TEST_F(Storico, VersionsAreNumberedFromOnePerRecord) {
    Transaction t(&db);
    Query q(&db, &t);
    EXPECT_EQ(storico::prossimaVersione(q, d, {"A1"}), 1);
    EXPECT_EQ(storico::copia(q, d, {"A1"}, 2), 1);
    EXPECT_EQ(storico::copia(q, d, {"A1"}, 3), 2);
    EXPECT_EQ(storico::copia(q, d, {"B2"}, 2), 1) << "each record counts its own versions";
    EXPECT_EQ(storico::prossimaVersione(q, d, {"A1"}), 3);
    t.commit();
    EXPECT_EQ(versioni("A1"),
              (QStringList{"1|Acido citrico|1,25|2|0", "2|Acido citrico|1,25|3|0"}));
    EXPECT_EQ(versioni("B2"), QStringList{"1|Bicarbonato|<null>|2|0"});
}

TEST_F(Storico, ADeletionWritesOneMoreVersionMarkedAsDeleted) {
    Transaction t(&db);
    Query q(&db, &t);
    storico::copia(q, d, {"A1"}, 2);
    EXPECT_EQ(storico::copia(q, d, {"A1"}, 2, true), 2);
    q.SQL = {"DELETE FROM PROVA WHERE CODICE='A1'"};
    q.execSQL();
    t.commit();
    EXPECT_EQ(versioni("A1"),
              (QStringList{"1|Acido citrico|1,25|2|0", "2|Acido citrico|1,25|2|1"}));

    // without the columns for date, user and marker only the version is added
    DescrizioneStorico nudo = d;
    nudo.colonnaData.clear();
    nudo.colonnaUtente.clear();
    nudo.colonnaCancellato.clear();
    Transaction t2(&db);
    Query q2(&db, &t2);
    EXPECT_EQ(storico::copia(q2, nudo, {"B2"}, 9, true), 1);
    t2.commit();
    EXPECT_EQ(h.valore(h.c().azienda(),
                       "SELECT COALESCE(UTENTE,-1)||'/'||COALESCE(CANCELLATO,'-')||'/'||"
                       "COALESCE(DATAVERS,'-') FROM STOPROVA WHERE CODICE='B2'"),
              "-1/-/-");
}

TEST_F(Storico, ARecordThatDoesNotExistGetsNoVersion) {
    Transaction t(&db);
    Query q(&db, &t);
    EXPECT_THROW(storico::copia(q, d, {"ZZ"}, 2), DbError);
    t.commit();
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM STOPROVA"), 0);
    Transaction t2(&db);
    Query q2(&db, &t2);
    EXPECT_TRUE(storico::riga(q2, d, {"ZZ"}).isEmpty());
}

TEST_F(Storico, TheCopyHoldsTheRowAsTheChosenTransactionSeesIt) {
    Transaction principale(&db);
    Transaction controllo(&db);
    Query aux(&db, &principale);
    Query aux2(&db, &controllo);
    controllo.start();
    aux.SQL = {"UPDATE PROVA SET DESCRIZIONE='Acido citrico anidro', PREZZO=2 WHERE CODICE='A1'"};
    ASSERT_EQ(aux.execSQL(), 1);

    // the save not committed yet: the check transaction copies the row as it was
    EXPECT_EQ(storico::copia(aux2, d, {"A1"}, 2), 1);
    // the main transaction sees its own change
    EXPECT_EQ(storico::riga(aux, d, {"A1"}).value("DESCRIZIONE"), "Acido citrico anidro");
    principale.rollback();
    controllo.commit();
    EXPECT_EQ(versioni("A1"), QStringList{"1|Acido citrico|1,25|2|0"});

    // committed (retaining) before the check transaction is restarted: the row as saved
    principale.start();
    controllo.start();
    aux.SQL = {"UPDATE PROVA SET DESCRIZIONE='Acido citrico anidro', PREZZO=2 WHERE CODICE='A1'"};
    aux.execSQL();
    principale.commitRetaining();
    EXPECT_EQ(storico::riga(aux2, d, {"A1"}).value("DESCRIZIONE"), "Acido citrico")
        << "the old snapshot still shows the row before";
    controllo.restart();
    EXPECT_EQ(storico::copia(aux2, d, {"A1"}, 2), 2);
    controllo.commit();
    EXPECT_EQ(versioni("A1"),
              (QStringList{"1|Acido citrico|1,25|2|0", "2|Acido citrico anidro|2|2|0"}));

    // a version written on a transaction that is rolled back is not there
    controllo.start();
    storico::copia(aux2, d, {"A1"}, 2);
    controllo.rollback();
    EXPECT_EQ(versioni("A1").size(), 2);
}

TEST_F(Storico, AVersionIsNeededOnlyWhenTheRowChangedOrHasNone) {
    Transaction t(&db);
    Query q(&db, &t);
    const QMap<QString, QString> prima = storico::riga(q, d, {"A1"});
    EXPECT_EQ(prima.value("CODICE"), "A1");
    EXPECT_EQ(prima.value("DESCRIZIONE"), "Acido citrico");
    EXPECT_EQ(prima.value("PREZZO"), "1,25");
    EXPECT_TRUE(storico::serveVersione(q, d, {"A1"}, prima)) << "no version yet";
    storico::copia(q, d, {"A1"}, 2);
    EXPECT_FALSE(storico::serveVersione(q, d, {"A1"}, prima)) << "saved without changes";

    q.SQL = {"UPDATE PROVA SET PREZZO=1.3 WHERE CODICE='A1'"};
    q.execSQL();
    EXPECT_TRUE(storico::serveVersione(q, d, {"A1"}, prima));
    q.SQL = {"UPDATE PROVA SET PREZZO=1.25, DESCRIZIONE=NULL WHERE CODICE='A1'"};
    q.execSQL();
    EXPECT_TRUE(storico::serveVersione(q, d, {"A1"}, prima)) << "a value emptied is a change";
    t.commit();
}

TEST_F(Storico, ARecordWithAKeyOfTwoColumns) {
    eseguiScript(db, "CREATE TABLE RIGHE (CODICE VARCHAR(10) NOT NULL, RIGA INTEGER NOT NULL,\n"
                     "  NOTA VARCHAR(20), CONSTRAINT RIGHE_PK PRIMARY KEY (CODICE, RIGA));\n"
                     "CREATE TABLE STORIGHE (CODICE VARCHAR(10) NOT NULL, RIGA INTEGER NOT NULL,\n"
                     "  VERS INTEGER NOT NULL, NOTA VARCHAR(20));\n"
                     "INSERT INTO RIGHE VALUES ('A', 1, 'uno');\n"
                     "INSERT INTO RIGHE VALUES ('A', 2, 'due');\n");
    DescrizioneStorico r;
    r.tabellaStorico = "STORIGHE";
    r.tabella = "RIGHE";
    r.colonneChiave = {"CODICE", "RIGA"};
    r.colonneCopiate = {"CODICE", "RIGA", "NOTA"};
    Transaction t(&db);
    Query q(&db, &t);
    EXPECT_EQ(storico::copia(q, r, {"A", "2"}, 1), 1);
    EXPECT_EQ(storico::copia(q, r, {"A", "2"}, 1), 2);
    EXPECT_EQ(storico::copia(q, r, {"A", "1"}, 1), 1);
    t.commit();
    EXPECT_EQ(h.valore(h.c().azienda(), "SELECT LIST(RIGA||':'||VERS||':'||NOTA, ' ') FROM "
                                        "(SELECT * FROM STORIGHE ORDER BY RIGA, VERS)"),
              "1:1:uno 2:1:due 2:2:due");
}
