// "Ricerca fabbricazioni semilavorato": the batches of a semi-finished
// product, newest first, to choose the batch another batch is made from.
#pragma once

#include "session/db.h"

#include <QDate>
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quintar {

class TCSDGrid;
class TTabXForm;

class TRFabbSemiLavForm : public QDialog {
    Q_OBJECT
public:
    TRFabbSemiLavForm(TTabXForm* sessione, const QString& codiceProdotto, QWidget* owner = nullptr);
    ~TRFabbSemiLavForm() override;

    QLineEdit* EditCodice;
    QLineEdit* EditNome;
    TCSDGrid* GridFabbricazioni;
    QPushButton* ButtonRitorna;
    QPushButton* ButtonAnnulla;

    // The selected batch (after "&Ritorna").
    QString codice() const;
    QDate data() const;
    QString lotto() const;

    // Closes with OK on the selected batch; warns when the list is empty.
    void ButtonRitornaClick();

private:
    bool vuota() const;

    TTabXForm* sessione_;
    QString prodotto_;
    Transaction transazione_;
    Query query_;
};

} // namespace quintar
