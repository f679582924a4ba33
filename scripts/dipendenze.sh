#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
pacchetti=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libqt6printsupport6
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
  pxlib-dev libzint-dev libcups2-dev
  libgtest-dev
  poppler-utils zbar-tools
)
mancanti=()
for p in "${pacchetti[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || mancanti+=("$p")
done
if [ ${#mancanti[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installo: ${mancanti[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${mancanti[@]}"
fi
