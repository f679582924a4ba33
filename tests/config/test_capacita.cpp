// Package capacities: numbers and the equivalent code checked before a save,
// the product-capacity search, the piece unit, and the conversion that is
// committed per elaboration and moves each batch once.
#include "comune.h"

#include "config/capconf.h"
#include "config/convcapconf.h"
#include "session/formati.h"

#include "session/connessione.h"
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>

using namespace quintar;
using namespace prova;

namespace {

struct Capacita : Configurazione {
    void SetUp() override { Formati::impostaItaliani(); }
    void TearDown() override {
        Configurazione::TearDown();
        Formati::imposta(Formati::predefinite());
    }
    static int righe(TCSDGrid* g) {
        GrigliaModello* m = g->modello();
        while (m->canFetchMore({})) {
            m->fetchMore({});
        }
        return m->rowCount();
    }
};

} // namespace

TEST_F(Capacita, TheEquivalentCodeMustBeAWholeNumber) {
    auto* f = apri<TIniCConfForm>(1);
    f->riapriSuCodice("2");
    f->ButtonEdit->click();
    EXPECT_EQ(testo(f, "EditCodiceEquivalenteInProdotti"), "2");
    scrivi(f, "EditCapacitaConf", "cinque");
    scrivi(f, "EditCodiceEquivalenteInProdotti", "3 OR 1=1");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Specificare un valore numerico valido per \"Capac. Conf.\"",
                           "Specificare un valore numerico valido per \"Codice equivalente in "
                           "prodotti\""}));
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(valore("SELECT CODICEEQUIVALENTEINPRODOTTI FROM CAPCONF WHERE CODICE=2"), "2");

    msg->pulisci();
    scrivi(f, "EditCapacitaConf", "5,5");
    scrivi(f, "EditCodiceEquivalenteInProdotti", "4");
    f->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CAPCONF WHERE CODICE=2 AND CODICEEQUIVALENTEINPRODOTTI=4 "
                    "AND CAPACITACONFEZIONE=5.5"),
              1);
}

TEST_F(Capacita, TheSearchIgnoresACodeThatIsNotAWholeNumberAndQuotesTheDescription) {
    auto* s = sessione();
    {
        TRIniCCon1Form r(s);
        EXPECT_EQ(r.windowTitle(), "RIniCCon1Form " + kDitta);
        EXPECT_EQ(righe(r.GridIniCCon1), 5);
        r.EditCodice->setText("12a");
        r.EditDescrizione->setText("flacone");
        r.Cerca();
        EXPECT_EQ(righe(r.GridIniCCon1), 3) << "by description only";
        r.EditCodice->setText("4");
        r.Cerca();
        EXPECT_EQ(righe(r.GridIniCCon1), 1);
        EXPECT_EQ(r.codiceScelto(), "4");
        r.EditCodice->clear();
        r.EditDescrizione->setText("x' OR '1'='1");
        r.Cerca();
        EXPECT_EQ(righe(r.GridIniCCon1), 0);
        r.ButtonRitorna->click();
        EXPECT_EQ(msg->testi(), QStringList{"Nessun record selezionato"});
        EXPECT_FALSE(r.result() == kRisultatoOK);
    }
    delete s;

    // the card takes the chosen code
    auto* f = apri<TIniCConfForm>(1);
    f->ButtonEdit->click();
    msg->dialogo = [](QDialog* d) -> int {
        auto* r = qobject_cast<TRIniCCon1Form*>(d);
        r->EditCodice->setText("5");
        r->Cerca();
        r->ButtonRitorna->click();
        return r->result();
    };
    f->ButtonCodiceEquivalenteInProdottiClick();
    EXPECT_EQ(testo(f, "EditCodiceEquivalenteInProdotti"), "5");
    f->ButtonAnnulla->click();
}

TEST_F(Capacita, PiecesNeedTheUnitOfOnePiece) {
    auto* f = apri<TIniCCon1Form>(1);
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(testo(f, "EditCodice"), "6");
    EXPECT_FALSE(f->ComboUDMContenutoPz->isVisibleTo(f));
    scrivi(f, "EditDescrizione", "Sacchetto");
    scrivi(f, "EditCoeffDiv", "x");
    f->ComboUDMConf->setCurrentIndex(f->ComboUDMConf->findText("Pz"));
    emit f->ComboUDMConf->activated(f->ComboUDMConf->currentIndex());
    EXPECT_TRUE(f->ComboUDMContenutoPz->isVisibleTo(f));
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Specificare un valore numerico valido per \"Coeff. Div.\"",
                           "Quando indicati \"Pz\" in \"UDM Conf. Vend.\" è necessario "
                           "compilare anche \"UDM Contenuto Pz.\""}));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CAPCON1 WHERE DESCRIZIONE IS NOT NULL AND CODICE=6"), 0);

    msg->pulisci();
    scrivi(f, "EditCoeffDiv", "2");
    scrivi(f, "ComboUDMContenutoPz", "Kg");
    f->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(valore("SELECT UDMVENDCONF || '/' || UDMCONTENUTOPZ FROM CAPCON1 WHERE CODICE=6"),
              "Pz/Kg");
    EXPECT_TRUE(campo(f, "EditUDMContenutoPz2")->isVisibleTo(f));

    // a stored piece row shows its unit when edited; litres hide it and empty it
    f->ButtonEdit->click();
    EXPECT_EQ(testo(f, "ComboUDMContenutoPz"), "Kg");
    EXPECT_TRUE(f->ComboUDMContenutoPz->isVisibleTo(f));
    f->ComboUDMConf->setCurrentIndex(f->ComboUDMConf->findText("Litri"));
    emit f->ComboUDMConf->activated(f->ComboUDMConf->currentIndex());
    EXPECT_FALSE(f->ComboUDMContenutoPz->isVisibleTo(f));
    f->ButtonMemorizza->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CAPCON1 WHERE CODICE=6 AND UDMCONTENUTOPZ IS NULL"), 1);
    EXPECT_FALSE(campo(f, "EditUDMContenutoPz2")->isVisibleTo(f));
}

TEST_F(Capacita, TheConversionChecksDescriptionsAndCodesProducts) {
    esegui({"INSERT INTO CAPCON1 (CODICE, DESCRIZIONE) VALUES (6, 'TANICA 5 LT')",
            "UPDATE PRODOT SET CONFEZIONEVENDITA='Flacone 2 lt', CODICECAPACITACONFEZIONE=NULL",
            "UPDATE PRODOT SET CONFEZIONEVENDITA='Sacco 25 kg', CODICECAPACITACONFEZIONE=9 "
            "WHERE CODICE=(SELECT MIN(CODICE) FROM PRODOT)"});
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    f->show();
    EXPECT_EQ(f->windowTitle(), "Converti codici capacità confezioni - Ditta: " + kDitta);
    msg->risposte = {"Sì"};
    f->ButtonElab1->click();
    EXPECT_EQ(f->MemoRiepilogo->toPlainText(),
              "Verifica duplicazione descrizioni in CAPCON1\n"
              "Descrizione \"TANICA 5 LT\" presente più volte\nElaborazione completata");

    msg->risposte = {"Sì"};
    f->ButtonElab2->click();
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains(
        "La confezione vendita \"SACCO 25 KG\" non ha codifica"));
    EXPECT_FALSE(f->BarraProgresso->isVisible());
    // committed already, seen from another connection while the screen is open
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICECAPACITACONFEZIONE=4"),
              conta("SELECT COUNT(*) FROM PRODOT") - 1);
    EXPECT_EQ(
        valore("SELECT CODICECAPACITACONFEZIONE FROM PRODOT WHERE CONFEZIONEVENDITA='Sacco 25 kg'"),
        "9");
    EXPECT_EQ(msg->testi(), (QStringList{"Avviare l'elaborazione 1?", "Elaborazione completata",
                                         "Avviare l'elaborazione 2?", "Elaborazione completata"}));
    f->close();
}

TEST_F(Capacita, BatchesMoveOnceFromTheirOriginalCodeAndASecondRunAsksFirst) {
    // 1 -> 2 and 2 -> 3: a batch of 1 ends on 2, not on 3
    esegui(
        {"UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=2 WHERE CODICE=1",
         "UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=3 WHERE CODICE=2",
         "UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=NULL WHERE CODICE>2",
         "UPDATE FABBRIC SET CAPACITACONTENITORE='2'",
         "UPDATE FABBRIC SET CAPACITACONTENITORE='1' WHERE LOTTO=(SELECT MIN(LOTTO) FROM FABBRIC)",
         "UPDATE FABBRIC SET CAPACITACONTENITORE='X' WHERE LOTTO=(SELECT MAX(LOTTO) FROM "
         "FABBRIC)"});
    const int uno = conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='1'");
    const int due = conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='2'");
    ASSERT_GT(uno, 0);
    ASSERT_GT(due, 0);
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    msg->risposte = {"Sì"};
    f->ButtonElab3->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='2'"), uno);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='3'"), due);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='X'"), 1);
    EXPECT_FALSE(valore("SELECT TESTO FROM TABX WHERE NOME='ConvCapConfElaborazione3'").isEmpty());

    // a second run warns and asks before anything else
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonElab3->click();
    ASSERT_EQ(msg->testi().size(), 1);
    EXPECT_TRUE(msg->testi()[0].startsWith("L'elaborazione 3 è già stata eseguita"));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='3'"), due);
    f->close();
}

TEST_F(Capacita, AnElaborationThatCannotFinishIsRolledBackWhole) {
    esegui({"CREATE EXCEPTION TABX_BLOCCATA 'parametri bloccati'",
            "CREATE TRIGGER TABX_NO_INSERT FOR TABX BEFORE INSERT AS BEGIN "
            "EXCEPTION TABX_BLOCCATA; END"});
    const QString prima = valore("SELECT LIST(CAPACITACONTENITORE, ',') FROM FABBRIC");
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    msg->risposte = {"Sì"};
    f->ButtonElab3->click();
    ASSERT_EQ(msg->testi().size(), 2);
    EXPECT_TRUE(msg->testi()[1].startsWith("Errore interno durante l'elaborazione\r\n"));
    EXPECT_TRUE(msg->testi()[1].contains("parametri bloccati"));
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains("Errore interno durante l'elaborazione"));
    EXPECT_EQ(valore("SELECT LIST(CAPACITACONTENITORE, ',') FROM FABBRIC"), prima);
    EXPECT_TRUE(f->isEnabled());
    f->close();
}

namespace {

// Another user's connection holding an uncommitted change on some rows: a
// "nowait" update of the same rows fails at once with a conflict.
struct AltroUtente {
    Database db;
    std::unique_ptr<Transaction> tr;
    AltroUtente(const QString& archivio, const QString& modifica) {
        db.connect(archivio);
        tr = std::make_unique<Transaction>(&db);
        Query q(&db, tr.get());
        q.SQL = {modifica};
        EXPECT_GT(q.execSQL(), 0);
    }
};

} // namespace

TEST_F(Capacita, AProductHeldByAnotherUserStopsTheCodingAndNothingIsKept) {
    esegui({"INSERT INTO CAPCON1 (CODICE, DESCRIZIONE) VALUES (7, 'TANICA 10 LT')",
            "UPDATE PRODOT SET CONFEZIONEVENDITA='Flacone 2 lt', CODICECAPACITACONFEZIONE=NULL",
            "UPDATE PRODOT SET CONFEZIONEVENDITA='Tanica 10 lt' "
            "WHERE CODICE=(SELECT MAX(CODICE) FROM PRODOT)"});
    // "FLACONE 2 LT" comes first and is coded before the held product is reached
    AltroUtente altro(h.c().azienda(), "UPDATE PRODOT SET CONFEZIONEVENDITA=CONFEZIONEVENDITA "
                                       "WHERE CODICE=(SELECT MAX(CODICE) FROM PRODOT)");
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    msg->risposte = {"Sì"};
    f->ButtonElab2->click();
    ASSERT_EQ(msg->testi().size(), 2);
    const QString errore = msg->testi()[1];
    EXPECT_TRUE(errore.startsWith("Errore interno durante l'elaborazione\r\n"))
        << errore.toStdString();
    EXPECT_TRUE(errore.contains("\"TANICA 10 LT\"")) << "the item that stopped the run";
    EXPECT_FALSE(f->MemoRiepilogo->toPlainText().contains("Elaborazione completata"));
    EXPECT_TRUE(f->MemoRiepilogo->toPlainText().contains("Nessuna modifica è stata memorizzata"));
    altro.tr->rollback();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICECAPACITACONFEZIONE IS NOT NULL"), 0)
        << "the products coded before the failure are not kept";
    EXPECT_TRUE(f->isEnabled());

    // once the other user is done the same run goes through
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonElab2->click();
    EXPECT_EQ(msg->testi().value(1), "Elaborazione completata");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICECAPACITACONFEZIONE=7"), 1);
    f->close();
}

TEST_F(Capacita, ABatchHeldByAnotherUserStopsTheMoveAndNoCompletionIsRecorded) {
    esegui({"UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=NULL",
            "UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=2 WHERE CODICE=1",
            "UPDATE CAPCONF SET CODICEEQUIVALENTEINPRODOTTI=3 WHERE CODICE=4",
            "UPDATE FABBRIC SET CAPACITACONTENITORE='1'",
            "UPDATE FABBRIC SET CAPACITACONTENITORE='4' WHERE LOTTO=(SELECT MAX(LOTTO) FROM "
            "FABBRIC)"});
    const QString prima = valore("SELECT LIST(CAPACITACONTENITORE, ',') FROM FABBRIC");
    AltroUtente altro(h.c().azienda(), "UPDATE FABBRIC SET CAPACITACONTENITORE=CAPACITACONTENITORE "
                                       "WHERE LOTTO=(SELECT MAX(LOTTO) FROM FABBRIC)");
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    msg->risposte = {"Sì"};
    f->ButtonElab3->click();
    ASSERT_EQ(msg->testi().size(), 2);
    const QString errore = msg->testi()[1];
    EXPECT_TRUE(errore.startsWith("Errore interno durante l'elaborazione\r\n"))
        << errore.toStdString();
    EXPECT_TRUE(errore.contains("della capacità \"4\"")) << errore.toStdString();
    EXPECT_FALSE(f->MemoRiepilogo->toPlainText().contains("Elaborazione completata"));
    altro.tr->rollback();
    EXPECT_EQ(valore("SELECT LIST(CAPACITACONTENITORE, ',') FROM FABBRIC"), prima)
        << "the batches moved before the failure are back";
    EXPECT_EQ(conta("SELECT COUNT(*) FROM TABX WHERE NOME='ConvCapConfElaborazione3'"), 0)
        << "a run that did not finish is not recorded as done";

    // the next run is a first run: no warning about a previous one
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonElab3->click();
    EXPECT_EQ(msg->testi(), (QStringList{"Avviare l'elaborazione 3?", "Elaborazione completata"}));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE='3'"), 1);
    f->close();
}

TEST_F(Capacita, TheConversionDoesNotRunWhenItCannotReadWhetherItRanBefore) {
    esegui({"UPDATE FABBRIC SET CAPACITACONTENITORE='1'",
            // the parameters' text column under another name: TABX cannot be read
            "ALTER TABLE TABX ALTER COLUMN TESTO TO TESTO_ALTRO"});
    auto* f = new TConvCapConfForm(sessione());
    f->PossiedeSessione = true;
    msg->risposte = {"Sì", "Sì"};
    f->ButtonElab3->click();
    ASSERT_EQ(msg->testi().size(), 1) << msg->testi().join('|').toStdString();
    EXPECT_TRUE(msg->testi()[0].startsWith("Errore interno: impossibile verificare se "
                                           "l'elaborazione 3 è già stata eseguita"))
        << msg->testi()[0].toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE CAPACITACONTENITORE<>'1'"), 0)
        << "no batch was moved";
    f->close();
}
