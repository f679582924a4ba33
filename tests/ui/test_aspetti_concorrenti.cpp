// One user with the same screen open in two processes: each process saves
// its window position and its grid layout when the screen closes, and the
// other one may be saving the same rows at that very moment. Neither save is
// lost: the one that ends last is what the archive keeps, whole.
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/trattenuta.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/tcsdgrid.h"

#include <QHeaderView>
#include <QWidget>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct AspettiConcorrenti : ::testing::Test {
    prova::Cartella c;
    RegistraMessaggi messaggi;
    Database db;

    void SetUp() override { db.connect(az()); }
    QString az() const { return c.c().azienda(); }
    std::string valore(const QString& select) { return c.valore(az(), select).toStdString(); }
};

} // namespace

TEST_F(AspettiConcorrenti, AWindowPositionSavedWhileTheOtherProcessSavesItIsKept) {
    // the first close ever of screen 22 by user 2, in the other process, has
    // written its row and not committed yet
    prova::ScritturaTrattenuta altro(
        az(), {"INSERT INTO STOPOS1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSX, POSY, "
               "DIMX, DIMY) VALUES (150, 22, 2, 10, 20, 300, 200)"});
    altro.chiudiQuandoAttende("STOPOS1");
    QWidget finestra;
    finestra.setGeometry(123, 77, 650, 480);
    SalvaPosizioneFinestra(&finestra, 2, 22, &db);
    EXPECT_TRUE(altro.attendi()) << "the save waited for the other process";
    const QString chiave = " FROM STOPOS1 WHERE CODICEPROGETTO=150 AND CODICESITUAZIONE=22 AND "
                           "CODICEUTENTE=2";
    EXPECT_EQ(valore("SELECT COUNT(*)" + chiave), "1");
    EXPECT_EQ(valore("SELECT POSX||','||POSY||','||DIMX||','||DIMY" + chiave), "123,77,650,480")
        << "the save that ended last is kept";

    // the same row held again, now as an update: this save goes in after it
    prova::ScritturaTrattenuta ancora(
        az(), {"UPDATE OR INSERT INTO STOPOS1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, "
               "POSX, POSY, DIMX, DIMY) VALUES (150, 22, 2, 5, 5, 400, 300) "
               "MATCHING (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE)"});
    ancora.chiudiQuandoAttende("STOPOS1");
    finestra.setGeometry(200, 150, 640, 470);
    SalvaPosizioneFinestra(&finestra, 2, 22, &db);
    EXPECT_TRUE(ancora.attendi());
    EXPECT_EQ(valore("SELECT POSX||','||POSY||','||DIMX||','||DIMY" + chiave), "200,150,640,470");

    QWidget riaperta;
    CaricaPosizioneFinestra(&riaperta, 2, 22, &db);
    EXPECT_EQ(riaperta.geometry(), QRect(200, 150, 640, 470));
    EXPECT_TRUE(messaggi->mostrati.empty());
}

TEST_F(AspettiConcorrenti, AGridLayoutSavedWhileTheOtherProcessSavesItIsKeptWhole) {
    Transaction tr(&db);
    Query q(&db, &tr);
    TCSDGrid g;
    g.resize(800, 300);
    g.Situazione = 28;
    g.Utente = 2;
    g.NomeTabella = "FORNITO";
    g.collega(&q, [] { return QStringList{"SELECT CODICE, RAGSOC, CONTO FROM FORNITO"}; });
    q.open();
    ASSERT_EQ(g.modello()->columnCount(), 3);
    QHeaderView* h = g.horizontalHeader();
    h->moveSection(h->visualIndex(g.modello()->indiceCampo("RAGSOC")), 0);
    g.setColumnWidth(g.modello()->indiceCampo("RAGSOC"), 211);
    g.setColumnWidth(g.modello()->indiceCampo("CODICE"), 77);
    g.setColumnWidth(g.modello()->indiceCampo("CONTO"), 55);

    // the other process is writing the layout it had, of an older list with
    // one column more, and has not committed yet
    QStringList righe;
    const char* nomi[] = {"CODICE", "RAGSOC", "CONTO", "VECCHIA"};
    for (int p = 0; p < 4; ++p) {
        righe << QString("INSERT INTO STOASP1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, "
                         "POSIZIONE, NOMECAMPO, LARGHEZZA, VISIBILE) VALUES (150, 28, 2, %1, "
                         "'%2', 90, 1)")
                     .arg(p)
                     .arg(nomi[p]);
    }
    prova::ScritturaTrattenuta altro(az(), righe);
    altro.chiudiQuandoAttende("STOASP1");
    g.SalvaAspetto();
    EXPECT_TRUE(altro.attendi()) << "the save waited for the other process";

    const QString chiave = " FROM STOASP1 WHERE CODICEPROGETTO=150 AND CODICESITUAZIONE=28 AND "
                           "CODICEUTENTE=2";
    EXPECT_EQ(valore("SELECT LIST(NOMECAMPO||'='||LARGHEZZA, ' ') FROM (SELECT NOMECAMPO, "
                     "LARGHEZZA" +
                     chiave + " ORDER BY POSIZIONE)"),
              "RAGSOC=211 CODICE=77 CONTO=55")
        << "this layout, whole, and nothing of the other one";

    // the layout opens as saved
    q.close();
    TCSDGrid g2;
    Transaction tr2(&db);
    Query q2(&db, &tr2);
    g2.Situazione = 28;
    g2.Utente = 2;
    g2.collega(&q2, [] { return QStringList{"SELECT CODICE, RAGSOC, CONTO FROM FORNITO"}; });
    q2.open();
    EXPECT_EQ(g2.horizontalHeader()->logicalIndex(0), g2.modello()->indiceCampo("RAGSOC"));
    EXPECT_EQ(g2.columnWidth(g2.modello()->indiceCampo("RAGSOC")), 211);
    EXPECT_TRUE(messaggi->mostrati.empty());
}

TEST_F(AspettiConcorrenti, AnEmptyStoredValueReadsAsNotStored) {
    // the tables as a host may have made them, with text columns, and values
    // left empty
    c.esegui(az(), {"DROP TABLE STOPOS1", "DROP TABLE STOASP1"});
    c.esegui(az(),
             {"CREATE TABLE STOPOS1 (CODICEPROGETTO INTEGER NOT NULL, CODICESITUAZIONE INTEGER "
              "NOT NULL, CODICEUTENTE INTEGER NOT NULL, POSX VARCHAR(10), POSY VARCHAR(10), "
              "DIMX VARCHAR(10), DIMY VARCHAR(10), INFO1 VARCHAR(10), INFO2 VARCHAR(10), INFO3 "
              "VARCHAR(10), INFO4 VARCHAR(10), PRIMARY KEY (CODICEPROGETTO, CODICESITUAZIONE, "
              "CODICEUTENTE))",
              "CREATE TABLE STOASP1 (CODICEPROGETTO INTEGER NOT NULL, CODICESITUAZIONE INTEGER "
              "NOT NULL, CODICEUTENTE INTEGER NOT NULL, POSIZIONE INTEGER NOT NULL, NOMECAMPO "
              "VARCHAR(64), ORIGINE VARCHAR(128), LARGHEZZA VARCHAR(10), NOMECOLONNA "
              "VARCHAR(25), ORDINAMENTO VARCHAR(10), VISIBILE VARCHAR(10), COLORECOLONNA "
              "VARCHAR(10), PRIMARY KEY (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, "
              "POSIZIONE))"});
    c.esegui(az(),
             {"INSERT INTO STOPOS1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSX, POSY, "
              "DIMX, DIMY) VALUES (150, 22, 2, '10', '20', '', '')",
              "INSERT INTO STOASP1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSIZIONE, "
              "NOMECAMPO, LARGHEZZA, ORDINAMENTO, VISIBILE, COLORECOLONNA) VALUES (150, 28, 2, 0, "
              "'RAGSOC', '', '', '', '')",
              "INSERT INTO STOASP1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSIZIONE, "
              "NOMECAMPO, LARGHEZZA, ORDINAMENTO, VISIBILE, COLORECOLONNA) VALUES (150, 28, 2, 1, "
              "'CODICE', '77', '2', '1', '')"});
    db.disconnect();
    db.connect(az());

    // a window whose size was never stored opens as designed, and its place is kept at close
    QWidget finestra;
    finestra.setGeometry(123, 77, 650, 480);
    CaricaPosizioneFinestra(&finestra, 2, 22, &db);
    EXPECT_EQ(finestra.geometry(), QRect(123, 77, 650, 480));
    SalvaPosizioneFinestra(&finestra, 2, 22, &db);
    QWidget riaperta;
    CaricaPosizioneFinestra(&riaperta, 2, 22, &db);
    EXPECT_EQ(riaperta.geometry(), QRect(123, 77, 650, 480));

    // a grid takes what is stored: the columns' places, the width and the
    // order given; an empty width keeps the designed one
    Transaction tr(&db);
    Query q(&db, &tr);
    TCSDGrid g;
    g.Situazione = 28;
    g.Utente = 2;
    g.collega(&q, [] { return QStringList{"SELECT CODICE, RAGSOC FROM FORNITO"}; });
    q.open();
    EXPECT_EQ(g.horizontalHeader()->logicalIndex(0), g.modello()->indiceCampo("RAGSOC"));
    EXPECT_EQ(g.columnWidth(g.modello()->indiceCampo("CODICE")), 77);
    EXPECT_GT(g.columnWidth(g.modello()->indiceCampo("RAGSOC")), 0);
    EXPECT_FALSE(g.isColumnHidden(g.modello()->indiceCampo("RAGSOC")));
    EXPECT_EQ(g.ModoOrdinamento, 1);
    EXPECT_EQ(g.OrdineSingolo.nome, "CODICE");
    EXPECT_EQ(g.OrdineSingolo.direzione, 2);
    EXPECT_TRUE(messaggi->mostrati.empty());
}
