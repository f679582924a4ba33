// The synchronisation into the host archive: what is copied and with which
// classification, the classification codes and descriptions, the bills of
// materials (quantities, one line per component, missing components), and a
// failure that takes the whole run back.
#include "comune.h"

#include "exchange/sincrotovaris.h"

#include <QProgressBar>
#include <QPushButton>

using namespace quintar;
using namespace prova;

namespace {

struct Sincro : Scambio<> {
    TSincroTovarisForm* f = nullptr;
    void SetUp() override { f = apri<TSincroTovarisForm>("ShowSincroTovarisForm"); }
    QStringList riepilogo() const { return memo(f->MemoRiepilogo); }
};

} // namespace

TEST(DistinteQuantita, TheShareIsPerUnitTimesSmallPackagesAndTheDensityOfLitres) {
    // 12.5 % in 5-litre cans, density 1.1
    EXPECT_DOUBLE_EQ(distinte::quantita(12.5, 1.1, 5, "Litri", "Kg"), 0.1375);
    // in 0.75-litre bottles sold by the piece
    EXPECT_DOUBLE_EQ(distinte::quantita(12.5, 1.1, 0.75, "Pz", "Litri"), 0.103125);
    // by the kilogram: no density
    EXPECT_DOUBLE_EQ(distinte::quantita(12.5, 1.1, 25, "Kg", "Kg"), 0.125);
    EXPECT_DOUBLE_EQ(distinte::quantita(12.5, 1.1, 0.5, "Pz", "Kg"), 0.0625);
    EXPECT_DOUBLE_EQ(distinte::quantita(10, 1.2, 1, "Litri", "Kg"), 0.12);
}

TEST_F(Sincro, RawMaterialsAreCopiedOnceWithTheHostCodeOfTheirCategory) {
    EXPECT_EQ(f->windowTitle(), "Sincro Tovaris - Ditta: Chimica Demo S.r.l.");
    EXPECT_EQ(f->size(), QSize(800, 600));
    EXPECT_EQ(f->minimumSize(), QSize(500, 200));
    EXPECT_FALSE(f->PanelProgresso->isVisible());
    h.esegui(az(), {"INSERT INTO MATER (CODICE,NOMECOMMERCIALE,CODICECATEGORIAMP,CODICEANALOGO) "
                    "VALUES ('MP001','Acqua d''osmosi','1','MP009')",
                    "INSERT INTO MATER (CODICE,NOMECOMMERCIALE,CODICECATEGORIAMP) "
                    "VALUES ('SM002','Premiscela','2')",
                    "INSERT INTO MATER (CODICE,NOMECOMMERCIALE,CODICECATEGORIAMP) "
                    "VALUES ('XY003','Non sincronizzata','1')"});
    // the host numbers its classifications its own way: company category 1
    // is host classification 5; category 2 it does not have yet
    h.esegui(erp(), {"INSERT INTO CLASSIFICAZIONE1 (CODICE,DESCRIZIONE,DESCRIZIONE1) "
                     "VALUES (5,'1','Acque')"});
    msg->risposte = {"Sì"};
    f->ButtonMateriePrime->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Avviare sincro Materie prime?", "Elaborazione completata"}));
    EXPECT_EQ(riepilogo(),
              (QStringList{"Individuate 2 materie prime", "Inizio sincronizzazione",
                           "Articolo \"SM002\": la categoria \"2\" non è presente in "
                           "CLASSIFICAZIONE1, articolo riversato senza classificazione",
                           "Sincronizzazione terminata", "Riversate 2 materie prime"}));
    EXPECT_EQ(righe(erp(), "SELECT CODICE, ESTENSIONE, CODICE2, TIPOARTICOLO, DESCRIZIONE1, "
                           "CLASSIFICAZIONE1 FROM ANAMAG ORDER BY CODICE"),
              (QStringList{"MP001|0|MP009|C|Acqua d'osmosi|5", "SM002|0|-|C|Premiscela|-"}));
    EXPECT_FALSE(f->PanelProgresso->isVisible());
    EXPECT_TRUE(f->ButtonChiudi->isEnabled());

    // a second run adds nothing
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonMateriePrime->click();
    EXPECT_EQ(riepilogo().last(), "Riversate 0 materie prime");
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM ANAMAG"), 2);

    // declined: nothing read, nothing written
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonProdottiFiniti->click();
    EXPECT_EQ(msg->testi(), QStringList{"Avviare sincro Prodotti finiti?"});
    EXPECT_EQ(f->MemoRiepilogo->toPlainText(), "");
    // nothing to copy: the count, and no message box
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonImballi->click();
    EXPECT_EQ(msg->testi(), QStringList{"Avviare sincro Imballi?"});
    EXPECT_EQ(riepilogo(), QStringList{"Individuati 0 imballi"});
}

TEST_F(Sincro, ProductsAndPackagingBecomeArticlesOfTheirKind) {
    h.esegui(az(),
             {"INSERT INTO PRODOT (CODICE,NOME,CATEGORIAPRODOTTO) VALUES ('FM1','Piatti','3')",
              "INSERT INTO PRODOT (CODICE,NOME) VALUES ('SM1','Non finito')",
              "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,CODICEFORNITORE) "
              "VALUES ('IC1','Flacone','1','F01')"});
    h.esegui(erp(), {"INSERT INTO CLASSIFICAZIONE2 (CODICE,DESCRIZIONE) VALUES (1,'3')",
                     "INSERT INTO CLASSIFICAZIONE3 (CODICE,DESCRIZIONE) VALUES (7,'1')"});
    msg->risposte = {"Sì", "Sì"};
    f->ButtonProdottiFiniti->click();
    EXPECT_EQ(riepilogo().last(), "Riversati 1 prodotti finiti");
    f->ButtonImballi->click();
    EXPECT_EQ(riepilogo().first(), "Individuati 1 imballi");
    EXPECT_EQ(righe(erp(), "SELECT CODICE, COALESCE(TIPOARTICOLO,'?'), DESCRIZIONE1, "
                           "COALESCE(CLASSIFICAZIONE2,''), COALESCE(CLASSIFICAZIONE3,''), "
                           "COALESCE(FORNITORE,'') FROM ANAMAG ORDER BY CODICE"),
              (QStringList{"FM1|F|Piatti|1||", "IC1|?|Flacone||7|F01"}));
}

TEST_F(Sincro, ClassificationsTakeTheNextCodesAndFortyCharacters) {
    h.esegui(erp(), {"INSERT INTO CLASSIFICAZIONE1 (CODICE,DESCRIZIONE) VALUES (1,'1')",
                     "INSERT INTO CLASSIFICAZIONE1 (CODICE,DESCRIZIONE) VALUES (7,'99')"});
    const QString lunga = "Tensioattivi anionici solfonati e solfati!!"; // 43 characters
    h.esegui(az(), {"INSERT INTO CATEGMP VALUES (1,'Già presente')",
                    "INSERT INTO CATEGMP VALUES (2,'" + lunga + "')",
                    "INSERT INTO CATEGMP VALUES (3,'Acidi')", "INSERT INTO CATEGMP VALUES (4,NULL)",
                    "INSERT INTO CATEGPR VALUES (1,'Piatti','" + lunga + lunga + "')"});
    msg->risposte = {"Sì"};
    f->ButtonCategorieMateriePrime->click();
    EXPECT_EQ(
        riepilogo(),
        (QStringList{"Individuate 4 categorie materie prime", "Inizio sincronizzazione",
                     "Classificazione \"" + lunga + "\" tronacata a \"" + lunga.left(40) + "\"",
                     "Sincronizzazione terminata", "Riversate 3 categorie materie prime"}));
    EXPECT_EQ(righe(erp(), "SELECT CODICE, DESCRIZIONE, DESCRIZIONE1 FROM CLASSIFICAZIONE1 "
                           "ORDER BY CODICE"),
              (QStringList{"1|1|-", "7|99|-", "8|2|" + lunga.left(40), "9|3|Acidi", "10|4|-"}));

    msg->risposte = {"Sì"};
    f->ButtonCategorieProdottiFiniti->click();
    EXPECT_EQ(righe(erp(), "SELECT CODICE, DESCRIZIONE, DESCRIZIONE1, DESCRIZIONE2 FROM "
                           "CLASSIFICAZIONE2"),
              QStringList{"1|1|Piatti|" + lunga.left(40)});
}

TEST_F(Sincro, BillsOfMaterialsHaveOneLinePerComponent) {
    h.esegui(az(), {"INSERT INTO FORMUL (CODICE,NOME,DENSITA) VALUES (1,'Base',1.1)",
                    "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
                    "VALUES (1,1,'MP1',12.5)",
                    "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
                    "VALUES (1,2,'MPX',1)",
                    "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
                    "VALUES (1,3,'MP2',2)",
                    // two capacities with the same description: still one line each
                    "INSERT INTO CAPCON1 (CODICE,DESCRIZIONE,CAPACITACONFEZIONE,UDMVENDCONF) "
                    "VALUES (1,'TANICA 5 LT',5,'Litri')",
                    "INSERT INTO CAPCON1 (CODICE,DESCRIZIONE,CAPACITACONFEZIONE,UDMVENDCONF) "
                    "VALUES (2,'TANICA 5 LT',5,'Litri')",
                    "INSERT INTO CAPCON1 (CODICE,DESCRIZIONE,CAPACITACONFEZIONE,UDMVENDCONF,"
                    "UDMCONTENUTOPZ) VALUES (3,'FLACONE 750',0.75,'Pz','Litri')",
                    "INSERT INTO PRODOT (CODICE,NOME,CODICEFORMULAZIONE,CONFEZIONEVENDITA) "
                    "VALUES ('FM1','Tanica',1,'TANICA 5 LT')",
                    "INSERT INTO PRODOT (CODICE,NOME,CODICEFORMULAZIONE,CONFEZIONEVENDITA) "
                    "VALUES ('FM2','Flacone',1,'FLACONE 750')"});
    // MP1 has two extensions in the host; FM2 already has its line 3
    h.esegui(erp(), {"INSERT INTO ANAMAG (ID,CODICE,ESTENSIONE,DESCRIZIONE1) "
                     "VALUES (1,'MP1','A','Variante')",
                     "INSERT INTO ANAMAG (ID,CODICE,ESTENSIONE,DESCRIZIONE1) "
                     "VALUES (2,'MP1','0','Tensioattivo')",
                     "INSERT INTO ANAMAG (ID,CODICE,DESCRIZIONE1) VALUES (3,'MP2','Sale')",
                     "INSERT INTO ANAMAG (ID,CODICE,TIPOARTICOLO) VALUES (4,'FM1','F')",
                     "INSERT INTO ANAMAG (ID,CODICE,TIPOARTICOLO) VALUES (5,'FM2','F')",
                     "INSERT INTO ANAMAG (ID,CODICE,TIPOARTICOLO) VALUES (6,'FM3','F')",
                     "INSERT INTO DISTINT (CODICEARTICOLO,ESTENSIONECODICE,NRIGA,"
                     "CODICECOMPONENTE,QUANTITACOMPONENTE) VALUES ('FM2','0',3,'MP2',9)"});
    msg->risposte = {"Sì"};
    f->ButtonSincroDistinte->click();
    EXPECT_EQ(msg->testi(), (QStringList{"Avviare sincro distinte?", "Elaborazione completata"}));
    const QString manca = "Componente \"MPX\" della formulazione relativa al prodotto \"%1\" non "
                          "trovato in anagrafica";
    EXPECT_EQ(riepilogo(),
              (QStringList{"Individuati 3 prodotti finiti", "Inizio sincronizzazione",
                           manca.arg("FM1"), manca.arg("FM2"), "Sincronizzazione terminata",
                           "Riversate 3 voci in distinte"}));
    EXPECT_EQ(
        righe(
            erp(),
            "SELECT CODICEARTICOLO, ESTENSIONECODICE, NRIGA, CODICECOMPONENTE, "
            "ESTENSIONECODICECOMP, CAST(CAST(QUANTITACOMPONENTE AS NUMERIC(12,6)) AS VARCHAR(20)), "
            "DESCRIZIONECOMPONENTE, UDM FROM DISTINT ORDER BY 1, 3"),
        (QStringList{"FM1|0|1|MP1|0|0.137500|Tensioattivo|Kg", "FM1|0|3|MP2|0|0.022000|Sale|Kg",
                     "FM2|0|1|MP1|0|0.103125|Tensioattivo|Kg", "FM2|0|3|MP2|-|9.000000|-|-"}));

    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonSincroDistinte->click();
    EXPECT_EQ(riepilogo().last(), "Riversate 0 voci in distinte");

    msg->pulisci();
    f->ButtonInfoDistinte->click();
    EXPECT_EQ(msg->testi(), QStringList{"Questa operazione va fatta dopo aver lanciato le "
                                        "seguenti sincro:\r- Materie prime\r- Prodotti finiti"});
}

TEST_F(Sincro, AFailingInsertTakesBackTheWholeRun) {
    h.esegui(az(), {"INSERT INTO MATER (CODICE,NOMECOMMERCIALE) VALUES ('MP1','Uno')",
                    "INSERT INTO MATER (CODICE,NOMECOMMERCIALE) VALUES ('MP2','Due')",
                    "INSERT INTO MATER (CODICE,NOMECOMMERCIALE) VALUES ('MP3','Tre')"});
    h.esegui(erp(), {"ALTER TABLE ANAMAG ADD CONSTRAINT SENZA_MP3 CHECK (CODICE <> 'MP3')"});
    msg->risposte = {"Sì"};
    f->ButtonMateriePrime->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Avviare sincro Materie prime?", "Elaborazione interrotta"}));
    const QStringList m = riepilogo();
    ASSERT_GE(m.size(), 5);
    EXPECT_EQ(m.mid(0, 3), (QStringList{"Individuate 3 materie prime", "Inizio sincronizzazione",
                                        "Errore bloccante:"}));
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains("SENZA_MP3"));
    EXPECT_EQ(m.last(), "Sincro annullata");
    EXPECT_FALSE(f->PanelProgresso->isVisible());
    EXPECT_TRUE(f->ButtonMateriePrime->isEnabled());

    // nothing of that run is committed by the next one
    h.esegui(az(), {"INSERT INTO CATEGMP VALUES (1,'Acidi')"});
    msg->risposte = {"Sì"};
    f->ButtonCategorieMateriePrime->click();
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLASSIFICAZIONE1"), 1);
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM ANAMAG"), 0);
}
