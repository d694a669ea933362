#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j "$(nproc)"
