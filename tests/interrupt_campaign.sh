#!/usr/bin/env bash
# Seeded interrupts of the test command and of the run command with a window, with Wine, Xvfb and the
# FUSE mounts really up, outside the test command (minutes each): the seed draws the
# command, the moment and the signal (Ctrl+C, as SIGINT to the process group, SIGTERM to the command
# alone, or SIGKILL to the whole group followed by the next start, interrupted in its turn). Each
# must exit with 130 or 143 (or its own code, had it ended first) within 10 s and leave nothing: no
# process, mount, loop device, drive link, session record, lock, temporary file or directory of the
# run's own. (Without Wine, command_test.sh owns the rest: a stick mounted where a killed run
# measured, the lock refusing a second command, a killed run's results folder; docs_match_program.sh:
# the run command stopped while it installs; compare-drives.sh: a headless run stopped under Wine.)
# usage: bash tests/interrupt_campaign.sh [FIRST:COUNT]   (default 1:12; the build tree must be built)
set -uo pipefail -m   # -m: each command in a process group of its own, with Ctrl+C not ignored, as from a terminal
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRULON_BUILD:-$root/build}
range=${1:-1:12} first=${range%%:*} count=${range#*:}
camp=$(mktemp -d /var/tmp/ferrulon-campaign.XXXXXX)
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
window_xvfb=$! window_display=:77
trap 'kill "$window_xvfb" 2>/dev/null; rm -rf "$camp"' EXIT
failures=0 slowest=0
fail() { echo "FAILED: seed $seed: $*"; failures=$((failures + 1)); }

# What a command of this campaign left behind, one line each.
leftovers() {
  grep -lzxF "FERRULON_CAMPAIGN=$camp/$1" /proc/[0-9]*/environ 2>/dev/null | sed 's|/proc/\([0-9]*\)/.*|process \1|'
  findmnt -rn -o TARGET | grep -F "$camp/$1/" | sed 's/^/mount /'
  losetup -a | grep -F "$camp/$1/" | sed 's/^/loop /'
  find "$build" -maxdepth 3 \( -path '*/dosdevices/[d-y]:' -o -name '*.session' -o -name '.lock-*' \) -printf 'left %p\n'
  find "$camp/$1/tmp" "$camp/$1/shm" "$camp/$1/dir" -mindepth 1 -printf 'left %p\n'
  local prefix id   # Wine's server directories, in /tmp or the user's run directory
  for prefix in "$build"/wineprefix*/; do
    id=$(stat -c '%d %i' -- "$prefix") && id=$(printf 'server-%x-%x' "${id% *}" "${id#* }")
    { compgen -G "/tmp/wine-*/$id"; compgen -G "/run/user/$(id -u)/wine/$id"; } | sed 's/^/left /'
  done
}

# usage: interrupt SEED   (draws the command, moment and signal from SEED)
interrupt() {
  local seed=$1 kind=window moment signal status begun pid
  RANDOM=$seed
  mkdir -p "$camp/$seed"/{tmp,shm,dir}
  if ((RANDOM % 2)); then kind=test moment=$((RANDOM % 100)); else moment=$((RANDOM % 20)); fi
  signal=TERM   # drawn here: a subshell would draw from a seed of its own
  case $((RANDOM % 3)) in 0) signal=INT ;; 1) [ "$kind" = test ] || signal=KILL ;; esac
  local command=(env DISPLAY="$window_display" bash "$root/scripts/run.sh" "$camp/$seed/dir")
  [ "$kind" = window ] || command=(bash "$root/scripts/test.sh")
  for _ in first next; do   # after SIGKILL, the next start is interrupted with Ctrl+C 12 s in
    env FERRULON_CAMPAIGN="$camp/$seed" TMPDIR="$camp/$seed/tmp" FERRULON_DRIVE_PARENT="$camp/$seed/shm" \
      "${command[@]}" >"$camp/$seed.log" 2>&1 </dev/null &
    pid=$!
    sleep "$moment"
    [ "$signal" = KILL ] || break
    kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid"
    echo "seed $seed: $kind, SIGKILL after $moment s; the next start:"
    signal=INT moment=12
  done
  if [ "$signal" = INT ]; then kill -INT -- "-$pid" 2>/dev/null; else kill -TERM "$pid" 2>/dev/null; fi
  begun=$SECONDS status=0
  wait "$pid" || status=$?
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
  rm -rf "${camp:?}/$seed"
}

for ((seed = first; seed < first + count; seed++)); do interrupt "$seed"; done
echo "$count cases, $failures failed; the slowest exit came $slowest s after its signal"
[ "$failures" = 0 ]
