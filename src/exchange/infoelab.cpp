#include "exchange/infoelab.h"

#include "session/messaggi.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quintar {

namespace {

QLabel* etichetta(const QString& testo, const QString& nome, QWidget* parent) {
    auto* l = new QLabel(testo, parent);
    if (!nome.isEmpty()) {
        l->setObjectName(nome);
    }
    return l;
}

QHBoxLayout* fila(std::initializer_list<QWidget*> w) {
    auto* h = new QHBoxLayout;
    for (QWidget* x : w) {
        h->addWidget(x);
    }
    h->addStretch();
    return h;
}

} // namespace

TInfoElabForm::TInfoElabForm(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("InfoElabForm"));
    setWindowTitle(QStringLiteral("Elaborazione in corso..."));
    LabelTabella = etichetta({}, QStringLiteral("LabelTabella"), this);
    LabelTabella->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("FOTOIMBALLI_")));
    LabelNTabella = etichetta(QStringLiteral("0"), QStringLiteral("LabelNTabella"), this);
    LabelTotTabelle = etichetta(QStringLiteral("0"), QStringLiteral("LabelTotTabelle"), this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    LabelNRecord = etichetta(QStringLiteral("0"), QStringLiteral("LabelNRecord"), this);
    LabelTotRecord = etichetta(QStringLiteral("0"), QStringLiteral("LabelTotRecord"), this);
    ProgressBar2 = new QProgressBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->setRange(0, 100);
    ProgressBar2->setValue(0);
    ButtonAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    ButtonAnnulla->setObjectName(QStringLiteral("ButtonAnnulla"));

    auto* v = new QVBoxLayout(this);
    v->addLayout(fila({etichetta(QStringLiteral("Conversione tabella"), {}, this), LabelTabella,
                       etichetta(QStringLiteral("in corso"), {}, this), LabelNTabella,
                       etichetta(QStringLiteral("di"), {}, this), LabelTotTabelle}));
    v->addWidget(ProgressBar1);
    v->addLayout(fila({etichetta(QStringLiteral("("), {}, this), LabelNRecord,
                       etichetta(QStringLiteral("di"), {}, this), LabelTotRecord,
                       etichetta(QStringLiteral("Record"), {}, this),
                       etichetta(QStringLiteral(")"), {}, this)}));
    v->addWidget(ProgressBar2);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonAnnulla);
    b->addStretch();
    v->addLayout(b);
    setFixedSize(420, sizeHint().height());

    connect(ButtonAnnulla, &QPushButton::clicked, this, &TInfoElabForm::ButtonAnnullaClick);
}

void TInfoElabForm::ButtonAnnullaClick() {
    if (!annullato_ &&
        Messaggi::confermaAvviso(QStringLiteral("Annullare l'elaborazione?"), this)) {
        annullato_ = true;
    }
}

void TInfoElabForm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!centrata_) {
        centrata_ = true;
        if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
            move(s->availableGeometry().center() - rect().center());
        }
    }
}

void TInfoElabForm::closeEvent(QCloseEvent* e) {
    e->ignore();
    ButtonAnnullaClick();
}

} // namespace quintar
