#include "master/foto.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace quintar::foto {

namespace {

// 0,9 × n to the nearest whole number, a half to the even neighbour.
int novantaPerCento(int n) {
    const int decimi = n * 9; // tenths of the result
    int intero = decimi / 10;
    const int resto = decimi % 10;
    if (resto > 5 || (resto == 5 && intero % 2 != 0)) {
        ++intero;
    }
    return intero;
}

QString normalizzato(QString percorso) {
    percorso.replace('\\', '/');
    return percorso;
}

} // namespace

QSize adatta(QSize foto, QSize cornice) {
    const int w0 = foto.width();
    const int h0 = foto.height();
    if (h0 <= cornice.height() && w0 <= cornice.width()) {
        return foto;
    }
    if (h0 == w0) {
        const int lato = std::min(cornice.width(), cornice.height());
        return {lato, lato};
    }
    int w = w0;
    int h = h0;
    while (h >= cornice.height() || w >= cornice.width()) {
        const int w2 = novantaPerCento(w);
        const int h2 = novantaPerCento(h);
        if (w2 == w && h2 == h) {
            break; // sides of a few pixels no longer shrink
        }
        w = w2;
        h = h2;
    }
    return {w, h};
}

QPoint origine(QSize disegnata, QSize pannello) {
    return {pannello.width() / 2 - disegnata.width() / 2,
            pannello.height() / 2 - disegnata.height() / 2};
}

std::optional<QString> memorizzata(const QString& file, const QString& cartella) {
    QString base = normalizzato(cartella).toUpper();
    if (base.trimmed().isEmpty()) {
        return std::nullopt;
    }
    if (!base.endsWith('/')) {
        base += '/';
    }
    const QString nome = normalizzato(file).toUpper();
    if (!nome.startsWith(base) || nome.size() == base.size()) {
        return std::nullopt;
    }
    return nome.mid(base.size()).replace('/', '\\');
}

QString suDisco(const QString& cartella, const QString& memorizzata) {
    QDir dir(normalizzato(cartella));
    const QStringList parti = normalizzato(memorizzata).split('/', Qt::SkipEmptyParts);
    if (parti.isEmpty() || !dir.exists()) {
        return {};
    }
    for (int i = 0; i < parti.size(); ++i) {
        const bool ultima = i + 1 == parti.size();
        QString trovata;
        if (QFileInfo::exists(dir.filePath(parti[i]))) {
            trovata = parti[i];
        } else {
            const QStringList voci =
                dir.entryList(ultima ? QDir::Files : QDir::Dirs | QDir::NoDotAndDotDot);
            for (const QString& v : voci) {
                if (v.compare(parti[i], Qt::CaseInsensitive) == 0) {
                    trovata = v;
                    break;
                }
            }
        }
        if (trovata.isEmpty()) {
            return {};
        }
        if (ultima) {
            return dir.filePath(trovata);
        }
        if (!dir.cd(trovata)) {
            return {};
        }
    }
    return {};
}

} // namespace quintar::foto
