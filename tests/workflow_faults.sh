#!/usr/bin/env bash
# The workflow check against planted faults: the workflow as it stands passes; each copy with one
# fault planted, as an edit by hand would plant it, fails with the line that names it.
# usage: workflow_faults.sh REPOSITORY
set -uo pipefail
root=$1 work=$(mktemp -d) failed=0
trap 'rm -rf "$work"' EXIT
check() { python3 "$root/scripts/check-workflow.py" "$1"; }
check "$root/.github/workflows/windows.yml" >/dev/null || { echo "FAILED: the workflow as it stands"; exit 1; }

# fault | sed expression that plants it | what the check must say
while IFS='|' read -r fault edit says; do
  sed -e "$edit" "$root/.github/workflows/windows.yml" >"$work/planted.yml"
  cmp -s "$work/planted.yml" "$root/.github/workflows/windows.yml" && { echo "FAILED: '$edit' planted nothing"; failed=1; continue; }
  if ! out=$(check "$work/planted.yml") && grep -qF -- "$says" <<<"$out"; then
    echo "caught: $fault"
  else
    echo "FAILED: $fault: the check said \"$out\", not \"$says\""; failed=1
  fi
done <<'FAULTS'
a filter that drops the end-to-end runs|s/\$program\.exe 2>&1/$program.exe --gtest_filter=-Soak.*:CompleteRun.* 2>\&1/|no gtest filter
a floating image|s/debian:12@sha256:[0-9a-f]*/debian:12/|must be pinned by its digest
the Debian 13 leg gone|s/debian:trixie@/debian:bookworm@/|in Debian 12 and in Debian 13
an asset replaced on a re-run|s/gh release create "\$GITHUB_REF_NAME"/gh release upload --clobber "$GITHUB_REF_NAME"/|no --clobber
a missing rebuild gate|s/needs: \[linux, rebuild, windows\]/needs: [linux, windows]/|need the linux, windows and rebuild jobs
a rebuild as the same user|s/runuser -u rebuilder -- //|as another user
write for every job|s/^  contents: read/  contents: write/|read-only permissions
the checkout keeping its token|0,/persist-credentials: false/s//persist-credentials: true/|persist-credentials: false
an action pinned by tag|s/checkout@[0-9a-f]\{40\} # v4.2.2/checkout@v4/|pinned by a commit
one pin of three without its tag|0,/\(upload-artifact@[0-9a-f]*\) # v4.6.2/s//\1/|its tag in a comment
the artifact kept by both legs|s/keep: false/keep: true/|from its Debian 12 leg only
FAULTS
[ "$failed" = 0 ] && echo "every planted fault was caught"
exit $failed
