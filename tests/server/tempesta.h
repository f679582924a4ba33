// The pieces of the killed-process tests shared by the worker (a host that
// commits, posts and assigns weighings until it is killed), the single runs
// that die at a chosen point, and the check a second host makes afterwards.
//
// The work the tests make stands apart from the demo company's: batches whose
// lot begins with "TS" (lot TS<ID>, date 2030-01-01 + ID, so that the lot
// names the order and the date names the production record), lines with the
// barcodes CONTEST5..., weighings of scales "Q" + 6 digits, one scale and one
// weighing per line.
#pragma once

#include "session/db.h"
#include "session/messaggi.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>
#include <random>
#include <vector>

class QFile;

namespace quintar {
class FinestraSessione;
class LavorazioneFabbricazioni;
class TIdPesateForm;
} // namespace quintar

namespace tempesta {

using namespace quintar;

inline const QString kPrefissoLotto = QStringLiteral("TS");
inline const QString kPrefissoBilancia = QStringLiteral("Q");
// The customers the demo's parameters give the orders: at commitment, once posted.
inline const QString kClienteImpegno = QStringLiteral("IMPPROD");
inline const QString kClienteGestito = QStringLiteral("PRODGEST");

enum class Lavoro { Impegno, Produzione, Pesata };
QString nomeLavoro(Lavoro l);
std::optional<Lavoro> lavoroDaNome(const QString& nome);

// The host folder's three archives, each on its own attachment.
struct Archivi {
    Database az, erp, pes;
    explicit Archivi(const QString& dir);
};

// One statement in a transaction of its own, committed.
QVariant scalare(Database& db, const QString& sql, const std::vector<QVariant>& valori = {});
void esegui(Database& db, const QString& sql, const std::vector<QVariant>& valori = {});
// Each row as its columns' values.
std::vector<std::vector<QVariant>> righe(Database& db, const QString& sql,
                                         const std::vector<QVariant>& valori = {});

// A new batch DA FARE of a product with lines (a copy of its formulation's,
// each with its barcode), in one transaction; returns its lot.
QString creaFabbricazione(Database& az, const QString& prodotto);
// The station weighs, for a line of a batch of `lotto` (any batch of the
// tests when empty) that has no weighing yet, on a scale of its own; returns
// the scale, empty when every line has one.
QString pesaRiga(Archivi& a, const QString& lotto, double peso);
// A package serial of the material of the line weighed on `bilancia`.
QString serialePer(Archivi& a, const QString& bilancia);

// The log of a process: one line per event, written at once.
class Registro {
public:
    explicit Registro(const QString& file);
    ~Registro();
    void operator()(const QString& riga);

private:
    std::unique_ptr<QFile> file_;
};

// The screens of a host, opened with LanciaSchermata as the host opens them,
// with the time each opening took.
class Schermate {
public:
    Schermate(int utente, MessaggiRegistrati& reg) : utente_(utente), reg_(reg) {}
    ~Schermate();
    LavorazioneFabbricazioni* impegno();
    LavorazioneFabbricazioni* produzione();
    TIdPesateForm* pesate();
    // Opened anew (closing the one open).
    LavorazioneFabbricazioni* riapri(Lavoro l);
    void chiudi(Lavoro l);
    void chiudiTutte();
    qint64 ultimaApertura() const { return ultimaMs_; }

private:
    FinestraSessione* apri(Lavoro l);
    FinestraSessione*& posto(Lavoro l);
    int utente_;
    MessaggiRegistrati& reg_;
    FinestraSessione* imp_ = nullptr;
    FinestraSessione* prod_ = nullptr;
    FinestraSessione* pes_ = nullptr;
    qint64 ultimaMs_ = 0;
};

// Chooses the batches of these lots in the screen's list (F3 on each); false
// when one is not listed.
bool scegli(LavorazioneFabbricazioni* f, const QStringList& lotti);
// Selects the weighing of the scale in the monitor's list after a poll and
// scans the serial; false when it is not listed.
bool assegna(TIdPesateForm* f, const QString& bilancia, const QString& seriale);

// The messages shown since `da`, one per line "TYPE text".
QStringList messaggi(const MessaggiRegistrati& reg, size_t da = 0);
bool soloInformazioni(const MessaggiRegistrati& reg, size_t da = 0);

// The check of a second host; see tempesta_verifica.cpp.
struct OpzioniVerifica {
    qint64 pidMorto = 0;                // wait until the server has let its attachments go
    std::vector<Lavoro> schermate;      // opened in this order
    bool esatte = false;                // the routine once per step, never again
    std::optional<QString> limboAtteso; // "q,t,p" before the openings
    struct Atteso {
        Lavoro lavoro;
        QString chiave; // lot, or scale
        bool fatto;
    };
    std::optional<Atteso> atteso;
    qint64 limiteAperturaMs = 10000;
};
int verifica(const QString& dir, const OpzioniVerifica& o);

} // namespace tempesta
