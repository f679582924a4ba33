// The products card: the finished product with its formulation, sales
// package, packaging bill and divisors, labour times, ADR data and notes;
// the packaging cost of one unit, searches, history and the product's data
// sheet. Other screens open it as a look-up (TProdottiForm::scegli).
#pragma once

#include "ui/schedapagine.h"

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace quintar {

class TProdottiForm : public SchedaAPagine {
    Q_OBJECT
public:
    explicit TProdottiForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TProdottiForm() override;

    // The card as a modal look-up on its search page, positioned on `codice`
    // when given: the row chosen with "Ritorna", nothing when the user closed
    // the card.
    struct Scelta {
        QString codice;
        QString nome;
        QString unitaVendita;
    };
    static std::optional<Scelta> scegli(TTabXForm* sessione, QWidget* owner,
                                        const QString& codice = {});

    QLabel* LabelVersione;
    QCheckBox* CheckEditReport;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonStampa;
    QPushButton* ButtonProdottiStessaPO;
    QPushButton* ButtonCostoImballo;
    QComboBox* ComboCategoria;
    QComboBox* ComboCategoriaSec; // hidden: the codes beside the descriptions
    QLineEdit* EditCostoUnitarioImballo;
    QLineEdit* EditCostoUnitarioImballo_2;

    // The packaging lines in their order: container, cap, label, carton,
    // other 1 to 4 (name and code columns, the search's type).
    struct LineaImballo {
        QString colonnaNome;
        QString colonnaCodice;
        QString tipo; // "Contenitore"...; empty for the further items
        QString didascalia;
    };
    static const std::array<LineaImballo, 8>& lineeImballo();

    // The unit cost of the packaging of the page shown (edit controls on the
    // edit page, the current row otherwise), and the item costs it used.
    double CalcolaCostoImballo(std::array<std::optional<double>, 8>* costi = nullptr);
    // The cost of one packaging item found by name (first row in code
    // order); nothing when the name is empty or no item has it.
    std::optional<double> costoImballo(int linea, const QString& nome);

    void ButtonStampaClick();
    void ButtonProdottiStessaPOClick();
    void ButtonCostoImballoClick();
    void ButtonImballoClick(int linea);

protected:
    QStringList assegnazioni() const override;
    bool validaCampi() override;
    void primaDellAggiornamento(const QStringList& assegnazioni) override;
    void dopoMemorizzazione() override;
    void eliminaRecord(const QString& codice) override;
    void riempiEditazione() override;
    void dopoNuovo() override;
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    void rigaCambiata() override;

private:
    void creaPagine();
    void caricaElenchi();
    void collegaDecodifiche();
    // The category pair: the position of a code, an extra pair for a stored
    // code no longer among the categories (removed when another is shown).
    void impostaCategoria(const QString& codice);
    QString codiceCategoria() const;
    QString descrizioneCategoria(const QString& codice) const;
    // The formulation's name and ADR substances on a page; on the edit page
    // a formulation chosen also brings its ADR code and group when its code
    // differs from the product's.
    void decodificaFormulazione(bool suEditazione, bool copiaADR);
    // Cost, version and the packaging codes as hints: 400 ms after a change.
    void aggiornaCosto();
    void mostraVersione();
    void scriviVersione(Query& q, const QString& codice, int versione);
    QString utente() const;
    bool suEditazione() const;

    QStringList codiciCategoria_;
    QStringList descrizioniCategoria_;
    bool categoriaAggiunta_ = false;
    QTimer* timerCosto_ = nullptr;
    QTimer* timerPO2_ = nullptr;
};

} // namespace quintar
