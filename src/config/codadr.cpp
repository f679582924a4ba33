#include "config/codadr.h"

#include "session/connessione.h"
#include "session/messaggi.h"
#include "session/sqlvalori.h"
#include "ui/tkyvin1form.h"

#include <QLabel>
#include <QLineEdit>

namespace quintar {

namespace {

const QString kDidascalia = QStringLiteral("Impostazione Codici ADR - Ditta:");
constexpr int kSituazioneFinestra = 20;

// The input box of a new code, then its checks; `massimo` 0 takes any length
// the column holds. The code comes back as it is stored (´ for ').
QStringList chiediCodiceADR(SchedaBase& scheda, int massimo) {
    TKyvIn1Form f(&scheda);
    f.setWindowTitle(QStringLiteral("Nuovo"));
    f.Label1->setText(QStringLiteral("Codice ADR"));
    f.Edit1->clear();
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return {};
    }
    const QString codice = sql::senzaApici(f.Edit1->text());
    if (massimo > 0 && (codice.isEmpty() || codice.size() > massimo)) {
        Messaggi::avviso(
            QStringLiteral("Inserire un codice valido (max %1 caratteri)").arg(massimo), &scheda);
        return {};
    }
    if (codice.isEmpty()) {
        Messaggi::avviso(QStringLiteral("Specificare un codice"), &scheda);
        return {};
    }
    try {
        scheda.TransazioneControllo.restart();
        scheda.QueryAux2.SQL = {QStringLiteral("SELECT * FROM %1 WHERE CODICE=%2")
                                    .arg(scheda.descrizione().tabella, sql::testoNonNullo(codice))};
        scheda.QueryAux2.open();
        const bool usato = !scheda.QueryAux2.eof();
        scheda.QueryAux2.close();
        if (usato) {
            Messaggi::avviso(QStringLiteral("Il codice inserito è già utilizzato"), &scheda);
            return {};
        }
    } catch (const DbError& e) {
        Messaggi::errore(e.messaggio(), &scheda);
        return {};
    }
    return {codice};
}

} // namespace

TCodADR2017Form::TCodADR2017Form(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = QStringLiteral("ADR2017"),
                  .nome = QStringLiteral("ADR2017"),
                  .didascalia = kDidascalia,
                  .situazioneFinestra = kSituazioneFinestra,
                  .situazioneGriglia = 34,
                  .sqlBase = {QStringLiteral("SELECT * FROM ADR2017")},
                  .nuovoCodice = NuovoCodice::Digitato,
                  .campi = {{QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                             QStringLiteral("ButtonDescrizione"), QStringLiteral("MemoDescrizione"),
                             QStringLiteral("MemoDescrizione2"), Controllo::Memo},
                            {QStringLiteral("CLASSE"),
                             QStringLiteral("Classe"),
                             QStringLiteral("ButtonClasse"),
                             QStringLiteral("EditClasse"),
                             QStringLiteral("EditClasse2"),
                             Controllo::Edit,
                             TipoValore::Testo,
                             false,
                             {},
                             10},
                            {QStringLiteral("GRUPPOIMB"),
                             QStringLiteral("Gruppo imb."),
                             QStringLiteral("ButtonGruppoImb"),
                             QStringLiteral("EditGruppoImb"),
                             QStringLiteral("EditGruppoImb2"),
                             Controllo::Edit,
                             TipoValore::Testo,
                             false,
                             {},
                             3}},
                  .navigatore = QStringLiteral("NavigatorCapConf")},
                 owner) {}

QStringList TCodADR2017Form::chiediNuovaChiave() {
    return chiediCodiceADR(*this, kLunghezzaCodice);
}

TCodADRForm::TCodADRForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = QStringLiteral("ADR"),
                  .nome = QStringLiteral("ADR"),
                  .didascalia = kDidascalia,
                  .situazioneFinestra = kSituazioneFinestra,
                  .situazioneGriglia = 23,
                  .sqlBase = {QStringLiteral("SELECT * FROM ADR")},
                  .nuovoCodice = NuovoCodice::Digitato,
                  .campi = {{QStringLiteral("SPECIFICA"), QStringLiteral("Specifica"),
                             QStringLiteral("ButtonSpecifica"), QStringLiteral("MemoSpecifica"),
                             QStringLiteral("MemoSpecifica2"), Controllo::Memo}},
                  .navigatore = QStringLiteral("NavigatorCapConf")},
                 owner) {}

QStringList TCodADRForm::chiediNuovaChiave() {
    return chiediCodiceADR(*this, 0);
}

} // namespace quintar
