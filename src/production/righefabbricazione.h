// The manufacturing sheet's pages of shared lines: the packaging texts of
// the batch's filling machine (CONFEZ) and the procedure of the product's
// formulation (PROCED). The lines belong to the machine and to the
// formulation, not to the batch: a change made here is seen by every batch
// filled on that machine, by every product of that formulation. Each change
// writes its version in its own transaction, holding the line as saved.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quintar {

class PaginaRighe;
class SchedaBase;
class SchedaFabbricazione;

// "Confezionamento": the lines of the machine `riempitrice` gives (the
// current batch's RIEMPITRICE, empty when it has none).
PaginaRighe* creaPaginaConfezionamento(SchedaBase* scheda, SchedaFabbricazione& fabbricazione,
                                       std::function<QString()> riempitrice);
// "Procedura": the lines of the formulation of the current batch's product.
PaginaRighe* creaPaginaProcedura(SchedaBase* scheda, SchedaFabbricazione& fabbricazione);

// The formulation of a product as committed now; empty when the product
// has none or does not exist.
QString formulazioneDelProdotto(SchedaFabbricazione& fabbricazione, const QString& prodotto);

} // namespace quintar
