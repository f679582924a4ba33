#!/usr/bin/env bash
# The regularisation through the stand-in host on the demo product and the
# two batches converted from the older archive: the product finds four of
# its packaging codes by name, the batches take them from the product, and
# the batches get consecutive numbers. The picture goes to the folder given
# second.
. "$(dirname "$0")/ospite_prova.sh"
. "$(dirname "$0")/archivio_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

cat > "$tmp/regolarizza.txt" <<'SCRIPT'
open ShowRegolarizzaFormX 1 44
expect title Regolarizza - Ditta: Chimica Demo S.r.l.
expect size 800 600
click ButtonElabora1
message Normalizzare 1 record trovati?
answer Sì
message Elaborazione completata
answer OK
expect MemoRiepilogo Prodotto FM007 non è stato possibile risalire al codice imballo altro 1 per la voce "Sottotappo salvagoccia"\n\nElaborazione completata\nNormalizzati 1 prodotti
click ButtonElabora2
message Normalizzare 2 record trovati?
answer Sì
message Elaborazione completata
answer OK
expect MemoRiepilogo Fabbricazione FM007, del 25/11/2024, lotto L24330 non è stato possibile risalire al codice altro 1 del prodotto\n\nElaborazione completata\nNormalizzate 2 fabbricazioni
visible BarraProgresso 0
SCRIPT
echo "shot $immagini/regolarizza.png" >> "$tmp/regolarizza.txt"
cat >> "$tmp/regolarizza.txt" <<'SCRIPT'
click ButtonElabora3
message Trovate 2 fabbricazioni senza ID: procedere alla valorizzazione?
answer Sì
message Elaborazione completata
answer OK
click ButtonElabora3
message Non è stata individuata nessuna fabbricazione senza ID
answer OK
# the slot whose packaging has no code stays to be regularised
click ButtonElabora1
message Normalizzare 1 record trovati?
answer No
click ButtonChiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/regolarizza.txt" || { echo "the regularisation script failed"; exit 1; }
[ -s "$immagini/regolarizza.png" ] || { echo "no picture"; exit 1; }

verifica "SELECT CODICEIMBALLOCONTENITORE, CODICEIMBALLOTAPPO, CODICEIMBALLOETICHETTA, \
CODICEIMBALLOCARTONE, COALESCE(CODICEIMBALLOALTRO1,'-') FROM PRODOT WHERE CODICE='FM007'" \
  "IC002 IT002 IE005 IK002 -"
verifica "SELECT LOTTO, CODICECONTENITORE, CODICETAPPO, CODICEETICHETTA, CODICECARTONE FROM \
FABBRIC WHERE CODICE='FM007' ORDER BY ID" "L24288 IC002 IT002 IE005 IK002 L24330 IC002 IT002 IE005 IK002"
# consecutive numbers after the demo's seven, the earlier batch first
verifica "SELECT MIN(ID) > 7, MAX(ID) - MIN(ID) FROM FABBRIC WHERE CODICE='FM007'" "<true> 1"
verifica "SELECT COUNT(*) FROM FABBRIC WHERE ID IS NULL" "0"
echo "1 passed, 0 failed"
