// The manufacturing sheet on paper: the batch's header as report variables
// and its four lists (components, critical components, packaging and
// procedure lines) as report fields, printed in two phases: first the
// components beside the critical lines, then, after a page break, the
// packaging beside the procedure. The pre-production sheet prints the same
// data with the weighing barcodes of the component lines, which are given
// to the lines that have none before it is printed.
#pragma once

#include "production/fabbricazione.h"
#include "report/lavorostampa.h"

#include <QDate>
#include <QString>
#include <utility>
#include <vector>

namespace quintar {
class Query;
}

namespace quintar::produzione {

// One row of a list (or the header) as the report reads it: each field's
// name and value, in the query's order.
using RigaReport = std::vector<std::pair<QString, report::Dato>>;

// What the header of the sheet shows beside the batch row.
struct TestataStampa {
    RigaReport colonne;         // every column of the batch row, by its name
    QString fabbricazioneDa;    // FABBRICAZIONEDA as stored
    QString codiceSemilavorato; // FABBRICAZIONEDA_CODICE
    QString lottoSemilavorato;  // FABBRICAZIONEDA_LOTTO
    QString riempitrice;        // the filling machine's code (its packaging lines)
    QString descrizioneRiempitrice;
    QString numeroContenitori; // as the header shows it
    QString capacita;          // the capacity's description
    QDate scadenza;            // invalid when the product has no shelf life
};

// The print's progress: the rows reached over the rows there are, in
// percent, rounded; 100 when there is nothing to print at all.
int avanzamentoStampa(int raggiunte, int totali);

class SchedaInStampa {
public:
    // Reads the batch's lists in q's transaction, each positioned on its
    // first row, and the figures the sheet computes for the batch and its
    // lines. DbError on a failed read.
    void carica(Query& q, const LottoCorrente& lotto, TestataStampa testata);

    // The engine's two requests: the variables before each record, the
    // fields of each record (which then moves the lists on).
    void variabili(report::LavoroStampa& j) const;
    void campi(report::LavoroStampa& j);

    int componenti() const { return int(compon_.righe.size()); }
    int critici() const { return int(critici_.righe.size()); }
    int confezionamento() const { return int(confez_.righe.size()); }
    int procedure() const { return int(proced_.righe.size()); }

private:
    struct Elenco {
        RigaReport colonne; // every field, null: what an exhausted list declares
        std::vector<RigaReport> righe;
        size_t posizione = 0;
        bool finito() const { return posizione >= righe.size(); }
        // the 1-based number of the row reached (the count once exhausted)
        int raggiunta() const {
            return righe.empty() ? 0 : int(std::min(posizione + 1, righe.size()));
        }
        const RigaReport& corrente() const { return finito() ? colonne : righe[posizione]; }
    };
    static Elenco leggi(Query& q, const QString& prefisso, bool doppio);
    void leggiComponenti(Query& q, const LottoCorrente& lotto);
    void leggiCritici(Query& q, const LottoCorrente& lotto);
    bool primaFase() const { return !compon_.finito() || !critici_.finito(); }

    RigaReport testata_;
    Elenco compon_;
    Elenco critici_;
    Elenco confez_;
    Elenco proced_;
};

// The critical lines of the formulation of the batch's product, in line
// order, with their material's name, composition and active matter and the
// formulation's density.
QStringList sqlCriticiProdotto(const LottoCorrente& lotto);

// Gives every component line of the batch without a weighing barcode a new
// one ("CONTEST" and eight digits of the lines' counter), in line order; the
// lines that have one keep it. Runs in q's transaction, uncommitted; the
// number of lines given a barcode. DbError on failure.
int assegnaCodiciPesata(Query& q, const LottoCorrente& lotto);

} // namespace quintar::produzione
