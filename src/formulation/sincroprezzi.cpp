#include "formulation/sincroprezzi.h"

#include "formulation/calcolocosti.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"

#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace quintar {

namespace {

const QString kCosto = QStringLiteral("COSTOUNITARIO");
const QString kRicalcolato = QStringLiteral("COSTORICALCOLATO");

} // namespace

// ---------------------------------------------------------------- TabFormulazioni

TabFormulazioni::TabFormulazioni(QObject* parent) : QAbstractTableModel(parent) {}

void TabFormulazioni::definisci(const std::vector<InfoCampo>& campiFormul) {
    beginResetModel();
    campi_ = campiFormul;
    InfoCampo ricalcolato;
    ricalcolato.nome = kRicalcolato;
    ricalcolato.tipo = TipoCampo::Decimale;
    ricalcolato.scala = 4;
    campi_.push_back(ricalcolato);
    InfoCampo s;
    s.nome = QStringLiteral("S");
    s.tipo = TipoCampo::Testo;
    s.lunghezza = 1;
    campi_.push_back(s);
    righe_.clear();
    colCodice_ = indiceCampo(QStringLiteral("CODICE"));
    colCosto_ = indiceCampo(kCosto);
    attiva_ = true;
    endResetModel();
}

void TabFormulazioni::aggiungi(QStringList testi, costi::Costo4 ricalcolato) {
    const int n = int(righe_.size());
    beginInsertRows({}, n, n);
    righe_.push_back({std::move(testi), ricalcolato, true});
    endInsertRows();
}

void TabFormulazioni::rimuovi(std::vector<int> righe) {
    std::sort(righe.begin(), righe.end(), std::greater<>());
    for (int r : righe) {
        if (r < 0 || r >= rowCount()) {
            continue;
        }
        beginRemoveRows({}, r, r);
        righe_.erase(righe_.begin() + r);
        endRemoveRows();
    }
}

int TabFormulazioni::indiceCampo(const QString& nome) const {
    for (size_t i = 0; i < campi_.size(); ++i) {
        if (campi_[i].nome.compare(nome, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

QString TabFormulazioni::testo(int riga, int colonna) const {
    if (riga < 0 || riga >= rowCount() || colonna < 0 || colonna >= columnCount()) {
        return {};
    }
    const Riga& r = righe_[size_t(riga)];
    if (colonna == colonnaS()) {
        return r.selezionata ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (colonna == colonnaRicalcolato()) {
        return r.ricalcolato.testo();
    }
    return colonna < r.testi.size() ? r.testi[colonna] : QString();
}

void TabFormulazioni::seleziona(int riga, bool si) {
    if (riga < 0 || riga >= rowCount() || righe_[size_t(riga)].selezionata == si) {
        return;
    }
    righe_[size_t(riga)].selezionata = si;
    emit dataChanged(index(riga, 0), index(riga, columnCount() - 1));
}

void TabFormulazioni::selezionaTutte(bool si) {
    for (Riga& r : righe_) {
        r.selezionata = si;
    }
    if (!righe_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

int TabFormulazioni::selezionate() const {
    return int(
        std::count_if(righe_.begin(), righe_.end(), [](const Riga& r) { return r.selezionata; }));
}

int TabFormulazioni::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(righe_.size());
}

int TabFormulazioni::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(campi_.size());
}

QVariant TabFormulazioni::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const int c = index.column();
    const bool costo = c == colCosto_ || c == colonnaRicalcolato();
    switch (role) {
    case Qt::DisplayRole:
        return testo(index.row(), c);
    case Qt::TextAlignmentRole:
        switch (campi_[size_t(c)].tipo) {
        case TipoCampo::Intero:
        case TipoCampo::Decimale:
        case TipoCampo::Virgola:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    case Qt::BackgroundRole:
        // the old and the new cost side by side, whatever the selection
        if (costo) {
            return ColoreCosti;
        }
        if (selezionata(index.row()) && ColoreSelezione.isValid()) {
            return ColoreSelezione;
        }
        return {};
    case Qt::ForegroundRole:
        if (costo) {
            return QColor(Qt::black);
        }
        if (selezionata(index.row()) && ColoreTestoSelezione.isValid()) {
            return ColoreTestoSelezione;
        }
        return {};
    default:
        return {};
    }
}

QVariant TabFormulazioni::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::UserRole) {
        return campi_[size_t(section)].nome;
    }
    return {};
}

Qt::ItemFlags TabFormulazioni::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---------------------------------------------------------------- TSincroPrezziForm

TSincroPrezziForm::TSincroPrezziForm(TTabXForm* sessione, const QString& codiceMateria,
                                     QWidget* owner)
    : FinestraSessione(sessione, owner), CodiceMateria(codiceMateria),
      Transazione(&sessione->IBDatabase1), QueryAux1(&sessione->IBDatabase1, &Transazione),
      QueryAux2(&sessione->IBDatabase1, &Transazione), Tab(new TabFormulazioni(this)) {
    setObjectName(QStringLiteral("SincroPrezziForm"));
    if (codiceMateria.isEmpty()) {
        setWindowTitle(QStringLiteral("Sincronizzazione prezzi formulazioni - Ditta: ") +
                       sessione->Ditta);
    } else {
        setWindowTitle(QStringLiteral("Sincronizzazione prezzi formulazioni che coinvolgono il "
                                      "componente ") +
                       codiceMateria + QStringLiteral(" - Ditta: ") + sessione->Ditta);
    }

    LabelTitolo = new QLabel(QStringLiteral("Formulazioni che hanno subito una variazione di "
                                            "prezzo (F3 o doppio click per selezionare / "
                                            "deselezionare):"),
                             this);
    LabelTitolo->setObjectName(QStringLiteral("LabelTitolo"));
    GridFormulazioni = new QTableView(this);
    GridFormulazioni->setObjectName(QStringLiteral("GridFormulazioni"));
    GridFormulazioni->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // the highlight belongs to the rows chosen for the update, not to the cursor
    GridFormulazioni->setSelectionMode(QAbstractItemView::NoSelection);
    GridFormulazioni->verticalHeader()->setDefaultSectionSize(
        GridFormulazioni->fontMetrics().height() + 6);
    GridFormulazioni->installEventFilter(this);
    Tab->ColoreSelezione = palette().color(QPalette::Highlight);
    Tab->ColoreTestoSelezione = palette().color(QPalette::HighlightedText);
    GridFormulazioni->setModel(Tab);

    auto pulsante = [this](const QString& t, const QString& n) {
        auto* b = new QPushButton(t, this);
        b->setObjectName(n);
        return b;
    };
    ButtonSelezionaTutto =
        pulsante(QStringLiteral("&Seleziona tutto"), QStringLiteral("ButtonSelezionaTutto"));
    ButtonDeselezionaTutto =
        pulsante(QStringLiteral("&Deseleziona tutto"), QStringLiteral("ButtonDeselezionaTutto"));
    ButtonAggiornaPrezzi =
        pulsante(QStringLiteral("&Aggiorna prezzi"), QStringLiteral("ButtonAggiornaPrezzi"));
    ButtonChiudi = pulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"));

    auto* v = new QVBoxLayout(this);
    v->addWidget(LabelTitolo);
    v->addWidget(GridFormulazioni, 1);
    auto* b = new QHBoxLayout;
    b->addWidget(ButtonSelezionaTutto);
    b->addWidget(ButtonDeselezionaTutto);
    b->addStretch();
    b->addWidget(ButtonAggiornaPrezzi);
    b->addWidget(ButtonChiudi);
    v->addLayout(b);
    resize(900, 520);

    connect(ButtonSelezionaTutto, &QPushButton::clicked, this,
            &TSincroPrezziForm::ButtonSelezionaTuttoClick);
    connect(ButtonDeselezionaTutto, &QPushButton::clicked, this,
            &TSincroPrezziForm::ButtonDeselezionaTuttoClick);
    connect(ButtonAggiornaPrezzi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAggiornaPrezziClick(); }));
    // in a modal dialog the dialog is the window that closes
    connect(ButtonChiudi, &QPushButton::clicked, this, [this] { window()->close(); });
    connect(GridFormulazioni, &QAbstractItemView::doubleClicked, this,
            &TSincroPrezziForm::CambiaSelezione);

    // a list that cannot be read stays inactive: the error has been shown and
    // the buttons say there is nothing to update
    eseguiProtetto(this, [this] { CostruisciLista(); });
}

TSincroPrezziForm::~TSincroPrezziForm() = default;

void TSincroPrezziForm::CostruisciLista() {
    const QString materia = sql::testoNonNullo(CodiceMateria);
    QueryAux1.SQL = {QStringLiteral("SELECT *"), QStringLiteral("FROM FORMUL")};
    if (!CodiceMateria.isEmpty()) {
        QueryAux1.SQL << QStringLiteral("WHERE (CODICE IN(")
                      << QStringLiteral("SELECT CODICEFORMULAZIONE")
                      << QStringLiteral("FROM COMPON")
                      << QStringLiteral("WHERE CODICEMATERIAPRIMA=") + materia
                      << QStringLiteral("))");
    }
    QueryAux1.SQL << QStringLiteral("ORDER BY CODICE");

    // the costs of all the formulations listed, in one pass over their lines:
    // a line without a price adds nothing (one whose material is gone keeps
    // its formulation out of the list, below), a formulation without lines
    // has none here and costs 0
    QueryAux2.SQL = {QStringLiteral("SELECT A.CODICEFORMULAZIONE,"),
                     QStringLiteral("SUM(A.PERCENTUALE*B.PREZZO/100) AS TOTALE"),
                     QStringLiteral("FROM COMPON A LEFT JOIN MATER B ON"),
                     QStringLiteral("(A.CODICEMATERIAPRIMA=B.CODICE)")};
    if (!CodiceMateria.isEmpty()) {
        QueryAux2.SQL << QStringLiteral("WHERE (A.CODICEFORMULAZIONE IN(")
                      << QStringLiteral("SELECT CODICEFORMULAZIONE")
                      << QStringLiteral("FROM COMPON")
                      << QStringLiteral("WHERE CODICEMATERIAPRIMA=") + materia
                      << QStringLiteral("))");
    }
    QueryAux2.SQL << QStringLiteral("GROUP BY A.CODICEFORMULAZIONE")
                  << QStringLiteral("ORDER BY A.CODICEFORMULAZIONE");

    QHash<QString, std::optional<double>> somme;
    for (QueryAux2.open(); !QueryAux2.eof(); QueryAux2.next()) {
        const Campo totale = QueryAux2.field(1);
        somme.insert(QueryAux2.field(0).asString(),
                     totale.isNull() ? std::nullopt : std::optional<double>(totale.asFloat()));
    }
    QueryAux2.close();

    // a line whose material is no longer in the archive would count as 0:
    // its formulation keeps the cost it has, and the user is told
    QueryAux2.SQL = {QStringLiteral("SELECT DISTINCT A.CODICEFORMULAZIONE,A.CODICEMATERIAPRIMA"),
                     QStringLiteral("FROM COMPON A"),
                     QStringLiteral("WHERE (A.CODICEMATERIAPRIMA<>'')"),
                     QStringLiteral("AND NOT EXISTS (SELECT 1 FROM MATER B"),
                     QStringLiteral("WHERE B.CODICE=A.CODICEMATERIAPRIMA)")};
    if (!CodiceMateria.isEmpty()) {
        QueryAux2.SQL << QStringLiteral("AND (A.CODICEFORMULAZIONE IN(")
                      << QStringLiteral("SELECT CODICEFORMULAZIONE")
                      << QStringLiteral("FROM COMPON")
                      << QStringLiteral("WHERE CODICEMATERIAPRIMA=") + materia
                      << QStringLiteral("))");
    }
    QueryAux2.SQL << QStringLiteral("ORDER BY 1,2");
    QHash<QString, QStringList> materieMancanti;
    for (QueryAux2.open(); !QueryAux2.eof(); QueryAux2.next()) {
        materieMancanti[QueryAux2.field(0).asString()] << QueryAux2.field(1).asString();
    }
    QueryAux2.close();
    QStringList escluse; // "La materia prima X della formulazione N non esiste più"

    QueryAux1.open();
    Tab->definisci(QueryAux1.fields());
    const int colCodice = Tab->colonnaCodice();
    const int colCosto = Tab->colonnaCosto();
    const int n = QueryAux1.fieldCount();
    for (; !QueryAux1.eof(); QueryAux1.next()) {
        QStringList testi;
        testi.reserve(n);
        for (int i = 0; i < n; ++i) {
            testi << QueryAux1.field(i).asString();
        }
        if (colCodice >= 0 && materieMancanti.contains(testi[colCodice])) {
            escluse << costi::materieMancanti(testi[colCodice],
                                              materieMancanti.value(testi[colCodice]));
            continue;
        }
        std::optional<double> memorizzato;
        if (colCosto >= 0 && !QueryAux1.field(colCosto).isNull()) {
            memorizzato = QueryAux1.field(colCosto).asFloat();
        }
        const auto c = costi::confrontaCosto(
            memorizzato, colCodice >= 0 ? somme.value(testi[colCodice]) : std::nullopt);
        if (c.variato) {
            Tab->aggiungi(std::move(testi), c.ricalcolato);
        }
    }
    QueryAux1.close();

    QHeaderView* h = GridFormulazioni->horizontalHeader();
    if (colCosto >= 0) {
        h->moveSection(h->visualIndex(colCosto), 3);
    }
    h->moveSection(h->visualIndex(Tab->colonnaRicalcolato()), 4);
    // columns as wide as their title and the first rows, within reason
    h->setResizeContentsPrecision(200);
    GridFormulazioni->resizeColumnsToContents();
    for (int c = 0; c < Tab->columnCount(); ++c) {
        h->resizeSection(c, std::min(h->sectionSize(c), 240));
    }
    vaiARiga(0);

    if (!escluse.isEmpty()) {
        Messaggi::avviso(
            escluse.size() == 1
                ? escluse.first() + QStringLiteral(": il costo della formulazione resta quello "
                                                   "memorizzato.")
                : escluse.join(QStringLiteral(".\r\n")) +
                      QStringLiteral(".\r\nIl costo di queste formulazioni resta quello "
                                     "memorizzato."),
            this);
    }
}

void TSincroPrezziForm::vaiARiga(int riga) {
    if (Tab->rowCount() == 0) {
        return;
    }
    riga = std::clamp(riga, 0, Tab->rowCount() - 1);
    const QModelIndex attuale = GridFormulazioni->currentIndex();
    const int colonna = attuale.isValid() ? attuale.column()
                                          : GridFormulazioni->horizontalHeader()->logicalIndex(0);
    GridFormulazioni->setCurrentIndex(Tab->index(riga, std::max(0, colonna)));
}

void TSincroPrezziForm::CambiaSelezione() {
    const QModelIndex i = GridFormulazioni->currentIndex();
    if (Tab->rowCount() == 0 || !i.isValid()) {
        return;
    }
    Tab->seleziona(i.row(), !Tab->selezionata(i.row()));
}

void TSincroPrezziForm::selezionaTutte(bool si) {
    if (!Tab->attiva() || Tab->rowCount() == 0) {
        Messaggi::avviso(QStringLiteral("Nessuna formulazione visualizzata"), this);
        return;
    }
    const QModelIndex attuale = GridFormulazioni->currentIndex();
    Tab->selezionaTutte(si);
    vaiARiga(attuale.isValid() ? attuale.row() : 0);
}

void TSincroPrezziForm::ButtonSelezionaTuttoClick() {
    selezionaTutte(true);
}

void TSincroPrezziForm::ButtonDeselezionaTuttoClick() {
    selezionaTutte(false);
}

void TSincroPrezziForm::ButtonAggiornaPrezziClick() {
    if (!Tab->attiva() || Tab->rowCount() == 0) {
        Messaggi::avviso(QStringLiteral("Nessuna formulazione visualizzata"), this);
        return;
    }
    if (Tab->selezionate() == 0) {
        Messaggi::avviso(QStringLiteral("Nessuna formulazione selezionata"), this);
        return;
    }
    if (!Messaggi::conferma(
            QStringLiteral("Effettuare l'aggiornamento dei costi per le formulazioni selezionate?"),
            this)) {
        return;
    }
    // every cost of the run is committed together, and only then do the rows
    // leave the list: a run that fails leaves both archive and list as they were
    std::vector<int> aggiornate;
    QString codice;
    try {
        for (int r = 0; r < Tab->rowCount(); ++r) {
            if (!Tab->selezionata(r)) {
                continue;
            }
            codice = Tab->codice(r);
            QueryAux1.SQL = {QStringLiteral("UPDATE FORMUL SET"),
                             QStringLiteral("COSTOUNITARIO=") +
                                 sql::numero(Tab->ricalcolato(r).valore()),
                             QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(codice)};
            if (QueryAux1.execSQL() != 1) {
                // deleted by another user since the list was read
                throw DbError(QStringLiteral("formulazione %1 non trovata").arg(codice));
            }
            aggiornate.push_back(r);
        }
        Transazione.commitRetaining();
    } catch (const std::exception& e) {
        if (Transazione.active()) {
            Transazione.rollbackRetainingNoThrow();
        }
        const auto* db = dynamic_cast<const DbError*>(&e);
        qWarning("costo della formulazione %s non aggiornato: %s", qPrintable(codice),
                 db ? qPrintable(db->messaggio()) : e.what());
        Messaggi::errore(
            QStringLiteral("Errore interno durante l'aggiornamento del costo della formulazione"),
            this);
        return;
    }
    Tab->rimuovi(aggiornate);
    aggiornate_ += int(aggiornate.size());
    Messaggi::informazione(QStringLiteral("Aggiornamento effettuato"), this);
    GridFormulazioni->setCurrentIndex({});
    vaiARiga(0);
}

bool TSincroPrezziForm::eventFilter(QObject* o, QEvent* e) {
    if (o == GridFormulazioni && e->type() == QEvent::KeyRelease) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_F3 && !k->isAutoRepeat()) {
            CambiaSelezione();
            return true;
        }
    }
    return FinestraSessione::eventFilter(o, e);
}

void TSincroPrezziForm::showEvent(QShowEvent* e) {
    FinestraSessione::showEvent(e);
    if (!posizioneCaricata_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(window(), sessione_->NumUtente, kSituazioneFinestra,
                                &sessione_->IBDatabase1);
    }
}

void TSincroPrezziForm::SalvaPosizione() {
    SalvaPosizioneFinestra(window(), sessione_->NumUtente, kSituazioneFinestra,
                           &sessione_->IBDatabase1);
}

void TSincroPrezziForm::closeEvent(QCloseEvent* e) {
    SalvaPosizione();
    e->accept();
}

// ---------------------------------------------------------------- modal opening

namespace {

// The screen inside a dialog, so that it runs modally through the dialog
// service; the dialog's geometry is the screen's window position.
class DialogoSincroPrezzi : public QDialog {
public:
    DialogoSincroPrezzi(TTabXForm* sessione, QWidget* owner, const QString& codiceMateria)
        : QDialog(owner) {
        setObjectName(QStringLiteral("DialogoSincroPrezzi"));
        Schermata = new TSincroPrezziForm(sessione, codiceMateria, this);
        Schermata->setWindowFlags(Qt::Widget);
        Schermata->setAttribute(Qt::WA_DeleteOnClose, false);
        auto* l = new QVBoxLayout(this);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(Schermata);
        setWindowTitle(Schermata->windowTitle());
        if (owner) {
            setWindowIcon(owner->windowIcon());
        }
        resize(Schermata->size());
    }

    void done(int r) override {
        if (isVisible()) {
            Schermata->SalvaPosizione();
        }
        QDialog::done(r);
    }

    TSincroPrezziForm* Schermata;
};

} // namespace

int TSincroPrezziForm::mostra(TTabXForm* sessione, QWidget* owner, const QString& codiceMateria) {
    DialogoSincroPrezzi d(sessione, owner, codiceMateria);
    Messaggi::esegui(&d);
    return d.Schermata->Aggiornate();
}

} // namespace quintar
