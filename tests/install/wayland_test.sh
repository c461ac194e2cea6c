#!/usr/bin/env bash
# The installed program under a headless Wayland compositor (weston): the
# window appears on the screen, records two seconds from a pipe source, and
# without a notification area (as on GNOME) the tray button minimises it
# rather than hiding it for good.
#
#   wayland_test.sh <build dir> <window driver plugin folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
plugins="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/drive-program.sh"
work="$(mktemp -d /tmp/tamblin-wayland.XXXXXX)"
server_script="${TAMBLIN_TEST_PULSE_SCRIPT:-$here/../../scripts/pulse-private.sh}"
weston_pid=""
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && program_end
  pipe_source_unload
  [ -n "$weston_pid" ] && { kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; }
  [ -d "$work/server" ] && "$server_script" stop "$work/server"
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/usr" >/dev/null
if [ -z "${PULSE_SERVER:-}" ]; then
  export "$("$server_script" start "$work/server")"
fi
use_private_home "$work"

weston --backend=headless-backend.so --socket=wayland-tamblin --idle-time=0 --no-config \
  --log="$work/weston.log" </dev/null >/dev/null 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/wayland-tamblin" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/wayland-tamblin" ] || { cat "$work/weston.log"; exit 1; }
export WAYLAND_DISPLAY=wayland-tamblin QT_QPA_PLATFORM=wayland
unset DISPLAY

pipe_source_load "wayland_$$" "Wayland-Pipe-$$"
program_start "$plugins" "$work/program.log" "$work/usr/bin/tamblin"
program_expect READY 30 || { cat "$work/program.log" "$work/weston.log"; exit 1; }
record_tone "Wayland-Pipe-$$" "$HOME/音乐/Tamblin/录音0.wav"
program_send tray
program_send window
program_expect "WINDOW visible=1 minimized=1"
program_end
PROGRAM_PID=""
echo "wayland: ok"
