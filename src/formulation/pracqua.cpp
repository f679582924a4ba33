#include "formulation/pracqua.h"

#include "master/mater.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/modificatidaaltri.h"
#include "session/profili.h"
#include "session/tabx.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

// PRACQUA.CODICEMATERIAPRIMA, MATER.CODICE
constexpr int kLunghezzaCodice = 20;

QLineEdit* sola(QWidget* parent, const QString& nome) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(nome);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    e->setPalette(p);
    return e;
}

} // namespace

TPrAcquaForm::TPrAcquaForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), transazione_(&sessione->IBDatabase1) {
    setObjectName(QStringLiteral("PrAcquaForm"));
    impostaDidascalia(QStringLiteral("Impostazioni prezzo acqua addolcita - Ditta:"));

    ButtonCodAcqua = new QPushButton(QStringLiteral("&Cod. Acqua"), this);
    ButtonCodAcqua->setObjectName(QStringLiteral("ButtonCodAcqua"));
    ButtonCodAcqua->setAutoDefault(false);
    EditCodAcqua = new QLineEdit(this);
    EditCodAcqua->setObjectName(QStringLiteral("EditCodAcqua"));
    EditCodAcqua->setMaxLength(kLunghezzaCodice);
    EditDescrizione = sola(this, QStringLiteral("EditDescrizione"));
    EditPrezzo = sola(this, QStringLiteral("EditPrezzo"));
    auto* g = new QGridLayout;
    g->addWidget(ButtonCodAcqua, 0, 0);
    g->addWidget(new QLabel(QStringLiteral("Descrizione"), this), 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Prezzo"), this), 0, 2);
    g->addWidget(EditCodAcqua, 1, 0);
    g->addWidget(EditDescrizione, 1, 1);
    g->addWidget(EditPrezzo, 1, 2);
    g->setColumnStretch(1, 1);

    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonAnnulla = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonAnnulla->setObjectName(QStringLiteral("ButtonAnnulla"));
    ButtonAnnulla->setAutoDefault(false);
    ButtonAnnulla->setShortcut(QKeySequence(Qt::Key_Escape));
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonOk);
    h->addWidget(ButtonAnnulla);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addStretch();
    v->addLayout(h);

    TimerCodAcqua = new QTimer(this);
    TimerCodAcqua->setObjectName(QStringLiteral("TimerCodAcqua"));
    TimerCodAcqua->setSingleShot(true);
    TimerCodAcqua->setInterval(1000);

    connect(EditCodAcqua, &QLineEdit::textChanged, this, [this] {
        TimerCodAcqua->stop();
        EditDescrizione->clear();
        EditPrezzo->clear();
        TimerCodAcqua->start();
    });
    connect(TimerCodAcqua, &QTimer::timeout, this, &TPrAcquaForm::TimerCodAcquaTimer);
    connect(ButtonCodAcqua, &QPushButton::clicked, this, &TPrAcquaForm::ButtonCodAcquaClick);
    connect(ButtonOk, &QPushButton::clicked, this, &TPrAcquaForm::ButtonOkClick);
    connect(ButtonAnnulla, &QPushButton::clicked, this, &TPrAcquaForm::ButtonAnnullaClick);

    SolaLettura = VerificaProfiloSicurezza(*sessione);
    try {
        carica();
    } catch (const DbError& e) {
        Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio(), this);
    }
    if (SolaLettura) {
        DisattivaControlli(this, {QStringLiteral("ButtonOk")});
    }
    resize(520, sizeHint().height());
    setFixedSize(size());
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TPrAcquaForm::carica() {
    transazione_.restart();
    letta_ = leggi();
    lettaNota_ = true;
    transazione_.commit();
    if (letta_) {
        EditCodAcqua->setText(*letta_);
    }
}

TPrAcquaForm::Scelta TPrAcquaForm::leggi(int* righe) {
    Query q(&sessione_->IBDatabase1, &transazione_);
    // PRACQUA has no key: its first row is the first one stored
    q.SQL = {QStringLiteral("SELECT CODICEMATERIAPRIMA FROM PRACQUA"),
             QStringLiteral("ORDER BY RDB$DB_KEY")};
    q.open();
    Scelta scelta;
    int n = 0;
    for (; !q.eof(); q.next()) {
        if (n++ == 0) {
            scelta = q.field(0).asString();
        }
    }
    q.close();
    if (righe) {
        *righe = n;
    }
    return scelta;
}

void TPrAcquaForm::mostraCambiata(const Scelta& scelta) {
    letta_ = scelta;
    lettaNota_ = true;
    EditCodAcqua->setText(scelta.value_or(QString()));
    Messaggi::avviso(testoModificatiDaAltri(), this);
    EditCodAcqua->setFocus();
}

void TPrAcquaForm::TimerCodAcquaTimer() {
    TimerCodAcqua->stop();
    const QString codice = EditCodAcqua->text();
    if (codice.isEmpty()) {
        return;
    }
    try {
        // today's name and price
        transazione_.restart();
        Query q(&sessione_->IBDatabase1, &transazione_);
        q.SQL = {QStringLiteral("SELECT NOMECOMMERCIALE,PREZZO FROM MATER WHERE"),
                 QStringLiteral("CODICE=?")};
        q.setParams({codice});
        q.open();
        if (!q.eof()) {
            EditDescrizione->setText(q.field(0).asString());
            const Campo prezzo = q.field(1);
            EditPrezzo->setText(prezzo.isNull() ? QString()
                                                : Formati::numeroInTesto(prezzo.asFloat()));
        }
        q.close();
        transazione_.commit();
    } catch (const DbError& e) {
        // a look-up that failed leaves the fields empty; the save checks again
        qWarning("acqua addolcita non decodificata: %s", qPrintable(e.messaggio()));
        transazione_.rollbackRetainingNoThrow();
    }
}

void TPrAcquaForm::ButtonCodAcquaClick() {
    // the list is not positioned and its tab set stays visible
    if (const auto scelta =
            TMaterForm::scegli(sessione_, this, {.codice = {}, .nascondiSchede = false})) {
        EditCodAcqua->setText(scelta->codice);
    }
    EditCodAcqua->setFocus();
}

void TPrAcquaForm::ButtonOkClick() {
    const QString codice = EditCodAcqua->text();
    const bool vuoto = codice.trimmed().isEmpty();
    try {
        // a fresh snapshot: the row as it stands now. A change another user
        // commits after it makes the write below fail at once.
        transazione_.restart();
        Query q(&sessione_->IBDatabase1, &transazione_);
        if (!vuoto) {
            q.SQL = {QStringLiteral("SELECT COUNT(*) FROM MATER WHERE CODICE=?")};
            q.setParams({codice});
            if (q.scalar().toLongLong() == 0) {
                transazione_.commit();
                Messaggi::avviso(
                    QStringLiteral("Attenzione: il codice impostato non è presente in archivio"),
                    this);
                EditCodAcqua->setFocus();
                return;
            }
            q.clearParams();
        }
        int righe = 0;
        const Scelta ora = leggi(&righe);
        if (!lettaNota_ || ora != letta_) {
            transazione_.commit();
            mostraCambiata(ora);
            return;
        }
        if (righe == 0 && vuoto) {
            transazione_.commit();
            close();
            return;
        }
        if (righe == 0) {
            // of two first choices at once one inserts; the other fails on
            // the table's one-row index and is told below
            q.SQL = {QStringLiteral("INSERT INTO PRACQUA(CODICEMATERIAPRIMA) VALUES(?)")};
            q.setParams({codice});
        } else if (righe > 1) {
            // an archive older than the one-row index may hold more rows, and
            // the formulations price water only from a single one: one is left
            q.SQL = {QStringLiteral("DELETE FROM PRACQUA")};
            q.execSQL();
            q.SQL = {QStringLiteral("INSERT INTO PRACQUA(CODICEMATERIAPRIMA) VALUES(?)")};
            q.setParams({vuoto ? QVariant() : QVariant(codice)});
        } else if (vuoto) {
            q.SQL = {QStringLiteral("UPDATE PRACQUA SET"),
                     QStringLiteral("CODICEMATERIAPRIMA=NULL")};
        } else {
            q.SQL = {QStringLiteral("UPDATE PRACQUA SET"), QStringLiteral("CODICEMATERIAPRIMA=?")};
            q.setParams({codice});
        }
        q.execSQL();
        transazione_.commit();
    } catch (const DbError& e) {
        qWarning("acqua addolcita non memorizzata: %s", qPrintable(e.messaggio()));
        // nothing was written
        transazione_.rollbackRetainingNoThrow();
        // committed by another user meanwhile, the row is no longer as read;
        // still pending, it is held and the save fails as any other
        if (const auto ora = cambiatoDaAltri(
                transazione_, e, [this] { return leggi(); }, letta_)) {
            mostraCambiata(*ora);
            return;
        }
        Messaggi::errore(QStringLiteral("Errore interno: impossibile salvare le modifiche"), this);
    }
    close();
}

void TPrAcquaForm::ButtonAnnullaClick() {
    close();
}

} // namespace quintar
