#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ (its own folder: the flags
# change every object); no benchmarks, whose timings would mean nothing. Needs
# the packages scripts/setup.sh installs; used by `scripts/test.sh --sanitize`.
#
#   scripts/sanitize-build.sh [target...]   default: everything
set -euo pipefail
cd "$(dirname "$0")/.."

# Undefined behaviour stops the program like an address error does, so no
# finding scrolls past in a passing test.
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBLIN_BUILD_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
if (($#)); then
  cmake --build build-sanitize --target "$@"
else
  cmake --build build-sanitize
fi
