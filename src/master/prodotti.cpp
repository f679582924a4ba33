#include "master/prodotti.h"

#include "formulation/formul.h"
#include "master/costoimballo.h"
#include "master/doveusato.h"
#include "master/prodottipo.h"
#include "master/ricimballi.h"
#include "report/stampascheda.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/memoform.h"
#include "ui/protezione.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kTabella = QStringLiteral("PRODOT");
const QString kStorico = QStringLiteral("STOPRODOT");

enum Pagina { Principale, Ricerche, Storico };

// The columns a version copies: every column of the product but the
// manufacturing notes and the package capacity, which the history lacks.
const QStringList kColonneStorico = {
    QStringLiteral("CODICE"),
    QStringLiteral("CODICEFORMULAZIONE"),
    QStringLiteral("NOME"),
    QStringLiteral("CONFEZIONEVENDITA"),
    QStringLiteral("PEZZIPERIMBALLO"),
    QStringLiteral("NOTE"),
    QStringLiteral("CATEGORIAPRODOTTO"),
    QStringLiteral("DESCRIZIONE"),
    QStringLiteral("CODICEADR"),
    QStringLiteral("MANODOPERACONF"),
    QStringLiteral("ASSOCIATO"),
    QStringLiteral("INLISTINO"),
    QStringLiteral("UNITAVENDITA"),
    QStringLiteral("DIVISORECONFEZIONE"),
    QStringLiteral("RICARICA"),
    QStringLiteral("VALDENSITA"),
    QStringLiteral("IMBALLOCONTENITORE"),
    QStringLiteral("IMBALLOTAPPO"),
    QStringLiteral("IMBALLOETICHETTA"),
    QStringLiteral("IMBALLOCARTONE"),
    QStringLiteral("IMBALLOALTRO1"),
    QStringLiteral("IMBALLOALTRO2"),
    QStringLiteral("DIVISORE1"),
    QStringLiteral("DIVISORE2"),
    QStringLiteral("DIVISORE3"),
    QStringLiteral("DIVISORE4"),
    QStringLiteral("FILESCHEDATECNICA"),
    QStringLiteral("FILESCHEDASICUREZZA"),
    QStringLiteral("SCAGLIONE1"),
    QStringLiteral("SCAGLIONE2"),
    QStringLiteral("TEMPO1"),
    QStringLiteral("TEMPO2"),
    QStringLiteral("TEMPO3"),
    QStringLiteral("MODBUSTA"),
    QStringLiteral("BUSTEPIENE"),
    QStringLiteral("CODICEIMBALLOCONTENITORE"),
    QStringLiteral("CODICEIMBALLOTAPPO"),
    QStringLiteral("CODICEIMBALLOETICHETTA"),
    QStringLiteral("CODICEIMBALLOCARTONE"),
    QStringLiteral("CODICEIMBALLOALTRO1"),
    QStringLiteral("CODICEIMBALLOALTRO2"),
    QStringLiteral("CODICEIMBALLOALTRO3"),
    QStringLiteral("CODICEIMBALLOALTRO4"),
    QStringLiteral("IMBALLOALTRO3"),
    QStringLiteral("IMBALLOALTRO4"),
    QStringLiteral("DIVISORE5"),
    QStringLiteral("DIVISORE6"),
    QStringLiteral("TEMPO4"),
    QStringLiteral("TEMPO5"),
    QStringLiteral("ADRENTROQTALIMITATA"),
    QStringLiteral("ADRVALOREQTALIMITATA"),
    QStringLiteral("GRUPPOADR"),
};

QString avvisoNumero(const QString& didascalia) {
    return QStringLiteral("Specificare un valore numerico valido per \"%1\"").arg(didascalia);
}

CampoScheda numero(const QString& colonna, const QString& didascalia, const QString& pulsante,
                   const QString& editazione, const QString& consultazione,
                   const QString& nomeAvviso = {}) {
    CampoScheda c;
    c.colonna = colonna;
    c.didascalia = didascalia;
    c.pulsante = pulsante;
    c.editazione = editazione;
    c.consultazione = consultazione;
    c.tipo = TipoValore::Numero;
    c.messaggioNonValido = avvisoNumero(nomeAvviso.isEmpty() ? didascalia : nomeAvviso);
    return c;
}

// Controls of a packaging line: EditContenitore, EditCodiceContenitore and
// their consultation twins (EditAltro1_2 for the further items).
struct NomiLinea {
    QString parte;      // Contenitore, Altro1
    QString consultato; // "2" or "_2"
};

NomiLinea nomiLinea(int i) {
    static const char* parti[] = {"Contenitore", "Tappo",  "Etichetta", "Cartone",
                                  "Altro1",      "Altro2", "Altro3",    "Altro4"};
    return {QString::fromLatin1(parti[i]), i < 4 ? QStringLiteral("2") : QStringLiteral("_2")};
}

std::vector<CampoScheda> campiProdotto() {
    std::vector<CampoScheda> c;
    // first column: the product
    CampoScheda po = campoScheda("CODICEFORMULAZIONE", "&Formulazione P.O.", "ButtonPO", "ComboPO",
                                 "EditPO2", Controllo::Combo, TipoValore::Intero);
    po.descrizioneEditazione = QStringLiteral("StaticDescrizionePO");
    po.descrizioneConsultazione = QStringLiteral("StaticDescrizionePO2");
    c.push_back(po);
    c.push_back(campoScheda("NOME", "Nome", "ButtonNome", "EditNome", "EditNome2"));
    c.push_back(campoScheda("DESCRIZIONE", "Descrizione", "ButtonDescrizione", "EditDescrizione",
                            "EditDescrizione2"));
    // the category is read and written by the card itself: the list shows
    // descriptions, the column holds the code beside them
    CampoScheda categoria = campoScheda("CATEGORIAPRODOTTO", "Categoria", "ButtonCategoria",
                                        "ComboCategoria", "EditCategoria2", Controllo::Combo);
    categoria.memorizzato = false;
    categoria.descrizioneConsultazione = QStringLiteral("EditCategoriaDec2");
    c.push_back(categoria);
    c.push_back(campoScheda("CONFEZIONEVENDITA", "Confezione", "ButtonConfezione",
                            "ComboConfezione", "EditConfezione2", Controllo::Combo));
    CampoScheda unita = campoScheda("UNITAVENDITA", "Unità Vend.", "ButtonUnitaVendita",
                                    "ComboUnitaVendita", "EditUnitaVendita2", Controllo::Combo);
    unita.voci = {QStringLiteral("Kg"), QStringLiteral("Litro")};
    c.push_back(unita);
    c.push_back(numero(QStringLiteral("PEZZIPERIMBALLO"), QStringLiteral("N.pezzi imb."),
                       QStringLiteral("ButtonNumeroPezziImballo"),
                       QStringLiteral("EditNumeroPezziImballo"),
                       QStringLiteral("EditNumeroPezziImballo2")));
    c.push_back(campoScheda("ASSOCIATO", "Prodotto ass.", "ButtonProdottoAssociato",
                            "EditProdottoAssociato", "EditProdottoAssociato2"));
    c.push_back(
        campoScheda("NOTE", "Note", "ButtonNote", "MemoNote", "MemoNote2", Controllo::Memo));
    c.push_back(campoScheda("NOTEFABBRICAZIONE", "Note fabbricazione", "ButtonNoteFabbricazione",
                            "MemoNoteFabbricazione", "MemoNoteFabbricazione2", Controllo::Memo));
    // ADR: code and group come from the formulation and are only shown
    c.push_back(campoScheda("CODICEADR", "Codice A.D.R.", "ButtonCodiceADR", "StaticCodiceADR",
                            "EditCodiceADR2"));
    c.push_back(campoScheda("GRUPPOADR", "Gruppo A.D.R.", "ButtonGruppoADR", "StaticGruppoADR",
                            "EditGruppoADR2"));
    CampoScheda classe = campoScheda("ADR2017.CLASSE", "Classe A.D.R.", "ButtonClasseADR",
                                     "StaticClasseADR", "StaticClasseADR2");
    classe.memorizzato = false;
    c.push_back(classe);
    CampoScheda descrizioneADR =
        campoScheda("ADR2017.DESCRIZIONE", "Descrizione A.D.R.", "ButtonDescrizioneADR",
                    "StaticDescrizioneADR", "StaticDescrizioneADR2");
    descrizioneADR.memorizzato = false;
    c.push_back(descrizioneADR);
    CampoScheda sostanze = campoScheda("FORMUL.SOSTANZEADR", "Sostanze A.D.R.", "ButtonSostanzeADR",
                                       "StaticSostanzeADR", "StaticSostanzeADR2");
    sostanze.memorizzato = false;
    c.push_back(sostanze);
    c.push_back(campoScheda("ADRENTROQTALIMITATA", "A.D.R. entro quantità limitata",
                            "ButtonADRQtaLimitata", "CheckADRQtaLimitata", "CheckADRQtaLimitata2",
                            Controllo::Check, TipoValore::Flag));
    c.push_back(numero(QStringLiteral("ADRVALOREQTALIMITATA"), QStringLiteral("Quantità limite"),
                       QStringLiteral("ButtonADRValoreQtaLimitata"),
                       QStringLiteral("EditADRQtaLimitata"), QStringLiteral("EditADRQtaLimitata2"),
                       QStringLiteral("Quantita limite A.D.R.")));

    // second column: the packaging lines and their cost
    for (int i = 0; i < 8; ++i) {
        const auto& l = TProdottiForm::lineeImballo()[size_t(i)];
        const NomiLinea n = nomiLinea(i);
        CampoScheda nome;
        nome.colonna = l.colonnaNome;
        nome.didascalia = QStringLiteral("&%1. %2").arg(i + 1).arg(l.didascalia);
        nome.pulsante = QStringLiteral("Button") + n.parte;
        nome.editazione = QStringLiteral("Edit") + n.parte;
        nome.consultazione = QStringLiteral("Edit") + n.parte + n.consultato;
        c.push_back(nome);
        CampoScheda codice;
        codice.colonna = l.colonnaCodice;
        codice.didascalia = QStringLiteral("F10");
        codice.pulsante = QStringLiteral("ButtonF10") + n.parte;
        codice.editazione = QStringLiteral("EditCodice") + n.parte;
        codice.consultazione = QStringLiteral("EditCodice") + n.parte + n.consultato;
        c.push_back(codice);
    }
    CampoScheda costo =
        campoScheda("COSTOUNITARIOIMBALLO", "Costo un.imballo", "ButtonCostoUnitarioImballo",
                    "EditCostoUnitarioImballo", "EditCostoUnitarioImballo_2");
    costo.memorizzato = false;
    c.push_back(costo);

    // third column: divisors, bags and labour times
    for (int i = 1; i <= 6; ++i) {
        const QString d = QStringLiteral("D%1").arg(i);
        c.push_back(numero(QStringLiteral("DIVISORE%1").arg(i), d, QStringLiteral("Button") + d,
                           QStringLiteral("Edit") + d, QStringLiteral("Edit") + d + "_2"));
    }
    c.push_back(campoScheda("MODBUSTA", "Uso Buste", "ButtonBuste", "CheckBuste", "CheckBuste2",
                            Controllo::Check, TipoValore::Flag));
    c.push_back(numero(QStringLiteral("BUSTEPIENE"), QStringLiteral("Buste per 1 Kg o Lit"),
                       QStringLiteral("ButtonBustePiene"), QStringLiteral("EditBustePiene"),
                       QStringLiteral("EditBustePiene2")));
    for (int i = 1; i <= 2; ++i) {
        c.push_back(numero(
            QStringLiteral("SCAGLIONE%1").arg(i), QStringLiteral("Scaglione %1").arg(i),
            QStringLiteral("ButtonScaglione%1").arg(i), QStringLiteral("EditScaglione%1").arg(i),
            QStringLiteral("EditScaglione%1_2").arg(i)));
    }
    for (int i = 1; i <= 5; ++i) {
        c.push_back(numero(QStringLiteral("TEMPO%1").arg(i), QStringLiteral("Tempo %1").arg(i),
                           QStringLiteral("ButtonTempo%1").arg(i),
                           QStringLiteral("EditTempo%1").arg(i),
                           QStringLiteral("EditTempo%1_2").arg(i)));
    }
    return c;
}

// The order in which the numbers are checked before a save.
QStringList ordineVerifica() {
    QStringList o{QStringLiteral("PEZZIPERIMBALLO")};
    for (int i = 1; i <= 4; ++i) {
        o << QStringLiteral("DIVISORE%1").arg(i);
    }
    o << QStringLiteral("SCAGLIONE1") << QStringLiteral("SCAGLIONE2");
    for (int i = 1; i <= 3; ++i) {
        o << QStringLiteral("TEMPO%1").arg(i);
    }
    o << QStringLiteral("BUSTEPIENE") << QStringLiteral("DIVISORE5") << QStringLiteral("DIVISORE6")
      << QStringLiteral("TEMPO4") << QStringLiteral("TEMPO5")
      << QStringLiteral("ADRVALOREQTALIMITATA");
    return o;
}

QString testoCampo(const Campo& c) {
    return c.isNull() ? QString() : c.asString();
}

} // namespace

const std::array<TProdottiForm::LineaImballo, 8>& TProdottiForm::lineeImballo() {
    static const std::array<LineaImballo, 8> linee = {{
        {QStringLiteral("IMBALLOCONTENITORE"), QStringLiteral("CODICEIMBALLOCONTENITORE"),
         QStringLiteral("Contenitore"), QStringLiteral("Contenitore")},
        {QStringLiteral("IMBALLOTAPPO"), QStringLiteral("CODICEIMBALLOTAPPO"),
         QStringLiteral("Tappo"), QStringLiteral("Tappo")},
        {QStringLiteral("IMBALLOETICHETTA"), QStringLiteral("CODICEIMBALLOETICHETTA"),
         QStringLiteral("Etichetta"), QStringLiteral("Etichetta")},
        {QStringLiteral("IMBALLOCARTONE"), QStringLiteral("CODICEIMBALLOCARTONE"),
         QStringLiteral("Cartone"), QStringLiteral("Cartone")},
        {QStringLiteral("IMBALLOALTRO1"), QStringLiteral("CODICEIMBALLOALTRO1"), QString(),
         QStringLiteral("Altro 1")},
        {QStringLiteral("IMBALLOALTRO2"), QStringLiteral("CODICEIMBALLOALTRO2"), QString(),
         QStringLiteral("Altro 2")},
        {QStringLiteral("IMBALLOALTRO3"), QStringLiteral("CODICEIMBALLOALTRO3"), QString(),
         QStringLiteral("Altro 3")},
        {QStringLiteral("IMBALLOALTRO4"), QStringLiteral("CODICEIMBALLOALTRO4"), QString(),
         QStringLiteral("Altro 4")},
    }};
    return linee;
}

TProdottiForm::TProdottiForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
          sessione,
          {.tabella = kTabella,
           .nome = QStringLiteral("Prodotti"),
           .didascalia = QStringLiteral("Scheda prodotti - Ditta:"),
           .situazioneFinestra = 4,
           .situazioneGriglia = 8,
           .nuovoCodice = NuovoCodice::Digitato,
           .titoloNuovo = QStringLiteral("Nuovo prodotto"),
           .etichettaNuovo = QStringLiteral("Codice prodotto:"),
           .campi = campiProdotto(),
           // the cost sheets, batches and formulations that name the product
           .avvisoEliminazione =
               [](Query& q, const QString& codice) {
                   return avvisoUsi(Articolo::Prodotto, contaUsi(q, Articolo::Prodotto, codice));
               },
           .navigatore = QStringLiteral("NavigatorProdotti"),
           .fuocoNuovo = QStringLiteral("CODICEFORMULAZIONE"),
           .colonneCampi = 3,
           .ordineVerifica = ordineVerifica()},
          {.tabSet = QStringLiteral("TabSetProdotti"),
           .notebook = QStringLiteral("NoteBookProdotti"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Ricerche"),
                      QStringLiteral("Storico")},
           .testata = {{QStringLiteral("Codice"), QStringLiteral("CODICE")},
                       {QStringLiteral("Nome"), QStringLiteral("NOME")}},
           .paginaRicerche = Ricerche,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaNome"),
                        QStringLiteral("NOME")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM PRODOT WHERE (CODICE IS NOT NULL)"),
           .paginaStorico = Storico,
           .tabellaStorico = kStorico,
           .situazioneStorico = 24,
           .memoStorico = {QStringLiteral("NOTE")},
           .grigliaStoricoUnica = QStringLiteral("GridStorico")},
          owner) {
    Notebook->setObjectName(QStringLiteral("NoteBookEditProdotti"));
    PaginaUno->setObjectName(QStringLiteral("Prodotti"));
    creaPagine();
    caricaElenchi();
    collegaDecodifiche();
    resize(1100, 820);
    // short memos leave the list room for more than a couple of rows
    for (const char* c : {"NOTE", "NOTEFABBRICAZIONE"}) {
        for (QWidget* m :
             {editazione(QString::fromLatin1(c)), consultazione(QString::fromLatin1(c))}) {
            m->setMaximumHeight(56);
        }
    }
    if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
        divisore->setSizes({220, 600});
    }
    mostraPagina(Principale);
    SettaggioInterfaccia();
    rigaCambiata();
}

TProdottiForm::~TProdottiForm() = default;

// ------------------------------------------------------------------ pages

void TProdottiForm::creaPagine() {
    auto* v1 = qobject_cast<QVBoxLayout*>(PaginaUno->layout());
    v1->removeWidget(CorpoScheda);
    auto* versione = new QHBoxLayout;
    versione->addWidget(new QLabel(QStringLiteral("Versione:"), PaginaUno));
    LabelVersione = new QLabel(PaginaUno);
    LabelVersione->setObjectName(QStringLiteral("LabelVersione"));
    versione->addWidget(LabelVersione);
    versione->addStretch();
    v1->addLayout(versione);
    v1->addWidget(CorpoScheda, 1);

    // captions: numbered and with mnemonics on the edit page only
    for (const CampoScheda& c : descrizione().campi) {
        auto* b = PaginaConsultazione->findChild<QPushButton*>(c.pulsante + '2');
        if (!b) {
            continue;
        }
        QString t = c.didascalia;
        if (t == QLatin1String("F10")) {
            t = QStringLiteral("Codice");
        }
        static const QRegularExpression numerata(QStringLiteral("^&\\d\\. "));
        t.remove(numerata);
        b->setText(t.remove('&'));
    }
    // what is only shown on the edit page: the container's code (it comes
    // from the packaging search; the other items' codes may be typed), the
    // ADR code and group taken from the formulation
    qobject_cast<QLineEdit*>(editazione(lineeImballo()[0].colonnaCodice))->setReadOnly(true);
    for (const char* c : {"CODICEADR", "GRUPPOADR"}) {
        auto* e = qobject_cast<QLineEdit*>(editazione(QString::fromLatin1(c)));
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    for (QWidget* w :
         {editazione(QStringLiteral("BUSTEPIENE")), consultazione(QStringLiteral("BUSTEPIENE"))}) {
        w->setToolTip(QStringLiteral("Valore C"));
    }
    EditCostoUnitarioImballo =
        qobject_cast<QLineEdit*>(editazione(QStringLiteral("COSTOUNITARIOIMBALLO")));
    EditCostoUnitarioImballo_2 =
        qobject_cast<QLineEdit*>(consultazione(QStringLiteral("COSTOUNITARIOIMBALLO")));

    // the category: descriptions shown, codes in a hidden list beside them
    ComboCategoria = qobject_cast<QComboBox*>(editazione(QStringLiteral("CATEGORIAPRODOTTO")));
    ComboCategoriaSec = new QComboBox(PaginaEditazione);
    ComboCategoriaSec->setObjectName(QStringLiteral("ComboCategoriaSec"));
    ComboCategoriaSec->hide();
    connect(ComboCategoria, &QComboBox::currentIndexChanged, this,
            [this](int i) { ComboCategoriaSec->setCurrentIndex(i); });
    // the package takes free text beside the capacities
    auto* confezione = qobject_cast<QComboBox*>(editazione(QStringLiteral("CONFEZIONEVENDITA")));
    confezione->setEditable(true);
    confezione->setInsertPolicy(QComboBox::NoInsert);
    if (const int n = lunghezzaColonna(QStringLiteral("CONFEZIONEVENDITA")); n > 0) {
        confezione->lineEdit()->setMaxLength(n);
    }

    // fixed texts about the labour times, on both pages
    for (QWidget* pagina : {PaginaConsultazione, PaginaEditazione}) {
        auto* v = qobject_cast<QVBoxLayout*>(pagina->layout());
        auto* h = new QHBoxLayout;
        h->addWidget(new QLabel(QStringLiteral("Confezionamento:"), pagina));
        h->addWidget(new QLabel(QStringLiteral("Tempo manodop. x scaglioni\nquantità: T1 fino a "
                                               "S1,\nT2 fino a S2, T3 oltre S2"),
                                pagina));
        h->addWidget(new QLabel(
            QStringLiteral("secondi\nnecessari per\nconfezionare\nuna unità di\nvendita"), pagina));
        h->addStretch();
        v->insertLayout(v->count() - 1, h);
    }

    // the consultation page's own buttons
    CheckEditReport = new QCheckBox(QStringLiteral("Edit report st."), PaginaConsultazione);
    CheckEditReport->setObjectName(QStringLiteral("CheckEditReport"));
    ButtonRicerche = creaPulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                                  PaginaConsultazione);
    ButtonStampa = creaPulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"),
                                PaginaConsultazione);
    ButtonProdottiStessaPO =
        creaPulsante(QStringLiteral("Prod. stessa P.O."), QStringLiteral("ButtonProdottiStessaPO"),
                     PaginaConsultazione);
    ButtonCostoImballo = creaPulsante(QStringLiteral("Costo un.imballo"),
                                      QStringLiteral("ButtonCostoImballo"), PaginaConsultazione);
    auto* altri = new QHBoxLayout;
    altri->addWidget(CheckEditReport);
    altri->addStretch();
    for (QPushButton* b :
         {ButtonRicerche, ButtonStampa, ButtonProdottiStessaPO, ButtonCostoImballo}) {
        altri->addWidget(b);
    }
    if (auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout())) {
        v->insertLayout(v->count() - 1, altri);
    }
    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));
    connect(ButtonStampa, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonStampaClick(); }));
    connect(ButtonProdottiStessaPO, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonProdottiStessaPOClick(); }));
    connect(ButtonCostoImballo, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonCostoImballoClick(); }));

    // each packaging line's caption and its F10 button open the search
    for (int i = 0; i < 8; ++i) {
        const NomiLinea n = nomiLinea(i);
        for (const QString& nome :
             {QStringLiteral("Button") + n.parte, QStringLiteral("ButtonF10") + n.parte}) {
            auto* b = PaginaEditazione->findChild<QPushButton*>(nome);
            b->disconnect();
            connect(b, &QPushButton::clicked, this,
                    protetto(this, [this, i] { ButtonImballoClick(i); }));
        }
    }

    aggiungiPagina(nullptr); // searches
    aggiungiPagina(nullptr); // history
}

QList<QPushButton*> TProdottiForm::pulsantiPagina(int pagina) {
    QList<QPushButton*> r = SchedaAPagine::pulsantiPagina(pagina);
    if (pagina == Principale) {
        r << ButtonRicerche << ButtonStampa;
        for (int i = 0; i < 8; ++i) {
            const NomiLinea n = nomiLinea(i);
            r << PaginaEditazione->findChild<QPushButton*>(QStringLiteral("Button") + n.parte)
              << PaginaEditazione->findChild<QPushButton*>(QStringLiteral("ButtonF10") + n.parte);
        }
    }
    return r;
}

void TProdottiForm::caricaElenchi() {
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    caricaElenco(QStringLiteral("CODICEFORMULAZIONE"),
                 {QStringLiteral("SELECT CODICE FROM FORMUL ORDER BY CODICE")}, false);
    caricaElenco(QStringLiteral("CONFEZIONEVENDITA"),
                 {QStringLiteral("SELECT DESCRIZIONE FROM CAPCON1 ORDER BY DESCRIZIONE,CODICE")},
                 false);
    codiciCategoria_ = {QString()};
    descrizioniCategoria_ = {QString()};
    try {
        QueryAux2.SQL = {QStringLiteral("SELECT CODICE,CATEGORIA FROM CATEGPR ORDER BY "
                                        "CATEGORIA,CODICE")};
        QueryAux2.open();
        for (; !QueryAux2.eof(); QueryAux2.next()) {
            codiciCategoria_ << testoCampo(QueryAux2[QStringLiteral("CODICE")]);
            descrizioniCategoria_ << testoCampo(QueryAux2[QStringLiteral("CATEGORIA")]);
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    const QSignalBlocker b(ComboCategoria);
    ComboCategoria->clear();
    ComboCategoria->addItems(descrizioniCategoria_);
    ComboCategoriaSec->clear();
    ComboCategoriaSec->addItems(codiciCategoria_);
    ComboCategoria->setCurrentIndex(-1);
    ComboCategoriaSec->setCurrentIndex(-1);
    categoriaAggiunta_ = false;
}

void TProdottiForm::impostaCategoria(const QString& codice) {
    const QSignalBlocker b(ComboCategoria);
    if (categoriaAggiunta_) {
        ComboCategoria->removeItem(ComboCategoria->count() - 1);
        ComboCategoriaSec->removeItem(ComboCategoriaSec->count() - 1);
        categoriaAggiunta_ = false;
    }
    int i = codiciCategoria_.indexOf(codice);
    if (i < 0 && !codice.isEmpty()) {
        // a category since removed: kept as it is, shown by its code
        ComboCategoria->addItem(codice);
        ComboCategoriaSec->addItem(codice);
        categoriaAggiunta_ = true;
        i = ComboCategoria->count() - 1;
    }
    ComboCategoria->setCurrentIndex(i);
    ComboCategoriaSec->setCurrentIndex(i);
}

QString TProdottiForm::codiceCategoria() const {
    const int i = ComboCategoria->currentIndex();
    return i < 0 ? QString() : ComboCategoriaSec->itemText(i);
}

QString TProdottiForm::descrizioneCategoria(const QString& codice) const {
    const int i = codice.isEmpty() ? -1 : codiciCategoria_.indexOf(codice);
    return i < 0 ? QString() : descrizioniCategoria_.value(i);
}

// --------------------------------------------------------------- decodes

void TProdottiForm::collegaDecodifiche() {
    collegaADR();

    // the category's description beside its code
    auto* categoria2 = qobject_cast<QLineEdit*>(consultazione(QStringLiteral("CATEGORIAPRODOTTO")));
    auto* descrizione2 =
        qobject_cast<QLineEdit*>(consultazione(QStringLiteral("CATEGORIAPRODOTTO#")));
    connect(categoria2, &QLineEdit::textChanged, this, [this, descrizione2](const QString& c) {
        descrizione2->setText(descrizioneCategoria(c));
    });

    // the formulation's name and substances, 400 ms after its code changes
    timerPO2_ = new QTimer(this);
    timerPO2_->setObjectName(QStringLiteral("TimerPO2"));
    timerPO2_->setSingleShot(true);
    timerPO2_->setInterval(400);
    connect(qobject_cast<QLineEdit*>(consultazione(QStringLiteral("CODICEFORMULAZIONE"))),
            &QLineEdit::textChanged, this, [this] {
                timerPO2_->stop();
                impostaTesto(consultazione(QStringLiteral("CODICEFORMULAZIONE#")), {});
                impostaTesto(consultazione(QStringLiteral("FORMUL.SOSTANZEADR")), {});
                timerPO2_->start();
            });
    connect(timerPO2_, &QTimer::timeout, this, [this] {
        timerPO2_->stop();
        decodificaFormulazione(false, false);
    });
    connect(qobject_cast<QComboBox*>(editazione(QStringLiteral("CODICEFORMULAZIONE"))),
            &QComboBox::activated, this,
            protetto(this, [this] { decodificaFormulazione(true, true); }));

    // the packaging cost: 400 ms after the product, a divisor left or a
    // packaging name typed
    timerCosto_ = new QTimer(this);
    timerCosto_->setObjectName(QStringLiteral("TimerCostoImballo"));
    timerCosto_->setSingleShot(true);
    timerCosto_->setInterval(400);
    connect(timerCosto_, &QTimer::timeout, this, [this] {
        timerCosto_->stop();
        aggiornaCosto();
    });
    auto riavvia = [this] {
        timerCosto_->stop();
        timerCosto_->start();
    };
    connect(qobject_cast<QLineEdit*>(consultazione(QStringLiteral("CODICE"))),
            &QLineEdit::textChanged, this, riavvia);
    for (int i = 1; i <= 6; ++i) {
        connect(qobject_cast<QLineEdit*>(editazione(QStringLiteral("DIVISORE%1").arg(i))),
                &QLineEdit::editingFinished, this, riavvia);
    }
    for (const auto& l : lineeImballo()) {
        connect(qobject_cast<QLineEdit*>(editazione(l.colonnaNome)), &QLineEdit::textChanged, this,
                [this, riavvia] {
                    EditCostoUnitarioImballo->clear();
                    riavvia();
                });
    }
}

bool TProdottiForm::suEditazione() const {
    return Notebook->currentWidget() == PaginaEditazione;
}

void TProdottiForm::rigaCambiata() {
    // the decodes of the row shown start again even when its codes did not
    // change (the list reopened on the same product)
    for (QTimer* t : {timerPO2_, timerCosto_}) {
        if (t) {
            t->stop();
            t->start();
        }
    }
}

void TProdottiForm::decodificaFormulazione(bool suEditazione, bool copiaADR) {
    auto w = [&](const char* c) {
        const QString colonna = QString::fromLatin1(c);
        return suEditazione ? editazione(colonna) : consultazione(colonna);
    };
    impostaTesto(w("CODICEFORMULAZIONE#"), {});
    impostaTesto(w("FORMUL.SOSTANZEADR"), {});
    const QString codice = testoDi(w("CODICEFORMULAZIONE"));
    if (codice.isEmpty()) {
        return;
    }
    try {
        QueryAux2.SQL = {QStringLiteral("SELECT"),
                         QStringLiteral("   NOME,"),
                         QStringLiteral("   CODICEADR,"),
                         QStringLiteral("   SOSTANZEADR"),
                         QStringLiteral("   ,GRUPPOADR"),
                         QStringLiteral("FROM"),
                         QStringLiteral("   FORMUL"),
                         QStringLiteral("WHERE"),
                         QStringLiteral("   CODICE=") + sql::testoNonNullo(codice)};
        QueryAux2.open();
        if (!QueryAux2.eof()) {
            impostaTesto(w("CODICEFORMULAZIONE#"), testoCampo(QueryAux2[QStringLiteral("NOME")]));
            impostaTesto(w("FORMUL.SOSTANZEADR"),
                         testoCampo(QueryAux2[QStringLiteral("SOSTANZEADR")]));
            const QString adr = testoCampo(QueryAux2[QStringLiteral("CODICEADR")]);
            if (suEditazione && copiaADR &&
                adr != testoDi(editazione(QStringLiteral("CODICEADR")))) {
                impostaTesto(editazione(QStringLiteral("CODICEADR")), adr);
                impostaTesto(editazione(QStringLiteral("GRUPPOADR")),
                             testoCampo(QueryAux2[QStringLiteral("GRUPPOADR")]));
            }
        }
        QueryAux2.close();
    } catch (const DbError& e) {
        qWarning("formulazione non decodificata: %s", qPrintable(e.messaggio()));
    }
}

// ------------------------------------------------------- packaging cost

std::optional<double> TProdottiForm::costoImballo(int linea, const QString& nome) {
    return imballi::costoInArchivio(QueryAux2, nome, lineeImballo()[size_t(linea)].tipo);
}

double TProdottiForm::CalcolaCostoImballo(std::array<std::optional<double>, 8>* usati) {
    std::array<std::optional<double>, 8> costi{};
    std::array<double, 6> divisori{};
    const bool edit = suEditazione();
    if (edit || !listaVuota()) {
        auto testo = [&](const QString& colonna) {
            return edit ? testoDi(editazione(colonna))
                        : testoCampo(Griglia->campoCorrente(colonna));
        };
        for (int i = 0; i < 8; ++i) {
            costi[size_t(i)] = costoImballo(i, testo(lineeImballo()[size_t(i)].colonnaNome));
        }
        for (int i = 0; i < 6; ++i) {
            // a divisor that cannot be read counts as 0
            divisori[size_t(i)] =
                Formati::leggiNumero(testo(QStringLiteral("DIVISORE%1").arg(i + 1))).value_or(0);
        }
    }
    if (usati) {
        *usati = costi;
    }
    return edit || !listaVuota() ? imballi::costoUnitario(costi, divisori) : 0;
}

void TProdottiForm::aggiornaCosto() {
    const bool edit = suEditazione();
    QLineEdit* campo = edit ? EditCostoUnitarioImballo : EditCostoUnitarioImballo_2;
    try {
        TransazioneControllo.restart();
        campo->setText(formatoCosto(CalcolaCostoImballo()));
        mostraVersione();
        // the packaging codes as hints of both pages' names
        for (const auto& l : lineeImballo()) {
            const QString nome =
                edit ? testoDi(editazione(l.colonnaNome))
                     : (listaVuota() ? QString()
                                     : testoCampo(Griglia->campoCorrente(l.colonnaNome)));
            QString codice;
            if (!nome.trimmed().isEmpty()) {
                QueryAux2.SQL = {QStringLiteral("SELECT CODICE FROM IMBALLI"),
                                 QStringLiteral("WHERE NOMEIMBALLO=") + sql::testoNonNullo(nome),
                                 QStringLiteral("ORDER BY CODICE")};
                codice = QueryAux2.primaColonna().value(0);
            }
            editazione(l.colonnaNome)->setToolTip(codice);
            consultazione(l.colonnaNome)->setToolTip(codice);
        }
    } catch (const DbError& e) {
        qWarning("costo imballo non calcolato: %s", qPrintable(e.messaggio()));
    }
}

void TProdottiForm::ButtonCostoImballoClick() {
    std::array<std::optional<double>, 8> costi{};
    double costo = 0;
    TransazioneControllo.restart();
    costo = CalcolaCostoImballo(&costi);
    QLineEdit* campo = suEditazione() ? EditCostoUnitarioImballo : EditCostoUnitarioImballo_2;
    campo->setText(formatoCosto(costo));
    std::array<QString, 6> divisori;
    for (int i = 0; i < 6; ++i) {
        divisori[size_t(i)] =
            listaVuota()
                ? QString()
                : testoCampo(Griglia->campoCorrente(QStringLiteral("DIVISORE%1").arg(i + 1)));
    }
    TMemoForm::mostra(this, QStringLiteral("Costo Contenitore - Ditta: ") + sessione_->Ditta,
                      imballi::spiegazione(costi, divisori, campo->text()));
}

void TProdottiForm::ButtonImballoClick(int linea) {
    const LineaImballo& l = lineeImballo()[size_t(linea)];
    auto* nome = qobject_cast<QLineEdit*>(editazione(l.colonnaNome));
    auto* codice = qobject_cast<QLineEdit*>(editazione(l.colonnaCodice));
    nome->setFocus();
    const auto scelta = TRicImballiForm::scegli(
        sessione_, this, l.tipo.isEmpty() ? QStringLiteral("Tutto") : l.tipo, nome->text());
    // the item last chosen; returning without a choice empties the line (the
    // way to take an item off a product: the container's code is not typed)
    if (scelta) {
        codice->setText(scelta->codice);
        nome->setText(scelta->nome);
    }
    nome->setFocus();
}

// --------------------------------------------------------------- record

void TProdottiForm::dopoNuovo() {
    // a new product starts clear: formulation, category and package on their
    // empty item, no sales unit, nothing decoded
    impostaTesto(editazione(QStringLiteral("CODICEFORMULAZIONE")), {});
    impostaCategoria({});
    impostaTesto(editazione(QStringLiteral("CONFEZIONEVENDITA")), {});
    qobject_cast<QComboBox*>(editazione(QStringLiteral("UNITAVENDITA")))->setCurrentIndex(-1);
    for (const char* c : {"CODICEFORMULAZIONE#", "FORMUL.SOSTANZEADR", "ADR2017.CLASSE",
                          "ADR2017.DESCRIZIONE", "COSTOUNITARIOIMBALLO"}) {
        impostaTesto(editazione(QString::fromLatin1(c)), {});
    }
    for (const auto& l : lineeImballo()) {
        editazione(l.colonnaNome)->setToolTip({});
    }
}

void TProdottiForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    impostaCategoria(testoCampo(Griglia->campoCorrente(QStringLiteral("CATEGORIAPRODOTTO"))));
    decodificaFormulazione(true, false);
    decodificaADR(true, false);
}

QStringList TProdottiForm::assegnazioni() const {
    QStringList set = SchedaBase::assegnazioni();
    for (QString& a : set) {
        // a small integer, written as a number
        if (a.startsWith(QLatin1String("ADRENTROQTALIMITATA="))) {
            a = QStringLiteral("ADRENTROQTALIMITATA=") +
                (testoDi(editazione(QStringLiteral("ADRENTROQTALIMITATA"))) == QLatin1String("1")
                     ? QStringLiteral("1")
                     : QStringLiteral("0"));
        }
    }
    // the code beside the chosen description, after the description
    const qsizetype dopo = set.indexOf(QRegularExpression(QStringLiteral("^DESCRIZIONE=")));
    set.insert(dopo < 0 ? set.size() : dopo + 1,
               QStringLiteral("CATEGORIAPRODOTTO=") + sql::testo(codiceCategoria()));
    return set;
}

bool TProdottiForm::validaCampi() {
    // a packaging name needs its code; the last two further items are free
    for (int i = 0; i < 6; ++i) {
        const LineaImballo& l = lineeImballo()[size_t(i)];
        if (!testoDi(editazione(l.colonnaNome)).trimmed().isEmpty() &&
            testoDi(editazione(l.colonnaCodice)).trimmed().isEmpty()) {
            Messaggi::avviso(QStringLiteral("Attenzione: oltre alla descrizione è necessario "
                                            "indicare anche il codice per \"%1\"")
                                 .arg(l.didascalia),
                             this);
            return false;
        }
    }
    return true;
}

QString TProdottiForm::utente() const {
    return sql::testo(QString::number(sessione_->NumUtente));
}

void TProdottiForm::scriviVersione(Query& q, const QString& codice, int versione) {
    storico::copiaRiga(q, kStorico, kTabella, kColonneStorico,
                       {{QStringLiteral("VERS"), sql::intero(versione)},
                        {QStringLiteral("DATAVERS"), sql::data(QDate::currentDate())},
                        {QStringLiteral("UTENTE"), utente()}},
                       QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
}

// The version is a copy of the row as it was before this save, written in
// the save's own transaction: both are kept, or neither.
void TProdottiForm::primaDellAggiornamento(const QStringList& assegnazioni) {
    const QString chiave = QStringLiteral("CODICE=") + sql::testoNonNullo(CodiceCorrente);
    const auto h = storico::massimo(QueryAux, kStorico, QStringLiteral("VERS"), chiave);
    if (!h || !storico::invariata(QueryAux, kTabella, chiave, assegnazioni)) {
        scriviVersione(QueryAux, CodiceCorrente, h ? *h + 1 : 1);
    }
}

void TProdottiForm::dopoMemorizzazione() {
    mostraVersione();
}

// A deletion writes one last version with the product as it stands, in the
// deletion's own transaction.
void TProdottiForm::eliminaRecord(const QString& codice) {
    const auto h = storico::massimo(QueryAux, kStorico, QStringLiteral("VERS"),
                                    QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
    scriviVersione(QueryAux, codice, h ? *h + 1 : 1);
    SchedaBase::eliminaRecord(codice);
}

void TProdottiForm::mostraVersione() {
    LabelVersione->clear();
    const QString codice = codiceCorrenteGriglia();
    if (codice.isEmpty()) {
        return;
    }
    try {
        TransazioneControllo.restart();
        if (const auto v =
                storico::massimo(QueryAux2, kStorico, QStringLiteral("VERS"),
                                 QStringLiteral("CODICE=") + sql::testoNonNullo(codice))) {
            LabelVersione->setText(QString::number(*v));
        }
    } catch (const DbError& e) {
        qWarning("versione non letta: %s", qPrintable(e.messaggio()));
    }
}

// ----------------------------------------------------------- the buttons

void TProdottiForm::ButtonProdottiStessaPOClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessun prodotto selezionato"), this);
        return;
    }
    const QString formulazione =
        testoCampo(Griglia->campoCorrente(QStringLiteral("CODICEFORMULAZIONE")));
    if (formulazione.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Il prodotto selezionato non ha la formulazione"), this);
        return;
    }
    TProdottiPOForm::mostra(sessione_, this, formulazione);
}

std::optional<TProdottiForm::Scelta> TProdottiForm::scegli(TTabXForm* sessione, QWidget* owner,
                                                           const QString& codice) {
    auto* f = new TProdottiForm(sessione, owner);
    f->ComeRicerca = true;
    std::optional<Scelta> scelta;
    if (f->eseguiRicerca(owner, codice, true)) {
        scelta = Scelta{f->codiceCorrenteGriglia(),
                        testoCampo(f->Griglia->campoCorrente(QStringLiteral("NOME"))),
                        testoCampo(f->Griglia->campoCorrente(QStringLiteral("UNITAVENDITA")))};
    }
    f->close();
    delete f;
    return scelta;
}

void TProdottiForm::ButtonStampaClick() {
    QString descrizioneADR;
    QString categoria;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = sessione_->GetV(QStringLiteral("StProdLST"));
    s.titoloProgettista = QStringLiteral("Editazione stampa schede prodotti");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa schede prodotti");
    s.nessunRecord = listaVuota();
    s.modificaReport = CheckEditReport->isChecked();
    s.preparaDati = [&] {
        // printed straight after moving to a product, the ADR description is
        // decoded now rather than left empty until its timer fires
        decodificaADR(false, false);
        descrizioneADR = testoDi(consultazione(QStringLiteral("ADR2017.DESCRIZIONE")));
        const QString codice =
            testoCampo(Griglia->campoCorrente(QStringLiteral("CATEGORIAPRODOTTO")));
        categoria = descrizioneCategoria(codice);
        if (categoria.isEmpty()) {
            categoria = codice; // a category since removed still shows its code
        }
    };
    s.OnDefineVariables = [&](report::LavoroStampa& j) {
        for (const auto& c : Griglia->modello()->campi()) {
            j.defineVariable(c.nome, Griglia->campoCorrente(c.nome));
        }
        j.defineVariable(QStringLiteral("DESCRIZIONECODICEADR"), descrizioneADR);
        j.defineVariable(QStringLiteral("CATEGORIAPRODOTTO"), categoria);
    };
    // the sheet has no detail rows
    s.OnDefineFields = [](report::LavoroStampa& j) {
        j.setProgress(100);
        j.setLastRecord();
    };
    report::stampaScheda(s);
}

} // namespace quintar
