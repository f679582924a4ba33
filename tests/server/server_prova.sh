# A Firebird server of the test's own, sourced by the server tests.
#
#   fb_richiesto                  a line naming each missing program and its package, then exits 77
#                                 (skipped), or 1 (failed) when CI is set
#   fb_avvia DIR [ALIAS=FILE...]  private root in DIR (configuration, aliases, security database with
#                                 the SYSDBA password pinecrest, locks), a free port on 127.0.0.1 only;
#                                 sets FB_PORTA, FB_SERVER (127.0.0.1/PORT) and FB_PID
#   fb_riavvia                    starts the same server again (same root, port and aliases)
#   fb_host_demo TOVARIS HOST DIR a server in DIR with the aliases of the host folder HOST, and the
#                                 demo company created on it by `tovaris init --server`; sets FB_ALIAS
#                                 (the ALIAS=FILE lines)
#   fb_prova_demo TOVARIS         the usual start of a test: a temporary folder `tmp`, the hosts whose
#                                 pids the test puts in `pid` killed at the end with the server, and
#                                 the demo company on a server of its own in "$tmp/host" (`host`)
#   fb_aspetta FILE               true once FILE exists; false when a host in `pid` ends first, or after 60 s
#   fb_ferma                      stops it (TERM, then KILL), bounded; safe to call twice
#   fb_isql ALIAS                 isql through the server, SQL on standard input
#   fb_gfix ALIAS                 gfix -v -full through the server
#
# An instance the system package may run elsewhere (port 3050, its own root) is left alone.

FB_BINARIO=${FB_BINARIO:-/usr/sbin/firebird}
FB_ISQL=$(command -v isql-fb || command -v isql || true)
FB_GFIX=$(command -v gfix || true)
FB_PID=""
FB_PORTA=""
FB_SERVER=""
FB_RADICE=""

# A missing program skips the test (77) on a developer's machine; with CI set
# (non-empty) it fails it, so that CI never passes without having run it.
fb_richiesto() {
  local mancanti=()
  [ -x "$FB_BINARIO" ] || mancanti+=("$FB_BINARIO (pacchetto firebird3.0-server)")
  [ -n "$(fb_sistema)" ] || mancanti+=("motore Firebird libEngine12.so (pacchetto firebird3.0-server-core)")
  [ -n "$FB_ISQL" ] || mancanti+=("isql-fb (pacchetto firebird3.0-utils)")
  [ -n "$FB_GFIX" ] || mancanti+=("gfix (pacchetto firebird3.0-utils)")
  [ ${#mancanti[@]} -eq 0 ] && return 0
  local m
  if [ -n "${CI:-}" ]; then
    for m in "${mancanti[@]}"; do echo "FAIL: manca $m; con CI impostata il test fallisce"; done
    exit 1
  fi
  for m in "${mancanti[@]}"; do echo "SKIP: manca $m"; done
  exit 77
}

# The installed engine's folder: plugins/, intl/, firebird.msg.
fb_sistema() {
  local p
  p=$(find /usr/lib /usr/local/lib /opt -path '*firebird*/plugins/libEngine12.so' -print -quit 2>/dev/null)
  [ -n "$p" ] && dirname "$(dirname "$p")"
}

fb_porta_libera() {
  local p
  for _ in $(seq 1 50); do
    p=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

fb_scrivi_conf() {
  cat > "$FB_RADICE/firebird.conf" <<CONF
RemoteServicePort = $FB_PORTA
RemoteBindAddress = 127.0.0.1
ServerMode = Super
SecurityDatabase = $FB_RADICE/security3.fdb
UdfAccess = None
CONF
}

# Starts the server on FB_PORTA; true when it answers there within 20 s.
fb_lancia() {
  FIREBIRD="$FB_RADICE" FIREBIRD_LOCK="$FB_RADICE/lock" FIREBIRD_TMP="$FB_RADICE/tmp" \
    "$FB_BINARIO" -p "$FB_PORTA" >> "$FB_RADICE/server.log" 2>&1 &
  FB_PID=$!
  for _ in $(seq 1 200); do
    kill -0 "$FB_PID" 2>/dev/null || { FB_PID=""; return 1; }
    if (exec 3<>"/dev/tcp/127.0.0.1/$FB_PORTA") 2>/dev/null; then
      # still ours a moment later: a server that lost the port to another would have gone
      sleep 0.2
      kill -0 "$FB_PID" 2>/dev/null && return 0
      FB_PID=""
      return 1
    fi
    sleep 0.1
  done
  fb_ferma
  return 1
}

fb_avvia() {
  local dir="$1"
  shift
  local sistema
  sistema=$(fb_sistema) || true
  [ -n "$sistema" ] || { echo "motore Firebird non trovato"; return 1; }
  FB_RADICE="$dir"
  mkdir -p "$FB_RADICE/lock" "$FB_RADICE/tmp"
  for voce in plugins firebird.msg plugins.conf; do
    [ -e "$sistema/$voce" ] && ln -sfn "$sistema/$voce" "$FB_RADICE/$voce"
  done
  # the character sets' module is refused when it resolves outside the root: a copy
  mkdir -p "$FB_RADICE/intl"
  cp -L "$sistema"/intl/* "$FB_RADICE/intl/"
  {
    echo "security.db = $FB_RADICE/security3.fdb"
    for a in "$@"; do
      echo "${a%%=*} = ${a#*=}"
    done
  } > "$FB_RADICE/databases.conf"
  FB_PORTA=3050 # placeholder until a free one is chosen; the file is rewritten below
  fb_scrivi_conf
  # the security database, made here with the password every routine uses by default
  echo "CREATE DATABASE '$FB_RADICE/security3.fdb' USER SYSDBA;
CREATE OR ALTER USER SYSDBA PASSWORD 'pinecrest' USING PLUGIN Srp; COMMIT;" |
    FIREBIRD="$FB_RADICE" FIREBIRD_LOCK="$FB_RADICE/lock" FIREBIRD_TMP="$FB_RADICE/tmp" \
      timeout 60 "$FB_ISQL" -q > "$FB_RADICE/sicurezza.log" 2>&1
  [ -s "$FB_RADICE/security3.fdb" ] || { echo "database di sicurezza non creato:"; cat "$FB_RADICE/sicurezza.log"; return 1; }
  for _ in 1 2 3 4 5; do
    FB_PORTA=$(fb_porta_libera) || break
    fb_scrivi_conf
    if fb_lancia; then
      FB_SERVER="127.0.0.1/$FB_PORTA"
      echo "server Firebird di prova su $FB_SERVER (pid $FB_PID)"
      return 0
    fi
  done
  echo "server Firebird non avviato:"
  cat "$FB_RADICE/server.log"
  return 1
}

fb_riavvia() {
  fb_lancia || { echo "server Firebird non riavviato:"; cat "$FB_RADICE/server.log"; return 1; }
}

fb_host_demo() {
  mapfile -t FB_ALIAS < <("$1" aliases "$2" | sed 's/ = /=/')
  fb_avvia "$3" "${FB_ALIAS[@]}" || return 1
  timeout 120 "$1" init "$2" --demo --server "$FB_SERVER" || { echo "init on the server failed"; return 1; }
}

fb_ferma() {
  [ -n "$FB_PID" ] || return 0
  kill -TERM "$FB_PID" 2>/dev/null
  for _ in $(seq 1 30); do
    kill -0 "$FB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$FB_PID" 2>/dev/null; then
    kill -KILL "$FB_PID" 2>/dev/null
    for _ in $(seq 1 100); do
      kill -0 "$FB_PID" 2>/dev/null || break
      sleep 0.1
    done
  fi
  wait "$FB_PID" 2>/dev/null
  FB_PID=""
}

fb_isql() {
  timeout 60 "$FB_ISQL" -q -user SYSDBA -password pinecrest "$FB_SERVER:$1"
}

fb_gfix() {
  timeout 120 "$FB_GFIX" -v -full -user SYSDBA -password pinecrest "$FB_SERVER:$1"
}

. "$(dirname "${BASH_SOURCE[0]}")/../support/attesa.sh"
fb_aspetta() { attendi "$@"; }

fb_prova_demo() {
  tmp=$(mktemp -d)
  pid=""
  trap 'for p in $pid; do kill -9 "$p" 2>/dev/null; done; fb_ferma; rm -rf "$tmp"' EXIT
  export QT_QPA_PLATFORM=offscreen
  host="$tmp/host"
  fb_host_demo "$1" "$host" "$tmp/fb"
}
