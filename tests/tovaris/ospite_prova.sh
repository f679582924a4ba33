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
. "$(dirname "${BASH_SOURCE[0]}")/../support/attesa.sh"
