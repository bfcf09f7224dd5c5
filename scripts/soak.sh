#!/usr/bin/env bash
# The long soak of the launcher under Wine: 10,000 button runs and 1,000 script menus (or the
# numbers given), with its memory, handles, objects and windows before and after, and a check
# that every run reached the log.
#
#   scripts/soak.sh [clicks] [menus]      (default 10000 1000; uses the tree build/i686, or
#                                          build/x86_64 where this machine runs no 32-bit code)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-arch.sh"
build=$root/build/$wine_arch
clicks=${1:-10000}
menus=${2:-1000}
cmake --build "$build" -j2 --target kestrel e2e_soak >/dev/null
files=$build/tests/e2e/soak.files
[ -f "$files/k.ini" ] || { echo "soak: configure $build first (the profile is written then)" >&2; exit 1; }
win() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }
"$root/scripts/wine-harness.sh" start "$build" "$wine_loader" >/dev/null
trap '"$root/scripts/wine-harness.sh" stop "$build" >/dev/null 2>&1 || true' EXIT
"$build/wine-run" "$build/tests/e2e/e2e_soak.exe" "$build/kestrel.exe" "$(win "$files/k.ini")" \
  "$(win "$files/log")" "$clicks" "$menus" 16384
