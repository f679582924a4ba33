#include "production/errorevintel.h"

#include "session/messaggi.h"
#include "ui/finestra.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace quintar {

TErroreVintelForm::TErroreVintelForm(const QString& testo, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("ErroreVintelForm"));
    setWindowTitle(QStringLiteral("Segnalazione"));
    // a caption without window buttons: only "Chiudi" closes it
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    ImageVintel = new QLabel(this);
    ImageVintel->setObjectName(QStringLiteral("ImageVintel"));
    ImageVintel->setAlignment(Qt::AlignCenter);
    ImageVintel->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(96, 96));

    LabelAvviso = new QLabel(testo, this);
    LabelAvviso->setObjectName(QStringLiteral("LabelAvviso"));
    LabelAvviso->setAlignment(Qt::AlignCenter);
    LabelAvviso->setWordWrap(true);
    QFont f = LabelAvviso->font();
    f.setPointSize(f.pointSize() * 2);
    f.setBold(true);
    LabelAvviso->setFont(f);

    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    ButtonChiudi->setDefault(true);
    connect(ButtonChiudi, &QPushButton::clicked, this, &QDialog::accept);

    auto* v = new QVBoxLayout(this);
    v->addWidget(ImageVintel, 1);
    v->addWidget(LabelAvviso);
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonChiudi);
    h->addStretch();
    v->addLayout(h);

    setFixedSize(420, 300);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        move(s->availableGeometry().center() - rect().center());
    }
}

void TErroreVintelForm::mostra(const QString& testo, QWidget* owner) {
    TErroreVintelForm f(testo, owner);
    Messaggi::esegui(&f);
}

} // namespace quintar
