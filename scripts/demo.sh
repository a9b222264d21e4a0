#!/usr/bin/env bash
# The headless demonstration: builds Ferrulon, starts a private X display (Xvfb), maps the given
# directories (or else a temporary one) as Wine's drives from d: on, runs the benchmark once on the
# first through tools/demo (real clicks on the drive and on Start), then prints the verdict and the
# score and saves a picture of the window.
# usage: bash scripts/demo.sh [PICTURE.png] [DIR ...]   (default <build>/demo/ferrulon-demo.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
shot="$build/demo/ferrulon-demo.png"
if [ $# -gt 0 ] && [[ $1 == *.png ]]; then shot=$1; shift; fi
shot=$(realpath -m "$shot")
source "$root/scripts/progress.sh"
source "$root/scripts/user-drives.sh"
user_drives_check "$@" || exit 2

echo "== building ferrulon.exe and the demo driver (the first time also installs packages)"
with_progress "installing and building" env FERRULON_BUILD="$build" bash "$root/scripts/build.sh" ferrulon ferrulon_demo

source "$root/scripts/wine-session.sh"
wine_tools
export WINEPREFIX="$build/wineprefix-demo"
work=   # the temporary directory measured when no DIR is given
picture=$(mktemp -u "${TMPDIR:-/tmp}/ferrulon-demo.XXXXXX.bmp")
# However the demonstration ends (Ctrl+C included): Wine's session, the drive links, the temporary
# files and the private display go.
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  user_drives_unmap
  rm -f "$picture"
  if [ -n "$work" ]; then rm -rf "$work"; fi
  if [ -n "${FERRULON_XVFB_PID:-}" ]; then kill "$FERRULON_XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'echo "== interrupted"; exit 130' INT
trap 'exit 143' TERM

echo "== starting a private X display"
unset DISPLAY
wine_display_up
echo "   Xvfb on $DISPLAY"
with_progress "creating the Wine prefix" wine_prefix_create
# Wine reads its drive letters when its session starts: map the drives, then start the session.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
if [ $# -eq 0 ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/ferrulon-demo.XXXXXX")
  echo "== no directory given: measuring a temporary one (bash scripts/run.sh DIR measures DIR)"
  set -- "$work"
fi
user_drives_map "$@"
drive=$(basename "${USER_DRIVE_LINKS[0]}")
drive=${drive%:}
measured="$(realpath "$1"): $(user_drive_describe "$1")"
"$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
wine_quiet cmd /c exit
echo "== running the benchmark on $drive: (50 passes of 50 write/verify cycles; about a minute under Wine)"
status=0
# In the background, so that Ctrl+C reaches the trap at once.
"$WINE" "$build/tools/demo/ferrulon_demo.exe" "$build/app/ferrulon.exe" "$drive" "$picture" </dev/null 2>/dev/null |
  while IFS= read -r line; do printf '%s\n' "${line%$'\r'}"; done &
wait $! || status=$?
echo "== measured: drive $drive: = $measured"

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
