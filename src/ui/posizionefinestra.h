// Per-user window positions in STOPOS1 (left, top, width, height), and the
// one way rows a user keeps per screen are written.
#pragma once

#include <QVariant>
#include <functional>
#include <optional>

class QWidget;

namespace quintar {

class Campo;
class Database;
class Query;

inline constexpr int kProgetto = 150;

// Puts the window where the user left it; nothing when there is no row.
void CaricaPosizioneFinestra(QWidget* finestra, int utente, int situazione, Database* db,
                             int progetto = kProgetto);
// Stores the window's geometry when it differs from the stored one. Failures
// are not the user's business: the window simply opens where it did before.
void SalvaPosizioneFinestra(QWidget* finestra, int utente, int situazione, Database* db,
                            int progetto = kProgetto);

// Writes rows that one user keeps per screen (window positions, grid layouts,
// search choices) in a short transaction of their own, committed at once.
// `scrivi` reads and writes through the query it gets, with UPDATE OR INSERT
// statements. The same user may have the same screen open in another process:
// a write of that process still in progress is waited for (a few seconds at
// most), and a conflict with it makes the whole write go again on what that
// process committed, so the layout saved last is kept whole and neither save
// fails. Throws the DbError of a write that still fails.
void ScriviRigheUtente(Database* db, const std::function<void(Query&)>& scrivi);

// A stored whole number; null, an empty text or a text that is not a number
// read as not stored.
std::optional<qint64> interoMemorizzato(const QVariant& v);
std::optional<qint64> interoMemorizzato(const Campo& c);

} // namespace quintar
