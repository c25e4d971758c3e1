#!/usr/bin/env bash
# Starts the real program again and again, each time as a new process, with a
# JACK receiver stored as its MIDI output, and leaves it by File(&F) →
# 終了(&X) as a user would, through the keyboard on a virtual display. Every
# run must end with exit code 0, and the receiver must hear the drum-kit
# selection the program sends when it starts and the silencing words of the
# exit command, in that order, every time.
#
#   tests/reliability/program-runs.sh <faderwell> <support dir> <scratch dir> <runs>
#
# Prints one summary line; exits 1 at the first run that fails, saying why.
set -euo pipefail
program=$1 support=$2 work=$3 runs=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/services.sh"
readonly RECEIVER=fw_runs_synth

mkdir -p "$work"
started=()
cleanup() {
  local pid
  [ -z "${receiver:-}" ] || { exec 8>&-; wait "$receiver" 2>/dev/null || true; }
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  for pid in "${!FADERWELL_SERVICE_FDS[@]}"; do faderwell_service_stop "$pid"; done
}
trap cleanup EXIT

export JACK_DEFAULT_SERVER=$("$support/faderwell_test_service" name program_runs)
export JACK_NO_START_SERVER=1
faderwell_service_start "$support/faderwell_test_service" "$work" jackd jack "$JACK_DEFAULT_SERVER" 256

rm -f "$work/display" "$work/receiver.in"
mkfifo "$work/display" "$work/receiver.in"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
read -r -t 60 display_number <"$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display_number QT_QPA_PLATFORM=xcb

"$support/faderwell_jack_receiver" "$RECEIVER" <"$work/receiver.in" >"$work/receiver.out" 2>&1 &
receiver=$!
exec 8>"$work/receiver.in"  # the receiver quits when this closes
for _ in $(seq 300); do grep -q ready "$work/receiver.out" && break; sleep 0.1; done
grep -q ready "$work/receiver.out" || { echo "the receiver did not come up" >&2; exit 1; }

# The receiver is the only device on this server: the first after "(None)"
# and "MIDI MAPPER". The program reads its settings from here.
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/veldrin"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\VELDRIN\\FADERWELL]\n"MIDI_OUT"=hex:02\n"SPEED"=hex:05\n"VENDOR"=hex:00\n' \
  >"$XDG_CONFIG_HOME/veldrin/faderwell.reg"

# What one run must send: the drum-kit selection of the stored vendor
# (KORG: Bank Select MSB 62 and LSB 0, Program Change 0, on channel 10),
# then, at the exit command, Sustain off and All Notes Off on every channel.
expected=$work/expected
{
  printf 'B9 00 3E\nB9 20 00\nC9 00\n'
  for channel in 0 1 2 3 4 5 6 7 8 9 A B C D E F; do printf 'B%s 40 00\nB%s 7B 00\n' $channel $channel; done
} >"$expected"

# File(&F) → 終了(&X) through the keyboard, as a user does it: "x" only once
# the menu's own window is up, since on a busy machine it opens after the
# key would have arrived. A menu that was missed is closed and opened again.
leave_by_the_exit_command() {
  local pid=$1 attempt
  # The window's title names the output once it is open.
  xdotool search --sync --onlyvisible --name "^Faderwell Standard \[$RECEIVER:in\]\$" \
    windowfocus --sync || return
  for attempt in $(seq 10); do
    xdotool key alt+f
    for _ in $(seq 50); do
      [ "$(xdotool search --onlyvisible --pid "$pid" | wc -l)" -gt 1 ] && break
      sleep 0.1
    done
    xdotool key x
    for _ in $(seq 50); do kill -0 "$pid" || return 0; sleep 0.1; done
    xdotool key Escape
  done
}

heard_lines() { grep -cv ready "$work/receiver.out" || true; }
started_at=$SECONDS
for run in $(seq "$runs"); do
  before=$(heard_lines)
  "$program" >"$work/program.log" 2>&1 &
  pid=$!
  leave_by_the_exit_command "$pid" >/dev/null 2>&1 &
  keys=$!
  code=0
  timeout 60 tail --pid=$pid -f /dev/null || { kill -9 $pid; echo "run $run: the program did not end" >&2; exit 1; }
  wait $pid || code=$?
  kill $keys 2>/dev/null || true
  wait $keys 2>/dev/null || true
  [ "$code" -eq 0 ] || { cat "$work/program.log" >&2; echo "run $run: exit code $code" >&2; exit 1; }
  # The silencing words may still be on their way through the receiver.
  for _ in $(seq 100); do [ $(($(heard_lines) - before)) -ge "$(wc -l <"$expected")" ] && break; sleep 0.05; done
  if ! diff <(grep -v ready "$work/receiver.out" | tail -n +$((before + 1))) "$expected" >"$work/diff"; then
    cat "$work/diff" >&2
    echo "run $run: the receiver did not hear what it should have" >&2
    exit 1
  fi
done
echo "program runs: $runs starts, each left by the exit command: every exit code 0, every run" \
     "heard the drum-kit selection and the silencing words ($((SECONDS - started_at)) s)"
