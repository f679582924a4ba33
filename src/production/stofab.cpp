#include "production/stofab.h"

#include "production/materie.h"
#include "production/quantita.h"
#include "production/stampafabbricazione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace quintar {

namespace produzione {

namespace {

// The batch columns the archived sheet copies as they are stored.
const QStringList kColonneLotto = {
    QStringLiteral("NOMEPRODOTTO"),
    QStringLiteral("CODICEPRODOTTO"),
    QStringLiteral("SPECIFICHE"),
    QStringLiteral("QUANTITALITRI"),
    QStringLiteral("UNITAMISURA"),
    QStringLiteral("DENSITAPRODOTTO"),
    QStringLiteral("DENSITACALCOLI"),
    QStringLiteral("MISCELATORE"),
    QStringLiteral("CONTENITORE"),
    QStringLiteral("CAPACITACONTENITORE"),
    QStringLiteral("DESCRIZIONECONTENITORE"),
    QStringLiteral("RIEMPITRICE"),
    QStringLiteral("CARTONE"),
    QStringLiteral("NUMCARTONI"),
    QStringLiteral("ETICHETTA"),
    QStringLiteral("TAPPO"),
    QStringLiteral("ALTRO1"),
    QStringLiteral("ALTRO2"),
    QStringLiteral("DOCUMENTOWORD"),
    QStringLiteral("NOTEFABBRICAZIONE"),
    QStringLiteral("CODICECONTENITORE"),
    QStringLiteral("CODICETAPPO"),
    QStringLiteral("CODICEETICHETTA"),
    QStringLiteral("CODICECARTONE"),
    QStringLiteral("CODICEALTRO1"),
    QStringLiteral("CODICEALTRO2"),
    QStringLiteral("CODICEALTRO3"),
    QStringLiteral("CODICEALTRO4"),
    QStringLiteral("ALTRO3"),
    QStringLiteral("ALTRO4"),
};

QString numeroONull(std::optional<double> v) {
    return v ? sql::numero(*v) : QStringLiteral("NULL");
}

std::optional<double> numeroCampo(const Campo& c) {
    return c.isNull() ? std::nullopt : std::optional<double>(c.asFloat());
}

QString chiaveScheda(const LottoCorrente& l) {
    return QStringLiteral("(CODICE=%1)AND(DATA=%2)AND(LOTTO=%3)")
        .arg(sql::testoNonNullo(l.codice), sql::data(l.data), sql::testoNonNullo(l.lotto));
}

// A component line of the batch with what the sheet computes for it.
struct RigaLotto {
    qint64 riga = 0;
    QString materia;
    double percentuale = 0;
    double tolleranza = 0;
    QString analogo;
};

const QString kErrore =
    QStringLiteral("Errore interno: impossibile inserire nello storico il record corrente");

} // namespace

std::optional<qint64> rigaArchiviata(const std::vector<std::pair<qint64, QString>>& righe,
                                     qint64 riga, const QString& materia,
                                     const std::vector<qint64>& prese) {
    for (const auto& [n, m] : righe) {
        if (n == riga && m == materia) {
            return n;
        }
    }
    for (const auto& [n, m] : righe) {
        if (m == materia && std::find(prese.begin(), prese.end(), n) == prese.end()) {
            return n;
        }
    }
    return std::nullopt;
}

EsitoArchivio archiviaScheda(Query& q, const Scrittura& scrivi, const SchedaDaArchiviare& a,
                             QWidget* finestra) {
    const LottoCorrente& l = a.lotto;
    auto archiviata = [&] {
        q.close();
        q.SQL = {QStringLiteral("SELECT CODICEINTERNO FROM STOFAB WHERE"), chiaveScheda(l)};
        const QVariant esistente = q.scalar();
        return esistente.isValid() && !esistente.isNull();
    };
    bool esiste = archiviata();
    if (!esiste &&
        !Messaggi::conferma(QStringLiteral("Vuoi creare uno storico per questa fabbricazione?"),
                            finestra)) {
        return EsitoArchivio::Rinuncia;
    }
    try {
        // written on the data as they stand after the question: another user
        // may have archived the batch meanwhile, or taken the next number
        scrivi([&] {
            esiste = archiviata();
            if (!esiste) {
                q.SQL = {QStringLiteral("SELECT MAX(CODICEINTERNO) FROM STOFAB")};
                const QVariant massimo = q.scalar();
                const qint64 n =
                    (massimo.isValid() && !massimo.isNull() ? massimo.toLongLong() : 0) + 1;
                q.SQL = {QStringLiteral("SELECT CODICEFORMULAZIONE FROM PRODOT WHERE"),
                         QStringLiteral("CODICE=") + sql::testoNonNullo(l.codice)};
                const QVariant formulazione = q.scalar();
                const QString po = formulazione.isValid() && !formulazione.isNull()
                                       ? sql::intero(formulazione.toLongLong())
                                       : QStringLiteral("NULL");

                // the components page's figures, first line selected
                const double densita =
                    densitaPerQuantita(l.unitaMisura, l.densitaProdotto.value_or(0));
                const double quantita = l.quantita.value_or(0);
                std::vector<RigaLotto> righe;
                std::optional<double> tollDensita;
                std::optional<double> ph;
                std::optional<double> tollPh;
                q.SQL = sqlComponentiLotto(l);
                for (q.open(); !q.eof(); q.next()) {
                    if (righe.empty()) {
                        tollDensita = numeroCampo(q[QStringLiteral("TOLLERANZADENSITA")]);
                        ph = numeroCampo(q[QStringLiteral("PH")]);
                        tollPh = numeroCampo(q[QStringLiteral("TOLLERANZAPH")]);
                    }
                    RigaLotto r;
                    r.riga = q[QStringLiteral("NRIGA")].asInteger();
                    r.materia = q[QStringLiteral("CODICEMATERIAPRIMA")].asString();
                    r.percentuale = numeroCampo(q[QStringLiteral("PERCENTUALE")]).value_or(0);
                    r.tolleranza = numeroCampo(q[QStringLiteral("TOLLERANZA")]).value_or(0);
                    r.analogo = q[QStringLiteral("CODICEANALOGO")].asString().trimmed();
                    righe.push_back(r);
                }
                q.close();
                std::vector<double> percentuali;
                for (const RigaLotto& r : righe) {
                    percentuali.push_back(r.percentuale);
                }
                const AcquaAddolcita acqua = acquaAddolcita(percentuali, quantita, densita);

                // the sheet: the batch row as stored, the figures as numbers
                QStringList colonne = {QStringLiteral("CODICE"), QStringLiteral("DATA"),
                                       QStringLiteral("LOTTO"), QStringLiteral("CODICEINTERNO")};
                QStringList valori = {QStringLiteral("CODICE"), QStringLiteral("DATA"),
                                      QStringLiteral("LOTTO"), sql::intero(n)};
                colonne += kColonneLotto;
                valori += kColonneLotto;
                const std::vector<std::pair<const char*, QString>> calcolati = {
                    {"CODICEFORMULAZIONE", po},
                    {"NUMEROCONTENITORI", numeroONull(a.numeroContenitori)},
                    {"QUANTITATOTALE", sql::numero(quantitaTotale(quantita, densita))},
                    {"TOLLERPERCDENSPROD", numeroONull(tollDensita)},
                    {"PHFORMUL", numeroONull(ph)},
                    {"TOLLPERCPHFORMUL", numeroONull(tollPh)},
                    {"PERCACQUAADDOLC", sql::numero(acqua.percentuale)},
                    {"QUANTITAACQUA", sql::numero(acqua.quantita)},
                    {"TOLLERANZATOTALE", sql::numero(acqua.tolleranza)},
                    {"FABBRICAZIONEDA", QStringLiteral("CASE WHEN FABBRICAZIONEDA='SM' THEN 'SM' "
                                                       "ELSE 'MP' END")},
                    {"FABBRICAZIONEDA_CODICE", QStringLiteral("CASE WHEN FABBRICAZIONEDA='SM' THEN "
                                                              "FABBRICAZIONEDA_CODICE END")},
                    {"FABBRICAZIONEDA_DATA", QStringLiteral("CASE WHEN FABBRICAZIONEDA='SM' THEN "
                                                            "FABBRICAZIONEDA_DATA END")},
                    {"FABBRICAZIONEDA_LOTTO", QStringLiteral("CASE WHEN FABBRICAZIONEDA='SM' THEN "
                                                             "FABBRICAZIONEDA_LOTTO END")},
                };
                for (const auto& [c, v] : calcolati) {
                    colonne << QString::fromLatin1(c);
                    valori << v;
                }
                q.SQL = {QStringLiteral("INSERT INTO STOFAB (") + colonne.join(',') + ')',
                         QStringLiteral("SELECT ") + valori.join(','),
                         QStringLiteral("FROM FABBRIC WHERE ") + chiaveScheda(l)};
                if (q.execSQL() != 1) {
                    throw DbError(QStringLiteral("fabbricazione non trovata"));
                }

                // the lines, each with what it weighs
                std::vector<std::pair<qint64, QString>> archiviate;
                for (const RigaLotto& r : righe) {
                    QString analoghi;
                    if (!r.analogo.isEmpty()) {
                        q.SQL = {QStringLiteral("SELECT NOMECOMMERCIALE FROM MATER WHERE"),
                                 QStringLiteral("CODICEANALOGO=") + sql::testoNonNullo(r.analogo),
                                 QStringLiteral("ORDER BY CODICE")};
                        analoghi = q.primaColonna().join(QStringLiteral(", ")).left(50);
                    }
                    const PesataRiga p = pesataRiga(r.percentuale, quantita, densita, r.tolleranza);
                    q.SQL =
                        QStringList{
                            QStringLiteral("INSERT INTO STOMAT (CODICESTORICO,NRIGA,"
                                           "CODICEFORMULAZIONE,CODICEMATERIAPRIMA,DESCRIZIONE,"
                                           "COMPOSIZIONE,PERCENTUALE,TOLLERANZA,CRITICO,"
                                           "ACCETTABILITA,RANGE,MATERIAATTIVATEORICA,"
                                           "MATERIAATTIVAREALE,CODICEINTERNO,QUANTITARAW,"
                                           "ANALOGHI,BILANCIA,TOLLERANZA1)"),
                            QStringLiteral("SELECT ") + sql::intero(n) +
                                QStringLiteral(",A.NRIGA,A.CODICEFORMULAZIONE,"
                                               "A.CODICEMATERIAPRIMA,C.NOMECOMMERCIALE,"
                                               "C.COMPOSIZIONE,A.PERCENTUALE,A.TOLLERANZA,"
                                               "A.CRITICO,A.ACCETTABILITA,A.RANGE,"
                                               "C.MATERIAATTIVA,A.MATERIAATTIVAREALE,"
                                               "A.CODICEMATERIAPRIMA,") +
                                sql::numero(p.quantitaPesata) + ',' + sql::testo(analoghi) + ',' +
                                (p.bilancia > 0 ? sql::testo(QString::number(p.bilancia))
                                                : QStringLiteral("NULL")) +
                                ',' + numeroONull(p.tolleranza),
                            QStringLiteral("FROM FABBCOMPON A LEFT JOIN MATER C ON"),
                            QStringLiteral("(A.CODICEMATERIAPRIMA=C.CODICE)"),
                            QStringLiteral("WHERE")} +
                        condizioneLineeLotto(l, QStringLiteral("A.")) +
                        QStringList{QStringLiteral("   AND(A.NRIGA=") + sql::intero(r.riga) + ')'};
                    q.execSQL();
                    archiviate.emplace_back(r.riga, r.materia);
                }

                // the critical components' results, on the line of their material
                q.SQL = sqlCriticiProdotto(l);
                struct Critica {
                    qint64 riga;
                    QString materia;
                    ValoriCritici valori;
                };
                std::vector<Critica> critiche;
                for (q.open(); !q.eof(); q.next()) {
                    RigaCritica c;
                    c.percentuale = numeroCampo(q[QStringLiteral("PERCENTUALE")]);
                    c.materiaAttiva = numeroCampo(q[QStringLiteral("MATERIAATTIVA")]);
                    c.materiaAttivaReale = numeroCampo(q[QStringLiteral("MATERIAATTIVAREALE")]);
                    critiche.push_back(
                        {q[QStringLiteral("NRIGA")].asInteger(),
                         q[QStringLiteral("CODICEMATERIAPRIMA")].asString(),
                         valoriCritici(c, l.quantita, numeroCampo(q[QStringLiteral("DENSITA")]),
                                       lottoInKg(l.unitaMisura))});
                }
                q.close();
                std::vector<qint64> prese;
                for (const Critica& c : critiche) {
                    const auto riga = rigaArchiviata(archiviate, c.riga, c.materia, prese);
                    if (!riga) {
                        continue; // the batch no longer weighs this material
                    }
                    prese.push_back(*riga);
                    q.SQL = {QStringLiteral("UPDATE STOMAT SET"),
                             QStringLiteral("PERCENTUALEAGGIORNATA=") +
                                 sql::numero(c.valori.percentualeAggiornata) + ',',
                             QStringLiteral("QUANTITAKG=") + sql::numero(c.valori.quantitaKg) + ',',
                             QStringLiteral("QUANTITAKG1=") +
                                 sql::numero(c.valori.quantitaCalcolata),
                             QStringLiteral("WHERE (CODICESTORICO=") + sql::intero(n) + ')',
                             QStringLiteral("AND(NRIGA=") + sql::intero(*riga) + ')'};
                    q.execSQL();
                }
            }
            if (!a.storicoAggiornato) {
                q.SQL = {QStringLiteral("UPDATE FABBRIC SET STORICOAGGIORNATO='1'"),
                         QStringLiteral("WHERE ") + chiaveScheda(l)};
                q.execSQL();
            }
        });
    } catch (const std::exception& e) {
        const auto* db = dynamic_cast<const DbError*>(&e);
        qWarning("scheda non archiviata: %s",
                 qPrintable(db ? db->messaggio() : QString::fromLocal8Bit(e.what())));
        storico::registraErrore(a.cartellaErrori, q.SQL);
        try {
            q.close();
        } catch (const DbError&) {
        }
        Messaggi::errore(kErrore, finestra);
        return EsitoArchivio::Errore;
    }
    return esiste ? EsitoArchivio::Esistente : EsitoArchivio::Creato;
}

} // namespace produzione

// ------------------------------------------------------------------ viewer

namespace {

// Page 1: caption and column of the archived header.
const std::vector<std::pair<const char*, const char*>> kTestata = {
    {"Specifiche", "SPECIFICHE"},
    {"P.O.", "CODICEFORMULAZIONE"},
    {"Misc.o Lav n°", "MISCELATORE"},
    {"Dens.prod.", "DENSITAPRODOTTO"},
    {"UDM", "UNITAMISURA"},
    {"Q.tà", "QUANTITALITRI"},
    {"Contenitore", "CONTENITORE"},
    {"Capacità", "CAPACITACONTENITORE"},
    {"Q.tà cont.", "NUMEROCONTENITORI"},
    {"Tappo", "TAPPO"},
    {"Riempitrice", "RIEMPITRICE"},
    {"Etichetta", "ETICHETTA"},
    {"Cartone", "CARTONE"},
    {"Q.tà cart.", "NUMCARTONI"},
    {"Altro 1", "ALTRO1"},
    {"Altro 2", "ALTRO2"},
    {"Altro 3", "ALTRO3"},
    {"Altro 4", "ALTRO4"},
    {"Documento Word", "DOCUMENTOWORD"},
    {"Note fabbricazione", "NOTEFABBRICAZIONE"},
};

// "Materie": the batch's figures.
const std::vector<std::pair<const char*, const char*>> kFigure = {
    {"Q.tà totale", "QUANTITATOTALE"}, {"Kg/L", "DENSITAPRODOTTO#"},
    {"+/- %", "TOLLERPERCDENSPROD"},   {"pH", "PHFORMUL"},
    {"+/-", "TOLLPERCPHFORMUL"},       {"Acqua addolcita %", "PERCACQUAADDOLC"},
    {"Quantità", "QUANTITAACQUA"},     {"Toll.", "TOLLERANZATOTALE"},
};

const std::vector<std::pair<const char*, const char*>> kColonneMaterie = {
    {"NRIGA", "N.R."},
    {"CODICEMATERIAPRIMA", "Codice"},
    {"DESCRIZIONE", "Descrizione"},
    {"PERCENTUALE", "%"},
    {"CODICEINTERNO", "Lotto o Analisi"},
    {"CRITICO", "Ver."},
    {"QUANTITARAW", "Quant. Kg"},
    {"BILANCIA", "Bilancia"},
    {"TOLLERANZA1", "Toll."},
    {"ANALOGHI", "Analoghi"},
};

const std::vector<std::pair<const char*, const char*>> kColonneCritici = {
    {"NRIGA", "N.R."},
    {"CODICEMATERIAPRIMA", "Codice"},
    {"DESCRIZIONE", "Descrizione"},
    {"PERCENTUALE", "%"},
    {"ACCETTABILITA", "Minimo"},
    {"MATERIAATTIVAREALE", "Mat.Att.Reale"},
    {"PERCENTUALEAGGIORNATA", "% Agg."},
    {"QUANTITAKG1", "Q.calc."},
    {"QUANTITAKG", "Q.tà Kg"},
};

constexpr int kSituazione = 23;        // the window
constexpr int kSituazioneMaterie = 47; // the grids
constexpr int kSituazioneCritici = 48;

QLineEdit* sola(QWidget* parent, const QString& nome) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(nome);
    e->setReadOnly(true);
    return e;
}

QString testoMostrato(const Campo& c) {
    if (c.isNull()) {
        return {};
    }
    switch (c.info().tipo) {
    case TipoCampo::Decimale:
    case TipoCampo::Virgola:
        return Formati::numeroInTesto(c.asFloat());
    case TipoCampo::Data:
        return Formati::dataInTesto(c.asDate());
    default:
        return c.asString();
    }
}

} // namespace

TStoFabForm::TStoFabForm(TTabXForm* sessione, const LottoCorrente& lotto, QWidget* owner)
    : QDialog(owner), sessione_(sessione),
      transazione_(&sessione->IBDatabase1,
                   {QStringLiteral("isc_tpb_concurrency"), QStringLiteral("isc_tpb_nowait")}),
      querySchede_(&sessione->IBDatabase1, &transazione_),
      queryMat_(&sessione->IBDatabase1, &transazione_),
      queryCritici_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(QStringLiteral("StoFabForm"));
    setWindowTitle(QStringLiteral("Scheda Storico fabbricazioni - Ditta: ") + sessione->Ditta);
    if (owner) {
        setWindowIcon(owner->windowIcon());
    }

    auto* v = new QVBoxLayout(this);
    auto* testa = new QHBoxLayout;
    EditCodice = sola(this, QStringLiteral("EditCodice"));
    EditProdotto = sola(this, QStringLiteral("EditProdotto"));
    EditData = sola(this, QStringLiteral("EditData"));
    EditLotto = sola(this, QStringLiteral("EditLotto"));
    for (auto [titolo, e] :
         std::initializer_list<std::pair<const char*, QLineEdit*>>{{"Codice", EditCodice},
                                                                   {"Prodotto", EditProdotto},
                                                                   {"Data", EditData},
                                                                   {"Lotto", EditLotto}}) {
        testa->addWidget(new QLabel(QString::fromUtf8(titolo), this));
        testa->addWidget(e, e == EditProdotto ? 3 : 1);
    }
    v->addLayout(testa);

    TabSetStoFab = new QTabBar(this);
    TabSetStoFab->setObjectName(QStringLiteral("TabSetStoFab"));
    for (const char* t : {"Pagina 1", "Materie", "Comp. Critici", "Qualità"}) {
        TabSetStoFab->addTab(QString::fromUtf8(t));
    }
    Pagine = new QStackedWidget(this);
    v->addWidget(TabSetStoFab);
    v->addWidget(Pagine, 1);

    auto configura = [sessione](TCSDGrid* g, const char* nome, int situazione) {
        g->setObjectName(QString::fromLatin1(nome));
        g->CodiceProgetto = kProgetto;
        g->Situazione = situazione;
        g->Utente = sessione->NumUtente;
        g->NomeTabella = QStringLiteral("STOMAT");
        g->TabellaPiccola = true;
        g->DirectoryBin = sessione->GetV(QStringLiteral("BinDir"));
        g->DittaCorrente = sessione->Ditta;
        g->OrderBy = false;
    };

    // page 1: the archived header
    auto* p1 = new QWidget(Pagine);
    auto* g1 = new QGridLayout(p1);
    int i = 0;
    for (const auto& [titolo, colonna] : kTestata) {
        const int riga = i % 10;
        const int col = 2 * (i / 10);
        g1->addWidget(new QLabel(QString::fromUtf8(titolo), p1), riga, col);
        QLineEdit* e = sola(p1, QStringLiteral("Edit") + QString::fromLatin1(colonna));
        g1->addWidget(e, riga, col + 1);
        campi_.insert(QString::fromLatin1(colonna), e);
        ++i;
    }
    ButtonChiudi = creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonChiudi"), p1);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);
    g1->addWidget(ButtonChiudi, 10, 3, Qt::AlignRight);
    Pagine->addWidget(p1);

    // "Materie": the archived lines and the batch's figures
    auto* p2 = new QWidget(Pagine);
    auto* v2 = new QVBoxLayout(p2);
    GridStoMat = new TCSDGrid(p2);
    configura(GridStoMat, "GridStoMat", kSituazioneMaterie);
    v2->addWidget(GridStoMat, 1);
    auto* figure = new QGridLayout;
    i = 0;
    for (const auto& [titolo, colonna] : kFigure) {
        figure->addWidget(new QLabel(QString::fromUtf8(titolo), p2), 0, i);
        QLineEdit* e = sola(p2, QStringLiteral("Edit") + QString::fromLatin1(colonna).remove('#'));
        figure->addWidget(e, 1, i);
        campi_.insert(QString::fromLatin1(colonna), e);
        ++i;
    }
    figure->addWidget(new QLabel(QStringLiteral("Bilancia"), p2), 0, i);
    QLineEdit* bilancia = sola(p2, QStringLiteral("EditBilanciaAcqua"));
    bilancia->setText(QStringLiteral("11"));
    figure->addWidget(bilancia, 1, i);
    v2->addLayout(figure);
    Pagine->addWidget(p2);

    // "Comp. Critici" and "Qualità" share the critical grid
    auto* p3 = new QWidget(Pagine);
    auto* v3 = new QVBoxLayout(p3);
    v3->setContentsMargins(0, 0, 0, 0);
    postoCritici_ = p3;
    GridCritici = new TCSDGrid(p3);
    configura(GridCritici, "GridCritici", kSituazioneCritici);
    v3->addWidget(GridCritici);
    Pagine->addWidget(p3);
    auto* p4 = new QWidget(Pagine);
    auto* v4 = new QVBoxLayout(p4);
    postoQualita_ = new QWidget(p4);
    auto* pq = new QVBoxLayout(postoQualita_);
    pq->setContentsMargins(0, 0, 0, 0);
    v4->addWidget(postoQualita_, 1);
    v4->addWidget(new QLabel(QStringLiteral("Composizione"), p4));
    MemoComposizione = new QPlainTextEdit(p4);
    MemoComposizione->setObjectName(QStringLiteral("MemoComposizione"));
    MemoComposizione->setReadOnly(true);
    MemoComposizione->setMaximumHeight(120);
    v4->addWidget(MemoComposizione);
    v4->addWidget(new QLabel(QStringLiteral("Accettabilità"), p4));
    EditAccettabilita = sola(p4, QStringLiteral("EditAccettabilita"));
    v4->addWidget(EditAccettabilita);
    Pagine->addWidget(p4);

    GridStoMat->collega(&queryMat_, [this] {
        return QStringList{QStringLiteral("SELECT * FROM STOMAT"),
                           codice_ ? QStringLiteral("WHERE CODICESTORICO=") + sql::intero(*codice_)
                                   : QStringLiteral("WHERE CODICESTORICO IS NULL"),
                           QStringLiteral("ORDER BY CODICESTORICO,NRIGA")};
    });
    GridCritici->collega(&queryCritici_, [this] {
        return QStringList{
            QStringLiteral("SELECT * FROM STOMAT"),
            codice_ ? QStringLiteral("WHERE (CODICESTORICO=") + sql::intero(*codice_) + ')'
                    : QStringLiteral("WHERE (CODICESTORICO IS NULL)"),
            QStringLiteral("AND(CRITICO='1')"), QStringLiteral("ORDER BY CODICESTORICO,NRIGA")};
    });
    // after the grid has laid out the columns of a fresh open (a search or
    // a new order opens it again)
    connect(
        GridStoMat->modello(), &QAbstractItemModel::modelReset, this,
        [this] { titoli(GridStoMat, kColonneMaterie); }, Qt::QueuedConnection);
    connect(
        GridCritici->modello(), &QAbstractItemModel::modelReset, this,
        [this] { titoli(GridCritici, kColonneCritici); }, Qt::QueuedConnection);
    connect(GridCritici->modello(), &QAbstractItemModel::modelReset, this,
            &TStoFabForm::mostraCritico);
    connect(GridCritici->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TStoFabForm::mostraCritico);
    connect(TabSetStoFab, &QTabBar::currentChanged, this, &TStoFabForm::mostraPagina);

    resize(980, 620);
    if (!sessione->IBDatabase1.connected()) {
        return;
    }
    CaricaPosizioneFinestra(this, sessione->NumUtente, kSituazione, &sessione->IBDatabase1);
    try {
        transazione_.start();
        leggiScheda(lotto);
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

TStoFabForm::~TStoFabForm() {
    GridStoMat->setSorgenteDati(nullptr);
    GridCritici->setSorgenteDati(nullptr);
}

QLineEdit* TStoFabForm::campo(const QString& colonna) const {
    return campi_.value(colonna);
}

void TStoFabForm::leggiScheda(const LottoCorrente& lotto) {
    querySchede_.SQL = {QStringLiteral("SELECT * FROM STOFAB"),
                        QStringLiteral("WHERE (CODICE=") + sql::testoNonNullo(lotto.codice) + ')',
                        QStringLiteral("AND(DATA=") + sql::data(lotto.data) + ')',
                        QStringLiteral("AND(LOTTO=") + sql::testoNonNullo(lotto.lotto) + ')'};
    querySchede_.open();
    if (!querySchede_.eof()) {
        codice_ = querySchede_[QStringLiteral("CODICEINTERNO")].asInteger();
        EditCodice->setText(testoMostrato(querySchede_[QStringLiteral("CODICE")]));
        EditProdotto->setText(testoMostrato(querySchede_[QStringLiteral("NOMEPRODOTTO")]));
        EditData->setText(testoMostrato(querySchede_[QStringLiteral("DATA")]));
        EditLotto->setText(testoMostrato(querySchede_[QStringLiteral("LOTTO")]));
        for (auto it = campi_.cbegin(); it != campi_.cend(); ++it) {
            QString colonna = it.key();
            colonna.remove('#');
            const Campo c = querySchede_[colonna];
            // the containers as the sheet shows them: "###,###.##"
            it.value()->setText(colonna == QLatin1String("NUMEROCONTENITORI") && !c.isNull()
                                    ? Formati::numeroConMigliaia(c.asFloat(), 2)
                                    : testoMostrato(c));
            it.value()->setCursorPosition(0);
        }
    }
    querySchede_.close();
}

void TStoFabForm::titoli(TCSDGrid* g,
                         const std::vector<std::pair<const char*, const char*>>& colonne) {
    GrigliaModello* m = g->modello();
    for (int c = 0; c < m->columnCount(); ++c) {
        g->setColumnHidden(c, true);
    }
    for (const auto& [colonna, titolo] : colonne) {
        const int c = m->indiceCampo(QString::fromLatin1(colonna));
        if (c >= 0) {
            g->setColumnHidden(c, false);
            m->setTitolo(c, QString::fromUtf8(titolo));
        }
    }
}

void TStoFabForm::mostraCritico() {
    MemoComposizione->clear();
    EditAccettabilita->clear();
    if (!queryCritici_.isOpen() || !GridCritici->currentIndex().isValid()) {
        return;
    }
    const Campo composizione = GridCritici->campoCorrente(QStringLiteral("COMPOSIZIONE"));
    const Campo range = GridCritici->campoCorrente(QStringLiteral("RANGE"));
    MemoComposizione->setPlainText(composizione.isNull() ? QString() : composizione.asString());
    EditAccettabilita->setText(range.isNull() ? QString() : range.asString());
}

void TStoFabForm::mostraPagina(int pagina) {
    if (TabSetStoFab->currentIndex() != pagina) {
        TabSetStoFab->setCurrentIndex(pagina); // comes back here
        return;
    }
    Pagine->setCurrentIndex(pagina);
    try {
        // the line lists are open only while their page is shown
        if (pagina == Materie) {
            if (!queryMat_.isOpen()) {
                queryMat_.open();
                titoli(GridStoMat, kColonneMaterie);
            }
        } else {
            queryMat_.close();
        }
        if (pagina == CompCritici || pagina == Qualita) {
            QWidget* posto = pagina == CompCritici ? postoCritici_ : postoQualita_;
            if (GridCritici->parentWidget() != posto) {
                posto->layout()->addWidget(GridCritici);
                GridCritici->show();
            }
            if (!queryCritici_.isOpen()) {
                queryCritici_.open();
                titoli(GridCritici, kColonneCritici);
            }
        } else {
            queryCritici_.close();
            mostraCritico();
        }
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

void TStoFabForm::done(int r) {
    try {
        queryMat_.close();
        queryCritici_.close();
    } catch (const DbError&) {
    }
    if (sessione_->IBDatabase1.connected()) {
        SalvaPosizioneFinestra(this, sessione_->NumUtente, kSituazione, &sessione_->IBDatabase1);
    }
    QDialog::done(r);
}

} // namespace quintar
