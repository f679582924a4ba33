// The second host after a killed one: it opens the screens (each opening
// timed), closes them, then reads both archives and checks that they agree.
//
// Printed, one per line: ATTESA (ms until the server let the dead process's
// attachments go), LIMBO q t p (transactions in limbo of the company, host
// and weighing archives before the openings), APERTURA screen ms, MESSAGGIO
// (each message an opening showed), PROBLEMA (each fault found), then STATO
// with the counts.
#include "tempesta.h"

#include "production/idpesate.h"
#include "production/lavorazionefabbricazioni.h"
#include "session/connessione.h"

#include <QMap>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <map>

namespace tempesta {

namespace {

int inLimbo(Database& db) {
    return scalare(db, QStringLiteral("SELECT COUNT(*) FROM RDB$TRANSACTIONS WHERE "
                                      "RDB$TRANSACTION_STATE = 1"))
        .toInt();
}

bool tabellaEsiste(Database& db, const QString& nome) {
    return scalare(db,
                   QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?"),
                   {nome})
               .toInt() > 0;
}

struct Fabbricazione {
    qint64 id = 0;
    QString codice, lotto, data, stato, ordine;
    double quantita = 0;
    int righe = 0; // the formulation's materials: the order's lines
};

struct Ordine {
    qint64 id = 0;
    QString cliente;
    int righe = 0;
};

struct Produzione {
    qint64 codice = 0;
    int righe = 0;
    QString articolo;
    double quantita = 0;
};

struct Chiamata {
    QString cliente;
    int righe = 0;
};

} // namespace

int verifica(const QString& dir, const OpzioniVerifica& o) {
    int problemi = 0;
    auto problema = [&](const QString& t) {
        ++problemi;
        std::printf("PROBLEMA %s\n", qPrintable(t.simplified()));
        std::fflush(stdout);
    };
    Archivi a(dir);
    Database* archivi[] = {&a.az, &a.erp, &a.pes};

    // the server lets a killed client's attachments go when it notices the
    // connection gone: until then what they held is, for everyone, held
    if (o.pidMorto > 0) {
        QElapsedTimer t;
        t.start();
        for (Database* db : archivi) {
            while (scalare(*db,
                           QStringLiteral("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE "
                                          "MON$REMOTE_PID = ?"),
                           {o.pidMorto})
                           .toInt() > 0 &&
                   t.elapsed() < 30000) {
                QThread::msleep(20);
            }
        }
        std::printf("ATTESA %lld\n", t.elapsed());
        if (t.elapsed() >= 30000) {
            problema(QStringLiteral("il server tiene ancora le connessioni del processo %1")
                         .arg(o.pidMorto));
        }
    }
    const QString limbo =
        QStringLiteral("%1,%2,%3").arg(inLimbo(a.az)).arg(inLimbo(a.erp)).arg(inLimbo(a.pes));
    std::printf("LIMBO %s\n", qPrintable(QString(limbo).replace(',', ' ')));
    if (o.limboAtteso && *o.limboAtteso != limbo) {
        problema(QStringLiteral("in sospeso prima delle aperture %1, attese %2")
                     .arg(limbo, *o.limboAtteso));
    }

    // the openings: each ends what the dead process left, in bounded time
    {
        RegistraMessaggi reg;
        reg->dialogo = [](QDialog*) { return kRisultatoAnnulla; };
        Schermate s(2, *reg);
        for (Lavoro l : o.schermate) {
            const size_t da = reg->mostrati.size();
            QWidget* f = l == Lavoro::Impegno      ? static_cast<QWidget*>(s.impegno())
                         : l == Lavoro::Produzione ? static_cast<QWidget*>(s.produzione())
                                                   : static_cast<QWidget*>(s.pesate());
            std::printf("APERTURA %s %lld\n", qPrintable(nomeLavoro(l)), s.ultimaApertura());
            for (const QString& m : messaggi(*reg, da)) {
                std::printf("MESSAGGIO %s\n", qPrintable(m));
            }
            if (!f) {
                problema(QStringLiteral("schermata %1 non aperta").arg(nomeLavoro(l)));
            }
            if (s.ultimaApertura() > o.limiteAperturaMs) {
                problema(QStringLiteral("apertura di %1 in %2 ms")
                             .arg(nomeLavoro(l))
                             .arg(s.ultimaApertura()));
            }
            if (!soloInformazioni(*reg, da)) {
                problema(QStringLiteral("apertura di %1 con errori o avvisi").arg(nomeLavoro(l)));
            }
        }
        s.chiudiTutte();
    }
    std::fflush(stdout);

    // ------------------------------------------------------------ batches and orders
    std::vector<Fabbricazione> fabbricazioni;
    for (const auto& r : righe(
             a.az,
             QStringLiteral("SELECT F.ID, F.CODICE, F.LOTTO, CAST(F.DATA AS VARCHAR(10)), "
                            "COALESCE(F.STATUS, ''), COALESCE(F.IDORDINEIMPMAT, ''), "
                            "F.QUANTITALITRI, (SELECT COUNT(*) FROM PRODOT P JOIN COMPON C ON "
                            "C.CODICEFORMULAZIONE = P.CODICEFORMULAZIONE WHERE P.CODICE = "
                            "F.CODICE) FROM FABBRIC F WHERE F.LOTTO STARTING WITH ? ORDER BY F.ID"),
             {kPrefissoLotto})) {
        fabbricazioni.push_back({r[0].toLongLong(), r[1].toString(), r[2].toString(),
                                 r[3].toString(), r[4].toString(), r[5].toString(), r[6].toDouble(),
                                 r[7].toInt()});
    }
    std::map<QString, std::vector<Ordine>> ordini; // by lot
    for (const auto& r :
         righe(a.erp,
               QStringLiteral("SELECT O.ID, O.NDOCUMENTO, COALESCE(O.CODICECLIENTE, ''), (SELECT "
                              "COUNT(*) FROM RIGHEORDC R WHERE R.CODICEDOCUMENTO = O.ID) FROM "
                              "ORDC O WHERE O.NDOCUMENTO STARTING WITH ?"),
               {kPrefissoLotto})) {
        ordini[r[1].toString()].push_back({r[0].toLongLong(), r[2].toString(), r[3].toInt()});
    }
    std::map<QString, std::vector<Produzione>> produzioni; // by date
    for (const auto& r :
         righe(a.erp, QStringLiteral(
                          "SELECT S.CODICE, CAST(S.DATA AS VARCHAR(10)), (SELECT COUNT(*) FROM "
                          "RSTOPRODUZ R WHERE R.CODICEPRODUZ = S.CODICE), (SELECT MAX(R.ARTICOLO) "
                          "FROM RSTOPRODUZ R WHERE R.CODICEPRODUZ = S.CODICE), (SELECT "
                          "MAX(R.QUANTITAPRODOTTA) FROM RSTOPRODUZ R WHERE R.CODICEPRODUZ = "
                          "S.CODICE) FROM STOPRODUZ S WHERE S.DATA >= DATE '2030-01-01'"))) {
        produzioni[r[1].toString()].push_back(
            {r[0].toLongLong(), r[2].toInt(), r[3].toString(), r[4].toDouble()});
    }
    std::map<qint64, std::vector<Chiamata>> chiamate; // by order
    for (const auto& r :
         righe(a.erp, QStringLiteral("SELECT IDORDINE, COALESCE(CODICECLIENTE, ''), RIGHE FROM "
                                     "TOVARELAB_CHIAMATE"))) {
        chiamate[r[0].toLongLong()].push_back({r[1].toString(), r[2].toInt()});
    }
    QSet<qint64> esistenti;
    for (const auto& r : righe(a.erp, QStringLiteral("SELECT ID FROM ORDC"))) {
        esistenti.insert(r[0].toLongLong());
    }

    int daFare = 0, impegnate = 0, finite = 0, ripetute = 0, nChiamate = 0;
    QSet<QString> lotti, date;
    for (const Fabbricazione& f : fabbricazioni) {
        lotti.insert(f.lotto);
        date.insert(f.data);
        const QString chi = QStringLiteral("fabbricazione %1 (%2)").arg(f.lotto, f.stato);
        const std::vector<Ordine>& suoi = ordini[f.lotto];
        const std::vector<Produzione>& prod = produzioni[f.data];
        if (f.stato == QLatin1String("DA FARE")) {
            ++daFare;
            if (!suoi.empty()) {
                problema(chi + QStringLiteral(": ha %1 ordini nell'archivio dell'ospite (l'ordine "
                                              "%2)")
                                   .arg(suoi.size())
                                   .arg(suoi[0].id));
            }
            if (!f.ordine.isEmpty()) {
                problema(chi + QStringLiteral(": ha l'ordine ") + f.ordine);
            }
            if (!prod.empty()) {
                problema(chi + QStringLiteral(": ha una produzione registrata"));
            }
            continue;
        }
        const bool finita = f.stato == QLatin1String("FINITA");
        if (!finita && f.stato != QLatin1String("IMPEGNATA")) {
            problema(chi + QStringLiteral(": stato inatteso"));
            continue;
        }
        (finita ? finite : impegnate)++;
        if (suoi.size() != 1) {
            problema(chi + QStringLiteral(": %1 ordini nell'archivio dell'ospite, uno atteso")
                               .arg(suoi.size()));
            continue;
        }
        const Ordine& ord = suoi[0];
        if (QString::number(ord.id) != f.ordine) {
            problema(chi + QStringLiteral(": ordine %1, nell'archivio dell'ospite %2")
                               .arg(f.ordine)
                               .arg(ord.id));
        }
        if (ord.righe != f.righe) {
            problema(chi + QStringLiteral(": l'ordine %1 ha %2 righe, %3 attese")
                               .arg(ord.id)
                               .arg(ord.righe)
                               .arg(f.righe));
        }
        const QString cliente = finita ? kClienteGestito : kClienteImpegno;
        if (ord.cliente != cliente) {
            problema(chi + QStringLiteral(": l'ordine %1 è del cliente '%2', atteso %3")
                               .arg(ord.id)
                               .arg(ord.cliente, cliente));
        }
        if (finita) {
            if (prod.size() != 1 || prod[0].righe != 1) {
                problema(chi + QStringLiteral(": %1 produzioni registrate, una attesa con una riga")
                                   .arg(prod.size()));
            } else if (prod[0].articolo != f.codice ||
                       std::abs(prod[0].quantita - f.quantita) > 1e-6) {
                problema(chi + QStringLiteral(": la produzione %1 è di %2 per %3")
                                   .arg(prod[0].codice)
                                   .arg(prod[0].articolo)
                                   .arg(prod[0].quantita));
            }
        } else if (!prod.empty()) {
            problema(chi + QStringLiteral(": ha una produzione registrata"));
        }
        // the routine once at commitment, once more at posting, each on the
        // order as the commitment left it
        const int attese = finita ? 2 : 1;
        const std::vector<Chiamata>& ch = chiamate[ord.id];
        nChiamate += int(ch.size());
        if (int(ch.size()) < attese) {
            problema(chi +
                     QStringLiteral(": la procedura di magazzino chiamata %1 volte sull'ordine "
                                    "%2, %3 attese")
                         .arg(ch.size())
                         .arg(ord.id)
                         .arg(attese));
        } else {
            ripetute += int(ch.size()) - attese;
        }
        for (const Chiamata& c : ch) {
            if (c.cliente != kClienteImpegno || c.righe != f.righe) {
                problema(chi +
                         QStringLiteral(": la procedura di magazzino ha visto l'ordine %1 del "
                                        "cliente '%2' con %3 righe")
                             .arg(ord.id)
                             .arg(c.cliente)
                             .arg(c.righe));
            }
        }
    }
    for (const auto& [lotto, elenco] : ordini) {
        if (!lotti.contains(lotto)) {
            problema(QStringLiteral("l'ordine %1 (%2) non è di nessuna fabbricazione")
                         .arg(elenco[0].id)
                         .arg(lotto));
        }
    }
    for (const auto& [data, elenco] : produzioni) {
        if (!elenco.empty() && !date.contains(data)) {
            problema(QStringLiteral("la produzione %1 del %2 non è di nessuna fabbricazione")
                         .arg(elenco[0].codice)
                         .arg(data));
        }
    }
    for (const auto& [ordine, elenco] : chiamate) {
        if (!esistenti.contains(ordine)) {
            problema(QStringLiteral("la procedura di magazzino chiamata %1 volte sull'ordine %2, "
                                    "che non esiste")
                         .arg(elenco.size())
                         .arg(ordine));
        }
    }

    // ------------------------------------------------------------ weighings
    struct Riga {
        qint64 fabbricazione = 0;
        QString materia;
        QVariant pesata;
    };
    std::map<QString, Riga> righeFabb; // by barcode
    for (const auto& r :
         righe(a.az,
               QStringLiteral(
                   "SELECT A.SERIALE, F.ID, A.CODICEMATERIAPRIMA, A.PESATA FROM FABBCOMPON "
                   "A JOIN FABBRIC F ON F.CODICE = A.CODICEFABBRICAZIONE AND F.DATA = "
                   "A.DATAFABBRICAZIONE AND F.LOTTO = A.LOTTOFABBRICAZIONE WHERE "
                   "F.LOTTO STARTING WITH ?"),
               {kPrefissoLotto})) {
        righeFabb[r[0].toString()] = {r[1].toLongLong(), r[2].toString(), r[3]};
    }
    struct Storico {
        QString barcode;
        double peso = 0;
        qint64 fabbricazione = 0;
        QString seriale, materia;
    };
    std::map<QString, std::vector<Storico>> storico; // by scale|moment
    for (const auto& r : righe(a.az,
                               QStringLiteral("SELECT BILANCIA, DATAORA, BARCODE, PESO, "
                                              "ID_FABBRICAZIONE, BARCODE_LOTTO_MATERIA, "
                                              "CODICEMATERIAPRIMA FROM PESATE_FABBR WHERE "
                                              "BILANCIA STARTING WITH ?"),
                               {kPrefissoBilancia})) {
        storico[r[0].toString() + '|' + r[1].toString()].push_back(
            {r[2].toString(), r[3].toDouble(), r[4].toLongLong(), r[5].toString(),
             r[6].toString()});
    }
    QMap<QString, QString> articoli; // serial -> article
    for (const auto& r :
         righe(a.erp, QStringLiteral("SELECT SERIALE, CODICEARTICOLO FROM RIGHEDDTCAR"))) {
        articoli[r[0].toString()] = r[1].toString();
    }
    const bool classificate =
        std::find(o.schermate.begin(), o.schermate.end(), Lavoro::Pesata) != o.schermate.end();
    int nPesate = 0, chiuse = 0;
    QSet<QString> elencate;
    for (const auto& r :
         righe(a.pes,
               QStringLiteral("SELECT BILANCIA, CAST(DATA_ORA AS VARCHAR(24)), BARCODE, PESO, "
                              "COALESCE(NOTE, '') FROM PESATE WHERE BILANCIA STARTING WITH ?"),
               {kPrefissoBilancia})) {
        ++nPesate;
        const QString chiave = r[0].toString() + '|' + r[1].toString();
        elencate.insert(chiave);
        const QString nota = r[4].toString();
        const QString chi =
            QStringLiteral("pesata %1 %2 (%3)").arg(r[0].toString(), r[1].toString(), nota);
        const std::vector<Storico>& st = storico[chiave];
        const bool chiusa = nota == QLatin1String("CHIUSA");
        chiuse += chiusa;
        if (st.size() > 1) {
            problema(chi + QStringLiteral(": assegnata %1 volte").arg(st.size()));
        }
        if (chiusa != (st.size() == 1)) {
            problema(chi + QStringLiteral(": %1 assegnazioni nello storico").arg(st.size()));
        }
        if (!chiusa && nota != QLatin1String("APERTA") && (classificate || !nota.isEmpty())) {
            problema(chi + QStringLiteral(": stato inatteso"));
        }
        const auto riga = righeFabb.find(r[2].toString());
        if (riga == righeFabb.end()) {
            problema(chi + QStringLiteral(": nessuna riga di fabbricazione con il barcode ") +
                     r[2].toString());
            continue;
        }
        const Riga& rf = riga->second;
        if (chiusa) {
            if (rf.pesata.isNull() || !rf.pesata.isValid() ||
                std::abs(rf.pesata.toDouble() - r[3].toDouble()) > 1e-6) {
                problema(chi + QStringLiteral(": la riga %1 ha il peso %2, la pesata %3")
                                   .arg(r[2].toString(), rf.pesata.toString())
                                   .arg(r[3].toDouble()));
            }
        } else if (rf.pesata.isValid() && !rf.pesata.isNull()) {
            problema(chi + QStringLiteral(": la riga %1 ha il peso %2 di una pesata non assegnata")
                               .arg(r[2].toString(), rf.pesata.toString()));
        }
        for (const Storico& s : st) {
            if (s.barcode != r[2].toString() || s.fabbricazione != rf.fabbricazione ||
                s.materia != rf.materia || articoli.value(s.seriale) != rf.materia ||
                std::abs(s.peso - r[3].toDouble()) > 1e-6) {
                problema(chi + QStringLiteral(": lo storico dice %1, fabbricazione %2, materia %3, "
                                              "seriale %4, peso %5")
                                   .arg(s.barcode)
                                   .arg(s.fabbricazione)
                                   .arg(s.materia, s.seriale)
                                   .arg(s.peso));
            }
        }
    }
    for (const auto& [chiave, st] : storico) {
        if (!st.empty() && !elencate.contains(chiave)) {
            problema(QStringLiteral("storico di una pesata che non c'è: ") + chiave);
        }
    }

    // ------------------------------------------------------------ what is left
    const QString dopo =
        QStringLiteral("%1,%2,%3").arg(inLimbo(a.az)).arg(inLimbo(a.erp)).arg(inLimbo(a.pes));
    if (dopo != QLatin1String("0,0,0")) {
        problema(QStringLiteral("transazioni in sospeso dopo le aperture: ") + dopo);
    }
    int dovute = 0;
    if (tabellaEsiste(a.az, QStringLiteral("CHIAMATEDOVUTE"))) {
        dovute = scalare(a.az, QStringLiteral("SELECT COUNT(*) FROM CHIAMATEDOVUTE WHERE FATTA IS "
                                              "NULL"))
                     .toInt();
        if (dovute > 0) {
            problema(QStringLiteral("%1 operazioni dovute non fatte dopo le aperture").arg(dovute));
        }
    }
    if (o.esatte && ripetute > 0) {
        problema(
            QStringLiteral("la procedura di magazzino chiamata %1 volte di troppo").arg(ripetute));
    }
    if (o.atteso) {
        QString stato;
        QString fatto, annullato;
        if (o.atteso->lavoro == Lavoro::Pesata) {
            stato =
                scalare(a.pes,
                        QStringLiteral("SELECT COALESCE(NOTE, '') FROM PESATE WHERE BILANCIA = ?"),
                        {o.atteso->chiave})
                    .toString();
            fatto = QStringLiteral("CHIUSA");
            annullato = QStringLiteral("APERTA");
        } else {
            stato = scalare(a.az, QStringLiteral("SELECT STATUS FROM FABBRIC WHERE LOTTO = ?"),
                            {o.atteso->chiave})
                        .toString();
            fatto = o.atteso->lavoro == Lavoro::Impegno ? QStringLiteral("IMPEGNATA")
                                                        : QStringLiteral("FINITA");
            annullato = o.atteso->lavoro == Lavoro::Impegno ? QStringLiteral("DA FARE")
                                                            : QStringLiteral("IMPEGNATA");
        }
        const QString voluto = o.atteso->fatto ? fatto : annullato;
        std::printf("ESITO %s %s %s\n", qPrintable(nomeLavoro(o.atteso->lavoro)),
                    qPrintable(o.atteso->chiave), qPrintable(stato));
        if (stato != voluto) {
            problema(QStringLiteral("%1 %2: '%3', atteso %4")
                         .arg(nomeLavoro(o.atteso->lavoro), o.atteso->chiave, stato, voluto));
        }
    }
    std::printf("STATO fabbricazioni %zu dafare %d impegnate %d finite %d pesate %d chiuse %d "
                "chiamate %d ripetute %d dovute %d problemi %d\n",
                fabbricazioni.size(), daFare, impegnate, finite, nPesate, chiuse, nChiamate,
                ripetute, dovute, problemi);
    std::fflush(stdout);
    return problemi == 0 ? 0 : 1;
}

} // namespace tempesta
