#!/usr/bin/env bash
# The run command without Wine. Seeded directory names and states (control characters, each in turn
# and anywhere in a name or in the path a link leads to, Chinese, quotes, commas, a leading dash,
# links, paths too long for the test file, names given twice, a results folder) through the check,
# then the CSV, the table and the exit code, a red run planted among them: each case is refused in one
# line with exit code 2 before anything is installed and with nothing changed on disk, or accepted and
# carried through CSV, table and exit code unchanged. Then the table's figures, the arguments, the
# demo's result line and the results folder, as literal facts. (What a run does in a directory:
# command_test.sh.)
# FERRULON_NAMES=SEED replays one case; FIRST:COUNT runs COUNT from FIRST (default 1:60).
# usage: run_command_test.sh REPOSITORY
set -uo pipefail
export LC_ALL=C.UTF-8
root=$1 failures=0
source "$root/scripts/compare.sh"
source "$root/scripts/user-drives.sh"
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || { fail "$1"; diff <(echo "$3") <(echo "$2") | sed 's/^/  /'; }; }

# Tools the run command would install or build with: none may be reached by a refused case.
mkdir "$work/bin"
for tool in dpkg-query apt-get cmake wine64 Xvfb; do printf '#!/bin/sh\necho %s >>"%s"\nexit 1\n' "$tool" "$work/reached" >"$work/bin/$tool"; done
chmod +x "$work/bin"/*
snapshot() { find "$1" -printf '%P %y %s %l %m\0' | sort -z | md5sum; }
width() { printf '%s\n' "$1" | wc -L; }   # columns on a terminal (coreutils', not the table's own count)

pieces=(a stick " " "U盘" "数据 2" -x --runs "'q'" '"' , '$HOME' '`id`' '*' '?' '[a]' '\' é ı tfile.frl . ..)
controls=($'\n' $'\t' $'\r' $'\001' $'\177' $'\302\205')
# NAME: 1 to 3 pieces, one time in four with a control character somewhere, at the end too (kept in
# a variable: a $( ) would drop a line break at its end). The control characters are taken in turn,
# so that every one of them is met, wherever the seeds start.
name_of() {
  local i
  NAME=""
  for ((i = RANDOM % 3; i >= 0; i--)); do NAME+=${pieces[RANDOM % ${#pieces[@]}]}; done
  if [ $((RANDOM % 4)) = 0 ]; then i=$((RANDOM % (${#NAME} + 1))); NAME=${NAME:0:i}${controls[turn++ % ${#controls[@]}]}${NAME:i}; fi
}
turn=0
# LONG: a directory (its name relative) whose path is about as long as Linux allows (4,095 bytes);
# fits is 1 when the test file's path in a directory of the run's own there still fits.
long_dir() {
  local left=$((4040 + RANDOM % 40 - ${#PWD} - 1)) part
  LONG=long$i left=$((left - ${#LONG}))
  while [ "$left" -gt 1 ]; do
    part=$((left > 201 ? 200 : left - 1)) && printf -v part "%0${part}d" 0
    LONG+=/$part left=$((left - ${#part} - 1))
  done
  mkdir -p "$LONG"
  fits=$((${#PWD} + 1 + ${#LONG} + ${#USER_DRIVE_OWN_TAIL} <= 4095))
}

# One case: directories in states drawn from SEED, the arguments, and what must happen.
one_case() {
  RANDOM=$1
  local case=$work/case given=() bad="" i count=$((RANDOM % 3 + 1)) name status out err target
  rm -rf "$case" && mkdir "$case" && cd "$case" || return
  for ((i = 0; i < count; i++)); do
    name_of
    name=$i$NAME
    case $((RANDOM % 20)) in
      0) : >"$name"; bad+="file " ;;
      1) bad+="missing " ;;
      2) ln -s "gone$i" "$name"; bad+="dangling " ;;
      3 | 12) target=dir$i$'\n' && mkdir "$target" && ln -s "$target" "$name"; bad+="leads-to-control " ;;
      4) long_dir; name=$LONG; [ "$fits" = 1 ] || bad+="long " ;;
      5) mkdir "$name" && : >"$name/TFILE.FRL" && mkdir "$name/tfile.frl.bak" ;;
      6) if [ $i -gt 0 ]; then name=./${given[RANDOM % i]}; bad+="twice "; else mkdir "$name"; fi ;;
      7 | 8) mkdir "dir$i" && ln -s "dir$i" "$name" ;;
      *) mkdir "$name" ;;
    esac
    [[ $name == *[[:cntrl:]]* ]] && bad+="control "
    given+=("$name")
  done
  out=()
  if [ $((RANDOM % 3)) = 0 ]; then
    name_of
    name=out$NAME
    case $((RANDOM % 3)) in 0) : >"$name"; bad+="out-file " ;; 1) name=-$name/new ;; esac
    [[ $name == *[[:cntrl:]]* ]] && bad+="out-control "
    out=(--out "$name")
  fi
  local before
  before=$(snapshot "$case")
  err=$work/err status=0
  compare_check "${out[@]}" -- "${given[@]}" 2>"$err" >"$work/stdout" || status=$?
  if [ -n "$bad" ]; then
    [ "$status" != 0 ] && [ "$(wc -l <"$err")" = 1 ] && grep -q '^refused: ' "$err" && [ ! -s "$work/stdout" ] ||
      fail "seed $1 ($bad): not refused in one line: status $status, $(cat -A "$err")"
    # The command itself: exit code 2, one line, nothing installed, built or changed.
    rm -f "$work/reached"
    status=0
    env -u DISPLAY PATH="$work/bin:$PATH" FERRULON_BUILD="$work/build" bash "$root/scripts/run.sh" "${out[@]}" -- "${given[@]}" \
      2>"$err" >"$work/stdout" || status=$?
    [ "$status" = 2 ] && [ "$(wc -l <"$err")" = 1 ] && [ ! -e "$work/reached" ] && [ ! -e "$work/build" ] || fail "seed $1 ($bad): run.sh: exit code $status, reached $(cat "$work/reached" 2>/dev/null), $(cat -A "$err")"
  elif [ "$status" != 0 ] || [ -s "$err" ]; then
    fail "seed $1: refused although every name is sound: $(cat -A "$err")"
  else
    carried "$1"
  fi
  [ "$(snapshot "$case")" = "$before" ] || fail "seed $1: the check or the command changed something on disk"
  cd "$work" || return
}

# The accepted names through CSV, table and exit code: runs drawn from the seed, a red one planted.
carried() {
  local runs=$((RANDOM % 3 + 1)) red=$((RANDOM % 3 == 0 ? RANDOM % ${#given[@]} : -1)) i r v code=0 row line column="" status score
  {
    echo "$COMPARE_CSV_HEADER"
    for i in "${!given[@]}"; do
      for ((r = 1; r <= runs; r++)); do
        v=green
        if [ "$i" = "$red" ] && [ "$r" = "$runs" ]; then v=red code=1; elif [ $((RANDOM % 8)) = 0 ]; then v=none; fi
        score=$((RANDOM % 3000 + 500)) && [ $v = green ] || score=""
        compare_csv_line 2026-12-08T10:00:00+00:00 "${given[i]}" /dev/sdb1 vfat "rw,flush" "$r" "$v" "$score"
        if [ $v = none ] && [ $code = 0 ]; then code=2; fi
        if [ $v != green ]; then break; fi
      done
    done
  } >"$work/runs.csv"
  i=0
  while IFS=$'\t' read -r row _; do
    [ "$row" = "${given[i]}" ] || fail "seed $1: the CSV carried ${given[i]@Q} back as ${row@Q}"
    i=$((i + 1))
  done < <(compare_summary "$work/runs.csv" "$runs")
  [ "$i" = ${#given[@]} ] || fail "seed $1: ${#given[@]} directories, $i rows"
  i=0
  while IFS= read -r line; do
    [ $i -le ${#given[@]} ] || break
    [ $i = 0 ] || [[ $line == "${given[i - 1]}  "* ]] || fail "seed $1: row $i does not begin with ${given[i - 1]@Q}: $line"
    row=$(width "${line%%device*}") && [ $i = 0 ] || row=$(width "${line%%/dev/sdb1*}")
    [ -z "$column" ] || [ "$row" = "$column" ] || fail "seed $1: row $i's device begins at column $row, not $column: $line"
    column=$row i=$((i + 1))
  done < <(compare_table "$work/runs.csv" "$runs")
  compare_exit_code "$work/runs.csv" "$runs"
  status=$?
  [ $status = $code ] || fail "seed $1: exit code $status for the runs, not $code"
}

range=${FERRULON_NAMES:-1:60}
first=${range%%:*} count=1
[[ $range == *:* ]] && count=${range#*:}
for ((seed = first; seed < first + count; seed++)); do one_case "$seed"; done
[ "$failures" = 0 ] || echo "(replay a case alone: FERRULON_NAMES=SEED bash $0 $root)"

# The table's figures from a CSV: median, best, worst and spread of green rows; none for the others.
{
  echo "$COMPARE_CSV_HEADER"
  for line in /m/odd,3,green,1210 /m/odd,1,green,1100 /m/odd,2,green,1250 /m/even,1,green,999 /m/even,2,green,1002 \
              /m/one,1,green,1500 /m/red,1,green,900 /m/red,2,red, /m/gone,1,none,; do
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
scores in ms per pass, lower is better; spread = (worst - best) / median
each run wrote only in a new directory of its own inside the directory named (the same device, filesystem and mount)"
expect "two runs: the median between them, rounded half up; one run: no spread" \
  "$(compare_table "$work/runs.csv" 2 | sed -n 3p; compare_table "$work/runs.csv" 1 | sed -n 4p)" \
"/m/even    /dev/sdb1  vfat        2 of 2  green      1,001    999  1,002   0.3 %  rw,flush
/m/one     /dev/sdb1  vfat        1 of 1  green      1,500  1,500  1,500       -  rw,flush"

# The arguments: anywhere, the last of a repeated one, "--" before a name like an option; refusals.
parsed() { compare_args "$@" 2>&1 && echo "runs $COMPARE_RUNS, out '$COMPARE_OUT', options '$COMPARE_OPTIONS', dirs ${COMPARE_DIRS[*]}"; }
whole="give a whole number from 1 to 20" usage="(usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...])"
expect "arguments" "$(parsed a --runs 2 --out=r --runs 3 b -- -c; parsed a; parsed --runs 20 --out x a; parsed --runs=01 a
                      parsed --runs 0 a; parsed --runs=21 a; parsed --runs 2x a; parsed a --runs; parsed --run 3 a)" \
"runs 3, out 'r', options ' --runs --out', dirs a b -c
runs 1, out '', options '', dirs a
runs 20, out 'x', options ' --runs --out', dirs a
runs 1, out '', options ' --runs', dirs a
refused: --runs 0: $whole
refused: --runs 21: $whole
refused: --runs 2x: $whole
refused: --runs needs a value $usage
refused: unknown option --run $usage"

# The demo's last result line counts only when its exit code bears it out.
results=""
for code in 0 1 2; do
  for line in "result: green 1234" $'result: green 1234\r' "result: green 12x" "result: red" "result: none" "result: green" ""; do
    printf 'pass 50 done\n%s\n' "$line" >"$work/log"
    compare_read_result "$work/log" "$code"
    results+="$code ${line%$'\r'}: $RESULT_VERDICT $RESULT_SCORE"$'\n'
  done
done
expect "result lines" "$(grep -v ': none $' <<<"$results")" "0 result: green 1234: green 1234
0 result: green 1234: green 1234
1 result: red: red "

# The results folder: a new one of the run's own, never one that was there.
mkdir -p "$work/res/old" && echo kept >"$work/res/old/runs.csv" && : >"$work/res/file"
made=$(compare_results_folder "$work/res/new") && made+=" $(compare_results_folder "$work/res/old")"
expect "results folders" "${made//$work\/res\//}|$(cat "$work/res/old/runs.csv")|$(compare_results_folder "$work/res/file/x" 2>&1)" \
  "new old/$(date +%Y-%m-%d-%H%M)${made##*/old/$(date +%Y-%m-%d-%H%M)}|kept|refused: the results folder $work/res/file/x cannot be made, nor a new folder in it"
[ -z "$(find "$work/res/new" "$work/res/old/"*-* -mindepth 1)" ] || fail "a new results folder is not empty"

echo "$failures failed"
[ "$failures" -eq 0 ]
