#!/usr/bin/env bash
# The Wine session of the Windows tests: "start" makes the prefix ($WINEPREFIX, in the build folder) and
# leaves its wineserver running, so that each test's Wine start is quick; "stop" ends that wineserver.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix of the tests}"
case "${1:-}" in
start)
  mkdir -p "$WINEPREFIX"
  # In the background, its output nowhere (a test's pipes would keep the test waiting for it); it stays up
  # a minute after its last client, should the stop never come.
  wineserver -p60 </dev/null >/dev/null 2>&1 &
  start=$SECONDS
  wineboot -i >/dev/null 2>&1
  echo "Wine prefix ready in $((SECONDS - start)) s: $WINEPREFIX"
  ;;
stop)
  wineserver -k || true
  ;;
*)
  echo "usage: $0 start|stop" >&2
  exit 2
  ;;
esac
