// The printers of this computer, as name, driver and port.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace quintar {

struct Stampante {
    QString nome;
    QString driver;
    QString porta;
    // "name,driver,port": the device string of a printer.
    QString voce() const { return nome + ',' + driver + ',' + porta; }
};

using SorgenteStampanti = std::function<std::vector<Stampante>()>;

// The printers from the print system (CUPS), or from the source installed.
std::vector<Stampante> elencoStampanti();
// Replaces the source (tests run without a print server); an empty function
// restores the print system.
void installaSorgenteStampanti(SorgenteStampanti s);

} // namespace quintar
