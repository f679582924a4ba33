// A card of a demo archive printing its current record: through the options
// and the preview, exported to PDF.
#pragma once

#include "host/lancio.h"
#include "report/finestrestampa.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <functional>
#include <gtest/gtest.h>

namespace provareport {

template <typename T> struct StampaCard : ::testing::Test {
    prova::Cartella h{true};
    quintar::RegistraMessaggi msg;
    T* f = nullptr;

    // The card of the entry point; `prima` runs on the archive before it opens.
    void apri(const char* entrata, const std::function<void()>& prima = {}) {
        quintar::Formati::impostaItaliani();
        if (prima) {
            prima();
        }
        f = dynamic_cast<T*>(
            quintar::LanciaSchermata(*quintar::trovaSchermata(entrata), 2, std::nullopt));
        ASSERT_NE(f, nullptr);
    }
    void TearDown() override {
        if (f) {
            f->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Prints the current record through the preview (whose title must be
    // `titolo`) into pdf; the preview's page count, 0 when it never showed.
    int stampa(const QString& pdf, const QString& titolo) {
        int pagine = 0;
        msg->risposte = {"Sì"};
        msg->dialogo = [&](QDialog* d) {
            if (qobject_cast<quintar::report::OpzioniStampaDialog*>(d)) {
                return int(QDialog::Accepted);
            }
            if (auto* p = qobject_cast<quintar::report::AnteprimaStampa*>(d)) {
                pagine = p->LabelPagina->text().section(' ', -1).toInt();
                EXPECT_EQ(p->windowTitle(), titolo);
                EXPECT_TRUE(p->esportaPdf(pdf));
            }
            return int(QDialog::Accepted);
        };
        f->ButtonStampaClick();
        return pagine;
    }
};

} // namespace provareport
