#include "stazione.h"

#include <stdexcept>

using quintar::Database;
using quintar::Query;
using quintar::Transaction;

namespace tovaris {

void scriviPesate(Database& db, const std::vector<Pesata>& pesate) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("INSERT INTO PESATE (BILANCIA, DATA_ORA, BARCODE, PESO, OPERATORE, "
                            "NOTE) VALUES (?, ?, ?, ?, ?, NULL)")};
    long n = 0;
    for (const Pesata& p : pesate) {
        q.setParams({p.bilancia, p.momento, p.barcode, p.peso,
                     p.operatore.isEmpty() ? QVariant() : QVariant(p.operatore)});
        q.execSQL();
        if (++n % 50000 == 0) {
            tr.commitRetaining();
        }
    }
    tr.commit();
}

QDateTime momentoLibero(Database& db, const QString& bilancia, QDateTime da) {
    Transaction tr(&db, {QStringLiteral("isc_tpb_read_committed"),
                         QStringLiteral("isc_tpb_rec_version"), QStringLiteral("isc_tpb_read")});
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT COUNT(*) FROM PESATE WHERE BILANCIA = ? AND DATA_ORA = ?")};
    for (;; da = da.addMSecs(1)) {
        q.setParams({bilancia, da});
        if (q.scalar().toLongLong() == 0) {
            return da;
        }
    }
}

namespace {

[[noreturn]] void uso(const QString& motivo) {
    throw std::runtime_error(
        (motivo + QStringLiteral("\nuso: ") + QLatin1String(kUsoPesa)).toStdString());
}

QDateTime leggiMomento(const QString& s) {
    QDateTime m = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!m.isValid()) {
        m = QDateTime::fromString(s, Qt::ISODate);
    }
    if (!m.isValid()) {
        uso(QStringLiteral("momento non valido: ") + s);
    }
    return m;
}

QString testoMomento(const QDateTime& m) {
    return m.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

QStringList comandoPesa(const Cartella& c, const QStringList& parole) {
    QStringList libere;
    QDateTime momento;
    int quante = 1;
    QString stato;
    bool cambiaStato = false;
    for (int i = 0; i < parole.size(); ++i) {
        const QString& p = parole[i];
        if (p == QLatin1String("--at") && i + 1 < parole.size()) {
            momento = leggiMomento(parole[++i]);
        } else if (p == QLatin1String("--count") && i + 1 < parole.size()) {
            bool ok = false;
            quante = parole[++i].toInt(&ok);
            if (!ok || quante < 1) {
                uso(QStringLiteral("--count vuole un numero positivo"));
            }
        } else if (p == QLatin1String("--status") && i + 1 < parole.size()) {
            cambiaStato = true;
            stato = parole[++i];
        } else if (p.startsWith(QLatin1String("--"))) {
            uso(QStringLiteral("opzione sconosciuta: ") + p);
        } else {
            libere << p;
        }
    }
    Database db;
    db.connect(nomeConnessione(c.pesate()));
    if (cambiaStato) {
        if (libere.size() != 1) {
            uso(QStringLiteral("--status vuole lo stato e una bilancia"));
        }
        Transaction tr(&db);
        Query q(&db, &tr);
        const QVariant nota = stato == QLatin1String("NULL") ? QVariant() : QVariant(stato);
        if (momento.isValid()) {
            q.SQL = {
                QStringLiteral("UPDATE PESATE SET NOTE = ? WHERE BILANCIA = ? AND DATA_ORA = ?")};
            q.setParams({nota, libere[0], momento});
        } else {
            q.SQL = {QStringLiteral("UPDATE PESATE SET NOTE = ? WHERE BILANCIA = ? AND DATA_ORA = "
                                    "(SELECT MAX(DATA_ORA) FROM PESATE WHERE BILANCIA = ?)")};
            q.setParams({nota, libere[0], libere[0]});
        }
        const int n = q.execSQL();
        tr.commit();
        if (n == 0) {
            throw std::runtime_error(
                ("nessuna pesata della bilancia " + libere[0] + " da cambiare").toStdString());
        }
        return {QStringLiteral("status %1 alla pesata della bilancia %2").arg(stato, libere[0])};
    }
    if (libere.size() < 3) {
        uso(QStringLiteral("servono bilancia, barcode e peso"));
    }
    bool ok = false;
    const double peso = QString(libere[2]).replace(',', '.').toDouble(&ok);
    if (!ok) {
        uso(QStringLiteral("peso non valido: ") + libere[2]);
    }
    Pesata base{libere[0], libere[1], peso, libere.mid(3).join(' '), {}};
    QDateTime da = momento.isValid() ? momento : QDateTime::currentDateTime();
    std::vector<Pesata> pesate;
    QStringList fatto;
    for (int i = 0; i < quante; ++i) {
        Pesata p = base;
        p.momento = momentoLibero(db, p.bilancia, da);
        da = p.momento.addMSecs(1);
        fatto << QStringLiteral("pesata %1 %2 %3 %4")
                     .arg(p.bilancia, testoMomento(p.momento), p.barcode)
                     .arg(p.peso);
        pesate.push_back(std::move(p));
    }
    scriviPesate(db, pesate);
    return fatto;
}

} // namespace tovaris
