#include "exchange/paradox.h"

#include "session/percorsi.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iconv.h>

extern "C" {
#include <paradox.h>
}

namespace quintar::paradox {

namespace {

// The first part of every header, then the part that tables of version 4
// and later add; the field descriptions follow.
constexpr int kIntestazione = 0x58;
constexpr int kIntestazioneDati = 0x78;
constexpr int kTestataBlocco = 6;
constexpr int kBloccoMemo = 4096;
// Days from 1 January of year 1 to the day the library's calendar counts from.
constexpr long kGiornoZero = 1721425;
constexpr qint64 kMsGiorno = 86400000;

quint16 le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | (u[1] << 8));
}

qint16 sle16(const char* p) {
    return qint16(le16(p));
}

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

bool tipoMemo(Tipo t) {
    return t == Tipo::Memo || t == Tipo::Blob || t == Tipo::MemoFormattato || t == Tipo::Ole ||
           t == Tipo::Grafico;
}

// The bytes a field of this type takes in the record; 0 when the type is
// unknown or the length cannot be.
int lunghezzaValida(int tipo, int dichiarata) {
    switch (Tipo(tipo)) {
    case Tipo::Alfa:
    case Tipo::Byte:
        return dichiarata >= 1 ? dichiarata : 0;
    case Tipo::Data:
    case Tipo::Lungo:
    case Tipo::Ora:
    case Tipo::Contatore:
        return dichiarata == 4 ? 4 : 0;
    case Tipo::Corto:
        return dichiarata == 2 ? 2 : 0;
    case Tipo::Valuta:
    case Tipo::Numero:
    case Tipo::DataOra:
        return dichiarata == 8 ? 8 : 0;
    case Tipo::Logico:
        return dichiarata == 1 ? 1 : 0;
    case Tipo::Bcd:
        return dichiarata <= 32 ? 17 : 0; // the declared size is the decimals
    case Tipo::Memo:
    case Tipo::Blob:
    case Tipo::MemoFormattato:
    case Tipo::Ole:
    case Tipo::Grafico:
        return dichiarata >= 11 ? dichiarata : 0; // text kept in the record + 10
    }
    return 0;
}

// A long field: false when it is empty. The library's own test for an empty
// field reads past the four bytes on 64-bit systems.
bool lungo(px_doc* doc, char* dati, long* v) {
    if (dati[0] == 0 && dati[1] == 0 && dati[2] == 0 && dati[3] == 0) {
        return false;
    }
    return PX_get_data_long(doc, dati, 4, v) != 0;
}

QString nomeCodePage(int cp) {
    return QStringLiteral("CP%1").arg(cp);
}

} // namespace

QString trovaFile(const QString& radice, const QString& relativo) {
    QString attuale = percorsi::suDisco(radice);
    if (attuale.isEmpty()) {
        attuale = QStringLiteral(".");
    }
    const QStringList parti = QString(relativo).replace('\\', '/').split('/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parti.size(); ++i) {
        const bool ultima = i + 1 == parti.size();
        const QString esatto = QDir(attuale).filePath(parti[i]);
        const QFileInfo fi(esatto);
        if (fi.exists() && (ultima ? fi.isFile() : fi.isDir())) {
            attuale = esatto;
            continue;
        }
        QString trovato;
        const QDir::Filters filtro = ultima ? QDir::Files : QDir::Dirs | QDir::NoDotAndDotDot;
        for (const QString& voce : QDir(attuale).entryList(filtro)) {
            if (voce.compare(parti[i], Qt::CaseInsensitive) == 0) {
                trovato = QDir(attuale).filePath(voce);
                break;
            }
        }
        if (trovato.isEmpty()) {
            return {};
        }
        attuale = trovato;
    }
    return parti.isEmpty() ? QString() : attuale;
}

void Tabella::gestoreErrori(px_doc*, int tipo, const char* messaggio, void* dati) {
    if (tipo == PX_Warning || !dati) {
        return;
    }
    static_cast<Tabella*>(dati)->ultimoErrore_ = QString::fromLocal8Bit(messaggio);
}

Tabella::Tabella(const QString& file) : file_(file), nomeVisibile_(QFileInfo(file).fileName()) {
    dati_.setFileName(file);
    if (!dati_.open(QIODevice::ReadOnly)) {
        errore(QStringLiteral("il file non si apre (%1)").arg(dati_.errorString()));
    }
    verifica(dati_);

    doc_.reset(PX_new3(&Tabella::gestoreErrori, nullptr, nullptr, nullptr, this));
    if (!doc_) {
        errore(QStringLiteral("memoria insufficiente"));
    }
    if (PX_open_file(doc_.get(), QFile::encodeName(file).constData()) < 0) {
        errore(ultimoErrore_.isEmpty() ? QStringLiteral("la tabella non si apre") : ultimoErrore_);
    }
    // the library must see the table as it was checked
    if (PX_get_num_fields(doc_.get()) != int(campi_.size()) ||
        PX_get_recordsize(doc_.get()) != lunghezzaRecord_) {
        errore(QStringLiteral("descrizione dei campi non valida"));
    }
    for (size_t i = 0; i < campi_.size(); ++i) {
        const pxfield_t* f = PX_get_field(doc_.get(), int(i));
        if (!f || f->px_ftype != char(campi_[i].tipo) || f->px_flen != campi_[i].lunghezza) {
            errore(QStringLiteral("descrizione dei campi non valida"));
        }
    }
    if (haMemo_) {
        apriMemo();
    }
}

Tabella::~Tabella() = default;

void Tabella::ChiudiDoc::operator()(px_doc* d) const {
    PX_delete(d);
}

void Tabella::errore(const QString& motivo, int record) const {
    if (record >= 0) {
        throw ErroreParadox(
            QStringLiteral("%1, record %2: %3").arg(nomeVisibile_).arg(record + 1).arg(motivo));
    }
    throw ErroreParadox(nomeVisibile_ + QStringLiteral(": ") + motivo);
}

void Tabella::preparaCodePage() {
    // code page → Unicode, one table for every byte
    const int cp = codePage_ == 0 ? 437 : codePage_;
    iconv_t cd = iconv_open("UTF-16LE", nomeCodePage(cp).toLatin1().constData());
    if (cd == iconv_t(-1)) {
        errore(QStringLiteral("la code page %1 della tabella non è gestita").arg(cp));
    }
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char out[8] = {};
        char* pin = &in;
        char* pout = out;
        size_t nin = 1;
        size_t nout = sizeof(out);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool ok = iconv(cd, &pin, &nin, &pout, &nout) != size_t(-1) && nout == 6;
        caratteri_[size_t(b)] = ok ? char16_t(le16(out)) : char16_t(b);
    }
    iconv_close(cd);
}

void Tabella::verifica(QFile& f) {
    const qint64 dimensione = f.size();
    if (dimensione < kIntestazione) {
        errore(QStringLiteral("il file è troppo corto per una tabella Paradox"));
    }
    QByteArray h = f.read(kIntestazione);
    if (h.size() != kIntestazione) {
        errore(QStringLiteral("intestazione illeggibile"));
    }
    const char* p = h.constData();
    lunghezzaRecord_ = le16(p);
    const int lunghezzaIntestazione = le16(p + 2);
    const int tipoFile = static_cast<unsigned char>(p[4]);
    const int kb = static_cast<unsigned char>(p[5]);
    const qint64 record = qint32(le32(p + 6));
    const int blocchiFile = le16(p + 0x0C);
    const int primoBlocco = le16(p + 0x0E);
    const int numeroCampi = le16(p + 0x21);
    const int versione = static_cast<unsigned char>(p[0x39]);

    if (tipoFile != pxfFileTypIndexDB && tipoFile != pxfFileTypNonIndexDB) {
        errore(QStringLiteral("non è una tabella Paradox (tipo di file %1)").arg(tipoFile));
    }
    if (versione < 3 || versione > 12) {
        errore(QStringLiteral("versione del file non riconosciuta (%1)").arg(versione));
    }
    if (kb < 1 || kb > 32) {
        errore(QStringLiteral("dimensione dei blocchi non valida (%1)").arg(kb));
    }
    const bool conDati = versione >= 5;
    const int inizioCampi = conDati ? kIntestazioneDati : kIntestazione;
    if (lunghezzaIntestazione < inizioCampi || lunghezzaIntestazione > dimensione) {
        errore(QStringLiteral("lunghezza dell'intestazione non valida (%1)")
                   .arg(lunghezzaIntestazione));
    }
    f.seek(0);
    h = f.read(lunghezzaIntestazione);
    if (h.size() != lunghezzaIntestazione) {
        errore(QStringLiteral("intestazione illeggibile"));
    }
    p = h.constData();
    codePage_ = conDati ? le16(p + 0x6A) : 0;
    quint32 cifratura = le32(p + 0x25);
    if (cifratura == 0xFF00FF00u) {
        cifratura = conDati ? le32(p + 0x5C) : 0;
    }
    if (cifratura != 0) {
        errore(QStringLiteral("la tabella è protetta da una password"));
    }
    preparaCodePage();
    if (numeroCampi < 1 || numeroCampi > 255) {
        errore(QStringLiteral("numero di campi non valido (%1)").arg(numeroCampi));
    }
    const int lunghezzaNomeTabella = versione == 12 ? 261 : 79;
    // field types and sizes, the table name's and the field names' pointers,
    // the table name, then the field names one after the other
    const qint64 inizioNomi =
        qint64(inizioCampi) + qint64(numeroCampi) * 6 + 4 + lunghezzaNomeTabella;
    if (inizioNomi > lunghezzaIntestazione) {
        errore(QStringLiteral("descrizione dei campi non valida"));
    }
    int posizione = 0;
    campi_.clear();
    for (int i = 0; i < numeroCampi; ++i) {
        const int tipo = static_cast<unsigned char>(p[inizioCampi + 2 * i]);
        const int dichiarata = static_cast<unsigned char>(p[inizioCampi + 2 * i + 1]);
        const int lunghezza = lunghezzaValida(tipo, dichiarata);
        if (lunghezza == 0) {
            errore(QStringLiteral("descrizione del campo %1 non valida (tipo %2, lunghezza %3)")
                       .arg(i + 1)
                       .arg(tipo)
                       .arg(dichiarata));
        }
        Campo c;
        c.tipo = Tipo(tipo);
        c.lunghezza = lunghezza;
        c.decimali = c.tipo == Tipo::Bcd ? dichiarata : 0;
        c.posizione = posizione;
        posizione += lunghezza;
        haMemo_ = haMemo_ || tipoMemo(c.tipo);
        campi_.push_back(c);
    }
    dimensioneBlocco_ = kb * 1024;
    if (posizione != lunghezzaRecord_ || lunghezzaRecord_ > dimensioneBlocco_ - kTestataBlocco) {
        errore(QStringLiteral("lunghezza dei record non valida (%1)").arg(lunghezzaRecord_));
    }
    qint64 q = inizioNomi;
    for (Campo& c : campi_) {
        const char* inizio = p + q;
        const auto fine =
            static_cast<const char*>(std::memchr(inizio, 0, size_t(lunghezzaIntestazione - q)));
        // the library reads names of 299 characters at most
        if (!fine || fine == inizio || fine - inizio > 298) {
            errore(QStringLiteral("nomi dei campi non validi"));
        }
        c.nome = testo(inizio, int(fine - inizio));
        q += (fine - inizio) + 1;
    }

    // the chain of data blocks, from the first: every block once, each with
    // a whole number of records, as many in all as the header says
    const qint64 finePrevista =
        qint64(lunghezzaIntestazione) + qint64(blocchiFile) * dimensioneBlocco_;
    if (finePrevista > dimensione) {
        errore(QStringLiteral("il file è troncato (%1 byte, attesi almeno %2)")
                   .arg(dimensione)
                   .arg(finePrevista));
    }
    const int perBlocco = (dimensioneBlocco_ - kTestataBlocco) / lunghezzaRecord_;
    if (record < 0 || record > qint64(blocchiFile) * perBlocco) {
        errore(QStringLiteral("numero di record non valido (%1)").arg(record));
    }
    std::vector<bool> visti(size_t(blocchiFile) + 1, false);
    blocchi_.clear();
    qint64 totale = 0;
    for (int b = primoBlocco; b != 0;) {
        if (b > blocchiFile || visti[size_t(b)]) {
            errore(QStringLiteral("catena dei blocchi di dati non valida (blocco %1)").arg(b));
        }
        visti[size_t(b)] = true;
        const qint64 inizio = lunghezzaIntestazione + qint64(b - 1) * dimensioneBlocco_;
        char testata[kTestataBlocco];
        if (!f.seek(inizio) || f.read(testata, kTestataBlocco) != kTestataBlocco) {
            errore(QStringLiteral("blocco di dati %1 illeggibile").arg(b));
        }
        const int aggiunti = sle16(testata + 4);
        if (aggiunti < -lunghezzaRecord_ || (aggiunti + lunghezzaRecord_) % lunghezzaRecord_ != 0 ||
            (aggiunti + lunghezzaRecord_) / lunghezzaRecord_ > perBlocco) {
            errore(QStringLiteral("blocco di dati %1 non valido").arg(b));
        }
        const int n = (aggiunti + lunghezzaRecord_) / lunghezzaRecord_;
        if (n > 0) {
            blocchi_.push_back({inizio + kTestataBlocco, n, int(totale)});
            totale += n;
        }
        b = le16(testata);
    }
    if (totale != record) {
        errore(
            QStringLiteral("i blocchi di dati contengono %1 record, l'intestazione ne dichiara %2")
                .arg(totale)
                .arg(record));
    }
    numeroRecord_ = int(record);
}

void Tabella::apriMemo() {
    const QFileInfo fi(file_);
    const QString nome = fi.completeBaseName() + QStringLiteral(".MB");
    const QString mb = trovaFile(fi.absolutePath(), nome);
    if (mb.isEmpty()) {
        errore(QStringLiteral("manca il file dei memo %1").arg(nome));
    }
    memo_.setFileName(mb);
    if (!memo_.open(QIODevice::ReadOnly)) {
        errore(QStringLiteral("il file dei memo %1 non si apre").arg(nome));
    }
    dimensioneMemo_ = memo_.size();
    if (dimensioneMemo_ < kBloccoMemo || memo_.read(1) != QByteArray(1, '\0')) {
        errore(QStringLiteral("il file dei memo %1 non è valido").arg(nome));
    }
}

int Tabella::indiceCampo(const QString& nome) const {
    for (size_t i = 0; i < campi_.size(); ++i) {
        if (campi_[i].nome.compare(nome, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

QString Tabella::testo(const char* dati, int lunghezza) const {
    QString s;
    s.reserve(lunghezza);
    for (int i = 0; i < lunghezza; ++i) {
        const char16_t c = caratteri_[static_cast<unsigned char>(dati[i])];
        if (c != 0) {
            s.append(QChar(c));
        }
    }
    return s;
}

void Tabella::caricaBlocco(size_t b) {
    if (b == bloccoCaricato_) {
        return;
    }
    const qint64 n = qint64(blocchi_[b].record) * lunghezzaRecord_;
    buffer_.resize(n);
    if (!dati_.seek(blocchi_[b].inizio) || dati_.read(buffer_.data(), n) != n) {
        bloccoCaricato_ = size_t(-1);
        errore(QStringLiteral("blocco di dati illeggibile"), blocchi_[b].primo);
    }
    bloccoCaricato_ = b;
}

void Tabella::leggi(int i, Record& r) {
    if (i < 0 || i >= numeroRecord_) {
        errore(QStringLiteral("record inesistente"), i);
    }
    size_t b = bloccoCaricato_ < blocchi_.size() ? bloccoCaricato_ : 0;
    if (i < blocchi_[b].primo || i >= blocchi_[b].primo + blocchi_[b].record) {
        // records are read in order: the next block, or a search
        if (b + 1 < blocchi_.size() && i >= blocchi_[b + 1].primo &&
            i < blocchi_[b + 1].primo + blocchi_[b + 1].record) {
            ++b;
        } else {
            auto it = std::upper_bound(blocchi_.begin(), blocchi_.end(), i,
                                       [](int v, const Blocco& x) { return v < x.primo; });
            b = size_t(it - blocchi_.begin()) - 1;
        }
    }
    caricaBlocco(b);
    char* dati = buffer_.data() + qint64(i - blocchi_[b].primo) * lunghezzaRecord_;
    r.resize(campi_.size());
    for (size_t c = 0; c < campi_.size(); ++c) {
        r[c] = valore(campi_[c], dati + campi_[c].posizione, i);
    }
}

QVariant Tabella::valore(const Campo& c, char* dati, int record) {
    switch (c.tipo) {
    case Tipo::Alfa: {
        const int n = int(strnlen(dati, size_t(c.lunghezza)));
        return n == 0 ? QVariant() : QVariant(testo(dati, n));
    }
    case Tipo::Data: {
        long v = 0;
        if (!lungo(doc_.get(), dati, &v)) {
            return {};
        }
        int a = 0, m = 0, g = 0;
        if (v > 0 && v < 3652059) { // up to 31/12/9999
            PX_SdnToGregorian(v + kGiornoZero, &a, &m, &g);
        }
        const QDate d(a, m, g);
        if (!d.isValid()) {
            errore(QStringLiteral("data non valida nel campo %1").arg(c.nome), record);
        }
        return d;
    }
    case Tipo::Corto: {
        short v = 0;
        return PX_get_data_short(doc_.get(), dati, 2, &v) == 0 ? QVariant() : QVariant(qint64(v));
    }
    case Tipo::Lungo:
    case Tipo::Contatore: {
        long v = 0;
        return !lungo(doc_.get(), dati, &v) ? QVariant() : QVariant(qint64(v));
    }
    case Tipo::Valuta:
    case Tipo::Numero: {
        double v = 0;
        if (PX_get_data_double(doc_.get(), dati, 8, &v) == 0) {
            return {};
        }
        if (!std::isfinite(v)) {
            errore(QStringLiteral("numero non valido nel campo %1").arg(c.nome), record);
        }
        return v;
    }
    case Tipo::Logico: {
        char v = 0;
        return PX_get_data_byte(doc_.get(), dati, 1, &v) == 0 ? QVariant() : QVariant(v != 0);
    }
    case Tipo::Ora: {
        long v = 0;
        if (!lungo(doc_.get(), dati, &v)) {
            return {};
        }
        if (v < 0 || v >= kMsGiorno) {
            errore(QStringLiteral("ora non valida nel campo %1").arg(c.nome), record);
        }
        return QTime::fromMSecsSinceStartOfDay(int(v));
    }
    case Tipo::DataOra: {
        double v = 0;
        if (PX_get_data_double(doc_.get(), dati, 8, &v) == 0) {
            return {};
        }
        const double giorni = std::isfinite(v) ? std::floor(v / double(kMsGiorno)) : -1;
        int a = 0, m = 0, g = 0;
        if (giorni > 0 && giorni < 3652059) {
            PX_SdnToGregorian(long(giorni) + kGiornoZero, &a, &m, &g);
        }
        const QDate d(a, m, g);
        if (!d.isValid()) {
            errore(QStringLiteral("data e ora non valide nel campo %1").arg(c.nome), record);
        }
        const qint64 ms = qint64(v - giorni * double(kMsGiorno));
        return QDateTime(
            d, QTime::fromMSecsSinceStartOfDay(int(std::clamp<qint64>(ms, 0, kMsGiorno - 1))));
    }
    case Tipo::Bcd: {
        if (dati[0] == 0) {
            return {};
        }
        if ((dati[0] & 0x3f) != c.decimali) {
            errore(QStringLiteral("numero non valido nel campo %1").arg(c.nome), record);
        }
        char* s = nullptr;
        if (PX_get_data_bcd(doc_.get(), reinterpret_cast<unsigned char*>(dati), c.decimali, &s) != 1 ||
            !s) {
            errore(QStringLiteral("numero non valido nel campo %1").arg(c.nome), record);
        }
        QString t = QString::fromLatin1(s);
        doc_->free(doc_.get(), s);
        bool ok = false;
        const double v = t.replace(',', '.').toDouble(&ok);
        if (!ok) {
            errore(QStringLiteral("numero non valido nel campo %1").arg(c.nome), record);
        }
        return v;
    }
    case Tipo::Byte: {
        const QByteArray b(dati, c.lunghezza);
        return b.count('\0') == b.size() ? QVariant() : QVariant(b);
    }
    case Tipo::Memo:
    case Tipo::Blob:
    case Tipo::MemoFormattato:
    case Tipo::Ole:
    case Tipo::Grafico:
        return memo(c, dati, record);
    }
    return {};
}

QVariant Tabella::memo(const Campo& c, char* dati, int record) {
    const int prefisso = c.lunghezza - 10;
    const char* coda = dati + prefisso;
    const quint32 dimensione = le32(coda + 4);
    if (dimensione == 0) {
        return {};
    }
    const bool comeTesto = c.tipo == Tipo::Memo || c.tipo == Tipo::MemoFormattato;
    auto risultato = [&](const char* p, int n) -> QVariant {
        if (comeTesto) {
            return testo(p, n);
        }
        return QByteArray(p, n);
    };
    if (dimensione <= quint32(prefisso)) {
        return risultato(dati, int(dimensione)); // all of it in the record
    }
    auto nonValido = [&] {
        errore(QStringLiteral("memo del campo %1 non valido nel file dei memo").arg(c.nome),
               record);
    };
    const quint32 puntatore = le32(coda);
    const qint64 inizio = puntatore & 0xffffff00u;
    const int indice = int(puntatore & 0xffu);
    if (c.tipo == Tipo::Grafico || inizio == 0 || inizio % kBloccoMemo != 0 ||
        inizio + 9 > dimensioneMemo_ || dimensione > quint32(dimensioneMemo_)) {
        nonValido();
    }
    char testata[12 + 64 * 5] = {};
    const qint64 disponibili = std::min<qint64>(qint64(sizeof(testata)), dimensioneMemo_ - inizio);
    if (!memo_.seek(inizio) || memo_.read(testata, disponibili) != disponibili) {
        nonValido();
    }
    qint64 inizioDati = 0;
    if (testata[0] == 2) { // one blob over whole blocks
        if (indice != 0xff || le32(testata + 3) != dimensione ||
            inizio + 9 + qint64(dimensione) > dimensioneMemo_) {
            nonValido();
        }
        inizioDati = inizio + 9;
    } else if (testata[0] == 3) { // small blobs sharing a block
        if (indice >= 64 || inizio + kBloccoMemo > dimensioneMemo_) {
            nonValido();
        }
        const auto* voce = reinterpret_cast<const unsigned char*>(testata + 12 + indice * 5);
        const qint64 dati16 = qint64(voce[0]) * 16;
        const qint64 lunghezza = (qint64(voce[1]) - 1) * 16 + voce[4];
        if (voce[1] == 0 || lunghezza != qint64(dimensione) || dati16 < qint64(sizeof(testata)) ||
            dati16 + lunghezza > kBloccoMemo) {
            nonValido();
        }
        inizioDati = inizio + dati16;
    } else {
        nonValido();
    }
    // read here rather than by the library, whose memo file opening
    // overruns its own stack on files it writes itself
    QByteArray letti(qint64(dimensione), Qt::Uninitialized);
    if (!memo_.seek(inizioDati) || memo_.read(letti.data(), letti.size()) != letti.size()) {
        errore(QStringLiteral("memo del campo %1 illeggibile").arg(c.nome), record);
    }
    return risultato(letti.constData(), int(letti.size()));
}

} // namespace quintar::paradox
