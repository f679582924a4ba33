#include "ui/lavorazione.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWidget>
#include <cmath>

namespace quintar {

namespace {

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
    std::vector<QWidget*> controlli;
    for (QWidget* w : finestra_->findChildren<QWidget*>()) {
        if (daDisabilitare(w) && w->isEnabled()) {
            controlli.push_back(w);
        }
    }
    esecuzione_.emplace(finestra_, controlli);
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
    esecuzione_.reset();
    if (barra_) {
        barra_->setValue(0);
    }
    if (pannello_) {
        pannello_->hide();
    }
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
    return EsecuzioneInCorso::inCorso(finestra);
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
