// Filling machines: name, description (what other screens list) and filling
// time per litre. The edits keep what they showed for a new machine.
#pragma once

#include "ui/scheda.h"

namespace quintar {

class TIniRiempForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TIniRiempForm(TTabXForm* sessione, QWidget* owner = nullptr);
};

} // namespace quintar
