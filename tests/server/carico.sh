#!/usr/bin/env bash
# Several processes doing random card operations through a Firebird server of
# the test's own: the packaging procedures, the data-sheet lines of raw
# materials, the component lines of formulations, the integrations of batch
# lines and the cost parameters, each screen closed and opened again now and
# then. At the end every failure was reported to its user, nothing is
# half-written (histories and rows agree, no key-only row left, no lost or
# doubled change, unit costs and batch totals hold), every window position
# and list layout was stored, and the archive passes gfix -v -full.
#   seconds:   third argument, or QUINTAR_CARICO_SECONDI
#   processes: QUINTAR_CARICO_PROCESSI (4)
#   QUINTAR_CARICO_CPU=1: one CPU-bound process per core beside the run
set -u
tovaris="$1"
driver="$2"
secondi="${QUINTAR_CARICO_SECONDI:-${3:-60}}"
processi="${QUINTAR_CARICO_PROCESSI:-4}"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
tmp=$(mktemp -d)
pids=()
cpu=()
fine() {
  for p in "${pids[@]}" "${cpu[@]}"; do kill -9 "$p" 2>/dev/null; done
  fb_ferma
  rm -rf "$tmp"
}
trap fine EXIT
export QT_QPA_PLATFORM=offscreen
inizio=$(date +%s)
host="$tmp/host"
fb_host_demo "$tovaris" "$host" "$tmp/fb" || exit 1
timeout 60 "$driver" --base "$host" "$tmp/base.txt" || { echo "history not readable through the server"; exit 1; }

# a machine busy with other work: a busy loop per core, for the run's time at most
if [ "${QUINTAR_CARICO_CPU:-0}" = 1 ]; then
  for _ in $(seq 1 "$(nproc)"); do
    timeout $((secondi + 120)) bash -c 'while :; do :; done' &
    cpu+=($!)
  done
fi
logs=()
for i in $(seq 1 "$processi"); do
  utente=$(( (i - 1) % 2 + 1 ))
  timeout $((secondi + 120)) "$driver" "$host" "$utente" "$secondi" "$i" "$tmp/log$i.txt" > "$tmp/out$i.txt" 2>&1 &
  pids+=($!)
  logs+=("$tmp/log$i.txt")
done
esito=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { echo "process $((i + 1)) failed:"; cat "$tmp/out$((i + 1)).txt"; esito=1; }
  cat "$tmp/out$((i + 1)).txt"
done
pids=()
for p in "${cpu[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
cpu=()
timeout 120 "$driver" --verifica "$host" "$tmp/base.txt" "${logs[@]}" || esito=1
[ ${#FB_ALIAS[@]} -eq 4 ] || { echo "expected the four archives to check, got ${#FB_ALIAS[@]}"; esito=1; }
for a in "${FB_ALIAS[@]}"; do
  nome="${a%%=*}"
  out=$(fb_gfix "$nome" 2>&1) || { echo "gfix $nome failed: $out"; esito=1; continue; }
  [ -z "$out" ] || { echo "gfix $nome: $out"; esito=1; }
done
if [ $esito -ne 0 ]; then
  # each process's outcomes and operations, for the sequence on the key named above
  tenuti=$(mktemp -d "${TMPDIR:-/tmp}/carico-log.XXXXXX")
  cp "$tmp"/base.txt "$tmp"/log*.txt "$tmp"/out*.txt "$tenuti"/ 2>/dev/null
  echo "logs kept in $tenuti"
fi
echo "$processi processes for $secondi s$([ ${QUINTAR_CARICO_CPU:-0} = 1 ] && echo " beside $(nproc) busy loops"), $(( $(date +%s) - inizio )) s in all"
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
