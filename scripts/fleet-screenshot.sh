#!/usr/bin/env bash
# Takes docs/screenshots/fleet.png under Xvfb: the console in demo mode with a simulated fleet of
# fifty units (--demo-fleet 50), the Fleet window opened from the Monitor menu, problems first.
# Needs a build (BUILD picks another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
OUT=${1:-docs/screenshots}
if [ "${2:-}" = "--inner" ]; then
  export QT_QPA_PLATFORM=xcb
  HOME=$(mktemp -d) "$BUILD/src/app/kestavo" --demo --demo-fleet 50 --history none >/dev/null 2>&1 &
  sleep 4
  main=$(xdotool search --onlyvisible --name 'Kestavo' | head -1)
  xdotool windowfocus --sync "$main"; xdotool key alt+m
  sleep 1
  xdotool key f
  sleep 8 # every unit polled at least once (5 s interval), ages ticking
  fleet=$(xdotool search --onlyvisible --name '^Fleet$' | head -1)
  xdotool windowfocus --sync "$fleet"; xdotool key alt+p
  sleep 1
  timeout 20 import -window "$fleet" "$OUT/fleet.png"
  kill %1 2>/dev/null || true
  exit 0
fi
mkdir -p "$OUT"
xvfb-run -a -s "-screen 0 1280x800x24 -noreset" "$0" "$OUT" --inner
