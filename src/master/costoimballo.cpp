#include "master/costoimballo.h"

#include "session/db.h"
#include "session/sqlvalori.h"

#include "session/formati.h"

namespace quintar::imballi {

double costoUnitario(const std::array<std::optional<double>, 8>& costi,
                     const std::array<double, 6>& divisori) {
    double totale = 0;
    if (divisori[0] != 0) {
        double primi = 0;
        for (int i = 0; i < 3; ++i) {
            primi += costi[size_t(i)].value_or(0);
        }
        totale += primi / divisori[0];
    }
    for (int i = 3; i < 8; ++i) {
        const double d = divisori[size_t(i - 2)];
        if (d != 0 && costi[size_t(i)]) {
            totale += *costi[size_t(i)] / d;
        }
    }
    return totale;
}

QString spiegazione(const std::array<std::optional<double>, 8>& costi,
                    const std::array<QString, 6>& divisori, const QString& costoMostrato) {
    auto c = [&costi](int i) { return Formati::numeroInTesto(costi[size_t(i)].value_or(0)); };
    auto d = [&divisori](int i) {
        const QString t = divisori[size_t(i)].trimmed();
        return t.isEmpty() ? QStringLiteral("0") : t;
    };
    const QString formula = QStringLiteral(
        "Costo Contenitore = ([c_contenitore]+[c_tappo]+[c_etichetta])/[d1]+[c_cartone]/[d2]+"
        "[c_altro_1]/[d3]+[c_altro_2]/[d4]+[c_altro_3]/[d5]+[c_altro_4]/[d6] =");
    QString valori = QStringLiteral("(%1 + %2 + %3) / %4").arg(c(0), c(1), c(2), d(0));
    for (int i = 3; i < 8; ++i) {
        valori += QStringLiteral(" + %1 / %2").arg(c(i), d(i - 2));
    }
    valori += QStringLiteral(" = ") + costoMostrato;
    return formula + '\n' + valori;
}

std::optional<double> costoInArchivio(Query& q, const QString& nome, const QString& tipo) {
    if (nome.trimmed().isEmpty()) {
        return std::nullopt;
    }
    q.close();
    if (!tipo.isEmpty()) {
        // the type's code compared as text: a type that is not a number
        // never stops the look-up
        q.SQL = {QStringLiteral("SELECT FIRST 1 A.COSTOIMBALLO1"),
                 QStringLiteral("FROM IMBALLI A LEFT JOIN TPIMBA B ON"),
                 QStringLiteral("(A.TIPOIMBALLO=CAST(B.CODICE AS VARCHAR(11)))"),
                 QStringLiteral("WHERE (A.NOMEIMBALLO=?)AND(B.DESCRIZIONE=?)"),
                 QStringLiteral("ORDER BY A.CODICE")};
        q.setParams({sql::senzaApici(nome), tipo});
    } else {
        q.SQL = {QStringLiteral("SELECT FIRST 1 COSTOIMBALLO1 FROM IMBALLI"),
                 QStringLiteral("WHERE NOMEIMBALLO=?"), QStringLiteral("ORDER BY CODICE")};
        q.setParams({sql::senzaApici(nome)});
    }
    q.open();
    std::optional<double> costo;
    if (!q.eof()) {
        const Campo c = q.field(0);
        costo = c.isNull() ? 0.0 : c.asFloat();
    }
    q.close();
    q.setParams({});
    return costo;
}

} // namespace quintar::imballi
