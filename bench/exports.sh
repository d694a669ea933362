#!/usr/bin/env bash
# The exports next to tools that read the same files, in the same run:
# GPX and CSV of a 30-minute recording and of a card of 100 one-minute
# recordings, next to ffprobe reading their telemetry streams; the clip export
# of a 1280 x 720 channel next to `ffmpeg -c copy` of the same channel.
# Goals: GPX/CSV not slower than ffprobe; the clip not slower than ffmpeg.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
work="${BENCH_DIR:-/tmp/export-bench}"
cmake --build "$build" --target DrivoraViewer make-recording >/dev/null
mkdir -p "$work/card/DRIVE" "$work/out"
viewer="$build/bin/DrivoraViewer"

long="$work/REC_20240315_080000_0.AVI"
[ -f "$long" ] || "$build/bin/make-recording" "$long" 320 180 0 0 5 1800 >/dev/null
if [ ! -f "$work/card/.complete" ]; then
  for i in $(seq 0 99); do
    name=$(printf "REC_20240315_%02d%02d00_0.AVI" $((8 + i / 60)) $((i % 60)))
    "$build/bin/make-recording" "$work/card/DRIVE/$name" 160 90 0 0 2 60 >/dev/null
  done
  touch "$work/card/.complete"
fi
clip_src="$work/REC_20240315_090000_0.AVI"
[ -f "$clip_src" ] || "$build/bin/make-recording" "$clip_src" 1280 720 0 0 30 60 >/dev/null

ms() { local s; s=$(date +%s%N); "$@" >/dev/null 2>&1; echo $(( ($(date +%s%N) - s) / 1000000 )); }
# ffprobe reading every packet of a file (as the export reads the index and every record).
probe_all() { for f in "$@"; do ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$f"; done; }
best() { local b=999999999 t; for _ in 1 2 3; do t=$(ms "$@"); [ "$t" -lt "$b" ] && b=$t; done; echo "$b"; }

ok=1
printf "%-36s %12s %12s\n" "" "export ms" "reference ms"
for what in gpx csv; do
  e=$(best "$viewer" --export "$what" "$long" --output "$work/out/long.$what")
  r=$(best probe_all "$long")
  printf "%-36s %12s %12s  (ffprobe)\n" "30-minute recording, $what" "$e" "$r"
  [ "$e" -le "$r" ] || ok=0
  e=$(best "$viewer" --export "$what" "$work/card" --output "$work/out/card.$what")
  r=$(best probe_all "$work"/card/DRIVE/*.AVI)
  printf "%-36s %12s %12s  (ffprobe, one run a file)\n" "100-recording card, $what" "$e" "$r"
  [ "$e" -le "$r" ] || ok=0
done
e=$(best "$viewer" --export clip "$clip_src" --output "$work/out/clip.mp4")
r=$(best ffmpeg -y -v error -i "$clip_src" -map 0:v:0 -c copy "$work/out/ffmpeg.mp4")
printf "%-36s %12s %12s  (ffmpeg -c copy)\n" "clip of a 60 s 720p channel" "$e" "$r"
[ "$e" -le "$r" ] || ok=0
if [ "$ok" = 1 ]; then echo "result: goals met"; else echo "result: GOALS NOT MET"; exit 1; fi
