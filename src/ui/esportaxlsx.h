// Export of a list to a spreadsheet (.xlsx): the rows of its statement as the
// list shows them (columns in their order, titles and widths of the layout),
// numbers as numbers and dates as dates. The rows are read from a cursor of
// their own and written as they come, so that a list of a million rows never
// stands in memory; the file appears under its name only once complete.
#pragma once

#include "session/db.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTableView;

namespace quintar {

class GrigliaModello;

struct ColonnaEsportata {
    QString campo;     // the field as the statement names it
    QString titolo;    // the column's title ("" for the field's name)
    int larghezza = 0; // pixels on screen (0: the spreadsheet's own)
};

struct EsitoEsportazione {
    enum Stato { Completata, Annullata, Errore };
    Stato stato = Completata;
    qint64 righe = 0;  // rows written
    QString messaggio; // what went wrong (Errore)
};

// The rows of a sheet: past this many (the title row included) the rows go on
// a further sheet with the titles again.
constexpr qint64 kRigheFoglio = 1048576;

// Writes the rows of the open query, from its current row to the end, into
// `file`. `colonne` picks and orders the fields (every field when empty; a
// name not among them is an error). `avanzamento` is called with the rows
// written every few hundred rows, and once at the end; false stops the
// export (Annullata). A file already under that name stays as it was unless
// the export completes.
EsitoEsportazione scriviXlsx(Query& q, const std::vector<ColonnaEsportata>& colonne,
                             const QString& file,
                             const std::function<bool(qint64)>& avanzamento = {},
                             qint64 righePerFoglio = kRigheFoglio);

// Rows made in memory (a report gathered from more than one archive), with
// their fields as a statement would name and type them.
struct ElencoInMemoria {
    std::vector<InfoCampo> campi;
    std::vector<std::vector<QVariant>> righe;
};
EsitoEsportazione scriviXlsx(const ElencoInMemoria& elenco,
                             const std::vector<ColonnaEsportata>& colonne, const QString& file,
                             const std::function<bool(qint64)>& avanzamento = {},
                             qint64 righePerFoglio = kRigheFoglio);

// The columns a view shows, in their order on screen, with its titles and
// widths; hidden ones left out.
std::vector<ColonnaEsportata> colonneVista(const QTableView* vista, const GrigliaModello* modello);

// The statement of a list without the rows-window of its order line (a list
// opened far down reads from one row on: an export reads them all).
QStringList sqlSenzaFinestra(QStringList sql);

// The whole export of a list from a screen: the file is chosen through the
// dialog service (`nomeProposto` in `cartella`), the rows are read on a
// read-only transaction of their own, with the values the list's statement
// is bound to, while a progress window with "Annulla" shows how far it got
// and the screen stays locked; the outcome ends in a message. Returns the
// file written, empty when none was.
QString esportaElencoXlsx(QWidget* finestra, Database* db, const QStringList& sql,
                          const std::vector<QVariant>& parametri,
                          const std::vector<ColonnaEsportata>& colonne, const QString& nomeProposto,
                          const QString& cartella);

} // namespace quintar
