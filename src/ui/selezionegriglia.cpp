#include "ui/selezionegriglia.h"

#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <algorithm>

namespace quintar {

namespace {

// A chosen row under the cursor keeps showing that it is chosen: the
// cursor's highlight takes a darker shade of the mark colour.
class DelegatoScelte : public QStyledItemDelegate {
public:
    DelegatoScelte(const SelezioneGriglia* s, const GrigliaModello* m, QObject* parent)
        : QStyledItemDelegate(parent), selezione_(s), modello_(m) {}

protected:
    void initStyleOption(QStyleOptionViewItem* o, const QModelIndex& i) const override {
        QStyledItemDelegate::initStyleOption(o, i);
        if ((o->state & QStyle::State_Selected) && selezione_->scelta(i.row())) {
            o->palette.setColor(QPalette::Highlight, modello_->ColoreEvidenziata.darker(135));
            o->palette.setColor(QPalette::HighlightedText, modello_->ColoreTestoEvidenziata);
        }
    }

private:
    const SelezioneGriglia* selezione_;
    const GrigliaModello* modello_;
};

} // namespace

SelezioneGriglia::SelezioneGriglia(TCSDGrid* griglia, QStringList colonneChiave)
    : QObject(griglia), griglia_(griglia), colonne_(std::move(colonneChiave)) {
    griglia_->installEventFilter(this);
    griglia_->modello()->RigaEvidenziata = [this](int riga) { return scelta(riga); };
    griglia_->setItemDelegate(new DelegatoScelte(this, griglia_->modello(), this));
    connect(griglia_, &QAbstractItemView::doubleClicked, this, [this] { cambiaCorrente(); });
}

SelezioneGriglia::Chiave SelezioneGriglia::chiaveDi(int riga) const {
    Chiave k;
    const GrigliaModello* m = griglia_->modello();
    for (const QString& c : colonne_) {
        k << m->valore(riga, m->indiceCampo(c));
    }
    return k;
}

bool SelezioneGriglia::scelta(int riga) const {
    if (chiavi_.empty() || riga < 0 || riga >= griglia_->modello()->rowCount()) {
        return false;
    }
    return std::find(chiavi_.begin(), chiavi_.end(), chiaveDi(riga)) != chiavi_.end();
}

void SelezioneGriglia::cambiaCorrente() {
    const int riga = griglia_->currentIndex().row();
    if (riga < 0 || riga >= griglia_->modello()->rowCount()) {
        return;
    }
    const Chiave k = chiaveDi(riga);
    auto it = std::find(chiavi_.begin(), chiavi_.end(), k);
    if (it == chiavi_.end()) {
        chiavi_.push_back(k);
    } else {
        chiavi_.erase(it);
    }
    griglia_->modello()->evidenziazioneCambiata();
    emit cambiata();
}

void SelezioneGriglia::svuota() {
    chiavi_.clear();
    griglia_->modello()->evidenziazioneCambiata();
    emit cambiata();
}

bool SelezioneGriglia::eventFilter(QObject* o, QEvent* e) {
    if (o == griglia_ && e->type() == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_F3 && k->modifiers() == Qt::NoModifier && !k->isAutoRepeat()) {
            cambiaCorrente();
            return true;
        }
    }
    return QObject::eventFilter(o, e);
}

} // namespace quintar
