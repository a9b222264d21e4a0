# shellcheck shell=bash
# Sourced by the run command: long steps that say they are still at work. Needs nothing of the
# other files.

# Runs a command (a function too) in the background, passing its output on line by line; after 15 s
# without a line says "... still LABEL (N s)", so a first set-up that installs and builds is never
# silent for long.
# usage: with_progress LABEL COMMAND [ARG...]; returns the command's exit status.
with_progress() {
  local label=$1 begun=$SECONDS status=0
  shift
  "$@" 2>&1 | while IFS= read -r line; do printf '%s\n' "$line"; echo >&3; done 3> >(progress_ticks "$label" "$begun") &
  wait $! || status=$?
  return "$status"
}

# Reads a line per line of output on its input; says "still" after 15 s without one.
progress_ticks() {
  local last=$SECONDS
  while true; do
    if IFS= read -r -t 5 _; then last=$SECONDS
    elif [ $? -le 128 ]; then return 0   # the step's output ended
    elif [ $((SECONDS - last)) -ge 15 ]; then echo "   ... still $1 ($((SECONDS - $2)) s)"; last=$SECONDS
    fi
  done
}
