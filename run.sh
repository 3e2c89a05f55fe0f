#!/usr/bin/env bash
# Set up, build and start the console. With no arguments it runs the demo:
# a simulated unit on loopback and a live session against it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
if [ -x build/src/app/kestavo ]; then
  if [ "$#" -eq 0 ]; then
    exec build/src/app/kestavo --demo
  fi
  exec build/src/app/kestavo "$@"
fi
echo "Build finished; the console executable is not part of this build yet."
