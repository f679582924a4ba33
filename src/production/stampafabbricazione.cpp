#include "production/stampafabbricazione.h"

#include "formulation/formul.h"
#include "production/materie.h"
#include "production/quantita.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <cmath>

namespace quintar::produzione {

namespace {

using report::Dato;
using report::TipoDato;

Dato testo(const QString& t) {
    return {t, TipoDato::Testo};
}

Dato numero(double v) {
    return {QString::number(v, 'g', 15), TipoDato::Numero};
}

// The field `nome` of the row set to `d`, added at the end when missing.
void imposta(RigaReport& r, const QString& nome, Dato d) {
    for (auto& [n, v] : r) {
        if (n.compare(nome, Qt::CaseInsensitive) == 0) {
            v = std::move(d);
            return;
        }
    }
    r.emplace_back(nome, std::move(d));
}

QString testoCampo(const Campo& c) {
    return c.isNull() ? QString() : c.asString();
}

const Dato* trova(const RigaReport& r, const QString& nome) {
    for (const auto& [n, d] : r) {
        if (n.compare(nome, Qt::CaseInsensitive) == 0) {
            return &d;
        }
    }
    return nullptr;
}

const QString kCompon = QStringLiteral("COMPON");
const QString kCritici = QStringLiteral("COMPCRITICI");

} // namespace

int avanzamentoStampa(int raggiunte, int totali) {
    if (totali <= 0) {
        return 100;
    }
    return int(std::lround(100.0 * raggiunte / totali));
}

QStringList sqlCriticiProdotto(const LottoCorrente& lotto) {
    return {QStringLiteral("SELECT B.NRIGA,B.CODICEMATERIAPRIMA,"),
            QStringLiteral("C.NOMECOMMERCIALE AS DESCRIZIONE,B.PERCENTUALE,"),
            QStringLiteral("B.ACCETTABILITA,B.MATERIAATTIVAREALE,"),
            QStringLiteral("C.COMPOSIZIONE,B.RANGE,"),
            QStringLiteral("C.MATERIAATTIVA,D.DENSITA,B.CODICEFORMULAZIONE"),
            QStringLiteral("FROM PRODOT A LEFT JOIN COMPON B ON"),
            QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICEFORMULAZIONE)"),
            QStringLiteral("LEFT JOIN MATER C ON (B.CODICEMATERIAPRIMA=C.CODICE)"),
            QStringLiteral("LEFT JOIN FORMUL D ON (A.CODICEFORMULAZIONE=D.CODICE)"),
            lotto.vuoto()
                ? QStringLiteral("WHERE (A.CODICE IS NULL)")
                : QStringLiteral("WHERE (A.CODICE=%1)").arg(sql::testoNonNullo(lotto.codice)),
            QStringLiteral("AND(B.CRITICO='1')"),
            QStringLiteral("ORDER BY B.NRIGA")};
}

SchedaInStampa::Elenco SchedaInStampa::leggi(Query& q, const QString& prefisso, bool doppio) {
    Elenco e;
    std::vector<QString> nomi;
    for (const InfoCampo& f : q.fields()) {
        nomi.push_back(prefisso + '.' + f.nome + (doppio ? '.' + f.nome : QString()));
    }
    for (int i = 0; i < q.fieldCount(); ++i) {
        e.colonne.emplace_back(nomi[size_t(i)],
                               report::datoDaCampo(Campo(&q.fields()[size_t(i)], {})));
    }
    for (; !q.eof(); q.next()) {
        RigaReport r;
        for (int i = 0; i < q.fieldCount(); ++i) {
            r.emplace_back(nomi[size_t(i)], report::datoDaCampo(q.field(i)));
        }
        e.righe.push_back(std::move(r));
    }
    q.close();
    return e;
}

void SchedaInStampa::carica(Query& q, const LottoCorrente& lotto, TestataStampa t) {
    testata_ = std::move(t.colonne);
    const bool daSemilavorato = t.fabbricazioneDa == QLatin1String("SM");
    imposta(testata_, QStringLiteral("FABBRICAZIONEDA"),
            testo(daSemilavorato ? QStringLiteral("SM") : QStringLiteral("MP")));
    imposta(testata_, QStringLiteral("RIEMPITRICE"), testo(t.descrizioneRiempitrice));
    imposta(testata_, QStringLiteral("NUMEROCONTENITORI"), testo(t.numeroContenitori));
    imposta(testata_, QStringLiteral("CAPACITACONTENITORE1"), testo(t.capacita));
    imposta(
        testata_, QStringLiteral("SCADENZA"),
        testo(t.scadenza.isValid() ? t.scadenza.toString(QStringLiteral("yyyy MM")) : QString()));

    // the formulation and its edition
    QString formulazione;
    QString edizione;
    QString revisione;
    Dato dataRevisione = testo(QString());
    if (!lotto.vuoto()) {
        q.SQL = {QStringLiteral("SELECT A.CODICEFORMULAZIONE,B.EDIZIONE,B.REVISIONE,"
                                "B.DATAULTIMAREVISIONE"),
                 QStringLiteral("FROM PRODOT A LEFT JOIN FORMUL B ON"),
                 QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICE)"),
                 QStringLiteral("WHERE A.CODICE=") + sql::testoNonNullo(lotto.codice)};
        q.open();
        if (!q.eof()) {
            formulazione = testoCampo(q.field(0));
            edizione = testoCampo(q.field(1));
            revisione = testoCampo(q.field(2));
            if (!q.field(3).isNull()) {
                dataRevisione = report::datoDaCampo(q.field(3));
            }
        }
        q.close();
    }
    imposta(testata_, QStringLiteral("PROCEDURAOPERATIVA"), testo(formulazione));
    imposta(testata_, QStringLiteral("PO_EDIZIONE"), testo(edizione));
    imposta(testata_, QStringLiteral("PO_REVISIONE"), testo(revisione));
    imposta(testata_, QStringLiteral("PO_DATAULTIMAREVISIONE"), dataRevisione);

    leggiComponenti(q, lotto);
    leggiCritici(q, lotto);

    if (daSemilavorato) {
        // the semi-finished batch stands for the lines it was made from
        RigaReport r = compon_.righe.empty() ? compon_.colonne : compon_.righe.front();
        QString nome;
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("  COALESCE(NOME,'') AS NOME"),
                 QStringLiteral("FROM"),
                 QStringLiteral("  PRODOT"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  CODICE=") + sql::testoNonNullo(t.codiceSemilavorato)};
        q.open();
        if (!q.eof()) {
            nome = testoCampo(q.field(0));
        }
        q.close();
        const Dato* totale = trova(testata_, QStringLiteral("QUANTITATOTALE"));
        imposta(r, QStringLiteral("COMPON.CODICEINTERNO.CODICEINTERNO"),
                testo(t.codiceSemilavorato));
        imposta(r, QStringLiteral("COMPON.DESCRIZIONE.DESCRIZIONE"), testo(nome));
        imposta(r, QStringLiteral("COMPON.MOSTRA"), testo(QStringLiteral("1")));
        imposta(r, QStringLiteral("COMPON.ANALOGHI"), testo(QString()));
        imposta(r, QStringLiteral("COMPON.BILANCIA"), testo(QString()));
        imposta(r, QStringLiteral("COMPON.TOLLERANZA1"), testo(QString()));
        imposta(r, QStringLiteral("COMPON.QUANTITARAW"), totale ? *totale : testo(QString()));
        imposta(r, QStringLiteral("COMPON.PERCENTUALE"), numero(100));
        imposta(r, QStringLiteral("COMPON.LOTTO"), testo(t.lottoSemilavorato));
        compon_.righe = {std::move(r)};
    }

    // the filling machine's packaging lines
    std::optional<qint64> macchina;
    if (const auto n = Formati::leggiIntero(t.riempitrice.trimmed())) {
        macchina = *n;
    }
    q.SQL = {QStringLiteral("SELECT CODICERIEMPITRICE,NUMPROGRESSIVO,TESTO FROM CONFEZ"),
             macchina ? QStringLiteral("WHERE CODICERIEMPITRICE=") + sql::intero(*macchina)
                      : QStringLiteral("WHERE CODICERIEMPITRICE IS NULL"),
             QStringLiteral("ORDER BY NUMPROGRESSIVO")};
    q.open();
    confez_ = leggi(q, QStringLiteral("CONFEZ"), true);

    // the formulation's procedure
    q.SQL = {QStringLiteral("SELECT B.NRIGA,B.TESTO,B.EVIDENZA,B.CODICEFORMULAZIONE"),
             QStringLiteral("FROM PRODOT A LEFT JOIN PROCED B ON"),
             QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICEFORMULAZIONE)"),
             lotto.vuoto()
                 ? QStringLiteral("WHERE (A.CODICE IS NULL)")
                 : QStringLiteral("WHERE (A.CODICE=%1)").arg(sql::testoNonNullo(lotto.codice)),
             QStringLiteral("ORDER BY B.NRIGA")};
    q.open();
    proced_ = leggi(q, QStringLiteral("PROCED"), true);
    // a formulation without procedure joins as one empty row: no line
    std::erase_if(proced_.righe, [](const RigaReport& r) { return r.front().second.nullo(); });

    for (Elenco* e : {&confez_, &proced_}) {
        const QString nome = e == &confez_ ? QStringLiteral("CONFEZ.MOSTRA.MOSTRA")
                                           : QStringLiteral("PROCED.MOSTRA.MOSTRA");
        e->colonne.emplace_back(nome, testo(QStringLiteral("0")));
        for (RigaReport& r : e->righe) {
            r.emplace_back(nome, testo(QStringLiteral("1")));
        }
    }
}

void SchedaInStampa::leggiComponenti(Query& q, const LottoCorrente& lotto) {
    q.SQL = sqlComponentiLotto(lotto);
    q.open();
    compon_ = leggi(q, kCompon, true);

    const double densita = densitaPerQuantita(lotto.unitaMisura, lotto.densitaProdotto.value_or(0));
    const double quantita = lotto.quantita.value_or(0);
    auto valore = [](const RigaReport& r, const QString& colonna) {
        return trova(r, QStringLiteral("COMPON.") + colonna + '.' + colonna);
    };
    auto numeroDi = [&](const RigaReport& r, const QString& colonna) {
        const Dato* d = valore(r, colonna);
        return d && !d->nullo() ? d->testo.toDouble() : 0.0;
    };
    auto testoDi = [&](const RigaReport& r, const QString& colonna) {
        const Dato* d = valore(r, colonna);
        return d && !d->nullo() ? d->testo : QString();
    };

    // the batch's figures, as the components page shows them with its first line
    std::vector<double> percentuali;
    for (const RigaReport& r : compon_.righe) {
        percentuali.push_back(numeroDi(r, QStringLiteral("PERCENTUALE")));
    }
    const AcquaAddolcita a = acquaAddolcita(percentuali, quantita, densita);
    imposta(testata_, QStringLiteral("PERCENTUALEACQUA"),
            testo(Formati::numeroInTesto(a.percentuale)));
    imposta(testata_, QStringLiteral("QUANTITAACQUA"),
            testo(Formati::numeroConMigliaia(a.quantita, 2, 0)));
    imposta(testata_, QStringLiteral("TOLLERANZATOTALE"),
            testo(Formati::numeroConMigliaia(a.tolleranza, 2, 0)));
    imposta(testata_, QStringLiteral("QUANTITATOTALE"),
            testo(lotto.vuoto() ? QString()
                                : Formati::numeroInTesto(quantitaTotale(quantita, densita))));
    imposta(
        testata_, QStringLiteral("DENSITA"),
        testo(lotto.densitaProdotto ? Formati::numeroInTesto(*lotto.densitaProdotto) : QString()));
    const RigaReport* prima = compon_.righe.empty() ? nullptr : &compon_.righe.front();
    auto dellaPrima = [&](const char* colonna) {
        return prima ? testoDi(*prima, QString::fromLatin1(colonna)) : QString();
    };
    auto numeroMostrato = [](const QString& t) {
        const bool ok = !t.isEmpty();
        return ok ? Formati::numeroInTesto(t.toDouble()) : QString();
    };
    imposta(testata_, QStringLiteral("APPRDENSITA"),
            testo(numeroMostrato(dellaPrima("TOLLERANZADENSITA"))));
    imposta(testata_, QStringLiteral("PH"), testo(numeroMostrato(dellaPrima("PH"))));
    imposta(testata_, QStringLiteral("APPRPH"), testo(numeroMostrato(dellaPrima("TOLLERANZAPH"))));

    // each line: what it weighs, on which scale, within which tolerance, and
    // the names of its analogues
    compon_.colonne.emplace_back(QStringLiteral("COMPON.MOSTRA"), testo(QStringLiteral("0")));
    for (const char* c : {"ANALOGHI", "QUANTITARAW", "BILANCIA", "TOLLERANZA1", "LOTTO"}) {
        compon_.colonne.emplace_back(QStringLiteral("COMPON.") + QString::fromLatin1(c),
                                     testo(QString()));
    }
    compon_.colonne.emplace_back(QStringLiteral("COMPON.PERCENTUALE"),
                                 Dato{report::kNullo, TipoDato::Numero});
    for (RigaReport& r : compon_.righe) {
        const double percentuale = numeroDi(r, QStringLiteral("PERCENTUALE"));
        const PesataRiga p =
            pesataRiga(percentuale, quantita, densita, numeroDi(r, QStringLiteral("TOLLERANZA")));
        QString analoghi;
        if (const QString analogo = testoDi(r, QStringLiteral("CODICEANALOGO")).trimmed();
            !analogo.isEmpty()) {
            q.SQL = {QStringLiteral("SELECT NOMECOMMERCIALE FROM MATER WHERE"),
                     QStringLiteral("CODICEANALOGO=") + sql::testoNonNullo(analogo),
                     QStringLiteral("ORDER BY CODICE")};
            analoghi = q.primaColonna().join(QStringLiteral(", "));
        }
        r.emplace_back(QStringLiteral("COMPON.MOSTRA"), testo(QStringLiteral("1")));
        r.emplace_back(QStringLiteral("COMPON.ANALOGHI"), testo(analoghi));
        r.emplace_back(QStringLiteral("COMPON.QUANTITARAW"),
                       testo(Formati::numeroInTesto(p.quantitaPesata)));
        r.emplace_back(QStringLiteral("COMPON.BILANCIA"),
                       testo(p.bilancia > 0 ? QString::number(p.bilancia) : QString()));
        r.emplace_back(QStringLiteral("COMPON.TOLLERANZA1"),
                       testo(p.tolleranza ? Formati::numeroInTesto(*p.tolleranza) : QString()));
        r.emplace_back(QStringLiteral("COMPON.LOTTO"), testo(QString()));
        r.emplace_back(QStringLiteral("COMPON.PERCENTUALE"), numero(percentuale));
    }
}

void SchedaInStampa::leggiCritici(Query& q, const LottoCorrente& lotto) {
    q.SQL = sqlCriticiProdotto(lotto);
    q.open();
    critici_ = leggi(q, kCritici, false);
    std::vector<ValoriCritici> valori;
    for (const RigaReport& r : critici_.righe) {
        auto n = [&r](const char* colonna) -> std::optional<double> {
            const Dato* d = trova(r, QStringLiteral("COMPCRITICI.") + QString::fromLatin1(colonna));
            return d && !d->nullo() ? std::optional<double>(d->testo.toDouble()) : std::nullopt;
        };
        RigaCritica c;
        c.percentuale = n("PERCENTUALE");
        c.materiaAttiva = n("MATERIAATTIVA");
        c.materiaAttivaReale = n("MATERIAATTIVAREALE");
        valori.push_back(
            valoriCritici(c, lotto.quantita, n("DENSITA"), lottoInKg(lotto.unitaMisura)));
    }
    for (const char* c : {"PERCENTUALEAGGIORNATA", "QUANTITAKG1", "QUANTITAKG"}) {
        critici_.colonne.emplace_back(QStringLiteral("COMPCRITICI.") + QString::fromLatin1(c),
                                      testo(QString()));
    }
    critici_.colonne.emplace_back(QStringLiteral("COMPCRITICI.MOSTRA"), testo(QStringLiteral("0")));
    for (size_t i = 0; i < critici_.righe.size() && i < valori.size(); ++i) {
        RigaReport& r = critici_.righe[i];
        r.emplace_back(QStringLiteral("COMPCRITICI.PERCENTUALEAGGIORNATA"),
                       testo(formatoCosto(valori[i].percentualeAggiornata)));
        r.emplace_back(QStringLiteral("COMPCRITICI.QUANTITAKG1"),
                       testo(formatoCosto(valori[i].quantitaCalcolata)));
        r.emplace_back(QStringLiteral("COMPCRITICI.QUANTITAKG"),
                       testo(formatoCosto(valori[i].quantitaKg)));
        r.emplace_back(QStringLiteral("COMPCRITICI.MOSTRA"), testo(QStringLiteral("1")));
    }
}

void SchedaInStampa::variabili(report::LavoroStampa& j) const {
    for (const auto& [n, d] : testata_) {
        j.defineVariable(n, d.testo, d.tipo);
    }
    const QString uno = QStringLiteral("1");
    const QString zero = QStringLiteral("0");
    const bool prima = primaFase();
    j.defineVariable(QStringLiteral("FASE"), prima ? uno : QStringLiteral("2"));
    j.defineVariable(QStringLiteral("VISCOMPON"), prima && !compon_.finito() ? uno : zero);
    j.defineVariable(QStringLiteral("VISQUALITA"), prima ? uno : zero);
    j.defineVariable(QStringLiteral("VISCONFEZ"), !prima && !confez_.finito() ? uno : zero);
    j.defineVariable(QStringLiteral("VISPROCED"), prima ? zero : uno);
}

void SchedaInStampa::campi(report::LavoroStampa& j) {
    // packaging and procedure lines show from the second phase on
    const bool prima = primaFase();
    for (const Elenco* e : {&compon_, &critici_, &confez_, &proced_}) {
        const bool seconda = e == &confez_ || e == &proced_;
        for (const auto& [n, d] : prima&& seconda ? e->colonne : e->corrente()) {
            j.defineField(n, d.testo, d.tipo);
        }
    }
    j.defineField(QStringLiteral("SALTOPAGINA"), prima ? QStringLiteral("0") : QStringLiteral("1"));
    if (j.designMode()) {
        return; // the designer only asks for the names: nothing moves
    }
    const int raggiunte =
        compon_.raggiunta() + critici_.raggiunta() + confez_.raggiunta() + proced_.raggiunta();
    const int totali = componenti() + critici() + confezionamento() + procedure();
    j.setProgress(avanzamentoStampa(raggiunte, totali));
    auto avanza = [](Elenco& e) {
        if (!e.finito()) {
            ++e.posizione;
        }
    };
    if (primaFase()) {
        avanza(compon_);
        avanza(critici_);
    } else {
        avanza(confez_);
        avanza(proced_);
    }
    if (compon_.finito() && critici_.finito() && confez_.finito() && proced_.finito()) {
        j.setLastRecord();
    }
}

int assegnaCodiciPesata(Query& q, const LottoCorrente& lotto) {
    q.close();
    q.SQL = QStringList{QStringLiteral("UPDATE FABBCOMPON SET"),
                        QStringLiteral("  SERIALE='CONTEST'||LPAD(GEN_ID(SERIALE_FABBCOMPON_"
                                       "COUNTER,1), 8, '0')"),
                        QStringLiteral("WHERE")} +
            condizioneLineeLotto(lotto, QString()) +
            QStringList{QStringLiteral("  AND"), QStringLiteral("  SERIALE IS NULL"),
                        QStringLiteral("ORDER BY"), QStringLiteral("  NRIGA")};
    return q.execSQL();
}

} // namespace quintar::produzione
