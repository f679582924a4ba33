#include "config/codadr.h"

#include "session/sqlvalori.h"

namespace quintar {

namespace {

const QString kDidascalia = QStringLiteral("Impostazione Codici ADR - Ditta:");
constexpr int kSituazioneFinestra = 20;

// The input box of a new code: the code is stored as typed (quotes by the
// quote rule); `massimo` 0 takes any length the column holds.
SchedaBase::DialogoNuovoCodice dialogoADR(int massimo) {
    SchedaBase::DialogoNuovoCodice d{QStringLiteral("Nuovo"), QStringLiteral("Codice ADR")};
    d.comeMemorizzato = [](const QString& t) { return sql::senzaApici(t); };
    if (massimo > 0) {
        d.controllo = [massimo](const QString& codice) {
            return codice.isEmpty() || codice.size() > massimo
                       ? QStringLiteral("Inserire un codice valido (max %1 caratteri)").arg(massimo)
                       : QString();
        };
        // a longer code reaches the check, which says how long it may be
        d.lunghezzaMassima = 32767;
    }
    d.messaggioUsato = QStringLiteral("Il codice inserito è già utilizzato");
    d.chiudeSuRifiuto = true;
    return d;
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
    const QString codice = chiediCodice(dialogoADR(kLunghezzaCodice));
    return codice.isEmpty() ? QStringList() : QStringList{codice};
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
    const QString codice = chiediCodice(dialogoADR(0));
    return codice.isEmpty() ? QStringList() : QStringList{codice};
}

} // namespace quintar
