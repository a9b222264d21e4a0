#!/usr/bin/env bash
# Validates the workflows in .github/workflows against GitHub's workflow schema with npm's
# action-validator, installed once under BUILD/tools (with Debian's nodejs and npm when npm is missing),
# then checks that the release publishes the ZIP of the Linux test command that Windows tested.
# usage: check-workflow.sh [BUILD]   (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=${1:-$root/build}/tools
version=0.6.0   # checked: exit 0 on a valid workflow, 1 on a misspelt key
validator=$tools/node_modules/.bin/action-validator

command -v npm >/dev/null || bash "$root/scripts/install-deps.sh" nodejs npm
if ! grep -qs "\"version\": \"$version\"" "$tools/node_modules/@action-validator/cli/package.json"; then
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error \
    "@action-validator/cli@$version" "@action-validator/core@$version" >/dev/null ||
    { echo "== npm could not install the workflow validator (action-validator $version)" >&2; exit 2; }
fi
cd "$root"
for workflow in .github/workflows/*.yml; do
  "$validator" "$workflow" || { echo "== $workflow is not a valid workflow (action-validator $version)"; exit 1; }
done
echo "== workflows valid (action-validator $version): $(echo .github/workflows/*.yml)"

# What makes the released ZIP the tested one: the release needs the linux and windows jobs, and the
# linux job (the test command in Debian 12), the windows job and the release all take one artifact.
w=.github/workflows/windows.yml
job() { awk -v j="$1:" '/^  [a-z-]+:$/ { on = ($1 == j) } on' "$w"; }
wrong() { echo "== $w: $*"; exit 1; }
linux=$(job linux) windows=$(job windows) release=$(job release)
grep -qx '    needs: \[linux, windows\]' <<<"$release" || wrong "the release job must need the linux and windows jobs"
grep -q 'image: debian:12' <<<"$linux" && grep -qx '        run: bash scripts/test.sh' <<<"$linux" ||
  wrong "the linux job must run the test command in debian:12"
for j in linux windows release; do
  [ "$(grep -c 'name: ${{ env.ARTIFACT }}$' <<<"${!j}")" = 1 ] || wrong "the $j job must take the artifact \$ARTIFACT, once"
done
[ "$(grep -c 'actions/download-artifact' <<<"$release")" = 1 ] || wrong "the release job must download one artifact"
echo "== the release takes the linux job's ZIP, which the windows job tested ($w)"
