#include "master/imballi.h"

#include "master/doveusato.h"
#include "master/fornito.h"
#include "master/foto.h"
#include "master/pannellofoto.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"
#include "ui/storico.h"
#include "ui/tcsdgrid.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace quintar {

namespace {

const QString kTabella = QStringLiteral("IMBALLI");

enum Pagina { Imballi, Allegati, Ricerche, VisFoto };

// Final prices are computed, never typed.
CampoScheda calcolato(CampoScheda c) {
    c.calcolato = true;
    return c;
}

std::vector<CampoScheda> campiImballo() {
    const char* numero = "Specificare un valore numerico valido per \"%1\"";
    auto prezzo = [numero](const char* colonna, const char* didascalia, const char* pulsante,
                           const char* e, const char* e2) {
        CampoScheda c =
            campoScheda(colonna, didascalia, pulsante, e, e2, Controllo::Edit, TipoValore::Numero);
        c.messaggioNonValido = QString::fromLatin1(numero).arg(QString::fromUtf8(didascalia));
        return c;
    };
    std::vector<CampoScheda> c;
    c.push_back(campoScheda("NOMEIMBALLO", "Nome", "ButtonNomeImballo", "EditNomeImballo",
                            "EditNomeImballo2"));
    CampoScheda tipo = campoScheda("TIPOIMBALLO", "Tipo", "ButtonTipoImballo", "ComboTipoImballo",
                                   "EditTipoImballo2", Controllo::Combo);
    tipo.descrizioneEditazione = QStringLiteral("StaticDescrizioneTipo");
    tipo.descrizioneConsultazione = QStringLiteral("StaticDescrizioneTipo2");
    c.push_back(tipo);
    c.push_back(campoScheda("CONTENUTO", "Conten.", "ButtonContenuto", "EditContenuto",
                            "EditContenuto2", Controllo::Edit, TipoValore::Numero,
                            "Specificare un valore numerico valido per \"Conten.\""));
    c.push_back(campoScheda("DIVISORE", "Divisore", "ButtonDivisore", "EditDivisore",
                            "EditDivisore2", Controllo::Edit, TipoValore::Numero,
                            "Specificare un valore numerico valido per \"Divisore\""));
    c.push_back(campoScheda("CODICEANALOGO", "Cod.Analogo", "ButtonCodiceAnalogo",
                            "EditCodiceAnalogo", "EditCodiceAnalogo2"));
    // the three suppliers: CODICEFORNITORE, CODICEFORNITORE1, CODICEFORNITORE2
    const char* colonneFornitore[] = {"CODICEFORNITORE", "CODICEFORNITORE1", "CODICEFORNITORE2"};
    for (int i = 1; i <= 3; ++i) {
        const QByteArray n = QByteArray::number(i);
        CampoScheda f =
            campoScheda(colonneFornitore[i - 1], "Cod.Forn." + n, "ButtonCodiceFornitore" + n,
                        "EditCodiceFornitore" + n, "EditCodiceFornitore" + n + "_2");
        f.descrizioneEditazione = QStringLiteral("StaticDescrizioneFornitore") + n;
        f.descrizioneConsultazione = QStringLiteral("StaticDescrizioneFornitore%1_2").arg(i);
        c.push_back(f);
        c.push_back(prezzo("PREZZOFORNITORE" + n, "Prezzo Forn." + n, "ButtonPrezzoFornitore" + n,
                           "EditPrezzoFornitore" + n, "EditPrezzoFornitore" + n + "_2"));
        c.push_back(calcolato(campoScheda("COSTOIMBALLO" + n, "Prezzo finale " + n,
                                          "ButtonCostoImballo" + n, "EditCostoImballo" + n,
                                          "EditCostoImballo" + n + "_2", Controllo::Edit,
                                          TipoValore::Numero)));
        c.push_back(campoScheda("DATAVARPREZZO" + n, "Ultima Var. Prezzo", "ButtonVarPrezzo" + n,
                                "EditVarPrezzo" + n, "EditVarPrezzo" + n + "_2", Controllo::Edit,
                                TipoValore::Data,
                                "Specificare una data valida per \"Ultima Var. Prezzo\""));
    }
    c.push_back(campoScheda("CARATTERISTICHE", "Caratteristiche", "ButtonCaratteristiche",
                            "MemoCaratteristiche", "MemoCaratteristiche2", Controllo::Memo));
    c.push_back(prezzo("COSTOAGGIUNTIVO", "Prezzo agg.", "ButtonCostoAggiuntivo",
                       "EditCostoAggiuntivo", "EditCostoAggiuntivo2"));
    c.push_back(campoScheda("TAPPOCOMPRESO", "Tappo Compreso", "ButtonTappoCompreso",
                            "CheckTappoCompreso", "EditTappoCompreso2", Controllo::Check,
                            TipoValore::Flag));
    c.push_back(campoScheda("UBICAZIONEPRIMARIA", "Ubicazione Primaria", "ButtonUbicazPrimaria",
                            "EditUbicazPrimaria", "EditUbicazPrimaria2"));
    c.push_back(campoScheda("UBICAZIONESTOCK", "Ubicazione stock", "ButtonUbicazStock",
                            "EditUbicazStock", "EditUbicazStock2"));
    return c;
}

// Called before the card's lists exist, so that nothing holds the table
// while it changes.
TTabXForm* codiciControllati(TTabXForm* sessione) {
    if (sessione->IBDatabase1.connected()) {
        TImballiForm::CheckCodiceImballo(
            sessione, percorsi::suDisco(sessione->GetV(QStringLiteral("TempDir"))));
    }
    return sessione;
}

} // namespace

TImballiForm::TImballiForm(TTabXForm* sessione, QWidget* owner)
    : SchedaAPagine(
          codiciControllati(sessione),
          {.tabella = kTabella,
           .nome = QStringLiteral("Imballi"),
           .didascalia = QStringLiteral("Scheda Imballi - Ditta:"),
           .situazioneFinestra = 2,
           .situazioneGriglia = 6,
           .sqlBase = {QStringLiteral("SELECT * FROM IMBALLI WHERE (CODICE IS NOT NULL)")},
           .nuovoCodice = NuovoCodice::Digitato,
           .titoloNuovo = QStringLiteral("Nuovo imballo"),
           .etichettaNuovo = QStringLiteral("Codice imballo:"),
           .caratteriNuovo = 10,
           .campi = campiImballo(),
           .controlliProfilo = {QStringLiteral("ButtonNuovo"), QStringLiteral("ButtonEdit"),
                                QStringLiteral("ButtonElimina"),
                                QStringLiteral("ButtonAggiungiFoto"),
                                QStringLiteral("ButtonAllegatiAggiungi"),
                                QStringLiteral("ButtonAllegatiTogli")},
           .avvisoEliminazione =
               [](Query& q, const QString& codice) {
                   return avvisoUsi(Articolo::Imballo, contaUsi(q, Articolo::Imballo, codice));
               },
           .navigatore = QStringLiteral("NavigatorImballi"),
           .fuocoNuovo = QStringLiteral("NOMEIMBALLO"),
           .fuocoModifica = QStringLiteral("NOMEIMBALLO"),
           .colonneCampi = 2},
          {.tabSet = QStringLiteral("TabSetImballi"),
           .notebook = QStringLiteral("NoteBookImballi"),
           .titoli = {QStringLiteral("Pagina 1"), QStringLiteral("Allegati"),
                      QStringLiteral("Ricerche")},
           .paginaRicerche = Ricerche,
           .ricerca = {{QStringLiteral("Codice"), QStringLiteral("EditRicercaCodice"),
                        QStringLiteral("CODICE")},
                       {QStringLiteral("Descrizione"), QStringLiteral("EditRicercaNomeImballo"),
                        QStringLiteral("NOMEIMBALLO")}},
           .sqlRicerca = QStringLiteral("SELECT * FROM IMBALLI WHERE (CODICE IS NOT NULL)"),
           .paginaAllegati = Allegati,
           .tabellaAllegati = QStringLiteral("IMBALLIALL"),
           .situazioneAllegati = 10,
           .allegatoPresente = QStringLiteral("Il file selezionato è già presente nella lista "
                                              "degli allegati per la materia prima corrente")},
          owner),
      QueryFoto(&sessione->IBDatabase1, &TransazionePrincipale),
      QueryVisFoto(&sessione->IBDatabase1, &TransazionePrincipale) {
    creaPagine();
    if (sessione->IBDatabase1.connected()) {
        caricaElenco(QStringLiteral("TIPOIMBALLO"), {QStringLiteral("SELECT CODICE FROM TPIMBA")},
                     true);
    }
    collegaDecodifiche();
    resize(1180, 820);
    if (auto* divisore = qobject_cast<QSplitter*>(CorpoScheda)) {
        divisore->setSizes({260, 520});
    }
    mostraPagina(Imballi);
    SettaggioInterfaccia();
    rigaCambiata();
}

TImballiForm::~TImballiForm() {
    GridFotoImballi->setSorgenteDati(nullptr);
}

QLineEdit* TImballiForm::edit(const QString& colonna) const {
    return qobject_cast<QLineEdit*>(editazione(colonna));
}

// ------------------------------------------------------------------ pages

void TImballiForm::creaPagine() {
    Notebook->setObjectName(QStringLiteral("NoteBookEditImballi"));
    PaginaUno->setObjectName(QStringLiteral("Imballi"));
    Testata->setMaximumHeight(0); // the card repeats nothing above its pages
    // "VisFoto" has a tab nobody sees: shown from the photo, no tab is selected
    TabSet->addTab(QString());
    TabSet->setTabVisible(VisFoto, false);
    ButtonRicerche = creaPulsante(QStringLiteral("&Ricerche"), QStringLiteral("ButtonRicerche"),
                                  PaginaConsultazione);
    ButtonAggiungiFoto = creaPulsante(QStringLiteral("Agg. Foto"),
                                      QStringLiteral("ButtonAggiungiFoto"), PaginaConsultazione);
    ButtonDoveUsato = creaPulsante(QStringLiteral("&Dove usato"), QStringLiteral("ButtonDoveUsato"),
                                   PaginaConsultazione);
    connect(ButtonDoveUsato, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonDoveUsatoClick(); }));
    PanelNoFoto = new PannelloFoto(QStringLiteral("PanelNoFoto"), QStringLiteral("ImmagineImballo"),
                                   PaginaConsultazione);
    PanelNoFoto->setFixedSize(200, 150);
    PanelAltreImmagini = new QLabel(PaginaConsultazione);
    PanelAltreImmagini->setObjectName(QStringLiteral("PanelAltreImmagini"));
    PanelAltreImmagini->setFrameShape(QFrame::Panel);
    PanelAltreImmagini->setCursor(Qt::PointingHandCursor);
    PanelAltreImmagini->installEventFilter(this);
    PanelAltreImmagini->hide();
    // the photo and the card's own buttons beside the fields
    if (auto* v = qobject_cast<QVBoxLayout*>(PaginaConsultazione->layout())) {
        QLayoutItem* campi = v->takeAt(0);
        auto* h = new QHBoxLayout;
        h->addItem(campi);
        auto* colonna = new QVBoxLayout;
        colonna->addWidget(PanelNoFoto);
        colonna->addWidget(PanelAltreImmagini);
        colonna->addStretch();
        colonna->addWidget(ButtonRicerche);
        colonna->addWidget(ButtonAggiungiFoto);
        colonna->addWidget(ButtonDoveUsato);
        h->addLayout(colonna);
        v->insertLayout(0, h, 1);
    }
    for (QWidget* m : {editazione(QStringLiteral("CARATTERISTICHE")),
                       consultazione(QStringLiteral("CARATTERISTICHE"))}) {
        m->setMaximumHeight(90);
    }
    // the suppliers' captions open the supplier search on the edit page
    for (int i = 0; i < 3; ++i) {
        QPushButton* b = PaginaEditazione->findChild<QPushButton*>(
            QStringLiteral("ButtonCodiceFornitore%1").arg(i + 1));
        b->setText(QStringLiteral("Cod.Forn.&%1").arg(i + 1));
        b->disconnect();
        connect(b, &QPushButton::clicked, this,
                protetto(this, [this, i] { ButtonFornitoreClick(i); }));
        ButtonFornitore[i] = b;
        connect(edit(QStringLiteral("PREZZOFORNITORE%1").arg(i + 1)), &QLineEdit::editingFinished,
                this, protetto(this, [this, i] { CalcolaCosti(i); }));
    }
    connect(edit(QStringLiteral("COSTOAGGIUNTIVO")), &QLineEdit::editingFinished, this,
            protetto(this, [this] { CalcolaCosti(); }));

    aggiungiPagina(nullptr); // attachments
    aggiungiPagina(nullptr); // searches
    aggiungiPagina(creaPaginaVisFoto());

    connect(ButtonRicerche, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Ricerche); }));
    connect(ButtonAggiungiFoto, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonAggiungiFotoClick(); }));
    connect(PanelNoFoto, &PannelloFoto::doppioClick, this,
            protetto(this, [this] { VediFoto(false); }));
}

QWidget* TImballiForm::creaPaginaVisFoto() {
    auto* pagina = new QWidget(this);
    pagina->setObjectName(QStringLiteral("VisFoto"));
    auto* v = new QVBoxLayout(pagina);
    v->addWidget(new QLabel(QStringLiteral("Visualizzazione foto imballo corrente"), pagina));
    auto* h = new QHBoxLayout;
    GridFotoImballi = new TCSDGrid(pagina);
    GridFotoImballi->setObjectName(QStringLiteral("GridFotoImballi"));
    configuraGriglia(GridFotoImballi, 0, QString());
    GridFotoImballi->OrderBy = false;
    GridFotoImballi->TastiFunzione = false;
    GridFotoImballi->setSorgenteDati(&QueryVisFoto);
    h->addWidget(GridFotoImballi, 1);
    PanelNoVisFoto = new PannelloFoto(QStringLiteral("PanelNoVisFoto"),
                                      QStringLiteral("ImmagineVisFoto"), pagina);
    PanelNoVisFoto->setMinimumSize(480, 360);
    h->addWidget(PanelNoVisFoto, 2);
    v->addLayout(h, 1);
    ButtonVisFotoChiudi =
        creaPulsante(QStringLiteral("Ch&iudi"), QStringLiteral("ButtonVisFotoChiudi"), pagina);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonVisFotoChiudi);
    v->addLayout(b);
    connect(ButtonVisFotoChiudi, &QPushButton::clicked, this,
            protetto(this, [this] { mostraPagina(Imballi); }));
    auto disegna = [this] {
        const QString cartella = sessione_->GetV(QStringLiteral("DirectoryImmagini"));
        if (GridFotoImballi->modello()->rowCount() == 0 ||
            !GridFotoImballi->currentIndex().isValid()) {
            PanelNoVisFoto->nascondi();
            return;
        }
        const Campo f = GridFotoImballi->campoCorrente(QStringLiteral("FOTO"));
        PanelNoVisFoto->mostra(cartella, f.isNull() ? QString() : f.asString());
    };
    connect(GridFotoImballi->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            protetto(this, disegna));
    connect(GridFotoImballi->modello(), &QAbstractItemModel::modelReset, this,
            protetto(this, disegna));
    return pagina;
}

void TImballiForm::collegaDecodifiche() {
    auto descrizione = [this](bool suConsultazione, const QString& colonna) {
        const QString chiave = colonna + '#';
        return qobject_cast<QLineEdit*>(suConsultazione ? consultazione(chiave)
                                                        : editazione(chiave));
    };
    auto tipo = [](const QString& c) {
        return QStringList{QStringLiteral("SELECT DESCRIZIONE FROM TPIMBA"),
                           QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
    };
    auto fornitore = [](const QString& c) {
        return QStringList{QStringLiteral("SELECT RAGSOC FROM FORNITO"),
                           QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(c)};
    };
    collegaDescrizione(consultazione(QStringLiteral("TIPOIMBALLO")),
                       descrizione(true, QStringLiteral("TIPOIMBALLO")),
                       QStringLiteral("TimerTipo2"), tipo, 1000);
    collegaDescrizione(editazione(QStringLiteral("TIPOIMBALLO")),
                       descrizione(false, QStringLiteral("TIPOIMBALLO")),
                       QStringLiteral("TimerTipo"), tipo, 1000);
    const QString colonne[] = {QStringLiteral("CODICEFORNITORE"),
                               QStringLiteral("CODICEFORNITORE1"),
                               QStringLiteral("CODICEFORNITORE2")};
    for (int i = 0; i < 3; ++i) {
        collegaDescrizione(consultazione(colonne[i]), descrizione(true, colonne[i]),
                           QStringLiteral("TimerFornitore%1_2").arg(i + 1), fornitore, 1000);
        collegaDescrizione(editazione(colonne[i]), descrizione(false, colonne[i]),
                           QStringLiteral("TimerFornitore%1").arg(i + 1), fornitore, 1000);
    }
}

void TImballiForm::ButtonDoveUsatoClick() {
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("La tabella è vuota"), this);
        return;
    }
    TDoveUsatoForm::mostra(sessione_, Articolo::Imballo, codiceCorrenteGriglia(), this);
}

QList<QPushButton*> TImballiForm::pulsantiPagina(int pagina) {
    QList<QPushButton*> b = SchedaAPagine::pulsantiPagina(pagina);
    if (pagina == Imballi) {
        b << ButtonRicerche << ButtonFornitore[0] << ButtonFornitore[1] << ButtonFornitore[2]
          << ButtonDoveUsato;
    } else if (pagina == VisFoto) {
        b << ButtonVisFotoChiudi;
    }
    return b;
}

void TImballiForm::paginaMostrata(int pagina) {
    Testata->hide();
    if (pagina != VisFoto) {
        try {
            QueryVisFoto.close();
        } catch (const DbError&) {
        }
    }
}

void TImballiForm::rigaCambiata() {
    MostraImmagine();
}

// ------------------------------------------------------------------ photos

void TImballiForm::MostraImmagine() {
    PanelNoFoto->nascondi();
    PanelAltreImmagini->hide();
    const QString codice = codiceCorrenteGriglia();
    codiceFoto_ = codice;
    try {
        QueryFoto.close();
        QueryFoto.SQL = {QStringLiteral("SELECT * FROM FOTOIMBALLI WHERE"),
                         codice.isEmpty() ? QStringLiteral("CODICE IS NULL")
                                          : QStringLiteral("CODICE=") + sql::testoNonNullo(codice),
                         QStringLiteral("ORDER BY PROGRESSIVO")};
        QueryFoto.open();
        QStringList foto;
        while (!QueryFoto.eof()) {
            const Campo f = QueryFoto.fieldByName(QStringLiteral("FOTO"));
            foto << (f.isNull() ? QString() : f.asString());
            QueryFoto.next();
        }
        QueryFoto.close();
        if (foto.size() > 1) {
            PanelAltreImmagini->setText(QStringLiteral("Altre %1 img.").arg(foto.size() - 1));
            PanelAltreImmagini->show();
        }
        if (!foto.isEmpty()) {
            PanelNoFoto->mostra(sessione_->GetV(QStringLiteral("DirectoryImmagini")), foto.first());
        }
    } catch (const DbError&) {
        // the photo stays hidden
    }
}

void TImballiForm::VediFoto(bool tutte) {
    const QString codice = codiceCorrenteGriglia();
    const QString chiave = codice.isEmpty()
                               ? QStringLiteral("CODICE IS NULL")
                               : QStringLiteral("CODICE=") + sql::testoNonNullo(codice);
    try {
        QueryVisFoto.close();
        QueryVisFoto.SQL =
            tutte ? QStringList{QStringLiteral("SELECT PROGRESSIVO,FOTO FROM FOTOIMBALLI WHERE"),
                                chiave, QStringLiteral("ORDER BY CODICE,PROGRESSIVO")}
                  : QStringList{QStringLiteral("SELECT FIRST 1 FOTO FROM FOTOIMBALLI WHERE"),
                                chiave, QStringLiteral("ORDER BY PROGRESSIVO")};
        QueryVisFoto.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return;
    }
    mostraPagina(VisFoto);
}

bool TImballiForm::eventFilter(QObject* o, QEvent* e) {
    if (o == PanelAltreImmagini && e->type() == QEvent::MouseButtonRelease) {
        protetto(this, [this] { VediFoto(true); })();
        return true;
    }
    return SchedaAPagine::eventFilter(o, e);
}

void TImballiForm::ButtonAggiungiFotoClick() {
    // a photo is always filed under an item
    if (listaVuota()) {
        Messaggi::avviso(QStringLiteral("Nessun imballo selezionato"), this);
        return;
    }
    const QString codice = codiceCorrenteGriglia();
    const QString cartella = sessione_->GetV(QStringLiteral("DirectoryImmagini"));
    const QString suDisco = percorsi::suDisco(cartella);
    const QString inizio =
        !cartella.isEmpty() && QDir(suDisco).exists() ? suDisco : percorsi::dirEseguibile();
    const QString file =
        Messaggi::scegliFile(this, QStringLiteral("Foto"), inizio,
                             QStringLiteral("Immagini (*.jpg *.jpeg *.bmp *.png);;Tutti (*)"));
    if (file.isEmpty()) {
        return;
    }
    const std::optional<QString> nome = foto::memorizzata(file, suDisco);
    if (!nome) {
        Messaggi::avviso(QStringLiteral("Selezionare una foto dentro il percorso: ") + cartella,
                         this);
        return;
    }
    // stored names turn a quote into ´: such a file would never be found again
    if (nome->contains('\'')) {
        Messaggi::avviso(QStringLiteral("Non è possibile selezionare file con nome contenente il "
                                        "carattere \"'\""),
                         this);
        return;
    }
    try {
        // the number is taken where the photo is written: one another user
        // takes meanwhile makes the insert start again on the next
        scriviSuDatiCorrenti([&] {
            QueryAux.SQL = {QStringLiteral("SELECT MAX(PROGRESSIVO) FROM FOTOIMBALLI")};
            const QVariant massimo = QueryAux.scalar();
            const int numero = massimo.isValid() && !massimo.isNull() ? massimo.toInt() + 1 : 1;
            QueryAux.SQL = {QStringLiteral("INSERT INTO FOTOIMBALLI (PROGRESSIVO,CODICE,FOTO) "
                                           "VALUES("),
                            QStringLiteral("%1,%2,%3)")
                                .arg(sql::intero(numero), sql::testoNonNullo(codice),
                                     sql::testoNonNullo(*nome))};
            QueryAux.execSQL();
        });
    } catch (const DbError&) {
        Messaggi::errore(
            QStringLiteral("Errore interno durante l'aggiunta della foto selezionata. Riprovare"),
            this);
    }
    MostraImmagine();
    if (paginaCorrente() == Allegati) {
        riapriQuery(QueryAllegati);
    }
}

// ----------------------------------------------------------------- record

double TImballiForm::PrezzoFinale(const QString& prezzo, const QString& aggiuntivo) {
    if (prezzo.trimmed().isEmpty()) {
        return 0;
    }
    return Formati::leggiNumero(prezzo).value_or(0) + Formati::leggiNumero(aggiuntivo).value_or(0);
}

void TImballiForm::CalcolaCosti(int fornitore) {
    const QString aggiuntivo = edit(QStringLiteral("COSTOAGGIUNTIVO"))->text();
    for (int i = 0; i < 3; ++i) {
        if (fornitore >= 0 && i != fornitore) {
            continue;
        }
        const QString n = QString::number(i + 1);
        const double v =
            PrezzoFinale(edit(QStringLiteral("PREZZOFORNITORE") + n)->text(), aggiuntivo);
        edit(QStringLiteral("COSTOIMBALLO") + n)->setText(Formati::numeroInTesto(v));
    }
}

bool TImballiForm::validaCampi() {
    // the stored final prices always match the stored prices
    CalcolaCosti();
    return true;
}

void TImballiForm::dopoNuovo() {
    auto* tipo = qobject_cast<QComboBox*>(editazione(QStringLiteral("TIPOIMBALLO")));
    tipo->setCurrentIndex(tipo->findText(QString()));
    for (int i = 1; i <= 3; ++i) {
        edit(QStringLiteral("COSTOIMBALLO%1").arg(i))->clear();
    }
}

void TImballiForm::eliminaRecord(const QString& codice) {
    // the photos go with their item; attachments, products and materials
    // naming it stay
    QueryAux.SQL = {QStringLiteral("DELETE FROM FOTOIMBALLI WHERE"),
                    QStringLiteral("CODICE=") + sql::testoNonNullo(codice)};
    QueryAux.execSQL();
    SchedaBase::eliminaRecord(codice);
}

void TImballiForm::ButtonFornitoreClick(int fornitore) {
    const QString colonne[] = {QStringLiteral("CODICEFORNITORE"),
                               QStringLiteral("CODICEFORNITORE1"),
                               QStringLiteral("CODICEFORNITORE2")};
    QLineEdit* e = edit(colonne[fornitore]);
    e->setFocus();
    if (const auto scelto = TRFornitoForm::scegli(sessione_, this, e->text())) {
        e->setText(*scelto);
    }
}

void TImballiForm::closeEvent(QCloseEvent* e) {
    SchedaAPagine::closeEvent(e);
    if (!e->isAccepted()) {
        return;
    }
    for (Query* q : {&QueryFoto, &QueryVisFoto}) {
        try {
            q->close();
        } catch (const DbError&) {
        }
    }
}

// ------------------------------------------------------ older archives

void TImballiForm::CheckCodiceImballo(TTabXForm* sessione, const QString& cartellaErrori) {
    // A key column cannot change type while its key stands, nor in the
    // statement that drops it: the key is dropped, the column widened and the
    // key added back, each committed on its own; a failure after the drop
    // puts the key back.
    struct Passo {
        const char* tabella;
        const char* colonna;
        std::vector<QStringList> ddl;
        QStringList ripristino = {};
    };
    const Passo passi[] = {
        {"IMBALLI",
         "CODICE",
         {{QStringLiteral("ALTER TABLE IMBALLI"),
           QStringLiteral("DROP CONSTRAINT IMBALLI_CHIAVEPRIMARIA")},
          {QStringLiteral("ALTER TABLE IMBALLI"), QStringLiteral("ALTER CODICE TYPE VARCHAR(10)")},
          {QStringLiteral("ALTER TABLE IMBALLI"),
           QStringLiteral("ADD CONSTRAINT IMBALLI_CHIAVEPRIMARIA PRIMARY KEY (CODICE)")}},
         {QStringLiteral("ALTER TABLE IMBALLI"),
          QStringLiteral("ADD CONSTRAINT IMBALLI_CHIAVEPRIMARIA PRIMARY KEY (CODICE)")}},
        {"IMBALLI",
         "CODICEANALOGO",
         {{QStringLiteral("ALTER TABLE IMBALLI"),
           QStringLiteral("ALTER CODICEANALOGO TYPE VARCHAR(10)")}}},
        {"IMBALLIALL",
         "CODICE",
         {{QStringLiteral("ALTER TABLE IMBALLIALL"),
           QStringLiteral("DROP CONSTRAINT IMBALLIALL_CHIAVEPRIMARIA")},
          {QStringLiteral("ALTER TABLE IMBALLIALL"),
           QStringLiteral("ALTER CODICE TYPE VARCHAR(10)")},
          {QStringLiteral("ALTER TABLE IMBALLIALL"),
           QStringLiteral("ADD CONSTRAINT IMBALLIALL_CHIAVEPRIMARIA"),
           QStringLiteral("PRIMARY KEY (CODICE,NOMEFILE)")}},
         {QStringLiteral("ALTER TABLE IMBALLIALL"),
          QStringLiteral("ADD CONSTRAINT IMBALLIALL_CHIAVEPRIMARIA"),
          QStringLiteral("PRIMARY KEY (CODICE,NOMEFILE)")}},
        {"FOTOIMBALLI",
         "CODICE",
         {{QStringLiteral("ALTER TABLE FOTOIMBALLI"),
           QStringLiteral("ALTER CODICE TYPE VARCHAR(10)")}}},
    };
    Transaction t(&sessione->IBDatabase1);
    Query q(&sessione->IBDatabase1, &t);
    auto annulla = [&t] {
        if (t.active()) {
            try {
                t.rollback();
            } catch (const DbError&) {
            }
        }
    };
    auto esegui = [&](const QStringList& frase) {
        t.start();
        q.SQL = frase;
        q.execSQL();
        t.commit();
    };
    for (const Passo& p : passi) {
        const QString tabella = QString::fromLatin1(p.tabella);
        const QString colonna = QString::fromLatin1(p.colonna);
        try {
            t.start();
            q.SQL = {QStringLiteral("SELECT B.RDB$FIELD_LENGTH AS AMPIEZZA"),
                     QStringLiteral("FROM RDB$RELATION_FIELDS A LEFT JOIN RDB$FIELDS B ON"),
                     QStringLiteral("(A.RDB$FIELD_SOURCE=B.RDB$FIELD_NAME)"),
                     QStringLiteral("WHERE (A.RDB$RELATION_NAME=%1)").arg(sql::testo(tabella)),
                     QStringLiteral("AND(A.RDB$FIELD_NAME=%1)").arg(sql::testo(colonna))};
            const QVariant ampiezza = q.scalar();
            t.commit();
            // in bytes, as the system table holds it
            if (!ampiezza.isValid() || ampiezza.isNull() || ampiezza.toInt() >= 10) {
                continue;
            }
        } catch (const DbError&) {
            annulla();
            return;
        }
        Messaggi::informazione(QStringLiteral("Campo %1 della tabella %2 da aggiornare. Verrà "
                                              "aggiornato ora")
                                   .arg(colonna, tabella));
        size_t fatti = 0;
        try {
            for (; fatti < p.ddl.size(); ++fatti) {
                esegui(p.ddl[fatti]);
            }
        } catch (const DbError&) {
            annulla();
            storico::registraErrore(cartellaErrori, p.ddl[fatti]);
            if (fatti > 0 && !p.ripristino.isEmpty()) {
                try {
                    esegui(p.ripristino);
                } catch (const DbError&) {
                    annulla();
                }
            }
            Messaggi::errore(QStringLiteral("Errore interno durante l'aggiornamento del campo %1 "
                                            "per la tabella %2")
                                 .arg(colonna, tabella));
            return;
        }
    }
}

} // namespace quintar
