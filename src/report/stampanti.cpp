#include "report/stampanti.h"

#include <cups/cups.h>

namespace quintar {

namespace {

std::vector<Stampante> daCups() {
    std::vector<Stampante> r;
    cups_dest_t* dests = nullptr;
    int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < n; ++i) {
        const cups_dest_t& d = dests[i];
        if (d.instance) {
            continue;
        }
        Stampante s;
        s.nome = QString::fromUtf8(d.name);
        const char* modello = cupsGetOption("printer-make-and-model", d.num_options, d.options);
        // the driver is named up to its first '.'
        s.driver = QString::fromUtf8(modello ? modello : "").section('.', 0, 0);
        const char* uri = cupsGetOption("device-uri", d.num_options, d.options);
        s.porta = QString::fromUtf8(uri ? uri : "");
        r.push_back(s);
    }
    cupsFreeDests(n, dests);
    return r;
}

SorgenteStampanti& sorgente() {
    static SorgenteStampanti s;
    return s;
}

} // namespace

std::vector<Stampante> elencoStampanti() {
    return sorgente() ? sorgente()() : daCups();
}

void installaSorgenteStampanti(SorgenteStampanti s) {
    sorgente() = std::move(s);
}

} // namespace quintar
