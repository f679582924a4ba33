// Runs a plain-text script of user actions against the open windows.
//
// One action a line; blank lines and lines starting with '#' are skipped.
// Each action works on the active window: a modal dialog or message box
// first, else the window made active by the last "open" or "activate".
// A control is named by its objectName, by a path of objectNames
// ("EditOrdinamento/Voce1") when the same name is used twice, or, for a
// button, by its caption without '&'. In the texts of message, text and
// expect, "\n" stands for a line break, "\r" for a carriage return and "\\"
// for a backslash.
//
//   open ENTRY USER [WINDOW]   call an entry point (X ones log the window first)
//   click NAME...              press a button: objectName, or its caption without '&';
//                              any other control gets a mouse click
//   dblclick NAME...           double-click a control, or the current row of a list or grid
//   text NAME VALUE...         type VALUE into an edit, memo, spin box or combo box
//   key NAME KEY               press KEY on a control (Return, Escape, F5, Ctrl+F5, ...)
//   row NAME N                 make row N (from 1) current in a list or grid
//   header GRID COLUMN...      click a grid's column title; COLUMN is the title as shown or
//                              the field name, "Ctrl+" before it holds Ctrl down
//   dblheader GRID COLUMN...   double-click a column title (a grid orders by the column, by
//                              the next key of a multi-column order with "Ctrl+")
//   menu NAME ITEM...          right-click a control (a grid) and choose ITEM of the menu
//                              that pops up, by its caption without '&'
//   wait MS                    let the event loop run MS milliseconds (timers fire)
//   message TEXT...            a message box showing exactly TEXT is up
//   nomessage                  no message box is up
//   awaitmessage TEXT...       let the event loop run until a message box showing exactly TEXT
//                              is up (an operation that ends with one), the step limit at most
//   answer BUTTON              press the button with that caption on the modal box or dialog
//   expect NAME VALUE...       an edit, memo, label, check box (1/0), combo box, spin box,
//                              or the window "title", shows VALUE; "position" is the active
//                              window's "X Y", "size" its "WIDTH HEIGHT"
//   checked NAME... 0|1        a check box or radio button is not checked / checked
//   enabled NAME... 0|1        a control is disabled / enabled
//   visible NAME... 0|1        a control is hidden / shown (it and every parent up to its window);
//                              for checked, enabled and visible a last word other than 0 or 1
//                              is an error of the script
//   rows NAME N                a list or grid holds N rows (all of them fetched first)
//   move X Y                   move the active window
//   resize WIDTH HEIGHT        resize the active window
//   shot FILE.png              save a picture of the active window
//   close                      close the active window
//   activate N                 make the N-th window opened by the script (from 1) active
//   activate NAME              make the open window with that objectName active (a window a
//                              screen opened itself, such as a progress window)
//   signal FILE                create FILE (another process may be waiting for it)
//   await FILE                 let the event loop run until FILE exists (60 s at most)
//   weigh WORDS...             the weighing station writes into the folder's weighing archive,
//                              as `tovaris pesa DIR WORDS...` does (stazione.h): "weigh B1
//                              CONTEST00000016 12,5 Rossi", "weigh --status ANNULLATA B1"
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

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <optional>
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
    // One line of the script.
    struct Passo {
        QString azione;
        QStringList arg; // the words after the action
        QString testo;   // the text after the action, blanks kept
        QString resto;   // the text after the first argument, blanks kept
    };
    // Runs one step; false when the verb schedules the next step itself.
    using Verbo = bool (EsecutoreScript::*)(const Passo&);
    struct DefinizioneVerbo {
        int argomenti;
        Verbo esegui;
    };
    static const QHash<QString, DefinizioneVerbo>& verbi();

    void passo();
    void prossimo(int ms = 0);
    void fallito(const QString& motivo);
    void aspetta(const QString& file, int restanti);
    void fine();
    void iniziaPasso();
    // Prints why the script cannot go on and what is open, then _exit(1).
    [[noreturn]] void interrompi(const QString& motivo);
    void sorveglia();
    QWidget* attiva() const;
    QWidget* trova(const QString& nome) const;
    // trova(), reporting a missing control as a failure.
    QWidget* controllo(const QString& nome);
    bool agisci(const Passo& p);

    // The verbs.
    bool apri(const Passo& p);
    bool attivaFinestra(const Passo& p);
    bool segnala(const Passo& p);
    bool attendiFile(const Passo& p);
    bool aspettaMs(const Passo& p);
    bool rispondi(const Passo& p); // click and answer
    bool scrivi(const Passo& p);
    bool tasto(const Passo& p);
    bool scegliRiga(const Passo& p);
    bool doppioClic(const Passo& p);
    bool cliccaTitolo(const Passo& p);
    bool doppioClicTitolo(const Passo& p);
    bool titolo(const Passo& p, bool doppio);
    bool voceMenu(const Passo& p);
    bool messaggio(const Passo& p);
    bool nessunMessaggio(const Passo& p);
    bool attendiMessaggio(const Passo& p);
    void attendiTesto(const QString& atteso);
    bool atteso(const Passo& p);
    std::optional<bool> statoAtteso(const Passo& p);
    bool spuntato(const Passo& p);
    bool abilitato(const Passo& p);
    bool visibile(const Passo& p);
    bool righeElenco(const Passo& p);
    bool sposta(const Passo& p);
    bool ridimensiona(const Passo& p);
    bool foto(const Passo& p);
    bool chiudi(const Passo& p);
    bool pesa(const Passo& p);

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
