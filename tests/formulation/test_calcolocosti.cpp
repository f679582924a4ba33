// The figures of a cost sheet from plain values: the totals, the packaging
// cost, the unit values, the selling prices and their texts, and the
// rounding of times to two decimals.
#include "formulation/calcolocosti.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <cmath>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;
using namespace quintar::costi;

namespace {

constexpr double kTol = 1e-9;

ParametriCosti parametriEsempio() {
    return {.costoTempo = 20,
            .costiGeneraliAnnui = 100000,
            .costiBaseAnnui = 400000,
            .coeffRicarico = 1.5,
            .coeffAgente = 1.1,
            .coeffSconto = 0.9,
            .trasporto = 0.05};
}

// The primary type-0 sheet with coefficients of its own 0, CUP 1,2 and one
// secondary sheet costing 300.
DatiCalcolo esempio() {
    DatiCalcolo d;
    d.parametri = parametriEsempio();
    d.scheda = {.quantita = 1000,
                .tempoProduzione = 0.002,
                .tempoAvvio = 1,
                .tempoControlloQualita = 0.5,
                .tempoConfezionamento = 0.001};
    d.costoUnitarioProdotto = 1.2;
    d.totaleCostiBaseSecondarie = 300;
    return d;
}

// A secondary sheet: 500 units of a product costing 2, labour at 25.
DatiCalcolo secondaria() {
    DatiCalcolo d;
    d.parametri = ParametriCosti{.costoTempo = 25,
                                 .costiGeneraliAnnui = 50000,
                                 .costiBaseAnnui = 200000,
                                 .coeffRicarico = 1.5,
                                 .coeffAgente = 1.2,
                                 .coeffSconto = 0.8,
                                 .trasporto = 0.1};
    d.scheda = {.secondaria = true,
                .quantita = 500,
                .tempoProduzione = 0.004,
                .tempoAvvio = 2,
                .tempoControlloQualita = 1,
                .tempoConfezionamento = 0.002,
                .coeffRicarico = 3};
    d.costoUnitarioProdotto = 2;
    return d;
}

bool finito(const TotaliCosti& t) {
    for (double v : {t.costoManodopera, t.costoBase, t.costoBeta, t.costiGenerali, t.costoTotale,
                     t.costoTrasporto, t.costoConTrasporto, t.prezzoBase, t.prezzoBaseConAgente,
                     t.prezzoScontato, t.costoAvvioUnitario, t.costoProduzioneUnitario,
                     t.costoConfezUnitario, t.costoControlloQualUnit}) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(CalcoloTotali, TheWorkedPrimarySheetGivesItsPricesAndUnitLabourCosts) {
    const TotaliCosti t = calcolaTotali(esempio());
    EXPECT_NEAR(t.costoManodopera, 90, kTol);
    EXPECT_NEAR(t.costoMateriali, 1.2, kTol);
    EXPECT_NEAR(t.costoBase, 1590, kTol);
    EXPECT_NEAR(t.costoBeta, 0.25, kTol);
    EXPECT_NEAR(t.costiGenerali, 397.5, kTol);
    EXPECT_NEAR(t.costoTotale, 1987.5, kTol);
    EXPECT_NEAR(t.costoTrasporto, 50, kTol);
    EXPECT_NEAR(t.costoConTrasporto, 2037.5, kTol);
    EXPECT_NEAR(t.prezzoBase, 2981.25, kTol);
    EXPECT_NEAR(t.prezzoBaseConAgente, 3279.375, kTol);
    EXPECT_NEAR(t.prezzoScontato, 2951.4375, kTol);
    // as written into the archive
    EXPECT_EQ(sql::numero(t.prezzoScontato), "'2951.4375'");
    EXPECT_EQ(sql::numero(t.prezzoBaseConAgente), "'3279.375'");
    EXPECT_NEAR(t.costoAvvioUnitario, 0.02, kTol);
    EXPECT_NEAR(t.costoControlloQualUnit, 0.01, kTol);
    EXPECT_NEAR(t.costoProduzioneUnitario, 0.04, kTol);
    EXPECT_NEAR(t.costoConfezUnitario, 0.02, kTol);
    EXPECT_EQ(t.costoTempo, 20);
    EXPECT_FALSE(t.costoBaseUnitario); // a primary sheet keeps its stored one
}

TEST(CalcoloTotali, ASecondarySheetHasNoTransportNoMarkupAndItsOwnUnitBaseCost) {
    const TotaliCosti t = calcolaTotali(secondaria());
    // (2 + 0,006 × 500 + 1) × 25
    EXPECT_NEAR(t.costoManodopera, 150, kTol);
    EXPECT_NEAR(t.costoBase, 1150, kTol);
    EXPECT_NEAR(t.costiGenerali, 287.5, kTol);
    EXPECT_NEAR(t.costoTotale, 1437.5, kTol);
    EXPECT_EQ(t.costoTrasporto, 0);
    EXPECT_NEAR(t.costoConTrasporto, 1437.5, kTol);
    // its own coefficient of 3 and the company's are both ignored
    EXPECT_NEAR(t.prezzoBase, 1437.5, kTol);
    EXPECT_NEAR(t.prezzoBaseConAgente, 1437.5, kTol);
    EXPECT_NEAR(t.prezzoScontato, 1437.5, kTol);
    EXPECT_NEAR(t.costoAvvioUnitario, 0.1, kTol);
    EXPECT_NEAR(t.costoControlloQualUnit, 0.05, kTol);
    EXPECT_NEAR(t.costoProduzioneUnitario, 0.1, kTol);
    EXPECT_NEAR(t.costoConfezUnitario, 0.05, kTol);
    ASSERT_TRUE(t.costoBaseUnitario);
    EXPECT_NEAR(*t.costoBaseUnitario, 150.0 / 500 + 2, kTol);
}

TEST(CalcoloTotali, WithoutParametersThereIsNoLabourNoTransportAndThePricesAreTheTotalCost) {
    DatiCalcolo d = esempio();
    d.parametri.reset();
    const TotaliCosti t = calcolaTotali(d);
    EXPECT_EQ(t.costoManodopera, 0);
    EXPECT_EQ(t.costoAvvioUnitario, 0);
    EXPECT_EQ(t.costoControlloQualUnit, 0);
    EXPECT_EQ(t.costoProduzioneUnitario, 0);
    EXPECT_EQ(t.costoConfezUnitario, 0);
    EXPECT_EQ(t.costoTrasporto, 0);
    EXPECT_EQ(t.costoBeta, 0);
    EXPECT_NEAR(t.costoTotale, 1500, kTol);
    EXPECT_EQ(t.prezzoBase, t.costoTotale);
    EXPECT_EQ(t.prezzoBaseConAgente, t.costoTotale);
    EXPECT_EQ(t.prezzoScontato, t.costoTotale);
}

TEST(CalcoloTotali, ASheetsOwnCoefficientsWinUnlessTheyAreZero) {
    DatiCalcolo d = esempio();
    d.scheda.coeffRicarico = 2;
    TotaliCosti t = calcolaTotali(d);
    EXPECT_NEAR(t.prezzoBase, 1987.5 * 2, kTol);
    EXPECT_NEAR(t.prezzoScontato, 1987.5 * 2 * 1.1 * 0.9, kTol);

    d.scheda.coeffRicarico = 0;
    d.scheda.coeffSconto = 0.5;
    t = calcolaTotali(d);
    EXPECT_NEAR(t.prezzoBase, 2981.25, kTol);
    EXPECT_NEAR(t.prezzoScontato, 3279.375 * 0.5, kTol);

    // a tiny coefficient is still the sheet's own in the calculation
    d.scheda.coeffAgente = 0.005;
    EXPECT_NEAR(calcolaTotali(d).prezzoBaseConAgente, 2981.25 * 0.005, kTol);
}

TEST(CalcoloTotali, ACompanyCoefficientLeftEmptyCountsAsNotSet) {
    // the parameters screen stores an empty coefficient as 0
    DatiCalcolo d = esempio();
    d.parametri->coeffRicarico = 0;
    d.parametri->coeffSconto = 0;
    TotaliCosti t = calcolaTotali(d);
    EXPECT_NEAR(t.prezzoBase, 1987.5, kTol);
    EXPECT_NEAR(t.prezzoBaseConAgente, 1987.5 * 1.1, kTol);
    EXPECT_NEAR(t.prezzoScontato, 1987.5 * 1.1, kTol);
    EXPECT_EQ(t.coefficienti.ricarico, 1);
    EXPECT_EQ(t.coefficienti.sconto, 1);

    // the sheet's own still wins
    d.scheda.coeffSconto = 0.9;
    EXPECT_NEAR(calcolaTotali(d).prezzoScontato, 1987.5 * 1.1 * 0.9, kTol);
}

TEST(CalcoloTotali, TinyBaseCostsGiveNoGeneralCosts) {
    DatiCalcolo d = esempio();
    d.parametri->costiBaseAnnui = 0.00005;
    TotaliCosti t = calcolaTotali(d);
    EXPECT_EQ(t.costoBeta, 0);
    EXPECT_EQ(t.costiGenerali, 0);
    EXPECT_NEAR(t.costoTotale, 1590, kTol);

    d.parametri->costiBaseAnnui = 0;
    EXPECT_EQ(calcolaTotali(d).costoBeta, 0);
}

TEST(CalcoloTotali, ASmallOrZeroQuantityNeverDividesByZero) {
    DatiCalcolo d = esempio();
    d.scheda.quantita = 0.005;
    TotaliCosti t = calcolaTotali(d);
    EXPECT_EQ(t.costoAvvioUnitario, 0);
    EXPECT_EQ(t.costoControlloQualUnit, 0);
    EXPECT_NEAR(t.costoProduzioneUnitario, 0.04, kTol);
    EXPECT_TRUE(finito(t));

    for (double qp : {0.0, 0.01, -5.0}) {
        d.scheda.quantita = qp;
        EXPECT_TRUE(finito(calcolaTotali(d))) << qp;
        DatiCalcolo s = secondaria();
        s.scheda.quantita = qp;
        const TotaliCosti ts = calcolaTotali(s);
        EXPECT_TRUE(finito(ts)) << qp;
        EXPECT_FALSE(ts.costoBaseUnitario) << qp; // the stored one stays
    }
}

TEST(CalcoloTotali, TypeOnePricesOnlyTheLabourAndTheSecondarySheets) {
    DatiCalcolo d = esempio();
    d.scheda.tipoComposizione = 1;
    const TotaliCosti t = calcolaTotali(d);
    EXPECT_NEAR(t.costoBase, 300 + 90, kTol);
    // CUP is still stored for reference
    EXPECT_NEAR(t.costoMateriali, 1.2, kTol);
}

TEST(CalcoloTotali, TheFormulationsStoredCostAndThePackagingAreCarriedAlong) {
    DatiCalcolo d = esempio();
    d.costoRawMater = 0.31235;
    d.costoContenitore = 0.2785;
    const TotaliCosti t = calcolaTotali(d);
    EXPECT_EQ(t.costoRawMater, 0.31235);
    EXPECT_EQ(t.costoContenitore, 0.2785);
}

TEST(CostoProdotto, LinesWithoutAPriceAddNothingAndThePackagingIsAdded) {
    const std::vector<RigaComponente> righe = {
        {12.0, 1.85}, {4.0, 1.35}, {1.5, std::nullopt}, {std::nullopt, 3.0}};
    EXPECT_NEAR(costoUnitarioProdotto(righe, 0.25), 0.222 + 0.054 + 0.25, kTol);
    EXPECT_EQ(costoUnitarioProdotto({}, 0), 0);
}

TEST(CostoImballoProdotto, AGroupWhoseDivisorIsNotAboveOneCentIsLeftOut) {
    // container 0,30, cap 0,05, label 0,02, D1 1, carton 1,20, D2 12
    const std::array<std::optional<double>, 8> costi = {0.30, 0.05, 0.02, 1.20, {}, {}, {}, {}};
    EXPECT_NEAR(costoImballoProdotto(costi, {1, 12, 0, 0, 0, 0}), 0.47, kTol);
    EXPECT_NEAR(costoImballoProdotto(costi, {0, 12, 0, 0, 0, 0}), 0.1, kTol);
    EXPECT_NEAR(costoImballoProdotto(costi, {0.01, 12, 0, 0, 0, 0}), 0.1, kTol);
    EXPECT_NEAR(costoImballoProdotto(costi, {1, 0.005, 0, 0, 0, 0}), 0.37, kTol);
    EXPECT_EQ(costoImballoProdotto(costi, {-1, -12, 0, 0, 0, 0}), 0);
    // a carton that was not found adds nothing; the further items by their divisors
    EXPECT_NEAR(costoImballoProdotto({0.30, {}, 0.02, {}, 0.5, {}, {}, 2.0}, {2, 12, 5, 0, 0, 4}),
                0.16 + 0.1 + 0.5, kTol);
}

TEST(CostiUnitari, TheUnitBaseCostFollowsTheChosenTypeOverTheSecondarySheets) {
    DatiUnitari d{
        .quantita = 1000,
        .costoManodopera = 90,
        .costoMateriali = 1.2,
        .costoBaseUnitario = 99,
        .costoBeta = 0.25,
        .costoTrasporto = 50,
        .parametri = parametriEsempio(),
        .somme = {.costiBase = 1150, .costiBaseUnitari = 2.3, .costiUnitariVendita = 4.6}};
    const double attesi[] = {0.09 + 1.2 + 2.3, 0.09 + 1.2 + 4.6, 0.09 + 2.3, 0.09 + 4.6};
    for (int tipo = 0; tipo < 4; ++tipo) {
        d.tipoCalcUnitario = tipo;
        const ValoriUnitari v = calcolaCostiUnitari(d);
        ASSERT_TRUE(v.costoBaseUnitario) << tipo;
        EXPECT_NEAR(*v.costoBaseUnitario, attesi[tipo], kTol) << tipo;
    }

    d.tipoCalcUnitario = 0;
    const ValoriUnitari v = calcolaCostiUnitari(d);
    // the unit figures follow the totals: CG = T × Cbeta, CTot = T + CG
    EXPECT_NEAR(*v.costiGeneraliUnitari, 3.59 * 0.25, kTol);
    EXPECT_NEAR(*v.costoTotaleUnitario, 3.59 * 1.25, kTol);
    EXPECT_NEAR(*v.costoTrasportoUnitario, 0.05, kTol);
    EXPECT_NEAR(*v.costoConTrasportoUnitario, 3.59 * 1.25 + 0.05, kTol);
    EXPECT_NEAR(*v.prezzoBaseUnitario, 3.59 * 1.25 * 1.5, kTol);
    EXPECT_EQ(v.coeffRicarico, 1.5);
}

TEST(CostiUnitari, TheUnitPriceMarkupIsTheSheetsOnlyAboveOneCent) {
    DatiUnitari d{.quantita = 100, .costoManodopera = 100, .parametri = parametriEsempio()};
    d.coeffRicarico = 2;
    EXPECT_EQ(calcolaCostiUnitari(d).coeffRicarico, 2);
    EXPECT_NEAR(*calcolaCostiUnitari(d).prezzoBaseUnitario, 2, kTol);
    d.coeffRicarico = 0.01;
    EXPECT_EQ(calcolaCostiUnitari(d).coeffRicarico, 1.5);
    d.parametri->coeffRicarico = 0; // not set
    EXPECT_EQ(calcolaCostiUnitari(d).coeffRicarico, 1);
    d.parametri.reset();
    EXPECT_EQ(calcolaCostiUnitari(d).coeffRicarico, 1);
}

TEST(CostiUnitari, ASecondarySheetShowsItsStoredUnitBaseCostAndNoPrices) {
    DatiUnitari d{.secondaria = true,
                  .quantita = 0,
                  .costoManodopera = 150,
                  .costoMateriali = 2,
                  .costoBaseUnitario = 2.3,
                  .costoBeta = 0.25,
                  .costoTrasporto = 7,
                  .coeffRicarico = 3,
                  .parametri = parametriEsempio()};
    const ValoriUnitari v = calcolaCostiUnitari(d);
    EXPECT_EQ(v.coeffRicarico, 1);
    EXPECT_EQ(*v.costoBaseUnitario, 2.3);
    EXPECT_NEAR(*v.costoTotaleUnitario, 2.3 * 1.25, kTol);
    EXPECT_FALSE(v.costoTrasportoUnitario);
    EXPECT_FALSE(v.costoConTrasportoUnitario);
    EXPECT_FALSE(v.prezzoBaseUnitario);
}

TEST(CostiUnitari, APrimarySheetWithoutQuantityHasNoUnitValues) {
    for (double qp : {0.0, 0.005, 0.01}) {
        const ValoriUnitari v = calcolaCostiUnitari(
            {.quantita = qp, .costoManodopera = 90, .costoMateriali = 1.2, .costoTrasporto = 50});
        EXPECT_FALSE(v.costoBaseUnitario) << qp;
        EXPECT_FALSE(v.costiGeneraliUnitari) << qp;
        EXPECT_FALSE(v.costoTotaleUnitario) << qp;
        EXPECT_FALSE(v.costoTrasportoUnitario) << qp;
        EXPECT_FALSE(v.prezzoBaseUnitario) << qp;
    }
}

TEST(PrezziVendita, PerLitreTheDensityCountsAndPerPackageTheFirstDivisorOrTheBags) {
    Formati::impostaItaliani();
    ProdottoVendita p{.unitaVendita = "Litro", .divisore1 = 5, .bustePiene = 20, .densita = 1.2};
    PrezziVendita v = calcolaPrezziVendita(2981.25, 1000, p);
    EXPECT_EQ(testoPrezzo(v.prezzoUnitaVendita), "3,58");
    EXPECT_EQ(testoPrezzo(v.prezzoConfezione), "17,89");

    p.busta = true;
    v = calcolaPrezziVendita(2981.25, 1000, p);
    EXPECT_NEAR(v.prezzoConfezione, 3.5775 * 20, kTol);

    p.unitaVendita = "Kg";
    p.busta = false;
    v = calcolaPrezziVendita(2981.25, 1000, p);
    EXPECT_EQ(testoPrezzo(v.prezzoUnitaVendita), "2,98");
    EXPECT_EQ(testoPrezzo(v.prezzoConfezione), "14,91");

    v = calcolaPrezziVendita(2981.25, 0.005, p);
    EXPECT_EQ(v.prezzoUnitaVendita, 0);
    EXPECT_EQ(v.prezzoConfezione, 0);
    v = calcolaPrezziVendita(2981.25, 0, p);
    EXPECT_EQ(v.prezzoUnitaVendita, 0);
}

TEST(PrezziVendita, TheStoredPackagingCostIsStaleBeyondOneCent) {
    EXPECT_FALSE(imballoDaAggiornare(0.2785, 0.2785));
    EXPECT_FALSE(imballoDaAggiornare(0.28, 0.275));
    EXPECT_TRUE(imballoDaAggiornare(0.2785, 0.2585));
    EXPECT_TRUE(imballoDaAggiornare(0.0, 0.5));
}

TEST(TestiCosti, PricesShowTheDecimalTheyStandForWithGroupedThousands) {
    Formati::impostaItaliani();
    // 2,98125 × 1,2 is a little below 3,5775 in binary
    EXPECT_EQ(testoPrezzo(2981.25 / 1000 * 1.2), "3,58");
    EXPECT_EQ(testoPrezzo(1.005), "1,01");
    EXPECT_EQ(testoPrezzo(1.004), "1");
    EXPECT_EQ(testoPrezzo(2.5), "2,5");
    EXPECT_EQ(testoPrezzo(0), "0");
    EXPECT_EQ(testoPrezzo(0.004), "0");
    EXPECT_EQ(testoPrezzo(0.005), "0,01");
    EXPECT_EQ(testoPrezzo(-0.004), "0");
    EXPECT_EQ(testoPrezzo(-1234.565), "-1.234,57");
    EXPECT_EQ(testoPrezzo(999.995), "1.000");
    EXPECT_EQ(testoPrezzo(1234567.891), "1.234.567,89");
    EXPECT_EQ(testoUnitario(3.59 * 1.25), "4,4875");
    EXPECT_EQ(testoUnitario(0.00005), "0,0001");
    EXPECT_EQ(testoUnitario(12345.678949), "12.345,6789");
}

TEST(ArrotondaDecimali, HalvesGoAwayFromZeroEvenWhenBinaryLeavesThemJustBelow) {
    EXPECT_EQ(ArrotondaDecimali(2.345, 2), 2.35);
    EXPECT_EQ(ArrotondaDecimali(-2.345, 2), -2.35);
    EXPECT_EQ(ArrotondaDecimali(1.005, 2), 1.01);
    EXPECT_EQ(ArrotondaDecimali(250.0 / 500, 2), 0.5);
    EXPECT_EQ(ArrotondaDecimali(1.004999, 2), 1.0);
    EXPECT_EQ(ArrotondaDecimali(0.5, 0), 1.0);
    EXPECT_EQ(ArrotondaDecimali(-0.5, 0), -1.0);
    EXPECT_EQ(ArrotondaDecimali(-0.4, 0), 0.0);
    EXPECT_EQ(ArrotondaDecimali(1.8 / 7, 2), 0.26);
    EXPECT_EQ(ArrotondaDecimali(123.456789, 4), 123.4568);
    EXPECT_TRUE(std::isnan(ArrotondaDecimali(std::nan(""), 2)));
}
