#!/usr/bin/env bash
# Builds the clipmux fuzz target (clang, libFuzzer, ASan, UBSan) and runs it
# for the given number of seconds (default 30) on seeds made from real
# encoder output. Fails when the fuzzer finds a crash.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDRIVORA_GUI=OFF -DDRIVORA_TESTS=OFF -DDRIVORA_FUZZ=ON -DDRIVORA_SANITIZE=ON >/dev/null
cmake --build "$build" --target clipmux_fuzz >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
make_seed() { # kind-byte codec format
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=10 -frames:v 5 -c:v "$2" -g 3 $4 -f "$3" "$work/s"
  { printf "\\x$1\\x00"; cat "$work/s"; } > "$work/corpus/seed-$3"
}
make_seed 00 libx264 h264 "-bf 0"
make_seed 01 mpeg4 m4v ""
make_seed 02 h263 h263 ""
cd "$work"
status=0
"$build/bin/clipmux_fuzz" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 -print_final_stats=1 \
  "$work/corpus" > "$work/fuzz.log" 2>&1 || status=$?
grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)" "$work/fuzz.log" || true
if [ "$status" -ne 0 ]; then
  tail -40 "$work/fuzz.log"
  echo "clipmux fuzzing found a fault (exit $status)"
fi
exit "$status"
