// The company's cost parameters (the one row of CPAR): cost of a time unit,
// yearly general and base costs, default markup, agent and discount
// coefficients and transport per unit produced. The same screen, in
// coefficient mode, is the modal dialog in which a cost sheet's own three
// coefficients are typed.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

#include <array>
#include <optional>

class QDialog;
class QLineEdit;
class QPushButton;

namespace quintar {

class TCParForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TCParForm(TTabXForm* sessione, QWidget* owner = nullptr);

    bool SolaLettura = false;
    // Open as the coefficient dialog of a cost sheet.
    bool SoloCoefficienti = false;

    QLineEdit* EditCostoTempo;
    QLineEdit* EditCostiGenerali;
    QLineEdit* EditCostiBase;
    QLineEdit* EditCoeffRicarico;
    QLineEdit* EditCoeffAgente;
    QLineEdit* EditCoeffSconto;
    QLineEdit* EditCoeffTrasporto;
    QPushButton* ButtonOk;
    QPushButton* ButtonAnnulla;

    void ButtonOkClick();
    void ButtonAnnullaClick();

    // Coefficient mode: only markup, agent and discount remain, showing the
    // sheet's values (empty for none). The screen then runs modally with
    // eseguiCoefficienti and is freed by the caller.
    void ImpostaSoloCoefficienti(std::optional<double> ricarico, std::optional<double> agente,
                                 std::optional<double> sconto);
    // kRisultatoOK when the user confirmed valid coefficients, otherwise
    // kRisultatoAnnulla.
    int eseguiCoefficienti(QWidget* owner);
    // Markup, agent and discount as typed, 0 for an empty edit (the sheet
    // then takes the company's); read after OK.
    std::array<double, 3> Coefficienti() const;

private:
    struct Riga {
        QPushButton* didascalia;
        QLineEdit* edit;
        const char* colonna;
    };
    // The seven columns of a stored row, in the order of the edits.
    using Valori = std::array<std::optional<double>, 7>;
    std::array<Riga, 7> righe_{};
    Transaction transazione_;
    QDialog* dialogo_ = nullptr;
    // The row as the screen read it (nothing: the table had none), against
    // which a save checks the row as it stands; unknown when the read failed.
    std::optional<Valori> letta_;
    bool lettaNota_ = false;

    void carica();
    // The first row as the current transaction sees it.
    std::optional<Valori> leggi();
    void mostra(const std::optional<Valori>& riga);
    // Another user changed the row since it was read: told, and shown it.
    void mostraCambiata(const std::optional<Valori>& riga);
    // The first edit that does not hold a number, with its warning; true
    // when all are valid.
    bool verifica();
    // Written as the column stores it: an empty edit as '0'.
    static QString valore(const QLineEdit* e);
};

} // namespace quintar
