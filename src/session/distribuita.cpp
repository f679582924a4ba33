#include "session/distribuita.h"

#include "session/fbinterno.h"

#include <QFileInfo>
#include <QUuid>
#include <QtGlobal>
#include <algorithm>
#include <firebird/Interface.h>
#include <ibase.h>
#include <map>

using namespace Firebird;

namespace quintar {

namespace {

using fbinterno::fb;
using fbinterno::master;

const QString kMarca = QStringLiteral("Quintar: transazione distribuita");

QString componiDescrizione(const QString& esecuzione, const QStringList& archivi,
                           const QStringList& transazioni, const QString& messaggio) {
    QString m = messaggio;
    m.replace('\n', ' ');
    return kMarca + "\nesecuzione=" + esecuzione + "\narchivi=" + archivi.join('|') +
           "\ntransazioni=" + transazioni.join('|') + "\nmessaggio=" + m;
}

void leggiDescrizione(TransazioneInLimbo& t) {
    const QStringList righe = t.descrizione.split('\n');
    if (righe.value(0) != kMarca) {
        return;
    }
    for (const QString& r : righe) {
        if (r.startsWith(QLatin1String("esecuzione="))) {
            t.esecuzione = r.mid(11);
        } else if (r.startsWith(QLatin1String("archivi="))) {
            t.archivi = r.mid(8).split('|', Qt::SkipEmptyParts);
        } else if (r.startsWith(QLatin1String("transazioni="))) {
            for (const QString& n : r.mid(12).split('|', Qt::SkipEmptyParts)) {
                t.transazioni.push_back(n.toLongLong());
            }
        } else if (r.startsWith(QLatin1String("messaggio="))) {
            t.messaggio = r.mid(10);
        }
    }
}

qint64 interoVax(const unsigned char* p, unsigned len) {
    quint64 v = 0;
    for (unsigned i = 0; i < len && i < 8; ++i) {
        v |= quint64(p[i]) << (8 * i);
    }
    return qint64(v);
}

// Ids of the transactions the archive holds in limbo.
std::vector<qint64> idInLimbo(Database& db) {
    if (!db.connected()) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    const unsigned char voce[] = {isc_info_limbo, isc_info_end};
    std::vector<unsigned char> buf(1 << 16);
    fb([&](ThrowStatusWrapper* st) {
        db.handle()->getInfo(st, sizeof(voce), voce, unsigned(buf.size()), buf.data());
    });
    std::vector<qint64> ids;
    size_t p = 0;
    while (p + 3 <= buf.size() && buf[p] != isc_info_end) {
        const unsigned char v = buf[p];
        if (v == isc_info_truncated) {
            throw DbError(QStringLiteral("Troppe transazioni in limbo da elencare"));
        }
        const unsigned len = unsigned(interoVax(&buf[p + 1], 2));
        if (p + 3 + len > buf.size()) {
            break;
        }
        if (v == isc_info_limbo) {
            ids.push_back(interoVax(&buf[p + 3], len));
        }
        p += 3 + len;
    }
    return ids;
}

// Every two-phase transaction the archive describes: id, state (1 limbo,
// 2 committed, 3 rolled back) and description.
struct Registrata {
    qint64 id;
    int stato;
    TransazioneInLimbo t;
};

std::vector<Registrata> registrate(Database& db) {
    Transaction tr(&db,
                   {QStringLiteral("isc_tpb_read_committed"), QStringLiteral("isc_tpb_rec_version"),
                    QStringLiteral("isc_tpb_read"), QStringLiteral("isc_tpb_nowait")});
    Query q(&db, &tr);
    q.SQL = {"SELECT RDB$TRANSACTION_ID, RDB$TRANSACTION_STATE, RDB$TRANSACTION_DESCRIPTION",
             "FROM RDB$TRANSACTIONS ORDER BY RDB$TRANSACTION_ID"};
    std::vector<Registrata> r;
    q.open();
    while (!q.eof()) {
        Registrata x;
        x.id = q.field(0).asInteger();
        x.stato = int(q.field(1).asInteger());
        x.t.id = x.id;
        const QVariant d = q.field(2).valore();
        x.t.descrizione =
            d.typeId() == QMetaType::QByteArray ? QString::fromUtf8(d.toByteArray()) : d.toString();
        leggiDescrizione(x.t);
        r.push_back(std::move(x));
        q.next();
    }
    q.close();
    tr.commit();
    return r;
}

ITransaction* riconnetti(Database& db, qint64 id) {
    if (!db.connected()) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    unsigned char b[8];
    const unsigned len = quint64(id) > 0xFFFFFFFFull ? 8 : 4;
    for (unsigned i = 0; i < len; ++i) {
        b[i] = static_cast<unsigned char>((quint64(id) >> (8 * i)) & 0xFF);
    }
    return fb(
        [&](ThrowStatusWrapper* st) { return db.handle()->reconnectTransaction(st, len, b); });
}

// How a transaction the archive no longer holds in limbo ended, as the engine
// tells when asked to reconnect it: 2 committed, 3 rolled back, 4 still active
// (never prepared; its process may be gone), -1 unknown.
int esitoConcluso(Database& db, qint64 id) {
    try {
        ITransaction* t = riconnetti(db, id);
        t->release(); // in limbo after all: left as it is
        return 1;
    } catch (const DbError& e) {
        const QString m = e.messaggio();
        if (m.contains(QLatin1String("is committed"))) {
            return 2;
        }
        if (m.contains(QLatin1String("is rolled back")) || m.contains(QLatin1String("is dead"))) {
            return 3;
        }
        if (m.contains(QLatin1String("is active"))) {
            return 4;
        }
        return -1;
    }
}

bool stessoArchivio(const QString& a, const QString& b) {
    return a == b ||
           QFileInfo(a).fileName().compare(QFileInfo(b).fileName(), Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------- TransazioneDistribuita

TransazioneDistribuita::TransazioneDistribuita(std::vector<Database*> archivi, QStringList params,
                                               int attesaBlocchi)
    : archivi_(std::move(archivi)), params_(std::move(params)), attesa_(attesaBlocchi) {
    for (Database* db : archivi_) {
        viste_.push_back(std::make_unique<Transaction>(db));
    }
}

TransazioneDistribuita::~TransazioneDistribuita() {
    if (!tra_) {
        return;
    }
    if (preparata_) {
        // Every archive promised to commit and none was told the outcome: the
        // run stays in limbo until recuperaInLimbo ends it the same way on all.
        qWarning("transazione distribuita %s preparata e non conclusa: resta in limbo",
                 qPrintable(esecuzione_));
        termina();
        return;
    }
    try {
        rollback();
    } catch (const DbError& e) {
        qWarning("rollback della transazione distribuita non riuscito: %s",
                 qPrintable(e.messaggio()));
    }
}

void TransazioneDistribuita::termina() {
    for (auto& v : viste_) {
        v->abbandona();
    }
    if (tra_) {
        tra_->release();
        tra_ = nullptr;
    }
    preparata_ = false;
}

void TransazioneDistribuita::start() {
    if (tra_) {
        throw DbError(QStringLiteral("Transazione già attiva"));
    }
    if (archivi_.empty()) {
        throw DbError(QStringLiteral("Transazione distribuita senza archivi"));
    }
    const std::vector<unsigned char> b = fbinterno::bloccoTpb(params_, attesa_);
    IDtcStart* inizio =
        fb([&](ThrowStatusWrapper* st) { return master()->getDtc()->startBuilder(st); });
    try {
        for (Database* db : archivi_) {
            if (!db || !db->connected()) {
                throw DbError(QStringLiteral("Database non connesso"));
            }
            fb([&](ThrowStatusWrapper* st) {
                inizio->addWithTpb(st, db->handle(), unsigned(b.size()), b.data());
            });
        }
        // A successful start disposes of the builder.
        tra_ = fb([&](ThrowStatusWrapper* st) { return inizio->start(st); });
    } catch (const DbError&) {
        inizio->dispose();
        throw;
    }
    esecuzione_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    preparata_ = false;
    for (size_t i = 0; i < archivi_.size(); ++i) {
        viste_[i]->setDatabase(archivi_[i]);
        viste_[i]->adotta(tra_);
    }
}

Transaction& TransazioneDistribuita::su(Database& db) {
    auto it = std::find(archivi_.begin(), archivi_.end(), &db);
    if (it == archivi_.end()) {
        throw DbError(QStringLiteral("L'archivio %1 non fa parte della transazione distribuita")
                          .arg(db.databaseName()));
    }
    if (!tra_) {
        start();
    }
    return *viste_[size_t(it - archivi_.begin())];
}

void TransazioneDistribuita::prepare(const QString& descrizione) {
    if (!tra_) {
        throw DbError(QStringLiteral("Nessuna transazione distribuita attiva"));
    }
    if (preparata_) {
        throw DbError(QStringLiteral("Transazione distribuita già preparata"));
    }
    // Each archive's own transaction number, so that a later recovery can ask
    // any archive how its part ended.
    QStringList nomi, numeri;
    for (size_t i = 0; i < archivi_.size(); ++i) {
        nomi << archivi_[i]->databaseName();
        Query q(archivi_[i], viste_[i].get());
        q.SQL = {"SELECT CURRENT_TRANSACTION FROM RDB$DATABASE"};
        numeri << q.scalar().toString();
    }
    const QByteArray m = componiDescrizione(esecuzione_, nomi, numeri, descrizione).toUtf8();
    fb([&](ThrowStatusWrapper* st) {
        tra_->prepare(st, unsigned(m.size()),
                      reinterpret_cast<const unsigned char*>(m.constData()));
    });
    preparata_ = true;
}

void TransazioneDistribuita::commit() {
    if (!tra_) {
        throw DbError(QStringLiteral("Nessuna transazione distribuita attiva"));
    }
    if (!preparata_) {
        try {
            prepare();
        } catch (const DbError&) {
            // Not every archive promised: nothing is committed anywhere.
            try {
                rollback();
            } catch (const DbError& e) {
                qWarning("rollback della transazione distribuita non riuscito: %s",
                         qPrintable(e.messaggio()));
            }
            throw;
        }
    }
    try {
        fb([&](ThrowStatusWrapper* st) { tra_->commit(st); });
    } catch (const DbError& e) {
        // Some archive may have committed already: a rollback could split the
        // run, so what is left stays in limbo for recuperaInLimbo.
        qWarning("commit della transazione distribuita %s non concluso: %s",
                 qPrintable(esecuzione_), qPrintable(e.messaggio()));
        termina();
        throw DbError(QStringLiteral("Commit non concluso in tutti gli archivi (esecuzione %1): "
                                     "la parte rimasta in limbo va recuperata. %2")
                          .arg(esecuzione_, e.messaggio()),
                      e.sqlCode(), e.gdsCode());
    }
    tra_ = nullptr; // a successful commit releases the handle
    termina();
}

void TransazioneDistribuita::rollback() {
    if (!tra_) {
        return;
    }
    try {
        fb([&](ThrowStatusWrapper* st) { tra_->rollback(st); });
    } catch (const DbError&) {
        termina();
        throw;
    }
    tra_ = nullptr;
    termina();
}

// ---------------------------------------------------------------- limbo

std::vector<TransazioneInLimbo> transazioniInLimbo(Database& db) {
    const std::vector<qint64> ids = idInLimbo(db);
    std::vector<TransazioneInLimbo> r;
    if (ids.empty()) {
        return r;
    }
    const std::vector<Registrata> reg = registrate(db);
    for (qint64 id : ids) {
        auto it =
            std::find_if(reg.begin(), reg.end(), [&](const Registrata& x) { return x.id == id; });
        if (it != reg.end()) {
            r.push_back(it->t);
        } else {
            TransazioneInLimbo t;
            t.id = id;
            r.push_back(t);
        }
    }
    std::sort(r.begin(), r.end(), [](auto& a, auto& b) { return a.id < b.id; });
    return r;
}

void risolviInLimbo(Database& db, qint64 id, bool conferma) {
    ITransaction* t = riconnetti(db, id);
    try {
        if (conferma) {
            fb([&](ThrowStatusWrapper* st) { t->commit(st); });
        } else {
            fb([&](ThrowStatusWrapper* st) { t->rollback(st); });
        }
    } catch (const DbError&) {
        t->release();
        throw;
    }
}

EsitoRecupero recuperaInLimbo(Database& a, Database& b) {
    EsitoRecupero esito;
    auto risolvi = [&](Database& db, qint64 id, const QString& esecuzione, bool conferma,
                       const QString& motivo) {
        risolviInLimbo(db, id, conferma);
        qInfo("transazione %lld in limbo di %s (esecuzione %s) %s: %s", id,
              qPrintable(db.databaseName()), qPrintable(esecuzione),
              conferma ? "confermata" : "annullata", qPrintable(motivo));
        ++(conferma ? esito.confermate : esito.annullate);
    };
    // Ends the runs in limbo in db whose other part is in altro.
    auto recupera = [&](Database& db, Database& altro) {
        for (const TransazioneInLimbo& t : transazioniInLimbo(db)) {
            qsizetype j = -1;
            for (qsizetype k = 0; k < t.archivi.size(); ++k) {
                if (stessoArchivio(t.archivi[k], altro.databaseName()) &&
                    !stessoArchivio(t.archivi[k], db.databaseName())) {
                    j = k;
                }
            }
            if (t.esecuzione.isEmpty() || j < 0 || j >= qsizetype(t.transazioni.size())) {
                qInfo("transazione %lld in limbo di %s lasciata: non è una transazione fra %s e %s",
                      t.id, qPrintable(db.databaseName()), qPrintable(db.databaseName()),
                      qPrintable(altro.databaseName()));
                continue;
            }
            const qint64 idAltro = t.transazioni[size_t(j)];
            const std::vector<qint64> limboAltro = idInLimbo(altro);
            const int stato =
                std::find(limboAltro.begin(), limboAltro.end(), idAltro) != limboAltro.end()
                    ? 1
                    : esitoConcluso(altro, idAltro);
            const QString dove = altro.databaseName();
            switch (stato) {
            case 1:
                risolvi(db, t.id, t.esecuzione, false, "in limbo anche in " + dove);
                risolvi(altro, idAltro, t.esecuzione, false,
                        "in limbo anche in " + db.databaseName());
                break;
            case 2:
                risolvi(db, t.id, t.esecuzione, true, "già confermata in " + dove);
                break;
            case 3:
                risolvi(db, t.id, t.esecuzione, false, "annullata in " + dove);
                break;
            case 4:
                // Never prepared there: the run never reached its commit.
                risolvi(db, t.id, t.esecuzione, false, "non preparata in " + dove);
                break;
            default:
                qWarning("transazione %lld in limbo di %s lasciata: esito in %s sconosciuto", t.id,
                         qPrintable(db.databaseName()), qPrintable(dove));
            }
        }
    };
    recupera(a, b);
    recupera(b, a);
    return esito;
}

} // namespace quintar
