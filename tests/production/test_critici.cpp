// The pages "Comp. Critici" and "Qualità" of the manufacturing sheet over the
// demo archive: batch FM001 is product FM001, formulation 1, whose only
// critical line is line 1, MP002 at 12 % (theoretical active matter 70, real
// 69,5, formulation density 1,03).
#include "production/critici.h"

#include "production/schedafinta.h"
#include "session/connessione.h"
#include "session/messaggi.h"
#include "ui/grigliamodello.h"
#include "ui/storico.h"

#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace quintar;

namespace {

struct Critici : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    std::unique_ptr<prova::SchedaFinta> scheda;
    std::unique_ptr<PagineCritici> pagine;
    // What the input box showed when it was answered.
    QString titoloInput, valoreProposto, didascaliaInput;
    int inputAperti = 0;

    void SetUp() override { crea(); }
    void TearDown() override {
        pagine.reset();
        scheda.reset();
    }
    void crea() {
        pagine.reset();
        scheda.reset();
        scheda = std::make_unique<prova::SchedaFinta>(h);
        scheda->lotto = prova::lottoFM001();
        pagine = std::make_unique<PagineCritici>(*scheda, &scheda->w);
    }

    QString az() const { return h.c().azienda(); }
    QString valore(const QString& sql) { return h.valore(az(), sql); }
    int conta(const QString& sql) { return h.conta(az(), sql); }

    // The input box answered with a text (OK) or cancelled.
    void rispondi(const QString& testo, int esito = kRisultatoOK) {
        msg->dialogo = [this, testo, esito](QDialog* d) -> int {
            ++inputAperti;
            titoloInput = d->windowTitle();
            auto* e = d->findChild<QLineEdit*>(QStringLiteral("Edit1"));
            auto* l = d->findChild<QLabel*>(QStringLiteral("Label1"));
            valoreProposto = e ? e->text() : QStringLiteral("<nessun campo>");
            didascaliaInput = l ? l->text() : QString();
            if (e) {
                e->setText(testo);
            }
            return esito;
        };
    }

    QString riga() const { return pagine->EditNRiga->text(); }
    QString realeIn(int nriga) {
        return valore(
            QStringLiteral("SELECT MATERIAATTIVAREALE FROM COMPON WHERE CODICEFORMULAZIONE=1 "
                           "AND NRIGA=%1")
                .arg(nriga));
    }
    int righeStorico() {
        return conta(QStringLiteral("SELECT COUNT(*) FROM STOFORMUL")) +
               conta(QStringLiteral("SELECT COUNT(*) FROM STOCOMPON")) +
               conta(QStringLiteral("SELECT COUNT(*) FROM STOFORMULRIEP"));
    }
};

// ----------------------------------------------------------------- the list

TEST_F(Critici, TheListHoldsTheCriticalLinesOfTheProductsFormulationInLineOrder) {
    h.esegui(az(), {QStringLiteral("UPDATE COMPON SET CRITICO='1' WHERE CODICEFORMULAZIONE=1 "
                                   "AND NRIGA=5")});
    crea(); // a sheet that sees the change
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    GrigliaModello* m = pagine->GridCompCritici->modello();
    ASSERT_EQ(m->rowCount(), 2);
    const int nriga = m->indiceCampo(QStringLiteral("NRIGA"));
    EXPECT_EQ(m->campo(0, nriga).asString(), "1");
    EXPECT_EQ(m->campo(1, nriga).asString(), "5");
    // the columns the pages use behind the scenes are not shown
    for (const char* c : {"MATERIAATTIVA", "DENSITA", "CODICEFORMULAZIONE"}) {
        EXPECT_TRUE(pagine->GridCompCritici->isColumnHidden(m->indiceCampo(QString::fromLatin1(c))))
            << c;
    }
    EXPECT_FALSE(pagine->GridCompCritici->isColumnHidden(nriga));
    // the first line's fields
    EXPECT_EQ(riga(), "1");
    EXPECT_EQ(pagine->EditCodice->text(), "MP002");
    EXPECT_EQ(pagine->EditDescrizione->text(), "Sodio lauriletere solfato 70%");
    EXPECT_EQ(pagine->EditPercentuale->text(), "12");
    EXPECT_EQ(pagine->EditMinimo->text(), "11,5");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "69,5");

    // another batch: another product, another formulation
    scheda->lotto.codice = QStringLiteral("SM001");
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    ASSERT_EQ(m->rowCount(), 1);
    EXPECT_EQ(pagine->EditPercentuale->text(), "40");

    // no batch: no lines, and no fields
    scheda->lotto = LottoCorrente{};
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_EQ(m->rowCount(), 0);
    EXPECT_TRUE(pagine->listaVuota());
    EXPECT_EQ(riga(), "");
    EXPECT_FALSE(pagine->TimerCompCritici->isActive());
}

TEST_F(Critici, ReopeningStaysOnTheSameLineAndLeavingThePageClosesTheList) {
    h.esegui(az(), {QStringLiteral("UPDATE COMPON SET CRITICO='1' WHERE CODICEFORMULAZIONE=1 "
                                   "AND NRIGA=5")});
    crea(); // a sheet that sees the change
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    GrigliaModello* m = pagine->GridCompCritici->modello();
    pagine->GridCompCritici->setCurrentIndex(m->index(1, 0));
    EXPECT_EQ(riga(), "5");
    pagine->aggiorna(PagineCritici::kPaginaQualita);
    EXPECT_EQ(riga(), "5");

    pagine->chiudi();
    EXPECT_TRUE(pagine->listaVuota());
    EXPECT_FALSE(pagine->GridCompCritici->SorgenteDati()->isOpen());
    EXPECT_FALSE(pagine->TimerCompCritici->isActive());
    EXPECT_EQ(riga(), "");
}

// ---------------------------------------------------------- computed fields

TEST_F(Critici, ComputedFieldsComeASecondAfterTheLineIsSelected) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    // emptied at once, computed when the timer fires
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "");
    ASSERT_TRUE(pagine->TimerCompCritici->isActive());
    EXPECT_EQ(pagine->TimerCompCritici->interval(), 1000);
    EXPECT_TRUE(pagine->TimerCompCritici->isSingleShot());
    pagine->calcolaCampi();
    // % Agg. = 12 × 70 / 69,5 = 12,08633… shown 12,0863;
    // Q.calc. = 12,0863 × 2000 l × 1,03 / 100 = 248,97778 → 248,9778;
    // Q.tà Kg = 248,9778 × 1,01 = 251,467578 → 251,4676.
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "12,0863");
    EXPECT_EQ(pagine->EditQuantitaCalcolata->text(), "248,9778");
    EXPECT_EQ(pagine->EditQuantitaKg->text(), "251,4676");
    // no history yet: no version
    EXPECT_EQ(pagine->LabelVersione->text(), "");
}

TEST_F(Critici, ABatchInKilogramsIgnoresTheDensityAndLargeFiguresGroupThousands) {
    scheda->lotto.unitaMisura = QStringLiteral("Kg");
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->calcolaCampi();
    // Q.calc. = 12,0863 × 2000 kg / 100 = 241,726; Q.tà Kg = 244,14326 → 244,1433
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "12,0863");
    EXPECT_EQ(pagine->EditQuantitaCalcolata->text(), "241,726");
    EXPECT_EQ(pagine->EditQuantitaKg->text(), "244,1433");

    scheda->lotto.unitaMisura = QStringLiteral("Litri");
    scheda->lotto.quantita = 20000;
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->calcolaCampi();
    // 12,0863 × 20000 × 1,03 / 100 = 2489,7778; × 1,01 = 2514,675578
    EXPECT_EQ(pagine->EditQuantitaCalcolata->text(), "2.489,7778");
    EXPECT_EQ(pagine->EditQuantitaKg->text(), "2.514,6756");
}

TEST_F(Critici, AMissingRealActiveMatterOrQuantityGivesZeros) {
    h.esegui(az(), {QStringLiteral("UPDATE COMPON SET MATERIAATTIVAREALE=NULL WHERE "
                                   "CODICEFORMULAZIONE=1 AND NRIGA=1")});
    crea();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->calcolaCampi();
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "0");
    EXPECT_EQ(pagine->EditQuantitaCalcolata->text(), "0");
    EXPECT_EQ(pagine->EditQuantitaKg->text(), "0");

    h.esegui(az(), {QStringLiteral("UPDATE COMPON SET MATERIAATTIVAREALE=69.5 WHERE "
                                   "CODICEFORMULAZIONE=1 AND NRIGA=1")});
    crea();
    scheda->lotto.quantita.reset();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->calcolaCampi();
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "12,0863");
    EXPECT_EQ(pagine->EditQuantitaCalcolata->text(), "0");
    EXPECT_EQ(pagine->EditQuantitaKg->text(), "0");
}

TEST_F(Critici, TheVersionLabelShowsTheLinesHighestHistoryVersion) {
    h.esegui(az(), {QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                                   "VERSIONED) VALUES (1, 1, 1, 3)"),
                    QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                                   "VERSIONED) VALUES (1, 2, 1, 7)")});
    crea();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->calcolaCampi();
    EXPECT_EQ(pagine->LabelVersione->text(), "3");
}

// ------------------------------------------------------------------ Qualità

TEST_F(Critici, PageQualitaShowsCompositionAndRangeUnderTheSameGrid) {
    pagine->aggiorna(PagineCritici::kPaginaQualita);
    EXPECT_TRUE(pagine->PaginaQualita->isAncestorOf(pagine->GridCompCritici));
    EXPECT_FALSE(pagine->PaginaCritici->isAncestorOf(pagine->GridCompCritici));
    EXPECT_EQ(pagine->MemoComposizione->toPlainText(),
              "Sodio lauriletere solfato 2 OE in soluzione acquosa al 70%");
    EXPECT_EQ(pagine->EditAccettabilita->text(), "8,3 - 8,5 % s.a. anionica");
    EXPECT_TRUE(pagine->pulsanti(PagineCritici::kPaginaQualita).isEmpty());

    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_TRUE(pagine->PaginaCritici->isAncestorOf(pagine->GridCompCritici));
    EXPECT_EQ(pagine->GridCompCritici->modello()->rowCount(), 1);
}

// ------------------------------------------------------------------ Edit &X

TEST_F(Critici, EditXWarnsWithoutALineAndStopsOnCancelOrANonNumber) {
    scheda->lotto = LottoCorrente{};
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    rispondi(QStringLiteral("50"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(msg->testi(), QStringList{"Non è presente nessun record"});
    EXPECT_EQ(inputAperti, 0);

    crea();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    msg->pulisci();
    rispondi(QStringLiteral("50"), kRisultatoAnnulla);
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(inputAperti, 1);
    EXPECT_EQ(titoloInput, "Materia Attiva Reale");
    EXPECT_EQ(didascaliaInput, "Nuovo valore");
    EXPECT_EQ(valoreProposto, "69,5");
    EXPECT_TRUE(msg->testi().isEmpty());

    // a point is not a decimal separator
    for (const QString& t : {QStringLiteral("abc"), QStringLiteral("69.5"), QString()}) {
        msg->pulisci();
        rispondi(t);
        pagine->ButtonEditCompCriticiClick();
        EXPECT_EQ(msg->testi(), QStringList{"Inserire un valore numerico"}) << t.toStdString();
    }
    EXPECT_EQ(realeIn(1), "69.5");
    EXPECT_EQ(righeStorico(), 0);
    EXPECT_EQ(scheda->riletture, 0);
}

TEST_F(Critici, EditXWritesTheChangeWithItsHistoryAndVersionsFollowOn) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    rispondi(QStringLiteral("68,5"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    const QString oggi = QDate::currentDate().toString(Qt::ISODate);

    // committed: another connection sees it
    EXPECT_EQ(realeIn(1), "68.5");
    // the formulation's first version, a copy of its header
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1"), 1);
    EXPECT_EQ(valore("SELECT NOME FROM STOFORMUL WHERE CODICE=1 AND VERS=1"),
              "Detergente piatti a mano al limone");
    EXPECT_EQ(valore("SELECT DENSITA FROM STOFORMUL WHERE CODICE=1 AND VERS=1"), "1.03");
    EXPECT_EQ(valore("SELECT DATAVERS FROM STOFORMUL WHERE CODICE=1 AND VERS=1"), oggi);
    EXPECT_EQ(valore("SELECT ELIMINAZIONE || '/' || UTENTE || '/' || DATAVERS FROM STOFORMULRIEP "
                     "WHERE CODICE=1 AND NRIGA=0 AND VERSIONET=1 AND VERSIONED=0 "
                     "AND TABELLA='STOFORMUL'"),
              "0/2/" + oggi);
    // the line as it was before the change
    EXPECT_EQ(valore("SELECT MATERIAATTIVAREALE FROM STOCOMPON WHERE CODICEFORMULAZIONE=1 "
                     "AND NRIGA=1 AND VERSIONET=1 AND VERSIONED=1"),
              "69.5");
    EXPECT_EQ(valore("SELECT CODICEMATERIAPRIMA || '/' || DATAVERS FROM STOCOMPON WHERE "
                     "CODICEFORMULAZIONE=1 AND NRIGA=1 AND VERSIONET=1 AND VERSIONED=1"),
              "MP002/" + oggi);
    EXPECT_EQ(valore("SELECT COALESCE(ELIMINAZIONE, 'nullo') || '/' || UTENTE || '/' || DATAVERS "
                     "FROM STOFORMULRIEP WHERE CODICE=1 AND NRIGA=1 AND VERSIONET=1 "
                     "AND VERSIONED=1 AND TABELLA='STOCOMPON'"),
              "nullo/2/" + oggi);
    // the batch list read again, this list on the same line, the new version shown
    EXPECT_EQ(scheda->riletture, 1);
    EXPECT_EQ(riga(), "1");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "68,5");
    EXPECT_EQ(pagine->LabelVersione->text(), "1");
    pagine->calcolaCampi();
    EXPECT_EQ(pagine->LabelVersione->text(), "1");
    // 12 × 70 / 68,5 = 12,2627…
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "12,2628");

    // a second change: a second line version under the same formulation version
    rispondi(QStringLiteral("67"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(valoreProposto, "68,5");
    EXPECT_EQ(realeIn(1), "67");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL"), 1);
    EXPECT_EQ(valore("SELECT MATERIAATTIVAREALE FROM STOCOMPON WHERE CODICEFORMULAZIONE=1 "
                     "AND NRIGA=1 AND VERSIONET=1 AND VERSIONED=2"),
              "68.5");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE TABELLA='STOCOMPON' AND "
                    "VERSIONET=1 AND VERSIONED=2"),
              1);
    EXPECT_EQ(pagine->LabelVersione->text(), "2");
    pagine->calcolaCampi();
    EXPECT_EQ(pagine->LabelVersione->text(), "2");
}

TEST_F(Critici, EditXOnAFormulationWithHistoryUsesItsLatestVersion) {
    h.esegui(az(), {QStringLiteral("INSERT INTO STOFORMUL (CODICE, VERS, NOME) VALUES (1, 1, 'a')"),
                    QStringLiteral("INSERT INTO STOFORMUL (CODICE, VERS, NOME) VALUES (1, 4, 'b')"),
                    QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                                   "VERSIONED) VALUES (1, 1, 4, 2)"),
                    QStringLiteral("UPDATE COMPON SET CRITICO='1' WHERE CODICEFORMULAZIONE=1 "
                                   "AND NRIGA=5")});
    crea();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    GrigliaModello* m = pagine->GridCompCritici->modello();
    pagine->GridCompCritici->setCurrentIndex(m->index(1, 0));
    ASSERT_EQ(riga(), "5");
    rispondi(QStringLiteral("9,75"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(realeIn(5), "9.75");
    // no new header version; the line's first version under version 4
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCOMPON WHERE NRIGA=5 AND VERSIONET=4 AND "
                    "VERSIONED=1 AND MATERIAATTIVAREALE IS NULL"),
              1);
    // back on the line changed
    EXPECT_EQ(riga(), "5");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "9,75");
}

TEST_F(Critici, AHistoryRowThatCannotBeWrittenLeavesTheFormulationUnchanged) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    // another user is writing the same line version and has not committed yet
    Database altro;
    altro.connect(az());
    Transaction t(&altro);
    Query q(&altro, &t);
    q.SQL = {QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                            "VERSIONED) VALUES (1, 1, 1, 1)")};
    q.execSQL();

    rispondi(QStringLiteral("60"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(msg->testi(), QStringList{kTestoErroreStorico});
    t.rollback();
    EXPECT_EQ(realeIn(1), "69.5");
    // the formulation's first version, written before the failure, went too
    EXPECT_EQ(righeStorico(), 0);
    // the list is still there, as stored
    EXPECT_EQ(riga(), "1");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "69,5");
    EXPECT_EQ(pagine->LabelVersione->text(), "");
}

TEST_F(Critici, AChangeThatCannotBeStoredTakesItsHistoryWithIt) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    // another user holds the line
    Database altro;
    altro.connect(az());
    Transaction t(&altro);
    Query q(&altro, &t);
    q.SQL = {QStringLiteral("UPDATE COMPON SET RANGE=RANGE WHERE CODICEFORMULAZIONE=1 AND "
                            "NRIGA=1")};
    q.execSQL();

    rispondi(QStringLiteral("60"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(msg->testi(), QStringList{"Errore interno: impossibile memorizzare le modifiche"});
    t.rollback();
    EXPECT_EQ(realeIn(1), "69.5");
    EXPECT_EQ(righeStorico(), 0);

    // once the other user is done, the same change goes through
    msg->pulisci();
    rispondi(QStringLiteral("60"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(realeIn(1), "60");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCOMPON"), 1);
}

TEST_F(Critici, AReadOnlyProfileCannotChangeTheRealActiveMatter) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_TRUE(pagine->ButtonEditCompCritici->isEnabled());
    EXPECT_EQ(pagine->pulsanti(PagineCritici::kPaginaCritici),
              QList<QPushButton*>{pagine->ButtonEditCompCritici});
    EXPECT_EQ(pagine->ButtonEditCompCritici->text(), "Edit &X");

    scheda->sola = true;
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_FALSE(pagine->ButtonEditCompCritici->isEnabled());
    EXPECT_TRUE(pagine->pulsanti(PagineCritici::kPaginaCritici).isEmpty());
    rispondi(QStringLiteral("50"));
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ(inputAperti, 0);
    EXPECT_EQ(realeIn(1), "69.5");
}

} // namespace
