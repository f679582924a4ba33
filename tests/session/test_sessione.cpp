// The session environment: parameter store, user binding, per-user parameters
// in the user database, company parameters in TABX, generators, window log.
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "support/trattenuta.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <thread>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");
const QString kAcuto = QString(QChar(0x00B4));

struct Sessione : ::testing::Test {
    prova::Cartella cartella;
    RegistraMessaggi msg;
    Formati::Impostazioni formati = Formati::correnti();

    void TearDown() override { Formati::imposta(formati); }

    QString utenti() const { return cartella.c().userDb(); }
    QString azienda() const { return cartella.c().azienda(); }
    QString valoreUtenti(const QString& select) { return cartella.valore(utenti(), select); }
    QString valoreAzienda(const QString& select) { return cartella.valore(azienda(), select); }

    // A user of the user database without any stored parameter.
    void aggiungiUtente(int codice, const QString& nome, const QString& ditta) {
        QString n = nome, d = ditta;
        n.replace("'", "''");
        d.replace("'", "''");
        cartella.esegui(utenti(), {QStringLiteral("INSERT INTO UTENTI (CODICE,NOMEUTENTE,PWDUTENTE,"
                                                  "DITTA) VALUES (%1,'%2','pw%1','%3')")
                                       .arg(codice)
                                       .arg(n, d)});
    }

    // A session bound to a user, with the company archive on IBDatabase1.
    std::unique_ptr<TTabXForm> apri(int utente) {
        auto s = std::make_unique<TTabXForm>();
        s->SetUserPerNum(utente);
        s->Inserisci("KDQ", "Archivio", "", azienda(), "", "", "", "", QString::number(utente));
        EXPECT_TRUE(s->ConnettiDatabase1("Archivio"));
        return s;
    }
};

} // namespace

TEST_F(Sessione, TheStoreOverwritesByTypeNameAndUserAndReadsByNameAlone) {
    Formati::impostaItaliani();
    TTabXForm s;
    s.Inserisci("KDQ", "BinDir", "", "/primo/", "", "", "", "", "2");
    s.Inserisci("KDQ", "BinDir", "42", "/secondo/", "05/03/2024", "memo", "1", "2", "2");
    ASSERT_EQ(s.MemTabX.size(), 1u);
    EXPECT_EQ(s.GetV("BinDir"), "/secondo/");
    const RigaTabX& r = s.MemTabX.front();
    EXPECT_EQ(r.Numero, 42);
    EXPECT_EQ(r.Data, QDate(2024, 3, 5));
    EXPECT_EQ(r.Memo, "memo");
    EXPECT_EQ(r.Livello1, 1);
    EXPECT_EQ(r.Livello2, 2);
    EXPECT_EQ(r.Utente, 2);

    s.Inserisci("KDQ", "BinDir", "", "/terzo/", "", "", "", "", "2");
    EXPECT_FALSE(s.MemTabX.front().Numero.has_value()) << "an empty text empties the number";
    EXPECT_FALSE(s.MemTabX.front().Data.isValid());

    s.Inserisci("LST", "BinDir", "", "/altro tipo/", "", "", "", "", "2");
    s.Inserisci("KDQ", "BinDir", "", "/altro utente/", "", "", "", "", "3");
    EXPECT_EQ(s.MemTabX.size(), 3u);
    EXPECT_EQ(s.GetV("BinDir"), "/terzo/") << "the first row inserted with that name";
    EXPECT_EQ(s.GetV("bindir"), "") << "names are compared exactly";
    EXPECT_EQ(s.GetV("MaiInserito"), "");

    const QString lungo = "/archivi/" + QString(200, 'x') + "/QUINTAR.FDB";
    s.Inserisci("KDQ", "Archivio", "", lungo, "", "", "", "", "2");
    EXPECT_EQ(s.GetV("Archivio"), lungo) << "a path is never cut";
}

TEST_F(Sessione, BindingAUserFillsNamePasswordAndCompany) {
    TTabXForm s;
    s.SetUserPerNum(2);
    EXPECT_EQ(s.GetNumUser(), 2);
    EXPECT_EQ(s.NomeUtente, "MARIO");
    EXPECT_EQ(s.PwdUtente, "mario");
    EXPECT_EQ(s.Ditta, kDitta);
    EXPECT_EQ(s.CaricaParametro("Directory bin"), cartella.radice());
    EXPECT_EQ(s.CaricaParametro("ArchivioQuintar"), azienda());
    EXPECT_EQ(s.CaricaParametro("Mai scritto"), "");

    // a parameter filed under another company is not this company's
    cartella.esegui(utenti(), {"INSERT INTO TABARBELON (UTENTE,INTESTAZIONE,PARAMETRO,VALORE,"
                               "PROGRESSIVO) VALUES (2,'Altra Ditta','Solo altrove','x',100)"});
    EXPECT_EQ(s.CaricaParametro("Solo altrove"), "");

    TTabXForm ignoto;
    ignoto.SetUserPerNum(99);
    EXPECT_EQ(ignoto.GetNumUser(), 99);
    EXPECT_EQ(ignoto.NomeUtente, "");
    EXPECT_EQ(ignoto.PwdUtente, "");
    EXPECT_EQ(ignoto.Ditta, "");
    EXPECT_EQ(ignoto.CaricaParametro("Directory bin"), "");

    aggiungiUtente(9, "D'AMICO", "Ditta d'Oro");
    TTabXForm apostrofo;
    apostrofo.SetUserPerNum(9);
    EXPECT_EQ(apostrofo.NomeUtente, "D'AMICO");
    EXPECT_EQ(apostrofo.PwdUtente, "pw9");
    EXPECT_EQ(apostrofo.Ditta, "Ditta d'Oro");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, NewParametersOfAUserAreNumberedFromOneAcrossSections) {
    aggiungiUtente(9, "NUOVO", kDitta);
    TTabXForm s;
    s.SetUserPerNum(9);
    const QString prog = "SELECT PROGRESSIVO FROM TABARBELON WHERE UTENTE=9 AND PARAMETRO='%1'";
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "A", "1"));
    EXPECT_EQ(valoreUtenti(prog.arg("A")), "1");
    ASSERT_TRUE(s.ScriviParametroArbelon("Y", "C", "3"));
    EXPECT_EQ(valoreUtenti(prog.arg("C")), "2");
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "A", "uno"));
    EXPECT_EQ(valoreUtenti(prog.arg("A")), "1") << "an update keeps the running number";
    EXPECT_EQ(valoreUtenti("SELECT VALORE FROM TABARBELON WHERE UTENTE=9 AND PARAMETRO='A'"),
              "uno");
    EXPECT_EQ(cartella.conta(utenti(), "SELECT COUNT(*) FROM TABARBELON WHERE UTENTE=9"), 2);

    // a user who already has the folder parameters continues after them
    TTabXForm mario;
    mario.SetUserPerNum(2);
    const int prima =
        cartella.conta(utenti(), "SELECT MAX(PROGRESSIVO) FROM TABARBELON WHERE UTENTE=2");
    ASSERT_TRUE(mario.ScriviParametroArbelon(kDitta, "Nuovo", "v"));
    EXPECT_EQ(cartella.conta(utenti(), "SELECT PROGRESSIVO FROM TABARBELON WHERE UTENTE=2 AND "
                                       "PARAMETRO='Nuovo'"),
              prima + 1);
    EXPECT_EQ(mario.CaricaParametro("Nuovo"), "v");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, TheUserImageListsSectionsAlphabeticallyAndParametersInWritingOrder) {
    aggiungiUtente(9, "NOVE", kDitta);
    TTabXForm s;
    s.SetUserPerNum(9);
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "A", "1"));
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "B", "2"));
    ASSERT_TRUE(s.ScriviParametroArbelon("Y", "C", "3"));
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"),
              "[X]\nA=1\nB=2\n[Y]\nC=3\n");

    aggiungiUtente(10, "DIECI", kDitta);
    TTabXForm d;
    d.SetUserPerNum(10);
    ASSERT_TRUE(d.ScriviParametroArbelon("Y", "C", "3"));
    ASSERT_TRUE(d.ScriviParametroArbelon("X", "B", "2"));
    ASSERT_TRUE(d.ScriviParametroArbelon("X", "A", "1"));
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=10"),
              "[X]\nB=2\nA=1\n[Y]\nC=3\n");
    ASSERT_TRUE(d.ScriviParametroArbelon("X", "A", ""));
    EXPECT_EQ(valoreUtenti("SELECT COALESCE(VALORE,'<null>') FROM TABARBELON WHERE UTENTE=10 AND "
                           "PARAMETRO='A'"),
              "<null>");
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=10"),
              "[X]\nB=2\nA=\n[Y]\nC=3\n");
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"),
              "[X]\nA=1\nB=2\n[Y]\nC=3\n")
        << "another user's image is not touched";
}

TEST_F(Sessione, AParameterHoldingAQuoteIsStoredExactly) {
    TTabXForm s;
    s.SetUserPerNum(2);
    ASSERT_TRUE(s.ScriviParametroArbelon(kDitta, "Directory bin", "/tmp/d'Amico/"));
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(
        valoreUtenti("SELECT VALORE FROM TABARBELON WHERE UTENTE=2 AND PARAMETRO='Directory bin'"),
        "/tmp/d'Amico/");
    EXPECT_EQ(s.CaricaParametro("Directory bin"), "/tmp/d'Amico/");
    EXPECT_TRUE(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=2")
                    .contains("Directory bin=/tmp/d'Amico/\n"));
    TTabXForm altra;
    altra.SetUserPerNum(2);
    EXPECT_EQ(altra.CaricaParametro("Directory bin"), "/tmp/d'Amico/") << "committed";
}

TEST_F(Sessione, AFailedParameterWriteShowsItsErrorAndChangesNothing) {
    aggiungiUtente(9, "NOVE", kDitta);
    TTabXForm s;
    s.SetUserPerNum(9);
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "A", "1"));
    const QString troppo(300, 'z');

    EXPECT_FALSE(s.ScriviParametroArbelon("X", "B", troppo));
    EXPECT_EQ(
        msg->testi(),
        QStringList{"Errore interno di INSERT: impossibile aggiornare la tabella dei parametri"});
    EXPECT_EQ(cartella.conta(utenti(), "SELECT COUNT(*) FROM TABARBELON WHERE UTENTE=9"), 1);

    msg->pulisci();
    EXPECT_FALSE(s.ScriviParametroArbelon("X", "A", troppo));
    EXPECT_EQ(
        msg->testi(),
        QStringList{"Errore interno di UPDATE: impossibile aggiornare la tabella dei parametri"});
    EXPECT_EQ(valoreUtenti("SELECT VALORE FROM TABARBELON WHERE UTENTE=9 AND PARAMETRO='A'"), "1");
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"), "[X]\nA=1\n");

    msg->pulisci();
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "B", "2")) << "the session keeps working";
    EXPECT_EQ(s.CaricaParametro("B"), "") << "the section is not this user's company";
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"), "[X]\nA=1\nB=2\n");
}

TEST_F(Sessione, AParameterIsNotStoredWhenTheUserImageCannotBeRebuilt) {
    aggiungiUtente(9, "NOVE", kDitta);
    TTabXForm s;
    s.SetUserPerNum(9);
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "A", "1"));
    cartella.esegui(utenti(), {"CREATE EXCEPTION IMMAGINE_BLOCCATA 'immagine bloccata'",
                               "CREATE TRIGGER UTENTI_NO_ARBELON FOR UTENTI BEFORE UPDATE AS "
                               "BEGIN IF (NEW.ARBELON IS DISTINCT FROM OLD.ARBELON) THEN "
                               "EXCEPTION IMMAGINE_BLOCCATA; END"});
    const QString arbelon =
        "Errore interno di UPDATE: impossibile aggiornare i parametri arbelon dell'utente";

    EXPECT_FALSE(s.ScriviParametroArbelon("X", "A", "2"));
    EXPECT_EQ(msg->testi(), QStringList{arbelon});
    EXPECT_EQ(valoreUtenti("SELECT VALORE FROM TABARBELON WHERE UTENTE=9 AND PARAMETRO='A'"), "1")
        << "the value and the image stay together";

    msg->pulisci();
    EXPECT_FALSE(s.ScriviParametroArbelon("X", "B", "2"));
    EXPECT_EQ(msg->testi(), QStringList{arbelon});
    EXPECT_EQ(cartella.conta(utenti(), "SELECT COUNT(*) FROM TABARBELON WHERE UTENTE=9"), 1);
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"), "[X]\nA=1\n");

    cartella.esegui(utenti(), {"DROP TRIGGER UTENTI_NO_ARBELON"});
    msg->pulisci();
    ASSERT_TRUE(s.ScriviParametroArbelon("X", "B", "2"));
    EXPECT_EQ(valoreUtenti("SELECT ARBELON FROM UTENTI WHERE CODICE=9"), "[X]\nA=1\nB=2\n");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, CompanyParametersStoreTheAccentAndAreReadBack) {
    auto s = apri(2);
    ASSERT_TRUE(s->SettaValoreTabX("Nota", "Chimica d'Oro", false));
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='Nota'"),
              "Chimica d" + kAcuto + "Oro");
    EXPECT_EQ(s->ValoreTabX("Nota", false), "Chimica d" + kAcuto + "Oro");
    EXPECT_EQ(valoreAzienda("SELECT COALESCE(UTENTE,-1) FROM TABX WHERE NOME='Nota'"), "-1");

    ASSERT_TRUE(s->SettaValoreTabX("Nota", "seconda", false));
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='Nota'"), 1);
    EXPECT_EQ(s->ValoreTabX("Nota", false), "seconda");
    ASSERT_TRUE(s->SettaValoreTabX("Nota", "", false));
    EXPECT_EQ(valoreAzienda("SELECT COALESCE(TESTO,'<null>') FROM TABX WHERE NOME='Nota'"),
              "<null>");
    EXPECT_EQ(s->ValoreTabX("Nota", false), "");
    EXPECT_EQ(s->ValoreTabX("MaiScritto", false), "");
    EXPECT_EQ(s->ValoreTabX("ArchivioTovaris", false), cartella.c().erp());

    // a per-user value belongs to its user
    ASSERT_TRUE(s->SettaValoreTabX("StampanteEticFabbr", "P2", true));
    auto ospite = apri(3);
    ASSERT_TRUE(ospite->SettaValoreTabX("StampanteEticFabbr", "P3", true));
    EXPECT_EQ(
        cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='StampanteEticFabbr'"), 2);
    EXPECT_EQ(s->ValoreTabX("StampanteEticFabbr", true), "P2");
    EXPECT_EQ(ospite->ValoreTabX("StampanteEticFabbr", true), "P3");
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='StampanteEticFabbr' AND UTENTE=2"),
              "P2");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, ACompanyParameterThatCannotBeReadIsToldApartFromAMissingOne) {
    auto s = apri(2);
    ASSERT_TRUE(s->SettaValoreTabX("Nota", "x", false));
    ASSERT_TRUE(s->SettaValoreTabX("Vuota", "", false));
    EXPECT_EQ(s->LeggiValoreTabX("Nota", false), std::optional<QString>("x"));
    EXPECT_EQ(s->LeggiValoreTabX("Vuota", false), std::optional<QString>(""))
        << "a row with an empty text is there";
    EXPECT_EQ(s->LeggiValoreTabX("MaiScritto", false), std::nullopt);
    EXPECT_EQ(s->LeggiValoreTabX("Nota", true), std::nullopt) << "not this user's";

    cartella.esegui(azienda(), {"ALTER TABLE TABX ALTER COLUMN TESTO TO TESTO_ALTRO"});
    // a screen keeps the reads it prepared: the change meets the next one
    s = apri(2);
    EXPECT_THROW(s->LeggiValoreTabX("Nota", false), DbError);
    EXPECT_EQ(s->ValoreTabX("Nota", false), "") << "the plain reading stays empty";

    TTabXForm scollegata;
    EXPECT_THROW(scollegata.LeggiValoreTabX("Nota", false), DbError);
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, AFailedCompanyParameterWriteIsSilent) {
    auto s = apri(2);
    EXPECT_FALSE(s->SettaValoreTabX("Nota", QString(300, 'z'), false));
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='Nota'"), 0);
    EXPECT_TRUE(s->SettaValoreTabX("Nota", "breve", false));
    EXPECT_EQ(s->ValoreTabX("Nota", false), "breve");
}

TEST_F(Sessione, SeveralCompanyParametersAreWrittenAllOrNone) {
    auto s = apri(2);
    const QString percorso = s->ValoreTabX("PercorsoReportEtic", false);
    ASSERT_FALSE(percorso.isEmpty());
    EXPECT_FALSE(s->SettaValoriTabX({{"PercorsoReportEtic", "/nuovo/", false},
                                     {"NuovoA", "1", false},
                                     {"NuovoB", "2", true},
                                     {"NuovoC", QString(300, 'z'), false}}));
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='PercorsoReportEtic'"), percorso);
    EXPECT_EQ(
        cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME STARTING WITH 'Nuovo'"), 0);
    EXPECT_EQ(s->ValoreTabX("PercorsoReportEtic", false), percorso) << "not even for this session";
    EXPECT_EQ(s->ValoreTabX("NuovoA", false), "");

    ASSERT_TRUE(s->SettaValoriTabX(
        {{"PercorsoReportEtic", "/nuovo/", false}, {"NuovoA", "1", false}, {"NuovoB", "2", true}}));
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='PercorsoReportEtic'"), "/nuovo/");
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='NuovoA'"), "1");
    EXPECT_EQ(valoreAzienda("SELECT TESTO FROM TABX WHERE NOME='NuovoB' AND UTENTE=2"), "2");
}

TEST_F(Sessione, TwoSessionsWritingTheSameParameterInTurnLeaveOneRowWithTheLastValue) {
    auto a = apri(2);
    auto b = apri(3);
    // both sessions have read before either writes, as two open screens do; the
    // writes follow one another (two writes of a new name at the same moment are
    // not checked here)
    EXPECT_EQ(a->ValoreTabX("SogliaFuoriPeso", false), "");
    EXPECT_EQ(b->ValoreTabX("SogliaFuoriPeso", false), "");
    EXPECT_TRUE(a->SettaValoreTabX("SogliaFuoriPeso", "5", false));
    EXPECT_TRUE(b->SettaValoreTabX("SogliaFuoriPeso", "7", false));
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='SogliaFuoriPeso'"),
              1);
    EXPECT_EQ(valoreAzienda("SELECT MAX(TESTO) FROM TABX WHERE NOME='SogliaFuoriPeso'"), "7");
    EXPECT_TRUE(a->SettaValoreTabX("SogliaFuoriPeso", "9", false));
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='SogliaFuoriPeso' "
                                        "AND TESTO<>'9'"),
              0)
        << "no older value is left behind to be read later";
    EXPECT_EQ(apri(2)->ValoreTabX("SogliaFuoriPeso", false), "9");
}

TEST_F(Sessione, TwoSessionsWritingANewParameterAtTheSameMomentLeaveOneRow) {
    // two sessions, each in a thread of its own, write the same new names at once
    constexpr int kNomi = 20;
    auto a = apri(2);
    auto b = apri(3);
    std::latch via(2);
    std::array<std::vector<bool>, 2> esiti;
    auto scrivi = [&](TTabXForm* s, int quale, const QString& valore) {
        via.arrive_and_wait();
        for (int i = 0; i < kNomi; ++i) {
            esiti[size_t(quale)].push_back(
                s->SettaValoreTabX(QString("Gara%1").arg(i), valore, false));
        }
    };
    std::thread primo(scrivi, a.get(), 0, QStringLiteral("A"));
    std::thread secondo(scrivi, b.get(), 1, QStringLiteral("B"));
    primo.join();
    secondo.join();
    for (int i = 0; i < kNomi; ++i) {
        const QString nome = QString("Gara%1").arg(i);
        EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='" + nome + "'"),
                  1)
            << nome.toStdString();
        EXPECT_TRUE(esiti[0][size_t(i)] && esiti[1][size_t(i)])
            << nome.toStdString() << ": both writes went through, one after the other";
    }
}

TEST_F(Sessione, WorkNotCommittedIsDiscardedWhenTheSessionGoesAway) {
    {
        auto s = apri(2);
        Query q(&s->IBDatabase1, &s->IBTransaction1);
        q.SQL = {"INSERT INTO TABX (CODICE,NOME,TESTO) VALUES "
                 "(GEN_ID(CODICETABXCOUNTER,1),'Perso','x')"};
        q.execSQL();
    }
    EXPECT_EQ(cartella.conta(azienda(), "SELECT COUNT(*) FROM TABX WHERE NOME='Perso'"), 0);
}

TEST_F(Sessione, TheScriptTableIsCreatedOnceAndThenFound) {
    const QString esiste = "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME='TABSCRIPT'";
    ASSERT_EQ(cartella.conta(utenti(), esiste), 0);
    { TTabXForm s; }
    EXPECT_EQ(cartella.conta(utenti(), esiste), 1);
    EXPECT_TRUE(msg->mostrati.empty());
    cartella.esegui(utenti(), {"INSERT INTO TABSCRIPT (PROGETTO,SCRIPTFORM,CONTESTO,UTENTE) "
                               "VALUES ('150','MATER',1,'2')"});
    { TTabXForm s; }
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(cartella.conta(utenti(), "SELECT COUNT(*) FROM TABSCRIPT"), 1) << "not created again";
}

TEST_F(Sessione, TwoHostsOpeningAFreshUserDatabaseAtOnceBothFindTheScriptTable) {
    const QString esiste = "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME='TABSCRIPT'";
    ASSERT_EQ(cartella.conta(utenti(), esiste), 0);
    // the other host found the table missing too and is creating it: this
    // session waits for it and finds it made
    {
        prova::ScritturaTrattenuta altro(
            utenti(), {"CREATE TABLE TABSCRIPT(PROGETTO VARCHAR(15) NOT NULL, SCRIPTFORM "
                       "VARCHAR(15) NOT NULL, CONTESTO SMALLINT NOT NULL, UTENTE VARCHAR(15) NOT "
                       "NULL, DESCRIZIONESITUAZIONE BLOB, SCRIPT BLOB, MODIFICATODAUTENTE "
                       "SMALLINT, DATAULTIMAMODIFICA DATE, STATUS SMALLINT, CONSTRAINT "
                       "KYVTAB_CHIAVEPRIMARIA PRIMARY KEY (PROGETTO,SCRIPTFORM,CONTESTO,UTENTE))"});
        altro.chiudiQuandoAttende("TABSCRIPT");
        TTabXForm s;
        EXPECT_TRUE(altro.attendi()) << "the session waited for the other host";
        EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
        EXPECT_TRUE(s.SetUserPerNum(2));
        EXPECT_EQ(s.Ditta, kDitta) << "the screen goes on opening";
    }
    EXPECT_EQ(cartella.conta(utenti(), esiste), 1);

    // the other host gave up its creation: this session makes the table itself
    prova::Cartella altra;
    const QString utentiAltra = altra.c().userDb();
    ASSERT_EQ(altra.conta(utentiAltra, esiste), 0);
    {
        prova::ScritturaTrattenuta rinuncia(
            utentiAltra, {"CREATE TABLE TABSCRIPT(PROGETTO VARCHAR(15) NOT NULL, SCRIPTFORM "
                          "VARCHAR(15) NOT NULL, CONTESTO SMALLINT NOT NULL, UTENTE VARCHAR(15) "
                          "NOT NULL, CONSTRAINT KYVTAB_CHIAVEPRIMARIA PRIMARY KEY "
                          "(PROGETTO,SCRIPTFORM,CONTESTO,UTENTE))"});
        rinuncia.chiudiQuandoAttende("TABSCRIPT", false);
        TTabXForm s;
        EXPECT_TRUE(rinuncia.attendi());
        EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
    }
    EXPECT_EQ(altra.conta(utentiAltra, esiste), 1);
    EXPECT_EQ(altra.conta(utentiAltra, "SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE "
                                       "RDB$RELATION_NAME='TABSCRIPT' AND "
                                       "RDB$FIELD_NAME='SCRIPT'"),
              1)
        << "the table as this session makes it";
}

TEST_F(Sessione, GeneratorValuesAreConsecutiveAndSurviveARollback) {
    auto s = apri(2);
    const qint64 primo = s->ValoreGeneratore("CODICETABXCOUNTER").toLongLong();
    const qint64 secondo = s->ValoreGeneratore("CODICETABXCOUNTER").toLongLong();
    EXPECT_EQ(secondo, primo + 1);
    s->IBTransaction1.rollback();
    EXPECT_EQ(s->ValoreGeneratore("CODICETABXCOUNTER").toLongLong(), secondo + 1);
    EXPECT_THROW(s->ValoreGeneratore("CODICETABXCOUNTER,1) FROM RDB$DATABASE; --"), DbError);
    EXPECT_THROW(s->ValoreGeneratore("NON_ESISTE"), DbError);
}

TEST_F(Sessione, TheWindowHandleGoesIntoTheHostLogRowOfThatWindow) {
    cartella.esegui(utenti(), {"INSERT INTO TOVARLOGFUNZ (IDFINESTRA,UTENTE) VALUES ('1234',2)",
                               "INSERT INTO TOVARLOGFUNZ (IDFINESTRA,UTENTE) VALUES ('99',2)"});
    TTabXForm s;
    s.SetUserPerNum(2);
    EXPECT_TRUE(s.ScritturaHandleDiApertura(1234, 987654321012));
    EXPECT_EQ(valoreUtenti("SELECT HANDLEFINESTRA FROM TOVARLOGFUNZ WHERE IDFINESTRA='1234'"),
              "987654321012");
    EXPECT_EQ(valoreUtenti("SELECT COALESCE(HANDLEFINESTRA,'<null>') FROM TOVARLOGFUNZ WHERE "
                           "IDFINESTRA='99'"),
              "<null>");
    // a row the host inserts after the session started is seen as well
    cartella.esegui(utenti(), {"INSERT INTO TOVARLOGFUNZ (IDFINESTRA,UTENTE) VALUES ('5678',2)"});
    EXPECT_TRUE(s.ScritturaHandleDiApertura(5678, 42));
    EXPECT_EQ(valoreUtenti("SELECT HANDLEFINESTRA FROM TOVARLOGFUNZ WHERE IDFINESTRA='5678'"),
              "42");
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Sessione, AnEmptyArchiveParameterOpensArchivioFdbInTheCurrentFolder) {
    QTemporaryDir corrente;
    const QString prima = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(corrente.path()));
    {
        TTabXForm s;
        s.SetUserPerNum(2);
        EXPECT_TRUE(s.ConnettiDatabase1("NonRegistrato"));
        EXPECT_TRUE(s.IBDatabase1.connected());
    }
    QDir::setCurrent(prima);
    EXPECT_TRUE(QFile::exists(corrente.path() + "/archivio.fdb"));
    EXPECT_EQ(msg->testi(), QStringList{"Effettuata creazione data base"});
}

TEST_F(Sessione, AnUnreachableUserDatabaseLeavesTheSessionEmpty) {
    QTemporaryDir tmp;
    {
        QFile f(tmp.path() + "/file");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // the host folder is a regular file: no user folder can exist below it
    qputenv(percorsi::kVariabileDirHost, (tmp.path() + "/file").toUtf8());
    {
        TTabXForm s;
        EXPECT_FALSE(s.IBDatabaseUser.connected());
        ASSERT_FALSE(msg->testi().isEmpty());
        EXPECT_EQ(msg->testi().last(), "Errore inizializzazione database utenti");
        EXPECT_EQ(msg->testi().count("Errore inizializzazione database utenti"), 1);
        s.SetUserPerNum(2);
        EXPECT_EQ(s.NomeUtente, "");
        EXPECT_EQ(s.Ditta, "");
        EXPECT_EQ(s.CaricaParametro("Directory bin"), "");
        EXPECT_FALSE(s.ScritturaHandleDiApertura(1, 2));
        s.Inserisci("KDQ", "BinDir", "", "/x/", "", "", "", "", "2");
        EXPECT_EQ(s.GetV("BinDir"), "/x/") << "the store works without a user database";
    }
    qputenv(percorsi::kVariabileDirHost, cartella.radice().toUtf8());
}
