"""End to end: the built program under Xvfb against two mirrors on loopback. A click on the download picture
brings the installer, byte-identical, into "Keltrima/" beside the program and shows the Install picture; a
program killed with SIGKILL mid-transfer and started again resumes the transfer with a range request.

The test runs in a network namespace of its own (unshare), so the program's built-in mirror port is free
there whatever else runs on the machine, and no traffic can leave loopback.

Usage: e2e_test.py PROGRAM INSTALL_PICTURE MIRROR_PORT"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import keltrima_demo as demo  # noqa: E402

PROGRAM = INSTALL_PICTURE = None
PORT = 0
SIZE = 3 * 1024 * 1024
RATE = "768k"  # four seconds for the whole file: time enough to kill the program in the middle


def different_pixels(screenshot, rect, picture, workdir):
    """Pixels of the screenshot's rectangle that differ from the picture drawn over white."""
    x, y, w, h = rect
    crop = os.path.join(workdir, "crop.png")
    ref = os.path.join(workdir, "ref.png")
    subprocess.run(["convert", screenshot, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", crop], check=True)
    subprocess.run(["convert", "-size", "%dx%d" % (w, h), "xc:white", picture, "-composite", ref], check=True)
    out = subprocess.run(["compare", "-metric", "AE", "-fuzz", "12%", crop, ref, "null:"], capture_output=True,
                         text=True)
    return int(float(out.stderr.split()[0]))


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="keltrima-e2e-")
        self.prog_dir = os.path.join(self.dir, "prog")
        os.makedirs(self.prog_dir)
        self.exe = os.path.join(self.prog_dir, "keltrima")
        shutil.copy2(PROGRAM, self.exe)
        self.run_dir = os.path.join(self.dir, "run")
        os.makedirs(self.run_dir, mode=0o700)
        self.target = os.path.join(self.prog_dir, "Keltrima", demo.INSTALLER_NAME)
        self.content = demo.generated_bytes(SIZE)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def start_download(self, x, env):
        proc_cm = demo.program(self.exe, env)
        proc = proc_cm.__enter__()
        window = x.find_window("Keltrima", size=demo.MAIN_WINDOW_SIZE, proc=proc)
        time.sleep(0.5)
        x.click(window, *demo.DOWNLOAD_NOW_CENTRE)
        return proc_cm, proc, window

    def test_download_then_resume_after_sigkill(self):
        with demo.Mirrors(self.content, port=PORT, rate=RATE) as mirrors, demo.XServer() as x:
            env = x.env()
            env["XDG_RUNTIME_DIR"] = self.run_dir

            # 1. A whole download from the start page.
            cm, proc, window = self.start_download(x, env)
            try:
                demo.wait_for(lambda: os.path.isfile(self.target) and os.path.getsize(self.target) == SIZE, 60,
                              what="the installer")
                time.sleep(0.5)
                with open(self.target, "rb") as f:
                    self.assertEqual(f.read(), self.content)
                self.assertFalse(os.path.exists(self.target + ".tmp"))
                self.assertFalse(os.path.exists(self.target + ".sdc"))
                left, top, _, _ = x.window_geometry(window)
                rx, ry, rw, rh = demo.INSTALL_RECT

                def install_differing():
                    shot = x.screenshot(os.path.join(self.dir, "done.png"))
                    return different_pixels(shot, (left + rx, top + ry, rw, rh), INSTALL_PICTURE, self.dir)

                try:  # the window shows it once the client's call has returned and the page is repainted
                    demo.wait_for(lambda: install_differing() < rw * rh // 20, 15, interval=0.3,
                                  what="the Install picture")
                except TimeoutError:
                    self.fail("the Install picture is not shown (%d pixels differ)" % install_differing())
                self.assertIsNone(proc.poll())
            finally:
                cm.__exit__(None, None, None)

            # 2. Killed in the middle of a transfer.
            os.remove(self.target)
            cm, proc, window = self.start_download(x, env)
            try:
                partial = self.target + ".tmp"
                demo.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > SIZE // 3, 60,
                              what="a third of the file")
                # A second start while the first one downloads ends at once and leaves the first alone.
                second = subprocess.run([self.exe], env=env, capture_output=True, timeout=30)
                self.assertEqual(second.returncode, 0, second.stderr)
                self.assertIsNone(proc.poll())
                # While the transfer runs the Install picture is not there: the comparison above can fail.
                shot = x.screenshot(os.path.join(self.dir, "running.png"))
                left, top, _, _ = x.window_geometry(window)
                differing = different_pixels(shot, (left + rx, top + ry, rw, rh), INSTALL_PICTURE, self.dir)
                self.assertGreater(differing, rw * rh // 5, "an Install picture during the transfer")
                proc.kill()
                proc.wait()
            finally:
                cm.__exit__(None, None, None)
            kept = os.path.getsize(partial)
            self.assertGreater(kept, 0)
            self.assertLess(kept, SIZE)
            self.assertTrue(os.path.exists(self.target + ".sdc"))
            self.assertFalse(os.path.exists(self.target))

            # 3. Started again: the transfer goes on from the bytes kept.
            cm, proc, window = self.start_download(x, env)
            try:
                demo.wait_for(lambda: os.path.isfile(self.target), 60, what="the resumed installer")
                time.sleep(0.3)
                with open(self.target, "rb") as f:
                    self.assertEqual(f.read(), self.content)
                ranges = [r for (method, _, r) in mirrors.requests() if method == "GET"]
                self.assertIn("bytes=%d-" % kept, ranges)
                self.assertIsNone(proc.poll())
            finally:
                cm.__exit__(None, None, None)


class WindowTitles(unittest.TestCase):
    """The window manager shows the windows' own captions, nothing added to them."""

    def test_message_box_is_titled_by_its_caption(self):
        work = tempfile.mkdtemp(prefix="keltrima-e2e-")
        try:
            exe = os.path.join(work, "keltrima")
            shutil.copy2(PROGRAM, exe)
            os.makedirs(os.path.join(work, "Keltrima"))
            with open(os.path.join(work, "Keltrima", demo.INSTALLER_NAME), "wb") as f:
                f.write(b"an older download")  # the download asks first whether to replace it
            with demo.Mirrors(b"x" * 1024, port=PORT) as _, demo.XServer() as x:
                env = x.env()
                env["XDG_RUNTIME_DIR"] = os.path.join(work, "run")
                os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
                with demo.program(exe, env) as proc:
                    window = x.find_window("Keltrima", size=demo.MAIN_WINDOW_SIZE, proc=proc)
                    time.sleep(0.5)
                    x.click(window, *demo.DOWNLOAD_NOW_CENTRE)
                    box = x.find_window("确认信息.*", proc=proc)
                    self.assertEqual(x.xdotool("getwindowname", box).strip(), "确认信息")
        finally:
            shutil.rmtree(work, ignore_errors=True)


def main():
    global PROGRAM, INSTALL_PICTURE, PORT
    PROGRAM, INSTALL_PICTURE, PORT = sys.argv[1], sys.argv[2], int(sys.argv[3])
    if os.environ.get("KELTRIMA_E2E_NAMESPACE") is None:
        unshare = ["unshare", "--net"] if os.geteuid() == 0 else ["unshare", "--net", "--map-root-user"]
        if subprocess.call(unshare + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0:
            env = dict(os.environ, KELTRIMA_E2E_NAMESPACE="own")
            sys.exit(subprocess.call(unshare + [sys.executable] + sys.argv, env=env))
        # No network namespace to be had here: the program's port must then be free on the machine itself.
        busy = [h for h in ("127.0.0.1", "127.0.0.2") if not demo.port_is_free(h, PORT)]
        if busy:
            sys.exit("no network namespace available and port %d is taken on %s" % (PORT, ", ".join(busy)))
        os.environ["KELTRIMA_E2E_NAMESPACE"] = "shared"
    if os.environ["KELTRIMA_E2E_NAMESPACE"] == "own":
        demo.bring_loopback_up()
    unittest.main(argv=[sys.argv[0]], verbosity=2)


if __name__ == "__main__":
    main()
