// Regularisation of data from the older archive: the packaging codes of
// products from their packaging names, the packaging codes of batches from
// their products, and the numbers of the batches that have none. Each
// operation counts first, asks, and is committed whole or not at all.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quintar {

class TRegolarizzaForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TRegolarizzaForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TRegolarizzaForm() override;

    QPushButton* ButtonElabora1;
    QPushButton* ButtonElabora2;
    QPushButton* ButtonElabora3;
    QPushButton* ButtonChiudi;
    QPlainTextEdit* MemoRiepilogo;
    QProgressBar* BarraProgresso;

    // Operations 1 and 2, then operation 3, each on a transaction of its own.
    Transaction Transazione;
    Transaction TransazioneID;

    void ButtonElabora1Click();
    void ButtonElabora2Click();
    void ButtonElabora3Click();

private:
    // Operation 1 (products) or 2 (batches).
    void normalizza(bool fabbricazioni);
};

} // namespace quintar
