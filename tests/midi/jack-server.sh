#!/usr/bin/env bash
# Starts or stops the JACK server of one test run, under the server name in
# JACK_DEFAULT_SERVER, with the dummy driver (no sound card needed).
#   jack-server.sh start <pid file> <log file>
#   jack-server.sh stop <pid file>
set -euo pipefail
: "${JACK_DEFAULT_SERVER:?the test run names its own server}"
action=$1 pidfile=$2

case $action in
start)
  logfile=$3
  # Not a child of ctest's pipes: ctest would wait for the server to end.
  # -p before -d limits the ports, and so the shared memory the server takes.
  jackd --no-realtime -p 32 -d dummy -r 48000 -p 256 </dev/null >"$logfile" 2>&1 &
  echo $! >"$pidfile"
  # A client that knocks while the server is still setting up is turned
  # away and jack_wait gives up; knock again while the server lives.
  pid=$(cat "$pidfile")
  for _ in 1 2 3 4 5; do
    jack_wait -w -t 10 >/dev/null 2>&1 && exit 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  echo "JACK server '$JACK_DEFAULT_SERVER' did not come up:" >&2
  cat "$logfile" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
  ;;
stop)
  [ -f "$pidfile" ] || exit 0
  pid=$(cat "$pidfile")
  rm -f "$pidfile"
  kill "$pid" 2>/dev/null || exit 0
  # Wait for exactly that server to end, at most ten seconds, then insist.
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || exit 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  ;;
*)
  echo "usage: $0 start|stop <pid file> [log file]" >&2
  exit 2
  ;;
esac
