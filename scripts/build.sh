#!/usr/bin/env bash
# Installs what is missing and builds Ostrapel into build/ (or $OSTRAPEL_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build=${OSTRAPEL_BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${OSTRAPEL_CMAKE_ARGS:-}
fi
cmake --build "$build" --parallel "$(nproc)"
