#!/usr/bin/env bash
# Checks the two built packages, tarnwick and tarnwick-capture:
#   scripts/check-package.sh dist/tarnwick_*.deb dist/tarnwick-capture_*.deb
# lintian without errors for each; the desktop entry and the AppStream
# metainfo valid; the files a user expects in their places; stripped
# programs; each package's Depends with what it uses and nothing of the
# other's; the capture program linking no Qt Widgets or Gui, X11 or curl.
# Fails on the first problem.
set -euo pipefail
window_deb="$1"
capture_deb="$2"
fail() {
  echo "check-package: $*" >&2
  exit 1
}
[ "$(dpkg-deb -f "$window_deb" Package)" = tarnwick ] || fail "$window_deb is not tarnwick"
[ "$(dpkg-deb -f "$capture_deb" Package)" = tarnwick-capture ] ||
  fail "$capture_deb is not tarnwick-capture"

# Warnings kept on purpose are listed in docs/packaging.md.
lintian --fail-on error --tag-display-limit 0 "$window_deb" "$capture_deb"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$window_deb" "$root/window"
dpkg-deb -x "$capture_deb" "$root/capture"

desktop-file-validate "$root/window/usr/share/applications/tarnwick.desktop"
appstreamcli validate --no-net "$root/window/usr/share/metainfo/com.norvast.tarnwick.metainfo.xml"

expect_files() {
  local tree="$1"
  shift
  for file in "$@"; do
    [ -s "$tree/$file" ] || fail "missing or empty in ${tree##*/}: /$file"
  done
}
expect_files "$root/window" \
  usr/bin/tarnwick \
  usr/share/tarnwick/help.html \
  usr/share/man/man1/tarnwick.1.gz \
  usr/share/doc/tarnwick/copyright usr/share/doc/tarnwick/changelog.Debian.gz \
  usr/share/doc/tarnwick/README.md usr/share/doc/tarnwick/headless.md \
  usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
  usr/share/icons/hicolor/48x48/apps/tarnwick.png \
  usr/share/icons/hicolor/256x256/apps/tarnwick.png
expect_files "$root/capture" \
  usr/bin/tarnwick-capture usr/bin/tarnwick-sim \
  usr/lib/systemd/system/tarnwick-capture@.service \
  usr/share/man/man1/tarnwick-capture.1.gz usr/share/man/man1/tarnwick-sim.1.gz \
  usr/share/doc/tarnwick-capture/copyright usr/share/doc/tarnwick-capture/changelog.Debian.gz \
  usr/share/doc/tarnwick-capture/README.md usr/share/doc/tarnwick-capture/headless.md
# No file in both: each package installs beside the other.
common="$(comm -12 <(cd "$root/window" && find . -type f | sort) \
  <(cd "$root/capture" && find . -type f | sort))"
[ -z "$common" ] || fail "files in both packages: $common"

for program in "$root"/window/usr/bin/* "$root"/capture/usr/bin/*; do
  file -b "$program" | grep -q ', stripped' || fail "not stripped: ${program#"$root"}"
done

# The unpacked programs answer with no display at all.
release="$(dpkg-deb -f "$window_deb" Version | sed 's/-[^-]*$//')"
for program in window/usr/bin/tarnwick capture/usr/bin/tarnwick-capture; do
  version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/$program" --version)"
  [ "$version" = "Tarnwick $release" ] || fail "$program --version printed: $version"
done

# The capture program reaches no desktop library, directly or through
# another one.
libraries="$(ldd "$root/capture/usr/bin/tarnwick-capture")"
for unwanted in libQt6Widgets libQt6Gui libX11 libxcb libcurl libGL; do
  if grep -q "$unwanted" <<<"$libraries"; then
    fail "tarnwick-capture links $unwanted: $libraries"
  fi
done
grep -q libQt6Core <<<"$libraries" || fail "tarnwick-capture does not link Qt Core: $libraries"

depends() { dpkg-deb -f "$1" Depends; }
for needed in qt6-qpa-plugins libqt6widgets6 libc6; do
  grep -q "$needed" <<<"$(depends "$window_deb")" ||
    fail "tarnwick's Depends lacks $needed: $(depends "$window_deb")"
done
grep -q tarnwick-capture <<<"$(depends "$window_deb")" &&
  fail "tarnwick depends on tarnwick-capture, which it does not use"
grep -q libqt6core6 <<<"$(depends "$capture_deb")" ||
  fail "tarnwick-capture's Depends lacks libqt6core6: $(depends "$capture_deb")"
for unwanted in libqt6widgets6 libqt6gui6 qt6-qpa-plugins libx11 libcurl libqcustomplot; do
  if grep -q "$unwanted" <<<"$(depends "$capture_deb")"; then
    fail "tarnwick-capture's Depends holds $unwanted: $(depends "$capture_deb")"
  fi
done
echo "check-package: $window_deb and $capture_deb are fine"
