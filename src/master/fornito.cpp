#include "master/fornito.h"

#include "session/connessione.h"
#include "session/messaggi.h"

namespace quintar {

TFornitoForm::TFornitoForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = QStringLiteral("FORNITO"),
                  .nome = QStringLiteral("Fornito"),
                  .didascalia = QStringLiteral("Anagrafica fornitori - Ditta:"),
                  .situazioneFinestra = 22,
                  .situazioneGriglia = 28,
                  .sqlBase = {QStringLiteral("SELECT * FROM FORNITO")},
                  .nuovoCodice = NuovoCodice::Digitato,
                  .titoloNuovo = QStringLiteral("Nuovo fornitore"),
                  .etichettaNuovo = QStringLiteral("Codice fornitore:"),
                  .campi = {{QStringLiteral("RAGSOC"), QStringLiteral("Descrizione"),
                             QStringLiteral("ButtonRagSoc"), QStringLiteral("MemoRagSoc"),
                             QStringLiteral("MemoRagSoc2"), Controllo::Memo}}},
                 owner) {}

TRFornitoForm::TRFornitoForm(TTabXForm* sessione, QWidget* owner)
    : SchermataRicerca(
          sessione,
          {.tabella = QStringLiteral("FORNITO"),
           .nome = QStringLiteral("Fornito"),
           .didascalia = QStringLiteral("Ricerche fornitori - Ditta:"),
           .situazioneFinestra = 3,
           .situazioneGriglia = 28,
           .sqlBase = {QStringLiteral("SELECT * FROM FORNITO WHERE (CODICE IS NOT NULL)")},
           .campi = {{QStringLiteral("CODICE"), QStringLiteral("Codice"),
                      QStringLiteral("ButtonCodice"), QStringLiteral("EditCodice"),
                      QStringLiteral("EditCodice2")},
                     {QStringLiteral("CONTO"), QStringLiteral("Conto"),
                      QStringLiteral("ButtonConto"), QStringLiteral("EditConto"),
                      QStringLiteral("EditConto2")},
                     {QStringLiteral("RAGSOC"), QStringLiteral("Rag. Soc."),
                      QStringLiteral("ButtonRagSoc"), QStringLiteral("EditRagSoc"),
                      QStringLiteral("EditRagSoc2")}}},
          owner) {}

std::optional<QString> TRFornitoForm::scegli(TTabXForm* sessione, QWidget* owner,
                                             const QString& codiceAttuale) {
    TRFornitoForm f(sessione, owner);
    if (owner) {
        f.setWindowIcon(owner->windowIcon());
    }
    f.posizionaSu(codiceAttuale);
    if (Messaggi::esegui(&f) != kRisultatoOK) {
        return std::nullopt;
    }
    return f.valoreScelto(QStringLiteral("CODICE"));
}

} // namespace quintar
