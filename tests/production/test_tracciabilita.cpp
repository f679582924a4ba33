// Lot traceability on a small chain: two supplier lots go into three batches
// through weighings and a consumption line, one batch posted with its host
// order. Both directions, a line never weighed, the date range, values that
// are bound and never read as SQL, and the screen with its tree, list and
// printout.
#include "../report/comune.h"
#include "host/lancio.h"
#include "production/traccia.h"
#include "production/tracciabilita.h"
#include "report/finestrestampa.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "support/strumenti.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quintar;
using namespace quintar::traccia;

namespace {

// LA-01 (supplier F01, serials S1 and S2) and LB-02 (F02, serial S3).
// B1 (posted, order 10): line 1 weighed from S1, line 2 from S3, line 3
// never weighed. B2 (committed, no order found): line 1 weighed from S1,
// line 2 consumed from S3. B3 (to do, in April): line 1 weighed from S2.
void catena(prova::Cartella& h) {
    h.esegui(h.c().erp(),
             {"INSERT INTO LOTTI (ID, CODICELOTTO, CODICEFORNITORE, CODICEARTICOLO) VALUES (1, "
              "'LA-01', 'F01', 'MP1')",
              "INSERT INTO LOTTI (ID, CODICELOTTO, CODICEFORNITORE, CODICEARTICOLO) VALUES (2, "
              "'LB-02', 'F02', 'MP2')",
              "INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES ('S1', 'MP1', 1)",
              "INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES ('S2', 'MP1', 1)",
              "INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES ('S3', 'MP2', 2)",
              "INSERT INTO FORNITO (CODICE, RAGSOC) VALUES ('F02', 'Beta Chimica')",
              "INSERT INTO CLIENTI (CODICE, RAGSOC) VALUES ('GEST', 'Produzione gestita')",
              "INSERT INTO ORDC (ID, LINEA, DATADOCUMENTO, NDOCUMENTO, CODICECLIENTE) VALUES "
              "(10, 'IMP', '2025-03-01', 'B1', 'GEST')"});
    const QString fabbric = "INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, "
                            "QUANTITALITRI, UNITAMISURA, STATUS, IDORDINEIMPMAT, DATAIMPEGNO, "
                            "DATAFINE) VALUES ";
    const QString riga = "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                         "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, SERIALE, "
                         "PESATA) VALUES ";
    const QString pesata =
        "INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, OPERATORE, "
        "ID_FABBRICAZIONE, BARCODE_LOTTO_MATERIA, CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
        "LOTTOFABBRICAZIONE, CODICEMATERIAPRIMA, CODICEFORNITORE, LOTTOMATERIAPRIMA) VALUES ";
    h.esegui(h.c().azienda(),
             {"INSERT INTO MATER (CODICE, NOMECOMMERCIALE) VALUES ('MP1', 'Tensioattivo')",
              "INSERT INTO MATER (CODICE, NOMECOMMERCIALE) VALUES ('MP2', 'Profumo')",
              "INSERT INTO MATER (CODICE, NOMECOMMERCIALE) VALUES ('MP3', 'Colorante')",
              "INSERT INTO FORNITO (CODICE, RAGSOC) VALUES ('F01', 'Alfa Tensioattivi')",
              fabbric + "('P1', '2025-03-01', 'B1', 1, 'Detergente', 1000, 'Litri', 'FINITA', "
                        "'10', '2025-02-27 10:00:00', '2025-03-01 17:00:00')",
              fabbric + "('P1', '2025-03-05', 'B2', 2, 'Detergente', 500, 'Litri', "
                        "'IMPEGNATA', '99', '2025-03-04 09:00:00', NULL)",
              fabbric + "('P2', '2025-04-10', 'B3', 3, 'Sgrassatore', 200, 'Kg', 'DA FARE', "
                        "NULL, NULL, NULL)",
              riga + "('P1', '2025-03-01', 'B1', 1, 'MP1', 10, 'CONTEST00000001', 10.5)",
              riga + "('P1', '2025-03-01', 'B1', 2, 'MP2', 0.5, 'CONTEST00000002', 5)",
              riga + "('P1', '2025-03-01', 'B1', 3, 'MP3', 0.1, 'CONTEST00000003', NULL)",
              riga + "('P1', '2025-03-05', 'B2', 1, 'MP1', 10, 'CONTEST00000004', 8)",
              riga + "('P1', '2025-03-05', 'B2', 2, 'MP2', 0.5, NULL, NULL)",
              riga + "('P2', '2025-04-10', 'B3', 1, 'MP1', 2, 'CONTEST00000006', 3)",
              pesata + "(1, 'BIL11', '2025-03-01 08:00:00.0000', 'CONTEST00000001', 10.5, "
                       "'Rossi', 1, 'S1', 'P1', '2025-03-01', 'B1', 'MP1', 'F01', 'LA-01')",
              pesata + "(2, 'BIL02', '2025-03-01 08:10:00.0000', 'CONTEST00000002', 5, NULL, "
                       "1, 'S3', 'P1', '2025-03-01', 'B1', 'MP2', 'F02', 'LB-02')",
              pesata + "(3, 'BIL11', '2025-03-05 08:00:00.0000', 'CONTEST00000004', 8, "
                       "'Verdi', 2, 'S1', 'P1', '2025-03-05', 'B2', 'MP1', 'F01', 'LA-01')",
              pesata + "(4, 'BIL03', '2025-04-10 08:00:00.0000', 'CONTEST00000006', 3, "
                       "'Verdi', 3, 'S2', 'P2', '2025-04-10', 'B3', 'MP1', 'F01', 'LA-01')",
              "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, "
              "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES (1, 2, 'MP2', 'MP2', 'S3', "
              "4.5, 'LB-02')"});
}

struct Catena : ::testing::Test {
    prova::Cartella h;
    Database az, erp;
    std::unique_ptr<Tracciatore> t;
    void SetUp() override {
        Formati::impostaItaliani();
        catena(h);
        az.connect(h.c().azienda());
        erp.connect(h.c().erp());
        t = std::make_unique<Tracciatore>(&az, &erp);
    }
    void TearDown() override { t.reset(); }
    Fabbricazione unica(const QString& lotto) {
        const auto f = t->fabbricazioni(lotto);
        EXPECT_EQ(f.size(), 1u) << lotto.toStdString();
        return f.empty() ? Fabbricazione{} : f.front();
    }
    static QStringList lotti(const Avanti& a) {
        QStringList r;
        for (const Utilizzo& u : a.utilizzi) {
            r << u.fabbricazione.lotto + ":" + testoOrigine(u.prelievo.origine);
        }
        return r;
    }
};

} // namespace

TEST_F(Catena, BackwardListsEveryLineWithItsLotsAndTheLineNeverWeighed) {
    const Fabbricazione b1 = unica("B1");
    EXPECT_EQ(b1.id, 1);
    EXPECT_EQ(b1.stato, "FINITA");
    const Indietro r = t->indietro(b1);
    ASSERT_EQ(r.righe.size(), 3u);
    const RigaComponente& r1 = r.righe[0];
    EXPECT_EQ(r1.nriga, 1);
    EXPECT_EQ(r1.materia, "MP1");
    EXPECT_EQ(r1.descrizione, "Tensioattivo");
    ASSERT_EQ(r1.prelievi.size(), 1u);
    const Prelievo& p = r1.prelievi[0];
    EXPECT_EQ(p.origine, Origine::Pesata);
    EXPECT_EQ(p.lottoFornitore, "LA-01");
    EXPECT_EQ(p.seriale, "S1");
    EXPECT_EQ(p.fornitore, "F01");
    EXPECT_EQ(p.ragioneSocialeFornitore, "Alfa Tensioattivi");
    EXPECT_EQ(p.quantita, 10.5);
    EXPECT_EQ(p.dataOra, "01/03/2025 08:00:00");
    EXPECT_EQ(p.bilancia, "BIL11");
    EXPECT_EQ(p.operatore, "Rossi");
    EXPECT_EQ(r.righe[1].prelievi.at(0).lottoFornitore, "LB-02");
    // the line never weighed is there, as such
    ASSERT_EQ(r.righe[2].prelievi.size(), 1u);
    EXPECT_EQ(r.righe[2].materia, "MP3");
    EXPECT_EQ(r.righe[2].prelievi[0].origine, Origine::NessunaPesata);
    EXPECT_FALSE(r.righe[2].prelievi[0].quantita.has_value());
    EXPECT_EQ(r.flat.size(), 3u);
}

TEST_F(Catena, BackwardShowsAConsumedLineUnderItsLineWithTheHostSupplier) {
    // found by its identifier as well as by its lot
    const Fabbricazione b2 = unica("2");
    EXPECT_EQ(b2.lotto, "B2");
    const Indietro r = t->indietro(b2);
    ASSERT_EQ(r.righe.size(), 2u);
    ASSERT_EQ(r.righe[1].prelievi.size(), 1u) << "consumed: not also listed as never weighed";
    const Prelievo& c = r.righe[1].prelievi[0];
    EXPECT_EQ(c.origine, Origine::Consumo);
    EXPECT_EQ(c.seriale, "S3");
    EXPECT_EQ(c.lottoFornitore, "LB-02");
    EXPECT_EQ(c.quantita, 4.5);
    EXPECT_EQ(c.fornitore, "F02") << "the supplier of a consumed package is the host's";
    EXPECT_EQ(c.ragioneSocialeFornitore, "Beta Chimica");

    // without the host archive the trace still answers, without that supplier
    Tracciatore senzaErp(&az, nullptr);
    const Indietro s = senzaErp.indietro(b2);
    ASSERT_EQ(s.righe.size(), 2u);
    EXPECT_EQ(s.righe[1].prelievi.at(0).fornitore, "");
}

TEST_F(Catena, ForwardFromASupplierLotFindsEveryBatchWithItsStateAndOrder) {
    Ricerca r{Chiave::LottoFornitore, "LA-01", {}, {}};
    Avanti a = t->avanti(r);
    EXPECT_EQ(lotti(a), (QStringList{"B1:Pesata", "B2:Pesata", "B3:Pesata"}));
    EXPECT_EQ(a.utilizzi[0].prelievo.quantita, 10.5);
    EXPECT_EQ(a.utilizzi[0].fabbricazione.nomeProdotto, "Detergente");
    EXPECT_EQ(testoStato(a.utilizzi[0].fabbricazione), "Prodotta il 01/03/2025");
    EXPECT_EQ(testoOrdine(a.utilizzi[0].fabbricazione, a),
              "Ordine n. B1 del 01/03/2025 - cliente GEST Produzione gestita");
    EXPECT_EQ(testoStato(a.utilizzi[1].fabbricazione), "Impegnata il 04/03/2025");
    EXPECT_EQ(testoOrdine(a.utilizzi[1].fabbricazione, a),
              "Ordine 99 non trovato nell'archivio Tovaris");
    EXPECT_EQ(testoOrdine(a.utilizzi[2].fabbricazione, a), "");

    // the date range takes the batches of March only, both ends included
    r.dal = QDate(2025, 3, 1);
    r.al = QDate(2025, 3, 5);
    EXPECT_EQ(lotti(t->avanti(r)), (QStringList{"B1:Pesata", "B2:Pesata"}));
    r.dal = QDate(2025, 3, 2);
    r.al = {};
    EXPECT_EQ(lotti(t->avanti(r)), (QStringList{"B2:Pesata", "B3:Pesata"}));

    // weighed into one batch and consumed by another
    a = t->avanti({Chiave::LottoFornitore, "LB-02", {}, {}});
    EXPECT_EQ(lotti(a), (QStringList{"B1:Pesata", "B2:Consumo"}));
    EXPECT_EQ(a.utilizzi[1].prelievo.fornitore, "F02");
}

TEST_F(Catena, ForwardFromASerialOrAMaterialIncludesLinesNotYetWeighed) {
    EXPECT_EQ(lotti(t->avanti({Chiave::Seriale, "S1", {}, {}})),
              (QStringList{"B1:Pesata", "B2:Pesata"}));
    EXPECT_EQ(lotti(t->avanti({Chiave::Seriale, "S3", {}, {}})),
              (QStringList{"B1:Pesata", "B2:Consumo"}));
    EXPECT_EQ(lotti(t->avanti({Chiave::Materia, "MP3", {}, {}})),
              (QStringList{"B1:Nessuna pesata"}));
    // the consumed line of B2 is not also a line without weighing
    EXPECT_EQ(lotti(t->avanti({Chiave::Materia, "MP2", {}, {}})),
              (QStringList{"B1:Pesata", "B2:Consumo"}));
    EXPECT_TRUE(t->avanti({Chiave::Materia, "  ", {}, {}}).utilizzi.empty());
}

TEST_F(Catena, ValuesAreBoundNeverReadAsSql) {
    const QString maligno = "LA-01' OR '1'='1";
    for (Chiave c : {Chiave::LottoFornitore, Chiave::Seriale, Chiave::Materia}) {
        const Frase f = fraseAvanti({c, maligno, {}, {}});
        EXPECT_FALSE(f.sql.join('\n').contains("LA-01"));
        EXPECT_EQ(f.sql.join('\n').count('?'), int(f.parametri.size()));
        EXPECT_TRUE(t->avanti({c, maligno, {}, {}}).utilizzi.empty());
    }
    EXPECT_TRUE(t->fabbricazioni("B1' OR ''='").empty());
    EXPECT_EQ(fraseIndietro(unica("B1")).sql.join('\n').count('?'), 9);
    for (const Chiave c : {Chiave::LottoFornitore, Chiave::Seriale, Chiave::Materia}) {
        for (const Frase& f : frasiAvanti({c, maligno, {}, {}})) {
            EXPECT_FALSE(f.sql.join('\n').contains("LA-01"));
            EXPECT_EQ(f.sql.join('\n').count('?'), int(f.parametri.size()));
        }
    }
    for (const Frase& f : frasiIndietro(unica("B1"))) {
        EXPECT_EQ(f.sql.join('\n').count('?'), int(f.parametri.size()));
    }
    // a batch the older archive left without number has lines, no weighings
    h.esegui(h.c().azienda(),
             {"INSERT INTO FABBRIC (CODICE, DATA, LOTTO) VALUES ('P3', '2024-01-01', 'V1')",
              "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
              "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA) VALUES ('P3', '2024-01-01', 'V1', "
              "1, 'MP1')"});
    t->aggiorna();
    const Indietro v = t->indietro(unica("V1"));
    ASSERT_EQ(v.righe.size(), 1u);
    EXPECT_EQ(v.righe[0].prelievi.at(0).origine, Origine::NessunaPesata);
}

namespace {

QString numeroOVuoto(const std::optional<double>& v) {
    return v ? QString::number(*v) : QString();
}

// A row as the list shows it and as the tracer gives it, field by field.
QString riga(const QString& lotto, const Prelievo& p) {
    return QStringList{lotto,
                       testoOrigine(p.origine),
                       QString::number(p.nriga),
                       p.materia,
                       p.descrizione,
                       p.seriale,
                       p.lottoFornitore,
                       p.fornitore,
                       p.ragioneSocialeFornitore,
                       numeroOVuoto(p.quantita),
                       p.dataOra,
                       p.bilancia,
                       p.operatore}
        .join('|');
}

QStringList righeLista(Database& az, const Frase& f, bool avanti) {
    Transaction tr(&az);
    Query q(&az, &tr);
    q.SQL = f.sql;
    q.setParams(f.parametri);
    QStringList r;
    for (q.open(); !q.eof(); q.next()) {
        Prelievo p;
        p.origine = q["ORIGINE"].asString().trimmed() == "Pesata"    ? Origine::Pesata
                    : q["ORIGINE"].asString().trimmed() == "Consumo" ? Origine::Consumo
                                                                     : Origine::NessunaPesata;
        p.nriga = int(q["NRIGA"].asInteger());
        p.materia = q["MATERIA"].asString();
        p.descrizione = q["DESCRIZIONE"].asString();
        p.seriale = q["SERIALE"].asString();
        p.lottoFornitore = q["LOTTOFORNITORE"].asString();
        p.fornitore = q["FORNITORE"].asString();
        p.ragioneSocialeFornitore = q["RAGSOCFORNITORE"].asString();
        if (!q["QUANTITA"].isNull()) {
            p.quantita = q["QUANTITA"].asFloat();
        }
        p.dataOra = Formati::dataOraInTesto(q["DATAORA"].asDateTime());
        p.bilancia = q["BILANCIA"].asString();
        p.operatore = q["OPERATORE"].asString();
        r << riga(avanti ? q["LOTTO"].asString() : QString(), p);
    }
    return r;
}

} // namespace

TEST_F(Catena, TheTracerGivesTheListsRowsInTheListsOrder) {
    // more to sort: a batch of the same day as B1 sorting before it that both
    // weighed and consumed LA-01, a line of B1 weighed twice, a consumption of
    // B1 on a weighed line and one of a material no line has
    h.esegui(
        h.c().azienda(),
        {"INSERT INTO MATER (CODICE, NOMECOMMERCIALE) VALUES ('MPX', 'Conservante')",
         "INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, STATUS) VALUES ('P0', "
         "'2025-03-01', 'B4', 4, 'Ammorbidente', 'DA FARE')",
         "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, LOTTOFABBRICAZIONE, "
         "NRIGA, CODICEMATERIAPRIMA, SERIALE) VALUES ('P0', '2025-03-01', 'B4', 1, 'MP1', "
         "'CONTEST00000009')",
         "INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, ID_FABBRICAZIONE, "
         "BARCODE_LOTTO_MATERIA, CODICEMATERIAPRIMA, CODICEFORNITORE, LOTTOMATERIAPRIMA) VALUES "
         "(9, 'BIL11', '2025-03-01 09:00:00.0000', 'CONTEST00000009', 2, 4, 'S2', 'MP1', 'F01', "
         "'LA-01')",
         "INSERT INTO PESATE_FABBR (ID, BILANCIA, DATAORA, BARCODE, PESO, ID_FABBRICAZIONE, "
         "BARCODE_LOTTO_MATERIA, CODICEMATERIAPRIMA, CODICEFORNITORE, LOTTOMATERIAPRIMA) VALUES "
         "(7, 'BIL11', '2025-03-01 00:00:00.0000', 'CONTEST00000001', 0.5, 1, 'S2', 'MP1', "
         "'F01', 'LA-01')",
         "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, CODICECONSUMATO, "
         "SERIALE, QUANTITA, LOTTO) VALUES (2, 4, 'MP1', 'MP1', 'S1', 1, 'LA-01')",
         "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, CODICECONSUMATO, "
         "SERIALE, QUANTITA, LOTTO) VALUES (4, 1, 'MP2', 'MP2', 'S3', 0.25, 'LB-02')",
         "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, CODICECONSUMATO, "
         "SERIALE, QUANTITA, LOTTO) VALUES (3, 1, 'MPX', 'MPX', 'S9', 0.1, 'LZ-09')"});
    // codes the archive compares without their trailing blanks, a line and a
    // consumption without material, and batches the archive sorts its own way:
    // products equal but for a blank, lots with characters of its character set
    const QString fabbric = "INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID) VALUES ";
    const QString linea = "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                          "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, SERIALE) VALUES ";
    const QString pesata = "INSERT INTO PESATE_FABBR (ID, DATAORA, BARCODE, PESO, "
                           "ID_FABBRICAZIONE, BARCODE_LOTTO_MATERIA, CODICEMATERIAPRIMA, "
                           "CODICEFORNITORE, LOTTOMATERIAPRIMA) VALUES ";
    const QString consumo = "INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, CODICEMATERIA, "
                            "CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) VALUES ";
    h.esegui(
        h.c().azienda(),
        {fabbric + "('P4', '2025-05-01', 'B5', 5)",
         linea + "('P4', '2025-05-01', 'B5', 1, NULL, NULL)",
         linea + "('P4', '2025-05-01', 'B5', 2, 'MP1', NULL)",
         linea + "('P4', '2025-05-01', 'B5', 3, 'MP2', 'CONTEST00000010')",
         pesata + "(10, '2025-05-01 08:00:00', 'CONTEST00000010', 1, 5, 'S4', 'MP2 ', "
                  "'F01 ', 'LD-04')",
         consumo + "(5, 5, NULL, 'MPX', 'S8', 1, 'LD-04')",
         consumo + "(6, 5, 'MP1 ', 'MP1', 'S7', 1, 'LD-04')",
         fabbric + "('P5', '2025-06-01', 'L2', 6)", fabbric + "('P5 ', '2025-06-01', 'L1', 7)",
         fabbric + "('P0', '2025-06-01', 'L1', 10)", fabbric + "('P7', '2025-05-31', 'L1', 11)",
         fabbric + "('P6', '2025-06-02', 'A°1', 8)", fabbric + "('P6', '2025-06-02', 'A–1', 9)",
         pesata + "(11, NULL, NULL, 1, 6, 'S5', 'MP1', 'F01', 'LE-05')",
         pesata + "(12, NULL, NULL, 1, 7, 'S5', 'MP1', 'F01', 'LE-05')",
         pesata + "(13, NULL, NULL, 1, 8, 'S5', 'MP1', 'F01', 'LE-05')",
         pesata + "(14, NULL, NULL, 1, 9, 'S5', 'MP1', 'F01', 'LE-05')",
         // a date mistyped long ago is still a date: no limit given, no limit
         fabbric + "('P8', '1899-06-01', 'V0', 12)",
         pesata + "(15, NULL, NULL, 1, 12, 'S5', 'MP1', 'F01', 'LE-05')"});
    t->aggiorna();
    // the host's suppliers of consumed packages are the tracer's alone
    Tracciatore soloAzienda(&az, nullptr);
    for (const char* lotto : {"B1", "B2", "B3", "B4", "B5"}) {
        const Fabbricazione b = unica(lotto);
        QStringList tracciate;
        for (const Prelievo& p : soloAzienda.indietro(b).flat) {
            tracciate << riga(QString(), p);
        }
        EXPECT_EQ(tracciate, righeLista(az, fraseIndietro(b), false)) << lotto;
    }
    EXPECT_EQ(soloAzienda.indietro(unica("B1")).flat.size(), 6u)
        << "two weighings of line 1, line 2 weighed and consumed, line 3, the other material";

    const QDate marzo(2025, 3, 1), fineMarzo(2025, 3, 31);
    const std::vector<Ricerca> ricerche{
        {Chiave::LottoFornitore, "LA-01", {}, {}}, {Chiave::LottoFornitore, "LA-01", marzo, marzo},
        {Chiave::LottoFornitore, "LB-02", {}, {}}, {Chiave::Seriale, "S1", {}, {}},
        {Chiave::Seriale, "S2", {}, fineMarzo},    {Chiave::Materia, "MP1", {}, {}},
        {Chiave::Materia, "MP2", marzo, {}},       {Chiave::Materia, "MP3", {}, {}},
        {Chiave::Materia, "MPX", {}, {}},          {Chiave::LottoFornitore, "LD-04", {}, {}},
        {Chiave::LottoFornitore, "LE-05", {}, {}}};
    for (const Ricerca& r : ricerche) {
        QStringList tracciate;
        for (const Utilizzo& u : soloAzienda.avanti(r).utilizzi) {
            tracciate << riga(u.fabbricazione.lotto, u.prelievo);
        }
        EXPECT_FALSE(tracciate.isEmpty()) << r.valore.toStdString();
        // the field searched holds the value searched, as the archive compares
        // it: the list shows it as stored, trailing blanks and all
        QStringList lista = righeLista(az, fraseAvanti(r), true);
        const int campo = r.chiave == Chiave::Materia ? 3 : r.chiave == Chiave::Seriale ? 5 : 6;
        for (QString& l : lista) {
            QStringList f = l.split('|');
            while (f[campo].endsWith(' ')) {
                f[campo].chop(1);
            }
            l = f.join('|');
        }
        EXPECT_EQ(tracciate, lista) << r.valore.toStdString();
    }
    EXPECT_EQ(lotti(soloAzienda.avanti(ricerche[0])),
              (QStringList{"B4:Consumo", "B4:Pesata", "B1:Pesata", "B1:Pesata", "B2:Pesata",
                           "B3:Pesata"}));
    EXPECT_EQ(lotti(soloAzienda.avanti(ricerche.back())),
              (QStringList{"V0:Pesata", "L1:Pesata", "L2:Pesata", "A–1:Pesata", "A°1:Pesata"}));
    // the batches of one lot, in the order of their key
    QStringList conLotto;
    for (const Fabbricazione& f : soloAzienda.fabbricazioni("L1")) {
        conLotto << f.data.toString(Qt::ISODate) + " " + f.codice;
    }
    EXPECT_EQ(conLotto, (QStringList{"2025-05-31 P7", "2025-06-01 P0", "2025-06-01 P5 "}));
    const Indietro b5 = soloAzienda.indietro(unica("B5"));
    ASSERT_EQ(b5.righe.size(), 4u);
    EXPECT_EQ(b5.righe[0].prelievi.at(0).origine, Origine::NessunaPesata)
        << "a line without material is not covered by a consumption without one";
    EXPECT_EQ(b5.righe[1].prelievi.at(0).origine, Origine::Consumo) << "MP1 and 'MP1 ' are one";
    EXPECT_EQ(b5.righe[2].prelievi.at(0).ragioneSocialeFornitore, "Alfa Tensioattivi");
    EXPECT_EQ(b5.righe[3].nriga, 0);
}

TEST_F(Catena, LookUpsOfManyCodesGoInGroupsAndFindEveryOne) {
    EXPECT_EQ(Gruppi::posti(1), 1u);
    EXPECT_EQ(Gruppi::posti(3), 4u);
    EXPECT_EQ(Gruppi::posti(9), 16u);
    EXPECT_EQ(Gruppi::posti(size_t(kGruppoRicerca) + 1), size_t(kGruppoRicerca));
    // 20 committed batches, each with its order, each consuming a package of
    // lot LC-03 of another material: more orders, serials and names than a
    // group holds
    QStringList host{"INSERT INTO LOTTI (ID, CODICELOTTO, CODICEFORNITORE, CODICEARTICOLO) "
                     "VALUES (3, 'LC-03', 'F03', 'MQ01')",
                     "INSERT INTO FORNITO (CODICE, RAGSOC) VALUES ('F03', 'Gamma Solventi')"};
    QStringList azienda;
    const int n = kGruppoRicerca + 4;
    for (int i = 1; i <= n; ++i) {
        const QString k = QStringLiteral("%1").arg(i, 2, 10, QChar('0'));
        host << QStringLiteral("INSERT INTO SERIALI (SERIALE, CODICEARTICOLO, IDLOTTO) VALUES "
                               "('SC%1', 'MQ%1', 3)")
                    .arg(k)
             << QStringLiteral("INSERT INTO ORDC (ID, LINEA, DATADOCUMENTO, NDOCUMENTO, "
                               "CODICECLIENTE) VALUES (%1, 'IMP', '2025-05-01', 'G%2', 'GEST')")
                    .arg(100 + i)
                    .arg(k);
        azienda << QStringLiteral("INSERT INTO MATER (CODICE, NOMECOMMERCIALE) VALUES ('MQ%1', "
                                  "'Materia %1')")
                       .arg(k)
                << QStringLiteral("INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, STATUS, "
                                  "IDORDINEIMPMAT) VALUES ('P9', '2025-05-01', 'G%1', %2, "
                                  "'IMPEGNATA', '%2')")
                       .arg(k)
                       .arg(100 + i)
                << QStringLiteral("INSERT INTO CONSUMI (ID_CONSUMI, ID_FABBRICAZIONE, "
                                  "CODICEMATERIA, CODICECONSUMATO, SERIALE, QUANTITA, LOTTO) "
                                  "VALUES (%1, %1, 'MQ%2', 'MQ%2', 'SC%2', 1, 'LC-03')")
                       .arg(100 + i)
                       .arg(k);
    }
    h.esegui(h.c().erp(), host);
    h.esegui(h.c().azienda(), azienda);
    t->aggiorna();
    const Avanti a = t->avanti({Chiave::LottoFornitore, "LC-03", {}, {}});
    ASSERT_EQ(a.utilizzi.size(), size_t(n));
    for (const Utilizzo& u : a.utilizzi) {
        const QString k = u.fabbricazione.lotto.mid(1);
        EXPECT_EQ(u.prelievo.descrizione, "Materia " + k);
        EXPECT_EQ(u.prelievo.fornitore, "F03") << k.toStdString();
        EXPECT_EQ(u.prelievo.ragioneSocialeFornitore, "Gamma Solventi");
        EXPECT_EQ(testoOrdine(u.fabbricazione, a),
                  "Ordine n. G" + k + " del 01/05/2025 - cliente GEST Produzione gestita");
    }
}

TEST_F(Catena, AFailingLookUpOnEitherSideIsReportedAndTheNextTraceWorks) {
    h.esegui(h.c().erp(), {"DROP TABLE ORDC"});
    {
        Tracciatore nuovo(&az, &erp);
        try {
            nuovo.avanti({Chiave::LottoFornitore, "LA-01", {}, {}});
            ADD_FAILURE() << "orders looked up without their table";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.messaggio().contains("ORDC")) << e.messaggio().toStdString();
        }
        const Indietro b2 = nuovo.indietro(unica("B2"));
        ASSERT_EQ(b2.flat.size(), 2u);
        EXPECT_EQ(b2.flat[1].fornitore, "F02") << "the host still answers for the package";
    }
    // and on the company's side, with a package's supplier to ask the host
    t.reset();
    az.disconnect();
    h.esegui(h.c().azienda(), {"DROP TABLE PESATE_FABBR"});
    az.connect(h.c().azienda());
    Tracciatore nuovo(&az, &erp);
    EXPECT_THROW(nuovo.avanti({Chiave::LottoFornitore, "LB-02", {}, {}}), DbError);
    EXPECT_THROW(nuovo.indietro(Fabbricazione{2, "P1", "B2", {}, {}, {}, QDate(2025, 3, 5)}),
                 DbError);
}

TEST(ConfrontaTesti, SortsAsTheArchiveDoes) {
    EXPECT_LT(confrontaTesti("A–1", "A°1"), 0) << "0x96 before 0xB0";
    EXPECT_LT(confrontaTesti("€", "é"), 0);
    EXPECT_EQ(confrontaTesti("P1 ", "P1"), 0);
    EXPECT_LT(confrontaTesti("P1", "P1A"), 0);
    EXPECT_LT(confrontaTesti("P1\t", "P1"), 0) << "the shorter is padded with blanks";
    EXPECT_GT(confrontaTesti("b", "B"), 0);
}

TEST(TestoMomento, ReadsAsTheLongWayRoundDoes) {
    Formati::impostaItaliani();
    EXPECT_EQ(testoMomento("2025-03-01 08:00:00.0000"), "01/03/2025 08:00:00");
    for (const char* s :
         {"2025-03-01 08:00:00.0000", "2024-02-29 23:59:59", "2025-03-01 12:00:00.5",
          "2025-03-01 00:00:00.0000", "2025-02-30 08:00:00.0000", "2025-03-01 24:00:00",
          "2025-03-01T08:00:00", "01/03/2025 08:00:00", "2025-3-1 8:00:00", "", "adesso",
          "2025-03-01 08:00:59.9994", "2025-03-01 08:00:59.9995", "2025-03-01 12:59:59.9999",
          "2025-03-01 08:00:00 ", "2025-03-01 08:00:00.", "2025-03-01 08:00:00abc",
          "2025-03-01 ٠8:00:00"}) {
        EXPECT_EQ(testoMomento(s), Formati::dataOraInTesto(QVariant(QString(s)).toDateTime())) << s;
        EXPECT_EQ(testoMomentoUtf8(QByteArrayView(s)), testoMomento(QString::fromUtf8(s))) << s;
    }
    // other date formats go the long way too
    const Formati::Impostazioni italiani = Formati::correnti();
    Formati::imposta({QChar('.'), QChar(','), QStringLiteral("yyyy-MM-dd")});
    EXPECT_EQ(testoMomento("2025-03-01 08:00:00.0000"), "2025-03-01 08:00:00");
    EXPECT_EQ(testoMomentoUtf8(QByteArrayView("2025-03-01 08:00:00.0000")), "2025-03-01 08:00:00");
    Formati::imposta(italiani);
}

TEST(RaggruppaPerRiga, KeepsLineOrderAndPutsConsumptionOfNoLineLast) {
    auto p = [](int riga, Origine o, const char* materia) {
        Prelievo x;
        x.nriga = riga;
        x.origine = o;
        x.materia = materia;
        return x;
    };
    const auto r = raggruppaPerRiga({p(0, Origine::Consumo, "MPX"), p(1, Origine::Consumo, "MPA"),
                                     p(1, Origine::Pesata, "MP1"), p(2, Origine::Pesata, "MP2"),
                                     p(2, Origine::Pesata, "MP2")});
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].nriga, 1);
    EXPECT_EQ(r[0].materia, "MP1") << "the line's material, not the analogue consumed";
    EXPECT_EQ(r[0].prelievi.size(), 2u);
    EXPECT_EQ(r[1].prelievi.size(), 2u) << "two weighings of one line";
    EXPECT_EQ(r[2].nriga, 0);
    EXPECT_EQ(r[2].prelievi.at(0).materia, "MPX");
}

namespace {

struct Schermata : ::testing::Test {
    prova::Cartella h;
    RegistraMessaggi msg;
    TTracciabilitaForm* f = nullptr;
    void SetUp() override {
        catena(h);
        f = dynamic_cast<TTracciabilitaForm*>(
            LanciaSchermata(*trovaSchermata("ShowTracciabilitaForm"), 2, std::nullopt));
        ASSERT_NE(f, nullptr);
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<FinestraSessione*>(w)) {
                w->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void traccia(int ricerca, const QString& valore) {
        f->ComboRicerca->setCurrentIndex(ricerca);
        f->EditValore->setText(valore);
        f->ButtonTraccia->click();
    }
    static QStringList figli(QTreeWidgetItem* i) {
        QStringList r;
        for (int k = 0; k < i->childCount(); ++k) {
            r << i->child(k)->text(0);
        }
        return r;
    }
};

} // namespace

TEST_F(Schermata, TracesBothWaysAsATreeAndTheFlatList) {
    EXPECT_EQ(f->windowTitle().section(" - Ditta:", 0, 0), "Tracciabilità lotti");
    EXPECT_TRUE(f->Sessione()->IBDatabase2.connected()) << "the host archive, for serials";
    EXPECT_FALSE(f->EditDal->isEnabled());
    // never more than the column searched holds
    EXPECT_EQ(f->EditValore->maxLength(), 20);
    f->ComboRicerca->setCurrentIndex(TTracciabilitaForm::DaSeriale);
    EXPECT_EQ(f->EditValore->maxLength(), 30);
    f->ComboRicerca->setCurrentIndex(TTracciabilitaForm::DaMateria);
    EXPECT_EQ(f->EditValore->maxLength(), 20);

    traccia(TTracciabilitaForm::DaFabbricazione, "B1");
    EXPECT_TRUE(msg->testi().isEmpty()) << msg->testi().join('|').toStdString();
    ASSERT_EQ(f->TreeTracciabilita->topLevelItemCount(), 1);
    QTreeWidgetItem* b1 = f->TreeTracciabilita->topLevelItem(0);
    EXPECT_EQ(b1->text(0), "P1 Detergente - lotto B1 del 01/03/2025");
    EXPECT_EQ(figli(b1), (QStringList{"Riga 1 - MP1 Tensioattivo", "Riga 2 - MP2 Profumo",
                                      "Riga 3 - MP3 Colorante"}));
    EXPECT_EQ(b1->child(0)->child(0)->text(1), "LA-01");
    EXPECT_EQ(b1->child(0)->child(0)->text(4), "10,5");
    EXPECT_EQ(figli(b1->child(2)), QStringList{"Nessuna pesata"});
    // the list: one row per batch, its columns titled in words
    EXPECT_EQ(f->GridTraccia->modello()->rowCount(), 1);
    GrigliaModello* m = f->GridTraccia->modello();
    EXPECT_EQ(m->titolo(m->indiceCampo("LOTTO")), "Lotto");
    EXPECT_EQ(m->titolo(m->indiceCampo("QUANTITALITRI")), "Quantità");
    EXPECT_EQ(f->LabelEsito->text(), "1 fabbricazioni, 1 righe senza pesata");

    traccia(TTracciabilitaForm::DaLottoFornitore, "LA-01");
    EXPECT_TRUE(f->EditDal->isEnabled());
    QTreeWidgetItem* lotto = f->TreeTracciabilita->topLevelItem(0);
    EXPECT_EQ(lotto->text(0), "Lotto fornitore LA-01");
    ASSERT_EQ(lotto->childCount(), 3);
    EXPECT_EQ(figli(lotto->child(0)),
              (QStringList{"Pesata - MP1 Tensioattivo",
                           "Ordine n. B1 del 01/03/2025 - cliente GEST Produzione gestita"}));
    EXPECT_EQ(lotto->child(0)->text(7), "Prodotta il 01/03/2025");
    EXPECT_EQ(f->GridTraccia->modello()->rowCount(), 3);

    f->EditDal->setText("01/04/2025");
    f->ButtonTraccia->click();
    EXPECT_EQ(f->TreeTracciabilita->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(f->GridTraccia->modello()->rowCount(), 1);
}

TEST_F(Schermata, WarnsOfWhatCannotBeTraced) {
    traccia(TTracciabilitaForm::DaFabbricazione, "");
    traccia(TTracciabilitaForm::DaFabbricazione, "B1");
    ASSERT_EQ(f->GridTraccia->modello()->rowCount(), 1);
    traccia(TTracciabilitaForm::DaFabbricazione, "NESSUNO");
    EXPECT_EQ(f->GridTraccia->modello()->rowCount(), 0) << "nothing of the last batch stays";
    EXPECT_EQ(f->TreeTracciabilita->topLevelItemCount(), 0);
    f->EditDal->setText("31/02/2025");
    traccia(TTracciabilitaForm::DaLottoFornitore, "LA-01");
    f->EditDal->setText("10/03/2025");
    f->EditAl->setText("01/03/2025");
    f->ButtonTraccia->click();
    f->EditDal->clear();
    f->EditAl->clear();
    traccia(TTracciabilitaForm::DaSeriale, "S9");
    EXPECT_EQ(msg->testi(),
              (QStringList{"Inserire il valore da tracciare",
                           "Nessuna fabbricazione con lotto o identificativo \"NESSUNO\"",
                           "Data non valida: \"31/02/2025\"",
                           "La data iniziale è successiva a quella finale",
                           "Nessuna fabbricazione trovata"}));
}

TEST_F(Schermata, PrintsTheTraceThroughTheReportEngine) {
    RICHIEDI_STRUMENTO("pdftotext", "poppler-utils");
    f->ButtonStampa->click();
    EXPECT_EQ(msg->testi(), QStringList{"Nessun record da stampare"});
    msg->pulisci();
    traccia(TTracciabilitaForm::DaFabbricazione, "B1");
    const QString pdf = h.radice() + "tracciabilita.pdf";
    msg->risposte = {"Sì"};
    msg->dialogo = [&](QDialog* d) {
        if (auto* p = qobject_cast<report::AnteprimaStampa*>(d)) {
            EXPECT_EQ(p->windowTitle(), "Anteprima stampa tracciabilità lotti");
            EXPECT_TRUE(p->esportaPdf(pdf));
        }
        return int(QDialog::Accepted);
    };
    f->ButtonStampa->click();
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    const QString testo = provareport::testoPdf(pdf);
    for (const char* atteso : {"ALL'INDIETRO", "lotto B1", "LA-01", "LB-02", "Nessuna pesata",
                               "Alfa Tensioattivi", "Colorante"}) {
        EXPECT_TRUE(testo.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                               << testo.toStdString();
    }
    EXPECT_FALSE(testo.contains("{?")) << testo.toStdString();

    // forward: the batches with their state and order
    msg->pulisci();
    QFile::remove(pdf);
    traccia(TTracciabilitaForm::DaLottoFornitore, "LA-01");
    msg->risposte = {"Sì"};
    f->ButtonStampa->click();
    EXPECT_EQ(msg->testi(), QStringList{"Avviare la stampa?"});
    const QString avanti = provareport::testoPdf(pdf);
    for (const char* atteso :
         {"IN AVANTI", "Lotto fornitore LA-01", "B1", "B2", "B3", "Prodotta il 01/03/2025",
          "Ordine n. B1 del 01/03/2025", "Impegnata il 04/03/2025"}) {
        EXPECT_TRUE(avanti.contains(QString::fromUtf8(atteso))) << atteso << "\n"
                                                                << avanti.toStdString();
    }
}
