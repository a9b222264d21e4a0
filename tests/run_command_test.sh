#!/usr/bin/env bash
# The run command's check without Wine: seeded directory names and states (control characters anywhere
# in a name or in the path a link leads to, Chinese, quotes, commas, a leading dash, links, paths too
# long for the test file, names given twice, a results folder) refused in one line with exit code 2
# before anything is installed and with nothing changed on disk, or accepted and resolved. Then the
# arguments and the results folder. (A run in a directory: command_test.sh; CSV and table: results_test.py.)
# FERRULON_NAMES=SEED replays one case; FIRST:COUNT runs COUNT from FIRST (default 1:60).
# usage: run_command_test.sh REPOSITORY
set -uo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$1" && pwd) failures=0   # absolute: the cases run from their own folders
source "$root/scripts/compare.sh"
source "$root/scripts/user-drives.sh"
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || { fail "$1"; diff <(echo "$3") <(echo "$2") | sed 's/^/  /'; }; }

# Tools the run command would install, build or make its results with: none may be reached by a refused case.
mkdir "$work/bin"
for tool in dpkg-query apt-get cmake wine64 Xvfb python3; do printf '#!/bin/sh\necho %s >>"%s"\nexit 1\n' "$tool" "$work/reached" >"$work/bin/$tool"; done
chmod +x "$work/bin"/*
snapshot() { find "$1" -printf '%P %y %s %l %m\0' | sort -z | md5sum; }

# shellcheck disable=SC1003,SC2016,SC2054 # names as a user may type them: quotes, $, a backslash, a comma
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
  local case=$work/case given=() bad="" i count=$((RANDOM % 3 + 1)) name status out err target dirs paths
  local -A settings
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
    # shellcheck disable=SC2190 # an indexed array; shellcheck takes it for compare.sh's associative one
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
  err=$work/err status=0 reached=$work/reached
  if [ -n "$bad" ]; then   # refused by the command itself: exit code 2, one line, nothing installed, built or changed
    env -u DISPLAY PATH="$work/bin:$PATH" FERRULON_BUILD="$work/build" bash "$root/scripts/run.sh" "${out[@]}" -- \
      "${given[@]}" 2>"$err" >"$work/stdout" || status=$?
    { [ "$status" = 2 ] && [ "$(wc -l <"$err")" = 1 ] && grep -q '^refused: ' "$err" && [ ! -s "$work/stdout" ] &&
      [ ! -e "$reached" ] && [ ! -e "$work/build" ]; } ||
      fail "seed $1 ($bad): exit code $status, reached $(cat "$reached" 2>/dev/null), $(cat -A "$err")"
    rm -f "$reached"
  elif ! compare_check settings dirs paths "${out[@]}" -- "${given[@]}" 2>"$err" >"$work/stdout" || [ -s "$err" ]; then
    fail "seed $1: refused although every name is sound: $(cat -A "$err")"
  else
    for i in "${!given[@]}"; do
      { [ "${dirs[i]}" = "${given[i]}" ] && [ "${paths[i]}" = "$(realpath -e -- "${given[i]}")" ]; } ||
        fail "seed $1: ${given[i]@Q} came back as ${dirs[i]@Q}, resolved as ${paths[i]@Q}"
    done
    [ ${#out[@]} = 0 ] || [ "${settings[out_path]}" = "$(realpath -m -- "${out[1]}")" ] || fail "seed $1: --out"
  fi
  [ "$(snapshot "$case")" = "$before" ] || fail "seed $1: the check or the command changed something on disk"
  cd "$work" || return
}

range=${FERRULON_NAMES:-1:60}
first=${range%%:*} count=1
[[ $range == *:* ]] && count=${range#*:}
for ((seed = first; seed < first + count; seed++)); do one_case "$seed"; done
[ "$failures" = 0 ] || echo "(replay a case alone: FERRULON_NAMES=SEED bash $0 $root)"

# The arguments: anywhere, the last of a repeated one, "--" before a name like an option; refusals.
parsed() { local -A settings; compare_args settings dirs "$@" 2>&1 &&
  echo "runs ${settings[runs]}, out '${settings[out]}', options '${settings[options]}', dirs ${dirs[*]}"; }
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

# The results folder: a new one of the run's own, never one that was there.
mkdir -p "$work/res/old" && echo kept >"$work/res/old/runs.csv" && : >"$work/res/file"
made=$(compare_results_folder "$work/res/new") && made+=" $(compare_results_folder "$work/res/old")"
expect "results folders" "${made//$work\/res\//}|$(cat "$work/res/old/runs.csv")|$(compare_results_folder "$work/res/file/x" 2>&1)" \
  "new old/$(date +%Y-%m-%d-%H%M)${made##*/old/"$(date +%Y-%m-%d-%H%M)"}|kept|refused: the results folder $work/res/file/x cannot be made, nor a new folder in it"
[ -z "$(find "$work/res/new" "$work/res/old/"*-* -mindepth 1)" ] || fail "a new results folder is not empty"

echo "$failures failed"
[ "$failures" -eq 0 ]
