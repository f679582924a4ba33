#include "config/riempit.h"

namespace quintar {

TIniRiempForm::TIniRiempForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(
          sessione,
          {.tabella = QStringLiteral("RIEMPIT"),
           .nome = QStringLiteral("Riempit"),
           .didascalia = QStringLiteral("Impostazione riempitrici - Ditta:"),
           .situazioneFinestra = 14,
           .situazioneGriglia = 17,
           .sqlBase = {QStringLiteral("SELECT * FROM RIEMPIT")},
           .nuovoCodice = NuovoCodice::MassimoPiuUno,
           .campi = {{QStringLiteral("NOME"), QStringLiteral("Nome"), QStringLiteral("ButtonNome"),
                      QStringLiteral("EditNome"), QStringLiteral("EditNome2"), Controllo::Edit,
                      TipoValore::Testo, false},
                     {QStringLiteral("TEMPOLITRO"), QStringLiteral("Temp. Litro"),
                      QStringLiteral("ButtonTempoLitro"), QStringLiteral("EditTempoLitro"),
                      QStringLiteral("EditTempoLitro2"), Controllo::Edit, TipoValore::Numero, false,
                      QStringLiteral("Specificare un valore numerico valido per \"Temp. Litro\"")},
                     {QStringLiteral("SPECIFICHE"), QStringLiteral("Specifiche"),
                      QStringLiteral("ButtonSpecifiche"), QStringLiteral("EditSpecifiche"),
                      QStringLiteral("EditSpecifiche2"), Controllo::Edit, TipoValore::Testo,
                      false}},
           .navigatore = QStringLiteral("NavigatorCapConf"),
           .fuocoNuovo = QStringLiteral("TEMPOLITRO"),
           .fuocoModifica = QStringLiteral("TEMPOLITRO")},
          owner) {}

} // namespace quintar
