#!/usr/bin/env bash
# Takes the README's picture of the main window: starts a virtual X server and a
# private PulseAudio daemon with a 440 Hz test-tone source, records the tone for
# a few seconds with the real window and saves it while the display is live.
#
#   scripts/screenshot.sh [build dir, default build] [png, default docs/screenshot.png]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
png="${2:-docs/screenshot.png}"
cmake --build "$build" --target form1_screenshot >/dev/null
mkdir -p "$(dirname "$png")"

state="$(mktemp -d /tmp/tamblin-shot.XXXXXX)"
xvfb_pid=""
cleanup() {
  scripts/pulse-private.sh stop "$state/pulse" || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT

export "$(scripts/pulse-private.sh start "$state/pulse" --tone)"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

mkdir -p "$state/program"
DISPLAY="$display" QT_QPA_PLATFORM=xcb TAMBLIN_SHOT_FOLDER="$state/program" \
  "$build/tests/app/main/form1_screenshot" "$png" "Test-Tone-440Hz" 3
