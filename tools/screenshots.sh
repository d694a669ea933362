#!/usr/bin/env bash
# Makes the pictures in docs/screenshots again: the viewer on the demo card,
# on a virtual screen, in each state the documentation shows. The map has no
# tiles here (no internet): it shows the car's marker on its plain ground.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="$root/docs/screenshots"
card="$root/demo-card"
cmake --build "$build" --target DrivoraViewer map_page make-card >/dev/null
if [ ! -f "$card/.complete" ]; then
  rm -rf "$card"
  "$build/bin/make-card" "$card" >/dev/null
  touch "$card/.complete"
fi
mkdir -p "$out"
export DRIVORA_AUDIO_SINK=fakeaudiosink
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
viewer="$build/bin/DrivoraViewer"

window() { # name, network, arguments...
  local name=$1 network=$2; shift 2
  DRIVORA_NETWORK=$network QT_QPA_PLATFORM=offscreen "$viewer" "$@" --screenshot "$out/$name.png" >/dev/null 2>&1
  echo "$out/$name.png"
}
screen() { # name, screen size, arguments...
  local name=$1 size=$2; shift 2
  DRIVORA_NETWORK=online xvfb-run -a -s "-screen 0 ${size}x24" "$viewer" "$@" --screenshot-screen "$out/$name.png" \
    >/dev/null 2>&1
  echo "$out/$name.png"
}

window main-window-idle online
window main-window-playing online "$card"
window main-window-rear online "$card" --view rear
window main-window-both online "$card" --view all
window main-window-1600x900 online "$card" --size 1600x900
# The list: the open folder named above it, each recording's length.
window list-folder-and-lengths online "$card"
window map-no-connection offline "$card"
window map-no-data online "$card/PARKING/PRK_20240315_093000_0.AVI"
DRIVORA_NETWORK=online xvfb-run -a -s "-screen 0 1920x1080x24" "$viewer" "$card" --maximized \
  --screenshot "$out/main-window-maximized-1920x1080.png" >/dev/null 2>&1
echo "$out/main-window-maximized-1920x1080.png"
screen map-floating 1400x880 "$card" --at 20,110 --map-window
screen magnifier-over-video 1400x880 "$card" --at 20,40 --zoom-at 650,462
screen settings-dialog 1400x880 "$card" --at 20,40 --settings
# The printed report of a moment, as PDF pages.
DRIVORA_NETWORK=online QT_QPA_PLATFORM=offscreen "$viewer" "$card" --view all --print-to "$out/report.pdf" >/dev/null 2>&1
pdftoppm -r 60 -png "$out/report.pdf" "$out/report-page"
rm -f "$out/report.pdf"
echo "$out/report-page-1.png $out/report-page-2.png"
# Impacts marked on the timeline and the graph of the event recording.
DRIVORA_NETWORK=online QT_QPA_PLATFORM=offscreen "$viewer" "$card/EVENT/EVT_20240315_081612_0.AVI" \
  --screenshot "$out/impact-marks.png" >/dev/null 2>&1
echo "$out/impact-marks.png"
# The whole trip's route (the first two recordings follow on each other).
DRIVORA_NETWORK=online QT_QPA_PLATFORM=offscreen "$viewer" "$card" --trip-view \
  --screenshot "$out/map-trip-route.png" >/dev/null 2>&1
echo "$out/map-trip-route.png"
# The list menu's export of every recording, halfway.
DRIVORA_NETWORK=online xvfb-run -a -s "-screen 0 1400x880x24" "$viewer" "$card" --at 20,40 \
  --export-list "$(mktemp -d)/card.gpx" --screenshot-screen "$out/export-progress.png" >/dev/null 2>&1
echo "$out/export-progress.png"
# The report reading a long recording (2 GB, its rest a hole in the file), halfway.
long="$(mktemp -d)"
mkdir -p "$long/DRIVE"
cp "$card/DRIVE/REC_20240315_081500_0.AVI" "$long/DRIVE/"
truncate -s 2G "$long/DRIVE/REC_20240315_081500_0.AVI"
DRIVORA_NETWORK=online xvfb-run -a -s "-screen 0 1400x880x24" "$viewer" "$long" --at 20,40 \
  --print-to "$long/report.pdf" --screenshot-screen "$out/report-digest-progress.png" >/dev/null 2>&1
rm -rf "$long"
echo "$out/report-digest-progress.png"
# The message that names the PDF: the print button clicked, the printer dialog
# (no printer: preset to a file in the picture folder) answered with Return.
home="$(mktemp -d)"
HOME="$home" DRIVORA_NETWORK=offline xvfb-run -a -s "-screen 0 1400x880x24" bash -c '
  "$1" "$2" --at 20,40 >/dev/null 2>&1 & viewer=$!
  sleep 6
  xdotool mousemove 133 64 click 1
  sleep 3
  xdotool key Return
  sleep 4
  ffmpeg -loglevel error -y -f x11grab -video_size 1400x880 -i "$DISPLAY" -frames:v 1 "$3"
  kill $viewer' _ "$viewer" "$card" "$out/report-saved.png"
rm -rf "$home"
echo "$out/report-saved.png"
# The settings dialog where no volume can be the camera's card (the card's
# part waits; the viewer's own options can be saved).
screen settings-dialog-no-card 1400x880 "$card" --at 20,40 --settings
# The camera's clock at the picture, at the end of the time line.
window main-window-clock online "$card" --view all
# A folder without recordings.
empty="$(mktemp -d)"
window list-no-recordings online "$empty"
rm -rf "$empty"
# The video area on the whole screen (F11), both channels.
DRIVORA_NETWORK=offline xvfb-run -a -s "-screen 0 1600x900x24" bash -c '
  "$1" "$2" --view all --at 0,0 >/dev/null 2>&1 & viewer=$!
  sleep 6
  xdotool key space key F11
  sleep 3
  ffmpeg -loglevel error -y -f x11grab -video_size 1600x900 -i "$DISPLAY" -frames:v 1 "$3"
  kill $viewer' _ "$viewer" "$card" "$out/video-full-screen.png"
echo "$out/video-full-screen.png"
# A recording whose pictures are in a coding the viewer does not decode (its
# headers say H.265): the sound, gauge, graph and map play, the screen says why.
hevc="$(mktemp -d)"
mkdir -p "$hevc/DRIVE"
python3 - "$card/DRIVE/REC_20240315_081500_0.AVI" "$hevc/DRIVE/REC_20240315_081500_0.AVI" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read().replace(b'H264', b'HEVC')
open(sys.argv[2], 'wb').write(data)
PY
window no-decodable-pictures online "$hevc" --view all
rm -rf "$hevc"
