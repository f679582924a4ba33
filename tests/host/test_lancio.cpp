// The launch of a screen: formats, session, parameters, connections, window
// log, icon, and the screen owning its session.
#include "exchange/impovarie.h"
#include "host/lancio.h"
#include "report/stampanti.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/finestra.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <gtest/gtest.h>
#include <stdexcept>

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace quintar;

namespace {

const QString kDitta = QStringLiteral("Chimica Demo S.r.l.");

// A screen that only remembers what its session held when it was created.
class ProvaFinestra : public FinestraSessione {
public:
    explicit ProvaFinestra(TTabXForm* s) : FinestraSessione(s) {
        archivioAperto = s->IBDatabase1.connected();
        utente = s->NumUtente;
    }
    bool archivioAperto = false;
    int utente = 0;
};

struct Lancio : ::testing::Test {
    prova::Cartella cartella;
    RegistraMessaggi msg;
    Formati::Impostazioni formati = Formati::correnti();

    void SetUp() override {
        installaSorgenteStampanti([] { return std::vector<Stampante>{}; });
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        installaSorgenteStampanti({});
        Formati::imposta(formati);
    }

    static DescrizioneSchermata prova(QStringList parametri) {
        DescrizioneSchermata d;
        d.nome = "Prova";
        d.parametri = std::move(parametri);
        d.crea = [](TTabXForm* s) -> FinestraSessione* { return new ProvaFinestra(s); };
        return d;
    }
    QString utenti() const { return cartella.c().userDb(); }
    QString handle(const QString& id) {
        return cartella.valore(utenti(),
                               "SELECT COALESCE(HANDLEFINESTRA,'<null>') FROM TOVARLOGFUNZ "
                               "WHERE IDFINESTRA='" +
                                   id + "'");
    }
    void rigaLog(const QString& id) {
        cartella.esegui(utenti(),
                        {"INSERT INTO TOVARLOGFUNZ (IDFINESTRA,UTENTE) VALUES ('" + id + "',2)"});
    }
    void parametroUtente(int utente, const QString& nome, const QString& valore) {
        cartella.esegui(utenti(),
                        {QStringLiteral("UPDATE TABARBELON SET VALORE='%1' WHERE UTENTE=%2 "
                                        "AND PARAMETRO='%3'")
                             .arg(valore)
                             .arg(utente)
                             .arg(nome)});
    }
    static int finestreAperte() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            n += qobject_cast<FinestraSessione*>(w) && w->isVisible() ? 1 : 0;
        }
        return n;
    }
};

} // namespace

TEST_F(Lancio, AnXLaunchWritesTheHandleIntoItsLogRowAndADLaunchWritesNothing) {
    rigaLog("1234");
    rigaLog("555");
    const auto d = prova({"BinDir", "Archivio"});
    FinestraSessione* x = LanciaSchermata(d, 2, 1234);
    ASSERT_NE(x, nullptr);
    EXPECT_TRUE(x->isVisible());
    EXPECT_TRUE(x->PossiedeSessione);
    EXPECT_EQ(handle("1234"), QString::number(qint64(x->winId())));
    EXPECT_EQ(handle("555"), "<null>");
    auto* p = dynamic_cast<ProvaFinestra*>(x);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->archivioAperto) << "the archive is connected before the screen is built";
    EXPECT_EQ(p->utente, 2);
    EXPECT_FALSE(x->windowIcon().isNull());

    const QString primo = handle("1234");
    FinestraSessione* dd = LanciaSchermata(d, 2, std::nullopt);
    ASSERT_NE(dd, nullptr);
    EXPECT_TRUE(dd->isVisible());
    EXPECT_EQ(handle("1234"), primo);
    EXPECT_EQ(handle("555"), "<null>");
    EXPECT_EQ(cartella.conta(utenti(),
                             "SELECT COUNT(*) FROM TOVARLOGFUNZ WHERE HANDLEFINESTRA IS NOT NULL"),
              1);
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Lancio, TheSettingsScreenIsLaunchedFromItsTableRow) {
    const DescrizioneSchermata* d = trovaSchermata("ShowImpoVarieForm");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->entrataD);
    EXPECT_TRUE(d->entrataX);
    rigaLog("77");
    FinestraSessione* f = LanciaSchermata(*d, 2, 77);
    auto* impo = dynamic_cast<TImpoVarieForm*>(f);
    ASSERT_NE(impo, nullptr);
    EXPECT_EQ(impo->windowTitle(), "Impostazioni varie - Ditta: " + kDitta);
    EXPECT_EQ(handle("77"), QString::number(qint64(f->winId())));
    TTabXForm* s = f->Sessione();
    ASSERT_EQ(s->MemTabX.size(), 1u);
    EXPECT_EQ(s->MemTabX[0].Tipo, "KDQ");
    EXPECT_EQ(s->MemTabX[0].Nome, "Archivio");
    EXPECT_EQ(s->MemTabX[0].Utente, 2);
    EXPECT_EQ(s->GetV("Archivio"), cartella.c().azienda());
    EXPECT_TRUE(s->IBDatabase1.connected());
    EXPECT_EQ(impo->EditArchivioTovaris->text(), cartella.c().erp()) << "read from the archive";

    rigaLog("78");
    const int prima = finestreAperte();
    EXPECT_EQ(lanciaDaEntrata("ShowImpoVarieForm", 2, 78), 0);
    EXPECT_EQ(finestreAperte(), prima + 1);
    EXPECT_NE(handle("78"), "<null>");
    EXPECT_EQ(lanciaDaEntrata("NessunaSchermata", 2, std::nullopt), 0);
    EXPECT_EQ(finestreAperte(), prima + 1);
    EXPECT_TRUE(msg->mostrati.empty());
}

TEST_F(Lancio, ParametersAreCopiedFromTheUserInTheirOrder) {
    const QStringList tutti = {
        "BinDir",     "Archivio",        "TempDir",   "DirectoryImmagini", "NomePathProgrammaWord",
        "LavoroDir",  "ArchivioTovaris", "StSpecLST", "StProdLST",         "StFormLST",
        "StFabbrLST", "StFabbrPreLST"};
    FinestraSessione* f = LanciaSchermata(prova(tutti), 2, std::nullopt);
    TTabXForm* s = f->Sessione();
    const QString bin = cartella.radice();
    EXPECT_EQ(s->GetV("BinDir"), bin);
    EXPECT_EQ(s->GetV("Archivio"), cartella.c().azienda());
    EXPECT_EQ(s->GetV("TempDir"), bin + "Temp/");
    EXPECT_EQ(s->GetV("DirectoryImmagini"), bin + "Immagini/");
    EXPECT_EQ(s->GetV("NomePathProgrammaWord"), "xdg-open");
    EXPECT_EQ(s->GetV("LavoroDir"), bin + "Lavoro/");
    EXPECT_EQ(s->GetV("ArchivioTovaris"), cartella.c().erp());
    EXPECT_EQ(s->GetV("StSpecLST"), bin + "Report\\STSPEC.LST");
    EXPECT_EQ(s->GetV("StProdLST"), bin + "Report\\STPROD.LST");
    EXPECT_EQ(s->GetV("StFormLST"), bin + "Report\\STFORM.LST");
    EXPECT_EQ(s->GetV("StFabbrLST"), bin + "Report\\STFABBR.LST");
    EXPECT_EQ(s->GetV("StFabbrPreLST"), bin + "Report\\STFABBRPRE.LST");
    ASSERT_EQ(s->MemTabX.size(), size_t(tutti.size()));
    for (int i = 0; i < tutti.size(); ++i) {
        const RigaTabX& r = s->MemTabX[size_t(i)];
        EXPECT_EQ(r.Nome, tutti[i]);
        EXPECT_EQ(r.Tipo, tutti[i].endsWith("LST") ? "LST" : "KDQ") << r.Nome.toStdString();
        EXPECT_EQ(r.Utente, 2);
        EXPECT_FALSE(r.Numero.has_value());
    }
}

TEST_F(Lancio, AUserWithoutBinaryFolderGetsBareReportPaths) {
    cartella.esegui(utenti(),
                    {"DELETE FROM TABARBELON WHERE UTENTE=3 AND PARAMETRO='Directory bin'"});
    FinestraSessione* f =
        LanciaSchermata(prova({"BinDir", "Archivio", "StSpecLST"}), 3, std::nullopt);
    EXPECT_EQ(f->Sessione()->GetV("BinDir"), "");
    EXPECT_EQ(f->Sessione()->GetV("StSpecLST"), "Report\\STSPEC.LST");
    EXPECT_TRUE(f->Sessione()->IBDatabase1.connected());
}

TEST_F(Lancio, TheHostArchiveCanComeFromTheCompanyArchiveOnTheSecondConnection) {
    // the company value differs from the user's own "Archivio"
    cartella.esegui(cartella.c().azienda(), {"UPDATE TABX SET TESTO='" + cartella.c().pesate() +
                                             "' WHERE NOME='ArchivioTovaris'"});
    auto d = prova({"BinDir", "Archivio", "ArchivioTovaris"});
    d.archivioTovarisDaTabX = true;
    d.db2 = "ArchivioTovaris";
    FinestraSessione* f = LanciaSchermata(d, 2, std::nullopt);
    TTabXForm* s = f->Sessione();
    EXPECT_EQ(s->GetV("ArchivioTovaris"), cartella.c().pesate());
    EXPECT_EQ(s->MemTabX.size(), 3u) << "the row is overwritten, not doubled";
    ASSERT_TRUE(s->IBDatabase2.connected());
    Query q(&s->IBDatabase2, &s->IBTransaction2);
    q.SQL = {"SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME='PESATE'"};
    EXPECT_EQ(q.scalar().toInt(), 1);
}

TEST_F(Lancio, TheLaunchCaptionIsFollowedByTheCompany) {
    auto d = prova({"BinDir", "Archivio"});
    d.didascaliaLancio = "Impostazione Specifiche - Ditta: ";
    FinestraSessione* f = LanciaSchermata(d, 2, std::nullopt);
    EXPECT_EQ(f->windowTitle(), "Impostazione Specifiche - Ditta: " + kDitta);
}

TEST_F(Lancio, TwoLaunchesGiveTwoScreensWithTheirOwnSessions) {
    const auto d = prova({"BinDir", "Archivio"});
    QPointer<FinestraSessione> a = LanciaSchermata(d, 2, std::nullopt);
    QPointer<FinestraSessione> b = LanciaSchermata(d, 2, std::nullopt);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.data(), b.data());
    TTabXForm* sa = a->Sessione();
    TTabXForm* sb = b->Sessione();
    EXPECT_NE(sa, sb);
    EXPECT_NE(&sa->IBDatabase1, &sb->IBDatabase1);
    EXPECT_TRUE(sa->IBDatabase1.connected());
    EXPECT_TRUE(sb->IBDatabase1.connected());

    bool liberataA = false, liberataB = false;
    QObject guardia; // drops the connections when the test ends
    QObject::connect(sa, &QObject::destroyed, &guardia, [&] { liberataA = true; });
    QObject::connect(sb, &QObject::destroyed, &guardia, [&] { liberataB = true; });
    a->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(liberataA) << "the screen frees the session it owns";
    EXPECT_FALSE(liberataB);
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(sb->ValoreTabX("ArchivioTovaris", false), cartella.c().erp())
        << "the other screen keeps working";
}

TEST_F(Lancio, AScreenThatDoesNotOwnItsSessionLeavesItAlone) {
    FinestraSessione* f = LanciaSchermata(prova({"Archivio"}), 2, std::nullopt);
    TTabXForm* s = f->Sessione();
    bool liberata = false;
    QObject guardia;
    QObject::connect(s, &QObject::destroyed, &guardia, [&] { liberata = true; });
    auto* sotto = new ProvaFinestra(s);
    sotto->show();
    sotto->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(liberata);
    EXPECT_EQ(s->ValoreTabX("ArchivioTovaris", false), cartella.c().erp());
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(liberata);
}

TEST_F(Lancio, FormatsAreSetUnlessTheScreenAsksNotTo) {
    const Formati::Impostazioni altre{QChar('.'), QChar(','), QStringLiteral("MM/dd/yyyy")};
    Formati::imposta(altre);
    auto d = prova({"Archivio"});
    d.impostaFormati = false;
    LanciaSchermata(d, 2, std::nullopt);
    EXPECT_EQ(Formati::correnti(), altre);
    d.impostaFormati = true;
    LanciaSchermata(d, 2, std::nullopt);
    const Formati::Impostazioni italiani{QChar(','), QChar('.'), QStringLiteral("dd/MM/yyyy")};
    EXPECT_EQ(Formati::correnti(), italiani);
}

TEST_F(Lancio, AnUnreachableArchiveIsReportedOnceAndTheScreenStillOpens) {
    const QString manca = cartella.radice() + "manca/QUINTAR.FDB";
    parametroUtente(2, "ArchivioQuintar", manca);
    rigaLog("321");
    FinestraSessione* f = LanciaSchermata(prova({"BinDir", "Archivio"}), 2, 321);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->Sessione()->GetV("Archivio"), manca);
    EXPECT_FALSE(f->Sessione()->IBDatabase1.connected());
    EXPECT_EQ(msg->testi().count("Errore apertura archivio"), 1)
        << msg->testi().join(" | ").toStdString();
    EXPECT_EQ(msg->testi().last(), "Errore apertura archivio");
    EXPECT_NE(handle("321"), "<null>");
    EXPECT_FALSE(QDir(cartella.radice() + "manca").exists()) << "nothing is created elsewhere";

    // the real settings screen too: it opens, showing nothing
    msg->pulisci();
    FinestraSessione* impo = LanciaSchermata(*trovaSchermata("ShowImpoVarieForm"), 2, std::nullopt);
    ASSERT_NE(impo, nullptr);
    EXPECT_TRUE(impo->isVisible());
    EXPECT_EQ(msg->testi().count("Errore apertura archivio"), 1);
    EXPECT_EQ(static_cast<TImpoVarieForm*>(impo)->EditArchivioTovaris->text(), "");
}

TEST_F(Lancio, AMissingIconLeavesTheScreenWithoutOne) {
    ASSERT_TRUE(QFile::remove(cartella.radice() + "Grafica/QUINTAR.ICO"));
    FinestraSessione* f = LanciaSchermata(prova({"Archivio"}), 2, std::nullopt);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isVisible());
}

TEST_F(Lancio, AScreenThatCannotBeBuiltFreesTheSession) {
    auto d = prova({"Archivio"});
    bool liberata = false;
    d.crea = [&](TTabXForm* s) -> FinestraSessione* {
        QObject::connect(s, &QObject::destroyed, [&] { liberata = true; });
        throw std::runtime_error("costruzione non riuscita");
    };
    EXPECT_THROW(LanciaSchermata(d, 2, std::nullopt), std::runtime_error);
    EXPECT_TRUE(liberata);
}
