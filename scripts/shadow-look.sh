#!/usr/bin/env bash
# Takes a screenshot of the shadow sample window under Xvfb (a display it picks itself), with a compositing
# manager unless told otherwise.
# Usage: scripts/shadow-look.sh [build dir, default build] [output png, default /tmp/shadow-look.png]
#        FOLLOW=1 scripts/shadow-look.sh ...          the form moves and shrinks before the picture
#        HOVER=1 scripts/shadow-look.sh ...           the mouse over the close button, then the picture
#        DRAG=1 scripts/shadow-look.sh ...            the window dragged by its banner before the picture
#        NO_COMPOSITOR=1 scripts/shadow-look.sh ...   takes the same picture without a compositor
#        OPENBOX=1 scripts/shadow-look.sh ...         with openbox as the window manager
#        SCALE=2 scripts/shadow-look.sh ...           at twice the pixel density (QT_SCALE_FACTOR)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-/tmp/shadow-look.png}
sample="$build/tests/chrome/shadow_sample"
[ -x "$sample" ] || { echo "build $sample first" >&2; exit 1; }
exec python3 - "$sample" "$out" <<'PY'
import os, subprocess, sys, time
sys.path.insert(0, "scripts")
import keltrima_demo as demo

sample, out = sys.argv[1], sys.argv[2]
scale = int(os.environ.get("SCALE", "1"))
size = "%dx%dx24" % (900 * scale, 640 * scale)
with demo.XServer(compositor=not os.environ.get("NO_COMPOSITOR"), size=size) as x:
    env = x.env()
    env["QT_SCALE_FACTOR"] = str(scale)
    wm = None
    if os.environ.get("OPENBOX"):
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        time.sleep(1)
    args = [sample, "6"] + (["--follow"] if os.environ.get("FOLLOW") else [])
    with demo.program(sample, env, args[1:]):
        time.sleep(2.5)
        s = scale
        if os.environ.get("HOVER"):  # the mouse over the close button, then over the download picture
            x.xdotool("mousemove", str(745 * s), str(120 * s))
            time.sleep(0.4)
            x.screenshot(out[:-4] + "-close.png")
            x.xdotool("mousemove", str(450 * s), str(450 * s))
            time.sleep(0.4)
        if os.environ.get("DRAG"):  # drag the window by its banner 60 px right and 40 px down
            x.xdotool("mousemove", str(300 * s), str(200 * s), "mousedown", "1", "mousemove", str(330 * s),
                      str(220 * s), "mousemove", str(360 * s), str(240 * s), "mouseup", "1")
            time.sleep(0.5)
        x.screenshot(out)
    if wm:
        wm.terminate()
        wm.wait()
print(out)
PY
