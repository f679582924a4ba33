#include "ui/tkyvin1form.h"

#include "session/connessione.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

TKyvIn1Form::TKyvIn1Form(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("KyvIn1Form"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label1->setBuddy(Edit1);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* v = new QVBoxLayout(this);
    v->addWidget(Label1);
    v->addWidget(Edit1);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(OKBtn);
    h->addWidget(CancelBtn);
    v->addLayout(h);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kRisultatoOK); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kRisultatoAnnulla); });
}

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

void TKyvIn1Form::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    Edit1->setFocus();
}

} // namespace quintar
