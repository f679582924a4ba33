// The manufacturing sheet's packaging and procedure pages on the demo
// archives: the lines of the batch's machine and of its product's
// formulation; new, changed, renumbered and deleted lines with their
// versions, each written with its change or not at all; the sheet held on
// its batch while a line is edited; what a read-only profile and a product
// without formulation may do.
#include "production/liqpolv.h"
#include "session/apertura.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

const QString kErroreStorico =
    QStringLiteral("Errore interno: impossibile inserire nello storico le modifiche");

struct RigheFabbricazione : prova::ConScheda {
    TLiqPolvForm* apri(int utente = 2) {
        auto* f = dynamic_cast<TLiqPolvForm*>(
            LanciaSchermata(*trovaSchermata("ShowLiqPolvForm"), utente, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }
    static void posiziona(TLiqPolvForm* f, const QString& codice, const QString& data,
                          const QString& lotto) {
        f->AltreChiaviCorrenti = {data, lotto};
        f->riapriSuCodice(codice);
        ASSERT_EQ(f->lottoCorrente().lotto, lotto);
    }
    static QWidget* ed(PaginaRighe* p, const char* c) {
        return p->editazione(QString::fromLatin1(c));
    }
    static QString t(QWidget* w) { return SchedaBase::testoDi(w); }
    static std::vector<double> numeri(PaginaRighe* p, const char* c) {
        std::vector<double> r;
        GrigliaModello* m = p->Griglia->modello();
        const int i = m->indiceCampo(QString::fromLatin1(c));
        for (int riga = 0; i >= 0 && riga < m->rowCount(); ++riga) {
            r.push_back(m->campo(riga, i).asFloat());
        }
        return r;
    }
    // The version label once its timer has read it.
    static QString versione(PaginaRighe* p) {
        QTest::qWait(700);
        return p->LabelVersione->text();
    }
    // A line's versions, oldest first, one "numbers text" each.
    QString storia(const QString& colonne, const QString& tabella, const QString& dove,
                   const QString& ordine) {
        return valore(QStringLiteral("SELECT CAST(LIST(V,'|') AS VARCHAR(4000)) FROM (SELECT %1 "
                                     "AS V FROM %2 WHERE %3 ORDER BY %4)")
                          .arg(colonne, tabella, dove, ordine));
    }
    QString storiaConfez(const QString& riga) {
        return storia("VERS||' '||ELIMINAZIONE||' '||UTENTE||' '||COALESCE(TESTO,'')", "STOCONFEZ",
                      "CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=" + riga, "VERS");
    }
    // With the summary row of each version.
    QString storiaProced(const QString& riga) {
        return storia("S.VERSIONET||' '||S.VERSIONED||' '||R.ELIMINAZIONE||' '||R.UTENTE||' '||"
                      "S.EVIDENZA||' '||COALESCE(S.TESTO,'')",
                      "STOPROCED S JOIN STOFORMULRIEP R ON R.CODICE=S.CODICEFORMULAZIONE AND "
                      "R.NRIGA=S.NRIGA AND R.VERSIONET=S.VERSIONET AND R.VERSIONED=S.VERSIONED "
                      "AND R.TABELLA='STOPROCED'",
                      "S.CODICEFORMULAZIONE=1 AND S.NRIGA=" + riga, "S.VERSIONET,S.VERSIONED");
    }
    QString messaggi() { return msg->testi().join('|'); }
};

TEST_F(RigheFabbricazione, LePagineElencanoLeRigheDellaRiempitriceEDellaFormulazioneDelLotto) {
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Confezionamento);
    ASSERT_EQ(f->paginaCorrente(), TLiqPolvForm::Confezionamento);
    PaginaRighe* c = f->PaginaConfez;
    EXPECT_EQ(numeri(c, "NUMPROGRESSIVO"), (std::vector<double>{1, 2, 2.5, 3}));
    EXPECT_TRUE(c->Griglia->campoCorrente("TESTO").asString().startsWith("Controllare pulizia"));
    // the batch list sits under the lines
    EXPECT_TRUE(f->NotebookPagine->currentWidget()->isAncestorOf(f->Griglia));
    EXPECT_EQ(versione(c), "1");
    EXPECT_TRUE(c->ButtonNuovo->isEnabled());

    // a batch filled on another machine shows that machine's lines
    posiziona(f, "FM002", "14/02/2025", "L25045");
    EXPECT_EQ(numeri(c, "NUMPROGRESSIVO"), (std::vector<double>{1, 2}));

    f->TabSet->setCurrentIndex(TLiqPolvForm::Procedura);
    PaginaRighe* p = f->PaginaProced;
    EXPECT_TRUE(c->listaVuota()); // read only while shown
    EXPECT_EQ(numeri(p, "NRIGA"), (std::vector<double>{1, 2, 3, 4, 5}));
    QTest::qWait(50);
    const int formulazione = p->Griglia->modello()->indiceCampo("CODICEFORMULAZIONE");
    ASSERT_GE(formulazione, 0);
    EXPECT_TRUE(p->Griglia->isColumnHidden(formulazione));
    EXPECT_EQ(versione(p), ""); // no history yet

    p->ButtonChiudi->click();
    EXPECT_EQ(f->paginaCorrente(), TLiqPolvForm::Principale);
    EXPECT_TRUE(messaggi().isEmpty()) << messaggi().toStdString();
}

TEST_F(RigheFabbricazione,
       UnaRigaDiConfezionamentoNuovaCambiataRinumerataEdEliminataHaLeSueVersioni) {
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Confezionamento);
    PaginaRighe* c = f->PaginaConfez;
    c->ButtonNuovo->click();
    ASSERT_EQ(c->Stato, 1) << messaggi().toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=4"),
              1);
    EXPECT_EQ(t(ed(c, "CODICERIEMPITRICE")), "1");
    EXPECT_EQ(t(ed(c, "NUMPROGRESSIVO")), "4");
    // nothing moves the sheet off its batch while the line is edited
    EXPECT_FALSE(f->TabSet->isEnabled());
    EXPECT_FALSE(f->Griglia->isEnabled());
    EXPECT_FALSE(c->Griglia->isEnabled());
    f->close();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(msg->testi().last(),
              "Memorizzare o annullare le modifiche in corso prima di chiudere la finestra");
    msg->pulisci();

    testo(ed(c, "TESTO"), "Pesare il primo flacone");
    c->ButtonMemorizza->click();
    ASSERT_EQ(c->Stato, 0) << messaggi().toStdString();
    EXPECT_TRUE(f->TabSet->isEnabled());
    EXPECT_TRUE(f->Griglia->isEnabled());
    EXPECT_EQ(numeri(c, "NUMPROGRESSIVO").back(), 4);
    EXPECT_DOUBLE_EQ(c->Griglia->campoCorrente("NUMPROGRESSIVO").asFloat(), 4);
    EXPECT_EQ(storiaConfez("4"), "1 0 2 Pesare il primo flacone");
    EXPECT_EQ(versione(c), "1");

    // saved again as it is: no version
    c->ButtonEdit->click();
    ASSERT_EQ(c->Stato, 2);
    EXPECT_EQ(t(ed(c, "TESTO")), "Pesare il primo flacone");
    c->ButtonMemorizza->click();
    ASSERT_EQ(c->Stato, 0);
    EXPECT_EQ(storiaConfez("4"), "1 0 2 Pesare il primo flacone");

    // a real change: the next version holds the text saved
    c->ButtonEdit->click();
    testo(ed(c, "TESTO"), "Pesare i primi due flaconi");
    c->ButtonMemorizza->click();
    ASSERT_EQ(c->Stato, 0);
    EXPECT_EQ(storiaConfez("4"), "1 0 2 Pesare il primo flacone|2 0 2 Pesare i primi due flaconi");
    EXPECT_EQ(versione(c), "2");

    // renumbered: the version is the new number's, as saved
    c->ButtonEdit->click();
    testo(ed(c, "NUMPROGRESSIVO"), "7,5");
    c->ButtonMemorizza->click();
    ASSERT_EQ(c->Stato, 0) << messaggi().toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=4"),
              0);
    EXPECT_EQ(valore("SELECT TESTO FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=7.5"),
              "Pesare i primi due flaconi");
    EXPECT_EQ(storiaConfez("7.5"), "1 0 2 Pesare i primi due flaconi");
    EXPECT_DOUBLE_EQ(c->Griglia->campoCorrente("NUMPROGRESSIVO").asFloat(), 7.5);
    EXPECT_EQ(versione(c), "1");

    // deleted after confirmation: a deletion version of the line as it was
    msg->risposte = {QStringLiteral("Sì")};
    c->ButtonElimina->click();
    EXPECT_TRUE(msg->testi().contains("Eliminare il record selezionato?"));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=7.5"),
              0);
    EXPECT_EQ(storiaConfez("7.5"),
              "1 0 2 Pesare i primi due flaconi|2 1 2 Pesare i primi due flaconi");
    EXPECT_EQ(numeri(c, "NUMPROGRESSIVO"), (std::vector<double>{1, 2, 2.5, 3}));
    EXPECT_EQ(msg->testi().size(), 1) << messaggi().toStdString();
}

TEST_F(RigheFabbricazione, UnaRiempitriceSenzaRigheIniziaDallaUnoEAnnullaToglieLaRigaNuova) {
    h.esegui(az(), {"DELETE FROM CONFEZ WHERE CODICERIEMPITRICE=2"});
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Confezionamento);
    PaginaRighe* c = f->PaginaConfez;
    // another batch chosen in the list under the lines, as a click does
    GrigliaModello* m = f->Griglia->modello();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->campo(r, m->indiceCampo("LOTTO")).asString() == "L25045") {
            f->Griglia->setCurrentIndex(m->index(r, 0));
        }
    }
    ASSERT_EQ(f->lottoCorrente().lotto, "L25045");
    EXPECT_TRUE(c->listaVuota());
    c->ButtonEdit->click();
    EXPECT_EQ(msg->testi().last(), "Premere Nuovo per inserire un nuovo record");
    c->ButtonElimina->click();
    EXPECT_EQ(msg->testi().last(), "La tabella è vuota");

    c->ButtonNuovo->click();
    ASSERT_EQ(c->Stato, 1) << messaggi().toStdString();
    EXPECT_EQ(f->lottoCorrente().lotto, "L25045"); // read again on the same batch
    EXPECT_EQ(t(ed(c, "CODICERIEMPITRICE")), "2");
    EXPECT_EQ(t(ed(c, "NUMPROGRESSIVO")), "1");
    testo(ed(c, "NUMPROGRESSIVO"), "uno");
    c->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi().last(), "Specificare un valore valido per N. Riga");
    EXPECT_EQ(c->Stato, 1);
    c->ButtonAnnulla->click();
    EXPECT_EQ(c->Stato, 0);
    EXPECT_TRUE(f->TabSet->isEnabled());
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=2"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCONFEZ WHERE CODICERIEMPITRICE=2"), 2);
}

TEST_F(RigheFabbricazione, UnoStoricoCheNonSiScriveLasciaLaRigaComEraEIlNuovoTentativoLaSalva) {
    h.esegui(az(), {"CREATE EXCEPTION STORICO_FERMO 'storico fermo'",
                    "CREATE TRIGGER STOCONFEZ_FERMO FOR STOCONFEZ BEFORE INSERT AS "
                    "BEGIN EXCEPTION STORICO_FERMO; END"});
    const QString prima =
        valore("SELECT TESTO FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=1");
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Confezionamento);
    PaginaRighe* c = f->PaginaConfez;
    c->ButtonEdit->click();
    testo(ed(c, "TESTO"), "Pulire gli ugelli");
    c->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi().last(), kErroreStorico);
    EXPECT_EQ(c->Stato, 2);
    EXPECT_EQ(valore("SELECT TESTO FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=1"),
              prima);
    EXPECT_EQ(t(ed(c, "TESTO")), "Pulire gli ugelli"); // kept for another try
    c->ButtonAnnulla->click();

    // a new line whose first version cannot be written stays being entered;
    // "Annulla" takes it away
    c->ButtonNuovo->click();
    ASSERT_EQ(c->Stato, 1);
    testo(ed(c, "TESTO"), "Riga senza storico");
    c->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi().last(), kErroreStorico);
    EXPECT_EQ(c->Stato, 1);
    EXPECT_EQ(valore("SELECT COALESCE(TESTO,'vuota') FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND "
                     "NUMPROGRESSIVO=4"),
              "vuota");
    c->ButtonAnnulla->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=4"),
              0);

    // a deletion whose version cannot be written deletes nothing
    msg->risposte = {QStringLiteral("Sì")};
    c->ButtonElimina->click();
    EXPECT_EQ(msg->testi().last(), "Errore interno: impossibile eliminare il record selezionato");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1"), 4);

    // once the history takes it, the change and its version go in together
    h.esegui(az(), {"DROP TRIGGER STOCONFEZ_FERMO"});
    c->ButtonEdit->click();
    testo(ed(c, "TESTO"), "Pulire gli ugelli");
    c->ButtonMemorizza->click();
    ASSERT_EQ(c->Stato, 0) << messaggi().toStdString();
    EXPECT_EQ(storiaConfez("1"), "1 0 1 " + prima + "|2 0 2 Pulire gli ugelli");
}

TEST_F(RigheFabbricazione,
       UnaRigaDiProceduraScriveLaPrimaVersioneDellaFormulazioneEQuelleDellaRiga) {
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Procedura);
    PaginaRighe* p = f->PaginaProced;
    p->ButtonNuovo->click();
    ASSERT_EQ(p->Stato, 1) << messaggi().toStdString();
    EXPECT_EQ(t(ed(p, "NRIGA")), "6");
    EXPECT_FALSE(f->TabSet->isEnabled());
    testo(ed(p, "TESTO"), "Filtrare a 50 micron");
    testo(ed(p, "EVIDENZA"), "1");
    p->ButtonMemorizza->click();
    ASSERT_EQ(p->Stato, 0) << messaggi().toStdString();
    EXPECT_EQ(valore("SELECT TESTO||' '||EVIDENZA FROM PROCED WHERE CODICEFORMULAZIONE=1 AND "
                     "NRIGA=6"),
              "Filtrare a 50 micron 1");
    // the formulation had no history: its first snapshot comes first
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1 AND VERS=1"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE CODICE=1 AND TABELLA='STOFORMUL' "
                    "AND ELIMINAZIONE='0'"),
              1);
    EXPECT_EQ(storiaProced("6"), "1 1 0 2 1 Filtrare a 50 micron");
    EXPECT_EQ(versione(p), "1");

    // unchanged: no version; renumbered: the new number's first version
    p->ButtonEdit->click();
    p->ButtonMemorizza->click();
    EXPECT_EQ(storiaProced("6"), "1 1 0 2 1 Filtrare a 50 micron");
    p->ButtonEdit->click();
    testo(ed(p, "NRIGA"), "8");
    testo(ed(p, "EVIDENZA"), "0");
    p->ButtonMemorizza->click();
    ASSERT_EQ(p->Stato, 0) << messaggi().toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=1 AND NRIGA=6"), 0);
    EXPECT_EQ(storiaProced("8"), "1 1 0 2 0 Filtrare a 50 micron");
    EXPECT_EQ(versione(p), "1");

    msg->risposte = {QStringLiteral("Sì")};
    p->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=1 AND NRIGA=8"), 0);
    EXPECT_EQ(storiaProced("8"), "1 1 0 2 0 Filtrare a 50 micron|1 2 1 2 0 Filtrare a 50 micron");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1"), 1);
    EXPECT_EQ(numeri(p, "NRIGA"), (std::vector<double>{1, 2, 3, 4, 5}));

    // a deletion in a formulation without history: its first snapshot is
    // marked as a deletion too
    posiziona(f, "FM003", "03/02/2025", "L25034");
    EXPECT_EQ(numeri(p, "NRIGA"), (std::vector<double>{1, 2, 3, 4}));
    p->Griglia->setCurrentIndex(p->Griglia->modello()->index(3, 0));
    msg->risposte = {QStringLiteral("Sì")};
    p->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=2"), 3);
    EXPECT_EQ(valore("SELECT VERS||' '||R.ELIMINAZIONE FROM STOFORMUL S JOIN STOFORMULRIEP R ON "
                     "R.CODICE=S.CODICE AND R.TABELLA='STOFORMUL' WHERE S.CODICE=2"),
              "1 1");
    EXPECT_EQ(valore("SELECT VERSIONET||' '||VERSIONED||' '||TESTO FROM STOPROCED WHERE "
                     "CODICEFORMULAZIONE=2 AND NRIGA=4"),
              "1 1 Controllare pH (12,0 - 13,0) e limpidezza.");
}

TEST_F(RigheFabbricazione, SenzaFormulazioneNessunaRigaNuovaEUnProfiloInLetturaNonCambiaNulla) {
    h.esegui(az(), {"UPDATE PRODOT SET CODICEFORMULAZIONE=NULL WHERE CODICE='FM003'"});
    auto* f = apri();
    posiziona(f, "FM003", "03/02/2025", "L25034");
    f->TabSet->setCurrentIndex(TLiqPolvForm::Procedura);
    PaginaRighe* p = f->PaginaProced;
    EXPECT_TRUE(p->listaVuota());
    p->ButtonNuovo->click();
    EXPECT_EQ(msg->testi().last(), "La fabbricazione selezionata non ha la formulazione");
    EXPECT_EQ(p->Stato, 0);
    EXPECT_TRUE(f->TabSet->isEnabled());
    f->close();

    auto* r = apri(3);
    ASSERT_TRUE(r->SolaLettura);
    posiziona(r, "FM001", "15/01/2025", "L25015");
    for (int pagina : {TLiqPolvForm::Confezionamento, TLiqPolvForm::Procedura}) {
        r->TabSet->setCurrentIndex(pagina);
        ASSERT_EQ(r->paginaCorrente(), pagina);
        PaginaRighe* q =
            pagina == TLiqPolvForm::Confezionamento ? r->PaginaConfez : r->PaginaProced;
        EXPECT_FALSE(q->listaVuota());
        EXPECT_FALSE(q->ButtonNuovo->isEnabled());
        EXPECT_FALSE(q->ButtonEdit->isEnabled());
        EXPECT_FALSE(q->ButtonElimina->isEnabled());
        EXPECT_TRUE(q->ButtonChiudi->isEnabled());
    }
}

} // namespace
