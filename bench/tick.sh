#!/usr/bin/env bash
# The cost of one timeline tick with a one-hour recording's telemetry
# (goal under 0.2 ms); see bench/tick.cpp.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target bench_tick >/dev/null
"$build/bin/bench_tick"
