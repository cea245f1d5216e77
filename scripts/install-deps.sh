#!/usr/bin/env bash
# Installs the Debian packages that building, testing or packaging need, and
# nothing when they are all there already.
#
#   install-deps.sh              building and testing (make build, make test, make run)
#   install-deps.sh --package    building the .deb only (make package): no test tools
#   install-deps.sh --gui-tools  building and testing, and what scripts/screenshot.sh drives
#   install-deps.sh --windows    the Windows build of the core under Wine (make test-windows)
set -euo pipefail

# What the program is built with.
build=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6
  libmosquitto-dev nlohmann-json3-dev
)
# What only the tests and benchmarks use.
tests=(
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  locales libc-l10n
  python3 python3-pymodbus
  mosquitto-clients openssl
)
# Test tools whose Debian package starts a system service of its own: they
# are installed with the start prevented and their service disabled, so none
# runs by our doing (the tests start their own instance on a free loopback
# port). The service's unit is named as its package. One that was installed
# before is left as it was.
services=(ser2net mosquitto)

packages=("${build[@]}" "${tests[@]}" "${services[@]}")
case "${1:-}" in
  "") ;;
  # `make package`: dpkg-shlibdeps (dpkg-dev, which CPack runs with `file`),
  # the icons' PNG sizes (rsvg-convert) and the package's checks.
  --package)
    packages=("${build[@]}" dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream)
    services=()
    ;;
  --gui-tools) packages+=(xvfb x11-utils xdotool imagemagick) ;;
  # The MinGW-w64 cross compiler, GoogleTest's sources to build for Windows,
  # Wine to run the tests, Python for their COM-port far side.
  --windows)
    packages=(cmake ninja-build python3 g++-mingw-w64-x86-64-posix googletest wine wine64)
    services=()
    ;;
  *)
    echo "install-deps.sh: unknown option '$1'" >&2
    exit 2
    ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

new_services=()
for p in "${services[@]}"; do
  installed "$p" || new_services+=("$p")
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# invoke-rc.d and deb-systemd-invoke ask policy-rc.d before starting a
# service; status 101 refuses. Ours is there for this install only; a policy
# the machine already has is left alone.
policy=/usr/sbin/policy-rc.d
own_policy=""
remove_own_policy() {
  if [ -n "$own_policy" ]; then $sudo rm -f "$policy"; fi
}
trap remove_own_policy EXIT
if [ ${#new_services[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# For one install by Tarnwick'"'"'s scripts/install-deps.sh: no service starts.\nexit 101\n' |
    $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  own_policy=1
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

# Enabled by the package, the service would start at the next boot; stopped
# too in case a policy of the machine's let it start now.
for unit in "${new_services[@]}"; do
  if command -v systemctl >/dev/null; then
    $sudo systemctl stop "$unit.service" >/dev/null 2>&1 || true
    $sudo systemctl --no-reload disable "$unit.service" >/dev/null 2>&1 || true
  fi
  if command -v update-rc.d >/dev/null && [ -e "/etc/init.d/$unit" ]; then
    $sudo update-rc.d "$unit" disable >/dev/null 2>&1 || true
  fi
done
