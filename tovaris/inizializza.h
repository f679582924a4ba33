// Creation of the archives a host directory holds: the user database, the
// company archive, the host ERP archive and the weighing archive.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tovaris {

struct Cartella {
    QString radice; // with a trailing "/"
    // "HOST/PORT" (or "HOST") of the Firebird server that holds the archives;
    // empty for the embedded engine. dati.ini is read per folder, so on a
    // server the host ERP and weighing archives get a folder each.
    QString server;
    QString prefissoAlias; // put before every alias name ("" by default)
    QString userDb() const { return radice + "user/user.fdb"; }
    QString azienda() const { return radice + "Dati/QUINTAR.FDB"; }
    QString erp() const {
        return radice + (server.isEmpty() ? "Dati/TOVARIS.FDB" : "Dati/Tovaris/TOVARIS.FDB");
    }
    QString pesate() const {
        return radice + (server.isEmpty() ? "Dati/PESATE.FDB" : "Dati/Pesate/PESATE.FDB");
    }

    struct Archivio {
        QString alias; // the server's name for it (databases.conf)
        QString file;
    };
    // The four archives with the alias each has on a server.
    std::vector<Archivio> archivi() const;
};

// The name that opens an archive file: "server:alias" when the dati.ini
// beside it names both, as the library reads it; the file itself otherwise.
QString nomeConnessione(const QString& file);

// The text of a schema file compiled into the program ("user.sql",
// "demo/company.sql"); empty when there is none.
QString schema(const QString& nome);

// The environment variable naming a folder of archive templates (the tests
// set it). With it, a local init copies its four archives from the template
// of its kind (plain or demo), made there once for the current DDL, instead of
// running the DDL again; a server init never does.
inline constexpr char kVariabileModelli[] = "QUINTAR_MODELLI_ARCHIVI";

// Creates dir with its four archives, users, per-user parameters pointing
// into dir, company parameters, the icon and the report folder. With demo the
// archives are filled with the demo company. Throws std::runtime_error with a
// readable message; an existing archive is never overwritten.
// With a server ("HOST/PORT") the archives are created through it by their
// aliases, which its databases.conf must declare (see archivi()), and each
// archive folder gets the dati.ini that sends the library there.
Cartella inizializza(const QString& dir, bool demo, const QString& server = {},
                     const QString& prefissoAlias = {});

// Writes the per-user folder and archive parameters of every user of the user
// database so that they point into the folder.
void scriviParametriUtenti(const Cartella& c);

} // namespace tovaris
