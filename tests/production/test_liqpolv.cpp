// The manufacturing sheet on the demo archives: a new batch through its
// dialog with the header proposed from the product, the first save copying
// the formulation's lines with the first version, all in one unit; versions
// only for real changes; deletion; searches; the derived header values; the
// linked document; the guards of pages and closing.
#include "production/datilotto.h"
#include "production/errorevintel.h"
#include "production/fabbricpo.h"
#include "production/inprod.h"
#include "production/insconsumi.h"
#include "production/liqpolv.h"
#include "production/materie.h"
#include "session/apertura.h"
#include "session/formati.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quintar;

TEST(DatiLotto, LaScadenzaCadeNellUltimoGiornoDiUnMesePiuCorto) {
    EXPECT_EQ(produzione::scadenza({2025, 1, 31}, 1), QDate(2025, 2, 28));
    EXPECT_EQ(produzione::scadenza({2024, 1, 31}, 1), QDate(2024, 2, 29));
    EXPECT_EQ(produzione::scadenza({2025, 1, 15}, 24), QDate(2027, 1, 15));
    EXPECT_EQ(produzione::scadenza({2025, 3, 31}, 0), QDate(2025, 3, 31));
    EXPECT_FALSE(produzione::scadenza({}, 1).isValid());
    EXPECT_FALSE(produzione::scadenza({2025, 1, 31}, std::nullopt).isValid());
    EXPECT_FALSE(produzione::scadenza({2025, 1, 31}, -2).isValid());
}

TEST(DatiLotto, IContenitoriDividonoLaQuantitaPerLaCapacitaSenzaArrotondareInSu) {
    Formati::impostaItaliani();
    const auto n = produzione::numeroContenitori(1000, QStringLiteral("3"));
    ASSERT_TRUE(n);
    EXPECT_EQ(Formati::numeroConMigliaia(*n, 2), QStringLiteral("333,33"));
    EXPECT_EQ(Formati::numeroConMigliaia(*produzione::numeroContenitori(2000, "0,75"), 2),
              QStringLiteral("2.666,67"));
    EXPECT_FALSE(produzione::numeroContenitori(1000, QStringLiteral("0")));
    EXPECT_FALSE(produzione::numeroContenitori(1000, QString()));
    EXPECT_FALSE(produzione::numeroContenitori(std::nullopt, QStringLiteral("5")));
}

namespace {

struct Fabbricazione : prova::ConScheda {
    TLiqPolvForm* apri() { return ConScheda::apri<TLiqPolvForm>("ShowLiqPolvForm"); }
    static QWidget* ed(TLiqPolvForm* f, const char* c) {
        return f->editazione(QString::fromLatin1(c));
    }
    static QWidget* co(TLiqPolvForm* f, const char* c) {
        return f->consultazione(QString::fromLatin1(c));
    }
    static QString t(QWidget* w) { return SchedaBase::testoDi(w); }
    // The new-batch dialog answered with these values (once).
    void nuovoLotto(const QString& prodotto, const QString& data, const QString& lotto,
                    QStringList* avvisi = nullptr) {
        msg->dialogo = [=, this](QDialog* d) -> int {
            auto* f = qobject_cast<TInProdForm*>(d);
            if (!f) {
                return QDialog::Rejected;
            }
            f->EditProdotto->setText(prodotto);
            f->EditData->setText(data);
            f->EditLotto->setText(lotto);
            const int prima = int(msg->mostrati.size());
            f->ButtonOk->click();
            if (avvisi) {
                for (int i = prima; i < int(msg->mostrati.size()); ++i) {
                    *avvisi << msg->mostrati[size_t(i)].testo;
                }
            }
            return f->result();
        };
    }
    int righe(const QString& lotto) {
        return conta(QStringLiteral("SELECT COUNT(*) FROM FABBCOMPON WHERE LOTTOFABBRICAZIONE='%1'")
                         .arg(lotto));
    }
    int versioni(const QString& lotto) {
        return conta(QStringLiteral("SELECT COUNT(*) FROM STOFABBRIC WHERE LOTTO='%1'").arg(lotto));
    }
    int righeFormulazione(const QString& prodotto) {
        return conta(QStringLiteral("SELECT COUNT(*) FROM COMPON C JOIN PRODOT P ON "
                                    "P.CODICEFORMULAZIONE=C.CODICEFORMULAZIONE WHERE P.CODICE='%1'")
                         .arg(prodotto));
    }
    static void posiziona(TLiqPolvForm* f, const QString& codice, const QString& data,
                          const QString& lotto) {
        f->AltreChiaviCorrenti = {data, lotto};
        f->riapriSuCodice(codice);
        ASSERT_EQ(f->lottoCorrente().lotto, lotto);
    }
};

TEST_F(Fabbricazione, IlNuovoLottoProponeLaTestataDalProdottoEIlPrimoSalvataggioCopiaLeRighe) {
    auto* f = apri();
    nuovoLotto("FM001", "03/03/2025", "L-NUOVO");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    // the row is there at once, numbered
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='L-NUOVO' AND ID IS NOT NULL"), 1);
    EXPECT_EQ(t(ed(f, "NOMEPRODOTTO")), "Piatti Limone 1 L");
    EXPECT_EQ(t(ed(f, "CONTENITORE")), "Flacone HDPE 1000 ml bianco");
    EXPECT_EQ(t(ed(f, "CODICECONTENITORE")), "IC001");
    EXPECT_EQ(t(ed(f, "DENSITAPRODOTTO")), t(ed(f, "DENSITACALCOLI")));
    EXPECT_FALSE(t(ed(f, "DENSITAPRODOTTO")).isEmpty());
    EXPECT_TRUE(f->RadioMateriePrime->isChecked());
    EXPECT_EQ(f->ComboCapacita->currentIndex(), 0);
    EXPECT_EQ(f->ComboRiempitrice->currentIndex(), 0);

    testo(ed(f, "QUANTITALITRI"), "1000");
    f->ComboCapacita->setCurrentIndex(f->ComboCapacita->findText("Flacone 750 ml"));
    EXPECT_EQ(t(ed(f, "QTACONTENITORI")), "1.333,33");
    f->ComboRiempitrice->setCurrentIndex(1);
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(righe("L-NUOVO"), righeFormulazione("FM001"));
    EXPECT_GT(righe("L-NUOVO"), 0);
    EXPECT_EQ(valore("SELECT QUANTITALITRI FROM FABBRIC WHERE LOTTO='L-NUOVO'"), "1000");
    EXPECT_EQ(valore("SELECT CAPACITACONTENITORE FROM FABBRIC WHERE LOTTO='L-NUOVO'"), "3");
    EXPECT_EQ(valore("SELECT FABBRICAZIONEDA FROM FABBRIC WHERE LOTTO='L-NUOVO'"), "MP");
    EXPECT_EQ(valore("SELECT VERS FROM STOFABBRIC WHERE LOTTO='L-NUOVO'"), "1");
    EXPECT_EQ(valore("SELECT ELIMINAZIONE FROM STOFABBRIC WHERE LOTTO='L-NUOVO'"), "0");
    EXPECT_EQ(valore("SELECT UTENTE FROM STOFABBRIC WHERE LOTTO='L-NUOVO'"), "2");
    EXPECT_EQ(f->lottoCorrente().lotto, "L-NUOVO");
    // the consultation page shows the capacity and the containers
    EXPECT_EQ(t(co(f, "CAPACITACONTENITORE#")), "Flacone 750 ml");
    EXPECT_EQ(t(co(f, "QTACONTENITORI")), "1.333,33");

    // saving without a change writes no version; a change writes the next
    f->ButtonEdit->click();
    f->ButtonMemorizza->click();
    EXPECT_EQ(versioni("L-NUOVO"), 1);
    f->ButtonEdit->click();
    testo(ed(f, "MISCELATORE"), "M9");
    f->ButtonMemorizza->click();
    EXPECT_EQ(versioni("L-NUOVO"), 2);
    EXPECT_EQ(valore("SELECT MISCELATORE FROM STOFABBRIC WHERE LOTTO='L-NUOVO' AND VERS=2"), "M9");
    // later saves never copy the lines again
    EXPECT_EQ(righe("L-NUOVO"), righeFormulazione("FM001"));
}

TEST_F(Fabbricazione, IlDialogoRifiutaProdottoMancanteEChiaveGiaUsata) {
    auto* f = apri();
    const int lotti = conta("SELECT COUNT(*) FROM FABBRIC");
    const std::vector<std::tuple<QString, QString, QString, QString>> casi = {
        {"", "03/03/2025", "L1", "Specificare un prodotto"},
        {"FM001", "", "L1", "Specificare una data"},
        {"FM001", "03/03/2025", "", "Specificare un lotto"},
        {"NONC'E", "03/03/2025", "L1", "Il prodotto specificato non esiste"},
        {"FM001", "15/01/2025", "L25015",
         "Esiste già un record con la combinazione di valori inseriti"},
    };
    for (const auto& [prodotto, data, lotto, avviso] : casi) {
        QStringList avvisi;
        nuovoLotto(prodotto, data, lotto, &avvisi);
        f->ButtonNuovo->click();
        EXPECT_EQ(avvisi, QStringList{avviso});
        EXPECT_EQ(f->StatoScheda, 0);
    }
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC"), lotti);
}

TEST_F(Fabbricazione, UnProdottoInKgHaDensitaDiCalcolo1ESenzaFormulazioneNessunaRiga) {
    h.esegui(az(), {"INSERT INTO PRODOT (CODICE, NOME, UNITAVENDITA) VALUES ('PX', 'Senza', "
                    "'Litro')"});
    auto* f = apri();
    nuovoLotto("SM001", "04/03/2025", "KG1");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(t(ed(f, "DENSITACALCOLI")), "1");
    EXPECT_NE(t(ed(f, "DENSITAPRODOTTO")), "1");
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT DENSITACALCOLI FROM FABBRIC WHERE LOTTO='KG1'"), "1");

    nuovoLotto("PX", "04/03/2025", "PX1");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(t(ed(f, "DENSITAPRODOTTO")), "");
    EXPECT_EQ(t(ed(f, "DENSITACALCOLI")), "");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(righe("PX1"), 0);
    EXPECT_EQ(versioni("PX1"), 1);
}

TEST_F(Fabbricazione, AnnullareUnNuovoLottoNonLasciaRigheEPermetteLaStessaChiave) {
    auto* f = apri();
    nuovoLotto("FM002", "05/03/2025", "ANN");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='ANN'"), 0);
    nuovoLotto("FM002", "05/03/2025", "ANN");
    f->ButtonNuovo->click();
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='ANN'"), 1);
}

TEST_F(Fabbricazione,
       UnoStoricoCheNonSiScriveAnnullaTestataERigheEIlNuovoTentativoLeCopiaUnaVolta) {
    h.esegui(az(), {"CREATE EXCEPTION STORICO_FERMO 'storico fermo'",
                    "CREATE TRIGGER STOFABBRIC_FERMO FOR STOFABBRIC BEFORE INSERT AS "
                    "BEGIN EXCEPTION STORICO_FERMO; END"});
    auto* f = apri();
    nuovoLotto("FM001", "06/03/2025", "UNO");
    f->ButtonNuovo->click();
    testo(ed(f, "MISCELATORE"), "M1");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_TRUE(
        msg->testi().contains("Errore interno: impossibile inserire nello storico le modifiche"));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='UNO'"), 0);
    EXPECT_EQ(righe("UNO"), 0);

    h.esegui(az(), {"DROP TRIGGER STOFABBRIC_FERMO"});
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(valore("SELECT MISCELATORE FROM FABBRIC WHERE LOTTO='UNO'"), "M1");
    EXPECT_EQ(righe("UNO"), righeFormulazione("FM001"));
    EXPECT_EQ(versioni("UNO"), 1);
}

TEST_F(Fabbricazione, EliminareScriveLaVersioneDiCancellazioneETieneConsumiEPesate) {
    h.esegui(az(), {"INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, SERIALE) "
                    "VALUES (900, 1, 'MP002', 'S900')"});
    // the demo's archived sheet of the batch, with its lines
    const QString interno = valore("SELECT CODICEINTERNO FROM STOFAB WHERE LOTTO='L25015'");
    ASSERT_FALSE(interno.isEmpty());
    ASSERT_GT(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=" + interno), 0);
    const int pesate = conta("SELECT COUNT(*) FROM PESATE_FABBR WHERE ID_FABBRICAZIONE=1");
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='L25015'"), 0);
    EXPECT_EQ(righe("L25015"), 0);
    EXPECT_EQ(valore("SELECT ELIMINAZIONE FROM STOFABBRIC WHERE LOTTO='L25015' AND VERS="
                     "(SELECT MAX(VERS) FROM STOFABBRIC WHERE LOTTO='L25015')"),
              "1");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFAB WHERE CODICEINTERNO=" + interno), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=" + interno), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONSUMI WHERE ID_CONSUMI=900"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PESATE_FABBR WHERE ID_FABBRICAZIONE=1"), pesate);
}

TEST_F(Fabbricazione, UnLottoSenzaVersioniEliminatoScriveLaVersione1) {
    auto* f = apri();
    h.esegui(az(), {"DELETE FROM STOFABBRIC WHERE LOTTO='L25036'"});
    posiziona(f, "FM006", "05/02/2025", "L25036");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(valore("SELECT VERS || ELIMINAZIONE FROM STOFABBRIC WHERE LOTTO='L25036'"), "11");
}

TEST_F(Fabbricazione, LaRicercaAccumulaUnaClausolaPerCampoERifiutaUnaDataNonValida) {
    auto* f = apri();
    f->mostraPagina(TLiqPolvForm::Ricerche);
    f->campoRicerca("EditRicercaCodice")->setText("fm");
    f->campoRicerca("EditRicercaData")->setText("15/01/2025");
    f->ButtonRicercaAttivaSel->click();
    EXPECT_EQ(f->EditSelezione->text(), "UPPER(CODICE) LIKE %FM%;(DATA=15/01/2025);");
    EXPECT_EQ(f->Griglia->modello()->rowCount(), 1);
    EXPECT_EQ(f->lottoCorrente().lotto, "L25015");
    f->campoRicerca("EditRicercaData")->setText("31/02/2025");
    f->ButtonRicercaAttivaSel->click();
    EXPECT_EQ(msg->testi().last(), "Specificare una data valida per \"Data\"");
    f->ButtonRicercaAnnullaSel->click();
    EXPECT_EQ(f->Griglia->modello()->rowCount(), conta("SELECT COUNT(*) FROM FABBRIC"));
    EXPECT_EQ(f->lottoCorrente().lotto, "L25015");

    // back from a search the list stands on the batch chosen, not on the
    // first one of its product
    f->campoRicerca("EditRicercaCodice")->setText("FM007");
    f->campoRicerca("EditRicercaData")->clear();
    f->ButtonRicercaAttivaSel->click();
    GrigliaModello* m = f->Griglia->modello();
    const int secondo = m->cerca("LOTTO", [](const QString& v) { return v == "L24330"; });
    ASSERT_GE(secondo, 0);
    f->Griglia->setCurrentIndex(m->index(secondo, 0));
    f->ButtonRicercaAnnullaSel->click();
    EXPECT_EQ(f->lottoCorrente().lotto, "L24330");
}

TEST_F(Fabbricazione, LaTestataMostraScadenzaContenitoriEVersione) {
    h.esegui(az(), {"UPDATE FORMUL SET MESIDURATAPRODOTTO=1 WHERE CODICE=1",
                    "UPDATE FABBRIC SET DATA='2025-01-31', CAPACITACONTENITORE='0' "
                    "WHERE LOTTO='L25015'",
                    "UPDATE FABBRIC SET CAPACITACONTENITORE='99' WHERE LOTTO='L25034'"});
    auto* f = apri();
    posiziona(f, "FM001", "31/01/2025", "L25015");
    f->aggiornaInformazioni();
    EXPECT_EQ(t(co(f, "SCADENZA")), "28/02/2025");
    EXPECT_EQ(t(co(f, "PRODOT.CODICEFORMULAZIONE")), "1");
    EXPECT_EQ(t(co(f, "QTACONTENITORI")), "");
    posiziona(f, "FM003", "03/02/2025", "L25034");
    EXPECT_EQ(t(co(f, "CAPACITACONTENITORE#")), "");
    EXPECT_EQ(t(co(f, "QTACONTENITORI")), "");
    // the edit page keeps the unknown code in its list; the consultation
    // page still has no description for it
    f->ButtonEdit->click();
    EXPECT_EQ(f->ComboCapacita->currentText(), "99");
    f->ButtonAnnulla->click();
    posiziona(f, "FM003", "03/02/2025", "L25034");
    EXPECT_EQ(t(co(f, "CAPACITACONTENITORE#")), "");
    f->aggiornaInformazioni();
    EXPECT_EQ(f->LabelVersione->text(),
              valore("SELECT MAX(VERS) FROM STOFABBRIC WHERE LOTTO='L25034'"));
}

TEST_F(Fabbricazione, ApriDocAvviaIlProgrammaDelleImpostazioniSulDocumento) {
    QStringList avviati;
    apertura::installaAvviatore([&](const QString& p, const QStringList& a) {
        avviati << p + ' ' + a.join(' ');
        return true;
    });
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->ButtonEdit->click();
    f->ButtonApriDoc->click();
    EXPECT_EQ(msg->testi().last(), "Nessun documento word specificato");
    testo(ed(f, "DOCUMENTOWORD"), "C:\\Documenti\\fm001.doc");
    f->Sessione()->Inserisci("KDQ", "NomePathProgrammaWord", {}, "/non/esiste/wp", {}, {}, {}, {},
                             "2");
    f->ButtonApriDoc->click();
    EXPECT_EQ(msg->testi().last(),
              "Attenzione: Impossibile trovare il programma di videoscrittura. "
              "Entrare in Personalizzazioni per impostarlo");
    f->Sessione()->Inserisci("KDQ", "NomePathProgrammaWord", {}, "sh", {}, {}, {}, {}, "2");
    f->ButtonApriDoc->click();
    ASSERT_EQ(avviati.size(), 1);
    EXPECT_TRUE(avviati[0].endsWith("sh C:/Documenti/fm001.doc")) << avviati[0].toStdString();
    f->ButtonAnnulla->click();
    apertura::installaAvviatore({});
}

TEST_F(Fabbricazione, PagineEChiusuraBloccateDuranteLaModifica) {
    auto* f = apri();
    posiziona(f, "SM001", "20/01/2025", "S25020");
    // a filling machine is needed for the packaging page
    h.esegui(az(), {"UPDATE FABBRIC SET RIEMPITRICE=NULL WHERE LOTTO='S25020'"});
    f->rileggiLotto();
    f->TabSet->setCurrentIndex(TLiqPolvForm::Confezionamento);
    EXPECT_EQ(f->paginaCorrente(), TLiqPolvForm::Principale);
    EXPECT_EQ(msg->testi().last(), "Per accedere alla sessione Confezionamento è necessario "
                                   "specificare una riempitrice");
    f->ButtonEdit->click();
    EXPECT_FALSE(f->TabSet->isEnabled());
    f->close();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(msg->testi().last(),
              "Memorizzare o annullare le modifiche in corso prima di chiudere la finestra");
    f->ButtonAnnulla->click();
    EXPECT_TRUE(f->TabSet->isEnabled());
}

} // namespace

namespace {

TEST_F(Fabbricazione, LeFabbricazioniDellaStessaFormulazioneElencanoIlottiDeiSuoiProdotti) {
    auto* f = apri();
    posiziona(f, "FM002", "14/02/2025", "L25045");
    f->aggiornaInformazioni();
    QStringList lotti;
    QString testata;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* w = qobject_cast<TFabbricPOForm*>(d)) {
            testata = w->EditCodicePO->text() + ' ' + w->EditDescrizionePO->text();
            GrigliaModello* m = w->GridFabbric->modello();
            for (int r = 0; r < m->rowCount(); ++r) {
                lotti << m->campo(r, m->indiceCampo(QStringLiteral("LOTTO"))).asString();
            }
        }
        return QDialog::Accepted;
    };
    f->ButtonFabbricazioniStessaPO->click();
    lotti.sort();
    EXPECT_EQ(lotti, (QStringList{"L25015", "L25045"}));
    EXPECT_TRUE(testata.startsWith("1 ")) << testata.toStdString();

    // a batch whose product has no formulation opens nothing
    h.esegui(az(), {"UPDATE PRODOT SET CODICEFORMULAZIONE=NULL WHERE CODICE='FM002'"});
    f->aggiornaInformazioni();
    lotti.clear();
    f->ButtonFabbricazioniStessaPO->click();
    EXPECT_TRUE(lotti.isEmpty());
    EXPECT_EQ(msg->testi().last(), "La fabbricazione selezionata non ha la formulazione");
}

} // namespace

namespace {

TEST_F(Fabbricazione, LEtichettaSiSceglieSoloTraIModelliDellaCartellaEtichette) {
    QTemporaryDir etichette;
    QDir(etichette.path()).mkpath("sotto");
    for (const char* f : {"piatti.prn", "sotto/taniche.prn"}) {
        QFile file(etichette.filePath(QString::fromLatin1(f)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("^XA<LOTTO>^XZ");
    }
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->ButtonEdit->click();

    h.esegui(az(), {"UPDATE TABX SET TESTO=NULL WHERE NOME='PercorsoReportEtic'"});
    f->ButtonAssegnaEtichetta->click();
    EXPECT_EQ(msg->testi().last(), "Manca l'impostazione del percorso report etichette");

    h.esegui(az(), {QStringLiteral("UPDATE TABX SET TESTO='%1' WHERE NOME='PercorsoReportEtic'")
                        .arg(etichette.path())});
    msg->fileScelti = {etichette.filePath("sotto/taniche.prn")};
    f->ButtonAssegnaEtichetta->click();
    EXPECT_EQ(t(ed(f, "NOMEETICHETTA")), "taniche.prn");

    QTemporaryDir altrove;
    msg->fileScelti = {altrove.filePath("fuori.prn")};
    f->ButtonAssegnaEtichetta->click();
    EXPECT_EQ(msg->testi().last(),
              QStringLiteral("E' possibile selezionare solo file all'interno del percorso \"%1\"")
                  .arg(etichette.path()));
    msg->fileScelti = {etichette.filePath("manca.prn")};
    f->ButtonAssegnaEtichetta->click();
    EXPECT_EQ(msg->testi().last(),
              QStringLiteral("Il file \"%1\" non esiste").arg(etichette.filePath("manca.prn")));
    EXPECT_EQ(t(ed(f, "NOMEETICHETTA")), "taniche.prn");
    f->ButtonAnnulla->click();

    f->ButtonHelpStampaEtichette->click();
    EXPECT_EQ(msg->testi().last(), "Variabili passate in stampa:\r<LOTTO>\r<DATASCADENZA>\r"
                                   "<DATAFABBRICAZIONE>\r<SERIALE>\r<SERIALENORM10>");
}

} // namespace

namespace {

TEST_F(Fabbricazione, LoStoricoElencaLeTestateDiTuttiILottiDelProdotto) {
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->ButtonEdit->click();
    testo(ed(f, "MISCELATORE"), "M7");
    f->ButtonMemorizza->click();
    f->mostraPagina(TLiqPolvForm::Storico);
    auto* g = f->findChild<TCSDGrid*>("GridStorico");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->modello()->rowCount(),
              conta("SELECT COUNT(*) FROM STOFABBRIC WHERE CODICE='FM001'"));
    EXPECT_GT(g->modello()->rowCount(), 0);
    f->mostraPagina(TLiqPolvForm::Principale);
}

} // namespace

namespace {

// The numbers of the header are read with the decimal comma; what cannot be
// read is refused with the field's caption, and nothing is stored.
TEST_F(Fabbricazione, INumeriDellaTestataSiLeggonoConLaVirgolaELoStessoPuntoERifiutato) {
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    const std::vector<std::pair<QString, QString>> campi = {{"QUANTITALITRI", "Q.tà"},
                                                            {"DENSITAPRODOTTO", "Dens.prod."},
                                                            {"DENSITACALCOLI", "Dens.Calc."},
                                                            {"NUMCARTONI", "Q.tà cart."}};
    const QString riga = "FROM FABBRIC WHERE LOTTO='L25015'";
    for (const auto& [colonna, didascalia] : campi) {
        const QString prima = valore("SELECT " + colonna + ' ' + riga);
        f->ButtonEdit->click();
        ASSERT_EQ(f->StatoScheda, 2);
        for (const QString& errato : {QStringLiteral("abc"), QStringLiteral("1.5"),
                                      QStringLiteral("1,5,0"), QStringLiteral("2e")}) {
            testo(f->editazione(colonna), errato);
            f->ButtonMemorizza->click();
            EXPECT_EQ(f->StatoScheda, 2) << errato.toStdString();
            EXPECT_EQ(msg->testi().last(),
                      "Specificare un valore numerico valido per \"" + didascalia + "\"")
                << colonna.toStdString() << ' ' << errato.toStdString();
            EXPECT_EQ(valore("SELECT " + colonna + ' ' + riga), prima);
        }
        testo(f->editazione(colonna), "1,5");
        f->ButtonMemorizza->click();
        ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
        EXPECT_EQ(valore("SELECT " + colonna + ' ' + riga), "1.5") << colonna.toStdString();
    }
    // a point is refused as a separator of thousands too
    f->ButtonEdit->click();
    for (const QString& errato : {QStringLiteral("1.250,5"), QStringLiteral("12.500")}) {
        testo(ed(f, "QUANTITALITRI"), errato);
        f->ButtonMemorizza->click();
        EXPECT_EQ(f->StatoScheda, 2) << errato.toStdString();
        EXPECT_EQ(msg->testi().last(), "Specificare un valore numerico valido per \"Q.tà\"");
    }
    testo(ed(f, "QUANTITALITRI"), "1250,5");
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(valore("SELECT QUANTITALITRI " + riga), "1250.5");

    // a stored capacity code that is not a number cannot be saved again
    h.esegui(az(), {"UPDATE FABBRIC SET CAPACITACONTENITORE='A1' WHERE LOTTO='L25015'"});
    f->rileggiLotto();
    f->ButtonEdit->click();
    testo(ed(f, "MISCELATORE"), "M5");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(msg->testi().last(), "Specificare un valore numerico valido per \"Capacità\"");
    EXPECT_EQ(valore("SELECT CAPACITACONTENITORE " + riga), "A1");
    EXPECT_NE(valore("SELECT MISCELATORE " + riga), "M5");
    f->ComboCapacita->setCurrentIndex(f->ComboCapacita->findText("Flacone 750 ml"));
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(valore("SELECT CAPACITACONTENITORE || MISCELATORE " + riga), "3M5");
}

// A new batch whose lines cannot be copied is not kept: the user reads why,
// and no header, line or version stays behind.
TEST_F(Fabbricazione, RigheCheNonSiCopianoDiconoPercheENonLascianoIlLotto) {
    h.esegui(az(), {"CREATE EXCEPTION RIGHE_FERME 'righe rifiutate'",
                    "CREATE TRIGGER FABBCOMPON_FERMO FOR FABBCOMPON BEFORE INSERT AS "
                    "BEGIN EXCEPTION RIGHE_FERME; END"});
    auto* f = apri();
    nuovoLotto("FM001", "07/03/2025", "COPIA");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 1);
    const QString testo = msg->testi().last();
    EXPECT_TRUE(testo.startsWith("Errore interno: impossibile memorizzare le modifiche:\n"))
        << testo.toStdString();
    EXPECT_TRUE(testo.contains("righe rifiutate")) << testo.toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='COPIA'"), 0);
    EXPECT_EQ(righe("COPIA"), 0);
    EXPECT_EQ(versioni("COPIA"), 0);
    // once the lines can be written the same save keeps the batch
    h.esegui(az(), {"DROP TRIGGER FABBCOMPON_FERMO"});
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(righe("COPIA"), righeFormulazione("FM001"));
    EXPECT_EQ(versioni("COPIA"), 1);
}

// The batch row of a new batch that cannot be removed again is named by its
// product code, for the user to remove by hand.
TEST_F(Fabbricazione, UnNuovoLottoCheNonSiTogliePiuVieneNominatoColSoloCodice) {
    h.esegui(az(), {"CREATE EXCEPTION FERMO 'fermo'"});
    auto* f = apri();
    nuovoLotto("FM002", "08/03/2025", "RESTA");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    h.esegui(az(), {"CREATE TRIGGER FABBRIC_NONSITOGLIE FOR FABBRIC BEFORE DELETE AS "
                    "BEGIN EXCEPTION FERMO; END",
                    "CREATE TRIGGER STOFABBRIC_FERMO FOR STOFABBRIC BEFORE INSERT AS "
                    "BEGIN EXCEPTION FERMO; END"});
    const QString atteso = "Errore interno: cancellare manualmente il record con CODICE FM002";
    // a failed save
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(msg->testi().last(), atteso);
    // and giving the new batch up
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(msg->testi().last(), atteso);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='RESTA'"), 1);
}

// A deletion whose version cannot be written deletes nothing.
TEST_F(Fabbricazione, UnaCancellazioneSenzaStoricoNonToglieNulla) {
    const QString interno = valore("SELECT CODICEINTERNO FROM STOFAB WHERE LOTTO='L25015'");
    const int linee = righe("L25015");
    const int vers = versioni("L25015");
    ASSERT_GT(linee, 0);
    h.esegui(az(), {"CREATE EXCEPTION STORICO_FERMO 'storico fermo'",
                    "CREATE TRIGGER STOFABBRIC_FERMO FOR STOFABBRIC BEFORE INSERT AS "
                    "BEGIN EXCEPTION STORICO_FERMO; END"});
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(msg->testi().last(),
              "Errore interno: impossibile inserire nello storico le modifiche");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='L25015'"), 1);
    EXPECT_EQ(righe("L25015"), linee);
    EXPECT_EQ(versioni("L25015"), vers);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFAB WHERE CODICEINTERNO=" + interno), 1);
    // the sheet still shows the batch, and a later deletion goes through
    EXPECT_EQ(f->lottoCorrente().lotto, "L25015");
    h.esegui(az(), {"DROP TRIGGER STOFABBRIC_FERMO"});
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='L25015'"), 0);
}

TEST_F(Fabbricazione, UnNuovoLottoInCorsoNonLasciaChiudereLaFinestra) {
    auto* f = apri();
    nuovoLotto("FM002", "09/03/2025", "APERTO");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    f->close();
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(msg->testi().last(),
              "Memorizzare o annullare le modifiche in corso prima di chiudere la finestra");
    EXPECT_FALSE(f->TabSet->isEnabled());
    f->ButtonAnnulla->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='APERTO'"), 0);
}

} // namespace

namespace {

TEST_F(Fabbricazione, LoStoricoElencaAncheILottiEliminati) {
    auto* f = apri();
    nuovoLotto("FM001", "10/03/2025", "VIA");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    posiziona(f, "FM001", "10/03/2025", "VIA");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    ASSERT_EQ(conta("SELECT COUNT(*) FROM FABBRIC WHERE LOTTO='VIA'"), 0);

    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->mostraPagina(TLiqPolvForm::Storico);
    auto* g = f->findChild<TCSDGrid*>("GridStorico");
    ASSERT_NE(g, nullptr);
    GrigliaModello* m = g->modello();
    while (m->canFetchMore({})) {
        m->fetchMore({});
    }
    QStringList eliminato;
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->campo(r, m->indiceCampo("LOTTO")).asString() == "VIA") {
            eliminato << m->campo(r, m->indiceCampo("VERS")).asString() + ':' +
                             m->campo(r, m->indiceCampo("ELIMINAZIONE")).asString();
        }
    }
    eliminato.sort();
    EXPECT_EQ(eliminato, (QStringList{"1:0", "2:1"}));
    f->mostraPagina(TLiqPolvForm::Principale);
}

} // namespace

namespace {

// The sheet decodes a package serial in the host's archive (its second
// connection), never in the company's: here the company archive has tables
// of the same names saying something else.
TEST_F(Fabbricazione, IlSerialeDelConsumoSiLeggeNellArchivioDiTovaris) {
    h.esegui(
        h.c().erp(),
        {"INSERT INTO LOTTI (ID, CODICELOTTO, CODICEFORNITORE, CODICEARTICOLO) "
         "VALUES (77, 'ERP-77', 'F002', 'MP002')",
         "INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES ('SOLOERP', 'MP002', 77)"});
    h.esegui(az(), {"CREATE TABLE LOTTI (ID INTEGER, CODICELOTTO VARCHAR(30))",
                    "CREATE TABLE SERIALI (SERIALE VARCHAR(30), CODICEARTICOLO VARCHAR(20), "
                    "IDLOTTO INTEGER)"});
    h.esegui(az(), {"INSERT INTO LOTTI VALUES (77, 'AZIENDA-77')",
                    "INSERT INTO SERIALI VALUES ('SOLOERP', 'MP004', 77)",
                    "INSERT INTO SERIALI VALUES ('SOLOAZIENDA', 'MP002', 77)"});
    auto* f = apri();
    posiziona(f, "FM001", "15/01/2025", "L25015");
    f->mostraPagina(TLiqPolvForm::Materie);
    ASSERT_EQ(f->paginaCorrente(), TLiqPolvForm::Materie);
    PaginaMaterie* p = f->PaginaComponenti;
    GrigliaModello* m = p->GridCompon->modello();
    const int r = m->cerca("CODICEMATERIAPRIMA", [](const QString& v) { return v == "MP002"; });
    ASSERT_GE(r, 0);
    p->GridCompon->setCurrentIndex(m->index(r, 0));

    QString seriale;
    QStringList avvisi;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* e = qobject_cast<TErroreVintelForm*>(d)) {
            avvisi << e->LabelAvviso->text();
            e->ButtonChiudi->click();
            return QDialog::Accepted;
        }
        auto* c = qobject_cast<TInsConsumiForm*>(d);
        if (!c) {
            return QDialog::Rejected;
        }
        c->EditSeriale->setText(seriale);
        QTest::keyClick(c->EditSeriale, Qt::Key_Return);
        QTest::keyClicks(c->EditQuantita, "247,3");
        c->OKBtn->click();
        return c->result();
    };
    const int consumi = conta("SELECT COUNT(*) FROM CONSUMI");
    // a serial only the company's tables know is not found
    seriale = "SOLOAZIENDA";
    p->ButtonIntegraConsumi->click();
    EXPECT_TRUE(msg->testi().contains("Seriale \"SOLOAZIENDA\" non trovato"))
        << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONSUMI"), consumi);
    // the host's serial, with the host's material and lot
    msg->pulisci();
    seriale = "SOLOERP";
    p->ButtonIntegraConsumi->click();
    EXPECT_TRUE(avvisi.isEmpty()) << avvisi.join('|').toStdString();
    EXPECT_EQ(valore("SELECT CODICEMATERIA || '/' || CODICECONSUMATO || '/' || LOTTO FROM CONSUMI "
                     "WHERE SERIALE='SOLOERP'"),
              "MP002/MP002/ERP-77")
        << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONSUMI"), consumi + 1);
    f->mostraPagina(TLiqPolvForm::Principale);
}

} // namespace
