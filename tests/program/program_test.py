"""The program as a process: the silent refusals, the single-instance guard, the failed start without any
log folder (told in the program's own message box), and a normal start after the program ended itself
(KillProcess, exit status 255).

Usage: program_test.py KELTRIMA X11_CLOSE_WINDOW"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import keltrima_demo as demo  # noqa: E402

PROGRAM = None
CLOSE_WINDOW = None
LOCK_NAME = "Travoline_SD"


def lock_holders(path):
    """PIDs holding an flock on the file at path, read from /proc/locks (which the probe leaves alone)."""
    if not os.path.exists(path):
        return set()
    st = os.stat(path)
    wanted = "%02x:%02x:%d" % (os.major(st.st_dev), os.minor(st.st_dev), st.st_ino)
    holders = set()
    with open("/proc/locks") as f:
        for line in f:
            fields = line.split()
            if "->" in fields:
                continue
            if len(fields) >= 6 and fields[1] == "FLOCK" and fields[5] == wanted:
                holders.add(int(fields[4]))
    return holders


class ProgramTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="keltrima-program-")
        self.exe = os.path.join(self.dir, "keltrima")
        shutil.copy2(PROGRAM, self.exe)
        self.run_dir = os.path.join(self.dir, "run")
        os.makedirs(self.run_dir, mode=0o700)
        self.lock = os.path.join(self.run_dir, LOCK_NAME)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def env(self, **extra):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env["XDG_RUNTIME_DIR"] = self.run_dir
        env.update(extra)
        return env

    def wait_holding(self, proc):
        demo.wait_for(lambda: proc.pid in lock_holders(self.lock) or proc.poll() is not None, 20,
                      what="the first instance to take the lock")
        self.assertIsNone(proc.poll(), "the first instance ended early")

    def test_any_first_argument_ends_at_once_silently(self):
        # With no display at all a window could not even be made, so exit 0 shows none was tried. "-platform"
        # is one of Qt's own options: the argument is read before Qt could take it away.
        for argument in ["x", "-platform", "--help", "中文", " "]:
            with self.subTest(argument=argument):
                shutil.rmtree(os.path.join(self.dir, "Keltrima"), ignore_errors=True)
                started = time.monotonic()
                out = subprocess.run([self.exe, argument], env=self.env(QT_QPA_PLATFORM="xcb"),
                                     capture_output=True, timeout=30)
                self.assertEqual(out.returncode, 0, out.stderr)
                self.assertLess(time.monotonic() - started, 10)
                self.assertEqual(out.stdout, b"")
                self.assertEqual(out.stderr, b"")
                self.assertTrue(os.path.isdir(os.path.join(self.dir, "Keltrima", "Log")))
                self.assertEqual(lock_holders(self.lock), set())

    def test_empty_first_argument_starts_the_program(self):
        with demo.program(self.exe, self.env(QT_QPA_PLATFORM="offscreen"), [""]) as first:
            self.wait_holding(first)

    def test_second_instance_ends_silently_while_the_first_runs(self):
        with demo.program(self.exe, self.env(QT_QPA_PLATFORM="offscreen")) as first:
            self.wait_holding(first)
            out = subprocess.run([self.exe], env=self.env(QT_QPA_PLATFORM="offscreen"), capture_output=True,
                                 timeout=30)
            self.assertEqual(out.returncode, 0, out.stderr)
            self.assertEqual(out.stderr, b"")
            time.sleep(0.3)
            self.assertIsNone(first.poll(), "the first instance was disturbed")
            self.assertEqual(lock_holders(self.lock), {first.pid})

    def test_a_start_without_any_folder_for_the_log_says_so_in_its_message_box(self):
        # A file where the folder "Keltrima" should be, and another where the user's state folder should be:
        # no log folder can be made, not even by root.
        with open(os.path.join(self.dir, "Keltrima"), "w") as f:
            f.write("in the way")
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        state = os.path.join(self.dir, "state")
        with open(state, "w") as f:
            f.write("in the way")
        with demo.XServer() as x:
            env = self.env(**{"DISPLAY": x.display, "HOME": home, "XDG_STATE_HOME": state})
            env.pop("QT_QPA_PLATFORM", None)
            with demo.program(self.exe, env) as proc:
                box = x.find_window("错误信息.*", proc=proc)
                shot = x.screenshot(os.path.join(self.dir, "box.png"))
                self.assertIsNone(proc.poll(), "the program ended before its message was answered")
                self.assertFalse(os.path.exists(self.lock), "the lock was taken before the start failed")
                # The box closes on the key press, and the program ends before the key's release reaches a
                # window that is gone: xdotool's complaint about that is expected.
                x.xdotool("key", "--window", box, "Return", check=False)
                status = proc.wait(20)
                stderr = proc.stderr.read().decode("utf-8", "replace")
        self.assertEqual(status, 1)
        self.assertIn("程序初始化失败：日志路径错误，日志类对象不能被创建", stderr)
        self.assertIn(os.path.join(self.dir, "Keltrima", "Log") + "/", stderr)
        self.assertIn(os.path.join(state, "Keltrima", "Log") + "/", stderr)
        self.assertTrue(os.path.getsize(shot) > 0)
        made = [root for root, dirs, _ in os.walk(home) for d in dirs if d == "Keltrima"]
        self.assertEqual(made, [], "the failed start made a folder of its own in the home folder")

    def test_started_again_after_it_ended_itself(self):
        with demo.XServer() as x:
            env = self.env(**{"DISPLAY": x.display})
            env.pop("QT_QPA_PLATFORM", None)
            with demo.program(self.exe, env) as first:
                window = x.find_window("Keltrima", size=(620, 416))
                time.sleep(1.0)  # as a user would: the window has settled before its close button is pressed
                # A close request on the start page is the close button: the program ends itself. Under Xvfb
                # without a window manager Qt now and then drops a close request that arrives early, so the
                # request is repeated, as a user would press the button again.
                status = None
                for _ in range(10):
                    subprocess.run([CLOSE_WINDOW, window], env=env, check=True, timeout=20)
                    try:
                        status = first.wait(1.5)
                        break
                    except subprocess.TimeoutExpired:
                        continue
                self.assertEqual(status, 255)
            with demo.program(self.exe, env) as again:
                x.find_window("Keltrima", size=(620, 416))
                self.wait_holding(again)
                out = subprocess.run([self.exe], env=env, capture_output=True, timeout=30)
                self.assertEqual(out.returncode, 0)
                self.assertIsNone(again.poll())


if __name__ == "__main__":
    PROGRAM, CLOSE_WINDOW = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]], verbosity=2)
