# Sourced by the run and demo commands: comparing drives without a display. Reads the command line
# (how many runs, where the results go, which directories), writes one CSV line per run, and makes
# the table and the chart from that CSV alone.

COMPARE_RUNS_MAX=20   # a run takes a minute or more; twenty of them on a slow stick take an hour or two
COMPARE_USAGE="usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...]"
COMPARE_CSV_HEADER="time,directory,device,filesystem,mount options,run,verdict,score"
# For awk: a score in whole ms with thousands separated, 1234.5 as "1,235"; "-" stays "-".
COMPARE_GROUPED='function grouped(n,   s, out) {
  if (n == "-") return n
  s = sprintf("%d", int(n + 0.5)); out = ""
  while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
  return s out
}'

# Reads the arguments into COMPARE_RUNS (1 unless given), COMPARE_OUT ("" unless given),
# COMPARE_OPTIONS (the options given, as " --runs --out") and COMPARE_DIRS, in the order given.
# Options may come anywhere; "--" ends them. Says in one line why an argument is wrong, and fails.
compare_args() {
  COMPARE_RUNS=1 COMPARE_OUT="" COMPARE_OPTIONS="" COMPARE_DIRS=()
  local option value
  while [ $# -gt 0 ]; do
    case $1 in
      --runs=* | --out=*) option=${1%%=*} value=${1#*=}; shift ;;
      --runs | --out)
        if [ $# -lt 2 ]; then echo "refused: $1 needs a value ($COMPARE_USAGE)" >&2; return 1; fi
        option=$1 value=$2; shift 2 ;;
      --) shift; COMPARE_DIRS+=("$@"); return 0 ;;
      -?*) echo "refused: unknown option $1 ($COMPARE_USAGE)" >&2; return 1 ;;
      *) COMPARE_DIRS+=("$1"); shift; continue ;;
    esac
    case $option in
      --runs)
        if ! [[ $value =~ ^[0-9][0-9]?[0-9]?$ ]] || [ $((10#$value)) -lt 1 ] || [ $((10#$value)) -gt $COMPARE_RUNS_MAX ]; then
          echo "refused: --runs $value: give a whole number from 1 to $COMPARE_RUNS_MAX" >&2
          return 1
        fi
        COMPARE_RUNS=$((10#$value)) ;;
      --out)
        if [ -z "$value" ]; then echo "refused: --out needs a directory ($COMPARE_USAGE)" >&2; return 1; fi
        COMPARE_OUT=$value ;;
    esac
    case $COMPARE_OPTIONS in *" $option"*) ;; *) COMPARE_OPTIONS+=" $option" ;; esac
  done
}

# Everything the run and demo commands are given, checked before anything is installed or built:
# the arguments, the directories (user_drives_check) and the results folder. Says in one line what is
# refused, and fails; nothing is changed on disk.
compare_check() {
  compare_args "$@" && user_drives_check "${COMPARE_DIRS[@]}" && { [ -z "$COMPARE_OUT" ] || compare_out_check "$COMPARE_OUT"; }
}

# The results folder DIR can be made (or is there) and written to; sets COMPARE_OUT_PATH to it,
# resolved. Nothing is made yet.
compare_out_check() {
  local path
  if [[ $1 == *[[:cntrl:]]* ]]; then echo "refused: the results folder $(printf '%q' "$1") holds a control character" >&2; return 1; fi
  path=$(realpath -m -- "$1" && echo x) && path=${path%$'\nx'} && COMPARE_OUT_PATH=$path
  while [ ! -e "$path" ] && [ ! -L "$path" ]; do path=${path%/*}; path=${path:-/}; done   # the nearest that is there
  if [ -d "$path" ] && [ -w "$path" ] && [ -x "$path" ] && { [ "$path" != "$COMPARE_OUT_PATH" ] || [ -d "$COMPARE_OUT_PATH" ]; }; then
    return 0
  fi
  echo "refused: the results folder $1 cannot be made or written to" >&2
  return 1
}

# Makes the results folder, a new one of this run's own, so that no file that was there is changed,
# and prints its path: WANT itself when it is not there yet, else a new folder in it named by the date
# and time. Says in one line why it cannot, and fails.
compare_results_folder() {
  local want=$1 stamp out n=1
  mkdir -p -- "${want%/*}" 2>/dev/null || true
  if mkdir -- "$want" 2>/dev/null; then printf '%s\n' "$want"; return 0; fi
  stamp=$(date +%Y-%m-%d-%H%M%S) out=$want/$stamp
  until [ -d "$want" ] && mkdir -- "$out" 2>/dev/null; do
    n=$((n + 1)) out=$want/$stamp-$n
    [ "$n" -le 20 ] && [ -d "$want" ] || { echo "refused: the results folder $want cannot be made, nor a new folder in it" >&2; return 1; }
  done
  printf '%s\n' "$out"
}

# One CSV line of the given fields: a field holding a comma, a double quote or a line break is
# quoted, its double quotes doubled (mount options mostly hold commas).
compare_csv_line() {
  local field line="" sep=""
  for field in "$@"; do
    if [[ $field == *[,\"$'\r\n']* ]]; then field="\"${field//\"/\"\"}\""; fi
    line+=$sep$field sep=,
  done
  printf '%s\n' "$line"
}

# One line per directory, in the order of its first run, from the CSV: directory, device,
# filesystem, mount options, runs made, verdict (green: every run of RUNS green; FAILED: a run ended
# red; NO SCORE: a run could not be made), then for a green row the median, best (lowest) and worst
# score and the spread in per cent, (worst - best) / median, "-" for a single run. Tab-separated.
# usage: compare_summary CSV RUNS
compare_summary() {
  awk -v runs="$2" '
    # Splits one CSV line into cell[1..n]: quoted fields, doubled quotes.
    function split_csv(line,   i, c, f, quoted, n) {
      n = 0; f = ""; quoted = 0
      for (i = 1; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (quoted) {
          if (c != "\"") f = f c
          else if (substr(line, i + 1, 1) == "\"") { f = f c; i++ }
          else quoted = 0
        } else if (c == "\"") quoted = 1
        else if (c == ",") { cell[++n] = f; f = "" }
        else f = f c
      }
      cell[++n] = f
      return n
    }
    NR == 1 { next }   # the header
    {
      sub(/\r$/, "")
      split_csv($0)
      dir = cell[2]
      if (!(dir in made)) { order[++dirs] = dir; about[dir] = cell[3] "\t" cell[4] "\t" cell[5] }
      made[dir]++
      if (cell[7] == "red") failed[dir] = 1
      else if (cell[7] != "green") unscored[dir] = 1
      else scores[dir, ++green[dir]] = cell[8] + 0
    }
    END {
      for (d = 1; d <= dirs; d++) {
        dir = order[d]
        verdict = failed[dir] ? "FAILED" : unscored[dir] || made[dir] < runs ? "NO SCORE" : "green"
        line = dir "\t" about[dir] "\t" made[dir] "\t" verdict
        if (verdict == "green") {
          n = green[dir]
          for (i = 1; i <= n; i++) sorted[i] = scores[dir, i]
          for (i = 2; i <= n; i++)   # insertion sort, lowest first
            for (j = i; j > 1 && sorted[j - 1] > sorted[j]; j--) { t = sorted[j]; sorted[j] = sorted[j - 1]; sorted[j - 1] = t }
          median = n % 2 ? sorted[(n + 1) / 2] : (sorted[n / 2] + sorted[n / 2 + 1]) / 2
          spread = n > 1 ? sprintf("%.1f", (sorted[n] - sorted[1]) / median * 100) : "-"
          line = line "\t" median "\t" sorted[1] "\t" sorted[n] "\t" spread
        } else line = line "\t-\t-\t-\t-"
        print line
      }
    }' "$1"
}

# The table for the terminal, from the CSV: one row per directory, columns aligned as a terminal
# shows them (a Chinese character takes two columns), scores in whole ms with thousands separated (a
# median between two scores rounds half up).
# usage: compare_table CSV RUNS
compare_table() {
  compare_summary "$1" "$2" | LC_ALL=C awk -F'\t' -v runs="$2" "$COMPARE_GROUPED"'
    # The columns a UTF-8 text takes on a terminal: two for the East Asian wide ranges (from their
    # three-byte forms) and four-byte characters, one for any other character.
    function width(s,   i, n, c, w, cp) {
      n = length(s); w = 0
      for (i = 1; i <= n; i++) {
        c = code[substr(s, i, 1)]
        if (c < 128 || c >= 192 && c < 224) w++
        else if (c >= 240) w += 2
        else if (c >= 224) {
          cp = (c - 224) * 4096 + (code[substr(s, i + 1, 1)] - 128) * 64 + code[substr(s, i + 2, 1)] - 128
          w += cp >= 4352 && cp <= 4447 || cp >= 11904 && cp <= 42191 || cp >= 44032 && cp <= 55203 ||
               cp >= 63744 && cp <= 64255 || cp >= 65040 && cp <= 65049 || cp >= 65072 && cp <= 65135 ||
               cp >= 65280 && cp <= 65376 || cp >= 65504 && cp <= 65510 ? 2 : 1
        }
      }
      return w
    }
    function pad(s, n) { while (n-- > 0) s = s " "; return s }
    BEGIN {
      for (i = 1; i < 256; i++) code[sprintf("%c", i)] = i
      split("directory|device|filesystem|runs|verdict|median|best|worst|spread|mount options", head, "|")
      rows = 1
      for (c = 1; c <= 10; c++) cell[1, c] = head[c]
    }
    {
      rows++
      cell[rows, 1] = $1; cell[rows, 2] = $2; cell[rows, 3] = $3; cell[rows, 4] = $5 " of " runs; cell[rows, 5] = $6
      cell[rows, 6] = grouped($7); cell[rows, 7] = grouped($8); cell[rows, 8] = grouped($9)
      cell[rows, 9] = $10 == "-" ? "-" : $10 " %"
      cell[rows, 10] = $4
    }
    END {
      for (r = 1; r <= rows; r++) for (c = 1; c <= 10; c++) if (width(cell[r, c]) > widest[c]) widest[c] = width(cell[r, c])
      for (r = 1; r <= rows; r++) {
        line = ""
        for (c = 1; c <= 10; c++) {
          # The figures right-aligned, the rest left-aligned; the last column unpadded.
          n = widest[c] - width(cell[r, c])
          line = line (c >= 6 && c <= 9 ? pad("", n) cell[r, c] : c == 10 ? cell[r, c] : pad(cell[r, c], n))
          if (c < 10) line = line "  "
        }
        print line
      }
      print "scores in ms per pass, lower is better; spread = (worst - best) / median"
      print "each run wrote only in a new directory of its own inside the directory named (the same device, filesystem and mount)"
    }'
}

# The exit code the CSV calls for: 1 when a run ended red (a drive gave back different data), else
# 2 when a run could not be made, else 0.
# usage: compare_exit_code CSV RUNS
compare_exit_code() {
  compare_summary "$1" "$2" | awk -F'\t' '
    $6 == "FAILED" { red = 1 } $6 == "NO SCORE" { unscored = 1 }
    END { exit red ? 1 : unscored ? 2 : 0 }'
}

# The chart (PNG) with gnuplot: the median score per directory as a bar, best to worst as an error
# bar; a directory without a score shows its verdict instead of a bar.
# usage: compare_chart CSV RUNS CHART.png SUBTITLE
compare_chart() {
  local data bars
  data=$(compare_summary "$1" "$2" | awk -F'\t' "$COMPARE_GROUPED"'
    $6 == "green" { printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", $1, $3, $7, $8, $9, grouped($7), $9; next }
    { printf "%s\t%s\tNaN\tNaN\tNaN\t%s\t0\n", $1, $3, $6 }')
  bars=$(awk 'END { print NR }' <<<"$data")
  gnuplot <<EOF
\$bars << EOD
$data
EOD
set terminal pngcairo noenhanced size $((bars > 3 ? 220 * bars + 200 : 860)),480 font "DejaVu Sans,10"
set output '${3//\'/\'\'}'
set title "Ferrulon's score per directory: median of $2 run(s), bar from best to worst (lower is better)\n$4"
set datafile separator "\t"
set style fill solid 0.85 border rgb "#2f4f6f"
set boxwidth 0.6
set ylabel "ms per pass (mean of 50 passes)"
set xrange [-0.6:$bars - 0.4]
set yrange [0:*]
set offsets 0, 0, graph 0.12, 0
set grid ytics lc rgb "#dddddd"
set xtics nomirror scale 0
set ytics nomirror
set border 3
set bmargin 4
set errorbars 4
unset key
plot \$bars using 0:3 with boxes lc rgb "#4f81bd", \
     \$bars using 0:3:4:5 with yerrorbars lc rgb "#1f1f1f" lw 2 pt 7 ps 0.5, \
     \$bars using 0:7:6:xtic(stringcolumn(1)."\n".stringcolumn(2)) with labels offset 0, 0.9
EOF
}

# The demonstration's verdict and score, from its output (FILE) and its exit code: it ends with one
# line, "result: green SCORE", "result: red" or "result: none". Sets RESULT_VERDICT (green, red or
# none) and RESULT_SCORE ("" unless green); a line that the exit code does not bear out, or no line,
# reads as none.
# usage: compare_read_result FILE EXIT_CODE
compare_read_result() {
  local line score
  RESULT_VERDICT=none RESULT_SCORE=""
  line=$(grep -a '^result: ' "$1") || return 0
  line=${line##*$'\n'} line=${line%$'\r'}
  case $2:$line in
    "0:result: green "*)
      score=${line#result: green }
      if [[ $score =~ ^[0-9]{1,9}$ ]]; then RESULT_VERDICT=green RESULT_SCORE=$score; fi ;;
    "1:result: red") RESULT_VERDICT=red ;;
  esac
}
