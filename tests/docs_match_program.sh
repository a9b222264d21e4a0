#!/usr/bin/env bash
# The documents against the program: every text the window shows (in ui/texts.h, but the window
# title and those noted "never shown") in backticks in a row of the message table of README.md and
# of README.zh-CN.md; every option and exit code of the run command in README.md, each code as a
# "| `N` |" row.
# usage: docs_match_program.sh REPOSITORY
set -uo pipefail
root=$1 missing=0
lack() { echo "MISSING in $1: $2"; missing=1; }

texts=$(grep '^constexpr wchar_t' "$root/ui/texts.h" | grep -v -e 'WindowTitle\[' -e 'never shown' |
        sed 's/.*= L" *\([^"]*[^ "]\) *";.*/\1/')
options=$({ grep '^# usage:' "$root/scripts/run.sh"; grep -E '^ +--[a-z].*\)' "$root/scripts/compare.sh"; } |
          grep -oE -- '--[a-z]+' | sort -u)
codes=$({ grep -ohE '\b(exit|command_end|command_signal) [0-9]+' "$root/scripts/"{run,demo,command}.sh
          grep -oE '\bexit [a-z]+ \?[^}]*' "$root/scripts/compare.sh"; } | grep -oE '[0-9]+' | sort -un)
[ -n "$texts" ] && [ -n "$options" ] && [ -n "$codes" ] || { echo "found no texts, options or exit codes"; exit 1; }

for doc in "README.md Messages" "README.zh-CN.md 提示信息和窗口文字"; do
  set -- $doc
  rows=$(sed -n "/^## $2\$/,/^## /p" "$root/$1" | grep '^|')
  while IFS= read -r text; do
    grep -qF "\`$text\`" <<<"$rows" || lack "$1" "\`$text\` (ui/texts.h) in the table under ## $2"
  done <<<"$texts"
done
for option in $options; do
  grep -qF -- "\`$option" "$root/README.md" || lack README.md "the run command's option \`$option\`"
done
for code in $codes; do
  grep -qF "| \`$code\` |" "$root/README.md" || lack README.md "the run command's exit code $code as a \"| \`$code\` |\" row"
done
[ "$missing" = 0 ] && echo "documents match: $(echo "$texts" | wc -l) texts, options $(echo $options), exit codes $(echo $codes)"
