#!/usr/bin/env bash
# Filling machines: a time that is not a number is refused; a new machine
# starts from the values of the last one edited.
. "$(dirname "$0")/config_comune.sh"
scenario riempitrici <<'SCRIPT'
open ShowIniRiempFormX 1
expect title Impostazione riempitrici - Ditta: Chimica Demo S.r.l.
row GridRiempit 2
click ButtonEdit
expect EditNome RT-02
text EditTempoLitro abc
click ButtonMemorizza
message Specificare un valore numerico valido per "Temp. Litro"
answer OK
text EditTempoLitro 1,5
click ButtonMemorizza
expect EditTempoLitro2 1,5
click ButtonNuovo
expect EditCodice 4
expect EditNome RT-02
click ButtonMemorizza
expect EditCodice2 4
expect EditNome2 RT-02
close
SCRIPT
echo "1 passed, 0 failed"
