#!/usr/bin/env bash
# Peak memory of the clip export of a recording of at least 600 MB (made once
# by the card generator), next to `ffmpeg -c copy` of the same channel in the
# same run, with both clips' picture counts and wall times.
# Goal: the export's peak memory under 150 MB, whatever the recording's size,
# with as many pictures as ffmpeg's clip.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
work="${BENCH_DIR:-/tmp/clip-memory-bench}"
cmake --build "$build" --target DrivoraViewer make-card >/dev/null
mkdir -p "$work/out"
cd "$work"

recording="$work/card/DRIVE/REC_20240315_090000_0.AVI"
if [ ! -f "$recording" ] || [ "$(stat -c %s "$recording")" -lt 600000000 ]; then
  echo "making a recording of at least 600 MB (once, a few minutes)..."
  rm -rf "$work/card"
  "$build/bin/make-card" "$work/card" --large 600 >/dev/null
fi
size_mb=$(( $(stat -c %s "$recording") / 1000000 ))

rm -f out/*
cat "$recording" > /dev/null # the same warm page cache for both tools
status=0
env -u DISPLAY /usr/bin/time -f "%e %M" -o export.time \
  "$build/bin/DrivoraViewer" --export clip "$recording" --output out/clip.mp4 > export.log 2>&1 || status=$?
/usr/bin/time -f "%e %M" -o ffmpeg.time \
  ffmpeg -nostdin -v error -y -i "$recording" -map 0:v:0 -c copy out/ffmpeg.mp4
read -r ex_wall ex_kb < <(tail -1 export.time)
read -r ff_wall ff_kb < <(tail -1 ffmpeg.time)
count() { ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>/dev/null || echo 0; }
ex_frames=0
[ -f out/clip.mp4 ] && ex_frames=$(count out/clip.mp4)
ff_frames=$(count out/ffmpeg.mp4)
[ "$status" = 0 ] || { echo "the export failed (status $status):"; cat export.log; }
rm -f out/*
python3 - "$size_mb" "$status" "$ex_wall" "$ex_kb" "$ff_wall" "$ff_kb" "$ex_frames" "$ff_frames" <<'PY'
import sys
size, status, ex, ex_kb, ff, ff_kb, exf, fff = sys.argv[1:]
ex, ff, ex_kb, ff_kb = float(ex), float(ff), int(ex_kb), int(ff_kb)
print(f"recording:        {size} MB, front channel 1280 x 720")
print(f"clip export:      {ex:6.2f} s wall, peak memory {ex_kb / 1024:.1f} MB (goal < 150 MB)")
print(f"ffmpeg -c copy:   {ff:6.2f} s wall, peak memory {ff_kb / 1024:.1f} MB")
print(f"pictures:         export {exf}, ffmpeg {fff} ({'equal' if exf == fff else 'DIFFERENT'})")
ok = status == "0" and ex_kb < 150 * 1024 and exf == fff
print("result:           " + ("goals met" if ok else "GOALS NOT MET"))
sys.exit(0 if ok else 1)
PY
