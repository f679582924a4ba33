// What the archive's catalogue says of a table's columns.
#pragma once

#include <QString>
#include <map>

namespace quintar {

class Database;

// Characters each CHAR and VARCHAR column of a table holds, by column name;
// empty when the table is unknown or the catalogue cannot be read.
std::map<QString, int> lunghezzeColonne(Database* db, const QString& tabella);

} // namespace quintar
