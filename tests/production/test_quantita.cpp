// The figures of a batch's components: weighing quantity, scale class and
// tolerance of a line, the softened-water line and the critical components.
#include "production/quantita.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quintar::produzione;

namespace {

// The line is the figure a person computes; with no scale class there is
// neither a weighing quantity nor a tolerance.
void attesa(const PesataRiga& r, int bilancia, double pesata, std::optional<double> tolleranza) {
    EXPECT_EQ(r.bilancia, bilancia);
    EXPECT_DOUBLE_EQ(r.quantitaPesata, pesata);
    EXPECT_EQ(r.tolleranza.has_value(), tolleranza.has_value());
    if (r.tolleranza && tolleranza) {
        EXPECT_DOUBLE_EQ(*r.tolleranza, *tolleranza);
    }
}

} // namespace

TEST(PesataRiga, EachScaleClassWeighsItsOwnRounding) {
    // 1000 l at 1,05 kg/l, 0,005 %: q = 0,0525 kg, e = 5250, to the hundredth of a gram.
    const PesataRiga piccola = pesataRiga(0.005, 1000, 1.05, 0);
    EXPECT_DOUBLE_EQ(piccola.quantita, 0.0525);
    attesa(piccola, 1, 0.0525, 0.01);
    // q = 1,234567 kg: down to a multiple of 5 g.
    attesa(pesataRiga(1.234567, 100, 1, 0), 2, 1.23, 5);
    // q = 5,678 kg: down to 10 g, plus 10 g.
    attesa(pesataRiga(5.678, 100, 1, 0), 3, 5.68, 10);
    // q = 123,456 kg: down to 100 g, plus 100 g.
    attesa(pesataRiga(12.3456, 1000, 1, 0), 11, 123.5, 100);
}

TEST(PesataRiga, AClassUpperBoundStaysInThatClass) {
    attesa(pesataRiga(0.1, 100, 1, 0), 1, 0.1, 0.01); // 100 g
    attesa(pesataRiga(2, 100, 1, 0), 2, 2, 5);        // 2 kg
    attesa(pesataRiga(10, 100, 1, 0), 3, 10.01, 10);  // 10 kg
    // Just past 10 kg the floor scale takes over.
    attesa(pesataRiga(10.001, 100, 1, 0), 11, 10.1, 100);
}

TEST(PesataRiga, DecimalFiguresAreNotTruncatedBelowThemselves) {
    // 4,35 % of 100 kg is 4,35 kg: scale 3, 4,35 + 10 g. In binary q comes out
    // as 4,3499999…, e as 434999 and the quantity as 4,35.
    const PesataRiga r = pesataRiga(4.35, 100, 1, 0);
    EXPECT_DOUBLE_EQ(r.quantita, 4.35);
    attesa(r, 3, 4.36, 10);
    // A line left at 0,3 − 0,1 by an integration is 0,19999999999999998 in the
    // archive: 0,2 % of 1000 kg is 2 kg on scale 2, not 1,995.
    attesa(pesataRiga(0.3 - 0.1, 1000, 1, 0), 2, 2, 5);
}

TEST(PesataRiga, NothingToWeighHasNoScale) {
    attesa(pesataRiga(0, 1000, 1, 5), 0, 0, std::nullopt);
    attesa(pesataRiga(-1, 1000, 1, 5), 0, 0, std::nullopt);
    // 0,001 % of 0,5 kg is 5 mg, under the hundredth of a gram.
    const PesataRiga minima = pesataRiga(0.001, 0.5, 1, 5);
    EXPECT_DOUBLE_EQ(minima.quantita, 0.000005);
    attesa(minima, 0, 0, std::nullopt);
}

TEST(PesataRiga, ToleranceIsTruncatedToTheScaleStepWithAFloor) {
    // 5 g/kg on 1,234567 kg: l = 617, 6,15 g.
    EXPECT_DOUBLE_EQ(*pesataRiga(1.234567, 100, 1, 5).tolleranza, 6.15);
    // 2 g/kg on the same: 2,46 g, under the 5 g floor of scale 2.
    EXPECT_DOUBLE_EQ(*pesataRiga(1.234567, 100, 1, 2).tolleranza, 5);
    // 20 g/kg on 52,5 g: 1,05 g on scale 1.
    EXPECT_DOUBLE_EQ(*pesataRiga(0.005, 1000, 1.05, 20).tolleranza, 1.05);
    // 5 g/kg on 5,678 kg: 28,39 g, down to 20 g on scale 3; 1 g/kg gives 5,678 g,
    // under the 10 g floor.
    EXPECT_DOUBLE_EQ(*pesataRiga(5.678, 100, 1, 5).tolleranza, 20);
    EXPECT_DOUBLE_EQ(*pesataRiga(5.678, 100, 1, 1).tolleranza, 10);
    // 5 g/kg on 123,456 kg: 617,28 g, down to 600 g on scale 11; 0,5 g/kg
    // gives 61,7 g, under the 100 g floor.
    EXPECT_DOUBLE_EQ(*pesataRiga(12.3456, 1000, 1, 5).tolleranza, 600);
    EXPECT_DOUBLE_EQ(*pesataRiga(12.3456, 1000, 1, 0.5).tolleranza, 100);
}

TEST(DensitaPerQuantita, ABatchInKgIgnoresTheProductDensity) {
    EXPECT_DOUBLE_EQ(densitaPerQuantita("Kg", 1.05), 1);
    EXPECT_DOUBLE_EQ(densitaPerQuantita("KG ", 1.05), 1);
    EXPECT_DOUBLE_EQ(densitaPerQuantita("Litri", 1.05), 1.05);
    EXPECT_DOUBLE_EQ(quantitaTotale(1000, densitaPerQuantita("Litri", 1.05)), 1050);
    EXPECT_DOUBLE_EQ(quantitaTotale(1000, densitaPerQuantita("Kg", 1.05)), 1000);
}

TEST(AcquaAddolcita, MakesTheBatchLinesUpTo100) {
    // Lines 30 + 25,5 + 4,35 = 59,85 % of 200 kg: 40,15 % water, 80,3 kg,
    // 5 g/kg = 401,5 g down to 400 g.
    const std::vector<double> righe{30, 25.5, 4.35};
    const AcquaAddolcita a = acquaAddolcita(righe, 200, 1);
    EXPECT_DOUBLE_EQ(a.percentuale, 40.15);
    EXPECT_DOUBLE_EQ(a.quantita, 80.3);
    EXPECT_DOUBLE_EQ(a.tolleranza, 400);
    EXPECT_EQ(a.bilancia, 11);

    // 0,1 + 0,2 % of 1000 l at 1,05: 99,7 %, 1046,85 kg
    // down to 1046,8, 5234 g down to 5200 g.
    const std::vector<double> poche{0.1, 0.2};
    const AcquaAddolcita b = acquaAddolcita(poche, 1000, 1.05);
    EXPECT_DOUBLE_EQ(b.percentuale, 99.7);
    EXPECT_DOUBLE_EQ(b.quantita, 1046.8);
    EXPECT_DOUBLE_EQ(b.tolleranza, 5200);

    // A batch without lines is all water.
    const AcquaAddolcita c = acquaAddolcita({}, 12.34, 1);
    EXPECT_DOUBLE_EQ(c.percentuale, 100);
    EXPECT_DOUBLE_EQ(c.quantita, 12.3);
    EXPECT_DOUBLE_EQ(c.tolleranza, 0);
}

TEST(ValoriCritici, EachValueFollowsTheOneShownBeforeIt) {
    // 2 % at 30 % theoretical and 28 % real active matter: 2,142857… shown
    // 2,1429; 1000 l at 1,1: 23,5719 (23,5714 from the unrounded figure);
    // one per cent more: 23,807619 shown 23,8076.
    const RigaCritica riga{2, 30, 28};
    const ValoriCritici l = valoriCritici(riga, 1000, 1.1, false);
    EXPECT_DOUBLE_EQ(l.percentualeAggiornata, 2.1429);
    EXPECT_DOUBLE_EQ(l.quantitaCalcolata, 23.5719);
    EXPECT_DOUBLE_EQ(l.quantitaKg, 23.8076);
    // The same 1000 in "Kg" is not converted: 21,429 and 21,64329 shown 21,6433.
    const ValoriCritici k = valoriCritici(riga, 1000, 1.1, true);
    EXPECT_DOUBLE_EQ(k.quantitaCalcolata, 21.429);
    EXPECT_DOUBLE_EQ(k.quantitaKg, 21.6433);
    // Thousands are part of the figure: 100 % of 10000 l at 1,2 is 12000 kg.
    const ValoriCritici m = valoriCritici({50, 40, 20}, 10000, 1.2, false);
    EXPECT_DOUBLE_EQ(m.quantitaCalcolata, 12000);
    EXPECT_DOUBLE_EQ(m.quantitaKg, 12120);
    // A half at the fifth decimal goes up: 0,00015 shows as 0,0002.
    EXPECT_DOUBLE_EQ(valoriCritici({0.00015, 100, 100}, 1, 1, true).percentualeAggiornata, 0.0002);
}

TEST(ValoriCritici, MissingOrZeroValuesGiveZero) {
    const auto zero = [](const ValoriCritici& v) {
        EXPECT_DOUBLE_EQ(v.percentualeAggiornata + v.quantitaCalcolata + v.quantitaKg, 0);
    };
    zero(valoriCritici({2, 30, 0}, 1000, 1.1, false));
    zero(valoriCritici({2, std::nullopt, 28}, 1000, 1.1, false));
    zero(valoriCritici({0, 30, 28}, 1000, 1.1, false));
    // Without a quantity, or a volume without density, only "% Agg." is known.
    for (const ValoriCritici& v : {valoriCritici({2, 30, 28}, std::nullopt, 1.1, false),
                                   valoriCritici({2, 30, 28}, 1000, std::nullopt, false)}) {
        EXPECT_DOUBLE_EQ(v.percentualeAggiornata, 2.1429);
        EXPECT_DOUBLE_EQ(v.quantitaCalcolata, 0);
        EXPECT_DOUBLE_EQ(v.quantitaKg, 0);
    }
    // A batch in "Kg" needs no density.
    EXPECT_DOUBLE_EQ(valoriCritici({2, 30, 28}, 1000, std::nullopt, true).quantitaCalcolata,
                     21.429);
}
