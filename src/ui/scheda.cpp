#include "ui/scheda.h"

#include "ui/esportaxlsx.h"

#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/profili.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/colonne.h"
#include "ui/esportaxlsx.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quintar {

namespace {

const char* kTag = "Tag";

} // namespace

CampoScheda campoScheda(const char* colonna, const char* didascalia, const char* pulsante,
                        const char* editazione, const char* consultazione, Controllo controllo,
                        TipoValore tipo, const char* messaggio) {
    CampoScheda c;
    c.colonna = QString::fromLatin1(colonna);
    c.didascalia = QString::fromUtf8(didascalia);
    c.pulsante = QString::fromLatin1(pulsante);
    c.editazione = QString::fromLatin1(editazione);
    c.consultazione = QString::fromLatin1(consultazione);
    c.controllo = controllo;
    c.tipo = tipo;
    if (messaggio) {
        c.messaggioNonValido = QString::fromUtf8(messaggio);
    }
    return c;
}

SchedaBase::SchedaBase(TTabXForm* sessione, DescrizioneScheda d, QWidget* owner)
    : FinestraSessione(sessione, owner), TransazionePrincipale(&sessione->IBDatabase1),
      TransazioneControllo(&sessione->IBDatabase1),
      QueryPrincipale(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAux(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAux2(&sessione->IBDatabase1, &TransazioneControllo), d_(std::move(d)) {
    setObjectName(d_.nome + QStringLiteral("Form"));
    impostaDidascalia(d_.didascalia);
    StatoScheda = 0;
    SolaLettura = VerificaProfiloSicurezza(*sessione);
    costruisci();

    configuraGriglia(Griglia, d_.situazioneGriglia, d_.tabella);
    Griglia->AbilitaRicerca = true;
    Griglia->collega(&QueryPrincipale, [this] { return sqlBase(); });
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SchedaBase::aggiornaConsultazione);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this,
            &SchedaBase::aggiornaConsultazione);

    if (sessione->IBDatabase1.connected()) {
        lunghezze_ = lunghezzeColonne(&sessione->IBDatabase1, d_.tabella);
        limitaLunghezze();
        try {
            TransazionePrincipale.start();
            TransazioneControllo.start();
            QueryPrincipale.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    }
    Notebook->setCurrentWidget(PaginaConsultazione);
    aggiornaConsultazione();
    SettaggioInterfaccia();
}

SchedaBase::~SchedaBase() {
    // pages of lines read on this card's transactions: they go first
    for (PaginaRighe* p : std::vector<PaginaRighe*>(righe_)) {
        delete p;
    }
    // the list must stop reading before its transactions go; emptied, it
    // tells this card nothing: what a derived card connected is gone already
    // and its session may be too
    QObject::disconnect(Griglia->modello(), nullptr, this, nullptr);
    QObject::disconnect(Griglia->selectionModel(), nullptr, this, nullptr);
    Griglia->setSorgenteDati(nullptr);
}

void SchedaBase::costruisci() {
    Griglia = new TCSDGrid(this);
    Griglia->setObjectName(QStringLiteral("Grid") + d_.nome);
    Notebook = new QStackedWidget(this);
    Notebook->setObjectName(QStringLiteral("NotebookEdit") + d_.nome);
    PaginaConsultazione = creaPagina(true);
    PaginaEditazione = creaPagina(false);
    Notebook->addWidget(PaginaConsultazione);
    Notebook->addWidget(PaginaEditazione);

    auto* divisore = new QSplitter(Qt::Vertical, this);
    CorpoScheda = divisore;
    divisore->addWidget(Griglia);
    divisore->addWidget(Notebook);
    divisore->setStretchFactor(0, 3);
    divisore->setStretchFactor(1, 2);
    auto* v = new QVBoxLayout(this);
    v->addWidget(divisore);
    resize(720, 560);

    collegaPulsanti();
}

// Every button reaches the database through eseguiProtetto: an error is a
// message, and the card stays usable.
void SchedaBase::collegaPulsanti() {
    auto collega = [this](QAbstractButton* b, void (SchedaBase::*azione)()) {
        connect(b, &QAbstractButton::clicked, this,
                protetto(this, [this, azione] { (this->*azione)(); }));
    };
    collega(ButtonNuovo, &SchedaBase::ButtonNuovoClick);
    collega(ButtonEdit, &SchedaBase::ButtonEditClick);
    collega(ButtonElimina, &SchedaBase::ButtonEliminaClick);
    collega(ButtonChiudi, &SchedaBase::ButtonChiudiClick);
    collega(ButtonMemorizza, &SchedaBase::ButtonMemorizzaClick);
    collega(ButtonAnnulla, &SchedaBase::ButtonAnnullaClick);
    connect(NavPrimo, &QToolButton::clicked, this, protetto(this, [this] { mostraPosizione(0); }));
    connect(NavPrecedente, &QToolButton::clicked, this,
            protetto(this, [this] { mostraPosizione(std::max(0, posizioneCorrente() - 1)); }));
    connect(NavSuccessivo, &QToolButton::clicked, this,
            protetto(this, [this] { vaiARiga(Griglia->currentIndex().row() + 1); }));
    connect(NavUltimo, &QToolButton::clicked, this,
            protetto(this, [this] { mostraPosizione(contaRighe() - 1); }));
}

QWidget* SchedaBase::creaPagina(bool consultazione) {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(consultazione ? QStringLiteral("Consultazione")
                                        : QStringLiteral("Editazione"));
    std::vector<CampoScheda> tutti{d_.campoChiave};
    tutti.insert(tutti.end(), d_.altreChiavi.begin(), d_.altreChiavi.end());
    const size_t numeroChiavi = tutti.size();
    tutti.insert(tutti.end(), d_.campi.begin(), d_.campi.end());
    QGridLayout* g = disponiCampi(pagina, tutti, consultazione, numeroChiavi, d_.colonneCampi,
                                  consultazione ? consultazione_ : editazione_);
    auto* v = new QVBoxLayout(pagina);
    v->addLayout(g);
    v->addStretch();
    v->addLayout(creaPulsanti(consultazione, pagina));
    return pagina;
}

QGridLayout* SchedaBase::disponiCampi(QWidget* pagina, const std::vector<CampoScheda>& campi,
                                      bool consultazione, size_t numeroChiavi, int colonne,
                                      std::map<QString, QWidget*>& controlli) {
    auto* g = new QGridLayout;
    colonne = std::max(1, colonne);
    const int perColonna = int((campi.size() + size_t(colonne) - 1) / size_t(colonne));
    for (size_t i = 0; i < campi.size(); ++i) {
        const CampoScheda& c = campi[i];
        const int riga = int(i) % std::max(1, perColonna);
        const int colonna = 3 * (int(i) / std::max(1, perColonna));
        auto* b = creaPulsante(
            c.didascalia, c.pulsante + (consultazione ? QStringLiteral("2") : QString()), pagina);
        b->setFlat(true);
        b->setAutoDefault(false);
        b->setStyleSheet(QStringLiteral("text-align: left"));
        // a decode (not stored) is never typed into
        QWidget* w = creaControllo(c, consultazione,
                                   i < numeroChiavi || !c.memorizzato || c.calcolato, pagina);
        controlli[c.colonna] = w;
        connect(b, &QPushButton::clicked, w, [w] { w->setFocus(); });
        g->addWidget(b, riga, colonna, Qt::AlignTop);
        const QString nomeDescrizione =
            consultazione ? c.descrizioneConsultazione : c.descrizioneEditazione;
        // beside a memo of the other column a one-line control stays level
        // with its caption
        const Qt::Alignment allineamento =
            qobject_cast<QPlainTextEdit*>(w) ? Qt::Alignment() : Qt::AlignTop;
        if (nomeDescrizione.isEmpty()) {
            g->addWidget(w, riga, colonna + 1, allineamento);
        } else {
            auto* d = new QLineEdit(pagina);
            d->setObjectName(nomeDescrizione);
            d->setReadOnly(true);
            d->setFocusPolicy(Qt::NoFocus);
            controlli[c.colonna + '#'] = d;
            auto* h = new QHBoxLayout;
            h->addWidget(w, 1);
            h->addWidget(d, 2);
            g->addLayout(h, riga, colonna + 1, allineamento);
        }
        g->setColumnStretch(colonna + 1, 1);
    }
    return g;
}

QWidget* SchedaBase::creaControllo(const CampoScheda& c, bool consultazione, bool soloLettura,
                                   QWidget* pagina) {
    QWidget* w = nullptr;
    switch (c.controllo) {
    case Controllo::Memo: {
        auto* m = new QPlainTextEdit(pagina);
        m->setReadOnly(consultazione || soloLettura);
        m->setTabChangesFocus(true);
        w = m;
        break;
    }
    case Controllo::Check: {
        auto* k = new QCheckBox(pagina);
        k->setEnabled(!consultazione && !soloLettura);
        w = k;
        break;
    }
    case Controllo::Combo:
        if (!consultazione) {
            auto* l = new QComboBox(pagina);
            l->addItems(c.voci);
            l->setCurrentIndex(-1);
            w = l;
            break;
        }
        [[fallthrough]];
    case Controllo::Edit: {
        auto* e = new QLineEdit(pagina);
        e->setReadOnly(consultazione || soloLettura);
        w = e;
        break;
    }
    }
    w->setObjectName(consultazione ? c.consultazione : c.editazione);
    if (!consultazione && !soloLettura && c.azzeraNuovo) {
        w->setProperty(kTag, 1);
    }
    return w;
}

// The navigator and Nuovo, Edit, Elimina, Chiudi under the consultation
// page; Memorizza and Annulla under the edit page.
QHBoxLayout* SchedaBase::creaPulsanti(bool consultazione, QWidget* pagina) {
    auto* bottoni = new QHBoxLayout;
    if (!consultazione) {
        bottoni->addStretch();
        ButtonMemorizza =
            creaPulsante(QStringLiteral("&Memorizza"), QStringLiteral("ButtonMemorizza"), pagina);
        ButtonAnnulla =
            creaPulsante(QStringLiteral("&Annulla"), QStringLiteral("ButtonAnnulla"), pagina);
        bottoni->addWidget(ButtonMemorizza);
        bottoni->addWidget(ButtonAnnulla);
        return bottoni;
    }
    auto nav = [pagina](const QString& nome, const QString& testo, const QString& suggerimento) {
        auto* t = new QToolButton(pagina);
        t->setObjectName(nome);
        t->setText(testo);
        t->setToolTip(suggerimento);
        return t;
    };
    NavPrimo = nav(QStringLiteral("NavPrimo"), QStringLiteral("|<"), QStringLiteral("Primo"));
    NavPrecedente =
        nav(QStringLiteral("NavPrecedente"), QStringLiteral("<"), QStringLiteral("Precedente"));
    NavSuccessivo =
        nav(QStringLiteral("NavSuccessivo"), QStringLiteral(">"), QStringLiteral("Successivo"));
    NavUltimo = nav(QStringLiteral("NavUltimo"), QStringLiteral(">|"), QStringLiteral("Ultimo"));
    auto* navigatore = new QWidget(pagina);
    navigatore->setObjectName(d_.navigatore.isEmpty() ? QStringLiteral("Navigator") + d_.nome
                                                      : d_.navigatore);
    auto* n = new QHBoxLayout(navigatore);
    n->setContentsMargins(0, 0, 0, 0);
    n->setSpacing(0);
    for (QToolButton* t : {NavPrimo, NavPrecedente, NavSuccessivo, NavUltimo}) {
        t->setParent(navigatore);
        n->addWidget(t);
    }
    bottoni->addWidget(navigatore);
    bottoni->addStretch();
    ButtonNuovo = creaPulsante(QStringLiteral("&Nuovo"), QStringLiteral("ButtonNuovo"), pagina);
    ButtonEdit = creaPulsante(QStringLiteral("Edit &X"), QStringLiteral("ButtonEdit"), pagina);
    ButtonElimina =
        creaPulsante(QStringLiteral("&Elimina"), QStringLiteral("ButtonElimina"), pagina);
    ButtonChiudi = creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonChiudi"), pagina);
    for (QPushButton* b : {ButtonNuovo, ButtonEdit, ButtonElimina, ButtonChiudi}) {
        bottoni->addWidget(b);
    }
    return bottoni;
}

int SchedaBase::lunghezzaColonna(const QString& colonna) const {
    auto it = lunghezze_.find(colonna.toUpper());
    return it == lunghezze_.end() ? 0 : it->second;
}

void SchedaBase::limitaLunghezze() {
    std::vector<const CampoScheda*> campi{&d_.campoChiave};
    for (const CampoScheda& c : d_.altreChiavi) {
        campi.push_back(&c);
    }
    for (const CampoScheda& c : d_.campi) {
        campi.push_back(&c);
    }
    for (const CampoScheda* c : campi) {
        const int n = lunghezzaColonna(c->colonna);
        auto* e = qobject_cast<QLineEdit*>(editazione(c->colonna));
        if (n > 0 && e && c->tipo == TipoValore::Testo) {
            e->setMaxLength(c->lunghezza > 0 ? std::min(n, c->lunghezza) : n);
        }
    }
}

// A text that does not fit its column is refused before the save, with the
// text left as typed: the database would refuse the whole save.
bool SchedaBase::verificaLunghezze() {
    bool valido = true;
    for (const CampoScheda& c : d_.campi) {
        const int n = lunghezzaColonna(c.colonna);
        if (n <= 0 || c.tipo != TipoValore::Testo || !c.memorizzato) {
            continue;
        }
        QString t = testoDi(editazione(c.colonna));
        if (c.lunghezza > 0) {
            t.truncate(c.lunghezza);
        }
        if (t.size() > n) {
            Messaggi::avviso(QStringLiteral("Il campo \"%1\" può contenere al massimo %2 "
                                            "caratteri: il testo inserito ne ha %3")
                                 .arg(QString(c.didascalia).remove('&'))
                                 .arg(n)
                                 .arg(t.size()),
                             this);
            valido = false;
        }
    }
    return valido;
}

QWidget* SchedaBase::editazione(const QString& colonna) const {
    auto it = editazione_.find(colonna);
    return it == editazione_.end() ? nullptr : it->second;
}

QWidget* SchedaBase::consultazione(const QString& colonna) const {
    auto it = consultazione_.find(colonna);
    return it == consultazione_.end() ? nullptr : it->second;
}

QString SchedaBase::testoDi(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        return e->text();
    }
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        return m->toPlainText();
    }
    if (auto* k = qobject_cast<QCheckBox*>(w)) {
        return k->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (auto* l = qobject_cast<QComboBox*>(w)) {
        // a list that takes free text holds what was typed
        if (l->isEditable()) {
            return l->currentText();
        }
        return l->currentIndex() < 0 ? QString() : l->currentText();
    }
    return {};
}

void SchedaBase::impostaTesto(QWidget* w, const QString& testo) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(testo);
        e->setCursorPosition(0); // a long value shows its beginning
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        m->setPlainText(testo);
    } else if (auto* k = qobject_cast<QCheckBox*>(w)) {
        k->setChecked(testo == QLatin1String("1"));
    } else if (auto* l = qobject_cast<QComboBox*>(w)) {
        // an extra item lives only while its value is shown
        const char* aggiunta = "voceAggiunta";
        if (const int i = l->property(aggiunta).toInt() - 1; i >= 0 && i < l->count()) {
            l->setProperty(aggiunta, 0);
            if (l->itemText(i) != testo) {
                l->removeItem(i);
            }
        }
        int i = l->findText(testo);
        if (i < 0 && !testo.isEmpty()) {
            l->addItem(testo);
            i = l->count() - 1;
            l->setProperty(aggiunta, i + 1);
        }
        l->setCurrentIndex(i);
    }
}

bool SchedaBase::listaVuota() const {
    return Griglia->modello()->rowCount() == 0;
}

QString SchedaBase::codiceCorrenteGriglia() const {
    if (listaVuota() || !Griglia->currentIndex().isValid()) {
        return {};
    }
    return Griglia->campoCorrente(d_.chiave).asString();
}

QStringList SchedaBase::altreChiaviGriglia() const {
    QStringList r;
    if (listaVuota() || !Griglia->currentIndex().isValid()) {
        return r;
    }
    for (const CampoScheda& c : d_.altreChiavi) {
        const Campo v = Griglia->campoCorrente(c.colonna);
        r << (v.isNull() ? QString() : v.asString());
    }
    return r;
}

QStringList SchedaBase::chiaveDi(const QString& codice) const {
    return QStringList{codice} + AltreChiaviCorrenti;
}

namespace {

// A key part as SQL: numbers as numbers, whatever the separator they show.
QString valoreChiave(const CampoScheda& c, const QString& v) {
    try {
        if (c.tipo == TipoValore::Numero && !v.trimmed().isEmpty()) {
            return sql::numero(v);
        }
        if (c.tipo == TipoValore::Intero && !v.trimmed().isEmpty()) {
            return sql::intero(v);
        }
        if (c.tipo == TipoValore::Data) {
            if (const QDate d = Formati::leggiData(v); d.isValid()) {
                return sql::data(d);
            }
        }
    } catch (const sql::ValoreNonValido&) {
    }
    return sql::testoNonNullo(v);
}

// A further key part not known (the caller gave the code alone).
bool parteIgnota(const CampoScheda& c, const QString& v) {
    return c.tipo != TipoValore::Testo && v.trimmed().isEmpty();
}

} // namespace

QString SchedaBase::letteraleChiave(const CampoScheda& c, const QString& v) {
    return valoreChiave(c, v);
}

bool SchedaBase::stessaChiave(const CampoScheda& c, const QString& a, const QString& b) {
    if (c.tipo == TipoValore::Data) {
        const QDate x = Formati::leggiData(a);
        if (x.isValid() && x == Formati::leggiData(b)) {
            return true;
        }
    }
    if (c.tipo == TipoValore::Numero || c.tipo == TipoValore::Intero) {
        const auto x = Formati::leggiNumero(a);
        const auto y = Formati::leggiNumero(b);
        if (x && y) {
            return *x == *y;
        }
    }
    return a == b;
}

QString SchedaBase::condizioneChiave(const QString& codice) const {
    if (d_.altreChiavi.empty()) {
        return QStringLiteral("%1=%2").arg(d_.chiave, sql::testoNonNullo(codice));
    }
    QStringList parti{
        QStringLiteral("(%1=%2)").arg(d_.chiave, valoreChiave(d_.campoChiave, codice))};
    for (size_t i = 0; i < d_.altreChiavi.size(); ++i) {
        const CampoScheda& c = d_.altreChiavi[i];
        parti << QStringLiteral("(%1=%2)").arg(c.colonna,
                                               valoreChiave(c, AltreChiaviCorrenti.value(int(i))));
    }
    return parti.join(QStringLiteral("AND"));
}

void SchedaBase::aggiornaConsultazione() {
    const bool riga = !listaVuota() && Griglia->currentIndex().isValid();
    for (auto& [e, colonna] : testate_) {
        const Campo c = riga && Griglia->modello()->indiceCampo(colonna) >= 0
                            ? Griglia->campoCorrente(colonna)
                            : Campo();
        e->setText(c.isNull() ? QString() : c.asString());
        e->setCursorPosition(0);
    }
    for (auto& [colonna, w] : consultazione_) {
        if (colonna.endsWith('#')) {
            continue; // descriptions have their own look-ups
        }
        QString t;
        if (riga && Griglia->modello()->indiceCampo(colonna) >= 0) {
            const Campo c = Griglia->campoCorrente(colonna);
            t = c.isNull() ? QString() : c.asString();
        }
        impostaTesto(w, t);
    }
    // the ADR decodes were emptied with the rest: read again for the row
    // shown, even when its code is the previous row's
    if (timerADR2_) {
        timerADR2_->stop();
        timerADR2_->start();
    }
}

void SchedaBase::SettaggioInterfaccia() {
    switch (StatoScheda) {
    case 0:
        Griglia->setEnabled(true);
        Notebook->setCurrentWidget(PaginaConsultazione);
        break;
    case 1:
        for (QWidget* w : PaginaEditazione->findChildren<QWidget*>()) {
            if (w->property(kTag).toInt() == 1) {
                impostaTesto(w, {});
            }
        }
        Griglia->setEnabled(false);
        Notebook->setCurrentWidget(PaginaEditazione);
        break;
    default:
        Griglia->setEnabled(false);
        Notebook->setCurrentWidget(PaginaEditazione);
        break;
    }
    for (PaginaRighe* p : righe_) {
        p->SettaggioInterfaccia();
    }
    statoAggiornato();
    if (SolaLettura) {
        DisattivaControlliProfiloSicurezza();
    }
    Griglia->viewport()->update();
}

void SchedaBase::DisattivaControlliProfiloSicurezza() {
    DisattivaControlli(this, d_.controlliProfilo);
}

void SchedaBase::vaiARiga(int riga) {
    GrigliaModello* m = Griglia->modello();
    while (riga >= m->rowCount() && m->canFetchMore({})) {
        m->fetchMore({});
    }
    if (m->rowCount() == 0) {
        return;
    }
    riga = std::clamp(riga, 0, m->rowCount() - 1);
    const int colonna = std::max(0, Griglia->currentIndex().column());
    Griglia->setCurrentIndex(m->index(riga, colonna));
    Griglia->scrollTo(Griglia->currentIndex());
}

void SchedaBase::riapri(int inizio) {
    Griglia->PrimaRiga = inizio > 0 ? inizio + 1 : 0;
    try {
        QueryPrincipale.close();
        QueryPrincipale.open();
    } catch (const DbError& e) {
        Griglia->PrimaRiga = 0;
        inizioFinestra_ = 0;
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    Griglia->PrimaRiga = 0;
    // without an order line the list starts at its first row all the same
    QString testo, ordine;
    testoEOrdine(testo, ordine);
    inizioFinestra_ = inizio > 0 && !ordine.isEmpty() ? inizio : 0;
}

void SchedaBase::testoEOrdine(QString& testo, QString& ordine) const {
    QStringList righe = QueryPrincipale.SQL;
    ordine.clear();
    if (!righe.isEmpty() &&
        righe.last().trimmed().startsWith(QLatin1String("ORDER BY"), Qt::CaseInsensitive)) {
        ordine = sqlSenzaFinestra({righe.takeLast().trimmed()}).constFirst();
    }
    testo = righe.join('\n');
}

int SchedaBase::posizioneDi(const QStringList& chiave) {
    QString testo, ordine;
    testoEOrdine(testo, ordine);
    // the select list gives way to the row's number and key, up to the list's
    // own FROM (not one inside an expression or a sub-select)
    static const QRegularExpression inizio(QStringLiteral("^\\s*SELECT\\s"),
                                           QRegularExpression::CaseInsensitiveOption);
    const int from = posizioneFromPrincipale(testo);
    if (ordine.isEmpty() || from < 0 || !inizio.match(testo).hasMatch()) {
        return -1;
    }
    // a further key part that is not known is left out (a number or a date
    // compared with an empty text would only fail): the first row of the
    // parts given
    QString colonne = QStringLiteral("%1.%2 AS CHIAVE__").arg(d_.tabella, d_.chiave);
    QString dove =
        QStringLiteral("CHIAVE__ = %1").arg(valoreChiave(d_.campoChiave, chiave.value(0)));
    for (size_t i = 0; i < d_.altreChiavi.size(); ++i) {
        const CampoScheda& c = d_.altreChiavi[i];
        if (parteIgnota(c, chiave.value(int(i) + 1))) {
            continue;
        }
        colonne += QStringLiteral(", %1.%2 AS CHIAVE%3__").arg(d_.tabella, c.colonna).arg(i + 1);
        dove += QStringLiteral(" AND CHIAVE%1__ = %2")
                    .arg(i + 1)
                    .arg(valoreChiave(c, chiave.value(int(i) + 1)));
    }
    testo = QStringLiteral("SELECT ROW_NUMBER() OVER (%1) AS RIGA__, %2 ").arg(ordine, colonne) +
            testo.mid(from);
    QueryAux.SQL = {QStringLiteral("SELECT MIN(RIGA__) FROM ("), testo,
                    QStringLiteral(") WHERE ") + dove};
    try {
        const QVariant v = QueryAux.scalar();
        return v.isValid() ? v.toInt() - 1 : -1;
    } catch (const DbError& e) {
        qWarning("posizione non calcolata: %s", qPrintable(e.messaggio()));
        return -1;
    }
}

int SchedaBase::contaRighe() {
    QString testo, ordine;
    testoEOrdine(testo, ordine);
    QueryAux.SQL = {QStringLiteral("SELECT COUNT(*) FROM ("), testo, QStringLiteral(")")};
    return QueryAux.scalar().toInt(); // a failure is the caller's to report
}

int SchedaBase::posizioneCorrente() const {
    const QModelIndex i = Griglia->currentIndex();
    return listaVuota() || !i.isValid() ? -1 : inizioFinestra_ + i.row();
}

void SchedaBase::mostraPosizione(int posizione) {
    if (posizione < 0) {
        return;
    }
    const int inFinestra = posizione - inizioFinestra_;
    if (inFinestra >= 0 && inFinestra < Griglia->modello()->rowCount() + kRigheLette) {
        vaiARiga(inFinestra);
        return;
    }
    if (posizione < kRigheLette) {
        riapri(0);
        vaiARiga(posizione);
        return;
    }
    // a screenful before the row stays visible above it
    const int inizio = std::max(0, posizione - 40);
    riapri(inizio);
    vaiARiga(posizione - inizioFinestra_);
}

void SchedaBase::riapriSuCodice(const QString& codice) {
    riapri(0);
    if (codice.isEmpty() || listaVuota()) {
        return;
    }
    const QStringList chiave = chiaveDi(codice);
    int posizione = posizioneDi(chiave);
    if (posizione < 0) {
        // no order to count by: look through the first rows as they come
        GrigliaModello* m = Griglia->modello();
        std::vector<std::pair<const CampoScheda*, int>> colonne{
            {&d_.campoChiave, m->indiceCampo(d_.chiave)}};
        for (const CampoScheda& c : d_.altreChiavi) {
            colonne.emplace_back(&c, m->indiceCampo(c.colonna));
        }
        const bool leggibile = std::all_of(colonne.begin(), colonne.end(),
                                           [](const auto& c) { return c.second >= 0; });
        for (int r = 0; leggibile && r < kRigheLette; ++r) {
            while (r >= m->rowCount() && m->canFetchMore({})) {
                m->fetchMore({});
            }
            if (r >= m->rowCount()) {
                break;
            }
            bool uguale = true;
            for (size_t i = 0; i < colonne.size() && uguale; ++i) {
                if (i > 0 && parteIgnota(*colonne[i].first, chiave.value(int(i)))) {
                    continue;
                }
                const Campo v = m->campo(r, colonne[i].second);
                uguale = stessaChiave(*colonne[i].first, v.isNull() ? QString() : v.asString(),
                                      chiave.value(int(i)));
            }
            if (uguale) {
                posizione = r;
                break;
            }
        }
    }
    mostraPosizione(posizione);
}

QStringList SchedaBase::chiediNuovaChiave() {
    const QString codice = chiediCodice({d_.titoloNuovo, d_.etichettaNuovo});
    return codice.isEmpty() ? QStringList() : QStringList{codice};
}

QString SchedaBase::chiediCodice(const DialogoNuovoCodice& dialogo) {
    TKyvIn1Form f(this);
    f.setWindowTitle(dialogo.titolo);
    f.Label1->setText(dialogo.etichetta);
    f.setFont(QFont(QStringLiteral("Tahoma"), d_.caratteriNuovo));
    f.Edit1->setText(dialogo.proposta);
    const int massimo =
        dialogo.lunghezzaMassima > 0 ? dialogo.lunghezzaMassima : lunghezzaColonna(d_.chiave);
    if (massimo > 0) {
        f.Edit1->setMaxLength(massimo);
    }
    // a refused code either keeps the dialog open or ends it
    bool rifiutato = false;
    auto rifiuta = [&](TKyvIn1Form& dlg, void (*mostra)(const QString&, QWidget*),
                       const QString& testo) {
        if (dialogo.chiudeSuRifiuto) {
            rifiutato = true;
            dlg.Edit1->clear();
            mostra(testo, this);
            return true;
        }
        mostra(testo, &dlg);
        return false;
    };
    f.KyvIn1FormClose = [&](TKyvIn1Form& dlg) {
        // quotes go before the check, so that the code checked is the code stored
        const QString codice = dialogo.comeMemorizzato ? dialogo.comeMemorizzato(dlg.Edit1->text())
                                                       : sql::codice(dlg.Edit1->text());
        if (dialogo.controllo) {
            if (const QString avviso = dialogo.controllo(codice); !avviso.isEmpty()) {
                return rifiuta(dlg, &Messaggi::avviso, avviso);
            }
        }
        if (codice.trimmed().isEmpty()) {
            return rifiuta(dlg, &Messaggi::avviso, QStringLiteral("Specificare un codice"));
        }
        try {
            TransazioneControllo.restart();
            QueryAux2.SQL = {QStringLiteral("SELECT * FROM %1 WHERE %2=%3")
                                 .arg(d_.tabella, d_.chiave, sql::testoNonNullo(codice))};
            QueryAux2.open();
            const bool usato = !QueryAux2.eof();
            QueryAux2.close();
            if (usato) {
                return rifiuta(dlg, &Messaggi::avviso, dialogo.messaggioUsato);
            }
        } catch (const DbError& e) {
            return rifiuta(dlg, &Messaggi::errore, e.messaggio());
        }
        dlg.Edit1->setText(codice);
        return true;
    };
    if (Messaggi::esegui(&f) != 1 || rifiutato) {
        return {};
    }
    return f.Edit1->text();
}

QString SchedaBase::nuovoCodiceCalcolato(Query& q) {
    // the highest key that is a whole number, compared as a number: text keys
    // sort "9" after "10"
    q.SQL = {
        QStringLiteral("SELECT MAX(CAST(%1 AS BIGINT)) FROM %2").arg(d_.chiave, d_.tabella),
        QStringLiteral("WHERE CAST(%1 AS VARCHAR(40)) SIMILAR TO '[0-9]{1,18}'").arg(d_.chiave)};
    const QVariant v = q.scalar();
    return QString::number(v.isValid() && !v.isNull() ? v.toLongLong() + 1 : 1);
}

bool SchedaBase::inserisciChiave(QString& codice, bool calcolato) {
    try {
        scriviSuDatiCorrenti([&] {
            if (calcolato) {
                codice = nuovoCodiceCalcolato(QueryAux);
            }
            QStringList colonne{d_.chiave};
            QStringList valori{d_.altreChiavi.empty() ? sql::testoNonNullo(codice)
                                                      : valoreChiave(d_.campoChiave, codice)};
            for (size_t i = 0; i < d_.altreChiavi.size(); ++i) {
                colonne << d_.altreChiavi[i].colonna;
                valori << valoreChiave(d_.altreChiavi[i], AltreChiaviCorrenti.value(int(i)));
            }
            for (const auto& [colonna, valore] : d_.valoriNuovo) {
                colonne << colonna;
                valori << valore;
            }
            QueryAux.SQL = {QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(d_.tabella, colonne.join(','), valori.join(','))};
            QueryAux.execSQL();
            rigaLetta = rigaMemorizzata(d_.tabella, condizioneChiave(codice));
        });
        return true;
    } catch (const DbError&) {
        Messaggi::errore(QStringLiteral("Errore interno: impossibile inserire un nuovo record"),
                         this);
        return false;
    }
}

bool SchedaBase::cancellaChiave(const QString& codice) {
    const QString dove = condizioneChiave(codice);
    try {
        // the row goes only as this card inserted it: once another user has
        // saved into it, it is theirs and stays
        bool lasciata = false;
        scriviSuDatiCorrenti(
            [&] {
                const RigaLetta ora = rigaMemorizzata(d_.tabella, dove);
                lasciata = ora && ora != rigaLetta;
                if (!ora || lasciata) {
                    return;
                }
                QueryAux.SQL = {QStringLiteral("DELETE FROM %1").arg(d_.tabella),
                                QStringLiteral("WHERE ") + dove};
                QueryAux.execSQL();
            },
            false);
        return !lasciata;
    } catch (const DbError&) {
    }
    // another user may have removed the row already: then there is nothing to clean
    if (!rigaEsiste(codice)) {
        return true;
    }
    QStringList parti{d_.chiave + ' ' + codice};
    for (size_t i = 0; !d_.cancellaManualeSoloChiave && i < d_.altreChiavi.size(); ++i) {
        parti << d_.altreChiavi[i].colonna + ' ' + AltreChiaviCorrenti.value(int(i));
    }
    Messaggi::errore(QStringLiteral("Errore interno: cancellare manualmente il record con ") +
                         parti.join(QStringLiteral(" e ")),
                     this);
    return false;
}

bool SchedaBase::rigaEsiste(const QString& codice) {
    // read on a transaction of its own, to see what others committed
    try {
        Transaction ora(&sessione_->IBDatabase1);
        Query q(&sessione_->IBDatabase1, &ora);
        q.SQL = {QStringLiteral("SELECT %1 FROM %2").arg(d_.chiave, d_.tabella),
                 QStringLiteral("WHERE ") + condizioneChiave(codice)};
        q.open();
        return !q.eof();
    } catch (const DbError& e) {
        qWarning("esistenza del record non verificata: %s", qPrintable(e.messaggio()));
        return true; // unknown: nothing is given up for it
    }
}

RigaLetta SchedaBase::rigaMemorizzata(const QString& tabella, const QString& condizione) {
    QueryAux.SQL = {QStringLiteral("SELECT * FROM %1").arg(tabella),
                    QStringLiteral("WHERE ") + condizione};
    QueryAux.open();
    RigaLetta r;
    if (!QueryAux.eof()) {
        r = QueryAux.rowValues();
    }
    QueryAux.close();
    return r;
}

void SchedaBase::confermaRiga(const QString& tabella, const QString& condizione,
                              const RigaLetta& letta) {
    const RigaLetta ora = rigaMemorizzata(tabella, condizione);
    if (!ora) {
        throw DbError(QStringLiteral("Il record non esiste più"));
    }
    if (letta && *ora != *letta) {
        throw RigaCambiata(QStringLiteral("Il record è stato modificato da un altro utente"));
    }
}

void SchedaBase::scriviSuDatiCorrenti(const std::function<void()>& scrivi, bool rileggiLista) {
    const QString codice = rileggiLista ? codiceCorrenteGriglia() : QString();
    const QStringList altre = rileggiLista ? altreChiaviGriglia() : QStringList();
    // (not when the archive could not even be reached: the failure is told once)
    auto rileggiDopo = qScopeGuard([&] {
        if (rileggiLista && TransazionePrincipale.active()) {
            riapriSu(codice, altre);
        }
    });
    // the list's cursor ends with the transaction: closed first, read again after
    QueryPrincipale.close();
    quintar::scriviSuDatiCorrenti(TransazionePrincipale, scrivi);
}

void SchedaBase::riapriSu(const QString& codice, const QStringList& altre) {
    const QStringList tenute = AltreChiaviCorrenti;
    AltreChiaviCorrenti = altre;
    riapriSuCodice(codice);
    AltreChiaviCorrenti = tenute;
}

QString SchedaBase::testoErrore(const DbError& e, const QString& generico) {
    if (dynamic_cast<const ErroreStorico*>(&e)) {
        return kTestoErroreStorico;
    }
    if (dynamic_cast<const ErroreMemorizzazione*>(&e)) {
        return e.messaggio();
    }
    return generico;
}

void SchedaBase::primoCampoEditabile(const QString& colonna) {
    if (QWidget* w = colonna.isEmpty() ? nullptr : editazione(colonna); w && w->isEnabled()) {
        w->setFocus();
        return;
    }
    for (const CampoScheda& c : d_.campi) {
        if (QWidget* w = editazione(c.colonna); w && w->isEnabled()) {
            w->setFocus();
            return;
        }
    }
}

void SchedaBase::ButtonNuovoClick() {
    QString codice;
    QStringList altre;
    const bool calcolato = d_.nuovoCodice != NuovoCodice::Digitato;
    if (!calcolato) {
        const QStringList chiave = chiediNuovaChiave();
        if (chiave.isEmpty() || chiave.first().isEmpty()) {
            return;
        }
        codice = chiave.first();
        altre = chiave.mid(1);
    }
    // the new row and its save work on a fresh snapshot: an older one still
    // shows a row of the same key that another user has deleted since, and the
    // save, or the removal of the new row, would conflict with that deletion
    AltreChiaviCorrenti = altre;
    if (!inserisciChiave(codice, calcolato)) {
        return;
    }
    CodiceCorrente = codice;
    chiaveTolta_ = false;
    rigaPrimaDellaModifica.clear();
    StatoScheda = 1;
    SettaggioInterfaccia();
    impostaTesto(editazione(d_.campoChiave.colonna), codice);
    for (size_t i = 0; i < d_.altreChiavi.size(); ++i) {
        impostaTesto(editazione(d_.altreChiavi[i].colonna), AltreChiaviCorrenti.value(int(i)));
    }
    dopoNuovo();
    primoCampoEditabile(d_.fuocoNuovo);
}

void SchedaBase::riempiEditazione() {
    impostaTesto(editazione(d_.campoChiave.colonna), CodiceCorrente);
    for (size_t i = 0; i < d_.altreChiavi.size(); ++i) {
        impostaTesto(editazione(d_.altreChiavi[i].colonna), AltreChiaviCorrenti.value(int(i)));
    }
    for (const CampoScheda& c : d_.campi) {
        if (!c.memorizzato) {
            continue;
        }
        const Campo v = Griglia->campoCorrente(c.colonna);
        QString t = v.isNull() ? QString() : v.asString();
        if (c.tipo == TipoValore::Flag) {
            t = t == QLatin1String("1") ||
                        t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                    ? QStringLiteral("1")
                    : QStringLiteral("0");
        }
        impostaTesto(editazione(c.colonna), t);
    }
}

void SchedaBase::ButtonEditClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Premere Nuovo per inserire un nuovo record"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    AltreChiaviCorrenti = altreChiaviGriglia();
    rigaPrimaDellaModifica.clear();
    const auto& campi = Griglia->modello()->campi();
    for (size_t i = 0; i < campi.size(); ++i) {
        const Campo c = Griglia->campoCorrente(campi[i].nome);
        rigaPrimaDellaModifica.insert(campi[i].nome, c.isNull() ? QString() : c.asString());
    }
    try {
        // read on the list's own snapshot: the row the user sees
        rigaLetta = rigaMemorizzata(d_.tabella, condizioneChiave(CodiceCorrente));
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    StatoScheda = 2;
    SettaggioInterfaccia();
    riempiEditazione();
    primoCampoEditabile(d_.fuocoModifica);
}

QString SchedaBase::valoreSql(const CampoScheda& c, QString t) {
    if (c.lunghezza > 0) {
        t.truncate(c.lunghezza);
    }
    switch (c.tipo) {
    case TipoValore::Numero:
        return sql::numero(t);
    case TipoValore::Intero:
        return sql::intero(t);
    case TipoValore::Data: {
        if (t.trimmed().isEmpty()) {
            return QStringLiteral("NULL");
        }
        const QDate d = Formati::leggiData(t);
        if (!d.isValid()) {
            throw sql::ValoreNonValido(t);
        }
        return sql::data(d);
    }
    case TipoValore::Flag:
        return sql::flag(t == QLatin1String("1"));
    case TipoValore::Testo:
        break;
    }
    return sql::testo(t);
}

bool SchedaBase::valoreLeggibile(const CampoScheda& c, const QString& t) {
    if (t.trimmed().isEmpty()) {
        return true;
    }
    switch (c.tipo) {
    case TipoValore::Intero:
        return Formati::leggiIntero(t).has_value();
    case TipoValore::Numero:
        return Formati::leggiNumero(t).has_value();
    case TipoValore::Data:
        return Formati::leggiData(t).isValid();
    default:
        return true;
    }
}

QStringList SchedaBase::assegnazioni() const {
    QStringList r;
    for (const CampoScheda& c : d_.campi) {
        if (c.memorizzato) {
            r << c.colonna + '=' + valoreSql(c, testoDi(editazione(c.colonna)));
        }
    }
    return r;
}

void SchedaBase::ButtonMemorizzaClick() {
    if (StatoScheda == 0) {
        return;
    }
    // every value is checked, so that the user sees all that is wrong at
    // once; the card's own checks come after values that can be read
    bool valido = verificaValori();
    valido = verificaLunghezze() && valido;
    if (valido || d_.controlliInsieme) {
        valido = validaCampi() && valido;
    }
    if (!valido) {
        return;
    }
    QStringList set;
    try {
        set = assegnazioni();
    } catch (const sql::ValoreNonValido& v) {
        Messaggi::avviso(QStringLiteral("Valore non valido: ") + v.valore, this);
        return;
    }
    // a new record whose row went with a failed save gets it back first
    if (StatoScheda == 1 && chiaveTolta_) {
        if (!inserisciChiave(CodiceCorrente, false)) {
            return;
        }
        chiaveTolta_ = false;
    }
    // the list comes back where it stood when the save fails
    const QString codiceLista = codiceCorrenteGriglia();
    const QStringList altreLista = altreChiaviGriglia();
    try {
        scriviSuDatiCorrenti(
            [&] {
                // what another user saved since this edit began is not overwritten
                confermaRiga(d_.tabella, condizioneChiave(CodiceCorrente), rigaLetta);
                QueryAux.SQL = {QStringLiteral("UPDATE %1 SET").arg(d_.tabella)};
                for (int i = 0; i < set.size(); ++i) {
                    QueryAux.SQL << set[i] + (i + 1 < set.size() ? QStringLiteral(",") : QString());
                }
                QueryAux.SQL << QStringLiteral("WHERE ") + condizioneChiave(CodiceCorrente);
                const QStringList aggiornamento = QueryAux.SQL;
                primaDellAggiornamento(set);
                QueryAux.SQL = aggiornamento;
                // a save that changes no row has saved nothing
                if (QueryAux.execSQL() != 1) {
                    throw DbError(QStringLiteral("Il record non esiste più"));
                }
                dopoAggiornamento();
            },
            false);
    } catch (const DbError& e) {
        Messaggi::errore(
            testoErrore(e, QStringLiteral("Errore interno: impossibile memorizzare le modifiche")),
            this);
        // nothing half-written: a new record's bare row goes too. What was
        // typed stays for the user to correct and save again (the row comes
        // back with that save) or to give up with Annulla.
        if (StatoScheda == 1 && cancellaChiave(CodiceCorrente)) {
            chiaveTolta_ = true;
        }
        // the list shows the record as stored now; a save after this
        // message writes over what the other user saved, knowingly
        if (dynamic_cast<const RigaCambiata*>(&e)) {
            try {
                rigaLetta = rigaMemorizzata(d_.tabella, condizioneChiave(CodiceCorrente));
            } catch (const DbError&) {
            }
        }
        if (TransazionePrincipale.active()) {
            riapriSu(codiceLista, altreLista);
        }
        return;
    }
    StatoScheda = 0;
    SettaggioInterfaccia();
    riapriSuCodice(CodiceCorrente);
    dopoMemorizzazione();
}

void SchedaBase::ButtonAnnullaClick() {
    if (StatoScheda == 1) {
        if (!chiaveTolta_) {
            cancellaChiave(CodiceCorrente);
        }
        chiaveTolta_ = false;
        StatoScheda = 0;
        SettaggioInterfaccia();
        riapriSuCodice(QString());
        return;
    }
    // a save refused for another user's change would be refused again on the
    // same snapshot: the list comes back as stored now, and a new edit starts
    // from it
    StatoScheda = 0;
    SettaggioInterfaccia();
    rileggi(CodiceCorrente);
}

void SchedaBase::rileggi(const QString& codice) {
    try {
        QueryPrincipale.close();
        TransazionePrincipale.restart();
    } catch (const DbError& e) {
        qWarning("transazione non riavviata: %s", qPrintable(e.messaggio()));
    }
    riapriSuCodice(codice);
}

bool SchedaBase::verificaValori() {
    bool valido = true;
    std::vector<const CampoScheda*> campi;
    for (const QString& colonna : d_.ordineVerifica) {
        for (const CampoScheda& c : d_.campi) {
            if (c.colonna == colonna) {
                campi.push_back(&c);
            }
        }
    }
    for (const CampoScheda& c : d_.campi) {
        if (!d_.ordineVerifica.contains(c.colonna)) {
            campi.push_back(&c);
        }
    }
    for (const CampoScheda* p : campi) {
        const CampoScheda& c = *p;
        if (c.messaggioNonValido.isEmpty()) {
            continue;
        }
        if (!valoreLeggibile(c, testoDi(editazione(c.colonna)))) {
            Messaggi::avviso(c.messaggioNonValido, this);
            valido = false;
        }
    }
    return valido;
}

void SchedaBase::eliminaRecord(const QString& codice) {
    QueryAux.SQL = {
        QStringLiteral("DELETE FROM %1 WHERE %2").arg(d_.tabella, condizioneChiave(codice))};
    if (QueryAux.execSQL() != 1) {
        throw DbError(QStringLiteral("Il record non esiste più"));
    }
}

void SchedaBase::ButtonEliminaClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    AltreChiaviCorrenti = altreChiaviGriglia();
    const int riga = posizioneCorrente();
    bool esiste = false;
    try {
        QueryPrincipale.close();
        TransazionePrincipale.restart();
        riapriSuCodice(CodiceCorrente);
        QueryAux.SQL = {QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(d_.chiave, d_.tabella, condizioneChiave(CodiceCorrente))};
        QueryAux.open();
        esiste = !QueryAux.eof();
        QueryAux.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    if (!esiste) {
        mostraPosizione(std::max(0, riga));
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            this);
        return;
    }
    if (!Messaggi::conferma(testoConfermaEliminazione(CodiceCorrente), this)) {
        return;
    }
    try {
        // the question may have waited: the deletion and its history are
        // written on the data as they stand now
        scriviSuDatiCorrenti([&] { eliminaRecord(CodiceCorrente); }, false);
    } catch (const DbError& e) {
        Messaggi::errore(
            testoErrore(
                e, QStringLiteral("Errore interno: impossibile eliminare il record selezionato")),
            this);
        if (TransazionePrincipale.active()) {
            riapriSuCodice(CodiceCorrente);
        }
        return;
    }
    riapriSuCodice(QString());
    mostraPosizione(std::min(std::max(0, riga), std::max(0, contaRighe() - 1)));
}

void SchedaBase::ButtonChiudiClick() {
    close();
}

void SchedaBase::closeEvent(QCloseEvent* e) {
    const bool righeInCorso = std::any_of(righe_.begin(), righe_.end(), [](PaginaRighe* p) {
        return p->Stato == 1 || p->Stato == 2;
    });
    if (StatoScheda == 1 || StatoScheda == 2 || righeInCorso) {
        Messaggi::avviso(
            QStringLiteral(
                "Memorizzare o annullare le modifiche in corso prima di chiudere la finestra"),
            this);
        e->ignore();
        return;
    }
    try {
        QueryPrincipale.close();
    } catch (const DbError&) {
    }
    if (!ComeRicerca) { // a look-up's position is its dialog's, saved with it
        SalvaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra,
                               &sessione_->IBDatabase1);
    }
    e->accept();
}

void SchedaBase::showEvent(QShowEvent* e) {
    FinestraSessione::showEvent(e);
    if (!posizioneCaricata_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra,
                                &sessione_->IBDatabase1);
    }
}

QTimer* SchedaBase::collegaDescrizione(QWidget* codice, QLineEdit* descrizione,
                                       const QString& nomeTimer,
                                       std::function<QStringList(const QString&)> sqlDi, int ms) {
    auto* t = new QTimer(this);
    t->setObjectName(nomeTimer);
    t->setSingleShot(true);
    t->setInterval(ms);
    auto cambiato = [t, descrizione] {
        t->stop();
        descrizione->clear();
        t->start();
    };
    if (auto* e = qobject_cast<QLineEdit*>(codice)) {
        connect(e, &QLineEdit::textChanged, this, cambiato);
    } else if (auto* l = qobject_cast<QComboBox*>(codice)) {
        connect(l, &QComboBox::currentIndexChanged, this, cambiato);
    }
    connect(t, &QTimer::timeout, this, [this, t, codice, descrizione, sqlDi] {
        t->stop();
        const QString testo = testoDi(codice);
        if (testo.isEmpty()) {
            return;
        }
        try {
            QueryAux2.SQL = sqlDi(testo);
            QueryAux2.open();
            if (!QueryAux2.eof()) {
                const Campo c = QueryAux2.field(0);
                descrizione->setText(c.isNull() ? QString() : c.asString());
                descrizione->setCursorPosition(0);
            }
            QueryAux2.close();
        } catch (const DbError& e) {
            qWarning("descrizione non trovata: %s", qPrintable(e.messaggio()));
        }
    });
    // a code shown before the look-up was tied to it is described as well
    if (!testoDi(codice).isEmpty()) {
        t->start();
    }
    return t;
}

int SchedaBase::eseguiComeRicerca(QWidget* owner, const QString& nomeDialogo) {
    QDialog dialogo(owner);
    dialogo.setObjectName(nomeDialogo);
    dialogo.setWindowTitle(windowTitle());
    dialogo.setWindowIcon(owner ? owner->windowIcon() : windowIcon());
    const QSize dimensione = size();
    setParent(&dialogo, Qt::Widget);
    auto* v = new QVBoxLayout(&dialogo);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(this);
    dialogo.resize(dimensione);
    ComeRicerca = true;
    dialogoRicerca_ = &dialogo;
    CaricaPosizioneFinestra(&dialogo, sessione_->NumUtente, d_.situazioneFinestra,
                            &sessione_->IBDatabase1);
    posizioneCaricata_ = true;
    const int esito = Messaggi::esegui(&dialogo);
    dialogoRicerca_ = nullptr;
    SalvaPosizioneFinestra(&dialogo, sessione_->NumUtente, d_.situazioneFinestra,
                           &sessione_->IBDatabase1);
    // the dialog goes first: the card leaves it, and is deleted by the caller
    v->removeWidget(this);
    setParent(nullptr);
    return esito;
}

void SchedaBase::chiudiRicerca(bool scelta) {
    if (dialogoRicerca_) {
        dialogoRicerca_->done(scelta ? kRisultatoOK : kRisultatoAnnulla);
    }
}

QString SchedaBase::testoConfermaEliminazione(const QString& codice) {
    const QString domanda = QStringLiteral("Eliminare il record selezionato?");
    const QString avviso =
        d_.avvisoEliminazione ? d_.avvisoEliminazione(QueryAux, codice) : QString();
    return avviso.isEmpty() ? domanda : avviso + QStringLiteral("\r\n") + domanda;
}

QString SchedaBase::domandaConUso(int n, const QString& uno, const QString& molti,
                                  const QString& seguito) {
    const QString domanda = QStringLiteral("Eliminare il record selezionato?");
    if (n <= 0) {
        return domanda;
    }
    return (n == 1 ? uno : molti.arg(n)) + seguito + QStringLiteral("\r\n") + domanda;
}

void SchedaBase::rileggiLunghezze() {
    lunghezze_ = lunghezzeColonne(&sessione_->IBDatabase1, d_.tabella);
    limitaLunghezze();
}

void configuraGrigliaSessione(TCSDGrid* g, const TTabXForm& s, int situazione,
                              const QString& tabella) {
    g->CodiceProgetto = kProgetto;
    g->Situazione = situazione;
    g->Utente = s.NumUtente;
    g->NomeTabella = tabella;
    g->TabellaPiccola = true;
    g->DirectoryBin = s.GetV(QStringLiteral("BinDir"));
    g->DittaCorrente = s.Ditta;
}

void SchedaBase::configuraGriglia(TCSDGrid* g, int situazione, const QString& tabella) const {
    configuraGrigliaSessione(g, *sessione_, situazione, tabella);
}

void SchedaBase::riapriQuery(Query& q) {
    try {
        q.close();
        q.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

void SchedaBase::mostraColonna(QLineEdit* e, const QString& colonna) {
    testate_.emplace_back(e, colonna);
    aggiornaConsultazione();
}

void SchedaBase::caricaElenco(const QString& colonna, const QStringList& sql, bool ordina) {
    auto* l = qobject_cast<QComboBox*>(editazione(colonna));
    if (!l || !sessione_->IBDatabase1.connected()) {
        return;
    }
    QStringList voci;
    try {
        QueryAux2.SQL = sql;
        QueryAux2.open();
        for (; !QueryAux2.eof(); QueryAux2.next()) {
            const Campo c = QueryAux2.field(0);
            if (!c.isNull()) {
                voci << c.asString();
            }
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    if (ordina) {
        voci.sort();
    }
    l->clear();
    l->addItem(QString());
    l->addItems(voci);
    l->setCurrentIndex(-1);
}

void SchedaBase::caricaCodiciADR() {
    caricaElenco(QStringLiteral("CODICEADR"),
                 {QStringLiteral("SELECT"), QStringLiteral("   CODICE"), QStringLiteral("FROM"),
                  QStringLiteral("   ADR2017"), QStringLiteral("ORDER BY"),
                  QStringLiteral("CODICE")},
                 false);
}

void SchedaBase::collegaADR() {
    // on the consultation page: 400 ms after the code or group changes
    timerADR2_ = new QTimer(this);
    timerADR2_->setObjectName(QStringLiteral("TimerADR2"));
    timerADR2_->setSingleShot(true);
    timerADR2_->setInterval(400);
    auto svuota = [this] {
        timerADR2_->stop();
        impostaTesto(consultazione(QStringLiteral("ADR2017.CLASSE")), {});
        impostaTesto(consultazione(QStringLiteral("ADR2017.DESCRIZIONE")), {});
        timerADR2_->start();
    };
    for (const char* c : {"CODICEADR", "GRUPPOADR"}) {
        connect(qobject_cast<QLineEdit*>(consultazione(QString::fromLatin1(c))),
                &QLineEdit::textChanged, this, svuota);
    }
    connect(timerADR2_, &QTimer::timeout, this, [this] {
        timerADR2_->stop();
        decodificaADR(false, false);
    });
    // on the edit page a code chosen proposes its packing group; a code
    // that is only shown there (taken from elsewhere) is decoded 400 ms after
    // it changes
    QWidget* codice = editazione(QStringLiteral("CODICEADR"));
    if (auto* l = qobject_cast<QComboBox*>(codice)) {
        connect(l, &QComboBox::activated, this, [this] { decodificaADR(true, true); });
    } else if (auto* e = qobject_cast<QLineEdit*>(codice)) {
        auto* t = new QTimer(this);
        t->setObjectName(QStringLiteral("TimerADR"));
        t->setSingleShot(true);
        t->setInterval(400);
        connect(e, &QLineEdit::textChanged, this, [this, t] {
            t->stop();
            impostaTesto(editazione(QStringLiteral("ADR2017.CLASSE")), {});
            impostaTesto(editazione(QStringLiteral("ADR2017.DESCRIZIONE")), {});
            t->start();
        });
        connect(t, &QTimer::timeout, this, [this, t] {
            t->stop();
            decodificaADR(true, false);
        });
    }
}

void SchedaBase::decodificaADR(bool suEditazione, bool proponiGruppo) {
    auto w = [&](const char* c) {
        const QString colonna = QString::fromLatin1(c);
        return suEditazione ? editazione(colonna) : consultazione(colonna);
    };
    impostaTesto(w("ADR2017.CLASSE"), {});
    impostaTesto(w("ADR2017.DESCRIZIONE"), {});
    const QString codice = testoDi(w("CODICEADR"));
    if (codice.isEmpty()) {
        return;
    }
    try {
        Transaction t(&sessione_->IBDatabase1);
        Query q(&sessione_->IBDatabase1, &t);
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("   DESCRIZIONE,"),
                 QStringLiteral("   CLASSE,"),
                 QStringLiteral("   GRUPPOIMB"),
                 QStringLiteral("FROM"),
                 QStringLiteral("   ADR2017"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("   CODICE=") + sql::testoNonNullo(codice)};
        q.open();
        if (!q.eof()) {
            auto testo = [&q](const char* c) {
                const Campo v = q[QString::fromLatin1(c)];
                return v.isNull() ? QString() : v.asString();
            };
            impostaTesto(w("ADR2017.CLASSE"), testo("CLASSE"));
            impostaTesto(w("ADR2017.DESCRIZIONE"), testo("DESCRIZIONE"));
            if (proponiGruppo) {
                // the proposal is a choice among the items, never an extra one
                auto* gruppo = qobject_cast<QComboBox*>(editazione(QStringLiteral("GRUPPOADR")));
                const QString g = testo("GRUPPOIMB");
                gruppo->setCurrentIndex(g.isEmpty() ? -1 : gruppo->findText(g));
            }
        }
        q.close();
    } catch (const DbError& e) {
        qWarning("codice ADR non decodificato: %s", qPrintable(e.messaggio()));
    }
}

QWidget* SchedaBase::creaTestata(QWidget* parent, const QString& nome,
                                 const std::vector<std::pair<QString, QString>>& campi) {
    auto* testata = new QWidget(parent);
    testata->setObjectName(nome);
    auto* h = new QHBoxLayout(testata);
    h->setContentsMargins(0, 0, 0, 0);
    for (const auto& [didascalia, colonna] : campi) {
        auto* l = new QLabel(didascalia, testata);
        auto* e = new QLineEdit(testata);
        e->setObjectName(nome + colonna);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        h->addWidget(l);
        h->addWidget(e, 1);
        testate_.emplace_back(e, colonna);
    }
    const std::pair<const char*, std::function<void()>> voci[] = {
        {"|<", [this] { mostraPosizione(0); }},
        {"<", [this] { mostraPosizione(std::max(0, posizioneCorrente() - 1)); }},
        {">", [this] { vaiARiga(Griglia->currentIndex().row() + 1); }},
        {">|", [this] { mostraPosizione(contaRighe() - 1); }}};
    auto* navigatore = new QWidget(testata);
    navigatore->setObjectName(nome + QStringLiteral("Navigator"));
    auto* n = new QHBoxLayout(navigatore);
    n->setContentsMargins(0, 0, 0, 0);
    n->setSpacing(0);
    for (const auto& [testo, azione] : voci) {
        auto* b = new QToolButton(navigatore);
        b->setText(QString::fromLatin1(testo));
        connect(b, &QToolButton::clicked, this, protetto(this, azione));
        n->addWidget(b);
    }
    h->addWidget(navigatore);
    aggiornaConsultazione();
    return testata;
}

} // namespace quintar
