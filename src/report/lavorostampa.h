// A print job: the screen declares the current record's values as variables
// and the rows of a detail list as fields, through two handlers the engine
// calls while it prints or while the designer is open.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace quintar {
class Campo;
class Query;
} // namespace quintar

namespace quintar::report {

// How a value is shown: numbers and dates take the column's format.
enum class TipoDato { Testo, Numero, Data, Booleano };

// The text of a null value.
inline const QString kNullo = QStringLiteral("(NULL)");

struct Dato {
    QString testo;
    TipoDato tipo = TipoDato::Testo;
    bool nullo() const { return testo == kNullo; }
};

// Declared values in declaration order; names compare without case.
class Valori {
public:
    void imposta(const QString& nome, Dato d);
    const Dato* trova(const QString& nome) const;
    QStringList nomi() const;
    bool vuoto() const { return voci_.empty(); }
    int quanti() const { return int(voci_.size()); }
    void pulisci();

private:
    QHash<QString, int> indice_;
    std::vector<std::pair<QString, Dato>> voci_;
};

// One printed record: the field values and the variables as they stood when
// the record was asked for.
struct Record {
    std::shared_ptr<const Valori> variabili;
    Valori campi;
};

// What a run of the handlers produced.
struct DatiStampa {
    std::shared_ptr<const Valori> variabili; // as declared before the first record
    std::vector<Record> record;
};

// The type rules of a database field: integers and decimals are numbers,
// Booleans are Booleans, dates and timestamps are dates (the text holds the
// day count since 30/12/1899 with the time as fraction), every other field is
// text; a null is "(NULL)".
Dato datoDaCampo(const Campo& c);
// Day count with fraction of a date value, and back.
QString giorniDaData(const QDateTime& d);
QDateTime dataDaGiorni(const QString& testo, bool* ok = nullptr);
// The name of a detail field: the field name alone, prefix + "." + name, or
// the prefix alone when it holds ':'.
QString nomeCampoReport(const QString& prefisso, const QString& campo);

class LavoroStampa : public QObject {
    Q_OBJECT
public:
    explicit LavoroStampa(QObject* parent = nullptr);
    ~LavoroStampa() override;

    using Gestore = std::function<void(LavoroStampa&)>;
    // Called before each record (and once in design mode): declare variables.
    Gestore OnDefineVariables;
    // Called once per record: declare the fields of the current detail row,
    // report progress, advance, and report the last record at the end.
    Gestore OnDefineFields;

    void defineVariable(const QString& nome, const QString& testo, TipoDato tipo = TipoDato::Testo);
    void defineVariable(const QString& nome, const Campo& campo);
    // Every field of the query's current row (nulls when it stands on no row).
    void defineVariables(const Query& q);
    void defineField(const QString& nome, const QString& testo, TipoDato tipo = TipoDato::Testo);
    void defineField(const QString& nome, const Campo& campo);
    void defineFields(const Query& q, const QString& prefisso = {});

    // True while the designer asks for names: handlers must not move rows.
    bool designMode() const { return designMode_; }
    void setProgress(int percento);
    int progress() const { return progresso_; }
    void setLastRecord() { ultimo_ = true; }

    const Valori& variabili() const { return *variabili_; }
    const Valori& campi() const { return campi_; }

    // Runs the handlers as a print does: variables, then records until the
    // field handler reports the last one or declares nothing more. A record
    // whose call declared no field prints no row. Never more than limite records.
    DatiStampa raccogli(int limite = 1000000);
    // One call of each handler in design mode: the values the designer shows.
    DatiStampa campione();

signals:
    void avanzamento(int percento);

private:
    void chiamaVariabili();
    std::shared_ptr<Valori> variabili_;
    Valori campi_;
    bool designMode_ = false;
    bool ultimo_ = false;
    int progresso_ = 0;
};

} // namespace quintar::report
