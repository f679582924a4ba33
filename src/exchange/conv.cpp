#include "exchange/conv.h"

#include "exchange/conversione.h"
#include "exchange/infoelab.h"
#include "exchange/paradox.h"
#include "session/messaggi.h"
#include "session/percorsi.h"
#include "session/sqlvalori.h"
#include "session/tabx.h"
#include "ui/esecuzione.h"
#include "ui/posizionefinestra.h"
#include "ui/protezione.h"
#include "ui/tseldirform.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

namespace quintar {

namespace {

constexpr int kTabelle = 28;

QString ora() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

int percentuale(qint64 parte, qint64 tutto) {
    return tutto <= 0 ? 0 : int(std::lround(double(parte) * 100.0 / double(tutto)));
}

} // namespace

TConvForm::TConvForm(TTabXForm* sessione, QWidget* owner)
    : FinestraSessione(sessione, owner), Transazione(&sessione->IBDatabase1),
      QueryConv(&sessione->IBDatabase1, &Transazione) {
    setObjectName(QStringLiteral("ConvForm"));
    impostaDidascalia(QStringLiteral("Conversione archivi - Ditta:"));

    ButtonArchivi =
        creaPulsante(QStringLiteral("Archivi &origine"), QStringLiteral("ButtonArchivi"), this);
    EditArchivi = new QLineEdit(this);
    EditArchivi->setObjectName(QStringLiteral("EditArchivi"));
    const QString lavoro = sessione->GetV(QStringLiteral("LavoroDir"));
    EditArchivi->setText(lavoro.isEmpty() ? lavoro : percorsi::conSeparatore(lavoro));
    ButtonElabora = creaPulsante(QStringLiteral("&Elabora"), QStringLiteral("ButtonElabora"), this);
    ButtonChiudi = creaPulsante(QStringLiteral("&Chiudi"), QStringLiteral("ButtonChiudi"), this);
    MemoRiep = new QPlainTextEdit(this);
    MemoRiep->setObjectName(QStringLiteral("MemoRiep"));
    MemoRiep->setReadOnly(true);

    auto* v = new QVBoxLayout(this);
    auto* origine = new QHBoxLayout;
    origine->addWidget(ButtonArchivi);
    origine->addWidget(EditArchivi, 1);
    v->addLayout(origine);
    v->addWidget(MemoRiep, 1);
    auto* b = new QHBoxLayout;
    b->addStretch();
    b->addWidget(ButtonElabora);
    b->addWidget(ButtonChiudi);
    v->addLayout(b);
    resize(640, 480);

    connect(ButtonArchivi, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonArchiviClick(); }));
    connect(ButtonElabora, &QPushButton::clicked, this,
            protetto(this, [this] { ButtonElaboraClick(); }));
    connect(ButtonChiudi, &QPushButton::clicked, this, [this] { close(); });
}

TConvForm::~TConvForm() = default;

void TConvForm::showEvent(QShowEvent* e) {
    FinestraSessione::showEvent(e);
    if (!posizioneCaricata_) {
        posizioneCaricata_ = true;
        CaricaPosizioneFinestra(this, sessione_->NumUtente, kSituazioneFinestra,
                                &sessione_->IBDatabase1);
    }
}

void TConvForm::closeEvent(QCloseEvent* e) {
    if (EsecuzioneInCorso::inCorso(this)) {
        e->ignore();
        return;
    }
    SalvaPosizioneFinestra(this, sessione_->NumUtente, kSituazioneFinestra,
                           &sessione_->IBDatabase1);
    rollbackSenzaErrori();
    e->accept();
}

void TConvForm::ButtonArchiviClick() {
    const auto cartella = TSelDirForm::scegli(this, EditArchivi->text());
    if (!cartella) {
        return;
    }
    EditArchivi->setText(*cartella);
    sessione_->ScriviParametroArbelon(sessione_->Ditta, QStringLiteral("Directory di lavoro"),
                                      *cartella);
}

void TConvForm::riga(const QString& testo) {
    MemoRiep->appendPlainText(testo);
}

bool TConvForm::annullato() const {
    return info_ && info_->Annullato();
}

void TConvForm::interrotta(const QStringList& righe, const QString& messaggio) {
    riga(QStringLiteral("Elaborazione interrotta: ") + ora());
    for (const QString& r : righe) {
        riga(r);
    }
    if (!messaggio.isEmpty()) {
        Messaggi::errore(messaggio, this);
    }
}

void TConvForm::rollbackSenzaErrori() noexcept {
    try {
        if (Transazione.active()) {
            Transazione.rollback();
        }
    } catch (const std::exception& e) {
        // the connection is gone: nothing of the run is left to undo
        qWarning("conversione: rollback non riuscito: %s", e.what());
    }
}

void TConvForm::ButtonElaboraClick() {
    if (EsecuzioneInCorso::inCorso(this)) {
        return;
    }
    const QString radice = EditArchivi->text();
    if (radice.trimmed().isEmpty() || !QFileInfo(percorsi::suDisco(radice)).isDir()) {
        Messaggi::avviso(
            QStringLiteral(
                "Attenzione: il percorso selezionato per \"Archivi origine\" non esiste"),
            this);
        return;
    }
    if (!Messaggi::confermaAvviso(
            QStringLiteral("Avviare la conversione degli archivi?\r\nAttenzione: eventuali dati "
                           "già presenti verranno sovrascritti"),
            this)) {
        return;
    }
    MemoRiep->clear();
    riga(QStringLiteral("Inizio elaborazione: ") + ora());

    // the progress window and the run end together, whatever the outcome
    std::unique_ptr<TInfoElabForm> info(new TInfoElabForm(this));
    info_ = info.get();
    info_->LabelTotTabelle->setText(QString::number(kTabelle));
    info_->show();
    EsecuzioneInCorso esecuzione(this, {ButtonArchivi, EditArchivi, ButtonElabora, ButtonChiudi});
    esecuzione_ = &esecuzione;
    struct Fine {
        TConvForm* f;
        ~Fine() {
            f->esecuzione_ = nullptr;
            f->info_ = nullptr;
        }
    } fine{this};

    Esito esito = Esito::Convertita;
    try {
        // a fresh snapshot: the run starts from what others committed
        rollbackSenzaErrori();
        Transazione.start();
        const auto& tabelle = conversione::tabelle();
        for (size_t i = 0; i < tabelle.size() && esito == Esito::Convertita; ++i) {
            esito = ConvertiTabella(int(i) + 1, tabelle[i]);
        }
        // a cancel confirmed after the last record is a cancel too
        esecuzione.passo(true);
        if (esito == Esito::Convertita && annullato()) {
            esito = Esito::Annullata;
        }
        if (esito == Esito::Convertita) {
            Transazione.commit();
        }
    } catch (const DbError& e) {
        esito = Esito::Fallita;
        interrotta({QStringLiteral("Errore interno: ") + e.messaggio()},
                   QStringLiteral("Errore interno: ") + e.messaggio());
    }
    if (esito == Esito::Convertita) {
        riga(QStringLiteral("Elaborazione completata: ") + ora());
        Messaggi::informazione(QStringLiteral("Elaborazione completata"), this);
        return;
    }
    // nothing of the conversion remains
    rollbackSenzaErrori();
    if (esito == Esito::Annullata) {
        riga(QStringLiteral("Elaborazione annullata: ") + ora());
        Messaggi::informazione(QStringLiteral("Elaborazione annullata"), this);
    }
}

TConvForm::Esito TConvForm::ConvertiTabella(int n, const conversione::TabellaDaConvertire& t) {
    riga(QString());
    riga(QStringLiteral("Tabella ") + t.destinazione);

    // the source table and the field each column comes from
    std::unique_ptr<paradox::Tabella> origine;
    std::vector<int> campi;
    const QString relativo = t.cartella + '\\' + t.file;
    try {
        const QString file = paradox::trovaFile(EditArchivi->text(), relativo);
        if (file.isEmpty()) {
            throw paradox::ErroreParadox(
                QStringLiteral("%1: il file non esiste in %2").arg(t.file, t.cartella));
        }
        origine = std::make_unique<paradox::Tabella>(file);
        const bool haCampo3 = origine->indiceCampo(QStringLiteral("TEMPO3")) >= 0;
        for (const QString& c : t.colonne) {
            const QString nome = conversione::campoOrigine(t.destinazione, c, haCampo3);
            const int i = origine->indiceCampo(nome);
            if (i < 0) {
                throw paradox::ErroreParadox(
                    QStringLiteral("%1: manca il campo %2").arg(t.file, nome));
            }
            campi.push_back(i);
        }
    } catch (const paradox::ErroreParadox& e) {
        interrotta(
            {QStringLiteral("Errore durante la lettura della tabella origine ") + relativo + ':',
             e.messaggio()},
            QStringLiteral("Errore durante la lettura della tabella origine della "
                           "tabella ") +
                t.destinazione + QStringLiteral(":\r\n") + e.messaggio());
        return Esito::Fallita;
    }

    const int totale = origine->numeroRecord();
    info_->LabelTabella->setText(t.destinazione);
    info_->LabelNTabella->setText(QString::number(n));
    info_->ProgressBar1->setValue(percentuale(n, kTabelle));
    info_->LabelTotRecord->setText(QString::number(totale));
    info_->LabelNRecord->setText(QStringLiteral("0"));
    info_->ProgressBar2->setValue(0);
    esecuzione_->passo(true);
    if (annullato()) {
        return Esito::Annullata;
    }

    riga(QStringLiteral("Verifica esistenza tabella"));
    QueryConv.SQL = {QStringLiteral("SELECT RDB$RELATION_NAME FROM RDB$RELATIONS"),
                     QStringLiteral("WHERE RDB$RELATION_NAME=?")};
    QueryConv.setParams({t.destinazione});
    const bool esiste = QueryConv.scalar().isValid();
    if (!esiste) {
        riga(QStringLiteral("La tabella non esiste"));
        if (Messaggi::confermaAvviso(
                QStringLiteral("Attenzione: la tabella ") + t.destinazione +
                    QStringLiteral(" non esiste. Procedere comunque con la conversione delle "
                                   "altre tabelle?\r\n- L'annullamento azzera l'intera "
                                   "elaborazione"),
                this)) {
            return Esito::Convertita;
        }
        interrotta({}, {});
        return Esito::Fallita;
    }

    riga(QStringLiteral("Azzeramento dati"));
    try {
        QueryConv.clearParams();
        QueryConv.SQL = {QStringLiteral("DELETE FROM ") + sql::identificatore(t.destinazione)};
        QueryConv.execSQL();
    } catch (const DbError& e) {
        interrotta({QStringLiteral("Errore interno durante l'azzeramento della tabella ") +
                        t.destinazione + ':',
                    e.messaggio()},
                   QStringLiteral("Errore interno durante l'azzeramento della tabella ") +
                       t.destinazione);
        return Esito::Fallita;
    }
    esecuzione_->passo(true);
    if (annullato()) {
        return Esito::Annullata;
    }

    riga(QStringLiteral("Riversamento dati"));
    // the kinds of the target's columns, and one statement for every record
    const std::vector<conversione::Colonna> colonne =
        conversione::colonneDestinazione(QueryConv, t);
    Query inserimento(&sessione_->IBDatabase1, &Transazione);
    inserimento.SQL = {conversione::fraseInserimento(t)};

    paradox::Record r;
    std::vector<QVariant> valori(colonne.size());
    int numero = 0;
    auto mostra = [&] {
        info_->LabelNRecord->setText(QString::number(numero));
        info_->ProgressBar2->setValue(percentuale(numero, totale));
    };
    // The cost parameters and the softened water are one row each (the
    // archive takes no second): the first record is that row, as the older
    // screens read it.
    const bool unaRiga =
        t.destinazione == QLatin1String("CPAR") || t.destinazione == QLatin1String("PRACQUA");
    for (int i = 0; i < totale; ++i) {
        try {
            origine->leggi(i, r);
        } catch (const paradox::ErroreParadox& e) {
            interrotta({QStringLiteral("Errore durante la lettura della tabella origine ") +
                            relativo + ':',
                        e.messaggio()},
                       QStringLiteral("Errore durante la lettura della tabella origine della "
                                      "tabella ") +
                           t.destinazione + QStringLiteral(":\r\n") + e.messaggio());
            return Esito::Fallita;
        }
        try {
            if (i == 0 || !unaRiga) {
                // every column of this record, so that the statement shown for
                // a value refused holds this record's values (the refused one
                // as read)
                std::optional<conversione::ValoreNonValido> rifiutato;
                for (size_t c = 0; c < colonne.size(); ++c) {
                    const QVariant& letto = r[size_t(campi[c])];
                    try {
                        valori[c] = conversione::valore(letto, colonne[c]);
                    } catch (const conversione::ValoreNonValido& e) {
                        valori[c] = letto;
                        if (!rifiutato) {
                            rifiutato = e;
                        }
                    }
                }
                if (rifiutato) {
                    throw *rifiutato;
                }
                inserimento.setParams(valori);
                inserimento.execSQL();
            }
        } catch (const std::exception& e) {
            const auto* db = dynamic_cast<const DbError*>(&e);
            const auto* v = dynamic_cast<const conversione::ValoreNonValido*>(&e);
            const QString motivo = db  ? db->messaggio()
                                   : v ? v->testo
                                       : QString::fromLocal8Bit(e.what());
            interrotta({QStringLiteral("Errore interno durante il riversamento dati ") +
                            t.destinazione + ':',
                        conversione::testoFrase(t.destinazione, t.colonne, valori),
                        QStringLiteral("Record %1: ").arg(i + 1) + motivo},
                       QStringLiteral("Errore interno durante il riversamento dati ") +
                           t.destinazione);
            return Esito::Fallita;
        }
        numero = i + 1;
        esecuzione_->passo(mostra);
        if (annullato()) {
            return Esito::Annullata;
        }
    }
    esecuzione_->passo(mostra, true);
    return annullato() ? Esito::Annullata : Esito::Convertita;
}

} // namespace quintar
