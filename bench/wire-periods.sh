#!/usr/bin/env bash
# The fastest fade (50 ms ticks) at the wire at several server periods:
# jackd at 16, 256 and 1024 frames and PipeWire at its default quantum; at
# each, hand moves (no fade running) from Send to the frame they arrived at;
# on PipeWire, the fade while the quantum changes eight times; and on both,
# the fade while the period goes 1024 -> 2048 -> 256.
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

# The same fade while the server's period grows and then shrinks, as when
# another program asks for a larger buffer and later a smaller one: 1024
# frames, 2048 from 2 s after the fade program starts, 256 from 4 s. The
# fade ends more than a second after the last change, so its last ticks
# show whether the wait came down with the period.
readonly PERIOD_STEPS="2048 256"
# period_fades <name> <set period command...> -- <env arguments...>
period_fades() {
  local name=$1 set=() i frames recording recordings=() changer
  shift
  while [ "$1" != -- ]; do set+=("$1"); shift; done
  shift
  for i in $(seq "$repeats"); do
    recording=$work/$name.$i.rec
    "${set[@]}" 1024 >/dev/null
    sleep 0.5
    { for frames in $PERIOD_STEPS; do sleep 2; "${set[@]}" "$frames" >/dev/null; done; } &
    changer=$!
    started+=("$changer")
    record "$recording" "$@"
    wait "$changer"
    recordings+=("$recording")
  done
  "$tools/fade_report" "$name" $FASTEST_INTERVAL_MS "${recordings[@]}"
  # How much longer than at the fade's first tick its hi-hats waited, per
  # fade: the most while the period was 2048, and at the last tick, 256 by
  # then. Time the server dropped moves the schedule, so it counts in too.
  for i in "${recordings[@]}"; do extra_wait "$i"; done |
    awk -v n="$name" '{ g = g sep sprintf("%+.0f", $1 / 1000); e = e sep sprintf("%+.0f", $2 / 1000); sep = "/" }
                      END { printf "%s.wait_grown_ms=%s\n%s.wait_end_ms=%s\n", n, g, n, e }'
}
# extra_wait <recording>: "<most extra wait> <extra wait at the last tick>",
# in microseconds, each hi-hat against the first one's moment plus its
# ticks' intervals.
extra_wait() {
  awk -v interval=$FASTEST_INTERVAL_MS '
    $2 == "99" { d = $1 - n * interval * 1000; if (n == 0) first = d
                 if (d - first > most) most = d - first; last = d - first; n++ }
    END { printf "%.0f %.0f\n", most, last }' "$1"
}

server=$("$service" name wire)
for period in 16 256 1024; do
  faderwell_service_start "$service" "$work" "jackd.$period" jack "$server" "$period" --realtime
  pid=$FADERWELL_SERVICE_PID
  fades "wire_jackd$period" JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
  hand_moves "wire_jackd$period" "$period" JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
  faderwell_service_stop "$pid"
done
faderwell_service_start "$service" "$work" jackd.periods jack "$server" 1024 --realtime
pid=$FADERWELL_SERVICE_PID
period_fades periods_jackd env JACK_DEFAULT_SERVER="$server" jack_bufsize -- \
  JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
faderwell_service_stop "$pid"

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
# The quantum growing and shrinking as the period does on jackd above, from
# the native output and from the JACK output.
for output in native jack; do
  route_args=(--route "$output")
  period_fades "periods_pipewire${output/native/}" env "${pipewire_env[@]}" \
    pw-metadata -n settings 0 clock.force-quantum -- -u JACK_DEFAULT_SERVER "${pipewire_env[@]}"
done
faderwell_service_stop "$pid"
