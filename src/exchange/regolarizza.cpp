#include "exchange/regolarizza.h"

#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "ui/lavorazione.h"
#include "ui/protezione.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <optional>
#include <vector>

namespace quintar {

namespace {

// A packaging slot of products and batches.
struct Slot {
    const char* nomeProdotto;   // IMBALLOCONTENITORE
    const char* codiceProdotto; // CODICEIMBALLOCONTENITORE
    const char* nomeFabbric;    // CONTENITORE
    const char* codiceFabbric;  // CODICECONTENITORE
    const char* tipo;           // packaging type (TPIMBA.DESCRIZIONE) upper case, "" for any
    const char* parola;         // the slot in messages
};

const std::array<Slot, 6> kSlot = {{
    {"IMBALLOCONTENITORE", "CODICEIMBALLOCONTENITORE", "CONTENITORE", "CODICECONTENITORE",
     "CONTENITORE", "contenitore"},
    {"IMBALLOTAPPO", "CODICEIMBALLOTAPPO", "TAPPO", "CODICETAPPO", "TAPPO", "tappo"},
    {"IMBALLOETICHETTA", "CODICEIMBALLOETICHETTA", "ETICHETTA", "CODICEETICHETTA", "ETICHETTA",
     "etichetta"},
    {"IMBALLOCARTONE", "CODICEIMBALLOCARTONE", "CARTONE", "CODICECARTONE", "CARTONE", "cartone"},
    {"IMBALLOALTRO1", "CODICEIMBALLOALTRO1", "ALTRO1", "CODICEALTRO1", "", "altro 1"},
    {"IMBALLOALTRO2", "CODICEIMBALLOALTRO2", "ALTRO2", "CODICEALTRO2", "", "altro 2"},
}};

QString s(const char* t) {
    return QString::fromLatin1(t);
}

// "WHERE ((CODICE... IS NULL)" / "AND(... IS NOT NULL))" / "OR((..." for the
// six slots: a slot needs regularising when it has a name and no code.
QStringList condizione(bool fabbricazioni) {
    const QString prefisso = fabbricazioni ? QStringLiteral("A.") : QString();
    QStringList l;
    for (size_t i = 0; i < kSlot.size(); ++i) {
        const Slot& sl = kSlot[i];
        const QString codice = prefisso + s(fabbricazioni ? sl.codiceFabbric : sl.codiceProdotto);
        const QString nome = prefisso + s(fabbricazioni ? sl.nomeFabbric : sl.nomeProdotto);
        l << (i == 0 ? QStringLiteral("WHERE ((") : QStringLiteral("OR((")) + codice +
                 QStringLiteral(" IS NULL)")
          << QStringLiteral("AND(") + nome + QStringLiteral(" IS NOT NULL))");
    }
    return l;
}

// A row to regularise: its key, and per slot the name and the code found.
struct DaNormalizzare {
    QString codice;
    QDate data;
    QString lotto;
    QString dataTesto;
    std::array<std::optional<QString>, 6> nome;     // set when the slot needs it
    std::array<std::optional<QString>, 6> sorgente; // batches: the product's code
};

} // namespace

TRegolarizzaForm::TRegolarizzaForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), Transazione(&sessione->IBDatabase1),
      TransazioneID(&sessione->IBDatabase1) {
    setObjectName(QStringLiteral("RegolarizzaForm"));
    impostaDidascalia(QStringLiteral("Regolarizza - Ditta:"));

    const QString spiegazioni[] = {
        QStringLiteral("Questa elaborazione, per tutti i prodotti, assegna a partire dalla "
                       "descrizione il codice agli imballi: contenitore, tappo, etichetta, "
                       "cartone, altro 1 e altro2"),
        QStringLiteral("Questa elaborazione, per tutte le fabbricazioni, assegna a partire dal "
                       "prodotto il codice agli imballi: contenitore, tappo, etichetta, cartone, "
                       "altro 1 e altro2"),
        QStringLiteral("La procedura segnala se ci sono fabbricazioni senza ID, dice quante sono "
                       "e alla conferma popola ID avvalendosi del generatore")};
    auto* v = new QVBoxLayout(this);
    QPushButton** pulsanti[] = {&ButtonElabora1, &ButtonElabora2, &ButtonElabora3};
    for (int i = 0; i < 3; ++i) {
        auto* g = new QGroupBox(this);
        g->setObjectName(QStringLiteral("GroupBox%1").arg(i + 1));
        *pulsanti[i] = creaPulsante(QStringLiteral("&Elabora"),
                                    QStringLiteral("ButtonElabora%1").arg(i + 1), g);
        auto* l = new QLabel(spiegazioni[i], g);
        l->setObjectName(QStringLiteral("LabelSpiegazione%1").arg(i + 1));
        l->setWordWrap(true);
        auto* h = new QHBoxLayout(g);
        h->addWidget(*pulsanti[i], 0, Qt::AlignTop);
        h->addWidget(l, 1);
        v->addWidget(g);
    }
    MemoRiepilogo = new QPlainTextEdit(this);
    MemoRiepilogo->setObjectName(QStringLiteral("MemoRiepilogo"));
    MemoRiepilogo->setReadOnly(true);
    BarraProgresso = new QProgressBar(this);
    BarraProgresso->setObjectName(QStringLiteral("BarraProgresso"));
    BarraProgresso->setRange(0, 100);
    BarraProgresso->setTextVisible(false);
    BarraProgresso->setMaximumHeight(8);
    BarraProgresso->hide();
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    v->addWidget(new QLabel(QStringLiteral("Riepilogo:"), this));
    v->addWidget(MemoRiepilogo, 1);
    v->addWidget(BarraProgresso);
    auto* fondo = new QHBoxLayout;
    fondo->addStretch();
    fondo->addWidget(ButtonChiudi);
    v->addLayout(fondo);
    resize(800, 600);
    centraSulDesktop(this);

    connect(ButtonElabora1, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonElabora1Click(); }));
    connect(ButtonElabora2, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonElabora2Click(); }));
    connect(ButtonElabora3, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonElabora3Click(); }));
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
}

TRegolarizzaForm::~TRegolarizzaForm() = default;

void TRegolarizzaForm::ButtonElabora1Click() {
    normalizza(false);
}

void TRegolarizzaForm::ButtonElabora2Click() {
    normalizza(true);
}

void TRegolarizzaForm::normalizza(bool fabbricazioni) {
    Riepilogo memo(MemoRiepilogo);
    memo.svuota();
    if (Transazione.active()) {
        Transazione.rollback();
    }
    Transazione.start();
    Database* db = &sessione_->IBDatabase1;
    Query q(db, &Transazione);
    q.SQL = QStringList{QStringLiteral("SELECT COUNT(*) AS TOTALE"),
                        fabbricazioni ? QStringLiteral("FROM FABBRIC A")
                                      : QStringLiteral("FROM PRODOT")} +
            condizione(fabbricazioni);
    const qint64 totale = q.scalar().toLongLong();
    if (totale == 0) {
        Messaggi::informazione(QStringLiteral("Nessun record da normalizzare"), this);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Normalizzare ") + QString::number(totale) +
                                QStringLiteral(" record trovati?"),
                            this)) {
        return;
    }

    std::optional<Lavorazione> lavoro(std::in_place, this, BarraProgresso);
    Query aggiorna(db, &Transazione);
    aggiorna.SQL = {fabbricazioni ? QStringLiteral("UPDATE FABBRIC SET")
                                  : QStringLiteral("UPDATE PRODOT SET"),
                    QStringLiteral("CODICE=CODICE")};
    for (const Slot& sl : kSlot) {
        // a slot not found keeps its NULL code
        const QString c = s(fabbricazioni ? sl.codiceFabbric : sl.codiceProdotto);
        aggiorna.SQL << QLatin1Char(',') + c + QStringLiteral("=COALESCE(") + c +
                            QStringLiteral(",?)");
    }
    if (fabbricazioni) {
        aggiorna.SQL << QStringLiteral("WHERE (CODICE=?)") << QStringLiteral("AND(DATA=?)")
                     << QStringLiteral("AND(LOTTO=?)");
    } else {
        aggiorna.SQL << QStringLiteral("WHERE CODICE=?");
    }
    qint64 normalizzati = 0;
    try {
        // products: the packaging by name, the lowest code first; the four
        // typed slots only among the packaging of their type
        QHash<QString, QString> perTipo, qualsiasi;
        if (!fabbricazioni) {
            q.SQL = {QStringLiteral("SELECT A.CODICE, A.NOMEIMBALLO, UPPER(B.DESCRIZIONE)"),
                     QStringLiteral("FROM IMBALLI A LEFT JOIN TPIMBA B ON"),
                     QStringLiteral("A.TIPOIMBALLO=B.CODICE"),
                     QStringLiteral("WHERE A.NOMEIMBALLO IS NOT NULL"),
                     QStringLiteral("ORDER BY A.CODICE")};
            for (q.open(); !q.eof(); q.next()) {
                const QString codice = q.field(0).asString();
                const QString nome = q.field(1).asString();
                if (!qualsiasi.contains(nome)) {
                    qualsiasi.insert(nome, codice);
                }
                const QString chiave = q.field(2).asString() + QChar(0) + nome;
                if (!q.field(2).isNull() && !perTipo.contains(chiave)) {
                    perTipo.insert(chiave, codice);
                }
            }
            q.close();
        }

        if (fabbricazioni) {
            q.SQL = {QStringLiteral("SELECT A.CODICE,A.DATA,A.LOTTO,")};
            for (size_t i = 0; i < kSlot.size(); ++i) {
                q.SQL << QStringLiteral("A.") + s(kSlot[i].codiceFabbric) + QStringLiteral(",A.") +
                             s(kSlot[i].nomeFabbric) + QStringLiteral(",B.") +
                             s(kSlot[i].codiceProdotto) +
                             (i + 1 < kSlot.size() ? QStringLiteral(",") : QString());
            }
            q.SQL << QStringLiteral("FROM FABBRIC A LEFT JOIN PRODOT B ON")
                  << QStringLiteral("(A.CODICE=B.CODICE)");
            q.SQL += condizione(true);
            q.SQL << QStringLiteral("ORDER BY A.CODICE,A.DATA,A.LOTTO");
        } else {
            q.SQL = {QStringLiteral("SELECT CODICE,")};
            for (size_t i = 0; i < kSlot.size(); ++i) {
                q.SQL << s(kSlot[i].codiceProdotto) + QLatin1Char(',') + s(kSlot[i].nomeProdotto) +
                             (i + 1 < kSlot.size() ? QStringLiteral(",") : QString());
            }
            q.SQL << QStringLiteral("FROM PRODOT");
            q.SQL += condizione(false);
            q.SQL << QStringLiteral("ORDER BY CODICE");
        }
        // read whole before the first update: the rows read are the rows changed
        std::vector<DaNormalizzare> righe;
        const int primo = fabbricazioni ? 3 : 1;
        const int passo = fabbricazioni ? 3 : 2;
        for (q.open(); !q.eof(); q.next()) {
            DaNormalizzare r;
            r.codice = q.field(0).asString();
            if (fabbricazioni) {
                r.data = q.field(1).asDate();
                r.dataTesto = q.field(1).asString();
                r.lotto = q.field(2).asString();
            }
            for (size_t i = 0; i < kSlot.size(); ++i) {
                const int c = primo + int(i) * passo;
                if (q.field(c).isNull() && !q.field(c + 1).isNull()) {
                    r.nome[i] = q.field(c + 1).asString();
                    if (fabbricazioni && !q.field(c + 2).isNull()) {
                        r.sorgente[i] = q.field(c + 2).asString();
                    }
                }
            }
            righe.push_back(std::move(r));
        }
        q.close();

        qint64 i = 0;
        for (const DaNormalizzare& r : righe) {
            lavoro->avanza(++i, qint64(righe.size()));
            std::vector<QVariant> p;
            bool trovato = false;
            for (size_t k = 0; k < kSlot.size(); ++k) {
                std::optional<QString> codice;
                if (r.nome[k]) {
                    if (fabbricazioni) {
                        codice = r.sorgente[k];
                    } else {
                        const QString tipo = s(kSlot[k].tipo);
                        const QHash<QString, QString>& m = tipo.isEmpty() ? qualsiasi : perTipo;
                        const QString chiave =
                            tipo.isEmpty() ? *r.nome[k] : tipo + QChar(0) + *r.nome[k];
                        if (auto t = m.constFind(chiave); t != m.constEnd()) {
                            codice = *t;
                        }
                    }
                    if (!codice) {
                        memo << (fabbricazioni
                                     ? QStringLiteral("Fabbricazione ") + r.codice +
                                           QStringLiteral(", del ") + r.dataTesto +
                                           QStringLiteral(", lotto ") + r.lotto +
                                           QStringLiteral(" non è stato possibile risalire al "
                                                          "codice ") +
                                           s(kSlot[k].parola) + QStringLiteral(" del prodotto")
                                     : QStringLiteral("Prodotto ") + r.codice +
                                           QStringLiteral(" non è stato possibile risalire al "
                                                          "codice imballo ") +
                                           s(kSlot[k].parola) + QStringLiteral(" per la voce \"") +
                                           *r.nome[k] + QStringLiteral("\""));
                    }
                }
                trovato = trovato || codice.has_value();
                p.push_back(codice ? QVariant(*codice) : QVariant());
            }
            if (!trovato) {
                continue;
            }
            p.push_back(r.codice);
            if (fabbricazioni) {
                p.push_back(r.data);
                p.push_back(r.lotto);
            }
            aggiorna.setParams(std::move(p));
            try {
                aggiorna.execSQL();
            } catch (const DbError& e) {
                throw DbError(e.messaggio() + QLatin1Char('\n') + aggiorna.sqlText() +
                                  QStringLiteral("\n(") + r.codice +
                                  (fabbricazioni ? QStringLiteral(", ") + r.dataTesto +
                                                       QStringLiteral(", ") + r.lotto
                                                 : QString()) +
                                  QLatin1Char(')'),
                              e.sqlCode(), e.gdsCode());
            }
            ++normalizzati;
        }
        lavoro.reset();
        Transazione.commitRetaining();
    } catch (const DbError& e) {
        // every update of the run is undone
        lavoro.reset();
        Transazione.rollbackRetainingNoThrow();
        memo << QStringLiteral("Errore interno:") << e.messaggio();
        memo.scrivi();
        Messaggi::errore(QStringLiteral("Elaborazione interrotta"), this);
        return;
    }
    memo << QString() << QStringLiteral("Elaborazione completata")
         << (fabbricazioni ? QStringLiteral("Normalizzate ") + QString::number(normalizzati) +
                                 QStringLiteral(" fabbricazioni")
                           : QStringLiteral("Normalizzati ") + QString::number(normalizzati) +
                                 QStringLiteral(" prodotti"));
    memo.scrivi();
    Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
}

void TRegolarizzaForm::ButtonElabora3Click() {
    if (TransazioneID.active()) {
        TransazioneID.rollback();
    }
    TransazioneID.start();
    Query q(&sessione_->IBDatabase1, &TransazioneID);
    q.SQL = {QStringLiteral("SELECT"), QStringLiteral("  COUNT(*) AS TOT"),
             QStringLiteral("FROM"),   QStringLiteral("  FABBRIC"),
             QStringLiteral("WHERE"),  QStringLiteral("  ID IS NULL")};
    const qint64 totale = q.scalar().toLongLong();
    if (totale == 0) {
        Messaggi::informazione(
            QStringLiteral("Non è stata individuata nessuna fabbricazione senza ID"), this);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Trovate ") +
                                Formati::numeroConMigliaia(double(totale), 0) +
                                QStringLiteral(" fabbricazioni senza ID: procedere alla "
                                               "valorizzazione?"),
                            this)) {
        return;
    }
    try {
        Lavorazione lavoro(this, nullptr);
        q.SQL = {QStringLiteral("UPDATE FABBRIC SET"),
                 QStringLiteral("ID=GEN_ID(ID_FABBRICAZIONE_COUNTER,1)"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("  ID IS NULL"),
                 QStringLiteral("ORDER BY"),
                 QStringLiteral("  CODICE,"),
                 QStringLiteral("  DATA,"),
                 QStringLiteral("  LOTTO")};
        q.execSQL();
        TransazioneID.commitRetaining();
    } catch (const DbError& e) {
        TransazioneID.rollbackRetainingNoThrow();
        Messaggi::errore(QStringLiteral("Errore interno durante l'elaborazione:\r") + e.messaggio(),
                         this);
        return;
    }
    Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
}

} // namespace quintar
