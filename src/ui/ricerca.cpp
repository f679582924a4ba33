#include "ui/ricerca.h"

#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/tcsdgrid.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

SchermataRicerca::SchermataRicerca(TTabXForm* sessione, DescrizioneRicerca d, QWidget* owner)
    : QDialog(owner), sessione_(sessione), Transazione(&sessione->IBDatabase1),
      QueryPrincipale(&sessione->IBDatabase1, &Transazione), d_(std::move(d)) {
    setObjectName(QStringLiteral("R") + d_.nome + QStringLiteral("Form"));
    setWindowTitle(d_.didascalia + ' ' + sessione->Ditta);

    auto* campi = new QGridLayout;
    campi_ = campi;
    int riga = 0;
    for (const CampoRicerca& c : d_.campi) {
        auto* b = new QPushButton(c.didascalia, this);
        b->setObjectName(c.pulsante);
        b->setFlat(true);
        b->setStyleSheet(QStringLiteral("text-align: left"));
        auto* corrente = new QLineEdit(this);
        corrente->setObjectName(c.corrente);
        corrente->setReadOnly(true);
        edit_[c.corrente] = corrente;
        if (!c.edit.isEmpty()) {
            auto* e = new QLineEdit(this);
            e->setObjectName(c.edit);
            edit_[c.edit] = e;
            connect(b, &QPushButton::clicked, e, [e] { e->setFocus(); });
            campi->addWidget(e, riga, 1);
        }
        campi->addWidget(b, riga, 0);
        campi->addWidget(corrente, riga, 2);
        ++riga;
    }
    PanelSelezione = new QWidget(this);
    PanelSelezione->setObjectName(QStringLiteral("PanelSelezione"));
    auto* ps = new QHBoxLayout(PanelSelezione);
    ps->setContentsMargins(0, 0, 0, 0);
    ps->addWidget(new QLabel(QStringLiteral("SELEZIONE ATTIVA:"), PanelSelezione));
    EditSelezione = new QLineEdit(PanelSelezione);
    EditSelezione->setObjectName(QStringLiteral("EditSelezione"));
    EditSelezione->setReadOnly(true);
    ps->addWidget(EditSelezione, 1);
    PanelSelezione->hide();

    Griglia = new TCSDGrid(this);
    Griglia->setObjectName(QStringLiteral("Grid") + d_.nome);
    auto bottone = [this](const QString& t, const QString& n) {
        auto* b = new QPushButton(t, this);
        b->setObjectName(n);
        b->setAutoDefault(false);
        return b;
    };
    const QString& prefisso = d_.prefissoPulsanti;
    ButtonRicercaAttivaSel = bottone(QStringLiteral("Attiva &Selez."), prefisso + "AttivaSel");
    ButtonRicercaAnnullaSel = bottone(QStringLiteral("&Annulla Selez."), prefisso + "AnnullaSel");
    ButtonRicercaRitorna = bottone(QStringLiteral("&Ritorna"), prefisso + "Ritorna");
    ButtonRicercaChiudi = bottone(QStringLiteral("Ch&iudi"), prefisso + "Chiudi");
    auto* bottoni = new QHBoxLayout;
    for (QPushButton* b : {ButtonRicercaAttivaSel, ButtonRicercaAnnullaSel}) {
        bottoni->addWidget(b);
    }
    bottoni->addStretch();
    bottoni->addWidget(ButtonRicercaRitorna);
    bottoni->addWidget(ButtonRicercaChiudi);
    auto* v = new QVBoxLayout(this);
    corpo_ = v;
    v->addLayout(campi);
    v->addWidget(PanelSelezione);
    v->addWidget(Griglia, 1);
    v->addLayout(bottoni);
    resize(640, 480);

    Griglia->CodiceProgetto = kProgetto;
    Griglia->Situazione = d_.situazioneGriglia;
    Griglia->Utente = sessione->NumUtente;
    Griglia->NomeTabella = d_.tabella;
    Griglia->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
    Griglia->DittaCorrente = sessione->Ditta;
    Griglia->AbilitaRicerca = true;
    // the text and its selection line are rebuilt at every open, unless the
    // grid runs its own search: the selection then stays in force and shown
    Griglia->collega(&QueryPrincipale, [this] {
        std::vector<std::pair<QString, QString>> campi;
        for (const CampoRicerca& c : d_.campi) {
            if (!c.edit.isEmpty()) {
                campi.emplace_back(c.colonna, edit_[c.edit]->text());
            }
        }
        Selezione s = selezioneRicerca(campi);
        s.condizioni += altreCondizioni(s.testo);
        EditSelezione->setText(s.testo);
        return d_.sqlBase + s.condizioni;
    });
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SchermataRicerca::aggiornaCorrenti);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this,
            &SchermataRicerca::aggiornaCorrenti);

    connect(ButtonRicercaAttivaSel, &QPushButton::clicked, this, protetto(this, [this] {
                PanelSelezione->show();
                riapriLista();
            }));
    for (const CampoRicerca& c : d_.campi) {
        if (!c.edit.isEmpty()) {
            connect(edit_[c.edit], &QLineEdit::returnPressed, ButtonRicercaAttivaSel,
                    &QPushButton::click);
        }
    }
    connect(ButtonRicercaAnnullaSel, &QPushButton::clicked, this, protetto(this, [this] {
                for (const CampoRicerca& c : d_.campi) {
                    if (!c.edit.isEmpty()) {
                        edit_[c.edit]->clear();
                    }
                }
                selezioneAnnullata();
                PanelSelezione->hide();
            }));
    connect(ButtonRicercaRitorna, &QPushButton::clicked, this, protetto(this, [this] {
                if (Griglia->modello()->rowCount() == 0) {
                    Messaggi::avviso(QStringLiteral("Nessun record trovato"), this);
                    return;
                }
                done(kRisultatoOK);
            }));
    connect(ButtonRicercaChiudi, &QPushButton::clicked, this,
            protetto(this, [this] { done(kRisultatoAnnulla); }));

    if (d_.apriSubito && sessione->IBDatabase1.connected()) {
        riapriLista();
    }
}

void SchermataRicerca::riapriLista() {
    try {
        QueryPrincipale.close();
        QueryPrincipale.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

Selezione selezioneRicerca(const std::vector<std::pair<QString, QString>>& campi) {
    Selezione s;
    for (const auto& [colonna, testo] : campi) {
        if (testo.isEmpty()) {
            continue;
        }
        const QString x = testo.toUpper();
        // "|| ''" makes a number or a date text of the connection's character
        // set: a typed quote (´), accent or euro sign is then compared, never
        // refused by the database as a character those hold no room for
        s.condizioni << QStringLiteral("AND(UPPER(%1 || '') LIKE %2)")
                            .arg(colonna, sql::testoNonNullo('%' + x + '%'));
        s.testo += QStringLiteral("UPPER(%1) LIKE %%2%;").arg(colonna, x);
    }
    return s;
}

SchermataRicerca::~SchermataRicerca() {
    Griglia->setSorgenteDati(nullptr);
}

QLineEdit* SchermataRicerca::campo(const QString& edit) const {
    auto it = edit_.find(edit);
    return it == edit_.end() ? nullptr : it->second;
}

void SchermataRicerca::aggiornaCorrenti() {
    const bool riga = Griglia->modello()->rowCount() > 0 && Griglia->currentIndex().isValid();
    for (const CampoRicerca& c : d_.campi) {
        QString t;
        if (riga && Griglia->modello()->indiceCampo(c.colonna) >= 0) {
            const Campo v = Griglia->campoCorrente(c.colonna);
            t = v.isNull() ? QString() : v.asString();
        }
        edit_[c.corrente]->setText(t);
    }
}

QString SchermataRicerca::valoreScelto(const QString& colonna) const {
    if (Griglia->modello()->rowCount() == 0 || !Griglia->currentIndex().isValid()) {
        return {};
    }
    const Campo v = Griglia->campoCorrente(colonna);
    return v.isNull() ? QString() : v.asString();
}

void SchermataRicerca::posizionaSu(const QString& codice) {
    if (codice.isEmpty()) {
        return;
    }
    // a search list is short: its rows are read until the code shows up
    GrigliaModello* m = Griglia->modello();
    const int r = m->cerca(d_.chiave, [&codice](const QString& c) { return c == codice; });
    if (r >= 0) {
        Griglia->setCurrentIndex(m->index(r, std::max(0, Griglia->currentIndex().column())));
    }
}

void SchermataRicerca::done(int r) {
    if (r == QDialog::Rejected) {
        r = kRisultatoAnnulla;
    }
    if (QueryPrincipale.isOpen()) {
        Griglia->SalvaAspetto();
    }
    SalvaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra,
                           &sessione_->IBDatabase1);
    QDialog::done(r);
}

void SchermataRicerca::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!posizioneCaricata_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra,
                                &sessione_->IBDatabase1);
    }
}

} // namespace quintar
