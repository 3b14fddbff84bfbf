"""The body of scripts/run.sh: demo mirrors, a build pointed at them, and the program on a display."""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import keltrima_demo as demo  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-run")
SIZE = 8 * 1024 * 1024
SIGN = os.path.join(ROOT, "tools", "sign-installer")


def demo_key():
    """The demo's own key pair, made once in build-run/ (the private key never leaves it): its public key."""
    os.makedirs(BUILD, exist_ok=True)
    key = os.path.join(BUILD, "demo-key.pem")
    mode = "pubkey" if os.path.exists(key) else "keygen"
    return key, subprocess.run(["bash", SIGN, mode, key], check=True, capture_output=True,
                               text=True).stdout.strip()


def signed_installer(content, key):
    """The demo installer's signature file, made with tools/sign-installer as a maker would."""
    path = os.path.join(BUILD, "demo-installer.exe")
    with open(path, "wb") as f:
        f.write(content)
    subprocess.run(["bash", SIGN, "sign", key, path], check=True, stdout=subprocess.DEVNULL)
    with open(path + ".sig", "rb") as f:
        signature = f.read()
    os.remove(path)
    os.remove(path + ".sig")
    return signature


def build(mirrors, public_key):
    cmake = ["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DKELTRIMA_MIRROR_DX=" + mirrors.url(0), "-DKELTRIMA_MIRROR_LT=" + mirrors.url(1),
             "-DKELTRIMA_INSTALLER_KEY=" + public_key]
    subprocess.run(cmake, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", "keltrima"], check=True)
    # The program keeps its downloads and logs in "Keltrima/" beside itself: give it a folder of its own.
    home = os.path.join(BUILD, "demo")
    os.makedirs(home, exist_ok=True)
    exe = os.path.join(home, "keltrima")
    shutil.copy2(os.path.join(BUILD, "app", "keltrima"), exe)
    return home, exe


def crop_to_window(x, window, shot, path, margin=8):
    left, top, width, height = x.window_geometry(window)
    margin *= SCALE
    subprocess.run(["convert", shot, "-crop",
                    "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin, left - margin, top - margin),
                    "+repage", path], check=True)
    return path


def scaled(point):
    return tuple(v * SCALE for v in point)


def headless(home, exe, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    target = os.path.join(home, "Keltrima", demo.INSTALLER_NAME)
    for leftover in (target, target + ".tmp", target + ".sdc"):
        if os.path.exists(leftover):
            os.remove(leftover)
    shots = []
    with demo.XServer(compositor=True, size="%dx%dx24" % (1280 * SCALE, 800 * SCALE)) as x:
        env = x.env()
        if SCALE != 1:
            env["QT_SCALE_FACTOR"] = str(SCALE)
        with demo.program(exe, env) as proc:
            window = x.find_window("Keltrima", size=scaled(demo.MAIN_WINDOW_SIZE))
            time.sleep(1.5)  # the shadow follows its form after a short delay

            def snap(name):
                raw = x.screenshot(os.path.join(out_dir, "root.png"))
                shots.append(crop_to_window(x, window, raw, os.path.join(out_dir, name)))
                os.remove(raw)

            snap("1-start.png")
            x.click(window, *scaled(demo.DOWNLOAD_NOW_CENTRE))
            if TAMPERED:
                return refused(home, target, snap, shots)
            partial = target + ".tmp"
            demo.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > SIZE * 2 // 5, 60,
                          what="the download to get going")
            time.sleep(0.8)  # past the first second of the transfer, so that the speed line has its figures
            snap("2-downloading.png")
            demo.wait_for(lambda: os.path.isfile(target), 120, what="the download to finish")
            time.sleep(1.0)
            snap("3-finished.png")
            if proc.poll() is not None:
                raise SystemExit("the program ended unexpectedly (exit status %d)" % proc.returncode)
    same = demo.sha256_of(target) == demo.sha256_of(os.path.join(MIRRORS.dir, "mirror1", "uploads",
                                                                   demo.INSTALLER_NAME))
    print("downloaded: %s (%s)" % (target, "identical to the mirror's file" if same else "DIFFERENT"))
    print("screenshots:")
    for shot in shots:
        print("  " + shot)
    return 0 if same else 1


def refused(home, target, snap, shots):
    """The tampered installer: the signature check refuses it, the log says so and the failure prompt shows."""
    log_dir = os.path.join(home, "Keltrima", "Log")

    def logged():
        for name in os.listdir(log_dir) if os.path.isdir(log_dir) else []:
            with open(os.path.join(log_dir, name), encoding="utf-8", errors="replace") as f:
                lines = [line.strip() for line in f if "安装包签名校验失败" in line]
            if lines:
                return lines[-1]
        return None

    line = demo.wait_for(logged, 120, what="the signature failure in the log")
    time.sleep(1.5)
    snap("4-signature-refused.png")
    print("log: " + line)
    print("installer file: %s" % ("PRESENT (wrong)" if os.path.exists(target) else "none, as it must be"))
    print("screenshots:")
    for shot in shots:
        print("  " + shot)
    return 1 if os.path.exists(target) else 0


MIRRORS = None
SCALE = 1
TAMPERED = False


def main():
    global MIRRORS, SCALE, TAMPERED
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--headless", action="store_true", help="use Xvfb even when a display is present")
    parser.add_argument("--screenshots", default=os.path.join(BUILD, "screenshots"),
                        help="where the headless run saves its screenshots")
    parser.add_argument("--scale", type=int, choices=(1, 2), default=1,
                        help="the headless run's screen scale (2: a high-density screen)")
    parser.add_argument("--tampered", action="store_true",
                        help="serve the installer with one byte changed (its signature that of the real one) and "
                             "show the refusal: headless only")
    args = parser.parse_args()
    SCALE = args.scale
    TAMPERED = args.tampered
    display = os.environ.get("DISPLAY") and not args.headless and not args.tampered
    # Throttled when nobody watches, so that the screenshots catch the progress page.
    content = demo.generated_bytes(SIZE)
    key, public_key = demo_key()
    signature = signed_installer(content, key)
    if TAMPERED:
        content = content[:SIZE // 2] + bytes([content[SIZE // 2] ^ 1]) + content[SIZE // 2 + 1:]
    with demo.Mirrors(content, rate=None if display else "3m", signature=signature) as mirrors:
        MIRRORS = mirrors
        print("demo mirrors: %s and %s (serving %s and its signature)" %
              (mirrors.url(0), mirrors.url(1), demo.INSTALLER_PATH))
        print("demo key: %s (public key %s)" % (key, public_key))
        home, exe = build(mirrors, public_key)
        if display:
            print("starting %s on %s; the mirrors stop when it ends" % (exe, os.environ["DISPLAY"]))
            status = subprocess.call([exe])
            return 0 if status in (0, 255) else status  # 255: the program ended itself
        return headless(home, exe, args.screenshots)


if __name__ == "__main__":
    sys.exit(main())
