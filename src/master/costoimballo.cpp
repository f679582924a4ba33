#include "master/costoimballo.h"

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

} // namespace quintar::imballi
