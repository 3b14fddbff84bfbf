"""The installed program.

InstalledFiles: `cmake --install` into a temporary prefix puts exactly the program's files there, and the
desktop entry, the AppStream metainfo, the manual pages and the icons pass their checkers.

InstalledProgram: the program in a root-owned prefix, started by an unprivileged user (nobody, with a home
and XDG folders of its own) under Xvfb, shows its window with the desktop entry's window class and its icon,
downloads into the user's download folder (xdg-user-dirs) and logs into the user's state folder; with a
fontconfig that sees no CJK font its texts still read; and the same program copied into a folder the user
may write keeps "Keltrima/" beside itself. The screenshots stay in the folder given for a look.

Usage: install_test.py --cmake CMAKE --build BUILD_DIR --app-id ID --icon-sizes 16,22,... --dejavu DIR
                       --screenshots DIR [--program E2E_PROGRAM --port PORT] --only TESTCASE"""

import argparse
import os
import pwd
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import keltrima_demo as demo  # noqa: E402

ARGS = None
SKIPPED = 77


def install(prefix):
    out = subprocess.run([ARGS.cmake, "--install", ARGS.build, "--prefix", prefix], capture_output=True, text=True,
                         timeout=120)
    if out.returncode != 0:
        raise RuntimeError("cmake --install failed:\n" + out.stdout + out.stderr)


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    return struct.unpack(">II", header[16:24])


def desktop_entry(path):
    entry = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                entry[key] = value
    return entry


class InstalledFiles(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="keltrima-install-")
        self.prefix = os.path.join(self.dir, "usr")
        install(self.prefix)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_exactly_the_programs_files(self):
        app = ARGS.app_id
        expected = {"bin/keltrima", "bin/keltrima-get",
                    "share/applications/%s.desktop" % app, "share/metainfo/%s.metainfo.xml" % app,
                    "share/man/man1/keltrima.1.gz", "share/man/man1/keltrima-get.1.gz",
                    "share/doc/keltrima/copyright", "share/doc/keltrima/changelog.gz"}
        expected |= {"share/icons/hicolor/%sx%s/apps/%s.png" % (s, s, app) for s in ARGS.icon_sizes}
        found = set()
        for root, _, files in os.walk(self.prefix):
            for name in files:
                found.add(os.path.relpath(os.path.join(root, name), self.prefix))
        self.assertEqual(found, expected)
        for program in ("bin/keltrima", "bin/keltrima-get"):
            self.assertTrue(os.access(self.path(program), os.X_OK), program)
        out = subprocess.run([self.path("bin/keltrima-get"), "--help"], capture_output=True, text=True, timeout=30)
        self.assertEqual(out.returncode, 0)
        self.assertIn("keltrima-get URL FILE", out.stdout)

    def test_the_desktop_entry_and_metainfo_pass_their_validators(self):
        desktop = self.path("share/applications/%s.desktop" % ARGS.app_id)
        out = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True, timeout=30)
        self.assertEqual((out.returncode, out.stdout + out.stderr), (0, ""))
        metainfo = self.path("share/metainfo/%s.metainfo.xml" % ARGS.app_id)
        out = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo], capture_output=True, text=True,
                             timeout=60)
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
        problems = [line for line in out.stdout.splitlines() if line.startswith(("E:", "W:"))]
        self.assertEqual(problems, [])
        print(out.stdout.strip())

        entry = desktop_entry(desktop)
        self.assertEqual(entry["Exec"], "keltrima")
        self.assertEqual(entry["Icon"], ARGS.app_id)
        # The window's class (WM_CLASS) is the application's name; InstalledProgram checks it on a window.
        self.assertEqual(entry["StartupWMClass"], "Keltrima")
        self.assertTrue(entry["Name[zh_CN]"])
        self.assertIn("Network;", entry["Categories"])

    def test_the_icons_have_their_sizes_and_the_manual_pages_render_cleanly(self):
        for size in ARGS.icon_sizes:
            icon = self.path("share/icons/hicolor/%sx%s/apps/%s.png" % (size, size, ARGS.app_id))
            self.assertEqual(png_size(icon), (int(size), int(size)), icon)
        for page in ("keltrima", "keltrima-get"):
            out = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", self.path("share/man/man1/%s.1.gz" % page)],
                                 capture_output=True, text=True, timeout=60, env=dict(os.environ, MANWIDTH="80"))
            self.assertEqual(out.returncode, 0)
            self.assertEqual(out.stderr, "", page)
            self.assertIn(page, out.stdout)


def children(pid):
    """The PIDs of a process's children (/proc)."""
    found = []
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                found += [int(p) for p in f.read().split()]
    except OSError:
        pass
    return found


class AsUser:
    """A program started by `runuser -u USER` with an environment of its own. runuser stays as the program's
    parent, so the program itself is found by PID under it, and both are ended by their PIDs."""

    def __init__(self, user, program, env):
        self.proc = subprocess.Popen(["runuser", "-u", user, "--", "env", "-i"] +
                                     ["%s=%s" % item for item in env.items()] + [program],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def poll(self):
        return self.proc.poll()

    @property
    def stderr(self):
        return self.proc.stderr

    def stop(self):
        for pid in children(self.proc.pid):
            try:
                os.kill(pid, 9)
            except ProcessLookupError:
                pass
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.proc.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class InstalledProgram(unittest.TestCase):
    SIZE = 2 * 1024 * 1024

    def setUp(self):
        self.user = pwd.getpwnam("nobody")
        self.dir = tempfile.mkdtemp(prefix="keltrima-installed-")
        os.chmod(self.dir, 0o755)  # nobody may pass through to its own folders and to the prefix
        self.prefix = os.path.join(self.dir, "usr")
        install(self.prefix)
        # The program of the prefix is the one built for the mirrors on loopback.
        self.exe = os.path.join(self.prefix, "bin", "keltrima")
        shutil.copy2(ARGS.program, self.exe)
        os.chmod(self.exe, 0o755)
        self.home = self.user_folder("home")
        self.run = self.user_folder("run", 0o700)
        # The user's download folder is "下载" (xdg-user-dirs in a Chinese session), not "~/Downloads".
        self.downloads = os.path.join(self.home, "下载")
        self.write_as_user(os.path.join(self.home, ".config", "user-dirs.dirs"),
                           '# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR="$HOME/下载"\n')
        self.target = os.path.join(self.downloads, "Keltrima", demo.INSTALLER_NAME)
        self.log_dir = os.path.join(self.home, ".local", "state", "Keltrima", "Log")
        self.no_cjk = os.path.join(self.dir, "no-cjk-fonts.conf")
        with open(self.no_cjk, "w") as f:
            f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                    "<fontconfig><dir>%s</dir><cachedir>%s</cachedir>"
                    '<include ignore_missing="yes">/etc/fonts/conf.d</include></fontconfig>\n'
                    % (ARGS.dejavu, os.path.join(self.home, ".cache", "fontconfig-no-cjk")))
        os.chmod(self.no_cjk, 0o644)
        os.makedirs(ARGS.screenshots, exist_ok=True)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def user_folder(self, name, mode=0o755):
        path = os.path.join(self.dir, name)
        os.makedirs(path, mode=mode)
        os.chown(path, self.user.pw_uid, self.user.pw_gid)
        return path

    def write_as_user(self, path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        for root, dirs, files in os.walk(self.home):
            for name in dirs + files:
                os.chown(os.path.join(root, name), self.user.pw_uid, self.user.pw_gid)

    def start(self, x, program=None, **extra):
        env = {"HOME": self.home, "XDG_RUNTIME_DIR": self.run, "DISPLAY": x.display, "PATH": "/usr/bin:/bin",
               "LANG": "C.UTF-8"}
        env.update(extra)
        return AsUser("nobody", program or self.exe, env)

    def shot(self, x, window, name):
        """A screenshot of the window with its surroundings, kept for a look."""
        left, top, width, height = x.window_geometry(window)
        full = x.screenshot(os.path.join(self.dir, "screen.png"))
        path = os.path.join(ARGS.screenshots, name)
        subprocess.run(["convert", full, "-crop", "%dx%d+%d+%d" % (width + 48, height + 48, max(0, left - 24),
                                                                    max(0, top - 24)), "+repage", path], check=True)
        print("screenshot:", path)
        return path

    def made_in_prefix(self):
        return [os.path.join(root, d) for root, dirs, _ in os.walk(self.prefix) for d in dirs if d == "Keltrima"]

    def test_an_unprivileged_user_downloads_into_the_users_folders(self):
        content = demo.generated_bytes(self.SIZE)
        with demo.Mirrors(content, port=ARGS.port) as mirrors, demo.XServer() as x:
            # 1. The window, with the desktop entry's class and the icon; a whole download.
            with self.start(x) as program:
                window = x.find_window("Keltrima", size=demo.MAIN_WINDOW_SIZE, proc=program)
                props = subprocess.run(["xprop", "-display", x.display, "-id", window, "WM_CLASS", "_NET_WM_ICON"],
                                       capture_output=True, text=True, timeout=20).stdout
                entry = desktop_entry(os.path.join(self.prefix, "share", "applications", ARGS.app_id + ".desktop"))
                self.assertIn('WM_CLASS(STRING) = "keltrima", "%s"' % entry["StartupWMClass"], props.split("\n")[0])
                # The window carries the icon, a small size for title bars and a large one for task switchers.
                icons = [int(n) for n in re.findall(r"Icon \((\d+) x \1\)", props)]
                self.assertIn(16, icons)
                self.assertGreaterEqual(max(icons, default=0), 48)
                time.sleep(0.5)
                self.shot(x, window, "installed-start.png")
                self.assertTrue(os.path.isdir(self.log_dir), "no log folder in the user's state folder")
                x.click(window, *demo.DOWNLOAD_NOW_CENTRE)
                demo.wait_for(lambda: os.path.isfile(self.target) and os.path.getsize(self.target) == self.SIZE,
                              60, what="the installer in the user's download folder")
                time.sleep(0.3)
                with open(self.target, "rb") as f:
                    self.assertEqual(f.read(), content)
                self.assertEqual(os.stat(self.target).st_uid, self.user.pw_uid)
                self.assertIsNone(program.poll())
            self.assertEqual(self.made_in_prefix(), [])

            # 2. Without any CJK font: the start page, the question about the existing file, and, with the
            # mirrors gone, the failure prompt; the failure goes to the log in the user's state folder.
            with self.start(x, FONTCONFIG_FILE=self.no_cjk) as program:
                window = x.find_window("Keltrima", size=demo.MAIN_WINDOW_SIZE, proc=program)
                time.sleep(0.5)
                self.shot(x, window, "no-cjk-start.png")
                x.click(window, *demo.DOWNLOAD_NOW_CENTRE)
                box = x.find_window("确认信息.*", proc=program)
                time.sleep(0.3)
                self.shot(x, box, "no-cjk-message-box.png")
                mirrors.stop()
                x.xdotool("key", "--window", box, "Return", check=False)  # the box is gone before the release
                prompt = x.find_window("提示信息.*", proc=program, timeout=60)
                time.sleep(0.3)
                self.shot(x, prompt, "no-cjk-failure-prompt.png")
                logs = os.listdir(self.log_dir)
                self.assertEqual(len(logs), 1, logs)
                self.assertRegex(logs[0], r"^keltrima_\d{8}\.log$")
                with open(os.path.join(self.log_dir, logs[0]), encoding="utf-8") as f:
                    self.assertIn("[Information] 下载失败dsFail： ", f.read())
                self.assertEqual(os.stat(os.path.join(self.log_dir, logs[0])).st_uid, self.user.pw_uid)
                self.assertFalse(os.path.exists(self.target), "the existing file was not deleted on request")
            self.assertEqual(self.made_in_prefix(), [])

            # 3. The same program copied into a folder of the user keeps its folders beside itself.
            unpacked = self.user_folder("unpacked")
            copy = os.path.join(unpacked, "keltrima")
            shutil.copy2(self.exe, copy)
            os.chown(copy, self.user.pw_uid, self.user.pw_gid)
            logs_before = sorted(os.listdir(self.log_dir))
            with self.start(x, program=copy) as program:
                x.find_window("Keltrima", size=demo.MAIN_WINDOW_SIZE, proc=program)
                demo.wait_for(lambda: os.path.isdir(os.path.join(unpacked, "Keltrima", "Log")), 10,
                              what="Keltrima/Log/ beside the copy")
                self.assertEqual(os.stat(os.path.join(unpacked, "Keltrima")).st_uid, self.user.pw_uid)
            self.assertEqual(sorted(os.listdir(self.log_dir)), logs_before)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--icon-sizes", required=True, type=lambda text: text.split(","))
    parser.add_argument("--dejavu", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--program")
    parser.add_argument("--port", type=int)
    parser.add_argument("--only", required=True)
    ARGS = parser.parse_args()

    if ARGS.only == "InstalledProgram":
        if os.geteuid() != 0:
            print("SKIPPED: running the installed program as another user needs root (runuser, chown)")
            sys.exit(SKIPPED)
        if os.environ.get("KELTRIMA_INSTALL_NAMESPACE") is None:
            # A network namespace of its own: the program's mirror port is free there, and nothing leaves it.
            if subprocess.call(["unshare", "--net", "true"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL) == 0:
                env = dict(os.environ, KELTRIMA_INSTALL_NAMESPACE="own")
                sys.exit(subprocess.call(["unshare", "--net", sys.executable] + sys.argv, env=env))
            # Without one, the program's port must be free on the machine itself.
            busy = [h for h in ("127.0.0.1", "127.0.0.2") if not demo.port_is_free(h, ARGS.port)]
            if busy:
                print("SKIPPED: no network namespace here (unshare --net), and port %d is taken on %s"
                      % (ARGS.port, ", ".join(busy)))
                sys.exit(SKIPPED)
            os.environ["KELTRIMA_INSTALL_NAMESPACE"] = "shared"
        if os.environ["KELTRIMA_INSTALL_NAMESPACE"] == "own":
            demo.bring_loopback_up()
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[ARGS.only])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
