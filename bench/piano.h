// The plan Firebird picks for a statement, for the benchmarks' reports.
#pragma once

#include "session/db.h"

#include <QString>
#include <firebird/Interface.h>

namespace bench {

inline QString piano(quintar::Database& db, quintar::Transaction& tr, const QString& sql) {
    using namespace Firebird;
    IMaster* m = fb_get_master_interface();
    ThrowStatusWrapper st(m->getStatus());
    QString r;
    try {
        const QByteArray s = sql.toUtf8();
        IStatement* stmt = db.handle()->prepare(&st, tr.ensure(), 0, s.constData(), 3, 0);
        const char* p = stmt->getPlan(&st, false);
        r = QString::fromUtf8(p ? p : "").trimmed();
        stmt->free(&st);
    } catch (const FbException&) {
        r = QStringLiteral("(piano non disponibile)");
    }
    st.dispose();
    return r.replace('\n', ' ');
}

} // namespace bench
