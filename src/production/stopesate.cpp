#include "production/stopesate.h"

#include "session/messaggi.h"
#include "session/tabx.h"
#include "ui/scheda.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

TStoPesateForm::TStoPesateForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), Transazione(&sessione->IBDatabase1),
      QueryPesateFabbr(&sessione->IBDatabase1, &Transazione) {
    setObjectName(QStringLiteral("StoPesateForm"));
    impostaDidascalia(QStringLiteral("Storico pesate fabbricazioni - Ditta:"));
    SituazioneFinestra = kSituazioneFinestra;

    GridPesateFabbr = new TCSDGrid(this);
    GridPesateFabbr->setObjectName(QStringLiteral("GridPesateFabbr"));
    configuraGrigliaSessione(GridPesateFabbr, *sessione, kSituazioneGriglia,
                             QStringLiteral("PESATE_FABBR"));
    GridPesateFabbr->AbilitaRicerca = true;
    GridPesateFabbr->collega(&QueryPesateFabbr, [] {
        return QStringList{QStringLiteral("SELECT"), QStringLiteral("  *"), QStringLiteral("FROM"),
                           QStringLiteral("  PESATE_FABBR")};
    });
    // a button that closes, as a user expects of it
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);

    auto* v = new QVBoxLayout(this);
    v->addWidget(GridPesateFabbr, 1);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonChiudi);
    v->addLayout(b);
    resize(1100, 560);

    if (sessione->IBDatabase1.connected()) {
        try {
            Transazione.start();
            QueryPesateFabbr.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    }
}

TStoPesateForm::~TStoPesateForm() {
    GridPesateFabbr->setSorgenteDati(nullptr);
}

void TStoPesateForm::closeEvent(QCloseEvent* e) {
    try {
        QueryPesateFabbr.close(); // the grid keeps its layout as the list closes
    } catch (const DbError&) {
    }
    FinestraSessione::closeEvent(e);
}

} // namespace quintar
