#include "report/layoutpredefiniti.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

// The library is static: its resources are registered from here, at global scope.
static void registraRisorseReport() {
    Q_INIT_RESOURCE(report);
}

namespace quintar::report {

namespace {

void registra() {
    static const bool fatto = [] {
        registraRisorseReport();
        return true;
    }();
    (void)fatto;
}

} // namespace

QStringList layoutPredefiniti() {
    return {QStringLiteral("STSPEC.LST"),     QStringLiteral("STPROD.LST"),
            QStringLiteral("STFORM.LST"),     QStringLiteral("STFABBR.LST"),
            QStringLiteral("STFABBRPRE.LST"), QStringLiteral("STTRACC.LST")};
}

QString testoLayoutPredefinito(const QString& nome) {
    registra();
    if (!layoutPredefiniti().contains(nome, Qt::CaseInsensitive)) {
        return {};
    }
    QFile f(QStringLiteral(":/report/layouts/") + nome.toUpper());
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

bool scriviLayoutPredefiniti(const QString& cartella, bool sovrascrivi, QString* errore) {
    if (!QDir().mkpath(cartella)) {
        if (errore) {
            *errore = QStringLiteral("impossibile creare la cartella \"%1\"").arg(cartella);
        }
        return false;
    }
    for (const QString& nome : layoutPredefiniti()) {
        const QString file = QDir(cartella).filePath(nome);
        if (!sovrascrivi && QFile::exists(file)) {
            continue;
        }
        QSaveFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(testoLayoutPredefinito(nome).toUtf8()) < 0 ||
            !f.commit()) {
            if (errore) {
                *errore =
                    QStringLiteral("impossibile scrivere \"%1\": %2").arg(file, f.errorString());
            }
            return false;
        }
    }
    return true;
}

} // namespace quintar::report
