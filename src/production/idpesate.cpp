#include "production/idpesate.h"

#include "session/connessione.h"
#include "session/distribuita.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

// ---------------------------------------------------------------- status dialog

TModStatusPesataForm::TModStatusPesataForm(const QString& attuale, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("ModStatusPesataForm"));
    setWindowTitle(QStringLiteral("Modifica status"));
    ComboStatus = new QComboBox(this);
    ComboStatus->setObjectName(QStringLiteral("ComboStatus"));
    ComboStatus->addItems({pesate::kAperta, pesate::kErrore, pesate::kAnnullata, pesate::kChiusa});
    // a weighing not classified yet (or with a status of its own) opens
    // without a choice
    ComboStatus->setCurrentIndex(ComboStatus->findText(attuale));
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel(QStringLiteral("Status"), this));
    v->addWidget(ComboStatus);
    v->addLayout(pulsantiOkAnnulla(this, OKBtn, CancelBtn, [this] {
        if (ComboStatus->currentIndex() < 0) {
            Messaggi::avviso(QStringLiteral("Specificare uno status"), this);
            return false;
        }
        return true;
    }));
    CancelBtn->setText(QStringLiteral("Cancel"));
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

QString TModStatusPesataForm::stato() const {
    return ComboStatus->currentIndex() < 0 ? QString() : ComboStatus->currentText();
}

// ---------------------------------------------------------------- monitor

namespace {

const QStringList kColonne = {QStringLiteral("BILANCIA"), QStringLiteral("DATA_ORA"),
                              QStringLiteral("BARCODE"),  QStringLiteral("PESO"),
                              QStringLiteral("NOTE"),     QStringLiteral("OPERATORE")};

} // namespace

TIdPesateForm::TIdPesateForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner),
      QueryPesate(&sessione->IBDatabase3, &sessione->IBTransaction3) {
    setObjectName(QStringLiteral("IdPesateForm"));
    impostaDidascalia(QStringLiteral("Identificazione pesate - Ditta:"));
    SituazioneFinestra = kSituazioneFinestra;

    GridPesate = new QTableView(this);
    GridPesate->setObjectName(QStringLiteral("GridPesate"));
    GridPesate->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridPesate->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridPesate->setSelectionMode(QAbstractItemView::SingleSelection);
    GridPesate->verticalHeader()->setDefaultSectionSize(GridPesate->fontMetrics().height() + 6);
    GridPesate->verticalHeader()->hide();
    GridPesate->viewport()->installEventFilter(this);
    Modello = new GrigliaModello(this);
    Modello->setQuery(&QueryPesate);
    GridPesate->setModel(Modello);

    MenuPesate = new QMenu(this);
    MenuPesate->setObjectName(QStringLiteral("MenuPesate"));
    VoceModificaStatus = MenuPesate->addAction(QStringLiteral("Modifica status"));
    VoceModificaStatus->setObjectName(QStringLiteral("VoceModificaStatus"));

    CheckNoAnnullate = new QCheckBox(QStringLiteral("Nascondi annullate"), this);
    CheckNoAnnullate->setObjectName(QStringLiteral("CheckNoAnnullate"));
    CheckNoChiuse = new QCheckBox(QStringLiteral("Nascondi chiuse"), this);
    CheckNoChiuse->setObjectName(QStringLiteral("CheckNoChiuse"));

    ButtonBarcodeLottoMateria = creaPulsante(QStringLiteral("Barcode lotto-materia"),
                                             QStringLiteral("ButtonBarcodeLottoMateria"), this);
    EditBarcodeLottoMateria = new QLineEdit(this);
    EditBarcodeLottoMateria->setObjectName(QStringLiteral("EditBarcodeLottoMateria"));
    EditBarcodeLottoMateria->setMaxLength(30); // RIGHEDDTCAR.SERIALE, SERIALI.SERIALE
    QFont grande = EditBarcodeLottoMateria->font();
    grande.setPointSize(grande.pointSize() * 3 / 2);
    EditBarcodeLottoMateria->setFont(grande);

    ImageVintel = new QLabel(this);
    ImageVintel->setObjectName(QStringLiteral("ImageVintel"));
    ImageVintel->setFixedSize(220, 220);
    ImageVintel->setAlignment(Qt::AlignCenter);
    ImageVintel->hide();

    LabelStato = new QLabel(this);
    LabelStato->setObjectName(QStringLiteral("LabelStato"));
    LabelStato->setWordWrap(true);
    LabelStato->setStyleSheet(QStringLiteral("color: #b00000"));

    ButtonChiudi = creaPulsante(QStringLiteral("Chiudi"), QStringLiteral("ButtonChiudi"), this);

    TimerPolling = new QTimer(this);
    TimerPolling->setObjectName(QStringLiteral("TimerPolling"));

    auto* v = new QVBoxLayout(this);
    auto* alto = new QHBoxLayout;
    alto->addWidget(GridPesate, 1);
    auto* destra = new QVBoxLayout;
    destra->addWidget(ImageVintel);
    destra->addStretch();
    alto->addLayout(destra);
    v->addLayout(alto, 1);
    auto* filtri = new QHBoxLayout;
    filtri->addWidget(CheckNoAnnullate);
    filtri->addWidget(CheckNoChiuse);
    filtri->addStretch();
    v->addLayout(filtri);
    auto* basso = new QHBoxLayout;
    basso->addWidget(ButtonBarcodeLottoMateria);
    basso->addWidget(EditBarcodeLottoMateria, 1);
    basso->addSpacing(24);
    basso->addWidget(ButtonChiudi);
    v->addLayout(basso);
    v->addWidget(LabelStato);
    resize(1040, 620);

    connect(TimerPolling, &QTimer::timeout, this, &TIdPesateForm::TimerPollingTimer);
    connect(CheckNoAnnullate, &QCheckBox::toggled, this,
            protetto(this, [this] { MostraElenco(); }));
    connect(CheckNoChiuse, &QCheckBox::toggled, this, protetto(this, [this] { MostraElenco(); }));
    connect(ButtonBarcodeLottoMateria, &QPushButton::clicked, this,
            [this] { EditBarcodeLottoMateria->setFocus(); });
    connect(EditBarcodeLottoMateria, &QLineEdit::returnPressed, this,
            &TIdPesateForm::EditBarcodeLottoMateriaInvio);
    connect(VoceModificaStatus, &QAction::triggered, this, &TIdPesateForm::ModificaStatus);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
    connect(Modello, &GrigliaModello::erroreLettura, this,
            [this](const QString& m) { Messaggi::errore(m, this); });

    apriArchivi();
    EditBarcodeLottoMateria->setFocus();
}

TIdPesateForm::~TIdPesateForm() {
    TimerPolling->stop();
    // the model lets go of the list before the session's connections go
    Modello->setQuery(nullptr);
}

bool TIdPesateForm::collegaArchivio(Database& db, const QString& parametro, const QString& nome,
                                    bool (TTabXForm::*connetti)(const QString&)) {
    std::optional<QString> valore;
    try {
        valore = sessione_->LeggiValoreTabX(parametro, false);
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
    const QString percorso = valore.value_or(QString()).trimmed();
    if (percorso.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Manca la configurazione dell'archivio ") + nome, this);
        return false;
    }
    // a path that leads nowhere must not become a new, empty archive
    if (!ArchivioPresente(percorso)) {
        Messaggi::avviso(QStringLiteral("L'archivio ") + nome + QStringLiteral(" \"") + percorso +
                             QStringLiteral("\" non è stato trovato"),
                         this);
        return false;
    }
    sessione_->Inserisci(QStringLiteral("KDQ"), parametro, {}, percorso, {}, {}, {}, {},
                         QString::number(sessione_->NumUtente));
    db.disconnect();
    return (sessione_->*connetti)(parametro) && db.connected();
}

void TIdPesateForm::apriArchivi() {
    const bool pesateAperto =
        collegaArchivio(sessione_->IBDatabase3, QStringLiteral("ArchivioPesate"),
                        QStringLiteral("pesate"), &TTabXForm::ConnettiDatabase3);
    intervallo_ = pesate::intervalloPolling(
        sessione_->ValoreTabX(QStringLiteral("TempoPollingPesate"), false));
    TimerPolling->setInterval(intervallo_);
    // the host's archive too: a posting a killed process left half-way
    // would make its rows unreadable here as anywhere
    collegaArchivio(sessione_->IBDatabase2, QStringLiteral("ArchivioTovaris"),
                    QStringLiteral("Tovaris"), &TTabXForm::ConnettiDatabase2);
    if (pesateAperto) {
        recuperaSospese();
        sondaggio_ = std::make_unique<pesate::Sondaggio>(&sessione_->IBDatabase3);
        const bool pronto = eseguiProtetto(this, [this] {
            sondaggio_->prepara();
            sondaggio_->esegui();
        });
        if (pronto) {
            eseguiProtetto(this, [this] { MostraElenco(); });
            TimerPolling->start();
        } else {
            // the archive holds no weighings this monitor can read
            sondaggio_.reset();
        }
    }
}

void TIdPesateForm::recuperaSospese() {
    // what a killed process left between the company archive and another
    // (an assignment, a commitment, a posting) is ended on every side before
    // anything else is written
    if (!sessione_->IBDatabase1.connected()) {
        return;
    }
    std::vector<Database*> altri{&sessione_->IBDatabase3};
    if (sessione_->IBDatabase2.connected()) {
        altri.push_back(&sessione_->IBDatabase2);
    }
    try {
        const EsitoRecupero r = recuperaInLimbo(sessione_->IBDatabase1, altri);
        if (r.confermate + r.annullate > 0) {
            qInfo("Quintar: elaborazioni rimaste a metà: %d parti confermate, %d annullate",
                  r.confermate, r.annullate);
        }
        if (!r.lasciate.isEmpty()) {
            Messaggi::avviso(QStringLiteral("Elaborazioni rimaste in sospeso non concluse:\r\n") +
                                 r.lasciate.join(QStringLiteral("\r\n")),
                             this);
        }
    } catch (const DbError& e) {
        Messaggi::errore(QStringLiteral("Errore interno: impossibile concludere le elaborazioni "
                                        "rimaste in sospeso\r\n") +
                             e.messaggio(),
                         this);
    }
}

void TIdPesateForm::TimerPollingTimer() {
    TimerPolling->stop();
    if (occupato_ || !sondaggio_) {
        return; // the action under way resumes the polling when it ends
    }
    sonda();
    if (!occupato_ && sondaggio_ && isVisible()) {
        TimerPolling->start();
    }
}

void TIdPesateForm::sonda() {
    // a poll that fails is tried again at the next tick: the window says so
    // meanwhile, the log once
    try {
        if (sondaggio_->esegui()) {
            MostraElenco();
        }
        if (!ultimoErrore_.isEmpty()) {
            ultimoErrore_.clear();
            LabelStato->clear();
        }
    } catch (const DbError& e) {
        if (e.messaggio() != ultimoErrore_) {
            qWarning("Quintar: sondaggio delle pesate non riuscito: %s", qPrintable(e.messaggio()));
            ultimoErrore_ = e.messaggio();
            LabelStato->setText(QStringLiteral("Archivio pesate non leggibile: ") + e.messaggio());
        }
    }
}

void TIdPesateForm::MostraElenco() {
    if (!sondaggio_) {
        return;
    }
    const std::optional<pesate::PesataElencata> prima = pesataSelezionata();
    QueryPesate.close();
    Transaction& t = sessione_->IBTransaction3;
    if (t.active()) {
        t.rollback();
    }
    t.start();
    QueryPesate.SQL = {QStringLiteral("SELECT"),
                       QStringLiteral("  BILANCIA,"),
                       QStringLiteral("  CAST(DATA_ORA AS VARCHAR(24)) AS DATA_ORA,"),
                       QStringLiteral("  BARCODE,"),
                       QStringLiteral("  PESO,"),
                       QStringLiteral("  NOTE,"),
                       QStringLiteral("  OPERATORE"),
                       QStringLiteral("FROM"),
                       QStringLiteral("  PESATE"),
                       QStringLiteral("WHERE"),
                       QStringLiteral("  DATA_ORA IS NOT NULL")};
    if (CheckNoAnnullate->isChecked()) {
        QueryPesate.SQL << QStringLiteral("  AND")
                        << QStringLiteral("  COALESCE(NOTE,'')<>'ANNULLATA'");
    }
    if (CheckNoChiuse->isChecked()) {
        QueryPesate.SQL << QStringLiteral("  AND")
                        << QStringLiteral("  COALESCE(NOTE,'')<>'CHIUSA'");
    }
    // newest first, the scale breaking ties: the order of the DATA_ORA index
    QueryPesate.SQL << QStringLiteral("ORDER BY") << QStringLiteral("  PESATE.DATA_ORA DESC,")
                    << QStringLiteral("  PESATE.BILANCIA DESC");
    try {
        QueryPesate.open();
    } catch (const DbError&) {
        Modello->svuota();
        throw;
    }
    Modello->ricarica();
    if (!colonneImpostate_ && Modello->columnCount() > 0) {
        colonneImpostate_ = true;
        QHeaderView* h = GridPesate->horizontalHeader();
        h->setResizeContentsPrecision(100);
        GridPesate->resizeColumnsToContents();
        for (int c = 0; c < Modello->columnCount(); ++c) {
            h->resizeSection(c, std::clamp(h->sectionSize(c), 90, 260));
        }
        h->setStretchLastSection(true);
    }

    // the weighing selected before, when it is still listed: the list is
    // newest first, so the search ends at the first older weighing
    int riga = Modello->rowCount() > 0 ? 0 : -1;
    if (prima) {
        const int cb = Modello->indiceCampo(QStringLiteral("BILANCIA"));
        const int cd = Modello->indiceCampo(QStringLiteral("DATA_ORA"));
        for (int r = 0;; ++r) {
            while (r >= Modello->rowCount() && Modello->canFetchMore({})) {
                Modello->fetchMore({});
            }
            if (r >= Modello->rowCount()) {
                break;
            }
            const QString d = Modello->valore(r, cd).toString();
            if (d < prima->dataOra) {
                break;
            }
            if (d == prima->dataOra && Modello->valore(r, cb).toString() == prima->bilancia) {
                riga = r;
                break;
            }
        }
    }
    if (riga >= 0) {
        GridPesate->setCurrentIndex(Modello->index(riga, 0));
        GridPesate->scrollTo(Modello->index(riga, 0));
    }

    Query aperte(&sessione_->IBDatabase3, &t);
    aperte.SQL = {QStringLiteral("SELECT"), QStringLiteral("  COUNT(*) AS TOT"),
                  QStringLiteral("FROM"),   QStringLiteral("  PESATE"),
                  QStringLiteral("WHERE"),  QStringLiteral("  NOTE='APERTA'")};
    mostraImmagine(aperte.scalar().toLongLong() > 0);
}

void TIdPesateForm::mostraImmagine(bool aperte) {
    const QString nome =
        aperte ? QStringLiteral("segnalazione2.jpg") : QStringLiteral("segnalazione1.jpg");
    const QString file =
        percorsi::suDisco(percorsi::dirEseguibile() + QStringLiteral("Grafica\\") + nome);
    QPixmap immagine;
    if (!QFileInfo::exists(file) || !immagine.load(file)) {
        ImageVintel->hide();
        ImageVintel->clear();
        immagine_.clear();
        return;
    }
    if (nome != immagine_) {
        ImageVintel->setPixmap(
            immagine.scaled(ImageVintel->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        immagine_ = nome;
    }
    ImageVintel->show();
}

std::optional<pesate::PesataElencata> TIdPesateForm::pesataSelezionata() const {
    const QModelIndex i = GridPesate->currentIndex();
    if (!sondaggio_ || !i.isValid() || i.row() >= Modello->rowCount()) {
        return std::nullopt;
    }
    auto valore = [&](const QString& campo) {
        return Modello->valore(i.row(), Modello->indiceCampo(campo));
    };
    pesate::PesataElencata p;
    p.bilancia = valore(kColonne[0]).toString();
    p.dataOra = valore(kColonne[1]).toString();
    p.barcode = valore(kColonne[2]).toString();
    p.peso = valore(kColonne[3]);
    p.note = valore(kColonne[4]).toString();
    p.operatore = valore(kColonne[5]).toString();
    return p;
}

void TIdPesateForm::mostra(const pesate::Esito& e) {
    if (e.riuscito()) {
        return;
    }
    if (e.tipo == TipoMessaggio::Errore) {
        Messaggi::errore(e.testo, this);
    } else {
        Messaggi::avviso(e.testo, this);
    }
}

void TIdPesateForm::riprendi() {
    // whatever the outcome: a poll, the list again, the polling resumed
    eseguiProtetto(this, [this] {
        if (sondaggio_) {
            sondaggio_->esegui();
            MostraElenco();
        }
    });
    occupato_ = false;
    if (sondaggio_ && isVisible()) {
        TimerPolling->start();
    }
}

void TIdPesateForm::EditBarcodeLottoMateriaInvio() {
    const QString seriale = EditBarcodeLottoMateria->text();
    if (seriale.trimmed().isEmpty()) {
        return;
    }
    occupato_ = true;
    TimerPolling->stop();
    eseguiProtetto(this, [&] {
        Database* erp = sessione_->IBDatabase2.connected() ? &sessione_->IBDatabase2 : nullptr;
        pesate::Assegnazione a(&sessione_->IBDatabase1, erp, &sessione_->IBDatabase3);
        mostra(a.esegui(pesataSelezionata(), seriale));
    });
    EditBarcodeLottoMateria->clear();
    riprendi();
    EditBarcodeLottoMateria->setFocus();
}

void TIdPesateForm::ModificaStatus() {
    const std::optional<pesate::PesataElencata> p = pesataSelezionata();
    if (!p) {
        Messaggi::avviso(QStringLiteral("Nessuna pesata selezionata"), this);
        return;
    }
    if (p->bilancia.trimmed().isEmpty() || p->dataOra.trimmed().isEmpty()) {
        Messaggi::avviso(QStringLiteral("La pesata corrente non ha tutti i dati"), this);
        return;
    }
    occupato_ = true;
    TimerPolling->stop();
    eseguiProtetto(this, [&] {
        TModStatusPesataForm d(p->note, this);
        if (Messaggi::esegui(&d) == kRisultatoOK) {
            mostra(pesate::cambiaStato(sessione_->IBDatabase3, sondaggio_->scrittura(), p->bilancia,
                                       p->dataOra, d.stato()));
        }
    });
    riprendi();
}

bool TIdPesateForm::eventFilter(QObject* o, QEvent* e) {
    if (o == GridPesate->viewport() && e->type() == QEvent::ContextMenu) {
        // the menu works on the selected weighing, wherever the click fell
        MenuPesate->exec(static_cast<QContextMenuEvent*>(e)->globalPos());
        return true;
    }
    return FinestraSessione::eventFilter(o, e);
}

void TIdPesateForm::closeEvent(QCloseEvent* e) {
    TimerPolling->stop();
    QueryPesate.close();
    FinestraSessione::closeEvent(e);
}

} // namespace quintar
