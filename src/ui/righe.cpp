#include "ui/righe.h"

#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/colonne.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const char* kTag = "Tag";

} // namespace

PaginaRighe::PaginaRighe(SchedaBase* scheda, DescrizioneRighe d, QWidget* parent)
    : QWidget(parent ? parent : scheda), scheda_(scheda), d_(std::move(d)),
      QueryRighe(&scheda->sessione_->IBDatabase1, &scheda->TransazionePrincipale),
      QueryAux(&scheda->sessione_->IBDatabase1, &scheda->TransazionePrincipale),
      QueryControllo(&scheda->sessione_->IBDatabase1, &scheda->TransazioneControllo) {
    setObjectName(d_.nome);
    scheda_->righe_.push_back(this);

    Corpo = new QVBoxLayout(this);
    if (!d_.etichettaVersione.isEmpty()) {
        auto* h = new QHBoxLayout;
        h->addWidget(new QLabel(QStringLiteral("Versione:"), this));
        LabelVersione = new QLabel(this);
        LabelVersione->setObjectName(d_.etichettaVersione);
        h->addWidget(LabelVersione);
        h->addStretch();
        Corpo->addLayout(h);
    }
    Griglia = new TCSDGrid(this);
    Griglia->setObjectName(d_.griglia);
    Corpo->addWidget(Griglia, 1);

    Notebook = new QStackedWidget(this);
    Notebook->setObjectName(d_.notebook);
    consultazioneCampi_ = creaPaginaCampi(true);
    editazioneCampi_ = creaPaginaCampi(false);
    Notebook->addWidget(consultazioneCampi_);
    Notebook->addWidget(editazioneCampi_);
    Corpo->addWidget(Notebook);
    if (d_.notebookPulsanti.isEmpty()) {
        NotebookPulsanti = Notebook;
        consultazionePulsanti_ = consultazioneCampi_;
        editazionePulsanti_ = editazioneCampi_;
    } else {
        NotebookPulsanti = new QStackedWidget(this);
        NotebookPulsanti->setObjectName(d_.notebookPulsanti);
        consultazionePulsanti_ = new QWidget(NotebookPulsanti);
        consultazionePulsanti_->setObjectName(QStringLiteral("Consultazione"));
        editazionePulsanti_ = new QWidget(NotebookPulsanti);
        editazionePulsanti_->setObjectName(QStringLiteral("Editazione"));
        new QHBoxLayout(consultazionePulsanti_);
        new QHBoxLayout(editazionePulsanti_);
        NotebookPulsanti->addWidget(consultazionePulsanti_);
        NotebookPulsanti->addWidget(editazionePulsanti_);
        NotebookPulsanti->setMaximumHeight(44);
        Corpo->addWidget(NotebookPulsanti);
    }
    creaPulsanti();

    TTabXForm* s = scheda_->sessione_;
    scheda_->configuraGriglia(Griglia, d_.situazioneGriglia, d_.tabella);
    Griglia->AbilitaRicerca = true;
    Griglia->collega(&QueryRighe, [this] { return sqlRighe(); });
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this,
            &PaginaRighe::aggiornaConsultazione);
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PaginaRighe::aggiornaConsultazione);

    timerVersione_ = new QTimer(this);
    timerVersione_->setObjectName(QStringLiteral("TimerVersione") + d_.nome);
    timerVersione_->setSingleShot(true);
    timerVersione_->setInterval(400);
    connect(timerVersione_, &QTimer::timeout, this, &PaginaRighe::mostraVersione);

    if (s->IBDatabase1.connected()) {
        lunghezze_ = lunghezzeColonne(&s->IBDatabase1, d_.tabella);
        for (const CampoScheda& c : d_.campi) {
            auto it = lunghezze_.find(c.colonna);
            if (auto* e = qobject_cast<QLineEdit*>(editazione(c.colonna));
                e && it != lunghezze_.end() && it->second > 0 && c.tipo == TipoValore::Testo) {
                e->setMaxLength(it->second);
            }
        }
    }
    Notebook->setCurrentIndex(0);
    NotebookPulsanti->setCurrentIndex(0);
}

PaginaRighe::~PaginaRighe() {
    Griglia->setSorgenteDati(nullptr);
    auto& r = scheda_->righe_;
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

QWidget* PaginaRighe::creaPaginaCampi(bool consultazione) {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(consultazione ? QStringLiteral("Consultazione")
                                        : QStringLiteral("Editazione"));
    std::vector<CampoScheda> tutti;
    if (!(consultazione ? d_.campoPadre.consultazione : d_.campoPadre.editazione).isEmpty()) {
        tutti.push_back(d_.campoPadre);
    }
    tutti.push_back(d_.campoRiga);
    const size_t chiavi = tutti.size() - (d_.rigaModificabile ? 1 : 0);
    tutti.insert(tutti.end(), d_.campi.begin(), d_.campi.end());
    QGridLayout* g = SchedaBase::disponiCampi(pagina, tutti, consultazione, chiavi, 1,
                                              consultazione ? consultazione_ : editazione_);
    auto* v = new QVBoxLayout(pagina);
    v->setContentsMargins(0, 0, 0, 0);
    v->addLayout(g);
    if (d_.notebookPulsanti.isEmpty()) {
        v->addLayout(new QHBoxLayout);
    }
    return pagina;
}

void PaginaRighe::creaPulsanti() {
    auto nome = [this](const char* azione) {
        const QString a = QString::fromLatin1(azione);
        return d_.pulsanti.contains(QLatin1String("%1")) ? d_.pulsanti.arg(a) : d_.pulsanti + a;
    };
    ButtonNuovo = creaPulsante(QStringLiteral("&Nuovo"), nome("Nuovo"), this);
    ButtonEdit = creaPulsante(QStringLiteral("Edit &X"), nome("Edit"), this);
    ButtonElimina = creaPulsante(QStringLiteral("&Elimina"), nome("Elimina"), this);
    ButtonChiudi = creaPulsante(QStringLiteral("Ch&iudi"), nome("Chiudi"), this);
    ButtonMemorizza = creaPulsante(QStringLiteral("&Memorizza"), nome("Memorizza"), this);
    ButtonAnnulla = creaPulsante(QStringLiteral("&Annulla"), nome("Annulla"), this);
    auto riga = [](QWidget* pagina) {
        if (auto* h = qobject_cast<QHBoxLayout*>(pagina->layout())) {
            return h;
        }
        auto* l = qobject_cast<QBoxLayout*>(pagina->layout());
        return qobject_cast<QHBoxLayout*>(l->itemAt(l->count() - 1)->layout());
    };
    QHBoxLayout* sfoglia = riga(consultazionePulsanti_);
    sfoglia->addStretch();
    for (QPushButton* b : {ButtonNuovo, ButtonEdit, ButtonElimina, ButtonChiudi}) {
        b->setParent(consultazionePulsanti_);
        sfoglia->addWidget(b);
    }
    QHBoxLayout* modifica = riga(editazionePulsanti_);
    modifica->addStretch();
    for (QPushButton* b : {ButtonMemorizza, ButtonAnnulla}) {
        b->setParent(editazionePulsanti_);
        modifica->addWidget(b);
    }
    auto collega = [this](QPushButton* b, void (PaginaRighe::*azione)()) {
        connect(b, &QPushButton::clicked, this,
                protetto(scheda_, [this, azione] { (this->*azione)(); }));
    };
    collega(ButtonNuovo, &PaginaRighe::ButtonNuovoClick);
    collega(ButtonEdit, &PaginaRighe::ButtonEditClick);
    collega(ButtonElimina, &PaginaRighe::ButtonEliminaClick);
    collega(ButtonMemorizza, &PaginaRighe::ButtonMemorizzaClick);
    collega(ButtonAnnulla, &PaginaRighe::ButtonAnnullaClick);
    connect(ButtonChiudi, &QPushButton::clicked, this, [this] {
        if (chiudi) {
            chiudi();
        }
    });
}

QWidget* PaginaRighe::editazione(const QString& colonna) const {
    auto it = editazione_.find(colonna);
    return it == editazione_.end() ? nullptr : it->second;
}

QWidget* PaginaRighe::consultazione(const QString& colonna) const {
    auto it = consultazione_.find(colonna);
    return it == consultazione_.end() ? nullptr : it->second;
}

QString PaginaRighe::campoLista(const QString& colonna) const {
    auto it = d_.campiLista.find(colonna);
    return it == d_.campiLista.end() ? colonna : it->second;
}

QStringList PaginaRighe::sqlRighe() const {
    const QString p = padre ? padre() : QString();
    // a list of its own orders itself, by line number
    Griglia->OrderBy = !testoLista;
    if (testoLista) {
        return testoLista(p);
    }
    return {QStringLiteral("SELECT * FROM %1").arg(d_.tabella),
            p.isEmpty()
                ? QStringLiteral("WHERE %1 IS NULL").arg(d_.colonnaPadre)
                : QStringLiteral("WHERE %1=%2").arg(d_.colonnaPadre, sql::testoNonNullo(p))};
}

QString PaginaRighe::letteraleRiga(const QString& riga) const {
    CampoScheda c = d_.campoRiga;
    c.tipo = d_.tipoRiga;
    return SchedaBase::letteraleChiave(c, riga);
}

QString PaginaRighe::condizione(const QString& p, const QString& riga) const {
    return QStringLiteral("(%1=%2)AND(%3=%4)")
        .arg(d_.colonnaPadre, sql::testoNonNullo(p), d_.colonnaRiga, letteraleRiga(riga));
}

bool PaginaRighe::listaVuota() const {
    return !QueryRighe.isOpen() || Griglia->modello()->rowCount() == 0;
}

QString PaginaRighe::rigaGriglia() const {
    if (listaVuota() || !Griglia->currentIndex().isValid()) {
        return {};
    }
    const Campo c = Griglia->campoCorrente(campoLista(d_.colonnaRiga));
    return c.isNull() ? QString() : c.asString();
}

void PaginaRighe::chiudiLista() {
    timerVersione_->stop();
    try {
        QueryRighe.close();
    } catch (const DbError&) {
    }
    aggiornaConsultazione();
}

bool PaginaRighe::riapri(const QString& riga) {
    try {
        QueryRighe.close();
        QueryRighe.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), scheda_);
        return false;
    }
    GrigliaModello* m = Griglia->modello();
    CampoScheda c = d_.campoRiga;
    c.tipo = d_.tipoRiga;
    // one record's lines: few enough to look through
    const int cercata =
        riga.isEmpty() ? -1 : m->cerca(campoLista(d_.colonnaRiga), [&](const QString& v) {
            return SchedaBase::stessaChiave(c, v, riga);
        });
    const int trovata = std::max(0, cercata);
    if (m->rowCount() > 0) {
        Griglia->setCurrentIndex(m->index(trovata, std::max(0, Griglia->currentIndex().column())));
        Griglia->scrollTo(Griglia->currentIndex());
    }
    aggiornaConsultazione();
    return cercata >= 0;
}

void PaginaRighe::aggiornaConsultazione() {
    const bool riga = !listaVuota() && Griglia->currentIndex().isValid();
    for (auto& [colonna, w] : consultazione_) {
        QString t;
        if (riga && Griglia->modello()->indiceCampo(campoLista(colonna)) >= 0) {
            const Campo c = Griglia->campoCorrente(campoLista(colonna));
            t = c.isNull() ? QString() : c.asString();
        }
        SchedaBase::impostaTesto(w, t);
    }
    if (LabelVersione) {
        LabelVersione->clear();
        timerVersione_->start();
    }
}

void PaginaRighe::mostraVersione() {
    timerVersione_->stop();
    const QString riga = rigaGriglia();
    const QString p = padre ? padre() : QString();
    if (!LabelVersione || !sqlVersione || riga.isEmpty() || p.isEmpty()) {
        return;
    }
    try {
        scheda_->TransazioneControllo.restart();
        QueryControllo.SQL = sqlVersione(p, riga);
        const QVariant v = QueryControllo.scalar();
        LabelVersione->setText(v.isValid() && !v.isNull() ? v.toString() : QString());
    } catch (const DbError& e) {
        qWarning("versione della riga non letta: %s", qPrintable(e.messaggio()));
    }
}

void PaginaRighe::SettaggioInterfaccia() {
    switch (Stato) {
    case 0:
        Griglia->setEnabled(true);
        Notebook->setCurrentWidget(consultazioneCampi_);
        NotebookPulsanti->setCurrentWidget(consultazionePulsanti_);
        break;
    case 1:
        for (auto& [colonna, w] : editazione_) {
            if (w->property(kTag).toInt() == 1) {
                SchedaBase::impostaTesto(w, {});
            }
        }
        for (const CampoScheda& c : d_.campi) {
            if (!c.memorizzato) { // what another line showed is not this one's
                SchedaBase::impostaTesto(editazione(c.colonna), {});
            }
        }
        [[fallthrough]];
    default:
        Griglia->setEnabled(false);
        Notebook->setCurrentWidget(editazioneCampi_);
        NotebookPulsanti->setCurrentWidget(editazionePulsanti_);
        break;
    }
    if (bloccaScheda) {
        bloccaScheda(Stato != 0);
    }
    if (scheda_->SolaLettura) {
        for (QPushButton* b : {ButtonNuovo, ButtonEdit, ButtonElimina}) {
            b->setEnabled(false);
        }
    }
}

void PaginaRighe::rileggiScheda() {
    // a card keyed by more columns finds its row again by all of them
    if (scheda_->StatoScheda == 0) {
        scheda_->AltreChiaviCorrenti = scheda_->altreChiaviGriglia();
    }
    scheda_->rileggi(scheda_->codiceCorrenteGriglia());
}

bool PaginaRighe::rileggiStessoPadre() {
    const QString prima = padre ? padre() : QString();
    rileggiScheda();
    if ((padre ? padre() : QString()) != prima) {
        // the record, or its group, changed meanwhile: nothing of another one
        // is touched
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            scheda_);
        riapri();
        return false;
    }
    return true;
}

void PaginaRighe::ButtonNuovoClick() {
    if (nuovaRigaConsentita && !nuovaRigaConsentita()) {
        return;
    }
    const QString p = padre ? padre() : QString();
    if (p.isEmpty()) {
        Messaggi::informazione(
            QStringLiteral("Inserire un record prima di accedere alle altre sessioni"), scheda_);
        return;
    }
    // the number is read where the line is written, on the lines as they
    // stand now: a number another user takes meanwhile makes the insert start
    // again on the next one
    QString riga;
    try {
        scheda_->scriviSuDatiCorrenti([&] {
            if (prossimaRiga) {
                riga = prossimaRiga(QueryAux, p);
            } else {
                const auto n = storico::massimo(
                    QueryAux, d_.tabella, d_.colonnaRiga,
                    QStringLiteral("%1=%2").arg(d_.colonnaPadre, sql::testoNonNullo(p)));
                riga = QString::number(n ? *n + 1 : 1);
            }
            QueryAux.SQL = {
                QStringLiteral("INSERT INTO %1 (%2,%3) VALUES (")
                    .arg(d_.tabella, d_.colonnaPadre, d_.colonnaRiga),
                QStringLiteral("%1,%2)").arg(sql::testoNonNullo(p), letteraleRiga(riga))};
            QueryAux.execSQL();
            rigaLetta_ = scheda_->rigaMemorizzata(d_.tabella, condizione(p, riga));
        });
    } catch (const DbError&) {
        Messaggi::errore(QStringLiteral("Errore interno: impossibile inserire un nuovo record"),
                         scheda_);
        riapri();
        return;
    }
    PadreCorrente = p;
    RigaCorrente = riga;
    // the record, or its group, changed meanwhile: nothing of another one is
    // touched
    if ((padre ? padre() : QString()) != p) {
        cancellaRiga();
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            scheda_);
        riapri();
        return;
    }
    Stato = 1;
    SettaggioInterfaccia();
    SchedaBase::impostaTesto(editazione(d_.campoRiga.colonna), riga);
    if (QWidget* w = editazione(d_.campoPadre.colonna)) {
        SchedaBase::impostaTesto(w, p);
    }
    for (const CampoScheda& c : d_.campi) {
        if (QWidget* w = editazione(c.colonna); w && w->isEnabled()) {
            w->setFocus();
            break;
        }
    }
}

void PaginaRighe::ButtonEditClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Premere Nuovo per inserire un nuovo record"),
                               scheda_);
        return;
    }
    PadreCorrente = padre ? padre() : QString();
    RigaCorrente = rigaGriglia();
    try {
        // on the list's own snapshot: the line the user sees
        rigaLetta_ = scheda_->rigaMemorizzata(d_.tabella, condizione(PadreCorrente, RigaCorrente));
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), scheda_);
        return;
    }
    Stato = 2;
    SettaggioInterfaccia();
    for (auto& [colonna, w] : editazione_) {
        const Campo c = Griglia->modello()->indiceCampo(campoLista(colonna)) >= 0
                            ? Griglia->campoCorrente(campoLista(colonna))
                            : Campo();
        SchedaBase::impostaTesto(w, c.isNull() ? QString() : c.asString());
    }
    for (const CampoScheda& c : d_.campi) {
        if (QWidget* w = editazione(c.colonna); w && w->isEnabled()) {
            w->setFocus();
            break;
        }
    }
}

bool PaginaRighe::verifica() {
    bool valido = true;
    if (d_.rigaModificabile) {
        CampoScheda c = d_.campoRiga;
        c.tipo = d_.tipoRiga;
        const QString t = SchedaBase::testoDi(editazione(d_.campoRiga.colonna));
        if (t.trimmed().isEmpty() || !SchedaBase::valoreLeggibile(c, t)) {
            Messaggi::avviso(d_.messaggioRiga, scheda_);
            return false;
        }
    }
    for (const CampoScheda& c : d_.campi) {
        if (!c.memorizzato) {
            continue;
        }
        const QString t = SchedaBase::testoDi(editazione(c.colonna));
        if (!c.messaggioNonValido.isEmpty() && !SchedaBase::valoreLeggibile(c, t)) {
            Messaggi::avviso(c.messaggioNonValido, scheda_);
            valido = false;
        }
        auto it = lunghezze_.find(c.colonna);
        if (c.tipo == TipoValore::Testo && it != lunghezze_.end() && it->second > 0 &&
            t.size() > it->second) {
            Messaggi::avviso(QStringLiteral("Il campo \"%1\" può contenere al massimo %2 "
                                            "caratteri: il testo inserito ne ha %3")
                                 .arg(QString(c.didascalia).remove('&'))
                                 .arg(it->second)
                                 .arg(t.size()),
                             scheda_);
            valido = false;
        }
    }
    return valido;
}

void PaginaRighe::ButtonMemorizzaClick() {
    if (Stato == 0 || !verifica()) {
        return;
    }
    QStringList set;
    QString nuovaRiga = RigaCorrente;
    try {
        if (d_.rigaModificabile) {
            CampoScheda c = d_.campoRiga;
            c.tipo = d_.tipoRiga;
            nuovaRiga = SchedaBase::testoDi(editazione(d_.campoRiga.colonna)).trimmed();
            if (!SchedaBase::stessaChiave(c, nuovaRiga, RigaCorrente)) {
                set << d_.colonnaRiga + '=' + letteraleRiga(nuovaRiga);
            }
        }
        for (const CampoScheda& c : d_.campi) {
            if (c.memorizzato) {
                set << c.colonna + '=' +
                           SchedaBase::valoreSql(c, SchedaBase::testoDi(editazione(c.colonna)));
            }
        }
    } catch (const sql::ValoreNonValido& v) {
        Messaggi::avviso(QStringLiteral("Valore non valido: ") + v.valore, scheda_);
        return;
    }
    if (!modificaInUnaVolta(
            false, set, QStringLiteral("Errore interno: impossibile memorizzare le modifiche"))) {
        // what was typed stays for another try, unless the line is gone; the
        // list shows the lines as stored now
        if (Stato == 1 && !rigaEsiste(PadreCorrente, RigaCorrente)) {
            Stato = 0;
            SettaggioInterfaccia();
        }
        if (scheda_->TransazionePrincipale.active()) { // the archive answers
            riapri(RigaCorrente);
        }
        return;
    }
    RigaCorrente = nuovaRiga;
    Stato = 0;
    SettaggioInterfaccia();
    riapri(RigaCorrente);
    if (dopoSalvataggio) {
        dopoSalvataggio();
    }
}

// The change of a line and all it brings (history, totals) commit together or
// not at all, on the data as they stand now; a refusal is reported by its kind.
bool PaginaRighe::modificaInUnaVolta(bool cancellazione, const QStringList& set,
                                     const QString& messaggio) {
    try {
        scheda_->scriviSuDatiCorrenti([&] {
            const QString dove = condizione(PadreCorrente, RigaCorrente);
            // what another user saved since this edit began is not overwritten
            if (!cancellazione) {
                scheda_->confermaRiga(d_.tabella, dove, rigaLetta_);
            }
            if (storico) {
                storico(QueryAux, RigaCorrente, cancellazione, set);
            }
            if (cancellazione || !set.isEmpty()) {
                QueryAux.SQL = {cancellazione ? QStringLiteral("DELETE FROM %1").arg(d_.tabella)
                                              : QStringLiteral("UPDATE %1 SET").arg(d_.tabella),
                                set.join(','), QStringLiteral("WHERE ") + dove};
                if (QueryAux.execSQL() != 1) {
                    throw DbError(QStringLiteral("La riga non esiste più"));
                }
            }
            if (dopoModifica) {
                dopoModifica(QueryAux, cancellazione);
            }
        });
        return true;
    } catch (const DbError& e) {
        if (dynamic_cast<const RigaRifiutata*>(&e)) {
            Messaggi::avviso(e.messaggio(), scheda_);
        } else {
            Messaggi::errore(SchedaBase::testoErrore(e, messaggio), scheda_);
        }
        // the list shows the line as stored now; a save after this message
        // writes over what the other user saved, knowingly
        if (dynamic_cast<const RigaCambiata*>(&e)) {
            try {
                rigaLetta_ =
                    scheda_->rigaMemorizzata(d_.tabella, condizione(PadreCorrente, RigaCorrente));
            } catch (const DbError&) {
            }
        }
        return false;
    }
}

bool PaginaRighe::cancellaRiga() {
    const QString dove = condizione(PadreCorrente, RigaCorrente);
    try {
        // the line goes only as this page inserted it: once another user has
        // saved into it, it is theirs and stays
        scheda_->scriviSuDatiCorrenti([&] {
            const RigaLetta ora = scheda_->rigaMemorizzata(d_.tabella, dove);
            if (!ora || ora != rigaLetta_) {
                return;
            }
            QueryAux.SQL = {QStringLiteral("DELETE FROM %1").arg(d_.tabella),
                            QStringLiteral("WHERE ") + dove};
            QueryAux.execSQL();
        });
        return true;
    } catch (const DbError&) {
    }
    if (!rigaEsiste(PadreCorrente, RigaCorrente)) {
        return true;
    }
    Messaggi::errore(d_.messaggioCancellare + PadreCorrente + QStringLiteral(", ") +
                         d_.colonnaRiga + ' ' + RigaCorrente,
                     scheda_);
    return false;
}

void PaginaRighe::ButtonAnnullaClick() {
    const bool nuova = Stato == 1;
    Stato = 0;
    SettaggioInterfaccia();
    // the lines come back as stored now (removing a new line reads them anew)
    if (nuova) {
        cancellaRiga();
    } else {
        rileggiScheda();
    }
    riapri(RigaCorrente);
}

bool PaginaRighe::rigaEsiste(const QString& p, const QString& riga) {
    try {
        Transaction ora(&scheda_->sessione_->IBDatabase1);
        Query q(&scheda_->sessione_->IBDatabase1, &ora);
        q.SQL = {QStringLiteral("SELECT %1 FROM %2").arg(d_.colonnaRiga, d_.tabella),
                 QStringLiteral("WHERE ") + condizione(p, riga)};
        q.open();
        return !q.eof();
    } catch (const DbError& e) {
        qWarning("esistenza della riga non verificata: %s", qPrintable(e.messaggio()));
        return true;
    }
}

void PaginaRighe::ButtonEliminaClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), scheda_);
        return;
    }
    RigaCorrente = rigaGriglia();
    // a fresh snapshot: the card's list and this one as stored now
    if (!rileggiStessoPadre()) {
        return;
    }
    PadreCorrente = padre ? padre() : QString();
    riapri(RigaCorrente);
    bool esiste = false;
    try {
        QueryAux.SQL = {QStringLiteral("SELECT %1 FROM %2").arg(d_.colonnaRiga, d_.tabella),
                        QStringLiteral("WHERE ") + condizione(PadreCorrente, RigaCorrente)};
        QueryAux.open();
        esiste = !QueryAux.eof();
        QueryAux.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), scheda_);
        return;
    }
    if (!esiste) {
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            scheda_);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Eliminare il record selezionato?"), scheda_)) {
        return;
    }
    const int posizione = Griglia->currentIndex().row();
    if (!modificaInUnaVolta(
            true, {},
            QStringLiteral("Errore interno: impossibile eliminare il record selezionato"))) {
        return;
    }
    riapri();
    GrigliaModello* m = Griglia->modello();
    if (m->rowCount() > 0) {
        Griglia->setCurrentIndex(m->index(std::min(posizione, m->rowCount() - 1), 0));
    }
    if (dopoSalvataggio) {
        dopoSalvataggio();
    }
}

} // namespace quintar
