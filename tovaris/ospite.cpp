#include "ospite.h"

#include "session/db.h"
#include "session/percorsi.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <dlfcn.h>

namespace tovaris {

const QStringList& entratePreviste() {
    static const QStringList l = [] {
        const QStringList dx = {
            "ShowMaterForm",    "ShowImballiForm",      "ShowProdottiForm",
            "ShowFormulForm",   "ShowSincroPrezziForm", "ShowCostiForm",
            "ShowCParForm",     "ShowPrAcquaForm",      "ShowLiqPolvForm",
            "ShowCategMPForm",  "ShowSRischiForm",      "ShowSpecForm",
            "ShowValutazForm",  "ShowTipiImballiForm",  "ShowIniConfForm",
            "ShowIniRiempForm", "ShowIniCConfForm",     "ShowIniCCon1Form",
            "ShowIniCatPrForm", "ShowCodADRForm",       "ShowCodADR2017Form",
            "ShowFornitoForm",  "ShowConvForm",         "ShowTracciabilitaForm"};
        const QStringList x = {
            "ShowIdPesateForm",      "ShowStoPesateForm",   "ShowImpFabbrForm",
            "ShowProdFabbrForm",     "ShowConvCapConfForm", "ShowSincroTovarisForm",
            "ShowAcqCliQuintarForm", "ShowImpoVarieForm",   "ShowRegolarizzaForm"};
        QStringList r;
        for (const QString& n : dx) {
            r << n + "D" << n + "X";
        }
        for (const QString& n : x) {
            r << n + "X";
        }
        return r;
    }();
    return l;
}

Libreria::Libreria() {
    QString percorso = qEnvironmentVariable("QUINTAR_LIB");
    if (percorso.isEmpty()) {
        percorso = QCoreApplication::applicationDirPath() + "/libquintar.so";
    }
    handle_ = dlopen(QFile::encodeName(percorso).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        errore_ = QString::fromLocal8Bit(dlerror());
    }
}

Libreria::~Libreria() {
    // screens may still be alive in the message loop: the library stays loaded
}

bool Libreria::esiste(const QString& entrata) const {
    return handle_ && dlsym(handle_, entrata.toLatin1().constData()) != nullptr;
}

int registraFinestra(const Cartella& c, const QString& entrata, int utente,
                     std::optional<int> finestra) {
    quintar::Database db;
    db.connect(nomeConnessione(c.userDb()));
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    int id = 0;
    if (finestra) {
        id = *finestra;
        q.SQL = {"DELETE FROM TOVARLOGFUNZ WHERE IDFINESTRA=?"};
        q.setParams({QString::number(id)});
        q.execSQL();
    } else {
        q.SQL = {"SELECT MAX(CAST(IDFINESTRA AS BIGINT)) FROM TOVARLOGFUNZ"};
        id = q.scalar().toInt() + 1;
    }
    q.SQL = {"INSERT INTO TOVARLOGFUNZ (IDFINESTRA, UTENTE, PUNTOINGRESSO) VALUES (?,?,?)"};
    q.setParams({QString::number(id), utente, entrata});
    q.execSQL();
    tr.commit();
    return id;
}

bool Libreria::apri(const Cartella& c, const QString& entrata, int utente,
                    std::optional<int> finestra) {
    if (!handle_) {
        return false;
    }
    void* f = dlsym(handle_, entrata.toLatin1().constData());
    if (!f) {
        return false;
    }
    qputenv(quintar::percorsi::kVariabileDirHost, c.radice.toUtf8());
    if (entrata.endsWith('X')) {
        int id = registraFinestra(c, entrata, utente, finestra);
        reinterpret_cast<int (*)(int, int)>(f)(utente, id);
    } else {
        reinterpret_cast<int (*)(int)>(f)(utente);
    }
    return true;
}

} // namespace tovaris
