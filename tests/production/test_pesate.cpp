// The weighing archive as the monitor works it, on the demo archives: the
// poll's classification and what it notices, with and without the indexes;
// the assignment's checks, its one unit over two archives, and two monitors
// assigning the same weighing.
#include "production/pesate.h"
#include "session/distribuita.h"
#include "stazione.h"
#include "support/archivi.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <mutex>

using namespace quintar;

namespace {

// The demo's open weighing of batch FM004 line 1 (MP008), and a package of
// that material received with lot CH25-0040 of supplier F001.
const QString kBil = QStringLiteral("BIL11");
const QString kMomento = QStringLiteral("2025-02-10 08:05:12.4170");
const QString kBarcode = QStringLiteral("CONTEST00000016");
const QString kSeriale = QStringLiteral("SR250013");

pesate::PesataElencata aperta() {
    return {kBil, kMomento, kBarcode, QVariant(132.1), pesate::kAperta, QStringLiteral("Verdi L.")};
}

// Log lines of the library while an object lives.
class Registro {
public:
    Registro() {
        std::lock_guard g(m_);
        righe_().clear();
        prima_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& s) {
            std::lock_guard g(m_);
            righe_() << s;
        });
    }
    ~Registro() { qInstallMessageHandler(prima_); }
    QString tutto() const {
        std::lock_guard g(m_);
        return righe_().join('\n');
    }

private:
    static QStringList& righe_() {
        static QStringList r;
        return r;
    }
    static inline std::mutex m_;
    QtMessageHandler prima_;
};

struct Archivi : ::testing::Test {
    prova::Cartella h{true};
    Database az, erp, pes;
    void SetUp() override {
        az.connect(h.c().azienda());
        erp.connect(h.c().erp());
        pes.connect(h.c().pesate());
    }
    QString nota(const QString& bilancia, const QString& momento) {
        return h.valore(h.c().pesate(),
                        QStringLiteral("SELECT COALESCE(NOTE, '-') FROM PESATE WHERE BILANCIA='%1' "
                                       "AND DATA_ORA='%2'")
                            .arg(bilancia, momento));
    }
    void pesa(const QString& bilancia, const QString& momento, double peso = 1.5,
              const QString& barcode = QStringLiteral("CONTEST00000016")) {
        tovaris::scriviPesate(pes, {{bilancia, barcode, peso, QStringLiteral("Neri"),
                                     QDateTime::fromString(momento, Qt::ISODateWithMs)}});
    }
    int storico() { return h.conta(h.c().azienda(), "SELECT COUNT(*) FROM PESATE_FABBR"); }
    QString pesataRiga(const QString& barcode) {
        return h.valore(
            h.c().azienda(),
            "SELECT COALESCE(CAST(CAST(PESATA AS NUMERIC(12,3)) AS VARCHAR(20)), '-') FROM "
            "FABBCOMPON WHERE "
            "SERIALE='" +
                barcode + "'");
    }
};

} // namespace

TEST(IntervalloPolling, MissingZeroNegativeOrNotANumberMeans200) {
    for (const char* t : {"", "abc", "0", "-5", "1,5"}) {
        EXPECT_EQ(pesate::intervalloPolling(QString::fromLatin1(t)), 200) << t;
    }
    EXPECT_EQ(pesate::intervalloPolling("1000"), 1000);
    EXPECT_EQ(pesate::intervalloPolling(" 350 "), 350);
}

TEST_F(Archivi, WeighingsArrivingTogetherAreClassifiedInOrderOfScaleAndMoment) {
    pesate::Sondaggio s(&pes);
    EXPECT_TRUE(s.esegui()) << "the first poll reports the list";
    // the demo's weighing not yet classified: BIL01 had no open weighing
    EXPECT_EQ(s.classificate(), 1);
    EXPECT_EQ(nota("BIL01", "2025-02-10 08:44:19.7060"), "APERTA");
    EXPECT_FALSE(s.esegui()) << "nothing new";

    // two of a new scale written together: the earlier opens, the later is wrong
    tovaris::scriviPesate(pes,
                          {{"B1", "CONTEST00000016", 2.0, "Neri",
                            QDateTime::fromString("2025-03-01T10:00:00.000", Qt::ISODateWithMs)},
                           {"B1", "CONTEST00000017", 3.0, "Neri",
                            QDateTime::fromString("2025-03-01T10:00:05.000", Qt::ISODateWithMs)}});
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(s.classificate(), 2);
    EXPECT_EQ(nota("B1", "2025-03-01 10:00:00.0000"), "APERTA");
    EXPECT_EQ(nota("B1", "2025-03-01 10:00:05.0000"), "ERRORE");

    // once the open one is assigned, the next weighing of the scale opens
    h.esegui(h.c().pesate(), {"UPDATE PESATE SET NOTE='CHIUSA' WHERE BILANCIA='B1' AND "
                              "DATA_ORA='2025-03-01 10:00:00.0000'"});
    pesa("B1", "2025-03-01T10:10:00.000");
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(nota("B1", "2025-03-01 10:10:00.0000"), "APERTA");

    // a scale code with a quote is classified like any other, and the polls go on
    pesa("B'2", "2025-03-01T11:00:00.000");
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(h.valore(h.c().pesate(), "SELECT NOTE FROM PESATE WHERE BILANCIA='B''2'"), "APERTA");
    pesa("B'2", "2025-03-01T11:00:01.000");
    pesa("B3", "2025-03-01T11:00:02.000");
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(s.classificate(), 2);
    EXPECT_EQ(nota("B3", "2025-03-01 11:00:02.0000"), "APERTA");
}

TEST_F(Archivi, APollNoticesWhatOthersChangedEvenWhenTheCountStaysTheSame) {
    pesate::Sondaggio s(&pes);
    s.esegui();
    ASSERT_TRUE(s.veloce()) << "the DDL's indexes";
    ASSERT_FALSE(s.esegui());

    // another monitor assigns an open weighing, a status is changed by hand
    h.esegui(h.c().pesate(), {"UPDATE PESATE SET NOTE='CHIUSA' WHERE BILANCIA='BIL02'"});
    EXPECT_TRUE(s.esegui());
    EXPECT_FALSE(s.esegui());
    h.esegui(h.c().pesate(), {"UPDATE PESATE SET NOTE='ANNULLATA' WHERE NOTE='ERRORE'"});
    EXPECT_TRUE(s.esegui());
    EXPECT_FALSE(s.esegui());

    // one weighing removed by hand and a new one arriving: the same count
    h.esegui(h.c().pesate(), {"DELETE FROM PESATE WHERE BARCODE='CONTEST00000001'"});
    pesa("BIL02", "2025-03-02T08:00:00.000");
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(nota("BIL02", "2025-03-02 08:00:00.0000"), "APERTA");

    // closed to cancelled by hand shows at the next whole-table count
    h.esegui(h.c().pesate(),
             {"UPDATE PESATE SET NOTE='ANNULLATA' WHERE BARCODE='CONTEST00000002'"});
    EXPECT_FALSE(s.esegui()) << "not before the minute is over";
    s.IntervalloConteggioMs = 0;
    EXPECT_TRUE(s.esegui());
    h.esegui(h.c().pesate(), {"DELETE FROM PESATE WHERE BARCODE='CONTEST00000003'"});
    EXPECT_TRUE(s.esegui());
    EXPECT_FALSE(s.esegui());
}

TEST_F(Archivi, WithoutTheIndexesThePollCountsTheTableAndSaysSo) {
    pes.disconnect();
    h.esegui(h.c().pesate(), {"DROP INDEX PESATE_NOTE", "DROP INDEX PESATE_DATA_ORA"});
    pes.connect(h.c().pesate());
    Registro log;
    pesate::Sondaggio s(&pes);
    s.prepara();
    EXPECT_FALSE(s.veloce());
    EXPECT_TRUE(log.tutto().contains("modalità lenta")) << log.tutto().toStdString();
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(nota("BIL01", "2025-02-10 08:44:19.7060"), "APERTA");
    EXPECT_FALSE(s.esegui());
    // every poll counts: a removal shows at once
    h.esegui(h.c().pesate(), {"DELETE FROM PESATE WHERE BARCODE='CONTEST00000001'"});
    EXPECT_TRUE(s.esegui());
    pesa("BIL01", "2025-03-02T08:00:00.000");
    EXPECT_TRUE(s.esegui());
    EXPECT_EQ(nota("BIL01", "2025-03-02 08:00:00.0000"), "ERRORE") << "BIL01 had an open one";

    // an index on DATA_ORA ascending is not the one the newest moment needs
    pes.disconnect();
    h.esegui(h.c().pesate(), {"CREATE INDEX PESATE_A ON PESATE (NOTE)",
                              "CREATE INDEX PESATE_B ON PESATE (DATA_ORA)"});
    pes.connect(h.c().pesate());
    EXPECT_FALSE(pesate::leggiIndici(pes).veloce());
    pes.disconnect();
    h.esegui(h.c().pesate(), {"CREATE DESCENDING INDEX PESATE_C ON PESATE (DATA_ORA)"});
    pes.connect(h.c().pesate());
    const pesate::IndiciPesate i = pesate::leggiIndici(pes);
    EXPECT_TRUE(i.veloce());
    EXPECT_EQ(i.note, "PESATE_A");
    EXPECT_EQ(i.dataOra, "PESATE_C");
    EXPECT_FALSE(i.ordineElenco);
}

TEST_F(Archivi, AnAssignmentStoresTheWeightTheHistoryAndClosesTheWeighingAsOneUnit) {
    const int prima = storico();
    pesate::Assegnazione a(&az, &erp, &pes);
    const pesate::Esito e = a.esegui(aperta(), "  " + kSeriale + " ");
    ASSERT_TRUE(e.riuscito()) << e.testo.toStdString();
    EXPECT_EQ(nota(kBil, kMomento), "CHIUSA");
    EXPECT_EQ(pesataRiga(kBarcode), "132.100");
    EXPECT_EQ(storico(), prima + 1);
    EXPECT_EQ(h.valore(h.c().azienda(),
                       "SELECT BILANCIA || '|' || DATAORA || '|' || BARCODE || '|' || CAST(PESO AS "
                       "NUMERIC(12,3)) || '|' "
                       "|| OPERATORE || '|' || ID_FABBRICAZIONE || '|' || BARCODE_LOTTO_MATERIA || "
                       "'|' || CODICEFABBRICAZIONE || '|' || DATAFABBRICAZIONE || '|' || "
                       "LOTTOFABBRICAZIONE || '|' || CODICEMATERIAPRIMA || '|' || CODICEFORNITORE "
                       "|| '|' || LOTTOMATERIAPRIMA FROM PESATE_FABBR ORDER BY ID DESC ROWS 1"),
              "BIL11|2025-02-10 08:05:12.4170|CONTEST00000016|132.100|Verdi L.|5|SR250013|FM004|"
              "2025-02-10|L25041|MP008|F001|CH25-0040");
    EXPECT_TRUE(transazioniInLimbo(az).empty());
    EXPECT_TRUE(transazioniInLimbo(pes).empty());
}

TEST_F(Archivi, TheChecksStopInTheirOrderAndWriteNothing) {
    h.esegui(h.c().azienda(),
             {"INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID) VALUES ('FM004', '2025-03-01', "
              "'SENZA-ID', NULL)",
              "INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
              "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, SERIALE) VALUES ('FM004', "
              "'2025-03-01', 'SENZA-ID', 1, 'MP008', 'CONTEST90000001')"});
    const int prima = storico();
    auto con = [](auto cambia) {
        pesate::PesataElencata p = aperta();
        cambia(p);
        return std::optional<pesate::PesataElencata>(p);
    };
    struct Caso {
        const char* perche;
        bool conErp;
        std::optional<pesate::PesataElencata> pesata;
        QString seriale;
        QString avviso;
    };
    const std::vector<Caso> casi = {
        {"no host archive", false, aperta(), kSeriale, "Archivio Tovaris non connesso"},
        {"no row", true, std::nullopt, kSeriale, "Nessuna pesata selezionata"},
        {"listed in error", true, con([](auto& p) { p.note = pesate::kErrore; }), kSeriale,
         "La pesata corrente non è aperta"},
        {"no barcode", true, con([](auto& p) { p.barcode.clear(); }), kSeriale,
         "La pesata corrente non ha tutti i dati"},
        {"no moment", true, con([](auto& p) { p.dataOra = " "; }), kSeriale,
         "La pesata corrente non ha tutti i dati"},
        {"weight 0", true, con([](auto& p) { p.peso = 0.0; }), kSeriale,
         "La pesata corrente non contiene un valore"},
        {"no weight", true, con([](auto& p) { p.peso = QVariant(); }), kSeriale,
         "La pesata corrente non contiene un valore"},
        {"unknown barcode", true, con([](auto& p) { p.barcode = "CONTEST' OR ''='"; }), kSeriale,
         "Barcode contest non trovato nelle fabbricazioni"},
        {"batch without number", true, con([](auto& p) { p.barcode = "CONTEST90000001"; }),
         kSeriale, "La fabbricazione del barcode contest non ha un numero identificativo"},
        {"unknown serial", true, aperta(), "SR99", "Seriale lotto non trovato"},
        {"serial with a quote", true, aperta(), "SR' OR ''='", "Seriale lotto non trovato"},
        {"package of another material", true, aperta(), "SR250015",
         "Il seriale lotto fa riferimento ad una materia prima non compatibile con il barcode "
         "contest"},
    };
    for (const Caso& c : casi) {
        pesate::Assegnazione a(&az, c.conErp ? &erp : nullptr, &pes);
        const pesate::Esito e = a.esegui(c.pesata, c.seriale);
        EXPECT_EQ(e.tipo, TipoMessaggio::Avviso) << c.perche;
        EXPECT_EQ(e.testo, c.avviso) << c.perche;
    }
    EXPECT_EQ(storico(), prima);
    EXPECT_EQ(pesataRiga(kBarcode), "-");
    EXPECT_EQ(nota(kBil, kMomento), "APERTA");
}

TEST_F(Archivi, OfTwoMonitorsAssigningTheSameWeighingOnlyOneSucceeds) {
    const int prima = storico();
    Database az2, erp2, pes2;
    az2.connect(h.c().azienda());
    erp2.connect(h.c().erp());
    pes2.connect(h.c().pesate());
    pesate::Assegnazione a(&az, &erp, &pes);
    pesate::Assegnazione b(&az2, &erp2, &pes2);
    // both checked the weighing while it was open; the first to write wins
    ASSERT_TRUE(a.verifica(aperta(), kSeriale).riuscito());
    ASSERT_TRUE(b.verifica(aperta(), "SR250014").riuscito());
    ASSERT_TRUE(a.scrivi().riuscito());
    const pesate::Esito eb = b.scrivi();
    EXPECT_EQ(eb.tipo, TipoMessaggio::Avviso);
    EXPECT_EQ(eb.testo, "La pesata corrente non è aperta");
    // a third one whose list still shows it open
    pesate::Assegnazione c(&az2, &erp2, &pes2);
    EXPECT_EQ(c.esegui(aperta(), "SR250014").testo, "La pesata corrente non è aperta");

    EXPECT_EQ(storico(), prima + 1);
    EXPECT_EQ(h.valore(h.c().azienda(),
                       "SELECT BARCODE_LOTTO_MATERIA FROM PESATE_FABBR ORDER BY ID DESC ROWS 1"),
              kSeriale);
    for (Database* d : {&az, &pes, &az2, &pes2}) {
        EXPECT_TRUE(transazioniInLimbo(*d).empty());
    }
}

TEST_F(Archivi, AFailedHistoryWriteLeavesTheLineAndTheWeighingAsTheyWere) {
    az.disconnect();
    h.esegui(h.c().azienda(), {"CREATE EXCEPTION STORICO_CHIUSO 'storico chiuso'",
                               "CREATE TRIGGER PESATE_FABBR_NO FOR PESATE_FABBR BEFORE INSERT AS "
                               "BEGIN EXCEPTION STORICO_CHIUSO; END"});
    az.connect(h.c().azienda());
    const int prima = storico();
    pesate::Assegnazione a(&az, &erp, &pes);
    const pesate::Esito e = a.esegui(aperta(), kSeriale);
    EXPECT_EQ(e.tipo, TipoMessaggio::Errore);
    EXPECT_TRUE(e.testo.startsWith("Errore interno durante la storicizzazione della pesata:\r\n"))
        << e.testo.toStdString();
    EXPECT_TRUE(e.testo.contains("storico chiuso"));
    EXPECT_EQ(pesataRiga(kBarcode), "-");
    EXPECT_EQ(nota(kBil, kMomento), "APERTA");
    EXPECT_EQ(storico(), prima);

    // a line gone since the check is refused as well
    pesate::Assegnazione b(&az, &erp, &pes);
    ASSERT_TRUE(b.verifica(aperta(), kSeriale).riuscito());
    h.esegui(h.c().azienda(),
             {"UPDATE FABBCOMPON SET SERIALE=NULL WHERE SERIALE='" + kBarcode + "'"});
    EXPECT_TRUE(b.scrivi().testo.startsWith(
        "Errore interno durante l'aggiornamento della fabbricazione:\r\n"));
    EXPECT_EQ(nota(kBil, kMomento), "APERTA");
}

TEST_F(Archivi, AStatusSetByHandIsBoundAndReported) {
    pesate::Sondaggio s(&pes);
    s.esegui();
    EXPECT_TRUE(
        pesate::cambiaStato(pes, s.scrittura(), kBil, kMomento, pesate::kAnnullata).riuscito());
    EXPECT_EQ(nota(kBil, kMomento), "ANNULLATA");
    const pesate::Esito e =
        pesate::cambiaStato(pes, s.scrittura(), "BIL11' OR ''='", kMomento, pesate::kChiusa);
    EXPECT_EQ(e.tipo, TipoMessaggio::Errore);
    EXPECT_TRUE(
        e.testo.startsWith("Errore interno durante l'aggiornamento status della pesata:\r\n"));
    EXPECT_EQ(h.conta(h.c().pesate(), "SELECT COUNT(*) FROM PESATE WHERE NOTE='CHIUSA'"), 15);
    EXPECT_TRUE(s.esegui());
}
