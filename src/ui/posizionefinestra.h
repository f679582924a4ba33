// Per-user window positions in STOPOS1 (left, top, width, height).
#pragma once

class QWidget;

namespace quintar {

class Database;

inline constexpr int kProgetto = 150;

// Puts the window where the user left it; nothing when there is no row.
void CaricaPosizioneFinestra(QWidget* finestra, int utente, int situazione, Database* db,
                             int progetto = kProgetto);
// Stores the window's geometry when it differs from the stored one. Failures
// are not the user's business: the window simply opens where it did before.
void SalvaPosizioneFinestra(QWidget* finestra, int utente, int situazione, Database* db,
                            int progetto = kProgetto);

} // namespace quintar
