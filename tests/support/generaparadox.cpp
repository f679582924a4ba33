// Writes an older archive of generated Paradox tables, for the scenarios and
// by hand:
//   genera_paradox DIR [--righe N] [--codepage CP] [--tabella DESTINAZIONE=N]...
// N records in each of the 28 tables (10 by default), or the count given for
// a table; the total is printed.
#include "support/paradoxprova.h"

#include <QCoreApplication>
#include <QHash>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 2) {
        std::fprintf(stderr, "uso: genera_paradox DIR [--righe N] [--codepage CP] "
                             "[--tabella DESTINAZIONE=N]...\n");
        return 2;
    }
    int righe = 10;
    int codePage = 1252;
    QHash<QString, int> perTabella;
    for (qsizetype i = 2; i + 1 < a.size(); i += 2) {
        if (a[i] == "--righe") {
            righe = a[i + 1].toInt();
        } else if (a[i] == "--codepage") {
            codePage = a[i + 1].toInt();
        } else if (a[i] == "--tabella") {
            perTabella.insert(a[i + 1].section('=', 0, 0).toUpper(),
                              a[i + 1].section('=', 1).toInt());
        } else {
            std::fprintf(stderr, "genera_paradox: argomento sconosciuto %s\n", qPrintable(a[i]));
            return 2;
        }
    }
    try {
        const qint64 n = prova::paradox::scriviArchivioVecchio(
            a[1], [&](const QString& t) { return perTabella.value(t, righe); }, codePage);
        std::printf("%lld record\n", static_cast<long long>(n));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "genera_paradox: %s\n", e.what());
        return 1;
    }
    return 0;
}
