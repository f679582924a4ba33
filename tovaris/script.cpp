#include "script.h"

#include "segnali.h"
#include "stazione.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableView>
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

// "\n" is a line break, "\r" a carriage return, "\\" a backslash; any other
// backslash stays.
QString conEscape(const QString& s) {
    QString r;
    r.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar dopo = i + 1 < s.size() ? s[i + 1] : QChar();
        if (s[i] == '\\' && (dopo == 'n' || dopo == 'r' || dopo == '\\')) {
            r += dopo == 'n' ? QChar('\n') : dopo == 'r' ? QChar('\r') : QChar('\\');
            ++i;
        } else {
            r += s[i];
        }
    }
    return r;
}

// A column of a grid's model by its title as shown or, for the library's
// grids, by its field name (the models give it under Qt::UserRole).
int colonnaDi(QAbstractItemModel* m, const QString& nome) {
    for (int i = 0; i < m->columnCount(); ++i) {
        if (m->headerData(i, Qt::Horizontal).toString() == nome) {
            return i;
        }
    }
    for (int i = 0; i < m->columnCount(); ++i) {
        if (m->headerData(i, Qt::Horizontal, Qt::UserRole)
                .toString()
                .compare(nome, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
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
        .replace('\n', QLatin1String("\\n"))
        .replace('\r', QLatin1String("\\r"));
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
    if (nome.contains('/')) {
        QWidget* c = w;
        for (const QString& parte : nome.split('/', Qt::SkipEmptyParts)) {
            c = c ? c->findChild<QWidget*>(parte) : nullptr;
        }
        if (c) {
            return c;
        }
    }
    for (auto* b : w->findChildren<QAbstractButton*>()) {
        if (senzaAcceleratori(b->text()) == nome && b->isVisibleTo(w)) {
            return b;
        }
    }
    return nullptr;
}

QWidget* EsecutoreScript::controllo(const QString& nome) {
    QWidget* w = trova(nome);
    if (!w) {
        fallito(QStringLiteral("controllo '%1' non trovato nella finestra attiva").arg(nome));
    }
    return w;
}

void EsecutoreScript::passo() {
    while (riga_ < righe_.size()) {
        const QString linea = righe_[riga_++].trimmed();
        iniziaPasso();
        if (linea.isEmpty() || linea.startsWith('#')) {
            continue;
        }
        Passo p;
        const QStringList parti = linea.split(' ', Qt::SkipEmptyParts);
        p.azione = parti.first();
        p.arg = parti.mid(1);
        p.testo = linea.mid(p.azione.size()).trimmed();
        p.resto = p.arg.isEmpty() ? QString() : p.testo.mid(p.arg.first().size()).trimmed();
        if (!agisci(p)) {
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
        // a tooltip is no window left open
        if (w->isVisible() && w->windowType() != Qt::ToolTip) {
            interrompi(QStringLiteral("alla fine dello script una finestra non si chiude"));
        }
    }
    QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
}

const QHash<QString, EsecutoreScript::DefinizioneVerbo>& EsecutoreScript::verbi() {
    static const QHash<QString, DefinizioneVerbo> v = {
        {QStringLiteral("open"), {2, &EsecutoreScript::apri}},
        {QStringLiteral("activate"), {1, &EsecutoreScript::attivaFinestra}},
        {QStringLiteral("signal"), {1, &EsecutoreScript::segnala}},
        {QStringLiteral("await"), {1, &EsecutoreScript::attendiFile}},
        {QStringLiteral("wait"), {0, &EsecutoreScript::aspettaMs}},
        {QStringLiteral("click"), {1, &EsecutoreScript::rispondi}},
        {QStringLiteral("answer"), {1, &EsecutoreScript::rispondi}},
        {QStringLiteral("dblclick"), {1, &EsecutoreScript::doppioClic}},
        {QStringLiteral("text"), {1, &EsecutoreScript::scrivi}},
        {QStringLiteral("key"), {2, &EsecutoreScript::tasto}},
        {QStringLiteral("row"), {2, &EsecutoreScript::scegliRiga}},
        {QStringLiteral("header"), {2, &EsecutoreScript::cliccaTitolo}},
        {QStringLiteral("dblheader"), {2, &EsecutoreScript::doppioClicTitolo}},
        {QStringLiteral("menu"), {2, &EsecutoreScript::voceMenu}},
        {QStringLiteral("message"), {0, &EsecutoreScript::messaggio}},
        {QStringLiteral("nomessage"), {0, &EsecutoreScript::nessunMessaggio}},
        {QStringLiteral("awaitmessage"), {1, &EsecutoreScript::attendiMessaggio}},
        {QStringLiteral("expect"), {1, &EsecutoreScript::atteso}},
        {QStringLiteral("checked"), {2, &EsecutoreScript::spuntato}},
        {QStringLiteral("enabled"), {2, &EsecutoreScript::abilitato}},
        {QStringLiteral("visible"), {2, &EsecutoreScript::visibile}},
        {QStringLiteral("rows"), {2, &EsecutoreScript::righeElenco}},
        {QStringLiteral("move"), {2, &EsecutoreScript::sposta}},
        {QStringLiteral("resize"), {2, &EsecutoreScript::ridimensiona}},
        {QStringLiteral("shot"), {1, &EsecutoreScript::foto}},
        {QStringLiteral("close"), {0, &EsecutoreScript::chiudi}},
        {QStringLiteral("weigh"), {1, &EsecutoreScript::pesa}},
    };
    return v;
}

bool EsecutoreScript::agisci(const Passo& p) {
    const auto it = verbi().constFind(p.azione);
    if (it == verbi().constEnd()) {
        fallito(QStringLiteral("azione sconosciuta '%1'").arg(p.azione));
        return true;
    }
    if (p.arg.size() < it->argomenti) {
        fallito(QStringLiteral("'%1' vuole %2 argomenti").arg(p.azione).arg(it->argomenti));
        return true;
    }
    return (this->*(it->esegui))(p);
}

// ------------------------------------------------------------ windows and files

bool EsecutoreScript::apri(const Passo& p) {
    std::optional<int> finestra;
    if (p.arg.size() > 2) {
        finestra = p.arg[2].toInt();
    }
    const QString entrata = p.arg[0];
    const int utente = p.arg[1].toInt();
    // the launch may show a message box: the next step runs inside its loop
    QTimer::singleShot(0, this, [this, entrata, utente, finestra] {
        const auto prima = QApplication::topLevelWidgets();
        try {
            if (!lib_.apri(cartella_, entrata, utente, finestra)) {
                fallito(QStringLiteral("punto di ingresso '%1' inesistente").arg(entrata));
                return;
            }
        } catch (const std::exception& e) {
            // the window log could not be written: the entry point was not called
            fallito(QStringLiteral("'%1' non aperto: %2")
                        .arg(entrata, QString::fromLocal8Bit(e.what())));
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

bool EsecutoreScript::attivaFinestra(const Passo& p) {
    bool numero = false;
    const int n = p.arg[0].toInt(&numero);
    if (!numero) {
        // a window the screen opened itself (a progress window), by objectName
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == p.arg[0]) {
                attiva_ = w;
                w->activateWindow();
                return true;
            }
        }
        fallito(QStringLiteral("nessuna finestra '%1' aperta").arg(p.arg[0]));
        return true;
    }
    if (n < 1 || size_t(n) > finestre_.size() || !finestre_[size_t(n - 1)]) {
        fallito(QStringLiteral("finestra %1 inesistente").arg(n));
    } else {
        attiva_ = finestre_[size_t(n - 1)];
        attiva_->activateWindow();
    }
    return true;
}

bool EsecutoreScript::segnala(const Passo& p) {
    QFile f(p.testo);
    if (!f.open(QIODevice::WriteOnly)) {
        fallito(QStringLiteral("file '%1' non creato").arg(f.fileName()));
    }
    return true;
}

bool EsecutoreScript::attendiFile(const Passo& p) {
    aspetta(p.testo, 60000 / 50);
    return false;
}

bool EsecutoreScript::aspettaMs(const Passo& p) {
    prossimo(p.arg.isEmpty() ? 0 : p.arg[0].toInt());
    return false;
}

bool EsecutoreScript::sposta(const Passo& p) {
    bool okX = false, okY = false;
    const int x = p.arg[0].toInt(&okX);
    const int y = p.arg[1].toInt(&okY);
    QWidget* w = attiva();
    if (!okX || !okY) {
        fallito(QStringLiteral("'move' vuole due numeri"));
    } else if (!w) {
        fallito(QStringLiteral("nessuna finestra attiva"));
    } else {
        w->window()->move(x, y);
    }
    return true;
}

bool EsecutoreScript::ridimensiona(const Passo& p) {
    bool okL = false, okA = false;
    const int l = p.arg[0].toInt(&okL);
    const int a = p.arg[1].toInt(&okA);
    QWidget* w = attiva();
    if (!okL || !okA || l <= 0 || a <= 0) {
        fallito(QStringLiteral("'resize' vuole due numeri positivi"));
    } else if (!w) {
        fallito(QStringLiteral("nessuna finestra attiva"));
    } else {
        w->window()->resize(l, a);
    }
    return true;
}

bool EsecutoreScript::foto(const Passo& p) {
    QWidget* w = attiva();
    if (!w || !w->grab().save(p.arg[0])) {
        fallito(QStringLiteral("immagine '%1' non salvata").arg(p.arg[0]));
    }
    return true;
}

bool EsecutoreScript::chiudi(const Passo&) {
    if (QWidget* w = attiva()) {
        QPointer<QWidget> q(w);
        QTimer::singleShot(0, w, [q] {
            if (q) {
                q->close();
            }
        });
    } else {
        fallito(QStringLiteral("nessuna finestra attiva"));
    }
    return true;
}

bool EsecutoreScript::pesa(const Passo& p) {
    try {
        comandoPesa(cartella_, p.arg);
    } catch (const quintar::DbError& e) {
        fallito(QStringLiteral("weigh: ") + e.messaggio());
    } catch (const std::exception& e) {
        fallito(QStringLiteral("weigh: ") + QString::fromLocal8Bit(e.what()));
    }
    return true;
}

// ------------------------------------------------------------ controls

namespace {

// Presses a button after the step: the click may open a modal box, and the
// next step then runs inside its loop.
void premiPoi(QAbstractButton* b) {
    QPointer<QAbstractButton> q(b);
    QTimer::singleShot(0, b, [q] {
        if (q) {
            q->click();
        }
    });
}

} // namespace

bool EsecutoreScript::rispondi(const Passo& p) {
    QWidget* w = controllo(p.testo);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        premiPoi(b);
    } else if (w && p.azione == QLatin1String("click")) {
        // a clickable panel: the mouse, as a user would
        QPointer<QWidget> q(w);
        QTimer::singleShot(0, w, [q] {
            if (q) {
                QTest::mouseClick(q.data(), Qt::LeftButton);
            }
        });
    } else if (w) {
        fallito(QStringLiteral("'%1' non è un pulsante").arg(p.testo));
    }
    return true;
}

bool EsecutoreScript::doppioClic(const Passo& p) {
    QWidget* w = controllo(p.testo);
    if (auto* v = qobject_cast<QAbstractItemView*>(w)) {
        w = v->viewport(); // the current row of a list
        const QRect r = v->visualRect(v->currentIndex());
        QPointer<QWidget> q(w);
        QTimer::singleShot(0, w, [q, r] {
            if (!q) {
                return;
            }
            // a user's double click: press and release, then the double
            // click; a view answers it only on the row the press went to
            QTest::mouseClick(q.data(), Qt::LeftButton, {}, r.center());
            if (q) {
                QTest::mouseDClick(q.data(), Qt::LeftButton, {}, r.center());
            }
        });
    } else if (w) {
        QPointer<QWidget> q(w);
        QTimer::singleShot(0, w, [q] {
            if (q) {
                QTest::mouseDClick(q.data(), Qt::LeftButton);
            }
        });
    }
    return true;
}

bool EsecutoreScript::scrivi(const Passo& p) {
    QWidget* w = controllo(p.arg[0]);
    const QString valore = conEscape(p.resto);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setFocus();
        e->selectAll();
        e->insert(valore);
    } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
        if (auto* e2 = s->findChild<QLineEdit*>()) {
            e2->selectAll();
            e2->insert(valore);
        }
        s->interpretText();
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(valore);
        if (i >= 0) {
            c->setCurrentIndex(i);
        } else if (c->isEditable()) {
            c->setEditText(valore);
        } else {
            fallito(QStringLiteral("'%1' non ha la voce '%2'").arg(p.arg[0], valore));
        }
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        m->setPlainText(valore);
    } else if (auto* m2 = qobject_cast<QTextEdit*>(w)) {
        m2->setPlainText(valore);
    } else if (w) {
        fallito(QStringLiteral("in '%1' non si scrive").arg(p.arg[0]));
    }
    return true;
}

bool EsecutoreScript::tasto(const Passo& p) {
    QWidget* w = controllo(p.arg[0]);
    const QKeySequence k = QKeySequence::fromString(p.arg[1]);
    if (w && k.count() == 1) {
        const QKeyCombination kc = k[0];
        QPointer<QWidget> q(w);
        QTimer::singleShot(0, w, [q, kc] {
            if (q) {
                QTest::keyClick(q.data(), kc.key(), kc.keyboardModifiers());
            }
        });
    } else if (w) {
        fallito(QStringLiteral("tasto '%1' non riconosciuto").arg(p.arg[1]));
    }
    return true;
}

bool EsecutoreScript::scegliRiga(const Passo& p) {
    auto* v = qobject_cast<QAbstractItemView*>(controllo(p.arg[0]));
    const int n = p.arg[1].toInt() - 1;
    if (v && v->model()) {
        while (n >= v->model()->rowCount() && v->model()->canFetchMore({})) {
            v->model()->fetchMore({});
        }
        if (n < 0 || n >= v->model()->rowCount()) {
            fallito(QStringLiteral("'%1' non ha la riga %2").arg(p.arg[0], p.arg[1]));
        } else {
            v->setCurrentIndex(v->model()->index(n, 0));
        }
    }
    return true;
}

bool EsecutoreScript::cliccaTitolo(const Passo& p) {
    return titolo(p, false);
}

bool EsecutoreScript::doppioClicTitolo(const Passo& p) {
    return titolo(p, true);
}

bool EsecutoreScript::titolo(const Passo& p, bool doppio) {
    QWidget* w = controllo(p.arg[0]);
    if (!w) {
        return true;
    }
    auto* v = qobject_cast<QTableView*>(w);
    if (!v || !v->model()) {
        fallito(QStringLiteral("'%1' non è una griglia").arg(p.arg[0]));
        return true;
    }
    QString nome = p.resto;
    Qt::KeyboardModifiers modificatori = Qt::NoModifier;
    if (nome.startsWith(QLatin1String("Ctrl+"), Qt::CaseInsensitive)) {
        modificatori = Qt::ControlModifier;
        nome = nome.mid(5);
    }
    QHeaderView* h = v->horizontalHeader();
    const int colonna = colonnaDi(v->model(), nome);
    if (colonna < 0) {
        fallito(QStringLiteral("'%1' non ha la colonna '%2'").arg(p.arg[0], nome));
        return true;
    }
    if (h->isSectionHidden(colonna)) {
        fallito(QStringLiteral("la colonna '%1' di '%2' è nascosta").arg(nome, p.arg[0]));
        return true;
    }
    // the title must be in view, as for a user
    auto inVista = [&] {
        const int x = h->sectionViewportPosition(colonna);
        return x >= 0 && x + h->sectionSize(colonna) / 2 < h->viewport()->width();
    };
    if (!inVista() && v->model()->rowCount() > 0) {
        const int r = v->currentIndex().isValid() ? v->currentIndex().row() : 0;
        v->scrollTo(v->model()->index(r, colonna));
    }
    if (!inVista()) {
        fallito(QStringLiteral("la colonna '%1' di '%2' non si vede").arg(nome, p.arg[0]));
        return true;
    }
    const QPoint punto(h->sectionViewportPosition(colonna) + h->sectionSize(colonna) / 2,
                       h->viewport()->height() / 2);
    QPointer<QWidget> q(h->viewport());
    // a double click that orders may show a box: the next step runs inside its loop
    QTimer::singleShot(0, h->viewport(), [q, punto, modificatori, doppio] {
        if (!q) {
            return;
        }
        if (doppio) {
            QTest::mouseDClick(q.data(), Qt::LeftButton, modificatori, punto);
        } else {
            QTest::mouseClick(q.data(), Qt::LeftButton, modificatori, punto);
        }
    });
    return true;
}

// The menu comes up as for a right click; the item is chosen once it is up
// (a menu run with exec() holds its own loop, which runs the choice as well).
bool EsecutoreScript::voceMenu(const Passo& p) {
    QWidget* w = controllo(p.arg[0]);
    if (!w) {
        return true;
    }
    QWidget* bersaglio = w;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
        bersaglio = area->viewport();
    }
    QPointer<QWidget> q(bersaglio);
    QTimer::singleShot(0, bersaglio, [q] {
        if (!q) {
            return;
        }
        const QPoint punto = q->rect().center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, punto, q->mapToGlobal(punto));
        QApplication::sendEvent(q.data(), &e);
    });
    const QString nome = p.arg[0];
    const QString voce = p.resto;
    QTimer::singleShot(0, this, [this, nome, voce] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            fallito(QStringLiteral("nessun menu a comparsa su '%1'").arg(nome));
            prossimo(5);
            return;
        }
        QAction* scelta = nullptr;
        QStringList voci;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || !a->isVisible()) {
                continue;
            }
            const QString testo = senzaAcceleratori(a->text().section('\t', 0, 0)).trimmed();
            voci << testo;
            if (testo == voce) {
                scelta = a;
            }
        }
        menu->close();
        if (!scelta) {
            fallito(QStringLiteral("il menu di '%1' non ha la voce '%2' (voci: %3)")
                        .arg(nome, voce, voci.join(QStringLiteral(", "))));
        } else if (!scelta->isEnabled()) {
            fallito(QStringLiteral("la voce '%1' del menu di '%2' è disabilitata").arg(voce, nome));
        } else {
            // the item may open a modal dialog: the next step runs inside its loop
            QPointer<QAction> a(scelta);
            QTimer::singleShot(0, scelta, [a] {
                if (a) {
                    a->trigger();
                }
            });
        }
        prossimo(5);
    });
    return false;
}

// ------------------------------------------------------------ checks

bool EsecutoreScript::messaggio(const Passo& p) {
    const QString atteso = conEscape(p.testo);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
        fallito(QStringLiteral("nessun messaggio aperto (atteso: %1)").arg(p.testo));
    } else if (box->text() != atteso) {
        fallito(QStringLiteral("il messaggio dice '%1', atteso '%2'")
                    .arg(suUnaRiga(box->text()), p.testo));
    }
    return true;
}

bool EsecutoreScript::nessunMessaggio(const Passo&) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            fallito(QStringLiteral("è aperto il messaggio '%1'").arg(suUnaRiga(box->text())));
        }
    }
    return true;
}

// A long operation lets the event loop run while it works: the check comes
// back every 20 ms until a box is up; the watch of the step limit ends a
// script whose box never comes.
bool EsecutoreScript::attendiMessaggio(const Passo& p) {
    attendiTesto(conEscape(p.testo));
    return false;
}

void EsecutoreScript::attendiTesto(const QString& atteso) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box) {
        // another box means the operation ended otherwise
        if (box->text() != atteso) {
            fallito(QStringLiteral("il messaggio dice '%1', atteso '%2'")
                        .arg(suUnaRiga(box->text()), suUnaRiga(atteso)));
        }
        prossimo(5);
        return;
    }
    QTimer::singleShot(20, this, [this, atteso] { attendiTesto(atteso); });
}

bool EsecutoreScript::atteso(const Passo& p) {
    const QString nome = p.arg[0];
    const QString valore = conEscape(p.resto);
    std::optional<QString> visto;
    if (nome == "title" || nome == "position" || nome == "size") {
        QWidget* w = attiva();
        if (!w) {
            fallito(QStringLiteral("nessuna finestra attiva"));
            return true;
        }
        if (nome == "title") {
            visto = w->windowTitle();
        } else if (nome == "position") {
            visto = QStringLiteral("%1 %2").arg(w->window()->x()).arg(w->window()->y());
        } else {
            visto = QStringLiteral("%1 %2").arg(w->window()->width()).arg(w->window()->height());
        }
    } else if (QWidget* w = controllo(nome)) {
        visto = mostrato(w);
        if (!visto) {
            fallito(QStringLiteral("'%1' non mostra un valore").arg(nome));
            return true;
        }
    } else {
        return true;
    }
    if (*visto != valore) {
        fallito(
            QStringLiteral("'%1' mostra '%2', atteso '%3'").arg(nome, suUnaRiga(*visto), p.resto));
    }
    return true;
}

namespace {

// "NAME... 0|1": the name may hold blanks (a caption), the state is the last word.
QString nomePrimaDelloStato(const QString& testo) {
    return testo.left(testo.lastIndexOf(' ')).trimmed();
}

} // namespace

// The state a step expects, 0 or 1; any other word is an error of the
// script, reported, and the step checks nothing.
std::optional<bool> EsecutoreScript::statoAtteso(const Passo& p) {
    const QString s = p.arg.last();
    if (s == QLatin1String("1") || s == QLatin1String("0")) {
        return s == QLatin1String("1");
    }
    fallito(QStringLiteral("'%1' vuole 0 o 1 come ultima parola, non '%2'").arg(p.azione, s));
    return std::nullopt;
}

bool EsecutoreScript::spuntato(const Passo& p) {
    const auto atteso = statoAtteso(p);
    if (!atteso) {
        return true;
    }
    const QString nome = nomePrimaDelloStato(p.testo);
    QWidget* w = controllo(nome);
    auto* b = qobject_cast<QAbstractButton*>(w);
    if (w && (!b || !b->isCheckable())) {
        fallito(QStringLiteral("'%1' non è una casella né un pulsante di opzione").arg(nome));
    } else if (b && b->isChecked() != *atteso) {
        fallito(
            QStringLiteral("'%1' %2").arg(nome, b->isChecked() ? "è spuntato" : "non è spuntato"));
    }
    return true;
}

bool EsecutoreScript::abilitato(const Passo& p) {
    const auto atteso = statoAtteso(p);
    if (!atteso) {
        return true;
    }
    const QString nome = nomePrimaDelloStato(p.testo);
    if (QWidget* w = controllo(nome)) {
        if (w->isEnabled() != *atteso) {
            fallito(QStringLiteral("'%1' è %2")
                        .arg(nome, w->isEnabled() ? "abilitato" : "disabilitato"));
        }
    }
    return true;
}

// Shown on the screen: the control and every parent up to its window.
bool EsecutoreScript::visibile(const Passo& p) {
    const auto atteso = statoAtteso(p);
    if (!atteso) {
        return true;
    }
    const QString nome = nomePrimaDelloStato(p.testo);
    if (QWidget* w = controllo(nome)) {
        if (w->isVisible() != *atteso) {
            fallito(
                QStringLiteral("'%1' %2").arg(nome, w->isVisible() ? "si vede" : "non si vede"));
        }
    }
    return true;
}

// The rows of a list or grid, all of them fetched.
bool EsecutoreScript::righeElenco(const Passo& p) {
    QWidget* w = controllo(p.arg[0]);
    auto* v = qobject_cast<QAbstractItemView*>(w);
    bool ok = false;
    const int attese = p.arg[1].toInt(&ok);
    if (w && (!v || !v->model())) {
        fallito(QStringLiteral("'%1' non è un elenco").arg(p.arg[0]));
    } else if (!ok) {
        fallito(QStringLiteral("'rows' vuole un numero di righe"));
    } else if (v) {
        while (v->model()->canFetchMore({})) {
            v->model()->fetchMore({});
        }
        if (v->model()->rowCount() != attese) {
            fallito(QStringLiteral("'%1' ha %2 righe, attese %3")
                        .arg(p.arg[0])
                        .arg(v->model()->rowCount())
                        .arg(attese));
        }
    }
    return true;
}

} // namespace tovaris
