#!/usr/bin/env bash
# The headless measurement of a built tree (the run command without a display, and the
# screenshot): starts a private X display (Xvfb), maps the given directories (or else a temporary
# one) as Wine's drives from d: on, six at a time, and measures each in the order given, N times,
# through tools/demo: a fresh ferrulon.exe each run, real clicks on the drive and on Start. Tells the
# progress, then prints a table; the results folder gets one CSV line per run, the table, a chart and
# each directory's last window. It installs and builds nothing: bash scripts/run.sh does that first.
# usage: bash scripts/demo.sh [PICTURE.png] [--runs N] [--out DIR] [DIR ...]
#   PICTURE.png  a copy of the first directory's last window (scripts/screenshot.sh)
#   --out DIR    the results folder (default <build>/results/<date and time>)
# Exit code: 0 every run green; 1 a run ended red (the drive gave back different data: that
# directory's remaining runs are skipped, the next one is measured); 2 a measurement could not be
# made, or a directory or argument was refused; 130 after Ctrl+C; 143 on SIGTERM.
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/command.sh
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
shot=
if [ $# -gt 0 ] && [[ $1 == *.png ]] && [ ! -d "$1" ]; then shot=$(realpath -m -- "$1" && echo x) shot=${shot%$'\nx'}; shift; fi
# shellcheck source=scripts/progress.sh
source "$root/scripts/progress.sh"
# shellcheck source=scripts/user-drives.sh
source "$root/scripts/user-drives.sh"
# shellcheck source=scripts/compare.sh
source "$root/scripts/compare.sh"
# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
command_lock "$build" demo   # run.sh, which exec'd this, holds it already: kept
declare -A settings
compare_check settings dirs paths "$@" || command_end 2   # the directories as given, and resolved
case $build in /*) ;; *) build=$PWD/$build ;; esac
cd -- "$root"   # every path is resolved now; Wine cannot start from a directory too long to tell
for exe in app/ferrulon.exe tools/demo/ferrulon_demo.exe; do
  [ -f "$build/$exe" ] || refuse "$build/$exe is not built: bash scripts/run.sh builds it first"
done
runs=${settings[runs]}
results() { python3 "$root/scripts/results.py" "$@"; }

# However the measurement ends (Ctrl+C included): Wine's session, the drive links, the directories of
# the run's own (with a test file a run left), the temporary files and the private display go.
step "starting a private X display and Wine"
command_on_exit session_down
session_up "$build/wineprefix-demo" demo
echo "   Xvfb on $DISPLAY"
scratch=$SESSION_DIR/scratch   # the session removes it, even after a SIGKILL (at the next start)
mkdir -- "$scratch"
log=$scratch/log picture=$scratch/window.bmp
if [ ${#dirs[@]} -eq 0 ]; then
  work=$scratch/drive && mkdir -- "$work"
  echo "== no directory given: measuring a temporary one (bash scripts/run.sh DIR measures DIR)"
  dirs=("$work") paths=("$work")
fi
# The results folder, recorded by the session: removed again, however the command ends (a SIGKILL:
# at the next start), while no run was finished in it.
out=$(compare_results_folder "${settings[out_path]:-$build/results/$(date +%Y-%m-%d-%H%M%S)}") || command_end 2
session_note "results $(stat -c '%d %i' -- "$out")" "$out"
csv="$out/runs.csv"
results header >"$csv"
total=${#dirs[@]}
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
  if [ "$1" != "done" ] && [ "$1" -lt "$pace" ]; then left=$((pace - $1)); fi
  left=$((left + (runs - run) * pace + (total - index) * runs * green_seconds / green_runs))
  if [ "$left" -gt 0 ]; then echo "; about $(duration "$left") left"; fi
}

# The demo's lines as they come: the pass count with the time so far, and what it says besides.
# shellcheck disable=SC2317 # called in demo_one's pipe, which run_step calls by name
demo_progress() {
  local line
  while IFS= read -r line; do
    line=${line%$'\r'}
    printf '%s\n' "$line" >>"$log"
    case $line in
      "  pass "*) line=${line#  pass }; echo "   $label: pass ${line%% done*}, $((SECONDS - begun)) s$(time_left $((SECONDS - begun)))" ;;
      "window open;"* | "run started:"* | "screenshot saved" | "verdict: "* | "score: "* | "result: "*) ;;
      *) echo "   $line" ;;
    esac
  done
}

# Measures drive LETTER (DIR as given, PATH resolved, the INDEX-th of all) up to $runs times; a run
# that is not green ends its runs. Appends one CSV line per run and keeps a picture of the last window.
measure_drive() {
  index=$1 letter=$2 dir=$3
  local path=$4 device fstype options started status skipped name outcome verdict score
  device=$(user_drive_mount "$path" SOURCE) fstype=$(user_drive_mount "$path" FSTYPE) options=$(user_drive_mount "$path" OPTIONS)
  drive_seconds=0 drive_green=0
  echo "== drive $index of $total, $letter: ($dir): $runs run(s) of 50 passes of 50 write/verify cycles"
  for ((run = 1; run <= runs; run++)); do
    label="drive $index of $total, run $run of $runs"
    started=$(date -Iseconds) begun=$SECONDS status=0
    rm -f -- "$picture"
    : >"$log"
    run_step demo_one "$letter" "$picture" || status=$?
    outcome=$(results result "$log" "$status")
    read -r verdict score <<<"$outcome"   # the score only after green
    results csv-line "$started" "$dir" "$device" "$fstype" "$options" "$run" "$verdict" "$score" >>"$csv"
    skipped=
    if [ "$run" -lt "$runs" ]; then skipped="; its remaining runs are skipped"; fi
    case $verdict in
      green)
        drive_seconds=$((drive_seconds + SECONDS - begun)) drive_green=$((drive_green + 1))
        green_seconds=$((green_seconds + SECONDS - begun)) green_runs=$((green_runs + 1))
        echo "   $label: green, $score ms per pass (the run took $((SECONDS - begun)) s)$(time_left "done")" ;;
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
    # Converted between paths of our own with the formats named, so that no character of a name
    # reads to ImageMagick as a format, a frame or a pattern.
    if ! convert "bmp:$picture" "png:$scratch/window.png" || ! mv -- "$scratch/window.png" "$out/window-$index-$name.png"; then
      echo "   the picture of the window could not be kept"
    elif [ -n "$shot" ] && [ "$index" = 1 ]; then
      mkdir -p -- "$(dirname -- "$shot")" && cp -- "$out/window-$index-$name.png" "$shot" && echo "== the window: $shot"
    fi
  fi
}
# shellcheck disable=SC2317 # called by name, through run_step
demo_one() { "$WINE" "$build/tools/demo/ferrulon_demo.exe" "$build/app/ferrulon.exe" "$1" "$2" </dev/null 2>/dev/null | demo_progress; }

# Six directories at a time, as many as the window offers beside c:. Wine reads its drive letters
# when its session starts: the next ones are mapped, and a new session starts.
read -r -a letters <<<"$USER_DRIVE_LETTERS"   # the N-th directory mapped is the N-th of them
for ((first = 0; first < total; first += USER_DRIVES_MAX)); do
  session_map_dirs "${paths[@]:first:USER_DRIVES_MAX}"
  session_start
  for ((i = 0; i < USER_DRIVES_MAX && first + i < total; i++)); do
    measure_drive $((first + i + 1)) "${letters[i]}" "${dirs[first + i]}" "${paths[first + i]}"
  done
done
session_down

echo
results table "$csv" "$runs" | tee "$out/table.txt"
echo
wine=$("$WINE" --version) kernel=$(uname -r)
wine=${wine#wine-} kernel=${kernel%%-*}
machine="Wine ${wine%% *}, Linux $kernel, $(nproc) cores"
if ! why=$({ results chart "$csv" "$runs" "$out/scores.png" "$machine; $(date +%Y-%m-%d)" | gnuplot; } 2>&1); then
  echo "== the chart could not be drawn: ${why##*$'\n'}"
fi
echo "== results folder: $out"
echo "   runs.csv (one line per run), table.txt, scores.png (the chart), window-N-*.png (each directory's last window)"
status=$(results exit-code "$csv" "$runs")
case $status in
  0) echo "== every run green. With a display (DISPLAY set), bash scripts/run.sh opens the window for you." ;;
  1) echo "== FAILED: a drive gave back different data (a run ended with the red banner); exit code 1" ;;
  *) echo "== a measurement could not be made; exit code 2" ;;
esac
command_end "$status"
