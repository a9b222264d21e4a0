#!/usr/bin/env bash
# shellcheck disable=SC2016,SC2034 # the checks are shell text that check runs (users is read there)
# The headless measurement end to end, in the tests' Wine session (through wine-run --): two
# directories, two runs asked of each, the second holding a user's tfile.frl from the start and
# another test file of the user's arriving while the first is measured: both are left as they were.
# The fault library flips a byte in the first read-back of every run: each directory's first run ends
# red, its second is skipped and the command goes on. Then a SIGTERM in the middle of a run: exit 143
# within seconds, and nothing left behind.
# (Without Wine: run_command_test.sh checks the names, results_test.py the CSV, table and exit codes.)
# usage: compare-drives.sh REPOSITORY BUILD   (through ctest, which preloads the fault library)
set -euo pipefail
root=$1 build=$2
{ [ -n "${FERRULON_DRIVE_BASE:-}" ] && [[ ${LD_PRELOAD:-} == *tfile_faults* ]]; } || { echo "needs the test drives and the fault library"; exit 1; }
work=$(mktemp -d "$FERRULON_DRIVE_BASE/compare.XXXXXX")
trap 'rm -rf "$work" "$FERRULON_DRIVE_BASE"/{faults.settings,requests.log}' EXIT
mkdir "$work/a" "$work/b" "$work/tmp"
echo "/tfile.frl flip:1:100" >"$FERRULON_DRIVE_BASE/faults.settings"
export TMPDIR=$work/tmp
prefix=$build/wineprefix-demo
failed=0
check() { eval "$2" || { echo "FAILED: $1"; failed=1; }; }
# What a measurement leaves: nothing but its results; the user's files as they were. Wine's server
# leaves its directory (in /tmp, or in the user's run directory) when it ends.
nothing_left() {
  local links=("$prefix"/dosdevices/[d-y]:) left id servers
  left=$(find "$work/tmp" "$work/a" "$work/b" -mindepth 1 ! -name tfile.frl ! -name TFILE.FRL)
  id=$(stat -c '%d %i' -- "$prefix") && id=$(printf 'server-%x-%x' "${id% *}" "${id#* }")
  servers=$(compgen -G "/tmp/wine-*/$id"; compgen -G "/run/user/$(id -u)/wine/$id" || true)
  check "$1: no drive link, session record, temporary file, Wine server directory or directory of the run's own left (links: ${links[*]}; left: $left; server: $servers)" \
    '[ ! -e "${links[0]}" ] && [ ! -L "${links[0]}" ] && [ ! -e "$prefix.session" ] && [ -z "$left" ] && [ -z "$servers" ]'
  check "$1: the user's test files in b as they were" '[ "$(cd "$work/b" && md5sum -- tfile.frl TFILE.FRL)" = "$users" ]'
}

status=0
echo "the user's" >"$work/b/tfile.frl"
bash "$root/scripts/demo.sh" --runs 2 --out "$work/out" "$work/a" "$work/b" >"$work/output" 2>&1 &
demo=$!
for _ in $(seq 300); do compgen -G "$work/a/ferrulon-run.*/tfile.frl" >/dev/null && break; sleep 0.1; done
echo arrived >"$work/b/TFILE.FRL"   # while a is measured, before b's turn
users=$(cd "$work/b" && md5sum -- tfile.frl TFILE.FRL)
wait "$demo" || status=$?
cat "$work/output"
# Exit code 2: no run was judged; say what stopped the measurement, not what the runs should have shown.
if [ "$status" = 2 ]; then
  echo "FAILED: the measurement could not be made (exit code 2): $(grep -E '^(== |refused: )' "$work/output" | tail -n 2 | tr '\n' ' ')"
  nothing_left "after the failed measurement"
  exit 1
fi
check "exit code 1, for a run ended red (was $status)" '[ $status = 1 ]'
# time,directory,device,filesystem,"mount options",run,verdict,score
runs=$(sed -E "s#^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9:]{5},$work/([ab]),[^,]+,[^,]+,(\"[^\"]*\"|[^,]*),#\1 #" "$work/out/runs.csv")
check "one CSV line per run made: $runs" '[ "$runs" = "time,directory,device,filesystem,mount options,run,verdict,score
a 1,red,
b 1,red," ]'
check "the table (a and b: 1 of 2 runs) on the terminal too, the chart and both windows" \
  '[ "$(grep -cxFf "$work/out/table.txt" "$work/output")" = 5 ] &&
  [ "$(grep -c " 1 of 2  FAILED " "$work/out/table.txt")" = 2 ] &&
  [ "$(head -c 4 "$work/out/scores.png" | tail -c 3)" = PNG ] && [ -s "$work/out/window-1-a.png" ] && [ -s "$work/out/window-2-b.png" ]'
nothing_left "after the runs"

# SIGTERM once the run has begun writing: its Xvfb, Wine and the test file go, and the results folder
# it made for no finished run.
: >"$FERRULON_DRIVE_BASE/faults.settings"
bash "$root/scripts/demo.sh" --out "$work/stopped" "$work/a" >"$work/output" 2>&1 &
demo=$!
for _ in $(seq 300); do compgen -G "$work/a/ferrulon-run.*/tfile.frl" >/dev/null && break; sleep 0.1; done
read -r xvfb <"$prefix.session/xvfb" || xvfb=""
kill -TERM "$demo"
begun=$SECONDS status=0
wait "$demo" || status=$?
cat "$work/output"
echo "== SIGTERM to the measurement: it ended $((SECONDS - begun)) s later"
check "SIGTERM mid-run: exit code 143 (was $status)" '[ $status = 143 ]'
check "its Xvfb ($xvfb) ended, no results folder" '[ -n "$xvfb" ] && ! kill -0 "$xvfb" 2>/dev/null && [ ! -e "$work/stopped" ]'
nothing_left "after SIGTERM"
exit $failed
