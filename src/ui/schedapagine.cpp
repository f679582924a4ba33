#include "ui/schedapagine.h"

#include "session/apertura.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/memoform.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/ricerca.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

// The list opens while the base is built, before the search page can give
// its text: the base starts from the search's text without a selection.
DescrizioneScheda conTesto(DescrizioneScheda d, const DescrizionePagine& p) {
    if (d.sqlBase.isEmpty()) {
        d.sqlBase = QStringList{p.sqlRicerca};
    }
    return d;
}

} // namespace

SchedaAPagine::SchedaAPagine(TTabXForm* sessione, DescrizioneScheda d, DescrizionePagine p,
                             QWidget* owner)
    : SchedaBase(sessione, conTesto(std::move(d), p), owner),
      TransazioneStorico(&sessione->IBDatabase1),
      QueryStoricoT(&sessione->IBDatabase1, &TransazioneStorico),
      QueryStoricoD(&sessione->IBDatabase1, &TransazioneStorico),
      QueryAllegati(&sessione->IBDatabase1, &TransazionePrincipale), p_(std::move(p)) {
    auto* principale = qobject_cast<QVBoxLayout*>(layout());
    principale->removeWidget(CorpoScheda);
    PaginaUno = new QWidget(this);
    PaginaUno->setObjectName(QStringLiteral("Pagina1"));
    auto* v1 = new QVBoxLayout(PaginaUno);
    v1->setContentsMargins(0, 0, 0, 0);
    v1->addWidget(CorpoScheda, 1);

    TabSet = new QTabBar(this);
    TabSet->setObjectName(p_.tabSet);
    for (const QString& t : p_.titoli) {
        TabSet->addTab(t);
    }
    Testata = creaTestata(this, QStringLiteral("PanelTestata"), p_.testata);

    PanelSelezione = new QWidget(this);
    PanelSelezione->setObjectName(QStringLiteral("PanelSelezione"));
    auto* ps = new QHBoxLayout(PanelSelezione);
    ps->setContentsMargins(0, 0, 0, 0);
    ps->addWidget(new QLabel(QStringLiteral("SELEZIONE ATTIVA:"), PanelSelezione));
    EditSelezione = new QLineEdit(PanelSelezione);
    EditSelezione->setObjectName(QStringLiteral("EditSelezione"));
    EditSelezione->setReadOnly(true);
    ps->addWidget(EditSelezione, 1);
    ButtonSelezionaAnnulla = creaPulsante(QStringLiteral("Annulla Selez."),
                                          QStringLiteral("ButtonSelezionaAnnulla"), PanelSelezione);
    ps->addWidget(ButtonSelezionaAnnulla);
    PanelSelezione->hide();
    connect(ButtonSelezionaAnnulla, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAnnullaSelClick(); }));

    NotebookPagine = new QStackedWidget(this);
    NotebookPagine->setObjectName(p_.notebook);
    NotebookPagine->addWidget(PaginaUno);

    principale->addWidget(TabSet);
    principale->addWidget(PanelSelezione);
    principale->addWidget(Testata);
    principale->addWidget(NotebookPagine, 1);

    connect(TabSet, &QTabBar::currentChanged, this, protetto(this, [this] {
                const int pagina = TabSet->currentIndex();
                if (pagina == NotebookPagine->currentIndex()) {
                    return;
                }
                if (!paginaConsentita(pagina)) {
                    const QSignalBlocker b(TabSet);
                    TabSet->setCurrentIndex(NotebookPagine->currentIndex());
                    return;
                }
                mostraPagina(pagina);
            }));
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SchedaAPagine::cambioRiga);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this, &SchedaAPagine::cambioRiga);
}

SchedaAPagine::~SchedaAPagine() {
    // the base closes the list after this part is gone: no refresh reaches it
    Griglia->modello()->disconnect(this);
    Griglia->selectionModel()->disconnect(this);
    if (GridStoricoT) {
        GridStoricoT->setSorgenteDati(nullptr);
        GridStoricoD->setSorgenteDati(nullptr);
    }
    if (GridAllegati) {
        GridAllegati->setSorgenteDati(nullptr);
    }
}

void SchedaAPagine::aggiungiPagina(QWidget* pagina) {
    const int indice = NotebookPagine->count();
    if (indice == p_.paginaRicerche) {
        NotebookPagine->addWidget(creaPaginaRicerche());
    } else if (indice == p_.paginaStorico) {
        NotebookPagine->addWidget(creaPaginaStorico());
    } else if (indice == p_.paginaAllegati) {
        NotebookPagine->addWidget(creaPaginaAllegati());
    }
    if (!pagina) {
        return;
    }
    NotebookPagine->addWidget(pagina);
    QList<PaginaRighe*> righe = pagina->findChildren<PaginaRighe*>();
    if (auto* r = qobject_cast<PaginaRighe*>(pagina)) {
        righe << r;
    }
    for (PaginaRighe* r : righe) {
        r->bloccaScheda = [this](bool) { aggiornaBlocchi(); };
        r->chiudi = [this] { mostraPagina(0); };
    }
}

int SchedaAPagine::paginaCorrente() const {
    return NotebookPagine->currentIndex();
}

QLineEdit* SchedaAPagine::campoRicerca(const QString& edit) const {
    auto it = ricerca_.find(edit);
    return it == ricerca_.end() ? nullptr : it->second;
}

// ------------------------------------------------------------ the search page

QWidget* SchedaAPagine::creaPaginaRicerche() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Ricerche"));
    auto* g = new QGridLayout;
    int r = 0;
    for (const CampoCercato& c : p_.ricerca) {
        g->addWidget(new QLabel(c.didascalia, pagina), r, 0);
        auto* cerca = new QLineEdit(pagina);
        cerca->setObjectName(c.edit);
        cerca->setMaxLength(100);
        g->addWidget(cerca, r, 1);
        ricerca_[c.edit] = cerca;
        auto* corrente = new QLineEdit(pagina);
        corrente->setObjectName(c.edit + QStringLiteral("2"));
        corrente->setReadOnly(true);
        corrente->setFocusPolicy(Qt::NoFocus);
        mostraColonna(corrente, c.colonna);
        g->addWidget(corrente, r, 2);
        connect(cerca, &QLineEdit::returnPressed, this,
                protetto(this, [this] { ButtonRicercaAttivaSelClick(); }));
        ++r;
    }
    ButtonRicercaAttivaSel = creaPulsante(QStringLiteral("Attiva &Selez."),
                                          QStringLiteral("ButtonRicercaAttivaSel"), pagina);
    ButtonRicercaAnnullaSel = creaPulsante(QStringLiteral("&Annulla Selez."),
                                           QStringLiteral("ButtonRicercaAnnullaSel"), pagina);
    ButtonRicercaRitorna =
        creaPulsante(QStringLiteral("&Ritorna"), QStringLiteral("ButtonRicercaRitorna"), pagina);
    ButtonRicercaChiudi =
        creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonRicercaChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    v->addLayout(g);
    auto* h = new QHBoxLayout;
    h->addStretch();
    for (QPushButton* b : {ButtonRicercaAttivaSel, ButtonRicercaAnnullaSel, ButtonRicercaRitorna,
                           ButtonRicercaChiudi}) {
        h->addWidget(b);
    }
    v->addLayout(h);
    v->addStretch(1); // the list comes here while the page is shown
    connect(ButtonRicercaAttivaSel, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAttivaSelClick(); }));
    connect(ButtonRicercaAnnullaSel, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAnnullaSelClick(); }));
    connect(ButtonRicercaRitorna, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaRitornaClick(); }));
    connect(ButtonRicercaChiudi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaChiudiClick(); }));
    return pagina;
}

QStringList SchedaAPagine::sqlBase() const {
    if (Griglia->RicercaInCorso()) {
        return Griglia->SQLIniziale;
    }
    EditSelezione->clear();
    QStringList sql{p_.sqlRicerca};
    if (PanelSelezione->isVisibleTo(const_cast<SchedaAPagine*>(this))) {
        QString testo;
        for (const CampoCercato& c : p_.ricerca) {
            const QString t = ricerca_.at(c.edit)->text();
            if (c.tipo == TipoValore::Data) {
                if (const QDate d = Formati::leggiData(t); !t.isEmpty() && d.isValid()) {
                    sql << QStringLiteral("AND(%1=%2)").arg(c.colonna, sql::data(d));
                    testo += QStringLiteral("(%1=%2);").arg(c.colonna, t);
                }
                continue;
            }
            const Selezione s = selezioneRicerca({{c.colonna, t}});
            testo += s.testo;
            sql += s.condizioni;
        }
        EditSelezione->setText(testo);
    }
    return sql;
}

void SchedaAPagine::ButtonRicercaAttivaSelClick() {
    for (const CampoCercato& c : p_.ricerca) {
        const QString t = ricerca_.at(c.edit)->text();
        if (c.tipo == TipoValore::Data && !t.trimmed().isEmpty() &&
            !Formati::leggiData(t).isValid()) {
            Messaggi::avviso(
                QStringLiteral("Specificare una data valida per \"%1\"").arg(c.didascalia), this);
            ricerca_.at(c.edit)->setFocus();
            return;
        }
    }
    PanelSelezione->show();
    riapriSuCodice(QString());
}

void SchedaAPagine::ButtonRicercaAnnullaSelClick() {
    if (selezioneBloccata_) {
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    const QStringList altre = altreChiaviGriglia();
    for (auto& [nome, e] : ricerca_) {
        e->clear();
    }
    PanelSelezione->hide();
    riapriSu(codice, altre);
}

void SchedaAPagine::ButtonRicercaRitornaClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessun record trovato"), this);
        return;
    }
    if (ComeRicerca) {
        chiudiRicerca(true);
        return;
    }
    mostraPagina(0); // the list stays on the row chosen
}

void SchedaAPagine::ButtonRicercaChiudiClick() {
    if (ComeRicerca) {
        chiudiRicerca(false);
        return;
    }
    ButtonRicercaAnnullaSelClick();
    mostraPagina(0);
}

void SchedaAPagine::preparaRicerca(const QString& campo, const QString& valore) {
    if (QLineEdit* e = campoRicerca(campo)) {
        e->setText(valore);
        e->setReadOnly(true);
    }
    ButtonRicercaAttivaSelClick();
    selezioneBloccata_ = true;
    ButtonRicercaAnnullaSel->setEnabled(false);
    ButtonSelezionaAnnulla->setEnabled(false);
}

bool SchedaAPagine::eseguiRicerca(QWidget* owner, const QString& codice, bool nascondiSchede) {
    mostraPagina(p_.paginaRicerche);
    TabSet->setVisible(!nascondiSchede);
    if (!codice.isEmpty()) {
        riapriSuCodice(codice);
    }
    return eseguiComeRicerca(owner, objectName() + QStringLiteral("Ricerca")) == kRisultatoOK &&
           !listaVuota();
}

// ----------------------------------------------------------- the history page

QWidget* SchedaAPagine::creaPaginaStorico() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Storico"));
    GridStoricoT = new TCSDGrid(pagina);
    GridStoricoT->setObjectName(storicoUnico() ? p_.grigliaStoricoUnica
                                               : QStringLiteral("GridStoricoT"));
    configuraGriglia(GridStoricoT, p_.situazioneStorico, p_.tabellaStorico);
    GridStoricoT->AbilitaRicerca = true;
    GridStoricoT->collega(&QueryStoricoT, [this] {
        const QString codice = codiceCorrenteGriglia();
        return QStringList{QStringLiteral("SELECT * FROM %1 WHERE").arg(p_.tabellaStorico),
                           codice.isEmpty()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(codice)};
    });
    GridStoricoD = new TCSDGrid(pagina);
    GridStoricoD->setObjectName(QStringLiteral("GridStoricoD"));
    configuraGriglia(GridStoricoD, 0, QString());
    GridStoricoD->OrderBy = false;
    GridStoricoD->setSorgenteDati(&QueryStoricoD);
    // the memo items act on the detail's rows, or on the one history grid's
    TCSDGrid* righeMemo = storicoUnico() ? GridStoricoT : GridStoricoD;
    Query* queryMemo = storicoUnico() ? &QueryStoricoT : &QueryStoricoD;
    QAction* prima = righeMemo->MenuGriglia->actions().value(0);
    for (const QString& colonna : p_.memoStorico) {
        auto* voce = new QAction(QStringLiteral("Vedi contenuto campo ") + colonna, this);
        voce->setObjectName(QStringLiteral("VoceMemo") + colonna);
        voce->setVisible(storicoUnico());
        righeMemo->MenuGriglia->insertAction(prima, voce);
        vociMemo_.insert(colonna, voce);
        connect(voce, &QAction::triggered, this, [this, colonna, righeMemo, queryMemo] {
            if (!queryMemo->isOpen() || righeMemo->modello()->rowCount() == 0 ||
                !righeMemo->currentIndex().isValid()) {
                return;
            }
            const Campo c = righeMemo->campoCorrente(colonna);
            TMemoForm::mostra(this, QStringLiteral("Info"), c.isNull() ? QString() : c.asString());
        });
    }
    ButtonStoricoChiudi =
        creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonStoricoChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    if (storicoUnico()) {
        v->addWidget(GridStoricoT, 1);
        GridStoricoD->hide();
    } else {
        v->addWidget(new QLabel(QStringLiteral("Testate"), pagina));
        v->addWidget(GridStoricoT, 2);
        v->addWidget(new QLabel(QStringLiteral("Dettaglio"), pagina));
        v->addWidget(GridStoricoD, 1);
    }
    auto* h = new QHBoxLayout;
    h->setObjectName(QStringLiteral("PulsantiStorico"));
    h->addStretch();
    h->addWidget(ButtonStoricoChiudi);
    v->addLayout(h);
    connect(ButtonStoricoChiudi, &QPushButton::clicked, this, [this] { mostraPagina(0); });

    timerStorico_ = new QTimer(this);
    timerStorico_->setObjectName(QStringLiteral("TimerStorico"));
    timerStorico_->setSingleShot(true);
    timerStorico_->setInterval(400);
    connect(timerStorico_, &QTimer::timeout, this,
            protetto(this, [this] { aggiornaDettaglioStorico(); }));
    auto riavvia = [this] {
        timerStorico_->stop();
        try {
            QueryStoricoD.close();
        } catch (const DbError&) {
        }
        if (!storicoUnico()) {
            for (QAction* a : vociMemo_) {
                a->setVisible(false);
            }
        }
        timerStorico_->start();
    };
    connect(GridStoricoT->selectionModel(), &QItemSelectionModel::currentRowChanged, this, riavvia);
    connect(GridStoricoT->modello(), &QAbstractItemModel::modelReset, this, riavvia);
    return pagina;
}

void SchedaAPagine::aggiornaDettaglioStorico() {
    timerStorico_->stop();
    if (!QueryStoricoT.isOpen() || GridStoricoT->modello()->rowCount() == 0 ||
        !GridStoricoT->currentIndex().isValid()) {
        return;
    }
    QString memo;
    const QStringList sql = sqlDettaglioStorico(memo);
    if (sql.isEmpty()) {
        return;
    }
    QueryStoricoD.close();
    QueryStoricoD.SQL = sql;
    QueryStoricoD.open();
    if (QAction* a = vociMemo_.value(memo)) {
        a->setVisible(true);
    }
}

// ------------------------------------------------------------ attachments

QWidget* SchedaAPagine::creaPaginaAllegati() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Allegati"));
    GridAllegati = new TCSDGrid(pagina);
    GridAllegati->setObjectName(QStringLiteral("GridAllegati"));
    configuraGriglia(GridAllegati, p_.situazioneAllegati, p_.tabellaAllegati);
    GridAllegati->collega(&QueryAllegati, [this] {
        const QString codice = codiceCorrenteGriglia();
        return QStringList{QStringLiteral("SELECT * FROM %1 WHERE").arg(p_.tabellaAllegati),
                           codice.isEmpty()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(codice)};
    });
    connect(GridAllegati->modello(), &QAbstractItemModel::modelReset, this,
            [this] { GridAllegati->setColumnHidden(0, true); });
    ButtonAllegatiAggiungi =
        creaPulsante(QStringLiteral("&Aggiungi"), QStringLiteral("ButtonAllegatiAggiungi"), pagina);
    ButtonAllegatiTogli =
        creaPulsante(QStringLiteral("&Togli"), QStringLiteral("ButtonAllegatiTogli"), pagina);
    ButtonApri = creaPulsante(QStringLiteral("Apri"), QStringLiteral("ButtonApri"), pagina);
    ButtonAllegatiChiudi =
        creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonAllegatiChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    v->addWidget(GridAllegati, 1);
    auto* h = new QHBoxLayout;
    h->addStretch();
    for (QPushButton* b :
         {ButtonAllegatiAggiungi, ButtonAllegatiTogli, ButtonApri, ButtonAllegatiChiudi}) {
        h->addWidget(b);
    }
    v->addLayout(h);
    connect(ButtonAllegatiAggiungi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAllegatiAggiungiClick(); }));
    connect(ButtonAllegatiTogli, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAllegatiTogliClick(); }));
    connect(ButtonApri, &QPushButton::clicked, this, protetto(this, [this] { ButtonApriClick(); }));
    connect(GridAllegati, &QAbstractItemView::doubleClicked, this,
            protetto(this, [this] { ButtonApriClick(); }));
    connect(ButtonAllegatiChiudi, &QPushButton::clicked, this, [this] { mostraPagina(0); });
    return pagina;
}

void SchedaAPagine::ButtonAllegatiAggiungiClick() {
    const QString codice = codiceCorrenteGriglia();
    if (codice.isEmpty()) {
        return;
    }
    const QString file = Messaggi::scegliFile(this, QStringLiteral("Aggiungi allegato"));
    if (file.isEmpty()) {
        return;
    }
    if (!QFileInfo::exists(percorsi::suDisco(file))) {
        Messaggi::avviso(QStringLiteral("Il file selezionato non esiste"), this);
        return;
    }
    if (file.contains('\'')) {
        Messaggi::avviso(QStringLiteral("Non è possibile selezionare file con nome contenente il "
                                        "carattere \"'\""),
                         this);
        return;
    }
    const QString condizione = QStringLiteral("(CODICE=%1)AND(NOMEFILE=%2)")
                                   .arg(sql::testoNonNullo(codice), sql::testoNonNullo(file));
    try {
        QueryAux.SQL = {QStringLiteral("SELECT * FROM %1 WHERE").arg(p_.tabellaAllegati) +
                        condizione};
        QueryAux.open();
        const bool presente = !QueryAux.eof();
        QueryAux.close();
        if (presente) {
            Messaggi::informazione(p_.allegatoPresente, this);
            return;
        }
        QueryAux.SQL = {
            QStringLiteral("INSERT INTO %1 (CODICE,NOMEFILE) VALUES(%2,%3)")
                .arg(p_.tabellaAllegati, sql::testoNonNullo(codice), sql::testoNonNullo(file))};
        QueryAux.execSQL();
        TransazionePrincipale.commitRetaining();
    } catch (const DbError&) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno di INSERT: impossibile aggiungere l'allegato"), this);
        return;
    }
    riapriQuery(QueryAllegati);
    GrigliaModello* m = GridAllegati->modello();
    if (const int r =
            m->cerca(QStringLiteral("NOMEFILE"), [&file](const QString& f) { return f == file; });
        r >= 0) {
        GridAllegati->setCurrentIndex(m->index(r, 1));
    }
}

void SchedaAPagine::ButtonAllegatiTogliClick() {
    if (!QueryAllegati.isOpen() || GridAllegati->modello()->rowCount() == 0) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    const QString file = GridAllegati->campoCorrente(QStringLiteral("NOMEFILE")).asString();
    const QString condizione = QStringLiteral("(CODICE=%1)AND(NOMEFILE=%2)")
                                   .arg(sql::testoNonNullo(codice), sql::testoNonNullo(file));
    QueryAux.SQL = {QStringLiteral("SELECT * FROM %1 WHERE").arg(p_.tabellaAllegati) + condizione};
    QueryAux.open();
    const bool presente = !QueryAux.eof();
    QueryAux.close();
    if (!presente) {
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            this);
        riapriQuery(QueryAllegati);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Eliminare il record selezionato?"), this)) {
        return;
    }
    const int riga = GridAllegati->currentIndex().row();
    try {
        QueryAux.SQL = {QStringLiteral("DELETE FROM %1").arg(p_.tabellaAllegati),
                        QStringLiteral("WHERE ") + condizione};
        QueryAux.execSQL();
        TransazionePrincipale.commitRetaining();
    } catch (const DbError&) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno: impossibile eliminare il record selezionato"), this);
        return;
    }
    riapriQuery(QueryAllegati);
    GrigliaModello* m = GridAllegati->modello();
    if (m->rowCount() > 0) {
        GridAllegati->setCurrentIndex(m->index(std::min(riga, m->rowCount() - 1), 1));
    }
}

void SchedaAPagine::ButtonApriClick() {
    if (!QueryAllegati.isOpen() || GridAllegati->modello()->rowCount() == 0) {
        return;
    }
    const QString nome = GridAllegati->campoCorrente(QStringLiteral("NOMEFILE")).asString();
    const QString file = percorsi::suDisco(nome);
    if (!QFileInfo::exists(file)) {
        Messaggi::avviso(QStringLiteral("Attenzione: Il file \"%1\" non esiste").arg(nome), this);
        return;
    }
    if (!apertura::apri(file)) {
        Messaggi::avviso(
            QStringLiteral("Nessun programma disponibile per aprire il file \"%1\"").arg(nome),
            this);
    }
}

// --------------------------------------------------------------- the pages

bool SchedaAPagine::paginaConsentita(int pagina) {
    if (pagina != 0 && listaVuota()) {
        Messaggi::informazione(
            QStringLiteral("Inserire un record prima di accedere alle altre sessioni"), this);
        return false;
    }
    return true;
}

QList<QPushButton*> SchedaAPagine::pulsantiPagina(int pagina) {
    if (pagina == 0) {
        return {ButtonNuovo,  ButtonEdit,      ButtonElimina,
                ButtonChiudi, ButtonMemorizza, ButtonAnnulla};
    }
    if (pagina == p_.paginaRicerche) {
        return {ButtonRicercaAttivaSel, ButtonRicercaAnnullaSel, ButtonRicercaRitorna,
                ButtonRicercaChiudi};
    }
    if (pagina == p_.paginaStorico) {
        return {ButtonStoricoChiudi};
    }
    if (pagina == p_.paginaAllegati) {
        return {ButtonAllegatiAggiungi, ButtonAllegatiTogli, ButtonApri, ButtonAllegatiChiudi};
    }
    QList<QPushButton*> r;
    QWidget* w = NotebookPagine->widget(pagina);
    QList<PaginaRighe*> righe = w->findChildren<PaginaRighe*>();
    if (auto* p = qobject_cast<PaginaRighe*>(w)) {
        righe << p;
    }
    for (PaginaRighe* p : righe) {
        r << p->ButtonNuovo << p->ButtonEdit << p->ButtonElimina << p->ButtonChiudi
          << p->ButtonMemorizza << p->ButtonAnnulla;
    }
    return r;
}

void SchedaAPagine::mostraPagina(int pagina) {
    if (timerStorico_) {
        timerStorico_->stop();
        for (Query* q : {&QueryStoricoT, &QueryStoricoD}) {
            try {
                q->close();
            } catch (const DbError&) {
            }
        }
        if (!storicoUnico()) {
            for (QAction* a : vociMemo_) {
                a->setVisible(false);
            }
        }
    }
    const int prima = NotebookPagine->currentIndex();
    if (prima == p_.paginaRicerche && pagina != p_.paginaRicerche) {
        if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
            divisore->insertWidget(0, Griglia); // the list returns above the record
        }
    }
    for (PaginaRighe* p : pagineRighe()) {
        if (!NotebookPagine->widget(pagina)->isAncestorOf(p) &&
            NotebookPagine->widget(pagina) != p) {
            p->chiudiLista();
        }
    }
    for (int i = 0; i < NotebookPagine->count(); ++i) {
        for (QPushButton* b : pulsantiPagina(i)) {
            if (b) {
                b->setEnabled(false);
            }
        }
    }
    {
        const QSignalBlocker b(TabSet);
        TabSet->setCurrentIndex(pagina);
    }
    NotebookPagine->setCurrentIndex(pagina);
    Testata->setVisible(pagina != 0);
    for (QPushButton* b : pulsantiPagina(pagina)) {
        if (b) {
            b->setEnabled(true);
        }
    }
    if (pagina == p_.paginaRicerche) {
        auto* v = qobject_cast<QVBoxLayout*>(NotebookPagine->widget(pagina)->layout());
        v->insertWidget(v->count() - 1, Griglia, 1);
        if (selezioneBloccata_) {
            ButtonRicercaAnnullaSel->setEnabled(false);
        }
        if (!p_.ricerca.empty()) {
            ricerca_[p_.ricerca.front().edit]->setFocus();
        }
    } else if (pagina == p_.paginaStorico) {
        try {
            TransazioneStorico.restart();
            QueryStoricoT.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    } else if (pagina == p_.paginaAllegati) {
        riapriQuery(QueryAllegati);
    } else {
        for (PaginaRighe* p : pagineRighe()) {
            if (NotebookPagine->widget(pagina)->isAncestorOf(p) ||
                NotebookPagine->widget(pagina) == p) {
                p->riapri();
            }
        }
    }
    paginaMostrata(pagina);
    if (SolaLettura) {
        DisattivaControlliProfiloSicurezza();
    }
}

void SchedaAPagine::aggiornaBlocchi() {
    bool libero = StatoScheda == 0;
    for (PaginaRighe* p : pagineRighe()) {
        libero = libero && p->Stato == 0;
    }
    TabSet->setEnabled(libero);
    if (auto* n = Testata->findChild<QWidget*>(QStringLiteral("PanelTestataNavigator"))) {
        n->setEnabled(libero);
    }
}

void SchedaAPagine::cambioRiga() {
    const int pagina = NotebookPagine->currentIndex();
    if (pagina == p_.paginaStorico) {
        try {
            QueryStoricoT.close();
            TransazioneStorico.restart();
            QueryStoricoT.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    } else if (pagina == p_.paginaAllegati) {
        riapriQuery(QueryAllegati);
    }
    rigaCambiata();
}

void SchedaAPagine::closeEvent(QCloseEvent* e) {
    SchedaBase::closeEvent(e);
    if (!e->isAccepted()) {
        return;
    }
    for (Query* q : {&QueryStoricoT, &QueryStoricoD, &QueryAllegati}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
    for (PaginaRighe* p : pagineRighe()) {
        p->chiudiLista();
    }
}

} // namespace quintar
