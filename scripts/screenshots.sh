#!/usr/bin/env bash
# Re-takes docs/screenshots/*.png under Xvfb: a simulated unit on loopback (its status page on port
# 80, where the browser looks for it, so run as root), the console against it,
# driven through its accessibility interface. Needs a build (./test.sh or ./run.sh); BUILD picks
# another build folder. ONLY=trends takes only the Trends window (two minutes of the demo unit).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
if [ "${1:-}" = "--inner" ]; then
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1
  export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  "$BUILD/src/app/kestavo" --db "$TMP/ksv.dat" --unit-port "$PORT" >"$TMP/console.log" 2>&1 &
  /usr/bin/python3 scripts/screenshots.py "$OUT" "$BUILD/tools/kestavo-cli/kestavo-cli" "$PORT" "$TMP/ksv.dat"
  kill %1 2>/dev/null || true
  wait %1 2>/dev/null || true
  [ -n "${ONLY:-}" ] && exit 0
  # The Fleet window: a console of its own with the demo unit and fifty more.
  "$BUILD/src/app/kestavo" --demo --demo-fleet 50 >"$TMP/fleet.log" 2>&1 &
  fleet=$!
  FLEET=1 /usr/bin/python3 scripts/screenshots.py "$OUT" "$BUILD/tools/kestavo-cli/kestavo-cli" "$PORT" "$TMP/ksv.dat"
  kill "$fleet" 2>/dev/null || true
  exit 0
fi

export OUT=${1:-docs/screenshots}
export PORT=${PORT:-17007}
export TMP=$(mktemp -d)
export BUILD
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$TMP"' EXIT
mkdir -p "$OUT"
"$BUILD/tools/ksv-sim/ksv-sim" --port "$PORT" --password demo --boards 1,4 --demo --http-port ${HTTP_PORT:-80} >"$TMP/sim.log" 2>&1 &
"$BUILD/tools/kestavo-cli/kestavo-cli" --db "$TMP/ksv.dat" stations add 127.0.0.1 demo "Pump station (simulated)" >/dev/null
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- "$0" --inner
