# Sourced by the run and demo commands: the user's own directories (a USB stick's mount point, a
# disk, any directory) as Wine drives, d: on, for one session, and Wine's complaints kept off the
# terminal.

# The window offers seven drives, and c: is always one of them.
USER_DRIVES_MAX=6
USER_DRIVE_LINKS=()   # links made by user_drives_map, for user_drives_unmap
USER_DRIVE_DIRS=()    # the directories they point to, in the same order

# Says in one line why the first unusable DIR cannot be measured, and fails; nothing is changed.
user_drives_check() {
  local dir real
  local -A given=()
  for dir in "$@"; do
    if [ ! -e "$dir" ]; then
      echo "refused: $dir does not exist" >&2
    elif [ ! -d "$dir" ]; then
      echo "refused: $dir is not a directory" >&2
    elif [ ! -w "$dir" ] || [ ! -x "$dir" ]; then
      echo "refused: $dir is not writable (a read-only medium, or no permission): the benchmark writes its test file there" >&2
    elif [ -e "$dir/tfile.frl" ] || [ -L "$dir/tfile.frl" ]; then
      echo "refused: $dir already holds tfile.frl, which the benchmark would overwrite and delete; move it away first" >&2
    elif real=$(realpath "$dir") && [ -n "${given[$real]:-}" ]; then
      echo "refused: $dir is given twice (as ${given[$real]}); --runs N measures a directory N times" >&2
    else
      given[$real]=$dir
      continue
    fi
    return 1
  done
}

# Says in one line that more directories were given than the window can offer, and fails.
user_drives_fit() {
  [ $# -le "$USER_DRIVES_MAX" ] && return 0
  echo "refused: $# directories given; at most $USER_DRIVES_MAX fit beside c: in the window's seven drive slots" \
       "(without a display, all of them are measured)" >&2
  return 1
}

# One field of the mount that holds DIR, from findmnt: SOURCE (the device), FSTYPE, TARGET (where it
# is mounted) or OPTIONS (sync or flush, say, change the score); "unknown" when it cannot tell.
user_drive_mount() {
  local value
  value=$(findmnt -n -o "$2" -T "$1" 2>/dev/null | tail -n 1 | sed 's/^ *//; s/ *$//')
  echo "${value:-unknown}"
}

# "device /dev/sdb1, filesystem vfat, mounted on /media/stick (rw,nosuid,flush)" for the directory.
user_drive_describe() {
  echo "device $(user_drive_mount "$1" SOURCE), filesystem $(user_drive_mount "$1" FSTYPE)," \
       "mounted on $(user_drive_mount "$1" TARGET) ($(user_drive_mount "$1" OPTIONS))"
}

# Links each DIR to the next free drive letter of $WINEPREFIX, from d: on, in the order given, and
# says which is which. Wine sees the links from its next session on.
user_drives_map() {
  local dir letter link
  for dir in "$@"; do
    link=
    for letter in d e f g h i j k l m n o p q r s t u v w x y; do
      if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ] && [ ! -L "$WINEPREFIX/dosdevices/$letter:" ]; then
        link="$WINEPREFIX/dosdevices/$letter:"
        break
      fi
    done
    if [ -z "$link" ]; then
      echo "no free drive letter left in $WINEPREFIX for $dir" >&2
      return 1
    fi
    dir=$(realpath "$dir")
    ln -s "$dir" "$link"
    USER_DRIVE_LINKS+=("$link")
    USER_DRIVE_DIRS+=("$dir")
    echo "== drive $letter: is $dir: $(user_drive_describe "$dir")"
  done
}

# Removes the links made for this session, and a test file that a run of this session left behind
# (an interrupted run, or a failed one): none was there before, user_drives_check saw to that.
user_drives_unmap() {
  local i
  for i in "${!USER_DRIVE_LINKS[@]}"; do
    rm -f "${USER_DRIVE_LINKS[$i]}"
    if [ -f "${USER_DRIVE_DIRS[$i]}/tfile.frl" ] && rm -f "${USER_DRIVE_DIRS[$i]}/tfile.frl"; then
      echo "== removed the test file tfile.frl that the run left in ${USER_DRIVE_DIRS[$i]}"
    fi
  done
  USER_DRIVE_LINKS=()
  USER_DRIVE_DIRS=()
}

# Wine's stderr without its complaints about things Ferrulon does not need: it cannot read a
# drive's raw device for the volume label and serial (z: is /, and a USB stick's device is usually
# readable by root only), and the drive works all the same. Anything else is passed on.
wine_stderr_filter() {
  grep --line-buffered -v -e '^wine: Read access denied for device ' >&2 || true
}
