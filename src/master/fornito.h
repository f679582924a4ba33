// Suppliers: the card that creates supplier codes and edits their company
// name, and the modal search with which other cards pick a supplier.
#pragma once

#include "ui/ricerca.h"
#include "ui/scheda.h"

#include <optional>

namespace quintar {

class TFornitoForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TFornitoForm(TTabXForm* sessione, QWidget* owner = nullptr);
};

class TRFornitoForm : public SchermataRicerca {
    Q_OBJECT
public:
    explicit TRFornitoForm(TTabXForm* sessione, QWidget* owner = nullptr);

    // Opens the search modally (on the code given, when the list holds it);
    // the chosen supplier's code, or nothing when the user closed it.
    static std::optional<QString> scegli(TTabXForm* sessione, QWidget* owner,
                                         const QString& codiceAttuale = {});
};

} // namespace quintar
