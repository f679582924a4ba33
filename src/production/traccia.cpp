#include "production/traccia.h"

#include "session/formati.h"

#include <QTime>
#include <QVariant>
#include <algorithm>
#include <numeric>
#include <set>
#include <tuple>

namespace quintar::traccia {

namespace {

// The batch columns every forward row of the list carries.
const QString kColonneFabbric =
    QStringLiteral("F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, F.STATUS, F.IDORDINEIMPMAT, "
                   "F.QUANTITALITRI, F.UNITAMISURA, F.DATAIMPEGNO, F.DATAFINE,");
// The same for the tracer, first in each of its rows and in this order. Of
// the moments of commitment and completion a trace shows the day of the one
// that gave the batch its state; a forward trace does not show the batch's
// quantity, so its rows stop before it.
const QString kColonneFabbricTraccia =
    QStringLiteral("F.ID, F.CODICE, F.DATA, F.LOTTO, F.NOMEPRODOTTO, F.STATUS, F.IDORDINEIMPMAT, "
                   "CAST(IIF(F.STATUS = 'FINITA', F.DATAFINE, F.DATAIMPEGNO) AS DATE) AS "
                   "DATASTATO,");
const QString kQuantitaFabbric = QStringLiteral("F.QUANTITALITRI, F.UNITAMISURA");
constexpr int kColonneFabbricazione = 8;

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

QString senzaSpaziFinali(QString t) {
    qsizetype n = t.size();
    while (n > 0 && t.at(n - 1) == u' ') { // read only: a shared text stays shared
        --n;
    }
    if (n < t.size()) {
        t.truncate(n);
    }
    return t;
}

// A code as the archive compares it: null matches nothing, trailing blanks
// do not count.
std::optional<QString> codice(const Query& q, int i) {
    if (q.isNull(i)) {
        return std::nullopt;
    }
    return senzaSpaziFinali(q.leggiTesto(i));
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

// The batch columns of a tracer's row into f; the quantity after them when
// asked.
void leggiFabbricazione(const Query& q, bool conQuantita, Fabbricazione& f, int da = 0) {
    if (!q.isNull(da)) {
        f.id = q.leggiIntero(da);
    }
    f.codice = q.leggiTesto(da + 1);
    f.data = q.leggiData(da + 2);
    f.lotto = q.leggiTesto(da + 3);
    f.nomeProdotto = q.leggiTesto(da + 4);
    f.stato = q.leggiTesto(da + 5);
    f.idOrdine = q.leggiTesto(da + 6).trimmed();
    f.dataStato = f.stato == QLatin1String("FINITA") || f.stato == QLatin1String("IMPEGNATA")
                      ? q.leggiData(da + 7)
                      : QDate();
    if (conQuantita) {
        f.quantita = q.leggiNumero(da + kColonneFabbricazione);
        f.unita = q.leggiTesto(da + kColonneFabbricazione + 1);
    }
}

// A statement whose text is the same every time it runs: the text is set
// once, the values every time.
void lega(Query& q, Frase f) {
    if (q.SQL.isEmpty()) {
        q.SQL = std::move(f.sql);
    }
    q.setParams(std::move(f.parametri));
}

// Puts v in the order given (v[i] becomes the element at ordine[i]), moving
// each element once.
template <typename T> void disponi(std::vector<T>& v, const std::vector<size_t>& ordine) {
    std::vector<bool> fatto(v.size(), false);
    for (size_t i = 0; i < v.size(); ++i) {
        if (fatto[i] || ordine[i] == i) {
            continue;
        }
        T tenuto = std::move(v[i]);
        for (size_t j = i;;) {
            const size_t k = ordine[j];
            fatto[j] = true;
            if (k == i) {
                v[j] = std::move(tenuto);
                break;
            }
            v[j] = std::move(v[k]);
            j = k;
        }
    }
}

// What a column of a forward trace's row fills in its use.
enum class Campo {
    Materia,
    Seriale,
    Lotto,
    Fornitore,
    Quantita,
    Momento,
    Bilancia,
    Operatore,
    Rif,
    Riga
};
struct Colonna {
    const char* sql;
    Campo campo;
};
// The columns of each kind of row: weighings, consumption lines, lines
// still without either.
const std::vector<Colonna> kColonneUso[] = {
    {{"P.CODICEMATERIAPRIMA", Campo::Materia},
     {"P.BARCODE_LOTTO_MATERIA", Campo::Seriale},
     {"P.LOTTOMATERIAPRIMA", Campo::Lotto},
     {"P.CODICEFORNITORE", Campo::Fornitore},
     {"P.PESO", Campo::Quantita},
     {"P.DATAORA", Campo::Momento},
     {"P.BILANCIA", Campo::Bilancia},
     {"P.OPERATORE", Campo::Operatore},
     {"P.ID", Campo::Rif}},
    {{"C.CODICECONSUMATO", Campo::Materia},
     {"C.SERIALE", Campo::Seriale},
     {"C.LOTTO", Campo::Lotto},
     {"C.QUANTITA", Campo::Quantita},
     {"C.ID_CONSUMI", Campo::Rif}},
    {{"A.CODICEMATERIAPRIMA", Campo::Materia}, {"A.NRIGA", Campo::Riga}}};

// The field a search compares: every row found holds the value searched
// there, as the archive compares it, so it is not read back.
Campo cercato(Chiave c) {
    switch (c) {
    case Chiave::LottoFornitore:
        return Campo::Lotto;
    case Chiave::Seriale:
        return Campo::Seriale;
    case Chiave::Materia:
        break;
    }
    return Campo::Materia;
}

// The fields a statement reads from a row of kind k, in order: all but the
// one left out.
std::vector<Campo> pianoUso(size_t k, std::optional<Campo> senza) {
    std::vector<Campo> p;
    for (const Colonna& col : kColonneUso[k]) {
        if (col.campo != senza) {
            p.push_back(col.campo);
        }
    }
    return p;
}

// The same fields as the statement's columns.
QString colonneUso(size_t k, std::optional<Campo> senza) {
    QStringList t;
    for (const Colonna& col : kColonneUso[k]) {
        if (col.campo != senza) {
            t << QLatin1String(col.sql);
        }
    }
    return QStringLiteral("  ") + t.join(QStringLiteral(", "));
}

// Puts a text read, or the value searched, in the field c of a use.
void metti(Prelievo& p, Campo c, QString v) {
    switch (c) {
    case Campo::Materia:
        p.materia = std::move(v);
        break;
    case Campo::Seriale:
        p.seriale = std::move(v);
        break;
    case Campo::Lotto:
        p.lottoFornitore = std::move(v);
        break;
    case Campo::Fornitore:
        p.fornitore = std::move(v);
        break;
    case Campo::Momento:
        p.dataOra = testoMomento(v);
        break;
    case Campo::Bilancia:
        p.bilancia = std::move(v);
        break;
    case Campo::Operatore:
        p.operatore = std::move(v);
        break;
    case Campo::Quantita:
    case Campo::Rif:
    case Campo::Riga:
        break;
    }
}

// A use's fields from column da on, as the plan says.
void leggiUso(const Query& q, int da, const std::vector<Campo>& piano, Prelievo& p) {
    int i = da;
    for (const Campo c : piano) {
        switch (c) {
        case Campo::Quantita:
            p.quantita = q.leggiNumero(i);
            break;
        case Campo::Rif:
            p.rif = q.leggiIntero(i);
            break;
        case Campo::Riga:
            p.nriga = int(q.leggiIntero(i));
            p.rif = p.nriga;
            break;
        case Campo::Momento: // shown as every screen shows a moment, made once
            if (const std::optional<QByteArrayView> b = q.leggiByte(i)) {
                p.dataOra = testoMomentoUtf8(*b);
            } else {
                metti(p, c, q.leggiTesto(i));
            }
            break;
        default:
            metti(p, c, q.leggiTesto(i));
            break;
        }
        ++i;
    }
}

// The limits of a forward search: only those given are compared.
QString periodo(const Ricerca& r) {
    QString t;
    if (r.dal.isValid()) {
        t += QStringLiteral(" AND F.DATA >= ?");
    }
    if (r.al.isValid()) {
        t += QStringLiteral(" AND F.DATA <= ?");
    }
    return t;
}

// What each statement of a forward trace binds: the value, then the limits given.
std::vector<QVariant> parametriAvanti(const Ricerca& r) {
    std::vector<QVariant> p{r.valore.trimmed()};
    if (r.dal.isValid()) {
        p.emplace_back(r.dal);
    }
    if (r.al.isValid()) {
        p.emplace_back(r.al);
    }
    return p;
}

// The statements of a forward trace differ by the key and the limits given.
int variante(const Ricerca& r) {
    return int(r.chiave) * 4 + (r.dal.isValid() ? 2 : 0) + (r.al.isValid() ? 1 : 0);
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
// The lines of a raw material within the limits given.
QString materiaNelPeriodo(const Ricerca& r) {
    QString t = QStringLiteral("WHERE A.CODICEMATERIAPRIMA = ?");
    if (r.dal.isValid()) {
        t += QStringLiteral(" AND A.DATAFABBRICAZIONE >= ?");
    }
    if (r.al.isValid()) {
        t += QStringLiteral(" AND A.DATAFABBRICAZIONE <= ?");
    }
    return t;
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
    f.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia + ' ' + kQuantitaFabbric,
             QStringLiteral("FROM FABBRIC F"), QStringLiteral("WHERE F.LOTTO = ?")};
    f.parametri = {t};
    if (numero) { // a number may be either
        f.sql.back() += QStringLiteral(" OR F.ID = ?");
        f.parametri.emplace_back(id);
    }
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
    // only the limits given, as the tracer compares them
    const QString limiti = periodo(r);
    const std::vector<QVariant> parametri = parametriAvanti(r);
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
        QStringLiteral("WHERE ") + condPesata + limiti,
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
        QStringLiteral("WHERE ") + condConsumo + limiti};
    f.parametri = parametri;
    f.parametri.insert(f.parametri.end(), parametri.begin(), parametri.end());
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
              << materiaNelPeriodo(r) << kSenzaPesataNeConsumo << kSenzaConsumo;
        f.parametri.insert(f.parametri.end(), parametri.begin(), parametri.end());
    }
    // batch date, product, lot, then the row's origin and its own key
    f.sql << QStringLiteral("ORDER BY 3, 2, 4, 12, 24");
    return f;
}

std::vector<Frase> frasiIndietro(const Fabbricazione& fab, bool conTesto) {
    const QVariant id = fab.id ? QVariant(*fab.id) : QVariant();
    Frase righe;
    if (conTesto) {
        righe.sql = {// every line, with each weighing assigned to it
                     // (the material is the line's own)
                     QStringLiteral("SELECT A.NRIGA, A.CODICEMATERIAPRIMA, M.NOMECOMMERCIALE,"),
                     colonneUso(0, Campo::Materia) + QStringLiteral(", R.RAGSOC")};
        righe.sql << righeConPesate();
    }
    righe.parametri = {id, fab.codice, fab.data, fab.lotto};
    std::vector<Frase> r{std::move(righe)};
    if (fab.id) { // without a number a batch has no consumption lines
        Frase consumi;
        if (conTesto) {
            consumi.sql = {QStringLiteral("SELECT C.CODICEMATERIA, M.NOMECOMMERCIALE,"),
                           colonneUso(1, std::nullopt), QStringLiteral("FROM CONSUMI C"),
                           QStringLiteral("  LEFT JOIN MATER M ON M.CODICE = C.CODICECONSUMATO"),
                           QStringLiteral("WHERE C.ID_FABBRICAZIONE = ?")};
        }
        consumi.parametri = {id};
        r.push_back(std::move(consumi));
    }
    return r;
}

std::vector<Frase> frasiAvanti(const Ricerca& r) {
    const Condizioni c = condizioni(r.chiave);
    const QString limiti = periodo(r);
    const std::vector<QVariant> parametri = parametriAvanti(r);
    Frase pesate;
    pesate.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                  colonneUso(0, cercato(r.chiave)), QStringLiteral("FROM PESATE_FABBR P"),
                  QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
                  QStringLiteral("WHERE ") + c.pesata + limiti};
    pesate.parametri = parametri;
    Frase consumi;
    consumi.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                   colonneUso(1, cercato(r.chiave)), QStringLiteral("FROM CONSUMI C"),
                   QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE"),
                   QStringLiteral("WHERE ") + c.consumo + limiti};
    consumi.parametri = parametri;
    std::vector<Frase> f{pesate, consumi};
    if (r.chiave == Chiave::Materia) {
        Frase senza;
        senza.sql = {QStringLiteral("SELECT ") + kColonneFabbricTraccia,
                     colonneUso(2, cercato(r.chiave)),
                     QStringLiteral("FROM FABBCOMPON A"),
                     kRigheDellaFabbricazione,
                     materiaNelPeriodo(r),
                     kSenzaPesataNeConsumo,
                     kSenzaConsumo};
        senza.parametri = parametri;
        f.push_back(senza);
    }
    return f;
}

namespace {

char16_t unita(QChar c) {
    return c.unicode();
}
char16_t unita(char c) {
    return static_cast<unsigned char>(c);
}

// "yyyy-MM-dd HH:mm:ss", with at most four decimals of a second that do not
// round up to the next one, day first; none for anything else, midnight and
// other date formats, which go the long way round. A moment the local clock
// skipped (the hour lost to summer time) is shown as recorded.
template <typename C> std::optional<QString> momentoBreve(const C* c, qsizetype n) {
    auto cifra = [&](qsizetype i) { return unita(c[i]) >= u'0' && unita(c[i]) <= u'9'; };
    auto numero = [&](qsizetype da, qsizetype k) {
        int v = 0;
        for (qsizetype i = da; i < da + k; ++i) {
            if (!cifra(i)) {
                return -1;
            }
            v = v * 10 + (unita(c[i]) - u'0');
        }
        return v;
    };
    const qsizetype decimali = n - 20;
    bool forma = n == 19;
    if (decimali >= 1 && decimali <= 4 && unita(c[19]) == u'.') {
        const int d = numero(20, decimali);
        forma = d >= 0 && !(decimali == 4 && d >= 9995);
    }
    if (!forma || unita(c[4]) != u'-' || unita(c[7]) != u'-' || unita(c[10]) != u' ' ||
        unita(c[13]) != u':' || unita(c[16]) != u':') {
        return std::nullopt;
    }
    const int anno = numero(0, 4), mese = numero(5, 2), giorno = numero(8, 2);
    const int ora = numero(11, 2), minuto = numero(14, 2), secondo = numero(17, 2);
    if (anno < 0 || mese < 0 || giorno < 0 || ora < 0 || minuto < 0 || secondo < 0 ||
        (ora | minuto | secondo) == 0 || !QDate::isValid(anno, mese, giorno) ||
        !QTime::isValid(ora, minuto, secondo) ||
        Formati::correnti().formatoData != QLatin1String("dd/MM/yyyy")) {
        return std::nullopt;
    }
    QString r(19, Qt::Uninitialized);
    QChar* o = r.data();
    const int sorgente[] = {8, 9, -1, 5, 6, -1, 0, 1, 2, 3};
    for (int i = 0; i < 10; ++i) {
        o[i] = sorgente[i] < 0 ? QChar(u'/') : QChar(unita(c[sorgente[i]]));
    }
    for (int i = 10; i < 19; ++i) {
        o[i] = QChar(unita(c[i])); // " HH:mm:ss" stays where it stands
    }
    return r;
}

} // namespace

QString testoMomento(const QString& t) {
    if (std::optional<QString> r = momentoBreve(t.constData(), t.size())) {
        return *std::move(r);
    }
    return Formati::dataOraInTesto(QVariant(t).toDateTime());
}

QString testoMomentoUtf8(QByteArrayView utf8) {
    if (std::optional<QString> r = momentoBreve(utf8.data(), utf8.size())) {
        return *std::move(r);
    }
    return testoMomento(QString::fromUtf8(utf8));
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

Gruppi::Gruppi(Database* db, Transaction* tr, std::vector<QStringList> parti, size_t massimo)
    : db_(db), tr_(tr), parti_(std::move(parti)), massimo_(std::max<size_t>(1, massimo)) {}

Gruppi::~Gruppi() = default;

size_t Gruppi::posti(size_t n, size_t massimo) {
    size_t p = 1;
    while (p < n && p < massimo) {
        p *= 2;
    }
    if (massimo <= size_t(kGruppoRicerca) || p <= 8 || n >= p) {
        return p;
    }
    // past 8 places, in steps of an eighth of the next power of two: at most
    // 24 statements up to 128 places, and an eighth of them left over
    const size_t passo = p / 8;
    return (n + passo - 1) / passo * passo;
}

Query& Gruppi::per(const std::vector<size_t>& posti) {
    std::unique_ptr<Query>& q = frasi_[posti];
    if (!q) {
        q = std::make_unique<Query>(db_, tr_);
        q->setLetturaPerColonna(true);
        for (size_t k = 0; k < parti_.size(); ++k) {
            if (posti[k] == 0) {
                continue;
            }
            if (!q->SQL.isEmpty()) {
                q->SQL << QStringLiteral("UNION ALL");
            }
            QStringList s;
            for (size_t i = 0; i < posti[k]; ++i) {
                s << QStringLiteral("?");
            }
            const QString segnaposti = s.join(QStringLiteral(", "));
            for (QString riga : parti_[k]) {
                q->SQL << riga.replace(QLatin1String("%1"), segnaposti);
            }
        }
    }
    return *q;
}

void Gruppi::leggi(const std::vector<std::vector<QVariant>>& liste,
                   const std::function<void(const Query&)>& riga) {
    size_t piuLunga = 0;
    for (const std::vector<QVariant>& l : liste) {
        piuLunga = std::max(piuLunga, l.size());
    }
    for (size_t da = 0; da < piuLunga; da += massimo_) {
        std::vector<size_t> p(parti_.size(), 0);
        std::vector<QVariant> valori;
        for (size_t k = 0; k < parti_.size(); ++k) {
            const size_t n =
                da < liste[k].size() ? std::min<size_t>(massimo_, liste[k].size() - da) : 0;
            if (n == 0) {
                continue;
            }
            p[k] = posti(n, massimo_);
            for (size_t j = 0; j < p[k]; ++j) {
                // the places left over repeat the last code: a null would be looked up too
                valori.push_back(liste[k][da + std::min(j, n - 1)]);
            }
        }
        Query& q = per(p);
        q.setParams(std::move(valori));
        for (q.open(); !q.eof(); q.next()) {
            riga(q);
        }
        q.close();
    }
}

// ------------------------------------------------------------ Tracciatore

Tracciatore::Tracciatore(Database* azienda, Database* erp)
    : az_(azienda), erp_(erp && erp->connected() ? erp : nullptr), trAz_(azienda),
      qFabbricazioni_(azienda, &trAz_), qFabbricazioniONumero_(azienda, &trAz_) {
    qFabbricazioni_.setLetturaPerColonna(true);
    qFabbricazioniONumero_.setLetturaPerColonna(true);
    for (int i = 0; i < 2; ++i) {
        qIndietro_.push_back(std::make_unique<Query>(azienda, &trAz_));
        qIndietro_.back()->setLetturaPerColonna(true);
    }
    nomi_ = std::make_unique<Gruppi>(
        azienda, &trAz_,
        std::vector<QStringList>{{QStringLiteral("SELECT CAST(0 AS SMALLINT), M.CODICE, "
                                                 "M.NOMECOMMERCIALE FROM MATER M WHERE M.CODICE "
                                                 "IN (%1)")},
                                 {QStringLiteral("SELECT CAST(1 AS SMALLINT), R.CODICE, R.RAGSOC "
                                                 "FROM FORNITO R WHERE R.CODICE IN (%1)")}});
    if (erp_) {
        trErp_ = std::make_unique<Transaction>(erp_);
        // the customers are read once per code, after the orders
        ordini_ = std::make_unique<Gruppi>(
            erp_, trErp_.get(),
            std::vector<QStringList>{{QStringLiteral("SELECT O.ID, O.NDOCUMENTO, O.DATADOCUMENTO, "
                                                     "O.CODICECLIENTE"),
                                      QStringLiteral("FROM ORDC O"),
                                      QStringLiteral("WHERE O.ID IN (%1)")}});
        serialiEClienti_ = std::make_unique<Gruppi>(
            erp_, trErp_.get(),
            std::vector<QStringList>{
                {QStringLiteral("SELECT CAST(0 AS SMALLINT), S.SERIALE, L.CODICEFORNITORE, "
                                "R.RAGSOC"),
                 QStringLiteral("FROM SERIALI S"),
                 QStringLiteral("  LEFT JOIN LOTTI L ON L.ID = S.IDLOTTO"),
                 QStringLiteral("  LEFT JOIN FORNITO R ON R.CODICE = L.CODICEFORNITORE"),
                 QStringLiteral("WHERE S.SERIALE IN (%1)")},
                {QStringLiteral("SELECT CAST(1 AS SMALLINT), C.CODICE, CAST(NULL AS VARCHAR(20)), "
                                "C.RAGSOC"),
                 QStringLiteral("FROM CLIENTI C"), QStringLiteral("WHERE C.CODICE IN (%1)")}});
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
    Frase f = fraseFabbricazioni(lottoOIdentificativo);
    // one text for every lot, another for every number
    Query& q = f.parametri.size() > 1 ? qFabbricazioniONumero_ : qFabbricazioni_;
    lega(q, std::move(f));
    std::vector<Fabbricazione> r;
    for (q.open(); !q.eof(); q.next()) {
        leggiFabbricazione(q, true, r.emplace_back());
    }
    q.close();
    // in the order of their key: date, product, lot
    std::sort(r.begin(), r.end(), [](const Fabbricazione& a, const Fabbricazione& b) {
        return confrontaFabbricazioni(a, b) < 0;
    });
    return r;
}

Indietro Tracciatore::indietro(const Fabbricazione& fab) {
    Indietro r;
    r.fabbricazione = fab;
    // each statement's text is the same for every batch, made once
    std::vector<Frase> frasi = frasiIndietro(fab, qIndietro_[0]->SQL.isEmpty() ||
                                                      (fab.id && qIndietro_[1]->SQL.isEmpty()));
    struct Riga {
        int nriga;
        QString materia, descrizione;
        std::optional<QString> chiave; // the material as the archive compares it
    };
    std::vector<Riga> senzaPesata; // lines with no weighing, in the order read
    std::vector<Riga> righe;       // every line, for the consumption lines
    static const std::vector<Campo> pesataDellaRiga = pianoUso(0, Campo::Materia);
    static const std::vector<Campo> consumo = pianoUso(1, std::nullopt);
    Query& q = *qIndietro_[0];
    lega(q, std::move(frasi[0]));
    for (q.open(); !q.eof(); q.next()) {
        Riga riga{int(q.leggiIntero(0)), q.leggiTesto(1), q.leggiTesto(2), codice(q, 1)};
        if (q.isNull(10)) {
            senzaPesata.push_back(riga);
        } else {
            Prelievo p;
            p.origine = Origine::Pesata;
            p.materia = riga.materia;
            leggiUso(q, 3, pesataDellaRiga, p);
            p.nriga = riga.nriga;
            p.descrizione = riga.descrizione;
            p.ragioneSocialeFornitore = q.leggiTesto(11);
            r.flat.push_back(std::move(p));
        }
        righe.push_back(std::move(riga));
    }
    q.close();
    std::vector<QString> consumate; // the materials of the lines consumed
    if (frasi.size() > 1) {
        Query& c = *qIndietro_[1];
        lega(c, std::move(frasi[1]));
        for (c.open(); !c.eof(); c.next()) {
            const std::optional<QString> materia = codice(c, 0);
            Prelievo p;
            p.origine = Origine::Consumo;
            leggiUso(c, 2, consumo, p);
            p.descrizione = c.leggiTesto(1);
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
    completaDaErp(tutte, nullptr);
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
    std::vector<QVariant> m, f;
    for (const auto& [codice, nome] : materie) {
        m.emplace_back(codice);
    }
    for (const auto& [codice, nome] : fornitori) {
        f.emplace_back(codice);
    }
    nomi_->leggi({m, f}, [&](const Query& q) {
        (q.leggiIntero(0) == 0 ? materie : fornitori)[senzaSpaziFinali(q.leggiTesto(1))] =
            q.leggiTesto(2);
    });
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

Avanti Tracciatore::avanti(const Ricerca& ricerca) {
    Avanti r;
    if (ricerca.valore.trimmed().isEmpty()) {
        return r;
    }
    // the statements of this key and these limits, made once
    std::vector<std::unique_ptr<Query>>& frasi = qAvanti_[variante(ricerca)];
    if (frasi.empty()) {
        for (const Frase& f : frasiAvanti(ricerca)) {
            frasi.push_back(std::make_unique<Query>(az_, &trAz_));
            frasi.back()->setLetturaPerColonna(true);
            frasi.back()->SQL = f.sql;
        }
    }
    const std::vector<QVariant> parametri = parametriAvanti(ricerca);
    const Campo chiave = cercato(ricerca.chiave);
    const QString valore = ricerca.valore.trimmed();
    // the room made at the end of the last trace
    std::vector<Utilizzo>& letti = r.utilizzi;
    letti.swap(riserva_);
    for (size_t k = 0; k < frasi.size(); ++k) {
        Query& q = *frasi[k];
        q.setParams(parametri);
        const std::vector<Campo> piano = pianoUso(k, chiave);
        // weighings, consumption lines, lines still without either
        const Origine origine = k == 0   ? Origine::Pesata
                                : k == 1 ? Origine::Consumo
                                         : Origine::NessunaPesata;
        for (q.open(); !q.eof(); q.next()) {
            Utilizzo& u = letti.emplace_back();
            leggiFabbricazione(q, false, u.fabbricazione);
            u.prelievo.origine = origine;
            leggiUso(q, kColonneFabbricazione, piano, u.prelievo);
            metti(u.prelievo, chiave, valore);
        }
        q.close();
    }

    // batch date, product, lot, then the row's origin and its own key
    std::vector<size_t> ordine(letti.size());
    std::iota(ordine.begin(), ordine.end(), size_t(0));
    std::sort(ordine.begin(), ordine.end(), [&](size_t i, size_t j) {
        const Utilizzo& a = letti[i];
        const Utilizzo& b = letti[j];
        if (const int c = confrontaFabbricazioni(a.fabbricazione, b.fabbricazione)) {
            return c < 0;
        }
        return primaPerOrigine(a.prelievo, b.prelievo);
    });
    disponi(letti, ordine);
    std::vector<Prelievo*> prelievi;
    prelievi.reserve(r.utilizzi.size());
    for (Utilizzo& u : r.utilizzi) {
        prelievi.push_back(&u.prelievo);
    }
    completaNomi(prelievi);
    completaDaErp(prelievi, &r);
    // Room for the next trace's rows, made now: made at the start of the next
    // trace, the allocator would first merge every block this trace's rows
    // leave free when they go.
    riserva_.reserve(std::max<size_t>(16, r.utilizzi.size()));
    return r;
}

// A consumption line knows its package serial and lot; the supplier is the
// host's, from the lot of the serial. Forward, the customer order of every
// committed batch found, with its customer.
void Tracciatore::completaDaErp(const std::vector<Prelievo*>& righe, Avanti* a) {
    std::vector<qint64> id;
    if (a) {
        for (const Utilizzo& u : a->utilizzi) {
            bool ok = false;
            const qint64 n = u.fabbricazione.idOrdine.toLongLong(&ok);
            if (ok && std::find(id.begin(), id.end(), n) == id.end()) {
                id.push_back(n);
            }
            if (!u.fabbricazione.idOrdine.isEmpty()) {
                a->ordini.emplace(u.fabbricazione.idOrdine, Ordine{});
            }
        }
    }
    if (!erp_) {
        return;
    }
    // by the code as the archive compares it
    std::map<QString, QString> clienti;
    if (!id.empty()) {
        std::vector<QVariant> v(id.begin(), id.end());
        ordini_->leggi({v}, [&](const Query& q) {
            Ordine o;
            o.trovato = true;
            o.numero = q.leggiTesto(1);
            o.data = q.leggiData(2);
            o.cliente = q.leggiTesto(3);
            if (!o.cliente.isEmpty()) {
                clienti.emplace(senzaSpaziFinali(o.cliente), QString());
            }
            a->ordini[QString::number(q.leggiIntero(0))] = std::move(o);
        });
    }
    std::vector<QVariant> seriali, codiciClienti;
    for (const Prelievo* p : righe) {
        const QString s = senzaSpaziFinali(p->seriale);
        if (p->origine == Origine::Consumo && p->fornitore.isEmpty() && !s.isEmpty() &&
            std::find(seriali.begin(), seriali.end(), QVariant(s)) == seriali.end()) {
            seriali.emplace_back(s);
        }
    }
    for (const auto& [codice, nome] : clienti) {
        codiciClienti.emplace_back(codice);
    }
    std::map<QString, std::pair<QString, QString>> trovati;
    serialiEClienti_->leggi({seriali, codiciClienti}, [&](const Query& q) {
        if (q.leggiIntero(0) == 0) {
            trovati[senzaSpaziFinali(q.leggiTesto(1))] = {q.leggiTesto(2), q.leggiTesto(3)};
        } else {
            clienti[senzaSpaziFinali(q.leggiTesto(1))] = q.leggiTesto(3);
        }
    });
    for (Prelievo* p : righe) {
        auto it = trovati.find(senzaSpaziFinali(p->seriale));
        if (p->origine == Origine::Consumo && it != trovati.end()) {
            p->fornitore = it->second.first;
            p->ragioneSocialeFornitore = it->second.second;
        }
    }
    if (a) {
        for (auto& [chiave, o] : a->ordini) {
            auto it = clienti.find(senzaSpaziFinali(o.cliente));
            if (o.trovato && it != clienti.end()) {
                o.ragioneSociale = it->second;
            }
        }
    }
}

// ------------------------------------------------------------ genealogy

namespace {

// A batch as the archive tells batches apart.
QString chiaveFabbricazione(const QString& codice, const QDate& data, const QString& lotto) {
    return senzaSpaziFinali(codice) + QChar(u'\x1f') + QString::number(data.toJulianDay()) +
           QChar(u'\x1f') + senzaSpaziFinali(lotto);
}
QString chiaveFabbricazione(const Fabbricazione& f) {
    return chiaveFabbricazione(f.codice, f.data, f.lotto);
}
// A product and lot, as a weighing or a consumption line names a batch.
QString chiaveLotto(const QString& codice, const QString& lotto) {
    return senzaSpaziFinali(codice) + QChar(u'\x1f') + senzaSpaziFinali(lotto);
}

// The batch columns of every genealogy row, after the link's five: kind,
// material (or the batch it goes to, backward), lot, date, quantity.
const QString kColonneNodo = kColonneFabbricTraccia + ' ' + kQuantitaFabbric;
constexpr int kColonneLegame = 5;

Legame legame(qint64 tipo) {
    return tipo == 0 ? Legame::Pesata : tipo == 1 ? Legame::Consumo : Legame::FabbricazioneDa;
}

// What one row of a level found: the batch, and what it took of which node.
struct Trovato {
    Fabbricazione f;
    int padre;
    QString materia, lotto;
    std::optional<double> quantita;
    Legame legame;
};

// Adds a level: each batch not yet in the genealogy once, under the first
// node (in the genealogy's order) it was found from, with what it took of
// that node summed; the level in the order of the batch key.
void aggiungiLivello(Genealogia& g, std::map<QString, size_t>& noti, std::vector<Trovato>& trovati,
                     int livello) {
    // by batch: the node it came from first, and what it took of it
    std::map<QString, Trovato> nuovi;
    for (Trovato& t : trovati) {
        const QString k = chiaveFabbricazione(t.f);
        if (noti.count(k)) {
            continue; // already in the genealogy: a cycle, or reached twice
        }
        auto it = nuovi.find(k);
        if (it == nuovi.end()) {
            nuovi.emplace(k, std::move(t));
            continue;
        }
        Trovato& n = it->second;
        if (t.padre < n.padre) {
            n = std::move(t);
        } else if (t.padre == n.padre && t.quantita) {
            // what was weighed, summed; what was consumed only without
            // weighings (a package weighed and consumed is one use)
            if (t.legame == n.legame) {
                n.quantita = n.quantita.value_or(0) + *t.quantita;
            } else if (t.legame == Legame::Pesata || n.legame == Legame::FabbricazioneDa) {
                n.quantita = t.quantita;
                n.legame = t.legame;
            }
        }
    }
    std::vector<Trovato*> ordine;
    for (auto& [k, t] : nuovi) {
        ordine.push_back(&t);
    }
    std::sort(ordine.begin(), ordine.end(), [](const Trovato* a, const Trovato* b) {
        return confrontaFabbricazioni(a->f, b->f) < 0;
    });
    for (Trovato* t : ordine) {
        noti.emplace(chiaveFabbricazione(t->f), g.nodi.size());
        Nodo n;
        n.fabbricazione = std::move(t->f);
        n.livello = livello;
        n.padre = t->padre;
        n.materia = std::move(t->materia);
        n.lotto = std::move(t->lotto);
        n.quantita = t->quantita;
        n.legame = t->legame;
        g.nodi.push_back(std::move(n));
    }
}

// A level found beyond the limit is not added: the genealogy says it was cut,
// when there was more to follow. False then.
bool accogliLivello(Genealogia& g, std::map<QString, size_t>& noti, std::vector<Trovato>& trovati,
                    int livello, int livelliMassimi) {
    if (livello > livelliMassimi) {
        g.interrotta = std::any_of(trovati.begin(), trovati.end(), [&](const Trovato& t) {
            return !noti.count(chiaveFabbricazione(t.f));
        });
        return false;
    }
    aggiungiLivello(g, noti, trovati, livello);
    return true;
}

} // namespace

int Genealogia::livelli() const {
    int n = 0;
    for (const Nodo& x : nodi) {
        n = std::max(n, x.livello);
    }
    return n;
}

std::vector<std::vector<size_t>> Genealogia::figli() const {
    std::vector<std::vector<size_t>> r(nodi.size());
    for (size_t k = 0; k < nodi.size(); ++k) {
        if (nodi[k].padre >= 0) {
            r[size_t(nodi[k].padre)].push_back(k);
        }
    }
    return r;
}

std::vector<size_t> Genealogia::finali() const {
    std::vector<bool> preso(nodi.size(), false);
    for (const Nodo& n : nodi) {
        if (n.padre >= 0) {
            preso[size_t(n.padre)] = true;
        }
    }
    std::vector<size_t> r;
    for (size_t k = 0; k < nodi.size(); ++k) {
        if (!preso[k] && nodi[k].livello > 0) {
            r.push_back(k);
        }
    }
    return r;
}

bool Genealogia::contiene(const QString& codice, const QDate& data, const QString& lotto) const {
    const QString k = chiaveFabbricazione(codice, data, lotto);
    return std::any_of(nodi.begin(), nodi.end(),
                       [&](const Nodo& n) { return chiaveFabbricazione(n.fabbricazione) == k; });
}

Genealogista::Genealogista(Database* db, Transaction* tr) : db_(db), tr_(tr) {
    // the batches that took a product by its lot: weighed, consumed, or named
    // as the batch they were made from
    avanti_ = std::make_unique<Gruppi>(
        db, tr,
        std::vector<QStringList>{
            {QStringLiteral("SELECT CAST(0 AS SMALLINT), P.CODICEMATERIAPRIMA, "
                            "P.LOTTOMATERIAPRIMA, CAST(NULL AS DATE), P.PESO, ") +
                 kColonneNodo,
             QStringLiteral("FROM PESATE_FABBR P"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
             QStringLiteral("WHERE P.LOTTOMATERIAPRIMA IN (%1)")},
            {QStringLiteral("SELECT CAST(1 AS SMALLINT), C.CODICECONSUMATO, C.LOTTO, CAST(NULL AS "
                            "DATE), C.QUANTITA, ") +
                 kColonneNodo,
             QStringLiteral("FROM CONSUMI C"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE"),
             QStringLiteral("WHERE C.LOTTO IN (%1)")},
            {QStringLiteral("SELECT CAST(2 AS SMALLINT), F.FABBRICAZIONEDA_CODICE, "
                            "F.FABBRICAZIONEDA_LOTTO, F.FABBRICAZIONEDA_DATA, CAST(NULL AS "
                            "DOUBLE PRECISION), ") +
                 kColonneNodo,
             QStringLiteral("FROM FABBRIC F"),
             QStringLiteral("WHERE F.FABBRICAZIONEDA_LOTTO IN (%1) AND F.FABBRICAZIONEDA = "
                            "'SM'")}},
        kGruppoLivello);
    // the batches whose product a batch (by its number) took
    indietro_ = std::make_unique<Gruppi>(
        db, tr,
        std::vector<QStringList>{
            {QStringLiteral("SELECT CAST(0 AS SMALLINT), P.ID_FABBRICAZIONE, "
                            "P.CODICEMATERIAPRIMA, P.LOTTOMATERIAPRIMA, P.PESO, ") +
                 kColonneNodo,
             QStringLiteral("FROM PESATE_FABBR P"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.CODICE = P.CODICEMATERIAPRIMA AND "
                            "F.LOTTO = P.LOTTOMATERIAPRIMA"),
             QStringLiteral("WHERE P.ID_FABBRICAZIONE IN (%1)")},
            {QStringLiteral("SELECT CAST(1 AS SMALLINT), C.ID_FABBRICAZIONE, C.CODICECONSUMATO, "
                            "C.LOTTO, C.QUANTITA, ") +
                 kColonneNodo,
             QStringLiteral("FROM CONSUMI C"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.CODICE = C.CODICECONSUMATO AND F.LOTTO "
                            "= C.LOTTO"),
             QStringLiteral("WHERE C.ID_FABBRICAZIONE IN (%1)")},
            {QStringLiteral("SELECT CAST(2 AS SMALLINT), G.ID, G.FABBRICAZIONEDA_CODICE, "
                            "G.FABBRICAZIONEDA_LOTTO, CAST(NULL AS DOUBLE PRECISION), ") +
                 kColonneNodo,
             QStringLiteral("FROM FABBRIC G"),
             QStringLiteral("  INNER JOIN FABBRIC F ON F.CODICE = G.FABBRICAZIONEDA_CODICE AND "
                            "F.DATA = G.FABBRICAZIONEDA_DATA AND F.LOTTO = "
                            "G.FABBRICAZIONEDA_LOTTO"),
             QStringLiteral("WHERE G.ID IN (%1) AND G.FABBRICAZIONEDA = 'SM'")}},
        kGruppoLivello);
}

Genealogista::~Genealogista() = default;

Genealogia Genealogista::avanti(const Partenza& p, int livelliMassimi) {
    Genealogia g;
    std::map<QString, size_t> noti;
    if (p.fabbricazione) {
        // the batch itself, as the archive holds it now
        if (!fabbricazione_) {
            fabbricazione_ = std::make_unique<Query>(db_, tr_);
            fabbricazione_->setLetturaPerColonna(true);
            fabbricazione_->SQL = {QStringLiteral("SELECT ") + kColonneNodo,
                                   QStringLiteral("FROM FABBRIC F"),
                                   QStringLiteral("WHERE F.CODICE = ? AND F.DATA = ? AND F.LOTTO = "
                                                  "?")};
        }
        Query& q = *fabbricazione_;
        q.setParams({p.fabbricazione->codice, p.fabbricazione->data, p.fabbricazione->lotto});
        q.open();
        if (!q.eof()) {
            Nodo n;
            leggiFabbricazione(q, true, n.fabbricazione);
            noti.emplace(chiaveFabbricazione(n.fabbricazione), 0);
            g.nodi.push_back(std::move(n));
        }
        q.close();
    } else {
        const Ricerca& r = p.ricerca;
        if (r.valore.trimmed().isEmpty()) {
            return g;
        }
        std::unique_ptr<Query>& q = primo_[variante(r)];
        if (!q) {
            const Condizioni c = condizioni(r.chiave);
            const QString limiti = periodo(r);
            q = std::make_unique<Query>(db_, tr_);
            q->setLetturaPerColonna(true);
            q->SQL = {QStringLiteral("SELECT CAST(0 AS SMALLINT), P.CODICEMATERIAPRIMA, "
                                     "P.LOTTOMATERIAPRIMA, CAST(NULL AS DATE), P.PESO, ") +
                          kColonneNodo,
                      QStringLiteral("FROM PESATE_FABBR P"),
                      QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = P.ID_FABBRICAZIONE"),
                      QStringLiteral("WHERE ") + c.pesata + limiti,
                      QStringLiteral("UNION ALL"),
                      QStringLiteral("SELECT CAST(1 AS SMALLINT), C.CODICECONSUMATO, C.LOTTO, "
                                     "CAST(NULL AS DATE), C.QUANTITA, ") +
                          kColonneNodo,
                      QStringLiteral("FROM CONSUMI C"),
                      QStringLiteral("  INNER JOIN FABBRIC F ON F.ID = C.ID_FABBRICAZIONE"),
                      QStringLiteral("WHERE ") + c.consumo + limiti};
        }
        std::vector<QVariant> valori = parametriAvanti(r);
        const std::vector<QVariant> una = valori;
        valori.insert(valori.end(), una.begin(), una.end());
        q->setParams(std::move(valori));
        std::vector<Trovato> trovati;
        for (q->open(); !q->eof(); q->next()) {
            Trovato& t = trovati.emplace_back();
            leggiFabbricazione(*q, true, t.f, kColonneLegame);
            t.padre = -1;
            t.legame = legame(q->leggiIntero(0));
            t.materia = q->leggiTesto(1);
            t.lotto = q->leggiTesto(2);
            t.quantita = q->leggiNumero(4);
        }
        q->close();
        aggiungiLivello(g, noti, trovati, 1);
    }

    // level by level: the batches that took the product of the level above
    size_t da = 0;
    for (int livello = g.nodi.empty() ? 0 : g.nodi.front().livello + 1; da < g.nodi.size();
         ++livello) {
        const size_t a = g.nodi.size();
        std::multimap<QString, int> perLotto; // a product and lot: the nodes that made it
        std::vector<QVariant> lotti;
        std::set<QString> visti;
        for (size_t k = da; k < a; ++k) {
            const Fabbricazione& f = g.nodi[k].fabbricazione;
            perLotto.emplace(chiaveLotto(f.codice, f.lotto), int(k));
            const QString l = senzaSpaziFinali(f.lotto);
            if (visti.insert(l).second) {
                lotti.emplace_back(l);
            }
        }
        std::vector<Trovato> trovati;
        avanti_->leggi({lotti, lotti, lotti}, [&](const Query& q) {
            const QString materia = q.leggiTesto(1);
            const QString lotto = q.leggiTesto(2);
            const QDate data = q.leggiData(3);
            const auto [primo, ultimo] = perLotto.equal_range(chiaveLotto(materia, lotto));
            for (auto it = primo; it != ultimo; ++it) {
                const Nodo& padre = g.nodi[size_t(it->second)];
                if (data.isValid() && padre.fabbricazione.data != data) {
                    continue; // made from a batch of the same lot on another day
                }
                Trovato& t = trovati.emplace_back();
                leggiFabbricazione(q, true, t.f, kColonneLegame);
                t.padre = it->second;
                t.legame = legame(q.leggiIntero(0));
                t.materia = materia;
                t.lotto = lotto;
                t.quantita = q.leggiNumero(4);
            }
        });
        if (!accogliLivello(g, noti, trovati, livello, livelliMassimi)) {
            break;
        }
        da = a;
    }
    return g;
}

Genealogia Genealogista::indietro(const Fabbricazione& f, int livelliMassimi) {
    Genealogia g;
    std::map<QString, size_t> noti;
    Nodo radice;
    radice.fabbricazione = f;
    noti.emplace(chiaveFabbricazione(f), 0);
    g.nodi.push_back(std::move(radice));
    size_t da = 0;
    for (int livello = 1; da < g.nodi.size(); ++livello) {
        const size_t a = g.nodi.size();
        std::map<qint64, int> perNumero; // a batch's number: its node
        std::vector<QVariant> numeri;
        for (size_t k = da; k < a; ++k) {
            if (const std::optional<qint64> id = g.nodi[k].fabbricazione.id) {
                if (perNumero.emplace(*id, int(k)).second) {
                    numeri.emplace_back(*id);
                }
            }
        }
        if (numeri.empty()) {
            break;
        }
        std::vector<Trovato> trovati;
        indietro_->leggi({numeri, numeri, numeri}, [&](const Query& q) {
            auto it = perNumero.find(q.leggiIntero(1));
            if (it == perNumero.end()) {
                return;
            }
            Trovato& t = trovati.emplace_back();
            leggiFabbricazione(q, true, t.f, kColonneLegame);
            t.padre = it->second;
            t.legame = legame(q.leggiIntero(0));
            t.materia = q.leggiTesto(2);
            t.lotto = q.leggiTesto(3);
            t.quantita = q.leggiNumero(4);
        });
        if (!accogliLivello(g, noti, trovati, livello, livelliMassimi)) {
            break;
        }
        da = a;
    }
    return g;
}

Frase fraseLista(const Genealogia& g) {
    Frase f;
    f.sql = {QStringLiteral("SELECT F.DATA, F.CODICE, F.NOMEPRODOTTO, F.LOTTO, F.QUANTITALITRI, "
                            "F.UNITAMISURA, F.STATUS, F.IDORDINEIMPMAT, F.ID"),
             QStringLiteral("FROM FABBRIC F")};
    std::set<qint64> numeri;
    for (const Nodo& n : g.nodi) {
        if (n.fabbricazione.id) {
            numeri.insert(*n.fabbricazione.id);
        }
    }
    if (numeri.empty()) {
        f.sql << QStringLiteral("WHERE 1 = 0");
    } else {
        // a list of places has at most 1500 values: several lists when longer
        constexpr size_t kPerLista = 1000;
        QStringList liste;
        QStringList posti;
        for (qint64 n : numeri) {
            posti << QStringLiteral("?");
            f.parametri.emplace_back(n);
            if (posti.size() == int(kPerLista)) {
                liste << QStringLiteral("F.ID IN (") + posti.join(QStringLiteral(", ")) + ')';
                posti.clear();
            }
        }
        if (!posti.isEmpty()) {
            liste << QStringLiteral("F.ID IN (") + posti.join(QStringLiteral(", ")) + ')';
        }
        f.sql << QStringLiteral("WHERE ") + liste.join(QStringLiteral(" OR "));
    }
    // in the order of the trees' levels' batches: date, product, lot
    f.sql << QStringLiteral("ORDER BY F.DATA, F.CODICE, F.LOTTO");
    return f;
}

const std::vector<std::pair<QString, QString>>& titoliLista() {
    static const std::vector<std::pair<QString, QString>> t = {
        {QStringLiteral("DATA"), QStringLiteral("Data")},
        {QStringLiteral("CODICE"), QStringLiteral("Prodotto")},
        {QStringLiteral("NOMEPRODOTTO"), QStringLiteral("Descrizione")},
        {QStringLiteral("LOTTO"), QStringLiteral("Lotto")},
        {QStringLiteral("QUANTITALITRI"), QStringLiteral("Quantità")},
        {QStringLiteral("UNITAMISURA"), QStringLiteral("Unità")},
        {QStringLiteral("STATUS"), QStringLiteral("Stato")},
        {QStringLiteral("IDORDINEIMPMAT"), QStringLiteral("Ordine")},
        {QStringLiteral("ID"), QStringLiteral("Numero")}};
    return t;
}

Genealogia Tracciatore::genealogiaAvanti(const Partenza& p) {
    if (!genealogista_) {
        genealogista_ = std::make_unique<Genealogista>(az_, &trAz_);
    }
    Genealogia g = genealogista_->avanti(p);
    // the host's orders of every batch reached, with their customers
    Avanti a;
    a.utilizzi.reserve(g.nodi.size());
    for (const Nodo& n : g.nodi) {
        a.utilizzi.push_back({n.fabbricazione, {}});
    }
    completaDaErp({}, &a);
    g.ordini = std::move(a.ordini);
    return g;
}

Genealogia Tracciatore::genealogiaIndietro(const Fabbricazione& f) {
    if (!genealogista_) {
        genealogista_ = std::make_unique<Genealogista>(az_, &trAz_);
    }
    return genealogista_->indietro(f);
}

} // namespace quintar::traccia
