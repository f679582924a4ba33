// Miscellaneous company settings: label templates and printer, host and
// weighing archives, out-of-weight threshold, weighing polling interval.
#pragma once

#include "session/tabx.h"
#include "ui/finestra.h"

#include <optional>
#include <vector>

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
    // The six settings as the screen read them, in the order of the edits
    // (nothing: no row); a save writes only while they are still so.
    std::vector<std::optional<QString>> letti_;

    // The six parameters, their texts as the edits hold them.
    std::vector<ValoreTabXDaScrivere> valori() const;
    void carica();
    void mostra(const std::vector<std::optional<QString>>& v);
    // The installed printers, and the stored one when it is not among them.
    void caricaStampanti(const QString& memorizzata);
};

} // namespace quintar
