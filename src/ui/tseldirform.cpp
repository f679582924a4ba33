#include "ui/tseldirform.h"

#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/percorsi.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace quintar {

TSelDirForm::TSelDirForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("SelDirForm"));
    setWindowTitle(QStringLiteral("Selezione Percorso"));
    DriveComboBox = new QComboBox(this);
    DriveComboBox->setObjectName(QStringLiteral("DriveComboBox"));
    auto* etUnita = new QLabel(QStringLiteral("&Unità disco:"), this);
    etUnita->setBuddy(DriveComboBox);
    modello_ = new QFileSystemModel(this);
    modello_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    DirectoryListBox = new QTreeView(this);
    DirectoryListBox->setObjectName(QStringLiteral("DirectoryListBox"));
    DirectoryListBox->setModel(modello_);
    for (int c = 1; c < modello_->columnCount(); ++c) {
        DirectoryListBox->hideColumn(c);
    }
    DirectoryListBox->header()->hide();
    auto* etPercorso = new QLabel(QStringLiteral("Percorso"), this);
    OkBtn = new QPushButton(QStringLiteral("Ok"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto* v = new QVBoxLayout(this);
    v->addWidget(etUnita);
    v->addWidget(DriveComboBox);
    v->addWidget(etPercorso);
    v->addWidget(DirectoryListBox, 1);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(OkBtn);
    h->addWidget(CancelBtn);
    v->addLayout(h);
    resize(360, 420);

    QStringList unita;
    for (const QFileInfo& r : QDir::drives()) {
        unita << r.absoluteFilePath();
    }
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (s.isValid() && s.isReady() && !unita.contains(s.rootPath())) {
            unita << s.rootPath();
        }
    }
    DriveComboBox->addItems(unita);
    connect(DriveComboBox, &QComboBox::currentTextChanged, this, &TSelDirForm::mostraUnita);
    connect(OkBtn, &QPushButton::clicked, this, [this] { done(kRisultatoOK); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(kRisultatoAnnulla); });
    if (!unita.isEmpty()) {
        mostraUnita(unita.first());
    }
}

void TSelDirForm::mostraUnita(const QString& radice) {
    modello_->setRootPath(radice);
    DirectoryListBox->setRootIndex(modello_->index(radice));
}

void TSelDirForm::impostaDirectory(const QString& dir) {
    QModelIndex i = modello_->index(dir);
    if (i.isValid()) {
        DirectoryListBox->setCurrentIndex(i);
        DirectoryListBox->scrollTo(i);
    }
}

std::optional<QString> TSelDirForm::scegli(QWidget* owner, const QString& iniziale) {
    TSelDirForm d(owner);
    d.impostaDirectory(percorsi::suDisco(iniziale));
    if (Messaggi::esegui(&d) != kRisultatoOK) {
        return std::nullopt;
    }
    return percorsi::conSeparatore(d.Directory());
}

QString TSelDirForm::Directory() const {
    QModelIndex i = DirectoryListBox->currentIndex();
    if (i.isValid()) {
        return modello_->filePath(i);
    }
    return DriveComboBox->currentText();
}

} // namespace quintar
