#include "ui/tpcsdgridform.h"

#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/tcsdgrid.h"
#include "ui/trcsdgridform.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quintar {

TPCSDGridForm::TPCSDGridForm(TCSDGrid* griglia)
    : QDialog(griglia), griglia_(griglia),
      tr_(griglia->SorgenteDati() ? griglia->SorgenteDati()->database() : nullptr) {
    setObjectName(QStringLiteral("TPCSDGridForm"));
    setWindowTitle(QStringLiteral("Personalizzazione Griglia"));
    QFont f = griglia->font();
    if (f.pointSize() > 10) {
        f.setPointSize(10);
    }
    setFont(f);

    GridPersonalizza = new QTableWidget(0, 5, this);
    GridPersonalizza->setObjectName(QStringLiteral("GridPersonalizza"));
    GridPersonalizza->setHorizontalHeaderLabels(
        {QStringLiteral("NomeCampo"), QStringLiteral("NomeColonna"),
         QStringLiteral("ColoreColonna"), QStringLiteral("Visibile"), QStringLiteral("Posizione")});
    GridPersonalizza->setColumnHidden(ColPosizione, true);
    GridPersonalizza->verticalHeader()->hide();
    GridPersonalizza->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridPersonalizza->setSelectionMode(QAbstractItemView::SingleSelection);
    GridPersonalizza->horizontalHeader()->setStretchLastSection(true);

    ButtonCambiaColore = new QPushButton(QStringLiteral("Cambia Colore"), this);
    ButtonCambiaColore->setObjectName(QStringLiteral("ButtonCambiaColore"));
    ButtonColoreDefault = new QPushButton(QStringLiteral("Colore Default"), this);
    ButtonColoreDefault->setObjectName(QStringLiteral("ButtonColoreDefault"));
    ButtonAspettoBase = new QPushButton(QStringLiteral("Aspetto Base"), this);
    ButtonAspettoBase->setObjectName(QStringLiteral("ButtonAspettoBase"));
    ButtonChiudi = new QPushButton(QStringLiteral("Ch&iudi"), this);
    ButtonChiudi->setObjectName(QStringLiteral("ButtonChiudi"));
    for (QPushButton* b :
         {ButtonCambiaColore, ButtonColoreDefault, ButtonAspettoBase, ButtonChiudi}) {
        b->setAutoDefault(false);
    }
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(ButtonCambiaColore);
    pulsanti->addWidget(ButtonColoreDefault);
    pulsanti->addWidget(ButtonAspettoBase);
    pulsanti->addStretch(1);
    pulsanti->addWidget(ButtonChiudi);
    auto* l = new QVBoxLayout(this);
    l->addWidget(GridPersonalizza);
    l->addLayout(pulsanti);
    resize(520, 400);

    connect(ButtonCambiaColore, &QPushButton::clicked, this, &TPCSDGridForm::CambiaColore);
    connect(ButtonColoreDefault, &QPushButton::clicked, this, &TPCSDGridForm::ColoreDefault);
    connect(ButtonAspettoBase, &QPushButton::clicked, this, &TPCSDGridForm::AspettoBase);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);
    connect(GridPersonalizza, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* it) {
        if (!caricando_) {
            salvaRiga(it->row());
        }
    });
    carica();
}

TPCSDGridForm::~TPCSDGridForm() = default;

void TPCSDGridForm::carica() {
    caricando_ = true;
    GridPersonalizza->setRowCount(0);
    Query* sorgente = griglia_->SorgenteDati();
    if (!sorgente || !sorgente->database()) {
        caricando_ = false;
        return;
    }
    try {
        Query q(sorgente->database(), &tr_);
        q.SQL = {QStringLiteral(
                     "SELECT NomeCampo, NomeColonna, ColoreColonna, Visibile, Posizione FROM ") +
                     sql::identificatore(griglia_->TabellaAspettoGriglia),
                 QStringLiteral("WHERE (CodiceProgetto=") +
                     sql::intero(qint64(griglia_->CodiceProgetto)) +
                     QStringLiteral(") AND (CodiceSituazione=") +
                     sql::intero(qint64(griglia_->Situazione)) +
                     QStringLiteral(") AND (CodiceUtente=") +
                     sql::intero(qint64(griglia_->Utente)) + QStringLiteral(")"),
                 QStringLiteral("ORDER BY Posizione")};
        for (q.open(); !q.eof(); q.next()) {
            const int r = GridPersonalizza->rowCount();
            GridPersonalizza->insertRow(r);
            auto* nome = new QTableWidgetItem(q.field(0).asString());
            nome->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            GridPersonalizza->setItem(r, ColNomeCampo, nome);
            GridPersonalizza->setItem(r, ColNomeColonna,
                                      new QTableWidgetItem(q.field(1).asString()));
            auto* colore = new QTableWidgetItem;
            colore->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            GridPersonalizza->setItem(r, ColColoreColonna, colore);
            impostaColore(r, q.field(2).isNull() ? 0 : q.field(2).asInteger());
            auto* visibile = new QTableWidgetItem;
            visibile->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            visibile->setCheckState(
                !q.field(3).isNull() && q.field(3).asInteger() == 0 ? Qt::Unchecked : Qt::Checked);
            GridPersonalizza->setItem(r, ColVisibile, visibile);
            GridPersonalizza->setItem(r, ColPosizione, new QTableWidgetItem(q.field(4).asString()));
        }
        q.close();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    if (GridPersonalizza->rowCount() > 0) {
        GridPersonalizza->setCurrentCell(0, ColNomeColonna);
    }
    caricando_ = false;
}

void TPCSDGridForm::impostaColore(int riga, qint64 colore) {
    QTableWidgetItem* it = GridPersonalizza->item(riga, ColColoreColonna);
    if (!it) {
        return;
    }
    const bool prima = caricando_;
    caricando_ = true;
    it->setData(Qt::UserRole, colore);
    it->setText(colore == 0 ? QString() : QString::number(colore));
    it->setBackground(colore == 0 ? palette().color(QPalette::Window) : coloreDaIntero(colore));
    caricando_ = prima;
}

bool TPCSDGridForm::salvaRiga(int riga) {
    if (riga < 0 || riga >= GridPersonalizza->rowCount() || !griglia_->SorgenteDati()) {
        return false;
    }
    const qint64 colore =
        GridPersonalizza->item(riga, ColColoreColonna)->data(Qt::UserRole).toLongLong();
    const QString titolo = GridPersonalizza->item(riga, ColNomeColonna)->text().left(25);
    try {
        Query q(griglia_->SorgenteDati()->database(), &tr_);
        q.SQL = {QStringLiteral("UPDATE ") + sql::identificatore(griglia_->TabellaAspettoGriglia) +
                     QStringLiteral(" SET NomeColonna=?, ColoreColonna=?, Visibile=?"),
                 QStringLiteral("WHERE (CodiceSituazione=") +
                     sql::intero(qint64(griglia_->Situazione)) + ')',
                 QStringLiteral("AND(CodiceUtente=") + sql::intero(qint64(griglia_->Utente)) + ')',
                 QStringLiteral("AND(Posizione=?)"),
                 QStringLiteral("AND(CodiceProgetto=") +
                     sql::intero(qint64(griglia_->CodiceProgetto)) + ')'};
        q.setParams({titolo.isEmpty() ? QVariant() : QVariant(titolo),
                     colore == 0 ? QVariant() : QVariant(colore),
                     GridPersonalizza->item(riga, ColVisibile)->checkState() == Qt::Checked ? 1 : 0,
                     GridPersonalizza->item(riga, ColPosizione)->text().toInt()});
        q.execSQL();
        return true;
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
}

void TPCSDGridForm::CambiaColore() {
    const int r = GridPersonalizza->currentRow();
    if (r < 0) {
        return;
    }
    const qint64 attuale =
        GridPersonalizza->item(r, ColColoreColonna)->data(Qt::UserRole).toLongLong();
    QColorDialog dlg(attuale == 0 ? QColor(Qt::white) : coloreDaIntero(attuale), this);
    dlg.setObjectName(QStringLiteral("ColorDialog"));
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    if (Messaggi::esegui(&dlg) == QDialog::Accepted) {
        qint64 nuovo = coloreInIntero(dlg.currentColor());
        impostaColore(r, nuovo);
        salvaRiga(r);
    }
}

void TPCSDGridForm::ColoreDefault() {
    const int r = GridPersonalizza->currentRow();
    if (r < 0) {
        return;
    }
    impostaColore(r, 0);
    salvaRiga(r);
}

void TPCSDGridForm::AspettoBase() {
    TAvCSDGrForm avviso(this);
    if (Messaggi::esegui(&avviso) != QDialog::Accepted) {
        return;
    }
    griglia_->RipristinoInCorso = true;
    caricando_ = true;
    GridPersonalizza->setRowCount(0);
    caricando_ = false;
    try {
        tr_.rollback();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
    }
    griglia_->RipristinaAspettoBase();
    carica();
}

void TPCSDGridForm::done(int r) {
    try {
        tr_.commit();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), this);
        try {
            tr_.rollback();
        } catch (const DbError&) {
            // the error above already told the user; the transaction is gone
        }
    }
    QDialog::done(r);
}

} // namespace quintar
