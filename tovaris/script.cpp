#include "script.h"

#include "segnali.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace tovaris {

namespace {

QString senzaAcceleratori(QString s) {
    s.replace(QLatin1String("&&"), QLatin1String("\x01"));
    s.remove('&');
    s.replace(QLatin1String("\x01"), QLatin1String("&"));
    return s;
}

// What a control shows, as the script compares it.
std::optional<QString> mostrato(QWidget* w) {
    if (auto* c = qobject_cast<QCheckBox*>(w)) {
        return c->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        return e->text();
    }
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
        return s->text();
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        return c->currentText();
    }
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        return m->toPlainText();
    }
    if (auto* m = qobject_cast<QTextEdit*>(w)) {
        return m->toPlainText();
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        return l->text();
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        return senzaAcceleratori(b->text());
    }
    return std::nullopt;
}

qint64 adesso() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A text on one line, as a script would write it.
QString suUnaRiga(QString s) {
    return s.replace(QLatin1String("\\"), QLatin1String("\\\\"))
        .replace('\n', QLatin1String("\\n"));
}

// The visible windows: class, objectName, title; a message box adds its
// text and buttons, the modal one is marked.
QString finestreAperte() {
    QString r;
    QWidget* modale = QApplication::activeModalWidget();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) {
            continue;
        }
        r += QStringLiteral("  %1 \"%2\" titolo \"%3\"")
                 .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                      suUnaRiga(w->windowTitle()));
        if (w == modale) {
            r += QStringLiteral(" (modale)");
        }
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            r += QStringLiteral(" messaggio \"%1\"").arg(suUnaRiga(box->text()));
            QStringList pulsanti;
            for (QAbstractButton* b : box->buttons()) {
                pulsanti << senzaAcceleratori(b->text());
            }
            r += QStringLiteral(" pulsanti: %1").arg(pulsanti.join(QStringLiteral(", ")));
        }
        r += '\n';
    }
    return r.isEmpty() ? QStringLiteral("  nessuna finestra aperta\n") : r;
}

} // namespace

EsecutoreScript::EsecutoreScript(const Cartella& c, Libreria& lib, QStringList righe,
                                 int limiteSecondi, QObject* parent)
    : QObject(parent), cartella_(c), lib_(lib), righe_(std::move(righe)),
      limiteMs_(qint64(limiteSecondi) * 1000) {}

EsecutoreScript::~EsecutoreScript() {
    finito_ = true;
    if (guardia_.joinable()) {
        guardia_.join();
    }
}

int EsecutoreScript::esegui() {
    iniziaPasso();
    guardia_ = std::thread([this] { sorveglia(); });
    prossimo();
    qApp->exec();
    finito_ = true;
    guardia_.join();
    return fallimenti_;
}

void EsecutoreScript::iniziaPasso() {
    rigaPasso_ = riga_;
    inizioPasso_ = adesso();
}

// The watch runs on a thread of its own: a step may hold the UI thread in a
// modal loop, which still answers, or inside a call that never returns, which
// does not.
void EsecutoreScript::sorveglia() {
    using namespace std::chrono_literals;
    constexpr qint64 kRispostaMs = 5000;
    qint64 segnalato = -1;
    qint64 richiesta = 0;
    while (!finito_) {
        std::this_thread::sleep_for(50ms);
        const qint64 inizio = inizioPasso_;
        if (adesso() - inizio <= limiteMs_) {
            continue;
        }
        if (segnalato != inizio) {
            segnalato = inizio;
            richiesta = adesso();
            QMetaObject::invokeMethod(
                this,
                [this, inizio] {
                    if (inizioPasso_ == inizio) {
                        interrompi(
                            QStringLiteral("il passo dura da più di %1 s").arg(limiteMs_ / 1000));
                    }
                },
                Qt::QueuedConnection);
        } else if (adesso() - richiesta > kRispostaMs) {
            std::fprintf(stderr,
                         "riga %d: il passo dura da più di %lld s e l'interfaccia non risponde\n"
                         "tovaris: script interrotto senza chiudere gli archivi\n",
                         int(rigaPasso_), limiteMs_ / 1000);
            std::fflush(stderr);
            _exit(1);
        }
    }
}

void EsecutoreScript::interrompi(const QString& motivo) {
    const int r = rigaPasso_;
    const QString dove = r > 0 && r <= righe_.size() ? QStringLiteral("riga %1").arg(r)
                                                     : QStringLiteral("fine dello script");
    std::fprintf(stderr, "%s: %s; finestre aperte:\n%s", dove.toLocal8Bit().constData(),
                 motivo.toLocal8Bit().constData(), finestreAperte().toLocal8Bit().constData());
    if (fallimenti_ > 0) {
        std::fprintf(stderr, "%d verifiche fallite\n", fallimenti_);
    }
    std::fprintf(stderr, "tovaris: script interrotto senza chiudere gli archivi\n");
    std::fflush(stderr);
    // as a killed host: no commit, no closing, no destructors
    _exit(1);
}

void EsecutoreScript::prossimo(int ms) {
    QTimer::singleShot(ms, this, &EsecutoreScript::passo);
}

void EsecutoreScript::fallito(const QString& motivo) {
    ++fallimenti_;
    std::fprintf(stderr, "riga %d: %s\n", riga_, motivo.toLocal8Bit().constData());
}

void EsecutoreScript::aspetta(const QString& file, int restanti) {
    if (QFile::exists(file)) {
        prossimo();
        return;
    }
    if (restanti <= 0) {
        fallito(QStringLiteral("il file '%1' non è comparso").arg(file));
        prossimo();
        return;
    }
    QTimer::singleShot(50, this, [this, file, restanti] { aspetta(file, restanti - 1); });
}

QWidget* EsecutoreScript::attiva() const {
    if (QWidget* m = QApplication::activeModalWidget()) {
        return m;
    }
    return attiva_.data();
}

QWidget* EsecutoreScript::trova(const QString& nome) const {
    QWidget* w = attiva();
    if (!w) {
        return nullptr;
    }
    if (w->objectName() == nome) {
        return w;
    }
    if (auto* c = w->findChild<QWidget*>(nome)) {
        return c;
    }
    for (auto* b : w->findChildren<QAbstractButton*>()) {
        if (senzaAcceleratori(b->text()) == nome && b->isVisibleTo(w)) {
            return b;
        }
    }
    return nullptr;
}

void EsecutoreScript::passo() {
    while (riga_ < righe_.size()) {
        const QString linea = righe_[riga_++].trimmed();
        iniziaPasso();
        if (linea.isEmpty() || linea.startsWith('#')) {
            continue;
        }
        const QStringList parti = linea.split(' ', Qt::SkipEmptyParts);
        const QString azione = parti.first();
        const QStringList arg = parti.mid(1);
        // the text after the action and its first argument, blanks kept
        const QString dopoAzione = linea.mid(azione.size()).trimmed();
        const QString dopoNome =
            arg.isEmpty() ? QString() : dopoAzione.mid(arg.first().size()).trimmed();
        const bool continua = agisci(azione, arg, azione == "message" ? dopoAzione : dopoNome);
        if (!continua) {
            return; // the action scheduled the next step itself
        }
        // a real timer, not a zero one: a modal loop that the action ends has
        // returned, and the code after it has run, before the next step
        prossimo(5);
        return;
    }
    fine();
}

// End of the script: close what is open and leave. A window that does not
// close, or a box raised by closing it, means the script left work under way.
void EsecutoreScript::fine() {
    riga_ = int(righe_.size()) + 1;
    iniziaPasso();
    if (QApplication::activeModalWidget()) {
        interrompi(QStringLiteral("lo script è finito con una finestra modale aperta"));
    }
    QTimer controllo;
    controllo.setInterval(20);
    connect(&controllo, &QTimer::timeout, this, [this] {
        if (QApplication::activeModalWidget()) {
            interrompi(QStringLiteral("chiudendo le finestre si è aperta una finestra modale"));
        }
    });
    controllo.start();
    QApplication::closeAllWindows();
    controllo.stop();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            interrompi(QStringLiteral("alla fine dello script una finestra non si chiude"));
        }
    }
    QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
}

bool EsecutoreScript::agisci(const QString& azione, const QStringList& arg, const QString& resto) {
    auto serve = [&](int n) {
        if (arg.size() < n) {
            fallito(QStringLiteral("'%1' vuole %2 argomenti").arg(azione).arg(n));
            return false;
        }
        return true;
    };
    auto controllo = [&](const QString& nome) -> QWidget* {
        QWidget* w = trova(nome);
        if (!w) {
            fallito(QStringLiteral("controllo '%1' non trovato nella finestra attiva").arg(nome));
        }
        return w;
    };

    if (azione == "open") {
        if (!serve(2)) {
            return true;
        }
        std::optional<int> finestra;
        if (arg.size() > 2) {
            finestra = arg[2].toInt();
        }
        const QString entrata = arg[0];
        const int utente = arg[1].toInt();
        // the launch may show a message box: the next step runs inside its loop
        QTimer::singleShot(0, this, [this, entrata, utente, finestra] {
            const auto prima = QApplication::topLevelWidgets();
            if (!lib_.apri(cartella_, entrata, utente, finestra)) {
                fallito(QStringLiteral("punto di ingresso '%1' inesistente").arg(entrata));
                return;
            }
            riaffermaSegnali();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!prima.contains(w) && w->isVisible() && !qobject_cast<QDialog*>(w)) {
                    finestre_.emplace_back(w);
                    attiva_ = w;
                }
            }
        });
        return true;
    }
    if (azione == "activate") {
        if (!serve(1)) {
            return true;
        }
        int n = arg[0].toInt();
        if (n < 1 || size_t(n) > finestre_.size() || !finestre_[size_t(n - 1)]) {
            fallito(QStringLiteral("finestra %1 inesistente").arg(n));
        } else {
            attiva_ = finestre_[size_t(n - 1)];
            attiva_->activateWindow();
        }
        return true;
    }
    if (azione == "signal") {
        if (!serve(1)) {
            return true;
        }
        QFile f(resto.isEmpty() ? arg[0] : arg[0] + ' ' + resto);
        if (!f.open(QIODevice::WriteOnly)) {
            fallito(QStringLiteral("file '%1' non creato").arg(f.fileName()));
        }
        return true;
    }
    if (azione == "await") {
        if (!serve(1)) {
            return true;
        }
        aspetta(resto.isEmpty() ? arg[0] : arg[0] + ' ' + resto, 60000 / 50);
        return false;
    }
    if (azione == "wait") {
        prossimo(arg.isEmpty() ? 0 : arg[0].toInt());
        return false;
    }
    if (azione == "click" || azione == "answer") {
        if (!serve(1)) {
            return true;
        }
        QWidget* w =
            controllo(azione == "answer" ? resto.isEmpty() ? arg[0] : arg.join(' ') : arg[0]);
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            // a click may open a modal box: the next step runs inside its loop
            QPointer<QAbstractButton> p(b);
            QTimer::singleShot(0, b, [p] {
                if (p) {
                    p->click();
                }
            });
        } else if (w) {
            fallito(QStringLiteral("'%1' non è un pulsante").arg(arg[0]));
        }
        return true;
    }
    if (azione == "text") {
        if (!serve(1)) {
            return true;
        }
        QWidget* w = controllo(arg[0]);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setFocus();
            e->selectAll();
            e->insert(resto);
        } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
            if (auto* e2 = s->findChild<QLineEdit*>()) {
                e2->selectAll();
                e2->insert(resto);
            }
            s->interpretText();
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            int i = c->findText(resto);
            if (i >= 0) {
                c->setCurrentIndex(i);
            } else if (c->isEditable()) {
                c->setEditText(resto);
            } else {
                fallito(QStringLiteral("'%1' non ha la voce '%2'").arg(arg[0], resto));
            }
        } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
            m->setPlainText(resto);
        } else if (auto* m2 = qobject_cast<QTextEdit*>(w)) {
            m2->setPlainText(resto);
        } else if (w) {
            fallito(QStringLiteral("in '%1' non si scrive").arg(arg[0]));
        }
        return true;
    }
    if (azione == "key") {
        if (!serve(2)) {
            return true;
        }
        QWidget* w = controllo(arg[0]);
        QKeySequence k = QKeySequence::fromString(arg[1]);
        if (w && k.count() == 1) {
            QKeyCombination kc = k[0];
            QPointer<QWidget> p(w);
            QTimer::singleShot(0, w, [p, kc] {
                if (p) {
                    QTest::keyClick(p.data(), kc.key(), kc.keyboardModifiers());
                }
            });
        } else if (w) {
            fallito(QStringLiteral("tasto '%1' non riconosciuto").arg(arg[1]));
        }
        return true;
    }
    if (azione == "row") {
        if (!serve(2)) {
            return true;
        }
        auto* v = qobject_cast<QAbstractItemView*>(controllo(arg[0]));
        int n = arg[1].toInt() - 1;
        if (v && v->model()) {
            while (n >= v->model()->rowCount() && v->model()->canFetchMore({})) {
                v->model()->fetchMore({});
            }
            if (n < 0 || n >= v->model()->rowCount()) {
                fallito(QStringLiteral("'%1' non ha la riga %2").arg(arg[0], arg[1]));
            } else {
                v->setCurrentIndex(v->model()->index(n, 0));
            }
        }
        return true;
    }
    if (azione == "message") {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            fallito(QStringLiteral("nessun messaggio aperto (atteso: %1)").arg(resto));
        } else if (box->text() != resto) {
            fallito(QStringLiteral("il messaggio dice '%1', atteso '%2'").arg(box->text(), resto));
        }
        return true;
    }
    if (azione == "expect") {
        if (!serve(1)) {
            return true;
        }
        std::optional<QString> visto;
        if (arg[0] == "title") {
            visto = attiva() ? attiva()->windowTitle() : QString();
        } else if (QWidget* w = controllo(arg[0])) {
            visto = mostrato(w);
            if (!visto) {
                fallito(QStringLiteral("'%1' non mostra un valore").arg(arg[0]));
                return true;
            }
        } else {
            return true;
        }
        if (*visto != resto) {
            fallito(QStringLiteral("'%1' mostra '%2', atteso '%3'").arg(arg[0], *visto, resto));
        }
        return true;
    }
    if (azione == "enabled") {
        if (!serve(2)) {
            return true;
        }
        if (QWidget* w = controllo(arg[0])) {
            if (w->isEnabled() != (arg[1] == "1")) {
                fallito(QStringLiteral("'%1' è %2")
                            .arg(arg[0], w->isEnabled() ? "abilitato" : "disabilitato"));
            }
        }
        return true;
    }
    if (azione == "shot") {
        if (!serve(1)) {
            return true;
        }
        QWidget* w = attiva();
        if (!w || !w->grab().save(arg[0])) {
            fallito(QStringLiteral("immagine '%1' non salvata").arg(arg[0]));
        }
        return true;
    }
    if (azione == "close") {
        if (QWidget* w = attiva()) {
            QPointer<QWidget> p(w);
            QTimer::singleShot(0, w, [p] {
                if (p) {
                    p->close();
                }
            });
        } else {
            fallito(QStringLiteral("nessuna finestra attiva"));
        }
        return true;
    }
    fallito(QStringLiteral("azione sconosciuta '%1'").arg(azione));
    return true;
}

} // namespace tovaris
