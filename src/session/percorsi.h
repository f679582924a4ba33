// Paths as the archive stores them ("\" separators, trailing separator on
// directories) and as the disk wants them.
#pragma once

#include <QString>

namespace quintar::percorsi {

// Name of the environment variable through which the host names its own
// directory (read at every launch); without it the running executable's.
inline constexpr const char* kVariabileDirHost = "QUINTAR_HOST_DIR";

// The host directory, ending with a separator.
QString dirEseguibile();
// The directory with a trailing separator ("/" unless it already ends in "\" or "/").
QString conSeparatore(const QString& dir);
// A stored path for the local disk: "\" becomes "/". Network names (\\SRV\...)
// and server names (SRV:path) are left as they are.
QString suDisco(const QString& percorso);
bool separatore(QChar c);
// A network name (\\SERVER\share\...): this system reaches it only through a
// database server, never as a file.
bool diRete(const QString& percorso);
// Splits a full path after its last separator: directory (with separator) and file.
void dividi(const QString& percorso, QString& dir, QString& file);

} // namespace quintar::percorsi
