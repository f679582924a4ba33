#include "production/traccia.h"

#include "session/formati.h"

#include <QTime>
#include <QVariant>
#include <algorithm>
#include <tuple>

namespace quintar::traccia {

namespace {

const QDate kPrimaData(1900, 1, 1);
const QDate kUltimaData(9999, 12, 31);

// The batch columns every forward row of the list carries.
const QString kColonneFabbric =
    QStringLiteral("F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, F.STATUS, F.IDORDINEIMPMAT, "
                   "F.QUANTITALITRI, F.UNITAMISURA, F.DATAIMPEGNO, F.DATAFINE,");
// The same for the tracer, first in each of its rows and in this order: the
// days of commitment and completion are all a trace shows of them.
const QString kColonneFabbricTraccia =
    QStringLiteral("F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, F.STATUS, F.IDORDINEIMPMAT, "
                   "F.QUANTITALITRI, F.UNITAMISURA, CAST(F.DATAIMPEGNO AS DATE) AS DATAIMPEGNO, "
                   "CAST(F.DATAFINE AS DATE) AS DATAFINE,");
constexpr int kColonneFabbricazione = 11;

QString letterale(Origine o) {
    return QStringLiteral("CAST('%1' AS VARCHAR(14))").arg(testoOrigine(o));
}

// The origins in the order of their texts, as the list sorts them.
int rango(Origine o) {
    switch (o) {
    case Origine::Consumo:
        return 0;
    case Origine::NessunaPesata:
        return 1;
    case Origine::Pesata:
        break;
    }
    return 2;
}

// Batches in the order of their key: date, product, lot.
int confrontaFabbricazioni(const Fabbricazione& a, const Fabbricazione& b) {
    if (a.data != b.data) {
        return a.data < b.data ? -1 : 1;
    }
    if (const int c = confrontaTesti(a.codice, b.codice)) {
        return c;
    }
    return confrontaTesti(a.lotto, b.lotto);
}

// Rows of one place in the order of their origin, then of their own key.
bool primaPerOrigine(const Prelievo& a, const Prelievo& b) {
    if (a.origine != b.origine) {
        return rango(a.origine) < rango(b.origine);
    }
    return a.rif < b.rif;
}

// The values of a row are read without the copies a Campo makes; a value
// of another type than expected reads as through a Campo.
QString testo(const Query& q, int i) {
    const QVariant& v = q.valore(i);
    if (!v.isValid()) {
        return {};
    }
    if (v.typeId() == QMetaType::QString) {
        return *static_cast<const QString*>(v.constData());
    }
    return q.field(i).asString();
}

qint64 intero(const Query& q, int i) {
    const QVariant& v = q.valore(i);
    return v.typeId() == QMetaType::LongLong ? v.toLongLong() : q.field(i).asInteger();
}

QDate dataDi(const Query& q, int i) {
    const QVariant& v = q.valore(i);
    return v.typeId() == QMetaType::QDate ? v.toDate() : q.field(i).asDate();
}

std::optional<double> quantita(const Query& q, int i) {
    const QVariant& v = q.valore(i);
    if (!v.isValid()) {
        return std::nullopt;
    }
    return v.typeId() == QMetaType::Double ? v.toDouble() : q.field(i).asFloat();
}

QString senzaSpaziFinali(QString t) {
    qsizetype n = t.size();
    while (n > 0 && t[n - 1] == ' ') {
        --n;
    }
    t.truncate(n);
    return t;
}

// A code as the archive compares it: null matches nothing, trailing blanks
// do not count.
std::optional<QString> codice(const Query& q, int i) {
    if (!q.valore(i).isValid()) {
        return std::nullopt;
    }
    return senzaSpaziFinali(testo(q, i));
}

// The byte of a character in the archive's character set (WIN1252).
int byteWin1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return u;
    }
    static const std::pair<char16_t, int> tabella[] = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85},
        {0x2020, 0x86}, {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A},
        {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97},
        {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C},
        {0x017E, 0x9E}, {0x0178, 0x9F}};
    for (const auto& [carattere, byte] : tabella) {
        if (carattere == u) {
            return byte;
        }
    }
    return 0x100 + u; // not in the character set: it cannot be stored
}

// The batch columns of a tracer's row.
Fabbricazione leggiFabbricazione(const Query& q) {
    Fabbricazione f;
    if (q.valore(0).isValid()) {
        f.id = intero(q, 0);
    }
    f.codice = testo(q, 1);
    f.data = dataDi(q, 2);
    f.lotto = testo(q, 3);
    f.nomeProdotto = testo(q, 4);
    f.stato = testo(q, 5);
    f.idOrdine = testo(q, 6).trimmed();
    f.quantita = quantita(q, 7);
    f.unita = testo(q, 8);
    f.dataImpegno = dataDi(q, 9);
    f.dataFine = dataDi(q, 10);
    return f;
}

// A weighing of a material: package serial, supplier lot, supplier, weight,
// moment, scale, operator and its key, from column i on.
Prelievo leggiPesata(const Query& q, QString materia, int i) {
    Prelievo p;
    p.origine = Origine::Pesata;
    p.materia = std::move(materia);
    p.seriale = testo(q, i);
    p.lottoFornitore = testo(q, i + 1);
    p.fornitore = testo(q, i + 2);
    p.quantita = quantita(q, i + 3);
    p.dataOra = testoMomento(testo(q, i + 4));
    p.bilancia = testo(q, i + 5);
    p.operatore = testo(q, i + 6);
    p.rif = intero(q, i + 7);
    return p;
}

// A consumption line: article, package serial, supplier lot, quantity and
// its key, from column i on.
Prelievo leggiConsumo(const Query& q, int i) {
    Prelievo p;
    p.origine = Origine::Consumo;
    p.materia = testo(q, i);
    p.seriale = testo(q, i + 1);
    p.lottoFornitore = testo(q, i + 2);
    p.quantita = quantita(q, i + 3);
    p.rif = intero(q, i + 4);
    return p;
}

// The values from..from+posti, the places beyond the end null.
template <typename T>
std::vector<QVariant> gruppo(const std::vector<T>& valori, size_t da, size_t posti) {
    std::vector<QVariant> v;
    v.reserve(posti);
    for (size_t j = da; j < da + posti; ++j) {
        v.push_back(j < valori.size() ? QVariant(valori[j]) : QVariant());
    }
    return v;
}

// How many values of a list the group starting at da takes.
size_t quanti(size_t totale, size_t da) {
    return std::min<size_t>(kGruppoRicerca, totale - da);
}

// What a forward search compares in each kind of row.
struct Condizioni {
    QString pesata, consumo;
};
Condizioni condizioni(Chiave c) {
    switch (c) {
    case Chiave::LottoFornitore:
        return {QStringLiteral("P.LOTTOMATERIAPRIMA = ?"), QStringLiteral("C.LOTTO = ?")};
    case Chiave::Seriale:
        return {QStringLiteral("P.BARCODE_LOTTO_MATERIA = ?"), QStringLiteral("C.SERIALE = ?")};
    case Chiave::Materia:
        break;
    }
    return {QStringLiteral("P.CODICEMATERIAPRIMA = ?"), QStringLiteral("C.CODICECONSUMATO = ?")};
}

// The lines of a batch with each weighing assigned to them and the names of
// material and supplier; bound: the batch's number, product, date and lot.
QStringList righeConPesate() {
    return {QStringLiteral("FROM FABBCOMPON A"),
            QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = A.CODICEMATERIAPRIMA"),
            QStringLiteral("  LEFT JOIN PESATE_FABBR P ON P.BARCODE = A.SERIALE AND "
                           "P.ID_FABBRICAZIONE = ?"),
            QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = P.CODICEFORNITORE"),
            QStringLiteral("WHERE A.CODICEFABBRICAZIONE = ? AND A.DATAFABBRICAZIONE = ? AND "
                           "A.LOTTOFABBRICAZIONE = ?")};
}

// A line of a batch with no weighing is without one unless its material was
// consumed; the same for the forward search of a raw material.
const QString kSenzaPesataNeConsumo =
    QStringLiteral("  AND NOT EXISTS (SELECT 1 FROM PESATE_FABBR P WHERE P.BARCODE "
                   "= A.SERIALE AND P.ID_FABBRICAZIONE = F.ID)");
const QString kSenzaConsumo = QStringLiteral("  AND NOT EXISTS (SELECT 1 FROM CONSUMI C WHERE "
                                             "C.ID_FABBRICAZIONE = F.ID AND C.CODICEMATERIA = "
                                             "A.CODICEMATERIAPRIMA)");
const QString kRigheDellaFabbricazione =
    QStringLiteral("  INNER JOIN FABBRIC F ON F.CODICE = A.CODICEFABBRICAZIONE AND "
                   "F.DATA = A.DATAFABBRICAZIONE AND F.LOTTO = A.LOTTOFABBRICAZIONE");
const QString kMateriaNelPeriodo = QStringLiteral(
    "WHERE A.CODICEMATERIAPRIMA = ? AND A.DATAFABBRICAZIONE >= ? AND A.DATAFABBRICAZIONE <= ?");

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

int confrontaTesti(const QString& a, const QString& b) {
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int x = i < a.size() ? byteWin1252(a[i]) : ' ';
        const int y = i < b.size() ? byteWin1252(b[i]) : ' ';
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

Frase fraseFabbricazioni(const QString& lottoOIdentificativo) {
    const QString t = lottoOIdentificativo.trimmed();
    bool numero = false;
    const qint64 id = t.toLongLong(&numero);
    Frase f;
    f.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia.chopped(1),
             QStringLiteral("FROM FABBRIC F"), QStringLiteral("WHERE F.LOTTO = ? OR F.ID = ?")};
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
        QStringLiteral("  P.DATAORA, P.BILANCIA, P.OPERATORE, P.ID AS RIF")};
    f.sql << righeConPesate();
    f.sql << QStringList{
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
    const Condizioni c = condizioni(r.chiave);
    const QString& condPesata = c.pesata;
    const QString& condConsumo = c.consumo;
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
              << QStringLiteral("FROM FABBCOMPON A") << kRigheDellaFabbricazione
              << QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = A.CODICEMATERIAPRIMA")
              << kMateriaNelPeriodo << kSenzaPesataNeConsumo << kSenzaConsumo;
        f.parametri.insert(f.parametri.end(), {valore, dal, al});
    }
    // batch date, product, lot, then the row's origin and its own key
    f.sql << QStringLiteral("ORDER BY 3, 2, 4, 12, 24");
    return f;
}

std::vector<Frase> frasiIndietro(const Fabbricazione& fab) {
    const QVariant id = fab.id ? QVariant(*fab.id) : QVariant();
    Frase righe;
    righe.sql = {
        // every line, with each weighing assigned to it
        QStringLiteral("SELECT A.NRIGA, A.CODICEMATERIAPRIMA, M.NOMECOMMERCIALE,"),
        QStringLiteral("  P.BARCODE_LOTTO_MATERIA, P.LOTTOMATERIAPRIMA, P.CODICEFORNITORE,"),
        QStringLiteral("  P.PESO, P.DATAORA, P.BILANCIA, P.OPERATORE, P.ID, R.RAGSOC")};
    righe.sql << righeConPesate();
    righe.parametri = {id, fab.codice, fab.data, fab.lotto};
    std::vector<Frase> r{righe};
    if (fab.id) { // without a number a batch has no consumption lines
        Frase consumi;
        consumi.sql = {QStringLiteral("SELECT C.CODICEMATERIA, M.NOMECOMMERCIALE,"),
                       QStringLiteral("  C.CODICECONSUMATO, C.SERIALE, C.LOTTO, C.QUANTITA, "
                                      "C.ID_CONSUMI"),
                       QStringLiteral("FROM CONSUMI C"),
                       QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = C.CODICECONSUMATO"),
                       QStringLiteral("WHERE C.ID_FABBRICAZIONE = ?")};
        consumi.parametri = {id};
        r.push_back(consumi);
    }
    return r;
}

std::vector<Frase> frasiAvanti(const Ricerca& r) {
    const QDate dal = r.dal.isValid() ? r.dal : kPrimaData;
    const QDate al = r.al.isValid() ? r.al : kUltimaData;
    const QString valore = r.valore.trimmed();
    const Condizioni c = condizioni(r.chiave);
    const QString periodo = QStringLiteral(" AND F.DATA >= ? AND F.DATA <= ?");
    Frase pesate;
    pesate.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                  QStringLiteral("  P.CODICEMATERIAPRIMA, P.BARCODE_LOTTO_MATERIA, "
                                 "P.LOTTOMATERIAPRIMA, P.CODICEFORNITORE,"),
                  QStringLiteral("  P.PESO, P.DATAORA, P.BILANCIA, P.OPERATORE, P.ID"),
                  QStringLiteral("FROM PESATE_FABBR P"),
                  QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
                  QStringLiteral("WHERE ") + c.pesata + periodo};
    pesate.parametri = {valore, dal, al};
    Frase consumi;
    consumi.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                   QStringLiteral("  C.CODICECONSUMATO, C.SERIALE, C.LOTTO, C.QUANTITA, "
                                  "C.ID_CONSUMI"),
                   QStringLiteral("FROM CONSUMI C"),
                   QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE"),
                   QStringLiteral("WHERE ") + c.consumo + periodo};
    consumi.parametri = {valore, dal, al};
    std::vector<Frase> f{pesate, consumi};
    if (r.chiave == Chiave::Materia) {
        Frase senza;
        senza.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                     QStringLiteral("  A.CODICEMATERIAPRIMA, A.NRIGA"),
                     QStringLiteral("FROM FABBCOMPON A"),
                     kRigheDellaFabbricazione,
                     kMateriaNelPeriodo,
                     kSenzaPesataNeConsumo,
                     kSenzaConsumo};
        senza.parametri = {valore, dal, al};
        f.push_back(senza);
    }
    return f;
}

QString testoMomento(const QString& t) {
    // "yyyy-MM-dd HH:mm:ss", with at most four decimals of a second that do
    // not round up to the next one, day first; anything else, midnight and
    // other date formats go the long way round. A moment the local clock
    // skipped (the hour lost to summer time) is shown as recorded.
    const QStringView v(t);
    auto cifre = [&](qsizetype da, qsizetype n) {
        for (qsizetype i = da; i < da + n; ++i) {
            if (v[i] < u'0' || v[i] > u'9') {
                return false;
            }
        }
        return true;
    };
    const qsizetype decimali = t.size() - 20;
    const bool forma = (t.size() == 19 ||
                        (decimali >= 1 && decimali <= 4 && v[19] == u'.' && cifre(20, decimali) &&
                         !(decimali == 4 && v.mid(20, 4) >= QLatin1String("9995")))) &&
                       cifre(0, 4) && v[4] == u'-' && cifre(5, 2) && v[7] == u'-' && cifre(8, 2) &&
                       v[10] == u' ' && cifre(11, 2) && v[13] == u':' && cifre(14, 2) &&
                       v[16] == u':' && cifre(17, 2);
    if (forma && v.mid(11, 8) != QLatin1String("00:00:00") &&
        Formati::correnti().formatoData == QLatin1String("dd/MM/yyyy") &&
        QDate(v.mid(0, 4).toInt(), v.mid(5, 2).toInt(), v.mid(8, 2).toInt()).isValid() &&
        QTime(v.mid(11, 2).toInt(), v.mid(14, 2).toInt(), v.mid(17, 2).toInt()).isValid()) {
        QString r;
        r.reserve(19);
        r.append(v.mid(8, 2)).append('/').append(v.mid(5, 2)).append('/').append(v.mid(0, 4));
        r.append(' ').append(v.mid(11, 8));
        return r;
    }
    return Formati::dataOraInTesto(QVariant(t).toDateTime());
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

// ------------------------------------------------------------ Gruppi

Gruppi::Gruppi(Database* db, Transaction* tr, QStringList frase)
    : db_(db), tr_(tr), frase_(std::move(frase)) {}

Gruppi::~Gruppi() = default;

size_t Gruppi::posti(size_t n) {
    size_t p = 1;
    while (p < n && p < size_t(kGruppoRicerca)) {
        p *= 2;
    }
    return p;
}

Query& Gruppi::per(size_t n) {
    const size_t p = posti(n);
    std::unique_ptr<Query>& q = frasi_[p];
    if (!q) {
        QStringList s;
        for (size_t i = 0; i < p; ++i) {
            s << QStringLiteral("?");
        }
        const QString segnaposti = s.join(QStringLiteral(", "));
        q = std::make_unique<Query>(db_, tr_);
        for (QString riga : frase_) {
            q->SQL << riga.replace(QLatin1String("%1"), segnaposti);
        }
    }
    return *q;
}

// ------------------------------------------------------------ Tracciatore

Tracciatore::Tracciatore(Database* azienda, Database* erp)
    : az_(azienda), erp_(erp && erp->connected() ? erp : nullptr), trAz_(azienda),
      qFabbricazioni_(azienda, &trAz_) {
    for (int i = 0; i < 3; ++i) {
        qAvanti_.push_back(std::make_unique<Query>(azienda, &trAz_));
        qIndietro_.push_back(std::make_unique<Query>(azienda, &trAz_));
    }
    nomi_ = std::make_unique<Gruppi>(
        azienda, &trAz_,
        QStringList{QStringLiteral("SELECT CAST(0 AS SMALLINT), M.CODICE, M.NOMECOMMERCIALE FROM "
                                   "MATER M WHERE M.CODICE IN (%1)"),
                    QStringLiteral("UNION ALL"),
                    QStringLiteral("SELECT CAST(1 AS SMALLINT), R.CODICE, R.RAGSOC FROM FORNITO "
                                   "R WHERE R.CODICE IN (%1)")});
    if (erp_) {
        trErp_ = std::make_unique<Transaction>(erp_);
        seriali_ = std::make_unique<Gruppi>(
            erp_, trErp_.get(),
            QStringList{QStringLiteral("SELECT S.SERIALE, L.CODICEFORNITORE, R.RAGSOC"),
                        QStringLiteral("FROM SERIALI S"),
                        QStringLiteral("  LEFT JOIN LOTTI L ON L.ID = S.IDLOTTO"),
                        QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = L.CODICEFORNITORE"),
                        QStringLiteral("WHERE S.SERIALE IN (%1)")});
        ordini_ = std::make_unique<Gruppi>(
            erp_, trErp_.get(),
            QStringList{QStringLiteral("SELECT O.ID, O.NDOCUMENTO, O.DATADOCUMENTO, "
                                       "O.CODICECLIENTE, C.RAGSOC"),
                        QStringLiteral("FROM ORDC O"),
                        QStringLiteral("  LEFT JOIN CLIENTI C ON C.CODICE = O.CODICECLIENTE"),
                        QStringLiteral("WHERE O.ID IN (%1)")});
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
    for (qFabbricazioni_.open(); !qFabbricazioni_.eof(); qFabbricazioni_.next()) {
        r.push_back(leggiFabbricazione(qFabbricazioni_));
    }
    qFabbricazioni_.close();
    // in the order of their key: date, product, lot
    std::sort(r.begin(), r.end(), [](const Fabbricazione& a, const Fabbricazione& b) {
        return confrontaFabbricazioni(a, b) < 0;
    });
    return r;
}

Indietro Tracciatore::indietro(const Fabbricazione& fab) {
    Indietro r;
    r.fabbricazione = fab;
    const std::vector<Frase> frasi = frasiIndietro(fab);
    struct Riga {
        int nriga;
        QString materia, descrizione;
        std::optional<QString> chiave; // the material as the archive compares it
    };
    std::vector<Riga> senzaPesata; // lines with no weighing, in the order read
    std::vector<Riga> righe;       // every line, for the consumption lines
    Query& q = *qIndietro_[0];
    q.SQL = frasi[0].sql;
    q.setParams(frasi[0].parametri);
    for (q.open(); !q.eof(); q.next()) {
        Riga riga{int(intero(q, 0)), testo(q, 1), testo(q, 2), codice(q, 1)};
        if (!q.valore(10).isValid()) {
            senzaPesata.push_back(riga);
        } else {
            Prelievo p = leggiPesata(q, riga.materia, 3);
            p.nriga = riga.nriga;
            p.descrizione = riga.descrizione;
            p.ragioneSocialeFornitore = testo(q, 11);
            r.flat.push_back(std::move(p));
        }
        righe.push_back(std::move(riga));
    }
    q.close();
    std::vector<QString> consumate; // the materials of the lines consumed
    if (frasi.size() > 1) {
        Query& c = *qIndietro_[1];
        c.SQL = frasi[1].sql;
        c.setParams(frasi[1].parametri);
        for (c.open(); !c.eof(); c.next()) {
            const std::optional<QString> materia = codice(c, 0);
            Prelievo p = leggiConsumo(c, 2);
            p.descrizione = testo(c, 1);
            // under the first line of the material it covers, else under none
            std::optional<int> prima;
            for (const Riga& riga : righe) {
                if (materia && riga.chiave == materia && (!prima || riga.nriga < *prima)) {
                    prima = riga.nriga;
                }
            }
            p.nriga = prima.value_or(0);
            if (materia) {
                consumate.push_back(*materia);
            }
            r.flat.push_back(std::move(p));
        }
        c.close();
    }
    for (const Riga& riga : senzaPesata) {
        if (!riga.chiave ||
            std::find(consumate.begin(), consumate.end(), *riga.chiave) == consumate.end()) {
            Prelievo p;
            p.nriga = riga.nriga;
            p.materia = riga.materia;
            p.descrizione = riga.descrizione;
            p.rif = riga.nriga;
            r.flat.push_back(std::move(p));
        }
    }
    // line, origin, then the row's own key
    std::sort(r.flat.begin(), r.flat.end(), [](const Prelievo& a, const Prelievo& b) {
        return a.nriga != b.nriga ? a.nriga < b.nriga : primaPerOrigine(a, b);
    });
    std::vector<Prelievo*> tutte;
    tutte.reserve(r.flat.size());
    for (Prelievo& p : r.flat) {
        tutte.push_back(&p);
    }
    completaFornitori(tutte);
    r.righe = raggruppaPerRiga(r.flat);
    return r;
}

// The names of the materials of every row and of the suppliers of the
// weighings, each code read once.
void Tracciatore::completaNomi(const std::vector<Prelievo*>& righe) {
    // by the code as the archive compares it
    std::map<QString, QString> materie, fornitori;
    for (const Prelievo* p : righe) {
        if (!p->materia.isEmpty()) {
            materie.emplace(senzaSpaziFinali(p->materia), QString());
        }
        if (p->origine == Origine::Pesata && !p->fornitore.isEmpty()) {
            fornitori.emplace(senzaSpaziFinali(p->fornitore), QString());
        }
    }
    std::vector<QString> m, f;
    for (const auto& [codice, nome] : materie) {
        m.push_back(codice);
    }
    for (const auto& [codice, nome] : fornitori) {
        f.push_back(codice);
    }
    const size_t n = std::max(m.size(), f.size());
    for (size_t i = 0; i < n; i += kGruppoRicerca) {
        Query& q = nomi_->per(quanti(n, i));
        const size_t posti = Gruppi::posti(quanti(n, i));
        std::vector<QVariant> v = gruppo(m, i, posti);
        const std::vector<QVariant> vf = gruppo(f, i, posti);
        v.insert(v.end(), vf.begin(), vf.end());
        q.setParams(std::move(v));
        for (q.open(); !q.eof(); q.next()) {
            (intero(q, 0) == 0 ? materie : fornitori)[senzaSpaziFinali(testo(q, 1))] = testo(q, 2);
        }
        q.close();
    }
    for (Prelievo* p : righe) {
        auto it = materie.find(senzaSpaziFinali(p->materia));
        if (it != materie.end()) {
            p->descrizione = it->second;
        }
        if (p->origine == Origine::Pesata) {
            auto jt = fornitori.find(senzaSpaziFinali(p->fornitore));
            if (jt != fornitori.end()) {
                p->ragioneSocialeFornitore = jt->second;
            }
        }
    }
}

// A consumption line knows its package serial and lot; the supplier is the
// host's, from the lot of the serial.
void Tracciatore::completaFornitori(const std::vector<Prelievo*>& righe) {
    if (!seriali_) {
        return;
    }
    // by the serial as the archive compares it
    std::vector<QString> seriali;
    for (const Prelievo* p : righe) {
        const QString s = senzaSpaziFinali(p->seriale);
        if (p->origine == Origine::Consumo && p->fornitore.isEmpty() && !s.isEmpty() &&
            std::find(seriali.begin(), seriali.end(), s) == seriali.end()) {
            seriali.push_back(s);
        }
    }
    std::map<QString, std::pair<QString, QString>> trovati;
    for (size_t i = 0; i < seriali.size(); i += kGruppoRicerca) {
        const size_t n = quanti(seriali.size(), i);
        Query& q = seriali_->per(n);
        q.setParams(gruppo(seriali, i, Gruppi::posti(n)));
        for (q.open(); !q.eof(); q.next()) {
            trovati[senzaSpaziFinali(testo(q, 0))] = {testo(q, 1), testo(q, 2)};
        }
        q.close();
    }
    for (Prelievo* p : righe) {
        auto it = trovati.find(senzaSpaziFinali(p->seriale));
        if (p->origine == Origine::Consumo && it != trovati.end()) {
            p->fornitore = it->second.first;
            p->ragioneSocialeFornitore = it->second.second;
        }
    }
}

Avanti Tracciatore::avanti(const Ricerca& ricerca) {
    Avanti r;
    if (ricerca.valore.trimmed().isEmpty()) {
        return r;
    }
    const std::vector<Frase> frasi = frasiAvanti(ricerca);
    for (size_t k = 0; k < frasi.size(); ++k) {
        Query& q = *qAvanti_[k];
        q.SQL = frasi[k].sql;
        q.setParams(frasi[k].parametri);
        for (q.open(); !q.eof(); q.next()) {
            Utilizzo u{leggiFabbricazione(q), {}};
            if (k == 0) {
                u.prelievo =
                    leggiPesata(q, testo(q, kColonneFabbricazione), kColonneFabbricazione + 1);
            } else if (k == 1) {
                u.prelievo = leggiConsumo(q, kColonneFabbricazione);
            } else { // a line still without weighing or consumption
                u.prelievo.materia = testo(q, kColonneFabbricazione);
                u.prelievo.nriga = int(intero(q, kColonneFabbricazione + 1));
                u.prelievo.rif = u.prelievo.nriga;
            }
            r.utilizzi.push_back(std::move(u));
        }
        q.close();
    }
    // batch date, product, lot, then the row's origin and its own key
    std::sort(r.utilizzi.begin(), r.utilizzi.end(), [](const Utilizzo& a, const Utilizzo& b) {
        if (const int c = confrontaFabbricazioni(a.fabbricazione, b.fabbricazione)) {
            return c < 0;
        }
        return primaPerOrigine(a.prelievo, b.prelievo);
    });
    std::vector<Prelievo*> prelievi;
    prelievi.reserve(r.utilizzi.size());
    for (Utilizzo& u : r.utilizzi) {
        prelievi.push_back(&u.prelievo);
    }
    completaNomi(prelievi);
    completaFornitori(prelievi);
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
    if (!ordini_) {
        return;
    }
    for (size_t i = 0; i < id.size(); i += kGruppoRicerca) {
        const size_t n = quanti(id.size(), i);
        Query& q = ordini_->per(n);
        q.setParams(gruppo(id, i, Gruppi::posti(n)));
        for (q.open(); !q.eof(); q.next()) {
            Ordine o;
            o.trovato = true;
            o.numero = testo(q, 1);
            o.data = dataDi(q, 2);
            o.cliente = testo(q, 3);
            o.ragioneSociale = testo(q, 4);
            a.ordini[QString::number(intero(q, 0))] = o;
        }
        q.close();
    }
}

} // namespace quintar::traccia
