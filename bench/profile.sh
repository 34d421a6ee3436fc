#!/usr/bin/env bash
# Counts the instructions each stage of vorn2shp executes, under valgrind's
# callgrind: a measure that the other work on the machine does not disturb,
# for comparing one build with another.
#
#   bench/profile.sh [tuples] [build-dir] [map]   default 100000, build/bench
#                                                 and the generated map; map
#                                                 "world" takes the real map
#                                                 of bench/real_map.sh
#
# Prints the instructions of each stage and of the whole run, and leaves the
# callgrind profile behind for callgrind_annotate.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
tuples="${1:-100000}"
build="${2:-$root/build/bench}"
map="${3:-generated}"
"$root/scripts/setup.sh" profile
[ "$map" != world ] || "$root/scripts/setup.sh" bench
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake -S "$root" -B "$build" -DVORN2SHP_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target vorn2shp generate_map >/dev/null

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorn2shp-profile-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
if [ "$map" = world ]; then
  base=$("$root/bench/real_map.sh" "$tuples")
  cp "$base.txt" "$scratch/map.txt"
  cp "$base.def" "$scratch/map.def"
  cp "$base.info" "$scratch/map.info"
else
  "$build/bench/generate_map" "$scratch/map" "$tuples" 42 2>/dev/null
fi
profile="$PWD/callgrind.vorn2shp.$tuples.out"
(cd "$scratch" && valgrind --tool=callgrind --callgrind-out-file="$profile" \
  "$build/src/driver/vorn2shp" map.txt out >/dev/null 2>"$scratch/valgrind.txt")

# Only the summary lines, which name the binary, and not the annotated
# source lines further down that mention the same functions.
callgrind_annotate --inclusive=yes "$profile" 2>/dev/null | awk -v n="$tuples" '
  function count(text) { gsub(",", "", text); return text + 0 }
  /PROGRAM TOTALS/ { total = count($1) }
  !/ \[/ { next }
  /InputPreparer::prepare\(/ && !prepare { prepare = count($1) }
  /Parser::initialize\(/ && !initialize { initialize = count($1) }
  /Parser::parse\(/ && !parse { parse = count($1) }
  /Translator::translate\(/ && !translate { translate = count($1) }
  /exportShapefile\(/ && !export { export = count($1) }
  # The translation reads its tuples on a thread of its own.
  /_M_run\(/ && /BatchFeed/ && !tupleFeed { tupleFeed = count($1) }
  END {
    printf "%d tuples, instructions (millions) per stage:\n", n
    printf "  prepare %.0f  parse %.0f  translate %.0f (+%.0f reading on its own thread)" \
           "  export %.0f\n",
           prepare / 1e6, (initialize + parse) / 1e6, translate / 1e6, tupleFeed / 1e6,
           export / 1e6
    printf "  whole run %.0f\n", total / 1e6
  }'
echo "profile: $profile"
