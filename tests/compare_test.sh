#!/usr/bin/env bash
# The run command without Wine: its arguments and refusals, the CSV's quoting, and the table and exit
# code made from a CSV.
# usage: compare_test.sh REPOSITORY
set -uo pipefail
root=$1
source "$root/scripts/compare.sh"
failures=0
expect() {   # NAME ACTUAL EXPECTED
  [ "$2" = "$3" ] && return
  echo "FAILED: $1"; diff <(echo "$3") <(echo "$2") | sed 's/^/  /'; failures=$((failures + 1))
}
parsed() { compare_args "$@" 2>&1 && echo "runs $COMPARE_RUNS, out '$COMPARE_OUT', options '$COMPARE_OPTIONS', dirs ${COMPARE_DIRS[*]}"; }
usage="(usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...])" whole="give a whole number from 1 to 20"

expect "arguments anywhere, the last of a repeated one, -- before a name like an option" "$(parsed a --runs 2 --out=r --runs 3 b -- -c)" \
  "runs 3, out 'r', options ' --runs --out', dirs a b -c"
expect "defaults" "$(parsed a)" "runs 1, out '', options '', dirs a"
expect "runs out of bounds, malformed, missing; an unknown option" \
  "$(parsed --runs 0 a; parsed --runs=21 a; parsed --runs 2x a; parsed --runs=-1; parsed a --runs; parsed --run 3 a)" \
"refused: --runs 0: $whole
refused: --runs 21: $whole
refused: --runs 2x: $whole
refused: --runs -1: $whole
refused: --runs needs a value $usage
refused: unknown option --run $usage"

# Refused before anything is installed or built: one line on stderr, nothing on stdout, exit code 2.
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b" "$work/held" && : >"$work/held/tfile.frl" && : >"$work/file"
refusal() { local out; out=$(env -u DISPLAY bash "$root/scripts/run.sh" "$@" 2>"$work/err"); echo "$? [$out] $(cat "$work/err")"; }
expect "refusals" "$(refusal --runs 2 "$work/a" "$work/missing"; refusal "$work/file"; refusal "$work/held"
                     refusal "$work/a" "$work/b/../a"; refusal --out "$work/file/x" "$work/a")" \
"2 [] refused: $work/missing does not exist
2 [] refused: $work/file is not a directory
2 [] refused: $work/held already holds tfile.frl, which the benchmark would overwrite and delete; move it away first
2 [] refused: $work/b/../a is given twice (as $work/a); --runs N measures a directory N times
2 [] refused: the results folder $work/file/x cannot be made or written to"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  mkdir "$work"/{1..7}
  expect "with a display, the window opens: --runs and seven directories are refused" \
    "$(bash "$root/scripts/run.sh" --runs 2 "$work/a" 2>&1; echo $?; bash "$root/scripts/run.sh" "$work"/{1..7} 2>&1; echo $?)" \
"refused: --runs: with a display the window opens and you start each run yourself; to measure without it: env -u DISPLAY bash scripts/run.sh --runs 2 $work/a
2
refused: 7 directories given; at most 6 fit beside c: in the window's seven drive slots (without a display, all of them are measured)
2"
fi

# Options hold commas; a directory may hold a quote, with or without a comma.
expect "CSV quoting" "$(compare_csv_line t '/m/"q"' '/m/a "b",c' tmpfs 'rw,sync' 1 green 12)" \
  't,"/m/""q""","/m/a ""b"",c",tmpfs,"rw,sync",1,green,12'
{
  echo "$COMPARE_CSV_HEADER"
  for line in '/m/odd,3,green,1210' '/m/odd,1,green,1100' '/m/odd,2,green,1250' '/m/even,1,green,999' '/m/even,2,green,1002' \
              '/m/one,1,green,1500' '/m/red,1,green,900' '/m/red,2,red,' '/m/gone,1,none,'; do
    IFS=, read -r dir run verdict score <<<"$line"
    compare_csv_line "2026-12-07T10:00:00+00:00" "$dir" /dev/sdb1 vfat "rw,flush" "$run" "$verdict" "$score"
  done
} >"$work/runs.csv"
expect "table: median, best, worst, spread; FAILED and NO SCORE rows without figures" "$(compare_table "$work/runs.csv" 3)" \
"directory  device     filesystem  runs    verdict   median   best  worst  spread  mount options
/m/odd     /dev/sdb1  vfat        3 of 3  green      1,210  1,100  1,250  12.4 %  rw,flush
/m/even    /dev/sdb1  vfat        2 of 3  NO SCORE       -      -      -       -  rw,flush
/m/one     /dev/sdb1  vfat        1 of 3  NO SCORE       -      -      -       -  rw,flush
/m/red     /dev/sdb1  vfat        2 of 3  FAILED         -      -      -       -  rw,flush
/m/gone    /dev/sdb1  vfat        1 of 3  NO SCORE       -      -      -       -  rw,flush
scores in ms per pass, lower is better; spread = (worst - best) / median"
expect "two runs: the median between them, rounded half up; one run: no spread; one run asked" \
  "$(compare_table "$work/runs.csv" 2 | sed -n 3,4p; compare_table "$work/runs.csv" 1 | sed -n 4p)" \
"/m/even    /dev/sdb1  vfat        2 of 2  green      1,001    999  1,002   0.3 %  rw,flush
/m/one     /dev/sdb1  vfat        1 of 2  NO SCORE       -      -      -       -  rw,flush
/m/one     /dev/sdb1  vfat        1 of 1  green      1,500  1,500  1,500       -  rw,flush"
grep -v /m/red "$work/runs.csv" >"$work/unscored.csv"
head -n 4 "$work/runs.csv" >"$work/green.csv"
expect "exit codes: a red run wins over one without a score; no score; all green" "$(for csv in runs unscored green; do
  compare_exit_code "$work/$csv.csv" 3; echo -n "$? "; done)" "1 2 0 "

echo "$failures failed"
[ "$failures" -eq 0 ]
