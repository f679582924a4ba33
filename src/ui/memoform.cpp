#include "ui/memoform.h"

#include "session/messaggi.h"
#include "ui/finestra.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

TMemoForm::TMemoForm(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("MemoForm"));
    setWindowTitle(QStringLiteral("Info"));
    MemoInfo = new QPlainTextEdit(this);
    MemoInfo->setObjectName(QStringLiteral("MemoInfo"));
    MemoInfo->setReadOnly(true);
    auto* ok = creaPulsante(QStringLiteral("OK"), QStringLiteral("ButtonOK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* l = new QVBoxLayout(this);
    l->addWidget(MemoInfo);
    l->addWidget(ok, 0, Qt::AlignRight);
    resize(480, 320);
}

void TMemoForm::mostra(QWidget* owner, const QString& titolo, const QString& testo) {
    TMemoForm info(owner);
    info.setWindowTitle(titolo);
    info.MemoInfo->setPlainText(testo);
    Messaggi::esegui(&info);
}

} // namespace quintar
