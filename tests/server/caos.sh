#!/usr/bin/env bash
# The chaos run on a Firebird server of its own on 127.0.0.1, by hand (it is
# not part of the tests that CI runs):
#
#   bash tests/server/caos.sh build/bin/tovaris [SEED] [MINUTES]
#
# The demo company is made on the server, then `tovaris caos` works on it with
# the server stopped (SIGTERM or SIGKILL) and started again at random moments,
# and ends the host with SIGTERM; the checks of the run (gfix, limbo, work owed,
# the archives' invariants) go through the server. The exit code is the run's.
tovaris="$1"
seme="${2:-$(( ($(date +%s%N) / 1000) % 1000000 ))}"
minuti="${3:-5}"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
fb_prova_demo "$tovaris" || exit 1
"$tovaris" caos "$host" --seed "$seme" --minutes "$minuti" --server "$FB_SERVER" | tee "$tmp/caos.out"
esito=${PIPESTATUS[0]}
# the run may have started the server again: the one to stop is the one it names
nuovo=$(sed -n 's/^server pid \([0-9]*\)$/\1/p' "$tmp/caos.out" | tail -1)
[ -n "$nuovo" ] && [ "$nuovo" != 0 ] && FB_PID="$nuovo"
if [ -n "${QUINTAR_CAOS_LOG:-}" ]; then
  cp "$host/caos.log" "$QUINTAR_CAOS_LOG" 2>/dev/null
fi
exit "$esito"
