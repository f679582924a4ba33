// The manufacturing sheet on paper and in the archive, on the demo archives:
// what the report receives record by record (two phases, progress, the
// computed line figures), "&Stampa" and "Stampa PRE" through the preview into
// PDF with the weighing barcodes given only to the lines without one,
// "Archiv. scheda" with its numbers and its viewer, and the list of a
// semi-finished product's batches.
#include "production/liqpolv.h"
#include "production/quantita.h"
#include "production/rfabbsemilav.h"
#include "production/stampafabbricazione.h"
#include "production/stofab.h"
#include "report/documento.h"
#include "report/finestrestampa.h"
#include "session/formati.h"
#include "session/tabx.h"
#include "support/schede.h"
#include "support/strumenti.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include "../report/comune.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTabBar>
#include <gtest/gtest.h>

using namespace quintar;

TEST(StampaFabbricazione, ProgressIsTheShareOfRowsReachedAndFullWhenThereIsNothing) {
    EXPECT_EQ(produzione::avanzamentoStampa(0, 0), 100);
    EXPECT_EQ(produzione::avanzamentoStampa(3, 6), 50);
    EXPECT_EQ(produzione::avanzamentoStampa(1, 3), 33);
    EXPECT_EQ(produzione::avanzamentoStampa(2, 3), 67);
    EXPECT_EQ(produzione::avanzamentoStampa(9, 9), 100);
}

TEST(StampaFabbricazione, CriticalValuesGoToTheLineOfTheirMaterialEvenWhenRenumbered) {
    const std::vector<std::pair<qint64, QString>> righe = {
        {1, "MP004"}, {2, "MP009"}, {3, "MP016"}, {4, "MP011"}, {5, "MP006"}, {6, "MP006"}};
    // same line, same material
    EXPECT_EQ(produzione::rigaArchiviata(righe, 5, "MP006", {}), 5);
    // an integration moved the material down: its line, not line 4
    EXPECT_EQ(produzione::rigaArchiviata(righe, 4, "MP006", {}), 5);
    EXPECT_EQ(produzione::rigaArchiviata(righe, 4, "MP006", {5}), 6);
    // a material the batch no longer weighs gets nothing
    EXPECT_EQ(produzione::rigaArchiviata(righe, 4, "MP099", {}), std::nullopt);
}

namespace {

struct SchedaStampata : prova::ConScheda {
    TLiqPolvForm* f = nullptr;

    void SetUp() override {
        Formati::impostaItaliani();
        f = apri<TLiqPolvForm>("ShowLiqPolvForm");
        ASSERT_NE(f, nullptr);
    }
    // On the batch, as committed now (the tests change the archive first).
    void posiziona(const QString& codice, const QString& data, const QString& lotto) {
        f->AltreChiaviCorrenti = {data, lotto};
        f->rileggi(codice);
        ASSERT_EQ(f->lottoCorrente().lotto, lotto);
    }
    // What the engine collects for the batch shown.
    report::DatiStampa raccogli(produzione::SchedaInStampa& s, int* progresso = nullptr) {
        Transaction t(f->archivio());
        Query q(f->archivio(), &t);
        produzione::TestataStampa testata;
        testata.riempitrice = f->Griglia->campoCorrente("RIEMPITRICE").asString();
        testata.fabbricazioneDa = f->Griglia->campoCorrente("FABBRICAZIONEDA").asString();
        s.carica(q, f->lottoCorrente(), testata);
        report::LavoroStampa job;
        job.OnDefineVariables = [&s](report::LavoroStampa& j) { s.variabili(j); };
        job.OnDefineFields = [&s](report::LavoroStampa& j) { s.campi(j); };
        report::DatiStampa d = job.raccogli(500);
        if (progresso) {
            *progresso = job.progress();
        }
        return d;
    }
    // Prints through the options and the preview into `pdf`; the preview's
    // page count, 0 when it never showed.
    int stampa(const std::function<void()>& pulsante, const QString& pdf) {
        int pagine = 0;
        msg->risposte = {"Sì"};
        msg->dialogo = [&](QDialog* d) {
            if (auto* p = qobject_cast<report::AnteprimaStampa*>(d)) {
                pagine = p->LabelPagina->text().section(' ', -1).toInt();
                EXPECT_EQ(p->windowTitle(), "Anteprima stampa schede fabbricazioni");
                EXPECT_TRUE(p->esportaPdf(pdf));
            }
            return int(QDialog::Accepted);
        };
        pulsante();
        return pagine;
    }
    static QString campo(const report::Record& r, const char* nome) {
        const report::Dato* d = r.campi.trova(QString::fromLatin1(nome));
        return d ? d->testo : QStringLiteral("<assente>");
    }
    static QString variabile(const report::Record& r, const char* nome) {
        const report::Dato* d = r.variabili->trova(QString::fromLatin1(nome));
        return d ? d->testo : QStringLiteral("<assente>");
    }
    QStringList seriali(const QString& lotto) {
        QStringList s;
        const int n =
            conta("SELECT COUNT(*) FROM FABBCOMPON WHERE LOTTOFABBRICAZIONE='" + lotto + "'");
        for (int i = 1; i <= n; ++i) {
            s << valore(QStringLiteral("SELECT COALESCE(SERIALE,'') FROM FABBCOMPON WHERE "
                                       "LOTTOFABBRICAZIONE='%1' AND NRIGA=%2")
                            .arg(lotto)
                            .arg(i));
        }
        return s;
    }
};

} // namespace

TEST_F(SchedaStampata, RecordsRunComponentsBesideCriticalLinesThenPackagingBesideProcedure) {
    posiziona("FM003", "03/02/2025", "L25034");
    produzione::SchedaInStampa s;
    int progresso = -1;
    const report::DatiStampa d = raccogli(s, &progresso);
    ASSERT_EQ(s.componenti(), 5);
    ASSERT_EQ(s.critici(), 1);
    ASSERT_GT(s.confezionamento(), 0);
    ASSERT_GT(s.procedure(), 0);
    const size_t fase1 = 5;
    const size_t fase2 = size_t(std::max(s.confezionamento(), s.procedure()));
    ASSERT_EQ(d.record.size(), fase1 + fase2);
    EXPECT_EQ(progresso, 100);

    const report::Record& primo = d.record.front();
    EXPECT_EQ(variabile(primo, "FASE"), "1");
    EXPECT_EQ(variabile(primo, "VISCOMPON"), "1");
    EXPECT_EQ(variabile(primo, "VISCONFEZ"), "0");
    EXPECT_EQ(variabile(primo, "PROCEDURAOPERATIVA"), "2");
    EXPECT_EQ(variabile(primo, "FABBRICAZIONEDA"), "MP");
    EXPECT_EQ(variabile(primo, "QUANTITATOTALE"), "1530");
    EXPECT_EQ(campo(primo, "SALTOPAGINA"), "0");
    EXPECT_EQ(campo(primo, "COMPON.MOSTRA"), "1");
    EXPECT_EQ(campo(primo, "COMPON.NRIGA.NRIGA"), "1");
    EXPECT_EQ(campo(primo, "COMPON.CODICEINTERNO.CODICEINTERNO"), "MP004");
    EXPECT_EQ(campo(primo, "COMPCRITICI.MOSTRA"), "1");
    EXPECT_EQ(campo(primo, "COMPCRITICI.CODICEMATERIAPRIMA"), "MP006");
    // the packaging waits for the second phase
    EXPECT_EQ(campo(primo, "CONFEZ.MOSTRA.MOSTRA"), "0");
    EXPECT_EQ(campo(primo, "PROCED.MOSTRA.MOSTRA"), "0");
    // the line's figures are the components page's: 5 % of 1500 l at 1,02
    const produzione::PesataRiga p = produzione::pesataRiga(5, 1500, 1.02, 5);
    EXPECT_EQ(campo(primo, "COMPON.QUANTITARAW"), Formati::numeroInTesto(p.quantitaPesata));
    EXPECT_EQ(campo(primo, "COMPON.BILANCIA"), QString::number(p.bilancia));
    EXPECT_EQ(campo(primo, "COMPON.PERCENTUALE"), "5");
    ASSERT_NE(primo.campi.trova("COMPON.PERCENTUALE"), nullptr);
    EXPECT_EQ(primo.campi.trova("COMPON.PERCENTUALE")->tipo, report::TipoDato::Numero);

    // the critical list is exhausted after its one line, the components go on
    EXPECT_EQ(campo(d.record[1], "COMPCRITICI.MOSTRA"), "0");
    EXPECT_EQ(campo(d.record[4], "COMPON.NRIGA.NRIGA"), "5");

    const report::Record& secondaFase = d.record[fase1];
    EXPECT_EQ(variabile(secondaFase, "FASE"), "2");
    EXPECT_EQ(variabile(secondaFase, "VISCOMPON"), "0");
    EXPECT_EQ(variabile(secondaFase, "VISPROCED"), "1");
    EXPECT_EQ(variabile(secondaFase, "VISCONFEZ"), "1");
    EXPECT_EQ(campo(secondaFase, "SALTOPAGINA"), "1");
    EXPECT_EQ(campo(secondaFase, "COMPON.MOSTRA"), "0");
    EXPECT_EQ(campo(secondaFase, "CONFEZ.MOSTRA.MOSTRA"), "1");
    EXPECT_EQ(campo(secondaFase, "PROCED.MOSTRA.MOSTRA"), "1");
    EXPECT_EQ(campo(secondaFase, "PROCED.NRIGA.NRIGA"), "1");
}

TEST_F(SchedaStampata, ABatchWithNoListsPrintsOneRecordAtFullProgress) {
    h.esegui(az(), {"DELETE FROM FABBCOMPON WHERE LOTTOFABBRICAZIONE='L25043'",
                    "DELETE FROM COMPON WHERE CODICEFORMULAZIONE=4",
                    "DELETE FROM PROCED WHERE CODICEFORMULAZIONE=4",
                    "UPDATE FABBRIC SET RIEMPITRICE=NULL WHERE LOTTO='L25043'"});
    posiziona("FM005", "12/02/2025", "L25043");
    produzione::SchedaInStampa s;
    int progresso = -1;
    const report::DatiStampa d = raccogli(s, &progresso);
    EXPECT_EQ(s.componenti() + s.critici() + s.confezionamento() + s.procedure(), 0);
    ASSERT_EQ(d.record.size(), 1u);
    EXPECT_EQ(progresso, 100);
    EXPECT_EQ(campo(d.record[0], "COMPON.MOSTRA"), "0");
    EXPECT_EQ(campo(d.record[0], "PROCED.MOSTRA.MOSTRA"), "0");
}

TEST_F(SchedaStampata, ABatchFromASemiFinishedPrintsThatBatchAsItsComponent) {
    posiziona("FM006", "05/02/2025", "L25036");
    produzione::SchedaInStampa s;
    Transaction t(f->archivio());
    Query q(f->archivio(), &t);
    produzione::TestataStampa testata;
    testata.fabbricazioneDa = "SM";
    testata.codiceSemilavorato = "SM001";
    testata.lottoSemilavorato = "S25020";
    s.carica(q, f->lottoCorrente(), testata);
    report::LavoroStampa job;
    job.OnDefineVariables = [&s](report::LavoroStampa& j) { s.variabili(j); };
    job.OnDefineFields = [&s](report::LavoroStampa& j) { s.campi(j); };
    const report::DatiStampa d = job.raccogli(500);
    ASSERT_EQ(s.componenti(), 1);
    ASSERT_FALSE(d.record.empty());
    const report::Record& r = d.record.front();
    EXPECT_EQ(variabile(r, "FABBRICAZIONEDA"), "SM");
    EXPECT_EQ(campo(r, "COMPON.CODICEINTERNO.CODICEINTERNO"), "SM001");
    EXPECT_EQ(campo(r, "COMPON.DESCRIZIONE.DESCRIZIONE"), "Premiscela tensioattivi base");
    EXPECT_EQ(campo(r, "COMPON.PERCENTUALE"), "100");
    EXPECT_EQ(campo(r, "COMPON.LOTTO"), "S25020");
    EXPECT_EQ(campo(r, "COMPON.BILANCIA"), "");
    EXPECT_EQ(campo(r, "COMPON.QUANTITARAW"), variabile(r, "QUANTITATOTALE"));
}

TEST_F(SchedaStampata, PrintingTheSheetShowsHeaderLinesCriticalPackagingAndProcedure) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    posiziona("FM003", "03/02/2025", "L25034");
    const QString dir = QCoreApplication::applicationDirPath();
    const QString pdf = dir + "/scheda_fabbricazione.pdf";
    QFile::remove(pdf);
    EXPECT_GE(stampa([this] { f->ButtonStampa->click(); }, pdf), 2);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    ASSERT_TRUE(QFile::exists(pdf));
    const QString testo = provareport::testoPdf(pdf);
    for (const char* atteso : {"L25034", "Sgrassatore Universale 750 ml", "MP004", "MP006",
                               "Componenti critici", "Confezionamento", "Procedure"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    EXPECT_FALSE(testo.contains("{?")) << testo.toStdString();
    EXPECT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_fabbricazione"));
}

TEST_F(SchedaStampata, EmptyListPrintsNothingAndAssignsNoBarcode) {
    h.esegui(az(), {"DELETE FROM FABBRIC"});
    f->rileggi({});
    const QString generatore =
        valore("SELECT GEN_ID(SERIALE_FABBCOMPON_COUNTER,0) FROM RDB$DATABASE");
    f->ButtonStampaPreClick();
    f->ButtonStampaClick();
    EXPECT_EQ(msg->testi(),
              (QStringList{"Nessun record da stampare", "Nessun record da stampare"}));
    EXPECT_EQ(valore("SELECT GEN_ID(SERIALE_FABBCOMPON_COUNTER,0) FROM RDB$DATABASE"), generatore);
}

TEST_F(SchedaStampata, PreProductionGivesBarcodesOnlyToLinesWithoutOneAndPrintsThem) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    // FM005 has no barcodes; one line gets one by hand first
    h.esegui(az(), {"UPDATE FABBCOMPON SET SERIALE='CONTEST99999999' WHERE "
                    "LOTTOFABBRICAZIONE='L25043' AND NRIGA=2"});
    const QStringList altri = seriali("L25041");
    const int contatore =
        valore("SELECT GEN_ID(SERIALE_FABBCOMPON_COUNTER,0) FROM RDB$DATABASE").toInt();
    const QStringList prima = seriali("L25043");
    ASSERT_GE(prima.size(), 3);
    posiziona("FM005", "12/02/2025", "L25043");
    const QString dir = QCoreApplication::applicationDirPath();
    const QString pdf = dir + "/scheda_preproduzione.pdf";
    QFile::remove(pdf);
    EXPECT_GE(stampa([this] { f->ButtonStampaPre->click(); }, pdf), 1);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});

    const QStringList dopo = seriali("L25043");
    const QRegularExpression formato("^CONTEST[0-9]{8}$");
    for (const QString& s : dopo) {
        EXPECT_TRUE(formato.match(s).hasMatch()) << s.toStdString();
    }
    EXPECT_EQ(dopo[1], "CONTEST99999999");
    EXPECT_EQ(QSet<QString>(dopo.begin(), dopo.end()).size(), dopo.size());
    // in line order from the lines' counter
    EXPECT_EQ(dopo[0], QStringLiteral("CONTEST%1").arg(contatore + 1, 8, 10, QChar('0')));
    EXPECT_EQ(dopo[2], QStringLiteral("CONTEST%1").arg(contatore + 2, 8, 10, QChar('0')));
    EXPECT_EQ(seriali("L25041"), altri);

    ASSERT_TRUE(QFile::exists(pdf));
    const QString testo = provareport::testoPdf(pdf);
    for (const QString& atteso :
         {QStringLiteral("SCHEDA DI PREPRODUZIONE"), QStringLiteral("L25043"),
          QStringLiteral("MP017"), QStringLiteral("CONTEST99999999"), dopo[0], dopo[2]}) {
        EXPECT_TRUE(testo.contains(atteso)) << atteso.toStdString() << "\n" << testo.toStdString();
    }
    // the barcodes read back as the serials the lines hold
    ASSERT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_preproduzione", 300));
    if (prova::strumentoDisponibile("zbarimg", "zbar-tools")) {
        QProcess z;
        z.start(provareport::eseguibile("zbarimg"), {"--raw", "-q", "-Sdisable", "-Scode128.enable",
                                                     dir + "/scheda_preproduzione.png"});
        z.waitForFinished(60000);
        QStringList letti =
            QString::fromUtf8(z.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        letti.sort();
        QStringList attesi = dopo + QStringList{"L25043"}; // the lines and the batch's lot
        attesi.sort();
        EXPECT_EQ(letti, attesi);
    }

    // again: every line has its barcode and keeps it
    msg->pulisci();
    stampa([this] { f->ButtonStampaPre->click(); }, dir + "/scheda_preproduzione2.pdf");
    EXPECT_EQ(seriali("L25043"), dopo);
    EXPECT_EQ(valore("SELECT GEN_ID(SERIALE_FABBCOMPON_COUNTER,0) FROM RDB$DATABASE").toInt(),
              contatore + 2);
}

TEST_F(SchedaStampata, ABarcodeThatCannotBeGivenStopsThePrintAndGivesNone) {
    h.esegui(az(), {"CREATE EXCEPTION PROVA_SERIALE 'seriale rifiutato'",
                    "CREATE TRIGGER PROVA_FABBCOMPON FOR FABBCOMPON BEFORE UPDATE AS BEGIN IF "
                    "(NEW.NRIGA=2) THEN EXCEPTION PROVA_SERIALE; END"});
    posiziona("FM005", "12/02/2025", "L25043");
    f->ButtonStampaPre->click();
    ASSERT_EQ(msg->testi().size(), 1) << msg->testi().join('|').toStdString();
    EXPECT_TRUE(msg->testi()[0].startsWith("Impossibile eseguire il check dei seriali CONTEST:\n"))
        << msg->testi()[0].toStdString();
    EXPECT_TRUE(msg->testi()[0].contains("seriale rifiutato"));
    // line 1 was given one before line 2 failed: the unit goes back whole
    EXPECT_EQ(seriali("L25043").join(""), "");
}

// ------------------------------------------------------------- archiving

namespace {

struct Archiviazione : SchedaStampata {
    // Archives the batch shown; the viewer, when it opens, runs `vista`.
    void archivia(const std::function<void(TStoFabForm*)>& vista = {}) {
        msg->dialogo = [vista](QDialog* d) {
            if (auto* v = qobject_cast<TStoFabForm*>(d); v && vista) {
                vista(v);
            }
            return int(QDialog::Accepted);
        };
        f->ButtonStorico->click();
    }
    double numero(const QString& sql) { return valore(sql).toDouble(); }
};

} // namespace

TEST_F(Archiviazione, TheArchivedSheetHoldsTheComputedNumbersAndTheViewerShowsThem) {
    // the first line's material has a long list of analogues
    h.esegui(az(), {"DELETE FROM STOMAT", "DELETE FROM STOFAB",
                    "UPDATE MATER SET CODICEANALOGO='PROVA-AN' WHERE CODICE IN ('MP004','MP009')",
                    "UPDATE MATER SET NOMECOMMERCIALE='Alcool isopropilico per uso tecnico "
                    "industriale' WHERE CODICE='MP009'"});
    posiziona("FM003", "03/02/2025", "L25034");
    bool vista = false;
    msg->risposte = {"Sì"};
    archivia([&](TStoFabForm* v) {
        vista = true;
        EXPECT_EQ(v->windowTitle(),
                  "Scheda Storico fabbricazioni - Ditta: " + f->sessione()->Ditta);
        EXPECT_EQ(v->EditLotto->text(), "L25034");
        EXPECT_EQ(v->EditProdotto->text(), "Sgrassatore Universale 750 ml");
        EXPECT_EQ(v->campo("QUANTITALITRI")->text(), "1500");
        EXPECT_EQ(v->campo("QUANTITATOTALE")->text(), "1530");
        v->mostraPagina(TStoFabForm::Materie);
        EXPECT_EQ(v->GridStoMat->modello()->rowCount(), 5);
        QCoreApplication::processEvents();
        GrigliaModello* m = v->GridStoMat->modello();
        EXPECT_EQ(m->headerData(m->indiceCampo("NRIGA"), Qt::Horizontal).toString(), "N.R.");
        EXPECT_EQ(m->headerData(m->indiceCampo("QUANTITARAW"), Qt::Horizontal).toString(),
                  "Quant. Kg");
        EXPECT_TRUE(v->GridStoMat->isColumnHidden(m->indiceCampo("CODICESTORICO")));
        v->grab().save(QCoreApplication::applicationDirPath() + "/storico_materie.png");
        v->mostraPagina(TStoFabForm::Qualita);
        EXPECT_EQ(v->GridCritici->modello()->rowCount(), 1);
        EXPECT_EQ(v->EditAccettabilita->text(), "pH 12,0 - 13,0");
    });
    EXPECT_TRUE(vista);
    EXPECT_EQ(msg->testi(), QStringList{"Vuoi creare uno storico per questa fabbricazione?"});

    // the first archived sheet of the company is number 1
    EXPECT_EQ(valore("SELECT CODICEINTERNO FROM STOFAB WHERE LOTTO='L25034'"), "1");
    EXPECT_DOUBLE_EQ(numero("SELECT QUANTITALITRI FROM STOFAB WHERE CODICEINTERNO=1"), 1500);
    EXPECT_DOUBLE_EQ(numero("SELECT QUANTITATOTALE FROM STOFAB WHERE CODICEINTERNO=1"), 1530);
    // 1500 l in 0,75 l bottles: shown "2.000", stored 2000
    EXPECT_DOUBLE_EQ(numero("SELECT NUMEROCONTENITORI FROM STOFAB WHERE CODICEINTERNO=1"), 2000);
    EXPECT_DOUBLE_EQ(numero("SELECT PERCACQUAADDOLC FROM STOFAB WHERE CODICEINTERNO=1"), 88.3);
    EXPECT_EQ(valore("SELECT CODICEFORMULAZIONE FROM STOFAB WHERE CODICEINTERNO=1"), "2");
    EXPECT_EQ(valore("SELECT CHAR_LENGTH(ANALOGHI) FROM STOMAT WHERE CODICESTORICO=1 AND NRIGA=1"),
              "50");
    EXPECT_TRUE(valore("SELECT ANALOGHI FROM STOMAT WHERE CODICESTORICO=1 AND NRIGA=1")
                    .startsWith("Alcool grasso"));
    EXPECT_EQ(valore("SELECT FABBRICAZIONEDA FROM STOFAB WHERE CODICEINTERNO=1"), "MP");
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=1"), 5);
    const produzione::PesataRiga p = produzione::pesataRiga(5, 1500, 1.02, 5);
    EXPECT_DOUBLE_EQ(numero("SELECT QUANTITARAW FROM STOMAT WHERE CODICESTORICO=1 AND NRIGA=1"),
                     p.quantitaPesata);
    EXPECT_EQ(valore("SELECT BILANCIA FROM STOMAT WHERE CODICESTORICO=1 AND NRIGA=1"),
              QString::number(p.bilancia));
    // the critical line's results as numbers, on its line
    EXPECT_FALSE(
        valore("SELECT QUANTITAKG FROM STOMAT WHERE CODICESTORICO=1 AND NRIGA=4").isEmpty());
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=1 AND QUANTITAKG IS NOT NULL"),
              1);
    EXPECT_EQ(valore("SELECT STORICOAGGIORNATO FROM FABBRIC WHERE LOTTO='L25034'"), "1");

    // once archived, the button only shows it
    msg->pulisci();
    vista = false;
    archivia([&](TStoFabForm*) { vista = true; });
    EXPECT_TRUE(vista);
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFAB"), 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT"), 5);
}

TEST_F(Archiviazione, CriticalResultsFollowTheirMaterialWhenAnIntegrationRenumberedTheLines) {
    // an integration put a line before the critical one (MP006, line 4)
    h.esegui(az(), {"UPDATE FABBCOMPON SET NRIGA=NRIGA+1 WHERE LOTTOFABBRICAZIONE='L25034' "
                    "AND NRIGA>=4 ORDER BY NRIGA DESC",
                    "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                    "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, CRITICO, "
                    "TOLLERANZA, CODICEFORMULAZIONE) VALUES ('FM003', '2025-02-03', 'L25034', 4, "
                    "'MP016', 0.5, '0', 5, 2)"});
    posiziona("FM003", "03/02/2025", "L25034");
    msg->risposte = {"Sì"};
    archivia();
    const QString n = valore("SELECT CODICEINTERNO FROM STOFAB WHERE LOTTO='L25034'");
    ASSERT_FALSE(n.isEmpty());
    EXPECT_EQ(valore("SELECT CODICEMATERIAPRIMA FROM STOMAT WHERE QUANTITAKG IS NOT NULL AND "
                     "CODICESTORICO=" +
                     n),
              "MP006");
    EXPECT_EQ(
        conta("SELECT COUNT(*) FROM STOMAT WHERE QUANTITAKG IS NOT NULL AND CODICESTORICO=" + n),
        1);
}

TEST_F(Archiviazione, ABatchWithoutLinesArchivesItsSheetAloneAndNoLeavesNothing) {
    h.esegui(az(), {"DELETE FROM FABBCOMPON WHERE LOTTOFABBRICAZIONE='L25043'"});
    posiziona("FM005", "12/02/2025", "L25043");
    msg->risposte = {"No"};
    archivia();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFAB WHERE LOTTO='L25043'"), 0);
    EXPECT_EQ(valore("SELECT STORICOAGGIORNATO FROM FABBRIC WHERE LOTTO='L25043'"), "0");

    msg->risposte = {"Sì"};
    archivia();
    const QString n = valore("SELECT CODICEINTERNO FROM STOFAB WHERE LOTTO='L25043'");
    ASSERT_FALSE(n.isEmpty());
    EXPECT_EQ(n.toInt(), 2); // after the demo's sheet 1
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=" + n), 0);
}

TEST_F(Archiviazione, AFailedLineRollsBackTheWholeSheetAndKeepsTheStatement) {
    h.esegui(az(), {"CREATE EXCEPTION PROVA_RIFIUTO 'rifiutata'",
                    "CREATE TRIGGER PROVA_STOMAT FOR STOMAT BEFORE INSERT AS BEGIN IF "
                    "(NEW.NRIGA=3) THEN EXCEPTION PROVA_RIFIUTO; END"});
    posiziona("FM003", "03/02/2025", "L25034");
    msg->risposte = {"Sì"};
    archivia([](TStoFabForm*) { ADD_FAILURE() << "the viewer opened after a failure"; });
    EXPECT_TRUE(msg->testi().contains(
        "Errore interno: impossibile inserire nello storico il record corrente"))
        << msg->testi().join('|').toStdString();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOFAB WHERE LOTTO='L25034'"), 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOMAT WHERE CODICESTORICO=2"), 0);
    EXPECT_EQ(valore("SELECT STORICOAGGIORNATO FROM FABBRIC WHERE LOTTO='L25034'"), "0");
    // the statement that failed is kept for whoever looks into it
    const QString cartella = f->sessione()->GetV("TempDir");
    QFile errore(QDir(cartella.isEmpty() ? QDir::tempPath() : cartella).filePath("Errore.sql"));
    ASSERT_TRUE(errore.open(QIODevice::ReadOnly)) << errore.fileName().toStdString();
    EXPECT_TRUE(errore.readAll().contains("INSERT INTO STOMAT"));
}

// ------------------------------------------------------ semi-finished batches

TEST_F(SchedaStampata, SemiFinishedBatchesListNewestFirstAndReturnTheChosenOne) {
    h.esegui(az(), {"INSERT INTO FABBRIC (CODICE, DATA, LOTTO, NOMEPRODOTTO) VALUES ('SM001', "
                    "'2025-03-01', 'S25060', 'Premiscela tensioattivi base')"});
    {
        TRFabbSemiLavForm d(f->sessione(), "SM001", f);
        EXPECT_EQ(d.windowTitle(), "Ricerca fabbricazioni semilavorato");
        EXPECT_EQ(d.EditNome->text(), "Premiscela tensioattivi base");
        ASSERT_EQ(d.GridFabbricazioni->modello()->rowCount(), 2);
        EXPECT_EQ(d.lotto(), "S25060");
        d.ButtonRitorna->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.data(), QDate(2025, 3, 1));
    }
    {
        TRFabbSemiLavForm d(f->sessione(), "FM999", f);
        EXPECT_EQ(d.GridFabbricazioni->modello()->rowCount(), 0);
        d.ButtonRitorna->click();
        EXPECT_EQ(msg->testi(), QStringList{"Nessuna fabbricazione selezionata"});
        EXPECT_NE(d.result(), QDialog::Accepted);
        d.ButtonAnnulla->click();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }

    // from the sheet: the chosen batch fills the semi-finished key
    posiziona("FM006", "05/02/2025", "L25036");
    f->ButtonEdit->click();
    ASSERT_EQ(f->StatoScheda, 2);
    msg->dialogo = [](QDialog* d) {
        auto* r = qobject_cast<TRFabbSemiLavForm*>(d);
        if (!r) {
            return int(QDialog::Rejected);
        }
        r->GridFabbricazioni->setCurrentIndex(r->GridFabbricazioni->modello()->index(1, 0));
        r->ButtonRitorna->click();
        return r->result();
    };
    f->ButtonSemilavoratoClick();
    EXPECT_EQ(SchedaBase::testoDi(f->editazione("FABBRICAZIONEDA_CODICE")), "SM001");
    EXPECT_EQ(SchedaBase::testoDi(f->editazione("FABBRICAZIONEDA_LOTTO")), "S25020");
    EXPECT_EQ(SchedaBase::testoDi(f->editazione("FABBRICAZIONEDA_DATA")), "20/01/2025");
}

namespace {

// The values "&Stampa" hands to the report for a batch, as the screen reads
// them when the print starts.
struct VariabiliStampate : SchedaStampata {
    std::shared_ptr<const report::Valori> stampa() {
        std::shared_ptr<const report::Valori> v;
        msg->risposte = {"Sì"};
        msg->dialogo = [&](QDialog* d) {
            if (auto* p = qobject_cast<report::AnteprimaStampa*>(d)) {
                const report::DatiStampa& dati = p->documento().dati();
                if (!dati.record.empty()) {
                    v = dati.record.front().variabili;
                }
            }
            return int(QDialog::Accepted);
        };
        f->ButtonStampa->click();
        return v;
    }
    static QString testo(const report::Valori& v, const char* nome) {
        const report::Dato* d = v.trova(QString::fromLatin1(nome));
        return d ? d->testo : QStringLiteral("<assente>");
    }
    static report::TipoDato tipo(const report::Valori& v, const char* nome) {
        const report::Dato* d = v.trova(QString::fromLatin1(nome));
        return d ? d->tipo : report::TipoDato::Booleano;
    }
};

} // namespace

TEST_F(VariabiliStampate, LaTestataPassaScadenzaRiempitriceContenitoriEdizioneENulli) {
    h.esegui(az(), {"UPDATE FORMUL SET EDIZIONE='E3', REVISIONE='R7', "
                    "DATAULTIMAREVISIONE='2024-12-31', MESIDURATAPRODOTTO=24 WHERE CODICE="
                    "(SELECT CODICEFORMULAZIONE FROM PRODOT WHERE CODICE='FM003')",
                    "UPDATE FABBRIC SET MISCELATORE=NULL WHERE LOTTO='L25034'"});
    posiziona("FM003", "03/02/2025", "L25034");
    const auto v = stampa();
    ASSERT_TRUE(v) << msg->testi().join('|').toStdString();
    // 3 February 2025 and 24 months
    EXPECT_EQ(testo(*v, "SCADENZA"), "2027 02");
    // the filling machine by its description, 1500 l in bottles of 0,75 l
    EXPECT_EQ(testo(*v, "RIEMPITRICE"), "Riempitrice lineare flaconi 0,5 - 2 L");
    EXPECT_EQ(testo(*v, "NUMEROCONTENITORI"), "2.000");
    EXPECT_EQ(testo(*v, "CAPACITACONTENITORE1"), "Flacone 750 ml");
    EXPECT_EQ(testo(*v, "PO_EDIZIONE"), "E3");
    EXPECT_EQ(testo(*v, "PO_REVISIONE"), "R7");
    // dates are days from 30/12/1899
    EXPECT_EQ(testo(*v, "PO_DATAULTIMAREVISIONE"), "45657");
    EXPECT_EQ(tipo(*v, "PO_DATAULTIMAREVISIONE"), report::TipoDato::Data);
    EXPECT_EQ(testo(*v, "DATA"), "45691");
    EXPECT_EQ(tipo(*v, "DATA"), report::TipoDato::Data);
    EXPECT_EQ(testo(*v, "QUANTITALITRI"), "1500");
    EXPECT_EQ(tipo(*v, "QUANTITALITRI"), report::TipoDato::Numero);
    EXPECT_EQ(testo(*v, "MISCELATORE"), "(NULL)");
    EXPECT_EQ(testo(*v, "LOTTO"), "L25034");

    // the expiry is read back in the one format it is shown in, whatever the
    // session's date format (month first would make it 2 March)
    Formati::imposta({QChar(','), QChar('.'), QStringLiteral("MM/dd/yyyy")});
    const auto w = stampa();
    Formati::impostaItaliani();
    ASSERT_TRUE(w) << msg->testi().join('|').toStdString();
    EXPECT_EQ(testo(*w, "SCADENZA"), "2027 02");
}

TEST_F(VariabiliStampate, SenzaFormulazioneNeScadenzaLeVociRestanoVuote) {
    h.esegui(az(), {"UPDATE PRODOT SET CODICEFORMULAZIONE=NULL WHERE CODICE='FM003'",
                    "UPDATE FABBRIC SET CAPACITACONTENITORE=NULL, RIEMPITRICE=NULL "
                    "WHERE LOTTO='L25034'"});
    posiziona("FM003", "03/02/2025", "L25034");
    const auto v = stampa();
    ASSERT_TRUE(v) << msg->testi().join('|').toStdString();
    for (const char* nome :
         {"SCADENZA", "PO_EDIZIONE", "PO_REVISIONE", "PO_DATAULTIMAREVISIONE", "PROCEDURAOPERATIVA",
          "RIEMPITRICE", "NUMEROCONTENITORI", "CAPACITACONTENITORE1"}) {
        EXPECT_EQ(testo(*v, nome), "") << nome;
    }
    EXPECT_EQ(testo(*v, "CAPACITACONTENITORE"), "(NULL)");
}

// The header decodes the codes of the batch it shows: at opening, on a move
// to a batch of the same filling machine, and in what that batch prints.
TEST_F(VariabiliStampate, CapacitaContenitoriERiempitriceSiVedonoDallAperturaEInStampa) {
    // the sheet opens on the first batch: FM001, 2000 l in bottles of 1 l
    ASSERT_EQ(f->lottoCorrente().lotto, "L25015");
    auto co = [this](const char* c) { return SchedaBase::testoDi(f->consultazione(c)); };
    EXPECT_EQ(co("CAPACITACONTENITORE#"), "Flacone 1 L");
    EXPECT_EQ(co("QTACONTENITORI"), "2.000");
    EXPECT_EQ(co("RIEMPITRICE#"), "Riempitrice lineare flaconi 0,5 - 2 L");

    // a click on another batch of the same machine
    GrigliaModello* m = f->Griglia->modello();
    const int riga = m->cerca("LOTTO", [](const QString& v) { return v == "L25034"; });
    ASSERT_GE(riga, 0);
    f->Griglia->setCurrentIndex(m->index(riga, 0));
    ASSERT_EQ(f->lottoCorrente().lotto, "L25034");
    EXPECT_EQ(co("RIEMPITRICE#"), "Riempitrice lineare flaconi 0,5 - 2 L");
    EXPECT_EQ(co("CAPACITACONTENITORE#"), "Flacone 750 ml");
    EXPECT_EQ(co("QTACONTENITORI"), "2.000");

    const auto v = stampa();
    ASSERT_TRUE(v) << msg->testi().join('|').toStdString();
    EXPECT_EQ(testo(*v, "LOTTO"), "L25034");
    EXPECT_EQ(testo(*v, "RIEMPITRICE"), "Riempitrice lineare flaconi 0,5 - 2 L");
    EXPECT_EQ(testo(*v, "CAPACITACONTENITORE1"), "Flacone 750 ml");
    EXPECT_EQ(testo(*v, "NUMEROCONTENITORI"), "2.000");
}
