#include "session/distribuita.h"

#include "session/fbinterno.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QUuid>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace quintar {

namespace {

const QString kMarca = QStringLiteral("Quintar: transazione distribuita");

QByteArray componiDescrizione(const QString& esecuzione, bool primo, const QStringList& archivi,
                              const QString& messaggio) {
    QString m = messaggio;
    m.replace('\n', ' ');
    return (kMarca + "\nesecuzione=" + esecuzione + "\nprimo=" + (primo ? "1" : "0") +
            "\narchivi=" + archivi.join('|') + "\nmessaggio=" + m)
        .toUtf8();
}

void leggiDescrizione(TransazioneInLimbo& t) {
    const QStringList righe = t.descrizione.split('\n');
    if (righe.value(0) != kMarca) {
        return;
    }
    for (const QString& r : righe) {
        if (r.startsWith(QLatin1String("esecuzione="))) {
            t.esecuzione = r.mid(11);
        } else if (r.startsWith(QLatin1String("primo="))) {
            t.primo = r.mid(6) == QLatin1String("1");
        } else if (r.startsWith(QLatin1String("archivi="))) {
            t.archivi = r.mid(8).split('|', Qt::SkipEmptyParts);
        } else if (r.startsWith(QLatin1String("messaggio="))) {
            t.messaggio = r.mid(10);
        }
    }
}

// Reads that never wait on another client: what is committed, now.
QStringList letturaSenzaAttesa() {
    return {QStringLiteral("isc_tpb_read_committed"), QStringLiteral("isc_tpb_rec_version"),
            QStringLiteral("isc_tpb_read"), QStringLiteral("isc_tpb_nowait")};
}

QString nomeArchivio(const Database& db) {
    return QFileInfo(db.databaseName()).fileName();
}

// The run's record is committed in the archive of the records.
bool esecuzioneRegistrata(Database& primo, const QString& esecuzione) {
    Transaction t(&primo, letturaSenzaAttesa());
    Query q(&primo, &t);
    q.SQL = {QStringLiteral("SELECT 1 FROM ESECUZIONIDISTRIBUITE WHERE ESECUZIONE=?")};
    q.addParam(esecuzione);
    const bool registrata = q.scalar().isValid();
    t.commit();
    return registrata;
}

qint64 interoVax(const unsigned char* p, unsigned len) {
    quint64 v = 0;
    for (unsigned i = 0; i < len && i < 8; ++i) {
        v |= quint64(p[i]) << (8 * i);
    }
    return qint64(v);
}

// How long the engine may take to list the transactions in limbo: it waits
// for a prepared transaction another client still holds to end.
constexpr auto kAttesaElenco = std::chrono::seconds(3);

// The ids of every transaction the archive holds in limbo, as the engine
// lists them (prepared with or without a description). An answer the
// buffer does not hold whole, or an answer that is not one, is an error;
// past the wait the request is cancelled and reported.
std::vector<qint64> idInLimbo(Database& db) {
    const unsigned char voce[] = {isc_info_limbo, isc_info_end};
    // through a server a 64 KiB answer comes back untouched: 32 KiB is safe
    std::vector<unsigned char> buf(32767, isc_info_end);
    buf[0] = 0xEE; // untouched: neither an item nor the end
    std::mutex m;
    std::condition_variable cv;
    bool finito = false, annullata = false;
    std::thread guardia([&] {
        std::unique_lock l(m);
        if (!cv.wait_for(l, kAttesaElenco, [&] { return finito; })) {
            annullata = true;
            try {
                fbinterno::fb([&](Firebird::ThrowStatusWrapper* st) {
                    db.handle()->cancelOperation(st, fb_cancel_raise);
                });
            } catch (const DbError&) {
            }
        }
    });
    auto fine = qScopeGuard([&] {
        {
            std::lock_guard l(m);
            finito = true;
        }
        cv.notify_one();
        guardia.join();
    });
    try {
        registraChiamata(Chiamata::Info);
        fbinterno::fb([&](Firebird::ThrowStatusWrapper* st) {
            db.handle()->getInfo(st, sizeof(voce), voce, unsigned(buf.size()), buf.data());
        });
    } catch (const DbError& e) {
        fine.dismiss();
        {
            std::lock_guard l(m);
            finito = true;
        }
        cv.notify_one();
        guardia.join();
        if (annullata) {
            throw DbError(QStringLiteral("Un'altra postazione tiene una transazione in sospeso "
                                         "nell'archivio %1: riprovare tra poco")
                              .arg(QFileInfo(db.databaseName()).fileName()));
        }
        throw;
    }
    std::vector<qint64> ids;
    size_t p = 0;
    while (true) {
        if (p >= buf.size()) {
            throw DbError(QStringLiteral("Elenco delle transazioni in sospeso senza fine"));
        }
        const unsigned char v = buf[p];
        if (v == isc_info_end) {
            break;
        }
        if (v == isc_info_truncated) {
            throw DbError(QStringLiteral("Troppe transazioni in sospeso da elencare"));
        }
        if (v != isc_info_limbo || p + 3 > buf.size()) {
            throw DbError(QStringLiteral("Risposta non valida all'elenco delle transazioni in "
                                         "sospeso"));
        }
        const unsigned len = unsigned(interoVax(&buf[p + 1], 2));
        if (p + 3 + len > buf.size()) {
            throw DbError(QStringLiteral("Elenco delle transazioni in sospeso troncato"));
        }
        ids.push_back(interoVax(&buf[p + 3], len));
        p += 3 + len;
    }
    return ids;
}

} // namespace

QStringList ddlEsecuzioni() {
    return {QStringLiteral("CREATE TABLE ESECUZIONIDISTRIBUITE ("
                           "ESECUZIONE CHAR(36) NOT NULL, "
                           "MOMENTO TIMESTAMP DEFAULT CURRENT_TIMESTAMP, "
                           "DESCRIZIONE VARCHAR(1000), "
                           "CONSTRAINT ESECUZIONIDISTR_CHIAVEPRIMARIA PRIMARY KEY (ESECUZIONE))")};
}

// ---------------------------------------------------------------- TransazioneDistribuita

template <typename F> void TransazioneDistribuita::daUnita(Transaction& t, F f) {
    t.diUnita_ = false;
    auto ripristina = qScopeGuard([&] { t.diUnita_ = true; });
    f();
}

TransazioneDistribuita::TransazioneDistribuita(std::vector<Database*> archivi, QStringList params,
                                               int attesaBlocchi)
    : archivi_(std::move(archivi)) {
    for (Database* db : archivi_) {
        parti_.push_back(std::make_unique<Transaction>(db, params));
        parti_.back()->setAttesaBlocchi(attesaBlocchi);
        parti_.back()->diUnita_ = true;
    }
}

TransazioneDistribuita::~TransazioneDistribuita() {
    if (!decisa_) {
        annullaTutto();
    }
}

bool TransazioneDistribuita::attiva() const {
    return std::any_of(parti_.begin(), parti_.end(), [](const auto& t) { return t->active(); });
}

void TransazioneDistribuita::puntoDiArresto(const char* punto) {
    if (qEnvironmentVariable("QUINTAR_INTERROMPI") == QLatin1String(punto)) {
        std::raise(SIGKILL);
    }
}

void TransazioneDistribuita::start() {
    if (attiva()) {
        throw DbError(QStringLiteral("Transazione già attiva"));
    }
    if (archivi_.empty()) {
        throw DbError(QStringLiteral("Transazione distribuita senza archivi"));
    }
    for (Database* db : archivi_) {
        if (!db || !db->connected()) {
            throw DbError(QStringLiteral("Database non connesso"));
        }
    }
    // the table of the runs' records, for an archive older than it
    if (!assicuraTabella(*archivi_[0], kTabellaEsecuzioni, ddlEsecuzioni())) {
        throw DbError(QStringLiteral("Impossibile creare la tabella %1").arg(kTabellaEsecuzioni));
    }
    try {
        for (auto& t : parti_) {
            daUnita(*t, [&] { t->start(); });
        }
    } catch (const DbError&) {
        annullaTutto();
        throw;
    }
    esecuzione_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
    preparata_ = false;
    decisa_ = false;
}

Transaction& TransazioneDistribuita::su(Database& db) {
    auto it = std::find(archivi_.begin(), archivi_.end(), &db);
    if (it == archivi_.end()) {
        throw DbError(QStringLiteral("L'archivio %1 non fa parte della transazione distribuita")
                          .arg(db.databaseName()));
    }
    if (!attiva()) {
        start();
    }
    return *parti_[size_t(it - archivi_.begin())];
}

void TransazioneDistribuita::prepare(const QString& descrizione) {
    if (!attiva()) {
        throw DbError(QStringLiteral("Nessuna transazione distribuita attiva"));
    }
    if (preparata_) {
        throw DbError(QStringLiteral("Transazione distribuita già preparata"));
    }
    QStringList nomi;
    for (Database* db : archivi_) {
        nomi << db->databaseName();
    }
    try {
        // the decision: the run is committed exactly when this row is
        Query q(archivi_[0], parti_[0].get());
        q.SQL = {QStringLiteral("INSERT INTO ESECUZIONIDISTRIBUITE (ESECUZIONE, DESCRIZIONE)"),
                 QStringLiteral("VALUES (?, ?)")};
        q.setParams({esecuzione_, descrizione.left(1000)});
        q.execSQL();
        // the first archive promises first: a part prepared anywhere else
        // means the record's part is prepared (or ended) already
        for (size_t i = 0; i < parti_.size(); ++i) {
            daUnita(*parti_[i], [&] {
                parti_[i]->prepara(componiDescrizione(esecuzione_, i == 0, nomi, descrizione));
            });
            if (i == 0) {
                puntoDiArresto("preparata-prima");
            }
        }
    } catch (const DbError&) {
        annullaTutto();
        throw;
    }
    preparata_ = true;
    puntoDiArresto("preparate");
}

void TransazioneDistribuita::commit() {
    if (!preparata_) {
        prepare(); // a failure has rolled everything back
    }
    try {
        daUnita(*parti_[0], [&] { parti_[0]->commit(); });
    } catch (const DbError& e) {
        // The record may or may not have been committed: every part is let
        // go and the recovery, on attachments of their own, ends them all the
        // way the record says.
        qWarning("esecuzione %s: commit del primo archivio non concluso: %s",
                 qPrintable(esecuzione_), qPrintable(e.messaggio()));
        bool riaperti = true;
        for (size_t i = 0; i < parti_.size(); ++i) {
            riaperti = lascia(i) && riaperti;
        }
        std::optional<bool> registrata;
        if (riaperti) {
            try {
                recuperaInLimbo(*archivi_[0], {archivi_.begin() + 1, archivi_.end()});
                registrata = esecuzioneRegistrata(*archivi_[0], esecuzione_);
            } catch (const DbError& r) {
                qWarning("esecuzione %s: esito non stabilito: %s", qPrintable(esecuzione_),
                         qPrintable(r.messaggio()));
            }
        }
        decisa_ = true; // nothing is ended here any more: the record decides
        if (registrata && *registrata) {
            return;
        }
        if (registrata) {
            throw DbError(e.messaggio(), e.sqlCode(), e.gdsCode()); // rolled back everywhere
        }
        throw EsitoIncerto(
            QStringLiteral("L'esito dell'elaborazione (esecuzione %1) sarà stabilito alla prossima "
                           "apertura: %2")
                .arg(esecuzione_, e.messaggio()),
            e.sqlCode(), e.gdsCode());
    }
    decisa_ = true;
    puntoDiArresto("decisa");
    QStringList mancanti;
    for (size_t i = 1; i < parti_.size(); ++i) {
        try {
            daUnita(*parti_[i], [&] { parti_[i]->commit(); });
        } catch (const DbError& e) {
            qWarning("esecuzione %s: commit di %s non concluso: %s", qPrintable(esecuzione_),
                     qPrintable(archivi_[i]->databaseName()), qPrintable(e.messaggio()));
            lascia(i);
            mancanti << nomeArchivio(*archivi_[i]);
        }
    }
    if (mancanti.isEmpty()) {
        return;
    }
    // decided: what an archive did not take is committed by the recovery,
    // now when the archive answers again, or at the next opening
    try {
        if (recuperaInLimbo(*archivi_[0], {archivi_.begin() + 1, archivi_.end()})
                .lasciate.isEmpty()) {
            return;
        }
    } catch (const DbError& e) {
        qWarning("esecuzione %s: recupero non riuscito: %s", qPrintable(esecuzione_),
                 qPrintable(e.messaggio()));
    }
    throw CommitDaCompletare(
        QStringLiteral("L'elaborazione è registrata; la sua parte nell'archivio %1 sarà completata "
                       "alla prossima apertura")
            .arg(mancanti.join(QStringLiteral(", "))));
}

void TransazioneDistribuita::rollback() {
    if (decisa_) {
        throw DbError(QStringLiteral("L'elaborazione è già confermata"));
    }
    annullaTutto();
}

void TransazioneDistribuita::annullaTutto() noexcept {
    // the first archive's part last: while it is prepared, no other part can
    // be taken for decided
    for (size_t k = 1; k <= parti_.size(); ++k) {
        const size_t i = k % parti_.size();
        if (i == 0 && k > 1) {
            puntoDiArresto("annullate-altre");
        }
        if (!parti_[i]->active()) {
            continue;
        }
        try {
            daUnita(*parti_[i], [&] { parti_[i]->rollback(); });
        } catch (const DbError& e) {
            // the archive went away: the server ends what it held, or, when
            // prepared, leaves it to the recovery
            qWarning("esecuzione %s: rollback di %s non riuscito: %s", qPrintable(esecuzione_),
                     qPrintable(archivi_[i]->databaseName()), qPrintable(e.messaggio()));
            lascia(i);
        }
    }
    preparata_ = false;
}

bool TransazioneDistribuita::lascia(size_t i) noexcept {
    parti_[i]->lasciaInSospeso();
    try {
        archivi_[i]->riconnetti();
        return true;
    } catch (const DbError& e) {
        qWarning("archivio %s non riaperto: %s", qPrintable(archivi_[i]->databaseName()),
                 qPrintable(e.messaggio()));
        return false;
    }
}

// ---------------------------------------------------------------- limbo

std::vector<TransazioneInLimbo> transazioniInLimbo(Database& db, QStringList* avvisi) {
    if (!db.connected()) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    // RDB$TRANSACTIONS keeps every prepared transaction not ended (state 1)
    // and is read without waiting; the monitoring tables tell which of them
    // an open attachment still holds
    Transaction tr(&db, letturaSenzaAttesa());
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT RDB$TRANSACTION_ID, RDB$TRANSACTION_DESCRIPTION"),
             QStringLiteral("FROM RDB$TRANSACTIONS WHERE RDB$TRANSACTION_STATE = 1"),
             QStringLiteral("ORDER BY RDB$TRANSACTION_ID")};
    std::vector<TransazioneInLimbo> r;
    for (q.open(); !q.eof(); q.next()) {
        TransazioneInLimbo t;
        t.id = q.field(0).asInteger();
        const QVariant d = q.field(1).valore();
        t.descrizione =
            d.typeId() == QMetaType::QByteArray ? QString::fromUtf8(d.toByteArray()) : d.toString();
        leggiDescrizione(t);
        r.push_back(std::move(t));
    }
    q.close();
    // what the engine holds in limbo with no description is no run of ours;
    // what it holds no longer (ended by another opening meanwhile) is dropped
    std::vector<qint64> ids;
    try {
        ids = idInLimbo(db);
    } catch (const DbError& e) {
        if (!avvisi) {
            throw;
        }
        // the described ones are still known, each with whether it is held
        avvisi->append(e.messaggio());
        for (const TransazioneInLimbo& t : r) {
            ids.push_back(t.id);
        }
    }
    r.erase(std::remove_if(r.begin(), r.end(),
                           [&](const TransazioneInLimbo& t) {
                               return std::find(ids.begin(), ids.end(), t.id) == ids.end();
                           }),
            r.end());
    for (qint64 id : ids) {
        if (std::none_of(r.begin(), r.end(), [&](const auto& t) { return t.id == id; })) {
            TransazioneInLimbo t;
            t.id = id;
            r.push_back(t);
        }
    }
    std::sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    if (!r.empty()) {
        QSet<qint64> vive;
        q.SQL = {QStringLiteral("SELECT MON$TRANSACTION_ID FROM MON$TRANSACTIONS")};
        for (q.open(); !q.eof(); q.next()) {
            vive.insert(q.field(0).asInteger());
        }
        q.close();
        for (TransazioneInLimbo& t : r) {
            t.viva = vive.contains(t.id);
        }
    }
    tr.commit();
    return r;
}

void risolviInLimbo(Database& db, qint64 id, bool conferma) {
    if (!db.connected()) {
        throw DbError(QStringLiteral("Database non connesso"));
    }
    unsigned char b[8];
    const unsigned len = quint64(id) > 0xFFFFFFFFull ? 8 : 4;
    for (unsigned i = 0; i < len; ++i) {
        b[i] = static_cast<unsigned char>((quint64(id) >> (8 * i)) & 0xFF);
    }
    Transaction t(&db);
    t.riprendi(b, len);
    if (conferma) {
        t.commit();
    } else {
        t.rollback();
    }
}

EsitoRecupero recuperaInLimbo(Database& primo, const std::vector<Database*>& altri) {
    EsitoRecupero esito;
    if (!assicuraTabella(primo, kTabellaEsecuzioni, ddlEsecuzioni())) {
        throw DbError(QStringLiteral("Impossibile creare la tabella %1").arg(kTabellaEsecuzioni));
    }
    // the other archives first: a part prepared there was prepared after the
    // record's part, which is then in limbo in the first archive or ended
    std::vector<std::pair<Database*, std::vector<TransazioneInLimbo>>> elenchi;
    for (Database* db : altri) {
        elenchi.emplace_back(db, transazioniInLimbo(*db, &esito.lasciate));
    }
    elenchi.emplace_back(&primo, transazioniInLimbo(primo, &esito.lasciate));

    auto risolvi = [&](Database& db, const TransazioneInLimbo& t, bool conferma,
                       const QString& motivo) {
        try {
            risolviInLimbo(db, t.id, conferma);
        } catch (const DbError& e) {
            // ended meanwhile by another opening: nothing is left to do
            bool ancora = false;
            try {
                QStringList ignorati;
                for (const TransazioneInLimbo& x : transazioniInLimbo(db, &ignorati)) {
                    ancora = ancora || x.id == t.id;
                }
            } catch (const DbError&) {
                ancora = true;
            }
            if (ancora) {
                esito.lasciate << QStringLiteral("Nell'archivio %1 la transazione in sospeso %2 "
                                                 "non si è potuta concludere: %3")
                                      .arg(nomeArchivio(db))
                                      .arg(t.id)
                                      .arg(e.messaggio());
            }
            return;
        }
        qInfo("transazione %lld in sospeso di %s (esecuzione %s) %s: %s", t.id,
              qPrintable(db.databaseName()), qPrintable(t.esecuzione),
              conferma ? "confermata" : "annullata", qPrintable(motivo));
        ++(conferma ? esito.confermate : esito.annullate);
    };

    std::map<QString, std::vector<std::pair<Database*, const TransazioneInLimbo*>>> esecuzioni;
    for (const auto& [db, elenco] : elenchi) {
        for (const TransazioneInLimbo& t : elenco) {
            if (t.esecuzione.isEmpty()) {
                if (!t.viva) {
                    esito.lasciate
                        << QStringLiteral("Nell'archivio %1 è in sospeso la transazione %2, che "
                                          "non è di questo programma: va conclusa con gfix "
                                          "(-commit o -rollback) da chi sa a cosa appartiene")
                               .arg(nomeArchivio(*db))
                               .arg(t.id);
                }
                continue;
            }
            esecuzioni[t.esecuzione].emplace_back(db, &t);
        }
    }
    for (const auto& [esecuzione, parti] : esecuzioni) {
        const auto primoInLimbo = std::find_if(parti.begin(), parti.end(),
                                               [&](const auto& p) { return p.first == &primo; });
        if (primoInLimbo != parti.end() && primoInLimbo->second->viva) {
            continue; // a commit in progress in another process
        }
        bool conferma = false;
        QString motivo;
        if (primoInLimbo != parti.end()) {
            motivo = QStringLiteral("nessuna decisione presa");
        } else {
            try {
                conferma = esecuzioneRegistrata(primo, esecuzione);
            } catch (const DbError& e) {
                esito.lasciate << QStringLiteral("L'esito dell'elaborazione %1 non si è potuto "
                                                 "leggere in %2: %3")
                                      .arg(esecuzione, nomeArchivio(primo), e.messaggio());
                continue;
            }
            motivo =
                conferma ? QStringLiteral("decisa e registrata") : QStringLiteral("mai decisa");
        }
        for (const auto& [db, t] : parti) {
            if (!t->viva) {
                risolvi(*db, *t, conferma, motivo);
            }
        }
    }
    return esito;
}

} // namespace quintar
