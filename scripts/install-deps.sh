#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and
# nothing when they are all there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  fonts-dejavu-core
  locales libc-l10n
  libcurl4-openssl-dev python3
  libqcustomplot-dev libqcustomplot2.1-qt6
  ser2net
  mosquitto mosquitto-clients libmosquitto-dev nlohmann-json3-dev openssl
)
# `make package`: dpkg-shlibdeps (dpkg-dev, which CPack runs with `file`), the
# icons' PNG sizes (rsvg-convert) and the package's checks.
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream)
fi
if [ "${1:-}" = "--gui-tools" ]; then
  packages+=(xvfb x11-utils xdotool imagemagick)
fi
# `make test-windows`: the MinGW-w64 cross compiler, GoogleTest's sources to
# build for Windows, Wine to run the tests, Python for their COM-port far side.
if [ "${1:-}" = "--windows" ]; then
  packages=(cmake ninja-build python3 g++-mingw-w64-x86-64-posix googletest wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
