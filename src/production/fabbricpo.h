// "Fabbricazioni stessa formulazione": the batches of every product made
// with one formulation, opened from the manufacturing sheet.
#pragma once

#include "master/prodottipo.h"

namespace quintar {

class TFabbricPOForm : public FinestraStessaPO {
    Q_OBJECT
public:
    TFabbricPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                   QWidget* owner = nullptr);

    TCSDGrid* GridFabbric;
};

} // namespace quintar
