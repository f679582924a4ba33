// A long run holds its window: buttons and edits disabled, closing refused,
// the bar shown and moved; everything back as it was when it ends.
#include "ui/lavorazione.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace quintar;

TEST(Lavorazione, TheWindowCannotBeUsedNorClosedWhileTheRunLasts) {
    auto w = std::make_unique<QWidget>();
    auto* avvia = new QPushButton("Avvia", w.get());
    auto* spento = new QPushButton("Spento", w.get());
    spento->setEnabled(false);
    auto* edit = new QLineEdit(w.get());
    auto* pannello = new QWidget(w.get());
    auto* barra = new QProgressBar(pannello);
    auto* l = new QVBoxLayout(w.get());
    for (QWidget* c : {static_cast<QWidget*>(avvia), static_cast<QWidget*>(spento),
                       static_cast<QWidget*>(edit), pannello}) {
        l->addWidget(c);
    }
    pannello->hide();
    w->show();
    QApplication::processEvents();
    {
        Lavorazione lavoro(w.get(), barra, pannello);
        EXPECT_TRUE(Lavorazione::inCorso(w.get()));
        EXPECT_FALSE(avvia->isEnabled());
        EXPECT_FALSE(edit->isEnabled());
        EXPECT_TRUE(pannello->isVisible());
        EXPECT_EQ(barra->value(), 0);
        lavoro.avanza(1, 3);
        EXPECT_EQ(barra->value(), 33);
        lavoro.avanza(2, 3);
        EXPECT_EQ(barra->value(), 67);
        lavoro.avanza(5, 0);
        EXPECT_EQ(barra->value(), 0);
        // the host closing its windows, the title bar's button
        EXPECT_FALSE(w->close());
        QApplication::processEvents();
        EXPECT_TRUE(w->isVisible());
    }
    EXPECT_FALSE(Lavorazione::inCorso(w.get()));
    EXPECT_TRUE(avvia->isEnabled());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_FALSE(spento->isEnabled()) << "what was disabled before stays so";
    EXPECT_FALSE(pannello->isVisible());
    EXPECT_EQ(barra->value(), 0);
    EXPECT_TRUE(w->close());
}

TEST(Lavorazione, TheSummaryIsWrittenInOneGo) {
    QPlainTextEdit memo;
    memo.setPlainText("vecchio");
    {
        Riepilogo r(&memo);
        r.svuota();
        r << "uno" << QString() << "due";
        EXPECT_TRUE(memo.toPlainText().isEmpty()) << "gathered, not yet written";
        r.scrivi();
        EXPECT_EQ(memo.toPlainText(), "uno\n\ndue");
        r << "tre";
    }
    EXPECT_EQ(memo.toPlainText(), "uno\n\ndue\ntre");
}
