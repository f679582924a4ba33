// Random card operations by one user on the packaging procedures, through the
// archives the host folder names (on a server, by their dati.ini), and the
// check of what several such processes left behind.
//
//   server_carico --base DIR FILE                  first session; history versions before the load
//   server_carico DIR USER SECONDS SEED LOG        operations for SECONDS; one line per outcome to
//   LOG server_carico --verifica DIR BASE LOG...       compares the logs with the archive
//
// Each saved text is unique (P<seed>-<n>), so that every outcome can be found
// in the archive: a save reported done must have its history version, a save
// reported failed must have left nothing, and the rows must match their
// newest versions.
#include "config/confez.h"
#include "host/lancio.h"
#include "inizializza.h"
#include "session/connessione.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/tabx.h"
#include "ui/grigliamodello.h"
#include "ui/tcsdgrid.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSet>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <map>
#include <random>

using namespace quintar;

namespace {

const QStringList kConflitti = {
    QStringLiteral("Errore interno: impossibile memorizzare le modifiche"),
    QStringLiteral("Il record selezionato è già stato cancellato da un altro utente"),
    QStringLiteral("Errore interno: impossibile inserire un nuovo record"),
    QStringLiteral("Errore interno: impossibile eliminare il record selezionato")};

// Key as the history table compares it: machine and number without decimals.
QString chiave(const QString& macchina, const QString& numero) {
    const auto n = Formati::leggiNumero(numero);
    return macchina + '/' + (n ? QString::number(*n, 'g', 12) : numero);
}

QString connessione(const QString& dir, Database& db) {
    tovaris::Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    const QString nome = tovaris::nomeConnessione(c.azienda());
    db.connect(nome);
    return nome;
}

struct Versione {
    int vers = 0;
    bool eliminazione = false;
    QString testo;
};

// Every history version by key, in version order.
std::map<QString, std::vector<Versione>> storico(Database& db) {
    Transaction tr(&db);
    Query q(&db, &tr);
    q.SQL = {QStringLiteral("SELECT CODICERIEMPITRICE, NUMPROGRESSIVO, VERS, ELIMINAZIONE, TESTO "
                            "FROM STOCONFEZ ORDER BY 1, 2, 3")};
    std::map<QString, std::vector<Versione>> r;
    for (q.open(); !q.eof(); q.next()) {
        r[chiave(q.field(0).asString(), q.field(1).asString())].push_back(
            {int(q.field(2).asInteger()), q.field(3).asString() == QLatin1String("1"),
             q.field(4).isNull() ? QString() : q.field(4).asString()});
    }
    return r;
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
    Database db;
    connessione(dir, db);
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        return 1;
    }
    QTextStream out(&f);
    for (const auto& [k, v] : storico(db)) {
        out << k << ' ' << v.back().vers << '\n';
    }
    return 0;
}

int verifica(const QString& dir, const QString& fileBase, const QStringList& logs) {
    std::map<QString, int> prima;
    {
        QFile f(fileBase);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "base %s illeggibile\n", qPrintable(fileBase));
            return 1;
        }
        for (const QString& r : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
            prima[r.section(' ', 0, 0)] = r.section(' ', 1, 1).toInt();
        }
    }
    QSet<QString> salvati, falliti, manuali;
    int eliminati = 0, operazioni = 0, conflitti = 0, taciuti = 0, richiesteAMano = 0;
    for (const QString& l : logs) {
        QFile f(l);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "log %s illeggibile\n", qPrintable(l));
            return 1;
        }
        for (const QString& r : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
            const QString tipo = r.section(' ', 0, 0);
            const QString a = r.section(' ', 1, 1);
            if (tipo == QLatin1String("SALVATO")) {
                salvati.insert(a);
            } else if (tipo == QLatin1String("FALLITO")) {
                falliti.insert(a);
            } else if (tipo == QLatin1String("ELIMINATO")) {
                ++eliminati;
            } else if (tipo == QLatin1String("MANUALE")) {
                manuali.insert(a);
                ++richiesteAMano;
            } else if (tipo == QLatin1String("TOTALE")) {
                operazioni += a.toInt();
                conflitti += r.section(' ', 2, 2).toInt();
                taciuti += r.section(' ', 3, 3).toInt();
            }
        }
    }
    Database db;
    connessione(dir, db);
    const auto versioni = storico(db);
    std::map<QString, QString> righe; // key -> text ("\x01" for a key-only row)
    {
        Transaction tr(&db);
        Query q(&db, &tr);
        q.SQL = {QStringLiteral("SELECT CODICERIEMPITRICE, NUMPROGRESSIVO, TESTO FROM CONFEZ")};
        for (q.open(); !q.eof(); q.next()) {
            righe[chiave(q.field(0).asString(), q.field(1).asString())] =
                q.field(2).isNull() ? QStringLiteral("\x01") : q.field(2).asString();
        }
    }
    int perdite = 0, mezzi = 0, soloChiave = 0;
    QSet<QString> inStorico, ovunque;
    int nuoveVersioni = 0, nuoveEliminazioni = 0;
    for (const auto& [k, v] : versioni) {
        const int da = prima.count(k) ? prima[k] : 0;
        for (const Versione& x : v) {
            ovunque.insert(x.testo);
            if (x.vers <= da) {
                continue;
            }
            if (x.eliminazione) {
                ++nuoveEliminazioni;
            } else {
                ++nuoveVersioni;
                inStorico.insert(x.testo);
            }
        }
        if (v.back().vers <= da) {
            continue;
        }
        // the row as it stands is the newest version: a deletion when it is gone
        // (a key-only row the user was told to delete by hand included)
        const auto r = righe.find(k);
        const Versione& ultima = v.back();
        if (r == righe.end() ? !ultima.eliminazione
                             : ultima.eliminazione || ultima.testo != r->second) {
            std::printf("riga %s diversa dalla sua ultima versione %d\n", qPrintable(k),
                        ultima.vers);
            ++mezzi;
        }
    }
    for (const auto& [k, t] : righe) {
        ovunque.insert(t);
        if (t == QLatin1String("\x01") && !manuali.contains(k)) {
            std::printf("riga %s con la sola chiave\n", qPrintable(k));
            ++soloChiave;
        }
    }
    for (const QString& s : salvati) {
        if (!inStorico.contains(s)) {
            std::printf("salvataggio %s confermato ma assente dallo storico\n", qPrintable(s));
            ++perdite;
        }
    }
    for (const QString& s : falliti) {
        if (ovunque.contains(s)) {
            std::printf("salvataggio %s rifiutato ma scritto\n", qPrintable(s));
            ++mezzi;
        }
    }
    if (nuoveVersioni != salvati.size() || nuoveEliminazioni != eliminati) {
        std::printf("versioni nuove %d per %lld salvataggi, eliminazioni %d per %d\n",
                    nuoveVersioni, qlonglong(salvati.size()), nuoveEliminazioni, eliminati);
        ++mezzi;
    }
    std::printf("operazioni %d, conflitti %d, perdite %d, scritture a metà %d, righe con la sola "
                "chiave %d, conflitti non segnalati %d, richieste di cancellare a mano %d\n",
                operazioni, conflitti, perdite, mezzi, soloChiave, taciuti, richiesteAMano);
    return perdite + mezzi + soloChiave + taciuti == 0 && operazioni > 0 ? 0 : 1;
}

class Carico {
public:
    Carico(TIniConfForm* f, MessaggiRegistrati& reg, unsigned seme, QTextStream& log)
        : f_(f), reg_(reg), rng_(seme), seme_(seme), log_(log) {
        reg_.dialogo = [this](QDialog* d) {
            auto* n = qobject_cast<TNConfezForm*>(d);
            if (!n) {
                return int(kRisultatoAnnulla);
            }
            n->scegliRiempitrice(macchina_);
            n->EditNumeroProgressivo->setText(numero_);
            n->done(kRisultatoOK);
            return n->result() == kRisultatoOK ? int(kRisultatoOK) : int(kRisultatoAnnulla);
        };
    }

    void passo() {
        ++operazioni;
        reg_.pulisci();
        const int p = caso(100);
        const char* tipo = p < 25 ? "nuovo" : p < 60 ? "modifica" : p < 75 ? "elimina" : "ricerca";
        if (p < 25) {
            nuovo();
        } else if (p < 60) {
            modifica();
        } else if (p < 75) {
            elimina();
        } else {
            ricerca();
        }
        {
            QStringList t;
            for (const auto& m : reg_.mostrati) {
                t << m.testo;
            }
            // when, what, on which key, the state left and what the user was told:
            // the sequence on a key a failed check names
            log_ << "OPERAZIONE " << QDateTime::currentMSecsSinceEpoch() << ' ' << tipo << ' '
                 << chiave(f_->CodiceCorrente, f_->AltreChiaviCorrenti.value(0)) << ' '
                 << f_->StatoScheda << ' ' << t.join('|') << '\n';
        }
        for (const auto& m : reg_.mostrati) {
            if (kConflitti.contains(m.testo)) {
                ++conflitti;
            }
            if (m.testo.startsWith(QLatin1String("Errore interno: cancellare manualmente"))) {
                log_ << "MANUALE " << chiave(f_->CodiceCorrente, f_->AltreChiaviCorrenti.value(0))
                     << '\n';
            }
        }
        // the card is back in browsing after every operation
        if (f_->StatoScheda != 0) {
            f_->ButtonAnnullaClick();
        }
    }

    int operazioni = 0;
    int conflitti = 0;
    int taciuti = 0; // a failure without its message

private:
    int caso(int n) { return int(rng_() % unsigned(n)); }
    bool errore() const {
        for (const auto& m : reg_.mostrati) {
            if (m.tipo == TipoMessaggio::Errore || m.tipo == TipoMessaggio::Avviso) {
                return true;
            }
        }
        return false;
    }
    QString nuovoTesto() { return QStringLiteral("P%1-%2").arg(seme_).arg(++progressivo_); }

    // Saves or gives up the open edit; logs what the user was told.
    void concludi() {
        if (f_->StatoScheda == 0) {
            return;
        }
        if (caso(5) == 0) {
            f_->ButtonAnnullaClick();
            return;
        }
        const QString testo = nuovoTesto();
        SchedaBase::impostaTesto(f_->editazione(QStringLiteral("TESTO")), testo);
        const size_t prima = reg_.mostrati.size();
        f_->ButtonMemorizzaClick();
        const bool segnalato = reg_.mostrati.size() > prima && errore();
        if (f_->StatoScheda == 0 && !segnalato) {
            log_ << "SALVATO " << testo << '\n';
        } else {
            log_ << "FALLITO " << testo << '\n';
            if (!segnalato) {
                ++taciuti;
            }
        }
    }

    void nuovo() {
        macchina_ = QString::number(1 + caso(2));
        numero_ = QString::number(1 + caso(4));
        f_->ButtonNuovoClick();
        concludi();
    }

    bool scegliRiga() {
        auto* m = f_->Griglia->modello();
        while (m->canFetchMore({})) {
            m->fetchMore({});
        }
        if (m->rowCount() == 0) {
            return false;
        }
        f_->Griglia->setCurrentIndex(m->index(caso(m->rowCount()), 0));
        return true;
    }

    void modifica() {
        if (!scegliRiga()) {
            return;
        }
        f_->ButtonEditClick();
        concludi();
    }

    void elimina() {
        if (!scegliRiga()) {
            return;
        }
        reg_.risposte = {QStringLiteral("Sì")};
        const int prima = f_->Griglia->modello()->rowCount();
        f_->ButtonEliminaClick();
        (void)prima;
        bool confermato = false;
        for (const auto& m : reg_.mostrati) {
            confermato = confermato || m.tipo == TipoMessaggio::Conferma;
        }
        if (confermato && !errore()) {
            log_ << "ELIMINATO\n";
        }
    }

    void ricerca() {
        // what another user sees after "Annulla": a fresh read of the list
        f_->rileggi(QString::number(1 + caso(2)));
    }

    TIniConfForm* f_;
    MessaggiRegistrati& reg_;
    std::mt19937 rng_;
    unsigned seme_;
    QTextStream& log_;
    QString macchina_, numero_;
    int progressivo_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList a = app.arguments();
    try {
        if (a.size() == 4 && a[1] == QLatin1String("--base")) {
            return base(a[2], a[3]);
        }
        if (a.size() >= 5 && a[1] == QLatin1String("--verifica")) {
            return verifica(a[2], a[3], a.mid(4));
        }
        if (a.size() != 6) {
            std::fprintf(stderr, "uso: server_carico DIR UTENTE SECONDI SEME LOG\n"
                                 "     server_carico --base DIR FILE\n"
                                 "     server_carico --verifica DIR BASE LOG...\n");
            return 2;
        }
        const QString radice = QDir(a[1]).absolutePath() + '/';
        qputenv(percorsi::kVariabileDirHost, radice.toUtf8());
        const int utente = a[2].toInt();
        const int secondi = a[3].toInt();
        const unsigned seme = a[4].toUInt();
        QFile file(a[5]);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            return 1;
        }
        QTextStream log(&file);
        RegistraMessaggi reg;
        auto* f = qobject_cast<TIniConfForm*>(
            LanciaSchermata(*trovaSchermata(QStringLiteral("ShowIniConfForm")), utente, {}));
        if (!f || !f->Sessione()->IBDatabase1.connected() || !reg->mostrati.empty()) {
            std::fprintf(stderr, "scheda non aperta: %s\n",
                         qPrintable(reg->testi().join(QStringLiteral(" | "))));
            return 1;
        }
        Carico c(f, *reg, seme, log);
        QElapsedTimer t;
        t.start();
        std::mt19937 pausa(seme + 1);
        while (t.elapsed() < qint64(secondi) * 1000) {
            c.passo();
            log.flush();
            // a user thinks a little between actions; timers (history label) fire meanwhile
            QElapsedTimer p;
            p.start();
            const int ms = int(pausa() % 15);
            while (p.elapsed() < ms) {
                app.processEvents(QEventLoop::AllEvents, 5);
            }
        }
        f->close();
        log << "TOTALE " << c.operazioni << ' ' << c.conflitti << ' ' << c.taciuti << '\n';
        std::printf("utente %d: %d operazioni, %d conflitti segnalati\n", utente, c.operazioni,
                    c.conflitti);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_carico: %s\n", e.what());
        return 1;
    }
}
