#include "production/fabbricazione.h"

#include "session/sqlvalori.h"

namespace quintar {

QStringList condizioneLineeLotto(const LottoCorrente& l, const QString& alias) {
    if (l.vuoto()) {
        return {QStringLiteral("   (%1CODICEFABBRICAZIONE IS NULL)").arg(alias)};
    }
    return {
        QStringLiteral("   (%1CODICEFABBRICAZIONE=%2)").arg(alias, sql::testoNonNullo(l.codice)),
        QStringLiteral("   AND(%1DATAFABBRICAZIONE=%2)").arg(alias, sql::data(l.data)),
        QStringLiteral("   AND(%1LOTTOFABBRICAZIONE=%2)").arg(alias, sql::testoNonNullo(l.lotto))};
}

} // namespace quintar
