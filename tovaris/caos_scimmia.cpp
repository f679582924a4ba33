// The monkey of the chaos run, inside the host (see caos.h).
//
// Lines written on stdout, each flushed at once so that the watcher has them
// even when the process dies right after:
//   A n TEXT      action n
//   M KIND TEXT   a message box the user saw
//   L KIND TEXT   a log line (Qt's message handler)
//   S stop KILL|TERM / S start   the watcher is asked to stop or start the
//                 server; the monkey waits for a line on stdin
//   F TEXT        a failure the host saw itself (a window unresponsive)
//   E n WINDOWS   the end, after n actions and WINDOWS screens opened
#include "caos.h"

#include "ospite.h"
#include "segnali.h"

#include "session/db.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace tovaris {

namespace {

qint64 adessoMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::mutex uscita;

// One line to the watcher; line breaks and control characters made visible.
void scrivi(const char* tipo, const QString& testo) {
    QString t;
    t.reserve(std::min<qsizetype>(testo.size(), 300));
    for (QChar c : testo.left(300)) {
        if (c == '\n') {
            t += QLatin1String("\\n");
        } else if (c.unicode() < 32 || c.unicode() == 127) {
            t += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
        } else {
            t += c;
        }
    }
    if (testo.size() > 300) {
        t += QStringLiteral("…(%1 caratteri)").arg(testo.size());
    }
    std::lock_guard<std::mutex> l(uscita);
    std::fprintf(stdout, "%s %s\n", tipo, t.toUtf8().constData());
    std::fflush(stdout);
}

void gestoreMessaggi(QtMsgType tipo, const QMessageLogContext&, const QString& testo) {
    const char* nome = tipo == QtDebugMsg      ? "debug"
                       : tipo == QtInfoMsg     ? "info"
                       : tipo == QtWarningMsg  ? "warning"
                       : tipo == QtCriticalMsg ? "critical"
                                               : "fatal";
    scrivi("L", QString::fromLatin1(nome) + ' ' + testo);
    if (tipo == QtFatalMsg) {
        std::abort();
    }
}

QString senzaAcceleratori(QString s) {
    s.replace(QLatin1String("&&"), QLatin1String("\x01"));
    s.remove('&');
    s.replace(QLatin1String("\x01"), QLatin1String("&"));
    return s;
}

// Types a text key by key, as a keyboard does: each character a press and a
// release carrying it (the test library's own typing knows ASCII only).
void digita(QWidget* w, const QString& t) {
    QPointer<QWidget> q(w);
    for (QChar c : t) {
        if (!q) {
            return;
        }
        const int u = c.toUpper().unicode();
        const int tasto = u >= 0x20 && u < 0x7f ? u : int(Qt::Key_unknown);
        QKeyEvent giu(QEvent::KeyPress, tasto, Qt::NoModifier, QString(c));
        QApplication::sendEvent(q.data(), &giu);
        if (!q) {
            return;
        }
        QKeyEvent su(QEvent::KeyRelease, tasto, Qt::NoModifier, QString(c));
        QApplication::sendEvent(q.data(), &su);
    }
}

// What a user can reach: with a modal window up, that window only. An act
// decided before a box came up does not go through to the window behind it.
bool raggiungibile(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    QWidget* modale = QApplication::activeModalWidget();
    return !w || !modale || w->window() == modale || modale->isAncestorOf(w);
}

QString nomeDi(QWidget* w) {
    if (!w) {
        return QStringLiteral("-");
    }
    QString n = w->objectName();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
        n += " \"" + senzaAcceleratori(b->text()) + '"';
    }
    return n.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : n;
}

// A dialog given up as its Esc would: rejected (closed when it is no dialog)
// once the event that chose it is over, unless it went away meanwhile.
void chiudiDialogo(QWidget* modale) {
    QPointer<QWidget> q(modale);
    QTimer::singleShot(0, modale, [q] {
        if (auto* d = qobject_cast<QDialog*>(q.data())) {
            d->reject();
        } else if (q) {
            q->close();
        }
    });
}

class Scimmia : public QObject {
public:
    Scimmia(const Cartella& c, Libreria& lib, quint64 seme, qint64 durataMs, bool server,
            bool recupero)
        : c_(c), lib_(lib), g_(seme), durataMs_(durataMs), server_(server), recupero_(recupero) {
        for (const QString& e : entratePreviste()) {
            if (lib_.esiste(e)) {
                entrate_ << e;
            }
        }
        quintar::Database db;
        db.connect(nomeConnessione(c_.userDb()));
        quintar::Transaction tr(&db);
        quintar::Query q(&db, &tr);
        q.SQL = {"SELECT CODICE FROM UTENTI ORDER BY CODICE"};
        for (q.open(); !q.eof(); q.next()) {
            utenti_.push_back(int(q.field(0).asInteger()));
        }
        prossimaFermata_ = 1 + tra(100, 400);
    }

    ~Scimmia() override {
        finito_ = true;
        if (guardia_.joinable()) {
            guardia_.join();
        }
    }

    int esegui() {
        orologio_.start();
        battito_ = adessoMs();
        auto* cuore = new QTimer(this);
        connect(cuore, &QTimer::timeout, this, [this] { battito_ = adessoMs(); });
        cuore->start(100);
        guardia_ = std::thread([this] { sorveglia(); });
        QTimer::singleShot(0, this, [this] { passo(); });
        const int r = qApp->exec();
        finito_ = true;
        scrivi("E", QStringLiteral("%1 %2").arg(n_).arg(aperte_));
        return r;
    }

private:
    // ------------------------------------------------------------ the generator
    quint64 tira() { return g_(); }
    int tra(int n) { return n <= 0 ? 0 : int(tira() % quint64(n)); }
    int tra(int da, int a) { return da + tra(a - da + 1); }
    template <typename T> T* uno(const QList<T*>& l) {
        return l.isEmpty() ? nullptr : l[tra(int(l.size()))];
    }

    void azione(const QString& testo) { scrivi("A", QString::number(++n_) + ' ' + testo); }

    // ------------------------------------------------------------ the watch
    // A window unresponsive for more than 10 s: the event loop, modal loops
    // included, beats every 100 ms.
    void sorveglia() {
        using namespace std::chrono_literals;
        constexpr qint64 kLimiteMs = 10000;
        while (!finito_) {
            std::this_thread::sleep_for(100ms);
            const qint64 fermo = adessoMs() - battito_;
            // every act runs after its step: a step that does not end holds a
            // loop of its own that no step can answer
            const qint64 passo = inizioPasso_;
            if (passo > 0 && !inAttesa_ && adessoMs() - passo > 3 * kLimiteMs) {
                scrivi("F", QStringLiteral("il passo %1 non finisce da %2 s")
                                .arg(n_.load())
                                .arg((adessoMs() - passo) / 1000));
                _exit(3);
            }
            if (fermo > kLimiteMs && !inAttesa_) {
                scrivi("F", QStringLiteral("l'interfaccia non risponde da %1 s (azione %2)")
                                .arg(fermo / 1000)
                                .arg(n_.load()));
                _exit(3);
            }
        }
    }

    // ------------------------------------------------------------ the steps
    void prossimo() {
        static const int pause[] = {0, 0, 0, 5, 5, 5, 20, 50, 150, 450, 1100};
        QTimer::singleShot(pause[tra(int(std::size(pause)))], this, [this] { passo(); });
    }

    QList<QWidget*> finestreAperte() {
        QList<QWidget*> r;
        for (auto it = finestre_.begin(); it != finestre_.end();) {
            if (!*it || !(*it)->isVisible()) {
                it = finestre_.erase(it);
            } else {
                r << it->data();
                ++it;
            }
        }
        return r;
    }

    // After a run killed by a signal: the screens whose opening ends what a
    // killed host left between the archives, opened one after the other and
    // closed, each box answered with its first button.
    void recupera() {
        static const char* entrate[] = {"ShowIdPesateFormX", "ShowImpFabbrFormX",
                                        "ShowProdFabbrFormX"};
        QWidget* modale = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modale)) {
            scrivi("M", QStringLiteral("apertura ") + box->text());
            QPointer<QMessageBox> q(box);
            QTimer::singleShot(0, box, [q] {
                if (q && !q->buttons().isEmpty()) {
                    q->buttons().first()->click();
                } else if (q && raggiungibile(q)) {
                    q->reject();
                }
            });
        } else if (modale) {
            QPointer<QWidget> q(modale);
            QTimer::singleShot(0, modale, [q] {
                if (auto* d = qobject_cast<QDialog*>(q.data())) {
                    d->reject();
                }
            });
        } else if (!finestreAperte().isEmpty()) {
            for (QWidget* w : finestreAperte()) {
                azione(QStringLiteral("chiude la finestra %1").arg(nomeDi(w)));
                QPointer<QWidget> q(w);
                QTimer::singleShot(0, w, [q] {
                    if (q && raggiungibile(q)) {
                        q->close();
                    }
                });
            }
        } else if (recuperate_ < int(std::size(entrate))) {
            const QString e = QString::fromLatin1(entrate[recuperate_++]);
            azione(QStringLiteral("apre %1 per l'utente 1").arg(e));
            QTimer::singleShot(0, this, [this, e] {
                const auto prima = QApplication::topLevelWidgets();
                lib_.apri(c_, e, 1);
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (!prima.contains(w) && w->isVisible() && !qobject_cast<QDialog*>(w)) {
                        finestre_.emplace_back(w);
                    }
                }
            });
        } else {
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
            return;
        }
        QTimer::singleShot(20, this, [this] { passo(); });
    }

    void passo() {
        inizioPasso_ = adessoMs();
        struct Fine {
            std::atomic<qint64>& a;
            ~Fine() { a = 0; }
        } fine{inizioPasso_};
        if (recupero_) {
            recupera();
            return;
        }
        if (!chiusura_ &&
            (orologio_.elapsed() >= durataMs_ || (maxAzioni_ > 0 && n_ >= maxAzioni_))) {
            if (server_) {
                // the watcher ends the host with SIGTERM: go on meanwhile
            } else {
                chiusura_ = true;
                passiChiusura_ = 0;
            }
        }
        if (server_ && !chiusura_ && n_ >= prossimaFermata_) {
            fermaOAvvia();
        }
        if (chiusura_) {
            chiudiTutto();
            return;
        }
        if (QWidget* p = QApplication::activePopupWidget()) {
            menu(qobject_cast<QMenu*>(p));
            prossimo();
            return;
        }
        QWidget* modale = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modale)) {
            rispondi(box);
            prossimo();
            return;
        }
        if (auto* f = qobject_cast<QFileDialog*>(modale)) {
            azione(QStringLiteral("annulla la scelta del file \"%1\"").arg(f->windowTitle()));
            QPointer<QFileDialog> q(f);
            QTimer::singleShot(0, f, [q] {
                if (q && raggiungibile(q)) {
                    q->reject();
                }
            });
            prossimo();
            return;
        }
        if (modale) {
            // a dialog: used as a window, and now and then closed
            if (tra(12) == 0) {
                azione(QStringLiteral("chiude il dialogo %1").arg(nomeDi(modale)));
                chiudiDialogo(modale);
            } else {
                usa(modale);
            }
            prossimo();
            return;
        }
        const QList<QWidget*> aperte = finestreAperte();
        if (aperte.isEmpty() || (aperte.size() < 4 && tra(25) == 0)) {
            apri();
        } else {
            if (!attiva_ || !aperte.contains(attiva_.data()) || tra(15) == 0) {
                attiva_ = uno(aperte);
                QPointer<QWidget> q(attiva_.data());
                QTimer::singleShot(0, attiva_.data(), [q] {
                    if (q && raggiungibile(q)) {
                        q->activateWindow();
                        q->raise();
                    }
                });
            }
            if (tra(80) == 0) {
                azione(QStringLiteral("chiude la finestra %1").arg(nomeDi(attiva_)));
                QPointer<QWidget> q(attiva_.data());
                QTimer::singleShot(0, attiva_.data(), [q] {
                    if (q && raggiungibile(q)) {
                        q->close();
                    }
                });
            } else {
                usa(attiva_.data());
            }
        }
        prossimo();
    }

    void apri() {
        const QString e = entrate_[tra(int(entrate_.size()))];
        const int utente = utenti_.empty() ? 1 : utenti_[size_t(tra(int(utenti_.size())))];
        azione(QStringLiteral("apre %1 per l'utente %2").arg(e).arg(utente));
        QTimer::singleShot(0, this, [this, e, utente] {
            const auto prima = QApplication::topLevelWidgets();
            try {
                lib_.apri(c_, e, utente);
            } catch (const std::exception& ex) {
                // the host's own window log: on a lost server it cannot be written
                scrivi("M", QStringLiteral("ospite %1 non aperto: %2")
                                .arg(e, QString::fromLocal8Bit(ex.what())));
                return;
            }
            riaffermaSegnali();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!prima.contains(w) && w->isVisible() && !qobject_cast<QDialog*>(w) &&
                    !qobject_cast<QMenu*>(w)) {
                    finestre_.emplace_back(w);
                    attiva_ = w;
                    ++aperte_;
                }
            }
        });
    }

    void rispondi(QMessageBox* box) {
        const QString tipo = box->icon() == QMessageBox::Critical      ? "errore"
                             : box->icon() == QMessageBox::Warning     ? "avviso"
                             : box->icon() == QMessageBox::Information ? "informazione"
                                                                       : "domanda";
        const QList<QAbstractButton*> pulsanti = box->buttons();
        QAbstractButton* b = uno(pulsanti);
        scrivi("M", tipo + ' ' + box->text());
        azione(QStringLiteral("risponde \"%1\"").arg(b ? senzaAcceleratori(b->text()) : "-"));
        QPointer<QAbstractButton> q(b);
        QPointer<QMessageBox> qb(box);
        QTimer::singleShot(0, box, [q, qb] {
            if (q && raggiungibile(q)) {
                q->click();
            } else if (qb) {
                qb->reject();
            }
        });
    }

    void menu(QMenu* m) {
        if (!m) {
            QApplication::activePopupWidget()->close();
            return;
        }
        QList<QAction*> voci;
        for (QAction* a : m->actions()) {
            if (!a->isSeparator() && a->isVisible() && a->isEnabled() && !a->menu()) {
                voci << a;
            }
        }
        QAction* a = tra(6) == 0 ? nullptr : uno(voci);
        azione(a ? QStringLiteral("sceglie la voce \"%1\"").arg(senzaAcceleratori(a->text()))
                 : QStringLiteral("chiude il menu"));
        m->close();
        if (a) {
            QPointer<QAction> q(a);
            QTimer::singleShot(0, a, [q] {
                if (q && raggiungibile(q)) {
                    q->trigger();
                }
            });
        }
    }

    // ------------------------------------------------------------ on a window
    template <typename T> QList<T*> visibili(QWidget* w) {
        QList<T*> r;
        for (T* c : w->findChildren<T*>()) {
            if (c->isVisibleTo(w) && c->isEnabled() && c->window() == w) {
                r << c;
            }
        }
        return r;
    }

    void usa(QWidget* w) {
        switch (tra(100) / 5) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            premi(w);
            break;
        case 6:
        case 7:
        case 8:
        case 9:
            scriviIn(w);
            break;
        case 10:
        case 11:
            riga(w);
            break;
        case 12:
            titolo(w);
            break;
        case 13:
            menuGriglia(w);
            break;
        case 14:
        case 15:
            pagina(w);
            break;
        case 16:
        case 17:
            tasto(w);
            break;
        case 18:
            ricerca(w);
            break;
        default:
            premi(w);
            break;
        }
    }

    void premi(QWidget* w) {
        QAbstractButton* b = uno(visibili<QAbstractButton>(w));
        if (!b) {
            return;
        }
        azione(QStringLiteral("preme %1 in %2").arg(nomeDi(b), nomeDi(w)));
        QPointer<QAbstractButton> q(b);
        QTimer::singleShot(0, b, [q] {
            if (q && raggiungibile(q)) {
                q->click();
            }
        });
    }

    QString testoOstile(int lunghezzaColonna) {
        static const QStringList fissi = {
            QString(),
            QStringLiteral("   "),
            QStringLiteral("'"),
            QStringLiteral("\""),
            QStringLiteral("l'acqua \"dolce\""),
            QStringLiteral("àèéìòù €"),
            QStringLiteral("%"),
            QStringLiteral("_"),
            QStringLiteral("50%_a"),
            QStringLiteral("1.000"),
            QStringLiteral("1,5"),
            QStringLiteral("-0"),
            QStringLiteral("abc"),
            QStringLiteral("31/02/2025"),
            QStringLiteral("\t\r\n\x01\x7f"),
            QStringLiteral("12"),
            QStringLiteral("0"),
        };
        const int k = tra(int(fissi.size()) + 2);
        if (k < fissi.size()) {
            return fissi[k];
        }
        if (k == fissi.size()) {
            QString s;
            s.reserve(10000);
            for (int i = 0; i < 10000; ++i) {
                s += QChar(i % 97 == 96 ? 0x20AC : 'a' + i % 26);
            }
            return s;
        }
        // one longer than the column
        const int n = lunghezzaColonna > 0 && lunghezzaColonna < 32767 ? lunghezzaColonna + 1 : 21;
        QString s;
        for (int i = 0; i < n; ++i) {
            s += QChar(i % 10 == 9 ? QChar(0xE8) : QChar('0' + i % 10));
        }
        return s;
    }

    void scriviIn(QWidget* w) {
        QList<QWidget*> campi;
        for (QWidget* c : visibili<QWidget>(w)) {
            auto* e = qobject_cast<QLineEdit*>(c);
            if ((e && !e->isReadOnly() && !qobject_cast<QAbstractSpinBox*>(e->parentWidget()) &&
                 !qobject_cast<QComboBox*>(e->parentWidget())) ||
                qobject_cast<QAbstractSpinBox*>(c) || qobject_cast<QComboBox*>(c) ||
                (qobject_cast<QPlainTextEdit*>(c) &&
                 !static_cast<QPlainTextEdit*>(c)->isReadOnly()) ||
                (qobject_cast<QTextEdit*>(c) && !static_cast<QTextEdit*>(c)->isReadOnly())) {
                campi << c;
            }
        }
        QWidget* c = uno(campi);
        if (!c) {
            return;
        }
        if (auto* combo = qobject_cast<QComboBox*>(c); combo && (!combo->isEditable() || tra(2))) {
            if (combo->count() == 0) {
                return;
            }
            const int i = tra(combo->count());
            azione(QStringLiteral("sceglie la voce %1 di %2").arg(i).arg(nomeDi(c)));
            QPointer<QComboBox> q(combo);
            QTimer::singleShot(0, combo, [q, i] {
                if (q && raggiungibile(q) && i < q->count()) {
                    q->setCurrentIndex(i);
                }
            });
            return;
        }
        auto* e = qobject_cast<QLineEdit*>(c);
        const QString t = testoOstile(e ? e->maxLength() : 0);
        const bool tasti = tra(2) == 0 && t.size() < 40;
        azione(QStringLiteral("scrive%1 \"%2\" in %3")
                   .arg(tasti ? QStringLiteral(" a tasti") : QString(), t, nomeDi(c)));
        QPointer<QWidget> q(c);
        // typed after the step: a key may open a box, the next step runs in its loop
        QTimer::singleShot(0, c, [q, t, tasti] {
            if (!q || !raggiungibile(q)) {
                return;
            }
            q->setFocus();
            QWidget* dove = q.data();
            if (auto* s = qobject_cast<QAbstractSpinBox*>(dove)) {
                if (auto* le = s->findChild<QLineEdit*>()) {
                    dove = le;
                }
            } else if (auto* cb = qobject_cast<QComboBox*>(dove); cb && cb->lineEdit()) {
                dove = cb->lineEdit();
            }
            if (auto* le = qobject_cast<QLineEdit*>(dove)) {
                le->selectAll();
                if (tasti) {
                    QTest::keyClick(le, Qt::Key_Delete);
                    digita(le, t);
                } else {
                    le->insert(t);
                }
                if (auto* s = qobject_cast<QAbstractSpinBox*>(q.data())) {
                    s->interpretText();
                }
            } else if (auto* m = qobject_cast<QPlainTextEdit*>(dove)) {
                if (tasti) {
                    m->selectAll();
                    digita(m, t);
                } else {
                    m->setPlainText(t);
                }
            } else if (auto* m2 = qobject_cast<QTextEdit*>(dove)) {
                if (tasti) {
                    m2->selectAll();
                    digita(m2, t);
                } else {
                    m2->setPlainText(t);
                }
            }
        });
    }

    void riga(QWidget* w) {
        auto* v = uno(visibili<QAbstractItemView>(w));
        if (!v || !v->model()) {
            return;
        }
        QAbstractItemModel* m = v->model();
        if (m->rowCount() == 0 || m->columnCount() == 0) {
            return;
        }
        const int n = tra(m->rowCount());
        const int col = tra(m->columnCount());
        const bool doppio = tra(4) == 0;
        azione(QStringLiteral("%1 la riga %2 di %3")
                   .arg(doppio ? "fa doppio clic su" : "sceglie")
                   .arg(n + 1)
                   .arg(nomeDi(v)));
        // after the step, as every act: a new row may bring up a box, and the
        // next step then runs in its loop
        QPointer<QAbstractItemView> q(v);
        QTimer::singleShot(0, v, [q, n, col, doppio] {
            if (!q || !raggiungibile(q) || !q->model() || n >= q->model()->rowCount() ||
                col >= q->model()->columnCount()) {
                return;
            }
            q->setCurrentIndex(q->model()->index(n, col));
            if (doppio && q) {
                const QRect r = q->visualRect(q->currentIndex());
                if (r.isValid()) {
                    QTest::mouseClick(q->viewport(), Qt::LeftButton, {}, r.center());
                }
                if (q && r.isValid()) {
                    QTest::mouseDClick(q->viewport(), Qt::LeftButton, {}, r.center());
                }
            }
        });
    }

    void titolo(QWidget* w) {
        auto* v = uno(visibili<QTableView>(w));
        if (!v || !v->model() || v->model()->columnCount() == 0) {
            return;
        }
        QHeaderView* h = v->horizontalHeader();
        const int col = tra(v->model()->columnCount());
        if (h->isSectionHidden(col) || !h->isVisible()) {
            return;
        }
        const bool doppio = tra(3) != 0;
        const bool ctrl = tra(4) == 0;
        azione(QStringLiteral("%1%2 il titolo \"%3\" di %4")
                   .arg(doppio ? "fa doppio clic su" : "clicca", ctrl ? " con Ctrl" : "",
                        v->model()->headerData(col, Qt::Horizontal).toString(), nomeDi(v)));
        QPointer<QTableView> qv(v);
        QPointer<QWidget> q(h->viewport());
        QTimer::singleShot(0, h->viewport(), [qv, q, col, doppio, ctrl] {
            if (!qv || !q || !raggiungibile(q) || col >= qv->model()->columnCount()) {
                return;
            }
            // the title in view, as for a user (scrolling may read rows)
            if (qv->model()->rowCount() > 0) {
                qv->scrollTo(qv->model()->index(0, col));
            }
            if (!qv || !q) {
                return;
            }
            QHeaderView* h = qv->horizontalHeader();
            const QPoint punto(h->sectionViewportPosition(col) + h->sectionSize(col) / 2,
                               h->viewport()->height() / 2);
            const auto mod = ctrl ? Qt::ControlModifier : Qt::NoModifier;
            if (doppio) {
                QTest::mouseDClick(q.data(), Qt::LeftButton, mod, punto);
            } else {
                QTest::mouseClick(q.data(), Qt::LeftButton, mod, punto);
            }
        });
    }

    void menuGriglia(QWidget* w) {
        auto* v = uno(visibili<QAbstractItemView>(w));
        if (!v) {
            return;
        }
        azione(QStringLiteral("apre il menu di %1").arg(nomeDi(v)));
        QPointer<QWidget> q(v->viewport());
        QTimer::singleShot(0, v->viewport(), [q] {
            if (!q || !raggiungibile(q)) {
                return;
            }
            const QPoint punto = q->rect().center();
            QContextMenuEvent e(QContextMenuEvent::Mouse, punto, q->mapToGlobal(punto));
            QApplication::sendEvent(q.data(), &e);
        });
    }

    void pagina(QWidget* w) {
        auto* t = uno(visibili<QTabBar>(w));
        if (!t || t->count() == 0) {
            return;
        }
        const int i = tra(t->count());
        if (!t->isTabEnabled(i)) {
            return;
        }
        azione(QStringLiteral("passa alla pagina \"%1\" di %2").arg(t->tabText(i), nomeDi(w)));
        QPointer<QTabBar> q(t);
        QTimer::singleShot(0, t, [q, i] {
            if (q && raggiungibile(q)) {
                QTest::mouseClick(q.data(), Qt::LeftButton, {}, q->tabRect(i).center());
            }
        });
    }

    void tasto(QWidget* w) {
        static const std::pair<Qt::Key, Qt::KeyboardModifiers> tasti[] = {
            {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Escape, Qt::NoModifier},
            {Qt::Key_Tab, Qt::NoModifier},    {Qt::Key_Down, Qt::NoModifier},
            {Qt::Key_Up, Qt::NoModifier},     {Qt::Key_PageDown, Qt::NoModifier},
            {Qt::Key_Delete, Qt::NoModifier}, {Qt::Key_F2, Qt::NoModifier},
            {Qt::Key_F3, Qt::NoModifier},     {Qt::Key_F4, Qt::NoModifier},
            {Qt::Key_F5, Qt::NoModifier},     {Qt::Key_F6, Qt::NoModifier},
            {Qt::Key_F9, Qt::NoModifier},     {Qt::Key_Insert, Qt::NoModifier},
            {Qt::Key_Space, Qt::NoModifier},  {Qt::Key_F5, Qt::ControlModifier},
        };
        const auto [k, mod] = tasti[tra(int(std::size(tasti)))];
        QList<QWidget*> bersagli = visibili<QWidget>(w);
        bersagli.removeIf([](QWidget* c) { return c->focusPolicy() == Qt::NoFocus; });
        QWidget* c = uno(bersagli);
        if (!c) {
            c = w;
        }
        azione(QStringLiteral("preme %1 su %2")
                   .arg(QKeySequence(QKeyCombination(mod, k)).toString(), nomeDi(c)));
        QPointer<QWidget> q(c);
        QTimer::singleShot(0, c, [q, k, mod] {
            if (q && raggiungibile(q)) {
                q->setFocus();
                QTest::keyClick(q.data(), k, mod);
            }
        });
    }

    // The search dialog of a grid: F5 on it, as the user opens it.
    void ricerca(QWidget* w) {
        auto* v = uno(visibili<QTableView>(w));
        if (!v) {
            return;
        }
        azione(QStringLiteral("apre la ricerca di %1").arg(nomeDi(v)));
        QPointer<QWidget> q(v);
        QTimer::singleShot(0, v, [q] {
            if (q && raggiungibile(q)) {
                q->setFocus();
                QTest::keyClick(q.data(), Qt::Key_F5);
            }
        });
    }

    // ------------------------------------------------------------ the end
    // The windows closed one after the other, every box answered at random:
    // a card being edited asks, and may stay open; 400 steps at most.
    void chiudiTutto() {
        if (QWidget* p = QApplication::activePopupWidget()) {
            azione(QStringLiteral("chiude il menu"));
            p->close();
            QTimer::singleShot(5, this, [this] { passo(); });
            return;
        }
        QWidget* modale = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modale)) {
            rispondi(box);
        } else if (modale) {
            azione(QStringLiteral("chiude il dialogo %1").arg(nomeDi(modale)));
            chiudiDialogo(modale);
        } else {
            QList<QWidget*> aperte;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible() && w->windowType() != Qt::ToolTip && !qobject_cast<QMenu*>(w)) {
                    aperte << w;
                }
            }
            // the application keeps its windows in a set: in a stable order for the choice
            // (the screens in the order they opened, then the others by name)
            auto posto = [this](QWidget* w) {
                for (size_t i = 0; i < finestre_.size(); ++i) {
                    if (finestre_[i] == w) {
                        return int(i);
                    }
                }
                return int(finestre_.size());
            };
            std::stable_sort(aperte.begin(), aperte.end(), [&](QWidget* a, QWidget* b) {
                return std::tuple(posto(a), a->objectName(), a->windowTitle()) <
                       std::tuple(posto(b), b->objectName(), b->windowTitle());
            });
            if (aperte.isEmpty()) {
                QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
                return;
            }
            if (++passiChiusura_ > 400) {
                QStringList nomi;
                for (QWidget* w : aperte) {
                    nomi << nomeDi(w) + " \"" + w->windowTitle() + '"';
                }
                scrivi("F", QStringLiteral("alla fine restano aperte: ") +
                                nomi.join(QStringLiteral(", ")));
                QTimer::singleShot(0, qApp, [] { QApplication::exit(4); });
                return;
            }
            QWidget* w = aperte[tra(int(aperte.size()))];
            // a card being edited does not close: the user saves or cancels first
            if (rifiuti_[w]++ % 2 == 1) {
                QList<QAbstractButton*> fine;
                for (QAbstractButton* b : visibili<QAbstractButton>(w)) {
                    const QString t = senzaAcceleratori(b->text());
                    if (t == QLatin1String("Annulla") || t == QLatin1String("Memorizza")) {
                        fine << b;
                    }
                }
                if (fine.isEmpty()) {
                    premi(w);
                } else {
                    QAbstractButton* b = uno(fine);
                    azione(QStringLiteral("preme %1 in %2 per finire").arg(nomeDi(b), nomeDi(w)));
                    QPointer<QAbstractButton> q(b);
                    QTimer::singleShot(0, b, [q] {
                        if (q && raggiungibile(q)) {
                            q->click();
                        }
                    });
                }
                QTimer::singleShot(5, this, [this] { passo(); });
                return;
            }
            azione(QStringLiteral("chiude la finestra %1 per finire").arg(nomeDi(w)));
            QPointer<QWidget> q(w);
            QTimer::singleShot(0, w, [q] {
                if (q && raggiungibile(q)) {
                    q->close();
                }
            });
        }
        QTimer::singleShot(5, this, [this] { passo(); });
    }

    // ------------------------------------------------------------ the server
    // Between two actions: asks the watcher and waits for it (its answer
    // comes within a minute); the event loop does not beat meanwhile, which
    // the watch knows.
    void fermaOAvvia() {
        const bool ferma = serverSu_;
        const bool uccidi = ferma && tra(3) == 0;
        if (ferma) {
            azione(QStringLiteral("ferma il server (%1)").arg(uccidi ? "SIGKILL" : "SIGTERM"));
            scrivi("S", uccidi ? QStringLiteral("stop KILL") : QStringLiteral("stop TERM"));
            prossimaFermata_ = n_ + tra(3, 60);
        } else {
            azione(QStringLiteral("avvia il server"));
            scrivi("S", QStringLiteral("start"));
            prossimaFermata_ = n_ + tra(100, 400);
        }
        inAttesa_ = true;
        char riga[64];
        const bool ok = std::fgets(riga, sizeof riga, stdin) != nullptr;
        inAttesa_ = false;
        battito_ = adessoMs();
        if (!ok) {
            scrivi("F", QStringLiteral("il sorvegliante non risponde"));
            _exit(5);
        }
        serverSu_ = !ferma;
    }

    Cartella c_;
    Libreria& lib_;
    std::mt19937_64 g_;
    const qint64 durataMs_;
    const bool server_;
    const bool recupero_;
    int recuperate_ = 0;

public:
    quint64 maxAzioni_ = 0; // a replay stops after so many actions

private:
    QStringList entrate_;
    std::vector<int> utenti_;
    std::atomic<quint64> n_{0};
    int aperte_ = 0;
    std::vector<QPointer<QWidget>> finestre_;
    QPointer<QWidget> attiva_;
    QElapsedTimer orologio_;
    bool chiusura_ = false;
    int passiChiusura_ = 0;
    QHash<QWidget*, int> rifiuti_; // closings a window refused at the end
    bool serverSu_ = true;
    quint64 prossimaFermata_ = 0;
    std::atomic<qint64> battito_{0};
    std::atomic<bool> inAttesa_{false};
    std::atomic<qint64> inizioPasso_{0}; // while a step runs
    std::atomic<bool> finito_{false};
    std::thread guardia_;
};

} // namespace

int scimmia(const Cartella& c, Libreria& lib, int argc, char** argv) {
    quint64 seme = 1;
    double minuti = 1;
    bool server = false, recupero = false;
    quint64 azioni = 0;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seme = QByteArray(argv[++i]).toULongLong();
        } else if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minuti = QByteArray(argv[++i]).toDouble();
        } else if (std::strcmp(argv[i], "--server") == 0) {
            server = true;
        } else if (std::strcmp(argv[i], "--recover") == 0) {
            recupero = true;
        } else if (std::strcmp(argv[i], "--actions") == 0 && i + 1 < argc) {
            azioni = QByteArray(argv[++i]).toULongLong();
        }
    }
    qInstallMessageHandler(gestoreMessaggi);
    QApplication::setQuitOnLastWindowClosed(false);
    Scimmia s(c, lib, seme, qint64(minuti * 60000), server, recupero);
    s.maxAzioni_ = azioni;
    return s.esegui();
}

} // namespace tovaris
