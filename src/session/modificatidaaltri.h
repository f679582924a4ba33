// What a screen that edits one stored row, or one set of parameters, tells
// its user when another user changed that row after the screen read it: the
// save wrote nothing, and the screen now shows the values as stored.
#pragma once

#include "session/db.h"

#include <QString>
#include <optional>

namespace quintar {

inline QString testoModificatiDaAltri() {
    return QStringLiteral("Attenzione: un altro utente ha modificato questi valori dopo che erano "
                          "stati letti. Nulla è stato memorizzato: sono mostrati i valori attuali");
}

// After a save that failed on another user's write (`e`): the row read again
// on `t`, when it is no longer the one the screen read (`letto`), for the
// screen to show; nothing when the failure had another cause, the other
// write is still pending, or the row stands as read.
template <typename Valore, typename Leggi>
std::optional<Valore> cambiatoDaAltri(Transaction& t, const DbError& e, Leggi leggi,
                                      const Valore& letto) {
    if (!(e.conflitto() || e.chiaveDuplicata())) {
        return std::nullopt;
    }
    try {
        t.restart();
        Valore ora = leggi();
        t.commit();
        if (ora != letto) {
            return ora;
        }
    } catch (const DbError&) {
        t.rollbackRetainingNoThrow();
    }
    return std::nullopt;
}

} // namespace quintar
