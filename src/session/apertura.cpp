#include "session/apertura.h"

#include "session/percorsi.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quintar::apertura {

namespace {

bool apriSulDesktop(const QString& file, const QString& cartella) {
    // xdg-open starts the associated program in the folder given; without it
    // Qt's own way still opens the file
    const QString xdg = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdg.isEmpty() && QProcess::startDetached(xdg, {file}, cartella)) {
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

Apritore& attuale() {
    static Apritore a = apriSulDesktop;
    return a;
}

} // namespace

bool apri(const QString& file) {
    const QFileInfo f(file);
    return attuale()(f.absoluteFilePath(), f.absolutePath());
}

void installa(Apritore a) {
    attuale() = a ? std::move(a) : Apritore(apriSulDesktop);
}

namespace {

bool avviaStaccato(const QString& programma, const QStringList& argomenti) {
    return QProcess::startDetached(programma, argomenti);
}

Avviatore& avviatore() {
    static Avviatore a = avviaStaccato;
    return a;
}

} // namespace

QString programma(const QString& nome) {
    const QString n = percorsi::suDisco(nome.trimmed());
    if (n.isEmpty()) {
        return {};
    }
    if (n.contains('/')) {
        const QFileInfo f(n);
        return f.isFile() ? f.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(n);
}

bool avvia(const QString& programma, const QStringList& argomenti) {
    return avviatore()(programma, argomenti);
}

void installaAvviatore(Avviatore a) {
    avviatore() = a ? std::move(a) : Avviatore(avviaStaccato);
}

} // namespace quintar::apertura
