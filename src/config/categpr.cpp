#include "config/categpr.h"

namespace quintar {

TIniCatPrForm::TIniCatPrForm(TTabXForm* sessione, QWidget* owner)
    : SchedaBase(sessione,
                 {.tabella = QStringLiteral("CATEGPR"),
                  .nome = QStringLiteral("CategPr"),
                  .didascalia = QStringLiteral("Impostazione categorie prodotti - Ditta:"),
                  .situazioneFinestra = 12,
                  .situazioneGriglia = 15,
                  .sqlBase = {QStringLiteral("SELECT * FROM CATEGPR")},
                  .nuovoCodice = NuovoCodice::MassimoPiuUno,
                  .campi = {{QStringLiteral("DESCRIZIONE"), QStringLiteral("Descrizione"),
                             QStringLiteral("ButtonDescrizione"), QStringLiteral("EditDescrizione"),
                             QStringLiteral("EditDescrizione2")},
                            {QStringLiteral("CATEGORIA"), QStringLiteral("Categoria"),
                             QStringLiteral("ButtonCategoria"), QStringLiteral("EditCategoria"),
                             QStringLiteral("EditCategoria2")}},
                  .navigatore = QStringLiteral("NavigatorCategoria"),
                  .fuocoNuovo = QStringLiteral("DESCRIZIONE"),
                  .fuocoModifica = QStringLiteral("CATEGORIA")},
                 owner) {}

} // namespace quintar
