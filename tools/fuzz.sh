#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each for
# the given number of seconds (default 30) on seeds made from real encoder
# output and from a generated recording. Fails when a fuzzer finds a fault.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDRIVORA_GUI=OFF -DDRIVORA_TESTS=OFF -DDRIVORA_FUZZ=ON -DDRIVORA_SANITIZE=ON >/dev/null
cmake --build "$build" --target clipmux_fuzz recording_fuzz handover_fuzz handover_seeds make-card >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/recordings"
make_seed() { # kind-byte codec format options name
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=10 -frames:v 8 -c:v "$2" -g 5 $4 -f "$3" "$work/s"
  { printf "\\x$1\\x00"; cat "$work/s"; } > "$work/corpus/seed-$5"
}
make_seed 00 libx264 h264 "-bf 0" h264
make_seed 00 libx264 h264 "-bf 3 -x264-params b-pyramid=normal:weightp=2:ref=3" h264-b
make_seed 01 mpeg4 m4v "" m4v
make_seed 01 mpeg4 m4v "-bf 2" m4v-b
make_seed 02 h263 h263 "" h263
"$build/bin/make-card" "$work/card" --small >/dev/null
cp "$work/card/PARKING/PRK_20240315_093000_0.AVI" "$work/recordings/seed.avi"
mkdir -p "$work/handover"
"$build/bin/handover_seeds" "$work/handover"

cd "$work"
result=0
for target in clipmux_fuzz:corpus recording_fuzz:recordings handover_fuzz:handover; do
  name="${target%%:*}"; corpus="$work/${target##*:}"
  status=0
  "$build/bin/$name" -max_total_time="$seconds" -max_len=400000 -rss_limit_mb=4096 -print_final_stats=1 \
    "$corpus" > "$work/$name.log" 2>&1 || status=$?
  echo "$name: $(grep -E '^stat::number_of_executed_units' "$work/$name.log" | awk '{print $2}') runs"
  if [ "$status" -ne 0 ]; then
    tail -40 "$work/$name.log"
    echo "$name found a fault (exit $status)"
    result=1
  fi
done
exit "$result"
