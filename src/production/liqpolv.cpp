#include "production/liqpolv.h"

#include "master/prodotti.h"
#include "master/prodottipo.h"
#include "production/blocchi.h"
#include "production/critici.h"
#include "production/datilotto.h"
#include "production/etichette.h"
#include "production/fabbricpo.h"
#include "production/inprod.h"
#include "production/materie.h"
#include "production/rfabbsemilav.h"
#include "production/righefabbricazione.h"
#include "production/stampafabbricazione.h"
#include "production/stofab.h"
#include "report/stampascheda.h"
#include "session/apertura.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kTabella = QStringLiteral("FABBRIC");
const QString kStorico = QStringLiteral("STOFABBRIC");

// The columns a history version copies besides its key.
const QStringList kColonneStorico = {
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
    QStringLiteral("STORICOAGGIORNATO"),
    QStringLiteral("DOCUMENTOWORD"),
    QStringLiteral("NOTEFABBRICAZIONE"),
    QStringLiteral("CODICECONTENITORE"),
    QStringLiteral("CODICETAPPO"),
    QStringLiteral("CODICEETICHETTA"),
    QStringLiteral("CODICECARTONE"),
    QStringLiteral("CODICEALTRO1"),
    QStringLiteral("CODICEALTRO2"),
    QStringLiteral("ALTRO3"),
    QStringLiteral("CODICEALTRO3"),
    QStringLiteral("ALTRO4"),
    QStringLiteral("CODICEALTRO4"),
};

// The columns of the components copied from the formulation.
const QStringList kColonneComponenti = {
    QStringLiteral("NRIGA"),
    QStringLiteral("CODICEMATERIAPRIMA"),
    QStringLiteral("PERCENTUALE"),
    QStringLiteral("CRITICO"),
    QStringLiteral("TOLLERANZA"),
    QStringLiteral("CODICEFORMULAZIONE"),
    QStringLiteral("ACCETTABILITA"),
    QStringLiteral("RANGE"),
    QStringLiteral("MATERIAATTIVATEORICA"),
    QStringLiteral("MATERIAATTIVAREALE"),
};

QString avvisoNumero(const QString& didascalia) {
    return QStringLiteral("Specificare un valore numerico valido per \"%1\"").arg(didascalia);
}

CampoScheda campo(const char* colonna, const char* didascalia, const char* nome,
                  Controllo controllo = Controllo::Edit) {
    const QString n = QString::fromLatin1(nome);
    return campoScheda(colonna, didascalia, ("Button" + n).toLatin1().constData(),
                       ("Edit" + n).toLatin1().constData(),
                       ("Edit" + n + "2").toLatin1().constData(), controllo);
}

CampoScheda numero(const char* colonna, const char* didascalia, const char* nome) {
    CampoScheda c = campo(colonna, didascalia, nome);
    c.tipo = TipoValore::Numero;
    c.messaggioNonValido = avvisoNumero(QString::fromUtf8(didascalia));
    return c;
}

CampoScheda calcolato(CampoScheda c) {
    c.calcolato = true;
    return c;
}

CampoScheda informazione(CampoScheda c) {
    c.memorizzato = false;
    c.azzeraNuovo = false;
    return c;
}

// A packaging item: its description, typed or proposed from the product,
// and its code beside it, only proposed.
void imballo(std::vector<CampoScheda>& c, const char* colonna, const char* didascalia,
             const char* nome) {
    c.push_back(campo(colonna, didascalia, nome));
    c.push_back(calcolato(campo(("CODICE" + QByteArray(colonna)).constData(), "Cod.",
                                ("Codice" + QByteArray(nome)).constData())));
}

std::vector<CampoScheda> campiFabbricazione() {
    std::vector<CampoScheda> c;
    // first column: the product and the batch
    c.push_back(campo("NOMEPRODOTTO", "Prodotto", "NomeProdotto"));
    c.push_back(informazione(campo("PRODOT.CODICEFORMULAZIONE", "P.O.", "PO")));
    c.push_back(campo("SPECIFICHE", "Specifiche", "Specifiche", Controllo::Memo));
    c.push_back(numero("QUANTITALITRI", "Q.tà", "QuantitaLitri"));
    CampoScheda udm = campo("UNITAMISURA", "UDM", "UnitaMisura", Controllo::Combo);
    udm.editazione = QStringLiteral("ComboUnitaMisura");
    udm.voci = {QString(), QStringLiteral("Litri"), QStringLiteral("Kg")};
    c.push_back(udm);
    c.push_back(numero("DENSITAPRODOTTO", "Dens.prod.", "DensitaProdotto"));
    c.push_back(campo("MISCELATORE", "Misc.o Lav n°", "Miscelatore"));
    CampoScheda status = campo("STATUS", "Status", "Status", Controllo::Combo);
    status.editazione = QStringLiteral("ComboStatus");
    status.voci = {QString(), QStringLiteral("DA FARE"), QStringLiteral("ESCLUSA"),
                   QStringLiteral("IMPEGNATA"), QStringLiteral("FINITA")};
    c.push_back(status);
    c.push_back(campo("NOMEETICHETTA", "Nome Etichetta", "NomeEtichetta"));
    c.push_back(campo("DOCUMENTOWORD", "Documento Word", "DocumentoWord"));
    c.push_back(
        campo("NOTEFABBRICAZIONE", "Note fabbricazione", "NoteFabbricazione", Controllo::Memo));
    c.push_back(
        informazione(campo("FORMUL.MESIDURATAPRODOTTO", "Mesi durata prodotto", "MesiDurata")));
    c.push_back(informazione(campo("SCADENZA", "Scadenza", "Scadenza")));
    CampoScheda storico = campo("STORICOAGGIORNATO", "Archivio storico aggiornato",
                                "StoricoAggiornato", Controllo::Check);
    storico.tipo = TipoValore::Flag;
    storico.editazione = QStringLiteral("CheckStoricoAggiornato");
    storico.consultazione = QStringLiteral("CheckStoricoAggiornato2");
    c.push_back(calcolato(storico));

    // second column: the packaging
    imballo(c, "CONTENITORE", "Contenitore", "Contenitore");
    CampoScheda capacita =
        campo("CAPACITACONTENITORE", "Capacità", "CodiceCapacita", Controllo::Combo);
    capacita.editazione = QStringLiteral("ComboCapacita");
    capacita.descrizioneConsultazione = QStringLiteral("EditCapacita2");
    capacita.memorizzato = false; // the list shows descriptions, the column holds codes
    capacita.azzeraNuovo = false;
    c.push_back(capacita);
    c.push_back(informazione(campo("QTACONTENITORI", "Q.tà cont.", "QtaCont")));
    imballo(c, "TAPPO", "Tappo", "Tappo");
    CampoScheda riempitrice =
        campo("RIEMPITRICE", "Riempitrice", "CodiceRiempitrice", Controllo::Combo);
    riempitrice.editazione = QStringLiteral("ComboRiempitrice");
    riempitrice.descrizioneConsultazione = QStringLiteral("EditRiempitrice2");
    riempitrice.memorizzato = false;
    riempitrice.azzeraNuovo = false;
    c.push_back(riempitrice);
    imballo(c, "ETICHETTA", "Etichetta", "Etichetta");
    imballo(c, "CARTONE", "Cartone", "Cartone");
    c.push_back(numero("NUMCARTONI", "Q.tà cart.", "NumCartoni"));
    imballo(c, "ALTRO1", "Altro 1", "Altro1");
    imballo(c, "ALTRO2", "Altro 2", "Altro2");
    imballo(c, "ALTRO3", "Altro 3", "Altro3");
    imballo(c, "ALTRO4", "Altro 4", "Altro4");

    // third column: where the batch is made from, transport and progress
    CampoScheda da = campo("FABBRICAZIONEDA", "Fabbricazione da", "FabbricazioneDa");
    da.memorizzato = false; // the radio group beside it
    da.azzeraNuovo = false;
    c.push_back(da);
    c.push_back(calcolato(campo("FABBRICAZIONEDA_CODICE", "Codice SM", "SMCodice")));
    CampoScheda dataSM = calcolato(campo("FABBRICAZIONEDA_DATA", "Data SM", "SMData"));
    dataSM.tipo = TipoValore::Data;
    c.push_back(dataSM);
    c.push_back(calcolato(campo("FABBRICAZIONEDA_LOTTO", "Lotto SM", "SMLotto")));
    c.push_back(informazione(campo("PRODOT.CODICEADR", "Codice A.D.R.", "CodiceADR")));
    c.push_back(informazione(campo("ADR2017.CLASSE", "Classe A.D.R.", "ClasseADR")));
    c.push_back(informazione(campo("PRODOT.GRUPPOADR", "Gruppo", "GruppoADR")));
    c.push_back(informazione(campo("FORMUL.SOSTANZEADR", "Sostanze A.D.R.", "SostanzeADR")));
    c.push_back(informazione(
        campo("ADR2017.DESCRIZIONE", "Descrizione A.D.R.", "DescrizioneADR", Controllo::Memo)));
    CampoScheda limitata =
        informazione(campo("PRODOT.ADRENTROQTALIMITATA", "A.D.R. entro quantità limitata",
                           "ADRQtaLimitata", Controllo::Check));
    limitata.editazione = QStringLiteral("CheckADRQtaLimitata");
    limitata.consultazione = QStringLiteral("CheckADRQtaLimitata2");
    c.push_back(limitata);
    c.push_back(informazione(
        campo("PRODOT.ADRVALOREQTALIMITATA", "Quantità limitata", "ADRValoreQtaLimitata")));
    // written when the batch is committed and posted; shown only
    c.push_back(informazione(campo("DATAIMPEGNO", "Data impegno", "DataImpegno")));
    c.push_back(informazione(campo("OPERATOREIMPEGNO", "Operatore impegno", "OperatoreImpegno")));
    c.push_back(informazione(campo("DATAFINE", "Data fine", "DataFine")));
    c.push_back(informazione(campo("OPERATOREFINE", "Operatore fine", "OperatoreFine")));
    // hidden: the density the quantities are computed with
    c.push_back(numero("DENSITACALCOLI", "Dens.Calc.", "DensitaCalcoli"));
    return c;
}

// The columns the save writes, in their order.
const QStringList& colonneSalvate() {
    static const QStringList c = {
        QStringLiteral("NOMEPRODOTTO"),
        QStringLiteral("NOMEETICHETTA"),
        QStringLiteral("SPECIFICHE"),
        QStringLiteral("NOTEFABBRICAZIONE"),
        QStringLiteral("QUANTITALITRI"),
        QStringLiteral("UNITAMISURA"),
        QStringLiteral("DENSITAPRODOTTO"),
        QStringLiteral("MISCELATORE"),
        QStringLiteral("DENSITACALCOLI"),
        QStringLiteral("CONTENITORE"),
        QStringLiteral("CODICECONTENITORE"),
        QStringLiteral("CAPACITACONTENITORE"),
        QStringLiteral("TAPPO"),
        QStringLiteral("CODICETAPPO"),
        QStringLiteral("RIEMPITRICE"),
        QStringLiteral("ETICHETTA"),
        QStringLiteral("CODICEETICHETTA"),
        QStringLiteral("CARTONE"),
        QStringLiteral("CODICECARTONE"),
        QStringLiteral("NUMCARTONI"),
        QStringLiteral("ALTRO1"),
        QStringLiteral("CODICEALTRO1"),
        QStringLiteral("ALTRO2"),
        QStringLiteral("CODICEALTRO2"),
        QStringLiteral("DOCUMENTOWORD"),
        QStringLiteral("ALTRO3"),
        QStringLiteral("CODICEALTRO3"),
        QStringLiteral("ALTRO4"),
        QStringLiteral("FABBRICAZIONEDA"),
        QStringLiteral("FABBRICAZIONEDA_CODICE"),
        QStringLiteral("FABBRICAZIONEDA_DATA"),
        QStringLiteral("FABBRICAZIONEDA_LOTTO"),
        QStringLiteral("STATUS"),
        QStringLiteral("CODICEALTRO4"),
    };
    return c;
}

// What the header proposes from the product for a new batch: header column
// and product column.
const std::vector<std::pair<const char*, const char*>>& proposteProdotto() {
    static const std::vector<std::pair<const char*, const char*>> p = {
        {"NOMEPRODOTTO", "NOME"},
        {"SPECIFICHE", "NOTE"},
        {"CONTENITORE", "IMBALLOCONTENITORE"},
        {"CODICECONTENITORE", "CODICEIMBALLOCONTENITORE"},
        {"TAPPO", "IMBALLOTAPPO"},
        {"CODICETAPPO", "CODICEIMBALLOTAPPO"},
        {"ETICHETTA", "IMBALLOETICHETTA"},
        {"CODICEETICHETTA", "CODICEIMBALLOETICHETTA"},
        {"CARTONE", "IMBALLOCARTONE"},
        {"CODICECARTONE", "CODICEIMBALLOCARTONE"},
        {"ALTRO1", "IMBALLOALTRO1"},
        {"CODICEALTRO1", "CODICEIMBALLOALTRO1"},
        {"ALTRO2", "IMBALLOALTRO2"},
        {"CODICEALTRO2", "CODICEIMBALLOALTRO2"},
        {"ALTRO3", "IMBALLOALTRO3"},
        {"CODICEALTRO3", "CODICEIMBALLOALTRO3"},
        {"ALTRO4", "IMBALLOALTRO4"},
        {"CODICEALTRO4", "CODICEIMBALLOALTRO4"},
        {"NOTEFABBRICAZIONE", "NOTEFABBRICAZIONE"},
    };
    return p;
}

QString testoCampo(const Campo& c) {
    return c.isNull() ? QString() : c.asString();
}

CampoScheda chiaveData() {
    CampoScheda d = campoScheda("DATA", "Data", "ButtonData", "EditData", "EditData2");
    d.tipo = TipoValore::Data;
    return d;
}

} // namespace

TLiqPolvForm::TLiqPolvForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
          sessione,
          {.tabella = kTabella,
           .nome = QStringLiteral("Fabbric"),
           .didascalia = QStringLiteral("Scheda fabbricazione - Ditta:"),
           .situazioneFinestra = 7,
           .situazioneGriglia = 10,
           .nuovoCodice = NuovoCodice::Digitato,
           .campi = campiFabbricazione(),
           .controlliProfilo =
               {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonEdit"),
                QStringLiteral("ButtonElimina"), QStringLiteral("ButtonEditCompCritici"),
                QStringLiteral("ButtonNuovoConfez"), QStringLiteral("ButtonEditConfez"),
                QStringLiteral("ButtonEliminaConfez"), QStringLiteral("ButtonNuovoProced"),
                QStringLiteral("ButtonEditProced"), QStringLiteral("ButtonEliminaProced")},
           .altreChiavi = {chiaveData(),
                           campoScheda("LOTTO", "Lotto", "ButtonLotto", "EditLotto", "EditLotto2")},
           .navigatore = QStringLiteral("NavigatorFabbric"),
           .fuocoNuovo = QStringLiteral("NOMEPRODOTTO"),
           .colonneCampi = 3,
           .ordineVerifica = {QStringLiteral("QUANTITALITRI"), QStringLiteral("DENSITAPRODOTTO"),
                              QStringLiteral("DENSITACALCOLI"), QStringLiteral("NUMCARTONI")},
           .valoriNuovo = {{QStringLiteral("ID"),
                            QStringLiteral("GEN_ID(ID_FABBRICAZIONE_COUNTER,1)")}},
           .cancellaManualeSoloChiave = true},
          {.tabSet = QStringLiteral("TabSetLiqPolv"),
           .notebook = QStringLiteral("NoteBookLiqPolv"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Materie"),
                      QStringLiteral("Comp. Critici"), QStringLiteral("Qualità"),
                      QStringLiteral("Confezionamento"), QStringLiteral("Procedura"),
                      QStringLiteral("Ricerche"), QStringLiteral("Storico")},
           .testata = {{QStringLiteral("Codice"), QStringLiteral("CODICE")},
                       {QStringLiteral("Prodotto"), QStringLiteral("NOMEPRODOTTO")},
                       {QStringLiteral("Data"), QStringLiteral("DATA")},
                       {QStringLiteral("Lotto"), QStringLiteral("LOTTO")}},
           .paginaRicerche = Ricerche,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Data"), QStringLiteral("EditRicercaData"),
                        QStringLiteral("DATA"), TipoValore::Data},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaNomeProdotto"),
                        QStringLiteral("NOMEPRODOTTO")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM FABBRIC WHERE (CODICE IS NOT NULL)"),
           .paginaStorico = Storico,
           .tabellaStorico = kStorico,
           .situazioneStorico = 26,
           .memoStorico = {QStringLiteral("SPECIFICHE"), QStringLiteral("NOTEFABBRICAZIONE")},
           .grigliaStoricoUnica = QStringLiteral("GridStorico")},
          owner) {
    Notebook->setObjectName(QStringLiteral("NoteBookEditFabbric"));
    PaginaUno->setObjectName(QStringLiteral("Pagina1"));
    // the ERP archive: serials, lots and supplier names of the pages
    const QString erp = sessione_->GetV(QStringLiteral("ArchivioTovaris"));
    if (!sessione_->IBDatabase2.connected() && ArchivioPresente(erp)) {
        sessione_->ConnettiDatabase2(QStringLiteral("ArchivioTovaris"));
    }
    creaPagine();
    // the history page lists the header versions of the product's batches
    if (auto* v = qobject_cast<QVBoxLayout*>(NotebookPagine->widget(Storico)->layout())) {
        v->insertWidget(0, new QLabel(QStringLiteral("Testate"), NotebookPagine->widget(Storico)));
    }
    caricaElenchi();
    collegaCalcoli();
    resize(1180, 860);
    mostraPagina(Principale);
    SettaggioInterfaccia();
    rigaCambiata();
}

// The pages' lists read through the sheet's transactions: they go first.
TLiqPolvForm::~TLiqPolvForm() {
    delete Critici;
    delete PaginaComponenti;
}

Database* TLiqPolvForm::archivio() {
    return &sessione_->IBDatabase1;
}

Database* TLiqPolvForm::archivioErp() {
    return sessione_->IBDatabase2.connected() ? &sessione_->IBDatabase2 : nullptr;
}

LottoCorrente TLiqPolvForm::lottoCorrente() const {
    LottoCorrente l;
    if (listaVuota() || !Griglia->currentIndex().isValid()) {
        return l;
    }
    auto numero = [this](const char* colonna) -> std::optional<double> {
        const Campo c = Griglia->campoCorrente(QString::fromLatin1(colonna));
        if (c.isNull()) {
            return std::nullopt;
        }
        return c.asFloat();
    };
    l.codice = testoCampo(Griglia->campoCorrente(QStringLiteral("CODICE")));
    l.data = Griglia->campoCorrente(QStringLiteral("DATA")).asDate();
    l.lotto = testoCampo(Griglia->campoCorrente(QStringLiteral("LOTTO")));
    if (const Campo id = Griglia->campoCorrente(QStringLiteral("ID")); !id.isNull()) {
        l.id = id.asInteger();
    }
    l.nomeProdotto = testoCampo(Griglia->campoCorrente(QStringLiteral("NOMEPRODOTTO")));
    l.unitaMisura = testoCampo(Griglia->campoCorrente(QStringLiteral("UNITAMISURA")));
    l.quantita = numero("QUANTITALITRI");
    l.densitaProdotto = numero("DENSITAPRODOTTO");
    return l;
}

void TLiqPolvForm::rileggiLotto() {
    const QString codice = codiceCorrenteGriglia();
    AltreChiaviCorrenti = altreChiaviGriglia();
    rileggi(codice);
}

// ------------------------------------------------------------------ pages

QWidget* TLiqPolvForm::paginaConGriglia(QWidget* contenuto, const QString& nome) {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(nome);
    auto* v = new QVBoxLayout(pagina);
    v->setContentsMargins(0, 0, 0, 0);
    if (contenuto) {
        contenuto->setParent(pagina);
        v->addWidget(contenuto, 4);
    } else {
        v->addStretch(4);
    }
    auto* pannello = new QWidget(pagina);
    pannello->setObjectName(QStringLiteral("PanelGrid") + nome);
    auto* p = new QVBoxLayout(pannello);
    p->setContentsMargins(0, 0, 0, 0);
    v->addWidget(pannello, 1);
    return pagina;
}

void TLiqPolvForm::creaPagine() {
    // the tab strip at the bottom of the screen
    auto* principale = qobject_cast<QVBoxLayout*>(layout());
    principale->removeWidget(TabSet);
    principale->addWidget(TabSet);
    TabSet->setShape(QTabBar::RoundedSouth);

    // the header above the batch list
    if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
        divisore->insertWidget(1, Griglia);
        divisore->setSizes({520, 300});
    }

    // the version beside the consultation page's buttons
    auto* v0 = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout());
    auto* versione = new QHBoxLayout;
    versione->addWidget(new QLabel(QStringLiteral("Versione:"), PaginaConsultazione));
    LabelVersione = new QLabel(PaginaConsultazione);
    LabelVersione->setObjectName(QStringLiteral("LabelVersione"));
    versione->addWidget(LabelVersione);
    LabelBlocco = new QLabel(PaginaConsultazione);
    LabelBlocco->setObjectName(QStringLiteral("LabelBlocco"));
    LabelBlocco->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    versione->addWidget(LabelBlocco);
    versione->addStretch();
    CheckCopiaClip = new QCheckBox(QStringLiteral("Copia su clip."), PaginaConsultazione);
    CheckCopiaClip->setObjectName(QStringLiteral("CheckCopiaClip"));
    CheckEditReport = new QCheckBox(QStringLiteral("Edit report st."), PaginaConsultazione);
    CheckEditReport->setObjectName(QStringLiteral("CheckEditReport"));
    versione->addWidget(CheckCopiaClip);
    versione->addWidget(CheckEditReport);
    v0->insertLayout(v0->count() - 1, versione);

    auto* altri = new QHBoxLayout;
    ButtonRicerche = creaPulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                                  PaginaConsultazione);
    ButtonStampa = creaPulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"),
                                PaginaConsultazione);
    ButtonStampaPre = creaPulsante(QStringLiteral("Stampa PRE"), QStringLiteral("ButtonStampaPre"),
                                   PaginaConsultazione);
    ButtonStorico = creaPulsante(QStringLiteral("Archiv. scheda"), QStringLiteral("ButtonStorico"),
                                 PaginaConsultazione);
    ButtonStampaEtichette =
        creaPulsante(QStringLiteral("Stampa etichette"), QStringLiteral("ButtonStampaEtichette"),
                     PaginaConsultazione);
    ButtonHelpStampaEtichette = creaPulsante(
        QStringLiteral("?"), QStringLiteral("ButtonHelpStampaEtichette"), PaginaConsultazione);
    ButtonProdottiStessaPO =
        creaPulsante(QStringLiteral("Prod. stessa P.O."), QStringLiteral("ButtonProdottiStessaPO"),
                     PaginaConsultazione);
    ButtonFabbricazioniStessaPO =
        creaPulsante(QStringLiteral("Fabbr. stessa P.O."),
                     QStringLiteral("ButtonFabbricazioniStessaPO"), PaginaConsultazione);
    altri->addStretch();
    for (QPushButton* b :
         {ButtonRicerche, ButtonStampa, ButtonStampaPre, ButtonStorico, ButtonStampaEtichette,
          ButtonHelpStampaEtichette, ButtonProdottiStessaPO, ButtonFabbricazioniStessaPO}) {
        altri->addWidget(b);
    }
    v0->insertLayout(v0->count() - 1, altri);
    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));

    // the edit page: the document, the label and the semi-finished batch
    auto* v1 = qobject_cast<QVBoxLayout*>(PaginaEditazione->layout());
    auto* documento = new QHBoxLayout;
    ButtonSelezDoc = creaPulsante(QStringLiteral("Sele&z Doc."), QStringLiteral("ButtonSelezDoc"),
                                  PaginaEditazione);
    ButtonApriDoc = creaPulsante(QStringLiteral("Apri &Doc."), QStringLiteral("ButtonApriDoc"),
                                 PaginaEditazione);
    ButtonAssegnaEtichetta =
        creaPulsante(QStringLiteral("Assegna Etichetta"), QStringLiteral("ButtonAssegnaEtichetta"),
                     PaginaEditazione);
    ButtonSemilavorato = creaPulsante(QStringLiteral("Codice, Data, Lotto SM"),
                                      QStringLiteral("ButtonSemilavorato"), PaginaEditazione);
    RadioMateriePrime = new QRadioButton(QStringLiteral("Materie prime"), PaginaEditazione);
    RadioMateriePrime->setObjectName(QStringLiteral("RadioMateriePrime"));
    RadioSemilavorato = new QRadioButton(QStringLiteral("Semilavorato"), PaginaEditazione);
    RadioSemilavorato->setObjectName(QStringLiteral("RadioSemilavorato"));
    auto* gruppo = new QButtonGroup(PaginaEditazione);
    gruppo->addButton(RadioMateriePrime);
    gruppo->addButton(RadioSemilavorato);
    documento->addWidget(ButtonSelezDoc);
    documento->addWidget(ButtonApriDoc);
    documento->addWidget(ButtonAssegnaEtichetta);
    documento->addStretch();
    documento->addWidget(new QLabel(QStringLiteral("Fabbricazione da"), PaginaEditazione));
    documento->addWidget(RadioMateriePrime);
    documento->addWidget(RadioSemilavorato);
    documento->addWidget(ButtonSemilavorato);
    v1->insertLayout(v1->count() - 1, documento);
    // the radio group stands for the column's edit
    editazione(QStringLiteral("FABBRICAZIONEDA"))->hide();
    if (auto* b =
            PaginaEditazione->findChild<QPushButton*>(QStringLiteral("ButtonFabbricazioneDa"))) {
        b->hide();
    }
    // each button's action, every error a message
    const std::pair<QPushButton*, void (TLiqPolvForm::*)()> azioni[] = {
        {ButtonStampa, &TLiqPolvForm::ButtonStampaClick},
        {ButtonStampaPre, &TLiqPolvForm::ButtonStampaPreClick},
        {ButtonStorico, &TLiqPolvForm::ButtonStoricoClick},
        {ButtonStampaEtichette, &TLiqPolvForm::ButtonStampaEtichetteClick},
        {ButtonProdottiStessaPO, &TLiqPolvForm::ButtonProdottiStessaPOClick},
        {ButtonFabbricazioniStessaPO, &TLiqPolvForm::ButtonFabbricazioniStessaPOClick},
        {ButtonSelezDoc, &TLiqPolvForm::ButtonSelezDocClick},
        {ButtonApriDoc, &TLiqPolvForm::ButtonApriDocClick},
        {ButtonSemilavorato, &TLiqPolvForm::ButtonSemilavoratoClick},
        {ButtonAssegnaEtichetta, &TLiqPolvForm::ButtonAssegnaEtichettaClick},
    };
    for (const auto& [pulsante, azione] : azioni) {
        connect(pulsante, &QPushButton::clicked, this,
                protetto(this, [this, azione] { (this->*azione)(); }));
    }
    connect(ButtonHelpStampaEtichette, &QPushButton::clicked, this, [this] {
        Messaggi::informazione(QStringLiteral("Variabili passate in stampa:\r<LOTTO>\r"
                                              "<DATASCADENZA>\r<DATAFABBRICAZIONE>\r<SERIALE>\r"
                                              "<SERIALENORM10>"),
                               this);
    });
    connect(RadioSemilavorato, &QRadioButton::toggled, this, [this](bool sm) {
        for (const char* c :
             {"FABBRICAZIONEDA_CODICE", "FABBRICAZIONEDA_DATA", "FABBRICAZIONEDA_LOTTO"}) {
            editazione(QString::fromLatin1(c))->setVisible(sm);
        }
        ButtonSemilavorato->setVisible(sm);
    });
    // the hidden calculation density
    for (QWidget* w : {editazione(QStringLiteral("DENSITACALCOLI")),
                       consultazione(QStringLiteral("DENSITACALCOLI"))}) {
        w->hide();
    }
    for (QWidget* p : {PaginaEditazione, PaginaConsultazione}) {
        for (const char* nome : {"ButtonDensitaCalcoli", "ButtonDensitaCalcoli2"}) {
            if (auto* b = p->findChild<QPushButton*>(QString::fromLatin1(nome))) {
                b->hide();
            }
        }
    }
    // commitment and posting are shown on the consultation page only
    for (const char* c : {"DATAIMPEGNO", "OPERATOREIMPEGNO", "DATAFINE", "OPERATOREFINE"}) {
        editazione(QString::fromLatin1(c))->hide();
    }
    for (const char* nome :
         {"ButtonDataImpegno", "ButtonOperatoreImpegno", "ButtonDataFine", "ButtonOperatoreFine"}) {
        if (auto* b = PaginaEditazione->findChild<QPushButton*>(QString::fromLatin1(nome))) {
            b->hide();
        }
    }
    for (const char* c : {"SPECIFICHE", "NOTEFABBRICAZIONE", "ADR2017.DESCRIZIONE"}) {
        for (QWidget* m :
             {editazione(QString::fromLatin1(c)), consultazione(QString::fromLatin1(c))}) {
            m->setMaximumHeight(52);
        }
    }

    // the lists: descriptions shown, codes and capacities hidden beside them
    ComboCapacita = qobject_cast<QComboBox*>(editazione(QStringLiteral("CAPACITACONTENITORE")));
    ComboRiempitrice = qobject_cast<QComboBox*>(editazione(QStringLiteral("RIEMPITRICE")));
    auto nascosta = [this](const char* nome) {
        auto* l = new QComboBox(PaginaEditazione);
        l->setObjectName(QString::fromLatin1(nome));
        l->hide();
        return l;
    };
    ComboCodiceCapacita = nascosta("ComboCodiceCapacita");
    ComboCapacitaConf = nascosta("ComboCapacitaConf");
    ComboCodiceRiempitrice = nascosta("ComboCodiceRiempitrice");
    connect(ComboCapacita, &QComboBox::currentIndexChanged, this, [this](int i) {
        ComboCodiceCapacita->setCurrentIndex(i);
        ComboCapacitaConf->setCurrentIndex(i);
        aggiornaContenitori(true);
    });
    connect(ComboRiempitrice, &QComboBox::currentIndexChanged, this,
            [this](int i) { ComboCodiceRiempitrice->setCurrentIndex(i); });

    PaginaComponenti = new PaginaMaterie(*this);
    Critici = new PagineCritici(*this, this);
    PaginaConfez = creaPaginaConfezionamento(this, *this, [this] {
        return listaVuota() ? QString()
                            : testoCampo(Griglia->campoCorrente(QStringLiteral("RIEMPITRICE")));
    });
    PaginaProced = creaPaginaProcedura(this, *this);
    for (int i = Materie; i < Ricerche; ++i) {
        QWidget* contenuto = i == Materie           ? PaginaComponenti
                             : i == CompCritici     ? Critici->PaginaCritici
                             : i == Qualita         ? Critici->PaginaQualita
                             : i == Confezionamento ? static_cast<QWidget*>(PaginaConfez)
                                                    : PaginaProced;
        aggiungiPagina(paginaConGriglia(contenuto, TabSet->tabText(i).remove('.').remove(' ')));
    }
    for (PaginaRighe* p : {PaginaConfez, PaginaProced}) {
        p->bloccaScheda = [this](bool) { bloccaLotti(); };
    }
    aggiungiPagina(nullptr); // searches
    aggiungiPagina(nullptr); // history
}

QList<QPushButton*> TLiqPolvForm::pulsantiPagina(int pagina) {
    QList<QPushButton*> r = SchedaAPagine::pulsantiPagina(pagina);
    if (pagina == Materie) {
        r << PaginaComponenti->pulsanti();
    } else if (pagina == CompCritici || pagina == Qualita) {
        r << Critici->pulsanti(pagina);
    } else if (pagina == Confezionamento || pagina == Procedura) {
        PaginaRighe* p = pagina == Confezionamento ? PaginaConfez : PaginaProced;
        r << p->ButtonNuovo << p->ButtonEdit << p->ButtonElimina << p->ButtonChiudi
          << p->ButtonMemorizza << p->ButtonAnnulla;
    }
    if (pagina == Principale) {
        r << ButtonRicerche << ButtonStampa << ButtonStampaPre << ButtonStorico
          << ButtonStampaEtichette << ButtonHelpStampaEtichette << ButtonProdottiStessaPO
          << ButtonFabbricazioniStessaPO << ButtonSelezDoc << ButtonApriDoc
          << ButtonAssegnaEtichetta << ButtonSemilavorato;
    }
    return r;
}

bool TLiqPolvForm::paginaConsentita(int pagina) {
    if (!SchedaAPagine::paginaConsentita(pagina)) {
        return false;
    }
    if (pagina == Confezionamento &&
        testoCampo(Griglia->campoCorrente(QStringLiteral("RIEMPITRICE"))).trimmed().isEmpty()) {
        Messaggi::avviso(QStringLiteral("Per accedere alla sessione Confezionamento è necessario "
                                        "specificare una riempitrice"),
                         this);
        return false;
    }
    return true;
}

void TLiqPolvForm::paginaMostrata(int pagina) {
    // the batch list at the bottom of every page but the history
    if (pagina == Principale) {
        if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
            divisore->insertWidget(1, Griglia);
        }
    } else if (pagina != Ricerche && pagina != Storico) {
        QWidget* p = NotebookPagine->widget(pagina);
        if (auto* pannello =
                p->findChild<QWidget*>(QStringLiteral("PanelGrid") + p->objectName())) {
            pannello->layout()->addWidget(Griglia);
        }
    }
    Griglia->show();
    // each page reads its lists while it is shown, and only then
    if (!PaginaComponenti) {
        return;
    }
    if (pagina == Materie) {
        PaginaComponenti->aggiorna();
    } else {
        PaginaComponenti->chiudi();
    }
    if (pagina == CompCritici || pagina == Qualita) {
        Critici->aggiorna(pagina);
    } else {
        Critici->chiudi();
    }
}

void TLiqPolvForm::rigaCambiata() {
    if (!TimerPO) {
        return; // the sheet is still being built
    }
    // the decodes of the row shown, whatever the previous row held; from the
    // lists read at opening, no query
    decodificaConsultazione();
    TimerPO->start();
    if (paginaCorrente() == Materie) {
        PaginaComponenti->aggiorna();
    } else if (paginaCorrente() == CompCritici || paginaCorrente() == Qualita) {
        Critici->aggiorna(paginaCorrente());
    } else if (paginaCorrente() == Confezionamento || paginaCorrente() == Procedura) {
        // another batch may have another machine or product: its lines
        PaginaRighe* p = paginaCorrente() == Confezionamento ? PaginaConfez : PaginaProced;
        if (p->Stato == 0) {
            p->riapri();
        }
    }
}

void TLiqPolvForm::bloccaLotti() {
    aggiornaBlocchi();
    const bool righeInModifica = PaginaConfez->Stato != 0 || PaginaProced->Stato != 0;
    Griglia->setEnabled(StatoScheda == 0 && !righeInModifica);
}

void TLiqPolvForm::closeEvent(QCloseEvent* e) {
    SchedaAPagine::closeEvent(e);
    if (e->isAccepted()) {
        PaginaComponenti->chiudi();
        Critici->chiudi();
    }
}

// ---------------------------------------------------------------- lists

void TLiqPolvForm::caricaElenchi() {
    for (QComboBox* l : {ComboCapacita, ComboCodiceCapacita, ComboCapacitaConf, ComboRiempitrice,
                         ComboCodiceRiempitrice}) {
        const QSignalBlocker b(l);
        l->clear();
        l->addItem(QString());
    }
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    try {
        QueryAux2.SQL = {QStringLiteral("SELECT * FROM CAPCONF ORDER BY DESCRIZIONE,CODICE")};
        QueryAux2.open();
        for (; !QueryAux2.eof(); QueryAux2.next()) {
            const QSignalBlocker b(ComboCapacita);
            ComboCapacita->addItem(testoCampo(QueryAux2[QStringLiteral("DESCRIZIONE")]));
            ComboCodiceCapacita->addItem(testoCampo(QueryAux2[QStringLiteral("CODICE")]));
            ComboCapacitaConf->addItem(testoCampo(QueryAux2[QStringLiteral("CAPACITACONFEZIONE")]));
        }
        QueryAux2.close();
        QueryAux2.SQL = {
            QStringLiteral("SELECT CODICE,SPECIFICHE FROM RIEMPIT ORDER BY SPECIFICHE,CODICE")};
        QueryAux2.open();
        for (; !QueryAux2.eof(); QueryAux2.next()) {
            const QSignalBlocker b(ComboRiempitrice);
            ComboRiempitrice->addItem(testoCampo(QueryAux2[QStringLiteral("SPECIFICHE")]));
            ComboCodiceRiempitrice->addItem(testoCampo(QueryAux2[QStringLiteral("CODICE")]));
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    for (QComboBox* l : {ComboCapacita, ComboCodiceCapacita, ComboCapacitaConf, ComboRiempitrice,
                         ComboCodiceRiempitrice}) {
        const QSignalBlocker b(l);
        l->setCurrentIndex(0);
    }
}

void TLiqPolvForm::impostaCodice(QComboBox* mostrato, const std::vector<QComboBox*>& nascosti,
                                 const QString& codice) {
    QComboBox* codici = nascosti.front();
    // an extra item left by another batch goes first
    while (codici->count() > 0 && codici->itemData(codici->count() - 1).toBool()) {
        mostrato->removeItem(mostrato->count() - 1);
        for (QComboBox* n : nascosti) {
            n->removeItem(n->count() - 1);
        }
    }
    int i = codice.isEmpty() ? 0 : codici->findText(codice);
    if (i < 0) {
        // a code since removed from its table: shown and saved as it is
        mostrato->addItem(codice);
        for (QComboBox* n : nascosti) {
            n->addItem(n == codici ? codice : QString(), true);
        }
        i = mostrato->count() - 1;
    }
    mostrato->setCurrentIndex(i);
    for (QComboBox* n : nascosti) {
        n->setCurrentIndex(i);
    }
}

QString TLiqPolvForm::codiceScelto(QComboBox* mostrato, QComboBox* codici) {
    const int i = mostrato->currentIndex();
    return i <= 0 ? QString() : codici->itemText(i);
}

// ------------------------------------------------------- derived values

void TLiqPolvForm::collegaCalcoli() {
    TimerPO = new QTimer(this);
    TimerPO->setObjectName(QStringLiteral("TimerPO"));
    TimerPO->setSingleShot(true);
    TimerPO->setInterval(400);
    connect(TimerPO, &QTimer::timeout, this, protetto(this, [this] { aggiornaInformazioni(); }));

    // the consultation page's decodes follow the batch shown (rigaCambiata)
    // "Fabbricazione da" as words on the consultation page
    auto* da2 = qobject_cast<QLineEdit*>(consultazione(QStringLiteral("FABBRICAZIONEDA")));
    connect(da2, &QLineEdit::textChanged, this, [da2](const QString& t) {
        const QString parola = t == QLatin1String("SM")   ? QStringLiteral("Semilavorato")
                               : t == QLatin1String("MP") ? QStringLiteral("Materie prime")
                                                          : t;
        if (parola != t) {
            const QSignalBlocker b(da2);
            da2->setText(parola);
        }
    });
    // on the edit page, the typed quantity
    connect(qobject_cast<QLineEdit*>(editazione(QStringLiteral("QUANTITALITRI"))),
            &QLineEdit::textChanged, this, [this] { aggiornaContenitori(true); });
}

void TLiqPolvForm::aggiornaContenitori(bool suEditazione) {
    auto* qta =
        qobject_cast<QLineEdit*>(suEditazione ? editazione(QStringLiteral("QTACONTENITORI"))
                                              : consultazione(QStringLiteral("QTACONTENITORI")));
    qta->clear();
    QString capacita;
    std::optional<double> quantita;
    if (suEditazione) {
        const int i = ComboCapacita->currentIndex();
        capacita = i < 0 ? QString() : ComboCapacitaConf->itemText(i);
        quantita = Formati::leggiNumero(testoDi(editazione(QStringLiteral("QUANTITALITRI"))));
    } else {
        const int i = posizioneCodice(
            ComboCodiceCapacita, testoDi(consultazione(QStringLiteral("CAPACITACONTENITORE"))));
        impostaTesto(consultazione(QStringLiteral("CAPACITACONTENITORE#")),
                     i > 0 ? ComboCapacita->itemText(i) : QString());
        capacita = i > 0 ? ComboCapacitaConf->itemText(i) : QString();
        quantita = Formati::leggiNumero(testoDi(consultazione(QStringLiteral("QUANTITALITRI"))));
    }
    if (const auto n = produzione::numeroContenitori(quantita, capacita)) {
        qta->setText(Formati::numeroConMigliaia(*n, 2));
    }
}

int TLiqPolvForm::posizioneCodice(QComboBox* codici, const QString& codice) {
    if (codice.isEmpty()) {
        return -1;
    }
    // an item added for a removed code is no decode of it
    const int i = codici->findText(codice);
    return i > 0 && !codici->itemData(i).toBool() ? i : -1;
}

void TLiqPolvForm::decodificaConsultazione() {
    aggiornaContenitori(false);
    const int i = posizioneCodice(ComboCodiceRiempitrice,
                                  testoDi(consultazione(QStringLiteral("RIEMPITRICE"))));
    impostaTesto(consultazione(QStringLiteral("RIEMPITRICE#")),
                 i > 0 ? ComboRiempitrice->itemText(i) : QString());
}

void TLiqPolvForm::aggiornaInformazioni() {
    TimerPO->stop();
    const bool suEditazione = StatoScheda != 0;
    auto mostra = [&](const char* colonna, const QString& t) {
        QWidget* w = suEditazione ? editazione(QString::fromLatin1(colonna))
                                  : consultazione(QString::fromLatin1(colonna));
        impostaTesto(w, t);
    };
    for (const char* c : {"PRODOT.CODICEFORMULAZIONE", "PRODOT.CODICEADR", "ADR2017.CLASSE",
                          "PRODOT.GRUPPOADR", "ADR2017.DESCRIZIONE", "PRODOT.ADRVALOREQTALIMITATA",
                          "FORMUL.SOSTANZEADR", "FORMUL.MESIDURATAPRODOTTO", "SCADENZA"}) {
        mostra(c, QString());
    }
    mostra("PRODOT.ADRENTROQTALIMITATA", QStringLiteral("0"));
    if (!suEditazione) {
        LabelVersione->clear();
        LabelBlocco->clear();
    }
    const QString codice = suEditazione ? CodiceCorrente : codiceCorrenteGriglia();
    const QDate data = suEditazione ? Formati::leggiData(AltreChiaviCorrenti.value(0))
                                    : Griglia->campoCorrente(QStringLiteral("DATA")).asDate();
    if (codice.isEmpty()) {
        return;
    }
    try {
        TransazioneControllo.restart();
        QueryAux2.SQL = {
            QStringLiteral("SELECT A.CODICEFORMULAZIONE,A.CODICEADR,A.GRUPPOADR,"
                           "A.ADRENTROQTALIMITATA,A.ADRVALOREQTALIMITATA,B.CLASSE,B.DESCRIZIONE"),
            QStringLiteral("FROM"),
            QStringLiteral("   PRODOT A"),
            QStringLiteral("   LEFT JOIN ADR2017 B ON"),
            QStringLiteral("   (A.CODICEADR=B.CODICE)"),
            QStringLiteral("WHERE A.CODICE=") + sql::testoNonNullo(codice)};
        QueryAux2.open();
        QString formulazione;
        if (!QueryAux2.eof()) {
            formulazione = testoCampo(QueryAux2[QStringLiteral("CODICEFORMULAZIONE")]);
            mostra("PRODOT.CODICEFORMULAZIONE", formulazione);
            mostra("PRODOT.CODICEADR", testoCampo(QueryAux2[QStringLiteral("CODICEADR")]));
            mostra("ADR2017.CLASSE", testoCampo(QueryAux2[QStringLiteral("CLASSE")]));
            mostra("PRODOT.GRUPPOADR", testoCampo(QueryAux2[QStringLiteral("GRUPPOADR")]));
            mostra("ADR2017.DESCRIZIONE", testoCampo(QueryAux2[QStringLiteral("DESCRIZIONE")]));
            mostra("PRODOT.ADRENTROQTALIMITATA",
                   testoCampo(QueryAux2[QStringLiteral("ADRENTROQTALIMITATA")]) ==
                           QLatin1String("1")
                       ? QStringLiteral("1")
                       : QStringLiteral("0"));
            mostra("PRODOT.ADRVALOREQTALIMITATA",
                   testoCampo(QueryAux2[QStringLiteral("ADRVALOREQTALIMITATA")]));
        }
        QueryAux2.close();
        if (!formulazione.isEmpty()) {
            QueryAux2.SQL = {QStringLiteral("SELECT MESIDURATAPRODOTTO"),
                             QStringLiteral(",SOSTANZEADR"), QStringLiteral("FROM FORMUL"),
                             QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(formulazione)};
            QueryAux2.open();
            if (!QueryAux2.eof()) {
                const QString mesi = testoCampo(QueryAux2[QStringLiteral("MESIDURATAPRODOTTO")]);
                mostra("FORMUL.SOSTANZEADR", testoCampo(QueryAux2[QStringLiteral("SOSTANZEADR")]));
                mostra("FORMUL.MESIDURATAPRODOTTO", mesi);
                std::optional<int> m;
                if (const auto n = Formati::leggiIntero(mesi)) {
                    m = int(*n);
                }
                mostra("SCADENZA", produzione::scadenzaInTesto(produzione::scadenza(data, m)));
            }
            QueryAux2.close();
        }
    } catch (const DbError& e) {
        // information only: the sheet goes on without it
        qWarning("informazioni del prodotto non lette: %s", qPrintable(e.messaggio()));
    }
    if (!suEditazione) {
        mostraVersione();
        // a hold that covers the batch, as the archive stands now
        try {
            TransazioneControllo.restart();
            if (const std::optional<blocchi::Blocco> b =
                    blocchi::copre(sessione_->IBDatabase1, TransazioneControllo, codice, data,
                                   Griglia->campoCorrente(QStringLiteral("LOTTO")).asString())) {
                LabelBlocco->setText(QStringLiteral("BLOCCATA: ") + blocchi::testoBlocco(*b));
            }
        } catch (const DbError& e) {
            qWarning("blocchi della fabbricazione non letti: %s", qPrintable(e.messaggio()));
        }
    }
}

void TLiqPolvForm::mostraVersione() {
    LabelVersione->clear();
    const QString codice = codiceCorrenteGriglia();
    if (codice.isEmpty()) {
        return;
    }
    try {
        TransazioneStorico.restart();
        Query q(&sessione_->IBDatabase1, &TransazioneStorico);
        if (const auto v = storico::massimo(q, kStorico, QStringLiteral("VERS"),
                                            condizione(codice, altreChiaviGriglia()))) {
            LabelVersione->setText(QString::number(*v));
        }
    } catch (const DbError& e) {
        qWarning("versione non letta: %s", qPrintable(e.messaggio()));
    }
}

// ------------------------------------------------------------- new batch

QStringList TLiqPolvForm::chiediNuovaChiave() {
    TInProdForm f(sessione_, QueryAux2, this);
    if (Messaggi::esegui(&f) != QDialog::Accepted) {
        return {};
    }
    return {f.codice(), Formati::dataInTesto(f.data()), f.lotto()};
}

void TLiqPolvForm::dopoNuovo() {
    {
        const QSignalBlocker b(RadioMateriePrime);
        RadioMateriePrime->setChecked(true);
    }
    RadioSemilavorato->setChecked(false);
    emit RadioSemilavorato->toggled(false);
    impostaCodice(ComboCapacita, {ComboCodiceCapacita, ComboCapacitaConf}, QString());
    impostaCodice(ComboRiempitrice, {ComboCodiceRiempitrice}, QString());
    impostaTesto(editazione(QStringLiteral("UNITAMISURA")), QString());
    try {
        TransazioneControllo.restart();
        QueryAux2.SQL = {QStringLiteral("SELECT * FROM PRODOT WHERE"),
                         QStringLiteral("CODICE=") + sql::testoNonNullo(CodiceCorrente)};
        QueryAux2.open();
        if (QueryAux2.eof()) {
            QueryAux2.close();
            return;
        }
        for (const auto& [colonna, origine] : proposteProdotto()) {
            impostaTesto(editazione(QString::fromLatin1(colonna)),
                         testoCampo(QueryAux2[QString::fromLatin1(origine)]));
        }
        const QString formulazione = testoCampo(QueryAux2[QStringLiteral("CODICEFORMULAZIONE")]);
        const bool inKg =
            testoCampo(QueryAux2[QStringLiteral("UNITAVENDITA")]) == QLatin1String("Kg");
        QueryAux2.close();
        QueryAux2.SQL = {QStringLiteral("SELECT * FROM FORMUL WHERE"),
                         formulazione.isEmpty()
                             ? QStringLiteral("CODICE IS NULL")
                             : QStringLiteral("CODICE=") + sql::testoNonNullo(formulazione)};
        QueryAux2.open();
        if (!QueryAux2.eof()) {
            const QString densita = testoCampo(QueryAux2[QStringLiteral("DENSITA")]);
            impostaTesto(editazione(QStringLiteral("DENSITAPRODOTTO")), densita);
            impostaTesto(editazione(QStringLiteral("DENSITACALCOLI")),
                         inKg ? QStringLiteral("1") : densita);
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    TimerPO->start();
}

// ---------------------------------------------------------------- editing

void TLiqPolvForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    impostaCodice(ComboCapacita, {ComboCodiceCapacita, ComboCapacitaConf},
                  testoCampo(Griglia->campoCorrente(QStringLiteral("CAPACITACONTENITORE"))));
    impostaCodice(ComboRiempitrice, {ComboCodiceRiempitrice},
                  testoCampo(Griglia->campoCorrente(QStringLiteral("RIEMPITRICE"))));
    const bool sm = testoCampo(Griglia->campoCorrente(QStringLiteral("FABBRICAZIONEDA"))) ==
                    QLatin1String("SM");
    RadioSemilavorato->setChecked(sm);
    RadioMateriePrime->setChecked(!sm);
    emit RadioSemilavorato->toggled(sm);
    aggiornaContenitori(true);
    TimerPO->start();
}

bool TLiqPolvForm::validaCampi() {
    // capacity codes are numbers
    const QString capacita = codiceScelto(ComboCapacita, ComboCodiceCapacita);
    if (!capacita.isEmpty() && !Formati::leggiNumero(capacita)) {
        Messaggi::avviso(avvisoNumero(QStringLiteral("Capacità")), this);
        return false;
    }
    return true;
}

QStringList TLiqPolvForm::assegnazioni() const {
    std::map<QString, const CampoScheda*> campi;
    for (const CampoScheda& c : descrizione().campi) {
        campi[c.colonna] = &c;
    }
    QStringList r;
    for (const QString& colonna : colonneSalvate()) {
        QString valore;
        if (colonna == QLatin1String("CAPACITACONTENITORE")) {
            valore = sql::testo(codiceScelto(ComboCapacita, ComboCodiceCapacita));
        } else if (colonna == QLatin1String("RIEMPITRICE")) {
            valore = sql::testo(codiceScelto(ComboRiempitrice, ComboCodiceRiempitrice));
        } else if (colonna == QLatin1String("FABBRICAZIONEDA")) {
            valore = sql::testo(RadioSemilavorato->isChecked() ? QStringLiteral("SM")
                                                               : QStringLiteral("MP"));
        } else {
            const CampoScheda& c = *campi.at(colonna);
            valore = valoreSql(c, testoDi(editazione(colonna)));
        }
        r << colonna + '=' + valore;
    }
    return r;
}

QString TLiqPolvForm::condizione(const QString& codice, const QStringList& altre) const {
    return QStringLiteral("(CODICE=%1)AND(DATA=%2)AND(LOTTO=%3)")
        .arg(sql::testoNonNullo(codice),
             letteraleChiave(descrizione().altreChiavi[0], altre.value(0)),
             sql::testoNonNullo(altre.value(1)));
}

void TLiqPolvForm::scriviVersione(Query& q, const QString& codice, const QStringList& altre,
                                  bool cancellazione) {
    const QString dove = condizione(codice, altre);
    const auto h = storico::massimo(q, kStorico, QStringLiteral("VERS"), dove);
    const int versione = h ? *h + 1 : 1;
    storico::copiaRiga(
        q, kStorico, kTabella,
        QStringList{QStringLiteral("CODICE"), QStringLiteral("DATA"), QStringLiteral("LOTTO")} +
            kColonneStorico,
        {{QStringLiteral("VERS"), sql::intero(versione)},
         {QStringLiteral("DATAVERS"), sql::data(QDate::currentDate())},
         {QStringLiteral("ELIMINAZIONE"), sql::flag(cancellazione)},
         {QStringLiteral("UTENTE"), sql::intero(sessione_->NumUtente)}},
        dove);
}

// The components, the first time, and the history version go in the save's
// own transaction: header, lines and version are kept together or not at
// all, and a save tried again after a failure copies the lines once.
void TLiqPolvForm::dopoAggiornamento() {
    const QString dove = condizione(CodiceCorrente, AltreChiaviCorrenti);
    if (StatoScheda == 1) {
        const QStringList chiave = {
            sql::testoNonNullo(CodiceCorrente),
            letteraleChiave(descrizione().altreChiavi[0], AltreChiaviCorrenti.value(0)),
            sql::testoNonNullo(AltreChiaviCorrenti.value(1))};
        QStringList scelte = chiave;
        for (const QString& c : kColonneComponenti) {
            scelte << QStringLiteral("C.") + c;
        }
        QueryAux.SQL = {
            QStringLiteral("INSERT INTO FABBCOMPON("),
            QStringLiteral("CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,") +
                kColonneComponenti.join(','),
            QStringLiteral(")"),
            QStringLiteral("SELECT ") + scelte.join(','),
            QStringLiteral("FROM"),
            QStringLiteral("   PRODOT B"),
            QStringLiteral("   LEFT JOIN COMPON C ON"),
            QStringLiteral("   (B.CODICEFORMULAZIONE=C.CODICEFORMULAZIONE)"),
            QStringLiteral("WHERE"),
            QStringLiteral("   (B.CODICE=") + sql::testoNonNullo(CodiceCorrente) + ')',
            QStringLiteral("   AND(C.NRIGA IS NOT NULL)"),
            QStringLiteral("ORDER BY"),
            QStringLiteral("   C.NRIGA")};
        try {
            QueryAux.execSQL();
        } catch (const DbError& e) {
            throw ErroreMemorizzazione(
                QStringLiteral("Errore interno: impossibile memorizzare le modifiche:\n") +
                    e.messaggio(),
                e.sqlCode(), e.gdsCode());
        }
    }
    // a version when the batch has none yet or the save changed a field
    const auto h = storico::massimo(QueryAux, kStorico, QStringLiteral("VERS"), dove);
    bool cambiata = !h;
    if (!cambiata) {
        QueryAux.SQL = {QStringLiteral("SELECT * FROM FABBRIC WHERE ") + dove};
        QueryAux.open();
        rigaSalvata_.clear();
        if (!QueryAux.eof()) {
            for (auto it = rigaPrimaDellaModifica.cbegin(); it != rigaPrimaDellaModifica.cend();
                 ++it) {
                if (testoCampo(QueryAux[it.key()]) != it.value()) {
                    cambiata = true;
                    break;
                }
            }
        }
        QueryAux.close();
    }
    if (cambiata) {
        scriviVersione(QueryAux, CodiceCorrente, AltreChiaviCorrenti, false);
    }
}

void TLiqPolvForm::dopoMemorizzazione() {
    TimerPO->start();
}

// A deletion keeps the batch's consumption and weighings; the last version
// records it, and the archived sheet goes with the batch.
void TLiqPolvForm::eliminaRecord(const QString& codice) {
    const QString dove = condizione(codice, AltreChiaviCorrenti);
    scriviVersione(QueryAux, codice, AltreChiaviCorrenti, true);
    QueryAux.SQL = {QStringLiteral("SELECT CODICEINTERNO FROM STOFAB WHERE ") + dove};
    QueryAux.open();
    QStringList archiviate;
    for (; !QueryAux.eof(); QueryAux.next()) {
        archiviate << testoCampo(QueryAux[QStringLiteral("CODICEINTERNO")]);
    }
    QueryAux.close();
    for (const QString& interno : archiviate) {
        QueryAux.SQL = {QStringLiteral("DELETE FROM STOMAT"),
                        QStringLiteral("WHERE CODICESTORICO=") + sql::testoNonNullo(interno)};
        QueryAux.execSQL();
        QueryAux.SQL = {QStringLiteral("DELETE FROM STOFAB WHERE CODICEINTERNO=") +
                        sql::testoNonNullo(interno)};
        QueryAux.execSQL();
    }
    LottoCorrente l;
    l.codice = codice;
    l.data = Formati::leggiData(AltreChiaviCorrenti.value(0));
    l.lotto = AltreChiaviCorrenti.value(1);
    QueryAux.SQL = QStringList{QStringLiteral("DELETE FROM FABBCOMPON"), QStringLiteral("WHERE")} +
                   condizioneLineeLotto(l, QString());
    QueryAux.execSQL();
    SchedaBase::eliminaRecord(codice);
}

// ------------------------------------------------------------- buttons

void TLiqPolvForm::ButtonSelezDocClick() {
    auto* documento = qobject_cast<QLineEdit*>(editazione(QStringLiteral("DOCUMENTOWORD")));
    QString cartella;
    if (const QFileInfo f(percorsi::suDisco(documento->text())); f.isFile()) {
        cartella = f.absolutePath();
    }
    const QString file = Messaggi::scegliFile(this, QStringLiteral("Documento Word"), cartella,
                                              QStringLiteral("Documenti Word (*.Doc *.doc)"));
    if (!file.isEmpty()) {
        documento->setText(file);
    }
}

void TLiqPolvForm::ButtonApriDocClick() {
    const QString documento = testoDi(editazione(QStringLiteral("DOCUMENTOWORD"))).trimmed();
    if (documento.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Nessun documento word specificato"), this);
        return;
    }
    const QString programma =
        apertura::programma(sessione_->GetV(QStringLiteral("NomePathProgrammaWord")));
    if (programma.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Attenzione: Impossibile trovare il programma di "
                                        "videoscrittura. Entrare in Personalizzazioni per "
                                        "impostarlo"),
                         this);
        return;
    }
    if (!apertura::avvia(programma, {percorsi::suDisco(documento)})) {
        Messaggi::avviso(QStringLiteral("Impossibile avviare il programma di videoscrittura \"%1\"")
                             .arg(programma),
                         this);
    }
}

void TLiqPolvForm::ButtonSemilavoratoClick() {
    const QString codice = CodiceCorrente;
    QString collegato;
    TransazioneControllo.restart();
    QueryAux2.SQL = {QStringLiteral("SELECT B.SEMILAVORATOCOLLEGATO FROM"),
                     QStringLiteral("  PRODOT A"), QStringLiteral("  INNER JOIN FORMUL B ON"),
                     QStringLiteral("  A.CODICEFORMULAZIONE=B.CODICE"),
                     QStringLiteral("WHERE A.CODICE=") + sql::testoNonNullo(codice)};
    QueryAux2.open();
    if (!QueryAux2.eof()) {
        collegato = testoCampo(QueryAux2[QStringLiteral("SEMILAVORATOCOLLEGATO")]).trimmed();
    }
    QueryAux2.close();
    if (collegato.isEmpty()) {
        Messaggi::avviso(
            QStringLiteral("Il prodotto \"%1\" non ha un semilavorato collegato").arg(codice),
            this);
        return;
    }
    // the semi-finished product's batches, newest first
    TRFabbSemiLavForm f(sessione_, collegato, this);
    if (Messaggi::esegui(&f) == QDialog::Accepted) {
        impostaTesto(editazione(QStringLiteral("FABBRICAZIONEDA_CODICE")), f.codice());
        impostaTesto(editazione(QStringLiteral("FABBRICAZIONEDA_DATA")),
                     Formati::dataInTesto(f.data()));
        impostaTesto(editazione(QStringLiteral("FABBRICAZIONEDA_LOTTO")), f.lotto());
    }
}

void TLiqPolvForm::ButtonAssegnaEtichettaClick() {
    const QString percorso =
        sessione_->ValoreTabX(QStringLiteral("PercorsoReportEtic"), false).trimmed();
    if (percorso.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Manca l'impostazione del percorso report etichette"),
                         this);
        return;
    }
    const QFileInfo cartella(percorsi::suDisco(percorso));
    if (!cartella.isDir()) {
        Messaggi::avviso(QStringLiteral("Il percorso \"%1\" non è stato trovato").arg(percorso),
                         this);
        return;
    }
    const QString scelto = Messaggi::scegliFile(this, QStringLiteral("Assegna Etichetta"),
                                                cartella.absoluteFilePath());
    if (scelto.isEmpty()) {
        return;
    }
    // only templates of the labels' folder (or of a folder inside it)
    const QFileInfo file(percorsi::suDisco(scelto));
    const QString radice = QDir::cleanPath(cartella.absoluteFilePath()) + '/';
    if (!(QDir::cleanPath(file.absolutePath()) + '/').startsWith(radice)) {
        Messaggi::avviso(
            QStringLiteral("E' possibile selezionare solo file all'interno del percorso \"%1\"")
                .arg(percorso),
            this);
        return;
    }
    if (!file.isFile()) {
        Messaggi::avviso(QStringLiteral("Il file \"%1\" non esiste").arg(scelto), this);
        return;
    }
    impostaTesto(editazione(QStringLiteral("NOMEETICHETTA")), file.fileName());
}

void TLiqPolvForm::ButtonStampaEtichetteClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Selezionare una fabbricazione"), this);
        return;
    }
    const QString modello = testoDi(consultazione(QStringLiteral("NOMEETICHETTA"))).trimmed();
    if (modello.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Nessuna etichetta assegnata"), this);
        return;
    }
    const QString percorso =
        sessione_->ValoreTabX(QStringLiteral("PercorsoReportEtic"), false).trimmed();
    if (percorso.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Manca l'impostazione del percorso report etichette"),
                         this);
        return;
    }
    if (!QFileInfo(percorsi::suDisco(percorso)).isDir()) {
        Messaggi::avviso(QStringLiteral("Il percorso \"%1\" non è stato trovato").arg(percorso),
                         this);
        return;
    }
    const QString nomeFile = percorsi::conSeparatore(percorso) + modello;
    QFile file(percorsi::suDisco(nomeFile));
    if (!file.exists()) {
        Messaggi::avviso(QStringLiteral("Il file \"%1\" non è stato trovato").arg(nomeFile), this);
        return;
    }
    const QString stampante =
        etichette::nomeStampante(sessione_->ValoreTabX(QStringLiteral("StampanteEticFabbr"), true));
    if (stampante.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Manca l'impostazione della stampante"), this);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Effettuare la stampa?"), this)) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        Messaggi::avviso(QStringLiteral("Il file \"%1\" non è stato trovato").arg(nomeFile), this);
        return;
    }
    const QByteArray testo = file.readAll();
    aggiornaInformazioni(); // the expiry date of the batch shown, read now
    etichette::Valori v;
    v.lotto = testoDi(consultazione(QStringLiteral("LOTTO")));
    v.scadenza = testoDi(consultazione(QStringLiteral("SCADENZA")));
    v.dataFabbricazione = testoDi(consultazione(QStringLiteral("DATA")));
    const LottoCorrente l = lottoCorrente();
    // the label is logged with the job: the row is kept only when the print
    // system took the job
    try {
        QueryAux.SQL = {QStringLiteral("SELECT GEN_ID(GENERASERIALI,1) FROM RDB$DATABASE")};
        v.seriale = QString::number(QueryAux.scalar().toLongLong());
        QueryAux.SQL = {
            QStringLiteral("INSERT INTO LOG_STETICFABBRICAZ("),
            QStringLiteral("SERIALE,CODICEFABBRICAZIONE,DATAFABBRICAZIONE,LOTTOFABBRICAZIONE,"),
            QStringLiteral("DATASCADENZA,SERIALENORM10,DATAORASTAMPA,OPERATORE)"),
            QStringLiteral("VALUES(%1,%2,%3,%4,%5,%6,CURRENT_TIMESTAMP,%7)")
                .arg(sql::intero(v.seriale), sql::testo(l.codice), sql::data(l.data),
                     sql::testo(l.lotto), sql::data(produzione::leggiScadenza(v.scadenza)),
                     sql::testo(etichette::seriale10(v.seriale)),
                     sql::intero(sessione_->NumUtente))};
        QueryAux.execSQL();
    } catch (const DbError& e) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno durante l'aggiornamento del log di stampa:\n") +
                e.messaggio(),
            this);
        return;
    }
    const QByteArray etichetta = etichette::compila(testo, v);
    if (const QString errore = etichette::invia(stampante, etichetta); !errore.isEmpty()) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(QStringLiteral("Errore ") + errore, this);
        return;
    }
    try {
        TransazionePrincipale.commitRetaining();
    } catch (const DbError& e) {
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(
            QStringLiteral("Errore interno durante l'aggiornamento del log di stampa:\n") +
                e.messaggio(),
            this);
        return;
    }
    if (CheckCopiaClip->isChecked()) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(etichetta));
    }
    Messaggi::informazione(QStringLiteral("Stampa effettuata"), this);
}

QString TLiqPolvForm::formulazioneDelLotto() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessuna fabbricazione selezionata"), this);
        return {};
    }
    if (TimerPO->isActive()) {
        aggiornaInformazioni(); // the batch just shown: its formulation now
    }
    const QString po = testoDi(consultazione(QStringLiteral("PRODOT.CODICEFORMULAZIONE")));
    if (po.isEmpty()) {
        Messaggi::avviso(QStringLiteral("La fabbricazione selezionata non ha la formulazione"),
                         this);
    }
    return po;
}

void TLiqPolvForm::ButtonProdottiStessaPOClick() {
    if (const QString po = formulazioneDelLotto(); !po.isEmpty()) {
        TProdottiPOForm::mostra(sessione_, this, po);
    }
}

void TLiqPolvForm::ButtonFabbricazioniStessaPOClick() {
    if (const QString po = formulazioneDelLotto(); !po.isEmpty()) {
        TFabbricPOForm f(sessione_, po, this);
        f.setWindowIcon(windowIcon());
        Messaggi::esegui(&f);
    }
}

// ------------------------------------------------------------- printing

void TLiqPolvForm::ButtonStampaClick() {
    stampaFabbricazione(QStringLiteral("StFabbrLST"));
}

void TLiqPolvForm::ButtonStampaPreClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessun record da stampare"), this);
        return;
    }
    // one unit of its own, on what is committed now: another station may
    // have given the lines their barcodes since the list was read
    Transaction t(&sessione_->IBDatabase1);
    try {
        Query q(&sessione_->IBDatabase1, &t);
        produzione::assegnaCodiciPesata(q, lottoCorrente());
        t.commit();
    } catch (const DbError& e) {
        t.rollbackRetainingNoThrow();
        Messaggi::errore(QStringLiteral("Impossibile eseguire il check dei seriali CONTEST:\n") +
                             e.messaggio(),
                         this);
        return;
    }
    rileggiLotto(); // the pages show the barcodes given
    stampaFabbricazione(QStringLiteral("StFabbrPreLST"));
}

void TLiqPolvForm::stampaFabbricazione(const QString& progetto) {
    produzione::SchedaInStampa dati;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = sessione_->GetV(progetto);
    s.titoloProgettista = QStringLiteral("Editazione stampa schede fabbricazioni");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa schede fabbricazioni");
    s.nessunRecord = listaVuota();
    s.modificaReport = CheckEditReport->isChecked();
    s.preparaDati = [&] {
        // the header's derived values now, not when their timers fire
        aggiornaInformazioni();
        decodificaConsultazione();
        produzione::TestataStampa t;
        for (const InfoCampo& c : Griglia->modello()->campi()) {
            t.colonne.emplace_back(c.nome, report::datoDaCampo(Griglia->campoCorrente(c.nome)));
        }
        auto colonna = [this](const char* c) {
            return testoCampo(Griglia->campoCorrente(QString::fromLatin1(c)));
        };
        t.fabbricazioneDa = colonna("FABBRICAZIONEDA");
        t.codiceSemilavorato = colonna("FABBRICAZIONEDA_CODICE");
        t.lottoSemilavorato = colonna("FABBRICAZIONEDA_LOTTO");
        t.riempitrice = colonna("RIEMPITRICE");
        t.descrizioneRiempitrice = testoDi(consultazione(QStringLiteral("RIEMPITRICE#")));
        t.numeroContenitori = testoDi(consultazione(QStringLiteral("QTACONTENITORI")));
        t.capacita = testoDi(consultazione(QStringLiteral("CAPACITACONTENITORE#")));
        t.scadenza = produzione::leggiScadenza(testoDi(consultazione(QStringLiteral("SCADENZA"))));
        TransazioneControllo.restart();
        Query q(&sessione_->IBDatabase1, &TransazioneControllo);
        dati.carica(q, lottoCorrente(), std::move(t));
    };
    s.OnDefineVariables = [&dati](report::LavoroStampa& j) { dati.variabili(j); };
    s.OnDefineFields = [&dati](report::LavoroStampa& j) { dati.campi(j); };
    report::stampaScheda(s);
}

// ------------------------------------------------------------- archiving

void TLiqPolvForm::ButtonStoricoClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessuna fabbricazione selezionata"), this);
        return;
    }
    produzione::SchedaDaArchiviare a;
    a.lotto = lottoCorrente();
    a.storicoAggiornato = testoCampo(Griglia->campoCorrente(QStringLiteral("STORICOAGGIORNATO"))) ==
                          QLatin1String("1");
    const QString codiceCapacita =
        testoCampo(Griglia->campoCorrente(QStringLiteral("CAPACITACONTENITORE")));
    const int i = posizioneCodice(ComboCodiceCapacita, codiceCapacita);
    a.numeroContenitori = produzione::numeroContenitori(
        a.lotto.quantita, i > 0 ? ComboCapacitaConf->itemText(i) : QString());
    a.cartellaErrori = percorsi::suDisco(sessione_->GetV(QStringLiteral("TempDir")));
    const QString codice = codiceCorrenteGriglia();
    const QStringList altre = altreChiaviGriglia();
    Query q(&sessione_->IBDatabase1, &TransazionePrincipale);
    const produzione::EsitoArchivio esito = produzione::archiviaScheda(
        q, [this](const std::function<void()>& f) { SchedaBase::scriviSuDatiCorrenti(f); }, a,
        this);
    if (esito != produzione::EsitoArchivio::Creato &&
        esito != produzione::EsitoArchivio::Esistente) {
        return;
    }
    {
        TStoFabForm f(sessione_, a.lotto, this);
        Messaggi::esegui(&f);
    }
    AltreChiaviCorrenti = altre;
    rileggi(codice);
}

} // namespace quintar
