// Lot traceability: which supplier lots and package serials went into a
// batch (backward), and which batches used a supplier lot, a package serial
// or a raw material (forward). Each direction is one statement on the
// company archive whose rows are the flat list the screen shows; the host
// archive adds what only it knows (the supplier of a consumed package, the
// customer order of a committed batch). Every value is bound, never written
// into the text.
#pragma once

#include "session/db.h"

#include <QDate>
#include <QDateTime>
#include <QString>
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
    QString codice, lotto, nomeProdotto, stato, idOrdine, unita;
    QDate data;
    std::optional<double> quantita;
    QDateTime dataImpegno, dataFine;
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

// The statements (the grid of the screen opens the same text).
Frase fraseFabbricazioni(const QString& lottoOIdentificativo);
Frase fraseIndietro(const Fabbricazione& f);
Frase fraseAvanti(const Ricerca& r);

// Groups the flat rows of a batch by line, in line order; consumption
// lines of a material no line has come last under line 0.
std::vector<RigaComponente> raggruppaPerRiga(const std::vector<Prelievo>& flat);

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

private:
    void completaFornitori(std::vector<Prelievo>& righe);
    void leggiOrdini(Avanti& a);

    Database* az_;
    Database* erp_;
    Transaction trAz_;
    std::unique_ptr<Transaction> trErp_;
    Query qFabbricazioni_, qIndietro_, qAvanti_;
    std::unique_ptr<Query> qSeriali_, qOrdini_;
};

// Host lookups go in groups of this many bound values (unused places hold
// values no row has), so that one prepared statement serves every trace.
inline constexpr int kGruppoRicerca = 8;

} // namespace quintar::traccia
