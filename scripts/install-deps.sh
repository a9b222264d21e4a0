#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing, and any
# further packages named on the command line (the coverage report's gcovr, say).
# usage: install-deps.sh [package...]
set -euo pipefail
# The test drives with Windows filesystems (scripts/windows-filesystems.sh): NTFS through ntfs-3g,
# exFAT through exfat-fuse with exfatprogs' mkfs.exfat, FAT32 through fusefat with dosfstools' mkfs.vfat.
# The charts of the run command and the benchmark: gnuplot. The ZIP, packed without its packer's
# user and group, and the check of its entries: zip, unzip. The workflow check: python3-yaml. The
# results of the run command and the benchmark (scripts/results.py): python3. The house style's
# checks (scripts/lint.sh): clang-format, shellcheck.
packages=(cmake make gcc libc6-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang lld wine wine64 xvfb xauth
          x11-utils xdotool googletest fonts-wqy-microhei imagemagick inotify-tools fonts-wine zip unzip
          ntfs-3g exfat-fuse exfatprogs fusefat dosfstools gnuplot-nox python3 python3-yaml
          clang-format shellcheck "$@")
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) || status=""
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "== installing: ${missing[*]}"
[ "$(id -u)" = 0 ] || { echo "run as root, or install: ${missing[*]}" >&2; exit 2; }
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=300 update -qq || { echo "== apt-get update failed: the package lists could not be read" >&2; exit 2; }
apt-get -o DPkg::Lock::Timeout=300 install -y -qq "${missing[@]}" >/dev/null ||
  { echo "== apt-get could not install: ${missing[*]}" >&2; exit 2; }
echo "== installed"
