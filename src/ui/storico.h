// History copies: numbered versions (VERS) of a row, written as one
// INSERT ... SELECT from the card's own table. The caller chooses the
// transaction (the query's), and so which state of the row is copied.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace quintar {

class Query;

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

} // namespace storico
} // namespace quintar
