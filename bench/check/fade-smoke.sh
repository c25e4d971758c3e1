#!/usr/bin/env bash
# One whole 50 ms fade through the real program into the bench's JACK
# receiver, on a JACK server of the test's own: every tick's seventeen words
# must arrive whole and in order. Times are not judged here (./benchmark
# does that); this checks that the chain the bench measures works.
#   fade-smoke.sh <bench tools directory> <test service tool> <scratch directory>
set -euo pipefail
tools=$1 service=$2 work=$3
source "$(dirname "$0")/../../tests/support/services.sh"
rm -rf "$work" && mkdir -p "$work"
export JACK_DEFAULT_SERVER=$("$service" name smoke) JACK_NO_START_SERVER=1
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

recorder=
# The receiver before the server: a server stopped together with a client
# of its keeps its slot in JACK's server table.
cleanup() {
  if [ -n "$recorder" ]; then kill "$recorder" 2>/dev/null || true; wait "$recorder" 2>/dev/null || true; fi
  [ -z "${jack_service:-}" ] || faderwell_service_stop "$jack_service"
}
trap cleanup EXIT

faderwell_service_start "$service" "$work" jackd jack "$JACK_DEFAULT_SERVER" 256
jack_service=$FADERWELL_SERVICE_PID

"$tools/jack_midi_recorder" smoke_receiver "$work/fade.rec" >"$work/ready" &
recorder=$!
for _ in $(seq 300); do grep -q ready "$work/ready" && break; kill -0 "$recorder" || break; sleep 0.1; done
grep -q ready "$work/ready" || { echo "the receiver did not come up"; exit 1; }

"$tools/fade_driver" --speed 5 --device smoke_receiver:in
kill "$recorder" && wait "$recorder"
recorder=

"$tools/fade_report" smoke "$("$tools/fade_report" --interval 5)" "$work/fade.rec" | tee "$work/report.txt"
grep -qx 'smoke.words_intact=yes' "$work/report.txt"
grep -qx 'smoke.ticks=127/127' "$work/report.txt"
