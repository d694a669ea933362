#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Safe to run again: it does nothing when everything is installed already.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # tests
  googletest libgtest-dev libgmock-dev
  # desktop interface and map
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-translations-l10n libjs-leaflet fonts-noto-cjk
  fonts-liberation2 xdg-user-dirs
  # media
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-x
  ffmpeg libyuv-dev
  # the report's SHA-256
  libssl-dev
  # virtual display, reports
  xvfb xauth poppler-utils
  # screenshots: clicks on the virtual display
  xdotool
  # formatting cards
  dosfstools
  # checking exports with tools of others
  gpsbabel libxml2-utils
  # benchmarks
  time bc python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
