#include "production/insconsumi.h"

#include "production/errorevintel.h"
#include "production/materie.h"
#include "production/quantita.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/finestra.h"
#include "ui/protezione.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

using produzione::Decimale;

namespace {

QString virgolette(const QString& s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QString testoGiaUsato(const QString& seriale) {
    return QStringLiteral("Il seriale ") + virgolette(seriale) +
           QStringLiteral(" è già stato usato tra i consumi della fabbricazione");
}

QStringList contaSeriale(qint64 id, const QString& seriale) {
    return {QStringLiteral("SELECT"), QStringLiteral("  COUNT(*) AS TOT"),
            QStringLiteral("FROM"),   QStringLiteral("  CONSUMI"),
            QStringLiteral("WHERE"),  QStringLiteral("  ID_FABBRICAZIONE=") + sql::intero(id),
            QStringLiteral("  AND"),  QStringLiteral("  SERIALE=") + sql::testoNonNullo(seriale)};
}

} // namespace

TInsConsumiForm::TInsConsumiForm(SchedaFabbricazione& scheda, qint64 idFabbricazione,
                                 QWidget* owner)
    : QDialog(owner), scheda_(scheda), id_(idFabbricazione) {
    setObjectName(QStringLiteral("InsConsumiForm"));
    setWindowTitle(QStringLiteral("Inserimento consumi"));

    EditSeriale = new QLineEdit(this);
    EditSeriale->setObjectName(QStringLiteral("EditSeriale"));
    EditSeriale->setMaxLength(30); // CONSUMI.SERIALE, SERIALI.SERIALE
    EditQuantita = new QLineEdit(this);
    EditQuantita->setObjectName(QStringLiteral("EditQuantita"));
    EditQuantita->setMaxLength(20);
    virgolaDecimale(EditQuantita);

    auto* g = new QGridLayout;
    g->addWidget(new QLabel(QStringLiteral("Seriale"), this), 0, 0);
    g->addWidget(EditSeriale, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Quantità"), this), 1, 0);
    g->addWidget(EditQuantita, 1, 1);
    QHBoxLayout* bottoni = pulsantiOkAnnulla(this, OKBtn, CancelBtn, [this] { return verifica(); });
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(bottoni);

    connect(EditSeriale, &QLineEdit::textEdited, this, [this] { dimentica(); });
    connect(EditSeriale, &QLineEdit::returnPressed, this,
            protetto(this, [this] { decodificaSeriale(); }));

    try {
        const QString t = scheda.sessione()->ValoreTabX(QStringLiteral("SogliaFuoriPeso"), false);
        soglia_ = Formati::leggiNumero(t.trimmed()).value_or(0);
    } catch (const DbError& e) {
        qWarning("soglia fuori peso non letta: %s", qPrintable(e.messaggio()));
        soglia_ = 0;
    }
}

TInsConsumiForm::~TInsConsumiForm() = default;

void TInsConsumiForm::dimentica() {
    codiceMateria_.clear();
    codiceConsumato_.clear();
    lotto_.clear();
    serialeDecodificato_.clear();
    attesa_.reset();
}

std::optional<double> TInsConsumiForm::quantita() const {
    return Formati::leggiNumero(EditQuantita->text());
}

bool TInsConsumiForm::decodificaSeriale() {
    dimentica();
    const QString s = EditSeriale->text().trimmed();
    if (s.isEmpty()) {
        return false;
    }
    Database* erp = scheda_.archivioErp();
    if (!erp) {
        Messaggi::avviso(QStringLiteral("Attenzione: l'archivio Tovaris non è collegato, "
                                        "impossibile decodificare il seriale"),
                         this);
        return false;
    }
    QString articolo, lotto;
    {
        Transaction te(erp);
        Query qe(erp, &te);
        te.start();
        qe.SQL = {QStringLiteral("SELECT"),
                  QStringLiteral("  A.CODICEARTICOLO,"),
                  QStringLiteral("  B.CODICELOTTO"),
                  QStringLiteral("FROM"),
                  QStringLiteral("  SERIALI A"),
                  QStringLiteral("  LEFT JOIN LOTTI B ON"),
                  QStringLiteral("  A.IDLOTTO=B.ID"),
                  QStringLiteral("WHERE"),
                  QStringLiteral("  A.SERIALE=") + sql::testoNonNullo(s)};
        qe.open();
        if (qe.eof()) {
            Messaggi::avviso(
                QStringLiteral("Seriale ") + virgolette(s) + QStringLiteral(" non trovato"), this);
            return false;
        }
        articolo = qe.field(0).asString().trimmed();
        lotto = qe.field(1).asString();
        qe.close();
        te.commit();
    }

    Transaction& t = scheda_.transazioneControllo();
    t.restart();
    Query q(scheda_.archivio(), &t);
    q.SQL = contaSeriale(id_, s);
    if (q.scalar().toLongLong() > 0) {
        Messaggi::avviso(testoGiaUsato(s), this);
        return false;
    }

    q.SQL = {QStringLiteral("SELECT"),
             QStringLiteral("  CODICE,"),
             QStringLiteral("  DATA,"),
             QStringLiteral("  LOTTO,"),
             QStringLiteral("  UNITAMISURA,"),
             QStringLiteral("  DENSITAPRODOTTO,"),
             QStringLiteral("  QUANTITALITRI"),
             QStringLiteral("FROM"),
             QStringLiteral("  FABBRIC"),
             QStringLiteral("WHERE"),
             QStringLiteral("  ID=") + sql::intero(id_)};
    q.open();
    if (q.eof()) {
        q.close();
        Messaggi::avviso(QStringLiteral("Attenzione: la fabbricazione non è stata trovata"), this);
        return false;
    }
    LottoCorrente l;
    l.codice = q[QStringLiteral("CODICE")].asString();
    l.data = q[QStringLiteral("DATA")].asDate();
    l.lotto = q[QStringLiteral("LOTTO")].asString();
    l.unitaMisura = q[QStringLiteral("UNITAMISURA")].asString();
    const double quantitaLotto = q[QStringLiteral("QUANTITALITRI")].asFloat();
    const double densita = produzione::densitaPerQuantita(
        l.unitaMisura, q[QStringLiteral("DENSITAPRODOTTO")].asFloat());
    q.close();

    q.SQL = {QStringLiteral("SELECT"), QStringLiteral("  CODICEANALOGO"),
             QStringLiteral("FROM"),   QStringLiteral("  MATER"),
             QStringLiteral("WHERE"),  QStringLiteral("  CODICE=") + sql::testoNonNullo(articolo)};
    q.open();
    if (q.eof()) {
        q.close();
        Messaggi::avviso(QStringLiteral("Materia prima ") + virgolette(articolo) +
                             QStringLiteral(" non trovata"),
                         this);
        return false;
    }
    const QString analogo = q.field(0).asString().trimmed();
    q.close();

    q.SQL = QStringList{QStringLiteral("SELECT"), QStringLiteral("  A.PERCENTUALE"),
                        QStringLiteral("FROM"), QStringLiteral("  FABBCOMPON A"),
                        QStringLiteral("WHERE")} +
            condizioneLineeLotto(l, QStringLiteral("A.")) +
            QStringList{QStringLiteral("  AND(A.CODICEMATERIAPRIMA=") +
                            sql::testoNonNullo(analogo) + ')',
                        QStringLiteral("ORDER BY A.NRIGA")};
    q.open();
    if (q.eof()) {
        q.close();
        Messaggi::avviso(QStringLiteral("Materia prima ") + virgolette(articolo) +
                             QStringLiteral(" (cod. analogo ") + virgolette(analogo) +
                             QStringLiteral(") non prevista dalla fabbricazione"),
                         this);
        return false;
    }
    const double percentuale = q.field(0).asFloat();
    q.close();

    attesa_ = produzione::pesataRiga(percentuale, quantitaLotto, densita, 0).quantitaPesata;
    codiceMateria_ = analogo;
    codiceConsumato_ = articolo;
    lotto_ = lotto;
    serialeDecodificato_ = s;
    EditQuantita->setFocus();
    return true;
}

bool TInsConsumiForm::verifica() {
    if (EditSeriale->text().trimmed().isEmpty()) {
        Messaggi::avviso(QStringLiteral("Inserire prima il seriale"), this);
        EditSeriale->setFocus();
        return false;
    }
    // a serial changed after its decoding counts as not decoded
    if (!attesa_ || codiceMateria_.isEmpty() ||
        serialeDecodificato_ != EditSeriale->text().trimmed()) {
        Messaggi::avviso(QStringLiteral("Il seriale non è stato decodificato"), this);
        return false;
    }
    const std::optional<double> q = quantita();
    if (!q) {
        Messaggi::avviso(QStringLiteral("Inserire una quantità valida"), this);
        EditQuantita->setFocus();
        return false;
    }
    const Decimale e = Decimale::daDouble(*attesa_);
    const Decimale a = (e * Decimale::daDouble(soglia_)).diviso(Decimale::intero(100), 9);
    const Decimale dq = Decimale::daDouble(*q);
    const bool sotto = (e - a - dq).positivo();
    const bool sopra = (dq - (e + a)).positivo();
    if (sotto || sopra) {
        TErroreVintelForm::mostra(QStringLiteral("Fuori peso"), this);
        EditQuantita->setFocus();
        return false;
    }
    return true;
}

qint64 TInsConsumiForm::registra(Query& q, double quantita) const {
    q.SQL = contaSeriale(id_, serialeDecodificato_);
    if (q.scalar().toLongLong() > 0) {
        throw ConsumoRifiutato{testoGiaUsato(serialeDecodificato_)};
    }
    q.SQL = {QStringLiteral("SELECT GEN_ID(IDCONSUMICOUNTER,1) FROM RDB$DATABASE")};
    const qint64 numero = q.scalar().toLongLong();
    q.SQL = {QStringLiteral("INSERT INTO CONSUMI("),
             QStringLiteral("  ID_FABBRICAZIONE,"),
             QStringLiteral("  ID_CONSUMI,"),
             QStringLiteral("  CODICEMATERIA,"),
             QStringLiteral("  CODICECONSUMATO,"),
             QStringLiteral("  SERIALE,"),
             QStringLiteral("  QUANTITA,"),
             QStringLiteral("  LOTTO)"),
             QStringLiteral("VALUES("),
             QStringLiteral("  ") + sql::intero(id_) + ',',
             QStringLiteral("  ") + sql::intero(numero) + ',',
             QStringLiteral("  ") + sql::testo(codiceMateria_) + ',',
             QStringLiteral("  ") + sql::testo(codiceConsumato_) + ',',
             QStringLiteral("  ") + sql::testo(serialeDecodificato_) + ',',
             QStringLiteral("  ") + sql::numero(quantita) + ',',
             QStringLiteral("  ") + sql::testo(lotto_) + ')'};
    try {
        q.execSQL();
    } catch (const DbError& e) {
        if (e.chiaveDuplicata()) {
            throw ConsumoRifiutato{testoGiaUsato(serialeDecodificato_)};
        }
        throw;
    }
    return numero;
}

} // namespace quintar
