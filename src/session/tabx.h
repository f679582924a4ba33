// The session environment of one opened screen: user, company, parameter
// store, connections and the persistent parameters.
#pragma once

#include "session/db.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

namespace quintar {

// A row of the parameter store.
struct RigaTabX {
    int Codice = 0;
    QString Tipo;
    QString Nome;
    std::optional<qint64> Numero;
    QString Testo;
    QDate Data;
    QString Memo;
    std::optional<int> Livello1;
    std::optional<int> Livello2;
    std::optional<int> Utente;
};

// A company parameter to write (TABX).
struct ValoreTabXDaScrivere {
    QString nome;
    QString testo;
    bool perUtente = false;
};

class TTabXForm : public QObject {
    Q_OBJECT
public:
    explicit TTabXForm(QObject* owner = nullptr);
    ~TTabXForm() override;

    // Parameter store.
    std::vector<RigaTabX> MemTabX;

    Database IBDatabase1;
    Transaction IBTransaction1{&IBDatabase1};
    Database IBDatabase2;
    Transaction IBTransaction2{&IBDatabase2};
    Database IBDatabase3;
    Transaction IBTransaction3{&IBDatabase3};
    Database IBDatabase4;
    Transaction IBTransaction4{&IBDatabase4};
    Database IBDatabaseUser;
    Transaction TransazioneUser{&IBDatabaseUser};
    Query QueryArbelon{&IBDatabaseUser, &TransazioneUser};
    Database IBDatabase5;
    Transaction IBTransaction5{&IBDatabase5};

    // The connection holding the company archive, where TABX is read and
    // written: IBDatabase1, unless a screen connects it elsewhere.
    Database* ArchivioAzienda = &IBDatabase1;

    int NumUtente = 0;
    QString NomeUtente;
    QString PwdUtente;
    quint8 ModoSessione = 0;
    QString Ditta;

    bool SetUserPerNum(int n);
    int GetNumUser() const { return NumUtente; }

    void Inserisci(const QString& tipo, const QString& nome, const QString& numero,
                   const QString& testo, const QString& data, const QString& memo,
                   const QString& livello1, const QString& livello2, const QString& utente);
    QString GetV(const QString& nome) const;

    QString CaricaParametro(const QString& nome);
    // The parameters named, read together: a name without a row is left out
    // (empty text for CaricaParametro). Nothing when they cannot be read.
    QHash<QString, QString> CaricaParametri(const QStringList& nomi);
    // Both return false after showing their error box when the write failed.
    bool ScriviParametroArbelon(const QString& sezione, const QString& nome, const QString& valore);
    bool ScriviArbelon(int utente);

    // Empty text both when there is no row and when TABX cannot be read: for
    // the callers to whom a missing value is harmless.
    QString ValoreTabX(const QString& nome, bool perUtente);
    QString ValoreMTabX(const QString& nome, bool perUtente);
    // Nothing when there is no row, the text (empty for a null one) when there
    // is; DbError when TABX cannot be read. For guards that must not take a
    // failed read for a missing value.
    std::optional<QString> LeggiValoreTabX(const QString& nome, bool perUtente);
    bool SettaValoreTabX(const QString& nome, const QString& testo, bool perUtente);
    // Several company parameters in one transaction: all written or none.
    bool SettaValoriTabX(const std::vector<ValoreTabXDaScrivere>& valori);
    // The texts of the parameters named in `quali` (their texts aside), read
    // together as last committed: nothing for a name without a row. DbError
    // when TABX cannot be read.
    std::vector<std::optional<QString>>
    LeggiValoriTabX(const std::vector<ValoreTabXDaScrivere>& quali);
    enum class EsitoTabX { Scritti, Cambiati, NonScritti };
    // For a screen that edits a set of parameters: all of `valori` written in
    // one transaction, but only while each is still as `letti` holds it (as
    // LeggiValoriTabX gave it). Cambiati: another session changed one since,
    // or created it first; nothing was written. NonScritti: the archive
    // refused the write (another session still holds a row, or a failure).
    EsitoTabX SettaValoriTabXSeInvariati(const std::vector<ValoreTabXDaScrivere>& valori,
                                         const std::vector<std::optional<QString>>& letti);

    bool ConnettiDatabase1(const QString& parametro);
    bool ConnettiDatabase2(const QString& parametro);
    bool ConnettiDatabase3(const QString& parametro);
    QString ValoreGeneratore(const QString& generatore);

    bool ScritturaHandleDiApertura(qint64 idFinestra, qint64 handle);

private:
    bool connettiSlot(Database& db, const QString& parametro);
    std::optional<QString> leggiTabX(const QString& colonna, const QString& nome, bool perUtente);
    std::optional<QString> leggiTabX(Query& q, const QString& colonna, const QString& nome,
                                     bool perUtente);
    std::vector<std::optional<QString>>
    leggiValoriTabX(Query& q, const std::vector<ValoreTabXDaScrivere>& quali);
    bool parametroPresente(Query& q, const QString& sezione, const QString& nome);
    void scriviParametro(Query& q, bool nuovo, const QString& sezione, const QString& nome,
                         const QString& valore);
    // The user's image of all parameters, written in the current transaction.
    void ricostruisciArbelon(Query& q, int utente);
    void annullaTransazioneUser() noexcept;
    void scriviTabX(Query& q, const QString& nome, const QString& testo, bool perUtente);
    int prossimoCodice_ = 1;
};

} // namespace quintar
