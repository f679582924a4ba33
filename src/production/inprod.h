// The new-batch dialog of the manufacturing sheet: product, date and lot of
// the batch, checked against the products and the batches already there.
#pragma once

#include <QDate>
#include <QDialog>

class QLineEdit;
class QPushButton;
class QTimer;

namespace quintar {

class Query;
class TTabXForm;

class TInProdForm : public QDialog {
    Q_OBJECT
public:
    // `q` reads products and batches (the sheet's check transaction).
    TInProdForm(TTabXForm* sessione, Query& q, QWidget* owner = nullptr);

    QLineEdit* EditProdotto;
    QLineEdit* EditNomeProdotto;
    QLineEdit* EditData;
    QLineEdit* EditLotto;
    QPushButton* ButtonProdotto;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;
    QTimer* TimerProdotto;

    // The batch accepted with OK.
    QString codice() const;
    QDate data() const;
    QString lotto() const;

    void ButtonOkClick();
    void ButtonProdottoClick();
    void decodificaProdotto();

private:
    // The first check that fails, with its warning and the field to correct;
    // empty when the batch can be created.
    QString verifica(QWidget*& campo);

    TTabXForm* sessione_;
    Query& q_;
};

} // namespace quintar
