"""The Debian package.

build:   cpack -G DEB makes the package; its control fields and its files are what they must be, and lintian
         reports no error (its whole report is printed).
install: the package installs with dpkg -i, keltrima-get runs from the installed path, and dpkg -r removes
         every file again. This changes the machine, so it runs only as root where it is asked for (CI=true,
         or KELTRIMA_DPKG_TEST=1) and is reported as skipped anywhere else; it never touches a keltrima package
         that was installed before it, and it removes what it installed on every way out, also when stopped by
         SIGTERM or SIGINT. dpkg runs under the machine's shared package lock when there is one
         (KELTRIMA_DPKG_LOCK, by default /work/.apt.lock where /work exists).

Usage: package_test.py build --cpack CPACK --config CPackConfig.cmake --out DIR
       package_test.py install --out DIR"""

import argparse
import contextlib
import fcntl
import glob
import os
import shutil
import signal
import subprocess
import sys

SKIPPED = 77
PACKAGE = "keltrima"


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=kw.pop("timeout", 240), **kw)


def the_deb(out):
    debs = glob.glob(os.path.join(out, "keltrima_*.deb"))
    if len(debs) != 1:
        sys.exit("expected one package in %s, found %s" % (out, debs))
    return debs[0]


def check(condition, message):
    if not condition:
        print("FAILED:", message)
        sys.exit(1)


def build(args):
    shutil.rmtree(args.out, ignore_errors=True)
    made = run([args.cpack, "-G", "DEB", "--config", args.config, "-B", args.out])
    check(made.returncode == 0, "cpack failed:\n" + made.stdout + made.stderr)
    shutil.rmtree(os.path.join(args.out, "_CPack_Packages"), ignore_errors=True)
    deb = the_deb(args.out)
    print("package:", deb, os.path.getsize(deb), "bytes")

    fields = run(["dpkg-deb", "-f", deb]).stdout
    print(fields)
    field = dict(line.split(": ", 1) for line in fields.splitlines() if ": " in line and not line.startswith(" "))
    check(field.get("Package") == PACKAGE, "Package")
    check(field.get("Section") == "net", "Section")
    check(field.get("Maintainer", "").endswith(">"), "Maintainer with an address")
    check(field.get("Homepage", "").startswith("https://"), "Homepage")
    depends = [d.strip() for d in field.get("Depends", "").split(",")]
    check("fonts-noto-cjk | fonts-wqy-microhei" in depends, "the CJK font in Depends: %s" % depends)
    for library in ("libqt6widgets6", "libcurl4", "libc6"):
        check(any(d.startswith(library) for d in depends), "%s in Depends (dpkg-shlibdeps)" % library)
    check(len(fields.split("\nDescription: ")[1].splitlines()) > 3, "a long description")

    files = run(["dpkg-deb", "-c", deb]).stdout
    for path in ("./usr/bin/keltrima", "./usr/bin/keltrima-get", "./usr/share/doc/keltrima/copyright",
                 "./usr/share/man/man1/keltrima-get.1.gz", "/apps/example.keltrima.Downloader.png",
                 "./usr/share/applications/example.keltrima.Downloader.desktop",
                 "./usr/share/metainfo/example.keltrima.Downloader.metainfo.xml"):
        check(path in files, "%s in the package" % path)
    check("root/root" in files and all("root/root" in line for line in files.splitlines()), "files owned by root")

    lint = run(["lintian", "--display-info", deb], timeout=280)
    report = [line for line in lint.stdout.splitlines() + lint.stderr.splitlines()
              if line and not line.startswith("running with root privileges")]
    print("lintian:", "\n".join(report) if report else "(nothing to report)")
    errors = [line for line in report if line.startswith("E:")]
    check(not errors, "lintian reports errors")
    check(lint.returncode == 0, "lintian failed with %d" % lint.returncode)
    return 0


@contextlib.contextmanager
def package_lock():
    path = os.environ.get("KELTRIMA_DPKG_LOCK") or ("/work/.apt.lock" if os.path.isdir("/work") else "")
    if not path:
        yield
        return
    with open(path, "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def installed():
    out = run(["dpkg-query", "-W", "-f", "${Status}", PACKAGE])
    return out.returncode == 0 and "installed" in out.stdout and "not-installed" not in out.stdout


def install(args):
    if os.geteuid() != 0:
        print("SKIPPED: installing the package with dpkg needs root")
        return SKIPPED
    if os.environ.get("CI") != "true" and os.environ.get("KELTRIMA_DPKG_TEST") != "1":
        print("SKIPPED: installing the package changes this machine; it runs in CI (CI=true) or with "
              "KELTRIMA_DPKG_TEST=1")
        return SKIPPED
    if installed() or run(["dpkg-query", "-W", PACKAGE]).returncode == 0:
        print("SKIPPED: a keltrima package is on this machine already; the test leaves it alone")
        return SKIPPED
    deb = the_deb(args.out)

    def stopped(signum, _frame):
        raise SystemExit("stopped by signal %d" % signum)

    signal.signal(signal.SIGTERM, stopped)
    signal.signal(signal.SIGINT, stopped)
    try:
        with package_lock():
            done = run(["dpkg", "-i", deb])
        print(done.stdout + done.stderr)
        check(done.returncode == 0, "dpkg -i failed")
        check(installed(), "the package is not installed after dpkg -i")
        listed = run(["dpkg", "-L", PACKAGE]).stdout.split()
        check("/usr/bin/keltrima" in listed and "/usr/share/doc/keltrima/copyright" in listed, "dpkg -L")
        help_text = run(["/usr/bin/keltrima-get", "--help"], timeout=30)
        check(help_text.returncode == 0 and "keltrima-get URL FILE" in help_text.stdout,
              "keltrima-get --help from the installed path: %r" % help_text.stdout)
        print(help_text.stdout)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        with package_lock():
            removed = run(["dpkg", "-r", PACKAGE])
        print(removed.stdout + removed.stderr)
    check(removed.returncode == 0, "dpkg -r failed")
    check(not installed(), "the package is still installed after dpkg -r")
    for path in ("/usr/bin/keltrima", "/usr/bin/keltrima-get", "/usr/share/doc/keltrima"):
        check(not os.path.exists(path), "%s is left after dpkg -r" % path)
    print("installed, used and removed")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("step", choices=["build", "install"])
    parser.add_argument("--cpack")
    parser.add_argument("--config")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    sys.exit(build(args) if args.step == "build" else install(args))


if __name__ == "__main__":
    main()
