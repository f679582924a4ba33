// The component dialog of the batch lines: integration of a line with an
// analogue material (a new line taking part of the group's percentage) or
// substitution of the line's material with an analogue.
#pragma once

#include "production/fabbricazione.h"
#include "session/db.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quintar {

enum class ModoComponente { Integrazione, Sostituzione };

class TFabbComponForm : public QDialog {
    Q_OBJECT
public:
    // The dialog on line `riga` of the sheet's current batch.
    TFabbComponForm(SchedaFabbricazione& scheda, qint64 riga, ModoComponente modo,
                    QWidget* owner = nullptr);
    ~TFabbComponForm() override;

    QLineEdit* EditNRiga;
    QPushButton* ButtonCodice; // "&Codice"
    QLineEdit* EditCodice;
    QLineEdit* EditDescrizione;
    QLineEdit* EditPercentuale;
    QLineEdit* EditCodiceInterno;
    QCheckBox* CheckCritico;
    QLineEdit* EditCodiceAnalogo;
    QLineEdit* EditTolleranza;
    QLineEdit* EditTolleranzaDensita;
    QLineEdit* EditPH;
    QLineEdit* EditTolleranzaPH;
    QLineEdit* EditCodiceFormulazione;
    QLineEdit* EditComposizione;
    QLineEdit* EditAccettabilita;
    QLineEdit* EditRange;
    QLineEdit* EditMateriaAttiva;
    QLineEdit* EditMateriaAttivaReale;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    ModoComponente modo() const { return modo_; }
    // The line's material, its analogue code (empty when none) and, in
    // integration mode, the group's total T and its largest line.
    QString materiaPartenza() const { return materia_; }
    QString analogo() const { return analogo_; }
    double totaleGruppo() const { return totale_; }
    double massimoGruppo() const { return massimo_; }

    // The code and percentage accepted by OK.
    QString codice() const;
    double percentuale() const;

    // The look-up on the raw-materials card, narrowed to the analogue group.
    void ButtonCodiceClick();
    // The checks of "OK"; true when the dialog may close.
    bool verifica();

private:
    void leggi();

    SchedaFabbricazione& scheda_;
    qint64 riga_;
    ModoComponente modo_;
    Query query_;
    QString materia_;
    QString analogo_;
    double totale_ = 0;
    double massimo_ = 0;
};

} // namespace quintar
