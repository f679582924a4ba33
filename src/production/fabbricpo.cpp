#include "production/fabbricpo.h"

namespace quintar {

namespace {

QStringList sqlFabbricazioni(const QString& codice) {
    static const char* colonne[] = {"CODICE",
                                    "DATA",
                                    "LOTTO",
                                    "NOMEPRODOTTO",
                                    "CODICEPRODOTTO",
                                    "SPECIFICHE",
                                    "QUANTITALITRI",
                                    "UNITAMISURA",
                                    "DENSITAPRODOTTO",
                                    "DENSITACALCOLI",
                                    "MISCELATORE",
                                    "CONTENITORE",
                                    "CODICECONTENITORE",
                                    "CAPACITACONTENITORE",
                                    "DESCRIZIONECONTENITORE",
                                    "RIEMPITRICE",
                                    "CARTONE",
                                    "CODICECARTONE",
                                    "NUMCARTONI",
                                    "ETICHETTA",
                                    "CODICEETICHETTA",
                                    "TAPPO",
                                    "CODICETAPPO",
                                    "CODICEALTRO1",
                                    "ALTRO1",
                                    "ALTRO2",
                                    "CODICEALTRO2",
                                    "STORICOAGGIORNATO",
                                    "DOCUMENTOWORD",
                                    "NOTEFABBRICAZIONE",
                                    "ALTRO3",
                                    "CODICEALTRO3",
                                    "ALTRO4",
                                    "CODICEALTRO4",
                                    "STATUS",
                                    "DATAIMPEGNO",
                                    "OPERATOREIMPEGNO",
                                    "DATAFINE",
                                    "OPERATOREFINE",
                                    "IDORDINEIMPMAT"};
    QStringList sql{QStringLiteral("SELECT")};
    for (size_t i = 0; i < std::size(colonne); ++i) {
        sql << QStringLiteral("  FABBRIC.") + QString::fromLatin1(colonne[i]) +
                   (i + 1 < std::size(colonne) ? QStringLiteral(",") : QString());
    }
    return sql + QStringList{QStringLiteral("FROM"),
                             QStringLiteral("  FABBRIC"),
                             QStringLiteral("  LEFT JOIN PRODOT ON"),
                             QStringLiteral("  FABBRIC.CODICE=PRODOT.CODICE"),
                             QStringLiteral("WHERE"),
                             QStringLiteral("  PRODOT.CODICEFORMULAZIONE=") + codice};
}

} // namespace

TFabbricPOForm::TFabbricPOForm(TTabXForm* sessione, const QString& codiceFormulazione,
                               QWidget* owner)
    : FinestraStessaPO(sessione, codiceFormulazione,
                       {.nome = QStringLiteral("FabbricPOForm"),
                        .titolo = QStringLiteral("Fabbricazioni stessa formulazione"),
                        .griglia = QStringLiteral("GridFabbric"),
                        .situazione = 37,
                        .tabella = QStringLiteral("FABBRIC"),
                        .sql = sqlFabbricazioni},
                       owner),
      GridFabbric(Griglia) {}

} // namespace quintar
