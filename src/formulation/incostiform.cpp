#include "formulation/incostiform.h"

#include "formulation/calcolocosti.h"
#include "master/prodotti.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/protezione.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

std::optional<double> tempoPerScaglioni(qint64 quantita, qint64 scaglione1, qint64 scaglione2,
                                        double tempo1, double tempo2, double tempo3) {
    if (quantita <= 0) {
        return std::nullopt;
    }
    const double tempo = quantita <= scaglione1 ? tempo1 : quantita <= scaglione2 ? tempo2 : tempo3;
    return costi::ArrotondaDecimali(tempo / double(quantita), 6);
}

namespace {

QLineEdit* edit(QWidget* parent, const char* nome, bool soloLettura = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(nome));
    if (soloLettura) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    return e;
}

// Whole numbers only; the times also take the decimal comma (never the point).
void soloCifre(QLineEdit* e, bool decimali) {
    const QString schema = decimali ? QStringLiteral("[0-9]*,?[0-9]*") : QStringLiteral("[0-9]*");
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(schema), e));
}

// A label that picks its radio button when clicked.
class EtichettaRadio : public QLabel {
public:
    EtichettaRadio(const QString& testo, QRadioButton* radio, QWidget* parent)
        : QLabel(testo, parent), radio_(radio) {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        radio_->setChecked(true);
        QLabel::mousePressEvent(e);
    }

private:
    QRadioButton* radio_;
};

} // namespace

TInCostiForm::TInCostiForm(TTabXForm* sessione, QWidget* owner)
    : QDialog(owner), sessione_(sessione), transazione_(&sessione->IBDatabase1),
      query_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(QStringLiteral("InCostiForm"));
    setWindowTitle(QStringLiteral("Analisi costi inserimento - Ditta:") + ' ' + sessione->Ditta);

    auto* g = new QGridLayout;
    int riga = 0;
    auto aggiungi = [&](QWidget* didascalia, QWidget* campo, QWidget* accanto = nullptr) {
        g->addWidget(didascalia, riga, 0);
        g->addWidget(campo, riga, 1);
        if (accanto) {
            g->addWidget(accanto, riga, 2);
        }
        ++riga;
    };
    EditDescrizione = edit(this, "EditDescrizione");
    EditDescrizione->setMaxLength(128);
    aggiungi(new QLabel(QStringLiteral("Descrizione"), this), EditDescrizione);
    ButtonCodiceProdotto =
        creaPulsante(QStringLiteral("Cod.&Prodotto"), QStringLiteral("ButtonCodiceProdotto"), this);
    EditCodiceProdotto = edit(this, "EditCodiceProdotto");
    EditCodiceProdotto->setMaxLength(20);
    StaticDescrizioneProdotto = edit(this, "StaticDescrizioneProdotto", true);
    aggiungi(ButtonCodiceProdotto, EditCodiceProdotto, StaticDescrizioneProdotto);
    StaticUDM = edit(this, "StaticUDM", true);
    aggiungi(new QLabel(QStringLiteral("UDM"), this), StaticUDM);
    EditQuantitaDaProdurre = edit(this, "EditQuantitaDaProdurre");
    soloCifre(EditQuantitaDaProdurre, false);
    aggiungi(new QLabel(QStringLiteral("Q.tà da produrre"), this), EditQuantitaDaProdurre);
    ComboRiempitrice = new QComboBox(this);
    ComboRiempitrice->setObjectName(QStringLiteral("ComboRiempitrice"));
    aggiungi(new QLabel(QStringLiteral("Riempitrice"), this), ComboRiempitrice);
    ButtonTempoProduzione = creaPulsante(QStringLiteral("&Tempo Produz."),
                                         QStringLiteral("ButtonTempoProduzione"), this);
    EditTempoProduzione = edit(this, "EditTempoProduzione");
    soloCifre(EditTempoProduzione, true);
    aggiungi(ButtonTempoProduzione, EditTempoProduzione);
    EditTempoAvvio = edit(this, "EditTempoAvvio");
    soloCifre(EditTempoAvvio, true);
    aggiungi(new QLabel(QStringLiteral("Tempo Avvio"), this), EditTempoAvvio);
    EditTempoControlloQualita = edit(this, "EditTempoControlloQualita");
    soloCifre(EditTempoControlloQualita, true);
    aggiungi(new QLabel(QStringLiteral("Tempo Contr.Qualità"), this), EditTempoControlloQualita);
    ButtonTempoConfezionamento = creaPulsante(QStringLiteral("Tempo &Conf."),
                                              QStringLiteral("ButtonTempoConfezionamento"), this);
    EditTempoConfezionamento = edit(this, "EditTempoConfezionamento");
    soloCifre(EditTempoConfezionamento, true);
    aggiungi(ButtonTempoConfezionamento, EditTempoConfezionamento);

    auto* tipo = new QGroupBox(this);
    tipo->setObjectName(QStringLiteral("RadioTipoScheda"));
    auto* ht = new QHBoxLayout(tipo);
    RadioPrimaria = new QRadioButton(QStringLiteral("Primaria"), tipo);
    RadioSecondaria = new QRadioButton(QStringLiteral("Secondaria"), tipo);
    RadioPrimaria->setChecked(true);
    ht->addWidget(RadioPrimaria);
    ht->addWidget(RadioSecondaria);
    g->addWidget(tipo, riga++, 0, 1, 3);

    QHBoxLayout* bottoni = pulsantiOkAnnulla(this, OKBtn, CancelBtn);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(bottoni);

    TimerProdot = new QTimer(this);
    TimerProdot->setObjectName(QStringLiteral("TimerProdot"));
    TimerProdot->setSingleShot(true);
    TimerProdot->setInterval(1000);
    connect(TimerProdot, &QTimer::timeout, this, protetto(this, [this] { leggiProdotto(); }));
    connect(EditCodiceProdotto, &QLineEdit::textChanged, this, [this] {
        StaticDescrizioneProdotto->clear();
        StaticUDM->clear();
        TimerProdot->start();
    });
    connect(ButtonCodiceProdotto, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonCodiceProdottoClick(); }));
    connect(ButtonTempoProduzione, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonTempoClick(false); }));
    connect(ButtonTempoConfezionamento, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonTempoClick(true); }));

    ComboRiempitrice->addItem(QString());
    codiciRiempitrici_ << QString();
    try {
        transazione_.start();
        query_.SQL = {QStringLiteral("SELECT CODICE,SPECIFICHE FROM RIEMPIT ORDER BY "
                                     "SPECIFICHE,CODICE")};
        query_.open();
        while (!query_.eof()) {
            codiciRiempitrici_ << query_[QStringLiteral("CODICE")].asString();
            ComboRiempitrice->addItem(query_[QStringLiteral("SPECIFICHE")].asString());
            query_.next();
        }
        query_.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

TInCostiForm::~TInCostiForm() = default;

QString TInCostiForm::codiceRiempitrice() const {
    return codiciRiempitrici_.value(ComboRiempitrice->currentIndex());
}

bool TInCostiForm::secondaria() const {
    return RadioSecondaria->isChecked();
}

void TInCostiForm::leggiProdotto() {
    TimerProdot->stop();
    query_.SQL = {QStringLiteral("SELECT NOME,UNITAVENDITA FROM PRODOT WHERE"),
                  QStringLiteral("CODICE=?")};
    query_.setParams({EditCodiceProdotto->text()});
    try {
        transazione_.restart();
        query_.open();
        if (!query_.eof()) {
            StaticDescrizioneProdotto->setText(query_[QStringLiteral("NOME")].asString());
            StaticUDM->setText(query_[QStringLiteral("UNITAVENDITA")].asString());
        }
        query_.close();
    } catch (const DbError& e) {
        query_.clearParams();
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    query_.clearParams();
}

void TInCostiForm::ButtonCodiceProdottoClick() {
    if (const auto scelta = TProdottiForm::scegli(sessione_, this, EditCodiceProdotto->text())) {
        EditCodiceProdotto->setText(scelta->codice);
        TimerProdot->stop();
        StaticDescrizioneProdotto->setText(scelta->nome);
        StaticUDM->setText(scelta->unitaVendita);
    }
}

void TInCostiForm::ButtonTempoClick(bool confezionamento) {
    const auto quantita = Formati::leggiIntero(EditQuantitaDaProdurre->text());
    // no quantity, or one of 0, leaves nothing to divide by
    if (!quantita || *quantita <= 0) {
        Messaggi::avviso(QStringLiteral("Specificare un valore per \"Q.tà da produrre\""), this);
        return;
    }
    if (Messaggi::chiedi(TipoMessaggio::Informazione,
                         QStringLiteral("Assegno il tempo in base agli scaglioni quantità?"),
                         {QStringLiteral("&Sì"), QStringLiteral("&No")}, QStringLiteral("Sì"),
                         this) != QStringLiteral("Sì")) {
        return;
    }
    if (confezionamento) {
        query_.SQL = {QStringLiteral("SELECT SCAGLIONE1,SCAGLIONE2,TEMPO1,TEMPO2,TEMPO3"),
                      QStringLiteral("FROM PRODOT WHERE CODICE=?")};
    } else {
        query_.SQL = {QStringLiteral("SELECT B.SCAGLIONE1,B.SCAGLIONE2,B.TEMPO1,B.TEMPO2,B.TEMPO3"),
                      QStringLiteral("FROM PRODOT A LEFT JOIN FORMUL B ON"),
                      QStringLiteral("(A.CODICEFORMULAZIONE=B.CODICE)"),
                      QStringLiteral("WHERE (A.CODICE=?)")};
    }
    query_.setParams({EditCodiceProdotto->text()});
    std::optional<double> tempo;
    bool trovato = false;
    try {
        transazione_.restart();
        query_.open();
        trovato = !query_.eof();
        if (trovato) {
            auto intero = [this](const char* c) {
                return qint64(query_[QString::fromLatin1(c)].asFloat());
            };
            auto numero = [this](const char* c) {
                return query_[QString::fromLatin1(c)].asFloat();
            };
            tempo = tempoPerScaglioni(*quantita, intero("SCAGLIONE1"), intero("SCAGLIONE2"),
                                      numero("TEMPO1"), numero("TEMPO2"), numero("TEMPO3"));
        }
        query_.close();
    } catch (const DbError& e) {
        query_.clearParams();
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    query_.clearParams();
    if (!trovato) {
        Messaggi::avviso(QStringLiteral("Attenzione: il codice prodotto impostato è inesistente"),
                         this);
        return;
    }
    (confezionamento ? EditTempoConfezionamento : EditTempoProduzione)
        ->setText(Formati::numeroInTesto(*tempo));
}

// ------------------------------------------------------------------ search

TRSchedeForm::TRSchedeForm(TTabXForm* sessione, QWidget* owner)
    : SchermataRicerca(
          sessione,
          {.tabella = QStringLiteral("COSTI"),
           .nome = QStringLiteral("Schede"),
           .didascalia = QStringLiteral("Ricerca schede secondarie - Ditta:"),
           .situazioneFinestra = 9,
           .situazioneGriglia = 12,
           .sqlBase = {QStringLiteral("SELECT * FROM COSTI WHERE (TIPOSCHEDA='1')")},
           .campi = {{QStringLiteral("CODICE"), QStringLiteral("Codice"),
                      QStringLiteral("ButtonRicercaCodice"), QStringLiteral("EditRicercaCodice"),
                      QStringLiteral("EditCodice2")},
                     {QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                      QStringLiteral("ButtonRicercaNome"), QStringLiteral("EditRicercaNome"),
                      QStringLiteral("EditDescrizione2")}}},
          owner) {}

std::optional<QString> TRSchedeForm::scegli(TTabXForm* sessione, QWidget* owner) {
    TRSchedeForm f(sessione, owner);
    if (owner) {
        f.setWindowIcon(owner->windowIcon());
    }
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return std::nullopt;
    }
    return f.valoreScelto(QStringLiteral("CODICE"));
}

// ------------------------------------------------------------------ calculation types

DialogoTipoCalcolo::DialogoTipoCalcolo(QWidget* owner, const QString& nome,
                                       const QString& didascalia, const QString& gruppo,
                                       const QStringList& etichette)
    : QDialog(owner) {
    setObjectName(nome);
    setWindowTitle(didascalia);
    auto* box = new QGroupBox(this);
    box->setObjectName(gruppo);
    Radio = new QButtonGroup(this);
    auto* g = new QGridLayout(box);
    for (int i = 0; i < etichette.size(); ++i) {
        auto* r = new QRadioButton(box);
        r->setObjectName(gruppo + QString::number(i));
        Radio->addButton(r, i);
        g->addWidget(r, i, 0);
        g->addWidget(new EtichettaRadio(etichette[i], r, box), i, 1);
    }
    QHBoxLayout* bottoni = pulsantiOkAnnulla(this, OKBtn, CancelBtn);
    auto* v = new QVBoxLayout(this);
    v->addWidget(box);
    v->addLayout(bottoni);
    impostaIndice(0);
}

int DialogoTipoCalcolo::indice() const {
    return std::max(0, Radio->checkedId());
}

void DialogoTipoCalcolo::impostaIndice(int i) {
    QAbstractButton* b = Radio->button(i);
    (b ? b : Radio->button(0))->setChecked(true);
}

TCostiTipoCalcoloTForm::TCostiTipoCalcoloTForm(QWidget* owner)
    : DialogoTipoCalcolo(owner, QStringLiteral("CostiTipoCalcoloTForm"),
                         QStringLiteral("Tipo calcolo T"), QStringLiteral("RadioTipoCalcT"),
                         {QStringLiteral("Util.costo calc.\r\nnella formul.del prod. + \r\ncosti "
                                         "schede second."),
                          QStringLiteral("Util.solo costi\r\nschede second.")}) {}

TCostiTipoCalcTUForm::TCostiTipoCalcTUForm(QWidget* owner)
    : DialogoTipoCalcolo(owner, QStringLiteral("CostiTipoCalcTUForm"),
                         QStringLiteral("Tipo calcolo TU"), QStringLiteral("RadioTipoCalcTU"),
                         {QStringLiteral("Calc.1"), QStringLiteral("Calc.2"),
                          QStringLiteral("Calc.3"), QStringLiteral("Calc.4")}) {}

} // namespace quintar
