// The raw-material cost of a formulation to the fourth decimal, and when a
// stored cost counts as stale.
#include "formulation/costi.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

using namespace quintar;
using costi::confrontaCosto;
using costi::Costo4;

namespace {

qint64 dm(double v) {
    return Costo4::arrotonda(v).decimillesimi();
}

} // namespace

TEST(CostoFormulazione, ADifferenceOfHalfACentOrExactlyACentIsNotAChange) {
    auto c = confrontaCosto(1.100, 1.105);
    EXPECT_FALSE(c.variato);
    EXPECT_EQ(c.ricalcolato.decimillesimi(), 11050);

    c = confrontaCosto(1.100, 1.125);
    EXPECT_TRUE(c.variato);
    EXPECT_EQ(c.ricalcolato.decimillesimi(), 11250);

    // 1,11 − 1,10 is a little above 0,01 in binary floating point
    ASSERT_GT(1.11 - 1.10, 0.01);
    EXPECT_FALSE(confrontaCosto(1.10, 1.11).variato);
    EXPECT_FALSE(confrontaCosto(1.11, 1.10).variato);
    EXPECT_TRUE(confrontaCosto(1.10, 1.1101).variato);
    EXPECT_TRUE(confrontaCosto(1.1101, 1.10).variato);
}

TEST(CostoFormulazione, NullCountsAsZeroOnEitherSide) {
    auto c = confrontaCosto(std::nullopt, 0.005);
    EXPECT_FALSE(c.variato);
    EXPECT_EQ(c.ricalcolato.decimillesimi(), 50);

    // a formulation without lines: no sum at all
    c = confrontaCosto(0.5, std::nullopt);
    EXPECT_TRUE(c.variato);
    EXPECT_EQ(c.ricalcolato, Costo4());

    EXPECT_FALSE(confrontaCosto(std::nullopt, std::nullopt).variato);
    EXPECT_TRUE(confrontaCosto(std::nullopt, 0.0101).variato);
}

TEST(CostoFormulazione, SumsAreRoundedToFourDecimalsHalfToEven) {
    EXPECT_EQ(dm(1.23455), 12346);
    EXPECT_EQ(dm(1.23465), 12346);
    EXPECT_EQ(dm(1.234651), 12347);
    EXPECT_EQ(dm(0.00005), 0);
    EXPECT_EQ(dm(0.00015), 2);
    EXPECT_EQ(dm(0.000049999), 0);
    EXPECT_EQ(dm(-1.23455), -12346);
    EXPECT_EQ(dm(-0.00025), -2);
    // binary sums stand for the decimal a user reads
    EXPECT_EQ(dm(0.1 + 0.2), 3000);
    EXPECT_EQ(dm(12 * 1.85 / 100 + 4 * 1.35 / 100 + 0.1 * 6.9 / 100), 2829);
    EXPECT_EQ(dm(1e-20), 0);
    EXPECT_EQ(dm(123456789.12345), 1234567891234);
    EXPECT_EQ(dm(899999999999.5), 8999999999995000);
}

TEST(CostoFormulazione, DamagedValuesAreRefused) {
    EXPECT_THROW(Costo4::arrotonda(1e15), std::overflow_error);
    EXPECT_THROW(Costo4::arrotonda(-1e300), std::overflow_error);
    EXPECT_THROW(Costo4::arrotonda(std::numeric_limits<double>::quiet_NaN()),
                 std::invalid_argument);
    EXPECT_THROW(Costo4::arrotonda(std::numeric_limits<double>::infinity()), std::invalid_argument);
}

TEST(CostoFormulazione, TheCostIsShownWithACommaAndWrittenWithAPoint) {
    Formati::impostaItaliani();
    const Costo4 c = Costo4::daDecimillesimi(11050);
    EXPECT_EQ(c.testo(), "1,105");
    EXPECT_EQ(sql::numero(c.valore()), "'1.105'");
    EXPECT_EQ(sql::numero(Costo4::daDecimillesimi(1234567891234).valore()), "'123456789.1234'");
    EXPECT_EQ(Costo4().testo(), "0");
}
