// Opening a document with the program the desktop associates with it (the
// shell's "open"), in the document's own folder. Tests install their own
// opener to see what would be opened.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace quintar::apertura {

using Apritore = std::function<bool(const QString& file, const QString& cartella)>;

// Opens the file; false when no program could be started.
bool apri(const QString& file);
// Replaces the opener; an empty one restores the desktop's.
void installa(Apritore a);

// Starting a program of the user's choice on a document (the word processor
// named in the parameters), detached: it outlives the screen.
using Avviatore = std::function<bool(const QString& programma, const QStringList& argomenti)>;

// The program's file: the path as stored (for the local disk), or the program
// found on the search path for a bare name; empty when there is none.
QString programma(const QString& nome);
// Starts the program; false when it could not be started.
bool avvia(const QString& programma, const QStringList& argomenti);
// Replaces the starter; an empty one restores the real one.
void installaAvviatore(Avviatore a);

} // namespace quintar::apertura
