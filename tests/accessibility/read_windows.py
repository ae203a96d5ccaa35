"""Reads the windows of the running program over the AT-SPI bus, as a screen
reader would, from outside the program, and clicks them as a user would. The
program starts twice with the same settings folder: first with nothing saved,
then with the login the first run saved.

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
# Each of the two windows is told by a button only it has.
WINDOW_BUTTONS = {"connection": "Next >", "tables": "Select All"}


def wait_for(what, find, seconds, seen=lambda: ""):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    raise SystemExit(f"FAIL: no {what} within {seconds} s{seen()}")


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


def button(container, name):
    return next(c for c in descendants(container) if c.getRole() == pyatspi.ROLE_PUSH_BUTTON and c.name == name)


def press(container, name):
    button(container, name).queryAction().doAction(0)


def window_kind(window):
    names = {c.name for c in descendants(window) if c.getRole() == pyatspi.ROLE_PUSH_BUTTON}
    return next((kind for kind, name in WINDOW_BUTTONS.items() if name in names), None)


def showing_windows(app):
    """The program's windows on screen, by kind."""
    return {window_kind(w): w for w in app
            if w is not None and w.getRole() == pyatspi.ROLE_FRAME and w.name == TITLE
            and w.getState().contains(pyatspi.STATE_SHOWING)}


def is_active(window):
    return window.getState().contains(pyatspi.STATE_ACTIVE)


def read_ticks(window):
    """The table list's entries, each with whether it is ticked. Qt 6.4's
    bridge reports the checked state but not that an entry can be checked."""
    return {node.name: node.getState().contains(pyatspi.STATE_CHECKED)
            for node in descendants(window) if node.getRole() == pyatspi.ROLE_TABLE_CELL}


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def click(node):
    """A click of the first mouse button in the middle of the node, made by
    the X server as a user's click would be, not an accessibility action."""
    x, y, width, height = extents(node)
    pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, pyatspi.MOUSE_B1C)


def stacked_top_first(pid):
    """Place and size of the program's titled X windows, the front one first.
    The test display has no window manager, so these are the windows
    themselves, and xwininfo lists them from the top of the stack down."""
    listing = subprocess.run(["xwininfo", "-root", "-children"], check=True, capture_output=True, text=True).stdout
    stacked = []
    for line in listing.splitlines():
        fields = line.split()
        if not fields or not fields[0].startswith("0x") or f'"{TITLE}":' not in line:
            continue
        owner = subprocess.run(["xprop", "-id", fields[0], "_NET_WM_PID"], capture_output=True, text=True).stdout
        if owner.rpartition("=")[2].strip() != str(pid):
            continue
        size, x, y = next(f for f in fields if f[0].isdigit() and "x" in f and "+" in f).split("+")
        width, height = size.split("x")
        stacked.append((int(x), int(y), int(width), int(height)))
    return stacked


def front_to_back(app, pid):
    """The kinds of the windows showing, the front one first, each with
    whether it is the active window."""
    stack = stacked_top_first(pid)
    seen = []
    for kind, window in showing_windows(app).items():
        place = extents(window)
        if place not in stack:
            return f"the {kind} window at {place} is none of the program's X windows {stack}"
        seen.append((stack.index(place), kind, is_active(window)))
    return [(kind, active) for _, kind, active in sorted(seen)]


def select_all_with_one_click(tables):
    click(button(tables, "Select All"))
    return wait_for("ticks after one click on Select All",
                    lambda: read_ticks(tables) if all(read_ticks(tables).values()) else None, 10,
                    lambda: f"; ticks {read_ticks(tables)}")


def first_run(app, windows):
    window = windows["connection"]
    controls = {(c.getRole(), c.name) for c in descendants(window)}
    missing = EXPECTED_NAMES - controls
    if missing:
        raise SystemExit(f"FAIL: controls not named as expected: {sorted(missing)}; seen {sorted(controls)}")

    press(window, "Help")
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
    tables = wait_for("table selection window", lambda: showing_windows(app).get("tables"), 30)
    ticks = read_ticks(tables)
    if not ticks or any(ticks.values()):
        raise SystemExit(f"FAIL: the table list's entries are not readable unticked: {ticks}")
    select_all_with_one_click(tables)
    return f"{len(controls)} controls named, message box {box_title!r} read, {len(ticks)} table entries read and ticked"


def saved_login_start(app, windows):
    # At once, with the connection window in front and active: the first
    # click reaches the list's window and makes it the active one.
    tables = windows["tables"]
    ticks = select_all_with_one_click(tables)
    if not is_active(tables) or is_active(windows["connection"]):
        raise SystemExit("FAIL: the clicked table window is not the one active window")
    return f"one click on Select All ticked {len(ticks)} entries and activated its window"


# Start-ups in turn, each with the settings the one before left: the windows
# showing once it has ended, the front one first and active, then what the
# user does next.
STARTS = (
    ("first run", [("connection", True)], first_run),
    ("saved login that connects", [("connection", True), ("tables", False)], saved_login_start),
)


def run(program, env, expected, then):
    process = subprocess.Popen([program], env=env, start_new_session=True)
    try:
        app = wait_for("program on the accessibility bus", lambda: program_app(process.pid), 60)
        wait_for(f"windows front to back {expected}",
                 lambda: True if front_to_back(app, process.pid) == expected else None, 20,
                 lambda: f"; seen {front_to_back(app, process.pid)}")
        return then(app, showing_windows(app))
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


def main(program):
    config = tempfile.mkdtemp()
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               XDG_CONFIG_HOME=config, HOME=config)
    for name, expected, then in STARTS:
        print(f"{name}: windows {expected}; {run(program, env, expected, then)}")


if __name__ == "__main__":
    main(sys.argv[1])
