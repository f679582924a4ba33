#include "session/percorsi.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace quintar::percorsi {

bool separatore(QChar c) {
    return c == '/' || c == '\\';
}

bool diRete(const QString& percorso) {
    return percorso.startsWith(QLatin1String("\\\\"));
}

QString conSeparatore(const QString& dir) {
    if (!dir.isEmpty() && separatore(dir.back())) {
        return dir;
    }
    return dir + '/';
}

QString dirEseguibile() {
    QString d = qEnvironmentVariable(kVariabileDirHost);
    if (d.isEmpty()) {
        d = QCoreApplication::instance()
                ? QCoreApplication::applicationDirPath()
                : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    }
    return conSeparatore(d);
}

QString suDisco(const QString& percorso) {
    if (percorso.startsWith(QLatin1String("\\\\"))) {
        return percorso;
    }
    QString p = percorso;
    p.replace('\\', '/');
    return p;
}

void dividi(const QString& percorso, QString& dir, QString& file) {
    int i = int(percorso.size()) - 1;
    while (i >= 0 && !separatore(percorso.at(i))) {
        --i;
    }
    dir = percorso.left(i + 1);
    file = percorso.mid(i + 1);
}

} // namespace quintar::percorsi
