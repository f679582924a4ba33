// The archive conversion screen on generated older archives: every table in
// one transaction, the value rules with bound values, cancelling, a missing
// target table, failures that undo the whole run and name the table.
#include "exchange/conv.h"
#include "exchange/conversione.h"
#include "exchange/infoelab.h"
#include "host/lancio.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "support/paradoxprova.h"
#include "ui/tseldirform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;
namespace pp = prova::paradox;

namespace {

const QString kAcuto = QString(QChar(0x00B4));
const QString kAvvio = QStringLiteral("Avviare la conversione degli archivi?\r\nAttenzione: "
                                      "eventuali dati già presenti verranno sovrascritti");

struct Conv : ::testing::Test {
    prova::Cartella cartella;
    RegistraMessaggi msg;
    QTemporaryDir vecchio;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString azienda() const { return cartella.c().azienda(); }
    int conta(const QString& tabella) {
        return cartella.conta(azienda(), "SELECT COUNT(*) FROM " + tabella);
    }
    QString valore(const QString& select) { return cartella.valore(azienda(), select); }

    // Every table with `righe` generated records.
    void genera(int righe) {
        pp::scriviArchivioVecchio(vecchio.path(), [=](const QString&) { return righe; });
    }
    // One table of the older archive with the content given.
    void scrivi(const QString& destinazione, const QString& descrizione,
                const std::vector<pp::Record>& righe) {
        for (const pp::TabellaVecchia& t : pp::tabelleVecchie()) {
            if (t.destinazione == destinazione) {
                const QString dir =
                    QDir(vecchio.path()).filePath(QString(t.cartella).replace('\\', '/'));
                QFile::remove(QDir(dir).filePath(t.destinazione + ".MB"));
                pp::scriviTabella(QDir(dir).filePath(t.file), descrizione, righe);
                return;
            }
        }
        FAIL() << destinazione.toStdString();
    }

    TConvForm* apri(int utente = 1) {
        auto* f = dynamic_cast<TConvForm*>(
            LanciaSchermata(*trovaSchermata("ShowConvForm"), utente, std::nullopt));
        EXPECT_NE(f, nullptr);
        f->EditArchivi->setText(vecchio.path());
        return f;
    }
    // "Elabora", answering the start question and then `risposte`.
    void elabora(TConvForm* f, std::deque<QString> risposte = {}) {
        msg->risposte = {"Sì"};
        msg->risposte.insert(msg->risposte.end(), risposte.begin(), risposte.end());
        f->ButtonElabora->click();
    }
    // Runs `f` at every moment the conversion lets events through.
    struct Osservatore {
        QTimer timer;
        explicit Osservatore(std::function<void()> f) {
            QObject::connect(&timer, &QTimer::timeout, f);
            timer.start(0);
        }
    };
};

} // namespace

TEST_F(Conv, EveryTableIsConvertedInOrderInOneCommittedRun) {
    genera(3);
    cartella.esegui(azienda(), {"INSERT INTO CATEGMP (CODICE,DESCRIZIONE) VALUES (99,'vecchia')"});
    TConvForm* f = apri();
    EXPECT_EQ(f->windowTitle(), "Conversione archivi - Ditta: Chimica Demo S.r.l.");
    std::vector<std::pair<QString, int>> visti; // table shown, bar of tables
    QString totale;
    bool bloccata = true;
    Osservatore o([&] {
        if (TInfoElabForm* i = f->InfoElab()) {
            if (visti.empty() || visti.back().first != i->LabelNTabella->text()) {
                visti.emplace_back(i->LabelNTabella->text(), i->ProgressBar1->value());
            }
            totale = i->LabelTotTabelle->text();
            EXPECT_EQ(i->windowTitle(), "Elaborazione in corso...");
            // nothing starts a second run or closes the screen meanwhile
            bloccata = bloccata && !f->ButtonElabora->isEnabled() &&
                       !f->ButtonChiudi->isEnabled() && !f->ButtonArchivi->isEnabled() &&
                       !f->close();
        }
    });
    elabora(f);
    EXPECT_EQ(msg->testi(), QStringList({kAvvio, "Elaborazione completata"}));
    EXPECT_EQ(f->InfoElab(), nullptr) << "the progress window goes with the run";
    EXPECT_TRUE(f->ButtonElabora->isEnabled());
    EXPECT_TRUE(bloccata);
    EXPECT_EQ(totale, "28");
    ASSERT_EQ(visti.size(), 28u);
    EXPECT_EQ(visti.front(), std::make_pair(QString("1"), 4));
    EXPECT_EQ(visti[2], std::make_pair(QString("3"), 11));
    EXPECT_EQ(visti.back(), std::make_pair(QString("28"), 100));
    for (const pp::TabellaVecchia& t : pp::tabelleVecchie()) {
        // the cost parameters and the softened water are one row each
        const bool unaRiga = t.destinazione == "CPAR" || t.destinazione == "PRACQUA";
        EXPECT_EQ(conta(t.destinazione), unaRiga ? 1 : 3) << t.destinazione.toStdString();
    }
    EXPECT_EQ(conta("CATEGMP WHERE CODICE=99"), 0) << "the old rows are gone";
    EXPECT_EQ(conta("FABBRIC WHERE ID IS NULL"), 3) << "numbered later by the regularisation";
    const QString memo = f->MemoRiep->toPlainText();
    EXPECT_TRUE(memo.startsWith("Inizio elaborazione: ")) << memo.toStdString();
    EXPECT_TRUE(memo.contains("\n\nTabella ADR\nVerifica esistenza tabella\nAzzeramento "
                              "dati\nRiversamento dati\n\nTabella ANANC\n"));
    EXPECT_TRUE(memo.contains("\n\nTabella VALUTAZ\n"));
    EXPECT_TRUE(memo.section('\n', -1).startsWith("Elaborazione completata: "));
    EXPECT_FALSE(f->Transazione.active()) << "nothing left open for a later run";

    // a second run replaces the first
    elabora(f);
    EXPECT_EQ(conta("COMPON"), 3);
    EXPECT_TRUE(f->close());
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM STOPOS1 WHERE CODICEPROGETTO=150 "
                                        "AND CODICESITUAZIONE=21 AND CODICEUTENTE=1"),
              1);
}

TEST_F(Conv, ValuesAreBoundByTheirRules) {
    genera(0);
    scrivi("PROCED", "CodiceFormulazione:I NRiga:N Testo:M20 Evidenza:L TabEvidenza:A20",
           {{qint64(1), 1.5, QString("Mescolare \"piano\" all'inizio"), {}, {}},
            {qint64(1), 2.0, {}, true, QString("T'1")},
            {qint64(2), 1.0, QString("x").repeated(900), false, QString("")}});
    scrivi("FABBRIC",
           "Codice:A20 Data:D Lotto:A20 NomeProdotto:A60 QuantitaLitri:A10 "
           "CapacitaContenitore:N StoricoAggiornato:L DocumentoWord:A80 "
           "CodiceProdotto:A20 Specifiche:M11 UnitaMisura:A10 DensitaProdotto:N "
           "DensitaCalcoli:N Miscelatore:A20 Contenitore:A40 "
           "DescrizioneContenitore:A40 Riempitrice:A10 Cartone:A40 NumCartoni:N "
           "Etichetta:A40 Tappo:A40 Altro1:A40 Altro2:A40",
           {{QString("P'1"), QDate(2004, 2, 3), QString("L1"), QString("Sapone d'Aleppo \"X\""),
             QString("12,5"), 1.25, true, QString("C:\\Doc\\d'Aleppo.doc")}});
    scrivi("PRODOT",
           "Codice:A20 Tempo2:N " // the older product table without Tempo3
           "CodiceFormulazione:I Nome:A60 ConfezioneVendita:A40 PezziPerImballo:N "
           "Note:M40 CategoriaProdotto:A10 Descrizione:A80 CodiceADR:A10 "
           "ManodoperaConf:N Associato:A40 InListino:L UnitaVendita:A10 "
           "DivisoreConfezione:N Ricarica:N ValDensita:N ImballoContenitore:A40 "
           "ImballoTappo:A40 ImballoEtichetta:A40 ImballoCartone:A40 "
           "ImballoAltro1:A40 ImballoAltro2:A40 Divisore1:N Divisore2:N Divisore3:N "
           "Divisore4:N FileSchedaTecnica:A80 FileSchedaSicurezza:A80 Scaglione1:N "
           "Scaglione2:N Tempo1:N ModBusta:L BustePiene:N",
           {{QString("PR1"), 7.5}});
    TConvForm* f = apri();
    elabora(f);
    ASSERT_EQ(msg->testi().last(), "Elaborazione completata")
        << msg->testi().join('|').toStdString();

    EXPECT_EQ(valore("SELECT EVIDENZA FROM PROCED WHERE NRIGA=1.5"), "0") << "empty flag";
    EXPECT_EQ(valore("SELECT EVIDENZA FROM PROCED WHERE NRIGA=2"), "1");
    EXPECT_EQ(valore("SELECT EVIDENZA FROM PROCED WHERE CODICEFORMULAZIONE=2"), "0");
    EXPECT_EQ(valore("SELECT TESTO FROM PROCED WHERE NRIGA=1.5"),
              "Mescolare " + kAcuto + "piano" + kAcuto + " all" + kAcuto + "inizio");
    EXPECT_EQ(valore("SELECT TABEVIDENZA FROM PROCED WHERE NRIGA=2"), "T'1") << "a code as it is";
    EXPECT_EQ(conta("PROCED WHERE NRIGA=1.5 AND TESTO IS NULL"), 0);
    EXPECT_EQ(conta("PROCED WHERE NRIGA=2 AND TESTO IS NULL"), 1) << "an empty memo";
    EXPECT_EQ(conta("PROCED WHERE CODICEFORMULAZIONE=2 AND TABEVIDENZA IS NULL"), 1);
    EXPECT_EQ(valore("SELECT CHAR_LENGTH(TESTO) FROM PROCED WHERE CODICEFORMULAZIONE=2"), "900")
        << "a memo from the .MB file";

    EXPECT_EQ(valore("SELECT CODICE FROM FABBRIC"), "P'1") << "a quote in a key";
    EXPECT_EQ(valore("SELECT EXTRACT(MONTH FROM DATA)||'/'||EXTRACT(DAY FROM DATA) FROM FABBRIC"),
              "2/3")
        << "3 February, as read";
    EXPECT_EQ(valore("SELECT NOMEPRODOTTO FROM FABBRIC"),
              "Sapone d" + kAcuto + "Aleppo " + kAcuto + "X" + kAcuto);
    EXPECT_EQ(conta("FABBRIC WHERE QUANTITALITRI=12.5"), 1) << "12,5 typed as text";
    EXPECT_EQ(valore("SELECT CAPACITACONTENITORE FROM FABBRIC"), "1,25")
        << "a number into a text column, as the session writes it";
    EXPECT_EQ(valore("SELECT STORICOAGGIORNATO FROM FABBRIC"), "1");
    EXPECT_EQ(valore("SELECT DOCUMENTOWORD FROM FABBRIC"), "C:\\Doc\\d'Aleppo.doc");
    EXPECT_EQ(conta("FABBRIC WHERE ID IS NULL AND CODICEPRODOTTO IS NULL"), 1);

    EXPECT_EQ(conta("PRODOT WHERE TEMPO2=7.5 AND TEMPO3=7.5"), 1) << "TEMPO3 from Tempo2";
}

TEST_F(Conv, PRODOTTempo3ComesFromItsOwnFieldWhenTheTableHasIt) {
    genera(4);
    TConvForm* f = apri();
    elabora(f);
    EXPECT_GT(conta("PRODOT WHERE TEMPO3 IS DISTINCT FROM TEMPO2"), 0)
        << "the generated Tempo3 differs from Tempo2";
}

TEST_F(Conv, ACancelDuringTable12LeavesTables1To11AsTheyWere) {
    genera(3);
    cartella.esegui(azienda(),
                    {"INSERT INTO ADR (CODICE,SPECIFICA) VALUES ('V1','vecchio')",
                     "INSERT INTO CATEGMP (CODICE,DESCRIZIONE) VALUES (99,'vecchia')",
                     "INSERT INTO FABBRIC (CODICE,DATA,LOTTO) VALUES ('V',CURRENT_DATE,'1')"});
    const int formul = conta("FORMUL");
    TConvForm* f = apri();
    Osservatore o([&] {
        if (f->InfoElab() && f->InfoElab()->LabelNTabella->text() == "12" &&
            !f->InfoElab()->Annullato()) {
            f->InfoElab()->ButtonAnnulla->click();
        }
    });
    elabora(f, {"Sì"});
    EXPECT_EQ(msg->testi(),
              QStringList({kAvvio, "Annullare l'elaborazione?", "Elaborazione annullata"}));
    EXPECT_EQ(conta("ADR"), 1);
    EXPECT_EQ(conta("CATEGMP WHERE CODICE=99"), 1);
    EXPECT_EQ(conta("CATEGMP"), 1);
    EXPECT_EQ(conta("FABBRIC"), 1);
    EXPECT_EQ(conta("COMPON"), 0);
    EXPECT_EQ(conta("FORMUL"), formul);
    const QString memo = f->MemoRiep->toPlainText();
    EXPECT_TRUE(memo.contains("Tabella FORMUL")) << memo.toStdString();
    EXPECT_FALSE(memo.contains("Tabella FORNITO"));
    EXPECT_TRUE(memo.section('\n', -1).startsWith("Elaborazione annullata: "));
    EXPECT_FALSE(f->Transazione.active());
}

TEST_F(Conv, ACancelAfterTheLastRecordIsStillACancel) {
    genera(2);
    cartella.esegui(azienda(), {"INSERT INTO ADR (CODICE,SPECIFICA) VALUES ('V1','vecchio')"});
    TConvForm* f = apri();
    Osservatore o([&] {
        TInfoElabForm* i = f->InfoElab();
        if (i && i->LabelNTabella->text() == "28" && i->LabelNRecord->text() == "2" &&
            !i->Annullato()) {
            i->ButtonAnnulla->click();
        }
    });
    elabora(f, {"Sì"});
    EXPECT_EQ(msg->testi().last(), "Elaborazione annullata");
    EXPECT_EQ(valore("SELECT CODICE FROM ADR"), "V1");
    EXPECT_EQ(conta("VALUTAZ"), 0);
}

TEST_F(Conv, AMissingTargetTableIsSkippedOnYesAndFailsTheRunOnNo) {
    genera(2);
    cartella.esegui(azienda(), {"DROP TABLE CPAR"});
    const QString domanda =
        "Attenzione: la tabella CPAR non esiste. Procedere comunque con la conversione delle "
        "altre tabelle?\r\n- L'annullamento azzera l'intera elaborazione";
    TConvForm* f = apri();
    elabora(f, {"No"});
    EXPECT_EQ(msg->testi(), QStringList({kAvvio, domanda}));
    EXPECT_EQ(conta("ADR"), 0) << "nothing of the run remains";
    EXPECT_TRUE(f->MemoRiep->toPlainText().contains(
        "Tabella CPAR\nVerifica esistenza tabella\nLa tabella non esiste\nElaborazione "
        "interrotta: "));

    msg->pulisci();
    elabora(f, {"Sì"});
    EXPECT_EQ(msg->testi(), QStringList({kAvvio, domanda, "Elaborazione completata"}));
    EXPECT_EQ(conta("ADR"), 2);
    EXPECT_EQ(conta("VALUTAZ"), 2);
    EXPECT_TRUE(f->MemoRiep->toPlainText().contains(
        "Tabella CPAR\nVerifica esistenza tabella\nLa tabella non esiste\n\nTabella FABBRIC"));
}

TEST_F(Conv, AFailingInsertUndoesTheWholeRunAndNamesTheTable) {
    genera(2);
    // a code that the integer key cannot take
    scrivi("CATEGMP", "Codice:A10 Descrizione:A50",
           {{QString("1"), QString("ok")}, {QString("X'1"), QString("d'uso")}});
    cartella.esegui(azienda(), {"INSERT INTO ADR (CODICE,SPECIFICA) VALUES ('V1','vecchio')"});
    TConvForm* f = apri();
    elabora(f);
    EXPECT_EQ(msg->testi(),
              QStringList({kAvvio, "Errore interno durante il riversamento dati CATEGMP"}));
    EXPECT_EQ(valore("SELECT CODICE FROM ADR"), "V1");
    EXPECT_EQ(conta("ADR"), 1);
    const QString memo = f->MemoRiep->toPlainText();
    EXPECT_TRUE(memo.contains("\nElaborazione interrotta: ")) << memo.toStdString();
    EXPECT_TRUE(memo.contains("\nErrore interno durante il riversamento dati CATEGMP:\nINSERT "
                              "INTO CATEGMP(CODICE,DESCRIZIONE) VALUES('X''1','d" +
                              kAcuto +
                              "uso')\nRecord 2: numero 'X'1' non valido per la colonna "
                              "CODICE"))
        << memo.toStdString();
    EXPECT_FALSE(f->Transazione.active());
    EXPECT_TRUE(f->ButtonElabora->isEnabled());
}

TEST_F(Conv, AnUnreadableSourceTableStopsTheRunWithItsReason) {
    genera(2);
    const QString file = QDir(vecchio.path()).filePath("INITAB/CAPCONF/CAPCONF.DB");
    QFile::resize(file, 3000); // cut inside the data
    TConvForm* f = apri();
    elabora(f);
    ASSERT_EQ(msg->testi().size(), 2);
    EXPECT_TRUE(msg->testi()[1].startsWith("Errore durante la lettura della tabella origine "
                                           "della tabella CAPCONF:\r\nCAPCONF.DB: il file è "
                                           "troncato"))
        << msg->testi()[1].toStdString();
    EXPECT_EQ(conta("ADR"), 0);

    QFile::remove(file);
    msg->pulisci();
    elabora(f);
    EXPECT_EQ(msg->testi()[1], "Errore durante la lettura della tabella origine della tabella "
                               "CAPCONF:\r\nCAPCONF.DB: il file non esiste in INITAB\\CAPCONF");
}

TEST_F(Conv, AMissingSourceFolderIsReportedBeforeAnything) {
    TConvForm* f = apri();
    f->EditArchivi->setText(vecchio.path() + "/manca");
    f->ButtonElabora->click();
    EXPECT_EQ(msg->testi(), QStringList({"Attenzione: il percorso selezionato per \"Archivi "
                                         "origine\" non esiste"}));
    EXPECT_TRUE(f->MemoRiep->toPlainText().isEmpty());
}

TEST_F(Conv, TheSourceFolderStartsAtTheWorkFolderAndTheChosenOneIsKept) {
    auto* f =
        dynamic_cast<TConvForm*>(LanciaSchermata(*trovaSchermata("ShowConvForm"), 1, std::nullopt));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->EditArchivi->text(), cartella.radice() + "Lavoro/");
    QDir().mkpath(vecchio.filePath("Archivi"));
    msg->dialogo = [&](QDialog* d) {
        auto* sel = qobject_cast<TSelDirForm*>(d);
        EXPECT_NE(sel, nullptr);
        sel->impostaDirectory(vecchio.filePath("Archivi"));
        return kRisultatoOK;
    };
    f->ButtonArchivi->click();
    EXPECT_EQ(msg->dialoghiAperti, std::vector<QString>{"SelDirForm"});
    EXPECT_EQ(f->EditArchivi->text(), vecchio.filePath("Archivi") + "/");
    EXPECT_EQ(cartella.valore(cartella.c().userDb(),
                              "SELECT VALORE FROM TABARBELON WHERE UTENTE=1 AND "
                              "PARAMETRO='Directory di lavoro' AND INTESTAZIONE=(SELECT "
                              "DITTA FROM UTENTI WHERE CODICE=1)"),
              vecchio.filePath("Archivi") + "/");
}

TEST(ValoriConversione, SourceTextsAreReadByTheirOwnRulesForTheirColumns) {
    using namespace conversione;
    Formati::impostaItaliani();
    const Colonna data{"DATA", Genere::Data};
    const Colonna decimale{"PREZZO", Genere::Decimale};
    const Colonna intero{"CODICE", Genere::Intero};
    EXPECT_EQ(valore(QString("03/02/2004"), data), QVariant(QDate(2004, 2, 3)));
    EXPECT_THROW(valore(QString("3 febbraio"), data), ValoreNonValido);
    EXPECT_THROW(valore(12.0, data), ValoreNonValido);
    // the older program's text numbers: a comma or a point before the
    // decimals, never thousands, whatever the session's formats
    EXPECT_EQ(valore(QString("1.050"), decimale), QVariant(1.05));
    EXPECT_EQ(valore(QString(" 12,5 "), decimale), QVariant(12.5));
    EXPECT_EQ(valore(QString("-0.25"), decimale), QVariant(-0.25));
    EXPECT_EQ(valore(QString("7"), intero), QVariant(qint64(7)));
    for (const QString& s :
         {QString("1.000,5"), QString("1,000.5"), QString("12 kg"), QString("1e3"), QString(",")}) {
        EXPECT_THROW(valore(s, decimale), ValoreNonValido) << s.toStdString();
    }
    Formati::imposta({QChar('.'), QChar(','), QStringLiteral("dd/MM/yyyy")});
    EXPECT_EQ(valore(QString("1.050"), decimale), QVariant(1.05));
    EXPECT_EQ(valore(QString("1,050"), decimale), QVariant(1.05));
    Formati::impostaItaliani();
    EXPECT_EQ(valore(3.0, intero), QVariant(qint64(3)));
    EXPECT_EQ(valore(false, intero), QVariant(QString("0")));
    EXPECT_FALSE(valore(QString(), decimale).isValid());
    EXPECT_EQ(valore(QVariant(), Colonna{"CODICE", Genere::Testo, true}), QVariant(QString("")))
        << "a key is never NULL";
    EXPECT_EQ(valore(QDate(2004, 2, 3), Colonna{"NOTE", Genere::Testo}),
              QVariant(QString("03/02/2004")));
}
