#!/usr/bin/env bash
# The house style, checked: every C and C++ file of the checkout as clang-format lays it out
# (.clang-format), and every shell script clean under shellcheck (.shellcheckrc; each deliberate
# exception is a directive where it stands, with its reason). Installs both tools when missing.
# usage: bash scripts/lint.sh   (the files git tracks)
# Exit code: 0 clean; 1 a file is laid out otherwise or shellcheck has a note (each named above);
# 2 the tools could not be installed, or this is no git checkout.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null || ! command -v shellcheck >/dev/null; then
  bash scripts/install-deps.sh || exit 2
fi
git rev-parse --git-dir >/dev/null 2>&1 || { echo "== no files to check: $root is not a git checkout" >&2; exit 2; }
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
mapfile -t scripts < <(git ls-files '*.sh' '*.in')
status=0
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "== laid out otherwise than .clang-format says (above): clang-format -i FILE lays it out"
  status=1
fi
# A few scripts to a shellcheck, as many at once as there are processors: each follows what its
# scripts source, which makes it the slow half.
if ! printf '%s\0' "${scripts[@]}" | xargs -0 -n 4 -P "$(nproc)" shellcheck; then
  echo "== shellcheck's notes are above: mend each, or name the exception where it stands"
  status=1
fi
[ "$status" != 0 ] || echo "== ${#sources[@]} C and C++ files as .clang-format lays them out; ${#scripts[@]} scripts clean under shellcheck"
exit "$status"
