#include "production/righefabbricazione.h"

#include "config/confez.h"
#include "formulation/formul.h"
#include "production/fabbricazione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QDate>
#include <QLabel>
#include <QTimer>
#include <memory>

namespace quintar {

namespace {

constexpr int kSituazioneConfez = 44;
constexpr int kSituazioneProced = 45;

const QString kRiepilogo = QStringLiteral("STOFORMULRIEP");

// What a save decided before its UPDATE, for the version written after it.
struct VersioneInSospeso {
    bool serve = false;
    int testata = 0; // the formulation's version the line's version goes under
};

// The number the line has once saved: the one typed when it differs from the
// number it had.
QString rigaSalvata(const PaginaRighe* p) {
    const DescrizioneRighe& d = p->descrizione();
    if (!d.rigaModificabile) {
        return p->RigaCorrente;
    }
    CampoScheda c = d.campoRiga;
    c.tipo = d.tipoRiga;
    const QString digitata = SchedaBase::testoDi(p->editazione(d.campoRiga.colonna)).trimmed();
    return SchedaBase::stessaChiave(c, digitata, p->RigaCorrente) ? p->RigaCorrente : digitata;
}

// MAX(colonna) + 1 of the parent's lines, 1 when it has none; the number as
// the line's field shows it.
QString prossimoNumero(Query& q, const QString& tabella, const QString& colonnaPadre,
                       const QString& colonnaRiga, const QString& padre) {
    q.SQL = {QStringLiteral("SELECT MAX(%1) FROM %2").arg(colonnaRiga, tabella),
             QStringLiteral("WHERE %1=%2").arg(colonnaPadre, sql::testoNonNullo(padre))};
    const QVariant v = q.scalar();
    return Formati::numeroInTesto(v.isValid() && !v.isNull() ? v.toDouble() + 1 : 1);
}

// Once the list is open (and its saved layout applied) the text takes the
// width the other columns leave.
void testoAlResto(PaginaRighe* p, const QStringList& nascoste) {
    QObject::connect(p->Griglia->modello(), &QAbstractItemModel::modelReset, p, [p, nascoste] {
        QTimer::singleShot(0, p, [p, nascoste] {
            TCSDGrid* g = p->Griglia;
            GrigliaModello* m = g->modello();
            for (const QString& c : nascoste) {
                if (const int i = m->indiceCampo(c); i >= 0) {
                    g->setColumnHidden(i, true);
                }
            }
            const int testo = m->indiceCampo(QStringLiteral("TESTO"));
            if (testo < 0 || !g->isVisible()) {
                return;
            }
            int altre = 0;
            for (int i = 0; i < m->columnCount(); ++i) {
                if (i != testo && !g->isColumnHidden(i)) {
                    altre += g->columnWidth(i);
                }
            }
            g->setColumnWidth(testo, std::max(g->viewport()->width() - altre, 100));
        });
    });
}

// A version of a packaging line, copied from CONFEZ as `q`'s transaction sees
// it: the line's highest version plus 1.
int versioneConfez(Query& q, const PaginaRighe* p, const QString& riga, bool cancellazione,
                   int utente) {
    const DescrizioneStorico& d = TIniConfForm::kStorico;
    const QString condizione = p->condizione(p->PadreCorrente, riga);
    const auto ultima = storico::massimo(q, d.tabellaStorico, d.colonnaVersione, condizione);
    const int versione = ultima ? *ultima + 1 : 1;
    storico::copiaRiga(q, d.tabellaStorico, d.tabella, d.colonneCopiate,
                       {{d.colonnaVersione, sql::intero(versione)},
                        {d.colonnaData, sql::data(QDate::currentDate())},
                        {d.colonnaCancellato, sql::flag(cancellazione)},
                        {d.colonnaUtente, sql::intero(utente)}},
                       condizione);
    return versione;
}

// The formulation's version the lines' versions go under: its highest, or
// its first snapshot written now when it has none.
int versioneFormulazione(Query& q, const QString& formulazione, bool cancellazione,
                         const QString& utente) {
    const auto h = storico::massimo(q, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                    QStringLiteral("CODICE=") + sql::testoNonNullo(formulazione));
    if (h) {
        return *h;
    }
    scriviVersioneFormulazione(q, formulazione, 1, cancellazione, utente);
    return 1;
}

// The highest version of a procedure line under the formulation's version.
std::optional<int> ultimaVersioneProced(Query& q, const PaginaRighe* p, const QString& riga,
                                        int testata) {
    return storico::massimo(q, QStringLiteral("STOPROCED"), QStringLiteral("VERSIONED"),
                            p->condizione(p->PadreCorrente, riga) +
                                QStringLiteral("AND(VERSIONET=%1)").arg(sql::intero(testata)));
}

void versioneProced(Query& q, const PaginaRighe* p, const QString& riga, int testata, int versione,
                    bool cancellazione, const QString& utente) {
    const QString formulazione = p->PadreCorrente;
    storico::scrivi(
        q,
        {.tabellaStorico = QStringLiteral("STOPROCED"),
         .tabella = QStringLiteral("PROCED"),
         .copiate = {QStringLiteral("CODICEFORMULAZIONE"), QStringLiteral("NRIGA"),
                     QStringLiteral("TESTO"), QStringLiteral("EVIDENZA"),
                     QStringLiteral("TABEVIDENZA")},
         .numeri = {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                    {QStringLiteral("VERSIONED"), sql::intero(versione)}},
         .condizione = p->condizione(formulazione, riga),
         .riepilogo = kRiepilogo,
         .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(formulazione)},
                             {QStringLiteral("NRIGA"), p->letteraleRiga(riga)},
                             {QStringLiteral("VERSIONET"), sql::intero(testata)},
                             {QStringLiteral("VERSIONED"), sql::intero(versione)},
                             {QStringLiteral("TABELLA"), QStringLiteral("'STOPROCED'")}}},
        cancellazione, utente);
}

// The version a deletion writes: its failure is the deletion's own.
void eliminazione(const std::function<void()>& scrivi) {
    try {
        scrivi();
    } catch (const ErroreStorico& e) {
        throw DbError(e.messaggio(), e.sqlCode(), e.gdsCode());
    }
}

void mostraVersione(PaginaRighe* p, int versione) {
    if (p->LabelVersione) {
        p->LabelVersione->setText(QString::number(versione));
    }
}

} // namespace

QString formulazioneDelProdotto(SchedaFabbricazione& f, const QString& prodotto) {
    if (prodotto.isEmpty() || !f.archivio()->connected()) {
        return {};
    }
    try {
        Transaction t(f.archivio());
        Query q(f.archivio(), &t);
        q.SQL = {QStringLiteral("SELECT CODICEFORMULAZIONE FROM PRODOT"),
                 QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(prodotto)};
        const QVariant v = q.scalar();
        return v.isValid() && !v.isNull() ? v.toString().trimmed() : QString();
    } catch (const DbError& e) {
        qWarning("formulazione del prodotto non letta: %s", qPrintable(e.messaggio()));
        return {};
    }
}

PaginaRighe* creaPaginaConfezionamento(SchedaBase* scheda, SchedaFabbricazione& f,
                                       std::function<QString()> riempitrice) {
    CampoScheda numero = campoScheda("NUMPROGRESSIVO", "N. Riga", "ButtonNRigaConfez",
                                     "EditNRigaConfez", "EditNRigaConfez2");
    numero.tipo = TipoValore::Numero;
    auto* p = new PaginaRighe(
        scheda, {.tabella = QStringLiteral("CONFEZ"),
                 .colonnaPadre = QStringLiteral("CODICERIEMPITRICE"),
                 .colonnaRiga = QStringLiteral("NUMPROGRESSIVO"),
                 .tipoRiga = TipoValore::Numero,
                 .nome = QStringLiteral("PanelConfez"),
                 .griglia = QStringLiteral("GridConfez"),
                 .situazioneGriglia = kSituazioneConfez,
                 .pulsanti = QStringLiteral("Button%1Confez"),
                 .notebook = QStringLiteral("NoteBookConfez"),
                 .notebookPulsanti = QStringLiteral("NoteBookConfez2"),
                 .etichettaVersione = QStringLiteral("LabelConfezVersione"),
                 .campoPadre = campoScheda("CODICERIEMPITRICE", "Riemp.", "ButtonRiempConfez",
                                           "EditRiempConfez", "EditRiempConfez2"),
                 .campoRiga = numero,
                 .rigaModificabile = true,
                 .messaggioRiga = QStringLiteral("Specificare un valore valido per N. Riga"),
                 .campi = {campoScheda("TESTO", "Testo", "ButtonTestoConfez", "MemoTestoConfez",
                                       "MemoTestoConfez2", Controllo::Memo)},
                 .messaggioCancellare = QStringLiteral(
                     "Errore interno: cancellare manualmente il record con CODICERIEMPITRICE ")});
    p->padre = [riempitrice] { return riempitrice().trimmed(); };
    p->nuovaRigaConsentita = [p, &f] {
        if (p->padre().isEmpty()) {
            Messaggi::avviso(QStringLiteral("Per accedere alla sessione Confezionamento è "
                                            "necessario specificare una riempitrice"),
                             f.finestra());
            return false;
        }
        return true;
    };
    p->testoLista = [](const QString& macchina) {
        return QStringList{
            QStringLiteral("SELECT CODICERIEMPITRICE,NUMPROGRESSIVO,TESTO FROM CONFEZ"),
            macchina.isEmpty()
                ? QStringLiteral("WHERE CODICERIEMPITRICE IS NULL")
                : QStringLiteral("WHERE CODICERIEMPITRICE=") + sql::testoNonNullo(macchina),
            QStringLiteral("ORDER BY NUMPROGRESSIVO")};
    };
    p->prossimaRiga = [](Query& q, const QString& macchina) {
        return prossimoNumero(q, QStringLiteral("CONFEZ"), QStringLiteral("CODICERIEMPITRICE"),
                              QStringLiteral("NUMPROGRESSIVO"), macchina);
    };
    p->sqlVersione = [p](const QString& macchina, const QString& riga) {
        return QStringList{QStringLiteral("SELECT MAX(VERS) FROM STOCONFEZ"),
                           QStringLiteral("WHERE ") + p->condizione(macchina, riga)};
    };
    auto sospesa = std::make_shared<VersioneInSospeso>();
    // Before the UPDATE: a deletion keeps the line as it was; a save decides
    // whether the line gets a version (none yet, or a real change).
    p->storico = [p, &f, sospesa](Query& q, const QString& riga, bool cancellazione,
                                  const QStringList& set) {
        sospesa->serve = false;
        if (cancellazione) {
            eliminazione([&] { versioneConfez(q, p, riga, true, f.sessione()->NumUtente); });
            return;
        }
        const DescrizioneStorico& d = TIniConfForm::kStorico;
        const QString condizione = p->condizione(p->PadreCorrente, riga);
        sospesa->serve = !storico::massimo(q, d.tabellaStorico, d.colonnaVersione, condizione) ||
                         !storico::invariata(q, d.tabella, condizione, set);
    };
    // After the UPDATE, before the commit: the version copies the line as
    // saved, under the number it has now.
    p->dopoModifica = [p, &f, sospesa](Query& q, bool cancellazione) {
        if (cancellazione || !sospesa->serve) {
            return;
        }
        sospesa->serve = false;
        mostraVersione(p, versioneConfez(q, p, rigaSalvata(p), false, f.sessione()->NumUtente));
    };
    testoAlResto(p, {});
    return p;
}

PaginaRighe* creaPaginaProcedura(SchedaBase* scheda, SchedaFabbricazione& f) {
    CampoScheda numero =
        campoScheda("NRIGA", "N. Riga", "ButtonNRigaProced", "EditNRigaProced", "EditNRigaProced2");
    numero.tipo = TipoValore::Numero;
    auto* p = new PaginaRighe(
        scheda,
        {.tabella = QStringLiteral("PROCED"),
         .colonnaPadre = QStringLiteral("CODICEFORMULAZIONE"),
         .tipoRiga = TipoValore::Numero,
         .nome = QStringLiteral("PanelProced"),
         .griglia = QStringLiteral("GridProced"),
         .situazioneGriglia = kSituazioneProced,
         .pulsanti = QStringLiteral("Button%1Proced"),
         .notebook = QStringLiteral("NoteBookProced"),
         .notebookPulsanti = QStringLiteral("NoteBookProced2"),
         .etichettaVersione = QStringLiteral("LabelProcedVersione"),
         .campoRiga = numero,
         .rigaModificabile = true,
         .messaggioRiga = QStringLiteral("Specificare un valore valido per N. Riga"),
         .campi = {campoScheda("TESTO", "Testo", "ButtonTestoProced", "MemoTestoProced",
                               "MemoTestoProced2", Controllo::Memo),
                   campoScheda("EVIDENZA", "Evid.", "ButtonEvidenzaProced", "CheckEvidenzaProced",
                               "CheckEvidenzaProced2", Controllo::Check, TipoValore::Flag)},
         .messaggioCancellare = QStringLiteral(
             "Errore interno: cancellare manualmente il record con CODICEFORMULAZIONE ")});
    p->padre = [&f] { return formulazioneDelProdotto(f, f.lottoCorrente().codice); };
    p->nuovaRigaConsentita = [p, &f] {
        if (f.lottoCorrente().vuoto()) {
            Messaggi::avviso(QStringLiteral("Nessuna fabbricazione selezionata"), f.finestra());
            return false;
        }
        if (p->padre().isEmpty()) {
            Messaggi::avviso(QStringLiteral("La fabbricazione selezionata non ha la formulazione"),
                             f.finestra());
            return false;
        }
        return true;
    };
    // the formulation's lines by themselves: a product without lines shows
    // none, not one empty row
    p->testoLista = [](const QString& formulazione) {
        return QStringList{
            QStringLiteral("SELECT NRIGA,TESTO,EVIDENZA,CODICEFORMULAZIONE FROM PROCED"),
            formulazione.isEmpty()
                ? QStringLiteral("WHERE CODICEFORMULAZIONE IS NULL")
                : QStringLiteral("WHERE CODICEFORMULAZIONE=") + sql::testoNonNullo(formulazione),
            QStringLiteral("ORDER BY NRIGA")};
    };
    p->prossimaRiga = [](Query& q, const QString& formulazione) {
        return prossimoNumero(q, QStringLiteral("PROCED"), QStringLiteral("CODICEFORMULAZIONE"),
                              QStringLiteral("NRIGA"), formulazione);
    };
    p->sqlVersione = [p](const QString& formulazione, const QString& riga) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOPROCED"),
                           QStringLiteral("WHERE ") + p->condizione(formulazione, riga)};
    };
    auto sospesa = std::make_shared<VersioneInSospeso>();
    p->storico = [p, &f, sospesa](Query& q, const QString& riga, bool cancellazione,
                                  const QStringList& set) {
        sospesa->serve = false;
        const QString utente = sql::intero(f.sessione()->NumUtente);
        if (cancellazione) {
            eliminazione([&] {
                const int testata = versioneFormulazione(q, p->PadreCorrente, true, utente);
                const auto ultima = ultimaVersioneProced(q, p, riga, testata);
                versioneProced(q, p, riga, testata, ultima ? *ultima + 1 : 1, true, utente);
            });
            return;
        }
        const int testata = versioneFormulazione(q, p->PadreCorrente, false, utente);
        const auto ultima = ultimaVersioneProced(q, p, riga, testata);
        sospesa->testata = testata;
        sospesa->serve = !ultima || !storico::invariata(q, QStringLiteral("PROCED"),
                                                        p->condizione(p->PadreCorrente, riga), set);
    };
    p->dopoModifica = [p, &f, sospesa](Query& q, bool cancellazione) {
        if (cancellazione || !sospesa->serve) {
            return;
        }
        sospesa->serve = false;
        const QString riga = rigaSalvata(p);
        const auto ultima = ultimaVersioneProced(q, p, riga, sospesa->testata);
        const int versione = ultima ? *ultima + 1 : 1;
        versioneProced(q, p, riga, sospesa->testata, versione, false,
                       sql::intero(f.sessione()->NumUtente));
        mostraVersione(p, versione);
    };
    testoAlResto(p, {QStringLiteral("CODICEFORMULAZIONE")});
    return p;
}

} // namespace quintar
