#!/usr/bin/env bash
# Two users on one archive through a Firebird server of the test's own: the
# host opens every archive through dati.ini (Nome Server + Alias) over TCP;
# the second user's save of a supplier the first one changed fails at once
# with the card's message and leaves the first user's data as it was; a save
# against a change still held by another transaction fails at once as well.
set -u
tovaris="$1"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
pidA=""
pidB=""
pidL=""
for d in user Dati Dati/Tovaris Dati/Pesate; do
  grep -q "^Nome Server=$FB_SERVER" "$host/$d/dati.ini" || { echo "no server in $d/dati.ini"; exit 1; }
done
grep -q "^Alias=quintar" "$host/Dati/dati.ini" || { echo "no alias in Dati/dati.ini"; exit 1; }

valore() { # CODICE -> RAGSOC as the server has it now
  echo "SET HEADING OFF; SELECT '<' || COALESCE(RAGSOC, '') || '>' FROM FORNITO WHERE CODICE='$1';" |
    fb_isql quintar | sed -n 's/.*<\(.*\)>.*/\1/p'
}
originale=$(valore F002)
[ -n "$originale" ] || { echo "demo supplier F002 not readable through the server"; exit 1; }

cat > "$tmp/a.txt" <<SCRIPT
await $tmp/b_aperto
open ShowFornitoFormX 1
expect EditCodice2 F001
row GridFornito 1
click ButtonEdit
text MemoRagSoc Prima versione
click ButtonMemorizza
expect MemoRagSoc2 Prima versione
signal $tmp/a_salvato
await $tmp/fine
close
SCRIPT
cat > "$tmp/b.txt" <<SCRIPT
open ShowFornitoFormX 2
expect title Anagrafica fornitori - Ditta: Chimica Demo S.r.l.
expect EditCodice2 F001
signal $tmp/b_aperto
await $tmp/a_salvato
row GridFornito 1
click ButtonEdit
text MemoRagSoc Seconda versione
click ButtonMemorizza
message Errore interno: impossibile memorizzare le modifiche
answer OK
expect MemoRagSoc Seconda versione
click ButtonAnnulla
expect MemoRagSoc2 Prima versione
signal $tmp/b_fatto
await $tmp/bloccato
row GridFornito 2
expect EditCodice2 F002
click ButtonEdit
text MemoRagSoc Mai memorizzato
signal $tmp/b_prima
click ButtonMemorizza
message Errore interno: impossibile memorizzare le modifiche
signal $tmp/b_dopo
answer OK
click ButtonAnnulla
expect MemoRagSoc2 $originale
await $tmp/fine
close
SCRIPT
timeout 150 "$tovaris" script "$host" "$tmp/a.txt" > "$tmp/a.log" 2>&1 &
pidA=$!
pid="$pidA $pidB $pidL"
timeout 150 "$tovaris" script "$host" "$tmp/b.txt" > "$tmp/b.log" 2>&1 &
pidB=$!
pid="$pidA $pidB $pidL"

aspetta() { # FILE: true once it exists (60 s at most)
  for _ in $(seq 1 600); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
esito=0
if ! aspetta "$tmp/b_fatto"; then
  echo "the concurrent save did not run"; esito=1
else
  # both hosts are attached to the company and user archives over TCP, through the aliases
  for a in quintar user; do
    n=$(echo "SET HEADING OFF; SELECT COUNT(*) FROM MON\$ATTACHMENTS WHERE MON\$ATTACHMENT_ID<>CURRENT_CONNECTION AND MON\$REMOTE_PROTOCOL='TCPv4' AND MON\$REMOTE_PROCESS CONTAINING 'tovaris';" |
      fb_isql "$a" | tr -d ' \n')
    [ "${n:-0}" -ge 2 ] || { echo "$a: $n host attachments through the server, 2 expected"; esito=1; }
  done
  [ "$(valore F001)" = "Prima versione" ] || { echo "the first user's save is not what the archive holds: $(valore F001)"; esito=1; }
  # another transaction holds an uncommitted change of F002 until the second host has tried
  {
    echo "SET TRANSACTION WAIT SNAPSHOT;"
    echo "UPDATE FORNITO SET RAGSOC='Tenuto da isql' WHERE CODICE='F002';"
    echo "SHELL touch $tmp/bloccato;"
    for _ in $(seq 1 600); do [ -e "$tmp/b_dopo" ] && break; sleep 0.1; done
    echo "ROLLBACK;"
  } | fb_isql quintar > "$tmp/isql.log" 2>&1 &
  pidL=$!
  pid="$pidA $pidB $pidL"
  if ! aspetta "$tmp/b_dopo"; then
    echo "the save against a held change did not come back"; esito=1
  else
    ms=$(( ($(date +%s%N -r "$tmp/b_dopo") - $(date +%s%N -r "$tmp/b_prima")) / 1000000 ))
    echo "save against a held change refused in $ms ms"
    [ "$ms" -lt 5000 ] || { echo "the save waited for the other transaction"; esito=1; }
  fi
  wait "$pidL"
  pidL=""
fi
touch "$tmp/fine"
wait "$pidA" || { echo "first host:"; cat "$tmp/a.log"; esito=1; }
pidA=""
wait "$pidB" || { echo "second host:"; cat "$tmp/b.log"; esito=1; }
pidB=""
[ "$(valore F001)" = "Prima versione" ] || { echo "F001 changed: $(valore F001)"; esito=1; }
[ "$(valore F002)" = "$originale" ] || { echo "F002 changed: $(valore F002)"; esito=1; }
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
