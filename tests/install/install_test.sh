#!/bin/sh
# Installs the build into a scratch DESTDIR, as a package build does, and
# checks what lands there: exactly the binary, the manual page and the
# documentation with the example; the page renders without a warning and
# describes every option that --help lists; the installed binary converts
# the installed example.
#
#   VORN2SHP_BUILD_DIR=build/release tests/install/install_test.sh
set -eu

cmake="${CMAKE_COMMAND:-cmake}"
build="${VORN2SHP_BUILD_DIR:?set VORN2SHP_BUILD_DIR to the build directory to install}"
prefix=/usr/local
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vorn2shp-install-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
  echo "install_test: $*" >&2
  failed=1
}

DESTDIR="$scratch/stage" "$cmake" --install "$build" --prefix "$prefix" >/dev/null
root="$scratch/stage$prefix"

cat >"$scratch/expected" <<'LIST'
bin/vorn2shp
share/doc/vorn2shp/LICENSE
share/doc/vorn2shp/README.md
share/doc/vorn2shp/examples/town.def
share/doc/vorn2shp/examples/town.info
share/doc/vorn2shp/examples/town.txt
share/man/man1/vorn2shp.1
LIST
(cd "$scratch/stage" && find . ! -type d | sed "s|^\./${prefix#/}/||" | LC_ALL=C sort) \
  >"$scratch/installed"
diff -u "$scratch/expected" "$scratch/installed" >&2 || fail "the installed files are not the expected ones"
[ -x "$root/bin/vorn2shp" ] || fail "bin/vorn2shp is not executable"

if ! command -v man >/dev/null; then
  echo "install_test: man is needed (Debian package man-db; scripts/setup.sh test installs it)" >&2
  exit 1
fi
page="$root/share/man/man1/vorn2shp.1"
warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || fail "man -l failed"
[ -z "$warnings" ] || fail "man reports: $warnings"
rendered="$(MANWIDTH=80 man -l "$page" 2>/dev/null)"
for option in $("$root/bin/vorn2shp" --help | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,'); do
  printf '%s\n' "$rendered" | grep -qe "$option" || fail "the manual page does not describe $option"
done
version="$("$root/bin/vorn2shp" --version)"
printf '%s\n' "$rendered" | grep -q "$version" || fail "the manual page is not that of $version"

mkdir "$scratch/work"
if ! (cd "$scratch/work" && "$root/bin/vorn2shp" -q "$root/share/doc/vorn2shp/examples/town.txt" town); then
  fail "the installed binary could not convert the installed example"
fi
for extension in shp shx dbf; do
  [ -s "$scratch/work/town.$extension" ] || fail "the example gave no town.$extension"
done
exit "$failed"
