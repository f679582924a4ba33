// Miscellaneous company settings: label templates and printer, host and
// weighing archives, out-of-weight threshold, weighing polling interval.
#pragma once

#include "ui/finestra.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quintar {

class TImpoVarieForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TImpoVarieForm(TTabXForm* sessione, QWidget* owner = nullptr);

    QLineEdit* EditPercorsoReportEtic;
    QComboBox* ComboStampanteEticFabbr;
    QLineEdit* EditArchivioTovaris;
    QLineEdit* EditSogliaFuoriPeso;
    QLineEdit* EditArchivioPesate;
    QSpinBox* SpinTempoPollingPesate;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

    void OKClick();
    void CancelClick();

private:
    void carica();
    // The installed printers, and the stored one when it is not among them.
    void caricaStampanti(const QString& memorizzata);
};

} // namespace quintar
