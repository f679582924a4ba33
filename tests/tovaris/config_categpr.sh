#!/usr/bin/env bash
# Product categories: a new category is numbered after the last one.
. "$(dirname "$0")/config_comune.sh"
scenario categorie <<'SCRIPT'
open ShowIniCatPrFormD 2
expect title Impostazione categorie prodotti - Ditta: Chimica Demo S.r.l.
click ButtonNuovo
expect EditCodice 7
text EditCategoria Auto
text EditDescrizione Shampoo per autoveicoli
click ButtonMemorizza
expect EditCategoria2 Auto
expect EditCodice2 7
close
SCRIPT
echo "1 passed, 0 failed"
