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
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

using namespace quintar;

// Readable texts in failure messages.
void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString kLinea5Critica =
    QStringLiteral("UPDATE COMPON SET CRITICO='1' WHERE CODICEFORMULAZIONE=1 AND NRIGA=5");

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
    // A sheet on batch FM001 whose transactions see the archive as it is now.
    void crea(const QStringList& prima = {}) {
        pagine.reset();
        scheda.reset();
        if (!prima.isEmpty()) {
            h.esegui(az(), prima);
        }
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
    void cambia(const QString& testo) {
        msg->pulisci();
        rispondi(testo);
        pagine->ButtonEditCompCriticiClick();
    }

    QString riga() const { return pagine->EditNRiga->text(); }
    // "% Agg.", "Q.calc.", "Q.tà Kg" once the timer has run.
    QStringList calcolati() {
        pagine->calcolaCampi();
        return {pagine->EditPercentualeAggiornata->text(), pagine->EditQuantitaCalcolata->text(),
                pagine->EditQuantitaKg->text()};
    }
    QString realeIn(int nriga) {
        return valore(QStringLiteral("SELECT MATERIAATTIVAREALE FROM COMPON WHERE "
                                     "CODICEFORMULAZIONE=1 AND NRIGA=%1")
                          .arg(nriga));
    }
    int righeStorico() {
        return conta(QStringLiteral("SELECT COUNT(*) FROM STOFORMUL")) +
               conta(QStringLiteral("SELECT COUNT(*) FROM STOCOMPON")) +
               conta(QStringLiteral("SELECT COUNT(*) FROM STOFORMULRIEP"));
    }
};

TEST_F(Critici, TheListHoldsTheProductsCriticalLinesAndKeepsItsLineAcrossPages) {
    crea({kLinea5Critica});
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    GrigliaModello* m = pagine->GridCompCritici->modello();
    ASSERT_EQ(m->rowCount(), 2);
    const int nriga = m->indiceCampo(QStringLiteral("NRIGA"));
    EXPECT_EQ(m->campo(1, nriga).asString(), "5");
    for (const char* c : {"MATERIAATTIVA", "DENSITA", "CODICEFORMULAZIONE"}) {
        EXPECT_TRUE(pagine->GridCompCritici->isColumnHidden(m->indiceCampo(QString::fromLatin1(c))))
            << c;
    }
    EXPECT_EQ((QStringList{riga(), pagine->EditCodice->text(), pagine->EditDescrizione->text(),
                           pagine->EditPercentuale->text(), pagine->EditMinimo->text(),
                           pagine->EditMateriaAttivaReale->text()}),
              (QStringList{"1", "MP002", "Sodio lauriletere solfato 70%", "12", "11,5", "69,5"}));

    // page "Qualità": the same grid, on the same line
    pagine->GridCompCritici->setCurrentIndex(m->index(1, 0));
    pagine->aggiorna(PagineCritici::kPaginaQualita);
    EXPECT_TRUE(pagine->PaginaQualita->isAncestorOf(pagine->GridCompCritici));
    EXPECT_EQ(riga(), "5");
    pagine->GridCompCritici->setCurrentIndex(m->index(0, 0));
    EXPECT_EQ(pagine->MemoComposizione->toPlainText(),
              "Sodio lauriletere solfato 2 OE in soluzione acquosa al 70%");
    EXPECT_EQ(pagine->EditAccettabilita->text(), "8,3 - 8,5 % s.a. anionica");
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_TRUE(pagine->PaginaCritici->isAncestorOf(pagine->GridCompCritici));

    // another batch, another formulation; no batch, nothing
    scheda->lotto.codice = QStringLiteral("SM001");
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_EQ(m->rowCount(), 1);
    EXPECT_EQ(pagine->EditPercentuale->text(), "40");
    scheda->lotto = LottoCorrente{};
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_TRUE(pagine->listaVuota());
    EXPECT_EQ(riga(), "");
    EXPECT_FALSE(pagine->TimerCompCritici->isActive());

    // leaving the page closes the list
    scheda->lotto = prova::lottoFM001();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->chiudi();
    EXPECT_FALSE(pagine->GridCompCritici->SorgenteDati()->isOpen());
    EXPECT_FALSE(pagine->TimerCompCritici->isActive());
}

TEST_F(Critici, ComputedFieldsFollowTheDisplayedValuesASecondAfterTheLineIsSelected) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_EQ(pagine->EditPercentualeAggiornata->text(), "");
    EXPECT_TRUE(pagine->TimerCompCritici->isActive());
    // % Agg. = 12 × 70 / 69,5 = 12,08633… shown 12,0863;
    // Q.calc. = 12,0863 × 2000 l × 1,03 / 100 = 248,97778 → 248,9778;
    // Q.tà Kg = 248,9778 × 1,01 = 251,467578 → 251,4676.
    EXPECT_EQ(calcolati(), (QStringList{"12,0863", "248,9778", "251,4676"}));
    EXPECT_EQ(pagine->LabelVersione->text(), ""); // no history yet

    // in kilograms the density is not used: 12,0863 × 2000 / 100 = 241,726
    scheda->lotto.unitaMisura = QStringLiteral("Kg");
    EXPECT_EQ(calcolati(), (QStringList{"12,0863", "241,726", "244,1433"}));
    // large figures group their thousands
    scheda->lotto.unitaMisura = QStringLiteral("Litri");
    scheda->lotto.quantita = 20000;
    EXPECT_EQ(calcolati(), (QStringList{"12,0863", "2.489,7778", "2.514,6756"}));
    scheda->lotto.quantita.reset();
    EXPECT_EQ(calcolati(), (QStringList{"12,0863", "0", "0"}));

    crea({QStringLiteral("UPDATE COMPON SET MATERIAATTIVAREALE=NULL WHERE NRIGA=1"),
          QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                         "VERSIONED) VALUES (1, 1, 1, 3)"),
          QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                         "VERSIONED) VALUES (1, 2, 1, 7)")});
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_EQ(calcolati(), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(pagine->LabelVersione->text(), "3"); // the line's own highest version
}

TEST_F(Critici, EditXWarnsWithoutALineAndStopsOnCancelOrANonNumber) {
    scheda->lotto = LottoCorrente{};
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    cambia(QStringLiteral("50"));
    EXPECT_EQ(msg->testi(), QStringList{"Non è presente nessun record"});
    EXPECT_EQ(inputAperti, 0);

    scheda->lotto = prova::lottoFM001();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    msg->pulisci();
    rispondi(QStringLiteral("50"), kRisultatoAnnulla);
    pagine->ButtonEditCompCriticiClick();
    EXPECT_EQ((QStringList{titoloInput, didascaliaInput, valoreProposto}),
              (QStringList{"Materia Attiva Reale", "Nuovo valore", "69,5"}));
    EXPECT_TRUE(msg->testi().isEmpty());

    // a point is not a decimal separator
    for (const QString& t : {QStringLiteral("abc"), QStringLiteral("69.5"), QString()}) {
        cambia(t);
        EXPECT_EQ(msg->testi(), QStringList{"Inserire un valore numerico"}) << t.toStdString();
    }
    EXPECT_EQ(realeIn(1), "69.5");
    EXPECT_EQ(righeStorico(), 0);
    EXPECT_EQ(scheda->riletture, 0);
}

TEST_F(Critici, EditXWritesTheChangeWithItsHistoryAndVersionsFollowOn) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    cambia(QStringLiteral("68,5"));
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    const QString oggi = QDate::currentDate().toString(Qt::ISODate);

    // committed (another connection sees it), with the formulation's first
    // version and the line as it was before the change
    EXPECT_EQ(realeIn(1), "68.5");
    EXPECT_EQ(valore("SELECT NOME || '/' || DATAVERS FROM STOFORMUL WHERE CODICE=1 AND VERS=1"),
              "Detergente piatti a mano al limone/" + oggi);
    EXPECT_EQ(valore("SELECT DENSITA FROM STOFORMUL WHERE CODICE=1 AND VERS=1"), "1.03");
    EXPECT_EQ(valore("SELECT ELIMINAZIONE || '/' || UTENTE || '/' || DATAVERS FROM STOFORMULRIEP "
                     "WHERE CODICE=1 AND NRIGA=0 AND VERSIONET=1 AND VERSIONED=0 "
                     "AND TABELLA='STOFORMUL'"),
              "0/2/" + oggi);
    const QString versione1 = QStringLiteral(" FROM STOCOMPON WHERE CODICEFORMULAZIONE=1 AND "
                                             "NRIGA=1 AND VERSIONET=1 AND VERSIONED=1");
    EXPECT_EQ(valore("SELECT MATERIAATTIVAREALE" + versione1), "69.5");
    EXPECT_EQ(valore("SELECT CODICEMATERIAPRIMA || '/' || DATAVERS" + versione1), "MP002/" + oggi);
    EXPECT_EQ(valore("SELECT COALESCE(ELIMINAZIONE, 'nullo') || '/' || UTENTE || '/' || DATAVERS "
                     "FROM STOFORMULRIEP WHERE CODICE=1 AND NRIGA=1 AND VERSIONET=1 "
                     "AND VERSIONED=1 AND TABELLA='STOCOMPON'"),
              "nullo/2/" + oggi);
    // the batch list read again, this list on the same line with the new figures
    EXPECT_EQ(scheda->riletture, 1);
    EXPECT_EQ(riga(), "1");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "68,5");
    EXPECT_EQ(pagine->LabelVersione->text(), "1");
    EXPECT_EQ(calcolati().value(0), "12,2628"); // 12 × 70 / 68,5
    EXPECT_EQ(pagine->LabelVersione->text(), "1");

    // a second change: a second line version, no second formulation version
    cambia(QStringLiteral("67"));
    EXPECT_EQ(valoreProposto, "68,5");
    EXPECT_EQ(realeIn(1), "67");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL"), 1);
    EXPECT_EQ(valore("SELECT MATERIAATTIVAREALE FROM STOCOMPON WHERE VERSIONET=1 AND VERSIONED=2"),
              "68.5");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE TABELLA='STOCOMPON' AND "
                    "VERSIONET=1 AND VERSIONED=2"),
              1);
    calcolati();
    EXPECT_EQ(pagine->LabelVersione->text(), "2");
}

TEST_F(Critici, EditXOnAFormulationWithHistoryUsesItsLatestVersion) {
    crea({QStringLiteral("INSERT INTO STOFORMUL (CODICE, VERS, NOME) VALUES (1, 1, 'a')"),
          QStringLiteral("INSERT INTO STOFORMUL (CODICE, VERS, NOME) VALUES (1, 4, 'b')"),
          QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                         "VERSIONED) VALUES (1, 1, 4, 2)"),
          kLinea5Critica});
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    pagine->GridCompCritici->setCurrentIndex(pagine->GridCompCritici->modello()->index(1, 0));
    ASSERT_EQ(riga(), "5");
    cambia(QStringLiteral("9,75"));
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(realeIn(5), "9.75");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCOMPON WHERE NRIGA=5 AND VERSIONET=4 AND "
                    "VERSIONED=1 AND MATERIAATTIVAREALE IS NULL"),
              1);
    EXPECT_EQ(riga(), "5");
    EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "9,75");
}

// Another user holds what the change needs: nothing of it is kept, and once
// the other user is done the same change goes through.
TEST_F(Critici, AFailedChangeKeepsNeitherTheChangeNorItsHistory) {
    struct Caso {
        QString blocco;
        QString messaggio;
    };
    for (const Caso& c :
         {Caso{QStringLiteral("INSERT INTO STOCOMPON (CODICEFORMULAZIONE, NRIGA, VERSIONET, "
                              "VERSIONED) VALUES (1, 1, 1, 1)"),
               kTestoErroreStorico},
          Caso{QStringLiteral("UPDATE COMPON SET RANGE=RANGE WHERE CODICEFORMULAZIONE=1 AND "
                              "NRIGA=1"),
               QStringLiteral("Errore interno: impossibile memorizzare le modifiche")}}) {
        crea();
        pagine->aggiorna(PagineCritici::kPaginaCritici);
        Database altro;
        altro.connect(az());
        Transaction t(&altro);
        Query q(&altro, &t);
        q.SQL = {c.blocco};
        q.execSQL();

        cambia(QStringLiteral("60"));
        EXPECT_EQ(msg->testi(), QStringList{c.messaggio});
        t.rollback();
        EXPECT_EQ(realeIn(1), "69.5");
        EXPECT_EQ(righeStorico(), 0);
        EXPECT_EQ(riga(), "1");
        EXPECT_EQ(pagine->EditMateriaAttivaReale->text(), "69,5");

        cambia(QStringLiteral("60"));
        EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
        EXPECT_EQ(realeIn(1), "60");
        EXPECT_EQ(conta("SELECT COUNT(*) FROM STOCOMPON"), 1);
        h.esegui(az(),
                 {QStringLiteral("UPDATE COMPON SET MATERIAATTIVAREALE=69.5 WHERE NRIGA=1 "
                                 "AND CODICEFORMULAZIONE=1"),
                  QStringLiteral("DELETE FROM STOCOMPON"), QStringLiteral("DELETE FROM STOFORMUL"),
                  QStringLiteral("DELETE FROM STOFORMULRIEP")});
    }
}

TEST_F(Critici, AReadOnlyProfileCannotChangeTheRealActiveMatter) {
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_TRUE(pagine->ButtonEditCompCritici->isEnabled());
    EXPECT_EQ(pagine->pulsanti(PagineCritici::kPaginaCritici),
              QList<QPushButton*>{pagine->ButtonEditCompCritici});
    EXPECT_TRUE(pagine->pulsanti(PagineCritici::kPaginaQualita).isEmpty());

    scheda->sola = true;
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    EXPECT_FALSE(pagine->ButtonEditCompCritici->isEnabled());
    EXPECT_TRUE(pagine->pulsanti(PagineCritici::kPaginaCritici).isEmpty());
    cambia(QStringLiteral("50"));
    EXPECT_EQ(inputAperti, 0);
    EXPECT_EQ(realeIn(1), "69.5");
}

// The sheet may delete its pages before this object, or this object first.
TEST_F(Critici, PagesAndTheirControllerGoInEitherOrder) {
    pagine->aggiorna(PagineCritici::kPaginaQualita);
    delete pagine->PaginaCritici;
    delete pagine->PaginaQualita;
    pagine.reset();

    crea();
    pagine->aggiorna(PagineCritici::kPaginaCritici);
    QPointer<QWidget> pagina = pagine->PaginaCritici;
    pagine.reset();
    EXPECT_TRUE(pagina.isNull());
}

} // namespace
