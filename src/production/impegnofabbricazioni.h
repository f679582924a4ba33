// Commitment of batches: each chosen batch "DA FARE" becomes a customer
// order of the host ERP archive whose lines are the materials of the
// product's formulation, and the batch "IMPEGNATA" with the order's
// identifier; once all of it is committed in both archives the host's
// warehouse routine commits each order's materials.
#pragma once

#include "production/lavorazionefabbricazioni.h"

#include <QDateTime>
#include <optional>

namespace quintar {

// Numbering of the orders of a document line.
struct NumerazioneLinea {
    int cifre = 4;    // digits of the number, never fewer than 4
    QString suffisso; // the line's extension ("/A"), empty when it has none
};

// The next document number of a line from the numbers it already has this
// year. Only numbers that begin with exactly the line's digits (followed by
// nothing or by anything but another digit) count: the lots that commitment
// writes as document numbers do not. The first number is 1; the line's
// suffix follows, or, when it has none, the tail of the highest number; the
// result never exceeds 12 characters.
QString prossimoNumeroDocumento(const NumerazioneLinea& linea, const QStringList& esistenti);

class TImpegnoFabbricazioniForm : public LavorazioneFabbricazioni {
    Q_OBJECT
public:
    explicit TImpegnoFabbricazioniForm(TTabXForm* sessione, QWidget* owner = nullptr);

    QLineEdit* EditCliente;
    QLineEdit* EditLinea;
    QLineEdit* EditTipoDocumento;
    QPushButton* ButtonImpegna;

    void ButtonImpegnaClick() { esegui(); }
    // The host's warehouse routine on the order (its identifier as text).
    void ImpegnaOrd(const QString& ordine, bool flag);

    // Creates an order header of the line and document type at the moment t
    // on the query's transaction (ERP archive); its identifier, or nothing
    // after the message when it could not.
    std::optional<qint64> CreaOrdine(Query& q, const QString& linea, const QString& tipoDocumento,
                                     const QDateTime& t);

protected:
    void lavora(const std::vector<Fabbricazione>& scelte) override;

private:
    // The order's lines, one per material of the product's formulation; true
    // when each was written (a failing one does not stop the others).
    bool scriviRighe(Query& erp, Query& azienda, qint64 ordine, const QString& prodotto);
};

} // namespace quintar
