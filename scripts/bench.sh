#!/usr/bin/env bash
# Measurements, in two parts (both when neither is named):
#  scores    one complete run of the real ferrulon.exe, driven by the headless demo's driver, on each
#            of tmpfs (m:), a directory on the build tree's disk (d:) and NTFS (e:), exFAT (f:) and
#            FAT32 (g:) mounted through FUSE; writes the table into docs/benchmarks.md and draws
#            docs/scores-by-filesystem.png from the same figures (about 8 minutes)
#  overhead  the program's own overhead per write/verify cycle (A/B, see bench/overhead.cpp) on m:
#            and d:, plus the size and imports of ferrulon.exe
# usage: bash scripts/bench.sh [scores|overhead] [rounds] [cycles-per-round]   (rounds, cycles: A/B)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
part=all
case ${1:-} in scores | overhead) part=$1; shift ;; esac
rounds=${1:-30} cycles=${2:-10}

FERRULON_BUILD=$build bash "$root/scripts/build.sh" ferrulon overhead_bench ferrulon_demo
[ "$part" = overhead ] || bash "$root/scripts/install-deps.sh" gnuplot-nox   # the chart

source "$root/scripts/wine-session.sh"
source "$root/scripts/windows-filesystems.sh"
wine_tools
disk="$build/bench-disk" work="$build/bench-scores"
fs_letters="ntfs:e exfat:f fat32:g"
mkdir -p "$disk" "$work"
export WINEPREFIX="$build/wineprefix"
# Wine lets go of the drives before they are unmounted; Ctrl+C takes the same way out.
cleanup() {
  wine_session_down
  rm -f "$WINEPREFIX/dosdevices/d:"
  wine_fs_unmap "$fs_letters"
  winfs_down
  rm -rf "$disk" "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
[ "$part" = overhead ] || winfs_up
wine_session_up "$build"
# d: and the filesystems join the drive list when Wine's session starts again. With c: they come
# before m:, so all of them are among the seven drives the window offers.
ln -sfn "$disk" "$WINEPREFIX/dosdevices/d:"
wine_fs_map "$fs_letters"
"$WINESERVER" -k || true; "$WINESERVER" -w || true
"$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
wine_quiet cmd /c exit

exe="$build/app/ferrulon.exe"
if [ "$part" != scores ]; then
  echo "ferrulon.exe: $(stat -c %s "$exe") bytes; imports:" \
       $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
  for drive in 'm:\' 'd:\'; do
    "$WINE" "$build/bench/overhead_bench.exe" "$drive" "$rounds" "$cycles" 2>/dev/null | tr -d '\r'
  done
fi
[ "$part" != overhead ] || exit 0

# 1234567 as 1,234,567
grouped() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }

# One complete run on a drive: appends its row to the table and its bar to the chart's figures.
failed=0 tmpfs_score=""
score_drive() {
  local letter=$1 label=$2 how=$3 dir=$4 output score begun=$SECONDS seconds fstype
  fstype=$(df --output=fstype "$dir" | tail -n 1 | tr -d ' ')
  echo "== $label on $letter: ($fstype): one complete run"
  output=$("$WINE" "$build/tools/demo/ferrulon_demo.exe" "$exe" "$letter" "$work/window.bmp" </dev/null 2>/dev/null |
           tr -d '\r') || true
  seconds=$((SECONDS - begun))
  score=$(echo "$output" | sed -n 's/^score: \([0-9]*\) ms per pass.*/\1/p')
  if [ -z "$score" ]; then
    echo "$output" | grep -v '^  pass ' | sed 's/^/   /'
    echo "| $letter: | $label | $how | no score: $(echo "$output" | grep -E '^(verdict|demo stopped):' | head -n 1) | | | |" \
      >>"$work/table.md"
    failed=1
    return 0
  fi
  echo "   score: $score ms per pass; the whole run took $seconds s"
  [ "$letter" != m ] || tmpfs_score=$score
  # The machine's load over the last minute of the run: other work on a shared machine slows it.
  printf '| %s: | %s | %s | %s | %s | %s s | %s |\n' "$letter" "$label" "$how" "$(grouped "$score")" \
    "$(awk -v a="$score" -v b="$tmpfs_score" 'BEGIN { if (b > 0) printf "%.2f", a / b }')" "$seconds" \
    "$(cut -d ' ' -f 1 /proc/loadavg)" >>"$work/table.md"
  printf '%s (%s:)\t%s\n' "$label" "$letter" "$score" >>"$work/scores.tsv"
}

: >"$work/table.md"; : >"$work/scores.tsv"
disk_type=$(df --output=fstype "$disk" | tail -n 1 | tr -d ' ')
score_drive m tmpfs "in memory (the test drives' default)" "$FERRULON_DRIVE_BASE/m"
score_drive d "$disk_type" "a directory in the build tree, on its disk" "$disk"
for pair in $fs_letters; do
  kind=${pair%%:*} letter=${pair#*:}
  case $kind in
    ntfs) label=NTFS how="ntfs-3g (FUSE) on a 64 MB image" ;;
    exfat) label=exFAT how="exfat-fuse (FUSE) on a loop device, 64 MB image" ;;
    fat32) label=FAT32 how="fusefat (FUSE) on a 64 MB image" ;;
  esac
  case " $WINFS_MOUNTED " in
    *" $kind "*) score_drive "$letter" "$label" "$how" "$WINFS_BASE/$kind" ;;
    *) echo "| $letter: | $label | $how | not mounted on this machine | | | |" >>"$work/table.md" ;;
  esac
done

# The chart and the marked section of docs/benchmarks.md, from the figures just measured.
machine="Wine $("$WINE" --version | sed 's/^wine-//; s/ .*//'), Linux $(uname -r | cut -d- -f1), $(nproc) cores"
when=$(date -u +%Y-%m-%d)
bash "$root/scripts/plot-scores.sh" "$work/scores.tsv" "$root/docs/scores-by-filesystem.png" "$machine; $when"
{
  echo "<!-- scores by filesystem: written by scripts/bench.sh, which replaces everything up to the end mark -->"
  echo "Measured $when by \`bash scripts/bench.sh scores\` ($machine; the FUSE images lie on tmpfs;"
  echo "load: the machine's load average over the run's last minute, $(nproc) meaning every core busy):"
  echo
  echo "| drive | filesystem | mounted as | score (ms per pass) | × tmpfs | whole run | load |"
  echo "|---|---|---|---|---|---|---|"
  cat "$work/table.md"
  echo
  echo "![Scores by filesystem, one bar per drive](scores-by-filesystem.png)"
  echo "<!-- end of scores by filesystem -->"
} >"$work/section.md"
doc="$root/docs/benchmarks.md"
if grep -q '^<!-- scores by filesystem:' "$doc"; then
  awk -v section="$work/section.md" '
    /^<!-- scores by filesystem:/ { while ((getline line < section) > 0) print line; skipping = 1; next }
    skipping && /^<!-- end of scores by filesystem -->/ { skipping = 0; next }
    !skipping { print }' "$doc" >"$work/benchmarks.md"
  cp "$work/benchmarks.md" "$doc"
else
  { echo; echo "## Scores by filesystem"; echo; cat "$work/section.md"; } >>"$doc"
fi
echo "== table: docs/benchmarks.md (Scores by filesystem); chart: docs/scores-by-filesystem.png"
exit "$failed"
