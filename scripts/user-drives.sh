# shellcheck shell=bash
# Sourced by the run and demo commands: the user's own directories (a USB stick's mount point, a
# disk, any directory) checked before anything is installed or built, described, and Wine's
# complaints about them kept off the terminal. The Wine session maps a directory of the run's own in
# each (session_map_dirs).
# Needs nothing from the other files; wine-session.sh and compare.sh use it.

# The window offers seven drives, and c: is always one of them.
USER_DRIVES_MAX=6

# Says in one line why the first DIR that cannot be measured is refused, and fails; nothing is
# changed. The program never sees DIR itself but a new directory of the run's own in it
# (session_map_dirs), so no file already in DIR, nor one that appears there, can be reached: these
# checks are for the names to travel unchanged through the CSV, the table and the chart, and for a
# clear word before anything is installed. Any other name is measured as given (spaces, Chinese, a
# leading dash, links). Each DIR, resolved, goes into the caller's array PATHS, in the order given.
# usage: user_drives_check PATHS [DIR...]
user_drives_check() {
  local -n user_drive_paths=$1
  local dir real
  local -A given=()
  shift
  user_drive_paths=()
  for dir in "$@"; do
    if [[ $dir == *[[:cntrl:]]* ]]; then
      echo "refused: $(printf '%q' "$dir") holds a control character (a line break, tab or the like): rename it, or give a link to it named without one" >&2
    elif [ ! -e "$dir" ]; then
      echo "refused: $dir does not exist" >&2
    elif [ ! -d "$dir" ]; then
      echo "refused: $dir is not a directory" >&2
    elif ! real=$(realpath -e -- "$dir" 2>/dev/null && echo x); then
      echo "refused: $dir cannot be resolved to a path" >&2
    elif real=${real%$'\nx'} && [[ $real == *[[:cntrl:]]* ]]; then
      echo "refused: $dir leads to $(printf '%q' "$real"), which holds a control character" >&2
    elif [ ! -w "$dir" ] || [ ! -x "$dir" ] || [ ! -r "$dir" ]; then
      echo "refused: $dir is not writable (a read-only medium, or no permission): the benchmark writes its test file there" >&2
    elif [ "$(printf '%s' "$real" | wc -c)" -gt $((4095 - ${#USER_DRIVE_OWN_TAIL})) ]; then
      echo "refused: $dir leads to a path too long for Linux to reach the test file in it (4,095 bytes at most)" >&2
    elif [ -n "${given[$real]:-}" ]; then
      echo "refused: $dir is given twice (as ${given[$real]}); --runs N measures a directory N times" >&2
    else
      given[$real]=$dir
      user_drive_paths+=("$real")
      continue
    fi
    return 1
  done
}
USER_DRIVE_OWN=ferrulon-run.XXXXXX   # the name of a directory of the run's own (mktemp's template)
USER_DRIVE_OWN_TAIL=/$USER_DRIVE_OWN/tfile.frl   # what a run adds to a directory's path

# Says in one line that more directories were given than the window can offer, and fails.
user_drives_fit() {
  [ $# -le "$USER_DRIVES_MAX" ] && return 0
  echo "refused: $# directories given; at most $USER_DRIVES_MAX fit beside c: in the window's seven drive slots" \
       "(without a display, all of them are measured)" >&2
  return 1
}

# One field of the mount that holds DIR, from findmnt: SOURCE (the device), FSTYPE, TARGET (where it
# is mounted) or OPTIONS (sync or flush, say, change the score); "unknown" when it cannot tell (a
# stick pulled, say).
user_drive_mount() {
  local value
  value=$(findmnt -n -o "$2" -T "$1" 2>/dev/null) || value=""
  value=${value##*$'\n'}   # the innermost mount
  value=${value#"${value%%[! ]*}"} value=${value%"${value##*[! ]}"}
  echo "${value:-unknown}"
}

# "device /dev/sdb1, filesystem vfat, mounted on /media/stick (rw,nosuid,flush)" for the directory.
user_drive_describe() {
  echo "device $(user_drive_mount "$1" SOURCE), filesystem $(user_drive_mount "$1" FSTYPE)," \
       "mounted on $(user_drive_mount "$1" TARGET) ($(user_drive_mount "$1" OPTIONS))"
}

# Wine's stderr without its complaints about things Ferrulon does not need: it cannot read a
# drive's raw device for the volume label and serial (z: is /, and a USB stick's device is usually
# readable by root only), and the drive works all the same. Anything else is passed on.
wine_stderr_filter() {
  grep --line-buffered -v -e '^wine: Read access denied for device ' >&2 || true
}
