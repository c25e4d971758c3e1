# How the project's commands say which step failed: whatever the step
# printed (a compiler's errors, apt-get's complaint) stays above, and the
# command ends with one line naming the step. Sourced, not run.

FADERWELL_COMMAND=./$(basename "$0")

# Ends the command with the one line that says what failed.
faderwell_fail() {
  echo "$FADERWELL_COMMAND: FAILED: $*" >&2
  exit 1
}

# Says how long a step took, so that a slow run shows where its time went.
faderwell_took() {
  echo "-- $1: $(($(date +%s) - $2)) s"
}

# faderwell_step <what> <command...>: runs the command in view; names the
# step if it fails.
faderwell_step() {
  local what=$1 started
  started=$(date +%s)
  shift
  "$@" || faderwell_fail "$what"
  faderwell_took "$what" "$started"
}

# faderwell_quiet_step <what> <log file> <command...>: as faderwell_step, but
# the output goes to the log and is shown only when the step fails.
faderwell_quiet_step() {
  local what=$1 log=$2 started
  started=$(date +%s)
  shift 2
  mkdir -p "$(dirname "$log")"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    faderwell_fail "$what (output above, also in $log)"
  fi
  faderwell_took "$what" "$started"
}
