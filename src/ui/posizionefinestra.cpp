#include "ui/posizionefinestra.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include <QWidget>

namespace quintar {

namespace {

// A write of the same rows by another process of the user is short: it is
// waited for this long at most, then the write is given up.
constexpr int kAttesaSecondi = 10;
// One more go after a conflict sees what the other writer committed; a third
// covers a third process writing the same rows meanwhile.
constexpr int kTentativi = 3;

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

std::optional<qint64> interoMemorizzato(const Campo& c) {
    return c.isNull() ? std::nullopt : interoMemorizzato(c.valore());
}

std::optional<qint64> interoMemorizzato(const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        return std::nullopt;
    }
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        return qRound64(v.toDouble());
    }
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

void ScriviRigheUtente(Database* db, const std::function<void(Query&)>& scrivi) {
    for (int tentativo = 1;; ++tentativo) {
        // read committed: a retry sees what the other writer committed
        Transaction t(db, {QStringLiteral("isc_tpb_read_committed"),
                           QStringLiteral("isc_tpb_rec_version"), QStringLiteral("isc_tpb_write"),
                           QStringLiteral("isc_tpb_wait")});
        t.setAttesaBlocchi(kAttesaSecondi);
        try {
            Query q(db, &t);
            scrivi(q);
            q.close();
            t.commit();
            return;
        } catch (const DbError& e) {
            // the transaction goes back as it goes out of scope
            if (tentativo >= kTentativi || !(e.conflitto() || e.chiaveDuplicata())) {
                throw;
            }
        }
    }
}

void CaricaPosizioneFinestra(QWidget* f, int utente, int situazione, Database* db, int progetto) {
    if (!db || !db->connected()) {
        return;
    }
    try {
        Transaction tr(db);
        Query q(db, &tr);
        apriRiga(q, utente, situazione, progetto);
        if (q.eof()) {
            return;
        }
        // a value left empty counts as never stored
        const auto x = interoMemorizzato(q["POSX"]);
        const auto y = interoMemorizzato(q["POSY"]);
        const auto w = interoMemorizzato(q["DIMX"]);
        const auto h = interoMemorizzato(q["DIMY"]);
        if (x && y && w && h && *w > 0 && *h > 0) {
            f->move(int(*x), int(*y));
            f->resize(int(*w), int(*h));
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
    const qint64 valori[] = {f->x(), f->y(), g.width(), g.height()};
    try {
        ScriviRigheUtente(db, [&](Query& q) {
            apriRiga(q, utente, situazione, progetto);
            bool uguale = !q.eof();
            const char* nomi[] = {"POSX", "POSY", "DIMX", "DIMY"};
            for (int i = 0; i < 4 && uguale; ++i) {
                uguale = interoMemorizzato(q[nomi[i]]) == valori[i];
            }
            q.close();
            if (uguale) {
                return;
            }
            // one statement: a row another process of the user has just
            // written is updated, never inserted twice
            q.SQL = {QStringLiteral("UPDATE OR INSERT INTO \"STOPOS1\" (CODICEPROGETTO, "
                                    "CODICESITUAZIONE, CODICEUTENTE, POSX, POSY, DIMX, DIMY)"),
                     QStringLiteral("VALUES (?, ?, ?, ?, ?, ?, ?)"),
                     QStringLiteral("MATCHING (CODICEPROGETTO, CODICESITUAZIONE, CODICEUTENTE)")};
            q.setParams({progetto, situazione, utente, valori[0], valori[1], valori[2], valori[3]});
            q.execSQL();
        });
    } catch (const DbError& e) {
        qWarning("posizione finestra non salvata: %s", qPrintable(e.messaggio()));
    }
}

} // namespace quintar
