// Posting of batches: each chosen batch "IMPEGNATA" gets a production record
// in the host ERP archive (STOPRODUZ with one RSTOPRODUZ line for the
// product) and becomes "FINITA", all of the run in both archives or none.
// Then, for each batch with an order, the host's warehouse routine runs on
// the order as it stands and the order moves to the customer of handled
// orders, a step of its own that the next run completes when it was cut
// short.
#pragma once

#include "production/lavorazionefabbricazioni.h"

namespace quintar {

class TProduzioneFabbricazioniForm : public LavorazioneFabbricazioni {
    Q_OBJECT
public:
    explicit TProduzioneFabbricazioniForm(TTabXForm* sessione, QWidget* owner = nullptr);

    QLineEdit* EditClienteGestito;
    QPushButton* ButtonProduci;

    void ButtonProduciClick() { esegui(); }
    // The host's warehouse routine on the order (its identifier as text).
    void DisimpegnaOrd(const QString& ordine, bool flag);

protected:
    void lavora(const std::vector<Fabbricazione>& scelte) override;
};

} // namespace quintar
