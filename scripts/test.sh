#!/usr/bin/env bash
# Installs what is missing, checks the Windows workflow, builds for Windows x86-64 with MinGW's g++
# and, ferrulon.exe only, with Clang (warnings are errors in both), and the core and window tests
# once more with traps on undefined behaviour, then runs every test under Wine. CTest's fixtures
# bring the Wine session up (with NTFS, exFAT and FAT32 drives mounted through FUSE where this
# machine allows it) and down again; this command takes it down too, however it ends.
# Exit code: 0 every test passed, 1 a test failed, 2 a step before the tests failed, 130 after
# Ctrl+C, 143 on SIGTERM.
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/command.sh
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
# shellcheck source=scripts/windows-filesystems.sh
source "$root/scripts/windows-filesystems.sh"
command_lock "$build" tests
# The safety net: whatever the fixtures left, were ctest killed.
# shellcheck disable=SC2317 # called by name, through command_on_exit
session_down_in() { wine_tools && export WINEPREFIX=$1/wineprefix && SESSION_DIR=$1/wineprefix.session && session_down; }
command_on_exit session_down_in "$build"
command_on_exit session_down_in "$build/checked"

# The Windows workflow against GitHub's workflow schema: a broken one fails here, not on a runner.
step "checking the Windows workflow"
run_step bash "$root/scripts/check-workflow.sh" "$build"
step "installing what is missing and building in $build"
FERRULON_BUILD=$build FERRULON_WERROR=ON run_step bash "$root/scripts/build.sh"
echo "   installs, workflow check and build: $SECONDS s"

# A second compiler: code that only one of them accepts, or warns about, cannot land.
step "building ferrulon.exe with Clang in $build/clang"
begun=$SECONDS
(cd "$root" && cmake --preset mingw-clang-cross -B "$build/clang" >/dev/null)
run_step cmake --build "$build/clang" -j "$(nproc)" --target ferrulon
echo "   Clang build: $((SECONDS - begun)) s"

# The core and window tests once more, with undefined-behaviour checks that trap and the C++
# library's own assertions (a read or write outside a buffer, an overflow, an index out of range).
# Built while the main tests run, which mostly wait on Wine.
checked_log="$build/checked-build.log"
build_checked() {
  (cd "$root" && cmake --preset mingw-checked -B "$build/checked" >/dev/null)
  nice -n 10 cmake --build "$build/checked" -j "$(nproc)" --target core_tests window_tests   # the tests go first
  echo "   checked build: $((SECONDS - begun)) s"
}
echo "== building the core and window tests with checks in $build/checked, meanwhile"
begun=$SECONDS
build_checked >"$checked_log" 2>&1 &
checked_build=$!

step "running the tests ($SECONDS s in)"
status=0
run_step ctest --test-dir "$build" --output-on-failure --timeout 600 || status=$?
echo "   tests done: $SECONDS s in"
step "waiting for the checked build"
if wait "$checked_build"; then
  echo "${checked_log##*/}: $(tail -n 1 "$checked_log")"
  step "running the checked core and window tests"
  run_step ctest --test-dir "$build/checked" --output-on-failure --timeout 300 || status=$?
  echo "   checked tests done: $SECONDS s in"
else
  cat "$checked_log"
  echo "== the checked build failed (its errors are above)" >&2
  command_end 2
fi
[ "$status" = 0 ] || { echo "== FAILED: some tests failed (above)" >&2; command_end 1; }
echo "== every test passed ($SECONDS s)"
command_end 0
