// The raw-materials card: the material record, its specification lines, its
// analogue group with the group's uncoded analogues, attached files, searches
// and history, and the material's data sheet. Other cards open it as a
// look-up (TMaterForm::scegli).
#pragma once

#include "ui/scheda.h"

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

class TMaterForm : public SchedaBase {
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
    // Puts a value into a search field (EditRicercaCodice,
    // EditRicercaDescrizione, EditRicercaCodiceAnalogo) for good: the field
    // turns read-only, the selection is activated and cannot be cancelled.
    void preparaRicerca(const QString& campo, const QString& valore);

    int StatoSpecifiche() const;
    int StatoAnaloghi() const;
    QString AnalogoCorrente;

    QTabBar* TabSetMater;
    QStackedWidget* NotebookMater;
    PaginaRighe* PaginaSpecifiche;
    PaginaRighe* PaginaAnaloghi;
    TCSDGrid* GridSpecifiche;
    TCSDGrid* GridAnaloghi;
    TCSDGrid* GridAnaloghiNonCod;
    TCSDGrid* GridAna;
    TCSDGrid* GridAllegati;
    TCSDGrid* GridStoricoT;
    TCSDGrid* GridStoricoD;
    QLabel* LabelVersione;
    QCheckBox* CheckEditReport;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonStampa;
    QPushButton* ButtonSincroPrezzi;
    QPushButton* ButtonFornitore;
    QLineEdit* EditRicercaCodice;
    QLineEdit* EditRicercaDescrizione;
    QLineEdit* EditRicercaCodiceAnalogo;
    QPushButton* ButtonRicercaAttivaSel;
    QPushButton* ButtonRicercaAnnullaSel;
    QPushButton* ButtonRicercaRitorna;
    QPushButton* ButtonRicercaChiudi;
    QWidget* PanelSelezione;
    QLineEdit* EditSelezione;
    QPushButton* ButtonSelezionaAnnulla;
    QPushButton* ButtonAllegatiAggiungi;
    QPushButton* ButtonAllegatiTogli;
    QPushButton* ButtonApri;
    QPushButton* ButtonAllegatiChiudi;
    QPushButton* ButtonStoricoChiudi;

    void mostraPagina(int pagina);
    void ButtonRicercaAttivaSelClick();
    void ButtonRicercaAnnullaSelClick();
    void ButtonRicercaRitornaClick();
    void ButtonRicercaChiudiClick();
    void ButtonAllegatiAggiungiClick();
    void ButtonAllegatiTogliClick();
    void ButtonApriClick();
    void ButtonStampaClick();
    void ButtonSincroPrezziClick();
    void ButtonFornitoreClick();

protected:
    QStringList sqlBase() const override;
    void primaDellAggiornamento(const QStringList& assegnazioni) override;
    void dopoMemorizzazione() override;
    void eliminaRecord(const QString& codice) override;
    void riempiEditazione() override;
    void dopoNuovo() override;
    void closeEvent(QCloseEvent* e) override;
    QString testoConfermaEliminazione(const QString& codice) override;

private:
    void creaPagine();
    QWidget* creaPaginaRicerche();
    QWidget* creaPaginaAllegati();
    QWidget* creaPaginaStorico();
    void creaRigheSpecifiche();
    void creaRigheAnaloghi();
    void preparaGriglia(TCSDGrid* g, int situazione, const QString& tabella);
    void caricaElenchi();
    void collegaDecodifiche();
    void decodificaADR(bool editazione, bool proponiGruppo);
    void rigaCambiata();
    void aggiornaPiccole();
    void aggiornaPagina();
    void aggiornaDettaglioStorico();
    bool tabConsentita(int pagina);
    void bloccaPerRighe(bool inModifica);
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
    int testataPerRiga(Query& q, const QString& codice);
    void mostraVersioneTestata();
    int formulazioniCheUsano(const QString& codice);

    Transaction TransazioneStorico;
    Query QuerySpecifiche;
    Query QueryAnaloghi;
    Query QueryAnaloghiNonCod;
    Query QueryAna;
    Query QueryAllegati;
    Query QueryStoricoT;
    Query QueryStoricoD;
    QWidget* testata_;
    QWidget* paginaUno_;
    QMenu* menuStoricoD_;
    QAction* voceComposizione_;
    QAction* voceNote_;
    QTimer* timerPiccole_;
    QTimer* timerStorico_;
    QTimer* timerADR2_;
    QString codicePiccole_;
    QString analogoPiccole_;
};

} // namespace quintar
