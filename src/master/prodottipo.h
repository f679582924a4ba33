// The rows made with one formulation, in a read-only searchable list under
// the formulation's code and name: "Prodotti stessa formulazione" (the
// products), shown modally by the products card and by the manufacturing
// sheet, and the batches of the formulation's products (TFabbricPOForm).
#pragma once

#include "session/db.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace quintar {

class TCSDGrid;
class TTabXForm;

struct DescrizioneStessaPO {
    QString nome;    // ProdottiPOForm
    QString titolo;  // "Prodotti stessa formulazione"
    QString griglia; // GridProdot
    int situazione = 0;
    QString tabella; // the grid's table
    // The list's statement for the formulation code, as an SQL literal.
    std::function<QStringList(const QString& codice)> sql;
};

class FinestraStessaPO : public QDialog {
    Q_OBJECT
public:
    FinestraStessaPO(TTabXForm* sessione, const QString& codiceFormulazione,
                     const DescrizioneStessaPO& d, QWidget* owner = nullptr);
    ~FinestraStessaPO() override;

    QLineEdit* EditCodicePO;
    QLineEdit* EditDescrizionePO;
    TCSDGrid* Griglia;
    QPushButton* ButtonChiudi;

    void done(int r) override;

private:
    void leggiFormulazione();

    TTabXForm* sessione_;
    QString codice_;
    Transaction transazione_;
    Query query_;
};

class TProdottiPOForm : public FinestraStessaPO {
    Q_OBJECT
public:
    TProdottiPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                    QWidget* owner = nullptr);

    TCSDGrid* GridProdot;

    // Shown modally with the owner's icon.
    static void mostra(TTabXForm* sessione, QWidget* owner, const QString& codiceFormulazione);
};

} // namespace quintar
