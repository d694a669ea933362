#!/usr/bin/env bash
# The magnifier's CPU while shown on a 1920 x 1080 screen (goal under 5 % of
# one core, viewer and X server together), next to copying the whole screen
# each tick, in the same run; see bench/zoom.cpp.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target bench_zoom >/dev/null
display=":$((RANDOM % 400 + 100))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$build/bin/bench_zoom" "$server" "${1:-5}"
