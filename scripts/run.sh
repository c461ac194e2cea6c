#!/usr/bin/env bash
# Sets up (packages, build) and starts Tamblin. Where no audio server answers
# (a fresh machine, a container) it first starts a private PulseAudio daemon with
# a 440 Hz test-tone source, so the program can be tried anywhere. Arguments go
# to the program (scripts/run.sh --lang en). What it started for the program
# (the daemon, the virtual display) is stopped when the program ends, and only that.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh tamblin

pulse_state=""
xvfb_pid=""
stop_started() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  if [ -n "$pulse_state" ]; then scripts/pulse-private.sh stop "$pulse_state" || true; fi
}
trap stop_started EXIT

if ! pactl info >/dev/null 2>&1; then
  state="${XDG_RUNTIME_DIR:-/tmp}/tamblin-pulse"
  scripts/pulse-private.sh stop "$state" || true
  pulse_state="$state"
  export "$(scripts/pulse-private.sh start "$state" --tone)"
  echo "run: no audio server found; started a private one with a test tone ($PULSE_SERVER)"
fi
# Recording on the terminal needs no display.
no_window=false
for argument in "$@"; do if [ "$argument" = "--no-window" ]; then no_window=true; fi; done
if ! $no_window && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no desktop display found (DISPLAY/WAYLAND_DISPLAY unset); starting on a virtual one (Xvfb :99)"
  Xvfb :99 -screen 0 1280x800x24 -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:99
  sleep 1
fi
# Not exec: the EXIT trap stops what was started here once the program ends.
# Ctrl+C or a kill of this script reaches the program as SIGTERM, which
# finishes a recording before it ends; the script waits for that.
build/app/tamblin "$@" &  # e.g. --lang en
program=$!
trap 'kill -TERM "$program" 2>/dev/null || true' INT TERM HUP
status=0
while kill -0 "$program" 2>/dev/null; do
  if wait "$program"; then status=0; else status=$?; fi
done
exit "$status"
