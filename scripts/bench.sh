#!/usr/bin/env bash
# Measurements, in three parts (scores and overhead when none is named):
#  scores    one complete run of the real ferrulon.exe, driven by the headless demo's driver, on each
#            of tmpfs (m:), a directory on the build tree's disk (d:) and NTFS (e:), exFAT (f:) and
#            FAT32 (g:) mounted through FUSE; writes the table into docs/benchmarks.md and draws
#            docs/scores-by-filesystem.png from the same figures (about 8 minutes)
#  overhead  the program's own overhead per write/verify cycle (A/B, see bench/overhead.cpp) on m:
#            and d:, plus the size and imports of ferrulon.exe
#  whole     the whole-run check on m: (tmpfs): complete runs of the real ferrulon.exe, driven by the
#            headless demo's driver, between bare runs of the same requests (bench/bare_run.cpp), in
#            one Wine session: bare, program, bare, program, ..., bare; each score against the mean of
#            the bare scores before and after it, and the median of those ratios (2-3 minutes a round)
# usage: bash scripts/bench.sh [scores|overhead] [rounds] [cycles-per-round]   (rounds, cycles: A/B)
#        bash scripts/bench.sh whole [rounds]   (3 rounds when not given)
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/command.sh
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
part=all
case ${1:-} in scores | overhead | whole) part=$1; shift ;; esac
rounds=${1:-$([ "$part" = whole ] && echo 3 || echo 30)} cycles=${2:-10}
[[ $rounds =~ ^[1-9][0-9]{0,2}$ && $cycles =~ ^[1-9][0-9]{0,3}$ ]] || refuse "rounds and cycles are whole numbers from 1"
# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
# shellcheck source=scripts/windows-filesystems.sh
source "$root/scripts/windows-filesystems.sh"
# shellcheck source=scripts/user-drives.sh
source "$root/scripts/user-drives.sh"
results() { python3 "$root/scripts/results.py" "$@"; }
command_lock "$build" tests   # the tests' prefix and drives

step "installing what is missing and building in $build"
FERRULON_BUILD=$build run_step bash "$root/scripts/build.sh" ferrulon overhead_bench bare_run ferrulon_demo
disk=$(mktemp -d "$build/bench-disk.XXXXXX") work=$(mktemp -d "$build/bench-scores.XXXXXX")
command_on_exit rm -rf -- "$disk" "$work"
step "starting Wine with the test drives, a directory on the disk (d:) and the Windows filesystems (e: f: g:)"
command_on_exit session_down
session_up "$build/wineprefix" tests
# d: and the filesystems before m:, so that all of them are among the seven drives the window offers.
SESSION_FS_LETTERS="ntfs:e exfat:f fat32:g"
session_test_drives
if [ "$part" != overhead ] && [ "$part" != whole ]; then session_windows_filesystems; fi
session_link d "$disk"
session_start

exe=${FERRULON_EXE:-$build/app/ferrulon.exe}   # another build's ferrulon.exe may be measured instead
if [ "$part" = overhead ] || [ "$part" = all ]; then
  echo "ferrulon.exe: $(stat -c %s "$exe") bytes; imports:" \
       "$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
  for drive in "m:\\" "d:\\"; do
    "$WINE" "$build/bench/overhead_bench.exe" "$drive" "$rounds" "$cycles" 2>"$work/ab.err" >"$work/ab.out" ||
      { tr -d '\r' <"$work/ab.out"; cat "$work/ab.err"; echo "== the A/B benchmark failed on $drive" >&2; command_end 2; }
    tr -d '\r' <"$work/ab.out"
  done
fi
[ "$part" != overhead ] || command_end 0

# The whole-run check: one line a run in whole.txt ("bare SCORE MEAN_US LOAD", "program SCORE - LOAD"),
# the statistics from those lines only.
if [ "$part" = whole ]; then
  step "the whole-run check on m: (tmpfs): $rounds rounds, each a bare run and a run of ferrulon.exe, then a bare run"
  : >"$work/whole.txt"
  bare_once() {
    local status=0 line
    run_step "$WINE" "$build/bench/bare_run.exe" "m:\\" </dev/null 2>/dev/null | tr -d '\r' >"$work/bare.log" || status=$?
    if ! line=$(grep -a '^result: bare ' "$work/bare.log") || [ "$status" != 0 ]; then
      cat "$work/bare.log"
      echo "== the bare run on m: failed (exit code $status)" >&2
      command_end 2
    fi
    echo "bare ${line#result: bare } $(cut -d ' ' -f 1 /proc/loadavg)" | tee -a "$work/whole.txt"
  }
  program_once() {
    local status=0 outcome verdict score
    run_step "$WINE" "$build/tools/demo/ferrulon_demo.exe" "$exe" m "$work/window.bmp" </dev/null 2>/dev/null |
      tr -d '\r' >"$work/demo.log" || status=$?
    outcome=$(results result "$work/demo.log" "$status")
    read -r verdict score <<<"$outcome"
    [ -n "$score" ] ||
      { sed 's/^/   /' "$work/demo.log"; echo "== ferrulon.exe gave no score on m: ($verdict)" >&2; command_end 2; }
    echo "program $score - $(cut -d ' ' -f 1 /proc/loadavg)" | tee -a "$work/whole.txt"
  }
  for ((round = 1; round <= rounds; round++)); do bare_once; program_once; done
  bare_once
  results whole "$work/whole.txt" "$(nproc)"
  command_end 0
fi

# One complete run on a drive: its line in drives.csv (letter, filesystem, how it is mounted, verdict,
# score, seconds, load), from which the table is made, and its bar in the chart's figures.
failed=0
score_drive() {
  local letter=$1 label=$2 how=$3 dir=$4 begun=$SECONDS seconds fstype status=0 outcome verdict score
  fstype=$(user_drive_mount "$dir" FSTYPE)
  echo "== $label on $letter: ($fstype): one complete run"
  run_step "$WINE" "$build/tools/demo/ferrulon_demo.exe" "$exe" "$letter" "$work/window.bmp" </dev/null 2>/dev/null |
    tr -d '\r' >"$work/demo.log" || status=$?
  seconds=$((SECONDS - begun))
  outcome=$(results result "$work/demo.log" "$status")
  read -r verdict score <<<"$outcome"
  # The machine's load over the last minute of the run: other work on a shared machine slows it.
  results csv-line "$letter" "$label" "$how" "$verdict" "$score" "$seconds" "$(cut -d ' ' -f 1 /proc/loadavg)" \
    >>"$work/drives.csv"
  if [ -z "$score" ]; then
    sed 's/^/   /' "$work/demo.log"
    failed=1
    return 0
  fi
  echo "   score: $score ms per pass; the whole run took $seconds s"
  printf '%s (%s:)\t%s\n' "$label" "$letter" "$score" >>"$work/scores.tsv"
}

: >"$work/drives.csv"; : >"$work/scores.tsv"
disk_type=$(user_drive_mount "$disk" FSTYPE)
score_drive m tmpfs "in memory (the test drives' default)" "$FERRULON_DRIVE_BASE/m"
score_drive d "$disk_type" "a directory in the build tree, on its disk" "$disk"
for pair in $SESSION_FS_LETTERS; do
  kind=${pair%%:*} letter=${pair#*:}
  case $kind in
    ntfs) label=NTFS how="ntfs-3g (FUSE) on a 64 MB image" ;;
    exfat) label=exFAT how="exfat-fuse (FUSE) on a loop device, 64 MB image" ;;
    fat32) label=FAT32 how="fusefat (FUSE) on a 64 MB image" ;;
  esac
  case " $WINFS_MOUNTED " in
    *" $kind "*) score_drive "$letter" "$label" "$how" "$WINFS_BASE/$kind" ;;
    *) results csv-line "$letter" "$label" "$how" unmounted "" "" "" >>"$work/drives.csv" ;;
  esac
done

# The chart and the marked section of docs/benchmarks.md, from the figures just measured.
wine=$("$WINE" --version) kernel=$(uname -r)
wine=${wine#wine-} kernel=${kernel%%-*}
machine="Wine ${wine%% *}, Linux $kernel, $(nproc) cores"
when=$(date -u +%Y-%m-%d)
if [ -s "$work/scores.tsv" ]; then
  bash "$root/scripts/plot-scores.sh" "$work/scores.tsv" "$root/docs/scores-by-filesystem.png" "$machine; $when"
else
  echo "== no drive gave a score: no chart drawn"
fi
results benchmarks "$work/drives.csv" "$root/docs/benchmarks.md" "$when" "$machine" "$(nproc)"
echo "== table: docs/benchmarks.md (Scores by filesystem); chart: docs/scores-by-filesystem.png"
[ "$failed" = 0 ] || echo "== a drive gave no score (its row says why)" >&2
command_end "$failed"
