#include "production/dovute.h"

#include "production/magazzino.h"
#include "session/db.h"

#include <QSet>

namespace quintar::dovute {

namespace {

const QString kImpegno = QStringLiteral("IMPEGNO");
const QString kCliente = QStringLiteral("CLIENTE");

QStringList ddl() {
    return {QStringLiteral("CREATE SEQUENCE GEN_CHIAMATEDOVUTE"),
            QStringLiteral("CREATE TABLE CHIAMATEDOVUTE ("
                           "ID INTEGER NOT NULL, "
                           "ESECUZIONE CHAR(36) NOT NULL, "
                           "ORDINE INTEGER NOT NULL, "
                           "AZIONE VARCHAR(10) NOT NULL, "
                           "CLIENTE VARCHAR(40), "
                           "DACLIENTE VARCHAR(40), "
                           "UTENTE INTEGER, "
                           "CREATA TIMESTAMP DEFAULT CURRENT_TIMESTAMP, "
                           "FATTA TIMESTAMP, "
                           "ESITO VARCHAR(500), "
                           "CONSTRAINT CHIAMATEDOVUTE_CHIAVEPRIMARIA PRIMARY KEY (ID))"),
            QStringLiteral("CREATE INDEX CHIAMATEDOVUTE_DAFARE ON CHIAMATEDOVUTE (FATTA, ID)")};
}

struct Dovuto {
    qint64 id = 0;
    QString esecuzione;
    Passo passo;
};

std::vector<Dovuto> daFare(Database& azienda, const QString& esecuzione) {
    Transaction t(&azienda,
                  {QStringLiteral("isc_tpb_read_committed"), QStringLiteral("isc_tpb_rec_version"),
                   QStringLiteral("isc_tpb_read"), QStringLiteral("isc_tpb_nowait")});
    Query q(&azienda, &t);
    q.SQL = {QStringLiteral("SELECT ID, ESECUZIONE, ORDINE, AZIONE, CLIENTE, DACLIENTE"),
             QStringLiteral("FROM CHIAMATEDOVUTE WHERE FATTA IS NULL")};
    if (!esecuzione.isEmpty()) {
        q.SQL << QStringLiteral("AND ESECUZIONE=?");
        q.addParam(esecuzione);
    }
    q.SQL << QStringLiteral("ORDER BY ID");
    std::vector<Dovuto> r;
    for (q.open(); !q.eof(); q.next()) {
        Dovuto d;
        d.id = q.field(0).asInteger();
        d.esecuzione = q.field(1).asString();
        d.passo.ordine = q.field(2).asInteger();
        d.passo.azione = q.field(3).asString() == kCliente ? Azione::Cliente : Azione::Impegno;
        d.passo.cliente = q.field(4).isNull() ? QString() : q.field(4).asString();
        if (q.field(3).asString() == kCliente && q.field(5).isNull() == false) {
            d.passo.daCliente = q.field(5).asString();
        }
        r.push_back(std::move(d));
    }
    q.close();
    t.commit();
    return r;
}

// The order moves in the host archive, committed there; false with the
// reason when it could not.
bool spostaOrdine(Database& erp, const Passo& p, QString& motivo) {
    try {
        Transaction t(&erp);
        Query q(&erp, &t);
        q.SQL = {QStringLiteral("UPDATE ORDC SET CODICECLIENTE=? WHERE ID=?")};
        std::vector<QVariant> valori = {p.cliente.isEmpty() ? QVariant() : QVariant(p.cliente),
                                        p.ordine};
        if (p.daCliente) {
            q.SQL << (p.daCliente->isEmpty() ? QStringLiteral("AND CODICECLIENTE IS NULL")
                                             : QStringLiteral("AND CODICECLIENTE=?"));
            if (!p.daCliente->isEmpty()) {
                valori.push_back(*p.daCliente);
            }
        }
        q.setParams(valori);
        if (q.execSQL() == 0) {
            // moved already (a step made and not recorded), or gone
            qInfo("ordine %lld non spostato: non c'è più o ha già un altro cliente", p.ordine);
        }
        t.commit();
        return true;
    } catch (const DbError& e) {
        motivo = e.messaggio();
        return false;
    }
}

} // namespace

bool assicura(Database& azienda) {
    return assicuraTabella(azienda, QStringLiteral("CHIAMATEDOVUTE"), ddl());
}

void registra(Query& azienda, const QString& esecuzione, int utente,
              const std::vector<Passo>& passi) {
    for (const Passo& p : passi) {
        azienda.SQL = {
            QStringLiteral("INSERT INTO CHIAMATEDOVUTE (ID, ESECUZIONE, ORDINE, AZIONE,"),
            QStringLiteral("CLIENTE, DACLIENTE, UTENTE)"),
            QStringLiteral("VALUES (GEN_ID(GEN_CHIAMATEDOVUTE, 1), ?, ?, ?, ?, ?, ?)")};
        azienda.setParams({esecuzione, p.ordine, p.azione == Azione::Cliente ? kCliente : kImpegno,
                           p.cliente.isEmpty() ? QVariant() : QVariant(p.cliente),
                           p.daCliente ? QVariant(*p.daCliente) : QVariant(), utente});
        azienda.execSQL();
    }
    azienda.clearParams();
}

Esito esegui(Database& azienda, Database& erp, int utente, QWidget* parent,
             const QString& esecuzione) {
    Esito esito;
    std::vector<Dovuto> elenco;
    try {
        elenco = daFare(azienda, esecuzione);
    } catch (const DbError& e) {
        esito.errori << QStringLiteral(
                            "Le operazioni rimaste da fare non si sono potute leggere: ") +
                            e.messaggio();
        return esito;
    }
    // an order whose earlier step is still owed waits with the rest of its steps
    QSet<QString> fermi;
    for (const Dovuto& d : elenco) {
        const QString chiaveOrdine = d.esecuzione + '/' + QString::number(d.passo.ordine);
        if (fermi.contains(chiaveOrdine)) {
            ++esito.rimasti;
            continue;
        }
        Transaction presa(&azienda);
        Query q(&azienda, &presa);
        try {
            // held until the step is recorded: another process that gets
            // here meanwhile leaves it alone
            q.SQL = {QStringLiteral("UPDATE CHIAMATEDOVUTE SET ESITO=NULL"),
                     QStringLiteral("WHERE ID=? AND FATTA IS NULL")};
            q.addParam(d.id);
            if (q.execSQL() == 0) {
                presa.rollback();
                continue; // made by another process meanwhile
            }
        } catch (const DbError& e) {
            presa.rollbackRetainingNoThrow();
            if (!e.conflitto()) {
                esito.errori << e.messaggio();
            }
            fermi.insert(chiaveOrdine);
            ++esito.rimasti;
            continue;
        }
        QString riga;
        QString motivo;
        bool fatto = false;
        if (d.passo.azione == Azione::Impegno) {
            // the routine tells its own failures
            fatto =
                magazzino::impegnaOrdine(utente, QString::number(d.passo.ordine), false, parent);
            riga = QStringLiteral("Impegno di magazzino dell'ordine %1").arg(d.passo.ordine);
        } else {
            fatto = spostaOrdine(erp, d.passo, motivo);
            riga = QStringLiteral("Ordine %1 passato al cliente %2")
                       .arg(d.passo.ordine)
                       .arg(d.passo.cliente);
            if (!fatto) {
                esito.errori << QStringLiteral("L'ordine %1 non è passato al cliente %2: %3")
                                    .arg(d.passo.ordine)
                                    .arg(d.passo.cliente, motivo);
            }
        }
        if (!fatto) {
            presa.rollbackRetainingNoThrow();
            fermi.insert(chiaveOrdine);
            ++esito.rimasti;
            continue;
        }
        try {
            q.SQL = {QStringLiteral("UPDATE CHIAMATEDOVUTE SET FATTA=CURRENT_TIMESTAMP, ESITO=?"),
                     QStringLiteral("WHERE ID=?")};
            q.setParams({QStringLiteral("eseguita"), d.id});
            q.execSQL();
            presa.commit();
        } catch (const DbError& e) {
            // made, not recorded: made again by the next opening
            presa.rollbackRetainingNoThrow();
            qWarning("passo %lld fatto ma non registrato: %s", d.id, qPrintable(e.messaggio()));
        }
        ++esito.fatti;
        esito.righe << riga;
    }
    return esito;
}

} // namespace quintar::dovute
