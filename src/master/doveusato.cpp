#include "master/doveusato.h"

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
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quintar {

namespace {

// Layouts of the three lists.
constexpr int kSituazioneFormulazioni = 70;
constexpr int kSituazioneProdotti = 71;
constexpr int kSituazioneFabbricazioni = 72;
constexpr int kSituazioneSchedeCosto = 73;

// The packaging slots of a product and of a batch: code column, name
// column, and what the slot is.
struct Posto {
    const char* codiceProdotto;
    const char* nomeProdotto;
    const char* codiceFabbricazione;
    const char* nomeFabbricazione;
    const char* impiego;
};
constexpr Posto kPosti[] = {
    {"CODICEIMBALLOCONTENITORE", "IMBALLOCONTENITORE", "CODICECONTENITORE", "CONTENITORE",
     "Contenitore"},
    {"CODICEIMBALLOTAPPO", "IMBALLOTAPPO", "CODICETAPPO", "TAPPO", "Tappo"},
    {"CODICEIMBALLOETICHETTA", "IMBALLOETICHETTA", "CODICEETICHETTA", "ETICHETTA", "Etichetta"},
    {"CODICEIMBALLOCARTONE", "IMBALLOCARTONE", "CODICECARTONE", "CARTONE", "Cartone"},
    {"CODICEIMBALLOALTRO1", "IMBALLOALTRO1", "CODICEALTRO1", "ALTRO1", "Altro 1"},
    {"CODICEIMBALLOALTRO2", "IMBALLOALTRO2", "CODICEALTRO2", "ALTRO2", "Altro 2"},
    {"CODICEIMBALLOALTRO3", "IMBALLOALTRO3", "CODICEALTRO3", "ALTRO3", "Altro 3"},
    {"CODICEIMBALLOALTRO4", "IMBALLOALTRO4", "CODICEALTRO4", "ALTRO4", "Altro 4"},
};

// The slot holds the item: its code, or no code and the item's name (the
// name is read once, not for every row).
QString postoConImballo(const QString& tabella, const char* colonnaCodice, const char* colonnaNome,
                        const QString& codice) {
    const QString c = tabella + '.' + QLatin1String(colonnaCodice);
    const QString n = tabella + '.' + QLatin1String(colonnaNome);
    const QString nome = QStringLiteral("(SELECT IMBALLI.NOMEIMBALLO FROM IMBALLI WHERE "
                                        "IMBALLI.CODICE=%1)")
                             .arg(sql::testoNonNullo(codice));
    return QStringLiteral("(%1=%2 OR (%1 IS NULL AND %3=%4))")
        .arg(c, sql::testoNonNullo(codice), n, nome);
}

QStringList condizioneImballo(const QString& tabella, bool prodotto, const QString& codice) {
    QStringList r;
    for (const Posto& p : kPosti) {
        r << (r.isEmpty() ? QStringLiteral("  ") : QStringLiteral("  OR ")) +
                 postoConImballo(tabella, prodotto ? p.codiceProdotto : p.codiceFabbricazione,
                                 prodotto ? p.nomeProdotto : p.nomeFabbricazione, codice);
    }
    return r;
}

// What the item is in the product or batch: the first slot that holds it.
QString colonnaImpiego(const QString& tabella, bool prodotto, const QString& codice) {
    QString r = QStringLiteral("  CASE");
    for (const Posto& p : kPosti) {
        r += QStringLiteral(" WHEN %1 THEN '%2'")
                 .arg(postoConImballo(tabella, prodotto ? p.codiceProdotto : p.codiceFabbricazione,
                                      prodotto ? p.nomeProdotto : p.nomeFabbricazione, codice),
                      QLatin1String(p.impiego));
    }
    return r + QStringLiteral(" END AS IMPIEGO,");
}

QString plurale(int n, const char* uno, const char* molti) {
    return QString::number(n) + ' ' + QString::fromUtf8(n == 1 ? uno : molti);
}

// "a", "a e b", "a, b e c"
QString elenco(const QStringList& parti) {
    if (parti.size() <= 1) {
        return parti.value(0);
    }
    return QStringList(parti.mid(0, parti.size() - 1)).join(QStringLiteral(", ")) +
           QStringLiteral(" e ") + parti.last();
}

} // namespace

QString condizioneFabbricazioneAperta() {
    // the states as a list, so that the index on the state serves
    return QStringLiteral("(FABBRIC.STATUS IS NULL OR FABBRIC.STATUS IN ('', 'DA FARE', "
                          "'IMPEGNATA'))");
}

QStringList sqlFormulazioniCheUsano(Articolo a, const QString& codice) {
    if (a == Articolo::Prodotto) {
        // the formulations whose semi-finished product it is
        return {QStringLiteral("SELECT"),
                QStringLiteral("  FORMUL.CODICE AS CODICEFORMULAZIONE,"),
                QStringLiteral("  FORMUL.NOME,"),
                QStringLiteral("  FORMUL.EDIZIONE,"),
                QStringLiteral("  FORMUL.REVISIONE"),
                QStringLiteral("FROM"),
                QStringLiteral("  FORMUL"),
                QStringLiteral("WHERE"),
                QStringLiteral("  (FORMUL.SEMILAVORATOCOLLEGATO=") + sql::testoNonNullo(codice) +
                    QStringLiteral(")")};
    }
    if (a != Articolo::MateriaPrima) {
        return {};
    }
    return {QStringLiteral("SELECT"),
            QStringLiteral("  COMPON.CODICEFORMULAZIONE,"),
            QStringLiteral("  FORMUL.NOME,"),
            QStringLiteral("  COMPON.NRIGA,"),
            QStringLiteral("  COMPON.PERCENTUALE,"),
            QStringLiteral("  COMPON.TOLLERANZA,"),
            QStringLiteral("  COMPON.CRITICO,"),
            QStringLiteral("  FORMUL.EDIZIONE,"),
            QStringLiteral("  FORMUL.REVISIONE"),
            QStringLiteral("FROM"),
            QStringLiteral("  COMPON"),
            QStringLiteral("  LEFT JOIN FORMUL ON"),
            QStringLiteral("  FORMUL.CODICE=COMPON.CODICEFORMULAZIONE"),
            QStringLiteral("WHERE"),
            QStringLiteral("  (COMPON.CODICEMATERIAPRIMA=") + sql::testoNonNullo(codice) +
                QStringLiteral(")")};
}

QStringList sqlProdottiCheUsano(Articolo a, const QString& codice) {
    if (a == Articolo::Prodotto) {
        return {};
    }
    if (a == Articolo::MateriaPrima) {
        return {QStringLiteral("SELECT"),
                QStringLiteral("  PRODOT.CODICE,"),
                QStringLiteral("  PRODOT.NOME,"),
                QStringLiteral("  PRODOT.CODICEFORMULAZIONE,"),
                QStringLiteral("  PRODOT.CATEGORIAPRODOTTO,"),
                QStringLiteral("  PRODOT.CONFEZIONEVENDITA"),
                QStringLiteral("FROM"),
                QStringLiteral("  PRODOT"),
                QStringLiteral("WHERE"),
                QStringLiteral("  (PRODOT.CODICEFORMULAZIONE IN (SELECT "
                               "COMPON.CODICEFORMULAZIONE FROM COMPON WHERE "
                               "COMPON.CODICEMATERIAPRIMA=") +
                    sql::testoNonNullo(codice) + QStringLiteral("))")};
    }
    const QString t = QStringLiteral("PRODOT");
    return QStringList{QStringLiteral("SELECT"),
                       QStringLiteral("  PRODOT.CODICE,"),
                       QStringLiteral("  PRODOT.NOME,"),
                       colonnaImpiego(t, true, codice),
                       QStringLiteral("  PRODOT.CODICEFORMULAZIONE,"),
                       QStringLiteral("  PRODOT.CONFEZIONEVENDITA"),
                       QStringLiteral("FROM"),
                       QStringLiteral("  PRODOT"),
                       QStringLiteral("WHERE"),
                       QStringLiteral("(")} +
           condizioneImballo(t, true, codice) + QStringList{QStringLiteral(")")};
}

QStringList sqlFabbricazioniCheUsano(Articolo a, const QString& codice) {
    const QString t = QStringLiteral("FABBRIC");
    QStringList sql{QStringLiteral("SELECT"), QStringLiteral("  FABBRIC.CODICE,"),
                    QStringLiteral("  FABBRIC.DATA,"), QStringLiteral("  FABBRIC.LOTTO,"),
                    QStringLiteral("  FABBRIC.NOMEPRODOTTO,")};
    if (a == Articolo::MateriaPrima) {
        // the material's share of the batch, however many lines take it
        sql << QStringLiteral("  (SELECT SUM(FABBCOMPON.PERCENTUALE) FROM FABBCOMPON WHERE "
                              "FABBCOMPON.CODICEFABBRICAZIONE=FABBRIC.CODICE AND "
                              "FABBCOMPON.DATAFABBRICAZIONE=FABBRIC.DATA AND "
                              "FABBCOMPON.LOTTOFABBRICAZIONE=FABBRIC.LOTTO AND "
                              "FABBCOMPON.CODICEMATERIAPRIMA=") +
                   sql::testoNonNullo(codice) + QStringLiteral(") AS PERCENTUALE,");
    } else if (a == Articolo::Imballo) {
        sql << colonnaImpiego(t, false, codice);
    }
    sql << QStringLiteral("  FABBRIC.QUANTITALITRI,") << QStringLiteral("  FABBRIC.UNITAMISURA,")
        << QStringLiteral("  FABBRIC.STATUS,") << QStringLiteral("  FABBRIC.ID")
        << QStringLiteral("FROM") << QStringLiteral("  FABBRIC") << QStringLiteral("WHERE")
        << QStringLiteral("  ") + condizioneFabbricazioneAperta();
    if (a == Articolo::MateriaPrima) {
        sql << QStringLiteral("  AND EXISTS (SELECT 1 FROM FABBCOMPON WHERE "
                              "FABBCOMPON.CODICEFABBRICAZIONE=FABBRIC.CODICE AND "
                              "FABBCOMPON.DATAFABBRICAZIONE=FABBRIC.DATA AND "
                              "FABBCOMPON.LOTTOFABBRICAZIONE=FABBRIC.LOTTO AND "
                              "FABBCOMPON.CODICEMATERIAPRIMA=") +
                   sql::testoNonNullo(codice) + QStringLiteral(")");
    } else if (a == Articolo::Imballo) {
        sql << QStringLiteral("  AND (") << condizioneImballo(t, false, codice)
            << QStringLiteral("  )");
    } else {
        sql << QStringLiteral("  AND (FABBRIC.CODICE=") + sql::testoNonNullo(codice) +
                   QStringLiteral(")");
    }
    return sql;
}

QStringList sqlSchedeCostoCheUsano(Articolo a, const QString& codice) {
    QStringList sql{QStringLiteral("SELECT"),
                    QStringLiteral("  COSTI.CODICE,"),
                    QStringLiteral("  COSTI.DESCRIZIONE,"),
                    QStringLiteral("  COSTI.CODICEPRODOTTO,"),
                    QStringLiteral("  PRODOT.NOME,"),
                    QStringLiteral("  COSTI.TIPOSCHEDA,"),
                    QStringLiteral("  COSTI.QUANTITADAPRODURRE,"),
                    QStringLiteral("  COSTI.DATAULTIMAMODIFICA"),
                    QStringLiteral("FROM"),
                    QStringLiteral("  COSTI"),
                    QStringLiteral("  LEFT JOIN PRODOT ON"),
                    QStringLiteral("  PRODOT.CODICE=COSTI.CODICEPRODOTTO"),
                    QStringLiteral("WHERE")};
    switch (a) {
    case Articolo::Prodotto:
        sql << QStringLiteral("  (COSTI.CODICEPRODOTTO=") + sql::testoNonNullo(codice) +
                   QStringLiteral(")");
        break;
    case Articolo::MateriaPrima:
        sql << QStringLiteral("  (PRODOT.CODICEFORMULAZIONE IN (SELECT "
                              "COMPON.CODICEFORMULAZIONE FROM COMPON WHERE "
                              "COMPON.CODICEMATERIAPRIMA=") +
                   sql::testoNonNullo(codice) + QStringLiteral("))");
        break;
    case Articolo::Imballo:
        sql << QStringLiteral("(") << condizioneImballo(QStringLiteral("PRODOT"), true, codice)
            << QStringLiteral(")");
        break;
    }
    return sql;
}

UsiArticolo contaUsi(Query& q, Articolo a, const QString& codice) {
    auto conta = [&q](const QString& cosa, const QStringList& sql) {
        if (sql.isEmpty()) {
            return 0;
        }
        q.SQL = QStringList{QStringLiteral("SELECT COUNT(%1) FROM (").arg(cosa)} + sql +
                QStringList{QStringLiteral(")")};
        return q.scalar().toInt();
    };
    UsiArticolo u;
    u.formulazioni =
        conta(QStringLiteral("DISTINCT CODICEFORMULAZIONE"), sqlFormulazioniCheUsano(a, codice));
    u.prodotti = conta(QStringLiteral("*"), sqlProdottiCheUsano(a, codice));
    u.fabbricazioniAperte = conta(QStringLiteral("*"), sqlFabbricazioniCheUsano(a, codice));
    u.schedeCosto = conta(QStringLiteral("*"), sqlSchedeCostoCheUsano(a, codice));
    return u;
}

QString avvisoUsi(Articolo a, const UsiArticolo& u) {
    if (u.nessuno()) {
        return {};
    }
    QStringList parti;
    switch (a) {
    case Articolo::MateriaPrima:
        parti << plurale(u.formulazioni, "formulazione", "formulazioni")
              << plurale(u.prodotti, "prodotto", "prodotti");
        break;
    case Articolo::Imballo:
        if (u.prodotti > 0) {
            parti << plurale(u.prodotti, "prodotto", "prodotti");
        }
        break;
    case Articolo::Prodotto:
        if (u.formulazioni > 0) {
            parti << plurale(u.formulazioni, "formulazione come semilavorato",
                             "formulazioni come semilavorato");
        }
        break;
    }
    if (u.schedeCosto > 0) {
        parti << plurale(u.schedeCosto, "scheda costo", "schede costo");
    }
    if (u.fabbricazioniAperte > 0) {
        parti << plurale(u.fabbricazioniAperte, "fabbricazione aperta", "fabbricazioni aperte");
    }
    switch (a) {
    case Articolo::MateriaPrima:
        // a calculation that meets a material no longer in the archive stops
        // and names it, rather than pricing it at 0
        return QStringLiteral("La materia prima è usata in ") + elenco(parti) +
               (u.formulazioni > 0 ? QStringLiteral(": finché resta nelle formulazioni, i loro "
                                                    "costi non si potranno ricalcolare.")
                                   : QStringLiteral("."));
    case Articolo::Imballo:
        return QStringLiteral("L'imballo è usato in ") + elenco(parti) + QStringLiteral(".");
    case Articolo::Prodotto:
        return QStringLiteral("Il prodotto è usato in ") + elenco(parti) +
               (u.schedeCosto > 0
                    ? QStringLiteral(": le sue schede costo non si potranno più ricalcolare.")
                    : QStringLiteral("."));
    }
    return {};
}

// ------------------------------------------------------------------ window

TDoveUsatoForm::TDoveUsatoForm(TTabXForm* sessione, Articolo a, const QString& codice,
                               QWidget* owner)
    : QDialog(owner), GridFormulazioni(nullptr), GridProdotti(nullptr), sessione_(sessione),
      articolo_(a), codice_(codice), transazione_(&sessione->IBDatabase1),
      queryFormulazioni_(&sessione->IBDatabase1, &transazione_),
      queryProdotti_(&sessione->IBDatabase1, &transazione_),
      queryFabbricazioni_(&sessione->IBDatabase1, &transazione_),
      querySchedeCosto_(&sessione->IBDatabase1, &transazione_) {
    setObjectName(QStringLiteral("DoveUsatoForm"));
    const QString cosa = a == Articolo::MateriaPrima ? QStringLiteral("Materia prima")
                         : a == Articolo::Imballo    ? QStringLiteral("Imballo")
                                                     : QStringLiteral("Prodotto");
    setWindowTitle(QStringLiteral("Dove usato - ") + cosa);
    if (owner) {
        setWindowIcon(owner->windowIcon());
    }
    EditCodice = new QLineEdit(this);
    EditCodice->setObjectName(QStringLiteral("EditCodiceDoveUsato"));
    EditNome = new QLineEdit(this);
    EditNome->setObjectName(QStringLiteral("EditNomeDoveUsato"));
    for (QLineEdit* e : {EditCodice, EditNome}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    EditCodice->setText(codice);
    TabDoveUsato = new QTabWidget(this);
    TabDoveUsato->setObjectName(QStringLiteral("TabDoveUsato"));
    TabDoveUsato->tabBar()->setObjectName(QStringLiteral("TabBarDoveUsato"));
    if (QStringList sql = sqlFormulazioniCheUsano(a, codice); !sql.isEmpty()) {
        GridFormulazioni = creaGriglia(QStringLiteral("GridFormulazioni"), kSituazioneFormulazioni,
                                       a == Articolo::Prodotto ? QStringLiteral("FORMUL")
                                                               : QStringLiteral("COMPON"),
                                       queryFormulazioni_, sql);
        TabDoveUsato->addTab(GridFormulazioni, QStringLiteral("&Formulazioni"));
    }
    if (QStringList sql = sqlProdottiCheUsano(a, codice); !sql.isEmpty()) {
        GridProdotti = creaGriglia(QStringLiteral("GridProdotti"), kSituazioneProdotti,
                                   QStringLiteral("PRODOT"), queryProdotti_, sql);
        TabDoveUsato->addTab(GridProdotti, QStringLiteral("&Prodotti"));
    }
    GridFabbricazioni = creaGriglia(QStringLiteral("GridFabbricazioni"), kSituazioneFabbricazioni,
                                    QStringLiteral("FABBRIC"), queryFabbricazioni_,
                                    sqlFabbricazioniCheUsano(a, codice));
    TabDoveUsato->addTab(GridFabbricazioni, QStringLiteral("Fabbricazioni &aperte"));
    GridSchedeCosto =
        creaGriglia(QStringLiteral("GridSchedeCosto"), kSituazioneSchedeCosto,
                    QStringLiteral("COSTI"), querySchedeCosto_, sqlSchedeCostoCheUsano(a, codice));
    TabDoveUsato->addTab(GridSchedeCosto, QStringLiteral("&Schede costo"));
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);

    auto* testa = new QHBoxLayout;
    testa->addWidget(new QLabel(cosa, this));
    testa->addWidget(EditCodice);
    testa->addWidget(EditNome, 1);
    auto* piede = new QHBoxLayout;
    piede->addStretch();
    piede->addWidget(ButtonChiudi);
    auto* v = new QVBoxLayout(this);
    v->addLayout(testa);
    v->addWidget(TabDoveUsato, 1);
    v->addLayout(piede);
    resize(800, 440);

    if (!sessione->IBDatabase1.connected()) {
        return;
    }
    leggiNome();
    try {
        transazione_.start();
        for (Query* q :
             {&queryFormulazioni_, &queryProdotti_, &queryFabbricazioni_, &querySchedeCosto_}) {
            if (!q->SQL.isEmpty()) {
                q->open();
            }
        }
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    // the page titles tell how many rows each list holds
    const UsiArticolo u = [this] {
        try {
            Query q(&sessione_->IBDatabase1, &transazione_);
            return contaUsi(q, articolo_, codice_);
        } catch (const DbError&) {
            return UsiArticolo{};
        }
    }();
    int pagina = 0;
    if (GridFormulazioni) {
        TabDoveUsato->setTabText(pagina++,
                                 QStringLiteral("&Formulazioni (%1)").arg(u.formulazioni));
    }
    if (GridProdotti) {
        TabDoveUsato->setTabText(pagina++, QStringLiteral("&Prodotti (%1)").arg(u.prodotti));
    }
    TabDoveUsato->setTabText(
        pagina++, QStringLiteral("Fabbricazioni &aperte (%1)").arg(u.fabbricazioniAperte));
    TabDoveUsato->setTabText(pagina, QStringLiteral("&Schede costo (%1)").arg(u.schedeCosto));
}

TDoveUsatoForm::~TDoveUsatoForm() {
    for (TCSDGrid* g : {GridFormulazioni, GridProdotti, GridFabbricazioni, GridSchedeCosto}) {
        if (g) {
            g->setSorgenteDati(nullptr);
        }
    }
}

TCSDGrid* TDoveUsatoForm::creaGriglia(const QString& nome, int situazione, const QString& tabella,
                                      Query& q, QStringList sql) {
    auto* g = new TCSDGrid(this);
    g->setObjectName(nome);
    g->CodiceProgetto = kProgetto;
    g->Situazione = situazione;
    g->Utente = sessione_->NumUtente;
    g->NomeTabella = tabella;
    g->TabellaPiccola = true;
    g->DirectoryBin = sessione_->GetV(QStringLiteral("BinDir"));
    g->DittaCorrente = sessione_->Ditta;
    g->AbilitaRicerca = true;
    // the code is quoted in the statement: nothing typed becomes part of it
    q.SQL = sql;
    g->collega(&q, [sql] { return sql; });
    return g;
}

void TDoveUsatoForm::leggiNome() {
    try {
        Transaction t(&sessione_->IBDatabase1);
        Query q(&sessione_->IBDatabase1, &t);
        q.SQL = {
            articolo_ == Articolo::MateriaPrima
                ? QStringLiteral("SELECT NOMECOMMERCIALE FROM MATER WHERE CODICE=")
            : articolo_ == Articolo::Imballo
                ? QStringLiteral("SELECT NOMEIMBALLO FROM IMBALLI WHERE CODICE=")
                : QStringLiteral("SELECT NOME FROM PRODOT WHERE CODICE="),
        };
        q.SQL.first() += sql::testoNonNullo(codice_);
        EditNome->setText(q.scalar().toString());
        t.commit();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
}

void TDoveUsatoForm::done(int r) {
    // closing the lists saves their layouts
    for (Query* q :
         {&queryFormulazioni_, &queryProdotti_, &queryFabbricazioni_, &querySchedeCosto_}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
    QDialog::done(r);
}

void TDoveUsatoForm::mostra(TTabXForm* sessione, Articolo a, const QString& codice,
                            QWidget* owner) {
    TDoveUsatoForm f(sessione, a, codice, owner);
    Messaggi::esegui(&f);
}

} // namespace quintar
