#!/usr/bin/env bash
# Builds Ferrulon for Windows x86-64 (installing what is missing) and starts it under Wine: its
# window on your display when there is one, otherwise the headless measurement (scripts/demo.sh),
# which measures every directory given, N times each, and prints a table (with a CSV file, a chart
# and pictures of the window in a results folder). On Windows, run ferrulon.exe itself.
# usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...]
#   Each DIR (a USB stick's mount point, a disk, any directory you may write to) is offered as a
#   drive, d: on, for this session only. --runs and --out are for measuring without a display.
# Exit codes: as scripts/demo.sh says without a display; with one, 0 once the window is closed, 2
# when something was refused or a step failed, 130 after Ctrl+C, 143 on SIGTERM.
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/command.sh
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
export FERRULON_BUILD=$build
# shellcheck source=scripts/progress.sh
source "$root/scripts/progress.sh"
# shellcheck source=scripts/user-drives.sh
source "$root/scripts/user-drives.sh"
# shellcheck source=scripts/compare.sh
source "$root/scripts/compare.sh"
# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"

# A display that answers; before the packages are installed there may be no xdpyinfo to ask.
have_display() { [ -n "${DISPLAY:-}" ] && { ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; }; }

# Before anything is installed, built or linked.
declare -A settings
declare -a dirs=() paths=()
compare_check settings dirs paths "$@" || command_end 2   # the directories as given, and resolved
if have_display; then
  if [ -n "${settings[options]}" ]; then
    refuse "${settings[options]# }: with a display the window opens and you start each run yourself;" \
           "to measure without it: env -u DISPLAY bash scripts/run.sh$(printf ' %q' "$@")"
  fi
  user_drives_fit "${dirs[@]}" || command_end 2
  command_lock "$build" desktop
else
  command_lock "$build" demo
fi

step "checking the Debian packages Ferrulon needs (the first time installs MinGW-w64, Wine, Xvfb: a few minutes)"
with_progress "installing packages" bash "$root/scripts/install-deps.sh"
if ! have_display; then
  step "building ferrulon.exe and the demo driver (the first build takes a few minutes)"
  with_progress "building" bash "$root/scripts/build.sh" ferrulon ferrulon_demo
  echo "== no display${DISPLAY:+ at $DISPLAY}: measuring headless instead"
  exec bash "$root/scripts/demo.sh" "$@"   # the same process: it keeps the lock
fi

step "building ferrulon.exe (the first build takes a few minutes)"
with_progress "building" bash "$root/scripts/build.sh" ferrulon
step "starting Wine on $DISPLAY"
command_on_exit session_down
session_up "$build/wineprefix-desktop" desktop
# A window manager frames the window; without one (a bare X server) Wine draws the caption and
# its close box itself.
decorated=N
if wm=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) && [[ $wm == *"window id"* ]]; then decorated=Y; fi
[ "$decorated" = Y ] || echo "== no window manager on $DISPLAY: Wine draws the title bar and close box"
wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d "$decorated" /f
wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$decorated" /f
session_map_dirs "${paths[@]}"
session_start

step "running ferrulon.exe on $DISPLAY; close its window to end"
echo "   Wine's drive c: is $WINEPREFIX/drive_c, z: is /"
# In the background, so that a signal reaches the trap at once; only Wine's stderr goes through the
# filter (a trap's own line must not go to a pipe whose reader a Ctrl+C has ended).
"$WINE" "$build/app/ferrulon.exe" </dev/null 2> >(wine_stderr_filter) &
wait $! || true   # the window shows the verdict
command_end 0
