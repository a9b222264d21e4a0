#!/bin/sh
# Counts, at the system calls, the requests one write/verify cycle of the test file makes: the
# cycle of engine_tests runs under Wine with the request counter preloaded. Buffering of any kind
# (read-ahead, joined writes) would change these numbers.
# usage: count-requests.sh WINE_RUN FAULTS_SO ENGINE_TESTS_EXE
set -eu
wine_run=$1 faults=$2 tests=$3
[ -n "${FERRULON_DRIVE_BASE:-}" ] || { echo "no test drives mapped"; exit 1; }
log=$(mktemp)
FERRULON_FAULT_FILE="$FERRULON_DRIVE_BASE/m/tfile.frl" FERRULON_FAULT=count FERRULON_FAULT_LOG="$log" \
  LD_PRELOAD="$faults" "$wine_run" "$tests" --gtest_filter='TestFile.OneCycleMakesExactlyTheRequestsOfTheMeasurement' \
  >/dev/null
seen=$(cat "$log"); rm -f "$log"
expected="reads 12500 bytes1 12500 writes 200 passes 1 written 12500"
echo "system calls on tfile.frl: $seen"
[ "$seen" = "$expected" ] || { echo "expected: $expected"; exit 1; }
