#!/usr/bin/env bash
# A Debian 13 (trixie) root on a Debian machine, to try the run and test commands on today's stable
# Debian: made with debootstrap from the archive that this machine's apt sources name, with this
# machine's own certificate authorities and npm's CA file copied in, so that apt and npm inside answer
# as they do here. Entering it mounts /proc, /sys, /dev (with /dev/pts and /dev/fuse) and a fresh
# /dev/shm in a mount namespace of its own: the mounts go with it however the command ends, and
# nothing is mounted on this machine's own tree. As root.
#   bash scripts/debian13-root.sh make ROOT               debootstrap (once), apt sources, certificates
#   bash scripts/debian13-root.sh enter ROOT [COMMAND...]  COMMAND (a login shell when none) inside, from
#                                                          /root; then ends what it left running
set -euo pipefail
fail() { echo "== $*" >&2; exit 2; }
mark=.made-by-debian13-root   # in a root's top directory: only such a root is written to, entered or stopped in

# The first URI of this machine's apt sources that serves SUITE (the codename, or codename-security).
host_archive() {
  local files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then files+=("$f"); fi
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk -v want="$1" '
    function stanza() { if (uri != "" && on && (" " suites " ") ~ (" " want " ") && found == "") found = uri; uri = suites = ""; on = 1 }
    BEGIN { on = 1 }
    FNR == 1 || /^[ \t]*$/ { stanza() }
    /^deb[ \t]/ { sub(/\[[^]]*\][ \t]*/, ""); if ($3 == want && found == "") found = $2 }
    /^URIs:/ { uri = $2 }
    /^Suites:/ { suites = $0; sub(/^Suites:[ \t]*/, "", suites) }
    /^Enabled:[ \t]*no/ { on = 0 }
    END { stanza(); if (found != "") print found }' "${files[@]}"
}

make_root() {
  local root=$1 codename archive security ca cafile
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  archive=$(host_archive "$codename")
  security=$(host_archive "$codename-security")
  [ -n "$archive" ] || fail "no Debian archive for $codename in this machine's apt sources (/etc/apt)"
  if [ -d "$root/debootstrap" ]; then fail "$root is a debootstrap that did not finish: remove it and make it again"; fi
  if [ -e "$root" ] && [ ! -f "$root/$mark" ] && [ -n "$(ls -A -- "$root")" ]; then
    fail "$root is neither empty nor a root that this script made"
  fi
  if [ ! -f "$root/$mark" ]; then
    command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null || fail "could not install debootstrap"
    echo "== debootstrap trixie into $root from $archive (a few minutes)"
    mkdir -p -- "$root"
    # In a mount namespace: the mounts debootstrap makes cannot outlive it.
    unshare --mount --propagation private -- \
      debootstrap --variant=minbase --include=ca-certificates trixie "$root" "$archive" >"$root.debootstrap.log" 2>&1 ||
      fail "debootstrap failed: its log is $root.debootstrap.log"
    rm -f -- "$root.debootstrap.log"
    touch "$root/$mark"
  fi
  {
    printf 'Types: deb\nURIs: %s\nSuites: trixie trixie-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$archive"
    if [ -n "$security" ]; then
      printf '\nTypes: deb\nURIs: %s\nSuites: trixie-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$security"
    fi
  } >"$root/etc/apt/sources.list.d/debian.sources"
  rm -f -- "$root/etc/apt/sources.list"
  cp -L -- /etc/resolv.conf "$root/etc/resolv.conf"
  # This machine's own certificate authorities (a proxy's, say), and npm's CA file when it names one.
  for ca in /usr/local/share/ca-certificates/*; do
    if [ -f "$ca" ]; then cp -- "$ca" "$root/usr/local/share/ca-certificates/"; fi
  done
  chroot "$root" update-ca-certificates >/dev/null 2>&1 || fail "update-ca-certificates failed in $root"
  cafile=$(npm config get cafile 2>/dev/null) || cafile=""
  if [ -n "$cafile" ] && [ "$cafile" != null ] && [ "$cafile" != undefined ]; then
    echo "cafile=$cafile" >"$root/root/.npmrc"
  fi
  echo "== Debian 13 root ready: $root ($(cat "$root/etc/debian_version"))"
}

# Runs inside the namespace: mounts, then COMMAND in the root with a clean environment.
inside() {
  local root=$1 status=0 env=(HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8
                              PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
  shift
  # Only in a mount namespace of its own (enter's), never in its caller's.
  { [ -f "$root/$mark" ] && [ "$(readlink /proc/self/ns/mnt)" != "$(readlink "/proc/$PPID/ns/mnt")" ]; } ||
    fail "inside: only through enter"
  mount --bind "$root" "$root"   # the root is a mount of its own: inside, / shows in the mount table
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
  if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$root$NODE_EXTRA_CA_CERTS" ]; then env+=(NODE_EXTRA_CA_CERTS="$NODE_EXTRA_CA_CERTS"); fi
  [ $# -gt 0 ] || set -- bash -l
  chroot "$root" /usr/bin/env -i "${env[@]}" sh -c 'cd /root && exec "$@"' sh "$@" || status=$?
  stop_leftovers "$root"
  exit "$status"
}

# What the command left running in the root (a server, a FUSE filesystem): TERM, then KILL after 5 s.
stop_leftovers() {
  local root pid pids=() left
  root=$(realpath -- "$1")
  for _ in $(seq 50); do
    pids=()
    for pid in /proc/[0-9]*; do
      if [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ]; then pids+=("${pid#/proc/}"); fi
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    if [ -z "${left:-}" ]; then kill -TERM "${pids[@]}" 2>/dev/null || true; left=1; fi
    sleep 0.1
  done
  kill -KILL "${pids[@]}" 2>/dev/null || true
}

[ "$(id -u)" = 0 ] || fail "as root only (debootstrap, chroot and mounts)"
case ${1:-}:$# in
  make:2) make_root "$(realpath -m -- "$2")" ;;
  enter:*)
    [ $# -ge 2 ] || fail "usage: bash scripts/debian13-root.sh make|enter ROOT [COMMAND...]"
    { root=$(realpath -- "$2") && [ "$root" != / ] && [ -f "$root/$mark" ]; } || fail "no Debian 13 root at $2: make it first"
    shift 2
    exec unshare --mount --propagation private -- bash "$(realpath -- "$0")" inside "$root" "$@" ;;
  inside:*) shift; inside "$@" ;;
  *) fail "usage: bash scripts/debian13-root.sh make ROOT | enter ROOT [COMMAND...]" ;;
esac
