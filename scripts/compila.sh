#!/usr/bin/env bash
# Configures and builds everything in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build.log 2>&1 || { cat build.log; exit 1; }
ninja -C build -j"$(nproc)" >> build.log 2>&1 || { tail -80 build.log; exit 1; }
