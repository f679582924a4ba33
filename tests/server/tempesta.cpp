// Hosts that die in the middle of their work, and the second host that opens
// the screens after them, through the archives a host folder names (on a
// server, by their dati.ini).
//
//   server_tempesta --lavora DIR SEED READY LOG [SECONDS]
//       the worker: makes batches and weighings, commits, posts and assigns
//       weighings through the screens in a loop (choices and pauses from
//       SEED) until it is killed or SECONDS (120) are over; now and then a
//       run is told to die at one of the commit's points (QUINTAR_INTERROMPI).
//       READY is created once the screens are open; LOG gets one line per event.
//   server_tempesta --una DIR KIND POINT KEY
//       one run of KIND (impegno, produzione, pesata) on work of its own,
//       dying at POINT; KEY gets "KIND lot-or-scale" before the run
//   server_tempesta --annulla DIR KEY
//       a commitment-like unit, prepared, whose owner rolls the host's part
//       back and dies before the company's part
//   server_tempesta --verifica DIR [--dopo PID] [--schermate K,K...] [--esatte]
//                   [--limbo Q,T,P] [--atteso KIND KEY fatto|annullato]
//       the second host: opens the screens, then checks both archives
//       (tempesta_verifica.cpp); exit 1 on any problem
#include "tempesta.h"

#include "host/lancio.h"
#include "inizializza.h"
#include "production/dovute.h"
#include "production/idpesate.h"
#include "production/lavorazionefabbricazioni.h"
#include "session/connessione.h"
#include "session/datiini.h"
#include "session/distribuita.h"
#include "session/percorsi.h"
#include "stazione.h"
#include "ui/grigliamodello.h"
#include "ui/selezionegriglia.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <algorithm>
#include <cstdio>

namespace tempesta {

QString nomeLavoro(Lavoro l) {
    switch (l) {
    case Lavoro::Impegno:
        return QStringLiteral("impegno");
    case Lavoro::Produzione:
        return QStringLiteral("produzione");
    case Lavoro::Pesata:
        return QStringLiteral("pesata");
    }
    return {};
}

std::optional<Lavoro> lavoroDaNome(const QString& nome) {
    for (Lavoro l : {Lavoro::Impegno, Lavoro::Produzione, Lavoro::Pesata}) {
        if (nomeLavoro(l) == nome) {
            return l;
        }
    }
    return std::nullopt;
}

Archivi::Archivi(const QString& dir) {
    tovaris::Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    c.server = datiini::leggi(c.radice + QStringLiteral("Dati/"), QStringLiteral("Nome Server"));
    az.connect(tovaris::nomeConnessione(c.azienda()));
    erp.connect(tovaris::nomeConnessione(c.erp()));
    pes.connect(tovaris::nomeConnessione(c.pesate()));
}

QVariant scalare(Database& db, const QString& sql, const std::vector<QVariant>& valori) {
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {sql};
    q.setParams(valori);
    const QVariant v = q.scalar();
    t.commit();
    return v;
}

void esegui(Database& db, const QString& sql, const std::vector<QVariant>& valori) {
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {sql};
    q.setParams(valori);
    q.execSQL();
    t.commit();
}

std::vector<std::vector<QVariant>> righe(Database& db, const QString& sql,
                                         const std::vector<QVariant>& valori) {
    Transaction t(&db);
    Query q(&db, &t);
    q.SQL = {sql};
    q.setParams(valori);
    std::vector<std::vector<QVariant>> r;
    for (q.open(); !q.eof(); q.next()) {
        std::vector<QVariant> riga;
        for (int i = 0; i < q.fieldCount(); ++i) {
            riga.push_back(q.valore(i));
        }
        r.push_back(std::move(riga));
    }
    q.close();
    t.commit();
    return r;
}

QString creaFabbricazione(Database& az, const QString& prodotto) {
    Transaction t(&az);
    Query q(&az, &t);
    q.SQL = {QStringLiteral("SELECT GEN_ID(ID_FABBRICAZIONE_COUNTER, 1) FROM RDB$DATABASE")};
    const qint64 id = q.scalar().toLongLong();
    const QString lotto = kPrefissoLotto + QString::number(id);
    const QDate data = QDate(2030, 1, 1).addDays(id);
    q.SQL = {QStringLiteral("INSERT INTO FABBRIC (CODICE, DATA, LOTTO, ID, NOMEPRODOTTO, "
                            "QUANTITALITRI, UNITAMISURA, STATUS, FABBRICAZIONEDA, "
                            "STORICOAGGIORNATO)"),
             QStringLiteral(
                 "SELECT P.CODICE, CAST(? AS DATE), CAST(? AS VARCHAR(20)), CAST(? AS INTEGER), "
                 "P.NOME, CAST(? AS DOUBLE PRECISION), 'Litri', 'DA FARE', 'MP', '0' "
                 "FROM PRODOT P WHERE P.CODICE = ?")};
    q.setParams({data, lotto, id, double(500 + id % 7 * 100), prodotto});
    if (q.execSQL() != 1) {
        throw DbError(QStringLiteral("prodotto %1 non trovato").arg(prodotto));
    }
    // each line with its barcode, as the pre-production sheet gives them
    q.SQL = {QStringLiteral("INSERT INTO FABBCOMPON (CODICEFABBRICAZIONE, DATAFABBRICAZIONE, "
                            "LOTTOFABBRICAZIONE, NRIGA, CODICEMATERIAPRIMA, PERCENTUALE, "
                            "CODICEFORMULAZIONE, SERIALE)"),
             QStringLiteral("SELECT P.CODICE, CAST(? AS DATE), CAST(? AS VARCHAR(20)), C.NRIGA, "
                            "C.CODICEMATERIAPRIMA, C.PERCENTUALE, C.CODICEFORMULAZIONE, "
                            "'CONTEST' || CAST(CAST(? AS INTEGER) + C.NRIGA AS VARCHAR(8))"),
             QStringLiteral("FROM PRODOT P JOIN COMPON C ON C.CODICEFORMULAZIONE = "
                            "P.CODICEFORMULAZIONE WHERE P.CODICE = ?")};
    q.setParams({data, lotto, 50000000 + id * 100, prodotto});
    q.execSQL();
    t.commit();
    return lotto;
}

QString pesaRiga(Archivi& a, const QString& lotto, double peso) {
    QSet<QString> pesate;
    for (const auto& r :
         righe(a.pes, QStringLiteral("SELECT BARCODE FROM PESATE WHERE BILANCIA STARTING WITH ?"),
               {kPrefissoBilancia})) {
        pesate.insert(r[0].toString());
    }
    QString barcode;
    for (const auto& r :
         righe(a.az,
               QStringLiteral(
                   "SELECT A.SERIALE FROM FABBCOMPON A JOIN FABBRIC F ON "
                   "F.CODICE = A.CODICEFABBRICAZIONE AND F.DATA = A.DATAFABBRICAZIONE "
                   "AND F.LOTTO = A.LOTTOFABBRICAZIONE WHERE F.LOTTO STARTING WITH ? "
                   "AND (F.LOTTO = ? OR CAST(? AS VARCHAR(20)) = '') AND F.STATUS IN ('DA FARE', "
                   "'IMPEGNATA') AND A.SERIALE IS NOT NULL ORDER BY F.ID, A.NRIGA"),
               {kPrefissoLotto, lotto, lotto})) {
        if (!pesate.contains(r[0].toString())) {
            barcode = r[0].toString();
            break;
        }
    }
    if (barcode.isEmpty()) {
        return {};
    }
    const qint64 n = scalare(a.pes,
                             QStringLiteral("SELECT COUNT(*) FROM PESATE WHERE BILANCIA STARTING "
                                            "WITH ?"),
                             {kPrefissoBilancia})
                         .toLongLong();
    const QString bilancia = kPrefissoBilancia + QStringLiteral("%1").arg(n + 1, 6, 10, QChar('0'));
    QDateTime momento = QDateTime::currentDateTime();
    momento.setTime(QTime(momento.time().hour(), momento.time().minute(), momento.time().second(),
                          momento.time().msec()));
    tovaris::scriviPesate(a.pes, {{bilancia, barcode, peso, QStringLiteral("Tempesta"), momento}});
    return bilancia;
}

QString serialePer(Archivi& a, const QString& bilancia) {
    const QString barcode =
        scalare(a.pes, QStringLiteral("SELECT BARCODE FROM PESATE WHERE BILANCIA = ?"), {bilancia})
            .toString();
    const QString materia =
        scalare(a.az, QStringLiteral("SELECT CODICEMATERIAPRIMA FROM FABBCOMPON WHERE SERIALE = ?"),
                {barcode})
            .toString();
    return scalare(a.erp,
                   QStringLiteral("SELECT MIN(SERIALE) FROM RIGHEDDTCAR WHERE CODICEARTICOLO = ?"),
                   {materia})
        .toString();
}

// ---------------------------------------------------------------- log

Registro::Registro(const QString& file) : file_(std::make_unique<QFile>(file)) {
    if (!file_->open(QIODevice::Append | QIODevice::Text)) {
        std::fprintf(stderr, "log %s non scrivibile\n", qPrintable(file));
    }
}

Registro::~Registro() = default;

void Registro::operator()(const QString& riga) {
    // written through at once: the process may be killed at any instruction
    file_->write((riga.simplified() + '\n').toUtf8());
    file_->flush();
}

// ---------------------------------------------------------------- screens

Schermate::~Schermate() {
    chiudiTutte();
}

FinestraSessione*& Schermate::posto(Lavoro l) {
    switch (l) {
    case Lavoro::Impegno:
        return imp_;
    case Lavoro::Produzione:
        return prod_;
    case Lavoro::Pesata:
        break;
    }
    return pes_;
}

FinestraSessione* Schermate::apri(Lavoro l) {
    FinestraSessione*& f = posto(l);
    if (f) {
        return f;
    }
    const char* entrata = l == Lavoro::Impegno      ? "ShowImpFabbrForm"
                          : l == Lavoro::Produzione ? "ShowProdFabbrForm"
                                                    : "ShowIdPesateForm";
    QElapsedTimer t;
    t.start();
    f = LanciaSchermata(*trovaSchermata(QString::fromLatin1(entrata)), utente_, std::nullopt);
    ultimaMs_ = t.elapsed();
    if (auto* p = qobject_cast<TIdPesateForm*>(f)) {
        // the closed ones out of the list, as an operator keeps it
        p->CheckNoChiuse->setChecked(true);
    }
    return f;
}

LavorazioneFabbricazioni* Schermate::impegno() {
    return qobject_cast<LavorazioneFabbricazioni*>(apri(Lavoro::Impegno));
}

LavorazioneFabbricazioni* Schermate::produzione() {
    return qobject_cast<LavorazioneFabbricazioni*>(apri(Lavoro::Produzione));
}

TIdPesateForm* Schermate::pesate() {
    return qobject_cast<TIdPesateForm*>(apri(Lavoro::Pesata));
}

LavorazioneFabbricazioni* Schermate::riapri(Lavoro l) {
    chiudi(l);
    return qobject_cast<LavorazioneFabbricazioni*>(apri(l));
}

void Schermate::chiudi(Lavoro l) {
    FinestraSessione*& f = posto(l);
    if (!f) {
        return;
    }
    QPointer<FinestraSessione> p = f;
    f = nullptr;
    p->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Schermate::chiudiTutte() {
    for (Lavoro l : {Lavoro::Impegno, Lavoro::Produzione, Lavoro::Pesata}) {
        chiudi(l);
    }
}

bool scegli(LavorazioneFabbricazioni* f, const QStringList& lotti) {
    f->Selezione->svuota();
    for (const QString& lotto : lotti) {
        const int r =
            f->GridFabbr->modello()->cerca("LOTTO", [&](const QString& v) { return v == lotto; });
        if (r < 0) {
            f->Selezione->svuota();
            return false;
        }
        f->GridFabbr->setCurrentIndex(f->GridFabbr->modello()->index(r, 0));
        f->Selezione->cambiaCorrente();
    }
    return true;
}

bool assegna(TIdPesateForm* f, const QString& bilancia, const QString& seriale) {
    // a poll as the timer makes it: the new weighing is classified and listed
    f->TimerPollingTimer();
    int r = f->Modello->cerca("BILANCIA", [&](const QString& v) { return v == bilancia; });
    if (r < 0) {
        f->MostraElenco();
        r = f->Modello->cerca("BILANCIA", [&](const QString& v) { return v == bilancia; });
    }
    if (r < 0) {
        return false;
    }
    f->GridPesate->setCurrentIndex(f->Modello->index(r, 0));
    const auto p = f->pesataSelezionata();
    if (!p || p->bilancia != bilancia) {
        return false;
    }
    f->EditBarcodeLottoMateria->setText(seriale);
    f->EditBarcodeLottoMateriaInvio();
    return true;
}

QStringList messaggi(const MessaggiRegistrati& reg, size_t da) {
    QStringList r;
    for (size_t i = da; i < reg.mostrati.size(); ++i) {
        const auto& m = reg.mostrati[i];
        r << Messaggi::titolo(m.tipo) + ": " + m.testo.simplified();
    }
    return r;
}

bool soloInformazioni(const MessaggiRegistrati& reg, size_t da) {
    for (size_t i = da; i < reg.mostrati.size(); ++i) {
        if (reg.mostrati[i].tipo != TipoMessaggio::Informazione) {
            return false;
        }
    }
    return true;
}

namespace {

const char* const kPunti[] = {"preparata-prima", "preparate", "decisa", "annullate-altre"};
const QStringList kProdotti = {QStringLiteral("FM001"), QStringLiteral("FM003"),
                               QStringLiteral("FM004"), QStringLiteral("FM005")};

QStringList lottiIn(Database& az, const QString& stato) {
    QStringList r;
    for (const auto& riga :
         righe(az,
               QStringLiteral("SELECT LOTTO FROM FABBRIC WHERE LOTTO STARTING WITH ? AND STATUS = "
                              "? ORDER BY ID"),
               {kPrefissoLotto, stato})) {
        r << riga[0].toString();
    }
    return r;
}

QStringList pesateAperte(Database& pes) {
    QStringList r;
    for (const auto& riga :
         righe(pes,
               QStringLiteral("SELECT BILANCIA FROM PESATE WHERE BILANCIA STARTING WITH ? AND "
                              "(NOTE IS NULL OR NOTE = 'APERTA') ORDER BY BILANCIA"),
               {kPrefissoBilancia})) {
        r << riga[0].toString();
    }
    return r;
}

// A serial of a material other than the line's: the assignment refuses it.
QString serialeSbagliato(Archivi& a, const QString& bilancia) {
    const QString giusto = serialePer(a, bilancia);
    return giusto == QLatin1String("SR250001") ? QStringLiteral("SR250003")
                                               : QStringLiteral("SR250001");
}

// ---------------------------------------------------------------- worker

int lavora(QApplication& app, const QString& dir, unsigned seme, const QString& pronto,
           const QString& fileLog, int secondi) {
    Registro log(fileLog);
    log(QStringLiteral("AVVIO %1 pid %2").arg(seme).arg(QCoreApplication::applicationPid()));
    RegistraMessaggi reg;
    reg->dialogo = [](QDialog*) { return kRisultatoAnnulla; };
    Archivi a(dir);
    std::mt19937 rng(seme);
    auto caso = [&](int n) { return int(rng() % unsigned(n)); };
    auto problema = [&](const QString& t) {
        log(QStringLiteral("PROBLEMA ") + t);
        std::fprintf(stderr, "%s\n", qPrintable(t));
        return 1;
    };

    // work at hand before the screens read their lists
    while (lottiIn(a.az, QStringLiteral("DA FARE")).size() < 3) {
        creaFabbricazione(a.az, kProdotti[caso(kProdotti.size())]);
    }
    if (pesateAperte(a.pes).isEmpty()) {
        pesaRiga(a, {}, 1 + caso(100000) / 100.0);
    }
    Schermate s(1, *reg);
    for (Lavoro l : {Lavoro::Impegno, Lavoro::Produzione, Lavoro::Pesata}) {
        const size_t da = reg->mostrati.size();
        if (l == Lavoro::Pesata
                ? static_cast<QWidget*>(s.pesate())
                : static_cast<QWidget*>(l == Lavoro::Impegno ? s.impegno() : s.produzione())) {
            log(QStringLiteral("APERTURA %1 %2").arg(nomeLavoro(l)).arg(s.ultimaApertura()));
        } else {
            return problema(QStringLiteral("schermata %1 non aperta").arg(nomeLavoro(l)));
        }
        if (!soloInformazioni(*reg, da)) {
            return problema(QStringLiteral("apertura di %1: %2")
                                .arg(nomeLavoro(l), messaggi(*reg, da).join('|')));
        }
    }
    QFile(pronto).open(QIODevice::WriteOnly);

    QElapsedTimer tempo;
    tempo.start();
    while (tempo.elapsed() < qint64(secondi) * 1000) {
        const int x = caso(10);
        Lavoro l = x < 4 ? Lavoro::Impegno : x < 7 ? Lavoro::Produzione : Lavoro::Pesata;
        // now and then the run dies at a point of its commit
        QString punto;
        if (caso(25) == 0) {
            punto = QString::fromLatin1(kPunti[caso(l == Lavoro::Pesata ? 4 : 3)]);
        }
        QStringList chiavi;
        if (l == Lavoro::Produzione) {
            chiavi = lottiIn(a.az, QStringLiteral("IMPEGNATA"));
            if (chiavi.isEmpty()) {
                l = Lavoro::Impegno;
            }
        }
        if (l == Lavoro::Impegno) {
            chiavi = lottiIn(a.az, QStringLiteral("DA FARE"));
            while (chiavi.size() < 2) {
                chiavi << creaFabbricazione(a.az, kProdotti[caso(kProdotti.size())]);
            }
        }
        if (l != Lavoro::Pesata) {
            std::shuffle(chiavi.begin(), chiavi.end(), rng);
            chiavi = chiavi.mid(0, 1 + caso(2));
        } else {
            chiavi = pesateAperte(a.pes);
            if (chiavi.isEmpty()) {
                QString b = pesaRiga(a, {}, 1 + caso(100000) / 100.0);
                if (b.isEmpty()) {
                    pesaRiga(a, creaFabbricazione(a.az, kProdotti[caso(kProdotti.size())]),
                             1 + caso(100000) / 100.0);
                    b = pesateAperte(a.pes).value(0);
                }
                chiavi = {b};
            }
            chiavi = chiavi.mid(caso(int(chiavi.size())), 1);
        }
        const size_t da = reg->mostrati.size();
        bool scelte = true;
        QString seriale;
        if (l == Lavoro::Pesata) {
            seriale = punto == QLatin1String("annullate-altre") ? serialeSbagliato(a, chiavi[0])
                                                                : serialePer(a, chiavi[0]);
        } else {
            LavorazioneFabbricazioni* f = l == Lavoro::Impegno ? s.impegno() : s.produzione();
            if (!(scelte = scegli(f, chiavi))) {
                // made after the list was read: the screen is opened again
                f = s.riapri(l);
                log(QStringLiteral("APERTURA %1 %2").arg(nomeLavoro(l)).arg(s.ultimaApertura()));
                if (!soloInformazioni(*reg, da)) {
                    return problema(QStringLiteral("apertura di %1: %2")
                                        .arg(nomeLavoro(l), messaggi(*reg, da).join('|')));
                }
                scelte = scegli(f, chiavi);
            }
        }
        log(QStringLiteral("INIZIO %1 %2 %3")
                .arg(nomeLavoro(l), chiavi.join(','), punto.isEmpty() ? "-" : punto));
        if (!punto.isEmpty()) {
            qputenv("QUINTAR_INTERROMPI", punto.toLatin1());
        }
        QElapsedTimer durata;
        durata.start();
        if (l == Lavoro::Pesata) {
            scelte = assegna(s.pesate(), chiavi[0], seriale);
        } else if (scelte) {
            (l == Lavoro::Impegno ? s.impegno() : s.produzione())->ButtonAzione->click();
        }
        if (!punto.isEmpty()) {
            qunsetenv("QUINTAR_INTERROMPI");
            log(QStringLiteral("MANCATO ") + punto);
        }
        if (!scelte) {
            return problema(QStringLiteral("%1 %2 non elencata dalla schermata")
                                .arg(nomeLavoro(l), chiavi.join(',')));
        }
        const QStringList m = messaggi(*reg, da);
        log(QStringLiteral("FATTO %1 %2 %3")
                .arg(nomeLavoro(l))
                .arg(durata.elapsed())
                .arg(m.join('|')));
        const QStringList attesi = l == Lavoro::Pesata
                                       ? QStringList()
                                       : QStringList{QStringLiteral("Informazione: Completato")};
        if (m != attesi && punto != QLatin1String("annullate-altre")) {
            return problema(
                QStringLiteral("%1 %2: %3").arg(nomeLavoro(l), chiavi.join(','), m.join('|')));
        }
        // the user thinks a little; the monitor's timer polls meanwhile
        QElapsedTimer pausa;
        pausa.start();
        const int ms = caso(150);
        while (pausa.elapsed() < ms) {
            app.processEvents(QEventLoop::AllEvents, 5);
        }
    }
    s.chiudiTutte();
    log(QStringLiteral("FINE"));
    return 0;
}

// ---------------------------------------------------------------- single runs

void scriviChiave(const QString& file, Lavoro l, const QString& chiave) {
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        f.write((nomeLavoro(l) + ' ' + chiave + '\n').toUtf8());
    }
}

int una(const QString& dir, Lavoro l, const QString& punto, const QString& fileChiave) {
    RegistraMessaggi reg;
    reg->dialogo = [](QDialog*) { return kRisultatoAnnulla; };
    Archivi a(dir);
    Schermate s(1, *reg);
    auto fallita = [&](const QString& perche) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(perche), qPrintable(messaggi(*reg).join('\n')));
        return 3;
    };
    if (l == Lavoro::Pesata) {
        const QString lotto = creaFabbricazione(a.az, QStringLiteral("FM001"));
        const QString bilancia = pesaRiga(a, lotto, 12.5);
        const QString seriale = serialePer(a, bilancia);
        TIdPesateForm* f = s.pesate();
        scriviChiave(fileChiave, l, bilancia);
        qputenv("QUINTAR_INTERROMPI", punto.toLatin1());
        if (!assegna(f, bilancia, seriale)) {
            return fallita(QStringLiteral("pesata %1 non elencata").arg(bilancia));
        }
        return fallita(QStringLiteral("l'assegnazione non si è fermata a ") + punto);
    }
    const QString lotto = creaFabbricazione(a.az, QStringLiteral("FM005"));
    LavorazioneFabbricazioni* f = s.impegno();
    if (!scegli(f, {lotto})) {
        return fallita(QStringLiteral("fabbricazione non elencata"));
    }
    if (l == Lavoro::Produzione) {
        f->ButtonAzione->click();
        if (messaggi(*reg) != QStringList{QStringLiteral("Informazione: Completato")}) {
            return fallita(QStringLiteral("impegno prima della produzione non riuscito"));
        }
        f = s.produzione();
        if (!scegli(f, {lotto})) {
            return fallita(QStringLiteral("fabbricazione impegnata non elencata"));
        }
    }
    scriviChiave(fileChiave, l, lotto);
    qputenv("QUINTAR_INTERROMPI", punto.toLatin1());
    f->ButtonAzione->click();
    return fallita(nomeLavoro(l) + QStringLiteral(" non si è fermato a ") + punto);
}

// The unit of a commitment (the batch committed with its order, the routine
// owed) prepared in both archives; its owner then rolls it back and dies
// after the host's part, before the company's.
int annulla(const QString& dir, const QString& fileChiave) {
    Archivi a(dir);
    if (!dovute::assicura(a.az)) {
        std::fprintf(stderr, "CHIAMATEDOVUTE non creata\n");
        return 3;
    }
    const QString lotto = creaFabbricazione(a.az, QStringLiteral("FM004"));
    scriviChiave(fileChiave, Lavoro::Impegno, lotto);
    TransazioneDistribuita unita({&a.az, &a.erp});
    Query qe(&a.erp, &unita.su(a.erp));
    Query qa(&a.az, &unita.su(a.az));
    qe.SQL = {QStringLiteral("SELECT GEN_ID(IDORDCCOUNTER, 1) FROM RDB$DATABASE")};
    const qint64 ordine = qe.scalar().toLongLong();
    qe.SQL = {QStringLiteral("INSERT INTO ORDC (ID, LINEA, DATADOCUMENTO, NDOCUMENTO, "
                             "CODICECLIENTE, FATTURATO, STAMPATO, SCARICATO, OPERATORE)"),
              QStringLiteral("VALUES (?, 'IMP', ?, ?, ?, '0', '0', '0', 1)")};
    const QDate data =
        scalare(a.az, QStringLiteral("SELECT DATA FROM FABBRIC WHERE LOTTO = ?"), {lotto}).toDate();
    qe.setParams({ordine, data, lotto, kClienteImpegno});
    qe.execSQL();
    qa.SQL = {QStringLiteral("UPDATE FABBRIC SET STATUS = 'IMPEGNATA', IDORDINEIMPMAT = ?, "
                             "OPERATOREIMPEGNO = 1 WHERE LOTTO = ? AND STATUS = 'DA FARE'")};
    qa.setParams({QString::number(ordine), lotto});
    qa.execSQL();
    dovute::registra(qa, unita.esecuzione(), 1, {{dovute::Azione::Impegno, ordine}});
    unita.prepare(QStringLiteral("Impegno di prova %1, annullato dal suo proprietario").arg(lotto));
    qputenv("QUINTAR_INTERROMPI", "annullate-altre");
    unita.rollback();
    std::fprintf(stderr, "il rollback non si è fermato dopo la parte dell'ospite\n");
    return 3;
}

int uso() {
    std::fprintf(stderr, "uso: server_tempesta --lavora DIR SEME PRONTO LOG [SECONDI]\n"
                         "     server_tempesta --una DIR impegno|produzione|pesata PUNTO CHIAVE\n"
                         "     server_tempesta --annulla DIR CHIAVE\n"
                         "     server_tempesta --verifica DIR [--dopo PID] [--schermate K,K...] "
                         "[--esatte] [--limbo Q,T,P] [--atteso K CHIAVE fatto|annullato]\n");
    return 2;
}

} // namespace
} // namespace tempesta

int main(int argc, char** argv) {
    using namespace tempesta;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // the points are chosen by the runs themselves, never inherited
    qunsetenv("QUINTAR_INTERROMPI");
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 3) {
        return uso();
    }
    qputenv(percorsi::kVariabileDirHost, (QDir(a[2]).absolutePath() + '/').toUtf8());
    try {
        if (a[1] == QLatin1String("--lavora") && (a.size() == 6 || a.size() == 7)) {
            return lavora(app, a[2], a[3].toUInt(), a[4], a[5], a.size() == 7 ? a[6].toInt() : 120);
        }
        if (a[1] == QLatin1String("--una") && a.size() == 6 && lavoroDaNome(a[3])) {
            return una(a[2], *lavoroDaNome(a[3]), a[4], a[5]);
        }
        if (a[1] == QLatin1String("--annulla") && a.size() == 4) {
            return annulla(a[2], a[3]);
        }
        if (a[1] == QLatin1String("--verifica")) {
            OpzioniVerifica o;
            o.schermate = {Lavoro::Impegno, Lavoro::Produzione, Lavoro::Pesata};
            for (int i = 3; i < a.size(); ++i) {
                if (a[i] == QLatin1String("--dopo") && i + 1 < a.size()) {
                    o.pidMorto = a[++i].toLongLong();
                } else if (a[i] == QLatin1String("--schermate") && i + 1 < a.size()) {
                    o.schermate.clear();
                    for (const QString& n : a[++i].split(',')) {
                        if (!lavoroDaNome(n)) {
                            return uso();
                        }
                        o.schermate.push_back(*lavoroDaNome(n));
                    }
                } else if (a[i] == QLatin1String("--esatte")) {
                    o.esatte = true;
                } else if (a[i] == QLatin1String("--limbo") && i + 1 < a.size()) {
                    o.limboAtteso = a[++i];
                } else if (a[i] == QLatin1String("--atteso") && i + 3 < a.size() &&
                           lavoroDaNome(a[i + 1])) {
                    o.atteso = OpzioniVerifica::Atteso{*lavoroDaNome(a[i + 1]), a[i + 2],
                                                       a[i + 3] == QLatin1String("fatto")};
                    i += 3;
                } else {
                    return uso();
                }
            }
            return verifica(a[2], o);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "server_tempesta: %s\n", qPrintable(e.messaggio()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_tempesta: %s\n", e.what());
        return 1;
    }
    return uso();
}
