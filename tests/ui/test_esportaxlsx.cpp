// A list exported to a spreadsheet, read back with a real reader (openpyxl):
// the rows the list shows in its order and search, its columns as laid out,
// numbers as numbers and dates as dates; a cancel or a failed write leaves no
// file claiming to be the export.
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "support/strumenti.h"
#include "ui/esecuzione.h"
#include "ui/esportaxlsx.h"
#include "ui/grigliamodello.h"
#include "ui/grigliaquery.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quintar;

namespace {

// Every sheet of a workbook as openpyxl reads it: per cell the Python type of
// its value, the value and its number format; and the column widths.
const char* const kLettore = R"(
import json, sys, datetime
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
fogli = []
for ws in wb.worksheets:
    righe = []
    for r in ws.iter_rows():
        celle = []
        for c in r:
            v = c.value
            if v is None:
                t = ""
            elif isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                t = v.isoformat()
            elif isinstance(v, float):
                t = repr(v)
            else:
                t = str(v)
            celle.append([type(v).__name__, t, c.number_format])
        righe.append(celle)
    larghezze = {k: d.width for k, d in ws.column_dimensions.items()}
    fogli.append({"nome": ws.title, "righe": righe, "larghezze": larghezze})
print(json.dumps(fogli))
)";

const QString& python() {
    return prova::pythonConOpenpyxl();
}

} // namespace

namespace {

QJsonArray leggi(const QString& file) {
    QProcess p;
    p.start(python(), {"-c", kLettore, file});
    EXPECT_TRUE(p.waitForFinished(120000));
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.constData();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// Cell [tipo, valore, formato] of a sheet.
QJsonArray cella(const QJsonArray& fogli, int foglio, int riga, int colonna) {
    return fogli[foglio].toObject()["righe"].toArray()[riga].toArray()[colonna].toArray();
}
int righe(const QJsonArray& fogli, int foglio) {
    return int(fogli[foglio].toObject()["righe"].toArray().size());
}

struct Esportazione : ::testing::Test {
    prova::Cartella c;
    RegistraMessaggi msg;
    Database db;
    std::unique_ptr<Transaction> tr;
    std::unique_ptr<Query> q;
    std::unique_ptr<TCSDGrid> g;
    QTemporaryDir dir;
    QStringList base = {"SELECT * FROM ARTICOLI"};

    void SetUp() override {
        Formati::impostaItaliani();
        c.esegui(c.c().azienda(),
                 {"CREATE TABLE ARTICOLI (CODICE VARCHAR(10) NOT NULL, DESCRIZIONE VARCHAR(40), "
                  "PREZZO NUMERIC(15,2), PEZZI INTEGER, DENSITA DOUBLE PRECISION, DATA DATE, "
                  "DATAORA TIMESTAMP, CONSTRAINT ARTICOLI_PK PRIMARY KEY (CODICE))"});
        db.connect(c.c().azienda());
        Transaction t(&db);
        Query ins(&db, &t);
        ins.SQL = {"INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO, PEZZI, DENSITA, DATA, "
                   "DATAORA) VALUES (?,?,?,?,?,?,?)"};
        const std::vector<std::tuple<QString, QVariant, double, int, double, QDate, QDateTime>> r =
            {
                {"A01", "rosa canina", 10.5, 3, 1.025, QDate(2024, 1, 10),
                 QDateTime(QDate(2024, 1, 10), QTime(9, 30, 15))},
                {"A02", "Rosmarino; \"fresco\"", 12.5, 40, 0.98, QDate(2024, 1, 31),
                 QDateTime(QDate(2024, 1, 31), QTime(10, 0))},
                {"A03", QVariant(), 7, 0, 1.1, QDate(2023, 12, 31),
                 QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59))},
                {"A04", QString("O") + QChar(0xB4) + "Brien àèì", 1234567.89, -5, 0.5,
                 QDate(2024, 2, 29), QDateTime(QDate(2024, 2, 29), QTime(0, 0))},
            };
        for (const auto& [codice, descrizione, prezzo, pezzi, densita, data, quando] : r) {
            ins.setParams({codice, descrizione, prezzo, pezzi, densita, data, quando});
            ins.execSQL();
        }
        t.commit();
        apri();
    }
    void TearDown() override {
        g.reset();
        q.reset();
    }

    void apri() {
        g.reset();
        q.reset();
        tr = std::make_unique<Transaction>(&db);
        q = std::make_unique<Query>(&db, tr.get());
        g = std::make_unique<TCSDGrid>();
        g->resize(900, 400);
        g->Situazione = 28;
        g->Utente = 3;
        g->NomeTabella = "ARTICOLI";
        g->AbilitaRicerca = true;
        g->collega(q.get(), [this] { return base; });
        q->open();
    }

    // Many more rows, committed.
    void aggiungi(int n) {
        Transaction t(&db);
        Query ins(&db, &t);
        ins.SQL = {"INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO, PEZZI, DATA) VALUES "
                   "(?,?,?,?,?)"};
        for (int i = 0; i < n; ++i) {
            ins.setParams({QString("B%1").arg(i, 6, 10, QChar('0')), QString("Articolo %1").arg(i),
                           i * 0.25, i, QDate(2024, 1, 1).addDays(i % 365)});
            ins.execSQL();
        }
        t.commit();
        q->close();
        tr->restart();
        q->open();
    }

    // The save dialog answered with this file.
    void scegli(const QString& file) {
        msg->dialogo = [file](QDialog* d) -> int {
            auto* f = qobject_cast<QFileDialog*>(d);
            if (!f) {
                return QDialog::Rejected;
            }
            f->selectFile(file);
            return QDialog::Accepted;
        };
    }
    QStringList fileNellaCartella() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

TEST_F(Esportazione, LElencoSiRileggeComeLaGrigliaLoMostra) {
    RICHIEDI_OPENPYXL();
    // the list as the user arranged it: a narrower statement, ordered by
    // price, the price moved first, a title changed, the date and time
    // hidden, a width set
    base = {"SELECT * FROM ARTICOLI WHERE CODICE<>'A03'"};
    q->close();
    q->open();
    g->OrdinaColonna(g->modello()->indiceCampo("PREZZO"), false);
    const int prezzo = g->modello()->indiceCampo("PREZZO");
    g->horizontalHeader()->moveSection(g->horizontalHeader()->visualIndex(prezzo), 0);
    g->modello()->setTitolo(g->modello()->indiceCampo("DESCRIZIONE"), "Descrizione articolo");
    g->setColumnHidden(g->modello()->indiceCampo("DATAORA"), true);
    g->setColumnWidth(g->modello()->indiceCampo("CODICE"), 145);
    QStringList mostrati;
    for (int i = 0; i < g->modello()->rowCount(); ++i) {
        mostrati << g->modello()->valore(i, g->modello()->indiceCampo("CODICE")).toString();
    }

    const QString file = dir.filePath("articoli.xlsx");
    scegli(file);
    EXPECT_EQ(g->EsportaExcel(), file);
    EXPECT_TRUE(msg->testi().contains(
        QString("Esportazione completata: %1 righe in %2").arg(mostrati.size()).arg(file)))
        << msg->testi().join('|').toStdString();
    EXPECT_EQ(fileNellaCartella(), QStringList{"articoli.xlsx"});
    // readable as any new file is, not kept to its owner like a temporary one
    const mode_t maschera = ::umask(0);
    ::umask(maschera);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~maschera);

    const QJsonArray f = leggi(file);
    ASSERT_EQ(f.size(), 1);
    EXPECT_EQ(f[0].toObject()["nome"].toString(), "Foglio1");
    // the titles in the order on screen, the hidden column left out
    QStringList titoli;
    for (const auto& v : f[0].toObject()["righe"].toArray()[0].toArray()) {
        titoli << v.toArray()[1].toString();
    }
    EXPECT_EQ(titoli, (QStringList{"PREZZO", "CODICE", "Descrizione articolo", "PEZZI", "DENSITA",
                                   "DATA"}));
    // the rows of the list, in its order
    ASSERT_EQ(righe(f, 0), mostrati.size() + 1);
    QStringList letti;
    for (int r = 1; r < righe(f, 0); ++r) {
        letti << cella(f, 0, r, 1)[1].toString();
    }
    EXPECT_EQ(letti, mostrati);
    ASSERT_EQ(mostrati.size(), 3);
    EXPECT_TRUE(mostrati == (QStringList{"A01", "A02", "A04"}) ||
                mostrati == (QStringList{"A04", "A02", "A01"}))
        << mostrati.join(',').toStdString();
    const int a04 = int(letti.indexOf("A04")) + 1;
    const int a02 = int(letti.indexOf("A02")) + 1;
    const int a01 = int(letti.indexOf("A01")) + 1;
    // numbers are numbers, with the column's decimals as their format
    EXPECT_EQ(cella(f, 0, a04, 0)[0].toString(), "float");
    EXPECT_EQ(cella(f, 0, a04, 0)[1].toString(), "1234567.89");
    EXPECT_EQ(cella(f, 0, a04, 0)[2].toString(), "0.00");
    EXPECT_EQ(cella(f, 0, a04, 3)[0].toString(), "int");
    EXPECT_EQ(cella(f, 0, a04, 3)[1].toString(), "-5");
    EXPECT_EQ(cella(f, 0, a01, 4)[1].toString(), "1.025");
    // dates are dates, shown day first
    EXPECT_EQ(cella(f, 0, a04, 5)[0].toString(), "datetime");
    EXPECT_EQ(cella(f, 0, a04, 5)[1].toString(), "2024-02-29T00:00:00");
    EXPECT_EQ(cella(f, 0, a04, 5)[2].toString(), "dd/mm/yyyy");
    // texts whole, whatever they hold
    EXPECT_EQ(cella(f, 0, a04, 2)[1].toString(), QString("O") + QChar(0xB4) + "Brien àèì");
    EXPECT_EQ(cella(f, 0, a02, 2)[1].toString(), "Rosmarino; \"fresco\"");
    // the width of the layout, in the spreadsheet's characters
    const double larghezza = f[0].toObject()["larghezze"].toObject()["B"].toDouble();
    EXPECT_NEAR(larghezza, (145 - 5) / 7.0, 1.0);
}

TEST_F(Esportazione, DateEOreDiUnTimestampENullVuoti) {
    RICHIEDI_OPENPYXL();
    Transaction t(&db);
    Query r(&db, &t);
    r.SQL = {"SELECT CODICE, DESCRIZIONE, DATAORA FROM ARTICOLI ORDER BY CODICE"};
    r.open();
    const QString file = dir.filePath("ore.xlsx");
    const EsitoEsportazione e = scriviXlsx(r, {}, file);
    ASSERT_EQ(e.stato, EsitoEsportazione::Completata) << e.messaggio.toStdString();
    EXPECT_EQ(e.righe, 4);
    const QJsonArray f = leggi(file);
    EXPECT_EQ(cella(f, 0, 1, 2)[1].toString(), "2024-01-10T09:30:15");
    EXPECT_EQ(cella(f, 0, 1, 2)[2].toString(), "dd/mm/yyyy hh:mm:ss");
    // A03 has no description: the cell is empty, not a text "NULL"
    EXPECT_EQ(cella(f, 0, 3, 0)[1].toString(), "A03");
    EXPECT_EQ(cella(f, 0, 3, 1)[0].toString(), "NoneType");
}

TEST_F(Esportazione, OltreLeRigheDiUnFoglioSiContinuaSulSeguenteConITitoli) {
    RICHIEDI_OPENPYXL();
    aggiungi(246); // 250 rows
    Transaction t(&db);
    Query r(&db, &t);
    r.SQL = {"SELECT CODICE, PEZZI FROM ARTICOLI ORDER BY CODICE"};
    r.open();
    const QString file = dir.filePath("fogli.xlsx");
    std::vector<qint64> passi;
    const EsitoEsportazione e = scriviXlsx(
        r, {{"CODICE", "Codice", 0}, {"PEZZI", "Pezzi", 0}}, file,
        [&passi](qint64 n) {
            passi.push_back(n);
            return true;
        },
        101);
    ASSERT_EQ(e.stato, EsitoEsportazione::Completata) << e.messaggio.toStdString();
    EXPECT_EQ(e.righe, 250);
    EXPECT_EQ(passi.front(), 0);
    EXPECT_EQ(passi.back(), 250);
    const QJsonArray f = leggi(file);
    ASSERT_EQ(f.size(), 3);
    EXPECT_EQ(f[2].toObject()["nome"].toString(), "Foglio3");
    EXPECT_EQ(righe(f, 0), 101);
    EXPECT_EQ(righe(f, 1), 101);
    EXPECT_EQ(righe(f, 2), 51);
    EXPECT_EQ(cella(f, 1, 0, 0)[1].toString(), "Codice");
    EXPECT_EQ(cella(f, 2, 50, 0)[1].toString(), "B000245");
}

TEST_F(Esportazione, AnnullaLasciaIlFileDiPrimaEnessunAltro) {
    aggiungi(3000);
    const QString file = dir.filePath("articoli.xlsx");
    {
        QFile vecchio(file);
        ASSERT_TRUE(vecchio.open(QIODevice::WriteOnly));
        vecchio.write("vecchio");
    }
    scegli(file);
    msg->risposte = {"Sì"}; // replace the file there
    // "Annulla" pressed as soon as the progress window shows
    bool premuto = false;
    bool bloccata = false;
    QTimer::singleShot(0, [&premuto, &bloccata, this] {
        // meanwhile the screen is held: it neither closes nor starts another run
        bloccata = EsecuzioneInCorso::inCorso(g.get());
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "EsportazioneForm" && w->isVisible()) {
                w->findChild<QPushButton*>("ButtonAnnulla")->click();
                premuto = true;
            }
        }
    });
    EXPECT_EQ(g->EsportaExcel(), QString());
    EXPECT_TRUE(premuto);
    EXPECT_TRUE(bloccata);
    EXPECT_FALSE(EsecuzioneInCorso::inCorso(g.get()));
    EXPECT_TRUE(msg->testi().join('|').contains("esiste già. Sostituirlo?"));
    EXPECT_TRUE(msg->testi().contains(
        QString("Esportazione annullata: il file %1 non è stato scritto").arg(file)))
        << msg->testi().join('|').toStdString();
    QFile vecchio(file);
    ASSERT_TRUE(vecchio.open(QIODevice::ReadOnly));
    EXPECT_EQ(vecchio.readAll(), "vecchio");
    EXPECT_EQ(fileNellaCartella(), QStringList{"articoli.xlsx"});
    // the window is usable again, no progress window left
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_NE(w->objectName(), "EsportazioneForm");
    }

    // answered "No" to the replacement nothing runs
    msg->pulisci();
    msg->risposte = {"No"};
    EXPECT_EQ(g->EsportaExcel(), QString());
    EXPECT_EQ(msg->testi().size(), 1);
}

TEST_F(Esportazione, UnArrestoAMetaNonLasciaNienteDiScritto) {
    aggiungi(1000);
    Transaction t(&db);
    Query r(&db, &t);
    r.SQL = {"SELECT * FROM ARTICOLI ORDER BY CODICE"};
    r.open();
    const QString file = dir.filePath("meta.xlsx");
    qint64 ultimo = -1;
    const EsitoEsportazione e = scriviXlsx(r, {}, file, [&ultimo](qint64 n) {
        ultimo = n;
        return n < 512;
    });
    EXPECT_EQ(e.stato, EsitoEsportazione::Annullata);
    EXPECT_EQ(ultimo, 512);
    EXPECT_EQ(e.righe, 512);
    EXPECT_EQ(fileNellaCartella(), QStringList());
}

TEST_F(Esportazione, UnFileCheNonSiPuoScrivereNonSembraRiuscito) {
    Transaction t(&db);
    Query r(&db, &t);
    r.SQL = {"SELECT CODICE FROM ARTICOLI"};
    // a folder that is not there
    r.open();
    EsitoEsportazione e = scriviXlsx(r, {}, dir.filePath("manca/articoli.xlsx"));
    EXPECT_EQ(e.stato, EsitoEsportazione::Errore);
    EXPECT_TRUE(e.messaggio.contains("non esiste")) << e.messaggio.toStdString();
    r.close();
    // the name is taken by a folder: the workbook is written, the last step
    // fails, and nothing is left beside it
    ASSERT_TRUE(QDir(dir.path()).mkdir("occupato.xlsx"));
    r.open();
    e = scriviXlsx(r, {}, dir.filePath("occupato.xlsx"));
    EXPECT_EQ(e.stato, EsitoEsportazione::Errore);
    EXPECT_FALSE(e.messaggio.isEmpty());
    EXPECT_EQ(fileNellaCartella(), QStringList());
    r.close();
    // a field the list does not have
    r.open();
    e = scriviXlsx(r, {{"NONCE", "", 0}}, dir.filePath("campo.xlsx"));
    EXPECT_EQ(e.stato, EsitoEsportazione::Errore);
    EXPECT_EQ(fileNellaCartella(), QStringList());
    r.close();

    // through the grid the user reads why
    scegli(dir.filePath("manca/articoli.xlsx"));
    EXPECT_EQ(g->EsportaExcel(), QString());
    EXPECT_TRUE(msg->testi().join('|').startsWith("Impossibile scrivere il file"))
        << msg->testi().join('|').toStdString();
}

TEST_F(Esportazione, LaFinestraQueryEsportaInExcelETieneIlCsv) {
    RICHIEDI_OPENPYXL();
    TGridQueryForm f(&db, "ARTICOLI");
    ASSERT_TRUE(f.apri());
    EXPECT_EQ(f.ButtonEsporta->text(), "&Esporta CSV");
    const QString file = dir.filePath("query.xlsx");
    scegli(file);
    EXPECT_EQ(f.EsportaExcel(), file);
    const QJsonArray x = leggi(file);
    ASSERT_EQ(righe(x, 0), 5);
    EXPECT_EQ(cella(x, 0, 0, 0)[1].toString(), "CODICE");
    EXPECT_TRUE(f.esportaCSV(dir.filePath("query.csv")));
}

TEST_F(Esportazione, IlCsvSuUnFileCheCEGiaLoSostituisceSoloSeConfermato) {
    TGridQueryForm f(&db, "ARTICOLI");
    ASSERT_TRUE(f.apri());
    const QString file = dir.filePath("query.csv");
    auto contenuto = [&] {
        QFile c(file);
        return c.open(QIODevice::ReadOnly) ? c.readAll() : QByteArray();
    };
    {
        QFile vecchio(file);
        ASSERT_TRUE(vecchio.open(QIODevice::WriteOnly));
        vecchio.write("vecchio");
    }
    const QString domanda =
        "Il file " + QDir::toNativeSeparators(file) + " esiste già. Sostituirlo?";
    // typed without its suffix it is the same file, and the question is ours
    scegli(dir.filePath("query"));
    msg->risposte = {"No"};
    f.Esporta();
    EXPECT_EQ(msg->testi(), QStringList{domanda});
    EXPECT_EQ(contenuto(), "vecchio");

    msg->pulisci();
    msg->risposte = {"Sì"};
    f.Esporta();
    EXPECT_EQ(msg->testi(), (QStringList{domanda, "Esportazione completata: " + file}));
    EXPECT_TRUE(contenuto().startsWith("\xEF\xBB\xBF"
                                       "CODICE;"))
        << contenuto().toStdString();

    // a new file is written without asking; a cancelled choice asks nothing
    msg->pulisci();
    scegli(dir.filePath("nuovo.csv"));
    f.Esporta();
    EXPECT_EQ(msg->testi(), QStringList{"Esportazione completata: " + dir.filePath("nuovo.csv")});
    msg->pulisci();
    msg->dialogo = [](QDialog*) { return int(QDialog::Rejected); };
    f.Esporta();
    EXPECT_TRUE(msg->testi().isEmpty());
}

TEST(SqlElenco, UnElencoApertoPiuGiuSiEsportaDallaPrimaRiga) {
    EXPECT_EQ(sqlSenzaFinestra({"SELECT * FROM A", "ORDER BY A.X ROWS 4097 TO 2147483647"}),
              (QStringList{"SELECT * FROM A", "ORDER BY A.X"}));
    EXPECT_EQ(sqlSenzaFinestra({"SELECT * FROM A", "ORDER BY A.X"}),
              (QStringList{"SELECT * FROM A", "ORDER BY A.X"}));
}

} // namespace
