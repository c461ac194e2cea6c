#!/usr/bin/env bash
# Installs the Debian packages Tamblin needs (only those missing) and builds it
# into build/. Safe to run again; used by run.sh and test.sh.
#
#   scripts/setup.sh [target...]   default: everything (program, tests, benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build ccache g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-tools-dev libgl-dev fonts-noto-cjk
  libpulse-dev pulseaudio pulseaudio-utils libebur128-dev libwebrtc-audio-processing-dev espeak-ng
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libtag1-dev flac opus-tools lame
  sox libsox-fmt-all ffmpeg libsndfile1-dev libfftw3-dev mediainfo
  xvfb xauth imagemagick time
  librsvg2-bin desktop-file-utils appstream dpkg-dev file
  pipewire pipewire-pulse wireplumber dbus-daemon weston qt6-wayland
  at-spi2-core python3-pyatspi
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_type="${TAMBLIN_BUILD_TYPE:-RelWithDebInfo}"
# ccache keeps rebuilds of a fresh checkout short (CI builds every submission anew).
# Paths relative to the checkout and no working folder in the hash: a checkout
# in another folder finds the objects of the last one.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
if (($#)); then
  cmake --build build --target "$@"
else
  cmake --build build
fi
