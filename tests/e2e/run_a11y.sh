#!/usr/bin/env bash
# Runs a11y_relay.py in an X server and a D-Bus session of its own. Exit 77 (skipped) when the
# machine lacks the tools; otherwise the script's own result.
#   run_a11y.sh KESTAVO KSV_SIM KESTAVO_CLI
# Xvfb picks a free display itself (-displayfd): `xvfb-run -a` guesses one from lock files and can
# lose the race against another X server starting at the same moment. -noreset: the accessibility
# bus launcher connects to X and leaves again, and a server resetting after its last client
# refuses whoever connects in that moment (the console, "could not connect to display").
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb dbus-run-session xdotool /usr/bin/python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

work="$(mktemp -d)"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb gave no display within 10 s"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
dbus-run-session -- /usr/bin/python3 "$here/a11y_relay.py" --kestavo "$1" --sim "$2" --cli "$3"
