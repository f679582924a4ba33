// Runs a plain-text script of user actions against the open windows.
//
// One action a line; blank lines and lines starting with '#' are skipped.
// Each action works on the active window: a modal dialog or message box
// first, else the window made active by the last "open" or "activate".
//
//   open ENTRY USER [WINDOW]   call an entry point (X ones log the window first)
//   click NAME                 press a control: objectName, or a button's caption without '&'
//   text NAME VALUE...         type VALUE into an edit, memo, spin box or combo box
//   key NAME KEY               press KEY on a control (Return, Escape, F5, Ctrl+F5, ...)
//   row NAME N                 make row N (from 1) current in a list or grid
//   wait MS                    let the event loop run MS milliseconds (timers fire)
//   message TEXT...            a message box showing exactly TEXT is up
//   answer BUTTON              press the button with that caption on the modal box or dialog
//   expect NAME VALUE...       an edit, memo, label, check box (1/0), combo box, spin box,
//                              or the window "title", shows VALUE
//   enabled NAME 0|1           a control is disabled / enabled
//   shot FILE.png              save a picture of the active window
//   close                      close the active window
//   activate N                 make the N-th window opened by the script (from 1) active
//   signal FILE                create FILE (another process may be waiting for it)
//   await FILE                 let the event loop run until FILE exists (60 s at most)
//
// A script never hangs. When it ends, every window is closed; if that raises
// a modal box (a card still editing asks to save first) or leaves a window
// open, and whenever one step lasts longer than the step limit, the host
// prints what is still open (windows with their class, objectName and title,
// the modal box with its text) and exits at once with 1, leaving the archives
// as a killed host does: nothing is committed or closed after that.
#pragma once

#include "inizializza.h"
#include "ospite.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <thread>
#include <vector>

class QWidget;

namespace tovaris {

class EsecutoreScript : public QObject {
    Q_OBJECT
public:
    // limiteSecondi: the longest one step may last.
    EsecutoreScript(const Cartella& c, Libreria& lib, QStringList righe, int limiteSecondi,
                    QObject* parent = nullptr);
    ~EsecutoreScript() override;
    // Runs the script in the event loop; returns the number of failures.
    int esegui();

    static constexpr int kLimitePredefinito = 120;

private:
    void passo();
    void fine();
    void iniziaPasso();
    // Prints why the script cannot go on and what is open, then _exit(1).
    [[noreturn]] void interrompi(const QString& motivo);
    void sorveglia();
    void prossimo(int ms = 0);
    void fallito(const QString& motivo);
    void aspetta(const QString& file, int restanti);
    QWidget* attiva() const;
    QWidget* trova(const QString& nome) const;
    bool agisci(const QString& azione, const QStringList& arg, const QString& resto);

    Cartella cartella_;
    Libreria& lib_;
    QStringList righe_;
    int riga_ = 0;
    int fallimenti_ = 0;
    std::vector<QPointer<QWidget>> finestre_;
    QPointer<QWidget> attiva_;
    const qint64 limiteMs_;
    // Start of the step under way (monotonic ms) and its line, for the watch thread.
    std::atomic<qint64> inizioPasso_{0};
    std::atomic<int> rigaPasso_{0};
    std::atomic<bool> finito_{false};
    std::thread guardia_;
};

} // namespace tovaris
