// The load test's pieces: what one process needs to drive a card at random
// (Ambiente, Giro), how it writes what happened (one log line per event),
// and how the check reads the logs of every process back (Registri) and
// counts what it finds (Conteggi).
//
// A log line is "<CARD> <EVENT> <fields...>", fields without blanks except
// in the last field of OPERAZIONE and AVVISO lines, e.g.
//   CONFEZ SALVATO P3-17
//   SPECIF MANUALE MP002/5
//   LOTTO INTEGRATO FM001|2025-01-15|L25015 MP012 7
// Each saved text is unique (P<seed>-<n>), so that every outcome can be
// found in the archive.
#pragma once

#include "session/connessione.h"
#include "session/db.h"
#include "session/messaggi.h"
#include "session/tabx.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

class QDialog;

namespace quintar {
class SchedaBase;
}

namespace carico {

using namespace quintar;

// What one process shares among the cards it drives.
struct Ambiente {
    MessaggiRegistrati& reg;
    std::mt19937 rng;
    unsigned seme;
    int utente;
    QTextStream& log;
    int progressivo = 0;

    int caso(int n) { return int(rng() % unsigned(n)); }
    // A text no other save of any process types.
    QString nuovoTesto() { return QStringLiteral("P%1-%2").arg(seme).arg(++progressivo); }
    // A number no other save of any process types.
    qint64 nuovoNumero() { return qint64(seme) * 1000000 + ++progressivo; }
    void scrivi(const QString& scheda, const QString& evento, const QStringList& campi = {});
    // The messages shown since `da` include an error or a warning.
    bool errore(size_t da = 0) const;
    bool erroreVero(size_t da = 0) const; // errors only
    bool mostrato(const QString& testo, size_t da = 0) const;
};

// A card driven at random by the process's user: opened, operated on,
// closed and opened again now and then (its layouts are saved on closing).
class Giro {
public:
    Giro(Ambiente& a, QString nome) : a_(a), nome_(std::move(nome)) {}
    virtual ~Giro() = default;
    const QString& nome() const { return nome_; }

    // False, with the reason on stderr, when the screen did not open.
    virtual bool apri() = 0;
    // Closes the screen in browsing state; logs the window and the list
    // whose layouts it saved.
    virtual void chiudi() = 0;
    // One random operation; the card is back in browsing afterwards.
    virtual void passo() = 0;
    // A modal dialog the operation opened; rejected unless the card knows it.
    virtual int dialogo(QDialog* d);

    int operazioni = 0;
    int conflitti = 0;
    int taciuti = 0; // a failure without its message

protected:
    // After each operation: when, what, on which key, the state left and
    // what the user was told; counts the conflicts and logs every
    // "cancellare manualmente" request under `chiave`.
    void registra(const char* tipo, const QString& chiave, int stato);
    // Logs the window (situation) and main list (situation) of a card about
    // to close, for the user.
    void registraChiusura(SchedaBase* f);
    // Closes a card opened by the launch (state 0 assumed), deleted now.
    void chiudiScheda(QPointer<SchedaBase> f);

    Ambiente& a_;
    QString nome_;
};

std::unique_ptr<Giro> giroConfez(Ambiente& a);
std::unique_ptr<Giro> giroSpecifiche(Ambiente& a);
std::unique_ptr<Giro> giroComponenti(Ambiente& a);
std::unique_ptr<Giro> giroLotti(Ambiente& a);
std::unique_ptr<Giro> giroParametri(Ambiente& a);

// Every log line of every process, by card and event.
class Registri {
public:
    bool leggi(const QStringList& file);
    // The fields of the lines of one card and event, in log order.
    std::vector<QStringList> righe(const QString& scheda, const QString& evento) const;
    // First fields of those lines.
    QStringList primi(const QString& scheda, const QString& evento) const;

private:
    std::vector<QStringList> righe_;
};

// What the check found; the run passes when every failure count is 0.
struct Conteggi {
    int operazioni = 0;
    int conflitti = 0;
    int perdite = 0;    // a save told done that is nowhere
    int mezzi = 0;      // half-writes: history without change, change without history, ...
    int soloChiave = 0; // a key-only row nobody was told to remove by hand
    int taciuti = 0;    // a failure without its message
    int manuali = 0;    // "cancellare manualmente" requests
    int layout = 0;     // a window position or list layout missing, or not saved
    int avvisi = 0;     // other warnings that name a failure
    int costo = 0;      // unit-cost warnings told on a save (counted, not failures)
};

// The archive before the load, per card: lines "<CARD> <fields...>".
using Base = std::map<QString, std::vector<QStringList>>;

QStringList baseConfez(Database& db);
QStringList baseSpecifiche(Database& db);
QStringList baseComponenti(Database& db);
QStringList baseLotti(Database& db);
QStringList baseParametri(Database& db);

void verificaConfez(Database& db, const Base& b, const Registri& r, Conteggi& c);
void verificaSpecifiche(Database& db, const Base& b, const Registri& r, Conteggi& c);
void verificaComponenti(Database& db, const Base& b, const Registri& r, Conteggi& c);
void verificaLotti(Database& db, const Base& b, const Registri& r, Conteggi& c);
void verificaParametri(Database& db, const Base& b, const Registri& r, Conteggi& c);

// Helpers of the checks.
QVariant scalare(Database& db, const QString& sql);
// Each row of the query as its columns' texts (NULL as "\x01").
std::vector<QStringList> righeSql(Database& db, const QString& sql);
// A problem found: printed, and counted in `contatore`.
void segnala(int& contatore, const QString& testo);
// Each saved text is in the rows and their history exactly once, each
// refused one nowhere; `presenze` counts every text where it stands.
void verificaTesti(const QString& scheda, const QStringList& salvati, const QStringList& falliti,
                   const std::map<QString, int>& presenze, Conteggi& c);
// "<a>,<b>" for an SQL IN list of quoted texts.
QString elencoSql(const QStringList& valori);

} // namespace carico
