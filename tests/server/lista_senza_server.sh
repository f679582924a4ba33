#!/usr/bin/env bash
# The server goes away under a long supplier list: scrolling to the end,
# the navigator, a search on the column, cancelling it, a save and Annulla
# each say what happened in a box, and the host goes on until the card is
# closed; nothing is written.
set -u
tovaris="$1"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
# a list longer than the rows a grid reads at its opening
fb_isql quintar <<'SQL' > "$tmp/isql.log" 2>&1
SET TERM ^;
EXECUTE BLOCK AS
DECLARE I INTEGER = 0;
BEGIN
  WHILE (I < 3000) DO BEGIN
    INSERT INTO FORNITO (CODICE, RAGSOC, CITTA) VALUES ('L' || LPAD(:I, 5, '0'), 'Lista ' || :I, 'Lodi');
    I = I + 1;
  END
END^
SET TERM ;^
COMMIT;
SQL
conta() { echo "SET HEADING OFF; SELECT COUNT(*) FROM FORNITO;" | fb_isql quintar | tr -dc '0-9'; }
prima=$(conta)
[ "$prima" -gt 3000 ] || { echo "suppliers not added:"; cat "$tmp/isql.log"; exit 1; }

# two cards: the first goes through its list, the second is saving
cat > "$tmp/s.txt" <<SCRIPT
open ShowFornitoFormX 1
expect EditCodice2 F001
open ShowFornitoFormX 1
click ButtonEdit
text MemoRagSoc Mai scritto
signal $tmp/aperto
await $tmp/fermato
activate 1
key GridFornito Ctrl+End
wait 300
answer OK
nomessage
click NavUltimo
answer OK
nomessage
key GridFornito Home
key GridFornito F5
text EditStringa 1
wait 1500
answer OK
key EditStringa Escape
answer OK
nomessage
activate 2
click ButtonMemorizza
message Errore interno: impossibile memorizzare le modifiche
answer OK
expect MemoRagSoc Mai scritto
click ButtonAnnulla
answer OK
nomessage
close
activate 1
close
SCRIPT
timeout 200 "$tovaris" script "$host" "$tmp/s.txt" --timeout 60 > "$tmp/s.log" 2>&1 &
pid=$!
esito=0
if fb_aspetta "$tmp/aperto"; then
  fb_ferma
  touch "$tmp/fermato"
else
  echo "the card did not open"; esito=1
fi
wait "$pid"
rc=$?
pid=""
grep -v "propagateSizeHints\|XDG_RUNTIME" "$tmp/s.log"
[ $rc -eq 0 ] || { echo "host exit $rc"; esito=1; }
fb_riavvia || exit 1
[ "$(conta)" = "$prima" ] || { echo "suppliers now $(conta), were $prima"; esito=1; }
echo "SET HEADING OFF; SELECT COUNT(*) FROM FORNITO WHERE RAGSOC='Mai scritto';" | fb_isql quintar |
  tr -dc '0-9' | grep -qx 0 || { echo "a save was written"; esito=1; }
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
