#!/usr/bin/env bash
# Line and branch coverage of the program (app/ engine/ drives/ ui/ runtime/) by the fast tests: the
# core tests and the window tests, built with --coverage and run under Wine, where each writes its
# .gcda files as any Windows program writes files. gcovr reads them with MinGW's gcov. Prints one
# line per folder; the HTML report is <build>/coverage/report/index.html. Not part of the test command.
# usage: bash scripts/coverage.sh   (FERRULON_BUILD=dir puts the coverage tree in dir/coverage)
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/command.sh"
command_begin
build=${FERRULON_BUILD:-$root/build}
tree=$build/coverage
report=$tree/report
source "$root/scripts/wine-session.sh"
command_lock "$tree" coverage

step "installing gcovr and building the core and window tests with --coverage in $tree"
run_step bash "$root/scripts/install-deps.sh" gcovr
(cd "$root" && cmake --preset mingw-coverage -B "$tree" >/dev/null)
run_step cmake --build "$tree" -j "$(nproc)" --target core_tests window_tests
find "$tree" -name '*.gcda' -delete

step "running the core and window tests"
command_on_exit session_down
session_up "$tree/wineprefix" tests
session_test_drives
session_start
cd "$tree/tests"
for tests in core window; do
  run_step "$WINE" "$tree/tests/${tests}_tests.exe" >"$tree/tests/$tests.log" 2>&1 ||
    { tail -n 30 "$tree/tests/$tests.log"; echo "== the $tests tests failed: no coverage report" >&2; command_end 1; }
done

mkdir -p "$report"
gcovr --gcov-executable x86_64-w64-mingw32-gcov -r "$root" --object-directory "$tree" \
      --exclude-directories '.*/(googletest|CMakeFiles/[0-9.]+)$' --filter "$root/(app|engine|drives|ui|runtime)/" \
      --exclude-unreachable-branches --exclude-throw-branches --html-details "$report/index.html" --csv "$report/files.csv"
# One line per folder, summed from the per-file figures.
awk -F, 'NR > 1 { split($1, p, "/"); d = p[1]; l[d] += $2; lc[d] += $3; b[d] += $5; bc[d] += $6; L += $2; LC += $3; B += $5; BC += $6 }
  function pc(n, d) { return d ? sprintf("%5.1f %%", 100 * n / d) : "    -  " }
  function row(name, a, ac, c, cc) { return sprintf("%-9s lines %s (%4d of %4d)   branches %s (%4d of %4d)", name, pc(ac, a), ac, a, pc(cc, c), cc, c) }
  END { for (d in l) print row(d "/", l[d], lc[d], b[d], bc[d]) | "sort"; close("sort"); print row("all", L, LC, B, BC) }' "$report/files.csv"
echo "== report: $report/index.html (per file: $report/files.csv)"
