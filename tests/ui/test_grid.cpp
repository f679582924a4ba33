#include "inizializza.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "ui/grigliamodello.h"
#include "ui/grigliaquery.h"
#include "ui/tcsdgrid.h"
#include "ui/tpcsdgridform.h"
#include "ui/trcsdgridform.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <firebird/Interface.h>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

const QStringList kBase = {"SELECT * FROM ARTICOLI"};

// A company archive with a table of articles and a screen-like owner of a
// grid: its BeforeOpen builds the base SQL unless a grid search runs.
struct Griglia : ::testing::Test {
    prova::Cartella c;
    RegistraMessaggi messaggi;
    Database db;
    std::unique_ptr<Transaction> tr;
    std::unique_ptr<Query> q;
    std::unique_ptr<TCSDGrid> g;
    QStringList base = kBase;

    void SetUp() override {
        Formati::impostaItaliani();
        c.esegui(c.c().azienda(),
                 {"CREATE TABLE ARTICOLI (CODICE VARCHAR(10) NOT NULL, DESCRIZIONE VARCHAR(40), "
                  "PREZZO NUMERIC(15,2), DATAORA TIMESTAMP, NOTE BLOB SUB_TYPE TEXT, "
                  "CONSTRAINT ARTICOLI_PK PRIMARY KEY (CODICE))"});
        db.connect(c.c().azienda());
        Transaction t(&db);
        Query ins(&db, &t);
        ins.SQL = {"INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO, DATAORA) VALUES (?,?,?,?)"};
        const std::vector<std::tuple<QString, QString, double, QDateTime>> righe = {
            {"A01", "rosa canina", 10.5, QDateTime(QDate(2024, 1, 10), QTime(9, 0))},
            {"A02", "Rosmarino", 12.5, QDateTime(QDate(2024, 1, 31), QTime(10, 0))},
            {"A03", "Basilico", 7, QDateTime(QDate(2024, 2, 1), QTime(8, 0))},
            {"A04", QString("O") + QChar(0xB4) + "BRIEN SPA", 30,
             QDateTime(QDate(2023, 12, 31), QTime(23, 0))},
            {"A05", "Timo", 3.25, QDateTime(QDate(2024, 3, 5), QTime(12, 0))},
        };
        for (const auto& [codice, descrizione, prezzo, quando] : righe) {
            ins.setParams({codice, descrizione, prezzo, quando});
            ins.execSQL();
        }
        t.commit();
        apri();
    }

    void apri(bool conNomeTabella = true) {
        g.reset();
        q.reset();
        tr = std::make_unique<Transaction>(&db);
        q = std::make_unique<Query>(&db, tr.get());
        g = std::make_unique<TCSDGrid>();
        g->resize(800, 400);
        g->Situazione = 28;
        g->Utente = 3;
        if (conNomeTabella) {
            g->NomeTabella = "ARTICOLI";
        }
        g->AbilitaRicerca = true;
        g->collega(q.get(), [this] { return base; });
        q->open();
    }

    // More articles, committed by another attachment.
    void aggiungi(const std::vector<std::tuple<QString, QString, double>>& righe) {
        QStringList frasi;
        for (const auto& [codice, descrizione, prezzo] : righe) {
            frasi << QString("INSERT INTO ARTICOLI (CODICE, DESCRIZIONE, PREZZO) VALUES "
                             "('%1', '%2', %3)")
                         .arg(codice, descrizione)
                         .arg(prezzo);
        }
        c.esegui(c.c().azienda(), frasi);
        nuovaLettura();
    }
    // The list's transaction starts again, to see what others committed.
    void nuovaLettura() {
        q->close();
        tr->restart();
    }
    void aggiungiCodici(const QStringList& codici) {
        std::vector<std::tuple<QString, QString, double>> righe;
        for (const QString& k : codici) {
            righe.emplace_back(k, "x", 1);
        }
        aggiungi(righe);
    }
    int colonna(const QString& nome) const { return g->modello()->indiceCampo(nome); }
    QString cella(int riga, const QString& nome) const {
        return g->modello()->data(g->modello()->index(riga, colonna(nome))).toString();
    }
    QStringList codici() const {
        QStringList r;
        for (int i = 0; i < g->modello()->rowCount(); ++i) {
            r << cella(i, "CODICE");
        }
        return r;
    }
    void suColonna(const QString& nome) {
        g->setCurrentIndex(g->modello()->index(0, colonna(nome)));
    }
    int conta(const QString& select) { return c.conta(c.c().azienda(), select); }
};

ParametriRicerca ricerca(const QString& testo, int tipo = 0, bool upper = true, int ordine = 1) {
    ParametriRicerca p;
    p.testo = testo;
    p.tipo = tipo;
    p.upper = upper;
    p.ordinamento = ordine;
    return p;
}

// The plan the archive makes for the statement of an open list.
QString pianoDi(Query& q) {
    using namespace Firebird;
    ThrowStatusWrapper st(fb_get_master_interface()->getStatus());
    const QByteArray testo = q.sqlText().toUtf8();
    IStatement* s =
        q.database()->handle()->prepare(&st, q.transaction()->ensure(), 0, testo.constData(), 3, 0);
    const QString p = QString::fromUtf8(s->getPlan(&st, false));
    s->free(&st);
    st.dispose();
    return p;
}

} // namespace

TEST_F(Griglia, RowsComeInBlocksAndOnlyFetchedRowsAreKept) {
    Transaction t(&db);
    Query ins(&db, &t);
    ins.SQL = {"INSERT INTO ARTICOLI (CODICE, DESCRIZIONE) VALUES (?, ?)"};
    for (int i = 0; i < 1000; ++i) {
        ins.setParams({QString("B%1").arg(i, 4, 10, QChar('0')), "riga"});
        ins.execSQL();
    }
    t.commit();
    tr->restart();
    g->modello()->DimensioneBlocco = 100;
    q->open();
    EXPECT_EQ(g->modello()->rowCount(), 100) << "one block when the query opens";
    EXPECT_TRUE(g->modello()->canFetchMore({}));
    g->modello()->fetchMore({});
    EXPECT_EQ(g->modello()->rowCount(), 200);
    while (g->modello()->canFetchMore({})) {
        g->modello()->fetchMore({});
    }
    EXPECT_EQ(g->modello()->rowCount(), 1005);
    EXPECT_EQ(cella(0, "CODICE"), "A01");
    EXPECT_EQ(cella(1004, "CODICE"), "B0999");
}

TEST_F(Griglia, TheDefaultOrderIsThePrimaryKeyAndNoneWithoutATable) {
    aggiungi({{"A00", "Zenzero", 1}});
    q->open();
    EXPECT_EQ(codici(), QStringList({"A00", "A01", "A02", "A03", "A04", "A05"}));
    apri(false);
    EXPECT_EQ(q->SQL, kBase);
    q->open();
    EXPECT_EQ(q->SQL, kBase) << "reopening never stacks order lines";
}

TEST_F(Griglia, TextSearchWithUpperBuildsTheConditionAndItsOrder) {
    suColonna("DESCRIZIONE");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ros")));
    EXPECT_EQ(codici(), QStringList({"A01", "A02", "A05"})) << "from ROS on, case ignored";
    q->open();
    EXPECT_EQ(codici(), QStringList({"A01", "A02", "A05"})) << "the screen's reopen keeps it";

    base = {"SELECT * FROM ARTICOLI", "WHERE (PREZZO > 5)"};
    q->open();
    suColonna("DESCRIZIONE");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ros")));
    EXPECT_EQ(codici(), QStringList({"A01", "A02"})) << "the screen's own condition stays";
}

TEST_F(Griglia, ASearchServedByItsIndexKeepsTiesInKeyOrderAcrossScreenfuls) {
    // the index as an archive's DDL may write it: the column in capitals, then the key
    c.esegui(c.c().azienda(),
             {"CREATE INDEX ARTICOLI_RICERCA_DESCR ON ARTICOLI COMPUTED BY "
              "(upper(DESCRIZIONE)||ascii_char(1)||CODICE)",
              "CREATE DESCENDING INDEX ARTICOLI_RICERCA_DESCR_D ON ARTICOLI COMPUTED BY "
              "(UPPER(DESCRIZIONE) || ASCII_CHAR(1) || CODICE)"});
    // thirty rows tied in capitals, stored out of key order: the archive
    // gives tied rows of an index in the order it stores them
    std::vector<std::tuple<QString, QString, double>> righe;
    QStringList salvie;
    for (int i = 0; i < 30; ++i) {
        const QString codice = QString("S%1").arg(i * 7 % 30, 2, 10, QChar('0'));
        righe.emplace_back(codice, i % 3 == 0 ? "salvia" : i % 3 == 1 ? "SALVIA" : "Salvia", 1);
        salvie << codice;
    }
    aggiungi(righe);
    std::sort(salvie.begin(), salvie.end());
    QStringList inverse = salvie;
    std::reverse(inverse.begin(), inverse.end());
    apri();
    g->modello()->DimensioneBlocco = 8;
    suColonna("DESCRIZIONE");
    auto tutte = [&] {
        while (g->modello()->canFetchMore({})) {
            g->modello()->fetchMore({});
        }
        return codici();
    };
    auto piano = [&] { return pianoDi(*q); };
    // the row numbers the archive gives in the list's order, as a card
    // finds a row's place
    auto numerate = [&] {
        QStringList sql = q->SQL;
        const QString ordine = sql.takeLast();
        const QString testo = sql.join('\n');
        Query n(&db, tr.get());
        n.SQL = {"SELECT CODICE FROM (SELECT ROW_NUMBER() OVER (" + ordine +
                     ") AS R, ARTICOLI.CODICE " + testo.mid(testo.indexOf("FROM")) + ")",
                 "ORDER BY R"};
        QStringList r;
        for (n.open(); !n.eof(); n.next()) {
            r << n.field(0).asString();
        }
        return r;
    };

    ASSERT_TRUE(g->EseguiRicerca(ricerca("salvia "))) << "a blank at the end never counts";
    EXPECT_EQ(g->modello()->rowCount(), 8);
    EXPECT_FALSE(piano().contains("SORT")) << piano().toStdString();
    EXPECT_EQ(tutte(), salvie + QStringList{"A05"}) << "tied rows by key over four screenfuls";
    EXPECT_EQ(numerate(), salvie + QStringList{"A05"});

    ASSERT_TRUE(g->EseguiRicerca(ricerca("sal", 2, true, 2)));
    EXPECT_FALSE(piano().contains("SORT")) << piano().toStdString();
    EXPECT_EQ(tutte(), inverse) << "starts with, descending: the key descending too";
    EXPECT_EQ(numerate(), inverse);
    ASSERT_TRUE(g->EseguiRicerca(ricerca("S_LV", 2)));
    EXPECT_EQ(tutte(), salvie) << "a wildcard typed keeps its meaning";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("alvi", 1)));
    EXPECT_EQ(tutte(), salvie) << "contains: the same order";
    EXPECT_TRUE(messaggi->testi().isEmpty()) << messaggi->testi().join('|').toStdString();
}

TEST(IndiciRicerca, EveryListSearchIndexOfTheDdlAndOfTheScriptServesItsSearch) {
    prova::Cartella demo(true);
    RegistraMessaggi messaggi;
    const std::vector<std::pair<QString, QString>> colonne = {
        {"FORNITO", "CODICE"},        {"FORNITO", "RAGSOC"}, {"MATER", "CODICE"},
        {"MATER", "NOMECOMMERCIALE"}, {"IMBALLI", "CODICE"}, {"IMBALLI", "NOMEIMBALLO"},
        {"PRODOT", "CODICE"},         {"PRODOT", "NOME"},    {"FORMUL", "NOME"},
        {"COSTI", "DESCRIZIONE"},     {"FABBRIC", "CODICE"}, {"FABBRIC", "NOMEPRODOTTO"},
        {"CAPCON1", "DESCRIZIONE"}};
    auto verifica = [&] {
        Database db;
        db.connect(demo.c().azienda());
        for (const auto& [tabella, colonna] : colonne) {
            SCOPED_TRACE((tabella + "." + colonna).toStdString());
            Transaction tr(&db);
            Query q(&db, &tr);
            TCSDGrid g;
            g.NomeTabella = tabella;
            g.collega(&q, [t = tabella] { return QStringList{"SELECT * FROM " + t}; });
            q.open();
            const int c = g.modello()->indiceCampo(colonna);
            ASSERT_GE(c, 0);
            if (g.modello()->rowCount() > 0) {
                g.setCurrentIndex(g.modello()->index(0, c));
            } else { // an empty list searches on its first column
                g.horizontalHeader()->moveSection(g.horizontalHeader()->visualIndex(c), 0);
            }
            for (const int ordine : {1, 2}) {
                ASSERT_TRUE(g.EseguiRicerca(ricerca("a", 0, true, ordine)));
                const QString p = pianoDi(q);
                EXPECT_FALSE(p.contains("SORT")) << p.toStdString() << '\n'
                                                 << q.sqlText().toStdString();
                EXPECT_TRUE(p.contains(tabella + "_RICERCA_" + colonna + (ordine == 2 ? "_D" : "")))
                    << p.toStdString();
            }
        }
    };
    verifica();
    // an older archive: its plain indexes, then the script
    QStringList frasi;
    for (const auto& [tabella, colonna] : colonne) {
        frasi << "DROP INDEX " + tabella + "_RICERCA_" + colonna
              << "DROP INDEX " + tabella + "_RICERCA_" + colonna + "_D";
        if (tabella != "CAPCON1") { // it keeps its own, for matching a capacity
            frasi << "CREATE INDEX " + tabella + "_UPPER_" + colonna + " ON " + tabella +
                         " COMPUTED BY (UPPER(" + colonna + "))";
        }
    }
    demo.esegui(demo.c().azienda(), frasi);
    {
        Database db;
        db.connect(demo.c().azienda());
        eseguiScript(db, tovaris::schema("indici_ricerca.sql"));
    }
    verifica();
    EXPECT_TRUE(messaggi->testi().isEmpty()) << messaggi->testi().join('|').toStdString();
}

TEST_F(Griglia, LikeSearchesAndAnApostropheFindTheAccentedText) {
    suColonna("DESCRIZIONE");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ros", 2, true, 1)));
    EXPECT_EQ(codici(), QStringList({"A01", "A02"})) << "starts with";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ari", 1, false, 2)));
    EXPECT_EQ(codici(), QStringList({"A02"})) << "contains, case as typed";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("o", 1, false, 2)));
    EXPECT_EQ(codici(), QStringList({"A01", "A05", "A02", "A03"})) << "descending, as stored";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ARI", 1, false, 2)));
    EXPECT_TRUE(codici().isEmpty()) << "without Upper the case counts";

    ASSERT_TRUE(g->EseguiRicerca(ricerca("o'brien", 2)));
    EXPECT_EQ(codici(), QStringList({"A04"})) << "the column chosen stays after an empty result";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("x') OR (1=1", 1)));
    EXPECT_TRUE(codici().isEmpty()) << "a quote typed cannot end the literal";
    EXPECT_TRUE(messaggi->testi().isEmpty());
}

TEST_F(Griglia, EmptyTextRemovesTheConditionAndNumbersCompareAsNumbers) {
    suColonna("PREZZO");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("12,5")));
    EXPECT_EQ(codici(), QStringList({"A02", "A04"}));
    ASSERT_TRUE(g->EseguiRicerca(ricerca("7")));
    EXPECT_EQ(codici(), QStringList({"A03", "A01", "A02", "A04"})) << "7 is less than 10,5";
    EXPECT_FALSE(g->EseguiRicerca(ricerca("12,x"))) << "not yet a number: nothing runs";
    EXPECT_EQ(codici(), QStringList({"A03", "A01", "A02", "A04"}));
    // a point is refused, never read as a decimal or as thousands
    EXPECT_FALSE(g->EseguiRicerca(ricerca("10.5")));
    EXPECT_FALSE(g->EseguiRicerca(ricerca("1.025", 1)));
    EXPECT_EQ(codici(), QStringList({"A03", "A01", "A02", "A04"}));
    ASSERT_TRUE(g->EseguiRicerca(ricerca("2,5", 1)));
    EXPECT_EQ(codici(), QStringList({"A02"})) << "a part of a number, as typed";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("")));
    EXPECT_TRUE(g->CondizioneRicerca.isEmpty());
    EXPECT_EQ(codici().size(), 5);
}

// A part of a number is searched as the database writes it; a text that no
// number holds (a quote, an accent, a letter) finds nothing to search and
// reaches no statement, where it could only fail.
TEST_F(Griglia, ALikeSearchOfANumberWithTextNoNumberHoldsRunsNothing) {
    suColonna("PREZZO");
    for (const QString& t : {QStringLiteral("'"), QStringLiteral("à€"), QStringLiteral("-0x")}) {
        EXPECT_FALSE(g->EseguiRicerca(ricerca(t, 1))) << qPrintable(t);
    }
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
    EXPECT_EQ(codici().size(), 5);
    ASSERT_TRUE(g->EseguiRicerca(ricerca("-2,5", 1)));
    EXPECT_TRUE(codici().isEmpty()) << "no price is negative";
    EXPECT_TRUE(messaggi->testi().isEmpty());
}

TEST_F(Griglia, ATextLongerThanItsColumnFindsWhatComesAfterItOrNothing) {
    suColonna("CODICE");
    const QString lungo = "A02" + QString(10000, 'Z');
    ASSERT_TRUE(g->EseguiRicerca(ricerca(lungo)));
    EXPECT_EQ(codici(), QStringList({"A03", "A04", "A05"})) << "A02 itself comes before it";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("A02" + QString(8, '0'), 0, false)));
    EXPECT_EQ(codici(), QStringList({"A03", "A04", "A05"})) << "one longer than the column";
    EXPECT_FALSE(g->EseguiRicerca(ricerca(lungo, 2))) << "nothing begins with it";
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
}

TEST_F(Griglia, DateSearchesTakeOneOrTwoDatesAndTheWholeLastDay) {
    suColonna("DATAORA");
    ParametriRicerca p;
    p.data1 = "01/01/2024";
    ASSERT_TRUE(g->EseguiRicerca(p));
    EXPECT_EQ(codici(), QStringList({"A01", "A02", "A03", "A05"})) << "ascending by date";
    p.data2 = "31/01/2024";
    ASSERT_TRUE(g->EseguiRicerca(p));
    EXPECT_EQ(codici(), QStringList({"A01", "A02"})) << "a row at 10:00 of the last day is in";
    p.data1 = "1/1/24";
    EXPECT_FALSE(g->EseguiRicerca(p)) << "a date not yet complete does not search";
}

TEST_F(Griglia, AComputedColumnIsSearchedAndOrderedThroughItsExpression) {
    EXPECT_EQ(espressioneAlias("SELECT A.*, A.PREZZO * 2 AS DOPPIO, (SELECT MAX(X) FROM B "
                               "WHERE B.K=A.K) ULTIMO FROM A",
                               "ultimo"),
              "(SELECT MAX(X) FROM B WHERE B.K=A.K)");
    EXPECT_EQ(espressioneAlias("SELECT COALESCE(A.X, 'a, b') AS \"Dop\" FROM A", "Dop"),
              "COALESCE(A.X, 'a, b')");
    EXPECT_EQ(espressioneAlias("SELECT A.DOPPIO FROM A", "DOPPIO"), "");
    EXPECT_EQ(espressioneAlias("SELECT DISTINCT FIRST 10 A.X * 2 AS D, A.Y FROM A", "D"),
              "A.X * 2");
    EXPECT_EQ(espressioneAlias("SELECT /* it's, here */ A.X + 1 N -- a, b\n FROM A", "N"),
              "A.X + 1");
    const QString conEstrazione = "SELECT EXTRACT(YEAR FROM A.D) AS ANNO, 'FROM' F FROM A";
    EXPECT_EQ(posizioneFromPrincipale(conEstrazione), conEstrazione.lastIndexOf("FROM"));
    EXPECT_EQ(posizioneFromPrincipale("SELECT 1"), -1);

    base = {"SELECT ARTICOLI.*, ARTICOLI.PREZZO * 2 AS DOPPIO FROM ARTICOLI"};
    q->open();
    ASSERT_EQ(codici().size(), 5);
    suColonna("DOPPIO");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("25", 0, true, 2)));
    EXPECT_EQ(codici(), QStringList({"A04", "A02"}));
    EXPECT_TRUE(messaggi->testi().isEmpty()) << messaggi->testi().join('|').toStdString();
    q->open();
    EXPECT_EQ(codici().size(), 2) << "the screen's reopen keeps the search";
    ASSERT_TRUE(g->RicercaGenerica("60"));
    EXPECT_EQ(codici(), QStringList({"A04"})) << "the generic search looks at it too";
}

TEST_F(Griglia, ADatabaseErrorShowsItsMessageAndLeavesAGridToRefresh) {
    suColonna("PREZZO");
    EXPECT_FALSE(g->EseguiRicerca(ricerca("99999999999999999999999999")));
    ASSERT_EQ(messaggi->testi().size(), 1);
    EXPECT_TRUE(g->CondizioneRicerca.isEmpty());
    q->open();
    EXPECT_EQ(codici().size(), 5) << "the screen's refresh rebuilds the list";
}

TEST_F(Griglia, RowsTheDatabaseRefusesWhileScrollingEndTheListWithAMessage) {
    QStringList nuovi;
    for (int i = 0; i < 600; ++i) {
        nuovi << QString("B%1").arg(i, 4, 10, QChar('0'));
    }
    aggiungiCodici(nuovi);
    // the 300th row cannot be computed: the database says so when it is read
    base = {"SELECT ARTICOLI.*, 1 / (CASE WHEN CODICE = 'B0295' THEN 0 ELSE 1 END) AS UNO "
            "FROM ARTICOLI"};
    g->OrderBy = false; // rows as stored, read as they come
    q->open();
    EXPECT_EQ(g->modello()->rowCount(), 256);
    EXPECT_TRUE(messaggi->testi().isEmpty());
    g->setFocus();
    g->scrollToBottom();
    g->modello()->fetchMore({});
    QTest::qWait(20); // the message is queued after the view's own work
    EXPECT_EQ(g->modello()->rowCount(), 300) << "the rows read before the error stay";
    EXPECT_FALSE(g->modello()->canFetchMore({}));
    ASSERT_EQ(messaggi->testi().size(), 1);
    EXPECT_TRUE(messaggi->testi().first().contains("divide", Qt::CaseInsensitive) ||
                messaggi->testi().first().contains("zero", Qt::CaseInsensitive))
        << messaggi->testi().first().toStdString();
    QTest::keyClick(g.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(messaggi->testi().size(), 1) << "said once";
    base = kBase;
    q->open();
    EXPECT_GE(g->modello()->rowCount(), 256) << "the next open reads again";
    EXPECT_EQ(messaggi->testi().size(), 1);
}

TEST_F(Griglia, GenericSearchLooksInEveryColumnOnce) {
    ASSERT_TRUE(g->RicercaGenerica("rOs"));
    EXPECT_EQ(codici(), QStringList({"A01", "A02"}));
    EXPECT_TRUE(g->CondizioneRicerca.isEmpty());
    EXPECT_FALSE(g->RicercaInCorso());
    q->open();
    EXPECT_EQ(codici().size(), 5) << "a reopen by the screen drops the generic condition";
}

TEST_F(Griglia, TheGenericSearchOfTheDialogKeepsTheListsOrder) {
    aggiungi({{"A00", "Origano", 2}});
    q->open();
    suColonna("DESCRIZIONE");
    QStringList trovati;
    messaggi->dialogo = [&](QDialog* d) {
        auto* f = static_cast<TRCSDGridForm*>(d);
        f->EditGenerica->setChecked(true);
        f->EditStringa->setText("o");
        f->ButtonEsegui->click();
        trovati = codici();
        f->close();
        return QDialog::Rejected;
    };
    g->RicercaSuCampoCorrente();
    EXPECT_EQ(trovati, QStringList({"A00", "A01", "A02", "A03", "A04", "A05"}))
        << "in key order, though the dialog was open";
}

TEST_F(Griglia, GenericSearchFindsAccentsAndApostrophesBesideNumbersAndDates) {
    c.esegui(c.c().azienda(), {"CREATE TABLE LOTTI (NUMERO INTEGER NOT NULL, NOTA VARCHAR(40), "
                               "GIORNO DATE, QUANTITA NUMERIC(15,3), FOTO BLOB SUB_TYPE BINARY, "
                               "CONSTRAINT LOTTI_PK PRIMARY KEY (NUMERO))"});
    c.esegui(c.c().azienda(),
             {"INSERT INTO LOTTI VALUES (1, 'più schiuma', '2024-03-05', 12.5, NULL)",
              "INSERT INTO LOTTI VALUES (2, 'Giallo d´oro', '2024-03-06', 1000, NULL)",
              "INSERT INTO LOTTI VALUES (312, 'Blu', '2024-05-03', 7, NULL)"});
    nuovaLettura();
    base = {"SELECT * FROM LOTTI"};
    g->NomeTabella = "LOTTI";
    q->open();
    auto numeri = [&] {
        QStringList r;
        for (int i = 0; i < g->modello()->rowCount(); ++i) {
            r << cella(i, "NUMERO");
        }
        return r;
    };
    ASSERT_TRUE(g->RicercaGenerica("più"));
    EXPECT_EQ(numeri(), QStringList({"1"}));
    ASSERT_TRUE(g->RicercaGenerica("d'oro")) << "a quote typed is the stored accent";
    EXPECT_EQ(numeri(), QStringList({"2"}));
    ASSERT_TRUE(g->RicercaGenerica("12"));
    EXPECT_EQ(numeri(), QStringList({"1", "312"})) << "numbers where the text is one";
    ASSERT_TRUE(g->RicercaGenerica("1000"));
    EXPECT_EQ(numeri(), QStringList({"2"}));
    ASSERT_TRUE(g->RicercaGenerica("1.000"));
    EXPECT_TRUE(numeri().isEmpty()) << "a point is not a thousands separator";
    ASSERT_TRUE(g->RicercaGenerica("05/03/2024"));
    EXPECT_EQ(numeri(), QStringList({"1"})) << "dates where the text is one";
    EXPECT_TRUE(messaggi->testi().isEmpty()) << messaggi->testi().join('|').toStdString();

    // a list of binary columns only: nothing to find, and the grid is not left searching
    base = {"SELECT FOTO FROM LOTTI"};
    q->open();
    ASSERT_TRUE(g->RicercaGenerica("x"));
    EXPECT_EQ(g->modello()->rowCount(), 0);
    EXPECT_FALSE(g->RicercaInCorso());
    q->open();
    EXPECT_EQ(g->modello()->rowCount(), 3) << "the screen rebuilds its list again";
}

TEST_F(Griglia, TypingRunsOneSearchAfterTheLastKeystroke) {
    g->TimerRicerca->setInterval(150);
    suColonna("DESCRIZIONE");
    QSignalSpy ricerche(g.get(), &TCSDGrid::ricercaEseguita);
    bool tagDurante = false;
    messaggi->dialogo = [&](QDialog* d) {
        auto* f = qobject_cast<TRCSDGridForm*>(d);
        EXPECT_TRUE(f);
        EXPECT_EQ(f->windowTitle(), "Ricerca su DESCRIZIONE");
        tagDurante = g->RicercaInCorso();
        QTest::keyClick(f->EditStringa, 'r');
        QTest::qWait(60);
        QTest::keyClick(f->EditStringa, 'o');
        QTest::qWait(60);
        QTest::keyClick(f->EditStringa, 's');
        QTest::qWait(60);
        EXPECT_EQ(ricerche.count(), 0) << "each key restarts the timer";
        EXPECT_TRUE(g->TimerRicerca->isActive());
        EXPECT_TRUE(ricerche.wait(1000));
        EXPECT_EQ(ricerche.count(), 1);
        QTest::qWait(200);
        EXPECT_EQ(ricerche.count(), 1) << "a single-shot timer";
        f->close();
        return QDialog::Rejected;
    };
    g->VoceRicerca->trigger();
    EXPECT_TRUE(tagDurante);
    EXPECT_FALSE(g->RicercaInCorso()) << "the end of the search was announced";
    EXPECT_EQ(codici(), QStringList({"A01", "A02", "A05"}))
        << "closing the dialog keeps the search";
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOPOS1 WHERE CODICESITUAZIONE=28 AND CODICEUTENTE=3"),
              1);
}

TEST_F(Griglia, WithoutTheTimerEveryKeySearchesAndEnterOrEscCloseTheDialog) {
    c.esegui(c.c().azienda(),
             {"INSERT INTO SETGRID (CODICEUTENTE, CODICEPROGETTO, ABILITATIMERRIC) "
              "VALUES (3, 150, 0)"});
    apri();
    suColonna("DESCRIZIONE");
    QSignalSpy ricerche(g.get(), &TCSDGrid::ricercaEseguita);
    messaggi->dialogo = [&](QDialog* d) {
        auto* f = static_cast<TRCSDGridForm*>(d);
        QTest::keyClicks(f->EditStringa, "bas");
        EXPECT_EQ(ricerche.count(), 3);
        QTest::keyClick(f->EditStringa, Qt::Key_Return);
        EXPECT_EQ(f->esito(), TRCSDGridForm::Esito::Invio);
        return f->result();
    };
    g->RicercaSuCampoCorrente();
    EXPECT_EQ(codici(), QStringList({"A03", "A04", "A01", "A02", "A05"}));
    EXPECT_EQ(g->CondizioneRicerca, "WHERE(UPPER(ARTICOLI.DESCRIZIONE) >= 'BAS')");

    messaggi->dialogo = [&](QDialog* d) {
        auto* f = static_cast<TRCSDGridForm*>(d);
        EXPECT_EQ(f->EditStringa->text(), "bas") << "the last text comes back";
        QTest::keyClick(f->EditStringa, Qt::Key_Escape);
        return f->result();
    };
    g->RicercaSuCampoCorrente();
    EXPECT_TRUE(g->CondizioneRicerca.isEmpty()) << "Esc removes the search";
    EXPECT_EQ(codici().size(), 5);
    EXPECT_EQ(q->SQL.last(), "ORDER BY ARTICOLI.CODICE");
}

TEST_F(Griglia, TheDialogFitsTheColumnType) {
    std::map<QString, std::function<void(TRCSDGridForm*)>> verifiche = {
        {"PREZZO",
         [](TRCSDGridForm* f) {
             EXPECT_TRUE(f->EditTipoRicerca->voce(1)->isVisibleTo(f));
             EXPECT_FALSE(f->EditTipoRicerca->voce(2)->isVisibleTo(f));
         }},
        {"DATAORA",
         [](TRCSDGridForm* f) {
             EXPECT_TRUE(f->EditData1->isVisibleTo(f));
             EXPECT_FALSE(f->EditStringa->isVisibleTo(f));
             EXPECT_FALSE(f->EditTipoRicerca->isVisibleTo(f));
             EXPECT_EQ(f->Label1->text(), "Inserisci una data compresa tra:");
         }},
        {"NOTE", [](TRCSDGridForm* f) { EXPECT_FALSE(f->EditUpper->isEnabled()); }},
        {"DESCRIZIONE",
         [](TRCSDGridForm* f) {
             EXPECT_TRUE(f->EditUpper->isChecked());
             EXPECT_EQ(f->EditTipoRicerca->indice(), 0);
             EXPECT_EQ(f->EditOrdinamento->indice(), 1);
             EXPECT_FALSE(f->ButtonEsegui->isEnabled());
             f->EditGenerica->setChecked(true);
             EXPECT_EQ(f->windowTitle(), "Ricerca su TUTTI i campi");
             EXPECT_TRUE(f->ButtonEsegui->isEnabled());
             EXPECT_FALSE(f->ButtonAggRete->isEnabled());
             f->EditGenerica->setChecked(false);
             EXPECT_EQ(f->windowTitle(), "Ricerca su DESCRIZIONE");
         }},
    };
    for (auto& [campo, verifica] : verifiche) {
        SCOPED_TRACE(campo.toStdString());
        suColonna(campo);
        messaggi->dialogo = [&](QDialog* d) {
            verifica(static_cast<TRCSDGridForm*>(d));
            return QDialog::Rejected;
        };
        g->RicercaSuCampoCorrente();
    }
}

TEST_F(Griglia, TitlesOrderAscendingThenDescendingAndCtrlAddsKeys) {
    aggiungi({{"A07", "Basilico", 9}, {"A06", "Basilico", 2}});
    q->open();
    const int descrizione = colonna("DESCRIZIONE");
    const int prezzo = colonna("PREZZO");
    g->OrdinaColonna(descrizione, false);
    EXPECT_EQ(codici(), QStringList({"A03", "A06", "A07", "A04", "A02", "A05", "A01"}))
        << "tied rows follow the key";
    g->OrdinaColonna(descrizione, false);
    EXPECT_EQ(codici(), QStringList({"A01", "A05", "A02", "A04", "A03", "A06", "A07"}))
        << "descending; ties still by key";
    EXPECT_EQ(
        g->modello()->headerData(descrizione, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(),
        QColor(0xFF, 0, 0));

    QTest::mouseDClick(g->horizontalHeader()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                       QPoint(g->horizontalHeader()->sectionViewportPosition(prezzo) + 10, 5));
    EXPECT_EQ(g->ModoOrdinamento, 2);
    const QStringList perDueChiavi = {"A01", "A05", "A02", "A04", "A06", "A03", "A07"};
    EXPECT_EQ(codici(), perDueChiavi) << "the price orders within a description";
    EXPECT_EQ(g->modello()->headerData(prezzo, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(),
              QColor(0xF3, 0xB4, 0xB4));
    EXPECT_EQ(
        conta("SELECT ORDINAMENTO FROM STOASP1 WHERE CODICESITUAZIONE=28 AND NOMECAMPO='PREZZO'"),
        20);
    EXPECT_EQ(conta("SELECT ORDINAMENTO FROM STOASP1 WHERE CODICESITUAZIONE=28 AND "
                    "NOMECAMPO='DESCRIZIONE'"),
              -10);

    apri();
    EXPECT_EQ(g->ModoOrdinamento, 2) << "the order comes back at the next opening";
    EXPECT_EQ(codici(), perDueChiavi);
    g->OrdinaColonna(prezzo, false);
    EXPECT_EQ(g->ModoOrdinamento, 1);
    EXPECT_EQ(codici(), QStringList({"A06", "A05", "A03", "A07", "A01", "A02", "A04"}))
        << "a plain click returns to one key";
}

// A list its screen opens with its own statement (the grid given only the
// query): a double click on a title orders it as the screen wrote it, never
// runs an empty statement nor loses the list.
TEST_F(Griglia, AListTheScreenOpensItselfIsOrderedByItsTitles) {
    Query propria(&db, tr.get());
    TCSDGrid piccola;
    piccola.resize(800, 400);
    piccola.Situazione = 29;
    piccola.Utente = 3;
    piccola.NomeTabella = "ARTICOLI";
    piccola.OrderBy = false;
    piccola.setSorgenteDati(&propria);
    propria.SQL = {"SELECT CODICE, DESCRIZIONE FROM ARTICOLI WHERE", "PREZZO > 5",
                   "ORDER BY CODICE"};
    propria.open();
    auto codiciPiccola = [&] {
        QStringList r;
        for (int i = 0; i < piccola.modello()->rowCount(); ++i) {
            r << piccola.modello()->data(piccola.modello()->index(i, 0)).toString();
        }
        return r;
    };
    ASSERT_EQ(codiciPiccola(), QStringList({"A01", "A02", "A03", "A04"}));
    piccola.OrdinaColonna(1, false);
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
    EXPECT_TRUE(propria.isOpen());
    EXPECT_EQ(codiciPiccola(), QStringList({"A01", "A02", "A03", "A04"}))
        << "its own order, as the screen wrote it";
    // its statement is also where a search starts, and where the search ends
    piccola.setCurrentIndex(piccola.modello()->index(0, 1));
    ASSERT_TRUE(piccola.EseguiRicerca(ricerca("ros", 1)));
    EXPECT_EQ(codiciPiccola(), QStringList({"A01", "A02"}));
    piccola.AnnullaRicerca();
    EXPECT_EQ(codiciPiccola(), QStringList({"A01", "A02", "A03", "A04"}));
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
    propria.close();
    piccola.OrdinaColonna(1, false);
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
}

// A list whose text ends with its own order: a search puts its condition
// before that order (never after it, where it would be read as part of the
// order) and its own order in its place; "No" keeps the list's.
TEST_F(Griglia, ASearchOnAListThatOrdersItselfFiltersAndOrders) {
    base = {"SELECT * FROM ARTICOLI", "WHERE PREZZO > 5", "ORDER BY DESCRIZIONE"};
    g->OrderBy = false;
    q->close();
    q->open();
    ASSERT_EQ(codici(), QStringList({"A03", "A04", "A02", "A01"}));
    suColonna("CODICE");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("A0", 1, true, 2)));
    EXPECT_EQ(codici(), QStringList({"A04", "A03", "A02", "A01"})) << "by code, descending";
    ASSERT_TRUE(g->EseguiRicerca(ricerca("A0", 1, true, 0)));
    EXPECT_EQ(codici(), QStringList({"A03", "A04", "A02", "A01"})) << "its own order";
    suColonna("DESCRIZIONE");
    ASSERT_TRUE(g->EseguiRicerca(ricerca("ros", 1, true, 0)));
    EXPECT_EQ(codici(), QStringList({"A02", "A01"}));
    q->close();
    q->open();
    EXPECT_EQ(codici(), QStringList({"A02", "A01"})) << "the condition stays at every open";
    ASSERT_TRUE(g->RicercaGenerica("A0"));
    EXPECT_EQ(codici(), QStringList({"A03", "A04", "A02", "A01"})) << "in every column";
    EXPECT_TRUE(messaggi->testi().isEmpty()) << qPrintable(messaggi->testi().join('\n'));
}

TEST_F(Griglia, TheLayoutIsSavedAndLoadedAndStaleRowsAreSkipped) {
    QHeaderView* h = g->horizontalHeader();
    const int prezzo = colonna("PREZZO");
    g->setColumnWidth(prezzo, 133);
    h->moveSection(h->visualIndex(prezzo), 0);
    g->SalvaAspetto();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOASP1 WHERE CODICESITUAZIONE=28 AND CODICEUTENTE=3"),
              5);
    EXPECT_EQ(conta("SELECT LARGHEZZA FROM STOASP1 WHERE CODICESITUAZIONE=28 AND POSIZIONE=0"),
              133);
    c.esegui(c.c().azienda(),
             {"UPDATE STOASP1 SET NOMECOLONNA='Prezzo €', VISIBILE=0 WHERE NOMECAMPO='NOTE'",
              "UPDATE STOASP1 SET NOMECOLONNA='Prezzo', COLORECOLONNA=255 WHERE NOMECAMPO='PREZZO'",
              "INSERT INTO STOASP1 (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSIZIONE, "
              "NOMECAMPO, "
              "LARGHEZZA, VISIBILE) VALUES (150, 28, 3, 9, 'SPARITO', 50, 1)"});
    apri();
    h = g->horizontalHeader();
    EXPECT_EQ(h->logicalIndex(0), colonna("PREZZO"));
    EXPECT_EQ(g->columnWidth(colonna("PREZZO")), 133);
    EXPECT_EQ(g->modello()->headerData(colonna("PREZZO"), Qt::Horizontal).toString(), "Prezzo");
    EXPECT_EQ(g->modello()->coloreColonna(colonna("PREZZO")), QColor(255, 0, 0));
    EXPECT_TRUE(g->isColumnHidden(colonna("NOTE")));
    EXPECT_TRUE(messaggi->testi().isEmpty()) << "a stale row is skipped silently";

    g->SalvaAspetto();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOASP1 WHERE CODICESITUAZIONE=28 AND CODICEUTENTE=3"), 5)
        << "the stale row goes away when the layout is written again";
    EXPECT_EQ(conta("SELECT VISIBILE FROM STOASP1 WHERE NOMECAMPO='NOTE'"), 0);
}

TEST_F(Griglia, CustomisationEditsTitlesAndTheBaseLayoutForgetsEverything) {
    g->OrdinaColonna(colonna("DESCRIZIONE"), false);
    g->setColumnHidden(colonna("NOTE"), true);
    g->SalvaAspetto();
    int avvisi = 0;
    messaggi->dialogo = [&](QDialog* d) {
        if (auto* av = qobject_cast<TAvCSDGrForm*>(d)) {
            ++avvisi;
            EXPECT_EQ(av->windowTitle(), "Avviso");
            return int(QDialog::Accepted);
        }
        if (auto* col = qobject_cast<QColorDialog*>(d)) {
            col->setCurrentColor(QColor(0, 0x80, 0xFF));
            return int(QDialog::Accepted);
        }
        auto* f = qobject_cast<TPCSDGridForm*>(d);
        EXPECT_TRUE(f);
        EXPECT_EQ(f->windowTitle(), "Personalizzazione Griglia");
        EXPECT_EQ(f->GridPersonalizza->rowCount(), 5);
        f->GridPersonalizza->item(1, TPCSDGridForm::ColNomeColonna)
            ->setText("Descr. dell'articolo");
        f->GridPersonalizza->setCurrentCell(2, 0);
        f->CambiaColore();
        f->ButtonChiudi->click();
        return f->result();
    };
    g->VocePersonalizza->trigger();
    EXPECT_EQ(g->modello()->headerData(colonna("DESCRIZIONE"), Qt::Horizontal).toString(),
              "Descr. dell'articolo");
    EXPECT_EQ(c.valore(c.c().azienda(), "SELECT COLORECOLONNA FROM STOASP1 WHERE POSIZIONE=2"),
              QString::number(0xFF8000));

    messaggi->dialogo = [&](QDialog* d) {
        if (qobject_cast<TAvCSDGrForm*>(d)) {
            ++avvisi;
            return int(QDialog::Accepted);
        }
        auto* f = static_cast<TPCSDGridForm*>(d);
        f->ButtonAspettoBase->click();
        EXPECT_EQ(f->GridPersonalizza->rowCount(), 5) << "the list is read again";
        f->ButtonChiudi->click();
        return f->result();
    };
    g->VocePersonalizza->trigger();
    EXPECT_EQ(avvisi, 1);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM STOASP1 WHERE CODICESITUAZIONE=28 AND VISIBILE=1 AND "
                    "ORDINAMENTO IS NULL AND NOMECOLONNA=NOMECAMPO AND COLORECOLONNA IS NULL"),
              5);
    EXPECT_FALSE(g->isColumnHidden(colonna("NOTE")));
    EXPECT_EQ(q->SQL.last(), "ORDER BY ARTICOLI.CODICE");
    EXPECT_FALSE(g->RipristinoInCorso);
}

TEST_F(Griglia, MenuItemsFollowTheStateOfTheGrid) {
    g->aggiornaMenu();
    EXPECT_TRUE(g->VoceRicerca->isEnabled());
    EXPECT_TRUE(g->VoceQuery->isEnabled());
    EXPECT_FALSE(g->VoceRicercaChiave->isVisible());
    EXPECT_EQ(g->VoceRicerca->shortcut(), QKeySequence(Qt::Key_F5));
    g->AbilitaRicerca = false;
    g->NomeTabella.clear();
    g->aggiornaMenu();
    EXPECT_FALSE(g->VoceRicerca->isEnabled());
    EXPECT_FALSE(g->VoceQuery->isEnabled());
    g->SQLIniziale = {"SELECT * FROM \"ARTICOLI\""};
    g->aggiornaMenu();
    EXPECT_TRUE(g->VoceQuery->isEnabled());
    q->close();
    g->aggiornaMenu();
    EXPECT_FALSE(g->VoceAnnullaRicerca->isEnabled());
    EXPECT_FALSE(g->VoceDimezza->isEnabled());

    q->open();
    suColonna("DESCRIZIONE");
    g->setColumnWidth(colonna("DESCRIZIONE"), 121);
    QTest::keyClick(g.get(), Qt::Key_F9);
    EXPECT_EQ(g->columnWidth(colonna("DESCRIZIONE")), 60);
}

TEST_F(Griglia, TheQueryWindowShowsTheTableAndExportsItAsCsv) {
    g->VoceQuery->trigger();
    TGridQueryForm* f = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* x = qobject_cast<TGridQueryForm*>(w)) {
            f = x;
        }
    }
    ASSERT_TRUE(f);
    EXPECT_EQ(f->modello()->rowCount(), 5);
    const QString file = c.radice() + "Lavoro/articoli.csv";
    messaggi->dialogo = [&](QDialog* d) {
        auto* fd = qobject_cast<QFileDialog*>(d);
        EXPECT_TRUE(fd);
        fd->selectFile(file);
        return int(QDialog::Accepted);
    };
    f->ButtonEsporta->click();
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList righe = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(righe.size(), 6);
    EXPECT_TRUE(righe[0].endsWith("CODICE;DESCRIZIONE;PREZZO;DATAORA;NOTE"));
    EXPECT_TRUE(righe[2].startsWith("A02;Rosmarino;12,5;")) << righe[2].toStdString();
    delete f;
}
