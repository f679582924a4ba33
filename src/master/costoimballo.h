// The packaging cost of one unit of a product: container, cap and label
// shared by the first divisor, then carton and four further items each by
// its own.
#pragma once

#include <array>
#include <optional>

namespace quintar::imballi {

// The item costs (container, cap, label, carton, other 1 to 4; none when the
// item has no name or none is found) and the six divisors. A group whose
// divisor is 0 is left out; the first group counts the items found.
double costoUnitario(const std::array<std::optional<double>, 8>& costi,
                     const std::array<double, 6>& divisori);

} // namespace quintar::imballi
