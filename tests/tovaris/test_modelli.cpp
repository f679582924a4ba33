// Host folders made from an archive template (QUINTAR_MODELLI_ARCHIVI): the
// same content as a folder made from the DDL, with every stored path pointing
// into the new folder, and a template made once.
#include "inizializza.h"
#include "session/db.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Rows of a query as "a|b|c", the folder's root written as "DIR/".
QStringList righe(const QString& file, const QString& select, const QString& radice) {
    quintar::Database db;
    db.connect(file);
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    q.SQL = {select};
    q.open();
    QStringList out;
    for (; !q.eof(); q.next()) {
        QStringList campi;
        for (int i = 0; i < q.fieldCount(); ++i) {
            campi << q.field(i).asString().replace(radice, QStringLiteral("DIR/"));
        }
        out << campi.join('|');
    }
    return out;
}

// What a folder's archives hold that depends on the folder or on the demo data.
QStringList contenuto(const tovaris::Cartella& c) {
    return righe(c.userDb(),
                 "SELECT UTENTE, PARAMETRO, VALORE, PROGRESSIVO FROM TABARBELON "
                 "ORDER BY UTENTE, PROGRESSIVO",
                 c.radice) +
           righe(c.azienda(), "SELECT CODICE, NOME, TESTO, UTENTE FROM TABX ORDER BY CODICE",
                 c.radice) +
           righe(c.azienda(), "SELECT COUNT(*), MAX(CODICE) FROM FORNITO", c.radice) +
           righe(c.azienda(), "SELECT GEN_ID(CODICETABXCOUNTER, 0) FROM RDB$DATABASE", c.radice) +
           righe(c.erp(), "SELECT COUNT(*) FROM RDB$RELATIONS", c.radice) +
           righe(c.pesate(), "SELECT COUNT(*) FROM RDB$RELATIONS", c.radice);
}

struct Modelli : ::testing::Test {
    // one template folder for the whole suite, as in a test run
    static inline std::unique_ptr<QTemporaryDir> base;
    QTemporaryDir tmp;
    QByteArray prima = qgetenv(tovaris::kVariabileModelli);

    static void SetUpTestSuite() { base = std::make_unique<QTemporaryDir>(); }
    static void TearDownTestSuite() { base.reset(); }
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid() && base->isValid());
        qputenv(tovaris::kVariabileModelli, base->path().toUtf8());
    }
    void TearDown() override {
        if (prima.isEmpty()) {
            qunsetenv(tovaris::kVariabileModelli);
        } else {
            qputenv(tovaris::kVariabileModelli, prima);
        }
    }
    static QStringList modelli() {
        return QDir(base->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(Modelli, FoldersCopiedFromTheTemplateHoldWhatTheDdlMakesWithTheirOwnPaths) {
    const tovaris::Cartella a = tovaris::inizializza(tmp.path() + "/a", false);
    const QStringList fatti = modelli();
    ASSERT_EQ(fatti.size(), 1) << fatti.join(' ').toStdString();
    const tovaris::Cartella b = tovaris::inizializza(tmp.path() + "/b", false);
    EXPECT_EQ(modelli(), fatti) << "the second folder reuses the template";
    qunsetenv(tovaris::kVariabileModelli);
    const tovaris::Cartella nuova = tovaris::inizializza(tmp.path() + "/nuova", false);

    const QStringList attesa = contenuto(nuova);
    EXPECT_TRUE(attesa.join('\n').contains("DIR/Dati/QUINTAR.FDB"));
    EXPECT_EQ(contenuto(a), attesa);
    EXPECT_EQ(contenuto(b), attesa);
    const QString dirModelli = base->path() + '/';
    for (const tovaris::Cartella* c : {&a, &b}) {
        for (const QString& r : contenuto(*c)) {
            EXPECT_FALSE(r.contains(dirModelli)) << "a path into the template: " << r.toStdString();
        }
        EXPECT_TRUE(QFileInfo::exists(c->radice + "Grafica/QUINTAR.ICO"));
        EXPECT_TRUE(QFileInfo::exists(c->radice + "Report/STFABBR.LST"));
    }
}

TEST_F(Modelli, APlainAndADemoFolderHaveATemplateEachAndNoArchiveIsOverwritten) {
    const tovaris::Cartella vuota = tovaris::inizializza(tmp.path() + "/vuota", false);
    const tovaris::Cartella demo = tovaris::inizializza(tmp.path() + "/demo", true);
    EXPECT_EQ(modelli().size(), 2);
    EXPECT_EQ(righe(vuota.azienda(), "SELECT COUNT(*) FROM FORNITO", vuota.radice),
              QStringList{"0"});
    EXPECT_NE(righe(demo.azienda(), "SELECT COUNT(*) FROM FORNITO", demo.radice), QStringList{"0"});

    {
        quintar::Database db;
        db.connect(vuota.azienda());
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {"INSERT INTO TABX (CODICE,NOME,TESTO) VALUES (999999,'Mio','dato')"};
        q.execSQL();
        tr.commit();
    }
    EXPECT_THROW(tovaris::inizializza(tmp.path() + "/vuota", false), std::runtime_error);
    EXPECT_EQ(righe(vuota.azienda(), "SELECT TESTO FROM TABX WHERE NOME='Mio'", vuota.radice),
              QStringList{"dato"});
}
