#include "ui/finestra.h"

#include <QPushButton>

#include "session/tabx.h"

namespace quintar {

FinestraSessione::FinestraSessione(TTabXForm* sessione, QWidget* owner)
    : QWidget(owner, Qt::Window), sessione_(sessione) {
    setAttribute(Qt::WA_DeleteOnClose);
}

FinestraSessione::~FinestraSessione() {
    if (PossiedeSessione) {
        delete sessione_;
        sessione_ = nullptr;
    }
}

void FinestraSessione::impostaDidascalia(const QString& didascalia) {
    if (didascalia.endsWith(QLatin1String("- Ditta:"))) {
        setWindowTitle(didascalia + ' ' + (sessione_ ? sessione_->Ditta : QString()));
    } else {
        setWindowTitle(didascalia);
    }
}

QPushButton* creaPulsante(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    return b;
}

} // namespace quintar
