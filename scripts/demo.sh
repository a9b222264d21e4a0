#!/usr/bin/env bash
# The headless demonstration, which compares drives too: builds Ferrulon, starts a private X display
# (Xvfb), maps the given directories (or else a temporary one) as Wine's drives from d: on, six at a
# time, and measures each in the order given, N times, through tools/demo: a fresh ferrulon.exe each
# run, real clicks on the drive and on Start. Tells the progress, then prints a table; the results
# folder gets one CSV line per run, the table, a chart and each directory's last window.
# usage: bash scripts/demo.sh [PICTURE.png] [--runs N] [--out DIR] [DIR ...]
#   PICTURE.png  a copy of the first directory's last window (scripts/screenshot.sh)
#   --out DIR    the results folder (default <build>/results/<date and time>)
# Exit code: 0 every run green; 1 a run ended red (the drive gave back different data: that
# directory's remaining runs are skipped, the next one is measured); 2 a measurement could not be
# made; 130 after Ctrl+C; 143 on SIGTERM.
set -eEuo pipefail
trap 'exit 2' ERR   # whatever fails unforeseen, the exit code never reads as a drive's fault
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
shot=
if [ $# -gt 0 ] && [[ $1 == *.png ]] && [ ! -d "$1" ]; then shot=$(realpath -m "$1"); shift; fi
source "$root/scripts/progress.sh"
source "$root/scripts/user-drives.sh"
source "$root/scripts/compare.sh"
compare_args "$@" || exit 2
user_drives_check "${COMPARE_DIRS[@]}" || exit 2
out=${COMPARE_OUT:-$build/results/$(date +%Y-%m-%d-%H%M%S)}
compare_out_ready "$out" || exit 2
out=$(realpath "$out") runs=$COMPARE_RUNS
csv="$out/runs.csv"
echo "$COMPARE_CSV_HEADER" >"$csv"

echo "== building ferrulon.exe and the demo driver (the first time also installs packages)"
with_progress "installing and building" env FERRULON_BUILD="$build" bash "$root/scripts/build.sh" ferrulon ferrulon_demo ||
  exit 2

source "$root/scripts/wine-session.sh"
wine_tools
export WINEPREFIX="$build/wineprefix-demo"
work=   # the temporary directory measured when no DIR is given
picture=$(mktemp -u "${TMPDIR:-/tmp}/ferrulon-demo.XXXXXX.bmp") log=$(mktemp)
# However the demonstration ends (Ctrl+C included): Wine's session, the drive links, the temporary
# files and the private display go.
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  user_drives_unmap
  rm -f "$picture" "$log"
  if [ -n "$work" ]; then rm -rf "$work"; fi
  if [ -n "${FERRULON_XVFB_PID:-}" ]; then kill "$FERRULON_XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'echo "== interrupted; the runs made so far: $csv"; exit 130' INT
trap 'exit 143' TERM

echo "== starting a private X display"
unset DISPLAY
wine_display_up
echo "   Xvfb on $DISPLAY"
with_progress "creating the Wine prefix" wine_prefix_create
if [ ${#COMPARE_DIRS[@]} -eq 0 ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/ferrulon-demo.XXXXXX")
  echo "== no directory given: measuring a temporary one (bash scripts/run.sh DIR measures DIR)"
  COMPARE_DIRS=("$work")
fi
total=${#COMPARE_DIRS[@]}
echo "== results folder: $out"

# 75 as "1 min 15 s".
duration() { if [ "$1" -ge 60 ]; then echo "$(($1 / 60)) min $(($1 % 60)) s"; else echo "$1 s"; fi; }

# The time left, from the runs that gave a score: this drive's remaining runs at its own pace, the
# drives after it at the pace of every drive so far. Nothing before this drive's first score.
# usage: time_left SECONDS_INTO_THIS_RUN, or "done" just after a run
green_seconds=0 green_runs=0   # over every drive so far
time_left() {
  [ "$drive_green" -gt 0 ] || return 0
  local pace=$((drive_seconds / drive_green)) left=0
  if [ "$1" != done ] && [ "$1" -lt "$pace" ]; then left=$((pace - $1)); fi
  left=$((left + (runs - run) * pace + (total - index) * runs * green_seconds / green_runs))
  if [ "$left" -gt 0 ]; then echo "; about $(duration "$left") left"; fi
}

# Measures drive LETTER (DIR, the INDEX-th of all) up to $runs times; a run that is not green ends
# its runs. Appends one CSV line per run and keeps a picture of the last window.
measure_drive() {
  index=$1 letter=${2%:} dir=$3
  local device fstype options started begun status score verdict label name skipped
  device=$(user_drive_mount "$dir" SOURCE) fstype=$(user_drive_mount "$dir" FSTYPE) options=$(user_drive_mount "$dir" OPTIONS)
  drive_seconds=0 drive_green=0
  echo "== drive $index of $total, $letter: ($dir): $runs run(s) of 50 passes of 50 write/verify cycles," \
       "each about a minute or more under Wine"
  for ((run = 1; run <= runs; run++)); do
    label="drive $index of $total, run $run of $runs"
    started=$(date -Iseconds) begun=$SECONDS status=0
    rm -f "$picture"
    # In the background, so that Ctrl+C reaches the trap at once.
    "$WINE" "$build/tools/demo/ferrulon_demo.exe" "$build/app/ferrulon.exe" "$letter" "$picture" </dev/null 2>/dev/null |
      while IFS= read -r line; do
        line=${line%$'\r'}
        printf '%s\n' "$line" >>"$log"
        case $line in
          "  pass "*) line=${line#  pass }; echo "   $label: pass ${line%% done*}, $((SECONDS - begun)) s$(time_left $((SECONDS - begun)))" ;;
          "window open;"* | "run started:"* | "screenshot saved" | "verdict: "* | "score: "*) ;;
          *) echo "   $line" ;;
        esac
      done &
    wait $! || status=$?
    score=$(sed -n 's/^score: \([0-9][0-9]*\) ms per pass.*/\1/p' "$log" | tail -n 1)
    : >"$log"
    case $status in 0) verdict=green ;; 1) verdict=red ;; *) verdict=none ;; esac
    if [ "$verdict" = green ] && [ -z "$score" ]; then verdict=none status=2; fi
    compare_csv_line "$started" "$dir" "$device" "$fstype" "$options" "$run" "$verdict" "$score" >>"$csv"
    skipped=
    if [ "$run" -lt "$runs" ]; then skipped="; its remaining runs are skipped"; fi
    case $verdict in
      green)
        drive_seconds=$((drive_seconds + SECONDS - begun)) drive_green=$((drive_green + 1))
        green_seconds=$((green_seconds + SECONDS - begun)) green_runs=$((green_runs + 1))
        echo "   $label: green, $score ms per pass (the run took $((SECONDS - begun)) s)$(time_left done)" ;;
      red)
        echo "   $label: RED, the drive gave back different data$skipped"
        break ;;
      none)
        echo "   $label: no score (the demo's exit code $status)$skipped"
        break ;;
    esac
  done
  if [ -s "$picture" ]; then
    name=$(basename -- "$dir") && name=${name//[^A-Za-z0-9._-]/_}
    if ! convert "$picture" "$out/window-$index-$name.png"; then
      echo "   the picture of the window could not be kept"
    elif [ -n "$shot" ] && [ "$index" = 1 ]; then
      mkdir -p "$(dirname "$shot")" && cp "$out/window-$index-$name.png" "$shot" && echo "== the window: $shot"
    fi
  fi
}

# Six directories at a time, as many as the window offers beside c:. Wine reads its drive letters
# when its session starts: the session ends, the next ones are mapped, a new session starts.
for ((first = 0; first < total; first += USER_DRIVES_MAX)); do
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  user_drives_unmap
  user_drives_map "${COMPARE_DIRS[@]:first:USER_DRIVES_MAX}"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
  wine_quiet cmd /c exit
  for i in "${!USER_DRIVE_LINKS[@]}"; do
    measure_drive $((first + i + 1)) "$(basename "${USER_DRIVE_LINKS[i]}")" "${USER_DRIVE_DIRS[i]}"
  done
done
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
user_drives_unmap

echo
compare_table "$csv" "$runs" | tee "$out/table.txt"
echo
machine="Wine $("$WINE" --version | sed 's/^wine-//; s/ .*//'), Linux $(uname -r | cut -d- -f1), $(nproc) cores"
if ! why=$(compare_chart "$csv" "$runs" "$out/scores.png" "$machine; $(date +%Y-%m-%d)" 2>&1); then
  echo "== the chart could not be drawn: $(echo "$why" | tail -n 1)"
fi
echo "== results folder: $out"
echo "   runs.csv (one line per run), table.txt, scores.png (the chart), window-N-*.png (each directory's last window)"
status=0
compare_exit_code "$csv" "$runs" || status=$?
case $status in
  0) echo "== every run green. With a display (DISPLAY set), bash scripts/run.sh opens the window for you." ;;
  1) echo "== FAILED: a drive gave back different data (a run ended with the red banner); exit code 1" ;;
  *) echo "== a measurement could not be made; exit code 2" ;;
esac
exit "$status"
