#!/usr/bin/env bash
# Shared by the configuration-screen scenarios: a demo host folder and a way
# to run one script of UI actions on it (the script comes on standard input).
set -u
tovaris="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
"$tovaris" init "$tmp/host" --demo > /dev/null || { echo "init failed"; exit 1; }

scenario() {
  local nome="$1"
  cat > "$tmp/$nome.txt"
  "$tovaris" script "$tmp/host" "$tmp/$nome.txt" || { echo "scenario '$nome' failed"; exit 1; }
}
