// Where a raw material, a packaging item or a product is used: the
// formulations that list it (with its percentage) or take the product as
// their semi-finished one, the products made with it or packed in it, the
// batches not yet finished that take it and the cost sheets that price it.
// The cards show the lists in "Dove usato" and the counts before a deletion
// is confirmed.
#pragma once

#include "session/db.h"

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quintar {

class TCSDGrid;
class TTabXForm;

enum class Articolo { MateriaPrima, Imballo, Prodotto };

struct UsiArticolo {
    int formulazioni = 0;
    int prodotti = 0;
    int fabbricazioniAperte = 0;
    int schedeCosto = 0;
    bool nessuno() const {
        return formulazioni == 0 && prodotti == 0 && fabbricazioniAperte == 0 && schedeCosto == 0;
    }
};

// A batch is open until it is finished ("FINITA") or left out ("ESCLUSA").
QString condizioneFabbricazioneAperta();

// The lists' statements for the item's code (quoted here). A packaging item
// is in no formulation, and a product in no other product: their statements
// are empty. A product or batch names its packaging by code, or, where an
// older archive left the code empty, by the item's name alone. A cost sheet
// prices its product, and through it the product's formulation and packaging.
QStringList sqlFormulazioniCheUsano(Articolo a, const QString& codice);
QStringList sqlProdottiCheUsano(Articolo a, const QString& codice);
QStringList sqlFabbricazioniCheUsano(Articolo a, const QString& codice);
QStringList sqlSchedeCostoCheUsano(Articolo a, const QString& codice);

// The counts of the same lists: formulations and batches once each, however
// many of their lines take the item.
UsiArticolo contaUsi(Query& q, Articolo a, const QString& codice);

// "La materia prima è usata in 2 formulazioni e 3 prodotti..." for a
// deletion question; empty when nothing uses the item.
QString avvisoUsi(Articolo a, const UsiArticolo& u);

// The "Dove usato" window: the item's code and name above one page per list.
class TDoveUsatoForm : public QDialog {
    Q_OBJECT
public:
    TDoveUsatoForm(TTabXForm* sessione, Articolo a, const QString& codice,
                   QWidget* owner = nullptr);
    ~TDoveUsatoForm() override;

    QLineEdit* EditCodice;
    QLineEdit* EditNome;
    QTabWidget* TabDoveUsato;
    TCSDGrid* GridFormulazioni; // null for a packaging item
    TCSDGrid* GridProdotti;     // null for a product
    TCSDGrid* GridFabbricazioni;
    TCSDGrid* GridSchedeCosto;
    QPushButton* ButtonChiudi;

    // Shown modally with the owner's icon.
    static void mostra(TTabXForm* sessione, Articolo a, const QString& codice, QWidget* owner);

    void done(int r) override;

private:
    void leggiNome();
    TCSDGrid* creaGriglia(const QString& nome, int situazione, const QString& tabella, Query& q,
                          QStringList sql);

    TTabXForm* sessione_;
    Articolo articolo_;
    QString codice_;
    Transaction transazione_;
    Query queryFormulazioni_;
    Query queryProdotti_;
    Query queryFabbricazioni_;
    Query querySchedeCosto_;
};

} // namespace quintar
