#include "production/pesate.h"

#include "production/blocchi.h"
#include "session/distribuita.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <QtGlobal>
#include <tuple>

namespace quintar::pesate {

namespace {

const QStringList kLetturaVeloce = {
    QStringLiteral("isc_tpb_read_committed"), QStringLiteral("isc_tpb_rec_version"),
    QStringLiteral("isc_tpb_read"), QStringLiteral("isc_tpb_nowait")};

// A weighing's moment as a number, for the sums that tell one set of open
// (or wrong) weighings from another of the same size.
const QString kMomento =
    QStringLiteral("DATEDIFF(MILLISECOND FROM TIMESTAMP '2000-01-01 00:00:00' TO DATA_ORA)");

const QString kErroreStato =
    QStringLiteral("Errore interno durante l'aggiornamento status della pesata:");

// The error box of a failed write: its text, a line break, the database's.
Esito errore(const QString& testo, const DbError& e) {
    return Esito::errore(testo + QStringLiteral("\r\n") + e.messaggio());
}

qint64 numero(const Campo& c) {
    return c.isNull() ? 0 : c.asInteger();
}

QString nomeArchivio(const Database* db) {
    return db ? db->databaseName() : QString();
}

// A unit that cannot be rolled back has nothing left to undo here: what a
// prepared part keeps is ended by the recovery at the next opening.
void annulla(TransazioneDistribuita& u) noexcept {
    try {
        u.rollback();
    } catch (const DbError& e) {
        qWarning("Quintar: assegnazione pesata non annullata: %s", qPrintable(e.messaggio()));
    }
}

void annulla(Transaction& t) noexcept {
    try {
        if (t.active()) {
            t.rollback();
        }
    } catch (const DbError& e) {
        qWarning("Quintar: transazione dell'archivio pesate non annullata: %s",
                 qPrintable(e.messaggio()));
    }
}

} // namespace

// ---------------------------------------------------------------- indexes

IndiciPesate leggiIndici(Database& db) {
    Transaction tr(&db, kLetturaVeloce);
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT TRIM(I.RDB$INDEX_NAME), COALESCE(I.RDB$INDEX_TYPE, 0),"),
             QStringLiteral("  COALESCE(I.RDB$INDEX_INACTIVE, 0), TRIM(S.RDB$FIELD_NAME)"),
             QStringLiteral("FROM RDB$INDICES I"),
             QStringLiteral("  JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME"),
             QStringLiteral("WHERE I.RDB$RELATION_NAME = 'PESATE'"),
             QStringLiteral("ORDER BY I.RDB$INDEX_NAME, S.RDB$FIELD_POSITION")};
    struct Indice {
        QString nome;
        bool discendente = false;
        bool attivo = true;
        QStringList colonne;
    };
    std::vector<Indice> indici;
    for (q.open(); !q.eof(); q.next()) {
        const QString nome = q.field(0).asString();
        if (indici.empty() || indici.back().nome != nome) {
            indici.push_back({nome, q.field(1).asInteger() == 1, q.field(2).asInteger() == 0, {}});
        }
        indici.back().colonne << q.field(3).asString();
    }
    q.close();
    tr.commit();
    IndiciPesate r;
    for (const Indice& i : indici) {
        if (!i.attivo || i.colonne.isEmpty()) {
            continue;
        }
        if (i.colonne.first() == QLatin1String("NOTE") && r.note.isEmpty()) {
            r.note = i.nome;
        }
        if (i.colonne.first() == QLatin1String("DATA_ORA") && i.discendente) {
            const bool completo = i.colonne.value(1) == QLatin1String("BILANCIA");
            if (r.dataOra.isEmpty() || (completo && !r.ordineElenco)) {
                r.dataOra = i.nome;
                r.ordineElenco = completo;
            }
        }
    }
    return r;
}

// ---------------------------------------------------------------- poll

Sondaggio::Sondaggio(Database* pesate)
    : db_(pesate), lettura_(pesate, kLetturaVeloce),
      scrittura_(pesate, {QStringLiteral("isc_tpb_concurrency"), QStringLiteral("isc_tpb_wait")}),
      firma_(pesate, &lettura_), conteggio_(pesate, &lettura_),
      classificazione_(pesate, &scrittura_) {
    scrittura_.setAttesaBlocchi(kAttesaBlocchi);
}

Sondaggio::~Sondaggio() = default;

QStringList Sondaggio::testoClassificazione(const IndiciPesate& indici) {
    // With the NOTE index the few weighings to classify, and the few open
    // ones of their scale, are read through it; the key would walk every
    // weighing of the table, or of the scale.
    const bool veloce = indici.veloce();
    const QString nota = sql::identificatore(indici.note);
    QStringList t = {QStringLiteral("EXECUTE BLOCK"),
                     QStringLiteral("RETURNS (CLASSIFICATE INTEGER)"),
                     QStringLiteral("AS"),
                     QStringLiteral("  DECLARE VARIABLE BILANCIA VARCHAR(10);"),
                     QStringLiteral("  DECLARE VARIABLE DATA_ORA TIMESTAMP;"),
                     QStringLiteral("  DECLARE VARIABLE TOT_APERTE INTEGER;"),
                     QStringLiteral("  DECLARE VARIABLE STATUS VARCHAR(10);"),
                     QStringLiteral("BEGIN"),
                     QStringLiteral("  CLASSIFICATE = 0;"),
                     QStringLiteral("  FOR"),
                     QStringLiteral("    SELECT"),
                     QStringLiteral("      BILANCIA,"),
                     QStringLiteral("      DATA_ORA"),
                     QStringLiteral("    FROM"),
                     QStringLiteral("      PESATE"),
                     QStringLiteral("    WHERE"),
                     QStringLiteral("      NOTE IS NULL")};
    if (veloce) {
        t << QStringLiteral("    PLAN SORT (PESATE INDEX (%1))").arg(nota);
    }
    t << QStringLiteral("    ORDER BY") << QStringLiteral("      BILANCIA,")
      << QStringLiteral("      DATA_ORA") << QStringLiteral("  INTO")
      << QStringLiteral("    :BILANCIA,") << QStringLiteral("    :DATA_ORA")
      << QStringLiteral("  DO") << QStringLiteral("  BEGIN") << QStringLiteral("    SELECT")
      << QStringLiteral("      COUNT(*)") << QStringLiteral("    FROM")
      << QStringLiteral("      PESATE") << QStringLiteral("    WHERE")
      << QStringLiteral("      BILANCIA=:BILANCIA") << QStringLiteral("      AND")
      << QStringLiteral("      DATA_ORA<:DATA_ORA") << QStringLiteral("      AND")
      << QStringLiteral("      NOTE='APERTA'");
    if (veloce) {
        t << QStringLiteral("    PLAN (PESATE INDEX (%1))").arg(nota);
    }
    // the weighing is matched by its key, as a value, and only while nobody
    // else has classified it
    t << QStringLiteral("    INTO") << QStringLiteral("      :TOT_APERTE;")
      << QStringLiteral("    IF (TOT_APERTE=0) THEN") << QStringLiteral("      STATUS='APERTA';")
      << QStringLiteral("    ELSE") << QStringLiteral("      STATUS='ERRORE';")
      << QStringLiteral("    UPDATE PESATE SET") << QStringLiteral("      NOTE=:STATUS")
      << QStringLiteral("    WHERE") << QStringLiteral("      BILANCIA=:BILANCIA")
      << QStringLiteral("      AND") << QStringLiteral("      DATA_ORA=:DATA_ORA")
      << QStringLiteral("      AND") << QStringLiteral("      NOTE IS NULL;")
      << QStringLiteral("    CLASSIFICATE = CLASSIFICATE + ROW_COUNT;") << QStringLiteral("  END")
      << QStringLiteral("  SUSPEND;") << QStringLiteral("END");
    return t;
}

void Sondaggio::prepara() {
    indici_ = leggiIndici(*db_);
    const QString somme = QStringLiteral("  SUM(IIF(NOTE IS NULL, 1, 0)),\n"
                                         "  SUM(IIF(NOTE = 'APERTA', 1, 0)),\n"
                                         "  SUM(IIF(NOTE = 'APERTA', %1, 0)),\n"
                                         "  SUM(IIF(NOTE = 'ERRORE', 1, 0)),\n"
                                         "  SUM(IIF(NOTE = 'ERRORE', %1, 0))")
                              .arg(kMomento);
    const QString conteggi = QStringLiteral("  COUNT(*),\n"
                                            "  SUM(IIF(NOTE = 'CHIUSA', 1, 0)),\n"
                                            "  SUM(IIF(NOTE = 'ANNULLATA', 1, 0))");
    if (indici_.veloce()) {
        // the weighings new, open and in error, through the NOTE index: the
        // station writes every weighing new (NOTE NULL); a row written by hand
        // with a status of its own shows at the next count of the table
        firma_.SQL = {QStringLiteral("SELECT"), QStringLiteral("  CAST(NULL AS TIMESTAMP),"), somme,
                      QStringLiteral("FROM PESATE"),
                      QStringLiteral("WHERE NOTE IS NULL OR NOTE = 'APERTA' OR NOTE = 'ERRORE'")};
        conteggio_.SQL = {QStringLiteral("SELECT"), conteggi, QStringLiteral("FROM PESATE")};
        qInfo("Quintar: archivio pesate %s: sondaggi sugli indici %s e %s%s",
              qPrintable(nomeArchivio(db_)), qPrintable(indici_.note), qPrintable(indici_.dataOra),
              indici_.ordineElenco ? "" : " (l'elenco è ordinato a ogni lettura: manca BILANCIA)");
    } else {
        // one pass over the whole table gives everything
        firma_.SQL = {QStringLiteral("SELECT"), QStringLiteral("  MAX(DATA_ORA),"),
                      somme + QStringLiteral(","), conteggi, QStringLiteral("FROM PESATE")};
        conteggio_.SQL.clear();
        QStringList mancanti;
        if (indici_.note.isEmpty()) {
            mancanti << QStringLiteral("NOTE");
        }
        if (indici_.dataOra.isEmpty()) {
            mancanti << QStringLiteral("DATA_ORA (discendente)");
        }
        qWarning("Quintar: archivio pesate %s senza l'indice su %s: modalità lenta, ogni "
                 "sondaggio conta tutta la tabella (vedi docs/pesate.md per crearli)",
                 qPrintable(nomeArchivio(db_)), qPrintable(mancanti.join(QStringLiteral(" e "))));
    }
    classificazione_.SQL = testoClassificazione(indici_);
    ultima_.reset();
    dalConteggio_.invalidate();
    preparato_ = true;
}

Firma Sondaggio::leggiFirma() {
    Firma f;
    firma_.open();
    f.ultima = firma_.field(0).isNull() ? QVariant() : firma_.field(0).valore();
    f.nuove = numero(firma_.field(1));
    f.aperte = numero(firma_.field(2));
    f.momentiAperte = numero(firma_.field(3));
    f.errori = numero(firma_.field(4));
    f.momentiErrori = numero(firma_.field(5));
    if (!indici_.veloce()) {
        f.totale = numero(firma_.field(6));
        f.chiuse = numero(firma_.field(7));
        f.annullate = numero(firma_.field(8));
    }
    firma_.close();
    if (!indici_.veloce()) {
        return f;
    }
    if (!dalConteggio_.isValid() || dalConteggio_.elapsed() >= IntervalloConteggioMs) {
        // now and then the read transaction starts afresh, so that it never
        // stands for long in the archive's way
        lettura_.commit();
        conteggio_.open();
        f.totale = numero(conteggio_.field(0));
        f.chiuse = numero(conteggio_.field(1));
        f.annullate = numero(conteggio_.field(2));
        conteggio_.close();
        dalConteggio_.start();
        conteggiate_ = {f.totale, f.chiuse, f.annullate};
    } else {
        std::tie(f.totale, f.chiuse, f.annullate) = conteggiate_;
    }
    return f;
}

int Sondaggio::classifica() {
    try {
        annulla(scrittura_);
        scrittura_.start();
        classificazione_.open();
        const int n = classificazione_.eof() ? 0 : int(numero(classificazione_.field(0)));
        classificazione_.close();
        scrittura_.commit();
        ultimoErrore_.clear();
        return n;
    } catch (const DbError& e) {
        classificazione_.close();
        annulla(scrittura_);
        // another monitor classifying the same weighings at once is ordinary;
        // anything else is said once, not at every tick
        if (e.conflitto()) {
            qInfo("Quintar: classificazione delle pesate rimandata: %s", qPrintable(e.messaggio()));
        } else if (e.messaggio() != ultimoErrore_) {
            qWarning("Quintar: classificazione delle pesate non riuscita: %s",
                     qPrintable(e.messaggio()));
        }
        ultimoErrore_ = e.messaggio();
        return -1;
    }
}

bool Sondaggio::esegui() {
    if (!preparato_) {
        prepara();
    }
    classificate_ = 0;
    Firma f = leggiFirma();
    bool cambiata = false;
    if (f.nuove > 0) {
        const int n = classifica();
        if (n > 0) {
            classificate_ = n;
            cambiata = true;
            f = leggiFirma();
        }
    }
    if (!ultima_ || !(f == *ultima_)) {
        cambiata = true;
    }
    ultima_ = f;
    return cambiata;
}

// ---------------------------------------------------------------- assignment

const QString Assegnazione::kNonAperta = QStringLiteral("La pesata corrente non è aperta");

struct Assegnazione::Dati {
    PesataElencata pesata;
    QString seriale;
    QString materia;
    qint64 idFabbricazione = 0;
    QString codice;
    QDate data;
    QString lotto;
    QString fornitore;
    QString lottoMateria;
    std::unique_ptr<TransazioneDistribuita> unita;
    bool verificata = false;
};

Assegnazione::Assegnazione(Database* azienda, Database* erp, Database* pesate)
    : azienda_(azienda), erp_(erp), pesate_(pesate) {}

Assegnazione::~Assegnazione() = default;

Esito Assegnazione::esegui(const std::optional<PesataElencata>& pesata, const QString& seriale) {
    Esito e = verifica(pesata, seriale);
    return e.riuscito() ? scrivi() : e;
}

Esito Assegnazione::verifica(const std::optional<PesataElencata>& pesata, const QString& seriale) {
    d_ = std::make_unique<Dati>();
    if (!erp_ || !erp_->connected()) {
        return Esito::avviso(QStringLiteral("Archivio Tovaris non connesso"));
    }
    if (!pesata) {
        return Esito::avviso(QStringLiteral("Nessuna pesata selezionata"));
    }
    if (pesata->note != kAperta) {
        return Esito::avviso(kNonAperta);
    }
    if (pesata->bilancia.trimmed().isEmpty() || pesata->barcode.trimmed().isEmpty() ||
        pesata->dataOra.trimmed().isEmpty()) {
        return Esito::avviso(QStringLiteral("La pesata corrente non ha tutti i dati"));
    }
    // a weighing without weight has no value to store either
    if (!pesata->peso.isValid() || pesata->peso.isNull() || pesata->peso.toDouble() == 0) {
        return Esito::avviso(QStringLiteral("La pesata corrente non contiene un valore"));
    }
    d_->pesata = *pesata;
    d_->seriale = seriale.trimmed();

    d_->unita = std::make_unique<TransazioneDistribuita>(
        std::vector<Database*>{azienda_, pesate_},
        QStringList{QStringLiteral("isc_tpb_concurrency"), QStringLiteral("isc_tpb_wait")},
        kAttesaBlocchi);
    {
        Query q(azienda_, &d_->unita->su(*azienda_));
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("  A.CODICEMATERIAPRIMA,"),
                 QStringLiteral("  B.ID"),
                 QStringLiteral("  ,B.CODICE,"),
                 QStringLiteral("  B.DATA,"),
                 QStringLiteral("  B.LOTTO"),
                 QStringLiteral("FROM"),
                 QStringLiteral("  FABBCOMPON A"),
                 QStringLiteral("  INNER JOIN FABBRIC B ON"),
                 QStringLiteral("  A.CODICEFABBRICAZIONE=B.CODICE"),
                 QStringLiteral("  AND"),
                 QStringLiteral("  A.DATAFABBRICAZIONE=B.DATA"),
                 QStringLiteral("  AND"),
                 QStringLiteral("  A.LOTTOFABBRICAZIONE=B.LOTTO"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  A.SERIALE=?")};
        q.setParams({pesata->barcode});
        q.open();
        if (q.eof()) {
            return Esito::avviso(QStringLiteral("Barcode contest non trovato nelle fabbricazioni"));
        }
        // the history row points at the batch by its number: a batch without
        // one would leave a row that points nowhere
        if (q.field(1).isNull()) {
            return Esito::avviso(QStringLiteral(
                "La fabbricazione del barcode contest non ha un numero identificativo"));
        }
        d_->materia = q.field(0).asString();
        d_->idFabbricazione = q.field(1).asInteger();
        d_->codice = q.field(2).asString();
        d_->data = q.field(3).asDate();
        d_->lotto = q.field(4).asString();
        q.close();
    }

    QString articolo;
    {
        Transaction te(erp_, kLetturaVeloce);
        Query q(erp_, &te);
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("  A.CODICEARTICOLO,"),
                 QStringLiteral("  C.CODICEFORNITORE,"),
                 QStringLiteral("  C.CODICELOTTO"),
                 QStringLiteral("FROM"),
                 QStringLiteral("  RIGHEDDTCAR A"),
                 QStringLiteral("  LEFT JOIN SERIALI B ON"),
                 QStringLiteral("  A.SERIALE=B.SERIALE"),
                 QStringLiteral("  LEFT JOIN LOTTI C ON"),
                 QStringLiteral("  B.IDLOTTO=C.ID"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  A.SERIALE=?")};
        q.setParams({d_->seriale});
        q.open();
        if (q.eof()) {
            return Esito::avviso(QStringLiteral("Seriale lotto non trovato"));
        }
        articolo = q.field(0).asString();
        d_->fornitore = q.field(1).asString();
        d_->lottoMateria = q.field(2).asString();
        q.close();
        te.commit();
    }
    if (articolo.trimmed() != d_->materia.trimmed()) {
        return Esito::avviso(QStringLiteral("Il seriale lotto fa riferimento ad una materia prima "
                                            "non compatibile con il barcode contest"));
    }
    d_->verificata = true;
    return {};
}

Esito Assegnazione::nonChiusa(const QString& messaggio) {
    // Another monitor (or a change by hand) got at the weighing first: when
    // it is no longer open, that is what the user is told.
    try {
        Transaction t(pesate_, kLetturaVeloce);
        Query q(pesate_, &t);
        q.SQL = {QStringLiteral("SELECT NOTE FROM PESATE WHERE BILANCIA=? AND DATA_ORA=?")};
        q.setParams({d_->pesata.bilancia, d_->pesata.dataOra});
        const QVariant nota = q.scalar();
        t.commit();
        if (nota.toString() != kAperta) {
            return Esito::avviso(kNonAperta);
        }
    } catch (const DbError&) {
        // the weighing cannot be read: the first failure is the one to tell
    }
    return errore(kErroreStato, DbError(messaggio));
}

Esito Assegnazione::scrivi() {
    if (!d_ || !d_->verificata || !d_->unita) {
        return Esito::avviso(QStringLiteral("Nessuna pesata selezionata"));
    }
    TransazioneDistribuita& unita = *d_->unita;
    const PesataElencata& p = d_->pesata;

    // The weighing first: of two monitors assigning it the second stops here,
    // before it has touched the company archive.
    try {
        Query q(pesate_, &unita.su(*pesate_));
        q.SQL = {QStringLiteral("UPDATE PESATE SET"),
                 QStringLiteral("NOTE='CHIUSA'"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  BILANCIA=?"),
                 QStringLiteral("  AND"),
                 QStringLiteral("  DATA_ORA=?"),
                 QStringLiteral("  AND"),
                 QStringLiteral("  NOTE='APERTA'")};
        q.setParams({p.bilancia, p.dataOra});
        if (q.execSQL() != 1) {
            annulla(unita);
            return Esito::avviso(kNonAperta);
        }
    } catch (const DbError& e) {
        annulla(unita);
        return nonChiusa(e.messaggio());
    }

    // a hold stands on the batch as the write finds the company archive
    try {
        if (const std::optional<blocchi::Blocco> b =
                blocchi::copre(*azienda_, unita.su(*azienda_), d_->codice, d_->data, d_->lotto)) {
            annulla(unita);
            return Esito::avviso(blocchi::testoRifiuto(*b, d_->codice, d_->data, d_->lotto));
        }
    } catch (const DbError& e) {
        annulla(unita);
        return errore(QStringLiteral("Errore interno durante la lettura dei blocchi:"), e);
    }

    // each further write undoes the whole unit when it fails
    Esito esito;
    auto scrittura = [&](const QString& testo, const auto& f) {
        try {
            f();
            return true;
        } catch (const DbError& e) {
            annulla(unita);
            esito = errore(testo, e);
            return false;
        }
    };
    const bool scritta =
        scrittura(
            QStringLiteral("Errore interno durante l'aggiornamento della fabbricazione:"),
            [&] {
                Query q(azienda_, &unita.su(*azienda_));
                q.SQL = {QStringLiteral("UPDATE FABBCOMPON SET"), QStringLiteral("  PESATA=?"),
                         QStringLiteral("WHERE"), QStringLiteral("  SERIALE=?")};
                q.setParams({p.peso.toDouble(), p.barcode});
                if (q.execSQL() == 0) {
                    throw DbError(QStringLiteral("la riga della fabbricazione non esiste più"));
                }
            }) &&
        scrittura(QStringLiteral("Errore interno durante la storicizzazione della pesata:"),
                  [&] {
                      Query q(azienda_, &unita.su(*azienda_));
                      q.SQL = {QStringLiteral("INSERT INTO PESATE_FABBR("),
                               QStringLiteral("  ID,"),
                               QStringLiteral("  BILANCIA,"),
                               QStringLiteral("  DATAORA,"),
                               QStringLiteral("  BARCODE,"),
                               QStringLiteral("  PESO,"),
                               QStringLiteral("  OPERATORE,"),
                               QStringLiteral("  ID_FABBRICAZIONE,"),
                               QStringLiteral("  BARCODE_LOTTO_MATERIA,"),
                               QStringLiteral("  CODICEFABBRICAZIONE,"),
                               QStringLiteral("  DATAFABBRICAZIONE,"),
                               QStringLiteral("  LOTTOFABBRICAZIONE,"),
                               QStringLiteral("  CODICEMATERIAPRIMA,"),
                               QStringLiteral("  CODICEFORNITORE,"),
                               QStringLiteral("  LOTTOMATERIAPRIMA)"),
                               QStringLiteral("VALUES("),
                               QStringLiteral("  GEN_ID(IDPESATE_FABBRCOUNTER,1),"),
                               QStringLiteral("  ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")};
                      auto oNull = [](const QString& s) {
                          return s.isEmpty() ? QVariant() : QVariant(s);
                      };
                      q.setParams({p.bilancia, p.dataOra, p.barcode, p.peso.toDouble(),
                                   oNull(sql::senzaApici(p.operatore)), d_->idFabbricazione,
                                   d_->seriale, d_->codice, d_->data, d_->lotto, d_->materia,
                                   oNull(d_->fornitore), oNull(d_->lottoMateria)});
                      q.execSQL();
                  }) &&
        scrittura(kErroreStato, [&] {
            unita.prepare(QStringLiteral("Assegnazione pesata %1 %2 a %3")
                              .arg(p.bilancia, p.dataOra, p.barcode));
            try {
                unita.commit();
            } catch (const CommitDaCompletare& e) {
                // assigned: the weighing's state follows at the next opening
                esito = Esito::avviso(e.messaggio());
            } catch (const EsitoIncerto& e) {
                esito = Esito::errore(e.messaggio());
            }
        });
    if (!scritta || !esito.riuscito()) {
        return esito;
    }
    d_->verificata = false;
    return {};
}

// ---------------------------------------------------------------- status by hand

Esito cambiaStato(Database& pesate, Transaction& scrittura, const QString& bilancia,
                  const QString& dataOra, const QString& stato) {
    try {
        annulla(scrittura);
        scrittura.start();
        Query q(&pesate, &scrittura);
        q.SQL = {QStringLiteral("UPDATE PESATE SET"),
                 QStringLiteral("NOTE=?"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  BILANCIA=?"),
                 QStringLiteral("  AND"),
                 QStringLiteral("  DATA_ORA=?")};
        q.setParams({stato, bilancia, dataOra});
        if (q.execSQL() != 1) {
            throw DbError(QStringLiteral("la pesata non esiste più"));
        }
        scrittura.commit();
        return {};
    } catch (const DbError& e) {
        annulla(scrittura);
        return errore(kErroreStato, e);
    }
}

int intervalloPolling(const QString& parametro) {
    const std::optional<qint64> ms = Formati::leggiIntero(parametro.trimmed());
    if (!ms || *ms <= 0) {
        return 200;
    }
    return int(std::min<qint64>(*ms, 24 * 3600 * 1000));
}

} // namespace quintar::pesate
