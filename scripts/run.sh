#!/usr/bin/env bash
# Builds Ferrulon for Windows x86-64 (installing what is missing) and starts it under Wine on
# your display. On Windows, run ferrulon.exe itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

FERRULON_BUILD=$build bash "$root/scripts/build.sh" ferrulon

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
