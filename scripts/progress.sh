# Sourced by the run and demo commands: long steps that say they are still at work.

# Runs a command (a function too), passing its output on line by line; after 15 s without a line
# says "... still LABEL (N s)", so a first set-up that installs and builds is never silent for long.
# usage: with_progress LABEL COMMAND [ARG...]; returns the command's exit status.
with_progress() {
  local label=$1; shift
  local stamp status=0 begun=$SECONDS
  stamp=$(mktemp)
  (
    trap - EXIT
    while sleep 5; do
      kill -0 $$ 2>/dev/null || exit 0
      local now last
      now=$(date +%s); last=$(stat -c %Y "$stamp" 2>/dev/null) || exit 0
      if [ $((now - last)) -ge 15 ]; then
        echo "   ... still $label ($((SECONDS - begun)) s)"
        touch "$stamp"
      fi
    done
  ) &
  local ticker=$!
  "$@" 2>&1 | while IFS= read -r line; do printf '%s\n' "$line"; touch "$stamp"; done || status=$?
  kill "$ticker" 2>/dev/null || true
  wait "$ticker" 2>/dev/null || true
  rm -f "$stamp"
  return "$status"
}
