#!/usr/bin/env bash
# Installs what is missing, checks the Windows workflow, builds for Windows x86-64 with MinGW's g++
# and, ferrulon.exe only, with Clang (warnings are errors in both), and the core and window tests
# once more with traps on undefined behaviour, then runs every test under Wine, with NTFS, exFAT and
# FAT32 drives mounted through FUSE where this machine allows it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

# The Windows workflow against GitHub's workflow schema: a broken one fails here, not on a runner.
bash "$root/scripts/check-workflow.sh" "$build"

FERRULON_BUILD=$build FERRULON_WERROR=ON bash "$root/scripts/build.sh"
echo "   installs, workflow check and build: $SECONDS s"

# A second compiler: code that only one of them accepts, or warns about, cannot land.
echo "== building ferrulon.exe with Clang in $build/clang"
begun=$SECONDS
(cd "$root" && cmake --preset mingw-clang-cross -B "$build/clang" >/dev/null)
cmake --build "$build/clang" -j "$(nproc)" --target ferrulon
echo "   Clang build: $((SECONDS - begun)) s"

# The core and window tests once more, with undefined-behaviour checks that trap and the C++
# library's own assertions (a read or write outside a buffer, an overflow, an index out of range).
# Built while the drives are mounted and the main tests run, which mostly wait on Wine.
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

source "$root/scripts/wine-session.sh"
source "$root/scripts/windows-filesystems.sh"
wine_tools
export WINEPREFIX="$build/wineprefix"
# Wine lets go of the drives before they are unmounted; Ctrl+C takes the same way out.
cleanup() { kill "$checked_build" 2>/dev/null || true; wine_session_down; winfs_down; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
echo "== mounting the NTFS, exFAT and FAT32 test drives"
winfs_up
echo "== starting Wine with the test drives"
wine_session_up "$build" "ntfs:d exfat:e fat32:f"
echo "== running the tests ($SECONDS s in)"
status=0
(cd "$build" && ctest --output-on-failure --timeout 600) || status=$?
echo "   tests done: $SECONDS s in"
if wait "$checked_build"; then
  tail -n 1 "$checked_log"
  echo "== running the checked core and window tests"
  (cd "$build/checked" && ctest --output-on-failure --timeout 300) || status=$?
  echo "   checked tests done: $SECONDS s in"
else
  cat "$checked_log"
  echo "== the checked build failed"
  status=1
fi
exit $status
