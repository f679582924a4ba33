#!/usr/bin/env bash
# Every entry point of the configuration screens is exported and opens its
# screen on the demo company with its caption.
. "$(dirname "$0")/config_comune.sh"
ditta="Chimica Demo S.r.l."
{
  while IFS='|' read -r nome didascalia; do
    for tipo in D X; do
      [ "$nome" = ConvCapConf ] && [ "$tipo" = D ] && continue
      echo "open Show${nome}Form${tipo} 1"
      echo "expect title ${didascalia} - Ditta: ${ditta}"
      echo "close"
    done
  done <<'TABELLA'
CategMP|Impostazione Categorie Materie prime
SRischi|Impostazione Simbologia rischi
Spec|Impostazione Specifiche
Valutaz|Impostazione Valutazioni
TipiImballi|Impostazione Tipi Imballi
IniConf|Impostazione procedure confezionamento
IniRiemp|Impostazione riempitrici
IniCConf|Impostazione capacità confezioni (fabbricazioni)
IniCCon1|Impostazione capacità confezioni (prodotti)
ConvCapConf|Converti codici capacità confezioni
IniCatPr|Impostazione categorie prodotti
CodADR|Impostazione Codici ADR
CodADR2017|Impostazione Codici ADR
TABELLA
} > "$tmp/entrate.txt"
[ "$(grep -c '^open' "$tmp/entrate.txt")" = 25 ] || { echo "25 entry points expected"; exit 1; }
"$tovaris" script "$tmp/host" "$tmp/entrate.txt" || { echo "entry points failed"; exit 1; }
echo "1 passed, 0 failed"
