// The small code tables with a numeric code and a description (raw-material
// categories, risk symbols, technical requirement texts, valuations, packaging
// types): one card, the table given at construction.
#pragma once

#include "ui/scheda.h"

namespace quintar {

class TIniBaseForm : public SchedaBase {
    Q_OBJECT
public:
    TIniBaseForm(TTabXForm* sessione, int situazioneFinestra, int situazioneGriglia,
                 const QString& tabella, QWidget* owner = nullptr);

    QString NomeTabella() const { return descrizione().tabella; }
};

} // namespace quintar
