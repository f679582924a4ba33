// A recall on the demo, three levels deep: the supplier lot TS24-0981 went
// into the premix S25020 (SM001), which a second premix S25032 (SM002)
// weighed; the detergent L25034 (committed, order 3) weighed the second
// premix and the descaler L25041 (to do, an open weighing on its first line)
// consumed it. Traced both ways; the lot held from the traceability screen
// stops commitment, posting and weighing assignment of a batch it reaches,
// also for a screen opened before the hold was set, until it is released;
// the recall report names exactly the customers reached; the list and the
// recall go to spreadsheets a real reader opens.
#include "../report/comune.h"
#include "host/lancio.h"
#include "production/blocchi.h"
#include "production/impegnofabbricazioni.h"
#include "production/liqpolv.h"
#include "production/pesate.h"
#include "production/produzionefabbricazioni.h"
#include "production/traccia.h"
#include "production/tracciabilita.h"
#include "report/finestrestampa.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/strumenti.h"
#include "ui/grigliamodello.h"
#include "ui/selezionegriglia.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::traccia;

namespace {

const QString kMotivo = QStringLiteral("Contaminazione segnalata dal fornitore");
const QString kRifiuto =
    QStringLiteral("La fabbricazione %1 è bloccata: blocco n. 1 sul lotto fornitore TS24-0981 (") +
    kMotivo + QStringLiteral(")");

struct Richiamo : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;

    void SetUp() override {
        const QString pesata =
            "INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, OPERATORE, "
            "ID_FABBRICAZIONE, BARCODE_LOTTO_MATERIA, CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
            "LOTTOFABBRICAZIONE, CODICEMATERIAPRIMA, CODICEFORNITORE, LOTTOMATERIAPRIMA) VALUES ";
        h.esegui(h.c().azienda(),
                 {"INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, QUANTITALITRI, "
                  "UNITAMISURA, STATUS, DATAFINE) VALUES ('SM002', '2025-02-01', 'S25032', 20, "
                  "'Premiscela profumata', 600, 'Kg', 'FINITA', '2025-02-01 16:00:00')",
                  pesata + "(100, 'BIL11', '2025-02-01 08:00:00.0000', 'CONTEST00000090', 300, "
                           "'Rossi', 20, 'IBC0001', 'SM002', '2025-02-01', 'S25032', 'SM001', "
                           "NULL, 'S25020')",
                  pesata + "(101, 'BIL11', '2025-02-03 09:00:00.0000', 'CONTEST00000011', 40, "
                           "'Rossi', 3, 'IBC0002', 'FM003', '2025-02-03', 'L25034', 'SM002', "
                           "NULL, 'S25032')",
                  "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, "
                  "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES (100, 5, 'SM002', 'SM002', "
                  "'IBC0003', 50, 'S25032')"});
        // the orders of the batches reached go to two customers; order 5 of
        // another customer is not reached
        h.esegui(h.c().erp(), {"UPDATE ORDC SET CODICECLIENTE='C0002' WHERE ID=1",
                               "UPDATE ORDC SET CODICECLIENTE='C0001' WHERE ID=3"});
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <typename T> T* apri(const char* entrata) {
        auto* f = dynamic_cast<T*>(LanciaSchermata(*trovaSchermata(entrata), 2, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }
    TTracciabilitaForm* tracciabilita() {
        return apri<TTracciabilitaForm>("ShowTracciabilitaForm");
    }
    static void traccia(TTracciabilitaForm* f, int ricerca, const QString& valore) {
        f->ComboRicerca->setCurrentIndex(ricerca);
        f->EditValore->setText(valore);
        f->ButtonTraccia->click();
    }
    static void scegli(LavorazioneFabbricazioni* f, const QString& codice) {
        const int r =
            f->GridFabbr->modello()->cerca("CODICE", [&](const QString& v) { return v == codice; });
        ASSERT_GE(r, 0) << codice.toStdString() << " is not listed";
        f->GridFabbr->setCurrentIndex(f->GridFabbr->modello()->index(r, 0));
        QTest::keyClick(f->GridFabbr, Qt::Key_F3);
    }
    QString stato(const QString& lotto) {
        return h.valore(h.c().azienda(), "SELECT STATUS FROM FABBRIC WHERE LOTTO='" + lotto + "'");
    }
    // The batches of a genealogy as "level:lot<-lot of the node above".
    static QStringList livelli(const Genealogia& g) {
        QStringList r;
        for (const Nodo& n : g.nodi) {
            r << QStringLiteral("%1:%2<-%3")
                     .arg(n.livello)
                     .arg(n.fabbricazione.lotto,
                          n.padre < 0 ? QString() : g.nodi[size_t(n.padre)].fabbricazione.lotto);
        }
        return r;
    }
    // Every text of a tree item and below it, depth first.
    static QStringList testi(QTreeWidgetItem* i) {
        QStringList r{i->text(0) + " | " + i->text(1) + " | " + i->text(4) + " | " + i->text(7)};
        for (int k = 0; k < i->childCount(); ++k) {
            r << testi(i->child(k));
        }
        return r;
    }
    // The first sheet of a workbook as openpyxl reads it, a row a line.
    QStringList foglio(const QString& file) {
        QProcess p;
        p.start(prova::pythonConOpenpyxl(),
                {"-c",
                 "import sys, openpyxl\n"
                 "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                 "for r in ws.iter_rows(values_only=True):\n"
                 "    print('|'.join('' if v is None else str(v) for v in r))\n",
                 file});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    std::function<int(QDialog*)> salvaIn(const QString& file) {
        return [file](QDialog* d) -> int {
            auto* fd = qobject_cast<QFileDialog*>(d);
            if (!fd) {
                return QDialog::Accepted;
            }
            fd->selectFile(file);
            return QDialog::Accepted;
        };
    }
};

} // namespace

TEST_F(Richiamo, TracesThreeLevelsBothWaysAndTheRecallNamesTheCustomersReached) {
    Database az, erp;
    az.connect(h.c().azienda());
    erp.connect(h.c().erp());
    {
        Tracciatore t(&az, &erp);
        Partenza p;
        p.ricerca = {Chiave::LottoFornitore, "TS24-0981", {}, {}};
        const Genealogia g = t.genealogiaAvanti(p);
        // level by level, each in the order of the batch key; the floor
        // cleaner was made from the first premix (named on its sheet)
        EXPECT_EQ(livelli(g),
                  (QStringList{"1:L25015<-", "1:S25020<-", "2:S25032<-S25020", "2:L25036<-S25020",
                               "3:L25034<-S25032", "3:L25041<-S25032"}));
        EXPECT_FALSE(g.interrotta);
        EXPECT_EQ(g.nodi[2].quantita, 300.0);
        EXPECT_EQ(g.nodi[2].legame, Legame::Pesata);
        EXPECT_EQ(g.nodi[3].legame, Legame::FabbricazioneDa);
        EXPECT_EQ(g.nodi[5].quantita, 50.0);
        EXPECT_EQ(g.nodi[5].legame, Legame::Consumo);
        EXPECT_TRUE(g.ordini.at("3").trovato);
        EXPECT_EQ(g.ordini.at("3").cliente, "C0001");

        // backward from the descaler up to the supplier lot
        const Genealogia b = t.genealogiaIndietro(t.fabbricazioni("L25041").at(0));
        EXPECT_EQ(livelli(b), (QStringList{"0:L25041<-", "1:S25032<-L25041", "2:S25020<-S25032"}));
        const Indietro primo = t.indietro(b.nodi[2].fabbricazione);
        EXPECT_EQ(primo.flat.at(0).lottoFornitore, "TS24-0981");

        // a cycle (the second premix weighed into the first) ends, and the
        // depth limit cuts and says so
        h.esegui(h.c().azienda(),
                 {"INSERT INTO PESATE_FABBR (ID, ID_FABBRICAZIONE, CODICEMATERIAPRIMA, "
                  "LOTTOMATERIAPRIMA, PESO) VALUES (102, 2, 'SM002', 'S25032', 1)"});
        t.aggiorna();
        EXPECT_EQ(t.genealogiaAvanti(p).nodi.size(), 6u);
        Genealogista corto(&az, &t.transazione());
        const Genealogia c = corto.avanti(p, 2);
        EXPECT_TRUE(c.interrotta);
        EXPECT_EQ(c.livelli(), 2);
    }

    // the screen: the tree level by level, one row per batch below
    auto* f = tracciabilita();
    traccia(f, TTracciabilitaForm::DaLottoFornitore, "TS24-0981");
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(f->LabelEsito->text(), "6 fabbricazioni su 3 livelli");
    const QStringList albero = testi(f->TreeTracciabilita->topLevelItem(0));
    const QString tutto = albero.join('\n');
    for (const char* atteso :
         {"Livello 1 - SM001 Premiscela tensioattivi base - lotto S25020 del 20/01/2025",
          "Livello 2 - SM002 Premiscela profumata - lotto S25032 del 01/02/2025 (Pesata SM001) | "
          "S25020 | 300 | Prodotta il 01/02/2025",
          "Livello 3 - FM004 Anticalcare Bagno 750 ml - lotto L25041 del 10/02/2025 (Consumo "
          "SM002) | S25032 | 50 | DA FARE",
          "Ordine n. L25034 del 03/02/2025 - cliente C0001 Supermercati Adriatici S.p.A."}) {
        EXPECT_TRUE(tutto.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << tutto.toStdString();
    }
    EXPECT_EQ(f->GridTraccia->modello()->rowCount(), 6);

    // the recall: the batches at the end of the trail and those with an order
    QStringList clienti;
    for (const TTracciabilitaForm::RigaRichiamo& r : f->righeRichiamo()) {
        if (!clienti.contains(r.cliente)) {
            clienti << r.cliente;
        }
    }
    clienti.sort();
    EXPECT_EQ(clienti, (QStringList{"", "C0001", "C0002", "PRODGEST"}))
        << "the batches not yet committed have none; order 5 (C0002's other) is not reached";

    RICHIEDI_OPENPYXL();
    QTemporaryDir dir;
    // the recall as a spreadsheet
    const QString richiamo = dir.filePath("richiamo.xlsx");
    msg->dialogo = salvaIn(richiamo);
    EXPECT_EQ(f->ButtonRichiamoExcelClick(), richiamo);
    const QStringList righe = foglio(richiamo);
    ASSERT_FALSE(righe.isEmpty());
    EXPECT_TRUE(righe[0].startsWith("Livello|Data|Prodotto|Descrizione|Lotto|Quantità"))
        << righe[0].toStdString();
    QStringList lotti;
    for (const QString& r : righe.mid(1)) {
        lotti << r.section('|', 4, 4) + ":" + r.section('|', 10, 10);
    }
    EXPECT_EQ(lotti, (QStringList{"L25015:C0002", "S25020:PRODGEST", "L25036:", "L25034:C0001",
                                  "L25041:"}));

    // the list's own export binds the values its statement is bound to
    const QString elenco = dir.filePath("elenco.xlsx");
    msg->dialogo = salvaIn(elenco);
    msg->pulisci();
    EXPECT_EQ(f->GridTraccia->EsportaExcel(), elenco);
    EXPECT_EQ(msg->testi(), QStringList{"Esportazione completata: 6 righe in " + elenco});
    const QStringList lista = foglio(elenco);
    ASSERT_EQ(lista.size(), 7);
    EXPECT_TRUE(lista[0].startsWith("Data|Prodotto|Descrizione|Lotto|Quantità"))
        << lista[0].toStdString();
    EXPECT_TRUE(lista[3].contains("|S25032|")) << lista[3].toStdString();

    // the recall printed: every batch reached with its customer
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    const QString pdf = dir.filePath("richiamo.pdf");
    msg->pulisci();
    msg->risposte = {"Sì"};
    msg->dialogo = [&](QDialog* d) {
        if (auto* p = qobject_cast<report::AnteprimaStampa*>(d)) {
            EXPECT_EQ(p->windowTitle(), "Anteprima stampa richiamo");
            EXPECT_TRUE(p->esportaPdf(pdf));
        }
        return int(QDialog::Accepted);
    };
    f->ButtonRichiamoClick();
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    const QString testo = provareport::testoPdf(pdf);
    for (const char* atteso : {"RICHIAMO", "Lotto fornitore TS24-0981", "L25041", "L25036",
                               "Supermercati Adriatici", "Ipermercati Tirreno"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    EXPECT_FALSE(testo.contains("{?")) << testo.toStdString();
}

TEST_F(Richiamo, AHoldOnTheLotStopsEveryWriteOfABatchItReachesUntilReleased) {
    // another user has the commitment screen open before the hold is set
    auto* impegno = apri<TImpegnoFabbricazioniForm>("ShowImpFabbrForm");
    scegli(impegno, "FM004");

    auto* f = tracciabilita();
    f->ButtonBlocca->click(); // nothing traced yet
    traccia(f, TTracciabilitaForm::DaLottoFornitore, "TS24-0981");
    f->ButtonBlocca->click(); // no reason
    f->EditMotivo->setText(kMotivo);
    f->ButtonBlocca->click();
    EXPECT_EQ(
        msg->testi(),
        (QStringList{"Tracciare prima il lotto fornitore, il seriale o la fabbricazione da "
                     "bloccare",
                     "Indicare il motivo del blocco",
                     "Impostato il blocco n. 1 sul lotto fornitore TS24-0981 (" + kMotivo + ")"}));
    EXPECT_EQ(h.valore(h.c().azienda(), "SELECT TIPO || '|' || VALORE || '|' || UTENTE || '|' || "
                                        "MOTIVO FROM BLOCCHI WHERE MOMENTORILASCIO IS NULL"),
              "LOTTO|TS24-0981|2|" + kMotivo);
    // the tree shows what the hold covers
    const QString tutto = testi(f->TreeTracciabilita->topLevelItem(0)).join('\n');
    EXPECT_TRUE(tutto.contains("DA FARE - BLOCCATA (blocco n. 1)")) << tutto.toStdString();

    // commitment: refused at the write, with the hold and its reason
    msg->pulisci();
    impegno->ButtonImpegna->click();
    ASSERT_GE(msg->testi().size(), 1);
    EXPECT_EQ(msg->testi()[0], kRifiuto.arg("FM004 del 10/02/2025 lotto L25041"));
    EXPECT_EQ(stato("L25041"), "DA FARE");
    // the list, read again, shows the hold
    EXPECT_EQ(impegno->LabelBlocchi->text(),
              "Fabbricazioni bloccate: FM004 del 10/02/2025 lotto L25041: blocco n. 1 sul lotto "
              "fornitore TS24-0981 (" +
                  kMotivo + ")");
    // and so does the manufacturing sheet of a batch it covers, not of another
    auto* scheda = apri<TLiqPolvForm>("ShowLiqPolvForm");
    for (const auto& [lotto, atteso] : {std::pair{"L25041", true}, std::pair{"L25043", false}}) {
        GrigliaModello* m = scheda->Griglia->modello();
        const int r = m->cerca("LOTTO", [&](const QString& v) { return v == lotto; });
        ASSERT_GE(r, 0) << lotto;
        scheda->Griglia->setCurrentIndex(m->index(r, 0));
        scheda->aggiornaInformazioni();
        EXPECT_EQ(scheda->LabelBlocco->text().startsWith("BLOCCATA: blocco n. 1 sul lotto "
                                                         "fornitore TS24-0981"),
                  atteso)
            << lotto << ": " << scheda->LabelBlocco->text().toStdString();
    }

    // posting
    msg->pulisci();
    auto* produzione = apri<TProduzioneFabbricazioniForm>("ShowProdFabbrForm");
    EXPECT_TRUE(produzione->LabelBlocchi->text().contains("FM003 del 03/02/2025 lotto L25034"));
    scegli(produzione, "FM003");
    produzione->ButtonProduci->click();
    ASSERT_GE(msg->testi().size(), 1);
    EXPECT_EQ(msg->testi()[0], kRifiuto.arg("FM003 del 03/02/2025 lotto L25034"));
    EXPECT_EQ(stato("L25034"), "IMPEGNATA");

    // the weighing of the descaler's first line stays open
    Database az, erp, pes;
    az.connect(h.c().azienda());
    erp.connect(h.c().erp());
    pes.connect(h.c().pesate());
    const pesate::PesataElencata aperta{"BIL11",           "2025-02-10 08:05:12.4170",
                                        "CONTEST00000016", QVariant(132.1),
                                        pesate::kAperta,   "Verdi L."};
    const int pesate = h.conta(h.c().azienda(), "SELECT COUNT(*) FROM PESATE_FABBR");
    {
        pesate::Assegnazione a(&az, &erp, &pes);
        const pesate::Esito e = a.esegui(aperta, "SR250013");
        EXPECT_EQ(e.testo, kRifiuto.arg("FM004 del 10/02/2025 lotto L25041"));
    }
    EXPECT_EQ(h.valore(h.c().pesate(), "SELECT NOTE FROM PESATE WHERE BILANCIA='BIL11' AND "
                                       "DATA_ORA='2025-02-10 08:05:12.4170'"),
              "APERTA");
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM PESATE_FABBR"), pesate);

    // released with a reason, every write goes through
    msg->pulisci();
    f->TreeBlocchi->setCurrentItem(f->TreeBlocchi->topLevelItem(0));
    f->ButtonRilascia->click();
    f->EditMotivo->setText("Analisi del lotto conformi");
    f->ButtonRilascia->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Indicare il motivo del rilascio", "Blocco n. 1 rilasciato"}));
    EXPECT_EQ(h.valore(h.c().azienda(), "SELECT MOTIVORILASCIO || '|' || UTENTERILASCIO FROM "
                                        "BLOCCHI WHERE MOMENTORILASCIO IS NOT NULL"),
              "Analisi del lotto conformi|2");
    EXPECT_EQ(f->TreeBlocchi->topLevelItem(0)->text(7), "Analisi del lotto conformi");
    {
        pesate::Assegnazione a(&az, &erp, &pes);
        const pesate::Esito e = a.esegui(aperta, "SR250013");
        EXPECT_TRUE(e.riuscito()) << e.testo.toStdString();
    }
    msg->pulisci();
    scegli(impegno, "FM004");
    impegno->ButtonImpegna->click();
    EXPECT_EQ(msg->testi(), QStringList{"Completato"});
    EXPECT_EQ(stato("L25041"), "IMPEGNATA");
    msg->pulisci();
    scegli(produzione, "FM003");
    produzione->ButtonProduci->click();
    EXPECT_EQ(msg->testi(), QStringList{"Completato"});
    EXPECT_EQ(stato("L25034"), "FINITA");

    // a read-only user sees the holds and cannot set or release them
    h.esegui(h.c().userDb(), {"INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) "
                              "VALUES ('LETT', 'Consultazione', 2)",
                              "UPDATE UTENTI SET PROFILOSICUREZZA='LETT' WHERE CODICE=2"});
    auto* lettore = tracciabilita();
    EXPECT_FALSE(lettore->ButtonBlocca->isEnabled());
    EXPECT_FALSE(lettore->ButtonRilascia->isEnabled());
    EXPECT_FALSE(lettore->EditMotivo->isEnabled());
    EXPECT_EQ(lettore->TreeBlocchi->topLevelItemCount(), 1);
}

TEST_F(Richiamo, AnArchiveWithoutHoldsRefusesNothingAndGetsTheirTableWhenTheScreenOpens) {
    h.esegui(h.c().azienda(), {"DROP INDEX FABBRIC_FABBRICAZIONEDA_LOTTO", "DROP TABLE BLOCCHI",
                               "DROP SEQUENCE GEN_BLOCCHI"});
    auto* impegno = apri<TImpegnoFabbricazioniForm>("ShowImpFabbrForm");
    scegli(impegno, "FM004");
    impegno->ButtonImpegna->click();
    EXPECT_EQ(msg->testi(), QStringList{"Completato"});
    EXPECT_EQ(impegno->LabelBlocchi->text(), "");

    tracciabilita();
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM RDB$RELATIONS WHERE "
                                       "RDB$RELATION_NAME = 'BLOCCHI'"),
              1);
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM RDB$INDICES WHERE "
                                       "RDB$INDEX_NAME = 'FABBRIC_FABBRICAZIONEDA_LOTTO'"),
              1);
}
