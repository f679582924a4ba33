// The raw material that stands for softened water: the formulation card
// prices the water share of a formulation at its price. The screen shows
// the material's name and price; the price is changed on the material.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

#include <optional>

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
    // The stored choice: nothing when the table has no row, the code (empty
    // for none) of its first row otherwise.
    using Scelta = std::optional<QString>;
    Transaction transazione_;
    // The choice as the screen read it, against which a save checks the row
    // as it stands; unknown when the read failed.
    Scelta letta_;
    bool lettaNota_ = false;

    void carica();
    // The first row as the current transaction sees it, and how many rows
    // there are.
    Scelta leggi(int* righe = nullptr);
    // Another user changed the choice since it was read: told, and shown it.
    void mostraCambiata(const Scelta& scelta);
};

} // namespace quintar
