// Security profiles of the users: a profile whose default level is "2" makes
// its users read-only in the screens that check it.
#pragma once

#include <QStringList>

class QWidget;

namespace quintar {

class TTabXForm;

// Whether the session's user is read-only, read through the session's
// QueryArbelon on the user database. A user database that cannot be queried
// gives read-only: the safe outcome. Every missing piece of data (no profile,
// no PROFILI row, empty level) gives full rights.
bool VerificaProfiloSicurezza(TTabXForm& sessione);

// Disables the named controls of a screen (the editing buttons of a
// read-only user). Names that the screen does not have are ignored.
void DisattivaControlli(QWidget* schermo, const QStringList& nomiControlli);

} // namespace quintar
