# Sourced, not run: a virtual X display and a private PulseAudio daemon with the
# 440 Hz test-tone source "tamblin_tone" (description "Test-Tone-440Hz"), for
# screenshots and benchmarks of the real window.
#
#   source scripts/virtual-session.sh
#   virtual_session_start DIR     # exports PULSE_SERVER, DISPLAY, QT_QPA_PLATFORM=xcb
#   ...
#   virtual_session_stop DIR      # stops both (put it in an EXIT trap)

virtual_session_start() {
  local dir="$1" display
  export "$(scripts/pulse-private.sh start "$dir/pulse" --tone)"
  # A display number of our own; the X server leaves its socket in /tmp/.X11-unix.
  for _ in $(seq 1 20); do
    display=$((90 + RANDOM % 400))
    [ -e "/tmp/.X11-unix/X$display" ] || break
  done
  # -noreset: otherwise the server resets whenever its last client leaves, and a
  # program started right then cannot connect.
  Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
}

virtual_session_stop() {
  local dir="$1"
  scripts/pulse-private.sh stop "$dir/pulse" || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid"
  fi
}
