#!/usr/bin/env bash
# Installs what is missing, builds for Windows x86-64 and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

FERRULON_BUILD=$build bash "$root/scripts/build.sh"

source "$root/scripts/wine-session.sh"
echo "== starting Wine with the test drives"
wine_session_up "$build"
trap wine_session_down EXIT
echo "== running the tests"
(cd "$build" && ctest --output-on-failure --timeout 600)
