// Reading of the older archive's Paradox tables (".DB", memos in ".MB").
//
// A table is checked in full before the library reads it: header, field
// descriptions and the chain of data blocks must hang together, so that a
// damaged file ends with a clear error instead of records read from the
// wrong place. Texts come in the table's code page and are given as Unicode.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVariant>
#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

struct px_doc;

namespace quintar::paradox {

// A table that cannot be read: the reason, in words for the user.
class ErroreParadox : public std::runtime_error {
public:
    explicit ErroreParadox(const QString& messaggio)
        : std::runtime_error(messaggio.toStdString()), messaggio_(messaggio) {}
    QString messaggio() const { return messaggio_; }

private:
    QString messaggio_;
};

// Field types as the file stores them.
enum class Tipo : int {
    Alfa = 0x01,
    Data = 0x02,
    Corto = 0x03,
    Lungo = 0x04,
    Valuta = 0x05,
    Numero = 0x06,
    Logico = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    MemoFormattato = 0x0E,
    Ole = 0x0F,
    Grafico = 0x10,
    Ora = 0x14,
    DataOra = 0x15,
    Contatore = 0x16,
    Bcd = 0x17,
    Byte = 0x18,
};

struct Campo {
    QString nome;
    Tipo tipo = Tipo::Alfa;
    int lunghezza = 0; // bytes in the record
    int decimali = 0;  // BCD only
    int posizione = 0; // offset in the record
};

// A record: one value per field, in the order of the fields. A null field
// is an invalid QVariant; otherwise QString (alpha, memos), qint64 (short,
// long, counter), double (number, currency, BCD), QDate, QTime, QDateTime,
// bool (logical) or QByteArray (binary blobs, bytes).
using Record = std::vector<QVariant>;

// The file that holds a table inside a folder tree, found whatever the
// letter case of each folder and of the file on disk; empty when missing.
QString trovaFile(const QString& radice, const QString& relativo);

class Tabella {
public:
    // Opens and checks the table; ErroreParadox when it cannot be read.
    explicit Tabella(const QString& file);
    ~Tabella();
    Tabella(const Tabella&) = delete;
    Tabella& operator=(const Tabella&) = delete;

    QString file() const { return file_; }
    int numeroRecord() const { return numeroRecord_; }
    int codePage() const { return codePage_; }
    const std::vector<Campo>& campi() const { return campi_; }
    // The field of that name, letter case aside; -1 when there is none.
    int indiceCampo(const QString& nome) const;

    // Record i (from 0, in file order) into r; ErroreParadox for a value
    // that cannot be read (a memo pointing outside its file, a bad date).
    void leggi(int i, Record& r);

private:
    struct Blocco {
        qint64 inizio; // file offset of its first record
        int record;
        int primo; // number of its first record in the table
    };
    void verifica(QFile& f);
    void preparaCodePage();
    void apriMemo();
    QString testo(const char* dati, int lunghezza) const;
    QVariant valore(const Campo& c, char* dati, int record);
    QVariant memo(const Campo& c, char* dati, int record);
    [[noreturn]] void errore(const QString& motivo, int record = -1) const;
    void caricaBlocco(size_t b);

    QString file_;
    QString nomeVisibile_;
    struct ChiudiDoc {
        void operator()(px_doc* d) const;
    };
    // freed also when the constructor gives up midway
    std::unique_ptr<px_doc, ChiudiDoc> doc_;
    QFile dati_;
    QFile memo_;
    qint64 dimensioneMemo_ = 0;
    std::vector<Campo> campi_;
    std::vector<Blocco> blocchi_;
    size_t bloccoCaricato_ = size_t(-1);
    QByteArray buffer_;
    int numeroRecord_ = 0;
    int lunghezzaRecord_ = 0;
    int dimensioneBlocco_ = 0;
    int codePage_ = 0;
    bool haMemo_ = false;
    std::array<char16_t, 256> caratteri_{};
    QString ultimoErrore_; // the library's last message
    static void gestoreErrori(px_doc*, int tipo, const char* messaggio, void* dati);
};

} // namespace quintar::paradox
