#!/bin/sh
# The program touches no file but tfile.frl: runs end-to-end tests while inotify watches, from the
# Linux side, every test drive's root, drive c:'s root and the directory the program starts in.
# Allowed besides: opening a directory to list it (Wine finds names whatever their case so) and a
# drive's .windows-label or .windows-serial (Wine's volume label store). Reads and writes (12,500
# and 200 a cycle) are not watched; opening, closing after a write and every change to a name are.
# usage: watch-files.sh WINE_RUN E2E_TESTS GTEST_FILTER
set -eu
{ [ -n "${FERRULON_DRIVE_BASE:-}" ] && [ -n "${WINEPREFIX:-}" ]; } || { echo "no test drives mapped"; exit 1; }
# In the test drives' folder, which the session removes however the test command ends: a test stopped
# with it may never get to run its trap (ctest leaves its tests on SIGTERM; the command kills them).
work=$(mktemp -d "$FERRULON_DRIVE_BASE/watch.XXXXXX") watcher=
trap 'kill $watcher 2>/dev/null || true; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/start"
inotifywait -m --format '%w|%f|%e' -o "$work/events" -e open,close_write,attrib,create,delete,move,delete_self,move_self \
  "$work/start" "$WINEPREFIX/drive_c" "$FERRULON_DRIVE_BASE"/? 2>"$work/watch.log" &
watcher=$!
# shellcheck disable=SC2016 # a script of its own
timeout 10 sh -c 'until grep -q "Watches established" "$1"; do sleep 0.1; done' - "$work/watch.log" ||
  { cat "$work/watch.log"; exit 1; }

status=0
FERRULON_START_DIR="$work/start" "$1" "$2" --gtest_filter="$3" || status=$?
sleep 1
kill "$watcher" 2>/dev/null || { echo "the file watch ended before the tests did: $(cat "$work/watch.log")"; status=1; }
awk -F'|' '
  $2 == "tfile.frl" { created += $3 ~ /CREATE/; next }
  $3 !~ /CREATE|DELETE|ATTRIB|MOVE|CLOSE_WRITE/ && ($2 == "" || $3 ~ /ISDIR/ || $2 ~ /^\.windows-(label|serial)$/) { next }
  { print "touched: " $0; bad++ }
  END { printf "tfile.frl created %d times; %d events on other names\n", created, bad; exit (bad > 0 || created == 0) }
' "$work/events" || status=1
exit $status
