// Code 128 symbols drawn as vector bars.
#pragma once

#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace quintar::report {

struct SimboloBarre {
    // Bars as fractions of the symbol's width and height (0..1), quiet zones included.
    std::vector<QRectF> barre;
    QString errore; // why the value cannot be encoded
    bool valido() const { return errore.isEmpty() && !barre.empty(); }
};

// Encodes a value as Code 128 with ten modules of quiet zone each side.
SimboloBarre codifica128(const QString& valore);
// Draws the symbol filling the rectangle; a value that cannot be encoded
// draws a crossed box with the reason. Returns false in that case.
bool disegnaCodice128(QPainter& p, const QRectF& area, const QString& valore);

} // namespace quintar::report
