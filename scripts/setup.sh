#!/usr/bin/env bash
# Installs the Debian packages that a profile needs and are not yet there.
#   setup.sh build   compiler, CMake, shapelib, GEOS
#   setup.sh test    the above, GoogleTest, GDAL's command-line tools, clang with its
#                    fuzzer runtime, clang-format (the format check), man (the install
#                    test renders the manual page)
#   setup.sh bench   the above build set, GNU time, GDAL's command-line tools (the peers
#                    the converter is timed against) and node with npm (they make the
#                    real map)
#   setup.sh profile the above build set and valgrind (bench/profile.sh)
set -euo pipefail

profile="${1:-build}"
packages=(g++ cmake make pkg-config libshp-dev libgeos-dev)
case "$profile" in
  build) ;;
  test) packages+=(libgtest-dev gdal-bin clang libclang-rt-dev clang-format man-db) ;;
  bench)
    packages+=(time gdal-bin nodejs)
    # Some builds of nodejs bring npm along; Debian's own comes as a package.
    command -v npm >/dev/null || packages+=(npm)
    ;;
  profile) packages+=(valgrind) ;;
  *) echo "setup.sh: unknown profile '$profile' (build, test, bench or profile)" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup.sh: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
