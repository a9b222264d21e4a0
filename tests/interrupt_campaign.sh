#!/usr/bin/env bash
# Seeded interrupts of the test, run (headless and with a window) and demo commands, outside the
# test command (minutes each): the seed draws the command, the moment and the signal (Ctrl+C, as
# SIGINT to the process group, SIGTERM to the command alone, or SIGKILL to the whole group followed by
# the next start, interrupted in its turn, sometimes with another stick mounted where the killed run
# measured, holding a user's tfile.frl in a directory of the same name). Each must exit with 130 or
# 143 (or its own code, had it ended first) and leave nothing: no process, mount, loop device, drive
# link, session record, lock, temporary file, directory of the run's own or test file; the user's
# file on the other stick as it was. Then two headless runs started together: both finish with their
# own results, or the second is refused in one line.
# usage: bash tests/interrupt_campaign.sh [FIRST:COUNT]   (default 1:12; the build tree must be built)
set -uo pipefail -m   # -m: each command in a process group of its own, with Ctrl+C not ignored, as from a terminal
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
range=${1:-1:12} first=${range%%:*} count=${range#*:}
camp=$(mktemp -d /var/tmp/ferrulon-campaign.XXXXXX)
trap 'rm -rf "$camp"' EXIT
failures=0 slowest=0
fail() { echo "FAILED: seed $seed: $*"; failures=$((failures + 1)); }

# What a command of this campaign left behind, one line each.
leftovers() {
  local pid
  for pid in $(ps -e -o pid=); do
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -x "FERRULON_CAMPAIGN=$camp/$1" >/dev/null; then
      echo "process $pid: $({ tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null)"
    fi
  done
  findmnt -rn -o TARGET | grep -F "$camp/$1/" | sed 's/^/mount /'
  losetup -a | grep -F "$camp/$1/" | sed 's/^/loop /'
  find "$build" -maxdepth 3 \( -path '*/dosdevices/[d-y]:' -o -name '*.session' -o -name '.lock-*' \) -printf 'left %p\n'
  find "$camp/$1/tmp" "$camp/$1/shm" "$camp/$1/dir" -mindepth 1 -printf 'left %p\n'
  local prefix id   # Wine's server directories, in /tmp or the user's run directory
  for prefix in "$build"/wineprefix*/; do
    id=$(printf 'server-%x-%x' $(stat -c '%d %i' -- "$prefix"))
    { compgen -G "/tmp/wine-*/$id"; compgen -G "/run/user/$(id -u)/wine/$id"; } | sed 's/^/left /'
  done
}

# Another stick at DIR of SEED, holding a user's tfile.frl in a directory named as the killed run's
# own (the killed run's own directory, if it made one, is out of reach under it).
stick() {
  local own
  own=$(find "$camp/$1/dir" -maxdepth 1 -name 'ferrulon-run.*' -printf '%f\n') && [ -n "$own" ] || own=ferrulon-run.none
  mount -t tmpfs stick "$camp/$1/dir" && mkdir "$camp/$1/dir/$own" && echo "the user's" >"$camp/$1/dir/$own/tfile.frl" &&
    echo "$own" >"$camp/$1/stick"
}
# The user's file on the other stick as it was; the stick taken away again, and the killed run's own
# directory under it (the next start could not reach it) removed by hand.
unstick() {
  local own
  read -r own <"$camp/$1/stick"
  [ "$(cat "$camp/$1/dir/$own/tfile.frl" 2>/dev/null)" = "the user's" ] || fail "the user's file on the other stick was changed"
  umount "$camp/$1/dir" && rm -rf "${camp:?}/$1/dir/$own" "$camp/$1/stick"
}

# usage: interrupt SEED   (draws the command, moment and signal from SEED)
interrupt() {
  local seed=$1 kind moment signal status begun pid out=$camp/$1/out
  RANDOM=$seed
  mkdir -p "$camp/$seed"/{tmp,shm,dir}
  case $((RANDOM % 4)) in
    0) kind=test moment=$((RANDOM % 100)) ;;
    1) kind=run moment=$((RANDOM % 40)) ;;
    2) kind=window moment=$((RANDOM % 20)) ;;
    3) kind=demo moment=$((RANDOM % 30)) ;;
  esac
  signal=TERM   # drawn here: a subshell would draw from a seed of its own
  case $((RANDOM % 3)) in 0) signal=INT ;; 1) [ "$kind" = test ] || signal=KILL ;; esac
  local remount=$((RANDOM % 2))
  local command=(bash "$root/scripts/demo.sh" --out "$out" "$camp/$seed/dir")
  case $kind in
    test) command=(bash "$root/scripts/test.sh") ;;
    run) command=(env -u DISPLAY bash "$root/scripts/run.sh" --out "$out" "$camp/$seed/dir") ;;
    window) command=(env DISPLAY="$window_display" bash "$root/scripts/run.sh" "$camp/$seed/dir") ;;
  esac
  env FERRULON_CAMPAIGN="$camp/$seed" TMPDIR="$camp/$seed/tmp" FERRULON_DRIVE_PARENT="$camp/$seed/shm" \
    "${command[@]}" >"$camp/$seed.log" 2>&1 </dev/null &
  pid=$!
  sleep "$moment"
  if [ "$signal" = KILL ]; then
    kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid"
    echo "seed $seed: $kind, SIGKILL after $moment s$([ "$remount" = 1 ] && echo ", another stick mounted in its place"); the next start:"
    [ "$remount" = 1 ] && stick "$seed"
    env FERRULON_CAMPAIGN="$camp/$seed" TMPDIR="$camp/$seed/tmp" FERRULON_DRIVE_PARENT="$camp/$seed/shm" \
      "${command[@]}" >"$camp/$seed.log" 2>&1 </dev/null &
    pid=$! signal=INT moment=12
    sleep "$moment"
  fi
  if [ "$signal" = INT ]; then kill -INT -- "-$pid" 2>/dev/null; else kill -TERM "$pid" 2>/dev/null; fi
  begun=$SECONDS status=0
  wait "$pid" || status=$?
  [ "$remount" != 1 ] || [ ! -e "$camp/$seed/stick" ] || unstick "$seed"
  local took=$((SECONDS - begun)) left
  [ "$took" -le "$slowest" ] || slowest=$took
  echo "seed $seed: $kind, $signal after $moment s: exit code $status, $took s later"
  case $signal:$status in
    INT:130 | TERM:143) ;;
    *:0 | *:1) [ "$kind" != window ] || fail "the window's command ended by itself" ;;
    *) fail "exit code $status after SIG$signal"; tail -n 5 "$camp/$seed.log" ;;
  esac
  [ "$took" -le 10 ] || fail "took $took s to end"
  left=$(leftovers "$seed")
  [ -z "$left" ] || { fail "left behind:"; echo "$left"; }
  [ ! -e "$out" ] || [ "$(grep -c . "$out/runs.csv" 2>/dev/null)" -gt 1 ] || fail "a results folder without a run left"
  rm -rf "${camp:?}/$seed"
}

Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
window_xvfb=$! window_display=:77
trap 'kill "$window_xvfb" 2>/dev/null; rm -rf "$camp"' EXIT
for ((seed = first; seed < first + count; seed++)); do interrupt "$seed"; done

# Two headless runs from one checkout, started together.
seed=two
mkdir -p "$camp/two"/{a,b,tmp,shm}
pids=()
for x in a b; do
  env -u DISPLAY TMPDIR="$camp/two/tmp" bash "$root/scripts/run.sh" --out "$camp/two/out-$x" "$camp/two/$x" >"$camp/two/$x.log" 2>&1 &
  pids+=($!)
done
statuses=""
for pid in "${pids[@]}"; do wait "$pid"; statuses+=" $?"; done
echo "two at once: exit codes$statuses"
refused=$(grep -l '^refused: another demo command' "$camp/two"/[ab].log | wc -l)
finished=$(grep -l '^== every run green' "$camp/two"/[ab].log | wc -l)
[ $((refused + finished)) = 2 ] && [ "$finished" -ge 1 ] || { fail "two at once: $refused refused, $finished finished"; tail -n 3 "$camp/two"/[ab].log; }
for x in a b; do
  if grep -q '^refused: ' "$camp/two/$x.log"; then [ "$(grep -c . "$camp/two/$x.log")" = 1 ] || fail "two at once: $x's refusal is not one line"; fi
done

echo "$((count + 1)) cases, $failures failed; the slowest exit came $slowest s after its signal"
[ "$failures" = 0 ]
