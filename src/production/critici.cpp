#include "production/critici.h"

#include "formulation/formul.h"
#include "production/fabbricazione.h"
#include "production/quantita.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace quintar {

namespace {

// The saved layout of the critical list (project 150).
constexpr int kSituazioneGriglia = 43;

const QString kStorico = QStringLiteral("STOFORMULRIEP");

// A formulation line as a version keeps it: the whole line, the real active
// matter included, as it stands before the change.
const QStringList kColonneStoCompon = {
    QStringLiteral("CODICEFORMULAZIONE"), QStringLiteral("NRIGA"),
    QStringLiteral("CODICEMATERIAPRIMA"), QStringLiteral("PERCENTUALE"),
    QStringLiteral("TOLLERANZA"),         QStringLiteral("CRITICO"),
    QStringLiteral("ACCETTABILITA"),      QStringLiteral("RANGE"),
    QStringLiteral("MATERIAATTIVAREALE"),
};

// The list's columns the pages use but the grid does not show.
const QStringList kColonneNascoste = {QStringLiteral("MATERIAATTIVA"), QStringLiteral("DENSITA"),
                                      QStringLiteral("CODICEFORMULAZIONE")};

// The longest number the input box takes.
constexpr int kLunghezzaValore = 24;

QLineEdit* campo(const QString& nome, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(nome);
    e->setReadOnly(true);
    return e;
}

} // namespace

PagineCritici::PagineCritici(SchedaFabbricazione& scheda, QWidget* parent)
    : QObject(parent), scheda_(scheda),
      QueryCritici(scheda.archivio(), &scheda.transazionePrincipale()),
      QueryAux(scheda.archivio(), &scheda.transazionePrincipale()) {
    setObjectName(QStringLiteral("PagineCritici"));

    // ---- page "Comp. Critici"
    PaginaCritici = new QWidget(parent);
    PaginaCritici->setObjectName(QStringLiteral("PaginaCritici"));
    auto* v = new QVBoxLayout(PaginaCritici);
    auto* g = new QGridLayout;
    auto aggiungi = [&](int riga, int colonna, const QString& didascalia, QLineEdit* e) {
        auto* l = new QLabel(didascalia, PaginaCritici);
        l->setBuddy(e);
        g->addWidget(l, riga, colonna * 2);
        g->addWidget(e, riga, colonna * 2 + 1);
    };
    EditNRiga = campo(QStringLiteral("EditCriticiNRiga"), PaginaCritici);
    EditCodice = campo(QStringLiteral("EditCriticiCodice"), PaginaCritici);
    EditDescrizione = campo(QStringLiteral("EditCriticiDescrizione"), PaginaCritici);
    EditPercentuale = campo(QStringLiteral("EditCriticiPercentuale"), PaginaCritici);
    EditMinimo = campo(QStringLiteral("EditMinimo"), PaginaCritici);
    EditMateriaAttivaReale = campo(QStringLiteral("EditMateriaAttivaReale"), PaginaCritici);
    EditPercentualeAggiornata = campo(QStringLiteral("EditPercentualeAggiornata"), PaginaCritici);
    EditQuantitaCalcolata = campo(QStringLiteral("EditQuantitaCalcolata"), PaginaCritici);
    EditQuantitaKg = campo(QStringLiteral("EditQuantitaKg"), PaginaCritici);
    aggiungi(0, 0, QStringLiteral("N.R."), EditNRiga);
    aggiungi(0, 1, QStringLiteral("Codice"), EditCodice);
    aggiungi(0, 2, QStringLiteral("Descrizione"), EditDescrizione);
    aggiungi(1, 0, QStringLiteral("%"), EditPercentuale);
    aggiungi(1, 1, QStringLiteral("Minimo"), EditMinimo);
    aggiungi(1, 2, QStringLiteral("Mat.Att.Reale"), EditMateriaAttivaReale);
    aggiungi(2, 0, QStringLiteral("% Agg."), EditPercentualeAggiornata);
    aggiungi(2, 1, QStringLiteral("Q.calc."), EditQuantitaCalcolata);
    aggiungi(2, 2, QStringLiteral("Q.tà Kg"), EditQuantitaKg);
    v->addLayout(g);

    auto* h = new QHBoxLayout;
    h->addWidget(new QLabel(QStringLiteral("Versione:"), PaginaCritici));
    LabelVersione = new QLabel(PaginaCritici);
    LabelVersione->setObjectName(QStringLiteral("LabelVersioneCritici"));
    h->addWidget(LabelVersione);
    h->addStretch();
    ButtonEditCompCritici = new QPushButton(QStringLiteral("Edit &X"), PaginaCritici);
    ButtonEditCompCritici->setObjectName(QStringLiteral("ButtonEditCompCritici"));
    h->addWidget(ButtonEditCompCritici);
    v->addLayout(h);

    postoCritici_ = new QWidget(PaginaCritici);
    postoCritici_->setObjectName(QStringLiteral("PanelGridCompCritici1"));
    auto* pc = new QVBoxLayout(postoCritici_);
    pc->setContentsMargins(0, 0, 0, 0);
    v->addWidget(postoCritici_, 1);

    // ---- page "Qualità"
    PaginaQualita = new QWidget(parent);
    PaginaQualita->setObjectName(QStringLiteral("PaginaQualita"));
    auto* q = new QVBoxLayout(PaginaQualita);
    postoQualita_ = new QWidget(PaginaQualita);
    postoQualita_->setObjectName(QStringLiteral("PanelGridCompCritici2"));
    auto* pq = new QVBoxLayout(postoQualita_);
    pq->setContentsMargins(0, 0, 0, 0);
    q->addWidget(postoQualita_, 1);
    auto* lc = new QLabel(QStringLiteral("Composizione"), PaginaQualita);
    MemoComposizione = new QPlainTextEdit(PaginaQualita);
    MemoComposizione->setObjectName(QStringLiteral("MemoComposizione"));
    MemoComposizione->setReadOnly(true);
    MemoComposizione->setMaximumHeight(120);
    lc->setBuddy(MemoComposizione);
    q->addWidget(lc);
    q->addWidget(MemoComposizione);
    auto* la = new QLabel(QStringLiteral("Accettabilità"), PaginaQualita);
    EditAccettabilita = campo(QStringLiteral("EditAccettabilita"), PaginaQualita);
    la->setBuddy(EditAccettabilita);
    q->addWidget(la);
    q->addWidget(EditAccettabilita);

    TimerCompCritici = new QTimer(this);
    TimerCompCritici->setObjectName(QStringLiteral("TimerCompCritici"));
    TimerCompCritici->setSingleShot(true);
    TimerCompCritici->setInterval(1000);
    connect(TimerCompCritici, &QTimer::timeout, this, &PagineCritici::calcolaCampi);

    // ---- the grid, on the page shown
    GridCompCritici = new TCSDGrid(postoCritici_);
    GridCompCritici->setObjectName(QStringLiteral("GridCompCritici"));
    pc->addWidget(GridCompCritici);
    scheda_.configuraGriglia(GridCompCritici, kSituazioneGriglia, QStringLiteral("COMPON"));
    // the list orders itself by line number: one formulation's lines
    GridCompCritici->OrderBy = false;
    GridCompCritici->collega(&QueryCritici, [this] { return sqlCritici(); });
    connect(GridCompCritici->modello(), &QAbstractItemModel::modelReset, this,
            &PagineCritici::mostraRiga);
    // after the grid has laid out the columns of a fresh open
    connect(GridCompCritici->modello(), &QAbstractItemModel::modelReset, this,
            &PagineCritici::nascondiColonne, Qt::QueuedConnection);
    connect(GridCompCritici->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &PagineCritici::mostraRiga);

    connect(ButtonEditCompCritici, &QPushButton::clicked, this,
            &PagineCritici::ButtonEditCompCriticiClick);
    ButtonEditCompCritici->setEnabled(false);
    grigliaViva_ = GridCompCritici;
    paginaCritici_ = PaginaCritici;
    paginaQualita_ = PaginaQualita;
    mostraRiga();
}

PagineCritici::~PagineCritici() {
    TimerCompCritici->stop();
    try {
        QueryCritici.close();
    } catch (const DbError&) {
    }
    // the pages are this object's, wherever the sheet has put them; the grid
    // must not outlive the query it reads
    if (grigliaViva_) {
        GridCompCritici->modello()->disconnect(this);
        GridCompCritici->selectionModel()->disconnect(this);
        GridCompCritici->setSorgenteDati(nullptr);
    }
    delete paginaCritici_.data();
    delete paginaQualita_.data();
}

QStringList PagineCritici::sqlCritici() const {
    const QString prodotto = scheda_.lottoCorrente().codice;
    return {QStringLiteral("SELECT B.NRIGA,B.CODICEMATERIAPRIMA,"),
            QStringLiteral("C.NOMECOMMERCIALE AS DESCRIZIONE,B.PERCENTUALE,"),
            QStringLiteral("B.ACCETTABILITA,B.MATERIAATTIVAREALE,"),
            QStringLiteral("C.COMPOSIZIONE,B.RANGE,"),
            QStringLiteral("C.MATERIAATTIVA,D.DENSITA,B.CODICEFORMULAZIONE"),
            QStringLiteral("FROM PRODOT A LEFT JOIN COMPON B ON"),
            QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICEFORMULAZIONE)"),
            QStringLiteral("LEFT JOIN MATER C ON (B.CODICEMATERIAPRIMA=C.CODICE)"),
            QStringLiteral("LEFT JOIN FORMUL D ON (A.CODICEFORMULAZIONE=D.CODICE)"),
            prodotto.isEmpty()
                ? QStringLiteral("WHERE (A.CODICE IS NULL)")
                : QStringLiteral("WHERE (A.CODICE=%1)").arg(sql::testoNonNullo(prodotto)),
            QStringLiteral("AND(B.CRITICO='1')"),
            // one formulation's lines: the line number is the key
            QStringLiteral("ORDER BY B.NRIGA")};
}

void PagineCritici::aggiorna(int pagina) {
    if (pagina != kPaginaCritici && pagina != kPaginaQualita) {
        chiudi();
        return;
    }
    const QString formulazione = valoreRiga(QStringLiteral("CODICEFORMULAZIONE"));
    const QString riga = valoreRiga(QStringLiteral("NRIGA"));
    QWidget* posto = pagina == kPaginaCritici ? postoCritici_ : postoQualita_;
    if (GridCompCritici->parentWidget() != posto) {
        posto->layout()->addWidget(GridCompCritici);
        GridCompCritici->show();
    }
    ButtonEditCompCritici->setEnabled(!scheda_.solaLettura());
    riapri(formulazione, riga);
}

void PagineCritici::chiudi() {
    TimerCompCritici->stop();
    try {
        QueryCritici.close();
    } catch (const DbError& e) {
        qWarning("lista dei componenti critici non chiusa: %s", qPrintable(e.messaggio()));
    }
    GridCompCritici->modello()->svuota();
    mostraRiga();
}

QList<QPushButton*> PagineCritici::pulsanti(int pagina) const {
    if (pagina == kPaginaCritici && !scheda_.solaLettura()) {
        return {ButtonEditCompCritici};
    }
    return {};
}

bool PagineCritici::listaVuota() const {
    return !QueryCritici.isOpen() || GridCompCritici->modello()->rowCount() == 0;
}

bool PagineCritici::riapri(const QString& formulazione, const QString& riga) {
    try {
        QueryCritici.close();
        QueryCritici.open();
    } catch (const DbError& e) {
        GridCompCritici->modello()->svuota();
        mostraRiga();
        Messaggi::errore(e.messaggio(), scheda_.finestra());
        return false;
    }
    nascondiColonne();
    GrigliaModello* m = GridCompCritici->modello();
    int trovata = -1;
    if (!riga.isEmpty()) {
        trovata = m->cerca(QStringLiteral("NRIGA"), [&](const QString& v) { return v == riga; });
        const int colonna = m->indiceCampo(QStringLiteral("CODICEFORMULAZIONE"));
        if (trovata >= 0 && !formulazione.isEmpty() &&
            m->campo(trovata, colonna).asString() != formulazione) {
            trovata = -1;
        }
    }
    if (m->rowCount() > 0) {
        const int colonna = std::max(0, GridCompCritici->currentIndex().column());
        GridCompCritici->setCurrentIndex(m->index(std::max(0, trovata), colonna));
        GridCompCritici->scrollTo(GridCompCritici->currentIndex());
    }
    mostraRiga();
    return trovata >= 0;
}

void PagineCritici::nascondiColonne() {
    GrigliaModello* m = GridCompCritici->modello();
    for (const QString& c : kColonneNascoste) {
        const int i = m->indiceCampo(c);
        if (i >= 0) {
            GridCompCritici->setColumnHidden(i, true);
        }
    }
}

QString PagineCritici::valoreRiga(const QString& nome) const {
    if (listaVuota() || !GridCompCritici->currentIndex().isValid() ||
        GridCompCritici->modello()->indiceCampo(nome) < 0) {
        return {};
    }
    const Campo c = GridCompCritici->campoCorrente(nome);
    return c.isNull() ? QString() : c.asString();
}

std::optional<double> PagineCritici::numeroRiga(const QString& nome) const {
    if (listaVuota() || !GridCompCritici->currentIndex().isValid() ||
        GridCompCritici->modello()->indiceCampo(nome) < 0) {
        return std::nullopt;
    }
    const Campo c = GridCompCritici->campoCorrente(nome);
    if (c.isNull()) {
        return std::nullopt;
    }
    return c.asFloat();
}

// The fields read from the line show it at once; the computed ones are
// emptied and come back a second later, when the user stops moving.
void PagineCritici::mostraRiga() {
    EditNRiga->setText(valoreRiga(QStringLiteral("NRIGA")));
    EditCodice->setText(valoreRiga(QStringLiteral("CODICEMATERIAPRIMA")));
    EditDescrizione->setText(valoreRiga(QStringLiteral("DESCRIZIONE")));
    EditPercentuale->setText(valoreRiga(QStringLiteral("PERCENTUALE")));
    EditMinimo->setText(valoreRiga(QStringLiteral("ACCETTABILITA")));
    EditMateriaAttivaReale->setText(valoreRiga(QStringLiteral("MATERIAATTIVAREALE")));
    MemoComposizione->setPlainText(valoreRiga(QStringLiteral("COMPOSIZIONE")));
    EditAccettabilita->setText(valoreRiga(QStringLiteral("RANGE")));
    EditPercentualeAggiornata->clear();
    EditQuantitaCalcolata->clear();
    EditQuantitaKg->clear();
    LabelVersione->clear();
    if (listaVuota() || !GridCompCritici->currentIndex().isValid()) {
        TimerCompCritici->stop();
    } else {
        TimerCompCritici->start();
    }
}

void PagineCritici::calcolaCampi() {
    TimerCompCritici->stop();
    const QString riga = valoreRiga(QStringLiteral("NRIGA"));
    if (riga.isEmpty()) {
        return;
    }
    const LottoCorrente lotto = scheda_.lottoCorrente();
    produzione::RigaCritica r;
    r.percentuale = numeroRiga(QStringLiteral("PERCENTUALE"));
    r.materiaAttiva = numeroRiga(QStringLiteral("MATERIAATTIVA"));
    r.materiaAttivaReale = numeroRiga(QStringLiteral("MATERIAATTIVAREALE"));
    const produzione::ValoriCritici v =
        produzione::valoriCritici(r, lotto.quantita, numeroRiga(QStringLiteral("DENSITA")),
                                  produzione::lottoInKg(lotto.unitaMisura));
    EditPercentualeAggiornata->setText(formatoCosto(v.percentualeAggiornata));
    EditQuantitaCalcolata->setText(formatoCosto(v.quantitaCalcolata));
    EditQuantitaKg->setText(formatoCosto(v.quantitaKg));

    try {
        QueryAux.SQL = {
            QStringLiteral("SELECT MAX(B.VERSIONED)"),
            QStringLiteral("FROM PRODOT A LEFT JOIN STOCOMPON B ON"),
            QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICEFORMULAZIONE)"),
            QStringLiteral("WHERE (A.CODICE=%1)AND").arg(sql::testoNonNullo(lotto.codice)),
            QStringLiteral("(B.NRIGA=%1)").arg(sql::intero(riga))};
        const QVariant versione = QueryAux.scalar();
        LabelVersione->setText(versione.isValid() && !versione.isNull() ? versione.toString()
                                                                        : QString());
    } catch (const DbError& e) {
        qWarning("versione della riga critica non letta: %s", qPrintable(e.messaggio()));
    } catch (const sql::ValoreNonValido& e) {
        qWarning("numero di riga non valido: %s", qPrintable(e.valore));
    }
}

QString PagineCritici::cartellaErrori() const {
    TTabXForm* s = scheda_.sessione();
    return s ? percorsi::suDisco(s->GetV(QStringLiteral("TempDir"))) : QString();
}

void PagineCritici::ButtonEditCompCriticiClick() {
    if (scheda_.solaLettura()) {
        return;
    }
    if (listaVuota() || !GridCompCritici->currentIndex().isValid()) {
        Messaggi::avviso(QStringLiteral("Non è presente nessun record"), scheda_.finestra());
        return;
    }
    const QString formulazione = valoreRiga(QStringLiteral("CODICEFORMULAZIONE"));
    const QString riga = valoreRiga(QStringLiteral("NRIGA"));

    TKyvIn1Form dlg(scheda_.finestra());
    dlg.setObjectName(QStringLiteral("InputMateriaAttivaReale"));
    dlg.setWindowTitle(QStringLiteral("Materia Attiva Reale"));
    dlg.Label1->setText(QStringLiteral("Nuovo valore"));
    dlg.Edit1->setMaxLength(kLunghezzaValore);
    dlg.Edit1->setText(valoreRiga(QStringLiteral("MATERIAATTIVAREALE")));
    dlg.Edit1->selectAll();
    if (Messaggi::esegui(&dlg) != kRisultatoOK) {
        return;
    }
    const std::optional<double> valore = Formati::leggiNumero(dlg.Edit1->text().trimmed());
    if (!valore) {
        Messaggi::avviso(QStringLiteral("Inserire un valore numerico"), scheda_.finestra());
        return;
    }

    const std::optional<int> versione =
        memorizza(formulazione, riga, valoreRiga(QStringLiteral("MATERIAATTIVAREALE")), *valore);
    // this list as stored now, on the same line (the batch list was read
    // again with the write): after a failure too, so that a retry starts
    // from what others committed
    try {
        QueryCritici.close();
    } catch (const DbError&) {
    }
    riapri(formulazione, riga);
    if (versione) {
        LabelVersione->setText(QString::number(*versione));
    }
}

std::optional<int> PagineCritici::memorizza(const QString& formulazione, const QString& riga,
                                            const QString& mostrato, double valore) {
    Query q(scheda_.archivio(), &scheda_.transazionePrincipale());
    const QString oggi = sql::data(QDate::currentDate());
    const QString utente = sql::intero(scheda_.sessione() ? scheda_.sessione()->NumUtente : 0);
    int versione = 0;
    bool storicoScritto = false;

    // The history first, copying the line as it stands before the change,
    // then the change, in one transaction on the data as they stand now: all
    // of it is kept, or none.
    try {
        scheda_.scriviSuDatiCorrenti([&] {
            storicoScritto = false;
            const QString f = sql::intero(formulazione);
            const QString r = sql::intero(riga);
            const QString condizioneRiga =
                QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)").arg(f, r);
            // a value another user saved since the list showed it is not overwritten
            q.SQL = {QStringLiteral("SELECT MATERIAATTIVAREALE FROM COMPON WHERE ") +
                     condizioneRiga};
            q.open();
            const bool esiste = !q.eof();
            const QString ora = esiste && !q.field(0).isNull() ? q.field(0).asString() : QString();
            q.close();
            if (!esiste) {
                throw DbError(QStringLiteral("La riga %1 della formulazione %2 non esiste più")
                                  .arg(riga, formulazione));
            }
            if (ora != mostrato) {
                throw RigaCambiata(QStringLiteral("Riga modificata da un altro utente"));
            }
            try {
                const std::optional<int> h =
                    storico::massimo(q, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                     QStringLiteral("CODICE=") + f);
                const int testata = h.value_or(1);
                if (!h) {
                    scriviVersioneFormulazione(q, formulazione, testata, false, utente);
                }
                const std::optional<int> d = storico::massimo(
                    q, QStringLiteral("STOCOMPON"), QStringLiteral("VERSIONED"),
                    condizioneRiga + QStringLiteral("AND(VERSIONET=%1)").arg(sql::intero(testata)));
                versione = d ? *d + 1 : 1;
                storico::copiaRiga(q, QStringLiteral("STOCOMPON"), QStringLiteral("COMPON"),
                                   kColonneStoCompon,
                                   {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                                    {QStringLiteral("VERSIONED"), sql::intero(versione)},
                                    {QStringLiteral("DATAVERS"), oggi}},
                                   condizioneRiga);
                storico::inserisci(q, kStorico,
                                   {{QStringLiteral("CODICE"), f},
                                    {QStringLiteral("NRIGA"), r},
                                    {QStringLiteral("VERSIONET"), sql::intero(testata)},
                                    {QStringLiteral("VERSIONED"), sql::intero(versione)},
                                    {QStringLiteral("TABELLA"), QStringLiteral("'STOCOMPON'")},
                                    {QStringLiteral("DATAVERS"), oggi},
                                    {QStringLiteral("UTENTE"), utente}});
            } catch (const DbError& e) {
                throw ErroreStorico(e.messaggio(), e.sqlCode(), e.gdsCode());
            }
            storicoScritto = true;
            q.SQL = {QStringLiteral("UPDATE COMPON SET MATERIAATTIVAREALE=") + sql::numero(valore),
                     QStringLiteral("WHERE ") + condizioneRiga};
            if (q.execSQL() != 1) {
                throw DbError(QStringLiteral("La riga %1 della formulazione %2 non esiste più")
                                  .arg(riga, formulazione));
            }
        });
    } catch (const std::exception& e) {
        storico::registraErrore(cartellaErrori(), q.SQL);
        const auto* db = dynamic_cast<const DbError*>(&e);
        qWarning("materia attiva reale non memorizzata: %s",
                 qPrintable(db ? db->messaggio() : QString::fromLocal8Bit(e.what())));
        Messaggi::errore(
            dynamic_cast<const ErroreStorico*>(&e) && !storicoScritto
                ? kTestoErroreStorico
                : QStringLiteral("Errore interno: impossibile memorizzare le modifiche"),
            scheda_.finestra());
        return std::nullopt;
    }
    return versione;
}

} // namespace quintar
