#!/usr/bin/env bash
# Times scanning and listing 10,000 recordings in nested folders against
# `find` over the same tree. Goal: the catalogue takes at most twice find's time.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target bench_catalogue_scan >/dev/null
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT

# 10,000 recordings in 100 folders of 4 levels, plus some other files.
python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
kinds = ["REC_", "EVT_", "PRK_", "MDI_"]
n = 0
for a in range(5):
    for b in range(4):
        for c in range(5):
            d = os.path.join(root, f"D{a}", f"S{b}", f"T{c}", "X")
            os.makedirs(d, exist_ok=True)
            for i in range(100):
                day = 1 + n % 28
                name = f"{kinds[n % 4]}2024{1 + n % 12:02d}{day:02d}_{n % 24:02d}{n % 60:02d}{(n * 7) % 60:02d}_0.AVI"
                if n % 50 == 0:
                    name = name[:-4] + "_LPSTART.AVI"
                open(os.path.join(d, name.replace("_0.", f"_{n % 10}.", 1)), "w").close()
                n += 1
            open(os.path.join(d, "notes.txt"), "w").close()
print(n, "recordings")
PY

runs=7
empty="$tree/empty-card"; mkdir -p "$empty"
python3 - "$build/bin/bench_catalogue_scan" "$tree" "$empty" "$runs" <<'PY'
import subprocess, sys, time
prog, tree, empty, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def wall(cmd):
    t = time.perf_counter(); out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return (time.perf_counter() - t) * 1000, out
find = min(wall(["find", tree, "-name", "*.AVI"])[0] for _ in range(runs))
runs_out = [wall([prog, tree]) for _ in range(runs)]
proc = min(r[0] for r in runs_out)
inside = min(float(r[1].split()[1]) for r in runs_out)
scan = min(float(r[1].split()[2]) for r in runs_out)
rows = int(runs_out[0][1].split()[0])
start = min(wall([prog, empty])[0] for _ in range(runs))
print(f"rows listed:                 {rows}")
print(f"find, whole process:         {find:7.2f} ms")
print(f"scan + list, in the viewer:  {inside:7.2f} ms (scan {scan:.2f} ms, list {inside - scan:.2f} ms)")
print(f"catalogue program, process:  {proc:7.2f} ms (of which {start:.2f} ms start-up on an empty card)")
ratio = inside / find
print(f"ratio scan + list / find:    {ratio:7.2f}x (goal <= 2.0x; best of {runs} runs each)")
sys.exit(0 if rows == 10000 and ratio <= 2.0 else 1)
PY
