#include "production/inprod.h"

#include "master/prodotti.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/protezione.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

// Codes and lots are stored with ´ for the apostrophe.
void senzaApici(QLineEdit* e) {
    if (e->text().contains('\'')) {
        e->setText(sql::senzaApici(e->text()));
    }
}

} // namespace

TInProdForm::TInProdForm(TTabXForm* sessione, Query& q, QWidget* owner)
    : QDialog(owner), sessione_(sessione), q_(q) {
    setObjectName(QStringLiteral("InProdForm"));
    setWindowTitle(QStringLiteral("Nuova produzione - Ditta: ") + sessione->Ditta);
    auto* g = new QGridLayout;
    ButtonProdotto =
        creaPulsante(QStringLiteral("&Prodotto"), QStringLiteral("ButtonProdotto"), this);
    EditProdotto = new QLineEdit(this);
    EditProdotto->setObjectName(QStringLiteral("EditProdotto"));
    EditProdotto->setMaxLength(20);
    EditNomeProdotto = new QLineEdit(this);
    EditNomeProdotto->setObjectName(QStringLiteral("EditNomeProdotto"));
    EditNomeProdotto->setReadOnly(true);
    EditNomeProdotto->setFocusPolicy(Qt::NoFocus);
    EditNomeProdotto->setMinimumWidth(260);
    EditData = new QLineEdit(Formati::dataInTesto(QDate::currentDate()), this);
    EditData->setObjectName(QStringLiteral("EditData"));
    EditData->setMaxLength(10);
    EditLotto = new QLineEdit(this);
    EditLotto->setObjectName(QStringLiteral("EditLotto"));
    EditLotto->setMaxLength(20);
    g->addWidget(ButtonProdotto, 0, 0);
    g->addWidget(EditProdotto, 0, 1);
    g->addWidget(EditNomeProdotto, 0, 2);
    auto* data = new QLabel(QStringLiteral("Data"), this);
    data->setBuddy(EditData);
    g->addWidget(data, 1, 0);
    g->addWidget(EditData, 1, 1);
    auto* lotto = new QLabel(QStringLiteral("Lotto"), this);
    lotto->setBuddy(EditLotto);
    g->addWidget(lotto, 2, 0);
    g->addWidget(EditLotto, 2, 1);
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonOk);
    h->addWidget(ButtonCancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(h);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    TimerProdotto = new QTimer(this);
    TimerProdotto->setObjectName(QStringLiteral("TimerProdotto"));
    TimerProdotto->setSingleShot(true);
    TimerProdotto->setInterval(1000);
    connect(EditProdotto, &QLineEdit::textChanged, TimerProdotto, qOverload<>(&QTimer::start));
    connect(TimerProdotto, &QTimer::timeout, this,
            protetto(this, [this] { decodificaProdotto(); }));
    connect(EditProdotto, &QLineEdit::editingFinished, this, [this] { senzaApici(EditProdotto); });
    connect(EditLotto, &QLineEdit::editingFinished, this, [this] { senzaApici(EditLotto); });
    connect(ButtonProdotto, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonProdottoClick(); }));
    connect(ButtonOk, &QPushButton::clicked, this, protetto(this, [this] { ButtonOkClick(); }));
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TInProdForm::codice() const {
    return sql::senzaApici(EditProdotto->text());
}

QDate TInProdForm::data() const {
    return Formati::leggiData(EditData->text());
}

QString TInProdForm::lotto() const {
    return sql::senzaApici(EditLotto->text());
}

void TInProdForm::decodificaProdotto() {
    TimerProdotto->stop();
    EditNomeProdotto->clear();
    if (codice().isEmpty()) {
        return;
    }
    try {
        q_.transaction()->restart();
        q_.SQL = {QStringLiteral("SELECT NOME FROM PRODOT WHERE"),
                  QStringLiteral("CODICE=") + sql::testoNonNullo(codice())};
        q_.open();
        if (!q_.eof()) {
            EditNomeProdotto->setText(q_[QStringLiteral("NOME")].asString());
        }
        q_.close();
    } catch (const DbError& e) {
        qWarning("nome del prodotto non letto: %s", qPrintable(e.messaggio()));
    }
}

void TInProdForm::ButtonProdottoClick() {
    if (auto s = TProdottiForm::scegli(sessione_, this, codice())) {
        EditProdotto->setText(s->codice);
    }
}

QString TInProdForm::verifica(QWidget*& campo) {
    senzaApici(EditProdotto);
    senzaApici(EditLotto);
    campo = EditProdotto;
    if (codice().trimmed().isEmpty()) {
        return QStringLiteral("Specificare un prodotto");
    }
    campo = EditData;
    if (EditData->text().trimmed().isEmpty()) {
        return QStringLiteral("Specificare una data");
    }
    if (!data().isValid()) {
        return QStringLiteral("Specificare una data valida per \"Data\"");
    }
    campo = EditLotto;
    if (lotto().trimmed().isEmpty()) {
        return QStringLiteral("Specificare un lotto");
    }
    q_.transaction()->restart();
    q_.SQL = {QStringLiteral("SELECT COUNT(*) FROM PRODOT WHERE"),
              QStringLiteral("CODICE=") + sql::testoNonNullo(codice())};
    campo = EditProdotto;
    if (q_.scalar().toInt() == 0) {
        return QStringLiteral("Il prodotto specificato non esiste");
    }
    q_.SQL = {
        QStringLiteral("SELECT COUNT(*) FROM FABBRIC WHERE"),
        QStringLiteral("(CODICE=%1)AND(DATA=%2)AND(LOTTO=%3)")
            .arg(sql::testoNonNullo(codice()), sql::data(data()), sql::testoNonNullo(lotto()))};
    if (q_.scalar().toInt() > 0) {
        return QStringLiteral("Esiste già un record con la combinazione di valori inseriti");
    }
    return {};
}

void TInProdForm::ButtonOkClick() {
    QWidget* campo = nullptr;
    QString avviso;
    try {
        avviso = verifica(campo);
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    if (!avviso.isEmpty()) {
        Messaggi::avviso(avviso, this);
        if (campo) {
            campo->setFocus();
        }
        return;
    }
    accept();
}

} // namespace quintar
