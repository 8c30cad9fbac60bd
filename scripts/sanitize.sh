#!/usr/bin/env bash
# Builds Ostrapel with AddressSanitizer and UndefinedBehaviorSanitizer
# (float-cast-overflow included) into build-sanitize/ (or
# $OSTRAPEL_SANITIZE_DIR) and runs every test headless, the seeded mutation
# test of loading the sample set among them. Any sanitizer finding ends the
# test that made it, so the run fails. $OSTRAPEL_JOBS limits the parallel
# jobs (all cores by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build=${OSTRAPEL_SANITIZE_DIR:-$root/build-sanitize}
jobs=${OSTRAPEL_JOBS:-$(nproc)}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSTRAPEL_SANITIZE=ON -DOSTRAPEL_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

log=$build/sanitize.log
ctest --test-dir "$build" --output-on-failure --parallel "$jobs" 2>&1 | tee "$log"
if grep -E "ERROR: (Address|Leak)Sanitizer|runtime error:" "$log" >/dev/null; then
  echo "sanitize.sh: the sanitizers reported findings (see $log)" >&2
  exit 1
fi
echo "sanitize.sh: every test passed without a sanitizer finding"
