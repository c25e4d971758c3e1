#!/usr/bin/env bash
# The fastest fade (50 ms ticks) at the wire at several server periods:
# jackd at 16, 256 and 1024 frames and PipeWire at its default quantum; at
# each, hand moves (no fade running) from Send to the frame they arrived at;
# and on PipeWire, the fade while the quantum changes eight times.
# On PipeWire both outputs are measured, each into a native receiver (a
# PipeWire node, as a bridged device is): the native output, which the
# program takes there ("wire_pipewire", "quanta_pipewire"), and the JACK
# output through PipeWire's libjack ("wire_pipewirejack", "quanta_pipewirejack"),
# chosen by the drivers' --route (bench/MidiRoute.h). A JACK receiver would
# not read the cycles in which PipeWire's libjack plays a buffer twice.
# Prints key=value lines for bench/BenchTable.awk ("wire_jackd16.p99_dev_ms=…").
#
#   bench/wire-periods.sh <bench tools dir> <faderwell_test_service> <scratch dir> [repeats]
#
# ./benchmark runs it with a display up; run by hand it needs DISPLAY or
# QT_QPA_PLATFORM=offscreen. Every server and client it starts is its own
# and is stopped by its PID.
set -euo pipefail
tools=$1 service=$2 work=$3 repeats=${4:-3}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/support/services.sh"
readonly FASTEST_STEP=5
FASTEST_INTERVAL_MS=$("$tools/fade_report" --interval $FASTEST_STEP)
readonly FASTEST_INTERVAL_MS

mkdir -p "$work"
started=()
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  for pid in "${!FADERWELL_SERVICE_FDS[@]}"; do faderwell_service_stop "$pid"; done
}
trap cleanup EXIT

# start_recorder <recording> <env arguments...>: a fresh receiver, its PID in $receiver.
start_recorder() {
  local recording=$1 ready=$1.ready line=
  shift
  if [ "$recorder_kind" = native ]; then start_native_recorder "$recording" "$@"; return; fi
  mkfifo "$ready"
  env "$@" "$tools/jack_midi_recorder" wire_receiver "$recording" >"$ready" 2>>"$work/recorder.log" &
  receiver=$!
  started+=("$receiver")
  read -r -t 60 line <"$ready" || true
  [ "$line" = ready ] || { echo "the JACK receiver did not come up" >&2; cat "$work/recorder.log" >&2; exit 1; }
}
stop_recorder() {
  if [ -n "${native_hold:-}" ]; then stop_native_recorder; return; fi
  kill "$receiver"; wait "$receiver" 2>/dev/null || true
}

# The recorder on PipeWire: the tests' native receiver, its words timed by
# the moment their frame was due ("times"); its "off" lines, the cycles the
# graph started off its schedule, go to "<recording>.off" as the JACK
# recorder's do. It runs until its standard input (a FIFO held here) ends.
native_receiver=$(dirname "$service")/faderwell_pipewire_receiver
recorder_kind=jack route_args=()
start_native_recorder() {
  local recording=$1 ready=$1.ready line=
  shift
  mkfifo "$ready" "$recording.lines" "$recording.hold"
  { read -r line; echo "$line" >"$ready"
    awk -v off="$recording.off" '$1 == "off" { print $2 >off; next } { print }' >"$recording"; } \
    <"$recording.lines" &
  native_reader=$!
  env "$@" "$native_receiver" wire_receiver times <"$recording.hold" >"$recording.lines" \
    2>>"$work/recorder.log" &
  receiver=$!
  started+=("$native_reader" "$receiver")
  exec {native_hold}>"$recording.hold"
  read -r -t 60 line <"$ready" || true
  [ "$line" = ready ] || { echo "the native receiver did not come up" >&2; cat "$work/recorder.log" >&2; exit 1; }
}
stop_native_recorder() {
  exec {native_hold}>&-
  native_hold=
  wait "$receiver" || { echo "the native receiver failed" >&2; cat "$work/recorder.log" >&2; exit 1; }
  wait "$native_reader"
}

# record <recording> <env arguments...>: one fade into a fresh receiver.
record() {
  local recording=$1
  shift
  start_recorder "$recording" "$@"
  env "$@" "$tools/fade_driver" --speed $FASTEST_STEP --device wire_receiver:in \
    --lateness "$recording.late" "${route_args[@]}" >>"$recording.log" 2>&1 ||
    { cat "$recording.log" >&2; echo "the fade into $recording did not run" >&2; exit 1; }
  stop_recorder
}

# hand_moves <name> <period frames> <env arguments...>: hand moves, no fade
# running, each timed from the moment it was sent to the frame it arrived at.
hand_moves() {
  local name=$1 period=$2 recording=$work/$1.hands.rec
  shift 2
  start_recorder "$recording" "$@"
  env "$@" "$tools/hand_mover" --device wire_receiver:in "${route_args[@]}" >"$recording.sent" 2>>"$recording.log" ||
    { cat "$recording.log" >&2; echo "the hand moves into $recording did not run" >&2; exit 1; }
  stop_recorder
  [ "$(wc -l <"$recording")" = "$(wc -l <"$recording.sent")" ] ||
    { echo "$recording: not every hand move arrived" >&2; exit 1; }
  echo "$name.period_ms=$(awk -v p="$period" 'BEGIN { printf "%.3f", p / 48 }')"
  paste -d ' ' "$recording" "$recording.sent" | awk '{ printf "%.0f\n", $1 - $5 }' | sort -n |
    awk -v n="$name" '{ d[NR] = $1 } END { printf "%s.hand_med_ms=%.3f\n%s.hand_p99_ms=%.3f\n%s.hand_max_ms=%.3f\n",
                                           n, d[int((NR + 1) / 2)] / 1000, n, d[int(NR * 0.99 + 0.999)] / 1000, n, d[NR] / 1000 }'
}

# fades <name> <env arguments...>
fades() {
  local name=$1 i recordings=()
  shift
  for i in $(seq "$repeats"); do
    record "$work/$name.$i.rec" "$@"
    recordings+=("$work/$name.$i.rec")
  done
  "$tools/fade_report" "$name" $FASTEST_INTERVAL_MS "${recordings[@]}"
  # How late the program came to its latest tick: what the due stamps absorb.
  sort -n "${recordings[@]/%/.late}" | tail -n 1 | awk -v n="$name" '{ printf "%s.late_max_ms=%.3f\n", n, $1 / 1000 }'
  for i in "${recordings[@]}"; do transport "$i"; done | sort -n |
    awk -v n="$name" '{ d[NR] = $1 } END { printf "%s.transport_p99_ms=%.3f\n%s.transport_max_ms=%.3f\n",
                                           n, d[int(NR * 0.99 + 0.999)] / 1000, n, d[NR] / 1000 }'
}

# transport <recording>: per tick, how far its hi-hat at the wire strays
# from the moment the tick fell due on the timer's schedule, around the
# recording's median, in microseconds: the program stamps a tick's words
# with that moment, so this is the MIDI transport's own share of the
# interval deviations, with whatever lateness of the timer it could not
# absorb. (%.0f: mawk's %d stops at 2^31.)
transport() {
  awk -v interval=$FASTEST_INTERVAL_MS '
    $2 == "99" { printf "%.0f\n", $1 - n * interval * 1000; n++ }' "$1" | sort -n |
    awk '{ d[NR] = $1 } END { m = d[int((NR + 1) / 2)]; for (i = 1; i <= NR; i++) printf "%.0f\n", (d[i] > m) ? d[i] - m : m - d[i] }'
}

server=$("$service" name wire)
for period in 16 256 1024; do
  faderwell_service_start "$service" "$work" "jackd.$period" jack "$server" "$period" --realtime
  pid=$FADERWELL_SERVICE_PID
  fades "wire_jackd$period" JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
  hand_moves "wire_jackd$period" "$period" JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
  faderwell_service_stop "$pid"
done

faderwell_service_start "$service" "$work" pipewire pipewire "$server"
pid=$FADERWELL_SERVICE_PID
mapfile -t pipewire_env < <("$service" pipewire-env "$server")
recorder_kind=native
# The native output, then the JACK output at the same quantum.
for output in native jack; do
  suffix=${output/native/}
  route_args=(--route "$output")
  fades "wire_pipewire$suffix" -u JACK_DEFAULT_SERVER "${pipewire_env[@]}"
  hand_moves "wire_pipewire$suffix" 1024 -u JACK_DEFAULT_SERVER "${pipewire_env[@]}"
done

# The same fade while something else on the desktop (a game, a call, a DAW)
# asks PipeWire for other quanta: eight changes, 0.7 s apart, from 1 s after
# the fade program starts; 0 gives the default (1024) back.
readonly QUANTA="256 128 512 1024 256 128 512 0"
change_quanta() {
  local quantum
  sleep 1
  for quantum in $QUANTA; do
    env "${pipewire_env[@]}" pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
    sleep 0.7
  done
}
for output in native jack; do
  suffix=${output/native/}
  route_args=(--route "$output")
  recordings=()
  for i in $(seq "$repeats"); do
    recording=$work/quanta_pipewire$suffix.$i.rec
    change_quanta &
    changer=$!
    started+=("$changer")
    record "$recording" -u JACK_DEFAULT_SERVER "${pipewire_env[@]}"
    wait "$changer"
    recordings+=("$recording")
  done
  "$tools/fade_report" "quanta_pipewire$suffix" $FASTEST_INTERVAL_MS "${recordings[@]}"
done
faderwell_service_stop "$pid"
