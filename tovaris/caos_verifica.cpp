#include "caos_verifica.h"

#include "session/db.h"

#include <QProcess>
#include <QStandardPaths>

namespace tovaris {

namespace {

struct Aperto {
    quintar::Database db;
    explicit Aperto(const QString& file) { db.connect(nomeConnessione(file)); }
    QStringList chiavi(const QString& sql) {
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {sql};
        QStringList r = q.primaColonna();
        tr.commit();
        return r;
    }
    QVariant valore(const QString& sql) {
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {sql};
        QVariant v = q.scalar();
        tr.commit();
        return v;
    }
    QStringList colonne(const QString& tabella) {
        return chiavi(QStringLiteral("SELECT TRIM(RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS WHERE "
                                     "RDB$RELATION_NAME = '%1' ORDER BY RDB$FIELD_POSITION")
                          .arg(tabella));
    }
    bool esiste(const QString& tabella) {
        return valore(QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = "
                                     "'%1'")
                          .arg(tabella))
                   .toInt() > 0;
    }
};

// A card's history: its last version equals the row on every column both
// tables have, but the history's own and those that other screens write
// without a version of the card (`altrui`).
struct Storico {
    const char* tabella;
    const char* storico;
    QStringList chiave;
    QStringList altrui;
};

// The key of each row that breaks it, with the columns that differ.
QString storicoSql(Aperto& a, const Storico& s) {
    static const QStringList propri = {"VERS",         "DATAVERS",  "UTENTE",   "NOTE",
                                       "ELIMINAZIONE", "VERSIONET", "VERSIONED"};
    const QStringList riga = a.colonne(QString::fromLatin1(s.tabella));
    QStringList confronti, diverse, uguali, uguali2, chiave;
    for (const QString& c : a.colonne(QString::fromLatin1(s.storico))) {
        if (riga.contains(c) && !propri.contains(c) && !s.chiave.contains(c) &&
            !s.altrui.contains(c)) {
            confronti << QStringLiteral("M.%1 IS DISTINCT FROM H.%1").arg(c);
            diverse << QStringLiteral("CASE WHEN M.%1 IS DISTINCT FROM H.%1 THEN ' %1' ELSE '' END")
                           .arg(c);
        }
    }
    for (const QString& k : s.chiave) {
        uguali << QStringLiteral("H.%1 = M.%1").arg(k);
        uguali2 << QStringLiteral("H2.%1 = M.%1").arg(k);
        chiave << QStringLiteral("COALESCE(CAST(M.%1 AS VARCHAR(40)), '')").arg(k);
    }
    return QStringLiteral("SELECT %1 || ' (' || %2 || ' )' FROM %3 M JOIN %4 H ON %5 AND H.VERS = "
                          "(SELECT MAX(H2.VERS) FROM %4 H2 WHERE %6) WHERE %7")
        .arg(chiave.join(QStringLiteral(" || '/' || ")), diverse.join(QStringLiteral(" || ")),
             QString::fromLatin1(s.tabella), QString::fromLatin1(s.storico),
             uguali.join(QStringLiteral(" AND ")), uguali2.join(QStringLiteral(" AND ")),
             confronti.join(QStringLiteral(" OR ")));
}

int inLimbo(Aperto& a) {
    return a
        .valore(
            QStringLiteral("SELECT COUNT(*) FROM RDB$TRANSACTIONS WHERE RDB$TRANSACTION_STATE = 1"))
        .toInt();
}

} // namespace

Invarianti leggiInvarianti(const Cartella& c) {
    Invarianti r;
    Aperto az(c.azienda()), erp(c.erp()), pes(c.pesate());
    auto metti = [&r](const QString& nome, const QStringList& chiavi) {
        QSet<QString>& s = r.violazioni[nome];
        for (const QString& k : chiavi) {
            s.insert(k);
        }
    };
    static const Storico storici[] = {
        {"MATER", "STOMATER", {"CODICE"}, {}},
        // the capacity conversion and the regularisation fill codes of products
        {"PRODOT",
         "STOPRODOT",
         {"CODICE"},
         {"CODICECAPACITACONFEZIONE", "CODICEIMBALLOCONTENITORE", "CODICEIMBALLOTAPPO",
          "CODICEIMBALLOETICHETTA", "CODICEIMBALLOCARTONE", "CODICEIMBALLOALTRO1",
          "CODICEIMBALLOALTRO2"}},
        // (a formulation's version holds the header as it was before the save:
        // its last version is not its current row, and is not compared)
        // commitment, posting, capacity conversion, regularisation and the
        // archived sheet write a batch without a version
        {"FABBRIC",
         "STOFABBRIC",
         {"CODICE", "DATA", "LOTTO"},
         {"STATUS", "DATAIMPEGNO", "IDORDINEIMPMAT", "OPERATOREIMPEGNO", "DATAFINE",
          "OPERATOREFINE", "CAPACITACONTENITORE", "ID", "CODICECONTENITORE", "CODICETAPPO",
          "CODICEETICHETTA", "CODICECARTONE", "CODICEALTRO1", "CODICEALTRO2", "STORICOAGGIORNATO"}},
    };
    for (const Storico& s : storici) {
        metti(QStringLiteral("storico ") + s.tabella, az.chiavi(storicoSql(az, s)));
    }

    const std::pair<const char*, const char*> righe[] = {
        {"SPECIF", "SELECT R.CODICEMP || '/' || R.NRIGA FROM SPECIF R WHERE NOT EXISTS (SELECT 1 "
                   "FROM MATER T WHERE T.CODICE = R.CODICEMP)"},
        {"COMPON", "SELECT R.CODICEFORMULAZIONE || '/' || R.NRIGA FROM COMPON R WHERE NOT EXISTS "
                   "(SELECT 1 FROM FORMUL T WHERE T.CODICE = R.CODICEFORMULAZIONE)"},
        {"PROCED", "SELECT R.CODICEFORMULAZIONE || '/' || R.NRIGA FROM PROCED R WHERE NOT EXISTS "
                   "(SELECT 1 FROM FORMUL T WHERE T.CODICE = R.CODICEFORMULAZIONE)"},
        {"FABBCOMPON",
         "SELECT R.CODICEFABBRICAZIONE || '/' || R.DATAFABBRICAZIONE || '/' || "
         "R.LOTTOFABBRICAZIONE || '/' || R.NRIGA FROM FABBCOMPON R WHERE NOT EXISTS (SELECT 1 "
         "FROM FABBRIC T WHERE T.CODICE = R.CODICEFABBRICAZIONE AND T.DATA = R.DATAFABBRICAZIONE "
         "AND T.LOTTO = R.LOTTOFABBRICAZIONE)"},
    };
    for (const auto& [nome, sql] : righe) {
        metti(QStringLiteral("righe senza testata ") + nome, az.chiavi(QString::fromLatin1(sql)));
    }
    metti(QStringLiteral("righe senza testata RIGHEORDC"),
          erp.chiavi(QStringLiteral("SELECT R.CODICEDOCUMENTO || '/' || R.NRIGA FROM RIGHEORDC R "
                                    "WHERE NOT EXISTS (SELECT 1 FROM ORDC T WHERE T.ID = "
                                    "R.CODICEDOCUMENTO)")));
    metti(QStringLiteral("righe senza testata RSTOPRODUZ"),
          erp.chiavi(QStringLiteral("SELECT R.CODICEPRODUZ || '/' || R.NRIGA FROM RSTOPRODUZ R "
                                    "WHERE NOT EXISTS (SELECT 1 FROM STOPRODUZ T WHERE T.CODICE = "
                                    "R.CODICEPRODUZ)")));

    // the weighings: the station's in one archive, their assignments in the other
    metti(QStringLiteral("pesata assegnata due volte"),
          az.chiavi(QStringLiteral("SELECT BILANCIA || '|' || DATAORA FROM PESATE_FABBR GROUP BY "
                                   "BILANCIA, DATAORA HAVING COUNT(*) > 1")));
    QSet<QString> assegnate;
    for (const QString& k : az.chiavi(
             QStringLiteral("SELECT DISTINCT BILANCIA || '|' || DATAORA FROM PESATE_FABBR"))) {
        assegnate.insert(k);
    }
    QStringList chiuseSenza, aperteCon;
    for (const QString& k : pes.chiavi(QStringLiteral(
             "SELECT BILANCIA || '|' || CAST(DATA_ORA AS VARCHAR(24)) || '|' || COALESCE(NOTE, '') "
             "FROM PESATE"))) {
        const QString chiave = k.section('|', 0, 1);
        const bool chiusa = k.section('|', 2) == QLatin1String("CHIUSA");
        if (chiusa && !assegnate.contains(chiave)) {
            chiuseSenza << chiave;
        } else if (!chiusa && assegnate.contains(chiave)) {
            aperteCon << chiave;
        }
    }
    metti(QStringLiteral("pesata chiusa senza assegnazione"), chiuseSenza);
    metti(QStringLiteral("assegnazione di una pesata aperta"), aperteCon);

    // the batches and their orders
    QSet<QString> ordini;
    for (const QString& k : erp.chiavi(QStringLiteral("SELECT ID FROM ORDC"))) {
        ordini.insert(k);
    }
    QStringList senzaOrdine, conOrdine;
    for (const QString& k : az.chiavi(QStringLiteral(
             "SELECT CODICE || '/' || DATA || '/' || LOTTO || '|' || COALESCE(STATUS, '') || '|' "
             "|| COALESCE(TRIM(IDORDINEIMPMAT), '') FROM FABBRIC"))) {
        const QString stato = k.section('|', 1, 1);
        const QString ordine = k.section('|', 2, 2);
        const QString chi = k.section('|', 0, 0) + ' ' + stato;
        if (stato == QLatin1String("IMPEGNATA") || stato == QLatin1String("FINITA")) {
            if (ordine.isEmpty() || !ordini.contains(ordine)) {
                senzaOrdine << chi + QStringLiteral(" ordine '") + ordine + '\'';
            }
        } else if (!ordine.isEmpty() && ordini.contains(ordine)) {
            conOrdine << chi + QStringLiteral(" ordine ") + ordine;
        }
    }
    metti(QStringLiteral("fabbricazione senza ordine"), senzaOrdine);
    metti(QStringLiteral("ordine di una fabbricazione da fare"), conOrdine);
    return r;
}

QStringList verificaArchivi(const Cartella& c, const Invarianti& prima) {
    QStringList r;
    const QString gfix = QStandardPaths::findExecutable(QStringLiteral("gfix"));
    for (const Cartella::Archivio& a : c.archivi()) {
        const QString nome = nomeConnessione(a.file);
        if (gfix.isEmpty()) {
            r << QStringLiteral("gfix non trovato (pacchetto firebird3.0-utils)");
            break;
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(gfix, {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-user"),
                       QStringLiteral("SYSDBA"), QStringLiteral("-password"),
                       QStringLiteral("pinecrest"), nome});
        if (!p.waitForFinished(300000)) {
            p.kill();
            p.waitForFinished();
            r << QStringLiteral("gfix -v -full %1: non finisce").arg(nome);
            continue;
        }
        const QString out = QString::fromLocal8Bit(p.readAll()).trimmed();
        if (p.exitCode() != 0 || !out.isEmpty()) {
            r << QStringLiteral("gfix -v -full %1 (uscita %2): %3")
                     .arg(nome)
                     .arg(p.exitCode())
                     .arg(out.simplified());
        }
    }
    {
        Aperto az(c.azienda()), erp(c.erp()), pes(c.pesate()), user(c.userDb());
        const std::pair<const char*, Aperto*> archivi[] = {
            {"aziendale", &az}, {"dell'ospite", &erp}, {"delle pesate", &pes}, {"utenti", &user}};
        for (const auto& [nome, a] : archivi) {
            if (const int n = inLimbo(*a)) {
                r << QStringLiteral("%1 transazioni in sospeso nell'archivio %2").arg(n).arg(nome);
            }
        }
        if (az.esiste(QStringLiteral("CHIAMATEDOVUTE"))) {
            if (const int n = az.valore(QStringLiteral("SELECT COUNT(*) FROM CHIAMATEDOVUTE WHERE "
                                                       "FATTA IS NULL"))
                                  .toInt()) {
                r << QStringLiteral("%1 chiamate dovute non fatte").arg(n);
            }
        }
    }
    const Invarianti dopo = leggiInvarianti(c);
    for (const auto& [nome, chiavi] : dopo.violazioni) {
        const auto it = prima.violazioni.find(nome);
        QStringList nuove;
        for (const QString& k : chiavi) {
            if (it == prima.violazioni.end() || !it->second.contains(k)) {
                nuove << k;
            }
        }
        if (!nuove.isEmpty()) {
            nuove.sort();
            r << QStringLiteral("invariante \"%1\" violata da %2 righe: %3")
                     .arg(nome)
                     .arg(nuove.size())
                     .arg(nuove.mid(0, 10).join(QStringLiteral(", ")));
        }
    }
    return r;
}

} // namespace tovaris
