// The raw-materials card on real archives: saving with its history in one
// unit, the lines pages, the analogue group, look-ups and the data sheet.
#include "host/lancio.h"
#include "master/mater.h"
#include "session/apertura.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct Materie : prova::ConScheda {
    TMaterForm* apri() { return ConScheda::apri<TMaterForm>("ShowMaterForm"); }
    static QWidget* ed(TMaterForm* f, const char* colonna) {
        return f->editazione(QString::fromLatin1(colonna));
    }
};

TEST_F(Materie, UnaNuovaMateriaSopravviveAUnPrezzoSbagliatoEScriveLaVersioneUnoVuota) {
    TMaterForm* f = apri();
    nuovoCodice("MPX1");
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    testo(ed(f, "NOMECOMMERCIALE"), "Tensioattivo d'oro");
    testo(ed(f, "PREZZO"), "12,5x");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_TRUE(
        msg->testi().contains("Specificare un valore numerico valido per \"Prezzo al Kg\""));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATER WHERE CODICE='MPX1'"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MPX1'"), 0);

    testo(ed(f, "PREZZO"), "12,5");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT PREZZO FROM MATER WHERE CODICE='MPX1'"), "12.5");
    EXPECT_EQ(valore("SELECT NOMECOMMERCIALE FROM MATER WHERE CODICE='MPX1'"),
              QString("Tensioattivo d") + QChar(0xB4) + "oro");
    // version 1 holds the row as it was before the save: the bare new row
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MPX1' AND VERS=1 AND "
                    "NOMECOMMERCIALE IS NULL"),
              1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATERRIEP WHERE CODICE='MPX1' AND VERSIONET=1 AND "
                    "NRIGA=0 AND VERSIONED=0 AND TABELLA='STOMATER' AND ELIMINAZIONE='0'"),
              1);
    EXPECT_EQ(f->LabelVersione->text(), "1");

    // unchanged: no version; changed: version 2 with the previous price
    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MPX1'"), 1);
    f->ButtonEditClick();
    testo(ed(f, "PREZZO"), "13");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(valore("SELECT PREZZO FROM STOMATER WHERE CODICE='MPX1' AND VERS=2"), "12.5");
    EXPECT_EQ(f->LabelVersione->text(), "2");
}

TEST_F(Materie, UnoStoricoCheNonSiScriveAnnullaIlSalvataggio) {
    TMaterForm* f = apri();
    riga(f, "MP002");
    // the summary row the save would write is taken already
    h.esegui(az(), {"INSERT INTO STOMATERRIEP (CODICE,NRIGA,VERSIONET,VERSIONED,TABELLA) "
                    "SELECT 'MP002',0,COALESCE(MAX(VERS),0)+1,0,'STOMATER' FROM STOMATER "
                    "WHERE CODICE='MP002'"});
    const int versioni = conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MP002'");
    f->ButtonEditClick();
    testo(ed(f, "CONFEZIONE"), "Sacco");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_TRUE(
        msg->testi().contains("Errore interno: impossibile inserire nello storico le modifiche"));
    EXPECT_EQ(valore("SELECT CONFEZIONE FROM MATER WHERE CODICE='MP002'"),
              "Cisternetta da 1000 kg");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MP002'"), versioni);
    f->ButtonAnnullaClick();
}

TEST_F(Materie, UnValoreTolteDallElencoRestaComEra) {
    h.esegui(az(), {"UPDATE MATER SET SIMBOLOGIARISCHIO='Nocivo (Xn)', CODICECATEGORIAMP='99' "
                    "WHERE CODICE='MP002'"});
    TMaterForm* f = apri();
    riga(f, "MP002");
    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT SIMBOLOGIARISCHIO FROM MATER WHERE CODICE='MP002'"), "Nocivo (Xn)");
    EXPECT_EQ(valore("SELECT CODICECATEGORIAMP FROM MATER WHERE CODICE='MP002'"), "99");
    // another material does not inherit the extra item
    riga(f, "MP003");
    f->ButtonEditClick();
    EXPECT_EQ(qobject_cast<QComboBox*>(ed(f, "SIMBOLOGIARISCHIO"))->currentText(),
              "Corrosivo (GHS05)");
    EXPECT_EQ(qobject_cast<QComboBox*>(ed(f, "SIMBOLOGIARISCHIO"))->findText("Nocivo (Xn)"), -1);
    f->ButtonAnnullaClick();
}

TEST_F(Materie, IlCodiceADRProponeIlSuoGruppoEUnaNuovaMateriaParteSenza) {
    TMaterForm* f = apri();
    riga(f, "MP003");
    f->ButtonEditClick();
    auto* adr = qobject_cast<QComboBox*>(ed(f, "CODICEADR"));
    auto* gruppo = qobject_cast<QComboBox*>(ed(f, "GRUPPOADR"));
    EXPECT_EQ(gruppo->currentText(), "III");
    adr->setCurrentIndex(adr->findText("1219"));
    emit adr->activated(adr->currentIndex());
    EXPECT_EQ(gruppo->currentText(), "II");
    EXPECT_EQ(SchedaBase::testoDi(ed(f, "ADR2017.CLASSE")), "3");
    f->ButtonAnnullaClick();

    nuovoCodice("MPX2");
    f->ButtonNuovoClick();
    EXPECT_EQ(adr->currentIndex(), -1);
    EXPECT_EQ(gruppo->currentIndex(), -1);
    f->ButtonMemorizzaClick();
    EXPECT_EQ(valore("SELECT COALESCE(CODICEADR,'-') || COALESCE(GRUPPOADR,'-') FROM MATER "
                     "WHERE CODICE='MPX2'"),
              "--");
}

TEST_F(Materie, LeSchedeSiRifiutanoSenzaRigheOSenzaCodiceAnalogo) {
    h.esegui(az(), {"UPDATE MATER SET CODICEANALOGO=NULL WHERE CODICE='MP002'"});
    TMaterForm* f = apri();
    riga(f, "MP002");
    f->TabSet->setCurrentIndex(2);
    EXPECT_EQ(f->NotebookPagine->currentIndex(), 0);
    EXPECT_EQ(f->TabSet->currentIndex(), 0);
    EXPECT_TRUE(msg->testi().contains(
        "Per accedere alla sessione Analoghi è necessario specificare un codice analogo"));

    h.esegui(az(), {"DELETE FROM SPECIF", "DELETE FROM MATERALL", "DELETE FROM MATER"});
    f->rileggi({});
    f->TabSet->setCurrentIndex(1);
    EXPECT_EQ(f->NotebookPagine->currentIndex(), 0);
    EXPECT_TRUE(msg->testi().contains("Inserire un record prima di accedere alle altre sessioni"));
}

TEST_F(Materie, LeRigheDiSpecificaNumeranoEVersionanoSottoLaTestata) {
    h.esegui(az(), {"DELETE FROM SPECIF WHERE CODICEMP='MP004'"});
    TMaterForm* f = apri();
    riga(f, "MP004");
    f->mostraPagina(1);
    PaginaRighe* p = f->PaginaSpecifiche;
    p->ButtonNuovoClick();
    ASSERT_EQ(p->Stato, 1);
    EXPECT_EQ(SchedaBase::testoDi(p->editazione("NRIGA")), "1");
    EXPECT_FALSE(f->TabSet->isEnabled());
    testo(p->editazione("SPECIFICA"), "pH 7");
    p->ButtonMemorizzaClick();
    ASSERT_EQ(p->Stato, 0);
    EXPECT_TRUE(f->TabSet->isEnabled());
    // a material never saved gets header version 1 first, then the line's
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MP004'"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOSPECIF WHERE CODICEMP='MP004' AND NRIGA=1 AND "
                    "VERSIONET=1 AND VERSIONED=1"),
              1);
    // saved again unchanged: nothing; changed: version 2
    p->ButtonEditClick();
    p->ButtonMemorizzaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOSPECIF WHERE CODICEMP='MP004'"), 1);
    p->ButtonEditClick();
    testo(p->editazione("SPECIFICA"), "pH 7,5");
    p->ButtonMemorizzaClick();
    EXPECT_EQ(valore("SELECT SPECIFICA FROM STOSPECIF WHERE CODICEMP='MP004' AND VERSIONED=2"),
              "pH 7");
    EXPECT_TRUE(QTest::qWaitFor([p] { return p->LabelVersione->text() == "2"; }, 3000));

    for (int i = 0; i < 2; ++i) {
        p->ButtonNuovoClick();
        p->ButtonMemorizzaClick();
    }
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SPECIF WHERE CODICEMP='MP004'"), 3);
    p->riapri("3");
    msg->risposte = {"Sì"};
    p->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SPECIF WHERE CODICEMP='MP004'"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATERRIEP WHERE CODICE='MP004' AND NRIGA=3 AND "
                    "ELIMINAZIONE='1'"),
              1);
    p->ButtonNuovoClick();
    EXPECT_EQ(SchedaBase::testoDi(p->editazione("NRIGA")), "3");
    p->ButtonAnnullaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SPECIF WHERE CODICEMP='MP004'"), 2);
    // closing is refused while a page edits a line
    p->ButtonEditClick();
    EXPECT_FALSE(f->close());
    p->ButtonAnnullaClick();
}

TEST_F(Materie, CancellareUnaRigaSenzaStoricoScriveLaTestataUnoComeCancellazione) {
    h.esegui(az(), {"DELETE FROM SPECIF WHERE CODICEMP='MP003'",
                    "INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP003',1,'Torbido')"});
    TMaterForm* f = apri();
    riga(f, "MP003");
    f->mostraPagina(1);
    msg->risposte = {"Sì"};
    f->PaginaSpecifiche->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATERRIEP WHERE CODICE='MP003' AND VERSIONET=1 AND "
                    "TABELLA='STOMATER' AND ELIMINAZIONE='1'"),
              1);
    EXPECT_EQ(valore("SELECT SPECIFICA FROM STOSPECIF WHERE CODICEMP='MP003' AND VERSIONET=1 "
                     "AND VERSIONED=1"),
              "Torbido");
}

TEST_F(Materie, GliAnaloghiNonCodificatiRestanoFinCheIlGruppoHaUnaMateria) {
    h.esegui(az(),
             {"UPDATE MATER SET CODICEANALOGO='GRP' WHERE CODICE IN ('MP002','MP003')",
              "INSERT INTO ANANC (CODICEANALOGO,NRIGA,DESCRIZIONE) VALUES ('GRP',1,'Texapon')",
              "INSERT INTO ANANC (CODICEANALOGO,NRIGA,DESCRIZIONE) VALUES ('GRP',2,'Genapol')",
              "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA) "
              "SELECT FIRST 1 CODICE, 999, 'MP002' FROM FORMUL"});
    const int versioni = conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MP002'");
    TMaterForm* f = apri();
    riga(f, "MP002");
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_TRUE(msg->testi().join('|').contains(
        QString("La materia prima è usata in %1 formulazioni")
            .arg(conta("SELECT COUNT(DISTINCT CODICEFORMULAZIONE) FROM COMPON "
                       "WHERE CODICEMATERIAPRIMA='MP002'"))));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATER WHERE CODICE='MP002'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM ANANC WHERE CODICEANALOGO='GRP'"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOANANC"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATER WHERE CODICE='MP002'"), versioni + 1);

    riga(f, "MP003");
    f->mostraPagina(2);
    EXPECT_EQ(f->PaginaAnaloghi->Griglia->modello()->rowCount(), 2);
    f->mostraPagina(0);
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM ANANC WHERE CODICEANALOGO='GRP'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOANANC WHERE CODICEANALOGO='GRP'"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMATERRIEP WHERE CODICE='MP003' AND "
                    "TABELLA='STOANANC' AND ELIMINAZIONE='1' AND VERSIONET=1"),
              2);
}

TEST_F(Materie, ComeRicercaRitornaSceglieEChiudiRinuncia) {
    TTabXForm sessione;
    sessione.SetUserPerNum(2);
    sessione.Inserisci("KDQ", "Archivio", {}, az(), {}, {}, {}, {}, "2");
    sessione.ConnettiDatabase1("Archivio");
    auto clicca = [this](const char* pulsante, std::function<void(TMaterForm*)> prima = {}) {
        msg->dialogo = [pulsante, prima](QDialog* d) -> int {
            auto* f = d->findChild<TMaterForm*>();
            if (!f) {
                return QDialog::Rejected;
            }
            if (prima) {
                prima(f);
            }
            f->findChild<QPushButton*>(QString::fromLatin1(pulsante))->click();
            return d->result();
        };
    };
    clicca("ButtonRicercaRitorna", [](TMaterForm* f) {
        EXPECT_TRUE(f->ComeRicerca);
        EXPECT_EQ(f->NotebookPagine->currentIndex(), 4);
        EXPECT_FALSE(f->TabSet->isVisibleTo(f));
    });
    auto scelta = TMaterForm::scegli(&sessione, nullptr, {.codice = "MP003"});
    ASSERT_TRUE(scelta.has_value());
    EXPECT_EQ(scelta->codice, "MP003");
    EXPECT_EQ(scelta->nomeCommerciale, "Acido dodecilbenzensolfonico 96%");

    clicca("ButtonRicercaChiudi");
    EXPECT_FALSE(TMaterForm::scegli(&sessione, nullptr, {.codice = "MP003"}).has_value());

    // a group offered for good: the search cannot be cancelled
    h.esegui(az(), {"UPDATE MATER SET CODICEANALOGO='GRP' WHERE CODICE IN ('MP002','MP004')"});
    clicca("ButtonRicercaRitorna", [](TMaterForm* f) {
        EXPECT_FALSE(f->ButtonRicercaAnnullaSel->isEnabled());
        EXPECT_FALSE(f->ButtonSelezionaAnnulla->isEnabled());
        EXPECT_TRUE(f->campoRicerca("EditRicercaCodiceAnalogo")->isReadOnly());
        EXPECT_EQ(f->Griglia->modello()->rowCount(), 2);
        f->Griglia->setCurrentIndex(f->Griglia->modello()->index(1, 0));
    });
    scelta = TMaterForm::scegli(&sessione, nullptr, {.prepara = [](TMaterForm& f) {
        f.preparaRicerca("EditRicercaCodiceAnalogo", "grp");
    }});
    ASSERT_TRUE(scelta.has_value());
    EXPECT_EQ(scelta->codice, "MP004");
}

TEST_F(Materie, GliAllegatiSiAggiungonoUnaVoltaESiApronoSeEsistono) {
    QStringList aperti;
    apertura::installa([&](const QString& file, const QString&) {
        aperti << file;
        return true;
    });
    const QString file = h.radice() + "/scheda MP002.pdf";
    QFile(file).open(QIODevice::WriteOnly);
    h.esegui(az(), {"DELETE FROM MATERALL"});
    TMaterForm* f = apri();
    riga(f, "MP002");
    f->mostraPagina(3);
    msg->fileScelti = {file, file, h.radice() + "/manca.pdf", h.radice() + "/d'oro.pdf"};
    QFile(h.radice() + "/d'oro.pdf").open(QIODevice::WriteOnly);
    f->ButtonAllegatiAggiungiClick();
    f->ButtonAllegatiAggiungiClick();
    f->ButtonAllegatiAggiungiClick();
    f->ButtonAllegatiAggiungiClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATERALL WHERE CODICE='MP002'"), 1);
    const QStringList t = msg->testi();
    EXPECT_TRUE(t.contains("Il file selezionato è già presente nella lista degli allegati per la "
                           "materia prima corrente"));
    EXPECT_TRUE(t.contains("Il file selezionato non esiste"));
    EXPECT_TRUE(t.contains("Non è possibile selezionare file con nome contenente il carattere "
                           "\"'\""));
    f->ButtonApriClick();
    ASSERT_EQ(aperti.size(), 1);
    EXPECT_EQ(aperti[0].toStdString(), QFileInfo(file).absoluteFilePath().toStdString());
    QFile::remove(file);
    f->ButtonApriClick();
    EXPECT_TRUE(msg->testi().contains("Attenzione: Il file \"" + file + "\" non esiste"));
    msg->risposte = {"Sì"};
    f->ButtonAllegatiTogliClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATERALL WHERE CODICE='MP002'"), 0);
    apertura::installa({});
}

TEST_F(Materie, LeRigheSopravvivonoAlleModificheDiUnAltroUtente) {
    h.esegui(az(), {"DELETE FROM SPECIF WHERE CODICEMP IN ('MP003','MP004')",
                    "INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP004',1,'Uno')",
                    "INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP004',2,'Due')",
                    "INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP004',3,'Tre')",
                    "INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP003',2,'Altra')"});
    TMaterForm* f = apri();
    riga(f, "MP004");
    f->mostraPagina(1);
    PaginaRighe* p = f->PaginaSpecifiche;

    // another user deletes line 3: the next new line takes its number again
    h.esegui(az(), {"DELETE FROM SPECIF WHERE CODICEMP='MP004' AND NRIGA=3"});
    p->ButtonNuovoClick();
    ASSERT_EQ(p->Stato, 1);
    EXPECT_EQ(SchedaBase::testoDi(p->editazione("NRIGA")), "3");
    p->ButtonAnnullaClick();

    // another user changes line 2 while this one edits it: the save is
    // refused, and after Annulla the line can be saved again
    p->riapri("2");
    p->ButtonEditClick();
    testo(p->editazione("SPECIFICA"), "Due bis");
    h.esegui(az(), {"UPDATE SPECIF SET SPECIFICA='Due ter' WHERE CODICEMP='MP004' AND NRIGA=2"});
    p->ButtonMemorizzaClick();
    EXPECT_EQ(p->Stato, 2);
    p->ButtonAnnullaClick();
    p->riapri("2");
    EXPECT_EQ(SchedaBase::testoDi(p->consultazione("SPECIFICA")), "Due ter");
    p->ButtonEditClick();
    testo(p->editazione("SPECIFICA"), "Due quater");
    p->ButtonMemorizzaClick();
    EXPECT_EQ(p->Stato, 0);
    EXPECT_EQ(valore("SELECT SPECIFICA FROM SPECIF WHERE CODICEMP='MP004' AND NRIGA=2"),
              "Due quater");

    // the material goes while its line is about to be deleted: another
    // material's line 2 is never touched
    h.esegui(az(), {"DELETE FROM SPECIF WHERE CODICEMP='MP004'", "DELETE FROM MATERALL",
                    "DELETE FROM MATER WHERE CODICE IN ('MP001','MP002','MP004')"});
    msg->risposte = {"Sì"};
    msg->pulisci();
    p->ButtonEliminaClick();
    EXPECT_TRUE(
        msg->testi().contains("Il record selezionato è già stato cancellato da un altro utente"));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SPECIF WHERE CODICEMP='MP003' AND NRIGA=2"), 1);
}

TEST_F(Materie, SincroPrezziSiApreSullaMateriaCorrente) {
    TMaterForm* f = apri();
    riga(f, "MP002");
    QString didascalia;
    msg->dialogo = [&](QDialog* d) -> int {
        didascalia = d->windowTitle();
        return QDialog::Rejected;
    };
    f->ButtonSincroPrezzi->click();
    EXPECT_TRUE(didascalia.contains("che coinvolgono il componente MP002"))
        << didascalia.toStdString();
    EXPECT_TRUE(f->ButtonSincroPrezzi->isEnabled());

    h.esegui(az(), {"DELETE FROM SPECIF", "DELETE FROM MATERALL", "DELETE FROM MATER"});
    f->rileggi({});
    didascalia.clear();
    f->ButtonSincroPrezzi->click();
    EXPECT_TRUE(didascalia.isEmpty());
    EXPECT_TRUE(msg->testi().contains("La tabella è vuota"));
}

} // namespace
