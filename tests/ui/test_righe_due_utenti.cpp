// Two users on the same record's lines, on every lines page: both add,
// change and delete lines in every order their clicks can take. Every line
// either saves or is reported and saves when tried again; what one user
// saved is never overwritten by the other without being told; the history
// numbers stay unique and consecutive.
#include "formulation/formul.h"
#include "host/lancio.h"
#include "master/mater.h"
#include "production/liqpolv.h"
#include "support/schede.h"
#include "ui/grigliamodello.h"
#include "ui/righe.h"
#include "ui/tcsdgrid.h"

#include <QTabBar>
#include <functional>
#include <gtest/gtest.h>

using namespace quintar;

namespace {

// A history table whose versions count from 1 within each group of columns.
struct Numerazione {
    QString tabella;
    QString gruppo;   // the columns that make one count
    QString versione; // the column that counts
    QString dove;
};

struct PaginaInProva {
    const char* nome;
    const char* entrata;
    std::function<void(SchedaBase*)> posiziona; // the record and the page shown
    std::function<PaginaRighe*(SchedaBase*)> pagina;
    QString campo; // the text typed into each saved line
    std::function<void(PaginaRighe*)> completa = {};
    QString righe; // the record's lines: number N and text T
    // the line both users change and delete, and how it comes back
    QString condivisa;
    QString ripristino;
    std::vector<Numerazione> numerazioni;
    QStringList prima = {}; // the archive made ready for the page
    // counts the rows that disagree with the lines (a total kept on the record)
    QString incoerenti = {};
};

void posizionaMateria(SchedaBase* s, const char* codice, int pagina) {
    auto* f = static_cast<TMaterForm*>(s);
    f->riapriSuCodice(QString::fromLatin1(codice));
    ASSERT_EQ(f->codiceCorrenteGriglia(), QString::fromLatin1(codice));
    f->mostraPagina(pagina);
}

void posizionaFormulazione(SchedaBase* s, int pagina) {
    auto* f = static_cast<TFormulForm*>(s);
    f->riapriSuCodice(QStringLiteral("1"));
    ASSERT_EQ(f->codiceCorrenteGriglia(), QStringLiteral("1"));
    f->mostraPagina(pagina);
}

void posizionaLotto(SchedaBase* s, TLiqPolvForm::Pagina pagina) {
    auto* f = static_cast<TLiqPolvForm*>(s);
    f->AltreChiaviCorrenti = {QStringLiteral("15/01/2025"), QStringLiteral("L25015")};
    f->riapriSuCodice(QStringLiteral("FM001"));
    ASSERT_EQ(f->lottoCorrente().lotto, QStringLiteral("L25015"));
    f->TabSet->setCurrentIndex(pagina);
}

const Numerazione kTestataMateria{"STOMATER", "CODICE", "VERS", "1=1"};
const Numerazione kTestataFormulazione{"STOFORMUL", "CODICE", "VERS", "1=1"};

const std::vector<PaginaInProva>& pagine() {
    static const std::vector<PaginaInProva> p = {
        {"Specifiche",
         "ShowMaterForm",
         [](SchedaBase* s) { posizionaMateria(s, "MP004", 1); },
         [](SchedaBase* s) { return static_cast<TMaterForm*>(s)->PaginaSpecifiche; },
         "SPECIFICA",
         {},
         "SELECT NRIGA AS N, SPECIFICA AS T FROM SPECIF WHERE CODICEMP='MP004'",
         "1",
         "UPDATE OR INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP004',1,'Uno') "
         "MATCHING (CODICEMP,NRIGA)",
         {kTestataMateria,
          {"STOSPECIF", "CODICEMP,NRIGA,VERSIONET", "VERSIONED", "1=1"},
          {"STOMATERRIEP", "CODICE,TABELLA,NRIGA,VERSIONET", "VERSIONED", "TABELLA<>'STOMATER'"}},
         {"INSERT INTO SPECIF (CODICEMP,NRIGA,SPECIFICA) VALUES ('MP004',1,'Uno')"}},
        {"Analoghi",
         "ShowMaterForm",
         [](SchedaBase* s) { posizionaMateria(s, "MP002", 2); },
         [](SchedaBase* s) { return static_cast<TMaterForm*>(s)->PaginaAnaloghi; },
         "DESCRIZIONE",
         {},
         "SELECT NRIGA AS N, DESCRIZIONE AS T FROM ANANC WHERE CODICEANALOGO='GRP'",
         "1",
         "UPDATE OR INSERT INTO ANANC (CODICEANALOGO,NRIGA,DESCRIZIONE) VALUES ('GRP',1,'Uno') "
         "MATCHING (CODICEANALOGO,NRIGA)",
         {kTestataMateria,
          {"STOMATERRIEP", "CODICE,TABELLA,NRIGA,VERSIONET", "VERSIONED", "TABELLA<>'STOMATER'"}},
         {"UPDATE MATER SET CODICEANALOGO='GRP' WHERE CODICE IN ('MP002','MP003')",
          "INSERT INTO ANANC (CODICEANALOGO,NRIGA,DESCRIZIONE) VALUES ('GRP',1,'Uno')"}},
        {"Componenti",
         "ShowFormulForm",
         [](SchedaBase* s) { posizionaFormulazione(s, 1); },
         [](SchedaBase* s) { return static_cast<TFormulForm*>(s)->PaginaComponenti; },
         "RANGE",
         [](PaginaRighe* p) {
             SchedaBase::impostaTesto(p->editazione("CODICEMATERIAPRIMA"), "MP001");
             SchedaBase::impostaTesto(p->editazione("PERCENTUALE"), "1");
         },
         "SELECT NRIGA AS N, RANGE AS T FROM COMPON WHERE CODICEFORMULAZIONE=1",
         "1",
         "UPDATE OR INSERT INTO COMPON (CODICEFORMULAZIONE,NRIGA,CODICEMATERIAPRIMA,PERCENTUALE) "
         "VALUES (1,1,'MP001',10) MATCHING (CODICEFORMULAZIONE,NRIGA)",
         {kTestataFormulazione,
          {"STOCOMPON", "CODICEFORMULAZIONE,NRIGA,VERSIONET", "VERSIONED", "1=1"},
          {"STOFORMULRIEP", "CODICE,TABELLA,NRIGA,VERSIONET", "VERSIONED",
           "TABELLA<>'STOFORMUL'"}},
         {},
         // the unit cost follows every line, the other user's included
         "SELECT COUNT(*) FROM FORMUL F WHERE F.CODICE=1 AND ABS(F.COSTOUNITARIO-(SELECT "
         "SUM(C.PERCENTUALE*M.PREZZO/100) FROM COMPON C JOIN MATER M ON "
         "M.CODICE=C.CODICEMATERIAPRIMA WHERE C.CODICEFORMULAZIONE=1))>0.00001"},
        {"Procedure",
         "ShowFormulForm",
         [](SchedaBase* s) { posizionaFormulazione(s, 2); },
         [](SchedaBase* s) { return static_cast<TFormulForm*>(s)->PaginaProcedure; },
         "TESTO",
         {},
         "SELECT NRIGA AS N, TESTO AS T FROM PROCED WHERE CODICEFORMULAZIONE=1",
         "1",
         "UPDATE OR INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (1,1,'Uno') "
         "MATCHING (CODICEFORMULAZIONE,NRIGA)",
         {kTestataFormulazione,
          {"STOPROCED", "CODICEFORMULAZIONE,NRIGA,VERSIONET", "VERSIONED", "1=1"}}},
        {"Confezionamento",
         "ShowLiqPolvForm",
         [](SchedaBase* s) { posizionaLotto(s, TLiqPolvForm::Confezionamento); },
         [](SchedaBase* s) { return static_cast<TLiqPolvForm*>(s)->PaginaConfez; },
         "TESTO",
         {},
         "SELECT NUMPROGRESSIVO AS N, TESTO AS T FROM CONFEZ WHERE CODICERIEMPITRICE=1",
         "1",
         "UPDATE OR INSERT INTO CONFEZ (CODICERIEMPITRICE,NUMPROGRESSIVO,TESTO) VALUES (1,1,'Uno') "
         "MATCHING (CODICERIEMPITRICE,NUMPROGRESSIVO)",
         {{"STOCONFEZ", "CODICERIEMPITRICE,NUMPROGRESSIVO", "VERS", "1=1"}}},
        {"ProcedureLotto",
         "ShowLiqPolvForm",
         [](SchedaBase* s) { posizionaLotto(s, TLiqPolvForm::Procedura); },
         [](SchedaBase* s) { return static_cast<TLiqPolvForm*>(s)->PaginaProced; },
         "TESTO",
         {},
         "SELECT NRIGA AS N, TESTO AS T FROM PROCED WHERE CODICEFORMULAZIONE=1",
         "1",
         "UPDATE OR INSERT INTO PROCED (CODICEFORMULAZIONE,NRIGA,TESTO) VALUES (1,1,'Uno') "
         "MATCHING (CODICEFORMULAZIONE,NRIGA)",
         {kTestataFormulazione,
          {"STOPROCED", "CODICEFORMULAZIONE,NRIGA,VERSIONET", "VERSIONED", "1=1"}}},
    };
    return p;
}

// One user's click: N new line, E edit the shared line, S save, D delete the
// shared line.
struct Passo {
    char utente; // 'A' or 'B'
    char azione;
};

// Every order of two users' clicks that keeps each user's own order.
std::vector<std::vector<Passo>> intrecci(const std::string& a, const std::string& b) {
    std::vector<std::vector<Passo>> r;
    std::function<void(size_t, size_t, std::vector<Passo>&)> passo = [&](size_t i, size_t j,
                                                                         std::vector<Passo>& p) {
        if (i == a.size() && j == b.size()) {
            r.push_back(p);
            return;
        }
        if (i < a.size()) {
            p.push_back({'A', a[i]});
            passo(i + 1, j, p);
            p.pop_back();
        }
        if (j < b.size()) {
            p.push_back({'B', b[j]});
            passo(i, j + 1, p);
            p.pop_back();
        }
    };
    std::vector<Passo> p;
    passo(0, 0, p);
    return r;
}

struct DueUtenti : prova::ConScheda, ::testing::WithParamInterface<PaginaInProva> {
    SchedaBase* apriPer(int utente) {
        auto* f = dynamic_cast<SchedaBase*>(
            LanciaSchermata(*trovaSchermata(GetParam().entrata), utente, std::nullopt));
        EXPECT_NE(f, nullptr);
        return f;
    }
    // The record's lines, number (as the page shows it) to text.
    std::map<QString, QString> righe() {
        std::map<QString, QString> r;
        Transaction t(&archivio_);
        Query q(&archivio_, &t);
        q.SQL = {GetParam().righe};
        for (q.open(); !q.eof(); q.next()) {
            r[q.field(0).asString()] = q.field(1).isNull() ? QString() : q.field(1).asString();
        }
        return r;
    }
    Database archivio_;

    // Each count of every history table goes 1, 2, 3… with no gap and no repeat.
    void numerazioniConsecutive(const QString& quando) {
        for (const Numerazione& n : GetParam().numerazioni) {
            const QString fuori = h.valore(
                az(), QStringLiteral("SELECT CAST(LIST(G,' ') AS VARCHAR(8000)) FROM ("
                                     "SELECT %1 AS G FROM %2 WHERE %3 GROUP BY %1 "
                                     "HAVING COUNT(*)<>MAX(%4) OR COUNT(DISTINCT %4)<>COUNT(*) "
                                     "OR MIN(%4)<>1)")
                          .arg(QString(n.gruppo).replace(',', QStringLiteral("||'/'||")), n.tabella,
                               n.dove, n.versione));
            EXPECT_TRUE(fuori.isEmpty()) << qPrintable(quando) << ": " << qPrintable(n.tabella)
                                         << " counts broken for " << qPrintable(fuori);
        }
    }
};

TEST_P(DueUtenti, OgniOrdineDeiClicSalvaOSegnalaENumeraSenzaBuchi) {
    const PaginaInProva& d = GetParam();
    if (!d.prima.isEmpty()) {
        h.esegui(az(), d.prima);
    }
    SchedaBase* fa = apriPer(2);
    SchedaBase* fb = apriPer(1);
    ASSERT_NE(fa, fb);
    d.posiziona(fa);
    d.posiziona(fb);
    PaginaRighe* pa = d.pagina(fa);
    PaginaRighe* pb = d.pagina(fb);
    archivio_.connect(h.c().azienda());
    const QString condivisa = d.condivisa;

    int progressivo = 0;
    const std::pair<const char*, const char*> scenari[] = {
        {"NS", "NS"}, {"ES", "ES"}, {"NS", "ES"}, {"D", "NS"}, {"D", "ES"}};
    for (const auto& [sa, sb] : scenari) {
        for (const std::vector<Passo>& ordine : intrecci(sa, sb)) {
            QString come;
            for (const Passo& p : ordine) {
                come += QString(QChar(p.utente)) + QChar(p.azione) + ' ';
            }
            // each scenario starts from the shared line as stored, read anew
            h.esegui(az(), {d.ripristino});
            for (SchedaBase* f : {fa, fb}) {
                f->rileggi(f->codiceCorrenteGriglia());
                d.pagina(f)->riapri(condivisa);
            }
            msg->pulisci();
            std::map<char, QString> battuto;    // the text each user has typed
            QString ultimoSalvato;              // on the shared line
            std::map<char, QString> nuoveRighe; // the new line of each user
            bool cancellata = false;
            for (const Passo& p : ordine) {
                PaginaRighe* pg = p.utente == 'A' ? pa : pb;
                const qsizetype messaggi = msg->mostrati.size();
                switch (p.azione) {
                case 'N':
                    pg->ButtonNuovoClick();
                    ASSERT_EQ(pg->Stato, 1)
                        << qPrintable(come) << msg->testi().join('|').toStdString();
                    nuoveRighe[p.utente] = pg->RigaCorrente;
                    break;
                case 'E':
                    pg->riapri(condivisa);
                    pg->ButtonEditClick();
                    ASSERT_EQ(pg->Stato, 2) << qPrintable(come);
                    break;
                case 'D':
                    pg->riapri(condivisa);
                    msg->risposte = {QStringLiteral("Sì")};
                    pg->ButtonEliminaClick();
                    cancellata = righe().count(condivisa) == 0;
                    EXPECT_TRUE(cancellata) << qPrintable(come);
                    break;
                case 'S': {
                    const QString t =
                        QStringLiteral("%1%2").arg(QChar(p.utente)).arg(++progressivo);
                    SchedaBase::impostaTesto(pg->editazione(d.campo), t);
                    if (d.completa) {
                        d.completa(pg);
                    }
                    battuto[p.utente] = t;
                    const bool nuova = pg->Stato == 1;
                    pg->ButtonMemorizzaClick();
                    if (pg->Stato != 0) {
                        // refused: the user was told, and what was typed is still there
                        EXPECT_GT(msg->mostrati.size(), messaggi) << qPrintable(come);
                        EXPECT_EQ(SchedaBase::testoDi(pg->editazione(d.campo)), t);
                        if (cancellata) {
                            pg->ButtonAnnullaClick(); // the line is gone: nothing to save on
                            break;
                        }
                        pg->ButtonMemorizzaClick();
                        ASSERT_EQ(pg->Stato, 0) << qPrintable(come) << " saves when tried again";
                    }
                    if (!nuova) {
                        ultimoSalvato = t;
                    }
                    break;
                }
                }
            }
            const auto r = righe();
            // what was saved is stored: each new line with its text, the
            // shared line with the last save
            for (const auto& [u, n] : nuoveRighe) {
                ASSERT_TRUE(r.count(n)) << qPrintable(come) << " line " << qPrintable(n);
                EXPECT_EQ(r.at(n), battuto[u]) << qPrintable(come);
            }
            if (!ultimoSalvato.isEmpty() && !cancellata) {
                EXPECT_EQ(r.at(condivisa), ultimoSalvato) << qPrintable(come);
            }
            // adding lines meets no message at all: numbers taken by the other
            // user are simply the next ones
            if (QString(sa) == "NS" && QString(sb) == "NS") {
                EXPECT_TRUE(msg->mostrati.empty())
                    << qPrintable(come) << msg->testi().join('|').toStdString();
            }
            numerazioniConsecutive(come);
            if (!d.incoerenti.isEmpty()) {
                EXPECT_EQ(conta(d.incoerenti), 0) << qPrintable(come);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(OgniPagina, DueUtenti, ::testing::ValuesIn(pagine()),
                         [](const auto& i) { return std::string(i.param.nome); });

} // namespace
