// One unit of work over several archives, ended by a two-phase commit whose
// decision is kept in the first archive, and the recovery of the units a
// process left between its prepare and its commit.
#pragma once

#include "session/db.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace quintar {

// The record of every committed run, in the first archive of its unit (the
// company archive). A run is committed exactly when its row is: recovery
// decides from it, never from how the engine reports a transaction it no
// longer holds.
inline const QString kTabellaEsecuzioni = QStringLiteral("ESECUZIONIDISTRIBUITE");
// The statements that make it in an archive that lacks it.
QStringList ddlEsecuzioni();

// The commit decision was taken (the run is committed in the first archive)
// but a further archive could not be told: its part stays prepared until the
// recovery at the next opening commits it.
class CommitDaCompletare : public DbError {
public:
    using DbError::DbError;
};

// Whether the run committed cannot be known now (the first archive went
// away while it committed): the recovery at the next opening ends it the
// same way in every archive.
class EsitoIncerto : public DbError {
public:
    using DbError::DbError;
};

// Writes in several archives (the company archive first, then the host's or
// the weighings') as one unit. Each archive has a transaction of its own,
// reached with su(db); only this object ends them. The commit writes the
// run's record in the first archive, prepares the first archive's part,
// then every other, commits the first (the decision), then the others.
// Nothing is left live and prepared: a unit ended before its decision is
// rolled back everywhere; a part that cannot be ended after it is let go and
// its attachment opened anew, so that the recovery can end it. The archives'
// Database objects must outlive it.
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
    bool attiva() const;
    bool preparata() const { return preparata_; }
    bool decisa() const { return decisa_; }
    // Identifies this run: its record, and the description every archive
    // keeps of its part while prepared.
    QString esecuzione() const { return esecuzione_; }
    // The transaction through which queries of an archive of this unit run;
    // starts the unit when it is not active.
    Transaction& su(Database& db);

    // First phase: the run's record is written in the first archive, then
    // every archive promises to commit, the first before the others. A
    // failure rolls everything back and is thrown.
    void prepare(const QString& descrizione = {});
    // Prepares when not prepared yet, then commits: the first archive (the
    // decision), then the others. CommitDaCompletare or EsitoIncerto when an
    // archive could not be told; any other failure leaves nothing written.
    void commit();
    // Before the decision only.
    void rollback();

    // Between the phases of a commit, for tests that stop a process there:
    // "preparata-prima" after the first archive's prepare, "preparate" after
    // every prepare, "decisa" after the first archive's commit,
    // "annullate-altre" in a rollback, after every part but the first
    // archive's. The process is killed at once when the environment variable
    // QUINTAR_INTERROMPI names the point.
    static void puntoDiArresto(const char* punto);

private:
    // The unit's own hand on one of its parts (which refuse any other).
    template <typename F> static void daUnita(Transaction& t, F f);
    // A part that could not be told the outcome: let go, its archive opened
    // anew (false when that fails too).
    bool lascia(size_t i) noexcept;
    void annullaTutto() noexcept;
    std::vector<Database*> archivi_;
    std::vector<std::unique_ptr<Transaction>> parti_;
    bool preparata_ = false;
    bool decisa_ = false;
    QString esecuzione_;
};

// A transaction prepared and never ended, as its archive records it.
struct TransazioneInLimbo {
    qint64 id = 0;
    QString descrizione; // the whole text kept by the archive
    QString esecuzione;  // run of a TransazioneDistribuita, empty for others
    bool primo = false;  // the part of the archive that holds the run's record
    QStringList archivi; // archives taking part in that run
    QString messaggio;   // the caller's description of the run
    // The attachment that prepared it is still open: a commit in progress
    // (or a process that holds it), not to be touched.
    bool viva = false;
};

// Transactions in limbo of an archive, by id. The engine's list waits a few
// seconds at most for a prepared transaction another client still holds;
// past that the transactions described in RDB$TRANSACTIONS are given alone,
// with the reason in `avvisi` (without it, the failure is thrown).
std::vector<TransazioneInLimbo> transazioniInLimbo(Database& db, QStringList* avvisi = nullptr);
// Ends one transaction in limbo of the archive: commit (conferma) or rollback.
void risolviInLimbo(Database& db, qint64 id, bool conferma);

struct EsitoRecupero {
    int confermate = 0;
    int annullate = 0;
    // What was left, for the user: parts still held by a live client,
    // transactions that are not of this library, archives not readable.
    QStringList lasciate;
};
// Ends the runs left in limbo between `primo` (the archive of the runs'
// records) and `altri` the same way in every archive: committed where the
// run's record is committed, rolled back where it is not (a first part
// still prepared and abandoned means no decision was taken). Parts held by
// a live client are left. Makes the table of the runs' records when missing.
EsitoRecupero recuperaInLimbo(Database& primo, const std::vector<Database*>& altri);

} // namespace quintar
