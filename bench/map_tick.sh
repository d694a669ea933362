#!/usr/bin/env bash
# The map's cost per playback tick with a one-hour track, next to the web
# engine's floor in the same run; see bench/map_tick.cpp.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target bench_map_tick map_page >/dev/null
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
"$build/bin/bench_map_tick" 2>/dev/null
