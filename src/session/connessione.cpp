#include "session/connessione.h"

#include "session/datiini.h"
#include "session/messaggi.h"
#include "session/percorsi.h"

#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

DialogoKyvIn::DialogoKyvIn(QWidget* owner, int campi, const QString& nome) : QDialog(owner) {
    setObjectName(nome);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label1->setBuddy(Edit1);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Label1);
    v->addWidget(Edit1);
    if (campi > 1) {
        Edit2 = new QLineEdit(this);
        Edit2->setObjectName(QStringLiteral("Edit2"));
        v->addWidget(Edit2);
    }
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(OKBtn);
    h->addWidget(CancelBtn);
    v->addLayout(h);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(kRisultatoOK); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kRisultatoAnnulla); });
}

void DialogoKyvIn::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    Edit1->setFocus();
}

TKyvIn2Form::TKyvIn2Form(QWidget* owner) : DialogoKyvIn(owner, 2, QStringLiteral("KyvIn2Form")) {}

namespace {

const QString kUtente = QStringLiteral("SYSDBA");
const QString kPassword = QStringLiteral("pinecrest");

} // namespace

bool ApriOCreaDatabase(Database& db, const QString& nome, const QString& server, QWidget* owner,
                       const QString& password, const QString& utente,
                       const QString& letteraDisco) {
    db.disconnect();
    Credenziali c{utente.isEmpty() ? kUtente : utente, password.isEmpty() ? kPassword : password};
    QString nomeDb = nome;
    if (!server.isEmpty()) {
        if (!letteraDisco.isEmpty() && !nomeDb.isEmpty()) {
            nomeDb[0] = letteraDisco.at(0);
        }
        nomeDb = server + ':' + nomeDb;
    } else if (percorsi::diRete(nomeDb)) {
        // a share name would be taken for a file of the current folder: it is
        // reached only through a server, so nothing is opened or created here
        return false;
    } else {
        nomeDb = percorsi::suDisco(nomeDb);
    }
    try {
        db.connect(nomeDb, c);
        return true;
    } catch (const DbError&) {
    }
    // Firebird refuses to create over an existing file, so a database that
    // exists but cannot be opened is never replaced.
    try {
        db.create(nomeDb, c);
    } catch (const DbError&) {
        return false;
    }
    Messaggi::informazione(QStringLiteral("Effettuata creazione data base"), owner);
    return true;
}

bool ConvertiPercorsoRete(const QString& directory, const QString& percorsoNelServer,
                          QString& nuovaDirectory, bool& condivisione) {
    condivisione = false;
    QString resto = directory;
    while (resto.startsWith('\\')) {
        resto.remove(0, 1);
    }
    int i = int(resto.indexOf('\\'));
    QString server = i < 0 ? resto : resto.left(i);
    QString dopoServer = i < 0 ? QString() : resto.mid(i + 1);
    int j = int(dopoServer.indexOf('\\'));
    QString share = j < 0 ? dopoServer : dopoServer.left(j);
    if (share.size() < 2) {
        // \\SRV\C\dati\ -> SRV:C:\dati\ .
        QString r = dopoServer;
        int k = int(r.indexOf('\\'));
        if (k < 0) {
            r += ':';
        } else {
            r.insert(k, ':');
        }
        nuovaDirectory = server + ':' + r;
        return false;
    }
    condivisione = true;
    if (!percorsoNelServer.isEmpty()) {
        nuovaDirectory = server + ':' + percorsoNelServer;
        return false;
    }
    Messaggi::avviso(
        QStringLiteral(
            "Attenzione: il disco con gli archivi è stato condiviso in rete con un nome - ") +
        share +
        QStringLiteral(" - e non con la lettera che lo identifica. Si consiglia di correggere la "
                       "condivisione oppure ") +
        QStringLiteral("di correggere manualmente la sezione Percorso Nel Server nel file Dati.ini "
                       "accanto al database"));
    return true;
}

void ChiediServerArchivio(QString& server, QString& letteraDisco, const QString& directory,
                          QWidget* owner) {
    server = datiini::leggi(directory, QStringLiteral("Nome Server"));
    letteraDisco = datiini::leggi(directory, QStringLiteral("Lettera Disco Server"));
    if (!server.isEmpty()) {
        return;
    }
    Messaggi::avviso(QStringLiteral("Non trovato dati.ini"), owner);
    TKyvIn2Form f(owner);
    f.setWindowTitle(QStringLiteral("Non trovato dati.ini"));
    f.Label1->setText(
        QStringLiteral("Inserire il nome del computer e la lettera della sua\n"
                       "unità disco dove risulta ospitato (o sarà ospitato) il database"));
    f.Label1->setFont(QFont(QStringLiteral("Arial"), 8));
    f.Edit1->clear();
    if (Messaggi::esegui(&f) == kRisultatoOK) {
        server = f.Edit1->text();
        letteraDisco = f.Edit2->text();
        datiini::scrivi(directory, QStringLiteral("Nome Server"), server);
        if (!letteraDisco.isEmpty()) {
            datiini::scrivi(directory, QStringLiteral("Lettera Disco Server"), letteraDisco);
        }
    }
}

bool ArchivioPresente(const QString& percorso) {
    const QString p = percorso.trimmed();
    if (p.isEmpty()) {
        return false;
    }
    if (QFileInfo::exists(percorsi::suDisco(p)) || percorsi::diRete(p) || p.indexOf(':') > 1) {
        return true;
    }
    QString dir, file;
    percorsi::dividi(p, dir, file);
    return !datiini::leggi(dir, QStringLiteral("Nome Server")).isEmpty() &&
           !datiini::leggi(dir, QStringLiteral("Alias")).isEmpty();
}

bool ConnettiArchivio(Database& db, const QString& directory, const QString& file,
                      const QString& utente, const QString& password, QWidget* owner) {
    const QString nomeFile = file.isEmpty() ? QStringLiteral("archivio.fdb") : file;
    QString lavoro = directory;
    bool condivisione = false;
    bool stop = false;
    bool risultato = false;

    const QString server = datiini::leggi(directory, QStringLiteral("Nome Server"));
    const QString alias = datiini::leggi(directory, QStringLiteral("Alias"));
    if (!server.isEmpty() && !alias.isEmpty()) {
        risultato = ApriOCreaDatabase(db, server + ':' + alias, {}, owner, password, utente);
    }
    if (!risultato) {
        const QString percorsoDb = datiini::leggi(directory, QStringLiteral("PercorsoDatabase"));
        if (!percorsoDb.isEmpty()) {
            const QString srv = datiini::leggi(directory, QStringLiteral("Nome Server"));
            lavoro = QStringLiteral("\\\\") + srv + '\\' + percorsoDb;
            if (!percorsi::separatore(lavoro.back())) {
                lavoro += '\\';
            }
            risultato = ApriOCreaDatabase(db, lavoro + nomeFile, {}, owner, password, utente);
        } else {
            if (directory.contains(QLatin1String("\\\\"))) {
                const QString nelServer =
                    datiini::leggi(directory, QStringLiteral("Percorso Nel Server"));
                stop = ConvertiPercorsoRete(directory, nelServer, lavoro, condivisione);
            }
            if (!stop) {
                risultato = ApriOCreaDatabase(db, lavoro + nomeFile, {}, owner, password, utente);
            }
            if (!stop && condivisione && !risultato) {
                stop = true;
                Messaggi::errore(
                    QStringLiteral(
                        "Errore: nonostante le configurazioni, il particolare percorso di "
                        "rete sta rendendo impossibile l'attivazione del database"),
                    owner);
            }
            if (!risultato && !stop) {
                QString srv, lettera;
                ChiediServerArchivio(srv, lettera, directory, owner);
                if (!srv.isEmpty()) {
                    risultato = ApriOCreaDatabase(db, lavoro + nomeFile, srv, owner, password,
                                                  utente, lettera);
                } else {
                    Messaggi::errore(
                        QStringLiteral("Apertura / creazione del database non riuscita!"), owner);
                }
            }
        }
    }
    return risultato;
}

QStringList PreparaUpdateSQL(Query& query, const QString& tabella, const QString& tipo) {
    Query copia(query.database(), query.transaction());
    copia.SQL = query.SQL;
    copia.open();
    QStringList campi;
    for (const InfoCampo& c : copia.fields()) {
        campi << c.nome;
    }
    copia.close();
    QStringList r;
    const QString k = tipo.toUpper();
    if (k == QLatin1String("UPDATE")) {
        r << QStringLiteral("UPDATE \"%1\"").arg(tabella) << QStringLiteral("SET");
        for (int i = 0; i < campi.size(); ++i) {
            r << campi[i] + "=:" + campi[i] + (i + 1 < campi.size() ? "," : "");
        }
    } else if (k == QLatin1String("INSERT")) {
        r << QStringLiteral("INSERT INTO \"%1\"").arg(tabella) << QStringLiteral("(");
        for (int i = 0; i < campi.size(); ++i) {
            r << campi[i] + (i + 1 < campi.size() ? "," : "");
        }
        r << QStringLiteral(")") << QStringLiteral("VALUES") << QStringLiteral("(");
        for (int i = 0; i < campi.size(); ++i) {
            r << ":" + campi[i] + (i + 1 < campi.size() ? "," : "");
        }
        r << QStringLiteral(")");
    }
    return r;
}

} // namespace quintar
