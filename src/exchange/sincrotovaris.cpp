#include "exchange/sincrotovaris.h"

#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "ui/lavorazione.h"
#include "ui/protezione.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>
#include <optional>
#include <vector>

namespace quintar {

namespace distinte {

double quantita(double percentuale, double densita, double capacita, const QString& udmVendita,
                const QString& udmContenutoPezzo) {
    double q = percentuale / 100.0;
    if (!(capacita > 1)) {
        q *= capacita;
    }
    if (udmVendita == QLatin1String("Litri") ||
        (udmVendita == QLatin1String("Pz") && udmContenutoPezzo == QLatin1String("Litri"))) {
        q *= densita;
    }
    return q;
}

} // namespace distinte

// Articles and classifications differ in what they bind: an article its
// code, some columns of its row and the host code of its category; a
// classification the next host code, its company code and its descriptions
// (at most 40 characters each).
struct TSincroTovarisForm::Operazione {
    QString oggetto;     // "Materie prime": the confirmation's object
    QString individuati; // "Individuate"
    QString parole;      // " materie prime"
    QString riversati;   // "Riversate"
    QStringList conteggio;
    QStringList elenco;
    QStringList inserimento;
    bool classificazione = false;
    // Classification: the host table written. Article: the host table its
    // category is looked up in.
    QString tabellaClassificazione;
    QStringList colonne;      // source columns bound after the code
    QString colonnaCategoria; // article: the source column of its category
};

namespace {

constexpr int kMassimoDescrizione = 40;

QString numero(qint64 n) {
    return Formati::numeroConMigliaia(double(n), 0);
}

QVariant valoreOnull(const Campo& c) {
    return c.isNull() ? QVariant() : QVariant(c.asString());
}

QStringList righeSql(std::initializer_list<const char*> righe) {
    QStringList l;
    for (const char* r : righe) {
        l << QString::fromUtf8(r);
    }
    return l;
}

const QStringList kCondizioneMaterie =
    righeSql({"WHERE", "   (CODICE STARTING WITH 'MP')", "   OR(CODICE STARTING WITH 'SM')"});
const QStringList kCondizioneProdotti = righeSql({"WHERE", "   CODICE STARTING WITH 'FM'"});

QStringList inserimentoArticolo(const QStringList& colonne, const QStringList& valori) {
    QStringList l = {QStringLiteral("INSERT INTO ANAMAG(")};
    for (int i = 0; i < colonne.size(); ++i) {
        l << colonne[i] + (i + 1 < colonne.size() ? QStringLiteral(",") : QString());
    }
    l << QStringLiteral(")") << QStringLiteral("VALUES(");
    for (int i = 0; i < valori.size(); ++i) {
        l << valori[i] + (i + 1 < valori.size() ? QStringLiteral(",") : QString());
    }
    l << QStringLiteral(")");
    return l;
}

QStringList inserimentoClassificazione(const QString& tabella, bool seconda) {
    QStringList l = {QStringLiteral("INSERT INTO ") + tabella + QStringLiteral("("),
                     QStringLiteral("CODICE,"), QStringLiteral("DESCRIZIONE,")};
    l << (seconda ? QStringLiteral("DESCRIZIONE1,") : QStringLiteral("DESCRIZIONE1"));
    if (seconda) {
        l << QStringLiteral("DESCRIZIONE2");
    }
    l << QStringLiteral(")") << QStringLiteral("VALUES(") << QStringLiteral("?,")
      << QStringLiteral("?,") << (seconda ? QStringLiteral("?,") : QStringLiteral("?"));
    if (seconda) {
        l << QStringLiteral("?");
    }
    l << QStringLiteral(")");
    return l;
}

std::vector<TSincroTovarisForm::Operazione> operazioni() {
    using Op = TSincroTovarisForm::Operazione;
    std::vector<Op> t;
    Op materie;
    materie.oggetto = QStringLiteral("Materie prime");
    materie.individuati = QStringLiteral("Individuate");
    materie.parole = QStringLiteral(" materie prime");
    materie.riversati = QStringLiteral("Riversate");
    materie.conteggio =
        righeSql({"SELECT", "   COUNT(*) AS TOT", "FROM", "   MATER"}) + kCondizioneMaterie;
    materie.elenco = righeSql({"SELECT", "   CODICE,", "   CODICEANALOGO,", "   NOMECOMMERCIALE,",
                               "   CODICECATEGORIAMP", "FROM", "   MATER"}) +
                     kCondizioneMaterie + righeSql({"ORDER BY", "   CODICE"});
    materie.inserimento = inserimentoArticolo(
        righeSql({"ID", "CODICE", "CODICE2", "TIPOARTICOLO", "DESCRIZIONE1", "CLASSIFICAZIONE1"}),
        righeSql({"GEN_ID(IDANAMAGCOUNTER,1)", "?", "?", "'C'", "?", "?"}));
    materie.tabellaClassificazione = QStringLiteral("CLASSIFICAZIONE1");
    materie.colonne = righeSql({"CODICEANALOGO", "NOMECOMMERCIALE"});
    materie.colonnaCategoria = QStringLiteral("CODICECATEGORIAMP");
    t.push_back(materie);

    Op prodotti;
    prodotti.oggetto = QStringLiteral("Prodotti finiti");
    prodotti.individuati = QStringLiteral("Individuati");
    prodotti.parole = QStringLiteral(" prodotti finiti");
    prodotti.riversati = QStringLiteral("Riversati");
    prodotti.conteggio =
        righeSql({"SELECT", "   COUNT(*) AS TOT", "FROM", "   PRODOT"}) + kCondizioneProdotti;
    prodotti.elenco = righeSql({"SELECT", "   CODICE,", "   NOME,", "   CATEGORIAPRODOTTO", "FROM",
                                "   PRODOT"}) +
                      kCondizioneProdotti + righeSql({"ORDER BY", "   CODICE"});
    prodotti.inserimento = inserimentoArticolo(
        righeSql({"ID", "CODICE", "TIPOARTICOLO", "DESCRIZIONE1", "CLASSIFICAZIONE2"}),
        righeSql({"GEN_ID(IDANAMAGCOUNTER,1)", "?", "'F'", "?", "?"}));
    prodotti.tabellaClassificazione = QStringLiteral("CLASSIFICAZIONE2");
    prodotti.colonne = righeSql({"NOME"});
    prodotti.colonnaCategoria = QStringLiteral("CATEGORIAPRODOTTO");
    t.push_back(prodotti);

    Op imballi;
    imballi.oggetto = QStringLiteral("Imballi");
    imballi.individuati = QStringLiteral("Individuati");
    imballi.parole = QStringLiteral(" imballi");
    imballi.riversati = QStringLiteral("Riversati");
    imballi.conteggio = righeSql({"SELECT", "   COUNT(*) AS TOT", "FROM", "   IMBALLI"});
    imballi.elenco = righeSql({"SELECT *", "FROM", "   IMBALLI", "ORDER BY", "   CODICE"});
    imballi.inserimento = inserimentoArticolo(
        righeSql({"ID", "CODICE", "DESCRIZIONE1", "FORNITORE", "CLASSIFICAZIONE3"}),
        righeSql({"GEN_ID(IDANAMAGCOUNTER,1)", "?", "?", "?", "?"}));
    imballi.tabellaClassificazione = QStringLiteral("CLASSIFICAZIONE3");
    imballi.colonne = righeSql({"NOMEIMBALLO", "CODICEFORNITORE"});
    imballi.colonnaCategoria = QStringLiteral("TIPOIMBALLO");
    t.push_back(imballi);

    auto classificazione = [](const QString& oggetto, const QString& parole,
                              const QString& sorgente, const QString& tabella,
                              const QStringList& colonne, const QStringList& elenco) {
        Op c;
        c.oggetto = oggetto;
        c.individuati = QStringLiteral("Individuate");
        c.parole = parole;
        c.riversati = QStringLiteral("Riversate");
        c.conteggio = righeSql({"SELECT", "   COUNT(*) AS TOT", "FROM"})
                      << QStringLiteral("   ") + sorgente;
        c.elenco = elenco;
        c.inserimento = inserimentoClassificazione(tabella, colonne.size() == 2);
        c.classificazione = true;
        c.tabellaClassificazione = tabella;
        c.colonne = colonne;
        return c;
    };
    t.push_back(classificazione(
        QStringLiteral("Categorie materie prime"), QStringLiteral(" categorie materie prime"),
        QStringLiteral("CATEGMP"), QStringLiteral("CLASSIFICAZIONE1"), {"DESCRIZIONE"},
        righeSql({"SELECT", "   CODICE,", "   DESCRIZIONE", "FROM", "   CATEGMP", "ORDER BY",
                  "   CODICE"})));
    t.push_back(classificazione(
        QStringLiteral("Categorie prodotti finiti"), QStringLiteral(" categorie prodotti finiti"),
        QStringLiteral("CATEGPR"), QStringLiteral("CLASSIFICAZIONE2"), {"CATEGORIA", "DESCRIZIONE"},
        righeSql({"SELECT", "   CODICE,", "   CATEGORIA,", "   DESCRIZIONE", "FROM", "   CATEGPR",
                  "ORDER BY", "   CODICE"})));
    t.push_back(classificazione(
        QStringLiteral("Categorie imballi"), QStringLiteral(" categorie imballi"),
        QStringLiteral("TPIMBA"), QStringLiteral("CLASSIFICAZIONE3"), {"DESCRIZIONE"},
        righeSql({"SELECT *", "FROM", "   TPIMBA", "ORDER BY", "   CODICE"})));
    return t;
}

const TSincroTovarisForm::Operazione& operazione(const QString& oggetto) {
    static const std::vector<TSincroTovarisForm::Operazione> t = operazioni();
    for (const auto& op : t) {
        if (op.oggetto == oggetto) {
            return op;
        }
    }
    return t.front();
}

// A classification description as the host keeps it: at most 40
// characters, the cut said in the memo.
QVariant descrizione(const Campo& c, Riepilogo& memo) {
    if (c.isNull()) {
        return {};
    }
    const QString intero = c.asString();
    if (intero.size() <= kMassimoDescrizione) {
        return intero;
    }
    const QString tagliato = intero.left(kMassimoDescrizione);
    memo << QStringLiteral("Classificazione \"") + intero + QStringLiteral("\" tronacata a \"") +
                tagliato + QStringLiteral("\"");
    return tagliato;
}

} // namespace

TSincroTovarisForm::TSincroTovarisForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), TransazioneQuintar(&sessione->IBDatabase1),
      TransazioneTovaris(&sessione->IBDatabase2) {
    setObjectName(QStringLiteral("SincroTovarisForm"));
    setWindowTitle(QStringLiteral("Sincro Tovaris - Ditta: ") + sessione->Ditta);

    ButtonMateriePrime =
        creaPulsante(QStringLiteral("Materie prime"), QStringLiteral("ButtonMateriePrime"), this);
    ButtonCategorieMateriePrime = creaPulsante(QStringLiteral("Categorie materie prime"),
                                               QStringLiteral("ButtonCategorieMateriePrime"), this);
    ButtonProdottiFiniti = creaPulsante(QStringLiteral("Prodotti finiti"),
                                        QStringLiteral("ButtonProdottiFiniti"), this);
    ButtonCategorieProdottiFiniti =
        creaPulsante(QStringLiteral("Categorie prodotti finiti"),
                     QStringLiteral("ButtonCategorieProdottiFiniti"), this);
    ButtonSincroDistinte = creaPulsante(QStringLiteral("Sincro distinte"),
                                        QStringLiteral("ButtonSincroDistinte"), this);
    ButtonInfoDistinte =
        creaPulsante(QStringLiteral("?"), QStringLiteral("ButtonInfoDistinte"), this);
    ButtonInfoDistinte->setFixedWidth(ButtonInfoDistinte->sizeHint().height() + 4);
    ButtonImballi = creaPulsante(QStringLiteral("Imballi"), QStringLiteral("ButtonImballi"), this);
    ButtonCategorieImballi = creaPulsante(QStringLiteral("Categorie imballi"),
                                          QStringLiteral("ButtonCategorieImballi"), this);
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    MemoRiepilogo = new QPlainTextEdit(this);
    MemoRiepilogo->setObjectName(QStringLiteral("MemoRiepilogo"));
    MemoRiepilogo->setReadOnly(true);
    PanelProgresso = new QWidget(this);
    PanelProgresso->setObjectName(QStringLiteral("PanelProgresso"));
    BarraProgresso = new QProgressBar(PanelProgresso);
    BarraProgresso->setObjectName(QStringLiteral("BarraProgresso"));
    BarraProgresso->setRange(0, 100);
    auto* lp = new QHBoxLayout(PanelProgresso);
    lp->setContentsMargins(0, 0, 0, 0);
    lp->addWidget(BarraProgresso);
    PanelProgresso->hide();

    auto* sinistra = new QVBoxLayout;
    sinistra->addWidget(new QLabel(QStringLiteral("Sincro:"), this));
    for (QPushButton* b : {ButtonMateriePrime, ButtonCategorieMateriePrime, ButtonProdottiFiniti,
                           ButtonCategorieProdottiFiniti}) {
        sinistra->addWidget(b);
    }
    auto* distinte = new QHBoxLayout;
    distinte->addWidget(ButtonSincroDistinte, 1);
    distinte->addWidget(ButtonInfoDistinte);
    sinistra->addLayout(distinte);
    sinistra->addWidget(ButtonImballi);
    sinistra->addWidget(ButtonCategorieImballi);
    sinistra->addStretch();

    auto* destra = new QVBoxLayout;
    destra->addWidget(new QLabel(QStringLiteral("Riepilogo:"), this));
    destra->addWidget(MemoRiepilogo, 1);
    destra->addWidget(PanelProgresso);
    auto* fondo = new QHBoxLayout;
    fondo->addStretch();
    fondo->addWidget(ButtonChiudi);
    destra->addLayout(fondo);

    auto* h = new QHBoxLayout(this);
    h->addLayout(sinistra);
    h->addLayout(destra, 1);
    setMinimumSize(500, 200);
    resize(800, 600);
    centraSulDesktop(this);

    auto collega = [this](QPushButton* b, void (TSincroTovarisForm::*f)()) {
        connect(b, &QPushButton::clicked, this, protetto(this, [this, f] { (this->*f)(); }));
    };
    collega(ButtonMateriePrime, &TSincroTovarisForm::ButtonMateriePrimeClick);
    collega(ButtonCategorieMateriePrime, &TSincroTovarisForm::ButtonCategorieMateriePrimeClick);
    collega(ButtonProdottiFiniti, &TSincroTovarisForm::ButtonProdottiFinitiClick);
    collega(ButtonCategorieProdottiFiniti, &TSincroTovarisForm::ButtonCategorieProdottiFinitiClick);
    collega(ButtonSincroDistinte, &TSincroTovarisForm::ButtonSincroDistinteClick);
    collega(ButtonInfoDistinte, &TSincroTovarisForm::ButtonInfoDistinteClick);
    collega(ButtonImballi, &TSincroTovarisForm::ButtonImballiClick);
    collega(ButtonCategorieImballi, &TSincroTovarisForm::ButtonCategorieImballiClick);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
}

TSincroTovarisForm::~TSincroTovarisForm() = default;

void TSincroTovarisForm::ButtonMateriePrimeClick() {
    sincronizza(operazione(QStringLiteral("Materie prime")));
}
void TSincroTovarisForm::ButtonCategorieMateriePrimeClick() {
    sincronizza(operazione(QStringLiteral("Categorie materie prime")));
}
void TSincroTovarisForm::ButtonProdottiFinitiClick() {
    sincronizza(operazione(QStringLiteral("Prodotti finiti")));
}
void TSincroTovarisForm::ButtonCategorieProdottiFinitiClick() {
    sincronizza(operazione(QStringLiteral("Categorie prodotti finiti")));
}
void TSincroTovarisForm::ButtonImballiClick() {
    sincronizza(operazione(QStringLiteral("Imballi")));
}
void TSincroTovarisForm::ButtonCategorieImballiClick() {
    sincronizza(operazione(QStringLiteral("Categorie imballi")));
}
void TSincroTovarisForm::ButtonSincroDistinteClick() {
    sincronizzaDistinte();
}

void TSincroTovarisForm::ButtonInfoDistinteClick() {
    Messaggi::informazione(QStringLiteral("Questa operazione va fatta dopo aver lanciato le "
                                          "seguenti sincro:\r- Materie prime\r- Prodotti finiti"),
                           this);
}

void TSincroTovarisForm::ricomincia() {
    for (Transaction* t : {&TransazioneQuintar, &TransazioneTovaris}) {
        if (t->active()) {
            t->rollback();
        }
        t->start();
    }
}

void TSincroTovarisForm::esegui(const QString& domanda,
                                const std::function<void(Riepilogo&, Corsa&)>& corpo) {
    Riepilogo memo(MemoRiepilogo);
    memo.svuota();
    if (!Messaggi::conferma(domanda, this)) {
        return;
    }
    Corsa lavoro;
    QString errore;
    try {
        ricomincia();
        corpo(memo, lavoro);
        if (!lavoro) {
            return; // nothing to synchronise: no message
        }
    } catch (const DbError& e) {
        errore = e.messaggio();
    } catch (const std::exception& e) {
        errore = QString::fromLocal8Bit(e.what());
    }
    lavoro.reset();
    if (!errore.isEmpty()) {
        // every insert of the run is undone, nothing waits to be committed
        if (TransazioneTovaris.active()) {
            TransazioneTovaris.rollbackRetainingNoThrow();
        }
        memo << QStringLiteral("Errore bloccante:") << errore << QStringLiteral("Sincro annullata");
        memo.scrivi();
        Messaggi::errore(QStringLiteral("Elaborazione interrotta"), this);
        return;
    }
    memo.scrivi();
    Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
}

void TSincroTovarisForm::sincronizza(const Operazione& op) {
    esegui(QStringLiteral("Avviare sincro ") + op.oggetto + QStringLiteral("?"),
           [&](Riepilogo& memo, Corsa& lavoro) {
               Database* az = &sessione_->IBDatabase1;
               Database* tov = &sessione_->IBDatabase2;
               Query conta(az, &TransazioneQuintar);
               conta.SQL = op.conteggio;
               const qint64 totale = conta.scalar().toLongLong();
               memo << op.individuati + QLatin1Char(' ') + numero(totale) + op.parole;
               if (totale == 0) {
                   return;
               }

               // what the host has already, read once in the run's snapshot
               Query host(tov, &TransazioneTovaris);
               QSet<QString> presenti;
               host.SQL = op.classificazione
                              ? QStringList{QStringLiteral("SELECT DESCRIZIONE FROM ") +
                                            op.tabellaClassificazione}
                              : QStringList{QStringLiteral("SELECT CODICE FROM ANAMAG")};
               for (const QString& c : host.primaColonna()) {
                   presenti.insert(c);
               }
               // articles: the host code of each company category (the lowest when
               // two carry the same); classifications: the next free code
               QHash<QString, QString> codiciHost;
               qint64 prossimo = 1;
               if (op.classificazione) {
                   host.SQL = {QStringLiteral("SELECT MAX(CODICE) AS MAX_CODICE"),
                               QStringLiteral("FROM ") + op.tabellaClassificazione};
                   const QVariant massimo = host.scalar();
                   prossimo = massimo.isValid() && !massimo.isNull() ? massimo.toLongLong() + 1 : 1;
               } else {
                   host.SQL = {QStringLiteral("SELECT DESCRIZIONE, CODICE FROM ") +
                               op.tabellaClassificazione + QStringLiteral(" ORDER BY CODICE")};
                   for (host.open(); !host.eof(); host.next()) {
                       const QString d = host.field(0).asString();
                       if (!host.field(0).isNull() && !codiciHost.contains(d)) {
                           codiciHost.insert(d, host.field(1).asString());
                       }
                   }
                   host.close();
               }

               Query inserisci(tov, &TransazioneTovaris);
               inserisci.SQL = op.inserimento;
               Query elenco(az, &TransazioneQuintar);
               elenco.SQL = op.elenco;
               lavoro.emplace(this, BarraProgresso, PanelProgresso);
               memo << QStringLiteral("Inizio sincronizzazione");
               qint64 i = 0;
               qint64 inseriti = 0;
               for (elenco.open(); !elenco.eof(); elenco.next()) {
                   lavoro->avanza(++i, totale);
                   const QString codice = elenco[QStringLiteral("CODICE")].asString();
                   if (presenti.contains(codice)) {
                       continue;
                   }
                   std::vector<QVariant> p;
                   if (op.classificazione) {
                       p.push_back(prossimo);
                       p.push_back(codice);
                       for (const QString& c : op.colonne) {
                           p.push_back(descrizione(elenco[c], memo));
                       }
                   } else {
                       p.push_back(codice);
                       for (const QString& c : op.colonne) {
                           p.push_back(valoreOnull(elenco[c]));
                       }
                       const Campo categoria = elenco[op.colonnaCategoria];
                       if (categoria.isNull()) {
                           p.push_back(QVariant());
                       } else if (auto h = codiciHost.constFind(categoria.asString());
                                  h != codiciHost.constEnd()) {
                           p.push_back(*h);
                       } else {
                           // an article is never given a company code for a host one
                           memo << QStringLiteral("Articolo \"") + codice +
                                       QStringLiteral("\": la categoria \"") +
                                       categoria.asString() +
                                       QStringLiteral("\" non è presente in ") +
                                       op.tabellaClassificazione +
                                       QStringLiteral(", articolo riversato senza classificazione");
                           p.push_back(QVariant());
                       }
                   }
                   inserisci.setParams(std::move(p));
                   inserisci.execSQL();
                   presenti.insert(codice);
                   ++prossimo;
                   ++inseriti;
               }
               elenco.close();
               TransazioneTovaris.commitRetaining();
               memo << QStringLiteral("Sincronizzazione terminata")
                    << op.riversati + QLatin1Char(' ') + numero(inseriti) + op.parole;
           });
}

void TSincroTovarisForm::sincronizzaDistinte() {
    esegui(QStringLiteral("Avviare sincro distinte?"), [&](Riepilogo& memo, Corsa& lavoro) {
        Database* az = &sessione_->IBDatabase1;
        Database* tov = &sessione_->IBDatabase2;
        Query componenti(az, &TransazioneQuintar);
        componenti.SQL = righeSql({"SELECT",
                                   "   C.NRIGA,",
                                   "   C.CODICEMATERIAPRIMA AS COMPONENTE,",
                                   "   COALESCE(C.PERCENTUALE,0) AS PERCENTUALE,",
                                   "   COALESCE(B.DENSITA,1) AS DENSITA,",
                                   "   COALESCE(D.CAPACITACONFEZIONE,1) AS CAPACITACONFEZIONE,",
                                   "   COALESCE(D.UDMVENDCONF,'Kg') AS UDMVENDCONF,",
                                   "   COALESCE(D.UDMCONTENUTOPZ,'Kg') AS UDMCONTENUTOPZ",
                                   "FROM",
                                   "   PRODOT A",
                                   "   LEFT JOIN FORMUL B ON",
                                   "   (A.CODICEFORMULAZIONE=B.CODICE)",
                                   "   LEFT JOIN COMPON C ON",
                                   "   (B.CODICE=C.CODICEFORMULAZIONE)",
                                   "   LEFT JOIN CAPCON1 D ON",
                                   "   (A.CONFEZIONEVENDITA=D.DESCRIZIONE)",
                                   "WHERE",
                                   "   (A.CODICE=?)",
                                   "   AND(C.CODICEMATERIAPRIMA IS NOT NULL)",
                                   "ORDER BY",
                                   "   C.NRIGA"});

        // The host's articles by code: one extension each (the plain one,
        // '0', when there are several), so that a line is written once.
        struct Articolo {
            QString estensione;
            QVariant descrizione;
        };
        QHash<QString, Articolo> articoli;
        Query host(tov, &TransazioneTovaris);
        host.SQL = {QStringLiteral("SELECT CODICE, ESTENSIONE, DESCRIZIONE1 FROM ANAMAG"),
                    QStringLiteral("ORDER BY CODICE, ESTENSIONE")};
        for (host.open(); !host.eof(); host.next()) {
            const QString codice = host.field(0).asString();
            const QString estensione = host.field(1).asString();
            auto a = articoli.find(codice);
            if (a == articoli.end()) {
                articoli.insert(codice, {estensione, valoreOnull(host.field(2))});
            } else if (estensione == QLatin1String("0")) {
                *a = {estensione, valoreOnull(host.field(2))};
            }
        }
        host.close();
        QSet<QString> righePresenti; // product + line number
        auto chiave = [](const QString& prodotto, qint64 nriga) {
            return prodotto + QChar(0) + QString::number(nriga);
        };
        host.SQL = {QStringLiteral("SELECT CODICEARTICOLO, NRIGA FROM DISTINT")};
        for (host.open(); !host.eof(); host.next()) {
            righePresenti.insert(chiave(host.field(0).asString(), host.field(1).asInteger()));
        }
        host.close();

        Query inserisci(tov, &TransazioneTovaris);
        inserisci.SQL = righeSql({"INSERT INTO DISTINT(",
                                  "   CODICEARTICOLO,",
                                  "   ESTENSIONECODICE,",
                                  "   NRIGA,",
                                  "   CODICECOMPONENTE,",
                                  "   ESTENSIONECODICECOMP,",
                                  "   QUANTITACOMPONENTE,",
                                  "   DESCRIZIONECOMPONENTE,",
                                  "   UDM",
                                  "   )",
                                  "VALUES(",
                                  "   ?,",
                                  "   '0',",
                                  "   ?,",
                                  "   ?,",
                                  "   ?,",
                                  "   ?,",
                                  "   ?,",
                                  "   'Kg'",
                                  "   )"});

        host.SQL = righeSql({"SELECT", "   COUNT(DISTINCT CODICE) AS TOT", "FROM", "   ANAMAG",
                             "WHERE", "   (TIPOARTICOLO='F')"});
        const qint64 totale = host.scalar().toLongLong();
        memo << QStringLiteral("Individuati ") + numero(totale) +
                    QStringLiteral(" prodotti finiti");
        if (totale == 0) {
            return;
        }
        host.SQL = righeSql({"SELECT DISTINCT", "   CODICE AS PRODOTTO", "FROM", "   ANAMAG",
                             "WHERE", "   (TIPOARTICOLO='F')", "ORDER BY", "   CODICE"});
        const QStringList prodotti = host.primaColonna();
        lavoro.emplace(this, BarraProgresso, PanelProgresso);
        memo << QStringLiteral("Inizio sincronizzazione");
        qint64 i = 0;
        qint64 inseriti = 0;
        for (const QString& prodotto : prodotti) {
            lavoro->avanza(++i, totale);
            componenti.setParams({prodotto});
            // a line read twice (two capacities of the same description) counts once
            QSet<qint64> lette;
            for (componenti.open(); !componenti.eof(); componenti.next()) {
                const qint64 nriga = componenti.field(0).asInteger();
                if (lette.contains(nriga)) {
                    continue;
                }
                lette.insert(nriga);
                const QString componente = componenti.field(1).asString();
                const auto a = articoli.constFind(componente);
                if (a == articoli.constEnd()) {
                    memo << QStringLiteral("Componente \"") + componente +
                                QStringLiteral("\" della formulazione relativa al prodotto \"") +
                                prodotto + QStringLiteral("\" non trovato in anagrafica");
                    continue;
                }
                const QString k = chiave(prodotto, nriga);
                if (righePresenti.contains(k)) {
                    continue;
                }
                const double q = distinte::quantita(
                    componenti.field(2).asFloat(), componenti.field(3).asFloat(),
                    componenti.field(4).asFloat(), componenti.field(5).asString(),
                    componenti.field(6).asString());
                inserisci.setParams(
                    {prodotto, nriga, componente, a->estensione, q, a->descrizione});
                inserisci.execSQL();
                righePresenti.insert(k);
                ++inseriti;
            }
            componenti.close();
        }
        TransazioneTovaris.commitRetaining();
        memo << QStringLiteral("Sincronizzazione terminata")
             << QStringLiteral("Riversate ") + numero(inseriti) +
                    QStringLiteral(" voci in distinte");
    });
}

} // namespace quintar
