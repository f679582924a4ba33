// What the tests of the exchange screens share: a host folder with empty
// archives (or the demo company), the screens launched as the host launches
// them, recorded messages, and the rows of a query as text.
#pragma once

#include "host/lancio.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "support/archivi.h"
#include "ui/finestra.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace prova {

inline const QString kAcuto = QString(QChar(0x00B4));

template <bool Demo = false> struct Scambio : ::testing::Test {
    Cartella h{Demo};
    quintar::RegistraMessaggi msg;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<quintar::FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        quintar::Formati::imposta(quintar::Formati::predefinite());
    }

    QString az() const { return h.c().azienda(); }
    QString erp() const { return h.c().erp(); }

    // The screen of an X entry point, launched for user 2.
    template <typename T> T* apri(const char* entrata) {
        auto* f = dynamic_cast<T*>(
            quintar::LanciaSchermata(*quintar::trovaSchermata(entrata), 2, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }

    // The rows of a query, each as its columns joined by "|" (NULL as "-").
    QStringList righe(const QString& file, const QString& select) {
        quintar::Database db;
        db.connect(file);
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {select};
        QStringList r;
        for (q.open(); !q.eof(); q.next()) {
            QStringList c;
            for (int i = 0; i < q.fieldCount(); ++i) {
                c << (q.field(i).isNull() ? QStringLiteral("-") : q.field(i).valore().toString());
            }
            r << c.join('|');
        }
        return r;
    }
    int conta(const QString& file, const QString& select) { return h.conta(file, select); }

    static QStringList memo(QPlainTextEdit* m) { return m->toPlainText().split('\n'); }
};

} // namespace prova
