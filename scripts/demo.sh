#!/usr/bin/env bash
# Builds vorn2shp in Release and converts the bundled example map in a scratch
# directory, printing the transcript and the files the run left behind.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" build

cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release \
      -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build/demo" -j 2 --target vorn2shp >/dev/null

scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorn2shp-demo-XXXXXX")"
cd "$scratch"
echo "\$ vorn2shp $root/examples/town.txt town   (in $scratch)"
status=0
"$root/build/demo/src/driver/vorn2shp" "$root/examples/town.txt" town || status=$?
echo "exit status: $status"
echo "files in $scratch:"
ls -l "$scratch"
if [ -f "$scratch/output.eff.imd" ]; then
  echo "output.eff.imd (one outline per object, y negated, then its attributes):"
  tr -d '\r' <"$scratch/output.eff.imd"
  echo
fi
exit "$status"
