#include "report/stampascheda.h"

#include "report/documento.h"
#include "report/finestrestampa.h"
#include "report/layout.h"
#include "report/progettista.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTemporaryFile>

namespace quintar::report {

namespace {

// Where the work files of a print go: the session's TempDir when it names
// an existing folder, otherwise the system's.
QString cartellaTemporanea(TTabXForm* sessione) {
    if (sessione) {
        const QString t = percorsi::suDisco(sessione->GetV(QStringLiteral("TempDir")).trimmed());
        if (!t.isEmpty() && QFileInfo(t).isDir()) {
            return t;
        }
    }
    return QDir::tempPath();
}

} // namespace

QStringList fileCompagni(const QString& fileProgetto) {
    const QFileInfo fi(fileProgetto);
    const QString base = fi.path() + '/' + fi.completeBaseName();
    return {base + QStringLiteral(".lsv"), base + QStringLiteral(".lsp"),
            base + QStringLiteral(".~lst")};
}

EsitoStampa stampaScheda(const SchedaDaStampare& s) {
    QWidget* w = s.finestra;
    if (s.nessunRecord) {
        Messaggi::avviso(QStringLiteral("Nessun record da stampare"), w);
        return EsitoStampa::NienteDaStampare;
    }
    if (s.modificaReport) {
        const QString domanda = QStringLiteral("Modificare il report di stampa?\r\n(Prima di "
                                               "eseguire questa operazione si consiglia di "
                                               "fare un backup del file: \"") +
                                s.fileProgetto + QStringLiteral("\")");
        const QString r = Messaggi::chiedi(TipoMessaggio::Avviso, domanda,
                                           {QStringLiteral("&Sì"), QStringLiteral("&No")},
                                           QStringLiteral("No"), w);
        if (r != QStringLiteral("Sì")) {
            return EsitoStampa::Rinuncia;
        }
    } else if (!Messaggi::conferma(QStringLiteral("Avviare la stampa?"), w)) {
        return EsitoStampa::Rinuncia;
    }

    const QString file = percorsi::suDisco(s.fileProgetto);
    QString motivo;
    std::optional<Layout> layout;
    if (file.trimmed().isEmpty()) {
        motivo = QStringLiteral("nessun file indicato");
    } else {
        layout = Layout::carica(file, &motivo);
    }
    if (!layout) {
        Messaggi::errore(
            QStringLiteral("Impossibile aprire il report di stampa \"%1\": %2").arg(file, motivo),
            w);
        return EsitoStampa::ProgettoMancante;
    }

    if (s.preparaDati) {
        s.preparaDati();
    }
    LavoroStampa job;
    job.OnDefineVariables = s.OnDefineVariables;
    job.OnDefineFields = s.OnDefineFields;
    const QString cartella = QFileInfo(file).absolutePath();

    if (s.modificaReport) {
        {
            Progettista d(*layout, job.campione(), file, s.titoloProgettista, w);
            Messaggi::esegui(&d);
        }
        for (const QString& c : fileCompagni(file)) {
            QFile::remove(c);
        }
        return EsitoStampa::Progettato;
    }

    OpzioniStampaDialog opzioni(w);
    if (Messaggi::esegui(&opzioni) != QDialog::Accepted) {
        return EsitoStampa::Rinuncia;
    }
    const OpzioniStampa o = opzioni.opzioni();

    QProgressDialog attesa(QStringLiteral("Preparazione della stampa..."), QString(), 0, 100, w);
    attesa.setWindowTitle(s.titoloAnteprima);
    attesa.setMinimumDuration(800);
    attesa.setCancelButton(nullptr);
    QObject::connect(&job, &LavoroStampa::avanzamento, &attesa, &QProgressDialog::setValue);
    DatiStampa dati = job.raccogli();
    attesa.reset();

    Documento doc(std::move(*layout), std::move(dati), cartella);
    if (!o.stampante.isEmpty()) {
        return stampaSuStampante(doc, o, s.titoloAnteprima, w) ? EsitoStampa::Stampato
                                                               : EsitoStampa::Errore;
    }

    // the preview works on a PDF copy in the temporary folder, removed on closing
    QTemporaryFile copia(cartellaTemporanea(s.sessione) + QStringLiteral("/anteprima_XXXXXX.pdf"));
    QString pdf;
    if (copia.open()) {
        copia.close();
        QString errore;
        if (doc.scriviPdf(copia.fileName(), s.titoloAnteprima, &errore)) {
            pdf = copia.fileName();
        }
    }
    AnteprimaStampa anteprima(doc, s.titoloAnteprima, pdf, w);
    Messaggi::esegui(&anteprima);
    return EsitoStampa::Anteprima;
}

} // namespace quintar::report
