// Suppliers: the search that other cards open to pick a supplier, and the
// entry points that open the supplier card.
#include "host/lancio.h"
#include "master/fornito.h"
#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"
#include "ui/trcsdgridform.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
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

struct Fornitori : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    std::unique_ptr<TTabXForm> sessione;

    void SetUp() override {
        sessione = std::make_unique<TTabXForm>();
        sessione->SetUserPerNum(2);
        sessione->Inserisci("KDQ", "Archivio", {}, h.c().azienda(), {}, {}, {}, {}, "2");
        sessione->ConnettiDatabase1("Archivio");
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* s = qobject_cast<SchedaBase*>(w)) {
                s->StatoScheda = 0;
                s->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QStringList codici(SchermataRicerca& r) {
        GrigliaModello* m = r.Griglia->modello();
        while (m->canFetchMore({})) {
            m->fetchMore({});
        }
        QStringList c;
        const int col = m->indiceCampo("CODICE");
        for (int i = 0; i < m->rowCount(); ++i) {
            c << m->campo(i, col).asString();
        }
        return c;
    }
    static void cerca(SchermataRicerca& r, const char* campo, const QString& testo) {
        QLineEdit* e = r.campo(campo);
        e->clear();
        QTest::keyClicks(e, testo);
        QTest::keyClick(e, Qt::Key_Return);
    }
    static void riga(SchermataRicerca& r, const QString& codice) {
        GrigliaModello* m = r.Griglia->modello();
        const QStringList c = codici(r);
        ASSERT_TRUE(c.contains(codice)) << codice.toStdString();
        r.Griglia->setCurrentIndex(m->index(int(c.indexOf(codice)), 0));
    }
};

} // namespace

TEST_F(Fornitori, TheSearchOpensOnEverySupplierAndShowsTheCurrentOne) {
    TRFornitoForm r(sessione.get());
    EXPECT_EQ(r.windowTitle(), "Ricerche fornitori - Ditta: " + kDitta);
    EXPECT_EQ(codici(r), (QStringList{"F001", "F002", "F003", "F004", "F005", "F006", "F007"}));
    EXPECT_FALSE(r.PanelSelezione->isVisibleTo(&r));
    EXPECT_EQ(r.campo("EditCodice2")->text(), "F001");
    EXPECT_EQ(r.campo("EditConto2")->text(), "04.01.001");
    EXPECT_EQ(r.campo("EditRagSoc2")->text(), "Chimitalia S.p.A.");
    EXPECT_TRUE(r.campo("EditCodice2")->isReadOnly());
    EXPECT_TRUE(r.EditSelezione->isReadOnly());
    EXPECT_EQ(r.ButtonRicercaAttivaSel->text(), "Attiva &Selez.");
    EXPECT_EQ(r.ButtonRicercaAnnullaSel->text(), "&Annulla Selez.");
    EXPECT_EQ(r.ButtonRicercaRitorna->text(), "&Ritorna");
    EXPECT_EQ(r.ButtonRicercaChiudi->text(), "Ch&iudi");
    for (const char* n : {"ButtonCodice", "ButtonConto", "ButtonRagSoc", "GridFornito"}) {
        EXPECT_NE(r.findChild<QWidget*>(n), nullptr) << n;
    }
    riga(r, "F006");
    EXPECT_EQ(r.campo("EditRagSoc2")->text(), "Etichettificio d" + kAcuto + "Arte S.r.l.");
}

TEST_F(Fornitori, EnterInASearchFieldSelectsInAnyCaseAndShowsTheSelection) {
    TRFornitoForm r(sessione.get());
    cerca(r, "EditRagSoc", "chim");
    EXPECT_TRUE(r.PanelSelezione->isVisibleTo(&r));
    EXPECT_EQ(r.EditSelezione->text(), "UPPER(RAGSOC) LIKE %CHIM%;");
    EXPECT_EQ(codici(r), (QStringList{"F001", "F007"}));

    // several fields: conditions in the order code, account, name
    r.campo("EditRagSoc")->clear();
    r.campo("EditConto")->setText("04.01");
    cerca(r, "EditCodice", "f00");
    EXPECT_EQ(r.EditSelezione->text(), "UPPER(CODICE) LIKE %F00%;UPPER(CONTO) LIKE %04.01%;");
    EXPECT_EQ(codici(r).size(), 7);
    r.campo("EditConto")->setText("04.01.00");
    cerca(r, "EditRagSoc", "s.r.l");
    EXPECT_EQ(r.EditSelezione->text(),
              "UPPER(CODICE) LIKE %F00%;UPPER(CONTO) LIKE %04.01.00%;UPPER(RAGSOC) LIKE %S.R.L%;");
    EXPECT_EQ(codici(r), (QStringList{"F002", "F004", "F006", "F007"}));

    // the same through the button
    r.campo("EditCodice")->clear();
    r.campo("EditConto")->clear();
    r.campo("EditRagSoc")->setText("emiliana");
    r.ButtonRicercaAttivaSel->click();
    EXPECT_EQ(codici(r), QStringList{"F005"});
    EXPECT_EQ(r.EditSelezione->text(), "UPPER(RAGSOC) LIKE %EMILIANA%;");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Fornitori, AQuoteIsSearchedAsTheStoredAccent) {
    h.esegui(h.c().azienda(), {"INSERT INTO FORNITO (CODICE, RAGSOC) VALUES ('F100', 'O" + kAcuto +
                               "BRIEN Chemicals Ltd')"});
    TRFornitoForm r(sessione.get());
    cerca(r, "EditRagSoc", "o'brien");
    EXPECT_EQ(r.EditSelezione->text(), "UPPER(RAGSOC) LIKE %O'BRIEN%;");
    EXPECT_EQ(codici(r), QStringList{"F100"});
    EXPECT_EQ(r.campo("EditRagSoc2")->text(), "O" + kAcuto + "BRIEN Chemicals Ltd");

    // a quote cannot end the text of the condition
    cerca(r, "EditRagSoc", "x') OR (1=1");
    EXPECT_TRUE(codici(r).isEmpty());
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}

TEST_F(Fornitori, AnnullaSelezKeepsTheListAndRitornaReturnsItsCurrentRow) {
    TRFornitoForm r(sessione.get());
    r.show();
    cerca(r, "EditRagSoc", "chim");
    r.ButtonRicercaAnnullaSel->click();
    EXPECT_EQ(r.campo("EditRagSoc")->text(), "");
    EXPECT_FALSE(r.PanelSelezione->isVisibleTo(&r));
    EXPECT_EQ(codici(r), (QStringList{"F001", "F007"})) << "the last selection stays";
    riga(r, "F007");
    r.ButtonRicercaRitorna->click();
    EXPECT_EQ(r.result(), kRisultatoOK);
    EXPECT_FALSE(r.isVisible());
    EXPECT_EQ(r.valoreScelto("CODICE"), "F007");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Fornitori, RitornaOnAnEmptyListSaysSoAndStaysOpen) {
    TRFornitoForm r(sessione.get());
    r.show();
    cerca(r, "EditCodice", "ZZZ");
    EXPECT_TRUE(codici(r).isEmpty());
    r.ButtonRicercaRitorna->click();
    ASSERT_EQ(msg->mostrati.size(), 1u);
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(msg->mostrati[0].testo, "Nessun record trovato");
    EXPECT_TRUE(r.isVisible());
    EXPECT_EQ(r.result(), 0);
    r.ButtonRicercaChiudi->click();
    EXPECT_EQ(r.result(), kRisultatoAnnulla);
    EXPECT_FALSE(r.isVisible());
}

TEST_F(Fornitori, AGridSearchAddsItsConditionToTheSearchFields) {
    TRFornitoForm r(sessione.get());
    cerca(r, "EditRagSoc", "s.r.l");
    ASSERT_EQ(codici(r), (QStringList{"F002", "F004", "F006", "F007"}));
    msg->dialogo = [](QDialog* d) -> int {
        auto* g = qobject_cast<TRCSDGridForm*>(d);
        if (!g) {
            return QDialog::Rejected;
        }
        QTest::keyClicks(g->EditStringa, "F004");
        QTest::keyClick(g->EditStringa, Qt::Key_Return);
        return g->result();
    };
    GrigliaModello* m = r.Griglia->modello();
    r.Griglia->setCurrentIndex(m->index(0, m->indiceCampo("CODICE")));
    r.Griglia->RicercaSuCampoCorrente();
    ASSERT_EQ(msg->dialoghiAperti.size(), 1u);
    EXPECT_EQ(codici(r), (QStringList{"F004", "F006", "F007"}));
    EXPECT_EQ(r.EditSelezione->text(), "UPPER(RAGSOC) LIKE %S.R.L%;");
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}

TEST_F(Fornitori, TheCallerGetsTheChosenCodeOrNothing) {
    QWidget chiamante;
    chiamante.setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon));
    QString visto;
    msg->dialogo = [&](QDialog* d) -> int {
        auto* r = qobject_cast<TRFornitoForm*>(d);
        if (!r) {
            return QDialog::Rejected;
        }
        visto = r->campo("EditCodice2")->text();
        EXPECT_FALSE(r->windowIcon().isNull());
        riga(*r, "F003");
        r->ButtonRicercaRitorna->click();
        return r->result();
    };
    EXPECT_EQ(TRFornitoForm::scegli(sessione.get(), &chiamante, "F005"),
              std::optional<QString>("F003"));
    EXPECT_EQ(visto, "F005") << "opened on the code already typed";
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM STOPOS1 WHERE CODICEPROGETTO=150 AND "
                                       "CODICESITUAZIONE=3 AND CODICEUTENTE=2"),
              1)
        << "the search keeps its own window position";

    msg->dialogo = [](QDialog* d) -> int {
        auto* r = qobject_cast<TRFornitoForm*>(d);
        if (!r) {
            return QDialog::Rejected;
        }
        r->ButtonRicercaChiudi->click();
        return r->result();
    };
    EXPECT_EQ(TRFornitoForm::scegli(sessione.get(), &chiamante, "F005"), std::nullopt);
    msg->dialogo = nullptr; // closed with Escape or the close box
    EXPECT_EQ(TRFornitoForm::scegli(sessione.get(), &chiamante), std::nullopt);
    EXPECT_TRUE(sessione->IBDatabase1.connected()) << "the caller's session is left alone";
}

TEST_F(Fornitori, ThePictureOfTheSearch) {
    TRFornitoForm r(sessione.get());
    r.show();
    cerca(r, "EditRagSoc", "s.r.l");
    const QString file = "ricerca_fornitori.png";
    ASSERT_TRUE(r.grab().save(file));
    EXPECT_GT(QFileInfo(file).size(), 0);
}

TEST_F(Fornitori, TheEntryPointsOpenTheCardAndOnlyXWritesTheWindowLog) {
    const QString utenti = h.c().userDb();
    h.esegui(utenti,
             {"INSERT INTO UTENTI (CODICE, NOMEUTENTE, PWDUTENTE, DITTA, PROFILOSICUREZZA) "
              "VALUES (7, 'ROSSI', 'rossi', 'Chimica Demo S.r.l.', 'OPE')",
              "INSERT INTO TABARBELON (UTENTE, INTESTAZIONE, PARAMETRO, VALORE, PROGRESSIVO) "
              "SELECT 7, INTESTAZIONE, PARAMETRO, VALORE, PROGRESSIVO FROM TABARBELON "
              "WHERE UTENTE=2",
              "INSERT INTO TOVARLOGFUNZ (IDFINESTRA, UTENTE) VALUES ('1234', 7)",
              "INSERT INTO TOVARLOGFUNZ (IDFINESTRA, UTENTE) VALUES ('1235', 7)"});
    auto handle = [&](const QString& id) {
        return h.valore(utenti, "SELECT COALESCE(HANDLEFINESTRA,'<null>') FROM TOVARLOGFUNZ "
                                "WHERE IDFINESTRA='" +
                                    id + "'");
    };
    const DescrizioneSchermata* d = trovaSchermata("ShowFornitoForm");
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->entrataD);
    EXPECT_TRUE(d->entrataX);

    QPointer<FinestraSessione> x = LanciaSchermata(*d, 7, 1234);
    auto* fx = dynamic_cast<TFornitoForm*>(x.data());
    ASSERT_NE(fx, nullptr);
    EXPECT_TRUE(fx->isVisible());
    EXPECT_TRUE(fx->PossiedeSessione);
    EXPECT_EQ(fx->windowTitle(), "Anagrafica fornitori - Ditta: " + kDitta);
    EXPECT_EQ(fx->Sessione()->NumUtente, 7);
    EXPECT_EQ(fx->Griglia->modello()->rowCount(), 7);
    EXPECT_EQ(handle("1234"), QString::number(qint64(fx->winId())));
    EXPECT_EQ(handle("1235"), "<null>");

    QPointer<FinestraSessione> dd = LanciaSchermata(*d, 7, std::nullopt);
    auto* fd = dynamic_cast<TFornitoForm*>(dd.data());
    ASSERT_NE(fd, nullptr);
    EXPECT_TRUE(fd->isVisible());
    EXPECT_NE(fd, fx);
    EXPECT_NE(fd->Sessione(), fx->Sessione());
    EXPECT_EQ(handle("1234"), QString::number(qint64(fx->winId())));
    EXPECT_EQ(h.conta(utenti, "SELECT COUNT(*) FROM TOVARLOGFUNZ WHERE HANDLEFINESTRA IS NOT NULL"),
              1)
        << "the D entry point writes nothing";

    // the two screens are independent: one closes, the other keeps working
    fx->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(x.isNull());
    ASSERT_FALSE(dd.isNull());
    fd->riapriSuCodice("F002");
    fd->ButtonEdit->click();
    SchedaBase::impostaTesto(fd->findChild<QWidget*>("MemoRagSoc"), "Dalla seconda");
    fd->ButtonMemorizza->click();
    EXPECT_EQ(h.valore(h.c().azienda(), "SELECT RAGSOC FROM FORNITO WHERE CODICE='F002'"),
              "Dalla seconda");

    // the entry point's body, as the host calls it
    EXPECT_EQ(lanciaDaEntrata("ShowFornitoForm", 7, 1235), 0);
    EXPECT_NE(handle("1235"), "<null>");
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join(" | ").toStdString();
}
