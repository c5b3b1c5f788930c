#!/usr/bin/env bash
# Builds the fuzz harnesses with clang's libFuzzer (AddressSanitizer + UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each for SECONDS (default 60), one after the other:
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
# Inputs the fuzzer finds new go to build-fuzz/fuzz/<harness>/corpus, a crashing input to
# build-fuzz/fuzz/<harness>/crash-*; the seed corpus in tests/fuzz/corpus/ is only read. Prints
# each harness's execution count; exits 1 when any harness found a fault.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
dir="${VELK_FUZZ_DIR:-$root/build-fuzz}"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh needs clang++ with libFuzzer (Debian: apt-get install clang)" >&2
  exit 2
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELK_FUZZ=ON -DVELK_WERROR=OFF -DVELK_BUILD_BENCH=OFF >/dev/null

# Every harness the build declares, "name corpus" per line.
mapfile -t harnesses < "$dir/fuzz-harnesses.txt"
selected=()
for line in "${harnesses[@]}"; do
  name="${line%% *}"
  if [ $# -eq 0 ] || printf '%s\n' "$@" | grep -qx "$name"; then selected+=("$line"); fi
done
[ ${#selected[@]} -gt 0 ] || { echo "no such harness: $*" >&2; exit 2; }
cmake --build "$dir" --target "${selected[@]%% *}"

failed=0
printf '%-18s %12s %10s  %s\n' harness runs "runs/s" result
for line in "${selected[@]}"; do
  name="${line%% *}"
  seeds="${line#* }"
  work="$dir/fuzz/$name"
  mkdir -p "$work/corpus"
  log="$work/log"
  status=0
  "$dir/bin/$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?
  runs="$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -1)"
  rate="$(awk '/stat::average_exec_per_sec/ {print $2}' "$log" | tail -1)"
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FOUND A FAULT (exit $status): see $log and $work/"
    failed=1
  fi
  printf '%-18s %12s %10s  %s\n' "$name" "${runs:-?}" "${rate:-?}" "$result"
done
exit "$failed"
