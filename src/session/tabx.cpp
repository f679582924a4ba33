#include "session/tabx.h"

#include <QThread>

#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"

#include <QDir>
#include <QRegularExpression>

namespace quintar {

namespace {

const QString kErroreArbelon = QStringLiteral(
    "Errore interno di UPDATE: impossibile aggiornare i parametri arbelon dell'utente");

} // namespace

TTabXForm::TTabXForm(QObject* owner) : QObject(owner) {
    const QString dir = percorsi::dirEseguibile();
    QDir().mkpath(percorsi::suDisco(dir + QStringLiteral("user")));
    if (!ConnettiArchivio(IBDatabaseUser, dir + QStringLiteral("user/"),
                          QStringLiteral("user.fdb"))) {
        Messaggi::errore(QStringLiteral("Errore inizializzazione database utenti"));
    }
    if (IBDatabaseUser.connected()) {
        // two hosts opening a fresh user database at once: one makes the
        // table, the other waits for it and finds it
        const QStringList ddl = {QStringLiteral("CREATE TABLE TABSCRIPT("
                                                "PROGETTO VARCHAR(15) NOT NULL,"
                                                "SCRIPTFORM VARCHAR(15) NOT NULL,"
                                                "CONTESTO SMALLINT NOT NULL,"
                                                "UTENTE VARCHAR(15) NOT NULL,"
                                                "DESCRIZIONESITUAZIONE BLOB,"
                                                "SCRIPT BLOB,"
                                                "MODIFICATODAUTENTE SMALLINT,"
                                                "DATAULTIMAMODIFICA DATE,"
                                                "STATUS SMALLINT,"
                                                "CONSTRAINT KYVTAB_CHIAVEPRIMARIA PRIMARY KEY "
                                                "(PROGETTO,SCRIPTFORM,CONTESTO,UTENTE))")};
        if (!assicuraTabella(IBDatabaseUser, QStringLiteral("TABSCRIPT"), ddl)) {
            Messaggi::errore(QStringLiteral(
                "Errore interno di CREATE: impossibile creare la tabella TABSCRIPT"));
        }
    }
    MemTabX.clear();
}

TTabXForm::~TTabXForm() = default;

bool TTabXForm::SetUserPerNum(int n) {
    NumUtente = n;
    NomeUtente.clear();
    PwdUtente.clear();
    Ditta.clear();
    try {
        // the name is unique: its password and company are the same row's,
        // none for a user without a name
        TransazioneUser.rollback();
        TransazioneUser.start();
        QueryArbelon.SQL = {
            QStringLiteral("SELECT NOMEUTENTE, IIF(NOMEUTENTE IS NULL, NULL, PWDUTENTE),"),
            QStringLiteral("IIF(NOMEUTENTE IS NULL, NULL, DITTA) FROM UTENTI WHERE (CODICE=?)")};
        QueryArbelon.setParams({n});
        QueryArbelon.open();
        if (!QueryArbelon.eof()) {
            NomeUtente = QueryArbelon.field(0).asString();
            PwdUtente = QueryArbelon.field(1).asString();
            Ditta = QueryArbelon.field(2).asString();
        }
        QueryArbelon.close();
        QueryArbelon.clearParams();
        return true;
    } catch (const DbError&) {
        QueryArbelon.close();
        QueryArbelon.clearParams();
        return false;
    }
}

void TTabXForm::Inserisci(const QString& tipo, const QString& nome, const QString& numero,
                          const QString& testo, const QString& data, const QString& memo,
                          const QString& livello1, const QString& livello2, const QString& utente) {
    auto intero = [](const QString& s) -> std::optional<qint64> {
        return s.isEmpty() ? std::nullopt : Formati::leggiIntero(s);
    };
    std::optional<int> ut;
    if (auto u = intero(utente)) {
        ut = int(*u);
    }
    auto trova = std::find_if(MemTabX.begin(), MemTabX.end(), [&](const RigaTabX& r) {
        return r.Tipo == tipo && r.Nome == nome && r.Utente == ut;
    });
    RigaTabX* r;
    if (trova != MemTabX.end()) {
        r = &*trova;
    } else {
        MemTabX.push_back({});
        r = &MemTabX.back();
        r->Codice = prossimoCodice_++;
        r->Tipo = tipo;
        r->Nome = nome;
        r->Utente = ut;
    }
    r->Numero = intero(numero);
    // paths are kept whole: a cut path would point somewhere else
    r->Testo = testo;
    r->Data = Formati::leggiData(data);
    r->Memo = memo;
    auto l1 = intero(livello1);
    auto l2 = intero(livello2);
    r->Livello1 = l1 ? std::optional<int>(int(*l1)) : std::nullopt;
    r->Livello2 = l2 ? std::optional<int>(int(*l2)) : std::nullopt;
}

QString TTabXForm::GetV(const QString& nome) const {
    for (const RigaTabX& r : MemTabX) {
        if (r.Nome == nome) {
            return r.Testo;
        }
    }
    return {};
}

QString TTabXForm::CaricaParametro(const QString& nome) {
    try {
        QueryArbelon.SQL = {QStringLiteral("SELECT VALORE FROM TABARBELON WHERE"),
                            QStringLiteral("(UTENTE=?)AND"), QStringLiteral("(INTESTAZIONE=?)AND"),
                            QStringLiteral("(PARAMETRO=?)")};
        QueryArbelon.setParams({NumUtente, Ditta, nome});
        QVariant v = QueryArbelon.scalar();
        QueryArbelon.clearParams();
        return v.isValid() ? v.toString() : QString();
    } catch (const DbError&) {
        QueryArbelon.clearParams();
        return {};
    }
}

QHash<QString, QString> TTabXForm::CaricaParametri(const QStringList& nomi) {
    QHash<QString, QString> valori;
    try {
        QueryArbelon.SQL = {QStringLiteral("SELECT PARAMETRO, VALORE FROM TABARBELON WHERE"),
                            QStringLiteral("(UTENTE=?)AND"), QStringLiteral("(INTESTAZIONE=?)")};
        QueryArbelon.setParams({NumUtente, Ditta});
        for (QueryArbelon.open(); !QueryArbelon.eof(); QueryArbelon.next()) {
            const QString nome = QueryArbelon.field(0).asString();
            if (nomi.contains(nome)) {
                valori.insert(nome, QueryArbelon.field(1).asString());
            }
        }
    } catch (const DbError&) {
        valori.clear();
    }
    QueryArbelon.close();
    QueryArbelon.clearParams();
    return valori;
}

bool TTabXForm::ScriviParametroArbelon(const QString& sezione, const QString& nome,
                                       const QString& valore) {
    // The parameter and the user's image of all parameters go in one
    // transaction: a failure leaves both as they were, never a stored value
    // reported as not stored.
    Query q(&IBDatabaseUser, &TransazioneUser);
    bool nuovo = false;
    bool parametroScritto = false;
    try {
        TransazioneUser.rollback();
        TransazioneUser.start();
        nuovo = !parametroPresente(q, sezione, nome);
        scriviParametro(q, nuovo, sezione, nome, valore);
        parametroScritto = true;
        ricostruisciArbelon(q, NumUtente);
        TransazioneUser.commit();
        return true;
    } catch (const DbError&) {
        annullaTransazioneUser();
        if (parametroScritto) {
            Messaggi::errore(kErroreArbelon);
        } else {
            Messaggi::errore(
                nuovo ? QStringLiteral("Errore interno di INSERT: impossibile aggiornare la "
                                       "tabella dei parametri")
                      : QStringLiteral("Errore interno di UPDATE: impossibile aggiornare la "
                                       "tabella dei parametri"));
        }
        return false;
    }
}

bool TTabXForm::parametroPresente(Query& q, const QString& sezione, const QString& nome) {
    q.SQL = {QStringLiteral("SELECT * FROM TABARBELON WHERE"), QStringLiteral("(UTENTE=?)AND"),
             QStringLiteral("(INTESTAZIONE=?)AND"), QStringLiteral("(PARAMETRO=?)")};
    q.setParams({NumUtente, sezione, nome});
    q.open();
    const bool presente = !q.eof();
    q.close();
    return presente;
}

void TTabXForm::scriviParametro(Query& q, bool nuovo, const QString& sezione, const QString& nome,
                                const QString& valore) {
    // the value is bound, so it is stored exactly as given (a path keeps its quote)
    const QVariant v = valore.isEmpty() ? QVariant() : QVariant(valore);
    if (nuovo) {
        q.SQL = {QStringLiteral("SELECT MAX(PROGRESSIVO) FROM TABARBELON"),
                 QStringLiteral("WHERE (UTENTE=?)")};
        q.setParams({NumUtente});
        QVariant m = q.scalar();
        qint64 prog = m.isValid() ? m.toLongLong() + 1 : 1;
        q.SQL = {QStringLiteral("INSERT INTO TABARBELON (UTENTE,INTESTAZIONE,PARAMETRO,VALORE,"),
                 QStringLiteral("PROGRESSIVO) VALUES(?,?,?,?,?)")};
        q.setParams({NumUtente, sezione, nome, v, prog});
    } else {
        q.SQL = {QStringLiteral("UPDATE TABARBELON SET"), QStringLiteral("VALORE=?"),
                 QStringLiteral("WHERE (UTENTE=?)AND"), QStringLiteral("(INTESTAZIONE=?)AND"),
                 QStringLiteral("(PARAMETRO=?)")};
        q.setParams({v, NumUtente, sezione, nome});
    }
    q.execSQL();
}

bool TTabXForm::ScriviArbelon(int utente) {
    Query q(&IBDatabaseUser, &TransazioneUser);
    try {
        ricostruisciArbelon(q, utente);
        TransazioneUser.commit();
        return true;
    } catch (const DbError&) {
        annullaTransazioneUser();
        Messaggi::errore(kErroreArbelon);
        return false;
    }
}

void TTabXForm::ricostruisciArbelon(Query& q, int utente) {
    q.SQL = {QStringLiteral("SELECT * FROM TABARBELON WHERE"), QStringLiteral("(UTENTE=?)AND"),
             QStringLiteral("(INTESTAZIONE IS NOT NULL)"),
             QStringLiteral("ORDER BY INTESTAZIONE,PROGRESSIVO,UTENTE,PARAMETRO")};
    q.setParams({utente});
    q.open();
    QString risultato;
    QString ultima;
    for (; !q.eof(); q.next()) {
        const QString sezione = q["INTESTAZIONE"].asString();
        QString riga;
        if (sezione != ultima) {
            if (sezione.isEmpty()) {
                continue;
            }
            riga = '[' + sezione + "]\n";
            ultima = sezione;
        }
        const QString par = q["PARAMETRO"].asString();
        if (!par.isEmpty()) {
            riga += par + '=' + q["VALORE"].asString();
        }
        risultato += riga + '\n';
    }
    q.close();
    q.SQL = {QStringLiteral("UPDATE UTENTI SET ARBELON=? WHERE"), QStringLiteral("CODICE=?")};
    q.setParams({risultato.isEmpty() ? QVariant() : QVariant(risultato), utente});
    q.execSQL();
}

void TTabXForm::annullaTransazioneUser() noexcept {
    try {
        TransazioneUser.rollback();
    } catch (const DbError&) {
        // the connection is gone: nothing is left to undo
    }
}

std::optional<QString> TTabXForm::leggiTabX(const QString& colonna, const QString& nome,
                                            bool perUtente) {
    // parameters are read as last committed, whoever wrote them
    Transaction tr(ArchivioAzienda);
    Query q(ArchivioAzienda, &tr);
    return leggiTabX(q, colonna, nome, perUtente);
}

std::optional<QString> TTabXForm::leggiTabX(Query& q, const QString& colonna, const QString& nome,
                                            bool perUtente) {
    q.clearParams();
    q.SQL = {QStringLiteral("SELECT %1 FROM TABX").arg(colonna),
             QStringLiteral("WHERE (NOME=%1)").arg(sql::testoNonNullo(nome))};
    if (perUtente) {
        q.SQL << QStringLiteral("AND(UTENTE=%1)").arg(sql::intero(NumUtente));
    }
    q.open();
    std::optional<QString> r;
    if (!q.eof()) {
        r = q.field(0).asString();
    }
    q.close();
    return r;
}

std::vector<std::optional<QString>>
TTabXForm::leggiValoriTabX(Query& q, const std::vector<ValoreTabXDaScrivere>& quali) {
    std::vector<std::optional<QString>> r;
    for (const auto& v : quali) {
        r.push_back(leggiTabX(q, QStringLiteral("TESTO"), v.nome, v.perUtente));
    }
    return r;
}

std::vector<std::optional<QString>>
TTabXForm::LeggiValoriTabX(const std::vector<ValoreTabXDaScrivere>& quali) {
    // one snapshot: the set as it stood at one moment
    Transaction tr(ArchivioAzienda);
    Query q(ArchivioAzienda, &tr);
    return leggiValoriTabX(q, quali);
}

std::optional<QString> TTabXForm::LeggiValoreTabX(const QString& nome, bool perUtente) {
    return leggiTabX(QStringLiteral("TESTO"), nome, perUtente);
}

QString TTabXForm::ValoreTabX(const QString& nome, bool perUtente) {
    try {
        return leggiTabX(QStringLiteral("TESTO"), nome, perUtente).value_or(QString());
    } catch (const DbError&) {
        return {};
    }
}

QString TTabXForm::ValoreMTabX(const QString& nome, bool perUtente) {
    try {
        return leggiTabX(QStringLiteral("MEMO"), nome, perUtente).value_or(QString());
    } catch (const DbError&) {
        return {};
    }
}

void TTabXForm::scriviTabX(Query& q, const QString& nome, const QString& testo, bool perUtente) {
    const QString dove = QStringLiteral("WHERE (NOME=%1)").arg(sql::testoNonNullo(nome));
    const QString utente = QStringLiteral("AND(UTENTE=%1)").arg(sql::intero(NumUtente));
    q.SQL = {QStringLiteral("SELECT * FROM TABX"), dove};
    if (perUtente) {
        q.SQL << utente;
    }
    q.open();
    const bool manca = q.eof();
    q.close();
    if (manca) {
        q.SQL = {QStringLiteral("INSERT INTO TABX (CODICE,NOME,TESTO,UTENTE) VALUES("),
                 QStringLiteral("GEN_ID(CODICETABXCOUNTER,1),"), sql::testoNonNullo(nome) + ',',
                 sql::testo(testo) + ',',
                 perUtente ? sql::intero(NumUtente) + ')' : QStringLiteral("NULL)")};
    } else {
        q.SQL = {QStringLiteral("UPDATE TABX SET TESTO=%1").arg(sql::testo(testo)), dove};
        if (perUtente) {
            q.SQL << utente;
        }
    }
    q.execSQL();
}

bool TTabXForm::SettaValoreTabX(const QString& nome, const QString& testo, bool perUtente) {
    return SettaValoriTabX({{nome, testo, perUtente}});
}

bool TTabXForm::SettaValoriTabX(const std::vector<ValoreTabXDaScrivere>& valori) {
    // A transaction of its own, started now: the existence check must see what
    // other screens committed meanwhile. Two sessions inserting the same new
    // name at once meet on the archive's unique index: the one that loses
    // starts again, and then finds the row to update.
    for (int tentativo = 0;; ++tentativo) {
        Transaction tr(ArchivioAzienda);
        Query q(ArchivioAzienda, &tr);
        try {
            for (const auto& v : valori) {
                scriviTabX(q, v.nome, v.testo, v.perUtente);
            }
            tr.commit();
            return true;
        } catch (const DbError& e) {
            // the transaction goes away rolled back: nothing was stored
            if (!(e.chiaveDuplicata() || e.conflitto()) || tentativo >= 20) {
                return false;
            }
        }
        // the other session commits in a moment
        QThread::msleep(10 + 10 * tentativo);
    }
}

TTabXForm::EsitoTabX
TTabXForm::SettaValoriTabXSeInvariati(const std::vector<ValoreTabXDaScrivere>& valori,
                                      const std::vector<std::optional<QString>>& letti) {
    // A snapshot started now: what it reads is what another session
    // committed up to now, and a change committed after it makes the writes
    // below fail at once instead of being overwritten.
    try {
        Transaction tr(ArchivioAzienda);
        Query q(ArchivioAzienda, &tr);
        if (leggiValoriTabX(q, valori) != letti) {
            return EsitoTabX::Cambiati;
        }
        for (const auto& v : valori) {
            scriviTabX(q, v.nome, v.testo, v.perUtente);
        }
        tr.commit();
        return EsitoTabX::Scritti;
    } catch (const DbError& e) {
        // rolled back with its transaction: nothing was stored
        if (!(e.chiaveDuplicata() || e.conflitto())) {
            qWarning("parametri non memorizzati: %s", qPrintable(e.messaggio()));
            return EsitoTabX::NonScritti;
        }
    }
    // Another session wrote one of them meanwhile: committed, it is a change
    // since the screen read; still pending, the archive holds it for now.
    try {
        return LeggiValoriTabX(valori) != letti ? EsitoTabX::Cambiati : EsitoTabX::NonScritti;
    } catch (const DbError&) {
        return EsitoTabX::NonScritti;
    }
}

bool TTabXForm::connettiSlot(Database& db, const QString& parametro) {
    QString dir, file;
    percorsi::dividi(GetV(parametro), dir, file);
    if (!ConnettiArchivio(db, dir, file)) {
        Messaggi::errore(QStringLiteral("Errore apertura archivio"));
        return false;
    }
    return true;
}

bool TTabXForm::ConnettiDatabase1(const QString& p) {
    return connettiSlot(IBDatabase1, p);
}
bool TTabXForm::ConnettiDatabase2(const QString& p) {
    return connettiSlot(IBDatabase2, p);
}
bool TTabXForm::ConnettiDatabase3(const QString& p) {
    return connettiSlot(IBDatabase3, p);
}

QString TTabXForm::ValoreGeneratore(const QString& generatore) {
    static const QRegularExpression nome(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    if (!nome.match(generatore).hasMatch()) {
        throw DbError(QStringLiteral("Nome di generatore non valido: ") + generatore);
    }
    Query q(&IBDatabase1, &IBTransaction1);
    q.SQL = {QStringLiteral("SELECT GEN_ID(") + generatore +
             QStringLiteral(",1) FROM RDB$DATABASE;")};
    return q.scalar().toString();
}

bool TTabXForm::ScritturaHandleDiApertura(qint64 idFinestra, qint64 handle) {
    try {
        TransazioneUser.rollback();
        TransazioneUser.start();
        Query q(&IBDatabaseUser, &TransazioneUser);
        q.SQL = {QStringLiteral("UPDATE TOVARLOGFUNZ SET HANDLEFINESTRA=") + sql::intero(handle),
                 QStringLiteral("WHERE IDFINESTRA=") + sql::intero(idFinestra)};
        q.execSQL();
        TransazioneUser.commitRetaining();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

} // namespace quintar
