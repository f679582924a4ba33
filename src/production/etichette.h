// Raw labels: a template of the label printer's own language with
// placeholders, filled for a batch and sent unchanged as one raw job to the
// printer named in the job (never by making it the default printer, which
// would change the default of every program of the user).
#pragma once

#include <QByteArray>
#include <QString>

namespace quintar::etichette {

struct Valori {
    QString lotto;
    QString scadenza;          // as the header shows it; empty when none
    QString dataFabbricazione; // as the header shows it
    QString seriale;
};

// The serial in ten characters: left-padded with "0", a longer one cut to
// its first ten.
QString seriale10(const QString& seriale);

// The template with every "<LOTTO>", "<DATASCADENZA>", "<SERIALE>",
// "<SERIALENORM10>" and "<DATAFABBRICAZIONE>" replaced; every other byte is
// left as it is.
QByteArray compila(const QByteArray& modello, const Valori& v);

// The printer's name in a device string of the settings ("name,driver,port").
QString nomeStampante(const QString& voce);

// Sends the bytes as one raw job ("Stampa etichetta") to the printer; the
// print system's reason when it was not accepted, empty when it was.
QString invia(const QString& stampante, const QByteArray& dati);

} // namespace quintar::etichette
