#!/usr/bin/env bash
# The archive conversion through the stand-in host on a generated older
# archive in the work folder: a run cancelled from the progress window
# leaves the demo company as it was; a run to the end replaces every table,
# with apostrophes and double quotes of descriptions stored as ´. The
# pictures go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
immagini="${2:-.}"
genera="$(dirname "$tovaris")/genera_paradox"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
. "$(dirname "$0")/archivio_prova.sh"
# without isql nothing of the archive can be checked: the scenario fails
command -v "$isql" > /dev/null || { echo "isql-fb missing (firebird3.0-utils)"; exit 1; }

# the older archive where the work folder of the users points; a large
# formulation-lines table keeps the run going while the script acts on it
"$genera" "$tmp/host/Lavoro" --righe 40 --tabella COMPON=150000 > /dev/null \
  || { echo "no older archive"; exit 1; }

prima=$(righe "SELECT COUNT(*) FROM MATER; SELECT COUNT(*) FROM COMPON; SELECT COUNT(*) FROM FABBRIC")
avvio='Avviare la conversione degli archivi?\r\nAttenzione: eventuali dati già presenti verranno sovrascritti'

cat > "$tmp/annulla.txt" <<SCRIPT
open ShowConvFormD 1
expect title Conversione archivi - Ditta: Chimica Demo S.r.l.
expect EditArchivi $tmp/host/Lavoro/
click ButtonElabora
message $avvio
answer Sì
# the conversion lets events through: these steps run while it works,
# the first cancel answered No keeps it going
activate InfoElabForm
click ButtonAnnulla
awaitmessage Annullare l'elaborazione?
answer No
expect title Elaborazione in corso...
expect LabelTotTabelle 28
shot $immagini/conversione_in_corso.png
activate 1
enabled ButtonElabora 0
enabled ButtonChiudi 0
activate InfoElabForm
click ButtonAnnulla
awaitmessage Annullare l'elaborazione?
answer Sì
awaitmessage Elaborazione annullata
answer OK
activate 1
enabled ButtonElabora 1
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/annulla.txt" || { echo "the cancelled run failed"; exit 1; }
[ -s "$immagini/conversione_in_corso.png" ] || { echo "no picture of the progress window"; exit 1; }
verifica "SELECT COUNT(*) FROM MATER; SELECT COUNT(*) FROM COMPON; SELECT COUNT(*) FROM FABBRIC" \
  "$prima"

# a smaller archive for the run to the end
"$genera" "$tmp/host/Lavoro" --righe 40 --tabella COMPON=2000 > /dev/null \
  || { echo "no older archive"; exit 1; }
cat > "$tmp/converti.txt" <<SCRIPT
open ShowConvFormX 1 4321
click ButtonElabora
message $avvio
answer Sì
awaitmessage Elaborazione completata
answer OK
enabled ButtonElabora 1
shot $immagini/conversione_completata.png
click ButtonChiudi
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/converti.txt" || { echo "the conversion failed"; exit 1; }
[ -s "$immagini/conversione_completata.png" ] || { echo "no picture of the summary"; exit 1; }
verifica "SELECT COUNT(*) FROM MATER; SELECT COUNT(*) FROM COMPON; SELECT COUNT(*) FROM FABBRIC" \
  "40 2000 40"
verifica "SELECT COUNT(*) FROM FABBRIC WHERE ID IS NULL" "40"
verifica "SELECT COUNT(*) FROM CATEGMP WHERE DESCRIZIONE LIKE '%''%' OR DESCRIZIONE LIKE '%\"%'" "0"
verifica "SELECT COUNT(*) FROM CATEGMP WHERE DESCRIZIONE LIKE '%´%'" "$(righe \
  "SELECT COUNT(*) FROM CATEGMP WHERE DESCRIZIONE LIKE 'Sapone%' OR DESCRIZIONE LIKE 'Detergente%' \
   OR DESCRIZIONE LIKE 'Cera%' OR DESCRIZIONE LIKE 'Profumo%' OR DESCRIZIONE LIKE 'Lavapavimenti%'")"
verifica "SELECT COUNT(*) FROM PROCED WHERE EVIDENZA NOT IN ('0','1')" "0"
echo "1 passed, 0 failed"
