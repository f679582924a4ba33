// The small code tables, product categories, filling machines and ADR codes:
// computed and typed keys, stored texts and numbers, what "Nuovo" keeps.
#include "comune.h"

#include "config/categpr.h"
#include "config/codadr.h"
#include "config/inibase.h"
#include "config/riempit.h"
#include "host/lancio.h"
#include "session/formati.h"

#include <QPushButton>

using namespace quintar;
using namespace prova;

namespace {

struct TabelleCodici : Configurazione {};

TIniBaseForm* codici(TabelleCodici& t, const QString& tabella, int utente = 1) {
    return t.apri<TIniBaseForm>(utente, 15, 18, tabella);
}

} // namespace

TEST_F(TabelleCodici, NewCodesFollowTheHighestNumberAndStartAtOne) {
    esegui({"DELETE FROM TPIMBA"});
    auto* f = codici(*this, "TPIMBA");
    f->ButtonNuovo->click();
    EXPECT_EQ(f->StatoScheda, 1);
    EXPECT_EQ(testo(f, "EditCodice"), "1");
    scrivi(f, "EditDescrizione", "Flacone");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM TPIMBA WHERE CODICE=1"), "Flacone");

    // gaps are not reused
    esegui({"INSERT INTO TPIMBA (CODICE) VALUES (2)", "INSERT INTO TPIMBA (CODICE) VALUES (7)"});
    f->ButtonNuovo->click();
    EXPECT_EQ(testo(f, "EditCodice"), "8");
    f->ButtonAnnulla->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM TPIMBA"), 3) << "Annulla removes the new row";
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
}

TEST_F(TabelleCodici, TheNextCodeAfterTenIsElevenNotTenAgain) {
    // categories 1..12 in the demo company: the maximum is numeric, not textual
    auto* f = codici(*this, "CATEGMP");
    for (const char* atteso : {"13", "14"}) {
        f->ButtonNuovo->click();
        ASSERT_EQ(f->StatoScheda, 1) << msg->testi().join('|').toStdString();
        EXPECT_EQ(testo(f, "EditCodice"), atteso);
        scrivi(f, "EditDescrizione", "Nuova");
        f->ButtonMemorizza->click();
        EXPECT_EQ(f->StatoScheda, 0);
    }
    EXPECT_EQ(conta("SELECT COUNT(*) FROM CATEGMP"), 14);
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
}

TEST_F(TabelleCodici, DescriptionsAreStoredWithTheAccentForQuotesAndNullWhenEmpty) {
    auto* f = codici(*this, "VALUTAZ");
    f->riapriSuCodice("2");
    f->ButtonEdit->click();
    EXPECT_EQ(testo(f, "EditDescrizione"), "Accettabile con prova di laboratorio");
    scrivi(f, "EditDescrizione", "Dell'anno");
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM VALUTAZ WHERE CODICE=2"), "Dell" + kAcuto + "anno");
    EXPECT_EQ(testo(f, "EditDescrizione2"), "Dell" + kAcuto + "anno");

    f->ButtonEdit->click();
    scrivi(f, "EditDescrizione", "");
    f->ButtonMemorizza->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM VALUTAZ WHERE CODICE=2 AND DESCRIZIONE IS NULL"), 1);
}

TEST_F(TabelleCodici, AReadOnlyUserCannotAddChangeOrDelete) {
    auto* f = codici(*this, "SRISCHI", 3);
    EXPECT_TRUE(f->SolaLettura);
    EXPECT_FALSE(f->ButtonNuovo->isEnabled());
    EXPECT_FALSE(f->ButtonEdit->isEnabled());
    EXPECT_FALSE(f->ButtonElimina->isEnabled());
    EXPECT_TRUE(f->ButtonChiudi->isEnabled());
}

TEST_F(TabelleCodici, EachEntryPointOpensItsTableWithItsOwnNumbersAndCaption) {
    struct Attesa {
        const char* nome;
        const char* tabella;
        int finestra, griglia;
        const char* didascalia;
        bool formati;
    };
    const Attesa attese[] = {
        {"ShowCategMPForm", "CATEGMP", 15, 18,
         "Impostazione Categorie Materie prime - Ditta: ", true},
        {"ShowSRischiForm", "SRISCHI", 16, 19, "Impostazione Simbologia rischi - Ditta: ", true},
        {"ShowSpecForm", "TABSPEC", 17, 20, "Impostazione Specifiche - Ditta: ", false},
        {"ShowValutazForm", "VALUTAZ", 18, 21, "Impostazione Valutazioni - Ditta: ", false},
        {"ShowTipiImballiForm", "TPIMBA", 19, 22, "Impostazione Tipi Imballi - Ditta: ", true},
    };
    const Formati::Impostazioni proprie{'.', ',', "yyyy-MM-dd"};
    for (const Attesa& a : attese) {
        Formati::imposta(proprie);
        const DescrizioneSchermata* d = trovaSchermata(a.nome);
        ASSERT_NE(d, nullptr) << a.nome;
        EXPECT_TRUE(d->entrataD && d->entrataX);
        auto* f = dynamic_cast<TIniBaseForm*>(LanciaSchermata(*d, 1, std::nullopt));
        ASSERT_NE(f, nullptr) << a.nome;
        EXPECT_EQ(f->windowTitle(), a.didascalia + kDitta);
        EXPECT_EQ(f->NomeTabella(), a.tabella);
        EXPECT_EQ(f->descrizione().situazioneFinestra, a.finestra);
        EXPECT_EQ(f->Griglia->Situazione, a.griglia);
        EXPECT_GT(f->Griglia->modello()->rowCount(), 0) << a.nome;
        const Formati::Impostazioni italiani{',', '.', "dd/MM/yyyy"};
        EXPECT_EQ(Formati::correnti() == proprie, !a.formati) << a.nome;
        EXPECT_EQ(Formati::correnti() == italiani, a.formati) << a.nome;
        f->close();
    }
    Formati::imposta(Formati::predefinite());
}

TEST_F(TabelleCodici, WindowPositionsAreKeptPerTable) {
    auto* a = codici(*this, "CATEGMP");
    a->setGeometry(40, 50, 700, 500);
    a->close();
    auto* b = apri<TIniBaseForm>(1, 16, 19, QString("SRISCHI"));
    b->setGeometry(200, 210, 640, 480);
    b->close();
    EXPECT_EQ(
        conta("SELECT COUNT(*) FROM STOPOS1 WHERE CODICEUTENTE=1 AND CODICESITUAZIONE IN (15,16)"),
        2);
    auto* c = codici(*this, "CATEGMP");
    EXPECT_EQ(c->width(), 700);
}

TEST_F(TabelleCodici, ProductCategoriesStartAtOneAndKeepQuotesAsAccents) {
    esegui({"DELETE FROM CATEGPR"});
    auto* f = apri<TIniCatPrForm>(1);
    f->ButtonNuovo->click();
    EXPECT_EQ(testo(f, "EditCodice"), "1");
    EXPECT_EQ(f->focusWidget(), campo(f, "EditDescrizione"));
    scrivi(f, "EditCategoria", "Bucato d'oro");
    scrivi(f, "EditDescrizione", "Detersivi");
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT CATEGORIA FROM CATEGPR WHERE CODICE=1"), "Bucato d" + kAcuto + "oro");
    EXPECT_EQ(valore("SELECT DESCRIZIONE FROM CATEGPR WHERE CODICE=1"), "Detersivi");
    f->ButtonEdit->click();
    EXPECT_EQ(f->focusWidget(), campo(f, "EditCategoria"));
    f->ButtonAnnulla->click();
}

TEST_F(TabelleCodici, FillingTimesAreNumbersAndANewMachineKeepsTheLastValues) {
    Formati::impostaItaliani();
    auto* f = apri<TIniRiempForm>(1);
    f->riapriSuCodice("3");
    f->ButtonEdit->click();
    EXPECT_EQ(testo(f, "EditNome"), "RC-03");
    EXPECT_EQ(testo(f, "EditTempoLitro"), "0,15");
    scrivi(f, "EditTempoLitro", "abc");
    f->ButtonMemorizza->click();
    EXPECT_EQ(msg->testi(),
              QStringList{"Specificare un valore numerico valido per \"Temp. Litro\""});
    EXPECT_EQ(f->StatoScheda, 2) << "nothing saved, still editing";
    EXPECT_EQ(valore("SELECT TEMPOLITRO FROM RIEMPIT WHERE CODICE=3"), "0.15");

    scrivi(f, "EditTempoLitro", "1,5");
    f->ButtonMemorizza->click();
    EXPECT_EQ(conta("SELECT COUNT(*) FROM RIEMPIT WHERE CODICE=3 AND TEMPOLITRO=1.5"), 1);

    f->ButtonNuovo->click();
    EXPECT_EQ(testo(f, "EditCodice"), "4");
    EXPECT_EQ(testo(f, "EditNome"), "RC-03");
    EXPECT_EQ(testo(f, "EditSpecifiche"), "Riempitrice a pistone per cisternette");
    EXPECT_EQ(testo(f, "EditTempoLitro"), "1,5");
    EXPECT_EQ(f->focusWidget(), campo(f, "EditTempoLitro"));
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT NOME FROM RIEMPIT WHERE CODICE=4"), "RC-03");
    Formati::imposta(Formati::predefinite());
}

TEST_F(TabelleCodici, AdrCodesAreCheckedForLengthAndDuplicates) {
    auto* f = apri<TCodADR2017Form>(1);
    const int prima = conta("SELECT COUNT(*) FROM ADR2017");

    rispondiCodice("1219");
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Il codice inserito è già utilizzato"});
    EXPECT_EQ(f->StatoScheda, 0);

    msg->pulisci();
    rispondiCodice("12345");
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Inserire un codice valido (max 4 caratteri)"});
    rispondiCodice("");
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi().size(), 2);
    EXPECT_EQ(msg->testi().last(), "Inserire un codice valido (max 4 caratteri)");

    msg->pulisci();
    msg->dialogo = nullptr; // Cancel
    f->ButtonNuovo->click();
    EXPECT_TRUE(msg->mostrati.empty());
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(conta("SELECT COUNT(*) FROM ADR2017"), prima);
    EXPECT_EQ(msg->dialoghiAperti.back(), "KyvIn1Form");
}

TEST_F(TabelleCodici, AdrClassAndGroupAreCutAndSurviveANewCode) {
    auto* f = apri<TCodADR2017Form>(1);
    f->riapriSuCodice("1791");
    f->ButtonEdit->click();
    EXPECT_EQ(testo(f, "EditClasse"), "8");
    scrivi(f, "EditClasse", "123456789012");
    scrivi(f, "EditGruppoImb", "IIIIIII");
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT CLASSE FROM ADR2017 WHERE CODICE='1791'"), "1234567890");
    EXPECT_EQ(valore("SELECT GRUPPOIMB FROM ADR2017 WHERE CODICE='1791'"), "III");

    rispondiCodice("30'8");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1) << msg->testi().join('|').toStdString();
    EXPECT_EQ(testo(f, "EditCodice"), "30" + kAcuto + "8");
    EXPECT_EQ(testo(f, "MemoDescrizione"), "") << "the description is cleared";
    EXPECT_EQ(testo(f, "EditClasse"), "1234567890") << "class and group are kept";
    scrivi(f, "MemoDescrizione", "Prova");
    f->ButtonMemorizza->click();
    EXPECT_EQ(f->StatoScheda, 0);
    EXPECT_EQ(
        valore("SELECT CLASSE || '/' || GRUPPOIMB FROM ADR2017 WHERE CODICE='30" + kAcuto + "8'"),
        "1234567890/III");
    EXPECT_EQ(testo(f, "EditCodice2"), "30" + kAcuto + "8") << "the new row is shown";
    EXPECT_TRUE(msg->mostrati.empty()) << msg->testi().join('|').toStdString();
}

TEST_F(TabelleCodici, TheOlderAdrTableTakesLongerCodesButNotAnEmptyOne) {
    auto* f = apri<TCodADRForm>(1);
    rispondiCodice("");
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Specificare un codice"});
    msg->pulisci();
    rispondiCodice("5.1");
    f->ButtonNuovo->click();
    ASSERT_EQ(f->StatoScheda, 1);
    scrivi(f, "MemoSpecifica", "Classe 5.1 - Comburenti");
    f->ButtonMemorizza->click();
    EXPECT_EQ(valore("SELECT SPECIFICA FROM ADR WHERE CODICE='5.1'"), "Classe 5.1 - Comburenti");
    rispondiCodice("8");
    f->ButtonNuovo->click();
    EXPECT_EQ(msg->testi(), QStringList{"Il codice inserito è già utilizzato"});
}

TEST_F(TabelleCodici, TheTwoAdrScreensShareOneWindowPosition) {
    auto* a = apri<TCodADR2017Form>(1);
    a->setGeometry(30, 40, 610, 450);
    a->close();
    auto* b = apri<TCodADRForm>(1);
    EXPECT_EQ(b->width(), 610);
    EXPECT_EQ(b->height(), 450);
}
