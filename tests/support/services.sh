# Shell functions for the scripts' test services (JACK servers, PipeWire
# instances), started through faderwell_test_service so that they run
# exactly as the C++ tests run theirs. Sourced, not run.
#
# A service lives while this shell holds its input open: if the shell ends
# in any way, even killed, the service stops too. faderwell_service_stop
# stops one at once, by its PID.

# The descriptors that keep each service alive, by the service tool's PID.
declare -A FADERWELL_SERVICE_FDS=()

# faderwell_service_start <tool> <scratch dir> <label> <tool arguments...>
# Starts the service and waits (with a deadline) until it answers; its
# tool's PID is left in FADERWELL_SERVICE_PID. On failure prints the
# service's log and returns 1.
faderwell_service_start() {
  local tool=$1 dir=$2 label=$3
  shift 3
  local control=$dir/$label.control state=$dir/$label.state log=$dir/$label.log fd i
  rm -f "$control" "$state"
  mkfifo "$control"
  : >"$state"
  "$tool" "$@" <"$control" >"$state" 2>>"$log" &
  FADERWELL_SERVICE_PID=$!
  exec {fd}>"$control"
  FADERWELL_SERVICE_FDS[$FADERWELL_SERVICE_PID]=$fd
  # The tool has its own deadline for the service to answer; this one only
  # catches a tool that hangs.
  for ((i = 0; i < 600; i++)); do
    grep -q '^ready' "$state" && return 0
    kill -0 "$FADERWELL_SERVICE_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "$label did not come up:" >&2
  cat "$log" >&2
  faderwell_service_stop "$FADERWELL_SERVICE_PID"
  return 1
}

# faderwell_service_stop <PID>: stops the service and waits until it is gone.
faderwell_service_stop() {
  local pid=$1 fd=${FADERWELL_SERVICE_FDS[$1]:-}
  if [ -n "$fd" ]; then
    exec {fd}>&-
    unset "FADERWELL_SERVICE_FDS[$pid]"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
