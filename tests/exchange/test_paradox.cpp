// Reading the older archive's Paradox tables: values of every kind as they
// were written, texts in the table's code page, memos from the .MB file, and
// damaged files ending with a clear error, never a crash.
#include "exchange/paradox.h"
#include "support/paradoxprova.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar::paradox;
namespace pp = prova::paradox;

namespace {

const QString kTutti = QStringLiteral(
    "Codice:A10 Nome:A30 Prezzo:N Quanti:I Tipo:S Giorno:D Attivo:L Note:M20 Ora:T Quando:X");

QString memoLungo(int n) {
    QString s;
    while (s.size() < n) {
        s += QStringLiteral("Riga d'esempio è \"più\" lunga %1; ").arg(s.size());
    }
    return s.left(n);
}

std::vector<Record> righeTutte() {
    const QDateTime quando(QDate(2004, 2, 3), QTime(10, 20, 30));
    return {
        {QString("A1"), QString("Cera d'api \"pura\" è"), 12.5, qint64(-7), qint64(3),
         QDate(2004, 2, 3), true, QString("breve"), QTime(8, 30), quando},
        {QString("B2"), {}, 0.0, qint64(0), {}, {}, false, memoLungo(300), {}, {}},
        {QString("C3"),
         QString("°àòù´"),
         -0.25,
         qint64(123456),
         qint64(-2),
         QDate(1999, 12, 31),
         {},
         memoLungo(5000),
         {},
         {}},
    };
}

struct Paradox : ::testing::Test {
    QTemporaryDir dir;
    QString file(const QString& nome) const { return dir.filePath(nome); }
};

} // namespace

TEST_F(Paradox, ValuesOfEveryKindReadBackAsWritten) {
    for (int cp : {1252, 850}) {
        const QString f = file(QStringLiteral("TUTTI%1.DB").arg(cp));
        pp::scriviTabella(f, kTutti, righeTutte(), cp);
        Tabella t(f);
        EXPECT_EQ(t.codePage(), cp);
        ASSERT_EQ(t.numeroRecord(), 3);
        EXPECT_EQ(t.indiceCampo("PREZZO"), 2) << "names, letter case aside";
        EXPECT_EQ(t.indiceCampo("manca"), -1);
        const auto attese = righeTutte();
        Record r;
        for (int i = 0; i < 3; ++i) {
            t.leggi(i, r);
            ASSERT_EQ(r.size(), attese[size_t(i)].size());
            for (size_t c = 0; c < r.size(); ++c) {
                const QVariant& a = attese[size_t(i)][c];
                if (!a.isValid()) {
                    EXPECT_FALSE(r[c].isValid())
                        << "cp " << cp << " record " << i << " campo " << c;
                    continue;
                }
                EXPECT_EQ(r[c].toString(), a.toString())
                    << "cp " << cp << " record " << i << " campo " << c;
                EXPECT_EQ(r[c].typeId() == QMetaType::QString, a.typeId() == QMetaType::QString);
            }
        }
        // a zero is a value, an empty field is not
        t.leggi(1, r);
        EXPECT_TRUE(r[2].isValid());
        EXPECT_EQ(r[2].toDouble(), 0.0);
        EXPECT_EQ(r[6].toBool(), false);
        EXPECT_TRUE(r[6].isValid());
    }
}

TEST_F(Paradox, RecordsOverManyBlocksComeInFileOrder) {
    std::vector<Record> righe;
    for (int i = 0; i < 3000; ++i) {
        righe.push_back({QString("K%1").arg(i), qint64(i)});
    }
    pp::scriviTabella(file("MOLTI.DB"), "Codice:A30 N:I", righe);
    Tabella t(file("MOLTI.DB"));
    ASSERT_EQ(t.numeroRecord(), 3000);
    Record r;
    for (int i = 0; i < 3000; ++i) {
        t.leggi(i, r);
        ASSERT_EQ(r[1].toLongLong(), i);
    }
    t.leggi(17, r); // back again
    EXPECT_EQ(r[0].toString(), "K17");
    EXPECT_THROW(t.leggi(3000, r), ErroreParadox);
}

TEST_F(Paradox, FoldersAndFilesAreFoundWhateverTheirLetterCase) {
    QDir(dir.path()).mkpath("Initab/adr");
    pp::scriviTabella(file("Initab/adr/Adr.db"), "Codice:A10", {{QString("X")}});
    EXPECT_EQ(trovaFile(dir.path(), "INITAB\\ADR\\ADR.DB"), file("Initab/adr/Adr.db"));
    EXPECT_EQ(trovaFile(dir.path() + "/", "initab/ADR/adr.DB"), file("Initab/adr/Adr.db"));
    EXPECT_TRUE(trovaFile(dir.path(), "INITAB\\CPAR\\CPAR.DB").isEmpty());
    EXPECT_TRUE(trovaFile(dir.path(), "INITAB").isEmpty()) << "a folder is no table";
}

TEST_F(Paradox, MemosThatAllFitInTheRecordsNeedNothingFromTheMemoFile) {
    pp::scriviTabella(file("CORTI.DB"), "Codice:A10 Note:M40",
                      {{QString("A"), QString("breve")}, {QString("B"), {}}});
    ASSERT_EQ(QFileInfo(file("CORTI.MB")).size(), 4096) << "the header alone";
    Tabella t(file("CORTI.DB"));
    Record r;
    t.leggi(0, r);
    EXPECT_EQ(r[1].toString(), "breve");
    t.leggi(1, r);
    EXPECT_FALSE(r[1].isValid());
}

TEST_F(Paradox, AMissingFileOrMemoFileIsAClearError) {
    try {
        Tabella t(file("NESSUNA.DB"));
        FAIL();
    } catch (const ErroreParadox& e) {
        EXPECT_TRUE(e.messaggio().startsWith("NESSUNA.DB: il file non si apre")) << e.what();
    }
    pp::scriviTabella(file("MEMO.DB"), kTutti, righeTutte());
    ASSERT_TRUE(QFile::remove(file("MEMO.MB")));
    try {
        Tabella t(file("MEMO.DB"));
        FAIL();
    } catch (const ErroreParadox& e) {
        EXPECT_EQ(e.messaggio(), "MEMO.DB: manca il file dei memo MEMO.MB");
    }
}

// Tables damaged at random (bytes changed, files cut, header lengths wrong,
// memo files spoilt) for a bounded time: each read ends either with the
// records or with a clear error.
TEST_F(Paradox, DamagedTablesEndWithAClearErrorNeverACrash) {
    std::vector<Record> righe = righeTutte();
    for (int i = 0; i < 200; ++i) {
        righe.push_back({QString("R%1").arg(i),
                         QString("nome %1").arg(i),
                         i / 4.0,
                         qint64(i),
                         qint64(i % 5),
                         QDate(2001, 1, 1).addDays(i),
                         i % 2 == 0,
                         i % 3 ? QVariant() : QVariant(memoLungo(50 + i * 13)),
                         {},
                         {}});
    }
    pp::scriviTabella(file("BASE.DB"), kTutti, righe);
    {
        Tabella t(file("BASE.DB"));
        Record r;
        for (int i = 0; i < t.numeroRecord(); ++i) {
            t.leggi(i, r);
        }
        ASSERT_EQ(t.numeroRecord(), 203);
    }
    QFile fdb(file("BASE.DB"));
    QFile fmb(file("BASE.MB"));
    ASSERT_TRUE(fdb.open(QIODevice::ReadOnly) && fmb.open(QIODevice::ReadOnly));
    const QByteArray db = fdb.readAll();
    const QByteArray mb = fmb.readAll();
    std::mt19937 caso(20240611);
    auto a = [&](int n) { return int(caso() % unsigned(n)); };
    int errori = 0, lette = 0, prove = 0;
    QElapsedTimer tempo;
    tempo.start();
    while (tempo.elapsed() < 3000 || prove < 200) {
        QByteArray d = db;
        QByteArray m = mb;
        switch (a(6)) {
        case 0: // bytes changed in the header
            for (int k = a(8) + 1; k > 0; --k) {
                d[a(0x800)] = char(caso());
            }
            break;
        case 1: // bytes changed anywhere
            for (int k = a(30) + 1; k > 0; --k) {
                d[a(int(d.size()))] = char(caso());
            }
            break;
        case 2: // cut
            d.truncate(a(int(d.size())));
            break;
        case 3: { // a length or count of the header set wrong
            static const int campi[] = {0x00, 0x02, 0x06, 0x0C, 0x0E, 0x21, 0x6A};
            const int p = campi[a(7)];
            const quint16 v = a(3) == 0 ? quint16(caso()) : quint16(a(0x100));
            d[p] = char(v & 0xff);
            d[p + 1] = char(v >> 8);
            break;
        }
        case 4: // memo file spoilt or cut
            if (a(4) == 0) {
                m.truncate(4096); // the header alone
            } else if (a(2)) {
                m.truncate(a(int(m.size())));
            } else {
                for (int k = a(40) + 1; k > 0; --k) {
                    m[a(int(m.size()))] = char(caso());
                }
            }
            break;
        default: // a data block's header changed
            for (int k = 0; k < 6; ++k) {
                d[0x800 + a(int(d.size()) - 0x800) / 0x800 * 0x800 + k] = char(caso());
            }
            break;
        }
        QFile o(file("ROTTA.DB"));
        ASSERT_TRUE(o.open(QIODevice::WriteOnly));
        o.write(d);
        o.close();
        QFile om(file("ROTTA.MB"));
        ASSERT_TRUE(om.open(QIODevice::WriteOnly));
        om.write(m);
        om.close();
        ++prove;
        try {
            Tabella t(file("ROTTA.DB"));
            Record r;
            for (int i = 0; i < t.numeroRecord(); ++i) {
                t.leggi(i, r);
            }
            ++lette;
        } catch (const ErroreParadox& e) {
            ++errori;
            EXPECT_TRUE(e.messaggio().startsWith("ROTTA.DB")) << e.what();
            EXPECT_GT(e.messaggio().size(), 12) << e.what();
        }
    }
    EXPECT_GT(errori, prove / 4) << prove << " prove";
    EXPECT_GT(lette, 0) << "changes in the data themselves still read";
}
