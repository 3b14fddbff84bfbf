"""Wayland compositors of a test's own: weston with its headless backend, and sway headless run as the
unprivileged user nobody (sway refuses root), each on a socket in a private XDG_RUNTIME_DIR; the program
under them with Qt's Wayland platform; screenshots with grim and the pointer with virtual_pointer.py.
Everything started here is stopped by its PID."""

import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import keltrima_demo as demo  # noqa: E402

NOBODY = pwd.getpwnam("nobody")
PATH = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"


def stop(proc, timeout=10):
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Compositor:
    """What weston and sway share: a private folder with the runtime directory, a home and logs."""

    user = None  # None: this process's user; else a pwd entry

    def __init__(self, width=1280, height=800):
        self.width, self.height = width, height
        self.dir = tempfile.mkdtemp(prefix="keltrima-wl-")
        os.chmod(self.dir, 0o755)
        self.runtime = os.path.join(self.dir, "run")
        self.home = os.path.join(self.dir, "home")
        for d in (self.runtime, self.home):
            os.makedirs(d, mode=0o700)
            if self.user:
                os.chown(d, self.user.pw_uid, self.user.pw_gid)
        self.proc = None
        self.socket = None
        self.children = []

    def env(self, **extra):
        env = {"PATH": PATH, "XDG_RUNTIME_DIR": self.runtime, "HOME": self.home, "LANG": "C.UTF-8"}
        if self.socket:
            env["WAYLAND_DISPLAY"] = self.socket
        env.update(extra)
        return env

    def command(self, argv):
        """argv run as the compositor's user, with env(), as a list for Popen."""
        if self.user is None:
            return argv
        return ["runuser", "-u", self.user.pw_name, "--"] + argv

    def popen(self, argv, env, log):
        out = open(os.path.join(self.dir, log), "wb")
        full_env = self.env(**env)
        proc = subprocess.Popen(self.command(["env", "-i"] + ["%s=%s" % kv for kv in full_env.items()] + argv),
                                stdout=out, stderr=subprocess.STDOUT, cwd=self.home)
        out.close()
        self.children.append(proc)
        return proc

    def run(self, argv, **env):
        full_env = self.env(**env)
        return subprocess.run(self.command(["env", "-i"] + ["%s=%s" % kv for kv in full_env.items()] + argv),
                              capture_output=True, text=True, timeout=60, cwd=self.home)

    def log(self, name):
        with open(os.path.join(self.dir, name), encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_for_socket(self, name_pattern, what):
        def found():
            if self.proc.poll() is not None:
                raise RuntimeError("%s ended: %s" % (what, self.log(what + ".log")[-2000:]))
            names = [n for n in os.listdir(self.runtime) if re.fullmatch(name_pattern, n)]
            return names[0] if names else None

        self.socket = demo.wait_for(found, 20, interval=0.05, what=what + "'s socket")

    def install(self, executable):
        """A copy of the program in a folder of its own that the compositor's user may write (the program
        keeps "Keltrima/" beside itself)."""
        folder = os.path.join(self.dir, "prog")
        os.makedirs(folder)
        target = os.path.join(folder, os.path.basename(executable))
        shutil.copy2(executable, target)
        if self.user:
            for path in (folder, target):
                os.chown(path, self.user.pw_uid, self.user.pw_gid)
        return target

    def program(self, executable, **env):
        """The program under the compositor, with its Wayland requests logged (WAYLAND_DEBUG)."""
        return self.popen([executable], dict(QT_QPA_PLATFORM="wayland", WAYLAND_DEBUG="1", **env),
                          "program.log")

    def toplevels(self):
        """How many xdg_toplevel roles the program has asked for so far."""
        return len(re.findall(r"xdg_surface@\d+\.get_toplevel\(", self.log("program.log")))

    def stop(self):
        for proc in reversed(self.children):
            stop(proc)
        self.children = []
        stop(self.proc)
        self.proc = None
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class Weston(Compositor):
    def start(self):
        name = "keltrima-%d" % os.getpid()
        out = open(os.path.join(self.dir, "weston.log"), "wb")
        self.proc = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--socket=" + name, "--width=%d" % self.width,
             "--height=%d" % self.height, "--idle-time=0", "--no-config"],
            env=self.env(), stdout=out, stderr=subprocess.STDOUT)
        out.close()
        self.wait_for_socket(re.escape(name), "weston")
        return self


class Sway(Compositor):
    user = NOBODY

    def start(self):
        config = os.path.join(self.home, "config")
        with open(config, "w") as f:
            f.write("output * resolution %dx%d bg #7f7f7f solid_color\n" % (self.width, self.height))
        os.chown(config, NOBODY.pw_uid, NOBODY.pw_gid)
        self.proc = self.popen(["sway", "-c", config], dict(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                                                              WLR_RENDERER="pixman"), "sway.log")
        self.children.remove(self.proc)
        self.wait_for_socket(r"wayland-\d+", "sway")
        demo.wait_for(lambda: any(n.startswith("sway-ipc.") for n in os.listdir(self.runtime)), 10,
                      what="sway's IPC socket")
        return self

    def swaymsg(self, *args):
        ipc = [n for n in os.listdir(self.runtime) if n.startswith("sway-ipc.")][0]
        out = self.run(["swaymsg", "-s", os.path.join(self.runtime, ipc), "-r"] + list(args))
        if out.returncode != 0:
            raise RuntimeError("swaymsg %s: %s" % (" ".join(args), out.stderr))
        return json.loads(out.stdout) if out.stdout.strip() else None

    def windows(self):
        """{title: (x, y, width, height)} of the windows sway shows now."""
        found = {}

        def walk(node):
            if node.get("type") in ("con", "floating_con") and node.get("name") and node.get("pid"):
                r = node["rect"]
                found[node["name"]] = (r["x"], r["y"], r["width"], r["height"])
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(self.swaymsg("-t", "get_tree"))
        return found

    def window(self, title, timeout=20):
        return demo.wait_for(lambda: self.windows().get(title), timeout, interval=0.1, what="window " + title)

    def screenshot(self, path):
        inside = os.path.join(self.home, "shot.png")
        out = self.run(["grim", inside])
        if out.returncode != 0:
            raise RuntimeError("grim: " + out.stderr)
        shutil.copy(inside, path)
        return path

    def pointer(self, *steps):
        # A copy in the compositor's folder: the user nobody may not read the checkout's folders.
        script = os.path.join(self.home, "virtual_pointer.py")
        if not os.path.exists(script):
            shutil.copy(os.path.join(HERE, "virtual_pointer.py"), script)
            os.chmod(script, 0o644)
        out = self.run(["python3", script, str(self.width), str(self.height)] + list(steps))
        if out.returncode != 0:
            raise RuntimeError("virtual pointer: " + out.stderr)

    def click(self, x, y, button="left"):
        self.pointer("move:%d,%d" % (x, y), "sleep:100", "down:" + button, "sleep:80", "up:" + button)
