// One transaction over several archives, ended by a two-phase commit, and the
// recovery of the ones a process left in limbo between prepare and commit.
#pragma once

#include "session/db.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace quintar {

// Writes in several archives (the company archive and the host's) as one unit.
// Each archive is seen through su(db), a Transaction sharing the one handle:
// queries run on it as on any other transaction, while only this object starts
// and ends it. An active transaction not ended is rolled back on destruction;
// one prepared and not committed stays in limbo for recuperaInLimbo. The
// archives' Database objects must outlive it.
class TransazioneDistribuita {
public:
    // Parameters as Transaction's ("isc_tpb_concurrency", "isc_tpb_nowait", ...);
    // attesaBlocchi > 0 waits that many seconds for a conflicting lock instead of
    // failing at once.
    explicit TransazioneDistribuita(std::vector<Database*> archivi,
                                    QStringList params = {QStringLiteral("isc_tpb_concurrency"),
                                                          QStringLiteral("isc_tpb_nowait")},
                                    int attesaBlocchi = 0);
    ~TransazioneDistribuita();
    TransazioneDistribuita(const TransazioneDistribuita&) = delete;
    TransazioneDistribuita& operator=(const TransazioneDistribuita&) = delete;

    void start();
    bool attiva() const { return tra_ != nullptr; }
    bool preparata() const { return preparata_; }
    // Identifies this run in the description every archive keeps of it.
    QString esecuzione() const { return esecuzione_; }
    // The transaction through which queries of an archive of this unit run;
    // starts the unit when it is not active.
    Transaction& su(Database& db);

    // First phase: every archive promises to commit. The description, with the
    // run and the names of the archives, lands in RDB$TRANSACTIONS of each.
    void prepare(const QString& descrizione = {});
    // Prepares when not prepared yet, then commits in every archive.
    void commit();
    void rollback();

private:
    void termina();
    std::vector<Database*> archivi_;
    std::vector<std::unique_ptr<Transaction>> viste_;
    QStringList params_;
    int attesa_;
    Firebird::ITransaction* tra_ = nullptr;
    bool preparata_ = false;
    QString esecuzione_;
};

// A transaction prepared and never ended, as its archive records it.
struct TransazioneInLimbo {
    qint64 id = 0;
    QString descrizione;             // the whole text kept by the archive
    QString esecuzione;              // run of a TransazioneDistribuita, empty for others
    QStringList archivi;             // archives taking part in that run
    std::vector<qint64> transazioni; // the run's transaction in each of them
    QString messaggio;               // the caller's description of the run
};

// Transactions in limbo of an archive, by id.
std::vector<TransazioneInLimbo> transazioniInLimbo(Database& db);
// Ends one transaction in limbo of the archive: commit (conferma) or rollback.
void risolviInLimbo(Database& db, qint64 id, bool conferma);

struct EsitoRecupero {
    int confermate = 0;
    int annullate = 0;
};
// Ends the runs in limbo of a pair of archives the same way on both sides: a
// run whose part is already committed in one archive is committed in the
// other; anything else (in limbo in both, rolled back or never prepared on the
// other side) is rolled back. Runs of other archives, and runs whose other
// part cannot be told, are left alone.
EsitoRecupero recuperaInLimbo(Database& a, Database& b);

} // namespace quintar
