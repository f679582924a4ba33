#include "ui/protezione.h"

#include "session/db.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"

#include <QtDebug>
#include <exception>

namespace quintar {

bool eseguiProtetto(QWidget* finestra, const std::function<void()>& f) noexcept {
    try {
        try {
            f();
            return true;
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), finestra);
        } catch (const sql::ValoreNonValido& v) {
            Messaggi::avviso(QStringLiteral("Valore non valido: ") + v.valore, finestra);
        } catch (const std::exception& e) {
            Messaggi::errore(QStringLiteral("Errore interno: ") + QString::fromLocal8Bit(e.what()),
                             finestra);
        }
    } catch (...) {
        // the box itself failed: nothing more can be shown
        qCritical("errore non mostrabile durante un'azione dell'utente");
    }
    return false;
}

} // namespace quintar
