#!/usr/bin/env bash
# Pictures of Ferrulon's window under Wine at 96, 120 and 144 DPI (100, 125 and 150 %), saved as
# docs/dpi-96.png, docs/dpi-120.png and docs/dpi-144.png. Wine does not stretch a window that is not
# DPI aware, as Windows 8.1 to 11 do: the texts grow in the fixed layout, as with Windows 7's scaling
# and the 应用程序 override. Not part of the test command.
# From scripts/wine-session.sh: wine_session_up, wine_session_down and wine_quiet (wine_session_up
# calls wine_tools and wine_prefix_create); the prefix is build/dpi/wineprefix, the tests' stays at 96.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
FERRULON_BUILD=$build bash "$root/scripts/build.sh" ferrulon
source "$root/scripts/wine-session.sh"
FERRULON_TEST_DRIVES=d   # one empty drive in the window
mkdir -p "$build/dpi"
trap wine_session_down EXIT

for dpi in 96 120 144; do
  echo "== $dpi DPI"
  wine_session_up "$build/dpi"
  wine_quiet reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  wine_quiet reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f
  wine_session_down   # Wine reads LogPixels when its session starts
  wine_session_up "$build/dpi"
  "$WINE" "$build/app/ferrulon.exe" </dev/null >/dev/null 2>&1 &
  program=$!
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Ferrulon ')
  sleep 1   # drawn
  import -window "$window" "PNG8:$root/docs/dpi-$dpi.png"
  "$WINESERVER" -k
  wait "$program" || true
  wine_session_down
done
echo "== saved: $(cd "$root" && ls docs/dpi-*.png | tr '\n' ' ')"
