#include "session/db.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct ArchivioVuoto : ::testing::Test {
    QTemporaryDir tmp;
    Database db;
    void SetUp() override {
        db.create(tmp.path() + "/prova.fdb");
        eseguiScript(
            db, "CREATE TABLE T (CODICE VARCHAR(10) NOT NULL, NUM NUMERIC(15,2),\n"
                "  D DATE, TS TIMESTAMP, M BLOB SUB_TYPE TEXT, C CHAR(5), F DOUBLE PRECISION,\n"
                "  CONSTRAINT T_CHIAVEPRIMARIA PRIMARY KEY (CODICE));\n"
                "CREATE GENERATOR G;\n");
    }
};

} // namespace

TEST_F(ArchivioVuoto, ValuesRoundTripWithTheirTypesAndOrigin) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"INSERT INTO T (CODICE,NUM,D,TS,M,C,F) VALUES (?,?,?,?,?,?,?)"};
    QString lungo(70000, QChar(0x00E8));
    q.setParams({"A'1", "12.34", QDate(2024, 2, 29), QDateTime(QDate(2024, 3, 1), QTime(10, 5, 7)),
                 lungo, "ab", 1.5});
    EXPECT_EQ(q.execSQL(), 1);
    tr.commit();

    q.clearParams();
    q.SQL = {"SELECT CODICE, NUM, D, TS, M, C, F, NUM * 2 AS DOPPIO FROM T"};
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q["CODICE"].asString(), "A'1");
    EXPECT_EQ(q["CODICE"].info().origine(), "T.CODICE");
    EXPECT_EQ(q["NUM"].info().tipo, TipoCampo::Decimale);
    EXPECT_DOUBLE_EQ(q["NUM"].asFloat(), 12.34);
    EXPECT_EQ(q["D"].asDate(), QDate(2024, 2, 29));
    EXPECT_EQ(q["TS"].asDateTime(), QDateTime(QDate(2024, 3, 1), QTime(10, 5, 7)));
    EXPECT_EQ(q["M"].asString(), lungo) << "memo text survives whole, accents included";
    EXPECT_EQ(q["C"].asString(), "ab") << "fixed-width text loses its padding";
    EXPECT_DOUBLE_EQ(q["F"].asFloat(), 1.5);
    EXPECT_TRUE(q["DOPPIO"].info().origine().isEmpty());
    EXPECT_FALSE(q.next());
    EXPECT_TRUE(q.eof());
    q.close();
}

TEST_F(ArchivioVuoto, ReadColumnByColumnTheRowsReadAsTheyDoWhole) {
    Transaction tr(&db);
    Query ins(&db, &tr);
    ins.SQL = {"INSERT INTO T (CODICE,NUM,D,TS,M,C,F) VALUES (?,?,?,?,?,?,?)"};
    // texts repeated from row to row, trailing blanks kept in a varying
    // text, accents, nulls in every column
    const std::vector<std::vector<QVariant>> righe = {
        {"A1", "12.34", QDate(2024, 2, 29), QDateTime(QDate(2024, 3, 1), QTime(10, 5, 7)), "memo",
         "ab", 1.5},
        {"A2 ", "12.34", QDate(2024, 2, 29), QVariant(), QVariant(), "ab", QVariant()},
        {"A3", QVariant(), QVariant(), QVariant(), "m", QString(5, QChar(0x00E8)), -2.0},
        {"A4", "-0.07", QDate(1899, 6, 1), QVariant(), "m", QString(5, QChar(0x00E8)), 0.0},
        {"A5", "7", QDate(2025, 1, 1), QVariant(), QVariant(), QVariant(), 3.25}};
    for (const std::vector<QVariant>& r : righe) {
        ins.setParams(r);
        ins.execSQL();
    }
    const QStringList sql = {"SELECT CODICE, NUM, D, TS, M, C, F, CAST(NUM * 100 AS INTEGER), "
                             "CAST(F AS BIGINT), C || CODICE FROM T ORDER BY CODICE"};
    Query intera(&db, &tr), perColonna(&db, &tr);
    intera.SQL = sql;
    perColonna.SQL = sql;
    perColonna.setLetturaPerColonna(true);
    intera.open();
    perColonna.open();
    int n = 0;
    for (; !intera.eof(); intera.next(), perColonna.next(), ++n) {
        ASSERT_FALSE(perColonna.eof());
        // each column by the reader of its type, straight from the row fetched
        for (int i = 0; i < intera.fieldCount(); ++i) {
            const Campo c = intera.field(i);
            SCOPED_TRACE(testing::Message() << "row " << n << " column " << i);
            EXPECT_EQ(perColonna.isNull(i), c.isNull());
            switch (c.info().tipo) {
            case TipoCampo::Testo:
                EXPECT_EQ(perColonna.leggiTesto(i), c.asString());
                break;
            case TipoCampo::Intero:
                EXPECT_EQ(perColonna.leggiIntero(i), c.asInteger());
                break;
            case TipoCampo::Decimale:
            case TipoCampo::Virgola:
                EXPECT_EQ(perColonna.leggiNumero(i),
                          c.isNull() ? std::nullopt : std::optional<double>(c.asFloat()));
                break;
            case TipoCampo::Data:
                EXPECT_EQ(perColonna.leggiData(i), c.asDate());
                break;
            default:
                break;
            }
        }
        // a text its reader keeps and changes leaves the column as fetched,
        // on this row and on the next that holds the same text
        QString tenuto = perColonna.leggiTesto(5);
        tenuto += QStringLiteral("!");
        EXPECT_EQ(perColonna.leggiTesto(5), intera.field(5).asString());
        // any column by any reader, through the row made whole when asked for
        EXPECT_EQ(perColonna.valore(3), intera.valore(3));
        for (int i = 0; i < intera.fieldCount(); ++i) {
            EXPECT_EQ(perColonna.leggiTesto(i), intera.field(i).asString()) << n << " " << i;
        }
    }
    EXPECT_EQ(n, 5);
    EXPECT_TRUE(perColonna.eof());
    EXPECT_TRUE(perColonna.isNull(0)) << "after the last row every column reads null";
    EXPECT_EQ(perColonna.leggiTesto(0), QString());
    EXPECT_THROW(perColonna.leggiTesto(10), DbError);
    perColonna.close();
    EXPECT_TRUE(perColonna.isNull(3));
    EXPECT_EQ(perColonna.leggiNumero(6), std::nullopt);
}

TEST_F(ArchivioVuoto, ExactNumericsReadAsTheNearestDouble) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"INSERT INTO T (CODICE,NUM) VALUES (?,?)"};
    const QStringList valori = {"0.07", "0.11", "1234.57", "-0.29", "99999.99"};
    for (int i = 0; i < valori.size(); ++i) {
        q.setParams({QString::number(i), valori[i]});
        q.execSQL();
    }
    q.clearParams();
    q.SQL = {"SELECT NUM FROM T ORDER BY CODICE"};
    int i = 0;
    for (q.open(); !q.eof(); q.next(), ++i) {
        // equal, not merely close: a stored 0.07 compares equal to 0.07
        EXPECT_EQ(q["NUM"].asFloat(), valori[i].toDouble()) << valori[i].toStdString();
    }
    EXPECT_EQ(i, valori.size());
}

TEST_F(ArchivioVuoto, RowsAreFetchedOnDemand) {
    Transaction tr(&db);
    Query ins(&db, &tr);
    ins.SQL = {"INSERT INTO T (CODICE) VALUES (?)"};
    for (int i = 0; i < 500; ++i) {
        ins.setParams({QString::number(i)});
        ins.execSQL();
    }
    tr.commitRetaining();
    Query q(&db, &tr);
    q.SQL = {"SELECT CODICE FROM T ORDER BY CODICE"};
    q.open();
    EXPECT_EQ(q.recNo(), 1);
    int n = 0;
    for (; !q.eof(); q.next()) {
        ++n;
    }
    EXPECT_EQ(n, 500);
}

// What a section costs the engine: a statement prepared once and run many
// times, a memo written and read, a cursor read to its end in batches.
TEST_F(ArchivioVuoto, CallsToTheEngineAreCounted) {
    Transaction tr(&db);
    Query ins(&db, &tr);
    ins.SQL = {"INSERT INTO T (CODICE, M) VALUES (?, ?)"};
    const MisuraChiamate scrittura;
    for (int i = 0; i < 100; ++i) {
        ins.setParams({QString::number(i), i == 0 ? QVariant("memo") : QVariant()});
        ins.execSQL();
    }
    tr.commit();
    const ContoChiamate s = scrittura.finora();
    EXPECT_EQ(s[Chiamata::Preparazione], 1u);
    EXPECT_EQ(s[Chiamata::Esecuzione], 100u);
    EXPECT_EQ(s[Chiamata::Info], 100u) << "each run asks the rows it touched";
    EXPECT_EQ(s[Chiamata::Transazione], 2u) << "start and commit";
    EXPECT_EQ(s[Chiamata::Blob], 2u) << "the memo made and closed";
    EXPECT_EQ(s.giri(), 205u);

    Query q(&db, &tr);
    // rows of 32 KB: batches of 32 rows
    q.SQL = {"SELECT CODICE, M, CAST('' AS VARCHAR(8000)) FROM T ORDER BY CODICE"};
    const MisuraChiamate lettura;
    EXPECT_EQ(q.primaColonna().size(), 100);
    const ContoChiamate l = lettura.finora();
    EXPECT_EQ(l[Chiamata::Transazione], 1u);
    EXPECT_EQ(l[Chiamata::Preparazione], 1u);
    EXPECT_EQ(l[Chiamata::Esecuzione], 1u) << "the open, with the first batch of rows";
    EXPECT_EQ(l[Chiamata::Righe], 101u) << "the rows and the end";
    EXPECT_EQ(l[Chiamata::Lettura], 3u) << "three more batches";
    EXPECT_EQ(l[Chiamata::Blob], 2u) << "the memo opened and its one segment";
    EXPECT_EQ(l[Chiamata::Differita], 2u) << "the memo and the cursor closed";
    EXPECT_EQ(l.giri(), 8u);

    // a read another query prepared on the attachment is taken, not prepared again;
    // a write is always prepared, so that the triggers it meets are today's
    const MisuraChiamate ancora;
    for (int i = 0; i < 2; ++i) {
        Query altra(&db, &tr);
        altra.SQL = {"SELECT CODICE, M, CAST('' AS VARCHAR(8000)) FROM T ORDER BY CODICE"};
        EXPECT_EQ(altra.primaColonna().size(), 100);
        altra.SQL = {"UPDATE T SET NUM = 1 WHERE CODICE = '0'"};
        altra.execSQL();
    }
    // the read once (q still holds the first statement of its text), the write twice
    EXPECT_EQ(ancora.finora()[Chiamata::Preparazione], 3u);
}

TEST_F(ArchivioVuoto, NullsEmptyResultsAndErrors) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"INSERT INTO T (CODICE, NUM) VALUES ('X', NULL)"};
    q.execSQL();
    q.SQL = {"SELECT NUM FROM T WHERE CODICE='X'"};
    q.open();
    EXPECT_TRUE(q.field(0).isNull());
    EXPECT_EQ(q.field(0).asString(), "");
    q.close();
    q.SQL = {"SELECT NUM FROM T WHERE CODICE='NESSUNO'"};
    q.open();
    EXPECT_TRUE(q.eof());
    EXPECT_THROW(q.fieldByName("NONCE"), DbError);
    q.SQL = {"SELECT * FROM TABELLA_CHE_NON_CE"};
    try {
        q.open();
        FAIL() << "must throw";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.messaggio().contains("TABELLA_CHE_NON_CE")) << e.messaggio().toStdString();
    }
    q.SQL = {"INSERT INTO T (CODICE) VALUES ('X')"};
    try {
        q.execSQL();
        FAIL() << "duplicate key must throw";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.chiaveDuplicata());
    }
}

TEST_F(ArchivioVuoto, AStatementRunsAgainWithValuesOfAnyLength) {
    Transaction tr(&db);
    Query ins(&db, &tr);
    ins.SQL = {"INSERT INTO T (CODICE, M, NUM) VALUES (?, ?, ?)"};
    // shorter, longer than the room the first run left, null, and a memo
    // growing past any text's length
    const std::vector<std::vector<QVariant>> righe = {
        {"1", "m", "1"},
        {QString(10, QChar(0x00E8)), QString(40000, 'x'), "2.5"},
        {"3", QVariant(), QVariant()},
        {"4", QString(70000, QChar(0x00E0)), "4"}};
    for (const std::vector<QVariant>& r : righe) {
        ins.setParams(r);
        EXPECT_EQ(ins.execSQL(), 1);
    }
    ins.setParams({"5", "m"});
    EXPECT_THROW(ins.execSQL(), DbError) << "one value short";
    ins.setParams({"12345678901", "m", "1"});
    EXPECT_THROW(ins.execSQL(), DbError) << "longer than the column";
    tr.commitRetaining();

    Query q(&db, &tr);
    q.SQL = {"SELECT CODICE, M, NUM FROM T WHERE CODICE LIKE ? ORDER BY CODICE"};
    for (const std::vector<QVariant>& r : righe) {
        q.setParams({r[0]});
        q.open();
        ASSERT_FALSE(q.eof()) << r[0].toString().left(5).toStdString();
        EXPECT_EQ(q["CODICE"].asString(), r[0].toString());
        EXPECT_EQ(q["M"].valore(), r[1].isValid() ? r[1] : QVariant());
        EXPECT_EQ(q["NUM"].isNull(), !r[2].isValid());
        q.close();
    }
    q.setParams({"%"});
    int n = 0;
    for (q.open(); !q.eof(); q.next()) {
        ++n;
    }
    EXPECT_EQ(n, 4);

    // each value longer than any before it, then short again; whole numbers,
    // nulls and texts in turn in the same place
    Query eco(&db, &tr);
    eco.SQL = {"SELECT CAST(? AS VARCHAR(200)) FROM RDB$DATABASE"};
    for (const QVariant& v :
         {QVariant("a"), QVariant(QString(20, QChar(0x00E8))), QVariant(QString(150, 'y')),
          QVariant(qint64(-1234567890123)), QVariant(), QVariant(QString(200, QChar(0x20AC))),
          QVariant(7), QVariant("b")}) {
        eco.setParams({v});
        EXPECT_EQ(eco.scalar(), v.isValid() ? QVariant(v.toString()) : QVariant());
    }

    // a whole number is what its digits are, whatever the column
    ins.SQL = {"INSERT INTO T (CODICE, NUM, F) VALUES (?, ?, ?)"};
    ins.setParams({qint64(42), 3, qint64(1) << 40});
    EXPECT_EQ(ins.execSQL(), 1);
    q.SQL = {"SELECT NUM, F FROM T WHERE CODICE = ?"};
    q.setParams({42});
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field(0).asFloat(), 3.0);
    EXPECT_EQ(q.field(1).asFloat(), double(qint64(1) << 40));
    q.close();
    q.setParams({"42"});
    EXPECT_EQ(q.scalar().toDouble(), 3.0);
    ins.setParams({"99", qint64(1) << 60, 1});
    EXPECT_THROW(ins.execSQL(), DbError) << "more than NUMERIC(15,2) holds";
}

TEST_F(ArchivioVuoto, AStatementChangedInPlaceIsPreparedAgain) {
    Transaction tr(&db);
    Query q(&db, &tr);
    const QStringList una = {"SELECT 1 FROM RDB$DATABASE"};
    q.SQL = una;
    EXPECT_EQ(q.scalar().toInt(), 1);
    q.SQL = una; // the same lines again
    EXPECT_EQ(q.scalar().toInt(), 1);
    q.SQL[0] = "SELECT 2 FROM RDB$DATABASE";
    EXPECT_EQ(q.scalar().toInt(), 2);
    q.SQL << "WHERE 1 = 0";
    EXPECT_FALSE(q.scalar().isValid());
    q.SQL = una;
    EXPECT_EQ(q.scalar().toInt(), 1);
}

TEST_F(ArchivioVuoto, ConflictingUpdateFailsAtOnceWithoutWaiting) {
    Transaction a(&db), b(&db);
    Query qa(&db, &a), qb(&db, &b);
    qa.SQL = {"INSERT INTO T (CODICE, NUM) VALUES ('K', 1)"};
    qa.execSQL();
    a.commit();
    a.start();
    b.start();
    qa.SQL = {"UPDATE T SET NUM = 2 WHERE CODICE='K'"};
    qa.execSQL();
    qb.SQL = {"UPDATE T SET NUM = 3 WHERE CODICE='K'"};
    try {
        qb.execSQL();
        FAIL() << "the second writer must fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.conflitto()) << e.messaggio().toStdString();
    }
    b.rollback();
    a.commit();
    Query v(&db, &b);
    v.SQL = {"SELECT NUM FROM T WHERE CODICE='K'"};
    EXPECT_EQ(v.scalar().toDouble(), 2.0);
}

TEST_F(ArchivioVuoto, UncommittedWorkIsRolledBackWhenTheTransactionGoesAway) {
    {
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {"INSERT INTO T (CODICE) VALUES ('PERSO')"};
        q.execSQL();
    }
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"SELECT COUNT(*) FROM T"};
    EXPECT_EQ(q.scalar().toInt(), 0);
}

TEST_F(ArchivioVuoto, RestartSeesWhatOthersCommitted) {
    Transaction lettore(&db), scrittore(&db);
    Query l(&db, &lettore), s(&db, &scrittore);
    l.SQL = {"SELECT COUNT(*) FROM T"};
    EXPECT_EQ(l.scalar().toInt(), 0);
    s.SQL = {"INSERT INTO T (CODICE) VALUES ('N')"};
    s.execSQL();
    scrittore.commit();
    EXPECT_EQ(l.scalar().toInt(), 0) << "snapshot isolation";
    lettore.restart();
    EXPECT_EQ(l.scalar().toInt(), 1);
}

TEST_F(ArchivioVuoto, HooksRunAroundOpenAndClose) {
    Transaction tr(&db);
    Query q(&db, &tr);
    QStringList visti;
    q.beforeOpen = [&](Query&) { visti << "before"; };
    q.afterOpen = [&](Query&) { visti << "after"; };
    q.beforeClose = [&](Query&) { visti << "close"; };
    q.SQL = {"SELECT * FROM T"};
    q.open();
    q.close();
    EXPECT_EQ(visti, QStringList({"before", "after", "close"}));
}

TEST(Database, ScriptRejectsAStatementWithoutItsEnd) {
    QTemporaryDir tmp;
    Database db;
    db.create(tmp.path() + "/s.fdb");
    EXPECT_THROW(eseguiScript(db, "CREATE TABLE X (A INTEGER)"), DbError);
}
