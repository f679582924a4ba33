// The packaging cost of one unit of a product: container, cap and label
// shared by the first divisor, then carton and four further items each by
// its own.
#pragma once

#include <QString>
#include <array>
#include <optional>

namespace quintar {
class Query;
}

namespace quintar::imballi {

// The item costs (container, cap, label, carton, other 1 to 4; none when the
// item has no name or none is found) and the six divisors. A group whose
// divisor is 0 is left out; the first group counts the items found.
double costoUnitario(const std::array<std::optional<double>, 8>& costi,
                     const std::array<double, 6>& divisori);

// The two lines of the "Costo un.imballo" window: the formula, then the
// item costs (0 for an item left out, in shortest form with the current
// decimal separator) over the divisors as stored (as the list shows them; 0
// when empty), followed by the unit cost as shown on the card.
QString spiegazione(const std::array<std::optional<double>, 8>& costi,
                    const std::array<QString, 6>& divisori, const QString& costoMostrato);

// The COSTOIMBALLO1 of the first packaging item (in code order) of that
// name and, for container, cap, label and carton, of that type's
// description in TPIMBA ("Contenitore"; empty for the further items);
// nothing when the name is empty or no item has it. The name is looked up
// as it is stored, an apostrophe as ´. Runs on the query's transaction.
std::optional<double> costoInArchivio(Query& q, const QString& nome, const QString& tipo);

} // namespace quintar::imballi
