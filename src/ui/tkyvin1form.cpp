#include "ui/tkyvin1form.h"

#include "session/connessione.h"

namespace quintar {

TKyvIn1Form::TKyvIn1Form(QWidget* owner) : DialogoKyvIn(owner, 1, QStringLiteral("KyvIn1Form")) {}

void TKyvIn1Form::done(int r) {
    // Escape and the close box reject: only a confirmation is checked
    if (r == QDialog::Rejected) {
        r = kRisultatoAnnulla;
    }
    if (r == kRisultatoOK && KyvIn1FormClose && !KyvIn1FormClose(*this)) {
        return;
    }
    QDialog::done(r);
}

} // namespace quintar
