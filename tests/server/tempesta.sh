#!/usr/bin/env bash
# A host killed again and again, through a Firebird server of the test's own
# on 127.0.0.1. The worker (server_tempesta --lavora) makes batches and
# weighings and commits, posts and assigns weighings through the screens in
# a loop; now and then one of its runs dies by itself at a point of its
# commit (QUINTAR_INTERROMPI), otherwise it is killed with SIGKILL at a
# random moment. After each death a second host opens the commitment,
# posting and weighing screens (each opening under 10 s) and checks both
# archives: every batch's state agrees with its order, production record and
# routine calls, no weighing is assigned twice, nothing is in limbo, nothing
# is owed. At the end gfix -list and gfix -v -full on every archive are
# empty, the warehouse routine was repeated at most once per kill, and the
# figures are printed.
#
#   QUINTAR_TEMPESTA_SEME        the seed (printed first): the same seed makes the
#                                same choices (kill delays, runs, points, pauses)
#   QUINTAR_TEMPESTA_UCCISIONI   kills (25)
#   QUINTAR_TEMPESTA_SECONDI     the storm stops after this time (300)
#   QUINTAR_TEMPESTA_LUNGA=1     the long run, by hand: 250 kills within an hour
set -u
tovaris="$1"
driver="$2"
if [ "${QUINTAR_TEMPESTA_LUNGA:-0}" = 1 ]; then
  uccisioni="${QUINTAR_TEMPESTA_UCCISIONI:-250}"
  secondi="${QUINTAR_TEMPESTA_SECONDI:-3600}"
else
  uccisioni="${QUINTAR_TEMPESTA_UCCISIONI:-25}"
  secondi="${QUINTAR_TEMPESTA_SECONDI:-300}"
fi
seme="${QUINTAR_TEMPESTA_SEME:-$(( ($(date +%s%N) / 1000) % 1000000 ))}"
echo "seme $seme (QUINTAR_TEMPESTA_SEME=$seme rifà le stesse scelte), $uccisioni uccisioni"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
inizio=$(date +%s)
# every choice of this script from here on comes from the seed
RANDOM=$seme

esito=0
uccisi=0
dal_controllo=0
prima=0 # repeated routine calls found by the previous check
declare -A per_punto=() per_forma=()
ms() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# What a dead run left in limbo before the second host came (company, host,
# weighing archives), named by the point of the commit it shows.
forma() {
  case "$1" in
    "0 0 0") echo "nessuna parte in sospeso" ;;
    "1 0 0") echo "dopo la prima preparazione" ;;
    "1 1 0" | "1 0 1") echo "dopo entrambe le preparazioni" ;;
    "0 1 0" | "0 0 1") echo "dopo la decisione" ;;
    *) echo "in sospeso $1" ;;
  esac
}
# The limbo a run of KIND dying at POINT leaves: "q,t,p".
limbo_di() {
  local altra="0,1,0" entrambe="1,1,0"
  [ "$1" = pesata ] && altra="0,0,1" entrambe="1,0,1"
  case "$2" in
    preparata-prima) echo "1,0,0" ;;
    preparate) echo "$entrambe" ;;
    decisa) echo "$altra" ;;
    *) echo "0,0,0" ;;
  esac
}

for k in $(seq 1 "$uccisioni"); do
  if [ $(( $(date +%s) - inizio )) -ge "$secondi" ]; then
    echo "time bound of $secondi s reached after $uccisi kills"
    break
  fi
  seme_lavoro=$(( (seme * 7919 + k) % 2147483647 ))
  ritardo=$(( RANDOM % 2500 ))
  rm -f "$tmp/pronto"
  "$driver" --lavora "$host" "$seme_lavoro" "$tmp/pronto" "$tmp/lavoro$k.log" 120 \
    > "$tmp/lavoro$k.out" 2>&1 &
  p=$!
  pid="$p"
  if ! fb_aspetta "$tmp/pronto" 2>/dev/null; then
    wait "$p" 2>/dev/null
    echo "FAIL kill $k: the worker did not get ready (exit $?):"
    cat "$tmp/lavoro$k.out" "$tmp/lavoro$k.log"
    esito=1
    break
  fi
  # the worker works until it dies at a point of its own or the delay is over
  sleep "$(ms "$ritardo")" &
  s=$!
  wait -n -p chi "$p" "$s" 2>/dev/null
  rc=$?
  punto=""
  if [ "$chi" = "$p" ]; then
    kill "$s" 2>/dev/null
    wait "$s" 2>/dev/null
    if [ $rc -ne 137 ]; then
      echo "FAIL kill $k: the worker ended by itself (exit $rc):"
      cat "$tmp/lavoro$k.out"
      grep -E 'PROBLEMA|INIZIO|FATTO' "$tmp/lavoro$k.log" | tail -5
      esito=1
      break
    fi
    # the run it started last named the point it died at
    read -r _ lavoro _ punto < <(grep '^INIZIO' "$tmp/lavoro$k.log" | tail -1)
    if [ -z "$punto" ] || [ "$punto" = - ]; then
      echo "FAIL kill $k: the worker was killed by something else:"
      tail -3 "$tmp/lavoro$k.log"
      esito=1
      break
    fi
    per_punto["$lavoro $punto"]=$(( ${per_punto["$lavoro $punto"]:-0} + 1 ))
  else
    kill -9 "$p" 2>/dev/null
    wait "$p" 2>/dev/null
    dal_controllo=$((dal_controllo + 1))
  fi
  pid=""
  uccisi=$((uccisi + 1))
  limbo=()
  [ -n "$punto" ] && limbo=(--limbo "$(limbo_di "$lavoro" "$punto")")
  # the screens in an order of the seed: each one's opening ends what is left
  # in its own archives, whichever comes first
  schermate=(impegno,produzione,pesata pesata,impegno,produzione produzione,pesata,impegno)
  if ! timeout 120 "$driver" --verifica "$host" --dopo "$p" "${limbo[@]}" \
      --schermate "${schermate[$((RANDOM % 3))]}" > "$tmp/verifica$k.log" 2>&1; then
    echo "FAIL after kill $k (${punto:-killed ${ritardo} ms after the screens opened}; worker seed $seme_lavoro):"
    grep -E '^(INIZIO|FATTO|MANCATO)' "$tmp/lavoro$k.log" | tail -4
    grep -vE 'XDG_RUNTIME|propagateSizeHints' "$tmp/verifica$k.log"
    esito=1
    break
  fi
  # a kill repeats at most the one routine call it interrupted
  ripetute=$(sed -nE 's/^STATO .* ripetute ([0-9]+) .*/\1/p' "$tmp/verifica$k.log")
  if [ "${ripetute:-0}" -gt $((prima + 1)) ]; then
    echo "FAIL after kill $k: $((ripetute - prima)) routine calls repeated by one kill (worker seed $seme_lavoro)"
    esito=1
    break
  fi
  prima=${ripetute:-0}
  f=$(forma "$(grep '^LIMBO' "$tmp/verifica$k.log" | cut -d' ' -f2-)")
  [ -z "$punto" ] && per_forma["$f"]=$(( ${per_forma["$f"]:-0} + 1 ))
done
pid=""

# ------------------------------------------------------------------ figures
echo "kills: $uccisi ($dal_controllo by SIGKILL at a random moment, $((uccisi - dal_controllo)) at a point of the commit)"
for c in "${!per_punto[@]}"; do echo "  died at a point: $c: ${per_punto[$c]}"; done | sort
for c in "${!per_forma[@]}"; do echo "  killed at random, $c: ${per_forma[$c]}"; done | sort
cat "$tmp"/lavoro*.log 2>/dev/null | awk '
  $1 == "FATTO" { n[$2]++; t++ }
  END { printf "runs completed: %d (impegno %d, produzione %d, pesata %d)\n", t, n["impegno"], n["produzione"], n["pesata"] }'
cat "$tmp"/verifica*.log 2>/dev/null | awk '
  $1 == "APERTURA" { n++; s += $3; if ($3 > m) m = $3; v[$2]++; vs[$2] += $3; if ($3 > vm[$2]) vm[$2] = $3 }
  $1 == "ATTESA" { a++; as += $2; if ($2 > am) am = $2 }
  END {
    if (n) printf "openings by the second host: %d, max %d ms, avg %.0f ms\n", n, m, s / n
    for (k in v) printf "  %s: %d, max %d ms, avg %.0f ms\n", k, v[k], vm[k], vs[k] / v[k]
    if (a) printf "server let a dead host go after: max %d ms, avg %.0f ms\n", am, as / a
  }'
cat "$tmp"/lavoro*.log 2>/dev/null | awk '
  $1 == "APERTURA" { n++; s += $3; if ($3 > m) m = $3 }
  END { if (n) printf "openings by the worker: %d, max %d ms, avg %.0f ms\n", n, m, s / n
        if (m > 10000) { print "FAIL: an opening by the worker took more than 10 s"; exit 1 } }' || esito=1
ultimo=$(ls -v "$tmp"/verifica*.log 2>/dev/null | tail -1)
if [ -n "$ultimo" ]; then
  stato=$(grep '^STATO' "$ultimo")
  echo "archives at the end: ${stato#STATO }"
  ripetute=$(echo "$stato" | sed -E 's/.* ripetute ([0-9]+).*/\1/')
  echo "repeated routine calls: $ripetute (at most one per kill: $uccisi)"
  [ "$ripetute" -le "$uccisi" ] || { echo "FAIL: more repeated routine calls than kills"; esito=1; }
fi
[ $esito -eq 0 ] && [ "$uccisi" -lt 1 ] && { echo "FAIL: no kill"; esito=1; }

[ ${#FB_ALIAS[@]} -eq 4 ] || { echo "expected the four archives to check, got ${#FB_ALIAS[@]}"; esito=1; }
for a in "${FB_ALIAS[@]}"; do
  nome="${a%%=*}"
  out=$(timeout 60 "$FB_GFIX" -list -user SYSDBA -password pinecrest "$FB_SERVER:$nome" 2>&1) ||
    { echo "gfix -list $nome failed: $out"; esito=1; continue; }
  [ -z "$out" ] || { echo "gfix -list $nome: $out"; esito=1; }
  out=$(fb_gfix "$nome" 2>&1) || { echo "gfix $nome failed: $out"; esito=1; continue; }
  [ -z "$out" ] || { echo "gfix $nome: $out"; esito=1; }
done
echo "seme $seme, $(( $(date +%s) - inizio )) s"
if [ $esito -ne 0 ]; then
  # the logs and the archives as the failure left them, for the sequence
  tenuti=$(mktemp -d "${TMPDIR:-/tmp}/tempesta.XXXXXX")
  cp "$tmp"/lavoro* "$tmp"/verifica* "$tenuti"/ 2>/dev/null
  fb_ferma
  cp -r "$host/Dati" "$tenuti"/ 2>/dev/null
  echo "logs and archives kept in $tenuti"
fi
[ $esito -eq 0 ] && echo "1 passed, 0 failed"
exit $esito
