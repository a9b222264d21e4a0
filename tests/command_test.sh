#!/usr/bin/env bash
# What the commands share, without Wine or a display. Seeded user's directories (files, links and
# test files of any case) mapped as drives: each drive is a new, empty directory of the run's own; a
# test file written through it, and files of the user's appearing before, during and after the run,
# whatever the seed; then the session ends, normally or killed with a stick mounted in its place
# before the next start: the user's directories byte for byte as they were, nothing of the run's left
# (a results folder only when a run was finished in it), and a stranger's directory of the same name
# untouched. Then the lock (a live holder refuses in one line with exit code 2, or is waited for; a
# killed one's lock is taken over, even when its number is another's now, by one of many at once).
# (An interrupted command, its exit code and that its children go: docs_match_program.sh.)
# FERRULON_OWN_DIRS=SEED replays one case; FIRST:COUNT runs COUNT from FIRST (default 1:24).
# usage: command_test.sh REPOSITORY
set -uo pipefail
export LC_ALL=C.UTF-8
root=$1 failures=0
# shellcheck source=/dev/null # command.sh, user-drives.sh and wine-session.sh: each checked on its own
for file in command user-drives wine-session; do source "$root/scripts/$file.sh"; done
user_drive_describe() { echo "(not asked here)"; }   # findmnt, four times a drive: not under test
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# Every entry below DIR but the run's own (by path), its kind, size, link, mode and content.
snapshot() {
  (cd "$1" && find . -path "./${2:-none}" -prune -o -printf '%p %y %l %m\n' -type f -exec md5sum {} + | sort)
}

# HELD: a name Windows would take for tfile.frl: each letter in either case.
test_file_name() { local c; HELD=""; for c in t f i l e . f r l; do ((RANDOM % 2)) && HELD+=$c || HELD+=${c^^}; done; }
# Something of the user's in DIR: a file (a test file perhaps), a folder, a link.
user_entry() {
  local name=u$RANDOM
  ((RANDOM % 2)) && { test_file_name; name=$HELD; }
  rm -rf -- "${1:?}/$name"
  case $((RANDOM % 3)) in
    0) printf 'user %s\n' "$RANDOM" >"$1/$name" ;;
    1) mkdir "$1/$name" && printf 'inner %s\n' "$RANDOM" >"$1/$name/tfile.frl" ;;
    2) ln -s "../elsewhere/$RANDOM" "$1/$name" ;;
  esac
}

# usage: session_case SEED   (how many directories, their files, when files appear, how it ends)
session_case() {
  RANDOM=$1
  local case=$work/s$1 dirs=() i j when n=$((RANDOM % 4 + 1)) ending=$((RANDOM % 3)) own link before=() left
  local letters; read -r -a letters <<<"$USER_DRIVE_LETTERS"   # the N-th directory mapped is the N-th of them
  mkdir -p "$case/prefix/dosdevices" "$case/prefix.session"
  for ((i = 0; i < n; i++)); do
    dirs+=("$case/d$i") && mkdir "$case/d$i"
    for ((j = RANDOM % 4; j > 0; j--)); do user_entry "$case/d$i"; done
  done
  export WINEPREFIX=$case/prefix WINESERVER=true SESSION_DIR=$case/prefix.session
  : >"$SESSION_DIR/made"
  session_map_dirs "${dirs[@]}" >/dev/null || { fail "seed $1: the directories could not be mapped"; return; }
  for ((i = 0; i < n; i++)); do
    link=$WINEPREFIX/dosdevices/${letters[i]}: own=$(readlink "$link")
    { [[ $own == "${dirs[i]}"/ferrulon-run.?????? ]] && [ -d "$own" ] && [ -z "$(ls -A "$own")" ]; } ||
      fail "seed $1: drive ${letters[i]}: is not a new, empty directory in ${dirs[i]}: $own"
    when=$((RANDOM % 3))   # when a file of the user's appears: during its turn, after it, or none
    [ "$when" != 0 ] || user_entry "${dirs[i]}"
    printf 'line %s\r\n' {1..9} >"$link/tfile.frl"   # the program writes through its drive
    [ "$when" != 1 ] || user_entry "${dirs[i]}"
    before+=("$(snapshot "${dirs[i]}" "${own##*/}")")
  done
  mkdir "$case/res" && echo header >"$case/res/runs.csv" && session_note "results $(stat -c '%d %i' "$case/res")" "$case/res"
  local finished=$((RANDOM % 2)) && [ "$finished" = 0 ] || echo run >>"$case/res/runs.csv"
  if [ "$ending" = 0 ]; then
    session_unmap_dirs && session_down
  else   # killed; the next start finds what it left, and a stick mounted in its place when ending is 2
    if [ "$ending" = 2 ]; then
      own=$(readlink "$WINEPREFIX/dosdevices/d:")
      mv "${dirs[0]}" "$case/stick-away" && mkdir -p "$own" && printf 'a stranger\n' >"$own/tfile.frl"
      before[0]=$(snapshot "${dirs[0]}")
    fi
    SESSION_DIR=$case/prefix.session session_down
  fi
  for ((i = 0; i < n; i++)); do
    [ "$(snapshot "${dirs[i]}")" = "${before[i]}" ] || { fail "seed $1 (ending $ending): ${dirs[i]} changed:"; diff <(echo "${before[i]}") <(snapshot "${dirs[i]}") | sed 's/^/  /'; }
  done
  left=$(ls -A "$case/prefix/dosdevices"; for ((i = ending == 2; i < n; i++)); do ls -d "${dirs[i]}"/ferrulon-run.* 2>/dev/null; done)
  { [ -z "$left" ] && [ ! -e "$SESSION_DIR" ]; } || fail "seed $1 (ending $ending): left behind: $left"
  [ "$([ -e "$case/res" ] && echo 1 || echo 0)" = "$finished" ] || fail "seed $1: a results folder with $finished runs finished: $(ls "$case/res" 2>&1)"
  rm -rf "$case"
}

range=${FERRULON_OWN_DIRS:-1:24}
first=${range%%:*} count=1
[[ $range == *:* ]] && count=${range#*:}
for ((seed = first; seed < first + count; seed++)); do session_case "$seed"; done
unset WINEPREFIX WINESERVER SESSION_DIR

# The lock: one line and exit code 2 while its holder lives; taken over when the holder is gone, or
# when its number now belongs to another process, by one of sixteen starting together (at LOCK_GO);
# kept by the same process; with --wait (LOCK_WAIT), waited for.
locked() {
  # shellcheck disable=SC2016 # the lock's holder: a script of its own, in single quotes
  timeout 20 bash -c 'source "$0/scripts/command.sh"; command_begin
    until [ ! -v LOCK_GO ] || [ -e "$LOCK_GO" ]; do sleep 0.01; done
    command_lock "$1" demo ${LOCK_WAIT:-}; echo taken; "${@:2}"' "$root" "$work/b" "$@" 2>&1
  echo "exit $?"
}
sleep 30 & other=$!
expect_lock() { [ "$2" = "$3" ] || fail "lock, $1: $(tr '\n' '|' <<<"$2")"; }
expect_lock "free" "$(locked cat "$work/b/.lock-demo/holder" | sed 's/^[0-9]* [0-9]*$/holder/')" $'taken\nholder\nexit 0'
expect_lock "released" "$(ls -A "$work/b")" ""
mkdir -p "$work/b/.lock-demo" && command_process "$other" >"$work/b/.lock-demo/holder"
expect_lock "live holder" "$(locked)" "refused: another demo command (process $other) is using $work/b; wait for it to end, or set FERRULON_BUILD to another folder
exit 2"
echo "$other 1" >"$work/b/.lock-demo/holder"
expect_lock "number reused" "$(locked)" $'taken\nexit 0'
expect_lock "an exec keeps it" "$(locked exec bash -c "source '$root/scripts/command.sh'; command_begin; command_lock '$work/b' demo; echo kept")" $'taken\nkept\nexit 0'
mkdir -p "$work/b/.lock-demo" && echo 999999 1 >"$work/b/.lock-demo/holder"
for i in {1..16}; do LOCK_GO=$work/go locked sleep 0.5 >"$work/race$i" & starters+=($!); done
sleep 0.5 && touch "$work/go" && wait "${starters[@]}"
expect_lock "sixteen at once" "$(cat "$work"/race* | grep -cx taken)" 1
mkdir -p "$work/b/.lock-demo" && command_process "$other" >"$work/b/.lock-demo/holder"
(sleep 0.5 && kill "$other") &
expect_lock "waited for" "$(LOCK_WAIT=--wait locked | cut -c1-22)" $'== waiting for another\ntaken\nexit 0'

echo "$failures failed"
[ "$failures" -eq 0 ]
