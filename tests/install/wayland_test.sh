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
source "$(dirname "$0")/drive-program.sh"
harness_begin wayland
HARNESS_CLEANUP='[ -n "${weston_pid:-}" ] && { kill "$weston_pid"; wait "$weston_pid"; } 2>/dev/null || true'

cmake --install "$build" --prefix "$WORK/usr" >/dev/null
ensure_audio_server
use_private_home "$WORK"

weston --backend=headless-backend.so --socket=wayland-tamblin --idle-time=0 --no-config \
  --log="$WORK/weston.log" </dev/null >/dev/null 2>&1 &
weston_pid=$!
for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/wayland-tamblin" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/wayland-tamblin" ] || { cat "$WORK/weston.log"; exit 1; }
export WAYLAND_DISPLAY=wayland-tamblin QT_QPA_PLATFORM=wayland
unset DISPLAY

pipe_source_load "wayland_$$" "Wayland-Pipe-$$"
# In English: the installed translation is found in the data folder.
program_start "$plugins" "$WORK/program.log" "$WORK/usr/bin/tamblin" --lang en
program_expect "READY Start Recording" 30 || { cat "$WORK/program.log" "$WORK/weston.log"; exit 1; }
record_tone "Wayland-Pipe-$$" "$HOME/音乐/Tamblin/录音0.wav"
program_send tray
program_expect "WINDOW visible=1 minimized=1"
program_end
echo "wayland: ok"
