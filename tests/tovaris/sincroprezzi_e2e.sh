#!/usr/bin/env bash
# The price synchronisation through the stand-in host: a raw material's price
# goes up, the formulation using it shows up beside the two the demo company
# left stale, and the chosen ones are written to the archive; the one left out
# keeps its cost and stays listed. The picture of the list goes to the folder
# given second.
. "$(dirname "$0")/ospite_prova.sh"
immagini="${2:-.}"
isql="${ISQL:-isql-fb}"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
archivio="$tmp/host/Dati/QUINTAR.FDB"

sql() {
  "$isql" -q -user SYSDBA -password pinecrest "$archivio" 2>&1
}

# citric acid, only in formulation 3 (5 %), from 1,05 to 1,45
printf "UPDATE MATER SET PREZZO=1.45 WHERE CODICE='MP007';\nCOMMIT;\n" | sql \
  | grep . && { echo "price not changed"; exit 1; }

cat > "$tmp/sincro.txt" <<SCRIPT
open ShowSincroPrezziFormD 1
expect title Sincronizzazione prezzi formulazioni - Ditta: Chimica Demo S.r.l.
expect LabelTitolo Formulazioni che hanno subito una variazione di prezzo (F3 o doppio click per selezionare / deselezionare):
# formulations 1, 3 and 5; the first is left as it is
row GridFormulazioni 3
row GridFormulazioni 1
key GridFormulazioni F3
shot $immagini/sincronizzazione_prezzi.png
click ButtonAggiornaPrezzi
message Effettuare l'aggiornamento dei costi per le formulazioni selezionate?
answer Sì
message Aggiornamento effettuato
answer OK
row GridFormulazioni 1
click ButtonChiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/sincro.txt" || { echo "the synchronisation script failed"; exit 1; }
[ -s "$immagini/sincronizzazione_prezzi.png" ] || { echo "no picture"; exit 1; }

costi=$(printf "SET HEADING OFF;\nSELECT CODICE, CAST(COSTOUNITARIO AS NUMERIC(18,5)) FROM FORMUL ORDER BY CODICE;\n" \
  | sql | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
atteso="1 0.31235 2 0.20130 3 0.32850 4 0.11570 5 1.23040 6 0.26732"
[ "$costi" = "$atteso" ] || { echo "costs in the archive: '$costi', expected '$atteso'"; exit 1; }

# only formulation 1 is still listed
cat > "$tmp/dopo.txt" <<'SCRIPT'
open ShowSincroPrezziFormX 1
row GridFormulazioni 1
row GridFormulazioni 2
SCRIPT
if "$tovaris" script "$tmp/host" "$tmp/dopo.txt" 2> "$tmp/err.txt"; then
  echo "formulation 1 alone should be listed"; exit 1
fi
grep -q "non ha la riga 2" "$tmp/err.txt" || { echo "unexpected failure:"; cat "$tmp/err.txt"; exit 1; }
echo "1 passed, 0 failed"
