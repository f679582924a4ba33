// A long operation run on the user-interface thread (a synchronisation, an
// import) that shows its progress on a bar of the window, on the window lock
// of EsecuzioneInCorso. While it lasts the window's buttons and edits are
// disabled and its closing is refused, so that nothing can free the session
// or start a second operation midway; its progress bar is shown and painted
// at every step, and its summary memo collects the lines written.
#pragma once

#include "ui/esecuzione.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace quintar {

class Lavorazione {
public:
    // pannello is what is shown while the run lasts (the bar's panel), the
    // bar itself when null.
    Lavorazione(QWidget* finestra, QProgressBar* barra, QWidget* pannello = nullptr);
    // Everything back as it was; the bar at 0 and hidden.
    ~Lavorazione();
    Lavorazione(const Lavorazione&) = delete;
    Lavorazione& operator=(const Lavorazione&) = delete;

    // The bar at i / n x 100, rounded; painted at once when the figure changes.
    void avanza(qint64 i, qint64 n);
    // Ends the run before the destructor does (before the closing message).
    void termina();

    // True while a run holds the window.
    static bool inCorso(const QWidget* finestra);

private:
    QPointer<QWidget> finestra_;
    QPointer<QProgressBar> barra_;
    QPointer<QWidget> pannello_;
    std::optional<EsecuzioneInCorso> esecuzione_;
    int valore_ = -1;
    bool attiva_ = false;
};

// The summary memo of a processing screen: lines are gathered and written in
// one go (before a message box, at the end of a run), since a memo that
// grows one line at a time costs more than the run's own statements.
class Riepilogo {
public:
    explicit Riepilogo(QPlainTextEdit* memo);
    // What is gathered is written.
    ~Riepilogo();
    Riepilogo(const Riepilogo&) = delete;
    Riepilogo& operator=(const Riepilogo&) = delete;

    void riga(const QString& testo) { righe_ << testo; }
    Riepilogo& operator<<(const QString& testo) {
        righe_ << testo;
        return *this;
    }
    // Clears the memo and forgets the lines not written yet.
    void svuota();
    // Writes the gathered lines into the memo.
    void scrivi();

private:
    QPointer<QPlainTextEdit> memo_;
    QStringList righe_;
};

} // namespace quintar
