#!/bin/sh
# wine-prefix.sh start|stop PREFIX
# start: makes the Wine prefix ready and keeps its wineserver, with Wine's
#        own services, running for the tests that follow, so that each test
#        process starts in a fraction of a second. The first start creates
#        the prefix, which takes a while: it is kept for the next run of the
#        same build tree.
# stop:  ends the prefix's wineserver and whatever still runs in it, and
#        waits until they are gone.
set -eu
export WINEPREFIX="$2" WINEDEBUG=-all
# No Mono or Gecko: the tests are console programs, and the installers would
# try to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    # Kept for a minute after the last test process, so that an interrupted
    # run leaves nothing behind for long. A server still running from an
    # earlier run serves as it is. Nothing of it may hold the test's output
    # open, or CTest would wait for it.
    wineserver -p60 </dev/null >/dev/null 2>&1 || true
    log="$WINEPREFIX.log"
    if ! wine wineboot --init </dev/null >"$log" 2>&1; then
      cat "$log" >&2
      exit 1
    fi
    ;;
  stop)
    wineserver -k 2>/dev/null || true  # fails when nothing is running, which is fine
    wineserver -w
    ;;
  *)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
