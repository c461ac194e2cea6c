#!/usr/bin/env bash
# `cmake --install` into a staging root (DESTDIR) under an unusual prefix: every
# file of tests/install/installed-files.txt is there and nothing else, the
# desktop entry and metainfo pass their validators, the PNGs have their sizes,
# and the installed program reports the project version.
#
#   install_layout.sh <build dir> <project version>
set -euo pipefail
build="$1"
version="$2"
here="$(cd "$(dirname "$0")" && pwd)"
stage="$(mktemp -d /tmp/tamblin-install.XXXXXX)"
trap 'rm -rf "$stage"' EXIT
prefix=/opt/tamblin\ test

DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null
root="$stage$prefix"
diff <(sort "$here/installed-files.txt") <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)

desktop-file-validate "$root/share/applications/org.tamblin.Tamblin.desktop"
appstreamcli validate --no-net "$root/share/metainfo/org.tamblin.Tamblin.metainfo.xml"
grep -q "<release version=\"$version\"" "$root/share/metainfo/org.tamblin.Tamblin.metainfo.xml"

for size in 16 32 48 64 128 256; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/org.tamblin.Tamblin.png"
  file "$png" | grep -q "PNG image data, $size x $size," || { echo "wrong picture: $(file "$png")"; exit 1; }
done

[ "$("$root/bin/tamblin" --version)" = "Tamblin $version" ]
"$root/bin/tamblin" --help | grep -q -- "--version"
if "$root/bin/tamblin" --no-such-option 2>/dev/null; then echo "unknown option accepted"; exit 1; fi
# The help text follows the interface language, read from the installed translation.
# Wrapped to the terminal's width: compared with the lines joined.
"$root/bin/tamblin" --lang en --help | tr -s ' \n' ' ' | grep -q "Interface language: zh (Chinese) or en (English)"
LANGUAGE=zh_CN LANG=zh_CN.UTF-8 "$root/bin/tamblin" --help | grep -q "界面语言"
if "$root/bin/tamblin" --lang fr 2>/dev/null; then echo "unknown language accepted"; exit 1; fi
echo "install layout: ok"
