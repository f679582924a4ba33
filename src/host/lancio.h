// The launch of a screen from an entry point, driven by one row of the
// launch table per screen.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace quintar {

class TTabXForm;
class FinestraSessione;

struct DescrizioneSchermata {
    QString nome; // "ImpoVarie": ShowImpoVarieFormD / ShowImpoVarieFormX
    bool entrataD = true;
    bool entrataX = true;
    // Session parameters registered by the launch, in this order (names of the
    // parameter rows: "BinDir", "Archivio", "TempDir", "StSpecLST", ...).
    QStringList parametri;
    QString db1 = QStringLiteral("Archivio"); // row connected to IBDatabase1
    QString db2;                              // row connected to IBDatabase2, if any
    bool impostaFormati = true;
    // The manufacturing sheet reads ArchivioTovaris from the company archive.
    bool archivioTovarisDaTabX = false;
    // Caption set by the launch (followed by the company name), if any.
    QString didascaliaLancio;
    std::function<FinestraSessione*(TTabXForm*)> crea;
};

// The launch table.
const std::vector<DescrizioneSchermata>& tabellaSchermate();
const DescrizioneSchermata* trovaSchermata(const QString& nome);

// Runs the launch sequence; the window identifier is given for X entry points
// only. Returns the screen, already shown.
FinestraSessione* LanciaSchermata(const DescrizioneSchermata& d, int utente,
                                  std::optional<int> finestra);
// The entry points' body: never throws, returns 0.
int lanciaDaEntrata(const char* nome, int utente, std::optional<int> finestra);

} // namespace quintar
