#!/usr/bin/env bash
# Takes the README's picture of the main window: under a virtual X server and a
# private PulseAudio daemon with a 440 Hz test-tone source, records the tone for
# a few seconds with the real window (echo and equalizer on) and saves it while
# the display is live.
#
#   scripts/screenshot.sh [build dir, default build] [png, default docs/screenshot.png] [zh|en, default zh]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
png="${2:-docs/screenshot.png}"
lang="${3:-zh}"
cmake --build "$build" --target form1_driver >/dev/null
mkdir -p "$(dirname "$png")"

source scripts/virtual-session.sh
state="$(mktemp -d /tmp/tamblin-shot.XXXXXX)"
trap 'virtual_session_stop "$state"; rm -rf "$state"' EXIT
virtual_session_start "$state"

mkdir -p "$state/program"
TAMBLIN_SHOT_FOLDER="$state/program" \
  "$build/tests/app/main/form1_driver" --device Test-Tone-440Hz --seconds 3 --effects 03 --png "$png" --lang "$lang"
echo "$png"
