// The raw-material data sheet as the card prints it: "Stampa" on a demo
// material with data-sheet lines, through the options and the preview,
// exported to PDF; its first page is kept as a picture in the build folder.
#include "comune.h"
#include "stampacard.h"

#include "host/lancio.h"
#include "master/mater.h"
#include "report/finestrestampa.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/strumenti.h"

#include <QCoreApplication>
#include <QLabel>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::report;

namespace {

struct StampaMateria : provareport::StampaCard<TMaterForm> {
    void SetUp() override { apri("ShowMaterForm"); }
    int stampa(const QString& pdf) {
        return StampaCard::stampa(pdf, "Anteprima stampa schede materie prime");
    }
};

} // namespace

TEST_F(StampaMateria, DataSheetHoldsTheMaterialItsSupplierAndItsDataSheetLines) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    f->riapriSuCodice("MP002");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "MP002");
    const QString dir = QCoreApplication::applicationDirPath();
    const QString pdf = dir + "/scheda_materia_prima.pdf";
    QFile::remove(pdf);
    // printed at once, before the consultation page's supplier decode has run
    EXPECT_EQ(stampa(pdf), 1);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    ASSERT_TRUE(QFile::exists(pdf));

    const QString testo = provareport::testoPdf(pdf);
    for (const char* atteso :
         {"SCHEDA MATERIA PRIMA", "MP002", "Sodio lauriletere solfato 70%", "F002",
          "Tensio Sud S.r.l.", "SODIUM LAURETH SULFATE", "68891-38-3", "Cisternetta da 1000 kg",
          "1,850", "Aspetto: liquido viscoso giallo paglierino", "Sostanza attiva: 69,0 - 71,0 %",
          "pH soluzione 1%: 6,5 - 8,5", "Diossano: inferiore a 10 ppm", "Scheda di sicurezza: sì",
          "Scheda tecnica: sì", "Pagina 1 di 1"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    // the lines in their order, one each
    EXPECT_LT(testo.indexOf("Aspetto:"), testo.indexOf("Sostanza attiva:"));
    EXPECT_LT(testo.indexOf("pH soluzione"), testo.indexOf("Diossano:"));
    EXPECT_EQ(testo.count("Diossano:"), 1);
    EXPECT_FALSE(testo.contains("Scheda di sicurezza: no"));
    EXPECT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_materia_prima"));
}

TEST_F(StampaMateria, AMaterialWithoutLinesStillPrintsItsSheet) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    f->riapriSuCodice("MP001");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "MP001");
    const QString pdf = QCoreApplication::applicationDirPath() + "/scheda_materia_senza_righe.pdf";
    QFile::remove(pdf);
    EXPECT_EQ(stampa(pdf), 1);
    const QString testo = provareport::testoPdf(pdf);
    EXPECT_TRUE(testo.contains("Acqua addolcita")) << testo.toStdString();
    EXPECT_TRUE(testo.contains("Specifiche tecniche")) << testo.toStdString();
    QFile::remove(pdf);
}
