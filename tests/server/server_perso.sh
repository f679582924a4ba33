#!/usr/bin/env bash
# The server goes away while a card is open: the next save reports the
# database error and claims nothing (the edit stays open, the archive keeps
# the old text), the card can still be given up and closed without a crash;
# once the server is back a new card reads and saves again.
set -u
tovaris="$1"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
valore() {
  echo "SET HEADING OFF; SELECT '<' || COALESCE(RAGSOC, '') || '>' FROM FORNITO WHERE CODICE='$1';" |
    fb_isql quintar | sed -n 's/.*<\(.*\)>.*/\1/p'
}
prima=$(valore F001)

cat > "$tmp/s.txt" <<SCRIPT
open ShowFornitoFormX 1
expect EditCodice2 F001
row GridFornito 1
click ButtonEdit
text MemoRagSoc Durante la caduta
signal $tmp/aperto
await $tmp/fermato
click ButtonMemorizza
message Errore interno: impossibile memorizzare le modifiche
answer OK
expect MemoRagSoc Durante la caduta
enabled ButtonMemorizza 1
click ButtonAnnulla
close
signal $tmp/chiuso
await $tmp/riavviato
open ShowFornitoFormX 1
expect EditCodice2 F001
expect MemoRagSoc2 $prima
click ButtonEdit
text MemoRagSoc Dopo il riavvio
click ButtonMemorizza
expect MemoRagSoc2 Dopo il riavvio
close
SCRIPT
timeout 150 "$tovaris" script "$host" "$tmp/s.txt" > "$tmp/s.log" 2>&1 &
pid=$!
esito=0
if fb_aspetta "$tmp/aperto"; then
  fb_ferma
  touch "$tmp/fermato"
  if fb_aspetta "$tmp/chiuso"; then
    fb_riavvia || exit 1
    touch "$tmp/riavviato"
  else
    echo "the card did not close after the server went away"; esito=1
  fi
else
  echo "the card did not open"; esito=1
fi
touch "$tmp/riavviato"
wait "$pid"
rc=$?
pid=""
[ $rc -eq 0 ] || { echo "host (exit $rc):"; cat "$tmp/s.log"; esito=1; }
grep -v "propagateSizeHints\|XDG_RUNTIME" "$tmp/s.log"
[ "$(valore F001)" = "Dopo il riavvio" ] || { echo "F001 holds '$(valore F001)'"; esito=1; }
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
