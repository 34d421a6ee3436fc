#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   fuzz/run.sh [seconds-per-harness] [harness...]
#
# Default: 60 seconds for each of parse, prepare, translate, export, pipeline,
# two at a time. Any crash, leak, sanitizer report or input slower than one
# second fails the run; the input is kept under build/fuzz/artifacts/. The
# corpus grows in build/fuzz/corpus/<harness>, seeded from fuzz/corpus/.
# Run longer with e.g. `fuzz/run.sh 900 translate`.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(parse prepare translate export pipeline)

"$root/scripts/setup.sh" test

build="$root/build/fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORN2SHP_SANITIZE=ON -DVORN2SHP_BUILD_FUZZERS=ON -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" -j 2 >/dev/null

mkdir -p "$build/artifacts"
# The harnesses work in scratch directories under TMPDIR. A commit flushes
# its files to disk, which on a disk costs milliseconds an input: a tmpfs,
# where a flush costs nothing, keeps the harnesses at full speed.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR="$(mktemp -d /dev/shm/vorn2shp-fuzz-run-XXXXXX)"
  export TMPDIR
  trap 'rm -rf "$TMPDIR"' EXIT
fi
run_harness() {
  local name="$1"
  local corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  local seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
       -max_len=16384 -close_fd_mask=3 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$name-" "$corpus" "${seeds[@]}" \
       >"$build/fuzz_$name.log" 2>&1; then
    echo "fuzz_$name: clean, $(grep -E 'stat::number_of_executed_units' "$build/fuzz_$name.log" | awk '{print $2}') executions, $(grep -oE 'cov: [0-9]+' "$build/fuzz_$name.log" | tail -1)"
  else
    echo "fuzz_$name: FAILED (log: $build/fuzz_$name.log)"
    tail -40 "$build/fuzz_$name.log"
    return 1
  fi
}

failed=0
pids=()
names=()
for name in "${harnesses[@]}"; do
  run_harness "$name" &
  pids+=($!)
  names+=("$name")
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found a fault"
  exit 1
fi
echo "fuzzing: all harnesses clean"
