#!/bin/sh
# The program touches no file but tfile.frl. Runs end-to-end tests while inotify watches, from the
# Linux side, the root of every test drive, drive c:'s root and the directory the program starts in
# (the tests start it there through FERRULON_START_DIR). Allowed besides any event on tfile.frl:
# opening a directory to list it (Wine does so to find a name whatever its case) and opening a
# drive's .windows-label or .windows-serial (Wine's store of the volume label read at start-up).
# At least one tfile.frl must have been seen created, or the watch saw nothing.
# usage: watch-files.sh WINE_RUN E2E_TESTS GTEST_FILTER
set -eu
wine_run=$1 tests=$2 filter=$3
[ -n "${FERRULON_DRIVE_BASE:-}" ] && [ -n "${WINEPREFIX:-}" ] || { echo "no test drives mapped"; exit 1; }
command -v inotifywait >/dev/null || { echo "inotifywait (inotify-tools) is not installed"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ferrulon-watch.XXXXXX")
mkdir "$work/start"
set -- "$work/start" "$WINEPREFIX/drive_c"
for letter in $(echo "${FERRULON_TEST_DRIVES:-mnopqrstu}" | sed 's/./& /g'); do set -- "$@" "$FERRULON_DRIVE_BASE/$letter"; done
# Reads and writes (12,500 and 200 per cycle) are not watched: opening comes first, and closing
# after a write and every change to a name are watched.
inotifywait -m --format '%w|%f|%e' -o "$work/events" \
  -e open -e close_write -e attrib -e create -e delete -e moved_from -e moved_to -e delete_self -e move_self \
  "$@" 2>"$work/watch.log" &
watcher=$!
trap 'kill $watcher 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q 'Watches established' "$work/watch.log" && break; sleep 0.1; done
grep -q 'Watches established' "$work/watch.log" || { cat "$work/watch.log"; exit 1; }

status=0
FERRULON_START_DIR="$work/start" "$wine_run" "$tests" --gtest_filter="$filter" || status=$?
sleep 1
kill $watcher
wait $watcher 2>/dev/null || true

awk -F'|' '
  function changes(events) { return events ~ /CREATE|DELETE|MODIFY|ATTRIB|MOVE|CLOSE_WRITE/ }
  $2 == "tfile.frl" { if ($3 ~ /CREATE/) created++; next }
  $2 == "" || $3 ~ /ISDIR/ { if (changes($3)) { print "changed: " $0; bad++ }; next }
  ($2 == ".windows-label" || $2 == ".windows-serial") && !changes($3) { next }
  { print "touched: " $0; bad++ }
  END {
    printf "tfile.frl created %d times; %d events on other names\n", created, bad
    exit (bad > 0 || created == 0)
  }' "$work/events" || status=1
exit $status
