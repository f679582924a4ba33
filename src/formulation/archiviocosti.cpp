#include "formulation/archiviocosti.h"

#include "master/costoimballo.h"
#include "session/sqlvalori.h"

namespace quintar::costi {

namespace {

// Opens q on `frase` with `parametri`; true when there is a row.
bool apri(Query& q, QStringList frase, std::vector<QVariant> parametri = {}) {
    q.close();
    q.SQL = std::move(frase);
    q.setParams(std::move(parametri));
    q.open();
    return !q.eof();
}

double numero(const Query& q, const char* campo) {
    return q.fieldByName(QLatin1String(campo)).asFloat();
}

QString testo(const Query& q, const char* campo) {
    return q.fieldByName(QLatin1String(campo)).asString();
}

// The packaging names of PRODOT, in the order of ImballoProdotto::costi,
// with their code columns, the type each of the first four must have and
// what the line is called.
struct LineaImballo {
    const char* colonna;
    const char* codice;
    const char* tipo;
    const char* posto;
};
constexpr std::array<LineaImballo, 8> kLinee = {
    {{"IMBALLOCONTENITORE", "CODICEIMBALLOCONTENITORE", "Contenitore", "Contenitore"},
     {"IMBALLOTAPPO", "CODICEIMBALLOTAPPO", "Tappo", "Tappo"},
     {"IMBALLOETICHETTA", "CODICEIMBALLOETICHETTA", "Etichetta", "Etichetta"},
     {"IMBALLOCARTONE", "CODICEIMBALLOCARTONE", "Cartone", "Cartone"},
     {"IMBALLOALTRO1", "CODICEIMBALLOALTRO1", nullptr, "Altro 1"},
     {"IMBALLOALTRO2", "CODICEIMBALLOALTRO2", nullptr, "Altro 2"},
     {"IMBALLOALTRO3", "CODICEIMBALLOALTRO3", nullptr, "Altro 3"},
     {"IMBALLOALTRO4", "CODICEIMBALLOALTRO4", nullptr, "Altro 4"}}};

// The sheet's own columns, or none.
struct RigaScheda {
    SchedaCosti scheda;
    QString prodotto;
    int tipoCalcUnitario = 0;
    double costoManodopera = 0, costoMateriali = 0, costoBaseUnitario = 0, costoBeta = 0,
           costoTrasporto = 0, prezzoBase = 0, costoContenitore = 0;
};

std::optional<RigaScheda> leggiScheda(Query& q, int codice) {
    if (!apri(q,
              {QStringLiteral("SELECT TIPOSCHEDA,CODICEPRODOTTO,QUANTITADAPRODURRE,"),
               QStringLiteral("TEMPOPRODUZIONE,TEMPOAVVIO,TEMPOCONTROLLOQUALITA,TEMPOCONFEZ,"),
               QStringLiteral("COEFFRICARICO,COEFFAGENTE,COEFFSCONTO,TIPOCOMPOSIZIONE,"),
               QStringLiteral("TIPOCALCUNITARIO,COSTOMANODOPERA,COSTOMATERIALI,"),
               QStringLiteral("COSTOBASEUNITARIO,COSTOBETA,COSTOTRASPORTO,PREZZOBASE,"),
               QStringLiteral("COSTOCONTENITORE FROM COSTI WHERE CODICE=?")},
              {codice})) {
        q.close();
        return std::nullopt;
    }
    RigaScheda r;
    SchedaCosti& s = r.scheda;
    s.secondaria = q.fieldByName(QStringLiteral("TIPOSCHEDA")).asInteger() == 1;
    s.quantita = numero(q, "QUANTITADAPRODURRE");
    s.tempoProduzione = numero(q, "TEMPOPRODUZIONE");
    s.tempoAvvio = numero(q, "TEMPOAVVIO");
    s.tempoControlloQualita = numero(q, "TEMPOCONTROLLOQUALITA");
    s.tempoConfezionamento = numero(q, "TEMPOCONFEZ");
    s.coeffRicarico = numero(q, "COEFFRICARICO");
    s.coeffAgente = numero(q, "COEFFAGENTE");
    s.coeffSconto = numero(q, "COEFFSCONTO");
    s.tipoComposizione = int(q.fieldByName(QStringLiteral("TIPOCOMPOSIZIONE")).asInteger());
    r.prodotto = testo(q, "CODICEPRODOTTO");
    r.tipoCalcUnitario = int(q.fieldByName(QStringLiteral("TIPOCALCUNITARIO")).asInteger());
    r.costoManodopera = numero(q, "COSTOMANODOPERA");
    r.costoMateriali = numero(q, "COSTOMATERIALI");
    r.costoBaseUnitario = numero(q, "COSTOBASEUNITARIO");
    r.costoBeta = numero(q, "COSTOBETA");
    r.costoTrasporto = numero(q, "COSTOTRASPORTO");
    r.prezzoBase = numero(q, "PREZZOBASE");
    r.costoContenitore = numero(q, "COSTOCONTENITORE");
    q.close();
    return r;
}

SommeSecondarie leggiSomme(Query& q, int codice) {
    SommeSecondarie s;
    if (apri(q,
             {QStringLiteral("SELECT SUM(B.COSTOBASE) AS SOMMACOSTIBASE,"),
              QStringLiteral("SUM(B.COSTOBASEUNITARIO) AS SOMMACOSTIBASEUNITARI,"),
              QStringLiteral("SUM(B.COSTOBASEUNITARIO*A.COLLEGAMENTO)"),
              QStringLiteral("AS SOMMACOSTIUNITARIVENDITA"),
              QStringLiteral("FROM SCHEDE A LEFT JOIN COSTI B ON"),
              QStringLiteral("(A.CODICESCHEDASECONDARIA=B.CODICE)"),
              QStringLiteral("WHERE A.CODICESCHEDAPRIMARIA=?")},
             {codice})) {
        s.costiBase = numero(q, "SOMMACOSTIBASE");
        s.costiBaseUnitari = numero(q, "SOMMACOSTIBASEUNITARI");
        s.costiUnitariVendita = numero(q, "SOMMACOSTIUNITARIVENDITA");
    }
    q.close();
    return s;
}

// The product's formulation when the product names one that is gone, or
// the materials its lines name that are gone; nothing for a product without
// formulation or not in the archive.
QStringList mancantiFormulazione(Query& q, const QString& prodotto) {
    if (!apri(q,
              {QStringLiteral("SELECT A.CODICEFORMULAZIONE,B.CODICE"),
               QStringLiteral("FROM PRODOT A LEFT JOIN FORMUL B ON"),
               QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICE)"),
               QStringLiteral("WHERE A.CODICE=?")},
              {prodotto}) ||
        q.field(0).isNull()) {
        q.close();
        return {};
    }
    const QString formulazione = q.field(0).asString();
    const qint64 numero = q.field(0).asInteger();
    const bool esiste = !q.field(1).isNull();
    q.close();
    if (!esiste) {
        return {QStringLiteral("La formulazione %1 del prodotto %2 non esiste più")
                    .arg(formulazione, prodotto)};
    }
    apri(q,
         {QStringLiteral("SELECT DISTINCT A.CODICEMATERIAPRIMA FROM COMPON A"),
          QStringLiteral("WHERE (A.CODICEFORMULAZIONE=?)AND(A.CODICEMATERIAPRIMA<>'')"),
          QStringLiteral("AND NOT EXISTS (SELECT 1 FROM MATER B"),
          QStringLiteral("WHERE B.CODICE=A.CODICEMATERIAPRIMA)"), QStringLiteral("ORDER BY 1")},
         {QVariant(numero)});
    QStringList materie;
    for (bool riga = !q.eof(); riga; riga = q.next()) {
        materie << q.field(0).asString();
    }
    q.close();
    if (materie.isEmpty()) {
        return {};
    }
    return {materieMancanti(formulazione, materie)};
}

// The formulation's lines of a product at today's prices; lines whose
// material is not in the archive are left out.
std::vector<RigaComponente> righeProdotto(Query& q, const QString& prodotto) {
    std::vector<RigaComponente> righe;
    apri(q,
         {QStringLiteral("SELECT B.PERCENTUALE,C.CODICE,C.PREZZO"),
          QStringLiteral("FROM PRODOT A LEFT JOIN COMPON B ON"),
          QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICEFORMULAZIONE)"),
          QStringLiteral("LEFT JOIN MATER C ON (B.CODICEMATERIAPRIMA=C.CODICE)"),
          QStringLiteral("WHERE A.CODICE=?"), QStringLiteral("ORDER BY B.NRIGA")},
         {prodotto});
    for (bool riga = !q.eof(); riga; riga = q.next()) {
        if (q.field(1).asString().isEmpty()) {
            continue;
        }
        RigaComponente r;
        r.percentuale = q.field(0).asFloat();
        r.prezzo = q.field(2).asFloat();
        righe.push_back(r);
    }
    q.close();
    return righe;
}

} // namespace

std::optional<ParametriCosti> leggiParametri(Query& q) {
    // CPAR has no key: its first row is the first one stored
    if (!apri(q, {QStringLiteral("SELECT FIRST 1 COSTOTEMPO,COSTIGENERALIANNUI,COSTIBASEANNUI,"),
                  QStringLiteral("COEFFRICARICO,COEFFAGENTE,COEFFSCONTO,COSTOTRASPORTO"),
                  QStringLiteral("FROM CPAR ORDER BY RDB$DB_KEY")})) {
        q.close();
        return std::nullopt;
    }
    ParametriCosti p;
    p.costoTempo = numero(q, "COSTOTEMPO");
    p.costiGeneraliAnnui = numero(q, "COSTIGENERALIANNUI");
    p.costiBaseAnnui = numero(q, "COSTIBASEANNUI");
    p.coeffRicarico = numero(q, "COEFFRICARICO");
    p.coeffAgente = numero(q, "COEFFAGENTE");
    p.coeffSconto = numero(q, "COEFFSCONTO");
    p.trasporto = numero(q, "COSTOTRASPORTO");
    q.close();
    return p;
}

ImballoProdotto leggiImballo(Query& q, const QString& prodotto) {
    ImballoProdotto i;
    if (prodotto.isEmpty()) {
        return i;
    }
    QStringList colonne;
    for (const LineaImballo& l : kLinee) {
        colonne << QString::fromLatin1(l.colonna);
    }
    for (int d = 1; d <= 6; ++d) {
        colonne << QStringLiteral("DIVISORE%1").arg(d);
    }
    for (const LineaImballo& l : kLinee) {
        colonne << QString::fromLatin1(l.codice);
    }
    if (!apri(q,
              {QStringLiteral("SELECT ") + colonne.join(','),
               QStringLiteral("FROM PRODOT WHERE CODICE=?")},
              {prodotto})) {
        q.close();
        return i;
    }
    i.trovato = true;
    std::array<QString, 8> nomi;
    std::array<QString, 8> codici;
    for (size_t n = 0; n < kLinee.size(); ++n) {
        nomi[n] = testo(q, kLinee[n].colonna);
        codici[n] = testo(q, kLinee[n].codice).trimmed();
    }
    for (size_t d = 0; d < 6; ++d) {
        i.divisori[d] = q.field(int(8 + d)).asFloat();
    }
    q.close();
    for (size_t n = 0; n < kLinee.size(); ++n) {
        // container, cap and label share D1, carton D2, the others D3…D6
        const size_t d = n < 3 ? 0 : n - 2;
        if (nomi[n].isEmpty() || i.divisori[d] <= kQuantitaMinima) {
            continue;
        }
        i.costi[n] = imballi::costoInArchivio(q, nomi[n], QString::fromLatin1(kLinee[n].tipo));
        if (!codici[n].isEmpty() &&
            !apri(q, {QStringLiteral("SELECT 1 FROM IMBALLI WHERE CODICE=?")}, {codici[n]})) {
            i.mancanti << QStringLiteral("%1 (%2)").arg(codici[n],
                                                        QString::fromLatin1(kLinee[n].posto));
        }
        q.close();
    }
    i.costo = costoImballoProdotto(i.costi, i.divisori);
    return i;
}

double CalcolaCostoImballo(Database& db, const QString& prodotto) {
    Transaction t(&db);
    Query q(&db, &t);
    const double c = leggiImballo(q, prodotto).costo;
    t.commit();
    return c;
}

DatiMancanti::DatiMancanti(int codice, QStringList righe)
    : std::runtime_error("dati della scheda non in archivio"), scheda(codice),
      mancanti(std::move(righe)) {}

QString DatiMancanti::testo() const {
    const QString n = QString::number(scheda);
    if (mancanti.size() == 1) {
        return QStringLiteral("%1: la scheda %2 non è stata ricalcolata.").arg(mancanti.first(), n);
    }
    return mancanti.join(QStringLiteral(".\r\n")) +
           QStringLiteral(".\r\nLa scheda %1 non è stata ricalcolata.").arg(n);
}

std::optional<TotaliCosti> CalcolaTotali(Database& db, int codice, const QDate& oggi) {
    Transaction t(&db);
    Query q(&db, &t);
    const std::optional<RigaScheda> r = leggiScheda(q, codice);
    if (!r) {
        return std::nullopt;
    }
    DatiCalcolo d;
    d.parametri = leggiParametri(q);
    d.scheda = r->scheda;
    if (!r->prodotto.isEmpty()) {
        const ImballoProdotto imballo = leggiImballo(q, r->prodotto);
        // what is gone would be priced at 0: the sheet keeps its figures
        QStringList mancanti;
        if (!imballo.trovato) {
            mancanti << QStringLiteral("Il prodotto %1 non esiste più").arg(r->prodotto);
        } else {
            mancanti << mancantiFormulazione(q, r->prodotto);
            if (!imballo.mancanti.isEmpty()) {
                mancanti << (imballo.mancanti.size() == 1
                                 ? QStringLiteral("L'imballo %1 del prodotto %2 non esiste più")
                                 : QStringLiteral(
                                       "Gli imballi %1 del prodotto %2 non esistono più"))
                                .arg(elencoCodici(imballo.mancanti), r->prodotto);
            }
        }
        if (!mancanti.isEmpty()) {
            throw DatiMancanti(codice, mancanti);
        }
        d.costoUnitarioProdotto =
            costoUnitarioProdotto(righeProdotto(q, r->prodotto), imballo.costo);
        if (apri(q,
                 {QStringLiteral("SELECT B.COSTOUNITARIO FROM PRODOT A LEFT JOIN FORMUL B ON"),
                  QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICE)"),
                  QStringLiteral("WHERE A.CODICE=?")},
                 {r->prodotto})) {
            d.costoRawMater = q.field(0).asFloat();
            d.costoContenitore = imballo.costo;
        }
        q.close();
    }
    d.totaleCostiBaseSecondarie = leggiSomme(q, codice).costiBase;

    const TotaliCosti c = calcolaTotali(d);
    const auto v = [](double x) { return sql::numero(x); };
    QStringList frase = {
        QStringLiteral("UPDATE COSTI SET"),
        QStringLiteral("COSTOMANODOPERA=%1,").arg(v(c.costoManodopera)),
        QStringLiteral("COSTOMATERIALI=%1,").arg(v(c.costoMateriali)),
        QStringLiteral("COSTOBASE=%1,").arg(v(c.costoBase)),
        QStringLiteral("COSTOBETA=%1,").arg(v(c.costoBeta)),
        QStringLiteral("COSTIGENERALI=%1,").arg(v(c.costiGenerali)),
        QStringLiteral("COSTOTOTALE=%1,").arg(v(c.costoTotale)),
        QStringLiteral("COSTOTRASPORTO=%1,").arg(v(c.costoTrasporto)),
        QStringLiteral("COSTOCONTRASPORTO=%1,").arg(v(c.costoConTrasporto)),
        QStringLiteral("PREZZOBASE=%1,").arg(v(c.prezzoBase)),
        QStringLiteral("PREZZOBASECONAGENTE=%1,").arg(v(c.prezzoBaseConAgente)),
        QStringLiteral("PREZZOSCONTATO=%1,").arg(v(c.prezzoScontato)),
        QStringLiteral("COSTOTEMPO=%1,").arg(v(c.costoTempo)),
        QStringLiteral("COSTOAVVIOUNITARIO=%1,").arg(v(c.costoAvvioUnitario)),
        QStringLiteral("COSTOPRODUZIONEUNITARIO=%1,").arg(v(c.costoProduzioneUnitario)),
        QStringLiteral("COSTOCONFEZUNITARIO=%1,").arg(v(c.costoConfezUnitario)),
        QStringLiteral("COSTOCONTROLLOQUALUNIT=%1,").arg(v(c.costoControlloQualUnit)),
        QStringLiteral("COSTORAWMATER=%1,").arg(v(c.costoRawMater)),
        QStringLiteral("COSTOCONTENITORE=%1,").arg(v(c.costoContenitore))};
    if (c.costoBaseUnitario) {
        frase << QStringLiteral("COSTOBASEUNITARIO=%1,").arg(v(*c.costoBaseUnitario));
    }
    frase << QStringLiteral("DATAULTIMAMODIFICA=%1").arg(sql::data(oggi))
          << QStringLiteral("WHERE CODICE=?");
    q.SQL = frase;
    q.setParams({codice});
    if (q.execSQL() != 1) {
        // deleted by another user since it was read
        return std::nullopt;
    }
    t.commit();
    return c;
}

std::optional<VistaScheda> CalcolaCostiUnitari(Database& db, int codice) {
    Transaction t(&db);
    Query q(&db, &t);
    const std::optional<RigaScheda> r = leggiScheda(q, codice);
    if (!r) {
        return std::nullopt;
    }
    VistaScheda vista;
    vista.somme = leggiSomme(q, codice);
    DatiUnitari d;
    d.secondaria = r->scheda.secondaria;
    d.quantita = r->scheda.quantita;
    d.costoManodopera = r->costoManodopera;
    d.costoMateriali = r->costoMateriali;
    d.costoBaseUnitario = r->costoBaseUnitario;
    d.costoBeta = r->costoBeta;
    d.costoTrasporto = r->costoTrasporto;
    d.coeffRicarico = r->scheda.coeffRicarico;
    d.tipoCalcUnitario = r->tipoCalcUnitario;
    d.parametri = leggiParametri(q);
    d.somme = vista.somme;
    vista.unitari = calcolaCostiUnitari(d);

    vista.costoContenitore = r->costoContenitore;
    if (!r->prodotto.isEmpty()) {
        if (apri(q,
                 {QStringLiteral("SELECT A.UNITAVENDITA,A.MODBUSTA,A.DIVISORE1,"),
                  QStringLiteral("A.BUSTEPIENE,B.DENSITA FROM PRODOT A"),
                  QStringLiteral("LEFT JOIN FORMUL B ON"),
                  QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICE)"),
                  QStringLiteral("WHERE A.CODICE=?")},
                 {r->prodotto})) {
            ProdottoVendita p;
            p.unitaVendita = testo(q, "UNITAVENDITA");
            // the products card stores '1' for bags, '0' otherwise
            p.busta = testo(q, "MODBUSTA").trimmed() == QLatin1String("1");
            p.divisore1 = numero(q, "DIVISORE1");
            p.bustePiene = numero(q, "BUSTEPIENE");
            p.densita = numero(q, "DENSITA");
            vista.prezzi = calcolaPrezziVendita(r->prezzoBase, r->scheda.quantita, p);
        }
        q.close();
        vista.imballo = leggiImballo(q, r->prodotto);
    }
    vista.imballoVariato = imballoDaAggiornare(vista.imballo.costo, vista.costoContenitore);
    t.commit();
    return vista;
}

} // namespace quintar::costi
