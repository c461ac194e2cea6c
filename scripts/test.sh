#!/usr/bin/env bash
# Sets up (packages, build) and runs the whole test suite against a private
# PulseAudio daemon and an offscreen Qt platform.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

state="$(mktemp -d /tmp/tamblin-test.XXXXXX)"
trap 'scripts/pulse-private.sh stop "$state"; rm -rf "$state"' EXIT
export "$(scripts/pulse-private.sh start "$state")"
export QT_QPA_PLATFORM=offscreen
export TAMBLIN_TEST_PULSE_SCRIPT="$PWD/scripts/pulse-private.sh"
ctest --test-dir build --output-on-failure -j2 --timeout 600 "$@"
