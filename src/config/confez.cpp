#include "config/confez.h"

#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kCodice = QStringLiteral("CODICERIEMPITRICE");
const QString kNumero = QStringLiteral("NUMPROGRESSIVO");

// A procedure number as SQL text wants it: a point, no needless decimals.
QString numeroConPunto(const QString& n) {
    const auto v = Formati::leggiNumero(n);
    return v ? QString::number(*v, 'g', 12) : n;
}

QPushButton* pulsanteCampo(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setStyleSheet(QStringLiteral("text-align: left"));
    return b;
}

} // namespace

// ---------------------------------------------------------------- dialog

TNConfezForm::TNConfezForm(TTabXForm* sessione, const QStringList& codici,
                           const QStringList& descrizioni, QWidget* owner)
    : QDialog(owner), Transazione(&sessione->IBDatabase1),
      QueryAux(&sessione->IBDatabase1, &Transazione) {
    setObjectName(QStringLiteral("NConfezForm"));
    setWindowTitle(QStringLiteral("Nuova procedura confezionamento - Ditta:") + ' ' +
                   sessione->Ditta);
    ButtonRiempitrice =
        pulsanteCampo(QStringLiteral("Riempitrice"), QStringLiteral("ButtonRiempitrice"), this);
    ButtonNumeroProgressivo =
        pulsanteCampo(QStringLiteral("N° Progr."), QStringLiteral("ButtonNumeroProgressivo"), this);
    ComboRiempitrice = new QComboBox(this);
    ComboRiempitrice->setObjectName(QStringLiteral("ComboRiempitrice"));
    ComboRiempitrice->addItems(descrizioni);
    ComboRiempitrice->setCurrentIndex(-1);
    ComboCodRiempitrice = new QComboBox(this);
    ComboCodRiempitrice->setObjectName(QStringLiteral("ComboCodRiempitrice"));
    ComboCodRiempitrice->addItems(codici);
    ComboCodRiempitrice->hide();
    EditNumeroProgressivo = new QLineEdit(this);
    EditNumeroProgressivo->setObjectName(QStringLiteral("EditNumeroProgressivo"));
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);

    auto* g = new QGridLayout;
    g->addWidget(ButtonRiempitrice, 0, 0);
    g->addWidget(ComboRiempitrice, 0, 1);
    g->addWidget(ButtonNumeroProgressivo, 1, 0);
    g->addWidget(EditNumeroProgressivo, 1, 1);
    g->setColumnStretch(1, 1);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonOk);
    b->addWidget(ButtonCancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(b);
    resize(420, 120);

    for (QPushButton* p : {ButtonRiempitrice, ButtonNumeroProgressivo}) {
        connect(p, &QPushButton::clicked, ComboRiempitrice,
                [this] { ComboRiempitrice->setFocus(); });
    }
    connect(ComboRiempitrice, &QComboBox::currentIndexChanged, this,
            &TNConfezForm::ComboRiempitriceChange);
    connect(ButtonOk, &QPushButton::clicked, this, [this] { done(kRisultatoOK); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(kRisultatoAnnulla); });
}

QString TNConfezForm::codiceScelto() const {
    const int i = ComboRiempitrice->currentIndex();
    return i < 0 ? QString() : ComboCodRiempitrice->itemText(i);
}

void TNConfezForm::scegliRiempitrice(const QString& codice) {
    const int i = ComboCodRiempitrice->findText(codice);
    if (i >= 0) {
        ComboRiempitrice->setCurrentIndex(i);
    }
}

void TNConfezForm::ComboRiempitriceChange() {
    EditNumeroProgressivo->clear();
    const QString codice = codiceScelto();
    if (codice.isEmpty()) {
        return;
    }
    EditNumeroProgressivo->setText(QStringLiteral("1"));
    try {
        Transazione.restart();
        QueryAux.SQL = {
            QStringLiteral("SELECT MAX(NUMPROGRESSIVO) FROM CONFEZ"),
            QStringLiteral("WHERE CODICERIEMPITRICE=%1").arg(sql::testoNonNullo(codice))};
        const QVariant v = QueryAux.scalar();
        if (v.isValid() && !v.isNull()) {
            EditNumeroProgressivo->setText(Formati::numeroInTesto(v.toDouble() + 1));
        }
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

bool TNConfezForm::verifica() {
    bool valido = true;
    if (codiceScelto().isEmpty()) {
        Messaggi::avviso(QStringLiteral("Selezionare un valore per \"Riempitrice\""), this);
        valido = false;
    }
    const QString numero = EditNumeroProgressivo->text().trimmed();
    if (numero.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Specificare un valore per \"N° Progr.\""), this);
        valido = false;
    } else if (!Formati::leggiNumero(numero)) {
        Messaggi::avviso(QStringLiteral("Specificare un valore valido per \"N° Progr.\""), this);
        valido = false;
    }
    if (!valido) {
        return false;
    }
    try {
        Transazione.restart();
        QueryAux.SQL = {QStringLiteral("SELECT * FROM CONFEZ"),
                        QStringLiteral("WHERE (CODICERIEMPITRICE=%1)AND")
                            .arg(sql::testoNonNullo(codiceScelto())),
                        QStringLiteral("(NUMPROGRESSIVO=%1)").arg(sql::numero(numero))};
        QueryAux.open();
        const bool esiste = !QueryAux.eof();
        QueryAux.close();
        if (esiste) {
            Messaggi::avviso(
                QStringLiteral("Esiste già un record con la combinazione di valori inseriti"),
                this);
            return false;
        }
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
    return true;
}

void TNConfezForm::done(int r) {
    if (r == QDialog::Rejected) {
        r = kRisultatoAnnulla;
    }
    if (r == kRisultatoOK && !verifica()) {
        return;
    }
    QDialog::done(r);
}

// ---------------------------------------------------------------- card

const DescrizioneStorico TIniConfForm::kStorico{
    .tabellaStorico = QStringLiteral("STOCONFEZ"),
    .tabella = QStringLiteral("CONFEZ"),
    .colonneChiave = {kCodice, kNumero},
    .colonneCopiate = {kCodice, kNumero, QStringLiteral("TESTO")},
    .colonnaData = QStringLiteral("DATAVERS"),
    .colonnaUtente = QStringLiteral("UTENTE"),
    .colonnaCancellato = QStringLiteral("ELIMINAZIONE")};

TIniConfForm::TIniConfForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(
          sessione,
          {.tabella = QStringLiteral("CONFEZ"),
           .chiave = kCodice,
           .nome = QStringLiteral("Confez"),
           .didascalia = QStringLiteral("Impostazione procedure confezionamento - Ditta:"),
           .situazioneFinestra = 13,
           .situazioneGriglia = 16,
           .sqlBase = {QStringLiteral("SELECT * FROM CONFEZ")},
           .nuovoCodice = NuovoCodice::Digitato,
           .campoChiave = {kCodice, QStringLiteral("Riempitrice"),
                           QStringLiteral("ButtonRiempitrice"), QStringLiteral("EditRiempitrice"),
                           QStringLiteral("EditCodRiempitrice")},
           .campi = {{QStringLiteral("TESTO"), QStringLiteral("Descrizione"),
                      QStringLiteral("ButtonDescrizione"), QStringLiteral("MemoDescrizione"),
                      QStringLiteral("MemoDescrizione2"), Controllo::Memo}},
           .altreChiavi = {{kNumero, QStringLiteral("N° Progr."),
                            QStringLiteral("ButtonNumeroProgressivo"),
                            QStringLiteral("EditNumeroProgressivo"),
                            QStringLiteral("EditNumeroProgressivo2"), Controllo::Edit,
                            TipoValore::Numero}},
           .navigatore = QStringLiteral("NavigatorCategoria")},
          owner),
      TransazioneStorico(&sessione->IBDatabase1),
      QueryStorico(&sessione->IBDatabase1, &TransazioneStorico) {
    caricaRiempitrici();
    // the list shows the procedure texts: no highlighted current row
    QPalette p = Griglia->palette();
    p.setColor(QPalette::Highlight, p.color(QPalette::Window));
    p.setColor(QPalette::HighlightedText, Qt::black);
    Griglia->setPalette(p);
    mostraRiempitriceInConsultazione();
    aggiungiVersione();
    creaStorico();

    TimerStorico = new QTimer(this);
    TimerStorico->setObjectName(QStringLiteral("TimerStorico"));
    TimerStorico->setSingleShot(true);
    TimerStorico->setInterval(1000);
    connect(TimerStorico, &QTimer::timeout, this, &TIniConfForm::mostraVersione);
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TIniConfForm::rigaCambiata);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this, &TIniConfForm::rigaCambiata);
    connect(TabSetConfez, &QTabBar::currentChanged, this, &TIniConfForm::cambioPagina);
    connect(ButtonStoricoChiudi, &QPushButton::clicked, this,
            [this] { TabSetConfez->setCurrentIndex(0); });
    rigaCambiata();
}

// The machine lists, codes and descriptions in the same order.
void TIniConfForm::caricaRiempitrici() {
    ComboCodRiempitrice = new QComboBox(this);
    ComboCodRiempitrice->setObjectName(QStringLiteral("ComboCodRiempitrice"));
    ComboCodRiempitrice->hide();
    ComboRiempitrice = new QComboBox(this);
    ComboRiempitrice->setObjectName(QStringLiteral("ComboRiempitrice"));
    ComboRiempitrice->hide();
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    try {
        QueryAux2.SQL = {
            QStringLiteral("SELECT CODICE,SPECIFICHE FROM RIEMPIT ORDER BY SPECIFICHE,CODICE")};
        for (QueryAux2.open(); !QueryAux2.eof(); QueryAux2.next()) {
            ComboCodRiempitrice->addItem(QueryAux2.field(0).asString());
            ComboRiempitrice->addItem(QueryAux2.field(1).asString());
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

// The consultation page shows the machine's description over its hidden code.
void TIniConfForm::mostraRiempitriceInConsultazione() {
    auto* codice = findChild<QLineEdit*>(QStringLiteral("EditCodRiempitrice"));
    EditRiempitrice2 = new QLineEdit(PaginaConsultazione);
    EditRiempitrice2->setObjectName(QStringLiteral("EditRiempitrice2"));
    EditRiempitrice2->setReadOnly(true);
    if (auto* g = PaginaConsultazione->findChild<QGridLayout*>()) {
        int riga = 0, colonna = 0, r = 0, c = 0;
        g->getItemPosition(g->indexOf(codice), &riga, &colonna, &r, &c);
        g->addWidget(EditRiempitrice2, riga, colonna);
    }
    codice->hide();
    connect(codice, &QLineEdit::textChanged, this,
            [this](const QString& t) { EditRiempitrice2->setText(descrizioneRiempitrice(t)); });
    EditRiempitrice2->setText(descrizioneRiempitrice(codice->text()));
}

void TIniConfForm::aggiungiVersione() {
    auto* versione = new QHBoxLayout;
    auto* statica = new QLabel(QStringLiteral("Versione:"), PaginaConsultazione);
    statica->setObjectName(QStringLiteral("LabelStaticVersione"));
    LabelVersione = new QLabel(PaginaConsultazione);
    LabelVersione->setObjectName(QStringLiteral("LabelVersione"));
    versione->addWidget(statica);
    versione->addWidget(LabelVersione);
    versione->addStretch();
    if (auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout())) {
        v->insertLayout(1, versione);
    }
}

// The history page beside the card, reached through the tab bar, and its grid
// on the versions of the current procedure.
void TIniConfForm::creaStorico() {
    auto* storico = new QWidget(this);
    storico->setObjectName(QStringLiteral("Storico"));
    GridStorico = new TCSDGrid(storico);
    GridStorico->setObjectName(QStringLiteral("GridStorico"));
    ButtonStoricoChiudi = new QPushButton(QStringLiteral("&Chiudi"), storico);
    ButtonStoricoChiudi->setObjectName(QStringLiteral("ButtonStoricoChiudi"));
    auto* vs = new QVBoxLayout(storico);
    vs->addWidget(GridStorico, 1);
    auto* hs = new QHBoxLayout;
    hs->addStretch();
    hs->addWidget(ButtonStoricoChiudi);
    vs->addLayout(hs);

    TabSetConfez = new QTabBar(this);
    TabSetConfez->setObjectName(QStringLiteral("TabSetConfez"));
    TabSetConfez->addTab(QStringLiteral("Pagina 1"));
    TabSetConfez->addTab(QStringLiteral("Storico"));
    NoteBookConfez = new QStackedWidget(this);
    NoteBookConfez->setObjectName(QStringLiteral("NoteBookConfez"));
    layout()->removeWidget(CorpoScheda);
    NoteBookConfez->addWidget(CorpoScheda);
    NoteBookConfez->addWidget(storico);
    auto* principale = qobject_cast<QVBoxLayout*>(layout());
    principale->addWidget(TabSetConfez);
    principale->addWidget(NoteBookConfez, 1);

    GridStorico->CodiceProgetto = kProgetto;
    GridStorico->Situazione = 27;
    GridStorico->Utente = sessione_->NumUtente;
    GridStorico->NomeTabella = QStringLiteral("STOCONFEZ");
    GridStorico->TabellaPiccola = true;
    GridStorico->DirectoryBin = sessione_->GetV(QStringLiteral("BinDir"));
    GridStorico->DittaCorrente = sessione_->Ditta;
    GridStorico->AbilitaRicerca = true;
    GridStorico->collega(&QueryStorico, [this] { return sqlStorico(); });
}

TIniConfForm::~TIniConfForm() {
    GridStorico->setSorgenteDati(nullptr);
}

QString TIniConfForm::descrizioneRiempitrice(const QString& codice) const {
    const int i = codice.isEmpty() ? -1 : ComboCodRiempitrice->findText(codice);
    return i < 0 ? QString() : ComboRiempitrice->itemText(i);
}

QStringList TIniConfForm::chiaveStorico() const {
    return {CodiceCorrente, numeroConPunto(AltreChiaviCorrenti.value(0))};
}

QStringList TIniConfForm::sqlStorico() const {
    const QString codice = codiceCorrenteGriglia();
    const QString numero = altreChiaviGriglia().value(0);
    return {QStringLiteral("SELECT * FROM STOCONFEZ WHERE"),
            codice.isEmpty()
                ? QStringLiteral("(CODICERIEMPITRICE IS NULL)AND")
                : QStringLiteral("(CODICERIEMPITRICE=%1)AND").arg(sql::testoNonNullo(codice)),
            numero.isEmpty() ? QStringLiteral("(NUMPROGRESSIVO IS NULL)")
                             : QStringLiteral("(NUMPROGRESSIVO=%1)").arg(sql::numero(numero))};
}

void TIniConfForm::rigaCambiata() {
    TimerStorico->stop();
    LabelVersione->clear();
    TimerStorico->start();
    if (NoteBookConfez->currentIndex() == 1) {
        try {
            QueryStorico.close();
            TransazioneStorico.restart();
            QueryStorico.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    }
}

void TIniConfForm::mostraVersione() {
    TimerStorico->stop();
    const QString codice = codiceCorrenteGriglia();
    const QString numero = altreChiaviGriglia().value(0);
    if (codice.isEmpty() || numero.isEmpty()) {
        return;
    }
    try {
        TransazioneControllo.restart();
        const int prossima =
            storico::prossimaVersione(QueryAux2, kStorico, {codice, numeroConPunto(numero)});
        LabelVersione->setText(prossima > 1 ? QString::number(prossima - 1) : QString());
    } catch (const DbError& e) {
        qWarning("versione non letta: %s", qPrintable(e.messaggio()));
    }
}

void TIniConfForm::cambioPagina(int pagina) {
    try {
        QueryStorico.close();
    } catch (const DbError&) {
    }
    const QList<QPushButton*> tutti = {ButtonNuovo,        ButtonEdit,      ButtonElimina,
                                       ButtonChiudi,       ButtonMemorizza, ButtonAnnulla,
                                       ButtonStoricoChiudi};
    for (QPushButton* b : tutti) {
        b->setEnabled(false);
    }
    NoteBookConfez->setCurrentIndex(pagina);
    if (pagina == 0) {
        for (QPushButton* b : tutti) {
            b->setEnabled(b != ButtonStoricoChiudi);
        }
    } else {
        ButtonStoricoChiudi->setEnabled(true);
        try {
            TransazioneStorico.restart();
            QueryStorico.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    }
    if (SolaLettura) {
        DisattivaControlliProfiloSicurezza();
    }
}

QStringList TIniConfForm::chiediNuovaChiave() {
    TNConfezForm f(
        sessione_,
        [this] {
            QStringList l;
            for (int i = 0; i < ComboCodRiempitrice->count(); ++i) {
                l << ComboCodRiempitrice->itemText(i);
            }
            return l;
        }(),
        [this] {
            QStringList l;
            for (int i = 0; i < ComboRiempitrice->count(); ++i) {
                l << ComboRiempitrice->itemText(i);
            }
            return l;
        }(),
        this);
    f.setWindowIcon(windowIcon());
    const QString codice = codiceCorrenteGriglia();
    if (!codice.isEmpty()) {
        f.scegliRiempitrice(codice);
        if (const auto n = Formati::leggiNumero(altreChiaviGriglia().value(0))) {
            f.EditNumeroProgressivo->setText(Formati::numeroInTesto(*n + 1));
        }
    }
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return {};
    }
    return {f.codiceScelto(), f.EditNumeroProgressivo->text().trimmed()};
}

void TIniConfForm::dopoNuovo() {
    impostaTesto(editazione(kCodice), descrizioneRiempitrice(CodiceCorrente));
}

void TIniConfForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    impostaTesto(editazione(kCodice), descrizioneRiempitrice(CodiceCorrente));
}

void TIniConfForm::dopoAggiornamento() {
    // on the save's own transaction, after its UPDATE: the version holds the
    // text just saved, and a failed copy leaves the text unsaved too
    const QStringList chiave = chiaveStorico();
    const QMap<QString, QString> ora = storico::riga(QueryAux, kStorico, chiave);
    const int ultima = storico::prossimaVersione(QueryAux, kStorico, chiave) - 1;
    bool cambiato = ultima == 0;
    for (auto it = ora.cbegin(); !cambiato && it != ora.cend(); ++it) {
        cambiato = rigaPrimaDellaModifica.value(it.key()) != it.value();
    }
    if (cambiato) {
        const int versione = storico::copia(QueryAux, kStorico, chiave, sessione_->NumUtente);
        LabelVersione->setText(QString::number(versione));
    }
}

void TIniConfForm::eliminaRecord(const QString& codice) {
    storico::copia(QueryAux, kStorico, chiaveStorico(), sessione_->NumUtente, true);
    SchedaBase::eliminaRecord(codice);
}

void TIniConfForm::closeEvent(QCloseEvent* e) {
    SchedaBase::closeEvent(e);
    if (e->isAccepted()) {
        try {
            QueryStorico.close();
        } catch (const DbError&) {
        }
    }
}

} // namespace quintar
