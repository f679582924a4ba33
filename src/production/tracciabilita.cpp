#include "production/tracciabilita.h"

#include "report/stampascheda.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "ui/scheda.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QComboBox>
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
    if (f.idOrdine.isEmpty()) {
        return {};
    }
    auto it = a.ordini.find(f.idOrdine);
    if (it == a.ordini.end() || !it->second.trovato) {
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
    LabelEsito = new QLabel(this);
    LabelEsito->setObjectName(QStringLiteral("LabelEsito"));

    TreeTracciabilita = new QTreeWidget(this);
    TreeTracciabilita->setObjectName(QStringLiteral("TreeTracciabilita"));
    TreeTracciabilita->setColumnCount(cN);
    TreeTracciabilita->setHeaderLabels({QStringLiteral("Voce"), QStringLiteral("Lotto fornitore"),
                                        QStringLiteral("Seriale"), QStringLiteral("Fornitore"),
                                        QStringLiteral("Quantità"), QStringLiteral("Data e ora"),
                                        QStringLiteral("Bilancia"), QStringLiteral("Stato")});
    TreeTracciabilita->header()->resizeSection(cVoce, 420);

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
    divisore->setStretchFactor(0, 3);
    divisore->setStretchFactor(1, 2);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(LabelEsito, 1);
    pulsanti->addWidget(ButtonStampa);
    pulsanti->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(campi);
    v->addWidget(divisore, 1);
    v->addLayout(pulsanti);
    resize(1200, 720);

    connect(ComboRicerca, &QComboBox::currentIndexChanged, this, [this] { aggiornaCampiData(); });
    connect(EditValore, &QLineEdit::returnPressed, this, [this] { ButtonTracciaClick(); });
    connect(ButtonTraccia, &QPushButton::clicked, this, [this] { ButtonTracciaClick(); });
    connect(ButtonStampa, &QPushButton::clicked, this, [this] { ButtonStampaClick(); });
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
    aggiornaCampiData();

    if (sessione->IBDatabase1.connected()) {
        tracciatore_ =
            std::make_unique<traccia::Tracciatore>(&sessione->IBDatabase1, &sessione->IBDatabase2);
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
}

void TTracciabilitaForm::tracciaIndietro(const QString& valore) {
    avantiMostrato_ = false;
    avanti_ = {};
    indietro_.clear();
    TreeTracciabilita->clear();
    const std::vector<Fabbricazione> trovate = tracciatore_->fabbricazioni(valore);
    if (trovate.empty()) {
        QueryTraccia.close();
        LabelEsito->setText(QString());
        Messaggi::avviso(
            QStringLiteral("Nessuna fabbricazione con lotto o identificativo \"%1\"").arg(valore),
            this);
        return;
    }
    int senzaPesata = 0;
    for (const Fabbricazione& f : trovate) {
        indietro_.push_back(tracciatore_->indietro(f));
        const Indietro& r = indietro_.back();
        QStringList t(cN);
        t[cVoce] = testoFabbricazione(f);
        t[cQuantita] = f.quantita ? numero(f.quantita) + ' ' + f.unita : QString();
        t[cStato] = testoStato(f);
        auto* radice = new QTreeWidgetItem(TreeTracciabilita, t);
        for (const traccia::RigaComponente& riga : r.righe) {
            QStringList tr(cN);
            tr[cVoce] = riga.nriga > 0 ? QStringLiteral("Riga %1 - %2")
                                             .arg(riga.nriga)
                                             .arg(testoMateria(riga.materia, riga.descrizione))
                                       : QStringLiteral("Consumi fuori dalle righe");
            auto* vr = voce(radice, tr);
            for (const Prelievo& p : riga.prelievi) {
                voce(vr, colonnePrelievo(p));
                senzaPesata += p.origine == Origine::NessunaPesata;
            }
            vr->setExpanded(true);
        }
        radice->setExpanded(true);
    }
    // the flat list of the first batch found (the tree holds them all)
    apriLista(traccia::fraseIndietro(trovate.front()), kSituazioneGriglia);
    LabelEsito->setText(QStringLiteral("%1 fabbricazioni, %2 righe senza pesata")
                            .arg(trovate.size())
                            .arg(senzaPesata));
}

void TTracciabilitaForm::tracciaAvanti(const traccia::Ricerca& r) {
    indietro_.clear();
    TreeTracciabilita->clear();
    avanti_ = tracciatore_->avanti(r);
    avantiMostrato_ = true;
    QStringList tr(cN);
    tr[cVoce] = descrizioneRicerca();
    auto* radice = new QTreeWidgetItem(TreeTracciabilita, tr);
    int fabbricazioni = 0;
    QTreeWidgetItem* vf = nullptr;
    const Fabbricazione* corrente = nullptr;
    for (const traccia::Utilizzo& u : avanti_.utilizzi) {
        if (!corrente || !(*corrente == u.fabbricazione)) {
            if (vf && !corrente->idOrdine.isEmpty()) {
                QStringList to(cN);
                to[cVoce] = testoOrdine(*corrente, avanti_);
                voce(vf, to);
            }
            corrente = &u.fabbricazione;
            ++fabbricazioni;
            QStringList t(cN);
            t[cVoce] = testoFabbricazione(u.fabbricazione);
            t[cStato] = testoStato(u.fabbricazione);
            vf = voce(radice, t);
            vf->setExpanded(true);
        }
        QStringList t = colonnePrelievo(u.prelievo);
        t[cVoce] +=
            QStringLiteral(" - ") + testoMateria(u.prelievo.materia, u.prelievo.descrizione);
        voce(vf, t);
    }
    if (vf && !corrente->idOrdine.isEmpty()) {
        QStringList to(cN);
        to[cVoce] = testoOrdine(*corrente, avanti_);
        voce(vf, to);
    }
    radice->setExpanded(true);
    apriLista(traccia::fraseAvanti(r), kSituazioneGrigliaAvanti);
    LabelEsito->setText(QStringLiteral("%1 fabbricazioni").arg(fabbricazioni));
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
        if (j.designMode()) {
            return;
        }
        j.setProgress(int(100 * (prossima + 1) / righe.size()));
        if (++prossima >= righe.size()) {
            j.setLastRecord();
        }
    };
    report::stampaScheda(s);
}

void TTracciabilitaForm::closeEvent(QCloseEvent* e) {
    try {
        QueryTraccia.close(); // the grid keeps its layout as the list closes
    } catch (const DbError&) {
    }
    FinestraSessione::closeEvent(e);
}

} // namespace quintar
