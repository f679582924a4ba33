// What a screen that edits one stored row, or one set of parameters, tells
// its user when another user changed that row after the screen read it: the
// save wrote nothing, and the screen now shows the values as stored.
#pragma once

#include <QString>

namespace quintar {

inline QString testoModificatiDaAltri() {
    return QStringLiteral("Attenzione: un altro utente ha modificato questi valori dopo che erano "
                          "stati letti. Nulla è stato memorizzato: sono mostrati i valori attuali");
}

} // namespace quintar
