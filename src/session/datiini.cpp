#include "session/datiini.h"

#include "session/percorsi.h"

#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace quintar::datiini {

namespace {

// The file is Windows-1252 text; Latin-1 keeps every byte for the characters
// that matter here.
QString decodifica(const QByteArray& b) {
    return QString::fromLatin1(b);
}
QByteArray codifica(const QString& s) {
    return s.toLatin1();
}

QString nomeFile(const QString& dir) {
    return percorsi::suDisco(percorsi::conSeparatore(dir) + QStringLiteral("dati.ini"));
}

bool intestazione(const QByteArray& riga, QString* nome) {
    QByteArray t = riga.trimmed();
    if (t.startsWith('[') && t.endsWith(']')) {
        *nome = decodifica(t.mid(1, t.size() - 2)).trimmed();
        return true;
    }
    return false;
}

} // namespace

QString valore(const QByteArray& contenuto, const QString& sezione, const QString& chiave) {
    QString corrente;
    bool dentro = false;
    for (QByteArray riga : contenuto.split('\n')) {
        if (riga.endsWith('\r')) {
            riga.chop(1);
        }
        QString nome;
        if (intestazione(riga, &nome)) {
            dentro = nome.compare(sezione, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!dentro) {
            continue;
        }
        int eq = riga.indexOf('=');
        if (eq < 0) {
            continue;
        }
        if (decodifica(riga.left(eq)).trimmed().compare(chiave, Qt::CaseInsensitive) == 0) {
            return decodifica(riga.mid(eq + 1)).trimmed();
        }
    }
    return {};
}

QByteArray conValore(const QByteArray& contenuto, const QString& sezione, const QString& chiave,
                     const QString& val) {
    const QByteArray eol = contenuto.contains("\r\n") || contenuto.isEmpty() ? "\r\n" : "\n";
    QList<QByteArray> righe = contenuto.split('\n');
    bool finaleVuota = !righe.isEmpty() && righe.last().isEmpty();
    if (finaleVuota) {
        righe.removeLast();
    }
    const QByteArray nuova = codifica(chiave) + '=' + codifica(val);
    int sezioneRiga = -1;
    int ultimaNellaSezione = -1;
    bool dentro = false;
    for (int i = 0; i < righe.size(); ++i) {
        QByteArray r = righe[i];
        bool cr = r.endsWith('\r');
        if (cr) {
            r.chop(1);
        }
        QString nome;
        if (intestazione(r, &nome)) {
            dentro = nome.compare(sezione, Qt::CaseInsensitive) == 0;
            if (dentro && sezioneRiga < 0) {
                sezioneRiga = i;
                ultimaNellaSezione = i;
            }
            continue;
        }
        if (!dentro) {
            continue;
        }
        if (!r.trimmed().isEmpty()) {
            ultimaNellaSezione = i;
        }
        int eq = r.indexOf('=');
        if (eq >= 0 && decodifica(r.left(eq)).trimmed().compare(chiave, Qt::CaseInsensitive) == 0) {
            righe[i] = nuova + (cr ? "\r" : "");
            return righe.join('\n') + (finaleVuota ? "\n" : "");
        }
    }
    const QByteArray cr = eol == "\r\n" ? "\r" : "";
    if (sezioneRiga < 0) {
        if (!righe.isEmpty() && !finaleVuota) {
            righe.last() += cr;
        }
        righe << '[' + codifica(sezione) + ']' + cr << nuova + cr;
    } else {
        righe.insert(ultimaNellaSezione + 1, nuova + cr);
    }
    return righe.join('\n') + "\n";
}

QString leggi(const QString& dir, const QString& chiave) {
    if (percorsi::diRete(dir)) {
        // a share is not a folder of this computer: nothing can be read there
        return {};
    }
    QFile f(nomeFile(dir));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return valore(f.readAll(), QStringLiteral("CONFIG"), chiave);
}

bool scrivi(const QString& dir, const QString& chiave, const QString& val) {
    if (percorsi::diRete(dir)) {
        return false;
    }
    QByteArray prima;
    {
        QFile f(nomeFile(dir));
        if (f.exists()) {
            if (!f.open(QIODevice::ReadOnly)) {
                return false;
            }
            prima = f.readAll();
        }
    }
    QSaveFile out(nomeFile(dir));
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    out.write(conValore(prima, QStringLiteral("CONFIG"), chiave, val));
    return out.commit();
}

} // namespace quintar::datiini
