// A card shows any row of a long list without reading the rows before it.
#include "master/fornito.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct ListaLunga : ::testing::Test {
    prova::Cartella h{true};
    RegistraMessaggi msg;
    void SetUp() override {
        quintar::Database db;
        db.connect(h.c().azienda());
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {"INSERT INTO FORNITO (CODICE, RAGSOC) VALUES (?, ?)"};
        for (int i = 0; i < 6000; ++i) {
            q.setParams({QString("L%1").arg(i, 5, 10, QChar('0')), QString("Fornitore %1").arg(i)});
            q.execSQL();
        }
        tr.commit();
    }
    TTabXForm* sessione() {
        auto* s = new TTabXForm();
        s->SetUserPerNum(1);
        s->Inserisci("KDQ", "Archivio", {}, h.c().azienda(), {}, {}, {}, {}, "1");
        s->ConnettiDatabase1("Archivio");
        return s;
    }
};

QString codice(TFornitoForm& f) {
    return f.findChild<QLineEdit*>("EditCodice2")->text();
}

} // namespace

TEST_F(ListaLunga, TheNavigatorReachesTheLastAndFirstRowsReadingFewRows) {
    auto* s = sessione();
    auto* f = new TFornitoForm(s);
    f->PossiedeSessione = true;
    GrigliaModello* m = f->Griglia->modello();
    EXPECT_LE(m->rowCount(), 512);

    f->NavUltimo->click();
    EXPECT_EQ(codice(*f), "L05999") << "the list is ordered by its key, the demo codes F... first";
    EXPECT_LE(m->rowCount(), 512) << "the rows before the last are not read";

    f->NavPrecedente->click();
    EXPECT_EQ(codice(*f), "L05998");

    f->NavPrimo->click();
    EXPECT_EQ(codice(*f), "F001");
    EXPECT_LE(m->rowCount(), 512);

    f->NavSuccessivo->click();
    EXPECT_EQ(codice(*f), "F002");

    // a row found by the database is shown the same way
    f->riapriSuCodice("L04500");
    EXPECT_EQ(codice(*f), "L04500");
    EXPECT_LE(m->rowCount(), 512);
    EXPECT_EQ(f->posizioneCorrente(), 4500 + 7);
    f->close();
}

TEST_F(ListaLunga, DeletingFarDownComesBackToTheSamePlace) {
    auto* s = sessione();
    auto* f = new TFornitoForm(s);
    f->PossiedeSessione = true;
    f->riapriSuCodice("L05000");
    msg->risposte = {"Sì"};
    f->ButtonElimina->click();
    EXPECT_EQ(codice(*f), "L05001");
    EXPECT_EQ(h.conta(h.c().azienda(), "SELECT COUNT(*) FROM FORNITO WHERE CODICE='L05000'"), 0);
    EXPECT_LE(f->Griglia->modello()->rowCount(), 512);
    f->close();
}
