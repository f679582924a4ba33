// One-field modal dialog: the new code of a card.
#pragma once

#include "session/connessione.h"

#include <functional>

namespace quintar {

class TKyvIn1Form : public DialogoKyvIn {
    Q_OBJECT
public:
    explicit TKyvIn1Form(QWidget* owner = nullptr);

    // Runs when the user confirms (KyvIn1FormClose): false keeps the dialog open.
    std::function<bool(TKyvIn1Form&)> KyvIn1FormClose;

    void done(int r) override;
};

} // namespace quintar
