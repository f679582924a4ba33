#include "production/traccia.h"

#include "session/formati.h"

#include <algorithm>
#include <set>

namespace quintar::traccia {

namespace {

const QDate kPrimaData(1900, 1, 1);
const QDate kUltimaData(9999, 12, 31);

// The batch columns every forward row and every batch search carries.
const QString kColonneFabbric =
    QStringLiteral("F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, F.STATUS, F.IDORDINEIMPMAT, "
                   "F.QUANTITALITRI, F.UNITAMISURA, F.DATAIMPEGNO, F.DATAFINE,");

QString letterale(Origine o) {
    return QStringLiteral("CAST('%1' AS VARCHAR(14))").arg(testoOrigine(o));
}

// The positions of the named columns in a statement's rows, found once per
// trace rather than once per row.
class Colonne {
public:
    explicit Colonne(const Query& q) : q_(q) {}
    Campo operator()(const char* nome) {
        auto it = posizioni_.find(nome);
        if (it == posizioni_.end()) {
            const int i = q_.indexOf(QString::fromLatin1(nome));
            if (i < 0) {
                throw DbError(QStringLiteral("Campo '%1' non trovato").arg(QLatin1String(nome)));
            }
            it = posizioni_.emplace(nome, i).first;
        }
        return q_.field(it->second);
    }

private:
    const Query& q_;
    std::map<const char*, int> posizioni_;
};

Fabbricazione leggiFabbricazione(Colonne& q) {
    Fabbricazione f;
    const Campo id = q("ID");
    if (!id.isNull()) {
        f.id = id.asInteger();
    }
    f.codice = q("CODICE").asString();
    f.data = q("DATA").asDate();
    f.lotto = q("LOTTO").asString();
    f.nomeProdotto = q("NOMEPRODOTTO").asString();
    f.stato = q("STATUS").asString();
    f.idOrdine = q("IDORDINEIMPMAT").asString().trimmed();
    const Campo quantita = q("QUANTITALITRI");
    if (!quantita.isNull()) {
        f.quantita = quantita.asFloat();
    }
    f.unita = q("UNITAMISURA").asString();
    const Campo impegno = q("DATAIMPEGNO");
    if (!impegno.isNull()) {
        f.dataImpegno = impegno.asDateTime();
    }
    const Campo fine = q("DATAFINE");
    if (!fine.isNull()) {
        f.dataFine = fine.asDateTime();
    }
    return f;
}

Origine origineDaTesto(const QString& t) {
    if (t == testoOrigine(Origine::Pesata)) {
        return Origine::Pesata;
    }
    if (t == testoOrigine(Origine::Consumo)) {
        return Origine::Consumo;
    }
    return Origine::NessunaPesata;
}

Prelievo leggiPrelievo(Colonne& q) {
    Prelievo p;
    p.origine = origineDaTesto(q("ORIGINE").asString().trimmed());
    const Campo nriga = q("NRIGA");
    p.nriga = nriga.isNull() ? 0 : int(nriga.asInteger());
    p.materia = q("MATERIA").asString();
    p.descrizione = q("DESCRIZIONE").asString();
    p.seriale = q("SERIALE").asString();
    p.lottoFornitore = q("LOTTOFORNITORE").asString();
    p.fornitore = q("FORNITORE").asString();
    p.ragioneSocialeFornitore = q("RAGSOCFORNITORE").asString();
    const Campo quantita = q("QUANTITA");
    if (!quantita.isNull()) {
        p.quantita = quantita.asFloat();
    }
    // shown as every screen shows a moment: dd/mm/yyyy hh:mm:ss
    p.dataOra = quintar::Formati::dataOraInTesto(q("DATAORA").asDateTime());
    p.bilancia = q("BILANCIA").asString();
    p.operatore = q("OPERATORE").asString();
    return p;
}

// "?, ?, ... ?" for a group of host lookups.
QString segnaposti() {
    QStringList s;
    for (int i = 0; i < kGruppoRicerca; ++i) {
        s << QStringLiteral("?");
    }
    return s.join(QStringLiteral(", "));
}

} // namespace

QString testoOrigine(Origine o) {
    switch (o) {
    case Origine::Pesata:
        return QStringLiteral("Pesata");
    case Origine::Consumo:
        return QStringLiteral("Consumo");
    case Origine::NessunaPesata:
        break;
    }
    return QStringLiteral("Nessuna pesata");
}

Frase fraseFabbricazioni(const QString& lottoOIdentificativo) {
    const QString t = lottoOIdentificativo.trimmed();
    bool numero = false;
    const qint64 id = t.toLongLong(&numero);
    Frase f;
    f.sql = {QStringLiteral("SELECT ") + kColonneFabbric.chopped(1),
             QStringLiteral("FROM FABBRIC F"), QStringLiteral("WHERE F.LOTTO = ? OR F.ID = ?"),
             QStringLiteral("ORDER BY F.DATA, F.CODICE, F.LOTTO")};
    f.parametri = {t, numero ? QVariant(id) : QVariant()};
    return f;
}

Frase fraseIndietro(const Fabbricazione& fab) {
    const QVariant id = fab.id ? QVariant(*fab.id) : QVariant();
    Frase f;
    f.sql = {
        // every line with the weighings assigned to it; a line with neither
        // weighing nor consumption once, as such
        QStringLiteral("SELECT A.NRIGA, A.CODICEMATERIAPRIMA AS MATERIA, "
                       "M.NOMECOMMERCIALE AS DESCRIZIONE,"),
        QStringLiteral("  CASE WHEN P.ID IS NULL THEN %1 ELSE %2 END AS ORIGINE,")
            .arg(letterale(Origine::NessunaPesata), letterale(Origine::Pesata)),
        QStringLiteral("  P.BARCODE_LOTTO_MATERIA AS SERIALE, P.LOTTOMATERIAPRIMA AS "
                       "LOTTOFORNITORE,"),
        QStringLiteral("  P.CODICEFORNITORE AS FORNITORE, R.RAGSOC AS RAGSOCFORNITORE, P.PESO AS "
                       "QUANTITA,"),
        QStringLiteral("  P.DATAORA, P.BILANCIA, P.OPERATORE, P.ID AS RIF"),
        QStringLiteral("FROM FABBCOMPON A"),
        QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = A.CODICEMATERIAPRIMA"),
        QStringLiteral("  LEFT JOIN PESATE_FABBR P ON P.BARCODE = A.SERIALE AND "
                       "P.ID_FABBRICAZIONE = ?"),
        QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = P.CODICEFORNITORE"),
        QStringLiteral("WHERE A.CODICEFABBRICAZIONE = ? AND A.DATAFABBRICAZIONE = ? AND "
                       "A.LOTTOFABBRICAZIONE = ?"),
        QStringLiteral("  AND (P.ID IS NOT NULL OR NOT EXISTS (SELECT 1 FROM CONSUMI C"),
        QStringLiteral("    WHERE C.ID_FABBRICAZIONE = ? AND C.CODICEMATERIA = "
                       "A.CODICEMATERIAPRIMA))"),
        QStringLiteral("UNION ALL"),
        // the consumption lines, under the line of the material they cover
        QStringLiteral("SELECT COALESCE((SELECT MIN(B.NRIGA) FROM FABBCOMPON B"),
        QStringLiteral("    WHERE B.CODICEFABBRICAZIONE = ? AND B.DATAFABBRICAZIONE = ? AND "
                       "B.LOTTOFABBRICAZIONE = ?"),
        QStringLiteral("    AND B.CODICEMATERIAPRIMA = C.CODICEMATERIA), 0),"),
        QStringLiteral("  C.CODICECONSUMATO, M.NOMECOMMERCIALE, %1, C.SERIALE, C.LOTTO,")
            .arg(letterale(Origine::Consumo)),
        QStringLiteral("  CAST(NULL AS VARCHAR(20)), CAST(NULL AS VARCHAR(128)), C.QUANTITA,"),
        QStringLiteral("  CAST(NULL AS VARCHAR(24)), CAST(NULL AS VARCHAR(10)), CAST(NULL AS "
                       "VARCHAR(30)), C.ID_CONSUMI"),
        QStringLiteral("FROM CONSUMI C"),
        QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = C.CODICECONSUMATO"),
        QStringLiteral("WHERE C.ID_FABBRICAZIONE = ?"),
        // line, origin, then the row's own key
        QStringLiteral("ORDER BY 1, 4, 13")};
    f.parametri = {id, fab.codice, fab.data, fab.lotto, id, fab.codice, fab.data, fab.lotto, id};
    return f;
}

Frase fraseAvanti(const Ricerca& r) {
    const QDate dal = r.dal.isValid() ? r.dal : kPrimaData;
    const QDate al = r.al.isValid() ? r.al : kUltimaData;
    const QString valore = r.valore.trimmed();
    QString condPesata, condConsumo;
    switch (r.chiave) {
    case Chiave::LottoFornitore:
        condPesata = QStringLiteral("P.LOTTOMATERIAPRIMA = ?");
        condConsumo = QStringLiteral("C.LOTTO = ?");
        break;
    case Chiave::Seriale:
        condPesata = QStringLiteral("P.BARCODE_LOTTO_MATERIA = ?");
        condConsumo = QStringLiteral("C.SERIALE = ?");
        break;
    case Chiave::Materia:
        condPesata = QStringLiteral("P.CODICEMATERIAPRIMA = ?");
        condConsumo = QStringLiteral("C.CODICECONSUMATO = ?");
        break;
    }
    Frase f;
    f.sql = {
        QStringLiteral("SELECT ") + kColonneFabbric,
        QStringLiteral("  %1 AS ORIGINE, CAST(NULL AS INTEGER) AS NRIGA,")
            .arg(letterale(Origine::Pesata)),
        QStringLiteral("  P.CODICEMATERIAPRIMA AS MATERIA, M.NOMECOMMERCIALE AS DESCRIZIONE,"),
        QStringLiteral("  P.BARCODE_LOTTO_MATERIA AS SERIALE, P.LOTTOMATERIAPRIMA AS "
                       "LOTTOFORNITORE,"),
        QStringLiteral("  P.CODICEFORNITORE AS FORNITORE, R.RAGSOC AS RAGSOCFORNITORE, P.PESO AS "
                       "QUANTITA,"),
        QStringLiteral("  P.DATAORA, P.BILANCIA, P.OPERATORE, P.ID AS RIF"),
        QStringLiteral("FROM PESATE_FABBR P"),
        QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
        QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = P.CODICEMATERIAPRIMA"),
        QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = P.CODICEFORNITORE"),
        QStringLiteral("WHERE ") + condPesata + QStringLiteral(" AND F.DATA >= ? AND F.DATA <= ?"),
        QStringLiteral("UNION ALL"),
        QStringLiteral("SELECT ") + kColonneFabbric,
        QStringLiteral("  %1, CAST(NULL AS INTEGER),").arg(letterale(Origine::Consumo)),
        QStringLiteral("  C.CODICECONSUMATO, M.NOMECOMMERCIALE, C.SERIALE, C.LOTTO,"),
        QStringLiteral("  CAST(NULL AS VARCHAR(20)), CAST(NULL AS VARCHAR(128)), C.QUANTITA,"),
        QStringLiteral("  CAST(NULL AS VARCHAR(24)), CAST(NULL AS VARCHAR(10)), CAST(NULL AS "
                       "VARCHAR(30)), C.ID_CONSUMI"),
        QStringLiteral("FROM CONSUMI C"),
        QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE"),
        QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = C.CODICECONSUMATO"),
        QStringLiteral("WHERE ") + condConsumo +
            QStringLiteral(" AND F.DATA >= ? AND F.DATA <= ?")};
    f.parametri = {valore, dal, al, valore, dal, al};
    if (r.chiave == Chiave::Materia) {
        // a material is also used by the batches that have it on a line
        // still without weighing or consumption
        f.sql << QStringLiteral("UNION ALL") << QStringLiteral("SELECT ") + kColonneFabbric
              << QStringLiteral("  %1, A.NRIGA,").arg(letterale(Origine::NessunaPesata))
              << QStringLiteral("  A.CODICEMATERIAPRIMA, M.NOMECOMMERCIALE, CAST(NULL AS "
                                "VARCHAR(30)), CAST(NULL AS VARCHAR(30)),")
              << QStringLiteral("  CAST(NULL AS VARCHAR(20)), CAST(NULL AS VARCHAR(128)), "
                                "CAST(NULL AS DOUBLE PRECISION),")
              << QStringLiteral("  CAST(NULL AS VARCHAR(24)), CAST(NULL AS VARCHAR(10)), "
                                "CAST(NULL AS VARCHAR(30)), A.NRIGA")
              << QStringLiteral("FROM FABBCOMPON A")
              << QStringLiteral("  INNER JOIN FABBRIC F ON F.CODICE = A.CODICEFABBRICAZIONE AND "
                                "F.DATA = A.DATAFABBRICAZIONE AND F.LOTTO = A.LOTTOFABBRICAZIONE")
              << QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = A.CODICEMATERIAPRIMA")
              << QStringLiteral("WHERE A.CODICEMATERIAPRIMA = ? AND A.DATAFABBRICAZIONE >= ? AND "
                                "A.DATAFABBRICAZIONE <= ?")
              << QStringLiteral("  AND NOT EXISTS (SELECT 1 FROM PESATE_FABBR P WHERE P.BARCODE "
                                "= A.SERIALE AND P.ID_FABBRICAZIONE = F.ID)")
              << QStringLiteral("  AND NOT EXISTS (SELECT 1 FROM CONSUMI C WHERE "
                                "C.ID_FABBRICAZIONE = F.ID AND C.CODICEMATERIA = "
                                "A.CODICEMATERIAPRIMA)");
        f.parametri.insert(f.parametri.end(), {valore, dal, al});
    }
    // batch date, product, lot, then the row's origin and its own key
    f.sql << QStringLiteral("ORDER BY 3, 2, 4, 12, 24");
    return f;
}

std::vector<RigaComponente> raggruppaPerRiga(const std::vector<Prelievo>& flat) {
    std::vector<RigaComponente> righe;
    std::vector<bool> materiaDellaRiga; // taken from a row that is not a consumption
    std::vector<Prelievo> senzaRiga;
    for (const Prelievo& p : flat) {
        if (p.nriga == 0) {
            senzaRiga.push_back(p);
            continue;
        }
        auto it = std::find_if(righe.begin(), righe.end(),
                               [&](const RigaComponente& r) { return r.nriga == p.nriga; });
        if (it == righe.end()) {
            RigaComponente r;
            r.nriga = p.nriga;
            // the line's own material: a consumption may name an analogue
            r.materia = p.materia;
            r.descrizione = p.descrizione;
            righe.push_back(r);
            materiaDellaRiga.push_back(false);
            it = righe.end() - 1;
        }
        const size_t k = size_t(it - righe.begin());
        if (p.origine != Origine::Consumo && !materiaDellaRiga[k]) {
            it->materia = p.materia;
            it->descrizione = p.descrizione;
            materiaDellaRiga[k] = true;
        }
        it->prelievi.push_back(p);
    }
    std::stable_sort(
        righe.begin(), righe.end(),
        [](const RigaComponente& a, const RigaComponente& b) { return a.nriga < b.nriga; });
    if (!senzaRiga.empty()) {
        RigaComponente r;
        r.nriga = 0;
        r.prelievi = std::move(senzaRiga);
        righe.push_back(std::move(r));
    }
    return righe;
}

// ------------------------------------------------------------ Tracciatore

Tracciatore::Tracciatore(Database* azienda, Database* erp)
    : az_(azienda), erp_(erp && erp->connected() ? erp : nullptr), trAz_(azienda),
      qFabbricazioni_(azienda, &trAz_), qIndietro_(azienda, &trAz_), qAvanti_(azienda, &trAz_) {
    if (erp_) {
        trErp_ = std::make_unique<Transaction>(erp_);
        qSeriali_ = std::make_unique<Query>(erp_, trErp_.get());
        qSeriali_->SQL = {QStringLiteral("SELECT S.SERIALE, L.CODICEFORNITORE, R.RAGSOC"),
                          QStringLiteral("FROM SERIALI S"),
                          QStringLiteral("  LEFT JOIN LOTTI L ON L.ID = S.IDLOTTO"),
                          QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = L.CODICEFORNITORE"),
                          QStringLiteral("WHERE S.SERIALE IN (") + segnaposti() + ')'};
        qOrdini_ = std::make_unique<Query>(erp_, trErp_.get());
        qOrdini_->SQL = {QStringLiteral("SELECT O.ID, O.NDOCUMENTO, O.DATADOCUMENTO, "
                                        "O.CODICECLIENTE, C.RAGSOC"),
                         QStringLiteral("FROM ORDC O"),
                         QStringLiteral("  LEFT JOIN CLIENTI C ON C.CODICE = O.CODICECLIENTE"),
                         QStringLiteral("WHERE O.ID IN (") + segnaposti() + ')'};
    }
}

Tracciatore::~Tracciatore() = default;

void Tracciatore::aggiorna() {
    if (trAz_.active()) {
        trAz_.rollback();
    }
    if (trErp_ && trErp_->active()) {
        trErp_->rollback();
    }
}

std::vector<Fabbricazione> Tracciatore::fabbricazioni(const QString& lottoOIdentificativo) {
    const Frase f = fraseFabbricazioni(lottoOIdentificativo);
    qFabbricazioni_.SQL = f.sql;
    qFabbricazioni_.setParams(f.parametri);
    std::vector<Fabbricazione> r;
    Colonne c(qFabbricazioni_);
    for (qFabbricazioni_.open(); !qFabbricazioni_.eof(); qFabbricazioni_.next()) {
        r.push_back(leggiFabbricazione(c));
    }
    qFabbricazioni_.close();
    return r;
}

Indietro Tracciatore::indietro(const Fabbricazione& fab) {
    Indietro r;
    r.fabbricazione = fab;
    const Frase f = fraseIndietro(fab);
    qIndietro_.SQL = f.sql;
    qIndietro_.setParams(f.parametri);
    Colonne c(qIndietro_);
    for (qIndietro_.open(); !qIndietro_.eof(); qIndietro_.next()) {
        r.flat.push_back(leggiPrelievo(c));
    }
    qIndietro_.close();
    completaFornitori(r.flat);
    r.righe = raggruppaPerRiga(r.flat);
    return r;
}

// A consumption line knows its package serial and lot; the supplier is the
// host's, from the lot of the serial.
void Tracciatore::completaFornitori(std::vector<Prelievo>& righe) {
    if (!qSeriali_) {
        return;
    }
    std::vector<QString> seriali;
    for (const Prelievo& p : righe) {
        if (p.origine == Origine::Consumo && p.fornitore.isEmpty() && !p.seriale.isEmpty() &&
            std::find(seriali.begin(), seriali.end(), p.seriale) == seriali.end()) {
            seriali.push_back(p.seriale);
        }
    }
    std::map<QString, std::pair<QString, QString>> trovati;
    for (size_t i = 0; i < seriali.size(); i += kGruppoRicerca) {
        std::vector<QVariant> v;
        for (size_t j = i; j < i + kGruppoRicerca; ++j) {
            v.push_back(j < seriali.size() ? QVariant(seriali[j]) : QVariant());
        }
        qSeriali_->setParams(std::move(v));
        for (qSeriali_->open(); !qSeriali_->eof(); qSeriali_->next()) {
            trovati[qSeriali_->field(0).asString()] = {qSeriali_->field(1).asString(),
                                                       qSeriali_->field(2).asString()};
        }
        qSeriali_->close();
    }
    for (Prelievo& p : righe) {
        auto it = trovati.find(p.seriale);
        if (p.origine == Origine::Consumo && it != trovati.end()) {
            p.fornitore = it->second.first;
            p.ragioneSocialeFornitore = it->second.second;
        }
    }
}

Avanti Tracciatore::avanti(const Ricerca& ricerca) {
    Avanti r;
    if (ricerca.valore.trimmed().isEmpty()) {
        return r;
    }
    const Frase f = fraseAvanti(ricerca);
    qAvanti_.SQL = f.sql;
    qAvanti_.setParams(f.parametri);
    Colonne c(qAvanti_);
    for (qAvanti_.open(); !qAvanti_.eof(); qAvanti_.next()) {
        r.utilizzi.push_back({leggiFabbricazione(c), leggiPrelievo(c)});
    }
    qAvanti_.close();
    std::vector<Prelievo> prelievi;
    prelievi.reserve(r.utilizzi.size());
    for (const Utilizzo& u : r.utilizzi) {
        prelievi.push_back(u.prelievo);
    }
    completaFornitori(prelievi);
    for (size_t i = 0; i < prelievi.size(); ++i) {
        r.utilizzi[i].prelievo = prelievi[i];
    }
    leggiOrdini(r);
    return r;
}

// The customer order of every committed batch found, from the host archive.
void Tracciatore::leggiOrdini(Avanti& a) {
    std::vector<qint64> id;
    for (const Utilizzo& u : a.utilizzi) {
        bool ok = false;
        const qint64 n = u.fabbricazione.idOrdine.toLongLong(&ok);
        if (ok && std::find(id.begin(), id.end(), n) == id.end()) {
            id.push_back(n);
        }
        if (!u.fabbricazione.idOrdine.isEmpty()) {
            a.ordini.emplace(u.fabbricazione.idOrdine, Ordine{});
        }
    }
    if (!qOrdini_) {
        return;
    }
    for (size_t i = 0; i < id.size(); i += kGruppoRicerca) {
        std::vector<QVariant> v;
        for (size_t j = i; j < i + kGruppoRicerca; ++j) {
            v.push_back(j < id.size() ? QVariant(id[j]) : QVariant());
        }
        qOrdini_->setParams(std::move(v));
        for (qOrdini_->open(); !qOrdini_->eof(); qOrdini_->next()) {
            Ordine o;
            o.trovato = true;
            o.numero = qOrdini_->field(1).asString();
            o.data = qOrdini_->field(2).asDate();
            o.cliente = qOrdini_->field(3).asString();
            o.ragioneSociale = qOrdini_->field(4).asString();
            a.ordini[QString::number(qOrdini_->field(0).asInteger())] = o;
        }
        qOrdini_->close();
    }
}

} // namespace quintar::traccia
