// The formulation data sheet as the card prints it: "Stampa" on a demo
// formulation with components and procedures, through the options and the
// preview, exported to PDF; its first page is kept as a picture in the build
// folder. A formulation without lines still prints its header.
#include "comune.h"
#include "stampacard.h"

#include "formulation/formul.h"
#include "host/lancio.h"
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

struct StampaFormulazione : provareport::StampaCard<TFormulForm> {
    void SetUp() override {
        apri("ShowFormulForm", [this] {
            h.esegui(h.c().azienda(),
                     {"INSERT INTO FORMUL (CODICE, NOME, EDIZIONE, REVISIONE, RESPONSABILE) "
                      "VALUES (9, 'Formulazione ancora da comporre', '1', '0', 'Ing. Ferri')"});
        });
    }
    int stampa(const QString& pdf) {
        return StampaCard::stampa(pdf, "Anteprima stampa schede formulazioni");
    }
};

// Where each text first shows, in the order given, each found exactly once.
void inOrdineUnaVolta(const QString& testo, const QStringList& attesi) {
    qsizetype prima = -1;
    for (const QString& a : attesi) {
        EXPECT_EQ(testo.count(a), 1) << a.toStdString() << "\n" << testo.toStdString();
        const qsizetype dove = testo.indexOf(a);
        EXPECT_GT(dove, prima) << a.toStdString() << " out of order\n" << testo.toStdString();
        prima = dove;
    }
}

} // namespace

TEST_F(StampaFormulazione, DataSheetHoldsTheHeaderTheComponentsAndTheProceduresInOrder) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    f->riapriSuCodice("1");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "1");
    const QString dir = QCoreApplication::applicationDirPath();
    const QString pdf = dir + "/scheda_formulazione.pdf";
    QFile::remove(pdf);
    EXPECT_EQ(stampa(pdf), 1);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    ASSERT_TRUE(QFile::exists(pdf));

    const QString testo = provareport::testoPdf(pdf);
    EXPECT_FALSE(testo.contains("{?")) << testo.toStdString();
    for (const char* atteso : {"SCHEDA FORMULAZIONE", "P.O. 1", "Dott.ssa Bianchi", "Pagina 1 di 1",
                               "0,3124", "1,030 ± 1,0 %", "7,0 ± 0,5"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    // the components with their names and percentages, then the procedures
    inOrdineUnaVolta(testo, {"Detergente piatti a mano al limone",
                             "Componenti",
                             "MP002",
                             "Sodio lauriletere solfato 70%",
                             "12,000",
                             "8,3 - 8,5 % s.a. anionica",
                             "MP005",
                             "Cocamidopropilbetaina 30%",
                             "MP018",
                             "Sodio cloruro",
                             "MP010",
                             "Profumo Limone Fresco",
                             "MP014",
                             "Conservante isotiazolinonico",
                             "MP019",
                             "Colorante giallo tartrazina E102",
                             "Procedure di lavorazione",
                             QString::fromUtf8("Caricare nel miscelatore l´80%"),
                             "Aggiungere sotto agitazione lenta SLES 70% e betaina",
                             "Aggiungere conservante, profumo",
                             QString::fromUtf8("Regolare la viscosità con sodio cloruro"),
                             "Portare a volume"});
    EXPECT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_formulazione"));
}

TEST_F(StampaFormulazione, AFormulationWithoutLinesStillPrintsItsHeader) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    f->riapriSuCodice("9");
    ASSERT_EQ(f->codiceCorrenteGriglia(), "9");
    const QString pdf =
        QCoreApplication::applicationDirPath() + "/scheda_formulazione_senza_righe.pdf";
    QFile::remove(pdf);
    EXPECT_EQ(stampa(pdf), 1);
    const QString testo = provareport::testoPdf(pdf);
    EXPECT_FALSE(testo.contains("{?")) << testo.toStdString();
    for (const char* atteso :
         {"SCHEDA FORMULAZIONE", "P.O. 9", "Formulazione ancora da comporre", "Pagina 1 di 1"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    // no list of lines that are not there
    EXPECT_FALSE(testo.contains("Procedure di lavorazione")) << testo.toStdString();
    EXPECT_FALSE(testo.contains("Materia prima")) << testo.toStdString();
    QFile::remove(pdf);
}
