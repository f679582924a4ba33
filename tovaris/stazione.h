// The weighing station, simulated: weighings written into PESATE of a host
// folder's weighing archive as the scales write them (NOTE NULL, one
// transaction per batch of weighings), and the station operator's status
// changes by hand. Used by `tovaris pesa`, by the script verb `weigh`, by the
// tests and by the benchmark.
#pragma once

#include "inizializza.h"
#include "session/db.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace tovaris {

struct Pesata {
    QString bilancia;
    QString barcode;
    double peso = 0;
    QString operatore; // empty: NULL
    QDateTime momento;
};

// Inserts the weighings in one transaction (committed every 50,000 rows) and
// commits. The moments must be free on their scale.
void scriviPesate(quintar::Database& db, const std::vector<Pesata>& pesate);

// The first moment from `da` on (a millisecond at a time) that no weighing
// of the scale holds yet.
QDateTime momentoLibero(quintar::Database& db, const QString& bilancia, QDateTime da);

// The words of `tovaris pesa DIR ...` and of the script verb `weigh`:
//   SCALE BARCODE WEIGHT [OPERATOR...] [--at MOMENT] [--count N]
//       N weighings (1 by default) of the scale, written together, from MOMENT
//       (yyyy-MM-ddTHH:mm:ss[.zzz], now by default) a millisecond apart;
//       WEIGHT with a comma or a point
//   --status STATUS SCALE [--at MOMENT]
//       the status of the scale's newest weighing (or of the one at MOMENT)
//       set by hand; NULL makes it new again
// Returns what was done, one line per weighing; std::runtime_error with the
// reason (and the usage) when the words make no sense.
QStringList comandoPesa(const Cartella& c, const QStringList& parole);

inline constexpr const char* kUsoPesa =
    "SCALE BARCODE WEIGHT [OPERATOR...] [--at yyyy-MM-ddTHH:mm:ss.zzz] [--count N]\n"
    "  | --status STATUS SCALE [--at yyyy-MM-ddTHH:mm:ss.zzz]";

} // namespace tovaris
