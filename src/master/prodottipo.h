// "Prodotti stessa formulazione": the products made with one formulation,
// in a read-only searchable list, shown modally by the products card and by
// the manufacturing sheet.
#pragma once

#include "session/db.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quintar {

class TCSDGrid;
class TTabXForm;

class TProdottiPOForm : public QDialog {
    Q_OBJECT
public:
    TProdottiPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                    QWidget* owner = nullptr);
    ~TProdottiPOForm() override;

    QLineEdit* EditCodicePO;
    QLineEdit* EditDescrizionePO;
    TCSDGrid* GridProdot;
    QPushButton* ButtonChiudi;

    // Shown modally with the owner's icon.
    static void mostra(TTabXForm* sessione, QWidget* owner, const QString& codiceFormulazione);

    void done(int r) override;

private:
    void leggiFormulazione();

    TTabXForm* sessione_;
    QString codice_;
    Transaction transazione_;
    Query queryProdot_;
};

} // namespace quintar
