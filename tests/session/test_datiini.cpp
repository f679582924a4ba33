// dati.ini beside a database: keys with blanks, the file kept byte for byte.
#include "session/datiini.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

QByteArray leggiFile(const QString& f) {
    QFile file(f);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << f.toStdString();
    return file.readAll();
}

void scriviFile(const QString& f, const QByteArray& b) {
    QFile file(f);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(b);
}

const QByteArray kCrlf = "; archivi della ditta\r\n"
                         "[ALTRO]\r\n"
                         "Nome Server=NONQUESTO\r\n"
                         "\r\n"
                         "[CONFIG]\r\n"
                         "Nome Server = SRV \r\n"
                         "Alias=ARCH\r\n"
                         "Percorso Nel Server=D:\\Archivi\\Societ\xe0\\\r\n"
                         "\r\n"
                         "[DOPO]\r\n"
                         "Chiave=valore\r\n";

} // namespace

TEST(DatiIni, KeysWithBlanksAreReadFromTheirSectionOnly) {
    EXPECT_EQ(datiini::valore(kCrlf, "CONFIG", "Nome Server"), "SRV");
    EXPECT_EQ(datiini::valore(kCrlf, "config", "nome server"), "SRV") << "case-insensitive";
    EXPECT_EQ(datiini::valore(kCrlf, "CONFIG", "Alias"), "ARCH") << "no carriage return left";
    EXPECT_EQ(datiini::valore(kCrlf, "CONFIG", "Percorso Nel Server"),
              QString::fromLatin1("D:\\Archivi\\Societ\xe0\\"));
    EXPECT_EQ(datiini::valore(kCrlf, "CONFIG", "Chiave"), "");
    EXPECT_EQ(datiini::valore(kCrlf, "CONFIG", "PercorsoDatabase"), "");
    EXPECT_EQ(datiini::valore(kCrlf, "MANCA", "Alias"), "");
    EXPECT_EQ(datiini::valore("", "CONFIG", "Alias"), "");
    EXPECT_EQ(datiini::valore("Alias=ARCH\n", "CONFIG", "Alias"), "")
        << "a key before any section belongs to none";
}

TEST(DatiIni, ReplacingAValueKeepsEveryOtherByte) {
    QByteArray atteso = kCrlf;
    atteso.replace("Nome Server = SRV \r\n", "Nome Server=SRV2\r\n");
    EXPECT_EQ(datiini::conValore(kCrlf, "CONFIG", "Nome Server", "SRV2"), atteso);

    const QByteArray lf = "[CONFIG]\nAlias=A\nNome Server=X\n";
    EXPECT_EQ(datiini::conValore(lf, "CONFIG", "nome server", "Y"),
              QByteArray("[CONFIG]\nAlias=A\nnome server=Y\n"))
        << "one line per key whatever its case";
    const QByteArray senzaFinale = "[CONFIG]\r\nAlias=A";
    EXPECT_EQ(datiini::conValore(senzaFinale, "CONFIG", "Alias", "B"),
              QByteArray("[CONFIG]\r\nAlias=B"));
}

TEST(DatiIni, ANewKeyGoesAtTheEndOfItsSectionInTheFileLineStyle) {
    QByteArray atteso = kCrlf;
    atteso.replace("Percorso Nel Server=D:\\Archivi\\Societ\xe0\\\r\n",
                   "Percorso Nel Server=D:\\Archivi\\Societ\xe0\\\r\nLettera Disco Server=E\r\n");
    EXPECT_EQ(datiini::conValore(kCrlf, "CONFIG", "Lettera Disco Server", "E"), atteso);

    EXPECT_EQ(datiini::conValore("[CONFIG]\nAlias=A\n\n[X]\n", "CONFIG", "Nome Server", "S"),
              QByteArray("[CONFIG]\nAlias=A\nNome Server=S\n\n[X]\n"));
}

TEST(DatiIni, AMissingSectionIsAppended) {
    EXPECT_EQ(datiini::conValore("", "CONFIG", "Nome Server", "SRV"),
              QByteArray("[CONFIG]\r\nNome Server=SRV\r\n"));
    EXPECT_EQ(datiini::conValore("[ALTRO]\r\nA=1\r\n", "CONFIG", "Nome Server", "SRV"),
              QByteArray("[ALTRO]\r\nA=1\r\n[CONFIG]\r\nNome Server=SRV\r\n"));
    EXPECT_EQ(datiini::conValore("[ALTRO]\r\nA=1", "CONFIG", "Nome Server", "SRV"),
              QByteArray("[ALTRO]\r\nA=1\r\n[CONFIG]\r\nNome Server=SRV\r\n"));
    EXPECT_EQ(datiini::conValore("[ALTRO]\nA=1\n", "CONFIG", "Nome Server", "SRV"),
              QByteArray("[ALTRO]\nA=1\n[CONFIG]\nNome Server=SRV\n"));
}

TEST(DatiIni, TheFileBesideTheDatabaseIsCreatedReadAndRewrittenInPlace) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    EXPECT_EQ(datiini::leggi(dir, "Nome Server"), "") << "no file";
    ASSERT_TRUE(datiini::scrivi(dir, "Nome Server", "SRV"));
    ASSERT_TRUE(datiini::scrivi(dir, "Lettera Disco Server", "E"));
    EXPECT_EQ(leggiFile(dir + "dati.ini"),
              QByteArray("[CONFIG]\r\nNome Server=SRV\r\nLettera Disco Server=E\r\n"));
    EXPECT_EQ(datiini::leggi(dir, "NOME SERVER"), "SRV");

    scriviFile(dir + "dati.ini", kCrlf);
    ASSERT_TRUE(datiini::scrivi(dir, "Alias", "NUOVO"));
    QByteArray atteso = kCrlf;
    atteso.replace("Alias=ARCH", "Alias=NUOVO");
    EXPECT_EQ(leggiFile(dir + "dati.ini"), atteso);

    // a directory as the archive stores it, with "\" separators and none at the end
    QString memorizzata = tmp.path();
    memorizzata.replace('/', '\\');
    EXPECT_EQ(datiini::leggi(memorizzata, "Alias"), "NUOVO");
    EXPECT_EQ(datiini::leggi(memorizzata + "\\", "Alias"), "NUOVO");
}

TEST(DatiIni, AnUnwritableFolderReportsFailure) {
    QTemporaryDir tmp;
    // a regular file where the folder should be: nothing can be created below it
    scriviFile(tmp.path() + "/file", "x");
    EXPECT_FALSE(datiini::scrivi(tmp.path() + "/file/", "Nome Server", "SRV"));
    EXPECT_EQ(datiini::leggi(tmp.path() + "/file/", "Nome Server"), "");
}
