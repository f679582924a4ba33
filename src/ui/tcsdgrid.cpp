#include "ui/tcsdgrid.h"

#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/grigliamodello.h"
#include "ui/grigliaquery.h"
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

// A table name as an identifier of a statement: plain names as they are,
// anything else between double quotes.
QString identificatore(const QString& nome) {
    static const QRegularExpression semplice(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    if (semplice.match(nome).hasMatch()) {
        return nome.toUpper();
    }
    QString n = nome;
    n.replace('"', QLatin1String("\"\""));
    return '"' + n + '"';
}

bool haWhere(const QStringList& righe) {
    for (const QString& r : righe) {
        if (r.toUpper().contains(QLatin1String("WHERE"))) {
            return true;
        }
    }
    return false;
}

QString espressioneDi(const InfoCampo& c) {
    return c.origine().isEmpty() ? c.nome : c.origine();
}

} // namespace

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
    connect(horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int logico) {
        OrdinaColonna(logico, modificatoriTitoli_ & Qt::ControlModifier);
    });

    TimerRicerca = new QTimer(this);
    TimerRicerca->setObjectName(QStringLiteral("TimerRicerca"));
    TimerRicerca->setSingleShot(true);
    TimerRicerca->setInterval(1000);
    connect(TimerRicerca, &QTimer::timeout, this, [this] {
        if (dialogo_) {
            EseguiRicerca(dialogo_->parametri());
        }
    });

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
    VoceRicercaChiave->setVisible(false);
    VoceRicercaChiave->setEnabled(false);
    connect(VoceRicerca, &QAction::triggered, this, [this] { RicercaSuCampoCorrente(); });
    connect(VoceAnnullaRicerca, &QAction::triggered, this, [this] { AnnullaRicerca(); });
    connect(VoceQuery, &QAction::triggered, this, [this] { ApriQuery(); });
    connect(VoceDimezza, &QAction::triggered, this, [this] { DimezzaLarghezzaColonna(); });
    connect(VocePersonalizza, &QAction::triggered, this, [this] { PersonalizzaGriglia(); });
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
    modello_->setQuery(q);
    primaDiAprire_ = nullptr;
    dopoAvereAperto_ = nullptr;
    sqlOrigini_.clear();
    tabellaChiave_.clear();
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
    leggiImpostazioni();
    if (q->isOpen()) {
        if (modello_->ricarica()) {
            aspettoProgettato();
        }
        CaricaAspetto();
    }
}

void TCSDGrid::leggiImpostazioni() {
    ColoreCampoOrd = QColor(0xFF, 0x00, 0x00);
    AbilitaTimerRic = true;
    if (!query_ || !query_->database() || !query_->database()->connected()) {
        return;
    }
    try {
        Transaction t(query_->database());
        Query r(query_->database(), &t);
        r.SQL = {QStringLiteral("SELECT COLORECAMPOORD, ABILITATIMERRIC FROM ") +
                     identificatore(TabellaAspettoGriglie),
                 QStringLiteral("WHERE (CODICEUTENTE=") + sql::intero(qint64(Utente)) +
                     QStringLiteral(") AND (CODICEPROGETTO=") +
                     sql::intero(qint64(CodiceProgetto)) + QStringLiteral(")")};
        r.open();
        if (!r.eof()) {
            const qint64 colore = r.field(0).isNull() ? 0 : r.field(0).asInteger();
            if (colore != 0) {
                ColoreCampoOrd = coloreDaIntero(colore);
            }
            AbilitaTimerRic = !r.field(1).isNull() && r.field(1).asInteger() == 1;
        }
        r.close();
        t.commit();
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
    const bool conOrdine = ModoOrdinamento == 2 ? !OrdineMultiplo.empty() : OrdineSingolo.valida();
    QString riga;
    if (conOrdine) {
        riga = rigaOrdineTitoli(originiDi(q.SQL), false);
    } else {
        riga = ordineChiavePrimaria();
    }
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
        Transaction t(query_->database());
        Query r(query_->database(), &t);
        r.SQL = {QStringLiteral("SELECT ABS(Ordinamento) AS ORD,Ordinamento,NomeCampo,Origine,"
                                "Posizione FROM ") +
                     identificatore(TabellaAspettoGriglia),
                 chiaveAspetto(), QStringLiteral("AND (Ordinamento IS NOT NULL) ORDER BY ORD")};
        std::vector<ChiaveOrdine> chiavi;
        bool multiplo = false;
        for (r.open(); !r.eof(); r.next()) {
            const qint64 ord = r.field(1).asInteger();
            ChiaveOrdine k;
            k.nome = r.field(2).asString();
            const QString origine = r.field(3).asString();
            k.espressione = origine.isEmpty() ? k.nome : origine;
            k.colonna = int(r.field(4).asInteger());
            k.direzione = ord < 0 || ord == 2 ? 2 : 1;
            if (qAbs(ord) > 2) {
                multiplo = true;
            }
            chiavi.push_back(k);
        }
        r.close();
        t.commit();
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

QString TCSDGrid::rigaOrdineTitoli(const QStringList& origini, bool upper) const {
    auto voce = [&](const ChiaveOrdine& k) -> QString {
        if (!k.valida() || !origini.contains(k.espressione, Qt::CaseInsensitive)) {
            return {};
        }
        // UPPER only on text: numbers and dates keep their own order
        const int c = modello_->indiceCampo(k.nome);
        const bool testo =
            c >= 0 && classeCampo(modello_->campi()[size_t(c)].tipo) == ClasseCampo::Testo;
        QString e = upper && testo ? QStringLiteral("UPPER(") + k.espressione + ')' : k.espressione;
        return k.direzione == 2 ? e + QStringLiteral(" DESC") : e;
    };
    QStringList parti;
    if (ModoOrdinamento == 2) {
        for (const ChiaveOrdine& k : OrdineMultiplo) {
            const QString v = voce(k);
            if (!v.isEmpty()) {
                parti << v;
            }
        }
    } else {
        const QString v = voce(OrdineSingolo);
        if (!v.isEmpty()) {
            parti << v;
        }
    }
    return parti.isEmpty() ? QString() : QStringLiteral("ORDER BY ") + parti.join(',');
}

QString TCSDGrid::ordineChiavePrimaria() {
    const QString tabella = NomeTabella.trimmed();
    if (tabella.isEmpty() || !query_ || !query_->database() || !query_->database()->connected()) {
        return {};
    }
    if (tabellaChiave_ == tabella) {
        return ordineChiave_;
    }
    ordineChiave_.clear();
    try {
        Transaction t(query_->database());
        Query r(query_->database(), &t);
        r.SQL = {QStringLiteral("SELECT B.RDB$FIELD_NAME"),
                 QStringLiteral("FROM RDB$RELATION_CONSTRAINTS A LEFT JOIN"),
                 QStringLiteral("RDB$INDEX_SEGMENTS B ON"),
                 QStringLiteral("(A.RDB$INDEX_NAME=B.RDB$INDEX_NAME)"),
                 QStringLiteral("WHERE (A.RDB$RELATION_NAME=") +
                     sql::testoNonNullo(identificatore(tabella).remove('"')) + QStringLiteral(")"),
                 QStringLiteral("AND(A.RDB$CONSTRAINT_TYPE='PRIMARY KEY')"),
                 QStringLiteral("ORDER BY B.RDB$FIELD_POSITION")};
        QStringList colonne;
        for (r.open(); !r.eof(); r.next()) {
            QString c = tabella + '.' + r.field(0).asString();
            c.remove(' ');
            colonne << c;
        }
        r.close();
        t.commit();
        if (!colonne.isEmpty()) {
            ordineChiave_ = QStringLiteral("ORDER BY ") + colonne.join(',');
        }
        tabellaChiave_ = tabella;
    } catch (const DbError& e) {
        qWarning("Chiave primaria di %s non leggibile: %s", qPrintable(tabella),
                 qPrintable(e.messaggio()));
    }
    return ordineChiave_;
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
        Database* db = query_->database();
        Transaction t(db);
        Query q(db, &t);
        const QString tabella = identificatore(TabellaAspettoGriglia);
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
            const std::optional<int> ord = q.field(3).isNull()
                                               ? std::nullopt
                                               : std::optional<int>(int(q.field(3).asInteger()));
            if (q.field(0).asString() != attuali[size_t(i)].nome || q.field(1).asInteger() != i ||
                q.field(2).asInteger() != attuali[size_t(i)].larghezza ||
                ord != attuali[size_t(i)].ordinamento || (ord && qAbs(*ord) > 2)) {
                cambiato = true;
            }
        }
        q.close();
        if (i != n || ModoOrdinamento == 2) {
            cambiato = true;
        }
        if (cambiato) {
            q.SQL = {QStringLiteral("DELETE FROM ") + tabella, chiaveAspetto()};
            q.execSQL();
            q.SQL = {
                QStringLiteral("INSERT INTO ") + tabella +
                    QStringLiteral(" (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, NOMECAMPO, "
                                   "ORIGINE, POSIZIONE, LARGHEZZA, NOMECOLONNA, ORDINAMENTO, "
                                   "VISIBILE, COLORECOLONNA)"),
                QStringLiteral("VALUES (?,?,?,?,?,?,?,?,?,?,?)")};
            for (int p = 0; p < n; ++p) {
                const Riga& r = attuali[size_t(p)];
                q.setParams({CodiceProgetto, Situazione, Utente, r.nome,
                             r.origine.isEmpty() ? QVariant() : QVariant(r.origine), p, r.larghezza,
                             r.titolo, r.ordinamento ? QVariant(*r.ordinamento) : QVariant(),
                             r.visibile, r.colore == 0 ? QVariant() : QVariant(r.colore)});
                q.execSQL();
            }
            q.clearParams();
        }
        t.commit();
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
            query_->SQL << condizionePer(query_->SQL);
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
        Transaction t(db);
        Query q(db, &t);
        q.SQL = {QStringLiteral("SELECT NOMECAMPO, POSIZIONE, LARGHEZZA, NOMECOLONNA, VISIBILE, "
                                "COLORECOLONNA FROM ") +
                     identificatore(TabellaAspettoGriglia),
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
            righe.push_back({colonna, int(q.field(1).asInteger()), int(q.field(2).asInteger()),
                             q.field(3).asString(), q.field(3).isNull(),
                             q.field(4).isNull() || q.field(4).asInteger() != 0,
                             q.field(5).isNull() ? 0 : q.field(5).asInteger()});
        }
        q.close();
        t.commit();
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
    try {
        f();
        return true;
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
}

void TCSDGrid::riapri(const QStringList& sql, bool ordineProprio) {
    query_->close();
    query_->SQL = sql;
    ordineProprio_ = ordineProprio;
    try {
        query_->open();
    } catch (...) {
        ordineProprio_ = false;
        modello_->svuota();
        throw;
    }
    ordineProprio_ = false;
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
            OrdineSingolo = {f.nome, espressioneDi(f), colonna, 1};
        }
    } else {
        auto it =
            std::find_if(OrdineMultiplo.begin(), OrdineMultiplo.end(), [&](const ChiaveOrdine& k) {
                return k.nome.compare(f.nome, Qt::CaseInsensitive) == 0;
            });
        if (it != OrdineMultiplo.end()) {
            it->direzione = it->direzione == 1 ? 2 : 1;
        } else if (OrdineMultiplo.size() < 65536) {
            OrdineMultiplo.push_back({f.nome, espressioneDi(f), colonna, 1});
        }
    }
    SalvaAspetto();
    QStringList sql = SQLIniziale;
    if (!CondizioneRicerca.isEmpty()) {
        sql << condizionePer(SQLIniziale);
    }
    if (gestisciErrore([&] { riapri(sql, false); }) && modello_->rowCount() > 0) {
        setCurrentIndex(modello_->index(0, colonna));
    }
    dipingiTitoli();
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
        EspressioneRicerca = espressioneDi(modello_->campi()[size_t(colonna)]);
    }
    const ClasseCampo classe = classeCampo(modello_->campi()[size_t(colonna)].tipo);
    const bool dataOra = modello_->campi()[size_t(colonna)].tipo == TipoCampo::DataOra;
    QDate data1;
    QDate data2;
    if (classe == ClasseCampo::Data) {
        data1 = QDate::fromString(p.data1.trimmed(), QStringLiteral("dd/MM/yyyy"));
        if (p.data1.trimmed().size() != 10 || !data1.isValid()) {
            return false;
        }
        data2 = QDate::fromString(p.data2.trimmed(), QStringLiteral("dd/MM/yyyy"));
    }
    const QString connettore =
        haWhere(SQLIniziale) ? QStringLiteral("AND") : QStringLiteral("WHERE");
    const bool upperTesto = classe == ClasseCampo::Testo && p.upper;
    QString v = p.testo;
    QString e = EspressioneRicerca;
    if (upperTesto) {
        v = v.toUpper();
        e = QStringLiteral("UPPER(") + e + ')';
    }
    QString condizione;
    if (classe == ClasseCampo::Data) {
        condizione = connettore + '(' + e + QStringLiteral(" >= ") + sql::data(data1) + ')';
        if (data2.isValid()) {
            // a date-time column takes the whole of the last day
            const QString fine =
                dataOra ? sql::testoNonNullo(data2.toString(QStringLiteral("MM/dd/yyyy")) +
                                             QStringLiteral(" 23:59:59.9999"))
                        : sql::data(data2);
            condizione += QStringLiteral("AND(") + e + QStringLiteral(" <= ") + fine + ')';
        }
        TipoRicerca = 0;
    } else if (!v.isEmpty()) {
        const int tipo = classe == ClasseCampo::Numero && p.tipo == 2 ? 0 : p.tipo;
        if (classe == ClasseCampo::Numero) {
            if (tipo == 0) {
                try {
                    condizione =
                        connettore + '(' + e + QStringLiteral(" >= ") + sql::numero(v) + ')';
                } catch (const sql::ValoreNonValido&) {
                    return false; // not yet a number: nothing to search
                }
            } else {
                QString n = v;
                n.replace(Formati::separatoreDecimale(), QLatin1Char('.'));
                condizione = connettore + '(' + e + QStringLiteral(" LIKE ") +
                             sql::testoNonNullo('%' + n + '%') + ')';
            }
        } else if (tipo == 1) {
            condizione = connettore + '(' + e + QStringLiteral(" LIKE ") +
                         sql::testoNonNullo('%' + v + '%') + ')';
        } else if (tipo == 2) {
            condizione =
                connettore + '(' + e + QStringLiteral(" LIKE ") + sql::testoNonNullo(v + '%') + ')';
        } else {
            condizione =
                connettore + '(' + e + QStringLiteral(" >= ") + sql::testoNonNullo(v) + ')';
        }
    }
    QStringList sqlNuovo = SQLIniziale;
    QString ordine;
    if (!condizione.isEmpty()) {
        sqlNuovo << condizione;
        switch (p.ordinamento) {
        case 1:
            ordine = upperTesto ? QStringLiteral("ORDER BY UPPER(") + EspressioneRicerca + ')'
                                : QStringLiteral("ORDER BY ") + EspressioneRicerca;
            break;
        case 2:
            ordine = upperTesto ? QStringLiteral("ORDER BY UPPER(") + EspressioneRicerca +
                                      QStringLiteral(") DESC")
                                : QStringLiteral("ORDER BY ") + EspressioneRicerca +
                                      QStringLiteral(" DESC");
            break;
        default:
            if (ModoOrdinamento != 2 || OrderBy) {
                ordine = rigaOrdineTitoli(originiDi(SQLIniziale), upperTesto);
            }
            break;
        }
        if (!ordine.isEmpty()) {
            sqlNuovo << ordine;
        }
    }
    const QString precedente = CondizioneRicerca;
    CondizioneRicerca = condizione;
    // outside the dialog the search announces itself, so that the screen
    // does not rebuild the SQL while it opens
    const bool annuncia = !dialogoAperto_;
    if (annuncia) {
        emit OnInizioRicerca();
    }
    struct Fine {
        TCSDGrid* g;
        bool attiva;
        ~Fine() {
            if (attiva) {
                emit g->OnFineRicerca();
            }
        }
    } fine{this, annuncia};
    try {
        // an empty search reopens plainly, with the title order
        riapri(sqlNuovo, !condizione.isEmpty());
        ultimaRigaOrdine_ = condizione.isEmpty() ? ultimaRigaOrdine_ : ordine;
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
    emit OnInizioRicerca();
    SalvaAspetto();
    const QString t = testo.toUpper();
    QStringList sqlNuovo = SQLIniziale;
    sqlNuovo << (haWhere(SQLIniziale) ? QStringLiteral("AND(") : QStringLiteral("WHERE("));
    bool primo = true;
    for (const InfoCampo& c : modello_->campi()) {
        if (c.tipo == TipoCampo::Binario) {
            continue;
        }
        sqlNuovo << (primo ? QStringLiteral("(") : QStringLiteral("OR(")) + espressioneDi(c) +
                        QStringLiteral(" CONTAINING ") + sql::testoNonNullo(t) + ')';
        primo = false;
    }
    if (primo) {
        return false;
    }
    sqlNuovo << QStringLiteral(")");
    CondizioneRicerca.clear();
    const bool riuscita = gestisciErrore([&] { riapri(sqlNuovo, true); });
    if (!riuscita) {
        query_->SQL = SQLIniziale;
    }
    if (!dialogoAperto_) {
        emit OnFineRicerca();
    }
    if (riuscita) {
        emit ricercaEseguita(query_->sqlText());
    }
    return riuscita;
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

void TCSDGrid::RicercaSuCampoCorrente() {
    if (!query_ || !query_->isOpen() || !AbilitaRicerca || modello_->columnCount() == 0 ||
        dialogo_) {
        return;
    }
    int colonna = colonnaAttuale();
    if (colonna < 0) {
        return;
    }
    emit OnInizioRicerca();
    SalvaAspetto();
    colonnaRicerca_ = colonna;
    const InfoCampo& f = modello_->campi()[size_t(colonna)];
    EspressioneRicerca = espressioneDi(f);

    TRCSDGridForm dlg(this, classeCampo(f.tipo), modello_->titolo(colonna));
    Database* db = query_->database();
    std::optional<QPoint> posizione;
    int tipo = TipoRicerca;
    bool upper = UpperRicerca;
    int ordine = 1;
    bool conRiga = false;
    std::vector<QVariant> memorizzati;
    const QString tabella = identificatore(TabellaPosizioneFinestre);
    try {
        Transaction t(db);
        Query q(db, &t);
        q.SQL = {QStringLiteral("SELECT POSX, POSY, INFO3, INFO4, INFO1 FROM ") + tabella,
                 chiaveAspetto()};
        q.open();
        if (!q.eof()) {
            conRiga = true;
            memorizzati = q.rowValues();
            if (!q.field(0).isNull() && !q.field(1).isNull()) {
                posizione = QPoint(int(q.field(0).asInteger()), int(q.field(1).asInteger()));
            }
            tipo = q.field(2).isNull() ? 0 : int(q.field(2).asInteger());
            upper = q.field(3).isNull() ? true : q.field(3).asInteger() == 1;
            ordine = q.field(4).isNull() ? 1 : int(q.field(4).asInteger());
        }
        q.close();
        t.commit();
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

    dialogo_ = &dlg;
    dialogoAperto_ = true;
    Messaggi::esegui(&dlg);
    dialogoAperto_ = false;
    TimerRicerca->stop();
    dialogo_ = nullptr;

    const ParametriRicerca p = dlg.parametri();
    const QPoint pos = dlg.pos();
    std::vector<QVariant> nuovi = {pos.x(), pos.y(), p.tipo, p.upper ? 1 : 0, p.ordinamento};
    auto uguali = [&] {
        if (memorizzati.size() != nuovi.size()) {
            return false;
        }
        for (size_t i = 0; i < nuovi.size(); ++i) {
            if (memorizzati[i].isNull() || memorizzati[i].toLongLong() != nuovi[i].toLongLong()) {
                return false;
            }
        }
        return true;
    };
    if (!conRiga || !uguali()) {
        try {
            Transaction t(db);
            Query q(db, &t);
            if (conRiga) {
                q.SQL = {QStringLiteral("UPDATE ") + tabella +
                             QStringLiteral(" SET POSX=?, POSY=?, INFO3=?, INFO4=?, INFO1=?"),
                         chiaveAspetto()};
                q.setParams(nuovi);
            } else {
                q.SQL = {
                    QStringLiteral("INSERT INTO ") + tabella +
                        QStringLiteral(" (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE, POSX, "
                                       "POSY, INFO3, INFO4, INFO1)"),
                    QStringLiteral("VALUES (?,?,?,?,?,?,?,?)")};
                q.setParams({CodiceProgetto, Situazione, Utente, nuovi[0], nuovi[1], nuovi[2],
                             nuovi[3], nuovi[4]});
            }
            q.execSQL();
            t.commit();
        } catch (const DbError& e) {
            qWarning("Impostazioni della ricerca non salvate: %s", qPrintable(e.messaggio()));
        }
    }
    if (dlg.classe() != ClasseCampo::Data) {
        TestoRicerca = p.testo;
    }
    UpperRicerca = p.upper;
    TipoRicerca = p.tipo;
    emit OnFineRicerca();
    colonnaRicerca_ = -1;
    if (query_->isOpen()) {
        CaricaAspetto();
    }
}

void TCSDGrid::AnnullaRicerca() {
    if (!query_) {
        return;
    }
    emit OnInizioRicerca();
    SalvaAspetto();
    CondizioneRicerca.clear();
    gestisciErrore([&] { riapri(SQLIniziale, false); });
    emit OnFineRicerca();
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
        q.SQL = {QStringLiteral("DELETE FROM ") + identificatore(TabellaAspettoGriglia),
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

// ------------------------------------------------------------ menu and keys

QList<QAction*> TCSDGrid::vociMenu() const {
    return {VoceRicerca, VoceAnnullaRicerca, VoceRicercaChiave,
            VoceQuery,   VoceDimezza,        VocePersonalizza};
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
