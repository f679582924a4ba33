#include "master/mater.h"

#include "formulation/sincroprezzi.h"
#include "master/fornito.h"
#include "report/stampascheda.h"
#include "session/apertura.h"
#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/ricerca.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kTabella = QStringLiteral("MATER");

// The columns a header version copies (STOMATER has no locations).
const QStringList kColonneStoMater = {
    QStringLiteral("CODICE"),
    QStringLiteral("NOMECOMMERCIALE"),
    QStringLiteral("CODICECATEGORIAMP"),
    QStringLiteral("COMPOSIZIONE"),
    QStringLiteral("MATERIAATTIVA"),
    QStringLiteral("TOLLERANZAMA"),
    QStringLiteral("CODICEANALOGO"),
    QStringLiteral("CODICEFORNITORE"),
    QStringLiteral("CODICEESTERNO"),
    QStringLiteral("CONFEZIONE"),
    QStringLiteral("FLAGSCHEDASICUREZZA"),
    QStringLiteral("FLAGSCHEDATECNICA"),
    QStringLiteral("SIMBOLOGIARISCHIO"),
    QStringLiteral("FRASIR"),
    QStringLiteral("FRASIS"),
    QStringLiteral("NUMEROCAS"),
    QStringLiteral("EINECS"),
    QStringLiteral("INCI"),
    QStringLiteral("PREZZO"),
    QStringLiteral("ULTIMOAGGIORNPREZZO"),
    QStringLiteral("DATASTAMPA"),
    QStringLiteral("CODICEADR"),
    QStringLiteral("GRUPPOADR"),
};

CampoScheda campo(const char* colonna, const char* didascalia, const char* pulsante,
                  const char* editazione, const char* consultazione,
                  Controllo controllo = Controllo::Edit, TipoValore tipo = TipoValore::Testo,
                  const char* messaggio = nullptr) {
    CampoScheda c;
    c.colonna = QString::fromLatin1(colonna);
    c.didascalia = QString::fromUtf8(didascalia);
    c.pulsante = QString::fromLatin1(pulsante);
    c.editazione = QString::fromLatin1(editazione);
    c.consultazione = QString::fromLatin1(consultazione);
    c.controllo = controllo;
    c.tipo = tipo;
    if (messaggio) {
        c.messaggioNonValido = QString::fromUtf8(messaggio);
    }
    return c;
}

std::vector<CampoScheda> campiMateria() {
    std::vector<CampoScheda> c;
    c.push_back(campo("NOMECOMMERCIALE", "Nome Commerciale", "ButtonDescrizione", "EditDescrizione",
                      "EditDescrizione2"));
    CampoScheda categoria = campo("CODICECATEGORIAMP", "Categoria MP", "ButtonCategoriaMP",
                                  "ComboCategoriaMP", "EditCodiceCategoriaMP2", Controllo::Combo);
    categoria.descrizioneEditazione = QStringLiteral("StaticDescrizioneCategoria");
    categoria.descrizioneConsultazione = QStringLiteral("StaticDescrizioneCategoria2");
    c.push_back(categoria);
    c.push_back(campo("COMPOSIZIONE", "Composizione", "ButtonComposizione", "MemoComposizione",
                      "MemoComposizione2", Controllo::Memo));
    c.push_back(campo("MATERIAATTIVA", "Mat. Att. %", "ButtonMateriaAttiva", "EditMateriaAttiva",
                      "EditMateriaAttiva2", Controllo::Edit, TipoValore::Numero,
                      "Specificare un valore numerico valido per \"Mat. Att. %\""));
    c.push_back(campo("TOLLERANZAMA", "Toll. MA", "ButtonTolleranzaMA", "EditTolleranzaMA",
                      "EditTolleranzaMA2", Controllo::Edit, TipoValore::Numero,
                      "Specificare un valore numerico valido per \"Toll. MA\""));
    c.push_back(campo("DATASTAMPA", "Data", "ButtonDataStampa", "EditDataStampa", "EditDataStampa2",
                      Controllo::Edit, TipoValore::Data,
                      "Specificare una data valida per \"Data Stampa\""));
    c.push_back(campo("SIMBOLOGIARISCHIO", "Simbologia Rischio", "ButtonSimbologiaRischio",
                      "EditSimbologiaRischio", "EditSimbologiaRischio2", Controllo::Combo));
    c.push_back(campo("FRASIR", "Frasi R", "ButtonFrasiR", "EditFrasiR", "EditFrasiR2"));
    c.push_back(campo("FRASIS", "Frasi S", "ButtonFrasiS", "EditFrasiS", "EditFrasiS2"));
    c.push_back(campo("INCI", "INCI", "ButtonINCI", "EditINCI", "EditINCI2"));
    c.push_back(campo("EINECS", "EINECS", "ButtonEINECS", "EditEINECS", "EditEINECS2"));
    c.push_back(campo("NUMEROCAS", "CAS", "ButtonNumeroCAS", "EditNumeroCAS", "EditNumeroCAS2"));
    c.push_back(campo("CODICEANALOGO", "Cod. Analogo", "ButtonCodiceAnalogo", "EditCodiceAnalogo",
                      "EditCodiceAnalogo2"));
    c.push_back(campo("CODICEESTERNO", "Cod. Esterno", "ButtonCodiceEsterno", "EditCodiceEsterno",
                      "EditCodiceEsterno2"));
    CampoScheda fornitore = campo("CODICEFORNITORE", "Cod. Forn.", "ButtonFornitore",
                                  "EditFornitore", "EditFornitore2");
    fornitore.descrizioneEditazione = QStringLiteral("StaticDescrizioneFornitore");
    fornitore.descrizioneConsultazione = QStringLiteral("StaticDescrizioneFornitore2");
    c.push_back(fornitore);
    c.push_back(campo("FLAGSCHEDASICUREZZA", "Scheda sicurezza", "ButtonSchedaSicurezza",
                      "CheckSchedaSicurezza", "CheckSchedaSicurezza2", Controllo::Check,
                      TipoValore::Flag));
    c.push_back(campo("FLAGSCHEDATECNICA", "Scheda Tecnica", "ButtonSchedaTecnica",
                      "CheckSchedaTecnica", "CheckSchedaTecnica2", Controllo::Check,
                      TipoValore::Flag));
    c.push_back(campo("CODICEADR", "Codice A.D.R.", "ButtonCodiceADR", "ComboCodiceADR",
                      "EditCodiceADR2", Controllo::Combo));
    CampoScheda classe = campo("ADR2017.CLASSE", "Classe A.D.R.", "ButtonClasseADR",
                               "EditClasseADR", "EditClasseADR2");
    classe.memorizzato = false;
    c.push_back(classe);
    CampoScheda descrizione =
        campo("ADR2017.DESCRIZIONE", "Descrizione A.D.R.", "ButtonDescrizioneADR",
              "MemoDescrizioneADR", "MemoDescrizioneADR2", Controllo::Memo);
    descrizione.memorizzato = false;
    c.push_back(descrizione);
    CampoScheda gruppo = campo("GRUPPOADR", "Gruppo A.D.R.", "ButtonGruppoADR", "ComboGruppoADR",
                               "EditGruppoADR2", Controllo::Combo);
    gruppo.voci = {QString(), QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III")};
    c.push_back(gruppo);
    c.push_back(campo("UBICAZIONEPRIMARIA", "Ubicazione Primaria", "ButtonUbicazPrimaria",
                      "EditUbicazPrimaria", "EditUbicazPrimaria2"));
    c.push_back(campo("UBICAZIONESTOCK", "Ubicazione stock", "ButtonUbicazStock", "EditUbicazStock",
                      "EditUbicazStock2"));
    c.push_back(
        campo("CONFEZIONE", "Confezione", "ButtonConfezione", "EditConfezione", "EditConfezione2"));
    c.push_back(campo("PREZZO", "Prezzo al Kg", "ButtonPrezzo", "EditPrezzo", "EditPrezzo2",
                      Controllo::Edit, TipoValore::Numero,
                      "Specificare un valore numerico valido per \"Prezzo al Kg\""));
    c.push_back(campo("ULTIMOAGGIORNPREZZO", "Aggiornato al", "ButtonUltimoAggiorPrezzo",
                      "EditUltimoAggiorPrezzo", "EditUltimoAggiorPrezzo2", Controllo::Edit,
                      TipoValore::Data, "Specificare una data valida per \"Aggiornato al\""));
    return c;
}

QPushButton* pulsante(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    return b;
}

QString oggi() {
    return sql::data(QDate::currentDate());
}

enum Pagina { PaginaUno, Specifiche, Analoghi, Allegati, Ricerche, Storico };

} // namespace

TMaterForm::TMaterForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(
          sessione,
          {.tabella = kTabella,
           .nome = QStringLiteral("Mater"),
           .didascalia = QStringLiteral("Scheda materie prime - Ditta:"),
           .situazioneFinestra = 1,
           .situazioneGriglia = 1,
           // the first opening of the list, made by the base before this
           // card's own statement (sqlBase()) can answer
           .sqlBase = {QStringLiteral("SELECT * FROM MATER WHERE (CODICE IS NOT NULL)")},
           .nuovoCodice = NuovoCodice::Digitato,
           .titoloNuovo = QStringLiteral("Nuovo materiale"),
           .etichettaNuovo = QStringLiteral("Codice materiale:"),
           .campi = campiMateria(),
           .controlliProfilo =
               {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonEdit"),
                QStringLiteral("ButtonElimina"), QStringLiteral("ButtonSincroPrezzi"),
                QStringLiteral("ButtonSpNuovo"), QStringLiteral("ButtonSpEdit"),
                QStringLiteral("ButtonSpElimina"), QStringLiteral("ButtonAnaNCNuovo"),
                QStringLiteral("ButtonAnaNCEdit"), QStringLiteral("ButtonAnaNCElimina"),
                QStringLiteral("ButtonAllegatiAggiungi"), QStringLiteral("ButtonAllegatiTogli")},
           .navigatore = QStringLiteral("NavigatorMater"),
           .fuocoNuovo = QStringLiteral("CODICECATEGORIAMP"),
           .colonneCampi = 2},
          owner),
      TransazioneStorico(&sessione->IBDatabase1),
      QuerySpecifiche(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAnaloghi(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAnaloghiNonCod(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAna(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAllegati(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryStoricoT(&sessione->IBDatabase1, &TransazioneStorico),
      QueryStoricoD(&sessione->IBDatabase1, &TransazioneStorico) {
    creaPagine();
    caricaElenchi();
    collegaDecodifiche();
    connect(Griglia->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TMaterForm::rigaCambiata);
    connect(Griglia->modello(), &QAbstractItemModel::modelReset, this, &TMaterForm::rigaCambiata);
    resize(1000, 700);
    mostraPagina(PaginaUno);
    SettaggioInterfaccia();
    rigaCambiata();
}

TMaterForm::~TMaterForm() {
    // the base closes the list after this part is gone: no refresh reaches it
    Griglia->modello()->disconnect(this);
    Griglia->selectionModel()->disconnect(this);
    for (TCSDGrid* g : {GridSpecifiche, GridAnaloghi, GridAnaloghiNonCod, GridAna, GridAllegati,
                        GridStoricoT, GridStoricoD}) {
        g->setSorgenteDati(nullptr);
    }
    delete PaginaSpecifiche;
    delete PaginaAnaloghi;
}

int TMaterForm::StatoSpecifiche() const {
    return PaginaSpecifiche->Stato;
}

int TMaterForm::StatoAnaloghi() const {
    return PaginaAnaloghi->Stato;
}

void TMaterForm::preparaGriglia(TCSDGrid* g, int situazione, const QString& tabella) {
    g->CodiceProgetto = kProgetto;
    g->Situazione = situazione;
    g->Utente = sessione_->NumUtente;
    g->NomeTabella = tabella;
    g->TabellaPiccola = true;
    g->DirectoryBin = sessione_->GetV(QStringLiteral("BinDir"));
    g->DittaCorrente = sessione_->Ditta;
}

// ------------------------------------------------------------------ pages

void TMaterForm::creaPagine() {
    auto* principale = qobject_cast<QVBoxLayout*>(layout());
    principale->removeWidget(CorpoScheda);

    // "Pagina 1": version, the list with its two pages, the three small grids
    paginaUno_ = new QWidget(this);
    paginaUno_->setObjectName(QStringLiteral("Pagina1"));
    auto* v1 = new QVBoxLayout(paginaUno_);
    v1->setContentsMargins(0, 0, 0, 0);
    auto* versione = new QHBoxLayout;
    versione->addWidget(new QLabel(QStringLiteral("Versione:"), paginaUno_));
    LabelVersione = new QLabel(paginaUno_);
    LabelVersione->setObjectName(QStringLiteral("LabelVersione"));
    versione->addWidget(LabelVersione);
    versione->addStretch();
    v1->addLayout(versione);
    auto* h1 = new QHBoxLayout;
    h1->addWidget(CorpoScheda, 3);
    auto* piccole = new QVBoxLayout;
    auto piccola = [&](TCSDGrid*& g, const char* nome, const char* titolo, Query& q,
                       const QString& tabella, int situazione) {
        piccole->addWidget(new QLabel(QString::fromUtf8(titolo), paginaUno_));
        g = new TCSDGrid(paginaUno_);
        g->setObjectName(QString::fromLatin1(nome));
        preparaGriglia(g, situazione, tabella);
        g->TastiFunzione = false;
        // their statements carry their own order (ending with the key): a
        // second order line from the grid would make them invalid
        g->OrderBy = false;
        piccole->addWidget(g, 1);
        g->setSorgenteDati(&q);
    };
    piccola(GridSpecifiche, "GridSpecifiche", "Specifiche", QuerySpecifiche,
            QStringLiteral("SPECIF"), 6);
    piccola(GridAnaloghi, "GridAnaloghi", "Analoghi", QueryAnaloghi, kTabella, 7);
    piccola(GridAnaloghiNonCod, "GridAnaloghiNonCod", "Analoghi non codificati",
            QueryAnaloghiNonCod, QStringLiteral("ANANC"), 8);
    h1->addLayout(piccole, 1);
    v1->addLayout(h1, 1);

    // the consultation page's own buttons
    CheckEditReport = new QCheckBox(QStringLiteral("Edit report st."), PaginaConsultazione);
    CheckEditReport->setObjectName(QStringLiteral("CheckEditReport"));
    ButtonRicerche = pulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                              PaginaConsultazione);
    ButtonStampa =
        pulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"), PaginaConsultazione);
    ButtonSincroPrezzi = pulsante(QStringLiteral("Sincro &Prezzi"),
                                  QStringLiteral("ButtonSincroPrezzi"), PaginaConsultazione);
    // two columns of fields share each row: a one-line control beside a memo
    // stays level with its caption instead of sinking to the row's middle
    for (QWidget* pagina : {PaginaConsultazione, PaginaEditazione}) {
        for (QGridLayout* g : pagina->findChildren<QGridLayout*>()) {
            for (int i = 0; i < g->count(); ++i) {
                QLayoutItem* it = g->itemAt(i);
                if (!qobject_cast<QPlainTextEdit*>(it->widget())) {
                    it->setAlignment(it->alignment() | Qt::AlignTop);
                }
            }
            g->invalidate();
        }
    }
    auto* altri = new QHBoxLayout;
    altri->addWidget(CheckEditReport);
    altri->addStretch();
    for (QPushButton* b : {ButtonRicerche, ButtonStampa, ButtonSincroPrezzi}) {
        altri->addWidget(b);
    }
    if (auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout())) {
        v->insertLayout(v->count() - 1, altri);
    }
    // the supplier's caption opens the supplier search on the edit page
    ButtonFornitore = PaginaEditazione->findChild<QPushButton*>(QStringLiteral("ButtonFornitore"));
    ButtonFornitore->setText(QStringLiteral("Cod. &Forn."));
    ButtonFornitore->disconnect();
    connect(ButtonFornitore, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonFornitoreClick(); }));
    for (const char* nome : {"EditClasseADR"}) {
        if (auto* e = qobject_cast<QLineEdit*>(editazione(QStringLiteral("ADR2017.CLASSE")))) {
            Q_UNUSED(nome);
            e->setReadOnly(true);
            e->setProperty("Tag", 0);
        }
    }
    if (auto* m =
            qobject_cast<QPlainTextEdit*>(editazione(QStringLiteral("ADR2017.DESCRIZIONE")))) {
        m->setReadOnly(true);
        m->setProperty("Tag", 0);
    }

    TabSetMater = new QTabBar(this);
    TabSetMater->setObjectName(QStringLiteral("TabSetMater"));
    for (const char* t :
         {"Pagina 1", "Specifiche", "Analoghi", "Allegati", "Ricerche", "Storico"}) {
        TabSetMater->addTab(QString::fromLatin1(t));
    }
    testata_ = creaTestata(this, QStringLiteral("PanelTestata"),
                           {{QStringLiteral("Codice"), QStringLiteral("CODICE")},
                            {QStringLiteral("Nome Commerciale"), QStringLiteral("NOMECOMMERCIALE")},
                            {QStringLiteral("Categoria MP"), QStringLiteral("CODICECATEGORIAMP")}});
    {
        auto* descrizione = new QLineEdit(testata_);
        descrizione->setObjectName(QStringLiteral("PanelTestataDescrizioneCategoria"));
        descrizione->setReadOnly(true);
        descrizione->setFocusPolicy(Qt::NoFocus);
        qobject_cast<QHBoxLayout*>(testata_->layout())->insertWidget(6, descrizione, 1);
        collegaDescrizione(
            testata_->findChild<QLineEdit*>(QStringLiteral("PanelTestataCODICECATEGORIAMP")),
            descrizione, QStringLiteral("TimerCategoriaTestata"), [](const QString& c) {
                return QStringList{QStringLiteral("SELECT DESCRIZIONE FROM CATEGMP"),
                                   QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
            });
    }

    PanelSelezione = new QWidget(this);
    PanelSelezione->setObjectName(QStringLiteral("PanelSelezione"));
    {
        auto* ps = new QHBoxLayout(PanelSelezione);
        ps->setContentsMargins(0, 0, 0, 0);
        ps->addWidget(new QLabel(QStringLiteral("SELEZIONE ATTIVA:"), PanelSelezione));
        EditSelezione = new QLineEdit(PanelSelezione);
        EditSelezione->setObjectName(QStringLiteral("EditSelezione"));
        EditSelezione->setReadOnly(true);
        ps->addWidget(EditSelezione, 1);
        ButtonSelezionaAnnulla = pulsante(QStringLiteral("Annulla Selez."),
                                          QStringLiteral("ButtonSelezionaAnnulla"), PanelSelezione);
        ps->addWidget(ButtonSelezionaAnnulla);
        PanelSelezione->hide();
    }

    NotebookMater = new QStackedWidget(this);
    NotebookMater->setObjectName(QStringLiteral("NotebookMater"));
    NotebookMater->addWidget(paginaUno_);
    creaRigheSpecifiche();
    creaRigheAnaloghi();
    NotebookMater->addWidget(PaginaSpecifiche);
    NotebookMater->addWidget(PaginaAnaloghi->parentWidget());
    NotebookMater->addWidget(creaPaginaAllegati());
    NotebookMater->addWidget(creaPaginaRicerche());
    NotebookMater->addWidget(creaPaginaStorico());

    principale->addWidget(TabSetMater);
    principale->addWidget(PanelSelezione);
    principale->addWidget(testata_);
    principale->addWidget(NotebookMater, 1);

    connect(TabSetMater, &QTabBar::currentChanged, this, protetto(this, [this] {
                const int pagina = TabSetMater->currentIndex();
                if (pagina == NotebookMater->currentIndex()) {
                    return;
                }
                if (!tabConsentita(pagina)) {
                    const QSignalBlocker b(TabSetMater);
                    TabSetMater->setCurrentIndex(NotebookMater->currentIndex());
                    return;
                }
                mostraPagina(pagina);
            }));
    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));
    connect(ButtonStampa, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonStampaClick(); }));
    connect(ButtonSincroPrezzi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonSincroPrezziClick(); }));
    connect(ButtonSelezionaAnnulla, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAnnullaSelClick(); }));
    timerPiccole_ = new QTimer(this);
    timerPiccole_->setObjectName(QStringLiteral("TimerPiccole"));
    timerPiccole_->setSingleShot(true);
    timerPiccole_->setInterval(400);
    connect(timerPiccole_, &QTimer::timeout, this, protetto(this, [this] {
                timerPiccole_->stop();
                aggiornaPiccole();
            }));
}

void TMaterForm::creaRigheSpecifiche() {
    CampoScheda riga = campo("NRIGA", "N.Riga", "ButtonSpNRiga", "EditSpNRiga", "EditSpNRiga2");
    PaginaSpecifiche =
        new PaginaRighe(this,
                        {.tabella = QStringLiteral("SPECIF"),
                         .colonnaPadre = QStringLiteral("CODICEMP"),
                         .nome = QStringLiteral("Specifiche"),
                         .griglia = QStringLiteral("GridSpSpecifiche"),
                         .situazioneGriglia = 2,
                         .pulsanti = QStringLiteral("ButtonSp"),
                         .notebook = QStringLiteral("NoteBookEditSpecifiche"),
                         .notebookPulsanti = QStringLiteral("NoteBookEditSpecifiche2"),
                         .etichettaVersione = QStringLiteral("LabelSpVersione"),
                         .campoRiga = riga,
                         .campi = {campo("SPECIFICA", "Specifica", "ButtonSpSpecifica",
                                         "EditSpSpecifica", "EditSpSpecifica2")},
                         .messaggioCancellare = QStringLiteral(
                             "Errore interno: cancellare manualmente il record con CODICEMP ")},
                        this);
    PaginaRighe* p = PaginaSpecifiche;
    p->padre = [this] { return codiceCorrenteGriglia(); };
    p->storico = [this](Query& q, const QString& r, bool cancellazione, const QStringList& set) {
        const QString codice = PaginaSpecifiche->PadreCorrente;
        int testata = 0;
        if (cancellazione) {
            const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"),
                                            QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
            testata = h ? *h : versioneTestata(q, codice, true);
        } else {
            testata = testataPerRiga(q, codice);
        }
        storicoSpecifica(q, codice, r, testata, cancellazione, set, cancellazione);
    };
    p->sqlVersione = [](const QString& codice, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOSPECIF"),
                           QStringLiteral("WHERE (CODICEMP=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(codice), sql::intero(r))};
    };
    p->dopoSalvataggio = [this] { mostraVersioneTestata(); };
    p->bloccaScheda = [this](bool b) { bloccaPerRighe(b); };
    p->chiudi = [this] { mostraPagina(PaginaUno); };
}

void TMaterForm::creaRigheAnaloghi() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Analoghi"));
    auto* v = new QVBoxLayout(pagina);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(new QLabel(QStringLiteral("Analoghi"), pagina));
    GridAna = new TCSDGrid(pagina);
    GridAna->setObjectName(QStringLiteral("GridAna"));
    GridAna->setMaximumHeight(110);
    preparaGriglia(GridAna, 4, kTabella);
    GridAna->AbilitaRicerca = true;
    GridAna->collega(&QueryAna, [this] {
        const QString analogo = Griglia->campoCorrente(QStringLiteral("CODICEANALOGO")).asString();
        return QStringList{QStringLiteral("SELECT * FROM MATER WHERE"),
                           analogo.isEmpty() || listaVuota()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(analogo)};
    });
    v->addWidget(GridAna);
    v->addWidget(new QLabel(QStringLiteral("Analoghi non codificati"), pagina));

    CampoScheda codice = campo("CODICEANALOGO", "Cod.Analog", "ButtonAnaNCCodice",
                               "EditAnaNCCodice", "EditAnaNCCodice2");
    CampoScheda riga =
        campo("NRIGA", "N.Riga", "ButtonAnaNCNRiga", "EditAnaNCNRiga", "EditAnaNCNRiga2");
    PaginaAnaloghi = new PaginaRighe(
        this,
        {.tabella = QStringLiteral("ANANC"),
         .colonnaPadre = QStringLiteral("CODICEANALOGO"),
         .nome = QStringLiteral("PaginaAnaNC"),
         .griglia = QStringLiteral("GridAnaNC"),
         .situazioneGriglia = 3,
         .pulsanti = QStringLiteral("ButtonAnaNC"),
         .notebook = QStringLiteral("NoteBookAnaNC"),
         .etichettaVersione = QStringLiteral("LabelAnaNCVersione"),
         .campoPadre = codice,
         .campoRiga = riga,
         .campi = {campo("DESCRIZIONE", "Descrizione", "ButtonAnaNCDescrizione",
                         "EditAnaNCDescrizione", "EditAnaNCDescrizione2"),
                   campo("VALUTAZIONE", "&Valutazione", "ButtonAnaNCValutazione",
                         "EditAnaNCValutazione", "EditAnaNCValutazione2"),
                   campo("NOTE", "Note", "ButtonAnaNCNote", "EditAnaNCNote", "EditAnaNCNote2",
                         Controllo::Memo)},
         .messaggioCancellare =
             QStringLiteral("Errore interno: cancellare manualmente il record con CODICEANALOGO ")},
        pagina);
    v->addWidget(PaginaAnaloghi, 1);
    PaginaRighe* p = PaginaAnaloghi;
    p->padre = [this] {
        if (listaVuota()) {
            return QString();
        }
        const Campo c = Griglia->campoCorrente(QStringLiteral("CODICEANALOGO"));
        return c.isNull() ? QString() : c.asString();
    };
    p->storico = [this](Query& q, const QString& r, bool cancellazione, const QStringList& set) {
        const QString codice = codiceCorrenteGriglia();
        AnalogoCorrente = PaginaAnaloghi->PadreCorrente;
        int testata = 0;
        if (cancellazione) {
            const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"),
                                            QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
            testata = h ? *h : versioneTestata(q, codice, true);
        } else {
            testata = testataPerRiga(q, codice);
        }
        storicoAnalogo(q, codice, AnalogoCorrente, r, testata, cancellazione, set, cancellazione);
    };
    p->sqlVersione = [](const QString& analogo, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOANANC"),
                           QStringLiteral("WHERE (CODICEANALOGO=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(analogo), sql::intero(r))};
    };
    p->dopoSalvataggio = [this] { mostraVersioneTestata(); };
    p->bloccaScheda = [this](bool b) { bloccaPerRighe(b); };
    p->chiudi = [this] { mostraPagina(PaginaUno); };
}

QWidget* TMaterForm::creaPaginaAllegati() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Allegati"));
    GridAllegati = new TCSDGrid(pagina);
    GridAllegati->setObjectName(QStringLiteral("GridAllegati"));
    preparaGriglia(GridAllegati, 9, QStringLiteral("MATERALL"));
    GridAllegati->collega(&QueryAllegati, [this] {
        const QString codice = codiceCorrenteGriglia();
        return QStringList{QStringLiteral("SELECT * FROM MATERALL WHERE"),
                           codice.isEmpty()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(codice)};
    });
    connect(GridAllegati->modello(), &QAbstractItemModel::modelReset, this,
            [this] { GridAllegati->setColumnHidden(0, true); });
    ButtonAllegatiAggiungi =
        pulsante(QStringLiteral("&Aggiungi"), QStringLiteral("ButtonAllegatiAggiungi"), pagina);
    ButtonAllegatiTogli =
        pulsante(QStringLiteral("&Togli"), QStringLiteral("ButtonAllegatiTogli"), pagina);
    ButtonApri = pulsante(QStringLiteral("Apri"), QStringLiteral("ButtonApri"), pagina);
    ButtonAllegatiChiudi =
        pulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonAllegatiChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    v->addWidget(GridAllegati, 1);
    auto* h = new QHBoxLayout;
    h->addStretch();
    for (QPushButton* b :
         {ButtonAllegatiAggiungi, ButtonAllegatiTogli, ButtonApri, ButtonAllegatiChiudi}) {
        h->addWidget(b);
    }
    v->addLayout(h);
    connect(ButtonAllegatiAggiungi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAllegatiAggiungiClick(); }));
    connect(ButtonAllegatiTogli, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAllegatiTogliClick(); }));
    connect(ButtonApri, &QPushButton::clicked, this, protetto(this, [this] { ButtonApriClick(); }));
    connect(GridAllegati, &QAbstractItemView::doubleClicked, this,
            protetto(this, [this] { ButtonApriClick(); }));
    connect(ButtonAllegatiChiudi, &QPushButton::clicked, this, [this] { mostraPagina(PaginaUno); });
    return pagina;
}

QWidget* TMaterForm::creaPaginaRicerche() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Ricerche"));
    auto* g = new QGridLayout;
    auto riga = [&](int r, const char* didascalia, const char* nomeCerca, QLineEdit*& cerca,
                    const char* colonna) {
        g->addWidget(new QLabel(QString::fromLatin1(didascalia), pagina), r, 0);
        cerca = new QLineEdit(pagina);
        cerca->setObjectName(QString::fromLatin1(nomeCerca));
        g->addWidget(cerca, r, 1);
        auto* corrente = new QLineEdit(pagina);
        corrente->setObjectName(QString::fromLatin1(nomeCerca) + QStringLiteral("2"));
        corrente->setReadOnly(true);
        corrente->setFocusPolicy(Qt::NoFocus);
        mostraColonna(corrente, QString::fromLatin1(colonna));
        g->addWidget(corrente, r, 2);
        connect(cerca, &QLineEdit::returnPressed, this,
                protetto(this, [this] { ButtonRicercaAttivaSelClick(); }));
    };
    riga(0, "Codice", "EditRicercaCodice", EditRicercaCodice, "CODICE");
    riga(1, "Descrizione", "EditRicercaDescrizione", EditRicercaDescrizione, "NOMECOMMERCIALE");
    riga(2, "Cod.Analog.", "EditRicercaCodiceAnalogo", EditRicercaCodiceAnalogo, "CODICEANALOGO");
    for (QLineEdit* e : {EditRicercaCodice, EditRicercaDescrizione, EditRicercaCodiceAnalogo}) {
        e->setMaxLength(lunghezzaColonna(QStringLiteral("NOMECOMMERCIALE")) > 0 ? 100 : 100);
    }
    ButtonRicercaAttivaSel = pulsante(QStringLiteral("Attiva &Selez."),
                                      QStringLiteral("ButtonRicercaAttivaSel"), pagina);
    ButtonRicercaAnnullaSel = pulsante(QStringLiteral("&Annulla Selez."),
                                       QStringLiteral("ButtonRicercaAnnullaSel"), pagina);
    ButtonRicercaRitorna =
        pulsante(QStringLiteral("&Ritorna"), QStringLiteral("ButtonRicercaRitorna"), pagina);
    ButtonRicercaChiudi =
        pulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonRicercaChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    v->addLayout(g);
    auto* h = new QHBoxLayout;
    h->addStretch();
    for (QPushButton* b : {ButtonRicercaAttivaSel, ButtonRicercaAnnullaSel, ButtonRicercaRitorna,
                           ButtonRicercaChiudi}) {
        h->addWidget(b);
    }
    v->addLayout(h);
    // the list comes here while the page is shown
    v->addStretch(1);
    connect(ButtonRicercaAttivaSel, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAttivaSelClick(); }));
    connect(ButtonRicercaAnnullaSel, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaAnnullaSelClick(); }));
    connect(ButtonRicercaRitorna, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaRitornaClick(); }));
    connect(ButtonRicercaChiudi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonRicercaChiudiClick(); }));
    return pagina;
}

QWidget* TMaterForm::creaPaginaStorico() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("Storico"));
    GridStoricoT = new TCSDGrid(pagina);
    GridStoricoT->setObjectName(QStringLiteral("GridStoricoT"));
    preparaGriglia(GridStoricoT, 5, QStringLiteral("STOMATERRIEP"));
    GridStoricoT->AbilitaRicerca = true;
    GridStoricoT->collega(&QueryStoricoT, [this] {
        const QString codice = codiceCorrenteGriglia();
        return QStringList{QStringLiteral("SELECT * FROM STOMATERRIEP WHERE"),
                           codice.isEmpty()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(codice)};
    });
    GridStoricoD = new TCSDGrid(pagina);
    GridStoricoD->setObjectName(QStringLiteral("GridStoricoD"));
    preparaGriglia(GridStoricoD, 10, QString());
    GridStoricoD->OrderBy = false;
    GridStoricoD->setSorgenteDati(&QueryStoricoD);
    voceComposizione_ = new QAction(QStringLiteral("Vedi contenuto campo COMPOSIZIONE"), this);
    voceNote_ = new QAction(QStringLiteral("Vedi contenuto campo NOTE"), this);
    GridStoricoD->MenuGriglia->insertActions(GridStoricoD->MenuGriglia->actions().value(0),
                                             {voceComposizione_, voceNote_});
    voceComposizione_->setVisible(false);
    voceNote_->setVisible(false);
    auto vedi = [this](const QString& colonna) {
        if (!QueryStoricoD.isOpen() || GridStoricoD->modello()->rowCount() == 0) {
            return;
        }
        QDialog info(this);
        info.setObjectName(QStringLiteral("InfoForm"));
        info.setWindowTitle(QStringLiteral("Info"));
        auto* testo = new QPlainTextEdit(&info);
        testo->setObjectName(QStringLiteral("MemoInfo"));
        testo->setReadOnly(true);
        const Campo c = GridStoricoD->campoCorrente(colonna);
        testo->setPlainText(c.isNull() ? QString() : c.asString());
        auto* l = new QVBoxLayout(&info);
        l->addWidget(testo);
        info.resize(480, 320);
        Messaggi::esegui(&info);
    };
    connect(voceComposizione_, &QAction::triggered, this,
            [vedi] { vedi(QStringLiteral("COMPOSIZIONE")); });
    connect(voceNote_, &QAction::triggered, this, [vedi] { vedi(QStringLiteral("NOTE")); });

    ButtonStoricoChiudi =
        pulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonStoricoChiudi"), pagina);
    auto* v = new QVBoxLayout(pagina);
    v->addWidget(new QLabel(QStringLiteral("Testate"), pagina));
    v->addWidget(GridStoricoT, 2);
    v->addWidget(new QLabel(QStringLiteral("Dettaglio"), pagina));
    v->addWidget(GridStoricoD, 1);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonStoricoChiudi);
    v->addLayout(h);
    connect(ButtonStoricoChiudi, &QPushButton::clicked, this, [this] { mostraPagina(PaginaUno); });

    timerStorico_ = new QTimer(this);
    timerStorico_->setObjectName(QStringLiteral("TimerStorico"));
    timerStorico_->setSingleShot(true);
    timerStorico_->setInterval(400);
    connect(timerStorico_, &QTimer::timeout, this,
            protetto(this, [this] { aggiornaDettaglioStorico(); }));
    auto riavvia = [this] {
        timerStorico_->stop();
        timerStorico_->start();
    };
    connect(GridStoricoT->selectionModel(), &QItemSelectionModel::currentRowChanged, this, riavvia);
    connect(GridStoricoT->modello(), &QAbstractItemModel::modelReset, this, riavvia);
    return pagina;
}

void TMaterForm::caricaElenchi() {
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    auto riempi = [this](const QString& colonna, const QStringList& sql, bool ordina) {
        auto* l = qobject_cast<QComboBox*>(editazione(colonna));
        if (!l) {
            return;
        }
        QStringList voci;
        try {
            QueryAux2.SQL = sql;
            QueryAux2.open();
            for (; !QueryAux2.eof(); QueryAux2.next()) {
                const Campo c = QueryAux2.field(0);
                if (!c.isNull()) {
                    voci << c.asString();
                }
            }
            QueryAux2.close();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
        if (ordina) {
            voci.sort();
        }
        l->clear();
        l->addItem(QString());
        l->addItems(voci);
        l->setCurrentIndex(-1);
    };
    riempi(QStringLiteral("CODICECATEGORIAMP"), {QStringLiteral("SELECT CODICE FROM CATEGMP")},
           true);
    riempi(QStringLiteral("SIMBOLOGIARISCHIO"), {QStringLiteral("SELECT DESCRIZIONE FROM SRISCHI")},
           false);
    riempi(QStringLiteral("CODICEADR"),
           {QStringLiteral("SELECT"), QStringLiteral("   CODICE"), QStringLiteral("FROM"),
            QStringLiteral("   ADR2017"), QStringLiteral("ORDER BY"), QStringLiteral("CODICE")},
           false);
}

void TMaterForm::collegaDecodifiche() {
    auto categoria = [](const QString& c) {
        return QStringList{QStringLiteral("SELECT DESCRIZIONE FROM CATEGMP"),
                           QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
    };
    auto fornitore = [](const QString& c) {
        return QStringList{QStringLiteral("SELECT RAGSOC FROM FORNITO"),
                           QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
    };
    auto descrizione = [this](bool suConsultazione, const char* colonna) {
        const QString chiave = QString::fromLatin1(colonna) + '#';
        return qobject_cast<QLineEdit*>(suConsultazione ? consultazione(chiave)
                                                        : editazione(chiave));
    };
    collegaDescrizione(consultazione(QStringLiteral("CODICECATEGORIAMP")),
                       descrizione(true, "CODICECATEGORIAMP"), QStringLiteral("TimerCategoria2"),
                       categoria);
    collegaDescrizione(editazione(QStringLiteral("CODICECATEGORIAMP")),
                       descrizione(false, "CODICECATEGORIAMP"), QStringLiteral("TimerCategoria"),
                       categoria);
    collegaDescrizione(consultazione(QStringLiteral("CODICEFORNITORE")),
                       descrizione(true, "CODICEFORNITORE"), QStringLiteral("TimerFornitore2"),
                       fornitore);
    collegaDescrizione(editazione(QStringLiteral("CODICEFORNITORE")),
                       descrizione(false, "CODICEFORNITORE"), QStringLiteral("TimerFornitore"),
                       fornitore);

    // ADR on the consultation page: 400 ms after the code or group changes
    timerADR2_ = new QTimer(this);
    timerADR2_->setObjectName(QStringLiteral("TimerADR2"));
    timerADR2_->setSingleShot(true);
    timerADR2_->setInterval(400);
    auto svuota = [this] {
        timerADR2_->stop();
        impostaTesto(consultazione(QStringLiteral("ADR2017.CLASSE")), {});
        impostaTesto(consultazione(QStringLiteral("ADR2017.DESCRIZIONE")), {});
        timerADR2_->start();
    };
    for (const char* c : {"CODICEADR", "GRUPPOADR"}) {
        connect(qobject_cast<QLineEdit*>(consultazione(QString::fromLatin1(c))),
                &QLineEdit::textChanged, this, svuota);
    }
    connect(timerADR2_, &QTimer::timeout, this, [this] {
        timerADR2_->stop();
        decodificaADR(false, false);
    });
    // on the edit page a code chosen proposes its packing group
    connect(qobject_cast<QComboBox*>(editazione(QStringLiteral("CODICEADR"))),
            &QComboBox::activated, this, [this] { decodificaADR(true, true); });
}

void TMaterForm::decodificaADR(bool suEditazione, bool proponiGruppo) {
    auto w = [&](const char* c) {
        const QString colonna = QString::fromLatin1(c);
        return suEditazione ? editazione(colonna) : consultazione(colonna);
    };
    impostaTesto(w("ADR2017.CLASSE"), {});
    impostaTesto(w("ADR2017.DESCRIZIONE"), {});
    const QString codice = testoDi(w("CODICEADR"));
    if (codice.isEmpty()) {
        return;
    }
    try {
        Transaction t(&sessione_->IBDatabase1);
        Query q(&sessione_->IBDatabase1, &t);
        q.SQL = {QStringLiteral("SELECT"),
                 QStringLiteral("   DESCRIZIONE,"),
                 QStringLiteral("   CLASSE,"),
                 QStringLiteral("   GRUPPOIMB"),
                 QStringLiteral("FROM"),
                 QStringLiteral("   ADR2017"),
                 QStringLiteral("WHERE"),
                 QStringLiteral("   CODICE=") + sql::testoNonNullo(codice)};
        q.open();
        if (!q.eof()) {
            auto testo = [&q](const char* c) {
                const Campo v = q[QString::fromLatin1(c)];
                return v.isNull() ? QString() : v.asString();
            };
            impostaTesto(w("ADR2017.CLASSE"), testo("CLASSE"));
            impostaTesto(w("ADR2017.DESCRIZIONE"), testo("DESCRIZIONE"));
            if (proponiGruppo) {
                // the proposal is a choice among the items, never an extra one
                auto* gruppo = qobject_cast<QComboBox*>(editazione(QStringLiteral("GRUPPOADR")));
                const QString g = testo("GRUPPOIMB");
                gruppo->setCurrentIndex(g.isEmpty() ? -1 : gruppo->findText(g));
            }
        }
        q.close();
    } catch (const DbError& e) {
        qWarning("codice ADR non decodificato: %s", qPrintable(e.messaggio()));
    }
}

// --------------------------------------------------------- page changes

bool TMaterForm::tabConsentita(int pagina) {
    if (pagina == PaginaUno) {
        return true;
    }
    if (listaVuota()) {
        Messaggi::informazione(
            QStringLiteral("Inserire un record prima di accedere alle altre sessioni"), this);
        return false;
    }
    if (pagina == Analoghi && PaginaAnaloghi->padre().isEmpty()) {
        Messaggi::informazione(QStringLiteral("Per accedere alla sessione Analoghi è necessario "
                                              "specificare un codice analogo"),
                               this);
        return false;
    }
    return true;
}

void TMaterForm::mostraPagina(int pagina) {
    timerStorico_->stop();
    for (Query* q : {&QueryStoricoT, &QueryStoricoD}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
    voceComposizione_->setVisible(false);
    voceNote_->setVisible(false);
    if (NotebookMater->currentIndex() == Ricerche && pagina != Ricerche) {
        // the list returns above the card's pages
        if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
            divisore->insertWidget(0, Griglia);
        }
    }
    for (PaginaRighe* p : {PaginaSpecifiche, PaginaAnaloghi}) {
        if (pagina != (p == PaginaSpecifiche ? Specifiche : Analoghi)) {
            p->chiudiLista();
        }
    }
    const QList<QPushButton*> tutti = findChildren<QPushButton*>(QRegularExpression(
        QStringLiteral("^Button(Nuovo|Edit|Elimina|Chiudi|Memorizza|Annulla|Ricerche|Stampa|"
                       "Fornitore|Sp.*|AnaNC.*|Allegati.*|Apri|Ricerca.*|StoricoChiudi)$")));
    for (QPushButton* b : tutti) {
        b->setEnabled(false);
    }
    {
        const QSignalBlocker b(TabSetMater);
        TabSetMater->setCurrentIndex(pagina);
    }
    NotebookMater->setCurrentIndex(pagina);
    testata_->setVisible(pagina != PaginaUno);
    auto abilita = [](std::initializer_list<QPushButton*> l) {
        for (QPushButton* b : l) {
            b->setEnabled(true);
        }
    };
    switch (pagina) {
    case PaginaUno:
        abilita({ButtonNuovo, ButtonEdit, ButtonElimina, ButtonRicerche, ButtonStampa, ButtonChiudi,
                 ButtonFornitore, ButtonMemorizza, ButtonAnnulla});
        // lines added or deleted on the other pages show on return
        codicePiccole_.clear();
        analogoPiccole_.clear();
        aggiornaPiccole();
        break;
    case Specifiche:
    case Analoghi: {
        PaginaRighe* p = pagina == Specifiche ? PaginaSpecifiche : PaginaAnaloghi;
        abilita({p->ButtonNuovo, p->ButtonEdit, p->ButtonElimina, p->ButtonChiudi,
                 p->ButtonMemorizza, p->ButtonAnnulla});
        if (pagina == Analoghi) {
            try {
                QueryAna.close();
                QueryAna.open();
            } catch (const DbError& e) {
                Messaggi::errore(e.messaggio(), this);
            }
        }
        p->riapri();
        break;
    }
    case Allegati:
        abilita({ButtonAllegatiAggiungi, ButtonAllegatiTogli, ButtonApri, ButtonAllegatiChiudi});
        try {
            QueryAllegati.close();
            QueryAllegati.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
        break;
    case Ricerche: {
        auto* v = qobject_cast<QVBoxLayout*>(NotebookMater->widget(Ricerche)->layout());
        v->insertWidget(v->count() - 1, Griglia, 1);
        abilita({ButtonRicercaAttivaSel, ButtonRicercaAnnullaSel, ButtonRicercaRitorna,
                 ButtonRicercaChiudi});
        if (ButtonSelezionaAnnulla->property("bloccato").toBool()) {
            ButtonRicercaAnnullaSel->setEnabled(false);
        }
        EditRicercaCodice->setFocus();
        break;
    }
    case Storico:
        abilita({ButtonStoricoChiudi});
        try {
            TransazioneStorico.restart();
            QueryStoricoT.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
        break;
    default:
        break;
    }
    if (SolaLettura) {
        DisattivaControlliProfiloSicurezza();
    }
}

void TMaterForm::bloccaPerRighe(bool inModifica) {
    const bool libero = !inModifica && StatoScheda == 0 && PaginaSpecifiche->Stato == 0 &&
                        PaginaAnaloghi->Stato == 0;
    TabSetMater->setEnabled(libero);
    if (auto* n = testata_->findChild<QWidget*>(QStringLiteral("PanelTestataNavigator"))) {
        n->setEnabled(libero);
    }
}

void TMaterForm::rigaCambiata() {
    timerPiccole_->stop();
    timerPiccole_->start();
    switch (NotebookMater->currentIndex()) {
    case Specifiche:
        PaginaSpecifiche->riapri();
        break;
    case Analoghi: {
        const QString analogo = PaginaAnaloghi->padre();
        if (analogo != PaginaAnaloghi->PadreCorrente || !QueryAna.isOpen()) {
            PaginaAnaloghi->PadreCorrente = analogo;
            try {
                QueryAna.close();
                QueryAna.open();
            } catch (const DbError& e) {
                Messaggi::errore(e.messaggio(), this);
            }
            PaginaAnaloghi->riapri();
        }
        break;
    }
    case Allegati:
        try {
            QueryAllegati.close();
            QueryAllegati.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
        break;
    case Storico:
        try {
            QueryStoricoT.close();
            TransazioneStorico.restart();
            QueryStoricoT.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
        break;
    default:
        break;
    }
}

// The three small lists of the first page and the header version, read
// only while that page is shown and only when the code or the analogue
// code changed.
void TMaterForm::aggiornaPiccole() {
    mostraVersioneTestata();
    if (NotebookMater->currentIndex() != PaginaUno) {
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    const QString analogo = PaginaAnaloghi->padre();
    const bool aperte = QuerySpecifiche.isOpen();
    if (aperte && codice == codicePiccole_ && analogo == analogoPiccole_) {
        return;
    }
    codicePiccole_ = codice;
    analogoPiccole_ = analogo;
    auto apri = [this](Query& q, QStringList sql) {
        try {
            q.close();
            q.SQL = std::move(sql);
            q.open();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    };
    const QString c = sql::testoNonNullo(codice);
    const QString a = sql::testoNonNullo(analogo);
    apri(QuerySpecifiche,
         {QStringLiteral("SELECT NRIGA,SPECIFICA FROM SPECIF WHERE"),
          codice.isEmpty() ? QStringLiteral("CODICEMP IS NULL") : QStringLiteral("CODICEMP=") + c,
          QStringLiteral("ORDER BY NRIGA")});
    apri(QueryAnaloghi, {QStringLiteral("SELECT * FROM MATER WHERE"),
                         analogo.isEmpty() ? QStringLiteral("CODICE IS NULL")
                                           : QStringLiteral("CODICEANALOGO=") + a,
                         QStringLiteral("ORDER BY CODICE")});
    apri(QueryAnaloghiNonCod,
         {QStringLiteral("SELECT NRIGA,DESCRIZIONE,VALUTAZIONE FROM ANANC WHERE"),
          analogo.isEmpty() ? QStringLiteral("CODICEANALOGO IS NULL")
                            : QStringLiteral("CODICEANALOGO=") + a,
          QStringLiteral("ORDER BY NRIGA")});
}

void TMaterForm::mostraVersioneTestata() {
    const QString codice = codiceCorrenteGriglia();
    LabelVersione->clear();
    if (codice.isEmpty()) {
        return;
    }
    try {
        TransazioneControllo.restart();
        const auto v =
            storico::massimo(QueryAux2, QStringLiteral("STOMATER"), QStringLiteral("VERS"),
                             QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
        if (v) {
            LabelVersione->setText(QString::number(*v));
        }
    } catch (const DbError& e) {
        qWarning("versione non letta: %s", qPrintable(e.messaggio()));
    }
}

void TMaterForm::aggiornaDettaglioStorico() {
    timerStorico_->stop();
    voceComposizione_->setVisible(false);
    voceNote_->setVisible(false);
    try {
        QueryStoricoD.close();
    } catch (const DbError&) {
    }
    if (!QueryStoricoT.isOpen() || GridStoricoT->modello()->rowCount() == 0 ||
        !GridStoricoT->currentIndex().isValid()) {
        return;
    }
    auto valore = [this](const char* c) {
        const Campo v = GridStoricoT->campoCorrente(QString::fromLatin1(c));
        return v.isNull() ? QString() : v.asString();
    };
    const QString tabella = valore("TABELLA");
    QString condizioni;
    if (tabella == QLatin1String("STOMATER")) {
        condizioni =
            QStringLiteral("(CODICE=%1)AND(VERS=%2)")
                .arg(sql::testoNonNullo(valore("CODICE")), sql::intero(valore("VERSIONET")));
        voceComposizione_->setVisible(true);
    } else if (tabella == QLatin1String("STOSPECIF")) {
        condizioni = QStringLiteral("(CODICEMP=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(VERSIONED=%4)")
                         .arg(sql::testoNonNullo(valore("CODICE")), sql::intero(valore("NRIGA")),
                              sql::intero(valore("VERSIONET")), sql::intero(valore("VERSIONED")));
    } else if (tabella == QLatin1String("STOANANC")) {
        condizioni =
            QStringLiteral("(CODICEANALOGO=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(VERSIONED=%4)")
                .arg(sql::testoNonNullo(valore("CODICEANALOGO")), sql::intero(valore("NRIGA")),
                     sql::intero(valore("VERSIONET")), sql::intero(valore("VERSIONED")));
        voceNote_->setVisible(true);
    } else {
        return;
    }
    QueryStoricoD.SQL = {QStringLiteral("SELECT * FROM ") + tabella + QStringLiteral(" WHERE"),
                         condizioni};
    QueryStoricoD.open();
}

// ------------------------------------------------------------ searches

QStringList TMaterForm::sqlBase() const {
    if (Griglia->RicercaInCorso()) {
        return Griglia->SQLIniziale;
    }
    EditSelezione->clear();
    QStringList sql{QStringLiteral("SELECT * FROM MATER WHERE (CODICE IS NOT NULL)")};
    if (PanelSelezione->isVisibleTo(const_cast<TMaterForm*>(this))) {
        const Selezione s =
            selezioneRicerca({{QStringLiteral("CODICE"), EditRicercaCodice->text()},
                              {QStringLiteral("NOMECOMMERCIALE"), EditRicercaDescrizione->text()},
                              {QStringLiteral("CODICEANALOGO"), EditRicercaCodiceAnalogo->text()}});
        EditSelezione->setText(s.testo);
        sql += s.condizioni;
    }
    return sql;
}

void TMaterForm::ButtonRicercaAttivaSelClick() {
    PanelSelezione->show();
    riapriSuCodice(QString());
}

void TMaterForm::ButtonRicercaAnnullaSelClick() {
    const QString codice = codiceCorrenteGriglia();
    for (QLineEdit* e : {EditRicercaCodice, EditRicercaDescrizione, EditRicercaCodiceAnalogo}) {
        e->clear();
    }
    PanelSelezione->hide();
    riapriSuCodice(codice);
}

void TMaterForm::ButtonRicercaRitornaClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessun record trovato"), this);
        return;
    }
    if (ComeRicerca) {
        chiudiRicerca(true);
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    mostraPagina(PaginaUno);
    Q_UNUSED(codice); // the list stays on the row chosen
}

void TMaterForm::ButtonRicercaChiudiClick() {
    if (ComeRicerca) {
        chiudiRicerca(false);
        return;
    }
    if (ButtonRicercaAnnullaSel->isEnabled() ||
        !ButtonSelezionaAnnulla->property("bloccato").toBool()) {
        ButtonRicercaAnnullaSelClick();
    }
    mostraPagina(PaginaUno);
}

void TMaterForm::preparaRicerca(const QString& campo, const QString& valore) {
    if (auto* e = findChild<QLineEdit*>(campo)) {
        e->setText(valore);
        e->setReadOnly(true);
    }
    ButtonRicercaAttivaSelClick();
    ButtonSelezionaAnnulla->setProperty("bloccato", true);
    ButtonRicercaAnnullaSel->setEnabled(false);
    ButtonSelezionaAnnulla->setEnabled(false);
}

std::optional<TMaterForm::Scelta> TMaterForm::scegli(TTabXForm* sessione, QWidget* owner,
                                                     const OpzioniRicerca& opzioni) {
    auto* f = new TMaterForm(sessione, owner);
    f->ComeRicerca = true;
    f->mostraPagina(Ricerche);
    f->TabSetMater->setVisible(!opzioni.nascondiSchede);
    if (opzioni.prepara) {
        opzioni.prepara(*f);
    }
    if (!opzioni.codice.isEmpty()) {
        f->riapriSuCodice(opzioni.codice);
    }
    std::optional<Scelta> scelta;
    if (f->eseguiComeRicerca(owner, QStringLiteral("MaterRicerca")) == kRisultatoOK &&
        !f->listaVuota()) {
        const Campo nome = f->Griglia->campoCorrente(QStringLiteral("NOMECOMMERCIALE"));
        scelta = Scelta{f->codiceCorrenteGriglia(), nome.isNull() ? QString() : nome.asString()};
    }
    f->StatoScheda = 0;
    f->close();
    delete f;
    return scelta;
}

// --------------------------------------------------------------- record

void TMaterForm::dopoNuovo() {
    // a new material starts without category, hazard symbol, ADR code or group
    for (const char* c : {"CODICECATEGORIAMP", "SIMBOLOGIARISCHIO"}) {
        auto* l = qobject_cast<QComboBox*>(editazione(QString::fromLatin1(c)));
        l->setCurrentIndex(l->findText(QString()));
    }
    for (const char* c : {"CODICEADR", "GRUPPOADR"}) {
        qobject_cast<QComboBox*>(editazione(QString::fromLatin1(c)))->setCurrentIndex(-1);
    }
    bloccaPerRighe(true);
}

void TMaterForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    decodificaADR(true, false);
    bloccaPerRighe(true);
}

void TMaterForm::dopoMemorizzazione() {
    bloccaPerRighe(false);
    mostraVersioneTestata();
}

int TMaterForm::versioneTestata(Query& q, const QString& codice, bool cancellazione) {
    const QString chiave = QStringLiteral("CODICE=") + sql::testoNonNullo(codice);
    const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"), chiave);
    const int versione = h ? *h + 1 : 1;
    storico::copiaRiga(
        q, QStringLiteral("STOMATER"), kTabella, kColonneStoMater,
        {{QStringLiteral("VERS"), sql::intero(versione)}, {QStringLiteral("DATAVERS"), oggi()}},
        chiave);
    storico::inserisci(
        q, QStringLiteral("STOMATERRIEP"),
        {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
         {QStringLiteral("NRIGA"), QStringLiteral("'0'")},
         {QStringLiteral("VERSIONET"), sql::intero(versione)},
         {QStringLiteral("VERSIONED"), QStringLiteral("'0'")},
         {QStringLiteral("TABELLA"), QStringLiteral("'STOMATER'")},
         {QStringLiteral("DATAVERS"), oggi()},
         {QStringLiteral("ELIMINAZIONE"), sql::flag(cancellazione)},
         {QStringLiteral("UTENTE"), sql::testo(QString::number(sessione_->NumUtente))}});
    return versione;
}

int TMaterForm::testataPerRiga(Query& q, const QString& codice) {
    const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"),
                                    QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
    return h ? *h : versioneTestata(q, codice, false);
}

void TMaterForm::storicoSpecifica(Query& q, const QString& codice, const QString& riga, int testata,
                                  bool cancellazione, const QStringList& set, bool forza) {
    const QString condizione = QStringLiteral("(CODICEMP=%1)AND(NRIGA=%2)")
                                   .arg(sql::testoNonNullo(codice), sql::intero(riga));
    const auto v = storico::massimo(
        q, QStringLiteral("STOSPECIF"), QStringLiteral("VERSIONED"),
        condizione + QStringLiteral("AND(VERSIONET=%1)").arg(sql::intero(testata)));
    if (!forza && v && storico::invariata(q, QStringLiteral("SPECIF"), condizione, set)) {
        return; // unchanged, and already filed under this header version
    }
    const int versione = v ? *v + 1 : 1;
    storico::copiaRiga(
        q, QStringLiteral("STOSPECIF"), QStringLiteral("SPECIF"),
        {QStringLiteral("CODICEMP"), QStringLiteral("NRIGA"), QStringLiteral("SPECIFICA")},
        {{QStringLiteral("VERSIONET"), sql::intero(testata)},
         {QStringLiteral("VERSIONED"), sql::intero(versione)},
         {QStringLiteral("DATAVERS"), oggi()}},
        condizione);
    storico::inserisci(
        q, QStringLiteral("STOMATERRIEP"),
        {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
         {QStringLiteral("NRIGA"), sql::intero(riga)},
         {QStringLiteral("VERSIONET"), sql::intero(testata)},
         {QStringLiteral("VERSIONED"), sql::intero(versione)},
         {QStringLiteral("TABELLA"), QStringLiteral("'STOSPECIF'")},
         {QStringLiteral("DATAVERS"), oggi()},
         {QStringLiteral("ELIMINAZIONE"), sql::flag(cancellazione)},
         {QStringLiteral("UTENTE"), sql::testo(QString::number(sessione_->NumUtente))}});
    if (!cancellazione) {
        PaginaSpecifiche->LabelVersione->setText(QString::number(versione));
    }
}

void TMaterForm::storicoAnalogo(Query& q, const QString& codice, const QString& analogo,
                                const QString& riga, int testata, bool cancellazione,
                                const QStringList& set, bool forza) {
    const QString condizione = QStringLiteral("(CODICEANALOGO=%1)AND(NRIGA=%2)")
                                   .arg(sql::testoNonNullo(analogo), sql::intero(riga));
    // counted per material: STOANANC has no key of its own
    const auto v = storico::massimo(
        q, QStringLiteral("STOMATERRIEP"), QStringLiteral("VERSIONED"),
        QStringLiteral("(CODICE=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(CODICEANALOGO=%4)AND"
                       "(TABELLA='STOANANC')")
            .arg(sql::testoNonNullo(codice), sql::intero(riga), sql::intero(testata),
                 sql::testoNonNullo(analogo)));
    if (!forza && v && storico::invariata(q, QStringLiteral("ANANC"), condizione, set)) {
        return;
    }
    const int versione = v ? *v + 1 : 1;
    storico::copiaRiga(q, QStringLiteral("STOANANC"), QStringLiteral("ANANC"),
                       {QStringLiteral("CODICEANALOGO"), QStringLiteral("NRIGA"),
                        QStringLiteral("DESCRIZIONE"), QStringLiteral("VALUTAZIONE"),
                        QStringLiteral("NOTE")},
                       {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                        {QStringLiteral("VERSIONED"), sql::intero(versione)},
                        {QStringLiteral("DATAVERS"), oggi()}},
                       condizione);
    storico::inserisci(
        q, QStringLiteral("STOMATERRIEP"),
        {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
         {QStringLiteral("NRIGA"), sql::intero(riga)},
         {QStringLiteral("VERSIONET"), sql::intero(testata)},
         {QStringLiteral("VERSIONED"), sql::intero(versione)},
         {QStringLiteral("TABELLA"), QStringLiteral("'STOANANC'")},
         {QStringLiteral("CODICEANALOGO"), sql::testoNonNullo(analogo)},
         {QStringLiteral("DATAVERS"), oggi()},
         {QStringLiteral("ELIMINAZIONE"), sql::flag(cancellazione)},
         {QStringLiteral("UTENTE"), sql::testo(QString::number(sessione_->NumUtente))}});
    if (!cancellazione) {
        PaginaAnaloghi->LabelVersione->setText(QString::number(versione));
    }
}

// The version is a copy of the row as it was before this save, written in
// the save's own transaction: both are kept, or neither.
void TMaterForm::primaDellAggiornamento(const QStringList& assegnazioni) {
    const QString chiave = QStringLiteral("CODICE=") + sql::testoNonNullo(CodiceCorrente);
    const auto h =
        storico::massimo(QueryAux, QStringLiteral("STOMATER"), QStringLiteral("VERS"), chiave);
    if (!h || !storico::invariata(QueryAux, kTabella, chiave, assegnazioni)) {
        versioneTestata(QueryAux, CodiceCorrente, false);
    }
}

int TMaterForm::formulazioniCheUsano(const QString& codice) {
    QueryAux.SQL = {QStringLiteral("SELECT COUNT(DISTINCT CODICEFORMULAZIONE) FROM COMPON"),
                    QStringLiteral("WHERE CODICEMATERIAPRIMA=") + sql::testoNonNullo(codice)};
    return QueryAux.scalar().toInt();
}

QString TMaterForm::testoConfermaEliminazione(const QString& codice) {
    const QString domanda = QStringLiteral("Eliminare il record selezionato?");
    const int n = formulazioniCheUsano(codice);
    if (n == 0) {
        return domanda;
    }
    return (n == 1 ? QStringLiteral("La materia prima è usata in 1 formulazione")
                   : QStringLiteral("La materia prima è usata in %1 formulazioni").arg(n)) +
           QStringLiteral(", il cui costo non la conterà più.\r\n") + domanda;
}

void TMaterForm::eliminaRecord(const QString& codice) {
    Query& q = QueryAux;
    const QString c = sql::testoNonNullo(codice);
    auto righe = [&q](QStringList sql) {
        QStringList r;
        q.SQL = std::move(sql);
        q.open();
        for (; !q.eof(); q.next()) {
            r << q.field(0).asString();
        }
        q.close();
        return r;
    };
    const QStringList analogoLetto =
        righe({QStringLiteral("SELECT CODICEANALOGO FROM MATER WHERE CODICE=") + c});
    const QString analogo = analogoLetto.value(0);
    const int testata = versioneTestata(q, codice, true);
    for (const QString& r :
         righe({QStringLiteral("SELECT NRIGA FROM SPECIF WHERE CODICEMP=") + c})) {
        storicoSpecifica(q, codice, r, testata, true, {}, true);
    }
    // the group's uncoded analogues go with the group's last material
    bool ultimoDelGruppo = false;
    if (!analogo.isEmpty()) {
        q.SQL = {
            QStringLiteral("SELECT COUNT(*) FROM MATER WHERE (CODICEANALOGO=%1)AND(CODICE<>%2)")
                .arg(sql::testoNonNullo(analogo), c)};
        ultimoDelGruppo = q.scalar().toInt() == 0;
    }
    if (ultimoDelGruppo) {
        for (const QString& r :
             righe({QStringLiteral("SELECT NRIGA FROM ANANC WHERE CODICEANALOGO=") +
                    sql::testoNonNullo(analogo)})) {
            storicoAnalogo(q, codice, analogo, r, testata, true, {}, true);
        }
    }
    q.SQL = {QStringLiteral("DELETE FROM SPECIF WHERE CODICEMP=") + c};
    q.execSQL();
    if (ultimoDelGruppo) {
        q.SQL = {QStringLiteral("DELETE FROM ANANC WHERE CODICEANALOGO=") +
                 sql::testoNonNullo(analogo)};
        q.execSQL();
    }
    SchedaBase::eliminaRecord(codice);
}

void TMaterForm::closeEvent(QCloseEvent* e) {
    if (PaginaSpecifiche->Stato != 0 || PaginaAnaloghi->Stato != 0) {
        Messaggi::avviso(
            QStringLiteral(
                "Memorizzare o annullare le modifiche in corso prima di chiudere la finestra"),
            this);
        e->ignore();
        return;
    }
    SchedaBase::closeEvent(e);
    if (!e->isAccepted()) {
        return;
    }
    for (Query* q : {&QuerySpecifiche, &QueryAnaloghi, &QueryAnaloghiNonCod, &QueryAna,
                     &QueryAllegati, &QueryStoricoT, &QueryStoricoD}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
    PaginaSpecifiche->chiudiLista();
    PaginaAnaloghi->chiudiLista();
}

// ----------------------------------------------------------- the buttons

void TMaterForm::ButtonFornitoreClick() {
    auto* e = qobject_cast<QLineEdit*>(editazione(QStringLiteral("CODICEFORNITORE")));
    if (const auto scelto = TRFornitoForm::scegli(sessione_, this, e->text())) {
        e->setText(*scelto);
    }
    e->setFocus();
}

void TMaterForm::ButtonSincroPrezziClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    TSincroPrezziForm::mostra(sessione_, this, codiceCorrenteGriglia());
}

void TMaterForm::ButtonAllegatiAggiungiClick() {
    const QString codice = codiceCorrenteGriglia();
    if (codice.isEmpty()) {
        return;
    }
    const QString file = Messaggi::scegliFile(this, QStringLiteral("Aggiungi allegato"));
    if (file.isEmpty()) {
        return;
    }
    if (!QFileInfo::exists(percorsi::suDisco(file))) {
        Messaggi::avviso(QStringLiteral("Il file selezionato non esiste"), this);
        return;
    }
    if (file.contains('\'')) {
        Messaggi::avviso(QStringLiteral("Non è possibile selezionare file con nome contenente il "
                                        "carattere \"'\""),
                         this);
        return;
    }
    const QString condizione = QStringLiteral("(CODICE=%1)AND(NOMEFILE=%2)")
                                   .arg(sql::testoNonNullo(codice), sql::testoNonNullo(file));
    try {
        QueryAux.SQL = {QStringLiteral("SELECT * FROM MATERALL WHERE") + condizione};
        QueryAux.open();
        const bool presente = !QueryAux.eof();
        QueryAux.close();
        if (presente) {
            Messaggi::informazione(QStringLiteral("Il file selezionato è già presente nella lista "
                                                  "degli allegati per la materia prima corrente"),
                                   this);
            return;
        }
        QueryAux.SQL = {QStringLiteral("INSERT INTO MATERALL (CODICE,NOMEFILE) VALUES(%1,%2)")
                            .arg(sql::testoNonNullo(codice), sql::testoNonNullo(file))};
        QueryAux.execSQL();
        TransazionePrincipale.commitRetaining();
    } catch (const DbError&) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno di INSERT: impossibile aggiungere l'allegato"), this);
        return;
    }
    QueryAllegati.close();
    QueryAllegati.open();
    GrigliaModello* m = GridAllegati->modello();
    const int col = m->indiceCampo(QStringLiteral("NOMEFILE"));
    for (int r = 0; col >= 0; ++r) {
        while (r >= m->rowCount() && m->canFetchMore({})) {
            m->fetchMore({});
        }
        if (r >= m->rowCount()) {
            break;
        }
        if (m->campo(r, col).asString() == file) {
            GridAllegati->setCurrentIndex(m->index(r, col));
            break;
        }
    }
}

void TMaterForm::ButtonAllegatiTogliClick() {
    if (!QueryAllegati.isOpen() || GridAllegati->modello()->rowCount() == 0) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    const QString file = GridAllegati->campoCorrente(QStringLiteral("NOMEFILE")).asString();
    const QString condizione = QStringLiteral("(CODICE=%1)AND(NOMEFILE=%2)")
                                   .arg(sql::testoNonNullo(codice), sql::testoNonNullo(file));
    QueryAux.SQL = {QStringLiteral("SELECT * FROM MATERALL WHERE") + condizione};
    QueryAux.open();
    const bool presente = !QueryAux.eof();
    QueryAux.close();
    if (!presente) {
        Messaggi::avviso(
            QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
            this);
        QueryAllegati.close();
        QueryAllegati.open();
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Eliminare il record selezionato?"), this)) {
        return;
    }
    const int riga = GridAllegati->currentIndex().row();
    try {
        QueryAux.SQL = {QStringLiteral("DELETE FROM MATERALL"),
                        QStringLiteral("WHERE ") + condizione};
        QueryAux.execSQL();
        TransazionePrincipale.commitRetaining();
    } catch (const DbError&) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno: impossibile eliminare il record selezionato"), this);
        return;
    }
    QueryAllegati.close();
    QueryAllegati.open();
    GrigliaModello* m = GridAllegati->modello();
    if (m->rowCount() > 0) {
        GridAllegati->setCurrentIndex(m->index(std::min(riga, m->rowCount() - 1), 1));
    }
}

void TMaterForm::ButtonApriClick() {
    if (!QueryAllegati.isOpen() || GridAllegati->modello()->rowCount() == 0) {
        return;
    }
    const QString nome = GridAllegati->campoCorrente(QStringLiteral("NOMEFILE")).asString();
    const QString file = percorsi::suDisco(nome);
    if (!QFileInfo::exists(file)) {
        Messaggi::avviso(QStringLiteral("Attenzione: Il file \"%1\" non esiste").arg(nome), this);
        return;
    }
    if (!apertura::apri(file)) {
        Messaggi::avviso(
            QStringLiteral("Nessun programma disponibile per aprire il file \"%1\"").arg(nome),
            this);
    }
}

void TMaterForm::ButtonStampaClick() {
    const QString progetto = sessione_->GetV(QStringLiteral("StSpecLST"));
    // printed straight after moving to a material, the supplier's name is
    // decoded now rather than left empty until its timer fires
    if (auto* t = findChild<QTimer*>(QStringLiteral("TimerFornitore2")); t && t->isActive()) {
        t->stop();
        QMetaObject::invokeMethod(t, "timeout", Qt::DirectConnection);
    }
    const QString fornitore =
        qobject_cast<QLineEdit*>(consultazione(QStringLiteral("CODICEFORNITORE#")))->text();
    Query righe(&sessione_->IBDatabase1, &TransazionePrincipale);
    int numero = 0;
    int totale = 0;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = progetto;
    s.titoloProgettista = QStringLiteral("Editazione stampa schede materie prime");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa schede materie prime");
    s.nessunRecord = listaVuota();
    s.modificaReport = CheckEditReport->isChecked();
    s.preparaDati = [&] {
        const QString codice = sql::testoNonNullo(codiceCorrenteGriglia());
        righe.SQL = {QStringLiteral("SELECT COUNT(*) FROM SPECIF WHERE CODICEMP=") + codice};
        totale = righe.scalar().toInt();
        righe.SQL = {QStringLiteral("SELECT * FROM SPECIF"),
                     QStringLiteral("WHERE CODICEMP=") + codice,
                     QStringLiteral("ORDER BY CODICEMP,NRIGA")};
        righe.open();
        numero = 0;
    };
    s.OnDefineVariables = [&](report::LavoroStampa& j) {
        GrigliaModello* m = Griglia->modello();
        for (const auto& c : m->campi()) {
            j.defineVariable(c.nome, Griglia->campoCorrente(c.nome));
        }
        j.defineVariable(QStringLiteral("DESCRIZIONEFORNITORE"), fornitore);
    };
    s.OnDefineFields = [&](report::LavoroStampa& j) {
        if (righe.eof()) {
            // a material without lines still prints its sheet
            j.defineField(QStringLiteral("NRIGA"), QString());
            j.defineField(QStringLiteral("SPECIFICA"), QString());
            j.setLastRecord();
            return;
        }
        j.defineFields(righe);
        if (j.designMode()) {
            return;
        }
        ++numero;
        j.setProgress(totale > 0 ? qRound(100.0 * numero / totale) : 100);
        if (!righe.next()) {
            j.setLastRecord();
        }
    };
    report::stampaScheda(s);
    try {
        righe.close();
    } catch (const DbError&) {
    }
}

} // namespace quintar
