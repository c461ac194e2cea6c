#!/usr/bin/env bash
# Starts or stops a private PulseAudio daemon on a socket of its own, for tests
# and for trying the program where no audio server runs.
#
#   pulse-private.sh start DIR [--tone]   prints PULSE_SERVER=unix:DIR/native
#   pulse-private.sh stop DIR
#
# The daemon offers a null sink; with --tone also a 440 Hz test-tone source.
# Tests add pipe sources with `pactl load-module module-pipe-source ...`.
set -euo pipefail
cmd="${1:?start|stop}"
dir="${2:?state directory}"

case "$cmd" in
  start)
    mkdir -p "$dir/runtime" "$dir/home"
    modules=(-L "module-native-protocol-unix socket=$dir/native auth-anonymous=1"
             -L "module-null-sink sink_name=tamblin_null sink_properties=device.description=Null-Output")
    if [ "${3:-}" = "--tone" ]; then
      modules+=(-L "module-sine-source source_name=tamblin_tone rate=44100 frequency=440 source_properties=device.description=Test-Tone-440Hz")
    fi
    HOME="$dir/home" PULSE_RUNTIME_PATH="$dir/runtime" XDG_CONFIG_HOME="$dir/home" \
      pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=no \
      --log-target=file:"$dir/daemon.log" "${modules[@]}" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/daemon.pid"
    for _ in $(seq 1 100); do
      if PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; then
        echo "PULSE_SERVER=unix:$dir/native"
        exit 0
      fi
      sleep 0.05
    done
    echo "pulse-private: daemon did not start, see $dir/daemon.log" >&2
    exit 1
    ;;
  stop)
    if [ -f "$dir/daemon.pid" ]; then
      pid=$(cat "$dir/daemon.pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$dir/daemon.pid"
    fi
    ;;
  *) echo "usage: $0 start|stop DIR [--tone]" >&2; exit 2 ;;
esac
