#!/usr/bin/python3
"""CPU time of the console over a minute of its normal 1 Hz polling: `kestavo --connect` against
a `ksv-sim` process on loopback, utime + stime from /proc/<pid>/stat after a warm-up. The
simulator's own CPU time is reported beside it.

    bench/cpu_poll.py --kestavo PATH --sim PATH [--seconds 60] [--warmup 5]

The console runs offscreen (QT_QPA_PLATFORM=offscreen), so no X server is needed.
"""

import argparse
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # fields[0] is the state (field 3); utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / TICKS


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--kestavo", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--warmup", type=float, default=5)
    args = parser.parse_args()
    port = free_udp_port()
    with tempfile.TemporaryDirectory() as work:
        db = os.path.join(work, "ksv.dat")
        subprocess.run([args.cli, "--db", db, "stations", "add", "127.0.0.1", "bench", "CPU bench"],
                       check=True, stdout=subprocess.DEVNULL)
        sim = subprocess.Popen([args.sim, "--port", str(port), "--password", "bench"], stdout=subprocess.PIPE,
                               text=True)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QTWEBENGINE_DISABLE_SANDBOX="1")
        console = subprocess.Popen([args.kestavo, "--db", db, "--unit-port", str(port), "--connect"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(args.warmup)
            if console.poll() is not None:
                print("the console exited during the warm-up", file=sys.stderr)
                return 1
            c0, s0, t0 = cpu_seconds(console.pid), cpu_seconds(sim.pid), time.monotonic()
            time.sleep(args.seconds)
            c1, s1, t1 = cpu_seconds(console.pid), cpu_seconds(sim.pid), time.monotonic()
        finally:
            console.terminate()
            sim.send_signal(signal.SIGINT)  # the simulator prints its counters on the way out
            for process in (console, sim):
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
    counters = sim.stdout.read()
    accepted = re.search(r"accepted (\d+)", counters)
    wall = t1 - t0
    # The console really polled all along: about one accepted frame per second of the whole run.
    if not accepted or int(accepted.group(1)) < 0.9 * (args.seconds + args.warmup):
        print("the simulator did not see the console's polls:", counters.strip(), file=sys.stderr)
        return 1
    print("simulator:", counters.strip().splitlines()[-1])
    print("over %.1f s of 1 Hz polling: console %.2f s CPU (%.2f %% of one core, %.1f ms per poll); "
          "simulator %.2f s CPU (%.2f %%)"
          % (wall, c1 - c0, 100 * (c1 - c0) / wall, 1000 * (c1 - c0) / wall, s1 - s0, 100 * (s1 - s0) / wall))
    return 0


if __name__ == "__main__":
    sys.exit(main())
