#include "comune.h"

#include "report/documento.h"
#include "report/finestrestampa.h"
#include "report/layoutpredefiniti.h"
#include "report/progettista.h"
#include "report/stampanti.h"
#include "report/stampascheda.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::report;
using provareport::Archivio;

namespace {

const char* kLayout =
    "[Intestazione]\nAltezza=12\nElemento=Testo; x=0; y=0; l=180; a=8; testo=Scheda {CODICE}\n"
    "[Righe Specifiche]\nColonna=titolo=Specifica; campo=SPECIFICA; larghezza=150\n";

struct Stampa : ::testing::Test {
    Archivio a;
    QTemporaryDir cartella;
    QString lst;
    int preparazioni = 0;
    SchedaDaStampare s;
    RegistraMessaggi msg;

    void SetUp() override {
        Formati::impostaItaliani();
        lst = cartella.path() + "/STSPEC.LST";
        QFile f(lst);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kLayout);
        f.close();
        installaSorgenteStampanti([] {
            return std::vector<Stampante>{{"Ufficio", "PCL", "lpd://ufficio"}};
        });
        s.fileProgetto = lst;
        s.titoloProgettista = "Editazione stampa schede materie prime";
        s.titoloAnteprima = "Anteprima stampa schede materie prime";
        s.preparaDati = [this] { ++preparazioni; };
        LavoroStampa tmp;
        a.collega(tmp);
        s.OnDefineVariables = tmp.OnDefineVariables;
        s.OnDefineFields = tmp.OnDefineFields;
    }
    void TearDown() override { installaSorgenteStampanti({}); }
};

} // namespace

TEST_F(Stampa, EmptyListOrNoStartsNothing) {
    s.nessunRecord = true;
    EXPECT_EQ(stampaScheda(s), EsitoStampa::NienteDaStampare);
    EXPECT_EQ(msg->testi(), QStringList{"Nessun record da stampare"});

    s.nessunRecord = false;
    msg->pulisci();
    msg->risposte = {"No"};
    EXPECT_EQ(stampaScheda(s), EsitoStampa::Rinuncia);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Conferma);
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_EQ(preparazioni, 0);
}

TEST_F(Stampa, MissingOrUnreadableProjectIsNamedAndNothingStarts) {
    s.fileProgetto = cartella.path() + "/MANCA.LST";
    msg->risposte = {"Sì"};
    EXPECT_EQ(stampaScheda(s), EsitoStampa::ProgettoMancante);
    ASSERT_EQ(msg->mostrati.size(), 2u);
    EXPECT_EQ(msg->mostrati[1].tipo, TipoMessaggio::Errore);
    EXPECT_TRUE(msg->mostrati[1].testo.contains("\"" + cartella.path() + "/MANCA.LST\""))
        << msg->mostrati[1].testo.toStdString();
    EXPECT_TRUE(msg->dialoghiAperti.empty());
    EXPECT_EQ(preparazioni, 0);

    // a folder in place of the file
    QDir().mkpath(cartella.path() + "/CARTELLA.LST");
    s.fileProgetto = cartella.path() + "/CARTELLA.LST";
    msg->pulisci();
    msg->risposte = {"Sì"};
    EXPECT_EQ(stampaScheda(s), EsitoStampa::ProgettoMancante);
    EXPECT_TRUE(msg->testi().last().contains("CARTELLA.LST"));
}

TEST_F(Stampa, PreviewShowsTheSheetAndExportsItThroughTheTemporaryFolder) {
    QTemporaryDir temp;
    QTemporaryDir host;
    qputenv("QUINTAR_HOST_DIR", host.path().toUtf8());
    TTabXForm sessione;
    sessione.Inserisci("KDQ", "TempDir", "", temp.path(), "", "", "", "", "1");
    s.sessione = &sessione;
    msg->pulisci();
    msg->risposte = {"Sì"};
    const QString esportato = cartella.path() + "/esportato.pdf";
    QStringList inTemp;
    int pagine = 0;
    QString titolo;
    msg->dialogo = [&](QDialog* d) {
        if (auto* o = qobject_cast<OpzioniStampaDialog*>(d)) {
            EXPECT_EQ(o->ComboDestinazione->count(), 2) << "preview and the installed printer";
            return int(QDialog::Accepted);
        }
        if (auto* p = qobject_cast<AnteprimaStampa*>(d)) {
            titolo = p->windowTitle();
            pagine = p->LabelPagina->text().section(' ', -1).toInt();
            p->ButtonSuccessiva->click();
            inTemp = QDir(temp.path()).entryList(QDir::Files);
            EXPECT_TRUE(p->esportaPdf(esportato));
        }
        return int(QDialog::Accepted);
    };
    EXPECT_EQ(stampaScheda(s), EsitoStampa::Anteprima);
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    EXPECT_EQ(msg->dialoghiAperti, (std::vector<QString>{"OpzioniStampa", "AnteprimaStampa"}));
    EXPECT_EQ(preparazioni, 1);
    EXPECT_EQ(titolo, "Anteprima stampa schede materie prime");
    EXPECT_EQ(pagine, 1);
    EXPECT_EQ(inTemp.size(), 1) << "the preview's work file lives in TempDir";
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::Files).isEmpty())
        << "and goes when the preview closes";
    if (prova::strumentoDisponibile("pdftotext", "poppler-utils")) {
        const QString testo = provareport::testoPdf(esportato);
        EXPECT_TRUE(testo.contains("Scheda MP-ACIDO"));
        EXPECT_TRUE(testo.contains("Umidita massima 0,5 %"));
    }
    qunsetenv("QUINTAR_HOST_DIR");
}

TEST_F(Stampa, CancelledOptionsPrintNothing) {
    msg->risposte = {"Sì"};
    msg->dialogo = [](QDialog*) { return int(QDialog::Rejected); };
    EXPECT_EQ(stampaScheda(s), EsitoStampa::Rinuncia);
    EXPECT_EQ(msg->dialoghiAperti, std::vector<QString>{"OpzioniStampa"});
}

TEST_F(Stampa, DesignerEditsTheProjectAndItsCompanionFilesGo) {
    for (const QString& c : fileCompagni(lst)) {
        QFile f(c);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    s.modificaReport = true;
    msg->risposte = {"Sì"};
    QStringList nomi;
    QString titolo;
    msg->dialogo = [&](QDialog* d) {
        auto* p = qobject_cast<Progettista*>(d);
        EXPECT_NE(p, nullptr);
        if (!p) {
            return int(QDialog::Rejected);
        }
        titolo = p->windowTitle();
        for (QTreeWidgetItemIterator it(p->AlberoNomi); *it; ++it) {
            nomi << (*it)->text(0);
        }
        EXPECT_TRUE(p->seleziona("B:0"));
        p->aggiungi("CodiceBarre");
        p->impostaProprieta("valore", "{CODICE}");
        p->impostaProprieta("x", "120");
        EXPECT_TRUE(p->seleziona("E:0:0"));
        p->impostaProprieta("testo", "Materia {CODICE} {INESISTENTE}");
        EXPECT_EQ(p->nomiSconosciuti(), QStringList{"INESISTENTE"});
        EXPECT_FALSE(p->anteprima().isNull());
        EXPECT_TRUE(p->salva());
        return int(QDialog::Accepted);
    };
    EXPECT_EQ(stampaScheda(s), EsitoStampa::Progettato);
    EXPECT_EQ(
        msg->testi(),
        QStringList{"Modificare il report di stampa?\r\n(Prima di eseguire questa operazione si "
                    "consiglia di fare un backup del file: \"" +
                    lst + "\")"});
    EXPECT_EQ(msg->mostrati[0].tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(titolo, "Editazione stampa schede materie prime");
    EXPECT_TRUE(nomi.contains("DESCRIZIONEFORNITORE"));
    EXPECT_TRUE(nomi.contains("SPECIFICA"));
    EXPECT_EQ(a.righe->recNo(), 1) << "design mode leaves the rows where they are";
    for (const QString& c : fileCompagni(lst)) {
        EXPECT_FALSE(QFile::exists(c)) << c.toStdString();
    }
    auto l = Layout::carica(lst);
    ASSERT_TRUE(l.has_value());
    ASSERT_EQ(l->intestazione.elementi.size(), 2u);
    EXPECT_EQ(l->intestazione.elementi[1].tipo, "CodiceBarre");
    EXPECT_EQ(l->intestazione.elementi[0].p.valore("testo"), "Materia {CODICE} {INESISTENTE}");
}

TEST_F(Stampa, ClosingTheDesignerWithChangesAsksToSave) {
    s.modificaReport = true;
    msg->risposte = {"Sì", "No"};
    msg->dialogo = [&](QDialog* d) {
        auto* p = qobject_cast<Progettista*>(d);
        p->seleziona("B:0");
        p->impostaProprieta("Altezza", "40");
        p->ButtonChiudi->click();
        return int(QDialog::Rejected);
    };
    EXPECT_EQ(stampaScheda(s), EsitoStampa::Progettato);
    EXPECT_EQ(msg->testi().last(), "Salvare le modifiche al report di stampa?");
    EXPECT_EQ(Layout::carica(lst)->intestazione.altezza, 12) << "No keeps the file as it was";
}

TEST(LayoutPredefiniti, AreWrittenWithoutOverwritingEditedOnes) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/Report";
    ASSERT_TRUE(scriviLayoutPredefiniti(dir));
    for (const QString& n : layoutPredefiniti()) {
        QStringList avvisi;
        auto l = Layout::carica(dir + "/" + n);
        ASSERT_TRUE(l.has_value()) << n.toStdString();
        Layout::leggi(testoLayoutPredefinito(n), &avvisi);
        EXPECT_TRUE(avvisi.isEmpty()) << n.toStdString() << avvisi.join('\n').toStdString();
    }
    QFile f(dir + "/STSPEC.LST");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Pagina]\nFormato=A5\n");
    f.close();
    ASSERT_TRUE(scriviLayoutPredefiniti(dir));
    EXPECT_EQ(Layout::carica(dir + "/STSPEC.LST")->pagina.valore("Formato"), "A5");
}

TEST(LayoutPredefiniti, ManufacturingSheetBreaksThePageBeforeThePackagingPhase) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    QTemporaryDir tmp;
    LavoroStampa job;
    int n = 0;
    job.OnDefineVariables = [&](LavoroStampa& j) {
        j.defineVariable("CODICE", "PR-100");
        j.defineVariable("LOTTO", "L240315");
        j.defineVariable("FASE", n < 3 ? "1" : "2");
    };
    job.OnDefineFields = [&](LavoroStampa& j) {
        ++n;
        const bool componente = n <= 3;
        j.defineField("COMPON.MOSTRA", componente ? "1" : "0");
        j.defineField("COMPCRITICI.MOSTRA", "0");
        j.defineField("COMPON.CODICEINTERNO.CODICEINTERNO",
                      componente ? QString("MP-%1").arg(n) : "(NULL)");
        j.defineField("COMPON.SERIALE.SERIALE",
                      componente ? QString("CONTEST%1").arg(n, 8, 10, QChar('0')) : "");
        j.defineField("CONFEZ.MOSTRA.MOSTRA", componente ? "0" : "1");
        j.defineField("CONFEZ.TESTO.TESTO", componente ? "" : QString("Istruzione %1").arg(n));
        j.defineField("PROCED.MOSTRA.MOSTRA", "0");
        j.defineField("SALTOPAGINA", componente ? "0" : "1");
        if (n == 5) {
            j.setLastRecord();
        }
    };
    for (const QString& nome : {QString("STFABBR.LST"), QString("STFABBRPRE.LST")}) {
        n = 0;
        Documento doc(Layout::leggi(testoLayoutPredefinito(nome)), job.raccogli());
        EXPECT_EQ(doc.pagine(), 2) << nome.toStdString();
        ASSERT_TRUE(doc.scriviPdf(tmp.path() + "/f.pdf"));
        const QString testo = provareport::testoPdf(tmp.path() + "/f.pdf");
        const QStringList pagine = testo.split('\f');
        ASSERT_GE(pagine.size(), 2);
        EXPECT_TRUE(pagine[0].contains("MP-3"));
        EXPECT_FALSE(pagine[0].contains("Istruzione"));
        EXPECT_TRUE(pagine[1].contains("Istruzione 4"));
        EXPECT_TRUE(pagine[1].contains("Istruzione 5"));
    }
}

TEST(SchedaEsempio, FirstPageOfARawMaterialSheetIsRenderedForReview) {
    RICHIEDI_STRUMENTO("pdftoppm", "poppler-utils");
    Formati::impostaItaliani();
    Archivio a;
    quintar::eseguiScript(
        a.db,
        "CREATE TABLE MATERIA (CODICE VARCHAR(20) NOT NULL, NOMECOMMERCIALE VARCHAR(100),\n"
        "  CODICECATEGORIAMP VARCHAR(10), COMPOSIZIONE BLOB SUB_TYPE TEXT, MATERIAATTIVA DOUBLE "
        "PRECISION,\n"
        "  TOLLERANZAMA DOUBLE PRECISION, DATASTAMPA DATE, SIMBOLOGIARISCHIO VARCHAR(64), FRASIR "
        "VARCHAR(255),\n"
        "  FRASIS VARCHAR(255), FLAGSCHEDASICUREZZA VARCHAR(5), FLAGSCHEDATECNICA VARCHAR(5), INCI "
        "VARCHAR(255),\n"
        "  EINECS VARCHAR(20), NUMEROCAS VARCHAR(20), CODICEANALOGO VARCHAR(20), CODICEESTERNO "
        "VARCHAR(20),\n"
        "  CODICEFORNITORE VARCHAR(20), CONFEZIONE VARCHAR(64), PREZZO DOUBLE PRECISION,\n"
        "  ULTIMOAGGIORNPREZZO DATE, CODICEADR VARCHAR(10), GRUPPOADR VARCHAR(3), "
        "UBICAZIONEPRIMARIA VARCHAR(20),\n"
        "  UBICAZIONESTOCK VARCHAR(20));\n"
        "INSERT INTO MATERIA VALUES ('MP-ACIDO', 'Acido citrico anidro', 'ACIDI',\n"
        "  'Acido 2-idrossipropan-1,2,3-tricarbossilico, grado alimentare E330, cristalli "
        "anidri.',\n"
        "  99.5, 0.5, '2024-03-15', 'GHS07 Attenzione', 'H319 Provoca grave irritazione oculare',\n"
        "  'P280 Proteggere gli occhi. P305+P351+P338 In caso di contatto con gli occhi "
        "sciacquare.', '1', '1',\n"
        "  'Citric Acid', '201-069-1', '77-92-9', NULL, 'ACC-330', 'F012', 'Sacco 25 kg', 1.285,\n"
        "  '2024-02-01', NULL, NULL, 'A-03-2', 'MAG-B');\n");
    a.tr->restart();
    a.testa->SQL = {"SELECT * FROM MATERIA"};
    a.testa->open();
    a.righe->open();
    LavoroStampa job;
    a.collega(job);
    const QString dir = QCoreApplication::applicationDirPath();
    Documento doc(Layout::leggi(testoLayoutPredefinito("STSPEC.LST")), job.raccogli());
    const QString pdf = dir + "/scheda_esempio.pdf";
    ASSERT_TRUE(doc.scriviPdf(pdf));
    EXPECT_TRUE(doc.nomiSconosciuti().isEmpty()) << doc.nomiSconosciuti().join(", ").toStdString();
    EXPECT_TRUE(provareport::paginaPng(pdf, dir + "/scheda_esempio"));
}
