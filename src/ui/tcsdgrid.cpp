#include "ui/tcsdgrid.h"

#include <QHash>

#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/esportaxlsx.h"
#include "ui/grigliamodello.h"
#include "ui/grigliaquery.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/tpcsdgridform.h"
#include "ui/trcsdgridform.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QtDebug>
#include <algorithm>
#include <firebird/Interface.h>
#include <optional>

namespace quintar {

namespace {

const QColor kColoreSecondaChiave(0xF3, 0xB4, 0xB4);
const QColor kColoreAltreChiavi(0xFF, 0xA4, 0x77);

// A list that orders itself ends with its ORDER BY line: where that line
// stands, -1 when there is none.
int rigaOrdineProprio(const QStringList& sql) {
    if (!sql.isEmpty() &&
        sql.last().trimmed().startsWith(QLatin1String("ORDER BY"), Qt::CaseInsensitive)) {
        return int(sql.size()) - 1;
    }
    return -1;
}

// The search's condition goes before such a line, never after it (where it
// would be read as part of the order).
void aggiungiCondizione(QStringList& sql, const QString& condizione) {
    const int i = rigaOrdineProprio(sql);
    if (i < 0) {
        sql << condizione;
    } else {
        sql.insert(i, condizione);
    }
}

bool haWhere(const QStringList& righe) {
    for (const QString& r : righe) {
        if (r.toUpper().contains(QLatin1String("WHERE"))) {
            return true;
        }
    }
    return false;
}

// Reads a statement up to the FROM of its first SELECT at the same depth
// (quotes, comments and parentheses skipped); `voci` gets the select list
// split at the commas of that depth. Returns where that FROM stands, -1 when
// there is none.
int leggiSelezione(const QString& sql, QStringList* voci) {
    int profondita = 0;
    int inizio = -1;
    QString voce;
    auto parolaIn = [&](int i, QLatin1String parola) {
        const int n = int(parola.size());
        if (sql.mid(i, n).compare(parola, Qt::CaseInsensitive) != 0) {
            return false;
        }
        const bool primaLibera = i == 0 || !(sql[i - 1].isLetterOrNumber() || sql[i - 1] == '_');
        const bool dopoLibera =
            i + n >= sql.size() || !(sql[i + n].isLetterOrNumber() || sql[i + n] == '_');
        return primaLibera && dopoLibera;
    };
    // the end of a quoted text or a comment starting at i (its last character)
    auto fineDi = [&](int i) -> int {
        const QChar c = sql[i];
        if (c == '\'' || c == '"') {
            int k = i + 1;
            while (k < sql.size() && sql[k] != c) {
                ++k;
            }
            return k;
        }
        if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const int k = sql.indexOf('\n', i);
            return k < 0 ? int(sql.size()) - 1 : k;
        }
        if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const int k = sql.indexOf(QLatin1String("*/"), i + 2);
            return k < 0 ? int(sql.size()) - 1 : k + 1;
        }
        return -1;
    };
    for (int i = 0; i < sql.size(); ++i) {
        if (const int fine = fineDi(i); fine >= 0) {
            if (inizio >= 0 && sql[i] != '-' && sql[i] != '/') {
                voce += sql.mid(i, fine - i + 1); // texts belong to the item
            }
            i = fine;
            continue;
        }
        const QChar ch = sql[i];
        if (inizio < 0) {
            if (parolaIn(i, QLatin1String("SELECT"))) {
                inizio = i + 6;
                i += 5;
            }
            continue;
        }
        if (ch == '(') {
            ++profondita;
        } else if (ch == ')') {
            --profondita;
        } else if (profondita == 0 && ch == ',') {
            if (voci) {
                *voci << voce.trimmed();
            }
            voce.clear();
            continue;
        } else if (profondita == 0 && parolaIn(i, QLatin1String("FROM"))) {
            if (voci && !voce.trimmed().isEmpty()) {
                *voci << voce.trimmed();
            }
            return i;
        }
        voce += ch;
    }
    return -1;
}

} // namespace

int posizioneFromPrincipale(const QString& sql) {
    return leggiSelezione(sql, nullptr);
}

QString espressioneAlias(const QString& sql, const QString& alias) {
    if (alias.isEmpty()) {
        return {};
    }
    QStringList voci;
    leggiSelezione(sql, &voci);
    if (!voci.isEmpty()) {
        // what stands before the first item is no part of it
        static const QRegularExpression modificatori(
            QStringLiteral("^(?:(?:DISTINCT|ALL)\\s+|(?:FIRST|SKIP)\\s+(?:\\d+|\\(.*?\\))\\s+)+"),
            QRegularExpression::CaseInsensitiveOption);
        voci.first().remove(modificatori);
    }
    // "expression AS ALIAS" or "expression ALIAS", the alias maybe quoted
    const QString nome = QRegularExpression::escape(alias);
    const QRegularExpression finale(
        QStringLiteral("^(.*?\\S)\\s+(?:AS\\s+)?(?:%1|\"%1\")$").arg(nome),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    for (const QString& voce : voci) {
        const auto m = finale.match(voce);
        if (m.hasMatch()) {
            return m.captured(1).trimmed();
        }
    }
    return {};
}

QString espressioneRicercaOrdinata(const QString& colonna, const std::vector<ColonnaChiave>& chiave,
                                   const QString& qualifica) {
    if (colonna.isEmpty() || chiave.empty()) {
        return {};
    }
    QString r = QStringLiteral("UPPER(") + qualifica + colonna + ')';
    for (const ColonnaChiave& k : chiave) {
        const QString c = qualifica + k.nome;
        QString parte;
        switch (k.tipo) {
        case 7: // SMALLINT
        case 8: // INTEGER
            if (k.scala != 0) {
                return {};
            }
            // from 0 to 4294967295: ten digits, in the order of the numbers
            parte = QStringLiteral("LPAD(%1 + 2147483648, 10, '0')").arg(c);
            break;
        case 14: // CHAR
        case 37: // VARCHAR
            parte = c;
            break;
        case 12: // DATE: joins the text as yyyy-mm-dd (the archive finds no
                 // index through a CAST to CHAR)
            parte = c;
            break;
        default:
            return {};
        }
        r += QStringLiteral(" || ASCII_CHAR(1) || ") + parte;
    }
    return r;
}

QString espressioneNormalizzata(const QString& espressione) {
    QString r;
    r.reserve(espressione.size());
    for (const QChar c : espressione) {
        if (!c.isSpace()) {
            r += c.toUpper();
        }
    }
    while (r.size() >= 2 && r.startsWith('(') && r.endsWith(')')) {
        // only when the first parenthesis closes at the very end
        int profondita = 0;
        bool intorno = true;
        for (int i = 0; i < r.size() - 1 && intorno; ++i) {
            if (r[i] == '(') {
                ++profondita;
            } else if (r[i] == ')') {
                intorno = --profondita > 0;
            }
        }
        if (!intorno) {
            break;
        }
        r = r.mid(1, r.size() - 2);
    }
    return r;
}

ClasseCampo classeCampo(TipoCampo t) {
    switch (t) {
    case TipoCampo::Intero:
    case TipoCampo::Decimale:
    case TipoCampo::Virgola:
        return ClasseCampo::Numero;
    case TipoCampo::Data:
    case TipoCampo::DataOra:
        return ClasseCampo::Data;
    case TipoCampo::Memo:
    case TipoCampo::Binario:
        return ClasseCampo::Blob;
    default:
        return ClasseCampo::Testo;
    }
}

QColor coloreDaIntero(qint64 v) {
    if (v == 0) {
        return {};
    }
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

qint64 coloreInIntero(const QColor& c) {
    if (!c.isValid()) {
        return 0;
    }
    return qint64(c.red()) | (qint64(c.green()) << 8) | (qint64(c.blue()) << 16);
}

TCSDGrid::TCSDGrid(QWidget* parent) : QTableView(parent), modello_(new GrigliaModello(this)) {
    setModel(modello_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            protetto(this, [this](int logico) {
                OrdinaColonna(logico, modificatoriTitoli_ & Qt::ControlModifier);
            }));
    // rows refused while scrolling: the list keeps what it read and says why
    connect(modello_, &GrigliaModello::erroreLettura, this,
            [this](const QString& m) { Messaggi::errore(m, this); });

    TimerRicerca = new QTimer(this);
    TimerRicerca->setObjectName(QStringLiteral("TimerRicerca"));
    TimerRicerca->setSingleShot(true);
    TimerRicerca->setInterval(1000);
    connect(TimerRicerca, &QTimer::timeout, this, protetto(this, [this] {
                if (dialogo_) {
                    EseguiRicerca(dialogo_->parametri());
                }
            }));

    MenuGriglia = new QMenu(this);
    MenuGriglia->setObjectName(QStringLiteral("MenuGriglia"));
    auto voce = [this](const QString& testo, const QString& nome, QKeySequence tasto) {
        QAction* a = new QAction(testo, this);
        a->setObjectName(nome);
        if (!tasto.isEmpty()) {
            a->setShortcut(tasto);
            // the keys act through keyReleaseEvent, only while the grid has the focus
            a->setShortcutContext(Qt::WidgetShortcut);
        }
        MenuGriglia->addAction(a);
        return a;
    };
    VoceRicerca = voce(QStringLiteral("Ricerca su campo Corrente"), QStringLiteral("VoceRicerca"),
                       QKeySequence(Qt::Key_F5));
    VoceAnnullaRicerca = voce(QStringLiteral("Annulla ricerca"),
                              QStringLiteral("VoceAnnullaRicerca"), QKeySequence(Qt::Key_F6));
    VoceRicercaChiave = voce(QStringLiteral("Ricerca su chiave "),
                             QStringLiteral("VoceRicercaChiave"), QKeySequence(Qt::Key_F7));
    VoceQuery =
        voce(QStringLiteral("Query"), QStringLiteral("VoceQuery"), QKeySequence(Qt::Key_F8));
    VoceDimezza = voce(QStringLiteral("Dimezza larghezza colonna"), QStringLiteral("VoceDimezza"),
                       QKeySequence(Qt::Key_F9));
    VocePersonalizza =
        voce(QStringLiteral("Personalizza Griglia"), QStringLiteral("VocePersonalizza"), {});
    VoceEsportaExcel =
        voce(QStringLiteral("Esporta in Excel"), QStringLiteral("VoceEsportaExcel"), {});
    VoceRicercaChiave->setVisible(false);
    VoceRicercaChiave->setEnabled(false);
    connect(VoceRicerca, &QAction::triggered, this,
            protetto(this, [this] { RicercaSuCampoCorrente(); }));
    connect(VoceAnnullaRicerca, &QAction::triggered, this,
            protetto(this, [this] { AnnullaRicerca(); }));
    connect(VoceQuery, &QAction::triggered, this, protetto(this, [this] { ApriQuery(); }));
    connect(VoceDimezza, &QAction::triggered, this,
            protetto(this, [this] { DimezzaLarghezzaColonna(); }));
    connect(VocePersonalizza, &QAction::triggered, this,
            protetto(this, [this] { PersonalizzaGriglia(); }));
    connect(VoceEsportaExcel, &QAction::triggered, this,
            protetto(this, [this] { EsportaExcel(); }));
    connect(MenuGriglia, &QMenu::aboutToShow, this, [this] { aggiornaMenu(); });
}

// The query may already be gone when the grid is destroyed with its screen:
// nothing here touches it.
TCSDGrid::~TCSDGrid() = default;

// ------------------------------------------------------------ source and hooks

void TCSDGrid::setSorgenteDati(Query* q) {
    if (query_ == q) {
        return;
    }
    if (query_) {
        query_->beforeOpen = primaDiAprire_;
        query_->afterOpen = dopoAvereAperto_;
    }
    query_ = q;
    collegata_ = false;
    modello_->setQuery(q);
    primaDiAprire_ = nullptr;
    dopoAvereAperto_ = nullptr;
    sqlOrigini_.clear();
    tabellaChiave_.clear();
    tabellaIndici_.clear();
    if (!q) {
        return;
    }
    if (TabellaAspettoGriglia.isEmpty()) {
        TabellaAspettoGriglia = QStringLiteral("STOASP1");
    }
    if (TabellaPosizioneFinestre.isEmpty()) {
        TabellaPosizioneFinestre = QStringLiteral("STOPOS1");
    }
    if (TabellaAspettoGriglie.isEmpty()) {
        TabellaAspettoGriglie = QStringLiteral("SETGRID");
    }
    primaDiAprire_ = q->beforeOpen;
    dopoAvereAperto_ = q->afterOpen;
    QPointer<TCSDGrid> io(this);
    auto prima = primaDiAprire_;
    auto dopo = dopoAvereAperto_;
    q->beforeOpen = [io, prima](Query& x) {
        if (io) {
            // a grid's settings are read when its list first opens: a screen
            // with many pages reads only those of the lists it shows
            if (!io->impostazioniLette_) {
                io->leggiImpostazioni();
            }
            io->ImpostaOrdinamento(x);
        } else if (prima) {
            prima(x);
        }
    };
    q->afterOpen = [io, dopo](Query& x) {
        if (io) {
            io->dopoApertura(x);
        } else if (dopo) {
            dopo(x);
        }
    };
    impostazioniLette_ = false;
    if (q->isOpen()) {
        leggiImpostazioni();
        if (modello_->ricarica()) {
            aspettoProgettato();
        }
        CaricaAspetto();
    }
}

void TCSDGrid::collega(Query* q, std::function<QStringList()> testoBase) {
    // the query may outlive the grid (or change grid): the hooks then do nothing
    auto prima = q->beforeOpen;
    QPointer<TCSDGrid> io(this);
    q->beforeOpen = [io, prima, testoBase = std::move(testoBase)](Query& x) {
        if (prima) {
            prima(x);
        }
        if (!io || io->query_ != &x || io->ricercaInCorso_) {
            return; // a grid search is running: its text stands
        }
        x.SQL = testoBase();
        io->SQLIniziale = x.SQL;
        io->CaricaAspetto();
    };
    q->beforeClose = [io](Query& x) {
        if (io && io->query_ == &x && !io->ricercaInCorso_ && x.isOpen() &&
            !io->RipristinoInCorso) {
            io->SalvaAspetto();
        }
    };
    setSorgenteDati(q);
    collegata_ = true;
}

void TCSDGrid::inizioRicerca() {
    ricercaInCorso_ = true;
    emit OnInizioRicerca();
}

void TCSDGrid::fineRicerca() {
    ricercaInCorso_ = false;
    emit OnFineRicerca();
}

void TCSDGrid::leggiImpostazioni() {
    impostazioniLette_ = true;
    ColoreCampoOrd = QColor(0xFF, 0x00, 0x00);
    AbilitaTimerRic = true;
    if (!query_ || !query_->database() || !query_->database()->connected()) {
        return;
    }
    try {
        Query r(query_->database(), &query_->database()->lettura());
        r.SQL = {QStringLiteral("SELECT COLORECAMPOORD, ABILITATIMERRIC FROM ") +
                     sql::identificatore(TabellaAspettoGriglie),
                 QStringLiteral("WHERE (CODICEUTENTE=") + sql::intero(qint64(Utente)) +
                     QStringLiteral(") AND (CODICEPROGETTO=") +
                     sql::intero(qint64(CodiceProgetto)) + QStringLiteral(")")};
        r.open();
        if (!r.eof()) {
            const qint64 colore = interoMemorizzato(r.field(0)).value_or(0);
            if (colore != 0) {
                ColoreCampoOrd = coloreDaIntero(colore);
            }
            AbilitaTimerRic = interoMemorizzato(r.field(1)) == 1;
        }
        r.close();
    } catch (const DbError& e) {
        qWarning("Impostazioni della griglia non leggibili: %s", qPrintable(e.messaggio()));
    }
}

QString TCSDGrid::chiaveAspetto() const {
    return QStringLiteral("WHERE (CODICEPROGETTO=") + sql::intero(qint64(CodiceProgetto)) +
           QStringLiteral(") AND (CODICESITUAZIONE=") + sql::intero(qint64(Situazione)) +
           QStringLiteral(") AND (CODICEUTENTE=") + sql::intero(qint64(Utente)) +
           QStringLiteral(")");
}

void TCSDGrid::ImpostaOrdinamento(Query& q) {
    if (primaDiAprire_) {
        primaDiAprire_(q);
    }
    // a list its screen opens with its own statement: that statement, without
    // the order line this grid added, is what searches and orders start from
    if (!collegata_ && !riapreLaGriglia_) {
        SQLIniziale = q.SQL;
        if (!ultimaRigaOrdine_.isEmpty() && !SQLIniziale.isEmpty() &&
            SQLIniziale.last() == ultimaRigaOrdine_) {
            SQLIniziale.removeLast();
        }
    }
    if (ModoOrdinamento == 0) {
        caricaOrdinamento();
    }
    if (dialogoAperto_ || ordineProprio_ || !OrderBy) {
        return;
    }
    // an order line left by an earlier open of the same text goes away first
    if (!ultimaRigaOrdine_.isEmpty() && !q.SQL.isEmpty() && q.SQL.last() == ultimaRigaOrdine_) {
        q.SQL.removeLast();
    }
    QString riga = rigaOrdineCorrente(q.SQL);
    if (!riga.isEmpty() && PrimaRiga > 0) {
        riga += QStringLiteral(" ROWS %1 TO 2147483647").arg(PrimaRiga);
    }
    if (!riga.isEmpty()) {
        q.SQL << riga;
    }
    ultimaRigaOrdine_ = riga;
}

void TCSDGrid::dopoApertura(Query& q) {
    if (dopoAvereAperto_) {
        dopoAvereAperto_(q);
    }
    int colonna = colonnaAttuale();
    if (modello_->ricarica()) {
        aspettoProgettato();
        colonna = -1;
    }
    CaricaAspetto();
    if (dialogoAperto_ && colonnaRicerca_ >= 0) {
        colonna = colonnaRicerca_;
    }
    if (colonna < 0 || colonna >= modello_->columnCount()) {
        colonna = horizontalHeader()->logicalIndex(0);
    }
    if (modello_->rowCount() > 0 && colonna >= 0) {
        setCurrentIndex(modello_->index(0, colonna));
    }
    dipingiTitoli();
}

void TCSDGrid::caricaOrdinamento() {
    ModoOrdinamento = 1;
    OrdineSingolo = {};
    OrdineMultiplo.clear();
    if (!query_ || !query_->database() || !query_->database()->connected()) {
        return;
    }
    try {
        Query r(query_->database(), &query_->database()->lettura());
        // the order in C++: a value left empty counts as no order, where
        // ABS() in the statement would fail on converting it
        r.SQL = {QStringLiteral("SELECT Ordinamento,NomeCampo,Origine,Posizione FROM ") +
                     sql::identificatore(TabellaAspettoGriglia),
                 chiaveAspetto(),
                 QStringLiteral("AND (Ordinamento IS NOT NULL) ORDER BY Posizione")};
        std::vector<std::pair<qint64, ChiaveOrdine>> lette;
        bool multiplo = false;
        for (r.open(); !r.eof(); r.next()) {
            const std::optional<qint64> ord = interoMemorizzato(r.field(0));
            if (!ord) {
                continue;
            }
            ChiaveOrdine k;
            k.nome = r.field(1).asString();
            const QString origine = r.field(2).asString();
            k.espressione = origine.isEmpty() ? k.nome : origine;
            k.colonna = int(interoMemorizzato(r.field(3)).value_or(0));
            k.direzione = *ord < 0 || *ord == 2 ? 2 : 1;
            if (qAbs(*ord) > 2) {
                multiplo = true;
            }
            lette.emplace_back(qAbs(*ord), k);
        }
        std::stable_sort(lette.begin(), lette.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<ChiaveOrdine> chiavi;
        for (auto& [ord, k] : lette) {
            chiavi.push_back(std::move(k));
        }
        r.close();
        if (multiplo) {
            ModoOrdinamento = 2;
            OrdineMultiplo = chiavi;
        } else if (!chiavi.empty()) {
            OrdineSingolo = chiavi.front();
        }
    } catch (const DbError& e) {
        qWarning("Ordinamento della griglia non leggibile: %s", qPrintable(e.messaggio()));
    }
}

QString TCSDGrid::rigaOrdineTitoli(const QStringList& origini, bool upper) {
    QStringList espressioni;
    QStringList parti;
    auto aggiungi = [&](const ChiaveOrdine& k) {
        if (!k.valida() || !origini.contains(k.espressione, Qt::CaseInsensitive)) {
            return;
        }
        // UPPER only on text: numbers and dates keep their own order
        const int c = modello_->indiceCampo(k.nome);
        const bool testo =
            c >= 0 && classeCampo(modello_->campi()[size_t(c)].tipo) == ClasseCampo::Testo;
        const bool maiuscole = upper && testo;
        QString e = maiuscole ? QStringLiteral("UPPER(") + k.espressione + ')' : k.espressione;
        if (!maiuscole) {
            espressioni << k.espressione; // in capitals it still needs itself to break ties
        }
        parti << (k.direzione == 2 ? e + QStringLiteral(" DESC") : e);
    };
    if (ModoOrdinamento == 2) {
        for (const ChiaveOrdine& k : OrdineMultiplo) {
            aggiungi(k);
        }
    } else {
        aggiungi(OrdineSingolo);
    }
    if (parti.isEmpty()) {
        return {};
    }
    parti << spareggio(espressioni, origini);
    return QStringLiteral("ORDER BY ") + parti.join(',');
}

QString TCSDGrid::rigaOrdineCorrente(const QStringList& sql) {
    if (!OrderBy) {
        return {};
    }
    const bool conOrdine = ModoOrdinamento == 2 ? !OrdineMultiplo.empty() : OrdineSingolo.valida();
    // a title order the statement cannot take (a computed column) leaves the key
    const QString riga = conOrdine ? rigaOrdineTitoli(originiDi(sql), false) : QString();
    return riga.isEmpty() ? ordineChiavePrimaria() : riga;
}

QStringList TCSDGrid::spareggio(const QStringList& giaOrdinate, const QStringList& origini) {
    QStringList r;
    for (const QString& k : colonneChiave()) {
        if (!giaOrdinate.contains(k, Qt::CaseInsensitive) &&
            origini.contains(k, Qt::CaseInsensitive)) {
            r << k;
        }
    }
    return r;
}

QString TCSDGrid::ordineChiavePrimaria() {
    const QStringList colonne = colonneChiave();
    return colonne.isEmpty() ? QString() : QStringLiteral("ORDER BY ") + colonne.join(',');
}

QStringList TCSDGrid::colonneChiave() {
    const QString tabella = NomeTabella.trimmed();
    if (tabella.isEmpty() || !query_ || !query_->database() || !query_->database()->connected()) {
        return {};
    }
    if (tabellaChiave_ == tabella) {
        return colonneChiave_;
    }
    colonneChiave_.clear();
    // a table's key is read once per archive while this process changes no
    // structure: every list of every screen asks
    struct Chiave {
        quint64 generazione;
        QStringList colonne;
    };
    static QHash<QString, Chiave> giaLette;
    const QString chiave = query_->database()->databaseName() + QChar(0) + tabella;
    const auto letta = giaLette.constFind(chiave);
    if (letta != giaLette.constEnd() && letta->generazione == generazioneStruttura()) {
        colonneChiave_ = letta->colonne;
        tabellaChiave_ = tabella;
        return colonneChiave_;
    }
    try {
        Query r(query_->database(), &query_->database()->lettura());
        r.SQL = {QStringLiteral("SELECT B.RDB$FIELD_NAME"),
                 QStringLiteral("FROM RDB$RELATION_CONSTRAINTS A LEFT JOIN"),
                 QStringLiteral("RDB$INDEX_SEGMENTS B ON"),
                 QStringLiteral("(A.RDB$INDEX_NAME=B.RDB$INDEX_NAME)"),
                 QStringLiteral("WHERE (A.RDB$RELATION_NAME=") +
                     sql::testoNonNullo(sql::identificatore(tabella).remove('"')) +
                     QStringLiteral(")"),
                 QStringLiteral("AND(A.RDB$CONSTRAINT_TYPE='PRIMARY KEY')"),
                 QStringLiteral("ORDER BY B.RDB$FIELD_POSITION")};
        QStringList colonne;
        for (r.open(); !r.eof(); r.next()) {
            QString c = tabella + '.' + r.field(0).asString();
            c.remove(' ');
            colonne << c;
        }
        r.close();
        colonneChiave_ = colonne;
        tabellaChiave_ = tabella;
        giaLette.insert(chiave, {generazioneStruttura(), colonne});
    } catch (const DbError& e) {
        qWarning("Chiave primaria di %s non leggibile: %s", qPrintable(tabella),
                 qPrintable(e.messaggio()));
    }
    return colonneChiave_;
}

void TCSDGrid::leggiIndiciRicerca(const QString& tabella) {
    tabellaIndici_ = tabella;
    tipiChiave_.clear();
    indiciCrescenti_.clear();
    indiciDecrescenti_.clear();
    try {
        Query r(query_->database(), &query_->database()->lettura());
        const QString nome = sql::testoNonNullo(sql::identificatore(tabella).remove('"'));
        r.SQL = {QStringLiteral("SELECT TRIM(S.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, "
                                "COALESCE(F.RDB$FIELD_SCALE, 0)"),
                 QStringLiteral("FROM RDB$RELATION_CONSTRAINTS C"),
                 QStringLiteral("JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME"),
                 QStringLiteral("JOIN RDB$RELATION_FIELDS R ON R.RDB$RELATION_NAME = "
                                "C.RDB$RELATION_NAME AND R.RDB$FIELD_NAME = S.RDB$FIELD_NAME"),
                 QStringLiteral("JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = R.RDB$FIELD_SOURCE"),
                 QStringLiteral("WHERE C.RDB$RELATION_NAME = ") + nome +
                     QStringLiteral(" AND C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"),
                 QStringLiteral("ORDER BY S.RDB$FIELD_POSITION")};
        for (r.open(); !r.eof(); r.next()) {
            tipiChiave_.push_back(
                {r.field(0).asString(), int(r.field(1).asInteger()), int(r.field(2).asInteger())});
        }
        r.close();
        r.SQL = {QStringLiteral("SELECT RDB$EXPRESSION_SOURCE, COALESCE(RDB$INDEX_TYPE, 0) FROM "
                                "RDB$INDICES"),
                 QStringLiteral("WHERE RDB$RELATION_NAME = ") + nome +
                     QStringLiteral(" AND RDB$EXPRESSION_SOURCE IS NOT NULL"),
                 QStringLiteral("AND COALESCE(RDB$INDEX_INACTIVE, 0) = 0")};
        for (r.open(); !r.eof(); r.next()) {
            const QString e = espressioneNormalizzata(r.field(0).asString());
            (r.field(1).asInteger() == 1 ? indiciDecrescenti_ : indiciCrescenti_) << e;
        }
        r.close();
    } catch (const DbError& e) {
        // searched as before, through the column's own index if any
        tipiChiave_.clear();
        indiciCrescenti_.clear();
        indiciDecrescenti_.clear();
        qWarning("Indici di %s non leggibili: %s", qPrintable(tabella), qPrintable(e.messaggio()));
    }
}

namespace {

// What a LIKE pattern typed by the user fixes at its start: the text before
// its first wildcard.
QString inizioFisso(const QString& modello) {
    int i = 0;
    while (i < modello.size() && modello[i] != '%' && modello[i] != '_') {
        ++i;
    }
    return modello.left(i);
}

} // namespace

std::optional<TCSDGrid::FormaRicerca> TCSDGrid::formaRicerca(const InfoCampo& campo,
                                                             const ParametriRicerca& p) {
    const QString tabella = NomeTabella.trimmed();
    if (tabella.isEmpty() || campo.tabella.compare(tabella, Qt::CaseInsensitive) != 0 ||
        EspressioneRicerca != campo.origine() || !query_ || !query_->database() ||
        !query_->database()->connected()) {
        return std::nullopt;
    }
    // only a condition that starts the index somewhere: ">=", or a beginning
    // typed before any wildcard. A text contained anywhere is no place in the
    // index: its rows are sorted, not looked for through the whole index.
    if (p.tipo == 1 || (p.tipo == 2 && inizioFisso(p.testo).isEmpty())) {
        return std::nullopt;
    }
    if (tabellaIndici_ != tabella) {
        leggiIndiciRicerca(tabella);
    }
    // the key ends the order only where the statement may name it
    const QStringList origini = originiDi(SQLIniziale);
    for (const ColonnaChiave& k : tipiChiave_) {
        if (!origini.contains(campo.tabella + '.' + k.nome, Qt::CaseInsensitive)) {
            return std::nullopt;
        }
    }
    const QString forma =
        espressioneNormalizzata(espressioneRicercaOrdinata(campo.colonna, tipiChiave_));
    if (forma.isEmpty() || !indiciCrescenti_.contains(forma)) {
        return std::nullopt;
    }
    return FormaRicerca{espressioneRicercaOrdinata(campo.colonna, tipiChiave_, campo.tabella + '.'),
                        indiciDecrescenti_.contains(forma)};
}

// The origins (TABLE.COLUMN) of the fields of a statement, read from the
// prepared statement without running it.
QStringList TCSDGrid::originiDi(const QStringList& righe) {
    const QString testo = righe.join('\n');
    if (testo == sqlOrigini_) {
        return origini_;
    }
    QStringList origini;
    if (!query_ || !query_->database() || !query_->database()->connected() ||
        !query_->transaction()) {
        return origini;
    }
    using namespace Firebird;
    IMaster* master = fb_get_master_interface();
    ThrowStatusWrapper st(master->getStatus());
    IStatement* stmt = nullptr;
    IMessageMetadata* meta = nullptr;
    try {
        ITransaction* tra = query_->transaction()->ensure();
        const QByteArray s = testo.toUtf8();
        registraChiamata(Chiamata::Preparazione, testo);
        stmt = query_->database()->handle()->prepare(&st, tra, 0, s.constData(), 3,
                                                     IStatement::PREPARE_PREFETCH_METADATA);
        meta = stmt->getOutputMetadata(&st);
        const unsigned n = meta->getCount(&st);
        for (unsigned i = 0; i < n; ++i) {
            const QString tabella = QString::fromUtf8(meta->getRelation(&st, i)).trimmed();
            const QString colonna = QString::fromUtf8(meta->getField(&st, i)).trimmed();
            if (!tabella.isEmpty()) {
                origini << tabella + '.' + colonna;
            }
        }
        meta->release();
        meta = nullptr;
        registraChiamata(Chiamata::Differita);
        stmt->free(&st);
        stmt = nullptr;
        sqlOrigini_ = testo;
        origini_ = origini;
    } catch (const FbException&) {
        // the open that follows reports what is wrong with the statement
        if (meta) {
            meta->release();
        }
        if (stmt) {
            stmt->release();
        }
    } catch (const DbError&) {
        if (meta) {
            meta->release();
        }
        if (stmt) {
            stmt->release();
        }
    }
    st.dispose();
    return origini;
}

// ------------------------------------------------------------ layout

int TCSDGrid::larghezzaColonna(int colonna) const {
    if (isColumnHidden(colonna)) {
        auto it = larghezzeNascoste_.find(colonna);
        return it != larghezzeNascoste_.end() ? it->second
                                              : horizontalHeader()->defaultSectionSize();
    }
    return columnWidth(colonna);
}

void TCSDGrid::aspettoProgettato() {
    QHeaderView* h = horizontalHeader();
    larghezzeNascoste_.clear();
    const auto& campi = modello_->campi();
    const int carattere = fontMetrics().horizontalAdvance(QLatin1Char('X'));
    for (int c = 0; c < int(campi.size()); ++c) {
        h->moveSection(h->visualIndex(c), c);
        setColumnHidden(c, false);
        int caratteri = 12;
        switch (campi[size_t(c)].tipo) {
        case TipoCampo::Testo:
            caratteri = std::clamp(campi[size_t(c)].lunghezza, 4, 30);
            break;
        case TipoCampo::Data:
            caratteri = 10;
            break;
        case TipoCampo::DataOra:
            caratteri = 17;
            break;
        case TipoCampo::Memo:
            caratteri = 30;
            break;
        default:
            break;
        }
        caratteri = std::max<int>(caratteri, int(campi[size_t(c)].nome.size()));
        setColumnWidth(c, caratteri * carattere + 12);
    }
    modello_->aspettoProgettato();
}

void TCSDGrid::SalvaAspetto() {
    if (!query_ || !query_->isOpen() || modello_->columnCount() == 0 || !query_->database()) {
        return;
    }
    struct Riga {
        QString nome;
        QString origine;
        int larghezza;
        QString titolo;
        std::optional<int> ordinamento;
        int visibile;
        qint64 colore;
    };
    const auto& campi = modello_->campi();
    const int n = int(campi.size());
    std::vector<Riga> attuali;
    for (int v = 0; v < n; ++v) {
        const int c = horizontalHeader()->logicalIndex(v);
        const InfoCampo& f = campi[size_t(c)];
        Riga r;
        r.nome = f.nome.toUpper().left(64);
        r.origine = f.origine().toUpper().left(128);
        r.larghezza = larghezzaColonna(c);
        r.titolo = modello_->titolo(c).left(25);
        if (ModoOrdinamento == 2) {
            for (size_t i = 0; i < OrdineMultiplo.size(); ++i) {
                if (OrdineMultiplo[i].nome.compare(f.nome, Qt::CaseInsensitive) == 0) {
                    const int valore = int(i + 1) * 10;
                    r.ordinamento = OrdineMultiplo[i].direzione == 2 ? -valore : valore;
                    break;
                }
            }
        } else if (OrdineSingolo.valida() &&
                   OrdineSingolo.nome.compare(f.nome, Qt::CaseInsensitive) == 0) {
            r.ordinamento = OrdineSingolo.direzione == 2 ? 2 : 1;
        }
        r.visibile = isColumnHidden(c) ? 0 : 1;
        r.colore = coloreInIntero(modello_->coloreColonna(c));
        attuali.push_back(r);
    }
    try {
        const QString tabella = sql::identificatore(TabellaAspettoGriglia);
        ScriviRigheUtente(query_->database(), [&](Query& q) {
            q.SQL = {QStringLiteral("SELECT NOMECAMPO, POSIZIONE, LARGHEZZA, ORDINAMENTO FROM ") +
                         tabella,
                     chiaveAspetto(), QStringLiteral("ORDER BY POSIZIONE")};
            bool cambiato = false;
            int i = 0;
            for (q.open(); !q.eof(); q.next(), ++i) {
                if (i >= n) {
                    cambiato = true;
                    break;
                }
                const std::optional<qint64> ord = interoMemorizzato(q.field(3));
                const Riga& r = attuali[size_t(i)];
                if (q.field(0).asString() != r.nome || interoMemorizzato(q.field(1)) != i ||
                    interoMemorizzato(q.field(2)) != r.larghezza ||
                    ord != (r.ordinamento ? std::optional<qint64>(*r.ordinamento) : std::nullopt) ||
                    (ord && qAbs(*ord) > 2)) {
                    cambiato = true;
                }
            }
            q.close();
            if (!cambiato && i == n && ModoOrdinamento != 2) {
                return;
            }
            // row by row, each with one statement: another process of the same
            // user saving this grid at the same moment leaves one whole layout,
            // never a half or a failed save
            q.SQL = {QStringLiteral("UPDATE OR INSERT INTO ") + tabella +
                         QStringLiteral(" (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, "
                                        "NOMECAMPO, ORIGINE, POSIZIONE, LARGHEZZA, NOMECOLONNA, "
                                        "ORDINAMENTO, VISIBILE, COLORECOLONNA)"),
                     QStringLiteral("VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
                     QStringLiteral("MATCHING (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, "
                                    "POSIZIONE)")};
            for (int p = 0; p < n; ++p) {
                const Riga& r = attuali[size_t(p)];
                q.setParams({CodiceProgetto, Situazione, Utente, r.nome,
                             r.origine.isEmpty() ? QVariant() : QVariant(r.origine), p, r.larghezza,
                             r.titolo, r.ordinamento ? QVariant(*r.ordinamento) : QVariant(),
                             r.visibile, r.colore == 0 ? QVariant() : QVariant(r.colore)});
                q.execSQL();
            }
            q.clearParams();
            // columns the query no longer has
            q.SQL = {QStringLiteral("DELETE FROM ") + tabella, chiaveAspetto(),
                     QStringLiteral("AND (POSIZIONE >= ") + sql::intero(qint64(n)) +
                         QStringLiteral(" OR POSIZIONE < 0)")};
            q.execSQL();
        });
    } catch (const DbError& e) {
        qWarning("Aspetto della griglia non salvato: %s", qPrintable(e.messaggio()));
    }
}

void TCSDGrid::CaricaAspetto() {
    if (!query_) {
        return;
    }
    if (!query_->isOpen()) {
        if (!CondizioneRicerca.isEmpty()) {
            aggiungiCondizione(query_->SQL, condizionePer(query_->SQL));
        }
        return;
    }
    if (modello_->columnCount() == 0 || !query_->database()) {
        return;
    }
    struct Riga {
        int colonna;
        int posizione;
        int larghezza;
        QString titolo;
        bool titoloNullo;
        bool visibile;
        qint64 colore;
    };
    std::vector<Riga> righe;
    try {
        Database* db = query_->database();
        Query q(db, &db->lettura());
        q.SQL = {QStringLiteral("SELECT NOMECAMPO, POSIZIONE, LARGHEZZA, NOMECOLONNA, VISIBILE, "
                                "COLORECOLONNA FROM ") +
                     sql::identificatore(TabellaAspettoGriglia),
                 chiaveAspetto(), QStringLiteral("ORDER BY POSIZIONE")};
        for (q.open(); !q.eof(); q.next()) {
            const QString nome = q.field(0).asString();
            int colonna = -1;
            const auto& campi = modello_->campi();
            for (size_t c = 0; c < campi.size(); ++c) {
                if (campi[c].nome.toUpper().left(64) == nome.toUpper()) {
                    colonna = int(c);
                    break;
                }
            }
            if (colonna < 0) {
                continue; // the query no longer has this field
            }
            // a value left empty counts as not stored
            const std::optional<qint64> visibile = interoMemorizzato(q.field(4));
            righe.push_back({colonna, int(interoMemorizzato(q.field(1)).value_or(-1)),
                             int(interoMemorizzato(q.field(2)).value_or(0)), q.field(3).asString(),
                             q.field(3).isNull(), !visibile || *visibile != 0,
                             interoMemorizzato(q.field(5)).value_or(0)});
        }
        q.close();
    } catch (const DbError& e) {
        qWarning("Aspetto della griglia non leggibile: %s", qPrintable(e.messaggio()));
        return;
    }
    QHeaderView* h = horizontalHeader();
    const int n = modello_->columnCount();
    for (const Riga& r : righe) {
        if (r.posizione >= 0 && r.posizione < n) {
            h->moveSection(h->visualIndex(r.colonna), r.posizione);
        }
    }
    for (const Riga& r : righe) {
        if (r.larghezza > 0) {
            if (isColumnHidden(r.colonna)) {
                larghezzeNascoste_[r.colonna] = r.larghezza;
            } else {
                setColumnWidth(r.colonna, r.larghezza);
            }
        }
        if (!r.titoloNullo) {
            modello_->setTitolo(r.colonna, r.titolo);
        }
        modello_->setColoreColonna(r.colonna, coloreDaIntero(r.colore));
        if (!r.visibile && !isColumnHidden(r.colonna)) {
            larghezzeNascoste_[r.colonna] = r.larghezza > 0 ? r.larghezza : columnWidth(r.colonna);
            setColumnHidden(r.colonna, true);
        } else if (r.visibile && isColumnHidden(r.colonna)) {
            const int larghezza = larghezzaColonna(r.colonna);
            setColumnHidden(r.colonna, false);
            setColumnWidth(r.colonna, larghezza > 0 ? larghezza : 64);
            larghezzeNascoste_.erase(r.colonna);
        }
    }
    dipingiTitoli();
}

// The active condition for a base SQL: the screen may have added or removed
// its own WHERE since the search ran, so the connector follows the base.
QString TCSDGrid::condizionePer(const QStringList& base) const {
    QString corpo = CondizioneRicerca;
    if (corpo.startsWith(QLatin1String("WHERE("))) {
        corpo.remove(0, 5);
    } else if (corpo.startsWith(QLatin1String("AND("))) {
        corpo.remove(0, 3);
    } else {
        return CondizioneRicerca;
    }
    return (haWhere(base) ? QStringLiteral("AND") : QStringLiteral("WHERE")) + corpo;
}

void TCSDGrid::dipingiTitoli() {
    modello_->azzeraColoriTitoli();
    if (ModoOrdinamento == 2) {
        for (size_t i = 0; i < OrdineMultiplo.size(); ++i) {
            const int c = modello_->indiceCampo(OrdineMultiplo[i].nome);
            modello_->setColoreTitolo(c, i == 0   ? ColoreCampoOrd
                                         : i == 1 ? kColoreSecondaChiave
                                                  : kColoreAltreChiavi);
        }
    } else if (OrdineSingolo.valida()) {
        modello_->setColoreTitolo(modello_->indiceCampo(OrdineSingolo.nome), ColoreCampoOrd);
    }
}

// ------------------------------------------------------------ actions

bool TCSDGrid::gestisciErrore(const std::function<void()>& f) {
    return eseguiProtetto(this, f);
}

void TCSDGrid::riapri(const QStringList& sql, bool ordineProprio) {
    query_->close();
    query_->SQL = sql;
    ordineProprio_ = ordineProprio;
    riapreLaGriglia_ = true;
    try {
        query_->open();
    } catch (...) {
        ordineProprio_ = false;
        riapreLaGriglia_ = false;
        modello_->svuota();
        throw;
    }
    ordineProprio_ = false;
    riapreLaGriglia_ = false;
}

void TCSDGrid::OrdinaColonna(int colonna, bool ctrl) {
    if (!query_ || colonna < 0 || colonna >= modello_->columnCount()) {
        return;
    }
    const InfoCampo& f = modello_->campi()[size_t(colonna)];
    if (ModoOrdinamento == 0) {
        ModoOrdinamento = 1;
    }
    if (ctrl && ModoOrdinamento == 1) {
        ModoOrdinamento = 2;
        OrdineMultiplo.clear();
        if (OrdineSingolo.valida()) {
            OrdineMultiplo.push_back(OrdineSingolo);
        }
    } else if (!ctrl && ModoOrdinamento == 2) {
        ModoOrdinamento = 1;
        OrdineSingolo = OrdineMultiplo.empty() ? ChiaveOrdine{} : OrdineMultiplo.front();
        OrdineMultiplo.clear();
    }
    if (ModoOrdinamento == 1) {
        if (OrdineSingolo.nome.compare(f.nome, Qt::CaseInsensitive) == 0 &&
            OrdineSingolo.direzione == 1) {
            OrdineSingolo.direzione = 2;
        } else {
            OrdineSingolo = {f.nome, espressione(f), colonna, 1};
        }
    } else {
        auto it =
            std::find_if(OrdineMultiplo.begin(), OrdineMultiplo.end(), [&](const ChiaveOrdine& k) {
                return k.nome.compare(f.nome, Qt::CaseInsensitive) == 0;
            });
        if (it != OrdineMultiplo.end()) {
            it->direzione = it->direzione == 1 ? 2 : 1;
        } else if (OrdineMultiplo.size() < 65536) {
            OrdineMultiplo.push_back({f.nome, espressione(f), colonna, 1});
        }
    }
    SalvaAspetto();
    // a list its screen opens with its own statement gave the grid no text:
    // it opens again on the screen's, and one that is not open stays closed
    if (SQLIniziale.isEmpty() && (!query_->isOpen() || query_->SQL.isEmpty())) {
        dipingiTitoli();
        return;
    }
    QStringList sql = SQLIniziale.isEmpty() ? query_->SQL : SQLIniziale;
    if (!CondizioneRicerca.isEmpty() && !SQLIniziale.isEmpty()) {
        aggiungiCondizione(sql, condizionePer(SQLIniziale));
    }
    if (gestisciErrore([&] { riapri(sql, false); }) && modello_->rowCount() > 0) {
        setCurrentIndex(modello_->index(0, colonna));
    }
    dipingiTitoli();
}

QString TCSDGrid::espressione(const InfoCampo& c) const {
    if (!c.origine().isEmpty()) {
        return c.origine();
    }
    const QString calcolata = espressioneAlias(SQLIniziale.join('\n'), c.nome);
    return calcolata.isEmpty() ? c.nome : calcolata;
}

std::optional<QString> TCSDGrid::condizioneColonna(const ParametriRicerca& p, int colonna,
                                                   const std::optional<FormaRicerca>& forma) {
    const InfoCampo& f = modello_->campi()[size_t(colonna)];
    const ClasseCampo classe = classeCampo(f.tipo);
    const QString connettore =
        haWhere(SQLIniziale) ? QStringLiteral("AND") : QStringLiteral("WHERE");
    if (classe == ClasseCampo::Data) {
        const QDate data1 = QDate::fromString(p.data1.trimmed(), QStringLiteral("dd/MM/yyyy"));
        if (p.data1.trimmed().size() != 10 || !data1.isValid()) {
            return std::nullopt;
        }
        const QDate data2 = QDate::fromString(p.data2.trimmed(), QStringLiteral("dd/MM/yyyy"));
        QString c =
            connettore + '(' + EspressioneRicerca + QStringLiteral(" >= ") + sql::data(data1) + ')';
        if (data2.isValid()) {
            // a date-time column takes the whole of the last day
            const QString fine =
                f.tipo == TipoCampo::DataOra
                    ? sql::testoNonNullo(data2.toString(QStringLiteral("MM/dd/yyyy")) +
                                         QStringLiteral(" 23:59:59.9999"))
                    : sql::data(data2);
            c += QStringLiteral("AND(") + EspressioneRicerca + QStringLiteral(" <= ") + fine + ')';
        }
        TipoRicerca = 0;
        return c;
    }
    if (p.testo.isEmpty()) {
        return QString(); // no condition: the whole list
    }
    const bool upperTesto = classe == ClasseCampo::Testo && p.upper;
    const QString v = upperTesto ? p.testo.toUpper() : p.testo;
    const QString e =
        upperTesto ? QStringLiteral("UPPER(") + EspressioneRicerca + ')' : EspressioneRicerca;
    auto condizione = [&](const QString& operatore, const QString& valore) {
        return connettore + '(' + e + ' ' + operatore + ' ' + valore + ')';
    };
    if (classe == ClasseCampo::Numero) {
        // a typed number has no thousands separator: a point is refused, as
        // everywhere a number is typed, never read as thousands
        const QChar migliaia = Formati::correnti().separatoreMigliaia;
        if (migliaia != Formati::separatoreDecimale() && v.contains(migliaia)) {
            return std::nullopt;
        }
        if (p.tipo == 1) {
            // a whole number as the database writes it; a part of one (\"12,\") as typed
            const std::optional<double> numero = Formati::leggiNumero(v);
            QString n = numero ? sql::numero(*numero).remove('\'') : v;
            if (!numero) {
                n.replace(Formati::separatoreDecimale(), QLatin1Char('.'));
            }
            // a text no number holds finds nothing, and the statement, which
            // must turn it into the number's character set, would only fail
            static const QString kCifre = QStringLiteral("0123456789.-+eE");
            if (std::any_of(n.begin(), n.end(), [](QChar ch) { return !kCifre.contains(ch); })) {
                return std::nullopt;
            }
            return condizione(QStringLiteral("LIKE"), sql::testoNonNullo('%' + n + '%'));
        }
        try {
            return condizione(QStringLiteral(">="), sql::numero(v));
        } catch (const sql::ValoreNonValido&) {
            return std::nullopt; // not yet a number: nothing to search
        }
    }
    // A text longer than the column: no value can begin with it, and every
    // value at or after it is after its first `lunghezza` characters (a
    // key that long would not fit the column's index either)
    QString fino = v;
    while (fino.endsWith(' ')) {
        fino.chop(1);
    }
    const bool troppoLungo =
        classe == ClasseCampo::Testo && f.lunghezza > 0 && fino.size() > f.lunghezza && p.tipo != 1;
    if (troppoLungo && p.tipo == 2 && inizioFisso(v).size() > f.lunghezza) {
        return std::nullopt;
    }
    if (troppoLungo && p.tipo != 2) {
        const QString taglio = sql::testoNonNullo(fino.left(f.lunghezza));
        return forma ? connettore + '(' + forma->espressione + QStringLiteral(" >= ") + taglio +
                           QStringLiteral(" || ASCII_CHAR(2))")
                     : condizione(QStringLiteral(">"), taglio);
    }
    if (forma && p.tipo == 2) {
        // the same rows through the index: what starts with the fixed
        // beginning, then the wildcards typed as they were meant (the
        // concatenation keeps that test off the column's own index)
        const QString inizio = inizioFisso(v);
        QString c = connettore + '(' + forma->espressione + QStringLiteral(" STARTING WITH ") +
                    sql::testoNonNullo(inizio) + ')';
        if (inizio.size() != v.size()) {
            c += QStringLiteral("AND(") + e + QStringLiteral(" || '' LIKE ") +
                 sql::testoNonNullo(v + '%') + ')';
        }
        return c;
    }
    if (forma) {
        // ">=" through the index: a text and the longer ones it begins come
        // after the typed one and ASCII_CHAR(1); blanks at the end never
        // count in a comparison
        return connettore + '(' + forma->espressione + QStringLiteral(" >= ") +
               sql::testoNonNullo(fino) + QStringLiteral(" || ASCII_CHAR(1))");
    }
    switch (p.tipo) {
    case 1:
        return condizione(QStringLiteral("LIKE"), sql::testoNonNullo('%' + v + '%'));
    case 2:
        return condizione(QStringLiteral("LIKE"), sql::testoNonNullo(v + '%'));
    default:
        return condizione(QStringLiteral(">="), sql::testoNonNullo(v));
    }
}

QString TCSDGrid::rigaOrdineRicerca(const ParametriRicerca& p, bool upperTesto,
                                    const std::optional<FormaRicerca>& forma) {
    if (forma) {
        // the index's expression is UPPER(column) followed by the key: the
        // order asked, read in the index from where the condition starts
        int direzione = p.ordinamento;
        if (p.ordinamento == 0) {
            const bool stessa =
                ModoOrdinamento != 2 && OrdineSingolo.valida() &&
                OrdineSingolo.espressione.compare(EspressioneRicerca, Qt::CaseInsensitive) == 0;
            direzione = stessa ? OrdineSingolo.direzione : 0;
        }
        if (direzione == 1) {
            return QStringLiteral("ORDER BY ") + forma->espressione;
        }
        if (direzione == 2 && forma->discendente) {
            return QStringLiteral("ORDER BY ") + forma->espressione + QStringLiteral(" DESC");
        }
    }
    if (p.ordinamento == 0) {
        // "No": the title order stays in force
        if (ModoOrdinamento != 2 || OrderBy) {
            const QString riga = rigaOrdineTitoli(originiDi(SQLIniziale), upperTesto);
            return riga.isEmpty() ? ordineChiavePrimaria() : riga;
        }
        return {};
    }
    QString riga = upperTesto ? QStringLiteral("ORDER BY UPPER(") + EspressioneRicerca + ')'
                              : QStringLiteral("ORDER BY ") + EspressioneRicerca;
    if (p.ordinamento == 2) {
        riga += QStringLiteral(" DESC");
    }
    const QStringList chiavi = spareggio(
        upperTesto ? QStringList() : QStringList{EspressioneRicerca}, originiDi(SQLIniziale));
    return chiavi.isEmpty() ? riga : riga + ',' + chiavi.join(',');
}

bool TCSDGrid::EseguiRicerca(const ParametriRicerca& p) {
    TimerRicerca->stop();
    if (!query_ || modello_->columnCount() == 0) {
        return false;
    }
    int colonna = colonnaRicerca_;
    if (colonna < 0) {
        colonna = colonnaAttuale();
        if (colonna < 0) {
            return false;
        }
        EspressioneRicerca = espressione(modello_->campi()[size_t(colonna)]);
    }
    const InfoCampo& campo = modello_->campi()[size_t(colonna)];
    const bool upperTesto = classeCampo(campo.tipo) == ClasseCampo::Testo && p.upper;
    std::optional<FormaRicerca> forma;
    if (upperTesto && !p.testo.isEmpty()) {
        forma = formaRicerca(campo, p);
    }
    const std::optional<QString> condizione = condizioneColonna(p, colonna, forma);
    if (!condizione) {
        return false;
    }
    QStringList sqlNuovo = SQLIniziale;
    QString ordine;
    if (!condizione->isEmpty()) {
        aggiungiCondizione(sqlNuovo, *condizione);
        ordine = rigaOrdineRicerca(p, upperTesto, forma);
        if (p.ordinamento == 0 && !OrderBy && rigaOrdineProprio(SQLIniziale) >= 0) {
            ordine.clear(); // "No": a list that orders itself keeps its order
        }
    } else {
        ordine = rigaOrdineCorrente(SQLIniziale); // the whole list, in its own order
    }
    if (!ordine.isEmpty()) {
        // the search's order takes the place of the list's own
        if (const int i = rigaOrdineProprio(sqlNuovo); i >= 0) {
            sqlNuovo.removeAt(i);
        }
        sqlNuovo << ordine;
    }
    const QString precedente = CondizioneRicerca;
    CondizioneRicerca = *condizione;
    // outside the dialog the search announces itself, so that the screen
    // does not rebuild the SQL while it opens
    const bool annuncia = !dialogoAperto_;
    if (annuncia) {
        inizioRicerca();
    }
    struct Fine {
        TCSDGrid* g;
        bool attiva;
        ~Fine() {
            if (attiva) {
                g->fineRicerca();
            }
        }
    } fine{this, annuncia};
    try {
        riapri(sqlNuovo, true);
        ultimaRigaOrdine_ = ordine;
    } catch (const DbError& err) {
        CondizioneRicerca = precedente;
        query_->close();
        query_->SQL = SQLIniziale;
        if (!precedente.isEmpty()) {
            query_->SQL << precedente;
        }
        Messaggi::errore(err.messaggio(), this);
        return false;
    }
    emit ricercaEseguita(query_->sqlText());
    return true;
}

bool TCSDGrid::RicercaGenerica(const QString& testo) {
    if (!query_ || modello_->columnCount() == 0) {
        return false;
    }
    inizioRicerca();
    struct Fine {
        TCSDGrid* g;
        ~Fine() {
            if (!g->dialogoAperto_) {
                g->fineRicerca();
            }
        }
    } fine{this};
    SalvaAspetto();
    // text columns take the text; numbers and dates only a text that is one,
    // since the database cannot compare an accented word with them
    const QString t = sql::testoNonNullo(testo.toUpper());
    const std::optional<double> numero = Formati::leggiNumero(testo.trimmed());
    const QDate data = Formati::leggiData(testo.trimmed());
    QStringList condizioni;
    for (const InfoCampo& c : modello_->campi()) {
        const QString e = espressione(c);
        switch (c.tipo) {
        case TipoCampo::Testo:
        case TipoCampo::Memo:
            condizioni << e + QStringLiteral(" CONTAINING ") + t;
            break;
        case TipoCampo::Intero:
        case TipoCampo::Decimale:
        case TipoCampo::Virgola:
            if (numero) {
                condizioni << e + QStringLiteral(" CONTAINING ") +
                                  sql::testoNonNullo(sql::numero(*numero).remove('\''));
            }
            break;
        case TipoCampo::Data:
            if (data.isValid()) {
                condizioni << e + QStringLiteral(" = ") + sql::data(data);
            }
            break;
        case TipoCampo::DataOra:
            if (data.isValid()) {
                condizioni << QStringLiteral("CAST(") + e + QStringLiteral(" AS DATE) = ") +
                                  sql::data(data);
            }
            break;
        default:
            break; // binary, time and boolean columns hold no text to find
        }
    }
    QStringList sqlNuovo = SQLIniziale;
    // a list that orders itself: its order after the condition
    QString ordineProprio;
    if (const int i = rigaOrdineProprio(sqlNuovo); i >= 0) {
        ordineProprio = sqlNuovo.takeAt(i);
    }
    sqlNuovo << (haWhere(SQLIniziale) ? QStringLiteral("AND(") : QStringLiteral("WHERE("));
    if (condizioni.isEmpty()) {
        sqlNuovo << QStringLiteral("(1=0)"); // no column can hold it: nothing found
    }
    for (int i = 0; i < condizioni.size(); ++i) {
        sqlNuovo << (i == 0 ? QStringLiteral("(") : QStringLiteral("OR(")) + condizioni[i] + ')';
    }
    sqlNuovo << QStringLiteral(")");
    // the order the list had: the dialog may be open, and then no order is added
    const QString ordine = rigaOrdineCorrente(SQLIniziale);
    if (!ordine.isEmpty()) {
        sqlNuovo << ordine;
    } else if (!ordineProprio.isEmpty()) {
        sqlNuovo << ordineProprio;
    }
    CondizioneRicerca.clear();
    const bool riuscita = gestisciErrore([&] {
        riapri(sqlNuovo, true);
        ultimaRigaOrdine_ = ordine;
    });
    if (!riuscita) {
        query_->SQL = SQLIniziale;
        return false;
    }
    emit ricercaEseguita(query_->sqlText());
    return true;
}

void TCSDGrid::avviaRicercaDaDialogo() {
    if (!dialogo_) {
        return;
    }
    if (AbilitaTimerRic) {
        TimerRicerca->start();
    } else {
        EseguiRicerca(dialogo_->parametri());
    }
}

void TCSDGrid::annullaRicercaDaDialogo() {
    TimerRicerca->stop();
    dialogoAperto_ = false;
    CondizioneRicerca.clear();
    if (query_) {
        gestisciErrore([&] { riapri(SQLIniziale, false); });
    }
}

// The dialog's last position and choices, from the window-position table.
void TCSDGrid::leggiScelteRicerca(TRCSDGridForm& dlg, std::vector<QVariant>& memorizzati) {
    std::optional<QPoint> posizione;
    int tipo = TipoRicerca;
    bool upper = UpperRicerca;
    int ordine = 1;
    memorizzati.clear();
    try {
        Database* db = query_->database();
        Query q(db, &db->lettura());
        q.SQL = {QStringLiteral("SELECT POSX, POSY, INFO3, INFO4, INFO1 FROM ") +
                     sql::identificatore(TabellaPosizioneFinestre),
                 chiaveAspetto()};
        q.open();
        if (!q.eof()) {
            memorizzati = q.rowValues();
            // a value left empty counts as not stored
            const auto x = interoMemorizzato(q.field(0));
            const auto y = interoMemorizzato(q.field(1));
            if (x && y) {
                posizione = QPoint(int(*x), int(*y));
            }
            tipo = int(interoMemorizzato(q.field(2)).value_or(0));
            upper = interoMemorizzato(q.field(3)).value_or(1) == 1;
            ordine = int(interoMemorizzato(q.field(4)).value_or(1));
        }
        q.close();
    } catch (const DbError& e) {
        qWarning("Impostazioni della ricerca non leggibili: %s", qPrintable(e.messaggio()));
    }
    dlg.impostaScelte(tipo, upper, ordine);
    if (!TestoRicerca.isEmpty() && dlg.classe() != ClasseCampo::Data) {
        const QSignalBlocker blocco(dlg.EditStringa);
        dlg.EditStringa->setText(TestoRicerca);
        dlg.EditStringa->selectAll();
    }
    dlg.adjustSize();
    if (posizione) {
        dlg.move(*posizione);
    } else if (QScreen* s = screen()) {
        dlg.move(s->availableGeometry().center() - dlg.rect().center());
    }
}

// Stores the dialog's position and choices when they differ from the row
// read before (inserting it when there was none).
void TCSDGrid::salvaScelteRicerca(const TRCSDGridForm& dlg,
                                  const std::vector<QVariant>& memorizzati) {
    const ParametriRicerca p = dlg.parametri();
    const QPoint pos = dlg.pos();
    const std::vector<QVariant> nuovi = {pos.x(), pos.y(), p.tipo, p.upper ? 1 : 0, p.ordinamento};
    if (!memorizzati.empty() &&
        std::equal(nuovi.begin(), nuovi.end(), memorizzati.begin(), memorizzati.end(),
                   [](const QVariant& n, const QVariant& m) {
                       return interoMemorizzato(m) == n.toLongLong();
                   })) {
        return;
    }
    const QString tabella = sql::identificatore(TabellaPosizioneFinestre);
    try {
        // one statement: the row another process of the user has just
        // written is updated, never inserted twice
        ScriviRigheUtente(query_->database(), [&](Query& q) {
            q.SQL = {QStringLiteral("UPDATE OR INSERT INTO ") + tabella +
                         QStringLiteral(" (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSX, "
                                        "POSY, INFO3, INFO4, INFO1)"),
                     QStringLiteral("VALUES (?,?,?,?,?,?,?,?)"),
                     QStringLiteral("MATCHING (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE)")};
            q.setParams({CodiceProgetto, Situazione, Utente, nuovi[0], nuovi[1], nuovi[2], nuovi[3],
                         nuovi[4]});
            q.execSQL();
        });
    } catch (const DbError& e) {
        qWarning("Impostazioni della ricerca non salvate: %s", qPrintable(e.messaggio()));
    }
}

void TCSDGrid::RicercaSuCampoCorrente() {
    if (!query_ || !query_->isOpen() || !AbilitaRicerca || modello_->columnCount() == 0 ||
        dialogo_) {
        return;
    }
    const int colonna = colonnaAttuale();
    if (colonna < 0) {
        return;
    }
    inizioRicerca();
    SalvaAspetto();
    colonnaRicerca_ = colonna;
    const InfoCampo& f = modello_->campi()[size_t(colonna)];
    EspressioneRicerca = espressione(f);

    TRCSDGridForm dlg(this, classeCampo(f.tipo), modello_->titolo(colonna));
    std::vector<QVariant> memorizzati;
    leggiScelteRicerca(dlg, memorizzati);
    dialogo_ = &dlg;
    dialogoAperto_ = true;
    Messaggi::esegui(&dlg);
    dialogoAperto_ = false;
    TimerRicerca->stop();
    dialogo_ = nullptr;
    salvaScelteRicerca(dlg, memorizzati);

    const ParametriRicerca p = dlg.parametri();
    if (dlg.classe() != ClasseCampo::Data) {
        TestoRicerca = p.testo;
    }
    UpperRicerca = p.upper;
    TipoRicerca = p.tipo;
    fineRicerca();
    colonnaRicerca_ = -1;
    if (query_->isOpen()) {
        CaricaAspetto();
    }
}

void TCSDGrid::AnnullaRicerca() {
    if (!query_) {
        return;
    }
    inizioRicerca();
    SalvaAspetto();
    CondizioneRicerca.clear();
    gestisciErrore([&] { riapri(SQLIniziale, false); });
    fineRicerca();
}

void TCSDGrid::DimezzaLarghezzaColonna() {
    const int c = colonnaAttuale();
    if (c >= 0) {
        setColumnWidth(c, columnWidth(c) / 2);
    }
}

void TCSDGrid::PersonalizzaGriglia() {
    if (!query_ || !query_->isOpen()) {
        return;
    }
    SalvaAspetto();
    TPCSDGridForm dlg(this);
    Messaggi::esegui(&dlg);
    if (query_->isOpen()) {
        CaricaAspetto();
    }
}

void TCSDGrid::RipristinaAspettoBase() {
    if (!query_) {
        return;
    }
    RipristinoInCorso = true;
    gestisciErrore([&] {
        Database* db = query_->database();
        Transaction t(db);
        Query q(db, &t);
        q.SQL = {QStringLiteral("DELETE FROM ") + sql::identificatore(TabellaAspettoGriglia),
                 chiaveAspetto()};
        q.execSQL();
        t.commit();
        OrdineSingolo = {};
        OrdineMultiplo.clear();
        ModoOrdinamento = 0;
        CondizioneRicerca.clear();
        aspettoProgettato();
        riapri(SQLIniziale, false);
        aspettoProgettato();
        SalvaAspetto();
    });
    RipristinoInCorso = false;
}

QString TCSDGrid::tabellaQuery() const {
    if (!NomeTabella.trimmed().isEmpty()) {
        return NomeTabella.trimmed();
    }
    static const QRegularExpression daTabella(QStringLiteral("FROM\\s+\"([^\"]+)\""),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto m = daTabella.match(SQLIniziale.join(' '));
    return m.hasMatch() ? m.captured(1) : QString();
}

void TCSDGrid::ApriQuery() {
    const QString tabella = tabellaQuery();
    if (!query_ || !query_->database() || tabella.isEmpty()) {
        return;
    }
    auto* f = new TGridQueryForm(query_->database(), tabella, window());
    f->DirectoryBin = DirectoryBin;
    f->Utente = Utente;
    f->DittaCorrente = DittaCorrente;
    if (f->apri()) {
        f->show();
    } else {
        f->close();
    }
}

QString TCSDGrid::EsportaExcel() {
    if (!query_ || !query_->isOpen() || !query_->database()) {
        return {};
    }
    // the statement the list last opened with: its search and its order
    QString nome = NomeTabella.isEmpty() ? tabellaQuery() : NomeTabella;
    if (nome.isEmpty()) {
        nome = objectName();
    }
    return esportaElencoXlsx(this, query_->database(), query_->SQL, query_->parametri(),
                             colonneVista(this, modello_), nome, DirectoryBin);
}

// ------------------------------------------------------------ menu and keys

QList<QAction*> TCSDGrid::vociMenu() const {
    return {VoceRicerca, VoceAnnullaRicerca, VoceRicercaChiave, VoceQuery,
            VoceDimezza, VocePersonalizza,   VoceEsportaExcel};
}

void TCSDGrid::aggiungiAMenu(QMenu* menu) {
    menu->addSeparator();
    menu->addActions(vociMenu());
    connect(menu, &QMenu::aboutToShow, this, [this] { aggiornaMenu(); });
}

void TCSDGrid::aggiornaMenu() {
    const bool aperta = query_ && query_->isOpen();
    for (QAction* a : vociMenu()) {
        a->setEnabled(aperta);
    }
    VoceRicerca->setEnabled(aperta && AbilitaRicerca);
    VoceRicercaChiave->setVisible(false);
    VoceRicercaChiave->setEnabled(false);
    VoceQuery->setEnabled(aperta && !tabellaQuery().isEmpty());
}

void TCSDGrid::contextMenuEvent(QContextMenuEvent* e) {
    aggiornaMenu();
    MenuGriglia->popup(e->globalPos());
    e->accept();
}

bool TCSDGrid::eventFilter(QObject* o, QEvent* e) {
    if (o == horizontalHeader()->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        // the double click on a title orders; Ctrl adds a key
        modificatoriTitoli_ = static_cast<QMouseEvent*>(e)->modifiers();
    }
    return QTableView::eventFilter(o, e);
}

void TCSDGrid::keyReleaseEvent(QKeyEvent* e) {
    if (TastiFunzione && e->modifiers() == Qt::NoModifier && !e->isAutoRepeat()) {
        QAction* voce = nullptr;
        switch (e->key()) {
        case Qt::Key_F5:
            voce = VoceRicerca;
            break;
        case Qt::Key_F6:
            voce = VoceAnnullaRicerca;
            break;
        case Qt::Key_F8:
            voce = VoceQuery;
            break;
        case Qt::Key_F9:
            voce = VoceDimezza;
            break;
        default:
            break;
        }
        if (voce) {
            aggiornaMenu();
            if (voce->isEnabled()) {
                voce->trigger();
            }
            e->accept();
            return;
        }
    }
    QTableView::keyReleaseEvent(e);
}

// ------------------------------------------------------------ current row

void TCSDGrid::currentChanged(const QModelIndex& corrente, const QModelIndex& precedente) {
    QTableView::currentChanged(corrente, precedente);
    if (corrente.isValid()) {
        colonnaCorrente_ = corrente.column();
    }
}

int TCSDGrid::colonnaAttuale() const {
    if (currentIndex().isValid()) {
        return currentIndex().column();
    }
    // a list left empty by a search keeps the column chosen before
    if (colonnaCorrente_ >= 0 && colonnaCorrente_ < modello_->columnCount()) {
        return colonnaCorrente_;
    }
    return horizontalHeader()->logicalIndex(0);
}

QVariant TCSDGrid::valoreCorrente(const QString& campo) const {
    return modello_->valore(currentIndex().row(), modello_->indiceCampo(campo));
}

Campo TCSDGrid::campoCorrente(const QString& campo) const {
    return modello_->campo(currentIndex().row(), modello_->indiceCampo(campo));
}

} // namespace quintar
