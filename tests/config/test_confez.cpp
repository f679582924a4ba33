// Packaging procedures: the new-procedure dialog, the versions written when a
// text is saved or deleted, and nothing half-saved when the history fails.
#include "comune.h"

#include "config/confez.h"
#include "session/formati.h"

#include <QDate>
#include <QLabel>
#include <QPointer>
#include <QTabBar>
#include <QTest>

using namespace quintar;
using namespace prova;

namespace {

struct Procedure : Configurazione {
    // one procedure, of machine 1, and no versions
    void SetUp() override {
        Formati::impostaItaliani();
        esegui({"DELETE FROM CONFEZ WHERE NOT (CODICERIEMPITRICE=1 AND NUMPROGRESSIVO=1)",
                "DELETE FROM STOCONFEZ"});
    }
    void TearDown() override {
        Configurazione::TearDown();
        Formati::imposta(Formati::predefinite());
    }
    // The dialog answered with a machine description and a number.
    void rispondi(const QString& riempitrice, const QString& numero,
                  QStringList* proposta = nullptr) {
        msg->dialogo = [=](QDialog* d) -> int {
            auto* n = qobject_cast<TNConfezForm*>(d);
            if (!n) {
                return QDialog::Rejected;
            }
            if (proposta) {
                *proposta = {n->ComboRiempitrice->currentText(), n->EditNumeroProgressivo->text()};
            }
            if (!riempitrice.isNull()) {
                n->ComboRiempitrice->setCurrentIndex(n->ComboRiempitrice->findText(riempitrice));
            }
            if (!numero.isNull()) {
                n->EditNumeroProgressivo->setText(numero);
            }
            n->ButtonOk->click();
            return n->result();
        };
    }
    int versioni(int macchina, const QString& numero) {
        return conta(QString("SELECT COUNT(*) FROM STOCONFEZ WHERE CODICERIEMPITRICE=%1 AND "
                             "NUMPROGRESSIVO=%2")
                         .arg(macchina)
                         .arg(numero));
    }
    void guastaStorico() {
        esegui({"CREATE EXCEPTION STORICO_GUASTO 'storico non disponibile'",
                "CREATE TRIGGER STOCONFEZ_GUASTO FOR STOCONFEZ BEFORE INSERT AS BEGIN "
                "EXCEPTION STORICO_GUASTO; END"});
    }
};

const QString kTaniche = QStringLiteral("Riempitrice taniche 5 - 25 L");
const QString kLineare = QStringLiteral("Riempitrice lineare flaconi 0,5 - 2 L");

} // namespace

TEST_F(Procedure, TheDialogProposesTheNumberAfterTheMachinesLastProcedure) {
    esegui({"INSERT INTO CONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO) VALUES (3, 1)",
            "INSERT INTO CONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO) VALUES (3, 2)",
            "INSERT INTO CONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO) VALUES (3, 4)"});
    auto* s = sessione();
    {
        TNConfezForm d(s, {"1", "2", "3"}, {"a", "b", "c"});
        EXPECT_EQ(d.windowTitle(), "Nuova procedura confezionamento - Ditta: " + kDitta);
        d.scegliRiempitrice("2");
        EXPECT_EQ(d.EditNumeroProgressivo->text(), "1");
        d.scegliRiempitrice("3");
        EXPECT_EQ(d.EditNumeroProgressivo->text(), "5");
        d.ComboRiempitrice->setCurrentIndex(-1);
        EXPECT_EQ(d.EditNumeroProgressivo->text(), "");
    }
    delete s;

    // from the card, the current row's machine and number + 1
    auto* f = apri<TIniConfForm>(1);
    EXPECT_EQ(testo(f, "EditRiempitrice2"), kLineare);
    QStringList proposta;
    rispondi({}, {}, &proposta);
    f->ButtonNuovo->click();
    EXPECT_EQ(proposta, (QStringList{kLineare, "2"}));
    ASSERT_EQ(f->StatoScheda, 1) << msg->testi().join('|').toStdString();
    EXPECT_EQ(testo(f, "EditRiempitrice"), kLineare);
    EXPECT_EQ(testo(f, "EditNumeroProgressivo"), "2");
    f->ButtonAnnulla->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ WHERE CODICERIEMPITRICE=1"), 1);
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
}

TEST_F(Procedure, TheDialogRefusesMissingInvalidAndExistingKeys) {
    auto* f = apri<TIniConfForm>(1);
    msg->dialogo = [](QDialog* d) -> int {
        auto* n = qobject_cast<TNConfezForm*>(d);
        n->ComboRiempitrice->setCurrentIndex(-1);
        n->ButtonOk->click();
        EXPECT_EQ(n->result(), 0) << "the dialog stays open";
        n->scegliRiempitrice("2");
        n->EditNumeroProgressivo->setText("1,5,2");
        n->ButtonOk->click();
        n->scegliRiempitrice("1");
        n->EditNumeroProgressivo->setText("1");
        n->ButtonOk->click();
        n->ButtonCancel->click();
        return n->result();
    };
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Selezionare un valore per \"Riempitrice\"",
                           "Specificare un valore per \"N° Progr.\"",
                           "Specificare un valore valido per \"N° Progr.\"",
                           "Esiste già un record con la combinazione di valori inseriti"}));
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 1);
}

TEST_F(Procedure, SavingWritesAVersionOnlyWhenTheTextChanges) {
    auto* f = apri<TIniConfForm>(2);
    rispondi(kTaniche, "2,5");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1) << msg->testi().join('|').toStdString();
    scrivi(f, "MemoDescrizione", "Riempire l'ultima tanica");
    f->ButtonMemorizza->click();
    ASSERT_EQ(f->StatoScheda, 0) << msg->testi().join('|').toStdString();
    EXPECT_EQ(valore("SELECT TESTO FROM STOCONFEZ WHERE CODICERIEMPITRICE=2 AND "
                     "NUMPROGRESSIVO=2.5 AND VERS=1"),
              "Riempire l" + kAcuto + "ultima tanica");
    EXPECT_EQ(valore("SELECT ELIMINAZIONE || '/' || UTENTE FROM STOCONFEZ WHERE VERS=1 AND "
                     "CODICERIEMPITRICE=2"),
              "0/2");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCONFEZ WHERE DATAVERS=CURRENT_DATE"), 1);
    EXPECT_EQ(testo(f, "EditNumeroProgressivo2"), "2,5");
    EXPECT_EQ(testo(f, "EditRiempitrice2"), kTaniche);
    // the version label follows the current row a second after it moves
    QTest::qWait(1200);
    EXPECT_EQ(f->LabelVersione->text(), "1");

    f->ButtonEdit->click();
    f->ButtonMemorizza->click();
    EXPECT_EQ(versioni(2, "2.5"), 1) << "an unchanged text writes no version";

    f->ButtonEdit->click();
    scrivi(f, "MemoDescrizione", "Testo nuovo");
    f->ButtonMemorizza->click();
    EXPECT_EQ(versioni(2, "2.5"), 2);
    EXPECT_EQ(valore("SELECT TESTO FROM STOCONFEZ WHERE CODICERIEMPITRICE=2 AND VERS=2"),
              "Testo nuovo")
        << "the version holds the text as saved";
    QTest::qWait(1200);
    EXPECT_EQ(f->LabelVersione->text(), "2");

    // the history page lists the current procedure's versions
    f->TabSetConfez->setCurrentIndex(1);
    EXPECT_FALSE(f->ButtonNuovo->isEnabled());
    EXPECT_TRUE(f->ButtonStoricoChiudi->isEnabled());
    EXPECT_EQ(f->GridStorico->modello()->rowCount(), 2);
    f->ButtonStoricoChiudi->click();
    EXPECT_EQ(f->TabSetConfez->currentIndex(), 0);
    EXPECT_TRUE(f->ButtonNuovo->isEnabled());
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
}

TEST_F(Procedure, DeletingWritesALastVersionMarkedAsDeleted) {
    esegui({"INSERT INTO STOCONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO, VERS, TESTO, ELIMINAZIONE) "
            "VALUES (1, 1, 1, 'a', '0')",
            "INSERT INTO STOCONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO, VERS, TESTO, ELIMINAZIONE) "
            "VALUES (1, 1, 2, 'b', '0')",
            "INSERT INTO STOCONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO, VERS, TESTO, ELIMINAZIONE) "
            "VALUES (1, 1, 3, 'c', '0')"});
    auto* f = apri<TIniConfForm>(1);
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 0);
    EXPECT_EQ(valore("SELECT ELIMINAZIONE FROM STOCONFEZ WHERE CODICERIEMPITRICE=1 AND VERS=4"),
              "1");
    EXPECT_EQ(valore("SELECT SUBSTRING(TESTO FROM 1 FOR 9) FROM STOCONFEZ WHERE VERS=4"),
              "Controlla");
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
}

TEST_F(Procedure, AFailedHistoryWriteLeavesNothingHalfSaved) {
    guastaStorico();
    auto* f = apri<TIniConfForm>(1);
    f->ButtonEdit->click();
    const QString prima = testo(f, "MemoDescrizione");
    scrivi(f, "MemoDescrizione", "Testo che non deve restare");
    f->ButtonMemorizza->click();
    // one message, the history's: the save it stopped is not told again
    EXPECT_EQ(msg->testi(),
              QStringList{"Errore interno: impossibile inserire nello storico le modifiche"});
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(valore("SELECT TESTO FROM CONFEZ WHERE CODICERIEMPITRICE=1"), prima);
    f->ButtonAnnulla->click();

    msg->pulisci();
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(msg->testi().last(),
              "Errore interno: impossibile inserire nello storico le modifiche");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 1) << "no version, no deletion";
}

TEST_F(Procedure, ARecordThatCannotBeRemovedNamesBothKeyParts) {
    esegui({"CREATE EXCEPTION CONFEZ_BLOCCATA 'bloccata'",
            "CREATE TRIGGER CONFEZ_NO_DELETE FOR CONFEZ BEFORE DELETE AS BEGIN "
            "EXCEPTION CONFEZ_BLOCCATA; END"});
    auto* f = apri<TIniConfForm>(1);
    rispondi(kTaniche, "5");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    f->ButtonAnnulla->click();
    EXPECT_EQ(msg->testi(), QStringList{"Errore interno: cancellare manualmente il record con "
                                        "CODICERIEMPITRICE 2 e NUMPROGRESSIVO 5"});
}

TEST_F(Procedure, AMachineNoLongerListedShowsAnEmptyDescription) {
    esegui({"INSERT INTO CONFEZ (CODICERIEMPITRICE, NUMPROGRESSIVO, TESTO) VALUES (9, 1, 'x')"});
    auto* f = apri<TIniConfForm>(1);
    f->AltreChiaviCorrenti = {"1"};
    f->riapriSuCodice("9");
    EXPECT_EQ(testo(f, "EditCodRiempitrice"), "9");
    EXPECT_EQ(testo(f, "EditRiempitrice2"), "");
    EXPECT_EQ(testo(f, "MemoDescrizione2"), "x");
}

TEST_F(Procedure, ANewProcedureOnAKeyAnotherUserJustDeletedIsSavedWithTheNextVersion) {
    // a's list was read before b deleted 1/1: the new 1/1 must not trip over
    // the deleted row a's old reading still shows
    auto* a = apri<TIniConfForm>(2);
    auto* b = apri<TIniConfForm>(1);
    b->ButtonEdit->click();
    scrivi(b, "MemoDescrizione", "Prima");
    b->ButtonMemorizza->click();
    msg->risposte = {"Sì"};
    b->ButtonElimina->click();
    ASSERT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 0);
    ASSERT_EQ(versioni(1, "1"), 2);
    msg->pulisci();

    rispondi(kLineare, "1");
    a->ButtonNuovo->click();
    ASSERT_EQ(a->StatoScheda, 1) << msg->testi().join('|').toStdString();
    scrivi(a, "MemoDescrizione", "Seconda");
    a->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(a->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT TESTO FROM CONFEZ WHERE CODICERIEMPITRICE=1"), "Seconda");
    EXPECT_EQ(valore("SELECT TESTO || '/' || ELIMINAZIONE FROM STOCONFEZ WHERE VERS=3"),
              "Seconda/0");

    // and given up at once, it leaves nothing behind
    b->rileggi({});
    msg->risposte = {"Sì"};
    b->ButtonElimina->click();
    ASSERT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 0);
    msg->pulisci();
    a->ButtonNuovo->click();
    ASSERT_EQ(a->StatoScheda, 1) << msg->testi().join('|').toStdString();
    a->ButtonAnnulla->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CONFEZ"), 0);
    EXPECT_EQ(versioni(1, "1"), 4);
}

// Closing the card on its history page: its list stops feeding the card
// before the card goes, so nothing of the card runs on a session already
// freed (no "Database non connesso" after the window has closed).
TEST_F(Procedure, ClosingTheCardOnItsHistoryPageShowsNothingAfterIt) {
    auto* f = apri<TIniConfForm>(1);
    QTabBar* schede = nullptr;
    for (QTabBar* t : f->findChildren<QTabBar*>()) {
        for (int i = 0; i < t->count(); ++i) {
            if (t->tabText(i) == QLatin1String("Storico")) {
                schede = t;
                t->setCurrentIndex(i);
            }
        }
    }
    ASSERT_NE(schede, nullptr);
    QPointer<QWidget> q(f);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(q.isNull());
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
}
