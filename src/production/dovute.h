// What a commitment or a posting owes once its run is committed in both
// archives: the host's warehouse routine on each order, and (posting) the
// move of each order to the customer of handled orders. The steps are
// written in the company archive by the run itself, so that they exist
// exactly when the run does; the run makes them after its commit, and what a
// run could not make (killed, or the routine failed) the next opening of
// either screen makes, in order, each once.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class QWidget;

namespace quintar {

class Database;
class Query;

namespace dovute {

enum class Azione {
    Impegno, // the warehouse routine on the order, as the host archive holds it
    Cliente  // the order moves to `cliente`
};

struct Passo {
    Azione azione;
    qint64 ordine = 0;
    QString cliente = {};
    // Cliente: the order moves only while it still has this customer (an
    // empty text: none); without it, whatever it has.
    std::optional<QString> daCliente = {};
};

// The table of the steps, for an archive older than it; false when it can
// be neither found nor made.
bool assicura(Database& azienda);

// Records the steps a run owes, in order, on the run's company transaction
// (`azienda` runs on it): they commit with the run or not at all.
void registra(Query& azienda, const QString& esecuzione, int utente,
              const std::vector<Passo>& passi);

struct Esito {
    int fatti = 0;
    // Left owed for the next opening: the routine failed (it has said so in
    // its own messages), the host archive refused the move, or another
    // process is making the step right now.
    int rimasti = 0;
    QStringList righe;  // one line per step made, for the user
    QStringList errori; // what went wrong, beyond the routine's own messages
};

// Makes the steps still owed, of one run or (`esecuzione` empty) of all, in
// order; a step of an order waits while an earlier step of the same order
// is owed. Each step is claimed in the company archive for as long as it is
// made (a second process skips it) and recorded as made when it is; a step
// whose maker was killed in the middle is made again by the next one. The
// routine is called as `utente`.
Esito esegui(Database& azienda, Database& erp, int utente, QWidget* parent,
             const QString& esecuzione = {});

} // namespace dovute
} // namespace quintar
