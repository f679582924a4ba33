#include "session/profili.h"

#include "session/sqlvalori.h"
#include "session/tabx.h"

#include <QWidget>
#include <QtDebug>

namespace quintar {

bool VerificaProfiloSicurezza(TTabXForm& sessione) {
    Query& q = sessione.QueryArbelon;
    try {
        q.close();
        q.clearParams();
        q.SQL = {QStringLiteral("SELECT B.LIVELLOPREDEFINITO FROM UTENTI A LEFT JOIN PROFILI B ON"),
                 QStringLiteral("(A.PROFILOSICUREZZA=B.CODICE)"),
                 QStringLiteral("WHERE (A.CODICE=") + sql::intero(qint64(sessione.NumUtente)) +
                     QStringLiteral(")")};
        q.open();
        const bool solaLettura = !q.eof() && q.field(0).asString().trimmed() == QLatin1String("2");
        q.close();
        return solaLettura;
    } catch (const DbError& e) {
        // without the user database nobody can tell what the user may do
        qWarning("Profilo di sicurezza non leggibile, sola lettura: %s", qPrintable(e.messaggio()));
        try {
            q.close();
        } catch (const DbError&) {
            // the cursor is gone with the connection
        }
        return true;
    }
}

void DisattivaControlli(QWidget* schermo, const QStringList& nomiControlli) {
    if (!schermo) {
        return;
    }
    for (const QString& nome : nomiControlli) {
        const auto trovati = schermo->findChildren<QWidget*>(nome);
        for (QWidget* w : trovati) {
            w->setEnabled(false);
        }
    }
}

} // namespace quintar
