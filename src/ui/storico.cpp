#include "ui/storico.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include <QDate>
#include <QDir>
#include <QFile>

namespace quintar::storico {

namespace {

QString condizione(const DescrizioneStorico& d, const QStringList& chiave) {
    QStringList c;
    for (int i = 0; i < d.colonneChiave.size(); ++i) {
        c << QStringLiteral("(%1=%2)").arg(d.colonneChiave[i], sql::testoNonNullo(chiave.value(i)));
    }
    return c.join(QStringLiteral("AND"));
}

QString dove(const DescrizioneStorico& d, const QStringList& chiave) {
    return QStringLiteral("WHERE ") + condizione(d, chiave);
}

} // namespace

int prossimaVersione(Query& q, const DescrizioneStorico& d, const QStringList& chiave) {
    q.SQL = {QStringLiteral("SELECT MAX(%1) FROM %2").arg(d.colonnaVersione, d.tabellaStorico),
             dove(d, chiave)};
    const QVariant v = q.scalar();
    return v.isValid() && !v.isNull() ? v.toInt() + 1 : 1;
}

int copia(Query& q, const DescrizioneStorico& d, const QStringList& chiave, int utente,
          bool cancellazione) {
    const int versione = prossimaVersione(q, d, chiave);
    Costanti costanti{{d.colonnaVersione, sql::intero(versione)}};
    if (!d.colonnaData.isEmpty()) {
        costanti.emplace_back(d.colonnaData, sql::data(QDate::currentDate()));
    }
    if (!d.colonnaUtente.isEmpty()) {
        costanti.emplace_back(d.colonnaUtente, sql::intero(utente));
    }
    if (!d.colonnaCancellato.isEmpty()) {
        costanti.emplace_back(d.colonnaCancellato, sql::flag(cancellazione));
    }
    copiaRiga(q, d.tabellaStorico, d.tabella, d.colonneCopiate, costanti, condizione(d, chiave));
    return versione;
}

QMap<QString, QString> riga(Query& q, const DescrizioneStorico& d, const QStringList& chiave) {
    q.SQL = {QStringLiteral("SELECT %1 FROM %2").arg(d.colonneCopiate.join(','), d.tabella),
             dove(d, chiave)};
    QMap<QString, QString> r;
    q.open();
    if (!q.eof()) {
        for (const QString& c : d.colonneCopiate) {
            r.insert(c, q[c].asString());
        }
    }
    q.close();
    return r;
}

bool serveVersione(Query& q, const DescrizioneStorico& d, const QStringList& chiave,
                   const QMap<QString, QString>& prima) {
    if (prossimaVersione(q, d, chiave) == 1) {
        return true;
    }
    const QMap<QString, QString> ora = riga(q, d, chiave);
    for (auto it = ora.cbegin(); it != ora.cend(); ++it) {
        if (prima.value(it.key()) != it.value()) {
            return true;
        }
    }
    return false;
}

bool invariata(Query& q, const QString& tabella, const QString& condizione,
               const QStringList& assegnazioni) {
    QStringList uguali{condizione};
    for (const QString& a : assegnazioni) {
        const qsizetype uguale = a.indexOf('=');
        if (uguale <= 0) {
            continue;
        }
        uguali << QStringLiteral("(%1 IS NOT DISTINCT FROM %2)")
                      .arg(a.left(uguale).trimmed(), a.mid(uguale + 1).trimmed());
    }
    q.SQL = {QStringLiteral("SELECT COUNT(*) FROM %1 WHERE").arg(tabella),
             QStringLiteral("(") + uguali.join(QStringLiteral(")AND(")) + ')'};
    return q.scalar().toInt() == 1;
}

void copiaRiga(Query& q, const QString& tabellaStorico, const QString& tabella,
               const QStringList& copiate, const Costanti& costanti, const QString& condizione) {
    QStringList colonne = copiate;
    QStringList valori = copiate;
    for (const auto& [colonna, valore] : costanti) {
        colonne << colonna;
        valori << valore + QStringLiteral(" AS ") + colonna;
    }
    q.SQL = {QStringLiteral("INSERT INTO %1 (%2)").arg(tabellaStorico, colonne.join(',')),
             QStringLiteral("SELECT %1 FROM %2").arg(valori.join(','), tabella),
             QStringLiteral("WHERE ") + condizione};
    int righe = 0;
    try {
        righe = q.execSQL();
    } catch (const DbError& e) {
        throw ErroreStorico(e.messaggio(), e.sqlCode(), e.gdsCode());
    }
    if (righe != 1) {
        throw ErroreStorico(QStringLiteral("%1 righe di %2 copiate in %3 invece di una")
                                .arg(righe)
                                .arg(tabella, tabellaStorico));
    }
}

void inserisci(Query& q, const QString& tabella, const Costanti& valori) {
    QStringList colonne, letterali;
    for (const auto& [colonna, valore] : valori) {
        colonne << colonna;
        letterali << valore;
    }
    q.SQL = {QStringLiteral("INSERT INTO %1(%2)").arg(tabella, colonne.join(',')),
             QStringLiteral("VALUES(%1)").arg(letterali.join(','))};
    try {
        q.execSQL();
    } catch (const DbError& e) {
        throw ErroreStorico(e.messaggio(), e.sqlCode(), e.gdsCode());
    }
}

void scrivi(Query& q, const Versione& v, bool cancellazione, const QString& utente) {
    const QString oggi = sql::data(QDate::currentDate());
    Costanti numeri = v.numeri;
    numeri.emplace_back(QStringLiteral("DATAVERS"), oggi);
    copiaRiga(q, v.tabellaStorico, v.tabella, v.copiate, numeri, v.condizione);
    Costanti riepilogo = v.chiaveRiepilogo;
    riepilogo.emplace_back(QStringLiteral("DATAVERS"), oggi);
    riepilogo.emplace_back(QStringLiteral("ELIMINAZIONE"), sql::flag(cancellazione));
    riepilogo.emplace_back(QStringLiteral("UTENTE"), utente);
    inserisci(q, v.riepilogo, riepilogo);
}

void registraErrore(const QString& cartella, const QStringList& sql) {
    QFile f(QDir(cartella.isEmpty() ? QDir::tempPath() : cartella)
                .filePath(QStringLiteral("Errore.sql")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(sql.join('\n').toUtf8());
    }
}

std::optional<int> massimo(Query& q, const QString& tabella, const QString& colonna,
                           const QString& condizione) {
    q.SQL = {QStringLiteral("SELECT MAX(%1) FROM %2").arg(colonna, tabella),
             QStringLiteral("WHERE ") + condizione};
    const QVariant v = q.scalar();
    if (!v.isValid() || v.isNull()) {
        return std::nullopt;
    }
    return v.toInt();
}

} // namespace quintar::storico
