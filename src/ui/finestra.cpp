#include "ui/finestra.h"

#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

#include "session/connessione.h"
#include "session/tabx.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"

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

void FinestraSessione::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (SituazioneFinestra > 0 && !posizioneCaricata_ && sessione_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(this, sessione_->NumUtente, SituazioneFinestra,
                                &sessione_->IBDatabase1);
    }
}

void FinestraSessione::closeEvent(QCloseEvent* e) {
    if (SituazioneFinestra > 0 && posizioneCaricata_ && sessione_) {
        SalvaPosizioneFinestra(this, sessione_->NumUtente, SituazioneFinestra,
                               &sessione_->IBDatabase1);
    }
    QWidget::closeEvent(e);
}

QPushButton* creaPulsante(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    return b;
}

void centraSulDesktop(QWidget* finestra) {
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = finestra->frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        finestra->move(r.topLeft());
    }
}

QHBoxLayout* pulsantiOkAnnulla(QDialog* dialogo, QPushButton*& ok, QPushButton*& annulla,
                               std::function<bool()> verifica) {
    ok = creaPulsante(QStringLiteral("OK"), QStringLiteral("OKBtn"), dialogo);
    annulla = creaPulsante(QStringLiteral("Annulla"), QStringLiteral("CancelBtn"), dialogo);
    auto* bottoni = new QHBoxLayout;
    bottoni->addStretch();
    bottoni->addWidget(ok);
    bottoni->addWidget(annulla);
    QObject::connect(ok, &QPushButton::clicked, dialogo, protetto(dialogo, [dialogo, verifica] {
                         if (!verifica || verifica()) {
                             dialogo->done(kRisultatoOK);
                         }
                     }));
    QObject::connect(annulla, &QPushButton::clicked, dialogo,
                     [dialogo] { dialogo->done(kRisultatoAnnulla); });
    return bottoni;
}

} // namespace quintar
