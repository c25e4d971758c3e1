#!/usr/bin/env bash
# The bench table's verdicts: from a run that meets every target, each case
# changes or drops one figure and names the exit status the table must end
# with (0 every target met, 3 a target missed).
#   table-test.sh <BenchTable.awk> <results that meet every target>
set -uo pipefail
table=$1 met=$2
failures=0

check() {  # check <status> <description> [key=value | -key] ...
  local want=$1 what=$2 results change key got
  shift 2
  results=$(cat "$met")
  for change in "$@"; do
    key=${change%%=*}
    key=${key#-}
    results=$(grep -v "^${key//./\\.}=" <<<"$results")
    [[ $change == -* ]] || results+=$'\n'$change
  done
  awk -F= -v period=16 -v dperiod=256 -v rate=48000 -v runs=7 -v idle=10 -v reps=5 -v host=test \
      -v when=now -f "$table" <<<"$results" >/dev/null
  got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: status $got, not $want"
    failures=$((failures + 1))
  fi
}

check 0 "every target met"
check 0 "figures just inside their targets" fade3_loaded.p99_dev_ms=1.000 \
  fade5_idle.total_dev_pct=-0.200 core.MasterChangeSixteenSends_ns=5000
check 0 "an open JACK output's cycles are not the program's" app.idle_cpu_ticks=23
check 3 "an interval past 1 ms at p99" fade3_loaded.p99_dev_ms=1.001
check 3 "a fade too long" fade5_loaded.total_dev_pct=+0.201
check 3 "a fade too short" fade3_idle.total_dev_pct=-0.250
check 3 "words lost" fade5_idle.words_intact=no fade5_idle.ticks=380/381
check 3 "a stray word" fade3_idle.stray_words=1
check 3 "a slow master change" core.MasterChangeSixteenSends_ns=5001
check 3 "a slow start-up with JACK" app.startup_ms=72.1
check 3 "a slow start-up without MIDI" nomidi.startup_ms=72.1
check 3 "too much memory" nomidi.rss_kib=33200
check 3 "CPU spent idle" nomidi.idle_cpu_ticks=1
check 0 "one slow start of seven does not decide" nomidi.startup_ms_runs=66.1,66.1,200,66.1,66.1,66.1,66.1
check 0 "start-up just inside the widgets floor's target" nomidi.startup_ms_runs=68.9,68.9,68.9,68.9,68.9,68.9,68.9
check 3 "a slow start-up against the widgets floor" nomidi.startup_ms_runs=69.1,69.1,69.1,69.1,69.1,69.1,69.1
check 3 "a slow start-up with JACK against its floor" app.startup_ms_runs=74.8,74.8,74.8,74.8,74.8,74.8,74.8
check 3 "too much peak memory with JACK" app.peak_kib=77001
check 3 "a hand move later than a period + 1 ms" wire_jackd256.hand_p99_ms=6.334
check 3 "a tick off where the server kept time" quanta_pipewire.intervals_off_elsewhere=1
check 3 "a tick off where the server kept time, its period grown" periods_pipewire.intervals_off_elsewhere=1
check 0 "the JACK output's words doubled by PipeWire's libjack are told, not judged" \
  quanta_pipewirejack.ticks=54/381 quanta_pipewirejack.words_intact=no quanta_pipewirejack.doubled_words=85 \
  periods_pipewirejack.intervals_off_elsewhere=9
for key in core.MasterChangeSixteenSends_ns fade5_loaded.p99_dev_ms fade3_idle.total_dev_pct \
           fade5_idle.words_intact fade3_loaded.stray_words nomidi.startup_ms app.rss_kib \
           floor.startup_ms nomidi.idle_cpu_ticks fade5_idle.ticks wire_pipewire.hand_p99_ms \
           quanta_pipewire.intervals_off_elsewhere periods_jackd.intervals_off_elsewhere widgets.peak_kib widgetsjack.startup_ms_runs \
           nomidi.peak_kib; do
  check 3 "$key not measured" "-$key"
done

# The start-up rows alone judge nothing else: no fade or in-process figure is missed.
startup_only=$(grep -E '^(floor|text|nomidi|app|widgets|widgetsjack)\.' "$met")
if ! awk -F= -v runs=7 -v idle=10 -v dperiod=256 -v host=test -v when=now -v only=startup -f "$table" \
    <<<"$startup_only" >/dev/null; then
  echo "FAIL: the start-up rows alone, every one met, do not pass"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "all table cases pass"
exit $((failures > 0))
