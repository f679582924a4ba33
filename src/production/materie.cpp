#include "production/materie.h"

#include "production/fabbcompon.h"
#include "production/insconsumi.h"
#include "production/quantita.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/finestra.h"
#include "ui/grigliamodello.h"
#include "ui/protezione.h"
#include "ui/tcsdgrid.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

namespace quintar {

using produzione::Decimale;

// ------------------------------------------------------------------ helpers

namespace {

// Turns "." into the decimal comma as it is typed.
class FiltroVirgola : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->text() == QStringLiteral(".")) {
                if (auto* edit = qobject_cast<QLineEdit*>(o)) {
                    edit->insert(QStringLiteral(","));
                }
                return true;
            }
        }
        return QObject::eventFilter(o, e);
    }
};

// A refusal found while a change runs: everything is rolled back and the
// text shown as a warning.
struct Rifiuto {
    QString testo;
};

QLineEdit* campo(QWidget* parent, const char* nome) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(nome));
    e->setReadOnly(true);
    return e;
}

QString testoCampo(const Campo& c) {
    return c.isNull() ? QString() : c.asString();
}

const QStringList kColonneComponenti = {QStringLiteral("SELECT"),
                                        QStringLiteral("   A.NRIGA,"),
                                        QStringLiteral("   A.CODICEMATERIAPRIMA,"),
                                        QStringLiteral("   C.NOMECOMMERCIALE AS DESCRIZIONE,"),
                                        QStringLiteral("   A.PERCENTUALE,"),
                                        QStringLiteral("   A.CODICEMATERIAPRIMA AS CODICEINTERNO,"),
                                        QStringLiteral("   A.CRITICO,"),
                                        QStringLiteral("   C.CODICEANALOGO,"),
                                        QStringLiteral("   A.TOLLERANZA,"),
                                        QStringLiteral("   D.TOLLERANZADENSITA,"),
                                        QStringLiteral("   D.PH,"),
                                        QStringLiteral("   D.TOLLERANZAPH,"),
                                        QStringLiteral("   A.CODICEFORMULAZIONE,"),
                                        QStringLiteral("   C.COMPOSIZIONE,"),
                                        QStringLiteral("   A.ACCETTABILITA,"),
                                        QStringLiteral("   A.RANGE,"),
                                        QStringLiteral("   C.MATERIAATTIVA,"),
                                        QStringLiteral("   A.MATERIAATTIVAREALE"),
                                        QStringLiteral("   ,A.SERIALE,"),
                                        QStringLiteral("   A.PESATA"),
                                        QStringLiteral("FROM"),
                                        QStringLiteral("   FABBCOMPON A"),
                                        QStringLiteral("   LEFT JOIN MATER C ON"),
                                        QStringLiteral("   (A.CODICEMATERIAPRIMA=C.CODICE)"),
                                        QStringLiteral("   LEFT JOIN FORMUL D ON"),
                                        QStringLiteral("   (A.CODICEFORMULAZIONE=D.CODICE)"),
                                        QStringLiteral("WHERE")};

// The lines of the batch's analogue group `analogo` (alias A for the lines,
// B for their materials).
QStringList gruppo(const LottoCorrente& l, const QString& analogo) {
    return QStringList{QStringLiteral("FROM"), QStringLiteral("   FABBCOMPON A"),
                       QStringLiteral("   LEFT JOIN MATER B ON"),
                       QStringLiteral("   (A.CODICEMATERIAPRIMA=B.CODICE)"),
                       QStringLiteral("WHERE")} +
           condizioneLineeLotto(l, QStringLiteral("A.")) +
           QStringList{QStringLiteral("   AND(COALESCE(B.CODICEANALOGO,'')=") +
                       sql::testoNonNullo(analogo) + ')'};
}

// The percentage of a line as the list shows it: six decimals, thousands
// grouped (",0.000000").
class DelegatoPercentuale : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& v, const QLocale& l) const override {
        // the cell's text is the shortest exact figure, read back exactly
        if (const auto n = Formati::leggiNumero(v.toString())) {
            return Formati::numeroConMigliaia(*n, 6, 6);
        }
        return QStyledItemDelegate::displayText(v, l);
    }
};

// The batch's lines and, among them, one line.
QStringList condizioneLinea(const LottoCorrente& l, qint64 riga) {
    return condizioneLineeLotto(l, QString()) +
           QStringList{QStringLiteral("   AND(NRIGA=") + sql::intero(riga) + ')'};
}

constexpr int kColonneVisibili = 6;
constexpr int kColonnaPercentuale = 3;
constexpr int kSituazioneComponenti = 41;
constexpr int kSituazioneConsumi = 42;

} // namespace

void virgolaDecimale(QLineEdit* e) {
    e->installEventFilter(new FiltroVirgola(e));
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*,?[0-9]*")), e));
}

QStringList sqlComponentiLotto(const LottoCorrente& l, std::optional<qint64> riga) {
    QStringList s = kColonneComponenti + condizioneLineeLotto(l, QStringLiteral("A."));
    if (riga) {
        s << QStringLiteral("   AND(A.NRIGA=") + sql::intero(*riga) + ')';
    }
    s << QStringLiteral("ORDER BY") << QStringLiteral("   A.NRIGA");
    return s;
}

std::optional<RigaGruppo> leggiRigaGruppo(Query& q, const LottoCorrente& l, qint64 riga) {
    q.close();
    q.SQL = QStringList{QStringLiteral("SELECT"),
                        QStringLiteral("   A.CODICEMATERIAPRIMA,"),
                        QStringLiteral("   A.PERCENTUALE,"),
                        QStringLiteral("   B.CODICEANALOGO"),
                        QStringLiteral("FROM"),
                        QStringLiteral("   FABBCOMPON A"),
                        QStringLiteral("   LEFT JOIN MATER B ON"),
                        QStringLiteral("   (A.CODICEMATERIAPRIMA=B.CODICE)"),
                        QStringLiteral("WHERE")} +
            condizioneLineeLotto(l, QStringLiteral("A.")) +
            QStringList{QStringLiteral("   AND(A.NRIGA=") + sql::intero(riga) + ')'};
    q.open();
    if (q.eof()) {
        q.close();
        return std::nullopt;
    }
    RigaGruppo r;
    r.materia = q.field(0).asString();
    r.percentuale = q.field(1).asFloat();
    // blanks alone compare equal to the empty text: no analogue code either
    r.analogo = q.field(2).asString().trimmed();
    q.close();
    return r;
}

namespace {

const QString kRigaCancellata =
    QStringLiteral("Il record selezionato è già stato cancellato da un altro utente");
const QString kRigaCambiata =
    QStringLiteral("Il record selezionato è stato modificato da un altro utente: la lista mostra "
                   "ora le righe come sono memorizzate");

// Inside a change: the line numbered `riga` is still the one the list showed
// (a number freed by a deletion is taken again by the next integration, and
// the line under it is then another). A refusal when it is not.
RigaGruppo stessaRiga(Query& q, const LottoCorrente& l, qint64 riga, const RigaGruppo& vista) {
    const std::optional<RigaGruppo> ora = leggiRigaGruppo(q, l, riga);
    if (!ora || ora->materia != vista.materia || ora->analogo != vista.analogo) {
        throw Rifiuto{kRigaCancellata};
    }
    if (ora->percentuale != vista.percentuale) {
        throw Rifiuto{kRigaCambiata};
    }
    return *ora;
}

} // namespace

// ------------------------------------------------------------------ page

PaginaMaterie::PaginaMaterie(SchedaFabbricazione& scheda, QWidget* parent)
    : QWidget(parent), scheda_(scheda),
      QueryCompon(scheda.archivio(), &scheda.transazionePrincipale()),
      QueryConsumi(scheda.archivio(), &scheda.transazionePrincipale()),
      QueryAux(scheda.archivio(), &scheda.transazionePrincipale()),
      QueryControllo(scheda.archivio(), &scheda.transazioneControllo()) {
    setObjectName(QStringLiteral("Materie"));

    // the selected line
    auto* righe = new QGridLayout;
    int colonna = 0;
    auto metti = [&](const char* didascalia, QWidget* w, int riga, int larghezza = 1) {
        righe->addWidget(new QLabel(QString::fromUtf8(didascalia), this), riga * 2, colonna);
        righe->addWidget(w, riga * 2 + 1, colonna, 1, larghezza);
        colonna += larghezza;
    };
    EditNRiga = campo(this, "EditComponNRiga");
    EditCodice = campo(this, "EditComponCodice");
    EditDescrizione = campo(this, "EditComponDescrizione");
    EditPercentuale = campo(this, "EditComponPercentuale");
    EditCodiceInterno = campo(this, "EditComponCodiceInterno");
    CheckCritico = new QCheckBox(this);
    CheckCritico->setObjectName(QStringLiteral("CheckCritico"));
    CheckCritico->setEnabled(false);
    EditQuantita = campo(this, "EditComponQuantita");
    EditBilancia = campo(this, "EditComponBilancia");
    EditTolleranza = campo(this, "EditComponTolleranza");
    EditAnaloghi = campo(this, "EditAnaloghi");
    EditPesata = campo(this, "EditPesata");
    EditSerialePesata = campo(this, "EditSerialePesata");
    EditLottoPesata = campo(this, "EditLottoPesata");
    EditCodiceFornitore = campo(this, "EditCodiceFornitore");
    EditFornitore = campo(this, "EditFornitore");
    metti("N.R.", EditNRiga, 0);
    metti("Codice", EditCodice, 0);
    metti("Descrizione", EditDescrizione, 0, 3);
    metti("%", EditPercentuale, 0);
    metti("Lotto o Analisi", EditCodiceInterno, 0);
    metti("Ver.", CheckCritico, 0);
    colonna = 0;
    metti("Quant. Kg", EditQuantita, 1);
    metti("Bilancia", EditBilancia, 1);
    metti("Toll.", EditTolleranza, 1);
    metti("Analoghi", EditAnaloghi, 1, 3);
    metti("Pesata", EditPesata, 1);
    colonna = 0;
    metti("Seriale", EditSerialePesata, 2, 2);
    metti("Lotto", EditLottoPesata, 2);
    metti("Fornitore", EditCodiceFornitore, 2);
    metti("", EditFornitore, 2, 3);

    GridCompon = new TCSDGrid(this);
    GridCompon->setObjectName(QStringLiteral("GridCompon"));
    ButtonIntegraFabbCompon =
        creaPulsante(QStringLiteral("Integra"), QStringLiteral("ButtonIntegraFabbCompon"), this);
    ButtonSostituisciFabbCompon = creaPulsante(QStringLiteral("Sostituisci"),
                                               QStringLiteral("ButtonSostituisciFabbCompon"), this);
    ButtonEliminaFabbCompon =
        creaPulsante(QStringLiteral("Elimina"), QStringLiteral("ButtonEliminaFabbCompon"), this);
    auto* pulsantiCompon = new QVBoxLayout;
    pulsantiCompon->addWidget(ButtonIntegraFabbCompon);
    pulsantiCompon->addWidget(ButtonSostituisciFabbCompon);
    pulsantiCompon->addWidget(ButtonEliminaFabbCompon);
    pulsantiCompon->addStretch();
    auto* componenti = new QHBoxLayout;
    componenti->addWidget(GridCompon, 1);
    componenti->addLayout(pulsantiCompon);

    // the batch
    auto* lotto = new QGridLayout;
    colonna = 0;
    auto mettiLotto = [&](const char* didascalia, QWidget* w, int riga) {
        lotto->addWidget(new QLabel(QString::fromUtf8(didascalia), this), riga, colonna++);
        lotto->addWidget(w, riga, colonna++);
    };
    EditQuantitaTotale = campo(this, "EditQuantitaTotale");
    EditDensita = campo(this, "EditDensita");
    EditTolleranzaDensita = campo(this, "EditTolleranzaDensita");
    EditPH = campo(this, "EditPH");
    EditTolleranzaPH = campo(this, "EditTolleranzaPH");
    EditPercentualeAcqua = campo(this, "EditPercentualeAcqua");
    EditQuantitaAcqua = campo(this, "EditQuantitaAcqua");
    EditTolleranzaAcqua = campo(this, "EditTolleranzaAcqua");
    EditBilanciaAcqua = campo(this, "EditBilanciaAcqua");
    mettiLotto("Q.tà totale", EditQuantitaTotale, 0);
    mettiLotto("Kg/L", EditDensita, 0);
    lotto->addWidget(new QLabel(QStringLiteral("Densità a 20°C"), this), 0, colonna++);
    mettiLotto("+/- %", EditTolleranzaDensita, 0);
    mettiLotto("pH", EditPH, 0);
    mettiLotto("+/-", EditTolleranzaPH, 0);
    colonna = 0;
    mettiLotto("Acqua addolcita", EditPercentualeAcqua, 1);
    mettiLotto("Quant. Kg", EditQuantitaAcqua, 1);
    mettiLotto("Toll.", EditTolleranzaAcqua, 1);
    mettiLotto("Bilancia", EditBilanciaAcqua, 1);

    GridConsumi = new TCSDGrid(this);
    GridConsumi->setObjectName(QStringLiteral("GridConsumi"));
    ButtonIntegraConsumi =
        creaPulsante(QStringLiteral("Inserisci"), QStringLiteral("ButtonIntegraConsumi"), this);
    ButtonEliminaConsumi =
        creaPulsante(QStringLiteral("Elimina"), QStringLiteral("ButtonEliminaConsumi"), this);
    auto* pulsantiConsumi = new QVBoxLayout;
    pulsantiConsumi->addWidget(ButtonIntegraConsumi);
    pulsantiConsumi->addWidget(ButtonEliminaConsumi);
    pulsantiConsumi->addStretch();
    auto* consumi = new QHBoxLayout;
    consumi->addWidget(GridConsumi, 1);
    consumi->addLayout(pulsantiConsumi);

    auto* v = new QVBoxLayout(this);
    v->addLayout(righe);
    v->addLayout(componenti, 3);
    v->addLayout(lotto);
    v->addLayout(consumi, 2);

    scheda_.configuraGriglia(GridCompon, kSituazioneComponenti, QStringLiteral("FABBCOMPON"));
    GridCompon->collega(&QueryCompon, [this] {
        // the list orders itself by line number, within the one batch
        GridCompon->OrderBy = false;
        return sqlComponentiLotto(scheda_.lottoCorrente());
    });
    scheda_.configuraGriglia(GridConsumi, kSituazioneConsumi, QStringLiteral("CONSUMI"));
    GridConsumi->collega(&QueryConsumi, [this] {
        GridConsumi->OrderBy = false;
        const LottoCorrente l = scheda_.lottoCorrente();
        return QStringList{
            QStringLiteral("SELECT"), QStringLiteral("  ID_CONSUMI,"),
            QStringLiteral("  CODICEMATERIA,"), QStringLiteral("  CODICECONSUMATO,"),
            QStringLiteral("  SERIALE,"), QStringLiteral("  QUANTITA,"), QStringLiteral("  LOTTO"),
            QStringLiteral("FROM"), QStringLiteral("  CONSUMI"), QStringLiteral("WHERE"),
            // a batch without a number has no consumption of
            // its own: the lines of no batch are not its
            l.vuoto() || !l.id ? QStringLiteral("  ID_FABBRICAZIONE IS NULL AND 1=0")
                               : QStringLiteral("  ID_FABBRICAZIONE=") + sql::intero(*l.id),
            QStringLiteral("ORDER BY"), QStringLiteral("  ID_CONSUMI")};
    });
    GridCompon->setItemDelegateForColumn(kColonnaPercentuale, new DelegatoPercentuale(GridCompon));
    connect(GridCompon->modello(), &QAbstractItemModel::modelReset, this, [this] {
        for (int c = kColonneVisibili; c < GridCompon->modello()->columnCount(); ++c) {
            GridCompon->setColumnHidden(c, true);
        }
        mostraRiga();
    });
    connect(GridCompon->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { mostraRiga(); });

    auto timer = [this](const char* nome, int ms, void (PaginaMaterie::*azione)()) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(nome));
        t->setSingleShot(true);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, protetto(this, [this, azione] { (this->*azione)(); }));
        return t;
    };
    TimerRiga = timer("TimerRiga", 1000, &PaginaMaterie::calcolaRiga);
    TimerLotto = timer("TimerLotto", 1000, &PaginaMaterie::calcolaLotto);
    TimerPesata = timer("TimerPesata", 200, &PaginaMaterie::leggiPesata);
    TimerFornitore = timer("TimerFornitore", 200, &PaginaMaterie::leggiFornitore);

    auto azione = [this](QPushButton* b, void (PaginaMaterie::*f)()) {
        connect(b, &QPushButton::clicked, this, protetto(this, [this, f] { (this->*f)(); }));
    };
    azione(ButtonIntegraFabbCompon, &PaginaMaterie::ButtonIntegraFabbComponClick);
    azione(ButtonSostituisciFabbCompon, &PaginaMaterie::ButtonSostituisciFabbComponClick);
    azione(ButtonEliminaFabbCompon, &PaginaMaterie::ButtonEliminaFabbComponClick);
    azione(ButtonIntegraConsumi, &PaginaMaterie::ButtonIntegraConsumiClick);
    azione(ButtonEliminaConsumi, &PaginaMaterie::ButtonEliminaConsumiClick);
}

PaginaMaterie::~PaginaMaterie() {
    chiudi();
}

QList<QPushButton*> PaginaMaterie::pulsanti() const {
    return {ButtonIntegraFabbCompon, ButtonSostituisciFabbCompon, ButtonEliminaFabbCompon,
            ButtonIntegraConsumi, ButtonEliminaConsumi};
}

void PaginaMaterie::aggiorna() {
    riapriComponenti();
    riapriConsumi();
    svuotaLotto();
    TimerLotto->start();
}

void PaginaMaterie::chiudi() {
    for (QTimer* t : {TimerRiga, TimerLotto, TimerPesata, TimerFornitore}) {
        t->stop();
    }
    QueryCompon.close();
    QueryConsumi.close();
    QueryAux.close();
    QueryControllo.close();
}

// ------------------------------------------------------------------ lists

namespace {

// Puts the grid on the row whose `colonna` is `valore`, else on row
// `posizione` (the last when beyond), else the first.
void posiziona(TCSDGrid* g, const QString& colonna, std::optional<qint64> valore, int posizione) {
    GrigliaModello* m = g->modello();
    int trovata = -1;
    if (valore) {
        const QString cercato = QString::number(*valore);
        trovata = m->cerca(colonna, [&](const QString& v) { return v.trimmed() == cercato; });
    }
    if (trovata < 0) {
        while (m->rowCount() <= posizione && m->canFetchMore({})) {
            m->fetchMore({});
        }
        trovata = std::clamp(posizione, 0, std::max(0, m->rowCount() - 1));
    }
    if (m->rowCount() > 0) {
        g->setCurrentIndex(m->index(trovata, std::max(0, g->currentIndex().column())));
        g->scrollTo(g->currentIndex());
    }
}

std::optional<qint64> valoreIntero(const TCSDGrid* g, const QString& colonna) {
    if (!g->SorgenteDati() || !g->SorgenteDati()->isOpen() || g->modello()->rowCount() == 0 ||
        !g->currentIndex().isValid()) {
        return std::nullopt;
    }
    const Campo c = g->campoCorrente(colonna);
    if (c.isNull()) {
        return std::nullopt;
    }
    return c.asInteger();
}

} // namespace

void PaginaMaterie::riapriComponenti(std::optional<qint64> riga, int posizione) {
    // the same line number after a change still shows new figures
    rigaMostrata_.reset();
    serialeMostrato_.clear();
    try {
        QueryCompon.close();
        QueryCompon.open();
    } catch (const DbError& e) {
        mostraRiga();
        Messaggi::errore(e.messaggio(), scheda_.finestra());
        return;
    }
    for (int c = kColonneVisibili; c < GridCompon->modello()->columnCount(); ++c) {
        GridCompon->setColumnHidden(c, true);
    }
    posiziona(GridCompon, QStringLiteral("NRIGA"), riga, posizione);
    mostraRiga();
}

void PaginaMaterie::riapriConsumi(std::optional<qint64> consumo, int posizione) {
    try {
        QueryConsumi.close();
        QueryConsumi.open();
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), scheda_.finestra());
        return;
    }
    posiziona(GridConsumi, QStringLiteral("ID_CONSUMI"), consumo, posizione);
}

std::optional<qint64> PaginaMaterie::rigaCorrente() const {
    return valoreIntero(GridCompon, QStringLiteral("NRIGA"));
}

std::optional<qint64> PaginaMaterie::consumoCorrente() const {
    return valoreIntero(GridConsumi, QStringLiteral("ID_CONSUMI"));
}

// ------------------------------------------------------------------ fields

void PaginaMaterie::mostraRiga() {
    const std::optional<qint64> riga = rigaCorrente();
    auto valore = [&](const char* c) {
        return riga ? testoCampo(GridCompon->campoCorrente(QString::fromLatin1(c))) : QString();
    };
    EditNRiga->setText(valore("NRIGA"));
    EditCodice->setText(valore("CODICEMATERIAPRIMA"));
    EditDescrizione->setText(valore("DESCRIZIONE"));
    EditPercentuale->setText(valore("PERCENTUALE"));
    EditCodiceInterno->setText(valore("CODICEINTERNO"));
    CheckCritico->setChecked(valore("CRITICO") == QStringLiteral("1"));
    EditPesata->setText(valore("PESATA"));
    if (riga != rigaMostrata_ || !riga) {
        rigaMostrata_ = riga;
        for (QLineEdit* e : {EditQuantita, EditBilancia, EditTolleranza, EditAnaloghi}) {
            e->clear();
        }
        if (riga) {
            TimerRiga->start();
        } else {
            TimerRiga->stop();
        }
    }
    const QString seriale = valore("SERIALE");
    if (seriale != serialeMostrato_ || seriale.isEmpty()) {
        serialeMostrato_ = seriale;
        for (QLineEdit* e :
             {EditSerialePesata, EditLottoPesata, EditCodiceFornitore, EditFornitore}) {
            e->clear();
        }
        fornitoreMostrato_.clear();
        TimerFornitore->stop();
        if (seriale.isEmpty()) {
            TimerPesata->stop();
        } else {
            TimerPesata->start();
        }
    }
}

void PaginaMaterie::svuotaLotto() {
    for (QLineEdit* e :
         {EditQuantitaTotale, EditDensita, EditTolleranzaDensita, EditPH, EditTolleranzaPH,
          EditPercentualeAcqua, EditQuantitaAcqua, EditTolleranzaAcqua, EditBilanciaAcqua}) {
        e->clear();
    }
}

void PaginaMaterie::calcolaRiga() {
    TimerRiga->stop();
    const std::optional<qint64> riga = rigaCorrente();
    if (!riga) {
        return;
    }
    const LottoCorrente l = scheda_.lottoCorrente();
    const Campo percentuale = GridCompon->campoCorrente(QStringLiteral("PERCENTUALE"));
    const Campo tolleranza = GridCompon->campoCorrente(QStringLiteral("TOLLERANZA"));
    const QString analogo =
        testoCampo(GridCompon->campoCorrente(QStringLiteral("CODICEANALOGO"))).trimmed();

    const double densita =
        produzione::densitaPerQuantita(l.unitaMisura, l.densitaProdotto.value_or(0));
    const produzione::PesataRiga p = produzione::pesataRiga(
        percentuale.asFloat(), l.quantita.value_or(0), densita, tolleranza.asFloat());
    EditQuantita->setText(Formati::numeroInTesto(p.quantitaPesata));
    EditBilancia->setText(p.bilancia > 0 ? QString::number(p.bilancia) : QString());
    EditTolleranza->setText(p.tolleranza ? Formati::numeroInTesto(*p.tolleranza) : QString());

    // a material without analogue code has no analogues: the materials
    // without one are not related to it
    if (analogo.isEmpty()) {
        EditAnaloghi->clear();
        return;
    }
    scheda_.transazioneControllo().restart();
    QueryControllo.close();
    QueryControllo.SQL = {QStringLiteral("SELECT NOMECOMMERCIALE FROM MATER WHERE"),
                          QStringLiteral("CODICEANALOGO=") + sql::testoNonNullo(analogo),
                          QStringLiteral("ORDER BY CODICE")};
    QStringList nomi = QueryControllo.primaColonna();
    EditAnaloghi->setText(nomi.join(QStringLiteral(", ")));
}

void PaginaMaterie::calcolaLotto() {
    TimerLotto->stop();
    svuotaLotto();
    const LottoCorrente l = scheda_.lottoCorrente();
    if (l.vuoto()) {
        return;
    }
    const double densita =
        produzione::densitaPerQuantita(l.unitaMisura, l.densitaProdotto.value_or(0));
    const double quantita = l.quantita.value_or(0);
    if (l.densitaProdotto) {
        EditDensita->setText(Formati::numeroInTesto(*l.densitaProdotto));
    }
    EditQuantitaTotale->setText(
        Formati::numeroInTesto(produzione::quantitaTotale(quantita, densita)));
    if (rigaCorrente()) {
        EditTolleranzaDensita->setText(
            testoCampo(GridCompon->campoCorrente(QStringLiteral("TOLLERANZADENSITA"))));
        EditPH->setText(testoCampo(GridCompon->campoCorrente(QStringLiteral("PH"))));
        EditTolleranzaPH->setText(
            testoCampo(GridCompon->campoCorrente(QStringLiteral("TOLLERANZAPH"))));
    }

    // the water completes the batch's own lines, as integrated or substituted
    QueryAux.close();
    QueryAux.SQL = QStringList{QStringLiteral("SELECT"), QStringLiteral("   A.PERCENTUALE"),
                               QStringLiteral("FROM"), QStringLiteral("   FABBCOMPON A"),
                               QStringLiteral("WHERE")} +
                   condizioneLineeLotto(l, QStringLiteral("A.")) +
                   QStringList{QStringLiteral("ORDER BY"), QStringLiteral("   A.NRIGA")};
    std::vector<double> percentuali;
    for (QueryAux.open(); !QueryAux.eof(); QueryAux.next()) {
        percentuali.push_back(QueryAux.field(0).asFloat());
    }
    QueryAux.close();
    const produzione::AcquaAddolcita a = produzione::acquaAddolcita(percentuali, quantita, densita);
    EditPercentualeAcqua->setText(Formati::numeroInTesto(a.percentuale));
    EditQuantitaAcqua->setText(Formati::numeroConMigliaia(a.quantita, 2, 0));
    EditTolleranzaAcqua->setText(Formati::numeroConMigliaia(a.tolleranza, 2, 0));
    EditBilanciaAcqua->setText(QString::number(a.bilancia));
}

void PaginaMaterie::leggiPesata() {
    TimerPesata->stop();
    const QString seriale = serialeMostrato_;
    if (seriale.isEmpty()) {
        return;
    }
    scheda_.transazioneControllo().restart();
    QueryControllo.close();
    QueryControllo.SQL = {QStringLiteral("SELECT"),
                          QStringLiteral("  BARCODE_LOTTO_MATERIA,"),
                          QStringLiteral("  LOTTOFABBRICAZIONE,"),
                          QStringLiteral("  CODICEFORNITORE"),
                          QStringLiteral("FROM"),
                          QStringLiteral("  PESATE_FABBR"),
                          QStringLiteral("WHERE"),
                          QStringLiteral("  BARCODE=") + sql::testoNonNullo(seriale),
                          QStringLiteral("ORDER BY"),
                          QStringLiteral("  ID")};
    QueryControllo.open();
    QString fornitore;
    if (!QueryControllo.eof()) {
        EditSerialePesata->setText(testoCampo(QueryControllo.field(0)));
        EditLottoPesata->setText(testoCampo(QueryControllo.field(1)));
        fornitore = testoCampo(QueryControllo.field(2));
    }
    QueryControllo.close();
    EditCodiceFornitore->setText(fornitore);
    if (fornitore != fornitoreMostrato_) {
        fornitoreMostrato_ = fornitore;
        EditFornitore->clear();
        if (!fornitore.isEmpty()) {
            TimerFornitore->start();
        }
    }
}

void PaginaMaterie::leggiFornitore() {
    TimerFornitore->stop();
    const QString codice = EditCodiceFornitore->text();
    Database* erp = scheda_.archivioErp();
    if (codice.isEmpty() || !erp) {
        return;
    }
    Transaction t(erp);
    Query q(erp, &t);
    t.start();
    q.SQL = {QStringLiteral("SELECT"), QStringLiteral("  RAGSOC"),
             QStringLiteral("FROM"),   QStringLiteral("  FORNITO"),
             QStringLiteral("WHERE"),  QStringLiteral("  CODICE=") + sql::testoNonNullo(codice)};
    const QVariant v = q.scalar();
    t.commit();
    EditFornitore->setText(v.isValid() && !v.isNull() ? v.toString() : QString());
}

// ------------------------------------------------------------------ changes

bool PaginaMaterie::inUnaVolta(const QString& messaggio, const std::function<void()>& f) {
    // the lines as they stand now: numbers and shares are read where they are written
    try {
        scheda_.scriviSuDatiCorrenti(f);
        return true;
    } catch (const Rifiuto& r) {
        QueryAux.close();
        Messaggi::avviso(r.testo, scheda_.finestra());
    } catch (const DbError& e) {
        QueryAux.close();
        Messaggi::errore(messaggio + '\n' + e.messaggio(), scheda_.finestra());
    } catch (const sql::ValoreNonValido& e) {
        QueryAux.close();
        Messaggi::errore(messaggio + '\n' + e.valore, scheda_.finestra());
    }
    // the lists show what others committed (a failure restarted their transaction)
    riapriComponenti(rigaCorrente());
    riapriConsumi(consumoCorrente());
    return false;
}

std::optional<RigaGruppo> PaginaMaterie::rigaModificabile(std::optional<qint64> riga) {
    const std::optional<RigaGruppo> r =
        riga ? leggiRigaGruppo(QueryAux, scheda_.lottoCorrente(), *riga) : std::nullopt;
    if (!r) {
        Messaggi::avviso(QStringLiteral("Nessun record selezionato"), scheda_.finestra());
        return std::nullopt;
    }
    // every material without analogue code would count as one group
    if (r->analogo.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Attenzione: il componente non ha un codice analogo"),
                         scheda_.finestra());
        return std::nullopt;
    }
    return r;
}

void PaginaMaterie::ButtonIntegraFabbComponClick() {
    const std::optional<qint64> riga = rigaCorrente();
    const std::optional<RigaGruppo> vista = rigaModificabile(riga);
    if (!vista) {
        return;
    }
    TFabbComponForm f(scheda_, *riga, ModoComponente::Integrazione, scheda_.finestra());
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return;
    }
    integra(*riga, f.codice(), f.percentuale(), *vista);
}

void PaginaMaterie::integra(qint64 riga, const QString& codice, double percentuale,
                            const RigaGruppo& vista) {
    const LottoCorrente l = scheda_.lottoCorrente();
    qint64 nuova = 0;
    const bool fatto =
        inUnaVolta(QStringLiteral("Errore interno: impossibile salvare le modifiche:"), [&] {
            const std::optional<RigaGruppo> r = stessaRiga(QueryAux, l, riga, vista);
            if (r->analogo.isEmpty()) {
                throw Rifiuto{QStringLiteral("Attenzione: il componente non ha un codice analogo")};
            }
            // the group's largest line gives the share
            QueryAux.SQL =
                QStringList{QStringLiteral("SELECT FIRST 1"), QStringLiteral("   A.NRIGA,"),
                            QStringLiteral("   A.PERCENTUALE")} +
                gruppo(l, r->analogo) +
                QStringList{QStringLiteral("ORDER BY"),
                            QStringLiteral("   A.PERCENTUALE DESC,A.NRIGA")};
            QueryAux.open();
            if (QueryAux.eof()) {
                throw Rifiuto{QStringLiteral("Nessun record selezionato")};
            }
            const qint64 donatrice = QueryAux.field(0).asInteger();
            const double disponibile = QueryAux.field(1).asFloat();
            QueryAux.close();
            if ((Decimale::daDouble(percentuale) - Decimale::daDouble(disponibile)).positivo()) {
                throw Rifiuto{QStringLiteral("Attenzione: la percentuale non può superare ") +
                              Formati::numeroConMigliaia(disponibile, 4, 4) +
                              QStringLiteral(", quella della riga più alta del gruppo che la "
                                             "cede")};
            }
            QueryAux.SQL =
                QStringList{QStringLiteral("SELECT"), QStringLiteral("   MAX(NRIGA) AS MAX_RIGA"),
                            QStringLiteral("FROM"), QStringLiteral("   FABBCOMPON"),
                            QStringLiteral("WHERE")} +
                condizioneLineeLotto(l, QString());
            nuova = QueryAux.scalar().toLongLong() + 1;

            QueryAux.SQL = QStringList{QStringLiteral("INSERT INTO FABBCOMPON("),
                                       QStringLiteral("   CODICEFABBRICAZIONE,"),
                                       QStringLiteral("   DATAFABBRICAZIONE,"),
                                       QStringLiteral("   LOTTOFABBRICAZIONE,"),
                                       QStringLiteral("   NRIGA,"),
                                       QStringLiteral("   CODICEMATERIAPRIMA,"),
                                       QStringLiteral("   PERCENTUALE,"),
                                       QStringLiteral("   CRITICO,"),
                                       QStringLiteral("   TOLLERANZA,"),
                                       QStringLiteral("   CODICEFORMULAZIONE,"),
                                       QStringLiteral("   ACCETTABILITA,"),
                                       QStringLiteral("   RANGE,"),
                                       QStringLiteral("   MATERIAATTIVAREALE)"),
                                       QStringLiteral("SELECT"),
                                       QStringLiteral("   CODICEFABBRICAZIONE,"),
                                       QStringLiteral("   DATAFABBRICAZIONE,"),
                                       QStringLiteral("   LOTTOFABBRICAZIONE,"),
                                       QStringLiteral("   ") + sql::intero(nuova) + ',',
                                       QStringLiteral("   ") + sql::testoNonNullo(codice) + ',',
                                       QStringLiteral("   ") + sql::numero(percentuale) + ',',
                                       QStringLiteral("   CRITICO,"),
                                       QStringLiteral("   TOLLERANZA,"),
                                       QStringLiteral("   CODICEFORMULAZIONE,"),
                                       QStringLiteral("   ACCETTABILITA,"),
                                       QStringLiteral("   RANGE,"),
                                       QStringLiteral("   MATERIAATTIVAREALE"),
                                       QStringLiteral("FROM"),
                                       QStringLiteral("   FABBCOMPON"),
                                       QStringLiteral("WHERE")} +
                           condizioneLinea(l, riga);
            QueryAux.execSQL();

            // the figure written is the decimal difference, not the binary
            // one (0,5 − 0,4 stays 0,1)
            const double resto =
                (Decimale::daDouble(disponibile) - Decimale::daDouble(percentuale)).inDouble();
            QueryAux.SQL = QStringList{QStringLiteral("UPDATE FABBCOMPON SET"),
                                       QStringLiteral("   PERCENTUALE=") + sql::numero(resto),
                                       QStringLiteral("WHERE")} +
                           condizioneLinea(l, donatrice);
            QueryAux.execSQL();
        });
    if (fatto) {
        riapriComponenti(nuova);
    }
}

void PaginaMaterie::ButtonSostituisciFabbComponClick() {
    const std::optional<qint64> riga = rigaCorrente();
    const std::optional<RigaGruppo> vista = rigaModificabile(riga);
    if (!vista) {
        return;
    }
    TFabbComponForm f(scheda_, *riga, ModoComponente::Sostituzione, scheda_.finestra());
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return;
    }
    const LottoCorrente l = scheda_.lottoCorrente();
    const QString codice = f.codice();
    const bool fatto =
        inUnaVolta(QStringLiteral("Errore interno: impossibile salvare le modifiche:"), [&] {
            stessaRiga(QueryAux, l, *riga, *vista);
            QueryAux.SQL =
                QStringList{QStringLiteral("UPDATE FABBCOMPON SET"),
                            QStringLiteral("CODICEMATERIAPRIMA=") + sql::testoNonNullo(codice),
                            QStringLiteral("WHERE")} +
                condizioneLinea(l, *riga);
            QueryAux.execSQL();
        });
    if (fatto) {
        riapriComponenti(*riga);
    }
}

void PaginaMaterie::ButtonEliminaFabbComponClick() {
    const std::optional<qint64> riga = rigaCorrente();
    const std::optional<RigaGruppo> r = rigaModificabile(riga);
    if (!r) {
        return;
    }
    const LottoCorrente l = scheda_.lottoCorrente();
    const int posizione = std::max(0, GridCompon->currentIndex().row() - 1);

    QueryAux.SQL = QStringList{QStringLiteral("SELECT"), QStringLiteral("   COUNT(*) AS TOT")} +
                   gruppo(l, r->analogo);
    if (QueryAux.scalar().toLongLong() <= 1) {
        Messaggi::avviso(QStringLiteral("Attenzione: è possibile eliminare solo integrazioni"),
                         scheda_.finestra());
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Eliminare il record selezionato?"),
                            scheda_.finestra())) {
        return;
    }
    const bool fatto =
        inUnaVolta(QStringLiteral("Errore interno: impossibile eliminare il record:"), [&] {
            // the line the user chose, and the group's other line with the
            // smallest percentage that takes its share back, both as they are
            // now, in the transaction that changes them
            const RigaGruppo eliminata = stessaRiga(QueryAux, l, *riga, *r);
            QueryAux.SQL =
                QStringList{QStringLiteral("SELECT FIRST 1"), QStringLiteral("   A.NRIGA,"),
                            QStringLiteral("   A.PERCENTUALE")} +
                gruppo(l, eliminata.analogo) +
                QStringList{QStringLiteral("   AND(A.NRIGA<>") + sql::intero(*riga) + ')',
                            QStringLiteral("ORDER BY"), QStringLiteral("   A.PERCENTUALE,A.NRIGA")};
            QueryAux.open();
            if (QueryAux.eof()) {
                QueryAux.close();
                throw Rifiuto{
                    QStringLiteral("Attenzione: è possibile eliminare solo integrazioni")};
            }
            const qint64 ricevente = QueryAux.field(0).asInteger();
            const double ricevuta = QueryAux.field(1).asFloat();
            QueryAux.close();
            QueryAux.SQL =
                QStringList{QStringLiteral("DELETE FROM FABBCOMPON"), QStringLiteral("WHERE")} +
                condizioneLinea(l, *riga);
            QueryAux.execSQL();
            const double somma =
                (Decimale::daDouble(ricevuta) + Decimale::daDouble(eliminata.percentuale))
                    .inDouble();
            QueryAux.SQL = QStringList{QStringLiteral("UPDATE FABBCOMPON SET"),
                                       QStringLiteral("   PERCENTUALE=") + sql::numero(somma),
                                       QStringLiteral("WHERE")} +
                           condizioneLinea(l, ricevente);
            QueryAux.execSQL();
        });
    if (fatto) {
        riapriComponenti(std::nullopt, posizione);
    }
}

void PaginaMaterie::ButtonIntegraConsumiClick() {
    const LottoCorrente l = scheda_.lottoCorrente();
    if (l.vuoto()) {
        Messaggi::avviso(QStringLiteral("Nessun record selezionato"), scheda_.finestra());
        return;
    }
    // without its number the lines would belong to no batch (or to every
    // batch without one)
    if (!l.id) {
        Messaggi::avviso(QStringLiteral("Attenzione: la fabbricazione non ha un numero "
                                        "identificativo, impossibile inserire consumi"),
                         scheda_.finestra());
        return;
    }
    if (!scheda_.archivioErp()) {
        Messaggi::avviso(QStringLiteral("Attenzione: l'archivio Tovaris non è collegato, "
                                        "impossibile decodificare il seriale"),
                         scheda_.finestra());
        return;
    }
    TInsConsumiForm f(scheda_, *l.id, scheda_.finestra());
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return;
    }
    const std::optional<double> quantita = f.quantita();
    if (!quantita || f.codiceMateria().isEmpty()) {
        return;
    }
    qint64 numero = 0;
    const bool fatto =
        inUnaVolta(QStringLiteral("Errore interno durante l'inserimento dei consumi:"), [&] {
            try {
                numero = f.registra(QueryAux, *quantita);
            } catch (const ConsumoRifiutato& r) {
                throw Rifiuto{r.testo};
            }
        });
    if (fatto) {
        riapriConsumi(numero);
    }
}

void PaginaMaterie::ButtonEliminaConsumiClick() {
    const std::optional<qint64> consumo = consumoCorrente();
    const LottoCorrente l = scheda_.lottoCorrente();
    if (!consumo) {
        Messaggi::avviso(QStringLiteral("Nessun record selezionato"), scheda_.finestra());
        return;
    }
    if (!l.id) {
        Messaggi::avviso(QStringLiteral("Attenzione: la fabbricazione non ha un numero "
                                        "identificativo, impossibile eliminare consumi"),
                         scheda_.finestra());
        return;
    }
    if (!Messaggi::conferma(QStringLiteral("Eliminare il record selezionato?"),
                            scheda_.finestra())) {
        return;
    }
    const int posizione = GridConsumi->currentIndex().row();
    const bool fatto =
        inUnaVolta(QStringLiteral("Errore interno: impossibile eliminare il record:"), [&] {
            QueryAux.SQL = {QStringLiteral("DELETE FROM CONSUMI"), QStringLiteral("WHERE"),
                            QStringLiteral("  ID_FABBRICAZIONE=") + sql::intero(*l.id),
                            QStringLiteral("  AND"),
                            QStringLiteral("  ID_CONSUMI=") + sql::intero(*consumo)};
            QueryAux.execSQL();
        });
    if (fatto) {
        riapriConsumi(std::nullopt, posizione);
    }
}

} // namespace quintar
