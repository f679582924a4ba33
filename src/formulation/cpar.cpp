#include "formulation/cpar.h"

#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/modificatidaaltri.h"
#include "session/profili.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"

#include <QDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace quintar {

namespace {

struct DescrizioneRiga {
    const char* didascalia;
    const char* edit;
    const char* colonna;
};

// In the order of the checks and of the columns written.
constexpr std::array<DescrizioneRiga, 7> kRighe = {{
    {"Costo Tempo", "EditCostoTempo", "COSTOTEMPO"},
    {"Costi Generali Annui", "EditCostiGenerali", "COSTIGENERALIANNUI"},
    {"Costi Base Annui", "EditCostiBase", "COSTIBASEANNUI"},
    {"Coeff. Ricarico", "EditCoeffRicarico", "COEFFRICARICO"},
    {"Coeff. Agente", "EditCoeffAgente", "COEFFAGENTE"},
    {"Coeff. Sconto", "EditCoeffSconto", "COEFFSCONTO"},
    {"Coeff. Trasporto", "EditCoeffTrasporto", "COSTOTRASPORTO"},
}};

// The rows hidden in coefficient mode.
constexpr std::array<int, 4> kNonCoefficienti = {0, 1, 2, 6};

// A number typed in an edit: empty is valid (nothing), otherwise it must be
// a finite number with the decimal comma.
std::optional<std::optional<double>> numeroDigitato(const QLineEdit* e) {
    const QString t = e->text().trimmed();
    if (t.isEmpty()) {
        return std::optional<double>();
    }
    // the decimal comma only: a point, even as a thousands separator, is
    // refused ("1.500" must never become a markup of 1500)
    if (t.contains('.')) {
        return std::nullopt;
    }
    const auto d = Formati::leggiNumero(t);
    if (!d || !std::isfinite(*d)) {
        return std::nullopt;
    }
    return d;
}

void centra(QWidget* w) {
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = w->frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        w->move(r.topLeft());
    }
}

} // namespace

TCParForm::TCParForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), transazione_(&sessione->IBDatabase1) {
    setObjectName(QStringLiteral("CParForm"));
    impostaDidascalia(QStringLiteral("Impostazioni parametri costi - Ditta:"));

    auto* g = new QGridLayout;
    for (size_t i = 0; i < kRighe.size(); ++i) {
        Riga& r = righe_[i];
        r.colonna = kRighe[i].colonna;
        r.didascalia = new QPushButton(QString::fromUtf8(kRighe[i].didascalia), this);
        r.didascalia->setObjectName(QStringLiteral("Button") +
                                    QString::fromLatin1(kRighe[i].edit).mid(4));
        r.didascalia->setFlat(true);
        r.didascalia->setAutoDefault(false);
        r.didascalia->setFocusPolicy(Qt::NoFocus);
        r.didascalia->setStyleSheet(QStringLiteral("text-align: left"));
        r.edit = new QLineEdit(this);
        r.edit->setObjectName(QString::fromLatin1(kRighe[i].edit));
        // a double holds at most 17 significant digits; 32 characters leave
        // room for separators and a sign, never for a value it cannot hold
        r.edit->setMaxLength(32);
        g->addWidget(r.didascalia, int(i), 0);
        g->addWidget(r.edit, int(i), 1);
        QLineEdit* e = r.edit;
        connect(r.didascalia, &QPushButton::clicked, e, [e] { e->setFocus(); });
    }
    EditCostoTempo = righe_[0].edit;
    EditCostiGenerali = righe_[1].edit;
    EditCostiBase = righe_[2].edit;
    EditCoeffRicarico = righe_[3].edit;
    EditCoeffAgente = righe_[4].edit;
    EditCoeffSconto = righe_[5].edit;
    EditCoeffTrasporto = righe_[6].edit;

    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonAnnulla = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonAnnulla->setObjectName(QStringLiteral("ButtonAnnulla"));
    ButtonAnnulla->setAutoDefault(false);
    ButtonAnnulla->setShortcut(QKeySequence(Qt::Key_Escape));
    auto* h = new QHBoxLayout;
    h->addStretch();
    h->addWidget(ButtonOk);
    h->addWidget(ButtonAnnulla);
    // everything sits on the bottom edge: the rows hidden in coefficient
    // mode leave no gap above the buttons
    auto* v = new QVBoxLayout(this);
    v->addStretch();
    v->addLayout(g);
    v->addLayout(h);
    connect(ButtonOk, &QPushButton::clicked, this, &TCParForm::ButtonOkClick);
    connect(ButtonAnnulla, &QPushButton::clicked, this, &TCParForm::ButtonAnnullaClick);

    SolaLettura = VerificaProfiloSicurezza(*sessione);
    try {
        carica();
    } catch (const DbError& e) {
        Messaggi::errore(QStringLiteral("Errore interno: ") + e.messaggio(), this);
    }
    if (SolaLettura) {
        DisattivaControlli(this, {QStringLiteral("ButtonOk")});
    }
    resize(360, sizeHint().height());
    setFixedSize(size());
    centra(this);
}

void TCParForm::carica() {
    transazione_.restart();
    letta_ = leggi();
    lettaNota_ = true;
    transazione_.commit();
    mostra(letta_);
}

std::optional<TCParForm::Valori> TCParForm::leggi() {
    Query q(&sessione_->IBDatabase1, &transazione_);
    QStringList colonne;
    for (const Riga& r : righe_) {
        colonne << QString::fromLatin1(r.colonna);
    }
    // CPAR has no key: its first row is the first one stored
    q.SQL = {QStringLiteral("SELECT FIRST 1 ") + colonne.join(','),
             QStringLiteral("FROM CPAR ORDER BY RDB$DB_KEY")};
    q.open();
    std::optional<Valori> riga;
    if (!q.eof()) {
        riga.emplace();
        for (size_t i = 0; i < righe_.size(); ++i) {
            const Campo c = q.field(int(i));
            if (!c.isNull()) {
                (*riga)[i] = c.asFloat();
            }
        }
    }
    q.close();
    return riga;
}

void TCParForm::mostra(const std::optional<Valori>& riga) {
    for (size_t i = 0; i < righe_.size(); ++i) {
        const std::optional<double> v = riga ? (*riga)[i] : std::nullopt;
        righe_[i].edit->setText(v ? Formati::numeroInTesto(*v) : QString());
    }
}

void TCParForm::mostraCambiata(const std::optional<Valori>& riga) {
    letta_ = riga;
    lettaNota_ = true;
    mostra(riga);
    Messaggi::avviso(testoModificatiDaAltri(), this);
}

bool TCParForm::verifica() {
    for (size_t i = 0; i < righe_.size(); ++i) {
        if (!numeroDigitato(righe_[i].edit)) {
            Messaggi::avviso(QStringLiteral("Attenzione: specificare un valore valido per \"%1\"")
                                 .arg(QString::fromUtf8(kRighe[i].didascalia)),
                             this);
            righe_[i].edit->setFocus();
            return false;
        }
    }
    return true;
}

QString TCParForm::valore(const QLineEdit* e) {
    return sql::numero(numeroDigitato(e)->value_or(0));
}

void TCParForm::ButtonOkClick() {
    if (!verifica()) {
        return;
    }
    if (SoloCoefficienti) {
        if (dialogo_) {
            dialogo_->done(kRisultatoOK);
        }
        return;
    }
    try {
        // a fresh snapshot: the row as it stands now. A change another user
        // commits after it makes the write below fail at once.
        transazione_.restart();
        const std::optional<Valori> ora = leggi();
        if (!lettaNota_ || ora != letta_) {
            transazione_.commit();
            mostraCambiata(ora);
            return;
        }
        Query q(&sessione_->IBDatabase1, &transazione_);
        if (!ora) {
            // of two first saves at once one inserts; the other fails on the
            // table's one-row index and is told below
            q.SQL = {QStringLiteral("INSERT INTO CPAR (COSTOTEMPO,COSTIGENERALIANNUI,"),
                     QStringLiteral("COSTIBASEANNUI,COEFFRICARICO,COEFFAGENTE,COEFFSCONTO,"),
                     QStringLiteral("COSTOTRASPORTO) VALUES(")};
            for (size_t i = 0; i < righe_.size(); ++i) {
                q.SQL << valore(righe_[i].edit) +
                             (i + 1 < righe_.size() ? QStringLiteral(",") : QStringLiteral(")"));
            }
        } else {
            // every row: an archive older than the one-row index may hold
            // more, and each then keeps the company's one set of parameters
            q.SQL = {QStringLiteral("UPDATE CPAR SET")};
            for (size_t i = 0; i < righe_.size(); ++i) {
                q.SQL << QString::fromLatin1(righe_[i].colonna) + '=' + valore(righe_[i].edit) +
                             (i + 1 < righe_.size() ? QStringLiteral(",") : QString());
            }
        }
        q.execSQL();
        transazione_.commit();
    } catch (const DbError& e) {
        qWarning("parametri costi non memorizzati: %s", qPrintable(e.messaggio()));
        // nothing was written
        transazione_.rollbackRetainingNoThrow();
        // committed by another user meanwhile, the row is no longer as read;
        // still pending, it is held and the save fails as any other
        if (const auto ora = cambiatoDaAltri(
                transazione_, e, [this] { return leggi(); }, letta_)) {
            mostraCambiata(*ora);
            return;
        }
        Messaggi::errore(QStringLiteral("Errote interno: impossibile memorizzare le impostazioni"),
                         this);
        return;
    }
    close();
}

void TCParForm::ButtonAnnullaClick() {
    if (SoloCoefficienti) {
        if (dialogo_) {
            dialogo_->done(kRisultatoAnnulla);
        }
        return;
    }
    close();
}

void TCParForm::ImpostaSoloCoefficienti(std::optional<double> ricarico,
                                        std::optional<double> agente,
                                        std::optional<double> sconto) {
    SoloCoefficienti = true;
    // the caller frees the screen
    setAttribute(Qt::WA_DeleteOnClose, false);
    const int prima = height();
    for (int i : kNonCoefficienti) {
        righe_[size_t(i)].didascalia->hide();
        righe_[size_t(i)].edit->hide();
    }
    auto testo = [](std::optional<double> v) { return v ? Formati::numeroInTesto(*v) : QString(); };
    EditCoeffRicarico->setText(testo(ricarico));
    EditCoeffAgente->setText(testo(agente));
    EditCoeffSconto->setText(testo(sconto));
    // the window loses the hidden rows' height, once
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();
    const int altezza = std::min(prima, layout()->sizeHint().height());
    resize(width(), altezza);
    setFixedSize(size());
}

int TCParForm::eseguiCoefficienti(QWidget* owner) {
    QDialog dialogo(owner);
    dialogo.setObjectName(QStringLiteral("CParDialogo"));
    dialogo.setWindowTitle(windowTitle());
    dialogo.setWindowIcon(owner ? owner->windowIcon() : windowIcon());
    const QSize dimensione = size();
    QWidget* padre = parentWidget();
    const Qt::WindowFlags bandiere = windowFlags();
    setParent(&dialogo, Qt::Widget);
    auto* v = new QVBoxLayout(&dialogo);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(this);
    show();
    dialogo.setFixedSize(dimensione);
    dialogo_ = &dialogo;
    const int esito = Messaggi::esegui(&dialogo);
    dialogo_ = nullptr;
    v->removeWidget(this);
    setParent(padre, bandiere);
    return esito == kRisultatoOK ? kRisultatoOK : kRisultatoAnnulla;
}

std::array<double, 3> TCParForm::Coefficienti() const {
    std::array<double, 3> c{};
    const QLineEdit* e[] = {EditCoeffRicarico, EditCoeffAgente, EditCoeffSconto};
    for (size_t i = 0; i < c.size(); ++i) {
        const auto n = numeroDigitato(e[i]);
        c[i] = n ? n->value_or(0) : 0;
    }
    return c;
}

} // namespace quintar
