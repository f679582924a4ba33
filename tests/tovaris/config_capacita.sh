#!/usr/bin/env bash
# Package capacities: the equivalent code must be a whole number and can be
# chosen in the search; pieces need the unit of one piece; the conversion
# runs its first elaboration.
. "$(dirname "$0")/config_comune.sh"
scenario capacita <<'SCRIPT'
open ShowIniCConfFormX 1
expect title Impostazione capacità confezioni (fabbricazioni) - Ditta: Chimica Demo S.r.l.
click ButtonEdit
text EditCodiceEquivalenteInProdotti 1a
click ButtonMemorizza
message Specificare un valore numerico valido per "Codice equivalente in prodotti"
answer OK
click ButtonCodiceEquivalenteInProdotti
text EditCodice 4
wait 500
click ButtonRitorna
expect EditCodiceEquivalenteInProdotti 4
click ButtonMemorizza
expect EditCodiceEquivalenteInProdotti2 4
close
open ShowIniCCon1FormD 1
click ButtonNuovo
text EditDescrizione Sacchetto
text ComboUDMConf Pz
enabled ComboUDMContenutoPz 1
click ButtonMemorizza
message Quando indicati "Pz" in "UDM Conf. Vend." è necessario compilare anche "UDM Contenuto Pz."
answer OK
click ButtonAnnulla
close
open ShowConvCapConfFormX 1
expect title Converti codici capacità confezioni - Ditta: Chimica Demo S.r.l.
click ButtonElab1
message Avviare l'elaborazione 1?
answer Sì
message Elaborazione completata
answer OK
close
SCRIPT
echo "1 passed, 0 failed"
