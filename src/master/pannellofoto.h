// A packaging photo in its panel: drawn to fit (foto::adatta), centred, on
// the window's colour; hidden when there is none or it cannot be read.
#pragma once

#include <QFrame>
#include <QImage>

class QLabel;

namespace quintar {

class PannelloFoto : public QFrame {
    Q_OBJECT
public:
    // `pannello` and `immagine` are the objectNames of the panel and of the
    // picture inside it (PanelNoFoto, ImmagineImballo).
    PannelloFoto(const QString& pannello, const QString& immagine, QWidget* parent);

    QLabel* Immagine;

    // Draws the stored photo (a path relative to the photos' folder, "\"
    // separators allowed); false, and the picture hidden, when the file is
    // missing or not a picture.
    bool mostra(const QString& cartella, const QString& memorizzata);
    void nascondi();
    // The file drawn and the size it was drawn at (empty when hidden).
    QString fileMostrato() const { return file_; }
    QSize dimensioneDisegnata() const { return disegnata_; }

signals:
    void doppioClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void disegna();
    QString file_;
    QImage immagine_;
    QSize disegnata_;
};

} // namespace quintar
