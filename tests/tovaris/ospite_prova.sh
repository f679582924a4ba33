# Sourced by the host tests that stop or kill hosts: `tovaris` from the first
# argument, a temporary folder `tmp` removed at the end together with any host
# still running as `pid`, the offscreen platform, and a lock folder of the
# test's own (a killed host leaves the archives as it had them).
set -u
tovaris="$1"
tmp=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
export FIREBIRD_LOCK="$tmp/fblock"
mkdir -p "$FIREBIRD_LOCK"

# waits for FILE to appear while the host PID is alive
attendi() {
  for _ in $(seq 1 600); do
    [ -e "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
