#!/usr/bin/python3
"""The window as a screen reader reaches it: under a virtual X server, on a private D-Bus
session with the accessibility bus, through AT-SPI. The test names a file in the path box,
presses "File Load" and "Target Verify" through their accessible actions, and reads the
failed verify back: the status line "DFLASH Verify Error" and the first step lamp red.

Usage: window_atspi_test.py VANTIX EXAMPLE_S_FILE
Exit 0 passed, 1 failed, 77 skipped (no X server can be started here; never under CI).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT = 120.0  # a hang guard only: each wait ends as soon as what it waits for is there


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def start_x_server():
    """Xvfb on a free display: (process, display), or a skip where none can start."""
    xvfb = shutil.which("Xvfb")
    read_end, write_end = os.pipe()
    server = None
    if xvfb is not None:
        server = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-screen", "0",
                                   "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                                  pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        reason = "no X server can be started here (Xvfb %s)" % (
            "is not installed" if xvfb is None else "ended at once")
        if os.environ.get("CI"):
            fail(reason + "; CI must run this test")
        print("SKIP: " + reason, flush=True)
        sys.exit(77)
    return server, ":" + number


def outer(vantix, example):
    server, display = start_x_server()
    scratch = tempfile.mkdtemp(prefix="vantix-atspi-")
    try:
        run = shutil.which("dbus-run-session") or fail("dbus-run-session is missing (dbus)")
        sys.exit(subprocess.call([run, "--", sys.executable, __file__, "--inner", vantix, example],
                                 env=dict(os.environ, DISPLAY=display, VANTIX_SCRATCH=scratch)))
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(scratch, ignore_errors=True)


# --- Inside the private session -----------------------------------------------------------

def wait_for(what, predicate):
    from gi.repository import GLib
    print("waiting for " + what, flush=True)
    deadline = time.monotonic() + TIMEOUT
    while True:
        while GLib.MainContext.default().iteration(False):
            pass
        try:
            value = predicate()
        except Exception:  # the tree is still being built
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            fail("gave up waiting for " + what)
        time.sleep(0.05)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def find(app, role, name):
    return next((n for n in walk(app) if n.getRoleName() == role and n.name == name), None)


def press(node):
    actions = node.queryAction()
    names = [actions.getName(i).lower() for i in range(actions.nActions)]
    if "press" not in names:
        fail("%s has no press action" % node.name)
    actions.doAction(names.index("press"))


def inner(vantix, example):
    import pyatspi

    scratch = os.environ["VANTIX_SCRATCH"]
    home = os.path.join(scratch, "home")
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_RUNTIME_DIR=scratch, TMPDIR=scratch, QT_QPA_PLATFORM="xcb",
               QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_SCALE_FACTOR", None)
    window = subprocess.Popen([vantix, "--simulate"], env=env)
    try:
        def app_found():
            if window.poll() is not None:
                fail("vantix ended with %d before it was reached" % window.returncode)
            desktop = pyatspi.Registry.getDesktop(0)
            apps = (desktop.getChildAtIndex(i) for i in range(desktop.childCount))
            return next((a for a in apps if a and find(a, "push button", "Target Verify")), None)
        check_window(pyatspi, wait_for("the window on the accessibility bus", app_found), example)
    finally:
        window.terminate()
        window.wait()
        launcher.terminate()
        launcher.wait()
    print("PASS", flush=True)


def check_window(pyatspi, app, example):
    status = find(app, "label", "Current Status")
    lamp = find(app, "label", "Step 1 lamp")
    if find(app, "combo box", "CPU") is None or find(app, "progress bar", "Progress") is None:
        fail("no combo box named CPU, or no progress bar")
    if status is None or lamp is None or lamp.description != "off":
        fail("no status line named by its text, or no first step lamp that is off")
    events = []
    pyatspi.Registry.registerEventListener(
        lambda e: events.append((e.type, e.source.name if e.source else "")),
        "object:property-change:accessible-name", "object:property-change:accessible-description")

    path = wait_for("the path box's line edit",
                    lambda: next(n for n in walk(find(app, "combo box", "S File Path"))
                                 if n.getRoleName() == "text"))
    path.queryEditableText().setTextContents(example)
    press(find(app, "push button", "File Load"))
    messages = find(app, "text", "Message Window")
    wait_for("the file to load",
             lambda: "Reading S File is OK !!!" in messages.queryText().getText(0, -1))

    press(find(app, "push button", "Target Verify"))
    wait_for("the verify to fail", lambda: status.name == "DFLASH Verify Error")
    wait_for("the first lamp to be red", lambda: lamp.description == "red")
    if find(app, "label", "Step 2 lamp").description != "off":
        fail("the second lamp is not off")
    # Both changes were told as they happened; a failed verify writes no message line.
    wait_for("the change events", lambda: ("object:property-change:accessible-name",
                                           "DFLASH Verify Error") in events and
             ("object:property-change:accessible-description", "Step 1 lamp") in events)
    if "DFLASH Verify Error" in messages.queryText().getText(0, -1):
        fail("a failed verify wrote a message line")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--inner":
        inner(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3:
        outer(sys.argv[1], sys.argv[2])
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
