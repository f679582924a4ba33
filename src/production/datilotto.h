// Values a batch header derives from its own: the expiry date and the number
// of containers the batch fills.
#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace quintar::produzione {

// The batch date plus the product's months of life: the same day of the
// month, or the month's last day when the month is shorter (31 January plus
// one month is 28 or 29 February). Invalid for an invalid date or a month
// count that is missing or negative.
QDate scadenza(const QDate& data, std::optional<int> mesi);

// The expiry as the header shows it and as labels and prints read it back:
// always "dd/MM/yyyy", whatever the session's date format.
QString scadenzaInTesto(const QDate& scadenza);
// The expiry shown by scadenzaInTesto; invalid for anything else.
QDate leggiScadenza(const QString& testo);

// The batch quantity divided by the container's capacity (the capacity as
// the capacities table stores it, as text): nothing when the quantity is
// missing or the capacity is empty, "0" or not a number.
std::optional<double> numeroContenitori(std::optional<double> quantita, const QString& capacita);

} // namespace quintar::produzione
