// The weighing archive as the weighing monitor works it: the poll that
// classifies new weighings and tells when the list must be shown again, the
// assignment of an open weighing to its batch line, and the status changes
// by hand. No screen here: the monitor, the tests and the benchmark share it.
#pragma once

#include "session/db.h"
#include "session/messaggi.h"

#include <QDate>
#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <tuple>

namespace quintar::pesate {

// PESATE.NOTE
inline const QString kAperta = QStringLiteral("APERTA");
inline const QString kErrore = QStringLiteral("ERRORE");
inline const QString kAnnullata = QStringLiteral("ANNULLATA");
inline const QString kChiusa = QStringLiteral("CHIUSA");

// Seconds the writes on the weighing archive wait for a lock held by another
// monitor or by the station before they give up.
inline constexpr int kAttesaBlocchi = 5;

// The indexes of PESATE a fast poll needs, as the archive's catalogue has them.
struct IndiciPesate {
    QString note;              // an active index whose first column is NOTE
    QString dataOra;           // an active descending index whose first column is DATA_ORA
    bool ordineElenco = false; // ... followed by BILANCIA: the list is read in its order
    bool veloce() const { return !note.isEmpty() && !dataOra.isEmpty(); }
};
IndiciPesate leggiIndici(Database& db);

// What a poll compares with the previous one. The weighings still to be
// classified, open or in error are few and read through the NOTE index; the
// closed and cancelled ones, which grow for ever, are counted with the whole
// table only now and then.
struct Firma {
    QVariant ultima; // MAX(DATA_ORA), read with the whole table only
    qint64 nuove = 0;
    qint64 aperte = 0;
    qint64 momentiAperte = 0; // sum of the open ones' moments, in ms
    qint64 errori = 0;
    qint64 momentiErrori = 0;
    qint64 totale = -1; // whole-table count; -1 until taken
    qint64 chiuse = -1;
    qint64 annullate = -1;
    bool operator==(const Firma&) const = default;
};

// The poll of the weighing archive. Its read transaction is read committed
// and read only, so that it sees the station's rows without ever being
// restarted; the write transaction (classification, status changes) waits
// for locks, within kAttesaBlocchi seconds.
class Sondaggio {
public:
    explicit Sondaggio(Database* pesate);
    ~Sondaggio();
    Sondaggio(const Sondaggio&) = delete;
    Sondaggio& operator=(const Sondaggio&) = delete;

    // Reads the archive's indexes and prepares the statements; logs whether
    // the polls go through the indexes or by counts of the whole table.
    void prepara();
    bool veloce() const { return indici_.veloce(); }
    const IndiciPesate& indici() const { return indici_; }

    // One poll: classifies the weighings not classified yet and reports
    // whether anything the list shows changed since the previous poll (the
    // first poll always reports a change). A failing classification is
    // logged and tried again at the next poll.
    bool esegui();

    // How often the whole table is counted to notice removals and changes
    // between closed and cancelled (every poll without the indexes).
    qint64 IntervalloConteggioMs = 60000;
    // Weighings classified by the last poll.
    int classificate() const { return classificate_; }
    const std::optional<Firma>& ultimaFirma() const { return ultima_; }

    // The statement that reads the Firma (for the benchmark's plans).
    QString testoFirma() const { return firma_.sqlText(); }

    Transaction& scrittura() { return scrittura_; }
    Transaction& lettura() { return lettura_; }

    // The classification, one statement: each weighing with NOTE NULL, in the
    // order of scale and moment, becomes "APERTA" when no earlier weighing of
    // its scale is open, "ERRORE" otherwise; it returns how many it changed.
    static QStringList testoClassificazione(const IndiciPesate& indici);

private:
    Firma leggiFirma();
    int classifica();

    Database* db_;
    Transaction lettura_;
    Transaction scrittura_;
    Query firma_;
    Query conteggio_;
    Query classificazione_;
    IndiciPesate indici_;
    bool preparato_ = false;
    std::optional<Firma> ultima_;
    QElapsedTimer dalConteggio_;
    std::tuple<qint64, qint64, qint64> conteggiate_{-1, -1, -1}; // the last whole-table count
    int classificate_ = 0;
    QString ultimoErrore_;
};

// Outcome of an action, as the monitor shows it: nothing, a warning or an
// error box with this text.
struct Esito {
    TipoMessaggio tipo = TipoMessaggio::Informazione;
    QString testo; // empty: done
    bool riuscito() const { return testo.isEmpty(); }
    static Esito avviso(const QString& t) { return {TipoMessaggio::Avviso, t}; }
    static Esito errore(const QString& t) { return {TipoMessaggio::Errore, t}; }
};

// The selected row of the monitor's list, as listed.
struct PesataElencata {
    QString bilancia;
    QString dataOra; // DATA_ORA as listed: the timestamp as a 24-character text
    QString barcode;
    QVariant peso;
    QString note;
    QString operatore;
};

// The assignment of an open weighing to the batch line of its barcode, for
// the package serial scanned: the checks, then the weighing's close, the
// line's weight and the history row written in one unit over the company
// archive and the weighing archive (two-phase commit). The weighing is closed
// only while it is still open: of two monitors assigning it, one succeeds and
// the other is told "La pesata corrente non è aperta".
class Assegnazione {
public:
    // erp may be null or not connected (check 1).
    Assegnazione(Database* azienda, Database* erp, Database* pesate);
    ~Assegnazione();

    // The checks in their order; every value goes into the statements bound.
    // The company archive's reads run in the unit, which they start.
    Esito verifica(const std::optional<PesataElencata>& pesata, const QString& seriale);
    // The writes, after verifica accepted; nothing is left half-written.
    Esito scrivi();
    // verifica then scrivi.
    Esito esegui(const std::optional<PesataElencata>& pesata, const QString& seriale);

    static const QString kNonAperta;

private:
    struct Dati;
    Esito nonChiusa(const QString& messaggio);
    Database* azienda_;
    Database* erp_;
    Database* pesate_;
    std::unique_ptr<Dati> d_;
};

// "Modifica status": the weighing's NOTE set to `stato` on the write
// transaction, committed (retaining); rolled back and reported on failure.
Esito cambiaStato(Database& pesate, Transaction& scrittura, const QString& bilancia,
                  const QString& dataOra, const QString& stato);

// The polling interval of a TempoPollingPesate text: 200 ms when missing,
// not a number, zero or negative.
int intervalloPolling(const QString& parametro);

} // namespace quintar::pesate
