// The weighing history: every weighing assigned to a batch line
// (PESATE_FABBR), in a searchable list.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

class QPushButton;

namespace quintar {

class TCSDGrid;

class TStoPesateForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TStoPesateForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TStoPesateForm() override;

    static constexpr int kSituazioneFinestra = 40;
    static constexpr int kSituazioneGriglia = 39;

    Transaction Transazione;
    Query QueryPesateFabbr;
    TCSDGrid* GridPesateFabbr;
    QPushButton* ButtonChiudi;

protected:
    void closeEvent(QCloseEvent* e) override;
};

} // namespace quintar
