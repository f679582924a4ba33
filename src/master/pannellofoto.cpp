#include "master/pannellofoto.h"

#include "master/foto.h"
#include "session/percorsi.h"

#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QVBoxLayout>

namespace quintar {

PannelloFoto::PannelloFoto(const QString& pannello, const QString& immagine, QWidget* parent)
    : QFrame(parent) {
    setObjectName(pannello);
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(120, 100);
    Immagine = new QLabel(this);
    Immagine->setObjectName(immagine);
    Immagine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Immagine->setToolTip(QStringLiteral("Doppio click per vedere l'immagine ingrandita"));
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(1, 1, 1, 1);
    l->addWidget(Immagine);
    Immagine->hide();
}

bool PannelloFoto::mostra(const QString& cartella, const QString& memorizzata) {
    nascondi();
    if (memorizzata.trimmed().isEmpty()) {
        return false;
    }
    const QString file = foto::suDisco(percorsi::suDisco(cartella), memorizzata);
    if (file.isEmpty()) {
        return false;
    }
    QImageReader lettore(file);
    lettore.setDecideFormatFromContent(true);
    QImage img = lettore.read();
    if (img.isNull()) {
        return false;
    }
    immagine_ = std::move(img);
    file_ = file;
    disegna();
    Immagine->show();
    return true;
}

void PannelloFoto::nascondi() {
    immagine_ = QImage();
    file_.clear();
    disegnata_ = {};
    Immagine->clear();
    Immagine->hide();
}

void PannelloFoto::disegna() {
    if (immagine_.isNull()) {
        return;
    }
    const QSize cornice = contentsRect().size();
    if (cornice.isEmpty()) {
        return;
    }
    disegnata_ = foto::adatta(immagine_.size(), cornice);
    QPixmap quadro(cornice);
    quadro.fill(palette().color(QPalette::Window));
    QPainter p(&quadro);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(foto::origine(disegnata_, cornice), disegnata_), immagine_);
    p.end();
    Immagine->setPixmap(quadro);
}

void PannelloFoto::mouseDoubleClickEvent(QMouseEvent* e) {
    QFrame::mouseDoubleClickEvent(e);
    if (!file_.isEmpty()) { // only a photo shown opens larger
        emit doppioClick();
    }
}

void PannelloFoto::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    disegna();
}

} // namespace quintar
