// Price synchronisation of formulations: the formulations whose stored
// raw-material cost differs from the cost at today's prices, of which the
// user picks those to correct. Opened by the host on every formulation, or
// modally by the raw-materials card on the formulations of one material.
#pragma once

#include "formulation/costi.h"
#include "session/db.h"
#include "ui/finestra.h"

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace quintar {

// The work list: the columns of FORMUL as text, then COSTORICALCOLATO and S
// ("1" selected for the update, "0" not).
class TabFormulazioni : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TabFormulazioni(QObject* parent = nullptr);

    // Fields of the list query followed by COSTORICALCOLATO and S; the list
    // becomes active, and empty.
    void definisci(const std::vector<InfoCampo>& campiFormul);
    void aggiungi(QStringList testi, costi::Costo4 ricalcolato);
    // Forgets the rows of these positions.
    void rimuovi(std::vector<int> righe);
    // Active once its fields are defined (the list query ran).
    bool attiva() const { return attiva_; }

    int colonnaCodice() const { return colCodice_; }
    int colonnaCosto() const { return colCosto_; }
    int colonnaRicalcolato() const { return int(campi_.size()) - 2; }
    int colonnaS() const { return int(campi_.size()) - 1; }
    int indiceCampo(const QString& nome) const;

    QString testo(int riga, int colonna) const;
    QString codice(int riga) const { return testo(riga, colCodice_); }
    costi::Costo4 ricalcolato(int riga) const { return righe_[size_t(riga)].ricalcolato; }
    bool selezionata(int riga) const { return righe_[size_t(riga)].selezionata; }
    void seleziona(int riga, bool si);
    void selezionaTutte(bool si);
    int selezionate() const;

    // Background of selected rows and of the two cost columns.
    QColor ColoreSelezione;
    QColor ColoreTestoSelezione;
    QColor ColoreCosti = QColor(Qt::yellow);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Riga {
        QStringList testi; // the FORMUL columns
        costi::Costo4 ricalcolato;
        bool selezionata = true;
    };
    std::vector<InfoCampo> campi_;
    std::vector<Riga> righe_;
    int colCodice_ = -1;
    int colCosto_ = -1;
    bool attiva_ = false;
};

class TSincroPrezziForm : public FinestraSessione {
    Q_OBJECT
public:
    // Without a raw-material code every formulation is checked; with one,
    // only the formulations having a component line of that material.
    explicit TSincroPrezziForm(TTabXForm* sessione, const QString& codiceMateria = {},
                               QWidget* owner = nullptr);
    ~TSincroPrezziForm() override;

    // Opens the screen modally over `owner` (with its icon) for the
    // formulations of one raw material, on the caller's session, which it
    // leaves connected. Returns how many formulations had their cost updated.
    static int mostra(TTabXForm* sessione, QWidget* owner, const QString& codiceMateria);

    static constexpr int kSituazioneFinestra = 24;

    const QString CodiceMateria;
    Transaction Transazione;
    Query QueryAux1; // the list and the updates
    Query QueryAux2; // the cost sums
    TabFormulazioni* Tab;

    QLabel* LabelTitolo;
    QTableView* GridFormulazioni;
    QPushButton* ButtonSelezionaTutto;
    QPushButton* ButtonDeselezionaTutto;
    QPushButton* ButtonAggiornaPrezzi;
    QPushButton* ButtonChiudi;

    void ButtonSelezionaTuttoClick();
    void ButtonDeselezionaTuttoClick();
    void ButtonAggiornaPrezziClick();
    // Double click or F3 on the grid: the current row changes its S.
    void CambiaSelezione();

    // Formulations whose cost this screen has written.
    int Aggiornate() const { return aggiornate_; }
    void SalvaPosizione();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void CostruisciLista();
    void selezionaTutte(bool si);
    void vaiARiga(int riga);
    int aggiornate_ = 0;
    bool posizioneCaricata_ = false;
};

} // namespace quintar
