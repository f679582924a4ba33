// The card: a searchable list of a table's rows, a read-only view of the
// current row and an edit page for one row at a time, with the states
// 0 browsing, 1 new record, 2 editing. A simple card is a declaration of its
// table, key, fields and numbers; larger cards override the hooks.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

#include <QMap>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace quintar {

class TCSDGrid;

enum class TipoValore { Testo, Numero, Intero, Data, Flag };
enum class Controllo { Edit, Memo, Check, Combo };

struct CampoScheda {
    QString colonna = {};       // RAGSOC
    QString didascalia = {};    // "Descrizione"
    QString pulsante = {};      // ButtonRagSoc; the consultation page has ButtonRagSoc2
    QString editazione = {};    // MemoRagSoc
    QString consultazione = {}; // MemoRagSoc2
    Controllo controllo = Controllo::Edit;
    TipoValore tipo = TipoValore::Testo;
    bool azzeraNuovo = true; // Tag 1: cleared for a new record
    // Warning shown when a number typed in the field cannot be read; every
    // field is checked before a save, and any failure stops it.
    QString messaggioNonValido = {};
    // The text is cut to this many characters when stored (0: kept whole).
    int lunghezza = 0;
    // Items of a drop-down list (Controllo::Combo); the consultation page
    // shows the chosen text in a read-only edit.
    QStringList voci = {};
    // False for a field shown but not a column of the table (a decode): it is
    // neither read from the row nor saved.
    bool memorizzato = true;
    // Stored but never typed into: a value the card computes (read-only on
    // the edit page too).
    bool calcolato = false;
    // objectNames of a read-only description beside the control on the edit
    // and on the consultation page (the supplier's name beside its code).
    QString descrizioneEditazione = {};
    QString descrizioneConsultazione = {};
};

// A field declared in one line: column, caption, caption button, edit and
// consultation controls, kind, and the warning for a value that cannot be read.
CampoScheda campoScheda(const char* colonna, const char* didascalia, const char* pulsante,
                        const char* editazione, const char* consultazione,
                        Controllo controllo = Controllo::Edit, TipoValore tipo = TipoValore::Testo,
                        const char* messaggio = nullptr);

enum class NuovoCodice {
    Digitato,     // typed in the new-code dialog, checked for duplicates
    MassimoPiuUno // the highest whole-number key plus one
};

struct DescrizioneScheda {
    QString tabella = {};                      // FORNITO
    QString chiave = QStringLiteral("CODICE"); // key column
    QString nome = {};                         // Fornito: GridFornito, NotebookEditFornito
    QString didascalia = {};                   // "Anagrafica fornitori - Ditta:"
    int situazioneFinestra = 0;
    int situazioneGriglia = 0;
    QStringList sqlBase = {}; // "SELECT * FROM FORNITO"
    NuovoCodice nuovoCodice = NuovoCodice::Digitato;
    QString titoloNuovo = {};    // "Nuovo fornitore"
    QString etichettaNuovo = {}; // "Codice fornitore:"
    int caratteriNuovo = 8;      // the new-code dialog's font size
    CampoScheda campoChiave{QStringLiteral("CODICE"), QStringLiteral("Codice"),
                            QStringLiteral("ButtonCodice"), QStringLiteral("EditCodice"),
                            QStringLiteral("EditCodice2")};
    std::vector<CampoScheda> campi = {};
    QStringList controlliProfilo = {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonEdit"),
                                    QStringLiteral("ButtonElimina")};
    // What uses the record, told before its deletion is asked (read on the
    // main transaction); empty when nothing does.
    std::function<QString(Query& q, const QString& codice)> avvisoEliminazione = {};
    // Further key columns after `chiave`, for tables keyed on several columns;
    // numbers (TipoValore::Numero) are compared and written as numbers.
    std::vector<CampoScheda> altreChiavi = {};
    // objectName of the widget holding the navigator's four buttons.
    QString navigatore = {};
    // Column whose edit gets the focus after "Nuovo" and after "Edit"; the
    // first editable field when empty.
    QString fuocoNuovo = {};
    QString fuocoModifica = {};
    // The fields are laid out in this many columns on both pages.
    int colonneCampi = 1;
    // The order in which the fields' values are checked before a save, when
    // it is not the order of the fields (columns; the others follow).
    QStringList ordineVerifica = {};
    // The card's own checks (validaCampi) run even when a value cannot be
    // read, each showing its warning; by default they wait for readable values.
    bool controlliInsieme = false;
    // Further values a new record's row takes when it is inserted: column
    // and SQL expression ("ID", "GEN_ID(ID_FABBRICAZIONE_COUNTER,1)").
    std::vector<std::pair<QString, QString>> valoriNuovo = {};
    // A new record's row that could not be removed after a failed save is
    // named to the user by the main key alone ("CODICE FM001"), not with the
    // further key parts.
    bool cancellaManualeSoloChiave = false;
};

// A failure inside a save (dopoAggiornamento) whose text the user sees as it
// is, in place of the card's usual "impossibile memorizzare" message.
class ErroreMemorizzazione : public DbError {
public:
    using DbError::DbError;
};

// The stored row is no longer the one the screen read when editing began:
// another user changed it since. A save refused so writes nothing.
class RigaCambiata : public DbError {
public:
    using DbError::DbError;
};

// A stored row as read (every column, in the table's order); none when the
// row was not there.
using RigaLetta = std::optional<std::vector<QVariant>>;

class PaginaRighe;

// A list of a screen: the project, its situation and table, and the
// session's user, folder and company (the grid's layout and orders).
void configuraGrigliaSessione(TCSDGrid* g, const TTabXForm& sessione, int situazione,
                              const QString& tabella);

class SchedaBase : public FinestraSessione {
    Q_OBJECT
public:
    SchedaBase(TTabXForm* sessione, DescrizioneScheda d, QWidget* owner = nullptr);
    ~SchedaBase() override;

    const DescrizioneScheda& descrizione() const { return d_; }

    // 0 browsing, 1 new record, 2 editing.
    int StatoScheda = 0;
    QString CodiceCorrente;
    // The further key parts of the record (DescrizioneScheda::altreChiavi),
    // in their order; empty for single-column keys.
    QStringList AltreChiaviCorrenti;
    bool SolaLettura = false;
    // The card is open modally for another screen to pick a record.
    bool ComeRicerca = false;

    // Shows the card as a modal look-up inside a dialog owned by `owner`,
    // with its icon; kRisultatoOK when the user picked the current row.
    int eseguiComeRicerca(QWidget* owner, const QString& nomeDialogo);
    // Ends the look-up: with the current row chosen, or given up.
    void chiudiRicerca(bool scelta);
    QDialog* dialogoRicerca() const { return dialogoRicerca_; }

    TCSDGrid* Griglia;
    QStackedWidget* Notebook;
    QWidget* PaginaConsultazione;
    QWidget* PaginaEditazione;
    QPushButton* ButtonNuovo;
    QPushButton* ButtonEdit;
    QPushButton* ButtonElimina;
    QPushButton* ButtonChiudi;
    QPushButton* ButtonMemorizza;
    QPushButton* ButtonAnnulla;
    QToolButton* NavPrimo;
    QToolButton* NavPrecedente;
    QToolButton* NavSuccessivo;
    QToolButton* NavUltimo;
    // The list above the notebook: a card with pages of its own puts it in one.
    QWidget* CorpoScheda;

    void ButtonNuovoClick();
    void ButtonEditClick();
    void ButtonEliminaClick();
    void ButtonChiudiClick();
    void ButtonMemorizzaClick();
    void ButtonAnnullaClick();
    void SettaggioInterfaccia();
    void DisattivaControlliProfiloSicurezza();

    // The edit of a field on the edit page and on the consultation page.
    QWidget* editazione(const QString& colonna) const;
    QWidget* consultazione(const QString& colonna) const;
    // Text of an edit, memo, drop-down list or check box ("1"/"0"), and the
    // reverse (a text that is not an item leaves the list without selection).
    static QString testoDi(QWidget* w);
    // A drop-down list shown a value that is not among its items (a stored
    // value since removed from the table it comes from) adds it as an extra
    // item, so that the value is shown and saved unchanged.
    static void impostaTesto(QWidget* w, const QString& testo);

    // One field's control on a page (read-only on the consultation page).
    static QWidget* creaControllo(const CampoScheda& c, bool consultazione, bool soloLettura,
                                  QWidget* pagina);
    // Lays the fields out as caption buttons (a click focuses the control)
    // and controls, in `colonne` columns; the controls, and their
    // descriptions under "<column>#", go into `controlli`. The first
    // `numeroChiavi` fields are read-only keys.
    static QGridLayout* disponiCampi(QWidget* pagina, const std::vector<CampoScheda>& campi,
                                     bool consultazione, size_t numeroChiavi, int colonne,
                                     std::map<QString, QWidget*>& controlli);
    // The field's text as an SQL literal; sql::ValoreNonValido when it is not
    // one of its kind.
    static QString valoreSql(const CampoScheda& c, QString testo);
    // A key part as SQL: numbers as numbers, whatever separator they show.
    static QString letteraleChiave(const CampoScheda& c, const QString& v);
    // Two key parts name the same value (numbers compared as numbers).
    static bool stessaChiave(const CampoScheda& c, const QString& a, const QString& b);
    // The field's text can be saved: empty, or readable as its number or date.
    static bool valoreLeggibile(const CampoScheda& c, const QString& testo);

    // Reopens the list (restarting nothing) and makes the row of the key
    // current. The database tells the row's position; a row far down is shown
    // by opening the list a little before it, so that the rows before are
    // never read (the first row comes back with the navigator's "first").
    void riapriSuCodice(const QString& codice);
    // A fresh read: the main transaction starts again, so that the list shows
    // what other users committed, and reopens on the row of the key.
    void rileggi(const QString& codice);
    // The list's row at this position of its order (from 0), read the same way.
    void mostraPosizione(int posizione);
    // Position in the list's order of the current row (from 0); -1 when none.
    int posizioneCorrente() const;
    // Rows read before a list is opened further down instead.
    static constexpr int kRigheLette = 2048;
    // The key of the current row; empty when the list is empty.
    QString codiceCorrenteGriglia() const;
    // The further key parts of the current row (DescrizioneScheda::altreChiavi).
    QStringList altreChiaviGriglia() const;
    bool listaVuota() const;

    // A description looked up 400 ms after the last change of a code edit
    // (one timer per edit, stopped before it queries).
    // The code may be an edit or a drop-down list.
    QTimer* collegaDescrizione(QWidget* codice, QLineEdit* descrizione, const QString& nomeTimer,
                               std::function<QStringList(const QString&)> sql, int ms = 400);

    // A header for the pages beside the list: read-only edits of columns of
    // the current row (caption, column) and a navigator over the list.
    QWidget* creaTestata(QWidget* parent, const QString& nome,
                         const std::vector<std::pair<QString, QString>>& campi);

    // Reads again what the table's columns hold (after the table changed).
    void rileggiLunghezze();
    // A list of the card: the project, its situation and table, and the
    // session's user, folder and company (the grid's layout and orders).
    void configuraGriglia(TCSDGrid* g, int situazione, const QString& tabella) const;
    // Closes and opens a page's query; a database error becomes its message.
    void riapriQuery(Query& q);

    // A read-only edit that shows a column of the current row, like the
    // header's.
    void mostraColonna(QLineEdit* e, const QString& colonna);

    // A write on current data (quintar::scriviSuDatiCorrenti) on the main
    // transaction. The card's list is closed for the restart and read again
    // afterwards on the row that was current (unless `rileggiLista` is false:
    // the caller reads it itself).
    void scriviSuDatiCorrenti(const std::function<void()>& scrivi, bool rileggiLista = true);
    // The stored row of `tabella` picked by `condizione`, on the main transaction.
    RigaLetta rigaMemorizzata(const QString& tabella, const QString& condizione);
    // Inside a write: the stored row is still the one read. RigaCambiata when
    // another user has changed it since, DbError when it is gone.
    void confermaRiga(const QString& tabella, const QString& condizione, const RigaLetta& letta);
    // The message of a refused save: the history's, the card's own
    // (ErroreMemorizzazione), or `generico`.
    static QString testoErrore(const DbError& e, const QString& generico);

    // The card's pages of lines (each registers itself).
    const std::vector<PaginaRighe*>& pagineRighe() const { return righe_; }

    // Characters the column of the card's table holds (CHAR and VARCHAR);
    // 0 when it is not such a column.
    int lunghezzaColonna(const QString& colonna) const;

    // The new-code dialog (TKyvIn1Form) of a card whose user types keys.
    struct DialogoNuovoCodice {
        QString titolo;
        QString etichetta;
        // The code as it is checked and stored: quotes removed by default.
        std::function<QString(const QString&)> comeMemorizzato = {};
        // Checks that code before the duplicate check;
        // returns the warning to show, empty when the code is fine.
        std::function<QString(const QString&)> controllo = {};
        QString messaggioUsato = QStringLiteral("Il codice inserito è già in uso");
        // Cards whose dialog closes on a refused code (the user starts again).
        bool chiudeSuRifiuto = false;
        int lunghezzaMassima = 0; // 0: what the key column holds
        QString proposta = {};    // the code the dialog opens with
    };

protected:
    // The code accepted, empty when the user gave up.
    QString chiediCodice(const DialogoNuovoCodice& dialogo);

    Transaction TransazionePrincipale;
    Transaction TransazioneControllo;
    Query QueryPrincipale; // the rows of the list
    Query QueryAux;        // writes, main transaction
    Query QueryAux2;       // checks and look-ups, check transaction

    // Hooks of larger cards.
    virtual QStringList sqlBase() const { return d_.sqlBase; }
    // Validations before a save; false stops it (the card shows its message).
    virtual bool validaCampi() { return true; }
    // The SET lines of the save (without commas).
    virtual QStringList assegnazioni() const;
    // Runs on the main transaction before the UPDATE, with its SET lines
    // (history copies of the row as it was).
    virtual void primaDellAggiornamento(const QStringList& assegnazioni) { Q_UNUSED(assegnazioni); }
    // Runs on the main transaction after the UPDATE, before the commit.
    virtual void dopoAggiornamento() {}
    // After a save has committed.
    virtual void dopoMemorizzazione() {}
    // "Eliminare il record selezionato?", after what uses the record when
    // something does (`molti` takes the count as %1).
    static QString domandaConUso(int n, const QString& uno, const QString& molti,
                                 const QString& seguito);
    // The question before a record is deleted, after the declared warning
    // of what uses it (avvisoEliminazione).
    virtual QString testoConfermaEliminazione(const QString& codice);
    // Deletes the record on the main transaction (cards with history first
    // write the deletion version).
    virtual void eliminaRecord(const QString& codice);
    // Copies the current row into the edit page.
    virtual void riempiEditazione();
    // The computed key of a new record (NuovoCodice::MassimoPiuUno), read on
    // q's transaction.
    QString nuovoCodiceCalcolato(Query& q);
    // The key of a new record chosen by the user (NuovoCodice::Digitato):
    // every part, the further ones after the first; empty when the user gave
    // up. The default is the new-code dialog.
    virtual QStringList chiediNuovaChiave();
    // Runs in state 1 once the new record's key is inserted and shown.
    virtual void dopoNuovo() {}
    // The interface has followed a change of StatoScheda.
    virtual void statoAggiornato() {}

    // A drop-down list of the edit page filled from the first column of a
    // query, after an empty item.
    void caricaElenco(const QString& colonna, const QStringList& sql, bool ordina);
    // The ADR fields of a card: code CODICEADR and group GRUPPOADR, with the
    // class and description (fields ADR2017.CLASSE and ADR2017.DESCRIZIONE,
    // not stored) decoded from ADR2017: on the consultation page 400 ms after
    // a change, on the edit page when a code is chosen, which also proposes
    // its packing group (or, where the edit page only shows the code, 400 ms
    // after it changes).
    void caricaCodiciADR();
    void collegaADR();
    void decodificaADR(bool suEditazione, bool proponiGruppo);

    // Reopens the list on a key given with its further parts.
    void riapriSu(const QString& codice, const QStringList& altre);

    // The condition that picks a record by its key: the code followed by
    // AltreChiaviCorrenti ("CODICE='7'", or "(A='1')AND(B='2.5')").
    QString condizioneChiave(const QString& codice) const;

    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

    // The row as the list showed it when editing began (for history checks).
    QMap<QString, QString> rigaPrimaDellaModifica;
    // The record's stored row when editing began (after the insert of a new
    // one): a save writes only while it still stands so.
    RigaLetta rigaLetta;

private:
    friend class PaginaRighe;
    void costruisci();
    QWidget* creaPagina(bool consultazione);
    QHBoxLayout* creaPulsanti(bool consultazione, QWidget* pagina);
    void collegaPulsanti();
    // Edits take no more than their columns hold.
    void limitaLunghezze();
    bool verificaLunghezze();
    void aggiornaConsultazione();
    // Inserts the new record's key-only row (its key computed now when
    // `calcolato`); false, with the message, when it cannot.
    bool inserisciChiave(QString& codice, bool calcolato);
    // Removes the key-only row of a new record given up; false when it stays
    // (the user was told, or another user has saved into it since).
    bool cancellaChiave(const QString& codice);
    // The record's row is in the table (committed); true when that cannot be read.
    bool rigaEsiste(const QString& codice);
    void vaiARiga(int riga);
    void riapri(int inizio);
    int posizioneDi(const QStringList& chiave);
    QStringList chiaveDi(const QString& codice) const;
    bool verificaValori();
    int contaRighe();
    // The list's text without its order line, and that line (ROWS taken off).
    void testoEOrdine(QString& testo, QString& ordine) const;
    void primoCampoEditabile(const QString& colonna = {});

    DescrizioneScheda d_;
    // The new record's row was deleted after its save failed.
    bool chiaveTolta_ = false;
    std::map<QString, QWidget*> editazione_;
    std::map<QString, QWidget*> consultazione_;
    bool posizioneCaricata_ = false;
    int inizioFinestra_ = 0; // position in the order of the list's first row
    std::map<QString, int> lunghezze_;
    std::vector<PaginaRighe*> righe_;
    QDialog* dialogoRicerca_ = nullptr;
    QTimer* timerADR2_ = nullptr;
    std::vector<std::pair<QLineEdit*, QString>> testate_;
};

} // namespace quintar
