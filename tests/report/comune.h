// Helpers shared by the report tests: a small archive with a header row and
// detail rows, and readers of the produced files (a test needing one of the
// readers says so with RICHIEDI_STRUMENTO).
#pragma once

#include "report/lavorostampa.h"
#include "session/db.h"
#include "support/strumenti.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

namespace provareport {

struct Archivio {
    QTemporaryDir tmp;
    quintar::Database db;
    std::unique_ptr<quintar::Transaction> tr;
    std::unique_ptr<quintar::Query> testa;
    std::unique_ptr<quintar::Query> righe;
    int contate = 0;

    Archivio() {
        db.create(tmp.path() + "/schede.fdb");
        quintar::eseguiScript(
            db,
            "CREATE TABLE MATER (CODICE VARCHAR(20) NOT NULL PRIMARY KEY, NOMECOMMERCIALE "
            "VARCHAR(100),\n"
            "  PREZZO DOUBLE PRECISION, DATASTAMPA DATE, FRASIR VARCHAR(255));\n"
            "CREATE TABLE SPECIF (CODICEMP VARCHAR(20) NOT NULL, NRIGA INTEGER NOT NULL,\n"
            "  SPECIFICA VARCHAR(255), PRIMARY KEY (CODICEMP, NRIGA));\n"
            "INSERT INTO MATER VALUES ('MP-ACIDO', 'Acido citrico anidro', 1234.5, '2024-03-15', "
            "NULL);\n"
            "INSERT INTO SPECIF VALUES ('MP-ACIDO', 1, 'Aspetto: polvere cristallina bianca');\n"
            "INSERT INTO SPECIF VALUES ('MP-ACIDO', 2, 'Titolo: 99,5 - 100,5 %');\n"
            "INSERT INTO SPECIF VALUES ('MP-ACIDO', 3, 'Umidita massima 0,5 %');\n");
        tr = std::make_unique<quintar::Transaction>(&db);
        testa = std::make_unique<quintar::Query>(&db, tr.get());
        testa->SQL = {"SELECT * FROM MATER WHERE CODICE='MP-ACIDO'"};
        righe = std::make_unique<quintar::Query>(&db, tr.get());
        righe->SQL = {"SELECT * FROM SPECIF WHERE CODICEMP='MP-ACIDO' ORDER BY NRIGA"};
        testa->open();
        righe->open();
        contate = 3;
    }

    // Handlers as a data-sheet screen writes them.
    void collega(quintar::report::LavoroStampa& job) {
        job.OnDefineVariables = [this](quintar::report::LavoroStampa& j) {
            j.defineVariables(*testa);
            j.defineVariable("DESCRIZIONEFORNITORE", "Chimica d'Oro S.r.l.");
        };
        job.OnDefineFields = [this](quintar::report::LavoroStampa& j) {
            j.defineFields(*righe);
            if (!j.designMode()) {
                j.setProgress(qRound(double(righe->recNo()) / contate * 100));
                if (!righe->next()) {
                    j.setLastRecord();
                }
            }
        };
    }
};

inline QString eseguibile(const QString& nome) {
    return QStandardPaths::findExecutable(nome);
}

// Text of a PDF in reading order; empty when the tool is missing.
inline QString testoPdf(const QString& pdf) {
    QProcess p;
    p.start(eseguibile("pdftotext"), {"-layout", pdf, "-"});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// First page of a PDF as PNG (file name without extension); true on success.
inline bool paginaPng(const QString& pdf, const QString& base, int dpi = 110) {
    QProcess p;
    p.start(eseguibile("pdftoppm"),
            {"-png", "-r", QString::number(dpi), "-f", "1", "-l", "1", "-singlefile", pdf, base});
    p.waitForFinished(60000);
    return p.exitCode() == 0 && QFile::exists(base + ".png");
}

} // namespace provareport

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(", ").toStdString() << ']';
}
QT_END_NAMESPACE
