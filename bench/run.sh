#!/usr/bin/env bash
# Benchmarks vorn2shp end to end on generated maps (Release build).
#
#   bench/run.sh [runs] [build-dir]   default 5 runs per size (the median is
#                                     reported) and build/bench
#
# For 100,000 and 1,000,000 tuples it prints wall seconds, tuples per second,
# CPU seconds (user + system, steadier than wall on a shared machine), peak
# resident memory, the time of a plain copy of the input as the floor (the
# fastest of the runs' copies),
# the time of each stage (taken from the transcript lines as they appear) and
# a checksum of every output file. It then times the merge of one object of
# 10,000 and of 100,000 triangles, and the conversion of one object of 10,000
# overlapping triangles, whose outline is their exact union.
#
# Then it times one object whose .def line holds 100,000 and 1,000,000 values,
# and a .info that declares 1,000,000 field names: each run ends at the
# table limit (checked), and the time to get there must grow in proportion to
# the line. time_column_names times the naming of 100,000 and 1,000,000
# clashing columns.
#
# Every case's outputs are compared with bench/expected-checksums.txt, the
# bytes the converter wrote before any speed work: MATCH or DIFFER per case.
# check_number_text first compares the fast number routes with the C
# library. The exit status is 1 when anything differs.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-5}"
build="${2:-$root/build/bench}"
expected="$root/bench/expected-checksums.txt"
"$root/scripts/setup.sh" bench

differing=0

# A build directory that exists keeps its settings; it has to be a Release one.
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake -S "$root" -B "$build" -DVORN2SHP_BUILD_BENCH=ON >/dev/null
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
  echo "run.sh: $build is not a Release build" >&2
  exit 2
fi
cmake --build "$build" -j 2 --target vorn2shp generate_map check_number_text time_column_names >/dev/null
if ! "$build/bench/check_number_text"; then
  differing=1
fi
binary="$build/src/driver/vorn2shp"
generator="$build/bench/generate_map"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorn2shp-bench-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Runs the converter once in $scratch/run, writing "<wall> <rss-kb> <user> <sys>" and the
# stage boundaries (seconds since start, one "<time> <line>" per transcript line).
convert_once() {
  local input="$1" stages="$2"
  rm -rf "$scratch/run" && mkdir "$scratch/run"
  (
    cd "$scratch/run"
    local start=$EPOCHREALTIME
    /usr/bin/time -f "%e %M %U %S" -o "$scratch/time.txt" "$binary" "$input" out |
      while IFS= read -r line; do
        echo "$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.3f", b-a}') $line"
      done >"$stages"
  )
}

stage_times() {
  awk '
    /Initial File Processing Done/ {prep=$1}
    /Parsing Done/ {parse=$1}
    /Conversion Process Done/ {translate=$1}
    /Final output in .eff format/ {export=$1}
    END {printf "prepare %.3f  parse %.3f  translate %.3f  export %.3f\n",
                prep, parse-prep, translate-parse, export-translate}' "$1"
}

bench_size() {
  local tuples="$1"
  local dir="$scratch/map-$tuples"
  mkdir -p "$dir"
  "$generator" "$dir/map" "$tuples" 42 2>/dev/null
  local walls=() rss=() copies=() cpus=()
  for ((i = 0; i < runs; i++)); do
    local start=$EPOCHREALTIME
    cp "$dir/map.txt" "$scratch/copy.txt"
    copies+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.3f", b-a}')")
    rm -f "$scratch/copy.txt"
    convert_once "$dir/map.txt" "$scratch/stages-$i.txt"
    read -r wall kb user system <"$scratch/time.txt"
    walls+=("$wall"); rss+=("$kb"); cpus+=("$(awk -v u="$user" -v s="$system" 'BEGIN{print u + s}')")
  done
  local wall copy peak cpu
  wall=$(printf '%s\n' "${walls[@]}" | median)
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  copy=$(printf '%s\n' "${copies[@]}" | sort -g | head -1)
  peak=$(printf '%s\n' "${rss[@]}" | sort -g | tail -1)
  echo "== $tuples tuples ($(du -m "$dir/map.txt" | cut -f1) MB input), median of $runs runs"
  awk -v w="$wall" -v n="$tuples" -v c="$copy" -v m="$peak" -v u="$cpu" 'BEGIN {
    printf "wall %.2f s, %.0f tuples/s, cpu %.2f s, peak RSS %.1f MiB, cp %.3f s, ratio to cp %.1f\n",
           w, n / (w > 0 ? w : 0.001), u, m / 1024, c, w / (c > 0 ? c : 0.001) }'
  echo "stages (last run): $(stage_times "$scratch/stages-$((runs - 1)).txt")"
  echo "file hand-offs alone: $(handoff_time "$copy")"
  check_outputs "tuples-$tuples"
}

# The stages hand their work on through files: the time of just copying the
# bytes the last run wrote (each file once, with cat), the fastest of three,
# and its ratio to the plain cp of the input. No conversion can be faster
# than this part of it.
handoff_time() {
  local copy="$1" best="" i start took file
  for ((i = 0; i < 3; i++)); do
    start=$EPOCHREALTIME
    for file in first.imd def.imd DBF\$\$\$.fld second.imd output.eff.imd out.shp out.shx out.dbf; do
      cat "$scratch/run/$file" >"$scratch/handoff.copy"
    done
    took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.3f", b-a}')
    rm -f "$scratch/handoff.copy"
    if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN{exit !(t < b)}'; then
      best="$took"
    fi
  done
  awk -v h="$best" -v c="$copy" -v mb="$(du -cm "$scratch/run"/*.imd "$scratch/run"/out.* | tail -1 | cut -f1)" \
    'BEGIN { printf "%d MB in %.3f s, %.1f times the cp\n", mb, h, h / (c > 0 ? c : 0.001) }'
}

# Compares the outputs of the last run with the recorded checksums of `case`.
check_outputs() {
  local case="$1" file sum want verdict="MATCH"
  for file in output.eff.imd out.shp out.shx out.dbf; do
    sum=$(sha256sum "$scratch/run/$file" | cut -d' ' -f1)
    want=$(awk -v c="$case" -v f="$file" '$1 == c && $2 == f {print $3}' "$expected")
    if [ "$sum" != "$want" ]; then
      verdict="DIFFER"
      echo "  $file: $sum, expected ${want:-(none recorded)}"
    fi
  done
  echo "checksums $case: $verdict"
  if [ "$verdict" = DIFFER ]; then
    differing=1
  fi
}

bench_merge() {
  local triangles="$1"
  local dir="$scratch/object-$triangles"
  mkdir -p "$dir"
  "$generator" "$dir/map" 1 42 "$triangles" 2>/dev/null
  local times=()
  for ((i = 0; i < runs; i++)); do
    convert_once "$dir/map.txt" "$scratch/stages.txt"
    times+=("$(awk '/Parsing Done/ {p=$1} /Conversion Process Done/ {t=$1} END {printf "%.3f", t-p}' "$scratch/stages.txt")")
  done
  printf '%s\n' "${times[@]}" | median >"$scratch/merge-$triangles.txt"
  check_outputs "object-$triangles"
}

# One object with a .def line of `values` values, or (kind "info") a .info
# declaring that many field names. The run stops at the table limit; its
# median wall time goes to $scratch/wide-<kind>-<values>.txt.
bench_wide() {
  local values="$1" kind="$2"
  local dir="$scratch/wide-$kind-$values"
  mkdir -p "$dir"
  echo 'w(id, x, y) :- id = 1, 0x + 1y >= 1, -1x + 1y <= 0, 1x + 1y <= 6.' >"$dir/map.txt"
  if [ "$kind" = def ]; then
    seq -f 'v%.0f' 1 "$values" | paste -sd, >"$dir/map.def"
    printf 'map\nMap(name).\n' >"$dir/map.info"
  else
    echo a >"$dir/map.def"
    { echo map; printf 'Map('; seq -f 'n%.0f' 1 "$values" | paste -sd, | tr -d '\n'; echo ').'; } >"$dir/map.info"
  fi
  local walls=() status wall label="values on one .def line"
  [ "$kind" = def ] || label="field names in the .info"
  for ((i = 0; i < runs; i++)); do
    rm -rf "$scratch/run" && mkdir "$scratch/run"
    status=0
    (cd "$scratch/run" && /usr/bin/time -f "%e" -o "$scratch/time.txt" \
      "$binary" "$dir/map.txt" out >/dev/null 2>"$scratch/wide.err") || status=$?
    walls+=("$(tail -1 "$scratch/time.txt")")
  done
  wall=$(printf '%s\n' "${walls[@]}" | median)
  echo "$wall" >"$scratch/wide-$kind-$values.txt"
  local verdict=MATCH
  if [ "$status" -ne 1 ] || ! grep -q 'a dBASE table holds at most 1310 text columns' "$scratch/wide.err" ||
    [ -e "$scratch/run/out.shp" ]; then
    verdict=DIFFER
    differing=1
  fi
  echo "$values $label: wall $wall s, table-limit stop $verdict"
}

# One object of 10,000 triangles that each overlap their neighbours: its
# outline is the exact union of the triangles. Prints the median wall time of
# the whole conversion against the goal of half a second, and checks that the
# object did take the union.
bench_union() {
  local triangles="$1"
  local dir="$scratch/union-$triangles"
  mkdir -p "$dir"
  "$generator" "$dir/map" 1 42 "$triangles" overlapping 2>/dev/null
  local walls=() translations=()
  for ((i = 0; i < runs; i++)); do
    convert_once "$dir/map.txt" "$scratch/stages.txt" 2>/dev/null
    walls+=("$(cut -d' ' -f1 "$scratch/time.txt")")
    translations+=("$(awk '/Parsing Done/ {p=$1} /Conversion Process Done/ {t=$1} END {printf "%.3f", t-p}' "$scratch/stages.txt")")
  done
  local wall translation
  wall=$(printf '%s\n' "${walls[@]}" | median)
  translation=$(printf '%s\n' "${translations[@]}" | median)
  echo "== one object of $triangles overlapping triangles (exact union), median of $runs runs"
  awk -v w="$wall" -v t="$translation" 'BEGIN {
    printf "whole conversion %.2f s (goal: under 0.5 s), translation with the union %.3f s\n", w, t }'
  if ! (cd "$scratch/run" && "$binary" "$dir/map.txt" out 2>&1 >/dev/null) |
       grep -q 'the outline is the exact union of them'; then
    echo "union-$triangles: the object did not take the union"
    differing=1
  fi
}

bench_size 100000
bench_size 1000000
bench_merge 10000
bench_merge 100000
small=$(cat "$scratch/merge-10000.txt")
large=$(cat "$scratch/merge-100000.txt")
echo "== one object: translation with merge, median of $runs runs"
awk -v s="$small" -v l="$large" 'BEGIN {
  printf "10,000 triangles %.3f s, 100,000 triangles %.3f s, ratio %.1f (10 is linear)\n",
         s, l, l / (s > 0 ? s : 0.001) }'
echo "== wide attribute lines: median of $runs runs"
bench_wide 100000 def
bench_wide 1000000 def
bench_wide 1000000 info
awk -v s="$(cat "$scratch/wide-def-100000.txt")" -v l="$(cat "$scratch/wide-def-1000000.txt")" 'BEGIN {
  printf "ratio 1,000,000 / 100,000 values %.1f (10 is linear)\n", l / (s > 0 ? s : 0.001) }'
"$build/bench/time_column_names"
bench_union 10000
exit "$differing"
