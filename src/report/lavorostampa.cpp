#include "report/lavorostampa.h"

#include "session/db.h"

#include <cmath>

namespace quintar::report {

namespace {

const QDate kGiornoZero(1899, 12, 30);

QString chiave(const QString& nome) {
    return nome.trimmed().toUpper();
}

Dato datoNullo(TipoCampo t) {
    Dato d;
    d.testo = kNullo;
    switch (t) {
    case TipoCampo::Intero:
    case TipoCampo::Decimale:
    case TipoCampo::Virgola:
        d.tipo = TipoDato::Numero;
        break;
    case TipoCampo::Data:
    case TipoCampo::DataOra:
        d.tipo = TipoDato::Data;
        break;
    case TipoCampo::Booleano:
        d.tipo = TipoDato::Booleano;
        break;
    default:
        break;
    }
    return d;
}

} // namespace

// ------------------------------------------------------------------ Valori

void Valori::imposta(const QString& nome, Dato d) {
    const QString k = chiave(nome);
    if (k.isEmpty()) {
        return;
    }
    auto it = indice_.find(k);
    if (it != indice_.end()) {
        voci_[*it].second = std::move(d);
        return;
    }
    indice_.insert(k, int(voci_.size()));
    voci_.emplace_back(k, std::move(d));
}

const Dato* Valori::trova(const QString& nome) const {
    auto it = indice_.find(chiave(nome));
    return it == indice_.end() ? nullptr : &voci_[*it].second;
}

QStringList Valori::nomi() const {
    QStringList l;
    for (const auto& v : voci_) {
        l << v.first;
    }
    return l;
}

void Valori::pulisci() {
    indice_.clear();
    voci_.clear();
}

// ------------------------------------------------------------------ type rules

QString giorniDaData(const QDateTime& d) {
    const double giorni =
        kGiornoZero.daysTo(d.date()) + d.time().msecsSinceStartOfDay() / 86400000.0;
    return QString::number(giorni, 'f', d.time().msecsSinceStartOfDay() == 0 ? 0 : 8);
}

QDateTime dataDaGiorni(const QString& testo, bool* ok) {
    bool letto = false;
    const double g = QString(testo).replace(',', '.').toDouble(&letto);
    if (ok) {
        *ok = letto;
    }
    if (!letto) {
        return {};
    }
    const double intero = std::floor(g);
    const qint64 ms = qRound64((g - intero) * 86400000.0);
    return QDateTime(kGiornoZero.addDays(qint64(intero)), QTime(0, 0).addMSecs(int(ms)));
}

Dato datoDaCampo(const Campo& c) {
    Dato d = datoNullo(c.info().tipo);
    if (c.isNull()) {
        return d;
    }
    switch (c.info().tipo) {
    case TipoCampo::Intero:
        d.testo = QString::number(c.asInteger());
        break;
    case TipoCampo::Decimale:
    case TipoCampo::Virgola:
        d.testo = QString::number(c.asFloat(), 'g', 15);
        break;
    case TipoCampo::Data:
        d.testo = giorniDaData(QDateTime(c.asDate(), QTime(0, 0)));
        break;
    case TipoCampo::DataOra:
        d.testo = giorniDaData(c.asDateTime());
        break;
    case TipoCampo::Booleano:
        d.testo = c.valore().toBool() ? QStringLiteral("True") : QStringLiteral("False");
        break;
    default:
        d.testo = c.asString();
        break;
    }
    return d;
}

QString nomeCampoReport(const QString& prefisso, const QString& campo) {
    if (prefisso.isEmpty()) {
        return campo;
    }
    if (prefisso.contains(':')) {
        return prefisso;
    }
    return prefisso + '.' + campo;
}

// ------------------------------------------------------------------ LavoroStampa

LavoroStampa::LavoroStampa(QObject* parent)
    : QObject(parent), variabili_(std::make_shared<Valori>()) {}

LavoroStampa::~LavoroStampa() = default;

void LavoroStampa::defineVariable(const QString& nome, const QString& testo, TipoDato tipo) {
    variabili_->imposta(nome, {testo, tipo});
}

void LavoroStampa::defineVariable(const QString& nome, const Campo& campo) {
    variabili_->imposta(nome, datoDaCampo(campo));
}

void LavoroStampa::defineVariables(const Query& q) {
    for (int i = 0; i < q.fieldCount(); ++i) {
        const InfoCampo& inf = q.fields()[size_t(i)];
        variabili_->imposta(inf.nome, q.eof() ? datoNullo(inf.tipo) : datoDaCampo(q.field(i)));
    }
}

void LavoroStampa::defineField(const QString& nome, const QString& testo, TipoDato tipo) {
    campi_.imposta(nome, {testo, tipo});
}

void LavoroStampa::defineField(const QString& nome, const Campo& campo) {
    campi_.imposta(nome, datoDaCampo(campo));
}

void LavoroStampa::defineFields(const Query& q, const QString& prefisso) {
    for (int i = 0; i < q.fieldCount(); ++i) {
        const InfoCampo& inf = q.fields()[size_t(i)];
        campi_.imposta(nomeCampoReport(prefisso, inf.nome),
                       q.eof() ? datoNullo(inf.tipo) : datoDaCampo(q.field(i)));
    }
}

void LavoroStampa::setProgress(int percento) {
    progresso_ = qBound(0, percento, 100);
    emit avanzamento(progresso_);
}

void LavoroStampa::chiamaVariabili() {
    // a fresh set each time: records already collected keep their own values
    auto nuove = std::make_shared<Valori>(*variabili_);
    variabili_ = nuove;
    if (OnDefineVariables) {
        OnDefineVariables(*this);
    }
}

DatiStampa LavoroStampa::raccogli(int limite) {
    DatiStampa dati;
    designMode_ = false;
    ultimo_ = false;
    variabili_ = std::make_shared<Valori>();
    chiamaVariabili();
    dati.variabili = variabili_;
    bool prima = true;
    while (!ultimo_ && int(dati.record.size()) < limite) {
        if (!prima) {
            chiamaVariabili();
        }
        prima = false;
        campi_.pulisci();
        if (!OnDefineFields) {
            break;
        }
        OnDefineFields(*this);
        if (campi_.vuoto()) {
            // nothing declared: no row, and nothing more to come
            break;
        }
        dati.record.push_back({variabili_, campi_});
    }
    campi_.pulisci();
    setProgress(100);
    return dati;
}

DatiStampa LavoroStampa::campione() {
    DatiStampa dati;
    designMode_ = true;
    ultimo_ = false;
    variabili_ = std::make_shared<Valori>();
    if (OnDefineVariables) {
        OnDefineVariables(*this);
    }
    dati.variabili = variabili_;
    campi_.pulisci();
    if (OnDefineFields) {
        OnDefineFields(*this);
    }
    if (!campi_.vuoto()) {
        dati.record.push_back({variabili_, campi_});
    }
    campi_.pulisci();
    designMode_ = false;
    return dati;
}

} // namespace quintar::report
