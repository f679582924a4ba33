// The one-off conversion of package capacities: checks the product
// capacities' descriptions, gives products the code of their sales package
// and moves batches to the equivalent product capacity. Each elaboration is
// committed when it ends, or rolled back whole when it cannot finish.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quintar {

class TConvCapConfForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TConvCapConfForm(TTabXForm* sessione, QWidget* owner = nullptr);

    // The company parameter that records when the batches were moved.
    static const QString kParametroElaborazione3;

    Transaction Transazione;
    Query Query1;
    Query Query2;
    QPushButton* ButtonElab1;
    QPushButton* ButtonElab2;
    QPushButton* ButtonElab3;
    QPushButton* ButtonChiudi;
    QPlainTextEdit* MemoRiepilogo;
    QProgressBar* BarraProgresso;

    void ButtonElab1Click();
    void ButtonElab2Click();
    void ButtonElab3Click();

private:
    // Runs one elaboration on a fresh transaction: commit at the end,
    // rollback and the error shown when it cannot finish.
    void esegui(const QString& domanda, const std::function<void()>& lavoro);
    // Runs the update of one item; a failure stops the elaboration with an
    // error that names the item.
    void eseguiVoce(Query& q, const QString& voce);
    void log(const QString& riga);
    void avanzamento(int n, int totale);
    int conta(const QStringList& select);
};

} // namespace quintar
