// The miscellaneous settings screen: six company parameters shown, chosen and
// stored together.
#include "exchange/impovarie.h"
#include "host/lancio.h"
#include "report/stampanti.h"
#include "session/db.h"
#include "session/messaggi.h"
#include "session/modificatidaaltri.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/tseldirform.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <gtest/gtest.h>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kAcuto = QString(QChar(0x00B4));
const QString kErrore = QStringLiteral("Errore interno: impossibile memorizzare le impostazioni");

struct ImpoVarie : ::testing::Test {
    prova::Cartella cartella;
    RegistraMessaggi msg;
    std::vector<Stampante> stampanti = {{"Laser", "HP LaserJet", "ipp://ufficio/laser"},
                                        {"Etichette", "Zebra ZPL", "usb://zebra/1"}};

    void SetUp() override {
        installaSorgenteStampanti([this] { return stampanti; });
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        installaSorgenteStampanti({});
    }

    QString azienda() const { return cartella.c().azienda(); }
    // Company-wide value, "<null>" for a null text, "<manca>" when there is no row.
    QString valore(const QString& nome) {
        if (cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE UTENTE IS NULL AND NOME='" +
                                          nome + "'") == 0) {
            return "<manca>";
        }
        return cartella.valore(azienda(), "SELECT COALESCE(TESTO,'<null>') FROM TABX WHERE "
                                          "UTENTE IS NULL AND NOME='" +
                                              nome + "'");
    }
    QString valoreUtente(const QString& nome, int utente) {
        if (cartella.conta(azienda(), QStringLiteral("SELECT COUNT(*) FROM TABX WHERE UTENTE=%1 "
                                                     "AND NOME='%2'")
                                          .arg(utente)
                                          .arg(nome)) == 0) {
            return "<manca>";
        }
        return cartella.valore(azienda(),
                               QStringLiteral("SELECT COALESCE(TESTO,'<null>') FROM TABX "
                                              "WHERE UTENTE=%1 AND NOME='%2'")
                                   .arg(utente)
                                   .arg(nome));
    }
    void memorizza(const QString& nome, const QString& testo, const QString& utente = "NULL") {
        cartella.esegui(azienda(), {"INSERT INTO TABX (CODICE,NOME,TESTO,UTENTE) VALUES "
                                    "(GEN_ID(CODICETABXCOUNTER,1),'" +
                                    nome + "','" + testo + "'," + utente + ")"});
    }
    TImpoVarieForm* apri(int utente = 2) {
        FinestraSessione* f =
            LanciaSchermata(*trovaSchermata("ShowImpoVarieForm"), utente, std::nullopt);
        auto* impo = dynamic_cast<TImpoVarieForm*>(f);
        EXPECT_NE(impo, nullptr);
        return impo;
    }
    static void chiudiDifferite() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static QPushButton* bottone(QWidget* f, const char* nome) {
        auto* b = f->findChild<QPushButton*>(QString::fromLatin1(nome));
        EXPECT_NE(b, nullptr) << nome;
        return b;
    }
};

} // namespace

TEST_F(ImpoVarie, TheStoredSettingsAreShown) {
    memorizza("SogliaFuoriPeso", "5,5");
    memorizza("TempoPollingPesate", "1500");
    memorizza("StampanteEticFabbr", "Etichette,Zebra ZPL,usb://zebra/1", "2");
    memorizza("StampanteEticFabbr", "Laser,HP LaserJet,ipp://ufficio/laser", "3");
    TImpoVarieForm* f = apri(2);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), "Impostazioni varie - Ditta: Chimica Demo S.r.l.");
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), cartella.radice() + "Etichette/");
    EXPECT_EQ(f->EditArchivioTovaris->text(), cartella.c().erp());
    EXPECT_EQ(f->EditArchivioPesate->text(), cartella.c().pesate());
    EXPECT_EQ(f->EditSogliaFuoriPeso->text(), "5,5");
    EXPECT_EQ(f->SpinTempoPollingPesate->value(), 1500);
    ASSERT_EQ(f->ComboStampanteEticFabbr->count(), 2);
    EXPECT_EQ(f->ComboStampanteEticFabbr->itemText(0), "Laser,HP LaserJet,ipp://ufficio/laser");
    EXPECT_EQ(f->ComboStampanteEticFabbr->currentText(), "Etichette,Zebra ZPL,usb://zebra/1")
        << "this user's printer, not another's";
    EXPECT_FALSE(f->ComboStampanteEticFabbr->isEditable());
    EXPECT_EQ(f->SpinTempoPollingPesate->minimum(), 200);
    EXPECT_EQ(f->SpinTempoPollingPesate->maximum(), 99999);

    TImpoVarieForm* altro = apri(3);
    EXPECT_EQ(altro->ComboStampanteEticFabbr->currentText(),
              "Laser,HP LaserJet,ipp://ufficio/laser");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(ImpoVarie, CancelClosesWithoutWriting) {
    const int righe = cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX");
    QPointer<TImpoVarieForm> f = apri();
    f->EditSogliaFuoriPeso->setText("9");
    f->EditArchivioTovaris->setText("/altro/TOVARIS.FDB");
    f->ButtonCancel->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX"), righe);
    EXPECT_EQ(valore("ArchivioTovaris"), cartella.c().erp());
}

TEST_F(ImpoVarie, APollingIntervalThatIsNotANumberShows200AndIsStoredAs200) {
    memorizza("TempoPollingPesate", "abc");
    QPointer<TImpoVarieForm> f = apri();
    EXPECT_EQ(f->SpinTempoPollingPesate->value(), 200);
    f->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(valore("TempoPollingPesate"), "200");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(ImpoVarie, APollingIntervalOutOfRangeIsKeptWithinIt) {
    memorizza("TempoPollingPesate", "150000");
    TImpoVarieForm* f = apri();
    EXPECT_EQ(f->SpinTempoPollingPesate->value(), 99999);
    cartella.esegui(azienda(), {"UPDATE TABX SET TESTO='50' WHERE NOME='TempoPollingPesate'"});
    TImpoVarieForm* g = apri();
    EXPECT_EQ(g->SpinTempoPollingPesate->value(), 200);
    g->ButtonOK->click();
    EXPECT_EQ(valore("TempoPollingPesate"), "200");
}

TEST_F(ImpoVarie, APrinterNotInstalledHereIsShownAsSuchAndKeptUnlessAnotherIsChosen) {
    const QString vecchia = "Vecchia,Driver,LPT1:";
    memorizza("StampanteEticFabbr", vecchia, "2");
    memorizza("StampanteEticFabbr", vecchia, "3");
    QPointer<TImpoVarieForm> f = apri(2);
    ASSERT_EQ(f->ComboStampanteEticFabbr->count(), 3);
    EXPECT_EQ(f->ComboStampanteEticFabbr->currentIndex(), 2);
    EXPECT_EQ(f->ComboStampanteEticFabbr->currentText(),
              vecchia + " (non disponibile su questo computer)");
    // the user changes another setting only: the printer stays as stored
    f->EditSogliaFuoriPeso->setText("6");
    f->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_EQ(valoreUtente("StampanteEticFabbr", 2), vecchia);
    EXPECT_EQ(valore("SogliaFuoriPeso"), "6");

    // choosing an installed printer replaces it, for this user only
    QPointer<TImpoVarieForm> g = apri(2);
    g->ComboStampanteEticFabbr->setCurrentIndex(1);
    g->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(g.isNull());
    EXPECT_EQ(valoreUtente("StampanteEticFabbr", 2), "Etichette,Zebra ZPL,usb://zebra/1");
    EXPECT_EQ(valoreUtente("StampanteEticFabbr", 3), vecchia);
    EXPECT_EQ(valore("StampanteEticFabbr"), "<manca>") << "never a company-wide printer";

    // no stored printer: nothing selected, nothing added, and nothing stored
    QPointer<TImpoVarieForm> n = apri(1);
    EXPECT_EQ(n->ComboStampanteEticFabbr->count(), 2);
    EXPECT_EQ(n->ComboStampanteEticFabbr->currentIndex(), -1);
    n->ButtonOK->click();
    chiudiDifferite();
    const QString letto = valoreUtente("StampanteEticFabbr", 1);
    EXPECT_TRUE(letto == "<null>" || letto.isEmpty()) << letto.toStdString();
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(ImpoVarie, WithoutPrintersTheOtherSettingsAreStillShown) {
    stampanti.clear();
    memorizza("SogliaFuoriPeso", "3");
    memorizza("TempoPollingPesate", "700");
    memorizza("StampanteEticFabbr", "Etichette,Zebra ZPL,usb://zebra/1", "2");
    TImpoVarieForm* f = apri();
    ASSERT_EQ(f->ComboStampanteEticFabbr->count(), 1) << "only the stored printer";
    EXPECT_EQ(f->ComboStampanteEticFabbr->currentText(),
              "Etichette,Zebra ZPL,usb://zebra/1 (non disponibile su questo computer)");
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), cartella.radice() + "Etichette/");
    EXPECT_EQ(f->EditArchivioTovaris->text(), cartella.c().erp());
    EXPECT_EQ(f->EditArchivioPesate->text(), cartella.c().pesate());
    EXPECT_EQ(f->EditSogliaFuoriPeso->text(), "3");
    EXPECT_EQ(f->SpinTempoPollingPesate->value(), 700);
    EXPECT_EQ(apri(3)->ComboStampanteEticFabbr->count(), 0) << "nothing stored, nothing listed";
}

TEST_F(ImpoVarie, TheStoredPollingIntervalIsReadAsTypedNumbersAre) {
    memorizza("TempoPollingPesate", "1.500");
    EXPECT_EQ(apri()->SpinTempoPollingPesate->value(), 200)
        << "a point separates no thousands: not a number, the least";
    cartella.esegui(azienda(), {"UPDATE TABX SET TESTO='1.5' WHERE NOME='TempoPollingPesate'"});
    EXPECT_EQ(apri()->SpinTempoPollingPesate->value(), 200) << "not a number: the least";
}

TEST_F(ImpoVarie, TheChosenFolderGetsATrailingSeparator) {
    TImpoVarieForm* f = apri();
    const QString lavoro = cartella.radice() + "Lavoro";
    QString iniziale, didascalia;
    msg->dialogo = [&](QDialog* d) {
        auto* sel = qobject_cast<TSelDirForm*>(d);
        EXPECT_NE(sel, nullptr);
        if (!sel) {
            return int(QDialog::Rejected);
        }
        didascalia = sel->windowTitle();
        iniziale = sel->Directory();
        sel->impostaDirectory(lavoro);
        sel->OkBtn->click();
        return sel->result();
    };
    bottone(f, "SpeedButtonPercorsoReportEtic")->click();
    EXPECT_EQ(msg->dialoghiAperti, std::vector<QString>{"SelDirForm"});
    EXPECT_EQ(didascalia, "Selezione Percorso");
    EXPECT_EQ(iniziale, cartella.radice() + "Etichette")
        << "the dialog starts on the current folder";
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), lavoro + "/");

    // a folder that already ends with a separator does not get a second one
    msg->dialogo = [&](QDialog* d) {
        auto* sel = qobject_cast<TSelDirForm*>(d);
        sel->DirectoryListBox->setCurrentIndex({});
        sel->DriveComboBox->setCurrentText("/");
        sel->OkBtn->click();
        return sel->result();
    };
    bottone(f, "SpeedButtonPercorsoReportEtic")->click();
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), "/");

    // Cancel leaves the edit alone
    f->EditPercorsoReportEtic->setText("/fermo/");
    msg->dialogo = [&](QDialog* d) {
        auto* sel = qobject_cast<TSelDirForm*>(d);
        sel->impostaDirectory(lavoro);
        sel->CancelBtn->click();
        return sel->result();
    };
    bottone(f, "SpeedButtonPercorsoReportEtic")->click();
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), "/fermo/");
}

TEST_F(ImpoVarie, TheChosenArchivesGoIntoTheirEdits) {
    TImpoVarieForm* f = apri();
    msg->fileScelti = {"/archivi/TOVARIS2.FDB", "/archivi/PESATE2.FDB"};
    bottone(f, "SpeedButtonArchivioTovaris")->click();
    bottone(f, "SpeedButtonArchivioPesate")->click();
    EXPECT_EQ(f->EditArchivioTovaris->text(), "/archivi/TOVARIS2.FDB");
    EXPECT_EQ(f->EditArchivioPesate->text(), "/archivi/PESATE2.FDB");
    // a cancelled choice changes nothing
    bottone(f, "SpeedButtonArchivioTovaris")->click();
    EXPECT_EQ(f->EditArchivioTovaris->text(), "/archivi/TOVARIS2.FDB");
}

TEST_F(ImpoVarie, OKStoresTheSixSettingsAndCloses) {
    QPointer<TImpoVarieForm> f = apri();
    f->EditPercorsoReportEtic->setText("/etichette/d'Amico/");
    f->ComboStampanteEticFabbr->setCurrentIndex(1);
    f->EditArchivioTovaris->setText("/archivi/TOVARIS2.FDB");
    f->EditSogliaFuoriPeso->setText("2,5");
    f->EditArchivioPesate->setText("/archivi/PESATE2.FDB");
    f->SpinTempoPollingPesate->setValue(1234);
    f->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(valore("PercorsoReportEtic"), "/etichette/d" + kAcuto + "Amico/");
    EXPECT_EQ(valoreUtente("StampanteEticFabbr", 2), "Etichette,Zebra ZPL,usb://zebra/1");
    EXPECT_EQ(valore("ArchivioTovaris"), "/archivi/TOVARIS2.FDB");
    EXPECT_EQ(valore("SogliaFuoriPeso"), "2,5");
    EXPECT_EQ(valore("ArchivioPesate"), "/archivi/PESATE2.FDB");
    EXPECT_EQ(valore("TempoPollingPesate"), "1234");
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX"), 6) << "one row each";

    // opened again, the screen shows what was stored
    TImpoVarieForm* g = apri();
    EXPECT_EQ(g->ComboStampanteEticFabbr->currentIndex(), 1);
    EXPECT_EQ(g->SpinTempoPollingPesate->value(), 1234);
    EXPECT_EQ(g->EditSogliaFuoriPeso->text(), "2,5");
}

TEST_F(ImpoVarie, AFailedWriteIsReportedStoresNothingAndKeepsTheScreenOpen) {
    // without its generator no new TABX row can be inserted
    cartella.esegui(azienda(), {"DROP SEQUENCE CODICETABXCOUNTER"});
    const int righe = cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX");
    QPointer<TImpoVarieForm> f = apri();
    f->EditPercorsoReportEtic->setText("/nuovo/");
    f->ComboStampanteEticFabbr->setCurrentIndex(0);
    f->EditSogliaFuoriPeso->setText("4");
    f->ButtonOK->click();
    chiudiDifferite();
    ASSERT_FALSE(f.isNull());
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(msg->testi(), QStringList{kErrore});
    EXPECT_EQ(valore("PercorsoReportEtic"), cartella.radice() + "Etichette/")
        << "the value written before the failure was taken back";
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX"), righe);
    EXPECT_EQ(f->EditPercorsoReportEtic->text(), "/nuovo/") << "the user keeps what was typed";

    // once the archive is sound again the same values go through
    cartella.esegui(azienda(), {"CREATE SEQUENCE CODICETABXCOUNTER"});
    cartella.esegui(azienda(), {"ALTER SEQUENCE CODICETABXCOUNTER RESTART WITH 100"});
    msg->pulisci();
    f->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(f.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(valore("PercorsoReportEtic"), "/nuovo/");
    EXPECT_EQ(valore("SogliaFuoriPeso"), "4");
    EXPECT_EQ(valoreUtente("StampanteEticFabbr", 2), "Laser,HP LaserJet,ipp://ufficio/laser");
}

// Two users on the settings: the later save of a screen still showing what
// the other has replaced writes nothing and shows the settings as stored; a
// setting first created by another session meanwhile is not overwritten.
TEST_F(ImpoVarie, AStaleScreenOverwritesNothingAndIsShownTheStoredSettings) {
    memorizza("SogliaFuoriPeso", "5");
    QPointer<TImpoVarieForm> uno = apri(2);
    QPointer<TImpoVarieForm> due = apri(3);
    due->EditArchivioPesate->setText("/archivi/PESATE2.FDB");
    due->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(due.isNull());

    // user 2 changes the threshold only
    uno->EditSogliaFuoriPeso->setText("6");
    uno->ButtonOK->click();
    chiudiDifferite();
    ASSERT_FALSE(uno.isNull());
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(uno->EditArchivioPesate->text(), "/archivi/PESATE2.FDB");
    EXPECT_EQ(uno->EditSogliaFuoriPeso->text(), "5");
    EXPECT_EQ(valore("SogliaFuoriPeso"), "5");
    EXPECT_EQ(valore("ArchivioPesate"), "/archivi/PESATE2.FDB");
    // showing the settings as stored, the screen saves over them
    msg->pulisci();
    uno->EditSogliaFuoriPeso->setText("6");
    uno->ButtonOK->click();
    chiudiDifferite();
    EXPECT_TRUE(uno.isNull());
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(valore("SogliaFuoriPeso"), "6");
    EXPECT_EQ(valore("ArchivioPesate"), "/archivi/PESATE2.FDB");

    // the polling interval, not stored when the screen read, is being
    // created by another session: refused while pending, shown once committed
    cartella.esegui(azienda(), {"DELETE FROM TABX WHERE NOME='TempoPollingPesate'"});
    QPointer<TImpoVarieForm> tre = apri(2);
    tre->SpinTempoPollingPesate->setValue(800);
    {
        Database altro;
        altro.connect(azienda());
        Transaction tr(&altro);
        Query q(&altro, &tr);
        q.SQL = {"INSERT INTO TABX (CODICE,NOME,TESTO) VALUES (GEN_ID(CODICETABXCOUNTER,1),"
                 "'TempoPollingPesate','1500')"};
        q.execSQL();
        tre->ButtonOK->click();
        EXPECT_EQ(msg->testi(), QStringList{kErrore});
        EXPECT_EQ(tre->SpinTempoPollingPesate->value(), 800);
        tr.commit();
    }
    msg->pulisci();
    tre->ButtonOK->click();
    chiudiDifferite();
    ASSERT_FALSE(tre.isNull());
    EXPECT_EQ(msg->testi(), QStringList{testoModificatiDaAltri()});
    EXPECT_EQ(tre->SpinTempoPollingPesate->value(), 1500);
    EXPECT_EQ(valore("TempoPollingPesate"), "1500");
    EXPECT_EQ(
        cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='TempoPollingPesate'"), 1);
}
