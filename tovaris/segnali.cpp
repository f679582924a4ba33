#include "segnali.h"

#include "inizializza.h"

#include "session/db.h"

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ibase.h>
#include <thread>
#include <unistd.h>

namespace tovaris {

namespace {

// How long the engine may take to roll back and detach before the host
// leaves anyway.
constexpr unsigned kAttesaChiusuraMs = 5000;

int tubo[2] = {-1, -1};
volatile sig_atomic_t ricevuto = 0;

extern "C" void gestore(int sig) {
    if (ricevuto) {
        // the second signal: the user does not want to wait
        static const char avviso[] = "tovaris: secondo segnale, esco senza chiudere gli archivi\n";
        const ssize_t scritti = write(STDERR_FILENO, avviso, sizeof avviso - 1);
        (void)scritti;
        _exit(128 + sig);
    }
    ricevuto = sig;
    const unsigned char c = static_cast<unsigned char>(sig);
    const ssize_t scritti = write(tubo[1], &c, 1);
    (void)scritti;
}

const int kSegnali[] = {SIGTERM, SIGINT};

void installa() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = gestore;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSegnali) {
        sigaction(s, &sa, nullptr);
    }
}

// Runs outside the signal handler and outside the UI thread: the UI thread
// may be waiting inside the engine, and the shutdown ends that wait too.
void servizio() {
    unsigned char c = 0;
    for (;;) {
        const ssize_t n = read(tubo[0], &c, 1);
        if (n == 1) {
            break;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return; // the pipe is gone: nothing left to serve
    }
    const int sig = c;
    std::fprintf(stderr, "tovaris: %s: annullo le transazioni aperte e chiudo gli archivi\n",
                 strsignal(sig));
    std::fflush(stderr);
    if (fb_shutdown(kAttesaChiusuraMs, fb_shutrsn_signal) != 0) {
        std::fprintf(stderr, "tovaris: gli archivi non si sono chiusi in %u ms\n",
                     kAttesaChiusuraMs);
        std::fflush(stderr);
    }
    _exit(128 + sig);
}

} // namespace

void riaffermaSegnali() {
    if (tubo[1] < 0) {
        return;
    }
    for (int s : kSegnali) {
        struct sigaction attuale;
        if (sigaction(s, nullptr, &attuale) == 0 &&
            ((attuale.sa_flags & SA_SIGINFO) || attuale.sa_handler != gestore)) {
            installa();
            return;
        }
    }
}

bool presidiaSegnali(const Cartella& c) {
    bool attaccato = true;
    try {
        quintar::Database db;
        db.connect(nomeConnessione(c.userDb()));
        db.disconnect();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovaris: archivio utenti non aperto: %s\n", e.what());
        attaccato = false;
    }
    if (tubo[1] < 0) {
        if (pipe2(tubo, O_CLOEXEC) != 0) {
            std::perror("tovaris: pipe");
            return false;
        }
        std::thread(servizio).detach();
        installa();
        auto* t = new QTimer(QCoreApplication::instance());
        QObject::connect(t, &QTimer::timeout, t, &riaffermaSegnali);
        t->start(1000);
    } else {
        riaffermaSegnali();
    }
    return attaccato;
}

} // namespace tovaris
