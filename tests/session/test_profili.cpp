#include "session/messaggi.h"
#include "session/profili.h"
#include "session/tabx.h"
#include "support/archivi.h"

#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

struct Profili : ::testing::Test {
    prova::Cartella c;
    RegistraMessaggi messaggi;
    void SetUp() override {
        c.esegui(c.c().userDb(),
                 {"INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('LETT', "
                  "'Consultazione', 2)",
                  "INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('PIENO', "
                  "'Completo', 1)",
                  "INSERT INTO PROFILI (CODICE, DESCRIZIONE, LIVELLOPREDEFINITO) VALUES ('VUOTO', "
                  "'Senza livello', NULL)",
                  "INSERT INTO UTENTI (CODICE, NOMEUTENTE, DITTA, PROFILOSICUREZZA) VALUES (11, "
                  "'LETTORE', 'PROVA', 'LETT')",
                  "INSERT INTO UTENTI (CODICE, NOMEUTENTE, DITTA, PROFILOSICUREZZA) VALUES (12, "
                  "'COMPLETO', 'PROVA', 'PIENO')",
                  "INSERT INTO UTENTI (CODICE, NOMEUTENTE, DITTA, PROFILOSICUREZZA) VALUES (13, "
                  "'LIBERO', 'PROVA', NULL)",
                  "INSERT INTO UTENTI (CODICE, NOMEUTENTE, DITTA, PROFILOSICUREZZA) VALUES (14, "
                  "'ORFANO', 'PROVA', 'SPARITO')",
                  "INSERT INTO UTENTI (CODICE, NOMEUTENTE, DITTA, PROFILOSICUREZZA) VALUES (15, "
                  "'SENZALIV', 'PROVA', 'VUOTO')"});
    }
    bool solaLettura(int utente) {
        TTabXForm s;
        s.SetUserPerNum(utente);
        return VerificaProfiloSicurezza(s);
    }
};

} // namespace

TEST_F(Profili, OnlyALevelTwoProfileMakesTheUserReadOnly) {
    EXPECT_TRUE(solaLettura(11));
    EXPECT_FALSE(solaLettura(12)) << "level 1";
    EXPECT_FALSE(solaLettura(13)) << "no profile";
    EXPECT_FALSE(solaLettura(14)) << "profile code without a PROFILI row";
    EXPECT_FALSE(solaLettura(15)) << "profile without a level";
    EXPECT_FALSE(solaLettura(99)) << "user unknown to a readable user database";
    EXPECT_TRUE(messaggi->testi().isEmpty()) << "the check never shows a message";
}

TEST_F(Profili, AnUnreachableUserDatabaseGivesReadOnly) {
    TTabXForm s;
    s.SetUserPerNum(12);
    s.IBDatabaseUser.disconnect();
    EXPECT_TRUE(VerificaProfiloSicurezza(s));
    EXPECT_TRUE(messaggi->testi().isEmpty());
}

TEST_F(Profili, TheOutcomeIsTakenOnceAndLaterChangesDoNotReachIt) {
    TTabXForm s;
    s.SetUserPerNum(11);
    const bool solaLettura = VerificaProfiloSicurezza(s);
    c.esegui(c.c().userDb(), {"UPDATE PROFILI SET LIVELLOPREDEFINITO=1 WHERE CODICE='LETT'"});
    EXPECT_TRUE(solaLettura);
    EXPECT_FALSE(this->solaLettura(11)) << "a new opening reads the new level";
}

TEST_F(Profili, DisablingControlsKeepsTheOthersEnabled) {
    QWidget schermo;
    auto* nuovo = new QPushButton(&schermo);
    nuovo->setObjectName("ButtonNuovo");
    auto* chiudi = new QPushButton(&schermo);
    chiudi->setObjectName("ButtonChiudi");
    DisattivaControlli(&schermo, {"ButtonNuovo", "ButtonInesistente"});
    EXPECT_FALSE(nuovo->isEnabled());
    EXPECT_TRUE(chiudi->isEnabled());
}
