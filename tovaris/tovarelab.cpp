// Stand-in of the host's warehouse routine: records each call in the host
// ERP archive (TOVARELAB_CHIAMATE), so that the commitment can be checked.
#include "session/datiini.h"
#include "session/db.h"
#include "session/percorsi.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace {

// A database file, or "server:alias" when the dati.ini beside it says so.
QString nomeConnessione(const QString& file) {
    const QString dir = QFileInfo(file).path() + '/';
    const QString server = quintar::datiini::leggi(dir, QStringLiteral("Nome Server"));
    const QString alias = quintar::datiini::leggi(dir, QStringLiteral("Alias"));
    return server.isEmpty() || alias.isEmpty() ? file : server + ':' + alias;
}

// The ERP archive of the user: parameter "Archivio" of the user's company.
QString archivioErp(int utente) {
    quintar::Database db;
    db.connect(nomeConnessione(
        quintar::percorsi::suDisco(quintar::percorsi::dirEseguibile() + "user/user.fdb")));
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    q.SQL = {"SELECT T.VALORE FROM TABARBELON T JOIN UTENTI U ON U.CODICE = T.UTENTE",
             "WHERE T.UTENTE = ? AND T.INTESTAZIONE = U.DITTA AND T.PARAMETRO = 'Archivio'"};
    q.setParams({utente});
    return q.scalar().toString();
}

} // namespace

// Records the call with the order's customer and number of lines as the
// routine sees them (only what is committed). A call it cannot record raises,
// as a failing host routine would.
extern "C" __attribute__((visibility("default"))) int
AnteImpegnoArticoliOrdC(int utente, int ordine, bool flag) {
    try {
        quintar::Database db;
        db.connect(nomeConnessione(quintar::percorsi::suDisco(archivioErp(utente))));
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {"INSERT INTO TOVARELAB_CHIAMATE (ID, UTENTE, IDORDINE, FLAG, MOMENTO,",
                 "CODICECLIENTE, RIGHE)",
                 "SELECT GEN_ID(GEN_TOVARELAB_CHIAMATE, 1), ?, ?, ?, CURRENT_TIMESTAMP,",
                 "(SELECT CODICECLIENTE FROM ORDC WHERE ID = ?),",
                 "(SELECT COUNT(*) FROM RIGHEORDC WHERE CODICEDOCUMENTO = ?)",
                 "FROM RDB$DATABASE"};
        q.setParams({utente, ordine, flag ? QString("1") : QString("0"), ordine, ordine});
        q.execSQL();
        tr.commit();
        return 1;
    } catch (const quintar::DbError& e) {
        qWarning("TovarElab: %s", qPrintable(e.messaggio()));
        throw std::runtime_error(
            ("impegno dell'ordine non registrato: " + e.messaggio()).toStdString());
    }
}
