// The dialogs of the cost-analysis screen: the new sheet (TInCostiForm),
// the search of the secondary sheets to link (TRSchedeForm) and the two
// calculation types (TCostiTipoCalcoloTForm, TCostiTipoCalcTUForm).
#pragma once

#include "session/db.h"
#include "ui/ricerca.h"

#include <QDialog>
#include <optional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quintar {

class TTabXForm;

// The time per unit from the quantity brackets of a product: TEMPO1 / QP up
// to S1, TEMPO2 / QP up to S2, TEMPO3 / QP beyond, kept to six decimals
// (halves away from zero). None for a QP of 0 or less: there is nothing to
// divide by.
std::optional<double> tempoPerScaglioni(qint64 quantita, qint64 scaglione1, qint64 scaglione2,
                                        double tempo1, double tempo2, double tempo3);

class TInCostiForm : public QDialog {
    Q_OBJECT
public:
    explicit TInCostiForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TInCostiForm() override;

    QLineEdit* EditDescrizione;
    QLineEdit* EditCodiceProdotto;
    QPushButton* ButtonCodiceProdotto;
    QLineEdit* StaticDescrizioneProdotto;
    QLineEdit* StaticUDM;
    QLineEdit* EditQuantitaDaProdurre;
    QComboBox* ComboRiempitrice;
    QLineEdit* EditTempoProduzione;
    QPushButton* ButtonTempoProduzione;
    QLineEdit* EditTempoAvvio;
    QLineEdit* EditTempoControlloQualita;
    QLineEdit* EditTempoConfezionamento;
    QPushButton* ButtonTempoConfezionamento;
    QRadioButton* RadioPrimaria;
    QRadioButton* RadioSecondaria;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QTimer* TimerProdot;

    // The filling machine's code at the position chosen (empty for none).
    QString codiceRiempitrice() const;
    bool secondaria() const;

    void ButtonCodiceProdottoClick();
    // The production (false) or packaging (true) time from the brackets.
    void ButtonTempoClick(bool confezionamento);
    void leggiProdotto();

private:
    TTabXForm* sessione_;
    Transaction transazione_;
    Query query_;
    QStringList codiciRiempitrici_; // beside the descriptions of the list
};

class TRSchedeForm : public SchermataRicerca {
    Q_OBJECT
public:
    explicit TRSchedeForm(TTabXForm* sessione, QWidget* owner = nullptr);
    // The code of the secondary sheet chosen; none when the user closed.
    static std::optional<QString> scegli(TTabXForm* sessione, QWidget* owner);
};

// A calculation type: a radio group whose items are also chosen by
// clicking the labels beside them.
class DialogoTipoCalcolo : public QDialog {
    Q_OBJECT
public:
    QButtonGroup* Radio;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    int indice() const;
    void impostaIndice(int i);

protected:
    DialogoTipoCalcolo(QWidget* owner, const QString& nome, const QString& didascalia,
                       const QString& gruppo, const QStringList& etichette);
};

class TCostiTipoCalcoloTForm : public DialogoTipoCalcolo {
    Q_OBJECT
public:
    explicit TCostiTipoCalcoloTForm(QWidget* owner = nullptr);
};

class TCostiTipoCalcTUForm : public DialogoTipoCalcolo {
    Q_OBJECT
public:
    explicit TCostiTipoCalcTUForm(QWidget* owner = nullptr);
};

} // namespace quintar
