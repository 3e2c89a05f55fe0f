#!/usr/bin/env bash
# kestavo-agent at scale: N simulated units (one ksv-sim process, --address-per-unit) polled once a
# second with history on; the agent's CPU share over S seconds, the time of ten /metrics scrapes, and
# the polls lost over the run.
#   bench/agent.sh N [S]     (BUILD picks the build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
N=${1:-1000}
S=${2:-30}
TMP=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$TMP"' EXIT
"$BUILD/tools/ksv-sim/ksv-sim" --units "$N" --address-per-unit --bind 127.0.1.1 --port 0 --steady >"$TMP/sim.log" &
for _ in $(seq 100); do grep -q port "$TMP/sim.log" 2>/dev/null && break; sleep 0.2; done
PORT=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$TMP/sim.log" | head -1)
python3 - "$N" >"$TMP/stations.csv" <<'PY'
import sys
n = int(sys.argv[1])
for k in range(n):
    a = (127 << 24) | (1 << 8) | 1
    a += k
    print(f"{a >> 24 & 255}.{a >> 16 & 255}.{a >> 8 & 255}.{a & 255},password,Unit {k + 1}")
PY
"$BUILD/tools/kestavo-cli/kestavo-cli" --db "$TMP/ksv.dat" stations import "$TMP/stations.csv" >/dev/null
LISTEN=127.0.0.1:$((20000 + RANDOM % 20000))
"$BUILD/tools/kestavo-agent/kestavo-agent" --db "$TMP/ksv.dat" --history "$TMP/history.db" --unit-port "$PORT" \
  --interval-ms 1000 --listen "$LISTEN" >"$TMP/agent.log" 2>&1 &
AGENT=$!
sleep 5
ticks() { awk '{print $14 + $15}' "/proc/$AGENT/stat"; }
t0=$(ticks); sleep "$S"; t1=$(ticks)
hz=$(getconf CLK_TCK)
echo "units $N: agent CPU $(python3 -c "print(f'{($t1 - $t0) / $hz / $S * 100:.1f}')") % of one core over $S s"
for _ in $(seq 10); do curl -s -o "$TMP/scrape.txt" -w '%{time_total}\n' "http://$LISTEN/metrics"; done |
  sort -n | awk '{a[NR]=$1} END {printf "scrape: median %.1f ms, max %.1f ms", a[int((NR+1)/2)]*1000, a[NR]*1000}'
echo ", $(wc -c <"$TMP/scrape.txt") bytes, $(grep -c '^kestavo_up{' "$TMP/scrape.txt") units up"
grep VmHWM "/proc/$AGENT/status"
# Polls lost over the whole run, scrapes included: a scrape that held up the event loop for longer
# than a poll interval would show here.
curl -s "http://$LISTEN/metrics" | awk '/^kestavo_polls_lost_total/ {l += $NF} /^kestavo_polls_sent_total/ {s += $NF}
  END {printf "polls sent %d, lost %d\n", s, l}'
