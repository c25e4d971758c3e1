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
check 3 "a hand move later than a period + 1 ms" wire_jackd256.hand_p99_ms=6.334
check 3 "a tick off where the server kept time" quanta_pipewire.intervals_off_elsewhere=1
for key in core.MasterChangeSixteenSends_ns fade5_loaded.p99_dev_ms fade3_idle.total_dev_pct \
           fade5_idle.words_intact fade3_loaded.stray_words nomidi.startup_ms app.rss_kib \
           floor.startup_ms nomidi.idle_cpu_ticks fade5_idle.ticks wire_pipewire.hand_p99_ms \
           quanta_pipewire.intervals_off_elsewhere; do
  check 3 "$key not measured" "-$key"
done

[ "$failures" -eq 0 ] && echo "all table cases pass"
exit $((failures > 0))
