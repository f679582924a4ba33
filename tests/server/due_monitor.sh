#!/usr/bin/env bash
# Two weighing monitors on two hosts, on one set of archives through a
# Firebird server of the test's own: both select the same open weighing; the
# first host's scan assigns it, the second host's scan is told "La pesata
# corrente non è aperta"; the archives hold one assignment, of the first
# host's package, and nothing left in limbo.
set -u
tovaris="$1"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
grep -q "^Alias=pesate" "$host/Dati/Pesate/dati.ini" || { echo "no alias in Dati/Pesate/dati.ini"; exit 1; }

# the demo's open weighing of batch FM004 line 4 (MP011), third in the list;
# SR250023 and SR250024 are two packages of that material
cat > "$tmp/a.txt" <<SCRIPT
open ShowIdPesateFormX 1
rows GridPesate 20
row GridPesate 3
signal $tmp/a_pronto
await $tmp/b_pronto
text EditBarcodeLottoMateria SR250023
key EditBarcodeLottoMateria Return
nomessage
signal $tmp/a_fatto
await $tmp/fine
close
SCRIPT
cat > "$tmp/b.txt" <<SCRIPT
await $tmp/a_pronto
open ShowIdPesateFormX 2
rows GridPesate 20
row GridPesate 3
signal $tmp/b_pronto
await $tmp/a_fatto
text EditBarcodeLottoMateria SR250024
key EditBarcodeLottoMateria Return
message La pesata corrente non è aperta
answer OK
signal $tmp/b_fatto
await $tmp/fine
close
SCRIPT
timeout 150 "$tovaris" script "$host" "$tmp/a.txt" > "$tmp/a.log" 2>&1 &
pidA=$!
pid="$pidA"
timeout 150 "$tovaris" script "$host" "$tmp/b.txt" > "$tmp/b.log" 2>&1 &
pidB=$!
pid="$pidA $pidB"

esito=0
if ! fb_aspetta "$tmp/b_fatto"; then
  echo "the second host's scan did not come back"; esito=1
fi
touch "$tmp/fine"
wait "$pidA" || { echo "first host:"; cat "$tmp/a.log"; esito=1; }
wait "$pidB" || { echo "second host:"; cat "$tmp/b.log"; esito=1; }
pid=""

uno() { # ALIAS QUERY: the rows on one line
  printf "SET HEADING OFF;\n%s;\n" "$2" | fb_isql "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}
visto=$(uno quintar "SELECT BARCODE_LOTTO_MATERIA FROM PESATE_FABBR WHERE BARCODE='CONTEST00000019'")
[ "$visto" = "SR250023" ] || { echo "history of the weighing: '$visto', SR250023 expected once"; esito=1; }
visto=$(uno pesate "SELECT NOTE FROM PESATE WHERE BARCODE='CONTEST00000019'")
[ "$visto" = "CHIUSA" ] || { echo "the weighing is '$visto'"; esito=1; }
for a in quintar pesate; do
  n=$(uno "$a" "SELECT COUNT(*) FROM RDB\$TRANSACTIONS")
  [ "$n" = "0" ] || { echo "$a: $n transactions left in limbo"; esito=1; }
done
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
