#include "ui/trcsdgridform.h"

#include "session/sqlvalori.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quintar {

GruppoScelte::GruppoScelte(const QString& titolo, const QStringList& voci, QWidget* parent)
    : QGroupBox(titolo, parent), gruppo_(new QButtonGroup(this)) {
    auto* l = new QHBoxLayout(this);
    for (int i = 0; i < voci.size(); ++i) {
        auto* b = new QRadioButton(voci[i], this);
        b->setObjectName(QStringLiteral("Voce%1").arg(i));
        gruppo_->addButton(b, i);
        voci_ << b;
        l->addWidget(b);
    }
}

int GruppoScelte::indice() const {
    return gruppo_->checkedId();
}

void GruppoScelte::setIndice(int i) {
    if (i >= 0 && i < voci_.size() && voci_[i]->isVisibleTo(this)) {
        voci_[i]->setChecked(true);
    } else if (!voci_.isEmpty()) {
        voci_.first()->setChecked(true);
    }
}

void GruppoScelte::limita(int n) {
    for (int i = 0; i < voci_.size(); ++i) {
        voci_[i]->setVisible(i < n);
    }
    if (indice() >= n) {
        setIndice(0);
    }
}

QRadioButton* GruppoScelte::voce(int i) const {
    return i >= 0 && i < voci_.size() ? voci_[i] : nullptr;
}

TRCSDGridForm::TRCSDGridForm(TCSDGrid* griglia, ClasseCampo classe, const QString& titoloColonna)
    : QDialog(griglia), griglia_(griglia), classe_(classe) {
    setObjectName(QStringLiteral("TRCSDGridForm"));
    didascalia_ = QStringLiteral("Ricerca su ") + titoloColonna;
    setWindowTitle(didascalia_);
    setFont(griglia->font());

    Label1 = new QLabel(QStringLiteral("Stringa di ricerca"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    EditStringa = new QLineEdit(this);
    EditStringa->setObjectName(QStringLiteral("EditStringa"));
    EditData1 = new QLineEdit(this);
    EditData1->setObjectName(QStringLiteral("EditData1"));
    EditData1->setMaxLength(10);
    EditData1->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    EditData2 = new QLineEdit(this);
    EditData2->setObjectName(QStringLiteral("EditData2"));
    EditData2->setMaxLength(10);
    EditData2->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    Label2 = new QLabel(QStringLiteral("e (facoltativo):"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    EditTipoRicerca = new GruppoScelte(
        QStringLiteral(" Tipo ricerca "),
        {QStringLiteral(">="), QStringLiteral("LIKE %%"), QStringLiteral("LIKE %")}, this);
    EditTipoRicerca->setObjectName(QStringLiteral("EditTipoRicerca"));
    EditUpper = new QCheckBox(QStringLiteral("Upper"), this);
    EditUpper->setObjectName(QStringLiteral("EditUpper"));
    EditOrdinamento = new GruppoScelte(
        QStringLiteral(" Tipo ordinamento "),
        {QStringLiteral("No"), QStringLiteral("Cresc."), QStringLiteral("Decres.")}, this);
    EditOrdinamento->setObjectName(QStringLiteral("EditOrdinamento"));
    EditGenerica = new QCheckBox(QStringLiteral("Generica"), this);
    EditGenerica->setObjectName(QStringLiteral("EditGenerica"));
    ButtonAggRete = new QPushButton(QStringLiteral("&+"), this);
    ButtonAggRete->setObjectName(QStringLiteral("ButtonAggRete"));
    ButtonEsegui = new QPushButton(QStringLiteral("Esegui"), this);
    ButtonEsegui->setObjectName(QStringLiteral("ButtonEsegui"));
    for (QPushButton* b : {ButtonAggRete, ButtonEsegui}) {
        // Enter belongs to the edits
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto* riga = new QHBoxLayout;
    riga->addWidget(EditStringa, 1);
    riga->addWidget(EditData1);
    riga->addWidget(Label2);
    riga->addWidget(EditData2);
    auto* scelte = new QHBoxLayout;
    scelte->addWidget(EditTipoRicerca);
    scelte->addWidget(EditOrdinamento);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(EditUpper);
    pulsanti->addWidget(EditGenerica);
    pulsanti->addStretch(1);
    pulsanti->addWidget(ButtonAggRete);
    pulsanti->addWidget(ButtonEsegui);
    auto* l = new QVBoxLayout(this);
    l->addWidget(Label1);
    l->addLayout(riga);
    l->addLayout(scelte);
    l->addLayout(pulsanti);

    EditTipoRicerca->setIndice(0);
    EditUpper->setChecked(true);
    EditOrdinamento->setIndice(1);
    ButtonEsegui->setEnabled(false);
    EditData1->hide();
    EditData2->hide();
    Label2->hide();

    switch (classe_) {
    case ClasseCampo::Numero:
        EditTipoRicerca->limita(2);
        break;
    case ClasseCampo::Data:
        EditStringa->hide();
        EditData1->show();
        EditData2->show();
        Label2->show();
        Label1->setText(QStringLiteral("Inserisci una data compresa tra:"));
        EditTipoRicerca->hide();
        break;
    case ClasseCampo::Blob:
        EditUpper->setEnabled(false);
        break;
    case ClasseCampo::Testo:
        break;
    }
    (classe_ == ClasseCampo::Data ? EditData1 : EditStringa)->setFocus();

    for (QLineEdit* e : {EditStringa, EditData1, EditData2}) {
        e->installEventFilter(this);
    }
    connect(EditStringa, &QLineEdit::textChanged, this, &TRCSDGridForm::testoModificato);
    connect(ButtonAggRete, &QPushButton::clicked, this,
            [this] { griglia_->avviaRicercaDaDialogo(); });
    connect(ButtonEsegui, &QPushButton::clicked, this, [this] {
        if (generica_) {
            griglia_->RicercaGenerica(EditStringa->text());
        }
    });
    connect(EditGenerica, &QCheckBox::toggled, this, &TRCSDGridForm::genericaCambiata);
}

void TRCSDGridForm::testoModificato(const QString& t) {
    if (t.contains('\'')) {
        // a typed apostrophe becomes the accent stored texts use; the change
        // that follows starts the search
        const int cursore = EditStringa->cursorPosition();
        QString s = t;
        s.replace('\'', sql::kAccento);
        EditStringa->setText(s);
        EditStringa->setCursorPosition(cursore);
        return;
    }
    if (!generica_) {
        griglia_->avviaRicercaDaDialogo();
    }
}

void TRCSDGridForm::impostaScelte(int tipo, bool upper, int ordinamento) {
    EditTipoRicerca->setIndice(tipo);
    if (classe_ == ClasseCampo::Numero && tipo >= 2) {
        EditTipoRicerca->setIndice(0);
    }
    EditUpper->setChecked(upper);
    EditOrdinamento->setIndice(ordinamento);
}

ParametriRicerca TRCSDGridForm::parametri() const {
    ParametriRicerca p;
    p.testo = EditStringa->text();
    p.testo.replace('\'', sql::kAccento);
    p.tipo = classe_ == ClasseCampo::Data ? 0 : std::max(0, EditTipoRicerca->indice());
    p.upper = EditUpper->isChecked() && EditUpper->isEnabled();
    p.ordinamento = std::max(0, EditOrdinamento->indice());
    p.data1 = EditData1->text();
    p.data2 = EditData2->text();
    return p;
}

void TRCSDGridForm::genericaCambiata(bool attiva) {
    generica_ = attiva;
    if (attiva) {
        griglia_->TimerRicerca->stop();
        setWindowTitle(QStringLiteral("Ricerca su TUTTI i campi"));
        EditStringa->show();
        EditData1->hide();
        EditData2->hide();
        Label2->hide();
    } else {
        setWindowTitle(didascalia_);
        if (classe_ == ClasseCampo::Data) {
            EditStringa->hide();
            EditData1->show();
            EditData2->show();
            Label2->show();
        }
    }
    EditTipoRicerca->setEnabled(!attiva);
    EditUpper->setEnabled(!attiva && classe_ != ClasseCampo::Blob);
    ButtonAggRete->setEnabled(!attiva);
    EditOrdinamento->setEnabled(!attiva);
    ButtonEsegui->setEnabled(attiva);
}

bool TRCSDGridForm::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress && !generica_) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            esito_ = Esito::Invio;
            griglia_->EseguiRicerca(parametri());
            done(QDialog::Accepted);
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            esito_ = Esito::Esc;
            griglia_->annullaRicercaDaDialogo();
            done(QDialog::Rejected);
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

// ------------------------------------------------------------ TAvCSDGrForm

TAvCSDGrForm::TAvCSDGrForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TAvCSDGrForm"));
    setWindowTitle(QStringLiteral("Avviso"));
    Label1 = new QLabel(QStringLiteral("ATTENZIONE CON QUESTA OPERAZIONE SI PERDONO TUTTE LE "
                                       "PERSONALIZZAZIONI DELL'ASPETTO DELLA GRIGLIA."),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("PREMERE CANCEL SE NON SI STA CAPENDO COSA SI STA FACENDO"),
                        this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setDefault(true);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch(1);
    pulsanti->addWidget(ButtonOK);
    pulsanti->addWidget(ButtonCancel);
    auto* l = new QVBoxLayout(this);
    l->addWidget(Label1);
    l->addWidget(Label2);
    l->addLayout(pulsanti);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace quintar
