// The card through the supplier card: states and their messages, the new-code
// dialog, saves and deletes that fail, two sessions on one archive, the
// key-only row of a new record, window positions, read-only users, the list
// standing on a saved code and the code look-up timers.
#include "host/lancio.h"
#include "master/fornito.h"
#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"
#include "ui/trcsdgridform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");
const QString kAcuto = QString(QChar(0x00B4));
const QString kErroreSalva = QStringLiteral("Errore interno: impossibile memorizzare le modifiche");
const QString kErroreInserisci =
    QStringLiteral("Errore interno: impossibile inserire un nuovo record");
const QString kGiaCancellato =
    QStringLiteral("Il record selezionato è già stato cancellato da un altro utente");
const QString kChiudiInModifica =
    QStringLiteral("Memorizzare o annullare le modifiche in corso prima di chiudere la finestra");

struct DialogoCodice {
    QString titolo;
    QString etichetta;
    QFont font;
};

struct Scheda : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    std::vector<DialogoCodice> dialoghi;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* s = qobject_cast<SchedaBase*>(w)) {
                s->StatoScheda = 0; // a test may leave a card editing
                s->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString azienda() const { return h.c().azienda(); }

    TFornitoForm* apri(int utente = 2) {
        FinestraSessione* f =
            LanciaSchermata(*trovaSchermata("ShowFornitoForm"), utente, std::nullopt);
        auto* s = dynamic_cast<TFornitoForm*>(f);
        EXPECT_NE(s, nullptr);
        return s;
    }

    // Answers the new-code dialog with the codes in turn: a code the dialog
    // refuses keeps it open and the next one is typed; with none left it is
    // cancelled.
    void codici(QStringList c) {
        msg->dialogo = [this, c](QDialog* d) mutable -> int {
            auto* k = qobject_cast<TKyvIn1Form*>(d);
            if (!k) {
                return QDialog::Rejected;
            }
            dialoghi.push_back({k->windowTitle(), k->Label1->text(), k->font()});
            while (!c.isEmpty()) {
                k->Edit1->setText(c.takeFirst());
                k->OKBtn->click();
                if (k->result() != 0) {
                    return k->result();
                }
            }
            k->CancelBtn->click();
            return k->result();
        };
    }

    // Company name as stored: "<null>" for NULL, "<manca>" when the row is missing.
    QString ragsoc(const QString& codice) {
        if (h.conta(azienda(), "SELECT COUNT(*) FROM FORNITO WHERE CODICE='" + codice + "'") == 0) {
            return "<manca>";
        }
        return h.valore(azienda(), "SELECT COALESCE(RAGSOC,'<null>') FROM FORNITO WHERE CODICE='" +
                                       codice + "'");
    }
    int fornitori() { return h.conta(azienda(), "SELECT COUNT(*) FROM FORNITO"); }
    // Every row as text, to compare the table before and after.
    QString tabella() {
        quintar::Database db;
        db.connect(azienda());
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {"SELECT CODICE, CONTO, RAGSOC FROM FORNITO ORDER BY CODICE"};
        QStringList r;
        for (q.open(); !q.eof(); q.next()) {
            r << q.field(0).asString() + "|" + q.field(1).asString() + "|" + q.field(2).asString();
        }
        return r.join('\n');
    }
    void altroUtente(const QString& frase) { h.esegui(azienda(), {frase}); }
    // 3000 suppliers PREFIX00000…, the i-th inserted with number numero(i).
    void aggiungiFornitori(const QString& prefisso, const std::function<int(int)>& numero,
                           const QString& citta = {}) {
        quintar::Database db;
        db.connect(azienda());
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {"INSERT INTO FORNITO (CODICE, RAGSOC, CITTA) VALUES (?, ?, ?)"};
        for (int i = 0; i < 3000; ++i) {
            const int k = numero(i);
            q.setParams({prefisso + QString("%1").arg(k, 5, 10, QChar('0')),
                         QString("Fornitore %1").arg(k),
                         citta.isEmpty() ? QVariant() : QVariant(citta)});
            q.execSQL();
        }
        tr.commit();
    }
    // The database refuses to store this company name (before the card opens).
    void rifiutaRagSoc(const QString& testo) {
        h.esegui(azienda(), {"CREATE EXCEPTION RAGSOC_RIFIUTATA 'ragione sociale rifiutata'",
                             "CREATE TRIGGER FORNITO_RIFIUTA FOR FORNITO BEFORE UPDATE AS BEGIN "
                             "IF (NEW.RAGSOC = '" +
                                 testo + "') THEN EXCEPTION RAGSOC_RIFIUTATA; END"});
    }

    static QString mostra(SchedaBase* f, const char* nome) {
        QWidget* w = f->findChild<QWidget*>(nome);
        EXPECT_NE(w, nullptr) << nome;
        return w ? SchedaBase::testoDi(w) : QString();
    }
    static void scrivi(SchedaBase* f, const char* nome, const QString& t) {
        SchedaBase::impostaTesto(f->findChild<QWidget*>(nome), t);
    }
    static bool pagina(SchedaBase* f, const char* nome) {
        return f->Notebook->currentWidget()->objectName() == nome;
    }
    // Makes the grid's row of the code current (the list is short).
    static void vaiA(SchedaBase* f, const QString& codice) { f->riapriSuCodice(codice); }

    int conferme() {
        int n = 0;
        for (const auto& v : msg->mostrati) {
            n += v.tipo == TipoMessaggio::Conferma ? 1 : 0;
        }
        return n;
    }
};

} // namespace

TEST_F(Scheda, TheCardShowsItsControlsAndNewThenAnnullaLeavesTheTableAsBefore) {
    const QString prima = tabella();
    TFornitoForm* f = apri();
    EXPECT_EQ(f->windowTitle(), "Anagrafica fornitori - Ditta: " + kDitta);
    EXPECT_EQ(f->ButtonNuovo->text(), "&Nuovo");
    EXPECT_EQ(f->ButtonEdit->text(), "Edit &X");
    EXPECT_EQ(f->ButtonElimina->text(), "&Elimina");
    EXPECT_EQ(f->ButtonChiudi->text(), "Ch&iudi");
    EXPECT_EQ(f->ButtonMemorizza->text(), "&Memorizza");
    EXPECT_EQ(f->ButtonAnnulla->text(), "&Annulla");
    for (const char* n :
         {"GridFornito", "NotebookEditFornito", "EditCodice2", "MemoRagSoc2", "ButtonCodice2",
          "ButtonRagSoc2", "EditCodice", "MemoRagSoc", "ButtonRagSoc"}) {
        EXPECT_NE(f->findChild<QWidget*>(n), nullptr) << n;
    }
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));
    EXPECT_TRUE(f->ButtonNuovo->isEnabled());
    EXPECT_EQ(mostra(f, "EditCodice2"), "F001");
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Chimitalia S.p.A.");

    // something typed earlier in the memo is cleared for the new record
    scrivi(f, "MemoRagSoc", "resto di prima");
    codici({"N01"});
    f->ButtonNuovo->click();
    ASSERT_EQ(dialoghi.size(), 1u);
    EXPECT_EQ(dialoghi[0].titolo, "Nuovo fornitore");
    EXPECT_EQ(dialoghi[0].etichetta, "Codice fornitore:");
    EXPECT_EQ(dialoghi[0].font.family(), "Tahoma");
    EXPECT_EQ(dialoghi[0].font.pointSize(), 8);
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(f->CodiceCorrente, "N01");
    EXPECT_TRUE(pagina(f, "Editazione"));
    EXPECT_FALSE(f->Griglia->isEnabled());
    EXPECT_EQ(mostra(f, "EditCodice"), "N01");
    EXPECT_TRUE(f->findChild<QLineEdit*>("EditCodice")->isReadOnly());
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "");
    EXPECT_EQ(f->focusWidget(), f->findChild<QWidget*>("MemoRagSoc"));
    EXPECT_EQ(ragsoc("N01"), "<null>") << "the key-only row is there for everybody meanwhile";

    // closing while a new record is open is refused
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(msg->testi(), QStringList{kChiudiInModifica});
    EXPECT_EQ(f->StatoScheda, 1);

    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));
    EXPECT_TRUE(f->Griglia->isEnabled());
    EXPECT_EQ(tabella(), prima) << "no confirmation and nothing left behind";
    EXPECT_EQ(msg->testi().size(), 1);

    // editing: the same refusal, and Annulla writes nothing
    vaiA(f, "F003");
    f->ButtonEdit->click();
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(mostra(f, "EditCodice"), "F003");
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "Aromi Lombardi S.n.c.");
    EXPECT_FALSE(f->Griglia->isEnabled());
    scrivi(f, "MemoRagSoc", "Non salvato");
    EXPECT_FALSE(f->close());
    EXPECT_EQ(msg->testi().size(), 2);
    EXPECT_EQ(msg->testi().last(), kChiudiInModifica);
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Aromi Lombardi S.n.c.");
    EXPECT_EQ(tabella(), prima);

    // the F-keys act on the grid
    const int col = f->Griglia->currentIndex().column();
    const int largo = f->Griglia->columnWidth(col);
    QTest::keyClick(f->Griglia, Qt::Key_F9);
    EXPECT_EQ(f->Griglia->columnWidth(col), largo / 2);

    QPointer<TFornitoForm> p(f);
    EXPECT_TRUE(f->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(p.isNull());
    EXPECT_EQ(msg->testi().size(), 2);
}

TEST_F(Scheda, SavesWriteTheNameAsTypedOrNullAndTouchNothingElse) {
    TFornitoForm* f = apri();
    codici({"N01"});
    f->ButtonNuovo->click();
    scrivi(f, "MemoRagSoc", "Chimica d'Oro\nreparto liquidi");
    f->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));
    EXPECT_EQ(ragsoc("N01"), "Chimica d" + kAcuto + "Oro\nreparto liquidi");
    EXPECT_EQ(mostra(f, "EditCodice2"), "N01") << "the list stands on the saved code";
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Chimica d" + kAcuto + "Oro\nreparto liquidi");

    // a new supplier whose name is left empty has RAGSOC NULL
    codici({"N02"});
    f->ButtonNuovo->click();
    f->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("N02"), "<null>");
    EXPECT_EQ(mostra(f, "EditCodice2"), "N02");

    // editing changes the name only; emptying it stores NULL
    vaiA(f, "F004");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "Plastiche Venete");
    f->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("F004"), "Plastiche Venete");
    EXPECT_EQ(h.valore(azienda(), "SELECT CONTO||'/'||CITTA FROM FORNITO WHERE CODICE='F004'"),
              "04.01.004/Vigonza");
    EXPECT_EQ(mostra(f, "EditCodice2"), "F004");
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Plastiche Venete");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "");
    f->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("F004"), "<null>");
    EXPECT_EQ(fornitori(), 9);
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}

TEST_F(Scheda, AnEmptyListOffersOnlyNew) {
    altroUtente("DELETE FROM FORNITO");
    TFornitoForm* f = apri();
    EXPECT_TRUE(f->listaVuota());
    f->ButtonEdit->click();
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Informazione);
    EXPECT_EQ(msg->mostrati[0].testo, "Premere Nuovo per inserire un nuovo record");
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));

    f->ButtonElimina->click();
    ASSERT_EQ(msg->mostrati.size(), 2u);
    EXPECT_EQ(msg->mostrati[1].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(msg->mostrati[1].testo, "La tabella è vuota");

    codici({"P1"});
    f->ButtonNuovo->click();
    scrivi(f, "MemoRagSoc", "Primo");
    f->ButtonMemorizza->click();
    EXPECT_EQ(mostra(f, "EditCodice2"), "P1");
    EXPECT_EQ(ragsoc("P1"), "Primo");
}

TEST_F(Scheda, TheNewCodeDialogChecksTheCodeAsItWillBeStored) {
    TFornitoForm* f = apri();
    // an empty code and codes in use keep the dialog open; quotes go before the check
    codici({"", "''", "F001", "AB'12"});
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), (QStringList{"Specificare un codice", "Specificare un codice",
                                         "Il codice inserito è già in uso"}));
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(f->CodiceCorrente, "AB12");
    EXPECT_EQ(mostra(f, "EditCodice"), "AB12");
    scrivi(f, "MemoRagSoc", "Senza apici");
    f->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("AB12"), "Senza apici");
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM FORNITO WHERE CODICE CONTAINING ''''"), 0);
    EXPECT_EQ(mostra(f, "EditCodice2"), "AB12");

    // the same code typed with a quote is now in use
    msg->pulisci();
    codici({"A'B'12"});
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Il codice inserito è già in uso"});
    EXPECT_EQ(f->StatoScheda, 0) << "cancelled after the refusal";
    EXPECT_EQ(ragsoc("AB12"), "Senza apici");

    // Cancel does nothing
    msg->pulisci();
    const QString prima = tabella();
    codici({});
    f->ButtonNuovo->click();
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));
    EXPECT_EQ(tabella(), prima);

    // the dialog on its own: OK 1, Cancel 2, Escape is a Cancel
    TKyvIn1Form d;
    d.OKBtn->click();
    EXPECT_EQ(d.result(), kRisultatoOK);
    TKyvIn1Form d2;
    d2.CancelBtn->click();
    EXPECT_EQ(d2.result(), kRisultatoAnnulla);
    TKyvIn1Form d3;
    d3.reject();
    EXPECT_EQ(d3.result(), kRisultatoAnnulla);
}

TEST_F(Scheda, AFailedSaveOfANewRecordKeepsWhatWasTypedAndLeavesNoRow) {
    rifiutaRagSoc("RIFIUTA");
    TFornitoForm* f = apri();
    codici({"N01"});
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    // the database refuses the UPDATE
    scrivi(f, "MemoRagSoc", "RIFIUTA");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Errore);
    EXPECT_EQ(f->StatoScheda, 1) << "still the new record";
    EXPECT_TRUE(pagina(f, "Editazione"));
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "RIFIUTA") << "what was typed is still there";
    EXPECT_EQ(ragsoc("N01"), "<manca>") << "the key-only row went with the failed save";

    // corrected, the same record saves, its row back
    scrivi(f, "MemoRagSoc", "Corto");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(ragsoc("N01"), "Corto");
    EXPECT_EQ(mostra(f, "EditCodice2"), "N01");
    EXPECT_EQ(msg->testi().size(), 1);

    // refused again and given up: Annulla takes the row away
    codici({"N02"});
    f->ButtonNuovo->click();
    scrivi(f, "MemoRagSoc", "RIFIUTA");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 1);
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(ragsoc("N02"), "<manca>");
}

TEST_F(Scheda, AFailedSaveOfAnExistingRecordKeepsTheEditAndWritesNothing) {
    rifiutaRagSoc("RIFIUTA");
    TFornitoForm* f = apri();
    const QString prima = tabella();
    vaiA(f, "F002");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "RIFIUTA");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_TRUE(pagina(f, "Editazione"));
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "RIFIUTA") << "what was typed is still there";
    EXPECT_EQ(tabella(), prima);

    // corrected, the same edit saves
    scrivi(f, "MemoRagSoc", "Tensio Sud");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(ragsoc("F002"), "Tensio Sud");
}

TEST_F(Scheda, ATextLongerThanItsColumnIsRefusedAndTheNewRecordKeepsWhatWasTyped) {
    TFornitoForm* f = apri();
    int massimo = -1;
    msg->dialogo = [&](QDialog* d) {
        auto* k = qobject_cast<TKyvIn1Form*>(d);
        massimo = k->Edit1->maxLength();
        k->Edit1->setText(QString(25, 'C'));
        k->OKBtn->click();
        return k->result();
    };
    f->ButtonNuovo->click();
    EXPECT_EQ(massimo, 20) << "the new code takes what the key column holds";
    ASSERT_EQ(f->StatoScheda, 1);
    const QString codice(20, 'C');
    EXPECT_EQ(ragsoc(codice), "<null>");

    scrivi(f, "MemoRagSoc", QString(129, 'x'));
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(),
              QStringList{"Il campo \"Descrizione\" può contenere al massimo 128 caratteri: "
                          "il testo inserito ne ha 129"});
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(f->StatoScheda, 1) << "still editing the new record";
    EXPECT_EQ(mostra(f, "MemoRagSoc"), QString(129, 'x'));
    EXPECT_EQ(ragsoc(codice), "<null>") << "the new record is still there";

    scrivi(f, "MemoRagSoc", QString(128, 'x'));
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(ragsoc(codice), QString(128, 'x'));
}

TEST_F(Scheda, ASaveThatChangesNoRowIsReportedAsAFailure) {
    TFornitoForm* f = apri();
    vaiA(f, "F005");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "Cartotecnica");
    // another user deletes the supplier, and this screen's snapshot is renewed:
    // the UPDATE finds no row and changes nothing
    altroUtente("DELETE FROM FORNITO WHERE CODICE='F005'");
    f->rileggi("F005");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(ragsoc("F005"), "<manca>") << "the supplier does not come back";
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
}

TEST_F(Scheda, AnEditOfARecordDeletedByAnotherUserFailsAndDoesNotBringItBack) {
    TFornitoForm* f = apri();
    vaiA(f, "F006");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "Etichettificio");
    altroUtente("DELETE FROM FORNITO WHERE CODICE='F006'");
    QElapsedTimer t;
    t.start();
    f->ButtonMemorizza->click();
    EXPECT_LT(t.elapsed(), 3000) << "no waiting";
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(ragsoc("F006"), "<manca>");
}

TEST_F(Scheda, ANewRecordWhoseRowAnotherUserDeletedEndsCleanly) {
    TFornitoForm* f = apri();
    codici({"N05"});
    f->ButtonNuovo->click();
    altroUtente("DELETE FROM FORNITO WHERE CODICE='N05'");
    scrivi(f, "MemoRagSoc", "Perso");
    f->ButtonMemorizza->click();
    ASSERT_FALSE(msg->testi().isEmpty());
    EXPECT_EQ(msg->testi().first(), kErroreSalva);
    EXPECT_EQ(ragsoc("N05"), "<manca>");
    // what was typed stays for another try; Annulla leads out without a
    // word, there being no row to take away
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "Perso");
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_TRUE(pagina(f, "Consultazione"));
    EXPECT_EQ(ragsoc("N05"), "<manca>");
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
}

TEST_F(Scheda, DeletingAsksFirstAndReturnsToTheSamePlace) {
    TFornitoForm* f = apri();
    vaiA(f, "F003");
    msg->risposte = {"No"};
    f->ButtonElimina->click();
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
    EXPECT_EQ(ragsoc("F003"), "Aromi Lombardi S.n.c.");
    EXPECT_EQ(mostra(f, "EditCodice2"), "F003");

    // a supplier still named by raw materials is deleted all the same
    ASSERT_GT(h.conta(azienda(), "SELECT COUNT(*) FROM MATER WHERE CODICEFORNITORE='F002'"), 0);
    vaiA(f, "F002");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(ragsoc("F002"), "<manca>");
    EXPECT_GT(h.conta(azienda(), "SELECT COUNT(*) FROM MATER WHERE CODICEFORNITORE='F002'"), 0);
    EXPECT_EQ(mostra(f, "EditCodice2"), "F003") << "the row that took its place";
    EXPECT_EQ(f->Griglia->modello()->rowCount(), 6);

    vaiA(f, "F007");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(ragsoc("F007"), "<manca>");
    EXPECT_EQ(mostra(f, "EditCodice2"), "F006") << "the last row is now the one before";
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conferme(), 3);
}

TEST_F(Scheda, DeletingARecordAnotherSessionDeletedSaysSoAndDeletesNothing) {
    TFornitoForm* a = apri(2);
    TFornitoForm* b = apri(1);
    vaiA(a, "F004");
    vaiA(b, "F004");
    msg->risposte = {"Sì"};
    b->ButtonElimina->click();
    EXPECT_EQ(ragsoc("F004"), "<manca>");
    msg->pulisci();

    ASSERT_EQ(mostra(a, "EditCodice2"), "F004") << "the first screen still shows it";
    a->ButtonElimina->click();
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(msg->mostrati[0].testo, kGiaCancellato);
    EXPECT_EQ(conferme(), 0) << "no confirmation for a record that is gone";
    EXPECT_EQ(fornitori(), 6) << "nothing else deleted";
    EXPECT_EQ(a->Griglia->modello()->rowCount(), 6) << "the list shows what is there now";
    EXPECT_EQ(a->StatoScheda, 0);
    EXPECT_NE(mostra(a, "EditCodice2"), "F004");

    // a deletion by another user that was not committed yet
    msg->pulisci();
    vaiA(a, "F005");
    quintar::Database db;
    db.connect(azienda());
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {"DELETE FROM FORNITO WHERE CODICE='F005'"};
    q.execSQL();
    msg->risposte = {"Sì"};
    QElapsedTimer t;
    t.start();
    a->ButtonElimina->click();
    EXPECT_LT(t.elapsed(), 3000) << "no waiting";
    EXPECT_EQ(msg->testi().last(), "Errore interno: impossibile eliminare il record selezionato");
    EXPECT_EQ(a->Griglia->modello()->rowCount(), 6) << "the screen keeps its rows";
    tr.rollback();
    EXPECT_EQ(ragsoc("F005"), "Cartotecnica Emiliana S.p.A.");
}

TEST_F(Scheda, TwoSessionsSavingTheSameSupplierTheSecondFailsAtOnce) {
    TFornitoForm* a = apri(2);
    TFornitoForm* b = apri(1);
    EXPECT_NE(a->Sessione(), b->Sessione());
    vaiA(a, "F002");
    vaiA(b, "F002");
    a->ButtonEdit->click();
    b->ButtonEdit->click();
    scrivi(a, "MemoRagSoc", "Prima");
    scrivi(b, "MemoRagSoc", "Seconda");
    a->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(ragsoc("F002"), "Prima");

    QElapsedTimer t;
    t.start();
    b->ButtonMemorizza->click();
    EXPECT_LT(t.elapsed(), 3000) << "no waiting";
    EXPECT_EQ(msg->testi(), QStringList{kErroreSalva});
    EXPECT_EQ(ragsoc("F002"), "Prima") << "the first one's data is intact";
    EXPECT_EQ(b->StatoScheda, 2);
    EXPECT_EQ(mostra(b, "MemoRagSoc"), "Seconda");
    b->ButtonAnnulla->click();
    EXPECT_EQ(b->StatoScheda, 0);

    // different suppliers do not disturb each other
    msg->pulisci();
    vaiA(a, "F003");
    vaiA(b, "F006");
    a->ButtonEdit->click();
    b->ButtonEdit->click();
    scrivi(a, "MemoRagSoc", "Aromi");
    scrivi(b, "MemoRagSoc", "Etichette");
    b->ButtonMemorizza->click();
    a->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
    EXPECT_EQ(ragsoc("F003"), "Aromi");
    EXPECT_EQ(ragsoc("F006"), "Etichette");

    // a screen opened after the first save overwrites it
    TFornitoForm* c = apri(1);
    vaiA(c, "F002");
    EXPECT_EQ(mostra(c, "MemoRagSoc2"), "Prima");
    c->ButtonEdit->click();
    scrivi(c, "MemoRagSoc", "Terza");
    c->ButtonMemorizza->click();
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(ragsoc("F002"), "Terza");
}

TEST_F(Scheda, ANewCodeTypedByTwoSessionsInARaceFailsOnThePrimaryKey) {
    TFornitoForm* a = apri(2);
    TFornitoForm* b = apri(1);
    // both dialogs accept R01 before either inserts it
    int turno = 0;
    msg->dialogo = [&](QDialog* d) -> int {
        auto* k = qobject_cast<TKyvIn1Form*>(d);
        if (!k) {
            return QDialog::Rejected;
        }
        const int mio = ++turno;
        k->Edit1->setText("R01");
        k->OKBtn->click();
        if (mio == 1) {
            // a's code is checked and accepted; b now does the same and inserts it
            b->ButtonNuovo->click();
        }
        return k->result();
    };
    a->ButtonNuovo->click();
    ASSERT_EQ(turno, 2);
    EXPECT_EQ(b->StatoScheda, 1);
    EXPECT_EQ(msg->testi(), QStringList{kErroreInserisci});
    EXPECT_EQ(a->StatoScheda, 0);
    EXPECT_TRUE(pagina(a, "Consultazione"));
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM FORNITO WHERE CODICE='R01'"), 1);

    scrivi(b, "MemoRagSoc", "Vinto");
    b->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("R01"), "Vinto");
    EXPECT_EQ(msg->testi().size(), 1);

    // a keeps working after the failed insert
    codici({"R02"});
    a->ButtonNuovo->click();
    scrivi(a, "MemoRagSoc", "Dopo");
    a->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("R02"), "Dopo");
    EXPECT_EQ(msg->testi().size(), 1);
}

TEST_F(Scheda, TheKeyOnlyRowOfAnInterruptedNewRecordCanBeEditedOrDeletedOnReopening) {
    {
        TFornitoForm* f = apri();
        codici({"K01"});
        f->ButtonNuovo->click();
        codici({"K02"});
        f->ButtonAnnulla->click(); // K01 gone
        f->ButtonNuovo->click();   // K02 stays
        codici({"K03"});
        ASSERT_EQ(f->StatoScheda, 1);
        // the host goes away between "Nuovo" and "Memorizza": no close, no Annulla
        delete f;
    }
    EXPECT_EQ(ragsoc("K01"), "<manca>");
    EXPECT_EQ(ragsoc("K02"), "<null>");

    TFornitoForm* f = apri();
    vaiA(f, "K02");
    EXPECT_EQ(mostra(f, "EditCodice2"), "K02");
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "Ripreso");
    f->ButtonMemorizza->click();
    EXPECT_EQ(ragsoc("K02"), "Ripreso");

    // and again, deleted this time
    f->ButtonNuovo->click();
    ASSERT_EQ(f->CodiceCorrente, "K03");
    delete f;
    f = apri();
    vaiA(f, "K03");
    ASSERT_EQ(mostra(f, "EditCodice2"), "K03");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(ragsoc("K03"), "<manca>");
    EXPECT_EQ(msg->testi(), QStringList{"Eliminare il record selezionato?"});
}

TEST_F(Scheda, TheWindowComesBackWhereItsUserLeftIt) {
    TFornitoForm* f = apri(2);
    f->move(123, 77);
    f->resize(650, 480);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(h.valore(azienda(), "SELECT POSX||','||POSY||','||DIMX||','||DIMY FROM STOPOS1 "
                                  "WHERE CODICEPROGETTO=150 AND CODICESITUAZIONE=22 AND "
                                  "CODICEUTENTE=2"),
              "123,77,650,480");
    EXPECT_GT(h.conta(azienda(), "SELECT COUNT(*) FROM STOASP1 WHERE CODICESITUAZIONE=28 AND "
                                 "CODICEUTENTE=2"),
              0)
        << "the grid layout is saved on close too";

    f = apri(2);
    EXPECT_EQ(f->pos(), QPoint(123, 77));
    EXPECT_EQ(f->size(), QSize(650, 480));

    // moved and closed again: the new place is kept, one row per user and screen
    f->move(200, 150);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    f = apri(2);
    EXPECT_EQ(f->pos(), QPoint(200, 150));
    EXPECT_EQ(h.conta(azienda(), "SELECT COUNT(*) FROM STOPOS1 WHERE CODICESITUAZIONE=22"), 1);

    // another user has a place of its own
    TFornitoForm* g = apri(1);
    EXPECT_NE(g->pos(), QPoint(200, 150));
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Scheda, AReadOnlyUserHasNoEditingButtonsInAnyState) {
    TFornitoForm* f = apri(3);
    auto spenti = [&](const char* dove) {
        EXPECT_FALSE(f->ButtonNuovo->isEnabled()) << dove;
        EXPECT_FALSE(f->ButtonEdit->isEnabled()) << dove;
        EXPECT_FALSE(f->ButtonElimina->isEnabled()) << dove;
        EXPECT_TRUE(f->ButtonChiudi->isEnabled()) << dove;
    };
    EXPECT_TRUE(f->SolaLettura);
    spenti("opened");
    f->ButtonNuovo->click();
    f->ButtonEdit->click();
    f->ButtonElimina->click();
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(f->StatoScheda, 0);

    // the states reached all the same (by the code, not by the buttons)
    f->ButtonEditClick();
    EXPECT_EQ(f->StatoScheda, 2);
    spenti("editing");
    f->ButtonAnnulla->click();
    spenti("after Annulla");
    codici({"RO1"});
    f->ButtonNuovoClick();
    EXPECT_EQ(f->StatoScheda, 1);
    spenti("new");
    f->ButtonAnnulla->click();
    EXPECT_EQ(ragsoc("RO1"), "<manca>");
    spenti("browsing");

    // a grid search opened with F5 and closed, then cancelled with F6
    msg->dialogo = [](QDialog* d) -> int {
        auto* r = qobject_cast<TRCSDGridForm*>(d);
        if (!r) {
            return QDialog::Rejected;
        }
        QTest::keyClicks(r->EditStringa, "F005");
        QTest::keyClick(r->EditStringa, Qt::Key_Return);
        return r->result();
    };
    f->Griglia->setCurrentIndex(f->Griglia->modello()->index(0, 0));
    const size_t aperti = msg->dialoghiAperti.size();
    QTest::keyClick(f->Griglia, Qt::Key_F5);
    ASSERT_EQ(msg->dialoghiAperti.size(), aperti + 1);
    EXPECT_EQ(mostra(f, "EditCodice2"), "F005");
    spenti("after a search");
    QTest::keyClick(f->Griglia, Qt::Key_F6);
    EXPECT_EQ(f->Griglia->modello()->rowCount(), 7);
    spenti("after cancelling the search");
    f->NavUltimo->click();
    f->NavPrimo->click();
    spenti("after moving");
    f->SettaggioInterfaccia();
    spenti("after the pages were set again");

    // a user with full rights has them
    TFornitoForm* g = apri(2);
    EXPECT_FALSE(g->SolaLettura);
    EXPECT_TRUE(g->ButtonNuovo->isEnabled());
    EXPECT_TRUE(g->ButtonEdit->isEnabled());
    EXPECT_TRUE(g->ButtonElimina->isEnabled());
}

TEST_F(Scheda, TheListStandsOnTheSavedCodeWithoutReadingTheWholeList) {
    aggiungiFornitori("L", [](int i) { return i; });
    TFornitoForm* f = apri();
    GrigliaModello* m = f->Griglia->modello();
    codici({"E001"});
    f->ButtonNuovo->click();
    scrivi(f, "MemoRagSoc", "In testa");
    f->ButtonMemorizza->click();
    EXPECT_EQ(mostra(f, "EditCodice2"), "E001");
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "In testa");
    EXPECT_EQ(f->posizioneCorrente(), 0);
    EXPECT_LE(m->rowCount(), 512);

    codici({"G001"});
    f->ButtonNuovo->click();
    f->ButtonMemorizza->click();
    EXPECT_EQ(mostra(f, "EditCodice2"), "G001");
    EXPECT_EQ(f->posizioneCorrente(), 8);
    EXPECT_LE(m->rowCount(), 512);

    // near the end
    codici({"M001"});
    f->ButtonNuovo->click();
    f->ButtonMemorizza->click();
    EXPECT_EQ(mostra(f, "EditCodice2"), "M001");
    EXPECT_EQ(f->posizioneCorrente(), 3009);
    EXPECT_LE(m->rowCount(), 512);

    // an edit far down comes back to its row
    vaiA(f, "L02500");
    f->ButtonEdit->click();
    scrivi(f, "MemoRagSoc", "Cambiato");
    f->ButtonMemorizza->click();
    EXPECT_EQ(mostra(f, "EditCodice2"), "L02500");
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Cambiato");
    EXPECT_LE(m->rowCount(), 512);
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}

TEST_F(Scheda, AmongManyTiedRowsFarDownTheSavedRecordStaysCurrent) {
    // keys inserted out of their order, so that stored order and key order differ
    aggiungiFornitori(
        "T", [](int i) { return (i * 7919) % 3000; }, "Lodi");
    TFornitoForm* f = apri();
    f->Griglia->OrdinaColonna(f->Griglia->modello()->indiceCampo("CITTA"), false);
    for (const QString codice : {"T02718", "T00004", "T02999"}) {
        vaiA(f, codice);
        ASSERT_EQ(mostra(f, "EditCodice2"), codice);
        f->ButtonEdit->click();
        scrivi(f, "MemoRagSoc", "Cambiato " + codice);
        f->ButtonMemorizza->click();
        EXPECT_EQ(mostra(f, "EditCodice2"), codice) << "the row saved is the row shown";
        EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Cambiato " + codice);
        f->NavSuccessivo->click();
        f->NavPrecedente->click();
        EXPECT_EQ(mostra(f, "EditCodice2"), codice) << "and its neighbours stay in place";
    }
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}

TEST_F(Scheda, ADescriptionIsLookedUpOnceAfterTheLastChange) {
    TFornitoForm* f = apri();
    auto* codice = new QLineEdit(f);
    auto* descrizione = new QLineEdit(f);
    int letture = 0;
    bool timerFermo = true;
    QTimer* t = nullptr;
    t = f->collegaDescrizione(codice, descrizione, "TimerFornitore", [&](const QString& c) {
        ++letture;
        timerFermo = timerFermo && !t->isActive();
        return QStringList{"SELECT RAGSOC FROM FORNITO", "WHERE CODICE=" + sql::testoNonNullo(c)};
    });
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->objectName(), "TimerFornitore");
    EXPECT_EQ(t->interval(), 400);
    EXPECT_TRUE(t->isSingleShot());

    descrizione->setText("di prima");
    QTest::keyClicks(codice, "F001");
    QElapsedTimer trascorso;
    trascorso.start();
    EXPECT_EQ(descrizione->text(), "") << "emptied at each change";
    EXPECT_TRUE(t->isActive());
    QTest::qWait(200);
    if (trascorso.elapsed() < 350) {
        EXPECT_EQ(letture, 0) << "not before the interval";
    }
    while (letture == 0 && trascorso.elapsed() < 3000) {
        QTest::qWait(20);
    }
    EXPECT_GE(trascorso.elapsed(), 380);
    EXPECT_EQ(letture, 1);
    EXPECT_EQ(descrizione->text(), "Chimitalia S.p.A.");
    QTest::qWait(600);
    EXPECT_EQ(letture, 1) << "one look-up after the last keystroke";
    EXPECT_TRUE(timerFermo);

    // a code that does not exist leaves the description empty
    codice->setText("ZZZ");
    QTest::qWait(700);
    EXPECT_EQ(letture, 2);
    EXPECT_EQ(descrizione->text(), "");
    // an empty code is not looked up
    codice->setText("F002");
    codice->clear();
    QTest::qWait(700);
    EXPECT_EQ(letture, 2);
    EXPECT_EQ(descrizione->text(), "");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Scheda, AfterASaveRefusedForAnotherUsersChangeANewEditStartsFromTheStoredRow) {
    TFornitoForm* f = apri();
    f->riapriSuCodice("F002");
    f->ButtonEdit->click();
    altroUtente("UPDATE FORNITO SET RAGSOC='Altro' WHERE CODICE='F002'");
    scrivi(f, "MemoRagSoc", "Mio");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi().last(), kErroreSalva);
    EXPECT_EQ(f->StatoScheda, 2);
    EXPECT_EQ(ragsoc("F002"), "Altro");

    f->ButtonAnnulla->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(mostra(f, "MemoRagSoc2"), "Altro") << "the list shows what is stored now";
    f->ButtonEdit->click();
    EXPECT_EQ(mostra(f, "MemoRagSoc"), "Altro");
    scrivi(f, "MemoRagSoc", "Mio");
    msg->pulisci();
    f->ButtonMemorizza->click();
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(ragsoc("F002"), "Mio");
}
