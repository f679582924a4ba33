// A large card: the card's list and record on its first page, and further
// pages reached through a tab set — pages of lines, a search page and a
// history page — with a header repeating the current record on every page
// but the first, and the look-up mode other screens open it in.
#pragma once

#include "ui/scheda.h"

#include <QMap>

class QAction;
class QTabBar;

namespace quintar {

struct CampoCercato {
    QString didascalia; // "Codice"
    QString edit;       // EditRicercaCodice
    QString colonna;    // CODICE
    // A date is looked for as that day ("AND(DATA='mm/dd/yyyy')"), text as a
    // part of the column's text in any case.
    TipoValore tipo = TipoValore::Testo;
};

struct DescrizionePagine {
    QString tabSet;     // TabSetMater
    QString notebook;   // NotebookMater
    QStringList titoli; // "Pagina 1", ..., one per page in their order
    // The header of the further pages: (caption, column); the second column
    // may come with a description looked up from its code.
    std::vector<std::pair<QString, QString>> testata;
    // The search page: its index and fields; the list's text without them.
    int paginaRicerche = -1;
    std::vector<CampoCercato> ricerca;
    QString sqlRicerca; // "SELECT * FROM MATER WHERE (CODICE IS NOT NULL)"
    // The history page: its index, the summary table (read by the card's
    // key column `CODICE`) and its grid's situation.
    int paginaStorico = -1;
    QString tabellaStorico; // STOMATERRIEP
    int situazioneStorico = 0;
    // Memo columns of the history detail a popup item shows
    // ("Vedi contenuto campo " + column).
    QStringList memoStorico;
    // A history kept in that one table, without a detail: its grid takes
    // this name (GridStorico) and the memo items show the columns of its own
    // current row. Empty: the summary grid GridStoricoT over a detail.
    QString grigliaStoricoUnica;
    // The attached files' page: its index, the table (CODICE, NOMEFILE), its
    // grid's situation and the message for a file listed already.
    int paginaAllegati = -1;
    QString tabellaAllegati; // MATERALL
    int situazioneAllegati = 0;
    QString allegatoPresente;
};

class SchedaAPagine : public SchedaBase {
    Q_OBJECT
public:
    SchedaAPagine(TTabXForm* sessione, DescrizioneScheda d, DescrizionePagine p,
                  QWidget* owner = nullptr);
    ~SchedaAPagine() override;

    QTabBar* TabSet;
    QStackedWidget* NotebookPagine;
    QWidget* Testata;
    QWidget* PaginaUno; // the list and the record
    QWidget* PanelSelezione;
    QLineEdit* EditSelezione;
    QPushButton* ButtonSelezionaAnnulla;
    QPushButton* ButtonRicercaAttivaSel = nullptr;
    QPushButton* ButtonRicercaAnnullaSel = nullptr;
    QPushButton* ButtonRicercaRitorna = nullptr;
    QPushButton* ButtonRicercaChiudi = nullptr;
    TCSDGrid* GridStoricoT = nullptr;
    TCSDGrid* GridStoricoD = nullptr;
    QPushButton* ButtonStoricoChiudi = nullptr;
    TCSDGrid* GridAllegati = nullptr;
    QPushButton* ButtonAllegatiAggiungi = nullptr;
    QPushButton* ButtonAllegatiTogli = nullptr;
    QPushButton* ButtonApri = nullptr;
    QPushButton* ButtonAllegatiChiudi = nullptr;

    // Adds the next page (after "Pagina 1", in the order of the titles).
    void aggiungiPagina(QWidget* pagina);
    // Shows a page: every button of every page is disabled, those of the page
    // enabled (pulsantiPagina), the page's lists opened.
    void mostraPagina(int pagina);
    int paginaCorrente() const;
    QLineEdit* campoRicerca(const QString& edit) const;

    // Attachments: a file chosen is listed once (never a name with a quote),
    // one is taken off after confirmation, and opened with the program the
    // desktop associates with it.
    void ButtonAllegatiAggiungiClick();
    void ButtonAllegatiTogliClick();
    void ButtonApriClick();

    void ButtonRicercaAttivaSelClick();
    void ButtonRicercaAnnullaSelClick();
    void ButtonRicercaRitornaClick();
    void ButtonRicercaChiudiClick();
    // Puts a value into a search field for good: the field turns read-only,
    // the selection is activated and cannot be cancelled.
    void preparaRicerca(const QString& campo, const QString& valore);

    // The card as a modal look-up on its search page, positioned on `codice`
    // when given: true when the user chose the current row with "Ritorna".
    bool eseguiRicerca(QWidget* owner, const QString& codice, bool nascondiSchede);

protected:
    QStringList sqlBase() const override;
    void closeEvent(QCloseEvent* e) override;

    // The buttons a page enables.
    virtual QList<QPushButton*> pulsantiPagina(int pagina);
    // A page may be refused (the card says why); the base refuses every page
    // but the first on an empty list.
    virtual bool paginaConsentita(int pagina);
    // After a page is shown (its lists opened there).
    virtual void paginaMostrata(int pagina) { Q_UNUSED(pagina); }
    // The current record changed (the page shown refreshes its lists).
    virtual void rigaCambiata() {}
    // The history detail of the summary row: its statement and the memo
    // column its popup item shows (empty: none); no statement, no detail.
    virtual QStringList sqlDettaglioStorico(QString& memo) {
        Q_UNUSED(memo);
        return {};
    }
    // Tab set and header navigator follow the states of the card and of its
    // pages of lines.
    void aggiornaBlocchi();
    void statoAggiornato() override { aggiornaBlocchi(); }

    Transaction TransazioneStorico;
    Query QueryStoricoT;
    Query QueryStoricoD;
    Query QueryAllegati;

private:
    QWidget* creaPaginaRicerche();
    QWidget* creaPaginaStorico();
    QWidget* creaPaginaAllegati();
    void aggiornaDettaglioStorico();
    bool storicoUnico() const { return !p_.grigliaStoricoUnica.isEmpty(); }
    void cambioRiga();

    DescrizionePagine p_;
    std::map<QString, QLineEdit*> ricerca_;
    QMap<QString, QAction*> vociMemo_;
    QTimer* timerStorico_ = nullptr;
    bool selezioneBloccata_ = false;
};

} // namespace quintar
