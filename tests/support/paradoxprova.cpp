#include "support/paradoxprova.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <stdexcept>

extern "C" {
#include <paradox.h>
}

namespace prova::paradox {

namespace {

constexpr long kGiornoZero = 1721425;

int lunghezzaTipo(const Campo& c) {
    switch (c.tipo) {
    case Tipo::Alfa:
    case Tipo::Memo:
    case Tipo::MemoFormattato:
    case Tipo::Blob:
    case Tipo::Byte:
        return c.lunghezza;
    case Tipo::Corto:
        return 2;
    case Tipo::Logico:
        return 1;
    case Tipo::Numero:
    case Tipo::Valuta:
    case Tipo::DataOra:
        return 8;
    default:
        return 4;
    }
}

bool conMemo(const std::vector<Campo>& campi) {
    for (const Campo& c : campi) {
        if (c.tipo == Tipo::Memo || c.tipo == Tipo::MemoFormattato || c.tipo == Tipo::Blob) {
            return true;
        }
    }
    return false;
}

void silenzioso(pxdoc_t*, int, const char*, void*) {}

// The library seeks and rewrites its header at every record: the files are
// made in memory and written out when the library closes them.
struct FileInMemoria {
    QString percorso;
    int codePage = 0; // written into the header on closing (0: none)
    QByteArray dati;
    qint64 pos = 0;
};

ssize_t leggiMemoria(void* c, char* buf, size_t n) {
    auto* f = static_cast<FileInMemoria*>(c);
    const qint64 k = std::max<qint64>(0, std::min<qint64>(qint64(n), f->dati.size() - f->pos));
    std::memcpy(buf, f->dati.constData() + f->pos, size_t(k));
    f->pos += k;
    return ssize_t(k);
}

ssize_t scriviMemoria(void* c, const char* buf, size_t n) {
    auto* f = static_cast<FileInMemoria*>(c);
    if (f->pos + qint64(n) > f->dati.size()) {
        f->dati.resize(f->pos + qint64(n), '\0');
    }
    std::memcpy(f->dati.data() + f->pos, buf, n);
    f->pos += qint64(n);
    return ssize_t(n);
}

int cercaMemoria(void* c, off64_t* posizione, int da) {
    auto* f = static_cast<FileInMemoria*>(c);
    const qint64 base = da == SEEK_SET ? 0 : da == SEEK_CUR ? f->pos : f->dati.size();
    if (base + *posizione < 0) {
        return -1;
    }
    f->pos = base + *posizione;
    *posizione = f->pos;
    return 0;
}

int chiudiMemoria(void* c) {
    std::unique_ptr<FileInMemoria> f(static_cast<FileInMemoria*>(c));
    if (f->codePage > 0 && f->dati.size() > 0x6B) {
        f->dati[0x6A] = char(f->codePage & 0xff);
        f->dati[0x6B] = char((f->codePage >> 8) & 0xff);
    }
    QFile out(f->percorso);
    if (!out.open(QIODevice::WriteOnly) || out.write(f->dati) != f->dati.size()) {
        std::fprintf(stderr, "file non scritto: %s\n", qPrintable(f->percorso));
        return -1;
    }
    return 0;
}

std::FILE* apriInMemoria(const QString& percorso, int codePage) {
    cookie_io_functions_t funzioni{&leggiMemoria, &scriviMemoria, &cercaMemoria, &chiudiMemoria};
    return fopencookie(new FileInMemoria{percorso, codePage, {}, 0}, "w+", funzioni);
}

long giorno(const QDate& d) {
    return PX_GregorianToSdn(d.year(), d.month(), d.day()) - kGiornoZero;
}

} // namespace

std::vector<Campo> campi(const QString& descrizione) {
    std::vector<Campo> r;
    for (QString parte : descrizione.split(' ', Qt::SkipEmptyParts)) {
        parte.remove('*').remove('#');
        const qsizetype due = parte.indexOf(':');
        if (due < 1 || due + 1 >= parte.size()) {
            throw std::invalid_argument(("campo non valido: " + parte).toStdString());
        }
        Campo c;
        c.nome = parte.left(due);
        const QChar t = parte[due + 1];
        c.lunghezza = parte.mid(due + 2).toInt();
        switch (t.toLatin1()) {
        case 'A':
            c.tipo = Tipo::Alfa;
            break;
        case 'N':
            c.tipo = Tipo::Numero;
            break;
        case 'I':
            c.tipo = Tipo::Lungo;
            break;
        case 'S':
            c.tipo = Tipo::Corto;
            break;
        case 'D':
            c.tipo = Tipo::Data;
            break;
        case 'L':
            c.tipo = Tipo::Logico;
            break;
        case 'M':
            c.tipo = Tipo::Memo;
            break;
        case 'T':
            c.tipo = Tipo::Ora;
            break;
        case 'X':
            c.tipo = Tipo::DataOra;
            break;
        default:
            throw std::invalid_argument(("tipo non valido: " + parte).toStdString());
        }
        r.push_back(c);
    }
    return r;
}

TabellaProva::TabellaProva(const QString& file, std::vector<Campo> campi, int codePage)
    : file_(file), campi_(std::move(campi)), codePage_(codePage) {
    iconv_ = iconv_open(QStringLiteral("CP%1").arg(codePage).toLatin1().constData(), "UTF-8");
    if (iconv_ == reinterpret_cast<void*>(-1)) {
        throw std::runtime_error("code page non gestita");
    }
    doc_ = PX_new3(&silenzioso, nullptr, nullptr, nullptr, nullptr);
    auto* f = static_cast<pxfield_t*>(
        doc_->malloc(doc_, campi_.size() * sizeof(pxfield_t), "campi della tabella di prova"));
    int posizione = 0;
    for (size_t i = 0; i < campi_.size(); ++i) {
        f[i].px_fname = PX_strdup(doc_, campi_[i].nome.toLatin1().constData());
        f[i].px_ftype = char(campi_[i].tipo);
        f[i].px_flen = lunghezzaTipo(campi_[i]);
        f[i].px_fdc = 0;
        posizioni_.push_back(posizione);
        posizione += f[i].px_flen;
    }
    record_.assign(size_t(posizione), 0);
    fp_ = apriInMemoria(file, codePage);
    if (!fp_ || PX_create_fp(doc_, f, int(campi_.size()), fp_, pxfFileTypNonIndexDB) < 0) {
        throw std::runtime_error(("tabella non creata: " + file).toStdString());
    }
    if (conMemo(campi_)) {
        const QFileInfo fi(file);
        const QString mb = fi.dir().filePath(fi.completeBaseName() + ".MB");
        pxblob_t* memo = PX_new_blob(doc_);
        if (!memo || PX_create_blob_fp(memo, apriInMemoria(mb, 0)) < 0) {
            throw std::runtime_error(("file dei memo non creato: " + mb).toStdString());
        }
        memo->mb_stream->close = px_true;
    }
}

TabellaProva::~TabellaProva() {
    try {
        chiudi();
    } catch (...) {
    }
    if (iconv_ != reinterpret_cast<void*>(-1)) {
        iconv_close(static_cast<iconv_t>(iconv_));
    }
}

QByteArray TabellaProva::codifica(const QString& s) const {
    QByteArray in = s.toUtf8();
    QByteArray out(in.size() + 1, '\0');
    char* pin = in.data();
    char* pout = out.data();
    size_t nin = size_t(in.size());
    size_t nout = size_t(out.size());
    iconv(static_cast<iconv_t>(iconv_), nullptr, nullptr, nullptr, nullptr);
    if (iconv(static_cast<iconv_t>(iconv_), &pin, &nin, &pout, &nout) == size_t(-1)) {
        throw std::runtime_error(("testo non rappresentabile: " + s).toStdString());
    }
    out.resize(out.size() - qsizetype(nout));
    return out;
}

void TabellaProva::aggiungi(const Record& r) {
    std::fill(record_.begin(), record_.end(), 0);
    for (size_t i = 0; i < campi_.size() && i < r.size(); ++i) {
        const QVariant& v = r[i];
        if (!v.isValid() || v.isNull()) {
            continue;
        }
        char* p = record_.data() + posizioni_[i];
        const Campo& c = campi_[i];
        switch (c.tipo) {
        case Tipo::Alfa: {
            const QByteArray b = codifica(v.toString()).left(c.lunghezza);
            std::memcpy(p, b.constData(), size_t(b.size()));
            break;
        }
        case Tipo::Memo:
        case Tipo::MemoFormattato:
        case Tipo::Blob: {
            QByteArray b =
                v.typeId() == QMetaType::QByteArray ? v.toByteArray() : codifica(v.toString());
            if (PX_put_data_blob(doc_, p, c.lunghezza, b.data(), int(b.size())) < 0) {
                throw std::runtime_error("memo non scritto");
            }
            break;
        }
        case Tipo::Numero:
        case Tipo::Valuta:
            PX_put_data_double(doc_, p, 8, v.toDouble());
            break;
        case Tipo::Lungo:
        case Tipo::Contatore:
            PX_put_data_long(doc_, p, 4, int(v.toLongLong()));
            break;
        case Tipo::Corto:
            PX_put_data_short(doc_, p, 2, short(v.toLongLong()));
            break;
        case Tipo::Logico:
            PX_put_data_byte(doc_, p, 1, v.toBool() ? 1 : 0);
            break;
        case Tipo::Data:
            PX_put_data_long(doc_, p, 4, int(giorno(v.toDate())));
            break;
        case Tipo::Ora:
            PX_put_data_long(doc_, p, 4, v.toTime().msecsSinceStartOfDay());
            break;
        case Tipo::DataOra: {
            const QDateTime d = v.toDateTime();
            PX_put_data_double(doc_, p, 8,
                               double(giorno(d.date())) * 86400000.0 +
                                   d.time().msecsSinceStartOfDay());
            break;
        }
        default:
            throw std::runtime_error("tipo di campo non scritto dal generatore");
        }
    }
    if (PX_put_record(doc_, record_.data()) < 0) {
        throw std::runtime_error(("record non scritto in " + file_).toStdString());
    }
}

void TabellaProva::chiudi() {
    if (!doc_) {
        return;
    }
    if (doc_->px_blob) {
        PX_delete_blob(doc_->px_blob);
        doc_->px_blob = nullptr;
    }
    // the library flushes its last block and then closes the file
    doc_->px_stream->close = px_true;
    PX_delete(doc_);
    doc_ = nullptr;
    fp_ = nullptr;
    if (!QFileInfo::exists(file_)) {
        throw std::runtime_error(("tabella non scritta: " + file_).toStdString());
    }
}

void scriviTabella(const QString& file, const QString& descrizione,
                   const std::vector<Record>& righe, int codePage) {
    TabellaProva t(file, campi(descrizione), codePage);
    for (const Record& r : righe) {
        t.aggiungi(r);
    }
    t.chiudi();
}

const std::vector<TabellaVecchia>& tabelleVecchie() {
    static const std::vector<TabellaVecchia> t = {
        {"INITAB\\ADR", "ADR.DB", "ADR", "Codice:A10* Specifica:M40"},
        {"MATER\\ANANC", "ANANC.DB", "ANANC",
         "CodiceAnalogo:A20* NRiga:I* Descrizione:A60 Valutazione:A40 Note:M30"},
        {"INITAB\\CAPCON1", "CAPCON1.DB", "CAPCON1",
         "Codice:I* Descrizione:A40 CapacitaConfezione:N UnitaVendConf:N CoeffDivisore:N"},
        {"INITAB\\CAPCONF", "CAPCONF.DB", "CAPCONF",
         "Codice:I* Descrizione:A40 CapacitaConfezione:N"},
        {"INITAB\\CATEGMP", "CATEGMP.DB", "CATEGMP", "Codice:I* Descrizione:A50"},
        {"INITAB\\CATEGPR", "CATEGPR.DB", "CATEGPR", "Codice:I* Categoria:A30 Descrizione:A60"},
        {"FORMUL\\COMPON", "COMPON.DB", "COMPON",
         "CodiceFormulazione:I* NRiga:S* CodiceMateriaPrima:A20 Percentuale:N Tolleranza:N "
         "Critico:L Accettabilita:N Range:A20 MateriaAttivaTeorica:N MateriaAttivaReale:N"},
        {"INITAB\\CONFEZ", "CONFEZ.DB", "CONFEZ",
         "CodiceRiempitrice:I* NumProgressivo:N* Testo:M50"},
        {"COSTI", "COSTI.DB", "COSTI",
         "Codice:I* TipoScheda:S Descrizione:A60 CodiceProdotto:A20 QuantitaDaProdurre:N "
         "CodiceRiempitrice:A10 TempoProduzione:N TempoAvvio:N TempoControlloQualita:N "
         "CostoManodopera:N CostoBase:N CostoBeta:N CostiGenerali:N CostoTotale:N "
         "CostoConTrasporto:N PrezzoBase:N PrezzoBaseConAgente:N PrezzoScontato:N "
         "DataUltimaModifica:D TipoComposizione:S CostoMateriali:N TempoConfez:N "
         "CostoTrasporto:N CoeffRicarico:N CoeffAgente:N CoeffSconto:N Trasporto:N "
         "TipoCalcUnitario:S CostoAvvioUnitario:N CostoProduzioneUnitario:N "
         "CostoConfezUnitario:N CostoControlloQualUnit:N CostoRawMater:N CostoContenitore:N "
         "CostoTempo:N TipoCalcoloPrezzo:S CostoBaseUnitario:N"},
        {"INITAB\\CPAR", "CPAR.DB", "CPAR",
         "CostoTempo:N CostiGeneraliAnnui:N CostiBaseAnnui:N CoeffRicarico:N CoeffAgente:N "
         "CoeffSconto:N CostoTrasporto:N"},
        {"FABBRIC", "FABBRIC.DB", "FABBRIC",
         "Codice:A20* Data:D* Lotto:A20* NomeProdotto:A60 CodiceProdotto:A20 Specifiche:M40 "
         "QuantitaLitri:N UnitaMisura:A10 DensitaProdotto:N DensitaCalcoli:N Miscelatore:A20 "
         "Contenitore:A40 CapacitaContenitore:N DescrizioneContenitore:A40 Riempitrice:A10 "
         "Cartone:A40 NumCartoni:N Etichetta:A40 Tappo:A40 Altro1:A40 Altro2:A40 "
         "StoricoAggiornato:L DocumentoWord:A80"},
        {"FORMUL", "FORMUL.DB", "FORMUL",
         "Codice:I* Nome:A60 Specifiche:A80 Edizione:A10 Revisione:A10 DataUltimaRevisione:D "
         "Responsabile:A40 Densita:N TolleranzaDensita:N PH:N TolleranzaPH:N Viscoso:L "
         "Manodopera:N Polvere:L CodiceADR:A10 CostoUnitario:N Scaglione1:N Scaglione2:N "
         "Tempo1:N Tempo2:N Tempo3:N"},
        {"FORNITO", "FORNITO.DB", "FORNITO",
         "Codice:A20* Conto:A20 RagSoc:A60 DescrizioneSintetica:A40 NaturaGiuridica:A20 "
         "Indirizzo:A60 Cap:A5 Citta:A40 Provincia:A2 Nazione:A30 CodicePaese:A4 TipoPaese:A4 "
         "Telefono1:A20 Telefono2:A20 Fax:A20 PI:A11 CF:A16 PIEstera:A20 CodicePagamento:A10 "
         "CodiceBanca:A10 AllegatoIVA:L Modello102:L CodIVAAbituale:A10 NumeroFatture:I "
         "Imponibile:N ImponibileSoggIVA:N IVA:N Esente:N NonImponibile:N NonImponibile8E2:N "
         "Escluso:N Saldo:N ImponibileAnnoPrec:N ImpSoggIVAAnnoPrec:N IVAAnnoPrec:N "
         "EsenteAnnoPrec:N NonImponibAnnoPrec:N NonImponib8E2AnnoPrec:N EsclusoAnnoPrec:N "
         "ContropartitaAbituale:A20 DataUltimoAggiornamento:D DescrizioneBanca:A60 "
         "CodiceBancaABI:A5 CodiceSportelloCAB:A5 NContoCorrente:A30 EsisteRitenutaAcc:L "
         "Classificazione1:A20 Classificazione2:A20 DRagSoc1:A60 DIndirizzo1:A60 DCap1:A5 "
         "DCitta1:A40 DProvincia1:A2 DNazione1:A30 DCodicePaese1:A4 DTipoPaese1:A4 "
         "DRagSoc2:A60 DIndirizzo2:A60 DCap2:A5 DCitta2:A40 DProvincia2:A2 DNazione2:A30 "
         "DCodicePaese2:A4 DTipoPaese2:A4 Note:M40 Info1:A40 Info2:N Info3:A40 Info4:A40 "
         "Info5:A40 Info6:N Info7:N Info8:N Info9:A40 Info10:A40 Info11:D"},
        {"INITAB\\IMBALLI\\FOTOIMBALLI", "FOTOIMBALLI.DB", "FOTOIMBALLI",
         "Progressivo:I* Codice:A20 Foto:A80"},
        {"INITAB\\IMBALLI", "IMBALLI.DB", "IMBALLI",
         "Codice:A20* TipoImballo:A10 NomeImballo:A40 CodiceFornitore:A20 CodiceFornitore1:A20 "
         "CodiceFornitore2:A20 PrezzoFornitore1:N PrezzoFornitore2:N PrezzoFornitore3:N "
         "CostoAggiuntivo:N CostoImballo1:N CostoImballo2:N CostoImballo3:N Contenuto:N "
         "Divisore:N Caratteristiche:M40 TappoCompreso:L CodiceAnalogo:A20 DataVarPrezzo1:D "
         "DataVarPrezzo2:D DataVarPrezzo3:D"},
        {"MATER", "MATER.DB", "MATER",
         "Codice:A20* NomeCommerciale:A60 CodiceCategoriaMP:A10 Composizione:M60 "
         "MateriaAttiva:N TolleranzaMA:N CodiceAnalogo:A20 CodiceFornitore:A20 "
         "CodiceEsterno:A20 Confezione:A40 FlagSchedaSicurezza:L FlagSchedaTecnica:L "
         "SimbologiaRischio:A40 FrasiR:A80 FrasiS:A80 NumeroCAS:A20 EINECS:A20 INCI:A80 "
         "Prezzo:N UltimoAggiornPrezzo:D DataStampa:D"},
        {"INITAB\\PRACQUA", "PRACQUA.DB", "PRACQUA", "CodiceMateriaPrima:A20"},
        {"FORMUL\\PROCED", "PROCED.DB", "PROCED",
         "CodiceFormulazione:I* NRiga:N* Testo:M60 Evidenza:L TabEvidenza:A20"},
        {"PRODOT", "PRODOT.DB", "PRODOT",
         "Codice:A20* CodiceFormulazione:I Nome:A60 ConfezioneVendita:A40 PezziPerImballo:N "
         "Note:M40 CategoriaProdotto:A10 Descrizione:A80 CodiceADR:A10 ManodoperaConf:N "
         "Associato:A40 InListino:L UnitaVendita:A10 DivisoreConfezione:N Ricarica:N "
         "ValDensita:N ImballoContenitore:A40 ImballoTappo:A40 ImballoEtichetta:A40 "
         "ImballoCartone:A40 ImballoAltro1:A40 ImballoAltro2:A40 Divisore1:N Divisore2:N "
         "Divisore3:N Divisore4:N FileSchedaTecnica:A80 FileSchedaSicurezza:A80 Scaglione1:N "
         "Scaglione2:N Tempo1:N Tempo2:N Tempo3:N ModBusta:L BustePiene:N"},
        {"INITAB\\RIEMPIT", "RIEMPIT.DB", "RIEMPIT",
         "Codice:I* Nome:A40 Specifiche:A80 TempoLitro:N"},
        {"COSTI\\SCHEDE", "SCHEDE.DB", "SCHEDE",
         "CodiceSchedaPrimaria:I* CodiceSchedaSecondaria:I* Collegamento:N"},
        {"MATER\\SPECIF", "SPECIF.DB", "SPECIF", "CodiceMP:A20* NRiga:I* Specifica:A100"},
        {"INITAB\\SRISCHI", "SRISCHI.DB", "SRISCHI", "Codice:I* Descrizione:A50"},
        {"FABBRIC\\STOFAB", "STOFAB.DB", "STOFAB",
         "Codice:A20* Data:D* Lotto:A20* CodiceInterno:I# NomeProdotto:A60 CodiceProdotto:A20 "
         "Specifiche:M40 QuantitaLitri:N UnitaMisura:A10 DensitaProdotto:N DensitaCalcoli:N "
         "Miscelatore:A20 Contenitore:A40 CapacitaContenitore:A10 DescrizioneContenitore:A40 "
         "Riempitrice:A10 Cartone:A40 NumCartoni:N Etichetta:A40 Tappo:A40 Altro1:A40 "
         "Altro2:A40 DocumentoWord:A80 CodiceFormulazione:I NumeroContenitori:N "
         "QuantitaTotale:N TollerPercDensProd:N PHFormul:N TollPercPHFormul:N "
         "PercAcquaAddolc:N QuantitaAcqua:N TolleranzaTotale:N"},
        {"FABBRIC\\STOFAB\\STOMAT", "STOMAT.DB", "STOMAT",
         "CodiceStorico:I* NRiga:I* CodiceFormulazione:I CodiceMateriaPrima:A20 "
         "Descrizione:A60 Composizione:M40 Percentuale:N Tolleranza:N Critico:L "
         "Accettabilita:N Range:A20 MateriaAttivaTeorica:N MateriaAttivaReale:N "
         "CodiceInterno:A20 QuantitaRaw:N Analoghi:A40 Bilancia:A5 Tolleranza1:N "
         "Tolleranza2:N PercentualeAggiornata:N QuantitaKg:N QuantitaKg1:N"},
        {"INITAB\\TABSPEC", "TABSPEC.DB", "TABSPEC", "Codice:I* Descrizione:A60"},
        {"INITAB\\TPIMBA", "TPIMBA.DB", "TPIMBA", "Codice:I* Descrizione:A40"},
        {"INITAB\\VALUTAZ", "VALUTAZ.DB", "VALUTAZ", "Codice:I* Descrizione:A60"},
    };
    return t;
}

QVariant valoreGenerato(const TabellaVecchia& t, const Campo& c, bool chiave, int riga,
                        int posizioneChiave, int chiavi) {
    static const char* const parole[] = {
        "Acido citrico",     "Sapone d'Aleppo",       "Detergente \"Extra\"",
        "Cera d'api è pura", "Soluzione più forte",   "Profumo all'arancia",
        "Candeggina a 5°",   "Tensioattivo anionico", "Ammorbidente",
        "Sgrassatore",       "Brillantante",          "Lavapavimenti \"Città\""};
    if (chiave) {
        const int n = chiavi == 1                    ? riga + 1
                      : posizioneChiave < chiavi - 1 ? riga / 10 + 1
                                                     : riga % 10 + 1;
        switch (c.tipo) {
        case Tipo::Alfa:
            return QStringLiteral("%1%2").arg(c.nome.left(2).toUpper()).arg(n).left(c.lunghezza);
        case Tipo::Numero:
            return double(n) + 0.5;
        case Tipo::Data:
            return QDate(2004, 2, 3).addDays(n - 1);
        default:
            return qint64(n);
        }
    }
    quint32 h = 2166136261u;
    for (QChar ch : t.destinazione + c.nome) {
        h = (h ^ ch.unicode()) * 16777619u;
    }
    h ^= quint32(riga) * 2654435761u;
    h = (h ^ (h >> 15)) * 2246822519u;
    h ^= h >> 13;
    if (h % 7 == 3) {
        return {};
    }
    const QString parola = QString::fromUtf8(parole[h % 12]);
    switch (c.tipo) {
    case Tipo::Alfa:
        if (c.lunghezza <= 5) {
            return QString(QChar('A' + int(h % 26))).repeated(c.lunghezza);
        }
        return (parola + QStringLiteral(" %1").arg(riga + 1)).left(c.lunghezza);
    case Tipo::Memo: {
        QString s = parola + QStringLiteral(" %1").arg(riga + 1);
        if (riga % 3 == 0) { // beyond the record: into the .MB file
            const int voluta = 40 + int(h % (riga % 2 ? 200 : 3000));
            while (s.size() < voluta) {
                s += QStringLiteral(", ") + QString::fromUtf8(parole[(h + quint32(s.size())) % 12]);
            }
        }
        return s;
    }
    case Tipo::Numero:
        return double(h % 100000) / 8.0;
    case Tipo::Lungo:
        return qint64(h % 1000);
    case Tipo::Corto:
        return qint64(h % 10);
    case Tipo::Data:
        return QDate(2000, 1, 1).addDays(h % 9000);
    case Tipo::Logico:
        return (h & 16) != 0;
    default:
        return {};
    }
}

qint64 scriviArchivioVecchio(const QString& radice, const std::function<int(const QString&)>& righe,
                             int codePage) {
    qint64 totale = 0;
    for (const TabellaVecchia& t : tabelleVecchie()) {
        const QString cartella = QDir(radice).filePath(QString(t.cartella).replace('\\', '/'));
        if (!QDir().mkpath(cartella)) {
            throw std::runtime_error(("cartella non creata: " + cartella).toStdString());
        }
        const std::vector<Campo> cc = campi(t.descrizione);
        std::vector<bool> chiave;
        std::vector<bool> contatore;
        int chiavi = 0;
        for (const QString& parte : t.descrizione.split(' ', Qt::SkipEmptyParts)) {
            chiave.push_back(parte.endsWith('*'));
            contatore.push_back(parte.endsWith('#'));
            chiavi += parte.endsWith('*') ? 1 : 0;
        }
        TabellaProva tab(QDir(cartella).filePath(t.file), cc, codePage);
        const int n = righe(t.destinazione);
        Record r(cc.size());
        for (int i = 0; i < n; ++i) {
            int k = 0;
            for (size_t f = 0; f < cc.size(); ++f) {
                r[f] = contatore[f] ? QVariant(qint64(i + 1))
                                    : valoreGenerato(t, cc[f], chiave[f], i, k, chiavi);
                if (chiave[f]) {
                    ++k;
                }
            }
            tab.aggiungi(r);
        }
        tab.chiudi();
        totale += n;
    }
    return totale;
}

} // namespace prova::paradox
