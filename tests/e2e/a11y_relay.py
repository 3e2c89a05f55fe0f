#!/usr/bin/python3
"""The console as an assistive technology sees it: start a session with a simulated unit, read
"Connected" from the status bar, the MAC address and voltage 3 from the accessibility tree, the
uptime seconds from the uptime window, switch relay 1 on through its dialog, and read "ON" back
from the main window; the station box is named by its label, not its value; then the unit goes
silent and the voltages say how old they are. Every readout is found by its name and read through
its text.

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

        # The unit goes quiet (stopped, so no "port unreachable" either): within seconds the
        # voltages stop passing for live values and say their age in words.
        sim.send_signal(signal.SIGSTOP)
        try:
            def aged():
                for node, _ in walk(app):
                    if role(node) == "text" and name(node).startswith("Voltage 3") and name(node).endswith(" s old"):
                        return name(node)
                return None
            print("Silent unit:", wait_for("voltage 3 saying its age", aged, 30))
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
          "through its dialog, station box named by its label, old values said to be old")
    return 0


if __name__ == "__main__":
    sys.exit(main())
