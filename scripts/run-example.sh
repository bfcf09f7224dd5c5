#!/usr/bin/env bash
# Runs Kestrel (the 32-bit Windows build, under Wine; the 64-bit one where the machine runs no
# 32-bit code) with the bundled example profile examples/kestrel.ini as its start-up profile.
#   With $DISPLAY set, Kestrel appears there (inside Wine's desktop window) until it is closed.
#   Without a display, it runs on an Xvfb display of its own; once its window is up, a screenshot
#   of that screen is saved to build/screenshot.png and Kestrel is ended.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-arch.sh"
build=$root/build/$wine_arch

echo "run-example: building the $wine_arch tree in build/$wine_arch"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/mingw-$wine_arch.cmake" >"$build/configure.log"
cmake --build "$build" -j2 --target kestrel e2e_driver wineprefix >"$build/build.log" ||
  { tail -n 40 "$build/build.log"; exit 1; }

profile='Z:'${root//\//\\}'\examples\kestrel.ini'

if [ -n "${DISPLAY:-}" ]; then
  echo "run-example: Kestrel runs on display $DISPLAY; close it to end"
  exec "$build/wine-run" "$build/kestrel.exe" -p "$profile"
fi

harness=$root/scripts/wine-harness.sh
"$harness" start "$build" "$wine_loader"
trap '"$harness" stop "$build" >/dev/null' EXIT
source <("$harness" env "$build")

screenshot=$root/build/screenshot.png
picture=$root/build/example-window.png
log=$build/run-example.log
# A temporary folder of this run's own, so the picture is of a first start (the icons load in the
# background into an empty cache) and the icon cache it makes can be told from any other.
temp=$build/run-example-temp
rm -rf "$temp"
mkdir -p "$temp"
win() { local path=$1; echo "Z:${path//\//\\}"; }
status=0
"$build/wine-run" "$build/tests/e2e/e2e_driver.exe" set-env TMP "$(win "$temp")" set-env TEMP "$(win "$temp")" \
  start "$build/kestrel.exe" -p "$profile" -- wait-own-window 20000 detach >"$log" 2>&1 || status=$?
if [ $status -eq 0 ]; then
  # The window stores the icon cache once it has been told that the icons are loaded: the picture
  # is taken after that, so it shows the real icons rather than the loading picture.
  loaded=no
  for _ in $(seq 200); do
    if grep -qs '\[Item\]' "$temp"/Kestrel/*/IconCache.ini; then loaded=yes; break; fi
    sleep 0.1
  done
  if [ $loaded = no ]; then
    echo "run-example: the icons were not loaded after 20 s; the screenshot shows the window as it is"
  fi
  # The window's own picture, checked to be what a full repaint draws.
  if ! "$build/wine-run" "$build/tests/e2e/e2e_driver.exe" up-to-date KestrelView Kestrel "$(win "$picture")" \
    >>"$log" 2>&1; then
    echo "run-example: $(grep -o 'FAILED: .*' "$log" | tail -n 1)"
  fi
  import -window root "$screenshot"
  echo "run-example: Kestrel is up; screenshot saved to build/screenshot.png, its window to build/example-window.png"
  exit 0
fi

import -window root "$screenshot"
reason=$(grep -o 'FAILED: .*' "$log" || true)
echo "run-example: Kestrel showed no window: ${reason#FAILED: }"
echo "run-example: screenshot of the display saved to build/screenshot.png; driver log: $log"
code=$(sed -n 's/.*ended with exit code \([0-9]*\).*/\1/p' "$log")
exit "${code:-1}"
