#!/usr/bin/env bash
# Builds Ferrulon for Windows x86-64 (installing what is missing) and starts it under Wine: its
# window on your display when there is one, otherwise the headless demonstration (scripts/demo.sh),
# which measures every directory given, N times each, and prints a table (with a CSV file, a chart
# and pictures of the window in a results folder). On Windows, run ferrulon.exe itself.
# usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...]
#   Each DIR (a USB stick's mount point, a disk, any directory you may write to) is offered as a
#   drive, d: on, for this session only. --runs and --out are for measuring without a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
export FERRULON_BUILD=$build
source "$root/scripts/progress.sh"
source "$root/scripts/user-drives.sh"
source "$root/scripts/compare.sh"

# A display that answers; before the packages are installed there may be no xdpyinfo to ask.
have_display() { [ -n "${DISPLAY:-}" ] && { ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; }; }

# Before anything is installed, built or linked.
compare_args "$@" || exit 2
user_drives_check "${COMPARE_DIRS[@]}" || exit 2
if have_display; then
  if [ -n "$COMPARE_OPTIONS" ]; then
    echo "refused:$COMPARE_OPTIONS: with a display the window opens and you start each run yourself;" \
         "to measure without it: env -u DISPLAY bash scripts/run.sh$(printf ' %q' "$@")" >&2
    exit 2
  fi
  user_drives_fit "${COMPARE_DIRS[@]}" || exit 2
elif [ -n "$COMPARE_OUT" ]; then
  compare_out_ready "$COMPARE_OUT" || exit 2
fi

echo "== checking the Debian packages Ferrulon needs (the first time installs MinGW-w64, Wine, Xvfb: a few minutes)"
with_progress "installing packages" bash "$root/scripts/install-deps.sh" || exit 2
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "== no display${DISPLAY:+ at $DISPLAY}: measuring headless instead"
  exec bash "$root/scripts/demo.sh" "$@"
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

# This prefix's Wine session is ours from here to the end, however it ends (Ctrl+C included): it
# goes, and so do the drive links made for it.
end_session() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  user_drives_unmap
}
trap end_session EXIT
trap 'echo "== interrupted"; exit 130' INT
trap 'exit 143' TERM
end_session   # a session still running would not see the new drives
user_drives_map "${COMPARE_DIRS[@]}"
"$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
wine_quiet cmd /c exit

echo "== starting ferrulon.exe on $DISPLAY; close its window to end"
echo "   Wine's drive c: is $WINEPREFIX/drive_c, z: is /"
# In the background, so that Ctrl+C reaches the trap at once.
"$WINE" "$build/app/ferrulon.exe" </dev/null 2> >(wine_stderr_filter) &
wait $!
