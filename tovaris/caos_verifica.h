// What the chaos run checks in the archives it leaves: validation, limbo,
// work owed, and the archives' own invariants.
#pragma once

#include "inizializza.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <map>

namespace tovaris {

// Each invariant by name, with the rows that break it (a readable key each).
struct Invarianti {
    std::map<QString, QSet<QString>> violazioni;
};

// The invariants as the archives hold them now:
// - "storico NAME": a card's history ends with its current row (the last
//   version equals the row, column by column) where the card's version holds
//   the row as saved: raw materials, products, batches;
// - "righe senza testata NAME": no line without its header;
// - "pesata assegnata due volte", "pesata chiusa senza assegnazione",
//   "assegnazione di una pesata aperta": each weighing of the station closed
//   exactly when it is assigned to one batch line, once;
// - "fabbricazione senza ordine", "ordine di una fabbricazione da fare": a
//   batch committed or finished has its order in the host archive, one still
//   to do has none.
Invarianti leggiInvarianti(const Cartella& c);

// The checks after a run: gfix -v -full clean on every archive, no
// transaction in limbo, nothing owed, and no invariant broken that held
// before the run (`prima`). One line per failure; none when all is well.
QStringList verificaArchivi(const Cartella& c, const Invarianti& prima);

} // namespace tovaris
