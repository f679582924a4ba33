// Every user action that may reach the database runs through here: a
// database error becomes its message in a box, never an exception thrown into
// Qt's event loop (which would end the host and every other open screen).
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <utility>

namespace quintar {

// Runs f; a database or other error is shown over `finestra`. False when f
// did not finish.
bool eseguiProtetto(QWidget* finestra, const std::function<void()>& f) noexcept;

// A slot for connect(): f run through eseguiProtetto. The signal's arguments
// are passed on when f takes them.
template <typename F> auto protetto(QWidget* finestra, F f) {
    return [w = QPointer<QWidget>(finestra), f = std::move(f)](auto&&... argomenti) {
        eseguiProtetto(w, [&] {
            if constexpr (std::is_invocable_v<const F&, decltype(argomenti)...>) {
                f(std::forward<decltype(argomenti)>(argomenti)...);
            } else {
                f();
            }
        });
    };
}

} // namespace quintar
