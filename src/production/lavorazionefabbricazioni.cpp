#include "production/lavorazionefabbricazioni.h"

#include "production/blocchi.h"

#include "production/dovute.h"
#include "session/distribuita.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/colonne.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/selezionegriglia.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace quintar {

namespace {

// A bound value as a literal, for the text of a statement kept or shown.
QString letterale(const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        return QStringLiteral("NULL");
    }
    switch (v.typeId()) {
    case QMetaType::QDate:
        return sql::dataIso(v.toDate());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return v.toString();
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    default: {
        QString s = v.toString();
        s.replace('\'', QStringLiteral("''"));
        return '\'' + s + '\'';
    }
    }
}

// The statement with its values in place of the markers.
QString testoConValori(const QStringList& sql, const std::vector<QVariant>& valori) {
    const QString t = sql.join('\n');
    QString r;
    size_t i = 0;
    for (QChar c : t) {
        if (c == '?' && i < valori.size()) {
            r += letterale(valori[i++]);
        } else {
            r += c;
        }
    }
    return r;
}

} // namespace

QVariant testoONull(const QString& s) {
    return s.isEmpty() ? QVariant() : QVariant(s);
}

QString Fabbricazione::testo() const {
    return QStringLiteral("%1 del %2 lotto %3").arg(codice, Formati::dataInTesto(data), lotto);
}

LavorazioneFabbricazioni::LavorazioneFabbricazioni(TTabXForm* sessione, DescrizioneLavorazione d,
                                                   QWidget* owner)
    : FinestraSessione(sessione, owner), d_(std::move(d)), TransazioneLista(&sessione->IBDatabase2),
      QueryFabbr(&sessione->IBDatabase2, &TransazioneLista) {
    // the company's parameters live in the company archive, here the second
    sessione->ArchivioAzienda = &sessione->IBDatabase2;
    setObjectName(d_.nome);
    setWindowTitle(d_.nome + ' ' + sessione->Ditta);

    LabelTitolo = new QLabel(d_.titolo, this);
    LabelTitolo->setObjectName(QStringLiteral("LabelTitolo"));
    GridFabbr = new TCSDGrid(this);
    GridFabbr->setObjectName(QStringLiteral("GridFabbr"));
    GridFabbr->CodiceProgetto = kProgetto;
    GridFabbr->Situazione = d_.situazioneGriglia;
    GridFabbr->Utente = sessione->NumUtente;
    GridFabbr->NomeTabella = QStringLiteral("FABBRIC");
    GridFabbr->TabellaPiccola = true;
    GridFabbr->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
    GridFabbr->DittaCorrente = sessione->Ditta;
    GridFabbr->AbilitaRicerca = true;
    const QString stato = d_.stato;
    GridFabbr->collega(&QueryFabbr, [stato] {
        return QStringList{QStringLiteral("SELECT * FROM FABBRIC WHERE STATUS=") +
                           sql::testoNonNullo(stato)};
    });
    Selezione = new SelezioneGriglia(
        GridFabbr, {QStringLiteral("CODICE"), QStringLiteral("DATA"), QStringLiteral("LOTTO")});

    auto* campi = new QGridLayout;
    const std::map<QString, int> larghezze =
        sessione->IBDatabase1.connected()
            ? lunghezzeColonne(&sessione->IBDatabase1, QStringLiteral("ORDC"))
            : std::map<QString, int>{};
    int colonna = 0;
    for (const ParametroLavorazione& p : d_.parametri) {
        QPushButton* b = creaPulsante(p.didascalia, p.pulsante, this);
        b->setFocusPolicy(Qt::NoFocus);
        auto* e = new QLineEdit(this);
        e->setObjectName(p.edit);
        if (auto it = larghezze.find(p.colonnaErp); it != larghezze.end() && it->second > 0) {
            e->setMaxLength(it->second);
        }
        campi->addWidget(b, 0, colonna);
        campi->addWidget(e, 0, colonna + 1);
        campi->setColumnStretch(colonna + 1, 1);
        colonna += 2;
        edit_.push_back(e);
    }
    ButtonAzione = creaPulsante(d_.azione, d_.nomeAzione, this);
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);

    LabelBlocchi = new QLabel(this);
    LabelBlocchi->setObjectName(QStringLiteral("LabelBlocchi"));
    LabelBlocchi->setWordWrap(true);
    LabelBlocchi->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* v = new QVBoxLayout(this);
    v->addWidget(LabelTitolo);
    v->addWidget(GridFabbr, 1);
    v->addWidget(LabelBlocchi);
    v->addLayout(campi);
    auto* piede = new QHBoxLayout;
    piede->addStretch();
    piede->addWidget(ButtonAzione);
    piede->addWidget(ButtonChiudi);
    v->addLayout(piede);
    resize(980, 560);

    connect(ButtonAzione, &QPushButton::clicked, this, protetto(this, [this] { esegui(); }));
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);

    if (!sessione->IBDatabase1.connected() || !sessione->IBDatabase2.connected()) {
        return; // the launch has said which archive did not open
    }
    // runs a process left half-committed are ended before anything is read
    // or written here
    limboRisolto_ = recuperaRunInLimbo();
    if (limboRisolto_) {
        completaRimasti();
    }
    caricaParametri();
    eseguiProtetto(this, [this] {
        TransazioneLista.start();
        QueryFabbr.open();
    });
    mostraBlocchi();
}

LavorazioneFabbricazioni::~LavorazioneFabbricazioni() {
    GridFabbr->setSorgenteDati(nullptr);
}

Database& LavorazioneFabbricazioni::erp() const {
    return sessione_->IBDatabase1;
}

Database& LavorazioneFabbricazioni::azienda() const {
    return sessione_->IBDatabase2;
}

QLineEdit* LavorazioneFabbricazioni::parametro(const QString& edit) const {
    for (QLineEdit* e : edit_) {
        if (e->objectName() == edit) {
            return e;
        }
    }
    return nullptr;
}

std::vector<Fabbricazione> LavorazioneFabbricazioni::scelte() const {
    std::vector<Fabbricazione> r;
    for (const SelezioneGriglia::Chiave& k : Selezione->chiavi()) {
        r.push_back({k.value(0).toString(), k.value(1).toDate(), k.value(2).toString()});
    }
    return r;
}

bool LavorazioneFabbricazioni::recuperaRunInLimbo() {
    // what a process left between its two archives is ended on both sides
    // before anything is read or written here
    try {
        const EsitoRecupero e = recuperaInLimbo(azienda(), {&erp()});
        if (e.confermate + e.annullate > 0) {
            qInfo("%s: %d parti di esecuzioni in sospeso confermate, %d annullate",
                  qPrintable(d_.nome), e.confermate, e.annullate);
        }
        if (!e.lasciate.isEmpty()) {
            Messaggi::avviso(QStringLiteral("Elaborazioni rimaste in sospeso non concluse:\r\n") +
                                 e.lasciate.join(QStringLiteral("\r\n")),
                             this);
        }
    } catch (const DbError& e) {
        qWarning("%s: transazioni in sospeso non risolte: %s", qPrintable(d_.nome),
                 qPrintable(e.messaggio()));
        Messaggi::errore(QStringLiteral("Errore interno: impossibile concludere le elaborazioni "
                                        "rimaste in sospeso\r\n") +
                             e.messaggio(),
                         this);
        return false;
    }
    return true;
}

bool LavorazioneFabbricazioni::completaRimasti() {
    if (!dovute::assicura(azienda())) {
        Messaggi::errore(QStringLiteral("Errore interno di CREATE: impossibile creare la tabella "
                                        "CHIAMATEDOVUTE"),
                         this);
        return false;
    }
    const dovute::Esito d = dovute::esegui(azienda(), erp(), sessione_->NumUtente, this);
    if (!d.righe.isEmpty()) {
        Messaggi::informazione(QStringLiteral("Completate le operazioni rimaste da fare:\r\n") +
                                   d.righe.join(QStringLiteral("\r\n")),
                               this);
    }
    if (!d.errori.isEmpty()) {
        Messaggi::errore(d.errori.join(QStringLiteral("\r\n")), this);
    }
    return d.rimasti == 0 && d.errori.isEmpty();
}

void LavorazioneFabbricazioni::caricaParametri() {
    std::vector<ValoreTabXDaScrivere> quali;
    for (const auto& p : d_.parametri) {
        quali.push_back({p.parametro, {}, false});
    }
    letti_.assign(quali.size(), std::nullopt);
    if (azienda().connected() && !quali.empty()) {
        try {
            letti_ = sessione_->LeggiValoriTabX(quali);
        } catch (const DbError& e) {
            qWarning("%s: parametri non letti: %s", qPrintable(d_.nome), qPrintable(e.messaggio()));
        }
    }
    for (size_t i = 0; i < edit_.size() && i < letti_.size(); ++i) {
        edit_[i]->setText(letti_[i].value_or(QString()));
    }
}

void LavorazioneFabbricazioni::salvaParametri() {
    if (!azienda().connected()) {
        return;
    }
    // only what the user changed, over what was read: another user's change
    // of another parameter stays, of the same one is not overwritten
    std::vector<ValoreTabXDaScrivere> valori;
    std::vector<std::optional<QString>> letti;
    for (size_t i = 0; i < d_.parametri.size() && i < letti_.size(); ++i) {
        if (edit_[i]->text() != letti_[i].value_or(QString())) {
            valori.push_back({d_.parametri[i].parametro, edit_[i]->text(), false});
            letti.push_back(letti_[i]);
        }
    }
    if (valori.empty()) {
        return;
    }
    switch (sessione_->SettaValoriTabXSeInvariati(valori, letti)) {
    case TTabXForm::EsitoTabX::Scritti:
        break;
    case TTabXForm::EsitoTabX::Cambiati:
        Messaggi::avviso(QStringLiteral("Attenzione: un altro utente ha modificato i parametri "
                                        "dopo che erano stati letti: le modifiche non sono state "
                                        "memorizzate"),
                         this);
        break;
    case TTabXForm::EsitoTabX::NonScritti:
        qWarning("%s: parametri non memorizzati", qPrintable(d_.nome));
        break;
    }
}

void LavorazioneFabbricazioni::esegui() {
    if (!erp().connected() || !azienda().connected()) {
        Messaggi::errore(QStringLiteral("Errore apertura archivio"), this);
        return;
    }
    if (!limboRisolto_ && !(limboRisolto_ = recuperaRunInLimbo())) {
        return;
    }
    // what earlier runs still owe goes first: the routine on an order, then its move
    completaRimasti();
    lavora(scelte());
}

bool LavorazioneFabbricazioni::liberaDaBlocchi(Transaction& t, const Fabbricazione& f) {
    try {
        if (const std::optional<blocchi::Blocco> b =
                blocchi::copre(azienda(), t, f.codice, f.data, f.lotto)) {
            Messaggi::avviso(blocchi::testoRifiuto(*b, f.codice, f.data, f.lotto), this);
            return false;
        }
    } catch (const DbError& e) {
        qWarning("%s: blocchi non letti: %s", qPrintable(d_.nome), qPrintable(e.messaggio()));
        Messaggi::errore(QStringLiteral("Errore interno durante la lettura dei blocchi:\n") +
                             e.messaggio(),
                         this);
        return false;
    }
    return true;
}

void LavorazioneFabbricazioni::registraFrase(const QStringList& sql,
                                             const std::vector<QVariant>& valori) const {
    storico::registraErrore(percorsi::suDisco(sessione_->GetV(QStringLiteral("LavoroDir"))),
                            {testoConValori(sql, valori)});
}

bool LavorazioneFabbricazioni::eseguiFrase(Query& q, const QStringList& sql,
                                           std::vector<QVariant> valori, std::optional<int> attese,
                                           const QString& diverse, const QString& errore) {
    q.SQL = sql;
    q.setParams(valori);
    int n = 0;
    try {
        n = q.execSQL();
    } catch (const DbError& e) {
        qWarning("%s: %s", qPrintable(d_.nome), qPrintable(e.messaggio()));
        registraFrase(sql, valori);
        Messaggi::errore(errore.isEmpty() ? QStringLiteral("Errore ") + testoConValori(sql, valori)
                                          : errore,
                         this);
        return false;
    }
    if (attese && n != *attese) {
        Messaggi::errore(diverse, this);
        return false;
    }
    return true;
}

void LavorazioneFabbricazioni::concludiRun(TransazioneDistribuita& unita, bool riuscita,
                                           const std::vector<dovute::Passo>& passi,
                                           const QString& descrizione) {
    if (riuscita) {
        try {
            Query q(&azienda(), &unita.su(azienda()));
            dovute::registra(q, unita.esecuzione(), sessione_->NumUtente, passi);
        } catch (const DbError& e) {
            qWarning("%s: passi dovuti non registrati: %s", qPrintable(d_.nome),
                     qPrintable(e.messaggio()));
            Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio(), this);
            riuscita = false;
        }
    }
    if (!riuscita) {
        unita.rollback();
        Messaggi::errore(d_.testoAnnullato, this);
        concludi(false);
        return;
    }
    try {
        unita.prepare(descrizione);
        if (DopoPreparazione) {
            DopoPreparazione();
        }
        unita.commit();
    } catch (const CommitDaCompletare& e) {
        // registered: the rest, and what the run owes, at the next opening
        Messaggi::avviso(e.messaggio(), this);
        concludi(false);
        return;
    } catch (const EsitoIncerto& e) {
        Messaggi::errore(e.messaggio(), this);
        concludi(false);
        return;
    } catch (const DbError& e) {
        qWarning("%s: esecuzione non confermata: %s", qPrintable(d_.nome),
                 qPrintable(e.messaggio()));
        Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio(), this);
        concludi(false);
        return;
    }
    const dovute::Esito d =
        dovute::esegui(azienda(), erp(), sessione_->NumUtente, this, unita.esecuzione());
    if (!d.errori.isEmpty()) {
        Messaggi::errore(d.errori.join(QStringLiteral("\r\n")), this);
    }
    concludi(d.rimasti == 0 && d.errori.isEmpty());
}

void LavorazioneFabbricazioni::concludi(bool riuscita) {
    Selezione->svuota();
    riapriLista();
    if (riuscita) {
        Messaggi::informazione(QStringLiteral("Completato"), this);
    }
}

void LavorazioneFabbricazioni::riapriLista() {
    eseguiProtetto(this, [this] {
        QueryFabbr.close();
        // a fresh snapshot: the list shows what the run committed
        TransazioneLista.restart();
        QueryFabbr.open();
    });
    mostraBlocchi();
}

void LavorazioneFabbricazioni::mostraBlocchi() {
    QStringList righe;
    try {
        Transaction t(&azienda());
        for (const auto& [chiave, c] : blocchi::coperte(azienda(), t)) {
            const traccia::Fabbricazione& f = c.fabbricazione;
            if (f.stato.trimmed() == d_.stato) {
                righe << QStringLiteral("%1 del %2 lotto %3: %4")
                             .arg(f.codice.trimmed(), Formati::dataInTesto(f.data), f.lotto,
                                  blocchi::testoBlocco(c.blocco));
            }
        }
        t.rollback();
    } catch (const DbError& e) {
        qWarning("%s: blocchi non letti: %s", qPrintable(d_.nome), qPrintable(e.messaggio()));
    }
    LabelBlocchi->setText(righe.isEmpty() ? QString()
                                          : QStringLiteral("Fabbricazioni bloccate: ") +
                                                righe.join(QStringLiteral("; ")));
}

void LavorazioneFabbricazioni::showEvent(QShowEvent* e) {
    FinestraSessione::showEvent(e);
    if (!posizioneCaricata_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra, &azienda());
    }
}

void LavorazioneFabbricazioni::closeEvent(QCloseEvent* e) {
    salvaParametri();
    try {
        QueryFabbr.close(); // the grid keeps its layout
    } catch (const DbError&) {
    }
    SalvaPosizioneFinestra(this, sessione_->NumUtente, d_.situazioneFinestra, &azienda());
    e->accept();
}

} // namespace quintar
