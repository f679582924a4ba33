// The layouts delivered with the library for the five data sheets.
#pragma once

#include <QString>
#include <QStringList>

namespace quintar::report {

// File names of the delivered layouts.
QStringList layoutPredefiniti();
// The text of a delivered layout (empty for an unknown name).
QString testoLayoutPredefinito(const QString& nome);
// Writes the delivered layouts into a folder, creating it when missing. A
// layout already there is left alone unless sovrascrivi: users may have
// edited it. Returns false with the reason when a file cannot be written.
bool scriviLayoutPredefiniti(const QString& cartella, bool sovrascrivi = false,
                             QString* errore = nullptr);

} // namespace quintar::report
