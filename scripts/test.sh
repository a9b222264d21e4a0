#!/usr/bin/env bash
# Installs what is missing, builds for Windows x86-64 and runs every test under Wine, with NTFS,
# exFAT and FAT32 drives mounted through FUSE where this machine allows it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}

FERRULON_BUILD=$build bash "$root/scripts/build.sh"

source "$root/scripts/wine-session.sh"
source "$root/scripts/windows-filesystems.sh"
wine_tools
export WINEPREFIX="$build/wineprefix"
# Wine lets go of the drives before they are unmounted; Ctrl+C takes the same way out.
cleanup() { wine_fs_session_down; wine_session_down; winfs_down; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
echo "== mounting the NTFS, exFAT and FAT32 test drives"
winfs_up
echo "== starting Wine with the test drives"
wine_session_up "$build"
wine_fs_session_up "$build"
echo "== running the tests"
(cd "$build" && ctest --output-on-failure --timeout 600)
