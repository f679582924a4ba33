// Values written into SQL text: quoting, numbers, dates and flags, and what a
// real archive makes of them.
#include "session/db.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace quintar;

namespace {

const QString kAcuto = QString(QChar(0x00B4));

// Italian formats, as every entry point sets them; the previous ones come back.
struct FormatiItaliani : ::testing::Test {
    Formati::Impostazioni prima = Formati::correnti();
    void SetUp() override { Formati::impostaItaliani(); }
    void TearDown() override { Formati::imposta(prima); }
};

// The literal between the outer quotes of a quoted value.
QString interno(const QString& quotato) {
    EXPECT_TRUE(quotato.size() >= 2 && quotato.startsWith('\'') && quotato.endsWith('\''))
        << quotato.toStdString();
    return quotato.mid(1, quotato.size() - 2);
}

} // namespace

TEST(TestoSql, QuotesBecomeAcuteAccentsAndNothingEndsTheLiteral) {
    EXPECT_EQ(sql::testo("d'Amico"), "'d" + kAcuto + "Amico'");
    EXPECT_EQ(sql::testo("''"), "'" + kAcuto + kAcuto + "'");
    EXPECT_EQ(sql::testo("Chimica"), "'Chimica'");
    for (const QString& attacco :
         {QString("x'); DROP TABLE T; --"), QString("'"), QString("a''b"), QString("\\'"),
          QString("x") + QChar(0) + QString("'; DELETE FROM T")}) {
        const QString q = sql::testo(attacco);
        EXPECT_FALSE(interno(q).contains('\'')) << q.toStdString();
        EXPECT_FALSE(q.contains(QChar(0)));
    }
    EXPECT_EQ(sql::senzaApici("l'acqua"), "l" + kAcuto + "acqua");
}

TEST(TestoSql, EmptyTextIsNullUnlessAComparisonNeedsIt) {
    EXPECT_EQ(sql::testo(""), "NULL");
    EXPECT_EQ(sql::testo(QString()), "NULL");
    EXPECT_EQ(sql::testoNonNullo(""), "''");
    EXPECT_EQ(sql::testoNonNullo("d'Amico"), "'d" + kAcuto + "Amico'");
    // a blank is a value, not an empty text
    EXPECT_EQ(sql::testo(" "), "' '");
}

TEST(TestoSql, CodesLoseTheirQuotes) {
    EXPECT_EQ(sql::codice("D'AMICO"), "DAMICO");
    EXPECT_EQ(sql::codice("'''"), "");
    EXPECT_EQ(sql::codice("MP-01"), "MP-01");
}

TEST_F(FormatiItaliani, NumbersTypedWithADecimalCommaAreRenderedWithAPoint) {
    EXPECT_EQ(sql::numero("12,5"), "'12.5'");
    EXPECT_EQ(sql::numero("1234,5"), "'1234.5'");
    EXPECT_EQ(sql::numero("-0,25"), "'-0.25'");
    EXPECT_EQ(sql::numero(" 7 "), "'7'");
    EXPECT_EQ(sql::numero("1234567,125"), "'1234567.125'");
    EXPECT_EQ(sql::numero("0,1"), "'0.1'");
    // nothing in the rendering can split a VALUES list
    EXPECT_FALSE(sql::numero("1234,5").contains(','));
    EXPECT_EQ(sql::numero(""), "NULL");
    EXPECT_EQ(sql::numero("   "), "NULL");
    EXPECT_EQ(sql::numero(2.5), "'2.5'");
    EXPECT_EQ(sql::numero(-3.0), "'-3'");
    EXPECT_FALSE(sql::numero(1e-7).contains('e'));
    EXPECT_FALSE(sql::numero(1e20).contains('e'));
}

TEST_F(FormatiItaliani, ANonNumberIsRefusedInsteadOfWritten) {
    for (const QString& s :
         {QString("abc"), QString("12,5'"), QString("1'); DROP TABLE T; --"), QString("12.5"),
          QString("12.500"), QString("1.000"), QString("1.234,5"), QString("1.00"),
          QString("1..000"), QString("1,2,3"), QString("12 5"), QString("12,5abc"), QString("inf"),
          QString("nan"), QString("1e999")}) {
        try {
            sql::numero(s);
            ADD_FAILURE() << "accepted: " << s.toStdString();
        } catch (const sql::ValoreNonValido& e) {
            EXPECT_EQ(e.valore, s);
        }
    }
    EXPECT_THROW(sql::numero(std::numeric_limits<double>::quiet_NaN()), sql::ValoreNonValido);
    EXPECT_THROW(sql::numero(std::numeric_limits<double>::infinity()), sql::ValoreNonValido);
}

TEST_F(FormatiItaliani, WholeNumbers) {
    EXPECT_EQ(sql::intero("12"), "'12'");
    EXPECT_EQ(sql::intero(" -3 "), "'-3'");
    EXPECT_THROW(sql::intero("1.000"), sql::ValoreNonValido);
    EXPECT_THROW(sql::intero("1.5"), sql::ValoreNonValido);
    EXPECT_EQ(sql::intero(""), "NULL");
    EXPECT_EQ(sql::intero(qint64(9000000000)), "'9000000000'");
    EXPECT_THROW(sql::intero("12,5"), sql::ValoreNonValido);
    EXPECT_THROW(sql::intero("1'"), sql::ValoreNonValido);
    EXPECT_THROW(sql::intero("99999999999999999999"), sql::ValoreNonValido);
}

TEST(DataSql, DatesAreMonthDayYearAndFlagsAreOneOrZero) {
    EXPECT_EQ(sql::data(QDate(2024, 2, 9)), "'02/09/2024'");
    EXPECT_EQ(sql::data(QDate(2023, 12, 31)), "'12/31/2023'");
    EXPECT_EQ(sql::data(QDate()), "NULL");
    EXPECT_EQ(sql::dataIso(QDate(2024, 2, 9)), "'2024-02-09'");
    EXPECT_EQ(sql::dataIso(QDate()), "NULL");
    EXPECT_EQ(sql::flag(true), "'1'");
    EXPECT_EQ(sql::flag(false), "'0'");
}

// The same values through statement text into a real table.
struct TabellaVera : FormatiItaliani {
    QTemporaryDir tmp;
    Database db;
    void SetUp() override {
        FormatiItaliani::SetUp();
        db.create(tmp.path() + "/valori.fdb");
        eseguiScript(db, "CREATE TABLE T (CODICE VARCHAR(20) NOT NULL, TESTO VARCHAR(80),\n"
                         "  NUM DOUBLE PRECISION, D DATE, FLAG VARCHAR(1),\n"
                         "  CONSTRAINT T_CHIAVEPRIMARIA PRIMARY KEY (CODICE));\n");
    }
    void inserisci(const QString& codice, const QString& testo, const QString& numero,
                   const QDate& d, bool f) {
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {"INSERT INTO T (CODICE,TESTO,NUM,D,FLAG) VALUES(",
                 sql::testo(codice) + ",",
                 sql::testo(testo) + ",",
                 sql::numero(numero) + ",",
                 sql::data(d) + ",",
                 sql::flag(f) + ")"};
        q.execSQL();
        tr.commit();
    }
};

TEST_F(TabellaVera, AQuotedValueIsStoredWithTheAccentAndEndsNothing) {
    inserisci("A", "Chimica d'Oro", "12,5", QDate(2024, 2, 9), true);
    inserisci("B", "x'); DELETE FROM T; --", "", QDate(), false);
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"SELECT CODICE, TESTO, NUM, D, FLAG FROM T ORDER BY CODICE"};
    q.open();
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q["TESTO"].asString(), "Chimica d" + kAcuto + "Oro");
    EXPECT_DOUBLE_EQ(q["NUM"].asFloat(), 12.5);
    EXPECT_EQ(q["D"].asDate(), QDate(2024, 2, 9))
        << "the 9th of February, not the 2nd of September";
    EXPECT_EQ(q["FLAG"].asString(), "1");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q["TESTO"].asString(), "x" + kAcuto + "); DELETE FROM T; --");
    EXPECT_TRUE(q["NUM"].isNull());
    EXPECT_TRUE(q["D"].isNull());
    EXPECT_EQ(q["FLAG"].asString(), "0");
    EXPECT_FALSE(q.next());
}

TEST_F(TabellaVera, AStoredNumberShownToTheUserIsSavedBackUnchanged) {
    inserisci("A", "", "1234,5", QDate(), false);
    inserisci("B", "", "1000", QDate(), false);
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"SELECT CODICE, NUM FROM T ORDER BY CODICE"};
    q.open();
    QStringList mostrati;
    for (; !q.eof(); q.next()) {
        mostrati << q["NUM"].asString();
    }
    q.close();
    EXPECT_EQ(mostrati, (QStringList{"1234,5", "1000"}));
    // shown, left as it is in an edit and saved again: the same number
    for (int i = 0; i < mostrati.size(); ++i) {
        q.SQL = {"UPDATE T SET NUM=" + sql::numero(mostrati[i]) +
                 " WHERE CODICE=" + sql::testo(i == 0 ? "A" : "B")};
        q.execSQL();
    }
    q.SQL = {"SELECT COUNT(*) FROM T WHERE (CODICE='A' AND NUM=1234.5) OR "
             "(CODICE='B' AND NUM=1000)"};
    EXPECT_EQ(q.scalar().toInt(), 2);
}

TEST_F(TabellaVera, ACodeCompareWithAQuotedTextFindsTheStoredRow) {
    inserisci("K", "l'acqua", "1", QDate(2024, 1, 1), true);
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"SELECT COUNT(*) FROM T WHERE TESTO=" + sql::testoNonNullo("l'acqua")};
    EXPECT_EQ(q.scalar().toInt(), 1);
    q.SQL = {"SELECT COUNT(*) FROM T WHERE TESTO=" + sql::testoNonNullo("")};
    EXPECT_EQ(q.scalar().toInt(), 0);
}
