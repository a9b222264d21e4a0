#!/usr/bin/env bash
# Builds Ferrulon for Windows x86-64 (installing what is missing) and starts it under Wine on
# your display. On Windows, run ferrulon.exe itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

bash "$root/scripts/install-deps.sh"
echo "== building ferrulon.exe in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target ferrulon >/dev/null

source "$root/tests/wine-session.sh"
wine_tools
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "no display: set DISPLAY to run Ferrulon's window under Wine" >&2
  exit 1
fi
export WINEPREFIX="$build/wineprefix-desktop"
wine_prefix_create desktop
echo "== starting ferrulon.exe (Wine drive c: is $WINEPREFIX/drive_c, z: is /)"
exec "$WINE" "$build/app/ferrulon.exe"
