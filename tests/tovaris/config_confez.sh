#!/usr/bin/env bash
# Packaging procedures: a new procedure on the current machine, its first
# version in the history page.
. "$(dirname "$0")/config_comune.sh"
scenario procedure <<'SCRIPT'
open ShowIniConfFormX 1
expect title Impostazione procedure confezionamento - Ditta: Chimica Demo S.r.l.
expect EditRiempitrice2 Riempitrice lineare flaconi 0,5 - 2 L
click ButtonNuovo
expect ComboRiempitrice Riempitrice lineare flaconi 0,5 - 2 L
expect EditNumeroProgressivo 2
click OK
message Esiste già un record con la combinazione di valori inseriti
answer OK
text ComboRiempitrice Riempitrice taniche 5 - 25 L
expect EditNumeroProgressivo 3
click OK
expect EditRiempitrice Riempitrice taniche 5 - 25 L
text MemoDescrizione Pesare la tanica vuota prima del riempimento.
click ButtonMemorizza
expect EditNumeroProgressivo2 3
wait 1300
expect LabelVersione 1
key TabSetConfez Right
enabled ButtonStoricoChiudi 1
enabled ButtonNuovo 0
click ButtonStoricoChiudi
enabled ButtonNuovo 1
close
SCRIPT
echo "1 passed, 0 failed"
