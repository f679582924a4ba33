#!/usr/bin/env bash
# ADR codes: a five-character code and an existing one are refused, a
# four-digit UN number is accepted.
. "$(dirname "$0")/config_comune.sh"
scenario adr <<'SCRIPT'
open ShowCodADR2017FormX 1
expect title Impostazione Codici ADR - Ditta: Chimica Demo S.r.l.
click ButtonNuovo
text Edit1 12345
click OK
message Inserire un codice valido (max 4 caratteri)
answer OK
click ButtonNuovo
text Edit1 1219
click OK
message Il codice inserito è già utilizzato
answer OK
click ButtonNuovo
text Edit1 1830
click OK
expect EditCodice 1830
text MemoDescrizione Acido solforico
text EditClasse 8
text EditGruppoImb IIIIII
click ButtonMemorizza
expect EditCodice2 1830
expect EditGruppoImb2 III
close
open ShowCodADRFormD 1
click ButtonNuovo
click Cancel
expect EditCodice2 3
close
SCRIPT
echo "1 passed, 0 failed"
