// The cost-parameters screen, alone and as a cost sheet's coefficient
// dialog, and the softened-water screen, on the demo archive.
#include "formulation/archiviocosti.h"
#include "formulation/costiform.h"
#include "formulation/cpar.h"
#include "formulation/formul.h"
#include "formulation/pracqua.h"
#include "host/lancio.h"
#include "master/mater.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/modificatidaaltri.h"
#include "session/tabx.h"
#include "support/schede.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");
const QString kErroreCPar =
    QStringLiteral("Errote interno: impossibile memorizzare le impostazioni");

struct ParametriCosti : prova::ConFinestre {
    QString azienda() const { return h.c().azienda(); }
    // CPAR as "COSTOTEMPO|…|COSTOTRASPORTO" of each row, "<null>" for NULL.
    QStringList cpar() {
        Database db;
        db.connect(azienda());
        Transaction t(&db);
        Query q(&db, &t);
        q.SQL = {"SELECT * FROM CPAR"};
        q.open();
        QStringList righe;
        for (bool r = !q.eof(); r; r = q.next()) {
            QStringList v;
            for (int i = 0; i < q.fieldCount(); ++i) {
                v << (q.field(i).isNull() ? QStringLiteral("<null>")
                                          : q.field(i).valore().toString());
            }
            righe << v.join('|');
        }
        return righe;
    }
    static void chiudiDifferite() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void scrivi(TCParForm* f, const std::array<QString, 7>& v) {
        QLineEdit* e[] = {f->EditCostoTempo,    f->EditCostiGenerali, f->EditCostiBase,
                          f->EditCoeffRicarico, f->EditCoeffAgente,   f->EditCoeffSconto,
                          f->EditCoeffTrasporto};
        for (size_t i = 0; i < 7; ++i) {
            e[i]->setText(v[i]);
        }
    }
};

} // namespace

TEST_F(ParametriCosti, TheStoredParametersAreShownWithTheDecimalComma) {
    TCParForm* f = apri<TCParForm>("ShowCParForm");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), "Impostazioni parametri costi - Ditta: " + kDitta);
    EXPECT_EQ(f->EditCostoTempo->text(), "32");
    EXPECT_EQ(f->EditCostiGenerali->text(), "180000");
    EXPECT_EQ(f->EditCostiBase->text(), "720000");
    EXPECT_EQ(f->EditCoeffRicarico->text(), "1,6");
    EXPECT_EQ(f->EditCoeffAgente->text(), "1,1");
    EXPECT_EQ(f->EditCoeffSconto->text(), "0,9");
    EXPECT_EQ(f->EditCoeffTrasporto->text(), "0,06");
    EXPECT_TRUE(f->ButtonOk->isEnabled());
    EXPECT_TRUE(f->ButtonOk->isDefault());
    EXPECT_EQ(f->minimumSize(), f->maximumSize()) << "the window is not resizable";
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(ParametriCosti, OkWritesEveryRowWithPointsAndZeroForEmptyEdits) {
    // an archive made before the one-row index may hold a second row
    h.esegui(azienda(), {"DROP INDEX CPAR_UNA_RIGA"});
    h.esegui(azienda(), {"INSERT INTO CPAR (COSTOTEMPO) VALUES (1)"});
    QPointer<TCParForm> f = apri<TCParForm>("ShowCParForm");
    scrivi(f, {"30", "1000", "400000,5", "1,5", "1,2", "", "0,05"});
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(cpar(),
              (QStringList{"30|1000|400000.5|1.5|1.2|0|0.05", "30|1000|400000.5|1.5|1.2|0|0.05"}));
    EXPECT_TRUE(msg->mostrati.empty());

    // saving recalculates nothing; the next calculation takes the new
    // values, an empty discount counting as not set
    EXPECT_EQ(h.valore(azienda(), "SELECT COSTOBASE FROM COSTI WHERE CODICE=1"), "");
    Database db;
    db.connect(azienda());
    const auto t = costi::CalcolaTotali(db, 1);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->costoTempo, 30);
    EXPECT_EQ(t->coefficienti.sconto, 1);
    EXPECT_NEAR(t->prezzoScontato, t->costoTotale * 1.5 * 1.2, 1e-6);
}

TEST_F(ParametriCosti, OnAnArchiveWithoutParametersOkInsertsTheOneRow) {
    h.esegui(azienda(), {"DELETE FROM CPAR"});
    QPointer<TCParForm> f = apri<TCParForm>("ShowCParForm");
    EXPECT_EQ(f->EditCostoTempo->text(), "");
    EXPECT_EQ(f->EditCoeffRicarico->text(), "");
    f->EditCostoTempo->setText("25");
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(cpar(), QStringList{"25|0|0|0|0|0|0"});
}

TEST_F(ParametriCosti, OnlyTheFirstInvalidValueIsNamedAndNothingIsWritten) {
    const QStringList prima = cpar();
    QPointer<TCParForm> f = apri<TCParForm>("ShowCParForm");
    scrivi(f, {"abc", "1", "1", "1.5", "x", "1", "1"});
    f->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{"Attenzione: specificare un valore valido per "
                                        "\"Costo Tempo\""});
    msg->pulisci();
    f->EditCostoTempo->setText("20");
    f->ButtonOk->click();
    // a point is not a decimal separator
    EXPECT_EQ(msg->testi(), QStringList{"Attenzione: specificare un valore valido per "
                                        "\"Coeff. Ricarico\""});
    msg->pulisci();
    // nor a thousands separator: 1.500 is not a markup of 1500
    f->EditCoeffRicarico->setText("1.500");
    f->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{"Attenzione: specificare un valore valido per "
                                        "\"Coeff. Ricarico\""});
    msg->pulisci();
    f->EditCoeffRicarico->setText("1,5");
    f->EditCoeffAgente->setText("1e999");
    f->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{"Attenzione: specificare un valore valido per "
                                        "\"Coeff. Agente\""});
    EXPECT_FALSE(f.isNull());
    EXPECT_EQ(f->EditCoeffAgente->text(), "1e999");
    EXPECT_EQ(cpar(), prima);
}

TEST_F(ParametriCosti, AFailedSaveKeepsTheScreenOpenWithItsValues) {
    QPointer<TCParForm> f = apri<TCParForm>("ShowCParForm");
    f->EditCostoTempo->setText("45");
    // another user holds the row
    Database altro;
    altro.connect(azienda());
    Transaction tr(&altro);
    Query q(&altro, &tr);
    q.SQL = {"UPDATE CPAR SET COSTOTEMPO=50"};
    q.execSQL();
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_EQ(msg->testi(), QStringList{kErroreCPar});
    ASSERT_FALSE(f.isNull());
    EXPECT_EQ(f->EditCostoTempo->text(), "45");
    tr.commit();

    // once committed, the other user's row is no longer the one this screen
    // read: the retry overwrites nothing and shows it
    msg->pulisci();
    f->ButtonOk->click();
    chiudiDifferite();
    ASSERT_FALSE(f.isNull());
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(f->EditCostoTempo->text(), "50");
    EXPECT_EQ(cpar(), QStringList{"50|180000|720000|1.6|1.1|0.9|0.06"});
    msg->pulisci();
    f->EditCostoTempo->setText("45");
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(cpar(), QStringList{"45|180000|720000|1.6|1.1|0.9|0.06"});
}

// Two users on the cost parameters: the later save of a screen still showing
// what the other has replaced writes nothing and shows the row as it stands
// now; two first saves never make two rows.
TEST_F(ParametriCosti, AStaleScreenOverwritesNothingAndTwoFirstSavesMakeOneRow) {
    QPointer<TCParForm> uno = apri<TCParForm>("ShowCParForm", 1);
    QPointer<TCParForm> due = apri<TCParForm>("ShowCParForm", 2);
    EXPECT_EQ(uno->EditCoeffAgente->text(), "1,1");
    due->EditCoeffAgente->setText("1,2");
    due->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(due.isNull());
    const QStringList diDue{"32|180000|720000|1.6|1.2|0.9|0.06"};
    EXPECT_EQ(cpar(), diDue);

    // user 1 changes the markup only
    uno->EditCoeffRicarico->setText("1,7");
    uno->ButtonOk->click();
    chiudiDifferite();
    ASSERT_FALSE(uno.isNull());
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(uno->EditCoeffAgente->text(), "1,2");
    EXPECT_EQ(uno->EditCoeffRicarico->text(), "1,6");
    EXPECT_EQ(cpar(), diDue);
    // showing the row as stored, the screen saves over it
    msg->pulisci();
    uno->EditCoeffRicarico->setText("1,7");
    uno->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(uno.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(cpar(), QStringList{"32|180000|720000|1.7|1.2|0.9|0.06"});

    // two screens on an archive without parameters
    h.esegui(azienda(), {"DELETE FROM CPAR"});
    QPointer<TCParForm> tre = apri<TCParForm>("ShowCParForm", 1);
    QPointer<TCParForm> quattro = apri<TCParForm>("ShowCParForm", 2);
    tre->EditCostoTempo->setText("25");
    {
        // another first save is under way: its row waits for its commit
        Database altro;
        altro.connect(azienda());
        Transaction tr(&altro);
        Query q(&altro, &tr);
        q.SQL = {"INSERT INTO CPAR (COSTOTEMPO) VALUES (30)"};
        q.execSQL();
        tre->ButtonOk->click();
        EXPECT_EQ(msg->testi(), QStringList{kErroreCPar});
        EXPECT_EQ(tre->EditCostoTempo->text(), "25");
        tr.commit();
    }
    msg->pulisci();
    tre->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(tre->EditCostoTempo->text(), "30");
    msg->pulisci();
    quattro->EditCostoTempo->setText("40");
    quattro->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(quattro->EditCostoTempo->text(), "30");
    EXPECT_EQ(cpar(), QStringList{"30|<null>|<null>|<null>|<null>|<null>|<null>"});
}

// The coefficient dialog of a cost sheet: coefficients another user changed
// after the cost screen showed the sheet are not overwritten.
TEST_F(ParametriCosti, TheCoefficientsOfASheetChangedByAnotherUserAreNotOverwritten) {
    auto* costi = apri<TCostiForm>("ShowCostiForm");
    ASSERT_NE(costi, nullptr);
    costi->riapriSuCodice("3");
    ASSERT_EQ(costi->codiceCorrenteGriglia(), "3");
    h.esegui(azienda(), {"UPDATE COSTI SET COEFFAGENTE=1.3 WHERE CODICE=3"});
    const QString coefficienti =
        "SELECT COEFFRICARICO||'|'||COEFFAGENTE||'|'||COEFFSCONTO FROM COSTI WHERE CODICE=3";
    const QString prima = h.valore(azienda(), coefficienti);
    QString agente;
    msg->dialogo = [&](QDialog* d) {
        auto* p = d->findChild<TCParForm*>();
        if (!p) {
            return int(QDialog::Rejected);
        }
        agente = p->EditCoeffAgente->text();
        p->EditCoeffRicarico->setText("2");
        p->ButtonOk->click();
        return d->result();
    };
    costi->ButtonCoefficienti->click();
    EXPECT_EQ(agente, "0");
    EXPECT_EQ(msg->testi(),
              QStringList{"Errore interno: impossibile memorizzare i valori impostati"});
    EXPECT_EQ(h.valore(azienda(), coefficienti), prima);

    // the sheet is shown as it stands: the next dialog starts from it
    msg->pulisci();
    costi->ButtonCoefficienti->click();
    EXPECT_EQ(agente, "1,3");
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(h.valore(azienda(), "SELECT COEFFRICARICO FROM COSTI WHERE CODICE=3"), "2");
    EXPECT_EQ(h.valore(azienda(), "SELECT COEFFAGENTE FROM COSTI WHERE CODICE=3"), "1.3");
}

TEST_F(ParametriCosti, CancelClosesWithoutWriting) {
    const QStringList prima = cpar();
    QPointer<TCParForm> f = apri<TCParForm>("ShowCParForm");
    scrivi(f, {"1", "2", "3", "4", "5", "6", "7"});
    f->ButtonAnnulla->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(cpar(), prima);
}

TEST_F(ParametriCosti, AReadOnlyUserCannotSave) {
    TCParForm* f = apri<TCParForm>("ShowCParForm", 3);
    EXPECT_TRUE(f->SolaLettura);
    EXPECT_FALSE(f->ButtonOk->isEnabled());
    EXPECT_TRUE(f->ButtonAnnulla->isEnabled());
    TPrAcquaForm* a = apri<TPrAcquaForm>("ShowPrAcquaForm", 3);
    EXPECT_TRUE(a->SolaLettura);
    EXPECT_FALSE(a->ButtonOk->isEnabled());
    EXPECT_TRUE(a->ButtonAnnulla->isEnabled());
}

TEST_F(ParametriCosti, TheCoefficientDialogShowsTheSheetsThreeAndWritesNothing) {
    const QStringList prima = cpar();
    auto* s = new TTabXForm();
    s->SetUserPerNum(1);
    s->Inserisci("KDQ", "Archivio", {}, azienda(), {}, {}, {}, {}, "1");
    s->ConnettiDatabase1("Archivio");
    std::unique_ptr<TTabXForm> sessione(s);
    QWidget padre;
    auto f = std::make_unique<TCParForm>(s, &padre);
    const int altezza = f->height();
    f->ImpostaSoloCoefficienti(1.8, std::nullopt, 0);
    EXPECT_TRUE(f->SoloCoefficienti);
    EXPECT_LT(f->height(), altezza);
    EXPECT_EQ(f->EditCoeffRicarico->text(), "1,8");
    EXPECT_EQ(f->EditCoeffAgente->text(), "");
    EXPECT_EQ(f->EditCoeffSconto->text(), "0");

    // an invalid coefficient keeps the dialog open; a valid set returns OK
    int passo = 0;
    msg->dialogo = [&](QDialog* d) {
        EXPECT_TRUE(f->EditCoeffRicarico->isVisibleTo(d));
        EXPECT_FALSE(f->EditCostoTempo->isVisibleTo(d));
        EXPECT_FALSE(f->EditCoeffTrasporto->isVisibleTo(d));
        f->EditCoeffAgente->setText("1.1");
        f->ButtonOk->click();
        EXPECT_EQ(d->result(), 0);
        ++passo;
        f->EditCoeffAgente->setText("1,25");
        f->ButtonOk->click();
        return d->result();
    };
    EXPECT_EQ(f->eseguiCoefficienti(&padre), kRisultatoOK);
    EXPECT_EQ(passo, 1);
    EXPECT_EQ(msg->testi(), QStringList{"Attenzione: specificare un valore valido per "
                                        "\"Coeff. Agente\""});
    const auto c = f->Coefficienti();
    EXPECT_EQ(c[0], 1.8);
    EXPECT_EQ(c[1], 1.25);
    EXPECT_EQ(c[2], 0);
    EXPECT_EQ(cpar(), prima);

    msg->dialogo = [&](QDialog* d) {
        f->ButtonAnnulla->click();
        return d->result();
    };
    EXPECT_EQ(f->eseguiCoefficienti(&padre), kRisultatoAnnulla);
    EXPECT_EQ(cpar(), prima);
}

TEST_F(ParametriCosti, TheWaterMaterialIsShownWithItsNameAndPriceASecondAfterTyping) {
    QPointer<TPrAcquaForm> f = apri<TPrAcquaForm>("ShowPrAcquaForm");
    EXPECT_EQ(f->windowTitle(), "Impostazioni prezzo acqua addolcita - Ditta: " + kDitta);
    EXPECT_EQ(f->EditCodAcqua->text(), "MP001");
    EXPECT_EQ(f->TimerCodAcqua->interval(), 1000);
    EXPECT_TRUE(f->TimerCodAcqua->isActive());
    EXPECT_TRUE(f->EditDescrizione->isReadOnly());
    EXPECT_EQ(f->EditDescrizione->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(f->EditPrezzo->isReadOnly());
    EXPECT_EQ(f->EditCodAcqua->maxLength(), 20);
    f->TimerCodAcquaTimer();
    EXPECT_FALSE(f->TimerCodAcqua->isActive());
    EXPECT_EQ(f->EditDescrizione->text(), "Acqua addolcita");
    EXPECT_EQ(f->EditPrezzo->text(), "0,004");

    // another user changes the price: the next look-up shows it
    h.esegui(azienda(), {"UPDATE MATER SET PREZZO=0.0045 WHERE CODICE='MP002'"});
    f->EditCodAcqua->setText("MP002");
    EXPECT_EQ(f->EditDescrizione->text(), "");
    EXPECT_EQ(f->EditPrezzo->text(), "");
    EXPECT_TRUE(f->TimerCodAcqua->isActive());
    f->TimerCodAcquaTimer();
    EXPECT_EQ(f->EditDescrizione->text(), "Sodio lauriletere solfato 70%");
    EXPECT_EQ(f->EditPrezzo->text(), "0,0045");

    f->EditCodAcqua->setText("NESSUNA");
    f->TimerCodAcquaTimer();
    EXPECT_EQ(f->EditDescrizione->text(), "");
    EXPECT_EQ(f->EditPrezzo->text(), "");
    // an unknown code is refused and nothing is written
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_EQ(msg->testi(),
              QStringList{"Attenzione: il codice impostato non è presente in archivio"});
    ASSERT_FALSE(f.isNull());
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP001");

    f->EditCodAcqua->setText("MP002");
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP002");
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM PRACQUA"), 1);
}

TEST_F(ParametriCosti, AnEmptyWaterCodeClearsTheRowOrWritesNothingWithoutOne) {
    QPointer<TPrAcquaForm> f = apri<TPrAcquaForm>("ShowPrAcquaForm");
    f->EditCodAcqua->clear();
    f->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM PRACQUA WHERE CODICEMATERIAPRIMA IS NULL"),
              1);

    h.esegui(azienda(), {"DELETE FROM PRACQUA"});
    QPointer<TPrAcquaForm> g = apri<TPrAcquaForm>("ShowPrAcquaForm");
    EXPECT_EQ(g->EditCodAcqua->text(), "");
    g->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(g.isNull());
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM PRACQUA"), 0);

    // the first choice inserts the row; Cancel writes nothing
    QPointer<TPrAcquaForm> n = apri<TPrAcquaForm>("ShowPrAcquaForm");
    n->EditCodAcqua->setText("MP001");
    n->ButtonOk->click();
    chiudiDifferite();
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP001");
    QPointer<TPrAcquaForm> c = apri<TPrAcquaForm>("ShowPrAcquaForm");
    c->EditCodAcqua->setText("MP002");
    c->ButtonAnnulla->click();
    chiudiDifferite();
    EXPECT_TRUE(c.isNull());
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP001");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(ParametriCosti, TheWaterLookUpTakesTheMaterialChosenInTheCard) {
    QPointer<TPrAcquaForm> f = apri<TPrAcquaForm>("ShowPrAcquaForm");
    msg->dialogo = [](QDialog* d) {
        auto* m = d->findChild<TMaterForm*>();
        EXPECT_NE(m, nullptr);
        if (!m) {
            return 0;
        }
        EXPECT_TRUE(m->ComeRicerca);
        m->riapriSuCodice("MP005");
        m->chiudiRicerca(true);
        return d->result();
    };
    f->ButtonCodAcqua->click();
    EXPECT_EQ(f->EditCodAcqua->text(), "MP005");

    msg->dialogo = [](QDialog*) { return kRisultatoAnnulla; };
    f->ButtonCodAcqua->click();
    EXPECT_EQ(f->EditCodAcqua->text(), "MP005");
}

// Two users choosing the softened water: a stale screen overwrites nothing,
// first choices at once make one row, and a save on an older archive with
// more rows leaves one, which the formulations price water from again.
TEST_F(ParametriCosti, TheWaterOfAStaleScreenIsNotSavedAndOneRowIsKept) {
    QPointer<TPrAcquaForm> uno = apri<TPrAcquaForm>("ShowPrAcquaForm", 1);
    QPointer<TPrAcquaForm> due = apri<TPrAcquaForm>("ShowPrAcquaForm", 2);
    due->EditCodAcqua->setText("MP002");
    due->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(due.isNull());
    uno->EditCodAcqua->setText("MP005");
    uno->ButtonOk->click();
    chiudiDifferite();
    ASSERT_FALSE(uno.isNull());
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(uno->EditCodAcqua->text(), "MP002");
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP002");
    msg->pulisci();
    uno->EditCodAcqua->setText("MP005");
    uno->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(uno.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP005");

    // first choices: one committed before, one still pending
    h.esegui(azienda(), {"DELETE FROM PRACQUA"});
    QPointer<TPrAcquaForm> tre = apri<TPrAcquaForm>("ShowPrAcquaForm", 1);
    QPointer<TPrAcquaForm> quattro = apri<TPrAcquaForm>("ShowPrAcquaForm", 2);
    tre->EditCodAcqua->setText("MP001");
    tre->ButtonOk->click();
    quattro->EditCodAcqua->setText("MP002");
    quattro->ButtonOk->click();
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(quattro->EditCodAcqua->text(), "MP001");
    quattro->close();
    h.esegui(azienda(), {"DELETE FROM PRACQUA"});
    msg->pulisci();
    QPointer<TPrAcquaForm> cinque = apri<TPrAcquaForm>("ShowPrAcquaForm", 1);
    {
        Database altro;
        altro.connect(azienda());
        Transaction tr(&altro);
        Query q(&altro, &tr);
        q.SQL = {"INSERT INTO PRACQUA VALUES ('MP001')"};
        q.execSQL();
        cinque->EditCodAcqua->setText("MP002");
        cinque->ButtonOk->click();
        EXPECT_EQ(msg->testi(), QStringList{"Errore interno: impossibile salvare le modifiche"});
        tr.commit();
    }
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM PRACQUA"), 1);
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP001");

    // an archive made before the one-row index, holding two rows: no water
    // price for the formulations until a save leaves one row
    h.esegui(azienda(), {"DROP INDEX PRACQUA_UNA_RIGA"});
    h.esegui(azienda(), {"INSERT INTO PRACQUA VALUES ('MP005')"});
    auto prezzoAcqua = [this] {
        auto* f = apri<TFormulForm>("ShowFormulForm");
        const double p = f ? f->PrezzoAcquaAddolcita : -1;
        if (f) {
            f->close();
        }
        chiudiDifferite();
        return p;
    };
    EXPECT_EQ(prezzoAcqua(), 0);
    QPointer<TPrAcquaForm> sei = apri<TPrAcquaForm>("ShowPrAcquaForm", 1);
    EXPECT_EQ(sei->EditCodAcqua->text(), "MP001") << "the first row";
    sei->EditCodAcqua->setText("MP002");
    sei->ButtonOk->click();
    chiudiDifferite();
    EXPECT_TRUE(sei.isNull());
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM PRACQUA"), 1);
    EXPECT_EQ(h.valore(azienda(), "SELECT CODICEMATERIAPRIMA FROM PRACQUA"), "MP002");
    EXPECT_EQ(prezzoAcqua(),
              h.valore(azienda(), "SELECT PREZZO FROM MATER WHERE CODICE='MP002'").toDouble());
    EXPECT_EQ(msg->testi(), QStringList{"Errore interno: impossibile salvare le modifiche"});
}
