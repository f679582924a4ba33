#include "report/codicebarre.h"

#include <QPainter>
#include <zint.h>

namespace quintar::report {

SimboloBarre codifica128(const QString& valore) {
    SimboloBarre s;
    if (valore.isEmpty()) {
        s.errore = QStringLiteral("valore vuoto");
        return s;
    }
    zint_symbol* z = ZBarcode_Create();
    if (!z) {
        s.errore = QStringLiteral("memoria esaurita");
        return s;
    }
    z->symbology = BARCODE_CODE128;
    z->input_mode = UNICODE_MODE;
    z->show_hrt = 0;
    z->whitespace_width = 10;
    const QByteArray dati = valore.toUtf8();
    int esito = ZBarcode_Encode(z, reinterpret_cast<const unsigned char*>(dati.constData()),
                                int(dati.size()));
    if (esito < ZINT_ERROR) {
        esito = ZBarcode_Buffer_Vector(z, 0);
    }
    if (esito >= ZINT_ERROR) {
        s.errore = QString::fromLatin1(z->errtxt);
    } else if (z->vector && z->vector->width > 0 && z->vector->height > 0) {
        const double w = z->vector->width;
        const double h = z->vector->height;
        for (zint_vector_rect* r = z->vector->rectangles; r; r = r->next) {
            s.barre.emplace_back(r->x / w, r->y / h, r->width / w, r->height / h);
        }
    }
    ZBarcode_Delete(z);
    if (s.errore.isEmpty() && s.barre.empty()) {
        s.errore = QStringLiteral("simbolo vuoto");
    }
    return s;
}

bool disegnaCodice128(QPainter& p, const QRectF& area, const QString& valore) {
    const SimboloBarre s = codifica128(valore);
    p.save();
    if (!s.valido()) {
        QPen pen(Qt::red);
        pen.setWidthF(area.height() / 60);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(area);
        p.drawLine(area.topLeft(), area.bottomRight());
        p.drawLine(area.topRight(), area.bottomLeft());
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Codice a barre non valido: %1").arg(s.errore));
        p.restore();
        return false;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (const QRectF& b : s.barre) {
        // bars run the full height: the symbol carries no text of its own
        p.drawRect(QRectF(area.left() + b.left() * area.width(), area.top(),
                          b.width() * area.width(), area.height()));
    }
    p.restore();
    return true;
}

} // namespace quintar::report
