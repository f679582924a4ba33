// Opening a document with the program the desktop associates with it (the
// shell's "open"), in the document's own folder. Tests install their own
// opener to see what would be opened.
#pragma once

#include <QString>
#include <functional>

namespace quintar::apertura {

using Apritore = std::function<bool(const QString& file, const QString& cartella)>;

// Opens the file; false when no program could be started.
bool apri(const QString& file);
// Replaces the opener; an empty one restores the desktop's.
void installa(Apritore a);

} // namespace quintar::apertura
