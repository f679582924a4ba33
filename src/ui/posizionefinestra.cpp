#include "ui/posizionefinestra.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include <QWidget>

namespace quintar {

namespace {

QStringList rigaChiave(int utente, int situazione, int progetto) {
    return {QStringLiteral("WHERE (CodiceSituazione=%1)").arg(sql::intero(situazione)),
            QStringLiteral("AND (CodiceUtente=%1)").arg(sql::intero(utente)),
            QStringLiteral("AND (CodiceProgetto=%1)").arg(sql::intero(progetto))};
}

// Opens the stored row of the window (the cursor is at its end when there is none).
void apriRiga(Query& q, int utente, int situazione, int progetto) {
    q.SQL = QStringList{QStringLiteral("SELECT * FROM \"STOPOS1\"")} +
            rigaChiave(utente, situazione, progetto);
    q.open();
}

} // namespace

void CaricaPosizioneFinestra(QWidget* f, int utente, int situazione, Database* db, int progetto) {
    if (!db || !db->connected()) {
        return;
    }
    try {
        Transaction tr(db);
        Query q(db, &tr);
        apriRiga(q, utente, situazione, progetto);
        if (!q.eof() && !q["POSX"].isNull() && !q["DIMX"].isNull()) {
            const int w = int(q["DIMX"].asInteger());
            const int h = int(q["DIMY"].asInteger());
            if (w > 0 && h > 0) {
                f->move(int(q["POSX"].asInteger()), int(q["POSY"].asInteger()));
                f->resize(w, h);
            }
        }
    } catch (const DbError& e) {
        qWarning("posizione finestra non letta: %s", qPrintable(e.messaggio()));
    }
}

void SalvaPosizioneFinestra(QWidget* f, int utente, int situazione, Database* db, int progetto) {
    if (!db || !db->connected()) {
        return;
    }
    const QRect g = f->geometry();
    const int valori[] = {f->x(), f->y(), g.width(), g.height()};
    try {
        Transaction tr(db);
        Query q(db, &tr);
        apriRiga(q, utente, situazione, progetto);
        const bool manca = q.eof();
        bool uguale = !manca;
        const char* nomi[] = {"POSX", "POSY", "DIMX", "DIMY"};
        for (int i = 0; i < 4 && uguale; ++i) {
            uguale = !q[nomi[i]].isNull() && q[nomi[i]].asInteger() == valori[i];
        }
        q.close();
        if (uguale) {
            return;
        }
        if (manca) {
            q.SQL = {QStringLiteral("INSERT INTO \"STOPOS1\" (CODICEPROGETTO, CODICESITUAZIONE, "
                                    "CODICEUTENTE, POSX, POSY, DIMX, DIMY)"),
                     QStringLiteral("VALUES (?, ?, ?, ?, ?, ?, ?)")};
            q.setParams({progetto, situazione, utente, valori[0], valori[1], valori[2], valori[3]});
        } else {
            q.SQL = QStringList{QStringLiteral("UPDATE \"STOPOS1\""),
                                QStringLiteral("SET POSX=?, POSY=?, DIMX=?, DIMY=?")} +
                    rigaChiave(utente, situazione, progetto);
            q.setParams({valori[0], valori[1], valori[2], valori[3]});
        }
        q.execSQL();
        tr.commit();
    } catch (const DbError& e) {
        qWarning("posizione finestra non salvata: %s", qPrintable(e.messaggio()));
    }
}

} // namespace quintar
