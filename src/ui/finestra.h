// A top-level screen opened by the launch: it keeps its session by reference
// and, when it owns it, frees it on close.
#pragma once

#include <QWidget>

namespace quintar {

class TTabXForm;

class FinestraSessione : public QWidget {
    Q_OBJECT
public:
    FinestraSessione(TTabXForm* sessione, QWidget* owner = nullptr);
    ~FinestraSessione() override;

    TTabXForm* Sessione() const { return sessione_; }
    // Set by the launch: closing the screen frees the session.
    bool PossiedeSessione = false;

    // Caption + " " + company, for captions ending in "- Ditta:".
    void impostaDidascalia(const QString& didascalia);

protected:
    TTabXForm* sessione_;
};

} // namespace quintar
