// Creation of the archives a host directory holds: the user database, the
// company archive, the host ERP archive and the weighing archive.
#pragma once

#include <QString>
#include <QStringList>

namespace tovaris {

struct Cartella {
    QString radice; // with a trailing "/"
    QString userDb() const { return radice + "user/user.fdb"; }
    QString azienda() const { return radice + "Dati/QUINTAR.FDB"; }
    QString erp() const { return radice + "Dati/TOVARIS.FDB"; }
    QString pesate() const { return radice + "Dati/PESATE.FDB"; }
};

// The text of a schema file compiled into the program ("user.sql",
// "demo/company.sql"); empty when there is none.
QString schema(const QString& nome);

// Creates dir with its four archives, users, per-user parameters pointing
// into dir, company parameters, the icon and the report folder. With demo the
// archives are filled with the demo company. Throws std::runtime_error with a
// readable message; an existing archive is never overwritten.
Cartella inizializza(const QString& dir, bool demo);

// Writes the per-user folder and archive parameters of every user of the user
// database so that they point into the folder.
void scriviParametriUtenti(const Cartella& c);

} // namespace tovaris
