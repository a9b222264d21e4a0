#!/usr/bin/env bash
# Installs what is missing and builds for Windows x86-64 in $FERRULON_BUILD (default build/).
# usage: build.sh [target...]   (all targets when none is named)
# FERRULON_WERROR=ON makes compiler warnings errors in that build tree (the test command sets it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

bash "$root/scripts/install-deps.sh"
echo "== configuring and building in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release ${FERRULON_WERROR:+-DFERRULON_WERROR=$FERRULON_WERROR} >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
