#include "production/tracciabilita.h"

#include "report/stampascheda.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/profili.h"
#include "session/tabx.h"
#include "ui/esportaxlsx.h"
#include "ui/grigliamodello.h"
#include "ui/scheda.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quintar {

using traccia::Avanti;
using traccia::Fabbricazione;
using traccia::Indietro;
using traccia::Origine;
using traccia::Prelievo;

namespace {

// A row of a printout given: the next one, or the last. Nothing moves while
// the layout is being designed.
void avanzaRiga(report::LavoroStampa& j, size_t& prossima, size_t righe) {
    if (j.designMode()) {
        return;
    }
    j.setProgress(int(100 * (prossima + 1) / righe));
    if (++prossima >= righe) {
        j.setLastRecord();
    }
}

// Tree columns.
enum Colonna { cVoce, cLotto, cSeriale, cFornitore, cQuantita, cMomento, cBilancia, cStato, cN };

QString numero(const std::optional<double>& v) {
    return v ? Formati::numeroInTesto(*v) : QString();
}

QString fornitore(const Prelievo& p) {
    if (p.ragioneSocialeFornitore.isEmpty()) {
        return p.fornitore;
    }
    return p.fornitore + QStringLiteral(" - ") + p.ragioneSocialeFornitore;
}

QString testoFabbricazione(const Fabbricazione& f) {
    QString t = f.codice;
    if (!f.nomeProdotto.isEmpty()) {
        t += QStringLiteral(" ") + f.nomeProdotto;
    }
    return t + QStringLiteral(" - lotto %1 del %2").arg(f.lotto, Formati::dataInTesto(f.data));
}

QString testoMateria(const QString& codice, const QString& descrizione) {
    return descrizione.isEmpty() ? codice : codice + QStringLiteral(" ") + descrizione;
}

QTreeWidgetItem* voce(QTreeWidgetItem* padre, const QStringList& testi) {
    auto* i = new QTreeWidgetItem(padre, testi);
    i->setTextAlignment(cQuantita, Qt::AlignRight | Qt::AlignVCenter);
    return i;
}

QStringList colonnePrelievo(const Prelievo& p) {
    QStringList t(cN);
    if (p.origine == Origine::NessunaPesata) {
        t[cVoce] = traccia::testoOrigine(p.origine);
        return t;
    }
    t[cVoce] = traccia::testoOrigine(p.origine);
    t[cLotto] = p.lottoFornitore;
    t[cSeriale] = p.seriale;
    t[cFornitore] = fornitore(p);
    t[cQuantita] = numero(p.quantita);
    t[cMomento] = p.dataOra;
    t[cBilancia] = p.operatore.isEmpty()
                       ? p.bilancia
                       : p.bilancia + QStringLiteral(" (") + p.operatore + QStringLiteral(")");
    return t;
}

} // namespace

QString testoStato(const Fabbricazione& f) {
    if (f.stato == QLatin1String("FINITA")) {
        return f.dataStato.isValid()
                   ? QStringLiteral("Prodotta il %1").arg(Formati::dataInTesto(f.dataStato))
                   : QStringLiteral("Prodotta");
    }
    if (f.stato == QLatin1String("IMPEGNATA")) {
        return f.dataStato.isValid()
                   ? QStringLiteral("Impegnata il %1").arg(Formati::dataInTesto(f.dataStato))
                   : QStringLiteral("Impegnata");
    }
    return f.stato.isEmpty() ? QStringLiteral("Non impegnata") : f.stato;
}

QString testoOrdine(const Fabbricazione& f, const Avanti& a) {
    return testoOrdine(f, a.ordini);
}

QString testoOrdine(const Fabbricazione& f, const std::map<QString, traccia::Ordine>& ordini) {
    if (f.idOrdine.isEmpty()) {
        return {};
    }
    auto it = ordini.find(f.idOrdine);
    if (it == ordini.end() || !it->second.trovato) {
        return QStringLiteral("Ordine %1 non trovato nell'archivio Tovaris").arg(f.idOrdine);
    }
    const traccia::Ordine& o = it->second;
    QString t = QStringLiteral("Ordine n. %1 del %2").arg(o.numero, Formati::dataInTesto(o.data));
    if (!o.cliente.isEmpty()) {
        t += QStringLiteral(" - cliente ") + o.cliente;
        if (!o.ragioneSociale.isEmpty()) {
            t += QStringLiteral(" ") + o.ragioneSociale;
        }
    }
    return t;
}

TTracciabilitaForm::TTracciabilitaForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), TransazioneLista(&sessione->IBDatabase1),
      QueryTraccia(&sessione->IBDatabase1, &TransazioneLista) {
    setObjectName(QStringLiteral("TracciabilitaForm"));
    impostaDidascalia(QStringLiteral("Tracciabilità lotti - Ditta:"));
    SituazioneFinestra = kSituazioneFinestra;

    ComboRicerca = new QComboBox(this);
    ComboRicerca->setObjectName(QStringLiteral("ComboRicerca"));
    ComboRicerca->addItems({QStringLiteral("Fabbricazione (lotto o identificativo)"),
                            QStringLiteral("Lotto fornitore"), QStringLiteral("Seriale confezione"),
                            QStringLiteral("Materia prima")});
    EditValore = new QLineEdit(this);
    EditValore->setObjectName(QStringLiteral("EditValore"));
    EditDal = new QLineEdit(this);
    EditDal->setObjectName(QStringLiteral("EditDal"));
    EditDal->setMaxLength(10);
    EditDal->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    EditAl = new QLineEdit(this);
    EditAl->setObjectName(QStringLiteral("EditAl"));
    EditAl->setMaxLength(10);
    EditAl->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    ButtonTraccia = creaPulsante(QStringLiteral("&Traccia"), QStringLiteral("ButtonTraccia"), this);
    ButtonStampa = creaPulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"), this);
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    ButtonRichiamo =
        creaPulsante(QStringLiteral("Stampa &richiamo"), QStringLiteral("ButtonRichiamo"), this);
    ButtonRichiamoExcel = creaPulsante(QStringLiteral("Richiamo in E&xcel"),
                                       QStringLiteral("ButtonRichiamoExcel"), this);
    LabelEsito = new QLabel(this);
    LabelEsito->setObjectName(QStringLiteral("LabelEsito"));
    EditMotivo = new QLineEdit(this);
    EditMotivo->setObjectName(QStringLiteral("EditMotivo"));
    EditMotivo->setMaxLength(blocchi::kLunghezzaMotivo);
    EditMotivo->setPlaceholderText(QStringLiteral("motivo del blocco o del rilascio"));
    ButtonBlocca = creaPulsante(QStringLiteral("&Blocca"), QStringLiteral("ButtonBlocca"), this);
    ButtonRilascia =
        creaPulsante(QStringLiteral("Ri&lascia blocco"), QStringLiteral("ButtonRilascia"), this);
    TreeBlocchi = new QTreeWidget(this);
    TreeBlocchi->setObjectName(QStringLiteral("TreeBlocchi"));
    TreeBlocchi->setRootIsDecorated(false);
    TreeBlocchi->setHeaderLabels({QStringLiteral("N."), QStringLiteral("Bloccato"),
                                  QStringLiteral("Motivo"), QStringLiteral("Utente"),
                                  QStringLiteral("Dal"), QStringLiteral("Rilasciato il"),
                                  QStringLiteral("Da"), QStringLiteral("Motivo del rilascio")});
    TreeBlocchi->header()->resizeSection(1, 300);
    TreeBlocchi->header()->resizeSection(2, 240);

    TreeTracciabilita = new QTreeWidget(this);
    TreeTracciabilita->setObjectName(QStringLiteral("TreeTracciabilita"));
    TreeTracciabilita->setColumnCount(cN);
    TreeTracciabilita->setHeaderLabels({QStringLiteral("Voce"), QStringLiteral("Lotto fornitore"),
                                        QStringLiteral("Seriale"), QStringLiteral("Fornitore"),
                                        QStringLiteral("Quantità"), QStringLiteral("Data e ora"),
                                        QStringLiteral("Bilancia"), QStringLiteral("Stato")});
    TreeTracciabilita->header()->resizeSection(cVoce, 560);

    GridTraccia = new TCSDGrid(this);
    GridTraccia->setObjectName(QStringLiteral("GridTraccia"));
    configuraGrigliaSessione(GridTraccia, *sessione, kSituazioneGriglia, QString());
    // the statement keeps its own order, which ends with the key of each row
    GridTraccia->OrderBy = false;
    GridTraccia->collega(&QueryTraccia, [this] { return QueryTraccia.SQL; });

    auto* campi = new QHBoxLayout;
    campi->addWidget(new QLabel(QStringLiteral("Traccia da:"), this));
    campi->addWidget(ComboRicerca);
    campi->addWidget(new QLabel(QStringLiteral("Valore:"), this));
    campi->addWidget(EditValore, 1);
    campi->addWidget(new QLabel(QStringLiteral("Dal:"), this));
    campi->addWidget(EditDal);
    campi->addWidget(new QLabel(QStringLiteral("Al:"), this));
    campi->addWidget(EditAl);
    campi->addWidget(ButtonTraccia);
    auto* divisore = new QSplitter(Qt::Vertical, this);
    divisore->addWidget(TreeTracciabilita);
    divisore->addWidget(GridTraccia);
    auto* pannelloBlocchi = new QWidget(this);
    auto* vb = new QVBoxLayout(pannelloBlocchi);
    vb->setContentsMargins(0, 0, 0, 0);
    auto* rigaBlocchi = new QHBoxLayout;
    rigaBlocchi->addWidget(new QLabel(QStringLiteral("Motivo:"), this));
    rigaBlocchi->addWidget(EditMotivo, 1);
    rigaBlocchi->addWidget(ButtonBlocca);
    rigaBlocchi->addWidget(ButtonRilascia);
    vb->addLayout(rigaBlocchi);
    vb->addWidget(TreeBlocchi, 1);
    divisore->addWidget(pannelloBlocchi);
    divisore->setStretchFactor(0, 3);
    divisore->setStretchFactor(1, 2);
    divisore->setStretchFactor(2, 1);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(LabelEsito, 1);
    pulsanti->addWidget(ButtonRichiamo);
    pulsanti->addWidget(ButtonRichiamoExcel);
    pulsanti->addWidget(ButtonStampa);
    pulsanti->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(campi);
    v->addWidget(divisore, 1);
    v->addLayout(pulsanti);
    resize(1200, 820);

    connect(ComboRicerca, &QComboBox::currentIndexChanged, this, [this] { aggiornaCampiData(); });
    connect(EditValore, &QLineEdit::returnPressed, this, [this] { ButtonTracciaClick(); });
    connect(ButtonTraccia, &QPushButton::clicked, this, [this] { ButtonTracciaClick(); });
    connect(ButtonStampa, &QPushButton::clicked, this, [this] { ButtonStampaClick(); });
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
    connect(ButtonBlocca, &QPushButton::clicked, this, [this] { ButtonBloccaClick(); });
    connect(ButtonRilascia, &QPushButton::clicked, this, [this] { ButtonRilasciaClick(); });
    connect(ButtonRichiamo, &QPushButton::clicked, this, [this] { ButtonRichiamoClick(); });
    connect(ButtonRichiamoExcel, &QPushButton::clicked, this,
            [this] { ButtonRichiamoExcelClick(); });
    aggiornaCampiData();

    // read-only users see the holds, never set or release them
    soloLettura_ = VerificaProfiloSicurezza(*sessione);
    for (QWidget* w : std::initializer_list<QWidget*>{EditMotivo, ButtonBlocca, ButtonRilascia}) {
        w->setEnabled(!soloLettura_);
    }
    if (sessione->IBDatabase1.connected()) {
        tracciatore_ =
            std::make_unique<traccia::Tracciatore>(&sessione->IBDatabase1, &sessione->IBDatabase2);
        blocchi::assicura(sessione->IBDatabase1);
        try {
            mostraBlocchi();
        } catch (const DbError& e) {
            qWarning("blocchi non letti: %s", qPrintable(e.messaggio()));
        }
    }
}

TTracciabilitaForm::~TTracciabilitaForm() {
    GridTraccia->setSorgenteDati(nullptr);
}

void TTracciabilitaForm::aggiornaCampiData() {
    const bool avanti = ComboRicerca->currentIndex() != DaFabbricazione;
    // as long as the column searched: batch lots and material codes 20,
    // supplier lots and package serials 30
    const int ricerca = ComboRicerca->currentIndex();
    EditValore->setMaxLength(ricerca == DaLottoFornitore || ricerca == DaSeriale ? 30 : 20);
    EditDal->setEnabled(avanti);
    EditAl->setEnabled(avanti);
}

void TTracciabilitaForm::ButtonTracciaClick() {
    const QString valore = EditValore->text().trimmed();
    if (valore.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Inserire il valore da tracciare"), this);
        EditValore->setFocus();
        return;
    }
    if (!tracciatore_) {
        Messaggi::avviso(QStringLiteral("Archivio aziendale non connesso"), this);
        return;
    }
    traccia::Ricerca r;
    r.valore = valore;
    if (ComboRicerca->currentIndex() != DaFabbricazione) {
        for (auto [edit, data] : {std::pair{EditDal, &r.dal}, std::pair{EditAl, &r.al}}) {
            const QString t = edit->text().trimmed();
            if (t.isEmpty()) {
                continue;
            }
            *data = Formati::leggiData(t);
            if (!data->isValid()) {
                Messaggi::avviso(QStringLiteral("Data non valida: \"%1\"").arg(t), this);
                edit->setFocus();
                return;
            }
        }
        if (r.dal.isValid() && r.al.isValid() && r.dal > r.al) {
            Messaggi::avviso(QStringLiteral("La data iniziale è successiva a quella finale"), this);
            EditDal->setFocus();
            return;
        }
        r.chiave = ComboRicerca->currentIndex() == DaLottoFornitore
                       ? traccia::Chiave::LottoFornitore
                   : ComboRicerca->currentIndex() == DaSeriale ? traccia::Chiave::Seriale
                                                               : traccia::Chiave::Materia;
    }
    try {
        tracciatore_->aggiorna();
        if (ComboRicerca->currentIndex() == DaFabbricazione) {
            tracciaIndietro(valore);
        } else {
            tracciaAvanti(r);
        }
    } catch (const DbError& e) {
        Messaggi::errore(
            QStringLiteral("Errore interno durante la tracciabilità:\n") + e.messaggio(), this);
    }
}

void TTracciabilitaForm::apriLista(const traccia::Frase& f, int situazione) {
    QueryTraccia.close(); // the layout of the list shown so far is kept under its own number
    GridTraccia->Situazione = situazione;
    if (TransazioneLista.active()) {
        TransazioneLista.rollback(); // the list sees what the trace saw
    }
    QueryTraccia.SQL = f.sql;
    QueryTraccia.setParams(f.parametri);
    QueryTraccia.open();
    // the columns titled in words, unless the user titled them otherwise
    GrigliaModello* m = GridTraccia->modello();
    for (const auto& [campo, titolo] : traccia::titoliLista()) {
        const int c = m->indiceCampo(campo);
        if (c >= 0 && m->titolo(c) == campo) {
            m->setTitolo(c, titolo);
        }
    }
}

namespace {

QString chiaveNodo(const Fabbricazione& f) {
    return blocchi::chiave(f.codice, f.data, f.lotto);
}

QString testoLegame(const traccia::Nodo& n) {
    switch (n.legame) {
    case traccia::Legame::Pesata:
        return QStringLiteral("Pesata");
    case traccia::Legame::Consumo:
        return QStringLiteral("Consumo");
    case traccia::Legame::FabbricazioneDa:
        break;
    }
    return QStringLiteral("Fabbricata da");
}

} // namespace

QTreeWidgetItem* TTracciabilitaForm::voceNodo(QTreeWidgetItem* padre, size_t nodo) {
    const traccia::Nodo& n = genealogia_.nodi[nodo];
    const Fabbricazione& f = n.fabbricazione;
    QStringList t(cN);
    t[cVoce] = QStringLiteral("Livello %1 - ").arg(n.livello) + testoFabbricazione(f);
    if (n.livello > 1 || !avantiMostrato_) {
        // what it took of the batch above it in the tree
        t[cVoce] += QStringLiteral(" (") + testoLegame(n) + QStringLiteral(" ") +
                    testoMateria(n.materia, QString()) + QStringLiteral(")");
        t[cLotto] = n.lotto;
    }
    t[cQuantita] = numero(n.quantita);
    t[cStato] = testoStato(f);
    auto it = coperte_.find(chiaveNodo(f));
    if (it != coperte_.end()) {
        t[cStato] += QStringLiteral(" - BLOCCATA (blocco n. %1)").arg(it->second.blocco.id);
    }
    QTreeWidgetItem* v = voce(padre, t);
    v->setData(cVoce, Qt::UserRole, QStringList{f.codice, f.data.toString(Qt::ISODate), f.lotto});
    v->setExpanded(true);
    return v;
}

void TTracciabilitaForm::ramoIndietro(QTreeWidgetItem* v, size_t nodo) {
    for (size_t k : figli_[nodo]) {
        QTreeWidgetItem* c = voceNodo(v, k);
        // the lines of the semi-finished batch, with their lots
        const Indietro r = tracciatore_->indietro(genealogia_.nodi[k].fabbricazione);
        for (const traccia::RigaComponente& riga : r.righe) {
            QStringList tr(cN);
            tr[cVoce] = riga.nriga > 0 ? QStringLiteral("Riga %1 - %2")
                                             .arg(riga.nriga)
                                             .arg(testoMateria(riga.materia, riga.descrizione))
                                       : QStringLiteral("Consumi fuori dalle righe");
            auto* vr = voce(c, tr);
            for (const Prelievo& p : riga.prelievi) {
                voce(vr, colonnePrelievo(p));
            }
        }
        ramoIndietro(c, k);
    }
}

void TTracciabilitaForm::ramoAvanti(QTreeWidgetItem* v, size_t nodo) {
    for (size_t k : figli_[nodo]) {
        QTreeWidgetItem* c = voceNodo(v, k);
        ramoAvanti(c, k);
        const Fabbricazione& f = genealogia_.nodi[k].fabbricazione;
        if (!f.idOrdine.isEmpty()) {
            QStringList to(cN);
            to[cVoce] = testoOrdine(f, genealogia_.ordini);
            voce(c, to);
        }
    }
}

void TTracciabilitaForm::tracciaIndietro(const QString& valore) {
    avantiMostrato_ = false;
    tracciato_ = false;
    ricercaMostrata_.reset();
    avanti_ = {};
    genealogia_ = {};
    indietro_.clear();
    TreeTracciabilita->clear();
    const std::vector<Fabbricazione> trovate = tracciatore_->fabbricazioni(valore);
    if (trovate.empty()) {
        // nothing of the last trace stays on screen
        apriLista(traccia::fraseLista(genealogia_), kSituazioneGriglia);
        LabelEsito->setText(QString());
        Messaggi::avviso(
            QStringLiteral("Nessuna fabbricazione con lotto o identificativo \"%1\"").arg(valore),
            this);
        return;
    }
    coperte_ = blocchi::coperte(Sessione()->IBDatabase1, tracciatore_->transazione());
    int senzaPesata = 0;
    for (const Fabbricazione& f : trovate) {
        // the batch and, level by level, the semi-finished batches it took
        const size_t radice = genealogia_.nodi.size();
        traccia::Genealogia g = tracciatore_->genealogiaIndietro(f);
        genealogia_.interrotta = genealogia_.interrotta || g.interrotta;
        for (traccia::Nodo& n : g.nodi) {
            if (n.padre >= 0) {
                n.padre += int(radice);
            }
            genealogia_.nodi.push_back(std::move(n));
        }
        indietro_.push_back(tracciatore_->indietro(f));
        const Indietro& r = indietro_.back();
        QStringList t(cN);
        t[cVoce] = testoFabbricazione(f);
        t[cQuantita] = f.quantita ? numero(f.quantita) + ' ' + f.unita : QString();
        t[cStato] = testoStato(f);
        auto it = coperte_.find(chiaveNodo(f));
        if (it != coperte_.end()) {
            t[cStato] += QStringLiteral(" - BLOCCATA (blocco n. %1)").arg(it->second.blocco.id);
        }
        auto* radiceVoce = new QTreeWidgetItem(TreeTracciabilita, t);
        radiceVoce->setData(cVoce, Qt::UserRole,
                            QStringList{f.codice, f.data.toString(Qt::ISODate), f.lotto});
        for (const traccia::RigaComponente& riga : r.righe) {
            QStringList tr(cN);
            tr[cVoce] = riga.nriga > 0 ? QStringLiteral("Riga %1 - %2")
                                             .arg(riga.nriga)
                                             .arg(testoMateria(riga.materia, riga.descrizione))
                                       : QStringLiteral("Consumi fuori dalle righe");
            auto* vr = voce(radiceVoce, tr);
            for (const Prelievo& p : riga.prelievi) {
                voce(vr, colonnePrelievo(p));
                senzaPesata += p.origine == Origine::NessunaPesata;
            }
            vr->setExpanded(true);
        }
        figli_ = genealogia_.figli();
        ramoIndietro(radiceVoce, radice);
        radiceVoce->setExpanded(true);
    }
    // one row per batch: those found and every batch whose product they took
    apriLista(traccia::fraseLista(genealogia_), kSituazioneGriglia);
    tracciato_ = true;
    descrizioneMostrata_ = descrizioneRicerca();
    QString esito = QStringLiteral("%1 fabbricazioni, %2 righe senza pesata")
                        .arg(trovate.size())
                        .arg(senzaPesata);
    if (genealogia_.nodi.size() > trovate.size()) {
        esito += QStringLiteral(", %1 semilavorati su %2 livelli")
                     .arg(genealogia_.nodi.size() - trovate.size())
                     .arg(genealogia_.livelli());
    }
    if (genealogia_.interrotta) {
        esito += QStringLiteral(" (fermata a %1 livelli)").arg(traccia::kLivelliMassimi);
    }
    LabelEsito->setText(esito);
}

void TTracciabilitaForm::tracciaAvanti(const traccia::Ricerca& r) {
    indietro_.clear();
    TreeTracciabilita->clear();
    tracciato_ = false;
    avanti_ = tracciatore_->avanti(r);
    traccia::Partenza p;
    p.ricerca = r;
    genealogia_ = tracciatore_->genealogiaAvanti(p);
    coperte_ = blocchi::coperte(Sessione()->IBDatabase1, tracciatore_->transazione());
    avantiMostrato_ = true;
    // the batches of the first level as the uses list them (a material's lines
    // not yet weighed included)
    std::map<QString, size_t> primoLivello;
    for (size_t k = 0; k < genealogia_.nodi.size(); ++k) {
        if (genealogia_.nodi[k].livello == 1) {
            primoLivello.emplace(chiaveNodo(genealogia_.nodi[k].fabbricazione), k);
        }
    }
    for (const traccia::Utilizzo& u : avanti_.utilizzi) {
        const QString k = chiaveNodo(u.fabbricazione);
        if (!primoLivello.count(k)) {
            traccia::Nodo n;
            n.fabbricazione = u.fabbricazione;
            n.livello = 1;
            primoLivello.emplace(k, genealogia_.nodi.size());
            genealogia_.nodi.push_back(std::move(n));
        }
    }
    for (const auto& [id, o] : avanti_.ordini) {
        genealogia_.ordini.emplace(id, o);
    }
    figli_ = genealogia_.figli();
    QStringList tr(cN);
    tr[cVoce] = descrizioneRicerca();
    auto* radice = new QTreeWidgetItem(TreeTracciabilita, tr);
    int fabbricazioni = 0;
    QTreeWidgetItem* vf = nullptr;
    const Fabbricazione* corrente = nullptr;
    auto chiudi = [&] {
        if (!vf) {
            return;
        }
        // the batches that took its product, level by level
        ramoAvanti(vf, primoLivello.at(chiaveNodo(*corrente)));
        if (!corrente->idOrdine.isEmpty()) {
            QStringList to(cN);
            to[cVoce] = testoOrdine(*corrente, avanti_);
            voce(vf, to);
        }
    };
    for (const traccia::Utilizzo& u : avanti_.utilizzi) {
        if (!corrente || !(*corrente == u.fabbricazione)) {
            chiudi();
            corrente = &u.fabbricazione;
            ++fabbricazioni;
            vf = voceNodo(radice, primoLivello.at(chiaveNodo(u.fabbricazione)));
        }
        QStringList t = colonnePrelievo(u.prelievo);
        t[cVoce] +=
            QStringLiteral(" - ") + testoMateria(u.prelievo.materia, u.prelievo.descrizione);
        voce(vf, t);
    }
    chiudi();
    radice->setExpanded(true);
    apriLista(traccia::fraseLista(genealogia_), kSituazioneGrigliaAvanti);
    tracciato_ = fabbricazioni > 0;
    ricercaMostrata_ = r;
    descrizioneMostrata_ = descrizioneRicerca();
    const int livelli = genealogia_.livelli();
    QString esito = QStringLiteral("%1 fabbricazioni").arg(genealogia_.nodi.size());
    if (livelli > 1) {
        esito += QStringLiteral(" su %1 livelli").arg(livelli);
    }
    if (genealogia_.interrotta) {
        esito += QStringLiteral(" (fermata a %1 livelli)").arg(traccia::kLivelliMassimi);
    }
    LabelEsito->setText(esito);
    if (fabbricazioni == 0) {
        Messaggi::informazione(QStringLiteral("Nessuna fabbricazione trovata"), this);
    }
}
QString TTracciabilitaForm::descrizioneRicerca() const {
    QString t = ComboRicerca->currentText() + QStringLiteral(" ") + EditValore->text().trimmed();
    if (ComboRicerca->currentIndex() == DaFabbricazione) {
        return t;
    }
    const QString dal = EditDal->text().trimmed();
    const QString al = EditAl->text().trimmed();
    if (!dal.isEmpty()) {
        t += QStringLiteral(" dal ") + dal;
    }
    if (!al.isEmpty()) {
        t += QStringLiteral(" al ") + al;
    }
    return t;
}

void TTracciabilitaForm::ButtonStampaClick() {
    // the rows to print, as the tree shows them
    struct RigaStampa {
        QStringList nomi, valori;
    };
    std::vector<RigaStampa> righe;
    const QString tipo = avantiMostrato_ ? QStringLiteral("Avanti") : QStringLiteral("Indietro");
    if (avantiMostrato_) {
        for (const traccia::Utilizzo& u : avanti_.utilizzi) {
            const Fabbricazione& f = u.fabbricazione;
            const Prelievo& p = u.prelievo;
            righe.push_back(
                {{"DATA", "PRODOTTO", "LOTTO", "MATERIA", "ORIGINE", "LOTTOFORNITORE", "SERIALE",
                  "QUANTITA", "STATO", "ORDINE"},
                 {Formati::dataInTesto(f.data), f.codice + ' ' + f.nomeProdotto, f.lotto, p.materia,
                  traccia::testoOrigine(p.origine), p.lottoFornitore, p.seriale, numero(p.quantita),
                  testoStato(f), testoOrdine(f, avanti_)}});
        }
    } else {
        for (const Indietro& r : indietro_) {
            for (const Prelievo& p : r.flat) {
                righe.push_back(
                    {{"NRIGA", "MATERIA", "DESCRIZIONE", "ORIGINE", "FORNITORE", "LOTTOFORNITORE",
                      "SERIALE", "QUANTITA", "DATAORA", "BILANCIA"},
                     {p.nriga > 0 ? QString::number(p.nriga) : QString(), p.materia, p.descrizione,
                      traccia::testoOrigine(p.origine), fornitore(p), p.lottoFornitore, p.seriale,
                      numero(p.quantita), p.dataOra, p.bilancia}});
            }
        }
    }
    size_t prossima = 0;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = sessione_->GetV(QStringLiteral("StTraccLST"));
    s.titoloProgettista = QStringLiteral("Editazione stampa tracciabilità lotti");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa tracciabilità lotti");
    s.nessunRecord = righe.empty();
    s.preparaDati = [&] { prossima = 0; };
    const QString titolo = avantiMostrato_ ? QStringLiteral("TRACCIABILITÀ LOTTI - IN AVANTI")
                                           : QStringLiteral("TRACCIABILITÀ LOTTI - ALL'INDIETRO");
    QString ricerca = descrizioneRicerca();
    if (!avantiMostrato_ && indietro_.size() == 1) {
        ricerca = testoFabbricazione(indietro_.front().fabbricazione) + QStringLiteral(" - ") +
                  testoStato(indietro_.front().fabbricazione);
    }
    s.OnDefineVariables = [&](report::LavoroStampa& j) {
        j.defineVariable(QStringLiteral("TITOLO"), titolo);
        j.defineVariable(QStringLiteral("RICERCA"), ricerca);
        j.defineVariable(QStringLiteral("DITTA"), sessione_->Ditta);
    };
    s.OnDefineFields = [&](report::LavoroStampa& j) {
        const RigaStampa& r = righe[std::min(prossima, righe.size() - 1)];
        j.defineField(QStringLiteral("TIPO"), tipo);
        for (int i = 0; i < r.nomi.size(); ++i) {
            j.defineField(QStringLiteral("TRACC.") + r.nomi[i], r.valori[i]);
        }
        avanzaRiga(j, prossima, righe.size());
    };
    report::stampaScheda(s);
}

void TTracciabilitaForm::mostraBlocchi() {
    TreeBlocchi->clear();
    Transaction t(&Sessione()->IBDatabase1);
    for (const blocchi::Blocco& b : blocchi::tutti(Sessione()->IBDatabase1, t)) {
        auto* v = new QTreeWidgetItem(
            TreeBlocchi,
            {QString::number(b.id), blocchi::testoOggetto(b), b.motivo, QString::number(b.utente),
             Formati::dataOraInTesto(b.momento),
             b.attivo() ? QStringLiteral("(in vigore)") : Formati::dataOraInTesto(b.rilascio),
             b.attivo() ? QString() : QString::number(b.utenteRilascio), b.motivoRilascio});
        v->setData(0, Qt::UserRole, b.id);
    }
    t.rollback();
}

void TTracciabilitaForm::ButtonBloccaClick() {
    if (soloLettura_ || !tracciatore_) {
        return;
    }
    const QString motivo = EditMotivo->text().trimmed();
    blocchi::Blocco b;
    // the batch chosen in the tree, else what was traced
    const QStringList fab =
        TreeTracciabilita->currentItem()
            ? TreeTracciabilita->currentItem()->data(cVoce, Qt::UserRole).toStringList()
            : QStringList();
    if (fab.size() == 3) {
        b.tipo = blocchi::Tipo::Fabbricazione;
        b.codice = fab[0];
        b.data = QDate::fromString(fab[1], Qt::ISODate);
        b.lotto = fab[2];
    } else if (tracciato_ && avantiMostrato_ && ricercaMostrata_ &&
               ricercaMostrata_->chiave != traccia::Chiave::Materia) {
        b.tipo = ricercaMostrata_->chiave == traccia::Chiave::Seriale ? blocchi::Tipo::Seriale
                                                                      : blocchi::Tipo::Lotto;
        b.valore = ricercaMostrata_->valore.trimmed();
    } else if (tracciato_ && !indietro_.empty()) {
        const Fabbricazione& f = indietro_.front().fabbricazione;
        b.tipo = blocchi::Tipo::Fabbricazione;
        b.codice = f.codice;
        b.data = f.data;
        b.lotto = f.lotto;
    } else {
        Messaggi::avviso(QStringLiteral("Tracciare prima il lotto fornitore, il seriale o la "
                                        "fabbricazione da bloccare"),
                         this);
        return;
    }
    if (motivo.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Indicare il motivo del blocco"), this);
        EditMotivo->setFocus();
        return;
    }
    b.motivo = motivo;
    try {
        b.id = blocchi::imposta(Sessione()->IBDatabase1, b, Sessione()->NumUtente);
        EditMotivo->clear();
        mostraBlocchi();
    } catch (const DbError& e) {
        Messaggi::errore(QStringLiteral("Errore interno durante il blocco:\n") + e.messaggio(),
                         this);
        return;
    }
    Messaggi::informazione(QStringLiteral("Impostato il %1").arg(blocchi::testoBlocco(b)), this);
    if (tracciato_) {
        ButtonTracciaClick(); // the tree shows what the hold covers
    }
}

void TTracciabilitaForm::ButtonRilasciaClick() {
    if (soloLettura_ || !tracciatore_) {
        return;
    }
    QTreeWidgetItem* v = TreeBlocchi->currentItem();
    if (!v) {
        Messaggi::avviso(QStringLiteral("Scegliere nell'elenco il blocco da rilasciare"), this);
        return;
    }
    const qint64 id = v->data(0, Qt::UserRole).toLongLong();
    const QString motivo = EditMotivo->text().trimmed();
    if (motivo.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Indicare il motivo del rilascio"), this);
        EditMotivo->setFocus();
        return;
    }
    try {
        const bool fatto =
            blocchi::rilascia(Sessione()->IBDatabase1, id, motivo, Sessione()->NumUtente);
        mostraBlocchi();
        if (!fatto) {
            Messaggi::avviso(
                QStringLiteral("Il blocco n. %1 non è più in vigore: è stato rilasciato nel "
                               "frattempo")
                    .arg(id),
                this);
            return;
        }
        EditMotivo->clear();
    } catch (const DbError& e) {
        Messaggi::errore(QStringLiteral("Errore interno durante il rilascio:\n") + e.messaggio(),
                         this);
        return;
    }
    Messaggi::informazione(QStringLiteral("Blocco n. %1 rilasciato").arg(id), this);
    if (tracciato_) {
        ButtonTracciaClick();
    }
}

std::vector<TTracciabilitaForm::RigaRichiamo> TTracciabilitaForm::righeRichiamo() const {
    std::vector<RigaRichiamo> r;
    if (!avantiMostrato_) {
        return r;
    }
    const std::vector<size_t> finali = genealogia_.finali();
    for (size_t k = 0; k < genealogia_.nodi.size(); ++k) {
        const traccia::Nodo& n = genealogia_.nodi[k];
        const Fabbricazione& f = n.fabbricazione;
        // the batches at the end of the trail, and any that went to a customer
        if (std::find(finali.begin(), finali.end(), k) == finali.end() && f.idOrdine.isEmpty()) {
            continue;
        }
        RigaRichiamo x;
        x.fabbricazione = f;
        x.livello = n.livello;
        auto it = genealogia_.ordini.find(f.idOrdine);
        if (!f.idOrdine.isEmpty()) {
            if (it != genealogia_.ordini.end() && it->second.trovato) {
                x.ordine = it->second.numero;
                x.dataOrdine = Formati::dataInTesto(it->second.data);
                x.cliente = it->second.cliente;
                x.ragioneSociale = it->second.ragioneSociale;
            } else {
                x.ordine = QStringLiteral("%1 (non trovato)").arg(f.idOrdine);
            }
        }
        auto jt = coperte_.find(chiaveNodo(f));
        if (jt != coperte_.end()) {
            x.blocco = QStringLiteral("n. %1").arg(jt->second.blocco.id);
        }
        r.push_back(std::move(x));
    }
    return r;
}

namespace {

// The recall's columns: field, title, kind.
struct ColonnaRichiamo {
    const char* campo;
    const char* titolo;
    TipoCampo tipo;
};
const ColonnaRichiamo kColonneRichiamo[] = {{"LIVELLO", "Livello", TipoCampo::Intero},
                                            {"DATA", "Data", TipoCampo::Data},
                                            {"PRODOTTO", "Prodotto", TipoCampo::Testo},
                                            {"DESCRIZIONE", "Descrizione", TipoCampo::Testo},
                                            {"LOTTO", "Lotto", TipoCampo::Testo},
                                            {"QUANTITA", "Quantità", TipoCampo::Virgola},
                                            {"UNITA", "Unità", TipoCampo::Testo},
                                            {"STATO", "Stato", TipoCampo::Testo},
                                            {"ORDINE", "Ordine", TipoCampo::Testo},
                                            {"DATAORDINE", "Data ordine", TipoCampo::Testo},
                                            {"CLIENTE", "Cliente", TipoCampo::Testo},
                                            {"RAGIONESOCIALE", "Ragione sociale", TipoCampo::Testo},
                                            {"BLOCCO", "Blocco", TipoCampo::Testo}};

std::vector<QVariant> valoriRichiamo(const TTracciabilitaForm::RigaRichiamo& r) {
    const Fabbricazione& f = r.fabbricazione;
    return {r.livello,      f.data,        f.codice,
            f.nomeProdotto, f.lotto,       f.quantita ? QVariant(*f.quantita) : QVariant(),
            f.unita,        testoStato(f), r.ordine,
            r.dataOrdine,   r.cliente,     r.ragioneSociale,
            r.blocco};
}

} // namespace

void TTracciabilitaForm::ButtonRichiamoClick() {
    if (!avantiMostrato_) {
        Messaggi::avviso(QStringLiteral("Il richiamo si prepara da una tracciabilità in avanti"),
                         this);
        return;
    }
    const std::vector<RigaRichiamo> righe = righeRichiamo();
    size_t prossima = 0;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = sessione_->GetV(QStringLiteral("StTraccLST"));
    s.titoloProgettista = QStringLiteral("Editazione stampa tracciabilità lotti");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa richiamo");
    s.nessunRecord = righe.empty();
    s.preparaDati = [&] { prossima = 0; };
    const QString ricerca = descrizioneMostrata_;
    s.OnDefineVariables = [&](report::LavoroStampa& j) {
        j.defineVariable(QStringLiteral("TITOLO"),
                         QStringLiteral("RICHIAMO - FABBRICAZIONI E CLIENTI RAGGIUNTI"));
        j.defineVariable(QStringLiteral("RICERCA"), ricerca);
        j.defineVariable(QStringLiteral("DITTA"), sessione_->Ditta);
    };
    s.OnDefineFields = [&](report::LavoroStampa& j) {
        const RigaRichiamo& r = righe[std::min(prossima, righe.size() - 1)];
        const std::vector<QVariant> v = valoriRichiamo(r);
        j.defineField(QStringLiteral("TIPO"), QStringLiteral("Richiamo"));
        for (size_t i = 0; i < std::size(kColonneRichiamo); ++i) {
            QString t;
            if (v[i].typeId() == QMetaType::QDate) {
                t = Formati::dataInTesto(v[i].toDate());
            } else if (v[i].typeId() == QMetaType::Double) {
                t = Formati::numeroInTesto(v[i].toDouble());
            } else {
                t = v[i].toString();
            }
            j.defineField(QStringLiteral("TRACC.") + QLatin1String(kColonneRichiamo[i].campo), t);
        }
        avanzaRiga(j, prossima, righe.size());
    };
    report::stampaScheda(s);
}

QString TTracciabilitaForm::ButtonRichiamoExcelClick() {
    if (!avantiMostrato_) {
        Messaggi::avviso(QStringLiteral("Il richiamo si prepara da una tracciabilità in avanti"),
                         this);
        return {};
    }
    QString file;
    {
        QFileDialog dlg(this, QStringLiteral("Esporta in Excel"),
                        sessione_->GetV(QStringLiteral("BinDir")),
                        QStringLiteral("Cartella di lavoro Excel (*.xlsx)"));
        dlg.setObjectName(QStringLiteral("DialogoEsportaExcel"));
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        dlg.setDefaultSuffix(QStringLiteral("xlsx"));
        dlg.selectFile(QStringLiteral("Richiamo.xlsx"));
        file = Messaggi::salvaCome(&dlg, QStringLiteral("xlsx"), this);
    }
    if (file.isEmpty()) {
        return {};
    }
    ElencoInMemoria elenco;
    std::vector<ColonnaEsportata> colonne;
    for (const ColonnaRichiamo& c : kColonneRichiamo) {
        InfoCampo i;
        i.nome = QLatin1String(c.campo);
        i.tipo = c.tipo;
        elenco.campi.push_back(i);
        colonne.push_back({i.nome, QString::fromUtf8(c.titolo), 0});
    }
    for (const RigaRichiamo& r : righeRichiamo()) {
        elenco.righe.push_back(valoriRichiamo(r));
    }
    const EsitoEsportazione e = scriviXlsx(elenco, colonne, file);
    const QString nome = QDir::toNativeSeparators(file);
    if (e.stato != EsitoEsportazione::Completata) {
        Messaggi::errore(
            QStringLiteral("Impossibile scrivere il file %1: %2").arg(nome, e.messaggio), this);
        return {};
    }
    Messaggi::informazione(
        QStringLiteral("Esportazione completata: %1 righe in %2").arg(e.righe).arg(nome), this);
    return file;
}

void TTracciabilitaForm::closeEvent(QCloseEvent* e) {
    try {
        QueryTraccia.close(); // the grid keeps its layout as the list closes
    } catch (const DbError&) {
    }
    FinestraSessione::closeEvent(e);
}

} // namespace quintar
