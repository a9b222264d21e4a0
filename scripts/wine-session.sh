# Sourced by the run, demo, test and benchmark commands: the Wine prefix, the test drives, a display and one Wine session
# that every test process joins. Call wine_session_up BUILD_DIR first, wine_session_down at the end.

# Letters mapped for tests.
FERRULON_TEST_DRIVES=mnopqrstu

wine_quiet() { "$WINE" "$@" </dev/null >/dev/null 2>&1 || true; }

# A prefix for the tests (no window manager: Wine draws captions itself) or, with "desktop", one
# for a person's own display, where the window manager frames the window.
wine_prefix_create() {
  [ -f "$WINEPREFIX/.ferrulon-ready" ] && { wine_caption_font; return 0; }
  # The tests' prefix of the same build tree, when there is one, is copied without its test drives:
  # a copy takes a second or two, making a prefix ten.
  local model
  model=$(dirname "$WINEPREFIX")/wineprefix
  if [ "${1:-}" != desktop ] && [ "$model" != "$WINEPREFIX" ] && [ -f "$model/.ferrulon-ready" ]; then
    echo "== copying the Wine prefix $model to $WINEPREFIX"
    rm -rf "$WINEPREFIX" && cp -a "$model" "$WINEPREFIX"
    find "$WINEPREFIX/dosdevices" -maxdepth 1 -name '?:' ! -name c: ! -name z: -delete
    return 0
  fi
  echo "== creating the Wine prefix $WINEPREFIX (once; takes a little while)"
  rm -rf "$WINEPREFIX"
  wine_quiet wineboot -i
  if [ "${1:-}" != desktop ]; then
    # Undecorated, unmanaged windows: without a window manager, message boxes would stall.
    wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
    wine_quiet reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  fi
  # Chinese texts through a CJK font linked to the dialog fonts.
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    wine_quiet reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
  done
  "$WINESERVER" -w || true
  wine_caption_font
  touch "$WINEPREFIX/.ferrulon-ready"
}

# Wine draws the caption's close box with the Marlett font. Debian's fonts-wine ships it, but this
# Wine does not look in that folder, so the box shows a plain "r" unless the prefix has a copy.
wine_caption_font() {
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$marlett" "$fonts/"; fi
  return 0
}

wine_display_up() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n=91
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  FERRULON_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}

wine_drives_map() {
  local base
  # tmpfs keeps runs fast and spares the disk; FERRULON_DRIVE_PARENT puts the drives elsewhere.
  local parent=${FERRULON_DRIVE_PARENT:-/dev/shm}
  [ -w "$parent" ] || parent=${TMPDIR:-/tmp}
  base=$(mktemp -d "$parent/ferrulon-drives.XXXXXX")
  export FERRULON_DRIVE_BASE=$base
  local letter
  for letter in $(echo "$FERRULON_TEST_DRIVES" | sed 's/./& /g'); do
    mkdir -p "$base/$letter"
    ln -sfn "$base/$letter" "$WINEPREFIX/dosdevices/$letter:"
  done
  export FERRULON_TEST_DRIVES
}

wine_drives_unmap() {
  local letter
  for letter in $(echo "$FERRULON_TEST_DRIVES" | sed 's/./& /g'); do
    rm -f "$WINEPREFIX/dosdevices/$letter:"
  done
  if [ -n "${FERRULON_DRIVE_BASE:-}" ]; then rm -rf "$FERRULON_DRIVE_BASE"; fi
}

wine_tools() {
  WINE=$(command -v /usr/lib/wine/wine64 wine64 wine 2>/dev/null | head -n 1)
  WINESERVER=$(command -v /usr/lib/wine/wineserver wineserver 2>/dev/null | head -n 1)
  export WINE WINESERVER WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
}

# usage: wine_session_up BUILD [LETTERS]   (LETTERS: the Windows filesystems mounted, as wine_fs_map takes them)
wine_session_up() {
  local build=$1
  FERRULON_FS_LETTERS=${2:-}
  wine_tools
  export WINEPREFIX="$build/wineprefix"
  wine_display_up
  wine_prefix_create
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  wine_drives_map
  wine_fs_map "$FERRULON_FS_LETTERS"
  # Wine reads the drive letters when its session starts: start it now, detached from our output.
  "$WINESERVER" -p </dev/null >/dev/null 2>&1   # returns once the server runs (it detaches)
  wine_quiet cmd /c exit
}

wine_session_down() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  wine_drives_unmap
  wine_fs_unmap "${FERRULON_FS_LETTERS:-}"
  if [ -n "${FERRULON_XVFB_PID:-}" ]; then kill "$FERRULON_XVFB_PID" 2>/dev/null || true; fi
  return 0
}

# The Windows filesystems that windows-filesystems.sh mounted, as drive letters: LETTERS pairs each
# kind with its letter ("ntfs:d exfat:e fat32:f"). Links the mounted kinds into the prefix's drives
# (before its session starts) and exports FERRULON_FS_BASE and FERRULON_FS_DRIVES ("d:ntfs ...").
wine_fs_map() {
  local pair drives=""
  for pair in $1; do
    rm -f "$WINEPREFIX/dosdevices/${pair#*:}:"
    case " ${WINFS_MOUNTED:-} " in
      *" ${pair%%:*} "*)
        ln -sfn "$WINFS_BASE/${pair%%:*}" "$WINEPREFIX/dosdevices/${pair#*:}:"
        drives="$drives${drives:+ }${pair#*:}:${pair%%:*}" ;;
    esac
  done
  export FERRULON_FS_BASE=${WINFS_BASE:-} FERRULON_FS_DRIVES=$drives
}

wine_fs_unmap() {
  local pair
  for pair in $1; do rm -f "$WINEPREFIX/dosdevices/${pair#*:}:"; done
}
