#include "config/convcapconf.h"

#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace quintar {

const QString TConvCapConfForm::kParametroElaborazione3 =
    QStringLiteral("ConvCapConfElaborazione3");

TConvCapConfForm::TConvCapConfForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), Transazione(&sessione->IBDatabase1),
      Query1(&sessione->IBDatabase1, &Transazione), Query2(&sessione->IBDatabase1, &Transazione) {
    setObjectName(QStringLiteral("ConvCapConfForm"));
    setWindowTitle(QStringLiteral("Converti codici capacità confezioni - Ditta: ") +
                   sessione->Ditta);
    auto pulsante = [this](const QString& t, const QString& n) {
        auto* b = new QPushButton(t, this);
        b->setObjectName(n);
        return b;
    };
    ButtonElab1 = pulsante(QStringLiteral("Elaborazione 1"), QStringLiteral("ButtonElab1"));
    ButtonElab2 = pulsante(QStringLiteral("Elaborazione 2"), QStringLiteral("ButtonElab2"));
    ButtonElab3 = pulsante(QStringLiteral("Elaborazione 3"), QStringLiteral("ButtonElab3"));
    ButtonChiudi = pulsante(QStringLiteral("Chiudi"), QStringLiteral("ButtonChiudi"));
    MemoRiepilogo = new QPlainTextEdit(this);
    MemoRiepilogo->setObjectName(QStringLiteral("MemoRiepilogo"));
    MemoRiepilogo->setReadOnly(true);
    BarraProgresso = new QProgressBar(this);
    BarraProgresso->setObjectName(QStringLiteral("BarraProgresso"));
    BarraProgresso->setRange(0, 100);
    BarraProgresso->hide();

    auto* g = new QGridLayout;
    const QString spiegazioni[] = {
        QStringLiteral("Verifica che in CAPCON1 non ci siano duplicazioni di descrizioni"),
        QStringLiteral("Popola in PRODOT il campo CODICECAPACITACONFEZIONE sulla base di "
                       "CONFEZIONEVENDITA"),
        QStringLiteral("Ripopola in FABBRIC il campo CAPACITACONTENITORE sulla base dei codici "
                       "equivalenti impostati in CAPCONF")};
    QPushButton* elab[] = {ButtonElab1, ButtonElab2, ButtonElab3};
    for (int i = 0; i < 3; ++i) {
        g->addWidget(elab[i], i, 0);
        auto* l = new QLabel(spiegazioni[i], this);
        l->setWordWrap(true);
        g->addWidget(l, i, 1);
    }
    g->setColumnStretch(1, 1);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addWidget(new QLabel(QStringLiteral("Riepilogo:"), this));
    v->addWidget(MemoRiepilogo, 1);
    v->addWidget(BarraProgresso);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonChiudi);
    v->addLayout(b);
    resize(640, 480);

    connect(ButtonElab1, &QPushButton::clicked, this, &TConvCapConfForm::ButtonElab1Click);
    connect(ButtonElab2, &QPushButton::clicked, this, &TConvCapConfForm::ButtonElab2Click);
    connect(ButtonElab3, &QPushButton::clicked, this, &TConvCapConfForm::ButtonElab3Click);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
}

void TConvCapConfForm::log(const QString& riga) {
    MemoRiepilogo->appendPlainText(riga);
}

void TConvCapConfForm::avanzamento(int n, int totale) {
    BarraProgresso->setValue(totale > 0 ? int(std::lround(100.0 * n / totale)) : 0);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int TConvCapConfForm::conta(const QStringList& select) {
    Query2.SQL = QStringList{QStringLiteral("SELECT"), QStringLiteral("  COUNT(*) AS TOT"),
                             QStringLiteral("FROM"), QStringLiteral("  (")} +
                 select + QStringList{QStringLiteral("  )")};
    return Query2.scalar().toInt();
}

void TConvCapConfForm::eseguiVoce(Query& q, const QString& voce) {
    try {
        q.execSQL();
    } catch (const DbError& e) {
        // one item that cannot be written stops the run: the elaboration is
        // taken back whole and the item is named
        throw DbError(voce + QStringLiteral("\r\n") + e.messaggio(), e.sqlCode(), e.gdsCode());
    }
}

void TConvCapConfForm::esegui(const QString& domanda, const std::function<void()>& lavoro) {
    if (!Messaggi::conferma(domanda, this)) {
        return;
    }
    setEnabled(false);
    BarraProgresso->setValue(0);
    BarraProgresso->show();
    try {
        if (Transazione.active()) {
            Transazione.rollback();
        }
        Transazione.start();
        lavoro();
        Query1.close();
        Transazione.commit();
        log(QStringLiteral("Elaborazione completata"));
        BarraProgresso->setValue(0);
        BarraProgresso->hide();
        setEnabled(true);
        Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
    } catch (const DbError& e) {
        try {
            Query1.close();
            Transazione.rollback();
        } catch (const DbError&) {
        }
        log(QStringLiteral("Errore interno durante l'elaborazione: ") + e.messaggio());
        log(QStringLiteral("Nessuna modifica è stata memorizzata"));
        BarraProgresso->setValue(0);
        BarraProgresso->hide();
        setEnabled(true);
        Messaggi::errore(
            QStringLiteral("Errore interno durante l'elaborazione\r\n") + e.messaggio(), this);
    }
}

void TConvCapConfForm::ButtonElab1Click() {
    MemoRiepilogo->clear();
    esegui(QStringLiteral("Avviare l'elaborazione 1?"), [this] {
        log(QStringLiteral("Verifica duplicazione descrizioni in CAPCON1"));
        Query1.SQL = {QStringLiteral("SELECT"),   QStringLiteral("  DESCRIZIONE"),
                      QStringLiteral("FROM"),     QStringLiteral("  CAPCON1"),
                      QStringLiteral("GROUP BY"), QStringLiteral("  DESCRIZIONE"),
                      QStringLiteral("HAVING"),   QStringLiteral("  COUNT(*)>1"),
                      QStringLiteral("ORDER BY"), QStringLiteral("  DESCRIZIONE")};
        for (Query1.open(); !Query1.eof(); Query1.next()) {
            log(QStringLiteral("Descrizione \"%1\" presente più volte")
                    .arg(Query1.field(0).asString()));
        }
    });
}

void TConvCapConfForm::ButtonElab2Click() {
    MemoRiepilogo->clear();
    esegui(QStringLiteral("Avviare l'elaborazione 2?"), [this] {
        log(QStringLiteral("Popolamento CODICECAPACITACONFEZIONE in PRODOT"));
        const QStringList confezioni = {
            QStringLiteral("SELECT DISTINCT"),
            QStringLiteral("  UPPER(CONFEZIONEVENDITA) AS CONFEZIONEVENDITA"),
            QStringLiteral("FROM"),
            QStringLiteral("  PRODOT"),
            QStringLiteral("WHERE"),
            QStringLiteral("  CONFEZIONEVENDITA IS NOT NULL"),
            QStringLiteral("ORDER BY"),
            QStringLiteral("  CONFEZIONEVENDITA")};
        const int totale = conta(confezioni);
        Database* db = Query1.database();
        Query cerca(db, &Transazione);
        cerca.SQL = {QStringLiteral("SELECT"), QStringLiteral("  CODICE"),
                     QStringLiteral("FROM"),   QStringLiteral("  CAPCON1"),
                     QStringLiteral("WHERE"),  QStringLiteral("  UPPER(DESCRIZIONE)=?")};
        Query aggiorna(db, &Transazione);
        aggiorna.SQL = {QStringLiteral("UPDATE PRODOT SET"),
                        QStringLiteral("CODICECAPACITACONFEZIONE=?"), QStringLiteral("WHERE"),
                        QStringLiteral("  UPPER(CONFEZIONEVENDITA)=?")};
        Query1.SQL = confezioni;
        int n = 0;
        for (Query1.open(); !Query1.eof(); Query1.next()) {
            avanzamento(++n, totale);
            const QString confezione = Query1.field(0).asString();
            cerca.setParams({confezione});
            const QVariant codice = cerca.scalar();
            if (!codice.isValid() || codice.isNull()) {
                log(QStringLiteral("La confezione vendita \"%1\" non ha codifica").arg(confezione));
                continue;
            }
            aggiorna.setParams({codice, confezione});
            eseguiVoce(aggiorna, QStringLiteral("Errore interno durante l'aggiornamento nei "
                                                "prodotti della confezione vendita \"%1\"")
                                     .arg(confezione));
        }
    });
}

void TConvCapConfForm::ButtonElab3Click() {
    MemoRiepilogo->clear();
    QString eseguita;
    try {
        eseguita = sessione_->LeggiValoreTabX(kParametroElaborazione3, false).value_or(QString());
    } catch (const DbError& e) {
        // without the check a second run could move the batches again
        Messaggi::errore(QStringLiteral("Errore interno: impossibile verificare se "
                                        "l'elaborazione 3 è già stata eseguita\r\n") +
                             e.messaggio(),
                         this);
        return;
    }
    // a second run would move again the batches already moved
    if (!eseguita.isEmpty() &&
        !Messaggi::conferma(
            QStringLiteral("L'elaborazione 3 è già stata eseguita (%1): i lotti già "
                           "convertiti potrebbero essere convertiti di nuovo. "
                           "Eseguirla ugualmente?")
                .arg(eseguita),
            this, true)) {
        return;
    }
    esegui(QStringLiteral("Avviare l'elaborazione 3?"), [this] {
        log(QStringLiteral("Ripopolamento CAPACITACONTENITORE in FABBRIC"));
        // the codes are compared as text: a batch holding something that is
        // not a number must not stop the run
        const QStringList coppie = {
            QStringLiteral("SELECT DISTINCT"),
            QStringLiteral("  A.CAPACITACONTENITORE,"),
            QStringLiteral("  B.CODICEEQUIVALENTEINPRODOTTI"),
            QStringLiteral("FROM"),
            QStringLiteral("  FABBRIC A"),
            QStringLiteral("  LEFT JOIN CAPCONF B ON"),
            QStringLiteral("  A.CAPACITACONTENITORE=CAST(B.CODICE AS VARCHAR(11))"),
            QStringLiteral("WHERE"),
            QStringLiteral("  A.CAPACITACONTENITORE IS NOT NULL"),
            QStringLiteral("  AND"),
            QStringLiteral("  B.CODICEEQUIVALENTEINPRODOTTI IS NOT NULL")};
        const int totale = conta(coppie);
        // every batch takes the code its original value leads to: a batch
        // already moved in this run (its record version is this
        // transaction's) is not moved again by a later pair
        Query aggiorna(Query1.database(), &Transazione);
        aggiorna.SQL = {QStringLiteral("UPDATE FABBRIC SET"),
                        QStringLiteral("  CAPACITACONTENITORE=?"),
                        QStringLiteral("WHERE"),
                        QStringLiteral("  CAPACITACONTENITORE=?"),
                        QStringLiteral("  AND"),
                        QStringLiteral("  RDB$RECORD_VERSION<>CURRENT_TRANSACTION")};
        Query1.SQL = coppie;
        int n = 0;
        for (Query1.open(); !Query1.eof(); Query1.next()) {
            avanzamento(++n, totale);
            const QString prec = Query1.field(0).asString();
            const QString succ = QString::number(Query1.field(1).asInteger());
            aggiorna.setParams({succ, prec});
            eseguiVoce(aggiorna, QStringLiteral("Errore interno durante l'aggiornamento nella "
                                                "fabbricazione della capacità \"%1\"")
                                     .arg(prec));
        }
        Query1.close();
        // recorded with the batches, in the same commit
        const QString quando =
            QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm")) +
            QStringLiteral(", utente ") + QString::number(sessione_->NumUtente);
        Query2.SQL = {QStringLiteral("UPDATE TABX SET TESTO=%1").arg(sql::testo(quando)),
                      QStringLiteral("WHERE (NOME=%1)AND(UTENTE IS NULL)")
                          .arg(sql::testoNonNullo(kParametroElaborazione3))};
        if (Query2.execSQL() == 0) {
            Query2.SQL = {QStringLiteral("INSERT INTO TABX (CODICE,NOME,TESTO,UTENTE) VALUES("),
                          QStringLiteral("GEN_ID(CODICETABXCOUNTER,1),"),
                          sql::testoNonNullo(kParametroElaborazione3) + ',',
                          sql::testo(quando) + ',', QStringLiteral("NULL)")};
            Query2.execSQL();
        }
    });
}

} // namespace quintar
