#!/usr/bin/python3
"""Console start-up against a bare QMainWindow linking the same Qt modules: wall time from the
process start to its first window being mapped on the X server, the peak resident memory (VmHWM)
one second after that, and whether QtWebEngine or an OpenGL driver was mapped into the process
(the browser window's pages are drawn by kestavo-browser, a process of its own). Run inside an X
server:

    xvfb-run -a -s "-screen 0 1280x800x24 -noreset" bench/startup.py --kestavo PATH --bare PATH [--runs N]

(-noreset: without it the X server resets whenever its last client leaves, and a program starting in
that moment cannot connect.)

The console opens a fresh station database in a temporary folder each run (no session starts).
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def mapped(pid, needles):
    """Which of the libraries named by `needles` the process has mapped."""
    found = set()
    with open("/proc/%d/maps" % pid) as maps:
        for line in maps:
            for needle in needles:
                if needle in line:
                    found.add(needle)
    return found


HEAVY = ("libQt6WebEngineCore", "libLLVM", "_dri.so")


def shown(pid):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return found.returncode == 0 and found.stdout.strip() != ""


def one_run(command, env):
    started = time.monotonic()
    errors = tempfile.TemporaryFile()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=errors)
    try:
        while not shown(process.pid):
            if process.poll() is not None:
                errors.seek(0)
                raise RuntimeError("%s exited with %d before showing a window: %s"
                                   % (command[0], process.returncode, errors.read().decode(errors="replace")))
            if time.monotonic() - started > 60:
                raise RuntimeError("%s showed no window within 60 s" % command[0])
            time.sleep(0.005)
        elapsed_ms = (time.monotonic() - started) * 1000.0
        time.sleep(1.0)
        return elapsed_ms, peak_kib(process.pid), mapped(process.pid, HEAVY)
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kestavo", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("needs an X display: run it through xvfb-run", file=sys.stderr)
        return 2
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QTWEBENGINE_DISABLE_SANDBOX="1",
               QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu")
    results = {"console": [], "bare": []}
    with tempfile.TemporaryDirectory() as work:
        for run in range(args.runs):
            # Alternate the two so a change in the machine's load hits both alike.
            db = os.path.join(work, "ksv%d.dat" % run)
            results["console"].append(one_run([args.kestavo, "--db", db], env))
            results["bare"].append(one_run([args.bare], env))
    summary = {}
    for name, runs in results.items():
        times = [t for t, _, _ in runs]
        peaks = [p for _, p, _ in runs]
        heavy = sorted(set().union(*(m for _, _, m in runs)))
        summary[name] = (statistics.median(times), statistics.median(peaks))
        print("%-8s start-up to first window: median %7.1f ms (min %7.1f, max %7.1f); VmHWM median %7.1f MiB; "
              "mapped: %s" % (name, summary[name][0], min(times), max(times), summary[name][1] / 1024.0,
                              ", ".join(heavy) or "no QtWebEngine, no OpenGL driver"))
    print("ratio console/bare: start-up %.2f, peak memory %.2f (%d runs each)"
          % (summary["console"][0] / summary["bare"][0], summary["console"][1] / summary["bare"][1], args.runs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
