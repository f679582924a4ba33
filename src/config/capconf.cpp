#include "config/capconf.h"

#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kPezzi = QStringLiteral("Pz");

CampoScheda numero(const QString& colonna, const QString& didascalia, const QString& nome) {
    return {colonna,
            didascalia,
            QStringLiteral("Button") + nome,
            QStringLiteral("Edit") + nome,
            QStringLiteral("Edit") + nome + QStringLiteral("2"),
            Controllo::Edit,
            TipoValore::Numero,
            true,
            QStringLiteral("Specificare un valore numerico valido per \"%1\"").arg(didascalia)};
}

CampoScheda testo(const QString& colonna, const QString& didascalia, const QString& nome) {
    return {colonna, didascalia, QStringLiteral("Button") + nome, QStringLiteral("Edit") + nome,
            QStringLiteral("Edit") + nome + QStringLiteral("2")};
}

} // namespace

// ---------------------------------------------------------------- search

TRIniCCon1Form::TRIniCCon1Form(TTabXForm* sessione, QWidget* owner)
    : QDialog(owner), Transazione(&sessione->IBDatabase1),
      QueryIniCCon1(&sessione->IBDatabase1, &Transazione) {
    setObjectName(QStringLiteral("RIniCCon1Form"));
    setWindowTitle(QStringLiteral("RIniCCon1Form ") + sessione->Ditta);
    auto pulsante = [this](const QString& t, const QString& n) {
        auto* b = new QPushButton(t, this);
        b->setObjectName(n);
        b->setAutoDefault(false);
        return b;
    };
    ButtonCodice = pulsante(QStringLiteral("Codice"), QStringLiteral("ButtonCodice"));
    ButtonDescrizione =
        pulsante(QStringLiteral("Descrizione"), QStringLiteral("ButtonDescrizione"));
    ButtonRitorna = pulsante(QStringLiteral("&Ritorna"), QStringLiteral("ButtonRitorna"));
    ButtonChiudi = pulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"));
    EditCodice = new QLineEdit(this);
    EditCodice->setObjectName(QStringLiteral("EditCodice"));
    EditDescrizione = new QLineEdit(this);
    EditDescrizione->setObjectName(QStringLiteral("EditDescrizione"));
    GridIniCCon1 = new TCSDGrid(this);
    GridIniCCon1->setObjectName(QStringLiteral("GridIniCCon1"));
    GridIniCCon1->TastiFunzione = false;
    TimerRicerca = new QTimer(this);
    TimerRicerca->setObjectName(QStringLiteral("TimerRicerca"));
    TimerRicerca->setSingleShot(true);
    TimerRicerca->setInterval(400);

    auto* g = new QGridLayout;
    g->addWidget(ButtonCodice, 0, 0);
    g->addWidget(EditCodice, 0, 1);
    g->addWidget(ButtonDescrizione, 1, 0);
    g->addWidget(EditDescrizione, 1, 1);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonRitorna);
    b->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addWidget(GridIniCCon1, 1);
    v->addLayout(b);
    resize(560, 420);

    // an ordinary list: no layout of its own, ordered by the table's key
    GridIniCCon1->NomeTabella = QStringLiteral("CAPCON1");
    QueryIniCCon1.beforeOpen = [this](Query& q) { q.SQL = sqlRicerca(); };
    GridIniCCon1->setSorgenteDati(&QueryIniCCon1);
    connect(ButtonCodice, &QPushButton::clicked, EditCodice, [this] { EditCodice->setFocus(); });
    connect(ButtonDescrizione, &QPushButton::clicked, EditDescrizione,
            [this] { EditDescrizione->setFocus(); });
    for (QLineEdit* e : {EditCodice, EditDescrizione}) {
        connect(e, &QLineEdit::returnPressed, this, &TRIniCCon1Form::Cerca);
        connect(e, &QLineEdit::textChanged, TimerRicerca, [this] {
            TimerRicerca->stop();
            TimerRicerca->start();
        });
    }
    connect(TimerRicerca, &QTimer::timeout, this, &TRIniCCon1Form::Cerca);
    connect(ButtonRitorna, &QPushButton::clicked, this, [this] {
        if (GridIniCCon1->modello()->rowCount() == 0) {
            Messaggi::avviso(QStringLiteral("Nessun record selezionato"), this);
            return;
        }
        done(kRisultatoOK);
    });
    connect(ButtonChiudi, &QPushButton::clicked, this, [this] { done(kRisultatoAnnulla); });
    if (sessione->IBDatabase1.connected()) {
        Cerca();
    }
}

TRIniCCon1Form::~TRIniCCon1Form() {
    GridIniCCon1->setSorgenteDati(nullptr);
}

QStringList TRIniCCon1Form::sqlRicerca() const {
    QStringList s = {QStringLiteral("SELECT"), QStringLiteral("  *"),
                     QStringLiteral("FROM"),   QStringLiteral("  CAPCON1"),
                     QStringLiteral("WHERE"),  QStringLiteral("  CODICE IS NOT NULL")};
    // a code that is not a whole number does not restrict the list
    if (const auto n = Formati::leggiIntero(EditCodice->text())) {
        s << QStringLiteral("  AND") << QStringLiteral("  CODICE=") + sql::intero(*n);
    }
    if (!EditDescrizione->text().isEmpty()) {
        s << QStringLiteral("  AND")
          << QStringLiteral("  DESCRIZIONE CONTAINING ") +
                 sql::testoNonNullo(EditDescrizione->text());
    }
    return s;
}

void TRIniCCon1Form::Cerca() {
    TimerRicerca->stop();
    try {
        QueryIniCCon1.close();
        QueryIniCCon1.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

QString TRIniCCon1Form::codiceScelto() const {
    if (GridIniCCon1->modello()->rowCount() == 0) {
        return {};
    }
    if (!GridIniCCon1->currentIndex().isValid()) {
        return GridIniCCon1->modello()
            ->campo(0, GridIniCCon1->modello()->indiceCampo(QStringLiteral("CODICE")))
            .asString();
    }
    return GridIniCCon1->campoCorrente(QStringLiteral("CODICE")).asString();
}

void TRIniCCon1Form::done(int r) {
    TimerRicerca->stop();
    QDialog::done(r == QDialog::Rejected ? kRisultatoAnnulla : r);
}

// ---------------------------------------------------------------- CAPCONF

TIniCConfForm::TIniCConfForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = QStringLiteral("CAPCONF"),
                  .nome = QStringLiteral("CapConf"),
                  .didascalia =
                      QStringLiteral("Impostazione capacità confezioni (fabbricazioni) - Ditta:"),
                  .situazioneFinestra = 10,
                  .situazioneGriglia = 13,
                  .sqlBase = {QStringLiteral("SELECT * FROM CAPCONF")},
                  .nuovoCodice = NuovoCodice::MassimoPiuUno,
                  .campi = {testo(QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                                  QStringLiteral("Descrizione")),
                            numero(QStringLiteral("CAPACITACONFEZIONE"),
                                   QStringLiteral("Capac. Conf."), QStringLiteral("CapacitaConf")),
                            {QStringLiteral("CODICEEQUIVALENTEINPRODOTTI"),
                             QStringLiteral("Codice equivalente in prodotti"),
                             QStringLiteral("ButtonCodiceEquivalenteInProdotti"),
                             QStringLiteral("EditCodiceEquivalenteInProdotti"),
                             QStringLiteral("EditCodiceEquivalenteInProdotti2"), Controllo::Edit,
                             TipoValore::Intero, true,
                             QStringLiteral("Specificare un valore numerico valido per \"Codice "
                                            "equivalente in prodotti\"")}},
                  .navigatore = QStringLiteral("NavigatorCapConf")},
                 owner) {
    auto* b = PaginaEditazione->findChild<QPushButton*>(
        QStringLiteral("ButtonCodiceEquivalenteInProdotti"));
    connect(b, &QPushButton::clicked, this, &TIniCConfForm::ButtonCodiceEquivalenteInProdottiClick);
}

void TIniCConfForm::ButtonCodiceEquivalenteInProdottiClick() {
    auto* e = qobject_cast<QLineEdit*>(editazione(QStringLiteral("CODICEEQUIVALENTEINPRODOTTI")));
    e->setFocus();
    TRIniCCon1Form r(sessione_, this);
    r.setWindowIcon(windowIcon());
    if (Messaggi::esegui(&r) == kRisultatoOK) {
        e->setText(r.codiceScelto());
    }
}

// ---------------------------------------------------------------- CAPCON1

TIniCCon1Form::TIniCCon1Form(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(
          sessione,
          {.tabella = QStringLiteral("CAPCON1"),
           .nome = QStringLiteral("CapCon1"),
           .didascalia = QStringLiteral("Impostazione capacità confezioni (prodotti) - Ditta:"),
           .situazioneFinestra = 11,
           .situazioneGriglia = 14,
           .sqlBase = {QStringLiteral("SELECT * FROM CAPCON1")},
           .nuovoCodice = NuovoCodice::MassimoPiuUno,
           .campi = {testo(QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                           QStringLiteral("Descrizione")),
                     numero(QStringLiteral("CAPACITACONFEZIONE"), QStringLiteral("Capac. Conf."),
                            QStringLiteral("CapacitaConf")),
                     numero(QStringLiteral("UNITAVENDCONF"), QStringLiteral("Un. Vend. Conf."),
                            QStringLiteral("UnitaVenditaConf")),
                     numero(QStringLiteral("COEFFDIVISORE"), QStringLiteral("Coeff. Div."),
                            QStringLiteral("CoeffDiv")),
                     {QStringLiteral("UDMVENDCONF"),
                      QStringLiteral("UDM Conf. Vend."),
                      QStringLiteral("ButtonUDMConf"),
                      QStringLiteral("ComboUDMConf"),
                      QStringLiteral("EditUDMConf2"),
                      Controllo::Combo,
                      TipoValore::Testo,
                      true,
                      {},
                      0,
                      {QStringLiteral("Litri"), QStringLiteral("Kg"), kPezzi}},
                     {QStringLiteral("UDMCONTENUTOPZ"),
                      QStringLiteral("UDM Contenuto Pz."),
                      QStringLiteral("ButtonUDMContenutoPz"),
                      QStringLiteral("ComboUDMContenutoPz"),
                      QStringLiteral("EditUDMContenutoPz2"),
                      Controllo::Combo,
                      TipoValore::Testo,
                      true,
                      {},
                      0,
                      {QStringLiteral("Litri"), QStringLiteral("Kg")}}},
           .navigatore = QStringLiteral("NavigatorCapCon1"),
           .controlliInsieme = true},
          owner) {
    ComboUDMConf = qobject_cast<QComboBox*>(editazione(QStringLiteral("UDMVENDCONF")));
    ComboUDMContenutoPz = qobject_cast<QComboBox*>(editazione(QStringLiteral("UDMCONTENUTOPZ")));
    ButtonUDMContenutoPz =
        PaginaEditazione->findChild<QPushButton*>(QStringLiteral("ButtonUDMContenutoPz"));
    // the sales unit shows or hides (and empties) the piece unit
    connect(ComboUDMConf, &QComboBox::currentIndexChanged, this,
            [this] { mostraUnitaPezzo(testoDi(ComboUDMConf) == kPezzi); });
    mostraUnitaPezzo(false);
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TIniCCon1Form::consultazioneCambiata);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this,
            &TIniCCon1Form::consultazioneCambiata);
    consultazioneCambiata();
}

void TIniCCon1Form::mostraUnitaPezzo(bool visibile) {
    ButtonUDMContenutoPz->setVisible(visibile);
    ComboUDMContenutoPz->setVisible(visibile);
    if (!visibile) {
        ComboUDMContenutoPz->setCurrentIndex(-1);
    }
}

void TIniCCon1Form::consultazioneCambiata() {
    const bool pezzi = testoDi(consultazione(QStringLiteral("UDMVENDCONF"))) == kPezzi;
    PaginaConsultazione->findChild<QPushButton*>(QStringLiteral("ButtonUDMContenutoPz2"))
        ->setVisible(pezzi);
    consultazione(QStringLiteral("UDMCONTENUTOPZ"))->setVisible(pezzi);
}

void TIniCCon1Form::riempiEditazione() {
    SchedaBase::riempiEditazione();
    // the piece unit stays visible, with its value, for a row sold in pieces
    const QString pezzo = testoDi(ComboUDMContenutoPz);
    const bool pezzi = testoDi(ComboUDMConf) == kPezzi;
    mostraUnitaPezzo(pezzi);
    if (pezzi) {
        impostaTesto(ComboUDMContenutoPz, pezzo);
    }
}

bool TIniCCon1Form::validaCampi() {
    if (testoDi(ComboUDMConf) == kPezzi && testoDi(ComboUDMContenutoPz).isEmpty()) {
        Messaggi::avviso(
            QStringLiteral("Quando indicati \"Pz\" in \"UDM Conf. Vend.\" è necessario "
                           "compilare anche \"UDM Contenuto Pz.\""),
            this);
        return false;
    }
    return true;
}

} // namespace quintar
