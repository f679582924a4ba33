// The packaging procedures (TIniConfForm) under load: new, save, cancel,
// edit, delete and list reads on a few keys of two filling machines; the
// history holds each procedure as saved, so every row stands as its newest
// version.
#include "carico.h"

#include "config/confez.h"
#include "host/lancio.h"
#include "session/formati.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QLineEdit>
#include <QSet>
#include <cstdio>

namespace carico {

namespace {

const QString kScheda = QStringLiteral("CONFEZ");

// Key as the history table compares it: machine and number without decimals.
QString chiave(const QString& macchina, const QString& numero) {
    const auto n = Formati::leggiNumero(numero);
    return macchina + '/' + (n ? QString::number(*n, 'g', 12) : numero);
}

struct Versione {
    int vers = 0;
    bool eliminazione = false;
    QString testo;
};

// Every history version by key, in version order.
std::map<QString, std::vector<Versione>> storico(Database& db) {
    std::map<QString, std::vector<Versione>> r;
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT CODICERIEMPITRICE, NUMPROGRESSIVO, VERS, "
                                     "ELIMINAZIONE, TESTO FROM STOCONFEZ ORDER BY 1, 2, 3"))) {
        r[chiave(l[0], l[1])].push_back({l[2].toInt(), l[3] == QLatin1String("1"),
                                         l[4] == QLatin1String("\x01") ? QString() : l[4]});
    }
    return r;
}

class GiroConfez : public Giro {
public:
    explicit GiroConfez(Ambiente& a) : Giro(a, kScheda) {}

    bool apri() override {
        f_ = qobject_cast<TIniConfForm*>(
            LanciaSchermata(*trovaSchermata(QStringLiteral("ShowIniConfForm")), a_.utente, {}));
        if (!f_ || !f_->Sessione()->IBDatabase1.connected() || !a_.reg.mostrati.empty()) {
            std::fprintf(stderr, "procedure di confezionamento non aperte: %s\n",
                         qPrintable(a_.reg.testi().join(QStringLiteral(" | "))));
            return false;
        }
        return true;
    }

    void chiudi() override { chiudiScheda(f_.data()); }

    void passo() override {
        const int p = a_.caso(100);
        const char* tipo = p < 25 ? "nuovo" : p < 60 ? "modifica" : p < 75 ? "elimina" : "ricerca";
        if (p < 25) {
            nuovo();
        } else if (p < 60) {
            modifica();
        } else if (p < 75) {
            elimina();
        } else {
            // what another user sees after "Annulla": a fresh read of the list,
            // on the row shown (all of its key)
            f_->AltreChiaviCorrenti = f_->altreChiaviGriglia();
            f_->rileggi(f_->codiceCorrenteGriglia());
        }
        const int stato = f_->StatoScheda;
        const QString k = chiave(f_->CodiceCorrente, f_->AltreChiaviCorrenti.value(0));
        // the card is back in browsing after every operation (what giving up
        // a new record tells is part of the operation)
        if (f_->StatoScheda != 0) {
            f_->ButtonAnnullaClick();
        }
        registra(tipo, k, stato);
    }

    int dialogo(QDialog* d) override {
        auto* n = qobject_cast<TNConfezForm*>(d);
        if (!n) {
            return kRisultatoAnnulla;
        }
        n->scegliRiempitrice(macchina_);
        n->EditNumeroProgressivo->setText(numero_);
        n->done(kRisultatoOK);
        return n->result() == kRisultatoOK ? int(kRisultatoOK) : int(kRisultatoAnnulla);
    }

private:
    // Saves or gives up the open edit; logs what the user was told. A save
    // refused because another user changed the procedure since it was read
    // is pressed again now and then, with a new text: that one overwrites
    // knowingly.
    void concludi() {
        if (f_->StatoScheda == 0) {
            return;
        }
        if (a_.caso(5) == 0) {
            f_->ButtonAnnullaClick();
            return;
        }
        for (int volta = 0; volta < 2; ++volta) {
            const QString testo = a_.nuovoTesto();
            SchedaBase::impostaTesto(f_->editazione(QStringLiteral("TESTO")), testo);
            const size_t prima = a_.reg.mostrati.size();
            f_->ButtonMemorizzaClick();
            const bool segnalato = a_.errore(prima);
            if (f_->StatoScheda == 0 && !segnalato) {
                a_.scrivi(kScheda, QStringLiteral("SALVATO"), {testo});
                return;
            }
            a_.scrivi(kScheda, QStringLiteral("FALLITO"), {testo});
            if (!segnalato) {
                ++taciuti;
            }
            if (f_->StatoScheda == 0 ||
                !a_.mostrato(QStringLiteral("Errore interno: impossibile memorizzare le modifiche"),
                             prima) ||
                a_.caso(2) == 0) {
                return;
            }
        }
    }

    void nuovo() {
        macchina_ = QString::number(1 + a_.caso(2));
        numero_ = QString::number(1 + a_.caso(4));
        f_->ButtonNuovoClick();
        concludi();
    }

    bool scegliRiga() {
        auto* m = f_->Griglia->modello();
        while (m->canFetchMore({})) {
            m->fetchMore({});
        }
        if (m->rowCount() == 0) {
            return false;
        }
        f_->Griglia->setCurrentIndex(m->index(a_.caso(m->rowCount()), 0));
        return true;
    }

    void modifica() {
        if (!scegliRiga()) {
            return;
        }
        f_->ButtonEditClick();
        concludi();
    }

    void elimina() {
        if (!scegliRiga()) {
            return;
        }
        a_.reg.risposte = {QStringLiteral("Sì")};
        f_->ButtonEliminaClick();
        bool confermato = false;
        for (const auto& m : a_.reg.mostrati) {
            confermato = confermato || m.tipo == TipoMessaggio::Conferma;
        }
        if (confermato && !a_.errore()) {
            a_.scrivi(kScheda, QStringLiteral("ELIMINATO"));
        }
    }

    QPointer<TIniConfForm> f_;
    QString macchina_, numero_;
};

} // namespace

std::unique_ptr<Giro> giroConfez(Ambiente& a) {
    return std::make_unique<GiroConfez>(a);
}

QStringList baseConfez(Database& db) {
    QStringList r;
    for (const auto& [k, v] : storico(db)) {
        r << k + ' ' + QString::number(v.back().vers);
    }
    return r;
}

// A save told done has its history version (the procedure as saved), a save
// told failed left nothing, and each row stands as its newest version.
void verificaConfez(Database& db, const Base& b, const Registri& reg, Conteggi& c) {
    std::map<QString, int> prima;
    if (auto it = b.find(kScheda); it != b.end()) {
        for (const QStringList& l : it->second) {
            prima[l.value(0)] = l.value(1).toInt();
        }
    }
    const QStringList salvati = reg.primi(kScheda, QStringLiteral("SALVATO"));
    const QStringList falliti = reg.primi(kScheda, QStringLiteral("FALLITO"));
    const int eliminati = int(reg.righe(kScheda, QStringLiteral("ELIMINATO")).size());
    QSet<QString> manuali;
    for (const QString& k : reg.primi(kScheda, QStringLiteral("MANUALE"))) {
        manuali.insert(k);
    }
    const auto versioni = storico(db);
    std::map<QString, QString> righe; // key -> text ("\x01" for a key-only row)
    for (const QStringList& l : righeSql(db, QStringLiteral("SELECT CODICERIEMPITRICE, "
                                                            "NUMPROGRESSIVO, TESTO FROM CONFEZ"))) {
        righe[chiave(l[0], l[1])] = l[2];
    }
    QSet<QString> inStorico, ovunque;
    int nuoveVersioni = 0, nuoveEliminazioni = 0;
    for (const auto& [k, v] : versioni) {
        const int da = prima.count(k) ? prima[k] : 0;
        for (const Versione& x : v) {
            ovunque.insert(x.testo);
            if (x.vers <= da) {
                continue;
            }
            if (x.eliminazione) {
                ++nuoveEliminazioni;
            } else {
                ++nuoveVersioni;
                inStorico.insert(x.testo);
            }
        }
        if (v.back().vers <= da) {
            continue;
        }
        // the row as it stands is the newest version: a deletion when it is gone
        // (a key-only row the user was told to delete by hand included)
        const auto r = righe.find(k);
        const Versione& ultima = v.back();
        if (r == righe.end() ? !ultima.eliminazione
                             : ultima.eliminazione || ultima.testo != r->second) {
            segnala(c.mezzi, QStringLiteral("CONFEZ: riga %1 diversa dalla sua ultima versione %2")
                                 .arg(k)
                                 .arg(ultima.vers));
        }
    }
    for (const auto& [k, t] : righe) {
        ovunque.insert(t);
        if (t == QLatin1String("\x01") && !manuali.contains(k)) {
            segnala(c.soloChiave, QStringLiteral("CONFEZ: riga %1 con la sola chiave").arg(k));
        }
    }
    for (const QString& s : salvati) {
        if (!inStorico.contains(s)) {
            segnala(c.perdite,
                    QStringLiteral("CONFEZ: salvataggio %1 confermato ma assente dallo storico")
                        .arg(s));
        }
    }
    for (const QString& s : falliti) {
        if (ovunque.contains(s)) {
            segnala(c.mezzi, QStringLiteral("CONFEZ: salvataggio %1 rifiutato ma scritto").arg(s));
        }
    }
    if (nuoveVersioni != salvati.size() || nuoveEliminazioni != eliminati) {
        segnala(c.mezzi, QStringLiteral("CONFEZ: versioni nuove %1 per %2 salvataggi, "
                                        "eliminazioni %3 per %4")
                             .arg(nuoveVersioni)
                             .arg(salvati.size())
                             .arg(nuoveEliminazioni)
                             .arg(eliminati));
    }
    // version numbers: 1, 2, 3 ... for each procedure
    for (const QStringList& l : righeSql(
             db, QStringLiteral("SELECT CODICERIEMPITRICE, NUMPROGRESSIVO, COUNT(*), MAX(VERS) "
                                "FROM STOCONFEZ GROUP BY 1, 2 HAVING COUNT(*)<>MAX(VERS) OR "
                                "MIN(VERS)<>1"))) {
        segnala(c.mezzi, QStringLiteral("CONFEZ: versioni non consecutive %1").arg(l.join('/')));
    }
    std::printf("CONFEZ: %lld salvataggi, %lld rifiutati, %d eliminazioni\n",
                qlonglong(salvati.size()), qlonglong(falliti.size()), eliminati);
}

} // namespace carico
