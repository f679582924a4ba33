// The host's warehouse routine, AnteImpegnoArticoliOrdC of the library
// TovarElab beside the host program: it commits in the warehouse the articles
// of a customer order as the host archive holds them when it is called.
#pragma once

#include <QString>

class QWidget;

namespace quintar::magazzino {

// The library's file in the host's folder.
inline constexpr char kFileLibreria[] = "TovarElab.so";
inline constexpr char kFunzione[] = "AnteImpegnoArticoliOrdC";

// The routine as the library exports it: user number, order, flag.
using Routine = int (*)(int utente, int ordine, bool flag);

// Loads the library, looks the routine up, calls it with the user, the order
// and the negation of `flag`, and unloads the library. Every failure (file or
// function missing, the call failing, the unload failing) is shown over
// `parent` and the caller goes on; true when the routine ran.
bool impegnaOrdine(int utente, const QString& ordine, bool flag, QWidget* parent);

} // namespace quintar::magazzino
