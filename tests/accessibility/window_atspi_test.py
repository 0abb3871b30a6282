#!/usr/bin/python3
"""The window as a screen reader reaches it: under a virtual X server, on a private D-Bus
session with the accessibility bus, through AT-SPI. The test names the path box's file,
presses "File Load" and "Target Verify" through their accessible actions, and reads the
failed verify back: the status line "DFLASH Verify Error" and the first step lamp red.

Usage: window_atspi_test.py VANTIX EXAMPLE_S_FILE
Exit 0 passed, 1 failed, 77 skipped (no X server can be started here; never under CI).
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
# Hang guards only: every wait ends as soon as what it waits for is there.
START_TIMEOUT = 60.0
STEP_TIMEOUT = 120.0


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def skip_or_fail(message):
    if os.environ.get("CI"):
        fail(message + " (CI must run this test)")
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP)


def start_x_server(scratch):
    """Starts Xvfb on a free display; returns (process, display) or skips."""
    xvfb = shutil.which("Xvfb")
    if xvfb is None:
        skip_or_fail("no X server can be started: Xvfb is not installed (package xvfb)")
    read_end, write_end = os.pipe()
    log = open(os.path.join(scratch, "xvfb.log"), "wb")
    server = subprocess.Popen(
        [xvfb, "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(write_end,), stdout=log, stderr=log)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        server.kill()
        skip_or_fail("no X server can be started: Xvfb ended at once (see %s)" % log.name)
    return server, ":" + number.decode().strip()


def outer(vantix, example):
    scratch = tempfile.mkdtemp(prefix="vantix-atspi-")
    server, display = start_x_server(scratch)
    try:
        env = dict(os.environ, DISPLAY=display, VANTIX_SCRATCH=scratch)
        run = shutil.which("dbus-run-session")
        if run is None:
            fail("dbus-run-session is missing (package dbus)")
        code = subprocess.call([run, "--", sys.executable, __file__, "--inner", vantix, example],
                               env=env)
        sys.exit(code)
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(scratch, ignore_errors=True)


# --- Inside the private session -----------------------------------------------------------

def pump():
    from gi.repository import GLib
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(what, predicate, timeout=STEP_TIMEOUT):
    print("waiting for " + what, flush=True)
    deadline = time.monotonic() + timeout
    while True:
        pump()
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
    for node in walk(app):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def press(node):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) in ("Press", "press", "click"):
            actions.doAction(i)
            return
    fail("%s has no press action" % node.name)


def inner(vantix, example):
    import pyatspi

    scratch = os.environ["VANTIX_SCRATCH"]
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    home = os.path.join(scratch, "home")
    os.makedirs(home)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_RUNTIME_DIR=scratch, TMPDIR=scratch, QT_QPA_PLATFORM="xcb",
               QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_SCALE_FACTOR", None)
    window = subprocess.Popen([vantix, "--simulate"], env=env)
    events = []
    try:
        def app_found():
            if window.poll() is not None:
                fail("vantix ended with %d before it was reached" % window.returncode)
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and find(app, "push button", "Target Verify"):
                    return app
            return None
        app = wait_for("the window on the accessibility bus", app_found, START_TIMEOUT)
        check_window(pyatspi, app, example, events)
    finally:
        window.send_signal(signal.SIGTERM)
        window.wait()
        launcher.terminate()
        launcher.wait()
    print("PASS", flush=True)


def check_window(pyatspi, app, example, events):
    cpu = find(app, "combo box", "CPU")
    if cpu is None:
        fail("no combo box named CPU")
    status = find(app, "label", "Current Status")
    if status is None:
        fail("no status line named by its text")
    lamp = find(app, "label", "Step 1 lamp")
    if lamp is None or lamp.description != "off":
        fail("no first step lamp that is off")
    if find(app, "progress bar", "Progress") is None:
        fail("no progress bar")

    def record(event):
        events.append((event.type, event.source.name if event.source else ""))
    pyatspi.Registry.registerEventListener(record, "object:property-change:accessible-name")
    pyatspi.Registry.registerEventListener(record,
                                           "object:property-change:accessible-description")

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
    # The changes were told as they happened.
    wait_for("the status line's change event",
             lambda: any(t.endswith("accessible-name") and n == "DFLASH Verify Error"
                         for t, n in events))
    wait_for("the lamp's change event",
             lambda: any(t.endswith("accessible-description") and n == "Step 1 lamp"
                         for t, n in events))
    if "DFLASH Verify Error" in messages.queryText().getText(0, -1):
        fail("a failed verify wrote a message line")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--inner":
        inner(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3:
        outer(sys.argv[1], sys.argv[2])
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)


if __name__ == "__main__":
    main()
