"""Pieces shared by scripts/run.sh and the process-level tests: two demo mirrors (nginx on two loopback
addresses serving a generated installer with Range and Last-Modified), an X server of our own (Xvfb on a
free display), and driving the program's window with xdotool.

Every process started here is stopped by the object that started it, by its own PID."""

import contextlib
import fcntl
import hashlib
import os
import random
import shutil
import socket
import struct
import subprocess
import tempfile
import time

INSTALLER_NAME = "Keltrima（山东）（完整安装包）.exe"
INSTALLER_PATH = "/uploads/" + INSTALLER_NAME

# The main window is the form's area (620 x 416) with a band of 16 pixels around it for its shadow.
SHADOW_MARGIN = 16
MAIN_WINDOW_SIZE = (620 + 2 * SHADOW_MARGIN, 416 + 2 * SHADOW_MARGIN)

# Where the pictures are on the window, relative to its top-left corner (the page area starts at y = 241).
DOWNLOAD_NOW_CENTRE = (SHADOW_MARGIN + 199 + 215 // 2, SHADOW_MARGIN + 241 + 42 + 57 // 2)
INSTALL_RECT = (SHADOW_MARGIN + 209, SHADOW_MARGIN + 241 + 81, 194, 48)  # x, y, width, height


def generated_bytes(size, seed=7):
    """Reproducible content that does not compress: a file of `size` bytes."""
    rnd = random.Random(seed)
    return rnd.randbytes(size)


def sha256_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def port_is_free(host, port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind((host, port))
        except OSError:
            return False
    return True


def free_port(hosts):
    """A port that is free on every one of the loopback addresses given."""
    for _ in range(200):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.bind((hosts[0], 0))
            port = s.getsockname()[1]
        if all(port_is_free(h, port) for h in hosts):
            return port
    raise RuntimeError("no free port on " + ", ".join(hosts))


def bring_loopback_up():
    """Switches on the loopback interface of a network namespace just made (unshare --net leaves it down)."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    request = struct.pack("16sh", b"lo", 0)
    flags = struct.unpack("16sh", fcntl.ioctl(s, 0x8913, request))[1]  # SIOCGIFFLAGS
    fcntl.ioctl(s, 0x8914, struct.pack("16sh", b"lo", flags | 0x1))  # SIOCSIFFLAGS, IFF_UP
    s.close()


def wait_for(predicate, timeout, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise TimeoutError("timed out after %.0f s waiting for %s" % (timeout, what))


class Mirrors:
    """Two mirrors, one nginx with a server on each address, each serving its own copy of one file at the
    installer's path, and beside it its signature file (".sig") when `signature` is given. `rate` throttles
    every connection (nginx limit_rate, e.g. "1m"); the access log records the Range header of every
    request."""

    def __init__(self, content, hosts=("127.0.0.1", "127.0.0.2"), port=None, rate=None, workdir=None,
                 signature=None):
        self.content = content
        self.signature = signature
        self.hosts = hosts
        self.port = port if port else free_port(list(hosts))
        self.rate = rate
        self._own_dir = workdir is None
        self.dir = workdir or tempfile.mkdtemp(prefix="keltrima-mirrors-")
        self.proc = None

    def url(self, index):
        return "http://%s:%d" % (self.hosts[index], self.port)

    @property
    def access_log(self):
        return os.path.join(self.dir, "access.log")

    def requests(self):
        """(method, path, range) of every request served so far."""
        if not os.path.exists(self.access_log):
            return []
        rows = []
        with open(self.access_log, encoding="utf-8", errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t")
                if len(parts) >= 3:
                    rows.append((parts[0], parts[1], parts[2]))
        return rows

    def start(self):
        servers = []
        for i, host in enumerate(self.hosts):
            root = os.path.join(self.dir, "mirror%d" % (i + 1))
            os.makedirs(os.path.join(root, "uploads"), exist_ok=True)
            with open(os.path.join(root, "uploads", INSTALLER_NAME), "wb") as f:
                f.write(self.content)
            if self.signature is not None:
                with open(os.path.join(root, "uploads", INSTALLER_NAME + ".sig"), "wb") as f:
                    f.write(self.signature)
            limit = ("limit_rate %s;" % self.rate) if self.rate else ""
            servers.append(
                """
    server {
        listen %s:%d;
        root %s;
        %s
    }"""
                % (host, self.port, root, limit)
            )
        user = "user root;" if os.geteuid() == 0 else ""
        conf = """%s
worker_processes 1;
pid %s/nginx.pid;
error_log %s/error.log warn;
events { worker_connections 64; }
http {
    default_type application/octet-stream;
    log_format ranges "$request_method\\t$uri\\t$http_range\\t$status\\t$body_bytes_sent";
    access_log %s ranges;
    client_body_temp_path %s/tmp_body;
    proxy_temp_path %s/tmp_proxy;
    fastcgi_temp_path %s/tmp_fastcgi;
    uwsgi_temp_path %s/tmp_uwsgi;
    scgi_temp_path %s/tmp_scgi;
    sendfile on;
%s
}
""" % (
            user, self.dir, self.dir, self.access_log, self.dir, self.dir, self.dir, self.dir, self.dir,
            "".join(servers))
        conf_path = os.path.join(self.dir, "nginx.conf")
        with open(conf_path, "w") as f:
            f.write(conf)
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        self.proc = subprocess.Popen([nginx, "-p", self.dir, "-c", conf_path, "-g", "daemon off;"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

        def listening():
            if self.proc.poll() is not None:
                raise RuntimeError("nginx ended: " + self.proc.stderr.read().decode(errors="replace"))
            return all(not port_is_free(h, self.port) for h in self.hosts)

        wait_for(listening, 10, what="nginx to listen")
        return self

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc and self.proc.stderr:
            self.proc.stderr.close()
        self.proc = None
        if self._own_dir:
            shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class XServer:
    """Xvfb on a display number it picks itself (-displayfd), optionally with xcompmgr for the shadows."""

    def __init__(self, compositor=False, size="1280x800x24"):
        self.compositor = compositor
        self.size = size
        self.proc = None
        self.compmgr = None
        self.display = None

    def start(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", self.size, "-nolisten", "tcp", "-noreset", "-wr"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_fd, "rb") as r:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = r.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        if self.compositor:
            self.compmgr = subprocess.Popen(["xcompmgr", "-n"], env=self.env(),
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
        return self

    def env(self, base=None):
        env = dict(base if base is not None else os.environ)
        env["DISPLAY"] = self.display
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def stop(self):
        for p in (self.compmgr, self.proc):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.compmgr = self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def xdotool(self, *args, check=True):
        out = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True, timeout=20)
        if check and out.returncode != 0:
            raise RuntimeError("xdotool %s: %s" % (" ".join(args), out.stderr.strip()))
        return out.stdout

    def window_geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def find_window(self, title, size=None, timeout=20, proc=None):
        """The id of a visible window with exactly this title (and this size, when given). With proc, fails
        at once when that process ends first."""

        def search():
            if proc is not None and proc.poll() is not None:
                raise RuntimeError("the program ended with status %d before showing %s: %s" % (
                    proc.returncode, title, proc.stderr.read().decode("utf-8", "replace") if proc.stderr else ""))
            out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title, check=False)
            for window in out.split():
                try:
                    geometry = self.window_geometry(window)
                except RuntimeError:
                    continue
                if size is None or geometry[2:] == tuple(size):
                    return window
            return None

        return wait_for(search, timeout, interval=0.1, what="window " + title)

    def click(self, window, x, y):
        """A left click at (x, y) of the window."""
        left, top, _, _ = self.window_geometry(window)
        self.xdotool("mousemove", str(left + x), str(top + y))
        time.sleep(0.15)
        self.xdotool("click", "1")

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path


@contextlib.contextmanager
def program(executable, env, args=()):
    """The program as a child process; killed (SIGKILL) when still running at the end."""
    proc = subprocess.Popen([executable, *args], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        yield proc
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        for stream in (proc.stdout, proc.stderr):
            if stream:
                stream.close()
