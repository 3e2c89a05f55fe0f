#!/usr/bin/python3
"""The console as an assistive technology sees it: start a session with a simulated unit, read
"Connected" from the status bar, the MAC address and voltage 3 from the accessibility tree, the
uptime seconds from the uptime window, switch relay 1 on through its dialog, and read "ON" back
from the main window; the station box is named by its label, not its value. Then by keyboard
alone, as a person without a mouse: the Fleet window fits the screen with every column in view,
Tab leaves its table, and Enter on another station asks before it moves the running session; in
the Alarms window Tab leaves the open alarms and the event log and reaches Acknowledge, which
acknowledges the alarm a rule raised; in Trends + and - zoom and the arrow keys pan. Last the unit
goes silent and the voltages, the temperature, the I/O pins and the relay states say how old they
are. Every readout is found by its name and read through its text.

Run inside an X server and a D-Bus session with the accessibility bus (the ctest wrapper uses
`xvfb-run -a dbus-run-session`). Exit 0 on success, 1 on a failure, 77 when the tools are missing.

    a11y_relay.py --kestavo PATH --sim PATH --cli PATH [--dump]
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
PASSWORD = "secret"
SIM_MAC = "00:0A:1B:2C:3D:4E"  # the simulator's default MAC address
MAIN_TITLE = "Kestavo - KSV unit console"

try:
    import pyatspi
except ImportError:
    print("SKIP: pyatspi is not installed (python3-pyatspi)")
    sys.exit(SKIP)


class Failure(Exception):
    pass


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a window closing under our feet
        return []


def walk(node, depth=0):
    yield node, depth
    if depth < 40:
        for child in children(node):
            if child is not None:
                yield from walk(child, depth + 1)


def role(node):
    try:
        return node.getRoleName()
    except Exception:
        return ""


def name(node):
    try:
        return node.name or ""
    except Exception:
        return ""


def text_of(node):
    """What a screen reader reads: the text interface when there is one, else the name."""
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except Exception:
        return name(node)


def value_of(readout):
    """A readout's value: its accessible name says what it is, its text what it shows."""
    if readout is None:
        return None
    try:
        text = readout.queryText()
        return text.getText(0, text.characterCount)
    except Exception:
        return None


def wait_for(what, probe, timeout=20.0, interval=0.2):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        last = probe()
        if last:
            return last
        time.sleep(interval)
    raise Failure("timed out waiting for %s (last seen: %r)" % (what, last))


def console_app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def find(root, wanted_role, wanted_name):
    """The first node of that role and name; names compare without surrounding spaces, since a
    caption such as " Relay 1 ON" may reach the accessibility bus trimmed."""
    for node, _ in walk(root):
        if role(node) == wanted_role and name(node).strip() == wanted_name.strip():
            return node
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "toggle", "Press", "Toggle", "SetFocus"):
            if action.getName(i) != "SetFocus":
                action.doAction(i)
                return
    action.doAction(0)


def keys(window_title, *strokes):
    """Types into one of the console's windows as a person would: the X input focus goes to the
    window, then the keys go through the X server."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % window_title],
                           capture_output=True, text=True, timeout=10).stdout.split()
    if not found:
        raise Failure("no window titled %r to type into" % window_title)
    subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True, timeout=10)
    subprocess.run(["xdotool", "key", "--delay", "100"] + list(strokes), check=True, timeout=30)
    time.sleep(0.3)


def focused(window):
    """What says it holds the keyboard focus in that window, as (role, name) pairs: a table
    rather than its current cell, a chart with its viewport; a tab widget's current tab says it
    is focused all the time and is passed over."""
    hits = []
    for node, _ in walk(window):
        try:
            if node.getState().contains(pyatspi.STATE_FOCUSED) and role(node) not in ("table cell", "page tab"):
                hits.append((role(node), name(node)))
        except Exception:
            continue
    return hits


def tab_to(window_title, window, wanted_role, wanted_name, most=20):
    """Presses Tab until the focus is on that control; fails if it never comes."""
    for _ in range(most):
        if (wanted_role, wanted_name) in focused(window):
            return
        keys(window_title, "Tab")
    raise Failure("Tab never reached the %s %r (focus on %s)" % (wanted_role, wanted_name, focused(window)))


def leaves_by_tab(window_title, window, table_name, table_role="table"):
    """Tab and Shift+Tab both take the focus out of the table; the arrows keep it inside."""
    inside = (table_role, table_name)
    tab_to(window_title, window, *inside)
    keys(window_title, "Down")
    if inside not in focused(window):
        raise Failure("Down left the %r table (focus on %s)" % (table_name, focused(window)))
    for stroke in ("Tab", "shift+Tab"):
        keys(window_title, stroke)
        now = focused(window)
        if not now or inside in now:
            raise Failure("%s did not leave the %r table (focus on %s)" % (stroke, table_name, now))
        tab_to(window_title, window, *inside)
    print("Tab and Shift+Tab leave the %r table" % table_name)


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def fleet_checks(app):
    """The Fleet window on a 1280x800 screen, its table by keyboard, and Enter on another
    station while a session runs."""
    keys(MAIN_TITLE, "alt+m", "f")
    fleet = wait_for("the Fleet window", lambda: window_named(app, "Fleet"))
    box = extents(fleet)
    if box.x < 0 or box.y < 0 or box.x + box.width > 1280 or box.y + box.height > 800:
        raise Failure("the Fleet window (%d,%d %dx%d) runs off a 1280x800 screen"
                      % (box.x, box.y, box.width, box.height))
    # A tree: stations stand under group headers once they carry tags (these two carry none).
    table = wait_for("the stations table", lambda: find(fleet, "tree", "Stations"))
    wait_for("both stations in the table",
             lambda: find(table, "table cell", "Second unit") and find(table, "table cell", "E2E unit"))
    view = extents(table)
    for column in ("Alarms", "Uptime"):
        header = find(table, "table column header", column)
        if header is None:
            raise Failure("no %r column header" % column)
        cell = extents(header)
        if cell.width <= 0 or cell.x < view.x or cell.x + cell.width > view.x + view.width:
            raise Failure("the %r column (x %d, %d wide) is not within the table (x %d, %d wide)"
                          % (column, cell.x, cell.width, view.x, view.width))
    print("Fleet window: %dx%d, Alarms and Uptime in view" % (box.width, box.height))

    leaves_by_tab("Fleet", fleet, "Stations", "tree")

    # Enter on the other station while the session with the first runs: asked first, and No
    # keeps the session where it is.
    tab_to("Fleet", fleet, "tree", "Stations")
    keys("Fleet", "Home", "Down", "Return")
    question = "Stop the session with 127.0.0.1 and start one with 127.0.0.2?"

    def asked():
        for node, _ in walk(app):
            if question in text_of(node) or question in name(node):
                return node
        return None
    wait_for("the question before the session moves", asked, 10)
    print("Asked:", question)
    no = wait_for('the question\'s "No"', lambda: find(app, "push button", "No"))
    press(no)
    time.sleep(1)
    if value_of(find(app, "label", "Connection")) != "Connected":
        raise Failure("the session did not stay with the first unit after No")
    print("No: the session stays with 127.0.0.1")


def alarms_checks(app):
    """Keyboard only in the Alarms window: Tab leaves both tables and reaches Acknowledge, and
    Space on it acknowledges the selected alarm."""
    keys(MAIN_TITLE, "alt+m", "a")
    window = wait_for("the Alarms window", lambda: window_named(app, "Alarms"))
    alarms = wait_for("the open alarms table", lambda: find(window, "table", "Open alarms"))
    wait_for("the alarm the rule raised",
             lambda: find(alarms, "table cell", "active, unacknowledged"), 30)
    leaves_by_tab("Alarms", window, "Open alarms")
    tab_to("Alarms", window, "table", "Open alarms")
    keys("Alarms", "Home")
    tab_to("Alarms", window, "push button", "Acknowledge the selected alarm")
    keys("Alarms", "space")
    wait_for("the alarm acknowledged by keyboard", lambda: find(alarms, "table cell", "active, acknowledged"), 10)
    print("Acknowledged by keyboard")
    leaves_by_tab("Alarms", window, "Alarm event log")


def trends_checks(app):
    """Trends: + and - zoom, the arrow keys pan; the shown range is read from From and To."""
    keys(MAIN_TITLE, "alt+m", "t")
    window = wait_for("the Trends window", lambda: window_named(app, "Trends"))
    title = name(window)
    chart = wait_for("the readings chart", lambda: find_named(window, "Readings chart"))
    tab_to(title, window, role(chart), "Readings chart")

    def shown():
        return tuple(time.mktime(time.strptime(text_of(find_named(window, edge)), "%Y-%m-%d %H:%M:%S"))
                     for edge in ("From", "To"))
    expected = (("plus", lambda a, b: b[0] > a[0] and b[1] < a[1], "zooms in"),
                ("minus", lambda a, b: b[0] < a[0] and b[1] > a[1], "zooms out"),
                ("Left", lambda a, b: b[0] < a[0] and b[1] < a[1], "pans back"),
                ("Right", lambda a, b: b[0] > a[0] and b[1] > a[1], "pans on"))
    for stroke, moved, what in expected:
        before = shown()
        keys(title, stroke)
        after = wait_for("%s to change the range" % stroke, lambda: (lambda r: r != before and r)(shown()), 10)
        if not moved(before, after):
            raise Failure("%s should have %s: %s -> %s" % (stroke, what, before, after))
        print("Trends: %s %s" % (stroke, what))


def window_named(app, title):
    """One of the console's top-level windows, whatever role it reports."""
    for window in children(app):
        if window is not None and name(window) == title:
            return window
    return None


def find_named(root, wanted_name):
    for node, _ in walk(root):
        if name(node).strip() == wanted_name:
            return node
    return None


def dump(root):
    for node, depth in walk(root):
        extra = ""
        try:
            extra = "%r %r" % (node.description, node.get_attributes())
        except Exception:
            pass
        print("%s%s %r %r %s" % ("  " * depth, role(node), name(node), text_of(node), extra))


def run(args, workdir):
    db = os.path.join(workdir, "ksv.dat")
    port = free_udp_port()
    subprocess.run([args.cli, "--db", db, "stations", "add", "127.0.0.1", PASSWORD, "E2E unit"],
                   check=True, stdout=subprocess.DEVNULL, timeout=30)
    # A second station (nothing answers there), and a rule the first unit's readings break at once.
    subprocess.run([args.cli, "--db", db, "stations", "add", "127.0.0.2", PASSWORD, "Second unit"],
                   check=True, stdout=subprocess.DEVNULL, timeout=30)
    subprocess.run([args.cli, "--db", db, "alarms", "rules", "add", "--kind", "voltage-above", "--channel", "3",
                    "--limit", "0", "--priority", "high", "--text", "E2E voltage 3 above 0"],
                   check=True, stdout=subprocess.DEVNULL, timeout=30)

    sim = subprocess.Popen([args.sim, "--port", str(port), "--password", PASSWORD, "--steady"],
                           stdout=subprocess.DEVNULL)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               QTWEBENGINE_DISABLE_SANDBOX="1", QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu")
    console = subprocess.Popen([args.kestavo, "--db", db, "--unit-port", str(port)], env=env)
    try:
        def registered():
            if console.poll() is not None:
                raise Failure("the console exited with %d before it showed up" % console.returncode)
            return console_app(console.pid)

        app = wait_for("the console on the accessibility bus", registered, 40)
        start = wait_for('the "Start" button', lambda: find(app, "push button", "Start"))
        if args.dump:
            dump(app)
        press(start)

        wait_for('"Connected" in the status bar',
                 lambda: value_of(find(app, "label", "Connection")) == "Connected")
        print("Connection:", value_of(find(app, "label", "Connection")))

        mac = wait_for("the MAC address",
                       lambda: (lambda n: n is not None and text_of(n) == SIM_MAC and n)(
                           find(app, "text", "MAC address")))
        print("MAC address:", text_of(mac))
        volts = wait_for("voltage 3",
                         lambda: (lambda n: n is not None and text_of(n) not in ("", "0.00") and n)(
                             find(app, "text", "Voltage 3")))
        reading = float(text_of(volts))
        if not 0.0 < reading <= 30.0:
            raise Failure("voltage 3 reads %r, outside its 0-30 V range" % text_of(volts))
        print("Voltage 3:", text_of(volts))

        press(wait_for('the "UPTIME" button', lambda: find(app, "push button", "UPTIME")))
        uptime = wait_for("the uptime window", lambda: find(app, "dialog", "UPTIME"))
        seconds = wait_for("the uptime seconds",
                           lambda: (lambda v: v and v.isdigit() and int(v) > 0 and v)(
                               value_of(find(uptime, "label", "Total seconds"))))
        print("Uptime seconds:", seconds)
        press(wait_for('the uptime window\'s "OK"', lambda: find(uptime, "push button", "OK")))

        state = find(app, "label", "Relay 1 state")
        print("Relay 1 state before:", value_of(state))
        press(wait_for('the "Relay 1" button', lambda: find(app, "push button", "Relay 1")))
        if args.dump:
            time.sleep(2)
            dump(app)
        dialog = wait_for("the relay 1 dialog", lambda: find(app, "dialog", "Relay 1 Control"))
        press(wait_for('" Relay 1 ON"', lambda: find(dialog, "radio button", " Relay 1 ON")))
        press(wait_for('the dialog\'s "OK"', lambda: find(dialog, "push button", "OK")))

        wait_for('"ON" in the relay 1 state', lambda: value_of(find(app, "label", "Relay 1 state")) == "ON", 10)
        print("Relay 1 state:", value_of(find(app, "label", "Relay 1 state")))

        # A combo box says what it chooses; its choice is its value.
        station = wait_for('the station box named "Station"', lambda: find(app, "combo box", "Station"))
        print("Station box:", name(station))

        fleet_checks(app)
        alarms_checks(app)
        trends_checks(app)

        # The unit goes quiet (stopped, so no "port unreachable" either): within seconds the
        # readings stop passing for live values and say their age in words.
        sim.send_signal(signal.SIGSTOP)
        try:
            def aged(wanted_role, prefix):
                def probe():
                    for node, _ in walk(app):
                        if role(node) == wanted_role and name(node).startswith(prefix) and name(node).endswith(" s old"):
                            return name(node)
                    return None
                return probe
            print("Silent unit:", wait_for("voltage 3 saying its age", aged("text", "Voltage 3"), 30))
            for wanted_role, prefix in (("text", "Temperature: "), ("text", "I/O pin 1: "),
                                        ("label", "Relay 1 state: ON")):
                print("Silent unit:", wait_for("%r saying its age" % prefix, aged(wanted_role, prefix), 10))
        finally:
            sim.send_signal(signal.SIGCONT)
    finally:
        console.terminate()
        sim.terminate()
        for process in (console, sim):
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kestavo", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--dump", action="store_true", help="print the accessibility tree")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        print("SKIP: needs an X display and a D-Bus session (run through xvfb-run and dbus-run-session)")
        return SKIP
    workdir = tempfile.mkdtemp(prefix="kestavo-e2e-")
    try:
        run(args, workdir)
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    print("PASS: session started and connected, MAC, voltage and uptime read, relay 1 switched on "
          "through its dialog, station box named by its label; Fleet fits and asks, tables let Tab "
          "out, Acknowledge by keyboard, Trends zooms and pans by keyboard; old values said to be old")
    return 0


if __name__ == "__main__":
    sys.exit(main())
