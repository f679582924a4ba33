// The formulation card on real archives: codes, header history, component
// lines with the unit cost, procedure lines, deletion and duplication.
#include "formulation/costi.h"
#include "formulation/formul.h"
#include "host/lancio.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

TEST(CostiComponenti, EsempioEAcquaTagliataNonArrotondata) {
    auto c = costi::calcolaCostiComponenti({{30.0, 2.0}, {12.5, 4.0}}, 0.10);
    EXPECT_DOUBLE_EQ(c.totalePercentuale, 42.5);
    EXPECT_NEAR(c.totale, 1.1, 1e-12);
    EXPECT_DOUBLE_EQ(c.percentualeAcqua, 57.5);
    EXPECT_NEAR(c.costoAcqua, 0.0575, 1e-12);

    c = costi::calcolaCostiComponenti({}, 0.25);
    EXPECT_DOUBLE_EQ(c.percentualeAcqua, 100);
    EXPECT_DOUBLE_EQ(c.costoAcqua, 0.25);
    EXPECT_DOUBLE_EQ(c.totale, 0);

    // 100,4567 %: water −0,45, cut towards zero; the cost is not cut
    c = costi::calcolaCostiComponenti({{60.4567, 1.0}, {40.0, std::nullopt}}, 1.0);
    EXPECT_DOUBLE_EQ(c.percentualeAcqua, -0.45);
    EXPECT_NEAR(c.costoAcqua, -0.004567, 1e-12);
    // a line without price adds its percentage, not its cost
    EXPECT_NEAR(c.totale, 0.604567, 1e-12);

    // totals that binary arithmetic would cut one hundredth short
    c = costi::calcolaCostiComponenti({{0.1, 1.0}, {0.2, 1.0}, {42.35, 1.0}}, 0);
    EXPECT_DOUBLE_EQ(c.percentualeAcqua, 57.35);
}

TEST(CostiComponenti, NuovaRigaDiProcedura) {
    EXPECT_EQ(costi::prossimaRigaProcedura(std::nullopt), 1);
    EXPECT_EQ(costi::prossimaRigaProcedura(2), 3);
    EXPECT_EQ(costi::prossimaRigaProcedura(2.5), 3);
    EXPECT_EQ(costi::prossimaRigaProcedura(3.5), 5);
    EXPECT_EQ(costi::prossimaRigaProcedura(3.501), 5);
    const Formati::Impostazioni prima = Formati::correnti();
    Formati::impostaItaliani();
    EXPECT_EQ(formatoCosto(1234567.12345), "1.234.567,1235");
    EXPECT_EQ(formatoCosto(0.5), "0,5");
    EXPECT_EQ(formatoCosto(-0.00001), "0");
    Formati::imposta(prima);
}

struct Formulazioni : prova::ConScheda {
    TFormulForm* apri() {
        auto* f = ConScheda::apri<TFormulForm>("ShowFormulForm");
        EXPECT_EQ(msg->testi(), QStringList{}); // opens without a message
        return f;
    }
    // Answers the new-code dialog: the proposal seen, then each code in turn.
    void codici(QStringList c, QString* proposta = nullptr) {
        msg->dialogo = [c, proposta](QDialog* d) mutable -> int {
            auto* k = qobject_cast<TKyvIn1Form*>(d);
            if (!k) {
                return QDialog::Rejected;
            }
            if (proposta) {
                *proposta = k->Edit1->text();
            }
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
};

TEST_F(Formulazioni, IlNuovoCodiceSaltaQuelliDiStoricoEProdotti) {
    const int massimo = valore("SELECT MAX(CODICE) FROM FORMUL").toInt();
    h.esegui(az(), {QString("INSERT INTO STOFORMUL (CODICE,VERS) VALUES (%1,1)").arg(massimo + 1),
                    QString("UPDATE PRODOT SET CODICEFORMULAZIONE=%1 WHERE CODICE=(SELECT FIRST 1 "
                            "CODICE FROM PRODOT)")
                        .arg(massimo + 2)});
    TFormulForm* f = apri();
    QString proposta;
    codici({"A1", QString::number(massimo + 1), QString::number(massimo)}, &proposta);
    f->ButtonNuovoClick();
    EXPECT_EQ(proposta, QString::number(massimo + 3));
    EXPECT_EQ(f->StatoScheda, 0);
    const QStringList t = msg->testi();
    EXPECT_EQ(t.count("Specificare un valore numerico valido"), 1);
    EXPECT_EQ(t.count("Il codice inserito è già in uso"), 2);

    codici({QString::number(massimo + 10)});
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    f->ButtonAnnullaClick();
    EXPECT_EQ(conta(QString("SELECT COUNT(*) FROM FORMUL WHERE CODICE=%1").arg(massimo + 10)), 0);
}

TEST_F(Formulazioni, LaTestataVersionaSoloIlCambiatoETagliaLeSostanze) {
    TFormulForm* f = apri();
    riga(f, "1");
    const int versioni = conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1");
    const QString nome = valore("SELECT NOME FROM FORMUL WHERE CODICE=1");
    f->ButtonEditClick();
    testo(f->editazione("DATAULTIMAREVISIONE"), "31/02/2020");
    testo(f->editazione("PH"), "sette");
    f->ButtonMemorizzaClick();
    EXPECT_TRUE(msg->testi().contains("Specificare una data valida per \"Data revis.\""));
    EXPECT_TRUE(msg->testi().contains("Specificare un valore numerico valido per \"pH\""));
    EXPECT_EQ(f->StatoScheda, 2);
    f->ButtonAnnullaClick();

    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    const int dopoNessunCambio = conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1");
    // the demo rows may store flags as text a save rewrites: at most one version
    EXPECT_LE(dopoNessunCambio, versioni + 1);
    f->ButtonEditClick();
    f->ButtonMemorizzaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=1"), dopoNessunCambio);

    f->ButtonEditClick();
    testo(f->editazione("NOME"), "Detergente piatti limone");
    testo(f->editazione("SOSTANZEADR"), QString(150, 'x'));
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT NOME FROM STOFORMUL WHERE CODICE=1 AND VERS=(SELECT MAX(VERS) FROM "
                     "STOFORMUL WHERE CODICE=1)"),
              nome);
    EXPECT_EQ(valore("SELECT CHAR_LENGTH(SOSTANZEADR) FROM FORMUL WHERE CODICE=1"), "128");
}

TEST_F(Formulazioni, UnaRigaDiComponenteAggiornaIlCostoEScriveTestataERiga) {
    h.esegui(az(), {"DELETE FROM COMPON WHERE CODICEFORMULAZIONE=2",
                    "UPDATE MATER SET PREZZO=2 WHERE CODICE='MP002'",
                    "UPDATE MATER SET PREZZO=4 WHERE CODICE='MP003'"});
    TFormulForm* f = apri();
    riga(f, "2");
    const int prima = conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=2");
    f->mostraPagina(1);
    PaginaRighe* p = f->PaginaComponenti;
    p->ButtonNuovoClick();
    ASSERT_EQ(p->Stato, 1);
    testo(p->editazione("CODICEMATERIAPRIMA"), "MP002");
    // a typo keeps the new line; so does a point, never read as thousands
    // ("12.500" is not 12500)
    for (const QString& errato : {QStringLiteral("30x"), QStringLiteral("12.500")}) {
        msg->pulisci();
        testo(p->editazione("PERCENTUALE"), errato);
        p->ButtonMemorizzaClick();
        EXPECT_EQ(p->Stato, 1) << errato.toStdString();
        EXPECT_TRUE(msg->testi().contains("Specificare un valore numerico valido per \"% p/p\""))
            << msg->testi().join('|').toStdString();
        EXPECT_EQ(conta("SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=2 AND "
                        "PERCENTUALE IS NOT NULL"),
                  0);
    }
    testo(p->editazione("PERCENTUALE"), "30");
    p->ButtonMemorizzaClick();
    ASSERT_EQ(p->Stato, 0);
    p->ButtonNuovoClick();
    testo(p->editazione("CODICEMATERIAPRIMA"), "MP003");
    testo(p->editazione("PERCENTUALE"), "12,5");
    p->ButtonMemorizzaClick();
    ASSERT_EQ(p->Stato, 0);
    EXPECT_NEAR(valore("SELECT COSTOUNITARIO FROM FORMUL WHERE CODICE=2").toDouble(), 1.1, 1e-9);
    // the totals follow 400 ms after the list
    EXPECT_TRUE(QTest::qWaitFor([f] { return f->EditCostoTotale->text() == "1,1"; }, 3000));
    EXPECT_EQ(f->EditPercentualeAcqua->text(), "57,5");
    // each save: a new header version and line version 1 under it
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=2"), prima + 2);
    EXPECT_EQ(conta(QString("SELECT COUNT(*) FROM STOCOMPON WHERE CODICEFORMULAZIONE=2 AND NRIGA=2 "
                            "AND VERSIONET=%1 AND VERSIONED=1")
                        .arg(prima + 2)),
              1);
    EXPECT_TRUE(QTest::qWaitFor([p] { return p->LabelVersione->text() == "1"; }, 3000));

    // a price changed since the card opened counts at the next save
    h.esegui(az(), {"UPDATE MATER SET PREZZO=3 WHERE CODICE='MP002'"});
    p->riapri("1");
    msg->risposte = {"Sì"};
    p->ButtonEliminaClick();
    EXPECT_NEAR(valore("SELECT COSTOUNITARIO FROM FORMUL WHERE CODICE=2").toDouble(), 0.5, 1e-9);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE CODICE=2 AND TABELLA='STOCOMPON' "
                    "AND NRIGA=1 AND ELIMINAZIONE='1'"),
              1);
}

TEST_F(Formulazioni, UnCostoCheNonSiAggiornaTrattieneLaRigaCancellata) {
    h.esegui(az(), {"DELETE FROM COMPON WHERE CODICEFORMULAZIONE=2",
                    "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
                    "VALUES (2,1,'MP002',10)"});
    TFormulForm* f = apri();
    riga(f, "2");
    f->mostraPagina(1);
    PaginaRighe* p = f->PaginaComponenti;
    // a new line starts without the description, price and cost of another
    p->ButtonEditClick();
    EXPECT_FALSE(SchedaBase::testoDi(p->editazione("DESCRIZIONE")).isEmpty());
    p->ButtonAnnullaClick();
    p->ButtonNuovoClick();
    for (const char* c : {"DESCRIZIONE", "PREZZO", "COSTO"}) {
        EXPECT_TRUE(SchedaBase::testoDi(p->editazione(c)).isEmpty()) << c;
    }
    p->ButtonAnnullaClick();

    // another user holds the formulation: its cost cannot follow the deletion,
    // which is refused as any change another user's write stands in the way of
    Database altro;
    altro.connect(h.c().azienda());
    Transaction blocco(&altro);
    Query q(&altro, &blocco);
    q.SQL = {"UPDATE FORMUL SET NOME='in modifica' WHERE CODICE=2"};
    q.execSQL();
    p->riapri("1");
    msg->risposte = {"Sì"};
    msg->pulisci();
    p->ButtonEliminaClick();
    EXPECT_TRUE(
        msg->testi().contains("Errore interno: impossibile eliminare il record selezionato"));
    blocco.rollback();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=2"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE CODICE=2 AND ELIMINAZIONE='1'"), 0);
}

TEST_F(Formulazioni, LeProcedureRinumeranoEConservanoLaVersioneDelNumeroVecchio) {
    h.esegui(az(), {"DELETE FROM PROCED WHERE CODICEFORMULAZIONE=3",
                    "INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (3,1,'Uno')",
                    "INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (3,2,'Due')",
                    "INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (3,2.5,'Mezzo')",
                    "INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (3,4,'Quattro')"});
    TFormulForm* f = apri();
    riga(f, "3");
    f->mostraPagina(2);
    PaginaRighe* p = f->PaginaProcedure;
    p->riapri("4");
    p->ButtonEditClick();
    testo(p->editazione("NRIGA"), "2,25");
    p->ButtonMemorizzaClick();
    ASSERT_EQ(p->Stato, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=3 AND NRIGA=2.25 AND "
                    "TESTO='Quattro'"),
              1);
    // the version holds the line as it was, under its old number
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPROCED WHERE CODICEFORMULAZIONE=3 AND NRIGA=4 AND "
                    "VERSIONED=1"),
              1);
    EXPECT_EQ(p->rigaGriglia(), Formati::numeroInTesto(2.25));

    p->ButtonNuovoClick();
    EXPECT_EQ(SchedaBase::testoDi(p->editazione("NRIGA")), "3"); // 2,5 rounds to 2, plus 1
    testo(p->editazione("NRIGA"), "x");
    p->ButtonMemorizzaClick();
    EXPECT_TRUE(msg->testi().contains("Specificare un valore valido per N. Riga"));
    EXPECT_EQ(p->Stato, 1);
    p->ButtonAnnullaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=3"), 4);
}

TEST_F(Formulazioni, EliminareScriveLeVersioniEDuplicareNonScriveStorico) {
    h.esegui(az(),
             {"DELETE FROM COMPON WHERE CODICEFORMULAZIONE=4",
              "DELETE FROM PROCED WHERE CODICEFORMULAZIONE=4",
              "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
              "VALUES (4,1,'MP002',10)",
              "INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
              "VALUES (4,2,'MP003',5)",
              "INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (4,1.5,'Mescolare')",
              "UPDATE FORMUL SET SOSTANZEADR='Ipoclorito', SEMILAVORATOCOLLEGATO='X' "
              "WHERE CODICE=4"});
    TFormulForm* f = apri();
    riga(f, "4");
    codici({"90"});
    f->ButtonDuplicaClick();
    EXPECT_EQ(f->codiceCorrenteGriglia(), "90");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=90"), 2);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=90 AND NRIGA=1.5"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FORMUL WHERE CODICE=90 AND SOSTANZEADR IS NULL AND "
                    "SEMILAVORATOCOLLEGATO IS NULL"),
              1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMULRIEP WHERE CODICE=90"), 0);

    riga(f, "4");
    const int versioni = conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=4");
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FORMUL WHERE CODICE=4"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=4") +
                  conta("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=4"),
              0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=4"), versioni + 1);
    EXPECT_EQ(conta(QString("SELECT COUNT(*) FROM STOFORMULRIEP WHERE CODICE=4 AND "
                            "ELIMINAZIONE='1' AND VERSIONET=%1")
                        .arg(versioni + 1)),
              4);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPROCED WHERE CODICEFORMULAZIONE=4 AND NRIGA=1.5"), 1);
    if (conta("SELECT COUNT(*) FROM PRODOT WHERE CODICEFORMULAZIONE=4") > 0) {
        EXPECT_TRUE(msg->testi().join('|').contains("La formulazione è usata da"));
    }
}

TEST_F(Formulazioni, UnaNotaSullaRigaDueEMezzoSiSalva) {
    h.esegui(az(), {"DELETE FROM STOFORMULRIEP WHERE CODICE=5",
                    "INSERT INTO STOFORMULRIEP (CODICE,NRIGA,VERSIONET,VERSIONED,TABELLA) "
                    "VALUES (5,2.5,1,1,'STOPROCED')"});
    TFormulForm* f = apri();
    riga(f, "5");
    f->mostraPagina(4);
    ASSERT_EQ(f->GridStoricoT->modello()->rowCount(), 1);
    f->GridStoricoT->setCurrentIndex(f->GridStoricoT->modello()->index(0, 0));
    msg->dialogo = [](QDialog* d) -> int {
        auto* m = d->findChild<QPlainTextEdit*>("MemoEdit");
        if (!m) {
            return QDialog::Rejected;
        }
        EXPECT_EQ(d->windowTitle(), "Editazione libera");
        m->setPlainText("Verificata dall'ufficio qualità");
        d->findChild<QPushButton*>("ButtonOK")->click();
        return d->result();
    };
    f->ButtonNoteClick();
    EXPECT_EQ(valore("SELECT NOTE FROM STOFORMULRIEP WHERE CODICE=5 AND NRIGA=2.5"),
              QString("Verificata dall") + QChar(0xB4) + "ufficio qualità");
    EXPECT_EQ(f->StoricoT_MemoNote->toPlainText(),
              QString("Verificata dall") + QChar(0xB4) + "ufficio qualità");
}

TEST_F(Formulazioni, UnArchivioConSpecificheCorteVieneAllargato) {
    h.esegui(az(), {"ALTER TABLE FORMUL DROP SPECIFICHE",
                    "ALTER TABLE FORMUL ADD SPECIFICHE VARCHAR(64)"});
    auto* f = ConScheda::apri<TFormulForm>("ShowFormulForm");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(msg->testi().contains(
        "Campo SPECIFICHE della tabella FORMUL da aggiornare. Verrà aggiornato ora"));
    EXPECT_EQ(valore("SELECT B.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS A JOIN RDB$FIELDS B ON "
                     "A.RDB$FIELD_SOURCE=B.RDB$FIELD_NAME WHERE A.RDB$RELATION_NAME='FORMUL' AND "
                     "A.RDB$FIELD_NAME='SPECIFICHE'"),
              "128");
    EXPECT_EQ(qobject_cast<QLineEdit*>(f->editazione("SPECIFICHE"))->maxLength(), 128);
    msg->pulisci();
    ConScheda::apri<TFormulForm>("ShowFormulForm");
    EXPECT_EQ(msg->testi(), QStringList{}); // once only
}

TEST_F(Formulazioni, IlPrezzoDellAcquaContaSoloConUnaRigaSola) {
    h.esegui(az(), {"DELETE FROM PRACQUA"});
    EXPECT_DOUBLE_EQ(apri()->PrezzoAcquaAddolcita, 0);
    h.esegui(az(), {"INSERT INTO PRACQUA VALUES ('MP001')"});
    EXPECT_DOUBLE_EQ(apri()->PrezzoAcquaAddolcita,
                     valore("SELECT PREZZO FROM MATER WHERE CODICE='MP001'").toDouble());
    // an archive made before the one-row index may hold a second row
    h.esegui(az(), {"DROP INDEX PRACQUA_UNA_RIGA"});
    h.esegui(az(), {"INSERT INTO PRACQUA VALUES ('MANCA')"});
    EXPECT_DOUBLE_EQ(apri()->PrezzoAcquaAddolcita, 0);
}

} // namespace
