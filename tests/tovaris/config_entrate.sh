#!/usr/bin/env bash
# Every entry point of the configuration screens is exported and opens its
# screen on the demo company with its caption.
. "$(dirname "$0")/config_comune.sh"
ditta="Chimica Demo S.r.l."
{
  while IFS='|' read -r nome didascalia; do
    for tipo in D X; do
      [ "$nome" = ShowConvCapConfForm ] && [ "$tipo" = D ] && continue
      echo "open ${nome}${tipo} 1"
      echo "expect title ${didascalia} - Ditta: ${ditta}"
      echo "close"
    done
  done <<'TABELLA'
ShowCategMPForm|Impostazione Categorie Materie prime
ShowSRischiForm|Impostazione Simbologia rischi
ShowSpecForm|Impostazione Specifiche
ShowValutazForm|Impostazione Valutazioni
ShowTipiImballiForm|Impostazione Tipi Imballi
ShowIniConfForm|Impostazione procedure confezionamento
ShowIniRiempForm|Impostazione riempitrici
ShowIniCConfForm|Impostazione capacità confezioni (fabbricazioni)
ShowIniCCon1Form|Impostazione capacità confezioni (prodotti)
ShowConvCapConfForm|Converti codici capacità confezioni
ShowIniCatPrForm|Impostazione categorie prodotti
ShowCodADRForm|Impostazione Codici ADR
ShowCodADR2017Form|Impostazione Codici ADR
TABELLA
} > "$tmp/entrate.txt"
[ "$(grep -c '^open' "$tmp/entrate.txt")" = 25 ] || { echo "25 entry points expected"; exit 1; }
"$tovaris" script "$tmp/host" "$tmp/entrate.txt" || { echo "entry points failed"; exit 1; }
echo "1 passed, 0 failed"
