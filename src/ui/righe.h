// A page of lines: the rows of a child table that belong to the card's
// current record (the data-sheet lines of a raw material, the components
// of a formulation), with their own list, states (0 browsing, 1 new line,
// 2 editing a line), buttons, line numbers and history. A card declares the
// page and adds it to its notebook; the hooks carry what is its own.
#pragma once

#include "ui/scheda.h"

#include <QMap>
#include <functional>

class QLabel;
class QVBoxLayout;

namespace quintar {

struct DescrizioneRighe {
    QString tabella;      // SPECIF
    QString colonnaPadre; // CODICEMP: the card's key (or another of its columns)
    QString colonnaRiga = QStringLiteral("NRIGA");
    TipoValore tipoRiga = TipoValore::Intero;
    QString nome;    // objectName of the page
    QString griglia; // GridSpSpecifiche
    int situazioneGriglia = 0;
    // ButtonSp: ButtonSpNuovo, ButtonSpEdit, ... ButtonSpAnnulla; with a %1 the
    // action takes its place (Button%1Compon: ButtonNuovoCompon, ...).
    QString pulsanti;
    QString notebook;          // NoteBookEditSpecifiche: the fields, read-only and editable
    QString notebookPulsanti;  // NoteBookEditSpecifiche2; empty: the buttons go under the fields
    QString etichettaVersione; // LabelSpVersione; empty: no version shown
    // The parent's value shown read-only on the pages, when its edits are named.
    CampoScheda campoPadre = {};
    CampoScheda campoRiga; // the line number, read-only on both pages unless renumbered
    // The line number may be changed on the edit page (written with the
    // other columns when it differs); this warning when it is not a number.
    bool rigaModificabile = false;
    QString messaggioRiga = {};
    std::vector<CampoScheda> campi;
    // "Errore interno: cancellare manualmente il record con CODICEMP "
    QString messaggioCancellare;
    // Names of the list's fields where its query renames the columns
    // (CODICEMATERIAPRIMA shown as CODICE): column → field.
    std::map<QString, QString> campiLista = {};
};

// A change of a line refused with its own message (a warning) instead of
// the page's "impossibile memorizzare" or "impossibile eliminare".
class RigaRifiutata : public DbError {
public:
    using DbError::DbError;
};

class PaginaRighe : public QWidget {
    Q_OBJECT
public:
    PaginaRighe(SchedaBase* scheda, DescrizioneRighe d, QWidget* parent = nullptr);
    ~PaginaRighe() override;

    const DescrizioneRighe& descrizione() const { return d_; }

    // The value of the parent column for the card's current record; empty
    // when the card's list is empty.
    std::function<QString()> padre;
    // History of a line, on the card's main transaction, before its UPDATE
    // (with the SET lines) or its DELETE (cancellazione, no SET lines): the
    // copies hold the line as it was, and commit with the change or not at
    // all. Throws to stop the change (storico::ErroreStorico for a history
    // row that cannot be written).
    std::function<void(Query& q, const QString& riga, bool cancellazione,
                       const QStringList& assegnazioni)>
        storico;
    // Runs on the main transaction after a line's UPDATE or DELETE, before
    // the commit (a total kept on the parent); throws to stop the change.
    std::function<void(Query& q, bool cancellazione)> dopoModifica;
    // After a change has committed.
    std::function<void()> dopoSalvataggio;
    // The number of a new line, read on the check transaction; MAX + 1 (or
    // 1) when not set.
    std::function<QString(Query& q, const QString& padre)> prossimaRiga;
    // The list's own query for a parent (a join, renamed columns); it orders
    // the lines by their number itself. By default every column of the table.
    std::function<QStringList(const QString& padre)> testoLista;
    // The highest version of a line, for the version label.
    std::function<QStringList(const QString& padre, const QString& riga)> sqlVersione;
    // The page leaves browsing (true) or returns to it: the card locks what
    // would move it off the record (tabs, navigator).
    std::function<void(bool inModifica)> bloccaScheda;
    // "Ch&iudi": back to the card's first page.
    std::function<void()> chiudi;
    // "&Nuovo" may be refused for the current record (the card says why);
    // when not set, a record is all a new line needs.
    std::function<bool()> nuovaRigaConsentita;

    int Stato = 0;
    QString PadreCorrente;
    QString RigaCorrente;

    TCSDGrid* Griglia;
    QStackedWidget* Notebook;
    QStackedWidget* NotebookPulsanti; // the same as Notebook when the buttons share it
    QLabel* LabelVersione = nullptr;
    QPushButton* ButtonNuovo;
    QPushButton* ButtonEdit;
    QPushButton* ButtonElimina;
    QPushButton* ButtonChiudi;
    QPushButton* ButtonMemorizza;
    QPushButton* ButtonAnnulla;
    QVBoxLayout* Corpo; // the page's layout, for what a card adds above the list

    void ButtonNuovoClick();
    void ButtonEditClick();
    void ButtonEliminaClick();
    void ButtonMemorizzaClick();
    void ButtonAnnullaClick();
    void SettaggioInterfaccia();

    // Opens the list on the lines of the current parent, on this line when
    // given (else the first). Closes it when the page is not shown.
    // True when the line was found.
    bool riapri(const QString& riga = {});
    void chiudiLista();
    bool listaVuota() const;
    // The line number of the current row; empty when the list is empty.
    QString rigaGriglia() const;
    QWidget* editazione(const QString& colonna) const;
    QWidget* consultazione(const QString& colonna) const;
    // The condition picking one line: parent and line number.
    QString condizione(const QString& padre, const QString& riga) const;
    // The line's SQL literal (a point, whatever the number shows).
    QString letteraleRiga(const QString& riga) const;
    // The list's field that shows a column.
    QString campoLista(const QString& colonna) const;

private:
    QStringList sqlRighe() const;
    QWidget* creaPaginaCampi(bool consultazione);
    void creaPulsanti();
    void aggiornaConsultazione();
    void mostraVersione();
    bool rigaEsiste(const QString& padre, const QString& riga);
    bool cancellaRiga();
    bool modificaInUnaVolta(bool cancellazione, const QStringList& set, const QString& messaggio);
    bool verifica();
    // Restarts the card's main transaction; false (with the message) when the
    // card's record no longer shows the same parent.
    bool rileggiStessoPadre();
    // The card's list read again on a fresh main transaction, on the row
    // shown (all of its key).
    void rileggiScheda();

    SchedaBase* scheda_;
    DescrizioneRighe d_;
    Query QueryRighe;     // the list, main transaction
    Query QueryAux;       // changes, main transaction
    Query QueryControllo; // numbers and versions, check transaction
    std::map<QString, QWidget*> editazione_;
    std::map<QString, QWidget*> consultazione_;
    std::map<QString, int> lunghezze_;
    QWidget* consultazioneCampi_;
    QWidget* editazioneCampi_;
    QWidget* consultazionePulsanti_;
    QWidget* editazionePulsanti_;
    QTimer* timerVersione_;
    // The line's stored row when editing began (after the insert of a new
    // one): a save writes only while it still stands so.
    RigaLetta rigaLetta_;
};

} // namespace quintar
