#!/usr/bin/env bash
# Installs what is missing, builds for Windows x86-64 and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

bash "$root/scripts/install-deps.sh"
echo "== configuring and building in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"

source "$root/tests/wine-session.sh"
echo "== starting Wine with the test drives"
wine_session_up "$build"
trap wine_session_down EXIT
echo "== running the tests"
(cd "$build" && ctest --output-on-failure --timeout 600)
