#include "master/prodottipo.h"

#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/posizionefinestra.h"
#include "ui/tcsdgrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

TProdottiPOForm::TProdottiPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                                 QWidget* owner)
    : QDialog(owner), sessione_(sessione), codice_(codiceFormulazione),
      transazione_(&sessione->IBDatabase1), queryProdot_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(QStringLiteral("ProdottiPOForm"));
    setWindowTitle(QStringLiteral("Prodotti stessa formulazione"));
    if (owner) {
        setWindowIcon(owner->windowIcon());
    }
    EditCodicePO = new QLineEdit(this);
    EditCodicePO->setObjectName(QStringLiteral("EditCodicePO"));
    EditDescrizionePO = new QLineEdit(this);
    EditDescrizionePO->setObjectName(QStringLiteral("EditDescrizionePO"));
    for (QLineEdit* e : {EditCodicePO, EditDescrizionePO}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    GridProdot = new TCSDGrid(this);
    GridProdot->setObjectName(QStringLiteral("GridProdot"));
    GridProdot->CodiceProgetto = kProgetto;
    GridProdot->Situazione = 36;
    GridProdot->Utente = sessione->NumUtente;
    GridProdot->NomeTabella = QStringLiteral("PRODOT");
    GridProdot->TabellaPiccola = true;
    GridProdot->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
    GridProdot->DittaCorrente = sessione->Ditta;
    GridProdot->AbilitaRicerca = true;
    // the code is a formulation's, compared as text: nothing typed ever
    // becomes part of the statement
    GridProdot->collega(&queryProdot_, [this] {
        return QStringList{QStringLiteral("SELECT"),
                           QStringLiteral("  *"),
                           QStringLiteral("FROM"),
                           QStringLiteral("  PRODOT"),
                           QStringLiteral("WHERE"),
                           QStringLiteral("  CODICEFORMULAZIONE=") + sql::testoNonNullo(codice_)};
    });
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);

    auto* testa = new QHBoxLayout;
    testa->addWidget(new QLabel(QStringLiteral("P.O."), this));
    testa->addWidget(EditCodicePO);
    testa->addWidget(EditDescrizionePO, 1);
    auto* piede = new QHBoxLayout;
    piede->addStretch();
    piede->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(testa);
    v->addWidget(GridProdot, 1);
    v->addLayout(piede);
    resize(760, 420);

    if (!sessione->IBDatabase1.connected()) {
        return;
    }
    leggiFormulazione();
    try {
        transazione_.start();
        queryProdot_.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

TProdottiPOForm::~TProdottiPOForm() {
    GridProdot->setSorgenteDati(nullptr);
}

void TProdottiPOForm::leggiFormulazione() {
    try {
        Transaction t(&sessione_->IBDatabase1);
        Query q(&sessione_->IBDatabase1, &t);
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("  CODICE,"),
                 QStringLiteral("  NOME"),
                 QStringLiteral("FROM"),
                 QStringLiteral("  FORMUL"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  CODICE=") + sql::testoNonNullo(codice_)};
        q.open();
        if (!q.eof()) {
            EditCodicePO->setText(q[QStringLiteral("CODICE")].asString());
            EditDescrizionePO->setText(q[QStringLiteral("NOME")].asString());
        }
        q.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

void TProdottiPOForm::done(int r) {
    // closing the list saves its layout
    try {
        queryProdot_.close();
    } catch (const DbError&) {
    }
    QDialog::done(r);
}

void TProdottiPOForm::mostra(TTabXForm* sessione, QWidget* owner,
                             const QString& codiceFormulazione) {
    TProdottiPOForm f(sessione, codiceFormulazione, owner);
    Messaggi::esegui(&f);
}

} // namespace quintar
