// The products card on real archives: the packaging cost and its
// explanation, the save with its history in one unit, values kept when they
// left their lists, a new product starting clear, the look-up, and the
// window of the products of one formulation.
#include "formulation/formul.h"
#include "master/costoimballo.h"
#include "master/prodotti.h"
#include "master/prodottipo.h"
#include "master/ricimballi.h"
#include "session/formati.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/memoform.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace quintar;

TEST(CostoImballo, LaSpiegazioneMostraICostiTrovatiEIDivisoriMemorizzati) {
    Formati::impostaItaliani();
    EXPECT_EQ(imballi::spiegazione({0.30, 0.05, 0.02, 1.20, {}, {}, {}, {}},
                                   {"1", "12", "", "", "", ""}, "0,47"),
              "Costo Contenitore = ([c_contenitore]+[c_tappo]+[c_etichetta])/[d1]+[c_cartone]/"
              "[d2]+[c_altro_1]/[d3]+[c_altro_2]/[d4]+[c_altro_3]/[d5]+[c_altro_4]/[d6] =\n"
              "(0,3 + 0,05 + 0,02) / 1 + 1,2 / 12 + 0 / 0 + 0 / 0 + 0 / 0 + 0 / 0 = 0,47");
    // an item left out writes 0; a divisor is written as stored
    std::array<std::optional<double>, 8> costi{};
    costi[1] = 0.1;
    costi[4] = 2.5;
    costi[7] = 0.125;
    const QString t = imballi::spiegazione(costi, {"0", "", "2,5", "1", "1", "4"}, "1,0313");
    EXPECT_TRUE(t.endsWith("(0 + 0,1 + 0) / 0 + 0 / 0 + 2,5 / 2,5 + 0 / 1 + 0 / 1 + 0,125 / 4 "
                           "= 1,0313"))
        << t.toStdString();
}

namespace {

struct Prodotti : prova::ConScheda {
    TProdottiForm* apri() { return ConScheda::apri<TProdottiForm>("ShowProdottiForm"); }
    static QWidget* ed(TProdottiForm* f, const char* colonna) {
        return f->editazione(QString::fromLatin1(colonna));
    }
    static QWidget* co(TProdottiForm* f, const char* colonna) {
        return f->consultazione(QString::fromLatin1(colonna));
    }
    static QString t(QWidget* w) { return SchedaBase::testoDi(w); }
    static bool attendi(std::function<bool()> c) { return QTest::qWaitFor(c, 3000); }
    // A choice of the edit page's formulation list, as the user makes it.
    static void scegliFormulazione(TProdottiForm* f, const QString& codice) {
        auto* l = qobject_cast<QComboBox*>(ed(f, "CODICEFORMULAZIONE"));
        l->setCurrentIndex(l->findText(codice));
        emit l->activated(l->currentIndex());
    }
    // The costs of the example: container 0,30, cap 0,05, label 0,02,
    // carton 1,20 on the first demo product (D1 1, D2 12).
    void costiEsempio() {
        h.esegui(az(), {"UPDATE IMBALLI SET COSTOIMBALLO1=0.30 WHERE CODICE='IC001'",
                        "UPDATE IMBALLI SET COSTOIMBALLO1=0.05 WHERE CODICE='IT001'",
                        "UPDATE IMBALLI SET COSTOIMBALLO1=0.02 WHERE CODICE='IE001'",
                        "UPDATE IMBALLI SET COSTOIMBALLO1=1.20 WHERE CODICE='IK001'"});
    }
};

TEST_F(Prodotti, IlCostoImballoSommaContenitoreTappoEtichettaPerD1ECartonePerD2) {
    costiEsempio();
    TProdottiForm* f = apri();
    riga(f, "FM001");
    EXPECT_TRUE(attendi([f] { return f->EditCostoUnitarioImballo_2->text() == "0,47"; }))
        << f->EditCostoUnitarioImballo_2->text().toStdString();

    // the explanation: the costs found and the stored divisors
    QString titolo, spiegazione;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* m = qobject_cast<TMemoForm*>(d)) {
            titolo = m->windowTitle();
            spiegazione = m->MemoInfo->toPlainText();
        }
        return QDialog::Accepted;
    };
    f->ButtonCostoImballo->click();
    EXPECT_EQ(titolo, "Costo Contenitore - Ditta: " + f->Sessione()->Ditta);
    EXPECT_TRUE(spiegazione.endsWith(
        "(0,3 + 0,05 + 0,02) / 1 + 1,2 / 12 + 0 / 0 + 0 / 0 + 0 / 0 + 0 / 0 = 0,47"))
        << spiegazione.toStdString();

    // on the edit page the divisors typed count: D1 empty or 0 leaves the
    // container, cap and label out altogether
    f->ButtonEditClick();
    for (const char* d1 : {"", "0", "x"}) {
        testo(ed(f, "DIVISORE1"), d1);
        emit qobject_cast<QLineEdit*>(ed(f, "DIVISORE1"))->editingFinished();
        EXPECT_TRUE(attendi([f] { return f->EditCostoUnitarioImballo->text() == "0,1"; }))
            << d1 << ": " << f->EditCostoUnitarioImballo->text().toStdString();
        f->EditCostoUnitarioImballo->clear();
    }
    // a name that matches no item is left out, and is no error
    testo(ed(f, "DIVISORE1"), "2");
    testo(ed(f, "IMBALLOTAPPO"), "Tappo che non esiste");
    EXPECT_NEAR(f->CalcolaCostoImballo(), 0.32 / 2 + 0.1, 1e-12);
    f->ButtonAnnullaClick();
}

TEST_F(Prodotti, UnNomeDueVolteValeLaPrimaRigaEUnApostrofoSiRitrova) {
    // the same name twice (the first in code order is taken), a name stored
    // with ´ for the apostrophe, and a type code that is not a number
    h.esegui(az(), {"INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) VALUES "
                    "('IC000','Flacone HDPE 1000 ml bianco','1',0.5)",
                    "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) VALUES "
                    "('IC009','Flacone HDPE 1000 ml bianco','1',0.9)",
                    "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) VALUES "
                    "('IT009','Tappo d\xc2\xb4oro','2',0.25)",
                    "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) VALUES "
                    "('IX001','Tappo d\xc2\xb4oro','ALTRO',7)"});
    TProdottiForm* f = apri();
    riga(f, "FM001");
    f->ButtonEditClick();
    EXPECT_EQ(f->costoImballo(0, "Flacone HDPE 1000 ml bianco"), 0.5);
    // the cap's type is looked up by its description; the further items by name alone
    EXPECT_EQ(f->costoImballo(1, "Tappo d'oro"), 0.25);
    EXPECT_EQ(f->costoImballo(2, "Tappo d'oro"), std::nullopt);
    EXPECT_EQ(f->costoImballo(4, "Tappo d'oro"), 0.25);
    EXPECT_EQ(f->costoImballo(4, ""), std::nullopt);

    // the packaging code becomes the hint of the name typed
    testo(ed(f, "IMBALLOTAPPO"), "Tappo d'oro");
    EXPECT_TRUE(f->EditCostoUnitarioImballo->text().isEmpty());
    EXPECT_TRUE(attendi([f] { return ed(f, "IMBALLOTAPPO")->toolTip() == "IT009"; }))
        << ed(f, "IMBALLOTAPPO")->toolTip().toStdString();
    // (0,5 + 0,25 + 0,028) / 1 + 0,48 / 12
    EXPECT_EQ(f->EditCostoUnitarioImballo->text(), "0,818");
    f->ButtonAnnullaClick();
}

TEST_F(Prodotti, UnNomeSenzaCodiceFermaIlSalvataggioTranneAltro3EAltro4) {
    TProdottiForm* f = apri();
    nuovoCodice("PX1");
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    testo(ed(f, "PEZZIPERIMBALLO"), "dodici");
    testo(ed(f, "DIVISORE5"), "x");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(f->StatoScheda, 1);
    QStringList attesi{"Specificare un valore numerico valido per \"N.pezzi imb.\"",
                       "Specificare un valore numerico valido per \"D5\""};
    EXPECT_EQ(msg->testi().mid(0, 2), attesi);
    testo(ed(f, "PEZZIPERIMBALLO"), "12");
    testo(ed(f, "DIVISORE5"), "");

    for (const char* linea : {"IMBALLOCONTENITORE", "IMBALLOTAPPO", "IMBALLOETICHETTA",
                              "IMBALLOCARTONE", "IMBALLOALTRO1", "IMBALLOALTRO2"}) {
        msg->pulisci();
        testo(ed(f, linea), "Qualcosa");
        f->ButtonMemorizzaClick();
        EXPECT_EQ(f->StatoScheda, 1) << linea;
        ASSERT_EQ(msg->testi().size(), 1) << linea;
        EXPECT_TRUE(msg->testi()[0].startsWith(
            "Attenzione: oltre alla descrizione è necessario indicare anche il codice per \""))
            << msg->testi()[0].toStdString();
        testo(ed(f, linea), "");
    }
    EXPECT_TRUE(msg->testi()[0].endsWith("\"Altro 2\""));
    testo(ed(f, "IMBALLOALTRO3"), "Nastro");
    testo(ed(f, "IMBALLOALTRO4"), "Bancale");
    testo(ed(f, "NOME"), "Piatti all'arancia");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT IMBALLOALTRO3 || '/' || IMBALLOALTRO4 || '/' || "
                     "COALESCE(CODICEIMBALLOALTRO3, 'nessuno') FROM PRODOT WHERE CODICE='PX1'"),
              "Nastro/Bancale/nessuno");
    EXPECT_EQ(valore("SELECT NOME FROM PRODOT WHERE CODICE='PX1'"),
              QString("Piatti all") + QChar(0xB4) + "arancia");
    EXPECT_EQ(valore("SELECT PEZZIPERIMBALLO FROM PRODOT WHERE CODICE='PX1'"), "12");
}

TEST_F(Prodotti, LaFormulazioneSceltaPortaIlSuoADRSoloSeDiverso) {
    h.esegui(az(), {"UPDATE PRODOT SET GRUPPOADR='II' WHERE CODICE='FM004'"});
    TProdottiForm* f = apri();
    riga(f, "FM004");
    f->ButtonEditClick();
    EXPECT_EQ(t(ed(f, "CODICEFORMULAZIONE#")), "Disincrostante anticalcare");
    // the same ADR code: the product's group stays
    scegliFormulazione(f, "3");
    EXPECT_EQ(t(ed(f, "CODICEADR")), "3264");
    EXPECT_EQ(t(ed(f, "GRUPPOADR")), "II");
    EXPECT_EQ(t(ed(f, "FORMUL.SOSTANZEADR")), "acido fosforico");
    // another code: code and group come from the formulation, and are decoded
    scegliFormulazione(f, "4");
    EXPECT_EQ(t(ed(f, "CODICEFORMULAZIONE#")), "Candeggina profumata");
    EXPECT_EQ(t(ed(f, "CODICEADR")), "1791");
    EXPECT_EQ(t(ed(f, "GRUPPOADR")), "III");
    EXPECT_TRUE(attendi([f] { return t(ed(f, "ADR2017.CLASSE")) == "8"; }));
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT CODICEFORMULAZIONE || '/' || CODICEADR || '/' || GRUPPOADR FROM "
                     "PRODOT WHERE CODICE='FM004'"),
              "4/1791/III");
    // the consultation page decodes the product again after the save, though
    // the list came back on the same product
    EXPECT_TRUE(attendi([f] {
        return t(co(f, "ADR2017.DESCRIZIONE")) == "Ipoclorito in soluzione" &&
               t(co(f, "FORMUL.SOSTANZEADR")) == "ipoclorito di sodio" &&
               t(co(f, "CODICEFORMULAZIONE#")) == "Candeggina profumata" &&
               !f->EditCostoUnitarioImballo_2->text().isEmpty();
    }));
}

TEST_F(Prodotti, StoricoEMemorizzazioneSonoUnaCosaSola) {
    // a version of the product under this name cannot be written
    h.esegui(az(), {"ALTER TABLE STOPRODOT ADD CONSTRAINT STOPRODOT_PROVA CHECK "
                    "(NOME IS DISTINCT FROM 'Piatti Limone 1 litro')"});
    TProdottiForm* f = apri();
    riga(f, "FM001");
    EXPECT_TRUE(attendi([f] { return f->EditCostoUnitarioImballo_2->text() == "0,308"; }));
    EXPECT_TRUE(f->LabelVersione->text().isEmpty());
    // no history yet: saved unchanged, version 1 holds the row as it was
    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='FM001' AND VERS=1 AND "
                    "UTENTE='2' AND DATAVERS=CURRENT_DATE"),
              1);
    EXPECT_EQ(f->LabelVersione->text(), "1");
    // unchanged again: nothing; changed: version 2 with the earlier values
    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='FM001'"), 1);
    f->ButtonEditClick();
    testo(ed(f, "NOME"), "Piatti Limone 1 litro");
    qobject_cast<QCheckBox*>(ed(f, "ADRENTROQTALIMITATA"))->setChecked(true);
    testo(ed(f, "ADRVALOREQTALIMITATA"), "2,5");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(valore("SELECT NOME FROM STOPRODOT WHERE CODICE='FM001' AND VERS=2"),
              "Piatti Limone 1 L");
    EXPECT_EQ(valore("SELECT ADRENTROQTALIMITATA FROM PRODOT WHERE CODICE='FM001'"), "1");
    EXPECT_EQ(valore("SELECT ADRVALOREQTALIMITATA FROM PRODOT WHERE CODICE='FM001'"), "2.5");
    EXPECT_EQ(f->LabelVersione->text(), "2");

    // a history that cannot be written: neither the version nor the change
    f->ButtonEditClick();
    testo(ed(f, "NOME"), "Piatti Limone");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_TRUE(
        msg->testi().contains("Errore interno: impossibile inserire nello storico le modifiche"));
    EXPECT_EQ(valore("SELECT NOME FROM PRODOT WHERE CODICE='FM001'"), "Piatti Limone 1 litro");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='FM001'"), 2);
    f->ButtonAnnullaClick();
    // nor is the product deleted
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM001'"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='FM001'"), 2);
}

TEST_F(Prodotti, EliminareScriveUnUltimaVersioneDelProdotto) {
    h.esegui(az(), {"INSERT INTO STOPRODOT (CODICE,VERS,NOME) VALUES ('FM002',4,'vecchio')"});
    TProdottiForm* f = apri();
    riga(f, "FM002");
    EXPECT_TRUE(attendi([f] { return f->LabelVersione->text() == "4"; }));
    // a product without history shows no version
    riga(f, "FM003");
    EXPECT_TRUE(attendi([f] { return f->LabelVersione->text().isEmpty(); }));
    riga(f, "FM002");
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM002'"), 0);
    EXPECT_EQ(valore("SELECT NOME || '/' || CONFEZIONEVENDITA || '/' || UTENTE FROM STOPRODOT "
                     "WHERE CODICE='FM002' AND VERS=5"),
              "Piatti Limone 5 L/TANICA 5 LT/2");
}

TEST_F(Prodotti, UnNuovoProdottoRifiutatoNonLasciaNulla) {
    h.esegui(az(), {"ALTER TABLE PRODOT ADD CONSTRAINT PRODOT_PROVA CHECK "
                    "(NOME IS DISTINCT FROM 'Rifiutato')"});
    TProdottiForm* f = apri();
    nuovoCodice("PX2");
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    testo(ed(f, "NOME"), "Rifiutato");
    testo(ed(f, "DESCRIZIONE"), "Mai salvato");
    f->ButtonMemorizzaClick();
    EXPECT_TRUE(msg->testi().contains("Errore interno: impossibile memorizzare le modifiche"));
    // no row and no version is left behind; the user keeps what was typed
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(t(ed(f, "DESCRIZIONE")), "Mai salvato");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='PX2'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='PX2'"), 0);
    EXPECT_FALSE(f->close());
    // corrected: the row comes back with the save
    testo(ed(f, "NOME"), "Accettato");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM PRODOT WHERE CODICE='PX2'"), "Mai salvato");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPRODOT WHERE CODICE='PX2'"), 1);

    // refused again and given up: nothing of it stays
    nuovoCodice("PX3");
    f->ButtonNuovoClick();
    testo(ed(f, "NOME"), "Rifiutato");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='PX3'"), 0);
    f->ButtonAnnullaClick();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='PX3'"), 0);
    EXPECT_TRUE(f->close());
}

TEST_F(Prodotti, ValoriUscitiDagliElenchiRestanoComErano) {
    h.esegui(az(), {"UPDATE PRODOT SET CATEGORIAPRODOTTO='99', CODICEFORMULAZIONE=77, "
                    "UNITAVENDITA='Pz', CONFEZIONEVENDITA='FUSTO 25 KG' WHERE CODICE='FM003'"});
    TProdottiForm* f = apri();
    riga(f, "FM003");
    EXPECT_EQ(t(co(f, "CATEGORIAPRODOTTO#")), QString());
    f->ButtonEditClick();
    EXPECT_EQ(f->ComboCategoria->currentText(), "99");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT CATEGORIAPRODOTTO || '/' || CODICEFORMULAZIONE || '/' || "
                     "UNITAVENDITA || '/' || CONFEZIONEVENDITA FROM PRODOT WHERE CODICE='FM003'"),
              "99/77/Pz/FUSTO 25 KG");

    // another product does not inherit the extra items; its category is
    // chosen by description and stored by code
    riga(f, "FM002");
    EXPECT_EQ(t(co(f, "CATEGORIAPRODOTTO#")), "Piatti");
    f->ButtonEditClick();
    EXPECT_EQ(f->ComboCategoria->currentText(), "Piatti");
    EXPECT_EQ(f->ComboCategoria->findText("99"), -1);
    EXPECT_EQ(f->ComboCategoriaSec->count(), f->ComboCategoria->count());
    f->ComboCategoria->setCurrentIndex(f->ComboCategoria->findText("Bagno"));
    // the package takes free text too
    auto* confezione = qobject_cast<QComboBox*>(ed(f, "CONFEZIONEVENDITA"));
    confezione->setEditText("SECCHIO 10 KG");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT CATEGORIAPRODOTTO || '/' || CONFEZIONEVENDITA FROM PRODOT "
                     "WHERE CODICE='FM002'"),
              "3/SECCHIO 10 KG");
    EXPECT_EQ(t(co(f, "CATEGORIAPRODOTTO#")), "Bagno");
}

TEST_F(Prodotti, NuovoPartePulito) {
    TProdottiForm* f = apri();
    riga(f, "FM004");
    f->ButtonEditClick();
    f->ButtonAnnullaClick();
    nuovoCodice("PX3");
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    for (const char* c :
         {"ASSOCIATO", "NOTEFABBRICAZIONE", "ADRVALOREQTALIMITATA", "CODICEADR", "GRUPPOADR",
          "CODICEIMBALLOCONTENITORE", "CODICEIMBALLOTAPPO", "CODICEIMBALLOCARTONE",
          "CODICEFORMULAZIONE", "CODICEFORMULAZIONE#", "FORMUL.SOSTANZEADR", "ADR2017.CLASSE",
          "CONFEZIONEVENDITA", "UNITAVENDITA", "COSTOUNITARIOIMBALLO"}) {
        EXPECT_EQ(t(ed(f, c)), QString()) << c;
    }
    EXPECT_EQ(t(ed(f, "ADRENTROQTALIMITATA")), "0");
    EXPECT_EQ(f->ComboCategoria->currentIndex(), 0);
    EXPECT_EQ(t(ed(f, "CODICE")), "PX3");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT COALESCE(CODICEADR,'-') || COALESCE(GRUPPOADR,'-') || "
                     "COALESCE(CODICEIMBALLOCONTENITORE,'-') || COALESCE(CATEGORIAPRODOTTO,'-') "
                     "|| COALESCE(UNITAVENDITA,'-') || COALESCE(CODICEFORMULAZIONE,'-') || "
                     "ADRENTROQTALIMITATA FROM PRODOT WHERE CODICE='PX3'"),
              "------0");
    EXPECT_EQ(f->LabelVersione->text(), "1");
}

TEST_F(Prodotti, LoStoricoMostraLeVersioniELeLoroNote) {
    h.esegui(az(), {"INSERT INTO STOPRODOT (CODICE,VERS,NOTE) VALUES ('FM005',1,'prima nota')",
                    "INSERT INTO STOPRODOT (CODICE,VERS,NOTE) VALUES ('FM005',2,'seconda nota')",
                    "INSERT INTO STOPRODOT (CODICE,VERS,NOTE) VALUES ('FM001',1,'altra')"});
    TProdottiForm* f = apri();
    riga(f, "FM005");
    f->TabSet->setCurrentIndex(2);
    ASSERT_EQ(f->NotebookPagine->currentIndex(), 2);
    auto* g = f->findChild<TCSDGrid*>("GridStorico");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->modello()->rowCount(), 2);
    g->setCurrentIndex(g->modello()->index(1, 0));
    QString nota;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* m = qobject_cast<TMemoForm*>(d)) {
            nota = m->MemoInfo->toPlainText();
        }
        return QDialog::Accepted;
    };
    QAction* voce = nullptr;
    for (QAction* a : g->MenuGriglia->actions()) {
        if (a->text() == "Vedi contenuto campo NOTE") {
            voce = a;
        }
    }
    ASSERT_NE(voce, nullptr);
    EXPECT_TRUE(voce->isVisible());
    voce->trigger();
    EXPECT_EQ(nota,
              QString(g->campoCorrente("VERS").asString() == "2" ? "seconda nota" : "prima nota"));
    f->ButtonStoricoChiudi->click();
    EXPECT_EQ(f->NotebookPagine->currentIndex(), 0);
}

TEST_F(Prodotti, ProdottiStessaFormulazione) {
    TProdottiForm* f = apri();
    riga(f, "FM001");
    QStringList codici;
    QString intestazione;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* w = qobject_cast<TProdottiPOForm*>(d)) {
            intestazione = w->EditCodicePO->text() + "/" + w->EditDescrizionePO->text();
            GrigliaModello* m = w->GridProdot->modello();
            for (int r = 0; r < m->rowCount(); ++r) {
                codici << m->campo(r, m->indiceCampo("CODICE")).asString();
            }
            w->ButtonChiudi->click();
        }
        return QDialog::Accepted;
    };
    f->ButtonProdottiStessaPO->click();
    EXPECT_EQ(intestazione, "1/Detergente piatti a mano al limone");
    codici.sort();
    EXPECT_EQ(codici, (QStringList{"FM001", "FM002"}));

    h.esegui(az(), {"UPDATE PRODOT SET CODICEFORMULAZIONE=NULL WHERE CODICE='FM006'"});
    f->rileggi("FM006");
    intestazione.clear();
    f->ButtonProdottiStessaPO->click();
    EXPECT_TRUE(intestazione.isEmpty());
    EXPECT_TRUE(msg->testi().contains("Il prodotto selezionato non ha la formulazione"));

    h.esegui(az(), {"DELETE FROM PRODOT"});
    f->rileggi({});
    f->ButtonProdottiStessaPO->click();
    EXPECT_TRUE(intestazione.isEmpty());
    EXPECT_TRUE(msg->testi().contains("Nessun prodotto selezionato"));
}

TEST_F(Prodotti, ComeRicercaRestituisceCodiceNomeEUnitaDiVendita) {
    TTabXForm sessione;
    sessione.SetUserPerNum(2);
    sessione.Inserisci("KDQ", "Archivio", {}, az(), {}, {}, {}, {}, "2");
    sessione.ConnettiDatabase1("Archivio");
    auto clicca = [this](const char* pulsante) {
        msg->dialogo = [pulsante](QDialog* d) -> int {
            auto* f = d->findChild<TProdottiForm*>();
            if (!f) {
                return QDialog::Rejected;
            }
            EXPECT_TRUE(f->ComeRicerca);
            EXPECT_EQ(f->NotebookPagine->currentIndex(), 1);
            f->findChild<QPushButton*>(QString::fromLatin1(pulsante))->click();
            return d->result();
        };
    };
    clicca("ButtonRicercaRitorna");
    const auto scelta = TProdottiForm::scegli(&sessione, nullptr, "SM001");
    ASSERT_TRUE(scelta.has_value());
    EXPECT_EQ(scelta->codice, "SM001");
    EXPECT_EQ(scelta->nome, "Premiscela tensioattivi base");
    EXPECT_EQ(scelta->unitaVendita, "Kg");
    clicca("ButtonRicercaChiudi");
    EXPECT_FALSE(TProdottiForm::scegli(&sessione, nullptr, "SM001").has_value());
}

TEST_F(Prodotti, IlSemilavoratoDellaFormulazioneSiScegliedaiProdotti) {
    auto* f = ConScheda::apri<TFormulForm>("ShowFormulForm");
    f->riapriSuCodice("6");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "6");
    f->ButtonEditClick();
    msg->dialogo = [](QDialog* d) -> int {
        auto* p = d->findChild<TProdottiForm*>();
        if (!p) {
            return QDialog::Rejected;
        }
        // positioned on the code already there
        EXPECT_EQ(p->codiceCorrenteGriglia(), "SM001");
        p->riapriSuCodice("FM006");
        p->ButtonRicercaRitorna->click();
        return d->result();
    };
    f->ButtonSemilavoratoClick();
    EXPECT_EQ(SchedaBase::testoDi(f->editazione("SEMILAVORATOCOLLEGATO")), "FM006");
    f->ButtonAnnullaClick();
}

} // namespace

namespace {

// A packaging line's button opens the search on the line's type and name;
// the item chosen fills the line, returning without a choice empties it.
TEST_F(Prodotti, IPulsantiDegliImballiPassanoPerLaRicerca) {
    TProdottiForm* f = apri();
    riga(f, "FM001");
    f->ButtonEditClick();
    ASSERT_EQ(f->StatoScheda, 2);
    QString tipo, corrente;
    msg->dialogo = [&](QDialog* d) {
        auto* r = qobject_cast<TRicImballiForm*>(d);
        if (!r) {
            return int(QDialog::Rejected);
        }
        tipo = r->ComboTipoImballo->currentText();
        corrente = r->valoreScelto("NOMEIMBALLO");
        r->posizionaSuNome("Flacone PET 750 ml trasparente");
        QTest::keyClick(r->Griglia, Qt::Key_Return);
        return r->result();
    };
    f->findChild<QPushButton*>("ButtonF10Contenitore")->click();
    EXPECT_EQ(tipo, "Contenitore");
    EXPECT_EQ(corrente, "Flacone HDPE 1000 ml bianco");
    EXPECT_EQ(t(ed(f, "IMBALLOCONTENITORE")), "Flacone PET 750 ml trasparente");
    EXPECT_EQ(t(ed(f, "CODICEIMBALLOCONTENITORE")), "IC003");

    msg->dialogo = [](QDialog* d) {
        auto* r = qobject_cast<TRicImballiForm*>(d);
        r->ButtonRicercaRitorna->click();
        return r->result();
    };
    f->findChild<QPushButton*>("ButtonF10Cartone")->click();
    EXPECT_EQ(t(ed(f, "IMBALLOCARTONE")), "");
    EXPECT_EQ(t(ed(f, "CODICEIMBALLOCARTONE")), "");
    // closed with Chiudi: the line stays
    msg->dialogo = [](QDialog* d) {
        auto* r = qobject_cast<TRicImballiForm*>(d);
        r->ButtonRicercaChiudi->click();
        return r->result();
    };
    f->findChild<QPushButton*>("ButtonF10Tappo")->click();
    EXPECT_EQ(t(ed(f, "CODICEIMBALLOTAPPO")), "IT001");

    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT CODICEIMBALLOCONTENITORE FROM PRODOT WHERE CODICE='FM001'"), "IC003");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM001' AND IMBALLOCARTONE IS NULL "
                    "AND CODICEIMBALLOCARTONE IS NULL"),
              1);
}

} // namespace

// Deleting a product first names what still uses it: its cost sheets and
// open batches (FM005: sheet 3 and a batch to make), the formulations whose
// semi-finished product it is (SM001, with its secondary sheet; its only
// batch is finished). "No" keeps it; nothing using it, the plain question.
TEST_F(Prodotti, EliminareUnProdottoUsatoNeDiceSchedeCostoEFabbricazioni) {
    TProdottiForm* f = apri();
    riga(f, "FM005");
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Conferma);
    EXPECT_EQ(msg->mostrati[0].testo,
              "Il prodotto è usato in 1 scheda costo e 1 fabbricazione aperta: le sue schede "
              "costo non si potranno più ricalcolare.\r\nEliminare il record selezionato?");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM005'"), 1);
    EXPECT_EQ(f->codiceCorrenteGriglia(), "FM005");

    riga(f, "SM001");
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(),
              QStringList{"Il prodotto è usato in 1 formulazione come semilavorato e 1 scheda "
                          "costo: le sue schede costo non si potranno più ricalcolare.\r\n"
                          "Eliminare il record selezionato?"});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='SM001'"), 1);

    // once the sheet has gone too, the batch alone is told, and "Sì" deletes
    h.esegui(az(), {"DELETE FROM COSTI WHERE CODICEPRODOTTO='FM005'"});
    riga(f, "FM005");
    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(), QStringList{"Il prodotto è usato in 1 fabbricazione aperta.\r\n"
                                        "Eliminare il record selezionato?"});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PRODOT WHERE CODICE='FM005'"), 0);
    // FM002's only batch is left out: the plain question
    riga(f, "FM002");
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
}
