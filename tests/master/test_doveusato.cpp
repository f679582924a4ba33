// Where a raw material, a packaging item or a product is used, on the demo
// archive with a small chain of its own: formulations (with the percentage),
// products, batches still open, cost sheets; the counts told before a
// deletion, and the answer "No" keeping the record. A demo list exported from a card reads back as
// the same rows.
#include "master/doveusato.h"
#include "master/imballi.h"
#include "master/mater.h"
#include "support/schede.h"
#include "support/strumenti.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

const QString kAvvisoMateria =
    "La materia prima è usata in 2 formulazioni, 3 prodotti, 1 scheda costo e 2 fabbricazioni "
    "aperte: finché resta nelle formulazioni, i loro costi non si potranno ricalcolare.\r\n"
    "Eliminare il record selezionato?";
const QString kAvvisoImballo =
    "L'imballo è usato in 2 prodotti, 1 scheda costo e 2 fabbricazioni aperte.\r\nEliminare il "
    "record selezionato?";

struct DoveUsato : prova::ConScheda {
    void SetUp() override {
        // MPDU1 is in two formulations (twice in the first), so in their
        // three products; of its five batches two are open (L1 to make, L3
        // with no state), one finished, one left out, one without it.
        // IMDU1 packs PDU1 by code and PDU2 by name only (an older product
        // with no code); PDU3 has another code under the same name. PDU1
        // has a cost sheet.
        h.esegui(
            az(),
            {"INSERT INTO MATER (CODICE,NOMECOMMERCIALE) VALUES ('MPDU1','Glicerina di prova')",
             "INSERT INTO MATER (CODICE,NOMECOMMERCIALE) VALUES ('MPDU2','Inutilizzata')",
             "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO) VALUES ('IMDU1','Flacone prova 1L')",
             "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO) VALUES ('IMDU2','Scatola inutilizzata')",
             "INSERT INTO FORMUL (CODICE,NOME) VALUES (9901,'Detergente prova')",
             "INSERT INTO FORMUL (CODICE,NOME) VALUES (9902,'Sapone prova')",
             "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
             "VALUES (9901,1,'MPDU1',12.5)",
             "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
             "VALUES (9901,2,'MPDU1',2.5)",
             "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
             "VALUES (9902,1,'MPDU1',30)",
             "INSERT INTO PRODOT (CODICE,NOME,CODICEFORMULAZIONE,CODICEIMBALLOCONTENITORE,"
             "IMBALLOCONTENITORE) VALUES ('PDU1','Detergente 1L',9901,'IMDU1','Flacone prova 1L')",
             "INSERT INTO PRODOT (CODICE,NOME,CODICEFORMULAZIONE,IMBALLOCONTENITORE) VALUES "
             "('PDU2','Sapone 1L',9902,'Flacone prova 1L')",
             "INSERT INTO PRODOT (CODICE,NOME,CODICEFORMULAZIONE,CODICEIMBALLOCONTENITORE,"
             "IMBALLOCONTENITORE) VALUES ('PDU3','Sapone 5L',9902,'ALTRO','Flacone prova 1L')",
             "INSERT INTO COSTI (CODICE,TIPOSCHEDA,DESCRIZIONE,CODICEPRODOTTO) VALUES "
             "(9901,0,'Detergente 1L in prova','PDU1')",
             "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID,STATUS,CODICECONTENITORE) VALUES "
             "('PDU1','2026-01-10','L1',99001,'DA FARE','IMDU1')",
             "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID,STATUS,CODICECONTENITORE) VALUES "
             "('PDU1','2026-01-11','L2',99002,'FINITA','IMDU1')",
             "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID,CODICECONTENITORE) VALUES "
             "('PDU2','2026-01-12','L3',99003,'X')",
             "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID,STATUS,CODICECONTENITORE) VALUES "
             "('PDU2','2026-01-13','L4',99004,'ESCLUSA','IMDU1')",
             "INSERT INTO FABBRIC (CODICE,DATA,LOTTO,ID,STATUS,CONTENITORE) VALUES "
             "('PDU1','2026-01-14','L5',99005,'IMPEGNATA','Flacone prova 1L')",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU1','2026-01-10','L1',1,'MPDU1',"
             "12.5)",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU1','2026-01-10','L1',2,'MPDU1',"
             "2.5)",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU1','2026-01-11','L2',1,'MPDU1',"
             "12.5)",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU2','2026-01-12','L3',1,'MPDU1',"
             "30)",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU2','2026-01-13','L4',1,'MPDU1',"
             "30)",
             "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"
             "NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) VALUES ('PDU1','2026-01-14','L5',1,'MPDU2',"
             "1)"});
    }

    UsiArticolo usi(Articolo a, const QString& codice) {
        Database db;
        db.connect(az());
        Transaction t(&db);
        Query q(&db, &t);
        return contaUsi(q, a, codice);
    }

    static QStringList colonna(TCSDGrid* g, const QString& campo) {
        QStringList r;
        const int c = g->modello()->indiceCampo(campo);
        for (int i = 0; i < g->modello()->rowCount(); ++i) {
            r << g->modello()->valore(i, c).toString();
        }
        return r;
    }

    // The where-used window, looked at while it is up, then closed.
    void conFinestra(std::function<void(TDoveUsatoForm*)> guarda) {
        bool vista = false;
        msg->dialogo = [&vista, guarda](QDialog* d) -> int {
            auto* f = qobject_cast<TDoveUsatoForm*>(d);
            if (!f) {
                return QDialog::Rejected;
            }
            vista = true;
            guarda(f);
            f->ButtonChiudi->click();
            return f->result();
        };
        vistaFinestra_ = &vista;
    }
    bool* vistaFinestra_ = nullptr;
};

TEST_F(DoveUsato, IConteggiContanoFormulazioniEFabbricazioniUnaVolta) {
    UsiArticolo u = usi(Articolo::MateriaPrima, "MPDU1");
    EXPECT_EQ(u.formulazioni, 2);
    EXPECT_EQ(u.prodotti, 3);
    EXPECT_EQ(u.fabbricazioniAperte, 2);
    EXPECT_EQ(u.schedeCosto, 1);
    u = usi(Articolo::Imballo, "IMDU1");
    EXPECT_EQ(u.formulazioni, 0);
    EXPECT_EQ(u.prodotti, 2);
    EXPECT_EQ(u.fabbricazioniAperte, 2);
    EXPECT_EQ(u.schedeCosto, 1);
    u = usi(Articolo::Prodotto, "PDU1");
    EXPECT_EQ(u.formulazioni, 0);
    EXPECT_EQ(u.prodotti, 0);
    EXPECT_EQ(u.fabbricazioniAperte, 2); // L1 to make, L5 committed
    EXPECT_EQ(u.schedeCosto, 1);
    EXPECT_TRUE(usi(Articolo::MateriaPrima, "MPDU2").fabbricazioniAperte == 1);
    EXPECT_TRUE(usi(Articolo::Imballo, "IMDU2").nessuno());
    // a code with a quote is a value, never part of the statement
    EXPECT_TRUE(usi(Articolo::MateriaPrima, "X' OR '1'='1").nessuno());

    EXPECT_EQ(avvisoUsi(Articolo::MateriaPrima, {1, 1, 0}),
              "La materia prima è usata in 1 formulazione e 1 prodotto: finché resta nelle "
              "formulazioni, i loro costi non si potranno ricalcolare.");
    EXPECT_EQ(avvisoUsi(Articolo::MateriaPrima, {0, 0, 1}),
              "La materia prima è usata in 0 formulazioni, 0 prodotti e 1 fabbricazione "
              "aperta.");
    EXPECT_EQ(avvisoUsi(Articolo::Imballo, {0, 0, 3}),
              "L'imballo è usato in 3 fabbricazioni aperte.");
    EXPECT_EQ(avvisoUsi(Articolo::Imballo, {}), "");
}

TEST_F(DoveUsato, CancellareUnaMateriaUsataDiceIConteggiEIlNoLaTiene) {
    auto* f = apri<TMaterForm>("ShowMaterForm");
    riga(f, "MPDU1");
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Conferma);
    EXPECT_EQ(msg->mostrati[0].testo, kAvvisoMateria);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATER WHERE CODICE='MPDU1'"), 1);
    EXPECT_EQ(f->codiceCorrenteGriglia(), "MPDU1");

    // nothing uses it: the plain question; "Sì" deletes
    riga(f, "MPDU2");
    msg->pulisci();
    h.esegui(az(), {"DELETE FROM FABBCOMPON WHERE CODICEMATERIAPRIMA='MPDU2'"});
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM MATER WHERE CODICE='MPDU2'"), 0);
}

TEST_F(DoveUsato, CancellareUnImballoUsatoDiceIConteggiEIlNoLoTiene) {
    auto* f = apri<TImballiForm>("ShowImballiForm");
    riga(f, "IMDU1");
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(), QStringList{kAvvisoImballo});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM IMBALLI WHERE CODICE='IMDU1'"), 1);
    riga(f, "IMDU2");
    msg->pulisci();
    msg->risposte = {"No"};
    f->ButtonEliminaClick();
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
    EXPECT_EQ(conta("SELECT COUNT(*) FROM IMBALLI WHERE CODICE='IMDU2'"), 1);
}

TEST_F(DoveUsato, LaFinestraDellaMateriaElencaFormulazioniProdottiEFabbricazioniAperte) {
    auto* f = apri<TMaterForm>("ShowMaterForm");
    riga(f, "MPDU1");
    EXPECT_TRUE(f->ButtonDoveUsato->isEnabled());
    EXPECT_EQ(f->ButtonDoveUsato->text(), "&Dove usato");
    conFinestra([](TDoveUsatoForm* d) {
        EXPECT_EQ(d->EditCodice->text(), "MPDU1");
        EXPECT_EQ(d->EditNome->text(), "Glicerina di prova");
        ASSERT_NE(d->GridFormulazioni, nullptr);
        EXPECT_EQ(d->TabDoveUsato->count(), 4);
        EXPECT_EQ(d->TabDoveUsato->tabText(0), "&Formulazioni (2)");
        EXPECT_EQ(d->TabDoveUsato->tabText(1), "&Prodotti (3)");
        EXPECT_EQ(d->TabDoveUsato->tabText(2), "Fabbricazioni &aperte (2)");
        EXPECT_EQ(d->TabDoveUsato->tabText(3), "&Schede costo (1)");
        EXPECT_EQ(colonna(d->GridSchedeCosto, "CODICE"), QStringList{"9901"});
        EXPECT_EQ(colonna(d->GridSchedeCosto, "CODICEPRODOTTO"), QStringList{"PDU1"});
        // each formulation line with its percentage, in the key's order
        EXPECT_EQ(colonna(d->GridFormulazioni, "CODICEFORMULAZIONE"),
                  (QStringList{"9901", "9901", "9902"}));
        EXPECT_EQ(colonna(d->GridFormulazioni, "NOME"),
                  (QStringList{"Detergente prova", "Detergente prova", "Sapone prova"}));
        EXPECT_EQ(colonna(d->GridFormulazioni, "PERCENTUALE"), (QStringList{"12.5", "2.5", "30"}));
        EXPECT_EQ(colonna(d->GridProdotti, "CODICE"), (QStringList{"PDU1", "PDU2", "PDU3"}));
        EXPECT_EQ(colonna(d->GridFabbricazioni, "LOTTO"), (QStringList{"L1", "L3"}));
        // the batch's share of the material, its lines summed
        EXPECT_EQ(colonna(d->GridFabbricazioni, "PERCENTUALE"), (QStringList{"15", "30"}));
    });
    f->ButtonDoveUsato->click();
    EXPECT_TRUE(*vistaFinestra_);
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
}

TEST_F(DoveUsato, LaFinestraDellImballoElencaProdottiEFabbricazioniConLImpiego) {
    auto* f = apri<TImballiForm>("ShowImballiForm");
    riga(f, "IMDU1");
    EXPECT_TRUE(f->ButtonDoveUsato->isEnabled());
    conFinestra([](TDoveUsatoForm* d) {
        EXPECT_EQ(d->EditNome->text(), "Flacone prova 1L");
        EXPECT_EQ(d->GridFormulazioni, nullptr);
        EXPECT_EQ(d->TabDoveUsato->count(), 3);
        EXPECT_EQ(colonna(d->GridSchedeCosto, "NOME"), QStringList{"Detergente 1L"});
        EXPECT_EQ(colonna(d->GridProdotti, "CODICE"), (QStringList{"PDU1", "PDU2"}));
        EXPECT_EQ(colonna(d->GridProdotti, "IMPIEGO"), (QStringList{"Contenitore", "Contenitore"}));
        EXPECT_EQ(colonna(d->GridFabbricazioni, "LOTTO"), (QStringList{"L1", "L5"}));
    });
    f->ButtonDoveUsato->click();
    EXPECT_TRUE(*vistaFinestra_);
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
}

// The raw-materials list of the demo, exported from its card's grid and read
// back with openpyxl: as many rows, the codes in the list's order, the price
// a number.
TEST_F(DoveUsato, LElencoDelleMateriePrimeSiEsportaEsiRilegge) {
    RICHIEDI_OPENPYXL();
    const QString python = prova::pythonConOpenpyxl();
    auto* f = apri<TMaterForm>("ShowMaterForm");
    QTemporaryDir dir;
    const QString file = dir.filePath("materie.xlsx");
    msg->dialogo = [file](QDialog* d) -> int {
        auto* fd = qobject_cast<QFileDialog*>(d);
        if (!fd) {
            return QDialog::Rejected;
        }
        fd->selectFile(file);
        return QDialog::Accepted;
    };
    EXPECT_EQ(f->Griglia->EsportaExcel(), file);
    QProcess p;
    p.start(python, {"-c",
                     "import sys, openpyxl\n"
                     "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                     "righe = list(ws.iter_rows(values_only=True))\n"
                     "t = list(righe[0])\n"
                     "c, pr = t.index('CODICE'), t.index('PREZZO')\n"
                     "print(len(righe) - 1)\n"
                     "print(','.join(r[c] for r in righe[1:]))\n"
                     "print(','.join(sorted({type(r[pr]).__name__ for r in righe[1:]})))\n",
                     file});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    const QStringList out = QString(p.readAllStandardOutput()).trimmed().split('\n');
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[0].toInt(), conta("SELECT COUNT(*) FROM MATER"));
    QStringList codici;
    for (int i = 0; i < f->Griglia->modello()->rowCount(); ++i) {
        codici << f->Griglia->modello()
                      ->valore(i, f->Griglia->modello()->indiceCampo("CODICE"))
                      .toString();
    }
    EXPECT_EQ(out[1], codici.join(','));
    // every price a number (a missing one an empty cell)
    EXPECT_TRUE(out[2] == "float" || out[2] == "NoneType,float" || out[2] == "float,int" ||
                out[2] == "NoneType,float,int")
        << out[2].toStdString();
}

} // namespace
