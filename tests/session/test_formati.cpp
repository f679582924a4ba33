// Process-wide number and date formats.
#include "session/formati.h"

#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct Formato : ::testing::Test {
    Formati::Impostazioni prima = Formati::correnti();
    void TearDown() override { Formati::imposta(prima); }
};

} // namespace

TEST_F(Formato, ItalianSettingsAreCommaPointAndDayMonthYear) {
    Formati::impostaItaliani();
    const Formati::Impostazioni it{QChar(','), QChar('.'), QStringLiteral("dd/MM/yyyy")};
    EXPECT_EQ(Formati::correnti(), it);
    EXPECT_EQ(Formati::separatoreDecimale(), QChar(','));
    EXPECT_EQ(Formati::dataInTesto(QDate(2024, 3, 5)), "05/03/2024");
    EXPECT_EQ(Formati::leggiData("05/03/2024"), QDate(2024, 3, 5));
    EXPECT_EQ(Formati::leggiData("5/3/2024"), QDate(2024, 3, 5));
    EXPECT_FALSE(Formati::leggiData("31/02/2024").isValid());
    EXPECT_FALSE(Formati::leggiData("").isValid());
    EXPECT_EQ(Formati::dataOraInTesto(QDateTime(QDate(2024, 3, 5), QTime(10, 5, 7))),
              "05/03/2024 10:05:07");
    EXPECT_EQ(Formati::dataOraInTesto(QDateTime(QDate(2024, 3, 5), QTime(0, 0))), "05/03/2024");
}

TEST_F(Formato, SettingsChangeTheCurrentOnesButNotTheDefaults) {
    const Formati::Impostazioni predefinite = Formati::predefinite();
    Formati::imposta({QChar('.'), QChar(','), QStringLiteral("MM/dd/yyyy")});
    EXPECT_EQ(Formati::correnti().formatoData, "MM/dd/yyyy");
    EXPECT_EQ(Formati::dataInTesto(QDate(2024, 3, 5)), "03/05/2024");
    EXPECT_EQ(Formati::numeroInTesto(12.5), "12.5");
    Formati::impostaItaliani();
    EXPECT_EQ(Formati::predefinite(), predefinite);
}

TEST_F(Formato, NumbersReadBackWhatWasShown) {
    Formati::impostaItaliani();
    EXPECT_EQ(Formati::numeroInTesto(12.5), "12,5");
    EXPECT_EQ(Formati::numeroInTesto(3.0), "3");
    EXPECT_EQ(Formati::numeroInTesto(-0.25), "-0,25");
    EXPECT_EQ(Formati::numeroInTesto(-0.0), "0");
    EXPECT_EQ(Formati::numeroInTesto(1234567.5), "1234567,5") << "no thousands separator";
    EXPECT_EQ(Formati::numeroInTesto(0.1 + 0.2), "0,3");
    EXPECT_EQ(Formati::numeroInTesto(1e-7), "0,0000001");
    EXPECT_EQ(Formati::numeroInTesto(1e20), "100000000000000000000");
    EXPECT_EQ(Formati::numeroInTesto(2.5, 2), "2,50");
    EXPECT_EQ(Formati::numeroInTesto(-0.001, 2), "0,00");
    EXPECT_EQ(Formati::numeroInTesto(1.005, 0), "1");

    for (double v : {0.0, 12.5, -0.25, 0.001, 123456789.123, -7.0, 99.99, 1e-7, 3.14159265358979}) {
        auto letto = Formati::leggiNumero(Formati::numeroInTesto(v));
        ASSERT_TRUE(letto.has_value()) << v;
        EXPECT_DOUBLE_EQ(*letto, v);
    }
    for (const QString& s :
         {QString("12,5"), QString("0,001"), QString("-7"), QString("123456789,123")}) {
        EXPECT_EQ(Formati::numeroInTesto(*Formati::leggiNumero(s)), s);
    }
}

TEST_F(Formato, TypedNumbersTakeTheDecimalCommaAndNoThousandsSeparator) {
    Formati::impostaItaliani();
    EXPECT_EQ(Formati::leggiNumero("12,5"), 12.5);
    EXPECT_EQ(Formati::leggiNumero(" 7 "), 7.0);
    EXPECT_EQ(Formati::leggiNumero(",5"), 0.5);
    EXPECT_EQ(Formati::leggiNumero("-3,"), -3.0);
    EXPECT_EQ(Formati::leggiNumero("+2"), 2.0);
    EXPECT_EQ(Formati::leggiNumero("1000,5"), 1000.5);
    EXPECT_EQ(Formati::leggiNumero("12500"), 12500.0);
    for (const QString& s :
         {QString(""), QString("  "), QString("abc"), QString("1,2,3"), QString("12,5x"),
          QString("12 5"), QString("1e999"), QString("inf"), QString("nan"), QString(","),
          QString("-"), QString("0x10"),
          // a point is read one way only: never, neither as a decimal nor as
          // thousands ("12.500" typed as a percentage is not 12500)
          QString("12.500"), QString("1.000"), QString("1.000,5"), QString("-12.345.678,25"),
          QString("999.000"), QString("12.5"), QString("1.5"), QString("1.00"), QString("1.0000"),
          QString("1..000"), QString(".5"), QString("1."), QString("1000.000"), QString("0.500"),
          QString("1.000.00"), QString("1,000.5"), QString("1.000e3")}) {
        EXPECT_FALSE(Formati::leggiNumero(s).has_value()) << s.toStdString();
    }
    EXPECT_EQ(Formati::leggiIntero("42"), 42);
    EXPECT_EQ(Formati::leggiIntero("-42"), -42);
    EXPECT_EQ(Formati::leggiIntero("2000000"), 2000000);
    for (const QString& s : {QString("4,2"), QString(""), QString("99999999999999999999"),
                             QString("1.5"), QString("1.00"), QString("1.0000"), QString("1..000"),
                             QString("1.000,5"), QString("1.000"), QString("2.000.000")}) {
        EXPECT_FALSE(Formati::leggiIntero(s).has_value()) << s.toStdString();
    }
}

TEST_F(Formato, OtherFormatsSwapTheRolesOfPointAndComma) {
    Formati::imposta({QChar('.'), QChar(','), QStringLiteral("MM/dd/yyyy")});
    EXPECT_EQ(Formati::leggiNumero("12.5"), 12.5);
    EXPECT_FALSE(Formati::leggiNumero("1,234.5").has_value()) << "no thousands separator either";
    EXPECT_FALSE(Formati::leggiNumero("1,5").has_value());
    EXPECT_FALSE(Formati::leggiNumero("1.000,5").has_value());
    EXPECT_EQ(Formati::leggiData("03/05/2024"), QDate(2024, 3, 5));
}

TEST_F(Formato, ThousandsPicturesGroupRoundAndDropTrailingZeros) {
    Formati::impostaItaliani();
    EXPECT_EQ(Formati::numeroConMigliaia(1000.0 / 3, 2), "333,33");
    EXPECT_EQ(Formati::numeroConMigliaia(2666.666, 2), "2.666,67");
    EXPECT_EQ(Formati::numeroConMigliaia(1234567.5, 4), "1.234.567,5");
    EXPECT_EQ(Formati::numeroConMigliaia(100, 0), "100");
    EXPECT_EQ(Formati::numeroConMigliaia(0.5, 4, 4), "0,5000");
    EXPECT_EQ(Formati::numeroConMigliaia(-0.00001, 4), "0");
    EXPECT_EQ(Formati::numeroConMigliaia(-1500.25, 2), "-1.500,25");
}
