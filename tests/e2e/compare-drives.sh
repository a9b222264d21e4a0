#!/usr/bin/env bash
# The run command without a display, end to end: two directories, two runs asked of each. The fault
# library flips a byte in the first read-back of every run, so each directory's first run ends red
# and its second is skipped, and the command goes on to the next directory. Then the CSV, the table,
# the exit code (1) and what is left behind are checked. (A green run takes a minute or more under
# Wine: the figures of green runs are checked without Wine, by compare_test.sh.)
# usage: compare-drives.sh REPOSITORY BUILD   (through ctest, which preloads the fault library)
set -euo pipefail
root=$1 build=$2
[ -n "${FERRULON_DRIVE_BASE:-}" ] && [[ ${LD_PRELOAD:-} == *tfile_faults* ]] || { echo "needs the test drives and the fault library"; exit 1; }
work=$(mktemp -d "$FERRULON_DRIVE_BASE/compare.XXXXXX")
trap 'rm -rf "$work" "$FERRULON_DRIVE_BASE/faults.settings"' EXIT
mkdir "$work/a" "$work/b"
printf 'FERRULON_FAULT_FILE=*/tfile.frl\nFERRULON_FAULT=flip:1:100\n' >"$FERRULON_DRIVE_BASE/faults.settings"

status=0
env -u DISPLAY FERRULON_BUILD="$build" bash "$root/scripts/run.sh" --runs 2 --out "$work/out" "$work/a" "$work/b" \
  >"$work/output" 2>&1 || status=$?
cat "$work/output"
failed=0
check() { if ! eval "$2"; then echo "FAILED: $1"; failed=1; fi; }
check "exit code 1, for a run ended red (was $status)" '[ $status = 1 ]'
# time,directory,device,filesystem,"mount options",run,verdict,score
runs=$(sed -E "s#^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9:]{5},$work/([ab]),[^,]+,[^,]+,(\"[^\"]*\"|[^,]*),#\1 #; s/[1-9][0-9]*$/SCORE/" "$work/out/runs.csv")
check "one CSV line per run made: $runs" '[ "$runs" = "time,directory,device,filesystem,mount options,run,verdict,score
a 1,red,
b 1,red," ]'
check "the table, on the terminal and in the results folder" \
  'grep -Eq "^$work/a +[^ ]+ +[^ ]+ +1 of 2 +FAILED +- +- +- +- +" "$work/out/table.txt" &&
   grep -Eq "^$work/b +[^ ]+ +[^ ]+ +1 of 2 +FAILED +- +- +- +- +" "$work/out/table.txt" &&
   [ "$(grep -cxFf "$work/out/table.txt" "$work/output")" = 4 ]'
check "the chart and both windows" '[ "$(head -c 4 "$work/out/scores.png" | tail -c 3)" = PNG ] && [ -s "$work/out/window-1-a.png" ] && [ -s "$work/out/window-2-b.png" ]'
check "no test file and no drive link left" \
  '[ ! -e "$work/a/tfile.frl" ] && [ ! -e "$work/b/tfile.frl" ] && ! ls -l "$build/wineprefix-demo/dosdevices" | grep -qF "$work"'
exit $failed
