// Attachments to a server kept for reuse: a disconnect leaves the attachment
// for the next connect to the same archive, two open slots never share one,
// one let go with a transaction in limbo is dropped, and after the server
// restarts a dead one is never handed out.
//
//   server_riserva NAME DIR   NAME as "host/port:alias"; DIR holds the
//                             files through which the script stops and
//                             restarts the server in the middle
#include "session/db.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

using namespace quintar;

namespace {

int falliti = 0;

void verifica(bool ok, const char* cosa) {
    std::printf("%s: %s\n", ok ? "ok" : "FALLITO", cosa);
    if (!ok) {
        ++falliti;
    }
}

qint64 collegamento(Database& db) {
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {QStringLiteral("SELECT CURRENT_CONNECTION FROM RDB$DATABASE")};
    return q.scalar().toLongLong();
}

bool aspetta(const QString& file) {
    for (int i = 0; i < 600 && !QFile::exists(file); ++i) {
        QThread::msleep(100);
    }
    return QFile::exists(file);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "uso: server_riserva NOME DIR\n");
        return 2;
    }
    const QString nome = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    try {
        {
            Database crea;
            crea.create(nome);
            eseguiScript(crea, QStringLiteral("CREATE TABLE PROVA (X INTEGER);"));
        }
        qint64 primo = 0;
        {
            Database a;
            a.connect(nome);
            primo = collegamento(a);
            // a statement kept on it, with a transaction still open
            Transaction t(&a);
            Query q(&a, &t);
            q.SQL = {QStringLiteral("SELECT 1 FROM RDB$DATABASE")};
            q.scalar();
        }
        Database b;
        b.connect(nome);
        verifica(collegamento(b) == primo, "una disconnessione lascia il collegamento al prossimo");
        {
            Database c;
            c.connect(nome);
            verifica(collegamento(c) != collegamento(b),
                     "due archivi aperti insieme non lo dividono");
        }
        {
            // a part let go in limbo goes with its attachment, never kept
            Transaction t(&b);
            Query q(&b, &t);
            q.SQL = {QStringLiteral("INSERT INTO PROVA (X) VALUES (1)")};
            q.execSQL();
            t.prepara("prova riserva");
            t.lasciaInSospeso();
            const qint64 prima = collegamento(b);
            b.riconnetti();
            const qint64 dopo = collegamento(b);
            Database d;
            d.connect(nome);
            verifica(dopo != prima && collegamento(d) != prima,
                     "un collegamento con una transazione in sospeso non è riusato");
            Transaction pulisci(&d);
            Query limbo(&d, &pulisci);
            limbo.SQL = {QStringLiteral(
                "SELECT COUNT(*) FROM RDB$TRANSACTIONS WHERE RDB$TRANSACTION_STATE = 1")};
            const int n = limbo.scalar().toInt();
            verifica(n == 1, "la transazione resta in sospeso, non tenuta");
        }
        b.disconnect();
        QFile f(dir + QStringLiteral("/fermami"));
        f.open(QIODevice::WriteOnly);
        f.close();
        if (!aspetta(dir + QStringLiteral("/riavviato"))) {
            verifica(false, "server riavviato");
            return 1;
        }
        Database e;
        e.connect(nome);
        verifica(collegamento(e) > 0, "dopo il riavvio un collegamento morto non è dato");
        Transaction t(&e);
        Query q(&e, &t);
        q.SQL = {QStringLiteral("SELECT 1 FROM RDB$DATABASE")};
        verifica(q.scalar().toInt() == 1, "e le frasi si preparano di nuovo");
    } catch (const DbError& err) {
        std::printf("FALLITO: %s\n", qPrintable(err.messaggio()));
        return 1;
    }
    Database::chiudiInutilizzati();
    return falliti == 0 ? 0 : 1;
}
