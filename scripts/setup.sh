#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, then configures build/.
# Safe to run again: apt-get only runs when a package is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  qt6-base-dev libqt6sql6-sqlite libsqlite3-dev qt6-charts-dev qt6-multimedia-dev qt6-webengine-dev qt6-svg-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  at-spi2-core python3-pyatspi imagemagick xdotool netcat-openbsd
  help2man qt6-l10n-tools qt6-tools-dev dpkg-dev lintian desktop-file-utils appstream
  libmicrohttpd-dev libmosquitto-dev mosquitto mosquitto-clients prometheus
  libcurl4-openssl-dev python3-aiosmtpd
  libqt6sql6-psql postgresql-15
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@"
cmake --build "$BUILD_DIR" -j "$(nproc)"
