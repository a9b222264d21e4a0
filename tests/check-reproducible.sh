#!/bin/sh
# What makes a rebuild of the same commit byte-identical, checked on this build alone (no time stamp
# or build path in ferrulon.exe, the ZIP's four files at the fixed time), and README.zh-CN.txt in the
# ZIP as Notepad reads it.
# usage: check-reproducible.sh EXE ZIP ZIP_TIME(seconds since 1970) SOURCE_DIR BUILD_DIR
exe=$1 zip=$2 time=$(date -u -d "@$3" +%Y%m%d.%H%M%S) status=0
fail() { echo "$*"; status=1; }
pe=$(od -An -tu4 -j 60 -N 4 "$exe")   # the PE header's offset; its time stamp is 8 bytes in
[ "$(od -An -tu4 -j $((pe + 8)) -N 4 "$exe" | tr -d ' ')" = 0 ] || fail "$exe: PE time stamp is not 0"
! grep -qaF -e "$4" -e "$5" "$exe" || fail "$exe holds the path $4 or $5"
names=$(unzip -Z1 "$zip" | tr '\n' ' ')
[ "$names" = "ferrulon.exe README.md README.zh-CN.txt docs/ferrulon.png " ] || fail "$zip holds $names"
TZ=UTC0 unzip -Z -T "$zip" | awk -v t="$time" '/^-/ && $7 != t { print "not " t ": " $0; bad = 1 } END { exit bad }' || status=1
case $(unzip -p "$zip" README.zh-CN.txt | od -An -tx1 | sed -n 1p) in " ef bb bf"*) ;; *) fail "README.zh-CN.txt: no BOM" ;; esac
[ "$(unzip -p "$zip" README.zh-CN.txt | grep -cv "$(printf '\r')\$")" = 0 ] || fail "README.zh-CN.txt: a line without CRLF"
[ $status = 1 ] || echo "PE time stamp 0, no build path; ZIP: ${names}at $time UTC; README.zh-CN.txt: BOM, CRLF"
exit $status
