// The conversion of the older archive: its 28 tables, in the order they are
// converted, and how a source value becomes the value bound for its column.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>
#include <vector>

namespace quintar {
class Query;
}

namespace quintar::conversione {

struct TabellaDaConvertire {
    QString cartella; // under the root of the older archive
    QString file;
    QString destinazione;
    QStringList colonne;     // each from the source field of the same name
    QStringList chiavi;      // identify the record: never NULL
    QStringList descrittive; // names, descriptions, notes, texts: ' and " → ´
};

const std::vector<TabellaDaConvertire>& tabelle();

// The source field a column is filled from: its own name, but PRODOT.TEMPO3
// comes from Tempo2 when the product table has no Tempo3.
QString campoOrigine(const QString& tabella, const QString& colonna, bool haCampo3);

enum class Genere { Testo, Intero, Decimale, Data, Ora, DataOra };

struct Colonna {
    QString nome;
    Genere genere = Genere::Testo;
    bool chiave = false;
    bool descrittiva = false;
    bool zeroSeVuota = false; // PROCED.EVIDENZA
};

// The kind of a column from its Firebird field type and scale.
Genere genereDi(int tipoCampo, int scala);

// The columns of the table in its order with their kinds, read from the
// target's catalogue through `catalogo` (a query on the run's transaction).
std::vector<Colonna> colonneDestinazione(Query& catalogo, const TabellaDaConvertire& t);
// "INSERT INTO T(columns) VALUES(?,...)": one statement for every record.
QString fraseInserimento(const TabellaDaConvertire& t);

// A source value that the column cannot take (a text that is no date for a
// date column): the reason, naming the column.
class ValoreNonValido : public std::runtime_error {
public:
    explicit ValoreNonValido(const QString& m) : std::runtime_error(m.toStdString()), testo(m) {}
    QString testo;
};

// The value bound for a source value (as the reader gives it): empty → NULL
// except for keys (kept as they are) and zero-when-empty columns ("0");
// logical fields "1" / "0"; descriptive texts with ' and " as ´; numbers
// written as text read by the older program's rule (a comma or a point
// before the decimals, never thousands: "1.050" is 1,05), whatever the
// session's formats; dates written as text read in the session's formats.
QVariant valore(const QVariant& origine, const Colonna& c);

// The statement as text with its values in place, for the summary when it
// fails.
QString testoFrase(const QString& tabella, const QStringList& colonne,
                   const std::vector<QVariant>& valori);

} // namespace quintar::conversione
