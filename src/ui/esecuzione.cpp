#include "ui/esecuzione.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace quintar {

namespace {

const char* const kProprieta = "quintarEsecuzioneInCorso";

// Refuses the window's closing while the run lasts.
class FiltroChiusura : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Close) {
            e->ignore();
            return true;
        }
        return QObject::eventFilter(o, e);
    }
};

} // namespace

EsecuzioneInCorso::EsecuzioneInCorso(QWidget* finestra, const std::vector<QWidget*>& controlli,
                                     int intervalloMs)
    : finestra_(finestra), filtro_(std::make_unique<FiltroChiusura>()),
      intervalloMs_(intervalloMs) {
    for (QWidget* c : controlli) {
        controlli_.emplace_back(c, c->isEnabled());
        c->setEnabled(false);
    }
    finestra->installEventFilter(filtro_.get());
    finestra->setProperty(kProprieta, true);
    tempo_.start();
}

EsecuzioneInCorso::~EsecuzioneInCorso() {
    for (auto& [c, abilitato] : controlli_) {
        if (c) {
            c->setEnabled(abilitato);
        }
    }
    if (finestra_) {
        finestra_->removeEventFilter(filtro_.get());
        finestra_->setProperty(kProprieta, false);
    }
}

bool EsecuzioneInCorso::inCorso(const QWidget* finestra) {
    return finestra && finestra->property(kProprieta).toBool();
}

void EsecuzioneInCorso::lasciaPassare() {
    QCoreApplication::processEvents();
    tempo_.restart();
}

} // namespace quintar
