#!/usr/bin/env bash
# The documents against the program: every text the window shows (in ui/texts.h, but the window
# title and those noted "never shown") in backticks in a row of the message table of README.md and
# of README.zh-CN.md; every option of the run command in README.md, and the exit codes it gives without
# Wine: for an argument refused, on SIGINT, SIGTERM and SIGHUP while it asks for a package (stopping
# what it started) and for the results of a green run, then of a red one besides.
# usage: docs_match_program.sh REPOSITORY
set -uo pipefail
root=$1 missing=0
lack() { echo "MISSING in $1: $2"; missing=1; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT

texts=$(grep '^constexpr wchar_t' "$root/ui/texts.h" | grep -v -e 'WindowTitle\[' -e 'never shown' |
        sed 's/.*= L" *\([^"]*[^ "]\) *";.*/\1/')
options=$({ grep '^# usage:' "$root/scripts/run.sh"; grep -E '^ +--[a-z].*\)' "$root/scripts/compare.sh"; } |
          grep -oE -- '--[a-z]+' | sort -u)
{ [ -n "$texts" ] && [ -n "$options" ]; } || { echo "found no texts or options"; exit 1; }

# shellcheck disable=SC2016 # the stub's own script
mkdir "$work/bin" && printf '#!/bin/sh\necho $$ >"$0.pid"\nexec sleep 30\n' | install /dev/stdin "$work/bin/dpkg-query"
unset DISPLAY && export PATH=$work/bin:$PATH FERRULON_BUILD=$work/build
run() { exec bash "$root/scripts/run.sh" &>/dev/null; }
(timeout 20 bash "$root/scripts/run.sh" --runs 0 &>/dev/null) || codes="refused:$?"
set -m   # each in a process group of its own, where SIGINT is not ignored
for signal in SIGINT SIGTERM SIGHUP; do
  rm -f "$work/bin/dpkg-query.pid" && { run & }
  for _ in {1..100}; do [ -s "$work/bin/dpkg-query.pid" ] && break; sleep 0.1; done
  kill -s "$signal" $! && wait $! || codes+=" $signal:$?"
  state=$(ps -o stat= -p "$(cat "$work/bin/dpkg-query.pid")") && [[ $state != *Z* ]] &&
    { echo "FAILED: $signal left a child"; missing=1; }
done
python3 "$root/scripts/results.py" header >"$work/runs.csv"
for run in green,1234 "red,"; do   # verdict,score
  echo "2026-12-01T00:00:00+00:00,/media/${run%,*},/dev/sdb1,vfat,rw,1,$run" >>"$work/runs.csv"
  codes+=" ${run%,*}:$(python3 "$root/scripts/results.py" exit-code "$work/runs.csv" 1)"
done

for doc in "README.md Messages" "README.zh-CN.md 提示信息和窗口文字"; do
  set -- "${doc%% *}" "${doc#* }"
  rows=$(sed -n "/^## $2\$/,/^## /p" "$root/$1" | grep '^|')
  while IFS= read -r text; do
    grep -qF "\`$text\`" <<<"$rows" || lack "$1" "\`$text\` (ui/texts.h) in the table under ## $2"
  done <<<"$texts"
done
for option in $options; do
  grep -qF -- "\`$option" "$root/README.md" || lack README.md "the run command's option \`$option\`"
done
rows=$(awk '/^\*\*Exit codes\*\*/ { on = 1 } on && /^\| `/ { print; n++ } n && !/^\|/ { exit }' "$root/README.md")
for pair in $codes; do
  grep -q "^| \`${pair#*:}\` |.*${pair%:*}" <<<"$rows" || lack README.md "exit code ${pair#*:} for ${pair%:*}"
done
[ "$(wc -l <<<"$rows")" = "$(tr ' ' '\n' <<<"$codes" | cut -d: -f2 | sort -u | wc -l)" ] || lack README.md "only $codes"
[ "$missing" = 0 ] && echo "documents match: $(echo "$texts" | wc -l) texts, options ${options//$'\n'/ }, codes $codes"
