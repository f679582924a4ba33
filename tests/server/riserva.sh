#!/usr/bin/env bash
# Attachments kept for reuse across a server restart (riserva.cpp).
set -u
programma="$1"
. "$(dirname "$0")/server_prova.sh"
fb_richiesto
tmp=$(mktemp -d)
trap 'kill -9 "$pid" 2>/dev/null; fb_ferma; rm -rf "$tmp"' EXIT
pid=""
fb_avvia "$tmp/fb" "riserva=$tmp/riserva.fdb" || exit 1
"$programma" "$FB_SERVER:riserva" "$tmp" &
pid=$!
if attendi "$tmp/fermami"; then
  fb_ferma
  fb_riavvia || exit 1
  touch "$tmp/riavviato"
fi
wait "$pid"
rc=$?
pid=""
timeout 60 "$FB_GFIX" -list -user SYSDBA -password pinecrest "$FB_SERVER:riserva"
# the transaction the program left in limbo, ended so that the check finds the archive clean
echo "y" | timeout 60 "$FB_GFIX" -rollback all -user SYSDBA -password pinecrest "$FB_SERVER:riserva" > /dev/null 2>&1
fb_gfix riserva || rc=1
exit $rc
