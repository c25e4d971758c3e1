#!/usr/bin/env bash
# One whole 50 ms fade through the real program into the bench's JACK
# receiver, on a JACK server of the test's own: every tick's seventeen words
# must arrive whole and in order. Times are not judged here (./benchmark
# does that); this checks that the chain the bench measures works.
#   fade-smoke.sh <bench tools directory> <scratch directory> <JACK server name>
set -euo pipefail
tools=$1 work=$2 server=$3
rm -rf "$work" && mkdir -p "$work"
export JACK_DEFAULT_SERVER=$server JACK_NO_START_SERVER=1
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

pids=()
# The receiver before the server: a server stopped together with a client
# of its keeps its slot in JACK's server table.
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

# Synchronous, so that a late cycle on a busy machine delays words but never drops them.
jackd --no-realtime -S -p 32 -d dummy -r 48000 -p 256 </dev/null >"$work/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 15 >/dev/null 2>&1 || { cat "$work/jackd.log"; exit 1; }

mkfifo "$work/ready"
"$tools/jack_midi_recorder" smoke_receiver "$work/fade.rec" >"$work/ready" &
recorder=$!
pids+=("$recorder")
read -r -t 15 line <"$work/ready" || true
[ "${line:-}" = ready ] || { echo "the receiver did not come up"; exit 1; }

"$tools/fade_driver" --speed 5 --device smoke_receiver:in
kill "$recorder" && wait "$recorder"

"$tools/fade_report" smoke 50 "$work/fade.rec" | tee "$work/report.txt"
grep -qx 'smoke.words_intact=yes' "$work/report.txt"
grep -qx 'smoke.ticks=127/127' "$work/report.txt"
