#!/usr/bin/env bash
# Installs what is missing and builds for Windows x86-64 in $FERRULON_BUILD (default build/).
# usage: build.sh [target...]   (all targets when none is named)
# FERRULON_WERROR=ON makes compiler warnings errors in that build tree (the test command sets it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
cd -- "$root"   # cmake cannot work from a directory whose path is too long to tell (a user's, as given)

bash "$root/scripts/install-deps.sh"
mkdir -p -- "$build"
# One build at a time in a tree: a second command waits for the first's build (its compilers hold the lock).
exec 8>>"$build/.build-lock"
flock -n 8 || { echo "== waiting for another build in $build"; flock 8; }
echo "== configuring and building in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release ${FERRULON_WERROR:+-DFERRULON_WERROR=$FERRULON_WERROR} >/dev/null ||
  { echo "== cmake could not configure $build" >&2; exit 2; }
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}" || { echo "== the build failed (its errors are above)" >&2; exit 2; }
