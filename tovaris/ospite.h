// The host side of the library: loading it, calling its entry points, keeping
// the window log.
#pragma once

#include "inizializza.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tovaris {

// Every entry point the library may export, in the host's menu order.
const QStringList& entratePreviste();

class Libreria {
public:
    // Loads the library beside the host program (or QUINTAR_LIB).
    Libreria();
    ~Libreria();
    bool caricata() const { return handle_ != nullptr; }
    QString errore() const { return errore_; }
    bool esiste(const QString& entrata) const;
    // Calls an entry point; for X ones the window-log row is written first
    // (with the given identifier or the next free one). False when the entry
    // point does not exist.
    bool apri(const Cartella& c, const QString& entrata, int utente,
              std::optional<int> finestra = std::nullopt);

private:
    void* handle_ = nullptr;
    QString errore_;
};

// Inserts the window-log row the host writes before an X call; returns its
// identifier.
int registraFinestra(const Cartella& c, const QString& entrata, int utente,
                     std::optional<int> finestra);

} // namespace tovaris
