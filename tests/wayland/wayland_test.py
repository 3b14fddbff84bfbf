"""The program on Wayland, under real compositors started by the test: weston (headless backend) and sway
(headless, driven by a virtual pointer). Each window is one xdg_toplevel surface (the shadow is drawn in
the window's own margin), the shadow shows around the form and nothing else of the window, a drag on the
banner moves the window, and clicks reach the pictures: the failure prompt, the message box and a download
whose HEAD reaches the mirror.

Runs in a network namespace of its own, so that the program's built-in mirror port is free there.
Usage: wayland_test.py PROGRAM MIRROR_PORT [SCREENSHOT_FOLDER]"""

import os
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wayland_session as wl  # noqa: E402
from wayland_session import demo  # noqa: E402

PROGRAM = None
PORT = 0
SHOTS = None
MARGIN = demo.SHADOW_MARGIN
BACKGROUND = 127  # sway's solid grey


def load(path):
    """The screenshot as rows of RGB triples, read with ImageMagick (no Python imaging library needed)."""
    out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True)
    width, height = map(int, subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                                            text=True, check=True).stdout.split())
    return Picture(out.stdout, width, height)


class Picture:
    def __init__(self, data, width, height):
        self.data, self.width, self.height = data, width, height

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


class Weston(unittest.TestCase):
    def test_main_window_is_one_toplevel(self):
        with wl.Weston() as w:
            exe = w.install(PROGRAM)
            proc = w.program(exe)
            demo.wait_for(lambda: w.toplevels() >= 1 or proc.poll() is not None, 20, what="the main window")
            time.sleep(1.5)  # the shadow comes 20 ms after showing; give the program time to misbehave
            self.assertIsNone(proc.poll(), w.log("program.log")[-2000:])
            self.assertEqual(w.toplevels(), 1)
            log = w.log("program.log")
            self.assertIn("set_window_geometry(0, 0, 652, 448)", log)
            self.assertRegex(log, r"set_input_region\(wl_region@\d+\)")


class Sway(unittest.TestCase):
    def shot(self, s, name):
        path = os.path.join(SHOTS, name)
        s.screenshot(path)
        return load(path)

    def test_one_surface_per_window_shadow_drag_and_clicks(self):
        content = demo.generated_bytes(512 * 1024)
        # Only the first line's mirror answers: the second line fails and brings the failure prompt.
        with demo.Mirrors(content, hosts=("127.0.0.1",), port=PORT) as mirrors, wl.Sway() as s:
            exe = s.install(PROGRAM)
            folder = os.path.join(os.path.dirname(exe), "Keltrima")
            os.makedirs(folder)
            os.chown(folder, wl.NOBODY.pw_uid, wl.NOBODY.pw_gid)
            target = os.path.join(folder, demo.INSTALLER_NAME)
            proc = s.program(exe)
            try:
                self.scenario(s, exe, proc, mirrors, target, content)
            except Exception:
                s.screenshot(os.path.join(SHOTS, "wayland-failure.png"))
                print("screen at the failure:", os.path.join(SHOTS, "wayland-failure.png"))
                raise

    def scenario(self, s, exe, proc, mirrors, target, content):
        if True:
            # The main window: one surface of the form's size and the shadow's margins, the shadow around the
            # form, and around that nothing but the desktop.
            x, y, w, h = s.window("Keltrima")
            self.assertEqual((w, h), demo.MAIN_WINDOW_SIZE)
            time.sleep(1.0)
            picture = self.shot(s, "wayland-start.png")
            self.assertEqual(s.toplevels(), 1)
            form = (x + MARGIN, y + MARGIN)
            below = picture.at(form[0] + 300, form[1] + 416 + 2)
            self.assertLess(below[0], BACKGROUND - 15, "no shadow below the form: %s" % (below,))
            for px, py in ((x - 3, y + 200), (x + w + 3, y + 200), (x + 300, y + h + 3), (x + 300, y - 3)):
                self.assertEqual(picture.at(px, py), (BACKGROUND,) * 3, "not the desktop at %d,%d" % (px, py))
            self.assertNotEqual(picture.at(form[0] + 100, form[1] + 100), (BACKGROUND,) * 3)

            # A press, drag and release on the banner moves the window, with the left and the right button.
            for button, by in (("left", (80, 60)), ("right", (-50, 30))):
                start = s.windows()["Keltrima"]
                grip = (start[0] + MARGIN + 100, start[1] + MARGIN + 120)
                s.pointer("move:%d,%d" % grip, "sleep:100", "down:" + button, "sleep:300",
                          "glide:%d,%d" % (grip[0] + by[0], grip[1] + by[1]), "sleep:100", "up:" + button)
                expected = (start[0] + by[0], start[1] + by[1])

                def arrived():  # within a pixel: the compositor keeps the pointer in fractions of the output
                    at = s.windows()["Keltrima"][:2]
                    return abs(at[0] - expected[0]) <= 1 and abs(at[1] - expected[1]) <= 1

                try:
                    demo.wait_for(arrived, 5, what="the window to move")
                except TimeoutError:
                    self.fail("%s button: the window is at %s, not %s" % (button, s.windows()["Keltrima"][:2],
                                                                         expected))
                moved = s.windows()["Keltrima"]
                s.pointer("glide:%d,%d" % (grip[0] + by[0] + 60, grip[1] + by[1] + 40))
                time.sleep(0.3)
                self.assertEqual(s.windows()["Keltrima"][:2], moved[:2], "the drag went on after the release")
            x, y = s.windows()["Keltrima"][:2]
            form = (x + MARGIN, y + MARGIN)

            # The second line fails: the failure prompt, one more surface; its close button takes it away.
            s.click(form[0] + 68, form[1] + 376)
            s.click(form[0] + 306, form[1] + 311)
            px, py, pw, ph = s.window("提示信息")
            self.assertEqual((pw, ph), (413 + 2 * MARGIN, 161 + 2 * MARGIN))
            time.sleep(0.8)
            self.shot(s, "wayland-prompt.png")
            self.assertEqual(s.toplevels(), 2)
            s.click(px + MARGIN + 398, py + MARGIN + 13)
            demo.wait_for(lambda: "提示信息" not in s.windows(), 10, what="the prompt to close")

            # The first line, over an existing file: the message box asks first, then the download runs.
            with open(target, "wb") as f:
                f.write(b"an older download")
            os.chown(target, wl.NOBODY.pw_uid, wl.NOBODY.pw_gid)
            s.click(form[0] + 20, form[1] + 376)
            s.click(form[0] + 306, form[1] + 311)
            bx, by_, bw, bh = s.window("确认信息")
            time.sleep(0.8)
            self.shot(s, "wayland-question.png")
            self.assertEqual(s.toplevels(), 3)
            heads_before = [r for r in mirrors.requests() if r[0] == "HEAD"]
            s.click(bx + bw - MARGIN - 1 - 16 - 67 - 8 - 33, by_ + bh - MARGIN - 1 - 46 + 8 + 15)
            demo.wait_for(lambda: [r for r in mirrors.requests() if r[0] == "HEAD"] != heads_before, 15,
                          what="the mirror to receive the HEAD")
            demo.wait_for(lambda: os.path.getsize(target) == len(content) if os.path.exists(target) else False,
                          30, what="the download")
            time.sleep(1.0)
            self.shot(s, "wayland-finished.png")
            self.assertEqual(s.toplevels(), 3)  # main window, prompt and message box: one surface each
            self.assertIsNone(proc.poll())


def main():
    global PROGRAM, PORT, SHOTS
    PROGRAM, PORT = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    SHOTS = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp(prefix="keltrima-wl-shots-")
    os.makedirs(SHOTS, exist_ok=True)
    if os.environ.get("KELTRIMA_WL_NAMESPACE") is None:
        if os.geteuid() != 0:
            sys.exit("the Wayland test runs as root: sway and the program run as nobody through runuser")
        env = dict(os.environ, KELTRIMA_WL_NAMESPACE="own")
        sys.exit(subprocess.call(["unshare", "--net", sys.executable] + sys.argv, env=env))
    demo.bring_loopback_up()
    print("screenshots in", SHOTS)
    unittest.main(argv=[sys.argv[0]], verbosity=2)


if __name__ == "__main__":
    main()
