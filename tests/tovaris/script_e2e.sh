#!/usr/bin/env bash
# A settings change made through the host in one run is seen by the next run;
# a failed expectation makes the script exit non-zero.
set -u
tovaris="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
"$tovaris" init "$tmp/host" --demo || { echo "init failed"; exit 1; }

cat > "$tmp/scrivi.txt" <<'SCRIPT'
open ShowImpoVarieFormX 1
expect title Impostazioni varie - Ditta: Chimica Demo S.r.l.
text SpinTempoPollingPesate 1500
text EditSogliaFuoriPeso 7,5
shot SHOT
click OK
SCRIPT
sed -i "s|SHOT|$tmp/impovarie.png|" "$tmp/scrivi.txt"
"$tovaris" script "$tmp/host" "$tmp/scrivi.txt" || { echo "the writing script failed"; exit 1; }
[ -s "$tmp/impovarie.png" ] || { echo "no screenshot"; exit 1; }

cat > "$tmp/leggi.txt" <<'SCRIPT'
open ShowImpoVarieFormX 2 4321
expect SpinTempoPollingPesate 1500
expect EditSogliaFuoriPeso 7,5
close
SCRIPT
"$tovaris" script "$tmp/host" "$tmp/leggi.txt" || { echo "the reading script failed"; exit 1; }

cat > "$tmp/sbagliato.txt" <<'SCRIPT'
open ShowImpoVarieFormX 1
expect SpinTempoPollingPesate 999
close
SCRIPT
if "$tovaris" script "$tmp/host" "$tmp/sbagliato.txt" 2> "$tmp/err.txt"; then
  echo "a failed expectation must make the script fail"; exit 1
fi
grep -q "riga 2" "$tmp/err.txt" || { echo "the failure must name its line"; cat "$tmp/err.txt"; exit 1; }
echo "1 passed, 0 failed"
