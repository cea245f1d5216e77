#!/usr/bin/env bash
# Checks a built tarnwick .deb: lintian without errors, the desktop entry and
# the AppStream metainfo valid, the files a user expects in their places,
# stripped programs, and Depends with the libraries and Qt's platform plugins.
# Fails on the first problem.
set -euo pipefail
deb="$1"
fail() {
  echo "check-package: $*" >&2
  exit 1
}

# Warnings kept on purpose are listed in docs/packaging.md.
lintian --fail-on error --no-tag-display-limit "$deb"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/tarnwick.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.norvast.tarnwick.metainfo.xml"

for file in \
  usr/bin/tarnwick usr/bin/tarnwick-sim \
  usr/share/tarnwick/help.html \
  usr/share/man/man1/tarnwick.1.gz usr/share/man/man1/tarnwick-sim.1.gz \
  usr/share/doc/tarnwick/copyright usr/share/doc/tarnwick/changelog.Debian.gz \
  usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
  usr/share/icons/hicolor/48x48/apps/tarnwick.png \
  usr/share/icons/hicolor/256x256/apps/tarnwick.png; do
  [ -s "$root/$file" ] || fail "missing or empty: /$file"
done
for program in "$root"/usr/bin/*; do
  file -b "$program" | grep -q ', stripped' || fail "not stripped: ${program#"$root"}"
done

depends="$(dpkg-deb -f "$deb" Depends)"
for needed in qt6-qpa-plugins libqt6widgets6 libc6; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
echo "check-package: $deb is fine"
