// What the tests of the configuration screens share: a demo company, a
// session on it, recorded messages and a few ways to look at a card.
#pragma once

#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/grigliamodello.h"
#include "ui/scheda.h"
#include "ui/tcsdgrid.h"
#include "ui/tkyvin1form.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace prova {

inline const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");
inline const QString kAcuto = QString(QChar(0x00B4));

struct Configurazione : ::testing::Test {
    Cartella h{true};
    quintar::RegistraMessaggi msg;

    // A session of the user on the demo company, owned by the screen given it.
    quintar::TTabXForm* sessione(int utente = 1) {
        auto* s = new quintar::TTabXForm();
        s->SetUserPerNum(utente);
        s->Inserisci("KDQ", "Archivio", {}, h.c().azienda(), {}, {}, {}, {},
                     QString::number(utente));
        s->ConnettiDatabase1("Archivio");
        return s;
    }
    template <typename T, typename... A> T* apri(int utente, A&&... a) {
        auto* f = new T(sessione(utente), std::forward<A>(a)...);
        f->PossiedeSessione = true;
        f->setAttribute(Qt::WA_DeleteOnClose);
        f->show();
        return f;
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* s = qobject_cast<quintar::SchedaBase*>(w)) {
                s->StatoScheda = 0;
            }
            if (qobject_cast<quintar::FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString valore(const QString& select) { return h.valore(h.c().azienda(), select); }
    int conta(const QString& select) { return h.conta(h.c().azienda(), select); }
    void esegui(const QStringList& frasi) { h.esegui(h.c().azienda(), frasi); }

    // The new-code dialog (or input box) answered with this text.
    void rispondiCodice(const QString& testo) {
        msg->dialogo = [testo](QDialog* d) -> int {
            auto* k = qobject_cast<quintar::TKyvIn1Form*>(d);
            if (!k) {
                return QDialog::Rejected;
            }
            k->Edit1->setText(testo);
            k->OKBtn->click();
            return k->result();
        };
    }
};

template <typename W = QWidget> W* campo(QWidget* f, const QString& nome) {
    auto* w = f->findChild<W*>(nome);
    EXPECT_NE(w, nullptr) << nome.toStdString();
    return w;
}
inline QString testo(QWidget* f, const QString& nome) {
    return quintar::SchedaBase::testoDi(campo(f, nome));
}
inline void scrivi(QWidget* f, const QString& nome, const QString& t) {
    quintar::SchedaBase::impostaTesto(campo(f, nome), t);
}

} // namespace prova
