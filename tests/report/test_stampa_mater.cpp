// The raw-material data sheet as the card prints it: "Stampa" on a demo
// material with data-sheet lines, through the options and the preview,
// exported to PDF; its first page is kept as a picture in the build folder.
#include "comune.h"

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

struct StampaMateria : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    TMaterForm* f = nullptr;

    void SetUp() override {
        Formati::impostaItaliani();
        f = dynamic_cast<TMaterForm*>(
            LanciaSchermata(*trovaSchermata("ShowMaterForm"), 2, std::nullopt));
        ASSERT_NE(f, nullptr);
    }
    void TearDown() override {
        if (f) {
            f->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Prints the current material through the preview into pdf; the
    // preview's page count, 0 when it never showed.
    int stampa(const QString& pdf) {
        int pagine = 0;
        msg->risposte = {"Sì"};
        msg->dialogo = [&](QDialog* d) {
            if (qobject_cast<OpzioniStampaDialog*>(d)) {
                return int(QDialog::Accepted);
            }
            if (auto* p = qobject_cast<AnteprimaStampa*>(d)) {
                pagine = p->LabelPagina->text().section(' ', -1).toInt();
                EXPECT_EQ(p->windowTitle(), "Anteprima stampa schede materie prime");
                EXPECT_TRUE(p->esportaPdf(pdf));
            }
            return int(QDialog::Accepted);
        };
        f->ButtonStampaClick();
        return pagine;
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
