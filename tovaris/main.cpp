// tovaris: the stand-in host of the library.
//
//   tovaris init DIR [--demo|--scale F] [--server HOST/PORT [--alias-prefix P]]
//                                        make DIR with its archives (demo company with --demo,
//                                        a large company for benchmarks with --scale), on a
//                                        Firebird server with --server
//   tovaris aliases DIR [--alias-prefix P]
//                                        the databases.conf lines a server needs for DIR
//   tovaris run DIR                      launcher window: pick the user, open any screen
//   tovaris open DIR ENTRY USER [WINDOW] call one entry point, run until its windows close
//   tovaris script DIR FILE [--timeout S] run a script of UI actions (see script.h); a step
//                                        lasting more than S seconds (120) ends it
//   tovaris caos DIR [--seed S] [--minutes M] [--server HOST/PORT]
//                                        the chaos run: a seeded monkey on every screen,
//                                        then the archives checked (caos.h)
//   tovaris pesa DIR SCALE BARCODE WEIGHT [OPERATOR...] [--at MOMENT] [--count N]
//   tovaris pesa DIR --status STATUS SCALE [--at MOMENT]
//                                        the weighing station: weighings written into the
//                                        weighing archive, a status changed by hand (stazione.h)
#include "caos.h"
#include "inizializza.h"
#include "ospite.h"
#include "scala.h"
#include "script.h"
#include "segnali.h"
#include "stazione.h"

#include "session/datiini.h"
#include "session/db.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

void uso() {
    std::fprintf(stderr,
                 "uso:\n"
                 "  tovaris init DIR [--demo | --scale F]   (F = 1: 100000 materie prime, "
                 "20000 formulazioni,\n"
                 "                                          50000 prodotti, 200000 "
                 "fabbricazioni, 1000000 pesate)\n"
                 "       [--server HOST/PORT [--alias-prefix P]]   (archivi su un server "
                 "Firebird)\n"
                 "  tovaris aliases DIR [--alias-prefix P]   (righe di databases.conf)\n"
                 "  tovaris run DIR\n"
                 "  tovaris open DIR ENTRY USER [WINDOW]\n"
                 "  tovaris script DIR FILE [--timeout SECONDI]   (un passo che dura "
                 "di più ferma lo script;\n"
                 "                                                 120 s se non indicato)\n"
                 "  tovaris caos DIR [--seed S] [--minutes M] [--server HOST/PORTA]\n"
                 "  tovaris pesa DIR %s\n",
                 tovaris::kUsoPesa);
}

bool schermoDisponibile(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0) {
            return true;
        }
    }
    return !qgetenv("QT_QPA_PLATFORM").isEmpty() || !qgetenv("DISPLAY").isEmpty() ||
           !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

tovaris::Cartella cartella(const QString& dir) {
    tovaris::Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    c.server = quintar::datiini::leggi(c.radice + "user/", QStringLiteral("Nome Server"));
    if (!QFile::exists(c.userDb())) {
        throw std::runtime_error(
            ("nessun archivio in " + dir + ": crearlo con 'tovaris init " + dir + " --demo'")
                .toStdString());
    }
    return c;
}

struct Utente {
    int codice;
    QString nome;
};

std::vector<Utente> utenti(const tovaris::Cartella& c) {
    quintar::Database db;
    db.connect(tovaris::nomeConnessione(c.userDb()));
    quintar::Transaction tr(&db);
    quintar::Query q(&db, &tr);
    q.SQL = {"SELECT CODICE, NOMEUTENTE FROM UTENTI ORDER BY CODICE"};
    std::vector<Utente> r;
    for (q.open(); !q.eof(); q.next()) {
        r.push_back({int(q.field(0).asInteger()), q.field(1).asString()});
    }
    return r;
}

int lanciatore(const tovaris::Cartella& c, tovaris::Libreria& lib) {
    QWidget w;
    w.setObjectName("Tovaris");
    w.setWindowTitle("Tovaris - " + c.radice);
    auto* combo = new QComboBox(&w);
    combo->setObjectName("ComboUtente");
    for (const Utente& u : utenti(c)) {
        combo->addItem(QString("%1 - %2").arg(u.codice).arg(u.nome), u.codice);
    }
    auto* lista = new QListWidget(&w);
    lista->setObjectName("ListaSchermate");
    for (const QString& e : tovaris::entratePreviste()) {
        if (lib.esiste(e)) {
            lista->addItem(e);
        }
    }
    if (lista->count() > 0) {
        lista->setCurrentRow(0);
    }
    auto* apri = new QPushButton("&Apri", &w);
    apri->setObjectName("ButtonApri");
    auto* v = new QVBoxLayout(&w);
    auto* h = new QHBoxLayout;
    h->addWidget(new QLabel("Utente:", &w));
    h->addWidget(combo, 1);
    v->addLayout(h);
    v->addWidget(new QLabel("Schermate:", &w));
    v->addWidget(lista, 1);
    v->addWidget(apri);
    auto apriScelta = [&] {
        if (auto* i = lista->currentItem()) {
            try {
                lib.apri(c, i->text(), combo->currentData().toInt());
            } catch (const std::exception& e) {
                QMessageBox::critical(&w, w.windowTitle(),
                                      i->text() + ": " + QString::fromLocal8Bit(e.what()));
            }
            tovaris::riaffermaSegnali();
        }
    };
    QObject::connect(apri, &QPushButton::clicked, &w, apriScelta);
    QObject::connect(lista, &QListWidget::itemActivated, &w, apriScelta);
    w.resize(420, 520);
    w.show();
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(qApp, &QApplication::lastWindowClosed, qApp, [&w] {
        if (!w.isVisible()) {
            QApplication::quit();
        }
    });
    QObject::connect(&w, &QObject::destroyed, qApp, &QApplication::quit);
    int r = qApp->exec();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        uso();
        return 2;
    }
    const QString comando = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (comando == "aliases") {
        tovaris::Cartella c;
        c.radice = QDir(dir).absolutePath() + '/';
        c.server = QStringLiteral("-");
        for (int i = 3; i < argc; ++i) {
            if (std::strcmp(argv[i], "--alias-prefix") == 0 && i + 1 < argc) {
                c.prefissoAlias = QString::fromLocal8Bit(argv[++i]);
            } else {
                uso();
                return 2;
            }
        }
        for (const auto& a : c.archivi()) {
            std::printf("%s = %s\n", a.alias.toLocal8Bit().constData(),
                        a.file.toLocal8Bit().constData());
        }
        return 0;
    }
    if (comando == "caos") {
        return tovaris::comandoCaos(argc, argv);
    }
    if (comando == "pesa") {
        QCoreApplication app(argc, argv);
        QStringList parole;
        for (int i = 3; i < argc; ++i) {
            parole << QString::fromLocal8Bit(argv[i]);
        }
        try {
            for (const QString& r : tovaris::comandoPesa(cartella(dir), parole)) {
                std::printf("%s\n", r.toLocal8Bit().constData());
            }
            return 0;
        } catch (const quintar::DbError& e) {
            std::fprintf(stderr, "tovaris pesa: %s\n", e.messaggio().toLocal8Bit().constData());
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tovaris pesa: %s\n", e.what());
            return 1;
        }
    }
    if (comando == "init") {
        QApplication::setAttribute(Qt::AA_PluginApplication, false);
        qputenv("QT_QPA_PLATFORM",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
        QApplication app(argc, argv);
        bool demo = false;
        double scala = 0;
        QString server, prefisso;
        for (int i = 3; i < argc; ++i) {
            if (std::strcmp(argv[i], "--demo") == 0) {
                demo = true;
            } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
                scala = std::atof(argv[++i]);
            } else if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) {
                server = QString::fromLocal8Bit(argv[++i]);
            } else if (std::strcmp(argv[i], "--alias-prefix") == 0 && i + 1 < argc) {
                prefisso = QString::fromLocal8Bit(argv[++i]);
            } else {
                uso();
                return 2;
            }
        }
        try {
            auto c = tovaris::inizializza(dir, demo && scala <= 0, server, prefisso);
            if (scala > 0) {
                QElapsedTimer t;
                t.start();
                tovaris::riempiScala(c, tovaris::Quantita::scalate(scala), [](const QString& s) {
                    std::printf("%s\n", s.toLocal8Bit().constData());
                    std::fflush(stdout);
                });
                std::printf("archivio grande pronto in %.1f s\n", t.elapsed() / 1000.0);
            }
            std::printf("archivi creati in %s%s\n", c.radice.toLocal8Bit().constData(),
                        demo ? " (ditta dimostrativa)" : "");
            return 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tovaris init: %s\n", e.what());
            return 1;
        }
    }
    if (comando != "run" && comando != "open" && comando != "script" && comando != "caos-host") {
        uso();
        return 2;
    }
    if (!schermoDisponibile(argc, argv)) {
        std::fprintf(
            stderr,
            "tovaris: nessuno schermo. Avviare con un display, oppure con\n"
            "  QT_QPA_PLATFORM=vnc tovaris %s ...   (poi collegarsi con un client VNC alla "
            "porta 5900)\n"
            "  QT_QPA_PLATFORM=offscreen tovaris %s ...   (senza finestre visibili, per gli "
            "script)\n",
            argv[1], argv[1]);
        return 2;
    }
    QApplication app(argc, argv);
    try {
        const tovaris::Cartella c = cartella(dir);
        tovaris::Libreria lib;
        if (!lib.caricata()) {
            std::fprintf(stderr, "tovaris: libreria non caricata: %s\n",
                         lib.errore().toLocal8Bit().constData());
            return 1;
        }
        // before anything else attaches: see segnali.h
        tovaris::presidiaSegnali(c);
        if (comando == "run") {
            return lanciatore(c, lib);
        }
        if (comando == "caos-host") {
            return tovaris::scimmia(c, lib, argc, argv);
        }
        if (comando == "open") {
            if (argc < 5) {
                uso();
                return 2;
            }
            std::optional<int> finestra;
            if (argc > 5) {
                finestra = std::atoi(argv[5]);
            }
            const QString entrata = QString::fromLocal8Bit(argv[3]);
            if (!lib.esiste(entrata)) {
                std::fprintf(stderr, "tovaris: punto di ingresso %s inesistente\n", argv[3]);
                return 1;
            }
            QTimer::singleShot(0, &app, [&] {
                try {
                    lib.apri(c, entrata, std::atoi(argv[4]), finestra);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "tovaris: %s non aperto: %s\n", argv[3], e.what());
                    QApplication::exit(1);
                    return;
                }
                tovaris::riaffermaSegnali();
                // no window came up (or a modal one came and went): nothing to wait for
                const auto finestre = QApplication::topLevelWidgets();
                if (std::none_of(finestre.begin(), finestre.end(),
                                 [](QWidget* w) { return w->isVisible(); })) {
                    QApplication::quit();
                }
            });
            return app.exec();
        }
        if (argc < 4) {
            uso();
            return 2;
        }
        int limite = tovaris::EsecutoreScript::kLimitePredefinito;
        for (int i = 4; i < argc; ++i) {
            if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
                bool ok = false;
                limite = QString::fromLocal8Bit(argv[++i]).toInt(&ok);
                if (!ok || limite <= 0) {
                    std::fprintf(stderr, "tovaris: --timeout vuole un numero di secondi\n");
                    return 2;
                }
            } else {
                uso();
                return 2;
            }
        }
        QFile f(QString::fromLocal8Bit(argv[3]));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tovaris: script %s illeggibile\n", argv[3]);
            return 1;
        }
        QApplication::setQuitOnLastWindowClosed(false);
        tovaris::EsecutoreScript s(c, lib, QString::fromUtf8(f.readAll()).split('\n'), limite);
        const int fallimenti = s.esegui();
        if (fallimenti > 0) {
            std::fprintf(stderr, "%d verifiche fallite\n", fallimenti);
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovaris: %s\n", e.what());
        return 1;
    }
}
