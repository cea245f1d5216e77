#!/usr/bin/env bash
# Builds the two Debian packages, dist/tarnwick_<version>_<arch>.deb (the
# window) and dist/tarnwick-capture_<version>_<arch>.deb (the capture with no
# display), in their own build directory (default build-package) with CPack,
# then checks them (scripts/check-package.sh). `make package` installs what
# it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-package}"

# Debian's optimisation and hardening flags, as a Debian build uses them:
# build type None adds none of CMake's own (-O3 and NDEBUG of Release); every
# hardening feature on, as lintian asks (bind now among them).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
# Installed under /usr, where F1 looks for the help page; no version check,
# the package manager brings updates; no tests or benchmarks to build.
# CMAKE_FLAGS adds options of the caller's (a compiler launcher).
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARNWICK_VERSION_CHECK=OFF -DTARNWICK_DEB=ON -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF \
  ${CMAKE_FLAGS:-}
cmake --build "$build"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)
# Every install rule names its package: anything else would be a third one.
debs=("$build"/*.deb)
[ ${#debs[@]} -eq 2 ] || {
  echo "package.sh: CPack made ${#debs[@]} packages, not 2: ${debs[*]}" >&2
  exit 1
}

mkdir -p dist
rm -f dist/tarnwick_*.deb dist/tarnwick-capture_*.deb
cp "$build"/tarnwick_*.deb "$build"/tarnwick-capture_*.deb dist/
bash scripts/check-package.sh dist/tarnwick_*.deb dist/tarnwick-capture_*.deb
