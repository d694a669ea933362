#!/usr/bin/env bash
# Sets up the machine, builds the viewer, makes the demo card once and opens it
# in the viewer. Without a display the viewer runs on a virtual one and a
# screenshot is saved to out/viewer.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
build="${BUILD_DIR:-$root/build}"
card="$root/demo-card"
if [ ! -f "$card/.complete" ]; then
  echo "Making the demo card (once)..."
  rm -rf "$card"
  "$build/bin/make-card" "$card"
  touch "$card/.complete"
fi
mkdir -p "$root/out"
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/bin/DrivoraViewer" --open "$card"
else
  xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/bin/DrivoraViewer" --open "$card" --screenshot "$root/out/viewer.png"
  echo "Screenshot saved to $root/out/viewer.png"
fi
