#include "session/messaggi.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <stdexcept>

namespace quintar {

namespace {

class MessaggiQt : public Messaggi::Attuatore {
public:
    QString mostra(TipoMessaggio tipo, const QString& testo, const QStringList& pulsanti,
                   const QString& predefinito, QWidget* parent) override {
        QMessageBox box(parent ? parent : QApplication::activeWindow());
        box.setObjectName(QStringLiteral("MessageBox"));
        box.setWindowTitle(Messaggi::titolo(tipo));
        box.setText(testo);
        switch (tipo) {
        case TipoMessaggio::Errore:
            box.setIcon(QMessageBox::Critical);
            break;
        case TipoMessaggio::Avviso:
            box.setIcon(QMessageBox::Warning);
            break;
        case TipoMessaggio::Informazione:
            box.setIcon(QMessageBox::Information);
            break;
        case TipoMessaggio::Conferma:
            box.setIcon(QMessageBox::Question);
            break;
        }
        std::vector<std::pair<QAbstractButton*, QString>> bottoni;
        for (const QString& p : pulsanti) {
            QString nome = QString(p).remove('&');
            QMessageBox::ButtonRole ruolo = QMessageBox::AcceptRole;
            if (nome == QLatin1String("No") || nome == QLatin1String("Annulla") ||
                nome == QLatin1String("Cancel")) {
                ruolo = QMessageBox::RejectRole;
            }
            QPushButton* b = box.addButton(p, ruolo);
            bottoni.emplace_back(b, nome);
            if (nome == QString(predefinito).remove('&')) {
                box.setDefaultButton(b);
            }
            if (pulsanti.size() == 1 || ruolo == QMessageBox::RejectRole) {
                box.setEscapeButton(b);
            }
        }
        box.exec();
        for (auto& [b, nome] : bottoni) {
            if (box.clickedButton() == b) {
                return nome;
            }
        }
        return {};
    }
    int esegui(QDialog* d) override { return d->exec(); }
    QString scegliFile(QWidget* parent, const QString& titolo, const QString& cartella,
                       const QString& filtro) override {
        return QFileDialog::getOpenFileName(parent, titolo, cartella, filtro);
    }
};

std::shared_ptr<Messaggi::Attuatore>& corrente() {
    static std::shared_ptr<Messaggi::Attuatore> a = std::make_shared<MessaggiQt>();
    return a;
}

} // namespace

QString Messaggi::titolo(TipoMessaggio tipo) {
    switch (tipo) {
    case TipoMessaggio::Errore:
        return QStringLiteral("Errore");
    case TipoMessaggio::Avviso:
        return QStringLiteral("Attenzione");
    case TipoMessaggio::Informazione:
        return QStringLiteral("Informazione");
    case TipoMessaggio::Conferma:
        return QStringLiteral("Conferma");
    }
    return {};
}

void Messaggi::installa(std::shared_ptr<Attuatore> a) {
    corrente() = a ? std::move(a) : std::make_shared<MessaggiQt>();
}

Messaggi::Attuatore& Messaggi::attuatore() {
    return *corrente();
}

void Messaggi::errore(const QString& testo, QWidget* parent) {
    chiedi(TipoMessaggio::Errore, testo, {QStringLiteral("OK")}, {}, parent);
}

void Messaggi::avviso(const QString& testo, QWidget* parent) {
    chiedi(TipoMessaggio::Avviso, testo, {QStringLiteral("OK")}, {}, parent);
}

void Messaggi::informazione(const QString& testo, QWidget* parent) {
    chiedi(TipoMessaggio::Informazione, testo, {QStringLiteral("OK")}, {}, parent);
}

namespace {

bool siNo(TipoMessaggio tipo, const QString& testo, QWidget* parent, bool noPredefinito) {
    const QString r =
        Messaggi::chiedi(tipo, testo, {QStringLiteral("&Sì"), QStringLiteral("&No")},
                         noPredefinito ? QStringLiteral("No") : QStringLiteral("Sì"), parent);
    return r == QStringLiteral("Sì");
}

} // namespace

bool Messaggi::conferma(const QString& testo, QWidget* parent, bool noPredefinito) {
    return siNo(TipoMessaggio::Conferma, testo, parent, noPredefinito);
}

bool Messaggi::confermaAvviso(const QString& testo, QWidget* parent, bool noPredefinito) {
    return siNo(TipoMessaggio::Avviso, testo, parent, noPredefinito);
}

QString Messaggi::chiedi(TipoMessaggio tipo, const QString& testo, const QStringList& pulsanti,
                         const QString& predefinito, QWidget* parent) {
    // keep the back end alive even if a handler replaces it meanwhile
    auto a = corrente();
    return a->mostra(tipo, testo, pulsanti, predefinito, parent);
}

int Messaggi::esegui(QDialog* dialogo) {
    auto a = corrente();
    return a->esegui(dialogo);
}

QString Messaggi::scegliFile(QWidget* parent, const QString& titolo, const QString& cartella,
                             const QString& filtro) {
    auto a = corrente();
    return a->scegliFile(parent, titolo, cartella, filtro);
}

QString Messaggi::salvaCome(QFileDialog* dialogo, const QString& suffisso, QWidget* parent) {
    dialogo->setOption(QFileDialog::DontConfirmOverwrite);
    dialogo->setAcceptMode(QFileDialog::AcceptSave);
    if (esegui(dialogo) != QDialog::Accepted || dialogo->selectedFiles().isEmpty()) {
        return {};
    }
    QString file = dialogo->selectedFiles().first();
    if (file.isEmpty()) {
        return {};
    }
    // as the dialog does: a name with no dot at all takes the suffix
    if (!QFileInfo(file).fileName().contains('.') && !suffisso.isEmpty()) {
        file += '.' + suffisso;
    }
    if (QFileInfo::exists(file) &&
        !conferma(QStringLiteral("Il file ") + QDir::toNativeSeparators(file) +
                      QStringLiteral(" esiste già. Sostituirlo?"),
                  parent, true)) {
        return {};
    }
    return file;
}

// ------------------------------------------------------------ MessaggiRegistrati

QString MessaggiRegistrati::mostra(TipoMessaggio tipo, const QString& testo,
                                   const QStringList& pulsanti, const QString& predefinito,
                                   QWidget*) {
    mostrati.push_back({tipo, testo});
    if (pulsanti.size() <= 1) {
        return pulsanti.isEmpty() ? QString() : QString(pulsanti.first()).remove('&');
    }
    if (risposte.empty()) {
        throw std::logic_error(("nessuna risposta preparata per: " + testo).toStdString());
    }
    QString r = risposte.front();
    risposte.pop_front();
    (void)predefinito;
    return r;
}

int MessaggiRegistrati::esegui(QDialog* d) {
    dialoghiAperti.push_back(d->objectName());
    if (!dialogo) {
        return QDialog::Rejected;
    }
    return dialogo(d);
}

QString MessaggiRegistrati::scegliFile(QWidget*, const QString&, const QString&, const QString&) {
    if (fileScelti.empty()) {
        return {};
    }
    QString r = fileScelti.front();
    fileScelti.pop_front();
    return r;
}

QStringList MessaggiRegistrati::testi() const {
    QStringList l;
    for (const Voce& v : mostrati) {
        l << v.testo;
    }
    return l;
}

RegistraMessaggi::RegistraMessaggi() : reg_(std::make_shared<MessaggiRegistrati>()) {
    Messaggi::installa(reg_);
}

RegistraMessaggi::~RegistraMessaggi() {
    Messaggi::installa(nullptr);
}

} // namespace quintar
