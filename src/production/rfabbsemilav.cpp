#include "production/rfabbsemilav.h"

#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/tcsdgrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

namespace {
constexpr int kSituazione = 46;
}

TRFabbSemiLavForm::TRFabbSemiLavForm(TTabXForm* sessione, const QString& codiceProdotto,
                                     QWidget* owner)
    : QDialog(owner), sessione_(sessione), prodotto_(codiceProdotto),
      transazione_(&sessione->IBDatabase1), query_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(QStringLiteral("RFabbSemiLavForm"));
    setWindowTitle(QStringLiteral("Ricerca fabbricazioni semilavorato"));
    if (owner) {
        setWindowIcon(owner->windowIcon());
    }
    EditCodice = new QLineEdit(codiceProdotto, this);
    EditCodice->setObjectName(QStringLiteral("EditCodice"));
    EditNome = new QLineEdit(this);
    EditNome->setObjectName(QStringLiteral("EditNome"));
    for (QLineEdit* e : {EditCodice, EditNome}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    GridFabbricazioni = new TCSDGrid(this);
    GridFabbricazioni->setObjectName(QStringLiteral("GridFabbricazioni"));
    GridFabbricazioni->CodiceProgetto = kProgetto;
    GridFabbricazioni->Situazione = kSituazione;
    GridFabbricazioni->Utente = sessione->NumUtente;
    GridFabbricazioni->NomeTabella = QStringLiteral("FABBRIC");
    GridFabbricazioni->TabellaPiccola = true;
    GridFabbricazioni->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
    GridFabbricazioni->DittaCorrente = sessione->Ditta;
    GridFabbricazioni->OrderBy = false;
    // newest first; the product is fixed, so date and lot end on the key
    GridFabbricazioni->collega(&query_, [this] {
        return QStringList{QStringLiteral("SELECT"),
                           QStringLiteral("  *"),
                           QStringLiteral("FROM"),
                           QStringLiteral("  FABBRIC"),
                           QStringLiteral("WHERE"),
                           QStringLiteral("  CODICE=") + sql::testoNonNullo(prodotto_),
                           QStringLiteral("ORDER BY"),
                           QStringLiteral("  DATA DESC,"),
                           QStringLiteral("  LOTTO DESC")};
    });
    ButtonRitorna = creaPulsante(QStringLiteral("&Ritorna"), QStringLiteral("ButtonRitorna"), this);
    ButtonAnnulla = creaPulsante(QStringLiteral("&Annulla"), QStringLiteral("ButtonAnnulla"), this);
    ButtonRitorna->setDefault(true);
    connect(ButtonRitorna, &QPushButton::clicked, this, &TRFabbSemiLavForm::ButtonRitornaClick);
    connect(ButtonAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(GridFabbricazioni, &QAbstractItemView::doubleClicked, this,
            &TRFabbSemiLavForm::ButtonRitornaClick);

    auto* testa = new QHBoxLayout;
    testa->addWidget(new QLabel(QStringLiteral("Fabbricazioni del semilavorato:"), this));
    testa->addWidget(EditCodice);
    testa->addWidget(EditNome, 1);
    auto* piede = new QHBoxLayout;
    piede->addStretch();
    piede->addWidget(ButtonRitorna);
    piede->addWidget(ButtonAnnulla);
    auto* v = new QVBoxLayout(this);
    v->addLayout(testa);
    v->addWidget(GridFabbricazioni, 1);
    v->addLayout(piede);
    resize(760, 420);

    if (!sessione->IBDatabase1.connected()) {
        return;
    }
    try {
        transazione_.start();
        Query nome(&sessione->IBDatabase1, &transazione_);
        nome.SQL = {
            QStringLiteral("SELECT"), QStringLiteral("  NOME"),
            QStringLiteral("FROM"),   QStringLiteral("  PRODOT"),
            QStringLiteral("WHERE"),  QStringLiteral("  CODICE=") + sql::testoNonNullo(prodotto_)};
        const QVariant n = nome.scalar();
        EditNome->setText(n.isValid() && !n.isNull() ? n.toString() : QString());
        query_.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

TRFabbSemiLavForm::~TRFabbSemiLavForm() {
    GridFabbricazioni->setSorgenteDati(nullptr);
}

bool TRFabbSemiLavForm::vuota() const {
    return GridFabbricazioni->modello()->rowCount() == 0 ||
           !GridFabbricazioni->currentIndex().isValid();
}

void TRFabbSemiLavForm::ButtonRitornaClick() {
    if (vuota()) {
        Messaggi::avviso(QStringLiteral("Nessuna fabbricazione selezionata"), this);
        return;
    }
    accept();
}

QString TRFabbSemiLavForm::codice() const {
    const Campo c = GridFabbricazioni->campoCorrente(QStringLiteral("CODICE"));
    return c.isNull() ? QString() : c.asString();
}

QDate TRFabbSemiLavForm::data() const {
    const Campo c = GridFabbricazioni->campoCorrente(QStringLiteral("DATA"));
    return c.isNull() ? QDate() : c.asDate();
}

QString TRFabbSemiLavForm::lotto() const {
    const Campo c = GridFabbricazioni->campoCorrente(QStringLiteral("LOTTO"));
    return c.isNull() ? QString() : c.asString();
}

} // namespace quintar
