#!/usr/bin/env bash
# Puts a host folder's archives on this machine's Firebird server, so that
# several people share them (see docs/server.md). Run as root on Debian 12:
#
#   scripts/server.sh DIR [ADDRESS] [--demo]
#
# ADDRESS is where the server listens and what dati.ini names (default
# 127.0.0.1, this machine only; the machine's LAN address to serve others).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "uso: scripts/server.sh DIR [INDIRIZZO] [--demo]"; exit 2; }
dir=$(realpath -m "$1")
indirizzo=127.0.0.1
demo=()
for a in "${@:2}"; do
  case "$a" in
    --demo) demo=(--demo) ;;
    *) indirizzo="$a" ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "scripts/server.sh va eseguito come root (sudo)"; exit 1; }

scripts/dipendenze.sh
scripts/compila.sh
if ! dpkg-query -W -f='${Status}' firebird3.0-server 2>/dev/null | grep -q "install ok installed"; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq firebird3.0-server
fi
conf=/etc/firebird/3.0
sicurezza=/var/lib/firebird/3.0/system/security3.fdb
servizio() { systemctl "$1" firebird3.0 2>/dev/null || service firebird3.0 "$1"; }

# the server binds to the chosen address only
servizio stop || true
if grep -q '^[[:space:]]*RemoteBindAddress' "$conf/firebird.conf"; then
  sed -i "s|^[[:space:]]*RemoteBindAddress.*|RemoteBindAddress = $indirizzo|" "$conf/firebird.conf"
else
  echo "RemoteBindAddress = $indirizzo" >> "$conf/firebird.conf"
fi

# SYSDBA gets the password every routine of the library uses by default
echo "CREATE OR ALTER USER SYSDBA PASSWORD 'pinecrest' USING PLUGIN Srp; COMMIT;" |
  timeout 60 isql-fb -q -user SYSDBA "$sicurezza"
chown firebird:firebird "$sicurezza"

# the archives as aliases (an older line for the same alias is replaced)
build/bin/tovaris aliases "$dir" > /tmp/quintar-alias.$$
while read -r alias _ _; do
  sed -i "/^[[:space:]]*$alias[[:space:]]*=/d" "$conf/databases.conf"
done < /tmp/quintar-alias.$$
cat /tmp/quintar-alias.$$ >> "$conf/databases.conf"

# the server writes the archive files: their folders belong to it
while read -r _ _ file; do
  install -d -o firebird -g firebird "$(dirname "$file")"
done < /tmp/quintar-alias.$$
rm -f /tmp/quintar-alias.$$

servizio start
for _ in $(seq 1 100); do
  (exec 3<>"/dev/tcp/$indirizzo/3050") 2>/dev/null && break
  sleep 0.2
done
(exec 3<>"/dev/tcp/$indirizzo/3050") 2>/dev/null || { echo "il server non risponde su $indirizzo:3050"; exit 1; }

if [ -f "$dir/user/user.fdb" ]; then
  echo "archivi già presenti in $dir: lasciati come sono"
else
  QT_QPA_PLATFORM=offscreen build/bin/tovaris init "$dir" "${demo[@]}" --server "$indirizzo"
fi
echo "server pronto: i dati.ini in $dir mandano la libreria a $indirizzo"
