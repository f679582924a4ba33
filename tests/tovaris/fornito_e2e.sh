#!/usr/bin/env bash
# The supplier card through the stand-in host: a supplier is created, edited,
# found with the grid's search and deleted; a host killed between "Nuovo" and
# "Memorizza" leaves a key-only row that the next run shows, edits and deletes.
# Pictures of the card and of the grid's search go to the folder given second.
. "$(dirname "$0")/ospite_prova.sh"
immagini="${2:-.}"
"$tovaris" init "$tmp/host" --demo || { echo "init failed"; exit 1; }

cat > "$tmp/fornitore.txt" <<SCRIPT
open ShowFornitoFormX 1
expect title Anagrafica fornitori - Ditta: Chimica Demo S.r.l.
expect EditCodice2 F001
click ButtonNuovo
expect title Nuovo fornitore
text Edit1 F001
click OKBtn
message Il codice inserito è già in uso
answer OK
text Edit1 F'900
click OKBtn
expect EditCodice F900
text MemoRagSoc Detergenti Rossi
click ButtonMemorizza
expect EditCodice2 F900
expect MemoRagSoc2 Detergenti Rossi
shot $immagini/scheda_fornitori.png

# editing: closing is refused until the change is saved
click ButtonEdit
expect MemoRagSoc Detergenti Rossi
text MemoRagSoc Detergenti Rossi d'Italia
close
message Memorizzare o annullare le modifiche in corso prima di chiudere la finestra
answer OK
click ButtonMemorizza
expect MemoRagSoc2 Detergenti Rossi d´Italia

# the grid's search on the code column, from the first row
row GridFornito 1
expect EditCodice2 F001
key GridFornito F5
text EditStringa F900
shot $immagini/ricerca_griglia_fornitori.png
key EditStringa Return
expect EditCodice2 F900
expect MemoRagSoc2 Detergenti Rossi d´Italia

click ButtonElimina
message Eliminare il record selezionato?
answer Sì
expect EditCodice2
key GridFornito F6
expect EditCodice2 F001
row GridFornito 7
expect EditCodice2 F007

# the read-only user
open ShowFornitoFormD 3
enabled ButtonNuovo 0
enabled ButtonEdit 0
enabled ButtonElimina 0
enabled ButtonChiudi 1
close
activate 1
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/fornitore.txt" || { echo "the supplier script failed"; exit 1; }
for f in scheda_fornitori.png ricerca_griglia_fornitori.png; do
  [ -s "$immagini/$f" ] || { echo "no picture $f"; exit 1; }
done

# a host killed with a new record open
cat > "$tmp/interrotto.txt" <<SCRIPT
open ShowFornitoFormX 2
click ButtonNuovo
text Edit1 Z99
click OKBtn
expect EditCodice Z99
text MemoRagSoc mai memorizzato
shot $tmp/pronto.png
wait 120000
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/interrotto.txt" &
pid=$!
for _ in $(seq 1 600); do
  [ -s "$tmp/pronto.png" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -s "$tmp/pronto.png" ] || { echo "the interrupted script did not reach its new record"; exit 1; }
kill -9 "$pid"
wait "$pid" 2>/dev/null
pid=""

cat > "$tmp/ripreso.txt" <<SCRIPT
open ShowFornitoFormD 2
row GridFornito 8
expect EditCodice2 Z99
expect MemoRagSoc2
click ButtonEdit
text MemoRagSoc Ripreso
click ButtonMemorizza
expect EditCodice2 Z99
expect MemoRagSoc2 Ripreso
click ButtonElimina
message Eliminare il record selezionato?
answer Sì
expect EditCodice2 F007
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/ripreso.txt" || { echo "the key-only row was not usable after the kill"; exit 1; }

# what the archive holds now: the seven demo suppliers and nothing else
cat > "$tmp/verifica.txt" <<SCRIPT
open ShowFornitoFormD 1
row GridFornito 7
expect EditCodice2 F007
row GridFornito 8
SCRIPT
if "$tovaris" script "$tmp/host" "$tmp/verifica.txt" 2> "$tmp/err.txt"; then
  echo "the list should end at F007"; exit 1
fi
grep -q "non ha la riga 8" "$tmp/err.txt" || { echo "unexpected failure:"; cat "$tmp/err.txt"; exit 1; }
echo "1 passed, 0 failed"
