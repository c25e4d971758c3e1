# Prints the bench's table from the key=value lines its tools wrote, with
# each target and whether it was met; exits 3 when a target was missed.
#   awk -F= -v period=... -v dperiod=... -v rate=... -v runs=... -v idle=... \
#       -v reps=... -v host=... -v when=... [-v only=startup] -f bench/BenchTable.awk RESULTS
# With only=startup it prints (and judges) the start-up and footprint rows alone.
# Every figure is compared as a number: awk reads "+0.003" and "1.0" as
# numbers, and a missing figure never counts as met.
{ v[$1] = $2 }
function verdict(ok) { if (!ok) missed++; return ok ? "met" : "MISSED" }
function row(label, figure, target, met) { printf "  %-38s %-34s %-12s %s\n", label, figure, target, met }
END {
  printf "Faderwell Standard bench, %s, %s\n", when, host
  print ""
  if (only != "startup") {
  printf "In-process cost (Google Benchmark, median of %d repetitions, do-nothing sink)\n", reps
  row("master change moving 16 channels", sprintf("%.3f us", v["core.MasterChangeSixteenSends_ns"] / 1000), "<= 5 us",
      verdict(v["core.MasterChangeSixteenSends_ns"] != "" && v["core.MasterChangeSixteenSends_ns"] <= 5000))
  row("fade tick (Note On + 16 CC)", sprintf("%.3f us", v["core.FadeTick_ns"] / 1000), "", "")
  row("compose a Control Change", sprintf("%.1f ns", v["core.ComposeChannelVolume_ns"]), "", "")
  row("compose the drum-kit select", sprintf("%.1f ns", v["core.ComposeDrumKitSelect_ns"]), "", "")
  row("compose the hi-hat Note On", sprintf("%.1f ns", v["core.ComposeHiHatTick_ns"]), "", "")
  print ""
  if (!("fade5_idle.ticks" in v)) {
    print "Fade at the wire: not measured"
    verdict(0)
    print ""
  } else {
    printf "Fade at the wire (real window, timer and the program's own JACK output; %d fades of each kind, intervals pooled;\n", v["fade5_idle.fades"]
    printf "JACK period %d frames at %d Hz = %.3f ms; a message's time is when its frame was due)\n", period, rate, 1000 * period / rate
    split("fade5_idle fade5_loaded fade3_idle fade3_loaded", runs_, " ")
    # The intervals as fade_report took them from the program's speed table.
    printf "  %-38s %-16s %-16s %-16s %-16s %s\n", "", v["fade5_idle.interval_ms"] " ms, idle", v["fade5_loaded.interval_ms"] " ms, loaded", v["fade3_idle.interval_ms"] " ms, idle", v["fade3_loaded.interval_ms"] " ms, loaded", "target"
    fade_row("ticks whole and in order", "ticks", "%s", "all", 0)
    fade_row("stray words", "stray_words", "%s", "0", 0)
    fade_row("interval deviation, median (ms)", "median_dev_ms", "%s", "", 0)
    fade_row("interval deviation, p99 |d| (ms)", "p99_dev_ms", "%s", "<= 1 ms", 1)
    fade_row("interval deviation, max |d| (ms)", "max_dev_ms", "%s", "", 0)
    fade_row("whole fade (ms)", "total_ms", "%s", "", 0)
    fade_row("whole fade vs 126 x interval (%)", "total_dev_pct", "%s", "<= 0.2 %", 2)
    fade_row("longest tick, first to last word (ms)", "tick_spread_ms", "%s", "", 0)
    fade_row("tick late at the timer, median (ms)", "late_med_ms", "%s", "", 0)
    fade_row("tick late at the timer, p99 (ms)", "late_p99_ms", "%s", "", 0)
    fade_row("tick late at the timer, max (ms)", "late_max_ms", "%s", "", 0)
    fade_row("machine busy meanwhile, all cores (%)", "busy_pct", "%s", "", 0)
    print "  (whole fade: of each kind, the fade furthest from its nominal length)"
    print ""
  }
  if ("wire_pipewire.ticks" in v) {
    printf "Fastest fade (%d ms) at the wire by server period (%d fades each, intervals pooled; idle machine)\n", v["wire_pipewire.interval_ms"], v["wire_pipewire.fades"]
    split("wire_jackd16 wire_jackd256 wire_jackd1024 wire_pipewire", runs_, " ")
    printf "  %-38s %-16s %-16s %-16s %-16s %s\n", "", "jackd 16", "jackd 256", "jackd 1024", "PipeWire 1024", "target"
    fade_row("ticks whole and in order", "ticks", "%s", "all", 0)
    fade_row("interval deviation, median (ms)", "median_dev_ms", "%s", "", 0)
    fade_row("interval deviation, p99 |d| (ms)", "p99_dev_ms", "%s", "<= 1 ms", 1)
    fade_row("interval deviation, max |d| (ms)", "max_dev_ms", "%s", "", 0)
    fade_row("whole fade vs 126 x interval (%)", "total_dev_pct", "%s", "<= 0.01 %", 3)
    fade_row("longest tick, first to last word (ms)", "tick_spread_ms", "%s", "", 0)
    fade_row("tick late at the timer, max (ms)", "late_max_ms", "%s", "", 0)
    fade_row("wire vs due time, p99 |d| (ms)", "transport_p99_ms", "%s", "", 0)
    fade_row("wire vs due time, max |d| (ms)", "transport_max_ms", "%s", "", 0)
    fade_row("intervals off > 1 ms, server on time", "intervals_off_elsewhere", "%s", "", 0)
    fade_row("hand move to wire, median (ms)", "hand_med_ms", "%s", "", 0)
    fade_row("hand move to wire, p99 (ms)", "hand_p99_ms", "%s", "<= per+1ms", 4)
    fade_row("hand move to wire, max (ms)", "hand_max_ms", "%s", "", 0)
    print "  (frames at 48 kHz; PipeWire at its default quantum; wire vs due: each hi-hat at the wire against"
    print "  the moment its tick fell due, around the median: the transport's own share of the deviation;"
    print "  server on time: not at a cycle the server started off its own schedule; hand move: Send to the"
    print "  frame it arrived at, no fade running, target one period + 1 ms)"
    print ""
  }
  if ("wire_pipewirejack.ticks" in v) {
    printf "Fastest fade (%d ms) on PipeWire at its default quantum: the native output beside the JACK output\n", v["wire_pipewire.interval_ms"]
    split("wire_pipewire wire_pipewirejack", runs_, " ")
    printf "  %-38s %-16s %-16s\n", "", "native output", "JACK output"
    # Told, not judged: PipeWire's libjack doubles the JACK output's words.
    printf "  %-38s %-17s%-17s\n", "ticks whole and in order", v["wire_pipewire.ticks"], v["wire_pipewirejack.ticks"]
    fade_row("doubled words", "doubled_words", "%s", "", 0)
    fade_row("interval deviation, p99 |d| (ms)", "p99_dev_ms", "%s", "", 0)
    fade_row("interval deviation, max |d| (ms)", "max_dev_ms", "%s", "", 0)
    fade_row("wire vs due time, p99 |d| (ms)", "transport_p99_ms", "%s", "", 0)
    fade_row("wire vs due time, max |d| (ms)", "transport_max_ms", "%s", "", 0)
    fade_row("hand move to wire, median (ms)", "hand_med_ms", "%s", "", 0)
    fade_row("hand move to wire, p99 (ms)", "hand_p99_ms", "%s", "", 0)
    fade_row("hand move to wire, max (ms)", "hand_max_ms", "%s", "", 0)
    print "  (both into a native PipeWire receiver, as a bridged device; the JACK output through PipeWire's"
    print "  libjack, as a user under pw-jack would have it; the native output is the program's own choice"
    print "  there, judged in the table above)"
    print ""
  }
  if ("quanta_pipewirejack.ticks" in v) {
    printf "Words at the wire on PipeWire while the quantum changes 8 times (%d fades each)\n", v["quanta_pipewire.fades"]
    split("quanta_pipewire quanta_pipewirejack", runs_, " ")
    printf "  %-38s %-16s %-16s\n", "", "native output", "JACK output"
    # Told, not judged: PipeWire's libjack doubles the JACK output's words.
    printf "  %-38s %-17s%-17s\n", "ticks whole and in order", v["quanta_pipewire.ticks"], v["quanta_pipewirejack.ticks"]
    fade_row("doubled words", "doubled_words", "%s", "", 0)
    print "  (PipeWire's libjack skips a JACK client's cycle at a quantum change and plays its port's"
    print "  last buffer again; a native receiver reads that cycle, as a bridged device does)"
    print ""
  }
  if ("quanta_pipewire.ticks" in v) {
    printf "Fastest fade (%d ms) on PipeWire while the quantum changes 8 times (%d fades, 1024/256/128/512 frames)\n", v["quanta_pipewire.interval_ms"], v["quanta_pipewire.fades"]
    row("ticks whole and in order", v["quanta_pipewire.ticks"], "all",
        verdict(v["quanta_pipewire.words_intact"] == "yes"))
    row("interval deviation, p99 |d| (ms)", v["quanta_pipewire.p99_dev_ms"], "", "")
    row("interval deviation, max |d| (ms)", v["quanta_pipewire.max_dev_ms"], "", "")
    row("intervals off by > 1 ms", v["quanta_pipewire.intervals_off"], "", "")
    row("  of those at a cycle the server dropped", v["quanta_pipewire.intervals_off_at_lost_time"], "", "")
    row("  of those elsewhere", v["quanta_pipewire.intervals_off_elsewhere"], "0",
        verdict(v["quanta_pipewire.intervals_off_elsewhere"] != "" && v["quanta_pipewire.intervals_off_elsewhere"] == 0))
    row("  worst elsewhere (ms)", v["quanta_pipewire.worst_off_elsewhere_ms"], "", "")
    print "  (dropped: a cycle PipeWire started off its own schedule, by its own account)"
    print ""
  }
  if ("periods_jackd.ticks" in v) {
    printf "Fastest fade (%d ms) while the server's period goes 1024 -> 2048 -> 256 frames (%d fades each)\n", v["periods_jackd.interval_ms"], v["periods_jackd.fades"]
    split("periods_jackd periods_pipewire periods_pipewirejack", runs_, " ")
    printf "  %-38s %-16s %-16s %-16s %s\n", "", "jackd", "PipeWire native", "PipeWire JACK", "target"
    printf "  %-38s %-17s%-17s%-17s\n", "ticks whole and in order", v["periods_jackd.ticks"], v["periods_pipewire.ticks"], v["periods_pipewirejack.ticks"]
    fade_row("doubled words", "doubled_words", "%s", "", 0)
    fade_row("interval deviation, max |d| (ms)", "max_dev_ms", "%s", "", 0)
    fade_row("intervals off by > 1 ms", "intervals_off", "%s", "", 0)
    fade_row("  of those at a dropped cycle", "intervals_off_at_lost_time", "%s", "", 0)
    fade_row("  of those elsewhere", "intervals_off_elsewhere", "%s", "0", 5)
    fade_row("  worst elsewhere (ms)", "worst_off_elsewhere_ms", "%s", "", 0)
    fade_row("wait vs first tick, at 2048 (ms)", "wait_grown_ms", "%s", "", 0)
    fade_row("wait vs first tick, at the end (ms)", "wait_end_ms", "%s", "", 0)
    print "  (wait: each fade's hi-hats at the wire against the first tick's plus the ticks' intervals, fades"
    print "  1/2/3: the most while the period is 2048, and at the last tick, the period 256 for over a second"
    print "  by then; time the server dropped counts in; PipeWire's libjack doubles the JACK output's words,"
    print "  told, not judged; both PipeWire outputs into a native receiver, which reads the cycles played twice)"
    print ""
  }
  }
  printf "Start-up and footprint (Xvfb; median of %d starts each, after one warm-up start; ratios to the minimal window)\n", runs
  app = ("app.startup_ms" in v)
  printf "  %-36s %-9s %-9s %-17s %-17s %s\n", "", "minimal", "+ text", "Faderwell,", "Faderwell, JACK,", "target"
  printf "  %-36s %-9s %-9s %-17s %-17s %s\n", "", "window", "line", "no MIDI system", "output open", ""
  ratio_row("start to first idle moment (ms)", "startup_ms", 1.5)
  ratio_row("resident memory, VmRSS (KiB)", "rss_kib", 1.3)
  ratio_row("  anonymous, RssAnon (KiB)", "rss_anon_kib", 0)
  ratio_row("  file-backed, RssFile (KiB)", "rss_file_kib", 0)
  ratio_row("  shared memory, RssShmem (KiB)", "rss_shmem_kib", 0)
  printf "  %-36s %-9s %-9s %-17s %-17s %-9s %s\n", "CPU ticks over " idle " idle seconds", v["floor.idle_cpu_ticks"],
         v["text.idle_cpu_ticks"], v["nomidi.idle_cpu_ticks"], app ? v["app.idle_cpu_ticks"] " (JACK cycles)" : "-", "0",
         verdict(v["nomidi.idle_cpu_ticks"] != "" && v["nomidi.idle_cpu_ticks"] == 0)
  printf "  (JACK, output open: a server with a %d-frame period and one synthesizer client; an open JACK\n", dperiod
  printf "  output runs a process callback every cycle, and every active JACK client maps the server's\n"
  printf "  shared memory, which shows in RssShmem)\n"
  print ""
  printf "Start-up against a floor of the program's own widgets (Xvfb; %d starts each, interleaved)\n", runs
  printf "  %-36s %-9s %-17s %-11s %-17s %s\n", "", "widgets", "Faderwell,", "widgets +", "Faderwell, JACK,", "target"
  printf "  %-36s %-9s %-17s %-11s %-17s %s\n", "", "floor", "no MIDI system", "JACK client", "output open", ""
  floor_row("start to first idle moment (ms)", "startup_ms", 1.15)
  floor_row("peak resident memory, VmHWM (KiB)", "peak_kib", 1.10)
  floor_row("  CPU time up to that moment (ms)", "startup_cpu_ms", 0)
  printf "  %-36s %s\n", "one JACK client's own cost", jack_cost()
  print "  (start-up ratios: the median of each run's ratio to the floor's run beside it; widgets floor: the"
  print "  main window's kinds and numbers of stock widgets and its menu, built by hand, nothing else; the"
  print "  JACK row against the same floor with one active JACK client holding a MIDI output port; CPU"
  print "  time: what the threads ran, the work a busy machine delays but does not grow)"
  print ""
  if (missed) printf "%d target(s) missed.\n", missed
  else print "Every target met."
  exit missed ? 3 : 0
}
function fade_row(label, key, format, target, kind,    i, cells, ok, value, all) {
  cells = ""; all = 1
  for (i = 1; i in runs_; i++) {
    value = v[runs_[i] "." key]
    cells = cells sprintf("%-17s", value == "" ? "-" : value)
    if (kind == 1) all = all && value != "" && value <= 1.0
    if (kind == 2) all = all && value != "" && (value < 0 ? -value : value) <= 0.2
    if (kind == 3) all = all && value != "" && (value < 0 ? -value : value) <= 0.01
    if (kind == 4) all = all && value != "" && value <= v[runs_[i] ".period_ms"] + 1.0
    # PipeWire's libjack doubles the JACK output's words at a quantum change.
    if (kind == 5 && runs_[i] != "periods_pipewirejack") all = all && value != "" && value == 0
    if (key == "ticks") all = all && v[runs_[i] ".words_intact"] == "yes"
    if (key == "stray_words") all = all && value != "" && value == 0
  }
  printf "  %-38s %s %-9s %s\n", label, cells, target, (kind || key == "ticks" || key == "stray_words") ? verdict(all) : ""
}
# The median over the runs of ours/floor (or ours - floor with diff set), each
# run against the floor's run beside it, from two "a,b,c" lists in run order.
function paired(ours, floor, diff,    a, b, n, i, r, j, t) {
  n = split(ours, a, ","); if (split(floor, b, ",") != n || n == 0) return ""
  for (i = 1; i <= n; i++) r[i] = diff ? a[i] - b[i] : a[i] / b[i]
  for (i = 2; i <= n; i++) { t = r[i]; for (j = i - 1; j > 0 && r[j] > t; j--) r[j + 1] = r[j]; r[j + 1] = t }
  return n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2
}
function floor_ratio(name, base, key) {
  if (v[name "." key] == "" || v[base "." key] <= 0) return ""
  if (key == "startup_ms") return paired(v[name ".startup_ms_runs"], v[base ".startup_ms_runs"], 0)
  return v[name "." key] / v[base "." key]
}
function floor_row(label, key, limit,    nomidi, jack, ok) {
  nomidi = floor_ratio("nomidi", "widgets", key); jack = floor_ratio("app", "widgetsjack", key)
  ok = nomidi != "" && jack != "" && nomidi <= limit && jack <= limit
  printf "  %-36s %-9s %-17s %-11s %-17s %-9s %s\n", label, v["widgets." key],
         v["nomidi." key] == "" ? "-" : sprintf("%s (%.2f)", v["nomidi." key], nomidi),
         v["widgetsjack." key] == "" ? "-" : v["widgetsjack." key],
         v["app." key] == "" ? "-" : sprintf("%s (%.2f)", v["app." key], jack),
         limit ? "<= " limit "x" : "", limit ? verdict(ok) : ""
}
function jack_cost() {
  if (v["widgetsjack.startup_ms"] == "" || v["widgets.startup_ms"] == "") return "-"
  return sprintf("%+.1f ms, %+d KiB peak", paired(v["widgetsjack.startup_ms_runs"], v["widgets.startup_ms_runs"], 1),
                 v["widgetsjack.peak_kib"] - v["widgets.peak_kib"])
}
function cell(key, name,    floor, ours) {
  floor = v["floor." key]; ours = v[name "." key]
  if (ours == "") return "-"
  return (floor > 0) ? sprintf("%s (%.2f)", ours, ours / floor) : ours
}
function ratio_row(label, key, limit,    floor, ok) {
  floor = v["floor." key]
  ok = app && floor > 0 && v["app." key] != "" && v["nomidi." key] != "" &&
       v["app." key] / floor <= limit && v["nomidi." key] / floor <= limit
  printf "  %-36s %-9s %-9s %-17s %-17s %-9s %s\n", label, floor, v["text." key], cell(key, "nomidi"), cell(key, "app"),
         limit ? "<= " limit "x" : "", limit ? verdict(ok) : ""
}
