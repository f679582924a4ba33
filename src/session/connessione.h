// Locating, opening and creating databases; dati.ini network rules; the
// server question; UPDATE/INSERT statements from a query's fields.
#pragma once

#include "session/db.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quintar {

// A small modal dialog: a label, one or two edits, OK (result 1) and
// Cancel (result 2); on activation the focus goes to the first edit.
class DialogoKyvIn : public QDialog {
    Q_OBJECT
public:
    QLabel* Label1;
    QLineEdit* Edit1;
    QLineEdit* Edit2 = nullptr;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    DialogoKyvIn(QWidget* owner, int campi, const QString& nome);
    void showEvent(QShowEvent* e) override;
};

// Two-field modal dialog (server name and drive letter).
class TKyvIn2Form : public DialogoKyvIn {
    Q_OBJECT
public:
    explicit TKyvIn2Form(QWidget* owner = nullptr);
};

inline constexpr int kRisultatoOK = 1;
inline constexpr int kRisultatoAnnulla = 2;

// Opens (or creates) directory + file following dati.ini. The directory ends
// with a separator; an empty file name means "archivio.fdb".
bool ConnettiArchivio(Database& db, const QString& directory, const QString& file,
                      const QString& utente = {}, const QString& password = {},
                      QWidget* owner = nullptr);
// An archive path worth connecting to: a file on the disk, a network name,
// a server name ("server:path") or a folder whose dati.ini sends it to a
// server. Connecting anything else would create an empty archive there.
bool ArchivioPresente(const QString& percorso);
// Connects to the name (server + ":" + name when a server is given, with the
// drive letter put in place of the name's first character); when that fails,
// creates an empty database there.
bool ApriOCreaDatabase(Database& db, const QString& nome, const QString& server = {},
                       QWidget* owner = nullptr, const QString& password = {},
                       const QString& utente = {}, const QString& letteraDisco = {});
// Network directory \\SRV\SHARE\... to a server name. Returns true when the
// caller must stop.
bool ConvertiPercorsoRete(const QString& directory, const QString& percorsoNelServer,
                          QString& nuovaDirectory, bool& condivisione);
// Asks server name and drive letter when dati.ini has none, writing them back.
void ChiediServerArchivio(QString& server, QString& letteraDisco, const QString& directory,
                          QWidget* owner = nullptr);

// The update statements of a query's fields: kind "UPDATE" or "INSERT".
QStringList PreparaUpdateSQL(Query& query, const QString& tabella, const QString& tipo);

} // namespace quintar
