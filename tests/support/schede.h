// A card under test: a demo host folder, the recorded messages, and every
// card closed at the end even when a test leaves it editing.
#pragma once

#include "archivi.h"
#include "host/lancio.h"
#include "session/messaggi.h"
#include "ui/righe.h"
#include "ui/scheda.h"
#include "ui/tkyvin1form.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <optional>

namespace prova {

struct ConScheda : ::testing::Test {
    Cartella h{true};
    quintar::RegistraMessaggi msg;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* s = qobject_cast<quintar::SchedaBase*>(w)) {
                s->StatoScheda = 0;
                for (quintar::PaginaRighe* p : s->pagineRighe()) {
                    p->Stato = 0;
                }
                s->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString az() const { return h.c().azienda(); }
    int conta(const QString& sql) { return h.conta(az(), sql); }
    QString valore(const QString& sql) { return h.valore(az(), sql); }

    // The card of an entry point, launched for user 2.
    template <typename T> T* apri(const char* entrata) {
        auto* f = dynamic_cast<T*>(
            quintar::LanciaSchermata(*quintar::trovaSchermata(entrata), 2, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }
    static void riga(quintar::SchedaBase* f, const QString& codice) {
        f->riapriSuCodice(codice);
        ASSERT_EQ(f->codiceCorrenteGriglia(), codice);
    }
    static void testo(QWidget* w, const QString& t) { quintar::SchedaBase::impostaTesto(w, t); }
    // The new-code dialog answered with this code.
    void nuovoCodice(const QString& codice) {
        msg->dialogo = [codice](QDialog* d) -> int {
            auto* k = qobject_cast<quintar::TKyvIn1Form*>(d);
            if (!k) {
                return QDialog::Rejected;
            }
            k->Edit1->setText(codice);
            k->OKBtn->click();
            return k->result();
        };
    }
};

// Screens opened through the launch table on a demo host folder, with the
// recorded messages; every screen still open is closed at the end.
struct ConFinestre : ::testing::Test {
    Cartella h{true};
    quintar::RegistraMessaggi msg;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<quintar::FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The screen of an entry point, launched for the user.
    template <typename T> T* apri(const char* entrata, int utente = 1) {
        auto* f = dynamic_cast<T*>(
            quintar::LanciaSchermata(*quintar::trovaSchermata(entrata), utente, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }
};

} // namespace prova
