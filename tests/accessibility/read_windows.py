"""Reads the connection window and a message box of the running program over
the AT-SPI bus, as a screen reader would, from outside the program.

usage: read_windows.py <program>   (inside a D-Bus session, with DISPLAY set)
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

TITLE = "Marrowbeck"
EXPECTED_NAMES = {
    (pyatspi.ROLE_PUSH_BUTTON, "Help"),
    (pyatspi.ROLE_PUSH_BUTTON, "Browse for database"),
    (pyatspi.ROLE_PUSH_BUTTON, "Test Connection"),
    (pyatspi.ROLE_PUSH_BUTTON, "Firebird server help"),
    (pyatspi.ROLE_PUSH_BUTTON, "Load Sample/Example Database"),
    (pyatspi.ROLE_PUSH_BUTTON, "Next >"),
    (pyatspi.ROLE_TEXT, "Database:"),
    (pyatspi.ROLE_TEXT, "Username:"),
    (pyatspi.ROLE_PASSWORD_TEXT, "Password:"),
}


def wait_for(what, find, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    raise SystemExit(f"FAIL: no {what} within {seconds} s")


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def program_app(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away while listed
            pass
    return None


def top_window(app, role, name=None):
    for window in app:
        if window is not None and window.getRole() == role and (name is None or window.name == name):
            return window
    return None


def window_with_button(app, name):
    for window in app:
        if window is None or window.getRole() != pyatspi.ROLE_FRAME or window.name != TITLE:
            continue
        if any(c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == name for c in descendants(window)):
            return window
    return None


def press(container, name):
    button = next(c for c in descendants(container) if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == name)
    button.queryAction().doAction(0)


def read_ticks(window):
    """The table list's entries, each with whether it is ticked. Qt 6.4's
    bridge reports the checked state but not that an entry can be checked."""
    return {node.name: node.getState().contains(pyatspi.STATE_CHECKED)
            for node in descendants(window) if node.getRole() == pyatspi.ROLE_TABLE_CELL}


def main(program):
    config = tempfile.mkdtemp()
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               XDG_CONFIG_HOME=config, HOME=config)
    process = subprocess.Popen([program], env=env, start_new_session=True)
    try:
        app = wait_for("program on the accessibility bus", lambda: program_app(process.pid), 60)
        window = wait_for(f"window titled {TITLE!r}", lambda: top_window(app, pyatspi.ROLE_FRAME, TITLE), 60)
        controls = {(c.getRole(), c.name) for c in descendants(window)}
        missing = EXPECTED_NAMES - controls
        if missing:
            raise SystemExit(f"FAIL: controls not named as expected: {sorted(missing)}; seen {sorted(controls)}")

        help_button = next(c for c in descendants(window)
                           if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == "Help")
        help_button.queryAction().doAction(0)
        box = wait_for("message box", lambda: top_window(app, pyatspi.ROLE_ALERT), 20)
        texts = [c.name for c in descendants(box) if c.getRole() == pyatspi.ROLE_LABEL]
        box_title = box.name
        if box_title != TITLE:
            raise SystemExit(f"FAIL: message box title not readable: {box_title!r}")
        if not any(t.startswith("In order to successfully connect") for t in texts):
            raise SystemExit(f"FAIL: message box text not readable; labels {texts}")
        press(box, "OK")

        press(window, "Load Sample/Example Database")
        press(window, "Next >")
        tables = wait_for("table selection window", lambda: window_with_button(app, "Select All"), 30)
        ticks = read_ticks(tables)
        if not ticks or any(ticks.values()):
            raise SystemExit(f"FAIL: the table list's entries are not readable unticked: {ticks}")
        press(tables, "Select All")
        ticks = wait_for("ticks after Select All", lambda: read_ticks(tables) if all(read_ticks(tables).values()) else None, 10)
        print(f"window {window.name!r}: {len(controls)} controls named; message box {box_title!r} read; "
              f"{len(ticks)} table entries read with their ticks")
    finally:
        # SIGTERM first: the program then ends the office it started ahead
        # of "Finish", which runs in a session of its own and would outlive
        # a SIGKILL.
        for sig, grace in ((signal.SIGTERM, 10), (signal.SIGKILL, None)):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                break
            try:
                process.wait(timeout=grace)
                break
            except subprocess.TimeoutExpired:
                continue


if __name__ == "__main__":
    main(sys.argv[1])
