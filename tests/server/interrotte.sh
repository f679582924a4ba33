#!/usr/bin/env bash
# Hosts that die in the middle of a run, through a Firebird server of the
# test's own. A commitment, a posting and a weighing assignment each die
# after the company archive's prepare, after both prepares and after the
# decision (QUINTAR_INTERROMPI); a commitment-like unit dies after its owner
# rolled the host's part back, the company's still prepared. After each a
# second host opens the commitment screen (the weighing monitor for an
# assignment), timed, and checks: the dead run's parts were where the point
# says, both archives now agree (the run wholly done after the decision,
# wholly undone before it), nothing is left in limbo (gfix -list through the
# server too), every owed step is made and the warehouse routine was called
# exactly once for each step it owes, by the run or by the opening.
set -u
tovaris="$1"
driver="$2"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1

esito=0
casi=0

# gfix -list prints each transaction in limbo of the archive: nothing at all
gfix_vuoto() {
  local a nome out
  for a in "${FB_ALIAS[@]}"; do
    nome="${a%%=*}"
    out=$(timeout 60 "$FB_GFIX" -list -user SYSDBA -password pinecrest "$FB_SERVER:$nome" 2>&1) ||
      { echo "gfix -list $nome failed: $out"; return 1; }
    [ -z "$out" ] || { echo "gfix -list $nome: $out"; return 1; }
  done
}

# NAME LIMBO SCREEN OUTCOME COMMAND...: the command is a host that must die
# by SIGKILL after writing "KIND KEY" into $tmp/chiave; LIMBO (q,t,p) is what
# it must leave in limbo in the company, host and weighing archives; SCREEN
# is what the second host opens; OUTCOME (fatto|annullato) is what the run
# must be once the screen has opened.
caso() {
  local nome=$1 limbo=$2 schermata=$3 atteso=$4 p rc lavoro chiave
  shift 4
  casi=$((casi + 1))
  rm -f "$tmp/chiave"
  "$@" > "$tmp/$nome.host.log" 2>&1 &
  p=$!
  pid="$p"
  wait "$p" 2>/dev/null
  rc=$?
  pid=""
  if [ $rc -ne 137 ]; then
    echo "FAIL $nome: the host did not die at its point (exit $rc):"
    cat "$tmp/$nome.host.log"
    esito=1
    return
  fi
  read -r lavoro chiave < "$tmp/chiave"
  if ! timeout 120 "$driver" --verifica "$host" --dopo "$p" --schermate "$schermata" --esatte \
      --limbo "$limbo" --atteso "$lavoro" "$chiave" "$atteso" > "$tmp/$nome.log" 2>&1; then
    echo "FAIL $nome:"
    cat "$tmp/$nome.log"
    esito=1
    return
  fi
  gfix_vuoto || { echo "FAIL $nome: left in limbo"; esito=1; return; }
  echo "ok $nome: $(grep -E '^(LIMBO|APERTURA|ESITO)' "$tmp/$nome.log" | tr '\n' ' ')"
}

for lavoro in impegno produzione pesata; do
  if [ $lavoro = pesata ]; then
    schermata=pesata altra="0,0,1" entrambe="1,0,1"
  else
    schermata=impegno altra="0,1,0" entrambe="1,1,0"
  fi
  caso "$lavoro-preparata-prima" 1,0,0 $schermata annullato \
    "$driver" --una "$host" $lavoro preparata-prima "$tmp/chiave"
  caso "$lavoro-preparate" "$entrambe" $schermata annullato \
    "$driver" --una "$host" $lavoro preparate "$tmp/chiave"
  caso "$lavoro-decisa" "$altra" $schermata fatto \
    "$driver" --una "$host" $lavoro decisa "$tmp/chiave"
done
caso "annullata-dal-proprietario" 1,0,0 impegno annullato "$driver" --annulla "$host" "$tmp/chiave"

# everything the cases left, seen by every screen, and the archives sound
timeout 120 "$driver" --verifica "$host" --esatte > "$tmp/fine.log" 2>&1 ||
  { echo "FAIL final check:"; cat "$tmp/fine.log"; esito=1; }
grep '^STATO' "$tmp/fine.log"
for a in "${FB_ALIAS[@]}"; do
  nome="${a%%=*}"
  out=$(fb_gfix "$nome" 2>&1) || { echo "gfix $nome failed: $out"; esito=1; continue; }
  [ -z "$out" ] || { echo "gfix $nome: $out"; esito=1; }
done
[ $esito -eq 0 ] && echo "$casi cases passed, 0 failed"
exit $esito
