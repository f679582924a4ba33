#include "session/db.h"

#include "session/fbinterno.h"
#include "session/formati.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <firebird/Interface.h>
#include <ibase.h>
#include <list>
#include <mutex>

using namespace Firebird;

namespace quintar {

namespace {

using fbinterno::fb;
using fbinterno::master;

IProvider* provider() {
    static IProvider* p = master()->getDispatcher();
    return p;
}

IUtil* util() {
    return master()->getUtilInterface();
}

struct Xpb {
    IXpbBuilder* b;
    explicit Xpb(unsigned kind) {
        b = fb([&](ThrowStatusWrapper* st) { return util()->getXpbBuilder(st, kind, nullptr, 0); });
    }
    ~Xpb() { b->dispose(); }
    void str(unsigned char tag, const QString& v) {
        QByteArray a = v.toUtf8();
        fb([&](ThrowStatusWrapper* st) { b->insertString(st, tag, a.constData()); });
    }
    void num(unsigned char tag, int v) {
        fb([&](ThrowStatusWrapper* st) { b->insertInt(st, tag, v); });
    }
    void tag(unsigned char t) {
        fb([&](ThrowStatusWrapper* st) { b->insertTag(st, t); });
    }
    unsigned len() {
        return fb([&](ThrowStatusWrapper* st) { return b->getBufferLength(st); });
    }
    const unsigned char* buf() {
        return fb([&](ThrowStatusWrapper* st) { return b->getBuffer(st); });
    }
};

void riempiDpb(Xpb& dpb, const Credenziali& c) {
    dpb.str(isc_dpb_user_name, c.utente);
    dpb.str(isc_dpb_password, c.password);
    dpb.str(isc_dpb_lc_ctype, QStringLiteral("UTF8"));
    dpb.num(isc_dpb_sql_dialect, 3);
}

const QDate kEpoca(1858, 11, 17);

// The calls to the engine counted so far, by kind (see Chiamata): one
// increment before every call of the OO API that reaches it.
std::array<std::atomic<quint64>, kTipiChiamata> chiamate{};

const char* const kNomiChiamata[kTipiChiamata] = {
    "attach", "transaction", "prepare", "execute", "fetch", "blob", "info", "rows", "deferred"};

// With QUINTAR_TRACCIA_CHIAMATE set, each round trip counted is written to
// stderr, with the statement's text for a prepare or an execute: where the
// calls of a section go.
const bool kTraccia = qEnvironmentVariableIsSet("QUINTAR_TRACCIA_CHIAMATE");

void conta(Chiamata c, const QString* testo = nullptr) {
    chiamate[size_t(c)].fetch_add(1, std::memory_order_relaxed);
    if (kTraccia && c < Chiamata::Righe) {
        std::fprintf(stderr, "chiamata %s%s%s\n", kNomiChiamata[size_t(c)], testo ? ": " : "",
                     testo ? qPrintable(testo->simplified()) : "");
    }
}

// The rows in one batch the client fetches: up to 1,000, and no more than
// fill 1 MB, 10 at least.
qint64 righePerLotto(size_t lunghezzaRiga) {
    return std::clamp<qint64>(qint64(1 << 20) / qint64(std::max<size_t>(lunghezzaRiga, 1)), 10,
                              1000);
}

} // namespace

ContoChiamate contaChiamate() {
    ContoChiamate r;
    for (size_t i = 0; i < kTipiChiamata; ++i) {
        r.n[i] = chiamate[i].load(std::memory_order_relaxed);
    }
    return r;
}

void registraChiamata(Chiamata c, const QString& testo) {
    conta(c, testo.isEmpty() ? nullptr : &testo);
}

quint64 ContoChiamate::giri() const {
    quint64 t = 0;
    for (size_t i = 0; i < size_t(Chiamata::Righe); ++i) {
        t += n[i];
    }
    return t;
}

ContoChiamate ContoChiamate::operator-(const ContoChiamate& prima) const {
    ContoChiamate r;
    for (size_t i = 0; i < kTipiChiamata; ++i) {
        r.n[i] = n[i] - prima.n[i];
    }
    return r;
}

QString ContoChiamate::descrizione() const {
    QStringList parti;
    for (size_t i = 0; i < kTipiChiamata; ++i) {
        parti << QStringLiteral("%1 %2").arg(QLatin1String(kNomiChiamata[i])).arg(n[i]);
    }
    return parti.join(QStringLiteral(", "));
}

DbError::DbError(const QString& message, int sqlCode, long gdsCode)
    : std::runtime_error(message.toStdString()), messaggio_(message), sqlCode_(sqlCode),
      gdsCode_(gdsCode) {}

bool DbError::conflitto() const {
    return gdsCode_ == isc_lock_conflict || gdsCode_ == isc_deadlock ||
           gdsCode_ == isc_update_conflict || sqlCode_ == -913 ||
           messaggio_.contains(QLatin1String("update conflicts with concurrent update")) ||
           messaggio_.contains(QLatin1String("lock conflict"));
}

bool DbError::chiaveDuplicata() const {
    return gdsCode_ == isc_unique_key_violation || gdsCode_ == isc_no_dup ||
           messaggio_.contains(QLatin1String("violation of PRIMARY or UNIQUE KEY"));
}

// ---------------------------------------------------------------- Database

// An attachment and the prepared reads kept on it. A query gives its
// statement back here when it moves on to another text or goes away, and
// the next query of the same text takes it instead of preparing it again:
// on a server each prepare is a round trip. A read kept sees the columns
// its table had when it was prepared: a structure changed by another
// connection is seen by the screens that open after it.
struct Collegamento {
    IAttachment* att = nullptr;
    std::list<std::pair<QString, IStatement*>> frasi; // the latest first
    // Transactions let go in limbo: their handles are released only after
    // the attachment is detached, since a client that releases a prepared
    // transaction on a live connection to a server rolls it back.
    std::vector<ITransaction*> sospese;
    static constexpr size_t kMassimo = 96;

    IStatement* prendi(const QString& sql) {
        for (auto i = frasi.begin(); i != frasi.end(); ++i) {
            if (i->first == sql) {
                IStatement* s = i->second;
                frasi.erase(i);
                return s;
            }
        }
        return nullptr;
    }
    void rendi(const QString& sql, IStatement* s) {
        frasi.emplace_front(sql, s);
        if (frasi.size() > kMassimo) {
            libera(frasi.back().second);
            frasi.pop_back();
        }
    }
    static void libera(IStatement* s) noexcept {
        try {
            conta(Chiamata::Differita);
            fb([&](ThrowStatusWrapper* st) { s->free(st); });
        } catch (const DbError&) {
            s->release();
        }
    }
    // After a change of the archive's structure, nothing kept is reused.
    void svuota() noexcept {
        for (auto& f : frasi) {
            libera(f.second);
        }
        frasi.clear();
    }
    // Ends the attachment; the queries still holding a statement of it
    // find it gone and let their statement go.
    void stacca() noexcept {
        svuota();
        if (att) {
            try {
                conta(Chiamata::Attacco);
                fb([&](ThrowStatusWrapper* st) { att->detach(st); });
            } catch (const DbError&) {
                // The server is gone or the attachment is broken: drop our side.
                att->release();
            }
            att = nullptr;
        }
        for (ITransaction* t : sospese) {
            t->release();
        }
        sospese.clear();
    }
};

namespace {

// A path with a host before its colon ("server:/path", "host/3050:alias")
// goes to a server; a local path, or a drive letter's, opens embedded.
bool suServer(const QString& nome) {
    const qsizetype due = nome.indexOf(QLatin1Char(':'));
    return due > 1 || nome.startsWith(QLatin1String("inet"), Qt::CaseInsensitive);
}

// Attachments to servers a disconnect left for the next connect: a few per
// database and user, detached when they have waited too long.
class Riserva {
public:
    static Riserva& sola() {
        static Riserva* r = new Riserva; // outlives every Database, never destroyed
        return *r;
    }
    std::shared_ptr<Collegamento> prendi(const QString& chiave) {
        std::vector<std::shared_ptr<Collegamento>> scaduti;
        std::shared_ptr<Collegamento> c;
        {
            std::lock_guard lock(m_);
            scadute(scaduti);
            for (auto i = posti_.rbegin(); i != posti_.rend(); ++i) {
                if (i->chiave == chiave) {
                    c = std::move(i->c);
                    posti_.erase(std::next(i).base());
                    break;
                }
            }
        }
        for (auto& s : scaduti) {
            s->stacca();
        }
        return c;
    }
    void lascia(const QString& chiave, std::shared_ptr<Collegamento> c) {
        std::vector<std::shared_ptr<Collegamento>> fuori;
        {
            std::lock_guard lock(m_);
            scadute(fuori);
            posti_.push_back({chiave, std::move(c), QDateTime::currentMSecsSinceEpoch()});
            if (std::count_if(posti_.begin(), posti_.end(),
                              [&](const Posto& p) { return p.chiave == chiave; }) > kPerChiave) {
                auto vecchio = std::find_if(posti_.begin(), posti_.end(),
                                            [&](const Posto& p) { return p.chiave == chiave; });
                fuori.push_back(std::move(vecchio->c));
                posti_.erase(vecchio);
            }
        }
        for (auto& s : fuori) {
            s->stacca();
        }
    }
    void svuota() {
        std::vector<Posto> tutti;
        {
            std::lock_guard lock(m_);
            tutti.swap(posti_);
        }
        for (auto& p : tutti) {
            p.c->stacca();
        }
    }

private:
    struct Posto {
        QString chiave;
        std::shared_ptr<Collegamento> c;
        qint64 quando;
    };
    static constexpr int kPerChiave = 4;
    static constexpr qint64 kAttesaMassima = 5 * 60 * 1000;
    void scadute(std::vector<std::shared_ptr<Collegamento>>& fuori) {
        const qint64 limite = QDateTime::currentMSecsSinceEpoch() - kAttesaMassima;
        for (auto i = posti_.begin(); i != posti_.end();) {
            if (i->quando < limite) {
                fuori.push_back(std::move(i->c));
                i = posti_.erase(i);
            } else {
                ++i;
            }
        }
    }
    std::mutex m_;
    std::vector<Posto> posti_;
};

QString chiaveRiserva(const QString& nome, const Credenziali& c) {
    return nome + QChar(0) + c.utente + QChar(0) + c.password;
}

} // namespace

quint64 Database::contatore_ = 0;

Database::~Database() {
    disconnect();
    lettura_.reset();
    for (Transaction* t : std::vector<Transaction*>(transactions_)) {
        t->setDatabase(nullptr);
    }
}

Transaction& Database::lettura() {
    if (!lettura_) {
        lettura_ = std::make_unique<Transaction>(
            this, QStringList{QStringLiteral("isc_tpb_read_committed"),
                              QStringLiteral("isc_tpb_rec_version"), QStringLiteral("isc_tpb_read"),
                              QStringLiteral("isc_tpb_nowait")});
    }
    if (!lettura_->active()) {
        lettura_->start();
    }
    return *lettura_;
}

namespace {
std::atomic<quint64> struttura{1};
} // namespace

quint64 generazioneStruttura() {
    return struttura.load(std::memory_order_relaxed);
}

void Database::chiudiInutilizzati() {
    Riserva::sola().svuota();
}

void Database::connect(const QString& name, const Credenziali& c) {
    disconnect();
    const bool server = suServer(name);
    if (server) {
        // one round trip proves a kept attachment alive; an attach through a
        // server takes several
        while (auto kept = Riserva::sola().prendi(chiaveRiserva(name, c))) {
            try {
                conta(Chiamata::Info);
                fb([&](ThrowStatusWrapper* st) { kept->att->ping(st); });
            } catch (const DbError&) {
                kept->stacca();
                continue;
            }
            coll_ = std::move(kept);
            break;
        }
    }
    if (!coll_) {
        Xpb dpb(IXpbBuilder::DPB);
        riempiDpb(dpb, c);
        QByteArray n = name.toUtf8();
        auto nuovo = std::make_shared<Collegamento>();
        conta(Chiamata::Attacco);
        nuovo->att = fb([&](ThrowStatusWrapper* st) {
            return provider()->attachDatabase(st, n.constData(), dpb.len(), dpb.buf());
        });
        coll_ = std::move(nuovo);
    }
    att_ = coll_->att;
    name_ = name;
    cred_ = c;
    riusabile_ = server;
    gen_ = ++contatore_;
}

void Database::create(const QString& name, const Credenziali& c) {
    disconnect();
    Xpb dpb(IXpbBuilder::DPB);
    riempiDpb(dpb, c);
    dpb.num(isc_dpb_page_size, 4096);
    dpb.str(isc_dpb_set_db_charset, QStringLiteral("WIN1252"));
    QByteArray n = name.toUtf8();
    conta(Chiamata::Attacco);
    auto nuovo = std::make_shared<Collegamento>();
    nuovo->att = fb([&](ThrowStatusWrapper* st) {
        return provider()->createDatabase(st, n.constData(), dpb.len(), dpb.buf());
    });
    coll_ = std::move(nuovo);
    att_ = coll_->att;
    name_ = name;
    cred_ = c;
    // a new archive is being made: its structure follows, nothing is kept
    riusabile_ = false;
    gen_ = ++contatore_;
}

void Database::disconnect() {
    chiudi(true);
}

void Database::chiudi(bool riusabile) {
    for (Transaction* t : std::vector<Transaction*>(transactions_)) {
        t->detach();
    }
    if (!coll_) {
        return;
    }
    std::shared_ptr<Collegamento> c = std::move(coll_);
    att_ = nullptr;
    // kept only clean: no transaction left on it, every one ended
    if (riusabile && riusabile_) {
        Riserva::sola().lascia(chiaveRiserva(name_, cred_), std::move(c));
    } else {
        c->stacca();
    }
}

void Database::riconnetti() {
    const QString nome = name_;
    // what was let go in limbo goes with the attachment: never kept
    chiudi(false);
    connect(nome);
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Database* db, QStringList params)
    : db_(nullptr), params_(std::move(params)) {
    setDatabase(db);
}

Transaction::~Transaction() {
    setDatabase(nullptr);
}

void Transaction::setDatabase(Database* db) {
    if (db_ == db) {
        return;
    }
    detach();
    if (db_) {
        std::erase(db_->transactions_, this);
    }
    db_ = db;
    if (db_) {
        db_->transactions_.push_back(this);
    }
}

void Transaction::detach() {
    avviata_ = false;
    if (!tra_) {
        return;
    }
    try {
        conta(Chiamata::Transazione);
        fb([&](ThrowStatusWrapper* st) { tra_->rollback(st); });
    } catch (const DbError&) {
        tra_->release();
        if (db_) {
            db_->riusabile_ = false;
        }
    }
    tra_ = nullptr;
}

void Transaction::soloUnita(const char* operazione) const {
    if (diUnita_) {
        throw DbError(QStringLiteral("%1: la transazione fa parte di una transazione distribuita, "
                                     "che la termina per tutti gli archivi")
                          .arg(QLatin1String(operazione)));
    }
}

void Transaction::start() {
    soloUnita("start");
    if (active()) {
        throw DbError(QStringLiteral("Transazione già attiva"));
    }
    if (!db_ || !db_->att_) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    // A snapshot is taken when the transaction starts, and what it shows
    // may be relied on later (the row as it was before a save): started
    // now. One that reads what is committed at each statement waits for
    // its first statement.
    avviata_ = true;
    if (!params_.contains(QStringLiteral("isc_tpb_read_committed"))) {
        ensure();
    }
}

ITransaction* Transaction::ensure() {
    if (tra_) {
        return tra_;
    }
    // started or not, it is no longer waiting: a start that failed leaves
    // the transaction ended, as it always did
    avviata_ = false;
    if (!db_ || !db_->att_) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    const std::vector<unsigned char> tpb = fbinterno::bloccoTpb(params_, attesa_);
    conta(Chiamata::Transazione);
    tra_ = fb([&](ThrowStatusWrapper* st) {
        return db_->att_->startTransaction(st, unsigned(tpb.size()), tpb.data());
    });
    return tra_;
}

void Transaction::prepara(const QByteArray& messaggio) {
    soloUnita("prepare");
    if (!active()) {
        throw DbError(QStringLiteral("Nessuna transazione attiva"));
    }
    ensure();
    conta(Chiamata::Transazione);
    fb([&](ThrowStatusWrapper* st) {
        tra_->prepare(st, unsigned(messaggio.size()),
                      reinterpret_cast<const unsigned char*>(messaggio.constData()));
    });
}

void Transaction::riprendi(const unsigned char* numero, unsigned lunghezza) {
    soloUnita("reconnect");
    if (active()) {
        throw DbError(QStringLiteral("Transazione già attiva"));
    }
    if (!db_ || !db_->att_) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    conta(Chiamata::Transazione);
    tra_ = fb([&](ThrowStatusWrapper* st) {
        return db_->att_->reconnectTransaction(st, lunghezza, numero);
    });
}

void Transaction::lasciaInSospeso() noexcept {
    avviata_ = false;
    if (tra_) {
        if (db_ && db_->coll_) {
            db_->coll_->sospese.push_back(tra_);
            db_->riusabile_ = false;
        } else {
            tra_->release();
        }
    }
    tra_ = nullptr;
}

void Transaction::commit() {
    soloUnita("commit");
    avviata_ = false;
    if (!tra_) {
        return;
    }
    conta(Chiamata::Transazione);
    fb([&](ThrowStatusWrapper* st) { tra_->commit(st); });
    tra_ = nullptr;
}

void Transaction::commitRetaining() {
    soloUnita("commitRetaining");
    if (!tra_) {
        return;
    }
    conta(Chiamata::Transazione);
    fb([&](ThrowStatusWrapper* st) { tra_->commitRetaining(st); });
}

void Transaction::rollback() {
    soloUnita("rollback");
    avviata_ = false;
    if (!tra_) {
        return;
    }
    try {
        conta(Chiamata::Transazione);
        fb([&](ThrowStatusWrapper* st) { tra_->rollback(st); });
    } catch (const DbError&) {
        tra_->release();
        tra_ = nullptr;
        throw;
    }
    tra_ = nullptr;
}

void Transaction::rollbackRetaining() {
    soloUnita("rollbackRetaining");
    if (!tra_) {
        return;
    }
    conta(Chiamata::Transazione);
    fb([&](ThrowStatusWrapper* st) { tra_->rollbackRetaining(st); });
}

void Transaction::rollbackRetainingNoThrow() noexcept {
    try {
        rollbackRetaining();
    } catch (const DbError& e) {
        qWarning("rollback non riuscito: %s", qPrintable(e.messaggio()));
    }
}

void Transaction::restart() {
    rollback();
    start();
}

void scriviSuDatiCorrenti(Transaction& t, const std::function<void()>& scrivi) {
    for (int tentativo = 1;; ++tentativo) {
        try {
            t.restart();
            scrivi();
            t.commitRetaining();
            return;
        } catch (const DbError& e) {
            t.rollbackRetainingNoThrow();
            // someone else's write got there first: once more, on what it left
            if ((e.conflitto() || e.chiaveDuplicata()) && tentativo < 2) {
                continue;
            }
            throw;
        } catch (...) {
            t.rollbackRetainingNoThrow();
            throw;
        }
    }
}

namespace {

bool tabellaPresente(Database& db, const QString& tabella) {
    // a creation another session has not committed yet is waited for
    Transaction t(&db, {QStringLiteral("isc_tpb_read_committed"),
                        QStringLiteral("isc_tpb_no_rec_version"), QStringLiteral("isc_tpb_read"),
                        QStringLiteral("isc_tpb_wait")});
    t.setAttesaBlocchi(10);
    Query q(&db, &t);
    // the name in the text: what a waiting statement is about shows in the
    // monitoring tables
    QString nome = tabella.toUpper();
    nome.replace('\'', QStringLiteral("''"));
    q.SQL = {QStringLiteral("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME='%1'").arg(nome)};
    const bool presente = q.scalar().isValid();
    t.commit();
    return presente;
}

} // namespace

bool assicuraTabella(Database& db, const QString& tabella, const QStringList& ddl) {
    // a table found stays: each archive is asked once per process
    static std::mutex m;
    static QSet<QString> trovate;
    const QString chiave = db.databaseName() + QChar(0) + tabella.toUpper();
    {
        std::lock_guard lock(m);
        if (trovate.contains(chiave)) {
            return true;
        }
    }
    auto trovata = [&] {
        std::lock_guard lock(m);
        trovate.insert(chiave);
        return true;
    };
    for (int tentativo = 0; tentativo < 2; ++tentativo) {
        try {
            if (tabellaPresente(db, tabella)) {
                return trovata();
            }
        } catch (const DbError& e) {
            qWarning("tabella %s non letta: %s", qPrintable(tabella), qPrintable(e.messaggio()));
            return false; // still being made by another session after the wait
        }
        try {
            Transaction t(&db);
            Query q(&db, &t);
            for (const QString& frase : ddl) {
                q.SQL = {frase};
                q.execSQL();
            }
            t.commit();
            return trovata();
        } catch (const DbError& e) {
            // made by another session in the same instant: found on the next round
            qWarning("tabella %s non creata: %s", qPrintable(tabella), qPrintable(e.messaggio()));
        }
    }
    return false;
}

// ---------------------------------------------------------------- Campo

QString Campo::asString() const {
    if (isNull()) {
        return {};
    }
    switch (info_ ? info_->tipo : TipoCampo::Testo) {
    case TipoCampo::Decimale:
    case TipoCampo::Virgola:
        return Formati::numeroInTesto(v_.toDouble());
    case TipoCampo::Data:
        return Formati::dataInTesto(v_.toDate());
    case TipoCampo::DataOra:
        return Formati::dataOraInTesto(v_.toDateTime());
    case TipoCampo::Ora:
        return v_.toTime().toString(QStringLiteral("HH:mm:ss"));
    case TipoCampo::Booleano:
        return v_.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v_.toString();
    }
}

qint64 Campo::asInteger() const {
    if (isNull()) {
        return 0;
    }
    if (v_.typeId() == QMetaType::QString) {
        bool ok = false;
        qint64 n = v_.toString().trimmed().toLongLong(&ok);
        if (!ok) {
            throw DbError(QStringLiteral("'%1' non è un valore intero valido").arg(v_.toString()));
        }
        return n;
    }
    if (v_.typeId() == QMetaType::Double) {
        return qRound64(v_.toDouble());
    }
    return v_.toLongLong();
}

double Campo::asFloat() const {
    if (isNull()) {
        return 0.0;
    }
    if (v_.typeId() == QMetaType::QString) {
        auto d = Formati::leggiNumero(v_.toString());
        if (!d) {
            throw DbError(
                QStringLiteral("'%1' non è un valore in virgola mobile valido").arg(v_.toString()));
        }
        return *d;
    }
    return v_.toDouble();
}

QDate Campo::asDate() const {
    if (isNull()) {
        return {};
    }
    if (v_.typeId() == QMetaType::QDateTime) {
        return v_.toDateTime().date();
    }
    return v_.toDate();
}

QDateTime Campo::asDateTime() const {
    if (isNull()) {
        return {};
    }
    if (v_.typeId() == QMetaType::QDate) {
        return QDateTime(v_.toDate(), QTime(0, 0));
    }
    return v_.toDateTime();
}

// ---------------------------------------------------------------- Query

Query::Query(Database* db, Transaction* tr) : db_(db), tr_(tr) {}

Query::~Query() {
    close();
    freeStatement();
}

void Query::setDatabase(Database* db) {
    close();
    freeStatement();
    db_ = db;
}

void Query::setTransaction(Transaction* tr) {
    close();
    tr_ = tr;
}

void Query::freeStatement() {
    if (outMeta_) {
        outMeta_->release();
        outMeta_ = nullptr;
    }
    if (inMeta_) {
        inMeta_->release();
        inMeta_ = nullptr;
    }
    inBlob_.clear();
    inRoom_.clear();
    if (stmt_) {
        auto c = coll_.lock();
        // Reads only: a write runs the triggers and checks the archive has
        // when it is prepared, and one added or dropped since must count.
        if (c && c->att && !preparedSql_.isEmpty() && tipoFrase_ == isc_info_sql_stmt_select) {
            c->rendi(preparedSql_, stmt_);
        } else {
            Collegamento::libera(stmt_);
        }
        stmt_ = nullptr;
    }
    coll_.reset();
    preparedSql_.clear();
    preparedLines_.clear();
    preparedGen_ = 0;
}

void Query::prepare() {
    if (!db_ || !db_->connected()) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    if (!tr_) {
        throw DbError(QStringLiteral("Transazione non assegnata"));
    }
    ITransaction* tra = tr_->ensure();
    const bool valido = stmt_ && preparedGen_ == db_->generazione();
    // the same lines as last time, or lines of the same text
    if (valido && SQL.isSharedWith(preparedLines_)) {
        return;
    }
    QString sql = sqlText();
    if (valido && sql == preparedSql_) {
        preparedLines_ = SQL;
        return;
    }
    freeStatement();
    coll_ = db_->coll_;
    stmt_ = db_->coll_->prendi(sql);
    if (!stmt_) {
        QByteArray s = sql.toUtf8();
        conta(Chiamata::Preparazione, &sql);
        stmt_ = fb([&](ThrowStatusWrapper* st) {
            return db_->handle()->prepare(st, tra, 0, s.constData(), 3,
                                          IStatement::PREPARE_PREFETCH_METADATA);
        });
    }
    tipoFrase_ = fb([&](ThrowStatusWrapper* st) { return stmt_->getType(st); });
    {
        IMessageMetadata* in =
            fb([&](ThrowStatusWrapper* st) { return stmt_->getInputMetadata(st); });
        try {
            fb([&](ThrowStatusWrapper* st) {
                const unsigned n = in->getCount(st);
                for (unsigned i = 0; i < n; ++i) {
                    inBlob_.push_back((in->getType(st, i) & ~1u) == SQL_BLOB);
                }
            });
        } catch (...) {
            in->release();
            throw;
        }
        in->release();
    }

    info_.clear();
    ultimi_.clear();
    rawTypes_.clear();
    fisso_.clear();
    IMessageMetadata* meta =
        fb([&](ThrowStatusWrapper* st) { return stmt_->getOutputMetadata(st); });
    unsigned n = fb([&](ThrowStatusWrapper* st) { return meta->getCount(st); });
    IMetadataBuilder* b = fb([&](ThrowStatusWrapper* st) { return meta->getBuilder(st); });
    for (unsigned i = 0; i < n; ++i) {
        InfoCampo inf;
        fb([&](ThrowStatusWrapper* st) {
            inf.nome = QString::fromUtf8(meta->getAlias(st, i));
            inf.tabella = QString::fromUtf8(meta->getRelation(st, i)).trimmed();
            inf.colonna = QString::fromUtf8(meta->getField(st, i)).trimmed();
            unsigned t = meta->getType(st, i) & ~1u;
            int scale = meta->getScale(st, i);
            int sub = meta->getSubType(st, i);
            unsigned len = meta->getLength(st, i);
            switch (t) {
            case SQL_TEXT:
            case SQL_VARYING:
                inf.tipo = TipoCampo::Testo;
                inf.lunghezza = int(len / 4 ? len / 4 : len);
                if (t == SQL_TEXT) {
                    // fixed-width text is read as varying, so that its blanks can be trimmed
                    b->setType(st, i, SQL_VARYING + 1);
                }
                break;
            case SQL_SHORT:
            case SQL_LONG:
            case SQL_INT64:
                inf.tipo = scale < 0 ? TipoCampo::Decimale : TipoCampo::Intero;
                inf.scala = -scale;
                break;
            case SQL_FLOAT:
            case SQL_DOUBLE:
            case SQL_D_FLOAT:
                inf.tipo = TipoCampo::Virgola;
                break;
            case SQL_TYPE_DATE:
                inf.tipo = TipoCampo::Data;
                break;
            case SQL_TYPE_TIME:
                inf.tipo = TipoCampo::Ora;
                break;
            case SQL_TIMESTAMP:
                inf.tipo = TipoCampo::DataOra;
                break;
            case SQL_BLOB:
                inf.tipo = sub == 1 ? TipoCampo::Memo : TipoCampo::Binario;
                break;
            case SQL_BOOLEAN:
                inf.tipo = TipoCampo::Booleano;
                break;
            default:
                // anything else is read as text
                b->setType(st, i, SQL_VARYING + 1);
                b->setLength(st, i, 256);
                b->setCharSet(st, i, 4);
                b->setScale(st, i, 0);
                inf.tipo = TipoCampo::Testo;
                t = SQL_VARYING;
                break;
            }
            fisso_.push_back(t == SQL_TEXT);
            rawTypes_.push_back(t == SQL_TEXT ? SQL_VARYING : t);
        });
        info_.push_back(inf);
    }
    outMeta_ = fb([&](ThrowStatusWrapper* st) { return b->getMetadata(st); });
    b->release();
    meta->release();
    unsigned len = fb([&](ThrowStatusWrapper* st) { return outMeta_->getMessageLength(st); });
    outBuf_.assign(len, 0);
    outOffset_.clear();
    outNull_.clear();
    fb([&](ThrowStatusWrapper* st) {
        for (unsigned i = 0; i < n; ++i) {
            outOffset_.push_back(outMeta_->getOffset(st, i));
            outNull_.push_back(outMeta_->getNullOffset(st, i));
        }
    });
    // ready: only now may the next run take it as it stands
    preparedSql_ = sql;
    preparedLines_ = SQL;
    preparedGen_ = db_->generazione();
}

namespace {

// A parameter's text, as the statement receives it.
QByteArray testoParametro(const QVariant& v) {
    QString s;
    if (v.typeId() == QMetaType::QDate) {
        s = v.toDate().toString(Qt::ISODate);
    } else if (v.typeId() == QMetaType::QDateTime) {
        s = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    } else if (v.typeId() == QMetaType::Double) {
        s = QString::number(v.toDouble(), 'g', 17);
    } else if (v.typeId() == QMetaType::Bool) {
        s = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    } else {
        s = v.toString();
    }
    return s.toUtf8();
}

// The room a text of n bytes is given in a parameter message: some to spare,
// so that the next run's values most likely fit the same message, never
// more than the next step of 32 bytes, so that the message stays the size
// this run needs.
unsigned spazioPer(qsizetype n) {
    constexpr qsizetype kMassimo = 32765; // the longest VARCHAR
    const qsizetype arrotondato = (std::max<qsizetype>(n, 1) + 31) / 32 * 32;
    return unsigned(n > kMassimo ? n : std::min(arrotondato, kMassimo));
}

} // namespace

IMessageMetadata* Query::bindInput(std::vector<unsigned char>& buf) {
    const size_t n = inBlob_.size();
    if (n != params_.size()) {
        throw DbError(QStringLiteral("La frase SQL attende %1 parametri, ne ha ricevuti %2")
                          .arg(n)
                          .arg(params_.size()));
    }
    if (n == 0) {
        return nullptr;
    }
    std::vector<QByteArray> testi(n);
    bool stanno = inMeta_ != nullptr;
    for (size_t i = 0; i < n; ++i) {
        testi[i] = testoParametro(params_[i]);
        stanno = stanno && (inBlob_[i] || unsigned(testi[i].size()) <= inRoom_[i]);
    }
    if (!stanno) {
        // every text as UTF-8 VARCHAR; the engine converts it to the column's type
        std::vector<unsigned> spazio(n, 0);
        for (size_t i = 0; i < n; ++i) {
            spazio[i] = inBlob_[i] ? 0 : spazioPer(testi[i].size());
        }
        IMessageMetadata* in =
            fb([&](ThrowStatusWrapper* st) { return stmt_->getInputMetadata(st); });
        IMetadataBuilder* b = nullptr;
        IMessageMetadata* meta = nullptr;
        try {
            b = fb([&](ThrowStatusWrapper* st) { return in->getBuilder(st); });
            fb([&](ThrowStatusWrapper* st) {
                for (unsigned i = 0; i < n; ++i) {
                    if (inBlob_[i]) {
                        continue;
                    }
                    b->setType(st, i, SQL_VARYING + 1);
                    b->setSubType(st, i, 0);
                    b->setScale(st, i, 0);
                    b->setCharSet(st, i, 4);
                    b->setLength(st, i, spazio[i]);
                }
            });
            meta = fb([&](ThrowStatusWrapper* st) { return b->getMetadata(st); });
        } catch (...) {
            if (b) {
                b->release();
            }
            in->release();
            throw;
        }
        b->release();
        in->release();
        std::vector<unsigned> offset(n, 0), nullo(n, 0);
        unsigned lunghezza = 0;
        try {
            fb([&](ThrowStatusWrapper* st) {
                lunghezza = meta->getMessageLength(st);
                for (unsigned i = 0; i < n; ++i) {
                    offset[i] = meta->getOffset(st, i);
                    nullo[i] = meta->getNullOffset(st, i);
                }
            });
        } catch (...) {
            meta->release();
            throw;
        }
        // the new layout replaces the old one whole
        if (inMeta_) {
            inMeta_->release();
        }
        inMeta_ = meta;
        inRoom_ = std::move(spazio);
        inOffset_ = std::move(offset);
        inNull_ = std::move(nullo);
        inLength_ = lunghezza;
    }
    buf.assign(inLength_, 0);
    fb([&](ThrowStatusWrapper* st) {
        for (unsigned i = 0; i < n; ++i) {
            const unsigned off = inOffset_[i];
            const bool nullo = !params_[i].isValid() || params_[i].isNull();
            *reinterpret_cast<short*>(&buf[inNull_[i]]) = nullo ? -1 : 0;
            if (nullo) {
                continue;
            }
            if (inBlob_[i]) {
                ISC_QUAD id;
                conta(Chiamata::Blob);
                IBlob* bl = db_->handle()->createBlob(st, tr_->ensure(), &id, 0, nullptr);
                const QByteArray& d = testi[i];
                for (qsizetype p = 0; p < d.size(); p += 32000) {
                    unsigned k = unsigned(std::min<qsizetype>(32000, d.size() - p));
                    if (p > 0) {
                        conta(Chiamata::Blob);
                    }
                    bl->putSegment(st, k, d.constData() + p);
                }
                conta(Chiamata::Blob);
                bl->close(st);
                std::memcpy(&buf[off], &id, sizeof(id));
            } else {
                unsigned short l = static_cast<unsigned short>(testi[i].size());
                std::memcpy(&buf[off], &l, 2);
                std::memcpy(&buf[off + 2], testi[i].constData(), l);
            }
        }
    });
    return inMeta_;
}

void Query::open() {
    close();
    if (beforeOpen) {
        beforeOpen(*this);
    }
    prepare();
    if (tipoFrase_ != isc_info_sql_stmt_select && tipoFrase_ != isc_info_sql_stmt_select_for_upd) {
        throw DbError(QStringLiteral("La frase SQL non restituisce righe"));
    }
    std::vector<unsigned char> inBuf;
    IMessageMetadata* inMeta = bindInput(inBuf);
    conta(Chiamata::Esecuzione, &preparedSql_);
    rs_ = fb([&](ThrowStatusWrapper* st) {
        return stmt_->openCursor(st, tr_->ensure(), inMeta, inBuf.empty() ? nullptr : inBuf.data(),
                                 outMeta_, 0);
    });
    recNo_ = 0;
    lettureDelCursore_ = 0;
    eof_ = false;
    next();
    if (eof_) {
        eofOpen_ = true;
    }
    if (afterOpen) {
        afterOpen(*this);
    }
}

bool Query::next() {
    nelBuffer_ = false;
    if (!rs_) {
        eof_ = true;
        return false;
    }
    if (++lettureDelCursore_ % righePerLotto(outBuf_.size()) == 0) {
        conta(Chiamata::Lettura);
    }
    conta(Chiamata::Righe);
    int r = fb([&](ThrowStatusWrapper* st) { return rs_->fetchNext(st, outBuf_.data()); });
    if (r != IStatus::RESULT_OK) {
        eof_ = true;
        // keep the cursor's fields readable as null after the last row
        row_.assign(info_.size(), QVariant());
        rigaFatta_ = true;
        conta(Chiamata::Differita);
        fb([&](ThrowStatusWrapper* st) { rs_->close(st); });
        rs_ = nullptr;
        eofOpen_ = true;
        return false;
    }
    nelBuffer_ = true;
    if (perColonna_) {
        rigaFatta_ = false;
    } else {
        readRow();
    }
    ++recNo_;
    return true;
}

namespace {

// VARCHAR and CHAR: the length, then the characters; CHAR comes padded with
// blanks, which are not part of the value.
QByteArrayView byteColonna(const unsigned char* p, bool fisso) {
    unsigned short l;
    std::memcpy(&l, p, 2);
    const char* c = reinterpret_cast<const char*>(p + 2);
    if (fisso) {
        while (l > 0 && c[l - 1] == ' ') { // a blank is one byte in UTF-8
            --l;
        }
    }
    return QByteArrayView(c, l);
}

QString testoColonna(const unsigned char* p, bool fisso) {
    return QString::fromUtf8(byteColonna(p, fisso));
}

// SMALLINT, INTEGER, BIGINT and the exact numerics stored in them: a whole
// number, or the number divided once by 10^scale so that 1234.5 reads as the
// double nearest to it.
QVariant numeroEsatto(unsigned tipo, const unsigned char* p, int scala) {
    qint64 n = 0;
    if (tipo == SQL_SHORT) {
        n = *reinterpret_cast<const short*>(p);
    } else if (tipo == SQL_LONG) {
        n = *reinterpret_cast<const int*>(p);
    } else {
        std::memcpy(&n, p, 8);
    }
    if (scala <= 0) {
        return n;
    }
    double potenza = 1.0;
    for (int k = 0; k < scala; ++k) {
        potenza *= 10.0;
    }
    return double(n) / potenza;
}

// A column that needs no further call to the engine.
QVariant valoreSemplice(unsigned tipo, const unsigned char* p, const InfoCampo& inf, bool fisso) {
    switch (tipo) {
    case SQL_VARYING:
        return testoColonna(p, fisso);
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return numeroEsatto(tipo, p, inf.scala);
    case SQL_FLOAT:
        return double(*reinterpret_cast<const float*>(p));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return *reinterpret_cast<const double*>(p);
    case SQL_TYPE_DATE: {
        ISC_DATE d;
        std::memcpy(&d, p, sizeof(d));
        return kEpoca.addDays(d);
    }
    case SQL_TYPE_TIME: {
        ISC_TIME t;
        std::memcpy(&t, p, sizeof(t));
        return QTime(0, 0).addMSecs(int(t / 10));
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, p, sizeof(ts));
        return QDateTime(kEpoca.addDays(ts.timestamp_date),
                         QTime(0, 0).addMSecs(int(ts.timestamp_time / 10)));
    }
    case SQL_BOOLEAN:
        return bool(*p);
    default:
        return {};
    }
}

// The whole content of a blob column: text for a memo, bytes otherwise. The
// blob is let go even when reading it fails.
QVariant contenutoBlob(ThrowStatusWrapper* st, IAttachment* att, ITransaction* tra,
                       const unsigned char* p, bool memo) {
    ISC_QUAD id;
    std::memcpy(&id, p, sizeof(id));
    conta(Chiamata::Blob);
    IBlob* bl = att->openBlob(st, tra, &id, 0, nullptr);
    QByteArray data;
    try {
        char seg[32768];
        for (;;) {
            unsigned got = 0;
            const int r = bl->getSegment(st, sizeof(seg), seg, &got);
            if (r != IStatus::RESULT_OK && r != IStatus::RESULT_SEGMENT) {
                break;
            }
            conta(Chiamata::Blob);
            data.append(seg, got);
        }
        conta(Chiamata::Differita);
        bl->close(st); // releases the blob
    } catch (...) {
        bl->release();
        throw;
    }
    if (memo) {
        return QString::fromUtf8(data);
    }
    return data;
}

} // namespace

void Query::readRow() const {
    row_.assign(info_.size(), QVariant());
    fb([&](ThrowStatusWrapper* st) {
        for (unsigned i = 0; i < info_.size(); ++i) {
            if (*reinterpret_cast<const short*>(&outBuf_[outNull_[i]])) {
                continue;
            }
            const unsigned char* p = &outBuf_[outOffset_[i]];
            row_[i] = rawTypes_[i] == SQL_BLOB
                          ? contenutoBlob(st, db_->handle(), tr_->ensure(), p,
                                          info_[i].tipo == TipoCampo::Memo)
                          : valoreSemplice(rawTypes_[i], p, info_[i], fisso_[i]);
        }
    });
    rigaFatta_ = true; // only once whole: a row a blob failed is made again when asked
}

void Query::close() {
    if (!rs_ && !eofOpen_) {
        return;
    }
    if (beforeClose) {
        beforeClose(*this);
    }
    if (rs_) {
        try {
            conta(Chiamata::Differita);
            fb([&](ThrowStatusWrapper* st) { rs_->close(st); });
        } catch (const DbError&) {
            rs_->release();
        }
        rs_ = nullptr;
    }
    eofOpen_ = false;
    eof_ = true;
    row_.clear();
    rigaFatta_ = true;
    nelBuffer_ = false;
}

int Query::execSQL() {
    close();
    prepare();
    std::vector<unsigned char> inBuf;
    IMessageMetadata* inMeta = bindInput(inBuf);
    const unsigned type = tipoFrase_;
    const bool conRighe = !info_.empty() && type != isc_info_sql_stmt_select;
    if (type == isc_info_sql_stmt_ddl) {
        // the statements kept would hold the tables it changes
        db_->coll_->svuota();
        struttura.fetch_add(1, std::memory_order_relaxed);
    }
    conta(Chiamata::Esecuzione, &preparedSql_);
    fb([&](ThrowStatusWrapper* st) {
        stmt_->execute(st, tr_->ensure(), inMeta, inBuf.empty() ? nullptr : inBuf.data(),
                       conRighe ? outMeta_ : nullptr, conRighe ? outBuf_.data() : nullptr);
    });
    if (conRighe) {
        readRow();
    }
    conta(Chiamata::Info);
    rowsAffected_ = int(fb([&](ThrowStatusWrapper* st) { return stmt_->getAffectedRecords(st); }));
    if (type == isc_info_sql_stmt_ddl) {
        // DDL statements cannot be reused once their transaction ends
        freeStatement();
    }
    return rowsAffected_;
}

int Query::indexOf(const QString& name) const {
    for (size_t i = 0; i < info_.size(); ++i) {
        if (info_[i].nome.compare(name, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

Campo Query::field(int i) const {
    if (i < 0 || size_t(i) >= info_.size()) {
        throw DbError(QStringLiteral("Campo %1 inesistente").arg(i));
    }
    const std::vector<QVariant>& r = riga();
    return Campo(&info_[size_t(i)], size_t(i) < r.size() ? r[size_t(i)] : QVariant());
}

const QVariant& Query::valore(int i) const {
    static const QVariant nullo;
    if (i < 0 || size_t(i) >= info_.size()) {
        throw DbError(QStringLiteral("Campo %1 inesistente").arg(i));
    }
    const std::vector<QVariant>& r = riga();
    return size_t(i) < r.size() ? r[size_t(i)] : nullo;
}

std::vector<QVariant> Query::rowValues() const {
    return riga();
}

const std::vector<QVariant>& Query::riga() const {
    if (!rigaFatta_) {
        readRow();
    }
    return row_;
}

const unsigned char* Query::grezzo(int i) const {
    if (i < 0 || size_t(i) >= info_.size()) {
        throw DbError(QStringLiteral("Campo %1 inesistente").arg(i));
    }
    if (!nelBuffer_ || *reinterpret_cast<const short*>(&outBuf_[outNull_[size_t(i)]])) {
        return nullptr;
    }
    return &outBuf_[outOffset_[size_t(i)]];
}

bool Query::isNull(int i) const {
    if (nelBuffer_) {
        return !grezzo(i);
    }
    return !valore(i).isValid();
}

std::optional<QByteArrayView> Query::leggiByte(int i) const {
    const unsigned char* p = grezzo(i);
    if (!p || rawTypes_[size_t(i)] != SQL_VARYING) {
        return std::nullopt;
    }
    return byteColonna(p, fisso_[size_t(i)]);
}

QString Query::leggiTesto(int i) const {
    if (const std::optional<QByteArrayView> b = leggiByte(i)) {
        const char* c = b->data();
        const size_t l = size_t(b->size());
        ultimi_.resize(info_.size());
        UltimoTesto& u = ultimi_[size_t(i)];
        if (!u.fatto || u.byte.size() != l || std::memcmp(u.byte.data(), c, l) != 0) {
            u.byte.assign(c, l);
            u.testo = QString::fromUtf8(c, l);
            u.fatto = true;
        }
        return u.testo;
    }
    return isNull(i) ? QString() : field(i).asString();
}

qint64 Query::leggiIntero(int i) const {
    const unsigned char* p = grezzo(i);
    const unsigned t = rawTypes_[size_t(i)];
    if (p && (t == SQL_SHORT || t == SQL_LONG || t == SQL_INT64) && info_[size_t(i)].scala <= 0) {
        return numeroEsatto(t, p, 0).toLongLong();
    }
    return isNull(i) ? 0 : field(i).asInteger();
}

std::optional<double> Query::leggiNumero(int i) const {
    if (const unsigned char* p = grezzo(i)) {
        switch (rawTypes_[size_t(i)]) {
        case SQL_DOUBLE:
        case SQL_D_FLOAT: {
            double d;
            std::memcpy(&d, p, sizeof(d));
            return d;
        }
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            return numeroEsatto(rawTypes_[size_t(i)], p, info_[size_t(i)].scala).toDouble();
        default:
            break;
        }
    }
    if (isNull(i)) {
        return std::nullopt;
    }
    return field(i).asFloat();
}

QDate Query::leggiData(int i) const {
    if (const unsigned char* p = grezzo(i); p && rawTypes_[size_t(i)] == SQL_TYPE_DATE) {
        ISC_DATE d;
        std::memcpy(&d, p, sizeof(d));
        return kEpoca.addDays(d);
    }
    return isNull(i) ? QDate() : field(i).asDate();
}

Campo Query::fieldByName(const QString& name) const {
    int i = indexOf(name);
    if (i < 0) {
        throw DbError(QStringLiteral("Campo '%1' non trovato").arg(name));
    }
    return field(i);
}

QVariant Query::scalar() {
    open();
    QVariant v = eof() ? QVariant() : field(0).valore();
    close();
    return v;
}

QStringList Query::primaColonna() {
    QStringList r;
    open();
    for (; !eof(); next()) {
        const Campo c = field(0);
        r << (c.isNull() ? QString() : c.asString());
    }
    close();
    return r;
}

// ---------------------------------------------------------------- script

void eseguiScript(Database& db, const QString& text) {
    Transaction tr(&db);
    Query q(&db, &tr);
    QStringList corrente;
    const QStringList righe = text.split('\n');
    for (const QString& riga : righe) {
        QString r = riga;
        r.remove('\r');
        if (r.trimmed().startsWith(QLatin1String("--")) ||
            (corrente.isEmpty() && r.trimmed().isEmpty())) {
            continue;
        }
        corrente << r;
        if (r.trimmed().endsWith(';')) {
            QString ultima = corrente.last().trimmed();
            ultima.chop(1);
            corrente.last() = ultima;
            q.SQL = corrente;
            try {
                q.execSQL();
                tr.commit();
            } catch (const DbError& e) {
                tr.rollback();
                throw DbError(e.messaggio() + QStringLiteral(" [") + corrente.join(' ').left(200) +
                                  QStringLiteral("]"),
                              e.sqlCode(), e.gdsCode());
            }
            corrente.clear();
        }
    }
    if (!corrente.join("").trimmed().isEmpty()) {
        throw DbError(QStringLiteral("Script incompleto: manca ';' in fondo a ") +
                      corrente.join(' ').left(200));
    }
}

} // namespace quintar
