#include "production/etichette.h"

#include <cups/cups.h>

namespace quintar::etichette {

QString seriale10(const QString& seriale) {
    return seriale.left(10).rightJustified(10, '0');
}

QByteArray compila(const QByteArray& modello, const Valori& v) {
    // longer names first: "<SERIALENORM10>" before "<SERIALE>"
    const std::pair<const char*, QString> segnaposto[] = {
        {"<SERIALENORM10>", seriale10(v.seriale)},
        {"<DATAFABBRICAZIONE>", v.dataFabbricazione},
        {"<DATASCADENZA>", v.scadenza},
        {"<SERIALE>", v.seriale},
        {"<LOTTO>", v.lotto},
    };
    QByteArray r = modello;
    for (const auto& [nome, valore] : segnaposto) {
        r.replace(QByteArray(nome), valore.toLatin1());
    }
    return r;
}

QString nomeStampante(const QString& voce) {
    return voce.section(',', 0, 0).trimmed();
}

QString invia(const QString& stampante, const QByteArray& dati) {
    const QByteArray nome = stampante.toUtf8();
    const int lavoro =
        cupsCreateJob(CUPS_HTTP_DEFAULT, nome.constData(), "Stampa etichetta", 0, nullptr);
    if (lavoro <= 0) {
        return QString::fromUtf8(cupsLastErrorString());
    }
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, nome.constData(), lavoro, "Stampa etichetta",
                          CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE ||
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, dati.constData(), size_t(dati.size())) !=
            HTTP_STATUS_CONTINUE ||
        cupsFinishDocument(CUPS_HTTP_DEFAULT, nome.constData()) != IPP_STATUS_OK) {
        const QString motivo = QString::fromUtf8(cupsLastErrorString());
        cupsCancelJob2(CUPS_HTTP_DEFAULT, nome.constData(), lavoro, 0);
        return motivo;
    }
    return {};
}

} // namespace quintar::etichette
