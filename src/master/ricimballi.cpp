#include "master/ricimballi.h"

#include "master/pannellofoto.h"
#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"
#include "ui/tcsdgrid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quintar {

namespace {

// The types the search narrows to: their name, TIPOIMBALLO code.
const std::pair<const char*, const char*> kTipi[] = {
    {"Contenitore", "1"}, {"Tappo", "2"}, {"Etichetta", "4"}, {"Cartone", "3"}};

DescrizioneRicerca descrizione() {
    return {.tabella = QStringLiteral("IMBALLI"),
            .nome = QStringLiteral("Imballi"),
            .didascalia = QStringLiteral("Ricerca Imballi - Ditta:"),
            .situazioneFinestra = 5,
            .situazioneGriglia = 6,
            .sqlBase = {QStringLiteral("SELECT * FROM IMBALLI WHERE (CODICE IS NOT NULL)")},
            .campi = {{QStringLiteral("CODICE"), QStringLiteral("Codice"),
                       QStringLiteral("ButtonCodice"), QStringLiteral("EditCodice"),
                       QStringLiteral("EditCodice2")},
                      {QStringLiteral("NOMEIMBALLO"), QStringLiteral("Descrizione"),
                       QStringLiteral("ButtonNome"), QStringLiteral("EditNome"),
                       QStringLiteral("EditNome2")},
                      {QStringLiteral("TIPOIMBALLO"), QStringLiteral("Tipo"),
                       QStringLiteral("ButtonTipo"), QString(), QStringLiteral("EditTipo2")}},
            .prefissoPulsanti = QStringLiteral("Button"),
            .apriSubito = false};
}

} // namespace

TRicImballiForm::TRicImballiForm(TTabXForm* sessione, QWidget* owner)
    : SchermataRicerca(sessione, descrizione(), owner) {
    setObjectName(QStringLiteral("RicImballiForm"));

    ComboTipoImballo = new QComboBox(this);
    ComboTipoImballo->setObjectName(QStringLiteral("ComboTipoImballo"));
    ComboTipoImballo->setEditable(true);
    ComboTipoImballo->addItem(QStringLiteral("Tutto"));
    for (const auto& [nome, codice] : kTipi) {
        Q_UNUSED(codice);
        ComboTipoImballo->addItem(QString::fromLatin1(nome));
    }
    const int r = layoutCampi()->rowCount();
    layoutCampi()->addWidget(new QLabel(QStringLiteral("Tipo Imballo"), this), r, 0);
    layoutCampi()->addWidget(ComboTipoImballo, r, 1);

    // the item chosen so far, with its photo
    auto* scelto = new QHBoxLayout;
    auto* sel = new QGridLayout;
    sel->addWidget(new QLabel(QStringLiteral("Selezionato"), this), 0, 0);
    EditCodiceSel = new QLineEdit(this);
    EditCodiceSel->setObjectName(QStringLiteral("EditCodiceSel"));
    EditDescrizioneSel = new QLineEdit(this);
    EditDescrizioneSel->setObjectName(QStringLiteral("EditDescrizioneSel"));
    for (QLineEdit* e : {EditCodiceSel, EditDescrizioneSel}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }
    sel->addWidget(EditCodiceSel, 0, 1);
    sel->addWidget(EditDescrizioneSel, 1, 1);
    auto* aiuto = new QLabel(QStringLiteral("- Doppio click: seleziona un imballo\n"
                                            "- Tab: passa al controllo successivo\n"
                                            "- Shift+Tab: passa al controllo precedente\n"
                                            "- Invio su casella: attiva ricerca\n"
                                            "- Invio su griglia: seleziona un imballo e ritorna "
                                            "alla scheda"),
                             this);
    aiuto->setObjectName(QStringLiteral("LabelAiuto"));
    sel->addWidget(aiuto, 2, 0, 1, 2);
    scelto->addLayout(sel, 1);
    PanelNoFoto =
        new PannelloFoto(QStringLiteral("PanelNoFoto"), QStringLiteral("ImmagineImballo"), this);
    PanelNoFoto->setFixedSize(160, 120);
    scelto->addWidget(PanelNoFoto);
    layoutCorpo()->insertLayout(1, scelto);

    connect(ComboTipoImballo, &QComboBox::currentTextChanged, this,
            protetto(this, [this] { riapriLista(); }));
    connect(Griglia, &QAbstractItemView::doubleClicked, this,
            protetto(this, [this] { SelezionaCorrente(); }));
    Griglia->installEventFilter(this);
    resize(720, 560);
    if (sessione->IBDatabase1.connected()) {
        riapriLista();
    }
}

QStringList TRicImballiForm::altreCondizioni(QString& testo) const {
    const QString tipo = ComboTipoImballo->currentText();
    for (const auto& [nome, codice] : kTipi) {
        if (tipo == QLatin1String(nome)) {
            testo += QStringLiteral("TIPOIMBALLO=%1;").arg(QLatin1String(codice));
            return {QStringLiteral("AND(TIPOIMBALLO='%1')").arg(QLatin1String(codice))};
        }
    }
    return {};
}

void TRicImballiForm::selezioneAnnullata() {
    const QSignalBlocker blocco(ComboTipoImballo);
    ComboTipoImballo->setEditText(QString());
}

void TRicImballiForm::impostaTipo(const QString& tipo) {
    {
        const QSignalBlocker blocco(ComboTipoImballo);
        const int i = ComboTipoImballo->findText(tipo);
        if (i >= 0) {
            ComboTipoImballo->setCurrentIndex(i);
        } else {
            ComboTipoImballo->setEditText(tipo);
        }
    }
    riapriLista();
}

void TRicImballiForm::posizionaSuNome(const QString& nome) {
    if (nome.isEmpty()) {
        return;
    }
    GrigliaModello* m = Griglia->modello();
    const int r =
        m->cerca(QStringLiteral("NOMEIMBALLO"), [&nome](const QString& n) { return n == nome; });
    if (r >= 0) {
        Griglia->setCurrentIndex(m->index(r, std::max(0, Griglia->currentIndex().column())));
    }
}

void TRicImballiForm::SelezionaCorrente() {
    if (Griglia->modello()->rowCount() == 0 || !Griglia->currentIndex().isValid()) {
        return;
    }
    const QString codice = valoreScelto(QStringLiteral("CODICE"));
    EditCodiceSel->setText(codice);
    EditDescrizioneSel->setText(valoreScelto(QStringLiteral("NOMEIMBALLO")));
    PanelNoFoto->nascondi();
    try {
        Query q(&sessione_->IBDatabase1, &Transazione);
        q.SQL = {QStringLiteral("SELECT FOTO FROM FOTOIMBALLI"),
                 QStringLiteral("WHERE CODICE=") + sql::testoNonNullo(codice),
                 QStringLiteral("ORDER BY PROGRESSIVO")};
        const QStringList foto = q.primaColonna();
        if (!foto.isEmpty()) {
            PanelNoFoto->mostra(sessione_->GetV(QStringLiteral("DirectoryImmagini")), foto.first());
        }
    } catch (const DbError&) {
        // the photo is only shown when it can be read
    }
}

bool TRicImballiForm::eventFilter(QObject* o, QEvent* e) {
    if (o == Griglia && e->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent*>(e)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) {
            if (Griglia->modello()->rowCount() > 0) {
                protetto(this, [this] {
                    SelezionaCorrente();
                    done(kRisultatoOK);
                })();
            }
            return true;
        }
    }
    return SchermataRicerca::eventFilter(o, e);
}

std::optional<TRicImballiForm::Scelta> TRicImballiForm::scegli(TTabXForm* sessione, QWidget* owner,
                                                               const QString& tipo,
                                                               const QString& nome) {
    TRicImballiForm r(sessione, owner);
    if (owner) {
        r.setWindowIcon(owner->windowIcon());
    }
    if (!tipo.isEmpty()) {
        r.impostaTipo(tipo);
    }
    r.posizionaSuNome(nome);
    if (Messaggi::esegui(&r) != kRisultatoOK) {
        return std::nullopt;
    }
    return Scelta{r.EditCodiceSel->text(), r.EditDescrizioneSel->text()};
}

} // namespace quintar
