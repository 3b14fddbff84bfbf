#!/usr/bin/env bash
# Takes a screenshot of the shadow sample window under Xvfb with a compositing manager.
# Usage: scripts/shadow-look.sh [build dir, default build] [output png, default /tmp/shadow-look.png]
#        FOLLOW=1 scripts/shadow-look.sh ...          the form moves and shrinks before the picture
#        NO_COMPOSITOR=1 scripts/shadow-look.sh ...   takes the same picture without a compositor
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-/tmp/shadow-look.png}
sample="$build/tests/chrome/shadow_sample"
[ -x "$sample" ] || { echo "build $sample first" >&2; exit 1; }

display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display" >&2; exit 1; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

Xvfb "$display" -screen 0 900x640x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
if [ -z "${NO_COMPOSITOR:-}" ]; then
  DISPLAY=$display xcompmgr -n >/dev/null 2>&1 &
  pids+=($!)
  sleep 0.5
fi
DISPLAY=$display QT_QPA_PLATFORM=xcb "$sample" 6 ${FOLLOW:+--follow} &
pids+=($!)
sleep 3
DISPLAY=$display import -window root "$out"
echo "$out"
