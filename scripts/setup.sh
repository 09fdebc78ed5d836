#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Corvane need.
# Idempotent: when everything is present it changes nothing and asks no registry.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libqcustomplot-dev libsimpleini-dev libboost-stacktrace-dev libgl1-mesa-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth dbus dbus-x11 at-spi2-core python3 python3-pyatspi xdotool imagemagick poppler-utils
  fonts-dejavu-core ccache
  file dpkg-dev librsvg2-bin groff-base desktop-file-utils appstream x11-utils python3-gi
  gir1.2-glib-2.0
  ser2net
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
