// Lot traceability: backward from a batch (its lot or identifier) to the
// supplier lots and package serials weighed or consumed for each line, and
// forward from a supplier lot, a package serial or a raw material to the
// batches that used it, with their state and host order. A tree to expand,
// the flat list in a searchable grid (with its exports) and a printout.
#pragma once

#include "production/traccia.h"
#include "session/db.h"
#include "ui/finestra.h"

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace quintar {

class TCSDGrid;

class TTracciabilitaForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TTracciabilitaForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TTracciabilitaForm() override;

    static constexpr int kSituazioneFinestra = 60;
    static constexpr int kSituazioneGriglia = 61;       // the flat list of a batch
    static constexpr int kSituazioneGrigliaAvanti = 62; // the flat list of a lot

    // Items of ComboRicerca, in this order.
    enum Ricerca { DaFabbricazione, DaLottoFornitore, DaSeriale, DaMateria };

    QComboBox* ComboRicerca;
    QLineEdit* EditValore;
    QLineEdit* EditDal;
    QLineEdit* EditAl;
    QPushButton* ButtonTraccia;
    QPushButton* ButtonStampa;
    QPushButton* ButtonChiudi;
    QLabel* LabelEsito;
    QTreeWidget* TreeTracciabilita;
    Transaction TransazioneLista;
    Query QueryTraccia;
    TCSDGrid* GridTraccia;

    // What the last trace found (empty before the first).
    const std::vector<traccia::Indietro>& risultatoIndietro() const { return indietro_; }
    const traccia::Avanti& risultatoAvanti() const { return avanti_; }

    void ButtonTracciaClick();
    void ButtonStampaClick();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void tracciaIndietro(const QString& valore);
    void tracciaAvanti(const traccia::Ricerca& r);
    void apriLista(const traccia::Frase& f, int situazione);
    void aggiornaCampiData();
    QString descrizioneRicerca() const;

    std::unique_ptr<traccia::Tracciatore> tracciatore_;
    std::vector<traccia::Indietro> indietro_;
    traccia::Avanti avanti_;
    bool avantiMostrato_ = false;
};

// The text a tree or a printout shows for a batch's state and order.
QString testoStato(const traccia::Fabbricazione& f);
QString testoOrdine(const traccia::Fabbricazione& f, const traccia::Avanti& a);

} // namespace quintar
