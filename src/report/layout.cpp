#include "report/layout.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace quintar::report {

// ------------------------------------------------------------------ Proprieta

QString Proprieta::valore(const QString& chiave, const QString& predefinito) const {
    for (const auto& v : voci) {
        if (v.first.compare(chiave, Qt::CaseInsensitive) == 0) {
            return v.second;
        }
    }
    return predefinito;
}

double Proprieta::numero(const QString& chiave, double predefinito) const {
    bool ok = false;
    const double n = valore(chiave).trimmed().replace(',', '.').toDouble(&ok);
    return ok ? n : predefinito;
}

bool Proprieta::si(const QString& chiave, bool predefinito) const {
    const QString v = valore(chiave).trimmed().toLower();
    if (v.isEmpty()) {
        return predefinito;
    }
    return v == QLatin1String("si") || v == QStringLiteral("sì") || v == QLatin1String("1") ||
           v == QLatin1String("true") || v == QLatin1String("yes");
}

bool Proprieta::ha(const QString& chiave) const {
    for (const auto& v : voci) {
        if (v.first.compare(chiave, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

void Proprieta::imposta(const QString& chiave, const QString& valore) {
    for (auto& v : voci) {
        if (v.first.compare(chiave, Qt::CaseInsensitive) == 0) {
            v.second = valore;
            return;
        }
    }
    voci.append({chiave, valore});
}

void Proprieta::togli(const QString& chiave) {
    voci.removeIf([&](const QPair<QString, QString>& v) {
        return v.first.compare(chiave, Qt::CaseInsensitive) == 0;
    });
}

Proprieta Proprieta::leggiElenco(const QString& testo) {
    // split on unescaped ';', then undo the escapes
    QStringList parti;
    QString cur;
    for (int i = 0; i < testo.size(); ++i) {
        const QChar c = testo[i];
        if (c == '\\' && i + 1 < testo.size()) {
            const QChar n = testo[++i];
            if (n == 'n') {
                cur += '\n';
            } else {
                cur += n;
            }
        } else if (c == ';') {
            parti << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    parti << cur;
    Proprieta p;
    for (const QString& parte : parti) {
        const int uguale = parte.indexOf('=');
        if (uguale < 0) {
            if (!parte.trimmed().isEmpty()) {
                p.voci.append({parte.trimmed(), QString()});
            }
            continue;
        }
        p.voci.append({parte.left(uguale).trimmed(), parte.mid(uguale + 1).trimmed()});
    }
    return p;
}

static QString escape(const QString& s) {
    QString r;
    for (QChar c : s) {
        if (c == '\\') {
            r += QLatin1String("\\\\");
        } else if (c == ';') {
            r += QLatin1String("\\;");
        } else if (c == '\n') {
            r += QLatin1String("\\n");
        } else if (c != '\r') {
            r += c;
        }
    }
    return r;
}

QString Proprieta::scriviElenco() const {
    QStringList l;
    for (const auto& v : voci) {
        l << escape(v.first) + '=' + escape(v.second);
    }
    return l.join(QLatin1String("; "));
}

// ------------------------------------------------------------------ Layout

Layout Layout::leggi(const QString& testo, QStringList* avvisi) {
    Layout l;
    enum class Sezione { Nessuna, Pagina, Banda, Elenco, Righe, Ignota } sezione = Sezione::Nessuna;
    Banda* banda = nullptr;
    const QStringList righe = testo.split('\n');
    auto avvisa = [&](int n, const QString& cosa) {
        if (avvisi) {
            *avvisi << QStringLiteral("riga %1: %2").arg(n).arg(cosa);
        }
    };
    for (int n = 0; n < righe.size(); ++n) {
        const QString riga = righe[n].trimmed();
        if (riga.isEmpty() || riga.startsWith(';') || riga.startsWith('#')) {
            continue;
        }
        if (riga.startsWith('[') && riga.endsWith(']')) {
            const QString nome = riga.mid(1, riga.size() - 2).trimmed();
            const QString primo = nome.section(' ', 0, 0).toLower();
            banda = nullptr;
            if (primo == QLatin1String("pagina")) {
                sezione = Sezione::Pagina;
            } else if (primo == QLatin1String("intestazione")) {
                sezione = Sezione::Banda;
                banda = &l.intestazione;
            } else if (primo == QLatin1String("chiusura")) {
                sezione = Sezione::Banda;
                banda = &l.chiusura;
            } else if (primo == QLatin1String("piede")) {
                sezione = Sezione::Banda;
                banda = &l.piede;
            } else if (primo == QLatin1String("elenco")) {
                sezione = Sezione::Elenco;
            } else if (primo == QLatin1String("righe")) {
                sezione = Sezione::Righe;
                l.righe.push_back({nome.section(' ', 1).trimmed(), {}, {}});
            } else {
                sezione = Sezione::Ignota;
                avvisa(n + 1, QStringLiteral("sezione sconosciuta [%1]").arg(nome));
            }
            continue;
        }
        const int uguale = riga.indexOf('=');
        if (uguale <= 0) {
            avvisa(n + 1, QStringLiteral("manca '=': %1").arg(riga));
            continue;
        }
        const QString chiave = riga.left(uguale).trimmed();
        const QString valore = riga.mid(uguale + 1).trimmed();
        switch (sezione) {
        case Sezione::Pagina:
            l.pagina.imposta(chiave, valore);
            break;
        case Sezione::Elenco:
            l.elenco.imposta(chiave, valore);
            break;
        case Sezione::Banda:
            if (chiave.compare(QLatin1String("Altezza"), Qt::CaseInsensitive) == 0) {
                banda->altezza = valore.toDouble();
            } else if (chiave.compare(QLatin1String("Elemento"), Qt::CaseInsensitive) == 0) {
                Proprieta p = Proprieta::leggiElenco(valore);
                Elemento e;
                if (!p.voci.isEmpty() && p.voci.first().second.isEmpty()) {
                    e.tipo = p.voci.first().first;
                    p.voci.removeFirst();
                }
                e.p = p;
                banda->elementi.push_back(e);
            } else {
                avvisa(n + 1, QStringLiteral("chiave sconosciuta %1").arg(chiave));
            }
            break;
        case Sezione::Righe:
            if (chiave.compare(QLatin1String("Colonna"), Qt::CaseInsensitive) == 0) {
                l.righe.back().colonne.push_back(Proprieta::leggiElenco(valore));
            } else {
                l.righe.back().p.imposta(chiave, valore);
            }
            break;
        case Sezione::Nessuna:
            avvisa(n + 1, QStringLiteral("impostazione fuori sezione: %1").arg(riga));
            break;
        case Sezione::Ignota:
            break;
        }
    }
    return l;
}

QString Layout::scrivi() const {
    QString t;
    QTextStream s(&t);
    auto proprieta = [&](const Proprieta& p) {
        for (const auto& v : p.voci) {
            s << v.first << '=' << QString(v.second).replace('\n', ' ') << '\n';
        }
    };
    auto banda = [&](const char* nome, const Banda& b) {
        s << '\n' << '[' << nome << "]\n";
        s << "Altezza=" << QString::number(b.altezza) << '\n';
        for (const Elemento& e : b.elementi) {
            s << "Elemento=" << e.tipo;
            if (!e.p.voci.isEmpty()) {
                s << "; " << e.p.scriviElenco();
            }
            s << '\n';
        }
    };
    s << "; Quintar report layout\n";
    s << "[Pagina]\n";
    proprieta(pagina);
    banda("Intestazione", intestazione);
    s << "\n[Elenco]\n";
    proprieta(elenco);
    for (const Righe& r : righe) {
        s << "\n[Righe " << r.nome << "]\n";
        proprieta(r.p);
        for (const Proprieta& c : r.colonne) {
            s << "Colonna=" << c.scriviElenco() << '\n';
        }
    }
    banda("Chiusura", chiusura);
    banda("Piede", piede);
    s.flush();
    return t;
}

std::optional<Layout> Layout::carica(const QString& file, QString* errore) {
    QFileInfo fi(file);
    if (!fi.exists() || !fi.isFile()) {
        if (errore) {
            *errore = QStringLiteral("il file non esiste");
        }
        return std::nullopt;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        if (errore) {
            *errore = f.errorString();
        }
        return std::nullopt;
    }
    const QByteArray dati = f.readAll();
    auto dec = QStringDecoder(QStringConverter::Utf8);
    QString testo = dec(dati);
    if (dec.hasError()) {
        // written by hand with a Windows editor
        testo = QString::fromLatin1(dati);
    }
    testo.remove('\r');
    return leggi(testo);
}

bool Layout::salva(const QString& file, QString* errore) const {
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        if (errore) {
            *errore = f.errorString();
        }
        return false;
    }
    f.write(scrivi().toUtf8());
    if (!f.commit()) {
        if (errore) {
            *errore = f.errorString();
        }
        return false;
    }
    return true;
}

QStringList segnaposti(const QString& testo) {
    QStringList l;
    for (int i = 0; i < testo.size(); ++i) {
        if (testo[i] != '{') {
            continue;
        }
        if (i + 1 < testo.size() && testo[i + 1] == '{') {
            ++i;
            continue;
        }
        const int fine = testo.indexOf('}', i + 1);
        if (fine < 0) {
            break;
        }
        l << testo.mid(i + 1, fine - i - 1).section(':', 0, 0).trimmed();
        i = fine;
    }
    return l;
}

QStringList Layout::nomiUsati() const {
    QStringList nomi;
    auto aggiungi = [&](const QString& testo) {
        for (const QString& n : segnaposti(testo)) {
            if (!n.startsWith('#') && !nomi.contains(n, Qt::CaseInsensitive)) {
                nomi << n;
            }
        }
    };
    for (const Banda* b : {&intestazione, &chiusura, &piede}) {
        for (const Elemento& e : b->elementi) {
            aggiungi(e.p.valore("testo"));
            aggiungi(e.p.valore("valore"));
            aggiungi(e.p.valore("file"));
        }
    }
    for (const Righe& r : righe) {
        aggiungi(r.p.valore("Titolo"));
        for (const Proprieta& c : r.colonne) {
            aggiungi(c.valore("testo"));
            if (c.ha("campo")) {
                aggiungi('{' + c.valore("campo") + '}');
            }
        }
    }
    return nomi;
}

} // namespace quintar::report
