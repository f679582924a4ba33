// The packaging card and the packaging search on real archives: final
// prices, photos filed and found again, deletion, older archives widened on
// opening, and the search's protocol with its caller.
#include "master/foto.h"
#include "master/imballi.h"
#include "master/pannellofoto.h"
#include "master/ricimballi.h"
#include "session/formati.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct Imballi : prova::ConScheda {
    TImballiForm* apri() { return ConScheda::apri<TImballiForm>("ShowImballiForm"); }
    static QWidget* ed(TImballiForm* f, const char* colonna) {
        return f->editazione(QString::fromLatin1(colonna));
    }
    static QString testoDi(QWidget* w) { return SchedaBase::testoDi(w); }
    QString foto() const { return h.radice() + "Immagini/"; }
    void immagine(const QString& file, QSize dimensione) {
        QDir().mkpath(QFileInfo(file).path());
        QImage img(dimensione, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        ASSERT_TRUE(img.save(file, "JPG"));
    }
};

TEST(PrezzoFinale, PrezzoPiuCostoAggiuntivoEZeroSenzaPrezzo) {
    Formati::impostaItaliani();
    EXPECT_DOUBLE_EQ(TImballiForm::PrezzoFinale("1,50", "0,25"), 1.75);
    EXPECT_DOUBLE_EQ(TImballiForm::PrezzoFinale("1,50", ""), 1.5);
    EXPECT_DOUBLE_EQ(TImballiForm::PrezzoFinale("", "0,25"), 0);
    EXPECT_DOUBLE_EQ(TImballiForm::PrezzoFinale("1,5x", "0,25"), 0.25);
}

TEST_F(Imballi, IPrezziFinaliSeguonoIPrezziEUnPrezzoSbagliatoNonPerdeIlNuovoImballo) {
    TImballiForm* f = apri();
    nuovoCodice("IX1");
    f->ButtonNuovoClick();
    ASSERT_EQ(f->StatoScheda, 1);
    testo(ed(f, "NOMEIMBALLO"), "Flacone d'autore");
    testo(ed(f, "PREZZOFORNITORE1"), "1,50x");
    testo(ed(f, "COSTOAGGIUNTIVO"), "0,25");
    f->ButtonMemorizzaClick();
    // refused with a warning; what was typed is still there
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_TRUE(
        msg->testi().contains("Specificare un valore numerico valido per \"Prezzo Forn.1\""));
    EXPECT_EQ(testoDi(ed(f, "NOMEIMBALLO")), "Flacone d'autore");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM IMBALLI WHERE CODICE='IX1'"), 1);

    testo(ed(f, "PREZZOFORNITORE1"), "1,50");
    f->ButtonMemorizzaClick();
    ASSERT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT COSTOIMBALLO1 FROM IMBALLI WHERE CODICE='IX1'"), "1.75");
    // no supplier price: the final price is 0, not NULL
    EXPECT_EQ(valore("SELECT COSTOIMBALLO2 FROM IMBALLI WHERE CODICE='IX1'"), "0");
    EXPECT_EQ(valore("SELECT NOMEIMBALLO FROM IMBALLI WHERE CODICE='IX1'"),
              QString("Flacone d") + QChar(0xB4) + "autore");
    EXPECT_EQ(testoDi(f->consultazione("COSTOIMBALLO1")), "1,75");

    // leaving the additional cost recomputes all three on the edit page
    f->ButtonEditClick();
    testo(ed(f, "PREZZOFORNITORE3"), "2");
    testo(ed(f, "COSTOAGGIUNTIVO"), "1");
    f->CalcolaCosti();
    EXPECT_EQ(testoDi(ed(f, "COSTOIMBALLO1")), "2,5");
    EXPECT_EQ(testoDi(ed(f, "COSTOIMBALLO2")), "0");
    EXPECT_EQ(testoDi(ed(f, "COSTOIMBALLO3")), "3");
    // the stored prices never disagree with the stored final prices, even
    // when the user saves without leaving the field
    testo(ed(f, "COSTOAGGIUNTIVO"), "0,5");
    f->ButtonMemorizzaClick();
    EXPECT_EQ(valore("SELECT COSTOIMBALLO3 FROM IMBALLI WHERE CODICE='IX1'"), "2.5");
}

TEST_F(Imballi, UnaFotoScelta) {
    immagine(foto() + "Flaconi/a1.jpg", {200, 100});
    TImballiForm* f = apri();
    riga(f, "IC004"); // no photo yet
    EXPECT_TRUE(f->PanelNoFoto->fileMostrato().isEmpty());
    EXPECT_TRUE(f->PanelAltreImmagini->isHidden());

    // outside the photos' folder: refused
    msg->fileScelti = {h.radice() + "Temp/a1.jpg"};
    f->ButtonAggiungiFotoClick();
    EXPECT_TRUE(msg->testi().contains("Selezionare una foto dentro il percorso: " + foto()));
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FOTOIMBALLI WHERE CODICE='IC004'"), 0);

    // the folder named in another case is still the folder; the photo is
    // filed relative to it, upper case, "\" separators
    QString altroCaso = foto();
    altroCaso.replace("Immagini/", "IMMAGINI/");
    msg->fileScelti = {altroCaso + "Flaconi/a1.jpg"};
    f->ButtonAggiungiFotoClick();
    EXPECT_EQ(valore("SELECT FOTO FROM FOTOIMBALLI WHERE CODICE='IC004'"), "FLACONI\\A1.JPG");
    EXPECT_EQ(valore("SELECT PROGRESSIVO FROM FOTOIMBALLI WHERE CODICE='IC004'"),
              valore("SELECT MAX(PROGRESSIVO) FROM FOTOIMBALLI"));
    // found again on disk whatever the case, drawn to fit its frame
    EXPECT_EQ(QFileInfo(f->PanelNoFoto->fileMostrato()).fileName(), "a1.jpg");
    EXPECT_EQ(f->PanelNoFoto->dimensioneDisegnata(),
              foto::adatta({200, 100}, f->PanelNoFoto->contentsRect().size()));

    // a second photo: the main one stays, the panel counts the other
    msg->fileScelti = {foto() + "Flaconi/a1.jpg"};
    f->ButtonAggiungiFotoClick();
    EXPECT_FALSE(f->PanelAltreImmagini->isHidden());
    EXPECT_EQ(f->PanelAltreImmagini->text(), "Altre 1 img.");
    f->VediFoto(true);
    EXPECT_EQ(f->paginaCorrente(), 3);
    EXPECT_EQ(f->GridFotoImballi->modello()->rowCount(), 2);
    EXPECT_FALSE(f->PanelNoVisFoto->fileMostrato().isEmpty());
    f->ButtonVisFotoChiudi->click();
    EXPECT_EQ(f->paginaCorrente(), 0);

    // the photos go with their item; its attachments stay
    h.esegui(az(), {"INSERT INTO IMBALLIALL (CODICE,NOMEFILE) VALUES ('IC004','/tmp/x.pdf')"});
    msg->risposte = {"Sì"};
    f->ButtonEliminaClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM IMBALLI WHERE CODICE='IC004'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FOTOIMBALLI WHERE CODICE='IC004'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM IMBALLIALL WHERE CODICE='IC004'"), 1);
}

TEST_F(Imballi, NessunaFotoSenzaImballo) {
    h.esegui(az(), {"DELETE FROM FOTOIMBALLI", "DELETE FROM IMBALLI"});
    immagine(foto() + "a1.jpg", {40, 40});
    TImballiForm* f = apri();
    msg->fileScelti = {foto() + "a1.jpg"};
    f->ButtonAggiungiFotoClick();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM FOTOIMBALLI"), 0);
    EXPECT_FALSE(msg->testi().isEmpty());
}

// An archive from before the ten-character packaging codes.
TEST_F(Imballi, UnArchivioVecchioAllargaICodiciUnaVolta) {
    const QStringList vecchio = {
        "DROP TABLE IMBALLI",
        "CREATE TABLE IMBALLI (CODICE VARCHAR(8) NOT NULL, NOMEIMBALLO VARCHAR(64), "
        "TIPOIMBALLO VARCHAR(10), CONTENUTO DOUBLE PRECISION, DIVISORE DOUBLE "
        "PRECISION, CODICEANALOGO VARCHAR(8), CODICEFORNITORE VARCHAR(20), "
        "PREZZOFORNITORE1 DOUBLE PRECISION, COSTOIMBALLO1 DOUBLE PRECISION, "
        "DATAVARPREZZO1 DATE, CODICEFORNITORE1 VARCHAR(20), PREZZOFORNITORE2 DOUBLE "
        "PRECISION, COSTOIMBALLO2 DOUBLE PRECISION, DATAVARPREZZO2 DATE, "
        "CODICEFORNITORE2 VARCHAR(20), PREZZOFORNITORE3 DOUBLE PRECISION, "
        "COSTOIMBALLO3 DOUBLE PRECISION, DATAVARPREZZO3 DATE, CARATTERISTICHE BLOB "
        "SUB_TYPE TEXT, COSTOAGGIUNTIVO DOUBLE PRECISION, TAPPOCOMPRESO VARCHAR(5), "
        "UBICAZIONEPRIMARIA VARCHAR(20), UBICAZIONESTOCK VARCHAR(20), CONSTRAINT "
        "IMBALLI_CHIAVEPRIMARIA PRIMARY KEY (CODICE))",
        "INSERT INTO IMBALLI (CODICE,NOMEIMBALLO) VALUES ('IC1','Flacone')",
        // a key under another name: its step cannot run
        "DROP TABLE IMBALLIALL",
        "CREATE TABLE IMBALLIALL (CODICE VARCHAR(8) NOT NULL, NOMEFILE VARCHAR(255) "
        "NOT NULL, CONSTRAINT IMBALLIALL_PK PRIMARY KEY (CODICE,NOMEFILE))",
        "DROP TABLE FOTOIMBALLI",
        "CREATE TABLE FOTOIMBALLI (PROGRESSIVO INTEGER NOT NULL, CODICE VARCHAR(8), "
        "FOTO VARCHAR(255), CONSTRAINT FOTOIMBALLI_CHIAVEPRIMARIA PRIMARY KEY "
        "(PROGRESSIVO))"};
    // each statement in its own transaction: a table is there once created
    for (const QString& frase : vecchio) {
        h.esegui(az(), {frase});
    }

    auto ampiezza = [this](const char* tabella, const char* colonna) {
        return valore(QString("SELECT B.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS A JOIN "
                              "RDB$FIELDS B ON A.RDB$FIELD_SOURCE=B.RDB$FIELD_NAME WHERE "
                              "A.RDB$RELATION_NAME='%1' AND A.RDB$FIELD_NAME='%2'")
                          .arg(tabella, colonna));
    };
    TImballiForm* f = apri();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(msg->testi(),
              (QStringList{
                  "Campo CODICE della tabella IMBALLI da aggiornare. Verrà aggiornato ora",
                  "Campo CODICEANALOGO della tabella IMBALLI da aggiornare. Verrà aggiornato ora",
                  "Campo CODICE della tabella IMBALLIALL da aggiornare. Verrà aggiornato ora",
                  "Errore interno durante l'aggiornamento del campo CODICE per la tabella "
                  "IMBALLIALL"}));
    EXPECT_EQ(ampiezza("IMBALLI", "CODICE"), "10");
    EXPECT_EQ(ampiezza("IMBALLI", "CODICEANALOGO"), "10");
    EXPECT_EQ(ampiezza("IMBALLIALL", "CODICE"), "8");
    EXPECT_EQ(ampiezza("FOTOIMBALLI", "CODICE"), "8"); // skipped after the failure
    QFile errore(h.radice() + "Temp/Errore.sql");
    ASSERT_TRUE(errore.open(QIODevice::ReadOnly));
    EXPECT_TRUE(errore.readAll().contains("DROP CONSTRAINT IMBALLIALL_CHIAVEPRIMARIA"));
    // the card opened anyway, its codes now taking ten characters
    EXPECT_EQ(f->codiceCorrenteGriglia(), "IC1");
    EXPECT_EQ(qobject_cast<QLineEdit*>(ed(f, "CODICEANALOGO"))->maxLength(), 10);
    f->close();

    h.esegui(az(), {"DROP TABLE IMBALLIALL"});
    h.esegui(az(),
             {"CREATE TABLE IMBALLIALL (CODICE VARCHAR(8) NOT NULL, NOMEFILE VARCHAR(255) "
              "NOT NULL, CONSTRAINT IMBALLIALL_CHIAVEPRIMARIA PRIMARY KEY (CODICE,NOMEFILE))"});
    msg->pulisci();
    apri()->close();
    EXPECT_EQ(msg->testi(),
              (QStringList{
                  "Campo CODICE della tabella IMBALLIALL da aggiornare. Verrà aggiornato ora",
                  "Campo CODICE della tabella FOTOIMBALLI da aggiornare. Verrà aggiornato ora"}));
    EXPECT_EQ(ampiezza("FOTOIMBALLI", "CODICE"), "10");
    msg->pulisci();
    apri()->close();
    EXPECT_TRUE(msg->testi().isEmpty()); // not again
}

TEST_F(Imballi, LaRicercaRestituisceLUltimoSceltoOppureNiente) {
    TTabXForm* s = nullptr;
    TImballiForm* f = apri();
    s = f->Sessione();
    {
        // Ritorna without a choice: empty code and name
        msg->dialogo = [](QDialog* d) {
            auto* r = qobject_cast<TRicImballiForm*>(d);
            r->ButtonRicercaRitorna->click();
            return r->result();
        };
        const auto scelta = TRicImballiForm::scegli(s, f, "Tappo", "Tappo 28 mm bianco");
        ASSERT_TRUE(scelta.has_value());
        EXPECT_TRUE(scelta->codice.isEmpty());
        EXPECT_TRUE(scelta->nome.isEmpty());
    }
    {
        // the type narrows the list, the name positions it; Enter on the list
        // chooses and returns
        QString tipi;
        msg->dialogo = [&tipi](QDialog* d) {
            auto* r = qobject_cast<TRicImballiForm*>(d);
            GrigliaModello* m = r->Griglia->modello();
            for (int i = 0; i < m->rowCount(); ++i) {
                r->Griglia->setCurrentIndex(m->index(i, 0));
                tipi += r->valoreScelto("TIPOIMBALLO");
            }
            EXPECT_EQ(r->EditSelezione->text(), "TIPOIMBALLO=1;");
            r->posizionaSuNome("Flacone PET 750 ml trasparente");
            QTest::keyClick(r->Griglia, Qt::Key_Return);
            return r->result();
        };
        const auto scelta = TRicImballiForm::scegli(s, f, "Contenitore", QString());
        ASSERT_TRUE(scelta.has_value());
        EXPECT_EQ(scelta->codice, "IC003");
        EXPECT_EQ(scelta->nome, "Flacone PET 750 ml trasparente");
        EXPECT_FALSE(tipi.isEmpty());
        EXPECT_EQ(tipi, QString(tipi.size(), '1'));
    }
    {
        // a choice, then Chiudi: nothing
        msg->dialogo = [](QDialog* d) {
            auto* r = qobject_cast<TRicImballiForm*>(d);
            r->SelezionaCorrente();
            EXPECT_FALSE(r->EditCodiceSel->text().isEmpty());
            r->ButtonRicercaChiudi->click();
            return r->result();
        };
        EXPECT_FALSE(TRicImballiForm::scegli(s, f, QString(), QString()).has_value());
    }
}

} // namespace
