// The regularisation: packaging codes of products by name (lowest code,
// type only for the first four slots), of batches from their products,
// numbers of the batches without one, and runs taken back whole.
#include "comune.h"

#include "exchange/regolarizza.h"

#include <QProgressBar>
#include <QPushButton>

using namespace quintar;
using namespace prova;

namespace {

struct Regolarizza : Scambio<> {
    TRegolarizzaForm* f = nullptr;
    void SetUp() override {
        f = apri<TRegolarizzaForm>("ShowRegolarizzaForm");
        h.esegui(az(), {"INSERT INTO TPIMBA VALUES (1,'Contenitore')",
                        "INSERT INTO TPIMBA VALUES (2,'Tappo')",
                        "INSERT INTO TPIMBA VALUES (3,'Cartone')",
                        "INSERT INTO TPIMBA VALUES (4,'Etichetta')",
                        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO) "
                        "VALUES ('IC9','Flacone 1''','1')",
                        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO) "
                        "VALUES ('IC2','Flacone 1''','1')",
                        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO) "
                        "VALUES ('IA1','Flacone 1''','3')",
                        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO) "
                        "VALUES ('IK1','Tappo giallo','3')",
                        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO) "
                        "VALUES ('IE1','Etichetta A','4')"});
    }
    QStringList riepilogo() const { return memo(f->MemoRiepilogo); }
};

} // namespace

TEST_F(Regolarizza, ProductsTakeTheLowestCodeOfTheirPackagingName) {
    EXPECT_EQ(f->windowTitle(), "Regolarizza - Ditta: Chimica Demo S.r.l.");
    msg->risposte = {};
    f->ButtonElabora1->click();
    EXPECT_EQ(msg->testi(), QStringList{"Nessun record da normalizzare"});

    h.esegui(az(), {"INSERT INTO PRODOT (CODICE,IMBALLOCONTENITORE,IMBALLOTAPPO,IMBALLOALTRO1,"
                    "IMBALLOETICHETTA,CODICEIMBALLOETICHETTA) VALUES ('P1','Flacone 1''',"
                    "'Tappo giallo','Tappo giallo','Etichetta A','IEX')",
                    "INSERT INTO PRODOT (CODICE,IMBALLOCARTONE) VALUES ('P2','Cartone ignoto')",
                    "INSERT INTO PRODOT (CODICE,IMBALLOALTRO3) VALUES ('P3','Non gestito')"});
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonElabora1->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Normalizzare 2 record trovati?", "Elaborazione completata"}));
    EXPECT_EQ(riepilogo(),
              (QStringList{"Prodotto P1 non è stato possibile risalire al codice imballo tappo "
                           "per la voce \"Tappo giallo\"",
                           "Prodotto P2 non è stato possibile risalire al codice imballo cartone "
                           "per la voce \"Cartone ignoto\"",
                           "", "Elaborazione completata", "Normalizzati 1 prodotti"}));
    // a cap only among caps; other 1 among every type; a code present is kept
    EXPECT_EQ(righe(az(), "SELECT CODICE, COALESCE(CODICEIMBALLOCONTENITORE,'-'), "
                          "COALESCE(CODICEIMBALLOTAPPO,'-'), CODICEIMBALLOETICHETTA, "
                          "COALESCE(CODICEIMBALLOALTRO1,'-') FROM PRODOT WHERE CODICE='P1'"),
              QStringList{"P1|IC2|-|IEX|IK1"});
    EXPECT_FALSE(f->BarraProgresso->isVisible());
}

TEST_F(Regolarizza, BatchesTakeTheCodesOfTheirProduct) {
    h.esegui(az(), {"INSERT INTO PRODOT (CODICE,CODICEIMBALLOCONTENITORE,CODICEIMBALLOTAPPO) "
                    "VALUES ('P1','IC2','IT1')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,CONTENITORE,TAPPO,CARTONE,"
                    "CODICEETICHETTA,ETICHETTA) VALUES ('P1','2024-03-05','L''1','Qualsiasi',"
                    "'Tappo','Cartone','IEZ','Etichetta')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,CONTENITORE) "
                    "VALUES ('P9','2024-03-06','L2','Flacone')"});
    msg->risposte = {"Sì"};
    f->ButtonElabora2->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Normalizzare 2 record trovati?", "Elaborazione completata"}));
    EXPECT_EQ(riepilogo(),
              (QStringList{"Fabbricazione P1, del 05/03/2024, lotto L'1 non è stato possibile "
                           "risalire al codice cartone del prodotto",
                           "Fabbricazione P9, del 06/03/2024, lotto L2 non è stato possibile "
                           "risalire al codice contenitore del prodotto",
                           "", "Elaborazione completata", "Normalizzate 1 fabbricazioni"}));
    EXPECT_EQ(righe(az(), "SELECT CODICE, COALESCE(CODICECONTENITORE,'-'), "
                          "COALESCE(CODICETAPPO,'-'), COALESCE(CODICECARTONE,'-'), "
                          "CODICEETICHETTA FROM FABBRIC WHERE CODICE='P1'"),
              QStringList{"P1|IC2|IT1|-|IEZ"});
}

TEST_F(Regolarizza, AFailingUpdateTakesBackTheWholeRun) {
    h.esegui(az(), {"INSERT INTO PRODOT (CODICE,IMBALLOCONTENITORE) VALUES ('P1','Flacone 1''')",
                    "INSERT INTO PRODOT (CODICE,IMBALLOCONTENITORE) VALUES ('P2','Flacone 1''')",
                    "ALTER TABLE PRODOT ADD CONSTRAINT P2_SENZA_CODICI CHECK (CODICE <> 'P2' OR "
                    "CODICEIMBALLOCONTENITORE IS NULL)"});
    msg->risposte = {"Sì"};
    f->ButtonElabora1->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Normalizzare 2 record trovati?", "Elaborazione interrotta"}));
    EXPECT_EQ(riepilogo().first(), "Errore interno:");
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains("P2_SENZA_CODICI"));
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains("UPDATE PRODOT SET"));
    EXPECT_EQ(conta(az(), "SELECT COUNT(*) FROM PRODOT WHERE CODICEIMBALLOCONTENITORE IS NULL"), 2);
    EXPECT_TRUE(f->ButtonElabora1->isEnabled());
}

TEST_F(Regolarizza, BatchesWithoutNumberAreNumberedByProductDateAndLot) {
    f->ButtonElabora3->click();
    EXPECT_EQ(msg->testi(), QStringList{"Non è stata individuata nessuna fabbricazione senza ID"});
    h.esegui(az(), {"INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('B','2024-01-01','L1')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('A','2024-02-01','L1')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('A','2024-01-01','L9')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID) VALUES ('C','2024-01-01','L1',3)",
                    "ALTER SEQUENCE ID_FABBRICAZIONE_COUNTER RESTART WITH 10"});
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonElabora3->click();
    EXPECT_EQ(conta(az(), "SELECT COUNT(*) FROM FABBRIC WHERE ID IS NULL"), 3);
    msg->risposte = {"Sì"};
    f->ButtonElabora3->click();
    EXPECT_EQ(msg->testi(), (QStringList{"Trovate 3 fabbricazioni senza ID: procedere alla "
                                         "valorizzazione?",
                                         "Trovate 3 fabbricazioni senza ID: procedere alla "
                                         "valorizzazione?",
                                         "Elaborazione completata"}));
    // consecutive numbers from the generator, in the order of product, date and lot
    EXPECT_EQ(righe(az(), "SELECT CODICE, DATA FROM FABBRIC WHERE ID > 3 ORDER BY ID"),
              (QStringList{"A|2024-01-01", "A|2024-02-01", "B|2024-01-01"}));
    EXPECT_EQ(righe(az(), "SELECT MAX(ID) - MIN(ID), COUNT(*) FROM FABBRIC WHERE ID > 3"),
              QStringList{"2|3"});
}

TEST_F(Regolarizza, NumbersTakenByOtherBatchesNumberNone) {
    h.esegui(az(), {"INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('A','2024-01-01','L1')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('B','2024-01-01','L1')",
                    "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID) VALUES ('C','2024-01-01','L1',2)"});
    msg->risposte = {"Sì"};
    f->ButtonElabora3->click();
    ASSERT_EQ(msg->testi().size(), 2);
    EXPECT_TRUE(msg->testi()[1].startsWith("Errore interno durante l'elaborazione:\r"));
    EXPECT_EQ(conta(az(), "SELECT COUNT(*) FROM FABBRIC WHERE ID IS NULL"), 2);
}
