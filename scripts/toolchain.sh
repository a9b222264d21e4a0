#!/usr/bin/env bash
# The Debian packages whose versions decide the bytes of ferrulon.exe and of the ZIP.
#   toolchain.sh record         prints them installed, one package=version a line
#   toolchain.sh install FILE   installs exactly the versions FILE lists (as root), and make, which
#                               decides no byte, then checks that they are the ones installed
# The release carries the recorded list as toolchain.txt; a rebuild with it gives the same bytes.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime gcc-mingw-w64-base
          binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev mingw-w64-common cmake cmake-data zip)
record() { dpkg-query -W -f '${Package}=${Version}\n' "${packages[@]}"; }

case ${1:-} in
  record)
    record || { echo "== not all of these are installed: ${packages[*]}" >&2; exit 1; } ;;
  install)
    [ -f "${2:-}" ] || { echo "usage: toolchain.sh install FILE (a list that toolchain.sh record made)" >&2; exit 2; }
    mapfile -t wanted <"$2"
    export DEBIAN_FRONTEND=noninteractive
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${wanted[@]}" make >/dev/null; } ||
      { echo "== apt-get could not install exactly: ${wanted[*]}" >&2; exit 1; }
    have=$(record 2>/dev/null || true)
    [ "$have" = "$(cat "$2")" ] || { echo "== installed: ${have//$'\n'/ }; wanted: ${wanted[*]}" >&2; exit 1; }
    echo "== the toolchain of $2 is installed: ${wanted[*]}" ;;
  *)
    echo "usage: toolchain.sh record | toolchain.sh install FILE" >&2; exit 2 ;;
esac
