#!/usr/bin/env bash
# Times clipmux against `ffmpeg -c copy` on 1080p H.264 streams of at least
# 500 MB, in the same run, and prints wall times, the ratio, clipmux's peak
# memory and the frame counts of both outputs: one stream without B-frames
# (as the camera writes) and one with three B-frames in a pyramid (as most
# encoders write by default).
# Goals: clipmux at least 1.5x faster than ffmpeg; peak memory under 32 MB.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
work="${BENCH_DIR:-/tmp/clipmux-bench}"
cmake --build "$build" --target clipmux >/dev/null
mkdir -p "$work"
cd "$work"

make_stream() { # name, x264 options
  if [ ! -f "$1" ] || [ "$(stat -c %s "$1")" -lt 500000000 ]; then
    echo "making $1, a 1080p H.264 stream of at least 500 MB (once)..."
    # A minute of 1080p at about 13 Mbit/s (a dashcam's rate), repeated: each
    # copy starts with its parameter sets and an IDR picture, so the whole is
    # one valid stream.
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30,noise=alls=3:allf=t" -t 60 \
      -c:v libx264 -preset ultrafast -qp 24 $2 -g 30 -f h264 part.264
    : > "$1"
    while [ "$(stat -c %s "$1")" -lt 500000000 ]; do cat part.264 >> "$1"; done
    rm -f part.264
  fi
}

result=0
run() { # name, what
  local name=$1 stem=${1%.264}
  local size_mb=$(( $(stat -c %s "$name") / 1000000 ))
  cat "$name" > /dev/null # the same warm page cache for both tools
  rm -f "$stem.3gp" "ff-$stem.3gp"
  /usr/bin/time -f "%e %M" -o clipmux.time "$build/bin/clipmux" "$name" 1920 1080 33 > clipmux.log
  /usr/bin/time -f "%e %M" -o ffmpeg.time ffmpeg -nostdin -v error -y -f h264 -i "$name" -c copy "ff-$stem.3gp"
  local cm_wall cm_kb ff_wall ff_kb cm_frames ff_frames
  read -r cm_wall cm_kb < clipmux.time
  read -r ff_wall ff_kb < ffmpeg.time
  cm_frames=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$stem.3gp")
  ff_frames=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "ff-$stem.3gp")
  rm -f "$stem.3gp" "ff-$stem.3gp"
  python3 - "$2" "$size_mb" "$cm_wall" "$cm_kb" "$ff_wall" "$ff_kb" "$cm_frames" "$ff_frames" <<'PY' || result=1
import sys
what, size, cm, cm_kb, ff, ff_kb, cmf, fff = sys.argv[1:]
cm, ff, cm_kb, ff_kb = float(cm), float(ff), int(cm_kb), int(ff_kb)
ratio = ff / cm if cm > 0 else float("inf")
print(f"input:            {size} MB of 1080p H.264, {what}")
print(f"clipmux:          {cm:6.2f} s wall, peak memory {cm_kb / 1024:.1f} MB")
print(f"ffmpeg -c copy:   {ff:6.2f} s wall, peak memory {ff_kb / 1024:.1f} MB")
print(f"speed-up:         {ratio:.2f}x (goal >= 1.5x)")
print(f"frames:           clipmux {cmf}, ffmpeg {fff} ({'equal' if cmf == fff else 'DIFFERENT'})")
ok = ratio >= 1.5 and cm_kb < 32 * 1024 and cmf == fff
print("result:           " + ("goals met" if ok else "GOALS NOT MET"))
print()
sys.exit(0 if ok else 1)
PY
}

make_stream big.264 "-bf 0"
make_stream bframes.264 "-bf 3 -x264-params b-pyramid=normal"
run big.264 "no B-frames"
run bframes.264 "three B-frames in a pyramid"
exit "$result"
