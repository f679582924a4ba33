// A long operation run on the user-interface thread, as the screen's own:
// while it lasts the screen's controls are disabled and the screen refuses
// to close, so that nothing starts a second run or frees the session midway;
// pending events are let through a few times a second, so that the progress
// shown is painted and a cancel button can be pressed.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

namespace quintar {

class EsecuzioneInCorso {
public:
    EsecuzioneInCorso(QWidget* finestra, const std::vector<QWidget*>& controlli,
                      int intervalloMs = 100);
    // The controls come back as they were, the screen closes again.
    ~EsecuzioneInCorso();
    EsecuzioneInCorso(const EsecuzioneInCorso&) = delete;
    EsecuzioneInCorso& operator=(const EsecuzioneInCorso&) = delete;

    // Once the interval has passed since the last time (at once with
    // `subito`): runs `aggiorna` (the progress to show) and lets the pending
    // events through. Cheap when the interval has not passed.
    template <typename F> void passo(F&& aggiorna, bool subito = false) {
        if (subito || tempo_.elapsed() >= intervalloMs_) {
            aggiorna();
            lasciaPassare();
        }
    }
    void passo(bool subito = false) {
        passo([] {}, subito);
    }

    // A run of this window is under way.
    static bool inCorso(const QWidget* finestra);

private:
    void lasciaPassare();
    QPointer<QWidget> finestra_;
    std::vector<std::pair<QPointer<QWidget>, bool>> controlli_;
    std::unique_ptr<QObject> filtro_;
    QElapsedTimer tempo_;
    int intervalloMs_;
};

} // namespace quintar
