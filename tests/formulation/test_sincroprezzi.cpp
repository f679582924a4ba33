// The price synchronisation of formulations on a real archive: which
// formulations it lists, the choice of rows, the update run and its failure,
// the modal opening from the raw-materials card and the entry point.
#include "formulation/sincroprezzi.h"
#include "host/lancio.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");
const QString kAcuto = QString(QChar(0x00B4));

struct SincroPrezzi : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    std::unique_ptr<TTabXForm> sessione;

    void SetUp() override {
        Formati::impostaItaliani();
        sessione = std::make_unique<TTabXForm>();
        sessione->SetUserPerNum(2);
        sessione->Inserisci("KDQ", "Archivio", {}, h.c().azienda(), {}, {}, {}, {}, "2");
        sessione->ConnettiDatabase1("Archivio");
    }

    // Formulation `codice` with a stored cost and lines (material, percentage).
    void formulazione(int codice, const QString& costo,
                      const std::vector<std::pair<QString, QString>>& righe) {
        QStringList frasi = {QStringLiteral("INSERT INTO FORMUL (CODICE, NOME, COSTOUNITARIO) "
                                            "VALUES (%1, 'Prova %1', %2)")
                                 .arg(codice)
                                 .arg(costo)};
        int n = 0;
        for (const auto& [materia, perc] : righe) {
            frasi << QStringLiteral("INSERT INTO COMPON (CODICEFORMULAZIONE, NRIGA, "
                                    "CODICEMATERIAPRIMA, PERCENTUALE) VALUES (%1, %2, '%3', %4)")
                         .arg(codice)
                         .arg(++n)
                         .arg(materia, perc);
        }
        h.esegui(h.c().azienda(), frasi);
    }
    void materia(const QString& codice, const QString& prezzo) {
        h.esegui(h.c().azienda(),
                 {"INSERT INTO MATER (CODICE, PREZZO) VALUES ('" + codice + "', " + prezzo + ")"});
    }
    QString costo(int codice) {
        // the stored double as its shortest text; "" for NULL
        return h.valore(
            h.c().azienda(),
            QStringLiteral("SELECT COSTOUNITARIO FROM FORMUL WHERE CODICE=%1").arg(codice));
    }
    static QStringList codici(const TSincroPrezziForm& f) {
        QStringList c;
        for (int r = 0; r < f.Tab->rowCount(); ++r) {
            c << f.Tab->codice(r);
        }
        return c;
    }
    static QString cella(const TSincroPrezziForm& f, int riga, const QString& campo) {
        return f.Tab->testo(riga, f.Tab->indiceCampo(campo));
    }
    // Five stale formulations of material T1 (price 1): 101…105.
    void cinqueFormulazioni() {
        materia("T1", "1");
        materia("T2", "4");
        formulazione(101, "0", {{"T1", "12.345"}});             // 0,12345 → 0,1234
        formulazione(102, "0.2", {{"T1", "30"}});               // 0,3
        formulazione(103, "NULL", {{"T1", "10"}, {"T2", "5"}}); // 0,1 + 0,2
        formulazione(104, "1", {{"T1", "50"}});                 // 0,5
        formulazione(105, "0", {{"T1", "1.23455"}});            // 0,0123455 → 0,0123
    }
};

} // namespace

TEST_F(SincroPrezzi, WithoutAMaterialEveryStaleFormulationIsListedWithItsRecalculatedCost) {
    materia("T1", "2");
    formulazione(101, "0.5", {});                // no lines: costs 0
    formulazione(102, "1.1", {{"T1", "55.25"}}); // 1,105: not a change
    formulazione(103, "1.1", {{"T1", "56.25"}}); // 1,125
    formulazione(104, "NULL", {{"T1", "0.25"}}); // 0,005 against nothing
    formulazione(105, "1.10", {{"T1", "55.5"}}); // exactly 0,01 more
    // a material no longer in the archive would count as 0: its formulations
    // are left out and named, their costs stay as stored
    formulazione(106, "0.2", {{"T1", "10"}, {"NESSUNA", "50"}});
    formulazione(107, "0.1", {{"T1", "10"}, {"NESSUNA", "50"}, {"NIENTE", "1"}});

    TSincroPrezziForm f(sessione.get());
    EXPECT_EQ(f.objectName(), "SincroPrezziForm");
    EXPECT_EQ(f.windowTitle(), "Sincronizzazione prezzi formulazioni - Ditta: " + kDitta);
    // the demo's formulations 1 and 5 have gone stale with the price of MP002
    EXPECT_EQ(codici(f), (QStringList{"1", "5", "101", "103"}));
    EXPECT_EQ(cella(f, 0, "COSTOUNITARIO"), "0,31235");
    EXPECT_EQ(cella(f, 0, "COSTORICALCOLATO"), "0,3304"); // 0,33035, a half to the even 4
    EXPECT_EQ(cella(f, 1, "COSTORICALCOLATO"), "1,2304");
    EXPECT_EQ(cella(f, 2, "COSTORICALCOLATO"), "0");
    EXPECT_EQ(cella(f, 3, "COSTORICALCOLATO"), "1,125");
    EXPECT_EQ(cella(f, 2, "NOME"), "Prova 101");
    for (int r = 0; r < 4; ++r) {
        EXPECT_TRUE(f.Tab->selezionata(r));
        EXPECT_EQ(cella(f, r, "S"), "1");
    }
    EXPECT_EQ(msg->testi(),
              QStringList{"La materia prima NESSUNA della formulazione 106 non esiste più.\r\n"
                          "Le materie prime NESSUNA e NIENTE della formulazione 107 non esistono "
                          "più.\r\nIl costo di queste formulazioni resta quello memorizzato."});
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(f.GridFormulazioni->currentIndex().row(), 0);

    // the two costs side by side in fourth and fifth place, always yellow
    QHeaderView* h = f.GridFormulazioni->horizontalHeader();
    EXPECT_EQ(h->logicalIndex(3), f.Tab->indiceCampo("COSTOUNITARIO"));
    EXPECT_EQ(h->logicalIndex(4), f.Tab->indiceCampo("COSTORICALCOLATO"));
    EXPECT_EQ(h->logicalIndex(0), f.Tab->indiceCampo("CODICE"));
    const int s = f.Tab->indiceCampo("S");
    EXPECT_EQ(s, f.Tab->columnCount() - 1);
    auto sfondo = [&](int r, int c) {
        return f.Tab->data(f.Tab->index(r, c), Qt::BackgroundRole).value<QColor>();
    };
    EXPECT_EQ(sfondo(0, f.Tab->colonnaCosto()), QColor(Qt::yellow));
    EXPECT_EQ(sfondo(0, f.Tab->colonnaRicalcolato()), QColor(Qt::yellow));
    EXPECT_EQ(sfondo(0, f.Tab->colonnaCodice()), f.palette().color(QPalette::Highlight));
    f.CambiaSelezione();
    EXPECT_FALSE(sfondo(0, f.Tab->colonnaCodice()).isValid());
    EXPECT_EQ(sfondo(0, f.Tab->colonnaCosto()), QColor(Qt::yellow));

    // the update writes the listed ones only
    msg->pulisci();
    msg->risposte = {"Sì"};
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(costo(103), "1.125");
    EXPECT_EQ(costo(106), "0.2");
    EXPECT_EQ(costo(107), "0.1");
}

TEST_F(SincroPrezzi, OpenedForAMaterialOnlyItsFormulationsAreChecked) {
    materia("T1", "2");
    materia("X" + kAcuto + "1", "3");
    formulazione(101, "0", {{"T1", "10"}});
    formulazione(102, "0", {{"T1", "20"}, {"X" + kAcuto + "1", "10"}});
    formulazione(103, "0", {{"X" + kAcuto + "1", "30"}});

    TSincroPrezziForm f(sessione.get(), "T1");
    EXPECT_EQ(f.windowTitle(), "Sincronizzazione prezzi formulazioni che coinvolgono il "
                               "componente T1 - Ditta: " +
                                   kDitta);
    EXPECT_EQ(codici(f), (QStringList{"101", "102"}));
    EXPECT_EQ(cella(f, 1, "COSTORICALCOLATO"), "0,7"); // every line counts, not only T1's

    // a code typed with a quote finds the material stored with the accent
    TSincroPrezziForm g(sessione.get(), "X'1");
    EXPECT_EQ(codici(g), (QStringList{"102", "103"}));

    // MP007 is only in formulation 3, whose cost is right
    TSincroPrezziForm vuota(sessione.get(), "MP007");
    EXPECT_EQ(vuota.Tab->rowCount(), 0);
    vuota.ButtonSelezionaTutto->click();
    vuota.ButtonDeselezionaTutto->click();
    vuota.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(msg->testi(), QStringList(3, "Nessuna formulazione visualizzata"));
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
}

TEST_F(SincroPrezzi, TogglingAndSelectingAllKeepTheCurrentRow) {
    cinqueFormulazioni();
    TSincroPrezziForm f(sessione.get(), "T1");
    ASSERT_EQ(f.Tab->rowCount(), 5);
    f.show();
    f.GridFormulazioni->setCurrentIndex(f.Tab->index(2, 1));
    QTest::keyClick(f.GridFormulazioni, Qt::Key_F3);
    EXPECT_FALSE(f.Tab->selezionata(2));
    QTest::keyClick(f.GridFormulazioni, Qt::Key_F3);
    EXPECT_TRUE(f.Tab->selezionata(2));
    const QTableView* g = f.GridFormulazioni;
    const QRect cella = g->visualRect(f.Tab->index(3, 1));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cella.center());
    QMouseEvent doppio(QEvent::MouseButtonDblClick, QPointF(cella.center()),
                       g->viewport()->mapToGlobal(QPointF(cella.center())), Qt::LeftButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g->viewport(), &doppio);
    EXPECT_FALSE(f.Tab->selezionata(3));
    EXPECT_EQ(g->currentIndex().row(), 3);

    f.ButtonDeselezionaTutto->click();
    EXPECT_EQ(f.Tab->selezionate(), 0);
    EXPECT_EQ(g->currentIndex().row(), 3);
    f.ButtonSelezionaTutto->click();
    EXPECT_EQ(f.Tab->selezionate(), 5);
    EXPECT_EQ(g->currentIndex().row(), 3);

    f.ButtonDeselezionaTutto->click();
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(msg->testi(), QStringList{"Nessuna formulazione selezionata"});
    EXPECT_EQ(costo(101), "0");
}

TEST_F(SincroPrezzi, TheSelectedFormulationsTakeTheRoundedCostAndLeaveTheList) {
    cinqueFormulazioni();
    TSincroPrezziForm f(sessione.get(), "T1");
    ASSERT_EQ(codici(f), (QStringList{"101", "102", "103", "104", "105"}));
    f.Tab->seleziona(1, false);
    f.Tab->seleziona(3, false);

    // "No" changes nothing
    msg->risposte = {"No"};
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(msg->testi(), QStringList{"Effettuare l'aggiornamento dei costi per le "
                                        "formulazioni selezionate?"});
    EXPECT_EQ(f.Tab->rowCount(), 5);
    EXPECT_EQ(costo(101), "0");

    msg->pulisci();
    msg->risposte = {"Sì"};
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(msg->testi(), (QStringList{"Effettuare l'aggiornamento dei costi per le "
                                         "formulazioni selezionate?",
                                         "Aggiornamento effettuato"}));
    EXPECT_EQ(msg->mostrati[1].tipo, TipoMessaggio::Informazione);
    EXPECT_EQ(codici(f), (QStringList{"102", "104"}));
    EXPECT_FALSE(f.Tab->selezionata(0));
    EXPECT_EQ(f.GridFormulazioni->currentIndex().row(), 0);
    EXPECT_EQ(f.Aggiornate(), 3);
    // committed: another connection sees them
    EXPECT_EQ(costo(101), "0.1234");
    EXPECT_EQ(costo(103), "0.3");
    EXPECT_EQ(costo(105), "0.0123");
    EXPECT_EQ(costo(102), "0.2");
    EXPECT_EQ(costo(104), "1");

    // the two left are updated by a second run
    msg->pulisci();
    msg->risposte = {"Sì"};
    f.ButtonSelezionaTutto->click();
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(f.Tab->rowCount(), 0);
    EXPECT_EQ(costo(102), "0.3");
    EXPECT_EQ(costo(104), "0.5");
    EXPECT_EQ(f.Aggiornate(), 5);

    TSincroPrezziForm dopo(sessione.get(), "T1");
    EXPECT_EQ(dopo.Tab->rowCount(), 0) << "nothing is stale any more";
}

TEST_F(SincroPrezzi, AFailingUpdateWritesNothingAndKeepsTheList) {
    cinqueFormulazioni();
    TSincroPrezziForm f(sessione.get(), "T1");
    ASSERT_EQ(f.Tab->rowCount(), 5);

    // another user is changing formulation 104 and has not saved yet
    Database altro;
    altro.connect(h.c().azienda());
    auto blocco = std::make_unique<Transaction>(&altro);
    Query q(&altro, blocco.get());
    q.SQL = {"UPDATE FORMUL SET NOME='in modifica' WHERE CODICE=104"};
    q.execSQL();

    msg->risposte = {"Sì"};
    f.ButtonAggiornaPrezzi->click();
    ASSERT_EQ(msg->mostrati.size(), 2u);
    EXPECT_EQ(msg->mostrati[1].testo,
              "Errore interno durante l'aggiornamento del costo della formulazione");
    EXPECT_EQ(msg->mostrati[1].tipo, TipoMessaggio::Errore);
    EXPECT_EQ(codici(f), (QStringList{"101", "102", "103", "104", "105"}));
    EXPECT_EQ(f.Tab->selezionate(), 5);
    EXPECT_EQ(f.Aggiornate(), 0);
    blocco->rollback();
    EXPECT_EQ(costo(101), "0") << "the updates before the failure were taken back";
    EXPECT_EQ(costo(103), "");

    // once the other user is done the same list can be written
    msg->pulisci();
    msg->risposte = {"Sì"};
    f.ButtonAggiornaPrezzi->click();
    EXPECT_EQ(msg->testi().last(), "Aggiornamento effettuato");
    EXPECT_EQ(f.Tab->rowCount(), 0);
    EXPECT_EQ(costo(104), "0.5");
}

TEST_F(SincroPrezzi, TheRawMaterialsCardOpensItModallyOnItsSession) {
    cinqueFormulazioni();
    QWidget scheda;
    QPixmap px(16, 16);
    px.fill(Qt::red);
    scheda.setWindowIcon(QIcon(px));
    QString titolo;
    bool stessaIcona = false;
    msg->risposte = {"Sì"};
    msg->dialogo = [&](QDialog* d) -> int {
        auto* f = d->findChild<TSincroPrezziForm*>();
        if (!f) {
            return QDialog::Rejected;
        }
        titolo = d->windowTitle();
        stessaIcona = d->windowIcon().cacheKey() == scheda.windowIcon().cacheKey();
        f->Tab->seleziona(0, false);
        f->ButtonAggiornaPrezzi->click();
        f->ButtonChiudi->click();
        return d->result();
    };
    EXPECT_EQ(TSincroPrezziForm::mostra(sessione.get(), &scheda, "T1"), 4);
    EXPECT_EQ(msg->dialoghiAperti, std::vector<QString>{"DialogoSincroPrezzi"});
    EXPECT_EQ(titolo, "Sincronizzazione prezzi formulazioni che coinvolgono il componente T1 - "
                      "Ditta: " +
                          kDitta);
    EXPECT_TRUE(stessaIcona);
    EXPECT_EQ(costo(101), "0");
    EXPECT_EQ(costo(102), "0.3");
    EXPECT_TRUE(sessione->IBDatabase1.connected()) << "the caller's session is left alone";
}

TEST_F(SincroPrezzi, TheEntryPointOpensItOnEveryFormulationAndSavesItsPosition) {
    const DescrizioneSchermata* d = trovaSchermata("ShowSincroPrezziForm");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->entrataD);
    EXPECT_TRUE(d->entrataX);
    QPointer<FinestraSessione> w = LanciaSchermata(*d, 2, std::nullopt);
    ASSERT_TRUE(w);
    auto* f = qobject_cast<TSincroPrezziForm*>(w.data());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->PossiedeSessione);
    EXPECT_EQ(f->windowTitle(), "Sincronizzazione prezzi formulazioni - Ditta: " + kDitta);
    EXPECT_EQ(codici(*f), (QStringList{"1", "5"}));
    EXPECT_EQ(f->LabelTitolo->text(), "Formulazioni che hanno subito una variazione di prezzo "
                                      "(F3 o doppio click per selezionare / deselezionare):");
    EXPECT_EQ(f->ButtonSelezionaTutto->text(), "&Seleziona tutto");
    EXPECT_EQ(f->ButtonDeselezionaTutto->text(), "&Deseleziona tutto");
    EXPECT_EQ(f->ButtonAggiornaPrezzi->text(), "&Aggiorna prezzi");
    EXPECT_EQ(f->ButtonChiudi->text(), "&Chiudi");
    f->move(40, 50);
    f->resize(700, 400);
    f->ButtonChiudi->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w) << "the screen and its session are gone";
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM STOPOS1 WHERE CODICEPROGETTO=150 AND "
                                       "CODICESITUAZIONE=24 AND CODICEUTENTE=2 AND DIMX=700"),
              1);
}
