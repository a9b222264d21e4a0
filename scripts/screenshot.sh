#!/usr/bin/env bash
# Refreshes docs/ferrulon.png, the README's picture of the window after a complete run, through
# the headless measurement.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" ferrulon ferrulon_demo
exec bash "$root/scripts/demo.sh" "$root/docs/ferrulon.png"
