# How the project's commands say which step failed: whatever the step
# printed (a compiler's errors, apt-get's complaint) stays above, and the
# command ends with one line naming the step. Sourced, not run.

FADERWELL_COMMAND=./$(basename "$0")

# Ends the command with the one line that says what failed.
faderwell_fail() {
  echo "$FADERWELL_COMMAND: FAILED: $*" >&2
  exit 1
}

# faderwell_step <what> <command...>: runs the command in view; names the
# step if it fails.
faderwell_step() {
  local what=$1
  shift
  "$@" || faderwell_fail "$what"
}

# faderwell_quiet_step <what> <log file> <command...>: as faderwell_step, but
# the output goes to the log and is shown only when the step fails.
faderwell_quiet_step() {
  local what=$1 log=$2
  shift 2
  mkdir -p "$(dirname "$log")"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    faderwell_fail "$what (output above, also in $log)"
  fi
}
