// The cost sheets against the archive: what a calculation reads (the sheet,
// the cost parameters, the product's formulation at today's raw-material
// prices, its packaging, the linked secondary sheets) and the figures it
// writes back. Each call works in a transaction of its own, started for it,
// so that it always sees what others have committed up to that moment; a
// screen that keeps a transaction open restarts it before it shows the
// sheet again.
#pragma once

#include "formulation/calcolocosti.h"
#include "session/db.h"

#include <QDate>
#include <QStringList>
#include <array>
#include <optional>
#include <stdexcept>

namespace quintar::costi {

// The first row of CPAR; none when the table is empty.
std::optional<ParametriCosti> leggiParametri(Query& q);

// The packaging of a stored product as the cost sheets price it.
struct ImballoProdotto {
    bool trovato = false; // the product is in PRODOT
    // container, cap, label, carton, other 1…4: COSTOIMBALLO1 of the first
    // item of that name (and, for the first four, of that type); none when
    // the name is empty, not found, or its group's divisor leaves it out
    std::array<std::optional<double>, 8> costi{};
    std::array<double, 6> divisori{}; // DIVISORE1…DIVISORE6
    double costo = 0;
    // The items priced (a name, a divisor that counts) whose code is no
    // longer in IMBALLI, as "IC009 (Contenitore)". An item named without a
    // code, as older archives have them, cannot be told from one never
    // coded: its name not found simply adds nothing.
    QStringList mancanti;
};
ImballoProdotto leggiImballo(Query& q, const QString& prodotto);

// The packaging cost of one unit of a product; 0 for a product not in the
// archive.
double CalcolaCostoImballo(Database& db, const QString& prodotto);

// A calculation met rows it reads that are no longer in the archive: the
// sheet's product, the product's formulation, materials of the formulation's
// lines, packaging items of the product. It stores nothing rather than
// price them at 0.
class DatiMancanti : public std::runtime_error {
public:
    DatiMancanti(int codice, QStringList righe);
    int scheda;
    // Each as the user is told it: "Il prodotto FM009 non esiste più".
    QStringList mancanti;
    // What the user is told: "Il prodotto FM009 non esiste più: la scheda 3
    // non è stata ricalcolata."
    QString testo() const;
};

// Recalculates sheet `codice` from today's figures and stores the result
// with `oggi` as its date of last change, all in one transaction that is
// committed at the end. None when the sheet is not in the archive (nothing
// written). DatiMancanti when its product, formulation, materials or
// packaging are gone; DbError (a conflict with another user's change among
// them) or sql::ValoreNonValido for a figure that is not a number: nothing
// stored.
std::optional<TotaliCosti> CalcolaTotali(Database& db, int codice,
                                         const QDate& oggi = QDate::currentDate());

// What the screen shows beside the stored figures of a sheet.
struct VistaScheda {
    SommeSecondarie somme;
    ValoriUnitari unitari;
    // the selling prices; none when the sheet names no product in the archive
    std::optional<PrezziVendita> prezzi;
    ImballoProdotto imballo;     // today's packaging of the sheet's product
    double costoContenitore = 0; // the one stored on the sheet
    bool imballoVariato = false; // the two differ by more than 0,01
};

// CalcolaCostiUnitari and the price display of a stored sheet; none when
// the sheet is not in the archive.
std::optional<VistaScheda> CalcolaCostiUnitari(Database& db, int codice);

} // namespace quintar::costi
