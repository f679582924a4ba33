// Pages of lines under load: the data-sheet lines of three raw materials
// (TMaterForm, "Specifiche") and the component lines of three formulations
// (TFormulForm, "Componenti"): new line and save, edit and save, delete,
// cancel, list reads. Their histories copy a line as it was BEFORE a change
// (a new line's first save files the key-only row), so a saved text stands
// either in its line or in the copy a later change or deletion made of it:
// exactly once in all.
#include "carico.h"

#include "formulation/formul.h"
#include "host/lancio.h"
#include "master/mater.h"
#include "session/formati.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"

#include <QSet>
#include <cmath>
#include <cstdio>

namespace carico {

namespace {

const QString kSpecif = QStringLiteral("SPECIF");
const QString kCompon = QStringLiteral("COMPON");
const QStringList kMaterie = {QStringLiteral("MP001"), QStringLiteral("MP002"),
                              QStringLiteral("MP003")};
const QStringList kFormulazioni = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
// Priced raw materials a component line names.
const QStringList kComponenti = {QStringLiteral("MP002"), QStringLiteral("MP003"),
                                 QStringLiteral("MP004"), QStringLiteral("MP005"),
                                 QStringLiteral("MP006"), QStringLiteral("MP007"),
                                 QStringLiteral("MP009"), QStringLiteral("MP010")};
// Warnings after which a component line's save stands (its cost is told).
const QStringList kAvvisiCosto = {QStringLiteral("Impossibile ricalcolare il costo unitario"),
                                  QStringLiteral("La materia prima"),
                                  QStringLiteral("Le materie prime")};

struct DescrizioneGiro {
    QString scheda;  // SPECIF
    QString entrata; // ShowMaterForm
    QStringList padri;
    std::function<PaginaRighe*(SchedaAPagine*)> righe;
    // Types a save's values, `testo` in the column the check looks for.
    std::function<void(PaginaRighe*, Ambiente&, const QString& testo)> riempi;
    QStringList avvisiSalvato; // warnings that leave the save done
};

class GiroRighe : public Giro {
public:
    GiroRighe(Ambiente& a, DescrizioneGiro d) : Giro(a, d.scheda), d_(std::move(d)) {}

    bool apri() override {
        f_ = qobject_cast<SchedaAPagine*>(
            LanciaSchermata(*trovaSchermata(d_.entrata), a_.utente, {}));
        if (!f_ || !f_->Sessione()->IBDatabase1.connected() || !a_.reg.mostrati.empty()) {
            std::fprintf(stderr, "%s non aperta: %s\n", qPrintable(d_.entrata),
                         qPrintable(a_.reg.testi().join(QStringLiteral(" | "))));
            return false;
        }
        p_ = d_.righe(f_);
        f_->riapriSuCodice(d_.padri.first());
        f_->mostraPagina(1); // the page of lines, after "Pagina 1"
        if (f_->paginaCorrente() != 1) {
            std::fprintf(stderr, "%s: pagina delle righe non mostrata\n", qPrintable(d_.entrata));
            return false;
        }
        return true;
    }

    void chiudi() override { chiudiScheda(f_.data()); }

    void passo() override {
        const QString padre = d_.padri[a_.caso(int(d_.padri.size()))];
        if (f_->codiceCorrenteGriglia() != padre) {
            f_->riapriSuCodice(padre);
        }
        const int p = a_.caso(100);
        const char* tipo = p < 25 ? "nuovo" : p < 60 ? "modifica" : p < 75 ? "elimina" : "ricerca";
        if (f_->codiceCorrenteGriglia() == padre) {
            p_->riapri();
            if (p < 25) {
                p_->ButtonNuovoClick();
                concludi();
            } else if (p < 60) {
                if (scegliRiga()) {
                    p_->ButtonEditClick();
                    concludi();
                }
            } else if (p < 75) {
                elimina();
            } else {
                // what another user sees after "Annulla": a fresh read
                f_->rileggi(padre);
                p_->riapri();
            }
        }
        const int stato = p_->Stato;
        const QString k = p_->PadreCorrente + '/' + p_->RigaCorrente;
        // the page is back in browsing after every operation (what giving up
        // a new line tells is part of the operation)
        if (p_->Stato != 0) {
            p_->ButtonAnnullaClick();
        }
        registra(tipo, k, stato);
    }

private:
    bool scegliRiga() {
        auto* m = p_->Griglia->modello();
        while (m->canFetchMore({})) {
            m->fetchMore({});
        }
        if (m->rowCount() == 0) {
            return false;
        }
        p_->Griglia->setCurrentIndex(m->index(a_.caso(m->rowCount()), 0));
        return true;
    }

    bool avvisoSalvato(size_t da) const {
        for (size_t i = da; i < a_.reg.mostrati.size(); ++i) {
            const auto& m = a_.reg.mostrati[i];
            if (m.tipo != TipoMessaggio::Avviso) {
                continue;
            }
            bool noto = false;
            for (const QString& a : d_.avvisiSalvato) {
                noto = noto || m.testo.startsWith(a);
            }
            if (!noto) {
                return false;
            }
        }
        return true;
    }

    // Saves or gives up the open line; logs what the user was told. A save
    // refused because another user changed the line since it was read is
    // pressed again now and then, with a new text: that one overwrites
    // knowingly.
    void concludi() {
        if (p_->Stato == 0) {
            return;
        }
        if (a_.caso(5) == 0) {
            p_->ButtonAnnullaClick();
            return;
        }
        for (int volta = 0; volta < 2; ++volta) {
            const QString testo = a_.nuovoTesto();
            d_.riempi(p_, a_, testo);
            const size_t prima = a_.reg.mostrati.size();
            p_->ButtonMemorizzaClick();
            const QString padre = p_->PadreCorrente;
            if (p_->Stato == 0 && !a_.erroreVero(prima) && avvisoSalvato(prima)) {
                a_.scrivi(nome_, QStringLiteral("SALVATO"), {testo, padre});
                if (a_.errore(prima)) {
                    a_.scrivi(nome_, QStringLiteral("COSTO"), {padre});
                }
                return;
            }
            a_.scrivi(nome_, QStringLiteral("FALLITO"), {testo, padre});
            if (!a_.errore(prima)) {
                ++taciuti;
            }
            if (p_->Stato == 0 ||
                !a_.mostrato(QStringLiteral("Errore interno: impossibile memorizzare le modifiche"),
                             prima) ||
                a_.caso(2) == 0) {
                return;
            }
        }
    }

    void elimina() {
        if (!scegliRiga()) {
            return;
        }
        a_.reg.risposte = {QStringLiteral("Sì")};
        const size_t prima = a_.reg.mostrati.size();
        p_->ButtonEliminaClick();
        bool confermato = false;
        for (size_t i = prima; i < a_.reg.mostrati.size(); ++i) {
            confermato = confermato || a_.reg.mostrati[i].tipo == TipoMessaggio::Conferma;
        }
        if (confermato && !a_.errore(prima)) {
            a_.scrivi(nome_, QStringLiteral("ELIMINATO"), {p_->PadreCorrente, p_->RigaCorrente});
        }
    }

    DescrizioneGiro d_;
    QPointer<SchedaAPagine> f_;
    PaginaRighe* p_ = nullptr;
};

// Each text of the soak (P<seed>-<n>) in the rows of a query, counted.
std::map<QString, int> presenze(Database& db, const QStringList& sql) {
    std::map<QString, int> r;
    for (const QString& s : sql) {
        for (const QStringList& l : righeSql(db, s)) {
            if (l[0].startsWith('P')) {
                ++r[l[0]];
            }
        }
    }
    return r;
}

// A query's rows are a problem each: printed and counted.
void nessuna(Database& db, int& contatore, const QString& scheda, const QString& descrizione,
             const QString& sql) {
    for (const QStringList& l : righeSql(db, sql)) {
        segnala(contatore, QStringLiteral("%1: %2 %3").arg(scheda, descrizione, l.join('/')));
    }
}

int numeroBase(const Base& b, const QString& scheda, const QString& nome, int campo = 1) {
    if (auto it = b.find(scheda); it != b.end()) {
        for (const QStringList& l : it->second) {
            if (l.value(0) == nome) {
                return l.value(campo).toInt();
            }
        }
    }
    return 0;
}

// The summary rows of a history: those written by saves and by deletions.
QStringList riepilogo(Database& db, const QString& tabella, const QString& colonna,
                      const QString& storico, const QStringList& padri) {
    return {QStringLiteral("RIEP %1 %2")
                .arg(scalare(db, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE TABELLA='%2' AND "
                                                "ELIMINAZIONE='0' AND %3 IN (%4)")
                                     .arg(tabella, storico, colonna, elencoSql(padri)))
                         .toInt())
                .arg(scalare(db, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE TABELLA='%2' AND "
                                                "ELIMINAZIONE='1' AND %3 IN (%4)")
                                     .arg(tabella, storico, colonna, elencoSql(padri)))
                         .toInt())};
}

// The new summary rows of line versions: one per save told done, one per
// deletion told done.
void verificaRiepilogo(Database& db, const Base& b, const QString& scheda, const QString& tabella,
                       const QString& storico, const QStringList& padri, qsizetype salvati,
                       qsizetype rifiutati, qsizetype eliminati, Conteggi& c) {
    const QStringList ora =
        riepilogo(db, tabella, QStringLiteral("CODICE"), storico, padri).first().split(' ');
    const int s = ora.value(1).toInt() - numeroBase(b, scheda, QStringLiteral("RIEP"), 1);
    const int e = ora.value(2).toInt() - numeroBase(b, scheda, QStringLiteral("RIEP"), 2);
    if (s != salvati || e != eliminati) {
        segnala(c.mezzi, QStringLiteral("%1: versioni di riga nuove %2 per %3 salvataggi, "
                                        "eliminazioni %4 per %5")
                             .arg(scheda)
                             .arg(s)
                             .arg(salvati)
                             .arg(e)
                             .arg(eliminati));
    }
    std::printf("%s: %lld salvataggi, %lld rifiutati, %lld eliminazioni\n", qPrintable(scheda),
                qlonglong(salvati), qlonglong(rifiutati), qlonglong(eliminati));
}

QSet<QString> manuali(const Registri& r, const QString& scheda) {
    QSet<QString> m;
    for (const QString& k : r.primi(scheda, QStringLiteral("MANUALE"))) {
        m.insert(k);
    }
    return m;
}

} // namespace

std::unique_ptr<Giro> giroSpecifiche(Ambiente& a) {
    return std::make_unique<GiroRighe>(
        a, DescrizioneGiro{
               .scheda = kSpecif,
               .entrata = QStringLiteral("ShowMaterForm"),
               .padri = kMaterie,
               .righe =
                   [](SchedaAPagine* f) { return qobject_cast<TMaterForm*>(f)->PaginaSpecifiche; },
               .riempi =
                   [](PaginaRighe* p, Ambiente&, const QString& testo) {
                       SchedaBase::impostaTesto(p->editazione(QStringLiteral("SPECIFICA")), testo);
                   },
               .avvisiSalvato = {}});
}

std::unique_ptr<Giro> giroComponenti(Ambiente& a) {
    return std::make_unique<GiroRighe>(
        a, DescrizioneGiro{
               .scheda = kCompon,
               .entrata = QStringLiteral("ShowFormulForm"),
               .padri = kFormulazioni,
               .righe =
                   [](SchedaAPagine* f) { return qobject_cast<TFormulForm*>(f)->PaginaComponenti; },
               .riempi =
                   [](PaginaRighe* p, Ambiente& a, const QString& testo) {
                       SchedaBase::impostaTesto(p->editazione(QStringLiteral("CODICEMATERIAPRIMA")),
                                                kComponenti[a.caso(int(kComponenti.size()))]);
                       // typed with the decimal comma
                       SchedaBase::impostaTesto(p->editazione(QStringLiteral("PERCENTUALE")),
                                                QStringLiteral("%1,%2")
                                                    .arg(a.caso(20))
                                                    .arg(a.caso(100), 2, 10, QLatin1Char('0')));
                       SchedaBase::impostaTesto(p->editazione(QStringLiteral("RANGE")), testo);
                   },
               .avvisiSalvato = kAvvisiCosto});
}

QStringList baseSpecifiche(Database& db) {
    return riepilogo(db, QStringLiteral("STOMATERRIEP"), QStringLiteral("CODICE"),
                     QStringLiteral("STOSPECIF"), kMaterie);
}

QStringList baseComponenti(Database& db) {
    QStringList r = riepilogo(db, QStringLiteral("STOFORMULRIEP"), QStringLiteral("CODICE"),
                              QStringLiteral("STOCOMPON"), kFormulazioni);
    r << QStringLiteral("TESTATE %1")
             .arg(scalare(db, QStringLiteral("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE IN (%1)")
                                  .arg(elencoSql(kFormulazioni)))
                      .toInt());
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT CODICE, CAST(COSTOUNITARIO AS NUMERIC(18,9)) FROM "
                                     "FORMUL WHERE CODICE IN (%1)")
                          .arg(elencoSql(kFormulazioni)))) {
        r << QStringLiteral("COSTO %1 %2").arg(l[0], l[1]);
    }
    return r;
}

void verificaSpecifiche(Database& db, const Base& b, const Registri& r, Conteggi& c) {
    const QString in = elencoSql(kMaterie);
    const QStringList salvati = r.primi(kSpecif, QStringLiteral("SALVATO"));
    const qsizetype eliminati = r.righe(kSpecif, QStringLiteral("ELIMINATO")).size();
    const QStringList falliti = r.primi(kSpecif, QStringLiteral("FALLITO"));
    verificaTesti(kSpecif, salvati, falliti,
                  presenze(db, {QStringLiteral("SELECT SPECIFICA FROM SPECIF WHERE CODICEMP IN "
                                               "(%1)")
                                    .arg(in),
                                QStringLiteral("SELECT SPECIFICA FROM STOSPECIF WHERE CODICEMP "
                                               "IN (%1)")
                                    .arg(in)}),
                  c);
    verificaRiepilogo(db, b, kSpecif, QStringLiteral("STOMATERRIEP"), QStringLiteral("STOSPECIF"),
                      kMaterie, salvati.size(), falliti.size(), eliminati, c);
    // version numbers: 1, 2, 3 ... for each count
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("versioni di testata non consecutive"),
            QStringLiteral("SELECT CODICE, COUNT(*), MAX(VERS) FROM STOMATER WHERE CODICE IN "
                           "(%1) GROUP BY CODICE HAVING COUNT(*)<>MAX(VERS) OR MIN(VERS)<>1")
                .arg(in));
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("versioni di riga non consecutive"),
            QStringLiteral("SELECT CODICEMP, NRIGA, VERSIONET, COUNT(*), MAX(VERSIONED) FROM "
                           "STOSPECIF WHERE CODICEMP IN (%1) GROUP BY 1, 2, 3 HAVING "
                           "COUNT(*)<>MAX(VERSIONED) OR MIN(VERSIONED)<>1")
                .arg(in));
    // each version with its summary row, each summary row with its version
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("versione di testata senza riepilogo"),
            QStringLiteral("SELECT S.CODICE, S.VERS FROM STOMATER S WHERE S.CODICE IN (%1) AND "
                           "NOT EXISTS (SELECT 1 FROM STOMATERRIEP R WHERE R.CODICE=S.CODICE AND "
                           "R.TABELLA='STOMATER' AND R.NRIGA=0 AND R.VERSIONET=S.VERS AND "
                           "R.VERSIONED=0)")
                .arg(in));
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("riepilogo senza versione"),
            QStringLiteral("SELECT R.CODICE, R.TABELLA, R.NRIGA, R.VERSIONET, R.VERSIONED FROM "
                           "STOMATERRIEP R WHERE R.CODICE IN (%1) AND ((R.TABELLA='STOMATER' AND "
                           "NOT EXISTS (SELECT 1 FROM STOMATER S WHERE S.CODICE=R.CODICE AND "
                           "S.VERS=R.VERSIONET)) OR (R.TABELLA='STOSPECIF' AND NOT EXISTS "
                           "(SELECT 1 FROM STOSPECIF S WHERE S.CODICEMP=R.CODICE AND "
                           "S.NRIGA=R.NRIGA AND S.VERSIONET=R.VERSIONET AND "
                           "S.VERSIONED=R.VERSIONED)))")
                .arg(in));
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("versione di riga senza riepilogo"),
            QStringLiteral("SELECT S.CODICEMP, S.NRIGA, S.VERSIONET, S.VERSIONED FROM STOSPECIF S "
                           "WHERE S.CODICEMP IN (%1) AND NOT EXISTS (SELECT 1 FROM STOMATERRIEP R "
                           "WHERE R.CODICE=S.CODICEMP AND R.TABELLA='STOSPECIF' AND "
                           "R.NRIGA=S.NRIGA AND R.VERSIONET=S.VERSIONET AND "
                           "R.VERSIONED=S.VERSIONED)")
                .arg(in));
    nessuna(db, c.mezzi, kSpecif, QStringLiteral("versione di riga sotto una testata inesistente"),
            QStringLiteral("SELECT S.CODICEMP, S.NRIGA, S.VERSIONET FROM STOSPECIF S WHERE "
                           "S.CODICEMP IN (%1) AND NOT EXISTS (SELECT 1 FROM STOMATER T WHERE "
                           "T.CODICE=S.CODICEMP AND T.VERS=S.VERSIONET)")
                .arg(in));
    const QSet<QString> m = manuali(r, kSpecif);
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT CODICEMP, NRIGA FROM SPECIF WHERE CODICEMP IN (%1) "
                                     "AND SPECIFICA IS NULL")
                          .arg(in))) {
        if (!m.contains(l[0] + '/' + l[1])) {
            segnala(c.soloChiave,
                    QStringLiteral("SPECIF: riga %1 con la sola chiave").arg(l.join('/')));
        }
    }
}

void verificaComponenti(Database& db, const Base& b, const Registri& r, Conteggi& c) {
    const QString in = elencoSql(kFormulazioni);
    const auto salvati = r.righe(kCompon, QStringLiteral("SALVATO"));
    const auto eliminati = r.righe(kCompon, QStringLiteral("ELIMINATO"));
    QStringList testi;
    QSet<QString> toccate;
    for (const QStringList& l : salvati) {
        testi << l.value(0);
        toccate.insert(l.value(1));
    }
    for (const QStringList& l : eliminati) {
        toccate.insert(l.value(0));
    }
    const QStringList falliti = r.primi(kCompon, QStringLiteral("FALLITO"));
    verificaTesti(kCompon, testi, falliti,
                  presenze(db, {QStringLiteral("SELECT RANGE FROM COMPON WHERE CODICEFORMULAZIONE "
                                               "IN (%1)")
                                    .arg(in),
                                QStringLiteral("SELECT RANGE FROM STOCOMPON WHERE "
                                               "CODICEFORMULAZIONE IN (%1)")
                                    .arg(in)}),
                  c);
    verificaRiepilogo(db, b, kCompon, QStringLiteral("STOFORMULRIEP"), QStringLiteral("STOCOMPON"),
                      kFormulazioni, salvati.size(), falliti.size(), eliminati.size(), c);
    // every change of a line is a version of the formulation
    const int testate =
        scalare(db, QStringLiteral("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE IN (%1)").arg(in))
            .toInt() -
        numeroBase(b, kCompon, QStringLiteral("TESTATE"));
    if (testate != qsizetype(salvati.size() + eliminati.size())) {
        segnala(c.mezzi, QStringLiteral("COMPON: versioni di testata nuove %1 per %2 modifiche")
                             .arg(testate)
                             .arg(salvati.size() + eliminati.size()));
    }
    nessuna(db, c.mezzi, kCompon, QStringLiteral("versioni di testata non consecutive"),
            QStringLiteral("SELECT CODICE, COUNT(*), MAX(VERS) FROM STOFORMUL WHERE CODICE IN "
                           "(%1) GROUP BY CODICE HAVING COUNT(*)<>MAX(VERS) OR MIN(VERS)<>1")
                .arg(in));
    nessuna(db, c.mezzi, kCompon, QStringLiteral("versioni di riga non consecutive"),
            QStringLiteral("SELECT CODICEFORMULAZIONE, NRIGA, VERSIONET, COUNT(*), "
                           "MAX(VERSIONED) FROM STOCOMPON WHERE CODICEFORMULAZIONE IN (%1) "
                           "GROUP BY 1, 2, 3 HAVING COUNT(*)<>MAX(VERSIONED) OR "
                           "MIN(VERSIONED)<>1")
                .arg(in));
    nessuna(db, c.mezzi, kCompon, QStringLiteral("versione di testata senza riepilogo"),
            QStringLiteral("SELECT S.CODICE, S.VERS FROM STOFORMUL S WHERE S.CODICE IN (%1) AND "
                           "NOT EXISTS (SELECT 1 FROM STOFORMULRIEP R WHERE R.CODICE=S.CODICE AND "
                           "R.TABELLA='STOFORMUL' AND R.NRIGA=0 AND R.VERSIONET=S.VERS AND "
                           "R.VERSIONED=0)")
                .arg(in));
    nessuna(db, c.mezzi, kCompon, QStringLiteral("versione di riga senza riepilogo"),
            QStringLiteral("SELECT S.CODICEFORMULAZIONE, S.NRIGA, S.VERSIONET, S.VERSIONED FROM "
                           "STOCOMPON S WHERE S.CODICEFORMULAZIONE IN (%1) AND NOT EXISTS "
                           "(SELECT 1 FROM STOFORMULRIEP R WHERE R.CODICE=S.CODICEFORMULAZIONE "
                           "AND R.TABELLA='STOCOMPON' AND R.NRIGA=S.NRIGA AND "
                           "R.VERSIONET=S.VERSIONET AND R.VERSIONED=S.VERSIONED)")
                .arg(in));
    nessuna(db, c.mezzi, kCompon, QStringLiteral("riepilogo senza versione"),
            QStringLiteral("SELECT R.CODICE, R.TABELLA, R.NRIGA, R.VERSIONET, R.VERSIONED FROM "
                           "STOFORMULRIEP R WHERE R.CODICE IN (%1) AND ((R.TABELLA='STOFORMUL' "
                           "AND NOT EXISTS (SELECT 1 FROM STOFORMUL S WHERE S.CODICE=R.CODICE "
                           "AND S.VERS=R.VERSIONET)) OR (R.TABELLA='STOCOMPON' AND NOT EXISTS "
                           "(SELECT 1 FROM STOCOMPON S WHERE S.CODICEFORMULAZIONE=R.CODICE AND "
                           "S.NRIGA=R.NRIGA AND S.VERSIONET=R.VERSIONET AND "
                           "S.VERSIONED=R.VERSIONED)))")
                .arg(in));
    nessuna(db, c.mezzi, kCompon, QStringLiteral("versione di riga sotto una testata inesistente"),
            QStringLiteral("SELECT S.CODICEFORMULAZIONE, S.NRIGA, S.VERSIONET FROM STOCOMPON S "
                           "WHERE S.CODICEFORMULAZIONE IN (%1) AND NOT EXISTS (SELECT 1 FROM "
                           "STOFORMUL T WHERE T.CODICE=S.CODICEFORMULAZIONE AND "
                           "T.VERS=S.VERSIONET)")
                .arg(in));
    const QSet<QString> m = manuali(r, kCompon);
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT CODICEFORMULAZIONE, NRIGA FROM COMPON WHERE "
                                     "CODICEFORMULAZIONE IN (%1) AND CODICEMATERIAPRIMA IS NULL "
                                     "AND PERCENTUALE IS NULL AND RANGE IS NULL")
                          .arg(in))) {
        if (!m.contains(l[0] + '/' + l[1])) {
            segnala(c.soloChiave,
                    QStringLiteral("COMPON: riga %1 con la sola chiave").arg(l.join('/')));
        }
    }
    // the unit cost is the cost of the lines as they stand (a formulation no
    // change reached keeps its own)
    QSet<QString> costoTolto;
    for (const QString& f : r.primi(kCompon, QStringLiteral("COSTO"))) {
        costoTolto.insert(f);
        ++c.costo;
    }
    for (const QStringList& l :
         righeSql(db, QStringLiteral("SELECT F.CODICE, F.COSTOUNITARIO, (SELECT "
                                     "SUM(A.PERCENTUALE*B.PREZZO/100) FROM COMPON A LEFT JOIN "
                                     "MATER B ON A.CODICEMATERIAPRIMA=B.CODICE WHERE "
                                     "A.CODICEFORMULAZIONE=F.CODICE), CAST(F.COSTOUNITARIO AS "
                                     "NUMERIC(18,9)) FROM FORMUL F WHERE F.CODICE IN (%1)")
                          .arg(in))) {
        const double memorizzato = Formati::leggiNumero(l[1]).value_or(-1);
        const double somma = Formati::leggiNumero(l[2]).value_or(0);
        if (!toccate.contains(l[0])) {
            QString prima;
            for (const QStringList& x :
                 b.count(kCompon) ? b.at(kCompon) : std::vector<QStringList>{}) {
                if (x.value(0) == QLatin1String("COSTO") && x.value(1) == l[0]) {
                    prima = x.value(2);
                }
            }
            if (prima != l[3]) {
                segnala(c.mezzi,
                        QStringLiteral("COMPON: costo unitario della formulazione %1 "
                                       "cambiato (%2, prima %3) senza modifiche confermate")
                            .arg(l[0], l[3], prima));
            }
        } else if (std::abs(memorizzato - somma) > 1e-9 * std::max(1.0, std::abs(somma)) &&
                   !costoTolto.contains(l[0])) {
            segnala(c.mezzi,
                    QStringLiteral("COMPON: costo unitario della formulazione %1 = %2, righe %3")
                        .arg(l[0], QString::number(memorizzato, 'g', 12),
                             QString::number(somma, 'g', 12)));
        }
    }
}

} // namespace carico
