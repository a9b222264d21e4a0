#!/usr/bin/env bash
# Refreshes docs/ferrulon.png, the README's picture of the window after a complete run, through
# the headless demonstration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec bash "$root/scripts/demo.sh" "$root/docs/ferrulon.png"
