#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
pacchetti=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins libqt6printsupport6
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
  pxlib-dev libzint-dev libcups2-dev cups-daemon cups-client
  libgtest-dev
  poppler-utils zbar-tools
  libxlsxwriter-dev python3-openpyxl
)
# What the tests run besides the build: the server tests need /usr/sbin/firebird
# (firebird3.0-server), its engine (firebird3.0-server-core), isql-fb and gfix
# (firebird3.0-utils); the report tests read their PDFs with pdftotext and
# pdftoppm (poppler-utils) and their barcodes with zbarimg (zbar-tools); the label
# test starts a print scheduler of its own (cups-daemon, with lpadmin from
# cups-client), never the system's service; the spreadsheet export writes
# with libxlsxwriter (libxlsxwriter-dev) and its tests read the files back
# with openpyxl (python3-openpyxl). With CI
# set a test whose program is missing fails instead of being skipped.
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
