#!/usr/bin/env bash
# The viewer's memory while both channels of a demo recording play with the
# web map loaded: proportional set size (PSS) of the viewer and all its
# processes (the web engine's helpers) together, after 8 s of playing. Next
# to it, in the same run: the viewer with the map page not loaded (offline),
# and GStreamer's playbin decoding the same file, for the floor of the
# media work. Goal: under 400 MB with the map.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target DrivoraViewer map_page make-card >/dev/null
card="$root/demo-card"
if [ ! -f "$card/.complete" ]; then
  rm -rf "$card"
  "$build/bin/make-card" "$card" >/dev/null
  touch "$card/.complete"
fi
export DRIVORA_AUDIO_SINK="${DRIVORA_AUDIO_SINK:-fakeaudiosink}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
first="$card/DRIVE/REC_20240315_081500_0.AVI"

# PSS in kB of a process and all its descendants.
tree_pss() {
  local pids=("$1") all=() p
  while [ ${#pids[@]} -gt 0 ]; do
    p=${pids[0]}; pids=("${pids[@]:1}"); all+=("$p")
    for c in $(cat /proc/"$p"/task/*/children 2>/dev/null); do pids+=("$c"); done
  done
  local total=0 v
  for p in "${all[@]}"; do
    v=$(awk '/^Pss:/ {print $2}' /proc/"$p"/smaps_rollup 2>/dev/null || echo 0)
    total=$((total + ${v:-0}))
  done
  echo "$total ${#all[@]}"
}

measure() { # label, command...
  local label=$1; shift
  "$@" </dev/null >/dev/null 2>&1 &
  local pid=$!
  sleep 8
  read -r kb count < <(tree_pss "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  printf "%-44s %7.1f MB in %d processes\n" "$label" "$(echo "$kb / 1024" | bc -l)" "$count"
  echo "$kb" > "$tmp/$label.kb"
}

tmp=$(mktemp -d)
display=":$((RANDOM % 400 + 100))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
DRIVORA_NETWORK=online measure "viewer, both channels, map loaded" "$build/bin/DrivoraViewer" "$card" --view all
DRIVORA_NETWORK=offline measure "viewer, both channels, no map page" "$build/bin/DrivoraViewer" "$card" --view all
measure "GStreamer's playbin, same file (no window)" \
  gst-launch-1.0 -q playbin uri="file://$first" video-sink="fakesink sync=true" audio-sink="fakesink sync=true"
with=$(cat "$tmp/viewer, both channels, map loaded.kb")
if [ "$with" -lt $((400 * 1024)) ]; then echo "result: goal met (< 400 MB)"; else echo "result: GOAL NOT MET"; exit 1; fi
