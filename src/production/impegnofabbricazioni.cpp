#include "production/impegnofabbricazioni.h"

#include "production/dovute.h"
#include "production/magazzino.h"
#include "session/distribuita.h"
#include "session/messaggi.h"
#include "session/tabx.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace quintar {

namespace {

bool cifre(const QString& s) {
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

} // namespace

QString prossimoNumeroDocumento(const NumerazioneLinea& linea, const QStringList& esistenti) {
    const int n = std::max(4, linea.cifre);
    std::optional<qint64> massimo;
    QString coda;
    for (const QString& s : esistenti) {
        const QString testa = s.left(n);
        const QString resto = s.mid(n);
        if (testa.size() < n || !cifre(testa) || (!resto.isEmpty() && cifre(resto.left(1)))) {
            continue;
        }
        const qint64 v = testa.toLongLong();
        if (!massimo || v > *massimo) {
            massimo = v;
            coda = resto;
        }
    }
    QString numero = QString::number(massimo ? *massimo + 1 : 1).rightJustified(n, '0');
    numero += linea.suffisso.isEmpty() ? coda : linea.suffisso;
    return numero.left(12);
}

TImpegnoFabbricazioniForm::TImpegnoFabbricazioniForm(TTabXForm* sessione, QWidget* owner)
    : LavorazioneFabbricazioni(
          sessione,
          {.nome = QStringLiteral("ImpegnoFabbricazioniForm"),
           .titolo = QStringLiteral("Selezionare le fabbricazioni da impegnare (F3 o doppio "
                                    "click per selezionare / deselezionare):"),
           .stato = QStringLiteral("DA FARE"),
           .situazioneGriglia = 30,
           .situazioneFinestra = 31,
           .azione = QStringLiteral("&Impegna"),
           .nomeAzione = QStringLiteral("ButtonImpegna"),
           .parametri = {{QStringLiteral("EditCliente"), QStringLiteral("Cliente"),
                          QStringLiteral("ButtonCliente"), QStringLiteral("IMPFABBRCLIENTE"),
                          QStringLiteral("CODICECLIENTE")},
                         {QStringLiteral("EditLinea"), QStringLiteral("Linea"),
                          QStringLiteral("ButtonLinea"), QStringLiteral("IMPFABBRLINEA"),
                          QStringLiteral("LINEA")},
                         {QStringLiteral("EditTipoDocumento"), QStringLiteral("Tipo documento"),
                          QStringLiteral("ButtonTipoDocumento"), QStringLiteral("IMPFABBRTIPODOC"),
                          QStringLiteral("TIPODOCUMENTO")}},
           .testoAnnullato = QStringLiteral("Impegno non eseguito: nessuna fabbricazione è stata "
                                            "impegnata e nessun ordine è stato creato")},
          owner),
      EditCliente(parametro(QStringLiteral("EditCliente"))),
      EditLinea(parametro(QStringLiteral("EditLinea"))),
      EditTipoDocumento(parametro(QStringLiteral("EditTipoDocumento"))),
      ButtonImpegna(ButtonAzione) {}

void TImpegnoFabbricazioniForm::ImpegnaOrd(const QString& ordine, bool flag) {
    magazzino::impegnaOrdine(sessione_->NumUtente, ordine, flag, this);
}

std::optional<qint64> TImpegnoFabbricazioniForm::CreaOrdine(Query& q, const QString& linea,
                                                            const QString& tipoDocumento,
                                                            const QDateTime& t) {
    const QDate oggi = t.date();
    QStringList sql;
    std::vector<QVariant> valori;
    try {
        q.SQL = {QStringLiteral("SELECT GEN_ID(IDORDCCOUNTER,1) FROM RDB$DATABASE")};
        q.clearParams();
        const qint64 id = q.scalar().toLongLong();

        NumerazioneLinea numerazione;
        q.SQL = {QStringLiteral("SELECT NCIFRENUMDOC,ESTENSIONENUMERAZIONE FROM LINEE"),
                 QStringLiteral("WHERE NOME=?")};
        q.setParams({testoONull(linea)});
        q.open();
        if (!q.eof()) {
            if (!q.field(0).isNull()) {
                numerazione.cifre = int(q.field(0).asInteger());
            }
            numerazione.suffisso = q.field(1).asString();
        }
        q.close();
        q.SQL = {QStringLiteral("SELECT NDOCUMENTO FROM ORDC"), QStringLiteral("WHERE (LINEA=?)"),
                 QStringLiteral("AND(DATADOCUMENTO>=?)"), QStringLiteral("AND(DATADOCUMENTO<=?)")};
        q.setParams({testoONull(linea), QDate(oggi.year(), 1, 1), QDate(oggi.year(), 12, 31)});
        const QString numero = prossimoNumeroDocumento(numerazione, q.primaColonna());

        sql = {QStringLiteral("INSERT INTO ORDC (ID,LINEA,DATADOCUMENTO,NDOCUMENTO,"),
               QStringLiteral("FATTURATO,STAMPATO,SCARICATO,TIPODOCUMENTO,OPERATORE) VALUES("),
               QStringLiteral("?,?,?,?,'0','0','0',?,?)")};
        valori = {id,
                  testoONull(linea),
                  oggi,
                  testoONull(numero),
                  testoONull(tipoDocumento),
                  sessione_->NumUtente};
        q.SQL = sql;
        q.setParams(valori);
        q.execSQL();
        return id;
    } catch (const DbError& e) {
        qWarning("ordine non creato: %s", qPrintable(e.messaggio()));
        if (!sql.isEmpty()) {
            registraFrase(sql, valori);
        }
        Messaggi::errore(QStringLiteral("Errore interno: impossibile inserire un nuovo record"),
                         this);
        return std::nullopt;
    }
}

bool TImpegnoFabbricazioniForm::scriviRighe(Query& erp, Query& azienda, qint64 ordine,
                                            const QString& prodotto) {
    const QStringList lettura = {
        QStringLiteral("SELECT C.CODICEMATERIAPRIMA, M.NOMECOMMERCIALE "),
        QStringLiteral("FROM PRODOT P INNER JOIN COMPON C ON "
                       "(P.CODICEFORMULAZIONE=C.CODICEFORMULAZIONE)"),
        QStringLiteral("LEFT JOIN MATER M ON (C.CODICEMATERIAPRIMA=M.CODICE)"),
        QStringLiteral("WHERE P.CODICE = ?"),
        QStringLiteral("ORDER BY C.CODICEFORMULAZIONE, C.NRIGA")};
    std::vector<std::pair<QVariant, QVariant>> materie;
    try {
        azienda.SQL = lettura;
        azienda.setParams({prodotto});
        for (azienda.open(); !azienda.eof(); azienda.next()) {
            materie.emplace_back(azienda.field(0).valore(), azienda.field(1).valore());
        }
        azienda.close();
    } catch (const DbError& e) {
        qWarning("materie del prodotto %s non lette: %s", qPrintable(prodotto),
                 qPrintable(e.messaggio()));
        registraFrase(lettura, {prodotto});
        Messaggi::errore(QStringLiteral("Errore ") + lettura.join('\n'), this);
        return false;
    }
    bool ok = true;
    int riga = 0;
    for (const auto& [codice, nome] : materie) {
        ok = eseguiFrase(erp,
                         {QStringLiteral("INSERT INTO RIGHEORDC(CODICEDOCUMENTO,NRIGA,"
                                         "CODICEARTICOLO,DESCRIZIONE,QUANTITAINCIFRE) VALUES("),
                          QStringLiteral("?,?,?,?,1)")},
                         {ordine, ++riga, codice, nome}) &&
             ok;
    }
    return ok;
}

void TImpegnoFabbricazioniForm::lavora(const std::vector<Fabbricazione>& scelte) {
    const QDateTime t = QDateTime::currentDateTime();
    if (scelte.empty()) {
        concludi(true);
        return;
    }
    const QString cliente = EditCliente->text();
    const QString linea = EditLinea->text();
    const QString tipo = EditTipoDocumento->text();
    // every order and batch state of the run is written, or none; the
    // company archive keeps the run's decision and what it owes
    TransazioneDistribuita unita({&azienda(), &erp()});
    Query qe(&erp(), &unita.su(erp()));
    Query qa(&azienda(), &unita.su(azienda()));
    bool tutte = true;
    std::vector<qint64> ordini;
    QStringList voci;
    for (const Fabbricazione& f : scelte) {
        // a hold stands on the batch as the write finds the archive
        if (!liberaDaBlocchi(unita.su(azienda()), f)) {
            tutte = false;
            break;
        }
        const std::optional<qint64> id = CreaOrdine(qe, linea, tipo, t);
        bool ok = id.has_value();
        ok = ok && eseguiFrase(qe,
                               {QStringLiteral("UPDATE ORDC SET"),
                                QStringLiteral("CODICECLIENTE=?,"), QStringLiteral("NDOCUMENTO=?,"),
                                QStringLiteral("DATADOCUMENTO=?"), QStringLiteral("WHERE ID=?")},
                               {testoONull(cliente), f.lotto, f.data, *id}, 1,
                               QStringLiteral("Errore interno: ordine %1 non trovato").arg(*id));
        if (ok) {
            ordini.push_back(*id);
            voci << QStringLiteral("%1 %2 %3 ordine %4")
                        .arg(f.codice, f.data.toString(Qt::ISODate), f.lotto)
                        .arg(*id);
            ok = scriviRighe(qe, qa, *id, f.codice);
            // a batch committed, posted or deleted meanwhile fails the run
            ok = eseguiFrase(
                     qa,
                     {QStringLiteral("UPDATE FABBRIC SET"), QStringLiteral("STATUS='IMPEGNATA',"),
                      QStringLiteral("DATAIMPEGNO='NOW',"), QStringLiteral("IDORDINEIMPMAT=?,"),
                      QStringLiteral("OPERATOREIMPEGNO=?"), QStringLiteral("WHERE CODICE=?"),
                      QStringLiteral("AND DATA=?"), QStringLiteral("AND LOTTO=?"),
                      QStringLiteral("AND STATUS='DA FARE'")},
                     {QString::number(*id), sessione_->NumUtente, f.codice, f.data, f.lotto}, 1,
                     QStringLiteral("La fabbricazione %1 non è più da impegnare: è stata "
                                    "modificata o eliminata nel frattempo")
                         .arg(f.testo())) &&
                 ok;
        }
        tutte = tutte && ok;
    }
    // the warehouse routine is owed on every order: recorded with the run,
    // made once it is committed
    std::vector<dovute::Passo> passi;
    for (qint64 id : ordini) {
        passi.push_back({dovute::Azione::Impegno, id});
    }
    concludiRun(unita, tutte, passi,
                QStringLiteral("Impegno fabbricazioni, utente %1: %2")
                    .arg(sessione_->NumUtente)
                    .arg(voci.join(QStringLiteral("; "))));
}

} // namespace quintar
