#!/usr/bin/python3
"""Takes the README's screenshots of the console under a real X server.

Run through scripts/screenshots.sh, which starts Xvfb, a session bus, a simulated unit and the
console. This script drives the console through its accessibility interface, as a screen reader
would, and captures windows with ImageMagick's `import`.
"""
import os
import subprocess
import sys
import time

import pyatspi

OUT = sys.argv[1]
CLI = sys.argv[2]
PORT = sys.argv[3]
DB = sys.argv[4]


def app():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for a in desktop:
            if a is not None and a.name in ("kestavo", "Kestavo"):
                return a
        time.sleep(0.2)
    raise SystemExit("the console did not appear on the accessibility bus")


def find(root, name, role=None, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        hit = pyatspi.findDescendant(
            root, lambda n: n is not None and n.name == name and (role is None or n.getRoleName() == role))
        if hit is not None:
            return hit
        time.sleep(0.2)
    raise SystemExit(f"no control named {name!r}")


def press(root, name):
    find(root, name, "push button").queryAction().doAction(0)


def shot(window_name, file_name):
    time.sleep(1.5)
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", window_name],
                         capture_output=True, text=True).stdout.split()
    if not ids:
        raise SystemExit(f"no window {window_name!r}")
    subprocess.run(["timeout", "20", "import", "-window", ids[-1], os.path.join(OUT, file_name)], check=True)


def cli(*args):
    subprocess.run([CLI, "--db", DB, "--port", PORT, *args], check=True, capture_output=True)


def trends(a):
    """Two minutes of the demo unit with a stop in the middle, then its Trends window."""
    press(a, "Start")
    time.sleep(50)
    press(a, "Stop")
    time.sleep(15)
    press(a, "Start")
    time.sleep(50)
    # Double-click the first voltage box, as a user opens a channel's trend.
    box = find(a, "Voltage 1", "text")
    x, y, w, h = box.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "--repeat", "2",
                    "--delay", "80", "1"], check=True)
    time.sleep(2)
    for name in ("Voltage 2", "Voltage 3", "Voltage 6", "Temperature"):
        box = find(a, name, "check box")
        if not box.getState().contains(pyatspi.STATE_CHECKED):
            box.queryAction().doAction(0)
    # Zoom from the hour shown to its last few minutes with the mouse wheel, at the newest samples.
    chart = find(a, "Readings chart")
    x, y, w, h = chart.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + w * 91 // 100), str(y + h // 2), "click", "--repeat", "12",
                    "--delay", "150", "4"], check=True)
    subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h + 300)], check=True)
    time.sleep(3)
    shot("Trends", "trends.png")


def fleet(a):
    """The Fleet window of a console started with --demo --demo-fleet 50, once every unit has
    reported, problems first."""
    find(a, "Fleet", "menu item").queryAction().doAction(0)
    window = None
    for _ in range(50):  # the window itself, not the menu item of the same name
        window = next((w for w in a if w is not None and w.name == "Fleet"), None)
        if window is not None:
            break
        time.sleep(0.2)
    if window is None:
        raise SystemExit("the Fleet window did not open")
    time.sleep(8)
    press(window, "Problems first")
    shot("^Fleet$", "fleet.png")


a = app()
if os.environ.get("FLEET"):
    fleet(a)
    raise SystemExit(0)
if os.environ.get("ONLY") == "trends":
    trends(a)
    raise SystemExit(0)
press(a, "Start")
time.sleep(3)
shot("Kestavo", "main-window.png")

# A relay timer counting down towards the demo unit's script in slot 1.
cli("timer", "127.0.0.1", "set", "1", "1d2h3m4s", "--continuous")
time.sleep(3)
shot("Kestavo", "relay-timer.png")

press(a, "ADC Input 1 Options")
shot("Voltage 1 Options", "options.png")
find(a, "Exit", "push button").queryAction().doAction(0)
time.sleep(1)

# About box, then the browser from its credits heading, showing the unit's status page.
press(a, "ABOUT")
shot("About KSV", "about.png")
heading = find(a, "KSV was created by:")
x, y, w, h = heading.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"], check=True)
time.sleep(8)
shot("KSV unit status", "browser.png")
