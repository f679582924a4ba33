#include "production/fabbcompon.h"

#include "master/mater.h"
#include "production/materie.h"
#include "production/quantita.h"
#include "session/connessione.h"
#include "session/formati.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/finestra.h"
#include "ui/protezione.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quintar {

using produzione::Decimale;

namespace {

QLineEdit* campo(QWidget* parent, const char* nome, bool modificabile = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(nome));
    e->setReadOnly(!modificabile);
    return e;
}

} // namespace

TFabbComponForm::TFabbComponForm(SchedaFabbricazione& scheda, qint64 riga, ModoComponente modo,
                                 QWidget* owner)
    : QDialog(owner), scheda_(scheda), riga_(riga), modo_(modo),
      query_(scheda.archivio(), &scheda.transazionePrincipale()) {
    setObjectName(QStringLiteral("FabbComponForm"));
    setWindowTitle(modo == ModoComponente::Integrazione ? QStringLiteral("Integrazione")
                                                        : QStringLiteral("Sostituzione"));

    auto* g = new QGridLayout;
    int r = 0;
    auto aggiungi = [&](QWidget* didascalia, QWidget* w) {
        g->addWidget(didascalia, r, 0);
        g->addWidget(w, r, 1);
        ++r;
    };
    auto etichetta = [this](const char* t) { return new QLabel(QString::fromUtf8(t), this); };
    EditNRiga = campo(this, "EditNRiga");
    aggiungi(etichetta("N° Riga"), EditNRiga);
    ButtonCodice = creaPulsante(QStringLiteral("&Codice"), QStringLiteral("ButtonCodice"), this);
    EditCodice = campo(this, "EditCodice", true);
    EditCodice->setMaxLength(20);
    aggiungi(ButtonCodice, EditCodice);
    EditDescrizione = campo(this, "EditDescrizione");
    aggiungi(etichetta("Descrizione"), EditDescrizione);
    EditPercentuale = campo(this, "EditPercentuale", modo == ModoComponente::Integrazione);
    EditPercentuale->setMaxLength(20);
    virgolaDecimale(EditPercentuale);
    aggiungi(etichetta("%"), EditPercentuale);
    EditCodiceInterno = campo(this, "EditCodiceInterno");
    aggiungi(etichetta("Codice interno"), EditCodiceInterno);
    CheckCritico = new QCheckBox(QStringLiteral("Critico"), this);
    CheckCritico->setObjectName(QStringLiteral("CheckCritico"));
    CheckCritico->setEnabled(false);
    g->addWidget(CheckCritico, r++, 1);
    EditCodiceAnalogo = campo(this, "EditCodiceAnalogo");
    aggiungi(etichetta("Codice analogo"), EditCodiceAnalogo);
    EditTolleranza = campo(this, "EditTolleranza");
    aggiungi(etichetta("Tolleranza"), EditTolleranza);
    EditTolleranzaDensita = campo(this, "EditTolleranzaDensita");
    aggiungi(etichetta("Toll. Densità"), EditTolleranzaDensita);
    EditPH = campo(this, "EditPH");
    aggiungi(etichetta("PH"), EditPH);
    EditTolleranzaPH = campo(this, "EditTolleranzaPH");
    aggiungi(etichetta("Toll. PH"), EditTolleranzaPH);
    EditCodiceFormulazione = campo(this, "EditCodiceFormulazione");
    aggiungi(etichetta("Codice formul."), EditCodiceFormulazione);
    EditComposizione = campo(this, "EditComposizione");
    aggiungi(etichetta("Composizione"), EditComposizione);
    EditAccettabilita = campo(this, "EditAccettabilita");
    aggiungi(etichetta("Accettabilità"), EditAccettabilita);
    EditRange = campo(this, "EditRange");
    aggiungi(etichetta("Range"), EditRange);
    EditMateriaAttiva = campo(this, "EditMateriaAttiva");
    aggiungi(etichetta("Materia attiva"), EditMateriaAttiva);
    EditMateriaAttivaReale = campo(this, "EditMateriaAttivaReale");
    aggiungi(etichetta("Materia attiva reale"), EditMateriaAttivaReale);

    QHBoxLayout* bottoni = pulsantiOkAnnulla(this, OKBtn, CancelBtn, [this] { return verifica(); });
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(bottoni);

    connect(ButtonCodice, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonCodiceClick(); }));

    try {
        leggi();
    } catch (const DbError& e) {
        query_.close();
        Messaggi::errore(e.messaggio(), this);
    }
}

TFabbComponForm::~TFabbComponForm() = default;

void TFabbComponForm::leggi() {
    const LottoCorrente l = scheda_.lottoCorrente();
    query_.close();
    query_.SQL = sqlComponentiLotto(l, riga_);
    query_.open();
    if (!query_.eof()) {
        auto testo = [this](const char* c) {
            const Campo f = query_[QString::fromLatin1(c)];
            return f.isNull() ? QString() : f.asString();
        };
        EditNRiga->setText(testo("NRIGA"));
        EditCodice->setText(testo("CODICEMATERIAPRIMA"));
        EditDescrizione->setText(testo("DESCRIZIONE"));
        EditPercentuale->setText(testo("PERCENTUALE"));
        EditCodiceInterno->setText(testo("CODICEINTERNO"));
        CheckCritico->setChecked(testo("CRITICO") == QStringLiteral("1"));
        EditCodiceAnalogo->setText(testo("CODICEANALOGO"));
        EditTolleranza->setText(testo("TOLLERANZA"));
        EditTolleranzaDensita->setText(testo("TOLLERANZADENSITA"));
        EditPH->setText(testo("PH"));
        EditTolleranzaPH->setText(testo("TOLLERANZAPH"));
        EditCodiceFormulazione->setText(testo("CODICEFORMULAZIONE"));
        EditComposizione->setText(testo("COMPOSIZIONE"));
        EditAccettabilita->setText(testo("ACCETTABILITA"));
        EditRange->setText(testo("RANGE"));
        EditMateriaAttiva->setText(testo("MATERIAATTIVA"));
        EditMateriaAttivaReale->setText(testo("MATERIAATTIVAREALE"));
    }
    query_.close();

    const std::optional<RigaGruppo> g = leggiRigaGruppo(query_, l, riga_);
    materia_ = g ? g->materia : QString();
    analogo_ = g ? g->analogo : QString();
    if (modo_ != ModoComponente::Integrazione) {
        return;
    }
    query_.SQL = QStringList{QStringLiteral("SELECT"),
                             QStringLiteral("   SUM(COALESCE(A.PERCENTUALE,0)) AS PERCENTUALE,"),
                             QStringLiteral("   MAX(COALESCE(A.PERCENTUALE,0)) AS MASSIMO"),
                             QStringLiteral("FROM"),
                             QStringLiteral("   FABBCOMPON A"),
                             QStringLiteral("   LEFT JOIN MATER B ON"),
                             QStringLiteral("   (A.CODICEMATERIAPRIMA=B.CODICE)"),
                             QStringLiteral("WHERE")} +
                 condizioneLineeLotto(l, QStringLiteral("A.")) +
                 QStringList{QStringLiteral("   AND(COALESCE(B.CODICEANALOGO,'')=") +
                             sql::testoNonNullo(analogo_) + ')'};
    query_.open();
    totale_ = query_.eof() ? 0 : query_.field(0).asFloat();
    massimo_ = query_.eof() ? 0 : query_.field(1).asFloat();
    query_.close();
}

QString TFabbComponForm::codice() const {
    return EditCodice->text().trimmed();
}

double TFabbComponForm::percentuale() const {
    return Formati::leggiNumero(EditPercentuale->text()).value_or(0);
}

void TFabbComponForm::ButtonCodiceClick() {
    const QString a = analogo_;
    TMaterForm::OpzioniRicerca o{
        .codice = codice(), .nascondiSchede = true, .prepara = [a](TMaterForm& f) {
            f.preparaRicerca(QStringLiteral("EditRicercaCodiceAnalogo"), a);
        }};
    if (const auto scelta = TMaterForm::scegli(scheda_.sessione(), this, o)) {
        EditCodice->setText(scelta->codice);
        EditDescrizione->setText(scelta->nomeCommerciale);
    }
}

bool TFabbComponForm::verifica() {
    const QString c = codice();
    if (c.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Inserire un codice"), this);
        EditCodice->setFocus();
        return false;
    }
    if (c == materia_) {
        Messaggi::avviso(
            QStringLiteral("Attenzione: il codice deve essere diverso da quello di partenza"),
            this);
        EditCodice->setFocus();
        return false;
    }
    Transaction& t = scheda_.transazioneControllo();
    t.restart();
    Query q(scheda_.archivio(), &t);
    q.SQL = {QStringLiteral("SELECT CODICEANALOGO FROM MATER WHERE"),
             QStringLiteral("CODICE=") + sql::testoNonNullo(c)};
    q.open();
    const bool esiste = !q.eof();
    const QString analogo = esiste ? q.field(0).asString().trimmed() : QString();
    q.close();
    if (!esiste) {
        Messaggi::avviso(QStringLiteral("Attenzione: codice inserito inesistente"), this);
        EditCodice->setFocus();
        return false;
    }
    if (analogo != analogo_) {
        Messaggi::avviso(
            QStringLiteral("Attenzione: il codice inserito deve avere lo stesso codice "
                           "analogo del componente di partenza (cod. analogo: \"") +
                analogo_ + QStringLiteral("\")"),
            this);
        EditCodice->setFocus();
        return false;
    }
    if (modo_ == ModoComponente::Sostituzione) {
        return true;
    }
    auto rifiuta = [this](const QString& testo) {
        Messaggi::avviso(testo, this);
        EditPercentuale->setFocus();
        return false;
    };
    if (EditPercentuale->text().trimmed().isEmpty()) {
        return rifiuta(QStringLiteral("Attenzione: è necessario indicare una percentuale"));
    }
    const std::optional<double> p = Formati::leggiNumero(EditPercentuale->text());
    if (!p) {
        return rifiuta(QStringLiteral(
            "Attenzione: è necessario indicare una valore valido per la percentuale"));
    }
    const Decimale dp = Decimale::daDouble(*p);
    if (!(Decimale::daDouble(totale_) - dp).positivo()) {
        return rifiuta(QStringLiteral("Attenzione: la percentuale deve essere minore di ") +
                       Formati::numeroConMigliaia(totale_, 4, 4));
    }
    if (!dp.positivo()) {
        return rifiuta(QStringLiteral("Attenzione: la percentuale deve essere maggiore di 0"));
    }
    // the share comes from the group's largest line: it cannot give more
    // than it has
    if ((dp - Decimale::daDouble(massimo_)).positivo()) {
        return rifiuta(QStringLiteral("Attenzione: la percentuale non può superare ") +
                       Formati::numeroConMigliaia(massimo_, 4, 4) +
                       QStringLiteral(", quella della riga più alta del gruppo che la cede"));
    }
    return true;
}

} // namespace quintar
