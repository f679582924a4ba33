// The product data sheet as the card prints it: "Stampa" on a demo product,
// through the options and the preview, exported to PDF; its first page is
// kept as a picture in the build folder.
#include "comune.h"
#include "stampacard.h"

#include "host/lancio.h"
#include "master/prodotti.h"
#include "report/finestrestampa.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/strumenti.h"

#include <QCoreApplication>
#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::report;

namespace {

struct StampaProdotto : provareport::StampaCard<TProdottiForm> {
    void SetUp() override { apri("ShowProdottiForm"); }
    int stampa(const QString& pdf) {
        return StampaCard::stampa(pdf, "Anteprima stampa schede prodotti");
    }
};

} // namespace

TEST_F(StampaProdotto, DataSheetHoldsTheProductItsCategoryItsADRAndItsPackaging) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    f->riapriSuCodice("FM004");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "FM004");
    const QString dir = QCoreApplication::applicationDirPath();
    const QString pdf = dir + "/scheda_prodotto.pdf";
    QFile::remove(pdf);
    // printed at once, before the consultation page's ADR decode has run
    EXPECT_EQ(stampa(pdf), 1);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    ASSERT_TRUE(QFile::exists(pdf));

    const QString testo = provareport::testoPdf(pdf);
    for (const char* atteso :
         {"SCHEDA PRODOTTO", "FM004", "Anticalcare Bagno 750 ml",
          "Disincrostante acido per bagno con trigger", "Bagno", "FLACONE 750 ML", "Litro", "3264",
          "III", "Liquido corrosivo acido, inorganico, n.a.s.", "IC003",
          "Flacone PET 750 ml trasparente", "Trigger 28/410 bianco", "Etichetta Anticalcare",
          "Cartone 12 flaconi 750 ml", "Prodotto corrosivo: etichetta con pittogramma GHS05",
          "Pagina 1 di 1"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    // formulation, category and sales unit on one line: the category's
    // description stands where its code would
    EXPECT_TRUE(testo.contains(QRegularExpression(QStringLiteral("^3\\s+Bagno\\s+Litro\\s*$"),
                                                  QRegularExpression::MultilineOption)))
        << testo.toStdString();
    EXPECT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_prodotto"));
}

TEST_F(StampaProdotto, AnEmptyListPrintsNothing) {
    h.esegui(h.c().azienda(), {"DELETE FROM PRODOT"});
    f->rileggi({});
    msg->dialogo = [](QDialog*) { return int(QDialog::Rejected); };
    f->ButtonStampaClick();
    EXPECT_EQ(msg->testi(), QStringList{"Nessun record da stampare"});
}
