#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo archive (once) and opens the host on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dipendenze.sh
scripts/compila.sh
dir="${QUINTAR_DEMO_DIR:-$HOME/quintar-demo}"
if [ ! -f "$dir/user/user.fdb" ]; then
  QT_QPA_PLATFORM=offscreen build/bin/tovaris init "$dir" --demo
fi
exec build/bin/tovaris run "$dir" "$@"
