// Synchronisation of the company archive into the host ERP archive: raw
// materials, finished products and packaging become host articles, their
// categories host classifications, the formulations of the finished
// products bills of materials. Only what the host lacks is added; each
// operation is one transaction, committed whole or not at all.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"
#include "ui/lavorazione.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quintar {

class Riepilogo;

namespace distinte {

// Quantity of a component per unit of the product: the share of the
// component, times the package capacity when that is at most 1 (a package
// smaller than the unit), times the density when the product is sold in
// litres (or by the piece holding litres).
double quantita(double percentuale, double densita, double capacita, const QString& udmVendita,
                const QString& udmContenutoPezzo);

} // namespace distinte

class TSincroTovarisForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TSincroTovarisForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TSincroTovarisForm() override;

    QPushButton* ButtonMateriePrime;
    QPushButton* ButtonCategorieMateriePrime;
    QPushButton* ButtonProdottiFiniti;
    QPushButton* ButtonCategorieProdottiFiniti;
    QPushButton* ButtonSincroDistinte;
    QPushButton* ButtonInfoDistinte;
    QPushButton* ButtonImballi;
    QPushButton* ButtonCategorieImballi;
    QPushButton* ButtonChiudi;
    QPlainTextEdit* MemoRiepilogo;
    QWidget* PanelProgresso;
    QProgressBar* BarraProgresso;

    // Reads of the company archive and writes into the host's, one run each.
    Transaction TransazioneQuintar;
    Transaction TransazioneTovaris;

    void ButtonMateriePrimeClick();
    void ButtonCategorieMateriePrimeClick();
    void ButtonProdottiFinitiClick();
    void ButtonCategorieProdottiFinitiClick();
    void ButtonSincroDistinteClick();
    void ButtonInfoDistinteClick();
    void ButtonImballiClick();
    void ButtonCategorieImballiClick();

    // One row of the operations' table: an article or a classification
    // copied from a company table.
    struct Operazione;

private:
    using Corsa = std::optional<Lavorazione>;
    void sincronizza(const Operazione& op);
    void sincronizzaDistinte();
    // Starts both transactions afresh: the run sees what others committed.
    void ricomincia();
    // One operation: the question, then corpo on fresh transactions. corpo
    // starts the run (the progress bar) once there is something to copy;
    // any failure undoes the whole run and the memo says why.
    void esegui(const QString& domanda, const std::function<void(Riepilogo&, Corsa&)>& corpo);
};

} // namespace quintar
