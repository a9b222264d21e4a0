# shellcheck shell=bash
# The Wine session of a Wine prefix: a display, the prefix itself, drive letters and one wineserver
# that every Windows program of a command joins. One lifecycle: session_up records in
# <prefix>.session/made each thing it makes (a display, a directory, a drive link, a mount, a
# directory of the run's own in a user's directory, a results folder: the last two by device and
# inode), session_down removes exactly those, and session_up first removes what a killed session
# left. Programs and scripts join through <build>/wine-run, which reads
# <prefix>.session/env.
#
#   bash scripts/wine-session.sh up BUILD PART   one part of the tests' session (CTest's fixtures): prefix
#        (first: the prefix, once what a killed session left is removed), display (a private Xvfb),
#        drives (m: to u: on tmpfs), filesystems (as root with FUSE, NTFS, exFAT and FAT32 as d:, e:,
#        f:), server (Wine's server and services, last: Wine reads the drives as it starts)
#   bash scripts/wine-session.sh down BUILD      everything the parts made
# Sourced by the commands, which call session_up PREFIX tests|demo|desktop, session_map_dirs,
# session_start and session_down.

FERRULON_TEST_DRIVES=mnopqrstu   # the tests' tmpfs drives
SESSION_FS_LETTERS="ntfs:d exfat:e fat32:f"
USER_DRIVE_LETTERS="d e f g h i j k l"   # a user's directories, six at most at a time (the window's slots)

wine_tools() {
  local c
  WINE="" WINESERVER=""
  for c in /usr/lib/wine/wine64 wine64 wine; do WINE=$(command -v "$c") && break; done
  for c in /usr/lib/wine/wineserver wineserver; do WINESERVER=$(command -v "$c") && break; done
  { [ -n "$WINE" ] && [ -n "$WINESERVER" ]; } || { echo "== Wine is missing: bash scripts/install-deps.sh installs it" >&2; return 1; }
  export WINE WINESERVER WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
  # Wine, and whatever this shell starts from here on, runs without TMPDIR: Debian 13's Wine 10
  # aborts ("free(): invalid pointer") on any TMPDIR when /run/user/<uid> does not exist (root
  # without a login session, a container), and Wine needs none. The scripts still keep their own
  # temporary files in it: each names "${TMPDIR:-/tmp}" itself.
  export -n TMPDIR
}

# Where Wine's server keeps its socket: <run dir>/wine/server-<device>-<inode of the prefix> when
# /run/user/<uid> exists, else /tmp/wine-XXXXXX/server-<...> (Wine gets no TMPDIR, above).
wine_server_base() { local run; run=/run/user/$(id -u); if [ -d "$run" ]; then echo "$run/wine"; else echo /tmp; fi; }

# One Windows program, its output discarded; fails with the program's exit code.
wine_quiet() { "$WINE" "$@" </dev/null >/dev/null 2>&1; }

session_note() { printf '%s\0%s\0' "$1" "$2" >>"$SESSION_DIR/made"; }   # KIND PATH

# usage: session_up PREFIX MODE   MODE: tests or demo (a private Xvfb, no window manager), desktop
# (the caller's display, where a window manager frames the window), parts (no window manager, and
# no display yet: session_join adds each part)
session_up() {
  wine_tools
  export WINEPREFIX=$1
  SESSION_DIR=$1.session
  session_down
  mkdir -p -- "$SESSION_DIR"
  : >"$SESSION_DIR/made"
  session_note winetmp "$(wine_server_base)"   # first: the last thing removed, once Wine has ended
  case $2 in tests | demo) session_display ;; esac
  session_prefix "$2"
  # The prefix's drive letters are this session's to make: none but c: and z: from an earlier one.
  find "$WINEPREFIX/dosdevices" -maxdepth 1 -type l -name '?:' ! -name c: ! -name z: -delete
  session_save_env
}

# A private X display: Xvfb picks a free one and names it once it takes connections, so that two
# sessions started together get two; it must then answer.
session_display() {
  local number="" pid
  # Started from a subshell that ends at once: the server is no child of the command, which stops
  # its children as it ends, and lives until session_down.
  (Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$SESSION_DIR/display" </dev/null >/dev/null 2>&1 &
   echo $! >"$SESSION_DIR/xvfb")
  read -r pid <"$SESSION_DIR/xvfb"
  session_note xvfb "$pid"
  for _ in $(seq 100); do
    read -r number 2>/dev/null <"$SESSION_DIR/display" || true
    { [ -z "$number" ] && kill -0 "$pid" 2>/dev/null; } || break
    sleep 0.1
  done
  { [ -n "$number" ] && DISPLAY=:$number xdpyinfo >/dev/null 2>&1; } ||
    { echo "== Xvfb gave no display that answers" >&2; return 1; }
  export DISPLAY=:$number
}

# The prefix, made once and marked ready only when every step of making it worked: without a window
# manager (tests, demo) windows undecorated and unmanaged, or message boxes stall; Chinese texts
# through a CJK font linked to the dialog fonts. A ready prefix of the same build tree (the tests')
# is copied instead: a second or two, making one ten.
session_prefix() {
  local model face
  if [ -f "$WINEPREFIX/.ferrulon-ready" ]; then session_caption_font; return 0; fi
  "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true
  session_remove_server_dirs "$(wine_server_base)"   # an unfinished prefix's, from a killed session
  rm -rf -- "$WINEPREFIX"
  for model in "${WINEPREFIX%/*}/wineprefix" "${WINEPREFIX%/*/*}/wineprefix"; do
    if [ "$1" != desktop ] && [ "$model" != "$WINEPREFIX" ] && [ -f "$model/.ferrulon-ready" ]; then
      echo "== copying the Wine prefix $model to $WINEPREFIX"
      cp -a -- "$model" "$WINEPREFIX"
      return 0
    fi
  done
  echo "== creating the Wine prefix $WINEPREFIX (once; takes a little while)"
  wine_quiet wineboot -i || { echo "== wineboot could not make the Wine prefix $WINEPREFIX" >&2; return 1; }
  if [ "$1" != desktop ]; then
    { wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f &&
      wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f; } ||
      { echo "== the Wine prefix $WINEPREFIX took no window settings" >&2; return 1; }
  fi
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    wine_quiet reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f ||
      { echo "== the Wine prefix $WINEPREFIX took no font link for $face" >&2; return 1; }
  done
  "$WINESERVER" -w
  { [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows" ]; } ||
    { echo "== the Wine prefix $WINEPREFIX is incomplete" >&2; return 1; }
  session_caption_font
  touch "$WINEPREFIX/.ferrulon-ready"
}

# Wine draws the caption's close box with the Marlett font. Debian's fonts-wine ships it, but this
# Wine does not look in that folder, so the box shows a plain "r" unless the prefix has a copy.
session_caption_font() {
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$marlett" "$fonts/"; fi
  return 0
}

# Drive LETTER: is DIR from the session's next start.
session_link() {
  session_note link "$WINEPREFIX/dosdevices/$1:"
  ln -sfn -- "$2" "$WINEPREFIX/dosdevices/$1:"
}

# Where the test drives go: tmpfs (FERRULON_DRIVE_PARENT puts them elsewhere).
session_drive_parent() {
  local parent=${FERRULON_DRIVE_PARENT:-/dev/shm}
  [ -w "$parent" ] || parent=${TMPDIR:-/tmp}
  echo "$parent"
}

# The tests' drives: m: to u: in a fresh directory.
session_test_drives() {
  local letter base i
  base=$(mktemp -d "$(session_drive_parent)/ferrulon-drives.XXXXXX")
  session_note dir "$base"
  export FERRULON_DRIVE_BASE=$base FERRULON_TEST_DRIVES
  for ((i = 0; i < ${#FERRULON_TEST_DRIVES}; i++)); do
    letter=${FERRULON_TEST_DRIVES:i:1}
    mkdir "$base/$letter"
    session_link "$letter" "$base/$letter"
  done
}

# The Windows filesystems that this machine can mount, as the drives SESSION_FS_LETTERS names.
session_windows_filesystems() {
  local pair
  export FERRULON_FS_BASE FERRULON_FS_DRIVES=""
  FERRULON_FS_BASE=$(mktemp -d "$(session_drive_parent)/ferrulon-fs.XXXXXX")
  session_note fs "$FERRULON_FS_BASE"
  winfs_up "$FERRULON_FS_BASE"
  for pair in $SESSION_FS_LETTERS; do
    case " $WINFS_MOUNTED " in
      *" ${pair%%:*} "*)
        session_link "${pair#*:}" "$FERRULON_FS_BASE/${pair%%:*}"
        FERRULON_FS_DRIVES+="${FERRULON_FS_DRIVES:+ }${pair#*:}:${pair%%:*}" ;;
    esac
  done
}

# A user's directories (each already checked, and resolved), from d: on in the order given, in place of
# the ones mapped before; says which is which. The drive is not the user's directory itself but a new,
# empty directory of the run's own made in it (the same mount, filesystem and score), so that the
# program can reach no file of the user's, whatever its name, case or the moment it appears. The
# N-th directory given is the N-th drive of USER_DRIVE_LETTERS.
session_map_dirs() {
  local dir own letters i=0
  read -r -a letters <<<"$USER_DRIVE_LETTERS"
  session_unmap_dirs
  for dir in "$@"; do
    own=$(session_own_dir "$dir") || return 1
    session_link "${letters[i]}" "$own"
    echo "== drive ${letters[i]}: is $dir (the run's own directory ${own##*/} in it): $(user_drive_describe "$dir")"
    i=$((i + 1))
  done
}

# Makes a new directory of the run's own in DIR and prints its path. mkdir makes it or fails, so it is
# never one that was there; the session records it by device and inode, so that only that very
# directory is ever removed (session_remove_own_dir), however the command ended.
session_own_dir() {
  local own id
  own=$(mktemp -d -- "$1/$USER_DRIVE_OWN" 2>&1) ||
    { echo "== could not make a directory of the run's own in $1: ${own##*: }" >&2; return 1; }
  id=$(stat -c '%d %i' -- "$own")
  session_note "own $id" "$own"
  printf '%s\n' "$own"
}

# The drive links of a user's directories, and the directories of the run's own behind them (every
# one the session recorded: one already removed is not there any more).
session_unmap_dirs() {
  local letter kind path
  for letter in $USER_DRIVE_LETTERS; do rm -f -- "$WINEPREFIX/dosdevices/$letter:"; done
  while IFS= read -r -d '' kind && IFS= read -r -d '' path; do
    if [[ $kind == "own "* ]]; then session_remove_own_dir "${kind#own }" "$path"; fi
  done <"$SESSION_DIR/made"
}

# Removes the directory of the run's own at PATH when it still is the one made (ID: its device and
# inode): the test file in it, then the directory once empty. Anything else is left where it is, and
# said; a directory that is no longer that one (a stick mounted in its place, say) is not touched.
# usage: session_remove_own_dir ID PATH
session_remove_own_dir() {
  local own=$2
  session_made_it "$1" "$own" || return 0
  if [ -f "$own/tfile.frl" ] && [ ! -L "$own/tfile.frl" ]; then rm -f -- "$own/tfile.frl"; fi
  rmdir -- "$own" 2>/dev/null || echo "== left $own: it holds files that are not the benchmark's" >&2
}

# Removes the results folder at PATH (ID: its device and inode) when no run was finished in it: it
# holds nothing, or nothing but the CSV's header.
# usage: session_remove_results ID PATH
session_remove_results() {
  session_made_it "$1" "$2" || return 0
  case $(ls -A -- "$2") in
    "") rmdir -- "$2" ;;
    runs.csv) if [ "$(wc -l <"$2/runs.csv")" -le 1 ]; then rm -f -- "$2/runs.csv" && rmdir -- "$2"; fi ;;
  esac
}

# PATH is still the directory the session made (ID: "DEVICE INODE" as recorded), not one in its place.
session_made_it() { [ -d "$2" ] && [ ! -L "$2" ] && [ "$(stat -c '%d %i' -- "$2")" = "$1" ]; }

# Joins the session that session_up began at PREFIX, from another process (a part of the tests').
session_join() {
  wine_tools
  export WINEPREFIX=$1
  SESSION_DIR=$1.session
  [ -f "$SESSION_DIR/env" ] || { echo "== no Wine session in $SESSION_DIR: its prefix part comes first" >&2; return 1; }
  # shellcheck source=/dev/null # written at run time by session_save_env
  source "$SESSION_DIR/env"
}

# (Re)starts Wine's session, which reads the drive letters as it starts, detached from our output.
session_start() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || { echo "== wineserver did not start (exit code $?)" >&2; return 1; }
  wine_quiet cmd /c exit || { echo "== Wine's services did not start (exit code $?)" >&2; return 1; }
  session_save_env
}

# Wine's server leaves its socket's directory when it ends: removed once the server has ended
# (BASE: wine_server_base as the session started).
session_remove_server_dirs() {
  local dir id
  id=$(stat -c '%d %i' -- "$WINEPREFIX" 2>/dev/null) || return 0
  id=$(printf 'server-%x-%x' "${id% *}" "${id#* }")
  for dir in "$1"/wine-*/"$id" "$1/$id"; do
    if [ -d "$dir" ]; then rm -rf -- "$dir"; rmdir -- "${dir%/*}" 2>/dev/null || true; fi
  done
}

session_save_env() {
  local name
  for name in WINE WINESERVER WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LC_ALL DISPLAY FERRULON_DRIVE_BASE \
              FERRULON_TEST_DRIVES FERRULON_FS_BASE FERRULON_FS_DRIVES; do
    if [ -n "${!name+set}" ]; then printf 'export %s=%q\n' "$name" "${!name}"; else echo "unset $name"; fi
  done >"$SESSION_DIR/env"
}

# Ends Wine's session and removes what the session made, last made first; nothing when none is up.
session_down() {
  local made=${SESSION_DIR:-}/made kind path i
  local -a kinds=() paths=()
  [ -n "${SESSION_DIR:-}" ] && [ -f "$made" ] || return 0
  if [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k 2>/dev/null || true; "$WINESERVER" -w 2>/dev/null || true
    session_kill_strays
  fi
  while IFS= read -r -d '' kind && IFS= read -r -d '' path; do kinds+=("$kind") paths+=("$path"); done <"$made"
  for ((i = ${#kinds[@]} - 1; i >= 0; i--)); do
    path=${paths[i]}
    case ${kinds[i]} in
      link) if [ -L "$path" ]; then rm -f -- "$path"; fi ;;
      own\ *) session_remove_own_dir "${kinds[i]#own }" "$path" ;;
      results\ *) session_remove_results "${kinds[i]#results }" "$path" ;;
      dir) rm -rf --one-file-system -- "$path" ;;
      fs) winfs_down "$path" ;;
      xvfb) session_stop_xvfb "$path" ;;
      winetmp) session_remove_server_dirs "$path" ;;
    esac
  done
  # Every drive but c: and z: is the session's, recorded or not (Wine may add one of its own).
  if [ -d "$WINEPREFIX/dosdevices" ]; then
    find "$WINEPREFIX/dosdevices" -maxdepth 1 -type l -name '?:' ! -name c: ! -name z: -delete
  fi
  rm -rf -- "$SESSION_DIR/scratch"
  rm -f -- "$made" "$SESSION_DIR/env" "$SESSION_DIR/display" "$SESSION_DIR/xvfb"
  rmdir -- "$SESSION_DIR" 2>/dev/null || true
}

# Wine's processes of this prefix that outlived its server (its services, once in a hundred
# interrupts): each carries the prefix in its environment.
session_kill_strays() {
  local environ exe
  while IFS= read -r environ; do
    exe=$(readlink "${environ%/*}/exe" 2>/dev/null) || continue
    if [[ ${exe##*/} == wine* ]]; then kill -KILL "${environ//[^0-9]/}" 2>/dev/null || true; fi
  done < <(grep -lzxF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null)
}

# Ends the Xvfb of PID, and waits for it: only when that process still is one (a PID can be reused).
session_stop_xvfb() {
  [[ $(tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null) == Xvfb\ * ]] || return 0
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  here=$(dirname -- "${BASH_SOURCE[0]}")
  # shellcheck source=scripts/command.sh
  source "$here/command.sh"
  # shellcheck source=scripts/windows-filesystems.sh
  source "$here/windows-filesystems.sh"
  # shellcheck source=scripts/user-drives.sh
  source "$here/user-drives.sh"
  command_begin
  case ${1:-}:${3:-}:$# in
    up:prefix:3)
      step "beginning the tests' Wine session in $2"
      command_on_exit session_down_unless_up
      session_down_unless_up() { [ -n "${SESSION_IS_UP:-}" ] || session_down; }
      unset DISPLAY   # the caller's: a test that needs one gets the session's own
      session_up "$2/wineprefix" parts
      SESSION_IS_UP=1 ;;
    up:display:3 | up:drives:3 | up:filesystems:3 | up:server:3)
      step "adding the $3 to the tests' Wine session in $2"
      session_join "$2/wineprefix"
      case $3 in
        display) session_display ;;
        drives) session_test_drives ;;
        filesystems) session_windows_filesystems ;;
        server) session_start ;;
      esac
      session_save_env
      echo "== up: display ${DISPLAY:-none}, drives ${FERRULON_DRIVE_BASE:-none} ${FERRULON_FS_DRIVES:-}" ;;
    down::2)
      wine_tools
      export WINEPREFIX=$2/wineprefix
      SESSION_DIR=$WINEPREFIX.session
      session_down ;;
    *) refuse "usage: bash scripts/wine-session.sh up BUILD prefix|display|drives|filesystems|server | down BUILD" ;;
  esac
fi
