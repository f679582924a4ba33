// History copies: numbered versions (VERS) of a row, written as one
// INSERT ... SELECT from the card's own table. The caller chooses the
// transaction (the query's), and so which state of the row is copied.
#pragma once

#include "session/db.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace quintar {

// A history row that could not be written: the change it records must not
// be written either.
class ErroreStorico : public DbError {
public:
    using DbError::DbError;
};

inline const QString kTestoErroreStorico =
    QStringLiteral("Errore interno: impossibile inserire nello storico le modifiche");

struct DescrizioneStorico {
    QString tabellaStorico;     // STOCONFEZ
    QString tabella;            // CONFEZ
    QStringList colonneChiave;  // the record's key, same names in both tables
    QStringList colonneCopiate; // copied columns (the key included), same names in both
    QString colonnaVersione = QStringLiteral("VERS");
    QString colonnaData;       // stamped with today's date, when the table has one
    QString colonnaUtente;     // stamped with the user number, when the table has one
    QString colonnaCancellato; // set to '1' on the version written by a deletion
};

namespace storico {

// Highest version of the record plus 1 (1 when it has none).
int prossimaVersione(Query& q, const DescrizioneStorico& d, const QStringList& chiave);
// Copies the record as q's transaction sees it; returns the version written.
int copia(Query& q, const DescrizioneStorico& d, const QStringList& chiave, int utente,
          bool cancellazione = false);
// The record's columns as text, as q's transaction sees them (empty map when
// the record does not exist).
QMap<QString, QString> riga(Query& q, const DescrizioneStorico& d, const QStringList& chiave);
// A save writes a version when the record has none yet or when the stored row
// differs from the row as it was shown before editing.
bool serveVersione(Query& q, const DescrizioneStorico& d, const QStringList& chiave,
                   const QMap<QString, QString>& primaDellaModifica);

// The row of `tabella` picked by `condizione` already holds every value of
// the SET lines ("COLUMN=value", as a save writes them): a save would change
// nothing. False when the row does not exist.
bool invariata(Query& q, const QString& tabella, const QString& condizione,
               const QStringList& assegnazioni);

// A value written as it is into a copied row: column and SQL literal.
using Costanti = std::vector<std::pair<QString, QString>>;

// INSERT INTO storico (copiate, costanti) SELECT copiate, costanti FROM
// tabella WHERE condizione, expecting exactly one row; ErroreStorico otherwise.
void copiaRiga(Query& q, const QString& tabellaStorico, const QString& tabella,
               const QStringList& copiate, const Costanti& costanti, const QString& condizione);
// A version of a record or of one of its lines: the copy of the row, with
// its numbers, and its row in the summary table of the record's history.
struct Versione {
    QString tabellaStorico;   // STOSPECIF
    QString tabella;          // SPECIF
    QStringList copiate;      // columns copied as they are
    Costanti numeri;          // VERS, or VERSIONET and VERSIONED
    QString condizione;       // the row copied
    QString riepilogo;        // STOMATERRIEP
    Costanti chiaveRiepilogo; // CODICE, NRIGA, VERSIONET, VERSIONED, TABELLA, ...
};
// Writes both, dated today, the summary row marked as a deletion or not and
// signed with the user (as an SQL literal); ErroreStorico on failure.
void scrivi(Query& q, const Versione& v, bool cancellazione, const QString& utente);

// INSERT INTO tabella (columns) VALUES (literals); ErroreStorico on failure.
void inserisci(Query& q, const QString& tabella, const Costanti& valori);
// Keeps a statement that failed in the file Errore.sql of the folder (the
// system's temporary folder when empty), for whoever looks into the failure.
void registraErrore(const QString& cartella, const QStringList& sql);

// SELECT MAX(colonna) FROM tabella WHERE condizione; nullopt when NULL.
std::optional<int> massimo(Query& q, const QString& tabella, const QString& colonna,
                           const QString& condizione);

} // namespace storico
} // namespace quintar
