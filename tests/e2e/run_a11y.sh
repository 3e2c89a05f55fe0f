#!/usr/bin/env bash
# Runs a11y_relay.py in its own X server and D-Bus session. Exit 77 (skipped) when the machine
# lacks the tools; otherwise the script's own result.
#   run_a11y.sh KESTAVO KSV_SIM KESTAVO_CLI
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
for tool in xvfb-run dbus-run-session /usr/bin/python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
  /usr/bin/python3 "$here/a11y_relay.py" --kestavo "$1" --sim "$2" --cli "$3"
