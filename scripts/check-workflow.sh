#!/usr/bin/env bash
# Validates the workflows in .github/workflows against GitHub's workflow schema with npm's
# action-validator, installed once under BUILD/tools (with Debian's nodejs and npm when npm is missing),
# then reads the parsed Windows workflow (scripts/check-workflow.py, with Debian's python3-yaml) for
# what makes the release the tested, rebuilt bytes and keeps the workflow to least privilege.
# usage: check-workflow.sh [BUILD]   (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tools=${1:-$root/build}/tools
version=0.6.0   # checked: exit 0 on a valid workflow, 1 on a misspelt key
validator=$tools/node_modules/.bin/action-validator

command -v npm >/dev/null || bash "$root/scripts/install-deps.sh" nodejs npm
python3 -c 'import yaml' 2>/dev/null || bash "$root/scripts/install-deps.sh" python3-yaml
installed=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' \
            "$tools/node_modules/@action-validator/cli/package.json" 2>/dev/null) || installed=""
if [ "$installed" != "$version" ]; then
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error \
    "@action-validator/cli@$version" "@action-validator/core@$version" >/dev/null ||
    { echo "== npm could not install the workflow validator (action-validator $version)" >&2; exit 2; }
fi
cd "$root"
for workflow in .github/workflows/*.yml; do
  "$validator" "$workflow" || { echo "== $workflow is not a valid workflow (action-validator $version)"; exit 1; }
done
echo "== workflows valid (action-validator $version): $(echo .github/workflows/*.yml)"
python3 scripts/check-workflow.py .github/workflows/windows.yml
