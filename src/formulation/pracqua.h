// The raw material that stands for softened water: the formulation card
// prices the water share of a formulation at its price. The screen shows
// the material's name and price; the price is changed on the material.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

class QLineEdit;
class QPushButton;
class QTimer;

namespace quintar {

class TPrAcquaForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TPrAcquaForm(TTabXForm* sessione, QWidget* owner = nullptr);

    bool SolaLettura = false;

    QPushButton* ButtonCodAcqua;
    QLineEdit* EditCodAcqua;
    QLineEdit* EditDescrizione;
    QLineEdit* EditPrezzo;
    QPushButton* ButtonOk;
    QPushButton* ButtonAnnulla;
    // The name and price are looked up 1000 ms after the last change of the code.
    QTimer* TimerCodAcqua;

    void ButtonCodAcquaClick();
    void ButtonOkClick();
    void ButtonAnnullaClick();
    void TimerCodAcquaTimer();

private:
    Transaction transazione_;
    void carica();
};

} // namespace quintar
