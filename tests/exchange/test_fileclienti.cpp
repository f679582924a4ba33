// The customer file read from its bytes: the encoding told from the bytes,
// lines and fields, kept lengths, customers and their delivery addresses;
// and random or broken input read for a bounded time without a fault.
#include "exchange/fileclienti.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <random>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar::clienti;

namespace {

const QString kAcuto = QString(QChar(0x00B4));

QByteArray latino(const char* s) {
    return QByteArray(s);
}

} // namespace

TEST(FileClienti, TheEncodingIsWindows1252UnlessTheBytesAreUtf8) {
    // à, €, ’ and an undefined byte of the code page
    TestoFile t = decodifica(latino("Citt\xE0;\x80;l\x92uno;\x81\r\n"));
    EXPECT_EQ(t.codifica, Codifica::Windows1252);
    ASSERT_EQ(t.righe.size(), 1);
    EXPECT_EQ(t.righe[0], QString::fromUtf8("Città;€;l’uno;") + QChar(0x81));

    t = decodifica(QString::fromUtf8("Città;Forlì\n").toUtf8());
    EXPECT_EQ(t.codifica, Codifica::Utf8);
    EXPECT_EQ(t.righe, QStringList{QString::fromUtf8("Città;Forlì")});

    t = decodifica(QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("Perù\r\n").toUtf8());
    EXPECT_EQ(t.codifica, Codifica::Utf8Bom);
    EXPECT_EQ(t.righe, QStringList{QString::fromUtf8("Perù")}) << "the BOM is not text";

    // one byte that breaks UTF-8 makes the whole file Windows-1252
    t = decodifica(QString::fromUtf8("Città\n").toUtf8() + latino("Forl\xEC\n"));
    EXPECT_EQ(t.codifica, Codifica::Windows1252);
    EXPECT_EQ(t.righe[1], QString::fromUtf8("Forlì"));
    EXPECT_EQ(t.righe[0], QString::fromUtf8("CittÃ\u00A0"));

    // plain ASCII reads the same either way
    EXPECT_EQ(decodifica("A;B\n").codifica, Codifica::Utf8);
    EXPECT_EQ(nomeCodifica(Codifica::Windows1252), "Windows-1252");
    EXPECT_EQ(nomeCodifica(Codifica::Utf8Bom), "UTF-8 (con BOM)");
}

TEST(FileClienti, Utf8IsCheckedStrictly) {
    EXPECT_TRUE(utf8Valido(QString::fromUtf8("€ 😀 ü").toUtf8()));
    EXPECT_FALSE(utf8Valido(latino("\xC0\x80")));         // overlong NUL
    EXPECT_FALSE(utf8Valido(latino("\xE0\x80\xAF")));     // overlong slash
    EXPECT_FALSE(utf8Valido(latino("\xED\xA0\x80")));     // a surrogate
    EXPECT_FALSE(utf8Valido(latino("\xF4\x90\x80\x80"))); // past U+10FFFF
    EXPECT_FALSE(utf8Valido(latino("ab\xE2\x82")));       // cut at the end
    EXPECT_FALSE(utf8Valido(latino("\x80")));             // a continuation first
    EXPECT_FALSE(utf8Valido(latino("\xF8\x88\x80\x80\x80")));
}

TEST(FileClienti, LinesEndWithCrLfLfOrCrAndNulsAreDropped) {
    const TestoFile t = decodifica(QByteArray("uno\r\ndue\ntre\rquattro\r\n\ncin\0que", 31));
    EXPECT_EQ(t.righe, (QStringList{"uno", "due", "tre", "quattro", "", "cinque"}));
    EXPECT_TRUE(decodifica({}).righe.isEmpty());
    EXPECT_EQ(decodifica("solo\r\n").righe, QStringList{"solo"});
}

TEST(FileClienti, AFileWithNulsOrManyControlCharactersIsNotText) {
    EXPECT_TRUE(eTesto({}));
    EXPECT_TRUE(eTesto("C1;Rossi\tSpa\r\n\fC2;Bianchi\r\n\x1A")) << "tab, form feed, Ctrl+Z";
    EXPECT_TRUE(eTesto(QString::fromUtf8("C1;Perù\r\n").toUtf8()));
    EXPECT_FALSE(eTesto(QByteArray("C1;Rossi\0\r\n", 11)));
    // one control character in twenty is a stray one; more is not a text
    EXPECT_TRUE(eTesto("C1;Rossi SpA;Milano\x01"));
    EXPECT_FALSE(eTesto("C1;Rossi SpA;Milan\x01\x02"));
    // C1 controls: encoded in UTF-8, or the bytes Windows-1252 leaves undefined
    EXPECT_FALSE(eTesto((QString("C1;") + QChar(0x81) + QChar(0x90) + QChar(0x9D)).toUtf8()));
    EXPECT_FALSE(eTesto("C1;\x81\x8D\x8F\x90"));
}

TEST(FileClienti, FieldsSplitAtSemicolonsAfterTheApostrophes) {
    EXPECT_EQ(campi("C1;Bar dell'Angolo;;x"),
              (QStringList{"C1", "Bar dell" + kAcuto + "Angolo", "", "x"}));
    EXPECT_EQ(campi(""), QStringList{""});
    // no quoting: a quoted semicolon still splits
    EXPECT_EQ(campi("\"a;b\""), (QStringList{"\"a", "b\""}));
}

TEST(FileClienti, ACustomerIsMadeByItsFirstLineAndLaterLinesAddDeliveryAddresses) {
    const QByteArray file =
        "Codice;Nome;Nome2;Indirizzo;CAP;Citta;Prov;Nazione;CF;PI;x;Rif;DNome;DNome2;DInd\r\n"
        "C1;ROSSI; SPA ;Via Roma 1;20100;Milano;MI;Italia;RSSMRA;01234567890;;R1;Magazzino;"
        "Nord;Via Po 2;Scala B;Piano 2;20121;Milano;MI\r\n"
        "C1;Altro nome;;Via Verdi;;;;;;;;R2;stesso;;Via Dante 3;;;;;\r\n"
        ";senza codice;;;;;;;;;;;Destinatario;;;;;;;\r\n"
        "C2;Bianchi;;;;;;;;;;;;\r\n";
    const ContenutoFile c = leggi(file, true);
    EXPECT_EQ(c.righe, 4);
    ASSERT_EQ(c.clienti.size(), 2u);
    const Cliente& c1 = c.clienti[0];
    EXPECT_EQ(c1.codice, "C1");
    EXPECT_EQ(c1.nome, "ROSSI  SPA"); // field 2, a blank and field 3, trimmed
    EXPECT_EQ(c1.indirizzo, "Via Roma 1");
    EXPECT_EQ(c1.provincia, "MI");
    EXPECT_EQ(c1.codiceFiscale, "RSSMRA");
    EXPECT_EQ(c1.partitaIva, "01234567890");
    EXPECT_EQ(c1.riga, 2);
    ASSERT_EQ(c1.destinatari.size(), 2u);
    EXPECT_EQ(c1.destinatari[0].codice, "C101");
    EXPECT_EQ(c1.destinatari[0].nome, "Magazzino Nord");
    EXPECT_EQ(c1.destinatari[0].riferimento, "R1");
    EXPECT_EQ(c1.destinatari[0].citta, "Milano");
    EXPECT_EQ(noteTecniche(c1.destinatari[0]),
              "<INDIRIZZO AGG2=Scala B>\r<INDIRIZZO AGG3=Piano 2>");
    EXPECT_EQ(c1.destinatari[1].codice, "C102");
    EXPECT_EQ(c1.destinatari[1].nome, "ROSSI  SPA") << "STESSO, in any case, is the customer";
    EXPECT_EQ(c1.destinatari[1].riga, 3);
    EXPECT_TRUE(noteTecniche(c1.destinatari[1]).isEmpty());
    EXPECT_EQ(c.clienti[1].codice, "C2");
    EXPECT_TRUE(c.clienti[1].destinatari.empty());

    // without the skip the heading is a customer like any other
    EXPECT_EQ(leggi(file, false).clienti.size(), 3u);
}

TEST(FileClienti, FieldsKeepTheLengthsOfTheCustomerTable) {
    const QString lungo = QString(70, 'x');
    const QString riga = "C9;" + lungo + ";" + lungo + ";" + lungo + ";12345678901;" + lungo +
                         ";Milano;" + lungo + ";RSSMRA62C15L781ZXX;0123456789012;;RIFERIMENTO12;" +
                         lungo + ";;" + lungo + ";" + lungo + ";" + lungo + ";12345678901;" +
                         lungo + ";Milano\n";
    const Cliente c = leggi(riga.toUtf8(), false).clienti.at(0);
    EXPECT_EQ(c.nome.size(), 64);
    EXPECT_EQ(c.indirizzo.size(), 64);
    EXPECT_EQ(c.cap, "1234567890");
    EXPECT_EQ(c.citta.size(), 64);
    EXPECT_EQ(c.provincia, "Mi");
    EXPECT_EQ(c.nazione.size(), 32);
    EXPECT_EQ(c.codiceFiscale, "RSSMRA62C15L781Z");
    EXPECT_EQ(c.partitaIva, "01234567890");
    const Destinatario& d = c.destinatari.at(0);
    EXPECT_EQ(d.riferimento, "RIFERIMENT");
    EXPECT_EQ(d.nome.size(), 64);
    EXPECT_EQ(d.indirizzo.size(), 64);
    EXPECT_EQ(d.indirizzo2.size(), 70) << "the second and third lines are kept whole";
    EXPECT_EQ(d.indirizzo3.size(), 70);
    EXPECT_EQ(d.cap, "1234567890");
    EXPECT_EQ(d.provincia, "Mi");
}

TEST(FileClienti, DeliveryNumbersGoOnPastNinetyNine) {
    QByteArray file;
    for (int i = 0; i < 101; ++i) {
        file += "C1;Cliente;;;;;;;;;;;Punto;vendita\n";
    }
    const auto d = leggi(file, false).clienti.at(0).destinatari;
    ASSERT_EQ(d.size(), 101u);
    EXPECT_EQ(d[0].codice, "C101");
    EXPECT_EQ(d[98].codice, "C199");
    EXPECT_EQ(d[99].codice, "C1100");
}

// Random lines, well and badly formed, for a bounded time: the reader never
// fails and what it gives back keeps its rules.
TEST(FileClienti, RandomAndBrokenFilesAreReadWithoutFault) {
    std::mt19937 gen(20240611);
    const char* pezzi[] = {";",
                           ";;",
                           "'",
                           "\r\n",
                           "\n",
                           "\r",
                           "STESSO",
                           "C1",
                           "C10",
                           "\xEF\xBB\xBF",
                           "\xE0",
                           "\xC3",
                           "\xA0",
                           "\x80",
                           "\x00",
                           " ",
                           "\xF0\x9F\x98\x80",
                           "Via Roma 1",
                           "\xFF",
                           "\"",
                           "x"};
    const int nPezzi = int(sizeof(pezzi) / sizeof(pezzi[0]));
    QElapsedTimer t;
    t.start();
    int giri = 0;
    while (giri < 200000 && t.elapsed() < 3000) {
        ++giri;
        QByteArray dati;
        const int n = std::uniform_int_distribution<int>(0, 60)(gen);
        for (int i = 0; i < n; ++i) {
            if (gen() % 4 == 0) {
                dati += char(gen() & 0xFF);
            } else {
                const char* p = pezzi[gen() % unsigned(nPezzi)];
                dati += p[0] == 0 ? QByteArray(1, '\0') : QByteArray(p);
            }
        }
        const bool salta = gen() % 2;
        const ContenutoFile c = leggi(dati, salta);
        const TestoFile testo = decodifica(dati);
        ASSERT_EQ(c.righe, std::max<qsizetype>(0, testo.righe.size() - (salta ? 1 : 0)));
        for (const Cliente& cl : c.clienti) {
            ASSERT_FALSE(cl.codice.isEmpty());
            ASSERT_FALSE(cl.codice.contains(';'));
            ASSERT_FALSE(cl.codice.contains('\'')) << "apostrophes become accents";
            ASSERT_FALSE(cl.codice.contains(QChar(0)));
            ASSERT_LE(cl.nome.size(), 64);
            ASSERT_LE(cl.provincia.size(), 2);
            ASSERT_LE(cl.partitaIva.size(), 11);
            ASSERT_GE(cl.riga, salta ? 2 : 1);
            for (size_t k = 0; k < cl.destinatari.size(); ++k) {
                const Destinatario& d = cl.destinatari[k];
                ASSERT_EQ(d.codice,
                          cl.codice + QStringLiteral("%1").arg(k + 1, 2, 10, QLatin1Char('0')));
                ASSERT_FALSE(d.nome.isEmpty());
                ASSERT_LE(d.riferimento.size(), 10);
                ASSERT_GE(d.riga, cl.riga);
            }
        }
    }
    EXPECT_GT(giri, 1000);
}
