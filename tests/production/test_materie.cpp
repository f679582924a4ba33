// Page "Materie" of the manufacturing sheet on the demo archives: the line
// and batch figures, integration, substitution and removal of analogue
// lines with their refusals, and the consumption lines by package serial.
#include "master/mater.h"
#include "production/errorevintel.h"
#include "production/fabbcompon.h"
#include "production/insconsumi.h"
#include "production/materie.h"
#include "production/schedafinta.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/trattenuta.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace quintar;

namespace {

class Materie : public ::testing::Test {
protected:
    prova::Cartella h{true};
    RegistraMessaggi msg;
    std::unique_ptr<prova::SchedaFinta> scheda;
    std::unique_ptr<PaginaMaterie> p;

    QString az() const { return h.c().azienda(); }

    // The page on a batch, entered as the sheet enters it.
    void apri(bool conErp = true, std::function<void(LottoCorrente&)> cambia = {}) {
        p.reset();
        scheda = std::make_unique<prova::SchedaFinta>(h, conErp);
        scheda->lotto = prova::lottoFM001();
        if (cambia) {
            cambia(scheda->lotto);
        }
        p = std::make_unique<PaginaMaterie>(*scheda);
        p->aggiorna();
    }

    void vaiARiga(qint64 riga) {
        GrigliaModello* m = p->GridCompon->modello();
        const int r =
            m->cerca("NRIGA", [&](const QString& v) { return v == QString::number(riga); });
        ASSERT_GE(r, 0) << riga;
        p->GridCompon->setCurrentIndex(m->index(r, 0));
    }

    QString percentuale(int riga) {
        return h.valore(az(), QStringLiteral("SELECT PERCENTUALE FROM FABBCOMPON WHERE "
                                             "CODICEFABBRICAZIONE='FM001' AND NRIGA=%1")
                                  .arg(riga));
    }
    QString totale() {
        return h.valore(az(), "SELECT CAST(SUM(PERCENTUALE) AS NUMERIC(18,6)) FROM FABBCOMPON "
                              "WHERE CODICEFABBRICAZIONE='FM001'");
    }

    // The component dialog answered with a code and a percentage, then OK.
    void componente(const QString& codice, const QString& perc = {}) {
        msg->dialogo = [codice, perc](QDialog* d) -> int {
            auto* f = qobject_cast<TFabbComponForm*>(d);
            if (!f) {
                return QDialog::Rejected;
            }
            f->EditCodice->setText(codice);
            if (!perc.isNull()) {
                f->EditPercentuale->setText(perc);
            }
            f->OKBtn->click();
            return f->result();
        };
    }

    QString ultimo() { return msg->mostrati.empty() ? QString() : msg->mostrati.back().testo; }
};

} // namespace

TEST_F(Materie, LaRigaSceltaMostraQuantitaBilanciaETolleranzaEIlLottoLAcqua) {
    apri();
    ASSERT_EQ(p->GridCompon->modello()->rowCount(), 6);
    EXPECT_FALSE(p->GridCompon->isColumnHidden(5));
    EXPECT_TRUE(p->GridCompon->isColumnHidden(6));
    auto* percentuali = qobject_cast<QStyledItemDelegate*>(p->GridCompon->itemDelegateForColumn(3));
    ASSERT_NE(percentuali, nullptr);
    EXPECT_EQ(percentuali->displayText(p->GridCompon->modello()->index(5, 3).data(), {}),
              "0,002000");
    EXPECT_EQ(p->GridConsumi->modello()->rowCount(), 2);
    EXPECT_TRUE(p->TimerLotto->isActive());
    EXPECT_TRUE(p->TimerRiga->isActive());
    EXPECT_TRUE(p->EditQuantita->text().isEmpty());

    // line 1: 12 % of 2000 l at 1,03 is 247,2 kg: floor scale, to 100 g plus
    // 100 g; 5 g/kg is 1236 g, down to 1200
    EXPECT_EQ(p->EditNRiga->text(), "1");
    EXPECT_EQ(p->EditCodice->text(), "MP002");
    EXPECT_TRUE(p->CheckCritico->isChecked());
    EXPECT_EQ(p->EditPesata->text(), "247,5");
    p->calcolaRiga();
    EXPECT_EQ(p->EditQuantita->text(), "247,3");
    EXPECT_EQ(p->EditBilancia->text(), "11");
    EXPECT_EQ(p->EditTolleranza->text(), "1200");
    EXPECT_EQ(p->EditAnaloghi->text(),
              "Sodio lauriletere solfato 70%, Sodio lauriletere solfato 70% (Chimitalia)");

    // the weighing of the line's serial and the supplier's name
    EXPECT_TRUE(p->TimerPesata->isActive());
    p->leggiPesata();
    EXPECT_EQ(p->EditSerialePesata->text(), "SR250001");
    EXPECT_EQ(p->EditCodiceFornitore->text(), "F002");
    EXPECT_TRUE(p->TimerFornitore->isActive());
    p->leggiFornitore();
    EXPECT_EQ(p->EditFornitore->text(), "Tensio Sud S.r.l.");

    // line 6: 0,002 % is 41,2 g on the small scale, 20 g/kg is 0,82 g
    vaiARiga(6);
    EXPECT_TRUE(p->EditQuantita->text().isEmpty());
    EXPECT_TRUE(p->TimerRiga->isActive());
    p->calcolaRiga();
    EXPECT_EQ(p->EditQuantita->text(), "0,0412");
    EXPECT_EQ(p->EditBilancia->text(), "1");
    EXPECT_EQ(p->EditTolleranza->text(), "0,82");

    // the batch: 17,902 % of lines leave 82,09 % of water, 1691,2 kg
    p->calcolaLotto();
    EXPECT_EQ(p->EditQuantitaTotale->text(), "2060");
    EXPECT_EQ(p->EditDensita->text(), "1,03");
    EXPECT_EQ(p->EditPH->text(), "7");
    EXPECT_EQ(p->EditPercentualeAcqua->text(), "82,09");
    EXPECT_EQ(p->EditQuantitaAcqua->text(), "1.691,2");
    EXPECT_EQ(p->EditTolleranzaAcqua->text(), "8.400");
    EXPECT_EQ(p->EditBilanciaAcqua->text(), "11");

    p->chiudi();
    EXPECT_FALSE(p->TimerLotto->isActive());
    EXPECT_FALSE(p->TimerRiga->isActive());
}

TEST_F(Materie, LAcquaCompletaLeRigheDelLottoEUnLottoInKgNonUsaLaDensita) {
    // the batch's line differs from the formulation's: the water follows the batch
    h.esegui(az(), {"UPDATE FABBCOMPON SET PERCENTUALE=10 WHERE CODICEFABBRICAZIONE='FM001' "
                    "AND NRIGA=1"});
    apri();
    p->calcolaLotto();
    EXPECT_EQ(p->EditPercentualeAcqua->text(), "84,09");

    apri(true, [](LottoCorrente& l) { l.unitaMisura = "Kg"; });
    p->calcolaLotto();
    EXPECT_EQ(p->EditQuantitaTotale->text(), "2000");
    EXPECT_EQ(p->EditQuantitaAcqua->text(), "1.681,9");
    p->calcolaRiga();
    EXPECT_EQ(p->EditQuantita->text(), "200,1"); // 10 % of 2000 kg
}

TEST_F(Materie, LIntegrazioneSpostaUnaQuotaSenzaCambiareIlTotale) {
    const QString prima = totale();
    apri();
    componente("MP012", "0,5");
    p->ButtonIntegraFabbCompon->click();
    ASSERT_EQ(msg->dialoghiAperti, std::vector<QString>{"FabbComponForm"})
        << ultimo().toStdString();
    EXPECT_TRUE(msg->mostrati.empty()) << ultimo().toStdString();
    EXPECT_EQ(percentuale(7), "0.5");
    EXPECT_EQ(percentuale(1), "11.5");
    EXPECT_EQ(h.valore(az(), "SELECT CODICEMATERIAPRIMA||'/'||CRITICO||'/'||CAST(TOLLERANZA AS "
                             "INTEGER) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001' AND "
                             "NRIGA=7"),
              "MP012/1/5");
    EXPECT_EQ(totale(), prima);
    // the page stands on the new line
    EXPECT_EQ(p->rigaCorrente(), 7);
    EXPECT_EQ(p->EditCodice->text(), "MP012");

    // removing the integration gives its share back to the group
    msg->risposte = {"Sì"};
    p->ButtonEliminaFabbCompon->click();
    EXPECT_EQ(ultimo(), "Eliminare il record selezionato?");
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              6);
    EXPECT_EQ(percentuale(1), "12");
    EXPECT_EQ(totale(), prima);
    EXPECT_EQ(p->rigaCorrente(), 6); // back to the line before

    // a line alone in its group is no integration
    msg->pulisci();
    vaiARiga(2);
    p->ButtonEliminaFabbCompon->click();
    EXPECT_EQ(ultimo(), "Attenzione: è possibile eliminare solo integrazioni");
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              6);
}

TEST_F(Materie, UnaRigaCheLaListaMostravaMaOraEDiUnAltroNonSiTocca) {
    const QString prima = totale();
    apri();
    componente("MP012", "0,5");
    p->ButtonIntegraFabbCompon->click();
    ASSERT_EQ(p->rigaCorrente(), 7);
    // another user's page reads the batch now: line 7 is MP012
    prova::SchedaFinta altraScheda(h, true);
    altraScheda.lotto = prova::lottoFM001();
    PaginaMaterie altra(altraScheda);
    altra.aggiorna();
    // the first user removes the integration and makes another: its number is 7 again
    msg->risposte = {"Sì"};
    p->ButtonEliminaFabbCompon->click();
    vaiARiga(1);
    componente("MP012", "0,25");
    p->ButtonIntegraFabbCompon->click();
    ASSERT_EQ(percentuale(7), "0.25");
    // the other user, on the line 7 it still shows, touches nothing of the
    // first user's line, and is told
    GrigliaModello* m = altra.GridCompon->modello();
    auto sette = [&] {
        altra.GridCompon->setCurrentIndex(
            m->index(m->cerca("NRIGA", [](const QString& v) { return v == "7"; }), 0));
    };
    sette();
    msg->pulisci();
    msg->risposte = {"Sì"};
    altra.ButtonEliminaFabbCompon->click();
    EXPECT_EQ(ultimo(), "Il record selezionato è stato modificato da un altro utente: la lista "
                        "mostra ora le righe come sono memorizzate");
    EXPECT_EQ(percentuale(7), "0.25");
    EXPECT_EQ(totale(), prima);
    // line 7 of another material: gone, as far as that list knew
    h.esegui(az(), {"UPDATE FABBCOMPON SET CODICEMATERIAPRIMA='MP002' WHERE "
                    "CODICEFABBRICAZIONE='FM001' AND NRIGA=7"});
    sette();
    msg->pulisci();
    componente("MP002", "0,1");
    altra.ButtonIntegraFabbCompon->click();
    EXPECT_EQ(ultimo(), "Il record selezionato è già stato cancellato da un altro utente");
    EXPECT_EQ(totale(), prima);
}

TEST_F(Materie, LIntegrazioneRifiutaPercentualiCheIlGruppoNonPuoCedere) {
    // group MP010: line 4 at 0,3 and a new line 7 (MP011) at 0,3; MP015 joins it
    h.esegui(az(), {"UPDATE MATER SET CODICEANALOGO='MP010' WHERE CODICE IN ('MP011','MP015')",
                    "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                    "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, TOLLERANZA) "
                    "VALUES ('FM001', '2025-01-15', 'L25015', 7, 'MP011', 0.3, 10)"});
    const QString prima = totale();
    apri();
    vaiARiga(4);
    // 0,5 is below the group's 0,6 but more than its largest line holds
    componente("MP015", "0,5");
    p->ButtonIntegraFabbCompon->click();
    ASSERT_FALSE(msg->mostrati.empty());
    EXPECT_EQ(msg->mostrati.front().testo,
              "Attenzione: la percentuale non può superare 0,3000, quella della riga più alta del "
              "gruppo che la cede");
    // not less than the group's total, nor above 0, nor a number
    msg->pulisci();
    componente("MP015", "0,6");
    p->ButtonIntegraFabbCompon->click();
    EXPECT_EQ(msg->mostrati.front().testo,
              "Attenzione: la percentuale deve essere minore di 0,6000");
    msg->pulisci();
    componente("MP015", "0");
    p->ButtonIntegraFabbCompon->click();
    EXPECT_EQ(msg->mostrati.front().testo, "Attenzione: la percentuale deve essere maggiore di 0");
    msg->pulisci();
    componente("MP015", "");
    p->ButtonIntegraFabbCompon->click();
    EXPECT_EQ(msg->mostrati.front().testo, "Attenzione: è necessario indicare una percentuale");
    EXPECT_EQ(totale(), prima);
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              7);

    // the example of a group totalling 0,5
    h.esegui(az(), {"DELETE FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001' AND NRIGA=7",
                    "UPDATE FABBCOMPON SET PERCENTUALE=0.5 WHERE CODICEFABBRICAZIONE='FM001' AND "
                    "NRIGA=4"});
    apri();
    vaiARiga(4);
    msg->pulisci();
    componente("MP015", "0,5");
    p->ButtonIntegraFabbCompon->click();
    EXPECT_EQ(msg->mostrati.front().testo,
              "Attenzione: la percentuale deve essere minore di 0,5000");
    // a point is no decimal separator: "0.4" types as "0,4"
    msg->pulisci();
    msg->dialogo = [](QDialog* d) -> int {
        auto* f = qobject_cast<TFabbComponForm*>(d);
        f->EditCodice->setText("MP015");
        f->EditPercentuale->clear();
        QTest::keyClicks(f->EditPercentuale, "0.4");
        EXPECT_EQ(f->EditPercentuale->text(), "0,4");
        f->OKBtn->click();
        return f->result();
    };
    p->ButtonIntegraFabbCompon->click();
    EXPECT_TRUE(msg->mostrati.empty()) << ultimo().toStdString();
    EXPECT_EQ(percentuale(7), "0.4");
    EXPECT_EQ(percentuale(4), "0.1");
}

TEST_F(Materie, UnComponenteSenzaCodiceAnalogoNonSiIntegraSostituisceNeElimina) {
    h.esegui(az(), {"UPDATE MATER SET CODICEANALOGO=NULL WHERE CODICE IN ('MP019','MP015')"});
    apri();
    vaiARiga(6);
    p->calcolaRiga();
    EXPECT_TRUE(p->EditAnaloghi->text().isEmpty());
    componente("MP015", "0,001");
    msg->risposte = {"Sì"};
    for (QPushButton* b :
         {p->ButtonIntegraFabbCompon, p->ButtonSostituisciFabbCompon, p->ButtonEliminaFabbCompon}) {
        msg->pulisci();
        b->click();
        EXPECT_EQ(ultimo(), "Attenzione: il componente non ha un codice analogo")
            << b->objectName().toStdString();
    }
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              6);
    EXPECT_EQ(percentuale(6), "0.002");
}

TEST_F(Materie, LaSostituzioneCambiaIlMaterialeConUnAnalogo) {
    apri();
    vaiARiga(2);
    // the checks of the code: another analogue group, the same code, none
    const std::vector<std::pair<QString, QString>> rifiuti = {
        {"MP002", "Attenzione: il codice inserito deve avere lo stesso codice analogo del "
                  "componente di partenza (cod. analogo: \"MP005\")"},
        {"MP005", "Attenzione: il codice deve essere diverso da quello di partenza"},
        {"NO'NE", "Attenzione: codice inserito inesistente"},
        {"", "Inserire un codice"}};
    for (const auto& [codice, testo] : rifiuti) {
        msg->pulisci();
        componente(codice);
        p->ButtonSostituisciFabbCompon->click();
        EXPECT_EQ(ultimo(), testo);
    }
    EXPECT_EQ(h.valore(az(), "SELECT CODICEMATERIAPRIMA FROM FABBCOMPON WHERE "
                             "CODICEFABBRICAZIONE='FM001' AND NRIGA=2"),
              "MP005");

    vaiARiga(1);
    msg->pulisci();
    componente("MP012");
    p->ButtonSostituisciFabbCompon->click();
    EXPECT_TRUE(msg->mostrati.empty()) << ultimo().toStdString();
    EXPECT_EQ(h.valore(az(), "SELECT CODICEMATERIAPRIMA FROM FABBCOMPON WHERE "
                             "CODICEFABBRICAZIONE='FM001' AND NRIGA=1"),
              "MP012");
    EXPECT_EQ(percentuale(1), "12");
    EXPECT_EQ(p->rigaCorrente(), 1);
    EXPECT_EQ(p->EditCodice->text(), "MP012");
}

TEST_F(Materie, IlDialogoMostraLaRigaENeLeggeIlGruppo) {
    apri();
    auto s = std::make_unique<prova::SchedaFinta>(h);
    s->lotto = prova::lottoFM001();
    TFabbComponForm f(*s, 1, ModoComponente::Integrazione);
    EXPECT_EQ(f.windowTitle(), "Integrazione");
    EXPECT_EQ(f.EditNRiga->text(), "1");
    EXPECT_EQ(f.EditDescrizione->text(), "Sodio lauriletere solfato 70%");
    EXPECT_EQ(f.EditRange->text(), "8,3 - 8,5 % s.a. anionica");
    EXPECT_TRUE(f.CheckCritico->isChecked());
    EXPECT_EQ(f.analogo(), "MP002");
    EXPECT_DOUBLE_EQ(f.totaleGruppo(), 12);
    EXPECT_FALSE(f.EditPercentuale->isReadOnly());
    TFabbComponForm g(*s, 1, ModoComponente::Sostituzione);
    EXPECT_EQ(g.windowTitle(), "Sostituzione");
    EXPECT_TRUE(g.EditPercentuale->isReadOnly());
}

TEST_F(Materie, IlCodiceSiCercaSoloTraGliAnaloghiDellaRiga) {
    apri();
    QString analogo;
    bool bloccato = false;
    int righe = 0;
    msg->dialogo = [&](QDialog* d) -> int {
        if (auto* f = qobject_cast<TFabbComponForm*>(d)) {
            f->ButtonCodice->click();
            EXPECT_EQ(f->EditCodice->text(), "MP012");
            EXPECT_EQ(f->EditDescrizione->text(), "Sodio lauriletere solfato 70% (Chimitalia)");
            return QDialog::Rejected;
        }
        auto* m = d->findChild<TMaterForm*>();
        if (!m) {
            return QDialog::Rejected;
        }
        auto* campo = m->findChild<QLineEdit*>("EditRicercaCodiceAnalogo");
        analogo = campo->text();
        bloccato = campo->isReadOnly();
        righe = m->Griglia->modello()->rowCount();
        const int r =
            m->Griglia->modello()->cerca("CODICE", [](const QString& v) { return v == "MP012"; });
        m->Griglia->setCurrentIndex(m->Griglia->modello()->index(r, 0));
        m->ButtonRicercaRitorna->click();
        return d->result();
    };
    p->ButtonSostituisciFabbCompon->click();
    EXPECT_EQ(analogo, "MP002");
    EXPECT_TRUE(bloccato);
    EXPECT_EQ(righe, 2);
    // cancelled: nothing changed
    EXPECT_EQ(h.valore(az(), "SELECT CODICEMATERIAPRIMA FROM FABBCOMPON WHERE "
                             "CODICEFABBRICAZIONE='FM001' AND NRIGA=1"),
              "MP002");
}

TEST_F(Materie, UnaModificaNonRiuscitaNonLasciaNullaAMeta) {
    // the archive refuses every change of a line's percentage
    h.esegui(az(), {"CREATE EXCEPTION PROVA_RIFIUTO 'percentuale bloccata'"});
    h.esegui(az(), {"CREATE TRIGGER PROVA_BLOCCO FOR FABBCOMPON BEFORE UPDATE AS BEGIN "
                    "IF (NEW.PERCENTUALE IS DISTINCT FROM OLD.PERCENTUALE) THEN EXCEPTION "
                    "PROVA_RIFIUTO; END",
                    "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                    "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, TOLLERANZA) "
                    "VALUES ('FM001', '2025-01-15', 'L25015', 7, 'MP012', 0.5, 5)"});
    apri();
    // integration: the new line goes with the donor's update
    componente("MP012", "1");
    p->ButtonIntegraFabbCompon->click();
    ASSERT_FALSE(msg->mostrati.empty());
    EXPECT_TRUE(ultimo().startsWith("Errore interno: impossibile salvare le modifiche:\n"))
        << ultimo().toStdString();
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              7);
    // removal: the line stays when the receiver cannot take its share
    msg->pulisci();
    vaiARiga(7);
    msg->risposte = {"Sì"};
    p->ButtonEliminaFabbCompon->click();
    EXPECT_TRUE(ultimo().startsWith("Errore interno: impossibile eliminare il record:\n"))
        << ultimo().toStdString();
    EXPECT_EQ(percentuale(7), "0.5");
    EXPECT_EQ(percentuale(1), "12");
    // the page goes on working on the main transaction
    p->aggiorna();
    EXPECT_EQ(p->GridCompon->modello()->rowCount(), 7);
}

// ------------------------------------------------------------------ consumption

namespace {

// Answers the consumption dialog: serial with Enter, then quantity and OK
// (when a quantity is given). Records the out-of-weight notices.
struct Consumo {
    QString seriale;
    QString quantita;
    QStringList avvisi; // LabelAvviso of each notice
};

std::function<int(QDialog*)> rispondi(Consumo& c) {
    return [&c](QDialog* d) -> int {
        if (auto* e = qobject_cast<TErroreVintelForm*>(d)) {
            EXPECT_EQ(e->windowTitle(), "Segnalazione");
            c.avvisi << e->LabelAvviso->text();
            e->ButtonChiudi->click();
            return QDialog::Accepted;
        }
        auto* f = qobject_cast<TInsConsumiForm*>(d);
        if (!f) {
            return QDialog::Rejected;
        }
        f->EditSeriale->setText(c.seriale);
        QTest::keyClick(f->EditSeriale, Qt::Key_Return);
        if (c.quantita.isNull()) {
            return QDialog::Rejected;
        }
        QTest::keyClicks(f->EditQuantita, c.quantita);
        f->OKBtn->click();
        return f->result();
    };
}

} // namespace

TEST_F(Materie, IlConsumoDecodificaIlSerialeEControllaIlPeso) {
    // SR250002 already consumed by another batch
    h.esegui(az(), {"INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, "
                    "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES (3, 2, 'MP002', 'MP002', "
                    "'SR250002', 400, 'TS24-0981')",
                    "ALTER SEQUENCE IDCONSUMICOUNTER RESTART WITH 9"});
    apri();
    Consumo c;
    msg->dialogo = rispondi(c);
    const std::vector<std::pair<QString, QString>> rifiuti = {
        {"XX'1", "Seriale \"XX'1\" non trovato"},
        {"SR250001", "Il seriale \"SR250001\" è già stato usato tra i consumi della fabbricazione"},
        {"SR250005", "Materia prima \"MP004\" (cod. analogo \"MP004\") non prevista dalla "
                     "fabbricazione"}};
    for (const auto& [seriale, testo] : rifiuti) {
        msg->pulisci();
        c.seriale = seriale;
        p->ButtonIntegraConsumi->click();
        EXPECT_EQ(ultimo(), testo);
    }

    // line 1 weighs 247,3 kg; 5 % either side
    msg->pulisci();
    c = {"SR250002", "300", {}};
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(c.avvisi, QStringList{"Fuori peso"});
    c = {"SR250002", "234.9", {}};
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(c.avvisi, QStringList{"Fuori peso"});
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 3);

    c = {"SR250002", "259.6", {}};
    p->ButtonIntegraConsumi->click();
    EXPECT_TRUE(c.avvisi.isEmpty());
    EXPECT_TRUE(msg->mostrati.empty()) << ultimo().toStdString();
    EXPECT_EQ(h.valore(az(), "SELECT ID_FABBRICAZIONE||'/'||CODICEMATERIA||'/'||CODICECONSUMATO"
                             "||'/'||LOTTO FROM CONSUMI WHERE ID_CONSUMI=10"),
              "1/MP002/MP002/TS24-0981");
    EXPECT_EQ(h.valore(az(), "SELECT QUANTITA FROM CONSUMI WHERE ID_CONSUMI=10"), "259.6");
    EXPECT_EQ(p->consumoCorrente(), 10);

    // an analogue's package counts for the line of its analogue code
    c = {"SR250019", "250", {}};
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(h.valore(az(), "SELECT CODICEMATERIA||'/'||CODICECONSUMATO||'/'||LOTTO FROM CONSUMI "
                             "WHERE ID_CONSUMI=11"),
              "MP002/MP012/CH24-4998");
    EXPECT_EQ(p->GridConsumi->modello()->rowCount(), 4);
}

TEST_F(Materie, UnSerialeSiConsumaUnaVoltaSolaPerFabbricazione) {
    // a second station has the same batch's page open
    apri();
    prova::SchedaFinta altraScheda(h);
    altraScheda.lotto = prova::lottoFM001();
    PaginaMaterie altra(altraScheda);
    altra.aggiorna();

    // both dialogs decode SR250002, unused so far; the other station confirms
    // first, while this dialog is still open
    int dialoghi = 0;
    msg->dialogo = [&](QDialog* d) -> int {
        auto* f = qobject_cast<TInsConsumiForm*>(d);
        if (!f) {
            return QDialog::Rejected;
        }
        f->EditSeriale->setText("SR250002");
        QTest::keyClick(f->EditSeriale, Qt::Key_Return);
        if (++dialoghi == 1) {
            altra.ButtonIntegraConsumi->click();
        }
        QTest::keyClicks(f->EditQuantita, "247,3");
        f->OKBtn->click();
        return f->result();
    };
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(dialoghi, 2);
    EXPECT_EQ(ultimo(),
              "Il seriale \"SR250002\" è già stato usato tra i consumi della fabbricazione");
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI WHERE ID_FABBRICAZIONE=1 AND "
                            "SERIALE='SR250002'"),
              1);
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 3);
    EXPECT_EQ(altra.GridConsumi->modello()->rowCount(), 3);

    // the other station's line not committed yet: refused all the same; once
    // the other station has given up, the serial may be consumed
    msg->pulisci();
    msg->dialogo = [&](QDialog* d) -> int {
        auto* f = qobject_cast<TInsConsumiForm*>(d);
        if (!f) {
            return QDialog::Rejected;
        }
        f->EditSeriale->setText("SR250004");
        QTest::keyClick(f->EditSeriale, Qt::Key_Return);
        QTest::keyClicks(f->EditQuantita, "82,5");
        f->OKBtn->click();
        return f->result();
    };
    {
        prova::ScritturaTrattenuta trattenuta(
            az(), {"INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, "
                   "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES (90, 1, 'MP005', 'MP005', "
                   "'SR250004', 82.5, 'TS25-0012')"});
        p->ButtonIntegraConsumi->click();
        EXPECT_EQ(ultimo(),
                  "Il seriale \"SR250004\" è già stato usato tra i consumi della fabbricazione");
    } // given up
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI WHERE SERIALE='SR250004'"), 0);
    msg->pulisci();
    p->ButtonIntegraConsumi->click();
    EXPECT_TRUE(msg->mostrati.empty()) << ultimo().toStdString();
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI WHERE SERIALE='SR250004'"), 1);
}

TEST_F(Materie, UnConsumoRifiutatoDallArchivioNonVieneRegistrato) {
    h.esegui(az(), {"CREATE EXCEPTION PROVA_RIFIUTO 'consumi bloccati'"});
    h.esegui(az(), {"CREATE TRIGGER PROVA_BLOCCO FOR CONSUMI BEFORE INSERT AS BEGIN "
                    "EXCEPTION PROVA_RIFIUTO; END"});
    apri();
    Consumo c{"SR250002", "247,3", {}};
    msg->dialogo = rispondi(c);
    p->ButtonIntegraConsumi->click();
    EXPECT_TRUE(ultimo().startsWith("Errore interno durante l'inserimento dei consumi:\n"))
        << ultimo().toStdString();
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 2);
    EXPECT_EQ(p->GridConsumi->modello()->rowCount(), 2);
}

TEST_F(Materie, IlDialogoDeiConsumiControllaSerialeEQuantita) {
    apri();
    TInsConsumiForm f(*scheda, 1);
    EXPECT_EQ(f.windowTitle(), "Inserimento consumi");
    EXPECT_DOUBLE_EQ(f.soglia(), 5);
    EXPECT_FALSE(f.verifica());
    EXPECT_EQ(ultimo(), "Inserire prima il seriale");
    f.EditSeriale->setText("SR250003");
    EXPECT_FALSE(f.verifica());
    EXPECT_EQ(ultimo(), "Il seriale non è stato decodificato");
    // SR250003 is used already; SR250004 is the next package of MP005
    f.EditSeriale->setText("SR250004");
    EXPECT_TRUE(f.decodificaSeriale());
    ASSERT_TRUE(f.quantitaAttesa().has_value());
    EXPECT_DOUBLE_EQ(*f.quantitaAttesa(), 82.5); // 82,4 kg on the floor scale, plus 100 g
    EXPECT_EQ(f.lotto(), "TS25-0012");
    EXPECT_FALSE(f.verifica());
    EXPECT_EQ(ultimo(), "Inserire una quantità valida");
    f.EditQuantita->setText("82,41");
    EXPECT_TRUE(f.verifica());
    // a serial typed over the decoded one is not decoded
    QTest::keyClicks(f.EditSeriale, "9");
    EXPECT_FALSE(f.verifica());
    EXPECT_EQ(ultimo(), "Il seriale non è stato decodificato");
}

TEST_F(Materie, IlConsumoSenzaNumeroDiLottoOSenzaArchivioTovarisERifiutato) {
    apri(true, [](LottoCorrente& l) { l.id.reset(); });
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(ultimo(), "Attenzione: la fabbricazione non ha un numero identificativo, "
                        "impossibile inserire consumi");
    apri(false);
    p->ButtonIntegraConsumi->click();
    EXPECT_EQ(ultimo(), "Attenzione: l'archivio Tovaris non è collegato, impossibile "
                        "decodificare il seriale");
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 2);
}

TEST_F(Materie, LaRigaDiConsumoSiEliminaDopoConferma) {
    apri();
    p->GridConsumi->setCurrentIndex(p->GridConsumi->modello()->index(1, 0));
    EXPECT_EQ(p->consumoCorrente(), 2);
    msg->risposte = {"No"};
    p->ButtonEliminaConsumi->click();
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 2);
    msg->risposte = {"Sì"};
    p->ButtonEliminaConsumi->click();
    EXPECT_EQ(ultimo(), "Eliminare il record selezionato?");
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI WHERE ID_CONSUMI=2"), 0);
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM CONSUMI"), 1);
    EXPECT_EQ(p->consumoCorrente(), 1);
    msg->risposte = {"Sì"};
    p->ButtonEliminaConsumi->click();
    msg->pulisci();
    p->ButtonEliminaConsumi->click();
    EXPECT_EQ(ultimo(), "Nessun record selezionato");
}

namespace {

TEST_F(Materie, IntegraESostituisciSenzaRigaNonApronoNulla) {
    h.esegui(az(), {"DELETE FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"});
    apri();
    ASSERT_EQ(p->GridCompon->modello()->rowCount(), 0);
    for (QPushButton* b : {p->ButtonIntegraFabbCompon, p->ButtonSostituisciFabbCompon}) {
        msg->pulisci();
        b->click();
        EXPECT_EQ(ultimo(), "Nessun record selezionato") << b->objectName().toStdString();
    }
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_EQ(h.conta(az(), "SELECT COUNT(*) FROM FABBCOMPON WHERE CODICEFABBRICAZIONE='FM001'"),
              0);
}

} // namespace
