// Product categories: a short name shown in the products card and a
// description, numbered by the card.
#pragma once

#include "ui/scheda.h"

namespace quintar {

class TIniCatPrForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TIniCatPrForm(TTabXForm* sessione, QWidget* owner = nullptr);
};

} // namespace quintar
