// The batch lines of the manufacturing sheet under load (TLiqPolvForm, page
// "Materie"): integration of a line of the analogue group MP002 (MP002 and
// MP012) with the group's other material, and deletion of an integration, on
// two demo batches. A batch line carries no text of its own, so the check
// counts instead: each integration told done added one line of its material,
// each deletion told done took one away, nothing else changed the lines, and
// the batch's total percentage is what it was (an integration moves a share,
// a deletion gives it back).
#include "carico.h"

#include "host/lancio.h"
#include "production/fabbcompon.h"
#include "production/liqpolv.h"
#include "production/materie.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

namespace carico {

namespace {

const QString kScheda = QStringLiteral("LOTTO");

struct Lotto {
    QString codice, data, lotto; // data as the sheet shows it
    QString dataSql;
    QString chiave() const { return codice + '|' + dataSql + '|' + lotto; }
    QString condizione() const {
        return QStringLiteral("CODICEFABBRICAZIONE='%1' AND DATAFABBRICAZIONE='%2' AND "
                              "LOTTOFABBRICAZIONE='%3'")
            .arg(codice, dataSql, lotto);
    }
};

const Lotto kLotti[] = {{QStringLiteral("FM001"), QStringLiteral("15/01/2025"),
                         QStringLiteral("L25015"), QStringLiteral("2025-01-15")},
                        {QStringLiteral("FM002"), QStringLiteral("14/02/2025"),
                         QStringLiteral("L25045"), QStringLiteral("2025-02-14")}};

QString ora() {
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}

// The analogue group the soak integrates: each material's partner.
QString altraDelGruppo(const QString& materia) {
    if (materia == QLatin1String("MP002")) {
        return QStringLiteral("MP012");
    }
    if (materia == QLatin1String("MP012")) {
        return QStringLiteral("MP002");
    }
    return {};
}

class GiroLotti : public Giro {
public:
    explicit GiroLotti(Ambiente& a) : Giro(a, kScheda) {}

    bool apri() override {
        f_ = qobject_cast<TLiqPolvForm*>(
            LanciaSchermata(*trovaSchermata(QStringLiteral("ShowLiqPolvForm")), a_.utente, {}));
        if (!f_ || !f_->Sessione()->IBDatabase1.connected() || !a_.reg.mostrati.empty()) {
            std::fprintf(stderr, "scheda di fabbricazione non aperta: %s\n",
                         qPrintable(a_.reg.testi().join(QStringLiteral(" | "))));
            return false;
        }
        if (!posiziona(kLotti[0])) {
            std::fprintf(stderr, "lotto %s non trovato\n", qPrintable(kLotti[0].chiave()));
            return false;
        }
        f_->mostraPagina(TLiqPolvForm::Materie);
        if (f_->paginaCorrente() != TLiqPolvForm::Materie) {
            std::fprintf(stderr, "pagina Materie non mostrata: %s\n",
                         qPrintable(a_.reg.testi().join(QStringLiteral(" | "))));
            return false;
        }
        return true;
    }

    void chiudi() override { chiudiScheda(f_.data()); }

    void passo() override {
        const Lotto& l = kLotti[a_.caso(2)];
        const int p = a_.caso(100);
        const char* tipo = p < 40   ? "integra"
                           : p < 70 ? "elimina"
                           : p < 90 ? "ricerca"
                                    : "rinuncia";
        if (posiziona(l)) {
            PaginaMaterie* m = f_->PaginaComponenti;
            if (p < 40 || p >= 90) {
                integra(l, m, p >= 90);
            } else if (p < 70) {
                elimina(l, m);
            } else {
                // what another user sees after "Annulla": a fresh read
                f_->AltreChiaviCorrenti = {l.data, l.lotto};
                f_->rileggi(l.codice);
            }
        }
        registra(tipo, l.chiave(), f_->StatoScheda);
    }

    int dialogo(QDialog* d) override {
        auto* f = qobject_cast<TFabbComponForm*>(d);
        if (!f || rinuncia_) {
            return kRisultatoAnnulla;
        }
        f->EditCodice->setText(codice_);
        f->EditPercentuale->setText(percentuale_);
        f->OKBtn->click();
        accettato_ = f->result() == kRisultatoOK;
        return accettato_ ? int(kRisultatoOK) : int(kRisultatoAnnulla);
    }

private:
    bool posiziona(const Lotto& l) {
        const LottoCorrente c = f_->lottoCorrente();
        if (c.codice != l.codice || c.lotto != l.lotto) {
            f_->AltreChiaviCorrenti = {l.data, l.lotto};
            f_->riapriSuCodice(l.codice);
        }
        return f_->lottoCorrente().lotto == l.lotto;
    }

    // A line of the group, made current; its material (empty when none).
    QString scegliRiga(PaginaMaterie* m) {
        GrigliaModello* g = m->GridCompon->modello();
        while (g->canFetchMore({})) {
            g->fetchMore({});
        }
        const int colonna = g->indiceCampo(QStringLiteral("CODICEMATERIAPRIMA"));
        std::vector<int> gruppo;
        for (int r = 0; colonna >= 0 && r < g->rowCount(); ++r) {
            const Campo c = g->campo(r, colonna);
            if (!altraDelGruppo(c.isNull() ? QString() : c.asString()).isEmpty()) {
                gruppo.push_back(r);
            }
        }
        if (gruppo.empty()) {
            return {};
        }
        m->GridCompon->setCurrentIndex(g->index(gruppo[size_t(a_.caso(int(gruppo.size())))], 0));
        return m->GridCompon->campoCorrente(QStringLiteral("CODICEMATERIAPRIMA")).asString();
    }

    void integra(const Lotto& l, PaginaMaterie* m, bool rinuncia) {
        const QString materia = scegliRiga(m);
        if (materia.isEmpty()) {
            return;
        }
        codice_ = altraDelGruppo(materia);
        // typed with the decimal comma
        percentuale_ = QStringLiteral("0,%1").arg(1 + a_.caso(300), 3, 10, QLatin1Char('0'));
        rinuncia_ = rinuncia;
        accettato_ = false;
        const size_t prima = a_.reg.mostrati.size();
        m->ButtonIntegraFabbComponClick();
        rinuncia_ = false;
        if (!accettato_) {
            return; // given up, or refused by the dialog's checks (told there)
        }
        if (a_.reg.mostrati.size() == prima) {
            a_.scrivi(kScheda, QStringLiteral("INTEGRATO"),
                      {l.chiave(), codice_, QString::number(m->rigaCorrente().value_or(0)), ora(),
                       QString::number(a_.seme)});
        } else {
            a_.scrivi(kScheda, QStringLiteral("FALLITO"), {l.chiave(), codice_});
        }
    }

    void elimina(const Lotto& l, PaginaMaterie* m) {
        const QString materia = scegliRiga(m);
        if (materia.isEmpty()) {
            return;
        }
        const qint64 riga = m->rigaCorrente().value_or(0);
        a_.reg.risposte = {QStringLiteral("Sì")};
        const size_t prima = a_.reg.mostrati.size();
        m->ButtonEliminaFabbComponClick();
        bool confermato = false;
        for (size_t i = prima; i < a_.reg.mostrati.size(); ++i) {
            confermato = confermato || a_.reg.mostrati[i].tipo == TipoMessaggio::Conferma;
        }
        if (confermato && !a_.errore(prima)) {
            // the line as the user saw it when choosing it
            a_.scrivi(
                kScheda, QStringLiteral("ELIMINATO"),
                {l.chiave(), materia, QString::number(riga), ora(), QString::number(a_.seme)});
        }
    }

    QPointer<TLiqPolvForm> f_;
    QString codice_, percentuale_;
    bool rinuncia_ = false;
    bool accettato_ = false;
};

QString totale(Database& db, const Lotto& l) {
    return scalare(db, QStringLiteral("SELECT CAST(SUM(PERCENTUALE) AS NUMERIC(18,6)) FROM "
                                      "FABBCOMPON WHERE %1")
                           .arg(l.condizione()))
        .toString();
}

std::map<QString, int> perMateria(Database& db, const Lotto& l) {
    std::map<QString, int> r;
    for (const QStringList& x :
         righeSql(db, QStringLiteral("SELECT CODICEMATERIAPRIMA, COUNT(*) FROM FABBCOMPON WHERE "
                                     "%1 GROUP BY 1")
                          .arg(l.condizione()))) {
        r[x[0]] = x[1].toInt();
    }
    return r;
}

// The lines by number as the changes told done left them, in the order they
// were told: a deletion of a line the user saw with one material while the
// number stood for a line of another (its number taken again by a later
// integration) is named, with both processes.
void spiegaEliminazioni(const std::vector<QStringList>& integrati,
                        const std::vector<QStringList>& eliminati) {
    std::vector<std::pair<qint64, QStringList>> fatti;
    for (const auto* elenco : {&integrati, &eliminati}) {
        for (const QStringList& l : *elenco) {
            fatti.emplace_back(
                l.value(3).toLongLong(),
                QStringList{elenco == &integrati ? QStringLiteral("+") : QStringLiteral("-")} + l);
        }
    }
    std::stable_sort(fatti.begin(), fatti.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::map<QString, QStringList> righe; // batch/number -> the integration standing there
    for (const auto& [t, l] : fatti) {
        const QString k = l.value(1) + '/' + l.value(3);
        if (l.value(0) == QLatin1String("+")) {
            righe[k] = l;
            continue;
        }
        const auto it = righe.find(k);
        if (it != righe.end() && it->second.value(2) != l.value(2)) {
            std::printf("LOTTO %s: la riga %s eliminata dal processo %s a %lld era vista come %s, "
                        "ma il numero era già di una riga di %s integrata dal processo %s a %s\n",
                        qPrintable(l.value(1)), qPrintable(l.value(3)), qPrintable(l.value(5)), t,
                        qPrintable(l.value(2)), qPrintable(it->second.value(2)),
                        qPrintable(it->second.value(5)), qPrintable(it->second.value(4)));
        }
        if (it != righe.end()) {
            righe.erase(it);
        }
    }
}

} // namespace

std::unique_ptr<Giro> giroLotti(Ambiente& a) {
    return std::make_unique<GiroLotti>(a);
}

QStringList baseLotti(Database& db) {
    QStringList r;
    for (const Lotto& l : kLotti) {
        r << QStringLiteral("TOTALE %1 %2").arg(l.chiave(), totale(db, l));
        for (const auto& [materia, n] : perMateria(db, l)) {
            r << QStringLiteral("MATERIA %1 %2 %3").arg(l.chiave(), materia).arg(n);
        }
    }
    return r;
}

void verificaLotti(Database& db, const Base& b, const Registri& r, Conteggi& c) {
    const int trovatiPrima = c.perdite + c.mezzi;
    std::map<QString, std::map<QString, int>> attese; // batch -> material -> lines
    std::map<QString, QString> totali;
    if (auto it = b.find(kScheda); it != b.end()) {
        for (const QStringList& l : it->second) {
            if (l.value(0) == QLatin1String("TOTALE")) {
                totali[l.value(1)] = l.value(2);
            } else {
                attese[l.value(1)][l.value(2)] = l.value(3).toInt();
            }
        }
    }
    const auto integrati = r.righe(kScheda, QStringLiteral("INTEGRATO"));
    const auto eliminati = r.righe(kScheda, QStringLiteral("ELIMINATO"));
    for (const QStringList& l : integrati) {
        ++attese[l.value(0)][l.value(1)];
    }
    for (const QStringList& l : eliminati) {
        --attese[l.value(0)][l.value(1)];
    }
    for (const Lotto& l : kLotti) {
        const QString k = l.chiave();
        const std::map<QString, int> ora = perMateria(db, l);
        std::map<QString, int> tutte = attese[k];
        for (const auto& [materia, n] : ora) {
            tutte.emplace(materia, 0);
        }
        for (const auto& [materia, attesa] : tutte) {
            const auto it = ora.find(materia);
            const int n = it == ora.end() ? 0 : it->second;
            if (n != attesa) {
                segnala(n < attesa ? c.perdite : c.mezzi,
                        QStringLiteral("LOTTO %1: %2 righe di %3, attese %4 dalle integrazioni e "
                                       "eliminazioni confermate")
                            .arg(k)
                            .arg(n)
                            .arg(materia)
                            .arg(attesa));
            }
        }
        const QString t = totale(db, l);
        if (t != totali[k]) {
            segnala(c.mezzi,
                    QStringLiteral("LOTTO %1: percentuale totale %2, era %3").arg(k, t, totali[k]));
        }
        for (const QStringList& x :
             righeSql(db, QStringLiteral("SELECT NRIGA, PERCENTUALE FROM FABBCOMPON WHERE %1 AND "
                                         "(PERCENTUALE IS NULL OR PERCENTUALE<0)")
                              .arg(l.condizione()))) {
            segnala(c.mezzi,
                    QStringLiteral("LOTTO %1: riga %2 con percentuale %3").arg(k, x[0], x[1]));
        }
    }
    if (c.perdite + c.mezzi > trovatiPrima) {
        spiegaEliminazioni(integrati, eliminati);
    }
    std::printf("LOTTO: %lld integrazioni, %lld eliminazioni, %lld rifiutate\n",
                qlonglong(integrati.size()), qlonglong(eliminati.size()),
                qlonglong(r.righe(kScheda, QStringLiteral("FALLITO")).size()));
}

} // namespace carico
