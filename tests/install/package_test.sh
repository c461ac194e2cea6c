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
work="$(mktemp -d /tmp/tamblin-package.XXXXXX)"
server_script="${TAMBLIN_TEST_PULSE_SCRIPT:-$here/../../scripts/pulse-private.sh}"
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && program_end
  pipe_source_unload
  [ -d "$work/server" ] && "$server_script" stop "$work/server"
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb=$(ls "$work"/out/*.deb)
diff <(sed 's|^|usr/|' "$here/installed-files.txt" | sort) \
     <(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
dpkg-deb -f "$deb" Depends | grep -q "libpulse0" || { echo "Depends lacks libpulse0"; exit 1; }
dpkg-deb -x "$deb" "$work/root"

if [ -z "${PULSE_SERVER:-}" ]; then
  export "$("$server_script" start "$work/server")"
fi
use_private_home "$work"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

name="package_$$"
pipe_source_load "$name" "Package-Pipe-$$"
program_start "$plugins" "$work/program.log" "$work/root/usr/bin/tamblin"
program_expect READY
record_tone "Package-Pipe-$$" "$HOME/音乐/Tamblin/录音0.wav"
program_end
PROGRAM_PID=""

[ "$(tr -d '\r\n' <"$XDG_CONFIG_HOME/org.tamblin.Tamblin/nu.ini")" = 1 ]
for beside in file nu.ini; do
  [ ! -e "$work/root/usr/bin/$beside" ] || { echo "written beside the program: $beside"; exit 1; }
done
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
