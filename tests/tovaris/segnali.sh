#!/usr/bin/env bash
# SIGTERM and SIGINT end the host in every mode within seconds, with 128 +
# signal, and leave the archives as sound as a killed host does: a supplier
# being created ("Nuovo", never saved) keeps its key-only row and nothing of
# what was typed after it, and the archives validate clean. A second signal
# ends the host without waiting for the archives to close.
. "$(dirname "$0")/ospite_prova.sh"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
falliti=0


# checks that the host ends with CODE within 10 s
finisce() {
  local codice="$1" cosa="$2" inizio="$3"
  local fine rc
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL $cosa: still running 10 s after the signal"
    kill -9 "$pid"
    wait "$pid" 2>/dev/null
    pid=""
    falliti=$((falliti + 1))
    return
  fi
  wait "$pid"
  rc=$?
  fine=$(date +%s%N)
  pid=""
  # no code given: either signal's
  if { [ -n "$codice" ] && [ "$rc" -ne "$codice" ]; } || { [ -z "$codice" ] && [ "$rc" -ne 130 ] && [ "$rc" -ne 143 ]; }; then
    echo "FAIL $cosa: exit code $rc, expected $codice"
    cat "$tmp/err.txt"
    falliti=$((falliti + 1))
    return
  fi
  echo "ok   $cosa: exit $rc after $(((fine - inizio) / 1000000)) ms"
}

# sends SIGNAL to the host and checks that it ends with CODE within 10 s
termina() {
  local inizio
  inizio=$(date +%s%N)
  kill -"$1" "$pid"
  finisce "$2" "$3 (SIG$1)" "$inizio"
}

# the archives open and validate clean
valida() {
  local cosa="$1" f out
  for f in "$tmp/host/user/user.fdb" "$tmp/host/Dati/QUINTAR.FDB" "$tmp/host/Dati/TOVARIS.FDB" \
           "$tmp/host/Dati/PESATE.FDB"; do
    if ! out=$(gfix -v -full -user SYSDBA "$f" 2>&1) || [ -n "$out" ]; then
      echo "FAIL $cosa: $(basename "$f") does not validate: $out"
      falliti=$((falliti + 1))
    fi
  done
}

# a script with a supplier created and not saved, stopped by SIGTERM then SIGINT
for segnale in TERM INT; do
  case $segnale in TERM) codice=143 ;; INT) codice=130 ;; esac
  rm -f "$tmp/pronto"
  cat > "$tmp/nuovo.txt" <<SCRIPT
open ShowFornitoFormX 2
click ButtonNuovo
text Edit1 Z99
click OKBtn
expect EditCodice Z99
text MemoRagSoc mai memorizzato
signal $tmp/pronto
wait 600000
SCRIPT
  "$tovaris" script "$tmp/host" "$tmp/nuovo.txt" 2> "$tmp/err.txt" &
  pid=$!
  if ! attendi "$tmp/pronto"; then
    echo "FAIL script ($segnale): the new supplier was not reached"; cat "$tmp/err.txt"
    exit 1
  fi
  termina "$segnale" "$codice" "script with an unsaved new supplier"
  valida "after SIG$segnale"

  # the key-only row is there, with nothing typed after "Nuovo"; it goes away again
  cat > "$tmp/dopo.txt" <<SCRIPT
open ShowFornitoFormD 2
row GridFornito 8
expect EditCodice2 Z99
expect MemoRagSoc2
click ButtonElimina
message Eliminare il record selezionato?
answer Sì
expect EditCodice2 F007
close
SCRIPT
  if ! "$tovaris" script "$tmp/host" "$tmp/dopo.txt" 2> "$tmp/err.txt"; then
    echo "FAIL after SIG$segnale the archive does not hold what a killed host leaves:"
    cat "$tmp/err.txt"
    falliti=$((falliti + 1))
  fi
done

# "open": one entry point, its card up
"$tovaris" open "$tmp/host" ShowFornitoFormX 1 2> "$tmp/err.txt" &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || { echo "FAIL open: the host ended by itself"; cat "$tmp/err.txt"; exit 1; }
termina TERM 143 "open"

# "run": the launcher window, no screen open
"$tovaris" run "$tmp/host" 2> "$tmp/err.txt" &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || { echo "FAIL run: the host ended by itself"; cat "$tmp/err.txt"; exit 1; }
termina INT 130 "run"
valida "after open and run"

# a second signal: SIGINT and SIGTERM pending together on a stopped host;
# whichever is handled first starts the orderly end, the other ends the host
# at once with its own code
rm -f "$tmp/pronto"
printf 'open ShowFornitoFormX 1\nsignal %s\nwait 600000\n' "$tmp/pronto" > "$tmp/attesa.txt"
"$tovaris" script "$tmp/host" "$tmp/attesa.txt" 2> "$tmp/err.txt" &
pid=$!
attendi "$tmp/pronto" || { echo "FAIL second signal: the card did not open"; cat "$tmp/err.txt"; exit 1; }
kill -STOP "$pid"
kill -INT "$pid"
kill -TERM "$pid"
inizio=$(date +%s%N)
kill -CONT "$pid"
finisce "" "second signal" "$inizio"
grep -q "secondo segnale" "$tmp/err.txt" ||
  { echo "FAIL second signal: not ended by the second signal"; cat "$tmp/err.txt"; falliti=$((falliti + 1)); }

if [ "$falliti" -gt 0 ]; then
  echo "$falliti failed"
  exit 1
fi
echo "1 passed, 0 failed"
