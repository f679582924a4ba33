#include "formulation/costiform.h"

#include "formulation/cpar.h"
#include "formulation/formul.h"
#include "formulation/incostiform.h"
#include "master/prodotti.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/memoform.h"
#include "ui/protezione.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace quintar {

namespace {

const QString kTabella = QStringLiteral("COSTI");
const QString kErroreValore = QStringLiteral("Errore interno: impossibile assegnare il valore "
                                             "specificato");
const QString kErroreInserimento =
    QStringLiteral("Errore interno: impossibile inserire un nuovo record");
const QString kErroreRicalcolo = QStringLiteral("Errore interno: impossibile ricalcolare i costi");
const QString kAvviso = QStringLiteral(
    "ATTENZIONE: Il costo imballo memorizzato differisce da quello ricalcolato\r\ncon gli attuali "
    "parametri. Premere \"Calcola\" per ottenere il valore corretto.");
const QString kCalcTU[] = {
    QStringLiteral("Calc. 1: TU = CM/QP + Cup + Tot. TUS"),
    QStringLiteral("Calc. 2: TU = CM/QP + Cup + Tot. TVendS"),
    QStringLiteral("Calc. 3: TU = CM/QP + Tot. TUS"),
    QStringLiteral("Calc. 4: TU = CM/QP + Tot. TVendS"),
};

struct Cifra {
    const char* colonna;
    const char* didascalia;
    const char* nome; // EditX on the page, ButtonX beside it
    const char* formula = nullptr;
    const char* suggerimento = nullptr;
};

// The fields of "Pagina 1" in their order.
const Cifra kCifre[] = {
    {"DESCRIZIONE", "&Descrizione", "Descrizione"},
    {"TIPO.SCHEDA", "Tipo Scheda", "TipoScheda"},
    {"CODICEPRODOTTO", "Cod.&Prodotto", "CodiceProdotto"},
    {"DATAULTIMAMODIFICA", "Data ult.mod.", "DataUltimaModifica"},
    {"QUANTITADAPRODURRE", "&1. Q.tà da prod.(QP)", "QuantitaDaProdurre"},
    {"CODICERIEMPITRICE", "Riempitrice", "Riempitrice"},
    {"TEMPOPRODUZIONE", "&2. T.Produz. (TP)", "TempoProduzione"},
    {"TEMPOAVVIO", "&3. T.Avvio (TA)", "TempoAvvio"},
    {"TEMPOCONTROLLOQUALITA", "&4. T.Qualità (TQ)", "TempoControlloQualita"},
    {"TEMPOCONFEZ", "&5. T.Conf. (TCF)", "TempoConfezionamento"},
    {"COSTOMANODOPERA", "Costo Manodop. (CM)", "CostoManodopera",
     "=( TA +( (TP+TCF) x QP) +TQ )\nx CostoTempo"},
    {"COSTOPRODUZIONEUNITARIO", "Costo Produzione Unitario", "CostoProduzioneUnitario", nullptr,
     "TP * Costo Tempo"},
    {"COSTOCONTROLLOQUALUNIT", "Costo Controllo Qualità Un.", "CostoControlloQualitaUnitario",
     nullptr, "TC/QP * Costo Tempo"},
    {"COSTOAVVIOUNITARIO", "Costo Avvio Unitario", "CostoAvvioUnitario", nullptr,
     "TA/QP * Costo Tempo"},
    {"COSTOCONFEZUNITARIO", "Costo Confezionam. Unitario", "CostoConfezionamentoUnitario", nullptr,
     "TCF * Costo Tempo"},
    {"COSTORAWMATER", "Costo Rawmater", "CostoRawmater"},
    {"COSTOCONTENITORE", "Costo Contenitore", "CostoContenitore"},
    {"COSTOMATERIALI", "Costo Unit. prodotto(CUP)", "CostoMateriali",
     "= Costo Unitario del prodotto"},
    {"COSTOBASE", "Costo base (T)", "CostoBase", "="},
    {"COSTOBETA", "Costo beta (Cbeta)", "CostoBeta", "= CostiGeneraliAnnui / CostiBaseAnnui"},
    {"COSTIGENERALI", "Costi generali (CG)", "CostoGenerale", "= T x Cbeta"},
    {"COSTOTOTALE", "Costo totale (CTot)", "CostoTotale", "= T + CG"},
    {"PREZZOBASE", "Prezzo base (PB)", "PrezzoBase", "= CTot x CoeffRicarico"},
    {"COSTOTRASPORTO", "Costo Trasporto", "CostoTrasporto", "= QP * Trasporto"},
    {"COSTOCONTRASPORTO", "Costo con Trasp. (CT)", "CostoConTrasporto", "= CTot + CostoTrasporto"},
    {"PREZZOBASECONAGENTE", "Prezzo base con agente(PA)", "PrezzoBaseConAgente",
     "= PB x CoeffAgente"},
    {"PREZZOSCONTATO", "Prezzo scontato (PS)", "PrezzoScontato", "= PA x CoeffSconto"},
};

// Columns shown ",0.0000" and ",0.000000" (grouped thousands, fixed decimals).
const QStringList kQuattroDecimali = {
    QStringLiteral("COSTOMANODOPERA"),  QStringLiteral("COSTOBASE"),
    QStringLiteral("COSTOBETA"),        QStringLiteral("COSTIGENERALI"),
    QStringLiteral("COSTOTOTALE"),      QStringLiteral("COSTOCONTRASPORTO"),
    QStringLiteral("PREZZOBASE"),       QStringLiteral("PREZZOBASECONAGENTE"),
    QStringLiteral("PREZZOSCONTATO"),   QStringLiteral("COSTOMATERIALI"),
    QStringLiteral("COSTOTRASPORTO"),   QStringLiteral("COSTORAWMATER"),
    QStringLiteral("COSTOCONTENITORE"),
};
const QStringList kSeiDecimali = {
    QStringLiteral("COSTOPRODUZIONEUNITARIO"),
    QStringLiteral("COSTOCONTROLLOQUALUNIT"),
    QStringLiteral("COSTOAVVIOUNITARIO"),
    QStringLiteral("COSTOCONFEZUNITARIO"),
};
// What only a primary sheet shows.
const QStringList kSoloPrimaria = {
    QStringLiteral("PREZZOBASE"),
    QStringLiteral("COSTOTRASPORTO"),
    QStringLiteral("COSTOCONTRASPORTO"),
};
const QStringList kAltriPrezzi = {
    QStringLiteral("PREZZOBASECONAGENTE"),
    QStringLiteral("PREZZOSCONTATO"),
};
// The fields typed through an input dialog: caption of the dialog.
const std::vector<std::pair<QString, QString>> kDialoghi = {
    {QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione")},
    {QStringLiteral("QUANTITADAPRODURRE"), QStringLiteral("Quantita Da Produrre")},
    {QStringLiteral("TEMPOPRODUZIONE"), QStringLiteral("Tempo di Produzione")},
    {QStringLiteral("TEMPOAVVIO"), QStringLiteral("Tempo di Avvio")},
    {QStringLiteral("TEMPOCONTROLLOQUALITA"), QStringLiteral("Tempo Controllo di Qualita")},
    {QStringLiteral("TEMPOCONFEZ"), QStringLiteral("Tempo di Confezionamento")},
};

// A number with grouped thousands and exactly `decimali` decimals, halves
// away from zero as the figures' other texts round them.
QString raggruppato(double v, int decimali) {
    QString t = Formati::numeroInTesto(costi::ArrotondaDecimali(v, decimali), decimali);
    const QChar separatore = Formati::separatoreDecimale();
    const QChar migliaia = Formati::correnti().separatoreMigliaia;
    qsizetype fine = decimali > 0 ? t.indexOf(separatore) : t.size();
    if (fine < 0) {
        fine = t.size();
    }
    const qsizetype inizio = t.startsWith('-') ? 1 : 0;
    for (qsizetype p = fine - 3; p > inizio; p -= 3) {
        t.insert(p, migliaia);
    }
    return t;
}

CampoScheda cifra(const Cifra& c) {
    const QString nome = QString::fromLatin1(c.nome);
    CampoScheda s = campoScheda(c.colonna, c.didascalia, "", "", "");
    s.pulsante = QStringLiteral("Button") + nome;
    s.editazione = QStringLiteral("Edit") + nome + QStringLiteral("E");
    s.consultazione = QStringLiteral("Edit") + nome;
    if (s.colonna == QLatin1String("TIPO.SCHEDA")) {
        s.memorizzato = false;
        s.consultazione = QStringLiteral("StaticTipoScheda");
    } else if (s.colonna == QLatin1String("CODICEPRODOTTO")) {
        s.descrizioneConsultazione = QStringLiteral("StaticDescrizioneProdotto");
        s.descrizioneEditazione = QStringLiteral("StaticDescrizioneProdottoE");
    } else if (s.colonna == QLatin1String("CODICERIEMPITRICE")) {
        s.consultazione = QStringLiteral("EditCodiceRiempitrice");
        s.descrizioneConsultazione = QStringLiteral("StaticRiempitrice");
        s.descrizioneEditazione = QStringLiteral("StaticRiempitriceE");
    }
    return s;
}

std::vector<CampoScheda> campiCosti() {
    std::vector<CampoScheda> r;
    for (const Cifra& c : kCifre) {
        r.push_back(cifra(c));
    }
    return r;
}

QLineEdit* valore(QWidget* parent, const char* nome) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(nome));
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    return e;
}

// A radio button or check box that only shows a stored value.
void soloVista(QAbstractButton* b) {
    b->setAttribute(Qt::WA_TransparentForMouseEvents);
    b->setFocusPolicy(Qt::NoFocus);
}

} // namespace

TCostiForm::TCostiForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
          sessione,
          {.tabella = kTabella,
           .nome = QStringLiteral("Costi"),
           .didascalia = QStringLiteral("Analisi costi - Ditta:"),
           .situazioneFinestra = 8,
           .situazioneGriglia = 11,
           .nuovoCodice = NuovoCodice::MassimoPiuUno,
           .campoChiave = {QStringLiteral("CODICE"), QStringLiteral("Codice"),
                           QStringLiteral("ButtonCodice"), QStringLiteral("EditCodiceE"),
                           QStringLiteral("EditCodice")},
           .campi = campiCosti(),
           .controlliProfilo =
               {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonElimina"),
                QStringLiteral("ButtonCalcola"), QStringLiteral("ButtonDescrizione"),
                QStringLiteral("ButtonCodiceProdotto"), QStringLiteral("ButtonQuantitaDaProdurre"),
                QStringLiteral("ButtonTempoProduzione"), QStringLiteral("ButtonTempoAvvio"),
                QStringLiteral("ButtonTempoControlloQualita"),
                QStringLiteral("ButtonTempoConfezionamento"), QStringLiteral("ButtonTipoCalcT"),
                QStringLiteral("ButtonMostraPrezzi"), QStringLiteral("ButtonTipoCalcTU"),
                QStringLiteral("ButtonAggiungiSchede"), QStringLiteral("ButtonTogliSchede"),
                // the coefficients are written at once too
                QStringLiteral("ButtonCoefficienti")},
           .navigatore = QStringLiteral("NavigatorCosti"),
           .colonneCampi = 2},
          {.tabSet = QStringLiteral("TabSetCosti2"),
           .notebook = QStringLiteral("NoteBookCosti"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Schede Secondarie"),
                      QStringLiteral("Ricerche")},
           .testata = {{QStringLiteral("Codice"), QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("DESCRIZIONE")}},
           .paginaRicerche = Ricerche,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaNome"),
                        QStringLiteral("DESCRIZIONE")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM COSTI WHERE (CODICE IS NOT NULL)"),
           .tabellaStorico = {},
           .memoStorico = {},
           .grigliaStoricoUnica = {},
           .tabellaAllegati = {},
           .allegatoPresente = {}},
          owner),
      QuerySchede(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryAux3(&sessione->IBDatabase1, &TransazioneControllo) {
    Notebook->setObjectName(QStringLiteral("NotebookCosti"));
    creaPagina1();
    aggiungiPagina(creaPaginaSchede());
    aggiungiPagina(nullptr); // searches

    TimerCodice = new QTimer(this);
    TimerCodice->setObjectName(QStringLiteral("TimerCodice"));
    TimerCodice->setSingleShot(true);
    TimerCodice->setInterval(1000);
    connect(TimerCodice, &QTimer::timeout, this, protetto(this, [this] { aggiornaVista(); }));
    TimerProd = new QTimer(this);
    TimerProd->setObjectName(QStringLiteral("TimerProd"));
    TimerProd->setSingleShot(true);
    TimerProd->setInterval(1000);
    connect(TimerProd, &QTimer::timeout, this, protetto(this, [this] { leggiProdotto(); }));
    connect(EditCodiceProdotto, &QLineEdit::textChanged, this, [this] {
        StaticDescrizioneProdotto->clear();
        TimerProd->start();
    });
    connect(campo(QStringLiteral("CODICERIEMPITRICE")), &QLineEdit::textChanged, this,
            [this](const QString& codice) {
                const qsizetype i = riempitriciCod_.indexOf(codice);
                StaticRiempitrice->setText(codice.isEmpty() || i < 0 ? QString()
                                                                     : riempitriciSpe_.value(i));
            });

    if (sessione->IBDatabase1.connected()) {
        riempitriciCod_ << QString();
        riempitriciSpe_ << QString();
        try {
            QueryAux2.SQL = {QStringLiteral("SELECT CODICE,SPECIFICHE FROM RIEMPIT ORDER BY "
                                            "SPECIFICHE,CODICE")};
            QueryAux2.open();
            while (!QueryAux2.eof()) {
                riempitriciCod_ << QueryAux2[QStringLiteral("CODICE")].asString();
                riempitriciSpe_ << QueryAux2[QStringLiteral("SPECIFICHE")].asString();
                QueryAux2.next();
            }
            QueryAux2.close();
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        }
    }
    resize(1320, 860);
    mostraPagina(Pagina1);
    SettaggioInterfaccia();
    rigaCambiata();
}

TCostiForm::~TCostiForm() {
    GridSchede->setSorgenteDati(nullptr);
}

// ------------------------------------------------------------------ pages

void TCostiForm::creaPagina1() {
    auto* g = qobject_cast<QGridLayout*>(PaginaConsultazione->layout()->itemAt(0)->layout());
    // the caption buttons keep their names on this page; the unused edit
    // page's carry a suffix
    for (const CampoScheda& c : descrizione().campi) {
        if (auto* b = PaginaEditazione->findChild<QPushButton*>(c.pulsante)) {
            b->setObjectName(c.pulsante + QStringLiteral("E"));
        }
        if (auto* b = PaginaConsultazione->findChild<QPushButton*>(c.pulsante + '2')) {
            b->setObjectName(c.pulsante);
            b->disconnect();
        }
    }
    for (const Cifra& c : kCifre) {
        const QString colonna = QString::fromLatin1(c.colonna);
        QLineEdit* e = campo(colonna);
        if (c.suggerimento) {
            pulsante(colonna)->setToolTip(QString::fromUtf8(c.suggerimento));
        }
        if (c.formula && e) {
            int riga = 0, colonnaGriglia = 0, righe = 0, colonne = 0;
            g->getItemPosition(g->indexOf(e), &riga, &colonnaGriglia, &righe, &colonne);
            auto* l = new QLabel(QString::fromUtf8(c.formula), PaginaConsultazione);
            l->setObjectName(QStringLiteral("Label") + QString::fromLatin1(c.nome));
            g->addWidget(l, riga, colonnaGriglia + 1);
        }
        if (kQuattroDecimali.contains(colonna) || kSeiDecimali.contains(colonna)) {
            e->setAlignment(Qt::AlignRight);
        }
        if (e) {
            e->setMinimumWidth(120);
        }
    }
    EditCodice = campo(QStringLiteral("CODICE"));
    EditDescrizione = campo(QStringLiteral("DESCRIZIONE"));
    StaticTipoScheda = campo(QStringLiteral("TIPO.SCHEDA"));
    EditCodiceProdotto = campo(QStringLiteral("CODICEPRODOTTO"));
    StaticDescrizioneProdotto = qobject_cast<QLineEdit*>(
        consultazione(QStringLiteral("CODICEPRODOTTO") + QStringLiteral("#")));
    StaticRiempitrice = qobject_cast<QLineEdit*>(
        consultazione(QStringLiteral("CODICERIEMPITRICE") + QStringLiteral("#")));
    campo(QStringLiteral("CODICERIEMPITRICE"))->hide();
    EditDescrizione->setMinimumWidth(300);
    EditCodiceProdotto->setMinimumWidth(90);
    StaticDescrizioneProdotto->setMinimumWidth(200);
    LabelCostoBase = PaginaConsultazione->findChild<QLabel*>(QStringLiteral("LabelCostoBase"));
    ButtonEdit->hide();

    // calculation types, other prices, unit values and selling prices
    auto* altri = new QGridLayout;
    int r = 0;
    ButtonTipoCalcT = creaPulsante(QStringLiteral("Tipo calcolo &T"),
                                   QStringLiteral("ButtonTipoCalcT"), PaginaConsultazione);
    altri->addWidget(ButtonTipoCalcT, r, 0);
    const QString etichetteT[] = {
        QStringLiteral("Util.costo calc.\r\nnella formul.del prod. + \r\ncosti schede second."),
        QStringLiteral("Util.solo costi\r\nschede second.")};
    ButtonHelp1 =
        creaPulsante(QStringLiteral("?"), QStringLiteral("ButtonHelp1"), PaginaConsultazione);
    ButtonHelp2 =
        creaPulsante(QStringLiteral("?"), QStringLiteral("ButtonHelp2"), PaginaConsultazione);
    auto* gruppoT = new QButtonGroup(this);
    auto* gruppoTU = new QButtonGroup(this);
    auto* t = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(PaginaConsultazione);
        gruppoT->addButton(b, i);
        b->setObjectName(QStringLiteral("RadioTipoCalcT%1").arg(i));
        soloVista(b);
        RadioTipoCalcT << b;
        auto* l = new QLabel(etichetteT[i], PaginaConsultazione);
        l->setObjectName(QStringLiteral("LabelTipoCalcT%1").arg(i + 1));
        t->addWidget(b);
        t->addWidget(l);
        t->addWidget(i == 0 ? ButtonHelp1 : ButtonHelp2);
        t->addSpacing(24);
    }
    t->addStretch();
    altri->addLayout(t, r, 1);
    ++r;
    ButtonTipoCalcTU = creaPulsante(QStringLiteral("Tipo calc. T&U"),
                                    QStringLiteral("ButtonTipoCalcTU"), PaginaConsultazione);
    altri->addWidget(ButtonTipoCalcTU, r, 0);
    auto* tu = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(QStringLiteral("Calc.%1").arg(i + 1), PaginaConsultazione);
        b->setObjectName(QStringLiteral("RadioTipoCalcTU%1").arg(i));
        gruppoTU->addButton(b, i);
        soloVista(b);
        RadioTipoCalcTU << b;
        tu->addWidget(b);
    }
    ButtonHelp3 =
        creaPulsante(QStringLiteral("?"), QStringLiteral("ButtonHelp3"), PaginaConsultazione);
    tu->addWidget(ButtonHelp3);
    tu->addStretch();
    altri->addLayout(tu, r, 1);
    for (QPushButton* b : {ButtonHelp1, ButtonHelp2, ButtonHelp3}) {
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("??")) + 16);
    }
    ++r;
    ButtonMostraPrezzi = creaPulsante(QStringLiteral("&Mostra altri prezzi"),
                                      QStringLiteral("ButtonMostraPrezzi"), PaginaConsultazione);
    CheckMostraPrezzi = new QCheckBox(PaginaConsultazione);
    CheckMostraPrezzi->setObjectName(QStringLiteral("CheckMostraPrezzi"));
    soloVista(CheckMostraPrezzi);
    altri->addWidget(ButtonMostraPrezzi, r, 0);
    altri->addWidget(CheckMostraPrezzi, r, 1);
    ++r;

    auto* unitari = new QGridLayout;
    auto unitario = [&](int riga, int colonna, const char* testo, const char* nome) {
        auto* b = creaPulsante(QString::fromLatin1(testo),
                               QStringLiteral("Button") + QString::fromLatin1(nome).mid(4),
                               PaginaConsultazione);
        b->setFlat(true);
        QLineEdit* e = valore(PaginaConsultazione, nome);
        e->setMinimumWidth(160);
        unitari->addWidget(b, riga, colonna);
        unitari->addWidget(e, riga, colonna + 1);
        return std::pair{b, e};
    };
    auto [bTU, eTU] = unitario(0, 0, "TU", "EditCostoBaseUnitario");
    ButtonCostoBaseUnitario = bTU;
    EditCostoBaseUnitario = eTU;
    EditCostiGeneraliUnitari = unitario(1, 0, "CGU", "EditCostiGeneraliUnitari").second;
    EditCostoTotaleUnitario = unitario(2, 0, "CTotU", "EditCostoTotaleUnitario").second;
    EditPrezzoBaseUnitario = unitario(0, 2, "PBU", "EditPrezzoBaseUnitario").second;
    EditCostoTrasportoUnitario = unitario(1, 2, "CTraspU", "EditCostoTrasportoUnitario").second;
    EditCostoConTrasportoUnitario = unitario(2, 2, "CTU", "EditCostoConTrasportoUnitario").second;
    auto [bPF, ePF] = unitario(0, 4, "Prezzo al Kg/al litro", "EditPrezzoFinale");
    ButtonPrezzoFinale = bPF;
    EditPrezzoFinale = ePF;
    auto [bPC, ePC] = unitario(1, 4, "Prezzo per confezione", "EditPrezzoPerConfezione");
    ButtonPrezzoPerConfezione = bPC;
    EditPrezzoPerConfezione = ePC;

    unitari->setColumnStretch(6, 1); // the values keep their width when some are hidden
    LabelAvviso = new QLabel(kAvviso, PaginaConsultazione);
    LabelAvviso->setObjectName(QStringLiteral("LabelAvviso"));
    LabelAvviso->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    ImageAvviso = new QLabel(PaginaConsultazione);
    ImageAvviso->setObjectName(QStringLiteral("ImageAvviso"));
    ImageAvviso->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    LabelAvviso->hide();
    ImageAvviso->hide();
    auto* avviso = new QHBoxLayout;
    avviso->addWidget(ImageAvviso);
    avviso->addWidget(LabelAvviso, 1);

    ButtonRicerche = creaPulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                                  PaginaConsultazione);
    ButtonCalcola = creaPulsante(QStringLiteral("&Calcola"), QStringLiteral("ButtonCalcola"),
                                 PaginaConsultazione);
    ButtonCoefficienti = creaPulsante(QStringLiteral("Coe&ff."),
                                      QStringLiteral("ButtonCoefficienti"), PaginaConsultazione);
    auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout());
    v->insertLayout(v->count() - 1, altri);
    v->insertLayout(v->count() - 1, unitari);
    v->insertLayout(v->count() - 1, avviso);
    auto* bottoni = qobject_cast<QHBoxLayout*>(v->itemAt(v->count() - 1)->layout());
    bottoni->insertWidget(bottoni->indexOf(ButtonChiudi), ButtonCoefficienti);
    bottoni->insertWidget(bottoni->indexOf(ButtonChiudi), ButtonRicerche);
    bottoni->insertWidget(bottoni->indexOf(ButtonChiudi), ButtonCalcola);

    // Nuovo and Elimina are this screen's own
    ButtonNuovo->disconnect();
    ButtonElimina->disconnect();
    auto collega = [this](QAbstractButton* b, auto azione) {
        connect(b, &QAbstractButton::clicked, this, protetto(this, azione));
    };
    collega(ButtonNuovo, [this] { ButtonNuovoCostiClick(); });
    collega(ButtonElimina, [this] { ButtonEliminaCostiClick(); });
    collega(ButtonRicerche, [this] { mostraPagina(Ricerche); });
    collega(ButtonCalcola, [this] { ButtonCalcolaClick(); });
    collega(ButtonCoefficienti, [this] { ButtonCoefficientiClick(); });
    collega(ButtonTipoCalcT, [this] { ButtonTipoCalcTClick(); });
    collega(ButtonTipoCalcTU, [this] { ButtonTipoCalcTUClick(); });
    collega(ButtonMostraPrezzi, [this] { ButtonMostraPrezziClick(); });
    collega(pulsante(QStringLiteral("CODICEPRODOTTO")), [this] { ButtonCodiceProdottoClick(); });
    collega(pulsante(QStringLiteral("COSTORAWMATER")), [this] { ButtonCostoRawmaterClick(); });
    for (const auto& [colonna, didascalia] : kDialoghi) {
        collega(pulsante(colonna), [this, c = colonna] { ButtonCampoClick(c); });
    }

    // the explanations
    auto spiega = [this, collega](QPushButton* b, const QString& titolo,
                                  std::function<QStringList()> righe) {
        collega(b, [this, titolo, righe] { mostraInfo(titolo, righe()); });
    };
    auto unitarioLavoro = [this](const char* colonnaTempo, bool perQP, const QString& testo) {
        const double tempo = numeroCorrente(QString::fromLatin1(colonnaTempo));
        const double qp = numeroCorrente(QStringLiteral("QUANTITADAPRODURRE"));
        const double costoTempo = numeroCorrente(QStringLiteral("COSTOTEMPO"));
        const double risultato = perQP ? (qp > costi::kQuantitaMinima ? tempo / qp * costoTempo : 0)
                                       : tempo * costoTempo;
        QString t = testo + colonnaCorrente(QString::fromLatin1(colonnaTempo));
        if (perQP) {
            t += QStringLiteral(" / ") + colonnaCorrente(QStringLiteral("QUANTITADAPRODURRE"));
        }
        t += QStringLiteral(" * ") + colonnaCorrente(QStringLiteral("COSTOTEMPO")) +
             QStringLiteral(" = ") + raggruppato(risultato, 6);
        return QStringList{t};
    };
    spiega(pulsante(QStringLiteral("COSTOPRODUZIONEUNITARIO")),
           QStringLiteral("Costo Produzione Unitario"), [unitarioLavoro] {
               return unitarioLavoro("TEMPOPRODUZIONE", false,
                                     QStringLiteral("Costo Produzione Unitario = TP * Costo "
                                                    "Tempo = "));
           });
    spiega(pulsante(QStringLiteral("COSTOCONTROLLOQUALUNIT")),
           QStringLiteral("Costo Controllo Qualità  Unitario"), [unitarioLavoro] {
               return unitarioLavoro("TEMPOCONTROLLOQUALITA", true,
                                     QStringLiteral("Costo Controllo Qualità  Unitario = TQ/QP * "
                                                    "Costo Tempo = "));
           });
    spiega(pulsante(QStringLiteral("COSTOAVVIOUNITARIO")), QStringLiteral("Costo Avvio Unitario"),
           [unitarioLavoro] {
               return unitarioLavoro(
                   "TEMPOAVVIO", true,
                   QStringLiteral("Costo Avvio Unitario = TA/QP * Costo Tempo = "));
           });
    spiega(pulsante(QStringLiteral("COSTOCONFEZUNITARIO")),
           QStringLiteral("Costo Confezionamento Unitario"), [unitarioLavoro] {
               return unitarioLavoro("TEMPOCONFEZ", false,
                                     QStringLiteral("Costo Confezionamento Unitario = TCF * Costo "
                                                    "Tempo = "));
           });
    spiega(
        pulsante(QStringLiteral("COSTOCONTENITORE")), QStringLiteral("Costo Contenitore"), [this] {
            const QString prodotto = colonnaCorrente(QStringLiteral("CODICEPRODOTTO"));
            costi::ImballoProdotto im;
            try {
                Transaction t(&sessione_->IBDatabase1);
                Query q(&sessione_->IBDatabase1, &t);
                im = costi::leggiImballo(q, prodotto);
            } catch (const DbError& e) {
                Messaggi::errore(e.messaggio(), this);
            }
            auto c = [&](int i) { return Formati::numeroInTesto(im.costi[size_t(i)].value_or(0)); };
            auto d = [&](int i) { return Formati::numeroInTesto(im.divisori[size_t(i)]); };
            return QStringList{
                QStringLiteral("Costo Contenitore = ([c_contenitore]+[c_tappo]+[c_etichetta])/"
                               "[d1]+[c_cartone]/[d2]+[c_altro_1]/[d3]+[c_altro_2]/[d4]+[c_"
                               "altro_3]/[d5]+[c_altro_4]/[d6]="),
                QStringLiteral("(") + c(0) + QStringLiteral(" + ") + c(1) + QStringLiteral(" + ") +
                    c(2) + QStringLiteral(") / ") + d(0) + QStringLiteral(" + ") + c(3) +
                    QStringLiteral(" / ") + d(1) + QStringLiteral(" + ") + c(4) +
                    QStringLiteral(" / ") + d(2) + QStringLiteral(" + ") + c(5) +
                    QStringLiteral(" / ") + d(3) + QStringLiteral(" + ") + c(6) +
                    QStringLiteral(" / ") + d(4) + QStringLiteral(" + ") + c(7) +
                    QStringLiteral(" / ") + d(5) + QStringLiteral(" = ") +
                    colonnaCorrente(QStringLiteral("COSTOCONTENITORE"))};
        });
    spiega(pulsante(QStringLiteral("COSTOMATERIALI")), QStringLiteral("Costo Unitario Prodotto"),
           [] {
               return QStringList{
                   QStringLiteral("Costo Unitario Prodotto = Costo RawMater + Costo Contenitore")};
           });
    spiega(ButtonPrezzoFinale, QStringLiteral("Prezzo al Kg / al Litro"), [] {
        return QStringList{
            QStringLiteral("Se check Prezzo al litro/Kg calcolato in base a PB attivato:"),
            QStringLiteral("se prezzo al Kg, Prezzo = PB/QP"),
            QStringLiteral("se prezzo al Lt, Prezzo = PB/QP * densità del prodotto")};
    });
    spiega(ButtonPrezzoPerConfezione, QStringLiteral("Prezzo per Confezione"), [] {
        return QStringList{
            QStringLiteral(
                "Prezzo per Confezione = Prezzo al Kg/al Litro x DivisoreConfezione (D1)"),
            QStringLiteral("D1 in caso di prodotto con Buste non è più il valore presentato nel "
                           "campo D1 ma il valore presente nel campo Valore C")};
    });
    spiega(ButtonCostoBaseUnitario, QStringLiteral("Costo Base Unitario"), [] {
        QStringList r{QStringLiteral("In caso di scheda primaria il TU viene calcolato in base ai "
                                     "paramentri settati nel Tipo Calc. TU:")};
        for (const QString& c : kCalcTU) {
            r << c;
        }
        r << QString()
          << QStringLiteral("In caso di scheda secondaria il TU viene calcolato in base alla "
                            "formula:")
          << QStringLiteral("Costo Base Unitario = TU = CM/QP + Cup");
        return r;
    });
    spiega(ButtonHelp1, QStringLiteral("Help1"), [] {
        return QStringList{QStringLiteral("Utilizza il totale dei costi base delle schede "
                                          "secondarie TotTS ed esegue la somma: CM + (CUP*QP) + "
                                          "TotTS")};
    });
    spiega(ButtonHelp2, QStringLiteral("Help2"), [] {
        return QStringList{QStringLiteral("Utilizza il totale dei costi base delle schede "
                                          "secondarie TotTS ed esegue la somma: CM + TotTS")};
    });
    spiega(ButtonHelp3, QStringLiteral("Help3"), [] {
        QStringList r{QStringLiteral("Calcolo dei Costo Base Unitario TU")};
        for (const QString& c : kCalcTU) {
            r << c;
        }
        return r;
    });
}

QWidget* TCostiForm::creaPaginaSchede() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("PaginaSchede"));
    GridSchede = new TCSDGrid(pagina);
    GridSchede->setObjectName(QStringLiteral("GridSchede"));
    configuraGriglia(GridSchede, 0, QString());
    GridSchede->collega(&QuerySchede, [this] {
        const QString codice = codiceCorrenteGriglia();
        // the link's own code: a link to a sheet since deleted still shows,
        // and can be taken off
        QStringList sql{QStringLiteral("SELECT A.CODICESCHEDASECONDARIA AS CODICE,B.DESCRIZIONE,"),
                        QStringLiteral("B.CODICEPRODOTTO,C.NOME,"),
                        QStringLiteral("B.COSTOBASE,B.COSTOBASEUNITARIO,A.COLLEGAMENTO,"),
                        QStringLiteral("B.COSTOBASEUNITARIO*A.COLLEGAMENTO AS COSTOUNITAVEND"),
                        QStringLiteral("FROM SCHEDE A LEFT JOIN COSTI B ON"),
                        QStringLiteral("(A.CODICESCHEDASECONDARIA=B.CODICE) LEFT JOIN PRODOT C ON"),
                        QStringLiteral("(B.CODICEPRODOTTO=C.CODICE)")};
        const auto n = Formati::leggiIntero(codice);
        sql << (n ? QStringLiteral("WHERE A.CODICESCHEDAPRIMARIA=") + sql::intero(*n)
                  : QStringLiteral("WHERE A.CODICESCHEDAPRIMARIA IS NULL"));
        sql << QStringLiteral("ORDER BY A.CODICESCHEDASECONDARIA");
        return sql;
    });
    ButtonAggiungiSchede =
        creaPulsante(QStringLiteral("A&ggiungi"), QStringLiteral("ButtonAggiungiSchede"), pagina);
    ButtonTogliSchede =
        creaPulsante(QStringLiteral("&Togli"), QStringLiteral("ButtonTogliSchede"), pagina);
    ButtonChiudiSchede =
        creaPulsante(QStringLiteral("Chiudi"), QStringLiteral("ButtonChiudiSchede"), pagina);
    EditTotCostiBase = valore(pagina, "EditTotCostiBase");
    EditTotCostiBaseUnitari = valore(pagina, "EditTotCostiBaseUnitari");
    EditTotCostiUnitaVend = valore(pagina, "EditTotCostiUnitaVend");
    auto* totali = new QHBoxLayout;
    for (auto [testo, e] :
         {std::pair{"Tot. TS", EditTotCostiBase}, std::pair{"Tot. TUS", EditTotCostiBaseUnitari},
          std::pair{"Tot. TVendS", EditTotCostiUnitaVend}}) {
        totali->addWidget(new QLabel(QString::fromLatin1(testo), pagina));
        totali->addWidget(e);
    }
    totali->addStretch();
    auto* bottoni = new QHBoxLayout;
    bottoni->addStretch();
    for (QPushButton* b : {ButtonAggiungiSchede, ButtonTogliSchede, ButtonChiudiSchede}) {
        bottoni->addWidget(b);
    }
    auto* v = new QVBoxLayout(pagina);
    v->addWidget(GridSchede, 1);
    v->addLayout(totali);
    v->addLayout(bottoni);
    connect(ButtonAggiungiSchede, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAggiungiSchedeClick(); }));
    connect(ButtonTogliSchede, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonTogliSchedeClick(); }));
    connect(ButtonChiudiSchede, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Pagina1); }));
    return pagina;
}

QList<QPushButton*> TCostiForm::pulsantiPagina(int pagina) {
    switch (pagina) {
    case Pagina1:
        return {ButtonNuovo, ButtonElimina, ButtonRicerche, ButtonCalcola, ButtonChiudi};
    case SchedeSecondarie:
        return {ButtonAggiungiSchede, ButtonTogliSchede, ButtonChiudiSchede};
    default:
        return SchedaAPagine::pulsantiPagina(pagina);
    }
}

bool TCostiForm::paginaConsentita(int pagina) {
    if (pagina == SchedeSecondarie &&
        colonnaCorrente(QStringLiteral("TIPOSCHEDA")) == QLatin1String("1")) {
        return false; // a secondary sheet has no secondary sheets
    }
    return SchedaAPagine::paginaConsentita(pagina);
}

void TCostiForm::paginaMostrata(int pagina) {
    if (pagina == SchedeSecondarie) {
        riapriSchede();
    } else {
        try {
            QuerySchede.close();
        } catch (const DbError&) {
        }
    }
    if (pagina == Pagina1) {
        TimerCodice->stop();
        TimerCodice->start();
    }
}

QLineEdit* TCostiForm::campo(const QString& colonna) const {
    return qobject_cast<QLineEdit*>(consultazione(colonna));
}

QPushButton* TCostiForm::pulsante(const QString& colonna) const {
    for (const CampoScheda& c : descrizione().campi) {
        if (c.colonna == colonna) {
            return PaginaConsultazione->findChild<QPushButton*>(c.pulsante);
        }
    }
    return nullptr;
}

QString TCostiForm::colonnaCorrente(const QString& colonna) const {
    if (listaVuota() || !Griglia->currentIndex().isValid() ||
        Griglia->modello()->indiceCampo(colonna) < 0) {
        return {};
    }
    return Griglia->campoCorrente(colonna).asString();
}

double TCostiForm::numeroCorrente(const QString& colonna) const {
    if (listaVuota() || !Griglia->currentIndex().isValid() ||
        Griglia->modello()->indiceCampo(colonna) < 0) {
        return 0;
    }
    return Griglia->campoCorrente(colonna).asFloat();
}

// ------------------------------------------------------------------ the current sheet

void TCostiForm::rigaCambiata() {
    TimerCodice->stop();
    LabelAvviso->hide();
    ImageAvviso->hide();
    EditPrezzoFinale->clear();
    EditPrezzoPerConfezione->clear();
    for (QLineEdit* e :
         {EditCostoBaseUnitario, EditCostiGeneraliUnitari, EditCostoTotaleUnitario,
          EditPrezzoBaseUnitario, EditCostoTrasportoUnitario, EditCostoConTrasportoUnitario}) {
        e->clear();
    }
    vista_.reset();
    formattaCampi();
    // moved onto a secondary sheet from its secondary sheets' page: back to
    // the first page before the tab goes (the tab set would pick another)
    if (paginaCorrente() == SchedeSecondarie &&
        colonnaCorrente(QStringLiteral("TIPOSCHEDA")) == QLatin1String("1")) {
        mostraPagina(Pagina1);
    }
    SettaForm();
    // the product's name follows its code even when the code did not change
    StaticDescrizioneProdotto->clear();
    TimerProd->stop();
    TimerProd->start();
    TimerCodice->start();
    if (paginaCorrente() == SchedeSecondarie) {
        riapriSchede();
    }
}

void TCostiForm::formattaCampi() {
    const bool riga = !listaVuota() && Griglia->currentIndex().isValid();
    for (const QString& colonna : kQuattroDecimali + kSeiDecimali) {
        if (!riga) {
            continue;
        }
        const Campo c = Griglia->campoCorrente(colonna);
        campo(colonna)->setText(
            c.isNull() ? QString()
                       : raggruppato(c.asFloat(), kSeiDecimali.contains(colonna) ? 6 : 4));
    }
}

void TCostiForm::SettaForm() {
    const bool secondaria = colonnaCorrente(QStringLiteral("TIPOSCHEDA")) == QLatin1String("1");
    const bool vuota = listaVuota();
    StaticTipoScheda->setText(vuota        ? QString()
                              : secondaria ? QStringLiteral("SECONDARIA")
                                           : QStringLiteral("PRIMARIA"));
    const int tipoT = colonnaCorrente(QStringLiteral("TIPOCOMPOSIZIONE")).toInt();
    const int tipoTU = colonnaCorrente(QStringLiteral("TIPOCALCUNITARIO")).toInt();
    const bool altriPrezzi = colonnaCorrente(QStringLiteral("TIPOCALCOLOPREZZO")) == "1";
    auto* labelBase = PaginaConsultazione->findChild<QLabel*>(QStringLiteral("LabelCostoBase"));
    labelBase->setText(
        secondaria   ? QStringLiteral("= CM + (CUP x QP)")
        : tipoT == 1 ? QStringLiteral("= CM + costi T delle schede secondarie")
                     : QStringLiteral("= CM + ( CUP x QP ) + costi T delle schede secondarie"));
    auto mostraRiga = [this](const QString& colonna, bool visibile) {
        pulsante(colonna)->setVisible(visibile);
        campo(colonna)->setVisible(visibile);
        for (const Cifra& c : kCifre) {
            if (colonna == QLatin1String(c.colonna) && c.formula) {
                PaginaConsultazione
                    ->findChild<QLabel*>(QStringLiteral("Label") + QString::fromLatin1(c.nome))
                    ->setVisible(visibile);
            }
        }
    };
    for (const QString& c : kSoloPrimaria) {
        mostraRiga(c, !secondaria);
    }
    for (const QString& c : kAltriPrezzi) {
        mostraRiga(c, !secondaria && altriPrezzi);
    }
    QList<QWidget*> primaria{ButtonTipoCalcT,
                             ButtonTipoCalcTU,
                             ButtonMostraPrezzi,
                             CheckMostraPrezzi,
                             ButtonHelp1,
                             ButtonHelp2,
                             ButtonHelp3,
                             ButtonPrezzoFinale,
                             EditPrezzoFinale,
                             ButtonPrezzoPerConfezione,
                             EditPrezzoPerConfezione,
                             EditPrezzoBaseUnitario,
                             EditCostoTrasportoUnitario,
                             EditCostoConTrasportoUnitario};
    for (const char* n :
         {"ButtonPrezzoBaseUnitario", "ButtonCostoTrasportoUnitario",
          "ButtonCostoConTrasportoUnitario", "LabelTipoCalcT1", "LabelTipoCalcT2"}) {
        primaria << PaginaConsultazione->findChild<QWidget*>(QString::fromLatin1(n));
    }
    for (QRadioButton* r : RadioTipoCalcT + RadioTipoCalcTU) {
        primaria << r;
    }
    for (QWidget* w : primaria) {
        if (w) {
            w->setVisible(!secondaria);
        }
    }
    RadioTipoCalcT.value(tipoT == 1 ? 1 : 0)->setChecked(true);
    RadioTipoCalcTU.value(tipoTU >= 0 && tipoTU <= 3 ? tipoTU : 0)->setChecked(true);
    CheckMostraPrezzi->setChecked(altriPrezzi);
    TabSet->setTabEnabled(SchedeSecondarie, !secondaria);
}

void TCostiForm::leggiProdotto() {
    TimerProd->stop();
    const QString prodotto = EditCodiceProdotto->text();
    QString nome;
    QString unita;
    QueryAux3.SQL = {QStringLiteral("SELECT NOME,UNITAVENDITA FROM PRODOT WHERE"),
                     prodotto.isEmpty() ? QStringLiteral("CODICE IS NULL")
                                        : QStringLiteral("CODICE=?")};
    QueryAux3.clearParams();
    if (!prodotto.isEmpty()) {
        QueryAux3.addParam(prodotto);
    }
    try {
        TransazioneControllo.restart();
        QueryAux3.open();
        if (!QueryAux3.eof()) {
            nome = QueryAux3[QStringLiteral("NOME")].asString();
            unita = QueryAux3[QStringLiteral("UNITAVENDITA")].asString();
        }
        QueryAux3.close();
    } catch (const DbError& e) {
        QueryAux3.clearParams();
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    QueryAux3.clearParams();
    StaticDescrizioneProdotto->setText(nome);
    StaticDescrizioneProdotto->setCursorPosition(0);
    // another unit of sale keeps neither caption: the previous sheet's would
    // name the wrong unit
    ButtonPrezzoFinale->setText(unita == QLatin1String("Kg") ? QStringLiteral("Prezzo al Kg")
                                : unita == QLatin1String("Litro")
                                    ? QStringLiteral("Prezzo al Litro")
                                    : QStringLiteral("Prezzo al Kg/al litro"));
}

void TCostiForm::aggiornaVista() {
    TimerCodice->stop();
    const auto codice = Formati::leggiIntero(codiceCorrenteGriglia());
    std::optional<costi::VistaScheda> v;
    if (codice) {
        try {
            v = costi::CalcolaCostiUnitari(sessione_->IBDatabase1, int(*codice));
        } catch (const DbError& e) {
            Messaggi::errore(e.messaggio(), this);
        } catch (const sql::ValoreNonValido& e) {
            Messaggi::errore(e.valore, this);
        }
    }
    vista_ = v;
    auto testo = [](const std::optional<double>& d) {
        return d ? costi::testoUnitario(*d) : QString();
    };
    const costi::ValoriUnitari u = v ? v->unitari : costi::ValoriUnitari{};
    EditCostoBaseUnitario->setText(v ? testo(u.costoBaseUnitario) : QString());
    EditCostiGeneraliUnitari->setText(v ? testo(u.costiGeneraliUnitari) : QString());
    EditCostoTotaleUnitario->setText(v ? testo(u.costoTotaleUnitario) : QString());
    EditPrezzoBaseUnitario->setText(v ? testo(u.prezzoBaseUnitario) : QString());
    EditCostoTrasportoUnitario->setText(v ? testo(u.costoTrasportoUnitario) : QString());
    EditCostoConTrasportoUnitario->setText(v ? testo(u.costoConTrasportoUnitario) : QString());
    EditTotCostiBase->setText(v ? costi::testoPrezzo(v->somme.costiBase) : QString());
    EditTotCostiBaseUnitari->setText(v ? costi::testoPrezzo(v->somme.costiBaseUnitari) : QString());
    EditTotCostiUnitaVend->setText(v ? costi::testoPrezzo(v->somme.costiUnitariVendita)
                                     : QString());
    // the prices belong to "Pagina 1"
    const bool prezzi = v && v->prezzi && paginaCorrente() == Pagina1;
    EditPrezzoFinale->setText(prezzi ? costi::testoPrezzo(v->prezzi->prezzoUnitaVendita)
                                     : QString());
    EditPrezzoPerConfezione->setText(prezzi ? costi::testoPrezzo(v->prezzi->prezzoConfezione)
                                            : QString());
    const bool avviso = v && v->imballoVariato;
    LabelAvviso->setVisible(avviso);
    ImageAvviso->setVisible(avviso);
}

void TCostiForm::riapriSchede() {
    riapriQuery(QuerySchede);
}

void TCostiForm::mostraScheda(const QString& codice) {
    try {
        QuerySchede.close();
    } catch (const DbError&) {
    }
    rileggi(codice);
    if (paginaCorrente() == SchedeSecondarie) {
        riapriSchede();
    }
    aggiornaVista();
}

void TCostiForm::CalcolaTotali(const QString& codice) {
    CodiceCorrente = codice;
    if (const auto n = Formati::leggiIntero(codice)) {
        try {
            if (!costi::CalcolaTotali(sessione_->IBDatabase1, int(*n))) {
                Messaggi::avviso(QStringLiteral("Il record selezionato è già stato cancellato da "
                                                "un altro utente"),
                                 this);
            }
        } catch (const costi::DatiMancanti& e) {
            Messaggi::avviso(e.testo(), this);
        } catch (const DbError&) {
            Messaggi::errore(kErroreRicalcolo, this);
        } catch (const sql::ValoreNonValido&) {
            Messaggi::errore(kErroreRicalcolo, this);
        }
    }
    mostraScheda(codice);
}

void TCostiForm::nuovaLettura() {
    // a write on an old snapshot would conflict with what others committed
    // since: every write starts from a fresh transaction
    QuerySchede.close();
    QueryPrincipale.close();
    TransazionePrincipale.restart();
}

bool TCostiForm::scrivi(const QStringList& frase, const std::vector<QVariant>& valori,
                        const QString& messaggio, bool unaRiga) {
    QueryAux.SQL = frase;
    QueryAux.setParams(valori);
    try {
        nuovaLettura();
        const int n = QueryAux.execSQL();
        QueryAux.clearParams();
        if (unaRiga && n != 1) {
            throw DbError(QStringLiteral("Il record non esiste più"));
        }
        TransazionePrincipale.commitRetaining();
    } catch (const DbError& e) {
        QueryAux.clearParams();
        TransazionePrincipale.rollbackRetainingNoThrow();
        Messaggi::errore(messaggio.isEmpty() ? QStringLiteral("Errore interno: ") + e.messaggio()
                                             : messaggio,
                         this);
        mostraScheda(CodiceCorrente);
        return false;
    }
    return true;
}

bool TCostiForm::aggiorna(const QString& assegnazione, const std::vector<QVariant>& valori,
                          const QString& messaggio) {
    std::vector<QVariant> p = valori;
    p.emplace_back(CodiceCorrente);
    return scrivi(
        {QStringLiteral("UPDATE COSTI SET ") + assegnazione, QStringLiteral("WHERE CODICE=?")}, p,
        messaggio, true);
}

void TCostiForm::mostraInfo(const QString& titolo, const QStringList& righe) {
    TMemoForm::mostra(this, titolo + QStringLiteral(" - Ditta: ") + sessione_->Ditta,
                      righe.join('\n'));
}

// ------------------------------------------------------------------ commands

void TCostiForm::ButtonNuovoCostiClick() {
    TInCostiForm dialogo(sessione_, this);
    dialogo.setWindowIcon(windowIcon());
    if (Messaggi::esegui(&dialogo) != kRisultatoOK) {
        return;
    }
    QString codice;
    const QString prima = codiceCorrenteGriglia(); // shown again when the insert fails
    try {
        QuerySchede.close();
        // the code is taken where the sheet is written: a code another user
        // takes meanwhile makes the insert start again on a new one
        scriviSuDatiCorrenti(
            [&] {
                QueryAux.clearParams(); // what a first attempt left bound
                codice = nuovoCodiceCalcolato(QueryAux);
                auto numero = [](const QLineEdit* e) {
                    const QString t = sql::numero(e->text()); // refuses what is not a number
                    return t == QLatin1String("NULL") ? QVariant()
                                                      : QVariant(t.mid(1, t.size() - 2));
                };
                auto testo = [](const QString& t) {
                    return t.isEmpty() ? QVariant() : QVariant(sql::senzaApici(t));
                };
                QueryAux.SQL = {
                    QStringLiteral("INSERT INTO COSTI (CODICE,DESCRIZIONE,CODICEPRODOTTO,"),
                    QStringLiteral("QUANTITADAPRODURRE,CODICERIEMPITRICE,TEMPOPRODUZIONE,"),
                    QStringLiteral("TEMPOAVVIO,TEMPOCONTROLLOQUALITA,TIPOCOMPOSIZIONE,"),
                    QStringLiteral("TEMPOCONFEZ,TIPOSCHEDA) VALUES (?,?,?,?,?,?,?,?,'0',?,?)")};
                QueryAux.setParams(
                    {codice, testo(dialogo.EditDescrizione->text()),
                     testo(dialogo.EditCodiceProdotto->text()),
                     numero(dialogo.EditQuantitaDaProdurre), testo(dialogo.codiceRiempitrice()),
                     numero(dialogo.EditTempoProduzione), numero(dialogo.EditTempoAvvio),
                     numero(dialogo.EditTempoControlloQualita),
                     numero(dialogo.EditTempoConfezionamento),
                     QVariant(dialogo.secondaria() ? 1 : 0)});
                QueryAux.execSQL();
                // links an older deletion left behind under this code would make the
                // new sheet join another sheet's totals: they go with its insert
                QueryAux.SQL = {
                    QStringLiteral("DELETE FROM SCHEDE"),
                    QStringLiteral("WHERE (CODICESCHEDAPRIMARIA=?)OR(CODICESCHEDASECONDARIA=?)")};
                QueryAux.setParams({codice, codice});
                QueryAux.execSQL();
                QueryAux.clearParams();
            },
            false);
    } catch (const DbError&) {
        QueryAux.clearParams();
        Messaggi::errore(kErroreInserimento, this);
        mostraScheda(prima);
        return;
    } catch (const sql::ValoreNonValido&) {
        QueryAux.clearParams();
        Messaggi::errore(kErroreInserimento, this);
        mostraScheda(prima);
        return;
    }
    CalcolaTotali(codice);
}

void TCostiForm::eliminaRecord(const QString& codice) {
    // the links go with the sheet, in both directions
    QueryAux.SQL = {QStringLiteral("DELETE FROM SCHEDE"),
                    QStringLiteral("WHERE (CODICESCHEDAPRIMARIA=?)OR(CODICESCHEDASECONDARIA=?)")};
    QueryAux.setParams({codice, codice});
    try {
        QueryAux.execSQL();
        QueryAux.SQL = {QStringLiteral("DELETE FROM COSTI WHERE CODICE=?")};
        QueryAux.setParams({codice});
        const int n = QueryAux.execSQL();
        QueryAux.clearParams();
        if (n != 1) {
            throw DbError(QStringLiteral("Il record non esiste più"));
        }
    } catch (...) {
        QueryAux.clearParams();
        throw;
    }
}

void TCostiForm::ButtonEliminaCostiClick() {
    const QString codice = codiceCorrenteGriglia();
    // the primary sheets that include this one are priced again once it is gone
    QStringList primarie;
    if (!codice.isEmpty()) {
        try {
            QueryAux2.SQL = {QStringLiteral("SELECT CODICESCHEDAPRIMARIA FROM SCHEDE"),
                             QStringLiteral("WHERE CODICESCHEDASECONDARIA=?"),
                             QStringLiteral("ORDER BY CODICESCHEDAPRIMARIA")};
            QueryAux2.setParams({codice});
            TransazioneControllo.restart();
            primarie = QueryAux2.primaColonna();
            QueryAux2.clearParams();
        } catch (const DbError& e) {
            QueryAux2.clearParams();
            Messaggi::errore(e.messaggio(), this);
            return;
        }
    }
    try {
        QuerySchede.close();
    } catch (const DbError&) {
    }
    SchedaBase::ButtonEliminaClick();
    bool eliminata = false;
    if (!codice.isEmpty()) {
        try {
            QueryAux2.SQL = {QStringLiteral("SELECT COUNT(*) FROM COSTI WHERE CODICE=?")};
            QueryAux2.setParams({codice});
            TransazioneControllo.restart();
            eliminata = QueryAux2.scalar().toInt() == 0;
            QueryAux2.clearParams();
        } catch (const DbError& e) {
            QueryAux2.clearParams();
            Messaggi::errore(e.messaggio(), this);
        }
    }
    if (!eliminata) {
        return;
    }
    for (const QString& p : primarie) {
        try {
            costi::CalcolaTotali(sessione_->IBDatabase1, p.toInt());
        } catch (const costi::DatiMancanti& e) {
            Messaggi::avviso(e.testo(), this);
        } catch (const DbError&) {
            Messaggi::errore(kErroreRicalcolo, this);
        } catch (const sql::ValoreNonValido&) {
            Messaggi::errore(kErroreRicalcolo, this);
        }
    }
    mostraScheda(codiceCorrenteGriglia());
}

void TCostiForm::ButtonCalcolaClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Inserire prima un record"), this);
        return;
    }
    CodiceCorrente = EditCodice->text();
    if (!Messaggi::conferma(QStringLiteral("Effettuare un ricalcolo?"), this)) {
        return;
    }
    CalcolaTotali(CodiceCorrente);
}

void TCostiForm::ButtonCampoClick(const QString& colonna) {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Premere Nuovo per inserire un record"), this);
        return;
    }
    QString didascalia;
    for (const auto& [c, d] : kDialoghi) {
        if (c == colonna) {
            didascalia = d;
        }
    }
    const bool descrizione = colonna == QLatin1String("DESCRIZIONE");
    // the value as stored, never as the page groups it
    const QString attuale = colonnaCorrente(colonna);
    TKyvIn1Form f(this);
    f.setWindowTitle(didascalia);
    f.Label1->setText(QStringLiteral("Inserisci il nuovo valore"));
    if (descrizione) {
        if (const int n = lunghezzaColonna(colonna); n > 0) {
            f.Edit1->setMaxLength(n);
        }
    }
    f.Edit1->setText(attuale);
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return;
    }
    const QString nuovo = f.Edit1->text();
    QVariant v;
    if (descrizione) {
        if (nuovo == attuale) {
            return;
        }
        v = nuovo.isEmpty() ? QVariant() : QVariant(sql::senzaApici(nuovo));
    } else {
        // the decimal comma only: "1.500" is never read as 1500
        const auto n = nuovo.contains('.') ? std::nullopt : Formati::leggiNumero(nuovo);
        if (!nuovo.trimmed().isEmpty() && !n) {
            Messaggi::avviso(
                QStringLiteral("Specificare un valore numerico valido per \"%1\"").arg(didascalia),
                this);
            return;
        }
        const auto prima = Formati::leggiNumero(attuale);
        if (n == prima) {
            return;
        }
        v = n ? QVariant(*n) : QVariant();
    }
    CodiceCorrente = codiceCorrenteGriglia();
    if (!aggiorna(colonna + QStringLiteral("=?"), {v}, kErroreValore)) {
        return;
    }
    if (descrizione) {
        mostraScheda(CodiceCorrente);
    } else {
        CalcolaTotali(CodiceCorrente);
    }
}

void TCostiForm::ButtonCodiceProdottoClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Premere Nuovo per inserire un record"), this);
        return;
    }
    const auto scelta = TProdottiForm::scegli(sessione_, this, EditCodiceProdotto->text());
    if (!scelta) {
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    if (aggiorna(QStringLiteral("CODICEPRODOTTO=?"), {scelta->codice}, kErroreValore)) {
        CalcolaTotali(CodiceCorrente);
    }
}

void TCostiForm::ButtonCostoRawmaterClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Non è presente nessun record"), this);
        return;
    }
    const QString prodotto = colonnaCorrente(QStringLiteral("CODICEPRODOTTO"));
    if (prodotto.isEmpty()) {
        Messaggi::informazione(QStringLiteral("Non è specificato nessun codice prodotto"), this);
        return;
    }
    QString formulazione;
    QueryAux2.SQL = {QStringLiteral("SELECT CODICEFORMULAZIONE FROM PRODOT"),
                     QStringLiteral("WHERE CODICE=?")};
    QueryAux2.setParams({prodotto});
    QStringList righe;
    try {
        TransazioneControllo.restart();
        righe = QueryAux2.primaColonna();
        QueryAux2.clearParams();
    } catch (const DbError& e) {
        QueryAux2.clearParams();
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    if (righe.isEmpty()) {
        Messaggi::informazione(QStringLiteral("Il prodotto %1 non esiste più").arg(prodotto), this);
        return;
    }
    formulazione = righe.first();
    // the card on the formulation's components, to look at only
    auto* f = new TFormulForm(sessione_, this);
    f->riapriSuCodice(formulazione);
    if (formulazione.isEmpty() || f->codiceCorrenteGriglia() != formulazione) {
        f->close();
        delete f;
        Messaggi::informazione(
            formulazione.isEmpty()
                ? QStringLiteral("Il prodotto non ha una formulazione")
                : QStringLiteral("La formulazione %1 del prodotto %2 non esiste più")
                      .arg(formulazione, prodotto),
            this);
        return;
    }
    f->mostraPagina(1); // "Componenti"
    f->Griglia->setEnabled(false);
    f->TabSet->setEnabled(false);
    if (auto* n = f->Testata->findChild<QWidget*>(QStringLiteral("PanelTestataNavigator"))) {
        n->setEnabled(false);
    }
    PaginaRighe* p = f->PaginaComponenti;
    for (QPushButton* b : {p->ButtonNuovo, p->ButtonEdit, p->ButtonElimina}) {
        b->setEnabled(false);
    }
    p->ButtonChiudi->disconnect();
    connect(p->ButtonChiudi, &QPushButton::clicked, f, [f] { f->chiudiRicerca(false); });
    f->eseguiComeRicerca(this, QStringLiteral("FormulDialogo"));
    f->close();
    delete f;
}

void TCostiForm::ButtonCoefficientiClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Inserire prima un record"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    auto coefficiente = [this](const char* c) -> std::optional<double> {
        const Campo v = Griglia->campoCorrente(QString::fromLatin1(c));
        return v.isNull() ? std::nullopt : std::optional<double>(v.asFloat());
    };
    const std::optional<double> letti[] = {
        coefficiente("COEFFRICARICO"), coefficiente("COEFFAGENTE"), coefficiente("COEFFSCONTO")};
    TCParForm f(sessione_, nullptr);
    f.ImpostaSoloCoefficienti(letti[0], letti[1], letti[2]);
    if (f.eseguiCoefficienti(this) != kRisultatoOK) {
        return;
    }
    const auto c = f.Coefficienti();
    // only on the sheet as shown: when another user changed a coefficient
    // since, nothing is written and the sheet is shown as it stands
    auto letto = [](std::optional<double> v) { return v ? QVariant(*v) : QVariant(); };
    if (scrivi(
            {QStringLiteral("UPDATE COSTI SET COEFFRICARICO=?,COEFFAGENTE=?,COEFFSCONTO=?"),
             QStringLiteral("WHERE CODICE=? AND COEFFRICARICO IS NOT DISTINCT FROM ?"),
             QStringLiteral("AND COEFFAGENTE IS NOT DISTINCT FROM ?"),
             QStringLiteral("AND COEFFSCONTO IS NOT DISTINCT FROM ?")},
            {c[0], c[1], c[2], CodiceCorrente, letto(letti[0]), letto(letti[1]), letto(letti[2])},
            QStringLiteral("Errore interno: impossibile memorizzare i valori impostati"), true)) {
        CalcolaTotali(CodiceCorrente);
    }
}

// A calculation type chosen in its dialog, written and recalculated.
template <typename Dialogo> void TCostiForm::scegliTipo(const QString& colonna) {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Inserire prima un record"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    Dialogo f(this);
    f.impostaIndice(colonnaCorrente(colonna).toInt());
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return;
    }
    if (aggiorna(colonna + QStringLiteral("=?"), {f.indice()}, kErroreValore)) {
        CalcolaTotali(CodiceCorrente);
    }
}

void TCostiForm::ButtonTipoCalcTClick() {
    scegliTipo<TCostiTipoCalcoloTForm>(QStringLiteral("TIPOCOMPOSIZIONE"));
}

void TCostiForm::ButtonTipoCalcTUClick() {
    scegliTipo<TCostiTipoCalcTUForm>(QStringLiteral("TIPOCALCUNITARIO"));
}

void TCostiForm::ButtonMostraPrezziClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Inserire prima un record"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    const bool attivo = CheckMostraPrezzi->isChecked();
    if (!Messaggi::conferma(attivo
                                ? QStringLiteral("Togliere il check per mostrare gli altri prezzi?")
                                : QStringLiteral("Settare il check per mostrare gli altri prezzi?"),
                            this)) {
        return;
    }
    if (aggiorna(QStringLiteral("TIPOCALCOLOPREZZO=?"), {attivo ? 0 : 1}, kErroreValore)) {
        CalcolaTotali(CodiceCorrente);
    }
}

void TCostiForm::ButtonAggiungiSchedeClick() {
    if (listaVuota()) {
        Messaggi::informazione(QStringLiteral("Inserire prima un record in Pagina 1"), this);
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    const auto secondaria = TRSchedeForm::scegli(sessione_, this);
    if (!secondaria) {
        return;
    }
    if (!scrivi({QStringLiteral("INSERT INTO SCHEDE (CODICESCHEDAPRIMARIA,"),
                 QStringLiteral("CODICESCHEDASECONDARIA,COLLEGAMENTO) VALUES(?,?,'1')")},
                {CodiceCorrente, *secondaria}, kErroreInserimento)) {
        return;
    }
    CalcolaTotali(CodiceCorrente);
    // the sheet just linked becomes the current row
    GrigliaModello* m = GridSchede->modello();
    const int colonna = m->indiceCampo(QStringLiteral("CODICE"));
    for (int r = 0; colonna >= 0 && r < m->rowCount(); ++r) {
        if (m->campo(r, colonna).asString() == *secondaria) {
            GridSchede->setCurrentIndex(m->index(r, 0));
            break;
        }
    }
}

void TCostiForm::ButtonTogliSchedeClick() {
    if (!QuerySchede.isOpen() || GridSchede->modello()->rowCount() == 0) {
        Messaggi::informazione(QStringLiteral("Nessuna scheda presente"), this);
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Togliere la scheda selezionata?"), this)) {
        return;
    }
    CodiceCorrente = codiceCorrenteGriglia();
    const QString secondaria = GridSchede->campoCorrente(QStringLiteral("CODICE")).asString();
    const int riga = GridSchede->currentIndex().row();
    if (!scrivi({QStringLiteral("DELETE FROM SCHEDE WHERE"),
                 QStringLiteral("(CODICESCHEDAPRIMARIA=?)AND"),
                 QStringLiteral("(CODICESCHEDASECONDARIA=?)")},
                {CodiceCorrente, secondaria}, {})) {
        return;
    }
    CalcolaTotali(CodiceCorrente);
    const int n = GridSchede->modello()->rowCount();
    if (n > 0) {
        GridSchede->setCurrentIndex(GridSchede->modello()->index(std::min(riga, n - 1), 0));
    }
}

void TCostiForm::closeEvent(QCloseEvent* e) {
    TimerCodice->stop();
    TimerProd->stop();
    SchedaAPagine::closeEvent(e);
    if (e->isAccepted()) {
        try {
            QuerySchede.close();
        } catch (const DbError&) {
        }
    }
}

} // namespace quintar
