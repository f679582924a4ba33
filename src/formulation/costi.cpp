#include "formulation/costi.h"

#include "session/formati.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace quintar::costi {

namespace {

constexpr qint64 kPotenze[] = {1,
                               10,
                               100,
                               1000,
                               10000,
                               100000,
                               1000000,
                               10000000,
                               100000000,
                               1000000000,
                               10000000000,
                               100000000000,
                               1000000000000,
                               10000000000000,
                               100000000000000,
                               1000000000000000};

// Above this a cost in ten-thousandths no longer fits comfortably: costs of
// this size are not costs but damaged data.
constexpr double kMassimo = 9e14;

} // namespace

Costo4 Costo4::arrotonda(double v) {
    if (!std::isfinite(v)) {
        throw std::invalid_argument("costo non numerico");
    }
    if (std::fabs(v) >= kMassimo) {
        throw std::overflow_error("costo fuori scala");
    }
    if (v == 0) {
        return {};
    }
    // d.dddddddddddddde±x: the 15 significant digits as a whole number m,
    // so that v = m × 10^(x − 14)
    char buf[40];
    const auto r =
        std::to_chars(buf, buf + sizeof(buf), std::fabs(v), std::chars_format::scientific, 14);
    qint64 m = 0;
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            m = m * 10 + (*p - '0');
        }
    }
    int esponente = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), r.ptr, esponente);
    // v × 10^4 = m × 10^k
    const int k = esponente - 14 + 4;
    qint64 n = 0;
    if (k >= 0) {
        // |v| < 9e14 keeps m × 10^k below 9e18
        n = m * kPotenze[k];
    } else if (-k <= 15) {
        const qint64 p10 = kPotenze[-k];
        n = m / p10;
        const qint64 resto = m % p10;
        if (2 * resto > p10 || (2 * resto == p10 && n % 2 != 0)) {
            ++n;
        }
    } // else m < 10^15 is below half of 10^16: the cost rounds to 0
    return daDecimillesimi(v < 0 ? -n : n);
}

QString Costo4::testo() const {
    return Formati::numeroInTesto(valore());
}

ConfrontoCosto confrontaCosto(std::optional<double> memorizzato, std::optional<double> somma) {
    ConfrontoCosto c;
    c.ricalcolato = Costo4::arrotonda(somma.value_or(0.0));
    const Costo4 prima = Costo4::arrotonda(memorizzato.value_or(0.0));
    const qint64 differenza = c.ricalcolato.decimillesimi() - prima.decimillesimi();
    c.variato = (differenza < 0 ? -differenza : differenza) > kSogliaVariazione.decimillesimi();
    return c;
}

namespace {

// A value in billionths, read as the decimal it stands for.
qint64 inMiliardesimi(double v) {
    return qint64(std::llround(v * 1e9));
}

} // namespace

CostiComponenti calcolaCostiComponenti(const std::vector<RigaComponente>& righe,
                                       double prezzoAcqua) {
    CostiComponenti c;
    qint64 percentuali = 0;
    for (const RigaComponente& r : righe) {
        if (!r.percentuale) {
            continue;
        }
        percentuali += inMiliardesimi(*r.percentuale);
        if (r.prezzo) {
            c.totale += *r.percentuale * *r.prezzo / 100.0;
        }
    }
    c.totalePercentuale = double(percentuali) / 1e9;
    const qint64 acqua = qint64(100) * 1000000000 - percentuali;
    // hundredths, the fraction dropped towards zero
    c.percentualeAcqua = double(acqua / 10000000) / 100.0;
    c.costoAcqua = double(acqua) / 1e9 * prezzoAcqua / 100.0;
    return c;
}

int prossimaRigaProcedura(std::optional<double> massimo) {
    if (!massimo) {
        return 1;
    }
    const qint64 millesimi = qint64(std::llround(*massimo * 1000));
    qint64 intero = millesimi / 1000;
    qint64 resto = millesimi % 1000;
    if (resto < 0) {
        resto += 1000;
        --intero;
    }
    if (resto > 500 || (resto == 500 && intero % 2 != 0)) {
        ++intero;
    }
    return int(intero) + 1;
}

} // namespace quintar::costi
