#!/bin/sh
# What makes a rebuild of the same commit byte-identical, checked on this build alone (no time stamp
# or build path in ferrulon.exe; the ZIP's three files at the fixed time, with no owner recorded);
# the ZIP's guides as Notepad reads them, plain text naming nothing the ZIP lacks; and no hash in
# the READMEs but this build's ferrulon.exe's, so that none can go stale.
# usage: check-reproducible.sh EXE ZIP ZIP_TIME(seconds since 1970) SOURCE_DIR BUILD_DIR
exe=$1 zip=$2 time=$(date -u -d "@$3" +%Y%m%d.%H%M%S) status=0
fail() { echo "$*"; status=1; }
pe=$(od -An -tu4 -j 60 -N 4 "$exe")   # the PE header's offset; its time stamp is 8 bytes in
[ "$(od -An -tu4 -j $((pe + 8)) -N 4 "$exe" | tr -d ' ')" = 0 ] || fail "$exe: PE time stamp is not 0"
! grep -qaF -e "$4" -e "$5" "$exe" || fail "$exe holds the path $4 or $5"
names=$(unzip -Z1 "$zip" | tr '\n' ' ')
[ "$names" = "ferrulon.exe README.zh-CN.txt README.txt " ] || fail "$zip holds $names"
TZ=UTC0 unzip -Z -T "$zip" | awk -v t="$time" '/^-/ && $7 != t { print "not " t ": " $0; bad = 1 } END { exit bad }' || status=1
[ "$(unzip -Z -v "$zip" | grep -c 'UID/GID')" = 0 ] || fail "$zip records its packer's user and group"
cr=$(printf '\r')
for guide in README.zh-CN.txt README.txt; do
  case $(unzip -p "$zip" $guide | od -An -tx1 | sed -n 1p) in " ef bb bf"*) ;; *) fail "$guide: no BOM" ;; esac
  [ "$(unzip -p "$zip" $guide | grep -cv "$cr\$")" = 0 ] || fail "$guide: a line without CRLF"
  unzip -p "$zip" $guide | grep -nE '\*\*|`|\]\(|^(#|\||> )|docs/|\.(md|png|sh)\b' | sed "s/^/$guide: Markdown or a file the ZIP lacks: /" | grep . && status=1
done
sum=$(sha256sum "$exe" | cut -d' ' -f1)
for doc in README.md README.zh-CN.md; do
  grep -noE '\b[0-9a-fA-F]{64}\b' "$4/$doc" | grep -v ":$sum\$" | sed "s/^/$doc: a stale hash, not this build's ferrulon.exe ($sum): /" | grep . && status=1
done
[ $status = 1 ] || echo "PE time stamp 0, no build path; ZIP: ${names}at $time UTC, no owner; guides: BOM, CRLF, plain; no stale hash"
exit $status
