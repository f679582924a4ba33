#include "ui/colonne.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include <QHash>
#include <QtDebug>

namespace quintar {

std::map<QString, int> lunghezzeColonne(Database* db, const QString& tabella) {
    if (!db || !db->connected() || tabella.isEmpty()) {
        return {};
    }
    // read once per archive and table while this process changes no
    // structure: every card and list asks, many times over
    struct Lette {
        quint64 generazione;
        std::map<QString, int> lunghezze;
    };
    static QHash<QString, Lette> giaLette;
    const QString nome = sql::identificatore(tabella).remove('"');
    const QString chiave = db->databaseName() + QChar(0) + nome;
    const auto trovate = giaLette.constFind(chiave);
    if (trovate != giaLette.constEnd() && trovate->generazione == generazioneStruttura()) {
        return trovate->lunghezze;
    }
    std::map<QString, int> r;
    try {
        Query q(db, &db->lettura());
        // 14 CHAR, 37 VARCHAR
        q.SQL = {
            QStringLiteral("SELECT RF.RDB$FIELD_NAME, F.RDB$CHARACTER_LENGTH"),
            QStringLiteral("FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F"),
            QStringLiteral("ON (F.RDB$FIELD_NAME=RF.RDB$FIELD_SOURCE)"),
            QStringLiteral("WHERE (RF.RDB$RELATION_NAME=?) AND (F.RDB$FIELD_TYPE IN (14, 37))"),
            QStringLiteral("ORDER BY RF.RDB$FIELD_NAME")};
        q.setParams({nome});
        for (q.open(); !q.eof(); q.next()) {
            if (!q.field(1).isNull()) {
                r[q.field(0).asString().trimmed()] = int(q.field(1).asInteger());
            }
        }
        q.close();
        if (!r.empty()) {
            giaLette.insert(chiave, {generazioneStruttura(), r});
        }
    } catch (const DbError& e) {
        qWarning("colonne di %s non lette: %s", qPrintable(tabella), qPrintable(e.messaggio()));
    }
    return r;
}

} // namespace quintar
