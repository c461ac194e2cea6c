#!/usr/bin/env bash
# Sets up (packages, build) and runs the whole test suite against a private
# PulseAudio daemon and an offscreen Qt platform.
#
#   scripts/test.sh [ctest args]              build/, everything (or what the args pick)
#   scripts/test.sh --sanitize [ctest args]   AddressSanitizer + UBSan build in
#                                             build-sanitize/, everything but the soak
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build=build-sanitize
  scripts/setup.sh common  # the packages (and the small common library)
  scripts/sanitize-build.sh
  # Tests slow syncs with a preloaded module of their own, loaded ahead of the runtime.
  export ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  set -- -LE soak "$@"
else
  scripts/setup.sh
fi

state="$(mktemp -d /tmp/tamblin-test.XXXXXX)"
trap 'scripts/pulse-private.sh stop "$state"; rm -rf "$state"' EXIT
export "$(scripts/pulse-private.sh start "$state")"
export QT_QPA_PLATFORM=offscreen
export TAMBLIN_TEST_PULSE_SCRIPT="$PWD/scripts/pulse-private.sh"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 "$@"
