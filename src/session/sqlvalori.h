// The one road of a value into SQL text. Nothing else pastes values into
// statements: text is quoted so that it cannot end the literal, numbers are
// parsed and rendered again, dates are rendered from a date.
#pragma once

#include <QDate>
#include <QString>
#include <stdexcept>

namespace quintar::sql {

// A value that cannot be written as the kind asked for (a non-number as a number).
class ValoreNonValido : public std::invalid_argument {
public:
    explicit ValoreNonValido(const QString& v)
        : std::invalid_argument(("valore non valido: " + v).toStdString()), valore(v) {}
    QString valore;
};

// The acute accent that stands for the apostrophe in stored texts.
inline constexpr QChar kAccento = QChar(0x00B4);

// Text with every ' replaced by ´; NUL characters dropped.
QString senzaApici(const QString& s);

// 'text' with ' → ´, NULL when empty.
QString testo(const QString& s);
// 'text' with ' → ´; '' when empty (for comparisons that must not become NULL).
QString testoNonNullo(const QString& s);
// Text with every ' removed (codes typed as keys).
QString codice(const QString& s);

// A number typed by a user, read as Formati::leggiNumero reads it (the
// decimal comma, no thousands separator), as '12.5'; NULL when empty;
// ValoreNonValido for anything that is not a number ("1.000" included).
QString numero(const QString& digitato);
QString numero(double v);
QString intero(qint64 v);
// A whole number typed by a user, as '12'; NULL when empty; ValoreNonValido
// for anything else.
QString intero(const QString& digitato);

// 'mm/dd/yyyy'; NULL for an invalid date.
QString data(const QDate& d);
// 'yyyy-mm-dd'; NULL for an invalid date.
QString dataIso(const QDate& d);
// '1' or '0'.
QString flag(bool b);
// A table or column name as an identifier of a statement: plain names upper
// case as they are, anything else between double quotes (doubled inside).
QString identificatore(const QString& nome);

} // namespace quintar::sql
