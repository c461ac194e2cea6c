#!/usr/bin/env bash
# Runs the cases of a GoogleTest executable that match a filter against the
# PipeWire server instead of the PulseAudio daemon: each case gets a fresh
# private session (scripts/pipewire-private.sh: pipewire, wireplumber,
# pipewire-pulse, a private session bus), so the graph starts idle and takes
# the case's own rate. Tests that start servers of their own start PipeWire
# sessions too (TAMBLIN_TEST_PULSE_SCRIPT).
#
#   run_on_pipewire.sh <source dir> <test executable> <gtest filter>
set -euo pipefail
source_dir="$1"
executable="$2"
filter="$3"
script="$source_dir/scripts/pipewire-private.sh"
export TAMBLIN_TEST_PULSE_SCRIPT="$script" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
state=""
trap '[ -n "$state" ] && { "$script" stop "$state"; rm -rf "$state"; }' EXIT

# "Suite." lines then "  Case" lines; parameterised ones carry a "# GetParam" note.
cases=$("$executable" --gtest_list_tests --gtest_filter="$filter" |
        awk '/^[^ ]/ {suite=$1} /^  / {print suite $1}')
[ -n "$cases" ] || { echo "no test matches $filter"; exit 1; }
# One case in a fresh session; its status.
run_case() {
  local status=0
  state="$(mktemp -d /tmp/tamblin-pipewire.XXXXXX)"
  if ! server=$("$script" start "$state"); then
    cat "$state/daemon.log"
    exit 1
  fi
  PULSE_SERVER="${server#PULSE_SERVER=}" "$executable" --gtest_filter="$1" || status=$?
  "$script" stop "$state"
  rm -rf "$state"
  state=""
  return "$status"
}

# A session that starts up slowly on a loaded machine (wireplumber linking
# the new source late) can fail a case once: it gets a second fresh session,
# and the first failure stays in the log above. Twice is a failure.
failed=0
for name in $cases; do
  run_case "$name" && continue
  echo "run_on_pipewire: $name failed; once more in a fresh session"
  run_case "$name" || failed=1
done
exit "$failed"
