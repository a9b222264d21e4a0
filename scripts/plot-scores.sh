#!/usr/bin/env bash
# Draws the scores by filesystem as a bar chart (PNG) with gnuplot, from the figures that
# scripts/bench.sh measured: one line per drive, "label<TAB>score in ms per pass".
# usage: bash scripts/plot-scores.sh SCORES.tsv CHART.png [SUBTITLE]
set -euo pipefail
scores=$1 chart=$2 subtitle=${3:-}
command -v gnuplot >/dev/null || { echo "gnuplot is missing: bash scripts/install-deps.sh gnuplot-nox" >&2; exit 1; }
bars=$(awk 'NF { n++ } END { print n + 0 }' "$scores")
[ "$bars" -gt 0 ] || { echo "no scores in $scores: no chart drawn" >&2; exit 2; }

gnuplot <<EOF
set terminal pngcairo size 860,480 font "DejaVu Sans,11"
set output "$chart"
set title "Ferrulon's score by filesystem: one complete run each (lower is better)\n{/*0.85 $subtitle}"
set datafile separator "\t"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border rgb "#2f4f6f"
set boxwidth 0.7
set ylabel "ms per pass (mean of 50 passes)"
set xrange [-0.6:$bars - 0.4]
set yrange [0:*]
set offsets 0, 0, graph 0.1, 0
set grid ytics lc rgb "#dddddd"
set xtics nomirror scale 0
set ytics nomirror
set border 3
unset key
plot "$scores" using 2:xtic(1) lc rgb "#4f81bd", \
     "" using 0:2:(sprintf("%d", \$2)) with labels offset 0, 0.8 notitle
EOF
