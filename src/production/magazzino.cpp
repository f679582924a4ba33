#include "production/magazzino.h"

#include "session/messaggi.h"
#include "session/percorsi.h"

#include <QFileInfo>
#include <QLibrary>
#include <exception>
#include <stdexcept>

namespace quintar::magazzino {

namespace {

const QString kErroreChiamata =
    QStringLiteral("Errore nell'accesso alla DLL esterna per l'impegno di magazzino");

} // namespace

bool impegnaOrdine(int utente, const QString& ordine, bool flag, QWidget* parent) {
    const QString file =
        percorsi::suDisco(percorsi::dirEseguibile()) + QString::fromLatin1(kFileLibreria);
    QLibrary libreria(file);
    if (!QFileInfo::exists(file) || !libreria.load()) {
        if (QFileInfo::exists(file)) {
            qWarning("%s: %s", kFileLibreria, qPrintable(libreria.errorString()));
        }
        Messaggi::errore(QStringLiteral("Non trovato il file TovarElab.dll"), parent);
        return false;
    }
    bool eseguita = false;
    auto routine = reinterpret_cast<Routine>(libreria.resolve(kFunzione));
    if (!routine) {
        Messaggi::errore(
            QStringLiteral("Non trovata funzione AnteImpegnoArticoliOrdC nel file TovarElab.dll"),
            parent);
    } else {
        try {
            bool numero = false;
            const int id = ordine.trimmed().toInt(&numero);
            if (!numero) {
                throw std::invalid_argument(
                    ("'" + ordine + "' non è un numero intero valido").toStdString());
            }
            routine(utente, id, !flag);
            eseguita = true;
        } catch (const std::exception& e) {
            Messaggi::errore(kErroreChiamata + QStringLiteral("\r\r") +
                                 QString::fromLocal8Bit(e.what()),
                             parent);
        } catch (...) {
            Messaggi::errore(kErroreChiamata, parent);
        }
    }
    if (!libreria.unload()) {
        Messaggi::errore(
            QStringLiteral("Errore interno nella DLL esterna per l'impegno di magazzino"), parent);
    }
    return eseguita;
}

} // namespace quintar::magazzino
