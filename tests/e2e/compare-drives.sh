#!/usr/bin/env bash
# The run command without a display, end to end: two directories, two runs asked of each. The fault
# library flips a byte in the first read-back of every run: each directory's first run ends red, its
# second is skipped and the command goes on. (compare_test.sh checks green runs' figures, without Wine.)
# usage: compare-drives.sh REPOSITORY BUILD   (through ctest, which preloads the fault library)
set -euo pipefail
root=$1 build=$2
[ -n "${FERRULON_DRIVE_BASE:-}" ] && [[ ${LD_PRELOAD:-} == *tfile_faults* ]] || { echo "needs the test drives and the fault library"; exit 1; }
work=$(mktemp -d "$FERRULON_DRIVE_BASE/compare.XXXXXX")
trap 'rm -rf "$work" "$FERRULON_DRIVE_BASE"/{faults.settings,requests.log}' EXIT
mkdir "$work/a" "$work/b"
echo "/tfile.frl flip:1:100" >"$FERRULON_DRIVE_BASE/faults.settings"

status=0
env -u DISPLAY FERRULON_BUILD="$build" bash "$root/scripts/run.sh" --runs 2 --out "$work/out" "$work/a" "$work/b" \
  >"$work/output" 2>&1 || status=$?
cat "$work/output"
failed=0
check() { eval "$2" || { echo "FAILED: $1"; failed=1; }; }
check "exit code 1, for a run ended red (was $status)" '[ $status = 1 ]'
# time,directory,device,filesystem,"mount options",run,verdict,score
runs=$(sed -E "s#^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9:]{5},$work/([ab]),[^,]+,[^,]+,(\"[^\"]*\"|[^,]*),#\1 #; s/[1-9][0-9]*$/SCORE/" "$work/out/runs.csv")
check "one CSV line per run made: $runs" '[ "$runs" = "time,directory,device,filesystem,mount options,run,verdict,score
a 1,red,
b 1,red," ]'
for dir in a b; do
  check "$dir: its table row; no test file left" \
    'grep -Eq "^$work/$dir +[^ ]+ +[^ ]+ +1 of 2 +FAILED +- +- +- +- +" "$work/out/table.txt" && [ ! -e "$work/$dir/tfile.frl" ]'
done
check "the table on the terminal too, the chart and both windows" '[ "$(grep -cxFf "$work/out/table.txt" "$work/output")" = 4 ] &&
  [ "$(head -c 4 "$work/out/scores.png" | tail -c 3)" = PNG ] && [ -s "$work/out/window-1-a.png" ] && [ -s "$work/out/window-2-b.png" ]'
check "no drive link left" '! ls -l "$build/wineprefix-demo/dosdevices" | grep -qF "$work"'
exit $failed
