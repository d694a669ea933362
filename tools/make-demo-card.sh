#!/usr/bin/env bash
# Makes the demo memory card: recordings of every kind in the camera's naming.
set -euo pipefail
card="${1:?usage: make-demo-card.sh FOLDER}"
mkdir -p "$card"
names=(
  REC_20240315_081500_0.AVI REC_20240315_081600_0.AVI REC_20240315_081700_0.AVI
  EVT_20240315_081642_0.AVI PRK_20240315_180000_0.AVI MDI_20240315_181530_0_LPSTART.AVI
  REC_20240316_074500_0_LPSTOP.AVI
)
for n in "${names[@]}"; do : > "$card/$n"; done
touch "$card/.complete"
