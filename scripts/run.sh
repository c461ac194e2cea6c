#!/usr/bin/env bash
# Sets up (packages, build) and starts Tamblin. Where no audio server answers
# (a fresh machine, a container) it first starts a private PulseAudio daemon with
# a 440 Hz test-tone source, so the program can be tried anywhere. Arguments go
# to the program (scripts/run.sh --lang en).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh tamblin

if ! pactl info >/dev/null 2>&1; then
  state="${XDG_RUNTIME_DIR:-/tmp}/tamblin-pulse"
  scripts/pulse-private.sh stop "$state" || true
  export "$(scripts/pulse-private.sh start "$state" --tone)"
  echo "run: no audio server found; started a private one with a test tone ($PULSE_SERVER)"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no desktop display found (DISPLAY/WAYLAND_DISPLAY unset); starting on a virtual one (Xvfb :99)"
  Xvfb :99 -screen 0 1280x800x24 -noreset >/dev/null 2>&1 &
  export DISPLAY=:99
  sleep 1
fi
exec build/app/tamblin "$@"  # e.g. --lang en
