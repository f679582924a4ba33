// Lot traceability: which supplier lots and package serials went into a
// batch (backward), and which batches used a supplier lot, a package serial
// or a raw material (forward). Each direction is one statement on the
// company archive whose rows are the flat list the screen shows; the host
// archive adds what only it knows (the supplier of a consumed package, the
// customer order of a committed batch). Every value is bound, never written
// into the text.
//
// The list below the tree opens each direction as one statement that joins
// the names and sorts in the engine. The tracer runs the same rows leaner: one
// statement per origin without names or order, the names read once per code
// and the rows sorted here, in the list's order. On a large archive that is
// what keeps a trace close to the bare join that answers it.
#pragma once

#include "session/db.h"

#include <QDate>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quintar::traccia {

// A statement with its bound values.
struct Frase {
    QStringList sql;
    std::vector<QVariant> parametri;
};

// What a material of a batch line was taken from.
enum class Origine { Pesata, Consumo, NessunaPesata };
QString testoOrigine(Origine o);

struct Fabbricazione {
    std::optional<qint64> id; // batches converted from the older archive may lack it
    QString codice, lotto, nomeProdotto, stato, idOrdine;
    QDate data;
    // what it made: read for the batches found by their lot, not for those
    // of a forward trace, which does not show it
    std::optional<double> quantita;
    QString unita;
    // the day it reached its state: committed ("IMPEGNATA") or produced
    // ("FINITA"); none in any other state
    QDate dataStato;
    bool operator==(const Fabbricazione& o) const {
        return codice == o.codice && data == o.data && lotto == o.lotto;
    }
};

// The host order of a committed batch.
struct Ordine {
    bool trovato = false;
    QString numero, cliente, ragioneSociale;
    QDate data;
};

// One row of a trace: a weighing or a consumption line of a batch line, or
// a batch line with neither.
struct Prelievo {
    Origine origine = Origine::NessunaPesata;
    int nriga = 0; // 0: a consumption whose material is on no line of the batch
    QString materia, descrizione;
    QString seriale, lottoFornitore, fornitore, ragioneSocialeFornitore;
    std::optional<double> quantita;
    QString dataOra, bilancia, operatore;
    // the row's own key: the weighing, the consumption line, or the line
    // number of a line with neither; with the origin it orders the rows
    qint64 rif = 0;
};

// Backward: the lines of one batch with what was weighed or consumed for
// each; a line with neither has one row "Nessuna pesata".
struct RigaComponente {
    int nriga = 0;
    QString materia, descrizione;
    std::vector<Prelievo> prelievi;
};
struct Indietro {
    Fabbricazione fabbricazione;
    std::vector<RigaComponente> righe;
    std::vector<Prelievo> flat; // the rows as the statement returns them
};

// Forward: what to look for, and the batches found.
enum class Chiave { LottoFornitore, Seriale, Materia };
struct Ricerca {
    Chiave chiave = Chiave::LottoFornitore;
    QString valore;
    QDate dal, al; // batch dates, both included; an invalid date is no limit
};
struct Utilizzo {
    Fabbricazione fabbricazione;
    Prelievo prelievo;
};
struct Avanti {
    std::vector<Utilizzo> utilizzi;   // in batch order
    std::map<QString, Ordine> ordini; // by FABBRIC.IDORDINEIMPMAT
};

// The batches with a lot or an identifier.
Frase fraseFabbricazioni(const QString& lottoOIdentificativo);
// The statements the list below the tree opens: every row of a trace, with
// names, in its order.
Frase fraseIndietro(const Fabbricazione& f);
Frase fraseAvanti(const Ricerca& r);
// What the tracer runs for the same rows: one statement per origin, without
// names or order. Backward: the lines with their weighings, then the
// consumption lines. Forward: the weighings, the consumption lines and, for a
// raw material, the lines still without either.
// Without their text (the values only) when conTesto is false: for
// statements already made.
std::vector<Frase> frasiIndietro(const Fabbricazione& f, bool conTesto = true);
std::vector<Frase> frasiAvanti(const Ricerca& r);

// A weighing's moment as the archive holds it ("2025-03-01 08:00:00.0000"),
// shown as every screen shows a moment ("01/03/2025 08:00:00").
QString testoMomento(const QString& dataOra);
QString testoMomentoUtf8(QByteArrayView utf8); // the same, as the archive sends it

// Two texts in the order the archive sorts them: byte by byte in its
// character set (WIN1252), the shorter padded with blanks; <0, 0 or >0.
int confrontaTesti(const QString& a, const QString& b);

// Groups the flat rows of a batch by line, in line order; consumption
// lines of a material no line has come last under line 0.
std::vector<RigaComponente> raggruppaPerRiga(const std::vector<Prelievo>& flat);

// Look-ups bind at most this many codes at a time.
inline constexpr int kGruppoRicerca = 16;

// A look-up of many codes as "IN (...)", in one statement or in several
// parts united, each part with a list of codes of its own. A group of n codes
// takes the statement with the fewest places that hold it (1, 2, 4, 8 or 16
// per part, the places left over null; a part with no codes is left out),
// each prepared once, so that a few statements serve every trace and a lone
// code costs one probe.
class Gruppi {
public:
    // parti: the statements united, each with "%1" where its places go and
    // its rows told apart by their first column when there are several;
    // massimo: the codes of each list bound at a time (a power of two).
    Gruppi(Database* db, Transaction* tr, std::vector<QStringList> parti,
           size_t massimo = kGruppoRicerca);
    ~Gruppi();
    // Reads the codes of every list, massimo of each at a time; riga is
    // called for each row found.
    void leggi(const std::vector<std::vector<QVariant>>& liste,
               const std::function<void(const Query&)>& riga);
    static size_t posti(size_t n, size_t massimo = kGruppoRicerca);

private:
    Query& per(const std::vector<size_t>& posti);

    Database* db_;
    Transaction* tr_;
    std::vector<QStringList> parti_;
    size_t massimo_;
    std::map<std::vector<size_t>, std::unique_ptr<Query>> frasi_;
};

struct Genealogia;
struct Partenza;
class Genealogista;

// Statements prepared once and run again for every trace.
class Tracciatore {
public:
    // erp may be null or not connected: the trace then lacks the host's part.
    Tracciatore(Database* azienda, Database* erp);
    ~Tracciatore();

    // The batches with that lot, or that identifier when it is a number.
    std::vector<Fabbricazione> fabbricazioni(const QString& lottoOIdentificativo);
    Indietro indietro(const Fabbricazione& f);
    Avanti avanti(const Ricerca& r);
    // A fresh view of both archives for the next trace.
    void aggiorna();
    // The company archive's view the traces read on.
    Transaction& transazione() { return trAz_; }
    // The genealogies of this view, forward from a lot, a serial, a material
    // or a batch, backward from a batch; forward with the host orders of the
    // batches and their customers.
    Genealogia genealogiaAvanti(const Partenza& p);
    Genealogia genealogiaIndietro(const Fabbricazione& f);

private:
    void completaNomi(const std::vector<Prelievo*>& righe);
    // The host's part: the supplier of every consumed package and, forward,
    // the orders of the batches with their customers.
    void completaDaErp(const std::vector<Prelievo*>& righe, Avanti* a);

    Database* az_;
    Database* erp_;
    Transaction trAz_;
    std::unique_ptr<Transaction> trErp_;
    Query qFabbricazioni_, qFabbricazioniONumero_;
    std::vector<std::unique_ptr<Query>> qIndietro_; // one per statement
    // a forward trace's statements, by key and limits given
    std::map<int, std::vector<std::unique_ptr<Query>>> qAvanti_;
    std::vector<Utilizzo> riserva_; // room made for the next forward trace's rows
    std::unique_ptr<Gruppi> nomi_, ordini_, serialiEClienti_;
    std::unique_ptr<Genealogista> genealogista_;
};

// ------------------------------------------------------------ genealogy

// A genealogy follows a lot through every level of production: the batches
// that weighed or consumed it, the batches that took those batches' product
// (a semi-finished product weighed or consumed by its code and lot, or named
// as the batch it was made from), and so on down to the batches nothing
// took further; backward the same from a batch up to the batches whose
// product it took. Each level is one read of the archive, whatever the
// number of batches in it.

// How a batch took what the level above made.
enum class Legame { Pesata, Consumo, FabbricazioneDa };

// Levels followed at most: a deeper chain is cut there and said to be.
inline constexpr int kLivelliMassimi = 12;
// The lots of a level looked up at a time: a level is one read up to this
// many lots (the places of a statement are prepared in powers of two up to
// 8, then in steps of an eighth of the next one).
inline constexpr size_t kGruppoLivello = 128;

struct Nodo {
    Fabbricazione fabbricazione; // with its quantity
    int livello = 0;             // 0: the batch traced from; 1: the first to take the lot traced
    int padre = -1;              // the node it was reached from (first found); -1 for none
    // what of the node above it took, and how much (the weighings summed, or
    // the consumption lines when it has no weighing of it; none when only
    // named as the batch it was made from)
    QString materia, lotto;
    std::optional<double> quantita;
    Legame legame = Legame::Pesata;
};

struct Genealogia {
    std::vector<Nodo> nodi;           // level by level, each level in the order of the batch key
    bool interrotta = false;          // batches beyond kLivelliMassimi were left out
    std::map<QString, Ordine> ordini; // by FABBRIC.IDORDINEIMPMAT (filled by the tracer)
    int livelli() const;
    // For each node, the nodes reached from it, in their order.
    std::vector<std::vector<size_t>> figli() const;
    // The batches at the end of the trail: those nothing took further.
    std::vector<size_t> finali() const;
    // Whether the batch (by key) is in it.
    bool contiene(const QString& codice, const QDate& data, const QString& lotto) const;
};

// What a forward genealogy starts from: a lot, a serial or a material
// (level 1 the batches that used it, within the dates given), or a batch
// (level 0).
struct Partenza {
    Ricerca ricerca;
    std::optional<Fabbricazione> fabbricazione;
};

// The reads of a genealogy, on a transaction the caller owns (the screen's,
// or the one a write runs in).
class Genealogista {
public:
    Genealogista(Database* db, Transaction* tr);
    ~Genealogista();
    Genealogia avanti(const Partenza& p, int livelliMassimi = kLivelliMassimi);
    Genealogia indietro(const Fabbricazione& f, int livelliMassimi = kLivelliMassimi);

private:
    Database* db_;
    Transaction* tr_;
    std::unique_ptr<Gruppi> avanti_, indietro_;
    std::map<int, std::unique_ptr<Query>> primo_; // level 1, by key and limits
    std::unique_ptr<Query> fabbricazione_;
};

// The list below the tree: one row per batch of a genealogy, in the order
// of the batch key, columns titled in words (titoliLista).
Frase fraseLista(const Genealogia& g);
const std::vector<std::pair<QString, QString>>& titoliLista();

} // namespace quintar::traccia
