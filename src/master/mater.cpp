#include "master/mater.h"

#include "formulation/sincroprezzi.h"
#include "master/doveusato.h"
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
#include <QDir>
#include <QFile>
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

std::vector<CampoScheda> campiMateria() {
    std::vector<CampoScheda> c;
    c.push_back(campoScheda("NOMECOMMERCIALE", "Nome Commerciale", "ButtonDescrizione",
                            "EditDescrizione", "EditDescrizione2"));
    CampoScheda categoria =
        campoScheda("CODICECATEGORIAMP", "Categoria MP", "ButtonCategoriaMP", "ComboCategoriaMP",
                    "EditCodiceCategoriaMP2", Controllo::Combo);
    categoria.descrizioneEditazione = QStringLiteral("StaticDescrizioneCategoria");
    categoria.descrizioneConsultazione = QStringLiteral("StaticDescrizioneCategoria2");
    c.push_back(categoria);
    c.push_back(campoScheda("COMPOSIZIONE", "Composizione", "ButtonComposizione",
                            "MemoComposizione", "MemoComposizione2", Controllo::Memo));
    c.push_back(campoScheda("MATERIAATTIVA", "Mat. Att. %", "ButtonMateriaAttiva",
                            "EditMateriaAttiva", "EditMateriaAttiva2", Controllo::Edit,
                            TipoValore::Numero,
                            "Specificare un valore numerico valido per \"Mat. Att. %\""));
    c.push_back(campoScheda("TOLLERANZAMA", "Toll. MA", "ButtonTolleranzaMA", "EditTolleranzaMA",
                            "EditTolleranzaMA2", Controllo::Edit, TipoValore::Numero,
                            "Specificare un valore numerico valido per \"Toll. MA\""));
    c.push_back(campoScheda("DATASTAMPA", "Data", "ButtonDataStampa", "EditDataStampa",
                            "EditDataStampa2", Controllo::Edit, TipoValore::Data,
                            "Specificare una data valida per \"Data Stampa\""));
    c.push_back(campoScheda("SIMBOLOGIARISCHIO", "Simbologia Rischio", "ButtonSimbologiaRischio",
                            "EditSimbologiaRischio", "EditSimbologiaRischio2", Controllo::Combo));
    c.push_back(campoScheda("FRASIR", "Frasi R", "ButtonFrasiR", "EditFrasiR", "EditFrasiR2"));
    c.push_back(campoScheda("FRASIS", "Frasi S", "ButtonFrasiS", "EditFrasiS", "EditFrasiS2"));
    c.push_back(campoScheda("INCI", "INCI", "ButtonINCI", "EditINCI", "EditINCI2"));
    c.push_back(campoScheda("EINECS", "EINECS", "ButtonEINECS", "EditEINECS", "EditEINECS2"));
    c.push_back(
        campoScheda("NUMEROCAS", "CAS", "ButtonNumeroCAS", "EditNumeroCAS", "EditNumeroCAS2"));
    c.push_back(campoScheda("CODICEANALOGO", "Cod. Analogo", "ButtonCodiceAnalogo",
                            "EditCodiceAnalogo", "EditCodiceAnalogo2"));
    c.push_back(campoScheda("CODICEESTERNO", "Cod. Esterno", "ButtonCodiceEsterno",
                            "EditCodiceEsterno", "EditCodiceEsterno2"));
    CampoScheda fornitore = campoScheda("CODICEFORNITORE", "Cod. Forn.", "ButtonFornitore",
                                        "EditFornitore", "EditFornitore2");
    fornitore.descrizioneEditazione = QStringLiteral("StaticDescrizioneFornitore");
    fornitore.descrizioneConsultazione = QStringLiteral("StaticDescrizioneFornitore2");
    c.push_back(fornitore);
    c.push_back(campoScheda("FLAGSCHEDASICUREZZA", "Scheda sicurezza", "ButtonSchedaSicurezza",
                            "CheckSchedaSicurezza", "CheckSchedaSicurezza2", Controllo::Check,
                            TipoValore::Flag));
    c.push_back(campoScheda("FLAGSCHEDATECNICA", "Scheda Tecnica", "ButtonSchedaTecnica",
                            "CheckSchedaTecnica", "CheckSchedaTecnica2", Controllo::Check,
                            TipoValore::Flag));
    c.push_back(campoScheda("CODICEADR", "Codice A.D.R.", "ButtonCodiceADR", "ComboCodiceADR",
                            "EditCodiceADR2", Controllo::Combo));
    CampoScheda classe = campoScheda("ADR2017.CLASSE", "Classe A.D.R.", "ButtonClasseADR",
                                     "EditClasseADR", "EditClasseADR2");
    classe.memorizzato = false;
    c.push_back(classe);
    CampoScheda descrizione =
        campoScheda("ADR2017.DESCRIZIONE", "Descrizione A.D.R.", "ButtonDescrizioneADR",
                    "MemoDescrizioneADR", "MemoDescrizioneADR2", Controllo::Memo);
    descrizione.memorizzato = false;
    c.push_back(descrizione);
    CampoScheda gruppo = campoScheda("GRUPPOADR", "Gruppo A.D.R.", "ButtonGruppoADR",
                                     "ComboGruppoADR", "EditGruppoADR2", Controllo::Combo);
    gruppo.voci = {QString(), QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III")};
    c.push_back(gruppo);
    c.push_back(campoScheda("UBICAZIONEPRIMARIA", "Ubicazione Primaria", "ButtonUbicazPrimaria",
                            "EditUbicazPrimaria", "EditUbicazPrimaria2"));
    c.push_back(campoScheda("UBICAZIONESTOCK", "Ubicazione stock", "ButtonUbicazStock",
                            "EditUbicazStock", "EditUbicazStock2"));
    c.push_back(campoScheda("CONFEZIONE", "Confezione", "ButtonConfezione", "EditConfezione",
                            "EditConfezione2"));
    c.push_back(campoScheda("PREZZO", "Prezzo al Kg", "ButtonPrezzo", "EditPrezzo", "EditPrezzo2",
                            Controllo::Edit, TipoValore::Numero,
                            "Specificare un valore numerico valido per \"Prezzo al Kg\""));
    c.push_back(campoScheda("ULTIMOAGGIORNPREZZO", "Aggiornato al", "ButtonUltimoAggiorPrezzo",
                            "EditUltimoAggiorPrezzo", "EditUltimoAggiorPrezzo2", Controllo::Edit,
                            TipoValore::Data, "Specificare una data valida per \"Aggiornato al\""));
    return c;
}

enum Pagina { Principale, Specifiche, Analoghi, Allegati, Ricerche, Storico };

} // namespace

TMaterForm::TMaterForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
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
           .avvisoEliminazione =
               [](Query& q, const QString& codice) {
                   return avvisoUsi(Articolo::MateriaPrima,
                                    contaUsi(q, Articolo::MateriaPrima, codice));
               },
           .navigatore = QStringLiteral("NavigatorMater"),
           .fuocoNuovo = QStringLiteral("CODICECATEGORIAMP"),
           .colonneCampi = 2},
          {.tabSet = QStringLiteral("TabSetMater"),
           .notebook = QStringLiteral("NotebookMater"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Specifiche"),
                      QStringLiteral("Analoghi"), QStringLiteral("Allegati"),
                      QStringLiteral("Ricerche"), QStringLiteral("Storico")},
           .testata = {{QStringLiteral("Codice"), QStringLiteral("CODICE")},
                       {QStringLiteral("Nome Commerciale"), QStringLiteral("NOMECOMMERCIALE")},
                       {QStringLiteral("Categoria MP"), QStringLiteral("CODICECATEGORIAMP")}},
           .paginaRicerche = 4,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaDescrizione"),
                        QStringLiteral("NOMECOMMERCIALE")},
                       {QStringLiteral("Cod.Analog."), QStringLiteral("EditRicercaCodiceAnalogo"),
                        QStringLiteral("CODICEANALOGO")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM MATER WHERE (CODICE IS NOT NULL)"),
           .paginaStorico = 5,
           .tabellaStorico = QStringLiteral("STOMATERRIEP"),
           .situazioneStorico = 5,
           .memoStorico = {QStringLiteral("COMPOSIZIONE"), QStringLiteral("NOTE")},
           .paginaAllegati = 3,
           .tabellaAllegati = QStringLiteral("MATERALL"),
           .situazioneAllegati = 9,
           .allegatoPresente = QStringLiteral("Il file selezionato è già presente nella lista "
                                              "degli allegati per la materia prima corrente")},
          owner),
      QuerySpecifiche(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAnaloghi(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAnaloghiNonCod(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAna(&sessione->IBDatabase1, &TransazionePrincipale) {
    creaPagine();
    caricaElenchi();
    collegaDecodifiche();
    resize(1000, 700);
    mostraPagina(Principale);
    SettaggioInterfaccia();
    rigaCambiata();
}

TMaterForm::~TMaterForm() {
    for (TCSDGrid* g : {GridSpecifiche, GridAnaloghi, GridAnaloghiNonCod, GridAna}) {
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

// ------------------------------------------------------------------ pages

void TMaterForm::creaPagine() {
    // "Pagina 1": version, the list with its two pages, the three small grids
    QWidget* paginaUno_ = this->PaginaUno;
    auto* v1 = qobject_cast<QVBoxLayout*>(this->PaginaUno->layout());
    v1->removeWidget(CorpoScheda);
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
        configuraGriglia(g, situazione, tabella);
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
    ButtonRicerche = creaPulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                                  PaginaConsultazione);
    ButtonStampa = creaPulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"),
                                PaginaConsultazione);
    ButtonSincroPrezzi = creaPulsante(QStringLiteral("Sincro &Prezzi"),
                                      QStringLiteral("ButtonSincroPrezzi"), PaginaConsultazione);
    ButtonDoveUsato = creaPulsante(QStringLiteral("&Dove usato"), QStringLiteral("ButtonDoveUsato"),
                                   PaginaConsultazione);
    connect(ButtonDoveUsato, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonDoveUsatoClick(); }));
    auto* altri = new QHBoxLayout;
    altri->addWidget(CheckEditReport);
    altri->addStretch();
    for (QPushButton* b : {ButtonDoveUsato, ButtonRicerche, ButtonStampa, ButtonSincroPrezzi}) {
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
    {
        auto* descrizione = new QLineEdit(Testata);
        descrizione->setObjectName(QStringLiteral("PanelTestataDescrizioneCategoria"));
        descrizione->setReadOnly(true);
        descrizione->setFocusPolicy(Qt::NoFocus);
        qobject_cast<QHBoxLayout*>(Testata->layout())->insertWidget(6, descrizione, 1);
        collegaDescrizione(
            Testata->findChild<QLineEdit*>(QStringLiteral("PanelTestataCODICECATEGORIAMP")),
            descrizione, QStringLiteral("TimerCategoriaTestata"), [](const QString& c) {
                return QStringList{QStringLiteral("SELECT DESCRIZIONE FROM CATEGMP"),
                                   QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
            });
    }
    creaRigheSpecifiche();
    creaRigheAnaloghi();
    aggiungiPagina(PaginaSpecifiche);
    aggiungiPagina(PaginaAnaloghi->parentWidget());
    aggiungiPagina(nullptr); // attachments
    aggiungiPagina(nullptr); // searches
    aggiungiPagina(nullptr); // history

    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));
    connect(ButtonStampa, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonStampaClick(); }));
    connect(ButtonSincroPrezzi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonSincroPrezziClick(); }));
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
    CampoScheda riga =
        campoScheda("NRIGA", "N.Riga", "ButtonSpNRiga", "EditSpNRiga", "EditSpNRiga2");
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
                         .campi = {campoScheda("SPECIFICA", "Specifica", "ButtonSpSpecifica",
                                               "EditSpSpecifica", "EditSpSpecifica2")},
                         .messaggioCancellare = QStringLiteral(
                             "Errore interno: cancellare manualmente il record con CODICEMP ")},
                        this);
    PaginaRighe* p = PaginaSpecifiche;
    p->padre = [this] { return codiceCorrenteGriglia(); };
    p->storico = [this](Query& q, const QString& r, bool cancellazione, const QStringList& set) {
        const QString codice = PaginaSpecifiche->PadreCorrente;
        const int testata = testataPerRiga(q, codice, cancellazione);
        storicoSpecifica(q, codice, r, testata, cancellazione, set, cancellazione);
    };
    p->sqlVersione = [](const QString& codice, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOSPECIF"),
                           QStringLiteral("WHERE (CODICEMP=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(codice), sql::intero(r))};
    };
    p->dopoSalvataggio = [this] { mostraVersioneTestata(); };
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
    configuraGriglia(GridAna, 4, kTabella);
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

    CampoScheda codice = campoScheda("CODICEANALOGO", "Cod.Analog", "ButtonAnaNCCodice",
                                     "EditAnaNCCodice", "EditAnaNCCodice2");
    CampoScheda riga =
        campoScheda("NRIGA", "N.Riga", "ButtonAnaNCNRiga", "EditAnaNCNRiga", "EditAnaNCNRiga2");
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
         .campi = {campoScheda("DESCRIZIONE", "Descrizione", "ButtonAnaNCDescrizione",
                               "EditAnaNCDescrizione", "EditAnaNCDescrizione2"),
                   campoScheda("VALUTAZIONE", "&Valutazione", "ButtonAnaNCValutazione",
                               "EditAnaNCValutazione", "EditAnaNCValutazione2"),
                   campoScheda("NOTE", "Note", "ButtonAnaNCNote", "EditAnaNCNote", "EditAnaNCNote2",
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
        const int testata = testataPerRiga(q, codice, cancellazione);
        storicoAnalogo(q, codice, AnalogoCorrente, r, testata, cancellazione, set, cancellazione);
    };
    p->sqlVersione = [](const QString& analogo, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOANANC"),
                           QStringLiteral("WHERE (CODICEANALOGO=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(analogo), sql::intero(r))};
    };
    p->dopoSalvataggio = [this] { mostraVersioneTestata(); };
}

void TMaterForm::caricaElenchi() {
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    caricaElenco(QStringLiteral("CODICECATEGORIAMP"),
                 {QStringLiteral("SELECT CODICE FROM CATEGMP")}, true);
    caricaElenco(QStringLiteral("SIMBOLOGIARISCHIO"),
                 {QStringLiteral("SELECT DESCRIZIONE FROM SRISCHI")}, false);
    caricaCodiciADR();
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

    collegaADR();
}

// --------------------------------------------------------- page changes

bool TMaterForm::paginaConsentita(int pagina) {
    if (!SchedaAPagine::paginaConsentita(pagina)) {
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

QList<QPushButton*> TMaterForm::pulsantiPagina(int pagina) {
    if (pagina == Principale) {
        return SchedaAPagine::pulsantiPagina(pagina)
               << ButtonRicerche << ButtonStampa << ButtonFornitore << ButtonDoveUsato;
    }
    return SchedaAPagine::pulsantiPagina(pagina);
}

void TMaterForm::paginaMostrata(int pagina) {
    switch (pagina) {
    case Principale:
        // lines added or deleted on the other pages show on return
        codicePiccole_.clear();
        analogoPiccole_.clear();
        timerPiccole_->start();
        break;
    case Analoghi:
        riapriQuery(QueryAna);
        break;
    default:
        break;
    }
}

void TMaterForm::rigaCambiata() {
    timerPiccole_->stop();
    timerPiccole_->start();
    switch (paginaCorrente()) {
    case Specifiche:
        PaginaSpecifiche->riapri();
        break;
    case Analoghi: {
        const QString analogo = PaginaAnaloghi->padre();
        if (analogo != PaginaAnaloghi->PadreCorrente || !QueryAna.isOpen()) {
            PaginaAnaloghi->PadreCorrente = analogo;
            riapriQuery(QueryAna);
            PaginaAnaloghi->riapri();
        }
        break;
    }
    default:
        break;
    }
}

// The three small lists of the first page and the header version, read
// only while that page is shown and only when the code or the analogue
// code changed.
void TMaterForm::aggiornaPiccole() {
    mostraVersioneTestata();
    if (paginaCorrente() != Principale) {
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

QStringList TMaterForm::sqlDettaglioStorico(QString& memo) {
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
        memo = QStringLiteral("COMPOSIZIONE");
    } else if (tabella == QLatin1String("STOSPECIF")) {
        condizioni = QStringLiteral("(CODICEMP=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(VERSIONED=%4)")
                         .arg(sql::testoNonNullo(valore("CODICE")), sql::intero(valore("NRIGA")),
                              sql::intero(valore("VERSIONET")), sql::intero(valore("VERSIONED")));
    } else if (tabella == QLatin1String("STOANANC")) {
        condizioni =
            QStringLiteral("(CODICEANALOGO=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(VERSIONED=%4)")
                .arg(sql::testoNonNullo(valore("CODICEANALOGO")), sql::intero(valore("NRIGA")),
                     sql::intero(valore("VERSIONET")), sql::intero(valore("VERSIONED")));
        memo = QStringLiteral("NOTE");
    } else {
        return {};
    }
    return {QStringLiteral("SELECT * FROM ") + tabella + QStringLiteral(" WHERE"), condizioni};
}

std::optional<TMaterForm::Scelta> TMaterForm::scegli(TTabXForm* sessione, QWidget* owner,
                                                     const OpzioniRicerca& opzioni) {
    auto* f = new TMaterForm(sessione, owner);
    f->ComeRicerca = true;
    if (opzioni.prepara) {
        opzioni.prepara(*f);
    }
    std::optional<Scelta> scelta;
    if (f->eseguiRicerca(owner, opzioni.codice, opzioni.nascondiSchede)) {
        const Campo nome = f->Griglia->campoCorrente(QStringLiteral("NOMECOMMERCIALE"));
        scelta = Scelta{f->codiceCorrenteGriglia(), nome.isNull() ? QString() : nome.asString()};
    }
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
}

void TMaterForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    decodificaADR(true, false);
}

void TMaterForm::dopoMemorizzazione() {
    mostraVersioneTestata();
}

QString TMaterForm::utente() const {
    return sql::testo(QString::number(sessione_->NumUtente));
}

int TMaterForm::versioneTestata(Query& q, const QString& codice, bool cancellazione) {
    const QString chiave = QStringLiteral("CODICE=") + sql::testoNonNullo(codice);
    const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"), chiave);
    const QString versione = sql::intero(h ? *h + 1 : 1);
    storico::scrivi(
        q,
        {.tabellaStorico = QStringLiteral("STOMATER"),
         .tabella = kTabella,
         .copiate = kColonneStoMater,
         .numeri = {{QStringLiteral("VERS"), versione}},
         .condizione = chiave,
         .riepilogo = QStringLiteral("STOMATERRIEP"),
         .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
                             {QStringLiteral("NRIGA"), QStringLiteral("'0'")},
                             {QStringLiteral("VERSIONET"), versione},
                             {QStringLiteral("VERSIONED"), QStringLiteral("'0'")},
                             {QStringLiteral("TABELLA"), QStringLiteral("'STOMATER'")}}},
        cancellazione, utente());
    return h ? *h + 1 : 1;
}

int TMaterForm::testataPerRiga(Query& q, const QString& codice, bool cancellazione) {
    const auto h = storico::massimo(q, QStringLiteral("STOMATER"), QStringLiteral("VERS"),
                                    QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
    return h ? *h : versioneTestata(q, codice, cancellazione);
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
    storico::scrivi(
        q,
        {.tabellaStorico = QStringLiteral("STOSPECIF"),
         .tabella = QStringLiteral("SPECIF"),
         .copiate = {QStringLiteral("CODICEMP"), QStringLiteral("NRIGA"),
                     QStringLiteral("SPECIFICA")},
         .numeri = {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                    {QStringLiteral("VERSIONED"), sql::intero(versione)}},
         .condizione = condizione,
         .riepilogo = QStringLiteral("STOMATERRIEP"),
         .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
                             {QStringLiteral("NRIGA"), sql::intero(riga)},
                             {QStringLiteral("VERSIONET"), sql::intero(testata)},
                             {QStringLiteral("VERSIONED"), sql::intero(versione)},
                             {QStringLiteral("TABELLA"), QStringLiteral("'STOSPECIF'")}}},
        cancellazione, utente());
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
    try {
        storico::scrivi(
            q,
            {.tabellaStorico = QStringLiteral("STOANANC"),
             .tabella = QStringLiteral("ANANC"),
             .copiate = {QStringLiteral("CODICEANALOGO"), QStringLiteral("NRIGA"),
                         QStringLiteral("DESCRIZIONE"), QStringLiteral("VALUTAZIONE"),
                         QStringLiteral("NOTE")},
             .numeri = {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                        {QStringLiteral("VERSIONED"), sql::intero(versione)}},
             .condizione = condizione,
             .riepilogo = QStringLiteral("STOMATERRIEP"),
             .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
                                 {QStringLiteral("NRIGA"), sql::intero(riga)},
                                 {QStringLiteral("VERSIONET"), sql::intero(testata)},
                                 {QStringLiteral("VERSIONED"), sql::intero(versione)},
                                 {QStringLiteral("TABELLA"), QStringLiteral("'STOANANC'")},
                                 {QStringLiteral("CODICEANALOGO"), sql::testoNonNullo(analogo)}}},
            cancellazione, utente());
    } catch (const ErroreStorico&) {
        // the failing statement is kept for whoever looks into it
        storico::registraErrore(percorsi::suDisco(sessione_->GetV(QStringLiteral("TempDir"))),
                                q.SQL);
        throw;
    }
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

void TMaterForm::ButtonDoveUsatoClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    TDoveUsatoForm::mostra(sessione_, Articolo::MateriaPrima, codiceCorrenteGriglia(), this);
}

void TMaterForm::eliminaRecord(const QString& codice) {
    Query& q = QueryAux;
    const QString c = sql::testoNonNullo(codice);
    auto righe = [&q](QStringList sql) {
        q.SQL = std::move(sql);
        return q.primaColonna();
    };
    const QStringList analogoLetto =
        righe({QStringLiteral("SELECT CODICEANALOGO FROM MATER WHERE CODICE=") + c});
    const QString analogo = analogoLetto.value(0);
    const int testata = versioneTestata(q, codice, true);
    for (const QString& r :
         righe({QStringLiteral("SELECT NRIGA FROM SPECIF WHERE CODICEMP=") + c})) {
        storicoSpecifica(q, codice, r, testata, true, {}, true);
    }
    // the group's uncoded analogues go with the group's last material. Their
    // lines are locked first: two users deleting the group's last two
    // materials at once meet there, and the one who comes second counts again
    // on what the first left (the write starts over once)
    bool ultimoDelGruppo = false;
    if (!analogo.isEmpty()) {
        righe({QStringLiteral("SELECT NRIGA FROM ANANC WHERE CODICEANALOGO=%1 WITH LOCK")
                   .arg(sql::testoNonNullo(analogo))});
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
    SchedaAPagine::closeEvent(e);
    if (!e->isAccepted()) {
        return;
    }
    for (Query* q : {&QuerySpecifiche, &QueryAnaloghi, &QueryAnaloghiNonCod, &QueryAna}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
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
