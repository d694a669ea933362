#!/usr/bin/env bash
# Opens a card of 1,000 recordings as the list does: the rows come at once
# and the lengths follow from a worker thread, reading only each recording's
# headers. Reference: one Python process reading the first 64 KiB of each of
# the same files (the bytes the length reader may read of each). Goals: the rows within 2x the catalogue
# benchmark's budget for 1,000 files (100 ms), every length known, and the
# lengths all in at most 2x the reference's time.
set -euo pipefail
shopt -s inherit_errexit
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake --build "$build" --target bench_list_lengths make-card >/dev/null
card="$(mktemp -d)"
trap 'rm -rf "$card"' EXIT
"$build/bin/make-card" "$card/source" --small >/dev/null
# 1,000 recordings: the small card's copied under names a minute apart.
python3 - "$card" <<'PY'
import os, shutil, sys
root = sys.argv[1]
src = [os.path.join(dp, f) for dp, _, fs in os.walk(os.path.join(root, "source")) for f in fs if f.upper().endswith(".AVI")]
os.makedirs(os.path.join(root, "card", "DRIVE"))
for n in range(1000):
    name = f"REC_2024{1 + n // 600:02d}{1 + n // 60 % 10:02d}_{n % 24:02d}{n % 60:02d}00_0.AVI"
    shutil.copyfile(src[n % len(src)], os.path.join(root, "card", "DRIVE", name))
PY
python3 - "$build/bin/bench_list_lengths" "$card/card" <<'PY'
import glob, os, subprocess, sys, time
prog, card = sys.argv[1], sys.argv[2]
files = sorted(glob.glob(os.path.join(card, "DRIVE", "*.AVI")))
def wall(cmd):
    t = time.perf_counter(); out = subprocess.run(cmd, check=True, capture_output=True).stdout
    return (time.perf_counter() - t) * 1000, out
runs = 5
reader = "import sys\nfor f in sys.argv[1:]:\n    with open(f, 'rb') as h: h.read(65536)\n"
head = min(wall([sys.executable, "-c", reader] + files)[0] for _ in range(runs))
results = [wall([prog, card])[1].decode().split() for _ in range(runs)]
rows = int(results[0][0])
rows_ms = min(float(r[1]) for r in results)
all_ms = min(float(r[2]) for r in results)
known = min(int(r[3]) for r in results)
print(f"recordings listed:          {rows}")
print(f"rows there (window's part): {rows_ms:8.2f} ms")
print(f"every length in:            {all_ms:8.2f} ms ({known} known)")
print(f"Python, 64 KiB of each file: {head:7.2f} ms")
ok = rows == 1000 and known == 1000 and rows_ms <= 100 and all_ms <= 2 * head
print(f"ratio lengths / Python:     {all_ms / head:8.2f}x (goal <= 2.0x; rows <= 100 ms; best of {runs} runs)")
sys.exit(0 if ok else 1)
PY
