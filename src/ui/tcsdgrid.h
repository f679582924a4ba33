// The grid of every list: a read-only view over a query, with searches on a
// column or on all columns, ordering by the column titles and a layout kept
// per user and screen in the database the query reads.
#pragma once

#include "session/db.h"

#include <QColor>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QMenu;
class QAction;
class QTimer;

namespace quintar {

class GrigliaModello;
class TRCSDGridForm;

// A key of the title order: field, expression used in ORDER BY (origin or
// name) and direction (1 ascending, 2 descending).
struct ChiaveOrdine {
    QString nome;
    QString espressione;
    int colonna = -1;
    int direzione = 1;
    bool valida() const { return !nome.isEmpty(); }
};

// What the search dialog asks for.
struct ParametriRicerca {
    QString testo;
    int tipo = 0; // 0 ">=", 1 "LIKE %%", 2 "LIKE %"
    bool upper = true;
    int ordinamento = 1; // 0 "No", 1 "Cresc.", 2 "Decres."
    QString data1;       // dates as typed, dd/MM/yyyy
    QString data2;
};

enum class ClasseCampo { Testo, Numero, Data, Blob };
ClasseCampo classeCampo(TipoCampo t);

// The expression a select list gives an alias ("ARTICOLI.PREZZO * 2" for
// DOPPIO in "SELECT ARTICOLI.*, ARTICOLI.PREZZO * 2 AS DOPPIO FROM ..."), so
// that a computed column can be searched and ordered; empty when not found.
QString espressioneAlias(const QString& sql, const QString& alias);
// Where the FROM of a statement's first SELECT stands (not one inside
// parentheses, quotes or comments); -1 when there is none.
int posizioneFromPrincipale(const QString& sql);

// A column of a table's primary key, with its type as the catalogue gives it
// (RDB$FIELD_TYPE and RDB$FIELD_SCALE of its domain).
struct ColonnaChiave {
    QString nome;
    int tipo = 0;
    int scala = 0;
};

// The expression whose index serves a search on a text column in capitals,
// condition and order at once: the column in capitals, then each part of the
// key as a text that sorts as the part does (a whole number offset and
// zero-padded, a date as yyyy-mm-dd), every piece after ASCII_CHAR(1), below
// every character typed, so that a text comes before the longer ones it
// begins:
//   UPPER(DESCRIZIONE) || ASCII_CHAR(1) || LPAD(CODICE + 2147483648, 10, '0')
// Ordering by it is ordering by UPPER(column) and then by the key, in one
// expression that an index can hold (an expression index has one segment, and
// "ORDER BY UPPER(column), key" is always sorted). Column names take the
// prefix `qualifica` ("ARTICOLI." in a statement, none in the index). Empty
// when a key part has no such text (only whole numbers up to INTEGER, texts
// and dates have one).
QString espressioneRicercaOrdinata(const QString& colonna, const std::vector<ColonnaChiave>& chiave,
                                   const QString& qualifica = {});
// An index expression as written, for comparing: capitals, no blanks, no
// parentheses around the whole.
QString espressioneNormalizzata(const QString& espressione);

// Colours as the layout tables store them (0x00BBGGRR); 0 is "no colour".
QColor coloreDaIntero(qint64 v);
qint64 coloreInIntero(const QColor& c);

class TCSDGrid : public QTableView {
    Q_OBJECT
public:
    explicit TCSDGrid(QWidget* parent = nullptr);
    ~TCSDGrid() override;

    // The screen's base SQL, without search condition or ORDER BY.
    QStringList SQLIniziale;
    int Situazione = 0;
    int Utente = 0;
    int CodiceProgetto = 150;
    bool OrderBy = true;
    bool TabellaPiccola = true;
    QString TabellaAspettoGriglia = QStringLiteral("STOASP1");
    QString TabellaPosizioneFinestre = QStringLiteral("STOPOS1");
    QString TabellaAspettoGriglie = QStringLiteral("SETGRID");
    QString NomeTabella;
    bool AbilitaRicerca = false;
    QString DirectoryBin;
    QString DittaCorrente;
    // True while a layout reset runs: screens skip saving the layout.
    bool RipristinoInCorso = false;
    // True from OnInizioRicerca to OnFineRicerca: the screen's BeforeOpen
    // leaves the SQL of the search alone meanwhile.
    bool RicercaInCorso() const { return ricercaInCorso_; }
    // F5, F6, F8 and F9 released on the grid run the menu items.
    bool TastiFunzione = true;
    // When above 0, the next open of the list starts at this row (from 1) of
    // its order: a card shows a row far down without reading those before.
    int PrimaRiga = 0;

    // Search state.
    QString CondizioneRicerca;
    QString EspressioneRicerca;
    QString TestoRicerca;
    bool UpperRicerca = true;
    int TipoRicerca = 0;
    // Title order: 0 not yet known, 1 single column, 2 several columns.
    int ModoOrdinamento = 0;
    ChiaveOrdine OrdineSingolo;
    std::vector<ChiaveOrdine> OrdineMultiplo;
    // From SETGRID.
    QColor ColoreCampoOrd = QColor(0xFF, 0x00, 0x00);
    bool AbilitaTimerRic = true;
    // Automatic search while typing: single shot, restarted at each change.
    QTimer* TimerRicerca;

    // Hooks the query's BeforeOpen and AfterOpen (the query's own handlers
    // run first) and reads the grid settings of the user.
    void setSorgenteDati(Query* q);
    Query* SorgenteDati() const { return query_; }
    // The wiring every list shares: the query's BeforeOpen (after the one it
    // has already) sets its SQL to testoBase(), makes it SQLIniziale and
    // re-applies the active search, unless a grid search is running (its own
    // text then stands); its BeforeClose saves the layout. Then the query
    // becomes the source.
    void collega(Query* q, std::function<QStringList()> testoBase);
    GrigliaModello* modello() const { return modello_; }

    void SalvaAspetto();
    void CaricaAspetto();

    // The context menu and its items, in their order.
    QMenu* MenuGriglia;
    QAction* VoceRicerca;
    QAction* VoceAnnullaRicerca;
    QAction* VoceRicercaChiave;
    QAction* VoceQuery;
    QAction* VoceDimezza;
    QAction* VocePersonalizza;
    QAction* VoceEsportaExcel;
    QList<QAction*> vociMenu() const;
    // Appends the grid's items after a separator to a screen's menu.
    void aggiungiAMenu(QMenu* menu);
    // Enables the items for the grid's present state.
    void aggiornaMenu();

    void RicercaSuCampoCorrente();
    void AnnullaRicerca();
    void DimezzaLarghezzaColonna();
    void PersonalizzaGriglia();
    void ApriQuery();
    // Writes what the list shows (its columns, order and search, every row)
    // to a spreadsheet file chosen by the user; the file written, empty when
    // none was.
    QString EsportaExcel();
    // Double click on a title; ctrl adds the column to a multi-column order.
    void OrdinaColonna(int colonna, bool ctrl);
    // Runs a search on the search column (the current one when no dialog is
    // open). False when nothing ran or the database refused it.
    bool EseguiRicerca(const ParametriRicerca& p);
    // Searches the text in every column.
    bool RicercaGenerica(const QString& testo);
    // Forgets the stored layout and returns to the designed one.
    void RipristinaAspettoBase();

    // The table the query facility opens: NomeTabella or the double-quoted
    // table after FROM in the base SQL.
    QString tabellaQuery() const;
    // The open search dialog, if any.
    TRCSDGridForm* dialogoRicerca() const { return dialogo_; }
    int colonnaRicerca() const { return colonnaRicerca_; }
    // The current column; when the list is empty, the last one chosen.
    int colonnaAttuale() const;

    // Values of the current row.
    QVariant valoreCorrente(const QString& campo) const;
    Campo campoCorrente(const QString& campo) const;
    // Width of a column, hidden ones included.
    int larghezzaColonna(int colonna) const;

    // Called by the search dialog.
    void avviaRicercaDaDialogo();
    void annullaRicercaDaDialogo();

signals:
    void OnInizioRicerca();
    void OnFineRicerca();
    // After every successful search, with the SQL that ran.
    void ricercaEseguita(const QString& sql);

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void currentChanged(const QModelIndex& corrente, const QModelIndex& precedente) override;

private:
    void ImpostaOrdinamento(Query& q);
    void dopoApertura(Query& q);
    void leggiImpostazioni();
    bool impostazioniLette_ = false;
    void caricaOrdinamento();
    // ORDER BY of the title order over the fields whose origin is among
    // origini; empty when there is none.
    QString rigaOrdineTitoli(const QStringList& origini, bool upper);
    // The order a list opens with: the title order, else the primary key.
    QString rigaOrdineCorrente(const QStringList& sql);
    // The primary key's columns as TABLE.COLUMN (read once per table).
    QStringList colonneChiave();
    QString ordineChiavePrimaria();
    // The key columns not yet among the order's expressions, to end an
    // ORDER BY with: tied rows then always come in the same order.
    QStringList spareggio(const QStringList& giaOrdinate, const QStringList& origini);
    // A search in capitals on a column of NomeTabella whose condition can
    // bound an index of espressioneRicercaOrdinata: that expression, as the
    // statement writes it, and whether a descending index of it serves the
    // descending order too.
    struct FormaRicerca {
        QString espressione;
        bool discendente = false;
    };
    std::optional<FormaRicerca> formaRicerca(const InfoCampo& campo, const ParametriRicerca& p);
    // The key's columns with their types and the expressions of the
    // table's active expression indexes, read once per table.
    void leggiIndiciRicerca(const QString& tabella);
    // Expression of a field in conditions and orders: its origin, the
    // expression of a computed column, or its name.
    QString espressione(const InfoCampo& c) const;
    // The condition line of a column search; nullopt when there is nothing
    // to search yet (a number or date not complete).
    std::optional<QString> condizioneColonna(const ParametriRicerca& p, int colonna,
                                             const std::optional<FormaRicerca>& forma);
    QString rigaOrdineRicerca(const ParametriRicerca& p, bool upperTesto,
                              const std::optional<FormaRicerca>& forma);
    void leggiScelteRicerca(TRCSDGridForm& dlg, std::vector<QVariant>& memorizzati);
    void salvaScelteRicerca(const TRCSDGridForm& dlg, const std::vector<QVariant>& memorizzati);
    void inizioRicerca();
    void fineRicerca();
    QStringList originiDi(const QStringList& sql);
    QString chiaveAspetto() const;
    void dipingiTitoli();
    QString condizionePer(const QStringList& base) const;
    void aspettoProgettato();
    void riapri(const QStringList& sql, bool ordineProprio);
    bool gestisciErrore(const std::function<void()>& f);

    Query* query_ = nullptr;
    GrigliaModello* modello_;
    std::function<void(Query&)> primaDiAprire_;
    std::function<void(Query&)> dopoAvereAperto_;
    TRCSDGridForm* dialogo_ = nullptr; // set only while the dialog runs
    bool dialogoAperto_ = false;
    bool ordineProprio_ = false;
    // collega() gave the list its text; otherwise the screen opens it with its
    // own, which becomes the base text at every open the grid did not make
    bool collegata_ = false;
    bool riapreLaGriglia_ = false;
    int colonnaRicerca_ = -1;
    int colonnaCorrente_ = -1;
    Qt::KeyboardModifiers modificatoriTitoli_;
    QString ultimaRigaOrdine_;
    std::map<int, int> larghezzeNascoste_;
    QString tabellaChiave_;
    QStringList colonneChiave_;
    QString tabellaIndici_;
    std::vector<ColonnaChiave> tipiChiave_;
    QStringList indiciCrescenti_; // normalised expressions
    QStringList indiciDecrescenti_;
    bool ricercaInCorso_ = false;
    QString sqlOrigini_;
    QStringList origini_;
};

} // namespace quintar
