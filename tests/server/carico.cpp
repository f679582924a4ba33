// Random card operations by one user on the large cards and the packaging
// procedures, through the archives the host folder names (on a server, by
// their dati.ini), and the check of what several such processes left behind.
//
//   server_carico --base DIR FILE                  first session; the archive before the load
//   server_carico DIR USER SECONDS SEED LOG        operations for SECONDS; one line per event to
//   LOG server_carico --verifica DIR BASE LOG...       compares the logs with the archive
//
// Each process keeps the packaging procedures, the raw-materials card (its
// data-sheet lines), the formulation card (its component lines), the
// manufacturing sheet (the integrations of its batch lines) and the cost
// parameters open, works on one of them at a time, and now and then closes a
// screen and opens it again, so that window positions and list layouts are
// written under load too.
#include "carico.h"

#include "host/lancio.h"
#include "inizializza.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/modificatidaaltri.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/scheda.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <cstdio>

namespace carico {

namespace {

// Conflicts told as warnings (errors all count as conflicts).
const QStringList kConflittiAvviso = {
    QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
    // a batch line gone by the time its change is written
    QStringLiteral("Nessun record selezionato"), testoModificatiDaAltri()};

const QString kManuale = QStringLiteral("Errore interno: cancellare manualmente");

QString connessione(const QString& dir, Database& db) {
    tovaris::Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    const QString nome = tovaris::nomeConnessione(c.azienda());
    db.connect(nome);
    return nome;
}

// The warnings of a process that name a failure go to its log.
QTextStream* gLog = nullptr;
QtMessageHandler gPrecedente = nullptr;

void gestoreMessaggi(QtMsgType tipo, const QMessageLogContext& contesto, const QString& testo) {
    // the offscreen platform's word on every window shown says nothing here
    if (testo.contains(QLatin1String("propagateSizeHints"))) {
        return;
    }
    if (gPrecedente) {
        gPrecedente(tipo, contesto, testo);
    }
    if (!gLog || tipo == QtDebugMsg || tipo == QtInfoMsg) {
        return;
    }
    const QString t = testo.simplified();
    if (t.contains(QLatin1String("non salvat"), Qt::CaseInsensitive) ||
        t.contains(QLatin1String("non calcolat"), Qt::CaseInsensitive) ||
        t.contains(QLatin1String("conversion error"), Qt::CaseInsensitive)) {
        *gLog << "PROCESSO AVVISO " << t << '\n';
    }
}

} // namespace

void Ambiente::scrivi(const QString& scheda, const QString& evento, const QStringList& campi) {
    log << scheda << ' ' << evento;
    for (const QString& c : campi) {
        log << ' ' << c;
    }
    log << '\n';
}

bool Ambiente::errore(size_t da) const {
    for (size_t i = da; i < reg.mostrati.size(); ++i) {
        const auto t = reg.mostrati[i].tipo;
        if (t == TipoMessaggio::Errore || t == TipoMessaggio::Avviso) {
            return true;
        }
    }
    return false;
}

bool Ambiente::erroreVero(size_t da) const {
    for (size_t i = da; i < reg.mostrati.size(); ++i) {
        if (reg.mostrati[i].tipo == TipoMessaggio::Errore) {
            return true;
        }
    }
    return false;
}

bool Ambiente::mostrato(const QString& testo, size_t da) const {
    for (size_t i = da; i < reg.mostrati.size(); ++i) {
        if (reg.mostrati[i].testo.startsWith(testo)) {
            return true;
        }
    }
    return false;
}

int Giro::dialogo(QDialog*) {
    return kRisultatoAnnulla;
}

void Giro::registra(const char* tipo, const QString& chiave, int stato) {
    ++operazioni;
    QStringList t;
    for (const auto& m : a_.reg.mostrati) {
        t << m.testo.simplified();
        if (m.tipo == TipoMessaggio::Errore || kConflittiAvviso.contains(m.testo)) {
            ++conflitti;
        }
        if (m.testo.startsWith(kManuale)) {
            a_.scrivi(nome_, QStringLiteral("MANUALE"), {chiave});
        }
    }
    a_.scrivi(nome_, QStringLiteral("OPERAZIONE"),
              {QString::number(QDateTime::currentMSecsSinceEpoch()), QString::fromLatin1(tipo),
               chiave.isEmpty() ? QStringLiteral("-") : chiave, QString::number(stato),
               t.join('|')});
}

void Giro::registraChiusura(SchedaBase* f) {
    const QString u = QString::number(a_.utente);
    a_.scrivi(QStringLiteral("PROCESSO"), QStringLiteral("FINESTRA"),
              {u, QString::number(f->descrizione().situazioneFinestra), nome_});
    // the list's layout is saved when it closes open
    if (f->Griglia->SorgenteDati() && f->Griglia->SorgenteDati()->isOpen()) {
        a_.scrivi(QStringLiteral("PROCESSO"), QStringLiteral("GRIGLIA"),
                  {u, QString::number(f->Griglia->Situazione), nome_});
    }
}

void Giro::chiudiScheda(QPointer<SchedaBase> f) {
    if (!f) {
        return;
    }
    registraChiusura(f);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ------------------------------------------------------------------ logs

bool Registri::leggi(const QStringList& file) {
    for (const QString& l : file) {
        QFile f(l);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "log %s illeggibile\n", qPrintable(l));
            return false;
        }
        for (const QString& r : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
            righe_.push_back(r.split(' '));
        }
    }
    return true;
}

std::vector<QStringList> Registri::righe(const QString& scheda, const QString& evento) const {
    std::vector<QStringList> r;
    for (const QStringList& l : righe_) {
        if (l.size() >= 2 && l[0] == scheda && l[1] == evento) {
            r.push_back(l.mid(2));
        }
    }
    return r;
}

QStringList Registri::primi(const QString& scheda, const QString& evento) const {
    QStringList r;
    for (const QStringList& l : righe(scheda, evento)) {
        r << l.value(0);
    }
    return r;
}

// ------------------------------------------------------------------ check helpers

QVariant scalare(Database& db, const QString& sql) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {sql};
    return q.scalar();
}

std::vector<QStringList> righeSql(Database& db, const QString& sql) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {sql};
    std::vector<QStringList> r;
    for (q.open(); !q.eof(); q.next()) {
        QStringList l;
        for (int i = 0; i < q.fieldCount(); ++i) {
            l << (q.field(i).isNull() ? QStringLiteral("\x01") : q.field(i).asString());
        }
        r.push_back(l);
    }
    return r;
}

void segnala(int& contatore, const QString& testo) {
    std::printf("%s\n", qPrintable(testo));
    ++contatore;
}

void verificaTesti(const QString& scheda, const QStringList& salvati, const QStringList& falliti,
                   const std::map<QString, int>& presenze, Conteggi& c) {
    for (const QString& s : salvati) {
        const auto it = presenze.find(s);
        const int n = it == presenze.end() ? 0 : it->second;
        if (n == 0) {
            segnala(c.perdite,
                    QStringLiteral("%1: salvataggio %2 confermato ma assente").arg(scheda, s));
        } else if (n > 1) {
            // a history copy of a change that was not made, or a change made twice
            segnala(c.mezzi, QStringLiteral("%1: testo %2 presente %3 volte tra righe e storico")
                                 .arg(scheda, s)
                                 .arg(n));
        }
    }
    for (const QString& s : falliti) {
        if (presenze.count(s)) {
            segnala(c.mezzi,
                    QStringLiteral("%1: salvataggio %2 rifiutato ma scritto").arg(scheda, s));
        }
    }
}

QString elencoSql(const QStringList& valori) {
    QStringList q;
    for (const QString& v : valori) {
        q << '\'' + QString(v).replace('\'', QLatin1String("''")) + '\'';
    }
    return q.join(',');
}

namespace {

// ------------------------------------------------------------------ base

// The window positions and list layouts of the soak's users are removed:
// after the run every one of them must have been written by a process.
void togliAspetti(Database& db) {
    Transaction tr(&db);
    Query q(&db, &tr);
    for (const char* t : {"STOPOS1", "STOASP1"}) {
        q.SQL = {QStringLiteral("DELETE FROM %1 WHERE CODICEUTENTE IN (1,2)")
                     .arg(QString::fromLatin1(t))};
        q.execSQL();
    }
    tr.commit();
}

int base(const QString& dir, const QString& file) {
    // the first session on the user database adds its script table; sessions
    // started together afterwards find it there
    qputenv(percorsi::kVariabileDirHost, (QDir(dir).absolutePath() + '/').toUtf8());
    {
        RegistraMessaggi reg;
        TTabXForm sessione;
        if (!reg->mostrati.empty()) {
            std::fprintf(stderr, "sessione: %s\n", qPrintable(reg->testi().join(" | ")));
            return 1;
        }
    }
    Formati::impostaItaliani();
    Database db;
    connessione(dir, db);
    togliAspetti(db);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        return 1;
    }
    QTextStream out(&f);
    const std::pair<const char*, QStringList (*)(Database&)> schede[] = {{"CONFEZ", baseConfez},
                                                                         {"SPECIF", baseSpecifiche},
                                                                         {"COMPON", baseComponenti},
                                                                         {"LOTTO", baseLotti},
                                                                         {"CPAR", baseParametri}};
    for (const auto& [nome, leggi] : schede) {
        for (const QString& r : leggi(db)) {
            out << nome << ' ' << r << '\n';
        }
    }
    return 0;
}

// ------------------------------------------------------------------ check

// Every window and list a process closed has its position and layout stored
// for its user; a warning that a save failed counts as a layout lost.
void verificaAspetti(Database& db, const Registri& r, Conteggi& c) {
    QSet<QString> posizioni, aspetti;
    for (const auto& l : righeSql(db, QStringLiteral("SELECT CODICEUTENTE, CODICESITUAZIONE "
                                                     "FROM STOPOS1 WHERE CODICEPROGETTO=150"))) {
        posizioni.insert(l[0] + '/' + l[1]);
    }
    for (const auto& l : righeSql(db, QStringLiteral("SELECT DISTINCT CODICEUTENTE, "
                                                     "CODICESITUAZIONE FROM STOASP1 WHERE "
                                                     "CODICEPROGETTO=150"))) {
        aspetti.insert(l[0] + '/' + l[1]);
    }
    QSet<QString> visti;
    int chiuse = 0;
    for (const auto& [evento, presenti] : {std::pair{QStringLiteral("FINESTRA"), &posizioni},
                                           {QStringLiteral("GRIGLIA"), &aspetti}}) {
        for (const QStringList& l : r.righe(QStringLiteral("PROCESSO"), evento)) {
            const QString k = l.value(0) + '/' + l.value(1);
            ++chiuse;
            if (!presenti->contains(k) && !visti.contains(evento + k)) {
                visti.insert(evento + k);
                segnala(c.layout, QStringLiteral("%1 %2 (%3) dell'utente %4 non memorizzata")
                                      .arg(evento == QLatin1String("FINESTRA")
                                               ? QStringLiteral("posizione della finestra")
                                               : QStringLiteral("disposizione della griglia"),
                                           l.value(1), l.value(2), l.value(0)));
            }
        }
    }
    for (const QStringList& l : r.righe(QStringLiteral("PROCESSO"), QStringLiteral("AVVISO"))) {
        const QString t = l.join(' ');
        const bool aspetto = t.contains(QLatin1String("posizione finestra non salvata")) ||
                             t.contains(QLatin1String("griglia non salvato")) ||
                             t.contains(QLatin1String("ricerca non salvate"));
        segnala(aspetto ? c.layout : c.avvisi, QStringLiteral("avviso: ") + t);
    }
    std::printf("finestre e griglie chiuse: %d\n", chiuse);
}

int verifica(const QString& dir, const QString& fileBase, const QStringList& logs) {
    // numbers read and compared as the screens show them
    Formati::impostaItaliani();
    Base b;
    {
        QFile f(fileBase);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "base %s illeggibile\n", qPrintable(fileBase));
            return 1;
        }
        for (const QString& r : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
            const QStringList l = r.split(' ');
            b[l[0]].push_back(l.mid(1));
        }
    }
    Registri r;
    if (!r.leggi(logs)) {
        return 1;
    }
    Conteggi c;
    for (const QStringList& l : r.righe(QStringLiteral("PROCESSO"), QStringLiteral("TOTALE"))) {
        c.operazioni += l.value(0).toInt();
        c.conflitti += l.value(1).toInt();
        c.taciuti += l.value(2).toInt();
    }
    for (const char* s : {"CONFEZ", "SPECIF", "COMPON", "LOTTO", "CPAR"}) {
        c.manuali += int(r.righe(QString::fromLatin1(s), QStringLiteral("MANUALE")).size());
    }
    Database db;
    connessione(dir, db);
    verificaConfez(db, b, r, c);
    verificaSpecifiche(db, b, r, c);
    verificaComponenti(db, b, r, c);
    verificaLotti(db, b, r, c);
    verificaParametri(db, b, r, c);
    verificaAspetti(db, r, c);
    std::printf("operazioni %d, conflitti %d, perdite %d, scritture a metà %d, righe con la sola "
                "chiave %d, conflitti non segnalati %d, richieste di cancellare a mano %d, "
                "disposizioni perse %d, avvisi di errore %d, costi non ricalcolati %d\n",
                c.operazioni, c.conflitti, c.perdite, c.mezzi, c.soloChiave, c.taciuti, c.manuali,
                c.layout, c.avvisi, c.costo);
    return c.perdite + c.mezzi + c.soloChiave + c.taciuti + c.manuali + c.layout + c.avvisi == 0 &&
                   c.operazioni > 0
               ? 0
               : 1;
}

// ------------------------------------------------------------------ load

int lavora(QApplication& app, const QString& dir, int utente, int secondi, unsigned seme,
           const QString& fileLog) {
    const QString radice = QDir(dir).absolutePath() + '/';
    qputenv(percorsi::kVariabileDirHost, radice.toUtf8());
    QFile file(fileLog);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return 1;
    }
    QTextStream log(&file);
    gLog = &log;
    gPrecedente = qInstallMessageHandler(gestoreMessaggi);
    RegistraMessaggi reg;
    Ambiente a{*reg, std::mt19937(seme), seme, utente, log};

    // how often each card is worked on
    std::vector<std::pair<std::unique_ptr<Giro>, int>> giri;
    giri.emplace_back(giroConfez(a), 3);
    giri.emplace_back(giroSpecifiche(a), 3);
    giri.emplace_back(giroComponenti(a), 3);
    giri.emplace_back(giroLotti(a), 2);
    giri.emplace_back(giroParametri(a), 1);
    int pesi = 0;
    for (auto& [g, peso] : giri) {
        pesi += peso;
        reg->pulisci();
        if (!g->apri()) {
            return 1;
        }
    }
    Giro* attivo = nullptr;
    reg->dialogo = [&attivo](QDialog* d) {
        return attivo ? attivo->dialogo(d) : int(kRisultatoAnnulla);
    };
    QElapsedTimer t;
    t.start();
    std::mt19937 pausa(seme + 1);
    while (t.elapsed() < qint64(secondi) * 1000) {
        int x = a.caso(pesi);
        for (auto& [g, peso] : giri) {
            if (x < peso) {
                attivo = g.get();
                break;
            }
            x -= peso;
        }
        reg->pulisci();
        reg->risposte.clear();
        attivo->passo();
        // now and then a screen is closed and opened again: its layouts are
        // written while the others work
        if (a.caso(40) == 0) {
            Giro* g = giri[size_t(a.caso(int(giri.size())))].first.get();
            attivo = g;
            reg->pulisci();
            g->chiudi();
            if (!g->apri()) {
                return 1;
            }
        }
        log.flush();
        // a user thinks a little between actions; timers (version labels) fire meanwhile
        QElapsedTimer p;
        p.start();
        const int ms = int(pausa() % 15);
        while (p.elapsed() < ms) {
            app.processEvents(QEventLoop::AllEvents, 5);
        }
    }
    int operazioni = 0, conflitti = 0, taciuti = 0;
    for (auto& [g, peso] : giri) {
        attivo = g.get();
        reg->pulisci();
        g->chiudi();
        operazioni += g->operazioni;
        conflitti += g->conflitti;
        taciuti += g->taciuti;
        std::printf("utente %d, %s: %d operazioni, %d conflitti segnalati\n", utente,
                    qPrintable(g->nome()), g->operazioni, g->conflitti);
    }
    a.scrivi(QStringLiteral("PROCESSO"), QStringLiteral("TOTALE"),
             {QString::number(operazioni), QString::number(conflitti), QString::number(taciuti)});
    log.flush();
    gLog = nullptr;
    std::printf("utente %d: %d operazioni, %d conflitti segnalati\n", utente, operazioni,
                conflitti);
    return 0;
}

} // namespace
} // namespace carico

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    try {
        if (a.size() == 4 && a[1] == QLatin1String("--base")) {
            return carico::base(a[2], a[3]);
        }
        if (a.size() >= 5 && a[1] == QLatin1String("--verifica")) {
            return carico::verifica(a[2], a[3], a.mid(4));
        }
        if (a.size() != 6) {
            std::fprintf(stderr, "uso: server_carico DIR UTENTE SECONDI SEME LOG\n"
                                 "     server_carico --base DIR FILE\n"
                                 "     server_carico --verifica DIR BASE LOG...\n");
            return 2;
        }
        return carico::lavora(app, a[1], a[2].toInt(), a[3].toInt(), a[4].toUInt(), a[5]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_carico: %s\n", e.what());
        return 1;
    }
}
