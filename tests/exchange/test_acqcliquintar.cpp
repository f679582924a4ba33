// The customer acquisition: the file compared with the archive, the three
// questions, what an overwrite keeps, delivery codes that belong to another
// subject, failures that skip one subject, and the file's encoding.
#include "comune.h"

#include "exchange/acqcliquintar.h"
#include "session/tabx.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace quintar;
using namespace prova;

namespace {

const QString kIntestazione =
    "Codice;Nome;Nome2;Indirizzo;CAP;Citta;Prov;Nazione;CF;PI;-;Rif;DNome;DNome2;DInd;DInd2;DInd3;"
    "DCAP;DCitta;DProv\r\n";

struct Acquisizione : Scambio<> {
    TAcqCliQuintarForm* f = nullptr;
    QTemporaryDir dir;
    void SetUp() override { f = apri<TAcqCliQuintarForm>("ShowAcqCliQuintarForm"); }

    QString file(const QByteArray& contenuto, const QString& nome = "clienti.csv") {
        const QString p = dir.filePath(nome);
        QFile out(p);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contenuto);
        return p;
    }
    void acquisisci(const QByteArray& contenuto, const QStringList& risposte) {
        f->EditFile->setText(file(contenuto));
        msg->pulisci();
        msg->risposte = {risposte.begin(), risposte.end()};
        f->ButtonAcquisisci->click();
    }
    QStringList riepilogo() const { return memo(f->MemoRiepilogo); }
    // Lines of the memo from the one that starts with `da`.
    QStringList da(const QString& inizio) const {
        const QStringList m = riepilogo();
        return m.mid(m.indexOf(inizio));
    }
    QStringList clienti() {
        return righe(erp(), "SELECT CODICE, RAGSOC, COALESCE(INDIRIZZO,''), COALESCE(PI,''), "
                            "COALESCE(INFO9,''), COALESCE(INTESTATARIOFATTURA,''), "
                            "COALESCE(NOTETECNICHE,''), OP1, OP2 FROM CLIENTI ORDER BY CODICE");
    }
};

} // namespace

TEST_F(Acquisizione, AFileMustBeChosenAndExist) {
    EXPECT_EQ(f->windowTitle(), "Acquisizione clienti - Ditta: Chimica Demo S.r.l.");
    EXPECT_TRUE(f->CheckSaltaPrimaRiga->isChecked());
    EXPECT_FALSE(f->PanelProgresso->isVisible());
    f->ButtonAcquisisci->click();
    f->EditFile->setText(dir.filePath("manca.csv"));
    f->ButtonAcquisisci->click();
    EXPECT_EQ(msg->testi(),
              (QStringList{"E' necessario selezionare un file", "Il file selezionato non esiste"}));

    msg->fileScelti = {dir.filePath("scelto.csv")};
    f->ButtonFile->click();
    EXPECT_EQ(f->EditFile->text(), dir.filePath("scelto.csv"));
}

// A binary file has semicolons and line ends too: read as Windows-1252 it
// would give customers whose codes are bytes. It is refused before anything
// is counted, offered or written.
TEST_F(Acquisizione, AFileThatIsNotTextIsRefusedBeforeAnythingIsOffered) {
    const int prima = conta(erp(), "SELECT COUNT(*) FROM CLIENTI");
    f->CheckSaltaPrimaRiga->setChecked(false);
    QByteArray senzaNul; // control bytes, no NUL: 1 to 255 over and over
    for (int i = 0; i < 1024; ++i) {
        senzaNul += char(1 + i % 255);
    }
    static const char png[] = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR;C1;\xFF\r\nC2;x;\r\nC3;y\r\n";
    for (const QByteArray& binario : {QByteArray(png, sizeof(png) - 1), senzaNul}) {
        acquisisci(binario, {"Sì", "Sì"});
        EXPECT_EQ(msg->testi(), QStringList{"Il file selezionato non è un file di testo e non può "
                                            "essere acquisito"});
        EXPECT_TRUE(riepilogo().join("").isEmpty()) << riepilogo().join('|').toStdString();
        EXPECT_FALSE(f->PanelProgresso->isVisible());
    }
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLIENTI"), prima);
}

TEST_F(Acquisizione, NewCustomersAndTheirDeliveryAddressesAreAdded) {
    const QByteArray file =
        (kIntestazione +
         "C1;ROSSI;SPA;Via dell'Orto 1;20100;Milano;MI;Italia;RSSMRA;0123456789012;x;R1;Magazzino;"
         "Nord;Via Po 2;Scala B;;20121;Milano;MI\r\n"
         "C1;Altro nome;;;;;;;;;;R2;stesso;;Via Dante 3;;Piano 2;;;\r\n")
            .toUtf8();
    acquisisci(file, {"Sì"});
    EXPECT_EQ(msg->testi(),
              (QStringList{"Analisi file terminata\r\rTotale clienti rilevati: 1\rTotale "
                           "destinatari rilevati: 2\r(nessun soggetto con modifiche rilevato)"
                           "\r\rAvviare l'acquisizione dei soggetti?",
                           "Elaborazione completata"}));
    EXPECT_EQ(clienti(),
              (QStringList{"C1|ROSSI SPA|Via dell" + kAcuto + "Orto 1|01234567890||||2|2",
                           "C101|Magazzino Nord|Via Po 2||R1|C1|<INDIRIZZO AGG2=Scala B>|2|2",
                           "C102|ROSSI SPA|Via Dante 3||R2|C1|<INDIRIZZO AGG3=Piano 2>|2|2"}));
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLIENTI WHERE DATACREAZIONE=CURRENT_DATE AND "
                           "DATAULTIMOAGGIORNAMENTO=CURRENT_DATE"),
              3);
    EXPECT_EQ(
        riepilogo(),
        (QStringList{"Codifica del file: UTF-8", "Inizio analisi file", "Analisi file terminata",
                     "", "Totale clienti rilevati: 1", "Totale clienti nuovi: 1",
                     "Totale clienti con modifiche: 0", "Totale destinatari rilevati: 2",
                     "Totale destinatari nuovi: 2", "Totale destinatari con modifiche: 0", "",
                     "Inizio acquisizione dati", "Acquisizione dati terminata", "",
                     "Totale clienti aggiunti: 1", "Totale clienti falliti: 0",
                     "Totale destinatari aggiunti: 2", "Totale destinatari falliti: 0"}));
    EXPECT_FALSE(f->PanelProgresso->isVisible());
    EXPECT_TRUE(f->ButtonAcquisisci->isEnabled());

    // the same file again: nothing new, nothing changed, nothing written
    h.esegui(erp(), {"UPDATE CLIENTI SET DATAULTIMOAGGIORNAMENTO='2020-01-01'"});
    acquisisci(file, {});
    EXPECT_EQ(msg->testi(), QStringList{"Nel file non è stato rilevato nessun soggetto nuovo o "
                                        "modificato"});
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLIENTI WHERE DATAULTIMOAGGIORNAMENTO="
                           "'2020-01-01'"),
              3);
}

TEST_F(Acquisizione, AnOverwriteKeepsCreationDataAndWhatTheFileDoesNotCarry) {
    h.esegui(erp(),
             {"INSERT INTO CLIENTI (CODICE,RAGSOC,NAZIONE,INFO9,NOTETECNICHE,OP1,DATACREAZIONE,"
              "OP2,DATAULTIMOAGGIORNAMENTO) VALUES ('C1','Vecchio','Italia','A1','nota',7,"
              "'2019-05-01',7,'2019-05-01')",
              "INSERT INTO CLIENTI (CODICE,RAGSOC,PI,CF,INTESTATARIOFATTURA,OP1,DATACREAZIONE) "
              "VALUES ('C101','Deposito vecchio','11111111111','CFDEP','C1',7,'2019-05-01')"});
    const QByteArray file =
        (kIntestazione + "C1;Nuovo;;Via Nuova;;;;;;;;R9;Deposito;nuovo;Via Depositi;;;;;\r\n"
                         "C2;Altro;;;;;;;;;;;;\r\n")
            .toUtf8();
    // No: only the new customer
    acquisisci(file, {"No"});
    ASSERT_EQ(msg->testi().size(), 2);
    EXPECT_EQ(msg->testi()[0],
              "Analisi file terminata\r\rTotale clienti rilevati: 2\rTotale clienti nuovi: 1\r"
              "Totale clienti con modifiche: 1\rTotale destinatari rilevati: 1\rTotale "
              "destinatari nuovi: 0\rTotale destinatari con modifiche: 1\r\rVerranno ora "
              "acquisiti i nuovi soggetti.\rEffettuare anche la sovrascrittura dei soggetti che "
              "hanno subito variazioni?");
    EXPECT_TRUE(riepilogo().contains(
        "Cliente C1 presente in archivio con \"Vecchio\" mentre nel file presente con \"Nuovo\""));
    EXPECT_TRUE(riepilogo().contains("Destinatario C101 presente in archivio con \"Deposito "
                                     "vecchio\" mentre nel file presente con \"Deposito nuovo\""));
    EXPECT_EQ(da("Acquisizione dati terminata"),
              (QStringList{"Acquisizione dati terminata", "", "Totale clienti aggiunti: 1",
                           "Totale clienti falliti: 0", "Totale destinatari aggiunti: 0",
                           "Totale destinatari falliti: 0"}));
    EXPECT_EQ(righe(erp(), "SELECT CODICE, RAGSOC FROM CLIENTI ORDER BY CODICE"),
              (QStringList{"C1|Vecchio", "C101|Deposito vecchio", "C2|Altro"}));

    // Cancel: nothing at all
    h.esegui(erp(), {"DELETE FROM CLIENTI WHERE CODICE='C2'"});
    acquisisci(file, {"Annulla"});
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLIENTI"), 2);

    // Yes: overwritten in the columns of the file only
    acquisisci(file, {"Sì"});
    EXPECT_EQ(da("Acquisizione dati terminata"),
              (QStringList{"Acquisizione dati terminata", "", "Totale clienti aggiunti: 1",
                           "Totale clienti sovrascritti: 1", "Totale clienti falliti: 0",
                           "Totale destinatari aggiunti: 0", "Totale destinatari sovrascritti: 1",
                           "Totale destinatari falliti: 0"}));
    EXPECT_EQ(righe(erp(), "SELECT CODICE, RAGSOC, COALESCE(INDIRIZZO,'-'), "
                           "COALESCE(NAZIONE,'-'), COALESCE(PI,'-'), COALESCE(CF,'-'), "
                           "COALESCE(INFO9,'-'), COALESCE(INTESTATARIOFATTURA,'-'), "
                           "COALESCE(NOTETECNICHE,'-'), OP1, DATACREAZIONE, OP2 FROM CLIENTI "
                           "WHERE CODICE STARTING WITH 'C1' ORDER BY CODICE"),
              (QStringList{"C1|Nuovo|Via Nuova|-|-|-|A1|-|nota|7|2019-05-01|2",
                           "C101|Deposito nuovo|Via Depositi|-|11111111111|CFDEP|R9|C1|-|7|"
                           "2019-05-01|2"}));
    EXPECT_EQ(conta(erp(), "SELECT COUNT(*) FROM CLIENTI WHERE CODICE='C1' AND "
                           "DATAULTIMOAGGIORNAMENTO=CURRENT_DATE"),
              1);
}

TEST_F(Acquisizione, OnlyChangedSubjectsAskForTheOverwrite) {
    h.esegui(erp(), {"INSERT INTO CLIENTI (CODICE,RAGSOC) VALUES ('C1','Vecchio')"});
    acquisisci((kIntestazione + "C1;Nuovo;;;;;;;;;;;;\r\n").toUtf8(), {"No"});
    EXPECT_EQ(msg->testi(), QStringList{"Analisi file terminata\r\rTotale clienti con modifiche "
                                        "rilevati: 1\rTotale destinatari con modifiche rilevati: "
                                        "0\r(nessun soggetto nuovo da acquisire)\r\rAvviare la "
                                        "sovrascrittura dei soggetti?"});
    EXPECT_EQ(righe(erp(), "SELECT RAGSOC FROM CLIENTI"), QStringList{"Vecchio"});
}

TEST_F(Acquisizione, ADeliveryCodeOfAnotherSubjectIsReportedAndNeverWritten) {
    // C2's first delivery address would be C201, a customer of the archive;
    // C1's first would be C101, a customer of the file; C1's 101st and C11's
    // first are both C1101
    h.esegui(erp(), {"INSERT INTO CLIENTI (CODICE,RAGSOC) VALUES ('C201','Cliente in archivio')"});
    QByteArray file = kIntestazione.toUtf8();
    file += "C1;Primo;;;;;;;;;;;Deposito;uno;;;;;;\r\n";
    file += "C2;Secondo;;;;;;;;;;;Deposito;due;;;;;;\r\n";
    file += "C101;Cliente del file;;;;;;;;;;;;\r\n";
    for (int i = 2; i <= 101; ++i) {
        file += "C1;Primo;;;;;;;;;;;Punto;" + QByteArray::number(i) + ";;;;;;\r\n";
    }
    file += "C11;Terzo;;;;;;;;;;;Deposito;tre;;;;;;\r\n";
    acquisisci(file, {"Sì"});
    const QStringList m = riepilogo();
    EXPECT_TRUE(m.contains("Destinatario C101 del cliente C1 (riga 2) non acquisibile: il codice "
                           "è quello di un cliente del file"));
    EXPECT_TRUE(m.contains("Destinatario C201 del cliente C2 (riga 3) non acquisibile: il codice "
                           "è quello di un cliente in archivio"));
    EXPECT_TRUE(m.contains("Destinatario C1101 del cliente C11 (riga 105) non acquisibile: il "
                           "codice è già del destinatario della riga 104"));
    EXPECT_TRUE(m.contains("Totale destinatari rilevati: 103"));
    EXPECT_TRUE(m.contains("Totale destinatari nuovi: 100"));
    EXPECT_EQ(righe(erp(), "SELECT CODICE, RAGSOC, COALESCE(INTESTATARIOFATTURA,'-') FROM "
                           "CLIENTI WHERE CODICE IN ('C101','C201','C1101') ORDER BY CODICE"),
              (QStringList{"C101|Cliente del file|-", "C1101|Punto 101|C1",
                           "C201|Cliente in archivio|-"}));
}

TEST_F(Acquisizione, AFailedSubjectIsSkippedAndTheOthersAreKept) {
    h.esegui(erp(), {"INSERT INTO CLIENTI (CODICE,RAGSOC) VALUES ('C5','Vecchio')",
                     "ALTER TABLE CLIENTI ADD CONSTRAINT NOME_VIETATO CHECK (RAGSOC IS DISTINCT "
                     "FROM 'Nome vietato')"});
    const QString lungo = QString(25, 'L'); // one more than a code holds
    const QByteArray file =
        (kIntestazione + lungo + ";Troppo lungo;;;;;;;;;;;Sede;;;;;;;\r\n" +
         "C5;Nome vietato;;;;;;;;;;;Filiale;;;;;;;\r\n" + "C6;Buono;;;;;;;;;;;;\r\n")
            .toUtf8();
    acquisisci(file, {"Sì"});
    EXPECT_EQ(msg->testi().last(), "Elaborazione completata");
    const QStringList m = riepilogo();
    const int i = int(m.indexOf("Fallita elaborazione cliente " + lungo + ":"));
    ASSERT_GE(i, 0) << f->MemoRiepilogo->toPlainText().toStdString();
    // its delivery address would point at nothing
    EXPECT_TRUE(m.contains("Fallita elaborazione destinatario " + lungo + "01:"));
    EXPECT_TRUE(m.contains("il cliente " + lungo + " non è in archivio"));
    EXPECT_TRUE(m.contains("Fallita elaborazione cliente C5:"));
    EXPECT_EQ(da("Acquisizione dati terminata"),
              (QStringList{"Acquisizione dati terminata", "", "Totale clienti aggiunti: 1",
                           "Totale clienti sovrascritti: 0", "Totale clienti falliti: 2",
                           "Totale destinatari aggiunti: 1", "Totale destinatari sovrascritti: 0",
                           "Totale destinatari falliti: 1"}));
    // C5 stays as it was and still gets its new delivery address
    EXPECT_EQ(righe(erp(), "SELECT CODICE, RAGSOC, COALESCE(INTESTATARIOFATTURA,'-') FROM "
                           "CLIENTI ORDER BY CODICE"),
              (QStringList{"C5|Vecchio|-", "C501|Filiale|C5", "C6|Buono|-"}));
}

TEST_F(Acquisizione, AWindows1252FileIsReadAsSuchAndTheMemoSaysSo) {
    f->CheckSaltaPrimaRiga->setChecked(false);
    acquisisci(QByteArray("C1;Caff\xE8 Trieste;;Via dell'Erba;;Forl\xEC;FC\r\n"), {"Sì"});
    EXPECT_EQ(riepilogo().first(), "Codifica del file: Windows-1252");
    EXPECT_EQ(righe(erp(), "SELECT RAGSOC, INDIRIZZO, CITTA FROM CLIENTI"),
              QStringList{QString::fromUtf8("Caffè Trieste|Via dell") + kAcuto +
                          QString::fromUtf8("Erba|Forlì")});

    acquisisci(QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("C2;Perù S.A.\n").toUtf8(), {"Sì"});
    EXPECT_EQ(riepilogo().first(), "Codifica del file: UTF-8 (con BOM)");
    EXPECT_EQ(righe(erp(), "SELECT RAGSOC FROM CLIENTI WHERE CODICE='C2'"),
              QStringList{QString::fromUtf8("Perù S.A.")});
}
