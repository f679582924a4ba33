#include "config/inibase.h"

namespace quintar {

TIniBaseForm::TIniBaseForm(TTabXForm* sessione, int situazioneFinestra, int situazioneGriglia,
                           const QString& tabella, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = tabella,
                  .nome = QStringLiteral("IniBase"),
                  .didascalia = QStringLiteral("IniBaseForm"),
                  .situazioneFinestra = situazioneFinestra,
                  .situazioneGriglia = situazioneGriglia,
                  .sqlBase = {QStringLiteral("SELECT * FROM ") + tabella},
                  .nuovoCodice = NuovoCodice::MassimoPiuUno,
                  .campi = {{QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                             QStringLiteral("ButtonDescrizione"), QStringLiteral("EditDescrizione"),
                             QStringLiteral("EditDescrizione2")}},
                  .navigatore = QStringLiteral("NavigatorCapConf")},
                 owner) {}

} // namespace quintar
