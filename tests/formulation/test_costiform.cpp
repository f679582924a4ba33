// The cost-analysis screen on the demo archive: a new sheet through its
// dialog, recalculation after a price change, sheets deleted with their
// links, secondary sheets linked and removed, the selling prices shown, and
// a quantity of 0 that never divides.
#include "formulation/costiform.h"
#include "formulation/cpar.h"
#include "formulation/formul.h"
#include "formulation/incostiform.h"
#include "session/formati.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cmath>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

struct Costi : prova::ConScheda {
    TCostiForm* f = nullptr;

    void SetUp() override {
        f = apri<TCostiForm>("ShowCostiForm");
        ASSERT_NE(f, nullptr);
    }
    double colonna(int scheda, const char* nome) {
        return valore(QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2")
                          .arg(QString::fromLatin1(nome))
                          .arg(scheda))
            .toDouble();
    }
    void esegui(const QStringList& frasi) { h.esegui(az(), frasi); }
    // The dialogs answered in turn by these handlers.
    void dialoghi(std::vector<std::function<int(QDialog*)>> gestori) {
        auto coda = std::make_shared<std::deque<std::function<int(QDialog*)>>>(gestori.begin(),
                                                                               gestori.end());
        msg->dialogo = [coda](QDialog* d) -> int {
            if (coda->empty()) {
                return QDialog::Rejected;
            }
            auto g = coda->front();
            coda->pop_front();
            return g(d);
        };
    }
    // The input dialog of a field answered with this text.
    static std::function<int(QDialog*)> digita(const QString& testo, QString* proposto = nullptr) {
        return [testo, proposto](QDialog* d) -> int {
            auto* k = qobject_cast<TKyvIn1Form*>(d);
            if (!k) {
                return QDialog::Rejected;
            }
            if (proposto) {
                *proposto = k->Edit1->text();
            }
            k->Edit1->setText(testo);
            k->OKBtn->click();
            return k->result();
        };
    }
};

} // namespace

TEST(TempoPerScaglioni, DividesByTheQuantityOfItsBracketAndNeverByZero) {
    EXPECT_DOUBLE_EQ(*tempoPerScaglioni(500, 100, 1000, 100, 250, 400), 0.5);
    EXPECT_DOUBLE_EQ(*tempoPerScaglioni(100, 100, 1000, 100, 250, 400), 1);
    EXPECT_DOUBLE_EQ(*tempoPerScaglioni(2000, 100, 1000, 100, 250, 400), 0.2);
    // six decimals kept, not two: 1 / 3000 is 0,000333
    EXPECT_DOUBLE_EQ(*tempoPerScaglioni(3000, 100, 1000, 1, 1, 1), 0.000333);
    EXPECT_FALSE(tempoPerScaglioni(0, 100, 1000, 100, 250, 400));
    EXPECT_FALSE(tempoPerScaglioni(-5, 100, 1000, 100, 250, 400));
}

TEST_F(Costi, ANewSheetForADemoProductIsStoredWithItsFiguresAndShown) {
    esegui({QStringLiteral("UPDATE PRODOT SET SCAGLIONE1=100,SCAGLIONE2=1000,TEMPO1=100,"
                           "TEMPO2=250,TEMPO3=400 WHERE CODICE='FM002'")});
    QString riempitrice;
    dialoghi({[&](QDialog* d) -> int {
        auto* n = qobject_cast<TInCostiForm*>(d);
        if (!n) {
            return QDialog::Rejected;
        }
        n->EditDescrizione->setText(QStringLiteral("Piatti 5 L d'estate"));
        n->EditCodiceProdotto->setText(QStringLiteral("FM002"));
        n->leggiProdotto();
        EXPECT_EQ(n->StaticDescrizioneProdotto->text(), "Piatti Limone 5 L");
        // letters are not taken by the quantity
        QTest::keyClicks(n->EditQuantitaDaProdurre, QStringLiteral("5x0a0"));
        EXPECT_EQ(n->EditQuantitaDaProdurre->text(), "500");
        n->EditTempoAvvio->setText(QStringLiteral("1"));
        n->EditTempoControlloQualita->setText(QStringLiteral("0,5"));
        // the packaging time from the product's brackets: 250 / 500
        msg->risposte = {QStringLiteral("Sì")};
        n->ButtonTempoConfezionamento->click();
        EXPECT_EQ(n->EditTempoConfezionamento->text(), "0,5");
        n->ComboRiempitrice->setCurrentIndex(1);
        riempitrice = n->codiceRiempitrice();
        n->OKBtn->click();
        return n->result();
    }});
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Assegno il tempo in base agli scaglioni quantità?"});
    // demo sheets 1…3: the next is 4
    ASSERT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=4"), 1);
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM COSTI WHERE CODICE=4"),
              QStringLiteral("Piatti 5 L d") + QChar(0xB4) + QStringLiteral("estate"));
    EXPECT_EQ(valore("SELECT CODICEPRODOTTO FROM COSTI WHERE CODICE=4"), "FM002");
    EXPECT_EQ(valore("SELECT CODICERIEMPITRICE FROM COSTI WHERE CODICE=4"), riempitrice);
    EXPECT_EQ(colonna(4, "TEMPOCONFEZ"), 0.5);
    EXPECT_EQ(valore("SELECT TEMPOPRODUZIONE FROM COSTI WHERE CODICE=4"), "");
    EXPECT_EQ(valore("SELECT TIPOSCHEDA FROM COSTI WHERE CODICE=4"), "0");
    // CM = (1 + 0,5 × 500 + 0,5) × 32
    EXPECT_NEAR(colonna(4, "COSTOMANODOPERA"), 8048, 1e-9);
    EXPECT_GT(colonna(4, "COSTOMATERIALI"), 0);
    EXPECT_GT(colonna(4, "PREZZOBASE"), 0);
    // shown at once on the new sheet
    EXPECT_EQ(f->EditCodice->text(), "4");
    EXPECT_EQ(f->campo("COSTOMANODOPERA")->text(), "8.048,0000");
    EXPECT_EQ(f->StaticTipoScheda->text(), "PRIMARIA");
    EXPECT_FALSE(f->EditPrezzoFinale->text().isEmpty());
    EXPECT_FALSE(f->EditCostoBaseUnitario->text().isEmpty());
}

TEST_F(Costi, ARawMaterialPriceChangeReachesTheSheetOnCalcola) {
    riga(f, "1");
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    const double prima = colonna(1, "COSTOMATERIALI");
    const QString testoPrima = f->campo("COSTOMATERIALI")->text();
    // MP002 is 12 % of FM001: one more per kilogram adds 0,12
    esegui({QStringLiteral("UPDATE MATER SET PREZZO=PREZZO+1 WHERE CODICE='MP002'")});
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_NEAR(colonna(1, "COSTOMATERIALI"), prima + 0.12, 1e-9);
    EXPECT_NE(f->campo("COSTOMATERIALI")->text(), testoPrima);
    EXPECT_EQ(f->campo("COSTOMATERIALI")->text(),
              Formati::numeroInTesto(costi::ArrotondaDecimali(prima + 0.12, 4), 4)); // read again
}

TEST_F(Costi, AQuantityOfZeroNeverDivides) {
    riga(f, "1");
    QString proposto;
    dialoghi({digita(QStringLiteral("0"), &proposto)});
    f->pulsante("QUANTITADAPRODURRE")->click();
    EXPECT_EQ(proposto, "2000"); // the stored value, not the grouped one
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(colonna(1, "QUANTITADAPRODURRE"), 0);
    for (const char* c : {"COSTOAVVIOUNITARIO", "COSTOCONTROLLOQUALUNIT", "COSTOBASE"}) {
        EXPECT_TRUE(std::isfinite(colonna(1, c))) << c;
    }
    EXPECT_EQ(colonna(1, "COSTOAVVIOUNITARIO"), 0);
    f->aggiornaVista();
    EXPECT_EQ(f->EditPrezzoFinale->text(), "0");
    EXPECT_EQ(f->EditCostoBaseUnitario->text(), ""); // no TU without a quantity
    EXPECT_EQ(f->EditCostoTrasportoUnitario->text(), "");
}

TEST_F(Costi, TimeEditsShowAndStoreTheirDecimals) {
    riga(f, "1");
    EXPECT_EQ(f->campo("TEMPOPRODUZIONE")->text(), "0,0012");
    QString proposto;
    dialoghi({digita(QStringLiteral("0,002"), &proposto)});
    f->pulsante("TEMPOPRODUZIONE")->click();
    EXPECT_EQ(proposto, "0,0012");
    EXPECT_EQ(colonna(1, "TEMPOPRODUZIONE"), 0.002);
    EXPECT_EQ(f->campo("TEMPOPRODUZIONE")->text(), "0,002");
    // the same value again: nothing written, nothing recalculated
    esegui({QStringLiteral("UPDATE COSTI SET DATAULTIMAMODIFICA=NULL WHERE CODICE=1")});
    dialoghi({digita(QStringLiteral("0,0020"))});
    f->pulsante("TEMPOPRODUZIONE")->click();
    EXPECT_EQ(valore("SELECT DATAULTIMAMODIFICA FROM COSTI WHERE CODICE=1"), "");
    // a text that is not a number is refused before the update
    dialoghi({digita(QStringLiteral("abc"))});
    f->pulsante("TEMPOPRODUZIONE")->click();
    EXPECT_EQ(colonna(1, "TEMPOPRODUZIONE"), 0.002);
    ASSERT_EQ(msg->testi().size(), 1);
    // the description: written with its apostrophe replaced, not recalculated
    dialoghi({digita(QStringLiteral("Piatti l'altro"))});
    f->pulsante("DESCRIZIONE")->click();
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM COSTI WHERE CODICE=1"),
              QStringLiteral("Piatti l") + QChar(0xB4) + QStringLiteral("altro"));
    EXPECT_EQ(valore("SELECT DATAULTIMAMODIFICA FROM COSTI WHERE CODICE=1"), "");
}

TEST_F(Costi, DeletingASheetTakesItsLinksBothWaysAndRepricesItsPrimaries) {
    esegui({QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,CODICESCHEDASECONDARIA,"
                           "COLLEGAMENTO) VALUES (3,2,1)")});
    for (const char* c : {"2", "3"}) {
        riga(f, c);
        msg->risposte = {QStringLiteral("Sì")};
        f->ButtonCalcola->click();
    }
    const double conSecondaria = colonna(3, "COSTOBASE");
    const double baseSecondaria = colonna(2, "COSTOBASE");
    ASSERT_GT(baseSecondaria, 0);
    riga(f, "2");
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=2"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDASECONDARIA=2"), 0);
    EXPECT_NEAR(colonna(3, "COSTOBASE"), conSecondaria - baseSecondaria, 1e-6);
    // and a primary sheet takes its own links with it
    riga(f, "3");
    esegui({QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA) VALUES (7,1)"),
            QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,CODICESCHEDASECONDARIA,"
                           "COLLEGAMENTO) VALUES (3,7,1)")});
    f->rileggi("3");
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDAPRIMARIA=3"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=3"), 0);
    EXPECT_TRUE(msg->testi().filter("Errore").isEmpty()) << msg->testi().join('|').toStdString();
}

TEST_F(Costi, ASecondarySheetAddedOrRemovedRepricesThePrimary) {
    for (const char* c : {"2", "3"}) {
        riga(f, c);
        msg->risposte = {QStringLiteral("Sì")};
        f->ButtonCalcola->click();
    }
    msg->pulisci();
    const double senza = colonna(3, "COSTOBASE");
    const double base2 = colonna(2, "COSTOBASE");
    f->mostraPagina(TCostiForm::SchedeSecondarie);
    EXPECT_EQ(f->GridSchede->modello()->rowCount(), 0);
    dialoghi({[](QDialog* d) -> int {
        auto* r = qobject_cast<TRSchedeForm*>(d);
        if (!r) {
            return QDialog::Rejected;
        }
        r->ButtonRicercaRitorna->click();
        return r->result();
    }});
    f->ButtonAggiungiSchede->click();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDAPRIMARIA=3"), 1);
    EXPECT_NEAR(colonna(3, "COSTOBASE"), senza + base2, 1e-6);
    EXPECT_EQ(f->GridSchede->modello()->rowCount(), 1);
    EXPECT_EQ(f->EditTotCostiBase->text(), costi::testoPrezzo(base2));
    // linking it twice fails on the key and changes nothing
    dialoghi({[](QDialog* d) -> int {
        auto* r = qobject_cast<TRSchedeForm*>(d);
        r->ButtonRicercaRitorna->click();
        return r->result();
    }});
    f->ButtonAggiungiSchede->click();
    EXPECT_EQ(msg->testi(), QStringList{"Errore interno: impossibile inserire un nuovo record"});
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonTogliSchede->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDAPRIMARIA=3"), 0);
    EXPECT_NEAR(colonna(3, "COSTOBASE"), senza, 1e-6);
    EXPECT_EQ(f->GridSchede->modello()->rowCount(), 0);
    f->ButtonTogliSchede->click();
    EXPECT_EQ(msg->testi().back(), "Nessuna scheda presente");
}

TEST_F(Costi, APricePerLitreAndPerPackageAreShownFromTheStoredBasePrice) {
    // 2981,25 / 1000 × 1,2 = 3,5775 per litre; × 5 = 17,8875 per package
    esegui({QStringLiteral("UPDATE FORMUL SET DENSITA=1.2 WHERE CODICE=4"),
            QStringLiteral("UPDATE PRODOT SET UNITAVENDITA='Litro',MODBUSTA='0',DIVISORE1=5 "
                           "WHERE CODICE='FM005'"),
            QStringLiteral("UPDATE COSTI SET PREZZOBASE=2981.25,QUANTITADAPRODURRE=1000 "
                           "WHERE CODICE=3")});
    riga(f, "3");
    f->leggiProdotto();
    f->aggiornaVista();
    EXPECT_EQ(f->ButtonPrezzoFinale->text(), "Prezzo al Litro");
    EXPECT_EQ(f->EditPrezzoFinale->text(), "3,58");
    EXPECT_EQ(f->EditPrezzoPerConfezione->text(), "17,89");
    // the caption follows the unit of sale of the sheet's product
    esegui({QStringLiteral("UPDATE PRODOT SET UNITAVENDITA='Kg' WHERE CODICE='FM005'")});
    f->leggiProdotto();
    EXPECT_EQ(f->ButtonPrezzoFinale->text(), "Prezzo al Kg");
    esegui({QStringLiteral("UPDATE PRODOT SET UNITAVENDITA='Pezzi' WHERE CODICE='FM005'")});
    f->leggiProdotto();
    EXPECT_EQ(f->ButtonPrezzoFinale->text(), "Prezzo al Kg/al litro");
    esegui({QStringLiteral("UPDATE PRODOT SET UNITAVENDITA='Litro' WHERE CODICE='FM005'")});
    f->leggiProdotto();
    // prices belong to "Pagina 1" only
    f->mostraPagina(TCostiForm::SchedeSecondarie);
    f->aggiornaVista();
    EXPECT_EQ(f->EditPrezzoFinale->text(), "");
}

TEST_F(Costi, AStalePackagingCostRaisesTheWarningUntilRecalculated) {
    riga(f, "1");
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_FALSE(f->LabelAvviso->isVisibleTo(f));
    esegui({QStringLiteral("UPDATE COSTI SET COSTOCONTENITORE=COSTOCONTENITORE+0.02 "
                           "WHERE CODICE=1")});
    f->rileggi("1");
    f->aggiornaVista();
    EXPECT_TRUE(f->LabelAvviso->isVisibleTo(f));
    EXPECT_TRUE(f->ImageAvviso->isVisibleTo(f));
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_FALSE(f->LabelAvviso->isVisibleTo(f));
}

TEST_F(Costi, EveryChoiceOfTheSheetIsWrittenAndRecalculated) {
    riga(f, "1");
    // calculation type T 1: the product's own cost leaves T
    dialoghi({[](QDialog* d) -> int {
        auto* t = qobject_cast<TCostiTipoCalcoloTForm*>(d);
        EXPECT_EQ(t->indice(), 0);
        t->Radio->button(1)->click();
        t->OKBtn->click();
        return t->result();
    }});
    f->ButtonTipoCalcT->click();
    EXPECT_EQ(valore("SELECT TIPOCOMPOSIZIONE FROM COSTI WHERE CODICE=1"), "1");
    EXPECT_NEAR(colonna(1, "COSTOBASE"), colonna(1, "COSTOMANODOPERA") + colonna(2, "COSTOBASE"),
                1e-6);
    EXPECT_TRUE(f->RadioTipoCalcT[1]->isChecked());
    // the other prices: asked, written, shown
    EXPECT_TRUE(f->CheckMostraPrezzi->isChecked());
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonMostraPrezzi->click();
    EXPECT_EQ(msg->testi().back(), "Togliere il check per mostrare gli altri prezzi?");
    EXPECT_EQ(valore("SELECT TIPOCALCOLOPREZZO FROM COSTI WHERE CODICE=1"), "0");
    EXPECT_FALSE(f->CheckMostraPrezzi->isChecked());
    EXPECT_FALSE(f->campo("PREZZOSCONTATO")->isVisibleTo(f));
    // the sheet's own markup
    dialoghi({[](QDialog* d) -> int {
        auto* p = d->findChild<TCParForm*>();
        if (!p) {
            return QDialog::Rejected;
        }
        p->EditCoeffRicarico->setText(QStringLiteral("2"));
        p->ButtonOk->click();
        return d->result();
    }});
    f->ButtonCoefficienti->click();
    EXPECT_EQ(colonna(1, "COEFFRICARICO"), 2);
    EXPECT_NEAR(colonna(1, "PREZZOBASE"), colonna(1, "COSTOTOTALE") * 2, 1e-6);
    // a secondary sheet hides the prices and cannot reach its secondary sheets
    riga(f, "2");
    EXPECT_EQ(f->StaticTipoScheda->text(), "SECONDARIA");
    EXPECT_FALSE(f->campo("PREZZOBASE")->isVisibleTo(f));
    EXPECT_FALSE(f->TabSet->isTabEnabled(TCostiForm::SchedeSecondarie));
    // nor is it shown when the list moves onto one from that page
    riga(f, "1");
    f->mostraPagina(TCostiForm::SchedeSecondarie);
    EXPECT_EQ(f->GridSchede->modello()->rowCount(), 1);
    riga(f, "2");
    EXPECT_EQ(f->paginaCorrente(), TCostiForm::Pagina1);
}

TEST_F(Costi, TheRawMaterialCostOpensTheProductsFormulationToLookAtOnly) {
    riga(f, "1");
    bool visto = false;
    dialoghi({[&](QDialog* d) -> int {
        auto* c = d->findChild<TFormulForm*>();
        if (!c) {
            return QDialog::Rejected;
        }
        visto = true;
        EXPECT_EQ(c->codiceCorrenteGriglia(), "1"); // FM001's formulation
        EXPECT_EQ(c->paginaCorrente(), 1);
        EXPECT_FALSE(c->TabSet->isEnabled());
        EXPECT_FALSE(c->Griglia->isEnabled());
        EXPECT_FALSE(c->PaginaComponenti->ButtonNuovo->isEnabled());
        EXPECT_FALSE(c->PaginaComponenti->ButtonEdit->isEnabled());
        EXPECT_FALSE(c->PaginaComponenti->ButtonElimina->isEnabled());
        c->PaginaComponenti->ButtonChiudi->click();
        return d->result();
    }});
    f->pulsante("COSTORAWMATER")->click();
    EXPECT_TRUE(visto);
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    // a sheet without a product
    esegui({QStringLiteral("UPDATE COSTI SET CODICEPRODOTTO=NULL WHERE CODICE=2")});
    f->rileggi("2");
    f->pulsante("COSTORAWMATER")->click();
    EXPECT_EQ(msg->testi(), QStringList{"Non è specificato nessun codice prodotto"});
}

TEST_F(Costi, TheSearchPageNarrowsTheSheetsByCodeAndDescription) {
    f->ButtonRicerche->click();
    EXPECT_EQ(f->paginaCorrente(), TCostiForm::Ricerche);
    // a quote, an accent or a euro sign looked for in a number: nothing found, no error
    f->campoRicerca("EditRicercaCodice")->setText(QStringLiteral("l'à€"));
    f->ButtonRicercaAttivaSel->click();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(f->Griglia->modello()->rowCount(), 0);
    f->campoRicerca("EditRicercaCodice")->clear();
    f->campoRicerca("EditRicercaNome")->setText(QStringLiteral("candeggina"));
    f->ButtonRicercaAttivaSel->click();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(f->Griglia->modello()->rowCount(), 1);
    EXPECT_EQ(f->codiceCorrenteGriglia(), "3");
    f->campoRicerca("EditRicercaNome")->clear();
    f->campoRicerca("EditRicercaCodice")->setText(QStringLiteral("2"));
    f->ButtonRicercaAttivaSel->click();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(f->codiceCorrenteGriglia(), "2");
    f->ButtonRicercaRitorna->click();
    EXPECT_EQ(f->paginaCorrente(), TCostiForm::Pagina1);
    EXPECT_EQ(f->EditCodice->text(), "2");
}

TEST_F(Costi, AReadOnlyUserChangesNothing) {
    auto* r = dynamic_cast<TCostiForm*>(
        LanciaSchermata(*trovaSchermata("ShowCostiForm"), 3, std::nullopt));
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->SolaLettura);
    for (QPushButton* b : {r->ButtonNuovo, r->ButtonElimina, r->ButtonCalcola, r->ButtonTipoCalcT,
                           r->ButtonTipoCalcTU, r->ButtonMostraPrezzi, r->ButtonCoefficienti,
                           r->pulsante("DESCRIZIONE"), r->pulsante("CODICEPRODOTTO"),
                           r->pulsante("QUANTITADAPRODURRE"), r->pulsante("TEMPOCONFEZ")}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    }
    EXPECT_TRUE(r->ButtonChiudi->isEnabled());
    EXPECT_TRUE(r->ButtonRicerche->isEnabled());
    EXPECT_TRUE(r->pulsante("COSTOCONTENITORE")->isEnabled()); // explanations stay
    r->mostraPagina(TCostiForm::SchedeSecondarie);
    EXPECT_FALSE(r->ButtonAggiungiSchede->isEnabled());
    EXPECT_FALSE(r->ButtonTogliSchede->isEnabled());
    EXPECT_TRUE(r->ButtonChiudiSchede->isEnabled());
}

// Archives kept the links of sheets deleted before the links went with
// them: such a link can be taken off, and a new sheet taking a code one of
// them names starts without it.
TEST_F(Costi, LinksLeftByOlderDeletionsNeitherStickNorJoinANewSheet) {
    esegui({QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,CODICESCHEDASECONDARIA,"
                           "COLLEGAMENTO) VALUES (3,9,1)"),
            QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,CODICESCHEDASECONDARIA,"
                           "COLLEGAMENTO) VALUES (1,4,1)")});
    f->rileggi("3");
    f->mostraPagina(TCostiForm::SchedeSecondarie);
    ASSERT_EQ(f->GridSchede->modello()->rowCount(), 1);
    EXPECT_EQ(f->GridSchede->campoCorrente(QStringLiteral("CODICE")).asString(), "9");
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonTogliSchede->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDAPRIMARIA=3"), 0);
    EXPECT_TRUE(msg->testi().filter("Errore").isEmpty()) << msg->testi().join('|').toStdString();

    // the next sheet is 4, which an old link under sheet 1 still names
    f->mostraPagina(TCostiForm::Pagina1);
    dialoghi({[](QDialog* d) -> int {
        auto* n = qobject_cast<TInCostiForm*>(d);
        if (!n) {
            return QDialog::Rejected;
        }
        n->EditDescrizione->setText(QStringLiteral("Nuova"));
        n->EditQuantitaDaProdurre->setText(QStringLiteral("100"));
        // the packaging time takes digits and the comma only
        QTest::keyClicks(n->EditTempoConfezionamento, QStringLiteral("0.5x"));
        EXPECT_EQ(n->EditTempoConfezionamento->text(), "05");
        n->EditTempoConfezionamento->setText(QStringLiteral("0,5"));
        n->OKBtn->click();
        return n->result();
    }});
    f->ButtonNuovo->click();
    ASSERT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=4"), 1);
    EXPECT_EQ(colonna(4, "TEMPOCONFEZ"), 0.5);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDASECONDARIA=4"), 0);
}

TEST_F(Costi, CalcolaOnASheetAnotherUserDeletedSaysSoAndAPointIsNoSeparator) {
    riga(f, "3");
    esegui({QStringLiteral("DELETE FROM COSTI WHERE CODICE=3")});
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_TRUE(
        msg->testi().contains("Il record selezionato è già stato cancellato da un altro utente"))
        << msg->testi().join('|').toStdString();

    // 1.500 typed as a quantity is refused, not read as 1500
    riga(f, "1");
    msg->pulisci();
    const double prima = colonna(1, "QUANTITADAPRODURRE");
    dialoghi({digita(QStringLiteral("1.500"))});
    f->ButtonCampoClick(QStringLiteral("QUANTITADAPRODURRE"));
    EXPECT_EQ(msg->testi(),
              QStringList{"Specificare un valore numerico valido per \"Quantita Da Produrre\""});
    EXPECT_EQ(colonna(1, "QUANTITADAPRODURRE"), prima);
}

// A sheet whose product, or a material or packaging item the product is made
// and packed with, is no longer in the archive is not priced at 0: Calcola
// names what is gone and the sheet keeps every figure and date it stored.
TEST_F(Costi, CalcolaThatMeetsWhatIsGoneNamesItAndLeavesTheSheetAsStored) {
    for (const char* c : {"1", "3"}) {
        riga(f, c);
        msg->risposte = {QStringLiteral("Sì")};
        f->ButtonCalcola->click();
    }
    esegui({QStringLiteral("UPDATE COSTI SET DATAULTIMAMODIFICA='2020-01-02'")});
    auto memorizzata = [this](int n) {
        QStringList r;
        for (const char* c : {"COSTOMATERIALI", "COSTOBASE", "COSTOTOTALE", "PREZZOSCONTATO",
                              "COSTORAWMATER", "COSTOCONTENITORE", "DATAULTIMAMODIFICA"}) {
            r << valore(QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2")
                            .arg(QString::fromLatin1(c))
                            .arg(n));
        }
        return r;
    };
    const QStringList prima1 = memorizzata(1);
    const QStringList prima3 = memorizzata(3);
    ASSERT_NE(colonna(3, "COSTOMATERIALI"), 0);
    ASSERT_NE(colonna(1, "COSTOCONTENITORE"), 0);

    // the product of sheet 3 deleted by another user
    esegui({QStringLiteral("DELETE FROM PRODOT WHERE CODICE='FM005'")});
    riga(f, "3");
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    ASSERT_EQ(msg->mostrati.size(), 2u) << msg->testi().join('|').toStdString();
    EXPECT_EQ(msg->mostrati[1].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(msg->mostrati[1].testo,
              "Il prodotto FM005 non esiste più: la scheda 3 non è stata ricalcolata.");
    EXPECT_EQ(memorizzata(3), prima3);
    EXPECT_EQ(f->codiceCorrenteGriglia(), "3");

    // a material of FM001's formulation, then its cap too
    esegui({QStringLiteral("DELETE FROM MATER WHERE CODICE='MP005'")});
    riga(f, "1");
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Effettuare un ricalcolo?",
                           "La materia prima MP005 della formulazione 1 non esiste più: la "
                           "scheda 1 non è stata ricalcolata."}));
    EXPECT_EQ(memorizzata(1), prima1);
    esegui({QStringLiteral("DELETE FROM IMBALLI WHERE CODICE='IT001'"),
            QStringLiteral("DELETE FROM MATER WHERE CODICE='MP018'")});
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonCalcola->click();
    EXPECT_EQ(msg->testi().value(1),
              "Le materie prime MP005 e MP018 della formulazione 1 non esistono più.\r\n"
              "L'imballo IT001 (Tappo) del prodotto FM001 non esiste più.\r\n"
              "La scheda 1 non è stata ricalcolata.");
    EXPECT_EQ(memorizzata(1), prima1);
}
