#include "comune.h"

#include "report/codicebarre.h"
#include "report/documento.h"
#include "report/layout.h"
#include "session/formati.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::report;
using provareport::Archivio;

namespace {

const char* kScheda = R"(; scheda di prova
[Pagina]
Formato=A4
Margini=15,12,15,12

[Intestazione]
Altezza=30
Elemento=Testo; x=0; y=0; l=180; a=8; testo=Scheda {CODICE} - {NOMECOMMERCIALE}; dimensione=14; grassetto=si
Elemento=Testo; x=0; y=10; l=180; a=6; testo=Prezzo {PREZZO:#,##0.00} del {DATASTAMPA:dd/MM/yyyy} fornitore {DESCRIZIONEFORNITORE}
Elemento=Testo; x=0; y=16; l=180; a=6; testo=Frasi [{FRASIR}] sconosciuta {NONDICHIARATA}

[Elenco]
Griglia=si

[Righe Specifiche]
Titolo=Specifiche
Colonna=titolo=N.; campo=NRIGA; larghezza=12; allinea=destra
Colonna=titolo=Specifica; campo=SPECIFICA; larghezza=150

[Piede]
Altezza=8
Elemento=Testo; x=0; y=2; l=180; a=5; testo=Pagina {#PAGINA} di {#PAGINE}; allinea=destra
)";

struct Formati_ : ::testing::Test {
    Formati::Impostazioni prima = Formati::correnti();
    void SetUp() override { Formati::impostaItaliani(); }
    void TearDown() override { Formati::imposta(prima); }
};

using Scheda = Formati_;

QString pdfDi(const Documento& doc, const QString& cartella) {
    const QString pdf = cartella + "/scheda.pdf";
    QString errore;
    EXPECT_TRUE(doc.scriviPdf(pdf, "prova", &errore)) << errore.toStdString();
    return pdf;
}

} // namespace

TEST_F(Scheda, PdfHoldsTheVariablesAndOneLinePerDetailRow) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    Archivio a;
    LavoroStampa job;
    a.collega(job);
    std::vector<int> progressi;
    QObject::connect(&job, &LavoroStampa::avanzamento, [&](int p) { progressi.push_back(p); });
    DatiStampa dati = job.raccogli();
    ASSERT_EQ(dati.record.size(), 3u);
    EXPECT_EQ(progressi.front(), 33);

    Documento doc(Layout::leggi(kScheda), std::move(dati));
    ASSERT_EQ(doc.pagine(), 1);
    const QString testo = provareport::testoPdf(pdfDi(doc, a.tmp.path()));
    EXPECT_TRUE(testo.contains("Scheda MP-ACIDO - Acido citrico anidro")) << testo.toStdString();
    EXPECT_TRUE(testo.contains("Prezzo 1.234,50 del 15/03/2024 fornitore Chimica d'Oro S.r.l."));
    EXPECT_TRUE(testo.contains("Frasi []")) << "a null prints as nothing";
    EXPECT_TRUE(testo.contains("sconosciuta {?NONDICHIARATA}")) << "an unknown name shows itself";
    EXPECT_EQ(doc.nomiSconosciuti(), QStringList{"NONDICHIARATA"});
    EXPECT_TRUE(testo.contains("Pagina 1 di 1"));

    const QStringList attese = {"Aspetto: polvere cristallina bianca", "Titolo: 99,5 - 100,5 %",
                                "Umidita massima 0,5 %"};
    for (int i = 0; i < attese.size(); ++i) {
        QRegularExpression riga(
            QString("^\\s*%1\\s+%2\\s*$").arg(i + 1).arg(QRegularExpression::escape(attese[i])),
            QRegularExpression::MultilineOption);
        EXPECT_EQ(testo.count(riga), 1) << "row " << i + 1 << " printed once\n"
                                        << testo.toStdString();
    }
}

TEST_F(Scheda, LongListsFlowOverPagesWithTitlesRepeated) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    QTemporaryDir tmp;
    LavoroStampa job;
    int n = 0;
    job.OnDefineVariables = [](LavoroStampa& j) { j.defineVariable("CODICE", "LUNGO"); };
    job.OnDefineFields = [&](LavoroStampa& j) {
        ++n;
        j.defineField("NRIGA", QString::number(n), TipoDato::Numero);
        j.defineField("SPECIFICA", QString("voce %1").arg(n));
        if (n == 150) {
            j.setLastRecord();
        }
    };
    Documento doc(Layout::leggi(kScheda), job.raccogli());
    ASSERT_GT(doc.pagine(), 2);
    const QString testo = provareport::testoPdf(pdfDi(doc, tmp.path()));
    for (int i = 1; i <= 150; ++i) {
        EXPECT_EQ(testo.count(QRegularExpression(QString("\\bvoce %1\\n").arg(i))), 1) << i;
    }
    EXPECT_EQ(testo.count("Specifiche"), doc.pagine())
        << "the caption starts every page of the list\n"
        << testo.left(1500).toStdString();
    EXPECT_TRUE(testo.contains(QString("Pagina %1 di %1").arg(doc.pagine())));
}

TEST(Raccolta, RecordsStopAtTheLastReportedOrWhenNothingIsDeclared) {
    LavoroStampa job;
    int chiamate = 0;
    job.OnDefineFields = [&](LavoroStampa& j) {
        ++chiamate;
        if (chiamate <= 2) {
            j.defineField("N", QString::number(chiamate));
        }
    };
    EXPECT_EQ(job.raccogli().record.size(), 2u)
        << "a handler that never reports the end does not loop for ever";
    EXPECT_EQ(chiamate, 3);

    LavoroStampa senzaRighe;
    senzaRighe.OnDefineVariables = [](LavoroStampa& j) { j.defineVariable("CODICE", "P1"); };
    senzaRighe.OnDefineFields = [](LavoroStampa& j) {
        j.setProgress(100);
        j.setLastRecord();
    };
    DatiStampa d = senzaRighe.raccogli();
    EXPECT_TRUE(d.record.empty());
    ASSERT_NE(d.variabili->trova("codice"), nullptr) << "names compare without case";
    EXPECT_EQ(d.variabili->trova("CODICE")->testo, "P1");

    Documento doc(Layout::leggi(kScheda), std::move(d));
    EXPECT_EQ(doc.pagine(), 1) << "a sheet without rows still prints its header";
}

TEST(Raccolta, VariablesChangedBetweenRecordsReachOnlyTheLaterRecords) {
    LavoroStampa job;
    int n = 0;
    job.OnDefineVariables = [&](LavoroStampa& j) { j.defineVariable("FASE", n < 2 ? "1" : "2"); };
    job.OnDefineFields = [&](LavoroStampa& j) {
        j.defineField("N", QString::number(++n));
        if (n == 3) {
            j.setLastRecord();
        }
    };
    DatiStampa d = job.raccogli();
    ASSERT_EQ(d.record.size(), 3u);
    EXPECT_EQ(d.record[0].variabili->trova("FASE")->testo, "1");
    EXPECT_EQ(d.record[2].variabili->trova("FASE")->testo, "2");
}

TEST(Raccolta, DesignModeAsksOnceAndLeavesTheRowsWhereTheyAre) {
    Archivio a;
    LavoroStampa job;
    a.collega(job);
    DatiStampa d = job.campione();
    ASSERT_EQ(d.record.size(), 1u);
    EXPECT_EQ(d.record[0].campi.trova("NRIGA")->testo, "1");
    EXPECT_EQ(a.righe->recNo(), 1);
}

TEST(TipiDati, DatabaseFieldsFollowTheTypeRules) {
    Archivio a;
    LavoroStampa job;
    job.defineVariables(*a.testa);
    const Valori& v = job.variabili();
    EXPECT_EQ(v.trova("PREZZO")->tipo, TipoDato::Numero);
    EXPECT_EQ(v.trova("PREZZO")->testo, "1234.5");
    EXPECT_EQ(v.trova("DATASTAMPA")->tipo, TipoDato::Data);
    EXPECT_EQ(v.trova("DATASTAMPA")->testo, "45366") << "days since 30/12/1899";
    EXPECT_EQ(v.trova("FRASIR")->testo, "(NULL)");
    EXPECT_EQ(v.trova("CODICE")->tipo, TipoDato::Testo);

    job.defineFields(*a.righe, "SPECIFICHE");
    EXPECT_NE(job.campi().trova("SPECIFICHE.NRIGA"), nullptr);
    EXPECT_EQ(nomeCampoReport("RIGA:1", "NRIGA"), "RIGA:1");
    EXPECT_EQ(nomeCampoReport("", "NRIGA"), "NRIGA");

    bool ok = false;
    EXPECT_EQ(dataDaGiorni("45366.5", &ok), QDateTime(QDate(2024, 3, 15), QTime(12, 0)));
    EXPECT_TRUE(ok);
}

TEST(FormatoLayout, WritingAndReadingKeepsEverySetting) {
    QStringList avvisi;
    const Layout l = Layout::leggi(kScheda, &avvisi);
    EXPECT_TRUE(avvisi.isEmpty()) << avvisi.join('\n').toStdString();
    ASSERT_EQ(l.intestazione.elementi.size(), 3u);
    EXPECT_EQ(l.intestazione.elementi[0].tipo, "Testo");
    ASSERT_EQ(l.righe.size(), 1u);
    EXPECT_EQ(l.righe[0].nome, "Specifiche");

    Layout m = l;
    m.intestazione.elementi[0].p.imposta("testo", "Punto; e virgola\\ e\nriga nuova");
    const Layout r = Layout::leggi(m.scrivi());
    EXPECT_EQ(r.scrivi(), m.scrivi());
    EXPECT_EQ(r.intestazione.elementi[0].p.valore("testo"), "Punto; e virgola\\ e\nriga nuova");
    EXPECT_EQ(r.righe[0].colonne[1].valore("campo"), "SPECIFICA");
    EXPECT_EQ(l.nomiUsati(), (QStringList{"CODICE", "NOMECOMMERCIALE", "PREZZO", "DATASTAMPA",
                                          "DESCRIZIONEFORNITORE", "FRASIR", "NONDICHIARATA",
                                          "NRIGA", "SPECIFICA"}));
}

TEST(FormatoLayout, BrokenLinesAreReportedAndTheRestStillPrints) {
    QStringList avvisi;
    const Layout l =
        Layout::leggi("Altezza=3\n[Boh]\nx=1\n[Intestazione]\nsenza uguale\n"
                      "Elemento=Ovale; x=0; y=0; l=10; a=10\nElemento=Testo; testo={\n",
                      &avvisi);
    EXPECT_EQ(avvisi.size(), 3);
    Documento doc(l, {});
    EXPECT_EQ(doc.pagine(), 1);
    EXPECT_FALSE(doc.immagine(0, 30).isNull());
}

TEST(CodiceBarre, ValuesThatCode128CannotCarryAreRefused) {
    EXPECT_TRUE(codifica128("CONTEST00000012").valido());
    EXPECT_FALSE(codifica128("").valido());
    EXPECT_FALSE(codifica128(QString::fromUtf8("漢字")).valido());
}

TEST(CodiceBarre, PrintedSymbolIsReadBack) {
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    RICHIEDI_STRUMENTO("zbarimg", "zbar-tools");
    QTemporaryDir tmp;
    LavoroStampa job;
    job.OnDefineVariables = [](LavoroStampa& j) { j.defineVariable("SERIALE", "CONTEST00000042"); };
    Documento doc(Layout::leggi("[Intestazione]\nAltezza=30\n"
                                "Elemento=CodiceBarre; x=10; y=5; l=70; a=18; valore={SERIALE}\n"),
                  job.raccogli());
    const QString pdf = pdfDi(doc, tmp.path());
    ASSERT_TRUE(provareport::paginaPng(pdf, tmp.path() + "/barre", 200));
    QProcess z;
    z.start(provareport::eseguibile("zbarimg"), {"--raw", "-q", tmp.path() + "/barre.png"});
    z.waitForFinished(60000);
    const QString letto = QString::fromUtf8(z.readAllStandardOutput()).trimmed();
    EXPECT_EQ(letto, "CONTEST00000042");
    const QString testo = provareport::testoPdf(pdf);
    EXPECT_TRUE(testo.contains("CONTEST00000042")) << "the human-readable line is printed too";
}

namespace {

// Two lists handed side by side in the same records (A beside B), with a
// page break where the second phase (C beside D) starts.
DatiStampa affiancate() {
    LavoroStampa job;
    int n = 0;
    job.OnDefineVariables = [](LavoroStampa& j) { j.defineVariable("CODICE", "X"); };
    job.OnDefineFields = [&](LavoroStampa& j) {
        ++n;
        const bool prima = n <= 3;
        j.defineField("A", prima ? QString("alfa %1").arg(n) : QString());
        j.defineField("B", prima && n <= 2 ? QString("beta %1").arg(n) : QString());
        j.defineField("C", !prima ? QString("gamma %1").arg(n) : QString());
        j.defineField("D", !prima ? QString("delta %1").arg(n) : QString());
        j.defineField("SALTO", prima ? "0" : "1");
        if (n == 5) {
            j.setLastRecord();
        }
    };
    return job.raccogli();
}

QString layoutAffiancate(bool raggruppa) {
    QString l = "[Pagina]\nFormato=A4\n[Elenco]\nSaltoPagina=SALTO=1\n";
    if (raggruppa) {
        l += "Raggruppa=si\n";
    }
    for (const char* k : {"A", "B", "C", "D"}) {
        l += QString("[Righe %1]\nCondizione=%1<>\nTitolo=Elenco %1\nColonna=titolo=Voce; "
                     "campo=%1; larghezza=100\n")
                 .arg(k);
    }
    return l;
}

// The words of the PDF that name list rows, in print order.
QStringList ordine(const QString& testo) {
    QStringList r;
    QRegularExpression voce("\\b(alfa|beta|gamma|delta) \\d");
    for (auto it = voce.globalMatch(testo); it.hasNext();) {
        r << it.next().captured(0);
    }
    return r;
}

} // namespace

TEST_F(Scheda, GroupedListsPrintKindByKindBetweenPageBreaks) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    QTemporaryDir tmp;
    Documento doc(Layout::leggi(layoutAffiancate(true)), affiancate());
    ASSERT_EQ(doc.pagine(), 2);
    const QString testo = provareport::testoPdf(pdfDi(doc, tmp.path()));
    EXPECT_EQ(ordine(testo), (QStringList{"alfa 1", "alfa 2", "alfa 3", "beta 1", "beta 2",
                                          "gamma 4", "gamma 5", "delta 4", "delta 5"}))
        << testo.toStdString();
    for (const char* titolo : {"Elenco A", "Elenco B", "Elenco C", "Elenco D"}) {
        EXPECT_EQ(testo.count(titolo), 1) << titolo;
    }
    // without the setting each record prints its rows together, as before
    Documento misto(Layout::leggi(layoutAffiancate(false)), affiancate());
    EXPECT_EQ(ordine(provareport::testoPdf(pdfDi(misto, tmp.path()))),
              (QStringList{"alfa 1", "beta 1", "alfa 2", "beta 2", "alfa 3", "gamma 4", "delta 4",
                           "gamma 5", "delta 5"}));
}
