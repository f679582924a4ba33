// Paradox tables written with the library, for the tests and the benchmark
// of the archive conversion: single tables of any content, and a whole
// older archive (the folder tree of the 28 tables) of generated records.
#pragma once

#include "exchange/paradox.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <vector>

struct px_doc;

namespace prova::paradox {

using quintar::paradox::Record;
using quintar::paradox::Tipo;

struct Campo {
    QString nome;
    Tipo tipo;
    int lunghezza = 0; // alpha and memo fields (memo: text kept in the record + 10)
};

// Fields from a compact description: "Codice:A10 Nome:A40 Prezzo:N Data:D
// Flag:L Note:M40 Riga:I Tipo:S" (A alpha, N number, I long, S short, D date,
// L logical, M memo, T time, X timestamp).
std::vector<Campo> campi(const QString& descrizione);

// One table (and its .MB when it has memo fields). Texts are written in the
// code page given, which the header then names.
class TabellaProva {
public:
    TabellaProva(const QString& file, std::vector<Campo> campi, int codePage = 1252);
    ~TabellaProva();
    TabellaProva(const TabellaProva&) = delete;
    TabellaProva& operator=(const TabellaProva&) = delete;
    void aggiungi(const Record& r);
    void chiudi();

private:
    QByteArray codifica(const QString& s) const;
    QString file_;
    std::vector<Campo> campi_;
    std::vector<int> posizioni_;
    std::vector<char> record_;
    px_doc* doc_ = nullptr;
    std::FILE* fp_ = nullptr;
    int codePage_;
    void* iconv_ = nullptr;
};

// Writes a whole table in one call.
void scriviTabella(const QString& file, const QString& descrizione,
                   const std::vector<Record>& righe, int codePage = 1252);

// A source table of the older archive as the generator writes it: folder
// and file under the root, and its fields. A '*' after a field marks the
// key (the generated values are unique over the key fields).
struct TabellaVecchia {
    QString cartella;
    QString file;
    QString destinazione;
    QString descrizione;
};
const std::vector<TabellaVecchia>& tabelleVecchie();

// Writes the 28 tables under radice, `righe(destinazione)` records each,
// with deterministic values (texts with apostrophes, double quotes and
// accented letters, decimals, dates, logical fields, some nulls and memos
// long enough to live in the .MB file). Returns the records written.
qint64 scriviArchivioVecchio(const QString& radice, const std::function<int(const QString&)>& righe,
                             int codePage = 1252);

// The value the generator writes in field `campo` of record `riga` (from 0).
QVariant valoreGenerato(const TabellaVecchia& t, const Campo& campo, bool chiave, int riga,
                        int posizioneChiave, int chiavi);

} // namespace prova::paradox
