#include "exchange/conversione.h"

#include "session/db.h"
#include "session/formati.h"
#include "session/sqlvalori.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace quintar::conversione {

namespace {

struct Riga {
    const char* cartella;
    const char* file;
    const char* destinazione;
    const char* colonne;
    const char* chiavi;
    const char* descrittive;
};

// In the order of conversion. Keys and line numbers are never NULL; the
// descriptive columns are the names, descriptions, requirements, notes
// and texts (packaging names too, which products and batches look packaging
// up by); codes, file names and paths are copied as they are.
const Riga kTabelle[] = {
    {"INITAB\\ADR", "ADR.DB", "ADR", "CODICE, SPECIFICA", "CODICE", "SPECIFICA"},
    {"MATER\\ANANC", "ANANC.DB", "ANANC", "CODICEANALOGO, NRIGA, DESCRIZIONE, VALUTAZIONE, NOTE",
     "CODICEANALOGO, NRIGA", "DESCRIZIONE, VALUTAZIONE, NOTE"},
    {"INITAB\\CAPCON1", "CAPCON1.DB", "CAPCON1",
     "CODICE, DESCRIZIONE, CAPACITACONFEZIONE, UNITAVENDCONF, COEFFDIVISORE", "CODICE",
     "DESCRIZIONE"},
    {"INITAB\\CAPCONF", "CAPCONF.DB", "CAPCONF", "CODICE, DESCRIZIONE, CAPACITACONFEZIONE",
     "CODICE", "DESCRIZIONE"},
    {"INITAB\\CATEGMP", "CATEGMP.DB", "CATEGMP", "CODICE, DESCRIZIONE", "CODICE", "DESCRIZIONE"},
    {"INITAB\\CATEGPR", "CATEGPR.DB", "CATEGPR", "CODICE, CATEGORIA, DESCRIZIONE", "CODICE",
     "CATEGORIA, DESCRIZIONE"},
    {"FORMUL\\COMPON", "COMPON.DB", "COMPON",
     "CODICEFORMULAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, TOLLERANZA, CRITICO, "
     "ACCETTABILITA, RANGE, MATERIAATTIVATEORICA, MATERIAATTIVAREALE",
     "CODICEFORMULAZIONE, NRIGA", ""},
    {"INITAB\\CONFEZ", "CONFEZ.DB", "CONFEZ", "CODICERIEMPITRICE, NUMPROGRESSIVO, TESTO",
     "CODICERIEMPITRICE, NUMPROGRESSIVO", "TESTO"},
    {"COSTI", "COSTI.DB", "COSTI",
     "CODICE, TIPOSCHEDA, DESCRIZIONE, CODICEPRODOTTO, QUANTITADAPRODURRE, CODICERIEMPITRICE, "
     "TEMPOPRODUZIONE, TEMPOAVVIO, TEMPOCONTROLLOQUALITA, COSTOMANODOPERA, COSTOBASE, COSTOBETA, "
     "COSTIGENERALI, COSTOTOTALE, COSTOCONTRASPORTO, PREZZOBASE, PREZZOBASECONAGENTE, "
     "PREZZOSCONTATO, DATAULTIMAMODIFICA, TIPOCOMPOSIZIONE, COSTOMATERIALI, TEMPOCONFEZ, "
     "COSTOTRASPORTO, COEFFRICARICO, COEFFAGENTE, COEFFSCONTO, TRASPORTO, TIPOCALCUNITARIO, "
     "COSTOAVVIOUNITARIO, COSTOPRODUZIONEUNITARIO, COSTOCONFEZUNITARIO, COSTOCONTROLLOQUALUNIT, "
     "COSTORAWMATER, COSTOCONTENITORE, COSTOTEMPO, TIPOCALCOLOPREZZO, COSTOBASEUNITARIO",
     "CODICE", "DESCRIZIONE"},
    {"INITAB\\CPAR", "CPAR.DB", "CPAR",
     "COSTOTEMPO, COSTIGENERALIANNUI, COSTIBASEANNUI, COEFFRICARICO, COEFFAGENTE, COEFFSCONTO, "
     "COSTOTRASPORTO",
     "", ""},
    {"FABBRIC", "FABBRIC.DB", "FABBRIC",
     "CODICE, DATA, LOTTO, NOMEPRODOTTO, CODICEPRODOTTO, SPECIFICHE, QUANTITALITRI, UNITAMISURA, "
     "DENSITAPRODOTTO, DENSITACALCOLI, MISCELATORE, CONTENITORE, CAPACITACONTENITORE, "
     "DESCRIZIONECONTENITORE, RIEMPITRICE, CARTONE, NUMCARTONI, ETICHETTA, TAPPO, ALTRO1, ALTRO2, "
     "STORICOAGGIORNATO, DOCUMENTOWORD",
     "CODICE, DATA, LOTTO",
     "NOMEPRODOTTO, SPECIFICHE, CONTENITORE, DESCRIZIONECONTENITORE, CARTONE, ETICHETTA, TAPPO, "
     "ALTRO1, ALTRO2"},
    {"FORMUL", "FORMUL.DB", "FORMUL",
     "CODICE, NOME, SPECIFICHE, EDIZIONE, REVISIONE, DATAULTIMAREVISIONE, RESPONSABILE, DENSITA, "
     "TOLLERANZADENSITA, PH, TOLLERANZAPH, VISCOSO, MANODOPERA, POLVERE, CODICEADR, COSTOUNITARIO, "
     "SCAGLIONE1, SCAGLIONE2, TEMPO1, TEMPO2, TEMPO3",
     "CODICE", "NOME, SPECIFICHE, RESPONSABILE"},
    {"FORNITO", "FORNITO.DB", "FORNITO",
     "CODICE, CONTO, RAGSOC, DESCRIZIONESINTETICA, NATURAGIURIDICA, INDIRIZZO, CAP, CITTA, "
     "PROVINCIA, NAZIONE, CODICEPAESE, TIPOPAESE, TELEFONO1, TELEFONO2, FAX, PI, CF, PIESTERA, "
     "CODICEPAGAMENTO, CODICEBANCA, ALLEGATOIVA, MODELLO102, CODIVAABITUALE, NUMEROFATTURE, "
     "IMPONIBILE, IMPONIBILESOGGIVA, IVA, ESENTE, NONIMPONIBILE, NONIMPONIBILE8E2, ESCLUSO, SALDO, "
     "IMPONIBILEANNOPREC, IMPSOGGIVAANNOPREC, IVAANNOPREC, ESENTEANNOPREC, NONIMPONIBANNOPREC, "
     "NONIMPONIB8E2ANNOPREC, ESCLUSOANNOPREC, CONTROPARTITAABITUALE, DATAULTIMOAGGIORNAMENTO, "
     "DESCRIZIONEBANCA, CODICEBANCAABI, CODICESPORTELLOCAB, NCONTOCORRENTE, ESISTERITENUTAACC, "
     "CLASSIFICAZIONE1, CLASSIFICAZIONE2, DRAGSOC1, DINDIRIZZO1, DCAP1, DCITTA1, DPROVINCIA1, "
     "DNAZIONE1, DCODICEPAESE1, DTIPOPAESE1, DRAGSOC2, DINDIRIZZO2, DCAP2, DCITTA2, DPROVINCIA2, "
     "DNAZIONE2, DCODICEPAESE2, DTIPOPAESE2, NOTE, INFO1, INFO2, INFO3, INFO4, INFO5, INFO6, "
     "INFO7, INFO8, INFO9, INFO10, INFO11",
     "CODICE",
     "RAGSOC, DESCRIZIONESINTETICA, NATURAGIURIDICA, INDIRIZZO, CITTA, NAZIONE, DESCRIZIONEBANCA, "
     "DRAGSOC1, DINDIRIZZO1, DCITTA1, DNAZIONE1, DRAGSOC2, DINDIRIZZO2, DCITTA2, DNAZIONE2, NOTE"},
    {"INITAB\\IMBALLI\\FOTOIMBALLI", "FOTOIMBALLI.DB", "FOTOIMBALLI", "PROGRESSIVO, CODICE, FOTO",
     "PROGRESSIVO", ""},
    {"INITAB\\IMBALLI", "IMBALLI.DB", "IMBALLI",
     "CODICE, TIPOIMBALLO, NOMEIMBALLO, CODICEFORNITORE, CODICEFORNITORE1, CODICEFORNITORE2, "
     "PREZZOFORNITORE1, PREZZOFORNITORE2, PREZZOFORNITORE3, COSTOAGGIUNTIVO, COSTOIMBALLO1, "
     "COSTOIMBALLO2, COSTOIMBALLO3, CONTENUTO, DIVISORE, CARATTERISTICHE, TAPPOCOMPRESO, "
     "CODICEANALOGO, DATAVARPREZZO1, DATAVARPREZZO2, DATAVARPREZZO3",
     "CODICE", "NOMEIMBALLO, CARATTERISTICHE"},
    {"MATER", "MATER.DB", "MATER",
     "CODICE, NOMECOMMERCIALE, CODICECATEGORIAMP, COMPOSIZIONE, MATERIAATTIVA, TOLLERANZAMA, "
     "CODICEANALOGO, CODICEFORNITORE, CODICEESTERNO, CONFEZIONE, FLAGSCHEDASICUREZZA, "
     "FLAGSCHEDATECNICA, SIMBOLOGIARISCHIO, FRASIR, FRASIS, NUMEROCAS, EINECS, INCI, PREZZO, "
     "ULTIMOAGGIORNPREZZO, DATASTAMPA",
     "CODICE",
     "NOMECOMMERCIALE, COMPOSIZIONE, CONFEZIONE, SIMBOLOGIARISCHIO, FRASIR, FRASIS, INCI"},
    {"INITAB\\PRACQUA", "PRACQUA.DB", "PRACQUA", "CODICEMATERIAPRIMA", "", ""},
    {"FORMUL\\PROCED", "PROCED.DB", "PROCED",
     "CODICEFORMULAZIONE, NRIGA, TESTO, EVIDENZA, TABEVIDENZA", "CODICEFORMULAZIONE, NRIGA",
     "TESTO"},
    {"PRODOT", "PRODOT.DB", "PRODOT",
     "CODICE, CODICEFORMULAZIONE, NOME, CONFEZIONEVENDITA, PEZZIPERIMBALLO, NOTE, "
     "CATEGORIAPRODOTTO, DESCRIZIONE, CODICEADR, MANODOPERACONF, ASSOCIATO, INLISTINO, "
     "UNITAVENDITA, DIVISORECONFEZIONE, RICARICA, VALDENSITA, IMBALLOCONTENITORE, IMBALLOTAPPO, "
     "IMBALLOETICHETTA, IMBALLOCARTONE, IMBALLOALTRO1, IMBALLOALTRO2, DIVISORE1, DIVISORE2, "
     "DIVISORE3, DIVISORE4, FILESCHEDATECNICA, FILESCHEDASICUREZZA, SCAGLIONE1, SCAGLIONE2, "
     "TEMPO1, TEMPO2, TEMPO3, MODBUSTA, BUSTEPIENE",
     "CODICE",
     "NOME, CONFEZIONEVENDITA, NOTE, DESCRIZIONE, ASSOCIATO, IMBALLOCONTENITORE, IMBALLOTAPPO, "
     "IMBALLOETICHETTA, IMBALLOCARTONE, IMBALLOALTRO1, IMBALLOALTRO2"},
    {"INITAB\\RIEMPIT", "RIEMPIT.DB", "RIEMPIT", "CODICE, NOME, SPECIFICHE, TEMPOLITRO", "CODICE",
     "NOME, SPECIFICHE"},
    {"COSTI\\SCHEDE", "SCHEDE.DB", "SCHEDE",
     "CODICESCHEDAPRIMARIA, CODICESCHEDASECONDARIA, COLLEGAMENTO",
     "CODICESCHEDAPRIMARIA, CODICESCHEDASECONDARIA", ""},
    {"MATER\\SPECIF", "SPECIF.DB", "SPECIF", "CODICEMP, NRIGA, SPECIFICA", "CODICEMP, NRIGA",
     "SPECIFICA"},
    {"INITAB\\SRISCHI", "SRISCHI.DB", "SRISCHI", "CODICE, DESCRIZIONE", "CODICE", "DESCRIZIONE"},
    {"FABBRIC\\STOFAB", "STOFAB.DB", "STOFAB",
     "CODICE, DATA, LOTTO, CODICEINTERNO, NOMEPRODOTTO, CODICEPRODOTTO, SPECIFICHE, QUANTITALITRI, "
     "UNITAMISURA, DENSITAPRODOTTO, DENSITACALCOLI, MISCELATORE, CONTENITORE, CAPACITACONTENITORE, "
     "DESCRIZIONECONTENITORE, RIEMPITRICE, CARTONE, NUMCARTONI, ETICHETTA, TAPPO, ALTRO1, ALTRO2, "
     "DOCUMENTOWORD, CODICEFORMULAZIONE, NUMEROCONTENITORI, QUANTITATOTALE, TOLLERPERCDENSPROD, "
     "PHFORMUL, TOLLPERCPHFORMUL, PERCACQUAADDOLC, QUANTITAACQUA, TOLLERANZATOTALE",
     "CODICE, DATA, LOTTO, CODICEINTERNO",
     "NOMEPRODOTTO, SPECIFICHE, CONTENITORE, DESCRIZIONECONTENITORE, CARTONE, ETICHETTA, TAPPO, "
     "ALTRO1, ALTRO2"},
    {"FABBRIC\\STOFAB\\STOMAT", "STOMAT.DB", "STOMAT",
     "CODICESTORICO, NRIGA, CODICEFORMULAZIONE, CODICEMATERIAPRIMA, DESCRIZIONE, COMPOSIZIONE, "
     "PERCENTUALE, TOLLERANZA, CRITICO, ACCETTABILITA, RANGE, MATERIAATTIVATEORICA, "
     "MATERIAATTIVAREALE, CODICEINTERNO, QUANTITARAW, ANALOGHI, BILANCIA, TOLLERANZA1, "
     "TOLLERANZA2, PERCENTUALEAGGIORNATA, QUANTITAKG, QUANTITAKG1",
     "CODICESTORICO, NRIGA", "DESCRIZIONE, COMPOSIZIONE"},
    {"INITAB\\TABSPEC", "TABSPEC.DB", "TABSPEC", "CODICE, DESCRIZIONE", "CODICE", "DESCRIZIONE"},
    {"INITAB\\TPIMBA", "TPIMBA.DB", "TPIMBA", "CODICE, DESCRIZIONE", "CODICE", "DESCRIZIONE"},
    {"INITAB\\VALUTAZ", "VALUTAZ.DB", "VALUTAZ", "CODICE, DESCRIZIONE", "CODICE", "DESCRIZIONE"},
};

QStringList lista(const char* testo) {
    QStringList r;
    for (const QString& s : QString::fromLatin1(testo).split(',', Qt::SkipEmptyParts)) {
        r << s.trimmed();
    }
    return r;
}

// A number the older program wrote as text: a comma or a point before the
// decimals, no separator of thousands ("1.050" is 1,05, "12,5" is 12,5).
std::optional<double> numeroDiOrigine(const QString& testo) {
    static const QRegularExpression numero(QStringLiteral("^[+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+)$"));
    QString t = testo.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (!numero.match(t).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        return std::nullopt;
    }
    return d;
}

QString letterale(const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        return QStringLiteral("NULL");
    }
    switch (v.typeId()) {
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::LongLong:
    case QMetaType::Int:
        return v.toString();
    case QMetaType::QDate:
        return sql::data(v.toDate());
    case QMetaType::QTime:
        return "'" + v.toTime().toString(QStringLiteral("HH:mm:ss")) + "'";
    case QMetaType::QDateTime:
        return "'" + v.toDateTime().toString(QStringLiteral("MM/dd/yyyy HH:mm:ss")) + "'";
    default:
        return "'" + v.toString().replace('\'', QLatin1String("''")) + "'";
    }
}

} // namespace

const std::vector<TabellaDaConvertire>& tabelle() {
    static const std::vector<TabellaDaConvertire> t = [] {
        std::vector<TabellaDaConvertire> r;
        for (const Riga& x : kTabelle) {
            r.push_back({QString::fromLatin1(x.cartella), QString::fromLatin1(x.file),
                         QString::fromLatin1(x.destinazione), lista(x.colonne), lista(x.chiavi),
                         lista(x.descrittive)});
        }
        return r;
    }();
    return t;
}

QString campoOrigine(const QString& tabella, const QString& colonna, bool haCampo3) {
    if (tabella == QLatin1String("PRODOT") && colonna == QLatin1String("TEMPO3") && !haCampo3) {
        return QStringLiteral("TEMPO2");
    }
    return colonna;
}

Genere genereDi(int tipoCampo, int scala) {
    switch (tipoCampo) {
    case 7:  // SMALLINT
    case 8:  // INTEGER
    case 16: // BIGINT
        return scala < 0 ? Genere::Decimale : Genere::Intero;
    case 10: // FLOAT
    case 27: // DOUBLE PRECISION
        return Genere::Decimale;
    case 12:
        return Genere::Data;
    case 13:
        return Genere::Ora;
    case 35:
        return Genere::DataOra;
    default:
        return Genere::Testo;
    }
}

std::vector<Colonna> colonneDestinazione(Query& catalogo, const TabellaDaConvertire& t) {
    catalogo.SQL = {QStringLiteral("SELECT TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, "
                                   "F.RDB$FIELD_SCALE"),
                    QStringLiteral("FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON "
                                   "F.RDB$FIELD_NAME=RF.RDB$FIELD_SOURCE"),
                    QStringLiteral("WHERE RF.RDB$RELATION_NAME=?"),
                    QStringLiteral("ORDER BY RF.RDB$FIELD_POSITION")};
    catalogo.setParams({t.destinazione});
    QHash<QString, Genere> generi;
    for (catalogo.open(); !catalogo.eof(); catalogo.next()) {
        generi.insert(catalogo.field(0).asString(), genereDi(int(catalogo.field(1).asInteger()),
                                                             int(catalogo.field(2).asInteger())));
    }
    catalogo.close();
    catalogo.clearParams();
    std::vector<Colonna> r;
    for (const QString& c : t.colonne) {
        Colonna col;
        col.nome = c;
        // a column the target lacks makes the insert fail, naming it
        col.genere = generi.value(c, Genere::Testo);
        col.chiave = t.chiavi.contains(c);
        col.descrittiva = t.descrittive.contains(c);
        col.zeroSeVuota =
            t.destinazione == QLatin1String("PROCED") && c == QLatin1String("EVIDENZA");
        r.push_back(col);
    }
    return r;
}

QString fraseInserimento(const TabellaDaConvertire& t) {
    QStringList segnaposto;
    for (qsizetype i = 0; i < t.colonne.size(); ++i) {
        segnaposto << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1(%2) VALUES(%3)")
        .arg(t.destinazione, t.colonne.join(','), segnaposto.join(','));
}

QVariant valore(const QVariant& origine, const Colonna& c) {
    if (origine.typeId() == QMetaType::Bool) {
        return origine.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    }
    const bool vuoto = !origine.isValid() || origine.isNull() ||
                       (origine.typeId() == QMetaType::QString && origine.toString().isEmpty());
    if (vuoto) {
        if (c.chiave) {
            return QString(""); // a key is written as it is, never NULL
        }
        return c.zeroSeVuota ? QVariant(QStringLiteral("0")) : QVariant();
    }
    const bool testo = origine.typeId() == QMetaType::QString;
    auto nonValido = [&](const QString& cosa) {
        throw ValoreNonValido(QStringLiteral("%1 '%2' non valido per la colonna %3")
                                  .arg(cosa, origine.toString(), c.nome));
    };
    switch (c.genere) {
    case Genere::Testo:
        if (testo) {
            if (!c.descrittiva) {
                return origine;
            }
            QString s = sql::senzaApici(origine.toString());
            return s.replace('"', sql::kAccento);
        }
        switch (origine.typeId()) {
        case QMetaType::Double:
            return Formati::numeroInTesto(origine.toDouble());
        case QMetaType::QDate:
            return Formati::dataInTesto(origine.toDate());
        case QMetaType::QDateTime:
            return Formati::dataOraInTesto(origine.toDateTime());
        case QMetaType::QTime:
            return origine.toTime().toString(QStringLiteral("HH:mm:ss"));
        default:
            return origine.toString();
        }
    case Genere::Intero:
    case Genere::Decimale:
        if (testo) {
            // by the older program's own rule, whatever the session's formats
            const auto n = numeroDiOrigine(origine.toString());
            if (!n) {
                nonValido(QStringLiteral("numero"));
            }
            if (c.genere == Genere::Intero && *n == std::trunc(*n) && std::abs(*n) < 9.0e15) {
                return qint64(*n);
            }
            return *n;
        }
        if (origine.typeId() == QMetaType::Double && c.genere == Genere::Intero) {
            const double d = origine.toDouble();
            if (d == std::trunc(d) && std::abs(d) < 9.0e15) {
                return qint64(d);
            }
        }
        if (origine.typeId() == QMetaType::Double || origine.typeId() == QMetaType::LongLong) {
            return origine;
        }
        nonValido(QStringLiteral("valore"));
        break;
    case Genere::Data:
    case Genere::DataOra:
        if (origine.typeId() == QMetaType::QDate) {
            return c.genere == Genere::Data ? origine : QVariant(origine.toDate().startOfDay());
        }
        if (origine.typeId() == QMetaType::QDateTime) {
            return c.genere == Genere::Data ? QVariant(origine.toDateTime().date()) : origine;
        }
        if (testo) {
            const QDate d = Formati::leggiData(origine.toString().trimmed());
            if (d.isValid()) {
                return c.genere == Genere::Data ? QVariant(d) : QVariant(d.startOfDay());
            }
        }
        nonValido(QStringLiteral("data"));
        break;
    case Genere::Ora:
        if (origine.typeId() == QMetaType::QTime) {
            return origine;
        }
        if (origine.typeId() == QMetaType::QDateTime) {
            return origine.toDateTime().time();
        }
        nonValido(QStringLiteral("ora"));
        break;
    }
    return {};
}

QString testoFrase(const QString& tabella, const QStringList& colonne,
                   const std::vector<QVariant>& valori) {
    QStringList v;
    for (const QVariant& x : valori) {
        v << letterale(x);
    }
    return QStringLiteral("INSERT INTO %1(%2) VALUES(%3)")
        .arg(tabella, colonne.join(','), v.join(','));
}

} // namespace quintar::conversione
