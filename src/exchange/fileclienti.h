// The customer file: semicolon-separated text, one customer or delivery
// address a line. Reading it is a pure function of its bytes: the encoding
// is told from the bytes, the lines split, the fields cut to what the
// customer table keeps, the customers and their delivery addresses gathered.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace quintar::clienti {

enum class Codifica {
    Windows1252, // the default
    Utf8,        // every byte sequence valid UTF-8, without a BOM
    Utf8Bom,     // UTF-8 announced by its byte order mark
};

// "Windows-1252", "UTF-8", "UTF-8 (con BOM)".
QString nomeCodifica(Codifica c);

struct TestoFile {
    Codifica codifica = Codifica::Windows1252;
    // The lines, split at CRLF, LF or a lone CR; no line for the end of
    // the last one. NUL characters are dropped.
    QStringList righe;
};

// UTF-8 with a BOM, or when the whole file is valid UTF-8 (plain ASCII
// included); Windows-1252 otherwise.
TestoFile decodifica(const QByteArray& dati);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing past U+10FFFF).
bool utf8Valido(const QByteArray& dati);

// Whether the bytes are a text at all: no NUL byte, and control characters
// (tab, line ends, form feed and the end-of-file mark Ctrl+Z aside) no
// more than one in twenty of the characters read. A binary file fails.
bool eTesto(const QByteArray& dati);

// The fields of a line: every ' replaced by ´, then the text between
// semicolons (no quoting).
QStringList campi(const QString& riga);

struct Destinatario {
    QString codice; // customer code + its number within the customer, "00"
    QString riferimento;
    QString nome;
    QString indirizzo;
    QString indirizzo2;
    QString indirizzo3;
    QString cap;
    QString citta;
    QString provincia;
    int riga = 0; // line of the file (from 1)
};

struct Cliente {
    QString codice;
    QString nome;
    QString indirizzo;
    QString cap;
    QString citta;
    QString provincia;
    QString nazione;
    QString codiceFiscale;
    QString partitaIva;
    std::vector<Destinatario> destinatari;
    int riga = 0; // the line that created it (from 1)
};

struct ContenutoFile {
    Codifica codifica = Codifica::Windows1252;
    // Lines read (after the skipped first line), the ignored ones included.
    int righe = 0;
    // In the order of their first lines.
    std::vector<Cliente> clienti;
};

// The text of a delivery address's technical notes: its second and third
// address lines, NULL (empty) when both are empty.
QString noteTecniche(const Destinatario& d);

// The customers of the file. A customer is made by the first line with its
// code, later lines with the same code only add delivery addresses; a line
// without a customer code is ignored. The delivery name "STESSO" (any
// case) stands for the customer's name.
ContenutoFile leggi(const QByteArray& dati, bool saltaPrimaRiga);

} // namespace quintar::clienti
