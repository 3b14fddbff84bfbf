#!/usr/bin/env bash
# Takes a screenshot of the shadow sample window under Xvfb with a compositing manager.
# Usage: scripts/shadow-look.sh [build dir, default build] [output png, default /tmp/shadow-look.png]
#        FOLLOW=1 scripts/shadow-look.sh ...          the form moves and shrinks before the picture
#        HOVER=1 scripts/shadow-look.sh ...           the mouse over the close button, then the picture
#        DRAG=1 scripts/shadow-look.sh ...            the window dragged by its banner before the picture
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
sleep 2.5
if [ -n "${HOVER:-}" ]; then  # the mouse over the close button and the download picture's hover
  DISPLAY=$display xdotool mousemove 745 120; sleep 0.4
  DISPLAY=$display import -window root "${out%.png}-close.png"
  DISPLAY=$display xdotool mousemove 450 450; sleep 0.4
fi
if [ -n "${DRAG:-}" ]; then  # drag the window by its banner 60 px right and 40 px down
  DISPLAY=$display xdotool mousemove 300 200 mousedown 1 mousemove 330 220 mousemove 360 240 mouseup 1
  sleep 0.5
fi
DISPLAY=$display import -window root "$out"
echo "$out"
