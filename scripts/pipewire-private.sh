#!/usr/bin/env bash
# Starts or stops a private PipeWire session for tests: pipewire, wireplumber
# and pipewire-pulse on a runtime folder of their own, with a private D-Bus
# session bus. Same interface as pulse-private.sh, so tests that start their
# own server can be pointed at either (TAMBLIN_TEST_PULSE_SCRIPT).
#
#   pipewire-private.sh start DIR   prints PULSE_SERVER=unix:DIR/runtime/pulse/native
#   pipewire-private.sh stop DIR
#
# The session offers the null sink "tamblin_null" (no test tone: the PipeWire
# server has no sine source module). DIR/daemon.pid holds pipewire-pulse's process id (the
# server the clients talk to), DIR/daemon.log the session's log.
set -euo pipefail
cmd="${1:?start|stop}"
dir="${2:?state directory}"
processes=(pipewire-pulse wireplumber pipewire dbus)

start_process() {  # name, command...
  local name="$1"
  shift
  "$@" </dev/null >>"$dir/daemon.log" 2>&1 &
  echo $! >"$dir/$name.pid"
}

wait_for() {  # what, test command...: up to 10 s
  local what="$1"
  shift
  for _ in $(seq 1 200); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  echo "pipewire-private: $what did not start, see $dir/daemon.log" >&2
  return 1
}

# Alive and not a zombie: the processes outlive the script that started them,
# and whoever adopts them may reap them late.
running() { [ -r "/proc/$1/stat" ] && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }

stop_all() {
  local name pid pids=()
  for name in "${processes[@]}"; do
    [ -f "$dir/$name.pid" ] || continue
    pid=$(cat "$dir/$name.pid")
    rm -f "$dir/$name.pid"
    running "$pid" || continue
    kill -CONT "$pid" 2>/dev/null || true  # a frozen server cannot act on TERM
    kill "$pid" 2>/dev/null || true
    pids+=("$pid")
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 1 50); do running "$pid" || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
  done
}

case "$cmd" in
  start)
    mkdir -p "$dir/runtime" "$dir/home" "$dir/config"
    chmod 700 "$dir/runtime"
    # The graph takes the rate of the streams in it where it can, as desktops
    # configured for several rates do; 48000 Hz otherwise (the default).
    mkdir -p "$dir/config/pipewire/pipewire.conf.d"
    cat >"$dir/config/pipewire/pipewire.conf.d/rates.conf" <<'CONF'
context.properties = {
    default.clock.rate          = 48000
    default.clock.allowed-rates = [ 8000 11025 16000 22050 44100 48000 ]
}
CONF
    export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config"
    export XDG_STATE_HOME="$dir/home" PIPEWIRE_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime/pulse"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
    unset PULSE_SERVER PIPEWIRE_REMOTE
    start_process dbus dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
    wait_for "the session bus" test -S "$dir/bus"
    start_process pipewire pipewire
    wait_for pipewire test -S "$dir/runtime/pipewire-0"
    start_process wireplumber wireplumber
    start_process pipewire-pulse pipewire-pulse
    ln -sf pipewire-pulse.pid "$dir/daemon.pid"
    export PULSE_SERVER="unix:$dir/runtime/pulse/native"
    wait_for pipewire-pulse pactl info
    pactl load-module module-null-sink sink_name=tamblin_null \
      sink_properties=device.description=Null-Output >/dev/null
    if [ "${3:-}" = "--tone" ]; then
      echo "pipewire-private: no test tone on PipeWire" >&2
      exit 2
    fi
    echo "PULSE_SERVER=$PULSE_SERVER"
    ;;
  stop)
    stop_all
    rm -f "$dir/daemon.pid"
    ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
