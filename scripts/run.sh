#!/usr/bin/env bash
# Builds Ferrulon for Windows x86-64 (installing what is missing) and starts it under Wine: its
# window on your display when there is one, otherwise the headless demonstration (scripts/demo.sh),
# which runs the benchmark once and saves a picture. On Windows, run ferrulon.exe itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
export FERRULON_BUILD=$build
source "$root/scripts/progress.sh"

echo "== checking the Debian packages Ferrulon needs (the first time installs MinGW-w64, Wine, Xvfb: a few minutes)"
with_progress "installing packages" bash "$root/scripts/install-deps.sh"
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "== no display${DISPLAY:+ at $DISPLAY}: running the headless demonstration instead"
  exec bash "$root/scripts/demo.sh"
fi

echo "== building ferrulon.exe (the first build takes a few minutes)"
with_progress "building" bash "$root/scripts/build.sh" ferrulon
source "$root/scripts/wine-session.sh"
wine_tools
export WINEPREFIX="$build/wineprefix-desktop"
with_progress "creating the Wine prefix" wine_prefix_create desktop
# A window manager frames the window; without one (a bare X server) Wine draws the caption and
# its close box itself.
decorated=Y
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
  decorated=N
  echo "== no window manager on $DISPLAY: Wine draws the title bar and close box"
fi
wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated" /f
wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$decorated" /f
echo "== starting ferrulon.exe on $DISPLAY; close its window to end"
echo "   Wine's drive c: is $WINEPREFIX/drive_c, z: is /"
exec "$WINE" "$build/app/ferrulon.exe"
