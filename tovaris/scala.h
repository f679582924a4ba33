// Large archives for benchmarks: many raw materials, formulations, products,
// batches and weighings, written with prepared inserts in large transactions.
#pragma once

#include "inizializza.h"

#include <QString>
#include <functional>

namespace tovaris {

struct Quantita {
    int materie = 100000;
    int formulazioni = 20000;
    int righePerFormulazione = 20;
    int prodotti = 50000;
    int fabbricazioni = 200000;
    int pesate = 1000000;
    // Component lines of every batch; the first `pesate` lines carry a
    // weighing assigned from a supplier lot (the rest were never weighed),
    // one batch in ten a consumption line. Supplier lots: one per ten batches.
    int righePerFabbricazione = 5;
    // The same proportions, scaled (1 = the sizes above).
    static Quantita scalate(double fattore);
};

// Fills the empty archives of c; reports progress through the callback.
void riempiScala(const Cartella& c, const Quantita& q,
                 const std::function<void(const QString&)>& avanzamento = {});

} // namespace tovaris
