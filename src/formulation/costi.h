// The raw-material cost of a formulation, held exactly to the fourth decimal,
// and the test that tells a stored cost gone stale from one still right.
#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>
#include <optional>
#include <vector>

namespace quintar::costi {

// A cost to the fourth decimal, kept as a whole number of ten-thousandths so
// that comparisons and differences are exact.
class Costo4 {
public:
    constexpr Costo4() = default;
    static constexpr Costo4 daDecimillesimi(qint64 n) {
        Costo4 c;
        c.n_ = n;
        return c;
    }
    // The decimal number a value read from the archive stands for (its first
    // 15 significant digits, so that 1,11 − 1,10 computed in binary is 0,01),
    // rounded to the fourth decimal with a half going to the even neighbour.
    // std::invalid_argument for infinities and NaN, std::overflow_error
    // beyond ±900 000 000 000.
    static Costo4 arrotonda(double v);

    constexpr qint64 decimillesimi() const { return n_; }
    // The nearest double: written through the SQL helpers it reads back as
    // the same four decimals.
    double valore() const { return double(n_) / 10000.0; }
    // As the user reads it, with the current decimal separator and no
    // trailing zeros ("1,105", "0").
    QString testo() const;

    constexpr auto operator<=>(const Costo4&) const = default;

private:
    qint64 n_ = 0;
};

// The cost of a formulation computed at today's prices, and whether the
// stored one must be corrected.
struct ConfrontoCosto {
    Costo4 ricalcolato;
    bool variato = false;
};

// The largest difference between stored and computed cost that still counts
// as equal: 0,01.
inline constexpr Costo4 kSogliaVariazione = Costo4::daDecimillesimi(100);

// `memorizzato` is the stored unit cost (NULL counts as 0), `somma` the sum
// of percentage × price / 100 over the formulation's component lines (NULL,
// as for a formulation without lines or whose materials have no price,
// counts as 0). Both are taken to the fourth decimal; the formulation is to
// be corrected when they differ by more than kSogliaVariazione.
ConfrontoCosto confrontaCosto(std::optional<double> memorizzato, std::optional<double> somma);

// One component line: its percentage and its material's price (none when
// the material is unknown or has no price).
struct RigaComponente {
    std::optional<double> percentuale;
    std::optional<double> prezzo;
};

// The totals of a formulation's component page.
struct CostiComponenti {
    double totalePercentuale = 0; // the lines' percentages
    double totale = 0;            // sum of percentage × price / 100: the unit cost
    // 100 − the lines' percentages, cut (not rounded) to two decimals.
    double percentualeAcqua = 0;
    // The softened water's cost: (100 − percentages) × water price / 100.
    double costoAcqua = 0;
};

// Lines without a price add their percentage but no cost. The water share
// is computed on the decimals the values stand for, so that 100 − 42,5 cut
// to two decimals is 57,5 and not 57,49.
CostiComponenti calcolaCostiComponenti(const std::vector<RigaComponente>& righe,
                                       double prezzoAcqua);

// The number a new procedure line proposes after the highest one: that
// number rounded to a whole one, a half going to the even neighbour, plus 1
// (2,5 → 3; 3,5 → 5); 1 when there are no lines.
int prossimaRigaProcedura(std::optional<double> massimo);

} // namespace quintar::costi
