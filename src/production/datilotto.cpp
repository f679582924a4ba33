#include "production/datilotto.h"

#include "session/formati.h"

namespace quintar::produzione {

QDate scadenza(const QDate& data, std::optional<int> mesi) {
    if (!data.isValid() || !mesi || *mesi < 0) {
        return {};
    }
    return data.addMonths(*mesi);
}

namespace {
const QString kFormatoScadenza = QStringLiteral("dd/MM/yyyy");
}

QString scadenzaInTesto(const QDate& scadenza) {
    return scadenza.isValid() ? scadenza.toString(kFormatoScadenza) : QString();
}

QDate leggiScadenza(const QString& testo) {
    return QDate::fromString(testo.trimmed(), kFormatoScadenza);
}

std::optional<double> numeroContenitori(std::optional<double> quantita, const QString& capacita) {
    const QString c = capacita.trimmed();
    if (!quantita || c.isEmpty() || c == QLatin1String("0")) {
        return std::nullopt;
    }
    const std::optional<double> v = Formati::leggiNumero(c);
    if (!v || *v == 0) {
        return std::nullopt;
    }
    return *quantita / *v;
}

} // namespace quintar::produzione
