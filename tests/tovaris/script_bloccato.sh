#!/usr/bin/env bash
# A script never hangs: one that ends with a card still editing, and one whose
# step waits on a modal box beyond --timeout, stop within seconds with exit 1,
# print the open windows and the box with its text, and leave the archives
# as a killed host does (the change is not saved, the archives validate).
# An archive that cannot be opened fails the step with its reason.
. "$(dirname "$0")/ospite_prova.sh"
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }
falliti=0
avviso="Memorizzare o annullare le modifiche in corso prima di chiudere la finestra"

# runs a script (extra arguments after it) and checks that it stops with 1
# within LIMIT seconds, printing each of the given lines
si_ferma() {
  local cosa="$1" limite="$2" script="$3"
  shift 3
  local argomenti=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do argomenti+=("$1"); shift; done
  shift
  "$tovaris" script "$tmp/host" "$script" "${argomenti[@]}" > /dev/null 2> "$tmp/err.txt" &
  pid=$!
  for _ in $(seq 1 $((limite * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL $cosa: still running after $limite s"
    kill -9 "$pid"; wait "$pid" 2>/dev/null; pid=""
    falliti=$((falliti + 1))
    return
  fi
  wait "$pid"
  local rc=$?
  pid=""
  if [ "$rc" -ne 1 ]; then
    echo "FAIL $cosa: exit code $rc, expected 1"; cat "$tmp/err.txt"
    falliti=$((falliti + 1))
    return
  fi
  local riga
  for riga in "$@"; do
    if ! grep -qF -- "$riga" "$tmp/err.txt"; then
      echo "FAIL $cosa: the report lacks: $riga"; cat "$tmp/err.txt"
      falliti=$((falliti + 1))
      return
    fi
  done
  echo "ok   $cosa"
}

# the supplier card shows what the archive holds, and the archives validate
archivio_intatto() {
  local cosa="$1" f out
  printf 'open ShowFornitoFormD 1\nexpect EditCodice2 F001\nexpect MemoRagSoc2 Chimitalia S.p.A.\nclose\n' \
    > "$tmp/verifica.txt"
  if ! "$tovaris" script "$tmp/host" "$tmp/verifica.txt" 2> "$tmp/err.txt"; then
    echo "FAIL $cosa: the archive changed:"; cat "$tmp/err.txt"
    falliti=$((falliti + 1))
  fi
  for f in "$tmp/host/user/user.fdb" "$tmp/host/Dati/QUINTAR.FDB"; do
    if ! out=$(gfix -v -full -user SYSDBA "$f" 2>&1) || [ -n "$out" ]; then
      echo "FAIL $cosa: $(basename "$f") does not validate: $out"
      falliti=$((falliti + 1))
    fi
  done
}

# a script ending while the card is editing: closing it raises the warning
cat > "$tmp/in_modifica.txt" <<'SCRIPT'
open ShowFornitoFormX 1
click ButtonEdit
text MemoRagSoc mai memorizzato
SCRIPT
si_ferma "script ending while editing" 30 "$tmp/in_modifica.txt" -- \
  "fine dello script: chiudendo le finestre si è aperta una finestra modale" \
  "QMessageBox \"MessageBox\" titolo \"Attenzione\" (modale) messaggio \"$avviso\" pulsanti: OK" \
  "quintar::TFornitoForm \"FornitoForm\" titolo \"Anagrafica fornitori - Ditta: Chimica Demo S.r.l.\"" \
  "script interrotto senza chiudere gli archivi"
archivio_intatto "after the script ending while editing"

# a script ending with the warning up
cat > "$tmp/con_avviso.txt" <<SCRIPT
open ShowFornitoFormX 1
click ButtonEdit
text MemoRagSoc mai memorizzato
close
message $avviso
SCRIPT
si_ferma "script ending with a modal box up" 30 "$tmp/con_avviso.txt" -- \
  "fine dello script: lo script è finito con una finestra modale aperta" \
  "messaggio \"$avviso\""
archivio_intatto "after the script ending with a modal box up"

# a step waiting on the warning longer than --timeout
cat > "$tmp/attesa.txt" <<SCRIPT
open ShowFornitoFormX 1
click ButtonEdit
text MemoRagSoc mai memorizzato
close
message $avviso
wait 600000
SCRIPT
si_ferma "step longer than --timeout" 20 "$tmp/attesa.txt" --timeout 2 -- \
  "riga 6: il passo dura da più di 2 s" "messaggio \"$avviso\""
archivio_intatto "after the step longer than --timeout"

# --timeout takes a number of seconds
if "$tovaris" script "$tmp/host" "$tmp/attesa.txt" --timeout due 2> "$tmp/err.txt"; then
  echo "FAIL a wrong --timeout is accepted"; falliti=$((falliti + 1))
fi

# a script that closes what it opened still ends with 0
printf 'open ShowFornitoFormX 1\nclick ButtonEdit\nclick ButtonAnnulla\n' > "$tmp/pulito.txt"
"$tovaris" script "$tmp/host" "$tmp/pulito.txt" --timeout 30 2> "$tmp/err.txt" ||
  { echo "FAIL a script leaving only a card in view must end with 0"; cat "$tmp/err.txt"; falliti=$((falliti + 1)); }

# a user archive that cannot be opened: the open step fails with the reason,
# the host neither aborts nor hangs
cp -a "$tmp/host" "$tmp/rotto"
head -c 65536 /dev/zero > "$tmp/rotto/user/user.fdb"
printf 'open ShowFornitoFormX 1\n' > "$tmp/apri.txt"
timeout 60 "$tovaris" script "$tmp/rotto" "$tmp/apri.txt" > /dev/null 2> "$tmp/err.txt"
rc=$?
if [ "$rc" -ne 1 ] || ! grep -q "riga 1: 'ShowFornitoFormX' non aperto: " "$tmp/err.txt"; then
  echo "FAIL an unreadable user archive: exit $rc"; cat "$tmp/err.txt"; falliti=$((falliti + 1))
fi
timeout 60 "$tovaris" open "$tmp/rotto" ShowFornitoFormX 1 > /dev/null 2> "$tmp/err.txt"
rc=$?
if [ "$rc" -ne 1 ] || ! grep -q "ShowFornitoFormX non aperto: " "$tmp/err.txt"; then
  echo "FAIL 'open' on an unreadable user archive: exit $rc"; cat "$tmp/err.txt"; falliti=$((falliti + 1))
fi

if [ "$falliti" -gt 0 ]; then
  echo "$falliti failed"
  exit 1
fi
echo "1 passed, 0 failed"
