// A host folder in a temporary directory, made as the host makes it.
#pragma once

#include "inizializza.h"
#include "session/db.h"

#include <QTemporaryDir>
#include <memory>

namespace prova {

class Cartella {
public:
    explicit Cartella(bool demo = false);
    ~Cartella();
    const tovaris::Cartella& c() const { return c_; }
    QString radice() const { return c_.radice; }
    // Runs statements on an archive and commits (the archive's file name).
    void esegui(const QString& file, const QStringList& frasi);
    // First column of the first row, as text ("" when null or no row).
    QString valore(const QString& file, const QString& select);
    int conta(const QString& file, const QString& select);

private:
    QTemporaryDir tmp_;
    tovaris::Cartella c_;
    QByteArray vecchiaDir_;
};

} // namespace prova
