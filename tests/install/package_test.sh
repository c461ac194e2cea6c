#!/usr/bin/env bash
# The Debian package as a user gets it: built with CPack, its file list checked
# against installed-files.txt, extracted with dpkg-deb -x into a temporary root,
# and the extracted program itself started (offscreen, HOME and the XDG folders
# in a temporary folder, a Chinese desktop's music folder) to record two seconds
# of a 440 Hz tone from a pipe source. The recording must land in
# ~/音乐/Tamblin and nu.ini in the config folder, nothing beside the executable.
#
#   package_test.sh <build dir> <window driver plugin folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
plugins="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/drive-program.sh"
harness_begin package

cpack --config "$build/CPackConfig.cmake" -B "$WORK/out" >/dev/null
deb=$(ls "$WORK"/out/*.deb)
diff <(sed 's|^|usr/|' "$here/installed-files.txt" | sort) \
     <(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
dpkg-deb -f "$deb" Depends | grep -q "libpulse0" || { echo "Depends lacks libpulse0"; exit 1; }
dpkg-deb -x "$deb" "$WORK/root"

ensure_audio_server
use_private_home "$WORK"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

name="package_$$"
pipe_source_load "$name" "Package-Pipe-$$"
# A Chinese desktop: the program's own language, whatever this machine's locale is.
LANGUAGE=zh_CN LANG=zh_CN.UTF-8 program_start "$plugins" "$WORK/program.log" "$WORK/root/usr/bin/tamblin"
program_expect "READY 开始录音"
# A first run on a fresh account: the lock and the journal live in the config folder too.
[ -f "$XDG_CONFIG_HOME/org.tamblin.Tamblin/tamblin.lock" ] || { echo "no single-instance lock on a first run"; exit 1; }
record_tone "Package-Pipe-$$" "$HOME/音乐/Tamblin/录音0.wav"
[ -f "$XDG_CONFIG_HOME/org.tamblin.Tamblin/recording.journal" ] || { echo "the recording was not journalled"; exit 1; }
program_end

[ "$(tr -d '\r\n' <"$XDG_CONFIG_HOME/org.tamblin.Tamblin/nu.ini")" = 1 ]
for beside in file nu.ini; do
  [ ! -e "$WORK/root/usr/bin/$beside" ] || { echo "written beside the program: $beside"; exit 1; }
done
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
