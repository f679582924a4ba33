#include "ui/colonne.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include <QtDebug>

namespace quintar {

std::map<QString, int> lunghezzeColonne(Database* db, const QString& tabella) {
    std::map<QString, int> r;
    if (!db || !db->connected() || tabella.isEmpty()) {
        return r;
    }
    try {
        Transaction t(db);
        Query q(db, &t);
        // 14 CHAR, 37 VARCHAR
        q.SQL = {
            QStringLiteral("SELECT RF.RDB$FIELD_NAME, F.RDB$CHARACTER_LENGTH"),
            QStringLiteral("FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F"),
            QStringLiteral("ON (F.RDB$FIELD_NAME=RF.RDB$FIELD_SOURCE)"),
            QStringLiteral("WHERE (RF.RDB$RELATION_NAME=?) AND (F.RDB$FIELD_TYPE IN (14, 37))"),
            QStringLiteral("ORDER BY RF.RDB$FIELD_NAME")};
        q.setParams({sql::identificatore(tabella).remove('"')});
        for (q.open(); !q.eof(); q.next()) {
            if (!q.field(1).isNull()) {
                r[q.field(0).asString().trimmed()] = int(q.field(1).asInteger());
            }
        }
        q.close();
        t.commit();
    } catch (const DbError& e) {
        qWarning("colonne di %s non lette: %s", qPrintable(tabella), qPrintable(e.messaggio()));
    }
    return r;
}

} // namespace quintar
