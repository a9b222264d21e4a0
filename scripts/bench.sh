#!/usr/bin/env bash
# Measures the program's own overhead per write/verify cycle (A/B, see bench/overhead.cpp) on a
# tmpfs drive (m:) and on a disk-backed drive (d:, a directory in the build tree), plus the size
# and imports of ferrulon.exe. usage: bash scripts/bench.sh [rounds] [cycles-per-round]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
rounds=${1:-30} cycles=${2:-10}

FERRULON_BUILD=$build bash "$root/scripts/build.sh" ferrulon overhead_bench

source "$root/scripts/wine-session.sh"
disk="$build/bench-disk"
mkdir -p "$disk"
export WINEPREFIX="$build/wineprefix"
cleanup() { wine_session_down; rm -f "$WINEPREFIX/dosdevices/d:"; rm -rf "$disk"; }
trap cleanup EXIT
wine_session_up "$build"
# d: joins the drive list when Wine's session starts again.
ln -sfn "$disk" "$WINEPREFIX/dosdevices/d:"
"$WINESERVER" -k || true; "$WINESERVER" -w || true
"$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
wine_quiet cmd /c exit

exe="$build/app/ferrulon.exe"
echo "ferrulon.exe: $(stat -c %s "$exe") bytes; imports:" \
     $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
for drive in 'm:\' 'd:\'; do
  "$WINE" "$build/bench/overhead_bench.exe" "$drive" "$rounds" "$cycles" 2>/dev/null | tr -d '\r'
done
