#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest: first the normal
# build, then the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer, and
# the thread-heavy tests under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/install-deps.sh"

jobs="$(nproc)"
run_ctest() { # DIR [ctest options]
  local dir="$1"; shift
  "$root/scripts/netns.sh" ctest --test-dir "$dir" --output-on-failure --parallel "$jobs" "$@"
}

echo "== build and test"
"$root/scripts/build.sh" build
run_ctest build

if [ "${VELK_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  "$root/scripts/build.sh" build-asan -DSANITIZER=address -DVELK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan -LE nosan

  echo "== ThreadSanitizer"
  "$root/scripts/build.sh" build-tsan -DSANITIZER=thread -DVELK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DVELK_TSAN_ONLY=ON
  # Qt is not instrumented: accesses made inside it (its thread pool's hand-overs) are not
  # judged, ours are. The mail tests start aiosmtpd with a fork from a threaded process.
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 die_after_fork=0 suppressions=$root/tests/tsan.supp" \
    run_ctest build-tsan -L threads
fi
