// The raw-materials card: the material record, its SPECIF lines (the data-sheet lines), its
// analogue group with the group's uncoded analogues, attached files, searches
// and history, and the material's data sheet. Other cards open it as a
// look-up (TMaterForm::scegli).
#pragma once

#include "ui/schedapagine.h"

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTabBar;

namespace quintar {

class PaginaRighe;

class TMaterForm : public SchedaAPagine {
    Q_OBJECT
public:
    explicit TMaterForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TMaterForm() override;

    // The card as a modal look-up on its search page: positioned on `codice`
    // when given; `prepara` may narrow the search first (preparaRicerca).
    struct Scelta {
        QString codice;
        QString nomeCommerciale;
    };
    struct OpzioniRicerca {
        QString codice;
        bool nascondiSchede = true; // the tab set is hidden
        std::function<void(TMaterForm&)> prepara = {};
    };
    // The row chosen with "Ritorna"; nothing when the user closed the card.
    static std::optional<Scelta> scegli(TTabXForm* sessione, QWidget* owner,
                                        const OpzioniRicerca& opzioni);

    int StatoSpecifiche() const;
    int StatoAnaloghi() const;
    QString AnalogoCorrente;

    PaginaRighe* PaginaSpecifiche;
    PaginaRighe* PaginaAnaloghi;
    TCSDGrid* GridSpecifiche;
    TCSDGrid* GridAnaloghi;
    TCSDGrid* GridAnaloghiNonCod;
    TCSDGrid* GridAna;
    QLabel* LabelVersione;
    QCheckBox* CheckEditReport;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonStampa;
    QPushButton* ButtonSincroPrezzi;
    QPushButton* ButtonFornitore;
    QPushButton* ButtonDoveUsato;

    // The formulations, products and open batches that use the current material.
    void ButtonDoveUsatoClick();
    void ButtonStampaClick();
    void ButtonSincroPrezziClick();
    void ButtonFornitoreClick();

protected:
    void primaDellAggiornamento(const QStringList& assegnazioni) override;
    void dopoMemorizzazione() override;
    void eliminaRecord(const QString& codice) override;
    void riempiEditazione() override;
    void dopoNuovo() override;
    void closeEvent(QCloseEvent* e) override;
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    bool paginaConsentita(int pagina) override;
    void paginaMostrata(int pagina) override;
    void rigaCambiata() override;
    QStringList sqlDettaglioStorico(QString& memo) override;

private:
    void creaPagine();
    void creaRigheSpecifiche();
    void creaRigheAnaloghi();
    void caricaElenchi();
    void collegaDecodifiche();
    void aggiornaPiccole();
    // History: a header version (the material as the main transaction sees
    // it), with its summary row.
    int versioneTestata(Query& q, const QString& codice, bool cancellazione);
    void storicoSpecifica(Query& q, const QString& codice, const QString& riga, int testata,
                          bool cancellazione, const QStringList& assegnazioni, bool forza);
    void storicoAnalogo(Query& q, const QString& codice, const QString& analogo,
                        const QString& riga, int testata, bool cancellazione,
                        const QStringList& assegnazioni, bool forza);
    // H of a line save: the material's last header version, version 1
    // written first when it has none.
    // (version 1 marked as a deletion when a line is deleted)
    int testataPerRiga(Query& q, const QString& codice, bool cancellazione);
    void mostraVersioneTestata();
    QString utente() const;

    Query QuerySpecifiche;
    Query QueryAnaloghi;
    Query QueryAnaloghiNonCod;
    Query QueryAna;
    QTimer* timerPiccole_;
    QString codicePiccole_;
    QString analogoPiccole_;
};

} // namespace quintar
