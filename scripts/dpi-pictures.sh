#!/usr/bin/env bash
# Pictures of Ferrulon's window under Wine at 96, 120 and 144 DPI (100, 125 and 150 %), saved as
# docs/dpi-96.png, docs/dpi-120.png and docs/dpi-144.png. Wine does not stretch a window that is not
# DPI aware, as Windows 8.1 to 11 do: the texts grow in the fixed layout, as with Windows 7's scaling
# and the 应用程序 override. Not part of the test command. Its own prefix (build/dpi/wineprefix): the
# tests' stays at 96.
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
source "$root/scripts/wine-session.sh"
command_lock "$build" dpi
step "building ferrulon.exe"
FERRULON_BUILD=$build run_step bash "$root/scripts/build.sh" ferrulon
empty=$(mktemp -d "${TMPDIR:-/tmp}/ferrulon-dpi.XXXXXX") && command_on_exit rm -rf -- "$empty"
command_on_exit session_down
for dpi in 96 120 144; do
  step "the window at $dpi DPI"
  session_up "$build/dpi/wineprefix" tests
  wine_quiet reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
  wine_quiet reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f
  session_link d "$empty"   # one empty drive in the window
  session_start             # Wine reads LogPixels as its session starts
  "$WINE" "$build/app/ferrulon.exe" </dev/null >/dev/null 2>&1 &
  window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Ferrulon ')
  sleep 1   # drawn
  import -window "$window" "PNG8:$root/docs/dpi-$dpi.png"
  session_down
done
echo "== saved: docs/dpi-96.png docs/dpi-120.png docs/dpi-144.png"
command_end 0
