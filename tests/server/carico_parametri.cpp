// The cost parameters (TCParForm, the one row of CPAR) under load: the screen
// is opened, left open while the process works elsewhere (so that another
// user's save may come in between), then confirmed with a new cost of a time
// unit, or cancelled. The check: still exactly one row, its value one a save
// told done typed (or the one before the load when none was), never one of a
// refused save, the other columns untouched; and, as the screen saves only
// on the row as it read it, no two saves told done read the same row: they
// follow one another from the value before the load to the value stored.
#include "carico.h"

#include "formulation/cpar.h"
#include "host/lancio.h"
#include "session/formati.h"
#include "session/modificatidaaltri.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QSet>
#include <cstdio>

namespace carico {

namespace {

const QString kScheda = QStringLiteral("CPAR");

class GiroParametri : public Giro {
public:
    explicit GiroParametri(Ambiente& a) : Giro(a, kScheda) {}

    bool apri() override { return true; } // an operation opens it

    void chiudi() override {
        if (f_) {
            f_->ButtonAnnullaClick();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void passo() override {
        const char* tipo = "apri";
        if (!f_) {
            f_ = qobject_cast<TCParForm*>(
                LanciaSchermata(*trovaSchermata(QStringLiteral("ShowCParForm")), a_.utente, {}));
            letto_ = f_ ? f_->EditCostoTempo->text() : QString();
        } else if (a_.caso(6) == 0) {
            tipo = "annulla";
            chiudi();
        } else {
            tipo = "salva";
            salva();
        }
        registra(tipo, {}, 0);
    }

private:
    // A new cost of a time unit, confirmed. After a warning that another user
    // changed the row the screen shows it as stored; confirmed again now and
    // then, with a new value.
    void salva() {
        for (int volta = 0; volta < 2 && f_; ++volta) {
            const QString scritto = QString::number(a_.nuovoNumero());
            f_->EditCostoTempo->setText(scritto);
            const size_t prima = a_.reg.mostrati.size();
            f_->ButtonOkClick();
            const bool chiusa = !f_->isVisible();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (chiusa && !a_.errore(prima)) {
                a_.scrivi(kScheda, QStringLiteral("SALVATO"), {scritto, letto_});
                return;
            }
            a_.scrivi(kScheda, QStringLiteral("FALLITO"), {scritto});
            if (!a_.errore(prima)) {
                ++taciuti;
            }
            if (chiusa || !f_) {
                return;
            }
            if (a_.mostrato(testoModificatiDaAltri(), prima)) {
                letto_ = f_->EditCostoTempo->text(); // the row as stored now
            } else {
                return;
            }
            if (a_.caso(2) == 0) {
                return;
            }
        }
    }

    QPointer<TCParForm> f_;
    QString letto_; // the cost of a time unit as the screen read it
};

const char* kColonne = "COSTOTEMPO, COSTIGENERALIANNUI, COSTIBASEANNUI, COEFFRICARICO, "
                       "COEFFAGENTE, COEFFSCONTO, COSTOTRASPORTO";

QString numero(const QString& testo) {
    const auto n = Formati::leggiNumero(testo);
    return n ? QString::number(*n, 'g', 15) : testo;
}

} // namespace

std::unique_ptr<Giro> giroParametri(Ambiente& a) {
    return std::make_unique<GiroParametri>(a);
}

QStringList baseParametri(Database& db) {
    QStringList r;
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT %1 FROM CPAR").arg(QString::fromLatin1(kColonne)))) {
        QStringList n;
        for (const QString& v : l) {
            n << numero(v);
        }
        r << QStringLiteral("RIGA ") + n.join(' ');
    }
    return r;
}

void verificaParametri(Database& db, const Base& b, const Registri& r, Conteggi& c) {
    QStringList prima;
    if (auto it = b.find(kScheda); it != b.end() && !it->second.empty()) {
        prima = it->second.front().mid(1);
    }
    const auto righe =
        righeSql(db, QStringLiteral("SELECT %1 FROM CPAR").arg(QString::fromLatin1(kColonne)));
    const auto salvati = r.righe(kScheda, QStringLiteral("SALVATO"));
    const QStringList falliti = r.primi(kScheda, QStringLiteral("FALLITO"));
    std::printf("CPAR: %lld salvataggi, %lld rifiutati\n", qlonglong(salvati.size()),
                qlonglong(falliti.size()));
    if (righe.size() != 1) {
        segnala(c.mezzi, QStringLiteral("CPAR: %1 righe invece di una").arg(righe.size()));
        return;
    }
    QStringList ora;
    for (const QString& v : righe.front()) {
        ora << numero(v);
    }
    if (ora.mid(1) != prima.mid(1)) {
        segnala(c.mezzi, QStringLiteral("CPAR: valori mai digitati cambiati: %1, erano %2")
                             .arg(ora.mid(1).join(' '), prima.mid(1).join(' ')));
    }
    const QString valore = ora.value(0);
    QSet<QString> scritti;
    std::map<QString, std::vector<QString>> dopo; // value read -> values saved on it
    for (const QStringList& l : salvati) {
        scritti.insert(numero(l.value(0)));
        dopo[numero(l.value(1))].push_back(numero(l.value(0)));
    }
    if (falliti.contains(valore)) {
        segnala(c.mezzi, QStringLiteral("CPAR: salvataggio %1 rifiutato ma scritto").arg(valore));
    } else if (!scritti.contains(valore) && !(salvati.empty() && valore == prima.value(0))) {
        segnala(salvati.empty() ? c.mezzi : c.perdite,
                QStringLiteral("CPAR: costo del tempo %1, non scritto da un salvataggio confermato")
                    .arg(valore));
    }
    // each save told done read the row the one before it left (the screen
    // writes only while the row stands as it read it)
    for (const auto& [letto, fatti] : dopo) {
        if (fatti.size() > 1) {
            segnala(c.perdite, QStringLiteral("CPAR: %1 salvataggi confermati sulla stessa lettura "
                                              "%2 (%3): uno ha sovrascritto gli altri")
                                   .arg(fatti.size())
                                   .arg(letto, QStringList(fatti.begin(), fatti.end()).join(' ')));
        }
    }
    QString v = prima.value(0);
    size_t seguiti = 0;
    while (dopo.count(v) && seguiti <= salvati.size()) {
        v = dopo[v].front();
        ++seguiti;
    }
    if (seguiti != salvati.size() || v != valore) {
        segnala(c.mezzi, QStringLiteral("CPAR: i salvataggi confermati non si seguono da %1 a %2 "
                                        "(%3 di %4 in fila, fino a %5)")
                             .arg(prima.value(0), valore)
                             .arg(seguiti)
                             .arg(salvati.size())
                             .arg(v));
    }
}

} // namespace carico
