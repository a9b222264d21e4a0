#!/usr/bin/env bash
# Test drives with the filesystems Windows drives carry: NTFS (system disks), exFAT and FAT32 (USB
# sticks and cards). Each is a small image, formatted and mounted through FUSE: ntfs-3g on the
# image, exfat-fuse on a loop device that holds the image, fusefat on the image. The images lie
# beside the test drives (tmpfs, or FERRULON_DRIVE_PARENT), so what a drive adds is its filesystem.
#
# Sourced by the Wine session of the tests (scripts/wine-session.sh):
#   winfs_up BASE    mounts each kind this machine can mount at BASE/<kind> (BASE: an empty directory
#                    the caller made) and lists those in WINFS_MOUNTED; a kind it cannot mount is
#                    named in one line and left out
#   winfs_down BASE  unmounts them, detaches the loop device and deletes the images and BASE
# Sourced, it needs nothing of the other files. Run on its own, it sources command.sh itself.
# Run on its own, it mounts them, runs COMMAND with FERRULON_FS_BASE and FERRULON_FS_KINDS set (or
# waits for Enter) and takes everything down again on any exit, Ctrl+C included:
#   bash scripts/windows-filesystems.sh [COMMAND [ARG...]]

WINFS_KINDS="ntfs exfat fat32"
WINFS_IMAGE_MB=64
WINFS_BASE="" WINFS_MOUNTED=""

# Why no kind can be mounted on this machine; nothing when they can.
winfs_blocked() {
  if [ "$(id -u)" != 0 ]; then echo "not root"
  elif [ ! -c /dev/fuse ]; then echo "no /dev/fuse"
  fi
}

# The tools a kind needs, the first missing one named; nothing when all are there.
winfs_missing_tool() {
  local tool tools
  case $1 in
    ntfs) tools="mkntfs ntfs-3g" ;;
    exfat) tools="losetup mkfs.exfat mount.exfat-fuse" ;;
    fat32) tools="mkfs.vfat fusefat" ;;
  esac
  for tool in $tools; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
  done
}

# Makes, formats and mounts one kind at $WINFS_BASE/<kind>. Every tool's output goes to the kind's
# log, never to the caller's output: the FUSE daemons outlive this call and would hold a pipe open.
winfs_mount() {
  local kind=$1 image="$WINFS_BASE/$1.img" dir="$WINFS_BASE/$1" log="$WINFS_BASE/$1.log" loop
  mkdir "$dir" && truncate -s "${WINFS_IMAGE_MB}M" "$image" || return 1
  case $kind in
    ntfs)
      mkntfs -F -Q -q "$image" && ntfs-3g "$image" "$dir" ;;
    exfat)
      loop=$(losetup -f --show "$image") || return 1
      mkfs.exfat "$loop" && mount.exfat-fuse "$loop" "$dir" ;;
    fat32)
      mkfs.vfat -F 32 "$image" && fusefat -o rw+ "$image" "$dir" ;;
  esac </dev/null >>"$log" 2>&1 || return 1
  # A mount that answers but cannot keep a file is no drive.
  { mountpoint -q "$dir" && printf 'probe\r\n' >"$dir/probe.txt" && [ "$(cat "$dir/probe.txt")" = $'probe\r' ] &&
    rm "$dir/probe.txt" && [ ! -e "$dir/probe.txt" ]; } || { echo "a file could not be written, read back and deleted" >>"$log"; return 1; }
}

winfs_up() {
  local kind why
  WINFS_BASE=$1 WINFS_MOUNTED=""
  why=$(winfs_blocked)
  if [ -n "$why" ]; then
    echo "== NTFS, exFAT and FAT32 drives skipped: $why"
    return 0
  fi
  for kind in $WINFS_KINDS; do
    why=$(winfs_missing_tool "$kind")
    if [ -z "$why" ] && winfs_mount "$kind"; then
      WINFS_MOUNTED="$WINFS_MOUNTED${WINFS_MOUNTED:+ }$kind"
    else
      # The log's last line that says anything (a tool may have failed without a word).
      # shellcheck disable=SC2016 # ${x;p;} is sed's: at the last line, print the one held
      [ -n "$why" ] || why=$(sed -n '/[^[:space:]]/h; ${x;p;}' "$WINFS_BASE/$kind.log" 2>/dev/null) || why=""
      echo "== $kind drive skipped: ${why:-it could not be made}"
    fi
  done
  [ -z "$WINFS_MOUNTED" ] || echo "== mounted through FUSE in $WINFS_BASE: $WINFS_MOUNTED"
}

winfs_down() {
  WINFS_BASE=$1
  [ -n "$WINFS_BASE" ] && [ -d "$WINFS_BASE" ] || return 0
  local kind dir loop
  for kind in $WINFS_KINDS; do
    dir="$WINFS_BASE/$kind"
    mountpoint -q "$dir" 2>/dev/null || continue
    # The daemon may still be finishing a request of a program that just ended: try again briefly.
    umount "$dir" 2>/dev/null || { sleep 1; umount "$dir" 2>/dev/null; } || umount -l "$dir" ||
      echo "== $dir could not be unmounted"
  done
  # Every loop device that holds the exFAT image, including one made just before an interruption.
  for loop in $(losetup -n -O NAME -j "$WINFS_BASE/exfat.img" 2>/dev/null || true); do losetup -d "$loop" 2>/dev/null || true; done
  # The images, the logs and what the tests kept beside them; the mount points with rmdir, never
  # rm -r: should a mount have outlived umount, the files on it are left alone.
  find "$WINFS_BASE" -maxdepth 1 -type f -delete
  for kind in $WINFS_KINDS; do
    [ ! -d "$WINFS_BASE/$kind" ] || rmdir "$WINFS_BASE/$kind" 2>/dev/null || echo "== $WINFS_BASE/$kind is left behind"
  done
  rmdir "$WINFS_BASE" 2>/dev/null || echo "== $WINFS_BASE is left behind"
  WINFS_BASE="" WINFS_MOUNTED=""
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  source "$(dirname -- "${BASH_SOURCE[0]}")/command.sh"
  command_begin
  base=$(mktemp -d "${FERRULON_DRIVE_PARENT:-/dev/shm}/ferrulon-fs.XXXXXX")
  command_on_exit winfs_down "$base"
  winfs_up "$base"
  for kind in $WINFS_MOUNTED; do echo "$kind: $WINFS_BASE/$kind"; done
  export FERRULON_FS_BASE=$WINFS_BASE FERRULON_FS_KINDS=$WINFS_MOUNTED
  if [ $# -gt 0 ]; then
    status=0
    run_step "$@" || status=$?
    command_end "$status"
  fi
  read -r -p "press Enter to unmount them " _ || true
fi
