#!/usr/bin/env bash
# Installs what is missing and builds for Windows x86-64 in $FERRULON_BUILD (default build/), configured
# by the preset mingw-cross (CMakePresets.json).
# usage: build.sh [target...]   (all targets when none is named)
# FERRULON_WERROR=ON makes compiler warnings errors in that build tree (the test command sets it).
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
cd -- "$root"   # cmake cannot work from a directory whose path is too long to tell (a user's, as given)

bash "$root/scripts/install-deps.sh" || command_end 2
# One build at a time in a tree: a second command waits for the first's build to end.
command_lock "$build" build --wait
echo "== configuring and building in $build"
cmake --preset mingw-cross -B "$build" ${FERRULON_WERROR:+-DFERRULON_WERROR=$FERRULON_WERROR} >/dev/null ||
  { echo "== cmake could not configure $build" >&2; command_end 2; }
targets=()
for target in "$@"; do targets+=(--target "$target"); done
run_step cmake --build "$build" -j "$(nproc)" "${targets[@]}" ||
  { echo "== the build failed (its errors are above)" >&2; command_end 2; }
