// The cost-analysis screen on the demo archive, figure by figure: a sheet
// priced from known parameters, times and product costs down to its three
// prices and unit labour costs, as stored and as shown; the codes of new
// sheets; the base cost of a labour-only sheet once its last secondary sheet
// goes; the caption of the base cost for each kind of sheet; and the agent
// and discounted prices kept up to date while they are hidden.
#include "formulation/costiform.h"
#include "formulation/incostiform.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <deque>
#include <functional>
#include <memory>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kBasePrimaria =
    QStringLiteral("= CM + ( CUP x QP ) + costi T delle schede secondarie");
const QString kBaseSoloSecondarie = QStringLiteral("= CM + costi T delle schede secondarie");
const QString kBaseSecondaria = QStringLiteral("= CM + (CUP x QP)");

// The screen is opened by each test once the archive is as it needs it.
struct Esempi : prova::ConScheda {
    TCostiForm* f = nullptr;

    void apriSchermata() {
        f = apri<TCostiForm>("ShowCostiForm");
        ASSERT_NE(f, nullptr);
    }
    void esegui(const QStringList& frasi) { h.esegui(az(), frasi); }
    double colonna(int scheda, const char* nome) {
        return valore(QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2")
                          .arg(QString::fromLatin1(nome))
                          .arg(scheda))
            .toDouble();
    }
    QString testoColonna(int scheda, const char* nome) {
        return valore(QStringLiteral("SELECT %1 FROM COSTI WHERE CODICE=%2")
                          .arg(QString::fromLatin1(nome))
                          .arg(scheda));
    }
    QString mostrato(const char* colonna) { return f->campo(QString::fromLatin1(colonna))->text(); }
    void calcola(const QString& codice) {
        riga(f, codice);
        msg->risposte = {QStringLiteral("Sì")};
        f->ButtonCalcola->click();
    }
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
    // "&Nuovo" confirmed with just a description.
    void nuovaScheda(const QString& descrizione) {
        dialoghi({[descrizione](QDialog* d) -> int {
            auto* n = qobject_cast<TInCostiForm*>(d);
            if (!n) {
                return QDialog::Rejected;
            }
            n->EditDescrizione->setText(descrizione);
            n->OKBtn->click();
            return n->result();
        }});
        f->ButtonNuovo->click();
    }
    // A figure as the page shows it ("1.234,5678"), read back.
    static double letto(QString t) {
        t.remove('.');
        t.replace(',', '.');
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok ? v : -1;
    }
    QString errori() { return msg->testi().filter(QStringLiteral("Errore")).join('|'); }
};

} // namespace

// ------------------------------------------------------------------ the worked example

// CPAR: CostoTempo 20, CGA 100000, CBA 400000, Trasporto 0,05, CR 1,5, CA 1,1,
// CS 0,9. A product whose formulation costs 1 at today's prices (60 % at 1,5
// and 40 % at 0,25) in a container of 0,15 with a cap of 0,05, one to a
// package: CUP 1,2. QP 1000, TP 0,002, TCF 0,001, TA 1, TQ 0,5, no
// coefficients of its own, one secondary sheet whose stored T is 300.
TEST_F(Esempi, APrimarySheetIsPricedFromItsTimesProductAndSecondarySheet) {
    esegui({
        QStringLiteral("UPDATE CPAR SET COSTOTEMPO=20,COSTIGENERALIANNUI=100000,"
                       "COSTIBASEANNUI=400000,COEFFRICARICO=1.5,COEFFAGENTE=1.1,"
                       "COEFFSCONTO=0.9,COSTOTRASPORTO=0.05"),
        QStringLiteral("INSERT INTO MATER (CODICE,NOMECOMMERCIALE,PREZZO) "
                       "VALUES ('MPX01','Tensioattivo di prova',1.5)"),
        QStringLiteral("INSERT INTO MATER (CODICE,NOMECOMMERCIALE,PREZZO) "
                       "VALUES ('MPX02','Additivo di prova',0.25)"),
        QStringLiteral("INSERT INTO FORMUL (CODICE,NOME,DENSITA,COSTOUNITARIO) "
                       "VALUES (90,'Formulazione di prova',1,1)"),
        QStringLiteral("INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,"
                       "PERCENTUALE) VALUES (90,1,'MPX01',60)"),
        QStringLiteral("INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,"
                       "PERCENTUALE) VALUES (90,2,'MPX02',40)"),
        QStringLiteral("INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) "
                       "VALUES ('ICX01','Flacone di prova','1',0.15)"),
        QStringLiteral("INSERT INTO IMBALLI (CODICE,NOMEIMBALLO,TIPOIMBALLO,COSTOIMBALLO1) "
                       "VALUES ('ITX01','Tappo di prova','2',0.05)"),
        QStringLiteral("INSERT INTO PRODOT (CODICE,CODICEFORMULAZIONE,NOME,UNITAVENDITA,"
                       "IMBALLOCONTENITORE,IMBALLOTAPPO,DIVISORE1,MODBUSTA) VALUES "
                       "('PRX01',90,'Prodotto di prova','Kg','Flacone di prova',"
                       "'Tappo di prova',1,'0')"),
        QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE,COSTOBASE,"
                       "COSTOBASEUNITARIO) VALUES (11,1,'Semilavorato di prova',300,0.3)"),
        QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE,CODICEPRODOTTO,"
                       "QUANTITADAPRODURRE,TEMPOPRODUZIONE,TEMPOAVVIO,TEMPOCONTROLLOQUALITA,"
                       "TEMPOCONFEZ,TIPOCOMPOSIZIONE,TIPOCALCUNITARIO,TIPOCALCOLOPREZZO,"
                       "COEFFRICARICO,COEFFAGENTE,COEFFSCONTO) VALUES (10,0,'Scheda di prova',"
                       "'PRX01',1000,0.002,1,0.5,0.001,0,0,1,0,0,0)"),
        QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,CODICESCHEDASECONDARIA,"
                       "COLLEGAMENTO) VALUES (10,11,1)"),
    });
    apriSchermata();
    calcola(QStringLiteral("10"));
    EXPECT_EQ(errori(), "");
    EXPECT_EQ(msg->testi(), QStringList{"Effettuare un ricalcolo?"});

    // as stored
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOTEMPO"), 20);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOMANODOPERA"), 90);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOMATERIALI"), 1.2);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTORAWMATER"), 1);      // the formulation's stored cost
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOCONTENITORE"), 0.2); // (0,15 + 0,05) / 1
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOBASE"), 1590);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOBETA"), 0.25);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTIGENERALI"), 397.5);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOTOTALE"), 1987.5);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOTRASPORTO"), 50);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOCONTRASPORTO"), 2037.5);
    EXPECT_DOUBLE_EQ(colonna(10, "PREZZOBASE"), 2981.25);
    EXPECT_NEAR(colonna(10, "PREZZOBASECONAGENTE"), 3279.375, 1e-9);
    EXPECT_NEAR(colonna(10, "PREZZOSCONTATO"), 2951.4375, 1e-9);
    // written with 15 significant digits: the binary tail does not reach the archive
    EXPECT_EQ(testoColonna(10, "PREZZOBASECONAGENTE"), "3279.375");
    EXPECT_EQ(testoColonna(10, "PREZZOSCONTATO"), "2951.4375");
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOAVVIOUNITARIO"), 0.02);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOCONTROLLOQUALUNIT"), 0.01);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOPRODUZIONEUNITARIO"), 0.04);
    EXPECT_DOUBLE_EQ(colonna(10, "COSTOCONFEZUNITARIO"), 0.02);
    EXPECT_FALSE(testoColonna(10, "DATAULTIMAMODIFICA").isEmpty());
    // the secondary sheet is read as stored, not recalculated
    EXPECT_DOUBLE_EQ(colonna(11, "COSTOBASE"), 300);

    // as shown
    EXPECT_EQ(f->EditCodice->text(), "10");
    EXPECT_EQ(mostrato("COSTOMANODOPERA"), "90,0000");
    EXPECT_EQ(mostrato("COSTOMATERIALI"), "1,2000");
    EXPECT_EQ(mostrato("COSTOBASE"), "1.590,0000");
    EXPECT_EQ(mostrato("COSTOBETA"), "0,2500");
    EXPECT_EQ(mostrato("COSTIGENERALI"), "397,5000");
    EXPECT_EQ(mostrato("COSTOTOTALE"), "1.987,5000");
    EXPECT_EQ(mostrato("COSTOTRASPORTO"), "50,0000");
    EXPECT_EQ(mostrato("COSTOCONTRASPORTO"), "2.037,5000");
    EXPECT_EQ(mostrato("PREZZOBASE"), "2.981,2500");
    EXPECT_EQ(mostrato("PREZZOBASECONAGENTE"), "3.279,3750");
    EXPECT_EQ(mostrato("PREZZOSCONTATO"), "2.951,4375");
    EXPECT_EQ(mostrato("COSTOAVVIOUNITARIO"), "0,020000");
    EXPECT_EQ(mostrato("COSTOCONTROLLOQUALUNIT"), "0,010000");
    EXPECT_EQ(mostrato("COSTOPRODUZIONEUNITARIO"), "0,040000");
    EXPECT_EQ(mostrato("COSTOCONFEZUNITARIO"), "0,020000");
    // the same controls under the names the screen gives them
    EXPECT_EQ(f->findChild<QLineEdit*>(QStringLiteral("EditCostoManodopera"))->text(), "90,0000");
    EXPECT_EQ(f->findChild<QLineEdit*>(QStringLiteral("EditCostoBase"))->text(), "1.590,0000");
    EXPECT_EQ(f->findChild<QLineEdit*>(QStringLiteral("EditPrezzoBase"))->text(), "2.981,2500");
    EXPECT_EQ(f->findChild<QLineEdit*>(QStringLiteral("EditPrezzoBaseConAgente"))->text(),
              "3.279,3750");
    EXPECT_EQ(f->findChild<QLineEdit*>(QStringLiteral("EditPrezzoScontato"))->text(), "2.951,4375");
    EXPECT_TRUE(f->campo(QStringLiteral("PREZZOSCONTATO"))->isVisibleTo(f));
    // TU (Calc.1) = 90 / 1000 + 1,2 + 0,3; per kilogram 2981,25 / 1000
    EXPECT_EQ(f->EditCostoBaseUnitario->text(), "1,59");
    EXPECT_EQ(f->EditCostoTrasportoUnitario->text(), "0,05");
    EXPECT_EQ(f->EditPrezzoFinale->text(), "2,98");
    EXPECT_FALSE(f->LabelAvviso->isVisibleTo(f));

    // a second Calcola changes nothing
    calcola(QStringLiteral("10"));
    EXPECT_EQ(testoColonna(10, "PREZZOSCONTATO"), "2951.4375");
    EXPECT_EQ(mostrato("PREZZOSCONTATO"), "2.951,4375");
}

// ------------------------------------------------------------------ new codes

TEST_F(Esempi, TheFirstSheetOfAnEmptyArchiveGetsCodeOne) {
    esegui({QStringLiteral("DELETE FROM SCHEDE"), QStringLiteral("DELETE FROM COSTI")});
    apriSchermata();
    EXPECT_EQ(f->EditCodice->text(), "");
    nuovaScheda(QStringLiteral("Prima scheda"));
    EXPECT_EQ(errori(), "");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI"), 1);
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM COSTI WHERE CODICE=1"), "Prima scheda");
    EXPECT_EQ(valore("SELECT TIPOSCHEDA FROM COSTI WHERE CODICE=1"), "0");
    EXPECT_EQ(f->EditCodice->text(), "1");
    EXPECT_EQ(f->StaticTipoScheda->text(), "PRIMARIA");
}

TEST_F(Esempi, ANewSheetFollowsTheHighestCodeAsANumber) {
    // formulations go up to 6 and products are text: neither counts
    esegui({QStringLiteral("DELETE FROM SCHEDE"),
            QStringLiteral("DELETE FROM COSTI WHERE CODICE>1"),
            QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE) "
                           "VALUES (4,0,'Quarta')")});
    apriSchermata();
    nuovaScheda(QStringLiteral("Dopo la quarta"));
    EXPECT_EQ(errori(), "");
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM COSTI WHERE CODICE=5"), "Dopo la quarta");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI"), 3);
    EXPECT_EQ(f->EditCodice->text(), "5");
    // 10 is higher than 5 as a number, not as text
    esegui({QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE) "
                           "VALUES (10,0,'Decima')")});
    nuovaScheda(QStringLiteral("Dopo la decima"));
    EXPECT_EQ(errori(), "");
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM COSTI WHERE CODICE=11"), "Dopo la decima");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=6"), 0);
    EXPECT_EQ(f->EditCodice->text(), "11");
}

// ------------------------------------------------------------------ secondary sheets

TEST_F(Esempi, RemovingTheLastSecondarySheetOfALabourOnlySheetLeavesTheLabour) {
    // demo sheet 1 (FM001, with raw materials) includes secondary sheet 2
    esegui({QStringLiteral("UPDATE COSTI SET COSTOBASE=300 WHERE CODICE=2")});
    apriSchermata();
    riga(f, QStringLiteral("1"));
    EXPECT_EQ(f->LabelCostoBase->text(), kBasePrimaria);
    dialoghi({[](QDialog* d) -> int {
        auto* t = qobject_cast<TCostiTipoCalcoloTForm*>(d);
        if (!t) {
            return QDialog::Rejected;
        }
        t->Radio->button(1)->click();
        t->OKBtn->click();
        return t->result();
    }});
    f->ButtonTipoCalcT->click();
    EXPECT_EQ(errori(), "");
    ASSERT_EQ(valore("SELECT TIPOCOMPOSIZIONE FROM COSTI WHERE CODICE=1"), "1");
    EXPECT_EQ(f->LabelCostoBase->text(), kBaseSoloSecondarie);
    const double cm = colonna(1, "COSTOMANODOPERA");
    ASSERT_GT(cm, 0);
    ASSERT_GT(colonna(1, "COSTOMATERIALI"), 0); // type 0 would add them
    EXPECT_NEAR(colonna(1, "COSTOBASE"), cm + 300, 1e-9);

    f->mostraPagina(TCostiForm::SchedeSecondarie);
    ASSERT_EQ(f->GridSchede->modello()->rowCount(), 1);
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonTogliSchede->click();
    EXPECT_EQ(msg->testi(), QStringList{"Togliere la scheda selezionata?"});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM SCHEDE WHERE CODICESCHEDAPRIMARIA=1"), 0);
    EXPECT_DOUBLE_EQ(colonna(1, "COSTOBASE"), cm);
    // the figures that follow T follow it: Cbeta 180000 / 720000
    EXPECT_NEAR(colonna(1, "COSTIGENERALI"), cm * 0.25, 1e-9);
    EXPECT_NEAR(colonna(1, "COSTOTOTALE"), cm * 1.25, 1e-9);
    EXPECT_EQ(f->GridSchede->modello()->rowCount(), 0);
    EXPECT_EQ(f->EditTotCostiBase->text(), "0");
    EXPECT_EQ(mostrato("COSTOBASE"), mostrato("COSTOMANODOPERA"));
    // the removed sheet itself stays
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COSTI WHERE CODICE=2"), 1);
}

TEST_F(Esempi, TheBaseCostCaptionNamesWhatTheSheetAdds) {
    esegui({QStringLiteral("INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE,TIPOCOMPOSIZIONE) "
                           "VALUES (8,0,'Solo lavorazione',1)")});
    apriSchermata();
    riga(f, QStringLiteral("2"));
    EXPECT_EQ(f->StaticTipoScheda->text(), "SECONDARIA");
    EXPECT_EQ(f->LabelCostoBase->text(), kBaseSecondaria);
    EXPECT_TRUE(f->LabelCostoBase->isVisibleTo(f));
    EXPECT_TRUE(f->campo(QStringLiteral("COSTOBASE"))->isVisibleTo(f));
    // a type-1 primary sheet, then a type-0 one: each its own caption
    riga(f, QStringLiteral("8"));
    EXPECT_EQ(f->StaticTipoScheda->text(), "PRIMARIA");
    EXPECT_EQ(f->LabelCostoBase->text(), kBaseSoloSecondarie);
    riga(f, QStringLiteral("1"));
    EXPECT_EQ(f->LabelCostoBase->text(), kBasePrimaria);
    // and back on the secondary sheet after a recalculation
    calcola(QStringLiteral("2"));
    EXPECT_EQ(errori(), "");
    EXPECT_EQ(f->EditCodice->text(), "2");
    EXPECT_EQ(f->LabelCostoBase->text(), kBaseSecondaria);
}

// ------------------------------------------------------------------ hidden prices

TEST_F(Esempi, HiddenAgentAndDiscountedPricesAreStillCalculatedAndStored) {
    // demo sheet 3: the other prices not shown, its own markup 1,8; CPAR CA 1,1, CS 0,9
    apriSchermata();
    ASSERT_EQ(valore("SELECT TIPOCALCOLOPREZZO FROM COSTI WHERE CODICE=3"), "0");
    ASSERT_EQ(valore("SELECT PREZZOBASECONAGENTE FROM COSTI WHERE CODICE=3"), "");
    calcola(QStringLiteral("3"));
    EXPECT_EQ(errori(), "");
    const double pb = colonna(3, "PREZZOBASE");
    ASSERT_GT(pb, 0);
    EXPECT_NEAR(pb, colonna(3, "COSTOTOTALE") * 1.8, 1e-9);
    EXPECT_NEAR(colonna(3, "PREZZOBASECONAGENTE"), pb * 1.1, 1e-9);
    EXPECT_NEAR(colonna(3, "PREZZOSCONTATO"), pb * 1.1 * 0.9, 1e-9);
    EXPECT_FALSE(f->CheckMostraPrezzi->isChecked());
    EXPECT_FALSE(f->campo(QStringLiteral("PREZZOBASECONAGENTE"))->isVisibleTo(f));
    EXPECT_FALSE(f->campo(QStringLiteral("PREZZOSCONTATO"))->isVisibleTo(f));
    EXPECT_TRUE(f->campo(QStringLiteral("PREZZOBASE"))->isVisibleTo(f));
    // a change of the times reprices them too while they stay hidden
    const double scontatoPrima = colonna(3, "PREZZOSCONTATO");
    dialoghi({[](QDialog* d) -> int {
        auto* k = qobject_cast<TKyvIn1Form*>(d);
        if (!k) {
            return QDialog::Rejected;
        }
        k->Edit1->setText(QStringLiteral("3"));
        k->OKBtn->click();
        return k->result();
    }});
    f->pulsante(QStringLiteral("TEMPOAVVIO"))->click();
    EXPECT_EQ(errori(), "");
    ASSERT_DOUBLE_EQ(colonna(3, "TEMPOAVVIO"), 3);
    // two more hours at 32: 64 more labour, priced through Cbeta and the coefficients
    EXPECT_NEAR(colonna(3, "PREZZOSCONTATO") - scontatoPrima, 64 * 1.25 * 1.8 * 1.1 * 0.9, 1e-6);
    // shown as stored once the check is set
    msg->pulisci();
    msg->risposte = {QStringLiteral("Sì")};
    f->ButtonMostraPrezzi->click();
    EXPECT_EQ(msg->testi(), QStringList{"Settare il check per mostrare gli altri prezzi?"});
    EXPECT_EQ(valore("SELECT TIPOCALCOLOPREZZO FROM COSTI WHERE CODICE=3"), "1");
    EXPECT_TRUE(f->campo(QStringLiteral("PREZZOSCONTATO"))->isVisibleTo(f));
    EXPECT_TRUE(f->campo(QStringLiteral("PREZZOBASECONAGENTE"))->isVisibleTo(f));
    EXPECT_NEAR(colonna(3, "PREZZOSCONTATO"), colonna(3, "PREZZOBASE") * 1.1 * 0.9, 1e-9);
    // four decimals, halves away from zero
    for (const char* c : {"PREZZOBASECONAGENTE", "PREZZOSCONTATO"}) {
        EXPECT_NEAR(letto(mostrato(c)), colonna(3, c), 0.0000501)
            << c << " " << mostrato(c).toStdString();
    }
}
