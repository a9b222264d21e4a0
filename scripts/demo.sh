#!/usr/bin/env bash
# The headless demonstration: builds Ferrulon, starts a private X display (Xvfb), maps a temporary
# directory as Wine's drive d:, runs the benchmark once on it through tools/demo (real clicks on
# the drive and on Start), then prints the verdict and the score and saves a picture of the window.
# usage: bash scripts/demo.sh [PICTURE.png]   (default <build>/demo/ferrulon-demo.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
shot=$(realpath -m "${1:-$build/demo/ferrulon-demo.png}")
source "$root/scripts/progress.sh"

echo "== building ferrulon.exe and the demo driver (the first time also installs packages)"
with_progress "installing and building" env FERRULON_BUILD="$build" bash "$root/scripts/build.sh" ferrulon ferrulon_demo

source "$root/scripts/wine-session.sh"
wine_tools
export WINEPREFIX="$build/wineprefix-demo"
drive=d
work=$(mktemp -d "${TMPDIR:-/tmp}/ferrulon-demo.XXXXXX")
picture="$work.bmp"
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/$drive:" "$picture"
  rm -rf "$work"
  if [ -n "${FERRULON_XVFB_PID:-}" ]; then kill "$FERRULON_XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT

echo "== starting a private X display"
unset DISPLAY
wine_display_up
echo "   Xvfb on $DISPLAY"
with_progress "creating the Wine prefix" wine_prefix_create
# Wine reads its drive letters when its session starts: map d:, then start the session.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
ln -sfn "$work" "$WINEPREFIX/dosdevices/$drive:"
"$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
wine_quiet cmd /c exit
echo "== drive $drive: is $work, a temporary directory on $(df --output=fstype "$work" | tail -n 1 | tr -d ' ')"
echo "== running the benchmark on $drive: (50 passes of 50 write/verify cycles; about a minute under Wine)"
status=0
"$WINE" "$build/tools/demo/ferrulon_demo.exe" "$build/app/ferrulon.exe" "$drive" "$picture" </dev/null 2>/dev/null |
  while IFS= read -r line; do printf '%s\n' "${line%$'\r'}"; done || status=$?

if [ -s "$picture" ]; then
  mkdir -p "$(dirname "$shot")"
  convert "$picture" "$shot"
  echo "== screenshot of the window: $shot"
fi
case $status in
  0) echo "== done. With a display (DISPLAY set), bash scripts/run.sh opens the window for you." ;;
  1) echo "== the drive gave back different data: the run ended with the red banner" ;;
  *) echo "== the demonstration could not be completed (exit code $status)" ;;
esac
exit "$status"
