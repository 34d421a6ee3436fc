#!/usr/bin/env bash
# Checks the sources' format, runs every fuzz harness, then builds vorn2shp
# twice, with AddressSanitizer and UndefinedBehaviorSanitizer and plainly,
# and runs the whole test suite under both.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" test

werror=OFF
if [ -n "${CI:-}" ]; then
  werror=ON
fi

build_and_test() {
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" -DBUILD_TESTING=ON -DVORN2SHP_WARNINGS_AS_ERRORS="$werror" "$@" >/dev/null
  cmake --build "$dir" -j 2
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j 2)
}

echo "== format (scripts/format.sh formats the sources in place)"
"$root/scripts/format.sh" --check

echo "== fuzzing: every harness for ${VORN2SHP_FUZZ_SECONDS:-60} seconds"
"$root/fuzz/run.sh" "${VORN2SHP_FUZZ_SECONDS:-60}"

echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DVORN2SHP_SANITIZE=ON

echo "== release build"
build_and_test "$root/build/release" -DCMAKE_BUILD_TYPE=Release
