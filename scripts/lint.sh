#!/usr/bin/env bash
# clang-tidy (the checks in .clang-tidy) over every source file in src/ that
# BUILD compiles, with BUILD's compile_commands.json. Fails on any finding.
#
#   lint.sh [BUILD]
set -euo pipefail

root=$(realpath "$(dirname "$0")/..")
build=$(realpath "${1:-$root/build/release}")
commands="$build/compile_commands.json"
[ -f "$commands" ] || { echo "no $commands: configure the build first" >&2; exit 1; }

mapfile -t files < <(grep -o '"file": "[^"]*"' "$commands" | sed -E 's/^"file": "(.*)"$/\1/' |
  grep "^$root/src/" | sort -u)
[ ${#files[@]} -gt 0 ] || { echo "no sources of src/ in $commands" >&2; exit 1; }

echo "clang-tidy on ${#files[@]} files"
# clang-tidy counts the warnings it hid in system headers on stderr; only
# findings matter.
printf '%s\n' "${files[@]}" |
  xargs -P "${JOBS:-$(nproc)}" -n 4 clang-tidy -p "$build" --quiet 2> >(grep -v 'warnings\? generated\.$' >&2)
