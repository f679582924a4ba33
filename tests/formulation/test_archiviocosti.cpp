// Cost sheets recalculated on the demo archive: what is read (today's
// prices, parameters and secondary sheets), what is written back, and what
// happens when the sheet is gone or another user holds it.
#include "formulation/archiviocosti.h"
#include "session/formati.h"
#include "support/archivi.h"

#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;
using namespace quintar::costi;

namespace {

constexpr double kTol = 1e-6;

struct ArchivioCosti : ::testing::Test {
    prova::Cartella h{true};
    Database db;
    const QDate oggi{2025, 3, 14};

    void SetUp() override {
        Formati::impostaItaliani();
        db.connect(h.c().azienda());
    }
    // A stored column of a sheet as a number (NULL as 0).
    double colonna(int scheda, const QString& nome) {
        return h
            .valore(h.c().azienda(),
                    QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2").arg(nome).arg(scheda))
            .toDouble();
    }
    QString testoColonna(int scheda, const QString& nome) {
        return h.valore(
            h.c().azienda(),
            QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2").arg(nome).arg(scheda));
    }
    void esegui(const QStringList& frasi) { h.esegui(h.c().azienda(), frasi); }
};

// The demo: CPAR (32, 180000, 720000, 1,6, 1,1, 0,9, 0,06); sheet 2 is the
// secondary sheet of 1000 kg of SM001, linked once to sheet 1, 2000 bottles
// of FM001.
constexpr double kCupSM001 = 0.74 + 0.27 + 0.21 + 0.01035 + 145; // lines + IBC
constexpr double kCupFM001 = 0.33035 + 0.268 + 0.04;             // lines + packaging

} // namespace

TEST_F(ArchivioCosti, TheSecondaryThenThePrimarySheetAreStoredFromTodaysFigures) {
    auto s = CalcolaTotali(db, 2, oggi);
    ASSERT_TRUE(s);
    const double t2 = 40 + 1000 * kCupSM001; // CM (0,5 + 0,5 + 0,25) × 32
    EXPECT_NEAR(colonna(2, "COSTOMANODOPERA"), 40, kTol);
    EXPECT_NEAR(colonna(2, "COSTOMATERIALI"), kCupSM001, kTol);
    EXPECT_NEAR(colonna(2, "COSTOBASE"), t2, kTol);
    EXPECT_NEAR(colonna(2, "COSTOBETA"), 0.25, kTol);
    EXPECT_NEAR(colonna(2, "COSTOTOTALE"), t2 * 1.25, kTol);
    EXPECT_EQ(colonna(2, "COSTOTRASPORTO"), 0);
    EXPECT_NEAR(colonna(2, "PREZZOSCONTATO"), t2 * 1.25, kTol);
    EXPECT_NEAR(colonna(2, "COSTOBASEUNITARIO"), 0.04 + kCupSM001, kTol);
    EXPECT_NEAR(colonna(2, "COSTORAWMATER"), 1.17035, kTol); // the formulation's stored cost
    EXPECT_NEAR(colonna(2, "COSTOCONTENITORE"), 145, kTol);
    EXPECT_NEAR(colonna(2, "COSTOAVVIOUNITARIO"), 0.016, kTol);
    EXPECT_NEAR(colonna(2, "COSTOTEMPO"), 32, kTol);
    EXPECT_EQ(testoColonna(2, "DATAULTIMAMODIFICA"), "2025-03-14");

    s = CalcolaTotali(db, 1, oggi);
    ASSERT_TRUE(s);
    const double t1 = t2 + 220.8 + 2000 * kCupFM001; // CM (1 + 5,4 + 0,5) × 32
    EXPECT_NEAR(colonna(1, "COSTOMATERIALI"), kCupFM001, kTol);
    EXPECT_NEAR(colonna(1, "COSTOBASE"), t1, kTol);
    EXPECT_NEAR(colonna(1, "COSTOTRASPORTO"), 120, kTol);
    EXPECT_NEAR(colonna(1, "COSTOCONTRASPORTO"), t1 * 1.25 + 120, kTol);
    EXPECT_NEAR(colonna(1, "PREZZOBASE"), t1 * 1.25 * 1.6, kTol);
    EXPECT_NEAR(colonna(1, "PREZZOSCONTATO"), t1 * 1.25 * 1.6 * 1.1 * 0.9, kTol);
    EXPECT_NEAR(colonna(1, "COSTORAWMATER"), 0.31235, kTol);
    EXPECT_NEAR(colonna(1, "COSTOCONTENITORE"), 0.308, kTol);
    // a primary sheet's unit base cost is not stored
    EXPECT_EQ(testoColonna(1, "COSTOBASEUNITARIO"), "");
    // the values written are those computed, to 15 significant digits
    EXPECT_EQ(testoColonna(1, "PREZZOBASE"), QString::number(s->prezzoBase, 'g', 15));

    // a sheet with its own markup
    ASSERT_TRUE(CalcolaTotali(db, 3, oggi));
    EXPECT_NEAR(colonna(3, "PREZZOBASE"), colonna(3, "COSTOTOTALE") * 1.8, kTol);
}

TEST_F(ArchivioCosti, PricesAndParametersChangedByOthersCountAtOnce) {
    ASSERT_TRUE(CalcolaTotali(db, 2, oggi));
    // another user raises a price and the labour cost, and removes the link
    esegui({"UPDATE MATER SET PREZZO=2.85 WHERE CODICE='MP002'", "UPDATE CPAR SET COSTOTEMPO=40",
            "UPDATE IMBALLI SET COSTOIMBALLO1=150 WHERE CODICE='IC005'"});
    ASSERT_TRUE(CalcolaTotali(db, 2, oggi));
    EXPECT_NEAR(colonna(2, "COSTOMATERIALI"), kCupSM001 + 0.4 + 5, kTol);
    EXPECT_NEAR(colonna(2, "COSTOMANODOPERA"), 50, kTol);
    EXPECT_NEAR(colonna(2, "COSTOCONTENITORE"), 150, kTol);
    // the formulation's stored cost follows only its own update
    EXPECT_NEAR(colonna(2, "COSTORAWMATER"), 1.17035, kTol);

    esegui({"DELETE FROM SCHEDE"});
    ASSERT_TRUE(CalcolaTotali(db, 1, oggi));
    // MP002 is 12% of FM001 too
    EXPECT_NEAR(colonna(1, "COSTOBASE"), 6.9 * 40 + 2000 * (kCupFM001 + 0.12), kTol);
}

TEST_F(ArchivioCosti, WithoutParametersOrProductOnlyTheSecondarySheetsCount) {
    ASSERT_TRUE(CalcolaTotali(db, 2, oggi));
    esegui({"DELETE FROM CPAR", "UPDATE COSTI SET CODICEPRODOTTO=NULL WHERE CODICE=1"});
    ASSERT_TRUE(CalcolaTotali(db, 1, oggi));
    const double t2 = colonna(2, "COSTOBASE");
    EXPECT_EQ(colonna(1, "COSTOMANODOPERA"), 0);
    EXPECT_EQ(colonna(1, "COSTOMATERIALI"), 0);
    EXPECT_EQ(colonna(1, "COSTORAWMATER"), 0);
    EXPECT_EQ(colonna(1, "COSTOTRASPORTO"), 0);
    EXPECT_NEAR(colonna(1, "COSTOBASE"), t2, kTol);
    EXPECT_NEAR(colonna(1, "PREZZOSCONTATO"), t2, kTol);
}

TEST_F(ArchivioCosti, ASecondarySheetWithoutQuantityKeepsItsStoredUnitBaseCost) {
    esegui({"UPDATE COSTI SET QUANTITADAPRODURRE=0, COSTOBASEUNITARIO=7.5 WHERE CODICE=2"});
    ASSERT_TRUE(CalcolaTotali(db, 2, oggi));
    EXPECT_EQ(colonna(2, "COSTOBASEUNITARIO"), 7.5);
    EXPECT_EQ(colonna(2, "COSTOAVVIOUNITARIO"), 0);
    EXPECT_NEAR(colonna(2, "COSTOBASE"), (0.5 + 0.25) * 32, kTol); // TA + TQ
}

TEST_F(ArchivioCosti, AMissingSheetOrAnotherUsersPendingChangeWritesNothing) {
    EXPECT_FALSE(CalcolaTotali(db, 99, oggi));
    EXPECT_FALSE(CalcolaCostiUnitari(db, 99));

    // another user has changed sheet 1 and not yet committed
    Database altro;
    altro.connect(h.c().azienda());
    Transaction tr(&altro);
    Query q(&altro, &tr);
    q.SQL = {"UPDATE COSTI SET TEMPOAVVIO=2 WHERE CODICE=1"};
    q.execSQL();
    try {
        CalcolaTotali(db, 1, oggi);
        ADD_FAILURE() << "the recalculation did not fail";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.conflitto()) << e.messaggio().toStdString();
    }
    tr.rollback();
    EXPECT_EQ(testoColonna(1, "COSTOBASE"), "");
    EXPECT_EQ(testoColonna(1, "DATAULTIMAMODIFICA"), "");
}

TEST_F(ArchivioCosti, ThePackagingCostOfAStoredProduct) {
    EXPECT_NEAR(CalcolaCostoImballo(db, "FM001"), 0.308, kTol);
    EXPECT_EQ(CalcolaCostoImballo(db, "NESSUNO"), 0);
    EXPECT_EQ(CalcolaCostoImballo(db, ""), 0);
    // a container of another type, a carton not found, D1 too small
    esegui({"UPDATE PRODOT SET IMBALLOCARTONE='Cartone che non c´è' WHERE CODICE='FM001'"});
    EXPECT_NEAR(CalcolaCostoImballo(db, "FM001"), 0.268, kTol);
    esegui({"UPDATE PRODOT SET IMBALLOTAPPO='Cartone 12 flaconi 1 L' WHERE CODICE='FM001'"});
    EXPECT_NEAR(CalcolaCostoImballo(db, "FM001"), 0.223, kTol);
    esegui({"UPDATE PRODOT SET DIVISORE1=0.01, IMBALLOALTRO1='Tappo a vite 40 mm', "
            "DIVISORE3=2 WHERE CODICE='FM001'"});
    Query q(&db);
    Transaction t(&db);
    q.setTransaction(&t);
    const ImballoProdotto i = leggiImballo(q, "FM001");
    EXPECT_TRUE(i.trovato);
    EXPECT_FALSE(i.costi[0]); // not looked up under a divisor of 0,01
    ASSERT_TRUE(i.costi[4]);
    EXPECT_NEAR(*i.costi[4], 0.038, kTol);
    EXPECT_NEAR(i.costo, 0.019, kTol);
}

TEST_F(ArchivioCosti, TheUnitValuesAndPricesOfAStoredSheet) {
    ASSERT_TRUE(CalcolaTotali(db, 2, oggi));
    ASSERT_TRUE(CalcolaTotali(db, 1, oggi));
    esegui({"UPDATE SCHEDE SET COLLEGAMENTO=2"});
    auto v = CalcolaCostiUnitari(db, 1);
    ASSERT_TRUE(v);
    const double tus = 0.04 + kCupSM001;
    EXPECT_NEAR(v->somme.costiBaseUnitari, tus, kTol);
    EXPECT_NEAR(v->somme.costiUnitariVendita, 2 * tus, kTol);
    EXPECT_NEAR(*v->unitari.costoBaseUnitario, 220.8 / 2000 + kCupFM001 + tus, kTol);
    EXPECT_NEAR(*v->unitari.costoTrasportoUnitario, 0.06, kTol);
    EXPECT_EQ(v->unitari.coeffRicarico, 1.6);
    // per litre of a formulation of density 1,03, a bottle being a litre
    ASSERT_TRUE(v->prezzi);
    const double pb = colonna(1, "PREZZOBASE");
    EXPECT_NEAR(v->prezzi->prezzoUnitaVendita, pb / 2000 * 1.03, kTol);
    EXPECT_NEAR(v->prezzi->prezzoConfezione, pb / 2000 * 1.03, kTol);
    EXPECT_FALSE(v->imballoVariato);

    // the cap got dearer: the stored packaging cost is stale
    esegui({"UPDATE IMBALLI SET COSTOIMBALLO1=0.065 WHERE CODICE='IT001'"});
    v = CalcolaCostiUnitari(db, 1);
    EXPECT_TRUE(v->imballoVariato);
    EXPECT_NEAR(v->imballo.costo, 0.328, kTol);
    EXPECT_NEAR(v->costoContenitore, 0.308, kTol);

    v = CalcolaCostiUnitari(db, 2);
    EXPECT_NEAR(*v->unitari.costoBaseUnitario, tus, kTol);
    EXPECT_FALSE(v->unitari.prezzoBaseUnitario);
}
