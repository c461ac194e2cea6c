#!/usr/bin/env bash
# Builds the Debian package of the program into build/ (sets up and builds the
# program first) and prints its path. Install it with
#   sudo apt install ./build/<package>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh tamblin
cpack --config build/CPackConfig.cmake -B build >/dev/null
ls build/tamblin_*.deb
