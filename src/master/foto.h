// Packaging photos: where a stored photo lies on disk, how a chosen file is
// stored, and the size a photo is drawn at in its frame.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

namespace quintar::foto {

// The size a photo of `foto` is drawn at in a frame of `cornice`: its own
// when it fits; a square photo takes the frame's smaller side; any other is
// reduced by 10 % a step (each side rounded, a half to the even neighbour)
// while a side reaches the frame's, stopping when a step no longer shrinks
// it (200 × 100 in 100 × 100: 95 × 48 after seven steps).
QSize adatta(QSize foto, QSize cornice);
// Where a photo of that size starts when centred in a panel.
QPoint origine(QSize disegnata, QSize pannello);

// The stored form of a chosen file under the photos' folder: the rest of
// its path after the folder, upper case, with "\" separators
// ("FLACONI\A1.JPG"). The folder must be the start of the path (compared
// without regard to case or separator); nothing otherwise.
std::optional<QString> memorizzata(const QString& file, const QString& cartella);
// The file of a stored photo under the folder, each part of its path found
// without regard to case; empty when it does not exist.
QString suDisco(const QString& cartella, const QString& memorizzata);

} // namespace quintar::foto
