#!/usr/bin/env bash
# Times draining the telemetry of a 30-minute recording (18,000 G-sensor
# samples, 1,800 GPS fixes) with small and with large video, next to ffprobe
# counting the same records. Goal: the drain time depends on the number of
# records, not on the size of the video.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
work="${BENCH_DIR:-/tmp/telemetry-bench}"
cmake --build "$build" --target bench_telemetry_drain >/dev/null
mkdir -p "$work"
"$build/bin/bench_telemetry_drain" "$work" > "$work/drain.out"
printf "%-12s %10s %8s %12s %14s\n" recording "size MB" records "drain ms" "ffprobe ms"
while read -r kind bytes records ms; do
  start=$(date +%s%N)
  n=$(ffprobe -v error -select_streams 2 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$work/$kind.avi")
  probe_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  printf "%-12s %10.1f %8s %12s %14s  (ffprobe counted %s packets)\n" "$kind" "$(echo "$bytes / 1000000" | bc -l)" \
    "$records" "$ms" "$probe_ms" "$n"
done < "$work/drain.out"
python3 - "$work/drain.out" <<'PY'
import sys
rows = [l.split() for l in open(sys.argv[1])]
small, large = float(rows[0][3]), float(rows[1][3])
size_ratio = int(rows[1][1]) / int(rows[0][1])
print(f"video size x{size_ratio:.0f}, drain time x{large / small:.2f} (goal: about the same)")
sys.exit(0 if large / small < 3 and rows[0][2] == rows[1][2] == "19800" else 1)
PY
