// Codes for the transport of dangerous goods: the codes in use (ADR2017, with
// class and packing group) and the older table (ADR, with a descriptive
// text). Both keys are typed by the user; both screens share one window
// position.
#pragma once

#include "ui/scheda.h"

namespace quintar {

class TCodADR2017Form : public SchedaBase {
    Q_OBJECT
public:
    explicit TCodADR2017Form(TTabXForm* sessione, QWidget* owner = nullptr);
    // UN numbers have four digits.
    static constexpr int kLunghezzaCodice = 4;

protected:
    QStringList chiediNuovaChiave() override;
};

class TCodADRForm : public SchedaBase {
    Q_OBJECT
public:
    explicit TCodADRForm(TTabXForm* sessione, QWidget* owner = nullptr);

protected:
    QStringList chiediNuovaChiave() override;
};

} // namespace quintar
