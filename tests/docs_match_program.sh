#!/usr/bin/env bash
# The documents against the program: every text the window shows is in the message tables of
# README.md and README.zh-CN.md, and every option and exit code of the run command is in README.md.
# Texts: each constexpr wchar_t literal of ui/texts.h, trimmed of spaces, except the window title (the
# name and version) and those whose note says "never shown"; a table row of the section must hold it
# in backticks. Options: the run command's usage line and its argument parser; exit codes: its
# `exit N` statements and the exit expression of its verdict (compare.sh), each as a "| `N` |" row.
# usage: docs_match_program.sh REPOSITORY
set -uo pipefail
root=$1 missing=0
lack() { echo "MISSING in $1: $2"; missing=1; }
rows() { sed -n "/^## $2\$/,/^## /p" "$root/$1" | grep '^|'; }   # table rows of section HEADING

texts=$(grep '^constexpr wchar_t' "$root/ui/texts.h" | grep -v -e 'WindowTitle\[' -e 'never shown' |
        sed 's/.*= L" *\([^"]*[^ "]\) *";.*/\1/')
options=$({ grep '^# usage:' "$root/scripts/run.sh"; grep -E '^ +--[a-z].*\)' "$root/scripts/compare.sh"; } |
          grep -oE -- '--[a-z]+' | sort -u)
codes=$({ grep -ohE '\bexit [0-9]+' "$root/scripts/run.sh" "$root/scripts/demo.sh"
          grep -oE '\bexit [a-z]+ \?[^}]*' "$root/scripts/compare.sh"; } | grep -oE '[0-9]+' | sort -un)
[ -n "$texts" ] && [ -n "$options" ] && [ -n "$codes" ] || { echo "found no texts, options or exit codes"; exit 1; }

while IFS= read -r text; do
  rows README.md Messages | grep -qF "\`$text\`" || lack README.md "\`$text\` (ui/texts.h) in the table under ## Messages"
  rows README.zh-CN.md 提示信息和窗口文字 | grep -qF "\`$text\`" ||
    lack README.zh-CN.md "\`$text\` (ui/texts.h) in the table under ## 提示信息和窗口文字"
done <<<"$texts"
for option in $options; do
  grep -qF -- "\`$option" "$root/README.md" || lack README.md "the run command's option \`$option\`"
done
for code in $codes; do
  grep -qF "| \`$code\` |" "$root/README.md" || lack README.md "the run command's exit code $code as a \"| \`$code\` |\" row"
done
[ "$missing" = 0 ] && echo "documents match: $(echo "$texts" | wc -l) texts, options $(echo $options), exit codes $(echo $codes)"
