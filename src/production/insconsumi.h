// The consumption dialog: a package serial decoded in the host's archive
// against the batch's lines, and the quantity used, checked against the
// quantity the line weighs within the out-of-weight threshold.
#pragma once

#include "production/fabbricazione.h"
#include "session/db.h"

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace quintar {

// A consumption refused while it is written, with the warning to show.
struct ConsumoRifiutato {
    QString testo;
};

class TInsConsumiForm : public QDialog {
    Q_OBJECT
public:
    // For the batch of number `idFabbricazione`; the host's archive must be
    // connected.
    TInsConsumiForm(SchedaFabbricazione& scheda, qint64 idFabbricazione, QWidget* owner = nullptr);
    ~TInsConsumiForm() override;

    QLineEdit* EditSeriale;
    QLineEdit* EditQuantita;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Enter in "Seriale": the serial decoded; true when it may be consumed.
    bool decodificaSeriale();
    // The checks of "OK"; true when the dialog may close.
    bool verifica();

    // The out-of-weight threshold in per cent (SogliaFuoriPeso).
    double soglia() const { return soglia_; }
    // What the serial decoded to: the batch line's material (the analogue
    // code), the article consumed, the supplier's lot and the quantity the
    // line weighs; empty until a serial is decoded.
    QString codiceMateria() const { return codiceMateria_; }
    QString codiceConsumato() const { return codiceConsumato_; }
    QString lotto() const { return lotto_; }
    QString seriale() const { return serialeDecodificato_; }
    std::optional<double> quantitaAttesa() const { return attesa_; }
    // The quantity typed.
    std::optional<double> quantita() const;

    // Writes the consumption accepted by the dialog, `quantita` of the
    // decoded serial, on the transaction of `q` (the one that inserts, left
    // uncommitted): a number from IDCONSUMICOUNTER and the CONSUMI line;
    // returns the number. A serial the batch consumed meanwhile (another
    // station or dialog, after this one decoded it) is refused with
    // ConsumoRifiutato: the check runs again in this transaction, and the
    // unique key on batch and serial refuses one committed since its
    // snapshot or still uncommitted.
    qint64 registra(Query& q, double quantita) const;

private:
    void dimentica();

    SchedaFabbricazione& scheda_;
    qint64 id_;
    double soglia_ = 0;
    QString codiceMateria_;
    QString codiceConsumato_;
    QString lotto_;
    QString serialeDecodificato_;
    std::optional<double> attesa_;
};

} // namespace quintar
