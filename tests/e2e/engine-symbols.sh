#!/bin/sh
# Writes where the run's counters live inside ferrulon.exe, so that tests can read them from outside
# the running program. ferrulon.exe carries no symbol table; its twin, linked from the same objects
# in the same way but not stripped, names them. The addresses hold only when the two images are the
# same, so they are compared first (every loaded section, byte for byte, at the same address); when
# they differ the output says so instead, and the tests that need the counters fail with that text.
# usage: engine-symbols.sh OBJCOPY OBJDUMP NM PRODUCT TWIN OUTPUT
set -eu
objcopy=$1 objdump=$2 nm=$3 product=$4 twin=$5 out=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Name, size and address of every section that is loaded.
loaded() {
  "$objdump" -h "$1" | awk '/^ *[0-9]+ /{name=$2; size=$3; vma=$4; getline; if ($0 ~ /ALLOC/) print name, size, vma}'
}
loaded "$product" >"$work/product.sections"
loaded "$twin" >"$work/twin.sections"
"$objcopy" -O binary "$product" "$work/product.image"
"$objcopy" -O binary "$twin" "$work/twin.image"
if ! cmp -s "$work/product.sections" "$work/twin.sections" || ! cmp -s "$work/product.image" "$work/twin.image"; then
  echo "mismatch: the unstripped twin is not laid out like ferrulon.exe (were its link options changed?)" >"$out"
  exit 0
fi

# "Name RVA" for the engine's process-wide integers, e.g. "CharsVerified 2ca20" (hexadecimal).
base=$("$objdump" -p "$twin" | awk '$1 == "ImageBase" {print $2}')
"$nm" "$twin" | awk -v base="$base" '
  function hex(s,   i, n) { n = 0; s = tolower(s); for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return n }
  $2 == "D" && $3 ~ /^_ZN6engine[0-9]+[A-Za-z]+E$/ {
    name = $3; sub(/^_ZN6engine[0-9]+/, "", name); sub(/E$/, "", name)
    printf "%s %x\n", name, hex($1) - hex(base)
  }' >"$work/symbols"
[ -s "$work/symbols" ] || { echo "mismatch: no engine symbols found in the twin" >"$out"; exit 0; }
cp "$work/symbols" "$out"
