// Firebird access: connections, transactions and queries over the OO API.
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
class IStatement;
class IResultSet;
class IMessageMetadata;
} // namespace Firebird

namespace quintar {

// The one exception of the database layer: Firebird's message and codes.
class DbError : public std::runtime_error {
public:
    DbError(const QString& message, int sqlCode = 0, long gdsCode = 0);
    QString messaggio() const { return messaggio_; }
    int sqlCode() const { return sqlCode_; }
    long gdsCode() const { return gdsCode_; }
    // Another transaction holds a conflicting change (update conflict, lock conflict,
    // deadlock): an ordinary outcome with "nowait" transactions.
    bool conflitto() const;
    // Duplicate value of a primary or unique key.
    bool chiaveDuplicata() const;

private:
    QString messaggio_;
    int sqlCode_;
    long gdsCode_;
};

struct Credenziali {
    QString utente = QStringLiteral("SYSDBA");
    QString password = QStringLiteral("pinecrest");
};

class Transaction;

// One connection slot (IBDatabase... of a session). A local path opens in the
// embedded engine, "server:path" goes to a server.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void connect(const QString& name, const Credenziali& c = {});
    // New database: page size 4096, dialect 3, default character set WIN1252.
    void create(const QString& name, const Credenziali& c = {});
    void disconnect();
    // Drops the attachment and opens a new one to the same database (the
    // credentials of the default): what a transaction left prepared on the
    // old one (Transaction::lasciaInSospeso) stays in limbo, no longer held.
    void riconnetti();
    bool connected() const { return att_ != nullptr; }
    QString databaseName() const { return name_; }
    Firebird::IAttachment* handle() const { return att_; }
    // Changes at every connection, so that statements prepared on an earlier
    // attachment are never reused.
    quint64 generazione() const { return gen_; }

    // Detaches the attachments to servers kept for reuse (see connect).
    static void chiudiInutilizzati();

    // A read-only transaction that reads what is committed at each
    // statement, kept as long as the attachment: settings and the catalogue
    // are read in it without a transaction of their own (a start and an end
    // are two round trips on a server). Never for what a write relies on.
    Transaction& lettura();

private:
    friend class Transaction;
    friend class Query;
    void chiudi(bool riusabile);
    // The attachment and the statements its queries gave back: a connection
    // to a server is kept for the next connect to the same database after a
    // disconnect, with them (many screens of one host read the same tables).
    std::shared_ptr<struct Collegamento> coll_;
    Firebird::IAttachment* att_ = nullptr;
    QString name_;
    Credenziali cred_;
    quint64 gen_ = 0;
    // false once a transaction was let go in limbo or could not be ended:
    // then the attachment is detached, never kept
    bool riusabile_ = true;
    static quint64 contatore_;
    std::vector<class Transaction*> transactions_;
    std::unique_ptr<class Transaction> lettura_;
};

// Changes whenever this process changes an archive's structure: what is read
// from the catalogue once per process is read again after it.
quint64 generazioneStruttura();

// A transaction with an explicit parameter block. Default parameters are
// "isc_tpb_concurrency" and "isc_tpb_nowait"; an active transaction is rolled
// back when it is destroyed or when its connection goes away.
class Transaction {
public:
    explicit Transaction(Database* db, QStringList params = {QStringLiteral("isc_tpb_concurrency"),
                                                             QStringLiteral("isc_tpb_nowait")});
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void setParams(const QStringList& params) { params_ = params; }
    QStringList params() const { return params_; }
    // With secondi > 0 a conflicting lock is waited for that many seconds at
    // most (in place of "isc_tpb_wait" / "isc_tpb_nowait"); from the next start.
    void setAttesaBlocchi(int secondi) { attesa_ = secondi; }
    int attesaBlocchi() const { return attesa_; }
    Database* database() const { return db_; }
    void setDatabase(Database* db);

    // A snapshot starts at once; a read-committed transaction when a statement
    // first needs it (started and ended without a statement, it costs nothing).
    void start();
    bool active() const { return tra_ != nullptr || avviata_; }
    void commit();
    void commitRetaining();
    void rollback();
    void rollbackRetaining();
    // For failure paths: a rollback that fails too (the connection is gone)
    // leaves nothing more to undo, so it is not reported again.
    void rollbackRetainingNoThrow() noexcept;
    // Rollback and start again, so that the next reads see what others committed.
    void restart();
    // Starts the transaction when it is not active; returns the handle.
    Firebird::ITransaction* ensure();
    // First phase of a two-phase commit: the archive promises to commit and
    // keeps `messaggio` in RDB$TRANSACTIONS until the transaction ends.
    void prepara(const QByteArray& messaggio);
    // Lets a prepared transaction go without ending it: it stays in limbo,
    // to be ended by a recovery once its attachment is dropped.
    void lasciaInSospeso() noexcept;
    // Takes up a transaction the archive holds in limbo (its number as the
    // engine encodes it), so that commit or rollback end it.
    void riprendi(const unsigned char* numero, unsigned lunghezza);

private:
    friend class Database;
    friend class TransazioneDistribuita;
    void detach();
    // A part of a two-phase unit: only the unit starts and ends it.
    void soloUnita(const char* operazione) const;
    bool diUnita_ = false;
    Database* db_;
    QStringList params_;
    int attesa_ = 0;
    Firebird::ITransaction* tra_ = nullptr;
    bool avviata_ = false; // started, not yet in the engine
};

enum class TipoCampo {
    Testo,
    Intero,
    Decimale,
    Virgola,
    Data,
    Ora,
    DataOra,
    Memo,
    Binario,
    Booleano
};

struct InfoCampo {
    QString nome;    // alias as the query names it
    QString tabella; // relation, empty for expressions
    QString colonna; // field of the relation
    TipoCampo tipo = TipoCampo::Testo;
    int scala = 0;     // decimals of exact numerics
    int lunghezza = 0; // characters of text fields
    QString origine() const { return tabella.isEmpty() ? QString() : tabella + "." + colonna; }
};

// A field of the current row.
class Campo {
public:
    Campo() = default;
    Campo(const InfoCampo* info, QVariant v) : info_(info), v_(std::move(v)) {}
    bool isNull() const { return !v_.isValid() || v_.isNull(); }
    const QVariant& valore() const { return v_; }
    const InfoCampo& info() const { return *info_; }
    // Text as a user sees it, through the process-wide number and date formats;
    // empty for null.
    QString asString() const;
    qint64 asInteger() const;
    double asFloat() const;
    QDate asDate() const;
    QDateTime asDateTime() const;

private:
    const InfoCampo* info_ = nullptr;
    QVariant v_;
};

// A statement whose SQL is a list of text lines. SELECTs open a cursor whose
// rows are fetched on demand; other statements run with execSQL.
class Query {
public:
    Query(Database* db = nullptr, Transaction* tr = nullptr);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setDatabase(Database* db);
    void setTransaction(Transaction* tr);
    Database* database() const { return db_; }
    Transaction* transaction() const { return tr_; }

    QStringList SQL;
    QString sqlText() const { return SQL.join('\n'); }

    // Positional parameters ("?"), bound by value: a text keeps every character.
    void clearParams() { params_.clear(); }
    void addParam(const QVariant& v) { params_.push_back(v); }
    void setParams(std::vector<QVariant> p) { params_ = std::move(p); }
    const std::vector<QVariant>& parametri() const { return params_; }

    std::function<void(Query&)> beforeOpen, afterOpen, beforeClose;

    void open();
    void close();
    bool isOpen() const { return rs_ != nullptr || eofOpen_; }
    // The cursor stands on a row (after open, false when the result is empty).
    bool eof() const { return eof_; }
    // Moves to the next row; returns false at the end.
    bool next();
    int recNo() const { return recNo_; }

    // Runs a statement that returns no cursor; returns the rows it touched.
    int execSQL();
    int rowsAffected() const { return rowsAffected_; }

    int fieldCount() const { return int(info_.size()); }
    const std::vector<InfoCampo>& fields() const { return info_; }
    int indexOf(const QString& name) const;
    Campo field(int i) const;
    // The value of column i of the current row (invalid for null), without
    // the copy a Campo makes: for readers of many rows.
    const QVariant& valore(int i) const;
    Campo fieldByName(const QString& name) const; // throws when absent
    Campo operator[](const QString& name) const { return fieldByName(name); }
    std::vector<QVariant> rowValues() const;

    // Rows read column by column: each fetched row's values are made only
    // when one is asked for through a Campo or valore(), and the readers
    // below take texts, whole numbers, numbers and dates straight from the
    // row fetched, each made once where the reader keeps it. For readers of
    // many rows that keep what they read.
    void setLetturaPerColonna(bool s) { perColonna_ = s; }
    bool isNull(int i) const;
    QString leggiTesto(int i) const; // empty for null
    qint64 leggiIntero(int i) const; // 0 for null
    std::optional<double> leggiNumero(int i) const;
    QDate leggiData(int i) const; // invalid for null
    // A text column of the row fetched as it came, in UTF-8, valid until the
    // next row; none for null, for a column of another type and when no row
    // stands.
    std::optional<QByteArrayView> leggiByte(int i) const;

    // Convenience: opens, returns the first column of the first row (empty
    // QVariant when there is no row), closes.
    QVariant scalar();
    // Convenience: opens, returns the first column of every row as text
    // (empty for null), closes.
    QStringList primaColonna();

private:
    void prepare();
    void freeStatement();
    // Fills buf with the parameters; returns the message's layout (owned
    // here), or null for a statement without parameters.
    Firebird::IMessageMetadata* bindInput(std::vector<unsigned char>& buf);
    void readRow() const;
    // The row's values, made now if the row was fetched without them.
    const std::vector<QVariant>& riga() const;
    // Where column i of the row fetched stands, or null when the row's
    // values are already made (or i is null): then they answer.
    const unsigned char* grezzo(int i) const;

    Database* db_;
    Transaction* tr_;
    std::vector<QVariant> params_;
    Firebird::IStatement* stmt_ = nullptr;
    // the attachment stmt_ belongs to: it takes the statement back when the
    // query is done with it
    std::weak_ptr<struct Collegamento> coll_;
    Firebird::IResultSet* rs_ = nullptr;
    Firebird::IMessageMetadata* outMeta_ = nullptr;
    std::vector<unsigned char> outBuf_;
    std::vector<InfoCampo> info_;
    std::vector<unsigned> rawTypes_;
    std::vector<bool> fisso_;
    std::vector<unsigned> outOffset_, outNull_; // where each column stands in outBuf_
    mutable std::vector<QVariant> row_;
    bool perColonna_ = false;
    // Read column by column, a text equal to the one its column gave last
    // is that one again, shared, not made anew.
    struct UltimoTesto {
        std::string byte; // as fetched
        QString testo;
        bool fatto = false;
    };
    mutable std::vector<UltimoTesto> ultimi_;
    mutable bool rigaFatta_ = true; // row_ holds the current row's values
    bool nelBuffer_ = false;        // outBuf_ holds the row fetched
    QString preparedSql_;
    QStringList preparedLines_; // the lines preparedSql_ was made of
    unsigned tipoFrase_ = 0;    // isc_info_sql_stmt_...
    // The parameters' layout, kept from one run to the next while every
    // value still fits: the statement's own types (blob or not), then the
    // message made for them, its room for each text and where each stands.
    std::vector<bool> inBlob_;
    Firebird::IMessageMetadata* inMeta_ = nullptr;
    std::vector<unsigned> inRoom_, inOffset_, inNull_;
    unsigned inLength_ = 0;
    quint64 preparedGen_ = 0;
    bool eof_ = true;
    bool eofOpen_ = false;
    int recNo_ = 0;
    int rowsAffected_ = 0;
    // fetches since the cursor opened: one in each batch crosses (Chiamata::Lettura)
    qint64 lettureDelCursore_ = 0;
};

// A write on current data: `t` starts afresh, `scrivi` runs on it and the
// whole commits (retaining), so that what the write numbers or copies is read
// on the data as they stand now. A collision with another user's write made
// meanwhile (a key taken, a row being changed: DbError::conflitto,
// DbError::chiaveDuplicata) makes it start once more; a second failure, or
// any other, is rolled back and thrown. Cursors open on `t` end with it.
void scriviSuDatiCorrenti(Transaction& t, const std::function<void()>& scrivi);

// The table is in the archive; when it is not, `ddl` makes it. Of two
// sessions making it at once one makes it and the other, after a wait of a
// few seconds at most, finds it. False when it is neither found nor made.
bool assicuraTabella(Database& db, const QString& tabella, const QStringList& ddl);

// Runs a DDL/DML script: statements ended by ';' at the end of a line,
// whole-line "--" comments. Each statement is committed as it runs.
void eseguiScript(Database& db, const QString& text);

// The calls this layer makes to the engine, counted for the whole process:
// what a screen costs on a slow network. Each kind counts what crosses to a
// server as one round trip, as the client of Firebird 3 sends it (checked
// against the traffic by bench/screen_rounds); the last two kinds are counted
// apart and are no round trips.
enum class Chiamata {
    // attach, create, detach: one each, though an attach through a server
    // takes a few (connection, authentication, encryption)
    Attacco,
    Transazione,  // start, commit, rollback and their retaining forms, the
                  // first phase of a two-phase commit, a limbo taken up
    Preparazione, // a statement prepared (its type and layouts come with it)
    // A statement executed, a cursor opened: the open travels with the
    // first batch of the cursor's rows.
    Esecuzione,
    // A further batch of a cursor's rows. The client fetches rows in
    // batches (up to 1,000 rows and 1 MB, so fewer rows of a wide
    // statement) and serves fetchNext from its buffer: counted is one
    // fetch in each batch after the first.
    Lettura,
    // A blob read: its open and each segment of data; written: its creation,
    // its close and each segment after the first (which travels with the
    // close).
    Blob,
    Info, // information asked of the engine (the rows a statement touched)
    // Not round trips:
    Righe,    // every fetchNext: the rows read, and the end of each cursor
    Differita // a cursor or a blob read closed, a statement freed: the
              // client sends them along with the next call
};
inline constexpr size_t kTipiChiamata = size_t(Chiamata::Differita) + 1;

struct ContoChiamate {
    std::array<quint64, kTipiChiamata> n{};
    quint64 operator[](Chiamata c) const { return n[size_t(c)]; }
    // The round trips: every kind but Righe and Differita.
    quint64 giri() const;
    ContoChiamate operator-(const ContoChiamate& prima) const;
    // "attach 2, transaction 5, prepare 9, ..." for a report.
    QString descrizione() const;
};

// The calls counted since the process started.
ContoChiamate contaChiamate();
// A call to the engine made through the OO API outside this layer, so that
// it is counted with the others.
void registraChiamata(Chiamata c, const QString& testo = {});

// The calls made since it was constructed: a section measured.
class MisuraChiamate {
public:
    MisuraChiamate() : inizio_(contaChiamate()) {}
    ContoChiamate finora() const { return contaChiamate() - inizio_; }

private:
    ContoChiamate inizio_;
};

} // namespace quintar
