// Holds on supplier lots, package serials and batches: when a lot turns out
// bad, it is held with a reason, and the hold covers every batch its forward
// genealogy reaches. While a hold stands a covered batch is neither committed
// nor posted to the host, and its weighings are not assigned; each refusal
// names the hold and its reason. A hold is released with a reason too; the
// rows are never deleted, so that they are the holds' history.
//
// The writes check the holds in their own transaction, on the data as they
// stand when they write: a hold set by another user while a screen is open
// still stops that screen's write.
#pragma once

#include "production/traccia.h"
#include "session/db.h"

#include <QDateTime>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace quintar::blocchi {

enum class Tipo { Lotto, Seriale, Fabbricazione };

struct Blocco {
    qint64 id = 0;
    Tipo tipo = Tipo::Lotto;
    QString valore;        // the lot or the serial
    QString codice, lotto; // the batch held
    QDate data;
    QString motivo;
    int utente = 0;
    QDateTime momento;
    // released: when, by whom, why
    QDateTime rilascio;
    int utenteRilascio = 0;
    QString motivoRilascio;
    bool attivo() const { return !rilascio.isValid(); }
};

// The longest reason a hold or a release keeps.
inline constexpr int kLunghezzaMotivo = 500;

// The table is in the company archive, made when missing (by one session of
// those that try at once), with the index the genealogy reads by. Called
// where holds are set, never inside a write's transaction.
bool assicura(Database& azienda);

// "lotto fornitore TS24-0981", "seriale SR250001",
// "fabbricazione FM004 del 10/02/2025 lotto L25041".
QString testoOggetto(const Blocco& b);
// "blocco n. 3 sul lotto fornitore TS24-0981 (Contaminazione segnalata)"
QString testoBlocco(const Blocco& b);
// What a refused write of a batch says: "La fabbricazione FM004 del
// 10/02/2025 lotto L25041 è bloccata: blocco n. 3 sul lotto fornitore ...".
QString testoRifiuto(const Blocco& b, const QString& codice, const QDate& data,
                     const QString& lotto);

// The holds, on the transaction given: those standing, or every one (newest
// first).
std::vector<Blocco> attivi(Database& azienda, Transaction& t);
std::vector<Blocco> tutti(Database& azienda, Transaction& t);

// The first standing hold that covers the batch (by key), read on the
// transaction given (the write's own); none when nothing holds it, or no
// hold was ever set (the table missing).
std::optional<Blocco> copre(Database& azienda, Transaction& t, const QString& codice,
                            const QDate& data, const QString& lotto);

// Every batch the standing holds cover, by "code|yyyy-MM-dd|lot" (see
// chiave), each with the first hold that covers it.
struct Coperta {
    traccia::Fabbricazione fabbricazione;
    Blocco blocco;
};
std::map<QString, Coperta> coperte(Database& azienda, Transaction& t);
QString chiave(const QString& codice, const QDate& data, const QString& lotto);

// Sets a hold, committed on a transaction of its own; its number.
qint64 imposta(Database& azienda, const Blocco& b, int utente);
// Releases a standing hold, committed on a transaction of its own; false
// when another user released it meanwhile.
bool rilascia(Database& azienda, qint64 id, const QString& motivo, int utente);

} // namespace quintar::blocchi
