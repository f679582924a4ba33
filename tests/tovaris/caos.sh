#!/usr/bin/env bash
# The short chaos run: the monkey on every screen of an embedded demo company,
# two fixed seeds of 45 s each (QUINTAR_CAOS_SEMI and QUINTAR_CAOS_MINUTI to
# change them; the long runs are made by hand with `tovaris caos`). Each run
# must end with no crash, no hang, no error only in the log, gfix clean and
# the archives' invariants held; a failure prints its seed and last actions.
. "$(dirname "$0")/ospite_prova.sh"
semi="${QUINTAR_CAOS_SEMI:-11 23}"
minuti="${QUINTAR_CAOS_MINUTI:-0.75}"
falliti=0
for seme in $semi; do
  dir="$tmp/host$seme"
  "$tovaris" init "$dir" --demo > /dev/null || { echo "init failed"; exit 1; }
  if "$tovaris" caos "$dir" --seed "$seme" --minutes "$minuti"; then
    echo "ok   seme $seme"
  else
    echo "FAIL seme $seme"
    falliti=$((falliti + 1))
  fi
done
exit "$falliti"
