#include "report/finestrestampa.h"

#include "report/documento.h"
#include "report/stampanti.h"
#include "session/messaggi.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quintar::report {

// ------------------------------------------------------------------ options

OpzioniStampaDialog::OpzioniStampaDialog(QWidget* parent, bool soloStampanti, int pagine)
    : QDialog(parent), soloStampanti_(soloStampanti) {
    setObjectName(QStringLiteral("OpzioniStampa"));
    setWindowTitle(QStringLiteral("Opzioni di stampa"));
    ComboDestinazione = new QComboBox(this);
    ComboDestinazione->setObjectName(QStringLiteral("ComboDestinazione"));
    if (!soloStampanti) {
        ComboDestinazione->addItem(QStringLiteral("Anteprima"), QString());
    }
    for (const Stampante& s : elencoStampanti()) {
        ComboDestinazione->addItem(s.nome, s.nome);
    }
    SpinCopie = new QSpinBox(this);
    SpinCopie->setObjectName(QStringLiteral("SpinCopie"));
    SpinCopie->setRange(1, 99);
    RadioTutte = new QRadioButton(QStringLiteral("&Tutte"), this);
    RadioTutte->setObjectName(QStringLiteral("RadioTutte"));
    RadioTutte->setChecked(true);
    RadioPagine = new QRadioButton(QStringLiteral("&Pagine da"), this);
    RadioPagine->setObjectName(QStringLiteral("RadioPagine"));
    SpinDa = new QSpinBox(this);
    SpinDa->setObjectName(QStringLiteral("SpinDa"));
    SpinA = new QSpinBox(this);
    SpinA->setObjectName(QStringLiteral("SpinA"));
    const int massimo = pagine > 0 ? pagine : 9999;
    SpinDa->setRange(1, massimo);
    SpinA->setRange(1, massimo);
    SpinA->setValue(massimo);
    auto abilita = [this] {
        SpinDa->setEnabled(RadioPagine->isChecked());
        SpinA->setEnabled(RadioPagine->isChecked());
    };
    connect(RadioPagine, &QRadioButton::toggled, this, abilita);
    abilita();
    auto aggiornaCopie = [this] {
        // a preview shows the pages once; copies are asked again when printing from it
        SpinCopie->setEnabled(!ComboDestinazione->currentData().toString().isEmpty());
    };
    connect(ComboDestinazione, &QComboBox::currentIndexChanged, this, aggiornaCopie);
    aggiornaCopie();

    auto* pagineRiga = new QHBoxLayout;
    pagineRiga->addWidget(RadioTutte);
    pagineRiga->addWidget(RadioPagine);
    pagineRiga->addWidget(SpinDa);
    pagineRiga->addWidget(new QLabel(QStringLiteral("a"), this));
    pagineRiga->addWidget(SpinA);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Destinazione:"), ComboDestinazione);
    form->addRow(QStringLiteral("&Copie:"), SpinCopie);
    form->addRow(QStringLiteral("Pagine:"), pagineRiga);
    auto* bottoni = new QDialogButtonBox(this);
    bottoni->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)
        ->setObjectName("ButtonOK");
    bottoni->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole)
        ->setObjectName("ButtonAnnulla");
    connect(bottoni, &QDialogButtonBox::accepted, this, [this] {
        if (ComboDestinazione->count() == 0) {
            Messaggi::avviso(QStringLiteral("Nessuna stampante installata"), this);
            return;
        }
        if (RadioPagine->isChecked() && SpinDa->value() > SpinA->value()) {
            Messaggi::avviso(QStringLiteral("La prima pagina viene dopo l'ultima"), this);
            return;
        }
        accept();
    });
    connect(bottoni, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(bottoni);
}

OpzioniStampa OpzioniStampaDialog::opzioni() const {
    OpzioniStampa o;
    o.stampante = ComboDestinazione->currentData().toString();
    o.copie = SpinCopie->value();
    if (RadioPagine->isChecked()) {
        o.da = SpinDa->value();
        o.a = SpinA->value();
    }
    return o;
}

bool OpzioniStampaDialog::scegli(const QString& stampante) {
    const int i = ComboDestinazione->findData(stampante);
    if (i < 0) {
        return false;
    }
    ComboDestinazione->setCurrentIndex(i);
    return true;
}

bool stampaSuStampante(const Documento& doc, const OpzioniStampa& o, const QString& titolo,
                       QWidget* parent) {
    QPrinter stampante(QPrinter::HighResolution);
    stampante.setPrinterName(o.stampante);
    stampante.setDocName(titolo);
    stampante.setCopyCount(o.copie);
    if (!stampante.isValid() || !doc.stampa(stampante, o.da, o.a)) {
        Messaggi::errore(
            QStringLiteral("Impossibile stampare sulla stampante \"%1\"").arg(o.stampante), parent);
        return false;
    }
    return true;
}

// ------------------------------------------------------------------ preview

AnteprimaStampa::AnteprimaStampa(const Documento& doc, const QString& titolo,
                                 const QString& filePdf, QWidget* parent)
    : QDialog(parent), doc_(doc), titolo_(titolo), filePdf_(filePdf) {
    setObjectName(QStringLiteral("AnteprimaStampa"));
    setWindowTitle(titolo);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(900, 1000);
    auto bottone = [this](const QString& testo, const char* nome) {
        auto* b = new QPushButton(testo, this);
        b->setObjectName(QLatin1String(nome));
        b->setAutoDefault(false);
        return b;
    };
    ButtonPrima = bottone(QStringLiteral("|<"), "ButtonPrima");
    ButtonPrecedente = bottone(QStringLiteral("<"), "ButtonPrecedente");
    ButtonSuccessiva = bottone(QStringLiteral(">"), "ButtonSuccessiva");
    ButtonUltima = bottone(QStringLiteral(">|"), "ButtonUltima");
    ButtonPrima->setToolTip(QStringLiteral("Prima pagina"));
    ButtonPrecedente->setToolTip(QStringLiteral("Pagina precedente (PgSu)"));
    ButtonSuccessiva->setToolTip(QStringLiteral("Pagina successiva (PgGiù)"));
    ButtonUltima->setToolTip(QStringLiteral("Ultima pagina"));
    LabelPagina = new QLabel(this);
    LabelPagina->setObjectName(QStringLiteral("LabelPagina"));
    ComboZoom = new QComboBox(this);
    ComboZoom->setObjectName(QStringLiteral("ComboZoom"));
    for (int z : {50, 75, 100, 125, 150, 200}) {
        ComboZoom->addItem(QStringLiteral("%1%").arg(z), z / 100.0);
    }
    ComboZoom->setCurrentIndex(2);
    ButtonStampa = bottone(QStringLiteral("&Stampa..."), "ButtonStampa");
    ButtonEsporta = bottone(QStringLiteral("&Esporta PDF..."), "ButtonEsporta");
    ButtonChiudi = bottone(QStringLiteral("Ch&iudi"), "ButtonChiudi");

    auto* barra = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{ButtonPrima, ButtonPrecedente, LabelPagina,
                                                      ButtonSuccessiva, ButtonUltima, ComboZoom}) {
        barra->addWidget(w);
    }
    barra->addStretch();
    barra->addWidget(ButtonStampa);
    barra->addWidget(ButtonEsporta);
    barra->addWidget(ButtonChiudi);

    foglio_ = new QLabel;
    foglio_->setObjectName(QStringLiteral("Foglio"));
    foglio_->setAlignment(Qt::AlignCenter);
    area_ = new QScrollArea(this);
    area_->setBackgroundRole(QPalette::Dark);
    area_->setAlignment(Qt::AlignCenter);
    area_->setWidget(foglio_);
    area_->setWidgetResizable(false);

    auto* v = new QVBoxLayout(this);
    v->addLayout(barra);
    v->addWidget(area_, 1);

    connect(ButtonPrima, &QPushButton::clicked, this, [this] { vaiA(0); });
    connect(ButtonPrecedente, &QPushButton::clicked, this, [this] { vaiA(pagina_ - 1); });
    connect(ButtonSuccessiva, &QPushButton::clicked, this, [this] { vaiA(pagina_ + 1); });
    connect(ButtonUltima, &QPushButton::clicked, this, [this] { vaiA(doc_.pagine() - 1); });
    connect(ComboZoom, &QComboBox::currentIndexChanged, this,
            [this] { impostaZoom(ComboZoom->currentData().toDouble()); });
    connect(ButtonStampa, &QPushButton::clicked, this, &AnteprimaStampa::stampa);
    connect(ButtonEsporta, &QPushButton::clicked, this, &AnteprimaStampa::esporta);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);
    auto* su = new QAction(this);
    su->setShortcut(QKeySequence(Qt::Key_PageUp));
    connect(su, &QAction::triggered, this, [this] { vaiA(pagina_ - 1); });
    auto* giu = new QAction(this);
    giu->setShortcut(QKeySequence(Qt::Key_PageDown));
    connect(giu, &QAction::triggered, this, [this] { vaiA(pagina_ + 1); });
    addAction(su);
    addAction(giu);
    mostra();
}

void AnteprimaStampa::vaiA(int pagina) {
    const int p = std::clamp(pagina, 0, std::max(0, doc_.pagine() - 1));
    if (p != pagina_) {
        pagina_ = p;
        mostra();
    }
}

void AnteprimaStampa::impostaZoom(double fattore) {
    zoom_ = std::clamp(fattore, 0.25, 4.0);
    mostra();
}

void AnteprimaStampa::mostra() {
    const double dpi = logicalDpiX() * zoom_ * devicePixelRatioF();
    QImage img = doc_.immagine(pagina_, dpi);
    img.setDevicePixelRatio(devicePixelRatioF());
    foglio_->setPixmap(QPixmap::fromImage(img));
    foglio_->resize(foglio_->sizeHint());
    LabelPagina->setText(QStringLiteral("Pagina %1 di %2").arg(pagina_ + 1).arg(doc_.pagine()));
    ButtonPrima->setEnabled(pagina_ > 0);
    ButtonPrecedente->setEnabled(pagina_ > 0);
    ButtonSuccessiva->setEnabled(pagina_ + 1 < doc_.pagine());
    ButtonUltima->setEnabled(pagina_ + 1 < doc_.pagine());
}

void AnteprimaStampa::stampa() {
    OpzioniStampaDialog d(this, true, doc_.pagine());
    if (Messaggi::esegui(&d) != QDialog::Accepted) {
        return;
    }
    stampaSuStampante(doc_, d.opzioni(), titolo_, this);
}

bool AnteprimaStampa::esportaPdf(const QString& file) {
    QString errore;
    bool ok = false;
    if (!filePdf_.isEmpty() && QFile::exists(filePdf_)) {
        QFile::remove(file);
        ok = QFile::copy(filePdf_, file);
        errore = QStringLiteral("copia non riuscita");
    } else {
        ok = doc_.scriviPdf(file, titolo_, &errore);
    }
    if (!ok) {
        Messaggi::errore(
            QStringLiteral("Impossibile scrivere il file \"%1\": %2").arg(file, errore), this);
    }
    return ok;
}

void AnteprimaStampa::esporta() {
    QFileDialog d(this, QStringLiteral("Esporta in PDF"));
    d.setObjectName(QStringLiteral("EsportaPdf"));
    d.setNameFilter(QStringLiteral("Documenti PDF (*.pdf)"));
    d.setDefaultSuffix(QStringLiteral("pdf"));
    const QString file = Messaggi::salvaCome(&d, QStringLiteral("pdf"), this);
    if (!file.isEmpty()) {
        esportaPdf(file);
    }
}

} // namespace quintar::report
