"""What a screen reader hears: the program and its failure prompt under Xvfb, with Qt's AT-SPI bridge on a
private D-Bus session (dbus-run-session and the accessibility bus of at-spi2-core), read with pyatspi, the
library screen readers use. Every picture button is a push button named after its caption, with the press
action; the windows are named by their titles.

Usage: atspi_test.py PROGRAM RENDER_DIALOGS"""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import keltrima_demo as demo  # noqa: E402

PROGRAM = RENDER_DIALOGS = None

# Run inside the D-Bus session: the accessibility bus, the program, then the reader (Debian's python3, whose
# pyatspi the screen readers use).
SESSION = r"""
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=$!
sleep 1
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@" >/dev/null 2>&1 &
program=$!
/usr/bin/python3 - <<'PY'
import time
import pyatspi

def walk(node, out):
    states = node.getState()
    actions = []
    try:
        action = node.queryAction()
        actions = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        pass
    if states.contains(pyatspi.STATE_SHOWING):
        out.append("%s\t%s\t%s\t%s" % (node.getRoleName(), node.name,
                                       "focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else "",
                                       ",".join(actions)))
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), out)

for attempt in range(60):
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [a for a in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)) if a is not None]
    lines = []
    for app in apps:
        for i in range(app.childCount):
            walk(app.getChildAtIndex(i), lines)
    if any(line.startswith("push button") for line in lines):
        break
    time.sleep(0.25)
print("\n".join(lines))
PY
kill $program $launcher 2>/dev/null
wait $program 2>/dev/null
"""


def heard(*argv):
    """(role, name, focusable, actions) of every showing node of the application's windows."""
    with demo.XServer() as x:
        env = x.env()
        env["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="keltrima-a11y-")
        os.chmod(env["XDG_RUNTIME_DIR"], 0o700)
        out = subprocess.run(["dbus-run-session", "--", "bash", "-c", SESSION, "session"] + list(argv), env=env,
                             capture_output=True, text=True, timeout=90)
    nodes = [tuple(line.split("\t")) for line in out.stdout.splitlines() if line.count("\t") == 3]
    if not nodes:
        raise AssertionError("the reader heard nothing: " + out.stderr[-2000:])
    return nodes


class ScreenReader(unittest.TestCase):
    def assert_buttons(self, nodes, captions):
        buttons = {name: (focusable, actions) for role, name, focusable, actions in nodes if role == "push button"}
        for caption in captions:
            self.assertIn(caption, buttons, nodes)
            focusable, actions = buttons[caption]
            self.assertEqual(focusable, "focusable", caption)
            self.assertIn("Press", actions.split(","), caption)

    def test_main_window(self):
        nodes = heard(PROGRAM)
        self.assertIn(("frame", "Keltrima"), [n[:2] for n in nodes])
        self.assert_buttons(nodes, ["立即下载", "最小化"])
        self.assertIn(("radio button", "电信"), [n[:2] for n in nodes])
        # No picture of the page is a nameless node a reader could only call "label" or "image" (the pages
        # themselves are fillers, which readers pass over).
        self.assertFalse([n for n in nodes if n[0] in ("label", "image") and not n[1]], nodes)

    def test_failure_prompt(self):
        with tempfile.TemporaryDirectory() as folder:
            nodes = heard(RENDER_DIALOGS, folder, "--hold", "info", "20")
        self.assertIn(("dialog", "提示信息"), [n[:2] for n in nodes])
        self.assert_buttons(nodes, ["重新下载", "使用浏览器下载", "关闭"])
        self.assertIn(("label", "在线下载异常，您可以选择重新下载或直接下载安装包安装"), [n[:2] for n in nodes])


def main():
    global PROGRAM, RENDER_DIALOGS
    PROGRAM, RENDER_DIALOGS = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]], verbosity=2)


if __name__ == "__main__":
    main()
