// Lot traceability: backward from a batch (its lot or identifier) to the
// supplier lots and package serials weighed or consumed for each line, and
// through the semi-finished batches it took to theirs; forward from a supplier
// lot, a package serial or a raw material to the batches that used it, the
// batches that took their product, and so on to the last ones, with their
// state and host order. A tree to expand level by level, the list of the
// batches in a searchable grid (with its exports), a printout, the holds that
// stop the batches a bad lot reached, and the recall report of a forward
// trace (printed or as a spreadsheet).
#pragma once

#include "production/blocchi.h"
#include "production/traccia.h"
#include "session/db.h"
#include "ui/finestra.h"

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

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
    QPushButton* ButtonRichiamo;
    QPushButton* ButtonRichiamoExcel;
    QLabel* LabelEsito;
    QTreeWidget* TreeTracciabilita;
    // holds: the reason, set and release, every hold with its state
    QLineEdit* EditMotivo;
    QPushButton* ButtonBlocca;
    QPushButton* ButtonRilascia;
    QTreeWidget* TreeBlocchi;
    Transaction TransazioneLista;
    Query QueryTraccia;
    TCSDGrid* GridTraccia;

    // What the last trace found (empty before the first).
    const std::vector<traccia::Indietro>& risultatoIndietro() const { return indietro_; }
    const traccia::Avanti& risultatoAvanti() const { return avanti_; }
    // The genealogy shown (forward, or the backward ones together).
    const traccia::Genealogia& genealogia() const { return genealogia_; }

    // A row of the recall report: a batch at the end of a forward trace, or
    // one with a host order, with its order and customer.
    struct RigaRichiamo {
        traccia::Fabbricazione fabbricazione;
        int livello = 0;
        QString ordine, dataOrdine, cliente, ragioneSociale, blocco;
    };
    std::vector<RigaRichiamo> righeRichiamo() const;

    void ButtonTracciaClick();
    void ButtonStampaClick();
    void ButtonBloccaClick();
    void ButtonRilasciaClick();
    void ButtonRichiamoClick();
    // The file written, empty when none was.
    QString ButtonRichiamoExcelClick();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void tracciaIndietro(const QString& valore);
    void tracciaAvanti(const traccia::Ricerca& r);
    void apriLista(const traccia::Frase& f, int situazione);
    void aggiornaCampiData();
    QString descrizioneRicerca() const;
    void mostraBlocchi();
    // The tree item of a batch of the genealogy, with what it holds.
    QTreeWidgetItem* voceNodo(QTreeWidgetItem* padre, size_t nodo);
    void ramoIndietro(QTreeWidgetItem* voce, size_t nodo);
    void ramoAvanti(QTreeWidgetItem* voce, size_t nodo);

    std::unique_ptr<traccia::Tracciatore> tracciatore_;
    std::vector<traccia::Indietro> indietro_;
    traccia::Avanti avanti_;
    traccia::Genealogia genealogia_;
    std::vector<std::vector<size_t>> figli_; // of genealogia_'s nodes
    // the batches the standing holds cover, as read with the last trace
    std::map<QString, blocchi::Coperta> coperte_;
    bool avantiMostrato_ = false;
    bool tracciato_ = false;
    bool soloLettura_ = false;
    QString descrizioneMostrata_;
    std::optional<traccia::Ricerca> ricercaMostrata_; // forward
};

// The text a tree or a printout shows for a batch's state and order.
QString testoStato(const traccia::Fabbricazione& f);
QString testoOrdine(const traccia::Fabbricazione& f, const traccia::Avanti& a);
QString testoOrdine(const traccia::Fabbricazione& f,
                    const std::map<QString, traccia::Ordine>& ordini);

} // namespace quintar
