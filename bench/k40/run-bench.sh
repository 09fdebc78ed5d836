#!/usr/bin/env bash
# Runs the K40 benchmark in-process, over a forked pty peer and over two corvane-sim
# instruments (one answering, one silent for the time-out wait).
# Usage: bench/k40/run-bench.sh [build folder, default build/dev] [seconds, default 5]
set -euo pipefail
BUILD=${1:-build/dev}
SECONDS_PER_RUN=${2:-5}
LIVE=/tmp/corvane-bench-k40-$$
SILENT=/tmp/corvane-bench-k40-silent-$$
"$BUILD/sim/corvane-sim" --link "$LIVE" --instrument k40p --pressure 1.234 >/dev/null 2>&1 &
LIVE_PID=$!
"$BUILD/sim/corvane-sim" --link "$SILENT" --instrument k40p --silent >/dev/null 2>&1 &
SILENT_PID=$!
trap 'kill "$LIVE_PID" "$SILENT_PID" 2>/dev/null; wait "$LIVE_PID" "$SILENT_PID" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$LIVE" ] && [ -e "$SILENT" ] && break; sleep 0.1; done
"$BUILD/bench/k40/bench_k40" "$SECONDS_PER_RUN" 9600 "$LIVE" "$SILENT"
