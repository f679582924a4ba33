// Process-wide number and date formats: every screen formats and parses
// numbers and dates through here.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace quintar {

class Formati {
public:
    struct Impostazioni {
        QChar separatoreDecimale;
        QChar separatoreMigliaia;
        QString formatoData; // short date format, Qt notation ("dd/MM/yyyy")
        bool operator==(const Impostazioni&) const = default;
    };

    // The settings the process started with (from the system locale).
    static Impostazioni predefinite();
    static Impostazioni correnti();
    static void imposta(const Impostazioni& i);
    // ',' decimal, '.' thousands, "dd/MM/yyyy": what the entry points set.
    static void impostaItaliani();

    static QChar separatoreDecimale() { return correnti().separatoreDecimale; }

    // Shortest exact rendering with the current decimal separator, no thousands
    // separator ("12,5", "3", "-0,25"): what leggiNumero reads back exactly.
    static QString numeroInTesto(double v);
    // Fixed decimals with the current decimal separator.
    static QString numeroInTesto(double v, int decimali);
    // A "###,###.##" picture: thousands grouped, at most `decimali` decimals
    // (rounded), trailing zeros dropped down to `minimi` ("1.234,5",
    // "333,33", "0"; "###,##0.0000" is 4 and 4).
    static QString numeroConMigliaia(double v, int decimali, int minimi = 0);
    // Reads a number typed by a user, one way only: digits, an optional sign
    // and at most one current decimal separator (the comma with the Italian
    // formats). No thousands separator is ever read: "1.000", "12.500" or
    // "1.5" with the Italian formats are not numbers, so that a point is
    // refused rather than read as a decimal in one place and as thousands
    // in another. Empty or invalid text gives nothing; every number a user
    // types is read here. Text the program formatted with thousands
    // separators (numeroConMigliaia) is for showing, never for reading back.
    static std::optional<double> leggiNumero(const QString& testo);
    // The same for whole numbers: digits and an optional sign.
    static std::optional<qint64> leggiIntero(const QString& testo);

    static QString dataInTesto(const QDate& d);
    static QString dataOraInTesto(const QDateTime& d);
    static QDate leggiData(const QString& testo);
};

} // namespace quintar
