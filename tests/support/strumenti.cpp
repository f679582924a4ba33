#include "support/strumenti.h"

#include <QProcess>
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

const QString& pythonConOpenpyxl() {
    static const QString trovato = [] {
        for (const QString& p : {strumento("python3"), QString("/usr/bin/python3")}) {
            if (p.isEmpty()) {
                continue;
            }
            QProcess x;
            x.start(p, {"-c", "import openpyxl"});
            if (x.waitForFinished(30000) && x.exitStatus() == QProcess::NormalExit &&
                x.exitCode() == 0) {
                return p;
            }
        }
        return QString();
    }();
    return trovato;
}

} // namespace prova
