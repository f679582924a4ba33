#include "production/produzionefabbricazioni.h"

#include "production/dovute.h"
#include "production/magazzino.h"
#include "session/distribuita.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"

#include <QLineEdit>
#include <QPushButton>

namespace quintar {

namespace {

// The order of a batch, when it has one the host can know: an empty
// identifier is a batch set to its state by hand.
std::optional<qint64> ordineDi(const Fabbricazione& f, const QString& id) {
    if (id.trimmed().isEmpty()) {
        return std::nullopt;
    }
    bool numero = false;
    const qint64 n = id.trimmed().toLongLong(&numero);
    if (!numero) {
        qWarning("fabbricazione %s: ordine \"%s\" non numerico, ignorato", qPrintable(f.testo()),
                 qPrintable(id));
        return std::nullopt;
    }
    return n;
}

} // namespace

TProduzioneFabbricazioniForm::TProduzioneFabbricazioniForm(TTabXForm* sessione, QWidget* owner)
    : LavorazioneFabbricazioni(
          sessione,
          {.nome = QStringLiteral("ProduzioneFabbricazioniForm"),
           .titolo = QStringLiteral("Selezionare le fabbricazioni da produrre (F3 o doppio "
                                    "click per selezionare / deselezionare):"),
           .stato = QStringLiteral("IMPEGNATA"),
           .situazioneGriglia = 32,
           .situazioneFinestra = 33,
           .azione = QStringLiteral("&Produci"),
           .nomeAzione = QStringLiteral("ButtonProduci"),
           .parametri = {{QStringLiteral("EditClienteGestito"),
                          QStringLiteral("Cliente già gestito"),
                          QStringLiteral("ButtonClienteGestito"),
                          QStringLiteral("PRODFABBRCLIENTEGESTITO"),
                          QStringLiteral("CODICECLIENTE")}},
           .testoAnnullato = QStringLiteral("Produzione non registrata: nessuna fabbricazione è "
                                            "stata prodotta")},
          owner),
      EditClienteGestito(parametro(QStringLiteral("EditClienteGestito"))),
      ButtonProduci(ButtonAzione) {}

void TProduzioneFabbricazioniForm::DisimpegnaOrd(const QString& ordine, bool flag) {
    magazzino::impegnaOrdine(sessione_->NumUtente, ordine, flag, this);
}

void TProduzioneFabbricazioniForm::lavora(const std::vector<Fabbricazione>& scelte) {
    if (scelte.empty()) {
        concludi(true);
        return;
    }
    // every production record and batch state of the run is written, or
    // none; the company archive keeps the run's decision and what it owes
    TransazioneDistribuita unita({&azienda(), &erp()});
    Query qe(&erp(), &unita.su(erp()));
    Query qa(&azienda(), &unita.su(azienda()));
    const QString erroreInserimento =
        QStringLiteral("Errore interno: impossibile inserire il nuovo record");
    std::vector<qint64> ordini;
    QStringList voci;
    bool riuscita = true;
    for (const Fabbricazione& f : scelte) {
        const QStringList lettura = {
            QStringLiteral("SELECT NOMEPRODOTTO, COALESCE(NULLIF(CODICEPRODOTTO,''),CODICE) "
                           "CODICEPRODOTTO, QUANTITALITRI, IDORDINEIMPMAT, STATUS"),
            QStringLiteral("FROM FABBRIC"), QStringLiteral("WHERE CODICE=?"),
            QStringLiteral("AND DATA=?"), QStringLiteral("AND LOTTO=?")};
        const std::vector<QVariant> chiave = {f.codice, f.data, f.lotto};
        QString nome, articolo, ordine, stato;
        QVariant quantita;
        bool trovata = false;
        try {
            qa.SQL = lettura;
            qa.setParams(chiave);
            qa.open();
            if ((trovata = !qa.eof())) {
                nome = qa.field(0).asString();
                articolo = qa.field(1).asString();
                quantita = qa.field(2).valore();
                ordine = qa.field(3).asString();
                stato = qa.field(4).asString();
            }
            qa.close();
        } catch (const DbError& e) {
            qWarning("fabbricazione %s non letta: %s", qPrintable(f.testo()),
                     qPrintable(e.messaggio()));
            registraFrase(lettura, chiave);
            Messaggi::errore(QStringLiteral("Errore ") + lettura.join('\n'), this);
            riuscita = false;
            break;
        }
        QString rifiuto;
        if (!trovata) {
            rifiuto = QStringLiteral("La fabbricazione %1 non esiste più");
        } else if (stato != descrizione().stato) {
            rifiuto = QStringLiteral("La fabbricazione %1 non è più impegnata: è stata modificata "
                                     "nel frattempo");
        } else if (!quantita.isValid() || quantita.isNull()) {
            rifiuto = QStringLiteral("La fabbricazione %1 non ha la quantità: la sua produzione "
                                     "non può essere registrata");
        }
        if (!rifiuto.isEmpty()) {
            Messaggi::avviso(rifiuto.arg(f.testo()), this);
            riuscita = false;
            break;
        }
        // a hold stands on the batch as the write finds the archive
        if (!liberaDaBlocchi(*qa.transaction(), f)) {
            riuscita = false;
            break;
        }
        qint64 codice = 0;
        try {
            qe.SQL = {QStringLiteral("SELECT GEN_ID(CODICESTOPRODUZCOUNTER,1) FROM RDB$DATABASE")};
            qe.clearParams();
            codice = qe.scalar().toLongLong();
        } catch (const DbError& e) {
            qWarning("numero della produzione non assegnato: %s", qPrintable(e.messaggio()));
            Messaggi::errore(erroreInserimento, this);
            riuscita = false;
            break;
        }
        const double q = quantita.toDouble();
        riuscita =
            eseguiFrase(
                qe, {QStringLiteral("INSERT INTO STOPRODUZ(CODICE,DATA,TITOLO) VALUES(?,?,?)")},
                {codice, f.data, sql::senzaApici(nome)}, std::nullopt, {}, erroreInserimento) &&
            eseguiFrase(qe,
                        {QStringLiteral("INSERT INTO RSTOPRODUZ(CODICEPRODUZ,NRIGA,"),
                         QStringLiteral("ARTICOLO,QUANTITARICHIESTA,"),
                         QStringLiteral("QUANTITAPRODOTTA) VALUES(?,1,?,?,?)")},
                        {codice, articolo, q, q}, std::nullopt, {}, erroreInserimento) &&
            eseguiFrase(
                qa,
                {QStringLiteral("UPDATE FABBRIC SET"), QStringLiteral("STATUS='FINITA',"),
                 QStringLiteral("DATAFINE='NOW',"), QStringLiteral("OPERATOREFINE=?"),
                 QStringLiteral("WHERE CODICE=?"), QStringLiteral("AND DATA=?"),
                 QStringLiteral("AND LOTTO=?"), QStringLiteral("AND STATUS='IMPEGNATA'")},
                {sessione_->NumUtente, f.codice, f.data, f.lotto}, 1,
                QStringLiteral("La fabbricazione %1 non è più impegnata: è stata modificata nel "
                               "frattempo")
                    .arg(f.testo()));
        if (!riuscita) {
            break;
        }
        voci << QStringLiteral("%1 %2 %3 produzione %4")
                    .arg(f.codice, f.data.toString(Qt::ISODate), f.lotto)
                    .arg(codice);
        if (const std::optional<qint64> o = ordineDi(f, ordine)) {
            ordini.push_back(*o);
        }
    }
    // each order is owed the warehouse routine, as it stands, then its move
    // to the customer of handled orders: recorded with the run, made once it
    // is committed
    std::vector<dovute::Passo> passi;
    for (qint64 o : ordini) {
        passi.push_back({dovute::Azione::Impegno, o});
        passi.push_back({dovute::Azione::Cliente, o, EditClienteGestito->text()});
    }
    concludiRun(unita, riuscita, passi,
                QStringLiteral("Produzione fabbricazioni, utente %1: %2")
                    .arg(sessione_->NumUtente)
                    .arg(voci.join(QStringLiteral("; "))));
}

} // namespace quintar
