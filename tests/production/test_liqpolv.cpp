// The manufacturing sheet on the demo archives: a new batch through its
// dialog with the header proposed from the product, the first save copying
// the formulation's lines with the first version, all in one unit; versions
// only for real changes; deletion; searches; the derived header values; the
// linked document; the guards of pages and closing.
#include "production/datilotto.h"
#include "production/fabbricpo.h"
#include "production/inprod.h"
#include "production/liqpolv.h"
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

    testo(ed(f, "QUANTITALITRI"), "1.000");
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
