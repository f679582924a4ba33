// One-field modal dialog: the new code of a card.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quintar {

class TKyvIn1Form : public QDialog {
    Q_OBJECT
public:
    explicit TKyvIn1Form(QWidget* owner = nullptr);
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Runs when the user confirms (KyvIn1FormClose): false keeps the dialog open.
    std::function<bool(TKyvIn1Form&)> KyvIn1FormClose;

    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace quintar
