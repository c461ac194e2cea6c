#!/usr/bin/env bash
# The accessibility walk (walk_tree.py) around a copy of the program in a
# folder of its own, under a private X display, session bus (with the AT-SPI
# bus it starts on demand) and PulseAudio daemon with a test tone.
#
#   accessibility_walk.sh SOURCE_DIR PROGRAM PLUGINS SUMMARY
set -euo pipefail
source_dir="$1" program="$2" plugins="$3" summary="$4"
here="$(cd "$(dirname "$0")" && pwd)"

python=/usr/bin/python3
missing=""
"$python" -c "import pyatspi" 2>/dev/null || missing+=" python3-pyatspi"
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=" at-spi2-core"
command -v dbus-run-session >/dev/null || missing+=" dbus-daemon"
command -v Xvfb >/dev/null || missing+=" xvfb"
if [ -n "$missing" ]; then
  echo "accessibility walk: cannot run without$missing (scripts/setup.sh installs them)" >&2
  exit 1
fi

work="$(mktemp -d /tmp/tamblin-a11y.XXXXXX)"
cd "$source_dir"
source scripts/virtual-session.sh
trap 'virtual_session_stop "$work"; rm -rf "$work"' EXIT
virtual_session_start "$work"
mkdir "$work/program"
cp "$program" "$(dirname "$program")"/tamblin_en.qm "$work/program/"
# The walk bounds each of its waits; this bounds the whole, so nothing hangs.
timeout -k 5 100 dbus-run-session -- "$python" "$here/walk_tree.py" "$work/program/tamblin" "$plugins" "$summary"
