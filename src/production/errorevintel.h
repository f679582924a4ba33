// The notice the weighing screens show over a fixed warning picture: a text
// given by the caller and "&Chiudi".
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quintar {

class TErroreVintelForm : public QDialog {
    Q_OBJECT
public:
    explicit TErroreVintelForm(const QString& testo, QWidget* owner = nullptr);

    QLabel* ImageVintel;
    QLabel* LabelAvviso;
    QPushButton* ButtonChiudi;

    // Shows the notice modally (through Messaggi, so that tests can answer).
    static void mostra(const QString& testo, QWidget* owner = nullptr);
};

} // namespace quintar
