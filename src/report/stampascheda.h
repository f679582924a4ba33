// The print routine of the data-sheet screens: checks and questions, then
// the designer on the project file or the print with options and preview.
#pragma once

#include "report/lavorostampa.h"

#include <QString>
#include <functional>

class QWidget;

namespace quintar {
class TTabXForm;
}

namespace quintar::report {

struct SchedaDaStampare {
    QWidget* finestra = nullptr;   // owner of every dialog
    TTabXForm* sessione = nullptr; // its "TempDir" row, when present, holds the work files
    QString fileProgetto;          // the ".LST" as the session stores it ("\" separators allowed)
    QString titoloProgettista;
    QString titoloAnteprima;
    bool nessunRecord = false;   // the screen's list is empty
    bool modificaReport = false; // "Edit report st." is ticked
    // Positions the screen's queries for printing (after the questions).
    std::function<void()> preparaDati;
    LavoroStampa::Gestore OnDefineVariables;
    LavoroStampa::Gestore OnDefineFields;
};

enum class EsitoStampa {
    NienteDaStampare, // empty list
    Rinuncia,         // No to the question, or options cancelled
    ProgettoMancante, // the ".LST" is missing or unreadable
    Progettato,       // the designer was opened and closed
    Anteprima,        // the preview was shown
    Stampato,         // sent to a printer
    Errore            // the printer or the disk refused
};

EsitoStampa stampaScheda(const SchedaDaStampare& s);

// The companion files of a project: same name with ".lsv", ".lsp", ".~lst".
QStringList fileCompagni(const QString& fileProgetto);

} // namespace quintar::report
