#!/usr/bin/env bash
# Installs what is missing, builds, writes the sample data set beside the
# program and starts Ostrapel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
bin=${OSTRAPEL_BUILD_DIR:-$root/build}/bin
"$bin/ostrapel-sampledata" "$bin"
exec "$bin/ostrapel" "$@"
