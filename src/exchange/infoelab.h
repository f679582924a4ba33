// The progress window of the archive conversion: table n of 28 and record
// n of the table's count, each with its bar, and "Annulla".
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quintar {

class TInfoElabForm : public QWidget {
    Q_OBJECT
public:
    // A window of its own, kept by `owner`; centred on the desktop when shown.
    explicit TInfoElabForm(QWidget* owner);

    QLabel* LabelTabella;
    QLabel* LabelNTabella;
    QLabel* LabelTotTabelle;
    QProgressBar* ProgressBar1;
    QLabel* LabelNRecord;
    QLabel* LabelTotRecord;
    QProgressBar* ProgressBar2;
    QPushButton* ButtonAnnulla;

    // Set once the user has confirmed "Annulla".
    bool Annullato() const { return annullato_; }
    void ButtonAnnullaClick();

protected:
    void showEvent(QShowEvent* e) override;
    // Closing the window is asking to cancel.
    void closeEvent(QCloseEvent* e) override;

private:
    bool annullato_ = false;
    bool centrata_ = false;
};

} // namespace quintar
