#include "support/archivi.h"

#include "session/percorsi.h"

#include <stdexcept>

namespace prova {

Cartella::Cartella(bool demo) {
    if (!tmp_.isValid()) {
        throw std::runtime_error("temporary directory");
    }
    c_ = tovaris::inizializza(tmp_.path() + "/host", demo);
    vecchiaDir_ = qgetenv(quintar::percorsi::kVariabileDirHost);
    qputenv(quintar::percorsi::kVariabileDirHost, c_.radice.toUtf8());
}

Cartella::~Cartella() {
    if (vecchiaDir_.isEmpty()) {
        qunsetenv(quintar::percorsi::kVariabileDirHost);
    } else {
        qputenv(quintar::percorsi::kVariabileDirHost, vecchiaDir_);
    }
}

void Cartella::esegui(const QString& file, const QStringList& frasi) {
    quintar::Database db;
    db.connect(file);
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    for (const QString& f : frasi) {
        q.SQL = {f};
        q.execSQL();
    }
    tr.commit();
}

QString Cartella::valore(const QString& file, const QString& select) {
    quintar::Database db;
    db.connect(file);
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    q.SQL = {select};
    QVariant v = q.scalar();
    return v.isValid() ? v.toString() : QString();
}

int Cartella::conta(const QString& file, const QString& select) {
    return valore(file, select).toInt();
}

} // namespace prova
