#!/usr/bin/env bash
# Makes the benchmark's real map once and prints its base name: the
# countries of Natural Earth at the finest scale (10m), triangulated by
# earcut, copies side by side up to TUPLES tuples (whole objects).
#
#   bench/real_map.sh TUPLES [DECIMALS]
#       writes build/maps/world10m-TUPLES.{txt,def,info} and -triangles.csv
#       (id and WKT of each triangle); with DECIMALS, the map as a producer
#       of rounded lines writes it, build/maps/world10m-dDECIMALS-TUPLES.*,
#       its copies laid over one another in the range of real longitudes
#       and latitudes (the lines of a copy beside the map, at longitudes of
#       180 to 540, would be rounded to 8 or 6 decimals at twice to three
#       times the magnitude of any real map in degrees)
#
# A map is made again only when scripts/make_world_map.mjs has changed. Node
# and npm must be there (scripts/setup.sh bench).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
tuples="$1"
decimals="${2:-}"
name="world10m-$tuples"
rounding=()
if [ -n "$decimals" ]; then
  name="world10m-d$decimals-$tuples"
  rounding=(--decimals "$decimals" --offset 0,0)
fi
base="$root/build/maps/$name"
stamp="$(sha256sum "$root/scripts/make_world_map.mjs" | cut -d' ' -f1) 10m $tuples ${rounding[*]}"
if [ ! -f "$base.stamp" ] || [ "$(cat "$base.stamp")" != "$stamp" ]; then
  mkdir -p "$(dirname "$base")"
  # One copy holds about 531,000 tuples.
  node "$root/scripts/make_world_map.mjs" --layer 10m --repeat $((tuples / 500000 + 1)) \
    --tuples "$tuples" --out "$base" --triangles "$base-triangles.csv" "${rounding[@]}" \
    2>"$base.log"
  echo "$stamp" >"$base.stamp"
fi
echo "$base"
