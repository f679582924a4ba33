#include "exchange/impovarie.h"

#include "report/stampanti.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/modificatidaaltri.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/tseldirform.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace quintar {

namespace {

QPushButton* didascalia(const QString& testo, const QString& nome, QWidget* parent) {
    auto* b = new QPushButton(testo, parent);
    b->setObjectName(nome);
    b->setFlat(true);
    b->setStyleSheet(QStringLiteral("text-align: left"));
    return b;
}

} // namespace

TImpoVarieForm::TImpoVarieForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner) {
    setObjectName(QStringLiteral("ImpoVarieForm"));
    impostaDidascalia(QStringLiteral("Impostazioni varie - Ditta:"));

    auto* g = new QGridLayout;
    auto* bReport = didascalia(QStringLiteral("Percorso report etichette"),
                               QStringLiteral("SpeedButtonPercorsoReportEtic"), this);
    EditPercorsoReportEtic = new QLineEdit(this);
    EditPercorsoReportEtic->setObjectName(QStringLiteral("EditPercorsoReportEtic"));
    auto* bStampante = didascalia(QStringLiteral("Stampante etichette fabbricazioni"),
                                  QStringLiteral("SpeedButtonStampanteEticFabbr"), this);
    ComboStampanteEticFabbr = new QComboBox(this);
    ComboStampanteEticFabbr->setObjectName(QStringLiteral("ComboStampanteEticFabbr"));
    ComboStampanteEticFabbr->setEditable(false);
    auto* bTovaris = didascalia(QStringLiteral("Archivio Tovaris"),
                                QStringLiteral("SpeedButtonArchivioTovaris"), this);
    EditArchivioTovaris = new QLineEdit(this);
    EditArchivioTovaris->setObjectName(QStringLiteral("EditArchivioTovaris"));
    auto* bSoglia = didascalia(QStringLiteral("% default soglia fuori peso"),
                               QStringLiteral("SpeedButtonSogliaFuoriPeso"), this);
    EditSogliaFuoriPeso = new QLineEdit(this);
    EditSogliaFuoriPeso->setObjectName(QStringLiteral("EditSogliaFuoriPeso"));
    auto* bPesate = didascalia(QStringLiteral("Archivio Pesate"),
                               QStringLiteral("SpeedButtonArchivioPesate"), this);
    EditArchivioPesate = new QLineEdit(this);
    EditArchivioPesate->setObjectName(QStringLiteral("EditArchivioPesate"));
    auto* bPolling = didascalia(QStringLiteral("Polling pesate (ms)"),
                                QStringLiteral("SpeedButtonTempoPollingPesate"), this);
    SpinTempoPollingPesate = new QSpinBox(this);
    SpinTempoPollingPesate->setObjectName(QStringLiteral("SpinTempoPollingPesate"));
    SpinTempoPollingPesate->setRange(200, 99999);
    SpinTempoPollingPesate->setSingleStep(1);

    QWidget* controlli[] = {EditPercorsoReportEtic, ComboStampanteEticFabbr,
                            EditArchivioTovaris,    EditSogliaFuoriPeso,
                            EditArchivioPesate,     SpinTempoPollingPesate};
    QPushButton* bottoni[] = {bReport, bStampante, bTovaris, bSoglia, bPesate, bPolling};
    for (int i = 0; i < 6; ++i) {
        g->addWidget(bottoni[i], i, 0);
        g->addWidget(controlli[i], i, 1);
    }
    g->setColumnStretch(1, 1);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonOK);
    h->addWidget(ButtonCancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addStretch();
    v->addLayout(h);
    resize(560, 260);

    connect(bReport, &QPushButton::clicked, this, [this] {
        if (const auto cartella = TSelDirForm::scegli(this, EditPercorsoReportEtic->text())) {
            EditPercorsoReportEtic->setText(*cartella);
        }
    });
    auto sceltaFile = [this](QLineEdit* e, const QString& titolo) {
        QString f = Messaggi::scegliFile(this, titolo, percorsi::suDisco(e->text()));
        if (!f.isEmpty()) {
            e->setText(f);
        }
    };
    connect(bTovaris, &QPushButton::clicked, this,
            [=] { sceltaFile(EditArchivioTovaris, QStringLiteral("Archivio Tovaris")); });
    connect(bPesate, &QPushButton::clicked, this,
            [=] { sceltaFile(EditArchivioPesate, QStringLiteral("Archivio Pesate")); });
    connect(bSoglia, &QPushButton::clicked, this, [this] { EditSogliaFuoriPeso->setFocus(); });
    connect(bPolling, &QPushButton::clicked, this, [this] { SpinTempoPollingPesate->setFocus(); });
    connect(ButtonOK, &QPushButton::clicked, this, &TImpoVarieForm::OKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TImpoVarieForm::CancelClick);

    carica();
}

std::vector<ValoreTabXDaScrivere> TImpoVarieForm::valori() const {
    const QString stampante = ComboStampanteEticFabbr->currentIndex() < 0
                                  ? QString()
                                  : ComboStampanteEticFabbr->currentData().toString();
    return {
        {QStringLiteral("PercorsoReportEtic"), EditPercorsoReportEtic->text(), false},
        {QStringLiteral("StampanteEticFabbr"), stampante, true},
        {QStringLiteral("ArchivioTovaris"), EditArchivioTovaris->text(), false},
        {QStringLiteral("SogliaFuoriPeso"), EditSogliaFuoriPeso->text(), false},
        {QStringLiteral("ArchivioPesate"), EditArchivioPesate->text(), false},
        {QStringLiteral("TempoPollingPesate"), SpinTempoPollingPesate->text(), false},
    };
}

void TImpoVarieForm::carica() {
    try {
        letti_ = sessione_->LeggiValoriTabX(valori());
    } catch (const DbError& e) {
        // shown empty; with nothing known as read, a save first shows the
        // settings as stored
        letti_.clear();
        Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio(), this);
    }
    mostra(letti_);
}

void TImpoVarieForm::mostra(const std::vector<std::optional<QString>>& v) {
    auto testo = [&v](size_t i) { return i < v.size() ? v[i].value_or(QString()) : QString(); };
    EditPercorsoReportEtic->setText(testo(0));
    caricaStampanti(testo(1));
    EditArchivioTovaris->setText(testo(2));
    EditSogliaFuoriPeso->setText(testo(3));
    EditArchivioPesate->setText(testo(4));
    const auto polling = Formati::leggiIntero(testo(5));
    SpinTempoPollingPesate->setValue(
        polling && *polling >= INT_MIN && *polling <= INT_MAX ? int(*polling) : -1);
}

void TImpoVarieForm::caricaStampanti(const QString& memorizzata) {
    ComboStampanteEticFabbr->clear();
    // each item holds the device string it stores
    for (const Stampante& st : elencoStampanti()) {
        ComboStampanteEticFabbr->addItem(st.voce(), st.voce());
    }
    int scelta = ComboStampanteEticFabbr->findData(memorizzata);
    if (scelta < 0 && !memorizzata.isEmpty()) {
        // a printer of this user that this computer does not have is kept,
        // not erased by a save of the other settings
        ComboStampanteEticFabbr->addItem(
            memorizzata + QStringLiteral(" (non disponibile su questo computer)"), memorizzata);
        scelta = ComboStampanteEticFabbr->count() - 1;
    }
    ComboStampanteEticFabbr->setCurrentIndex(scelta);
}

void TImpoVarieForm::OKClick() {
    // in the order of the table, all or none, and only over the settings as
    // this screen read them
    switch (sessione_->SettaValoriTabXSeInvariati(valori(), letti_)) {
    case TTabXForm::EsitoTabX::Scritti:
        close();
        return;
    case TTabXForm::EsitoTabX::Cambiati:
        try {
            letti_ = sessione_->LeggiValoriTabX(valori());
        } catch (const DbError&) {
            break;
        }
        mostra(letti_);
        Messaggi::avviso(testoModificatiDaAltri(), this);
        return;
    case TTabXForm::EsitoTabX::NonScritti:
        break;
    }
    // nothing was stored: the user keeps the values on screen and can retry
    Messaggi::errore(QStringLiteral("Errore interno: impossibile memorizzare le impostazioni"),
                     this);
}

void TImpoVarieForm::CancelClick() {
    close();
}

} // namespace quintar
