#!/usr/bin/env bash
# Builds the Debian package of the release preset (CPack) and checks it:
# build/release/morvadin-x_<version>_<arch>.deb. Then: sudo apt install ./<that file>
# Usage: scripts/package.sh [BUILD_FOLDER]   (a folder already built: packaged as it is)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-}"
if [ -z "$build" ]; then
  scripts/setup.sh release
  build=build/release
fi
rm -f "$build"/morvadin-x_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/morvadin-x_*.deb)

# The package holds the programs, their libraries, the shipped and the desktop
# files, and depends on the slicing engine and on the libraries the programs link.
contents=$(dpkg-deb --contents "$deb")
depends=$(dpkg-deb --field "$deb" Depends)
status=0
for file in usr/bin/Morvadin-X usr/bin/gcode2x3g usr/bin/s3g-sim usr/bin/s3g-print usr/bin/slicer-bridge \
            usr/lib/morvadin-x/libZELKUI.so usr/share/morvadin-x/ini/Multi-languase/English.xml \
            usr/share/applications/morvadin-x.desktop usr/share/metainfo/io.github.morvadin.morvadin_x.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/morvadin-x.svg usr/share/man/man1/Morvadin-X.1 \
            usr/share/doc/morvadin-x/copyright; do
  if ! grep -q " \./$file\$" <<<"$contents"; then
    echo "package.sh: $deb lacks /$file" >&2
    status=1
  fi
done
for dependency in prusa-slicer shared-mime-info libwxgtk-gl3.2 libspdlog libc6; do
  if ! grep -q "$dependency" <<<"$depends"; then
    echo "package.sh: $deb does not depend on $dependency (Depends: $depends)" >&2
    status=1
  fi
done
echo "package.sh: $deb"
echo "Depends: $depends"
exit $status
