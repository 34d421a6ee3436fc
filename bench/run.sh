#!/usr/bin/env bash
# Benchmarks vorn2shp end to end (Release build).
#
#   bench/run.sh [runs] [build-dir]   default 5 runs per case (the median is
#                                     reported) and build/bench
#
# First a real map: the countries of Natural Earth at the finest scale
# (10m), triangulated by earcut, repeated side by side up to 100,000 and
# 1,000,000 tuples (scripts/make_world_map.mjs; the maps are kept in
# build/maps, so reruns do not make them again). For each size it times, in
# the same run: vorn2shp (wall and CPU seconds, peak resident memory, each
# stage's time taken from the transcript as it appears); GDAL's ogr2ogr
# writing the finished polygons from a WKT CSV to a shapefile, the CSV made
# once from vorn2shp's own shapefile (the peer that only writes); ogr2ogr
# dissolving the triangles per id with SQLite's ST_Union (the peer that
# does the same job; on the 1,000,000 case it is timed three times at most,
# as one run takes half a minute); and the file hand-offs alone (copying,
# with cat, the bytes the stages hand on through files). It prints the
# ratios to each, against the targets.
#
# The same real map of 1,000,000 tuples follows as a producer of rounded
# lines writes it: every line normalised and printed with 8 and with 6
# decimals, so that shared corners disagree, its two copies laid over one
# another in degrees as a real map's (bench/real_map.sh); each is timed against the map
# written exactly (target: at most 1.2 times its time), with the number of
# objects called overlapping in each.
#
# Then the generated maps (bench/generate_map.cpp, seed 42): 100,000 and
# 1,000,000 tuples, one object of 10,000 and of 100,000 triangles (the
# translation with its merge), and one object of 10,000 overlapping
# triangles, whose outline is their exact union. One object of 10,000 and
# one of 50,000 random overlapping triangles (sides of 1 to 10 in a square
# of 100, lines written with 6 decimals) are timed against GEOS's own union
# of the same triangles (bench/geos_union.cpp; target: at most twice its
# time and its peak memory).
#
# Then it times one object whose .def line holds 100,000 and 1,000,000 values,
# and a .info that declares 1,000,000 field names: each run ends at the
# table limit (checked), and the time to get there must grow in proportion to
# the line. time_column_names times the naming of 100,000 and 1,000,000
# clashing columns.
#
# Every case's outputs are compared with bench/expected-checksums.txt:
# MATCH or DIFFER per case. check_number_text first compares the
# converter's own number routes with the C library. The exit status is 1 when anything
# differs. The load average is printed before and after: other work on the
# machine slows the runs, CPU seconds less than wall seconds.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-5}"
build="${2:-$root/build/bench}"
expected="$root/bench/expected-checksums.txt"
"$root/scripts/setup.sh" bench
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
# A fresh virtual machine pays several times more for a page it has never
# given out than for one it has: the memory is touched once, so that the
# first runs measured do not pay for it.
dd if=/dev/zero of=/dev/null bs=1G count=2 2>/dev/null

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
cmake --build "$build" -j 2 --target vorn2shp generate_map check_number_text time_column_names \
  geos_union >/dev/null
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
    /usr/bin/time -f "%e %M %U %S" -o "$scratch/time.txt" "$binary" "$input" out 2>"$scratch/warnings.txt" |
      while IFS= read -r line; do
        echo "$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN{printf "%.3f", b-a}') $line"
      done >"$stages"
  )
}

# The seconds of each stage in a transcript file: prepare, parse,
# translate, export.
stage_times() {
  awk '
    /Initial File Processing Done/ {prep=$1}
    /Parsing Done/ {parse=$1}
    /Conversion Process Done/ {translate=$1}
    /Final output in .eff format/ {export=$1}
    END {printf "%.3f %.3f %.3f %.3f\n", prep, parse-prep, translate-parse, export-translate}' "$1"
}

describe_stages() {
  awk '{printf "prepare %.3f  parse %.3f  translate %.3f  export %.3f s", $1, $2, $3, $4}'
}

# Each column's median over the lines of a file of numbers.
column_medians() {
  local file="$1" columns column medians=()
  columns=$(head -1 "$file" | wc -w)
  for ((column = 1; column <= columns; column++)); do
    medians+=("$(cut -d' ' -f"$column" "$file" | median)")
  done
  echo "${medians[*]}"
}

# Runs a command `count` times under GNU time, from $scratch/peer; prints
# the median wall and CPU seconds and the peak RSS in KiB.
time_peer() {
  local count="$1"
  shift
  : >"$scratch/peer-times.txt"
  for ((i = 0; i < count; i++)); do
    rm -rf "$scratch/peer" && mkdir "$scratch/peer"
    (cd "$scratch/peer" && /usr/bin/time -f "%e %M %U %S" -o "$scratch/time.txt" "$@" >/dev/null 2>&1)
    awk '{print $1, $3 + $4, $2}' "$scratch/time.txt" >>"$scratch/peer-times.txt"
  done
  echo "$(column_medians "$scratch/peer-times.txt" | cut -d' ' -f1-2)" \
    "$(sort -g -k3 "$scratch/peer-times.txt" | tail -1 | cut -d' ' -f3)"
}

# Converts `input` $runs times: "<wall> <cpu> <rss-kb>" a line in
# $scratch/runs.txt, the stage times a line in $scratch/stages.txt.
time_conversions() {
  local input="$1"
  : >"$scratch/runs.txt"
  : >"$scratch/stages.txt"
  for ((i = 0; i < runs; i++)); do
    convert_once "$input" "$scratch/transcript.txt"
    awk '{print $1, $3 + $4, $2}' "$scratch/time.txt" >>"$scratch/runs.txt"
    stage_times "$scratch/transcript.txt" >>"$scratch/stages.txt"
  done
}

# The wall seconds of the exact real map of 1,000,000 tuples, once measured.
exact_wall=""

bench_real_map() {
  local tuples="$1"
  local base
  base=$("$root/bench/real_map.sh" "$tuples")
  local count objects
  count=$(grep -c '^country' "$base.txt")
  objects=$(wc -l <"$base.def")
  time_conversions "$base.txt"
  local wall cpu peak
  read -r wall cpu _ < <(column_medians "$scratch/runs.txt")
  peak=$(sort -g -k3 "$scratch/runs.txt" | tail -1 | awk '{print $3}')
  exact_wall="$wall"
  local handoff megabytes
  read -r handoff megabytes < <(handoff_seconds)
  check_outputs "world-$tuples" >"$scratch/verdict.txt"

  # The write-only peer reads vorn2shp's own polygons, as WKT.
  (cd "$scratch/run" && ogr2ogr -f CSV -lco GEOMETRY=AS_WKT "$scratch/polygons.csv" out.shp)
  local write_wall write_cpu write_peak
  read -r write_wall write_cpu write_peak < <(time_peer "$runs" \
    ogr2ogr -f "ESRI Shapefile" polygons.shp "$scratch/polygons.csv")

  cp "$base-triangles.csv" "$scratch/triangles.csv"
  local dissolves="$runs"
  if [ "$tuples" -ge 1000000 ] && [ "$dissolves" -gt 3 ]; then
    dissolves=3
  fi
  local dissolve_wall dissolve_cpu dissolve_peak
  read -r dissolve_wall dissolve_cpu dissolve_peak < <(time_peer "$dissolves" \
    ogr2ogr -f "ESRI Shapefile" dissolved.shp "$scratch/triangles.csv" -dialect sqlite \
    -sql "SELECT id, ST_Union(geometry) AS geometry FROM triangles GROUP BY id" -nlt MULTIPOLYGON)

  echo "== real map: $count tuples in $objects objects ($(du -m "$base.txt" | cut -f1) MB), median of $runs runs"
  awk -v w="$wall" -v c="$cpu" -v m="$peak" 'BEGIN {
    printf "vorn2shp         wall %6.2f s  cpu %6.2f s  peak RSS %6.1f MiB (target: at most 32)\n", w, c, m / 1024 }'
  echo "  stages: $(column_medians "$scratch/stages.txt" | describe_stages)"
  awk -v w="$write_wall" -v c="$write_cpu" -v m="$write_peak" -v v="$wall" 'BEGIN {
    printf "GDAL write       wall %6.2f s  cpu %6.2f s  peak RSS %6.1f MiB; vorn2shp takes %.2f times as long (target: at most 1.5)\n",
           w, c, m / 1024, v / w }'
  awk -v w="$dissolve_wall" -v c="$dissolve_cpu" -v m="$dissolve_peak" -v v="$wall" -v n="$dissolves" 'BEGIN {
    printf "GDAL dissolve    wall %6.2f s  cpu %6.2f s  peak RSS %6.1f MiB (median of %d runs); vorn2shp is %.1f times as fast (target: at least 25)\n",
           w, c, m / 1024, n, w / v }'
  awk -v h="$handoff" -v mb="$megabytes" -v v="$wall" 'BEGIN {
    printf "file hand-offs   wall %6.2f s  (%d MB, fastest of 3 copies); vorn2shp takes %.1f times as long\n", h, mb, v / h }'
  cat "$scratch/verdict.txt"
}

# The real map of `tuples` with every line written to `decimals` decimals,
# against the exact map's time (bench_real_map must have run on that size).
bench_rounded_map() {
  local tuples="$1" decimals="$2"
  local base
  base=$("$root/bench/real_map.sh" "$tuples" "$decimals")
  time_conversions "$base.txt"
  local wall cpu peak overlapping
  read -r wall cpu _ < <(column_medians "$scratch/runs.txt")
  peak=$(sort -g -k3 "$scratch/runs.txt" | tail -1 | awk '{print $3}')
  overlapping=$(sed -n 's/^vorn2shp: \([0-9]*\) objects whose triangles overlap.* in all.*/\1/p' \
    "$scratch/warnings.txt")
  [ -n "$overlapping" ] || overlapping=$(grep -c 'its triangles overlap' "$scratch/warnings.txt" || true)
  echo "== real map, lines written with $decimals decimals: $tuples tuples ($(du -m "$base.txt" | cut -f1) MB), median of $runs runs"
  awk -v w="$wall" -v c="$cpu" -v m="$peak" -v e="$exact_wall" -v o="$overlapping" 'BEGIN {
    printf "vorn2shp         wall %6.2f s  cpu %6.2f s  peak RSS %6.1f MiB; %.2f times the map written exactly (target: at most 1.2); %d objects called overlapping\n",
           w, c, m / 1024, w / e, o }'
  echo "  stages: $(column_medians "$scratch/stages.txt" | describe_stages)"
  check_outputs "world-d$decimals-$tuples"
}

# One object of `triangles` random overlapping triangles against GEOS's own
# union of them.
bench_random_overlaps() {
  local triangles="$1"
  local dir="$scratch/random-$triangles"
  mkdir -p "$dir"
  "$generator" "$dir/map" 1 42 "$triangles" random-overlaps 6 2>/dev/null
  time_conversions "$dir/map.txt"
  local wall cpu peak
  read -r wall cpu _ < <(column_medians "$scratch/runs.txt")
  peak=$(sort -g -k3 "$scratch/runs.txt" | tail -1 | awk '{print $3}')
  local geos_wall geos_cpu geos_peak
  read -r geos_wall geos_cpu geos_peak < <(time_peer "$runs" "$build/bench/geos_union" "$dir/map.wkt")
  echo "== one object of $triangles random overlapping triangles, median of $runs runs"
  awk -v w="$wall" -v m="$peak" -v gw="$geos_wall" -v gm="$geos_peak" 'BEGIN {
    printf "vorn2shp, the whole conversion: wall %.2f s, peak RSS %.1f MiB; GEOS union alone: wall %.2f s, peak RSS %.1f MiB; %.2f times its time, %.2f times its memory (targets: at most 2)\n",
           w, m / 1024, gw, gm / 1024, w / gw, m / gm }'
}

bench_size() {
  local tuples="$1"
  local dir="$scratch/map-$tuples"
  mkdir -p "$dir"
  "$generator" "$dir/map" "$tuples" 42 2>/dev/null
  time_conversions "$dir/map.txt"
  local wall cpu peak handoff megabytes
  read -r wall cpu _ < <(column_medians "$scratch/runs.txt")
  peak=$(sort -g -k3 "$scratch/runs.txt" | tail -1 | awk '{print $3}')
  read -r handoff megabytes < <(handoff_seconds)
  echo "== generated map: $tuples tuples ($(du -m "$dir/map.txt" | cut -f1) MB), median of $runs runs"
  awk -v w="$wall" -v n="$tuples" -v m="$peak" -v u="$cpu" 'BEGIN {
    printf "wall %.2f s, %.0f tuples/s, cpu %.2f s, peak RSS %.1f MiB\n",
           w, n / (w > 0 ? w : 0.001), u, m / 1024 }'
  echo "  stages: $(column_medians "$scratch/stages.txt" | describe_stages)"
  awk -v h="$handoff" -v mb="$megabytes" -v w="$wall" 'BEGIN {
    printf "file hand-offs alone: %d MB in %.3f s; vorn2shp takes %.1f times as long\n", mb, h, w / h }'
  check_outputs "tuples-$tuples"
}

# The stages hand their work on through files: the time of just copying the
# bytes the last run wrote (each file once, with cat), the fastest of three,
# and how many MB they are. No conversion can be faster than this part of it.
handoff_seconds() {
  local best="" i start took file
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
  echo "$best $(du -cm "$scratch/run"/*.imd "$scratch/run"/out.* | tail -1 | cut -f1)"
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

bench_real_map 100000
bench_real_map 1000000
bench_rounded_map 1000000 8
bench_rounded_map 1000000 6
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
bench_random_overlaps 10000
bench_random_overlaps 50000
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$differing"
