# shellcheck shell=bash
# Sourced first by every command (run, demo, test, benchmark, coverage): one way in and one way out.
# The exit code is the command's own (command_end), 2 when it refused (refuse) or a step failed,
# 130 after Ctrl+C, 143 after SIGTERM, 129 after a hang-up. Every non-zero exit says in one line what
# failed. However the command ends, its children are stopped first, then what it registered with
# command_on_exit is undone, last registered first.

COMMAND_STEP="starting"   # what the command is doing: the line that says what failed names it
COMMAND_CLEANUPS=()
COMMAND_ENDED=""          # set when the command chose its exit code

command_begin() {
  set -euo pipefail
  export LC_ALL=C.UTF-8   # names, widths and messages read the same whatever the caller's locale
  trap 'command_exit $?' EXIT
  trap 'command_signal 130' INT
  trap 'command_signal 143' TERM
  trap 'command_signal 129' HUP
}

step() { COMMAND_STEP=$1; echo "== $1"; }
refuse() { echo "refused: $*" >&2; COMMAND_ENDED=1; exit 2; }
command_end() { COMMAND_ENDED=1; exit "$1"; }

# usage: command_on_exit COMMAND [ARG...]   (a function too)
command_on_exit() { COMMAND_CLEANUPS+=("$(printf '%q ' "$@")"); }

# Runs a long step in the background, so that a signal reaches its trap at once, and waits for it.
run_step() { "$@" & wait $!; }

command_signal() {
  trap '' INT TERM HUP
  COMMAND_ENDED=1
  echo "== $([ "$1" = 130 ] && echo interrupted || echo "ended by a signal"); cleaning up" >&2
  exit "$1"
}

command_exit() {
  local status=$1 i
  trap - EXIT
  trap '' INT TERM HUP
  if [ -z "$COMMAND_ENDED" ] && [ "$status" != 0 ]; then
    echo "== failed while $COMMAND_STEP: exit code $status of: $BASH_COMMAND" >&2
    status=2
  fi
  command_stop_children
  for ((i = ${#COMMAND_CLEANUPS[@]} - 1; i >= 0; i--)); do eval "${COMMAND_CLEANUPS[i]}" || true; done
  exit "$status"
}

# Every process below this shell, stopped until no new one appears (a stopped process starts none, so
# that none escapes by starting while the others are signalled), then TERM and CONT; KILL to what is
# left after 5 s.
command_stop_children() {
  local pids=() found="" seen="" alive=() pid
  while found=$(command_descendants) && [ "$found" != "$seen" ]; do
    seen=$found
    mapfile -t pids <<<"$found"
    kill -STOP "${pids[@]}" 2>/dev/null || true
  done
  [ -n "$seen" ] || return 0
  kill -TERM "${pids[@]}" 2>/dev/null || true
  kill -CONT "${pids[@]}" 2>/dev/null || true
  for _ in $(seq 50); do
    alive=()
    for pid in "${pids[@]}"; do if command_running "$pid"; then alive+=("$pid"); fi; done
    [ ${#alive[@]} -gt 0 ] || return 0
    sleep 0.1
  done
  kill -KILL "${alive[@]}" 2>/dev/null || true
}

# The processes below this shell, by number (not the subshell that lists them, nor its own).
command_descendants() {
  local self=$BASHPID   # here: in the pipeline below, each part has its own
  ps -e -o pid=,ppid= | awk -v top=$$ -v self="$self" '
    { parent[$1] = $2 }
    END { for (p in parent) { q = parent[p]; while (q in parent && q != top && q != self && q > 1) q = parent[q]
                              if (q == top && p != self) print p } }' | sort -n
}

# One command at a time for one purpose in a build tree ("demo": the headless runs, say): a second is
# refused in one line, or with --wait waits for the first to end (a build). The lock is a record of its
# holder, "PID STARTTIME" in DIR/.lock-PURPOSE/holder, not a lock on an open file: every child inherits
# an open file, and one that outlives the command (a wineserver, an Xvfb) would hold it on. A record
# whose holder is gone (killed, even by SIGKILL) is taken over, even when its number now belongs to
# another process; the same process (a command that exec'd another) keeps it. Reading and writing the
# record are one step under flock on DIR, held for that moment only, so that two commands starting
# together never both take it.
# usage: command_lock DIR PURPOSE [--wait]
command_lock() {
  local holder said=""
  mkdir -p -- "$1"
  until holder=$(command_lock_take "$1/.lock-$2" "$(command_process "$$")"); do
    [ "${3:-}" = --wait ] || refuse "another $2 command (process ${holder%% *}) is using $1;" \
                                    "wait for it to end, or set FERRULON_BUILD to another folder"
    [ -n "$said" ] || echo "== waiting for another $2 in $1 to end (process ${holder%% *})"
    said=1
    sleep 0.5
  done
  command_on_exit command_unlock "$1/.lock-$2" "$(command_process "$$")"
}

# Takes the lock LOCK for HOLDER, unless another live process holds it: then prints that one and fails.
# usage: command_lock_take LOCK HOLDER
command_lock_take() {
  (
    flock 9
    holder=""
    read -r holder 2>/dev/null <"$1/holder" || true
    if [ -n "$holder" ] && [ "$holder" != "$2" ] && [ "$(command_process "${holder%% *}")" = "$holder" ]; then
      echo "$holder"
      exit 1
    fi
    mkdir -p -- "$1" && echo "$2" >"$1/holder"
  ) 9<"${1%/*}"
}

# Removes the lock LOCK when HOLDER still holds it.
command_unlock() {
  (
    flock 9
    holder=""
    read -r holder 2>/dev/null <"$1/holder" || true
    if [ "$holder" = "$2" ]; then rm -rf -- "$1"; fi
  ) 9<"${1%/*}"
}

# PID is a process still running: a zombie (ended, not yet reaped by its parent) is not.
command_running() { local stat; stat=$(cat "/proc/$1/stat" 2>/dev/null) && [[ ${stat##*) } != Z* ]]; }

# "PID STARTTIME" of a live process (its start in clock ticks since boot, the 22nd field of its stat),
# nothing for one that is gone: two processes never share both.
command_process() {
  local stat fields
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }   # past the command's name, which may hold spaces and parentheses
  read -r -a fields <<<"$stat"
  echo "$1 ${fields[19]}"
}
