#include "support/strumenti.h"

#include <QStandardPaths>

namespace prova {

bool inCi() {
    return !qEnvironmentVariableIsEmpty("CI");
}

QString strumento(const QString& nome) {
    return QStandardPaths::findExecutable(nome);
}

std::string strumentoMancante(const QString& nome, const QString& pacchetto) {
    return (nome + " is not installed (Debian package " + pacchetto + ")" +
            (inCi() ? QStringLiteral(": a failure, since CI is set") : QStringLiteral(": skipped")))
        .toStdString();
}

bool strumentoDisponibile(const QString& nome, const QString& pacchetto) {
    if (!strumento(nome).isEmpty()) {
        return true;
    }
    if (inCi()) {
        ADD_FAILURE() << strumentoMancante(nome, pacchetto);
    }
    return false;
}

} // namespace prova
