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

FinestraStessaPO::FinestraStessaPO(TTabXForm* sessione, const QString& codiceFormulazione,
                                   const DescrizioneStessaPO& d, QWidget* owner)
    : QDialog(owner), sessione_(sessione), codice_(codiceFormulazione),
      transazione_(&sessione->IBDatabase1), query_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(d.nome);
    setWindowTitle(d.titolo);
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
    Griglia = new TCSDGrid(this);
    Griglia->setObjectName(d.griglia);
    Griglia->CodiceProgetto = kProgetto;
    Griglia->Situazione = d.situazione;
    Griglia->Utente = sessione->NumUtente;
    Griglia->NomeTabella = d.tabella;
    Griglia->TabellaPiccola = true;
    Griglia->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
    Griglia->DittaCorrente = sessione->Ditta;
    Griglia->AbilitaRicerca = true;
    // the code is a formulation's, compared as text: nothing typed ever
    // becomes part of the statement
    Griglia->collega(&query_, [this, sql = d.sql] { return sql(sql::testoNonNullo(codice_)); });
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
    v->addWidget(Griglia, 1);
    v->addLayout(piede);
    resize(760, 420);

    if (!sessione->IBDatabase1.connected()) {
        return;
    }
    leggiFormulazione();
    try {
        transazione_.start();
        query_.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

FinestraStessaPO::~FinestraStessaPO() {
    Griglia->setSorgenteDati(nullptr);
}

void FinestraStessaPO::leggiFormulazione() {
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

void FinestraStessaPO::done(int r) {
    // closing the list saves its layout
    try {
        query_.close();
    } catch (const DbError&) {
    }
    QDialog::done(r);
}

TProdottiPOForm::TProdottiPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                                 QWidget* owner)
    : FinestraStessaPO(
          sessione, codiceFormulazione,
          {.nome = QStringLiteral("ProdottiPOForm"),
           .titolo = QStringLiteral("Prodotti stessa formulazione"),
           .griglia = QStringLiteral("GridProdot"),
           .situazione = 36,
           .tabella = QStringLiteral("PRODOT"),
           .sql =
               [](const QString& codice) {
                   return QStringList{
                       QStringLiteral("SELECT"), QStringLiteral("  *"),
                       QStringLiteral("FROM"),   QStringLiteral("  PRODOT"),
                       QStringLiteral("WHERE"),  QStringLiteral("  CODICEFORMULAZIONE=") + codice};
               }},
          owner),
      GridProdot(Griglia) {}

void TProdottiPOForm::mostra(TTabXForm* sessione, QWidget* owner,
                             const QString& codiceFormulazione) {
    TProdottiPOForm f(sessione, codiceFormulazione, owner);
    Messaggi::esegui(&f);
}

} // namespace quintar
