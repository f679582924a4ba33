#include "ui/lavorazione.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWidget>
#include <cmath>

namespace quintar {

namespace {

const char kInCorso[] = "quintarLavorazioneInCorso";

// Refuses the window's closing while the run lasts (the title bar's button,
// Alt+F4, the host closing its windows).
class FiltroChiusura : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Close) {
            e->ignore();
            return true;
        }
        return QObject::eventFilter(o, e);
    }
};

bool daDisabilitare(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w);
}

} // namespace

Lavorazione::Lavorazione(QWidget* finestra, QProgressBar* barra, QWidget* pannello)
    : finestra_(finestra), barra_(barra), pannello_(pannello ? pannello : barra) {
    if (!finestra_) {
        return;
    }
    attiva_ = true;
    finestra_->setProperty(kInCorso, true);
    filtro_ = new FiltroChiusura(finestra_);
    finestra_->installEventFilter(filtro_);
    for (QWidget* w : finestra_->findChildren<QWidget*>()) {
        if (daDisabilitare(w) && w->isEnabled()) {
            w->setEnabled(false);
            disabilitati_.emplace_back(w);
        }
    }
    if (barra_) {
        barra_->setRange(0, 100);
        barra_->setValue(0);
        valore_ = 0;
    }
    if (pannello_) {
        pannello_->show();
    }
    // nothing else runs until the end: the panel is laid out and painted now
    if (QLayout* l = finestra_->layout()) {
        l->activate();
    }
    finestra_->repaint();
}

Lavorazione::~Lavorazione() {
    termina();
}

void Lavorazione::termina() {
    if (!attiva_) {
        return;
    }
    attiva_ = false;
    for (const QPointer<QWidget>& w : disabilitati_) {
        if (w) {
            w->setEnabled(true);
        }
    }
    disabilitati_.clear();
    if (barra_) {
        barra_->setValue(0);
    }
    if (pannello_) {
        pannello_->hide();
    }
    if (finestra_) {
        finestra_->removeEventFilter(filtro_);
        finestra_->setProperty(kInCorso, false);
    }
    delete filtro_;
    filtro_ = nullptr;
}

void Lavorazione::avanza(qint64 i, qint64 n) {
    if (!barra_ || !attiva_) {
        return;
    }
    const int v = n > 0 ? int(std::lround(100.0 * double(i) / double(n))) : 0;
    if (v == valore_) {
        return;
    }
    valore_ = v;
    barra_->setValue(v);
    barra_->repaint();
}

bool Lavorazione::inCorso(const QWidget* finestra) {
    return finestra && finestra->property(kInCorso).toBool();
}

Riepilogo::Riepilogo(QPlainTextEdit* memo) : memo_(memo) {}

Riepilogo::~Riepilogo() {
    scrivi();
}

void Riepilogo::svuota() {
    righe_.clear();
    if (memo_) {
        memo_->clear();
    }
}

void Riepilogo::scrivi() {
    if (righe_.isEmpty() || !memo_) {
        righe_.clear();
        return;
    }
    memo_->appendPlainText(righe_.join(QLatin1Char('\n')));
    righe_.clear();
}

} // namespace quintar
