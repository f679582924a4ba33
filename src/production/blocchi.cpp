#include "production/blocchi.h"

#include "session/formati.h"

namespace quintar::blocchi {

namespace {

const QString kTabella = QStringLiteral("BLOCCHI");

QStringList ddl() {
    return {QStringLiteral("CREATE SEQUENCE GEN_BLOCCHI"),
            QStringLiteral("CREATE TABLE BLOCCHI ("
                           "  ID INTEGER NOT NULL,"
                           "  TIPO VARCHAR(15) NOT NULL,"
                           "  VALORE VARCHAR(30),"
                           "  CODICEFABBRICAZIONE VARCHAR(20),"
                           "  DATAFABBRICAZIONE DATE,"
                           "  LOTTOFABBRICAZIONE VARCHAR(20),"
                           "  MOTIVO VARCHAR(500) NOT NULL,"
                           "  UTENTE INTEGER,"
                           "  MOMENTO TIMESTAMP DEFAULT CURRENT_TIMESTAMP,"
                           "  MOTIVORILASCIO VARCHAR(500),"
                           "  UTENTERILASCIO INTEGER,"
                           "  MOMENTORILASCIO TIMESTAMP,"
                           "  CONSTRAINT BLOCCHI_CHIAVEPRIMARIA PRIMARY KEY (ID))"),
            QStringLiteral("CREATE INDEX BLOCCHI_RILASCIO ON BLOCCHI (MOMENTORILASCIO)")};
}

// Whether the table is there for the transaction given (made after it
// started, it holds nothing it could see).
bool presente(Database& azienda, Transaction& t) {
    Query q(&azienda, &t);
    q.SQL = {QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?")};
    q.setParams({kTabella});
    return q.scalar().toLongLong() > 0;
}

// The genealogy finds the batches made from a semi-finished batch by its lot
// through an index an older archive lacks: made when missing, else the
// genealogy reads the batches through.
void assicuraIndice(Database& azienda) {
    try {
        Transaction t(&azienda);
        Query q(&azienda, &t);
        q.SQL = {QStringLiteral("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = "
                                "'FABBRIC_FABBRICAZIONEDA_LOTTO'")};
        if (q.scalar().toLongLong() == 0) {
            q.SQL = {QStringLiteral("CREATE INDEX FABBRIC_FABBRICAZIONEDA_LOTTO ON FABBRIC "
                                    "(FABBRICAZIONEDA_LOTTO)")};
            q.execSQL();
        }
        t.commit();
    } catch (const DbError& e) {
        // another session made it, or the table is in use: the next opening tries again
        qInfo("indice FABBRIC_FABBRICAZIONEDA_LOTTO non creato: %s", qPrintable(e.messaggio()));
    }
}

QString testoTipo(Tipo t) {
    switch (t) {
    case Tipo::Lotto:
        return QStringLiteral("LOTTO");
    case Tipo::Seriale:
        return QStringLiteral("SERIALE");
    case Tipo::Fabbricazione:
        break;
    }
    return QStringLiteral("FABBRICAZIONE");
}

Tipo tipoDa(const QString& t) {
    if (t.trimmed() == QLatin1String("SERIALE")) {
        return Tipo::Seriale;
    }
    if (t.trimmed() == QLatin1String("FABBRICAZIONE")) {
        return Tipo::Fabbricazione;
    }
    return Tipo::Lotto;
}

const QString kColonne = QStringLiteral(
    "SELECT ID, TIPO, VALORE, CODICEFABBRICAZIONE, DATAFABBRICAZIONE, LOTTOFABBRICAZIONE, "
    "MOTIVO, UTENTE, MOMENTO, MOTIVORILASCIO, UTENTERILASCIO, MOMENTORILASCIO FROM BLOCCHI");

std::vector<Blocco> leggi(Database& azienda, Transaction& t, const QString& dove) {
    std::vector<Blocco> r;
    Query q(&azienda, &t);
    q.SQL = {kColonne, dove};
    for (q.open(); !q.eof(); q.next()) {
        Blocco b;
        b.id = q.field(0).asInteger();
        b.tipo = tipoDa(q.field(1).asString());
        b.valore = q.field(2).valore().toString();
        b.codice = q.field(3).valore().toString();
        b.data = q.field(4).valore().toDate();
        b.lotto = q.field(5).valore().toString();
        b.motivo = q.field(6).valore().toString();
        b.utente = int(q.field(7).asInteger());
        b.momento = q.field(8).valore().toDateTime();
        b.motivoRilascio = q.field(9).valore().toString();
        b.utenteRilascio = int(q.field(10).asInteger());
        b.rilascio = q.field(11).valore().toDateTime();
        r.push_back(std::move(b));
    }
    q.close();
    return r;
}

traccia::Partenza partenza(const Blocco& b) {
    traccia::Partenza p;
    if (b.tipo == Tipo::Fabbricazione) {
        traccia::Fabbricazione f;
        f.codice = b.codice;
        f.data = b.data;
        f.lotto = b.lotto;
        p.fabbricazione = f;
    } else {
        p.ricerca.chiave =
            b.tipo == Tipo::Seriale ? traccia::Chiave::Seriale : traccia::Chiave::LottoFornitore;
        p.ricerca.valore = b.valore;
    }
    return p;
}

} // namespace

bool assicura(Database& azienda) {
    const bool r = assicuraTabella(azienda, kTabella, ddl());
    assicuraIndice(azienda);
    return r;
}

QString chiave(const QString& codice, const QDate& data, const QString& lotto) {
    return codice.trimmed() + '|' + data.toString(Qt::ISODate) + '|' + lotto.trimmed();
}

QString testoOggetto(const Blocco& b) {
    switch (b.tipo) {
    case Tipo::Lotto:
        return QStringLiteral("lotto fornitore ") + b.valore;
    case Tipo::Seriale:
        return QStringLiteral("seriale ") + b.valore;
    case Tipo::Fabbricazione:
        break;
    }
    return QStringLiteral("fabbricazione %1 del %2 lotto %3")
        .arg(b.codice, Formati::dataInTesto(b.data), b.lotto);
}

QString testoBlocco(const Blocco& b) {
    return QStringLiteral("blocco n. %1 sul %2 (%3)").arg(b.id).arg(testoOggetto(b), b.motivo);
}

QString testoRifiuto(const Blocco& b, const QString& codice, const QDate& data,
                     const QString& lotto) {
    return QStringLiteral("La fabbricazione %1 del %2 lotto %3 è bloccata: %4")
        .arg(codice, Formati::dataInTesto(data), lotto, testoBlocco(b));
}

std::vector<Blocco> attivi(Database& azienda, Transaction& t) {
    return leggi(azienda, t, QStringLiteral("WHERE MOMENTORILASCIO IS NULL ORDER BY ID"));
}

std::vector<Blocco> tutti(Database& azienda, Transaction& t) {
    return leggi(azienda, t, QStringLiteral("ORDER BY ID DESC"));
}

std::optional<Blocco> copre(Database& azienda, Transaction& t, const QString& codice,
                            const QDate& data, const QString& lotto) {
    if (!presente(azienda, t)) {
        return std::nullopt; // no hold was ever set
    }
    const std::vector<Blocco> a = attivi(azienda, t);
    if (a.empty()) {
        return std::nullopt;
    }
    traccia::Genealogista g(&azienda, &t);
    for (const Blocco& b : a) {
        if (g.avanti(partenza(b)).contiene(codice, data, lotto)) {
            return b;
        }
    }
    return std::nullopt;
}

std::map<QString, Coperta> coperte(Database& azienda, Transaction& t) {
    std::map<QString, Coperta> r;
    if (!presente(azienda, t)) {
        return r;
    }
    const std::vector<Blocco> a = attivi(azienda, t);
    if (a.empty()) {
        return r;
    }
    traccia::Genealogista g(&azienda, &t);
    for (const Blocco& b : a) {
        for (const traccia::Nodo& n : g.avanti(partenza(b)).nodi) {
            const traccia::Fabbricazione& f = n.fabbricazione;
            r.emplace(chiave(f.codice, f.data, f.lotto), Coperta{f, b});
        }
    }
    return r;
}

qint64 imposta(Database& azienda, const Blocco& b, int utente) {
    if (!assicuraTabella(azienda, kTabella, ddl())) {
        throw DbError(QStringLiteral("la tabella BLOCCHI non è stata creata"));
    }
    Transaction t(&azienda);
    Query q(&azienda, &t);
    q.SQL = {QStringLiteral("SELECT GEN_ID(GEN_BLOCCHI, 1) FROM RDB$DATABASE")};
    const qint64 id = q.scalar().toLongLong();
    q.SQL = {QStringLiteral("INSERT INTO BLOCCHI (ID, TIPO, VALORE, CODICEFABBRICAZIONE, "
                            "DATAFABBRICAZIONE, LOTTOFABBRICAZIONE, MOTIVO, UTENTE, MOMENTO)"),
             QStringLiteral("VALUES (?, ?, ?, ?, ?, ?, ?, ?, CURRENT_TIMESTAMP)")};
    auto oNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    q.setParams({id, testoTipo(b.tipo), oNull(b.tipo == Tipo::Fabbricazione ? b.lotto : b.valore),
                 oNull(b.codice), b.data.isValid() ? QVariant(b.data) : QVariant(), oNull(b.lotto),
                 b.motivo.left(kLunghezzaMotivo), utente});
    q.execSQL();
    t.commit();
    return id;
}

bool rilascia(Database& azienda, qint64 id, const QString& motivo, int utente) {
    Transaction t(&azienda);
    Query q(&azienda, &t);
    q.SQL = {QStringLiteral("UPDATE BLOCCHI SET MOTIVORILASCIO = ?, UTENTERILASCIO = ?, "
                            "MOMENTORILASCIO = CURRENT_TIMESTAMP"),
             QStringLiteral("WHERE ID = ? AND MOMENTORILASCIO IS NULL")};
    q.setParams({motivo.left(kLunghezzaMotivo), utente, id});
    const int n = q.execSQL();
    t.commit();
    return n == 1;
}

} // namespace quintar::blocchi
