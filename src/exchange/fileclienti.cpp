#include "exchange/fileclienti.h"

#include "session/sqlvalori.h"

#include <QHash>

namespace quintar::clienti {

namespace {

// 0x80-0x9F of Windows-1252; the five bytes the code page leaves undefined
// keep their C1 control code, as Windows itself reads them.
constexpr char16_t kAlti[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString daWindows1252(const char* p, qsizetype n) {
    QString s;
    s.resize(n);
    QChar* d = s.data();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        d[i] = b >= 0x80 && b <= 0x9F ? QChar(kAlti[b - 0x80]) : QChar(b);
    }
    return s;
}

QStringList dividiRighe(const QString& testo) {
    QStringList righe;
    qsizetype inizio = 0;
    const qsizetype n = testo.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = testo[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) {
            continue;
        }
        righe << testo.mid(inizio, i - inizio);
        if (c == QLatin1Char('\r') && i + 1 < n && testo[i + 1] == QLatin1Char('\n')) {
            ++i;
        }
        inizio = i + 1;
    }
    if (inizio < n) {
        righe << testo.mid(inizio);
    }
    return righe;
}

QString campo(const QStringList& f, int k) {
    return k >= 1 && k <= f.size() ? f[k - 1] : QString();
}

QString tagliato(const QStringList& f, int k, int lunghezza) {
    return campo(f, k).left(lunghezza);
}

QString nome(const QStringList& f, int primo) {
    return (campo(f, primo) + QLatin1Char(' ') + campo(f, primo + 1)).trimmed().left(64);
}

} // namespace

QString nomeCodifica(Codifica c) {
    switch (c) {
    case Codifica::Utf8:
        return QStringLiteral("UTF-8");
    case Codifica::Utf8Bom:
        return QStringLiteral("UTF-8 (con BOM)");
    case Codifica::Windows1252:
        break;
    }
    return QStringLiteral("Windows-1252");
}

bool utf8Valido(const QByteArray& dati) {
    const auto* p = reinterpret_cast<const unsigned char*>(dati.constData());
    const qsizetype n = dati.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int seguiti;
        unsigned minimo, cp;
        if (b >= 0xC2 && b <= 0xDF) {
            seguiti = 1, minimo = 0x80, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            seguiti = 2, minimo = 0x800, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            seguiti = 3, minimo = 0x10000, cp = b & 0x07;
        } else {
            return false; // a continuation byte first, C0/C1 overlong leads, F5-FF
        }
        if (i + seguiti >= n) {
            return false;
        }
        for (int k = 1; k <= seguiti; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += seguiti + 1;
    }
    return true;
}

namespace {

// The characters of the file in the encoding its bytes tell.
QString testoDi(const QByteArray& dati, Codifica* codifica) {
    if (dati.startsWith("\xEF\xBB\xBF")) {
        *codifica = Codifica::Utf8Bom;
        // a BOM promises UTF-8: a byte that breaks it becomes U+FFFD
        return QString::fromUtf8(dati.constData() + 3, dati.size() - 3);
    }
    if (utf8Valido(dati)) {
        *codifica = Codifica::Utf8;
        return QString::fromUtf8(dati);
    }
    *codifica = Codifica::Windows1252;
    return daWindows1252(dati.constData(), dati.size());
}

} // namespace

TestoFile decodifica(const QByteArray& dati) {
    TestoFile t;
    QString testo = testoDi(dati, &t.codifica);
    testo.remove(QChar(0));
    t.righe = dividiRighe(testo);
    return t;
}

bool eTesto(const QByteArray& dati) {
    if (dati.contains('\0')) {
        return false;
    }
    Codifica codifica = Codifica::Windows1252;
    const QString testo = testoDi(dati, &codifica);
    qsizetype controlli = 0;
    for (const QChar c : testo) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t') &&
            c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QLatin1Char('\f') &&
            c != QChar(0x1A)) {
            ++controlli;
        }
    }
    return controlli * 20 <= testo.size();
}

QStringList campi(const QString& riga) {
    return sql::senzaApici(riga).split(QLatin1Char(';'));
}

QString noteTecniche(const Destinatario& d) {
    QString note;
    if (!d.indirizzo2.isEmpty()) {
        note = QStringLiteral("<INDIRIZZO AGG2=") + d.indirizzo2 + QLatin1Char('>');
    }
    if (!d.indirizzo3.isEmpty()) {
        if (!note.isEmpty()) {
            note += QLatin1Char('\r');
        }
        note += QStringLiteral("<INDIRIZZO AGG3=") + d.indirizzo3 + QLatin1Char('>');
    }
    return note;
}

ContenutoFile leggi(const QByteArray& dati, bool saltaPrimaRiga) {
    TestoFile t = decodifica(dati);
    ContenutoFile c;
    c.codifica = t.codifica;
    if (saltaPrimaRiga && !t.righe.isEmpty()) {
        t.righe.removeFirst();
    }
    c.righe = int(t.righe.size());
    QHash<QString, size_t> indice; // customer code -> position
    for (int i = 0; i < t.righe.size(); ++i) {
        const QStringList f = campi(t.righe[i]);
        const QString codice = campo(f, 1);
        if (codice.isEmpty()) {
            continue;
        }
        const int numeroRiga = i + 1 + (saltaPrimaRiga ? 1 : 0);
        auto trovato = indice.constFind(codice);
        if (trovato == indice.constEnd()) {
            Cliente nuovo;
            nuovo.codice = codice;
            nuovo.nome = nome(f, 2);
            nuovo.indirizzo = tagliato(f, 4, 64);
            nuovo.cap = tagliato(f, 5, 10);
            nuovo.citta = tagliato(f, 6, 64);
            nuovo.provincia = tagliato(f, 7, 2);
            nuovo.nazione = tagliato(f, 8, 32);
            nuovo.codiceFiscale = tagliato(f, 9, 16);
            nuovo.partitaIva = tagliato(f, 10, 11);
            nuovo.riga = numeroRiga;
            trovato = indice.insert(codice, c.clienti.size());
            c.clienti.push_back(std::move(nuovo));
        }
        Cliente& cl = c.clienti[*trovato];
        QString nomeDestinatario = nome(f, 13);
        if (nomeDestinatario.isEmpty()) {
            continue;
        }
        if (nomeDestinatario.compare(QLatin1String("STESSO"), Qt::CaseInsensitive) == 0) {
            nomeDestinatario = cl.nome;
        }
        Destinatario d;
        d.codice = cl.codice +
                   QStringLiteral("%1").arg(cl.destinatari.size() + 1, 2, 10, QLatin1Char('0'));
        d.riferimento = tagliato(f, 12, 10);
        d.nome = nomeDestinatario;
        d.indirizzo = tagliato(f, 15, 64);
        d.indirizzo2 = campo(f, 16);
        d.indirizzo3 = campo(f, 17);
        d.cap = tagliato(f, 18, 10);
        d.citta = tagliato(f, 19, 64);
        d.provincia = tagliato(f, 20, 2);
        d.riga = numeroRiga;
        cl.destinatari.push_back(std::move(d));
    }
    return c;
}

} // namespace quintar::clienti
