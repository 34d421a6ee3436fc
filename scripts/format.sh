#!/usr/bin/env bash
# Formats the C++ sources of src, tests, bench and fuzz with the checked-in
# .clang-format.
#
#   scripts/format.sh           formats them in place
#   scripts/format.sh --check   changes nothing: names what differs and exits with 1
#                               when any file does (scripts/test.sh runs this)
#
# The files are those git knows of, and new ones not yet added (ignored
# ones aside). clang-format comes from Debian's package (setup.sh test);
# another version may lay some lines out differently.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac

cd "$root"
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
  'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' | sort -u)
# A file deleted but not yet staged is still listed by git.
present=()
for file in "${files[@]}"; do
  [ -f "$file" ] && present+=("$file")
done

if [ "$check" -eq 0 ]; then
  clang-format -i "${present[@]}"
  exit 0
fi
if ! clang-format --dry-run -Werror "${present[@]}"; then
  echo "format.sh: these sources differ from .clang-format; scripts/format.sh formats them" >&2
  exit 1
fi
echo "format.sh: ${#present[@]} sources follow .clang-format"
