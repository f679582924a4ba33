#include "formulation/formul.h"

#include "master/mater.h"
#include "master/prodotti.h"
#include "report/stampascheda.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"
#include "ui/ricerca.h"
#include "ui/righe.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

namespace quintar {

namespace {

enum Pagina { Principale, Componenti, Procedure, Ricerche, Storico };

const QString kStorico = QStringLiteral("STOFORMULRIEP");

// The header columns a version copies, as they stand in STOFORMUL.
const QStringList kColonneStoFormul = {
    QStringLiteral("CODICE"),
    QStringLiteral("NOME"),
    QStringLiteral("SPECIFICHE"),
    QStringLiteral("EDIZIONE"),
    QStringLiteral("REVISIONE"),
    QStringLiteral("DATAULTIMAREVISIONE"),
    QStringLiteral("RESPONSABILE"),
    QStringLiteral("DENSITA"),
    QStringLiteral("TOLLERANZADENSITA"),
    QStringLiteral("PH"),
    QStringLiteral("TOLLERANZAPH"),
    QStringLiteral("VISCOSO"),
    QStringLiteral("MANODOPERA"),
    QStringLiteral("POLVERE"),
    QStringLiteral("CODICEADR"),
    QStringLiteral("COSTOUNITARIO"),
    QStringLiteral("SCAGLIONE1"),
    QStringLiteral("SCAGLIONE2"),
    QStringLiteral("TEMPO1"),
    QStringLiteral("TEMPO2"),
    QStringLiteral("TEMPO3"),
    QStringLiteral("MESIDURATAPRODOTTO"),
    QStringLiteral("SOSTANZEADR"),
    QStringLiteral("GRUPPOADR"),
    QStringLiteral("SEMILAVORATOCOLLEGATO"),
};

CampoScheda numero(const char* colonna, const char* didascalia, const char* pulsante,
                   const char* editazione, const char* consultazione) {
    CampoScheda c = campoScheda(colonna, didascalia, pulsante, editazione, consultazione,
                                Controllo::Edit, TipoValore::Numero);
    c.messaggioNonValido = QStringLiteral("Specificare un valore numerico valido per \"%1\"")
                               .arg(QString::fromUtf8(didascalia));
    return c;
}

std::vector<CampoScheda> campiFormulazione() {
    std::vector<CampoScheda> c;
    c.push_back(campoScheda("NOME", "Nome", "ButtonNome", "EditNome", "EditNome2"));
    c.push_back(campoScheda("SPECIFICHE", "Specifiche", "ButtonSpecifiche", "EditSpecifiche",
                            "EditSpecifiche2"));
    c.push_back(
        campoScheda("EDIZIONE", "Edizione", "ButtonEdizione", "EditEdizione", "EditEdizione2"));
    c.push_back(campoScheda("REVISIONE", "Revisione", "ButtonRevisione", "EditRevisione",
                            "EditRevisione2"));
    c.push_back(campoScheda("DATAULTIMAREVISIONE", "Data revis.", "ButtonDataUltimaRevisione",
                            "EditDataUltimaRevisione", "EditDataUltimaRevisione2", Controllo::Edit,
                            TipoValore::Data, "Specificare una data valida per \"Data revis.\""));
    c.push_back(numero("SCAGLIONE1", "Scaglione 1", "ButtonScaglione1", "EditScaglione1",
                       "EditScaglione1_2"));
    c.push_back(numero("TEMPO1", "Tempo 1", "ButtonTempo1", "EditTempo1", "EditTempo1_2"));
    c.push_back(numero("SCAGLIONE2", "Scaglione 2", "ButtonScaglione2", "EditScaglione2",
                       "EditScaglione2_2"));
    c.push_back(numero("TEMPO2", "Tempo 2", "ButtonTempo2", "EditTempo2", "EditTempo2_2"));
    c.push_back(numero("TEMPO3", "Tempo 3", "ButtonTempo3", "EditTempo3", "EditTempo3_2"));
    c.push_back(numero("PH", "pH", "ButtonPH", "EditPH", "EditPH2"));
    c.push_back(numero("TOLLERANZAPH", "+/-", "ButtonApprPH", "EditApprPH", "EditApprPH2"));
    c.push_back(numero("DENSITA", "Kg/L", "ButtonDensita", "EditDensita", "EditDensita2"));
    c.push_back(numero("TOLLERANZADENSITA", "+/- %", "ButtonApprPercDensita", "EditApprPercDensita",
                       "EditApprPercDensita2"));
    c.push_back(campoScheda("POLVERE", "Polvere", "ButtonPolvere", "CheckPolvere", "CheckPolvere2",
                            Controllo::Check, TipoValore::Flag));
    c.push_back(campoScheda("VISCOSO", "Viscoso", "ButtonViscoso", "CheckViscoso", "CheckViscoso2",
                            Controllo::Check, TipoValore::Flag));
    c.push_back(campoScheda("CODICEADR", "Codice A.D.R.", "ButtonCodiceADR", "ComboCodiceADR",
                            "EditCodiceADR2", Controllo::Combo));
    CampoScheda classe = campoScheda("ADR2017.CLASSE", "Classe A.D.R.", "ButtonClasseADR",
                                     "StaticClasseADR", "StaticClasseADR2");
    classe.memorizzato = false;
    c.push_back(classe);
    CampoScheda descrizione =
        campoScheda("ADR2017.DESCRIZIONE", "Descrizione A.D.R.", "ButtonDescrizioneADR",
                    "StaticDescrizioneADR", "StaticDescrizioneADR2");
    descrizione.memorizzato = false;
    c.push_back(descrizione);
    CampoScheda gruppo = campoScheda("GRUPPOADR", "Gruppo A.D.R.", "ButtonGruppoADR",
                                     "ComboGruppoADR", "EditGruppoADR2", Controllo::Combo);
    gruppo.voci = {QString(), QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III")};
    c.push_back(gruppo);
    CampoScheda sostanze = campoScheda("SOSTANZEADR", "Sostanze A.D.R.", "ButtonSostanzeADR",
                                       "MemoSostanzeADR", "MemoSostanzeADR2", Controllo::Memo);
    sostanze.lunghezza = 128;
    c.push_back(sostanze);
    CampoScheda mesi = campoScheda(
        "MESIDURATAPRODOTTO", "Mesi durata prodotto", "ButtonMesiDurataProdotto",
        "EditMesiDurataProdotto", "EditMesiDurataProdotto2", Controllo::Edit, TipoValore::Intero,
        "Specificare un valore numerico valido per \"Mesi durata prodotto\"");
    c.push_back(mesi);
    CampoScheda semilavorato =
        campoScheda("SEMILAVORATOCOLLEGATO", "Semilavorato", "ButtonSemilavorato",
                    "EditSemiLavorato", "EditSemiLavorato2");
    semilavorato.descrizioneEditazione = QStringLiteral("StaticSemilavorato");
    semilavorato.descrizioneConsultazione = QStringLiteral("StaticSemilavorato2");
    c.push_back(semilavorato);
    CampoScheda costo = campoScheda("COSTOUNITARIO", "Costo rawmater", "ButtonCostoRawmater",
                                    "EditCostoRawmater", "EditCostoRawmater2");
    costo.memorizzato = false; // kept by the component lines, never typed
    c.push_back(costo);
    return c;
}

QPushButton* pulsante(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* totale(const char* nome, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(nome));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}

} // namespace

QString senzaSpaziFinali(QString codice) {
    // codes compare as the archive compares them: trailing blanks do not count
    while (codice.endsWith(' ')) {
        codice.chop(1);
    }
    return codice;
}

QString formatoCosto(double v) {
    return Formati::numeroConMigliaia(v, 4);
}

TFormulForm::TFormulForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
          sessione,
          {.tabella = QStringLiteral("FORMUL"),
           .nome = QStringLiteral("Formul"),
           .didascalia = QStringLiteral("Scheda formulazioni - Ditta:"),
           .situazioneFinestra = 6,
           .situazioneGriglia = 9,
           .nuovoCodice = NuovoCodice::Digitato,
           .titoloNuovo = QStringLiteral("Nuova formulazione"),
           .etichettaNuovo = QStringLiteral("Codice formulazione:"),
           .campoChiave = {QStringLiteral("CODICE"), QStringLiteral("PO"),
                           QStringLiteral("ButtonCodice"), QStringLiteral("EditCodice"),
                           QStringLiteral("EditCodice2")},
           .campi = campiFormulazione(),
           .controlliProfilo =
               {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonEdit"),
                QStringLiteral("ButtonElimina"), QStringLiteral("ButtonDuplica"),
                QStringLiteral("ButtonNuovoCompon"), QStringLiteral("ButtonEditCompon"),
                QStringLiteral("ButtonEliminaCompon"), QStringLiteral("ButtonNuovoProced"),
                QStringLiteral("ButtonEditProced"), QStringLiteral("ButtonEliminaProced")},
           .navigatore = QStringLiteral("NavigatorFormul"),
           .fuocoNuovo = QStringLiteral("NOME"),
           .fuocoModifica = QStringLiteral("NOME"),
           .colonneCampi = 2,
           .ordineVerifica = {QStringLiteral("DENSITA"), QStringLiteral("TOLLERANZADENSITA"),
                              QStringLiteral("PH"), QStringLiteral("TOLLERANZAPH"),
                              QStringLiteral("SCAGLIONE1"), QStringLiteral("SCAGLIONE2"),
                              QStringLiteral("TEMPO1"), QStringLiteral("TEMPO2"),
                              QStringLiteral("TEMPO3"), QStringLiteral("DATAULTIMAREVISIONE"),
                              QStringLiteral("MESIDURATAPRODOTTO")}},
          {.tabSet = QStringLiteral("TabSetFormul"),
           .notebook = QStringLiteral("NoteBookFormul"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Componenti"),
                      QStringLiteral("Procedure"), QStringLiteral("Ricerche"),
                      QStringLiteral("Storico")},
           .testata = {{QStringLiteral("PO"), QStringLiteral("CODICE")},
                       {QStringLiteral("Nome"), QStringLiteral("NOME")}},
           .paginaRicerche = Ricerche,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaNome"),
                        QStringLiteral("NOME")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM FORMUL WHERE (CODICE IS NOT NULL)"),
           .paginaStorico = Storico,
           .tabellaStorico = kStorico,
           .situazioneStorico = 25,
           .memoStorico = {QStringLiteral("TESTO")}},
          owner) {
    if (sessione->IBDatabase1.connected()) {
        allargaSpecifiche();
        leggiPrezzoAcqua();
        caricaCodiciADR();
    }
    creaPagine();
    collegaADR();
    auto prodotto = [](const QString& c) {
        return QStringList{
            QStringLiteral("SELECT"), QStringLiteral("  NOME"),
            QStringLiteral("FROM"),   QStringLiteral("  PRODOT"),
            QStringLiteral("WHERE"),  QStringLiteral("  CODICE=") + sql::testoNonNullo(c)};
    };
    collegaDescrizione(
        consultazione(QStringLiteral("SEMILAVORATOCOLLEGATO")),
        qobject_cast<QLineEdit*>(consultazione(QStringLiteral("SEMILAVORATOCOLLEGATO#"))),
        QStringLiteral("TimerSemiLavorato2"), prodotto);
    collegaDescrizione(
        editazione(QStringLiteral("SEMILAVORATOCOLLEGATO")),
        qobject_cast<QLineEdit*>(editazione(QStringLiteral("SEMILAVORATOCOLLEGATO#"))),
        QStringLiteral("TimerSemiLavorato"), prodotto);
    // powder and viscous are chosen on the edit page only
    for (const char* c : {"POLVERE", "VISCOSO"}) {
        consultazione(QString::fromLatin1(c))->hide();
        findChild<QPushButton*>(
            QString::fromLatin1(c[0] == 'P' ? "ButtonPolvere2" : "ButtonViscoso2"))
            ->hide();
    }
    resize(1000, 720);
    mostraPagina(Principale);
    SettaggioInterfaccia();
    rigaCambiata();
}

TFormulForm::~TFormulForm() {
    Griglia->modello()->disconnect(this);
    Griglia->selectionModel()->disconnect(this);
    delete PaginaComponenti;
    delete PaginaProcedure;
}

QString TFormulForm::utente() const {
    return sql::intero(sessione_->NumUtente);
}

QString TFormulForm::cartellaErrori() const {
    return percorsi::suDisco(sessione_->GetV(QStringLiteral("TempDir")));
}

// An archive made when SPECIFICHE held fewer characters is widened once.
void TFormulForm::allargaSpecifiche() {
    Transaction t(&sessione_->IBDatabase1);
    Query q(&sessione_->IBDatabase1, &t);
    q.SQL = {QStringLiteral("SELECT B.RDB$FIELD_LENGTH AS AMPIEZZA"),
             QStringLiteral("FROM RDB$RELATION_FIELDS A LEFT JOIN RDB$FIELDS B ON"),
             QStringLiteral("(A.RDB$FIELD_SOURCE=B.RDB$FIELD_NAME)"),
             QStringLiteral("WHERE (A.RDB$RELATION_NAME='FORMUL')"),
             QStringLiteral("AND(A.RDB$FIELD_NAME='SPECIFICHE')")};
    try {
        const QVariant v = q.scalar();
        if (!v.isValid() || v.isNull() || v.toInt() >= 128) {
            return;
        }
    } catch (const DbError& e) {
        qWarning("ampiezza di SPECIFICHE non letta: %s", qPrintable(e.messaggio()));
        return;
    }
    Messaggi::informazione(QStringLiteral("Campo SPECIFICHE della tabella FORMUL da aggiornare. "
                                          "Verrà aggiornato ora"),
                           this);
    q.SQL = {QStringLiteral("ALTER TABLE FORMUL"),
             QStringLiteral("ALTER SPECIFICHE TYPE VARCHAR(128)")};
    try {
        q.execSQL();
        t.commit();
        rileggiLunghezze();
    } catch (const DbError&) {
        try {
            t.rollback();
        } catch (const DbError&) {
        }
        storico::registraErrore(cartellaErrori(), q.SQL);
        Messaggi::errore(QStringLiteral("Errore interno durante l'aggiornamento del campo "
                                        "SPECIFICHE per la tabella FORMUL"),
                         this);
    }
}

// The softened water's price counts only when exactly one row names it.
void TFormulForm::leggiPrezzoAcqua() {
    PrezzoAcquaAddolcita = 0;
    try {
        QueryAux2.SQL = {QStringLiteral("SELECT B.PREZZO"),
                         QStringLiteral("FROM PRACQUA A LEFT JOIN MATER B ON"),
                         QStringLiteral("(A.CODICEMATERIAPRIMA=B.CODICE)")};
        QueryAux2.open();
        int righe = 0;
        double prezzo = 0;
        for (; !QueryAux2.eof(); QueryAux2.next()) {
            ++righe;
            const Campo c = QueryAux2.field(0);
            prezzo = c.isNull() ? 0 : c.asFloat();
        }
        QueryAux2.close();
        if (righe == 1) {
            PrezzoAcquaAddolcita = prezzo;
        }
    } catch (const DbError& e) {
        qWarning("prezzo dell'acqua non letto: %s", qPrintable(e.messaggio()));
    }
}

// ------------------------------------------------------------------ pages

void TFormulForm::creaPagine() {
    auto* v1 = qobject_cast<QVBoxLayout*>(PaginaUno->layout());
    auto* versione = new QHBoxLayout;
    versione->addWidget(new QLabel(QStringLiteral("Versione:"), PaginaUno));
    LabelVersione = new QLabel(PaginaUno);
    LabelVersione->setObjectName(QStringLiteral("LabelVersione"));
    versione->addWidget(LabelVersione);
    versione->addStretch();
    v1->insertLayout(0, versione);

    CheckEditReport = new QCheckBox(QStringLiteral("Edit report st."), PaginaConsultazione);
    CheckEditReport->setObjectName(QStringLiteral("CheckEditReport"));
    ButtonRicerche = pulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                              PaginaConsultazione);
    ButtonStampa =
        pulsante(QStringLiteral("&Stampa"), QStringLiteral("ButtonStampa"), PaginaConsultazione);
    ButtonDuplica =
        pulsante(QStringLiteral("&Duplica"), QStringLiteral("ButtonDuplica"), PaginaConsultazione);
    auto* altri = new QHBoxLayout;
    altri->addWidget(CheckEditReport);
    altri->addStretch();
    for (QPushButton* b : {ButtonRicerche, ButtonStampa, ButtonDuplica}) {
        altri->addWidget(b);
    }
    if (auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout())) {
        v->insertLayout(v->count() - 1, altri);
    }
    ButtonSemilavorato =
        PaginaEditazione->findChild<QPushButton*>(QStringLiteral("ButtonSemilavorato"));
    ButtonSemilavorato->disconnect();
    connect(ButtonSemilavorato, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonSemilavoratoClick(); }));

    creaComponenti();
    creaProcedure();
    aggiungiPagina(PaginaComponenti->parentWidget());
    aggiungiPagina(PaginaProcedure);
    aggiungiPagina(nullptr); // searches
    aggiungiPagina(nullptr); // history
    completaStorico();

    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));
    connect(ButtonStampa, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonStampaClick(); }));
    connect(ButtonDuplica, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonDuplicaClick(); }));
}

void TFormulForm::creaComponenti() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("PanelFormul2"));
    auto* v = new QVBoxLayout(pagina);
    v->setContentsMargins(0, 0, 0, 0);

    CampoScheda descrizione = campoScheda("DESCRIZIONE", "Descrizione", "ButtonDescrizioneCompon",
                                          "EditDescrizioneCompon", "EditDescrizioneCompon2");
    descrizione.memorizzato = false;
    CampoScheda prezzo = campoScheda("PREZZO", "Prezzo", "ButtonPrezzoCompon", "EditPrezzoCompon",
                                     "EditPrezzoCompon2");
    prezzo.memorizzato = false;
    CampoScheda costo =
        campoScheda("COSTO", "Costo", "ButtonCostoCompon", "EditCostoCompon", "EditCostoCompon2");
    costo.memorizzato = false;
    PaginaComponenti = new PaginaRighe(
        this,
        {.tabella = QStringLiteral("COMPON"),
         .colonnaPadre = QStringLiteral("CODICEFORMULAZIONE"),
         .nome = QStringLiteral("Componenti"),
         .griglia = QStringLiteral("GridCompon"),
         .situazioneGriglia = 10,
         .pulsanti = QStringLiteral("Button%1Compon"),
         .notebook = QStringLiteral("NoteBookCompon"),
         .notebookPulsanti = QStringLiteral("NoteBookCompon2"),
         .etichettaVersione = QStringLiteral("LabelComponVersione"),
         .campoRiga = campoScheda("NRIGA", "N.R.", "ButtonNRigaCompon", "EditNRigaCompon",
                                  "EditNRigaCompon2"),
         .campi = {campoScheda("CODICEMATERIAPRIMA", "&Codice", "ButtonCodiceCompon",
                               "EditCodiceCompon", "EditCodiceCompon2"),
                   descrizione,
                   campoScheda("PERCENTUALE", "% p/p", "ButtonPercCompon", "EditPercCompon",
                               "EditPercCompon2", Controllo::Edit, TipoValore::Numero,
                               "Specificare un valore numerico valido per \"% p/p\""),
                   campoScheda("TOLLERANZA", "Toll.", "ButtonTolleranzaCompon",
                               "EditTolleranzaCompon", "EditTolleranzaCompon2", Controllo::Edit,
                               TipoValore::Numero,
                               "Specificare un valore numerico valido per \"Toll.\""),
                   campoScheda("CRITICO", "Crit.", "ButtonComponCritico", "CheckComponCritico",
                               "CheckComponCritico2", Controllo::Check, TipoValore::Flag),
                   campoScheda("ACCETTABILITA", "Minimo", "ButtonMinimoCompon", "EditMinimoCompon",
                               "EditMinimoCompon2", Controllo::Edit, TipoValore::Numero,
                               "Specificare un valore numerico valido per \"Minimo\""),
                   campoScheda("RANGE", "Range", "ButtonRangeCompon", "EditRangeCompon",
                               "EditRangeCompon2"),
                   prezzo, costo},
         .messaggioCancellare = QStringLiteral(
             "Errore interno: cancellare manualmente il record con CODICEFORMULAZIONE "),
         .campiLista = {{QStringLiteral("NRIGA"), QStringLiteral("NR")},
                        {QStringLiteral("CODICEMATERIAPRIMA"), QStringLiteral("CODICE")},
                        {QStringLiteral("PERCENTUALE"), QStringLiteral("% P/P")}}},
        pagina);
    PaginaRighe* p = PaginaComponenti;
    v->addWidget(p, 1);

    // the totals under the lines
    auto* t = new QHBoxLayout;
    EditPercentualeAcqua = totale("EditPercentualeAcqua", pagina);
    StaticPrezzoAcqua = totale("StaticPrezzoAcqua", pagina);
    EditCostoAcqua = totale("EditCostoAcqua", pagina);
    EditCostoTotale = totale("EditCostoTotale", pagina);
    const std::pair<const char*, QLineEdit*> totali[] = {{"Acqua addolcita", EditPercentualeAcqua},
                                                         {"Pr.Acqua", StaticPrezzoAcqua},
                                                         {"Costo Acqua", EditCostoAcqua},
                                                         {"Totale", EditCostoTotale}};
    for (const auto& [didascalia, e] : totali) {
        t->addWidget(new QLabel(QString::fromLatin1(didascalia), pagina));
        t->addWidget(e);
    }
    v->addLayout(t);
    StaticPrezzoAcqua->setText(formatoCosto(PrezzoAcquaAddolcita));

    p->padre = [this] { return codiceCorrenteGriglia(); };
    p->testoLista = [](const QString& codice) {
        return QStringList{
            QStringLiteral("SELECT A.NRIGA AS NR,A.CODICEMATERIAPRIMA AS CODICE,"),
            QStringLiteral("B.NOMECOMMERCIALE AS DESCRIZIONE, A.PERCENTUALE AS \"% P/P\","),
            QStringLiteral("A.TOLLERANZA,A.CRITICO,A.ACCETTABILITA,A.RANGE,"),
            QStringLiteral("B.PREZZO,B.PREZZO*A.PERCENTUALE/100 AS COSTO"),
            QStringLiteral("FROM COMPON A LEFT JOIN MATER B ON"),
            QStringLiteral("(A.CODICEMATERIAPRIMA=B.CODICE)"),
            codice.isEmpty()
                ? QStringLiteral("WHERE A.CODICEFORMULAZIONE IS NULL")
                : QStringLiteral("WHERE A.CODICEFORMULAZIONE=") + sql::testoNonNullo(codice),
            QStringLiteral("ORDER BY A.NRIGA")};
    };
    p->sqlVersione = [](const QString& codice, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOCOMPON"),
                           QStringLiteral("WHERE (CODICEFORMULAZIONE=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(codice), sql::intero(r))};
    };
    // every change of a line is a new version of the formulation and of the line
    p->storico = [this](Query& q, const QString& r, bool cancellazione, const QStringList&) {
        const QString codice = PaginaComponenti->PadreCorrente;
        const auto h = storico::massimo(q, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                        QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
        const int testata = versioneTestata(q, codice, h ? *h + 1 : 1, cancellazione);
        const auto d = storico::massimo(
            q, QStringLiteral("STOCOMPON"), QStringLiteral("VERSIONED"),
            QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)AND(VERSIONET=%3)")
                .arg(sql::testoNonNullo(codice), sql::intero(r), sql::intero(testata)));
        const int versione = d ? *d + 1 : 1;
        versioneRiga(q, QStringLiteral("STOCOMPON"), codice, r, testata, versione, cancellazione);
        if (!cancellazione) {
            PaginaComponenti->LabelVersione->setText(QString::number(versione));
        }
    };
    p->dopoModifica = [this](Query& q, bool cancellazione) {
        const QString codice = PaginaComponenti->PadreCorrente;
        const QStringList prima = q.SQL;
        try {
            QStringList mancanti;
            const double costo = CalcolaCostiCompon(q, codice, &mancanti).totale;
            if (!mancanti.isEmpty()) {
                // a material gone from the archive has no price, not a price of 0
                Messaggi::avviso(
                    (mancanti.size() == 1 ? QStringLiteral("La materia prima %1 non esiste più")
                                          : QStringLiteral("Le materie prime %1 non esistono più"))
                            .arg(mancanti.join(QStringLiteral(", "))) +
                        QStringLiteral(": il costo unitario della formulazione resta quello "
                                       "memorizzato"),
                    this);
                q.SQL = prima;
                return;
            }
            q.SQL = {QStringLiteral("UPDATE FORMUL SET COSTOUNITARIO=") + sql::numero(costo),
                     QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(codice)};
            q.execSQL();
        } catch (const DbError& e) {
            if (e.conflitto()) {
                throw; // another user's line or cost meanwhile: the save starts over
            }
            if (cancellazione) {
                throw RigaRifiutata(
                    QStringLiteral("Errore interno: impossibile ricalcolare il costo unitario"));
            }
            Messaggi::avviso(QStringLiteral("Impossibile ricalcolare il costo unitario. Le altre "
                                            "modifiche verranno comunque salvate"),
                             this);
        } catch (const std::exception&) { // the archive's refusal, or a cost out of range
            if (cancellazione) {          // a deletion whose cost cannot follow is not made
                throw RigaRifiutata(
                    QStringLiteral("Errore interno: impossibile ricalcolare il costo unitario"));
            }
            Messaggi::avviso(QStringLiteral("Impossibile ricalcolare il costo unitario. Le altre "
                                            "modifiche verranno comunque salvate"),
                             this);
        }
        q.SQL = prima;
    };
    // the card's list was read again with the write: it shows the new cost
    p->dopoSalvataggio = [this] {
        const QString riga = PaginaComponenti->RigaCorrente;
        const int posizione = PaginaComponenti->Griglia->currentIndex().row();
        // a deleted line leaves the list where it stood
        if (!PaginaComponenti->riapri(riga) && posizione > 0) {
            GrigliaModello* m = PaginaComponenti->Griglia->modello();
            PaginaComponenti->Griglia->setCurrentIndex(
                m->index(std::min(posizione, m->rowCount() - 1), 0));
        }
        mostraVersioneTestata();
    };

    // "&Codice" looks the raw material up on its card
    if (auto* b = p->findChild<QPushButton*>(QStringLiteral("ButtonCodiceCompon"))) {
        b->disconnect();
        connect(b, &QPushButton::clicked, this,
                protetto(this, [this] { ButtonCodiceComponClick(); }));
    }
    timerCosti_ = new QTimer(this);
    timerCosti_->setObjectName(QStringLiteral("TimerCostiCompon"));
    timerCosti_->setSingleShot(true);
    timerCosti_->setInterval(400);
    connect(timerCosti_, &QTimer::timeout, this, protetto(this, [this] {
                timerCosti_->stop();
                mostraCosti(CalcolaCostiCompon(QueryAux, codiceCorrenteGriglia()));
            }));
    connect(p->Griglia->modello(), &QAbstractItemModel::modelReset, this, [this] {
        for (QLineEdit* e : {EditPercentualeAcqua, EditCostoAcqua, EditCostoTotale}) {
            e->clear();
        }
        timerCosti_->start();
    });
}

void TFormulForm::creaProcedure() {
    PaginaProcedure = new PaginaRighe(
        this,
        {.tabella = QStringLiteral("PROCED"),
         .colonnaPadre = QStringLiteral("CODICEFORMULAZIONE"),
         .tipoRiga = TipoValore::Numero,
         .nome = QStringLiteral("PanelFormul3"),
         .griglia = QStringLiteral("GridProced"),
         .situazioneGriglia = 11,
         .pulsanti = QStringLiteral("Button%1Proced"),
         .notebook = QStringLiteral("NoteBookProced"),
         .notebookPulsanti = QStringLiteral("NoteBookProced2"),
         .etichettaVersione = QStringLiteral("LabelProcedVersione"),
         .campoRiga = campoScheda("NRIGA", "N. Riga", "ButtonNRigaProced", "EditNRigaProced",
                                  "EditNRigaProced2"),
         .rigaModificabile = true,
         .messaggioRiga = QStringLiteral("Specificare un valore valido per N. Riga"),
         .campi = {campoScheda("TESTO", "Testo", "ButtonTestoProced", "MemoTestoProced",
                               "MemoTestoProced2", Controllo::Memo),
                   campoScheda("EVIDENZA", "Evid.", "ButtonEvidenzaProced", "CheckEvidenzaProced",
                               "CheckEvidenzaProced2", Controllo::Check, TipoValore::Flag)},
         .messaggioCancellare = QStringLiteral(
             "Errore interno: cancellare manualmente il record con CODICEFORMULAZIONE ")},
        this);
    PaginaRighe* p = PaginaProcedure;
    p->padre = [this] { return codiceCorrenteGriglia(); };
    p->testoLista = [](const QString& codice) {
        return QStringList{QStringLiteral("SELECT NRIGA,TESTO,EVIDENZA FROM PROCED"),
                           codice.isEmpty() ? QStringLiteral("WHERE CODICEFORMULAZIONE IS NULL")
                                            : QStringLiteral("WHERE CODICEFORMULAZIONE=") +
                                                  sql::testoNonNullo(codice),
                           QStringLiteral("ORDER BY NRIGA")};
    };
    p->prossimaRiga = [](Query& q, const QString& codice) {
        q.SQL = {QStringLiteral("SELECT MAX(NRIGA) FROM PROCED"),
                 QStringLiteral("WHERE CODICEFORMULAZIONE=") + sql::testoNonNullo(codice)};
        const QVariant v = q.scalar();
        return QString::number(costi::prossimaRigaProcedura(
            v.isValid() && !v.isNull() ? std::optional<double>(v.toDouble()) : std::nullopt));
    };
    p->sqlVersione = [this](const QString& codice, const QString& r) {
        return QStringList{QStringLiteral("SELECT MAX(VERSIONED) FROM STOPROCED"),
                           QStringLiteral("WHERE (CODICEFORMULAZIONE=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(codice), PaginaProcedure->letteraleRiga(r))};
    };
    // a line version when the line is new under the header version or changed
    p->storico = [this](Query& q, const QString& r, bool cancellazione, const QStringList& set) {
        const QString codice = PaginaProcedure->PadreCorrente;
        const auto h = storico::massimo(q, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                        QStringLiteral("CODICE=") + sql::testoNonNullo(codice));
        const int testata = h ? *h : versioneTestata(q, codice, 1, cancellazione);
        const QString condizione =
            QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)")
                .arg(sql::testoNonNullo(codice), PaginaProcedure->letteraleRiga(r));
        const auto d = storico::massimo(
            q, QStringLiteral("STOPROCED"), QStringLiteral("VERSIONED"),
            condizione + QStringLiteral("AND(VERSIONET=%1)").arg(sql::intero(testata)));
        if (!cancellazione && d &&
            storico::invariata(q, QStringLiteral("PROCED"), condizione, set)) {
            return;
        }
        const int versione = d ? *d + 1 : 1;
        versioneRiga(q, QStringLiteral("STOPROCED"), codice, r, testata, versione, cancellazione);
        if (!cancellazione) {
            PaginaProcedure->LabelVersione->setText(QString::number(versione));
        }
    };
    p->dopoSalvataggio = [this] { mostraVersioneTestata(); };
    // once the list is open (and its saved layout applied) the text takes
    // the grid's width but for the number and the flag
    connect(p->Griglia->modello(), &QAbstractItemModel::modelReset, this, [this] {
        QTimer::singleShot(0, this, [this] {
            TCSDGrid* g = PaginaProcedure->Griglia;
            const int testo = g->modello()->indiceCampo(QStringLiteral("TESTO"));
            if (testo >= 0 && g->isVisible()) {
                g->setColumnWidth(testo, std::max(g->width() - 200, 100));
            }
        });
    });
}

void TFormulForm::completaStorico() {
    QWidget* pagina = GridStoricoT->parentWidget();
    auto* v = qobject_cast<QVBoxLayout*>(pagina->layout());
    StoricoT_MemoNote = new QPlainTextEdit(pagina);
    StoricoT_MemoNote->setObjectName(QStringLiteral("StoricoT_MemoNote"));
    StoricoT_MemoNote->setReadOnly(true);
    StoricoT_MemoNote->setMaximumHeight(60);
    v->insertWidget(2, StoricoT_MemoNote);
    StoricoT_ButtonNote =
        pulsante(QStringLiteral("Note"), QStringLiteral("StoricoT_ButtonNote"), pagina);
    if (auto* h = qobject_cast<QHBoxLayout*>(v->itemAt(v->count() - 1)->layout())) {
        h->insertWidget(1, StoricoT_ButtonNote);
    }
    auto note = [this] {
        const bool riga = QueryStoricoT.isOpen() && GridStoricoT->modello()->rowCount() > 0 &&
                          GridStoricoT->currentIndex().isValid();
        const Campo c = riga ? GridStoricoT->campoCorrente(QStringLiteral("NOTE")) : Campo();
        StoricoT_MemoNote->setPlainText(c.isNull() ? QString() : c.asString());
    };
    connect(GridStoricoT->selectionModel(), &QItemSelectionModel::currentRowChanged, this, note);
    connect(GridStoricoT->modello(), &QAbstractItemModel::modelReset, this, note);
    connect(StoricoT_ButtonNote, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonNoteClick(); }));
}

QList<QPushButton*> TFormulForm::pulsantiPagina(int pagina) {
    if (pagina == Principale) {
        return SchedaAPagine::pulsantiPagina(pagina)
               << ButtonRicerche << ButtonStampa << ButtonDuplica << ButtonSemilavorato;
    }
    if (pagina == Storico) {
        return SchedaAPagine::pulsantiPagina(pagina) << StoricoT_ButtonNote;
    }
    return SchedaAPagine::pulsantiPagina(pagina);
}

void TFormulForm::paginaMostrata(int pagina) {
    if (pagina == Principale) {
        mostraVersioneTestata();
    }
}

void TFormulForm::rigaCambiata() {
    switch (paginaCorrente()) {
    case Componenti:
        PaginaComponenti->riapri();
        break;
    case Procedure:
        PaginaProcedure->riapri();
        break;
    default:
        break;
    }
    mostraVersioneTestata();
}

void TFormulForm::mostraVersioneTestata() {
    const QString codice = codiceCorrenteGriglia();
    LabelVersione->clear();
    if (codice.isEmpty()) {
        return;
    }
    try {
        TransazioneControllo.restart();
        if (const auto v =
                storico::massimo(QueryAux2, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                 QStringLiteral("CODICE=") + sql::testoNonNullo(codice))) {
            LabelVersione->setText(QString::number(*v));
        }
    } catch (const DbError& e) {
        qWarning("versione non letta: %s", qPrintable(e.messaggio()));
    }
}

// ------------------------------------------------------------- unit cost

costi::CostiComponenti TFormulForm::CalcolaCostiCompon(Query& q, const QString& codice,
                                                       QStringList* mancanti) {
    std::vector<std::pair<QString, std::optional<double>>> righe;
    q.SQL = {QStringLiteral("SELECT CODICEMATERIAPRIMA,PERCENTUALE FROM COMPON"),
             codice.isEmpty()
                 ? QStringLiteral("WHERE CODICEFORMULAZIONE IS NULL")
                 : QStringLiteral("WHERE CODICEFORMULAZIONE=") + sql::testoNonNullo(codice)};
    q.open();
    for (; !q.eof(); q.next()) {
        const Campo m = q.field(0);
        const Campo p = q.field(1);
        righe.emplace_back(m.isNull() ? QString() : m.asString(),
                           p.isNull() ? std::nullopt : std::optional<double>(p.asFloat()));
    }
    q.close();
    // the prices as committed now, whatever the card's snapshot
    std::map<QString, double> prezzi;
    QSet<QString> esistenti;
    QStringList codici;
    for (const auto& r : righe) {
        if (!r.first.isEmpty()) {
            codici << sql::testoNonNullo(r.first);
        }
    }
    if (!codici.isEmpty()) {
        Transaction ora(&sessione_->IBDatabase1);
        ora.setParams(QStringList{
            QStringLiteral("isc_tpb_read_committed"), QStringLiteral("isc_tpb_rec_version"),
            QStringLiteral("isc_tpb_nowait"), QStringLiteral("isc_tpb_read")});
        Query p(&sessione_->IBDatabase1, &ora);
        p.SQL = {QStringLiteral("SELECT CODICE,PREZZO FROM MATER"),
                 QStringLiteral("WHERE CODICE IN (%1)").arg(codici.join(','))};
        p.open();
        for (; !p.eof(); p.next()) {
            esistenti.insert(senzaSpaziFinali(p.field(0).asString()));
            if (!p.field(1).isNull()) {
                prezzi[senzaSpaziFinali(p.field(0).asString())] = p.field(1).asFloat();
            }
        }
        p.close();
    }
    std::vector<costi::RigaComponente> linee;
    for (const auto& [materia, percentuale] : righe) {
        auto it = prezzi.find(senzaSpaziFinali(materia));
        if (mancanti && !materia.isEmpty() && !esistenti.contains(senzaSpaziFinali(materia)) &&
            !mancanti->contains(materia)) {
            mancanti->append(materia);
        }
        linee.push_back(
            {percentuale, it == prezzi.end() ? std::nullopt : std::optional<double>(it->second)});
    }
    const costi::CostiComponenti c = costi::calcolaCostiComponenti(linee, PrezzoAcquaAddolcita);
    mostraCosti(c);
    return c;
}

void TFormulForm::mostraCosti(const costi::CostiComponenti& c) {
    EditPercentualeAcqua->setText(Formati::numeroInTesto(c.percentualeAcqua));
    EditCostoTotale->setText(formatoCosto(c.totale));
    EditCostoAcqua->setText(formatoCosto(c.costoAcqua));
}

// --------------------------------------------------------------- history

void scriviVersioneFormulazione(Query& q, const QString& codice, int versione, bool cancellazione,
                                const QString& utente) {
    storico::scrivi(
        q,
        {.tabellaStorico = QStringLiteral("STOFORMUL"),
         .tabella = QStringLiteral("FORMUL"),
         .copiate = kColonneStoFormul,
         .numeri = {{QStringLiteral("VERS"), sql::intero(versione)}},
         .condizione = QStringLiteral("CODICE=") + sql::testoNonNullo(codice),
         .riepilogo = kStorico,
         .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
                             {QStringLiteral("NRIGA"), QStringLiteral("'0'")},
                             {QStringLiteral("VERSIONET"), sql::intero(versione)},
                             {QStringLiteral("VERSIONED"), QStringLiteral("'0'")},
                             {QStringLiteral("TABELLA"), QStringLiteral("'STOFORMUL'")}}},
        cancellazione, utente);
}

int TFormulForm::versioneTestata(Query& q, const QString& codice, int versione,
                                 bool cancellazione) {
    try {
        scriviVersioneFormulazione(q, codice, versione, cancellazione, utente());
    } catch (const ErroreStorico&) {
        storico::registraErrore(cartellaErrori(), q.SQL);
        throw;
    }
    return versione;
}

void TFormulForm::versioneRiga(Query& q, const QString& tabella, const QString& codice,
                               const QString& riga, int testata, int versione, bool cancellazione) {
    const bool componente = tabella == QLatin1String("STOCOMPON");
    const QString letterale = componente ? sql::intero(riga) : PaginaProcedure->letteraleRiga(riga);
    const QStringList copiate =
        componente
            ? QStringList{QStringLiteral("CODICEFORMULAZIONE"), QStringLiteral("NRIGA"),
                          QStringLiteral("CODICEMATERIAPRIMA"), QStringLiteral("PERCENTUALE"),
                          QStringLiteral("TOLLERANZA"),         QStringLiteral("CRITICO"),
                          QStringLiteral("ACCETTABILITA"),      QStringLiteral("RANGE")}
            : QStringList{QStringLiteral("CODICEFORMULAZIONE"), QStringLiteral("NRIGA"),
                          QStringLiteral("TESTO"), QStringLiteral("EVIDENZA")};
    try {
        storico::scrivi(
            q,
            {.tabellaStorico = tabella,
             .tabella = componente ? QStringLiteral("COMPON") : QStringLiteral("PROCED"),
             .copiate = copiate,
             .numeri = {{QStringLiteral("VERSIONET"), sql::intero(testata)},
                        {QStringLiteral("VERSIONED"), sql::intero(versione)}},
             .condizione = QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)")
                               .arg(sql::testoNonNullo(codice), letterale),
             .riepilogo = kStorico,
             .chiaveRiepilogo = {{QStringLiteral("CODICE"), sql::testoNonNullo(codice)},
                                 {QStringLiteral("NRIGA"), letterale},
                                 {QStringLiteral("VERSIONET"), sql::intero(testata)},
                                 {QStringLiteral("VERSIONED"), sql::intero(versione)},
                                 {QStringLiteral("TABELLA"), sql::testo(tabella)}}},
            cancellazione, utente());
    } catch (const ErroreStorico&) {
        storico::registraErrore(cartellaErrori(), q.SQL);
        throw;
    }
}

// A version holds the header as it was before the save, in the save's own
// transaction: both are kept, or neither.
void TFormulForm::primaDellAggiornamento(const QStringList& assegnazioni) {
    const QString chiave = QStringLiteral("CODICE=") + sql::testoNonNullo(CodiceCorrente);
    const auto h =
        storico::massimo(QueryAux, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"), chiave);
    if (!h || !storico::invariata(QueryAux, QStringLiteral("FORMUL"), chiave, assegnazioni)) {
        versioneTestata(QueryAux, CodiceCorrente, h ? *h + 1 : 1, false);
    }
}

void TFormulForm::dopoMemorizzazione() {
    mostraVersioneTestata();
}

QStringList TFormulForm::sqlDettaglioStorico(QString& memo) {
    auto valore = [this](const char* c) {
        const Campo v = GridStoricoT->campoCorrente(QString::fromLatin1(c));
        return v.isNull() ? QString() : v.asString();
    };
    const QString tabella = valore("TABELLA");
    const QString codice = sql::testoNonNullo(valore("CODICE"));
    if (tabella == QLatin1String("STOFORMUL")) {
        return {QStringLiteral("SELECT * FROM STOFORMUL WHERE"),
                QStringLiteral("(CODICE=%1)AND(VERS=%2)")
                    .arg(codice, sql::intero(valore("VERSIONET")))};
    }
    if (tabella != QLatin1String("STOCOMPON") && tabella != QLatin1String("STOPROCED")) {
        return {};
    }
    if (tabella == QLatin1String("STOPROCED")) {
        memo = QStringLiteral("TESTO");
    }
    return {QStringLiteral("SELECT * FROM ") + tabella + QStringLiteral(" WHERE"),
            QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)AND(VERSIONET=%3)AND(VERSIONED=%4)")
                .arg(codice, sql::numero(valore("NRIGA")), sql::intero(valore("VERSIONET")),
                     sql::intero(valore("VERSIONED")))};
}

void TFormulForm::ButtonNoteClick() {
    if (!QueryStoricoT.isOpen() || GridStoricoT->modello()->rowCount() == 0 ||
        !GridStoricoT->currentIndex().isValid()) {
        return;
    }
    auto valore = [this](const char* c) {
        const Campo v = GridStoricoT->campoCorrente(QString::fromLatin1(c));
        return v.isNull() ? QString() : v.asString();
    };
    QDialog d(this);
    d.setObjectName(QStringLiteral("EditMemoForm"));
    d.setWindowTitle(QStringLiteral("Editazione libera"));
    auto* memo = new QPlainTextEdit(&d);
    memo->setObjectName(QStringLiteral("MemoEdit"));
    memo->setPlainText(valore("NOTE"));
    auto* ok = pulsante(QStringLiteral("OK"), QStringLiteral("ButtonOK"), &d);
    auto* annulla = pulsante(QStringLiteral("Cancel"), QStringLiteral("ButtonCancel"), &d);
    connect(ok, &QPushButton::clicked, &d, [&d] { d.done(kRisultatoOK); });
    connect(annulla, &QPushButton::clicked, &d, [&d] { d.done(kRisultatoAnnulla); });
    auto* l = new QVBoxLayout(&d);
    l->addWidget(memo);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ok);
    h->addWidget(annulla);
    l->addLayout(h);
    d.resize(480, 320);
    if (Messaggi::esegui(&d) != kRisultatoOK) {
        return;
    }
    const QString riga = GridStoricoT->currentIndex().isValid() ? valore("NRIGA") : QString();
    const QString vt = valore("VERSIONET");
    const QString vd = valore("VERSIONED");
    const QString tabella = valore("TABELLA");
    Query q(&sessione_->IBDatabase1, &TransazioneStorico);
    q.SQL = {QStringLiteral("UPDATE STOFORMULRIEP SET"),
             QStringLiteral("NOTE=") + sql::testo(memo->toPlainText()),
             QStringLiteral("WHERE (CODICE=%1)").arg(sql::testoNonNullo(valore("CODICE"))),
             QStringLiteral("AND(NRIGA=%1)").arg(sql::numero(riga)),
             QStringLiteral("AND(VERSIONET=%1)").arg(sql::intero(vt)),
             QStringLiteral("AND(VERSIONED=%1)").arg(sql::intero(vd)),
             QStringLiteral("AND(TABELLA=%1)").arg(sql::testoNonNullo(tabella))};
    try {
        q.execSQL();
        TransazioneStorico.commitRetaining();
    } catch (const DbError&) {
        TransazioneStorico.rollbackRetainingNoThrow();
        storico::registraErrore(cartellaErrori(), q.SQL);
        Messaggi::errore(QStringLiteral("Errore interno durante il salvataggio delle note"), this);
        return;
    }
    const int posizione = GridStoricoT->currentIndex().row();
    QueryStoricoT.close();
    QueryStoricoT.open();
    GrigliaModello* m = GridStoricoT->modello();
    while (posizione >= m->rowCount() && m->canFetchMore({})) {
        m->fetchMore({});
    }
    if (m->rowCount() > 0) {
        GridStoricoT->setCurrentIndex(m->index(std::min(posizione, m->rowCount() - 1), 0));
    }
}

// ------------------------------------------------------------- the record

QString TFormulForm::codiceProposto(const QString& titolo) {
    // a code still named by history or products would bring them along
    QString proposta = QStringLiteral("1");
    try {
        TransazioneControllo.restart();
        QueryAux2.SQL = {QStringLiteral("SELECT MAX(M) FROM ("),
                         QStringLiteral("SELECT MAX(CODICE) AS M FROM FORMUL UNION ALL"),
                         QStringLiteral("SELECT MAX(CODICE) FROM STOFORMUL UNION ALL"),
                         QStringLiteral("SELECT MAX(CODICEFORMULAZIONE) FROM PRODOT)")};
        const QVariant v = QueryAux2.scalar();
        if (v.isValid() && !v.isNull()) {
            proposta = QString::number(v.toLongLong() + 1);
        }
    } catch (const DbError& e) {
        qWarning("codice non proposto: %s", qPrintable(e.messaggio()));
    }
    DialogoNuovoCodice d{titolo, QStringLiteral("Codice formulazione:")};
    d.proposta = proposta;
    d.controllo = [this](const QString& codice) -> QString {
        if (codice.trimmed().isEmpty()) {
            return {};
        }
        const auto n = Formati::leggiIntero(codice.trimmed());
        if (!n || *n <= 0 || *n > 2147483647) {
            return QStringLiteral("Specificare un valore numerico valido");
        }
        try {
            TransazioneControllo.restart();
            QueryAux2.SQL = {QStringLiteral("SELECT COUNT(*) FROM STOFORMUL WHERE CODICE=%1")
                                 .arg(sql::intero(*n))};
            int usato = QueryAux2.scalar().toInt();
            QueryAux2.SQL = {
                QStringLiteral("SELECT COUNT(*) FROM PRODOT WHERE CODICEFORMULAZIONE=%1")
                    .arg(sql::intero(*n))};
            usato += QueryAux2.scalar().toInt();
            if (usato > 0) {
                return QStringLiteral("Il codice inserito è già in uso");
            }
        } catch (const DbError& e) {
            return e.messaggio();
        }
        return {};
    };
    d.comeMemorizzato = [](const QString& t) {
        const QString c = sql::codice(t).trimmed();
        const auto n = Formati::leggiIntero(c);
        return n ? QString::number(*n) : c;
    };
    return chiediCodice(d);
}

QStringList TFormulForm::chiediNuovaChiave() {
    const QString codice = codiceProposto(QStringLiteral("Nuova formulazione"));
    return codice.isEmpty() ? QStringList() : QStringList{codice};
}

void TFormulForm::dopoNuovo() {
    for (const char* c : {"CODICEADR", "GRUPPOADR"}) {
        auto* l = qobject_cast<QComboBox*>(editazione(QString::fromLatin1(c)));
        l->setCurrentIndex(l->findText(QString()));
    }
}

void TFormulForm::riempiEditazione() {
    SchedaBase::riempiEditazione();
    decodificaADR(true, false);
    const Campo c = Griglia->campoCorrente(QStringLiteral("COSTOUNITARIO"));
    impostaTesto(editazione(QStringLiteral("COSTOUNITARIO")),
                 c.isNull() ? QString() : c.asString());
}

QString TFormulForm::testoConfermaEliminazione(const QString& codice) {
    QueryAux.SQL = {QStringLiteral("SELECT COUNT(*) FROM PRODOT WHERE CODICEFORMULAZIONE=") +
                    sql::testoNonNullo(codice)};
    return domandaConUso(
        QueryAux.scalar().toInt(), QStringLiteral("La formulazione è usata da 1 prodotto"),
        QStringLiteral("La formulazione è usata da %1 prodotti"), QStringLiteral("."));
}

void TFormulForm::eliminaRecord(const QString& codice) {
    Query& q = QueryAux;
    const QString c = sql::testoNonNullo(codice);
    auto righe = [&q](QStringList sql) {
        q.SQL = std::move(sql);
        return q.primaColonna();
    };
    const auto h = storico::massimo(q, QStringLiteral("STOFORMUL"), QStringLiteral("VERS"),
                                    QStringLiteral("CODICE=") + c);
    const int testata = versioneTestata(q, codice, h ? *h + 1 : 1, true);
    for (const QString& r :
         righe({QStringLiteral("SELECT NRIGA FROM COMPON WHERE CODICEFORMULAZIONE=") + c})) {
        const auto d =
            storico::massimo(q, QStringLiteral("STOCOMPON"), QStringLiteral("VERSIONED"),
                             QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)AND(VERSIONET=%3)")
                                 .arg(c, sql::intero(r), sql::intero(testata)));
        versioneRiga(q, QStringLiteral("STOCOMPON"), codice, r, testata, d ? *d + 1 : 1, true);
    }
    for (const QString& r :
         righe({QStringLiteral("SELECT NRIGA FROM PROCED WHERE CODICEFORMULAZIONE=") + c})) {
        const auto d =
            storico::massimo(q, QStringLiteral("STOPROCED"), QStringLiteral("VERSIONED"),
                             QStringLiteral("(CODICEFORMULAZIONE=%1)AND(NRIGA=%2)AND(VERSIONET=%3)")
                                 .arg(c, PaginaProcedure->letteraleRiga(r), sql::intero(testata)));
        versioneRiga(q, QStringLiteral("STOPROCED"), codice, r, testata, d ? *d + 1 : 1, true);
    }
    q.SQL = {QStringLiteral("DELETE FROM COMPON"), QStringLiteral("WHERE CODICEFORMULAZIONE=") + c};
    q.execSQL();
    q.SQL = {QStringLiteral("DELETE FROM PROCED"), QStringLiteral("WHERE CODICEFORMULAZIONE=") + c};
    q.execSQL();
    SchedaBase::eliminaRecord(codice);
}

void TFormulForm::ButtonDuplicaClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    const QString sorgente = codiceCorrenteGriglia();
    const QString nuovo = codiceProposto(QStringLiteral("Nuova formulazione"));
    if (nuovo.isEmpty()) {
        return;
    }
    const QString n = sql::testoNonNullo(nuovo);
    const QString s = sql::testoNonNullo(sorgente);
    const QStringList frasi = {
        QStringLiteral("INSERT INTO FORMUL (CODICE,NOME,SPECIFICHE,EDIZIONE,REVISIONE,"
                       "DATAULTIMAREVISIONE,RESPONSABILE,DENSITA,TOLLERANZADENSITA,PH,"
                       "TOLLERANZAPH,VISCOSO,MANODOPERA,POLVERE,CODICEADR,COSTOUNITARIO,"
                       "SCAGLIONE1,SCAGLIONE2,TEMPO1,TEMPO2,TEMPO3,MESIDURATAPRODOTTO,GRUPPOADR) "
                       "SELECT %1,NOME,SPECIFICHE,EDIZIONE,REVISIONE,DATAULTIMAREVISIONE,"
                       "RESPONSABILE,DENSITA,TOLLERANZADENSITA,PH,TOLLERANZAPH,VISCOSO,"
                       "MANODOPERA,POLVERE,CODICEADR,COSTOUNITARIO,SCAGLIONE1,SCAGLIONE2,TEMPO1,"
                       "TEMPO2,TEMPO3,MESIDURATAPRODOTTO,GRUPPOADR FROM FORMUL WHERE CODICE=%2")
            .arg(n, s),
        QStringLiteral("INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,"
                       "PERCENTUALE,TOLLERANZA,CRITICO,ACCETTABILITA,RANGE,MATERIAATTIVATEORICA,"
                       "MATERIAATTIVAREALE) SELECT %1,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE,"
                       "TOLLERANZA,CRITICO,ACCETTABILITA,RANGE,MATERIAATTIVATEORICA,"
                       "MATERIAATTIVAREALE FROM COMPON WHERE CODICEFORMULAZIONE=%2")
            .arg(n, s),
        QStringLiteral("INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO,EVIDENZA,TABEVIDENZA) "
                       "SELECT %1,NRIGA,TESTO,EVIDENZA,TABEVIDENZA FROM PROCED "
                       "WHERE CODICEFORMULAZIONE=%2")
            .arg(n, s)};
    // the copy is of the formulation as stored now, not as this screen read it
    bool sparita = false;
    try {
        scriviSuDatiCorrenti(
            [&] {
                for (const QString& f : frasi) {
                    QueryAux.SQL = {f};
                    const int righe = QueryAux.execSQL();
                    if (f == frasi.first() && righe != 1) {
                        sparita = true;
                        throw DbError(QStringLiteral("La formulazione non esiste più"));
                    }
                }
            },
            false);
    } catch (const DbError&) {
        if (sparita) {
            Messaggi::avviso(
                QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
                this);
        } else {
            Messaggi::errore(
                QStringLiteral("Errore interno: impossibile duplicare il record corrente"), this);
        }
        riapriSuCodice(sparita ? QString() : sorgente);
        return;
    }
    riapriSuCodice(nuovo);
}

void TFormulForm::ButtonCodiceComponClick() {
    auto* codice = qobject_cast<QLineEdit*>(
        PaginaComponenti->editazione(QStringLiteral("CODICEMATERIAPRIMA")));
    auto* descrizione =
        qobject_cast<QLineEdit*>(PaginaComponenti->editazione(QStringLiteral("DESCRIZIONE")));
    if (const auto scelta =
            TMaterForm::scegli(sessione_, this, {.codice = codice ? codice->text() : QString()})) {
        codice->setText(scelta->codice);
        descrizione->setText(scelta->nomeCommerciale);
    }
    if (codice) {
        codice->setFocus();
    }
}

void TFormulForm::ButtonSemilavoratoClick() {
    auto* e = qobject_cast<QLineEdit*>(editazione(QStringLiteral("SEMILAVORATOCOLLEGATO")));
    if (const auto scelta = TProdottiForm::scegli(sessione_, this, e->text())) {
        e->setText(scelta->codice);
    }
    e->setFocus();
}

// ------------------------------------------------------------- printing

void TFormulForm::ButtonStampaClick() {
    Query componenti(&sessione_->IBDatabase1, &TransazionePrincipale);
    Query procedure(&sessione_->IBDatabase1, &TransazionePrincipale);
    int nComponenti = 0, nProcedure = 0, letteC = 0, letteP = 0;
    report::SchedaDaStampare s;
    s.finestra = this;
    s.sessione = sessione_;
    s.fileProgetto = sessione_->GetV(QStringLiteral("StFormLST"));
    s.titoloProgettista = QStringLiteral("Editazione stampa schede formulazioni");
    s.titoloAnteprima = QStringLiteral("Anteprima stampa schede formulazioni");
    s.nessunRecord = listaVuota();
    s.modificaReport = CheckEditReport->isChecked();
    s.preparaDati = [&] {
        const QString codice = codiceCorrenteGriglia();
        mostraCosti(CalcolaCostiCompon(QueryAux, codice));
        componenti.SQL = PaginaComponenti->testoLista(codice);
        procedure.SQL = PaginaProcedure->testoLista(codice);
        const QString c = sql::testoNonNullo(codice);
        QueryAux.SQL = {QStringLiteral("SELECT COUNT(*) FROM COMPON WHERE CODICEFORMULAZIONE=") +
                        c};
        nComponenti = QueryAux.scalar().toInt();
        QueryAux.SQL = {QStringLiteral("SELECT COUNT(*) FROM PROCED WHERE CODICEFORMULAZIONE=") +
                        c};
        nProcedure = QueryAux.scalar().toInt();
        componenti.open();
        procedure.open();
        letteC = letteP = 0;
    };
    s.OnDefineVariables = [&](report::LavoroStampa& j) {
        for (const auto& c : Griglia->modello()->campi()) {
            j.defineVariable(c.nome, Griglia->campoCorrente(c.nome));
        }
        j.defineVariable(QStringLiteral("TABELLA"), componenti.eof()
                                                        ? QStringLiteral("Procedure")
                                                        : QStringLiteral("Componenti"));
        j.defineVariable(QStringLiteral("TABELLA1"),
                         nProcedure > 0 ? QStringLiteral("FirmaNo") : QStringLiteral("FirmaSi"));
        j.defineVariable(QStringLiteral("TABELLA2"), nComponenti == 0
                                                         ? QStringLiteral("Procedure")
                                                         : QStringLiteral("Componenti"));
        j.defineVariable(QStringLiteral("TABELLA3"),
                         nProcedure > 0 ? QStringLiteral("Procedure") : QString());
    };
    s.OnDefineFields = [&](report::LavoroStampa& j) {
        const bool suComponenti = !componenti.eof();
        j.defineFields(componenti, QStringLiteral("COMPON"));
        j.defineFields(procedure, QStringLiteral("PROCED"));
        j.defineField(QStringLiteral("TABELLA1"),
                      suComponenti ? QStringLiteral("Componenti") : QStringLiteral("Procedure"));
        if (j.designMode()) {
            return;
        }
        const int totale = nComponenti + nProcedure;
        if (suComponenti) {
            ++letteC;
            componenti.next();
        } else if (!procedure.eof()) {
            ++letteP;
            procedure.next();
        }
        // an empty formulation still prints its header, once
        j.setProgress(totale > 0 ? qRound(100.0 * (letteC + letteP) / totale) : 100);
        if (componenti.eof() && procedure.eof()) {
            j.setLastRecord();
        }
    };
    report::stampaScheda(s);
    for (Query* q : {&componenti, &procedure}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
}

} // namespace quintar
