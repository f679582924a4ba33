#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dipendenze.sh
scripts/compila.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest -j2 --output-on-failure --timeout 600
