# shellcheck shell=bash
# Sourced by the run and demo commands: the command line of a measurement without a display (how
# many runs, where the results go, which directories), checked before anything is installed or
# built, and the results folder made. The CSV, the table, the chart and the exit code are
# scripts/results.py's.
# Needs: user_drives_check (user-drives.sh), sourced before compare_check is called. The functions
# return through variables their caller names (any name but the functions' own compare_*).

COMPARE_RUNS_MAX=20   # a run takes a minute or more; twenty of them on a slow stick take an hour or two
COMPARE_USAGE="usage: bash scripts/run.sh [--runs N] [--out DIR] [DIR ...]"

# Reads the arguments into the caller's associative array SETTINGS: runs (1 unless given), out ("" unless
# given) and options (the options given, as " --runs --out"); and the directories, in the order given,
# into the caller's array DIRS. Options may come anywhere; "--" ends them. Says in one line why an
# argument is wrong, and fails.
# usage: compare_args SETTINGS DIRS [ARG...]
compare_args() {
  local -n compare_settings=$1 compare_dirs=$2
  local option value
  shift 2
  compare_settings=([runs]=1 [out]="" [options]="") compare_dirs=()
  while [ $# -gt 0 ]; do
    case $1 in
      --runs=* | --out=*) option=${1%%=*} value=${1#*=}; shift ;;
      --runs | --out)
        if [ $# -lt 2 ]; then echo "refused: $1 needs a value ($COMPARE_USAGE)" >&2; return 1; fi
        option=$1 value=$2; shift 2 ;;
      --) shift; compare_dirs+=("$@"); return 0 ;;
      -?*) echo "refused: unknown option $1 ($COMPARE_USAGE)" >&2; return 1 ;;
      *) compare_dirs+=("$1"); shift; continue ;;
    esac
    case $option in
      --runs)
        if ! [[ $value =~ ^[0-9][0-9]?[0-9]?$ ]] || [ $((10#$value)) -lt 1 ] || [ $((10#$value)) -gt $COMPARE_RUNS_MAX ]; then
          echo "refused: --runs $value: give a whole number from 1 to $COMPARE_RUNS_MAX" >&2
          return 1
        fi
        compare_settings[runs]=$((10#$value)) ;;
      --out)
        if [ -z "$value" ]; then echo "refused: --out needs a directory ($COMPARE_USAGE)" >&2; return 1; fi
        compare_settings[out]=$value ;;
    esac
    case ${compare_settings[options]} in *" $option"*) ;; *) compare_settings[options]+=" $option" ;; esac
  done
}

# Everything the run and demo commands are given, checked before anything is installed or built:
# the arguments (compare_args SETTINGS DIRS), the directories (user_drives_check, their resolved paths
# into the caller's array PATHS) and the results folder (its resolved path into SETTINGS[out_path], when
# given). Says in one line what is refused, and fails; nothing is changed on disk.
# usage: compare_check SETTINGS DIRS PATHS [ARG...]
compare_check() {
  local -n compare_checked=$1 compare_given=$2
  compare_args "$1" "$2" "${@:4}" && user_drives_check "$3" "${compare_given[@]}" &&
    { [ -z "${compare_checked[out]}" ] || compare_out_check "${compare_checked[out]}" "$1[out_path]"; }
}

# The results folder DIR can be made (or is there) and written to; its path, resolved, goes into the
# caller's variable PATH_VAR. Nothing is made yet.
# usage: compare_out_check DIR PATH_VAR
compare_out_check() {
  local -n compare_out_path=$2
  local path
  if [[ $1 == *[[:cntrl:]]* ]]; then echo "refused: the results folder $(printf '%q' "$1") holds a control character" >&2; return 1; fi
  path=$(realpath -m -- "$1" && echo x) && path=${path%$'\nx'} && compare_out_path=$path
  while [ ! -e "$path" ] && [ ! -L "$path" ]; do path=${path%/*}; path=${path:-/}; done   # the nearest that is there
  if [ -d "$path" ] && [ -w "$path" ] && [ -x "$path" ] &&
     { [ "$path" != "$compare_out_path" ] || [ -d "$compare_out_path" ]; }; then
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
    { [ "$n" -le 20 ] && [ -d "$want" ]; } || { echo "refused: the results folder $want cannot be made, nor a new folder in it" >&2; return 1; }
  done
  printf '%s\n' "$out"
}
