// The watcher of the chaos run (see caos.h): the host it starts, the server
// it stops and starts, the checks at the end.
#include "caos.h"

#include "caos_verifica.h"
#include "inizializza.h"

#include "session/datiini.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tovaris {

namespace {

using namespace std::chrono_literals;

qint64 adessoMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void dice(const QString& t) {
    std::printf("%s\n", t.toUtf8().constData());
    std::fflush(stdout);
}

// ------------------------------------------------------------ the server

// The Firebird server listening on a loopback port: found by the port, stopped
// with a signal, started again with the command line, environment and folder
// it had.
class Server {
public:
    // "HOST/PORT" with HOST a loopback address; throws otherwise.
    explicit Server(const QString& indirizzo, const QString& registro) : registro_(registro) {
        const QString host = indirizzo.section('/', 0, 0);
        bool ok = false;
        porta_ = indirizzo.section('/', 1, 1).toInt(&ok);
        if (host != QLatin1String("127.0.0.1") && host != QLatin1String("localhost")) {
            throw std::runtime_error("il server si ferma solo sull'indirizzo di loopback "
                                     "(127.0.0.1 o localhost), non su " +
                                     host.toStdString());
        }
        if (!ok || porta_ <= 0) {
            throw std::runtime_error("--server vuole HOST/PORTA");
        }
        pid_ = inAscolto();
        if (pid_ <= 0) {
            throw std::runtime_error("nessun processo in ascolto su 127.0.0.1:" +
                                     std::to_string(porta_));
        }
        leggiComando();
    }

    pid_t pid() const { return pid_; }
    bool acceso() const { return pid_ > 0; }

    // SIGTERM (bounded, then SIGKILL) or SIGKILL at once; the port free after it.
    void ferma(bool uccidi) {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, uccidi ? SIGKILL : SIGTERM);
        const qint64 inizio = adessoMs();
        while (vivo(pid_)) {
            if (!uccidi && adessoMs() - inizio > 5000) {
                ::kill(pid_, SIGKILL);
                uccidi = true;
            }
            std::this_thread::sleep_for(20ms);
            if (adessoMs() - inizio > 30000) {
                throw std::runtime_error("il server non si ferma");
            }
        }
        pid_ = 0;
    }

    // True when it answers on its port within 30 s.
    bool avvia() {
        for (int tentativo = 0; tentativo < 5 && pid_ <= 0; ++tentativo) {
            const pid_t p = fork();
            if (p < 0) {
                return false;
            }
            if (p == 0) {
                setsid();
                if (chdir(cartella_.c_str()) != 0) {
                    _exit(126);
                }
                const int nulla = open("/dev/null", O_RDONLY);
                const int log =
                    open(registro_.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
                dup2(nulla, 0);
                dup2(log, 1);
                dup2(log, 2);
                for (int fd = 3; fd < 1024; ++fd) {
                    close(fd);
                }
                std::vector<char*> a, e;
                for (auto& s : argv_) {
                    a.push_back(s.data());
                }
                a.push_back(nullptr);
                for (auto& s : env_) {
                    e.push_back(s.data());
                }
                e.push_back(nullptr);
                execve(eseguibile_.c_str(), a.data(), e.data());
                _exit(127);
            }
            const qint64 inizio = adessoMs();
            while (adessoMs() - inizio < 30000) {
                if (waitpid(p, nullptr, WNOHANG) == p) {
                    break; // it ended: the port was not yet free, again
                }
                if (risponde()) {
                    std::this_thread::sleep_for(200ms);
                    if (waitpid(p, nullptr, WNOHANG) == 0) {
                        pid_ = p;
                    }
                    break;
                }
                std::this_thread::sleep_for(50ms);
            }
            if (pid_ <= 0) {
                ::kill(p, SIGKILL);
                waitpid(p, nullptr, 0);
                std::this_thread::sleep_for(500ms);
            }
        }
        return pid_ > 0;
    }

private:
    static bool vivo(pid_t p) {
        // our own child: reaped here; another's: gone or a zombie
        if (waitpid(p, nullptr, WNOHANG) == p) {
            return false;
        }
        if (::kill(p, 0) != 0) {
            return false;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray s = stat.readAll();
            const int chiusa = s.lastIndexOf(')');
            if (chiusa > 0 && chiusa + 2 < s.size() && s[chiusa + 2] == 'Z') {
                return false;
            }
        }
        return true;
    }

    bool risponde() const {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(quint16(porta_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    // The process holding the listening socket of the port (/proc/net/tcp).
    pid_t inAscolto() const {
        QSet<QByteArray> inode;
        for (const char* tabella : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile f(QString::fromLatin1(tabella));
            if (!f.open(QIODevice::ReadOnly)) {
                continue;
            }
            f.readLine();
            for (QByteArray r = f.readLine(); !r.isEmpty(); r = f.readLine()) {
                const QList<QByteArray> c = r.simplified().split(' ');
                if (c.size() < 10) {
                    continue;
                }
                const int porta = c[1].mid(c[1].lastIndexOf(':') + 1).toInt(nullptr, 16);
                if (porta == porta_ && c[3] == "0A") {
                    inode.insert(c[9]);
                }
            }
        }
        if (inode.isEmpty()) {
            return 0;
        }
        // the descriptors of every process: a socket's link names its inode
        DIR* proc = opendir("/proc");
        pid_t trovato = 0;
        for (dirent* p = proc ? readdir(proc) : nullptr; p && !trovato; p = readdir(proc)) {
            char* fine = nullptr;
            const long pid = std::strtol(p->d_name, &fine, 10);
            if (*fine != '\0' || pid <= 0) {
                continue;
            }
            const std::string cartella = "/proc/" + std::string(p->d_name) + "/fd";
            DIR* fd = opendir(cartella.c_str());
            for (dirent* f = fd ? readdir(fd) : nullptr; f && !trovato; f = readdir(fd)) {
                char dove[128];
                const ssize_t n =
                    readlink((cartella + '/' + f->d_name).c_str(), dove, sizeof dove - 1);
                if (n > 9 && std::strncmp(dove, "socket:[", 8) == 0 &&
                    inode.contains(QByteArray(dove + 8, int(n) - 9))) {
                    trovato = pid_t(pid);
                }
            }
            if (fd) {
                closedir(fd);
            }
        }
        if (proc) {
            closedir(proc);
        }
        return trovato;
    }

    void leggiComando() {
        auto parti = [](const QString& file) {
            QFile f(file);
            std::vector<std::string> r;
            if (f.open(QIODevice::ReadOnly)) {
                for (const QByteArray& p : f.readAll().split('\0')) {
                    if (!p.isEmpty()) {
                        r.emplace_back(p.constData(), size_t(p.size()));
                    }
                }
            }
            return r;
        };
        const QString d = QStringLiteral("/proc/%1/").arg(pid_);
        argv_ = parti(d + "cmdline");
        env_ = parti(d + "environ");
        eseguibile_ = QFile::symLinkTarget(d + "exe").toStdString();
        cartella_ = QFile::symLinkTarget(d + "cwd").toStdString();
        if (argv_.empty() || eseguibile_.empty()) {
            throw std::runtime_error("comando del server non leggibile");
        }
    }

    QString registro_;
    int porta_ = 0;
    pid_t pid_ = 0;
    std::vector<std::string> argv_, env_;
    std::string eseguibile_, cartella_;
};

// ------------------------------------------------------------ the host

struct Esito {
    QStringList fallimenti;
    quint64 azioni = 0;
    int finestre = 0;
    int fermate = 0;
    int uccisioni = 0;               // stops with SIGKILL
    std::map<QString, int> messaggi; // "KIND text" -> times
    std::map<QString, int> log;      // log lines -> times
};

// Qt's own notes on an offscreen platform, no fault of the screens.
bool rumoreDiQt(const QString& riga) {
    static const char* noti[] = {
        "This plugin does not support",
        "QFont::",
        "propagateSizeHints",
        "QFileSystemWatcher",
        "qt.qpa.",
        "XDG_RUNTIME_DIR",
        // the test library's own note on a key or a click a control let through
        "not accepted by receiving widget",
    };
    for (const char* n : noti) {
        if (riga.contains(QLatin1String(n))) {
            return true;
        }
    }
    return false;
}

class Sorvegliante {
public:
    // recupero: the host only opens the screens that end what a killed host
    // left, and closes them (no server stops, no signal at the end).
    Sorvegliante(const QString& dir, quint64 seme, double minuti, Server* server,
                 bool recupero = false)
        : dir_(dir), seme_(seme), minuti_(minuti), server_(recupero ? nullptr : server),
          recupero_(recupero) {}

    Esito esegui() {
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
            esito_.fallimenti << QStringLiteral("pipe non create");
            return esito_;
        }
        const QByteArray programma = QCoreApplication::applicationFilePath().toLocal8Bit();
        std::vector<QByteArray> arg = {programma,
                                       "caos-host",
                                       dir_.toLocal8Bit(),
                                       "--seed",
                                       QByteArray::number(seme_),
                                       "--minutes",
                                       QByteArray::number(minuti_)};
        if (server_) {
            arg.emplace_back("--server");
        }
        if (recupero_) {
            arg.emplace_back("--recover");
        }
        if (azioni_ > 0) {
            arg.emplace_back("--actions");
            arg.emplace_back(QByteArray::number(azioni_));
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd = 3; fd < 1024; ++fd) {
                close(fd);
            }
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                setenv("QT_QPA_PLATFORM", "offscreen", 1);
            }
            std::vector<char*> a;
            for (auto& s : arg) {
                a.push_back(s.data());
            }
            a.push_back(nullptr);
            execv(programma.constData(), a.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        scriviA_ = in[1];
        // every line of the host, for whoever wants to follow the run
        registro_.setFileName(dir_ + (recupero_ ? "/caos-apertura.log" : "/caos.log"));
        registro_.open(QIODevice::WriteOnly | QIODevice::Truncate);
        leggi(out[0], err[0]);
        close(in[1]);
        return esito_;
    }

private:
    void fallisce(const QString& motivo) {
        esito_.fallimenti << motivo;
        dice(QStringLiteral("FALLIMENTO: ") + motivo);
    }

    void riga(const QByteArray& r, bool errore) {
        const QString t = QString::fromUtf8(r);
        if (registro_.isOpen()) {
            registro_.write((errore ? QByteArray("stderr ") : QByteArray()) + r + '\n');
            registro_.flush();
        }
        if (errore) {
            // stderr: the host's own words, the client's, Qt's before the handler
            if (t.contains(QLatin1String("Qt has caught an exception"))) {
                fallisce(QStringLiteral("eccezione attraverso un gestore di eventi: ") + t);
            } else if (!t.trimmed().isEmpty() && !rumoreDiQt(t) &&
                       !t.startsWith(QLatin1String("tovaris: Terminated"))) {
                esito_.log[QStringLiteral("stderr ") + t]++;
            }
            return;
        }
        const QString tipo = t.left(1);
        const QString resto = t.mid(2);
        if (tipo == 'A') {
            ultime_.push_back(resto);
            if (ultime_.size() > 50) {
                ultime_.pop_front();
            }
            esito_.azioni = resto.section(' ', 0, 0).toULongLong();
            if (resto.section(' ', 1).startsWith(QLatin1String("apre Show"))) {
                ++esito_.finestre;
            }
            ultimaAzione_ = adessoMs();
        } else if (tipo == 'M') {
            esito_.messaggi[resto]++;
        } else if (tipo == 'L') {
            if (resto.contains(QLatin1String("Qt has caught an exception"))) {
                fallisce(QStringLiteral("eccezione attraverso un gestore di eventi: ") + resto);
            } else if (resto.startsWith(QLatin1String("critical")) ||
                       resto.startsWith(QLatin1String("fatal"))) {
                fallisce(QStringLiteral("errore solo nel log: ") + resto);
            } else if (!rumoreDiQt(resto)) {
                esito_.log[resto]++;
                // with the server always there, a library's warning is an error
                // the user never saw
                if (!server_ && resto.startsWith(QLatin1String("warning"))) {
                    fallisce(QStringLiteral("errore solo nel log: ") + resto);
                }
            }
        } else if (tipo == 'S') {
            server(resto);
        } else if (tipo == 'F') {
            fallisce(resto);
        }
    }

    void server(const QString& richiesta) {
        QString risposta = QStringLiteral("ok\n");
        try {
            if (!server_) {
                fallisce(QStringLiteral("server chiesto in una corsa senza server"));
            } else if (richiesta.startsWith(QLatin1String("stop"))) {
                server_->ferma(richiesta.endsWith(QLatin1String("KILL")));
                ++esito_.fermate;
                esito_.uccisioni += richiesta.endsWith(QLatin1String("KILL"));
            } else if (!server_->avvia()) {
                fallisce(QStringLiteral("il server non ripartiva"));
            }
        } catch (const std::exception& e) {
            fallisce(QString::fromLocal8Bit(e.what()));
        }
        const QByteArray r = risposta.toLatin1();
        if (write(scriviA_, r.constData(), size_t(r.size())) < 0) {
            fallisce(QStringLiteral("l'ospite non legge più"));
        }
        ultimaAzione_ = adessoMs();
    }

    void leggi(int out, int err) {
        QByteArray buf[2];
        bool aperto[2] = {true, true};
        const qint64 inizio = adessoMs();
        ultimaAzione_ = inizio;
        const qint64 durata = qint64(minuti_ * 60000);
        bool terminato = false;
        qint64 terminatoAlle = 0;
        int stato = 0;
        bool finito = false;
        while (!finito) {
            pollfd p[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
            const int n = poll(p, 2, 100);
            for (int i = 0; i < 2 && n > 0; ++i) {
                if (!aperto[i] || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                    continue;
                }
                char b[65536];
                const ssize_t letti = read(p[i].fd, b, sizeof b);
                if (letti <= 0) {
                    aperto[i] = false;
                    continue;
                }
                buf[i].append(b, letti);
                for (qsizetype a = buf[i].indexOf('\n'); a >= 0; a = buf[i].indexOf('\n')) {
                    riga(buf[i].left(a), i == 1);
                    buf[i].remove(0, a + 1);
                }
            }
            const qint64 ora = adessoMs();
            // a server run ends with SIGTERM to the host, as a user's shutdown does
            if (server_ && !terminato && ora - inizio >= durata) {
                dice(QStringLiteral("SIGTERM all'ospite dopo %1 azioni").arg(esito_.azioni));
                ::kill(pid_, SIGTERM);
                terminato = true;
                terminatoAlle = ora;
            }
            if (terminato && ora - terminatoAlle > 15000) {
                fallisce(QStringLiteral("l'ospite è ancora vivo 15 s dopo SIGTERM"));
                ::kill(pid_, SIGKILL);
                terminatoAlle = ora + 1000000;
            }
            // the host's own watch reports a still event loop; this one a host
            // stuck so hard that it cannot
            if (!terminato && ora - ultimaAzione_ > 60000) {
                fallisce(QStringLiteral("nessuna azione da 60 s: l'ospite è bloccato"));
                ::kill(pid_, SIGABRT);
                terminato = true;
                terminatoAlle = ora + 1000000;
            }
            if (!terminato && ora - inizio > durata + 180000) {
                fallisce(QStringLiteral("l'ospite non finisce"));
                ::kill(pid_, SIGKILL);
                terminato = true;
                terminatoAlle = ora + 1000000;
            }
            if (waitpid(pid_, &stato, WNOHANG) == pid_) {
                // what is left in the pipes
                for (int i = 0; i < 2; ++i) {
                    char b[65536];
                    ssize_t letti;
                    fcntl(i == 0 ? out : err, F_SETFL, O_NONBLOCK);
                    while (aperto[i] && (letti = read(i == 0 ? out : err, b, sizeof b)) > 0) {
                        buf[i].append(b, letti);
                    }
                    for (const QByteArray& r : buf[i].split('\n')) {
                        if (!r.isEmpty()) {
                            riga(r, i == 1);
                        }
                    }
                }
                finito = true;
            }
        }
        close(out);
        close(err);
        if (WIFSIGNALED(stato)) {
            fallisce(QStringLiteral("l'ospite è morto per il segnale %1 (%2)")
                         .arg(WTERMSIG(stato))
                         .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(stato)))));
        } else if (WIFEXITED(stato)) {
            const int codice = WEXITSTATUS(stato);
            const int atteso = server_ ? 128 + SIGTERM : 0;
            if (codice != atteso) {
                fallisce(
                    QStringLiteral("l'ospite è uscito con %1, atteso %2").arg(codice).arg(atteso));
            }
        }
    }

public:
    const std::deque<QString>& ultime() const { return ultime_; }

private:
    QString dir_;
    quint64 seme_;
    double minuti_;
    Server* server_;
    bool recupero_;
    QFile registro_;

public:
    quint64 azioni_ = 0; // a replay: the embedded run ends after so many actions

private:
    pid_t pid_ = 0;
    int scriviA_ = -1;
    Esito esito_;
    std::deque<QString> ultime_;
    qint64 ultimaAzione_ = 0;
};

void uso() {
    std::fprintf(stderr, "uso: tovaris caos DIR [--seed S] [--minutes M] [--server HOST/PORT] "
                         "[--actions N]\n");
}

} // namespace

int comandoCaos(int argc, char** argv) {
    if (argc < 3) {
        uso();
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    quint64 seme = quint64(adessoMs()) % 1000000;
    double minuti = 30;
    QString server;
    quint64 azioni = 0;
    for (int i = 3; i < argc; ++i) {
        bool ok = true;
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seme = QByteArray(argv[++i]).toULongLong(&ok);
        } else if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minuti = QByteArray(argv[++i]).toDouble(&ok);
            ok = ok && minuti > 0;
        } else if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) {
            server = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--actions") == 0 && i + 1 < argc) {
            azioni = QByteArray(argv[++i]).toULongLong(&ok);
        } else {
            ok = false;
        }
        if (!ok) {
            uso();
            return 2;
        }
    }
    // the seed first: whatever happens next, the run can be made again
    std::printf("seme %llu (tovaris caos %s --seed %llu --minutes %g%s%s)\n",
                static_cast<unsigned long long>(seme), argv[2],
                static_cast<unsigned long long>(seme), minuti, server.isEmpty() ? "" : " --server ",
                server.toLocal8Bit().constData());
    std::fflush(stdout);

    Cartella c;
    c.radice = dir + '/';
    c.server = quintar::datiini::leggi(c.radice + "user/", QStringLiteral("Nome Server"));
    if (!QFile::exists(c.userDb())) {
        std::fprintf(stderr, "tovaris caos: nessun archivio in %s\n", argv[2]);
        return 2;
    }
    if (server.isEmpty() != c.server.isEmpty()) {
        std::fprintf(stderr, "tovaris caos: gli archivi di %s %s\n", argv[2],
                     c.server.isEmpty() ? "sono locali: --server non serve"
                                        : "sono su un server: indicarlo con --server");
        return 2;
    }
    std::unique_ptr<Server> s;
    if (!server.isEmpty()) {
        try {
            s = std::make_unique<Server>(server, c.radice + "caos-server.log");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tovaris caos: %s\n", e.what());
            return 2;
        }
    }

    QStringList fallimenti;
    Invarianti prima;
    try {
        prima = leggiInvarianti(c);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovaris caos: archivi non letti prima della corsa: %s\n", e.what());
        return 2;
    }
    for (const auto& [nome, chiavi] : prima.violazioni) {
        if (!chiavi.isEmpty()) {
            std::printf("prima della corsa: invariante \"%s\" già violata da %lld righe\n",
                        nome.toUtf8().constData(), static_cast<long long>(chiavi.size()));
        }
    }
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    Sorvegliante sorv(dir, seme, minuti, s.get());
    sorv.azioni_ = azioni;
    Esito esito = sorv.esegui();
    fallimenti = esito.fallimenti;
    const qint64 durata = t.elapsed();
    if (s && !s->acceso() && !s->avvia()) {
        fallimenti << QStringLiteral("il server non riparte per le verifiche");
    }
    if (s) {
        std::printf("server pid %d\n", int(s->pid()));
    }

    // what a killed host leaves is ended by the next opening of the screens
    if (s && fallimenti.isEmpty()) {
        Sorvegliante rec(dir, seme, 2, s.get(), true);
        const Esito e = rec.esegui();
        fallimenti << e.fallimenti;
        for (const auto& [testo, volte] : e.messaggi) {
            std::printf("  all'apertura successiva: %s\n", testo.toUtf8().constData());
        }
    }
    if (fallimenti.isEmpty() || s) {
        try {
            for (const QString& f : verificaArchivi(c, prima)) {
                fallimenti << f;
                dice(QStringLiteral("FALLIMENTO: ") + f);
            }
        } catch (const std::exception& e) {
            fallimenti << QStringLiteral("verifiche non fatte: ") +
                              QString::fromLocal8Bit(e.what());
        }
    }

    int errori = 0, totali = 0;
    for (const auto& [testo, volte] : esito.messaggi) {
        totali += volte;
        if (testo.startsWith(QLatin1String("errore"))) {
            errori += volte;
        }
    }
    std::printf("corsa di %.1f s: %llu azioni, %d schermate aperte, %d messaggi (%d errori), "
                "%d fermate del server (%d con SIGKILL)\n",
                durata / 1000.0, static_cast<unsigned long long>(esito.azioni), esito.finestre,
                totali, errori, esito.fermate, esito.uccisioni);
    // the texts of the error boxes, for the reader: an error the user sees is no
    // failure of the run, but each deserves a look
    for (const auto& [testo, volte] : esito.messaggi) {
        if (testo.startsWith(QLatin1String("errore")) ||
            testo.startsWith(QLatin1String("ospite"))) {
            std::printf("  %4dx %s\n", volte, testo.toUtf8().constData());
        }
    }
    for (const auto& [testo, volte] : esito.log) {
        std::printf("  log %4dx %s\n", volte, testo.toUtf8().constData());
    }
    if (!fallimenti.isEmpty()) {
        std::printf("FALLITA, seme %llu; le ultime %zu azioni:\n",
                    static_cast<unsigned long long>(seme), sorv.ultime().size());
        for (const QString& a : sorv.ultime()) {
            std::printf("  %s\n", a.toUtf8().constData());
        }
        for (const QString& f : fallimenti) {
            std::printf("FALLIMENTO: %s\n", f.toUtf8().constData());
        }
        std::fflush(stdout);
        return 1;
    }
    std::printf("superata, seme %llu: gfix pulito, nulla in sospeso, invarianti rispettate\n",
                static_cast<unsigned long long>(seme));
    std::fflush(stdout);
    return 0;
}

} // namespace tovaris
