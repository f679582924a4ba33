// dati.ini beside a database, section CONFIG. Keys hold blanks ("Nome Server")
// and the file is kept byte for byte apart from the value written.
#pragma once

#include <QString>

namespace quintar::datiini {

// The value of a key of section CONFIG in dir + "dati.ini"; empty when the file,
// the section or the key is missing.
QString leggi(const QString& dir, const QString& chiave);
// Writes one key of CONFIG, keeping every other line as it was. False when the
// file cannot be written.
bool scrivi(const QString& dir, const QString& chiave, const QString& valore);

// The same on a file's content (for tests and for the two above).
QString valore(const QByteArray& contenuto, const QString& sezione, const QString& chiave);
QByteArray conValore(const QByteArray& contenuto, const QString& sezione, const QString& chiave,
                     const QString& valore);

} // namespace quintar::datiini
