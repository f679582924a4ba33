#include "ui/grigliaquery.h"

#include "session/sqlvalori.h"

#include "session/messaggi.h"
#include "ui/esportaxlsx.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

namespace quintar {

namespace {

QString campoCSV(const QString& s) {
    if (s.contains(';') || s.contains('"') || s.contains('\n') || s.contains('\r')) {
        QString r = s;
        r.replace('"', QLatin1String("\"\""));
        return '"' + r + '"';
    }
    return s;
}

} // namespace

TGridQueryForm::TGridQueryForm(Database* db, const QString& tabella, QWidget* owner)
    : QWidget(owner, Qt::Window), db_(db), tabella_(tabella),
      tr_(db, {QStringLiteral("isc_tpb_concurrency"), QStringLiteral("isc_tpb_nowait"),
               QStringLiteral("isc_tpb_read")}),
      modello_(new GrigliaModello(this)) {
    setObjectName(QStringLiteral("TGridQueryForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Query - ") + tabella);
    LabelTabella = new QLabel(tabella, this);
    LabelTabella->setObjectName(QStringLiteral("LabelTabella"));
    GridQuery = new QTableView(this);
    GridQuery->setObjectName(QStringLiteral("GridQuery"));
    GridQuery->setModel(modello_);
    GridQuery->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridQuery->verticalHeader()->hide();
    ButtonEsporta = new QPushButton(QStringLiteral("&Esporta CSV"), this);
    ButtonEsporta->setObjectName(QStringLiteral("ButtonEsporta"));
    ButtonEsportaExcel = new QPushButton(QStringLiteral("Esporta E&xcel"), this);
    ButtonEsportaExcel->setObjectName(QStringLiteral("ButtonEsportaExcel"));
    ButtonChiudi = new QPushButton(QStringLiteral("Ch&iudi"), this);
    ButtonChiudi->setObjectName(QStringLiteral("ButtonChiudi"));
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addWidget(LabelTabella);
    pulsanti->addStretch(1);
    pulsanti->addWidget(ButtonEsporta);
    pulsanti->addWidget(ButtonEsportaExcel);
    pulsanti->addWidget(ButtonChiudi);
    auto* l = new QVBoxLayout(this);
    l->addWidget(GridQuery);
    l->addLayout(pulsanti);
    resize(800, 500);
    connect(ButtonEsporta, &QPushButton::clicked, this, &TGridQueryForm::Esporta);
    connect(ButtonEsportaExcel, &QPushButton::clicked, this,
            protetto(this, [this] { EsportaExcel(); }));
    connect(ButtonChiudi, &QPushButton::clicked, this, &QWidget::close);
}

TGridQueryForm::~TGridQueryForm() {
    modello_->setQuery(nullptr);
}

QStringList TGridQueryForm::sql() const {
    return {QStringLiteral("SELECT * FROM ") + sql::identificatore(tabella_)};
}

bool TGridQueryForm::apri() {
    try {
        query_ = std::make_unique<Query>(db_, &tr_);
        modello_->setQuery(query_.get());
        query_->SQL = sql();
        query_->open();
        modello_->ricarica();
        return true;
    } catch (const DbError& e) {
        modello_->setQuery(nullptr);
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
}

bool TGridQueryForm::esportaCSV(const QString& file) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        Messaggi::errore(QStringLiteral("Impossibile scrivere il file ") + file +
                             QStringLiteral(": ") + out.errorString(),
                         this);
        return false;
    }
    try {
        // a cursor of its own: the rows shown stay where they are
        Query q(db_, &tr_);
        q.SQL = sql();
        q.open();
        QStringList titoli;
        for (const InfoCampo& c : q.fields()) {
            titoli << campoCSV(c.nome);
        }
        out.write("\xEF\xBB\xBF");
        out.write((titoli.join(';') + QStringLiteral("\r\n")).toUtf8());
        for (; !q.eof(); q.next()) {
            QStringList riga;
            for (int i = 0; i < q.fieldCount(); ++i) {
                const Campo c = q.field(i);
                riga << (c.info().tipo == TipoCampo::Binario ? QString() : campoCSV(c.asString()));
            }
            out.write((riga.join(';') + QStringLiteral("\r\n")).toUtf8());
        }
        q.close();
    } catch (const DbError& e) {
        out.cancelWriting();
        Messaggi::errore(e.messaggio(), this);
        return false;
    }
    if (!out.commit()) {
        Messaggi::errore(QStringLiteral("Impossibile scrivere il file ") + file +
                             QStringLiteral(": ") + out.errorString(),
                         this);
        return false;
    }
    return true;
}

QString TGridQueryForm::EsportaExcel() {
    if (!query_ || !query_->isOpen()) {
        return {};
    }
    return esportaElencoXlsx(this, db_, sql(), query_->parametri(),
                             colonneVista(GridQuery, modello_), tabella_, DirectoryBin);
}

void TGridQueryForm::Esporta() {
    QFileDialog dlg(this, QStringLiteral("Esporta in CSV"), DirectoryBin,
                    QStringLiteral("File CSV (*.csv)"));
    dlg.setObjectName(QStringLiteral("DialogoEsporta"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setDefaultSuffix(QStringLiteral("csv"));
    dlg.selectFile(tabella_ + QStringLiteral(".csv"));
    const QString file = Messaggi::salvaCome(&dlg, QStringLiteral("csv"), this);
    if (!file.isEmpty() && esportaCSV(file)) {
        Messaggi::informazione(QStringLiteral("Esportazione completata: ") + file, this);
    }
}

} // namespace quintar
